#include "lesson/RowRules.h"

#include "lesson/LessonTable.h"
#include "settings/AsciiCase.h"
#include "settings/Speakers.h"

#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
#include <cfenv>
#include <cmath>
#include <limits>

namespace lessora {

QString trimText(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin].unicode() <= 32)
        ++begin;
    while (end > begin && text[end - 1].unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

QString normalisedSpeakerCode(const QString& speakerCell) {
    return asciiUppercased(trimText(speakerCell));
}

QString languageOfSpeakerCode(const QString& speakerCell) {
    const Speaker* speaker = speakerOfCode(trimText(speakerCell));
    return speaker ? speaker->language : QString();
}

void renumber(LessonTable& table) {
    for (int r = 0; r < table.rows(); ++r)
        table.setCell(ColNo, r, QString::number(r + 1));
}

namespace {

// Compiling the pattern costs far more than matching it, and paste reads a cell per line.
const QRegularExpression& intervalSyntax(QChar decimalSeparator) {
    thread_local QChar cachedSeparator;
    thread_local QRegularExpression cached;
    if (cached.pattern().isEmpty() || cachedSeparator != decimalSeparator) {
        const QString sep = QRegularExpression::escape(QString(decimalSeparator));
        cached.setPattern(
            QStringLiteral("^[+-]?(?:[0-9]+(?:%1[0-9]*)?|%1[0-9]+)(?:[eE][+-]?[0-9]+)?$").arg(sep));
        cachedSeparator = decimalSeparator;
    }
    return cached;
}

} // namespace

std::optional<double> intervalNumber(const QString& cell, QChar decimalSeparator) {
    const QString text = trimText(cell);
    const QString upper = text.toUpper();
    if (upper == u"INF" || upper == u"+INF")
        return std::numeric_limits<double>::infinity();
    if (upper == u"-INF")
        return -std::numeric_limits<double>::infinity();
    if (upper == u"NAN")
        return std::numeric_limits<double>::quiet_NaN();

    if (!intervalSyntax(decimalSeparator).match(text).hasMatch())
        return std::nullopt;

    QString plain = text;
    plain.replace(decimalSeparator, u'.');
    bool ok = false;
    const double value = QLocale::c().toDouble(plain, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<QString> clampedIntervalText(const QString& cell, QChar decimalSeparator) {
    const std::optional<double> value = intervalNumber(cell, decimalSeparator);
    if (!value || std::isnan(*value))
        return std::nullopt;
    if (*value < 0)
        return QStringLiteral("0");
    if (*value > 10)
        return QStringLiteral("10");
    return std::nullopt;
}

int rowPauseMs(const QString& intervalCell, int defaultPauseMs, QChar decimalSeparator) {
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
    return !trimText(table.cell(ColText, row)).isEmpty();
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
