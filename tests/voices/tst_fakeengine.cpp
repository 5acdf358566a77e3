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

        const TokenCollection ordinary = engine.createVoice()->voices();
        QCOMPARE(ordinary.count(), 2);
        QCOMPARE(ordinary.item(1)->description(), QStringLiteral("Voice B - Japanese"));
        QCOMPARE(ordinary.item(1)->attribute(QStringLiteral("Language")), QStringLiteral("411"));
        QVERIFY_THROWS_EXCEPTION(SpeechError, ordinary.item(2));

        auto category = engine.createVoiceCategory();
        category->setId(kOneCoreVoicesCategory, false);
        const TokenCollection oneCore = category->enumerateTokens();
        QCOMPARE(oneCore.count(), 1);
        QCOMPARE(oneCore.item(0)->description(), QStringLiteral("Voice C - Japanese"));
    }

    void failsOperationsAndVoicesAsScripted() {
        FakeSpeechEngine engine;
        FakeVoice& broken = engine.addVoice(QStringLiteral("Broken"), QStringLiteral("409"));
        broken.setVoiceError = QStringLiteral("cannot set");
        broken.attributeError = QStringLiteral("no attribute");
        engine.failOperation(FakeOp::GetVoices, QStringLiteral("listing failed"), 1);

        auto voice = engine.createVoice();
        try {
            voice->voices();
            QFAIL("GetVoices did not fail");
        } catch (const SpeechError& error) {
            QCOMPARE(error.message(), QStringLiteral("listing failed"));
        }
        const VoiceTokenPtr token = voice->voices().item(0); // only the first call failed
        QVERIFY_THROWS_EXCEPTION(SpeechError, token->attribute(QStringLiteral("Language")));
        QVERIFY_THROWS_EXCEPTION(SpeechError, voice->setVoice(token));
    }

    void speechAdvancesOnlyWhenTheTestSaysSo() {
        FakeSpeechEngine engine;
        engine.addVoice(QStringLiteral("Voice A"), QStringLiteral("409"));
        engine.setSpeechStartsAtOnce(false);
        auto voice = engine.createVoice();
        voice->setRate(-2);
        voice->speak(QStringLiteral("Hello."), kSpeakAsync);
        QCOMPARE(voice->runningState(), kRunningStateNone);
        engine.startSpeech();
        QCOMPARE(voice->runningState(), kRunningStateSpeaking);
        QVERIFY(engine.isSpeaking());
        engine.finishSpeech();
        QCOMPARE(voice->runningState(), kRunningStateDone);

        QCOMPARE(engine.spoken.size(), 1);
        QCOMPARE(engine.spoken[0].text, QStringLiteral("Hello."));
        QCOMPARE(engine.spoken[0].voice, QStringLiteral("Voice A"));
        QCOMPARE(engine.spoken[0].rate, -2);
        QCOMPARE(engine.spoken[0].flags, kSpeakAsync);
    }

    void purgeSilencesAndOperationsAreBracketed() {
        FakeSpeechEngine engine;
        auto voice = engine.createVoice();
        voice->speak(QStringLiteral("Hello."), kSpeakAsync);
        QCOMPARE(voice->runningState(), kRunningStateSpeaking);
        voice->speak(QString(), kSpeakAsync | kSpeakPurge);
        QCOMPARE(voice->runningState(), kRunningStateDone);
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
