#include "app/MainWindow.h"
#include "app/VoiceCheckDialog.h"
#include "app/VoiceSettingsDialog.h"
#include "settings/LanguageName.h"
#include "settings/SettingsFile.h"
#include "support/Controls.h"
#include "support/FakeServices.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <functional>
#include <memory>

using namespace lessora;
using namespace lessora::test;

namespace {

const QString kEnglishSentence = QStringLiteral("This is a voice test.");
const QString kJapaneseSentence = QStringLiteral("これは音声のテストです。");

QStringList lines(const QListWidget& list) {
    QStringList result;
    for (int i = 0; i < list.count(); ++i)
        result << list.item(i)->text();
    return result;
}

QList<CatalogueEntry> storedCatalogue(const QString& path) {
    const SettingsFile file(path);
    QList<CatalogueEntry> entries;
    const int count = file.readInteger(kCatalogueSection, QStringLiteral("Count"), -1);
    for (int i = 0; i < count; ++i) {
        const auto read = [&](const char* key) {
            return file.readString(kCatalogueSection, QLatin1String(key) + QString::number(i), {});
        };
        entries.append({read("Voice"), read("Language"), read("Type")});
    }
    return entries;
}

// Runs `step` each time the code under test lets pending events through, until stopped.
class EachEventPass {
public:
    explicit EachEventPass(std::function<void()> step)
        : m_step(std::move(step)) {
        post();
    }
    ~EachEventPass() { *m_running = false; }

private:
    void post() {
        QMetaObject::invokeMethod(
            &m_context,
            [this, running = m_running] {
                if (!*running)
                    return;
                m_step();
                post();
            },
            Qt::QueuedConnection);
    }

    QObject m_context;
    std::shared_ptr<bool> m_running = std::make_shared<bool>(true);
    std::function<void()> m_step;
};

} // namespace

class TestVoiceCheck : public QObject {
    Q_OBJECT
private slots:
    void missingVoiceNoteUnderTheLists_data();
    void missingVoiceNoteUnderTheLists();
    void languageName_data();
    void languageName();
    void creationListsOrdinaryVoices();
    void checkRecordsUsableVoicesOfBothCategories();
    void checkWithoutUsableVoice();
    void listFollowsTheCheck();
    void failureStopsTheCheck_data();
    void failureStopsTheCheck();
    void secondCheckAndClosingRefusedWhileChecking();
    void voiceList();
};

void TestVoiceCheck::languageName_data() {
    QTest::addColumn<QString>("attribute");
    QTest::addColumn<QString>("name");
    QTest::newRow("English with sublanguage list") << "409;9"
                                                   << "English";
    QTest::newRow("Japanese") << "411"
                              << "Japanese";
    QTest::newRow("first part decides") << "809;411"
                                        << "English";
    QTest::newRow("unreadable part skipped") << "zz;411"
                                             << "Japanese";
    QTest::newRow("other language skipped") << "804;411"
                                            << "Japanese";
    QTest::newRow("blanks around") << " 411 "
                                   << "Japanese";
    QTest::newRow("control characters around") << "\t411\r\n"
                                               << "Japanese";
    QTest::newRow("primary language of a large identifier") << "c09"
                                                            << "English";
    QTest::newRow("leading zeros fit") << "000000000411"
                                       << "Japanese";
    QTest::newRow("beyond 32 bits skipped") << "100000411;9"
                                            << "English";
    QTest::newRow("Chinese") << "804"
                             << "Unknown";
    QTest::newRow("prefix not accepted") << "0x411"
                                         << "Unknown";
    QTest::newRow("sign not accepted") << "+411"
                                       << "Unknown";
    QTest::newRow("inner blank") << "4 11"
                                 << "Unknown";
    QTest::newRow("full-width digits") << QStringLiteral("４１１") << "Unknown";
    QTest::newRow("empty") << ""
                           << "Unknown";
    QTest::newRow("empty parts") << ";;"
                                 << "Unknown";
}

void TestVoiceCheck::languageName() {
    QFETCH(QString, attribute);
    QFETCH(QString, name);
    QCOMPARE(languageNameOf(attribute), name);
}

