#include "playback/PlaybackController.h"

#include "lesson/LessonCursor.h"
#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"
#include "platform/Beeper.h"
#include "platform/ErrorHandler.h"
#include "voices/SpeechEngine.h"

#include <QScopeGuard>
#include <QTimer>

namespace lessora {

namespace {

constexpr int kPollIntervalMs = 100;
constexpr int kWaitAfterSkipMs = 500;
constexpr int kLengthPollMs = 20; // a line being measured is mostly a matter of milliseconds
constexpr int kMinimumTimerIntervalMs = 1; // a timer with interval 0 would not tick

const QString kCaptionIdle = QStringLiteral("読み上げ");
const QString kCaptionPlaying = QStringLiteral("一時停止");
const QString kCaptionPaused = QStringLiteral("再生");

} // namespace

PlaybackController::PlaybackController(PlaybackControls controls, PlaybackServices services,
                                       const ErrorHandler& errors, QObject* parent)
    : QObject(parent)
    , m_controls(std::move(controls))
    , m_beeper(services.beeper)
    , m_decimalSeparator(services.decimalSeparator)
    , m_errors(errors)
    , m_speaker(services.speech, services.messages, std::move(services.settingsPath)) {
    // Pauses and answer gaps are timed by it: a coarse timer may end a 4 s gap 200 ms early.
    m_controls.timer.setTimerType(Qt::PreciseTimer);
}

PlaybackController::~PlaybackController() = default;

template <typename Work> void PlaybackController::runExclusive(Work work) {
    if (m_busy)
        return;
    m_busy = true;
    const auto release = qScopeGuard([this] { m_busy = false; });
    m_errors.run(work);
    notifyProgress();
}

bool PlaybackController::isPlaying() const {
    return m_state == PlaybackState::Speaking || m_state == PlaybackState::WaitingInterval ||
           m_state == PlaybackState::WaitingAfterSkip || m_state == PlaybackState::WaitingGap ||
           m_state == PlaybackState::WaitingLength;
}

bool PlaybackController::learnersTurn() const {
    // While the line is measured the learner may begin already: their gap counts from its end.
    return (m_state == PlaybackState::WaitingGap || m_state == PlaybackState::WaitingLength) &&
           m_gapIsAnswer;
}

bool PlaybackController::isPaused() const {
    return m_state == PlaybackState::Paused ||
           (m_state == PlaybackState::SingleRow && m_stateAfterSingleRow == PlaybackState::Paused);
}

// Commands.

void PlaybackController::playPause() {
    runExclusive([this] {
        if (isPlaying())
            pausePlayback();
        else if (isPaused())
            resumePlayback();
        else
            startPlayback();
    });
}

void PlaybackController::stop() {
    runExclusive([this] {
        m_state = PlaybackState::Idle;
        m_voiceStarted = false;
        m_controls.timer.stop();
        m_speaker.silence();
        setCaption(kCaptionIdle);
        m_controls.setHighlightRow(-1);
    });
}

void PlaybackController::next() {
    runExclusive([this] {
        if (const int target = firstRowWithTextAfter(rowToMoveOnFrom()); target >= 0)
            moveTo(target);
    });
}

void PlaybackController::previous() {
    runExclusive([this] {
        if (const int target = lastRowWithTextBefore(m_currentRow); target >= 0)
            moveTo(target);
    });
}

void PlaybackController::playFrom(int row) {
    runExclusive([this, row] {
        if (!withinTable(row))
            return;
        leaveRun();
        m_controls.timer.stop();
        m_speaker.silence();
        m_currentRow = row;
        m_currentPass = 1;
        m_state = PlaybackState::Speaking;
        m_speaker.beginRun();
        setCaption(kCaptionPlaying);
        showCurrentRow();
        // Spoken whether speakable or not; the speakable test applies from the next row on.
        beginRow();
        m_controls.timer.start();
    });
}

void PlaybackController::playRow(int row) {
    runExclusive([this, row] {
        if (!withinTable(row))
            return;
        // Ends a running run; a paused one can still be resumed afterwards.
        leaveRun();
        m_controls.timer.stop();
        m_speaker.silence();
        m_controls.setHighlightRow(row);
        m_stateAfterSingleRow = isPaused() ? PlaybackState::Paused : PlaybackState::Idle;
        m_state = PlaybackState::SingleRow;
        m_singleRow = row;
        m_singleRepeat = 1;
        m_singlePhase = SinglePhase::Speaking;
        speakRow(row);
        armTimer();
    });
}

void PlaybackController::tick() {
    runExclusive([this] {
        switch (m_state) {
        case PlaybackState::WaitingAfterSkip:
            m_state = PlaybackState::Speaking;
            showCurrentRow();
            beginRow();
            break;
        case PlaybackState::WaitingGap:
            endGap();
            break;
        case PlaybackState::WaitingLength:
            startGapOnceMeasured();
            break;
        case PlaybackState::SingleRow:
            singleRowTick();
            break;
        case PlaybackState::Idle:
        case PlaybackState::Paused:
            m_controls.timer.stop();
            break;
        case PlaybackState::WaitingInterval:
            advance();
            break;
        case PlaybackState::Speaking:
            pollSpeaking();
            break;
        }
    });
}

// Values chosen in the lists, matched by index.

int PlaybackController::intervalMs() const {
    return intervalMsForIndex(m_controls.choices().intervalIndex);
}

int PlaybackController::passCount() const {
    return passCountForIndex(m_controls.choices().repeatIndex);
}

int PlaybackController::englishRate() const {
    return rates().english;
}

SpeechRates PlaybackController::rates() const {
    return ratesOf(m_controls.choices());
}

int PlaybackController::pauseAfterRowMs(int row) const {
    return rowPauseMs(m_controls.table.cell(ColInterval, row), intervalMs(), m_decimalSeparator);
}

// Transitions.

void PlaybackController::startPlayback() {
    if (m_controls.table.rows() == 0)
        return;
    m_currentRow = firstSpeakableRow();
    if (m_currentRow < 0)
        return;
    m_speaker.silence();
    m_currentPass = 1;
    m_state = PlaybackState::Speaking;
    setCaption(kCaptionPlaying);
    m_speaker.beginRun();
    showCurrentRow();
    beginRow();
    m_controls.timer.start();
}

void PlaybackController::pausePlayback() {
    m_state = PlaybackState::Paused;
    m_controls.timer.stop();
    m_speaker.silence();
    setCaption(kCaptionPaused);
}

void PlaybackController::resumePlayback() {
    // The row is spoken again from its beginning (or its answer gap starts again).
    m_speaker.silence();
    m_state = PlaybackState::Speaking;
    setCaption(kCaptionPlaying);
    // A row double-clicked meanwhile took the highlight; give it back to the run's row.
    m_controls.setHighlightRow(m_currentRow);
    beginRepeat();
    m_controls.timer.start();
}

void PlaybackController::moveTo(int target) {
    // From idle (nothing playing or paused) next and previous begin a run of their own.
    const bool newRun = !isPlaying() && !isPaused();
    m_speaker.silence();
    m_currentRow = target;
    m_state = PlaybackState::Speaking;
    m_voiceStarted = false;
    if (newRun) {
        m_currentPass = 1;
        m_speaker.beginRun();
    }
    setCaption(kCaptionPlaying);
    showCurrentRow();
    beginRow();
    m_controls.timer.start();
}

void PlaybackController::pollSpeaking() {
    const int state = m_speaker.runningState();
    if (state == kRunningStateSpeaking) {
        m_voiceStarted = true;
    } else if (m_voiceStarted || state == kRunningStateDone) {
        // Done without ever having been seen speaking (an empty text, a sound shorter than one
        // poll, a failed utterance) ends the row as well: never wait forever.
        repeatDone();
    }
}

// A double-clicked row is drilled like a row of a run: spoken as often as the line drill
// asks, with the shadowing gap between.
void PlaybackController::singleRowTick() {
    switch (m_singlePhase) {
    case SinglePhase::Gap:
        m_singlePhase = SinglePhase::Speaking;
        speakRow(m_singleRow);
        m_controls.timer.setInterval(kPollIntervalMs);
        return;
    case SinglePhase::WaitingLength:
        if (armGapOnceMeasured(false))
            m_singlePhase = SinglePhase::Gap;
        return;
    case SinglePhase::Speaking:
        break;
    }
    if (m_speaker.runningState() == kRunningStateSpeaking)
        return;
    const PracticeOptions practice = m_controls.choices().practice;
    if (m_singleRepeat < lineRepeatCount(practice) && withinTable(m_singleRow)) {
        ++m_singleRepeat;
        if (practice.shadowingGap) {
            m_speaker.startMeasuring(cellsOf(m_singleRow), rates());
            m_singlePhase =
                armGapOnceMeasured(false) ? SinglePhase::Gap : SinglePhase::WaitingLength;
        } else {
            m_singlePhase = SinglePhase::Gap;
            m_controls.timer.setInterval(repeatPauseMs(intervalMs()));
        }
        return;
    }
    m_state = m_stateAfterSingleRow;
    m_controls.setHighlightRow(-1);
    m_controls.timer.stop();
}

// Practice: each row of a run is spoken (or, for the learner's role, answered) as many times
// as the line drill asks; then its pause runs.

void PlaybackController::beginRow() {
    m_currentRepeat = 1;
    beginRepeat();
}

void PlaybackController::beginRepeat() {
    if (isLearnersRow(m_controls.table, m_currentRow, m_controls.choices().practice)) {
        startGap(true);
        return;
    }
    m_state = PlaybackState::Speaking;
    m_voiceStarted = false;
    speakRow(m_currentRow);
    m_controls.timer.setInterval(kPollIntervalMs);
}

void PlaybackController::repeatDone() {
    const PracticeOptions practice = m_controls.choices().practice;
    if (m_currentRepeat < lineRepeatCount(practice)) {
        ++m_currentRepeat;
        if (isLearnersRow(m_controls.table, m_currentRow, practice)) {
            beginRepeat(); // the answer gap comes first anyway
        } else if (practice.shadowingGap) {
            startGap(false);
        } else {
            // A pause to say the line before it comes again.
            m_state = PlaybackState::WaitingGap;
            m_gapIsAnswer = false;
            m_controls.timer.setInterval(repeatPauseMs(intervalMs()));
        }
        return;
    }
    m_state = PlaybackState::WaitingInterval;
    m_controls.timer.setInterval(std::max(pauseAfterRowMs(m_currentRow), kMinimumTimerIntervalMs));
}

// The gap's length comes from the line's: worked out in the background (the engine synthesises
// it), and mostly ahead, while the row before was spoken.
void PlaybackController::startGap(bool answer) {
    m_speaker.startMeasuring(cellsOf(m_currentRow), rates());
    m_state = PlaybackState::WaitingLength;
    m_gapIsAnswer = answer;
    startGapOnceMeasured();
}

void PlaybackController::startGapOnceMeasured() {
    if (armGapOnceMeasured(m_gapIsAnswer))
        m_state = PlaybackState::WaitingGap;
}

bool PlaybackController::armGapOnceMeasured(bool answer) {
    const std::optional<qint64> spokenMs = m_speaker.measuredMs();
    if (!spokenMs) {
        m_controls.timer.setInterval(kLengthPollMs);
        return false;
    }
    PracticeOptions practice = m_controls.choices().practice;
    if (!answer)
        practice.answerGapPercent = 100; // shadowing takes as long as the line itself
    m_controls.timer.setInterval(answerGapMs(*spokenMs, practice));
    return true;
}

void PlaybackController::endGap() {
    if (!m_gapIsAnswer) {
        beginRepeat(); // the line again, after the learner has shadowed it
        return;
    }
    if (m_controls.choices().practice.modelAfterAnswer) {
        // The model answer: the line as it should sound.
        m_state = PlaybackState::Speaking;
        m_voiceStarted = false;
        speakRow(m_currentRow);
        m_controls.timer.setInterval(kPollIntervalMs);
        return;
    }
    repeatDone();
}

void PlaybackController::advance() {
    m_state = PlaybackState::Speaking;
    ++m_currentRow;
    const LessonTable& table = m_controls.table;
    bool skipped = false;
    while (m_currentRow < table.rows() && !isSpeakableRow(table, m_currentRow)) {
        if (rowHasText(table, m_currentRow))
            skipped = true;
        ++m_currentRow;
    }
    if (skipped) {
        m_state = PlaybackState::WaitingAfterSkip;
        m_beeper.beep(); // once, however many rows were skipped
        if (m_currentRow < table.rows()) {
            m_controls.timer.setInterval(kWaitAfterSkipMs); // the next tick speaks the row
            return;
        }
    }
    if (m_currentRow >= table.rows()) {
        // The wait after a skip is over at the end of the table; the row to come is spoken
        // now, so a later tick must not speak it a second time.
        m_state = PlaybackState::Speaking;
        if (m_currentPass >= passCount()) {
            endPlayback();
            return;
        }
        const int first = firstRowWithTextAfter(-1);
        if (first < 0) {
            endPlayback(); // the table lost all its text during the run
            return;
        }
        ++m_currentPass;
        m_currentRow = first; // the speakable test is not applied here
    }
    showCurrentRow();
    beginRow();
}

void PlaybackController::endPlayback() {
    m_state = PlaybackState::Idle;
    m_controls.timer.stop();
    setCaption(kCaptionIdle);
    m_controls.setHighlightRow(-1);
}

void PlaybackController::leaveRun() {
    if (isPlaying())
        m_state = PlaybackState::Idle;
}

// Shared steps.

void PlaybackController::showCurrentRow() {
    // Moving the current cell under the user's fingers would commit their half-typed text and
    // open the next keystroke's editor on the spoken row: the tint and marker show it instead.
    if (!m_controls.userIsEditing || !m_controls.userIsEditing())
        m_controls.grid.makeRowCurrent(m_currentRow);
    m_controls.setHighlightRow(m_currentRow);
}

RowCells PlaybackController::cellsOf(int row) const {
    const LessonTable& table = m_controls.table;
    return {table.cell(ColText, row), table.cell(ColLanguage, row), table.cell(ColSpeaker, row)};
}

void PlaybackController::speakRow(int row) {
    m_speaker.speak(cellsOf(row), rates());
    if (!isPlaying())
        return;
    // What comes next is synthesised meanwhile, so that it starts right after the pause: the
    // same row while its repeats last, else the next row spoken in the run; and a learner's
    // line that comes next is measured, so that its answer gap starts at once.
    const LessonTable& table = m_controls.table;
    const PracticeOptions practice = m_controls.choices().practice;
    int next = row;
    if (m_currentRepeat >= lineRepeatCount(practice)) {
        if (const int following = rowOfRunAfter(row, practice, false);
            following >= 0 && isLearnersRow(table, following, practice))
            m_speaker.measureAhead(cellsOf(following), rates());
        next = rowOfRunAfter(row, practice, true);
    }
    if (next >= 0)
        m_speaker.prepare(cellsOf(next), rates());
}

PlaybackProgress PlaybackController::progress() const {
    PlaybackProgress progress;
    progress.inRun = isPlaying() || isPaused();
    if (!progress.inRun)
        return progress;
    progress.paused = isPaused();
    const LessonTable& table = m_controls.table;
    for (int row = 0; row < table.rows(); ++row) {
        if (!rowHasText(table, row))
            continue;
        ++progress.lines;
        if (row <= m_currentRow)
            progress.line = progress.lines;
    }
    progress.pass = m_currentPass;
    progress.passes = std::max(passCount(), m_currentPass);
    progress.repeat = m_currentRepeat;
    progress.repeats = lineRepeatCount(m_controls.choices().practice);
    progress.learnersTurn = learnersTurn();
    return progress;
}

void PlaybackController::notifyProgress() {
    const PlaybackProgress now = progress();
    if (now == m_shownProgress)
        return;
    m_shownProgress = now;
    emit progressChanged();
}

QString progressText(const PlaybackProgress& progress) {
    if (!progress.inRun)
        return {};
    QString text = QStringLiteral("%1/%2行 %3/%4回")
                       .arg(progress.line)
                       .arg(progress.lines)
                       .arg(progress.pass)
                       .arg(progress.passes);
    if (progress.repeats > 1)
        text += QStringLiteral(" (%1/%2)").arg(progress.repeat).arg(progress.repeats);
    if (progress.paused)
        text += QStringLiteral(" 一時停止中");
    else if (progress.learnersTurn)
        text += QStringLiteral(" あなたの番です");
    return text;
}

void PlaybackController::armTimer() {
    m_controls.timer.setInterval(kPollIntervalMs);
    m_controls.timer.start();
}

void PlaybackController::setCaption(const QString& caption) {
    m_controls.setCaption(caption);
}

// Row searches.

int PlaybackController::firstSpeakableRow() const {
    for (int row = 0; row < m_controls.table.rows(); ++row) {
        if (isSpeakableRow(m_controls.table, row))
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

int PlaybackController::rowOfRunAfter(int row, const PracticeOptions& practice,
                                      bool spokenOnly) const {
    const LessonTable& table = m_controls.table;
    int next = row + 1;
    while (next < table.rows() &&
           (!isSpeakableRow(table, next) || (spokenOnly && isLearnersRow(table, next, practice))))
        ++next;
    if (next < table.rows())
        return next;
    return m_currentPass < passCount() ? firstRowWithTextAfter(-1) : -1;
}

int PlaybackController::rowToMoveOnFrom() const {
    return m_state == PlaybackState::WaitingAfterSkip ? m_currentRow - 1 : m_currentRow;
}

bool PlaybackController::withinTable(int row) const {
    return row >= 0 && row < m_controls.table.rows();
}

} // namespace lessora
