// Times paste of 100,000 lines and the row commands on a 100,000-row table, with the grid
// shown (offscreen unless a platform is chosen), so that the view's work is counted too.
#include "app/LessonGrid.h"
#include "lesson/ClipboardPaste.h"
#include "lesson/LessonTable.h"
#include "lesson/RowCommands.h"
#include "platform/Clipboard.h"
#include "platform/MessageBoxes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace lessora;

namespace {

constexpr int kLines = 100'000;
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

void report(const char* what, const Figure& figure) {
    std::printf("%-48s %9.1f ms %9.1f ms\n", what, figure.commandMs, figure.withViewMs);
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
    const auto middleRowCurrent = [&] {
        fullTable();
        grid.makeRowCurrent(kLines / 2);
    };

    std::printf("%d lines, median of %d runs    %27s %12s\n", kLines, kRuns, "command",
                "with view");
    report("paste into an empty table", measure([&] { table.setRows({}); }, [&] { fullTable(); }));
    report("paste over a full table", measure(fullTable, fullTable));
    report("append 10 rows", measure(fullTable, [&] { appendTenRows(grid); }));
    report("insert a row before row 0", measure(fullTable, [&] { insertRow(grid); }));
    report("delete row 0", measure(fullTable, [&] { deleteCurrentRow(grid); }));
    report("move the middle row up", measure(middleRowCurrent, [&] { moveCurrentRowUp(grid); }));
    report("move the middle row down",
           measure(middleRowCurrent, [&] { moveCurrentRowDown(grid); }));
    report("clear", measure(fullTable, [&] { clearTable(grid, messages); }));
    return 0;
}
