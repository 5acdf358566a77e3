#include "app/LessonGrid.h"
#include "app/MainWindow.h"
#include "lesson/LessonTable.h"
#include "support/Controls.h"
#include "support/FakeServices.h"
#include "support/TableText.h"

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <memory>

using namespace lessora;
using namespace lessora::test;

namespace {

const QStringList kSample = {"1|A|English|Hello. How are you?|",
                             "2|B|English|I'm fine, thank you.|",
                             QStringLiteral("3|Q|Japanese|今日はいい天気ですね。|"),
                             QStringLiteral("4|R|Japanese|そうですね。|")};

// The main window with its four sample rows, the model checked on every change. The buttons
// are clicked, so the wiring is part of every test.
struct Window {
    FakeServices fakes;
    MainWindow form{fakes.services()};
    QAbstractItemModelTester tester{&form.lessonTable(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest};
    LessonTable& table = form.lessonTable();
    LessonGrid& grid = *control<LessonGrid>(form, "StringGrid1");

    void makeCurrent(int row, int column) {
        grid.makeRowCurrent(row);
        grid.setCurrentColumn(column);
    }
    // Shown and active, the focus on `focused`, row 0 current in the Speaker column and the
    // grid scrolled right just so far that the Speaker column is the first one shown: showing
    // the current cell alone would then not bring back the left edge.
    bool showScrolledRight(QWidget* focused) {
        form.show();
        form.activateWindow();
        if (!QTest::qWaitForWindowActive(&form))
            return false;
        grid.setColumnWidth(ColText, 2000);
        QApplication::processEvents(); // lays out the scroll bars
        makeCurrent(0, ColSpeaker);
        grid.horizontalScrollBar()->setValue(grid.horizontalScrollBar()->minimum() + 1);
        focused->setFocus();
        const QRect speakerCell = grid.visualRect(table.index(0, ColSpeaker));
        return grid.horizontalScrollBar()->value() > grid.horizontalScrollBar()->minimum() &&
               grid.viewport()->rect().contains(speakerCell) &&
               QApplication::focusWidget() == focused;
    }
};

QStringList numbered(int first, int last) {
    QStringList rows;
    for (int n = first; n <= last; ++n)
        rows << QStringLiteral("%1||||").arg(n);
    return rows;
}

enum Command { Insert, Delete, Up, Down };

QPushButton* buttonFor(MainWindow& form, Command command) {
    switch (command) {
    case Insert:
        return control<QPushButton>(form, "btnAddRow");
    case Delete:
        return control<QPushButton>(form, "btnDeleteRow");
    case Up:
        return control<QPushButton>(form, "btnMoveUp");
    case Down:
        return control<QPushButton>(form, "btnMoveDown");
    }
    return nullptr;
}

} // namespace

class TestRowCommands : public QObject {
    Q_OBJECT
private slots:
    void commandOnTheCurrentRow_data();
    void commandOnTheCurrentRow();
    void commandsOnTinyTables_data();
    void commandsOnTinyTables();
    void insertKeepsColumnAndFocus();
    void appendAddsTenNumberedRows();
    void appendKeepsLoadedNumbers();
    void clearAnsweredNo();
    void clearAnsweredYes();
    void commandsLeavePlaybackAlone();
};

void TestRowCommands::commandOnTheCurrentRow_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("current");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("expectedCurrent");
    const QString a = "|A|English|Hello. How are you?|";
    const QString b = "|B|English|I'm fine, thank you.|";
    const QString q = QStringLiteral("|Q|Japanese|今日はいい天気ですね。|");
    const QString r = QStringLiteral("|R|Japanese|そうですね。|");

