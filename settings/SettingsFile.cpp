#include "settings/SettingsFile.h"
#include "settings/Speakers.h"

#include "platform/AppError.h"
#include "settings/IniText.h"
#include "settings/Logging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QTemporaryFile>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace lessora {

namespace {

const QString kCountKey = QStringLiteral("Count");
const QString kVoicePrefix = QStringLiteral("Voice");
const QString kLanguagePrefix = QStringLiteral("Language");
const QString kTypePrefix = QStringLiteral("Type");

AppError writeError(const QString& path) {
    return AppError(QCoreApplication::translate("Settings", "%1 に書き込めません").arg(path));
}

// The file's bytes as one open found them.
struct FileBytes {
    enum class State { Read, Absent, Unreadable };
    State state = State::Absent;
    QByteArray bytes;
};

// Whether the file exists is decided by opening it, not asked beforehand: another program that
// replaces the file may leave its name absent for a moment, so an open that finds nothing is
// tried once more before the file counts as absent.
FileBytes readFileBytes(const QString& path) {
    const QByteArray nativePath = QFile::encodeName(path);
    int fd = -1;
    for (int attempt = 0; attempt < 2 && fd < 0; ++attempt) {
        fd = ::open(nativePath.constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 && errno != ENOENT)
            return {FileBytes::State::Unreadable, {}};
    }
    if (fd < 0)
        return {FileBytes::State::Absent, {}};
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return {FileBytes::State::Unreadable, {}};
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return {FileBytes::State::Unreadable, {}};
    return {FileBytes::State::Read, std::move(bytes)};
}

// Reads never fail: whatever cannot be read yields the defaults.
QByteArray bytesForReading(const QString& path) {
    return readFileBytes(path).bytes;
}

// Temporary files of our writes lie beside the settings file under a name that nothing else
// takes, so that those left by a killed write can be told apart from the user's own files
// ("Lessora.ini.backup" must survive).
const QString kTemporaryInfix = QStringLiteral(".lessora-");

// A temporary file beside the settings file, open, holding the bytes; `durable` also waits until
// they are on the disk. Throws when it cannot be made or written.
std::unique_ptr<QTemporaryFile> temporaryCopy(const QString& path, const QByteArray& bytes,
                                              bool durable) {
    auto file = std::make_unique<QTemporaryFile>(path + kTemporaryInfix + QStringLiteral("XXXXXX"));
    // A failure of the final flush would go unnoticed on close, so it is checked here.
    if (!file->open() || file->write(bytes) != bytes.size() || !file->flush() ||
        (durable && ::fsync(file->handle()) != 0))
        throw writeError(path);
    return file;
}

// Writes the whole file through a temporary file that replaces it only once complete, so a
// crash or a full disk leaves the previous file as it was. The file keeps its permissions.
void replaceFile(const QString& path, const QByteArray& bytes) {
    // What replaces the file must be complete on the disk first, or a crash could leave an
    // empty file where the old one was.
    const std::unique_ptr<QTemporaryFile> file = temporaryCopy(path, bytes, true);
    if (const QFileDevice::Permissions permissions = QFile::permissions(path))
        file->setPermissions(permissions);
    file->close();
    if (::rename(QFile::encodeName(file->fileName()).constData(),
                 QFile::encodeName(path).constData()) != 0)
        throw writeError(path);
    file->setAutoRemove(false);
}

// Creates the file with the given bytes only if it still does not exist: the bytes go to a
// temporary file that is then linked under the file's name, which fails when the name is taken.
// Returns false when another program created the file meanwhile.
bool createFile(const QString& path, const QByteArray& bytes) {
    // Nothing is lost should a crash leave the new file incomplete, so no waiting for the disk.
    const std::unique_ptr<QTemporaryFile> file = temporaryCopy(path, bytes, false);
    // Made with the permissions a new file gets, not the temporary file's private ones.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(file->handle(), 0666 & ~mask);
    file->close();
    if (::link(QFile::encodeName(file->fileName()).constData(),
               QFile::encodeName(path).constData()) == 0)
        return true;
    if (errno == EEXIST)
        return false;
    // A file system without hard links: replace the file as any other write does.
    replaceFile(path, bytes);
    return true;
}

// Files left behind by writes that were killed between making their temporary file and
// putting it in place. Called under the lock, when no write of ours is under way.
void removeStaleTemporaryFiles(const QString& path) {
    const QFileInfo info(path);
    const QDir folder = info.absoluteDir();
    const QString pattern = info.fileName() + kTemporaryInfix + QStringLiteral("??????");
    for (const QString& name : folder.entryList({pattern}, QDir::Files | QDir::Hidden)) {
        // One left behind costs nothing but its space; the next write tries again.
        if (QFile stale(folder.filePath(name)); !stale.remove())
            qCWarning(lcSettings) << "could not remove" << stale.fileName() << ":"
                                  << stale.errorString();
    }
}

// Held around every read-modify-write, so that two instances of the program never rewrite the
// file from copies that miss each other's changes. A lock left by a process that died is taken
// over (Qt checks whether its owner still runs).
class SettingsLock {
public:
    explicit SettingsLock(const QString& path)
        : m_lock(path + QStringLiteral(".lock")) {
        constexpr int kWaitMs = 10'000;
        if (!m_lock.tryLock(kWaitMs))
            throw writeError(path);
    }

private:
    QLockFile m_lock;
};

// Applies edit to the file's text and stores the result when it differs. The edit starts from
// nothing only when the file does not exist, and then the result is stored only if no other
// program has created the file meanwhile; otherwise the edit is made again on that file.
template <typename Edit> void editFile(const QString& path, Edit&& edit) {
    // A fresh account often has no Documents folder yet.
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        throw writeError(path);
    const SettingsLock lock(path);
    removeStaleTemporaryFiles(path);
    // Each further attempt means another program created or replaced the file meanwhile.
    constexpr int kAttempts = 10;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        const FileBytes old = readFileBytes(path);
        // Rewriting a file we could not read would drop everything else in it.
        if (old.state == FileBytes::State::Unreadable)
            throw writeError(path);
        const QByteArray updated = edit(old.bytes);
        if (updated == old.bytes)
            return;
        if (old.state == FileBytes::State::Read) {
            replaceFile(path, updated);
            return;
        }
        if (createFile(path, updated))
            return;
    }
    throw writeError(path);
}

