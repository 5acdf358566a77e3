#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"

#include <QTest>

using namespace lessora;

class TestRowRules : public QObject {
    Q_OBJECT
private slots:
    void trimming_data();
    void trimming();
    void speakerCodes_data();
    void speakerCodes();
    void rowPause_data();
    void rowPause();
    void editingDone_data();
    void editingDone();
    void speakableRows();
};

void TestRowRules::trimming_data() {
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("expected");
    QTest::newRow("controls and blanks") << QString("\t \r\n ab c\x01 ") << "ab c";
    QTest::newRow("ideographic space stays")
        << QStringLiteral("\u3000a\u3000") << QStringLiteral("\u3000a\u3000");
    QTest::newRow("no-break space stays") << QStringLiteral("\u00A0a") << QStringLiteral("\u00A0a");
    QTest::newRow("only blanks") << "  \t "
                                 << "";
}

void TestRowRules::trimming() {
    QFETCH(QString, input);
    QFETCH(QString, expected);
    QCOMPARE(trimText(input), expected);
}

void TestRowRules::speakerCodes_data() {
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("language");
    QTest::newRow("lower q with blanks") << " q "
                                         << "Q"
                                         << "Japanese";
    QTest::newRow("lower b") << "b"
                             << "B"
                             << "English";
    QTest::newRow("C") << "C"
                       << "C"
                       << "English";
    QTest::newRow("S") << "S"
                       << "S"
                       << "Japanese";
    QTest::newRow("other word") << "ab"
                                << "AB"
                                << "";
    QTest::newRow("full-width A stays")
        << QStringLiteral("\uFF21") << QStringLiteral("\uFF21") << "";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
    QTest::newRow("non-ASCII letter not upper-cased")
        << QStringLiteral("\u00E9") << QStringLiteral("\u00E9") << "";
}

void TestRowRules::speakerCodes() {
    QFETCH(QString, cell);
    QFETCH(QString, code);
    QFETCH(QString, language);
    QCOMPARE(normalisedSpeakerCode(cell), code);
    QCOMPARE(languageOfSpeakerCode(cell), language);
}

void TestRowRules::rowPause_data() {
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<int>("pauseMs");
    const QChar point = u'.';
    const QChar comma = u',';
    // The default pause in these rows is 2000 ms.
    QTest::newRow("empty") << "" << point << 2000;
    QTest::newRow("letters") << "abc" << point << 2000;
    QTest::newRow("zero") << "0" << point << 0;
    QTest::newRow("blanks kept, 2.5") << " 2.5 " << point << 2500;
    QTest::newRow("1.5") << "1.5" << point << 1500;
    QTest::newRow("0.0625 half to even") << "0.0625" << point << 62;
    QTest::newRow("0.0005 half to even") << "0.0005" << point << 0;
    QTest::newRow("0.0015 half to even") << "0.0015" << point << 2;
    QTest::newRow("25 limited") << "25" << point << 10000;
    QTest::newRow("-3 limited") << "-3" << point << 0;
    QTest::newRow("exponent") << "1e0" << point << 1000;
    QTest::newRow("leading separator") << ".5" << point << 500;
    QTest::newRow("trailing separator") << "5." << point << 5000;
    QTest::newRow("two separators") << "1.2.3" << point << 2000;
    QTest::newRow("thousands separator") << "1,000" << point << 2000;
    QTest::newRow("comma locale") << "2,5" << comma << 2500;
    QTest::newRow("point in comma locale") << "2.5" << comma << 2000;
    QTest::newRow("INF") << "inf" << point << 10000;
    QTest::newRow("-INF") << "-INF" << point << 0;
    QTest::newRow("NAN gives the default") << "NaN" << point << 2000;
    QTest::newRow("out of double range") << "1e400" << point << 2000;
    QTest::newRow("below double range") << "1e-400" << point << 2000;
    QTest::newRow("smallest double") << "4.9e-324" << point << 0;
    QTest::newRow("INF read with full case mapping") << QStringLiteral("\u0131nf") << point << 10000;
    QTest::newRow("hex is no number") << "0x10" << point << 2000;
    QTest::newRow("blank sign") << "+ 1" << point << 2000;
}

