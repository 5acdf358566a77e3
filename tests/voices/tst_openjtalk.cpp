// The Open JTalk voices: the process runner they use, their behaviour when the program hangs,
// fails or is stopped (with stand-in programs), lines prepared ahead, and, when the Debian
// packages are installed, the real voice: pitch accent, three distinct speakers, and a reading
// that is what the voice says.

#include "japanese/JapaneseReading.h"
#include "support/Pitch.h"
#include "voices/EmbeddedSpeechEngine.h"
#include "voices/EmbeddedVoices.h"
#include "voices/OpenJTalkSynth.h"
#include "voices/ProcessRunner.h"

#include <QDataStream>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <cmath>
#include <csignal>

#include <sys/wait.h>
#include <unistd.h>

using namespace lessora;
using namespace std::chrono_literals;

namespace {

const QString kTakumi = QStringLiteral("OpenJTalk Takumi - Japanese (Japan)");

class ManualClock : public AudioClock {
public:
    qint64 nowUs() const override { return 1'000'000; }
};

EmbeddedEngineOptions silentOptions() {
    EmbeddedEngineOptions options;
    options.output = EmbeddedEngineOptions::Output::Silent;
    options.clock = std::make_shared<ManualClock>();
    options.pumpThread = false;
    return options;
}

std::vector<const EmbeddedVoice*> openJTalkVoices() {
    std::vector<const EmbeddedVoice*> voices;
    for (const EmbeddedVoice& voice : embeddedVoices())
        if (voice.synth == EmbeddedVoice::Synth::OpenJTalk)
            voices.push_back(&voice);
    return voices;
}

VoiceTokenPtr tokenOf(SpeechVoice& voice, const QString& description) {
    return findVoiceToken(voice.voices(), description);
}

// Half a second of a 200 Hz tone as a 48 kHz WAV, as Open JTalk would write it.
QByteArray toneWav() {
    const int rate = OpenJTalkSynth::kSampleRate;
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setByteOrder(QDataStream::LittleEndian);
    const quint32 count = quint32(rate / 2);
    stream.writeRawData("RIFF", 4);
    stream << quint32(36 + count * 2);
    stream.writeRawData("WAVEfmt ", 8);
    stream << quint32(16) << quint16(1) << quint16(1) << quint32(rate) << quint32(rate * 2)
           << quint16(2) << quint16(16);
    stream.writeRawData("data", 4);
    stream << count * 2;
    for (quint32 i = 0; i < count; ++i)
        stream << qint16(8000 * std::sin(2 * M_PI * 200 * i / rate));
    return bytes;
}

// A stand-in for open_jtalk: a shell script, with the files an installation needs beside it.
class StandIn {
public:
    explicit StandIn(const QByteArray& script) {
        QFile(m_dir.filePath("sys.dic")).open(QIODevice::WriteOnly);
        QFile(m_dir.filePath("voice.htsvoice")).open(QIODevice::WriteOnly);
        QFile wav(m_dir.filePath("speech.wav"));
        wav.open(QIODevice::WriteOnly);
        wav.write(toneWav());
        wav.close();
        QFile program(m_dir.filePath("open_jtalk"));
        program.open(QIODevice::WriteOnly);
        program.write("#!/bin/sh\ndir='" + m_dir.path().toUtf8() + "'\n" + script);
        program.close();
        program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_saved = OpenJTalkSynth::installation();
        OpenJTalkSynth::setInstallation(
            {program.fileName(), m_dir.path(), m_dir.filePath("voice.htsvoice"), 2000ms});
    }
    ~StandIn() { OpenJTalkSynth::setInstallation(m_saved); }
    void setTimeout(std::chrono::milliseconds timeout) {
        OpenJTalkInstallation installation = OpenJTalkSynth::installation();
        installation.timeout = timeout;
        OpenJTalkSynth::setInstallation(installation);
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    int runs() const {
        QFile file(path("runs"));
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
    }
    // The process id the script wrote, once it has (up to 5 s).
    pid_t waitForPid() const {
        for (int i = 0; i < 500; ++i) {
            QFile file(path("pid"));
            if (file.open(QIODevice::ReadOnly))
                if (const pid_t pid = file.readAll().trimmed().toInt(); pid > 0)
                    return pid;
            QThread::msleep(10);
        }
        return 0;
    }

private:
    QTemporaryDir m_dir;
    OpenJTalkInstallation m_saved;
};

bool processGone(pid_t pid) {
    for (int i = 0; i < 200; ++i) {
        if (::kill(pid, 0) != 0)
            return true;
        QThread::msleep(10);
    }
    return false;
}

// The real voice's WAV and the times of its phonemes, for the voice's own settings.
struct Rendered {
    QVector<qint16> samples;
    int rate = 0;
    struct Phone {
        double start;
        double end;
        QString name;
    };
    QList<Phone> phones;
};

Rendered render(const EmbeddedVoice& voice, const QString& text) {
    const OpenJTalkInstallation installation = OpenJTalkSynth::installation();
    QStringList arguments = OpenJTalkSynth::arguments(installation, voice.openJTalk);
    arguments << "-ot"
              << "/dev/fd/3";
    const ProcessResult result =
        runProcess({installation.program, arguments, text.toUtf8() + '\n', true, 10s, {}});
    Rendered rendered;
    const std::vector<qint16> samples = wavSamples(result.output, &rendered.rate);
    rendered.samples = QVector<qint16>(samples.begin(), samples.end());
    // "[Output label]": start and end in 100 ns units, then the label, its phoneme between
    // '-' and '+'.
    const QString trace = QString::fromUtf8(result.extraOutput);
    const qsizetype start = trace.indexOf("[Output label]\n");
    for (const QString& line : trace.mid(start).split('\n').mid(1)) {
        const QStringList fields = line.split(' ');
        if (fields.size() < 3)
            break;
        const QString name = fields[2].section('-', 1).section('+', 0, 0);
        rendered.phones.append({fields[0].toDouble() / 1e7, fields[1].toDouble() / 1e7, name});
    }
    return rendered;
}

} // namespace

class TestOpenJTalk : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        // The synthesis thread and its synthesisers start here, before any stand-in program.
        EmbeddedSpeechEngine engine(silentOptions());
        engine.waitForSynthesis();
    }

    // Which installed files make the Open JTalk voices, and when the engine names the missing
    // voice's package: only when Open JTalk and its dictionary are there without it.
    void missingVoicePackage_data() {
        QTest::addColumn<QStringList>("removed");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<QString>("missing");
        QTest::newRow("all installed") << QStringList() << true << QString();
        QTest::newRow("voice missing")
            << QStringList{"voice.htsvoice"} << false << "hts-voice-nitech-jp-atr503-m001";
        QTest::newRow("no Open JTalk")
            << QStringList{"open_jtalk", "voice.htsvoice"} << false << QString();
        QTest::newRow("no dictionary either")
            << QStringList{"sys.dic", "voice.htsvoice"} << false << QString();
    }

    void missingVoicePackage() {
        QFETCH(QStringList, removed);
        QFETCH(bool, listed);
        QFETCH(QString, missing);
        const StandIn standIn("exit 0\n");
        for (const QString& name : removed)
            QVERIFY(QFile::remove(standIn.path(name)));
        EmbeddedSpeechEngine engine(silentOptions());
        QCOMPARE(tokenOf(*engine.createVoice(), kTakumi) != nullptr, listed);
        QCOMPARE(engine.missingVoicePackage(), missing);
    }

    // The process runner.
    void runnerGivesArgumentsAndInputAsTheyAre() {
        // No shell: what would be shell syntax reaches the program untouched.
        const ProcessResult printed = runProcess(
            {"/usr/bin/printf", {"[%s]", "a b", "$(id)", ";rm -rf x", "*"}, {}, false, 5s, {}});
        QCOMPARE(printed.status, ProcessResult::Status::Finished);
        QCOMPARE(printed.output, QByteArray("[a b][$(id)][;rm -rf x][*]"));

        const QByteArray input(300000, 'x'); // more than a pipe holds
        const ProcessResult echoed = runProcess(
            {"/bin/sh", {"-c", "cat; echo extra >&3; echo note >&2"}, input, true, 5s, {}});
        QCOMPARE(echoed.status, ProcessResult::Status::Finished);
        QCOMPARE(echoed.output, input);
        QCOMPARE(echoed.extraOutput, QByteArray("extra\n"));
        QCOMPARE(echoed.errors, QByteArray("note\n"));
    }

    void runnerReportsFailuresHangsAndStops() {
        const ProcessResult failed =
            runProcess({"/bin/sh", {"-c", "echo 'Error: broken' >&2; exit 3"}, {}, false, 5s, {}});
        QCOMPARE(failed.status, ProcessResult::Status::Failed);
        QCOMPARE(failed.exitCode, 3);
        QVERIFY2(failed.describe("/x/open_jtalk").contains("Error: broken"),
                 qPrintable(failed.describe("/x/open_jtalk")));

        const ProcessResult crashed =
            runProcess({"/bin/sh", {"-c", "kill -SEGV $$"}, {}, false, 5s, {}});
        QCOMPARE(crashed.status, ProcessResult::Status::Failed);
        QCOMPARE(crashed.signal, SIGSEGV);

        const ProcessResult missing = runProcess({"/nonexistent/program", {}, {}, false, 5s, {}});
        QCOMPARE(missing.status, ProcessResult::Status::CannotStart);

        // A hung program, and one that leaves a helper holding its output, are killed at the
        // deadline rather than waited for.
        QElapsedTimer timer;
        timer.start();
        const ProcessResult hung = runProcess({"/bin/sleep", {"30"}, {}, false, 200ms, {}});
        QCOMPARE(hung.status, ProcessResult::Status::TimedOut);
        const ProcessResult helper =
            runProcess({"/bin/sh", {"-c", "sleep 30 & exit 0"}, {}, false, 2000ms, {}});
        QCOMPARE(helper.status, ProcessResult::Status::Finished);
        QVERIFY2(timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));

        int asked = 0;
        timer.restart();
        const ProcessResult stopped =
            runProcess({"/bin/sleep", {"30"}, {}, false, 10s, [&asked] { return ++asked < 5; }});
        QCOMPARE(stopped.status, ProcessResult::Status::Cancelled);
        QVERIFY(timer.elapsed() < 1000);
    }

    void runnerLimitsOutputAndEnvironment() {
        // Endless output is cut at the limit, not collected until the timeout.
        QElapsedTimer timer;
        timer.start();
        ProcessRequest endless{"/bin/sh", {"-c", "exec cat /dev/zero"}, {}, false, 10s, {}};
        endless.outputLimit = 1 << 20;
        const ProcessResult flooded = runProcess(endless);
        QCOMPARE(flooded.status, ProcessResult::Status::OutputTooLarge);
        QVERIFY(flooded.output.size() <= endless.outputLimit);
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));

        // Nothing of the caller's environment but what a program needs to run.
        qputenv("LESSORA_TEST_SECRET", "x");
        const ProcessResult environment = runProcess({"/usr/bin/env", {}, {}, false, 5s, {}});
        qunsetenv("LESSORA_TEST_SECRET");
        QCOMPARE(environment.status, ProcessResult::Status::Finished);
        QVERIFY(!environment.output.contains("LESSORA_TEST_SECRET"));
        QVERIFY(environment.output.contains("PATH=/"));
    }

    void runnerLeavesNoProcessBehind() {
        // A child that leaves its process group is still killed at the deadline.
        const ProcessResult moved = runProcess(
            {"/usr/bin/perl",
             {"-e", "setpgrp(0, getpgrp(getppid())) or die; $| = 1; print \"$$\\n\"; sleep 30"},
             {},
             false,
             300ms,
             {}});
        QCOMPARE(moved.status, ProcessResult::Status::TimedOut);
        const pid_t movedPid = moved.output.trimmed().toInt();
        QVERIFY(movedPid > 0);
        QVERIFY(processGone(movedPid));

        // A hung child dies with a killed parent.
        QTemporaryDir folder;
        const QString pidFile = folder.filePath("pid");
        const pid_t parent = ::fork();
        if (parent == 0) {
            runProcess({"/bin/sh",
                        {"-c", "echo $$ > \"$0\"; exec sleep 30", pidFile},
                        {},
                        false,
                        30s,
                        {}});
            ::_exit(0);
        }
        pid_t child = 0;
        for (int i = 0; i < 500 && child <= 0; ++i) {
            QFile file(pidFile);
            if (file.open(QIODevice::ReadOnly))
                child = file.readAll().trimmed().toInt();
            if (child <= 0)
                QThread::msleep(10);
        }
        ::kill(parent, SIGKILL);
        ::waitpid(parent, nullptr, 0);
        QVERIFY(child > 0);
        QVERIFY(processGone(child));
    }

    void sentencesAreChunksOfBoundedSize() {
        QCOMPARE(OpenJTalkSynth::chunks("はい。そうです！本当？」"),
                 (QStringList{"はい。", "そうです！", "本当？」"}));
        const QStringList pieces = OpenJTalkSynth::chunks(QString(500, u'あ') + "。");
        QVERIFY(pieces.size() >= 6);
        for (const QString& piece : pieces)
            QVERIFY(piece.size() <= OpenJTalkSynth::kMaxChunk);
        QCOMPARE(pieces.join(QString()), QString(500, u'あ') + "。");
    }

    // Stand-in programs for Open JTalk.
    void hangingOrFailingProgramIsTheEnginesError() {
        StandIn hanging("read line\nexec sleep 30\n");
        hanging.setTimeout(300ms);
        QElapsedTimer timer;
        timer.start();
        try {
            synthesizeToMemory(kTakumi, "こんにちは。", 0);
            QFAIL("a hanging program must be an error");
        } catch (const SpeechError& error) {
            QVERIFY2(error.message().contains("応答しません"), qPrintable(error.message()));
        }
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));

        // A program that writes without end: stopped at the limit.
        StandIn endless("read line\nexec cat /dev/zero\n");
        endless.setTimeout(30s);
        timer.restart();
        try {
            synthesizeToMemory(kTakumi, "こんにちは。", 0);
            QFAIL("endless output must be an error");
        } catch (const SpeechError& error) {
            QVERIFY2(error.message().contains("大きすぎます"), qPrintable(error.message()));
        }
        QVERIFY2(timer.elapsed() < 10000, qPrintable(QString::number(timer.elapsed())));

        StandIn failing(
            "read line\necho 'Error: Dictionary or HTS voice cannot be loaded.' >&2\nexit 1\n");
        EmbeddedSpeechEngine engine(silentOptions());
        auto voice = engine.createVoice();
        voice->setVoice(tokenOf(*voice, kTakumi));
        try {
            voice->speak("こんにちは。", kSpeakSync);
            QFAIL("a failing program must be an error");
        } catch (const SpeechError& error) {
            QVERIFY2(error.message().contains("cannot be loaded"), qPrintable(error.message()));
        }
        QCOMPARE(voice->runningState(), kRunningStateDone);

        // Spoken asynchronously, the failure is the utterance's error once it has ended, for
        // a line prepared ahead (the program fails before any sound) as for one that is not;
        // a measurement fails with it too.
        voice->prepare("次の行です。");
        for (const QString& line :
             {QStringLiteral("次の行です。"), QStringLiteral("別の行です。")}) {
            voice->speak(line, kSpeakAsync);
            engine.waitForSynthesis();
            QCOMPARE(voice->runningState(), kRunningStateDone);
            QVERIFY2(voice->utteranceError().contains("cannot be loaded"),
                     qPrintable(voice->utteranceError()));
        }
        const PendingLengthPtr length = voice->measure("三行目です。");
        engine.waitForSynthesis();
        QVERIFY(length->isDone());
        QVERIFY_THROWS_EXCEPTION(SpeechError, length->ms());
        // Silenced, it has no error to report.
        voice->speak(QString(), kSpeakAsync | kSpeakPurge);
        QVERIFY(voice->utteranceError().isEmpty());

        // A program that hangs: the utterance ends with the timeout, not later.
        StandIn hangingAgain("read line\nexec sleep 30\n");
        hangingAgain.setTimeout(300ms);
        timer.restart();
        voice->speak("こんにちは。", kSpeakAsync);
        engine.waitForSynthesis();
        QVERIFY2(timer.elapsed() < 3000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(voice->runningState(), kRunningStateDone);
        QVERIFY2(voice->utteranceError().contains("応答しません"),
                 qPrintable(voice->utteranceError()));
    }

    void silencingKillsTheProgram() {
        StandIn hanging("read line\necho $$ > \"$dir/pid\"\nexec sleep 30\n");
        EmbeddedSpeechEngine engine(silentOptions());
        auto voice = engine.createVoice();
        voice->setVoice(tokenOf(*voice, kTakumi));
        voice->speak("こんにちは。", kSpeakAsync);
        const pid_t pid = hanging.waitForPid();
        QVERIFY(pid > 0);
        QCOMPARE(voice->runningState(), kRunningStateSpeaking);
        voice->speak(QString(), kSpeakAsync | kSpeakPurge);
        QVERIFY(processGone(pid));
        engine.waitForSynthesis();
        QCOMPARE(voice->runningState(), kRunningStateDone);

        // A line prepared ahead is stopped the same way.
        QFile::remove(hanging.path("pid"));
        voice->prepare("次の行です。");
        const pid_t preparing = hanging.waitForPid();
        QVERIFY(preparing > 0);
        voice->speak(QString(), kSpeakAsync | kSpeakPurge);
        QVERIFY(processGone(preparing));
    }

    void preparedLineIsSynthesisedOnceAndStartsAtOnce() {
        StandIn counting("read line\necho run >> \"$dir/runs\"\ncat \"$dir/speech.wav\"\n");
        EmbeddedSpeechEngine engine(silentOptions());
        auto current = engine.createVoice();
        current->setVoice(tokenOf(*current, kTakumi));
        current->setRate(1);
        current->prepare("次の行です。");
        engine.waitForSynthesis();
        QCOMPARE(counting.runs(), 1);

        // Spoken by another voice object with the same voice and rate: nothing is run again,
        // and the samples are there before the worker is asked for anything.
        auto next = engine.createVoice();
        next->setVoice(tokenOf(*next, kTakumi));
        next->setRate(1);
        next->speak("次の行です。", kSpeakAsync);
        QCOMPARE(next->runningState(), kRunningStateSpeaking);
        engine.waitForSynthesis();
        QCOMPARE(counting.runs(), 1);

        // Another rate is another line: what was prepared is not used.
        next->prepare("次の行です。");
        engine.waitForSynthesis();
        QCOMPARE(counting.runs(), 2);
        next->setRate(0);
        next->speak("次の行です。", kSpeakAsync | kSpeakPurge);
        engine.waitForSynthesis();
        QCOMPARE(counting.runs(), 3);

        // Its length is known from what was spoken: measuring it runs nothing.
        const PendingLengthPtr spoken = engine.createVoice()->measure("次の行です。");
        QVERIFY(spoken->isDone());
        QCOMPARE(spoken->ms(), 500);
        // A line measured (a learner's line) is not run again when it is spoken (its model).
        auto learner = engine.createVoice();
        learner->setVoice(tokenOf(*learner, kTakumi));
        const PendingLengthPtr measured = learner->measure("あなたの行です。");
        engine.waitForSynthesis();
        QCOMPARE(measured->ms(), 500);
        QCOMPARE(counting.runs(), 4);
        learner->speak("あなたの行です。", kSpeakAsync);
        engine.waitForSynthesis();
        QCOMPARE(counting.runs(), 4);
        QCOMPARE(learner->runningState(), kRunningStateSpeaking);
    }

    // The real voice.
    void pitchAccentPairs_data() {
        QTest::addColumn<QString>("voice");
        QTest::addColumn<QString>("falling"); // high then low: 雨 ア＼メ
        QTest::addColumn<QString>("rising");  // low then high: 飴 アメ
        QTest::addColumn<QStringList>("firstMora");
        QTest::addColumn<QStringList>("secondMora");
        struct Pair {
            const char* falling;
            const char* rising;
            QStringList first;
            QStringList second;
        };
        const Pair pairs[] = {{"雨", "飴", {"a"}, {"m", "e"}},
                              {"箸", "橋", {"h", "a"}, {"sh", "i"}},
                              {"神", "紙", {"k", "a"}, {"m", "i"}}};
        for (const EmbeddedVoice* voice : openJTalkVoices())
            for (const Pair& pair : pairs)
                QTest::addRow("%s %s/%s", qPrintable(voice->description.section(' ', 1, 1)),
                              pair.falling, pair.rising)
                    << voice->description << QString(pair.falling) << QString(pair.rising)
                    << pair.first << pair.second;
    }
    void pitchAccentPairs() {
        if (!OpenJTalkSynth::available())
            QSKIP("Open JTalk and its voice are not installed (scripts/install-deps)");
        QFETCH(QString, voice);
        QFETCH(QString, falling);
        QFETCH(QString, rising);
        QFETCH(QStringList, firstMora);
        QFETCH(QStringList, secondMora);
        const EmbeddedVoice& settings = *findEmbeddedVoice(voice);
        // The voice's pitch range: its own pitch an octave down and 1.8 times up (no octave
        // errors).
        const double base = 118 * std::pow(2.0, settings.openJTalk.halfTones / 12);
        // The F0 of the vowel of the word's first mora against that of its second, the word at
        // the start of a sentence (これが, not a pause, follows it).
        auto change = [&](const QString& word) {
            const Rendered rendered = render(settings, word + "が好きです。");
            const QStringList wanted = firstMora + secondMora;
            for (qsizetype i = 0; i + wanted.size() <= rendered.phones.size(); ++i) {
                bool match = true;
                for (qsizetype j = 0; j < wanted.size(); ++j)
                    match = match && rendered.phones[i + j].name == wanted[j];
                if (!match)
                    continue;
                const auto& first = rendered.phones[i + firstMora.size() - 1];
                const auto& second = rendered.phones[i + wanted.size() - 1];
                const double f1 = test::medianF0(rendered.samples, rendered.rate, first.start,
                                                 first.end, base / 2, base * 1.8);
                const double f2 = test::medianF0(rendered.samples, rendered.rate, second.start,
                                                 second.end, base / 2, base * 1.8);
                qInfo("%s: %.1f Hz -> %.1f Hz, %+.1f semitones", qPrintable(word), f1, f2,
                      test::semitones(f1, f2));
                return f1 > 0 && f2 > 0 ? test::semitones(f1, f2) : NAN;
            }
            return double(NAN);
        };
        const double fall = change(falling);
        const double rise = change(rising);
        QVERIFY2(fall <= -1.5, qPrintable(QString::number(fall)));
        QVERIFY2(rise >= 1.5, qPrintable(QString::number(rise)));
    }

    void threeSpeakersSoundApart() {
        if (!OpenJTalkSynth::available())
            QSKIP("Open JTalk and its voice are not installed (scripts/install-deps)");
        const std::vector<const EmbeddedVoice*> voices = openJTalkVoices();
        QVERIFY(voices.size() >= 3);
        QList<double> pitches;
        for (const EmbeddedVoice* voice : voices) {
            const SynthesizedAudio audio =
                synthesizeToMemory(voice->description, "駅までの道を教えていただけますか。", 0);
            const QVector<qint16>& samples = audio.samples;
            pitches << test::medianF0(samples, audio.sampleRate, 0,
                                      double(samples.size()) / audio.sampleRate);
            qInfo("%s: %.1f Hz", qPrintable(voice->description), pitches.last());
        }
        // At least three half-tones between any two: a different speaker, not the same one
        // slightly tuned. (Their all-pass constants differ too, which moves the formants.)
        for (qsizetype i = 0; i < pitches.size(); ++i)
            for (qsizetype j = i + 1; j < pitches.size(); ++j)
                QVERIFY2(std::abs(test::semitones(pitches[i], pitches[j])) >= 3,
                         qPrintable(QStringLiteral("%1 %2").arg(pitches[i]).arg(pitches[j])));
        // They are the Japanese voices a row gets by default.
        const std::vector<const EmbeddedVoice*> preferred = preferredVoices(true);
        QCOMPARE(preferred.size(), voices.size());
        QCOMPARE(preferred.front(), voices.front());
        QCOMPARE(&defaultVoiceFor("こんにちは"), voices.front());
    }

    void rateScalesSpeedAsForTheOtherVoices() {
        if (!OpenJTalkSynth::available())
            QSKIP("Open JTalk and its voice are not installed (scripts/install-deps)");
        const QString text = QStringLiteral("駅までの道を教えていただけますか。");
        auto seconds = [&](int rate) {
            const SynthesizedAudio audio = synthesizeToMemory(kTakumi, text, rate);
            return double(audio.samples.size()) / audio.sampleRate;
        };
        const double normal = seconds(0);
        // Each step is 3^(1/10): +5 is about 1.73 times as fast, -5 as slow.
        QVERIFY2(std::abs(normal / seconds(5) - std::sqrt(3.0)) < 0.25,
                 qPrintable(QString::number(normal / seconds(5))));
        QVERIFY2(std::abs(seconds(-5) / normal - std::sqrt(3.0)) < 0.25,
                 qPrintable(QString::number(seconds(-5) / normal)));
    }

    // What lessora-say --reading prints is what Open JTalk's own analysis of the text it is
    // given says.
    void readingIsWhatTheVoiceSays_data() {
        QTest::addColumn<QString>("text");
        for (const char* text :
             {"誕生日は4月20日です。", "2024年8月20日に引っ越しました。",
              "電話番号は03-1234-5678です。", "今何時ですか。",
              "ビールを3本と、りんごを6個ください。", "この方が田中さんです。", "雪が降りました。",
              "明後日、また来ます。", "気温は-5.5度です。", "¥1000です。", "1/2の確率です。",
              "何色が好きですか。", "次の角を右に曲がってください。", "私はCDを3枚買いました。"})
            QTest::newRow(text) << QString(text);
    }
    void readingIsWhatTheVoiceSays() {
        if (!OpenJTalkSynth::available())
            QSKIP("Open JTalk and its voice are not installed (scripts/install-deps)");
        QFETCH(QString, text);
        const EmbeddedVoice& voice = *findEmbeddedVoice(kTakumi);
        static const QRegularExpression ei(QStringLiteral("([エケセテネヘメレゲゼデベペ])イ"));
        static const QRegularExpression ou(
            QStringLiteral("([オコソトノホモヨロゴゾドボポョ])[ウオ]"));
        auto sounds = [](QString katakana) {
            return katakana.replace(ei, "\\1ー").replace(ou, "\\1ー").remove(' ');
        };
        QCOMPARE(sounds(spokenReading(voice, text)), sounds(readingOf(voice, text)));
    }
};

QTEST_GUILESS_MAIN(TestOpenJTalk)
#include "tst_openjtalk.moc"