void requireWritable(const QString& path, const QString& section, const QString& key,
                     const QString& value) {
    // A line break would split the line and corrupt the file, so such a write is refused.
    if (!ini::isWritableSection(section) || !ini::isWritableKey(key) ||
        !ini::isWritableValue(value))
        throw writeError(path);
}

// The index of a catalogue key such as "Voice12" as readers name it ("Voice" + decimal index
// without leading zeros), or nothing for any other key.
std::optional<int> catalogueIndex(const QString& key, const QString& prefix) {
    if (key.size() <= prefix.size() ||
        !ini::sameName(QStringView(key).first(prefix.size()), prefix))
        return std::nullopt;
    const QStringView digits = QStringView(key).sliced(prefix.size());
    if (digits.size() > 1 && digits.front() == u'0')
        return std::nullopt;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const int index = digits.toInt(&ok);
    return ok ? std::optional<int>(index) : std::nullopt;
}

// The entries below Count that are present in the file, by index. The stored Count is read as
// ReadInteger reads it; a negative Count (only possible by editing the file by hand) counts as 0
// for every reader, so they all agree that the catalogue is empty.
std::map<int, CatalogueEntry> presentCatalogueEntries(const SettingsFile& file) {
    const QList<ini::KeyValue> keys =
        ini::sectionEntries(bytesForReading(file.path()), kCatalogueSection);
    int count = 0;
    for (const auto& [key, value] : keys) {
        if (ini::sameName(key, kCountKey))
            count = std::max(ini::parseInteger(value).value_or(0), 0);
    }
    std::map<int, CatalogueEntry> entries;
    for (const auto& [key, value] : keys) {
        const std::pair<const QString&, QString CatalogueEntry::*> fields[] = {
            {kVoicePrefix, &CatalogueEntry::voice},
            {kLanguagePrefix, &CatalogueEntry::language},
            {kTypePrefix, &CatalogueEntry::type}};
        for (const auto& [prefix, field] : fields) {
            if (const std::optional<int> index = catalogueIndex(key, prefix);
                index && *index < count)
                entries[*index].*field = value;
        }
    }
    return entries;
}

} // namespace

SettingsFile::SettingsFile(QString path)
    : m_path(std::move(path)) {}

QString SettingsFile::readString(const QString& section, const QString& key,
                                 const QString& defaultValue) const {
    return ini::findValue(bytesForReading(m_path), section, key).value_or(defaultValue);
}

int SettingsFile::readInteger(const QString& section, const QString& key, int defaultValue) const {
    return ini::parseInteger(readString(section, key, QString())).value_or(defaultValue);
}

void SettingsFile::writeString(const QString& section, const QString& key, const QString& value) {
    requireWritable(m_path, section, key, value);
    editFile(m_path,
             [&](const QByteArray& text) { return ini::withValue(text, section, key, value); });
}

void SettingsFile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}

void SettingsFile::eraseSection(const QString& section) {
    editFile(m_path, [&](const QByteArray& text) { return ini::withoutSection(text, section); });
}

void rewriteCatalogue(SettingsFile& file, const QList<CatalogueEntry>& entries) {
    for (const CatalogueEntry& entry : entries) {
        for (const QString& value : {entry.voice, entry.language, entry.type})
            requireWritable(file.path(), kCatalogueSection, kVoicePrefix, value);
    }
    editFile(file.path(), [&](const QByteArray& old) {
        QByteArray text = ini::withoutSection(old, kCatalogueSection);
        text = ini::withValue(text, kCatalogueSection, kCountKey, QString::number(entries.size()));
        for (qsizetype i = 0; i < entries.size(); ++i) {
            const QString index = QString::number(i);
            text = ini::withValue(text, kCatalogueSection, kVoicePrefix + index, entries[i].voice);
            text = ini::withValue(text, kCatalogueSection, kLanguagePrefix + index,
                                  entries[i].language);
            text = ini::withValue(text, kCatalogueSection, kTypePrefix + index, entries[i].type);
        }
        return text;
    });
}

int catalogueCount(const SettingsFile& file) {
    const std::map<int, CatalogueEntry> entries = presentCatalogueEntries(file);
    return entries.empty() ? 0 : entries.rbegin()->first + 1;
}

QList<CatalogueEntry> readCatalogue(const SettingsFile& file) {
    QList<CatalogueEntry> list;
    for (const auto& [index, entry] : presentCatalogueEntries(file))
        list.append(entry);
    return list;
}

void saveSpeakerVoices(SettingsFile& file, const QStringList& voices) {
    for (qsizetype i = 0; i < speakerVoiceKeys().size(); ++i)
        requireWritable(file.path(), kVoiceSection, speakerVoiceKeys()[i], voices.value(i));
    editFile(file.path(), [&](const QByteArray& old) {
        QByteArray text = old;
        for (qsizetype i = 0; i < speakerVoiceKeys().size(); ++i)
            text = ini::withValue(text, kVoiceSection, speakerVoiceKeys()[i], voices.value(i));
        return text;
    });
}

} // namespace lessora
