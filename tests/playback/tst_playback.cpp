#include "app/LessonGrid.h"
#include "app/MainWindow.h"
#include "lesson/LessonCursor.h"
#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"
#include "platform/ErrorHandler.h"
#include "playback/PlaybackController.h"
#include "settings/SettingsFile.h"
#include "settings/Speakers.h"
#include "support/FakeServices.h"
#include "support/ManualPlaybackTimer.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

using namespace lessora;
using namespace lessora::test;

namespace {

LessonRow row(const QString& speaker, const QString& text, const QString& interval = {}) {
    return {QString(), speaker, languageOfSpeakerCode(speaker), text, interval};
}

// The engine's signals reach playback through queued connections: this lets them arrive.
// Only queued calls are delivered, never a timer, so that nothing moves on by itself.
void deliverEvents() {
    for (int round = 0; round < 4; ++round)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
}

// The grid as playback moves it.
class FakeCursor : public LessonCursor {
public:
    explicit FakeCursor(LessonTable& table)
        : m_table(table) {}
    LessonTable& table() const override { return m_table; }
    int currentRow() const override { return m_row; }
    int currentColumn() const override { return m_column; }
    void makeRowCurrent(int row) override {
        m_row = row;
        if (m_column < 0)
            m_column = 0;
    }
    void setCurrentColumn(int column) override { m_column = column; }
    void scrollToLeftEdge() override {}
    void takeFocus() override {}

private:
    LessonTable& m_table;
    int m_row = -1;
    int m_column = -1;
};

const QList<LessonRow> kSampleLesson = {
    row("A", "Hello. How are you?"), row("B", "I'm fine, thank you."),
    row("Q", QStringLiteral("今日はいい天気ですね。")), row("R", QStringLiteral("そうですね。"))};

// Logs what playback asks of the learner's recordings; a replay ends when the test says so.
struct FakeAnswerRecorder : AnswerRecorder {
    QStringList calls;
    bool hasTake = true; // false: nothing was recorded, as without a microphone
    std::function<void()> heard;

    void beginRun(bool recording) override { calls << (recording ? "run, recording" : "run"); }
    void startAnswer(int row) override { calls << QStringLiteral("start r%1").arg(row); }
    void endAnswer(bool keep) override { calls << (keep ? "keep" : "drop"); }
    bool replayAnswer(std::function<void()> done) override {
        calls << "replay";
        if (hasTake)
            heard = std::move(done);
        return hasTake;
    }
    void stopReplay() override { calls << "stop replay"; }
};

// Playback on its own, on fake services: the test moves it on by the engine's signals (the
// fake's startSpeech, finishSpeech, failSpeech) and by firing its timer.
struct Rig {
    FakeServices fakes;
    LessonTable table;
    FakeCursor grid{table};
    ErrorHandler errors{fakes.messages};
    ManualPlaybackTimer timer;
    FakeAnswerRecorder recorder;
    // What the lists of a new main window choose: "なし", "1回", "標準".
    PlaybackChoices choices{0, 0, 2, false, kNormalJapaneseRateIndex, {}};
    int highlight = -1;
    std::unique_ptr<PlaybackController> controller;

    explicit Rig(const QList<LessonRow>& rows = kSampleLesson) {
        fakes.speech.addVoice(QStringLiteral("Microsoft Zira Desktop - English (United States)"),
                              QStringLiteral("409"));
        fakes.speech.addVoice(QStringLiteral("Microsoft Haruka Desktop - Japanese"),
                              QStringLiteral("411"));
        table.setRows(rows);
        PlaybackControls controls{table, grid, [this] { return choices; }, {}};
        PlaybackServices services{fakes.speech, fakes.messages, fakes.beeper, fakes.settingsPath(),
                                  u'.',         &timer,         &recorder};
        controller =
            std::make_unique<PlaybackController>(std::move(controls), std::move(services), errors);
        QObject::connect(controller.get(), &PlaybackController::highlightRowChanged,
                         [this](int row) { highlight = row; });
    }

    PlaybackController& playback() { return *controller; }
    bool idle() const { return controller->state() == PlaybackState::Idle; }
    // Every speaker is set to a voice that is not installed: each run shows a fallback notice.
    void configureMissingVoices() {
        SettingsFile file(fakes.settingsPath());
        for (const QString& key : speakerVoiceKeys())
            file.writeString(kVoiceSection, key, QStringLiteral("Gone Voice"));
    }
    QStringList spoken() const {
        QStringList texts;
        for (const auto& utterance : fakes.speech.spoken)
            texts << utterance.text;
        return texts;
    }
    bool timerOn() const { return timer.isActive(); }
    int timerInterval() const { return timer.interval(); }
    void deliver() { deliverEvents(); }
    // The time the timer was set to has passed.
    void tick() {
        deliver();
        timer.fire();
        deliver();
    }
    // The line being spoken ends: what follows it begins.
    void endRow() {
        fakes.speech.finishSpeech();
        deliver();
    }
    // Moves on by one event: the line being spoken ends, the timer runs out, or a
    // measurement arrives.
    void step() {
        if (controller->state() == PlaybackState::Speaking && fakes.speech.isSpeaking())
            endRow();
        else if (!timer.fire())
            deliver();
        deliver();
    }
    // Lets every line end and every wait run out until the run is over.
    void runToEnd() {
        for (int steps = 0; steps < 1000 && playback().isPlaying(); ++steps)
            step();
        QVERIFY(!playback().isPlaying());
    }
};

const QList<LessonRow> kSkipLesson = {row("A", "one"), row("X", "unknown speaker"), row("A", ""),
                                      row("B", "two"), row("C", "three")};

} // namespace

Q_DECLARE_METATYPE(lessora::PlaybackChoices)

class TestPlayback : public QObject {
    Q_OBJECT
private slots:
    void recordsAndReplaysTheLearnersGaps();
    void completeRuns_data();
    void completeRuns();
    void skipWaitsThenSpeaksTheNextRow();
    void commandDuringTheWaitAfterASkip_data();
    void commandDuringTheWaitAfterASkip();
    void rowPauseSetsTheTimer_data();
    void rowPauseSetsTheTimer();
    void pauseAndResume_data();
    void pauseAndResume();
    void stopThenNextBeginsANewRun();
    void previousAfterACompleteRun();
    void doubleClickDuringARun();
    void doubleClickWhilePaused();
    void playFromHere();
    void emptyTableAndTableWithoutSpeakableRows();
    void startTakesOverASingleRow();
    void rowNeverSeenSpeaking();
    void staleEndsAreIgnored();
    void editsDuringPlaybackAreHeard();
    void messageOnScreenHoldsOffEventsAndCommands();
    void failingEventIsShownOnce();
    void speechFailingAfterItBegan_data();
    void speechFailingAfterItBegan();
    void valueTables();
    void rolePlay_data();
    void rolePlay();
    void pauseDuringAnAnswerGapRestartsIt();
    void gapWaitsForTheLineToBeMeasured();
    void lineDrill_data();
    void lineDrill();
    void playbackFollowsThePlan_data();
    void playbackFollowsThePlan();
    void speedsReachTheEngine_data();
    void speedsReachTheEngine();
    void progressShowsLineAndPass();
    // In the main window.
    void windowShowsWherePlaybackIs();
    void doubleClickOnTheGridPlaysInsteadOfEditing();
    void typingDuringPlaybackKeepsTheText();
    void playFromHereUsesTheRightClickedRow();
};

