#include "playback/RowSpeaker.h"
#include "settings/SettingsFile.h"
#include "support/FakeServices.h"

#include <QTest>

using namespace lessora;
using namespace lessora::test;

namespace {

const QString kZira = QStringLiteral("Microsoft Zira Desktop - English (United States)");
const QString kHaruka = QStringLiteral("Microsoft Haruka Desktop - Japanese");
const QString kDavid = QStringLiteral("Microsoft David Desktop - English (United States)");
const QString kAyumi = QStringLiteral("Microsoft Ayumi - Japanese");
const QString kNotFound =
    QStringLiteral("設定された音声が見つからないため、\r\n代替音声で読み上げます。\r\n音声: ");
const QString kUnusable =
    QStringLiteral("設定された音声が使用できないため、\r\n代替音声で読み上げます。\r\n音声: ");

// One speaker's configured voice and the catalogue, written as the voice windows write them.
struct Settings {
    QString key;   // section "Voice"
    QString voice; // its value
    QList<CatalogueEntry> catalogue;
};

// An engine with David (the default voice), Zira and Haruka, and Ayumi among the OneCore voices.
void addStandardVoices(FakeSpeechEngine& engine) {
    engine.addVoice(kDavid, QStringLiteral("409"));
    engine.addVoice(kZira, QStringLiteral("409"));
    engine.addVoice(kHaruka, QStringLiteral("411"));
    engine.addVoice(kAyumi, QStringLiteral("411"), true);
}

struct SpeakerRig {
    FakeServices fakes;
    RowSpeaker rowSpeaker{fakes.speech, fakes.messages, fakes.settingsPath()};

    void write(const Settings& settings) {
        SettingsFile file(fakes.settingsPath());
        if (!settings.key.isEmpty())
            file.writeString(kVoiceSection, settings.key, settings.voice);
        if (!settings.catalogue.isEmpty())
            rewriteCatalogue(file, settings.catalogue);
    }
    void speak(const RowCells& row, int englishRate = 0) { rowSpeaker.speak(row, englishRate); }
    FakeSpeechEngine::Utterance lastSpoken() const {
        return fakes.speech.spoken.isEmpty() ? FakeSpeechEngine::Utterance{}
                                             : fakes.speech.spoken.last();
    }
};

} // namespace

class TestRowSpeaker : public QObject {
    Q_OBJECT
private slots:
    void voiceSelection_data();
    void voiceSelection();
    void refusedVoiceIsReportedThenReplaced_data();
    void refusedVoiceIsReportedThenReplaced();
    void fallbackFindsAVoiceOfTheRowsLanguage_data();
    void fallbackFindsAVoiceOfTheRowsLanguage();
    void fallbackMessagesOncePerRun();
    void speakingFailsOnceThenTwice();
    void engineFailuresPropagateAfterTheOperationEnds();
    void rates_data();
    void rates();
};

void TestRowSpeaker::voiceSelection_data() {
    QTest::addColumn<Settings>("settings");
    QTest::addColumn<RowCells>("row");
    QTest::addColumn<QString>("expectedVoice");
    QTest::addColumn<QStringList>("expectedMessages");

    const CatalogueEntry davidSapi{kDavid, "English", "SAPI"};
    const CatalogueEntry harukaSapi{kHaruka, "Japanese", "SAPI"};
    const CatalogueEntry ayumiOneCore{kAyumi, "Japanese", "OneCore"};
    const RowCells english{"Hello.", "English", "B"};
    const RowCells japanese{QStringLiteral("こんにちは。"), "Japanese", "R"};

    QTest::newRow("configured ordinary voice")
        << Settings{"SpeakerB_English", kZira, {davidSapi, {kZira, "English", "SAPI"}}} << english
        << kZira << QStringList();
    QTest::newRow("configured OneCore voice")
        << Settings{"SpeakerB_Japanese", kAyumi, {harukaSapi, ayumiOneCore}} << japanese << kAyumi
        << QStringList();
    QTest::newRow("type in other letter case")
        << Settings{"SpeakerB_Japanese", kAyumi, {{kAyumi, "Japanese", "onecore"}}} << japanese
        << kAyumi << QStringList();
    QTest::newRow("name in other letter case")
        << Settings{"SpeakerB_English", kZira.toUpper(), {{kZira.toLower(), "English", "sapi"}}}
        << english << kZira << QStringList();
    QTest::newRow("lower-case speaker code selects its key")
        << Settings{"SpeakerA_Japanese", kHaruka, {harukaSapi}} << RowCells{"x", "Japanese", "q"}
        << kHaruka << QStringList();
    QTest::newRow("speaker code with a blank selects no key")
        << Settings{"SpeakerB_English", kDavid, {davidSapi}} << RowCells{"x", "English", " B"}
        << kZira << QStringList{kNotFound};
    QTest::newRow("voice missing from the catalogue")
        << Settings{"SpeakerB_English", kDavid, {harukaSapi}} << english << kZira
        << QStringList{kNotFound + kDavid};
    QTest::newRow("no settings file at all")
        << Settings{} << japanese << kHaruka << QStringList{kNotFound};
    QTest::newRow("English voice on a Japanese row")
        << Settings{"SpeakerB_Japanese", kDavid, {davidSapi}} << japanese << kHaruka
        << QStringList();
    QTest::newRow("Japanese voice on an English row")
        << Settings{"SpeakerB_English", kAyumi, {ayumiOneCore}} << english << kZira
        << QStringList();
    QTest::newRow("catalogued type that is neither")
        << Settings{"SpeakerB_English", kDavid, {{kDavid, "English", "SAPI5"}}} << english << kZira
        << QStringList{kNotFound + kDavid};
    QTest::newRow("OneCore type for an ordinary voice")
        << Settings{"SpeakerB_English", kDavid, {{kDavid, "English", "OneCore"}}} << english
        << kZira << QStringList{kNotFound + kDavid};
    QTest::newRow("row of no language keeps the default voice")
        << Settings{} << RowCells{"x", "", "A"} << kDavid << QStringList{kNotFound};
    QTest::newRow("first of a description catalogued twice")
        << Settings{"SpeakerB_Japanese", kHaruka, {harukaSapi, {kHaruka, "Japanese", "OneCore"}}}
        << japanese << kHaruka << QStringList();
}

