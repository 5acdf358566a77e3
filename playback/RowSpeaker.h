#pragma once

#include "playback/Practice.h"
#include "voices/SpeechEngine.h"

#include <QHash>
#include <QString>
#include <memory>

namespace lessora {

class MessageBoxes;

// The cells of the row to speak, exactly as they stand in the table.
struct RowCells {
    QString text;
    QString language;
    QString speaker;
};

// Speaks lesson rows, each with its speaker's configured voice: looks the voice up in the
// settings file and its catalogue and, when it is unset, cannot be found, is of the other
// language or fails, uses the speaker's own default voice of the row's language instead: the
// N-th voice of that language in the engine's order for the N-th speaker of the language
// (A and Q the first, B and R the second, C and S the third). Errors it does not turn into a
// message propagate.
class RowSpeaker {
public:
    RowSpeaker(SpeechEngine& engine, MessageBoxes& messages, QString settingsPath);
    ~RowSpeaker();

    // Speaks the row asynchronously on a fresh voice object, which replaces the previous one.
    void speak(const RowCells& row, SpeechRates rates);
    // How long the row takes to speak with the voice and rate it would be spoken with, in
    // milliseconds, without playing it. Lines measured before come from memory.
    qint64 measureMs(const RowCells& row, SpeechRates rates);
    // The row synthesised into memory with the voice and rate it would be spoken with.
    SynthesizedAudio synthesize(const RowCells& row, SpeechRates rates);

    // The voice object's running state; "none" while there is no voice object (its creation
    // failed, or nothing has been spoken yet).
    int runningState();
    // Ends whatever the voice object is saying.
    void silence();
    // Lets the engine synthesise the row that comes next while the current one is heard, with
    // the voice and rate speak() would use; shows no message and never fails.
    void prepare(const RowCells& row, SpeechRates rates);
    bool hasVoice() const { return m_voice != nullptr; }

    // The fallback messages are shown once per run: a new run may show them again.
    void beginRun() { m_fallbackMessageShown = false; }
    bool fallbackMessageShown() const { return m_fallbackMessageShown; }

private:
    template <typename Action>
    void withRowVoice(SpeechVoice& voice, const RowCells& row, SpeechRates rates, Action action);

    SpeechEngine& m_engine;
    MessageBoxes& m_messages;
    QString m_settingsPath;
    std::unique_ptr<SpeechVoice> m_voice;
    bool m_fallbackMessageShown = false;
    bool m_quiet = false; // choosing a voice for prepare(): no message
    QHash<QString, qint64> m_measured; // voice, rate and text -> length in ms
};

} // namespace lessora
