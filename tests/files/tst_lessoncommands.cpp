// The save and load buttons of the main window, from the dialogs to the messages.
#include "app/LessonGrid.h"
#include "app/MainWindow.h"
#include "app/PlatformServices.h"
#include "files/FileAccess.h"
#include "files/FileNames.h"
#include "files/LessonFileCommands.h"
#include "lesson/LessonTable.h"
#include "platform/AppError.h"
#include "support/Controls.h"
#include "support/FakeServices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QStringEncoder>
#include <QTest>
#include <QTimer>

#ifdef Q_OS_UNIX
#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using namespace lessora;
using namespace lessora::test;

// Declared ahead of the test data: moc does not follow its raw string literals.
class TestLessonCommands : public QObject {
    Q_OBJECT
private slots:
    void saveAfterStartUpWritesTheExampleLine();
    void eachDialogRemembersItsOwnFile();
    void loadOutcomes_data();
    void loadOutcomes();
    void savedLessonLoadsBack();
    void loadKeepsPlaybackAndTheCurrentCell();
    void unreadableFileIsReportedWithItsPath_data();
    void unreadableFileIsReportedWithItsPath();
    void sizeLimitHoldsWhileReading();
    void nameThatIsNotUtf8Opens();
    void failedSaveKeepsTheOldFile_data();
    void failedSaveKeepsTheOldFile();
    void saveRefusesWhatLoadWouldRefuse();
    void saveOverWritableFileInReadOnlyFolder();
};

namespace {

// Saving right after start-up writes the byte-order mark and exactly this line.
const QByteArray kStartUpLesson =
    R"({"EnglishRateIndex":2,"IntervalIndex":0,"RepeatIndex":0,"HideText":false,"Rows":[)"
    R"({"No":"1","Speaker":"A","Language":"English","Text":"Hello. How are you?","Interval":""},)"
    R"({"No":"2","Speaker":"B","Language":"English","Text":"I'm fine, thank you.","Interval":""},)"
    R"({"No":"3","Speaker":"Q","Language":"Japanese","Text":"\u4ECA\u65E5\u306F\u3044\u3044\u5929)"
    R"(\u6C17\u3067\u3059\u306D\u3002","Interval":""},)"
    R"({"No":"4","Speaker":"R","Language":"Japanese","Text":"\u305D\u3046\u3067\u3059\u306D\u3002",)"
    R"("Interval":""}]})";
const QByteArray kBom = "\xEF\xBB\xBF";

const QStringList kStartUpRows = {"1|A|English|Hello. How are you?|",
                                  "2|B|English|I'm fine, thank you.|",
                                  QStringLiteral("3|Q|Japanese|今日はいい天気ですね。|"),
                                  QStringLiteral("4|R|Japanese|そうですね。|")};
const QList<int> kStartUpControls = {2, 0, 0, 0}; // English rate, interval, repeat, hide text

QStringList rowsOf(const LessonTable& table) {
    QStringList lines;
    for (const LessonRow& row : table.allRows())
        lines << QStringList(row.begin(), row.end()).join(u'|');
    return lines;
}

QList<int> controlsOf(const MainWindow& form) {
    return {control<QComboBox>(form, "cmbEnglishRate")->currentIndex(),
            control<QComboBox>(form, "cmbInterval")->currentIndex(),
            control<QComboBox>(form, "cmbRepeat")->currentIndex(),
            control<QCheckBox>(form, "chkHideText")->isChecked() ? 1 : 0};
}

// Blank rows numbered from..to, as a load adds them up to ten rows.
QStringList blankRows(int from, int to) {
    QStringList lines;
    for (int no = from; no <= to; ++no)
        lines << QString::number(no) + "||||";
    return lines;
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString fileError(const QString& reasonStart, const QString& path) {
    return reasonStart + "\r\n[" + QDir::toNativeSeparators(path) + "].";
}

} // namespace

void TestLessonCommands::saveAfterStartUpWritesTheExampleLine() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    const QString path = fakes.folder.filePath("lesson.json");
    fakes.fileDialogs.saveAnswers << path;
    control<QPushButton>(form, "btnSaveLesson")->click();
    QCOMPARE(readFile(path), kBom + kStartUpLesson);
    QCOMPARE(fakes.messages.messages, QStringList{QStringLiteral("保存しました。")});
    QCOMPARE(fakes.fileDialogs.saveRequests.size(), 1);
    const FileDialogOptions& options = fakes.fileDialogs.saveRequests[0];
    QCOMPARE(options.filter, QStringLiteral("JSONファイル (*.json)|*.json"));
    QCOMPARE(options.defaultExtension, "json");
    QCOMPARE(options.fileName, QString());
    QCOMPARE(qtNameFilters(options.filter), QStringList{QStringLiteral("JSONファイル (*.json)")});
}

