#include "app/LearnerRecordings.h"

#include <QDir>
#include <QFileInfo>

namespace lessora {

QString recordingsFolderOf(const QString& lessonPath) {
    if (lessonPath.isEmpty())
        return {};
    const QFileInfo lesson(lessonPath);
    return lesson.dir().filePath(lesson.completeBaseName() + QStringLiteral(".recordings"));
}

QString latestLearnerRecording(const QString& folder, int lineNumber) {
    if (folder.isEmpty() || lineNumber <= 0)
        return {};
    const QString prefix = QStringLiteral("%1_").arg(lineNumber, 4, 10, QChar(u'0'));
    // Sorted by name, so the time in the names puts the latest last.
    const QStringList names = QDir(folder).entryList({prefix + QStringLiteral("*.flac")},
                                                     QDir::Files | QDir::Readable, QDir::Name);
    return names.isEmpty() ? QString() : QDir(folder).filePath(names.last());
}

} // namespace lessora