void TestPlayback::completeRuns_data() {
    QTest::addColumn<QList<LessonRow>>("rows");
    QTest::addColumn<int>("repeatIndex");
    QTest::addColumn<QStringList>("expectedSpoken");
    QTest::addColumn<int>("expectedBeeps");

    const QList<LessonRow> sample = {row("A", "Hello."), row("B", "Fine."), row("Q", "今日は"),
                                     row("R", "そう")};
    QTest::newRow("one pass") << sample << 0 << QStringList{"Hello.", "Fine.", "今日は", "そう"}
                              << 0;
    QTest::newRow("two passes") << sample << 1 << QStringList{"Hello.", "Fine.", "今日は", "そう",
                                                              "Hello.", "Fine.", "今日は", "そう"}
                                << 0;
    // One beep per group of skipped rows with text, also when the end of the table follows.
    QTest::newRow("skips, two passes")
        << (QList<LessonRow>{row("A", "one"), row("X", "unknown"), row("A", "  "), row("B", "two"),
                             row("x", "trailing")})
        << 1 << QStringList{"one", "two", "one", "two"} << 4;
    // A later pass starts at the first row with text, speakable or not.
    QTest::newRow("second pass starts at the first row with text")
        << (QList<LessonRow>{row("", ""), row("X", "intro"), row("A", "one"), row("Q", "二")}) << 1
        << QStringList{"one", "二", "intro", "one", "二"} << 0;
}

void TestPlayback::completeRuns() {
    QFETCH(QList<LessonRow>, rows);
    QFETCH(int, repeatIndex);
    QFETCH(QStringList, expectedSpoken);
    QFETCH(int, expectedBeeps);

    Rig rig(rows);
    QSignalSpy states(rig.controller.get(), &PlaybackController::stateChanged);
    rig.choices.repeatIndex = repeatIndex;
    rig.playback().playPause();
    QVERIFY(rig.playback().isPlaying());
    QCOMPARE(rig.playback().currentPass(), 1);
    rig.runToEnd();

    QCOMPARE(rig.spoken(), expectedSpoken);
    QCOMPARE(rig.fakes.beeper.beeps, expectedBeeps);
    QVERIFY(rig.idle());
    QVERIFY(!states.isEmpty());
    QCOMPARE(rig.highlight, -1);
    QVERIFY(!rig.timerOn());
    QCOMPARE(rig.playback().currentRow(), rows.size());
    QCOMPARE(rig.playback().currentPass(), repeatIndex + 1);
    QVERIFY(!rig.playback().waitingAfterSkip());
}

void TestPlayback::skipWaitsThenSpeaksTheNextRow() {
    Rig rig(kSkipLesson);
    rig.playback().playPause();
    QCOMPARE(rig.highlight, 0);
    QCOMPARE(rig.grid.currentRow(), 0);
    QVERIFY(!rig.timerOn()); // the engine tells when the line is over

    rig.endRow();
    QVERIFY(rig.playback().waitingInterval());
    rig.tick(); // the pause has run: rows 1 and 2 are passed, row 1 with a beep
    QCOMPARE(rig.fakes.beeper.beeps, 1);
    QVERIFY(rig.playback().waitingAfterSkip());
    QCOMPARE(rig.playback().currentRow(), 3);
    QCOMPARE(rig.timerInterval(), 500);
    QCOMPARE(rig.spoken(), QStringList{"one"});

    rig.tick();
    QCOMPARE(rig.spoken(), (QStringList{"one", "two"}));
    QCOMPARE(rig.highlight, 3);
    QCOMPARE(rig.grid.currentRow(), 3);
    QVERIFY(!rig.timerOn());
    QCOMPARE(rig.fakes.beeper.beeps, 1);
}

void TestPlayback::commandDuringTheWaitAfterASkip_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("expectedSpoken");
    // The row about to be spoken has not been heard yet: next plays it.
    QTest::newRow("next") << "next" << QStringList{"one", "two"};
    QTest::newRow("previous") << "previous" << QStringList{"one", "unknown speaker"};
    QTest::newRow("pause and resume") << "pause and resume" << QStringList{"one", "two"};
    QTest::newRow("stop and start") << "stop and start" << QStringList{"one", "one"};
    QTest::newRow("double-click") << "double-click" << QStringList{"one", "three"};
}

// Every command ends the wait: the row it speaks is not spoken again when the wait's time
// runs out.
void TestPlayback::commandDuringTheWaitAfterASkip() {
    QFETCH(QString, command);
    QFETCH(QStringList, expectedSpoken);

    Rig rig(kSkipLesson);
    rig.playback().playPause();
    rig.endRow();
    rig.tick();
    QVERIFY(rig.playback().waitingAfterSkip());

    if (command == "next") {
        rig.playback().next();
    } else if (command == "previous") {
        rig.playback().previous();
    } else if (command == "pause and resume") {
        rig.playback().playPause();
        rig.playback().playPause();
    } else if (command == "stop and start") {
        rig.playback().stop();
        QVERIFY(!rig.playback().waitingAfterSkip());
        rig.playback().playPause();
    } else {
        rig.playback().playRow(4);
    }
    QVERIFY(!rig.playback().waitingAfterSkip());
    QVERIFY(!rig.timerOn());
    emit rig.timer.timeout(); // a timeout already on its way when the command came
    rig.tick();
    QCOMPARE(rig.spoken(), expectedSpoken);
}

void TestPlayback::rowPauseSetsTheTimer_data() {
    QTest::addColumn<QString>("intervalCell");
    QTest::addColumn<int>("intervalIndex");
    QTest::addColumn<int>("expectedMs");
    QTest::newRow("no pause chosen: at least 1 ms") << "" << 0 << 1;
    QTest::newRow("cell 0 despite a default pause") << "0" << 3 << 1;
    QTest::newRow("empty cell takes 1 s") << "" << 2 << 1000;
    QTest::newRow("letters take 10 s") << "abc" << 6 << 10000;
    QTest::newRow("no choice takes 2 s") << "" << -1 << 2000;
    QTest::newRow("12 is limited to 10 s") << "12" << 0 << 10000;
    QTest::newRow("blanks around 2.5") << " 2.5 " << 0 << 2500;
    QTest::newRow("0.0625 rounds to even") << "0.0625" << 0 << 62;
    QTest::newRow("negative") << "-3" << 5 << 1;
}

void TestPlayback::rowPauseSetsTheTimer() {
    QFETCH(QString, intervalCell);
    QFETCH(int, intervalIndex);
    QFETCH(int, expectedMs);

    Rig rig({row("A", "one", intervalCell), row("B", "two")});
    rig.playback().playPause();
    // Read when the row ends, so a choice made meanwhile counts.
    rig.choices.intervalIndex = intervalIndex;
    rig.endRow();
    QVERIFY(rig.playback().waitingInterval());
    QCOMPARE(rig.timerInterval(), expectedMs);
    rig.tick();
    QCOMPARE(rig.spoken(), (QStringList{"one", "two"}));
}

