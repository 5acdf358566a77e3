#include "app/SoundPlayer.h"

#include "analysis/Sound.h"
#include "app/Logging.h"
#include "audio/SamplePlayer.h"
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
        if (std::shared_ptr<AudioOutput> output = embedded->audioOutput())
            m_player = std::make_unique<OutputSamplePlayer>(std::move(output));
}

EngineSoundPlayer::~EngineSoundPlayer() = default;

void EngineSoundPlayer::play(const Sound& sound) {
    if (!m_player) {
        qCWarning(lcApp) << "no sound output to play a recording through";
        return;
    }
    if (sound.isEmpty()) {
        m_player->stop();
        return;
    }
    m_player->play(pcmOf(sound.samples), sound.sampleRate, {});
}

void EngineSoundPlayer::stop() {
    if (m_player)
        m_player->stop();
}

} // namespace lessora
