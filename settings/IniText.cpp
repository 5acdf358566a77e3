#include "settings/IniText.h"

#include "settings/AsciiCase.h"

#include <QSet>
#include <QStringDecoder>

namespace lessora::ini {

namespace {

bool isBlank(QChar c) {
    switch (c.unicode()) {
    case u' ':
    case u'\t':
    case u'\n':
    case u'\v':
    case u'\f':
    case u'\r':
        return true;
    default:
        return false;
    }
}

QStringView trimmedBlanks(QStringView text) {
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

bool isQuote(QChar c) {
    return c == u'"' || c == u'\'';
}

bool isQuoted(QStringView text) {
    return text.size() >= 2 && isQuote(text.front()) && text.back() == text.front();
}

QStringView unquoted(QStringView text) {
    return isQuoted(text) ? text.sliced(1, text.size() - 2) : text;
}

// A value cut to the length a read delivers, without splitting a surrogate pair.
QString delivered(QStringView value) {
    if (value.size() <= kMaxValueLength)
        return value.toString();
    qsizetype length = kMaxValueLength;
    if (value[length - 1].isHighSurrogate())
        --length;
    return value.first(length).toString();
}

const QByteArrayView kUtf8Bom("\xEF\xBB\xBF");
const QByteArrayView kUtf16LeBom("\xFF\xFE");
const QByteArrayView kUtf16BeBom("\xFE\xFF");

// Every leading mark goes: a rewrite drops the first one, and the next must not then change how
// the first line reads.
QByteArrayView withoutUtf8Boms(QByteArrayView text) {
    while (text.startsWith(kUtf8Bom))
        text = text.sliced(kUtf8Bom.size());
    return text;
}

// The file's text as UTF-8 without byte-order marks. Files saved as UTF-16 by a Windows editor
// are converted; everything else is taken as UTF-8 and left as it is, so that the lines an edit
// does not touch keep their bytes even when they are not valid UTF-8.
class Utf8Text {
public:
    explicit Utf8Text(QByteArrayView file) {
        file = withoutUtf8Boms(file);
        const bool littleEndian = file.startsWith(kUtf16LeBom);
        if (littleEndian || file.startsWith(kUtf16BeBom)) {
            QStringDecoder decoder(littleEndian ? QStringConverter::Utf16LE
                                                : QStringConverter::Utf16BE,
                                   QStringConverter::Flag::ConvertInitialBom);
            m_converted = QString(decoder(file.sliced(kUtf16LeBom.size()))).toUtf8();
            file = withoutUtf8Boms(m_converted);
        }
        m_text = file;
    }
    Utf8Text(const Utf8Text&) = delete;
    Utf8Text& operator=(const Utf8Text&) = delete;
    QByteArrayView view() const { return m_text; }

private:
    QByteArray m_converted;
    QByteArrayView m_text;
};

// The lines of the text without their ends: CR LF, LF, or a lone CR as older Mac editors write.
QList<QByteArrayView> splitLines(QByteArrayView text) {
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != '\n' && text[end] != '\r')
            ++end;
        lines.append(text.sliced(start, end - start));
        if (end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n')
            ++end;
        start = end + 1;
    }
    return lines;
}

QByteArray joinedLines(const QList<QByteArrayView>& lines) {
    qsizetype size = 0;
    for (const QByteArrayView line : lines)
        size += line.size() + 1;
    QByteArray out;
    out.reserve(size);
    for (const QByteArrayView line : lines) {
        out.append(line);
        out.append('\n');
    }
    return out;
}

struct Line {
    enum class Kind { Other, Section, Key };
    Kind kind = Kind::Other;
    QString name;
    QString value;
};

Line parseLine(QByteArrayView raw) {
    const QString text = QString::fromUtf8(raw);
    const QStringView content = trimmedBlanks(text);
    Line line;
    if (content.startsWith(u';'))
        return line;
    if (content.startsWith(u'[')) {
        const qsizetype close = content.indexOf(u']');
        if (close > 0) {
            line.kind = Line::Kind::Section;
            line.name = trimmedBlanks(content.sliced(1, close - 1)).toString();
        }
        return line;
    }
    const qsizetype equals = content.indexOf(u'=');
    if (equals < 0)
        return line;
    line.kind = Line::Kind::Key;
    line.name = trimmedBlanks(content.first(equals)).toString();
    line.value = unquoted(trimmedBlanks(content.sliced(equals + 1))).toString();
    return line;
}

// Calls visit(line) for each key line of every section named section, until visit returns false.
template <typename Visit>
void forEachKeyIn(QByteArrayView file, QStringView section, Visit&& visit) {
    const Utf8Text text(file);
    bool inSection = false;
    for (const QByteArrayView raw : splitLines(text.view())) {
        const Line line = parseLine(raw);
        if (line.kind == Line::Kind::Section)
            inSection = sameName(line.name, section);
        else if (inSection && line.kind == Line::Kind::Key && !visit(line))
            return;
    }
}

// Values that the reader would trim or unquote are wrapped in double quotes, which it removes.
QString encodedValue(QStringView value) {
    const bool needsQuotes =
        !value.isEmpty() && (isBlank(value.front()) || isBlank(value.back()) || isQuoted(value));
    return needsQuotes ? u'"' + value.toString() + u'"' : value.toString();
}

bool isPlainName(QStringView name) {
    return !name.isEmpty() && trimmedBlanks(name).size() == name.size() && !name.contains(u'\n') &&
           !name.contains(u'\r') && name.isValidUtf16();
}

} // namespace

bool sameName(QStringView a, QStringView b) {
    return equalsIgnoringAsciiCase(a, b);
}

std::optional<QString> findValue(QByteArrayView file, QStringView section, QStringView key) {
    std::optional<QString> found;
    forEachKeyIn(file, section, [&](const Line& line) {
        if (!sameName(line.name, key))
            return true;
        found = delivered(line.value);
        return false;
    });
    return found;
}

QList<KeyValue> sectionEntries(QByteArrayView file, QStringView section) {
    QList<KeyValue> entries;
    QSet<QString> seen;
    forEachKeyIn(file, section, [&](const Line& line) {
        const QString folded = asciiLowercased(line.name);
        if (!seen.contains(folded)) {
            seen.insert(folded);
            entries.append({line.name, delivered(line.value)});
        }
        return true;
    });
    return entries;
}

bool isWritableSection(QStringView section) {
    return isPlainName(section) && !section.contains(u']');
}

bool isWritableKey(QStringView key) {
    return isPlainName(key) && !key.contains(u'=') && !key.startsWith(u';') &&
           !key.startsWith(u'[');
}

bool isWritableValue(QStringView value) {
    return !value.contains(u'\n') && !value.contains(u'\r') && value.isValidUtf16();
}

QByteArray withValue(QByteArrayView file, QStringView section, QStringView key, QStringView value) {
    const Utf8Text text(file);
    QList<QByteArrayView> lines = splitLines(text.view());
    const QByteArray keyLine = (key.toString() + u'=' + encodedValue(value)).toUtf8();

    // The first occurrence of the key is the one readers see, so it is the one to replace; a
    // new key goes after the last key of the first section of that name.
    std::optional<qsizetype> insertAt;
    bool inSection = false;
    bool inFirstSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const Line line = parseLine(lines[i]);
        if (line.kind == Line::Kind::Section) {
            inSection = sameName(line.name, section);
            inFirstSection = inSection && !insertAt;
            if (inFirstSection)
                insertAt = i + 1;
        } else if (inSection && line.kind == Line::Kind::Key) {
            if (sameName(line.name, key)) {
                lines[i] = keyLine;
                return joinedLines(lines);
            }
            if (inFirstSection)
                insertAt = i + 1;
        }
    }
    if (insertAt) {
        lines.insert(*insertAt, keyLine);
        return joinedLines(lines);
    }
    const QByteArray header = (u'[' + section.toString() + u']').toUtf8();
    lines.append(header);
    lines.append(keyLine);
    return joinedLines(lines);
}

