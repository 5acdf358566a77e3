#pragma once

#include "audio/AudioInput.h"
#include "support/PrivateSoundServer.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <cmath>
#include <fcntl.h>
#include <unistd.h>

namespace lessora::test {

inline constexpr double kPi = 3.14159265358979323846;
// What the microphone hears, `t` seconds after the feed began: a chirp from 150 Hz up to 3 kHz
// over 20 s, whose every stretch has one place in it only.
inline double heardAt(double t) {
    constexpr double f0 = 150, f1 = 3000, length = 20;
    return 0.5 * std::sin(2 * kPi * (f0 * t + (f1 - f0) * t * t / (2 * length)));
}

// Feeds the pipe source in real time, paced by a timer: the source takes what it is given at
// once, so the feed decides when each sample is heard.
class MicrophoneFeed : public QObject {
public:
    explicit MicrophoneFeed(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK)) {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        connect(&m_timer, &QTimer::timeout, this, [this] { feed(); });
    }
    ~MicrophoneFeed() override {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    void start() {
        m_startUs = steadyNowUs();
        m_timer.start();
        feed();
    }
    qint64 startUs() const { return m_startUs; }

private:
    void feed() {
        const qint64 due =
            (steadyNowUs() - m_startUs) * PrivateSoundServer::kMicrophoneRate / 1000000;
        for (; m_made < due; ++m_made) {
            const auto sample = qint16(
                std::lround(32767 * heardAt(double(m_made) / PrivateSoundServer::kMicrophoneRate)));
            m_pending.append(reinterpret_cast<const char*>(&sample), sizeof sample);
        }
        const ssize_t written = ::write(m_fd, m_pending.constData(), size_t(m_pending.size()));
        if (written > 0)
            m_pending.remove(0, qsizetype(written));
    }

    int m_fd;
    QTimer m_timer;
    qint64 m_startUs = 0;
    qint64 m_made = 0;
    QByteArray m_pending;
};

} // namespace lessora::test