void TestVoiceCheck::creationListsOrdinaryVoices() {
    FakeServices fakes;
    fakes.speech.addVoice("Voice A", "409;9");
    fakes.speech.addVoice("Voice B", "411").attributeError = "no attribute";
    fakes.speech.addVoice("Voice C", "");
    fakes.speech.addVoice("Core D", "411", true);
    VoiceCheckDialog window(fakes.services());
    QCOMPARE(lines(*control<QListWidget>(window, "lstVoices")),
             (QStringList{"Voice A  [Language=409;9]",
                          QStringLiteral("Voice B  [Language=取得できません]"),
                          "Voice C  [Language=]"}));
    QCOMPARE(window.windowTitle(), QStringLiteral("使用可能な音声の確認"));
    QCOMPARE(fakes.speech.operationDepth, 0);
    QVERIFY(fakes.messages.messages.isEmpty());
}

void TestVoiceCheck::checkRecordsUsableVoicesOfBothCategories() {
    FakeServices fakes;
    fakes.speech.addVoice("Eng", "409");
    fakes.speech.addVoice("Jpn", "411");
    fakes.speech.addVoice("Broken", "409").speakError = "cannot speak";
    fakes.speech.addVoice("Odd", "804");
    fakes.speech.addVoice("NoAttr", "409").attributeError = "no attribute";
    fakes.speech.addVoice("Jpn", "411", true);
    fakes.speech.addVoice("Core Bad", "411", true).setVoiceError = "not registered";
    fakes.speech.addVoice("Core Eng", "9", true);
    {
        // A longer catalogue from an earlier check must not leave entries behind.
        SettingsFile file(fakes.settingsPath());
        rewriteCatalogue(file, QList<CatalogueEntry>(9, {"Old", "English", "SAPI"}));
    }
    VoiceCheckDialog window(fakes.services());
    // The list tells only usable from unusable; the reasons are in the log.
    QTest::ignoreMessage(QtInfoMsg, "no language for a voice: no attribute");
    QTest::ignoreMessage(QtInfoMsg, "voice unusable: \"Broken\" : cannot speak");
    QTest::ignoreMessage(QtInfoMsg, "voice unusable: \"Core Bad\" : not registered");
    control<QPushButton>(window, "btnCheckAllVoices")->click();

    QCOMPARE(lines(*control<QListWidget>(window, "lstVoices")),
             (QStringList{QStringLiteral("○ 使用可能  [SAPI] Eng [English]"),
                          QStringLiteral("○ 使用可能  [SAPI] Jpn [Japanese]"),
                          QStringLiteral("× 使用不可  [SAPI] Broken [English]"),
                          QStringLiteral("○ 使用可能  [SAPI] Odd [Unknown]"),
                          QStringLiteral("○ 使用可能  [SAPI] NoAttr [Unknown]"),
                          QStringLiteral("○ 使用可能  [OneCore] Jpn [Japanese]"),
                          QStringLiteral("× 使用不可  [OneCore] Core Bad [Japanese]"),
                          QStringLiteral("○ 使用可能  [OneCore] Core Eng [English]")}));
    QCOMPARE(storedCatalogue(fakes.settingsPath()),
             (QList<CatalogueEntry>{{"Eng", "English", "SAPI"},
                                    {"Jpn", "Japanese", "SAPI"},
                                    {"Odd", "Unknown", "SAPI"},
                                    {"NoAttr", "Unknown", "SAPI"},
                                    {"Jpn", "Japanese", "OneCore"},
                                    {"Core Eng", "English", "OneCore"}}));
    const SettingsFile file(fakes.settingsPath());
    QCOMPARE(file.readString(kCatalogueSection, "Voice6", "absent"), QStringLiteral("absent"));

    QStringList sentences;
    for (const auto& utterance : fakes.speech.spoken) {
        QCOMPARE(utterance.flags, kSpeakSync);
        sentences << utterance.voice + ": " + utterance.text;
    }
    QCOMPARE(sentences,
             (QStringList{"Eng: " + kEnglishSentence, "Jpn: " + kJapaneseSentence,
                          "Odd: " + kEnglishSentence, "NoAttr: " + kEnglishSentence,
                          "Jpn: " + kJapaneseSentence, "Core Eng: " + kEnglishSentence}));
    QCOMPARE(fakes.speech.operationDepth, 0);
    QVERIFY(fakes.messages.messages.isEmpty());
}

