// The sample lesson read aloud by the program's own speech engine, on its silent output with a
// clock the test moves: no sound device and no real-time waiting.
#include "app/Unit1.h"
#include "playback/PlaybackController.h"
#include "support/FakeServices.h"
#include "voices/AudioOutput.h"
#include "voices/EmbeddedSpeechEngine.h"
#include "voices/LanguageName.h"
#include "voices/SettingsFile.h"

#include <QPushButton>
#include <QTest>
#include <atomic>

using namespace lessora;
using namespace lessora::test;

namespace {

class ManualClock : public AudioClock {
public:
    qint64 nowUs() const override { return m_now; }
    void advanceMs(qint64 ms) { m_now += ms * 1000; }

private:
    std::atomic<qint64> m_now = 1'000'000;
};

// Passes everything to the real engine and notes which voice spoke each text.
class RecordingEngine : public SpeechEngine {
public:
    struct Spoken {
        QString text;
        QString voice; // empty: the voice a fresh voice object speaks with
    };

    explicit RecordingEngine(SpeechEngine& inner)
        : m_inner(inner) {}

    QList<Spoken> spoken;

    std::unique_ptr<SpVoice> CreateVoice() override {
        return std::make_unique<Voice>(*this, m_inner.CreateVoice());
    }
    std::unique_ptr<TokenCategory> CreateTokenCategory() override {
        return m_inner.CreateTokenCategory();
    }
    void BeginOperation() override { m_inner.BeginOperation(); }
    void EndOperation() override { m_inner.EndOperation(); }

private:
    class Voice : public SpVoice {
    public:
        Voice(RecordingEngine& engine, std::unique_ptr<SpVoice> inner)
            : m_engine(engine)
            , m_inner(std::move(inner)) {}
        TokenCollection GetVoices() override { return m_inner->GetVoices(); }
        void SetVoice(const VoiceTokenPtr& token) override {
            m_inner->SetVoice(token);
            m_voice = token->GetDescription();
        }
        void SetRate(int rate) override { m_inner->SetRate(rate); }
        void Speak(const QString& text, int flags) override {
            m_inner->Speak(text, flags);
            if (!text.isEmpty())
                m_engine.spoken.append({text, m_voice});
        }
        int RunningState() override { return m_inner->RunningState(); }

    private:
        RecordingEngine& m_engine;
        std::unique_ptr<SpVoice> m_inner;
        QString m_voice;
    };

    SpeechEngine& m_inner;
};

// The engine's ordinary voices of one language, in its order.
QStringList voicesOf(SpeechEngine& engine, const QString& language) {
    const EngineOperation operation(engine);
    const TokenCollection voices = engine.CreateVoice()->GetVoices();
    QStringList found;
    for (int i = 0; i < voices.Count(); ++i) {
        const VoiceTokenPtr token = voices.Item(i);
        if (GetLanguageName(token->GetAttribute(QStringLiteral("Language"))) == language)
            found << token->GetDescription();
    }
    return found;
}

} // namespace

class TestPlaybackWithEngine : public QObject {
    Q_OBJECT
private slots:
    void sampleLessonInTheSpeakersVoices();
};

void TestPlaybackWithEngine::sampleLessonInTheSpeakersVoices() {
    auto clock = std::make_shared<ManualClock>();
    EmbeddedEngineOptions options;
    options.output = EmbeddedEngineOptions::Output::Silent;
    options.clock = clock;
    options.pumpThread = false;
    EmbeddedSpeechEngine engine(options);
    RecordingEngine recording(engine);

    const QStringList english = voicesOf(engine, kLanguageEnglish);
    const QStringList japanese = voicesOf(engine, kLanguageJapanese);
    QVERIFY(english.size() >= 2);
    QVERIFY(!japanese.isEmpty());

    // Speakers A and Q have a checked voice; B and R have none and take the fallback, which
    // must still speak Japanese rows in a Japanese voice.
    FakeServices fakes;
    SettingsFile settings(fakes.settingsPath());
    rewriteCatalogue(settings, {{english[1], kLanguageEnglish, kVoiceTypeSapi},
                                {japanese.last(), kLanguageJapanese, kVoiceTypeSapi}});
    settings.WriteString(kVoiceSection, QStringLiteral("SpeakerA_English"), english[1]);
    settings.WriteString(kVoiceSection, QStringLiteral("SpeakerA_Japanese"), japanese.last());
    const Services services{fakes.messages,
                            fakes.fileDialogs,
                            fakes.clipboard,
                            fakes.beeper,
                            recording,
                            fakes.settingsPath(),
                            u'.'};
    TForm1 form(services);

    form.btnSpeakClick();
    for (int tick = 0; tick < 3000 && form.playback().isPlaying(); ++tick) {
        engine.waitForSynthesis();
        form.tmrNextTimer();
        clock->advanceMs(100);
    }
    QVERIFY(!form.playback().isPlaying());
    QCOMPARE(form.btnSpeak->text(), QStringLiteral("読み上げ"));

    QCOMPARE(recording.spoken.size(), 4);
    QCOMPARE(recording.spoken[0].text, QStringLiteral("Hello. How are you?"));
    QCOMPARE(recording.spoken[0].voice, english[1]);
    QCOMPARE(recording.spoken[1].text, QStringLiteral("I'm fine, thank you."));
    QVERIFY(english.contains(recording.spoken[1].voice));
    QCOMPARE(recording.spoken[2].text, QStringLiteral("今日はいい天気ですね。"));
    QCOMPARE(recording.spoken[2].voice, japanese.last());
    QCOMPARE(recording.spoken[3].text, QStringLiteral("そうですね。"));
    QVERIFY(japanese.contains(recording.spoken[3].voice));
    QCOMPARE(fakes.messages.messages.size(), 1); // the fallback notice, once in the run
}

QTEST_MAIN(TestPlaybackWithEngine)
#include "tst_playback_engine.moc"
