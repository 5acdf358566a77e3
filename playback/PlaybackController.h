#pragma once

#include "playback/AnswerRecorder.h"
#include "playback/DrillPlan.h"
#include "playback/PlaybackTimer.h"
#include "playback/Practice.h"
#include "playback/RowSpeaker.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QVector>
#include <functional>
#include <tuple>

namespace lessora {

class Beeper;
class ErrorHandler;
class LessonCursor;
class LessonTable;
class MessageBoxes;
class SpeechEngine;

// Where a run is, for the window to show.
struct PlaybackProgress {
    bool inRun = false; // playing or paused
    bool paused = false;
    int line = 0;  // the current row's place among the rows with text, from 1
    int lines = 0; // rows with text
    int pass = 0;
    int passes = 0;
    int repeat = 0; // the current line's repeat, from 1
    int repeats = 0;
    bool learnersTurn = false; // the learner is answering the current line

    friend bool operator==(const PlaybackProgress&, const PlaybackProgress&) = default;
};

// "3/10行 2/3回", with the line's repeat and the learner's turn when they apply; empty while
// no run is on.
QString progressText(const PlaybackProgress& progress);

// The main window's parts that playback reads and drives.
struct PlaybackControls {
    LessonTable& table;
    LessonCursor& grid;                       // StringGrid1
    std::function<PlaybackChoices()> choices; // read when needed
    // True while the user edits or types in the grid: then playback does not move its current
    // cell, which would commit half-typed text and send the next keystroke to another row.
    std::function<bool()> userIsEditing;
};

// What playback uses of the platform.
struct PlaybackServices {
    SpeechEngine& speech;
    MessageBoxes& messages;
    Beeper& beeper;
    QString settingsPath;
    QChar decimalSeparator;
    // Times pauses and gaps; null for a precise single-shot timer of the controller's own.
    PlaybackTimer* timer = nullptr;
    // Records the learner's gaps and plays them back while the settings ask for it; null: none.
    AnswerRecorder* recorder = nullptr;
};

// Where playback is. A run and a double-clicked row go through the same states; which of
// them plays, and the step under way, say the rest.
enum class PlaybackState {
    Idle,      // nothing plays
    Speaking,  // a line sounds; the engine says when it has ended
    Measuring, // a gap waits for its line's length, which the engine works out
    Waiting,   // a pause, a gap or the wait after a skip runs on the timer
    Paused,    // a run waits to be resumed
    Replaying, // the learner's recording of the gap before is played back; the recorder says
               // when it has been heard
};

// Reads the lesson aloud row by row and pass by pass, following the drill plan. Commands land
// in its slots; the engine's signals (a line started or ended, a length measured) and its own
// timer (pauses, gaps, the wait after a skip) move it on.
//
// While a command or an event is at work — which only a modal message it shows can stretch
// out — further commands are ignored, and events wait for it to finish, so that one arriving
// under a message can neither speak a second row nor advance the state twice. Errors of a
// command or event are shown by the default error handler within that same window.
class PlaybackController : public QObject {
    Q_OBJECT
public:
    PlaybackController(PlaybackControls controls, PlaybackServices services,
                       const ErrorHandler& errors, QObject* parent = nullptr);
    ~PlaybackController() override;

    // Values chosen in the main window's lists.
    int intervalMs() const;             // the default pause
    int passCount() const;              // passes over the lesson
    int englishRate() const;            // engine rate for English rows
    SpeechRates rates() const;          // engine rates of both languages
    int pauseAfterRowMs(int row) const; // the row's own pause, else the default one

    PlaybackState state() const { return m_state; }
    // A run plays (not paused, not a double-clicked row).
    bool isPlaying() const;
    // A run waits to be resumed (also while a double-clicked row is spoken meanwhile).
    bool isPaused() const;
    bool singleRowPlaying() const;
    bool waitingInterval() const; // the pause after a row of the run
    bool waitingAfterSkip() const;
    bool waitingGap() const; // a gap for the learner, or the pause between two repeats
    bool waitingLength() const;
    // The learner answers the current line: its gap runs (or is about to).
    bool learnersTurn() const;
    bool voiceStarted() const { return m_voiceStarted; }
    int currentRow() const { return m_run.row; }
    int currentPass() const { return m_run.pass; }
    int currentRepeat() const { return m_run.repeat; }
    PlaybackProgress progress() const;
    const RowSpeaker& speaker() const { return m_speaker; }

public slots:
    // "読み上げ" / "一時停止" / "再生": starts a run, pauses it or resumes it.
    void playPause();
    void stop();
    void next();
    void previous();
    // Starts a run at the row ("ここから再生").
    void playFrom(int row);
    // Speaks the one row outside any run (a double-click).
    void playRow(int row);

signals:
    // The state changed, or a double-clicked row began or ended: what the play button offers.
    void stateChanged();
    // The run moved on, paused, resumed or ended: progress() has changed.
    void progressChanged();
    // The row being spoken, to be shown as such; -1 when none is.
    void highlightRowChanged(int row);

private:
    template <typename Work> void runExclusive(Work work);
    // An event: run now, or once the command or event at work has finished.
    void handleEvent(std::function<void()> work);

    // The one place the state changes.
    void setState(PlaybackState state);
    // Starts a step of the run or of the double-clicked row.
    void take(const DrillStep& step);
    // The step under way is over: the next one, or the end.
    void stepDone();
    void armGap();
    void wait(int ms);
    void endSingleRow();
    void endRun(int endRow);

    void startPlayback();
    void pausePlayback();
    void resumePlayback();
    void moveTo(int target);
    // A run that is playing stops being one; its paused state and position stay.
    void leaveRun();
    void quiet();

    void lineStarted();
    void lineEnded(quint64 line);
    void measured(quint64 measuring);
    void timedOut();
    void replayEnded(quint64 replay);
    // The learner's gap is over: the recording kept when it ran to its end.
    void endAnswer(bool keep);

    DrillSettings drillSettings() const;
    void showCurrentRow();
    void notifyProgress();
    RowCells cellsOf(int row) const;
    void speakRow(int row);
    bool withinTable(int row) const;
    // The rows with text up to each row, worked out again only when the table changes.
    const QVector<int>& linesUpTo() const;

    PlaybackControls m_controls;
    Beeper& m_beeper;
    QChar m_decimalSeparator;
    const ErrorHandler& m_errors;
    RowSpeaker m_speaker;
    PlaybackTimer* m_timer;
    AnswerRecorder* m_recorder;
    bool m_recording = false; // a gap is being recorded
    quint64 m_replays = 0;    // counts replays, to know their ends
    bool m_busy = false;
    QList<std::function<void()>> m_deferred; // events that came while busy

    PlaybackState m_state = PlaybackState::Idle;
    DrillStep m_step;            // the step under way (of the run, or of the double-clicked row)
    DrillStep m_run;             // where the run is: its row, pass and repeat
    bool m_single = false;       // m_step is the double-clicked row's
    bool m_runPaused = false;    // a paused run waits behind the double-clicked row
    bool m_voiceStarted = false; // the line being spoken has been heard
    quint64 m_line = 0;          // counts lines handed to the engine, to know their events
    quint64 m_measuring = 0;     // the same for measurements
    quint64 m_waits = 0;         // the same for the timer
    PlaybackProgress m_shownProgress;
    std::tuple<PlaybackState, bool, bool> m_shownState{PlaybackState::Idle, false, false};
    mutable QVector<int> m_linesUpTo;
    mutable bool m_linesKnown = false;
};

} // namespace lessora
