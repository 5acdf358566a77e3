// The lesson file's bytes: what the writer produces and what the reader makes of any input.
#include "files/LessonFile.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace lessora;

Q_DECLARE_METATYPE(LessonFileStatus)
Q_DECLARE_METATYPE(PracticeSettings)

namespace {

QByteArray jsonString(const QString& text) {
    QByteArray out;
    appendJsonString(out, text);
    return out;
}

// Rows as "No|Speaker|Language|Text|Interval" lines, for compact comparisons.
QStringList joined(const QList<LessonRow>& rows) {
    QStringList lines;
    for (const LessonRow& row : rows)
        lines << QStringList(row.begin(), row.end()).join(u'|');
    return lines;
}

QString nonBmp() {
    return QString::fromUcs4(U"\U0001F600");
}

} // namespace

class TestLessonFile : public QObject {
    Q_OBJECT
private slots:
    void escapes_data();
    void escapes();
    void writesSettingsAndSkipsBlankRows();
    void textRoundTrips();
    void practiceSettingsRoundTrip();
    void reads_data();
    void reads();
    void conversions_data();
    void conversions();
    void practiceMembersNeverFailALoad_data();
    void practiceMembersNeverFailALoad();
    void nestingIsBounded();
    void jsonTestSuite();
};

void TestLessonFile::escapes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("printable ASCII and DEL")
        << QString("Hi, it's 1+1=2~\x7F") << QByteArray("\"Hi, it's 1+1=2~\x7F\"");
    QTest::newRow("quote, solidus, reverse solidus")
        << QString("\"/\\") << QByteArray(R"("\"\/\\")");
    QTest::newRow("short control escapes")
        << QString("\b\t\n\f\r") << QByteArray(R"("\b\t\n\f\r")");
    QTest::newRow("other controls")
        << QString(QChar(0)) + QChar(1) + QChar(0x1F) << QByteArray(R"("\u0000\u0001\u001F")");
    QTest::newRow("U+0080 and e acute")
        << QString(QChar(0x80)) + QChar(0xE9) << QByteArray(R"("\u0080\u00E9")");
    QTest::newRow("Japanese") << QStringLiteral("こ。") << QByteArray(R"("\u3053\u3002")");
    QTest::newRow("outside the BMP: a surrogate pair")
        << nonBmp() << QByteArray(R"("\uD83D\uDE00")");
    QTest::newRow("lone surrogate") << QString(QChar(0xDC00)) << QByteArray(R"("\uDC00")");
}

void TestLessonFile::escapes() {
    QFETCH(QString, text);
    QFETCH(QByteArray, written);
    QCOMPARE(jsonString(text), written);
}

void TestLessonFile::writesSettingsAndSkipsBlankRows() {
    const QList<LessonRow> rows = {
        {"1", "A", "English", "Hi", ""},
        {"2", " ", "\t", " \r\n", ""},               // blank, No aside
        {"", "", "", "", ""},                        // blank
        {"4", "", "", "", "2"},                      // only the Interval: written
        {"x", "", "", QStringLiteral("\u3000"), ""}, // ideographic space is not trimmed
    };
    const QByteArray expected =
        "\xEF\xBB\xBF{\"EnglishRateIndex\":-1,\"IntervalIndex\":6,\"RepeatIndex\":4,"
        "\"HideText\":true,\"Rows\":["
        "{\"No\":\"1\",\"Speaker\":\"A\",\"Language\":\"English\",\"Text\":\"Hi\",\"Interval\":"
        "\"\"},"
        "{\"No\":\"4\",\"Speaker\":\"\",\"Language\":\"\",\"Text\":\"\",\"Interval\":\"2\"},"
        "{\"No\":\"x\",\"Speaker\":\"\",\"Language\":\"\",\"Text\":\"\\u3000\",\"Interval\":\"\"}]"
        "}";
    QCOMPARE(writeLessonFile({-1, 6, 4, true}, rows), expected);
    QCOMPARE(writeLessonFile({0, 0, 0, false}, {{"1", " ", "", "", ""}}),
             QByteArray("\xEF\xBB\xBF{\"EnglishRateIndex\":0,\"IntervalIndex\":0,"
                        "\"RepeatIndex\":0,\"HideText\":false,\"Rows\":[]}"));
}

