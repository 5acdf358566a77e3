// The embedded engine with the silent output and a clock the test moves: no sound device and
// no real-time waiting (only for the synthesis thread, which runs far faster than real time).

#include "audio/AudioBeeper.h"
#include "audio/AudioOutput.h"
#include "audio/Loudness.h"
#include "audio/SampleRateConverter.h"
#include "support/AudioLevel.h"
#include "voices/EmbeddedSpeechEngine.h"
#include "voices/EmbeddedVoices.h"
#include "voices/SpeechPieces.h"
#include "voices/SynthesisWorker.h"

#include <QRegularExpression>
#include <QScopeGuard>
#include <QSet>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <cmath>
#include <thread>

using namespace lessora;
using lessora::test::activeRmsDb;

namespace {

const QString kEnglishTest = QStringLiteral("This is a voice test.");
const QString kJapaneseTest = QStringLiteral("これは音声のテストです。");

class ManualClock : public AudioClock {
public:
    qint64 nowUs() const override { return m_now; }
    void advanceMs(qint64 ms) { m_now += ms * 1000; }
    void advanceUs(qint64 us) { m_now += us; }

private:
    std::atomic<qint64> m_now = 1'000'000;
};

// Moves on by a step at every reading, so that a waiting caller sees time pass.
class SteppingClock : public AudioClock {
public:
    qint64 nowUs() const override { return m_now += 10'000; }

private:
    mutable std::atomic<qint64> m_now = 0;
};

EmbeddedEngineOptions silentOptions(std::shared_ptr<const AudioClock> clock) {
    EmbeddedEngineOptions options;
    options.output = EmbeddedEngineOptions::Output::Silent;
    options.clock = std::move(clock);
    options.pumpThread = false;
    return options;
}

double seconds(const SynthesizedAudio& audio) {
    return double(audio.samples.size()) / audio.sampleRate;
}

qint64 durationMs(const QString& voice, const QString& text, int rate = 0) {
    const SynthesizedAudio audio = synthesizeToMemory(voice, text, rate);
    return qint64(audio.samples.size()) * 1000 / audio.sampleRate;
}

VoiceTokenPtr tokenFor(SpeechVoice& voice, const QString& description) {
    const TokenCollection tokens = voice.voices();
    for (int i = 0; i < tokens.count(); ++i) {
        if (tokens.item(i)->description() == description)
            return tokens.item(i);
    }
    return {};
}

const QString kSlt = QStringLiteral("Flite Slt - English (United States)");

// A sink whose stream never opens, as when the sound server has gone away.
class BrokenSink : public PcmSink {
public:
    bool open() override { return false; }
    void close() override {}
    qint64 writableFrames() override { return 0; }
    qint64 write(const qint16*, qint64) override { return 0; }
    qint64 playedFrames() override { return 0; }
};

// A stream that takes everything and then breaks down before playing it.
class FailingSink : public PcmSink {
public:
    bool open() override { return true; }
    void close() override {}
    qint64 writableFrames() override { return 1 << 20; }
    qint64 write(const qint16*, qint64 count) override {
        m_written = true;
        return count;
    }
    qint64 playedFrames() override { return 0; }
    bool failed() override { return m_written; }

private:
    bool m_written = false;
};

// A sound server that can go away and come back: streams open only while it is there, and an
// open stream breaks down when it goes. Paced by the clock like the silent sink.
class SwitchableSink : public SilentPcmSink {
public:
    explicit SwitchableSink(std::shared_ptr<const AudioClock> clock)
        : SilentPcmSink(std::move(clock), 22050) {}
    bool open() override { return m_up && SilentPcmSink::open(); }
    qint64 write(const qint16* samples, qint64 count) override {
        m_received += count;
        return SilentPcmSink::write(samples, count);
    }
    bool failed() override { return !m_up; }
    void setUp(bool up) { m_up = up; }
    qint64 received() const { return m_received; }

private:
    bool m_up = true;
    qint64 m_received = 0;
};

// Paced by the clock like the silent sink, but its position can be held still, as libpulse's
// clock sometimes is.
class HoldableSink : public SilentPcmSink {
public:
    explicit HoldableSink(std::shared_ptr<const AudioClock> clock)
        : SilentPcmSink(std::move(clock), 22050) {}
    qint64 playedFrames() override {
        if (!m_held)
            m_last = SilentPcmSink::playedFrames();
        return m_last;
    }
    void setHeld(bool held) { m_held = held; }

private:
    bool m_held = false;
    qint64 m_last = 0;
};

// Plays one utterance of these samples to its end on an output driven by hand.
void playThrough(AudioOutput& output, ManualClock& clock, const std::vector<qint16>& samples) {
    UtterancePtr utterance = output.enqueue(AudioOutput::newOwner());
    output.append(utterance, samples.data(), qint64(samples.size()));
    output.finishSynthesis(utterance);
    for (int step = 0; step < 100 && !output.isFinished(utterance); ++step) {
        output.pump();
        clock.advanceMs(20);
    }
    QVERIFY(output.isFinished(utterance));
    QVERIFY(output.errorOf(utterance).isEmpty());
}

// Where the first sample at -50 dBFS or louder is, in milliseconds.
double firstAudibleMs(const SynthesizedAudio& audio) {
    const auto audible = std::find_if(audio.samples.begin(), audio.samples.end(),
                                      [](qint16 s) { return std::abs(s) >= 104; });
    return double(audible - audio.samples.begin()) * 1000 / audio.sampleRate;
}

// Takes everything at once and keeps it: what the listener would hear, without the wait.
class RecordingSink : public PcmSink {
public:
    explicit RecordingSink(std::shared_ptr<std::vector<qint16>> heard)
        : m_heard(std::move(heard)) {}
    bool open() override { return true; }
    void close() override {}
    qint64 writableFrames() override { return 1 << 20; }
    qint64 write(const qint16* samples, qint64 count) override {
        m_heard->insert(m_heard->end(), samples, samples + count);
        m_written += count;
        return count;
    }
    qint64 playedFrames() override { return m_written; }

private:
    std::shared_ptr<std::vector<qint16>> m_heard;
    qint64 m_written = 0;
};

} // namespace

class TestEmbeddedEngine : public QObject {
    Q_OBJECT

private slots:
    void listsDistinctStableVoicesOfBothLanguages() {
        EmbeddedSpeechEngine engine(silentOptions(std::make_shared<ManualClock>()));
        auto voice = engine.createVoice();
        const TokenCollection tokens = voice->voices();
        static const QRegularExpression platformLike(
            QStringLiteral("^[A-Za-z]+ [A-Za-z]+ - (English|Japanese) \\([A-Za-z ]+\\)$"));
        QSet<QString> seen;
        int english = 0;
        int japanese = 0;
        for (int i = 0; i < tokens.count(); ++i) {
            const QString description = tokens.item(i)->description();
            QVERIFY2(platformLike.match(description).hasMatch(), qPrintable(description));
            QVERIFY2(!seen.contains(description.toUpper()), qPrintable(description));
            seen.insert(description.toUpper());
            const QString language = tokens.item(i)->attribute(QStringLiteral("Language"));
            QVERIFY2(language == "409" || language == "809" || language == "411",
                     qPrintable(language));
            (language == "411" ? japanese : english) += 1;
            QCOMPARE(language == "411", description.contains("Japanese"));
        }
        QVERIFY(english >= 3);
        QVERIFY(japanese >= 3);

        EmbeddedSpeechEngine again(silentOptions(std::make_shared<ManualClock>()));
        const TokenCollection later = again.createVoice()->voices();
        QCOMPARE(later.count(), tokens.count());
        for (int i = 0; i < tokens.count(); ++i)
            QCOMPARE(later.item(i)->description(), tokens.item(i)->description());
    }

