#pragma once

#include "platform/Beeper.h"
#include "voices/SpeechEngine.h"

#include <memory>

namespace lessora {

// The program's speech engine and the beep that plays through the same output.
struct SpeechBackend {
    std::unique_ptr<SpeechEngine> engine;
    std::unique_ptr<Beeper> beeper;
};

SpeechBackend createSpeechBackend();

} // namespace lessora
