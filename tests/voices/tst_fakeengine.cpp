// The scripted engine that the other tests speak through.

#include "support/FakeSpeechEngine.h"

#include <QTest>

using namespace lessora;
using namespace lessora::test;

class TestFakeEngine : public QObject {
    Q_OBJECT

private slots:
    void listsScriptedVoicesInBothCategories() {
        FakeSpeechEngine engine;
        engine.addVoice(QStringLiteral("Voice A - English"), QStringLiteral("409"));
        engine.addVoice(QStringLiteral("Voice B - Japanese"), QStringLiteral("411"));
        engine.addVoice(QStringLiteral("Voice C - Japanese"), QStringLiteral("411"), true);

        const TokenCollection ordinary = engine.CreateVoice()->GetVoices();
        QCOMPARE(ordinary.Count(), 2);
        QCOMPARE(ordinary.Item(1)->GetDescription(), QStringLiteral("Voice B - Japanese"));
        QCOMPARE(ordinary.Item(1)->GetAttribute(QStringLiteral("Language")), QStringLiteral("411"));
        QVERIFY_THROWS_EXCEPTION(SpeechError, ordinary.Item(2));

        auto category = engine.CreateTokenCategory();
        category->SetId(kOneCoreVoicesCategory, false);
        const TokenCollection oneCore = category->EnumerateTokens();
        QCOMPARE(oneCore.Count(), 1);
        QCOMPARE(oneCore.Item(0)->GetDescription(), QStringLiteral("Voice C - Japanese"));
    }

    void failsOperationsAndVoicesAsScripted() {
        FakeSpeechEngine engine;
        FakeVoice& broken = engine.addVoice(QStringLiteral("Broken"), QStringLiteral("409"));
        broken.setVoiceError = QStringLiteral("cannot set");
        broken.attributeError = QStringLiteral("no attribute");
        engine.failOperation(FakeOp::GetVoices, QStringLiteral("listing failed"), 1);

        auto voice = engine.CreateVoice();
        try {
            voice->GetVoices();
            QFAIL("GetVoices did not fail");
        } catch (const SpeechError& error) {
            QCOMPARE(error.message(), QStringLiteral("listing failed"));
        }
        const VoiceTokenPtr token = voice->GetVoices().Item(0); // only the first call failed
        QVERIFY_THROWS_EXCEPTION(SpeechError, token->GetAttribute(QStringLiteral("Language")));
        QVERIFY_THROWS_EXCEPTION(SpeechError, voice->SetVoice(token));
    }

    void speechAdvancesOnlyWhenTheTestSaysSo() {
        FakeSpeechEngine engine;
        engine.addVoice(QStringLiteral("Voice A"), QStringLiteral("409"));
        engine.setSpeechStartsAtOnce(false);
        auto voice = engine.CreateVoice();
        voice->SetRate(-2);
        voice->Speak(QStringLiteral("Hello."), kSpeakAsync);
        QCOMPARE(voice->RunningState(), kRunningStateNone);
        engine.startSpeech();
        QCOMPARE(voice->RunningState(), kRunningStateSpeaking);
        QVERIFY(engine.isSpeaking());
        engine.finishSpeech();
        QCOMPARE(voice->RunningState(), kRunningStateDone);

        QCOMPARE(engine.spoken.size(), 1);
        QCOMPARE(engine.spoken[0].text, QStringLiteral("Hello."));
        QCOMPARE(engine.spoken[0].voice, QStringLiteral("Voice A"));
        QCOMPARE(engine.spoken[0].rate, -2);
        QCOMPARE(engine.spoken[0].flags, kSpeakAsync);
    }

    void purgeSilencesAndOperationsAreBracketed() {
        FakeSpeechEngine engine;
        auto voice = engine.CreateVoice();
        voice->Speak(QStringLiteral("Hello."), kSpeakAsync);
        QCOMPARE(voice->RunningState(), kRunningStateSpeaking);
        voice->Speak(QString(), kSpeakAsync | kSpeakPurge);
        QCOMPARE(voice->RunningState(), kRunningStateDone);
        QCOMPARE(engine.silenced, 1);
        {
            EngineOperation operation(engine);
            QCOMPARE(engine.operationDepth, 1);
        }
        QCOMPARE(engine.operationDepth, 0);
        QCOMPARE(engine.operationsBegun, 1);
    }
};

QTEST_GUILESS_MAIN(TestFakeEngine)
#include "tst_fakeengine.moc"
