#pragma once

#include "playback/RowSpeaker.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QAbstractButton;
class QComboBox;
class QTimer;

namespace lessora {

class Beeper;
class ErrorHandler;
class LessonGrid;
class LessonTable;
class SpVoice;
struct Services;

// The main window's controls that playback reads and drives.
struct PlaybackControls {
    LessonTable& table;
    LessonGrid& grid;
    QTimer& timer;                // tmrNext
    QAbstractButton& speakButton; // btnSpeak: "読み上げ", "一時停止" or "再生"
    QComboBox& interval;          // cmbInterval
    QComboBox& repeat;            // cmbRepeat
    QComboBox& englishRate;       // cmbEnglishRate
    std::function<void(int)> setHighlightRow; // sets the highlighted row and repaints the grid
};

// Reads the lesson aloud row by row and pass by pass. The commands and the timer tick of the
// main window land here; speech runs on its own in the engine and is polled by the tick.
//
// While a command or tick is at work — which only a modal message it shows can stretch out —
// further commands and ticks are ignored, so a tick arriving under a message can neither speak
// a second row nor advance the state twice. Errors of a command or tick are shown by the
// default error handler within that same window.
class PlaybackController : public QObject {
    Q_OBJECT
public:
    PlaybackController(PlaybackControls controls, const Services& services,
                       const ErrorHandler& errors, QObject* parent = nullptr);
    ~PlaybackController() override;

    // Commands.
    void btnSpeakClick();
    void btnStopClick();
    void btnPrevRowClick();
    void btnNextRowClick();
    void mnuPlayFromHereClick();
    void StringGrid1CellClick(int column, int row);
    void StringGrid1CellDblClick(int column, int row);
    void tmrNextTimer();

    // Values chosen in the main window's lists.
    int GetInterval() const;    // default pause in ms
    int GetRepeatCount() const; // passes over the lesson
    int GetEnglishRate() const; // engine rate for English rows
    int GetRowInterval(int row) const;

    // State, for the window and for tests.
    int currentRow() const { return FCurrentRow; }
    bool isPlaying() const { return FIsPlaying; }
    bool isPaused() const { return FIsPaused; }
    bool singleRowPlaying() const { return FSingleRowPlaying; }
    bool voiceStarted() const { return FVoiceStarted; }
    bool waitingInterval() const { return FWaitingInterval; }
    bool waitingAfterSkip() const { return FWaitingAfterSkip; }
    bool voiceErrorShown() const { return FVoiceErrorShown; }
    int currentRepeat() const { return FCurrentRepeat; }
    int popupRow() const { return FPopupRow; }
    bool hasVoice() const { return FVoice != nullptr; }

private:
    template <typename Work> void runExclusive(Work work);

    void startPlayback();
    void pausePlayback();
    void resumePlayback();
    void moveTo(int target);
    void advance();
    void endPlayback();
    // Leaves whatever was being spoken or waited for, before a command speaks a row of its own.
    void leaveCurrentSpeech();

    void silence();
    void showCurrentRow();
    void speakCurrentRow();
    void armTimer();
    int runningState();
    void setCaption(const QString& caption);

    bool IsSpeakableRow(int row) const;
    void SpeakRow(const QString& text, const QString& language, const QString& speaker);
    int firstSpeakableRow() const;
    int firstRowWithTextAfter(int row) const;
    int lastRowWithTextBefore(int row) const;
    bool withinTable(int row) const;

    PlaybackControls m_controls;
    Beeper& m_beeper;
    QChar m_decimalSeparator;
    const ErrorHandler& m_errors;
    RowSpeaker m_speaker;
    bool m_busy = false;

    std::unique_ptr<SpVoice> FVoice;
    int FCurrentRow = 0;
    bool FIsPlaying = false;
    bool FIsPaused = false;
    bool FSingleRowPlaying = false;
    bool FVoiceStarted = false;
    bool FWaitingInterval = false;
    bool FWaitingAfterSkip = false;
    bool FVoiceErrorShown = false;
    int FCurrentRepeat = 0;
    int FPopupRow = 0;
};

} // namespace lessora