void TestLessonFile::textRoundTrips() {
    const QString text = QStringLiteral("say \"a\\b/c\"\tこんにちは") + nonBmp() + QChar(0xD800) +
                         QChar(0) + "\r\n\x7F" + QChar(0xFEFF);
    const QList<LessonRow> rows = {{"1", "b ", "English", text, " 2.5 "}, {"7", "", "", "", "x"}};
    const QByteArray bytes = writeLessonFile({1, 2, 3, true}, rows);
    for (char byte : bytes.sliced(3))
        QVERIFY(byte >= 0x20 && byte < 0x80);
    const LessonFileContent content = readLessonFile(bytes);
    QCOMPARE(content.status, LessonFileStatus::Loaded);
    QCOMPARE(joined(content.rowsAsWritten()), joined(rows));
    QCOMPARE(content.settings, (StoredLessonSettings{1, 2, 3, true}));
}

void TestLessonFile::practiceSettingsRoundTrip() {
    const QList<LessonRow> rows = {{"1", "B", "English", "Hi", ""}};
    const QByteArray plain = writeLessonFile({2, 0, 0, false}, rows);

    // Only the members that differ from their defaults are written, before "Rows".
    LessonSettings settings{2, 0, 0, false};
    settings.practice.role = QStringLiteral("B");
    settings.practice.lineRepeatCount = 5;
    settings.practice.japaneseRateIndex = 0;
    QByteArray bytes = writeLessonFile(settings, rows);
    QCOMPARE(bytes, QByteArray(plain).replace(
                        ",\"Rows\"",
                        ",\"JapaneseRateIndex\":0,\"Role\":\"B\",\"LineRepeatCount\":5,\"Rows\""));
    StoredPracticeSettings expected;
    expected.japaneseRateIndex = 0;
    expected.role = QStringLiteral("B");
    expected.lineRepeatCount = 5;
    QCOMPARE(readLessonFile(bytes).settings.practice, expected);
    QCOMPARE(readLessonFile(bytes).settings.englishRateIndex, 2);

    // Every member away from its default comes back.
    settings.practice = {5, true, QStringLiteral("Q"), true, 3, 2, true, true, true, true, true};
    bytes = writeLessonFile(settings, rows);
    const StoredPracticeSettings all{5,    true, QStringLiteral("Q"), true, 3, 2, true, true, true,
                                     true, true};
    QCOMPARE(readLessonFile(bytes).settings.practice, all);

    // The accent switch alone: written last of them, and only when on.
    settings.practice = {};
    settings.practice.showAccent = true;
    bytes = writeLessonFile(settings, rows);
    QCOMPARE(bytes, QByteArray(plain).replace(",\"Rows\"", ",\"ShowAccent\":true,\"Rows\""));
    StoredPracticeSettings accentOnly;
    accentOnly.showAccent = true;
    QCOMPARE(readLessonFile(bytes).settings.practice, accentOnly);
    settings.practice.showAccent = false;
    QCOMPARE(writeLessonFile(settings, rows), plain);

    // The two recording switches: written last, each only when on.
    settings.practice.recordAnswers = true;
    settings.practice.hearOwnAnswer = true;
    bytes = writeLessonFile(settings, rows);
    QCOMPARE(bytes, QByteArray(plain).replace(
                        ",\"Rows\"", ",\"RecordAnswers\":true,\"HearOwnAnswer\":true,\"Rows\""));
    QCOMPARE(practiceSettingsOf(readLessonFile(bytes).settings.practice), settings.practice);
    settings.practice.hearOwnAnswer = false;
    QVERIFY(!writeLessonFile(settings, rows).contains("HearOwnAnswer"));
    settings.practice = {};
    QCOMPARE(writeLessonFile(settings, rows), plain);

    // A file without them reads as before (one that holds a wrong value:
    // practiceMembersNeverFailALoad).
    QCOMPARE(readLessonFile(plain).settings.practice, StoredPracticeSettings{});
}

