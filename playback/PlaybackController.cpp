#include "playback/PlaybackController.h"

#include "lesson/LessonCursor.h"
#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"
#include "platform/Beeper.h"
#include "platform/ErrorHandler.h"
#include "voices/SpeechEngine.h"

#include <QCoreApplication>
#include <QScopeGuard>

namespace lessora {

namespace {
constexpr int kMinimumWaitMs = 1; // a pause of "なし" or "0" is 1 ms, as it always was
} // namespace

PlaybackController::PlaybackController(PlaybackControls controls, PlaybackServices services,
                                       const ErrorHandler& errors, QObject* parent)
    : QObject(parent)
    , m_controls(std::move(controls))
    , m_beeper(services.beeper)
    , m_decimalSeparator(services.decimalSeparator)
    , m_errors(errors)
    , m_speaker(services.speech, services.messages, std::move(services.settingsPath))
    , m_timer(services.timer ? services.timer : new PreciseSingleShotTimer(this))
    , m_recorder(services.recorder) {
    connect(m_timer, &PlaybackTimer::timeout, this, &PlaybackController::timedOut);
    m_speaker.setLineEvents(
        this, [this] { lineStarted(); }, [this] { lineEnded(m_line); });
    // The lines count is worked out again only after the table changed.
    const LessonTable* table = &m_controls.table;
    const auto forget = [this] { m_linesKnown = false; };
    connect(table, &QAbstractItemModel::dataChanged, this, forget);
    connect(table, &QAbstractItemModel::rowsInserted, this, forget);
    connect(table, &QAbstractItemModel::rowsRemoved, this, forget);
    connect(table, &QAbstractItemModel::rowsMoved, this, forget);
    connect(table, &QAbstractItemModel::modelReset, this, forget);
    connect(table, &QAbstractItemModel::layoutChanged, this, forget);
}

PlaybackController::~PlaybackController() = default;

template <typename Work> void PlaybackController::runExclusive(Work work) {
    if (m_busy)
        return;
    {
        m_busy = true;
        const auto release = qScopeGuard([this] { m_busy = false; });
        m_errors.run(work);
        // Told once the command or event is done, never of a state passed on the way.
        if (const std::tuple shown{m_state, m_single, m_runPaused}; shown != m_shownState) {
            m_shownState = shown;
            emit stateChanged();
        }
        notifyProgress();
    }
    // Events that came meanwhile, in their order; each checks that it still applies.
    while (!m_busy && !m_deferred.isEmpty())
        runExclusive(m_deferred.takeFirst());
}

void PlaybackController::handleEvent(std::function<void()> work) {
    if (m_busy) {
        m_deferred << std::move(work);
        return;
    }
    runExclusive(std::move(work));
}

bool PlaybackController::isPlaying() const {
    return !m_single &&
           (m_state == PlaybackState::Speaking || m_state == PlaybackState::Measuring ||
            m_state == PlaybackState::Waiting || m_state == PlaybackState::Replaying);
}

bool PlaybackController::isPaused() const {
    return m_state == PlaybackState::Paused || (singleRowPlaying() && m_runPaused);
}

bool PlaybackController::singleRowPlaying() const {
    return m_single && m_state != PlaybackState::Idle && m_state != PlaybackState::Paused;
}

bool PlaybackController::waitingInterval() const {
    return isPlaying() && m_state == PlaybackState::Waiting && m_step.afterRow;
}

bool PlaybackController::waitingAfterSkip() const {
    return isPlaying() && m_state == PlaybackState::Waiting && m_step.kind == DrillStep::Kind::Beep;
}

bool PlaybackController::waitingGap() const {
    return isPlaying() && m_state == PlaybackState::Waiting &&
           (m_step.kind == DrillStep::Kind::Gap ||
            (m_step.kind == DrillStep::Kind::Pause && !m_step.afterRow));
}

bool PlaybackController::waitingLength() const {
    return isPlaying() && m_state == PlaybackState::Measuring;
}

bool PlaybackController::learnersTurn() const {
    // While the line is measured the learner may begin already: their gap counts from its end.
    return isPlaying() &&
           (m_state == PlaybackState::Waiting || m_state == PlaybackState::Measuring) &&
           m_step.kind == DrillStep::Kind::Gap && m_step.answer;
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
        m_single = false;
        m_runPaused = false;
        quiet();
        setState(PlaybackState::Idle);
        emit highlightRowChanged(-1);
    });
}