    void oneCoreCategoryIsEmptyOtherIdsFail() {
        EmbeddedSpeechEngine engine(silentOptions(std::make_shared<ManualClock>()));
        auto category = engine.createVoiceCategory();
        QVERIFY_THROWS_EXCEPTION(SpeechError, category->enumerateTokens());
        category->setId(kOneCoreVoicesCategory, false);
        QCOMPARE(category->enumerateTokens().count(), 0);
        QVERIFY_THROWS_EXCEPTION(SpeechError,
                                 category->setId(QStringLiteral("HKEY_NOWHERE\\Voices"), false));
    }

    void rejectsForeignTokensAndRatesOutOfRange() {
        EmbeddedSpeechEngine engine(silentOptions(std::make_shared<ManualClock>()));
        auto voice = engine.createVoice();
        QVERIFY_THROWS_EXCEPTION(SpeechError, voice->setVoice(nullptr));
        QVERIFY_THROWS_EXCEPTION(SpeechError, voice->setRate(11));
        voice->setRate(-2);
        voice->setRate(2);
    }

    void everyVoiceSpeaksItsTestSentence_data() {
        QTest::addColumn<QString>("voice");
        QTest::addColumn<QString>("text");
        for (const EmbeddedVoice& voice : embeddedVoices()) {
            QTest::newRow(qPrintable(voice.description))
                << voice.description << (voice.isJapanese() ? kJapaneseTest : kEnglishTest);
        }
    }
    void everyVoiceSpeaksItsTestSentence() {
        QFETCH(QString, voice);
        QFETCH(QString, text);
        const SynthesizedAudio audio = synthesizeToMemory(voice, text, 0);
        QCOMPARE(audio.sampleRate, kSpeechSampleRate);
        QVERIFY2(seconds(audio) >= 0.5 && seconds(audio) <= 5,
                 qPrintable(QString::number(seconds(audio))));
    }

