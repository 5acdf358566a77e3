#include "app/LessonGrid.h"
#include "app/MainWindow.h"
#include "lesson/ClipboardPaste.h"
#include "lesson/LessonTable.h"
#include "support/Controls.h"
#include "support/FakeServices.h"
#include "support/TableText.h"

#include <QAbstractItemModelTester>
#include <QPushButton>
#include <QTest>

using namespace lessora;
using namespace lessora::test;

namespace {

// A table with a grid and the clipboard, message and model checks a paste needs.
struct PasteFixture {
    LessonTable table;
    QAbstractItemModelTester tester{&table, QAbstractItemModelTester::FailureReportingMode::QtTest};
    LessonGrid grid{table};
    FakeClipboard clipboard;
    FakeMessageBoxes messages;

    PasteFixture() {
        table.setRows({{"1", "A", "English", "old one", ""},
                       {"2", "B", "English", "old two", ""},
                       {"3", "Q", "Japanese", "old three", ""},
                       {"4", "R", "Japanese", "old four", "2"}});
    }
    void paste(const QString& text, QChar decimalSeparator = u'.') {
        clipboard.content = text;
        pasteFromClipboard(grid, clipboard, messages, decimalSeparator);
    }
};

} // namespace

class TestPaste : public QObject {
    Q_OBJECT
private slots:
    void linesBecomeRows_data();
    void linesBecomeRows();
    void intervalField_data();
    void intervalField();
    void noTextOnTheClipboard();
    void pasteWithoutLinesKeepsTheLesson_data();
    void pasteWithoutLinesKeepsTheLesson();
    void currentCellStaysWithinTheTable_data();
    void currentCellStaysWithinTheTable();
    void buttonPastesWithTheUsersSeparator();
};

void TestPaste::linesBecomeRows_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("rows");
    const QStringList three = {"1|A|English|Hello|1", "2|B|English|Hi|",
                               QStringLiteral("3|Q|Japanese|こんにちは|2")};
    QTest::newRow("CR LF") << QStringLiteral("A\tHello\t1\r\nb\tHi\r\nQ\tこんにちは\t2") << three;
    QTest::newRow("CR") << QStringLiteral("A\tHello\t1\rb\tHi\rQ\tこんにちは\t2") << three;
    QTest::newRow("LF") << QStringLiteral("A\tHello\t1\nb\tHi\nQ\tこんにちは\t2") << three;
    QTest::newRow("mixed, final break")
        << QStringLiteral("A\tHello\t1\rb\tHi\nQ\tこんにちは\t2\r\n") << three;
    QTest::newRow("CR CR is two breaks")
        << QStringLiteral("A\tHello\r\rB\tBye")
        << QStringList{"1|A|English|Hello|", "2||||", "3|B|English|Bye|"};
    QTest::newRow("spreadsheet copy, empty last column")
        << QStringLiteral("A\tHello\t1\r\nB\tBye\t\r\n")
        << QStringList{"1|A|English|Hello|1", "2|B|English|Bye|"};
    QTest::newRow("trailing blank lines and tabs")
        << QStringLiteral("A\tHello\r\n\r\n \t \r\n\t\t\n\n") << QStringList{"1|A|English|Hello|"};
    QTest::newRow("blank middle line")
        << QStringLiteral("A\tHello\n \nB\tBye")
        << QStringList{"1|A|English|Hello|", "2||||", "3|B|English|Bye|"};
    QTest::newRow("speaker only") << QStringLiteral("A") << QStringList{"1|A|English||"};
    QTest::newRow("lower-case code with blanks")
        << QStringLiteral(" r \tはい") << QStringList{QStringLiteral("1|R|Japanese|はい|")};
    QTest::newRow("another word as speaker")
        << QStringLiteral("bob\tHi") << QStringList{"1|BOB||Hi|"};
    QTest::newRow("full-width letter unchanged")
        << QStringLiteral("ａ\tHi") << QStringList{QStringLiteral("1|ａ||Hi|")};
    QTest::newRow("empty speaker field") << QStringLiteral("\tHi\t3") << QStringList{"1|||Hi|3"};
    QTest::newRow("text keeps its blanks")
        << QStringLiteral("A\t  Hello there \u3000\t")
        << QStringList{QStringLiteral("1|A|English|  Hello there \u3000|")};
    QTest::newRow("fourth field ignored")
        << QStringLiteral("A\tHi\t2\textra\tmore") << QStringList{"1|A|English|Hi|2"};
    QTest::newRow("text after a NUL is no text")
        << (QStringLiteral("A\tHi") + QChar(0) + QStringLiteral("\nB\tgone"))
        << QStringList{"1|A|English|Hi|"};
}

void TestPaste::linesBecomeRows() {
    QFETCH(QString, text);
    QFETCH(QStringList, rows);
    PasteFixture fixture;
    fixture.paste(text);
    QCOMPARE(rowsAsText(fixture.table), rows);
    QVERIFY(fixture.messages.messages.isEmpty());
}

