// Figures of writing a lesson as audio: the speed of the export beside the synthesis of the
// same lines alone (its floor), for each format, as a multiple of real time, the cores it
// keeps busy, and the peak memory of a long lesson beside a lesson a fiftieth of its length.
//   bench_export [LINES]   the long lesson's lines (default 10000)

#include "export/LessonExport.h"
#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"
#include "voices/EmbeddedSpeechEngine.h"
#include "voices/EmbeddedVoices.h"
#include "voices/OpenJTalkSynth.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace lessora;

namespace {

// A café dialogue of six speakers: the English lines spoken by the Flite voices, the Japanese
// ones by the speakers' default Japanese voices (the Open JTalk voices when installed).
const QList<LessonRow> kDialogue = {
    {"", "A", "English", "Good morning. What would you like to drink?", ""},
    {"", "B", "English", "A cup of coffee with milk, please.", ""},
    {"", "C", "English", "And for me, a glass of orange juice.", ""},
    {"", "Q", "Japanese", "ご注文はお決まりですか。", ""},
    {"", "R", "Japanese", "コーヒーを一つお願いします。", ""},
    {"", "S", "Japanese", "私は紅茶にします。", ""},
};

// A Japanese dialogue for the Open JTalk voices alone: Q, R and S, lines of one to three
// sentences, numbers and a Latin word among them.
const QList<LessonRow> kJapaneseDialogue = {
    {"", "Q", "Japanese", "いらっしゃいませ。何名様ですか。", ""},
    {"", "R", "Japanese", "三人です。窓の近くの席は空いていますか。", ""},
    {"", "S", "Japanese", "はい、こちらへどうぞ。メニューをお持ちします。", ""},
    {"", "Q", "Japanese", "コーヒーを二つと、紅茶を一つお願いします。", ""},
    {"", "R", "Japanese", "ケーキもありますか。", ""},
    {"", "S", "Japanese", "本日はチーズケーキとチョコレートケーキがございます。", ""},
    {"", "Q", "Japanese", "じゃあ、チーズケーキを二つください。", ""},
    {"", "R", "Japanese", "お会計は全部で2,400円です。Wi-Fiもお使いいただけます。", ""},
};

QList<LessonRow> lesson(int lines, const QList<LessonRow>& dialogue = kDialogue) {
    QList<LessonRow> rows;
    for (int i = 0; i < lines; ++i)
        rows << dialogue[i % dialogue.size()];
    return rows;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The export's own memory: each size is measured in a child process of its own.
long peakKilobytesOfExport(int lines, const QString& path) {
    std::fflush(stdout); // the child must not print what the parent has buffered
    const pid_t child = fork();
    if (child == 0) {
        EmbeddedEngineOptions options;
        options.output = EmbeddedEngineOptions::Output::Silent;
        EmbeddedSpeechEngine engine(options);
        LessonTable table;
        table.setRows(lesson(lines));
        exportLesson(engine, QString(), table, ExportOptions{}, path);
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("  %6d lines: peak %ld kB\n", lines, usage.ru_maxrss);
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage); // the largest child so far
    return usage.ru_maxrss;
}

// The lines synthesised into memory one after another by the voices the speakers get by default
// (A and Q the first of their language, B and R the second, C and S the third); the length of
// their speech in ms.
qint64 synthesizeOneAfterAnother(const QList<LessonRow>& rows) {
    const std::vector<const EmbeddedVoice*> english = preferredVoices(false);
    const std::vector<const EmbeddedVoice*> japanese = preferredVoices(true);
    qint64 speechMs = 0;
    for (const LessonRow& row : rows) {
        const int speaker = QStringLiteral("ABCQRS").indexOf(row[ColSpeaker]);
        const std::vector<const EmbeddedVoice*>& voices = speaker < 3 ? english : japanese;
        speechMs += synthesizeToMemory(voices[(speaker % 3) % voices.size()]->description,
                                       row[ColText], 0)
                        .durationMs();
    }
    return speechMs;
}

// The lesson spoken by the Open JTalk voices alone, without pauses (nothing but speech counts
// towards real time), beside the same lines synthesised one after another.
void benchOpenJTalk(EmbeddedSpeechEngine& engine, const QTemporaryDir& folder) {
    const QList<LessonRow> rows = lesson(48, kJapaneseDialogue);
    QElapsedTimer clock;
    clock.start();
    const qint64 speechMs = synthesizeOneAfterAnother(rows);
    const double synthesisSeconds = clock.nsecsElapsed() / 1e9;
    std::printf("\n%lld lines, %.0f s of speech, no pauses (Open JTalk voices)\n",
                static_cast<long long>(rows.size()), speechMs / 1000.0);
    std::printf("%-28s %8s %10s %12s\n", "", "wall s", "x realtime", "vs synthesis");
    std::printf("%-28s %8.2f %10.1f %12s\n", "one line after another", synthesisSeconds,
                speechMs / 1000.0 / synthesisSeconds, "1.00");
    LessonTable table;
    table.setRows(rows);
    // The window's case too: the export started while a long row is read aloud through the
    // sound server (which takes samples only as fast as they are played).
    EmbeddedSpeechEngine player;
    for (const bool whilePlaying : {false, true}) {
        const std::unique_ptr<SpeechVoice> playing = player.createVoice();
        if (whilePlaying)
            playing->speak(
                QStringLiteral("This row is read aloud while the lesson is written. ").repeated(20),
                kSpeakAsync);
        clock.start();
        const ExportSummary summary = exportLesson(engine, QString(), table, ExportOptions{},
                                                   folder.filePath("japanese.wav"));
        const double wall = clock.nsecsElapsed() / 1e9;
        std::printf("%-28s %8.2f %10.1f %12.2f\n",
                    !whilePlaying       ? "japanese.wav"
                    : player.isSilent() ? "japanese.wav, row (no server)"
                                        : "japanese.wav, a row playing",
                    wall, summary.durationMs() / 1000.0 / wall, wall / synthesisSeconds);
    }
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int longLines = argc > 1 ? std::max(100, atoi(argv[1])) : 10000;
    QTemporaryDir folder;

    // Memory first, before this process has grown.
    std::printf(
        "peak memory of an export (WAV, streamed to the file), each in a process of its own:\n");
    const long shortPeak = peakKilobytesOfExport(longLines / 50, folder.filePath("short.wav"));
    const long longPeak = peakKilobytesOfExport(longLines, folder.filePath("long.wav"));
    std::printf("  ratio %d lines / %d lines: %.2f\n\n", longLines, longLines / 50,
                double(longPeak) / double(shortPeak));

    EmbeddedEngineOptions options;
    options.output = EmbeddedEngineOptions::Output::Silent;
    EmbeddedSpeechEngine engine(options);
    engine.waitForSynthesis(); // the voices' warm-up is not the export's
    LessonTable table;
    table.setRows(lesson(120));
    ExportOptions exportOptions;
    exportOptions.defaultPauseMs = 1000;

    // The floor: the same lines synthesised into memory by the same voices and dropped.
    QElapsedTimer clock;
    clock.start();
    const qint64 speechMs = synthesizeOneAfterAnother(lesson(120));
    const double synthesisSeconds = clock.nsecsElapsed() / 1e9;
    std::printf("120 lines, %.0f s of speech, 1 s pauses (the speakers' default voices)\n",
                speechMs / 1000.0);
    std::printf("%-28s %8s %10s %8s %12s\n", "", "wall s", "x realtime", "cores", "vs synthesis");
    std::printf("%-28s %8.2f %10.1f %8s %12s\n", "synthesis alone (floor)", synthesisSeconds,
                speechMs / 1000.0 / synthesisSeconds, "", "1.00");
    for (const char* name : {"lesson.wav", "lesson.flac", "lesson.opus", "lesson.mp3"}) {
        const double cpuBefore = cpuSeconds();
        clock.start();
        const ExportSummary summary = exportLesson(engine, QString(), table, exportOptions,
                                                   folder.filePath(QString::fromLatin1(name)));
        const double wall = clock.nsecsElapsed() / 1e9;
        const double cpu = cpuSeconds() - cpuBefore;
        std::printf("%-28s %8.2f %10.1f %8.2f %12.2f\n", name, wall,
                    summary.durationMs() / 1000.0 / wall, cpu / wall, wall / synthesisSeconds);
    }

    if (OpenJTalkSynth::available())
        benchOpenJTalk(engine, folder);
    else
        std::printf("\nOpen JTalk is not installed: no figures for its voices\n");
    return 0;
}
