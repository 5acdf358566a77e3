// Save and load of a million-row lesson through the commands, into and out of a table shown in
// the grid, each beside a peer measured in the same run on the same rows and bytes:
//   writing: RapidJSON's Writer with the same escapes (UTF-16 in, ASCII out);
//   loading: simdjson's parse of the bytes, every row member read;
//   memory:  the peak memory of reading the file into RapidJSON's DOM, each load in a process
//            of its own (this program again, with --peak-memory).
// Prints medians of several runs.
#include "app/LessonGrid.h"
#include "files/FileAccess.h"
#include "files/LessonFile.h"
#include "files/LessonFileCommands.h"
#include "lesson/LessonTable.h"
#include "lesson/RecentTexts.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBoxes.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <simdjson.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <functional>
#include <string_view>
#include <vector>

using namespace lessora;

namespace {

constexpr int kRows = 1'000'000;
constexpr int kRuns = 5;

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

// The lesson settings of the lessons measured.
const LessonSettings kPlainSettings{2, 3, 1, false};

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

// Median of kRuns runs; `prepare` runs untimed before each.
double medianMs(
    const std::function<void()>& work, const std::function<void()>& prepare = [] {}) {
    std::vector<double> times;
    for (int run = 0; run < kRuns; ++run) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The same document through RapidJSON's Writer. It escapes as the lesson writer does, but for
// the solidus, which it leaves as it is.
std::size_t rapidJsonWrite(const LessonSettings& settings, const QList<LessonRow>& rows) {
    using Utf16Writer =
        rapidjson::Writer<rapidjson::StringBuffer, rapidjson::UTF16<char16_t>, rapidjson::ASCII<>>;
    rapidjson::StringBuffer buffer;
    Utf16Writer writer(buffer);
    const auto key = [&writer](const char16_t* name) {
        writer.Key(name, rapidjson::SizeType(std::char_traits<char16_t>::length(name)));
    };
    const auto text = [&writer](const QString& cell) {
        writer.String(reinterpret_cast<const char16_t*>(cell.utf16()),
                      rapidjson::SizeType(cell.size()));
    };
    writer.StartObject();
    key(u"EnglishRateIndex");
    writer.Int(settings.englishRateIndex);
    key(u"IntervalIndex");
    writer.Int(settings.intervalIndex);
    key(u"RepeatIndex");
    writer.Int(settings.repeatIndex);
    key(u"HideText");
    writer.Bool(settings.hideText);
    key(u"Rows");
    writer.StartArray();
    for (const LessonRow& row : rows) {
        writer.StartObject();
        key(u"No");
        text(row[ColNo]);
        key(u"Speaker");
        text(row[ColSpeaker]);
        key(u"Language");
        text(row[ColLanguage]);
        key(u"Text");
        text(row[ColText]);
        key(u"Interval");
        text(row[ColInterval]);
        writer.EndObject();
    }
    writer.EndArray();
    writer.EndObject();
    return buffer.GetSize();
}

const char* const kRowMembers[kLessonColumnCount] = {"No", "Speaker", "Language", "Text",
                                                     "Interval"};

// Parses the bytes with simdjson and reads every member of every row; the number of rows.
std::size_t simdjsonRead(simdjson::dom::parser& parser, const simdjson::padded_string& json) {
    std::size_t rows = 0;
    std::size_t characters = 0;
    const simdjson::dom::element root = parser.parse(json);
    for (const simdjson::dom::object row : root["Rows"].get_array()) {
        for (const char* member : kRowMembers)
            characters += std::string_view(row[member]).size();
        ++rows;
    }
    return characters > 0 ? rows : 0;
}

// The floor of a load: simdjson's parse of the bytes into rows as the table keeps them, the No
// as a number, a new text for each Text and the few distinct speakers, languages and intervals
// shared. The number of rows.
std::size_t simdjsonRows(simdjson::dom::parser& parser, const simdjson::padded_string& json,
                         QList<LessonRow>& rows, QList<int>& numbers) {
    const simdjson::dom::array array = parser.parse(json)["Rows"].get_array();
    rows = {};
    numbers = {};
    rows.reserve(qsizetype(array.size()));
    numbers.reserve(qsizetype(array.size()));
    std::array<RecentTexts, kLessonColumnCount> shared;
    for (const simdjson::dom::object row : array) {
        LessonRow& cells = rows.emplaceBack();
        const std::string_view no = row["No"];
        int number = 0;
        std::from_chars(no.data(), no.data() + no.size(), number);
        numbers.append(number);
        for (const int column : {ColSpeaker, ColLanguage, ColInterval}) {
            const std::string_view text = row[kRowMembers[column]];
            cells[column] =
                shared[column].take(QLatin1StringView(text.data(), qsizetype(text.size())));
        }
        const std::string_view text = row["Text"];
        cells[ColText] = QString::fromUtf8(text.data(), qsizetype(text.size()));
    }
    return std::size_t(rows.size());
}

// The process's peak resident memory since resetPeakMemory(), in bytes, from /proc.
qint64 statusKilobytes(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qsizetype(std::strlen(field)))
                .trimmed()
                .split(' ')
                .value(0)
                .toLongLong();
    }
    return -1;
}