void TestVoiceCheck::checkWithoutUsableVoice() {
    FakeServices fakes;
    fakes.speech.addVoice("Mute", "409").speakError = "no audio";
    fakes.speech.addVoice("Locked", "411", true).setVoiceError = "locked";
    {
        SettingsFile file(fakes.settingsPath());
        rewriteCatalogue(file, {{"Old", "English", "SAPI"}});
    }
    VoiceCheckDialog window(fakes.services());
    control<QPushButton>(window, "btnCheckAllVoices")->click();
    QCOMPARE(lines(*control<QListWidget>(window, "lstVoices")),
             (QStringList{QStringLiteral("× 使用不可  [SAPI] Mute [English]"),
                          QStringLiteral("× 使用不可  [OneCore] Locked [Japanese]")}));
    const SettingsFile file(fakes.settingsPath());
    QCOMPARE(file.readString(kCatalogueSection, "Count", {}), QStringLiteral("0"));
    QCOMPARE(file.readString(kCatalogueSection, "Voice0", "absent"), QStringLiteral("absent"));
    QVERIFY(fakes.messages.messages.isEmpty());
}

void TestVoiceCheck::listFollowsTheCheck() {
    FakeServices fakes;
    fakes.speech.addVoice("Eng", "409");
    fakes.speech.addVoice("Core Bad", "411", true).setVoiceError = "not registered";
    VoiceCheckDialog window(fakes.services());
    QStringList seen;
    {
        EachEventPass snapshot([&] {
            seen << QString::number(control<QListWidget>(window, "lstVoices")->currentRow()) + " " +
                        control<QListWidget>(window, "lstVoices")
                            ->item(control<QListWidget>(window, "lstVoices")->count() - 1)
                            ->text();
        });
        window.checkAllVoices();
    }
    QCOMPARE(seen, (QStringList{QStringLiteral("0 ▶ 確認中...  [SAPI] Eng [English]"),
                                QStringLiteral("0 ○ 使用可能  [SAPI] Eng [English]"),
                                QStringLiteral("1 ▶ 確認中...  [OneCore] Core Bad [Japanese]"),
                                QStringLiteral("1 × 使用不可  [OneCore] Core Bad [Japanese]")}));
}

void TestVoiceCheck::failureStopsTheCheck_data() {
    QTest::addColumn<FakeOp>("op");
    QTest::addColumn<bool>("listKept");
    QTest::newRow("voice object") << FakeOp::CreateVoice << true;
    QTest::newRow("ordinary voices") << FakeOp::GetVoices << true;
    QTest::newRow("category") << FakeOp::CreateTokenCategory << true;
    QTest::newRow("category id") << FakeOp::SetId << true;
    QTest::newRow("second category voices") << FakeOp::EnumerateTokens << true;
    QTest::newRow("description") << FakeOp::GetDescription << false;
}

void TestVoiceCheck::failureStopsTheCheck() {
    QFETCH(FakeOp, op);
    QFETCH(bool, listKept);
    FakeServices fakes;
    fakes.speech.addVoice("Eng", "409");
    const QList<CatalogueEntry> earlier{{"Old", "English", "SAPI"}};
    {
        SettingsFile file(fakes.settingsPath());
        rewriteCatalogue(file, earlier);
    }
    VoiceCheckDialog window(fakes.services());
    const QStringList created = lines(*control<QListWidget>(window, "lstVoices"));
    fakes.speech.failOperation(op, "engine down", 1);
    control<QPushButton>(window, "btnCheckAllVoices")->click();

    QCOMPARE(fakes.messages.messages, QStringList{"engine down."});
    QCOMPARE(lines(*control<QListWidget>(window, "lstVoices")), listKept ? created : QStringList());
    QCOMPARE(storedCatalogue(fakes.settingsPath()), earlier);
    QCOMPARE(fakes.speech.operationDepth, 0);
    QVERIFY(!window.isChecking());
    QVERIFY(control<QPushButton>(window, "btnCheckAllVoices")->isEnabled());
}