void TestPlayback::pauseAndResume_data() {
    QTest::addColumn<bool>("inRowPause");
    QTest::newRow("during speech") << false;
    QTest::newRow("during the row's pause") << true;
}

void TestPlayback::pauseAndResume() {
    QFETCH(bool, inRowPause);

    Rig rig({row("A", "one"), row("B", "two")});
    rig.playback().playPause();
    rig.deliver();
    QVERIFY(rig.playback().voiceStarted());
    if (inRowPause) {
        rig.endRow();
        QVERIFY(rig.playback().waitingInterval());
    }
    const int silenced = rig.fakes.speech.silenced;

    rig.playback().playPause();
    QCOMPARE(rig.playback().state(), PlaybackState::Paused);
    QVERIFY(rig.playback().isPaused());
    QVERIFY(!rig.playback().isPlaying());
    QVERIFY(!rig.playback().waitingInterval());
    QVERIFY(!rig.timerOn());
    QCOMPARE(rig.fakes.speech.silenced, silenced + 1);
    QVERIFY(!rig.fakes.speech.isSpeaking());
    QCOMPARE(rig.highlight, 0);
    rig.deliver(); // the end of the line silenced is no end of the row
    QVERIFY(rig.playback().isPaused());

    rig.playback().playPause();
    QVERIFY(rig.playback().isPlaying());
    QVERIFY(!rig.playback().voiceStarted());
    QCOMPARE(rig.spoken(), (QStringList{"one", "one"})); // from its beginning
    QCOMPARE(rig.playback().state(), PlaybackState::Speaking);
    QVERIFY(!rig.timerOn());
    rig.runToEnd();
    QCOMPARE(rig.spoken(), (QStringList{"one", "one", "two"}));
}

void TestPlayback::stopThenNextBeginsANewRun() {
    // Every run shows the fallback notice once.
    Rig rig({row("A", "one"), row("B", "two"), row("Q", "三"), row("R", "四")});
    rig.configureMissingVoices();
    rig.playback().playPause();
    rig.endRow();
    rig.tick();
    QCOMPARE(rig.spoken(), (QStringList{"one", "two"}));
    QCOMPARE(rig.fakes.messages.messages.size(), 1);

    rig.playback().stop();
    QVERIFY(rig.idle());
    QCOMPARE(rig.highlight, -1);
    QVERIFY(!rig.timerOn());
    QVERIFY(!rig.fakes.speech.isSpeaking());
    QCOMPARE(rig.playback().currentRow(), 1);

    rig.playback().next(); // from idle: a new run, after the row that was playing
    QCOMPARE(rig.spoken().last(), QStringLiteral("三"));
    QVERIFY(rig.playback().isPlaying());
    QCOMPARE(rig.highlight, 2);
    QCOMPARE(rig.playback().currentPass(), 1);
    QCOMPARE(rig.fakes.messages.messages.size(), 2);

    rig.playback().next(); // within the run: no second notice
    QCOMPARE(rig.spoken().last(), QStringLiteral("四"));
    QCOMPARE(rig.fakes.messages.messages.size(), 2);
    rig.playback().next(); // nothing after the last row: nothing happens
    QCOMPARE(rig.spoken().size(), 4);
    QVERIFY(rig.playback().isPlaying());
}

void TestPlayback::previousAfterACompleteRun() {
    Rig rig({row("A", "one"), row("B", "two"), row("", "")});
    rig.playback().playPause();
    rig.runToEnd();
    QCOMPARE(rig.playback().currentRow(), 3);

    rig.playback().next();
    QCOMPARE(rig.spoken().size(), 2);
    QVERIFY(rig.idle());

    rig.playback().previous();
    QCOMPARE(rig.spoken().last(), QStringLiteral("two"));
    QCOMPARE(rig.playback().currentRow(), 1);
    QVERIFY(rig.playback().isPlaying());
    rig.runToEnd();
    QCOMPARE(rig.spoken(), (QStringList{"one", "two", "two"}));
}

void TestPlayback::doubleClickDuringARun() {
    Rig rig({row("A", "one"), row("B", "two"), row("Q", "三")});
    rig.playback().playPause();
    rig.deliver();
    rig.playback().playRow(2);
    QCOMPARE(rig.spoken().last(), QStringLiteral("三"));
    QVERIFY(!rig.playback().isPlaying());
    QVERIFY(rig.playback().singleRowPlaying());
    QCOMPARE(rig.highlight, 2);
    QVERIFY(!rig.timerOn());

    rig.deliver(); // the run's line, silenced, does not end the double-clicked one
    QVERIFY(rig.playback().singleRowPlaying());
    rig.endRow();
    QVERIFY(!rig.playback().singleRowPlaying());
    QVERIFY(rig.idle());
    QCOMPARE(rig.highlight, -1);
    QVERIFY(!rig.timerOn());
    QCOMPARE(rig.spoken().size(), 2);

    rig.playback().playPause(); // a new run from the first speakable row
    QCOMPARE(rig.spoken().last(), QStringLiteral("one"));
    QCOMPARE(rig.playback().currentRow(), 0);
    QVERIFY(rig.playback().isPlaying());
}

void TestPlayback::doubleClickWhilePaused() {
    Rig rig({row("A", "one"), row("B", "two"), row("Q", "三")});
    rig.playback().playPause();
    rig.endRow();
    rig.tick(); // row 1 speaks
    rig.playback().playPause();
    QVERIFY(rig.playback().isPaused());

    rig.playback().playRow(2);
    QCOMPARE(rig.spoken().last(), QStringLiteral("三"));
    QVERIFY(rig.playback().isPaused());
    QVERIFY(rig.playback().singleRowPlaying());

    // Resumed while the double-clicked row still speaks: the run takes over at its row.
    rig.playback().playPause();
    QVERIFY(!rig.playback().singleRowPlaying());
    QCOMPARE(rig.spoken().last(), QStringLiteral("two"));
    QCOMPARE(rig.highlight, 1);
    rig.runToEnd();
    QCOMPARE(rig.spoken(), (QStringList{"one", "two", "三", "two", "三"}));

    // A double-clicked row that ends while a run is paused leaves the run paused.
    rig.playback().playPause();
    rig.playback().playPause();
    QVERIFY(rig.playback().isPaused());
    rig.playback().playRow(1);
    rig.endRow();
    QVERIFY(!rig.playback().singleRowPlaying());
    QCOMPARE(rig.playback().state(), PlaybackState::Paused);
    QCOMPARE(rig.highlight, -1);
}

void TestPlayback::playFromHere() {
    Rig rig({row("A", "one"), row("B", ""), row("Q", "三")});
    rig.playback().playFrom(0);
    QCOMPARE(rig.spoken(), QStringList{"one"});
    QCOMPARE(rig.playback().currentPass(), 1);

    rig.playback().playFrom(7); // outside the table: ignored
    QCOMPARE(rig.spoken(), QStringList{"one"});
    rig.playback().playRow(2);
    QVERIFY(rig.playback().singleRowPlaying());
    rig.playback().playFrom(1);
    QVERIFY(!rig.playback().singleRowPlaying());
    QCOMPARE(rig.playback().currentRow(), 1);
    QCOMPARE(rig.highlight, 1);
    QVERIFY(rig.playback().isPlaying());
    // The empty row is handed over as it is; it ends without ever being heard.
    QCOMPARE(rig.spoken().last(), QString());
    rig.runToEnd();
    QCOMPARE(rig.spoken(), (QStringList{"one", "三", "", "三"}));
}