void TestRowSpeaker::voiceSelection() {
    QFETCH(Settings, settings);
    QFETCH(RowCells, row);
    QFETCH(QString, expectedVoice);
    QFETCH(QStringList, expectedMessages);

    SpeakerRig speaker;
    addStandardVoices(speaker.fakes.speech);
    speaker.write(settings);
    speaker.speak(row);

    QCOMPARE(speaker.fakes.speech.spoken.size(), 1);
    QCOMPARE(speaker.lastSpoken().text, row.text);
    QCOMPARE(speaker.lastSpoken().voice, expectedVoice);
    QCOMPARE(speaker.lastSpoken().flags, kSpeakAsync);
    QCOMPARE(speaker.fakes.messages.messages, expectedMessages);
    QCOMPARE(speaker.rowSpeaker.fallbackMessageShown(), !expectedMessages.isEmpty());
    QVERIFY(speaker.rowSpeaker.hasVoice());
    QCOMPARE(speaker.fakes.speech.operationDepth, 0);
}

void TestRowSpeaker::refusedVoiceIsReportedThenReplaced_data() {
    QTest::addColumn<bool>("oneCore");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("ordinary") << false << QStringLiteral("この音声は使用できません。\r\n");
    QTest::newRow("OneCore") << true << QStringLiteral("このOneCore音声は使用できません。\r\n");
}

void TestRowSpeaker::refusedVoiceIsReportedThenReplaced() {
    QFETCH(bool, oneCore);
    QFETCH(QString, refusal);
    const QString broken = QStringLiteral("Broken Voice - English");

    SpeakerRig speaker;
    addStandardVoices(speaker.fakes.speech);
    speaker.fakes.speech.addVoice(broken, "409", oneCore).setVoiceError = "cannot open";
    speaker.write(
        {"SpeakerC_English", broken, {{broken, "English", oneCore ? "OneCore" : "SAPI"}}});
    speaker.speak({"Hi.", "English", "C"});
    // Shown again on a later row of the same run: only the fallback notice is once per run.
    speaker.speak({"Hi again.", "English", "C"});

    QCOMPARE(speaker.fakes.messages.messages,
             (QStringList{refusal + broken, kNotFound + broken, refusal + broken}));
    QCOMPARE(speaker.lastSpoken().voice, kZira);
}

void TestRowSpeaker::fallbackFindsAVoiceOfTheRowsLanguage_data() {
    QTest::addColumn<QStringList>("descriptions");
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<QString>("rowLanguage");
    QTest::addColumn<QString>("expectedVoice");

    QTest::newRow("Japanese row without Haruka") << QStringList{"Eng One", "Jpn One", "Jpn Two"}
                                                 << QStringList{"409", "411", "411"} << "Japanese"
                                                 << "Jpn One";
    QTest::newRow("English row without Zira, British voice")
        << QStringList{"Jpn One", "Eng GB"} << QStringList{"411", "809"} << "English"
        << "Eng GB";
    QTest::newRow("attribute listing several languages, the first decides")
        << QStringList{"Mixed", "Jpn One"} << QStringList{"409;411", "411"} << "japanese"
        << "Jpn One";
    QTest::newRow("fragment is case-sensitive and comes first")
        << QStringList{"microsoft zira lower", "Voice Zira Two"} << QStringList{"409", "409"}
        << "English"
        << "Voice Zira Two";
    QTest::newRow("first Haruka in the engine's order")
        << QStringList{"Eng One", "Haruka A", "Haruka B"} << QStringList{"409", "409", "411"}
        << "Japanese"
        << "Haruka A";
    QTest::newRow("no voice of that language keeps the default")
        << QStringList{"Eng One", "Eng Two"} << QStringList{"409", "409"} << "Japanese"
        << "Eng One";
}

