#include "recording/LessonRecorder.h"
#include "recording/RecordingFiles.h"
#include "support/FakeRecording.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <csignal>
#include <sys/resource.h>

using namespace lessora;
using namespace lessora::test;

namespace {

std::vector<qint16> ramp(int count, int from = 1) {
    std::vector<qint16> samples(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i)
        samples[size_t(i)] = qint16((from + i) % 30000);
    return samples;
}

std::vector<qint16> readFlac(const QString& path, int* rate = nullptr) {
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        return {};
    std::vector<qint16> samples(size_t(info.frames));
    sf_readf_short(file, samples.data(), info.frames);
    sf_close(file);
    if (rate)
        *rate = info.samplerate;
    return samples;
}

void touch(const QString& path) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

// The recorder with a fake microphone and player, a clock the test moves, and its files in a
// folder of their own.
struct Rig {
    QTemporaryDir dir;
    FakeAudioInput input;
    FakeSamplePlayer player;
    LessonRecorder recorder{input, player};
    qint64 now = 1'000'000'000;
    QSignalSpy problems{&recorder, &LessonRecorder::problem};
    QSignalSpy recorded{&recorder, &LessonRecorder::recorded};

    Rig() {
        recorder.setClock([this] { return now; });
        recorder.setTarget([this](int row) {
            return RecordingTarget{dir.filePath(QStringLiteral("cafe.recordings")), row + 1,
                                   QStringLiteral("B")};
        });
    }
    // `ms` of samples heard from now on, numbered from `from`; the clock moves past them.
    void hear(int ms, int from) {
        const int count = input.sampleRate() * ms / 1000;
        input.push(ramp(count, from), now);
        now += qint64(ms) * 1000;
    }
};

} // namespace

class TestRecording : public QObject {
    Q_OBJECT
private slots:
    void fileNames_data();
    void fileNames();
    void latestOfALine();
    void deleteAndMove();
    void flacRoundTrip();
    void noPartialFileOnAFullDisk();
    void aTakeIsTheGapByTheCapturesTimes();
    void theLastSamplesOfAGapAreWaitedFor();
    void aGapCutShortIsDropped();
    void noMicrophoneIsToldOncePerRun();
    void aMicrophoneFailingMidRunKeepsWhatItHeard();
    void aFileThatCannotBeWrittenIsTold();
    void replayPlaysTheLastTake();
};

void TestRecording::fileNames_data() {
    QTest::addColumn<QString>("lesson");
    QTest::addColumn<QString>("folder");
    QTest::newRow("a lesson") << "/x/cafe.json"
                              << "/x/cafe.recordings";
    QTest::newRow("dots in the name") << "/x/day.2.json"
                                      << "/x/day.2.recordings";
    QTest::newRow("no extension") << "/x/cafe"
                                  << "/x/cafe.recordings";
}

void TestRecording::fileNames() {
    QFETCH(QString, lesson);
    QFETCH(QString, folder);
    QCOMPARE(recordingsFolderOf(lesson), folder);
    const QDateTime time(QDate(2026, 12, 11), QTime(6, 15, 2, 123));
    QCOMPARE(recordingFileName(3, QStringLiteral("B"), time),
             QStringLiteral("0003_B_20261211-061502-123.flac"));
    // Only letters and digits of the speaker cell: the name stays one a file system takes.
    QCOMPARE(recordingFileName(12345, QStringLiteral(" b/_?"), time),
             QStringLiteral("12345_b_20261211-061502-123.flac"));
    QVERIFY(unsavedRecordingsFolder().endsWith(QStringLiteral("/unsaved.recordings")));
}

void TestRecording::latestOfALine() {
    QTemporaryDir dir;
    for (const char* name : {"0003_B_20261211-061502-123.flac", "0003_B_20261211-061502-124.flac",
                             "0003_R_20261210-235959-999.flac", "0030_B_20301211-061502-123.flac",
                             "0003_B_20991211-061502-123.flac.part", "notes.txt"})
        touch(dir.filePath(QLatin1String(name)));
    QCOMPARE(latestRecording(dir.path(), 3), dir.filePath("0003_B_20261211-061502-124.flac"));
    QCOMPARE(latestRecording(dir.path(), 30), dir.filePath("0030_B_20301211-061502-123.flac"));
    QCOMPARE(latestRecording(dir.path(), 4), QString());
    QCOMPARE(latestRecording(dir.filePath("missing"), 3), QString());
    QCOMPARE(recordingsIn(dir.path()).size(), 4);
}