void TestRowRules::rowPause() {
    QFETCH(QString, cell);
    QFETCH(QChar, separator);
    QFETCH(int, pauseMs);
    QCOMPARE(rowPauseMs(cell, 2000, separator), pauseMs);
}

void TestRowRules::editingDone_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QChar>("separator");
    QTest::addColumn<QString>("cellAfter");
    QTest::addColumn<QString>("languageAfter");
    const QChar point = u'.';
    // Row 0 starts as speaker "A", language "English".
    QTest::newRow("lower q with blanks") << int(ColSpeaker) << " q " << point << "Q"
                                         << "Japanese";
    QTest::newRow("lower b") << int(ColSpeaker) << "b" << point << "B"
                             << "English";
    QTest::newRow("x kept, language kept") << int(ColSpeaker) << "x" << point << "x"
                                           << "English";
    QTest::newRow("cleared speaker") << int(ColSpeaker) << "" << point << ""
                                     << "English";
    QTest::newRow("full-width A") << int(ColSpeaker) << QStringLiteral("\uFF21") << point
                                  << QStringLiteral("\uFF21") << "English";
    QTest::newRow("interval -1") << int(ColInterval) << "-1" << point << "0"
                                 << "English";
    QTest::newRow("interval 12") << int(ColInterval) << "12" << point << "10"
                                 << "English";
    QTest::newRow("interval 1e2") << int(ColInterval) << "1e2" << point << "10"
                                  << "English";
    QTest::newRow("interval kept as typed") << int(ColInterval) << " 2.5 " << point << " 2.5 "
                                            << "English";
    QTest::newRow("interval letters") << int(ColInterval) << "ab" << point << "ab"
                                      << "English";
    QTest::newRow("interval NAN") << int(ColInterval) << "nan" << point << "nan"
                                  << "English";
    QTest::newRow("interval comma locale") << int(ColInterval) << "12,5" << QChar(u',') << "10"
                                           << "English";
    QTest::newRow("text untouched") << int(ColText) << " q " << point << " q "
                                    << "English";
}

void TestRowRules::editingDone() {
    QFETCH(int, column);
    QFETCH(QString, typed);
    QFETCH(QChar, separator);
    QFETCH(QString, cellAfter);
    QFETCH(QString, languageAfter);
    LessonTable table;
    table.setRows({{"1", "A", "English", "Hello", ""}, {"2", "B", "English", "Hi", ""}});
    table.setCell(column, 0, typed);
    applyEditingDone(table, column, 0, separator);
    QCOMPARE(table.cell(column, 0), cellAfter);
    QCOMPARE(table.cell(ColLanguage, 0), languageAfter);
    QCOMPARE(table.row(1), (LessonRow{"2", "B", "English", "Hi", ""}));
}

void TestRowRules::speakableRows() {
    LessonTable table;
    table.setRows({{"1", "A", "", "Hello", ""},
                   {"2", "S", "", "x", ""},
                   {"3", "A", "English", "   ", ""},
                   {"4", "X", "English", "Hello", ""},
                   {"5", " r ", "", "y", ""}});
    QVERIFY(isSpeakableRow(table, 0));
    QVERIFY(isSpeakableRow(table, 1)); // empty Language cell plays no part
    QVERIFY(!isSpeakableRow(table, 2));
    QVERIFY(!isSpeakableRow(table, 3));
    QVERIFY(isSpeakableRow(table, 4));
    QVERIFY(!isSpeakableRow(table, -1));
    QVERIFY(!isSpeakableRow(table, 5));
}

QTEST_GUILESS_MAIN(TestRowRules)
#include "tst_rowrules.moc"