void TestLessonCommands::eachDialogRemembersItsOwnFile() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    const QString saved = fakes.folder.filePath("saved.json");
    const QString opened = fakes.folder.filePath("missing.json");
    fakes.fileDialogs.saveAnswers << saved << std::nullopt << std::nullopt;
    fakes.fileDialogs.openAnswers << opened << std::nullopt;
    control<QPushButton>(form, "btnSaveLesson")->click();
    control<QPushButton>(form, "btnLoadLesson")
        ->click(); // fails: the file does not exist; the name is kept all the same
    control<QPushButton>(form, "btnSaveLesson")
        ->click(); // cancelled: writes nothing, shows nothing
    control<QPushButton>(form, "btnLoadLesson")->click(); // cancelled
    control<QPushButton>(form, "btnSaveLesson")->click();

    const auto& save = fakes.fileDialogs.saveRequests;
    const auto& open = fakes.fileDialogs.openRequests;
    QCOMPARE(save.size(), 3);
    QCOMPARE(open.size(), 2);
    QCOMPARE(save[1].fileName, saved);
    QCOMPARE(save[2].fileName, saved);
    QCOMPARE(open[0].fileName, QString());
    QCOMPARE(open[1].fileName, opened);
    QCOMPARE(open[0].filter, QStringLiteral("JSONファイル (*.json)|*.json"));
    QCOMPARE(open[0].defaultExtension, QString());
    QCOMPARE(fakes.messages.messages.size(), 2); // saved, then the missing file's error
    QCOMPARE(rowsOf(form.lessonTable()), kStartUpRows);
}

