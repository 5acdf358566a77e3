#include "playback/DrillPlan.h"

#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"

#include <algorithm>
#include <climits>

namespace lessora {

namespace {

// The wait after the beep for skipped rows, before the row that follows them.
constexpr int kWaitAfterSkipMs = 500;

// A step's place within its row, so that the row's steps worked out again after a change of
// the settings still tell which of them comes next: by repeat, and within a repeat the gap or
// pause before it, the answer gap, the replay of either gap, then the line; the row's pause
// last of all.
enum Phase { kBefore, kAnswer, kReplay, kLine, kPhases };

int phaseOf(const DrillStep& step) {
    switch (step.kind) {
    case DrillStep::Kind::Speak:
        return kLine;
    case DrillStep::Kind::Replay:
        return kReplay;
    case DrillStep::Kind::Gap:
        return step.answer ? kAnswer : kBefore;
    default:
        return kBefore;
    }
}

int placeInRow(const DrillStep& step) {
    if (step.afterRow)
        return INT_MAX;
    return step.repeat * kPhases + phaseOf(step);
}

// Where a repeat begins again after a pause: its answer gap or its line.
bool isStartOfRepeat(const DrillStep& step) {
    const int phase = phaseOf(step);
    return !step.afterRow && (phase == kAnswer || phase == kLine);
}

// The first row of the next pass, or nothing at the end of the run.
std::optional<DrillStep> nextPass(const LessonTable& table, int pass,
                                  const DrillSettings& settings) {
    if (pass >= std::max(settings.passes, 1))
        return std::nullopt;
    const int first = firstRowWithTextAfter(table, -1); // speakable or not
    if (first < 0)
        return std::nullopt; // the table lost all its text during the run
    return firstStepOfRow(table, first, pass + 1, settings);
}

// What follows the last step of `row`: the next speakable row of the pass, with one beep
// before it for the rows with text passed on the way, else the next pass.
std::optional<DrillStep> afterRow(const LessonTable& table, int row, int pass,
                                  const DrillSettings& settings) {
    if (settings.singleRow)
        return std::nullopt;
    int next = row + 1;
    bool skipped = false;
    while (next < table.rows() && !isSpeakableRow(table, next)) {
        skipped = skipped || rowHasText(table, next);
        ++next;
    }
    if (skipped) {
        DrillStep beep{DrillStep::Kind::Beep, next, pass};
        // At the end of the table the beep is followed at once by the next pass or the end.
        beep.ms = next < table.rows() ? kWaitAfterSkipMs : 0;
        return beep;
    }
    if (next < table.rows())
        return firstStepOfRow(table, next, pass, settings);
    return nextPass(table, pass, settings);
}

} // namespace

DrillSettings drillSettingsOf(const PlaybackChoices& choices, QChar decimalSeparator) {
    DrillSettings settings;
    settings.passes = passCountForIndex(choices.repeatIndex);
    settings.defaultPauseMs = intervalMsForIndex(choices.intervalIndex);
    settings.practice = choices.practice;
    settings.decimalSeparator = decimalSeparator;
    return settings;
}

QList<DrillStep> stepsOfRow(const LessonTable& table, int row, int pass,
                            const DrillSettings& settings) {
    const PracticeOptions& practice = settings.practice;
    // A double-clicked row is heard, even the learner's: they play it to check it.
    const bool learners = !settings.singleRow && isLearnersRow(table, row, practice);
    const int repeats = lineRepeatCount(practice);
    const bool replays = practice.recordAnswers && practice.hearOwnAnswer;
    QList<DrillStep> steps;
    const auto add = [&](DrillStep::Kind kind, int repeat) -> DrillStep& {
        steps << DrillStep{kind, row, pass, repeat};
        return steps.last();
    };
    for (int repeat = 1; repeat <= repeats; ++repeat) {
        if (repeat > 1 && !learners) {
            if (practice.shadowingGap) {
                add(DrillStep::Kind::Gap, repeat); // as long as the line itself
                if (replays)
                    add(DrillStep::Kind::Replay, repeat);
            } else { // time to say the line before it comes again
                add(DrillStep::Kind::Pause, repeat).ms = repeatPauseMs(settings.defaultPauseMs);
            }
        }
        if (learners) {
            DrillStep& answer = add(DrillStep::Kind::Gap, repeat);
            answer.percent = practice.answerGapPercent;
            answer.answer = true;
            if (replays)
                add(DrillStep::Kind::Replay, repeat).answer = true;
            if (practice.modelAfterAnswer)
                add(DrillStep::Kind::Speak, repeat); // the line as it should sound
        } else {
            add(DrillStep::Kind::Speak, repeat);
        }
    }
    if (!settings.singleRow) {
        DrillStep& pause = add(DrillStep::Kind::Pause, repeats);
        pause.ms = rowPauseMs(table.cell(ColInterval, row), settings.defaultPauseMs,
                              settings.decimalSeparator);
        pause.afterRow = true;
    }
    return steps;
}

DrillStep firstStepOfRow(const LessonTable& table, int row, int pass,
                         const DrillSettings& settings) {
    return stepsOfRow(table, row, pass, settings).constFirst();
}

DrillStep restartOf(const LessonTable& table, const DrillStep& step,
                    const DrillSettings& settings) {
    if (step.kind == DrillStep::Kind::Beep)
        return firstStepOfRow(table, step.row, step.pass, settings);
    const QList<DrillStep> steps = stepsOfRow(table, step.row, step.pass, settings);
    int lastRepeat = 1;
    for (const DrillStep& candidate : steps)
        lastRepeat = std::max(lastRepeat, candidate.repeat);
    const int repeat = std::min(step.repeat, lastRepeat);
    for (const DrillStep& candidate : steps) {
        if (candidate.repeat == repeat && isStartOfRepeat(candidate))
            return candidate;
    }
    return steps.constFirst();
}

std::optional<DrillStep> stepAfter(const LessonTable& table, const DrillStep& step,
                                   const DrillSettings& settings) {
    if (step.kind == DrillStep::Kind::Beep) {
        if (step.row < table.rows())
            return firstStepOfRow(table, step.row, step.pass, settings);
        return nextPass(table, step.pass, settings);
    }
    const int place = placeInRow(step);
    for (const DrillStep& candidate : stepsOfRow(table, step.row, step.pass, settings)) {
        if (placeInRow(candidate) > place)
            return candidate;
    }
    return afterRow(table, step.row, step.pass, settings);
}

int rowOfRunAfter(const LessonTable& table, int row, int pass, const DrillSettings& settings,
                  bool skipLearners) {
    int next = row + 1;
    while (next < table.rows() && (!isSpeakableRow(table, next) ||
                                   (skipLearners && isLearnersRow(table, next, settings.practice))))
        ++next;
    if (next < table.rows())
        return next;
    return pass < settings.passes ? firstRowWithTextAfter(table, -1) : -1;
}

QList<DrillStep> drillPlan(const LessonTable& table, const DrillSettings& settings, int startRow,
                           int pass) {
    const int start = startRow < 0 ? firstSpeakableRow(table) : startRow;
    if (start < 0 || start >= table.rows())
        return {};
    QList<DrillStep> plan;
    std::optional<DrillStep> step = firstStepOfRow(table, start, pass, settings);
    for (; step; step = stepAfter(table, *step, settings))
        plan << *step;
    return plan;
}

int firstSpeakableRow(const LessonTable& table) {
    for (int row = 0; row < table.rows(); ++row) {
        if (isSpeakableRow(table, row))
            return row;
    }
    return -1;
}

int firstRowWithTextAfter(const LessonTable& table, int row) {
    for (int candidate = std::max(row + 1, 0); candidate < table.rows(); ++candidate) {
        if (rowHasText(table, candidate))
            return candidate;
    }
    return -1;
}

int lastRowWithTextBefore(const LessonTable& table, int row) {
    for (int candidate = std::min(row, table.rows()) - 1; candidate >= 0; --candidate) {
        if (rowHasText(table, candidate))
            return candidate;
    }
    return -1;
}

} // namespace lessora
