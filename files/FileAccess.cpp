#include "files/FileAccess.h"

#include "files/FileNames.h"

#include "platform/AppError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <QCoreApplication>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lessora {

namespace {

AppError fileError(const QString& reason, const QString& path) {
    const QString fullPath = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    return AppError(reason + QStringLiteral("\r\n[") + fullPath + u']');
}

AppError tooLarge(const QString& path) {
    return fileError(QCoreApplication::translate("Files", "ファイルが大きすぎます"), path);
}

// Why a file cannot be read, in the user's words.
QString readFailure(int error) {
    switch (error) {
    case ENOENT:
        return QCoreApplication::translate("Files", "ファイルが見つかりません");
    case EACCES:
    case EPERM:
        return QCoreApplication::translate("Files", "ファイルを読み込む権限がありません");
    case ELOOP:
        return QCoreApplication::translate(
            "Files", "シンボリックリンクが循環しているため、ファイルを開けません");
    case ENOTDIR:
        return QCoreApplication::translate("Files", "途中のフォルダが見つかりません");
    case ENAMETOOLONG:
        return QCoreApplication::translate("Files", "ファイル名が長すぎます");
    case EISDIR:
        return QCoreApplication::translate("Files", "フォルダは開けません");
    default:
        return QCoreApplication::translate("Files", "ファイルを読み込めません (エラー番号 %1)")
            .arg(error);
    }
}

} // namespace

QByteArray readWholeFile(const QString& path, qint64 maxBytes) {
    // Non-blocking for the open itself: a FIFO or a device would otherwise hold it. Only a
    // regular file is read, and the limit is kept while reading, whatever size it reports.
    const int fd =
        ::open(fileNameBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw fileError(readFailure(errno), path);
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        throw fileError(readFailure(errno), path);
    if (S_ISDIR(status.st_mode))
        throw fileError(readFailure(EISDIR), path);
    if (!S_ISREG(status.st_mode))
        throw fileError(
            QCoreApplication::translate("Files", "通常のファイルではないため、開けません"), path);
    if (status.st_size > maxBytes)
        throw tooLarge(path);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // Read in pieces up to the limit: a file may grow while it is read.
    constexpr qint64 kPiece = 1 << 20;
    QByteArray bytes;
    bytes.reserve(qsizetype(status.st_size) + 1);
    for (;;) {
        const qsizetype before = bytes.size();
        const qint64 piece = std::min<qint64>(kPiece, maxBytes + 1 - before);
        bytes.resize(before + qsizetype(piece));
        const ssize_t read = ::read(fd, bytes.data() + before, size_t(piece));
        if (read < 0 && errno == EINTR) {
            bytes.resize(before);
            continue;
        }
        if (read < 0)
            throw fileError(readFailure(errno), path);
        bytes.resize(before + read);
        if (bytes.size() > maxBytes)
            throw tooLarge(path);
        if (read == 0)
            return bytes;
    }
}

namespace {

// replaceWholeFile for a name Qt cannot convert (not valid UTF-8): the same steps on the name's
// own bytes, a new file beside it that is written, flushed and renamed into its place.
void replaceByBytes(const QString& path, const QByteArray& bytes) {
    const QByteArray name = fileNameBytes(path);
    const qsizetype slash = name.lastIndexOf('/');
    QByteArray temporary = (slash < 0 ? QByteArray() : name.left(slash + 1)) + ".lessora-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        throw fileError(readFailure(errno), path);
    bool placed = false;
    const auto cleanUp = qScopeGuard([&] {
        ::close(fd);
        if (!placed)
            ::unlink(temporary.constData());
    });
    struct stat existing {};
    const mode_t mode = ::stat(name.constData(), &existing) == 0 ? existing.st_mode & 07777 : 0644;
    ::fchmod(fd, mode);
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throw fileError(QString::fromLocal8Bit(std::strerror(written < 0 ? errno : ENOSPC)),
                            path);
        done += written;
    }
    if (::fsync(fd) != 0 || ::rename(temporary.constData(), name.constData()) != 0)
        throw fileError(QString::fromLocal8Bit(std::strerror(errno)), path);
    placed = true;
}

} // namespace

void replaceWholeFile(const QString& path, const QByteArray& bytes, qint64 maxBytes) {
    if (bytes.size() > maxBytes)
        throw tooLarge(path);
    if (fileNameBytes(path) != QFile::encodeName(path))
        return replaceByBytes(path, bytes);
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