    void latinWordsInJapaneseLinesAreReadAsWords() {
        const EmbeddedVoice& voice =
            *findEmbeddedVoice(QStringLiteral("eSpeak Kenta - Japanese (Japan)"));
        const auto secondsOf = [&voice](ReadingSegment::Kind latinKind) {
            const QList<ReadingSegment> segments = {
                {ReadingSegment::Kind::Japanese, QStringLiteral("ワタシワ")},
                {latinKind, QStringLiteral("Lessora English")},
                {ReadingSegment::Kind::Japanese, QStringLiteral("ヲベンキョーシマス。")},
            };
            qint64 samples = 0;
            SynthesisWorker::instance().runAndWait([&](SynthesisContext& context) {
                synthesizeSegments(context, voice, segments, 0, kSpeechSampleRate,
                                   [&samples](const qint16*, qint64 count) {
                                       samples += count;
                                       return true;
                                   });
            });
            return double(samples) / kSpeechSampleRate;
        };
        const double asWords = secondsOf(ReadingSegment::Kind::Latin);
        const double spelled = secondsOf(ReadingSegment::Kind::Japanese);
        QVERIFY2(asWords > 1.0 && asWords < 4.0, qPrintable(QString::number(asWords)));
        QVERIFY2(spelled > asWords + 1.0, qPrintable(QString::number(spelled)));
    }

    void voiceIsFoundIgnoringAsciiCaseOnly() {
        QVERIFY(!synthesizeToMemory(kSlt.toUpper(), kEnglishTest, 0).samples.isEmpty());
        QVERIFY_THROWS_EXCEPTION(
            SpeechError, synthesizeToMemory(QStringLiteral("No Such Voice"), kEnglishTest, 0));
    }

    void rateScalesSpeed_data() {
        QTest::addColumn<QString>("voice");
        QTest::addColumn<QString>("text");
        QTest::newRow("flite") << kSlt
                               << QStringLiteral("Hello. How are you? I'm fine, thank you.");
        QTest::newRow("espeak English")
            << QStringLiteral("eSpeak Alex - English (United States)")
            << QStringLiteral("Hello. How are you? I'm fine, thank you.");
        QTest::newRow("espeak Japanese")
            << QStringLiteral("eSpeak Kenta - Japanese (Japan)")
            << QStringLiteral("キョーワイイテンキデスネ。ソーデスネ。");
    }
    void rateScalesSpeed() {
        QFETCH(QString, voice);
        QFETCH(QString, text);
        const double slow = double(durationMs(voice, text, -2));
        const double normal = double(durationMs(voice, text, 0));
        const double fast = double(durationMs(voice, text, 2));
        QVERIFY(slow > normal);
        QVERIFY(normal > fast);
        // Two steps each way: 3^(0.2) ~ 1.25 if all of it stretched; pauses stretch less.
        QVERIFY2(slow / fast > 1.25 && slow / fast < 1.8, qPrintable(QString::number(slow / fast)));
    }

    void asyncSpeechIsSpeakingUntilItsLastSampleIsHeard() {
        auto clock = std::make_shared<ManualClock>();
        EmbeddedSpeechEngine engine(silentOptions(clock));
        QVERIFY(engine.isSilent());
        auto voice = engine.createVoice();
        voice->setVoice(tokenFor(*voice, kSlt));
        QCOMPARE(voice->runningState(), kRunningStateNone);

        voice->speak(kEnglishTest, kSpeakAsync);
        QCOMPARE(voice->runningState(), kRunningStateSpeaking);
        engine.waitForSynthesis();
        QCOMPARE(voice->runningState(), kRunningStateSpeaking);

        const qint64 duration = durationMs(kSlt, kEnglishTest);
        clock->advanceMs(duration - 30);
        QCOMPARE(voice->runningState(), kRunningStateSpeaking);
        clock->advanceMs(40);
        QCOMPARE(voice->runningState(), kRunningStateDone);
    }

    void purgeEndsSpeechAtOnceAndTheNextLineFollows() {
        auto clock = std::make_shared<ManualClock>();
        EmbeddedSpeechEngine engine(silentOptions(clock));
        auto voice = engine.createVoice();
        voice->setVoice(tokenFor(*voice, kSlt));
        voice->speak(QStringLiteral("A long line that is stopped before it has been heard."),
                     kSpeakAsync);
        engine.waitForSynthesis();
        clock->advanceMs(300);
        QCOMPARE(voice->runningState(), kRunningStateSpeaking);

        voice->speak(QString(), kSpeakAsync | kSpeakPurge);
        QCOMPARE(voice->runningState(), kRunningStateDone);

        auto next = engine.createVoice();
        next->setVoice(tokenFor(*next, kSlt));
        next->speak(kEnglishTest, kSpeakAsync);
        engine.waitForSynthesis();
        QCOMPARE(next->runningState(), kRunningStateSpeaking);
        clock->advanceMs(durationMs(kSlt, kEnglishTest) + 10);
        QCOMPARE(next->runningState(), kRunningStateDone);
    }

