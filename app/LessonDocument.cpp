#include "app/LessonDocument.h"

#include "app/MainWindow.h"
#include "files/FileNames.h"
#include "files/LessonChangeTracker.h"
#include "lesson/LessonSettings.h"
#include "lesson/LessonTable.h"
#include "platform/ErrorHandler.h"
#include "platform/MessageBoxes.h"

#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QStandardPaths>
#include <QTimer>

namespace lessora {

QString LessonDocument::saveQuestion() {
    return tr("教材が変更されています。保存しますか？");
}

namespace {

// The one local file a drag carries, or nothing.
std::optional<QString> droppedLesson(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().size() != 1)
        return std::nullopt;
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile() || QFileInfo(url.toLocalFile()).isDir())
        return std::nullopt;
    return localFileOfUrl(url);
}

} // namespace

LessonDocument::LessonDocument(MainWindow& window, const ErrorHandler& errors)
    : QObject(&window)
    , m_window(window)
    , m_errors(errors)
    , m_history(window.services().lessonHistoryPath) {
    m_tracker = new LessonChangeTracker(window.lessonTable(), window.lessonSettings(), this);
    // Whichever dialog was used last, its folder is where the next run starts.
    m_commands.setFileChosenHandler(
        [this](const QString& path) { m_history.noteChosenFile(path); });
    wireChangeSignals();

    m_recentMenu = new QMenu(&window);
    m_recentMenu->setObjectName(QStringLiteral("pmRecentLessons"));
    retranslate();

    window.setAcceptDrops(true);
    window.installEventFilter(this);
}

LessonDocument::~LessonDocument() = default;

void LessonDocument::wireChangeSignals() {
    m_modifiedCheck = new QTimer(this);
    m_modifiedCheck->setSingleShot(true);
    m_modifiedCheck->setInterval(0);
    connect(m_modifiedCheck, &QTimer::timeout, this, &LessonDocument::showModified);
    // The tracker sees the changes itself; the title is brought up to date after them.
    const auto changed = [this] { m_modifiedCheck->start(); };
    connect(&m_window.lessonSettings(), &CurrentLessonSettings::changed, this, changed);
    const LessonTable* table = &m_window.lessonTable();
    connect(table, &QAbstractItemModel::dataChanged, this, changed);
    connect(table, &QAbstractItemModel::rowsInserted, this, changed);
    connect(table, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(table, &QAbstractItemModel::rowsMoved, this, changed);
    connect(table, &QAbstractItemModel::modelReset, this, changed);
    connect(table, &QAbstractItemModel::layoutChanged, this, changed);
}

void LessonDocument::showFile(const QString& path) {
    m_window.setWindowFilePath(path);
    m_window.showCaption();
    showModified();
}

void LessonDocument::showModified() {
    m_modifiedCheck->stop();
    m_window.setWindowModified(m_tracker->isModified());
}

LessonCommandContext LessonDocument::context() const {
    const Services& services = m_window.services();
    return {services.fileDialogs, services.messages, m_window.lessonTable(),
            m_window.lessonSettings()};
}

bool LessonDocument::isModified() const {
    return m_tracker->isModified();
}

void LessonDocument::save() {
    prepareDialogs();
    if (!m_commands.save(context()))
        return;
    m_tracker->markUnmodified();
    m_history.addRecent(m_commands.saveDialogFileName());
    refreshRecentMenu();
    showFile(m_commands.saveDialogFileName());
    emit saved(m_commands.saveDialogFileName());
}

void LessonDocument::load() {
    if (!mayReplaceLesson())
        return;
    prepareDialogs();
    if (m_commands.load(context()))
        loaded(m_commands.openDialogFileName());
}

void LessonDocument::open(const QString& path) {
    // A lesson that is gone leaves the list; the load below says why it cannot be read.
    if (!fileExists(path)) {
        m_history.removeRecent(path);
        refreshRecentMenu();
    } else if (!mayReplaceLesson()) {
        return;
    }
    if (m_commands.loadFile(context(), path))
        loaded(path);
}

void LessonDocument::openAtStartUp(const QString& path) {
    if (m_commands.loadFile(context(), path, false))
        loaded(path);
}

void LessonDocument::loaded(const QString& path) {
    m_tracker->markUnmodified();
    m_history.addRecent(path);
    refreshRecentMenu();
    showFile(path);
    emit opened(path);
}

bool LessonDocument::mayReplaceLesson() {
    if (!m_tracker->isModified())
        return true;
    switch (m_window.services().messages.askYesNoCancel(saveQuestion())) {
    case YesNoCancel::Yes:
        save();
        // A cancelled save dialog keeps the lesson, as "キャンセル" would.
        return !m_tracker->isModified();
    case YesNoCancel::No:
        return true;
    case YesNoCancel::Cancel:
        break;
    }
    return false;
}

bool LessonDocument::mayClose() noexcept {
    bool mayClose = false;
    // A failed save shows its error and keeps the window open.
    m_errors.run([this, &mayClose] { mayClose = mayReplaceLesson(); });
    return mayClose;
}

void LessonDocument::prepareDialogs() {
    // The last folder used, this run or an earlier one, else the Documents folder.
    const QString last = m_history.lastFolder();
    m_commands.setStartFolder(
        !last.isEmpty() && QDir(last).exists()
            ? last
            : QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

void LessonDocument::retranslate() {
    m_recentMenu->setTitle(tr("最近使った教材"));
    refreshRecentMenu();
}

void LessonDocument::refreshRecentMenu() {
    m_recentMenu->clear();
    QAction* heading = m_recentMenu->addAction(m_recentMenu->title());
    heading->setEnabled(false);
    m_recentMenu->addSeparator();
    const QStringList& recent = m_history.recentLessons();
    if (recent.isEmpty())
        m_recentMenu->addAction(tr("（なし）"))->setEnabled(false);
    for (qsizetype i = 0; i < recent.size(); ++i) {
        const QString path = recent[i];
        // Numbered for the keyboard: 1 to 6 choose an entry.
        QAction* action = m_recentMenu->addAction(
            QStringLiteral("&%1  %2").arg(i + 1).arg(QFileInfo(path).fileName()));
        action->setToolTip(QDir::toNativeSeparators(path));
        action->setStatusTip(QDir::toNativeSeparators(path));
        action->setData(path);
        connect(action, &QAction::triggered, this, [this, path] {
            // The menu is rebuilt by the load; let it close first.
            QTimer::singleShot(0, this,
                               [this, path] { m_errors.run([this, path] { open(path); }); });
        });
    }
    m_recentMenu->setToolTipsVisible(true);
}

bool LessonDocument::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (droppedLesson(drag->mimeData()))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        const std::optional<QString> path = droppedLesson(drop->mimeData());
        if (!path)
            return false;
        drop->acceptProposedAction();
        // Message boxes wait until the drag source has been told the drop is done.
        QTimer::singleShot(0, this,
                           [this, file = *path] { m_errors.run([this, file] { open(file); }); });
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace lessora
