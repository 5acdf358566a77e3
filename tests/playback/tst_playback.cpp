#include "app/LessonGrid.h"
#include "app/MainWindow.h"
#include "app/PracticePanel.h"
#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"
#include "platform/ErrorHandler.h"
#include "playback/PlaybackController.h"
#include "settings/SettingsFile.h"
#include "settings/Speakers.h"
#include "support/Controls.h"
#include "support/FakeServices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace lessora;
using namespace lessora::test;

namespace {

const QString kIdle = QStringLiteral("読み上げ");
const QString kPlaying = QStringLiteral("一時停止");
const QString kPaused = QStringLiteral("再生");

LessonRow row(const QString& speaker, const QString& text, const QString& interval = {}) {
    return {QString(), speaker, languageOfSpeakerCode(speaker), text, interval};
}

// The main window on fake services; the tests drive its timer by calling the tick handler.
struct Rig {
    FakeServices fakes;
    std::unique_ptr<MainWindow> form;

    Rig() {
        fakes.speech.addVoice(QStringLiteral("Microsoft Zira Desktop - English (United States)"),
                              QStringLiteral("409"));
        fakes.speech.addVoice(QStringLiteral("Microsoft Haruka Desktop - Japanese"),
                              QStringLiteral("411"));
        form = std::make_unique<MainWindow>(fakes.services());
    }
    explicit Rig(const QList<LessonRow>& rows)
        : Rig() {
        form->lessonTable().setRows(rows);
    }

    PlaybackController& playback() { return form->playback(); }
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
    QString caption() const { return control<QPushButton>(*form, "btnSpeak")->text(); }
    bool timerOn() const { return control<QTimer>(*form, "tmrNext")->isActive(); }
    int timerInterval() const { return control<QTimer>(*form, "tmrNext")->interval(); }
    void tick() { form->playback().tick(); }

    // The row being spoken is seen speaking, ends, and is seen ended: its pause runs.
    void endRow() {
        tick();
        fakes.speech.finishSpeech();
        tick();
    }
    // Ticks until playback is idle, letting every row end once it has been seen speaking.
    void runToEnd() {
        for (int ticks = 0; ticks < 1000 && playback().isPlaying(); ++ticks) {
            tick();
            if (playback().voiceStarted() && fakes.speech.isSpeaking())
                fakes.speech.finishSpeech();
        }
        QVERIFY(!playback().isPlaying());
    }
};

const QList<LessonRow> kSkipLesson = {row("A", "one"), row("X", "unknown speaker"), row("A", ""),
                                      row("B", "two"), row("C", "three")};

} // namespace

class TestPlayback : public QObject {
    Q_OBJECT
private slots:
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
    void doubleClickOnTheGridPlaysInsteadOfEditing();
    void emptyTableAndTableWithoutSpeakableRows();
    void startTakesOverASingleRow();
    void rowNeverSeenSpeaking();
    void editsDuringPlaybackAreHeard();
    void messageOnScreenHoldsOffTicksAndCommands();
    void failingTickIsShownOnce();
    void speechFailingAfterItBegan_data();
    void speechFailingAfterItBegan();
    void valueTables();
    void rolePlay_data();
    void rolePlay();
    void pauseDuringAnAnswerGapRestartsIt();
    void gapWaitsForTheLineToBeMeasured();
    void lineDrill_data();
    void lineDrill();
    void speedsReachTheEngine_data();
    void speedsReachTheEngine();
    void progressShowsLineAndPass();
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
    control<QComboBox>(*rig.form, "cmbRepeat")->setCurrentIndex(repeatIndex);
    rig.form->playback().playPause();
    QCOMPARE(rig.caption(), kPlaying);
    QCOMPARE(rig.playback().currentPass(), 1);
    rig.runToEnd();

    QCOMPARE(rig.spoken(), expectedSpoken);
    QCOMPARE(rig.fakes.beeper.beeps, expectedBeeps);
    QCOMPARE(rig.caption(), kIdle);
    QCOMPARE(rig.form->highlightRow(), -1);
    QVERIFY(!rig.timerOn());
    QCOMPARE(rig.playback().currentRow(), rows.size());
    QCOMPARE(rig.playback().currentPass(), repeatIndex + 1);
    QVERIFY(!rig.playback().waitingAfterSkip());
}