void TestPaste::intervalField_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("cell");
    QTest::newRow("-1") << "-1" << QChar(u'.') << "0";
    QTest::newRow("12") << "12" << QChar(u'.') << "10";
    QTest::newRow("10.5") << "10.5" << QChar(u'.') << "10";
    QTest::newRow("10") << "10" << QChar(u'.') << "10";
    QTest::newRow("10.0 as written") << "10.0" << QChar(u'.') << "10.0";
    QTest::newRow("2.50 as written") << "2.50" << QChar(u'.') << "2.50";
    QTest::newRow("0.5 trimmed") << " 0.5 " << QChar(u'.') << "0.5";
    QTest::newRow("1e2") << "1e2" << QChar(u'.') << "10";
    QTest::newRow("-INF") << "-INF" << QChar(u'.') << "0";
    QTest::newRow("NaN as written") << " nan" << QChar(u'.') << "nan";
    QTest::newRow("word trimmed") << " soon " << QChar(u'.') << "soon";
    QTest::newRow("empty") << "" << QChar(u'.') << "";
    QTest::newRow("blanks") << "   " << QChar(u'.') << "";
    QTest::newRow("comma 2,5") << "2,5" << QChar(u',') << "2,5";
    QTest::newRow("comma 12,5") << "12,5" << QChar(u',') << "10";
    QTest::newRow("comma -0,5") << "-0,5" << QChar(u',') << "0";
    QTest::newRow("comma, point is no number") << "12.5" << QChar(u',') << "12.5";
}

void TestPaste::intervalField() {
    QFETCH(QString, field);
    QFETCH(QChar, separator);
    QFETCH(QString, cell);
    PasteFixture fixture;
    fixture.paste(QStringLiteral("A\tHi\t") + field + QStringLiteral("\r\n"), separator);
    QCOMPARE(fixture.table.rows(), 1);
    QCOMPARE(fixture.table.cell(ColInterval, 0), cell);
}

void TestPaste::noTextOnTheClipboard() {
    PasteFixture fixture;
    fixture.grid.makeRowCurrent(2);
    const QStringList before = rowsAsText(fixture.table);
    fixture.clipboard.offersText = false;
    pasteFromClipboard(fixture.grid, fixture.clipboard, fixture.messages, u'.');
    QCOMPARE(fixture.messages.messages,
             QStringList{QStringLiteral("クリップボードに文字列がありません。")});
    QCOMPARE(rowsAsText(fixture.table), before);
    QCOMPARE(fixture.grid.currentRow(), 2);
}

void TestPaste::pasteWithoutLinesKeepsTheLesson_data() {
    QTest::addColumn<QString>("text");
    // A clipboard owner that announces text and does not deliver it in time gives empty text.
    QTest::newRow("empty text, as from a slow clipboard owner") << QString();
    QTest::newRow("only breaks and blanks") << QStringLiteral("\r\n \n\t\r  ");
    QTest::newRow("NUL first") << QString(QChar(0)) + QStringLiteral("A\tHi");
}

void TestPaste::pasteWithoutLinesKeepsTheLesson() {
    QFETCH(QString, text);
    PasteFixture fixture;
    fixture.grid.makeRowCurrent(2);
    fixture.grid.setCurrentColumn(ColText);
    const QStringList before = rowsAsText(fixture.table);
    fixture.paste(text);
    QCOMPARE(fixture.messages.messages,
             QStringList{QStringLiteral("クリップボードに文字列がありません。")});
    QCOMPARE(rowsAsText(fixture.table), before);
    QCOMPARE(fixture.grid.currentRow(), 2);
    QCOMPARE(fixture.grid.currentColumn(), int(ColText));
}

void TestPaste::currentCellStaysWithinTheTable_data() {
    QTest::addColumn<int>("currentRow");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expectedRow");
    QTest::newRow("row 3 of 4, two lines") << 3 << "A\tx\nB\ty" << 1;
    QTest::newRow("row 1 of 4, three lines") << 1 << "A\tx\nB\ty\nC\tz" << 1;
    QTest::newRow("no current row") << -1 << "A\tx" << -1;
}

void TestPaste::currentCellStaysWithinTheTable() {
    QFETCH(int, currentRow);
    QFETCH(QString, text);
    QFETCH(int, expectedRow);
    PasteFixture fixture;
    fixture.grid.makeRowCurrent(currentRow);
    fixture.grid.setCurrentColumn(ColText);
    fixture.paste(text);
    QCOMPARE(fixture.grid.currentRow(), expectedRow);
    QCOMPARE(fixture.grid.currentColumn(), expectedRow < 0 ? -1 : int(ColText));
}

void TestPaste::buttonPastesWithTheUsersSeparator() {
    FakeServices fakes;
    fakes.decimalSeparator = u',';
    fakes.clipboard.content = QStringLiteral("q\tはい\t12,5\r\nA\tYes\t1,5\r\n");
    MainWindow form(fakes.services());
    QAbstractItemModelTester tester(&form.lessonTable(),
                                    QAbstractItemModelTester::FailureReportingMode::QtTest);
    form.setHighlightRow(3);
    control<QPushButton>(form, "btnPaste")->click();
    QCOMPARE(rowsAsText(form.lessonTable()),
             (QStringList{QStringLiteral("1|Q|Japanese|はい|10"), "2|A|English|Yes|1,5"}));
    // The new rows replace the old ones in place of the grid's columns and playback state.
    QVERIFY(control<LessonGrid>(form, "StringGrid1")->isColumnHidden(ColLanguage));
    QCOMPARE(control<LessonGrid>(form, "StringGrid1")->columnWidth(ColText), 400);
    QCOMPARE(form.highlightRow(), 3);
    QVERIFY(fakes.messages.messages.isEmpty());
}

QTEST_MAIN(TestPaste)
#include "tst_paste.moc"
