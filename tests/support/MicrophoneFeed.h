#pragma once

#include "audio/AudioInput.h"
#include "support/PrivateSoundServer.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <fcntl.h>
#include <mutex>
#include <unistd.h>
#include <utility>
#include <vector>

namespace lessora::test {

inline constexpr double kPi = 3.14159265358979323846;
// What the microphone hears, `t` seconds after the feed began: a chirp from 150 Hz up to 3 kHz
// over 20 s, whose every stretch has one place in it only.
inline double heardAt(double t) {
    constexpr double f0 = 150, f1 = 3000, length = 20;
    return 0.5 * std::sin(2 * kPi * (f0 * t + (f1 - f0) * t * t / (2 * length)));
}

// Feeds the pipe source in real time, paced by a timer on a thread of its own, so that the
// program's work on the test's thread does not hold it up: the source takes what it is given at
// once, so the feed decides when each sample is heard.
class MicrophoneFeed : public QObject {
public:
    explicit MicrophoneFeed(const QString& path)
        : m_fd(::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK)) {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(5);
        m_timer.moveToThread(&m_thread);
        // The timer as the context: the feed runs on the feed's thread.
        connect(&m_timer, &QTimer::timeout, &m_timer, [this] { feed(); });
        m_thread.start(QThread::TimeCriticalPriority);
    }
    ~MicrophoneFeed() override {
        QMetaObject::invokeMethod(
            &m_timer, [this] { m_timer.stop(); }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool isOpen() const { return m_fd >= 0; }
    void start() {
        m_startUs = steadyNowUs();
        QMetaObject::invokeMethod(&m_timer, [this] {
            m_timer.start();
            feed();
        });
    }
    qint64 startUs() const { return m_startUs; }
    // The longest the feed was held up beyond its tick (a busy machine) within `spanUs` of a
    // moment: samples written that late are heard that late, the rig's delay, not the recorder's.
    double worstLatenessMsAround(qint64 momentUs, qint64 spanUs) const {
        const std::lock_guard lock(m_mutex);
        qint64 worst = 0;
        for (const auto& [atUs, lateUs] : m_holdUps)
            if (std::abs(atUs - momentUs) <= spanUs)
                worst = std::max(worst, lateUs);
        return worst / 1000.0;
    }

private:
    void feed() {
        const qint64 now = steadyNowUs();
        if (m_lastFeedUs > 0 && now - m_lastFeedUs > 5000) {
            const std::lock_guard lock(m_mutex);
            m_holdUps.push_back({now, now - m_lastFeedUs - 5000});
        }
        m_lastFeedUs = now;
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
    QThread m_thread;
    QTimer m_timer;
    mutable std::mutex m_mutex;
    qint64 m_startUs = 0;
    qint64 m_made = 0;
    qint64 m_lastFeedUs = 0;
    std::vector<std::pair<qint64, qint64>> m_holdUps; // when, and by how much
    QByteArray m_pending;
};

} // namespace lessora::test
