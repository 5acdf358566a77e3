#pragma once

#include <QtGlobal>

#include <memory>

namespace lessora {

class OutputSamplePlayer;
class SpeechEngine;
struct Sound;

// Plays a sound on the program's sound output. Tests use a fake that records what it was asked.
class SoundPlayer {
public:
    virtual ~SoundPlayer() = default;
    // Plays the sound, ending the one this player is playing.
    virtual void play(const Sound& sound) = 0;
    // Ends what this player is playing.
    virtual void stop() = 0;
};

// Plays through the output the voices speak through (EmbeddedSpeechEngine::audioOutput), with
// the sample player the recordings' replay uses, so that a sound is heard on the same device as
// the lesson, after what is being spoken. With an engine that has no such output it plays
// nothing and says so in the log.
class EngineSoundPlayer : public SoundPlayer {
public:
    explicit EngineSoundPlayer(SpeechEngine& engine);
    ~EngineSoundPlayer() override;
    void play(const Sound& sound) override;
    void stop() override;

private:
    std::unique_ptr<OutputSamplePlayer> m_player;
};

} // namespace lessora
