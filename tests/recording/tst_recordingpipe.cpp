#include "app/MainWindow.h"
#include "audio/AudioInput.h"
#include "lesson/LessonSettings.h"
#include "lesson/LessonTable.h"
#include "playback/PlaybackController.h"
#include "recording/LessonRecorder.h"
#include "recording/RecordingFiles.h"
#include "support/FakeRecording.h"
#include "support/FakeServices.h"
#include "support/MicrophoneFeed.h"
#include "support/PrivateSoundServer.h"

#include <QDeadlineTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sndfile.h>

#include <cmath>

using namespace lessora;
using namespace lessora::test;

namespace {

constexpr int kRate = 22050; // the recordings', the sound output's

std::vector<float> readFlac(const QString& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        return {};
    std::vector<float> samples(static_cast<size_t>(info.frames));
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    return info.samplerate == kRate ? samples : std::vector<float>();
}

struct Match {
    double correlation = 0;
    double lagMs = 0;
};

// The normalised cross-correlation of a second of the recording, from 0.2 s into it, with what
// was heard, at the best lag within ±100 ms of where the gap began.
Match bestMatch(const std::vector<float>& recorded, double gapStartS) {
    const int from = kRate / 5, length = kRate;
    Match best;
    if (int(recorded.size()) < from + length)
        return best;
    double energy = 0;
    for (int n = from; n < from + length; ++n)
        energy += double(recorded[size_t(n)]) * recorded[size_t(n)];
    for (int lag = -kRate / 10; lag <= kRate / 10; ++lag) {
        double product = 0, reference = 0;
        for (int n = from; n < from + length; ++n) {
            const double heard = heardAt(gapStartS + double(n + lag) / kRate);
            product += recorded[size_t(n)] * heard;
            reference += heard * heard;
        }
        const double correlation = product / std::sqrt(energy * reference);
        if (correlation > best.correlation)
            best = {correlation, lag * 1000.0 / kRate};
    }
    return best;
}

// The window with a real microphone input, a player that plays nothing, and a lesson saved in
// a folder of its own: A speaks, B is the learner.
struct Window {
    FakeServices fakes;
    PulseAudioInput input{kRate};
    FakeSamplePlayer player;
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> window;

    explicit Window(const QList<LessonRow>& rows) {
        Services services = fakes.services();
        services.audioInput = &input;
        services.samplePlayer = &player;
        window = std::make_unique<MainWindow>(services);
        window->setWindowFilePath(dir.filePath(QStringLiteral("cafe.json")));
        window->lessonTable().setRows(rows);
        CurrentLessonSettings& settings = window->lessonSettings();
        settings.setIntervalIndex(0); // no pause
        settings.setRole(QStringLiteral("B"));
        settings.setRecordAnswers(true);
    }
    LessonRecorder& recorder() const { return *window->findChild<LessonRecorder*>(); }
    // Plays the run to its end, the fake voice ending each line as soon as it is spoken.
    bool playToTheEnd() {
        PlaybackController& playback = window->playback();
        playback.playPause();
        const QDeadlineTimer deadline(20000);
        while (playback.state() != PlaybackState::Idle && !deadline.hasExpired()) {
            if (playback.state() == PlaybackState::Speaking && fakes.speech.isSpeaking())
                fakes.speech.finishSpeech();
            QTest::qWait(5);
        }
        return playback.state() == PlaybackState::Idle;
    }
};

} // namespace

class TestRecordingPipe : public QObject {
    Q_OBJECT
private slots:
    void aRolePlayRunRecordsTheGap();
    void aRunWithoutAMicrophonePlaysOnAndSaysSoOnce();
};

void TestRecordingPipe::aRolePlayRunRecordsTheGap() {
    PrivateSoundServer server;
    if (!server.start(true))
        QSKIP(qPrintable(server.why()));
    MicrophoneFeed feed(server.microphonePath());
    QVERIFY(feed.isOpen());
    feed.start();
    // B's line takes 1.2 s with the fake voice: its gap 1.56 s.
    Window rig({{"1", "A", "English", "Hello.", ""}, {"2", "B", "English", "Fine thanks.", ""}});
    QSignalSpy recorded(&rig.recorder(), &LessonRecorder::recorded);
    QVERIFY(rig.playToTheEnd());
    QVERIFY(recorded.wait(10000) || recorded.size() == 1);
    QCOMPARE(rig.fakes.messages.messages, QStringList());

    const QString path = recorded.at(0).at(0).toString();
    QCOMPARE(QFileInfo(path).path(), rig.dir.filePath(QStringLiteral("cafe.recordings")));
    QCOMPARE(latestRecording(QFileInfo(path).path(), 2), path);
    QVERIFY(QFileInfo(path).fileName().startsWith(QStringLiteral("0002_B_")));
    const std::vector<float> samples = readFlac(path);
    QVERIFY2(samples.size() > size_t(kRate) * 3 / 2, qPrintable(QString::number(samples.size())));
    const double gapStartS = double(rig.recorder().lastTakeStartUs() - feed.startUs()) / 1e6;
    const Match match = bestMatch(samples, gapStartS);
    // The rig's own delay, when the machine held the feed up, is not the recorder's.
    const double heldUpMs = feed.worstLatenessMsAround(rig.recorder().lastTakeStartUs(), 500'000);
    const double allowedMs = 30 + heldUpMs;
    qInfo("correlation %.3f, the recording's first sample %.1f ms from the gap's start (feed "
          "held up %.1f ms at worst around it)",
          match.correlation, match.lagMs, heldUpMs);
    QVERIFY2(match.correlation >= 0.9, qPrintable(QString::number(match.correlation)));
    QVERIFY2(std::abs(match.lagMs) <= allowedMs,
             qPrintable(QStringLiteral("%1 ms, allowed %2 ms").arg(match.lagMs).arg(allowedMs)));
}

void TestRecordingPipe::aRunWithoutAMicrophonePlaysOnAndSaysSoOnce() {
    PrivateSoundServer server; // its only source mirrors the null sink
    if (!server.start(false))
        QSKIP(qPrintable(server.why()));
    Window rig({{"1", "A", "English", "Hi.", ""},
                {"2", "B", "English", "Hi.", ""},
                {"3", "A", "English", "Hi.", ""},
                {"4", "B", "English", "Hi.", ""}});
    QVERIFY(rig.playToTheEnd());
    QCOMPARE(rig.fakes.speech.spoken.size(), 2); // both of A's lines: the run went on
    QTRY_COMPARE(rig.fakes.messages.messages.size(), 1);
    QVERIFY(rig.fakes.messages.messages.at(0).contains(QStringLiteral("入力装置")));
    QVERIFY(!QDir(rig.dir.filePath(QStringLiteral("cafe.recordings"))).exists());
}

QTEST_MAIN(TestRecordingPipe)
#include "tst_recordingpipe.moc"
