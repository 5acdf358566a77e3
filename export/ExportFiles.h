#pragma once

#include <QByteArray>
#include <QString>

namespace lessora {

// The file a name stands for: a symbolic link is followed to the file it names (which may not
// exist yet), so that an export replaces the link's target and keeps the link, as a lesson save
// does. Throws ExportError on a loop of links.
QString resolvedTarget(const QString& path);

// A new file or folder beside `target`, under a name no other export uses: ".<name>.XXXXXX.part",
// created exclusively (O_EXCL, never through a link). The creator holds a lock on it for as long
// as it is open, which is how removeStaleTemporaries() tells a live export's files from those
// of one that was killed.
class TemporaryEntry {
public:
    enum class Kind { File, Folder };
    // Throws ExportError when it cannot be created.
    TemporaryEntry(const QString& target, Kind kind);
    ~TemporaryEntry(); // removes it, unless it was put in place
    TemporaryEntry(const TemporaryEntry&) = delete;
    TemporaryEntry& operator=(const TemporaryEntry&) = delete;

    const QString& path() const { return m_path; }
    int fd() const { return m_fd; }
    // Renames it to the target in one step; throws ExportError when that fails. A folder only
    // takes the place of a missing or empty folder.
    void putInPlace();

private:
    QString m_target;
    QString m_path;
    Kind m_kind;
    int m_fd = -1;
    bool m_placed = false;
};

// Removes what killed exports to `target` left behind: its temporary files and folders that no
// running export holds.
void removeStaleTemporaries(const QString& target);

// Writes all bytes to the descriptor and flushes them to the disk; every write is checked, so a
// full disk or a size limit is an error, never a shorter file. Throws ExportError naming `path`.
void writeAllAndSync(int fd, const QByteArray& bytes, const QString& path);

// An ExportError "<what>: <path>\r\n<reason of errno>".
[[noreturn]] void throwFileError(const QString& what, const QString& path, int error);

} // namespace lessora
