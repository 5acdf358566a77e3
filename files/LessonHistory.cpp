#include "files/LessonHistory.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace lessora {

namespace {
const QString kRecentKey = QStringLiteral("Lessons/Recent");
const QString kFolderKey = QStringLiteral("Lessons/LastFolder");

QString absolutePath(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}
} // namespace

LessonHistory::LessonHistory(QString filePath)
    : m_filePath(std::move(filePath)) {
    if (m_filePath.isEmpty())
        return;
    const QSettings file(m_filePath, QSettings::IniFormat);
    // A hand-edited or damaged file gives what it can; nothing in it is trusted beyond text.
    for (const QString& path : file.value(kRecentKey).toStringList()) {
        if (!path.isEmpty() && !m_recent.contains(path) && m_recent.size() < kMaxRecent)
            m_recent << path;
    }
    m_lastFolder = file.value(kFolderKey).toString();
}

void LessonHistory::addRecent(const QString& path) {
    const QString absolute = absolutePath(path);
    m_recent.removeAll(absolute);
    m_recent.prepend(absolute);
    while (m_recent.size() > kMaxRecent)
        m_recent.removeLast();
    m_lastFolder = QFileInfo(absolute).path();
    store();
}

void LessonHistory::removeRecent(const QString& path) {
    if (m_recent.removeAll(absolutePath(path)) > 0)
        store();
}

void LessonHistory::noteChosenFile(const QString& path) {
    const QString folder = QFileInfo(absolutePath(path)).path();
    if (folder == m_lastFolder)
        return;
    m_lastFolder = folder;
    store();
}

void LessonHistory::store() const {
    if (m_filePath.isEmpty())
        return;
    // A history that cannot be written is not worth an error message: the lesson itself is
    // safe, and the next run simply starts with what the file still holds.
    QSettings file(m_filePath, QSettings::IniFormat);
    file.setValue(kRecentKey, m_recent);
    file.setValue(kFolderKey, m_lastFolder);
}

} // namespace lessora
