#include "app/VoiceSettingsDialog.h"
#include "settings/SettingsFile.h"
#include "settings/Speakers.h"
#include "support/Controls.h"
#include "support/FakeServices.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>

using namespace lessora;
using namespace lessora::test;

namespace {

const QString kEnglishSentence = QStringLiteral("This is a voice test.");
const QString kJapaneseSentence = QStringLiteral("これは音声のテストです。");

QStringList entries(const QComboBox* comboBox) {
    QStringList result;
    for (int i = 0; i < comboBox->count(); ++i)
        result << comboBox->itemText(i);
    return result;
}

// Each combo box's selected text in the standard order; "-" where nothing is selected.
QStringList selections(const VoiceSettingsDialog& window) {
    QStringList result;
    for (const QComboBox* comboBox : {control<QComboBox>(window, "cmbVoiceAEnglish"),
                                      control<QComboBox>(window, "cmbVoiceAJapanese"),
                                      control<QComboBox>(window, "cmbVoiceBEnglish"),
                                      control<QComboBox>(window, "cmbVoiceBJapanese"),
                                      control<QComboBox>(window, "cmbVoiceCEnglish"),
                                      control<QComboBox>(window, "cmbVoiceCJapanese")})
        result << (comboBox->currentIndex() < 0 ? QStringLiteral("-") : comboBox->currentText());
    return result;
}

QList<QComboBox*> englishLists(const VoiceSettingsDialog& window) {
    return {control<QComboBox>(window, "cmbVoiceAEnglish"),
            control<QComboBox>(window, "cmbVoiceBEnglish"),
            control<QComboBox>(window, "cmbVoiceCEnglish")};
}

QList<QComboBox*> japaneseLists(const VoiceSettingsDialog& window) {
    return {control<QComboBox>(window, "cmbVoiceAJapanese"),
            control<QComboBox>(window, "cmbVoiceBJapanese"),
            control<QComboBox>(window, "cmbVoiceCJapanese")};
}

void writeSpeakerVoices(const QString& path, const QStringList& voices) {
    SettingsFile file(path);
    for (int i = 0; i < voices.size(); ++i)
        file.writeString(kVoiceSection, speakerVoiceKeys()[i], voices[i]);
}

QStringList readSpeakerVoices(const QString& path) {
    const SettingsFile file(path);
    QStringList voices;
    for (const QString& key : speakerVoiceKeys())
        voices << file.readString(kVoiceSection, key, QStringLiteral("absent"));
    return voices;
}

void writeCatalogue(const QString& path, const QList<CatalogueEntry>& catalogue) {
    SettingsFile file(path);
    rewriteCatalogue(file, catalogue);
}

// Ordinary voices "Eng One", "Jpn One", "Eng Two"; second category "Jpn Core" and a second
// "Eng One" that cannot be selected, to show which of the two a test uses.
struct Fixture {
    FakeServices fakes;
    Fixture() {
        fakes.speech.addVoice("Eng One", "409");
        fakes.speech.addVoice("Jpn One", "411");
        fakes.speech.addVoice("Eng Two", "809");
        fakes.speech.addVoice("Jpn Core", "411", true);
        fakes.speech.addVoice("Eng One", "409", true).setVoiceError = "second category voice used";
    }
    QString path() const { return fakes.settingsPath(); }
};

const QStringList kOrdinaryVoices{"Eng One", "Jpn One", "Eng Two"};

} // namespace

class TestVoiceSettings : public QObject {
    Q_OBJECT
private slots:
    void creationWithoutSettingsFile();
    void creationWithCatalogue();
    void allVoicesDropsSecondCategorySelection();
    void allVoicesFailureKeepsLists();
    void availableVoicesWithoutCatalogue_data();
    void availableVoicesWithoutCatalogue();
    void availableVoicesKeepsOnlyListedSelections();
    void testVoice_data();
    void testVoice();
    void testVoiceStopsWhenSecondCategoryCannotBeOpened();
    void saveWritesTheSixKeysAndCloses();
    void saveFailureKeepsWindowOpen();
    void cancelAndFrameCloseKeepEverything();
};

