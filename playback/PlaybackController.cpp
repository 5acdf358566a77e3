#include "playback/PlaybackController.h"

#include "lesson/LessonGrid.h"
#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"
#include "platform/Beeper.h"
#include "platform/ErrorHandler.h"
#include "platform/Services.h"
#include "voices/SpeechEngine.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QScopeGuard>
#include <QTimer>
#include <array>

namespace lessora {

namespace {

constexpr int kPollIntervalMs = 100;
constexpr int kWaitAfterSkipMs = 500;
constexpr int kMinimumTimerIntervalMs = 1; // a timer with interval 0 would not tick

constexpr std::array<int, 7> kIntervalMs{0, 500, 1000, 2000, 3000, 5000, 10000};
constexpr int kDefaultIntervalMs = 2000;
constexpr std::array<int, 5> kRepeatCounts{1, 2, 3, 5, 10};

const QString kCaptionIdle = QStringLiteral("読み上げ");
const QString kCaptionPlaying = QStringLiteral("一時停止");
const QString kCaptionPaused = QStringLiteral("再生");

template <std::size_t N> int valueAt(const std::array<int, N>& values, int index, int fallback) {
    return (index >= 0 && index < static_cast<int>(N)) ? values[index] : fallback;
}

} // namespace

PlaybackController::PlaybackController(PlaybackControls controls, const Services& services,
                                       const ErrorHandler& errors, QObject* parent)
    : QObject(parent)
    , m_controls(std::move(controls))
    , m_beeper(services.beeper)
    , m_decimalSeparator(services.decimalSeparator)
    , m_errors(errors)
    , m_speaker(services.speech, services.messages, services.settingsPath) {}

PlaybackController::~PlaybackController() = default;

template <typename Work> void PlaybackController::runExclusive(Work work) {
    if (m_busy)
        return;
    m_busy = true;
    const auto release = qScopeGuard([this] { m_busy = false; });
    m_errors.run(work);
}

// Commands.

void PlaybackController::btnSpeakClick() {
    runExclusive([this] {
        if (FIsPlaying)
            pausePlayback();
        else if (FIsPaused)
            resumePlayback();
        else
            startPlayback();
    });
}

void PlaybackController::btnStopClick() {
    runExclusive([this] {
        FIsPlaying = false;
        FIsPaused = false;
        FSingleRowPlaying = false;
        FVoiceStarted = false;
        FWaitingInterval = false;
        FWaitingAfterSkip = false;
        m_controls.timer.stop();
        silence();
        setCaption(kCaptionIdle);
        m_controls.setHighlightRow(-1);
    });
}

void PlaybackController::btnNextRowClick() {
    runExclusive([this] {
        if (const int target = firstRowWithTextAfter(FCurrentRow); target >= 0)
            moveTo(target);
    });
}

void PlaybackController::btnPrevRowClick() {
    runExclusive([this] {
        if (const int target = lastRowWithTextBefore(FCurrentRow); target >= 0)
            moveTo(target);
    });
}

void PlaybackController::mnuPlayFromHereClick() {
    runExclusive([this] {
        if (!withinTable(FPopupRow))
            return;
        FIsPlaying = false;
        FWaitingInterval = false;
        m_controls.timer.stop();
        leaveCurrentSpeech();
        FCurrentRow = FPopupRow;
        FCurrentRepeat = 1;
        FIsPlaying = true;
        FIsPaused = false;
        FVoiceErrorShown = false;
        setCaption(kCaptionPlaying);
        showCurrentRow();
        FVoiceStarted = false;
        // Spoken whether speakable or not; the speakable test applies from the next row on.
        speakCurrentRow();
        armTimer();
    });
}

void PlaybackController::StringGrid1CellClick(int, int row) {
    if (withinTable(row))
        FPopupRow = row;
}

void PlaybackController::StringGrid1CellDblClick(int, int row) {
    runExclusive([this, row] {
        if (!withinTable(row))
            return;
        // Ends a running run; a paused one can still be resumed afterwards.
        FIsPlaying = false;
        FWaitingInterval = false;
        FWaitingAfterSkip = false;
        m_controls.timer.stop();
        silence();
        m_controls.setHighlightRow(row);
        FSingleRowPlaying = true;
        const LessonTable& table = m_controls.table;
        SpeakRow(table.cell(ColText, row), table.cell(ColLanguage, row),
                 table.cell(ColSpeaker, row));
        armTimer();
    });
}

void PlaybackController::tmrNextTimer() {
    runExclusive([this] {
        if (FWaitingAfterSkip) {
            FWaitingAfterSkip = false;
            showCurrentRow();
            FVoiceStarted = false;
            speakCurrentRow();
            m_controls.timer.setInterval(kPollIntervalMs);
        } else if (FSingleRowPlaying) {
            if (runningState() != kRunningStateSpeaking) {
                FSingleRowPlaying = false;
                m_controls.setHighlightRow(-1);
                m_controls.timer.stop();
            }
        } else if (!FIsPlaying) {
            m_controls.timer.stop();
        } else if (FWaitingInterval) {
            advance();
        } else {
            const int state = runningState();
            if (state == kRunningStateSpeaking) {
                FVoiceStarted = true;
            } else if (FVoiceStarted || state == kRunningStateDone) {
                // Done without ever having been seen speaking (an empty text, a sound shorter
                // than one poll, a failed utterance) ends the row as well: never wait forever.
                FWaitingInterval = true;
                m_controls.timer.setInterval(
                    std::max(GetRowInterval(FCurrentRow), kMinimumTimerIntervalMs));
            }
        }
    });
}

// Values chosen in the lists, matched by index.

int PlaybackController::GetInterval() const {
    return valueAt(kIntervalMs, m_controls.interval.currentIndex(), kDefaultIntervalMs);
}

int PlaybackController::GetRepeatCount() const {
    return valueAt(kRepeatCounts, m_controls.repeat.currentIndex(), 1);
}

int PlaybackController::GetEnglishRate() const {
    return englishRateForIndex(m_controls.englishRate.currentIndex());
}

int PlaybackController::GetRowInterval(int row) const {
    return rowPauseMs(m_controls.table.cell(ColInterval, row), GetInterval(), m_decimalSeparator);
}

// Transitions.

void PlaybackController::startPlayback() {
    if (m_controls.table.rows() == 0)
        return;
    FCurrentRow = firstSpeakableRow();
    if (FCurrentRow < 0)
        return;
    leaveCurrentSpeech();
    FCurrentRepeat = 1;
    FIsPlaying = true;
    FIsPaused = false;
    setCaption(kCaptionPlaying);
    FWaitingInterval = false;
    FVoiceErrorShown = false;
    showCurrentRow();
    FVoiceStarted = false;
    speakCurrentRow();
    armTimer();
}

void PlaybackController::pausePlayback() {
    FIsPlaying = false;
    FIsPaused = true;
    FWaitingInterval = false;
    FWaitingAfterSkip = false;
    m_controls.timer.stop();
    silence();
    setCaption(kCaptionPaused);
}

void PlaybackController::resumePlayback() {
    // The row is spoken again from its beginning.
    leaveCurrentSpeech();
    FIsPaused = false;
    FIsPlaying = true;
    FWaitingInterval = false;
    FVoiceStarted = false;
    setCaption(kCaptionPlaying);
    // A row double-clicked meanwhile took the highlight; give it back to the run's row.
    m_controls.setHighlightRow(FCurrentRow);
    speakCurrentRow();
    armTimer();
}

void PlaybackController::moveTo(int target) {
    // From idle (nothing playing or paused) next and previous begin a run of their own.
    const bool newRun = !FIsPlaying && !FIsPaused;
    leaveCurrentSpeech();
    FCurrentRow = target;
    FIsPlaying = true;
    FIsPaused = false;
    FWaitingInterval = false;
    FVoiceStarted = false;
    if (newRun) {
        FCurrentRepeat = 1;
        FVoiceErrorShown = false;
    }
    setCaption(kCaptionPlaying);
    showCurrentRow();
    speakCurrentRow();
    armTimer();
}

void PlaybackController::advance() {
    FWaitingInterval = false;
    ++FCurrentRow;
    const LessonTable& table = m_controls.table;
    while (FCurrentRow < table.rows() && !IsSpeakableRow(FCurrentRow)) {
        if (rowHasText(table, FCurrentRow))
            FWaitingAfterSkip = true;
        ++FCurrentRow;
    }
    if (FWaitingAfterSkip)
        m_beeper.beep(); // once, however many rows were skipped
    if (FWaitingAfterSkip && FCurrentRow < table.rows()) {
        m_controls.timer.setInterval(kWaitAfterSkipMs); // the next tick speaks the row
        return;
    }
    if (FCurrentRow >= table.rows()) {
        // The wait after a skip is over at the end of the table; the row to come is spoken
        // now, so a later tick must not speak it a second time.
        FWaitingAfterSkip = false;
        if (FCurrentRepeat >= GetRepeatCount()) {
            endPlayback();
            return;
        }
        const int first = firstRowWithTextAfter(-1);
        if (first < 0) {
            endPlayback(); // the table lost all its text during the run
            return;
        }
        ++FCurrentRepeat;
        FCurrentRow = first; // the speakable test is not applied here
    }
    showCurrentRow();
    FVoiceStarted = false;
    speakCurrentRow();
    m_controls.timer.setInterval(kPollIntervalMs);
}

void PlaybackController::endPlayback() {
    FIsPlaying = false;
    FIsPaused = false;
    m_controls.timer.stop();
    setCaption(kCaptionIdle);
    m_controls.setHighlightRow(-1);
}

void PlaybackController::leaveCurrentSpeech() {
    silence();
    FSingleRowPlaying = false;
    FWaitingAfterSkip = false;
}

// Shared steps.

void PlaybackController::silence() {
    if (FVoice)
        FVoice->Speak(QString(), kSpeakAsync | kSpeakPurge);
}

void PlaybackController::showCurrentRow() {
    m_controls.grid.makeRowCurrent(FCurrentRow);
    m_controls.setHighlightRow(FCurrentRow);
}

void PlaybackController::speakCurrentRow() {
    const LessonTable& table = m_controls.table;
    SpeakRow(table.cell(ColText, FCurrentRow), table.cell(ColLanguage, FCurrentRow),
             table.cell(ColSpeaker, FCurrentRow));
}

void PlaybackController::armTimer() {
    m_controls.timer.setInterval(kPollIntervalMs);
    m_controls.timer.start();
}

int PlaybackController::runningState() {
    // No voice object (its creation failed): nothing has been spoken.
    return FVoice ? FVoice->RunningState() : kRunningStateNone;
}

void PlaybackController::setCaption(const QString& caption) {
    m_controls.speakButton.setText(caption);
}

bool PlaybackController::IsSpeakableRow(int row) const {
    return isSpeakableRow(m_controls.table, row);
}

void PlaybackController::SpeakRow(const QString& text, const QString& language,
                                  const QString& speaker) {
    m_speaker.SpeakRow({FVoice, FVoiceErrorShown}, {text, language, speaker}, GetEnglishRate());
}

// Row searches.

int PlaybackController::firstSpeakableRow() const {
    for (int row = 0; row < m_controls.table.rows(); ++row) {
        if (IsSpeakableRow(row))
            return row;
    }
    return -1;
}

int PlaybackController::firstRowWithTextAfter(int row) const {
    const LessonTable& table = m_controls.table;
    for (int candidate = std::max(row + 1, 0); candidate < table.rows(); ++candidate) {
        if (rowHasText(table, candidate))
            return candidate;
    }
    return -1;
}

int PlaybackController::lastRowWithTextBefore(int row) const {
    const LessonTable& table = m_controls.table;
    for (int candidate = std::min(row, table.rows()) - 1; candidate >= 0; --candidate) {
        if (rowHasText(table, candidate))
            return candidate;
    }
    return -1;
}

bool PlaybackController::withinTable(int row) const {
    return row >= 0 && row < m_controls.table.rows();
}

} // namespace lessora
