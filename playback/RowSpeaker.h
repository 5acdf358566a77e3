#pragma once

#include "playback/Practice.h"
#include "voices/SpeechEngine.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

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

    // Where the signals of the lines spoken go: `started` and `ended` run on `receiver`'s
    // thread, through queued connections, for the line spoken last only; a line silenced or
    // replaced since says nothing more.
    void setLineEvents(QObject* receiver, std::function<void()> started,
                       std::function<void()> ended);

    // Speaks the row asynchronously on a fresh voice object, which replaces the previous one.
    void speak(const RowCells& row, SpeechRates rates);
    // The running state of the row being spoken, asked once its voice has signalled the end of
    // the line; "none" while there is no voice object (its creation failed, or nothing has been
    // spoken yet). A row whose speech
    // failed after speak() had returned (a synthesiser that died or hung) is taken up here as
    // speak() takes up a failure: the unusable-voice message once per run, then the row spoken
    // again by the speaker's default voice, which reports "speaking" from then on. When that
    // fails as well, the row is over: "done".
    int runningState();

    // Starts working out how long the row takes to speak, with the voice and rate it would be
    // spoken with, without playing it and without waiting; the voice choice shows its messages
    // as speak() does. A line measured before, measured ahead or spoken lately is not
    // synthesised again.
    void startMeasuring(const RowCells& row, SpeechRates rates);
    // The length in milliseconds of the row given to startMeasuring, once it is known; nothing
    // while it is being worked out. A failing measurement is taken up as a failing utterance
    // (message, the speaker's default voice); a row that no voice can synthesise counts as
    // 0 ms long.
    std::optional<qint64> measuredMs();
    // Calls `handler` once on `receiver`'s thread when the measurement measuredMs() waits for
    // is done or has failed; ask measuredMs() again then.
    void whenMeasured(QObject* receiver, std::function<void()> handler);
    // Starts measuring a row whose turn comes later, quietly, as prepare() prepares one.
    void measureAhead(const RowCells& row, SpeechRates rates);
    // The row synthesised into memory with the voice and rate it would be spoken with.
    SynthesizedAudio synthesize(const RowCells& row, SpeechRates rates);
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
    // A row handed to a voice, with what a failure that shows later needs.
    struct Turn {
        RowCells row;
        SpeechRates rates;
        QString voice;         // the voice that speaks it; empty for the engine's default one
        bool fellBack = false; // the speaker's default voice has taken over already
        bool again = false;    // spoken again after its speech failed
    };
    struct Measuring {
        Turn turn;
        QString key;
        PendingLengthPtr pending;
        std::optional<qint64> length;
    };

    template <typename Action>
    Turn withRowVoice(SpeechVoice& voice, const RowCells& row, SpeechRates rates, Action action);
    // Sets the speaker's default voice, other than the one that failed, on the voice object and
    // shows the unusable-voice message once per run; the voice set.
    QString fallBack(SpeechVoice& voice, const Turn& failed, const QString& error);
    std::optional<qint64> measuringFailed(const QString& error);
    // Creates the voice object of a line and routes its signals to the line events.
    std::unique_ptr<SpeechVoice> createLineVoice();

    SpeechEngine& m_engine;
    MessageBoxes& m_messages;
    QString m_settingsPath;
    std::unique_ptr<SpeechVoice> m_voice;
    bool m_fallbackMessageShown = false;
    bool m_quiet = false;                     // choosing a voice for prepare(): no message
    QHash<QString, qint64> m_measured;        // voice, rate and text -> length in ms
    QHash<QString, PendingLengthPtr> m_ahead; // the same, still being worked out
    std::optional<Turn> m_spoken;             // the row the voice object speaks
    std::optional<Measuring> m_measuring;
    QObject* m_receiver = nullptr;
    std::function<void()> m_started;
    std::function<void()> m_ended;
    quint64 m_line = 0; // counts the lines handed to a voice object; only the last one's count
};

} // namespace lessora