    QTest::newRow("insert, no current row")
        << int(Insert) << -1 << kSample + QStringList{"5||||"} << 4;
    QTest::newRow("insert at row 0")
        << int(Insert) << 0 << QStringList{"1||||", "2" + a, "3" + b, "4" + q, "5" + r} << 0;
    QTest::newRow("insert at row 2")
        << int(Insert) << 2 << QStringList{"1" + a, "2" + b, "3||||", "4" + q, "5" + r} << 2;
    QTest::newRow("delete a middle row")
        << int(Delete) << 1 << QStringList{"1" + a, "2" + q, "3" + r} << 1;
    QTest::newRow("delete the last row")
        << int(Delete) << 3 << QStringList{"1" + a, "2" + b, "3" + q} << 2;
    QTest::newRow("delete, no current row") << int(Delete) << -1 << kSample << -1;
    QTest::newRow("up on row 2") << int(Up) << 2 << QStringList{"1" + a, "2" + q, "3" + b, "4" + r}
                                 << 1;
    QTest::newRow("up on row 0") << int(Up) << 0 << kSample << 0;
    QTest::newRow("up, no current row") << int(Up) << -1 << kSample << -1;
    QTest::newRow("down on row 0")
        << int(Down) << 0 << QStringList{"1" + b, "2" + a, "3" + q, "4" + r} << 1;
    QTest::newRow("down on the last row") << int(Down) << 3 << kSample << 3;
    QTest::newRow("down, no current row") << int(Down) << -1 << kSample << -1;
}

void TestRowCommands::commandOnTheCurrentRow() {
    QFETCH(int, command);
    QFETCH(int, current);
    QFETCH(QStringList, rows);
    QFETCH(int, expectedCurrent);
    Window window;
    window.makeCurrent(current, ColText);
    buttonFor(window.form, Command(command))->click();
    QCOMPARE(rowsAsText(window.table), rows);
    QCOMPARE(window.grid.currentRow(), expectedCurrent);
    if (expectedCurrent >= 0)
        QCOMPARE(window.grid.currentColumn(), current >= 0 ? int(ColText) : 0);
    QVERIFY(window.fakes.messages.messages.isEmpty());
    QCOMPARE(window.fakes.beeper.beeps, 0);
}

void TestRowCommands::commandsOnTinyTables_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<int>("current");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("expectedCurrent");
    const QStringList one = {"1|A|English|Hi|2"};
    QTest::newRow("delete the only row") << int(Delete) << one << 0 << QStringList{} << -1;
    QTest::newRow("delete in an empty table")
        << int(Delete) << QStringList{} << -1 << QStringList{} << -1;
    QTest::newRow("up on the only row") << int(Up) << one << 0 << one << 0;
    QTest::newRow("down on the only row") << int(Down) << one << 0 << one << 0;
    QTest::newRow("insert in an empty table")
        << int(Insert) << QStringList{} << -1 << QStringList{"1||||"} << 0;
    // A loaded lesson may carry other numbers: the commands renumber the whole table.
    QTest::newRow("move renumbers every row")
        << int(Down) << QStringList{"7|A|English|x|", "7|B|English|y|", "x|C|English|z|"} << 0
        << QStringList{"1|B|English|y|", "2|A|English|x|", "3|C|English|z|"} << 1;
    QTest::newRow("delete renumbers every row")
        << int(Delete) << QStringList{"9|A|English|x|", "9|B|English|y|", "9|C|English|z|"} << 2
        << QStringList{"1|A|English|x|", "2|B|English|y|"} << 1;
}

void TestRowCommands::commandsOnTinyTables() {
    QFETCH(int, command);
    QFETCH(QStringList, before);
    QFETCH(int, current);
    QFETCH(QStringList, rows);
    QFETCH(int, expectedCurrent);
    Window window;
    QList<LessonRow> cells;
    for (const QString& text : before) {
        const QStringList parts = text.split(u'|');
        cells.append({parts[0], parts[1], parts[2], parts[3], parts[4]});
    }
    window.table.setRows(cells);
    window.makeCurrent(current, ColSpeaker);
    buttonFor(window.form, Command(command))->click();
    QCOMPARE(rowsAsText(window.table), rows);
    QCOMPARE(window.grid.currentRow(), expectedCurrent);
}

void TestRowCommands::insertKeepsColumnAndFocus() {
    Window window;
    if (!window.showScrolledRight(control<QPushButton>(window.form, "btnAddRow")))
        QSKIP("the offscreen platform gave no active window or no horizontal scroll");
    window.makeCurrent(1, ColInterval);
    control<QPushButton>(window.form, "btnAddRow")->setFocus();
    control<QPushButton>(window.form, "btnAddRow")->click();
    QCOMPARE(window.grid.currentRow(), 1);
    QCOMPARE(window.grid.currentColumn(), int(ColInterval));
    QCOMPARE(QApplication::focusWidget(), control<QPushButton>(window.form, "btnAddRow"));
}

