#include "audio/SamplePlayer.h"

#include "audio/SampleRateConverter.h"

#include <algorithm>
#include <cmath>

namespace lessora {

namespace {

// Passes the output's news on: the end only.
class EndListener : public UtteranceListener {
public:
    explicit EndListener(std::function<void()> ended)
        : m_ended(std::move(ended)) {}
    void started() override {}
    void ended() override {
        if (m_ended)
            m_ended();
    }

private:
    std::function<void()> m_ended;
};

std::vector<qint16> converted(const std::vector<qint16>& samples, int from, int to) {
    SampleRateConverter converter(from, to);
    std::vector<float> out;
    converter.process(samples.data(), qint64(samples.size()), out);
    converter.finish(out);
    std::vector<qint16> result(out.size());
    std::transform(out.begin(), out.end(), result.begin(), [](float value) {
        return qint16(std::clamp(std::lround(value), -32768L, 32767L));
    });
    return result;
}

} // namespace

OutputSamplePlayer::OutputSamplePlayer(std::shared_ptr<AudioOutput> output)
    : m_output(std::move(output))
    , m_owner(AudioOutput::newOwner()) {}

OutputSamplePlayer::~OutputSamplePlayer() {
    stop();
}

void OutputSamplePlayer::play(std::vector<qint16> samples, int sampleRate,
                             std::function<void()> ended) {
    m_output->cancel(m_owner);
    if (sampleRate != m_output->sampleRate())
        samples = converted(samples, sampleRate, m_output->sampleRate());
    const UtterancePtr utterance =
        m_output->enqueue(m_owner, std::make_shared<EndListener>(std::move(ended)));
    m_output->append(utterance, samples.data(), qint64(samples.size()));
    m_output->finishSynthesis(utterance);
}

void OutputSamplePlayer::stop() {
    m_output->cancel(m_owner);
}

} // namespace lessora
