// Load and save of a 100,000-row lesson through the commands, into and out of a table shown
// in the grid, and the reader's parse step against RapidJSON's DOM parse of the same bytes.
// Prints the median of several runs in milliseconds.
#include "app/LessonGrid.h"
#include "files/FileAccess.h"
#include "files/LessonFile.h"
#include "files/LessonFileCommands.h"
#include "lesson/LessonTable.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBoxes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <rapidjson/document.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace lessora;

namespace {

constexpr int kRows = 100'000;
constexpr int kRuns = 7;

class FixedDialogs : public FileDialogs {
public:
    explicit FixedDialogs(QString path)
        : m_path(std::move(path)) {}
    std::optional<QString> getOpenFileName(const FileDialogOptions&) override { return m_path; }
    std::optional<QString> getSaveFileName(const FileDialogOptions&) override { return m_path; }

private:
    QString m_path;
};

class SilentMessages : public MessageBoxes {
public:
    void showMessage(const QString&) override {}
    bool confirm(const QString&) override { return false; }
    YesNoCancel askYesNoCancel(const QString&) override { return YesNoCancel::Cancel; }
};

class PlainSettings : public LessonSettingsControls {
public:
    LessonSettings settings{2, 3, 1, false};
    LessonSettings lessonSettings() const override { return settings; }
    void setEnglishRateIndex(int index) override { settings.englishRateIndex = index; }
    void setIntervalIndex(int index) override { settings.intervalIndex = index; }
    void setRepeatIndex(int index) override { settings.repeatIndex = index; }
    void setHideText(bool hide) override { settings.hideText = hide; }
};

// A dialogue of English and Japanese lines, as lessons are.
QList<LessonRow> sampleRows() {
    const QString english[] = {QStringLiteral("Could you tell me the way to the station?"),
                               QStringLiteral("Sure. Turn left at the bank.")};
    const QString japanese[] = {QStringLiteral("駅への道を教えてください。"),
                                QStringLiteral("銀行を左です。")};
    QList<LessonRow> rows;
    rows.reserve(kRows);
    for (int i = 0; i < kRows; ++i) {
        const bool isEnglish = i % 4 < 2;
        rows.append({QString::number(i + 1), isEnglish ? (i % 2 ? "B" : "A") : (i % 2 ? "R" : "Q"),
                     isEnglish ? "English" : "Japanese",
                     isEnglish ? english[i % 2] : japanese[i % 2], i % 10 == 0 ? "1.5" : ""});
    }
    return rows;
}

double medianMs(const std::function<void()>& work) {
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("lesson.json"));
    FixedDialogs dialogs(path);
    SilentMessages messages;
    PlainSettings settings;
    LessonFileCommands commands;

    LessonTable source;
    source.setRows(sampleRows());
    LessonGrid sourceGrid(source);
    const double save = medianMs([&] { commands.save({dialogs, messages, source, settings}); });
    const QByteArray bytes = readWholeFile(path);

    LessonTable target;
    LessonGrid targetGrid(target);
    const double load = medianMs([&] {
        target.setRowCount(4);
        commands.load({dialogs, messages, target, settings});
    });
    if (target.allRows() != source.allRows()) {
        std::fprintf(stderr, "the loaded lesson differs from the saved one\n");
        return 1;
    }

    std::size_t parsedRows = 0;
    const double reader = medianMs([&] { parsedRows = readLessonFile(bytes).rows.size(); });
    const std::string json = bytes.sliced(3).toStdString(); // RapidJSON takes no byte-order mark
    std::size_t domRows = 0;
    const double rapidjson = medianMs([&] {
        rapidjson::Document document;
        document.Parse(json.c_str(), json.size());
        domRows = document.HasParseError() ? 0 : document["Rows"].Size();
    });
    if (parsedRows != std::size_t(kRows) || domRows != std::size_t(kRows)) {
        std::fprintf(stderr, "parse results differ: %zu, %zu\n", parsedRows, domRows);
        return 1;
    }

    std::printf("lesson: %d rows, %.1f MB\n", kRows, bytes.size() / 1e6);
    std::printf("save (build, write, replace file):  %8.1f ms   goal < 500 ms\n", save);
    std::printf("load (read, parse, fill the table): %8.1f ms   goal < 500 ms\n", load);
    std::printf("parse step, lesson reader:          %8.1f ms\n", reader);
    std::printf("parse step, RapidJSON DOM:          %8.1f ms\n", rapidjson);
    std::printf("reader / RapidJSON:                 %8.2f x   goal < 3x\n", reader / rapidjson);
    return 0;
}
