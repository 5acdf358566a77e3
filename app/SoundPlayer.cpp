#include "app/SoundPlayer.h"

#include "analysis/Sound.h"
#include "app/Logging.h"
#include "audio/SampleRateConverter.h"
#include "voices/EmbeddedSpeechEngine.h"

#include <algorithm>
#include <cmath>

namespace lessora {

namespace {

std::vector<qint16> pcmOf(const std::vector<float>& samples) {
    std::vector<qint16> pcm(samples.size());
    std::transform(samples.begin(), samples.end(), pcm.begin(), [](float sample) {
        return qint16(std::clamp(std::lround(sample * 32767.0f), -32768L, 32767L));
    });
    return pcm;
}

} // namespace

EngineSoundPlayer::EngineSoundPlayer(SpeechEngine& engine) {
    if (const auto* embedded = dynamic_cast<EmbeddedSpeechEngine*>(&engine))
        m_output = embedded->audioOutput();
    if (m_output)
        m_owner = AudioOutput::newOwner();
}

EngineSoundPlayer::~EngineSoundPlayer() {
    stop();
}

void EngineSoundPlayer::play(const Sound& sound) {
    if (!m_output) {
        qCWarning(lcApp) << "no sound output to play a recording through";
        return;
    }
    stop();
    if (sound.isEmpty())
        return;
    std::vector<qint16> pcm = pcmOf(sound.samples);
    if (sound.sampleRate != m_output->sampleRate()) {
        SampleRateConverter converter(sound.sampleRate, m_output->sampleRate());
        std::vector<float> converted;
        converter.process(pcm.data(), qint64(pcm.size()), converted);
        converter.finish(converted);
        // The converter keeps the 16-bit scale.
        pcm.resize(converted.size());
        std::transform(converted.begin(), converted.end(), pcm.begin(), [](float sample) {
            return qint16(std::clamp(std::lround(sample), -32768L, 32767L));
        });
    }
    // A new utterance takes its samples at once, however many: only later pieces wait for room.
    const UtterancePtr utterance = m_output->enqueue(m_owner);
    m_output->append(utterance, pcm.data(), qint64(pcm.size()));
    m_output->finishSynthesis(utterance);
}

void EngineSoundPlayer::stop() {
    if (m_output)
        m_output->cancel(m_owner);
}

} // namespace lessora
