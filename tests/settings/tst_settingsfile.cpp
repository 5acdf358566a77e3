#include "platform/AppError.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsLocation.h"
#include "settings/Speakers.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <functional>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace lessora;

namespace {

// A settings file written by hand in a Windows editor: byte-order mark, CR LF, mixed letter case,
// blanks, quotes, comments, repeated keys and sections, and no line end after the last line.
const QString kHandWritten =
    QStringLiteral("; written by hand\r\n"
                   "[voice]\r\n"
                   "  speakera_english =  Microsoft Zira Desktop - English (United States)  \r\n"
                   "SpeakerA_Japanese=\"  quoted keeps blanks  \"\r\n"
                   "SpeakerB_English='single'\r\n"
                   "SpeakerB_Japanese=\"unbalanced'\r\n"
                   ";SpeakerC_English=commented out\r\n"
                   "SpeakerC_English=first\r\n"
                   "SPEAKERC_ENGLISH=second\r\n"
                   "SpeakerC_Japanese=\r\n"
                   "NoEquals\r\n"
                   "Equals=a=b\r\n"
                   "Japanese=Microsoft Haruka Desktop - 日本語\r\n"
                   "\r\n"
                   "[ AvailableVoices ]\r\n"
                   "COUNT=0x2\r\n"
                   "Voice0=Microsoft Haruka Desktop - Japanese\r\n"
                   "[Other]\r\n"
                   "Voice0=not in the catalogue\r\n"
                   "[VOICE]\r\n"
                   "Later=from a repeated section\r\n"
                   "Last=no line end");

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

QString writeErrorFor(const QString& path) {
    return path + QStringLiteral(" に書き込めません");
}

QList<CatalogueEntry> sampleCatalogue(int size) {
    QList<CatalogueEntry> entries;
    for (int i = 0; i < size; ++i)
        entries.append({QStringLiteral("Voice number %1").arg(i),
                        i % 2 ? QStringLiteral("English") : QStringLiteral("Japanese"),
                        i < size / 2 ? QStringLiteral("SAPI") : QStringLiteral("OneCore")});
    return entries;
}

// Limits the size of files this process may write, so that a rewrite fails part way as it
// would on a full disk. Works for root too, unlike a read-only folder.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &m_saved);
        rlimit limited = m_saved;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &m_saved); }

private:
    rlimit m_saved{};
};

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void init();

    void readInteger_data();
    void readInteger();
    void handWrittenFile_data();
    void handWrittenFile();
    void roundTrip_data();
    void roundTrip();
    void writesKeepOtherLinesAndUseLf();
    void lineBreakInValueIsRefused_data();
    void lineBreakInValueIsRefused();
    void eraseSection();
    void catalogueRewriteReplacesLongerCatalogue();
    void catalogueCountStopsAtPresentEntries_data();
    void catalogueCountStopsAtPresentEntries();
    void speakerVoicesSavedTogether();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void readOnlyFolder();
    void twoObjectsSeeEachOthersWrites();
    void locationAndFirstWriteCreatesFolder();
    void twoInstancesKeepEachOthersKeys();
    void replacementByAnotherProgramLosesNoSection();
    void staleTemporaryFilesAreRemoved();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestSettingsFile::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_path = m_dir->filePath(QStringLiteral("Lessora.ini"));
}