void TestVoiceSettings::creationWithoutSettingsFile() {
    Fixture f;
    VoiceSettingsDialog window(f.fakes.services());
    for (const QComboBox* comboBox : englishLists(window) + japaneseLists(window)) {
        QCOMPARE(entries(comboBox), kOrdinaryVoices);
        QVERIFY(!comboBox->isEditable());
    }
    QCOMPARE(selections(window), QStringList(6, "Eng One"));
    QCOMPARE(f.fakes.speech.operationDepth, 0);
    QVERIFY(f.fakes.messages.messages.isEmpty());
    QVERIFY(!QFile::exists(f.path()));
}

void TestVoiceSettings::creationWithCatalogue() {
    Fixture f;
    writeCatalogue(f.path(), {{"Eng Two", "English", "SAPI"},
                              {"Jpn Core", "japanese", "OneCore"},
                              {"Mystery", "Unknown", "SAPI"},
                              {"", "English", "SAPI"},
                              {"Eng One", "ENGLISH", "SAPI"},
                              {"Jpn One", "Japanese", "SAPI"}});
    // A saved voice in other letter case is found; one no longer listed falls back to the first.
    writeSpeakerVoices(f.path(), {"eng one", "Gone Voice", "", "JPN ONE", "Eng Two", "Jpn Core"});
    VoiceSettingsDialog window(f.fakes.services());
    for (const QComboBox* comboBox : englishLists(window))
        QCOMPARE(entries(comboBox), (QStringList{"Eng Two", "Eng One"}));
    for (const QComboBox* comboBox : japaneseLists(window))
        QCOMPARE(entries(comboBox), (QStringList{"Jpn Core", "Jpn One"}));
    QCOMPARE(selections(window),
             (QStringList{"Eng One", "Jpn Core", "Eng Two", "Jpn One", "Eng Two", "Jpn Core"}));
    QCOMPARE(f.fakes.speech.operationsBegun, 0);
}

void TestVoiceSettings::allVoicesDropsSecondCategorySelection() {
    Fixture f;
    writeCatalogue(f.path(), {{"Eng Two", "English", "SAPI"}, {"Jpn Core", "Japanese", "OneCore"}});
    VoiceSettingsDialog window(f.fakes.services());
    QCOMPARE(selections(window),
             (QStringList{"Eng Two", "Jpn Core", "Eng Two", "Jpn Core", "Eng Two", "Jpn Core"}));

    control<QPushButton>(window, "btnAllVoices")->click();
    for (const QComboBox* comboBox : englishLists(window) + japaneseLists(window))
        QCOMPARE(entries(comboBox), kOrdinaryVoices);
    QCOMPARE(selections(window), (QStringList{"Eng Two", "-", "Eng Two", "-", "Eng Two", "-"}));
    QCOMPARE(f.fakes.speech.operationDepth, 0);

    control<QPushButton>(window, "btnOK")->click();
    QCOMPARE(readSpeakerVoices(f.path()),
             (QStringList{"Eng Two", "", "Eng Two", "", "Eng Two", ""}));
}

void TestVoiceSettings::allVoicesFailureKeepsLists() {
    Fixture f;
    writeCatalogue(f.path(), {{"Eng Two", "English", "SAPI"}, {"Jpn Core", "Japanese", "OneCore"}});
    VoiceSettingsDialog window(f.fakes.services());
    const QStringList before = selections(window);
    f.fakes.speech.failOperation(FakeOp::GetDescription, "engine down", 1);
    control<QPushButton>(window, "btnAllVoices")->click();
    QCOMPARE(f.fakes.messages.messages, QStringList{"engine down."});
    QCOMPARE(entries(control<QComboBox>(window, "cmbVoiceAEnglish")), QStringList{"Eng Two"});
    QCOMPARE(selections(window), before);
    QCOMPARE(f.fakes.speech.operationDepth, 0);
}

void TestVoiceSettings::availableVoicesWithoutCatalogue_data() {
    QTest::addColumn<QString>("count");
    QTest::newRow("no settings file") << QString();
    QTest::newRow("count 0") << "0";
    QTest::newRow("negative count") << "-2";
}

