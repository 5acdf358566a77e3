#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace lessora {

inline const QString kVoiceSection = QStringLiteral("Voice");
inline const QString kCatalogueSection = QStringLiteral("AvailableVoices");

// The settings file ("Lessora.ini"), an INI file. The object holds only the path: every read
// and write goes to the file at once, so two objects on one file see each other's writes.
class SettingsFile {
public:
    explicit SettingsFile(QString path);

    const QString& path() const { return m_path; }

    // The stored value (up to 2047 characters), or the default when the file, the section or
    // the key does not exist. Section and key names match without regard to ASCII case.
    QString readString(const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // Decimal, or hexadecimal with "$", "x", "X", "0x" or "0X"; anything else gives the default.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;

    // Each write replaces the whole file through a temporary file, so a failure leaves the old
    // file intact, and raises AppError "<path> に書き込めません". Values are single lines: one with
    // a line break is refused with that error, as writing it would split the line. The first
    // write creates the file and its folder. A write reads, edits and replaces the file while
    // holding a lock file beside it ("<path>.lock"), so that writes of other instances are kept;
    // it starts from an empty file only when the file does not exist, and removes temporary
    // files that killed writes left beside it.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);
    void eraseSection(const QString& section);

private:
    QString m_path;
};

// One entry of the voice catalogue (section "AvailableVoices").
struct CatalogueEntry {
    QString voice;
    QString language; // "English", "Japanese" or "Unknown"
    QString type;     // "SAPI" or "OneCore"
    friend bool operator==(const CatalogueEntry&, const CatalogueEntry&) = default;
};

// Erases the catalogue section, then writes Count and each entry's Voice, Language and Type.
// The file is replaced once, so a failure leaves the previous catalogue whole.
void rewriteCatalogue(SettingsFile& file, const QList<CatalogueEntry>& entries);

// The number of catalogue entries to read: "Count" with a negative value taken as 0, and never
// more than the entries present in the file, so a hand-edited huge count cannot hang a reader.
int catalogueCount(const SettingsFile& file);

// The catalogue entries below "Count" that have at least one of their keys in the file, in index
// order, read in one pass (cheaper than reading each key, and bounded by the file's contents
// even when the indexes present are sparse).
QList<CatalogueEntry> readCatalogue(const SettingsFile& file);

// Stores the six speaker voices, given in the order of speakerVoiceKeys() (empty for none), with
// one replacement of the file: either all six are saved or, on a failure, none.
void saveSpeakerVoices(SettingsFile& file, const QStringList& voices);

} // namespace lessora
