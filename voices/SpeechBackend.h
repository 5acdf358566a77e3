#pragma once

#include "audio/AudioInput.h"
#include "audio/SamplePlayer.h"
#include "platform/Beeper.h"
#include "voices/SpeechEngine.h"

#include <memory>

namespace lessora {

// The program's speech engine and the beep that plays through the same output; the learner's
// recordings are heard through it too, and recorded at its rate.
struct SpeechBackend {
    std::unique_ptr<SpeechEngine> engine;
    std::unique_ptr<Beeper> beeper;
    std::unique_ptr<SamplePlayer> player;
    std::unique_ptr<AudioInput> input;
};

SpeechBackend createSpeechBackend();

} // namespace lessora