// Whole files against what the user sees afterwards, starting from the start-up lesson.
void TestLessonCommands::loadOutcomes_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QList<int>>("controls");

    const QString loaded = QStringLiteral("読み込みました。");
    const QString notJson = QStringLiteral("JSONファイルを読み込めませんでした。");
    const QString noRows = QStringLiteral("教材データが見つかりません。");
    const auto row = [](const char* no, const char* speaker = "A", const char* text = "t") {
        return QByteArray(R"({"No":")") + no + R"(","Speaker":")" + speaker +
               R"(","Language":"English","Text":")" + text + R"(","Interval":""})";
    };
    const QStringList startUpLoaded = kStartUpRows + blankRows(5, 10);

    QTest::newRow("start-up lesson")
        << kBom + kStartUpLesson << loaded << startUpLoaded << kStartUpControls;
    QTest::newRow("without byte-order mark, with trailing blanks")
        << kStartUpLesson + "\r\n \t" << loaded << startUpLoaded << kStartUpControls;
    QTest::newRow("second value after the root")
        << kBom + kStartUpLesson + "{}" << notJson << kStartUpRows << kStartUpControls;
    QStringEncoder toUtf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
    QTest::newRow("UTF-16 with byte-order mark")
        << QByteArray(toUtf16(QString::fromUtf8(kStartUpLesson)))
        << QStringLiteral(
               "Unicode 文字のマッピングがターゲットのマルチバイト コード ページに存在しません.")
        << kStartUpRows << kStartUpControls;
    QTest::newRow("empty file") << QByteArray() << notJson << kStartUpRows << kStartUpControls;
    QTest::newRow("byte-order mark only") << kBom << notJson << kStartUpRows << kStartUpControls;
    QTest::newRow("root is an array")
        << QByteArray("[]") << QStringLiteral("正しい教材ファイルではありません。") << kStartUpRows
        << kStartUpControls;
    QTest::newRow("empty object") << QByteArray("{}") << noRows << kStartUpRows << kStartUpControls;
    QTest::newRow("settings without Rows are applied")
        << QByteArray(R"({"EnglishRateIndex":4,"HideText":true,"Rows ":[]})") << noRows
        << kStartUpRows << QList<int>{4, 0, 0, 1};
    QTest::newRow("empty Rows") << QByteArray(R"({"Rows":[]})") << loaded << blankRows(1, 10)
                                << kStartUpControls;
    QByteArray twelve = R"({"Rows":[)" + row("1");
    QStringList twelveRows = {"1|A|English|t|"};
    for (int no = 2; no <= 12; ++no) {
        twelve += "," + row(QByteArray::number(no).constData());
        twelveRows << QString::number(no) + "|A|English|t|";
    }
    QTest::newRow("12 rows") << twelve + "]}" << loaded << twelveRows << kStartUpControls;
    QTest::newRow("gaps in No are kept, added rows numbered on")
        << QByteArray(R"({"Rows":[)" + row("1") + "," + row("2") + "," + row("5") + "]}") << loaded
        << QStringList{"1|A|English|t|", "2|A|English|t|", "5|A|English|t|"} + blankRows(4, 10)
        << kStartUpControls;
    QTest::newRow("all settings, cells stored as read")
        << QByteArray(R"({"HideText":true,"RepeatIndex":4,"IntervalIndex":6,"EnglishRateIndex":0,)"
                      R"("hidetext":false,"Rows":[)" +
                      row("9", " b ", "x") + "]}")
        << loaded << QStringList{"9| b |English|x|"} + blankRows(2, 10) << QList<int>{0, 6, 4, 1};
    QTest::newRow("index out of range selects nothing")
        << QByteArray(R"({"EnglishRateIndex":7,"IntervalIndex":-1,"Rows":[]})") << loaded
        << blankRows(1, 10) << QList<int>{-1, -1, 0, 0};
    QTest::newRow("EnglishRateIndex as the string 3")
        << QByteArray(R"({"EnglishRateIndex":"3","Rows":[]})") << loaded << blankRows(1, 10)
        << QList<int>{3, 0, 0, 0};
    QTest::newRow("EnglishRateIndex 1.5 changes nothing")
        << QByteArray(R"({"HideText":true,"Rows":[],"EnglishRateIndex":1.5})")
        << QStringLiteral("'1.5' は整数ではありません.") << kStartUpRows << kStartUpControls;
    QTest::newRow("null RepeatIndex changes nothing")
        << QByteArray(R"({"EnglishRateIndex":0,"RepeatIndex":null,"Rows":[]})")
        << QStringLiteral("TJSONNull から Integer への変換はサポートされていません.")
        << kStartUpRows << kStartUpControls;
    QTest::newRow("number, null and true as text")
        << QByteArray(R"({"Rows":[{"No":"1","Speaker":true,"Language":"English","Text":null,)"
                      R"("Interval":2.5}]})")
        << loaded << QStringList{"1|true|English||2.5"} + blankRows(2, 10) << kStartUpControls;
    QTest::newRow("row lacking Language changes nothing")
        << QByteArray(R"({"EnglishRateIndex":0,"HideText":true,"Rows":[)" + row("1") +
                      R"(,{"No":"2","Speaker":"B","Text":"u","Interval":""},)" + row("3") + "]}")
        << QStringLiteral("値 'Language' が見つかりません.") << kStartUpRows << kStartUpControls;
    QTest::newRow("Rows not an array changes nothing")
        << QByteArray(R"({"EnglishRateIndex":0,"Rows":null})")
        << QStringLiteral("無効なクラス型キャスト.") << kStartUpRows << kStartUpControls;
    QTest::newRow("element not an object changes nothing")
        << QByteArray(R"({"Rows":[)" + row("1") + R"(,"2"]})")
        << QStringLiteral("無効なクラス型キャスト.") << kStartUpRows << kStartUpControls;
    QTest::newRow("object as text changes nothing")
        << QByteArray(
               R"({"Rows":[{"No":"1","Speaker":"A","Language":"","Text":{},"Interval":""}]})")
        << QStringLiteral("TJSONObject から string への変換はサポートされていません.")
        << kStartUpRows << kStartUpControls;
}