    void voicesSpeakInTurnAndADroppedVoiceFallsSilent() {
        auto clock = std::make_shared<ManualClock>();
        EmbeddedSpeechEngine engine(silentOptions(clock));
        auto first = engine.createVoice();
        auto second = engine.createVoice();
        auto dropped = engine.createVoice();
        first->setVoice(tokenFor(*first, kSlt));
        second->setVoice(tokenFor(*second, kSlt));
        first->speak(kEnglishTest, kSpeakAsync);
        dropped->speak(QStringLiteral("Never heard."), kSpeakAsync);
        dropped.reset();
        second->speak(kEnglishTest, kSpeakAsync);
        engine.waitForSynthesis();
        const qint64 duration = durationMs(kSlt, kEnglishTest);

        QCOMPARE(first->runningState(), kRunningStateSpeaking);
        clock->advanceMs(duration + 10);
        QCOMPARE(first->runningState(), kRunningStateDone);
        QCOMPARE(second->runningState(), kRunningStateSpeaking);
        clock->advanceMs(duration - 40); // the dropped line took no time
        QCOMPARE(second->runningState(), kRunningStateSpeaking);
        clock->advanceMs(60);
        QCOMPARE(second->runningState(), kRunningStateDone);
    }

    // Whoever waits for a line learns of its end from the voice object's signal, once, however
    // it ends; its start is told when its first sample reaches the output.
    void endedSignalArrivesOnceHoweverTheUtteranceEnds_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("heard to its end") << "finished";
        QTest::newRow("silenced") << "purged";
        QTest::newRow("replaced by the next line") << "replaced";
        QTest::newRow("no output can be opened") << "failed";
        QTest::newRow("nothing to say") << "empty";
    }

    void endedSignalArrivesOnceHoweverTheUtteranceEnds() {
        QFETCH(QString, how);
        auto clock = std::make_shared<ManualClock>();
        EmbeddedEngineOptions options = silentOptions(clock);
        if (how == u"failed") {
            options.makeSink = [clock]() -> std::unique_ptr<PcmSink> {
                auto sink = std::make_unique<SwitchableSink>(clock);
                sink->setUp(false);
                return sink;
            };
        }
        EmbeddedSpeechEngine engine(options);
        auto voice = engine.createVoice();
        voice->setVoice(tokenFor(*voice, kSlt));
        QSignalSpy started(&voice->events(), &SpeechVoiceEvents::utteranceStarted);
        QSignalSpy ended(&voice->events(), &SpeechVoiceEvents::utteranceEnded);
        const qint64 duration = durationMs(kSlt, kEnglishTest);
        const auto settle = [&] {
            engine.waitForSynthesis();
            voice->runningState(); // drives the output
            QCoreApplication::processEvents();
        };

        voice->speak(how == u"empty" ? QString() : kEnglishTest, kSpeakAsync);
        settle();
        int expectedEnds = 0;
        if (how == u"failed" || how == u"empty") {
            QCOMPARE(started.count(), 0);
            expectedEnds = 1;
            if (how == u"failed")
                QCOMPARE(voice->utteranceError(), QStringLiteral("音声出力を開けません"));
        } else {
            QCOMPARE(started.count(), 1);
            QCOMPARE(ended.count(), 0);
            if (how == u"finished") {
                clock->advanceMs(duration + 10);
                expectedEnds = 1;
            } else if (how == u"purged") {
                voice->speak(QString(), kSpeakAsync | kSpeakPurge);
                expectedEnds = 1;
            } else {
                voice->speak(kEnglishTest, kSpeakAsync | kSpeakPurge);
                settle();
                QCOMPARE(ended.count(), 1);
                QCOMPARE(started.count(), 2);
                clock->advanceMs(duration + 10);
                expectedEnds = 2;
            }
        }
        settle();
        QCOMPARE(voice->runningState(), kRunningStateDone);
        QCOMPARE(ended.count(), expectedEnds);
        // Nothing more comes of it later.
        clock->advanceMs(2000);
        settle();
        QCOMPARE(ended.count(), expectedEnds);
    }