void TestPlayback::emptyTableAndTableWithoutSpeakableRows() {
    Rig empty(QList<LessonRow>{});
    empty.table.setRowCount(0);
    empty.playback().playPause();
    empty.playback().next();
    empty.playback().previous();
    empty.playback().playFrom(0);
    QVERIFY(empty.fakes.speech.spoken.isEmpty());
    QVERIFY(empty.idle());
    QVERIFY(!empty.playback().isPlaying());
    QVERIFY(empty.fakes.messages.messages.isEmpty());

    Rig unspeakable({row("X", "hello"), row("A", " ")});
    unspeakable.playback().playPause();
    QVERIFY(unspeakable.fakes.speech.spoken.isEmpty());
    QVERIFY(unspeakable.idle());
    QCOMPARE(unspeakable.playback().currentRow(), -1);
    unspeakable.playback().next(); // the first row with text, whatever its speaker
    QCOMPARE(unspeakable.spoken(), QStringList{"hello"});
    QVERIFY(unspeakable.playback().isPlaying());
    unspeakable.runToEnd();
    QVERIFY(unspeakable.idle());
}

void TestPlayback::startTakesOverASingleRow() {
    Rig rig({row("A", "one"), row("B", "two")});
    rig.playback().playRow(1);
    const int silenced = rig.fakes.speech.silenced;
    rig.playback().playPause();
    QCOMPARE(rig.fakes.speech.silenced, silenced + 1);
    QVERIFY(!rig.playback().singleRowPlaying());
    rig.runToEnd();
    QCOMPARE(rig.spoken(), (QStringList{"two", "one", "two"}));
    QVERIFY(rig.idle());
}

void TestPlayback::rowNeverSeenSpeaking() {
    // Speech not yet begun: wait.
    Rig slow({row("A", "one"), row("B", "two")});
    slow.fakes.speech.setSpeechStartsAtOnce(false);
    slow.playback().playPause();
    slow.tick();
    QVERIFY(!slow.playback().waitingInterval());
    QVERIFY(!slow.playback().voiceStarted());
    slow.fakes.speech.startSpeech();
    slow.deliver();
    QVERIFY(slow.playback().voiceStarted());

    // Over before playback heard it begin: the row has ended all the same.
    Rig quick({row("A", "one"), row("B", "two")});
    quick.playback().playPause();
    quick.fakes.speech.finishSpeech();
    quick.deliver();
    QVERIFY(quick.playback().waitingInterval());
    quick.tick();
    QCOMPARE(quick.spoken(), (QStringList{"one", "two"}));
}

// The end of a line silenced or replaced never ends the line spoken after it, however late
// it arrives.
void TestPlayback::staleEndsAreIgnored() {
    Rig rig({row("A", "one"), row("B", "two"), row("C", "three")});
    rig.playback().playPause();
    rig.fakes.speech.finishSpeech(); // "one" ends, its signal still on the way
    rig.playback().next();           // "two" begins
    rig.deliver();
    QCOMPARE(rig.playback().state(), PlaybackState::Speaking);
    QCOMPARE(rig.playback().currentRow(), 1);
    rig.endRow();
    QVERIFY(rig.playback().waitingInterval());
    QCOMPARE(rig.playback().currentRow(), 1);
}

void TestPlayback::editsDuringPlaybackAreHeard() {
    Rig rig({row("A", "one"), row("B", "two"), row("C", "three")});
    rig.playback().playPause();
    rig.table.setCell(ColText, 1, QStringLiteral("changed"));
    rig.endRow();
    rig.tick();
    QCOMPARE(rig.spoken().last(), QStringLiteral("changed"));
    QCOMPARE(progressText(rig.playback().progress()), QStringLiteral("2/3行 1/1回"));

    rig.table.setRowCount(1); // the rest of the lesson is cut off
    QCOMPARE(progressText(rig.playback().progress()), QStringLiteral("1/1行 1/1回"));
    rig.runToEnd();
    QCOMPARE(rig.spoken(), (QStringList{"one", "changed"}));
    QVERIFY(rig.idle());
    QCOMPARE(rig.playback().currentRow(), 2);

    // Next and previous still find their rows when the current row lies past the end.
    rig.playback().previous();
    QCOMPARE(rig.spoken().last(), QStringLiteral("one"));
}

void TestPlayback::messageOnScreenHoldsOffEventsAndCommands() {
    // The fallback notice of the first row is on screen while events and every command
    // arrive.
    Rig rig({row("A", "one"), row("B", "two"), row("Q", "三")});
    rig.configureMissingVoices();
    int arrivals = 0;
    rig.fakes.messages.whileShown = [&](const QString&) {
        ++arrivals;
        rig.fakes.speech.finishSpeech();
        rig.tick();
        rig.tick();
        rig.playback().next();
        rig.playback().previous();
        rig.playback().playPause();
        rig.playback().playRow(2);
        rig.playback().playFrom(0);
        rig.playback().stop();
    };
    rig.playback().playPause();

    QCOMPARE(arrivals, 1);
    QCOMPARE(rig.spoken(), QStringList{"one"});
    QCOMPARE(rig.playback().currentRow(), 0);
    QVERIFY(rig.playback().isPlaying());
    QVERIFY(!rig.playback().singleRowPlaying());
    QVERIFY(!rig.playback().waitingInterval());
    QCOMPARE(rig.playback().state(), PlaybackState::Speaking);

    rig.fakes.messages.whileShown = nullptr;
    rig.runToEnd();
    QCOMPARE(rig.spoken(), (QStringList{"one", "two", "三"}));
}

// An event that comes while a message is on screen waits for it, and is then taken up once.
void TestPlayback::failingEventIsShownOnce() {
    Rig rig({row("A", "one"), row("B", "two")});
    rig.playback().playPause();
    rig.fakes.messages.messages.clear();
    rig.fakes.speech.failOperation(FakeOp::RunningState, QStringLiteral("engine gone"));
    // Events keep coming while the error is on screen; none of them adds a message.
    rig.fakes.messages.whileShown = [&](const QString&) {
        rig.fakes.speech.finishSpeech();
        rig.tick();
    };
    rig.endRow();
    QCOMPARE(rig.fakes.messages.messages, QStringList{errorTextForDisplay("engine gone")});
    QVERIFY(rig.playback().isPlaying()); // a failing event leaves the state as it was

    rig.playback().stop();
    QVERIFY(rig.idle());
    QVERIFY(!rig.timerOn());
}

