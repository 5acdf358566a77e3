#include "app/AudioExportWindow.h"
#include "app/Services.h"
#include "audio/Loudness.h"
#include "export/LessonExport.h"
#include "lesson/LessonCursor.h"
#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"
#include "platform/ErrorHandler.h"
#include "playback/PlaybackController.h"
#include "settings/SettingsFile.h"
#include "support/AudioLevel.h"
#include "support/FakeServices.h"
#include "support/ManualPlaybackTimer.h"
#include "voices/EmbeddedSpeechEngine.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QPushButton>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sndfile.h>

#include <csignal>
#include <sys/file.h>
#include <sys/resource.h>

using namespace lessora;
using namespace lessora::test;

namespace {

LessonRow row(const QString& speaker, const QString& text, const QString& interval = {}) {
    return {QString(), speaker, languageOfSpeakerCode(speaker), text, interval};
}

struct Decoded {
    int sampleRate = 0;
    QVector<qint16> samples;
    bool ok = false;
};

Decoded decode(const QString& path) {
    Decoded decoded;
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        return decoded;
    decoded.sampleRate = info.samplerate;
    decoded.samples.resize(qsizetype(info.frames));
    decoded.ok = info.channels == 1 &&
                 sf_readf_short(file, decoded.samples.data(), info.frames) == info.frames;
    sf_close(file);
    return decoded;
}

// The runs of sound and of silence, in ms, starting with the first sound: sound, silence,
// sound, ... (10 ms frames; a frame is sound above -40 dBFS).
QList<int> soundAndSilence(const Decoded& audio) {
    const int frame = audio.sampleRate / 100;
    QList<int> runs;
    bool inSound = false;
    for (qsizetype start = 0; start + frame <= audio.samples.size(); start += frame) {
        double sum = 0;
        for (int i = 0; i < frame; ++i)
            sum += double(audio.samples[start + i]) * audio.samples[start + i];
        const bool sound = sum / frame > 32768.0 * 32768.0 * 1e-4;
        if (runs.isEmpty() && !sound)
            continue;
        if (runs.isEmpty() || sound != inSound) {
            runs << 0;
            inSound = sound;
        }
        runs.last() += 10;
    }
    return runs;
}

// Each measured run matches the expected one within `slack` ms.
bool closeTo(const QList<int>& runs, const QList<int>& expected, int slack) {
    if (runs.size() != expected.size())
        return false;
    for (qsizetype i = 0; i < runs.size(); ++i) {
        if (std::abs(runs[i] - expected[i]) > slack)
            return false;
    }
    return true;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray describe(const QList<int>& runs) {
    QStringList parts;
    for (int run : runs)
        parts << QString::number(run);
    return parts.join(u' ').toUtf8();
}

struct ExportRig {
    FakeServices fakes;
    LessonTable table;
    QTemporaryDir folder;

    ExportRig() {
        fakes.speech.addVoice(QStringLiteral("Eng One"), QStringLiteral("409"));
        fakes.speech.addVoice(QStringLiteral("Jpn One"), QStringLiteral("411"));
    }
    QString path(const QString& name) const { return folder.filePath(name); }
    ExportSummary run(const ExportOptions& options, const QString& name, const QString& clips = {},
                      const ExportProgress& progress = {}) {
        return exportLesson(fakes.speech, fakes.settingsPath(), table, options, path(name), clips,
                            progress);
    }
    QStringList leftovers() const {
        return QDir(folder.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
};

} // namespace

Q_DECLARE_METATYPE(lessora::PlaybackChoices)

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void optionsOfALessonFile();
    void stepsOfARow_data();
    void stepsOfARow();
    void decodedExportHasEveryLineGapAndPause();
    void everyFormatIsReadable_data();
    void everyFormatIsReadable();
    void clipsAndTheirIndex();
    void cancelledOrFailedExportLeavesNothing_data();
    void cancelledOrFailedExportLeavesNothing();
    void usersFilesAreNeverReplacedOrRemoved_data();
    void usersFilesAreNeverReplacedOrRemoved();
    void temporaryFilesAreOwnAndStaleOnesGo();
    void lessonWithoutLinesIsRefused();
    void voicesAreEquallyLoudWithoutClicks();
    void exportSoundsAsPlaybackPlays_data();
    void exportSoundsAsPlaybackPlays();
    void exportWindowEndsWithItsMessage_data();
    void exportWindowEndsWithItsMessage();
};

void TestExport::optionsOfALessonFile() {
    // What a file does not store is what a new window starts with: no pause, one pass, the
    // normal speeds, no practice settings.
    const ExportOptions plain = exportOptionsFrom(choicesOfLesson({}), u',');
    QCOMPARE(plain.passes, 1);
    QCOMPARE(plain.defaultPauseMs, 0);
    QCOMPARE(plain.rates, (SpeechRates{0, 0}));
    QCOMPARE(plain.practice, PracticeOptions{});
    QCOMPARE(plain.decimalSeparator, QChar(u','));

    StoredLessonSettings stored;
    stored.intervalIndex = 2;    // 1秒
    stored.repeatIndex = 3;      // 5回
    stored.englishRateIndex = 4; // 速い
    stored.practice.japaneseRateIndex = 0;
    stored.practice.role = QStringLiteral(" b ");
    stored.practice.modelAfterAnswer = true;
    stored.practice.answerGapIndex = 3;
    stored.practice.lineRepeatCount = 9; // beyond the list: its default, as in the window
    stored.practice.shadowingGap = true;
    const ExportOptions options = exportOptionsFrom(choicesOfLesson(stored), u'.');
    QCOMPARE(options.passes, 5);
    QCOMPARE(options.defaultPauseMs, 1000);
    QCOMPARE(options.rates, (SpeechRates{2, -3}));
    QCOMPARE(options.practice, (PracticeOptions{"B", true, 200, 1, true}));
    stored.practice.slowestEnglish = true;
    QCOMPARE(exportOptionsFrom(choicesOfLesson(stored), u'.').rates.english, kSlowestEnglishRate);
}

void TestExport::stepsOfARow_data() {
    using K = ExportStep::Kind;
    QTest::addColumn<QString>("role");
    QTest::addColumn<bool>("model");
    QTest::addColumn<int>("repeats");
    QTest::addColumn<bool>("shadowing");
    QTest::addColumn<QList<ExportStep>>("expected");
    const ExportStep speak{K::Speak, 100, 0};
    const ExportStep pause{K::Pause, 100, 1500};
    const ExportStep shadow{K::Gap, 100, 0};
    const ExportStep answer{K::Gap, 150, 0};
    // Without the shadowing gap repeats are apart by the default pause, here "なし": 0.5 s.
    const ExportStep apart{K::Pause, 100, kMinRepeatPauseMs};
    QTest::newRow("plain") << "" << false << 1 << false << QList<ExportStep>{speak, pause};
    QTest::newRow("drill without shadowing")
        << "" << false << 3 << false << QList<ExportStep>{speak, apart, speak, apart, speak, pause};
    QTest::newRow("drill with shadowing")
        << "" << false << 3 << true
        << QList<ExportStep>{speak, shadow, speak, shadow, speak, pause};
    QTest::newRow("learner's line")
        << "B" << false << 1 << false << QList<ExportStep>{answer, pause};
    QTest::newRow("learner's line twice, with the model, no shadowing")
        << "B" << true << 2 << true << QList<ExportStep>{answer, speak, answer, speak, pause};
    QTest::newRow("another speaker's role")
        << "A" << true << 1 << false << QList<ExportStep>{speak, pause};
}

void TestExport::stepsOfARow() {
    QFETCH(QString, role);
    QFETCH(bool, model);
    QFETCH(int, repeats);
    QFETCH(bool, shadowing);
    QFETCH(QList<ExportStep>, expected);
    LessonTable table;
    table.setRows({row("B", "line", "1.5")});
    ExportOptions options;
    options.practice = {role, model, 150, repeats, shadowing};
    QCOMPARE(exportStepsOfRow(table, 0, options), expected);
    // The learner's recordings heard back in the window leave nothing in a file.
    options.practice.recordAnswers = options.practice.hearOwnAnswer = true;
    QCOMPARE(exportStepsOfRow(table, 0, options), expected);
}

void TestExport::decodedExportHasEveryLineGapAndPause() {
    ExportRig rig;
    // 100 ms per character: "ab" 200 ms, "cde" 300 ms, "f" 100 ms.
    rig.table.setRows(
        {row("A", "ab", "0.5"), row("X", "skipped"), row("B", "cde"), row("Q", "f"), row("C", "")});
    ExportOptions options;
    options.passes = 2;
    options.defaultPauseMs = 1000;
    options.practice.role = QStringLiteral("B"); // muted: an answer gap of 1.3 times its line
    const ExportSummary summary = rig.run(options, QStringLiteral("lesson.wav"));

    const Decoded audio = decode(rig.path(QStringLiteral("lesson.wav")));
    QVERIFY(audio.ok);
    QCOMPARE(audio.sampleRate, summary.sampleRate);
    QCOMPARE(summary.linesSpoken, 4);
    // ab, its 500 ms pause + B's 390 ms gap + B's 1 s pause, f, its pause; twice.
    const QList<int> expected = {200, 1890, 100, 1000, 200, 1890, 100};
    const QList<int> runs = soundAndSilence(audio);
    QVERIFY2(closeTo(runs.mid(0, expected.size()), expected, 20), describe(runs));
    QVERIFY(std::abs(summary.durationMs() - 2 * (200 + 500 + 390 + 1000 + 100 + 1000)) <= 20);
    // The muted line was measured, never written; each line was synthesised once for both
    // passes.
    QCOMPARE(rig.fakes.speech.spoken.size(), 0);
    QCOMPARE(rig.fakes.speech.synthesized.size(), 3);
}

void TestExport::everyFormatIsReadable_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("sampleRate");
    QTest::addColumn<int>("slackMs"); // encoders add a little padding
    QTest::newRow("WAV") << "a.wav" << 22050 << 0;
    QTest::newRow("FLAC") << "a.FLAC" << 22050 << 0;
    QTest::newRow("Ogg Opus") << "a.opus" << 24000 << 80;
    QTest::newRow("MP3") << "a.mp3" << 22050 << 120;
}

void TestExport::everyFormatIsReadable() {
    QFETCH(QString, name);
    QFETCH(int, sampleRate);
    QFETCH(int, slackMs);
    ExportRig rig;
    rig.table.setRows({row("A", "hello"), row("Q", "こんにちは")});
    ExportOptions options;
    options.defaultPauseMs = 500;
    const ExportSummary summary = rig.run(options, name);
    QCOMPARE(summary.sampleRate, sampleRate);

    const Decoded audio = decode(rig.path(name));
    QVERIFY(audio.ok);
    QCOMPARE(audio.sampleRate, sampleRate);
    const qint64 decodedMs = audio.samples.size() * 1000 / audio.sampleRate;
    QVERIFY2(std::abs(decodedMs - 2000) <= slackMs + 10, QByteArray::number(decodedMs));
    QVERIFY2(soundAndSilence(audio).size() >= 3, describe(soundAndSilence(audio)));
    QCOMPARE(rig.leftovers(), QStringList{name});
}

void TestExport::clipsAndTheirIndex() {
    ExportRig rig;
    rig.table.setRows(
        {row("A", "one"), row("", ""), row("R", "あい"), row("B", "tab\there"), row("Q", "いい")});
    ExportOptions options;
    // The accent column: the text form of a Japanese line's analysis; empty for the English
    // lines and where the analysis fails (the export goes on).
    options.accentOf = [](const QString& text) {
        if (text == QStringLiteral("いい"))
            throw SpeechError(QStringLiteral("open_jtalk failed"));
        return accentPhrasesFromText(QStringLiteral("ア＼イ。"));
    };
    options.passes = 3;
    options.practice.role = QStringLiteral("B");
    const QString clips = rig.path(QStringLiteral("clips"));
    const ExportSummary summary = rig.run(options, QStringLiteral("all.mp3"), clips);

    QCOMPARE(summary.clipFiles, 4); // every line once, the learner's too
    QFile index(QDir(clips).filePath(QStringLiteral("index.tsv")));
    QVERIFY(index.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(index.readAll()).split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines, (QStringList{"1\tA\tone\t\t0001_A.mp3\t",
                                 QStringLiteral("3\tR\tあい\tアイ\t0003_R.mp3\tア＼イ。"),
                                 "4\tB\ttab here\t\t0004_B.mp3\t",
                                 QStringLiteral("5\tQ\tいい\tイイ\t0005_Q.mp3\t")}));
    const Decoded first = decode(QDir(clips).filePath(QStringLiteral("0001_A.mp3")));
    QVERIFY(first.ok);
    QVERIFY(std::abs(first.samples.size() * 1000 / first.sampleRate - 300) <= 130);
}

void TestExport::cancelledOrFailedExportLeavesNothing_data() {
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("name");
    QTest::newRow("cancelled") << "cancelled"
                               << "lesson.wav";
    // A full disk: the encoders do not all pass a short write back (MP3 does not).
    for (const char* name : {"lesson.wav", "lesson.flac", "lesson.opus", "lesson.mp3"})
        QTest::addRow("file size limit, %s", name) << "file size limit" << name;
    QTest::newRow("speech engine fails") << "engine"
                                         << "lesson.wav";
    QTest::newRow("no such folder") << "folder"
                                    << "missing/lesson.wav";
    QTest::newRow("unknown extension") << "extension"
                                       << "lesson.txt";
}

void TestExport::cancelledOrFailedExportLeavesNothing() {
    QFETCH(QString, failure);
    QFETCH(QString, name);
    ExportRig rig;
    QList<LessonRow> rows;
    for (int i = 0; i < 40; ++i)
        rows << row(i % 2 ? "A" : "Q", QStringLiteral("line number %1").arg(i));
    rig.table.setRows(rows);
    ExportOptions options;
    options.defaultPauseMs = 1000;
    ExportProgress progress;
    if (failure == "cancelled")
        progress = [](int done, int) { return done < 5; };
    if (failure == "engine")
        rig.fakes.speech.failOperation(FakeOp::Synthesize, QStringLiteral("engine gone"));
    // The user's earlier file of that name stays as it was.
    const QByteArray old = "an earlier export";
    const bool hasOld = failure != "folder";
    if (hasOld) {
        QFile earlier(rig.path(name));
        QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write(old) == old.size());
    }

