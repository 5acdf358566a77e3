// The sample lesson read aloud by the program's own speech engine, on its silent output with a
// clock the test moves: no sound device and no real-time waiting.
#include "app/MainWindow.h"
#include "audio/AudioOutput.h"
#include "playback/PlaybackController.h"
#include "settings/LanguageName.h"
#include "settings/SettingsFile.h"
#include "support/Controls.h"
#include "support/FakeServices.h"
#include "voices/EmbeddedSpeechEngine.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>
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

    std::unique_ptr<SpeechVoice> createVoice() override {
        return std::make_unique<Voice>(*this, m_inner.createVoice());
    }
    std::unique_ptr<VoiceCategory> createVoiceCategory() override {
        return m_inner.createVoiceCategory();
    }
    void beginOperation() override { m_inner.beginOperation(); }
    void endOperation() override { m_inner.endOperation(); }

private:
    class Voice : public SpeechVoice {
    public:
        Voice(RecordingEngine& engine, std::unique_ptr<SpeechVoice> inner)
            : m_engine(engine)
            , m_inner(std::move(inner)) {
            // The engine's own signals, passed on as this object's.
            QObject::connect(&m_inner->events(), &SpeechVoiceEvents::utteranceStarted, &events(),
                             &SpeechVoiceEvents::utteranceStarted);
            QObject::connect(&m_inner->events(), &SpeechVoiceEvents::utteranceEnded, &events(),
                             &SpeechVoiceEvents::utteranceEnded);
            m_engine.m_voices << this;
        }
        ~Voice() override { m_engine.m_voices.removeOne(this); }
        TokenCollection voices() override { return m_inner->voices(); }
        void setVoice(const VoiceTokenPtr& token) override {
            m_inner->setVoice(token);
            m_voice = token->description();
        }
        void setRate(int rate) override { m_inner->setRate(rate); }
        void speak(const QString& text, int flags) override {
            m_inner->speak(text, flags);
            m_lastState = kRunningStateNone;
            if (!text.isEmpty())
                m_engine.spoken.append({text, m_voice});
        }
        // Signals the changes of the running state that the engine has not signalled itself.
        // A second signal of the same end is one playback ignores.
        void signalChanges() {
            const int state = m_inner->runningState();
            if (state == m_lastState)
                return;
            m_lastState = state;
            if (state == kRunningStateSpeaking)
                emit events().utteranceStarted();
            else if (state == kRunningStateDone)
                emit events().utteranceEnded();
        }
        int runningState() override { return m_inner->runningState(); }
        QString utteranceError() override { return m_inner->utteranceError(); }
        PendingLengthPtr measure(const QString& text) override { return m_inner->measure(text); }
        void prepare(const QString& text) override { m_inner->prepare(text); }

    private:
        RecordingEngine& m_engine;
        std::unique_ptr<SpeechVoice> m_inner;
        QString m_voice;
        int m_lastState = kRunningStateNone;
    };

    SpeechEngine& m_inner;
    QList<Voice*> m_voices;

public:
    void signalChanges() {
        for (Voice* voice : QList(m_voices))
            voice->signalChanges();
    }
};

// The engine's ordinary voices of one language, in its order.
QStringList voicesOf(SpeechEngine& engine, const QString& language) {
    const EngineOperation operation(engine);
    const TokenCollection voices = engine.createVoice()->voices();
    QStringList found;
    for (int i = 0; i < voices.count(); ++i) {
        const VoiceTokenPtr token = voices.item(i);
        if (languageNameOf(token->attribute(QStringLiteral("Language"))) == language)
            found << token->description();
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
    QVERIFY(english.size() >= 3);
    QVERIFY(!japanese.isEmpty());

    // Speakers A and Q have a checked voice; B and R have none and are spoken, without a
    // notice, by their own default voices: the second English and the second Japanese voice.
    FakeServices fakes;
    SettingsFile settings(fakes.settingsPath());
    rewriteCatalogue(settings, {{english[2], kLanguageEnglish, kVoiceTypeSapi},
                                {japanese.last(), kLanguageJapanese, kVoiceTypeSapi}});
    settings.writeString(kVoiceSection, QStringLiteral("SpeakerA_English"), english[2]);
    settings.writeString(kVoiceSection, QStringLiteral("SpeakerA_Japanese"), japanese.last());
    const Services services{fakes.messages,
                            fakes.fileDialogs,
                            fakes.clipboard,
                            fakes.beeper,
                            recording,
                            fakes.settingsPath(),
                            u'.'};
    MainWindow form(services);

    // Time passes on the clock in steps of 100 ms; the playback timer runs out when its
    // time on that clock has come.
    QTimer& timer = *form.findChild<QTimer*>(QStringLiteral("playbackTimer"));
    qint64 now = 0;
    qint64 due = -1;
    form.playback().playPause();
    for (int step = 0; step < 3000 && form.playback().isPlaying(); ++step) {
        engine.waitForSynthesis();
        recording.signalChanges();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        if (!timer.isActive())
            due = -1;
        else if (due < 0)
            due = now + timer.interval();
        else if (now >= due) {
            timer.stop();
            due = -1;
            QMetaObject::invokeMethod(&timer, "timeout");
            QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
        }
        clock->advanceMs(100);
        now += 100;
    }
    QVERIFY(!form.playback().isPlaying());
    QCOMPARE(control<QPushButton>(form, "btnSpeak")->text(), QStringLiteral("読み上げ"));

    QCOMPARE(recording.spoken.size(), 4);
    QCOMPARE(recording.spoken[0].text, QStringLiteral("Hello. How are you?"));
    QCOMPARE(recording.spoken[0].voice, english[2]);
    QCOMPARE(recording.spoken[1].text, QStringLiteral("I'm fine, thank you."));
    QCOMPARE(recording.spoken[1].voice, english[1]);
    QCOMPARE(recording.spoken[2].text, QStringLiteral("今日はいい天気ですね。"));
    QCOMPARE(recording.spoken[2].voice, japanese.last());
    QCOMPARE(recording.spoken[3].text, QStringLiteral("そうですね。"));
    QCOMPARE(recording.spoken[3].voice, japanese[1 % japanese.size()]);
    QVERIFY(fakes.messages.messages.isEmpty());
}

QTEST_MAIN(TestPlaybackWithEngine)
#include "tst_playback_engine.moc"
