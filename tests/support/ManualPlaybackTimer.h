#pragma once

#include "playback/PlaybackTimer.h"

namespace lessora::test {

// A playback timer that fires only when the test calls fire(): no test waits for real time.
class ManualPlaybackTimer : public PlaybackTimer {
    Q_OBJECT
public:
    using PlaybackTimer::PlaybackTimer;
    void start(int ms) override {
        m_interval = ms;
        m_active = true;
        ++starts;
    }
    void stop() override { m_active = false; }
    bool isActive() const override { return m_active; }
    int interval() const override { return m_interval; }

    // The time has run out: fires when the timer runs; false when it does not.
    bool fire() {
        if (!m_active)
            return false;
        m_active = false;
        emit timeout();
        return true;
    }
    int starts = 0;

private:
    bool m_active = false;
    int m_interval = 0;
};

} // namespace lessora::test