void TestVoiceSettings::availableVoicesWithoutCatalogue() {
    QFETCH(QString, count);
    Fixture f;
    VoiceSettingsDialog window(f.fakes.services());
    control<QComboBox>(window, "cmbVoiceBJapanese")->setCurrentIndex(1);
    const QStringList before = selections(window);
    if (!count.isNull()) {
        SettingsFile file(f.path());
        file.writeString(kCatalogueSection, "Count", count);
        file.writeString(kCatalogueSection, "Voice0", "Eng One");
        file.writeString(kCatalogueSection, "Language0", "English");
    }
    control<QPushButton>(window, "btnAvailableVoices")->click();
    QCOMPARE(f.fakes.messages.messages,
             QStringList{QStringLiteral("使用可能な音声がまだ確認されていません。\r\n"
                                        "先に「音声確認」で全音声をチェックしてください。")});
    QCOMPARE(entries(control<QComboBox>(window, "cmbVoiceAEnglish")), kOrdinaryVoices);
    QCOMPARE(selections(window), before);
}

void TestVoiceSettings::availableVoicesKeepsOnlyListedSelections() {
    Fixture f;
    VoiceSettingsDialog window(f.fakes.services());
    control<QComboBox>(window, "cmbVoiceAJapanese")
        ->setCurrentIndex(1); // "Jpn One", not in the catalogue below
    control<QComboBox>(window, "cmbVoiceCEnglish")->setCurrentIndex(2); // "Eng Two"
    writeCatalogue(f.path(), {{"Eng One", "English", "SAPI"},
                              {"Eng Two", "English", "SAPI"},
                              {"Jpn Core", "Japanese", "OneCore"}});
    control<QPushButton>(window, "btnAvailableVoices")->click();
    QVERIFY(f.fakes.messages.messages.isEmpty());
    QCOMPARE(entries(control<QComboBox>(window, "cmbVoiceBEnglish")),
             (QStringList{"Eng One", "Eng Two"}));
    QCOMPARE(entries(control<QComboBox>(window, "cmbVoiceBJapanese")), QStringList{"Jpn Core"});
    // No fallback to the first entry: a selection missing from the catalogue becomes none.
    QCOMPARE(selections(window), (QStringList{"Eng One", "-", "Eng One", "-", "Eng Two", "-"}));
}

void TestVoiceSettings::testVoice_data() {
    QTest::addColumn<int>("row");           // speaker row in the standard order
    QTest::addColumn<QString>("selection"); // null: nothing selected
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("spoken"); // "voice: sentence", or empty when nothing was spoken

    QTest::newRow("ordinary voice")
        << 0 << "Eng Two" << QStringLiteral("この音声は使用できます。\r\nEng Two")
        << "Eng Two: " + kEnglishSentence;
    QTest::newRow("ordinary voice wins over its twin")
        << 2 << "Eng One" << QStringLiteral("この音声は使用できます。\r\nEng One")
        << "Eng One: " + kEnglishSentence;
    QTest::newRow("second category, other letter case")
        << 5 << "JPN CORE" << QStringLiteral("この音声は使用できます。\r\nJpn Core")
        << "Jpn Core: " + kJapaneseSentence;
    QTest::newRow("voice that cannot speak")
        << 3 << "Mute"
        << QStringLiteral("この音声は使用できません。\r\nMute\r\nエラー: device busy") << "";
    QTest::newRow("voice that cannot be set")
        << 1 << "Locked"
        << QStringLiteral("この音声は使用できません。\r\nLocked\r\nエラー: locked away") << "";
    QTest::newRow("not installed")
        << 4 << "Gone" << QStringLiteral("選択された音声が見つかりません。") << "";
    QTest::newRow("nothing selected")
        << 0 << QString() << QStringLiteral("選択された音声が見つかりません。") << "";
}

void TestVoiceSettings::testVoice() {
    QFETCH(int, row);
    QFETCH(QString, selection);
    QFETCH(QString, message);
    QFETCH(QString, spoken);
    Fixture f;
    f.fakes.speech.addVoice("Mute", "411").speakError = "device busy";
    f.fakes.speech.addVoice("Locked", "411", true).setVoiceError = "locked away";
    VoiceSettingsDialog window(f.fakes.services());
    const std::pair<QComboBox*, QPushButton*> rows[] = {
        {control<QComboBox>(window, "cmbVoiceAEnglish"),
         control<QPushButton>(window, "btnTestAEnglish")},
        {control<QComboBox>(window, "cmbVoiceAJapanese"),
         control<QPushButton>(window, "btnTestAJapanese")},
        {control<QComboBox>(window, "cmbVoiceBEnglish"),
         control<QPushButton>(window, "btnTestBEnglish")},
        {control<QComboBox>(window, "cmbVoiceBJapanese"),
         control<QPushButton>(window, "btnTestBJapanese")},
        {control<QComboBox>(window, "cmbVoiceCEnglish"),
         control<QPushButton>(window, "btnTestCEnglish")},
        {control<QComboBox>(window, "cmbVoiceCJapanese"),
         control<QPushButton>(window, "btnTestCJapanese")}};
    const auto [comboBox, testButton] = rows[row];
    comboBox->clear();
    if (!selection.isNull()) {
        comboBox->addItem(selection);
        comboBox->setCurrentIndex(0);
    }
    const QStringList before = selections(window);

    testButton->click();
    QCOMPARE(f.fakes.messages.messages, QStringList{message});
    QStringList utterances;
    for (const auto& utterance : f.fakes.speech.spoken) {
        QCOMPARE(utterance.flags, kSpeakSync);
        utterances << utterance.voice + ": " + utterance.text;
    }
    QCOMPARE(utterances, spoken.isEmpty() ? QStringList() : QStringList{spoken});
    QCOMPARE(f.fakes.speech.operationDepth, 0);
    QCOMPARE(selections(window), before);
    QVERIFY(!QFile::exists(f.path()));
}

