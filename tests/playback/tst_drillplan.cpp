// The drill plan: the order of a run, which playback plays and the export writes.
#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"
#include "playback/DrillPlan.h"

#include <QTest>

using namespace lessora;

namespace {

LessonRow row(const QString& speaker, const QString& text, const QString& interval = {}) {
    return {QString(), speaker, languageOfSpeakerCode(speaker), text, interval};
}

// A step as a short word: "r0" the line of row 0, "answer r1 130" the learner's gap of 130 %,
// "shadow r0", "pause 500" between repeats, "rest 2000" after the row, "beep 500" for skipped
// rows, "replay r1" the learner's recording of the gap before; "pass 2" marks where a pass
// begins.
QStringList render(const QList<DrillStep>& steps) {
    QStringList words;
    int pass = 1;
    for (const DrillStep& step : steps) {
        if (step.pass != pass)
            words << QStringLiteral("pass %1").arg(pass = step.pass);
        switch (step.kind) {
        case DrillStep::Kind::Speak:
            words << QStringLiteral("r%1").arg(step.row);
            break;
        case DrillStep::Kind::Gap:
            words << (step.answer ? QStringLiteral("answer r%1 %2").arg(step.row).arg(step.percent)
                                  : QStringLiteral("shadow r%1").arg(step.row));
            break;
        case DrillStep::Kind::Pause:
            words << QStringLiteral("%1 %2").arg(step.afterRow ? "rest" : "pause").arg(step.ms);
            break;
        case DrillStep::Kind::Beep:
            words << QStringLiteral("beep %1").arg(step.ms);
            break;
        case DrillStep::Kind::Replay:
            words << QStringLiteral("replay r%1").arg(step.row);
            break;
        }
    }
    return words;
}

DrillSettings settings(int passes, int pauseMs, const QString& role = {}, int repeats = 1,
                       bool shadowing = false, bool model = false) {
    DrillSettings drill;
    drill.passes = passes;
    drill.defaultPauseMs = pauseMs;
    drill.practice.role = role;
    drill.practice.lineRepeats = repeats;
    drill.practice.shadowingGap = shadowing;
    drill.practice.modelAfterAnswer = model;
    return drill;
}

// The learner's gaps recorded and, with `hear`, played back after each.
DrillSettings recorded(DrillSettings drill, bool hear = true) {
    drill.practice.recordAnswers = true;
    drill.practice.hearOwnAnswer = hear;
    return drill;
}

std::unique_ptr<LessonTable> tableOf(const QList<LessonRow>& rows) {
    auto table = std::make_unique<LessonTable>();
    table->setRows(rows);
    return table;
}

const QList<LessonRow> kDialogue = {row("A", "Hello."), row("B", "Fine!"), row("Q", "二")};

} // namespace

Q_DECLARE_METATYPE(DrillSettings)

class TestDrillPlan : public QObject {
    Q_OBJECT
private slots:
    void wholeRuns_data();
    void wholeRuns();
    void settingsChangedDuringARow_data();
    void settingsChangedDuringARow();
    void restartAfterAPause_data();
    void restartAfterAPause();
    void rowsOfTheRunAhead();
};

