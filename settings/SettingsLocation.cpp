#include "settings/SettingsLocation.h"

#include <QDir>
#include <QStandardPaths>

namespace lessora {

QString settingsFilePath() {
    const QString fileName = QStringLiteral("Lessora.ini");
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (documents.isEmpty())
        return fileName;
    return QDir(documents).filePath(fileName);
}

} // namespace lessora