    rlimit saved{};
    QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    if (failure == "file size limit") {
        rlimit small = saved;
        small.rlim_cur = 50000; // a few lines fit, as on a nearly full disk
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
    }
    QString message;
    try {
        rig.run(options, name, rig.path(QStringLiteral("clips")), progress);
    } catch (const ExportError& error) {
        message = error.message();
    }
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldSignal);

    QVERIFY2(!message.isEmpty(), "a broken export must not pass for a finished one");
    if (failure == "cancelled")
        QCOMPARE(message, exportCancelled());
    if (failure == "engine")
        QVERIFY2(message.contains(QStringLiteral("engine gone")), qPrintable(message));
    const QStringList expected = hasOld ? QStringList{name} : QStringList{};
    QVERIFY2(rig.leftovers() == expected, qPrintable(rig.leftovers().join(u' ')));
    if (hasOld)
        QCOMPARE(readAll(rig.path(name)), old);
}

void TestExport::usersFilesAreNeverReplacedOrRemoved_data() {
    QTest::addColumn<QString>("situation");
    QTest::newRow("clips folder holds files") << "populated";
    QTest::newRow("cancelled over an empty clips folder") << "empty cancelled";
    QTest::newRow("audio file is the clips folder") << "output is clips";
    QTest::newRow("audio file inside the clips folder") << "output in clips";
}