void TestPlayback::skipWaitsThenSpeaksTheNextRow() {
    Rig rig(kSkipLesson);
    rig.form->playback().playPause();
    QCOMPARE(rig.form->highlightRow(), 0);
    QCOMPARE(control<LessonGrid>(*rig.form, "StringGrid1")->currentRow(), 0);
    QVERIFY(rig.timerOn());
    QCOMPARE(rig.timerInterval(), 100);

    rig.endRow();
    rig.tick(); // the pause has run: rows 1 and 2 are passed, row 1 with a beep
    QCOMPARE(rig.fakes.beeper.beeps, 1);
    QVERIFY(rig.playback().waitingAfterSkip());
    QCOMPARE(rig.playback().currentRow(), 3);
    QCOMPARE(rig.timerInterval(), 500);
    QCOMPARE(rig.spoken(), QStringList{"one"});

    rig.tick();
    QCOMPARE(rig.spoken(), (QStringList{"one", "two"}));
    QCOMPARE(rig.form->highlightRow(), 3);
    QCOMPARE(control<LessonGrid>(*rig.form, "StringGrid1")->currentRow(), 3);
    QCOMPARE(rig.timerInterval(), 100);
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

// Every command ends the wait: the row it speaks is not spoken again by the next tick.
void TestPlayback::commandDuringTheWaitAfterASkip() {
    QFETCH(QString, command);
    QFETCH(QStringList, expectedSpoken);

    Rig rig(kSkipLesson);
    rig.form->playback().playPause();
    rig.endRow();
    rig.tick();
    QVERIFY(rig.playback().waitingAfterSkip());

    if (command == "next") {
        rig.form->playback().next();
    } else if (command == "previous") {
        rig.form->playback().previous();
    } else if (command == "pause and resume") {
        rig.form->playback().playPause();
        rig.form->playback().playPause();
    } else if (command == "stop and start") {
        rig.form->playback().stop();
        QVERIFY(!rig.playback().waitingAfterSkip());
        rig.form->playback().playPause();
    } else {
        rig.form->playback().playRow(4);
    }
    QVERIFY(!rig.playback().waitingAfterSkip());
    rig.tick();
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
    rig.form->playback().playPause();
    // Read when the row ends, so a choice made meanwhile counts.
    control<QComboBox>(*rig.form, "cmbInterval")->setCurrentIndex(intervalIndex);
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
    rig.form->playback().playPause();
    rig.tick();
    if (inRowPause) {
        rig.fakes.speech.finishSpeech();
        rig.tick();
        QVERIFY(rig.playback().waitingInterval());
    }
    const int silenced = rig.fakes.speech.silenced;

    rig.form->playback().playPause();
    QCOMPARE(rig.caption(), kPaused);
    QVERIFY(rig.playback().isPaused());
    QVERIFY(!rig.playback().isPlaying());
    QVERIFY(!rig.playback().waitingInterval());
    QVERIFY(!rig.timerOn());
    QCOMPARE(rig.fakes.speech.silenced, silenced + 1);
    QVERIFY(!rig.fakes.speech.isSpeaking());
    QCOMPARE(rig.form->highlightRow(), 0);

    rig.form->playback().playPause();
    QCOMPARE(rig.caption(), kPlaying);
    QVERIFY(rig.playback().isPlaying());
    QVERIFY(!rig.playback().voiceStarted());
    QCOMPARE(rig.spoken(), (QStringList{"one", "one"})); // from its beginning
    QVERIFY(rig.timerOn());
    QCOMPARE(rig.timerInterval(), 100);
    rig.runToEnd();
    QCOMPARE(rig.spoken(), (QStringList{"one", "one", "two"}));
}

void TestPlayback::stopThenNextBeginsANewRun() {
    // Every run shows the fallback notice once.
    Rig rig({row("A", "one"), row("B", "two"), row("Q", "三"), row("R", "四")});
    rig.configureMissingVoices();
    rig.form->playback().playPause();
    rig.endRow();
    rig.tick();
    QCOMPARE(rig.spoken(), (QStringList{"one", "two"}));
    QCOMPARE(rig.fakes.messages.messages.size(), 1);

    rig.form->playback().stop();
    QCOMPARE(rig.caption(), kIdle);
    QCOMPARE(rig.form->highlightRow(), -1);
    QVERIFY(!rig.timerOn());
    QVERIFY(!rig.fakes.speech.isSpeaking());
    QCOMPARE(rig.playback().currentRow(), 1);

    rig.form->playback().next(); // from idle: a new run, after the row that was playing
    QCOMPARE(rig.spoken().last(), QStringLiteral("三"));
    QCOMPARE(rig.caption(), kPlaying);
    QCOMPARE(rig.form->highlightRow(), 2);
    QCOMPARE(rig.playback().currentPass(), 1);
    QCOMPARE(rig.fakes.messages.messages.size(), 2);

    rig.form->playback().next(); // within the run: no second notice
    QCOMPARE(rig.spoken().last(), QStringLiteral("四"));
    QCOMPARE(rig.fakes.messages.messages.size(), 2);
    rig.form->playback().next(); // nothing after the last row: nothing happens
    QCOMPARE(rig.spoken().size(), 4);
    QVERIFY(rig.playback().isPlaying());
}

void TestPlayback::previousAfterACompleteRun() {
    Rig rig({row("A", "one"), row("B", "two"), row("", "")});
    rig.form->playback().playPause();
    rig.runToEnd();
    QCOMPARE(rig.playback().currentRow(), 3);

    rig.form->playback().next();
    QCOMPARE(rig.spoken().size(), 2);
    QCOMPARE(rig.caption(), kIdle);

    rig.form->playback().previous();
    QCOMPARE(rig.spoken().last(), QStringLiteral("two"));
    QCOMPARE(rig.playback().currentRow(), 1);
    QCOMPARE(rig.caption(), kPlaying);
    rig.runToEnd();
    QCOMPARE(rig.spoken(), (QStringList{"one", "two", "two"}));
}

void TestPlayback::doubleClickDuringARun() {
    Rig rig({row("A", "one"), row("B", "two"), row("Q", "三")});
    rig.form->playback().playPause();
    rig.tick();
    rig.form->playback().playRow(2);
    QCOMPARE(rig.spoken().last(), QStringLiteral("三"));
    QVERIFY(!rig.playback().isPlaying());
    QVERIFY(rig.playback().singleRowPlaying());
    QCOMPARE(rig.caption(), kPlaying); // the run ended, the caption stays
    QCOMPARE(rig.form->highlightRow(), 2);
    QCOMPARE(rig.timerInterval(), 100);

    rig.tick();
    QVERIFY(rig.playback().singleRowPlaying());
    rig.fakes.speech.finishSpeech();
    rig.tick();
    QVERIFY(!rig.playback().singleRowPlaying());
    QCOMPARE(rig.form->highlightRow(), -1);
    QVERIFY(!rig.timerOn());
    QCOMPARE(rig.spoken().size(), 2);

    rig.form->playback().playPause(); // a new run from the first speakable row
    QCOMPARE(rig.spoken().last(), QStringLiteral("one"));
    QCOMPARE(rig.playback().currentRow(), 0);
    QVERIFY(rig.playback().isPlaying());
}

void TestPlayback::doubleClickWhilePaused() {
    Rig rig({row("A", "one"), row("B", "two"), row("Q", "三")});
    rig.form->playback().playPause();
    rig.endRow();
    rig.tick(); // row 1 speaks
    rig.form->playback().playPause();
    QVERIFY(rig.playback().isPaused());

    rig.form->playback().playRow(2);
    QCOMPARE(rig.spoken().last(), QStringLiteral("三"));
    QVERIFY(rig.playback().isPaused());
    QCOMPARE(rig.caption(), kPaused);

    // Resumed while the double-clicked row still speaks: the run takes over at its row.
    rig.form->playback().playPause();
    QVERIFY(!rig.playback().singleRowPlaying());
    QCOMPARE(rig.spoken().last(), QStringLiteral("two"));
    QCOMPARE(rig.form->highlightRow(), 1);
    rig.runToEnd();
    QCOMPARE(rig.spoken(), (QStringList{"one", "two", "三", "two", "三"}));
}

void TestPlayback::playFromHere() {
    Rig rig({row("A", "one"), row("B", ""), row("Q", "三")});
    control<QAction>(*rig.form, "mnuPlayFromHere")->trigger(); // before any click: the first row
    QCOMPARE(rig.spoken(), QStringList{"one"});
    QCOMPARE(rig.playback().currentPass(), 1);

    control<LessonGrid>(*rig.form, "StringGrid1")->cellClicked(ColSpeaker, 1);
    control<LessonGrid>(*rig.form, "StringGrid1")
        ->cellClicked(ColSpeaker, 7); // outside the table: ignored
    rig.form->playback().playRow(2);
    QVERIFY(rig.playback().singleRowPlaying());
    control<QAction>(*rig.form, "mnuPlayFromHere")->trigger();
    QVERIFY(!rig.playback().singleRowPlaying());
    QCOMPARE(rig.playback().currentRow(), 1);
    QCOMPARE(rig.form->highlightRow(), 1);
    QCOMPARE(rig.caption(), kPlaying);
    // The empty row is handed over as it is; it ends without ever being heard.
    QCOMPARE(rig.spoken().last(), QString());
    rig.runToEnd();
    QCOMPARE(rig.spoken(), (QStringList{"one", "三", "", "三"}));
}

void TestPlayback::doubleClickOnTheGridPlaysInsteadOfEditing() {
    Rig rig;
    rig.form->show();
    LessonGrid& grid = *control<LessonGrid>(*rig.form, "StringGrid1");
    const QRect cell = grid.visualRect(grid.model()->index(2, ColText));
    // A double-click arrives as a click followed by the second press.
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(rig.spoken(), QStringList{QStringLiteral("今日はいい天気ですね。")});
    QVERIFY(rig.playback().singleRowPlaying());
    QCOMPARE(rig.form->highlightRow(), 2);
    for (const QLineEdit* editor : grid.viewport()->findChildren<QLineEdit*>())
        QVERIFY(!editor->isVisible());
    QCOMPARE(rig.form->popupRow(), 2);
}

void TestPlayback::emptyTableAndTableWithoutSpeakableRows() {
    Rig empty(QList<LessonRow>{});
    empty.form->lessonTable().setRowCount(0);
    empty.form->playback().playPause();
    empty.form->playback().next();
    empty.form->playback().previous();
    control<QAction>(*empty.form, "mnuPlayFromHere")->trigger();
    QVERIFY(empty.fakes.speech.spoken.isEmpty());
    QCOMPARE(empty.caption(), kIdle);
    QVERIFY(!empty.playback().isPlaying());
    QVERIFY(empty.fakes.messages.messages.isEmpty());

    Rig unspeakable({row("X", "hello"), row("A", " ")});
    unspeakable.form->playback().playPause();
    QVERIFY(unspeakable.fakes.speech.spoken.isEmpty());
    QCOMPARE(unspeakable.caption(), kIdle);
    QCOMPARE(unspeakable.playback().currentRow(), -1);
    unspeakable.form->playback().next(); // the first row with text, whatever its speaker
    QCOMPARE(unspeakable.spoken(), QStringList{"hello"});
    QCOMPARE(unspeakable.caption(), kPlaying);
    unspeakable.runToEnd();
    QCOMPARE(unspeakable.caption(), kIdle);
}

void TestPlayback::startTakesOverASingleRow() {
    Rig rig({row("A", "one"), row("B", "two")});
    rig.form->playback().playRow(1);
    const int silenced = rig.fakes.speech.silenced;
    rig.form->playback().playPause();
    QCOMPARE(rig.fakes.speech.silenced, silenced + 1);
    QVERIFY(!rig.playback().singleRowPlaying());
    rig.runToEnd();
    QCOMPARE(rig.spoken(), (QStringList{"two", "one", "two"}));
    QCOMPARE(rig.caption(), kIdle);
}

void TestPlayback::rowNeverSeenSpeaking() {
    // Speech not yet begun: wait.
    Rig slow({row("A", "one"), row("B", "two")});
    slow.fakes.speech.setSpeechStartsAtOnce(false);
    slow.form->playback().playPause();
    slow.tick();
    slow.tick();
    QVERIFY(!slow.playback().waitingInterval());
    slow.fakes.speech.startSpeech();
    slow.tick();
    QVERIFY(slow.playback().voiceStarted());

    // Over before the first poll: the row has ended all the same.
    Rig quick({row("A", "one"), row("B", "two")});
    quick.form->playback().playPause();
    quick.fakes.speech.finishSpeech();
    quick.tick();
    QVERIFY(quick.playback().waitingInterval());
    quick.tick();
    QCOMPARE(quick.spoken(), (QStringList{"one", "two"}));
}

void TestPlayback::editsDuringPlaybackAreHeard() {
    Rig rig({row("A", "one"), row("B", "two"), row("C", "three")});
    rig.form->playback().playPause();
    rig.form->lessonTable().setCell(ColText, 1, QStringLiteral("changed"));
    rig.endRow();
    rig.tick();
    QCOMPARE(rig.spoken().last(), QStringLiteral("changed"));

    rig.form->lessonTable().setRowCount(1); // the rest of the lesson is cut off
    rig.runToEnd();
    QCOMPARE(rig.spoken(), (QStringList{"one", "changed"}));
    QCOMPARE(rig.caption(), kIdle);
    QCOMPARE(rig.playback().currentRow(), 2);

    // Next and previous still find their rows when the current row lies past the end.
    rig.form->playback().previous();
    QCOMPARE(rig.spoken().last(), QStringLiteral("one"));
}

void TestPlayback::messageOnScreenHoldsOffTicksAndCommands() {
    // The fallback notice of the first row is on screen while a tick and every command arrive.
    Rig rig({row("A", "one"), row("B", "two"), row("Q", "三")});
    rig.configureMissingVoices();
    int arrivals = 0;
    rig.fakes.messages.whileShown = [&](const QString&) {
        ++arrivals;
        rig.fakes.speech.finishSpeech();
        rig.tick();
        rig.tick();
        rig.form->playback().next();
        rig.form->playback().previous();
        rig.form->playback().playPause();
        rig.form->playback().playRow(2);
        control<QAction>(*rig.form, "mnuPlayFromHere")->trigger();
        rig.form->playback().stop();
    };
    rig.form->playback().playPause();

    QCOMPARE(arrivals, 1);
    QCOMPARE(rig.spoken(), QStringList{"one"});
    QCOMPARE(rig.playback().currentRow(), 0);
    QVERIFY(rig.playback().isPlaying());
    QVERIFY(!rig.playback().singleRowPlaying());
    QVERIFY(!rig.playback().waitingInterval());
    QCOMPARE(rig.caption(), kPlaying);
    QVERIFY(rig.timerOn());
    QCOMPARE(rig.timerInterval(), 100);

    rig.fakes.messages.whileShown = nullptr;
    rig.runToEnd();
    QCOMPARE(rig.spoken(), (QStringList{"one", "two", "三"}));
}

void TestPlayback::failingTickIsShownOnce() {
    Rig rig({row("A", "one"), row("B", "two")});
    rig.form->playback().playPause();
    rig.fakes.messages.messages.clear();
    rig.fakes.speech.failOperation(FakeOp::RunningState, QStringLiteral("engine gone"));
    // Ticks keep coming while the error is on screen; none of them adds a message.
    rig.fakes.messages.whileShown = [&](const QString&) { rig.tick(); };
    rig.tick();
    QCOMPARE(rig.fakes.messages.messages, QStringList{errorTextForDisplay("engine gone")});
    QVERIFY(rig.timerOn()); // a failing tick leaves the timer as it was
    QVERIFY(rig.playback().isPlaying());

    rig.form->playback().stop();
    QCOMPARE(rig.caption(), kIdle);
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
        rig.tick();
    }
    rig.fakes.speech.failSpeech(QStringLiteral("open_jtalk が応答しません"));
    // The failure is taken up at the next tick, once; the ticks after it wait for the row
    // spoken again, which the engine has not begun yet.
    for (int tick = 0; tick < 3; ++tick)
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
    rig.tick();
    if (fallbackFails)
        rig.fakes.speech.failSpeech(QStringLiteral("again"));
    else
        rig.fakes.speech.finishSpeech();
    rig.tick();
    if (doubleClick) {
        QVERIFY(!rig.playback().singleRowPlaying());
        QCOMPARE(rig.form->highlightRow(), -1);
        QVERIFY(!rig.timerOn());
    } else {
        // The row is over: its pause runs, then the run goes on.
        QVERIFY(rig.playback().waitingInterval());
        rig.fakes.speech.setSpeechStartsAtOnce(true);
        rig.runToEnd();
        QCOMPARE(rig.spoken(), (QStringList{"one", "one", "two"}));
        QCOMPARE(rig.caption(), kIdle);
    }
    QCOMPARE(rig.fakes.messages.messages, message);
}

