#pragma once

#include "audio/AudioInput.h"
#include "audio/SamplePlayer.h"

#include <vector>

namespace lessora::test {

// A microphone that hands over what the test pushes, when it pushes it.
class FakeAudioInput : public AudioInput {
public:
    bool available = true; // false: start() fails as without a microphone
    int starts = 0;

    int sampleRate() const override { return 16000; }
    bool start(CaptureHandler samples, std::function<void()> failed) override {
        ++starts;
        if (!available)
            return false;
        m_samples = std::move(samples);
        m_failed = std::move(failed);
        return true;
    }
    void stop() override {
        m_samples = nullptr;
        m_failed = nullptr;
    }
    bool isCapturing() const override { return bool(m_samples); }
    QString problem() const override { return QStringLiteral("マイクがありません。"); }

    // Samples heard from the steady time `firstUs` on.
    void push(const std::vector<qint16>& samples, qint64 firstUs) {
        if (m_samples)
            m_samples(samples.data(), qint64(samples.size()), firstUs);
    }
    // The device goes away.
    void breakDown() {
        if (auto failed = std::exchange(m_failed, nullptr))
            failed();
        m_samples = nullptr;
    }

private:
    CaptureHandler m_samples;
    std::function<void()> m_failed;
};

// Plays nothing; ends a play when the test says so.
class FakeSamplePlayer : public SamplePlayer {
public:
    std::vector<std::vector<qint16>> played;
    int stops = 0;

    void play(std::vector<qint16> samples, int, std::function<void()> ended) override {
        played.push_back(std::move(samples));
        m_ended = std::move(ended);
    }
    void stop() override {
        ++stops;
        finish();
    }
    // What plays has been heard.
    void finish() {
        if (auto ended = std::exchange(m_ended, nullptr))
            ended();
    }

private:
    std::function<void()> m_ended;
};

} // namespace lessora::test
