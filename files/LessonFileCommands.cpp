#include "files/LessonFileCommands.h"

#include "files/FileAccess.h"
#include "files/Logging.h"
#include "lesson/LessonSettings.h"
#include "lesson/LessonTable.h"
#include "platform/AppError.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBoxes.h"

#include <QCoreApplication>
#include <algorithm>

namespace lessora {

QString LessonFileCommands::filter() {
    return QCoreApplication::translate("Files", "JSONファイル (*.json)|*.json");
}
const QString LessonFileCommands::kDefaultExtension = QStringLiteral("json");

namespace {

constexpr int kMinimumLoadedRows = 10;

// Why the reader stopped, for the log: the user's message does not say where or why.
const char* refusal(LessonFileStatus status) {
    switch (status) {
    case LessonFileStatus::Loaded:
        return "loaded";
    case LessonFileStatus::NoRows:
        return "no Rows";
    case LessonFileStatus::NotUtf8:
        return "not UTF-8";
    case LessonFileStatus::NotJson:
        return "not JSON";
    case LessonFileStatus::NotObject:
        return "root not an object";
    case LessonFileStatus::InvalidValue:
        return "invalid value";
    }
    return "unknown";
}

// The settings the file names replace the current ones; the others stay as they are.
void applySettings(CurrentLessonSettings& current, const StoredLessonSettings& stored) {
    LessonSettings values = current.values();
    values.englishRateIndex = stored.englishRateIndex.value_or(values.englishRateIndex);
    values.intervalIndex = stored.intervalIndex.value_or(values.intervalIndex);
    values.repeatIndex = stored.repeatIndex.value_or(values.repeatIndex);
    values.hideText = stored.hideText.value_or(values.hideText);
    // The practice settings a lesson does not name go back to their defaults: they are the
    // lesson's, not the window's, and must not pass on to the next lesson loaded.
    values.practice = practiceSettingsOf(stored.practice);
    current.setValues(values);
}

} // namespace

void applyLessonRows(LessonTable& table, QList<LessonRow> rows, QList<int> numbers) {
    const int loaded = static_cast<int>(rows.size());
    numbers.resize(loaded);
    for (int row = loaded; row < kMinimumLoadedRows; ++row) {
        rows.append(LessonRow{});
        numbers.append(row + 1);
    }
    // Rows change in place rather than in one reset, so the grid keeps its current cell where
    // it can.
    table.replaceRows(std::move(rows), std::move(numbers));
}

bool LessonFileCommands::save(const LessonCommandContext& context) {
    const std::optional<QString> path = context.dialogs.getSaveFileName(
        {filter(), kDefaultExtension, m_saveDialogFileName, m_startFolder});
    if (!path)
        return false;
    m_saveDialogFileName = *path;
    if (m_fileChosen)
        m_fileChosen(*path);
    const QByteArray bytes = writeLessonFile(context.settings.values(), context.table);
    replaceWholeFile(*path, bytes, m_maxFileBytes);
    context.messages.showMessage(lessonFileMessages::saved());
    return true;
}

bool LessonFileCommands::load(const LessonCommandContext& context) {
    const std::optional<QString> path =
        context.dialogs.getOpenFileName({filter(), {}, m_openDialogFileName, m_startFolder});
    if (!path)
        return false;
    m_openDialogFileName = *path;
    if (m_fileChosen)
        m_fileChosen(*path);
    return loadFile(context, *path);
}

bool LessonFileCommands::loadFile(const LessonCommandContext& context, const QString& path,
                                  bool announceSuccess) {
    LessonFileContent content = readLessonFile(readWholeFile(path, m_maxFileBytes));
    if (content.status != LessonFileStatus::Loaded)
        qCInfo(lcFiles).noquote() << "lesson not loaded:" << path << "-" << refusal(content.status)
                                  << content.error;
    switch (content.status) {
    case LessonFileStatus::NotUtf8:
        throw AppError(lessonFileMessages::notUtf8());
    case LessonFileStatus::NotJson:
        context.messages.showMessage(lessonFileMessages::notJson());
        return false;
    case LessonFileStatus::NotObject:
        context.messages.showMessage(lessonFileMessages::notLesson());
        return false;
    case LessonFileStatus::InvalidValue:
        throw AppError(content.error);
    case LessonFileStatus::NoRows:
        applySettings(context.settings, content.settings);
        context.messages.showMessage(lessonFileMessages::noRows());
        return false;
    case LessonFileStatus::Loaded:
        applySettings(context.settings, content.settings);
        applyLessonRows(context.table, std::move(content.rows), std::move(content.numbers));
        if (announceSuccess)
            context.messages.showMessage(lessonFileMessages::loaded());
        return true;
    }
    return false;
}

} // namespace lessora