void TestPlayback::valueTables() {
    Rig rig;
    const int intervals[] = {0, 500, 1000, 2000, 3000, 5000, 10000};
    for (int index = 0; index < 7; ++index) {
        control<QComboBox>(*rig.form, "cmbInterval")->setCurrentIndex(index);
        QCOMPARE(rig.playback().intervalMs(), intervals[index]);
    }
    control<QComboBox>(*rig.form, "cmbInterval")->setCurrentIndex(-1);
    QCOMPARE(rig.playback().intervalMs(), 2000);
    QCOMPARE(control<QTimer>(*rig.form, "tmrNext")->timerType(),
             Qt::PreciseTimer); // not 5 % early or late

    const int passes[] = {1, 2, 3, 5, 10};
    for (int index = 0; index < 5; ++index) {
        control<QComboBox>(*rig.form, "cmbRepeat")->setCurrentIndex(index);
        QCOMPARE(rig.playback().passCount(), passes[index]);
    }
    control<QComboBox>(*rig.form, "cmbRepeat")->setCurrentIndex(-1);
    QCOMPARE(rig.playback().passCount(), 1);

    // The English rate reaches English rows only.
    control<QComboBox>(*rig.form, "cmbEnglishRate")->setCurrentIndex(4);
    QCOMPARE(rig.form->playback().englishRate(), 2);
    rig.form->playback().playPause();
    rig.form->playback().playRow(2);
    QCOMPARE(rig.fakes.speech.spoken.size(), 2);
    QCOMPARE(rig.fakes.speech.spoken[0].rate, 2);
    QCOMPARE(rig.fakes.speech.spoken[1].rate, 0);
}

