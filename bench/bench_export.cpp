// Figures of writing a lesson as audio: the speed of the export beside the synthesis of the
// same lines alone (its floor), for each format, as a multiple of real time, the cores it
// keeps busy, and the peak memory of a long lesson beside a lesson a fiftieth of its length.
//   bench_export [LINES]   the long lesson's lines (default 10000)

#include "export/LessonExport.h"
#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"
#include "voices/EmbeddedSpeechEngine.h"
#include "voices/EmbeddedVoices.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace lessora;

namespace {

// A café dialogue of six speakers, the English lines spoken by the Flite and espeak-ng voices.
const QList<LessonRow> kDialogue = {
    {"", "A", "English", "Good morning. What would you like to drink?", ""},
    {"", "B", "English", "A cup of coffee with milk, please.", ""},
    {"", "C", "English", "And for me, a glass of orange juice.", ""},
    {"", "Q", "Japanese", "ご注文はお決まりですか。", ""},
    {"", "R", "Japanese", "コーヒーを一つお願いします。", ""},
    {"", "S", "Japanese", "私は紅茶にします。", ""},
};

QList<LessonRow> lesson(int lines) {
    QList<LessonRow> rows;
    for (int i = 0; i < lines; ++i)
        rows << kDialogue[i % kDialogue.size()];
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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int longLines = argc > 1 ? std::max(100, atoi(argv[1])) : 10000;
    QTemporaryDir folder;

    // Memory first, before this process has grown.
    std::printf("peak memory of an export (WAV, streamed to the file), each in a process of its own:\n");
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

    // The floor: the same lines synthesised into memory and dropped.
    QElapsedTimer clock;
    clock.start();
    qint64 speechMs = 0;
    for (const LessonRow& row : lesson(120)) {
        const QString voice = row[ColSpeaker] == u"A"   ? "Flite Slt - English (United States)"
                              : row[ColSpeaker] == u"B" ? "Flite Rms - English (United States)"
                              : row[ColSpeaker] == u"C" ? "Flite Awb - English (United Kingdom)"
                              : row[ColSpeaker] == u"Q" ? "eSpeak Kenta - Japanese (Japan)"
                              : row[ColSpeaker] == u"R" ? "eSpeak Hiro - Japanese (Japan)"
                                                        : "eSpeak Yuki - Japanese (Japan)";
        speechMs += synthesizeToMemory(voice, row[ColText], 0).durationMs();
    }
    const double synthesisSeconds = clock.nsecsElapsed() / 1e9;
    std::printf("120 lines, %.0f s of speech, 1 s pauses (Flite and espeak-ng voices)\n",
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
    return 0;
}
