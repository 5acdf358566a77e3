// Figures of the embedded speech engine: time to list the voices, time from an asynchronous
// Speak to the first sample handed to the audio output, and the synthesis real-time factor.
// Run it plainly (no sound device: the silent output) or under a sound server. "1st ms" is the
// first synthesis of each voice, which may wait for the engine's start-up warm-up of all voices.

#include "support/AudioLevel.h"
#include "voices/EmbeddedSpeechEngine.h"
#include "voices/EmbeddedVoices.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <cstdio>
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

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

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

void firstSampleLatency(EmbeddedSpeechEngine& engine) {
    std::printf("\n%-42s %12s %12s   (async Speak -> first sample handed to the %s output)\n",
                "voice", "median ms", "max ms", engine.isSilent() ? "silent" : "sound device");
    AudioOutput& output = *engine.audioOutput();
    auto voice = engine.createVoice();
    const TokenCollection tokens = voice->voices();
    for (int i = 0; i < tokens.count(); ++i) {
        const VoiceTokenPtr token = tokens.item(i);
        voice->setVoice(token);
        const bool japanese = token->attribute("Language") == QLatin1String("411");
        const QString text = japanese ? kJapaneseLong : kEnglishLong;
        std::vector<double> delays;
        for (int run = 0; run < 10; ++run) {
            const quint64 before = output.startStatistics().started;
            voice->speak(text, kSpeakAsync);
            QElapsedTimer timeout;
            timeout.start();
            while (output.startStatistics().started == before && timeout.elapsed() < 2000)
                QThread::usleep(100);
            delays.push_back(output.startStatistics().lastDelayUs / 1000.0);
            voice->speak(QString(), kSpeakAsync | kSpeakPurge);
            while (voice->runningState() == kRunningStateSpeaking)
                QThread::usleep(100);
        }
        std::printf("%-42s %12.2f %12.2f\n", qPrintable(token->description()), median(delays),
                    *std::max_element(delays.begin(), delays.end()));
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
    firstSampleLatency(engine);
    return 0;
}