    void outputThreadPlaysWithoutBeingAsked() {
        auto clock = std::make_shared<ManualClock>();
        EmbeddedEngineOptions options = silentOptions(clock);
        options.pumpThread = true;
        EmbeddedSpeechEngine engine(options);
        auto voice = engine.createVoice();
        voice->setVoice(tokenFor(*voice, kSlt));
        voice->speak(kEnglishTest, kSpeakAsync);
        engine.waitForSynthesis();
        QTRY_COMPARE(engine.audioOutput()->startStatistics().started, 1u);
        QCOMPARE(voice->runningState(), kRunningStateSpeaking);
        clock->advanceMs(durationMs(kSlt, kEnglishTest) + 10);
        QTRY_COMPARE(voice->runningState(), kRunningStateDone);
    }

    void syncSpeakReturnsWhenTheLineHasBeenHeard() {
        auto clock = std::make_shared<SteppingClock>();
        EmbeddedSpeechEngine engine(silentOptions(clock));
        auto voice = engine.createVoice();
        voice->setVoice(tokenFor(*voice, kSlt));
        const qint64 before = clock->nowUs();
        voice->speak(kEnglishTest, kSpeakSync);
        QVERIFY(clock->nowUs() - before >= durationMs(kSlt, kEnglishTest) * 1000);
        QCOMPARE(voice->runningState(), kRunningStateDone);
    }

    void emptyTextEndsAtOnceButCountsAsSpoken() {
        EmbeddedSpeechEngine engine(silentOptions(std::make_shared<ManualClock>()));
        auto voice = engine.createVoice();
        voice->speak(QString(), kSpeakAsync);
        QCOMPARE(voice->runningState(), kRunningStateDone);
    }

    void defaultVoiceFollowsTheScriptOfTheText() {
        QVERIFY(defaultVoiceFor(kJapaneseTest).isJapanese());
        QVERIFY(defaultVoiceFor(QStringLiteral("カタカナ")).isJapanese());
        QVERIFY(!defaultVoiceFor(kEnglishTest).isJapanese());
        QVERIFY(!defaultVoiceFor(QStringLiteral("Fine 😀")).isJapanese());
    }

    void beepPlaysThroughTheOutput() {
        auto clock = std::make_shared<ManualClock>();
        EmbeddedSpeechEngine engine(silentOptions(clock));
        AudioBeeper beeper(engine.audioOutput());
        beeper.beep();
        engine.audioOutput()->pump();
        QCOMPARE(engine.audioOutput()->startStatistics().started, 1u);
    }

    void silentSinkKeepsRealTimePacing() {
        auto clock = std::make_shared<ManualClock>();
        SilentPcmSink sink(clock, 22050);
        QVERIFY(sink.open());
        const std::vector<qint16> second(22050);
        sink.write(second.data(), qint64(second.size()));
        QCOMPARE(sink.playedFrames(), 0);
        clock->advanceMs(500);
        QCOMPARE(sink.playedFrames(), 11025);
        for (int i = 0; i < 1000; ++i) // many small steps lose no fraction of a frame
            clock->advanceUs(45);
        QCOMPARE(sink.playedFrames(), 11025 + 992);
        clock->advanceMs(5000);
        QCOMPARE(sink.playedFrames(), 22050); // never ahead of what was written
        sink.write(second.data(), 100);       // time spent idle is not credited
        QCOMPARE(sink.playedFrames(), 22050);
        clock->advanceMs(1);
        QCOMPARE(sink.playedFrames(), 22050 + 22);
    }

