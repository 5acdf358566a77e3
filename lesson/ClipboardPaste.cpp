#include "lesson/ClipboardPaste.h"

#include "lesson/LessonCursor.h"
#include "lesson/RowRules.h"
#include "platform/Clipboard.h"
#include "platform/MessageBoxes.h"

#include <QStringView>
#include <algorithm>
#include <utility>

namespace lessora {

namespace {

// Lines split at CR LF, lone CR and lone LF; empty lines are kept.
QList<QStringView> linesOf(QStringView text) {
    QList<QStringView> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.sliced(start, i - start));
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    lines.append(text.sliced(start));
    return lines;
}

bool isBlank(QStringView line) {
    for (const QChar c : line) {
        if (c.unicode() > 32)
            return false;
    }
    return true;
}

QString intervalCell(QStringView field, QChar decimalSeparator) {
    const QString trimmed = trimText(field.toString());
    return clampedIntervalText(trimmed, decimalSeparator).value_or(trimmed);
}

LessonRow rowFromLine(int index, QStringView line, QChar decimalSeparator) {
    const QList<QStringView> fields = line.split(u'\t');
    LessonRow row;
    row[ColNo] = QString::number(index + 1);
    row[ColSpeaker] = normalisedSpeakerCode(fields[0].toString());
    row[ColLanguage] = languageOfSpeakerCode(row[ColSpeaker]);
    if (fields.size() > 1)
        row[ColText] = fields[1].toString();
    if (fields.size() > 2)
        row[ColInterval] = intervalCell(fields[2], decimalSeparator);
    return row;
}

} // namespace

QList<LessonRow> rowsFromClipboardText(const QString& text, QChar decimalSeparator) {
    QList<QStringView> lines = linesOf(text);
    while (!lines.isEmpty() && isBlank(lines.last()))
        lines.removeLast();

    QList<LessonRow> rows;
    rows.reserve(lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i)
        rows.append(rowFromLine(static_cast<int>(i), lines[i], decimalSeparator));
    return rows;
}

void pasteFromClipboard(LessonCursor& grid, ClipboardText& clipboard, MessageBoxes& messages,
                        QChar decimalSeparator) {
    if (!clipboard.hasText()) {
        messages.showMessage(kNoClipboardText);
        return;
    }
    // The text ends at its first NUL character, as the system's text format does.
    QString text = clipboard.text();
    if (const qsizetype nul = text.indexOf(QChar(u'\0')); nul >= 0)
        text.truncate(nul);
    QList<LessonRow> rows = rowsFromClipboardText(text, decimalSeparator);
    // Nothing to paste, for example from a clipboard owner that announced text and did not
    // deliver it in time: the lesson is not to be wiped by that.
    if (rows.isEmpty()) {
        messages.showMessage(kNoClipboardText);
        return;
    }

    // A whole new table is one model reset, which forgets the current cell; put it back
    // where a change of the row count would have left it.
    const int row = grid.currentRow();
    const int column = grid.currentColumn();
    grid.table().setRows(std::move(rows));
    if (row >= 0) {
        grid.makeRowCurrent(std::min(row, grid.table().rows() - 1));
        grid.setCurrentColumn(column);
    }
}

} // namespace lessora