void TestExport::usersFilesAreNeverReplacedOrRemoved() {
    QFETCH(QString, situation);
    ExportRig rig;
    rig.table.setRows({row("A", "one"), row("B", "two")});
    const QString clips = rig.path(QStringLiteral("out_clips"));
    QVERIFY(QDir().mkpath(clips));
    const QStringList userFiles = situation == "populated"
                                      ? QStringList{"0001_A.wav", "index.tsv", ".hidden"}
                                      : QStringList{};
    for (const QString& file : userFiles) {
        QFile user(QDir(clips).filePath(file));
        QVERIFY(user.open(QIODevice::WriteOnly) && user.write(file.toUtf8()) > 0);
    }
    QString output = QStringLiteral("out.wav");
    if (situation == "output is clips")
        output = QStringLiteral("out_clips");
    if (situation == "output in clips")
        output = QStringLiteral("out_clips/out.wav");
    ExportProgress progress;
    if (situation == "empty cancelled")
        progress = [](int done, int) { return done < 1; };

    QString message;
    try {
        rig.run({}, output, clips, progress);
    } catch (const ExportError& error) {
        message = error.message();
    }
    QVERIFY(!message.isEmpty());
    if (situation == "populated")
        QCOMPARE(message, clipsFolderNotEmpty(clips));
    QCOMPARE(rig.leftovers(), QStringList{"out_clips"});
    QStringList kept =
        QDir(clips).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    kept.sort();
    QStringList expected = userFiles;
    expected.sort();
    QCOMPARE(kept, expected);
    for (const QString& file : userFiles)
        QCOMPARE(readAll(QDir(clips).filePath(file)), file.toUtf8());
}