void TestPlayback::speechFailingAfterItBegan_data() {
    QTest::addColumn<bool>("doubleClick");   // the row alone, not a run
    QTest::addColumn<bool>("heardBefore");   // the engine had begun speaking when it failed
    QTest::addColumn<bool>("fallbackFails"); // the default voice fails as well
    QTest::newRow("run, after speech began") << false << true << false;
    QTest::newRow("run, before any sound") << false << false << false;
    QTest::newRow("run, default voice fails too") << false << true << true;
    QTest::newRow("double-click, after speech began") << true << true << false;
    QTest::newRow("double-click, default voice fails too") << true << false << true;
}

void TestPlayback::speechFailingAfterItBegan() {
    QFETCH(bool, doubleClick);
    QFETCH(bool, heardBefore);
    QFETCH(bool, fallbackFails);
    Rig rig({row("A", "one"), row("B", "two")});
    rig.fakes.speech.setSpeechStartsAtOnce(false);
    if (doubleClick)
        rig.playback().playRow(0);
    else
        rig.playback().playPause();
    if (heardBefore) {
        rig.fakes.speech.startSpeech();
        rig.deliver();
    }
    rig.fakes.speech.failSpeech(QStringLiteral("open_jtalk が応答しません"));
    // The failure is taken up once its end arrives; the row is spoken again, which the engine
    // has not begun yet.
    rig.tick();
    rig.tick();
    const QString zira = QStringLiteral("Microsoft Zira Desktop - English (United States)");
    const QStringList message{
        QStringLiteral("設定された音声が使用できないため、\r\n代替音声で読み上げます。\r\n音声: ") +
        zira + QStringLiteral("\r\nエラー: open_jtalk が応答しません")};
    QCOMPARE(rig.fakes.messages.messages, message);
    QCOMPARE(rig.spoken(), (QStringList{"one", "one"}));
    QCOMPARE(doubleClick ? rig.playback().singleRowPlaying() : rig.playback().isPlaying(), true);
    QVERIFY(!rig.playback().waitingInterval());

    rig.fakes.speech.startSpeech();
    rig.deliver();
    if (fallbackFails)
        rig.fakes.speech.failSpeech(QStringLiteral("again"));
    else
        rig.fakes.speech.finishSpeech();
    rig.deliver();
    if (doubleClick) {
        QVERIFY(!rig.playback().singleRowPlaying());
        QCOMPARE(rig.highlight, -1);
        QVERIFY(!rig.timerOn());
    } else {
        // The row is over: its pause runs, then the run goes on.
        QVERIFY(rig.playback().waitingInterval());
        rig.fakes.speech.setSpeechStartsAtOnce(true);
        rig.runToEnd();
        QCOMPARE(rig.spoken(), (QStringList{"one", "one", "two"}));
        QVERIFY(rig.idle());
    }
    QCOMPARE(rig.fakes.messages.messages, message);
}

void TestPlayback::valueTables() {
    Rig rig;
    const int intervals[] = {0, 500, 1000, 2000, 3000, 5000, 10000};
    for (int index = 0; index < 7; ++index) {
        rig.choices.intervalIndex = index;
        QCOMPARE(rig.playback().intervalMs(), intervals[index]);
    }
    rig.choices.intervalIndex = -1;
    QCOMPARE(rig.playback().intervalMs(), 2000);

    const int passes[] = {1, 2, 3, 5, 10};
    for (int index = 0; index < 5; ++index) {
        rig.choices.repeatIndex = index;
        QCOMPARE(rig.playback().passCount(), passes[index]);
    }
    rig.choices.repeatIndex = -1;
    QCOMPARE(rig.playback().passCount(), 1);

    // The English rate reaches English rows only.
    rig.choices.englishRateIndex = 4;
    QCOMPARE(rig.playback().englishRate(), 2);
    rig.playback().playPause();
    rig.playback().playRow(2);
    QCOMPARE(rig.fakes.speech.spoken.size(), 2);
    QCOMPARE(rig.fakes.speech.spoken[0].rate, 2);
    QCOMPARE(rig.fakes.speech.spoken[1].rate, 0);

    // The program's own timer is precise: not 5 % early or late.
    const PreciseSingleShotTimer precise;
    QCOMPARE(precise.timerType(), Qt::PreciseTimer);
}

// Runs playback to its end, writing down every line spoken and every gap left for the
// learner ("gap 650"), in order.
QStringList recordRun(Rig& rig) {
    QStringList events;
    qsizetype heard = 0;
    for (int steps = 0; steps < 1000 && rig.playback().isPlaying(); ++steps) {
        for (; heard < rig.fakes.speech.spoken.size(); ++heard)
            events << rig.fakes.speech.spoken[heard].text;
        if (rig.playback().waitingGap())
            events << QStringLiteral("gap %1").arg(rig.timerInterval());
        rig.step();
    }
    for (; heard < rig.fakes.speech.spoken.size(); ++heard)
        events << rig.fakes.speech.spoken[heard].text;
    return events;
}

void TestPlayback::rolePlay_data() {
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("model");
    QTest::addColumn<int>("gapIndex");
    QTest::addColumn<QStringList>("expected");
    // The fake engine takes 100 ms per character: "Fine!" is 500 ms, "二" 100 ms.
    QTest::newRow("no role") << "" << false << 1 << QStringList{"Hello.", "Fine!", "二"};
    QTest::newRow("B answers, 1.3 times")
        << "B" << false << 1 << QStringList{"Hello.", "gap 650", "二"};
    QTest::newRow("B answers, then hears it")
        << "B" << true << 1 << QStringList{"Hello.", "gap 650", "Fine!", "二"};
    QTest::newRow("twice the line") << "B" << false << 3 << QStringList{"Hello.", "gap 1000", "二"};
    QTest::newRow("Japanese role")
        << "Q" << true << 0 << QStringList{"Hello.", "Fine!", "gap 100", "二"};
}

void TestPlayback::rolePlay() {
    QFETCH(QString, role);
    QFETCH(bool, model);
    QFETCH(int, gapIndex);
    QFETCH(QStringList, expected);

    Rig rig({row("A", "Hello."), row("b", "Fine!"), row("Q", "二")});
    rig.choices.practice.role = role;
    rig.choices.practice.modelAfterAnswer = model;
    rig.choices.practice.answerGapPercent = answerGapPercentForIndex(gapIndex);
    rig.playback().playPause();
    QCOMPARE(recordRun(rig), expected);
    QVERIFY(rig.idle());
    // The learner's line was measured, never heard unless as the model.
    if (role == "B")
        QCOMPARE(rig.fakes.speech.synthesized.last().text, QStringLiteral("Fine!"));
}

void TestPlayback::pauseDuringAnAnswerGapRestartsIt() {
    Rig rig({row("A", "Hello."), row("B", "Fine!"), row("A", "Bye.")});
    rig.choices.practice.role = "B";
    rig.playback().playPause();
    rig.endRow();
    rig.tick(); // the pause after "Hello." is over: B's turn
    QVERIFY(rig.playback().learnersTurn());
    QCOMPARE(rig.highlight, 1);
    QCOMPARE(progressText(rig.playback().progress()), QStringLiteral("2/3行 1/1回 あなたの番です"));

    rig.playback().playPause();
    QVERIFY(rig.playback().isPaused());
    QVERIFY(!rig.playback().learnersTurn());
    rig.playback().playPause();
    QVERIFY(rig.playback().learnersTurn()); // the answer starts again, nothing is spoken
    QCOMPARE(rig.timerInterval(), 650);
    QCOMPARE(rig.spoken(), QStringList{"Hello."});
    rig.tick();
    QCOMPARE(rig.playback().currentRow(), 1);
    QVERIFY(rig.playback().waitingInterval());
    rig.tick();
    QCOMPARE(rig.spoken(), (QStringList{"Hello.", "Bye."}));

    // A double-click plays the learner's line to check it.
    rig.playback().playRow(1);
    QCOMPARE(rig.spoken().last(), QStringLiteral("Fine!"));
}