void TestLessonFile::reads_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<LessonFileStatus>("status");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("rows");

    using S = LessonFileStatus;
    const QByteArray row =
        R"({"No":"1","Speaker":"A","Language":"English","Text":"t","Interval":""})";
    QTest::newRow("numbers keep their text")
        << QByteArray(R"({"Rows":[{"No":1.50,"Speaker":-0,"Language":1e400,"Text":1E-7,)"
                      R"("Interval":123456789012345678901234567890}]})")
        << S::Loaded << QString()
        << QStringList{"1.50|-0|1e400|1E-7|123456789012345678901234567890"};
    QTest::newRow("first of equal names counts, letter case counts, others ignored")
        << QByteArray(R"({"rows":5,"Rows":[{"No":"1","no":"x","No":"2","Speaker":"A","X":[{}],)"
                      R"("Language":"E","Text":"t","Interval":"","Text":"u"}],"Rows":7})")
        << S::Loaded << QString() << QStringList{"1|A|E|t|"};
    QTest::newRow("raw UTF-8 beside escapes")
        << QByteArray(
               "{\"Rows\":[{\"No\":\"\xC3\xBC\",\"Speaker\":\"\xE3\x81\x82\\\"\xF0\x9F\x98\x80\","
               "\"Language\":\"\",\"Text\":\"\",\"Interval\":\"\"}]}")
        << S::Loaded << QString()
        << QStringList{QString::fromUtf8("\xC3\xBC|\xE3\x81\x82\"\xF0\x9F\x98\x80|||")};
    QTest::newRow("escaped member names")
        << QByteArray(R"({"R\u006Fws":[]})") << S::Loaded << QString() << QStringList{};
    QTest::newRow("whitespace between tokens")
        << QByteArray(" \t\r\n{ \"Rows\" :\n[ " + row + " ] } \r\n") << S::Loaded << QString()
        << QStringList{"1|A|English|t|"};
    QTest::newRow("second byte-order mark")
        << QByteArray("\xEF\xBB\xBF\xEF\xBB\xBF{}") << S::NotJson << QString() << QStringList{};
    QTest::newRow("NUL after the root")
        << QByteArray("{}\0 x", 5) << S::NotJson << QString() << QStringList{};
    QTest::newRow("raw tab in a string")
        << QByteArray("{\"Rows\":[],\"a\":\"\t\"}") << S::NotJson << QString() << QStringList{};
    QTest::newRow("overlong UTF-8")
        << QByteArray("{\"a\":\"\xC0\xAF\"}") << S::NotUtf8 << QString() << QStringList{};
    QTest::newRow("UTF-8 encoded surrogate")
        << QByteArray("{\"a\":\"\xED\xA0\x80\"}") << S::NotUtf8 << QString() << QStringList{};
    QTest::newRow("cut-off UTF-8 at the end")
        << QByteArray("{}\xE3\x81") << S::NotUtf8 << QString() << QStringList{};
    QTest::newRow("bad UTF-8 after a syntax error")
        << QByteArray("{,\"\xFF\"}") << S::NotUtf8 << QString() << QStringList{};
    QTest::newRow("escaped non-ASCII character")
        << QByteArray("{\"a\":\"\\\xC3\xA9\"}") << S::NotJson << QString() << QStringList{};
    QTest::newRow("Rows element error after a good row")
        << QByteArray(R"({"Rows":[)" + row + R"(,{"No":"2"},[]]})") << S::InvalidValue
        << QStringLiteral("値 'Speaker' が見つかりません") << QStringList{};
    QTest::newRow("a syntax error outranks an earlier value error")
        << QByteArray(R"({"Rows":[{}],"EnglishRateIndex":null,})") << S::NotJson << QString()
        << QStringList{};
    QTest::newRow("settings errors outrank row errors, in their order")
        << QByteArray(R"({"Rows":[1],"HideText":"no","RepeatIndex":[]})") << S::InvalidValue
        << QStringLiteral("TJSONArray から Integer への変換はサポートされていません")
        << QStringList{};
    QTest::newRow("no Rows outranks nothing but settings errors")
        << QByteArray(R"({"HideText":0})") << S::NoRows << QString() << QStringList{};
}

void TestLessonFile::reads() {
    QFETCH(QByteArray, file);
    QFETCH(LessonFileStatus, status);
    QFETCH(QString, error);
    QFETCH(QStringList, rows);
    const LessonFileContent content = readLessonFile(file);
    QCOMPARE(content.status, status);
    QCOMPARE(content.error, error);
    QCOMPARE(joined(content.rowsAsWritten()), rows);
}

