// The learner's recordings under a private PulseAudio server whose default source is a pipe fed
// with a known chirp in real time:
//  - where a take's first sample lies against the gap's start (by cross-correlation with what
//    was fed), beside the capture's own step: how often the server hands samples over;
//  - from the end of a gap to its recording's first sample reaching the sound server, beside
//    the sound output's own start latency for the same samples played fresh.
#include "Median.h"
#include "audio/AudioDevice.h"
#include "audio/AudioInput.h"
#include "audio/SamplePlayer.h"
#include "recording/LessonRecorder.h"
#include "support/FakeRecording.h"
#include "support/MicrophoneFeed.h"
#include "support/PrivateSoundServer.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <mutex>

using namespace lessora;
using namespace lessora::test;

namespace {

constexpr int kRate = 22050;
constexpr int kTakes = 12;
constexpr int kGapMs = 700;

// Runs the event loop for `ms` (the feed and the capture go on meanwhile).
void runFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The lag (ms) at which the take best matches what was fed, from `startS` into the feed.
double lagMs(const std::vector<qint16>& take, double startS) {
    const int from = kRate / 10, length = kRate / 2;
    if (int(take.size()) < from + length)
        return NAN;
    double energy = 0;
    for (int n = from; n < from + length; ++n)
        energy += double(take[size_t(n)]) * take[size_t(n)];
    double best = -1, bestLag = NAN;
    for (int lag = -kRate / 10; lag <= kRate / 10; ++lag) {
        double product = 0, reference = 0;
        for (int n = from; n < from + length; ++n) {
            const double heard = heardAt(startS + double(n + lag) / kRate);
            product += take[size_t(n)] * heard;
            reference += heard * heard;
        }
        if (const double c = product / std::sqrt(energy * reference); c > best) {
            best = c;
            bestLag = lag * 1000.0 / kRate;
        }
    }
    return best >= 0.9 ? bestLag : NAN;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    PrivateSoundServer server;
    if (!server.start(true)) {
        std::printf("no private sound server: %s\n", qPrintable(server.why()));
        return 1;
    }
    MicrophoneFeed feed(server.microphonePath());
    feed.start();

    // The capture's step: the times between the server's hand-overs, seen through a plain
    // input of the same kind.
    std::vector<double> steps;
    {
        PulseAudioInput probe(kRate);
        std::mutex mutex;
        qint64 last = 0;
        probe.start(
            [&](const qint16*, qint64, qint64) {
                const std::lock_guard lock(mutex);
                const qint64 now = steadyNowUs();
                if (last)
                    steps.push_back(double(now - last) / 1000.0);
                last = now;
            },
            {});
        runFor(1000);
        probe.stop();
    }

    // The sound output of the program, on the private server's null sink.
    auto clock = std::make_shared<SteadyAudioClock>();
    auto output =
        std::make_shared<AudioOutput>(std::make_unique<PulsePcmSink>(kRate), kRate, clock);
    AudioPump pump(*output);
    output->setWakeHandler([&pump] { pump.wake(); });
    OutputSamplePlayer player(output);

    PulseAudioInput input(kRate);
    QTemporaryDir dir;
    LessonRecorder recorder(input, player);
    recorder.setTarget([&dir](int row) {
        return RecordingTarget{dir.filePath(QStringLiteral("bench.recordings")), row + 1,
                               QStringLiteral("B")};
    });
    recorder.beginRun(true);
    runFor(300);

    std::vector<double> starts, replays, fresh;
    const auto heard = [](auto play) {
        QEventLoop loop;
        play([&loop] { loop.quit(); });
        loop.exec();
    };
    for (int take = 0; take < kTakes; ++take) {
        recorder.startAnswer(take);
        runFor(kGapMs);
        const qint64 gapEnd = steadyNowUs();
        recorder.endAnswer(true);
        qint64 handedOver = 0;
        heard([&](std::function<void()> done) {
            recorder.replayAnswer(std::move(done));
            handedOver = steadyNowUs();
        });
        replays.push_back(double(handedOver - gapEnd + output->startStatistics().lastDelayUs) /
                          1000.0);
        starts.push_back(std::abs(
            lagMs(recorder.lastTake(), double(recorder.lastTakeStartUs() - feed.startUs()) / 1e6)));
        // The floor: the same samples played fresh, their request to their first sample.
        const std::vector<qint16> samples = recorder.lastTake();
        heard([&](std::function<void()> done) { player.play(samples, kRate, std::move(done)); });
        fresh.push_back(double(output->startStatistics().lastDelayUs) / 1000.0);
    }
    runFor(500); // the last file written

    std::printf("recording's first sample from the gap's start: median %.1f ms, worst %.1f ms "
                "(bound 30 ms); the capture's step: median %.1f ms\n",
                median(starts), *std::max_element(starts.begin(), starts.end()), median(steps));
    std::printf("end of the gap -> its recording at the sound server: median %.2f ms, worst "
                "%.2f ms; the output's own start for the same samples: median %.2f ms; above "
                "it: %.2f ms (bound 50 ms)\n",
                median(replays), *std::max_element(replays.begin(), replays.end()), median(fresh),
                median(replays) - median(fresh));
    return 0;
}