// Runs playback to its end, writing down every line spoken and every gap left for the
// learner ("gap 650"), in order.
QStringList recordRun(Rig& rig) {
    QStringList events;
    qsizetype heard = 0;
    for (int ticks = 0; ticks < 1000 && rig.playback().isPlaying(); ++ticks) {
        for (; heard < rig.fakes.speech.spoken.size(); ++heard)
            events << rig.fakes.speech.spoken[heard].text;
        if (rig.playback().waitingGap())
            events << QStringLiteral("gap %1").arg(rig.timerInterval());
        rig.tick();
        if (rig.playback().voiceStarted() && rig.fakes.speech.isSpeaking())
            rig.fakes.speech.finishSpeech();
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
    QTest::newRow("no role") << "なし" << false << 1 << QStringList{"Hello.", "Fine!", "二"};
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
    PracticePanel& panel = *control<PracticePanel>(*rig.form, "practicePanel");
    control<QComboBox>(panel, "cmbRole")->setCurrentText(role);
    control<QCheckBox>(panel, "chkModelAfterAnswer")->setChecked(model);
    control<QComboBox>(panel, "cmbAnswerGap")->setCurrentIndex(gapIndex);
    rig.playback().playPause();
    QCOMPARE(recordRun(rig), expected);
    QCOMPARE(rig.caption(), kIdle);
    // The learner's line was measured, never heard unless as the model.
    if (role == "B")
        QCOMPARE(rig.fakes.speech.synthesized.last().text, QStringLiteral("Fine!"));
}

void TestPlayback::pauseDuringAnAnswerGapRestartsIt() {
    Rig rig({row("A", "Hello."), row("B", "Fine!"), row("A", "Bye.")});
    control<QComboBox>(*rig.form, "cmbRole")->setCurrentText("B");
    rig.playback().playPause();
    rig.endRow();
    rig.tick(); // the pause after "Hello." is over: B's turn
    QVERIFY(rig.playback().learnersTurn());
    QCOMPARE(rig.form->highlightRow(), 1);
    QCOMPARE(control<QLabel>(*rig.form, "lblProgress")->text(),
             QStringLiteral("2/3行 1/1回 あなたの番です"));

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
    control<QComboBox>(*rig.form, "cmbRole")->setCurrentText("B");
    rig.fakes.speech.setMeasurementsWait(true);
    rig.playback().playPause();
    // B's line is measured while "Hello." is heard, in the background.
    QCOMPARE(rig.fakes.speech.waitingMeasurements(), 1);
    QCOMPARE(rig.fakes.speech.synthesized.last().text, QStringLiteral("Fine!"));
    rig.endRow();
    rig.tick(); // the pause is over: B's turn, its length not yet known
    QVERIFY(rig.playback().waitingLength());
    QVERIFY(rig.playback().learnersTurn());
    QCOMPARE(rig.timerInterval(), 20);
    rig.tick();
    QVERIFY(rig.playback().waitingLength());
    QCOMPARE(rig.fakes.speech.synthesized.size(), 1); // waited for, not synthesised again
    rig.fakes.speech.finishMeasurements();
    rig.tick();
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
    rig.tick();
    QVERIFY(rig.playback().waitingGap());
    QCOMPARE(rig.timerInterval(), 1);
    QCOMPARE(rig.fakes.messages.messages.size(), 1);
    rig.runToEnd();
    QCOMPARE(rig.spoken(), (QStringList{"Hello.", "Bye."}));

    // A double-clicked line waits for its length the same way before its shadowing gap.
    control<QComboBox>(*rig.form, "cmbLineRepeat")->setCurrentIndex(1);
    control<QCheckBox>(*rig.form, "chkShadowing")->setChecked(true);
    rig.playback().playRow(0);
    rig.endRow();
    QCOMPARE(rig.timerInterval(), 20);
    rig.fakes.speech.finishMeasurements();
    rig.tick();
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
    QTest::newRow("three times") << 3 << false << "なし"
                                 << QStringList{"ab", "gap 500", "ab", "gap 500", "ab",
                                                "c",  "gap 500", "c",  "gap 500", "c"};
    // 150 ms per character: "ab" takes 300 ms, "c" 150 ms.
    QTest::newRow("with shadowing gaps")
        << 2 << true << "なし" << QStringList{"ab", "gap 300", "ab", "c", "gap 150", "c"};
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
    PracticePanel& panel = *control<PracticePanel>(*rig.form, "practicePanel");
    control<QComboBox>(panel, "cmbLineRepeat")->setCurrentIndex(repeats - 1);
    control<QCheckBox>(panel, "chkShadowing")->setChecked(shadowing);
    control<QComboBox>(panel, "cmbRole")->setCurrentText(role);
    control<QCheckBox>(panel, "chkModelAfterAnswer")->setChecked(true);
    control<QComboBox>(*rig.form, "cmbRepeat")->setCurrentIndex(0);
    control<QComboBox>(*rig.form, "cmbInterval")->setCurrentIndex(0); // なし
    rig.playback().playPause();
    QCOMPARE(rig.playback().currentRepeat(), 1);
    QCOMPARE(recordRun(rig), expected);

    // A double-clicked line is drilled the same way (spoken, even in the learner's role).
    rig.fakes.speech.spoken.clear();
    rig.playback().playRow(1);
    QStringList drilled;
    for (int ticks = 0; ticks < 100 && rig.playback().singleRowPlaying(); ++ticks) {
        if (rig.fakes.speech.isSpeaking()) {
            drilled << rig.fakes.speech.spoken.last().text;
            rig.fakes.speech.finishSpeech();
        } else if (rig.timerInterval() != 100) {
            drilled << QStringLiteral("gap %1").arg(rig.timerInterval());
        }
        rig.tick();
    }
    QStringList expectedDrill;
    for (int time = 1; time <= repeats; ++time) {
        expectedDrill << "c";
        if (time < repeats)
            expectedDrill << (shadowing ? "gap 150" : "gap 500");
    }
    QCOMPARE(drilled, expectedDrill);
    QCOMPARE(rig.form->highlightRow(), -1);
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
    control<QComboBox>(*rig.form, "cmbEnglishRate")->setCurrentIndex(englishIndex);
    control<QCheckBox>(*rig.form, "chkSlowestEnglish")->setChecked(slowestEnglish);
    control<QComboBox>(*rig.form, "cmbJapaneseRate")->setCurrentIndex(japaneseIndex);
    rig.playback().playPause();
    rig.runToEnd();
    QCOMPARE(rig.fakes.speech.spoken.size(), 2);
    QCOMPARE(rig.fakes.speech.spoken[0].rate, englishRate);
    QCOMPARE(rig.fakes.speech.spoken[1].rate, japaneseRate);
}

void TestPlayback::progressShowsLineAndPass() {
    Rig rig({row("A", "one"), row("", ""), row("B", "two"), row("Q", "三")});
    QLabel& label = *control<QLabel>(*rig.form, "lblProgress");
    control<QComboBox>(*rig.form, "cmbRepeat")->setCurrentIndex(1);
    control<QComboBox>(*rig.form, "cmbLineRepeat")->setCurrentIndex(1);
    QVERIFY(label.text().isEmpty());
    rig.playback().playPause();
    QCOMPARE(label.text(), QStringLiteral("1/3行 1/2回 (1/2)"));
    rig.endRow();
    rig.endRow(); // the second time of "one"
    rig.tick();
    QCOMPARE(label.text(), QStringLiteral("2/3行 1/2回 (1/2)"));
    rig.playback().playPause();
    QCOMPARE(label.text(), QStringLiteral("2/3行 1/2回 (1/2) 一時停止中"));
    rig.playback().stop();
    QVERIFY(label.text().isEmpty());
}

void TestPlayback::typingDuringPlaybackKeepsTheText() {
    // Someone types slowly into row 4 while the run moves on: the rows spoken keep their text
    // and the letters all land in the cell being typed into.
    Rig rig({row("A", "one"), row("B", "two"), row("C", "three"), row("A", "")});
    rig.form->show();
    QApplication::setActiveWindow(rig.form.get());
    LessonGrid& grid = *control<LessonGrid>(*rig.form, "StringGrid1");
    grid.setFocus();
    rig.playback().playPause();
    grid.setCurrentIndex(rig.form->lessonTable().index(3, ColText)); // a click on row 4
    for (const char letter : {'p', 'q', 'r', 's'}) {
        QTest::keyClick(QApplication::focusWidget(), letter);
        rig.endRow();
        rig.tick();
        QCOMPARE(grid.currentRow(), 3);
    }
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QCoreApplication::processEvents(); // the editor closes through a queued call
    QCOMPARE(rig.form->lessonTable().cell(ColText, 0), QStringLiteral("one"));
    QCOMPARE(rig.form->lessonTable().cell(ColText, 1), QStringLiteral("two"));
    QCOMPARE(rig.form->lessonTable().cell(ColText, 2), QStringLiteral("three"));
    QCOMPARE(rig.form->lessonTable().cell(ColText, 3), QStringLiteral("pqrs"));
    // The spoken row is shown by the highlight alone.
    QCOMPARE(rig.spoken(), (QStringList{"one", "two", "three"}));
}

void TestPlayback::playFromHereUsesTheRightClickedRow() {
    Rig rig({row("A", "one"), row("B", "two"), row("C", "three"), row("Q", "四")});
    rig.form->show();
    LessonGrid& grid = *control<LessonGrid>(*rig.form, "StringGrid1");
    grid.cellClicked(ColText, 0); // a left click on row 1 first
    const QPoint onRow3 = grid.visualRect(rig.form->lessonTable().index(2, ColSpeaker)).center();
    emit grid.customContextMenuRequested(onRow3);
    control<QMenu>(*rig.form, "pmGrid")->hide();
    QCOMPARE(rig.form->popupRow(), 2);
    control<QAction>(*rig.form, "mnuPlayFromHere")->trigger();
    QCOMPARE(rig.spoken(), QStringList{"three"});

    // The Speaker column's header carries the menu too; it leaves the row as it was.
    emit grid.horizontalHeader()->customContextMenuRequested(
        QPoint(grid.columnViewportPosition(ColSpeaker) + 5, 5));
    control<QMenu>(*rig.form, "pmGrid")->hide();
    QCOMPARE(rig.form->popupRow(), 2);
}

QTEST_MAIN(TestPlayback)
#include "tst_playback.moc"
