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

} // namespace

QByteArray readWholeFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw fileError(file.errorString(), path);
    const auto tooLarge = [&path] {
        return fileError(QStringLiteral("ファイルが大きすぎます"), path);
    };
    if (!file.isSequential() && file.size() > kMaxReadFileBytes)
        throw tooLarge();
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
        if (bytes.size() > kMaxReadFileBytes)
            throw tooLarge();
        if (read == 0)
            return bytes;
    }
}

void replaceWholeFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
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
