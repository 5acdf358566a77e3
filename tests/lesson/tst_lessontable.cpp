#include "app/GridCellDelegate.h"
#include "app/LessonGrid.h"
#include "files/LessonFile.h"
#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"

#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

using namespace lessora;

class TestLessonTable : public QObject {
    Q_OBJECT
private slots:
    void cellsAndRowCount();
    void shrinkingMovesTheCurrentRow_data();
    void shrinkingMovesTheCurrentRow();
    void selectingTheCurrentRowDoesNotScroll();
    void renumbering();
    void numberCellsReadBackAsWritten_data();
    void numberCellsReadBackAsWritten();
    void replacingRowsKeepsTheCurrentCell_data();
    void replacingRowsKeepsTheCurrentCell();
    void editingKeepsLongTexts_data();
    void editingKeepsLongTexts();
    void hiddenCellsAreNotEdited();
};

void TestLessonTable::cellsAndRowCount() {
    LessonTable table;
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);
    table.setRowCount(3);
    table.setCell(ColText, 1, "hello");
    QCOMPARE(table.cell(ColText, 1), "hello");
    QCOMPARE(table.cell(5, 1), QString());
    QCOMPARE(table.cell(ColText, 3), QString());
    QCOMPARE(table.cell(ColText, -1), QString());
    table.setRowCount(5);
    QCOMPARE(table.cell(ColText, 1), "hello");
    QCOMPARE(table.row(4), LessonRow{});
    table.setRowCount(1);
    QCOMPARE(table.rows(), 1);
    table.setRowCount(-2);
    QCOMPARE(table.rows(), 0);
    QVERIFY(table.setData(table.index(0, 0), "x") == false);
}

void TestLessonTable::shrinkingMovesTheCurrentRow_data() {
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("newCount");
    QTest::addColumn<int>("expected");
    QTest::newRow("6 to 3, row 5 current") << 5 << 3 << 2;
    QTest::newRow("6 to 3, row 1 current") << 1 << 3 << 1;
    QTest::newRow("6 to 0") << 5 << 0 << -1;
    QTest::newRow("same count") << 4 << 6 << 4;
}

void TestLessonTable::shrinkingMovesTheCurrentRow() {
    QFETCH(int, current);
    QFETCH(int, newCount);
    QFETCH(int, expected);
    LessonTable table;
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);
    LessonGrid grid(table);
    table.setRowCount(6);
    QCOMPARE(grid.currentRow(), -1);
    grid.makeRowCurrent(current);
    grid.setCurrentColumn(ColText);
    table.setRowCount(newCount);
    QCOMPARE(grid.currentRow(), expected);
}

void TestLessonTable::selectingTheCurrentRowDoesNotScroll() {
    LessonTable table;
    LessonGrid grid(table);
    grid.resize(300, 150);
    grid.show();
    table.setRowCount(200);
    grid.makeRowCurrent(150);
    QCOMPARE(grid.currentRow(), 150);
    const int scrolled = grid.verticalScrollBar()->value();
    QVERIFY(scrolled > 0);
    grid.verticalScrollBar()->setValue(0);
    grid.makeRowCurrent(150); // already current: nothing happens
    QCOMPARE(grid.verticalScrollBar()->value(), 0);
    grid.makeRowCurrent(149);
    QVERIFY(grid.verticalScrollBar()->value() > 0);
}

void TestLessonTable::renumbering() {
    LessonTable table;
    table.setRows({{"7", "A", "", "", ""}, {"", "", "", "", ""}, {"x", "", "", "", ""}});
    renumber(table);
    QCOMPARE(table.cell(ColNo, 0), "1");
    QCOMPARE(table.cell(ColNo, 1), "2");
    QCOMPARE(table.cell(ColNo, 2), "3");
    QCOMPARE(table.cell(ColSpeaker, 0), "A");
}

// The table keeps a No cell that holds a number's decimal text as the number; every text must
// still read back, and save, exactly as it was written.
void TestLessonTable::numberCellsReadBackAsWritten_data() {
    QTest::addColumn<QString>("text");
    for (const char* text : {"1", "7", "1000000", "2147483647", "2147483648", "0", "01", "+1", "-1",
                             " 1", "1 ", "1.0", "", "x", "99999999999"})
        QTest::newRow(*text ? text : "empty") << QString::fromLatin1(text);
    QTest::newRow("full-width digit") << QStringLiteral("\uFF11");
    QTest::newRow("Arabic-Indic digit") << QStringLiteral("\u0661");
}