void TestLessonCommands::loadOutcomes() {
    QFETCH(QByteArray, file);
    QFETCH(QString, message);
    QFETCH(QStringList, rows);
    QFETCH(QList<int>, controls);
    FakeServices fakes;
    MainWindow form(fakes.services());
    const QString path = fakes.folder.filePath("lesson.json");
    QVERIFY(writeFile(path, file));
    fakes.fileDialogs.openAnswers << path;
    // The message box comes last: by then the lesson is in place.
    QStringList rowsWhenShown;
    fakes.messages.whileShown = [&](const QString&) { rowsWhenShown = rowsOf(form.lessonTable()); };

    control<QPushButton>(form, "btnLoadLesson")->click();

    QCOMPARE(fakes.messages.messages, QStringList{message});
    QCOMPARE(rowsOf(form.lessonTable()), rows);
    QCOMPARE(rowsWhenShown, rows);
    QCOMPARE(controlsOf(form), controls);
    QCOMPARE(control<LessonGrid>(form, "StringGrid1")->isColumnHidden(ColText), controls[3] == 1);
}

void TestLessonCommands::savedLessonLoadsBack() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    LessonTable& table = form.lessonTable();
    const QString text = QStringLiteral("\"q\" \\ / \tタブ") + QString::fromUcs4(U"\U0001F600");
    table.setRowCount(6);
    table.setRow(1, {"2", "B", "English", text, "1.50"});
    table.setRow(2, {"3", " ", "", "", ""}); // blank rows are not saved
    table.setRow(3, {"4", "", "", "\t", ""});
    table.setRow(4, {"5", "q", "Japanese", QStringLiteral("はい"), ""});
    control<QComboBox>(form, "cmbRepeat")->setCurrentIndex(3);
    control<QCheckBox>(form, "chkHideText")->setChecked(true);
    const QString path = fakes.folder.filePath("lesson.json");
    fakes.fileDialogs.saveAnswers << path;
    control<QPushButton>(form, "btnSaveLesson")->click();
    QVERIFY(readFile(path).contains(R"(\"q\" \\ \/ \t\u30BF\u30D6\uD83D\uDE00)"));

    FakeServices other;
    MainWindow second(other.services());
    other.fileDialogs.openAnswers << path;
    control<QPushButton>(second, "btnLoadLesson")->click();
    QCOMPARE(other.messages.messages, QStringList{QStringLiteral("読み込みました。")});
    QCOMPARE(rowsOf(second.lessonTable()),
             QStringList({"1|A|English|Hello. How are you?|", "2|B|English|" + text + "|1.50",
                          QStringLiteral("5|q|Japanese|はい|")}) +
                 blankRows(4, 10));
    QCOMPARE(controlsOf(second), (QList<int>{2, 0, 3, 1}));
    QVERIFY(control<LessonGrid>(second, "StringGrid1")->isColumnHidden(ColText));
}

void TestLessonCommands::loadKeepsPlaybackAndTheCurrentCell() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    control<LessonGrid>(form, "StringGrid1")->makeRowCurrent(2);
    control<LessonGrid>(form, "StringGrid1")->setCurrentColumn(ColText);
    form.setHighlightRow(3);
    QVERIFY(control<QTimer>(form, "tmrNext")->isActive());
    const QString path = fakes.folder.filePath("lesson.json");
    QVERIFY(writeFile(path, R"({"Rows":[]})"));
    fakes.fileDialogs.openAnswers << path;
    control<QPushButton>(form, "btnLoadLesson")->click();
    QCOMPARE(form.lessonTable().rows(), 10);
    QCOMPARE(control<LessonGrid>(form, "StringGrid1")->currentRow(), 2);
    QCOMPARE(control<LessonGrid>(form, "StringGrid1")->currentColumn(), int(ColText));
    QCOMPARE(form.highlightRow(), 3);
    QVERIFY(control<QTimer>(form, "tmrNext")->isActive());
}

void TestLessonCommands::unreadableFileIsReportedWithItsPath_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "missing" << QStringLiteral("ファイルが見つかりません");
    QTest::newRow("folder") << "folder" << QStringLiteral("フォルダは開けません");
    QTest::newRow("larger than the limit") << "huge" << QStringLiteral("ファイルが大きすぎます");
    // Neither may hold the window: a FIFO waits for a writer, /dev/zero never ends.
    QTest::newRow("FIFO") << "fifo" << QStringLiteral("通常のファイルではないため、開けません");
    QTest::newRow("device") << "device" << QStringLiteral("通常のファイルではないため、開けません");
    QTest::newRow("loop of links")
        << "loop" << QStringLiteral("シンボリックリンクが循環しているため、ファイルを開けません");
}