void TestRecording::deleteAndMove() {
    QTemporaryDir dir;
    const QString from = dir.filePath("unsaved.recordings");
    const QString to = dir.filePath("cafe.recordings");
    QDir().mkpath(from);
    const QString a = QDir(from).filePath("0001_A_20261211-061502-123.flac");
    const QString b = QDir(from).filePath("0002_B_20261211-061503-123.flac");
    touch(a);
    touch(b);
    const QStringList moved = moveRecordings({a, b}, to);
    QCOMPARE(moved, QStringList({QDir(to).filePath(QFileInfo(a).fileName()),
                                 QDir(to).filePath(QFileInfo(b).fileName())}));
    QVERIFY(!QFile::exists(a) && QFile::exists(moved[1]));

    // Deleting takes the recordings and leaves what else the user put there, with its folder.
    touch(QDir(to).filePath("notes.txt"));
    QCOMPARE(deleteRecordings(to), 2);
    QVERIFY(QFile::exists(QDir(to).filePath("notes.txt")));
    QFile::remove(QDir(to).filePath("notes.txt"));
    touch(QDir(to).filePath("0003_B_20261211-061502-123.flac"));
    QCOMPARE(deleteRecordings(to), 1);
    QVERIFY(!QDir(to).exists()); // empty: gone
    QCOMPARE(deleteRecordings(to), 0);
    // Something that cannot be moved is said.
    QVERIFY_THROWS_EXCEPTION(RecordingError, moveRecordings({dir.filePath("gone.flac")}, to));
}

void TestRecording::flacRoundTrip() {
    QTemporaryDir dir;
    const QString path = dir.filePath("new/0001_A_20261211-061502-123.flac");
    const std::vector<qint16> samples = ramp(22050);
    writeFlac(path, samples.data(), qint64(samples.size()), 22050);
    int rate = 0;
    QCOMPARE(readFlac(path, &rate), samples);
    QCOMPARE(rate, 22050);
    QCOMPARE(QDir(dir.filePath("new")).entryList(QDir::Files | QDir::Hidden),
             {QFileInfo(path).fileName()});
}

