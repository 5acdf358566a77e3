#include "export/ExportFiles.h"

#include "export/AudioFileWriter.h"
#include "files/FileNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

#include <QCoreApplication>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace lessora {

namespace {

constexpr int kMaxLinks = 40; // as the kernel's own limit on links in one name
constexpr int kNameTries = 100;
const QString kPartSuffix = QStringLiteral(".part");
constexpr int kRandomLength = 6;

QString nativePath(const QString& path) {
    return QDir::toNativeSeparators(path);
}

QString randomPart() {
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    QString part;
    for (int i = 0; i < kRandomLength; ++i)
        part += QChar(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))]);
    return part;
}

// The prefix of the temporary names of a target: ".<name>.".
QString temporaryPrefix(const QFileInfo& target) {
    return u'.' + target.fileName() + u'.';
}

bool isTemporaryName(const QString& name, const QString& prefix) {
    if (name.size() != prefix.size() + kRandomLength + kPartSuffix.size() ||
        !name.startsWith(prefix) || !name.endsWith(kPartSuffix))
        return false;
    for (const QChar c : name.mid(prefix.size(), kRandomLength)) {
        if (!(c.isLetterOrNumber() && c.unicode() < 128))
            return false;
    }
    return true;
}

} // namespace

void throwFileError(const QString& what, const QString& path, int error) {
    throw ExportError(
        QStringLiteral("%1: %2\r\n%3")
            .arg(what, nativePath(path), QString::fromLocal8Bit(std::strerror(error))));
}

QString resolvedTarget(const QString& path) {
    QString current = QFileInfo(path).absoluteFilePath();
    for (int i = 0; i < kMaxLinks; ++i) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        current = info.symLinkTarget(); // absolute, resolved against the link's folder
    }
    throwFileError(QCoreApplication::translate("Export", "ファイルを作成できません"), path, ELOOP);
}

TemporaryEntry::TemporaryEntry(const QString& target, Kind kind)
    : m_target(target)
    , m_kind(kind) {
    const QFileInfo info(target);
    int error = 0;
    for (int attempt = 0; attempt < kNameTries && m_fd < 0; ++attempt) {
        m_path = info.dir().filePath(temporaryPrefix(info) + randomPart() + kPartSuffix);
        const QByteArray name = fileNameBytes(m_path);
        if (kind == Kind::File) {
            m_fd =
                ::open(name.constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        } else if (::mkdir(name.constData(), 0777) == 0) {
            m_fd = ::open(name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (m_fd < 0) {
                error = errno;
                ::rmdir(name.constData());
                errno = error;
            }
        }
        error = errno;
        if (m_fd < 0 && error != EEXIST)
            break;
    }
    if (m_fd < 0)
        throwFileError(kind == Kind::File
                           ? QCoreApplication::translate("Export", "ファイルを作成できません")
                           : QCoreApplication::translate("Export", "フォルダを作成できません"),
                       target, error);
    // Held until it is closed: tells a cleaner that this export is still running.
    ::flock(m_fd, LOCK_EX | LOCK_NB);
}

TemporaryEntry::~TemporaryEntry() {
    if (!m_placed) {
        if (m_kind == Kind::File)
            ::unlink(fileNameBytes(m_path).constData());
        else
            QDir(m_path).removeRecursively();
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

void TemporaryEntry::putInPlace() {
    if (::rename(fileNameBytes(m_path).constData(), fileNameBytes(m_target).constData()) != 0) {
        const int error = errno;
        if (m_kind == Kind::Folder && (error == ENOTEMPTY || error == EEXIST))
            throw ExportError(
                QCoreApplication::translate(
                    "Export", "フォルダにはほかのファイルがあるため、書き出せません: %1")
                    .arg(nativePath(m_target)));
        throwFileError(QCoreApplication::translate("Export", "ファイルに名前を付けられません"),
                       m_target, error);
    }
    m_placed = true;
}

void removeStaleTemporaries(const QString& target) {
    const QFileInfo info(target);
    const QString prefix = temporaryPrefix(info);
    const QDir folder = info.dir();
    const QStringList names =
        folder.entryList({prefix + u'*'}, QDir::AllEntries | QDir::Hidden | QDir::System |
                                              QDir::NoDotAndDotDot | QDir::NoSymLinks);
    for (const QString& name : names) {
        if (!isTemporaryName(name, prefix))
            continue;
        const QString path = folder.filePath(name);
        const int fd =
            ::open(fileNameBytes(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat status {};
        // A lock that can be had: nobody writes there any more.
        if (::fstat(fd, &status) == 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            if (S_ISREG(status.st_mode))
                ::unlink(fileNameBytes(path).constData());
            else if (S_ISDIR(status.st_mode))
                QDir(path).removeRecursively();
        }
        ::close(fd);
    }
}

void writeAllAndSync(int fd, const QByteArray& bytes, const QString& path) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            throwFileError(QCoreApplication::translate("Export", "書き込めません"), path,
                           written < 0 ? errno : ENOSPC);
        done += written;
    }
    if (::fsync(fd) != 0)
        throwFileError(QCoreApplication::translate("Export", "書き込めません"), path, errno);
}

} // namespace lessora