void TestSettingsFile::readInteger_data() {
    QTest::addColumn<QString>("stored"); // a null text leaves the key out
    QTest::addColumn<int>("expected");
    const int fallback = 99;
    QTest::newRow("decimal") << "42" << 42;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("0x") << "0x3" << 3;
    QTest::newRow("0X upper digits") << "0X1F" << 31;
    QTest::newRow("dollar") << "$A" << 10;
    QTest::newRow("dollar lower") << "$a" << 10;
    QTest::newRow("x prefix") << "xff" << 255;
    QTest::newRow("signed hex") << "-$A" << -10;
    QTest::newRow("sign before 0x") << "-0x10" << -16;
    QTest::newRow("plus") << "+5" << 5;
    QTest::newRow("leading blanks inside quotes") << "' 7'" << 7;
    QTest::newRow("blanks around value") << "  7  " << 7;
    QTest::newRow("lowest") << "-2147483648" << std::numeric_limits<int>::min();
    QTest::newRow("highest") << "2147483647" << std::numeric_limits<int>::max();
    QTest::newRow("hex takes 32 bits") << "$FFFFFFFF" << -1;
    QTest::newRow("decimal overflow") << "2147483648" << fallback;
    QTest::newRow("negative overflow") << "-2147483649" << fallback;
    QTest::newRow("hex overflow") << "$100000000" << fallback;
    QTest::newRow("long overflow") << "99999999999999999999999" << fallback;
    QTest::newRow("trailing letters") << "3abc" << fallback;
    QTest::newRow("trailing blank inside quotes") << "'7 '" << fallback;
    QTest::newRow("blank after sign") << "- 5" << fallback;
    QTest::newRow("prefix only") << "0x" << fallback;
    QTest::newRow("dollar only") << "$" << fallback;
    QTest::newRow("sign only") << "-" << fallback;
    QTest::newRow("exponent") << "1e3" << fallback;
    QTest::newRow("full-width digits") << QStringLiteral("１２") << fallback;
    QTest::newRow("empty") << "" << fallback;
    QTest::newRow("missing") << QString() << fallback;
}

void TestSettingsFile::readInteger() {
    QFETCH(QString, stored);
    QFETCH(int, expected);
    QByteArray text = "[AvailableVoices]\nOther=1\n";
    if (!stored.isNull())
        text += "Count=" + stored.toUtf8() + "\n";
    writeBytes(m_path, text);
    QCOMPARE(SettingsFile(m_path).readInteger(kCatalogueSection, QStringLiteral("Count"), 99),
             expected);
}

void TestSettingsFile::handWrittenFile_data() {
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected"); // a null text expects the default
    QTest::newRow("letter case and blanks") << "Voice"
                                            << "SpeakerA_English"
                                            << "Microsoft Zira Desktop - English (United States)";
    QTest::newRow("double quotes keep inner blanks") << "Voice"
                                                     << "SpeakerA_Japanese"
                                                     << "  quoted keeps blanks  ";
    QTest::newRow("single quotes") << "Voice"
                                   << "SpeakerB_English"
                                   << "single";
    QTest::newRow("unmatched quotes stay") << "Voice"
                                           << "SpeakerB_Japanese"
                                           << "\"unbalanced'";
    QTest::newRow("comment skipped, first of two counts") << "Voice"
                                                          << "SpeakerC_English"
                                                          << "first";
    QTest::newRow("empty value is not the default") << "Voice"
                                                    << "SpeakerC_Japanese"
                                                    << "";
    QTest::newRow("line without equals is no key") << "Voice"
                                                   << "NoEquals" << QString();
    QTest::newRow("equals inside value") << "Voice"
                                         << "Equals"
                                         << "a=b";
    QTest::newRow("Japanese") << "Voice"
                              << "Japanese" << QStringLiteral("Microsoft Haruka Desktop - 日本語");
    QTest::newRow("blanks in section header") << "availablevoices"
                                              << "Count"
                                              << "0x2";
    QTest::newRow("key of its own section") << "AvailableVoices"
                                            << "Voice0"
                                            << "Microsoft Haruka Desktop - Japanese";
    QTest::newRow("same key in another section") << "Other"
                                                 << "Voice0"
                                                 << "not in the catalogue";
    QTest::newRow("repeated section") << "Voice"
                                      << "Later"
                                      << "from a repeated section";
    QTest::newRow("last line without line end") << "Voice"
                                                << "Last"
                                                << "no line end";
    QTest::newRow("missing key") << "Voice"
                                 << "Nothing" << QString();
    QTest::newRow("missing section") << "Nowhere"
                                     << "SpeakerA_English" << QString();
    QTest::newRow("comment is no key") << "Voice"
                                       << ";SpeakerC_English" << QString();
}

