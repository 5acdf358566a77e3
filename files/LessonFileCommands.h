#pragma once

#include "files/FileAccess.h"
#include "files/LessonFile.h"

#include <QString>
#include <functional>

namespace lessora {

class CurrentLessonSettings;
class FileDialogs;
class LessonTable;
class MessageBoxes;

// What the lesson commands work with.
struct LessonCommandContext {
    FileDialogs& dialogs;
    MessageBoxes& messages;
    LessonTable& table;
    // Saved from, and set by a load as the user's choice would be.
    CurrentLessonSettings& settings;
};

// The save and load commands of the main window, with the memory of their two dialogs.
// Errors that belong to the default error handler are thrown as AppError. Neither command
// touches playback: a running playback goes on with whatever the table holds afterwards.
class LessonFileCommands {
public:
    static QString filter(); // "JSONファイル (*.json)|*.json"
    static const QString kDefaultExtension;

    // Files larger than maxFileBytes are neither saved nor loaded.
    explicit LessonFileCommands(qint64 maxFileBytes = kMaxReadFileBytes)
        : m_maxFileBytes(maxFileBytes) {}

    // Asks for a file and writes the lesson to it; "保存しました。" when done. True when the
    // lesson was written, false when the dialog was cancelled.
    bool save(const LessonCommandContext& context);
    // Asks for a file and loads it with loadFile(). True when the lesson was loaded.
    bool load(const LessonCommandContext& context);
    // Loads the given file as the load button does once a file is chosen. The whole file is
    // converted first: a load that ends in an error changes neither the table nor the
    // settings. Only a file without "Rows" still applies its settings. "読み込みました。" is
    // shown only when asked for; every other message always is. True when rows were loaded.
    bool loadFile(const LessonCommandContext& context, const QString& path,
                  bool announceSuccess = true);

    // The folder a dialog opens in while it has no file name of its own to offer.
    void setStartFolder(const QString& folder) { m_startFolder = folder; }
    // Called with each file chosen in either dialog, before it is read or written.
    void setFileChosenHandler(std::function<void(const QString&)> handler) {
        m_fileChosen = std::move(handler);
    }

    // The full name last chosen in each dialog, offered by it the next time.
    const QString& saveDialogFileName() const { return m_saveDialogFileName; }
    const QString& openDialogFileName() const { return m_openDialogFileName; }

private:
    qint64 m_maxFileBytes;
    QString m_saveDialogFileName;
    QString m_openDialogFileName;
    QString m_startFolder;
    std::function<void(const QString&)> m_fileChosen;
};

// Puts loaded rows into the table: n rows, at least 10; the rows added beyond the file's are
// blank and numbered on from n + 1. `numbers` gives No cells as numbers, as the lesson file
// reader does (LessonFileContent::numbers); it may be shorter than the rows, or empty.
void applyLessonRows(LessonTable& table, QList<LessonRow> rows, QList<int> numbers = {});

} // namespace lessora