// Each kind of JSON value against each wanted type: "EnglishRateIndex" wants a whole number,
// "HideText" true or false, the row members text.
void TestLessonFile::conversions_data() {
    QTest::addColumn<QByteArray>("member");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("result"); // the converted value, or the error

    const auto add = [](const char* member, const char* value, const QString& result) {
        QTest::addRow("%s: %s", member, value) << QByteArray(member) << QByteArray(value) << result;
    };
    const auto notWhole = [](const char* text) {
        return QStringLiteral("'%1' は整数ではありません").arg(QString::fromUtf8(text));
    };
    const auto unsupported = [](const char* kind, const char* wanted) {
        return QStringLiteral("%1 から %2 への変換はサポートされていません").arg(kind, wanted);
    };

    add("EnglishRateIndex", "3", "3");
    add("EnglishRateIndex", "-1", "-1");
    add("EnglishRateIndex", "-0", "0");
    add("EnglishRateIndex", "1.5", notWhole("1.5"));
    add("EnglishRateIndex", "2.0", notWhole("2.0"));
    add("EnglishRateIndex", "1e2", notWhole("1e2"));
    add("EnglishRateIndex", "2147483647", "2147483647");
    add("EnglishRateIndex", "-2147483648", "-2147483648");
    add("EnglishRateIndex", "2147483648", notWhole("2147483648"));
    add("EnglishRateIndex", "\"3\"", "3");
    add("EnglishRateIndex", "\"+3\"", "3");
    add("EnglishRateIndex", "\" 3\"", notWhole(" 3"));
    add("EnglishRateIndex", "\"\"", notWhole(""));
    add("EnglishRateIndex", "\"three\"", notWhole("three"));
    add("EnglishRateIndex", "true", "1");
    add("EnglishRateIndex", "false", "0");
    add("EnglishRateIndex", "null", unsupported("TJSONNull", "Integer"));
    add("EnglishRateIndex", "{}", unsupported("TJSONObject", "Integer"));
    add("EnglishRateIndex", "[]", unsupported("TJSONArray", "Integer"));

    add("HideText", "true", "true");
    add("HideText", "false", "false");
    add("HideText", "0", "false");
    add("HideText", "-0.0e5", "false");
    add("HideText", "0.001", "true");
    add("HideText", "1e-400", "true");
    add("HideText", "\"TrUe\"", "true");
    add("HideText", "\"FALSE\"", "false");
    add("HideText", "\"2.5\"", "true");
    add("HideText", "\"0\"", "false");
    add("HideText", "\"yes\"", QStringLiteral("'yes' は正しい論理型ではありません"));
    add("HideText", "\"\"", QStringLiteral("'' は正しい論理型ではありません"));
    add("HideText", "null", unsupported("TJSONNull", "Boolean"));
    add("HideText", "[1]", unsupported("TJSONArray", "Boolean"));

    add("Text", "\"a\"", "a");
    add("Text", "2.50", "2.50");
    add("Text", "true", "true");
    add("Text", "false", "false");
    add("Text", "null", "");
    add("Text", "{\"a\":1}", unsupported("TJSONObject", "string"));
    add("Text", "[]", unsupported("TJSONArray", "string"));
}

void TestLessonFile::conversions() {
    QFETCH(QByteArray, member);
    QFETCH(QByteArray, value);
    QFETCH(QString, result);
    const bool isRowMember = member == "Text";
    const QByteArray file =
        isRowMember ? R"({"Rows":[{"No":"","Speaker":"","Language":"","Interval":"","Text":)" +
                          value + "}]}"
                    : "{\"" + member + "\":" + value + ",\"Rows\":[]}";
    const LessonFileContent content = readLessonFile(file);
    QString converted = content.error;
    if (content.status == LessonFileStatus::Loaded) {
        if (isRowMember)
            converted = content.rowsAsWritten().value(0)[ColText];
        else if (content.settings.englishRateIndex)
            converted = QString::number(*content.settings.englishRateIndex);
        else if (content.settings.hideText)
            converted = *content.settings.hideText ? "true" : "false";
    } else {
        QCOMPARE(content.status, LessonFileStatus::InvalidValue);
        QCOMPARE(content.settings, StoredLessonSettings{}); // nothing of a failed file is used
    }
    QCOMPARE(converted, result);
}

