#pragma once

#include <QObject>
#include <QTimer>

namespace lessora {

// The single-shot timer that times playback's pauses, gaps and the wait after a skip. Tests
// put one in that fires only when they say, so that no test waits for real time.
class PlaybackTimer : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    virtual void start(int ms) = 0; // restarts it when it runs
    virtual void stop() = 0;
    virtual bool isActive() const = 0;
    virtual int interval() const = 0; // of the last start

signals:
    void timeout();
};

// Playback's timer in the program: precise, since a coarse timer may end a 4 s gap 200 ms early.
class PreciseSingleShotTimer : public PlaybackTimer {
    Q_OBJECT
public:
    explicit PreciseSingleShotTimer(QObject* parent = nullptr)
        : PlaybackTimer(parent) {
        m_timer.setObjectName(QStringLiteral("playbackTimer"));
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, &PlaybackTimer::timeout);
    }
    void start(int ms) override { m_timer.start(ms); }
    void stop() override { m_timer.stop(); }
    bool isActive() const override { return m_timer.isActive(); }
    int interval() const override { return m_timer.interval(); }
    Qt::TimerType timerType() const { return m_timer.timerType(); }

private:
    QTimer m_timer{this}; // a child, so that tests find it by its name
};

} // namespace lessora
