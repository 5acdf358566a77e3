#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

namespace lessora {

// File names as the system has them are bytes, usually but not always UTF-8; Qt's own
// conversion turns the bytes of a name that is not valid UTF-8 into U+FFFD and the file can no
// longer be found. These keep every name: a byte that is not part of valid UTF-8 becomes the
// lone surrogate U+DC00 + byte (which valid UTF-8 never gives), and back.
QString fileNameFromBytes(const QByteArray& bytes);
QByteArray fileNameBytes(const QString& name);
// Whether the name names something, links followed (QFileInfo::exists for any name).
bool fileExists(const QString& name);
// The file a local file: URL names (such as a drag-and-drop or a file manager hands over), its
// name's bytes kept as fileNameFromBytes() keeps them.
QString localFileOfUrl(const QUrl& url);

} // namespace lessora
