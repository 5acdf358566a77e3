#include "settings/SettingsFile.h"
#include "settings/Speakers.h"

#include "platform/AppError.h"
#include "settings/IniText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <map>
#include <optional>

namespace lessora {

namespace {

const QString kCountKey = QStringLiteral("Count");
const QString kVoicePrefix = QStringLiteral("Voice");
const QString kLanguagePrefix = QStringLiteral("Language");
const QString kTypePrefix = QStringLiteral("Type");

AppError writeError(const QString& path) {
    return AppError(QStringLiteral("%1 に書き込めません").arg(path));
}

// The file's bytes; a file that does not exist is empty, one that cannot be read gives nothing.
std::optional<QByteArray> readBytes(const QString& path) {
    QFile file(path);
    if (!file.exists())
        return QByteArray();
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

// Reads never fail: whatever cannot be read yields the defaults.
QByteArray bytesForReading(const QString& path) {
    return readBytes(path).value_or(QByteArray());
}

// Writes the whole file through a temporary file that replaces it only once complete, so a
// crash or a full disk leaves the previous file as it was.
void replaceFile(const QString& path, const QByteArray& bytes) {
    // A fresh account often has no Documents folder yet.
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        throw writeError(path);
    QSaveFile file(path);
    // Qt 6.4's commit() does not notice a failure of its own final flush and would put a
    // truncated file in place, so the flush is checked here first.
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush() ||
        !file.commit())
        throw writeError(path);
}

// Applies edit to the file's text and stores the result when it differs.
template <typename Edit> void editFile(const QString& path, Edit&& edit) {
    const std::optional<QByteArray> old = readBytes(path);
    // Rewriting a file we could not read would drop everything else in it.
    if (!old)
        throw writeError(path);
    const QByteArray updated = edit(*old);
    if (updated != *old)
        replaceFile(path, updated);
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