void TestExport::temporaryFilesAreOwnAndStaleOnesGo() {
    ExportRig rig;
    rig.table.setRows({row("A", "one")});
    // A link where a temporary file might be, as someone could plant: never followed.
    const QString important = rig.path(QStringLiteral("important.txt"));
    QFile(important).open(QIODevice::WriteOnly);
    QVERIFY(QFile::link(important, rig.path(QStringLiteral(".real.wav.AAAAAA.part"))));
    // What a killed export left, and what a running one holds (locked) for now, beside the
    // file that is written: the target of the link out.wav.
    QFile stale(rig.path(QStringLiteral(".real.wav.Stale1.part")));
    QVERIFY(stale.open(QIODevice::WriteOnly) && stale.write("half") == 4);
    stale.close();
    QFile running(rig.path(QStringLiteral(".real.wav.Live01.part")));
    QVERIFY(running.open(QIODevice::WriteOnly));
    QVERIFY(::flock(running.handle(), LOCK_EX | LOCK_NB) == 0);
    // The audio file named by a link: the link stays, its target gets the audio.
    QFile(rig.path(QStringLiteral("real.wav"))).open(QIODevice::WriteOnly);
    QVERIFY(QFile::link(rig.path(QStringLiteral("real.wav")), rig.path(QStringLiteral("out.wav"))));

    rig.run({}, QStringLiteral("out.wav"));

    QVERIFY(QFileInfo(rig.path(QStringLiteral("out.wav"))).isSymLink());
    QVERIFY(decode(rig.path(QStringLiteral("real.wav"))).ok);
    QCOMPARE(QFileInfo(important).size(), 0);
    QStringList left = rig.leftovers();
    left.sort();
    QCOMPARE(left, (QStringList{".real.wav.AAAAAA.part", ".real.wav.Live01.part", "important.txt",
                                "out.wav", "real.wav"}));
}

