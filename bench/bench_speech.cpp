// Figures of the embedded speech engine: time to list the voices, the synthesis real-time
// factor, time from an asynchronous speak to the first and the first audible sample handed to
// the audio output (beside a new stream's floor), and long rows: their first sound, the next
// line after a stop, and their memory beside a row a hundredth of their length. Run it plainly
// (no sound device: the silent output) or under a sound server. "1st ms" is the first synthesis
// of each voice, with its loading.

#include "Median.h"
#include "audio/AudioDevice.h"
#include "support/AudioLevel.h"
#include "voices/EmbeddedSpeechEngine.h"
#include "voices/EmbeddedVoices.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

using namespace lessora;
using lessora::test::activeRmsDb;

namespace {

const QString kEnglishTest = QStringLiteral("This is a voice test.");
const QString kJapaneseTest = QStringLiteral("これは音声のテストです。");
const QString kEnglishLong = QStringLiteral(
    "Good morning. I would like to book a table for two people tonight. Is there anything "
    "available around seven o'clock? We would prefer a quiet place near the window, if "
    "possible. Thank you very much for your help.");
const QString kJapaneseLong = QStringLiteral(
    "おはようございます。今夜、二人で食事をしたいのですが、七時ごろに空いている席はありますか。"
    "できれば窓の近くの静かな席がいいです。どうもありがとうございます。");

void listingTimes(EmbeddedSpeechEngine& engine) {
    std::vector<double> times;
    int voices = 0;
    for (int run = 0; run < 200; ++run) {
        QElapsedTimer timer;
        timer.start();
        EngineOperation operation(engine);
        auto voice = engine.createVoice();
        const TokenCollection ordinary = voice->voices();
        QStringList lines;
        for (int i = 0; i < ordinary.count(); ++i)
            lines << ordinary.item(i)->description() + ordinary.item(i)->attribute("Language");
        auto category = engine.createVoiceCategory();
        category->setId(kOneCoreVoicesCategory, false);
        voices = ordinary.count() + category->enumerateTokens().count();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("list all voices (%d, with Language attribute and OneCore): first %.3f ms, "
                "median %.3f ms\n",
                voices, times.front(), median(times));
}

void synthesisFigures() {
    std::printf("\n%-42s %9s %8s %9s %9s %8s\n", "voice (synthesizeToMemory)", "test s", "dBFS",
                "RTF test", "RTF long", "1st ms");
    for (const EmbeddedVoice& voice : embeddedVoices()) {
        const QString& test = voice.isJapanese() ? kJapaneseTest : kEnglishTest;
        const QString& longText = voice.isJapanese() ? kJapaneseLong : kEnglishLong;
        QElapsedTimer timer;
        timer.start();
        const SynthesizedAudio cold = synthesizeToMemory(voice.description, test, 0);
        const double coldMs = timer.nsecsElapsed() / 1e6;
        std::vector<double> testFactors;
        for (int run = 0; run < 5; ++run) {
            timer.restart();
            const SynthesizedAudio audio = synthesizeToMemory(voice.description, test, 0);
            testFactors.push_back(timer.nsecsElapsed() / 1e9 /
                                  (double(audio.samples.size()) / audio.sampleRate));
        }
        timer.restart();
        const SynthesizedAudio longAudio = synthesizeToMemory(voice.description, longText, 0);
        const double longFactor =
            timer.nsecsElapsed() / 1e9 / (double(longAudio.samples.size()) / longAudio.sampleRate);
        std::printf("%-42s %9.2f %8.1f %9.4f %9.4f %8.1f\n", qPrintable(voice.description),
                    double(cold.samples.size()) / cold.sampleRate,
                    activeRmsDb(cold.samples, cold.sampleRate), median(testFactors), longFactor,
                    coldMs);
    }
}

// Waits for the next utterance to reach the output audibly; its delay in ms.
double nextAudibleMs(const AudioOutput& output, quint64 startedBefore) {
    QElapsedTimer timeout;
    timeout.start();
    while ((output.startStatistics().started == startedBefore ||
            output.startStatistics().lastAudibleDelayUs < 0) &&
           timeout.elapsed() < 20000)
        QThread::usleep(100);
    return output.startStatistics().lastAudibleDelayUs / 1000.0;
}

// The floor of a click: a new stream on the output and its first sample taken.
double newStreamFloorMs(EmbeddedSpeechEngine& engine) {
    std::vector<double> times;
    const qint16 sample = 1000;
    for (int run = 0; run < 10; ++run) {
        std::unique_ptr<PcmSink> sink;
        if (engine.isSilent())
            sink = std::make_unique<SilentPcmSink>(std::make_shared<SteadyAudioClock>(),
                                                   kSpeechSampleRate);
        else
            sink = std::make_unique<PulsePcmSink>(kSpeechSampleRate);
        if (auto* pulse = dynamic_cast<PulsePcmSink*>(sink.get()))
            pulse->connect(); // the engine's connection is made at its start-up
        QElapsedTimer timer;
        timer.start();
        if (sink->open() && sink->write(&sample, 1) == 1)
            times.push_back(timer.nsecsElapsed() / 1e6);
        sink->close();
    }
    return median(times);
}

// The click: async speak -> first sample, and first audible sample (-50 dBFS), handed to the
// output; the target is audible within 20 ms.
void clickToAudible(EmbeddedSpeechEngine& engine) {
    const double floor = newStreamFloorMs(engine);
    std::printf("\n%-42s %9s %11s %9s   (async speak -> sample handed to the %s output;\n"
                "%-42s %9s %11s %9s    floor: a new stream and its first sample, %.2f ms)\n",
                "voice", "first ms", "audible ms", "/ floor",
                engine.isSilent() ? "silent" : "sound device", "", "", "", "", floor);
    AudioOutput& output = *engine.audioOutput();
    auto voice = engine.createVoice();
    const TokenCollection tokens = voice->voices();
    for (int i = 0; i < tokens.count(); ++i) {
        const VoiceTokenPtr token = tokens.item(i);
        voice->setVoice(token);
        const bool japanese = token->attribute("Language") == QLatin1String("411");
        const QString text = japanese ? kJapaneseLong : kEnglishLong;
        std::vector<double> firsts;
        std::vector<double> audibles;
        for (int run = 0; run < 10; ++run) {
            const quint64 before = output.startStatistics().started;
            voice->speak(text, kSpeakAsync);
            audibles.push_back(nextAudibleMs(output, before));
            firsts.push_back(output.startStatistics().lastDelayUs / 1000.0);
            voice->speak(QString(), kSpeakAsync | kSpeakPurge);
            while (voice->runningState() == kRunningStateSpeaking)
                QThread::usleep(100);
        }
        std::printf("%-42s %9.2f %11.2f %9.1f\n", qPrintable(token->description()), median(firsts),
                    median(audibles), median(audibles) / floor);
    }
}

long residentKb(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field))).trimmed().split(' ').first().toLong();
    }
    return 0;
}