void TestRecording::noPartialFileOnAFullDisk() {
    QTemporaryDir dir;
    const QString path = dir.filePath("0001_A_20261211-061502-123.flac");
    // Noise does not compress: 20 s of it goes far past the limit, as on a nearly full disk.
    std::vector<qint16> noise(22050 * 20);
    quint32 seed = 1;
    for (qint16& sample : noise)
        sample = qint16((seed = seed * 1664525u + 1013904223u) >> 16);
    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 50000;
    QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    bool thrown = false;
    try {
        writeFlac(path, noise.data(), qint64(noise.size()), 22050);
    } catch (const RecordingError& error) {
        thrown = !error.message().isEmpty();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldSignal);
    QVERIFY(thrown);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestRecording::aTakeIsTheGapByTheCapturesTimes() {
    Rig rig;
    rig.recorder.beginRun(true);
    QCOMPARE(rig.input.starts, 1); // opened with the run, ahead of the first gap
    rig.hear(200, 1);              // before the gap: not the answer
    rig.recorder.startAnswer(2);
    rig.hear(500, 10001); // the answer
    rig.recorder.endAnswer(true);
    rig.hear(100, 20001); // after it
    QVERIFY(rig.recorded.wait(5000));
    const QString path = rig.recorded.at(0).at(0).toString();
    QVERIFY(QFileInfo(path).fileName().startsWith(QStringLiteral("0003_B_")));
    QCOMPARE(QFileInfo(path).path(), rig.dir.filePath("cafe.recordings"));
    QCOMPARE(readFlac(path), ramp(8000, 10001));
    QCOMPARE(rig.recorder.lastTake(), ramp(8000, 10001));
    QCOMPARE(rig.problems.size(), 0);
    QCOMPARE(rig.input.starts, 1); // the microphone stays open for the next gap
}

void TestRecording::theLastSamplesOfAGapAreWaitedFor() {
    Rig rig;
    rig.recorder.beginRun(true);
    rig.recorder.startAnswer(0);
    rig.hear(300, 1);
    rig.now += 200'000; // heard, but not handed over yet (a source of large blocks)
    rig.recorder.endAnswer(true);
    int heard = 0;
    QVERIFY(rig.recorder.replayAnswer([&heard] { ++heard; }));
    QCOMPARE(rig.player.played.size(), size_t(0)); // the replay waits for the whole answer
    QCoreApplication::processEvents();
    QCOMPARE(rig.recorded.size(), 0);
    rig.now -= 200'000;
    rig.hear(300, 4801); // the rest of the gap and a little after it
    QVERIFY(rig.recorded.wait(5000));
    QCOMPARE(readFlac(rig.recorded.at(0).at(0).toString()), ramp(8000, 1));
    QCOMPARE(rig.player.played.size(), size_t(1));
    QCOMPARE(rig.player.played[0], ramp(8000, 1));
    rig.player.finish();
    QTRY_COMPARE(heard, 1);
}

void TestRecording::aGapCutShortIsDropped() {
    Rig rig;
    rig.recorder.beginRun(true);
    rig.recorder.startAnswer(0);
    rig.hear(300, 1);
    rig.recorder.endAnswer(false);
    QVERIFY(rig.recorder.lastTake().empty());
    QVERIFY(!rig.recorder.replayAnswer([] {}));
    QCOMPARE(rig.recorder.writesPending(), 0);
    QVERIFY(!QDir(rig.dir.filePath("cafe.recordings")).exists()); // nothing written
}

void TestRecording::noMicrophoneIsToldOncePerRun() {
    Rig rig;
    rig.input.available = false;
    for (int run = 1; run <= 2; ++run) {
        rig.recorder.beginRun(true);
        for (int gap = 0; gap < 3; ++gap) {
            rig.recorder.startAnswer(gap);
            rig.recorder.endAnswer(true);
            QVERIFY(!rig.recorder.replayAnswer([] {})); // the run goes on at once
        }
        QTRY_COMPARE(rig.problems.size(), run);
    }
    QVERIFY(rig.problems.at(0).at(0).toString().contains(rig.input.problem()));
    // Without recording chosen the microphone is not even tried.
    const int starts = rig.input.starts;
    rig.recorder.beginRun(false);
    QCOMPARE(rig.input.starts, starts);
}

void TestRecording::aMicrophoneFailingMidRunKeepsWhatItHeard() {
    Rig rig;
    rig.recorder.beginRun(true);
    rig.recorder.startAnswer(0);
    rig.hear(250, 1);
    rig.input.breakDown();
    rig.now += 250'000; // the rest of the gap, heard by nobody
    rig.recorder.endAnswer(true);
    QVERIFY(rig.recorded.wait(5000));
    QCOMPARE(readFlac(rig.recorded.at(0).at(0).toString()), ramp(4000, 1));
    QCOMPARE(rig.problems.size(), 1);
    // The run goes on without recording: the next gaps try nothing and tell nothing more.
    rig.recorder.startAnswer(1);
    rig.recorder.endAnswer(true);
    QCoreApplication::processEvents();
    QCOMPARE(rig.problems.size(), 1);
    QCOMPARE(rig.recorded.size(), 1);
}

void TestRecording::aFileThatCannotBeWrittenIsTold() {
    Rig rig;
    touch(rig.dir.filePath("cafe.recordings")); // a file where the folder should be
    rig.recorder.beginRun(true);
    for (int gap = 0; gap < 2; ++gap) {
        rig.recorder.startAnswer(gap);
        rig.hear(100, 1);
        rig.recorder.endAnswer(true);
    }
    QTRY_COMPARE(rig.recorder.writesPending(), 0);
    QTRY_COMPARE(rig.problems.size(), 1);
    QCOMPARE(rig.recorded.size(), 0);
    QVERIFY(QFileInfo(rig.dir.filePath("cafe.recordings")).isFile());
}

void TestRecording::replayPlaysTheLastTake() {
    Rig rig;
    rig.recorder.beginRun(true);
    rig.recorder.startAnswer(0);
    rig.hear(100, 7);
    rig.recorder.endAnswer(true);
    int heard = 0;
    QVERIFY(rig.recorder.replayAnswer([&heard] { ++heard; }));
    QCOMPARE(rig.player.played.size(), size_t(1));
    QCOMPARE(rig.player.played[0], ramp(1600, 7));
    rig.player.finish();
    QCOMPARE(heard, 0); // told later, never from within the player's call
    QTRY_COMPARE(heard, 1);
    QVERIFY(rig.recorded.wait(5000));
}

QTEST_MAIN(TestRecording)
#include "tst_recording.moc"