void TestSettingsFile::handWrittenFile() {
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const QString fallback = QStringLiteral("<default>");
    const QString wanted = expected.isNull() ? fallback : expected;

    QString lfText = kHandWritten;
    lfText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QString crText = kHandWritten;
    crText.replace(QStringLiteral("\r\n"), QStringLiteral("\r"));
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    const QList<std::pair<const char*, QByteArray>> encodings = {
        {"UTF-8 with BOM and CR LF", "\xEF\xBB\xBF" + kHandWritten.toUtf8()},
        {"UTF-8 with LF", lfText.toUtf8()},
        {"UTF-8 with CR", crText.toUtf8()},
        {"UTF-16 with BOM", QByteArray(utf16(kHandWritten))}};
    for (const auto& [name, bytes] : encodings) {
        writeBytes(m_path, bytes);
        const QString value = SettingsFile(m_path).readString(section, key, fallback);
        if (value != wanted)
            QFAIL(qPrintable(QStringLiteral("%1: got \"%2\"").arg(name, value)));
    }
    QCOMPARE(SettingsFile(m_path).readInteger(kCatalogueSection, QStringLiteral("count"), 0), 2);
}

void TestSettingsFile::roundTrip_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");
    const QString haruka = QStringLiteral("Microsoft Haruka Desktop - Japanese（日本語）");
    const QString long3000 = QString(3000, u'あ');
    const QString emojiAtCut = QString(2046, u'a') + QStringLiteral("😀");
    QTest::newRow("Japanese") << haruka << haruka;
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("blanks around") << "  padded\t"
                                   << "  padded\t";
    QTest::newRow("double quotes around") << "\"quoted\""
                                          << "\"quoted\"";
    QTest::newRow("single quotes around") << "'x'"
                                          << "'x'";
    QTest::newRow("single quote") << "\""
                                  << "\"";
    QTest::newRow("equals, semicolon, brackets") << "; [a]=b"
                                                 << "; [a]=b";
    QTest::newRow("2047 characters") << QString(2047, u'z') << QString(2047, u'z');
    QTest::newRow("3000 characters cut at 2047") << long3000 << long3000.left(2047);
    QTest::newRow("cut keeps surrogate pairs whole") << emojiAtCut << QString(2046, u'a');
}

void TestSettingsFile::roundTrip() {
    QFETCH(QString, value);
    QFETCH(QString, expected);
    SettingsFile(m_path).writeString(kVoiceSection, QStringLiteral("SpeakerA_Japanese"), value);
    QCOMPARE(SettingsFile(m_path).readString(kVoiceSection, QStringLiteral("SpeakerA_Japanese"),
                                             QStringLiteral("<default>")),
             expected);
}

void TestSettingsFile::writesKeepOtherLinesAndUseLf() {
    SettingsFile file(m_path);
    file.writeString(kVoiceSection, QStringLiteral("SpeakerA_English"), QStringLiteral("Zira"));
    file.writeInteger(kCatalogueSection, QStringLiteral("Count"), 0);
    file.writeString(kVoiceSection, QStringLiteral("SpeakerA_Japanese"), QStringLiteral("春香"));
    file.writeString(kVoiceSection, QStringLiteral("SpeakerA_English"), QStringLiteral("David"));
    QCOMPARE(fileBytes(m_path), QStringLiteral("[Voice]\nSpeakerA_English=David\n"
                                               "SpeakerA_Japanese=春香\n"
                                               "[AvailableVoices]\nCount=0\n")
                                    .toUtf8());

    // A Windows-style file becomes LF without a byte-order mark; every line the write does not
    // touch keeps its bytes, even one that is not valid UTF-8.
    writeBytes(m_path, "\xEF\xBB\xBF; note\r\n[voice]\r\n  speakera_english = old \r\n"
                       "Raw=\xFF\xFE bytes\r\n\r\n[Other]\r\nA=1");
    file.writeString(kVoiceSection, QStringLiteral("SpeakerA_English"), QStringLiteral("new"));
    file.writeString(kVoiceSection, QStringLiteral("SpeakerB_English"), QStringLiteral("added"));
    QCOMPARE(fileBytes(m_path), QByteArray("; note\n[voice]\nSpeakerA_English=new\n"
                                           "Raw=\xFF\xFE bytes\nSpeakerB_English=added\n\n"
                                           "[Other]\nA=1\n"));
}