    // The output was polled every 5 ms while it had work. Now it names the time it must run
    // again: when the end of the line is due (looked at again, not at once, if the position
    // lags behind), when the idle stream is to close, and never once it is closed.
    void outputAsksToRunAgainOnlyWhenSomethingIsDue() {
        auto clock = std::make_shared<ManualClock>();
        auto sink = std::make_unique<HoldableSink>(clock);
        HoldableSink& held = *sink;
        AudioOutput output(std::move(sink), 22050, clock);
        const std::vector<qint16> second(22050, 1000);
        UtterancePtr utterance = output.enqueue(AudioOutput::newOwner());
        output.append(utterance, second.data(), qint64(second.size()));
        output.finishSynthesis(utterance);
        const qint64 margin = AudioOutput::kEndMarginUs;
        QCOMPARE(output.pump(), 1'000'000 + margin);
        clock->advanceMs(400);
        QCOMPARE(output.pump(), 600'000 + margin);
        clock->advanceMs(595);
        const qint64 nearEnd = output.pump();
        QVERIFY(nearEnd > margin && nearEnd < AudioOutput::kLateRecheckUs);
        held.setHeld(true); // the position stands still past the time computed
        clock->advanceUs(nearEnd);
        QCOMPARE(output.pump(), AudioOutput::kLateRecheckUs);
        QVERIFY(!output.isFinished(utterance));
        held.setHeld(false);
        clock->advanceMs(10);
        QCOMPARE(output.pump(), qint64(AudioOutput::kLingerMs) * 1000);
        QVERIFY(output.isFinished(utterance));
        clock->advanceMs(AudioOutput::kLingerMs);
        QCOMPARE(output.pump(), AudioOutput::kUntilWoken);
        QCOMPARE(output.pump(), AudioOutput::kUntilWoken);
    }

    // Flite's voices began with up to a quarter of a second of near-silence: the click on
    // "読み上げ" was heard late.
    void everyVoiceIsAudibleFromItsFirstSamples_data() {
        QTest::addColumn<QString>("voice");
        QTest::addColumn<QString>("text");
        for (const EmbeddedVoice& voice : embeddedVoices()) {
            QTest::newRow(qPrintable(voice.description))
                << voice.description << (voice.isJapanese() ? kJapaneseTest : kEnglishTest);
        }
    }
    void everyVoiceIsAudibleFromItsFirstSamples() {
        QFETCH(QString, voice);
        QFETCH(QString, text);
        for (const QString& line : {text, QStringLiteral("Hello."), QStringLiteral("はい。")}) {
            const SynthesizedAudio audio = synthesizeToMemory(voice, line, 0);
            QVERIFY2(firstAudibleMs(audio) <= 10,
                     qPrintable(line + QStringLiteral(": %1 ms").arg(firstAudibleMs(audio))));
        }
    }

    // Lines of one voice and of different voices were up to 5 dB apart in loudness: every
    // line as played, short or spoken in several pieces, is within 1 LU of the common target.
    void everyLineIsEquallyLoud_data() {
        QTest::addColumn<QString>("voice");
        QTest::addColumn<QStringList>("lines");
        const QString longEnglish = QStringLiteral(
            "When you arrive at the station, take the north exit and walk straight on past the "
            "bakery and the small park with the fountain; the museum is the tall grey building "
            "on the corner, and the entrance is on the far side, next to the bus stop where the "
            "number twelve stops every ten minutes or so during the day.");
        const QString longJapanese = QStringLiteral(
            "駅に着いたら北口を出て、パン屋と噴水のある小さな公園の前をまっすぐ歩いてください。"
            "博物館は角にある背の高い灰色の建物で、入り口は反対側、昼間は十分ごとに十二番の"
            "バスが止まるバス停の隣にあります。雨の日は地下道を通ると濡れずに行けますよ。");
        for (const EmbeddedVoice& voice : embeddedVoices()) {
            if (!isInstalled(voice))
                continue;
            const QStringList lines =
                voice.isJapanese()
                    ? QStringList{QStringLiteral("はい。"), kJapaneseTest,
                                  QStringLiteral("すみません、もう一度お願いします。"),
                                  longJapanese}
                    : QStringList{QStringLiteral("Yes."), kEnglishTest,
                                  QStringLiteral("Excuse me, could you say that again?"),
                                  longEnglish};
            QTest::newRow(qPrintable(voice.description)) << voice.description << lines;
        }
    }
    void everyLineIsEquallyLoud() {
        QFETCH(QString, voice);
        QFETCH(QStringList, lines);
        auto heard = std::make_shared<std::vector<qint16>>();
        EmbeddedEngineOptions options = silentOptions(std::make_shared<SteppingClock>());
        options.makeSink = [heard] { return std::make_unique<RecordingSink>(heard); };
        EmbeddedSpeechEngine engine(options);
        const std::unique_ptr<SpeechVoice> speech = engine.createVoice();
        speech->setVoice(tokenFor(*speech, voice));
        for (const QString& line : lines) {
            heard->clear();
            speech->speak(line, kSpeakSync);
            const std::optional<double> loudness =
                integratedLoudness(heard->data(), qint64(heard->size()), kSpeechSampleRate);
            QVERIFY2(loudness, qPrintable(line));
            QVERIFY2(std::abs(*loudness - kSpeechLoudnessLufs) <= 1.0,
                     qPrintable(line + QStringLiteral(": %1 LUFS").arg(*loudness)));
            const auto peak =
                std::max_element(heard->begin(), heard->end(), [](qint16 a, qint16 b) {
                    return std::abs(int(a)) < std::abs(int(b));
                });
            QVERIFY2(std::abs(int(*peak)) < 32000, qPrintable(line)); // never clipped
        }
    }

    void longTextsAreSpokenInBoundedPieces_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("pieces");
        QTest::addColumn<int>("maxChars");
        const QString sentence = QStringLiteral("One two three. ");
        QTest::newRow("fits: unchanged, blanks and all")
            << QStringLiteral(" Hello, world. ") << QStringList{QStringLiteral(" Hello, world. ")}
            << 20;
        QTest::newRow("sentence ends first")
            << QStringLiteral("One two, three. Four five six seven.")
            << QStringList{QStringLiteral("One two, three."),
                           QStringLiteral("Four five six seven.")}
            << 20;
        QTest::newRow("then commas, not those in numbers")
            << QStringLiteral("It costs 1,500 yen, I think so")
            << QStringList{QStringLiteral("It costs 1,500 yen,"), QStringLiteral("I think so")}
            << 22;
        QTest::newRow("then blanks")
            << QStringLiteral("aaaa bbbb cccc dddd")
            << QStringList{QStringLiteral("aaaa bbbb"), QStringLiteral("cccc dddd")} << 10;
        QTest::newRow("Japanese marks need no blank")
            << QStringLiteral("今日は晴れです。明日は雨、明後日は雪です。")
            << QStringList{QStringLiteral("今日は晴れです。"),
                           QStringLiteral("明日は雨、明後日は雪です。")}
            << 14;
        QTest::newRow("no break at all: cut at the limit")
            << QStringLiteral("あいうえおかきくけこさしすせそ")
            << QStringList{QStringLiteral("あいうえおかきくけこ"), QStringLiteral("さしすせそ")}
            << 10;
        QTest::newRow("a surrogate pair stays whole")
            << QStringLiteral("あいうえおかきくけ𠮷さしす")
            << QStringList{QStringLiteral("あいうえおかきくけ"), QStringLiteral("𠮷さしす")} << 10;
        QTest::newRow("many sentences, packed")
            << sentence.repeated(4).trimmed()
            << QStringList{sentence.repeated(2).trimmed(), sentence.repeated(2).trimmed()} << 30;
    }
    void longTextsAreSpokenInBoundedPieces() {
        QFETCH(QString, text);
        QFETCH(QStringList, pieces);
        QFETCH(int, maxChars);
        QCOMPARE(speechPieces(text, maxChars), pieces);
    }

