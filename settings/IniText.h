#pragma once

// Reading and editing the text of an INI file, with no file access. Reading follows the rules of
// the classic profile-string functions; edits keep every line they do not touch byte for byte.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>
#include <optional>
#include <utility>

namespace lessora::ini {

// The longest value a read delivers (the profile functions read into 2048 characters).
inline constexpr qsizetype kMaxValueLength = 2047;

using KeyValue = std::pair<QString, QString>;

// Section and key names match without regard to ASCII letter case, never by locale.
bool sameName(QStringView a, QStringView b);

// The value of key in section, or nothing when the section or the key does not exist. Names
// match without regard to ASCII letter case; where a key occurs more than once the first counts.
std::optional<QString> findValue(QByteArrayView file, QStringView section, QStringView key);

// Every key of section with its value, in file order, each key once (its first occurrence).
QList<KeyValue> sectionEntries(QByteArrayView file, QStringView section);

// Names and values that read back exactly once written: single lines, and for names nothing
// that the reader would take for a comment, a section header or a separator.
bool isWritableSection(QStringView section);
bool isWritableKey(QStringView key);
bool isWritableValue(QStringView value);

// The file with key set to value in section, creating section and key as needed. The caller
// checks the names and the value first (isWritable...).
QByteArray withValue(QByteArrayView file, QStringView section, QStringView key, QStringView value);

// The file without any section of that name and without the keys and comments inside it.
QByteArray withoutSection(QByteArrayView file, QStringView section);

// The integer of an INI value: optional leading blanks, an optional sign, then decimal digits or
// a hexadecimal prefix ("$", "x", "X", "0x", "0X") and hexadecimal digits, nothing after them, the
// value within 32 bits. A leading "0x" of a value longer than two characters is read as "$".
std::optional<int> parseInteger(QStringView text);

} // namespace lessora::ini