void TestVoiceSettings::testVoiceStopsWhenSecondCategoryCannotBeOpened() {
    Fixture f;
    VoiceSettingsDialog window(f.fakes.services());
    f.fakes.speech.failOperation(FakeOp::SetId, "no such category");
    control<QPushButton>(window, "btnTestAEnglish")->click();
    QCOMPARE(f.fakes.messages.messages, QStringList{"no such category."});
    QVERIFY(f.fakes.speech.spoken.isEmpty());
    QCOMPARE(f.fakes.speech.operationDepth, 0);
}

void TestVoiceSettings::saveWritesTheSixKeysAndCloses() {
    Fixture f;
    writeCatalogue(f.path(), {{"Eng One", "English", "SAPI"}, {"Jpn One", "Japanese", "SAPI"}});
    VoiceSettingsDialog window(f.fakes.services());
    window.show();
    control<QComboBox>(window, "cmbVoiceCJapanese")->setCurrentIndex(-1);
    control<QPushButton>(window, "btnOK")->click();
    QCOMPARE(readSpeakerVoices(f.path()),
             (QStringList{"Eng One", "Jpn One", "Eng One", "Jpn One", "Eng One", ""}));
    QCOMPARE(window.result(), int(QDialog::Accepted));
    QVERIFY(!window.isVisible());
    const SettingsFile file(f.path());
    QCOMPARE(file.readString(kCatalogueSection, "Voice0", {}), QStringLiteral("Eng One"));

    // Saved choices in other letter case still select their entries at the next start.
    writeSpeakerVoices(f.path(), {"ENG ONE"});
    VoiceSettingsDialog next(f.fakes.services());
    QCOMPARE(selections(next).first(), QStringLiteral("Eng One"));
}

void TestVoiceSettings::saveFailureKeepsWindowOpen() {
    Fixture f;
    QFile blocker(f.fakes.folder.filePath("not-a-folder"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Services services = f.fakes.services();
    services.settingsPath = blocker.fileName() + QStringLiteral("/Lessora.ini");
    VoiceSettingsDialog window(services);
    window.show();
    control<QPushButton>(window, "btnOK")->click();
    QCOMPARE(f.fakes.messages.messages.size(), 1);
    QVERIFY(f.fakes.messages.messages.first().contains(QStringLiteral("に書き込めません")));
    QVERIFY(window.isVisible());
    QCOMPARE(window.result(), int(QDialog::Rejected));
}

void TestVoiceSettings::cancelAndFrameCloseKeepEverything() {
    Fixture f;
    VoiceSettingsDialog window(f.fakes.services());
    for (const bool byFrame : {false, true}) {
        window.show();
        control<QComboBox>(window, "cmbVoiceAEnglish")->setCurrentIndex(byFrame ? 2 : 1);
        const QStringList before = selections(window);
        if (byFrame)
            QVERIFY(window.close());
        else
            control<QPushButton>(window, "btnCancel")->click();
        QVERIFY(!window.isVisible());
        QCOMPARE(window.result(), int(QDialog::Rejected));
        QCOMPARE(selections(window), before);
        QVERIFY(!QFile::exists(f.path()));
    }
    QVERIFY(f.fakes.messages.messages.isEmpty());
}

QTEST_MAIN(TestVoiceSettings)
#include "tst_voicesettingsdialog.moc"
