#pragma once

#include <QByteArray>
#include <QString>

namespace lessora {

// Files larger than this are not read: no lesson comes near it, and the limit keeps a wrong
// choice in the open dialog from exhausting memory.
inline constexpr qint64 kMaxReadFileBytes = 256 * 1024 * 1024;

// Reads a whole file. Throws AppError "<reason>\r\n[<full path>]" when it cannot be opened
// or read, or is larger than kMaxReadFileBytes.
QByteArray readWholeFile(const QString& path);

// Creates or replaces a file with the given bytes. The bytes go to a temporary file beside it
// that takes the file's place only once it is complete, so a failure (a full disk, a crash)
// leaves the old file as it was. Throws AppError "<reason>\r\n[<full path>]".
void replaceWholeFile(const QString& path, const QByteArray& bytes);

} // namespace lessora
