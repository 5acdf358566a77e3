// Figures of the Open JTalk voices, each a median of several runs:
//  - open_jtalk itself: process start and synthesis of a short and a 20-character line;
//  - the engine: an asynchronous speak of a 20-character line to its first sample reaching the
//    output (the click to the first sound: the leading silence of each run is trimmed), per
//    voice; the same for a long line of several sentences, which starts after its first;
//  - a line prepared while the one before it played (the next row of a lesson): its first
//    sample after the speak.
// Run it plainly (no sound device: the silent output, which keeps real time).
#include "Median.h"
#include "voices/EmbeddedSpeechEngine.h"
#include "voices/EmbeddedVoices.h"
#include "voices/OpenJTalkSynth.h"
#include "voices/ProcessRunner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace lessora;
using namespace std::chrono_literals;

namespace {

// Twenty characters each, different so that nothing is reused.
const QStringList kTwenty = {
    QStringLiteral("今日はいい天気ですね、散歩に行きませんか。"),
    QStringLiteral("駅の前の喫茶店で三時に待っていますね。"),
    QStringLiteral("明日の会議の資料をもう一度確認してください。"),
    QStringLiteral("週末は家族と一緒に海へ行く予定です。"),
    QStringLiteral("この電車は新宿には止まらないそうですよ。"),
};
const QString kLong = QStringLiteral(
    "おはようございます。今夜、二人で食事をしたいのですが、七時ごろに空いている席はありますか。"
    "できれば窓の近くの静かな席がいいです。どうもありがとうございます。");

EmbeddedEngineOptions silentOptions() {
    EmbeddedEngineOptions options;
    options.output = EmbeddedEngineOptions::Output::Silent;
    return options;
}

VoiceTokenPtr tokenOf(SpeechVoice& voice, const QString& description) {
    return findVoiceToken(voice.voices(), description);
}

// From the speak to the first sample reaching the output, in ms.
double firstSampleMs(EmbeddedSpeechEngine& engine, SpeechVoice& voice, const QString& text) {
    const quint64 before = engine.audioOutput()->startStatistics().started;
    voice.speak(text, kSpeakAsync | kSpeakPurge);
    for (int i = 0; i < 5000 && engine.audioOutput()->startStatistics().started == before; ++i)
        QThread::usleep(200);
    const double ms = engine.audioOutput()->startStatistics().lastDelayUs / 1e3;
    voice.speak(QString(), kSpeakAsync | kSpeakPurge);
    engine.waitForSynthesis();
    return ms;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (!OpenJTalkSynth::available()) {
        std::printf("Open JTalk and its voice are not installed (scripts/install-deps)\n");
        return 0;
    }
    const OpenJTalkInstallation installation = OpenJTalkSynth::installation();
    const QStringList arguments = OpenJTalkSynth::arguments(installation, {});
    for (const QString& text : {QStringLiteral("はい。"), kTwenty.first()}) {
        std::vector<double> ms;
        qsizetype bytes = 0;
        for (int run = 0; run < 7; ++run) {
            QElapsedTimer timer;
            timer.start();
            const ProcessResult result =
                runProcess({installation.program, arguments, text.toUtf8() + '\n', false, 10s, {}});
            ms.push_back(timer.nsecsElapsed() / 1e6);
            bytes = result.output.size();
        }
        std::printf("open_jtalk, start and synthesis of %lld characters: %.0f ms (%.2f s of "
                    "48 kHz 16-bit mono WAV)\n",
                    static_cast<long long>(text.size()), median(ms),
                    (bytes - 44) / 2.0 / OpenJTalkSynth::kSampleRate);
    }

    EmbeddedSpeechEngine engine(silentOptions());
    engine.waitForSynthesis(); // the start-up warm-up
    std::printf("\n%-38s %12s %12s %12s\n", "voice: speak to first sample", "20 chars ms",
                "long line ms", "prepared ms");
    for (const EmbeddedVoice* voice : preferredVoices(true)) {
        if (voice->backend->vendor() != u"Open JTalk")
            continue;
        auto speaking = engine.createVoice();
        speaking->setVoice(tokenOf(*speaking, voice->description));
        std::vector<double> twenty;
        for (const QString& text : kTwenty)
            twenty.push_back(firstSampleMs(engine, *speaking, text));
        std::vector<double> longLine;
        for (int run = 0; run < 3; ++run)
            longLine.push_back(firstSampleMs(engine, *speaking, kLong));
        std::vector<double> prepared;
        for (const QString& text : kTwenty) {
            speaking->prepare(text);
            engine.waitForSynthesis(); // it had the length of the line before it and the pause
            prepared.push_back(firstSampleMs(engine, *speaking, text));
        }
        std::printf("%-38s %12.1f %12.1f %12.1f\n", qPrintable(voice->description), median(twenty),
                    median(longLine), median(prepared));
    }
    return 0;
}