    void aLongLineWithoutPunctuationKeepsEveryPieceWithinTheLimit() {
        const QString line =
            QStringLiteral("the quick brown fox jumps over the lazy dog ").repeated(250);
        const QStringList pieces = speechPieces(line);
        QVERIFY(pieces.size() > 40);
        for (const QString& piece : pieces)
            QVERIFY(piece.size() <= kMaxSpeechPieceChars);
        QCOMPARE(pieces.join(u' '), line.trimmed());
    }

    // A 100,000-character row once took more than a gigabyte: the whole row was synthesised
    // ahead of playback. Now synthesis waits while an utterance holds kMostAheadMs of unplayed
    // sound.
    void synthesisKeepsOnlyALittleAheadOfTheEar() {
        auto clock = std::make_shared<ManualClock>();
        AudioOutput output(std::make_unique<SilentPcmSink>(clock, 22050), 22050, clock);
        const quint64 owner = AudioOutput::newOwner();
        UtterancePtr utterance = output.enqueue(owner);
        const qint64 limit = 22050LL * AudioOutput::kMostAheadMs / 1000;
        const std::vector<qint16> chunk(2205, 1000);
        std::atomic<qint64> appended = 0;
        std::thread synthesiser([&] {
            for (int i = 0; i < 2000 && !utterance->cancelRequested; ++i) { // 200 s of sound
                output.append(utterance, chunk.data(), qint64(chunk.size()));
                appended += qint64(chunk.size());
            }
        });
        const auto stop = qScopeGuard([&] {
            output.cancel(owner); // a stop releases the waiting synthesiser at once
            synthesiser.join();
        });
        QTRY_VERIFY(appended >= limit - qint64(chunk.size()));
        QVERIFY(appended <= limit + qint64(chunk.size()));

        // Playing lets it go on.
        const qint64 before = appended;
        QTRY_VERIFY([&] {
            output.pump();
            clock->advanceMs(100);
            return appended > before + limit;
        }());
    }

    // A line synthesised a piece at a time waits for room between its pieces without holding
    // a thread: its next piece is asked for once the ear has caught up, or once it has ended.
    void nextPieceIsAskedForOnceThereIsRoom() {
        auto clock = std::make_shared<ManualClock>();
        AudioOutput output(std::make_unique<SilentPcmSink>(clock, 22050), 22050, clock);
        const quint64 owner = AudioOutput::newOwner();
        const std::vector<qint16> sixSeconds(22050 * 6, 1000);
        UtterancePtr playing = output.enqueue(owner);
        UtterancePtr waiting = output.enqueue(owner);
        int ready = 0;
        output.append(playing, sixSeconds.data(), qint64(sixSeconds.size()));
        output.whenRoom(playing, [&ready] { ++ready; });
        QCOMPARE(ready, 0);
        output.pump(); // handed to the sink: less than kAheadMs left to play from the line
        QCOMPARE(ready, 1);

        output.append(waiting, sixSeconds.data(), qint64(sixSeconds.size()));
        output.whenRoom(waiting, [&ready] { ++ready; });
        output.pump(); // still behind the other one
        QCOMPARE(ready, 1);
        output.cancel(owner);
        QCOMPARE(ready, 2);
        output.whenRoom(waiting, [&ready] { ++ready; }); // ended: at once
        QCOMPARE(ready, 3);
    }