void TestRowCommands::appendAddsTenNumberedRows() {
    Window window;
    const bool shown = window.showScrolledRight(control<QPushButton>(window.form, "btnAppendRow"));
    control<QPushButton>(window.form, "btnAppendRow")->click();
    QCOMPARE(rowsAsText(window.table), kSample + numbered(5, 14));
    QCOMPARE(window.grid.currentRow(), 4);
    QCOMPARE(window.grid.currentColumn(), int(ColSpeaker));
    if (!shown)
        QSKIP("the offscreen platform gave no active window or no horizontal scroll");
    QCOMPARE(window.grid.horizontalScrollBar()->value(),
             window.grid.horizontalScrollBar()->minimum());
    QCOMPARE(QApplication::focusWidget(), &window.grid);
}

void TestRowCommands::appendKeepsLoadedNumbers() {
    Window window;
    window.table.setRows({{"10", "A", "English", "x", ""}, {"", "B", "English", "y", ""}});
    control<QPushButton>(window.form, "btnAppendRow")->click();
    control<QPushButton>(window.form, "btnAppendRow")->click();
    QCOMPARE(rowsAsText(window.table),
             QStringList({"10|A|English|x|", "|B|English|y|"}) + numbered(3, 22));
    QCOMPARE(window.grid.currentRow(), 12);
}

void TestRowCommands::clearAnsweredNo() {
    Window window;
    window.makeCurrent(2, ColText);
    control<QPushButton>(window.form, "btnClearGrid")
        ->click(); // nothing queued: the default answer "いいえ"
    QCOMPARE(
        window.fakes.messages.confirmations,
        QStringList{QStringLiteral("入力されている内容をすべて消去します。\r\nよろしいですか？")});
    QCOMPARE(rowsAsText(window.table), kSample);
    QCOMPARE(window.grid.currentRow(), 2);
    QCOMPARE(window.grid.currentColumn(), int(ColText));
}

void TestRowCommands::clearAnsweredYes() {
    Window window;
    const bool shown = window.showScrolledRight(control<QPushButton>(window.form, "btnClearGrid"));
    control<QComboBox>(window.form, "cmbInterval")->setCurrentIndex(2);
    control<QCheckBox>(window.form, "chkHideText")->setChecked(true);
    window.makeCurrent(3, ColText);
    window.fakes.messages.confirmAnswers = {true};
    control<QPushButton>(window.form, "btnClearGrid")->click();
    QCOMPARE(window.fakes.messages.confirmations.size(), 1);
    QCOMPARE(rowsAsText(window.table), numbered(1, 10));
    QCOMPARE(window.grid.currentRow(), 0);
    QCOMPARE(window.grid.currentColumn(), int(ColSpeaker));
    // The playback settings and the grid's columns are not the table's to clear.
    QCOMPARE(control<QComboBox>(window.form, "cmbInterval")->currentIndex(), 2);
    QVERIFY(control<QCheckBox>(window.form, "chkHideText")->isChecked());
    QVERIFY(window.grid.isColumnHidden(ColText));
    QVERIFY(window.grid.isColumnHidden(ColLanguage));
    if (!shown)
        QSKIP("the offscreen platform gave no active window or no horizontal scroll");
    QCOMPARE(window.grid.horizontalScrollBar()->value(),
             window.grid.horizontalScrollBar()->minimum());
    QCOMPARE(QApplication::focusWidget(), &window.grid);
}

void TestRowCommands::commandsLeavePlaybackAlone() {
    Window window;
    window.form.setHighlightRow(2);
    const bool timerActive = control<QTimer>(window.form, "tmrNext")->isActive();
    window.fakes.messages.confirmAnswers = {true};
    window.makeCurrent(2, ColText);
    for (QPushButton* button : {control<QPushButton>(window.form, "btnAddRow"),
                                control<QPushButton>(window.form, "btnMoveDown"),
                                control<QPushButton>(window.form, "btnMoveUp"),
                                control<QPushButton>(window.form, "btnDeleteRow"),
                                control<QPushButton>(window.form, "btnAppendRow"),
                                control<QPushButton>(window.form, "btnClearGrid")}) {
        button->click();
        QCOMPARE(window.form.highlightRow(), 2);
        QCOMPARE(control<QTimer>(window.form, "tmrNext")->isActive(), timerActive);
    }
}

QTEST_MAIN(TestRowCommands)
#include "tst_rowcommands.moc"