void TestLessonFile::practiceMembersNeverFailALoad_data() {
    QTest::addColumn<QByteArray>("members");
    QTest::addColumn<PracticeSettings>("expected");
    const PracticeSettings defaults;
    const auto with = [&](auto change) {
        PracticeSettings settings = defaults;
        change(settings);
        return settings;
    };
    QTest::newRow("none") << QByteArray() << defaults;
    QTest::newRow("all valid")
        << QByteArray(R"("JapaneseRateIndex":0,"SlowestEnglish":true,"Role":" s ",)"
                      R"("ModelAfterAnswer":"true","AnswerGapIndex":3,"LineRepeatCount":"5",)"
                      R"("ShadowingGap":1,"ShowReadings":true,"ShowAccent":"true",)")
        << PracticeSettings{0, true, "S", true, 3, 5, true, true, true};
    // A wrong type or a value beyond the list: that member's default, the rest as given.
    QTest::newRow("repeat count not a number")
        << QByteArray(R"("LineRepeatCount":"x","ShadowingGap":true,)")
        << with([](PracticeSettings& s) { s.shadowingGap = true; });
    QTest::newRow("repeat count beyond the list")
        << QByteArray(R"("LineRepeatCount":99,"AnswerGapIndex":0,)")
        << with([](PracticeSettings& s) { s.answerGapIndex = 0; });
    QTest::newRow("repeat count zero") << QByteArray(R"("LineRepeatCount":0,)") << defaults;
    QTest::newRow("indexes out of range")
        << QByteArray(R"("JapaneseRateIndex":6,"AnswerGapIndex":-1,)") << defaults;
    QTest::newRow("fraction, object, array")
        << QByteArray(R"("JapaneseRateIndex":1.5,"Role":{},"ShowReadings":[],)") << defaults;
    QTest::newRow("accent of the wrong kind")
        << QByteArray(R"("ShowAccent":"on","ShowReadings":true,)")
        << with([](PracticeSettings& s) { s.showReadings = true; });
    QTest::newRow("accent off") << QByteArray(R"("ShowAccent":false,)") << defaults;
    // The recording switches, read as leniently.
    QTest::newRow("recording as text and a number")
        << QByteArray(R"("RecordAnswers":"true","HearOwnAnswer":1,)")
        << with([](PracticeSettings& s) {
               s.recordAnswers = true;
               s.hearOwnAnswer = true;
           });
    QTest::newRow("recording of a wrong type")
        << QByteArray(R"("RecordAnswers":{},"HearOwnAnswer":null,)") << defaults;
    QTest::newRow("accent null") << QByteArray(R"("ShowAccent":null,)") << defaults;
    QTest::newRow("accent as a number") << QByteArray(R"("ShowAccent":1,)")
                                        << with([](PracticeSettings& s) { s.showAccent = true; });
    QTest::newRow("flags of the wrong kind")
        << QByteArray(R"("SlowestEnglish":"yes","ModelAfterAnswer":null,)") << defaults;
    QTest::newRow("unknown role") << QByteArray(R"("Role":"X",)") << defaults;
}

void TestLessonFile::practiceMembersNeverFailALoad() {
    QFETCH(QByteArray, members);
    QFETCH(PracticeSettings, expected);
    const LessonFileContent content =
        readLessonFile("{" + members +
                       R"("Rows":[{"No":"1","Speaker":"A","Language":"English","Text":"Hi.",)"
                       R"("Interval":""}]})");
    QCOMPARE(content.status, LessonFileStatus::Loaded);
    QCOMPARE(content.rowsAsWritten().size(), 1);
    QCOMPARE(practiceSettingsOf(content.settings.practice), expected);
}

void TestLessonFile::nestingIsBounded() {
    const auto nested = [](int depth) {
        return "{\"Rows\":[],\"x\":" + QByteArray(depth - 1, '[') + QByteArray(depth - 1, ']') +
               "}";
    };
    QCOMPARE(readLessonFile(nested(kMaxJsonDepth)).status, LessonFileStatus::Loaded);
    QCOMPARE(readLessonFile(nested(kMaxJsonDepth + 1)).status, LessonFileStatus::NotJson);
    QCOMPARE(readLessonFile(QByteArray(1'000'000, '[')).status, LessonFileStatus::NotJson);
    QCOMPARE(readLessonFile(QByteArray(1'000'000, '{')).status, LessonFileStatus::NotJson);
    QByteArray objects;
    for (int i = 0; i < 200'000; ++i)
        objects += "{\"\":[";
    QCOMPARE(readLessonFile(objects).status, LessonFileStatus::NotJson);
}

// The public JSON parsing corpus: every valid text is read as JSON, every invalid one is
// refused, and the implementation-defined ones are only required not to crash.
void TestLessonFile::jsonTestSuite() {
    const QDir folder(QStringLiteral(LESSORA_SHARED_DIR "/testdata/json-test-suite/test_parsing"));
    if (!folder.exists())
        QSKIP(qPrintable("JSON test suite not found at " + folder.path()));
    const QStringList names = folder.entryList({"*.json"}, QDir::Files, QDir::Name);
    QVERIFY(!names.isEmpty());
    QStringList wrong;
    for (const QString& name : names) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        const LessonFileStatus status = readLessonFile(file.readAll()).status;
        const bool refused =
            status == LessonFileStatus::NotJson || status == LessonFileStatus::NotUtf8;
        if ((name.startsWith("y_") && refused) || (name.startsWith("n_") && !refused))
            wrong << name;
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(", ")));
}

QTEST_GUILESS_MAIN(TestLessonFile)
#include "tst_lessonfile.moc"
