// Writes lesson files: the byte-order mark and one line of JSON in which every byte is
// printable ASCII, so the file reads the same in any editor and under any code page.
#include "files/LessonFile.h"

#include "lesson/RowRules.h"

#include <array>
#include <string_view>

namespace lessora {

namespace {

// How each code unit below U+0080 is written inside a string: itself (0), a backslash and the
// given letter, or (1) a \u escape. Every code unit from U+0080 on takes a \u escape.
constexpr std::array<char, 128> kAsciiEscapes = [] {
    std::array<char, 128> escapes{};
    for (int unit = 0; unit < 0x20; ++unit)
        escapes[unit] = 1;
    escapes['"'] = '"';
    escapes['/'] = '/';
    escapes['\\'] = '\\';
    escapes['\b'] = 'b';
    escapes['\t'] = 't';
    escapes['\n'] = 'n';
    escapes['\f'] = 'f';
    escapes['\r'] = 'r';
    return escapes;
}();

// The most bytes one code unit can take: \uXXXX.
constexpr qsizetype kMaxBytesPerUnit = 6;

// Compact JSON into one byte array, written through a raw pointer into room reserved ahead:
// appending byte by byte through QByteArray costs more than the escaping itself.
class CompactJsonWriter {
public:
    explicit CompactJsonWriter(qsizetype expectedSize) { m_out.resize(expectedSize); }

    void raw(std::string_view text) {
        char* out = room(qsizetype(text.size()));
        std::copy(text.begin(), text.end(), out);
        m_size += qsizetype(text.size());
    }

    // A member of the object being written: a comma before all but the first, then the name.
    void name(std::string_view memberName) {
        if (!m_firstMember)
            raw(",");
        m_firstMember = false;
        raw("\"");
        raw(memberName);
        raw("\":");
    }
    void beginObject() {
        raw("{");
        m_firstMember = true;
    }
    void endObject() {
        raw("}");
        m_firstMember = false;
    }

