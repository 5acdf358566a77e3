#pragma once

#include <QChar>
#include <QString>
#include <QStringView>
#include <optional>

namespace lessora {

class LessonTable;

// The rules every part of the program applies to lesson rows.

// Removes every character whose code is 32 or below from both ends (U+3000 and U+00A0 stay).
QString trimText(const QString& text);
QStringView trimmedView(QStringView text);

// Trimmed, with the ASCII letters a to z upper-cased; nothing else changes.
QString normalisedSpeakerCode(const QString& speakerCell);

// "English" for the codes A, B, C; "Japanese" for Q, R, S; empty text for anything else.
// Takes the Speaker cell as it stands and normalises it first.
QString languageOfSpeakerCode(QStringView speakerCell);

// Writes the decimal text of r + 1 into the No cell of every row r.
void renumber(LessonTable& table);

// The Interval cell read as a number: trimmed, an optional sign, digits with at most one
// decimal separator (the user's), an optional exponent; or INF, +INF, -INF, NAN in any
// letter case. Nothing when the text is no such number or lies outside a double's range.
std::optional<double> intervalNumber(QStringView cell, QChar decimalSeparator);

// The text an Interval cell just typed or pasted must become: "0" below 0, "10" above 10;
// nothing when the cell is to be left to the writer (no number, 0 to 10, not-a-number).
std::optional<QString> clampedIntervalText(QStringView cell, QChar decimalSeparator);

// The pause after a row in whole milliseconds: the default pause when the trimmed cell is
// empty, no number or not-a-number; otherwise the seconds limited to 0..10, times 1000,
// rounded half to even.
int rowPauseMs(QStringView intervalCell, int defaultPauseMs, QChar decimalSeparator);

// The trimmed Text cell is not empty.
bool rowHasText(const LessonTable& table, int row);

// Within the table, with text, and a speaker code of A, B, C, Q, R or S.
bool isSpeakableRow(const LessonTable& table, int row);

// Tidies a cell after the user edited it: a speaker code is normalised and fills the
// Language cell; an Interval is clamped to 0..10. Only ever writes into that row.
void applyEditingDone(LessonTable& table, int column, int row, QChar decimalSeparator);

} // namespace lessora
