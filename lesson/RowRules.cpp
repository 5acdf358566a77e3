#include "lesson/RowRules.h"

#include "lesson/LessonTable.h"
#include "settings/AsciiCase.h"
#include "settings/Speakers.h"

#include <algorithm>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace lessora {

QStringView trimmedView(QStringView text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.sliced(begin, end - begin);
}

QString trimText(const QString& text) {
    const QStringView trimmed = trimmedView(text);
    return trimmed.size() == text.size() ? text : trimmed.toString();
}

QString normalisedSpeakerCode(const QString& speakerCell) {
    const QStringView trimmed = trimmedView(speakerCell);
    if (const Speaker* speaker = speakerOfCode(trimmed))
        return speaker->code;
    return asciiUppercased(trimmed.toString());
}

QString languageOfSpeakerCode(QStringView speakerCell) {
    const Speaker* speaker = speakerOfCode(trimmedView(speakerCell));
    return speaker ? speaker->language : QString();
}

void renumber(LessonTable& table) {
    table.renumber();
}

namespace {

bool isAsciiDigit(QChar c) {
    return c >= u'0' && c <= u'9';
}

// The words an Interval cell may hold instead of digits, as QString::toUpper reads them: only
// texts this short can be one, and only non-ASCII ones need the full case mapping.
std::optional<double> intervalWord(QStringView text) {
    constexpr qsizetype kLongestWord = 4;
    // A number starts with a digit, which no word's upper case does.
    if (text.isEmpty() || text.size() > 2 * kLongestWord || isAsciiDigit(text.front()))
        return std::nullopt;
    const bool ascii =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    // An ASCII text is compared as it is, without a copy.
    const QString upper = ascii ? QString() : text.toString().toUpper();
    const auto is = [&](QStringView word) {
        return ascii ? equalsIgnoringAsciiCase(text, word) : upper == word;
    };
    if (is(u"INF") || is(u"+INF"))
        return std::numeric_limits<double>::infinity();
    if (is(u"-INF"))
        return -std::numeric_limits<double>::infinity();
    if (is(u"NAN"))
        return std::numeric_limits<double>::quiet_NaN();
    return std::nullopt;
}

// The text as a C number ('.' for the separator, no leading '+') when it is an optional sign,
// digits with at most one decimal separator, at least one digit, and an optional exponent.
std::optional<std::string> plainNumber(QStringView text, QChar decimalSeparator) {
    std::string plain;
    plain.reserve(text.size());
    qsizetype i = 0;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        if (text[i] == u'-')
            plain += '-';
        ++i;
    }
    bool digits = false;
    bool separator = false;
    for (; i < text.size(); ++i) {
        if (isAsciiDigit(text[i])) {
            digits = true;
            plain += char(text[i].unicode());
        } else if (text[i] == decimalSeparator && !separator) {
            separator = true;
            plain += '.';
        } else {
            break;
        }
    }
    if (!digits)
        return std::nullopt;
    if (i < text.size() && (text[i] == u'e' || text[i] == u'E')) {
        plain += 'e';
        ++i;
        if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
            plain += char(text[i++].unicode());
        const qsizetype exponentStart = i;
        for (; i < text.size() && isAsciiDigit(text[i]); ++i)
            plain += char(text[i].unicode());
        if (i == exponentStart)
            return std::nullopt;
    }
    if (i != text.size())
        return std::nullopt;
    return plain;
}

} // namespace

std::optional<double> intervalNumber(QStringView cell, QChar decimalSeparator) {
    const QStringView text = trimmedView(cell);
    if (const std::optional<double> word = intervalWord(text))
        return word;
    const std::optional<std::string> plain = plainNumber(text, decimalSeparator);
    if (!plain)
        return std::nullopt;
    // Correctly rounded; a value beyond a double's range, above or below, is no number.
    double value = 0;
    const char* end = plain->data() + plain->size();
    const auto [stop, error] = std::from_chars(plain->data(), end, value);
    if (error != std::errc() || stop != end || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<QString> clampedIntervalText(QStringView cell, QChar decimalSeparator) {
    const std::optional<double> value = intervalNumber(cell, decimalSeparator);
    if (!value || std::isnan(*value))
        return std::nullopt;
    // Shared texts: paste writes one of them for every interval outside 0..10.
    static const QString zero = QStringLiteral("0");
    static const QString ten = QStringLiteral("10");
    if (*value < 0)
        return zero;
    if (*value > 10)
        return ten;
    return std::nullopt;
}

int rowPauseMs(QStringView intervalCell, int defaultPauseMs, QChar decimalSeparator) {
    const std::optional<double> value = intervalNumber(intervalCell, decimalSeparator);
    // Not-a-number cannot be clamped; it pauses like a cell that holds no number.
    if (!value || std::isnan(*value))
        return defaultPauseMs;
    const double ms = std::clamp(*value, 0.0, 10.0) * 1000.0;
    const int previousMode = std::fegetround();
    std::fesetround(FE_TONEAREST); // halves go to the even neighbour
    const double rounded = std::nearbyint(ms);
    std::fesetround(previousMode);
    return static_cast<int>(rounded);
}

bool rowHasText(const LessonTable& table, int row) {
    return !trimmedView(table.cell(ColText, row)).isEmpty();
}

bool isSpeakableRow(const LessonTable& table, int row) {
    if (row < 0 || row >= table.rows() || !rowHasText(table, row))
        return false;
    return !languageOfSpeakerCode(table.cell(ColSpeaker, row)).isEmpty();
}

void applyEditingDone(LessonTable& table, int column, int row, QChar decimalSeparator) {
    if (row < 0 || row >= table.rows())
        return;
    if (column == ColSpeaker) {
        const QString code = normalisedSpeakerCode(table.cell(ColSpeaker, row));
        const QString language = languageOfSpeakerCode(code);
        if (language.isEmpty())
            return;
        table.setCell(ColSpeaker, row, code);
        table.setCell(ColLanguage, row, language);
    } else if (column == ColInterval) {
        if (const auto clamped =
                clampedIntervalText(table.cell(ColInterval, row), decimalSeparator))
            table.setCell(ColInterval, row, *clamped);
    }
}

} // namespace lessora