void TestRowSpeaker::fallbackFindsAVoiceOfTheRowsLanguage() {
    QFETCH(QStringList, descriptions);
    QFETCH(QStringList, languages);
    QFETCH(QString, rowLanguage);
    QFETCH(QString, expectedVoice);

    SpeakerRig speaker;
    for (qsizetype i = 0; i < descriptions.size(); ++i)
        speaker.fakes.speech.addVoice(descriptions[i], languages[i]);
    speaker.speak({"text", rowLanguage, "Q"});

    QCOMPARE(speaker.lastSpoken().voice, expectedVoice);
    QCOMPARE(speaker.fakes.messages.messages, QStringList{kNotFound});
}

void TestRowSpeaker::fallbackMessagesOncePerRun() {
    SpeakerRig speaker;
    addStandardVoices(speaker.fakes.speech);
    speaker.speak({"one", "English", "A"});
    speaker.fakes.speech.failOperation(FakeOp::Speak, "busy", 1);
    speaker.speak({"two", "English", "A"});
    QCOMPARE(speaker.fakes.messages.messages, QStringList{kNotFound});
    QCOMPARE(speaker.lastSpoken().text, QStringLiteral("two"));

    // A new run clears the flag: the next fallback is reported again.
    speaker.rowSpeaker.beginRun();
    speaker.fakes.speech.failOperation(FakeOp::Speak, "busy", 1);
    speaker.write({"SpeakerA_English", kDavid, {{kDavid, "English", "SAPI"}}});
    speaker.speak({"three", "English", "A"});
    QCOMPARE(speaker.fakes.messages.messages.size(), 2);
    QCOMPARE(speaker.fakes.messages.messages.last(),
             kUnusable + kDavid + QStringLiteral("\r\nエラー: busy"));
}

void TestRowSpeaker::speakingFailsOnceThenTwice() {
    // Once: the unusable-voice message with the engine's text, then the fallback voice speaks.
    SpeakerRig once;
    addStandardVoices(once.fakes.speech);
    FakeVoice& broken = once.fakes.speech.addVoice("Mute Voice", "409");
    broken.speakError = "no audio";
    once.write({"SpeakerA_English", "Mute Voice", {{"Mute Voice", "English", "SAPI"}}});
    once.speak({"Hello.", "English", "A"}, 1);
    QCOMPARE(once.fakes.messages.messages,
             QStringList{kUnusable + "Mute Voice\r\nエラー: no audio"});
    QCOMPARE(once.lastSpoken().voice, kZira);
    QCOMPARE(once.lastSpoken().rate, 1);

    // Twice: the second failure is the caller's, after the engine operation has ended.
    SpeakerRig twice;
    addStandardVoices(twice.fakes.speech);
    twice.write({"SpeakerA_English", kDavid, {{kDavid, "English", "SAPI"}}});
    twice.fakes.speech.failOperation(FakeOp::Speak, "engine stopped", 2);
    QVERIFY_THROWS_EXCEPTION(SpeechError, twice.speak({"Hello.", "English", "A"}));
    QCOMPARE(twice.fakes.messages.messages,
             QStringList{kUnusable + kDavid + "\r\nエラー: engine stopped"});
    QVERIFY(twice.fakes.speech.spoken.isEmpty());
    QCOMPARE(twice.fakes.speech.operationDepth, 0);
}

void TestRowSpeaker::engineFailuresPropagateAfterTheOperationEnds() {
    for (FakeOp op : {FakeOp::CreateVoice, FakeOp::GetVoices, FakeOp::CreateTokenCategory,
                      FakeOp::EnumerateTokens, FakeOp::GetDescription}) {
        SpeakerRig speaker;
        addStandardVoices(speaker.fakes.speech);
        speaker.fakes.speech.failOperation(op, "broken");
        QVERIFY_THROWS_EXCEPTION(SpeechError, speaker.speak({"x", "English", "A"}));
        QVERIFY(speaker.fakes.speech.spoken.isEmpty());
        QCOMPARE(speaker.fakes.speech.operationDepth, 0);
        QCOMPARE(speaker.fakes.speech.operationsBegun, 1);
    }
}

void TestRowSpeaker::rates_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("expectedRate");
    QTest::newRow("slow English") << 0 << "English" << -2;
    QTest::newRow("rather slow") << 1 << "English" << -1;
    QTest::newRow("normal") << 2 << "English" << 0;
    QTest::newRow("rather fast") << 3 << "english" << 1;
    QTest::newRow("fast") << 4 << "ENGLISH" << 2;
    QTest::newRow("no choice") << -1 << "English" << 0;
    QTest::newRow("unknown index") << 5 << "English" << 0;
    QTest::newRow("Japanese rows speak at 0") << 4 << "Japanese" << 0;
    QTest::newRow("rows of no language speak at 0") << 0 << "" << 0;
}

void TestRowSpeaker::rates() {
    QFETCH(int, index);
    QFETCH(QString, language);
    QFETCH(int, expectedRate);
    SpeakerRig speaker;
    addStandardVoices(speaker.fakes.speech);
    speaker.speak({"x", language, "A"}, englishRateForIndex(index));
    QCOMPARE(speaker.lastSpoken().rate, expectedRate);
}

QTEST_GUILESS_MAIN(TestRowSpeaker)
#include "tst_rowspeaker.moc"