void TestSettingsFile::lineBreakInValueIsRefused_data() {
    QTest::addColumn<QString>("value");
    QTest::newRow("LF") << "first\n[Voice]\nSpeakerA_English=injected";
    QTest::newRow("CR LF") << "first\r\nsecond";
    QTest::newRow("CR") << "first\rsecond";
}

void TestSettingsFile::lineBreakInValueIsRefused() {
    QFETCH(QString, value);
    SettingsFile file(m_path);
    file.writeString(kVoiceSection, QStringLiteral("SpeakerA_English"), QStringLiteral("Zira"));
    const QByteArray before = fileBytes(m_path);
    try {
        file.writeString(kVoiceSection, QStringLiteral("SpeakerB_English"), value);
        QFAIL("a value with a line break was written");
    } catch (const AppError& error) {
        QCOMPARE(error.message(), writeErrorFor(m_path));
    }
    QCOMPARE(fileBytes(m_path), before);
}

void TestSettingsFile::eraseSection() {
    SettingsFile file(m_path);
    file.eraseSection(kCatalogueSection);
    QVERIFY2(!QFile::exists(m_path), "erasing in a missing file created it");

    writeBytes(m_path, "[Voice]\nA=1\n[availablevoices]\n; old check\nCount=3\nVoice0=x\n"
                       "[Other]\nB=2\n[AVAILABLEVOICES]\nVoice1=y\n");
    file.eraseSection(kCatalogueSection);
    QCOMPARE(fileBytes(m_path), QByteArray("[Voice]\nA=1\n[Other]\nB=2\n"));
    QCOMPARE(file.readInteger(kCatalogueSection, QStringLiteral("Count"), -1), -1);
}

void TestSettingsFile::catalogueRewriteReplacesLongerCatalogue() {
    SettingsFile file(m_path);
    file.writeString(kVoiceSection, QStringLiteral("SpeakerA_English"), QStringLiteral("Zira"));
    rewriteCatalogue(file, sampleCatalogue(8));
    QCOMPARE(catalogueCount(file), 8);

    QList<CatalogueEntry> five = sampleCatalogue(4);
    five.append({five[0].voice, five[0].language, QStringLiteral("OneCore")});
    rewriteCatalogue(file, five);
    QByteArray expected = "[Voice]\nSpeakerA_English=Zira\n[AvailableVoices]\nCount=5\n";
    for (int i = 0; i < five.size(); ++i)
        expected += QStringLiteral("Voice%1=%2\nLanguage%1=%3\nType%1=%4\n")
                        .arg(i)
                        .arg(five[i].voice, five[i].language, five[i].type)
                        .toUtf8();
    QCOMPARE(fileBytes(m_path), expected);
    QCOMPARE(catalogueCount(file), 5);
    QCOMPARE(readCatalogue(file), five);

    rewriteCatalogue(file, {});
    QCOMPARE(fileBytes(m_path), QByteArray("[Voice]\nSpeakerA_English=Zira\n"
                                           "[AvailableVoices]\nCount=0\n"));
    QCOMPARE(catalogueCount(file), 0);
}