    // After the sound server restarts, speech went on in silence until the program was
    // restarted. Each line that starts on the stand-in output tries the device again.
    void outputReturnsToTheDeviceAtTheNextLine() {
        auto clock = std::make_shared<ManualClock>();
        auto device = std::make_unique<SwitchableSink>(clock);
        SwitchableSink& server = *device;
        AudioOutput output(std::move(device), 22050, clock);
        output.setFallbackSink(std::make_unique<SilentPcmSink>(clock, 22050), true);
        const std::vector<qint16> line(2205, 1000);

        server.setUp(false); // started while the server was down
        QVERIFY(output.onFallback());
        playThrough(output, *clock, line);
        QVERIFY(output.onFallback());

        server.setUp(true);
        playThrough(output, *clock, line);
        QVERIFY(!output.onFallback());
        QVERIFY(server.received() >= qint64(line.size())); // the line, and silence after it

        // Goes away in the middle of a line: the line ends in silence, the next tries again.
        UtterancePtr cut = output.enqueue(AudioOutput::newOwner());
        output.append(cut, line.data(), qint64(line.size()));
        output.pump();
        server.setUp(false);
        output.finishSynthesis(cut);
        output.pump();
        QVERIFY(output.onFallback());
        clock->advanceMs(200);
        output.pump();
        QVERIFY(output.isFinished(cut));
        server.setUp(true);
        playThrough(output, *clock, line);
        QVERIFY(!output.onFallback());
    }

    void outputFallsBackToSilenceWhenTheDeviceFails() {
        auto clock = std::make_shared<ManualClock>();
        AudioOutput output(std::make_unique<BrokenSink>(), 22050, clock);
        output.setFallbackSink(std::make_unique<SilentPcmSink>(clock, 22050));
        const std::vector<qint16> tone(2205, 1000);
        UtterancePtr utterance = output.enqueue(AudioOutput::newOwner());
        output.append(utterance, tone.data(), qint64(tone.size()));
        output.finishSynthesis(utterance);
        output.pump();
        clock->advanceMs(110);
        output.pump();
        QVERIFY(output.isFinished(utterance));
        QVERIFY(output.errorOf(utterance).isEmpty());

        // A stream that breaks mid-line must not leave the line speaking for ever.
        AudioOutput failing(std::make_unique<FailingSink>(), 22050, clock);
        failing.setFallbackSink(std::make_unique<SilentPcmSink>(clock, 22050));
        UtterancePtr cut = failing.enqueue(AudioOutput::newOwner());
        failing.append(cut, tone.data(), qint64(tone.size()));
        failing.finishSynthesis(cut);
        failing.pump();
        QVERIFY(!failing.isFinished(cut));
        failing.pump();
        clock->advanceMs(10);
        failing.pump();
        QVERIFY(failing.isFinished(cut));

        AudioOutput broken(std::make_unique<BrokenSink>(), 22050, clock);
        UtterancePtr lost = broken.enqueue(AudioOutput::newOwner());
        broken.pump();
        QVERIFY(broken.isFinished(lost));
        QVERIFY(!broken.errorOf(lost).isEmpty());
    }

    void rateConverterKeepsDurationAndWaveform() {
        SampleRateConverter converter(16000, 22050);
        std::vector<qint16> input(16000);
        for (size_t i = 0; i < input.size(); ++i)
            input[i] = qint16(std::lround(10000 * std::sin(2 * M_PI * 1000 * double(i) / 16000)));
        std::vector<float> output;
        converter.process(input.data(), 7000, output); // in two pieces, as a stream arrives
        converter.process(input.data() + 7000, 9000, output);
        converter.finish(output);
        QCOMPARE(qint64(output.size()), 22050);
        double worst = 0;
        for (size_t i = 1000; i < output.size() - 1000; ++i) { // away from the edges
            const double expected = 10000 * std::sin(2 * M_PI * 1000 * double(i) / 22050);
            worst = std::max(worst, std::abs(output[i] - expected));
        }
        QVERIFY2(worst < 100, qPrintable(QString::number(worst)));
    }
};

QTEST_GUILESS_MAIN(TestEmbeddedEngine)
#include "tst_embeddedengine.moc"