// A row without sentence punctuation: the wait for its first sound and for the next line after
// a stop, beside the same for a short line, and the memory it takes while it plays, beside a
// row a hundredth of its length.
void longRows(EmbeddedSpeechEngine& engine) {
    std::printf("\nlong rows without sentence punctuation (played for 3 s each):\n");
    AudioOutput& output = *engine.audioOutput();
    auto voice = engine.createVoice();
    const TokenCollection tokens = voice->voices();
    const auto tokenOf = [&tokens](const QString& description) {
        for (int i = 0; i < tokens.count(); ++i)
            if (tokens.item(i)->description() == description)
                return tokens.item(i);
        return VoiceTokenPtr();
    };
    struct Row {
        QString voice;
        QString words;
    };
    const Row rows[] = {
        {QStringLiteral("Flite Slt - English (United States)"),
         QStringLiteral("the quick brown fox jumps over the lazy dog and runs into the forest ")},
        {QStringLiteral("eSpeak Kenta - Japanese (Japan)"),
         QStringLiteral("今日は天気がいいので公園まで歩いて行きましょう")},
    };
    std::printf("%-38s %9s %11s %11s %12s\n", "voice, row length", "audible ms", "next ms",
                "peak MB", "/ 1% row");
    for (const Row& row : rows) {
        voice->setVoice(tokenOf(row.voice));
        double peakOfShort = 0;
        for (const int length : {1000, 100000}) {
            QString text;
            while (text.size() < length)
                text += row.words;
            text.truncate(length);
            voice->speak(QStringLiteral("a"), kSpeakAsync | kSpeakPurge); // the voice loaded
            engine.waitForSynthesis();
            voice->speak(QString(), kSpeakAsync | kSpeakPurge);
            QThread::msleep(200);
            const long idleKb = residentKb("VmRSS:");
            long peakKb = idleKb;
            const quint64 started = output.startStatistics().started;
            voice->speak(text, kSpeakAsync);
            const double audible = nextAudibleMs(output, started);
            QElapsedTimer playing;
            playing.start();
            while (playing.elapsed() < 3000) {
                peakKb = std::max(peakKb, residentKb("VmRSS:"));
                QThread::msleep(20);
            }
            // "Next": stop this row and speak a short line.
            const quint64 before = output.startStatistics().started;
            voice->speak(kEnglishTest, kSpeakAsync | kSpeakPurge);
            const double next = nextAudibleMs(output, before);
            voice->speak(QString(), kSpeakAsync | kSpeakPurge);
            while (voice->runningState() == kRunningStateSpeaking)
                QThread::usleep(100);
            const double peakMb = (peakKb - idleKb) / 1024.0;
            if (length == 1000)
                peakOfShort = std::max(peakMb, 0.1);
            std::printf("%-38s %9.1f %11.1f %11.1f %12.1f\n",
                        qPrintable(row.voice.section(u' ', 0, 1) +
                                   QStringLiteral(", %1 chars").arg(length)),
                        audible, next, peakMb, peakMb / peakOfShort);
        }
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QElapsedTimer timer;
    timer.start();
    EmbeddedSpeechEngine engine;
    std::printf("engine start-up (finding the sound device): %.1f ms; output: %s\n",
                timer.nsecsElapsed() / 1e6,
                engine.isSilent() ? "silent (no sound device)" : "sound device");
    listingTimes(engine);
    synthesisFigures();
    clickToAudible(engine);
    longRows(engine);
    return 0;
}
