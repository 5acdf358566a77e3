// Start-up: the command line of lessora and Qt's own texts in Japanese.
#include "app/CommandLine.h"
#include "app/QtTranslations.h"

#include <QFile>
#include <QTest>

using namespace lessora;

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void commandLine_data();
    void commandLine();
    void languageOption_data();
    void languageOption();
    void qtOptionsAreLeftToQt();
    void qtTextsAreJapanese();
};

void TestStartup::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("error");
    const int run = int(CommandLine::Action::Run);
    const int help = int(CommandLine::Action::Help);
    const int version = int(CommandLine::Action::Version);
    const int error = int(CommandLine::Action::Error);
    QTest::newRow("nothing") << QStringList() << run << ""
                             << "";
    QTest::newRow("a lesson") << QStringList{"lesson.json"} << run << "lesson.json"
                              << "";
    QTest::newRow("a Japanese name") << QStringList{QStringLiteral("/home/u/会話 1.json")} << run
                                     << QStringLiteral("/home/u/会話 1.json") << "";
    QTest::newRow("a file URL") << QStringList{"file:///home/u/a%20b.json"} << run
                                << "/home/u/a b.json"
                                << "";
    QTest::newRow("a name that starts with a dash, after --")
        << QStringList{"--", "-x.json"} << run << "-x.json"
        << "";
    QTest::newRow("--help") << QStringList{"lesson.json", "--help"} << help << ""
                            << "";
    QTest::newRow("-h") << QStringList{"-h"} << help << ""
                        << "";
    QTest::newRow("--version") << QStringList{"--version"} << version << ""
                               << "";
    QTest::newRow("two lessons") << QStringList{"a.json", "b.json"} << error << ""
                                 << "only one lesson file can be opened";
    QTest::newRow("unknown option") << QStringList{"--play"} << error << ""
                                    << "unknown option: --play";
    QTest::newRow("empty name") << QStringList{""} << error << ""
                                << "the lesson file name is empty";
}

void TestStartup::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(int, action);
    QFETCH(QString, file);
    QFETCH(QString, error);
    const CommandLine parsed = parseCommandLine(arguments);
    QCOMPARE(int(parsed.action), action);
    QCOMPARE(parsed.lessonFile, file);
    QCOMPARE(parsed.error, error);
}

void TestStartup::languageOption_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("language"); // "" for no choice
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("error");
    QTest::newRow("none") << QStringList{"a.json"} << ""
                          << "a.json"
                          << "";
    QTest::newRow("--lang en") << QStringList{"--lang", "en", "a.json"} << "en"
                               << "a.json"
                               << "";
    QTest::newRow("--lang=ja after the file") << QStringList{"a.json", "--lang=ja"} << "ja"
                                              << "a.json"
                                              << "";
    QTest::newRow("the last one counts") << QStringList{"--lang", "ja", "--lang", "EN"} << "en"
                                         << ""
                                         << "";
    QTest::newRow("unknown language") << QStringList{"--lang", "de"} << ""
                                      << ""
                                      << "unknown language for --lang: de (ja or en)";
    QTest::newRow("no language") << QStringList{"a.json", "--lang"} << ""
                                 << ""
                                 << "--lang needs a language: ja or en";
    QTest::newRow("a file named --lang after --") << QStringList{"--", "--lang"} << ""
                                                  << "--lang"
                                                  << "";
}

void TestStartup::languageOption() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, language);
    QFETCH(QString, file);
    QFETCH(QString, error);
    const CommandLine parsed = parseCommandLine(arguments);
    QCOMPARE(parsed.error, error);
    QCOMPARE(parsed.lessonFile, file);
    QCOMPARE(parsed.language ? codeOfInterfaceLanguage(*parsed.language) : QString(), language);
}

void TestStartup::qtOptionsAreLeftToQt() {
    QVERIFY(mayBeQtOption("-platform"));
    QVERIFY(mayBeQtOption("--style=fusion"));
    QVERIFY(!mayBeQtOption("--play"));
    QVERIFY(!mayBeQtOption("-"));
}

void TestStartup::qtTextsAreJapanese() {
    QVERIFY2(installQtJapaneseTranslations(*QCoreApplication::instance()),
             "qt6-translations-l10n is not installed");
    QFile missing(QStringLiteral("/nonexistent/lesson.json"));
    QVERIFY(!missing.open(QIODevice::ReadOnly));
    QCOMPARE(missing.errorString(),
             QCoreApplication::translate("QIODevice", "No such file or directory"));
    QVERIFY2(missing.errorString() != QLatin1String("No such file or directory"),
             qPrintable(missing.errorString()));
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("キャンセル"));
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
