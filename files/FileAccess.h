#pragma once

#include <QByteArray>
#include <QString>

namespace lessora {

// Files larger than this are not read, which keeps a wrong choice in the open dialog from
// exhausting memory. It lies well above the lesson files of any table the program can hold (a
// million rows make about 120 to 270 MB), and writing checks it too, so that what is saved can
// always be loaded.
inline constexpr qint64 kMaxReadFileBytes = qint64(4) << 30;

// Reads a whole regular file; the name's bytes are kept (QFile::encodeName), so a name that is
// not valid UTF-8 opens too. Throws AppError "<reason>\r\n[<full path>]", the reason in
// Japanese, when it cannot be opened or read, is no regular file (a FIFO, a device, a folder:
// never waited for), or is larger than maxBytes ("ファイルが大きすぎます").
QByteArray readWholeFile(const QString& path, qint64 maxBytes = kMaxReadFileBytes);

// Creates or replaces a file with the given bytes. The bytes go to a temporary file beside it
// that takes the file's place only once it is complete, so a failure (a full disk, a crash)
// leaves the old file as it was; only where no file can be created beside it (a folder the user
// may not write to) is an existing file written in place. Bytes that readWholeFile would refuse
// with the same maxBytes are refused before anything is written. Throws AppError
// "<reason>\r\n[<full path>]".
void replaceWholeFile(const QString& path, const QByteArray& bytes,
                      qint64 maxBytes = kMaxReadFileBytes);

} // namespace lessora
