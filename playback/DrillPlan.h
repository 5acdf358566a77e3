#pragma once

#include "playback/Practice.h"

#include <QChar>
#include <QList>

#include <optional>

namespace lessora {

class LessonTable;

// What orders a drill: the choices that decide which steps a run takes and how long its
// pauses are. Playback reads them anew at every step, so that a change made during a run
// counts from its next use; the export reads them once.
struct DrillSettings {
    int passes = 1;
    int defaultPauseMs = 0; // a row's pause when its Interval cell gives none
    PracticeOptions practice;
    QChar decimalSeparator = u'.';
    // A double-clicked row: the row alone, spoken in every role, without its pause.
    bool singleRow = false;

    friend bool operator==(const DrillSettings&, const DrillSettings&) = default;
};

DrillSettings drillSettingsOf(const PlaybackChoices& choices, QChar decimalSeparator);

// One step of a drill.
struct DrillStep {
    enum class Kind {
        Speak,  // the row's line, in its speaker's voice (also the model after an answer)
        Gap,    // silence as long as the line times `percent`: an answer or a shadowing gap
        Pause,  // silence of `ms`: between two repeats of a line, or after the row
        Beep,   // rows with text were skipped: one beep, then `ms` of silence before `row`
        Replay, // the learner's recording of the gap just before, played back (an export has none)
    };
    Kind kind = Kind::Speak;
    int row = 0;
    int pass = 1;
    int repeat = 1; // the row's repeat the step belongs to, from 1
    int percent = 100;
    int ms = 0;
    bool answer = false;   // Gap: the learner answers the line (else they shadow it)
    bool afterRow = false; // Pause: the row's own pause, its last step

    friend bool operator==(const DrillStep&, const DrillStep&) = default;
};

// The steps of one row, in order: its repeats (each spoken, or answered by the learner and
// then, with the model answer, spoken), a shadowing gap or a short pause between the repeats,
// and the row's pause. With the learner's gaps recorded and heard back, each gap is followed
// by its replay.
QList<DrillStep> stepsOfRow(const LessonTable& table, int row, int pass,
                            const DrillSettings& settings);

// The first step of the row: spoken from its beginning (or its answer gap).
DrillStep firstStepOfRow(const LessonTable& table, int row, int pass,
                         const DrillSettings& settings);

// The step a paused repeat starts again from: the repeat's line or its answer gap, never the
// gap before it; a skip's wait gives way to the row it leads to.
DrillStep restartOf(const LessonTable& table, const DrillStep& step, const DrillSettings& settings);

// The step that follows `step` in a run: the rest of its row, then the next speakable row
// (after one beep for the rows with text passed on the way), then the next pass from the first
// row with text; nothing at the end. The lesson and settings are read as they are now, so the
// row's steps may have changed since `step` was taken.
std::optional<DrillStep> stepAfter(const LessonTable& table, const DrillStep& step,
                                   const DrillSettings& settings);

// The row a run speaks after `row` in this pass (the next speakable one), else the first row
// with text of the next pass; `skipLearners` also passes over the learner's rows, which are
// answered rather than spoken. -1 at the end of the run.
int rowOfRunAfter(const LessonTable& table, int row, int pass, const DrillSettings& settings,
                  bool skipLearners);

// A whole run from `startRow` (the first speakable row when -1), as playback takes it.
QList<DrillStep> drillPlan(const LessonTable& table, const DrillSettings& settings,
                           int startRow = -1, int pass = 1);

int firstSpeakableRow(const LessonTable& table);
int firstRowWithTextAfter(const LessonTable& table, int row);
int lastRowWithTextBefore(const LessonTable& table, int row);

} // namespace lessora