void resetPeakMemory() {
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
}

// Child process: loads the file one way and prints how far memory rose above where it stood.
int peakMemoryChild(const QString& how, const QString& path) {
    CurrentLessonSettings settings(kPlainSettings);
    LessonTable table;
    LessonGrid grid(table);
    grid.resize(800, 600);
    grid.show();
    QApplication::processEvents();
    resetPeakMemory();
    const qint64 before = statusKilobytes("VmRSS:");
    std::size_t rows = 0;
    if (how == u"lessora") {
        FixedDialogs dialogs(path);
        SilentMessages messages;
        LessonFileCommands().load({dialogs, messages, table, settings});
        QApplication::processEvents();
        rows = std::size_t(table.rows());
    } else {
        const QByteArray bytes = readWholeFile(path);
        rapidjson::Document document;
        document.Parse(bytes.constData() + 3, std::size_t(bytes.size() - 3));
        rows = document.HasParseError() ? 0 : document["Rows"].Size();
    }
    std::printf("%lld %zu\n", statusKilobytes("VmHWM:") - before, rows);
    return 0;
}

double peakMemoryMiB(const QString& how, const QString& path) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {"--peak-memory", how, path});
    if (!child.waitForFinished(600'000) || child.exitCode() != 0)
        return -1;
    const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
    if (figures.value(1).toLongLong() != kRows)
        return -1;
    return figures.value(0).toLongLong() / 1024.0;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 4 && arguments[1] == u"--peak-memory")
        return peakMemoryChild(arguments[2], arguments[3]);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("lesson.json"));
    FixedDialogs dialogs(path);
    SilentMessages messages;
    CurrentLessonSettings settings(kPlainSettings);
    LessonFileCommands commands;

    const QList<LessonRow> rows = sampleRows();
    LessonTable source;
    source.setRows(rows);
    LessonGrid sourceGrid(source);

    QByteArray written;
    const double writer = medianMs([&] { written = writeLessonFile(settings.values(), source); });
    std::size_t peerBytes = 0;
    const double rapidjson = medianMs([&] { peerBytes = rapidJsonWrite(settings.values(), rows); });
    const double save = medianMs([&] { commands.save({dialogs, messages, source, settings}); });
    const QByteArray bytes = readWholeFile(path);
    if (bytes != written || peerBytes == 0) {
        std::fprintf(stderr, "the saved file differs from the written bytes\n");
        return 1;
    }

    LessonTable target;
    LessonGrid targetGrid(target);
    targetGrid.resize(800, 600);
    targetGrid.show();
    const double load = medianMs(
        [&] {
            commands.load({dialogs, messages, target, settings});
            QApplication::processEvents();
        },
        [&] {
            target.setRowCount(4);
            QApplication::processEvents();
        });
    if (target.allRows() != source.allRows()) {
        std::fprintf(stderr, "the loaded lesson differs from the saved one\n");
        return 1;
    }
    const simdjson::padded_string json(std::string_view(bytes.constData() + 3, bytes.size() - 3));
    simdjson::dom::parser parser;
    std::size_t peerRows = 0;
    const double simdjson = medianMs([&] { peerRows = simdjsonRead(parser, json); });
    if (peerRows != std::size_t(kRows)) {
        std::fprintf(stderr, "simdjson read %zu rows\n", peerRows);
        return 1;
    }
    QList<LessonRow> floorRows;
    QList<int> floorNumbers;
    const double loadFloor =
        medianMs([&] { peerRows = simdjsonRows(parser, json, floorRows, floorNumbers); },
                 [&] { floorRows = {}; });
    floorRows = {};
    const double ourMemory = peakMemoryMiB(QStringLiteral("lessora"), path);
    const double peerMemory = peakMemoryMiB(QStringLiteral("rapidjson"), path);

    std::printf("lesson: %d rows, %.1f MB, medians of %d runs\n", kRows, bytes.size() / 1e6, kRuns);
    std::printf("%-36s %10s %10s %8s\n", "", "lessora", "peer", "ratio");
    const auto line = [](const char* what, double ours, double peer, const char* unit,
                         const char* goal) {
        std::printf("%-36s %7.1f %-2s %7.1f %-2s %7.2f x   %s\n", what, ours, unit, peer, unit,
                    ours / peer, goal);
    };
    line("write the file's bytes", writer, rapidjson, "ms", "peer: RapidJSON Writer; goal <= 1x");
    line("load into the table (read, parse)", load, simdjson, "ms",
         "peer: simdjson parse; goal <= 500 ms");
    line("  the same beside a floor", load, loadFloor, "ms",
         "floor: simdjson parse into the rows, texts made");
    line("load into the table, peak memory", ourMemory, peerMemory, "MiB",
         "peer: RapidJSON DOM; goal <= 1.1x");
    std::printf("%-36s %7.1f ms\n", "save command (write and replace file)", save);
    return 0;
}
