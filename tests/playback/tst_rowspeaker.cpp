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
    void speak(const RowCells& row, SpeechRates rates = {}) { rowSpeaker.speak(row, rates); }
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
    void speakerDefaultVoices_data();
    void speakerDefaultVoices();
    void fallbackMessagesOncePerRun();
    void speakingFailsOnceThenTwice();
    void failedVoiceFallsBackToAnotherSynthesiser();
    void engineFailuresPropagateAfterTheOperationEnds();
    void rates_data();
    void rates();
    void measuringSynthesisesOnceWithTheRowsVoice();
    void failureAfterSpeakIsTakenUpOnce_data();
    void failureAfterSpeakIsTakenUpOnce();
    void laterFailuresShareTheOncePerRunMessage();
    void failedMeasurementFallsBack_data();
    void failedMeasurementFallsBack();
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
    // Nothing configured (a first run): the speaker's own default voice, without a message.
    QTest::newRow("speaker code with a blank selects no key")
        << Settings{"SpeakerB_English", kDavid, {davidSapi}} << RowCells{"x", "English", " B"}
        << kDavid << QStringList();
    QTest::newRow("no settings file at all") << Settings{} << japanese << kHaruka << QStringList();
    QTest::newRow("row of no language keeps the engine's default voice")
        << Settings{} << RowCells{"x", "", "A"} << kDavid << QStringList();
    // A configured voice that cannot be used: B's own English voice, the second, speaks, and
    // the message names both.
    QTest::newRow("voice missing from the catalogue")
        << Settings{"SpeakerB_English", kDavid, {harukaSapi}} << english << kZira
        << QStringList{kNotFound + kDavid};
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

    // C's own English voice would be the third, the broken one: the next one speaks instead.
    QCOMPARE(speaker.fakes.messages.messages,
             (QStringList{refusal + broken, kNotFound + broken, refusal + broken}));
    QCOMPARE(speaker.lastSpoken().voice, kDavid);
}

void TestRowSpeaker::speakerDefaultVoices_data() {
    QTest::addColumn<QStringList>("descriptions");
    QTest::addColumn<QStringList>("languages");
    QTest::addColumn<RowCells>("row");
    QTest::addColumn<QString>("expectedVoice");

    // The N-th voice of the row's language for the N-th speaker of a language, in the
    // engine's order, counted round when there are fewer.
    const QStringList descriptions{"Eng One", "Jpn One", "Eng Two", "Eng Three", "Jpn Two"};
    const QStringList languages{"409", "411", "809", "409", "411"};
    QTest::newRow("A") << descriptions << languages << RowCells{"x", "English", "A"} << "Eng One";
    QTest::newRow("B") << descriptions << languages << RowCells{"x", "English", "b"} << "Eng Two";
    QTest::newRow("C") << descriptions << languages << RowCells{"x", "English", "C"} << "Eng Three";
    QTest::newRow("Q") << descriptions << languages << RowCells{"x", "Japanese", "Q"} << "Jpn One";
    QTest::newRow("R") << descriptions << languages << RowCells{"x", "Japanese", "R"} << "Jpn Two";
    QTest::newRow("S counts round")
        << descriptions << languages << RowCells{"x", "Japanese", "S"} << "Jpn One";
    QTest::newRow("the row's language decides")
        << descriptions << languages << RowCells{"x", "English", "R"} << "Eng Two";
    QTest::newRow("attribute listing several languages, the first decides")
        << QStringList{"Mixed", "Jpn One"} << QStringList{"409;411", "411"}
        << RowCells{"x", "japanese", "Q"} << "Jpn One";
    QTest::newRow("no voice of that language keeps the engine's default")
        << QStringList{"Eng One", "Eng Two"} << QStringList{"409", "409"}
        << RowCells{"x", "Japanese", "Q"} << "Eng One";
}