void TestExport::lessonWithoutLinesIsRefused() {
    ExportRig rig;
    rig.table.setRows({row("", ""), row("A", "")});
    QVERIFY_THROWS_EXCEPTION(ExportError, rig.run({}, QStringLiteral("empty.wav")));
    QVERIFY(rig.leftovers().isEmpty());
}

void TestExport::voicesAreEquallyLoudWithoutClicks() {
    EmbeddedEngineOptions engineOptions;
    engineOptions.output = EmbeddedEngineOptions::Output::Silent;
    engineOptions.pumpThread = false;
    EmbeddedSpeechEngine engine(engineOptions);
    QTemporaryDir folder;
    LessonTable table;
    table.setRows({row("A", "Would you like some coffee?"), row("B", "Yes, please. With milk."),
                   row("C", "Here you are."), row("Q", "コーヒーはいかがですか。"),
                   row("R", "はい、お願いします。"), row("S", "どうぞ。")});
    ExportOptions options;
    options.defaultPauseMs = 1000;
    const QString path = folder.filePath(QStringLiteral("voices.wav"));
    exportLesson(engine, folder.filePath(QStringLiteral("Lessora.ini")), table, options, path);

    const Decoded audio = decode(path);
    QVERIFY(audio.ok);
    QList<QVector<qint16>> lines;
    // Lines are separated by the one-second pauses: split at runs of zeros of 0.9 s or more.
    QVector<qint16> current;
    int zeros = 0;
    for (const qint16 sample : audio.samples) {
        zeros = sample == 0 ? zeros + 1 : 0;
        if (zeros > audio.sampleRate * 9 / 10) {
            if (!current.isEmpty())
                lines << current;
            current.clear();
            continue;
        }
        current << sample;
    }
    if (!current.isEmpty())
        lines << current;
    QCOMPARE(lines.size(), 6);
    for (const QVector<qint16>& line : lines) {
        const std::optional<double> loudness =
            integratedLoudness(line.constData(), line.size(), audio.sampleRate);
        QVERIFY(loudness);
        QVERIFY2(std::abs(*loudness - kSpeechLoudnessLufs) <= 1.0, QByteArray::number(*loudness));
        // Faded in and out: a line starts and ends near silence, so joins do not click.
        QVERIFY2(std::abs(line.first()) < 200, QByteArray::number(line.first()));
        int end = int(line.size()) - 1;
        while (end > 0 && line[end] == 0)
            --end;
        QVERIFY2(std::abs(line[end]) < 200, QByteArray::number(line[end]));
    }
}

