#pragma once

#include "audio/AudioOutput.h"
#include "platform/Beeper.h"

#include <memory>

namespace lessora {

// The playback beep: a short generated tone through the speech's audio output, so that it is
// heard (or silently timed) wherever speech is.
class AudioBeeper : public Beeper {
public:
    explicit AudioBeeper(std::shared_ptr<AudioOutput> output);
    void beep() override;

    static std::vector<qint16> tone(int sampleRate);

private:
    std::shared_ptr<AudioOutput> m_output;
    quint64 m_owner;
};

} // namespace lessora
