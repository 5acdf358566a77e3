#include "files/FileAccess.h"

#include "platform/AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace lessora {

namespace {

AppError fileError(const QString& reason, const QString& path) {
    const QString fullPath = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    return AppError(reason + QStringLiteral("\r\n[") + fullPath + u']');
}

AppError tooLarge(const QString& path) {
    return fileError(QStringLiteral("ファイルが大きすぎます"), path);
}

} // namespace

QByteArray readWholeFile(const QString& path, qint64 maxBytes) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw fileError(file.errorString(), path);
    if (!file.isSequential() && file.size() > maxBytes)
        throw tooLarge(path);
    // Read in pieces up to the limit: a device that never ends reports no size.
    constexpr qint64 kPiece = 1 << 20;
    QByteArray bytes;
    if (!file.isSequential())
        bytes.reserve(file.size() + kPiece);
    for (;;) {
        const qsizetype before = bytes.size();
        bytes.resize(before + kPiece);
        const qint64 read = file.read(bytes.data() + before, kPiece);
        if (read < 0)
            throw fileError(file.errorString(), path);
        bytes.resize(before + read);
        if (bytes.size() > maxBytes)
            throw tooLarge(path);
        if (read == 0)
            return bytes;
    }
}

void replaceWholeFile(const QString& path, const QByteArray& bytes, qint64 maxBytes) {
    if (bytes.size() > maxBytes)
        throw tooLarge(path);
    QSaveFile file(path);
    // Qt falls back only when the temporary file is refused for lack of permission.
    file.setDirectWriteFallback(true);
    // Unbuffered, so that every failed write shows here with its reason: a buffered tail that
    // fails to flush is not reported by commit() (QTBUG-75077) and would pass for a success.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw fileError(file.errorString(), path);
    for (qint64 done = 0; done < bytes.size();) {
        const qint64 written = file.write(bytes.constData() + done, bytes.size() - done);
        if (written <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            throw fileError(reason, path);
        }
        done += written;
    }
    if (!file.commit())
        throw fileError(file.errorString(), path);
}

} // namespace lessora
