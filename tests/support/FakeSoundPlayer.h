#pragma once

#include "analysis/Sound.h"
#include "app/SoundPlayer.h"

#include <QList>

namespace lessora::test {

// Records the sounds it is asked to play instead of playing them.
class FakeSoundPlayer : public SoundPlayer {
public:
    QList<Sound> played;
    int stops = 0;
    void play(const Sound& sound) override { played.append(sound); }
    void stop() override { ++stops; }
};

} // namespace lessora::test
