// The English translation: complete for every text of the sources, faithful to each text's
// arguments and shortcut, built into the program, and chosen as --lang or the environment say.
#include "platform/InterfaceLanguage.h"

#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

using namespace lessora;

namespace {

struct Message {
    QString context;
    QString source;
    QString translation;
    bool finished = false;
};

// The messages of a .ts file, or the reason it cannot be read.
QList<Message> readTs(const QString& path, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return {};
    }
    QList<Message> messages;
    QXmlStreamReader xml(&file);
    QString context;
    Message message;
    QString* text = nullptr; // the element being read
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const auto name = xml.name();
            if (name == u"message") {
                message = {context, {}, {}, true};
            } else if (name == u"name") {
                context = xml.readElementText();
            } else if (name == u"source") {
                text = &message.source;
            } else if (name == u"translation") {
                const QString type = xml.attributes().value(QLatin1String("type")).toString();
                message.finished = type.isEmpty();
                text = &message.translation;
            } else if (name == u"byte" && text) {
                *text += QChar(
                    xml.attributes().value(QLatin1String("value")).mid(1).toUInt(nullptr, 16));
            }
        } else if (xml.isCharacters() && text) {
            *text += xml.text();
        } else if (xml.isEndElement()) {
            const auto name = xml.name();
            if (name == u"source" || name == u"translation")
                text = nullptr;
            else if (name == u"message")
                messages << message;
        }
    }
    if (xml.hasError())
        *error = path + QStringLiteral(": ") + xml.errorString();
    return messages;
}

QString described(const Message& message) {
    return QStringLiteral("%1: \"%2\"").arg(message.context, message.source);
}

// The %1, %2, ... a text fills in.
QSet<QString> arguments(const QString& text) {
    static const QRegularExpression argument(QStringLiteral("%\\d+"));
    QSet<QString> found;
    for (const QRegularExpressionMatch& match : argument.globalMatch(text))
        found << match.captured();
    return found;
}

bool hasShortcut(const QString& text) {
    return QString(text).remove(QStringLiteral("&&")).contains(u'&');
}

} // namespace

class TestTranslations : public QObject {
    Q_OBJECT
private slots:
    void everyTextHasItsEnglish();
    void everyTextOfTheSourcesIsInTheTs();
    void englishIsBuiltIn();
    void languageOfTheEnvironment_data();
    void languageOfTheEnvironment();
};

void TestTranslations::everyTextHasItsEnglish() {
    QString error;
    const QList<Message> messages = readTs(QStringLiteral(LESSORA_TS_FILE), &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QVERIFY(messages.size() > 100);
    QStringList missing;
    QStringList unfaithful;
    for (const Message& message : messages) {
        if (!message.finished || message.translation.isEmpty()) {
            missing << described(message);
            continue;
        }
        if (arguments(message.translation) != arguments(message.source))
            unfaithful << described(message) + QStringLiteral(" fills in other arguments");
        if (hasShortcut(message.translation) != hasShortcut(message.source))
            unfaithful << described(message) + QStringLiteral(" loses or gains a shortcut");
        if (message.source.endsWith(u'\n') != message.translation.endsWith(u'\n'))
            unfaithful << described(message) + QStringLiteral(" ends its line differently");
    }
    QVERIFY2(missing.isEmpty(),
             qPrintable(QStringLiteral("no English in translations/lessora_en.ts for:\n") +
                        missing.join(u'\n')));
    QVERIFY2(unfaithful.isEmpty(), qPrintable(unfaithful.join(u'\n')));
}

void TestTranslations::everyTextOfTheSourcesIsInTheTs() {
    // lupdate over the sources, into a copy: what it finds that the committed file lacks.
    if (!QFile::exists(QStringLiteral(LESSORA_LUPDATE)))
        QSKIP("lupdate (qt6-l10n-tools) is not installed");
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("lessora_en.ts"));
    QVERIFY(QFile::copy(QStringLiteral(LESSORA_TS_FILE), copy));
    QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner);
    QProcess lupdate;
    lupdate.start(QStringLiteral(LESSORA_LUPDATE),
                  {QStringLiteral("-source-language"), QStringLiteral("ja"),
                   QStringLiteral("-locations"), QStringLiteral("none"), QStringLiteral("-silent"),
                   QStringLiteral("@" LESSORA_LUPDATE_LIST), QStringLiteral("-ts"), copy});
    QVERIFY(lupdate.waitForFinished(120000));
    QVERIFY2(lupdate.exitCode() == 0, lupdate.readAllStandardError().constData());
    QString error;
    const QList<Message> committed = readTs(QStringLiteral(LESSORA_TS_FILE), &error);
    const QList<Message> found = readTs(copy, &error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QSet<QString> known;
    for (const Message& message : committed)
        known << message.context + u'\x1f' + message.source;
    QStringList absent;
    QStringList gone;
    for (const Message& message : found) {
        if (!known.contains(message.context + u'\x1f' + message.source))
            absent << described(message);
        else if (!message.finished && !message.translation.isEmpty())
            gone << described(message); // lupdate marks a text no source has any more
    }
    QVERIFY2(absent.isEmpty(),
             qPrintable(QStringLiteral("texts of the sources missing from translations/"
                                       "lessora_en.ts (run `cmake --build build --target "
                                       "lessora_lupdate`, then translate them):\n") +
                        absent.join(u'\n')));
    QVERIFY2(gone.isEmpty(),
             qPrintable(QStringLiteral("texts no source has any more:\n") + gone.join(u'\n')));
}

