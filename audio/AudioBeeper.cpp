#include "audio/AudioBeeper.h"

#include <cmath>

namespace lessora {

namespace {
constexpr int kToneMs = 120;
constexpr int kFadeMs = 10; // soft edges: no clicks
constexpr double kFrequency = 880.0;
constexpr double kAmplitude = 0.25;
constexpr double kPi = 3.14159265358979323846;
} // namespace

AudioBeeper::AudioBeeper(std::shared_ptr<AudioOutput> output)
    : m_output(std::move(output))
    , m_owner(AudioOutput::newOwner()) {}

std::vector<qint16> AudioBeeper::tone(int sampleRate) {
    const int count = sampleRate * kToneMs / 1000;
    const int fade = sampleRate * kFadeMs / 1000;
    std::vector<qint16> samples(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const double edge = std::min({1.0, double(i) / fade, double(count - 1 - i) / fade});
        samples[size_t(i)] = qint16(std::lround(32767 * kAmplitude * edge *
                                                std::sin(2 * kPi * kFrequency * i / sampleRate)));
    }
    return samples;
}

void AudioBeeper::beep() {
    const std::vector<qint16> samples = tone(m_output->sampleRate());
    UtterancePtr utterance = m_output->enqueue(m_owner);
    m_output->append(utterance, samples.data(), qint64(samples.size()));
    m_output->finishSynthesis(utterance);
}

} // namespace lessora