void TestLessonCommands::unreadableFileIsReportedWithItsPath() {
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    FakeServices fakes;
    MainWindow form(fakes.services());
    QString path = fakes.folder.filePath(kind + ".json");
    if (kind == "folder")
        path = fakes.folder.path();
    if (kind == "huge") {
        QFile hugeFile(path); // sparse: takes no room on disk
        QVERIFY(hugeFile.open(QIODevice::WriteOnly) && hugeFile.resize(kMaxReadFileBytes + 1));
    }
    if (kind == "fifo")
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
    if (kind == "device")
        path = "/dev/zero";
    if (kind == "loop") {
        QVERIFY(QFile::link(fakes.folder.filePath("other.json"), path));
        QVERIFY(QFile::link(path, fakes.folder.filePath("other.json")));
    }
    fakes.fileDialogs.openAnswers << path;
    control<QPushButton>(form, "btnLoadLesson")->click();
    QCOMPARE(fakes.messages.messages, QStringList{fileError(reason, path)});
    QCOMPARE(rowsOf(form.lessonTable()), kStartUpRows);
}

void TestLessonCommands::sizeLimitHoldsWhileReading() {
    // A file of the kernel's reports size 0 and holds more.
    QVERIFY(QFileInfo("/proc/self/status").size() == 0);
    QVERIFY_THROWS_EXCEPTION(AppError, readWholeFile("/proc/self/status", 10));
    QVERIFY(readWholeFile("/proc/self/status").startsWith("Name:"));
}

void TestLessonCommands::nameThatIsNotUtf8Opens() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    // Latin-1 bytes, a cut UTF-8 sequence, a surrogate encoded in UTF-8: none is valid UTF-8.
    const QList<QByteArray> names = {"caf\xe9.json", "\xe3\x81.json", "\xed\xb2\x80.json"};
    for (qsizetype i = 0; i < names.size(); ++i) {
        const QByteArray bytes = QFile::encodeName(fakes.folder.path()) + '/' + names[i];
        QCOMPARE(fileNameBytes(fileNameFromBytes(bytes)), bytes);
        const QString text = QStringLiteral("Line %1.").arg(i);
        const QString plain = fakes.folder.filePath("plain.json");
        QVERIFY(
            writeFile(plain, R"({"Rows":[{"No":"1","Speaker":"A","Language":"English","Text":")" +
                                 text.toUtf8() + R"(","Interval":""}]})"));
        QVERIFY(::rename(QFile::encodeName(plain).constData(), bytes.constData()) == 0);
        fakes.fileDialogs.openAnswers << fileNameFromBytes(bytes);
        control<QPushButton>(form, "btnLoadLesson")->click();
        QCOMPARE(form.lessonTable().cell(ColText, 0), text);
        // Saved under the same name, not under one with U+FFFD in place of the bytes.
        replaceWholeFile(fileNameFromBytes(bytes), "saved");
        QFile saved;
        const int fd = ::open(bytes.constData(), O_RDONLY);
        QVERIFY(fd >= 0 && saved.open(fd, QIODevice::ReadOnly, QFile::AutoCloseHandle));
        QCOMPARE(saved.readAll(), QByteArray("saved"));
        ::unlink(bytes.constData()); // Qt's own clean-up cannot name it
    }
    // Valid UTF-8 reads as Qt reads it.
    QCOMPARE(fileNameFromBytes("/tmp/\xe3\x81\x82.json"), QStringLiteral("/tmp/あ.json"));
}

void TestLessonCommands::failedSaveKeepsTheOldFile_data() {
    QTest::addColumn<QString>("failure");
    QTest::newRow("path is a folder") << "folder";
    QTest::newRow("write fails part-way") << "file size limit";
}

void TestLessonCommands::failedSaveKeepsTheOldFile() {
    QFETCH(QString, failure);
    FakeServices fakes;
    MainWindow form(fakes.services());
    const QByteArray old = kBom + R"({"Rows":[]})";
    QDir folder(fakes.folder.path());
    QVERIFY(folder.mkdir("lessons"));
    QVERIFY(folder.cd("lessons"));
    QString path = folder.filePath("lesson.json");
    QVERIFY(writeFile(path, old));
    if (failure == "folder")
        path = folder.path();
    fakes.fileDialogs.saveAnswers << path;

#ifdef Q_OS_UNIX
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    if (failure == "file size limit") {
        // Any write beyond 100 bytes fails, as on a full disk.
        rlimit small = saved;
        small.rlim_cur = 100;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    }
    control<QPushButton>(form, "btnSaveLesson")->click();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldSignal);