void TestLessonTable::numberCellsReadBackAsWritten() {
    QFETCH(QString, text);
    LessonTable table;
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);
    table.setRows({{text, "A", "", "t", ""}, {"2", "B", "", "u", ""}});
    table.insertBlock(0, {{text, "C", "", "v", ""}});
    table.setCell(ColNo, 2, text);
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(table.cell(ColNo, row), text);
        QCOMPARE(table.row(row)[ColNo], text);
        QCOMPARE(table.data(table.index(row, ColNo)).toString(), text);
    }
    const LessonSettings settings;
    QCOMPARE(writeLessonFile(settings, table), writeLessonFile(settings, table.allRows()));
    // The rows are repainted whole, No cells included, for their colour follows the Speaker.
    QSignalSpy changed(&table, &LessonTable::dataChanged);
    table.swapCells(0, 1, ColSpeaker);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0][0].toModelIndex(), table.index(0, ColNo));
    QCOMPARE(changed[0][1].toModelIndex(), table.index(1, kLessonColumnCount - 1));
    table.renumber();
    QCOMPARE(table.allRows(),
             (QList<LessonRow>{
                 {"1", "A", "", "t", ""}, {"2", "C", "", "v", ""}, {"3", "B", "", "u", ""}}));
}

void TestLessonTable::replacingRowsKeepsTheCurrentCell_data() {
    QTest::addColumn<int>("rowsBefore");
    QTest::addColumn<int>("rowsAfter");
    QTest::addColumn<int>("currentAfter");
    QTest::newRow("more rows") << 4 << 12 << 2;
    QTest::newRow("as many rows") << 6 << 6 << 2;
    QTest::newRow("fewer rows, current kept") << 12 << 5 << 2;
    QTest::newRow("fewer rows than the current") << 12 << 2 << 1;
}

void TestLessonTable::replacingRowsKeepsTheCurrentCell() {
    QFETCH(int, rowsBefore);
    QFETCH(int, rowsAfter);
    QFETCH(int, currentAfter);
    const auto rows = [](int count, const QString& text) {
        QList<LessonRow> list;
        for (int r = 0; r < count; ++r)
            list.append({QString::number(r + 1), "A", "English", text + QString::number(r), ""});
        return list;
    };
    LessonTable table;
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::QtTest);
    LessonGrid grid(table);
    table.setRows(rows(rowsBefore, "old"));
    grid.makeRowCurrent(2);
    grid.setCurrentColumn(ColText);
    table.replaceRows(rows(rowsAfter, "new"));
    QCOMPARE(table.allRows(), rows(rowsAfter, "new"));
    QCOMPARE(grid.currentRow(), currentAfter);
    QCOMPARE(grid.currentColumn(), int(ColText));
}

void TestLessonTable::editingKeepsLongTexts_data() {
    QTest::addColumn<int>("startColumn");
    QTest::newRow("F2 on the long cell, then Tab") << int(ColText);
    QTest::newRow("F2 on the cell before it, Tab into it, Tab out") << int(ColLanguage);
}

// Cells hold text of any length; a line editor cuts at 32,767 characters unless told otherwise.
void TestLessonTable::editingKeepsLongTexts() {
    QFETCH(int, startColumn);
    LessonTable table;
    LessonGrid grid(table);
    GridCellDelegate delegate([] { return -1; });
    grid.setItemDelegate(&delegate);
    const QString longText = QString(40'000, u'x') + u'!';
    table.setRows({{"1", "A", "English", longText, ""}});
    grid.makeRowCurrent(0);
    grid.setCurrentColumn(startColumn);
    QTest::keyClick(&grid, Qt::Key_F2);
    for (int column = startColumn; column <= ColText; ++column) {
        auto* editor = grid.viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Tab); // commits, moves on and edits the next cell
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QCOMPARE(table.cell(ColText, 0).size(), longText.size());
    QCOMPARE(table.cell(ColText, 0), longText);
}

// With the text hidden, keys that would open an editor on the current Text cell change nothing.
void TestLessonTable::hiddenCellsAreNotEdited() {
    LessonTable table;
    LessonGrid grid(table);
    table.setRows({{"1", "A", "English", "secret", ""}});
    grid.makeRowCurrent(0);
    grid.setCurrentColumn(ColText);
    grid.setColumnHidden(ColText, true);
    QTest::keyClick(&grid, Qt::Key_F2);
    QTest::keyClicks(&grid, "typed");
    QVERIFY(!grid.viewport()->findChild<QLineEdit*>());
    QCOMPARE(table.cell(ColText, 0), QStringLiteral("secret"));
    grid.setColumnHidden(ColText, false);
    QTest::keyClick(&grid, Qt::Key_F2);
    QVERIFY(grid.viewport()->findChild<QLineEdit*>());
}

QTEST_MAIN(TestLessonTable)
#include "tst_lessontable.moc"
