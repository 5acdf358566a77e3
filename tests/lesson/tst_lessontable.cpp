#include "app/LessonGrid.h"
#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"

#include <QAbstractItemModelTester>
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

QTEST_MAIN(TestLessonTable)
#include "tst_lessontable.moc"
