#include "app/GridCellDelegate.h"
#include "app/LessonGrid.h"
#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"

#include <QAbstractItemModelTester>
#include <QLineEdit>
#include <QScrollBar>
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
    void editingKeepsLongTexts_data();
    void editingKeepsLongTexts();
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

QTEST_MAIN(TestLessonTable)
#include "tst_lessontable.moc"
