#include "voices/SpeechBackend.h"

#include "audio/AudioBeeper.h"
#include "voices/EmbeddedSpeechEngine.h"

namespace lessora {

SpeechBackend createSpeechBackend() {
    auto engine = std::make_unique<EmbeddedSpeechEngine>();
    auto beeper = std::make_unique<AudioBeeper>(engine->audioOutput());
    auto player = std::make_unique<OutputSamplePlayer>(engine->audioOutput());
    // Nothing of the sound server is touched until the first recording.
    auto input = std::make_unique<PulseAudioInput>(kSpeechSampleRate);
    return {std::move(engine), std::move(beeper), std::move(player), std::move(input)};
}

} // namespace lessora