namespace {

class NoCursor : public LessonCursor {
public:
    explicit NoCursor(LessonTable& table)
        : m_table(table) {}
    LessonTable& table() const override { return m_table; }
    int currentRow() const override { return -1; }
    int currentColumn() const override { return -1; }
    void makeRowCurrent(int) override {}
    void setCurrentColumn(int) override {}
    void scrollToLeftEdge() override {}
    void takeFocus() override {}

private:
    LessonTable& m_table;
};

// Plays the lesson with the fake engine to its end and writes down what is heard, as the
// export's runs are measured: sound and silence in ms from the first sound, neighbours of one
// kind joined.
QList<int> playedRuns(ExportRig& rig, const PlaybackChoices& choices) {
    NoCursor cursor(rig.table);
    ErrorHandler errors(rig.fakes.messages);
    ManualPlaybackTimer timer;
    PlaybackController playback({rig.table, cursor, [&] { return choices; }, {}},
                                {rig.fakes.speech, rig.fakes.messages, rig.fakes.beeper,
                                 rig.fakes.settingsPath(), u'.', &timer},
                                errors);
    QList<int> runs;
    bool inSound = false;
    const auto add = [&](bool sound, int ms) {
        // Nothing before the first line; and a pause of "0" (1 ms in playback, none in a file)
        // is shorter than the 10 ms frames the file is measured in.
        if (!sound && (runs.isEmpty() || ms < 10))
            return;
        if (runs.isEmpty() || sound != inSound)
            runs << 0;
        inSound = sound;
        runs.last() += ms;
    };
    const auto deliver = [] {
        for (int round = 0; round < 4; ++round)
            QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    };
    qsizetype heard = 0;
    playback.playPause();
    for (int steps = 0; steps < 1000 && playback.isPlaying(); ++steps) {
        for (; heard < rig.fakes.speech.spoken.size(); ++heard)
            add(true,
                int(rig.fakes.speech.spoken[heard].text.size()) * rig.fakes.speech.msPerCharacter);
        if (playback.state() == PlaybackState::Speaking) {
            rig.fakes.speech.finishSpeech();
        } else if (timer.isActive()) {
            add(false, timer.interval());
            timer.fire();
        }
        deliver();
    }
    return runs;
}

} // namespace