#else
    if (failure != "folder")
        QSKIP("needs a Unix file size limit or permissions");
    control<QPushButton>(form, "btnSaveLesson")->click();
#endif

    QCOMPARE(fakes.messages.messages.size(), 1);
    const QString shown = fakes.messages.messages[0];
    QVERIFY2(shown.endsWith("\r\n[" + QDir::toNativeSeparators(path) + "]."), qPrintable(shown));
    QVERIFY(!shown.startsWith("\r\n"));
    QVERIFY2(!shown.startsWith("Unknown error"), qPrintable(shown)); // the platform's reason
    QCOMPARE(readFile(folder.filePath("lesson.json")), old);
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), QStringList{"lesson.json"});
}

// Whatever the save command writes, the load command reads: a limit on the size of files read
// is checked before saving, and the old file stays as it was.
void TestLessonCommands::saveRefusesWhatLoadWouldRefuse() {
    FakeMessageBoxes messages;
    FakeFileDialogs dialogs;
    CurrentLessonSettings settings(LessonSettings{2, 0, 0, false});
    LessonTable table;
    table.setRows({{"1", "A", "English", "Hello", ""}, {"2", "B", "English", "Hi", "1.5"}});
    const LessonCommandContext context{dialogs, messages, table, settings};
    QTemporaryDir folder;
    const QString path = folder.filePath("lesson.json");
    const qint64 lessonBytes = writeLessonFile(settings.values(), table.allRows()).size();

    LessonFileCommands atTheLimit(lessonBytes);
    dialogs.saveAnswers << path;
    dialogs.openAnswers << path;
    atTheLimit.save(context);
    table.setRowCount(0);
    atTheLimit.load(context);
    QCOMPARE(messages.messages,
             (QStringList{QStringLiteral("保存しました。"), QStringLiteral("読み込みました。")}));
    QCOMPARE(rowsOf(table).first(2), (QStringList{"1|A|English|Hello|", "2|B|English|Hi|1.5"}));

    LessonFileCommands belowIt(lessonBytes - 1);
    QVERIFY(writeFile(path, "old"));
    dialogs.saveAnswers << path;
    try {
        belowIt.save(context);
        QFAIL("a lesson too large to be loaded was saved");
    } catch (const AppError& error) {
        QCOMPARE(error.message() + u'.', fileError(QStringLiteral("ファイルが大きすぎます"), path));
    }
    QCOMPARE(readFile(path), QByteArray("old"));
    QCOMPARE(messages.messages.size(), 2);
}

// Saving over a file the user may write, in a folder where they may not create files: the
// temporary file of an atomic save cannot be made there, so the file is written in place.
void TestLessonCommands::saveOverWritableFileInReadOnlyFolder() {
#ifdef Q_OS_UNIX
    QTemporaryDir root;
    QDir folder(root.path());
    QVERIFY(folder.mkdir("lessons"));
    QVERIFY(folder.cd("lessons"));
    const QString path = folder.filePath("lesson.json");
    QVERIFY(writeFile(path, "old"));
    const auto all = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther |
                     QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    QVERIFY(QFile::setPermissions(root.path(), all));
    QVERIFY(QFile::setPermissions(folder.path(), all));
    QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ReadOther | QFileDevice::WriteOther));
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(folder.path(), all | QFileDevice::WriteOwner);
        QFile::setPermissions(root.path(), all | QFileDevice::WriteOwner);
    });
    const QByteArray lesson = kBom + kStartUpLesson;

    // In a child process that is an ordinary user, so that permissions bind even for root.
    const pid_t child = fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (geteuid() == 0 && (setgid(kNobody) != 0 || setuid(kNobody) != 0))
            _exit(2);
        try {
            replaceWholeFile(path, lesson);
        } catch (const AppError&) {
            _exit(1);
        }
        _exit(0);
    }
    int status = 0;
    QCOMPARE(waitpid(child, &status, 0), child);
    QVERIFY(WIFEXITED(status));
    QCOMPARE(WEXITSTATUS(status), 0);
    QCOMPARE(readFile(path), lesson);
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden), QStringList{"lesson.json"});
#else
    QSKIP("needs Unix permissions");
#endif
}

QTEST_MAIN(TestLessonCommands)
#include "tst_lessoncommands.moc"