void TestDrillPlan::wholeRuns_data() {
    QTest::addColumn<QList<LessonRow>>("rows");
    QTest::addColumn<DrillSettings>("drill");
    QTest::addColumn<int>("startRow");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("one pass, the default pause")
        << kDialogue << settings(1, 1000) << -1
        << QStringList{"r0", "rest 1000", "r1", "rest 1000", "r2", "rest 1000"};
    QTest::newRow("a row's own pause, limited to 10 s; letters take the default")
        << QList<LessonRow>{row("A", "one", "2.5"), row("B", "two", "12"), row("C", "x", "abc")}
        << settings(1, 500) << -1
        << QStringList{"r0", "rest 2500", "r1", "rest 10000", "r2", "rest 500"};
    // One beep for each group of skipped rows with text; at the end of the table no wait.
    QTest::newRow("skips, two passes")
        << QList<LessonRow>{row("A", "one"), row("X", "unknown"), row("A", "  "), row("B", "two"),
                            row("x", "trailing")}
        << settings(2, 0) << -1
        << QStringList{"r0", "rest 0", "beep 500", "r3", "rest 0", "beep 0", "pass 2",
                       "r0", "rest 0", "beep 500", "r3", "rest 0", "beep 0"};
    QTest::newRow("empty rows pass without a beep")
        << QList<LessonRow>{row("A", "one"), row("", ""), row("B", "")} << settings(1, 0) << -1
        << QStringList{"r0", "rest 0"};
    // A later pass starts at the first row with text, speakable or not.
    QTest::newRow("second pass from the first row with text")
        << QList<LessonRow>{row("", ""), row("X", "intro"), row("A", "one")} << settings(2, 0) << -1
        << QStringList{"r2", "rest 0", "pass 2", "r1", "rest 0", "r2", "rest 0"};
    QTest::newRow("from a row the speakable test would pass")
        << QList<LessonRow>{row("A", "one"), row("B", ""), row("Q", "三")} << settings(1, 0) << 1
        << QStringList{"r1", "rest 0", "r2", "rest 0"};
    QTest::newRow("role-play") << kDialogue << settings(1, 0, "B") << -1
                               << QStringList{"r0",     "rest 0", "answer r1 130",
                                              "rest 0", "r2",     "rest 0"};
    QTest::newRow("role-play with the model, twice")
        << kDialogue << settings(1, 0, "Q", 2, true, true) << 2
        << QStringList{"answer r2 130", "r2", "answer r2 130", "r2", "rest 0"};
    // Between repeats at least half a second, whatever the default pause.
    QTest::newRow("three times, apart")
        << QList<LessonRow>{row("A", "ab")} << settings(1, 0, {}, 3) << -1
        << QStringList{"r0", "pause 500", "r0", "pause 500", "r0", "rest 0"};
    QTest::newRow("three times, a longer default pause")
        << QList<LessonRow>{row("A", "ab")} << settings(1, 3000, {}, 3) << -1
        << QStringList{"r0", "pause 3000", "r0", "pause 3000", "r0", "rest 3000"};
    QTest::newRow("shadowing") << QList<LessonRow>{row("A", "ab"), row("C", "c")}
                               << settings(1, 0, {}, 2, true) << -1
                               << QStringList{"r0", "shadow r0", "r0", "rest 0",
                                              "r1", "shadow r1", "r1", "rest 0"};
    QTest::newRow("repeats limited to five")
        << QList<LessonRow>{row("A", "ab")} << settings(1, 0, "A", 9) << -1
        << QStringList{"answer r0 130", "answer r0 130", "answer r0 130",
                       "answer r0 130", "answer r0 130", "rest 0"};
    // The recording heard right after its gap, before the model; nothing without hearing it.
    QTest::newRow("role-play, heard back before the model")
        << kDialogue << recorded(settings(1, 0, "B", 2, false, true)) << 1
        << QStringList{"answer r1 130", "replay r1", "r1",     "answer r1 130",
                       "replay r1",     "r1",        "rest 0", "r2",
                       "pause 500",     "r2",        "rest 0"};
    QTest::newRow("role-play recorded, not heard back")
        << kDialogue << recorded(settings(1, 0, "B"), false) << 1
        << QStringList{"answer r1 130", "rest 0", "r2", "rest 0"};
    QTest::newRow("shadowing, heard back before the line again")
        << QList<LessonRow>{row("A", "ab")} << recorded(settings(1, 0, {}, 2, true)) << -1
        << QStringList{"r0", "shadow r0", "replay r0", "r0", "rest 0"};
    QTest::newRow("nothing speakable") << QList<LessonRow>{row("X", "hello"), row("A", " ")}
                                       << settings(2, 0) << -1 << QStringList{};

    DrillSettings single = settings(3, 1000, "B", 2, false, false);
    single.singleRow = true;
    // A double-clicked row: heard even in the learner's role, without its pause or a next row.
    QTest::newRow("a double-clicked row")
        << kDialogue << single << 1 << QStringList{"r1", "pause 1000", "r1"};
}

void TestDrillPlan::wholeRuns() {
    QFETCH(QList<LessonRow>, rows);
    QFETCH(DrillSettings, drill);
    QFETCH(int, startRow);
    QFETCH(QStringList, expected);
    const auto owned = tableOf(rows);
    const LessonTable& table = *owned;
    QCOMPARE(render(drillPlan(table, drill, startRow)), expected);
}

