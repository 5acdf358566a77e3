#pragma once

#include "export/LessonExport.h"

#include <QString>
#include <QStringList>

class QWidget;

namespace lessora {

class LessonTable;
struct Services;

// Writes the lesson as an audio file from the window: asks for the file, shows the progress
// with a cancel button while the export runs on QtConcurrent's pool, and tells how it ended.
// An export that fails throws its ExportError for the error handler to show; a cancelled one
// says so. Neither leaves a file behind.
class AudioExportWindow {
public:
    static const QString kFilter;

    // `lessonFiles`: the lesson files the window knows (the recent ones), which an export
    // never overwrites.
    void run(QWidget* parent, const Services& services, const LessonTable& table,
             const ExportOptions& options, bool clips, const QStringList& lessonFiles = {});

private:
    QString m_lastFile; // offered again by the next save dialog
};

// The folder of the per-line clips of an audio file: beside it, named after it.
QString clipsFolderFor(const QString& audioFile);

} // namespace lessora
