#pragma once

#include "audio/AudioOutput.h"
#include "voices/SpeechEngine.h"

#include <QString>
#include <QVector>

#include <functional>
#include <memory>

namespace lessora {

class AudioPumpThread;
class PreparedSpeech;

// The rate at which the voices are played.
inline constexpr int kSpeechSampleRate = 22050;

// Synthesises the text with the voice of that description (ASCII letter case ignored) at the
// rate (-10 .. 10, 0 normal) into memory, exactly as the voice would play it. Throws
// SpeechError for an unknown voice or a synthesiser failure. The voices and their attributes
// are listed by GetVoices of a voice object (EmbeddedSpeechEngine).
SynthesizedAudio synthesizeToMemory(const QString& voiceDescription, const QString& text, int rate);

struct EmbeddedEngineOptions {
    enum class Output {
        Automatic, // the sound server's default output, or the silent output while there is
                   // none
        Silent,    // the silent output, paced by `clock`
    };
    Output output = Output::Automatic;
    std::shared_ptr<const AudioClock> clock; // null: the system's monotonic clock
    // False: no thread drives the output; RunningState and synchronous Speak drive it
    // themselves, so that a test decides when time passes.
    bool pumpThread = true;
    // With Output::Silent: where the samples go instead of the silent output (a test's
    // recording of what would be heard).
    std::function<std::unique_ptr<PcmSink>()> makeSink;
};

// The speech engine of the program: English voices of Flite and espeak-ng, Japanese voices of
// Open JTalk (when installed) and espeak-ng, synthesised on one worker thread (Open JTalk as a
// separate program that the worker waits for) and played through one audio output, one
// utterance after another. Its OneCore category is empty.
class EmbeddedSpeechEngine : public SpeechEngine {
public:
    explicit EmbeddedSpeechEngine(EmbeddedEngineOptions options = {});
    ~EmbeddedSpeechEngine() override;

    std::unique_ptr<SpeechVoice> createVoice() override;
    std::unique_ptr<VoiceCategory> createVoiceCategory() override;
    QString availabilityNote() const override;
    // The HTS voice's package when Open JTalk and its dictionary are installed without it.
    QString missingVoicePackage() const override;

    // No sound device, or none at the last try: speech is played into the silent output.
    bool isSilent() const;
    const std::shared_ptr<AudioOutput>& audioOutput() const { return m_output; }
    // Blocks until everything asked of the synthesiser so far has been synthesised.
    void waitForSynthesis();

    // Loads the data of these voices (descriptions, ASCII case ignored; unknown ones are passed
    // over) on the synthesis thread, one job per voice so that a line asked for meanwhile waits
    // for one voice at most, and each voice once per process. A voice object's prepare() does
    // the same for the voice of the line it prepares.
    static void warmUp(const QStringList& voiceDescriptions);

private:
    std::shared_ptr<AudioOutput> m_output;
    std::unique_ptr<AudioPumpThread> m_pumpThread;
    bool m_hasDevice = false; // the output has a sound server to try
    std::shared_ptr<PreparedSpeech> m_prepared;
};

} // namespace lessora
