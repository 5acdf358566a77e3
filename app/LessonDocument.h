#pragma once

#include "files/LessonFileCommands.h"
#include "files/LessonHistory.h"

#include <QObject>
#include <memory>

class QMenu;
class QTimer;

namespace lessora {

class ErrorHandler;
class LessonChangeTracker;
class MainWindow;

// The lesson of the main window as a document: the save and load commands, lessons opened
// from the command line, dropped on the window or chosen from the lessons used lately, and
// the question whether to save a changed lesson before it is replaced or the window closes.
// Errors of the commands are thrown as by LessonFileCommands; what runs from the window's
// own events (a drop, the recent-lessons menu, closing) goes through the error handler.
class LessonDocument : public QObject {
    Q_OBJECT
public:
    LessonDocument(MainWindow& window, const ErrorHandler& errors);
    ~LessonDocument() override;

    // The save button.
    void save();
    // The load button: first the question when the lesson changed.
    void load();
    // A dropped file or a recent lesson: the question, then the load as the load button
    // does it once a file is chosen.
    void open(const QString& path);
    // The lesson named on the command line: no question, and no message when it loads.
    void openAtStartUp(const QString& path);
    // Closing the window: the question when the lesson changed. False keeps the window open.
    bool mayClose() noexcept;

    bool isModified() const;
    const LessonFileCommands& commands() const { return m_commands; }
    const LessonHistory& history() const { return m_history; }
    // The load button's popup menu: the lessons used lately, most recent first.
    QMenu* recentMenu() const { return m_recentMenu; }

    static QString saveQuestion();
    // The menu's texts in the language now shown.
    void retranslate();

signals:
    // The lesson was saved to the file (a lesson's first file among them), or another was opened.
    void saved(const QString& path);
    void opened(const QString& path);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    LessonCommandContext context() const;
    // True when the lesson may be replaced: unchanged, saved now, or the user let it go.
    bool mayReplaceLesson();
    void loaded(const QString& path);
    void prepareDialogs();
    void refreshRecentMenu();
    void wireChangeSignals();
    // The window's title names the lesson's file and marks unsaved changes.
    void showFile(const QString& path);
    void showModified();

    MainWindow& m_window;
    const ErrorHandler& m_errors;
    LessonFileCommands m_commands;
    LessonHistory m_history;
    LessonChangeTracker* m_tracker = nullptr;
    QMenu* m_recentMenu = nullptr;
    // Gathers the changes of one event-loop pass (a paste changes many cells) into one
    // comparison with the lesson on disk.
    QTimer* m_modifiedCheck = nullptr;
};

} // namespace lessora