void TestSettingsFile::catalogueCountStopsAtPresentEntries_data() {
    QTest::addColumn<QByteArray>("section");
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("voices"); // what readCatalogue delivers
    const QByteArray twoEntries = "Voice0=a\nLanguage0=English\nType0=SAPI\nVoice1=b\n";
    QTest::newRow("as written") << "Count=2\n" + twoEntries << 2 << QStringList{"a", "b"};
    QTest::newRow("huge count stops at the entries present")
        << "Count=2000000000\n" + twoEntries << 2 << QStringList{"a", "b"};
    QTest::newRow("entries beyond the count are not read")
        << "Count=1\n" + twoEntries << 1 << QStringList{"a"};
    QTest::newRow("negative count is empty") << "Count=-3\n" + twoEntries << 0 << QStringList{};
    QTest::newRow("count not a number") << "Count=2x\n" + twoEntries << 0 << QStringList{};
    QTest::newRow("no count") << twoEntries << 0 << QStringList{};
    QTest::newRow("count but no entries") << QByteArray("Count=5\n") << 0 << QStringList{};
    QTest::newRow("gap: missing entry is skipped")
        << QByteArray("Count=9\nvoice0=a\nLanguage3=English\nVOICE3=d\n") << 4
        << QStringList{"a", "d"};
    QTest::newRow("only canonical indexes")
        << QByteArray("Count=9\nVoice0=a\nVoice01=b\nVoice+2=c\nVoiceX=d\n") << 1
        << QStringList{"a"};
    QTest::newRow("sparse index near the count")
        << QByteArray("Count=2000000000\nVoice1999999999=far\n") << 2000000000
        << QStringList{"far"};
}

void TestSettingsFile::catalogueCountStopsAtPresentEntries() {
    QFETCH(QByteArray, section);
    QFETCH(int, count);
    QFETCH(QStringList, voices);
    writeBytes(m_path, "[AvailableVoices]\n" + section + "[Voice]\nVoice5=elsewhere\n");
    const SettingsFile file(m_path);
    QCOMPARE(catalogueCount(file), count);
    QStringList read;
    for (const CatalogueEntry& entry : readCatalogue(file))
        read.append(entry.voice);
    QCOMPARE(read, voices);
}

void TestSettingsFile::speakerVoicesSavedTogether() {
    writeBytes(m_path, "[AvailableVoices]\nCount=0\n[Voice]\nSpeakerC_Japanese=old\n");
    SettingsFile file(m_path);
    const QStringList voices = {"Zira", QStringLiteral("春香"), "David", "", "Mark", ""};
    saveSpeakerVoices(file, voices);
    for (qsizetype i = 0; i < speakerVoiceKeys().size(); ++i)
        QCOMPARE(file.readString(kVoiceSection, speakerVoiceKeys()[i], "<default>"), voices[i]);
    QCOMPARE(file.readInteger(kCatalogueSection, QStringLiteral("Count"), -1), 0);
}

void TestSettingsFile::failedWriteKeepsOldFile_data() {
    QTest::addColumn<int>("operation");
    QTest::newRow("WriteString") << 0;
    QTest::newRow("rewriteCatalogue") << 1;
    QTest::newRow("saveSpeakerVoices") << 2;
}

void TestSettingsFile::failedWriteKeepsOldFile() {
    QFETCH(int, operation);
    SettingsFile file(m_path);
    file.writeString(kVoiceSection, QStringLiteral("SpeakerA_English"), QStringLiteral("Zira"));
    rewriteCatalogue(file, sampleCatalogue(3));
    const QByteArray before = fileBytes(m_path);
    const QString bigValue(4000, u'v');
    const std::function<void()> operations[] = {
        [&] { file.writeString(kVoiceSection, QStringLiteral("SpeakerB_English"), bigValue); },
        [&] { rewriteCatalogue(file, sampleCatalogue(200)); },
        [&] { saveSpeakerVoices(file, QStringList(6, bigValue)); }};
    try {
        const FileSizeLimit limit(before.size() + 10);
        operations[operation]();
        QFAIL("the write did not fail");
    } catch (const AppError& error) {
        QCOMPARE(error.message(), writeErrorFor(m_path));
    }
    QCOMPARE(fileBytes(m_path), before);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden), QStringList{"Lessora.ini"});

    // A path whose folder cannot be made fails the same way.
    writeBytes(m_dir->filePath("plainfile"), "x");
    const QString impossible = m_dir->filePath("plainfile/Documents/Lessora.ini");
    SettingsFile nowhere(impossible);
    QVERIFY_THROWS_EXCEPTION(AppError, nowhere.writeInteger(kCatalogueSection, "Count", 1));
    QCOMPARE(nowhere.readInteger(kCatalogueSection, "Count", 7), 7);
}