void TestPlayback::gapWaitsForTheLineToBeMeasured() {
    Rig rig({row("A", "Hello."), row("B", "Fine!"), row("A", "Bye."), row("B", "See you.")});
    rig.choices.practice.role = "B";
    rig.fakes.speech.setMeasurementsWait(true);
    rig.playback().playPause();
    // B's line is measured while "Hello." is heard, in the background.
    QCOMPARE(rig.fakes.speech.waitingMeasurements(), 1);
    QCOMPARE(rig.fakes.speech.synthesized.last().text, QStringLiteral("Fine!"));
    rig.endRow();
    rig.tick(); // the pause is over: B's turn, its length not yet known
    QVERIFY(rig.playback().waitingLength());
    QVERIFY(rig.playback().learnersTurn());
    QVERIFY(!rig.timerOn()); // the engine tells when the length is known
    rig.tick();
    QVERIFY(rig.playback().waitingLength());
    QCOMPARE(rig.fakes.speech.synthesized.size(), 1); // waited for, not synthesised again
    rig.fakes.speech.finishMeasurements();
    rig.deliver();
    QVERIFY(rig.playback().waitingGap());
    QCOMPARE(rig.timerInterval(), 650);
    rig.tick();
    QVERIFY(rig.playback().waitingInterval());
    rig.tick();
    QCOMPARE(rig.spoken(), (QStringList{"Hello.", "Bye."}));

    // A line no voice can synthesise leaves no time to wait for: the run goes on.
    rig.fakes.speech.failMeasurements(QStringLiteral("dead"));
    rig.endRow();
    rig.tick();
    QVERIFY(rig.playback().waitingLength());
    rig.fakes.speech.failMeasurements(QStringLiteral("dead too"));
    rig.deliver();
    QVERIFY(rig.playback().waitingGap());
    QCOMPARE(rig.timerInterval(), 1);
    QCOMPARE(rig.fakes.messages.messages.size(), 1);
    rig.runToEnd();
    QCOMPARE(rig.spoken(), (QStringList{"Hello.", "Bye."}));

    // A double-clicked line waits for its length the same way before its shadowing gap.
    rig.choices.practice.lineRepeats = 2;
    rig.choices.practice.shadowingGap = true;
    rig.playback().playRow(0);
    rig.endRow();
    QCOMPARE(rig.playback().state(), PlaybackState::Measuring);
    QVERIFY(!rig.timerOn());
    rig.fakes.speech.finishMeasurements();
    rig.deliver();
    QCOMPARE(rig.timerInterval(), 600);
    rig.tick();
    QCOMPARE(rig.spoken().last(), QStringLiteral("Hello."));
    QCOMPARE(rig.spoken().size(), 4);
}

void TestPlayback::lineDrill_data() {
    QTest::addColumn<int>("repeats");
    QTest::addColumn<bool>("shadowing");
    QTest::addColumn<QString>("role");
    QTest::addColumn<QStringList>("expected");
    // Without shadowing the repeats are apart by the default pause ("なし" here), at least 0.5 s.
    QTest::newRow("three times") << 3 << false << ""
                                 << QStringList{"ab", "gap 500", "ab", "gap 500", "ab",
                                                "c",  "gap 500", "c",  "gap 500", "c"};
    // 150 ms per character: "ab" takes 300 ms, "c" 150 ms.
    QTest::newRow("with shadowing gaps")
        << 2 << true << "" << QStringList{"ab", "gap 300", "ab", "c", "gap 150", "c"};
    QTest::newRow("five answers with models")
        << 5 << true << "C"
        << QStringList{"ab",      "gap 300", "ab",      "gap 300", "ab",      "gap 300", "ab",
                       "gap 300", "ab",      "gap 195", "c",       "gap 195", "c",       "gap 195",
                       "c",       "gap 195", "c",       "gap 195", "c"};
}

void TestPlayback::lineDrill() {
    QFETCH(int, repeats);
    QFETCH(bool, shadowing);
    QFETCH(QString, role);
    QFETCH(QStringList, expected);

    Rig rig({row("A", "ab"), row("C", "c")});
    rig.fakes.speech.msPerCharacter = 150;
    rig.choices.practice.lineRepeats = repeats;
    rig.choices.practice.shadowingGap = shadowing;
    rig.choices.practice.role = role;
    rig.choices.practice.modelAfterAnswer = true;
    rig.playback().playPause();
    QCOMPARE(rig.playback().currentRepeat(), 1);
    QCOMPARE(recordRun(rig), expected);

    // A double-clicked line is drilled the same way (spoken, even in the learner's role).
    rig.fakes.speech.spoken.clear();
    rig.playback().playRow(1);
    QStringList drilled;
    for (int steps = 0; steps < 100 && rig.playback().singleRowPlaying(); ++steps) {
        if (rig.fakes.speech.isSpeaking())
            drilled << rig.fakes.speech.spoken.last().text;
        else if (rig.timerOn())
            drilled << QStringLiteral("gap %1").arg(rig.timerInterval());
        rig.step();
    }
    QStringList expectedDrill;
    for (int time = 1; time <= repeats; ++time) {
        expectedDrill << "c";
        if (time < repeats)
            expectedDrill << (shadowing ? "gap 150" : "gap 500");
    }
    QCOMPARE(drilled, expectedDrill);
    QCOMPARE(rig.highlight, -1);
}

void TestPlayback::playbackFollowsThePlan_data() {
    QTest::addColumn<QList<LessonRow>>("rows");
    QTest::addColumn<PlaybackChoices>("choices");
    const QList<LessonRow> skips = {row("A", "one", "1.5"), row("X", "unknown"), row("B", "two"),
                                    row("Q", "三"), row("x", "trailing")};
    PlaybackChoices plain{2, 1, 2, false, kNormalJapaneseRateIndex, {}};
    QTest::newRow("two passes with skips") << skips << plain;
    PlaybackChoices drill = plain;
    drill.practice = {QStringLiteral("B"), true, 150, 3, true};
    QTest::newRow("role-play, model, shadowing, three times") << skips << drill;
    PlaybackChoices apart{0, 0, 2, false, kNormalJapaneseRateIndex, {{}, false, 130, 2, false}};
    QTest::newRow("twice, apart by half a second")
        << QList<LessonRow>{row("", ""), row("X", "intro"), row("A", "ab"), row("R", "cd", "0")}
        << apart;
    PlaybackChoices japanese{5, 2, 2, false, kNormalJapaneseRateIndex, {"Q", false, 200, 1, false}};
    QTest::newRow("the learner answers the Japanese lines")
        << QList<LessonRow>{row("A", "one"), row("Q", "二つ"), row("Q", "三"), row("A", "four")}
        << japanese;
}