void TestDrillPlan::settingsChangedDuringARow_data() {
    QTest::addColumn<DrillSettings>("before");
    QTest::addColumn<int>("stepsTaken"); // of row 1, under `before`
    QTest::addColumn<DrillSettings>("after");
    QTest::addColumn<QStringList>("expected"); // the rest of the run under `after`

    QTest::newRow("fewer repeats: the row's pause next")
        << settings(1, 0, {}, 3) << 3 << settings(1, 0, {}, 1)
        << QStringList{"rest 0", "r2", "rest 0"};
    QTest::newRow("more repeats: one more")
        << settings(1, 0, {}, 1) << 1 << settings(1, 0, {}, 2)
        << QStringList{"pause 500", "r1", "rest 0", "r2", "pause 500", "r2", "rest 0"};
    QTest::newRow("the learner takes the role: their answer next")
        << settings(1, 0, {}, 2) << 1 << settings(1, 0, "B", 2)
        << QStringList{"answer r1 130", "rest 0", "r2", "pause 500", "r2", "rest 0"};
    QTest::newRow("a longer pause chosen while the row speaks")
        << settings(1, 0) << 1 << settings(1, 5000) << QStringList{"rest 5000", "r2", "rest 5000"};
    QTest::newRow("hearing oneself chosen during the answer: the replay next")
        << settings(1, 0, "B", 1, false, true) << 1 << recorded(settings(1, 0, "B", 1, false, true))
        << QStringList{"replay r1", "r1", "rest 0", "r2", "rest 0"};
    QTest::newRow("a second pass chosen on the last row")
        << settings(1, 0) << 2 << settings(2, 0)
        << QStringList{"r2", "rest 0", "pass 2", "r0", "rest 0", "r1", "rest 0", "r2", "rest 0"};
}

// A change counts from the step after the one under way.
void TestDrillPlan::settingsChangedDuringARow() {
    QFETCH(DrillSettings, before);
    QFETCH(int, stepsTaken);
    QFETCH(DrillSettings, after);
    QFETCH(QStringList, expected);
    const auto owned = tableOf(kDialogue);
    const LessonTable& table = *owned;
    const QList<DrillStep> row1 = stepsOfRow(table, 1, 1, before);
    QList<DrillStep> rest;
    for (auto step = stepAfter(table, row1[stepsTaken - 1], after); step;
         step = stepAfter(table, *step, after))
        rest << *step;
    QCOMPARE(render(rest), expected);
}

void TestDrillPlan::restartAfterAPause_data() {
    QTest::addColumn<DrillSettings>("drill");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("stepIndex"); // of the row's steps
    QTest::addColumn<QString>("expected");
    QTest::newRow("during the line") << settings(1, 0) << 0 << 0 << "r0";
    QTest::newRow("during the row's pause") << settings(1, 0) << 0 << 1 << "r0";
    QTest::newRow("during the pause before the second time")
        << settings(1, 0, {}, 2) << 0 << 1 << "r0";
    QTest::newRow("during a shadowing gap") << settings(1, 0, {}, 2, true) << 0 << 1 << "r0";
    QTest::newRow("during the model: the answer again")
        << settings(1, 0, "B", 1, false, true) << 1 << 1 << "answer r1 130";
    QTest::newRow("during the replay of an answer: the answer again")
        << recorded(settings(1, 0, "B", 1, false, true)) << 1 << 1 << "answer r1 130";
    QTest::newRow("during the replay of a shadowing gap: the line")
        << recorded(settings(1, 0, {}, 2, true)) << 0 << 2 << "r0";
}

void TestDrillPlan::restartAfterAPause() {
    QFETCH(DrillSettings, drill);
    QFETCH(int, row);
    QFETCH(int, stepIndex);
    QFETCH(QString, expected);
    const auto owned = tableOf(kDialogue);
    const LessonTable& table = *owned;
    const DrillStep paused = stepsOfRow(table, row, 1, drill)[stepIndex];
    const DrillStep restart = restartOf(table, paused, drill);
    QCOMPARE(render({restart}), QStringList{expected});
    QCOMPARE(restart.repeat, paused.repeat);
}

void TestDrillPlan::rowsOfTheRunAhead() {
    const auto owned = tableOf(
        {row("A", "one"), row("X", "skipped"), row("B", "two"), row("Q", "三"), row("", "")});
    const LessonTable& table = *owned;
    const DrillSettings drill = settings(2, 0, "B");
    QCOMPARE(rowOfRunAfter(table, 0, 1, drill, false), 2);
    QCOMPARE(rowOfRunAfter(table, 0, 1, drill, true), 3);  // the learner's row is not spoken
    QCOMPARE(rowOfRunAfter(table, 3, 1, drill, false), 0); // the next pass
    QCOMPARE(rowOfRunAfter(table, 3, 2, drill, false), -1);
    QCOMPARE(firstRowWithTextAfter(table, 3), -1);
    QCOMPARE(lastRowWithTextBefore(table, 9), 3);
    QCOMPARE(firstSpeakableRow(table), 0);
}

QTEST_MAIN(TestDrillPlan)
#include "tst_drillplan.moc"