QByteArray withoutSection(QByteArrayView file, QStringView section) {
    const Utf8Text text(file);
    QList<QByteArrayView> kept;
    bool dropping = false;
    for (const QByteArrayView raw : splitLines(text.view())) {
        const Line line = parseLine(raw);
        if (line.kind == Line::Kind::Section)
            dropping = sameName(line.name, section);
        if (!dropping)
            kept.append(raw);
    }
    return joinedLines(kept);
}

std::optional<int> parseInteger(QStringView text) {
    QString source = text.toString();
    if (source.size() > 2 && source[0] == u'0' && (source[1] == u'x' || source[1] == u'X'))
        source.replace(0, 2, u'$');

    qsizetype i = 0;
    while (i < source.size() && (source[i] == u' ' || source[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < source.size() && (source[i] == u'+' || source[i] == u'-')) {
        negative = source[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < source.size() && (source[i] == u'$' || source[i] == u'x' || source[i] == u'X')) {
        base = 16;
        i += 1;
    } else if (i + 1 < source.size() && source[i] == u'0' &&
               (source[i + 1] == u'x' || source[i + 1] == u'X')) {
        base = 16;
        i += 2;
    }
    if (i == source.size())
        return std::nullopt;

    // Hexadecimal takes any 32-bit pattern ("$FFFFFFFF" is -1); decimal must fit the int range.
    const quint64 limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    quint64 magnitude = 0;
    for (; i < source.size(); ++i) {
        const char16_t c = source[i].unicode();
        int digit = -1;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (base == 16 && asciiLower(c) >= u'a' && asciiLower(c) <= u'f')
            digit = asciiLower(c) - u'a' + 10;
        if (digit < 0)
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    const quint32 bits = quint32(magnitude);
    return int(negative ? quint32(0) - bits : bits);
}

} // namespace lessora::ini
