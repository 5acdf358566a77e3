// The sound-server sink against a real PulseAudio server of the test's own with a null sink:
// streams opened and closed as the lines of a lesson do, and a server that goes away and comes
// back. Plays sound in real time (a few seconds); skipped where no server can be started.

#include "audio/AudioDevice.h"
#include "support/PrivateSoundServer.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <cmath>

using namespace lessora;
using lessora::test::PrivateSoundServer;

namespace {

constexpr int kRate = 22050;

std::vector<qint16> tone(int ms) {
    std::vector<qint16> samples(size_t(kRate) * ms / 1000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = qint16(std::lround(8000 * std::sin(2 * M_PI * 440 * double(i) / kRate)));
    return samples;
}

// Plays the samples on a new stream as the audio output does, polling every 5 ms: the time from
// the first sample heard to the last, in seconds (negative after `limit` seconds). The time
// before the first sample is left out: a null sink that was idle may take a while to start.
double playOnce(PulsePcmSink& sink, const std::vector<qint16>& samples, double limit) {
    QElapsedTimer timer;
    timer.start();
    if (!sink.open())
        return -1;
    QElapsedTimer heard;
    const auto total = qint64(samples.size());
    static const std::vector<qint16> silence(kRate / 20);
    qint64 written = 0;
    while (sink.playedFrames() < total) {
        if (timer.elapsed() > limit * 1000) {
            sink.close();
            return -1;
        }
        if (!heard.isValid() && sink.playedFrames() > 0)
            heard.start();
        const qint64 count = std::min(total - written, sink.writableFrames());
        if (count > 0)
            written += sink.write(samples.data() + written, count);
        else if (written == total && sink.queuedFrames() < kRate / 10)
            sink.write(silence.data(), qint64(silence.size())); // until the end is heard
        QThread::msleep(5);
    }
    sink.close();
    return heard.nsecsElapsed() / 1e9;
}

} // namespace

class TestPulseSink : public QObject {
    Q_OBJECT

private slots:
    // A sink reused across start and stop once slowed down from the eleventh stream on: 1 s
    // of sound took 2 s, then up to 5 s, as the server's buffer shrank with each stream. Lines
    // with a pause between them, as a lesson plays them.
    void everyStreamPlaysInRealTime() {
        PrivateSoundServer server;
        if (!server.start())
            QSKIP(qPrintable(server.why()));
        PulsePcmSink sink(kRate);
        const std::vector<qint16> line = tone(500);
        for (int cycle = 1; cycle <= 15; ++cycle) {
            const double seconds = playOnce(sink, line, 2.0);
            QVERIFY2(seconds > 0 && seconds <= 0.75,
                     qPrintable(QStringLiteral("stream %1 took %2 s for 0.5 s of sound")
                                    .arg(cycle)
                                    .arg(seconds)));
            QThread::msleep(500);
        }
    }

    void aServerThatComesBackIsUsedAgain() {
        PulsePcmSink sink(kRate);
        {
            PrivateSoundServer server;
            if (!server.start())
                QSKIP(qPrintable(server.why()));
            QVERIFY(sink.open());
            const std::vector<qint16> sound = tone(200);
            QVERIFY(sink.write(sound.data(), qint64(sound.size())) > 0);
            QVERIFY(!sink.failed());

            server.kill();
            QTRY_VERIFY(sink.failed());
            sink.close();
            QVERIFY(!sink.open());
            QVERIFY(!sink.connect());

            QVERIFY(server.start());
            QVERIFY(sink.open());
            QVERIFY(playOnce(sink, sound, 2.0) > 0);
        }
        QVERIFY(!sink.open()); // and gone again with the server
    }
};

QTEST_GUILESS_MAIN(TestPulseSink)
#include "tst_pulsesink.moc"