void TestExport::exportSoundsAsPlaybackPlays_data() {
    QTest::addColumn<QList<LessonRow>>("rows");
    QTest::addColumn<PlaybackChoices>("choices");
    const QList<LessonRow> dialogue = {row("A", "Hello.", "1.5"), row("B", "Fine!"),
                                       row("Q", "そうですね"), row("R", "はい", "0")};
    QTest::newRow("plain, two passes")
        << dialogue << PlaybackChoices{2, 1, 2, false, kNormalJapaneseRateIndex, {}};
    QTest::newRow("role-play with the model, twice, shadowing")
        << dialogue
        << PlaybackChoices{1, 0, 2, false, kNormalJapaneseRateIndex, {"B", true, 150, 2, true}};
    QTest::newRow("three times apart, the learner answers Japanese")
        << dialogue
        << PlaybackChoices{0, 0, 2, false, kNormalJapaneseRateIndex, {"Q", false, 200, 3, false}};
}

// The file and a run of playback give the same lines, gaps and pauses in the same order and of
// the same lengths (to 50 ms: the file is measured in 10 ms frames, and each line fades in and
// out): both follow the drill plan.
void TestExport::exportSoundsAsPlaybackPlays() {
    QFETCH(QList<LessonRow>, rows);
    QFETCH(PlaybackChoices, choices);
    ExportRig rig;
    rig.fakes.speech.msPerCharacter = 120;
    rig.table.setRows(rows);
    const QList<int> played = playedRuns(rig, choices);
    rig.run(exportOptionsFrom(choices, u'.'), QStringLiteral("lesson.wav"));
    const QList<int> written = soundAndSilence(decode(rig.path(QStringLiteral("lesson.wav"))));
    int worst = 0;
    for (qsizetype i = 0; i < std::min(played.size(), written.size()); ++i)
        worst = std::max(worst, std::abs(played[i] - written[i]));
    qInfo("runs: %lld, largest difference %d ms", qint64(played.size()), worst);
    QVERIFY2(closeTo(written, played, 50), describe(written) + " / " + describe(played));
}

void TestExport::exportWindowEndsWithItsMessage_data() {
    QTest::addColumn<bool>("cancel");
    QTest::newRow("written") << false;
    QTest::newRow("cancelled") << true;
}

// The window's export runs off the GUI thread with its progress dialog, which is gone by the
// time the message says how it ended.
void TestExport::exportWindowEndsWithItsMessage() {
    QFETCH(bool, cancel);
    ExportRig rig;
    rig.table.setRows({row("A", "one"), row("B", "two"), row("Q", "三")});
    const QString file = rig.path(QStringLiteral("lesson.wav"));
    rig.fakes.fileDialogs.saveAnswers << file;
    const Services services = rig.fakes.services();
    QWidget parent;
    QSemaphore cancelled;
    bool dialogSeen = false;
    if (cancel) {
        // The first line is held until the dialog's cancel button has been pressed.
        rig.fakes.speech.whileSynthesizing = [&] { cancelled.acquire(); };
        QTimer::singleShot(0, &parent, [&] {
            auto* dialog = parent.findChild<QProgressDialog*>(QStringLiteral("dlgExportProgress"));
            dialogSeen = dialog && dialog->isVisible() &&
                         dialog->windowTitle() == QStringLiteral("書き出し");
            if (auto* button = dialog ? dialog->findChild<QPushButton*>() : nullptr)
                button->click();
            cancelled.release(1000);
        });
    }
    AudioExportWindow window;
    window.run(&parent, services, rig.table, ExportOptions{}, false);
    QVERIFY(parent.findChildren<QProgressDialog*>().isEmpty());
    if (cancel) {
        QVERIFY(dialogSeen);
        QCOMPARE(rig.fakes.messages.messages, QStringList{exportCancelled()});
        QVERIFY(!QFileInfo::exists(file));
        QVERIFY(rig.leftovers().isEmpty());
    } else {
        QCOMPARE(rig.fakes.messages.messages,
                 QStringList{QStringLiteral("書き出しました。\r\n%1\r\n0分0秒、3行")
                                 .arg(QDir::toNativeSeparators(file))});
        QVERIFY(decode(file).ok);
    }
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
