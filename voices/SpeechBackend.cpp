#include "voices/SpeechBackend.h"

#include "audio/AudioBeeper.h"
#include "voices/EmbeddedSpeechEngine.h"

namespace lessora {

SpeechBackend createSpeechBackend() {
    auto engine = std::make_unique<EmbeddedSpeechEngine>();
    auto beeper = std::make_unique<AudioBeeper>(engine->audioOutput());
    return {std::move(engine), std::move(beeper)};
}

} // namespace lessora