void PlaybackController::next() {
    runExclusive([this] {
        // During the wait after a skip the row about to be spoken has not been heard yet: it
        // is itself the next one.
        const int from = waitingAfterSkip() ? m_run.row - 1 : m_run.row;
        if (const int target = firstRowWithTextAfter(m_controls.table, from); target >= 0)
            moveTo(target);
    });
}

void PlaybackController::previous() {
    runExclusive([this] {
        if (const int target = lastRowWithTextBefore(m_controls.table, m_run.row); target >= 0)
            moveTo(target);
    });
}

void PlaybackController::playFrom(int row) {
    runExclusive([this, row] {
        if (!withinTable(row))
            return;
        quiet();
        m_single = false;
        m_runPaused = false;
        m_speaker.beginRun();
        if (m_recorder)
            m_recorder->beginRun(m_controls.choices().practice.recordAnswers);
        // Spoken whether speakable or not; the speakable test applies from the next row on.
        m_run = firstStepOfRow(m_controls.table, row, 1, drillSettings());
        showCurrentRow();
        take(m_run);
    });
}

void PlaybackController::playRow(int row) {
    runExclusive([this, row] {
        if (!withinTable(row))
            return;
        // Ends a running run; a paused one can still be resumed afterwards.
        leaveRun();
        m_runPaused = isPaused();
        quiet();
        emit highlightRowChanged(row);
        m_single = true;
        take(firstStepOfRow(m_controls.table, row, 1, drillSettings()));
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

DrillSettings PlaybackController::drillSettings() const {
    DrillSettings settings = drillSettingsOf(m_controls.choices(), m_decimalSeparator);
    settings.singleRow = m_single;
    return settings;
}

// Transitions.

void PlaybackController::setState(PlaybackState state) {
    m_state = state;
    // A timeout or a measurement on its way belongs to the step before.
    ++m_waits;
    ++m_measuring;
    m_timer->stop();
    m_voiceStarted = false;
}

void PlaybackController::take(const DrillStep& step) {
    m_step = step;
    if (!m_single)
        m_run = step;
    switch (step.kind) {
    case DrillStep::Kind::Speak:
        setState(PlaybackState::Speaking);
        speakRow(step.row);
        return;
    case DrillStep::Kind::Gap:
        // The gap's length comes from the line's: worked out in the background (the engine
        // synthesises it), and mostly ahead, while the row before was spoken.
        setState(PlaybackState::Measuring);
        // Recorded from now: while the line is measured the learner may begin already.
        if (m_recorder && m_controls.choices().practice.recordAnswers) {
            m_recorder->startAnswer(step.row);
            m_recording = true;
        }
        m_speaker.startMeasuring(cellsOf(step.row), rates());
        armGap();
        return;
    case DrillStep::Kind::Replay:
        setState(PlaybackState::Replaying);
        // Nothing recorded (recording off or failed, no microphone): on at once.
        if (!m_recorder ||
            !m_recorder->replayAnswer([this, replay = ++m_replays] { replayEnded(replay); }))
            stepDone();
        return;
    case DrillStep::Kind::Pause:
        wait(step.ms);
        return;
    case DrillStep::Kind::Beep:
        m_beeper.beep(); // once, however many rows were skipped
        if (step.ms > 0)
            wait(step.ms); // then the row after them
        else
            stepDone(); // the end of the table: the next pass, or the end, at once
        return;
    }
}

void PlaybackController::armGap() {
    const std::optional<qint64> spokenMs = m_speaker.measuredMs();
    if (!spokenMs) {
        m_speaker.whenMeasured(this, [this, measuring = m_measuring] { measured(measuring); });
        return;
    }
    PracticeOptions practice = m_controls.choices().practice;
    practice.answerGapPercent = m_step.percent;
    wait(answerGapMs(*spokenMs, practice));
}

void PlaybackController::wait(int ms) {
    setState(PlaybackState::Waiting);
    m_timer->start(std::max(ms, kMinimumWaitMs));
}

void PlaybackController::stepDone() {
    endAnswer(true); // a gap that ran to its end
    const LessonTable& table = m_controls.table;
    if (m_single && !withinTable(m_step.row)) {
        endSingleRow();
        return;
    }
    const std::optional<DrillStep> next = stepAfter(table, m_step, drillSettings());
    if (!next) {
        if (m_single)
            endSingleRow();
        else // where the search for a next row stopped
            endRun(m_step.kind == DrillStep::Kind::Beep ? m_step.row
                                                        : std::max(m_step.row + 1, table.rows()));
        return;
    }
    const bool newRow = next->kind != DrillStep::Kind::Beep &&
                        (m_step.kind == DrillStep::Kind::Beep || next->row != m_step.row ||
                         next->pass != m_step.pass);
    if (newRow && !m_single) {
        m_run = *next;
        showCurrentRow();
    }
    take(*next);
}

void PlaybackController::endSingleRow() {
    m_single = false;
    quiet();
    setState(m_runPaused ? PlaybackState::Paused : PlaybackState::Idle);
    emit highlightRowChanged(-1);
}

void PlaybackController::endRun(int endRow) {
    m_run.row = endRow;
    setState(PlaybackState::Idle);
    emit highlightRowChanged(-1);
}

void PlaybackController::startPlayback() {
    if (m_controls.table.rows() == 0)
        return;
    const int first = firstSpeakableRow(m_controls.table);
    m_run.row = first;
    if (first < 0)
        return;
    quiet();
    m_single = false;
    m_runPaused = false;
    m_speaker.beginRun();
    if (m_recorder)
        m_recorder->beginRun(m_controls.choices().practice.recordAnswers);
    m_run = firstStepOfRow(m_controls.table, first, 1, drillSettings());
    showCurrentRow();
    take(m_run);
}

void PlaybackController::pausePlayback() {
    quiet();
    m_runPaused = true;
    setState(PlaybackState::Paused);
}

void PlaybackController::resumePlayback() {
    // The repeat is spoken again from its beginning (or its answer gap starts again).
    quiet();
    m_single = false;
    m_runPaused = false;
    // A row double-clicked meanwhile took the highlight; give it back to the run's row.
    emit highlightRowChanged(m_run.row);
    take(restartOf(m_controls.table, m_run, drillSettings()));
}

void PlaybackController::moveTo(int target) {
    // From idle (nothing playing or paused) next and previous begin a run of their own.
    const bool newRun = !isPlaying() && !isPaused();
    quiet();
    const int pass = newRun ? 1 : m_run.pass;
    if (newRun) {
        m_speaker.beginRun();
        if (m_recorder)
            m_recorder->beginRun(m_controls.choices().practice.recordAnswers);
    }
    m_single = false;
    m_runPaused = false;
    m_run = firstStepOfRow(m_controls.table, target, pass, drillSettings());
    showCurrentRow();
    take(m_run);
}

void PlaybackController::leaveRun() {
    if (isPlaying())
        setState(PlaybackState::Idle);
}

void PlaybackController::quiet() {
    ++m_waits;
    ++m_measuring;
    m_timer->stop();
    m_speaker.silence();
    // A gap cut short is not kept: a paused one is answered again when the run resumes.
    endAnswer(false);
    if (m_recorder && m_state == PlaybackState::Replaying) {
        ++m_replays;
        m_recorder->stopReplay();
    }
}

void PlaybackController::endAnswer(bool keep) {
    if (!m_recording)
        return;
    m_recording = false;
    m_recorder->endAnswer(keep);
}

// Events.

void PlaybackController::lineStarted() {
    if (m_state == PlaybackState::Speaking)
        m_voiceStarted = true;
}

void PlaybackController::lineEnded(quint64 line) {
    handleEvent([this, line] {
        if (m_state != PlaybackState::Speaking || line != m_line)
            return;
        // A line whose speech failed is spoken again by the speaker's default voice: its own
        // end comes later.
        if (m_speaker.runningState() == kRunningStateSpeaking)
            return;
        stepDone();
    });
}

void PlaybackController::measured(quint64 measuring) {
    handleEvent([this, measuring] {
        if (m_state == PlaybackState::Measuring && measuring == m_measuring)
            armGap();
    });
}

void PlaybackController::timedOut() {
    m_timer->stop();
    handleEvent([this, waits = m_waits] {
        if (m_state == PlaybackState::Waiting && waits == m_waits)
            stepDone();
    });
}

void PlaybackController::replayEnded(quint64 replay) {
    handleEvent([this, replay] {
        if (m_state == PlaybackState::Replaying && replay == m_replays)
            stepDone();
    });
}

// Shared steps.

void PlaybackController::showCurrentRow() {
    // Moving the current cell under the user's fingers would commit their half-typed text and
    // open the next keystroke's editor on the spoken row: the tint and marker show it instead.
    if (!m_controls.userIsEditing || !m_controls.userIsEditing())
        m_controls.grid.makeRowCurrent(m_run.row);
    emit highlightRowChanged(m_run.row);
}

RowCells PlaybackController::cellsOf(int row) const {
    const LessonTable& table = m_controls.table;
    return {table.cell(ColText, row), table.cell(ColLanguage, row), table.cell(ColSpeaker, row)};
}

void PlaybackController::speakRow(int row) {
    ++m_line;
    const RowCells cells = cellsOf(row);
    m_speaker.speak(cells, rates());
    // A line without a word to say may end without the engine ever signalling it: its end is
    // taken as given. Should the engine signal it as well, that second end finds the row over.
    if (cells.text.trimmed().isEmpty())
        QMetaObject::invokeMethod(
            this, [this, line = m_line] { lineEnded(line); }, Qt::QueuedConnection);
    if (!isPlaying())
        return;
    // What comes next is synthesised meanwhile, so that it starts right after the pause: the
    // same row while its repeats last, else the next row spoken in the run; and a learner's
    // line that comes next is measured, so that its answer gap starts at once.
    const LessonTable& table = m_controls.table;
    const DrillSettings settings = drillSettings();
    int next = row;
    if (m_run.repeat >= lineRepeatCount(settings.practice)) {
        if (const int following = rowOfRunAfter(table, row, m_run.pass, settings, false);
            following >= 0 && isLearnersRow(table, following, settings.practice))
            m_speaker.measureAhead(cellsOf(following), rates());
        next = rowOfRunAfter(table, row, m_run.pass, settings, true);
    }
    if (next >= 0)
        m_speaker.prepare(cellsOf(next), rates());
}

const QVector<int>& PlaybackController::linesUpTo() const {
    if (!m_linesKnown) {
        const LessonTable& table = m_controls.table;
        m_linesUpTo.resize(table.rows());
        int lines = 0;
        for (int row = 0; row < table.rows(); ++row) {
            if (rowHasText(table, row))
                ++lines;
            m_linesUpTo[row] = lines;
        }
        m_linesKnown = true;
    }
    return m_linesUpTo;
}

PlaybackProgress PlaybackController::progress() const {
    PlaybackProgress progress;
    progress.inRun = isPlaying() || isPaused();
    if (!progress.inRun)
        return progress;
    progress.paused = isPaused();
    const QVector<int>& upTo = linesUpTo();
    progress.lines = upTo.isEmpty() ? 0 : upTo.constLast();
    if (m_run.row >= 0 && !upTo.isEmpty())
        progress.line = upTo[std::min<qsizetype>(m_run.row, upTo.size() - 1)];
    progress.pass = m_run.pass;
    progress.passes = std::max(passCount(), m_run.pass);
    progress.repeat = m_run.repeat;
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
    QString text = QCoreApplication::translate("Playback", "%1/%2行 %3/%4回")
                       .arg(progress.line)
                       .arg(progress.lines)
                       .arg(progress.pass)
                       .arg(progress.passes);
    if (progress.repeats > 1)
        text += QStringLiteral(" (%1/%2)").arg(progress.repeat).arg(progress.repeats);
    if (progress.paused)
        text += QCoreApplication::translate("Playback", " 一時停止中");
    else if (progress.learnersTurn)
        text += QCoreApplication::translate("Playback", " あなたの番です");
    return text;
}

bool PlaybackController::withinTable(int row) const {
    return row >= 0 && row < m_controls.table.rows();
}

} // namespace lessora