void TestSettingsFile::readOnlyFolder() {
    SettingsFile file(m_path);
    file.writeString(kVoiceSection, QStringLiteral("SpeakerA_English"), QStringLiteral("Zira"));
    const QByteArray before = fileBytes(m_path);
    QFile::setPermissions(m_dir->path(), QFile::ReadOwner | QFile::ExeOwner);
    const auto restore = qScopeGuard([&] {
        QFile::setPermissions(m_dir->path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    });
    if (QFileInfo(m_dir->path()).isWritable())
        QSKIP("the folder stays writable for this user (root); the size-limit test covers this");
    try {
        file.writeString(kVoiceSection, QStringLiteral("SpeakerA_English"), QStringLiteral("x"));
        QFAIL("the write did not fail");
    } catch (const AppError& error) {
        QCOMPARE(error.message(), writeErrorFor(m_path));
    }
    QCOMPARE(fileBytes(m_path), before);
}

void TestSettingsFile::twoObjectsSeeEachOthersWrites() {
    const SettingsFile reader(m_path);
    SettingsFile writer(m_path);
    QCOMPARE(reader.readString(kVoiceSection, "SpeakerA_English", "<default>"), "<default>");
    writer.writeString(kVoiceSection, QStringLiteral("SpeakerA_English"), QStringLiteral("Zira"));
    QCOMPARE(reader.readString(kVoiceSection, "SpeakerA_English", ""), "Zira");
    SettingsFile(m_path).eraseSection(kVoiceSection);
    QCOMPARE(writer.readString(kVoiceSection, "SpeakerA_English", "<default>"), "<default>");
}

void TestSettingsFile::locationAndFirstWriteCreatesFolder() {
    // The Documents folder follows the XDG user-dirs setting and need not exist yet.
    const QString documents = m_dir->filePath(QStringLiteral("ドキュメント"));
    QDir(m_dir->path()).mkpath("config");
    writeBytes(m_dir->filePath("config/user-dirs.dirs"),
               "XDG_DOCUMENTS_DIR=\"" + documents.toUtf8() + "\"\n");
    const QByteArray savedConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", m_dir->filePath("config").toUtf8());
    const QString path = settingsFilePath();
    qputenv("XDG_CONFIG_HOME", savedConfig);

    QCOMPARE(path, documents + QStringLiteral("/Lessora.ini"));
    QVERIFY2(!QFileInfo::exists(documents), "the folder was made before any write");
    SettingsFile file(path);
    QCOMPARE(file.readString(kVoiceSection, "SpeakerA_English", "<default>"), "<default>");
    file.writeString(kVoiceSection, QStringLiteral("SpeakerA_English"), QStringLiteral("Zira"));
    QCOMPARE(fileBytes(path), QByteArray("[Voice]\nSpeakerA_English=Zira\n"));
}

// Two instances of the program writing their own keys at the same time: each read-modify-write
// holds the lock, so neither rewrites the file from a copy that misses the other's keys.
void TestSettingsFile::twoInstancesKeepEachOthersKeys() {
    constexpr int kWrites = 60;
    const auto writeKeys = [this](const QString& prefix) {
        SettingsFile file(m_path);
        for (int i = 0; i < kWrites; ++i)
            file.writeString(kVoiceSection, prefix + QString::number(i), QStringLiteral("v"));
    };
    QList<pid_t> children;
    for (const QString& prefix : {QStringLiteral("First"), QStringLiteral("Second")}) {
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            try {
                writeKeys(prefix);
            } catch (const AppError&) {
                _exit(1);
            }
            _exit(0);
        }
        children << child;
    }
    for (const pid_t child : children) {
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    QStringList lost;
    const SettingsFile file(m_path);
    for (const QString& prefix : {QStringLiteral("First"), QStringLiteral("Second")}) {
        for (int i = 0; i < kWrites; ++i) {
            if (file.readString(kVoiceSection, prefix + QString::number(i), "") != "v")
                lost << prefix + QString::number(i);
        }
    }
    QVERIFY2(lost.isEmpty(), qPrintable(lost.join(u' ')));
    QVERIFY(!QFile::exists(m_path + ".lock"));
}

// Another program that rewrites the file with what it holds and replaces it by moving the old
// file aside first, so that the name is briefly absent: a write of ours meanwhile must never
// start from nothing and replace the file, which would cost the sections it does not touch.
void TestSettingsFile::replacementByAnotherProgramLosesNoSection() {
    SettingsFile file(m_path);
    rewriteCatalogue(file, sampleCatalogue(3));
    file.writeString(QStringLiteral("Other"), QStringLiteral("Kept"), QStringLiteral("yes"));

    std::atomic<bool> writing = true;
    std::atomic<bool> nameAbsent = false;
    std::atomic<int> replacements = 0;
    std::thread replacer([&] {
        const QByteArray path = QFile::encodeName(m_path);
        const QByteArray aside = path + ".old";
        const QByteArray fresh = path + ".new";
        for (int i = 0; i < 100'000 && (writing || i < 50); ++i) {
            const QByteArray bytes = fileBytes(m_path);
            QFile out(QFile::decodeName(fresh));
            if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size())
                break;
            out.close();
            nameAbsent = true;
            std::rename(path.constData(), aside.constData());
            std::rename(fresh.constData(), path.constData());
            nameAbsent = false;
            ++replacements;
        }
    });
    const auto stopReplacer = qScopeGuard([&] {
        writing = false;
        if (replacer.joinable())
            replacer.join();
    });
    for (int i = 0; i < 200; ++i) {
        // Each write starts while the name is there; the other program may take it away at any
        // moment of the write. (A write that started inside one absence could read the file
        // that the write before it had created in that same absence.)
        while (nameAbsent)
            std::this_thread::yield();
        try {
            file.writeString(kVoiceSection, QStringLiteral("Key%1").arg(i), QStringLiteral("v"));
        } catch (const AppError& error) {
            QFAIL(qPrintable(error.message()));
        }
    }
    writing = false;
    replacer.join();
    // The other program copies whatever it finds forward, so a section lost on the way is still
    // missing at the end.
    QVERIFY(replacements > 0);
    QCOMPARE(file.readString("Other", "Kept", ""), "yes");
    QCOMPARE(readCatalogue(file), sampleCatalogue(3));
}

// A write killed between making its temporary file and putting it in place leaves that file
// beside the settings; the next write removes it, and nothing else: not even the user's own
// copies with names of the same length.
void TestSettingsFile::staleTemporaryFilesAreRemoved() {
    const QDir folder(m_dir->path());
    for (const char* name :
         {"Lessora.ini.lessora-AbCdEf", "Lessora.ini.lessora-QR5Tuv", "Lessora.ini.backup",
          "Lessora.ini.bak", "Lessora.ini.lessora-AbCdEfG", "Other.ini.lessora-AbCdEf"})
        writeBytes(folder.filePath(name), "[Voice]\nSpeakerA_English=stale\n");
    SettingsFile(m_path).writeString(kVoiceSection, QStringLiteral("SpeakerA_English"), "Zira");
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden, QDir::Name),
             (QStringList{"Lessora.ini", "Lessora.ini.backup", "Lessora.ini.bak",
                          "Lessora.ini.lessora-AbCdEfG", "Other.ini.lessora-AbCdEf"}));
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