void TestRowSpeaker::speakerDefaultVoices() {
    QFETCH(QStringList, descriptions);
    QFETCH(QStringList, languages);
    QFETCH(RowCells, row);
    QFETCH(QString, expectedVoice);

    SpeakerRig speaker;
    for (qsizetype i = 0; i < descriptions.size(); ++i)
        speaker.fakes.speech.addVoice(descriptions[i], languages[i]);
    speaker.speak(row);

    QCOMPARE(speaker.lastSpoken().voice, expectedVoice);
    QVERIFY(speaker.fakes.messages.messages.isEmpty());
}

void TestRowSpeaker::fallbackMessagesOncePerRun() {
    SpeakerRig speaker;
    addStandardVoices(speaker.fakes.speech);
    speaker.write({"SpeakerA_English", "Gone Voice", {}});
    speaker.speak({"one", "English", "A"});
    speaker.fakes.speech.failOperation(FakeOp::Speak, "busy", 1);
    speaker.speak({"two", "English", "A"});
    QCOMPARE(speaker.fakes.messages.messages, QStringList{kNotFound + "Gone Voice"});
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

void TestRowSpeaker::failedVoiceFallsBackToAnotherSynthesiser() {
    // When one program fails, its other voices would fail the same way (and wait as long).
    SpeakerRig speaker;
    FakeVoice& broken = speaker.fakes.speech.addVoice("Jpn Broken", "411");
    broken.vendor = "Program";
    broken.speakError = "program fails";
    speaker.fakes.speech.addVoice("Jpn Same Program", "411").vendor = "Program";
    speaker.fakes.speech.addVoice("Jpn Other", "411").vendor = "Other";
    speaker.write({"SpeakerQ_Japanese", "Jpn Broken", {{"Jpn Broken", "Japanese", "SAPI"}}});
    speaker.speak({"こんにちは。", "Japanese", "Q"});
    QCOMPARE(speaker.lastSpoken().voice, QStringLiteral("Jpn Other"));
}

void TestRowSpeaker::speakingFailsOnceThenTwice() {
    // Once: the unusable-voice message with the engine's text, then the fallback voice speaks.
    SpeakerRig once;
    addStandardVoices(once.fakes.speech);
    FakeVoice& broken = once.fakes.speech.addVoice("Mute Voice", "409");
    broken.speakError = "no audio";
    once.write({"SpeakerA_English", "Mute Voice", {{"Mute Voice", "English", "SAPI"}}});
    once.speak({"Hello.", "English", "A"}, {1, 0});
    QCOMPARE(once.fakes.messages.messages,
             QStringList{kUnusable + "Mute Voice\r\nエラー: no audio"});
    QCOMPARE(once.lastSpoken().voice, kDavid);
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
    QTest::addColumn<int>("englishIndex");
    QTest::addColumn<int>("japaneseIndex");
    QTest::addColumn<QString>("language");
    QTest::addColumn<int>("expectedRate");
    QTest::newRow("slow English") << 0 << 3 << "English" << -2;
    QTest::newRow("rather slow") << 1 << 3 << "English" << -1;
    QTest::newRow("normal") << 2 << 0 << "English" << 0;
    QTest::newRow("rather fast") << 3 << 3 << "english" << 1;
    QTest::newRow("fast") << 4 << 3 << "ENGLISH" << 2;
    QTest::newRow("no choice") << -1 << 3 << "English" << 0;
    QTest::newRow("unknown index") << 5 << 3 << "English" << 0;
    QTest::newRow("slowest Japanese") << 4 << 0 << "Japanese" << -3;
    QTest::newRow("normal Japanese") << 0 << 3 << "Japanese" << 0;
    QTest::newRow("fastest Japanese") << 0 << 5 << "japanese" << 2;
    QTest::newRow("unknown Japanese index") << 0 << 6 << "Japanese" << 0;
    QTest::newRow("rows of no language speak at 0") << 0 << 0 << "" << 0;
}

void TestRowSpeaker::rates() {
    QFETCH(int, englishIndex);
    QFETCH(int, japaneseIndex);
    QFETCH(QString, language);
    QFETCH(int, expectedRate);
    SpeakerRig speaker;
    addStandardVoices(speaker.fakes.speech);
    speaker.speak({"x", language, "A"},
                  {englishRateForIndex(englishIndex), japaneseRateForIndex(japaneseIndex)});
    QCOMPARE(speaker.lastSpoken().rate, expectedRate);
}

void TestRowSpeaker::measuringSynthesisesOnceWithTheRowsVoice() {
    SpeakerRig speaker;
    addStandardVoices(speaker.fakes.speech);
    speaker.fakes.speech.msPerCharacter = 150;
    auto measure = [&speaker](const RowCells& row, SpeechRates rates) {
        speaker.rowSpeaker.startMeasuring(row, rates);
        return speaker.rowSpeaker.measuredMs();
    };
    const RowCells row{"Fine.", "English", "B"};
    QCOMPARE(measure(row, {-1, 0}), 750);
    QCOMPARE(measure(row, {-1, 0}), 750); // remembered
    QCOMPARE(speaker.fakes.speech.synthesized.size(), 1);
    QCOMPARE(speaker.fakes.speech.synthesized[0].voice, kZira);
    QCOMPARE(speaker.fakes.speech.synthesized[0].rate, -1);
    QVERIFY(speaker.fakes.speech.spoken.isEmpty()); // nothing was heard
    // Another rate is another length.
    measure(row, {1, 0});
    QCOMPARE(speaker.fakes.speech.synthesized.size(), 2);

    // Measured ahead: the row's turn waits for that measurement instead of starting another.
    speaker.fakes.speech.setMeasurementsWait(true);
    const RowCells later{"Thanks.", "English", "B"};
    speaker.rowSpeaker.measureAhead(later, {});
    QCOMPARE(speaker.fakes.speech.synthesized.size(), 3);
    QCOMPARE(measure(later, {}), std::nullopt);
    QCOMPARE(speaker.rowSpeaker.measuredMs(), std::nullopt);
    speaker.fakes.speech.finishMeasurements();
    QCOMPARE(speaker.rowSpeaker.measuredMs(), 1050);
    QCOMPARE(speaker.fakes.speech.synthesized.size(), 3);
    QCOMPARE(speaker.fakes.speech.operationDepth, 0);
}

void TestRowSpeaker::failureAfterSpeakIsTakenUpOnce_data() {
    QTest::addColumn<bool>("heardBefore"); // the engine had begun speaking when it failed
    QTest::addColumn<bool>("fallbackFails");
    QTest::newRow("failure after speech began") << true << false;
    QTest::newRow("failure before any sound") << false << false;
    QTest::newRow("the default voice fails as well") << true << true;
}

void TestRowSpeaker::failureAfterSpeakIsTakenUpOnce() {
    QFETCH(bool, heardBefore);
    QFETCH(bool, fallbackFails);
    SpeakerRig speaker;
    addStandardVoices(speaker.fakes.speech);
    speaker.fakes.speech.setSpeechStartsAtOnce(heardBefore);
    speaker.write({"SpeakerA_English", kZira, {{kZira, "English", "SAPI"}}});
    speaker.speak({"Hello.", "English", "A"}, {1, 0});
    QCOMPARE(speaker.rowSpeaker.runningState(),
             heardBefore ? kRunningStateSpeaking : kRunningStateNone);

    // A synthesiser that dies after speak() returned: the row is spoken again, by A's own
    // voice, with the message a failing speak shows.
    speaker.fakes.speech.failSpeech(QStringLiteral("open_jtalk が応答しません"));
    QCOMPARE(speaker.rowSpeaker.runningState(), kRunningStateSpeaking);
    const QStringList message{kUnusable + kZira + "\r\nエラー: open_jtalk が応答しません"};
    QCOMPARE(speaker.fakes.messages.messages, message);
    QCOMPARE(speaker.fakes.speech.spoken.size(), 2);
    QCOMPARE(speaker.lastSpoken().text, QStringLiteral("Hello."));
    QCOMPARE(speaker.lastSpoken().voice, kDavid);
    QCOMPARE(speaker.lastSpoken().rate, 1);
    QCOMPARE(speaker.rowSpeaker.runningState(), kRunningStateSpeaking); // not taken up twice

    // Then the row ends, well or not: polled again, it stays over with nothing more shown.
    if (fallbackFails)
        speaker.fakes.speech.failSpeech(QStringLiteral("open_jtalk が終了コード 1 で終了しました"));
    else
        speaker.fakes.speech.finishSpeech();
    for (int poll = 0; poll < 3; ++poll)
        QCOMPARE(speaker.rowSpeaker.runningState(), kRunningStateDone);
    QCOMPARE(speaker.fakes.speech.spoken.size(), 2);
    QCOMPARE(speaker.fakes.messages.messages, message);
    QCOMPARE(speaker.fakes.speech.operationDepth, 0);

    // A silenced row does not come back, whatever its synthesiser says afterwards.
    speaker.speak({"Again.", "English", "A"});
    speaker.rowSpeaker.silence();
    speaker.fakes.speech.failSpeech(QStringLiteral("late"));
    QCOMPARE(speaker.rowSpeaker.runningState(), kRunningStateDone);
    QCOMPARE(speaker.fakes.speech.spoken.size(), 3);
}

void TestRowSpeaker::laterFailuresShareTheOncePerRunMessage() {
    SpeakerRig speaker;
    addStandardVoices(speaker.fakes.speech);
    speaker.write({"SpeakerA_English", "Gone Voice", {}});
    speaker.speak({"one", "English", "A"});
    QCOMPARE(speaker.fakes.messages.messages.size(), 1); // not found
    speaker.fakes.speech.failSpeech(QStringLiteral("dead"));
    QCOMPARE(speaker.rowSpeaker.runningState(), kRunningStateSpeaking);
    QCOMPARE(speaker.lastSpoken().voice, kZira); // the next of the language, silently
    QCOMPARE(speaker.fakes.messages.messages.size(), 1);

    speaker.rowSpeaker.beginRun();
    speaker.write({"SpeakerA_English", kDavid, {{kDavid, "English", "SAPI"}}});
    speaker.speak({"two", "English", "A"});
    speaker.fakes.speech.failSpeech(QStringLiteral("dead"));
    speaker.rowSpeaker.runningState();
    QCOMPARE(speaker.fakes.messages.messages.size(), 2);
    QCOMPARE(speaker.fakes.messages.messages.last(), kUnusable + kDavid + "\r\nエラー: dead");
}

void TestRowSpeaker::failedMeasurementFallsBack_data() {
    QTest::addColumn<bool>("fallbackFails");
    QTest::newRow("the default voice measures it") << false;
    QTest::newRow("no voice can say it") << true;
}

void TestRowSpeaker::failedMeasurementFallsBack() {
    QFETCH(bool, fallbackFails);
    SpeakerRig speaker;
    addStandardVoices(speaker.fakes.speech);
    speaker.fakes.speech.setMeasurementsWait(true);
    speaker.write({"SpeakerA_English", kZira, {{kZira, "English", "SAPI"}}});
    speaker.rowSpeaker.startMeasuring({"Hello.", "English", "A"}, {});
    QCOMPARE(speaker.rowSpeaker.measuredMs(), std::nullopt);

    speaker.fakes.speech.failMeasurements(QStringLiteral("dead"));
    QCOMPARE(speaker.rowSpeaker.measuredMs(), std::nullopt); // measured again, by David
    QCOMPARE(speaker.fakes.messages.messages, QStringList{kUnusable + kZira + "\r\nエラー: dead"});
    QCOMPARE(speaker.fakes.speech.synthesized.last().voice, kDavid);
    if (fallbackFails)
        speaker.fakes.speech.failMeasurements(QStringLiteral("dead too"));
    else
        speaker.fakes.speech.finishMeasurements();
    QCOMPARE(speaker.rowSpeaker.measuredMs(), fallbackFails ? 0 : 600);
    QCOMPARE(speaker.rowSpeaker.measuredMs(), fallbackFails ? 0 : 600);
    QCOMPARE(speaker.fakes.messages.messages.size(), 1);
    QCOMPARE(speaker.fakes.speech.synthesized.size(), 2);
}

QTEST_GUILESS_MAIN(TestRowSpeaker)
#include "tst_rowspeaker.moc"
