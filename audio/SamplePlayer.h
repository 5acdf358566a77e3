#pragma once

#include "audio/AudioOutput.h"

#include <functional>
#include <memory>
#include <vector>

namespace lessora {

// Plays given samples (mono, 16 bit) and tells when they have been heard. Tests put in a fake.
class SamplePlayer {
public:
    virtual ~SamplePlayer() = default;
    // Plays the samples, stopping what this player played before. `ended` is called once, on
    // any thread (it must only post), when they have been heard to their end or were stopped.
    virtual void play(std::vector<qint16> samples, int sampleRate, std::function<void()> ended) = 0;
    virtual void stop() = 0;
};

// Plays through the program's one sound output, after or between the voices' lines like the
// beep. Samples at another rate than the output's are converted first.
class OutputSamplePlayer : public SamplePlayer {
public:
    explicit OutputSamplePlayer(std::shared_ptr<AudioOutput> output);
    ~OutputSamplePlayer() override;
    void play(std::vector<qint16> samples, int sampleRate, std::function<void()> ended) override;
    void stop() override;

private:
    std::shared_ptr<AudioOutput> m_output;
    quint64 m_owner;
};

} // namespace lessora
