#pragma once

#include "playback/Practice.h"
#include "playback/RowSpeaker.h"

#include <QObject>
#include <QString>
#include <functional>

class QTimer;

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
    LessonCursor& grid;                             // StringGrid1
    QTimer& timer;                                  // tmrNext: its ticks drive playback
    std::function<PlaybackChoices()> choices;       // read when needed
    std::function<void(const QString&)> setCaption; // btnSpeak: "読み上げ", "一時停止", "再生"
    std::function<void(int)> setHighlightRow;       // sets the highlighted row and repaints
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
};

enum class PlaybackState {
    Idle,
    Speaking,         // a row of the run is being spoken; the tick polls for its end
    WaitingInterval,  // the pause after a row; the tick moves on
    WaitingAfterSkip, // the short wait after the beep for skipped rows; the tick speaks the row
    Paused,           // the run waits to be resumed
    SingleRow,        // a double-clicked row is spoken on its own
    WaitingGap,       // silence for the learner: an answer in role-play, or shadowing a line
    WaitingLength,    // the gap's line is being measured; the tick starts the gap once it is
};

// Reads the lesson aloud row by row and pass by pass. The main window's commands and timer
// ticks land in its slots; speech runs on its own in the engine and is polled by the tick.
//
// While a command or tick is at work — which only a modal message it shows can stretch out —
// further commands and ticks are ignored, so a tick arriving under a message can neither speak
// a second row nor advance the state twice. Errors of a command or tick are shown by the
// default error handler within that same window.
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
    bool isPlaying() const;
    // A run waits to be resumed (also while a double-clicked row is spoken meanwhile).
    bool isPaused() const;
    bool singleRowPlaying() const { return m_state == PlaybackState::SingleRow; }
    bool waitingInterval() const { return m_state == PlaybackState::WaitingInterval; }
    bool waitingAfterSkip() const { return m_state == PlaybackState::WaitingAfterSkip; }
    bool waitingGap() const { return m_state == PlaybackState::WaitingGap; }
    bool waitingLength() const { return m_state == PlaybackState::WaitingLength; }
    // The learner answers the current line: its gap runs (or is about to).
    bool learnersTurn() const;
    bool voiceStarted() const { return m_voiceStarted; }
    int currentRow() const { return m_currentRow; }
    int currentPass() const { return m_currentPass; }
    int currentRepeat() const { return m_currentRepeat; }
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
    // The timer's tick.
    void tick();

signals:
    // The run moved on, paused, resumed or ended: progress() has changed.
    void progressChanged();

private:
    template <typename Work> void runExclusive(Work work);

    void startPlayback();
    // The current row of the run from its first repeat, and each repeat after it.
    void beginRow();
    void beginRepeat();
    void repeatDone();
    void startGap(bool answer);
    void startGapOnceMeasured();
    // Sets the timer to the gap once its line's length is known (true), else to poll for it.
    bool armGapOnceMeasured(bool answer);
    void singleRowTick();
    void endGap();
    void pausePlayback();
    void resumePlayback();
    void moveTo(int target);
    void pollSpeaking();
    void advance();
    void endPlayback();
    // A run that is playing stops being one.
    void leaveRun();

    void showCurrentRow();
    void notifyProgress();
    RowCells cellsOf(int row) const;
    void speakRow(int row);
    void armTimer();
    void setCaption(const QString& caption);

    int firstSpeakableRow() const;
    int firstRowWithTextAfter(int row) const;
    int lastRowWithTextBefore(int row) const;
    // The row the run turns to after this one: the next speakable row (with `spokenOnly`, the
    // next that is not the learner's), else the first row with text when another pass follows;
    // -1 at the end of the run.
    int rowOfRunAfter(int row, const PracticeOptions& practice, bool spokenOnly) const;
    // The row next moves on from: the current row, except during the wait after a skip, when
    // the row about to be spoken has not been heard yet and is itself the next one.
    int rowToMoveOnFrom() const;
    bool withinTable(int row) const;

    PlaybackControls m_controls;
    Beeper& m_beeper;
    QChar m_decimalSeparator;
    const ErrorHandler& m_errors;
    RowSpeaker m_speaker;
    bool m_busy = false;

    PlaybackState m_state = PlaybackState::Idle;
    PlaybackState m_stateAfterSingleRow = PlaybackState::Idle; // Idle or Paused
    bool m_voiceStarted = false; // the row being spoken has been seen speaking
    int m_currentRow = 0;
    int m_currentPass = 0;
    int m_currentRepeat = 1;
    bool m_gapIsAnswer = false; // WaitingGap, WaitingLength: the learner's answer, not shadowing
    // SingleRow: the double-clicked row, its repeat, and where that repeat is.
    enum class SinglePhase { Speaking, WaitingLength, Gap };
    int m_singleRow = -1;
    int m_singleRepeat = 1;
    SinglePhase m_singlePhase = SinglePhase::Speaking;
    PlaybackProgress m_shownProgress;
};

} // namespace lessora