// Playback plays the steps of the drill plan, which the export writes: the same lines, gaps
// and pauses, of the same lengths, in the same order.
void TestPlayback::playbackFollowsThePlan() {
    QFETCH(QList<LessonRow>, rows);
    QFETCH(PlaybackChoices, choices);
    Rig rig(rows);
    rig.choices = choices;

    QStringList planned;
    const auto lineMs = [&](int row) {
        return qint64(rig.table.cell(ColText, row).size()) * rig.fakes.speech.msPerCharacter;
    };
    for (const DrillStep& step : drillPlan(rig.table, drillSettingsOf(choices, u'.'))) {
        switch (step.kind) {
        case DrillStep::Kind::Speak:
            planned << rig.table.cell(ColText, step.row);
            break;
        case DrillStep::Kind::Gap: {
            PracticeOptions gap;
            gap.answerGapPercent = step.percent;
            planned << QStringLiteral("gap %1").arg(answerGapMs(lineMs(step.row), gap));
            break;
        }
        case DrillStep::Kind::Pause:
            planned << QStringLiteral("%1 %2")
                           .arg(step.afterRow ? "rest" : "gap")
                           .arg(std::max(step.ms, 1));
            break;
        case DrillStep::Kind::Beep:
            planned << QStringLiteral("beep");
            if (step.ms > 0)
                planned << QStringLiteral("wait %1").arg(step.ms);
            break;
        case DrillStep::Kind::Replay: // no recorder here: passed over at once
            break;
        }
    }

    QStringList played;
    qsizetype heard = 0;
    int beeps = 0;
    rig.playback().playPause();
    for (int steps = 0; steps < 1000; ++steps) {
        for (; beeps < rig.fakes.beeper.beeps; ++beeps)
            played << QStringLiteral("beep");
        for (; heard < rig.fakes.speech.spoken.size(); ++heard)
            played << rig.fakes.speech.spoken[heard].text;
        if (!rig.playback().isPlaying())
            break;
        if (rig.playback().waitingGap())
            played << QStringLiteral("gap %1").arg(rig.timerInterval());
        else if (rig.playback().waitingInterval())
            played << QStringLiteral("rest %1").arg(rig.timerInterval());
        else if (rig.playback().waitingAfterSkip())
            played << QStringLiteral("wait %1").arg(rig.timerInterval());
        rig.step();
    }
    QVERIFY(rig.idle());
    QCOMPARE(played, planned);
}

void TestPlayback::speedsReachTheEngine_data() {
    QTest::addColumn<int>("englishIndex");
    QTest::addColumn<bool>("slowestEnglish");
    QTest::addColumn<int>("japaneseIndex");
    QTest::addColumn<int>("englishRate");
    QTest::addColumn<int>("japaneseRate");
    QTest::newRow("normal") << 2 << false << 3 << 0 << 0;
    QTest::newRow("0.7 times in both") << 0 << true << 0 << -3 << -3;
    QTest::newRow("fastest in both") << 4 << false << 5 << 2 << 2;
    QTest::newRow("English list, Japanese slow") << 1 << false << 1 << -1 << -2;
}

void TestPlayback::speedsReachTheEngine() {
    QFETCH(int, englishIndex);
    QFETCH(bool, slowestEnglish);
    QFETCH(int, japaneseIndex);
    QFETCH(int, englishRate);
    QFETCH(int, japaneseRate);

    Rig rig({row("A", "one"), row("Q", "二")});
    rig.choices.englishRateIndex = englishIndex;
    rig.choices.slowestEnglish = slowestEnglish;
    rig.choices.japaneseRateIndex = japaneseIndex;
    rig.playback().playPause();
    rig.runToEnd();
    QCOMPARE(rig.fakes.speech.spoken.size(), 2);
    QCOMPARE(rig.fakes.speech.spoken[0].rate, englishRate);
    QCOMPARE(rig.fakes.speech.spoken[1].rate, japaneseRate);
}

void TestPlayback::progressShowsLineAndPass() {
    Rig rig({row("A", "one"), row("", ""), row("B", "two"), row("Q", "三")});
    QSignalSpy changes(rig.controller.get(), &PlaybackController::progressChanged);
    const auto text = [&] { return progressText(rig.playback().progress()); };
    rig.choices.repeatIndex = 1;
    rig.choices.practice.lineRepeats = 2;
    QVERIFY(text().isEmpty());
    rig.playback().playPause();
    QCOMPARE(text(), QStringLiteral("1/3行 1/2回 (1/2)"));
    QCOMPARE(changes.size(), 1);
    rig.endRow();
    rig.tick(); // the second time of "one"
    QCOMPARE(text(), QStringLiteral("1/3行 1/2回 (2/2)"));
    rig.endRow();
    rig.tick();
    QCOMPARE(text(), QStringLiteral("2/3行 1/2回 (1/2)"));
    rig.playback().playPause();
    QCOMPARE(text(), QStringLiteral("2/3行 1/2回 (1/2) 一時停止中"));
    rig.playback().stop();
    QVERIFY(text().isEmpty());
    QVERIFY(changes.size() >= 5);
}

namespace {

// The main window on fake services, with the sample lesson.
struct WindowRig {
    FakeServices fakes;
    std::unique_ptr<MainWindow> form;

    WindowRig() {
        fakes.speech.addVoice(QStringLiteral("Microsoft Zira Desktop - English (United States)"),
                              QStringLiteral("409"));
        fakes.speech.addVoice(QStringLiteral("Microsoft Haruka Desktop - Japanese"),
                              QStringLiteral("411"));
        form = std::make_unique<MainWindow>(fakes.services());
    }
    template <typename T> T& find(const char* name) const {
        T* child = form->findChild<T*>(QLatin1String(name));
        if (!child)
            qFatal("no %s", name);
        return *child;
    }
    QString caption() const { return find<QPushButton>("btnSpeak").text(); }
    QStringList spoken() const {
        QStringList texts;
        for (const auto& utterance : fakes.speech.spoken)
            texts << utterance.text;
        return texts;
    }
    // The line ends, and the pause after it runs out.
    void endRowAndPause() {
        fakes.speech.finishSpeech();
        deliverEvents();
        QTimer& timer = find<QTimer>("playbackTimer");
        if (timer.isActive()) {
            timer.stop();
            QMetaObject::invokeMethod(&timer, "timeout");
        }
        deliverEvents();
    }
};

} // namespace

