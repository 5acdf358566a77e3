// Writes lesson files: the byte-order mark and one line of JSON in which every byte is
// printable ASCII, so the file reads the same in any editor and under any code page.
#include "files/LessonFile.h"

#include "lesson/RowRules.h"

namespace lessora {

namespace {

void appendUnicodeEscape(QByteArray& out, char16_t unit) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const char escape[6] = {'\\',
                            'u',
                            kHex[(unit >> 12) & 0xF],
                            kHex[(unit >> 8) & 0xF],
                            kHex[(unit >> 4) & 0xF],
                            kHex[unit & 0xF]};
    out.append(escape, sizeof escape);
}

// The escape of a code unit below U+0080 that is not written as itself, or nothing.
const char* shortEscape(char16_t unit) {
    switch (unit) {
    case u'"':
        return "\\\"";
    case u'/':
        return "\\/";
    case u'\\':
        return "\\\\";
    case u'\b':
        return "\\b";
    case u'\t':
        return "\\t";
    case u'\n':
        return "\\n";
    case u'\f':
        return "\\f";
    case u'\r':
        return "\\r";
    default:
        return nullptr;
    }
}

// Speaker, Language, Text and Interval are all empty after trimming; No takes no part.
bool isBlankRow(const LessonRow& row) {
    for (int column : {ColSpeaker, ColLanguage, ColText, ColInterval}) {
        if (!trimText(row[column]).isEmpty())
            return false;
    }
    return true;
}

void appendMember(QByteArray& out, const char* name, QStringView value) {
    out.append(name);
    appendJsonString(out, value);
}

void appendRow(QByteArray& out, const LessonRow& row) {
    appendMember(out, "{\"No\":", row[ColNo]);
    appendMember(out, ",\"Speaker\":", row[ColSpeaker]);
    appendMember(out, ",\"Language\":", row[ColLanguage]);
    appendMember(out, ",\"Text\":", row[ColText]);
    appendMember(out, ",\"Interval\":", row[ColInterval]);
    out.append('}');
}

void appendInteger(QByteArray& out, const char* name, int value) {
    out.append(name);
    out.append(QByteArray::number(value));
}

void appendBoolean(QByteArray& out, const char* name, bool value) {
    out.append(name);
    out.append(value ? "true" : "false");
}

// Only the members that differ from their defaults, so that a lesson without practice
// settings keeps the bytes it always had.
void appendPracticeSettings(QByteArray& out, const PracticeSettings& practice) {
    const PracticeSettings defaults;
    if (practice.japaneseRateIndex != defaults.japaneseRateIndex)
        appendInteger(out, ",\"JapaneseRateIndex\":", practice.japaneseRateIndex);
    if (practice.slowestEnglish != defaults.slowestEnglish)
        appendBoolean(out, ",\"SlowestEnglish\":", practice.slowestEnglish);
    if (practice.role != defaults.role)
        appendMember(out, ",\"Role\":", practice.role);
    if (practice.modelAfterAnswer != defaults.modelAfterAnswer)
        appendBoolean(out, ",\"ModelAfterAnswer\":", practice.modelAfterAnswer);
    if (practice.answerGapIndex != defaults.answerGapIndex)
        appendInteger(out, ",\"AnswerGapIndex\":", practice.answerGapIndex);
    if (practice.lineRepeatCount != defaults.lineRepeatCount)
        appendInteger(out, ",\"LineRepeatCount\":", practice.lineRepeatCount);
    if (practice.shadowingGap != defaults.shadowingGap)
        appendBoolean(out, ",\"ShadowingGap\":", practice.shadowingGap);
    if (practice.showReadings != defaults.showReadings)
        appendBoolean(out, ",\"ShowReadings\":", practice.showReadings);
}

} // namespace

void appendJsonString(QByteArray& out, QStringView text) {
    out.append('"');
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit >= 0x20 && unit < 0x80 && unit != u'"' && unit != u'/' && unit != u'\\')
            out.append(static_cast<char>(unit));
        else if (const char* escape = shortEscape(unit))
            out.append(escape, 2);
        else
            appendUnicodeEscape(out, unit);
    }
    out.append('"');
}

QByteArray writeLessonFile(const LessonSettings& settings, const QList<LessonRow>& rows) {
    QByteArray out;
    qsizetype estimate = 128;
    for (const LessonRow& row : rows) {
        estimate += 64;
        for (const QString& cell : row)
            estimate += cell.size();
    }
    out.reserve(estimate);

    out.append("\xEF\xBB\xBF{\"EnglishRateIndex\":");
    out.append(QByteArray::number(settings.englishRateIndex));
    out.append(",\"IntervalIndex\":");
    out.append(QByteArray::number(settings.intervalIndex));
    out.append(",\"RepeatIndex\":");
    out.append(QByteArray::number(settings.repeatIndex));
    out.append(",\"HideText\":");
    out.append(settings.hideText ? "true" : "false");
    appendPracticeSettings(out, settings.practice);
    out.append(",\"Rows\":[");
    bool first = true;
    for (const LessonRow& row : rows) {
        if (isBlankRow(row))
            continue;
        if (!first)
            out.append(',');
        first = false;
        appendRow(out, row);
    }
    out.append("]}");
    return out;
}

} // namespace lessora