void TestTranslations::englishIsBuiltIn() {
    QVERIFY(QFile::exists(QStringLiteral(":/i18n/lessora_en.qm")));
    QCOMPARE(programTextLanguage(), InterfaceLanguage::Japanese);
    const auto saved = [] { return QCoreApplication::translate("Files", "保存しました。"); };
    QCOMPARE(saved(), QStringLiteral("保存しました。"));
    QVERIFY(showProgramTextsIn(InterfaceLanguage::English));
    QCOMPARE(programTextLanguage(), InterfaceLanguage::English);
    QCOMPARE(saved(), QStringLiteral("Saved."));
    QVERIFY(showProgramTextsIn(InterfaceLanguage::English)); // once is enough
    QVERIFY(showProgramTextsIn(InterfaceLanguage::Japanese));
    QCOMPARE(saved(), QStringLiteral("保存しました。"));
    QCOMPARE(interfaceLanguageOfCode(u"EN"), InterfaceLanguage::English);
    QCOMPARE(interfaceLanguageOfCode(u"ja"), InterfaceLanguage::Japanese);
    QCOMPARE(interfaceLanguageOfCode(u"de"), std::nullopt);
    QCOMPARE(interfaceLanguageOfCode(u""), std::nullopt);
}

void TestTranslations::languageOfTheEnvironment_data() {
    QTest::addColumn<QByteArray>("language"); // LANGUAGE
    QTest::addColumn<QByteArray>("all");      // LC_ALL
    QTest::addColumn<QByteArray>("messages"); // LC_MESSAGES
    QTest::addColumn<QByteArray>("lang");     // LANG
    QTest::addColumn<bool>("english");
    QTest::newRow("nothing set") << QByteArray() << QByteArray() << QByteArray() << QByteArray()
                                 << false;
    QTest::newRow("C") << QByteArray() << QByteArray() << QByteArray() << QByteArray("C.UTF-8")
                       << false;
    QTest::newRow("POSIX, LANGUAGE unread")
        << QByteArray("en") << QByteArray("POSIX") << QByteArray() << QByteArray() << false;
    QTest::newRow("English") << QByteArray() << QByteArray() << QByteArray()
                             << QByteArray("en_US.UTF-8") << true;
    QTest::newRow("German") << QByteArray() << QByteArray() << QByteArray()
                            << QByteArray("de_DE.UTF-8") << true;
    QTest::newRow("Japanese") << QByteArray() << QByteArray() << QByteArray()
                              << QByteArray("ja_JP.UTF-8") << false;
    QTest::newRow("LC_ALL before LANG") << QByteArray() << QByteArray("ja_JP.UTF-8") << QByteArray()
                                        << QByteArray("en_GB.UTF-8") << false;
    QTest::newRow("LC_MESSAGES before LANG")
        << QByteArray() << QByteArray() << QByteArray("en_GB.UTF-8") << QByteArray("ja_JP.UTF-8")
        << true;
    QTest::newRow("LANGUAGE first") << QByteArray("ja:en") << QByteArray() << QByteArray()
                                    << QByteArray("en_US.UTF-8") << false;
}

void TestTranslations::languageOfTheEnvironment() {
    QFETCH(QByteArray, language);
    QFETCH(QByteArray, all);
    QFETCH(QByteArray, messages);
    QFETCH(QByteArray, lang);
    QFETCH(bool, english);
    const QList<std::pair<const char*, QByteArray>> variables = {
        {"LANGUAGE", language}, {"LC_ALL", all}, {"LC_MESSAGES", messages}, {"LANG", lang}};
    QHash<QByteArray, QByteArray> before;
    for (const auto& [name, value] : variables) {
        before.insert(name, qgetenv(name));
        value.isEmpty() ? qunsetenv(name) : qputenv(name, value);
    }
    const InterfaceLanguage found = interfaceLanguageOfEnvironment();
    for (const auto& [name, value] : variables)
        before[name].isEmpty() ? qunsetenv(name) : qputenv(name, before[name]);
    QCOMPARE(found, english ? InterfaceLanguage::English : InterfaceLanguage::Japanese);
}

QTEST_GUILESS_MAIN(TestTranslations)
#include "tst_translations.moc"