    void number(qint64 value) {
        char digits[24];
        char* end = std::end(digits);
        char* first = end;
        const bool negative = value < 0;
        quint64 magnitude = negative ? quint64(0) - quint64(value) : quint64(value);
        do {
            *--first = char('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (negative)
            *--first = '-';
        raw(std::string_view(first, std::size_t(end - first)));
    }
    void boolean(bool value) { raw(value ? "true" : "false"); }
    // A number written as a JSON string, as the No cells that hold one are stored.
    void numberString(qint64 value) {
        raw("\"");
        number(value);
        raw("\"");
    }
    void string(QStringView text) {
        char* const start = room(text.size() * kMaxBytesPerUnit + 2);
        char* out = start;
        *out++ = '"';
        for (const QChar c : text) {
            const char16_t unit = c.unicode();
            const char escape = unit < 0x80 ? kAsciiEscapes[unit] : 1;
            if (escape == 0) {
                *out++ = char(unit);
            } else if (escape != 1) {
                *out++ = '\\';
                *out++ = escape;
            } else {
                out = unicodeEscape(out, unit);
            }
        }
        *out++ = '"';
        m_size += out - start;
    }

    QByteArray take() {
        m_out.resize(m_size);
        return std::move(m_out);
    }

private:
    static char* unicodeEscape(char* out, char16_t unit) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        *out++ = '\\';
        *out++ = 'u';
        *out++ = kHex[(unit >> 12) & 0xF];
        *out++ = kHex[(unit >> 8) & 0xF];
        *out++ = kHex[(unit >> 4) & 0xF];
        *out++ = kHex[unit & 0xF];
        return out;
    }

    // Room for `bytes` more bytes at the end; the array grows geometrically.
    char* room(qsizetype bytes) {
        if (m_size + bytes > m_out.size())
            m_out.resize(std::max(m_size + bytes, m_out.size() * 2));
        return m_out.data() + m_size;
    }

    QByteArray m_out; // m_size bytes written, the rest reserved
    qsizetype m_size = 0;
    bool m_firstMember = false;
};

// Speaker, Language, Text and Interval are all empty after trimming; No takes no part.
bool isBlankRow(const LessonRow& row) {
    for (int column : {ColSpeaker, ColLanguage, ColText, ColInterval}) {
        if (!trimmedView(row[column]).isEmpty())
            return false;
    }
    return true;
}

// A row's No cell: the number it holds the text of (0 for none) or its text.
void writeRow(CompactJsonWriter& json, int number, const LessonRow& row) {
    json.beginObject();
    json.name("No");
    if (number > 0)
        json.numberString(number);
    else
        json.string(row[ColNo]);
    json.name("Speaker");
    json.string(row[ColSpeaker]);
    json.name("Language");
    json.string(row[ColLanguage]);
    json.name("Text");
    json.string(row[ColText]);
    json.name("Interval");
    json.string(row[ColInterval]);
    json.endObject();
}

qsizetype expectedSize(const LessonRow& row) {
    constexpr qsizetype kRowSyntax = 64; // member names, quotes, braces and commas
    qsizetype size = kRowSyntax;
    for (const QString& cell : row)
        size += cell.size();
    return size;
}

// The practice settings that differ from their defaults, so that a lesson without any keeps the
// bytes it always had.
void writePracticeSettings(CompactJsonWriter& json, const PracticeSettings& practice) {
    const PracticeSettings defaults;
    const auto number = [&json](std::string_view name, int value, int byDefault) {
        if (value != byDefault) {
            json.name(name);
            json.number(value);
        }
    };
    const auto flag = [&json](std::string_view name, bool value, bool byDefault) {
        if (value != byDefault) {
            json.name(name);
            json.boolean(value);
        }
    };
    number("JapaneseRateIndex", practice.japaneseRateIndex, defaults.japaneseRateIndex);
    flag("SlowestEnglish", practice.slowestEnglish, defaults.slowestEnglish);
    if (practice.role != defaults.role) {
        json.name("Role");
        json.string(practice.role);
    }
    flag("ModelAfterAnswer", practice.modelAfterAnswer, defaults.modelAfterAnswer);
    number("AnswerGapIndex", practice.answerGapIndex, defaults.answerGapIndex);
    number("LineRepeatCount", practice.lineRepeatCount, defaults.lineRepeatCount);
    flag("ShadowingGap", practice.shadowingGap, defaults.shadowingGap);
    flag("ShowReadings", practice.showReadings, defaults.showReadings);
    flag("ShowAccent", practice.showAccent, defaults.showAccent);
    flag("RecordAnswers", practice.recordAnswers, defaults.recordAnswers);
    flag("HearOwnAnswer", practice.hearOwnAnswer, defaults.hearOwnAnswer);
}

// The whole file. rowAt(i) gives row i as {number, cells}; see writeRow.
template <typename RowAt>
QByteArray writeFile(const LessonSettings& settings, qsizetype rowCount, RowAt rowAt) {
    qsizetype expected = 128;
    for (qsizetype i = 0; i < rowCount; ++i)
        expected += expectedSize(rowAt(i).cells);
    CompactJsonWriter json(expected);
    json.raw("\xEF\xBB\xBF");
    // The root's members in the order files have them. Members that files may lack (see
    // writePracticeSettings) are written only when they hold something, before "Rows", which
    // stays last.
    json.beginObject();
    json.name("EnglishRateIndex");
    json.number(settings.englishRateIndex);
    json.name("IntervalIndex");
    json.number(settings.intervalIndex);
    json.name("RepeatIndex");
    json.number(settings.repeatIndex);
    json.name("HideText");
    json.boolean(settings.hideText);
    writePracticeSettings(json, settings.practice);
    json.name("Rows");
    json.raw("[");
    bool firstRow = true;
    for (qsizetype i = 0; i < rowCount; ++i) {
        const auto row = rowAt(i);
        if (isBlankRow(row.cells))
            continue;
        if (!firstRow)
            json.raw(",");
        firstRow = false;
        writeRow(json, row.number, row.cells);
    }
    json.raw("]");
    json.endObject();
    return json.take();
}

} // namespace

void appendJsonString(QByteArray& out, QStringView text) {
    CompactJsonWriter json(text.size() + 2);
    json.string(text);
    out.append(json.take());
}

QByteArray writeLessonFile(const LessonSettings& settings, const QList<LessonRow>& rows) {
    return writeFile(settings, rows.size(), [&rows](qsizetype i) {
        return LessonTable::StoredRow{0, rows[i]};
    });
}

QByteArray writeLessonFile(const LessonSettings& settings, const LessonTable& table) {
    return writeFile(settings, table.rows(),
                     [&table](qsizetype i) { return table.storedRow(static_cast<int>(i)); });
}

} // namespace lessora
