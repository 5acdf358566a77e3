#pragma once

#include "platform/AppError.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace lessora {

// A recording that cannot be written, listed, moved or deleted; the message says why.
class RecordingError : public AppError {
public:
    using AppError::AppError;
};

// Where a lesson's recordings are kept: beside it, in a folder named after it
// (/x/cafe.json → /x/cafe.recordings).
QString recordingsFolderOf(const QString& lessonPath);
// Where a lesson that has no file yet keeps them, under the user's data folder, until it is
// saved (~/.local/share/Lessora/unsaved.recordings).
QString unsavedRecordingsFolder();

// One file per line and attempt: the line number (from 1) zero-padded to 4, the speaker (its
// letters and digits only) and the time, "0003_B_20261211-061502-123.flac". The newest recording
// of a line is the one with the latest time among the names with its line's prefix (the
// greatest name, unless the line's speaker was changed between takes).
QString recordingFileName(int lineNumber, const QString& speaker, const QDateTime& time);
// The newest recording of the line in the folder (its full path); empty when there is none.
QString latestRecording(const QString& folder, int lineNumber);
// Every recording in the folder (full paths, by name); other files are not recordings.
QStringList recordingsIn(const QString& folder);

// Writes mono 16-bit samples as FLAC. The file appears under its name only when complete: the
// samples go to a temporary file beside it, which is renamed once all of it is on the disk and
// removed on any failure (a full disk, say), which throws RecordingError. The folder is made
// when missing.
void writeFlac(const QString& path, const qint16* samples, qint64 count, int sampleRate);

// Removes the recordings of the folder, and the folder when nothing else is left in it; returns
// how many were removed. Throws RecordingError, after removing what it could, when one stays.
int deleteRecordings(const QString& folder);
// Moves the files into the folder (made when missing), keeping their names; returns their new
// paths. Throws RecordingError when one cannot be moved; those before it are moved.
QStringList moveRecordings(const QStringList& files, const QString& folder);

} // namespace lessora
