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

// Loads, in the background, the voices the settings file gives the speakers, so that the first
// line of each speaker starts as quickly as its later ones. For after the window is shown: the
// work competes with nothing the user waits for.
void warmUpSpeakerVoices();

SpeechBackend createSpeechBackend();

} // namespace lessora