void TestVoiceCheck::secondCheckAndClosingRefusedWhileChecking() {
    FakeServices fakes;
    fakes.speech.addVoice("Eng", "409");
    fakes.speech.addVoice("Jpn", "411", true);
    VoiceCheckDialog window(fakes.services());
    window.show();
    int passes = 0;
    {
        EachEventPass tryToInterfere([&] {
            ++passes;
            QVERIFY(window.isChecking());
            QVERIFY(!control<QPushButton>(window, "btnCheckAllVoices")->isEnabled());
            control<QPushButton>(window, "btnCheckAllVoices")->click();
            window.checkAllVoices();
            QTest::keyClick(&window, Qt::Key_Escape);
            window.reject();
            QVERIFY(!window.close());
            QVERIFY(window.isVisible());
        });
        control<QPushButton>(window, "btnCheckAllVoices")->click();
    }
    QCOMPARE(passes, 4);
    QCOMPARE(fakes.speech.spoken.size(), 2);
    QCOMPARE(lines(*control<QListWidget>(window, "lstVoices")),
             (QStringList{QStringLiteral("○ 使用可能  [SAPI] Eng [English]"),
                          QStringLiteral("○ 使用可能  [OneCore] Jpn [Japanese]")}));
    QCOMPARE(storedCatalogue(fakes.settingsPath()).size(), 2);
    QCOMPARE(fakes.speech.operationDepth, 0);

    QVERIFY(control<QPushButton>(window, "btnCheckAllVoices")->isEnabled());
    QVERIFY(window.close());
    QVERIFY(!window.isVisible());
}

void TestVoiceCheck::voiceList() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    control<QPushButton>(form, "btnVoiceList")->click();
    QCOMPARE(fakes.messages.messages, QStringList{QString()});

    fakes.messages.messages.clear();
    fakes.speech.addVoice("Voice A", "409");
    fakes.speech.addVoice(QStringLiteral("音声 B"), "411");
    fakes.speech.addVoice("Voice C", "409");
    fakes.speech.addVoice("Core D", "411", true);
    control<QPushButton>(form, "btnVoiceList")->click();
    QCOMPARE(fakes.messages.messages,
             QStringList{QStringLiteral("0: Voice A\r\n1: 音声 B\r\n2: Voice C\r\n")});
    QCOMPARE(fakes.speech.operationDepth, 0);

    fakes.messages.messages.clear();
    fakes.speech.failOperation(FakeOp::GetDescription, "no description", 1);
    control<QPushButton>(form, "btnVoiceList")->click();
    QCOMPARE(fakes.messages.messages, QStringList{"no description."});
    QCOMPARE(fakes.speech.operationDepth, 0);
}

using VoiceWindowFactory = std::function<std::unique_ptr<QDialog>(const Services&)>;
Q_DECLARE_METATYPE(VoiceWindowFactory)

// Open JTalk without its HTS voice: both voice windows say so on one line under their lists,
// with the package's name; otherwise they have no such line.
void TestVoiceCheck::missingVoiceNoteUnderTheLists_data() {
    QTest::addColumn<VoiceWindowFactory>("create");
    QTest::addColumn<QString>("missing");
    const VoiceWindowFactory check = [](const Services& services) {
        return std::unique_ptr<QDialog>(new VoiceCheckDialog(services));
    };
    const VoiceWindowFactory settings = [](const Services& services) {
        return std::unique_ptr<QDialog>(new VoiceSettingsDialog(services));
    };
    const QString package = QStringLiteral("hts-voice-nitech-jp-atr503-m001");
    QTest::newRow("voice check, all installed") << check << QString();
    QTest::newRow("voice check, voice missing") << check << package;
    QTest::newRow("voice settings, all installed") << settings << QString();
    QTest::newRow("voice settings, voice missing") << settings << package;
}

void TestVoiceCheck::missingVoiceNoteUnderTheLists() {
    QFETCH(VoiceWindowFactory, create);
    QFETCH(QString, missing);
    FakeServices fakes;
    fakes.speech.addVoice("Eng One", "409");
    fakes.speech.missingVoice = missing;
    const std::unique_ptr<QDialog> window = create(fakes.services());
    const auto* note = window->findChild<QLabel*>(QStringLiteral("lblMissingVoice"));
    QCOMPARE(note != nullptr, !missing.isEmpty());
    if (!note)
        return;

    QCOMPARE(note->text().count(missing), 1);
    QVERIFY(note->isVisibleTo(window.get()));
    QVERIFY(window->rect().contains(note->geometry()));
    QVERIFY2(note->fontMetrics().horizontalAdvance(note->text()) <= note->width(),
             "the line fits its place");
    for (const QWidget* other : window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other == note)
            continue;
        QVERIFY2(!other->geometry().intersects(note->geometry()), qPrintable(other->objectName()));
        if (qobject_cast<const QListWidget*>(other) || qobject_cast<const QComboBox*>(other))
            QVERIFY2(note->y() > other->geometry().bottom(), qPrintable(other->objectName()));
    }
}

QTEST_MAIN(TestVoiceCheck)
#include "tst_voicecheckdialog.moc"