// The play button offers what playback can do next; the playback timer is playback's own,
// and the title's timer keeps running, so the note about the sound device stays current.
void TestPlayback::windowShowsWherePlaybackIs() {
    const QString idle = QStringLiteral("読み上げ");
    const QString playing = QStringLiteral("一時停止");
    const QString paused = QStringLiteral("再生");
    WindowRig rig;
    QPushButton& speak = rig.find<QPushButton>("btnSpeak");
    QLabel& progress = rig.find<QLabel>("lblProgress");
    const QTimer& timer = rig.find<QTimer>("playbackTimer");
    QVERIFY(timer.isSingleShot());
    QCOMPARE(timer.timerType(), Qt::PreciseTimer); // not 5 % early or late
    QCOMPARE(rig.caption(), idle);

    speak.click();
    QCOMPARE(rig.caption(), playing);
    QCOMPARE(progress.text(), QStringLiteral("1/4行 1/1回"));
    rig.form->playback().playRow(2);
    QCOMPARE(rig.caption(), playing); // the run ended, the caption stays
    rig.fakes.speech.finishSpeech();
    deliverEvents();
    QCOMPARE(rig.caption(), idle); // and says what the button does once the row is over

    speak.click();
    speak.click();
    QCOMPARE(rig.caption(), paused);
    QCOMPARE(progress.text(), QStringLiteral("1/4行 1/1回 一時停止中"));
    rig.form->playback().playRow(1);
    QCOMPARE(rig.caption(), paused);
    speak.click();
    QCOMPARE(rig.caption(), playing);
    rig.find<QPushButton>("btnStop").click();
    QCOMPARE(rig.caption(), idle);
    QVERIFY(progress.text().isEmpty());
    QVERIFY(rig.find<QTimer>("tmrNext").isActive());
}

void TestPlayback::doubleClickOnTheGridPlaysInsteadOfEditing() {
    WindowRig rig;
    rig.form->show();
    LessonGrid& grid = rig.find<LessonGrid>("StringGrid1");
    const QRect cell = grid.visualRect(grid.model()->index(2, ColText));
    // A double-click arrives as a click followed by the second press.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(rig.spoken(), QStringList{QStringLiteral("今日はいい天気ですね。")});
    QVERIFY(rig.form->playback().singleRowPlaying());
    QCOMPARE(rig.form->highlightRow(), 2);
    for (const QLineEdit* editor : grid.viewport()->findChildren<QLineEdit*>())
        QVERIFY(!editor->isVisible());
    QCOMPARE(rig.form->popupRow(), 2);
}

void TestPlayback::typingDuringPlaybackKeepsTheText() {
    // Someone types slowly into row 4 while the run moves on: the rows spoken keep their text
    // and the letters all land in the cell being typed into.
    WindowRig rig;
    LessonTable& table = *rig.form->findChild<LessonTable*>();
    table.setRows({row("A", "one"), row("B", "two"), row("C", "three"), row("A", "")});
    rig.form->show();
    QApplication::setActiveWindow(rig.form.get());
    LessonGrid& grid = rig.find<LessonGrid>("StringGrid1");
    grid.setFocus();
    rig.form->playback().playPause();
    grid.setCurrentIndex(table.index(3, ColText)); // a click on row 4
    for (const char letter : {'p', 'q', 'r', 's'}) {
        QTest::keyClick(QApplication::focusWidget(), letter);
        rig.endRowAndPause();
        QCOMPARE(grid.currentRow(), 3);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents(); // the editor closes through a queued call
    QCOMPARE(table.cell(ColText, 0), QStringLiteral("one"));
    QCOMPARE(table.cell(ColText, 1), QStringLiteral("two"));
    QCOMPARE(table.cell(ColText, 2), QStringLiteral("three"));
    QCOMPARE(table.cell(ColText, 3), QStringLiteral("pqrs"));
    // The spoken row is shown by the highlight alone.
    QCOMPARE(rig.spoken(), (QStringList{"one", "two", "three"}));
}

void TestPlayback::playFromHereUsesTheRightClickedRow() {
    WindowRig rig;
    LessonTable& table = *rig.form->findChild<LessonTable*>();
    table.setRows({row("A", "one"), row("B", "two"), row("C", "three"), row("Q", "四")});
    rig.form->show();
    LessonGrid& grid = rig.find<LessonGrid>("StringGrid1");
    QMenu& menu = rig.find<QMenu>("pmGrid");
    QAction& playFromHere = rig.find<QAction>("mnuPlayFromHere");
    grid.cellClicked(ColText, 0);    // a left click on row 1 first
    grid.cellClicked(ColSpeaker, 7); // outside the table: ignored
    QCOMPARE(rig.form->popupRow(), 0);
    const QPoint onRow3 = grid.visualRect(table.index(2, ColSpeaker)).center();
    emit grid.customContextMenuRequested(onRow3);
    menu.hide();
    QCOMPARE(rig.form->popupRow(), 2);
    playFromHere.trigger();
    QCOMPARE(rig.spoken(), QStringList{"three"});
    QCOMPARE(rig.form->highlightRow(), 2);

    // The Speaker column's header carries the menu too; it leaves the row as it was.
    emit grid.horizontalHeader()->customContextMenuRequested(
        QPoint(grid.columnViewportPosition(ColSpeaker) + 5, 5));
    menu.hide();
    QCOMPARE(rig.form->popupRow(), 2);
}

// The answer gap is recorded from its start to its end, heard back, then the model; a gap or a
// replay cut short by stop is dropped or stopped; nothing recorded passes on at once.
void TestPlayback::recordsAndReplaysTheLearnersGaps() {
    Rig rig({row("A", "Hello."), row("B", "Fine.")});
    rig.choices.practice.role = QStringLiteral("B");
    rig.choices.practice.modelAfterAnswer = true;
    rig.choices.practice.recordAnswers = true;
    rig.choices.practice.hearOwnAnswer = true;
    rig.playback().playPause();
    rig.endRow(); // A's line
    rig.tick();   // its pause: B's answer gap begins
    QCOMPARE(rig.recorder.calls, QStringList({"run, recording", "start r1"}));
    rig.tick(); // the gap ends: kept, and heard back before the model
    QCOMPARE(rig.recorder.calls.mid(2), QStringList({"keep", "replay"}));
    QCOMPARE(rig.playback().state(), PlaybackState::Replaying);
    QCOMPARE(rig.spoken(), QStringList({"Hello."}));
    std::exchange(rig.recorder.heard, nullptr)();
    rig.deliver();
    QCOMPARE(rig.spoken(), QStringList({"Hello.", "Fine."})); // the model
    rig.runToEnd();

    // Stopped in the gap: the take is dropped.
    rig.recorder.calls.clear();
    rig.playback().playFrom(1);
    rig.deliver();
    rig.playback().stop();
    QCOMPARE(rig.recorder.calls, QStringList({"run, recording", "start r1", "drop"}));

    // Stopped in the replay: it stops, and its late end moves nothing.
    rig.recorder.calls.clear();
    rig.playback().playFrom(1);
    rig.tick();
    const auto heard = std::exchange(rig.recorder.heard, nullptr);
    rig.playback().stop();
    QCOMPARE(rig.recorder.calls.last(), QStringLiteral("stop replay"));
    heard();
    rig.deliver();
    QVERIFY(rig.idle());

    // Nothing recorded: the model follows the gap at once.
    rig.recorder.hasTake = false;
    const qsizetype spoken = rig.spoken().size();
    rig.playback().playFrom(1);
    rig.tick();
    QCOMPARE(rig.spoken().size(), spoken + 1);
    QCOMPARE(rig.playback().state(), PlaybackState::Speaking);
}

QTEST_MAIN(TestPlayback)
#include "tst_playback.moc"
