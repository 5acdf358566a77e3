// Paste of a million lines and the row commands on a million-row table, with the grid shown
// (offscreen unless a platform is chosen), so that the view's work is counted too. Each figure
// stands beside a floor measured in the same run: copying the clipboard text for paste, and
// the same change made to a bare QList of rows for the row commands.
#include "app/LessonGrid.h"
#include "lesson/ClipboardPaste.h"
#include "lesson/LessonTable.h"
#include "lesson/RowCommands.h"
#include "platform/Clipboard.h"
#include "platform/MessageBoxes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <vector>

// Counts the allocations of the whole process (Qt's included) while counting is on, by taking
// the place of the C library's allocator entry points.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* pointer, size_t size);
}

namespace {
std::atomic<bool> g_counting = false;
std::atomic<long> g_allocations = 0;

void countOne() {
    if (g_counting.load(std::memory_order_relaxed))
        g_allocations.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

extern "C" {
void* malloc(size_t size) {
    countOne();
    return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
    countOne();
    return __libc_calloc(count, size);
}
void* realloc(void* pointer, size_t size) {
    countOne();
    return __libc_realloc(pointer, size);
}
}

using namespace lessora;

namespace {

constexpr int kLines = 1'000'000;
constexpr int kRuns = 5;

class TextClipboard : public ClipboardText {
public:
    QString content;
    bool hasText() override { return true; }
    QString text() override { return content; }
};

class SilentMessages : public MessageBoxes {
public:
    void showMessage(const QString&) override {}
    bool confirm(const QString&) override { return true; }
    YesNoCancel askYesNoCancel(const QString&) override { return YesNoCancel::Cancel; }
};

// Lines as a spreadsheet copies them: speakers in either case, intervals of every kind.
QString lessonText(int lines) {
    static const char* const speakers[] = {"A", "b", " Q ", "r"};
    static const char* const intervals[] = {"", "1.5", "12", " -1 ", "0.5", "pause"};
    QString text;
    text.reserve(lines * 48);
    for (int i = 0; i < lines; ++i) {
        text += QLatin1String(speakers[i % 4]);
        text += u'\t';
        text += QStringLiteral("Line %1 of the lesson, spoken aloud.").arg(i + 1);
        text += u'\t';
        text += QLatin1String(intervals[i % 6]);
        text += QStringLiteral("\r\n");
    }
    return text;
}

struct Figure {
    double commandMs = 0;  // the command itself
    double withViewMs = 0; // and the events it leaves for the shown grid
};

// Median of kRuns runs; `prepare` runs untimed before each.
Figure measure(const std::function<void()>& prepare, const std::function<void()>& command) {
    std::vector<double> commandTimes, totalTimes;
    for (int run = 0; run < kRuns; ++run) {
        prepare();
        QApplication::processEvents();
        QElapsedTimer timer;
        timer.start();
        command();
        commandTimes.push_back(timer.nsecsElapsed() / 1e6);
        QApplication::processEvents();
        totalTimes.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(commandTimes.begin(), commandTimes.end());
    std::sort(totalTimes.begin(), totalTimes.end());
    return {commandTimes[kRuns / 2], totalTimes[kRuns / 2]};
}

double medianMs(const std::function<void()>& prepare, const std::function<void()>& work) {
    return measure(prepare, work).commandMs;
}

void report(const char* what, const Figure& figure, double floorMs, const char* goal) {
    std::printf("%-30s %9.2f ms %9.2f ms %9.2f ms %8.1f x   %s\n", what, figure.commandMs,
                figure.withViewMs, floorMs, figure.withViewMs / std::max(floorMs, 1e-3), goal);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    LessonTable table;
    LessonGrid grid(table);
    grid.resize(800, 600);
    grid.show();
    TextClipboard clipboard;
    clipboard.content = lessonText(kLines);
    SilentMessages messages;

    const auto fullTable = [&] {
        pasteFromClipboard(grid, clipboard, messages, u'.');
        grid.makeRowCurrent(0);
    };
    const auto nothing = [] {};
    const auto emptyTable = [&] { table.setRows({}); };

    // Floors: the bare operations the commands cannot avoid.
    QString copy;
    const double copyText = medianMs(
        nothing, [&] { copy = QString(clipboard.content.constData(), clipboard.content.size()); });
    fullTable();
    // A list fresh from a copy has no room at its front, as the table's list need not have.
    QList<LessonRow> bare;
    const auto freshList = [&] { bare = table.allRows(); };
    const double listInsert = medianMs(freshList, [&] { bare.insert(0, LessonRow{}); });
    const double listRemove = medianMs(freshList, [&] { bare.removeFirst(); });
    const double listSwap =
        medianMs(nothing, [&] { bare.swapItemsAt(kLines / 2, kLines / 2 - 1); });
    bare = {};

    std::printf("%d lines or rows, medians of %d runs\n", kLines, kRuns);
    std::printf("%-30s %12s %12s %12s %10s\n", "", "command", "with view", "floor", "ratio");
    report("paste into an empty table", measure(emptyTable, fullTable), copyText,
           "floor: copying the text; goal <= 200 ms");
    report("paste over a full table", measure(fullTable, fullTable), copyText, "");
    g_allocations = 0;
    g_counting = true;
    pasteFromClipboard(grid, clipboard, messages, u'.');
    g_counting = false;
    std::printf("%-30s %9.2f allocations a line   goal <= 3\n", "paste",
                double(g_allocations) / kLines);

    fullTable();
    grid.makeRowCurrent(kLines / 2);
    report("move the middle row up", measure(nothing, [&] { moveCurrentRowUp(grid); }), listSwap,
           "floor: QList swap; goal <= 16 ms");
    report("move the middle row down", measure(nothing, [&] { moveCurrentRowDown(grid); }),
           listSwap, "");
    grid.makeRowCurrent(0);
    report("insert a row before row 0", measure(nothing, [&] { insertRow(grid); }), listInsert,
           "floor: QList insert; goal <= 50 ms");
    report("delete row 0", measure(nothing, [&] { deleteCurrentRow(grid); }), listRemove,
           "floor: QList remove; goal <= 50 ms");
    report("append 10 rows", measure(nothing, [&] { appendTenRows(grid); }), listInsert, "");
    report("clear", measure(fullTable, [&] { clearTable(grid, messages); }), listInsert, "");
    return 0;
}
