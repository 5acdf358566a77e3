#include "lesson/ClipboardPaste.h"

#include "lesson/LessonCursor.h"
#include "lesson/RowRules.h"
#include "platform/Clipboard.h"
#include "platform/MessageBoxes.h"
#include "settings/AsciiCase.h"
#include "settings/Speakers.h"

#include <QStringView>
#include <algorithm>
#include <utility>

namespace lessora {

namespace {

bool isLineBreak(QChar c) {
    return c == u'\r' || c == u'\n';
}

// Where the line that starts at `start` ends, and where the next one starts. Lines end at
// CR LF, at a lone CR and at a lone LF.
std::pair<qsizetype, qsizetype> lineAt(QStringView text, qsizetype start) {
    qsizetype end = start;
    while (end < text.size() && !isLineBreak(text[end]))
        ++end;
    qsizetype next = end + 1;
    if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n')
        ++next;
    return {end, next};
}

// The text without its trailing lines that hold only characters of code 32 or below (line
// breaks, blanks, tabs), and the number of lines it has then (empty lines within count).
std::pair<QStringView, qsizetype> keptLines(QStringView text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].unicode() <= 32)
        --end;
    if (end == 0)
        return {QStringView(), 0};
    // The last kept line ends at the first line break after its last visible character.
    while (end < text.size() && !isLineBreak(text[end]))
        ++end;
    const QStringView kept = text.first(end);
    qsizetype lines = 1;
    for (qsizetype i = 0; i < kept.size(); ++i) {
        if (kept[i] == u'\n' ||
            (kept[i] == u'\r' && (i + 1 == kept.size() || kept[i + 1] != u'\n')))
            ++lines;
    }
    return {kept, lines};
}

// The first tab-separated field of the text, and the rest after its tab (null when none).
std::pair<QStringView, QStringView> nextField(QStringView text) {
    const qsizetype tab = text.indexOf(u'\t');
    if (tab < 0)
        return {text, QStringView()};
    return {text.first(tab), text.sliced(tab + 1)};
}

QString intervalCell(QStringView field, QChar decimalSeparator) {
    const QStringView trimmed = trimmedView(field);
    return clampedIntervalText(trimmed, decimalSeparator).value_or(trimmed.toString());
}

// A row from one line; the No cell is left to the table, which numbers pasted rows.
LessonRow rowFromLine(QStringView line, QChar decimalSeparator) {
    LessonRow row;
    const auto [speaker, afterSpeaker] = nextField(line);
    const QStringView code = trimmedView(speaker);
    if (const Speaker* known = speakerOfCode(code)) {
        row[ColSpeaker] = known->code; // shared texts: no copy per row
        row[ColLanguage] = known->language;
    } else {
        row[ColSpeaker] = asciiUppercased(code.toString());
    }
    if (afterSpeaker.isNull())
        return row;
    const auto [text, afterText] = nextField(afterSpeaker);
    row[ColText] = text.toString();
    if (!afterText.isNull())
        row[ColInterval] = intervalCell(nextField(afterText).first, decimalSeparator);
    return row;
}

} // namespace

QList<LessonRow> rowsFromClipboardText(QStringView text, QChar decimalSeparator) {
    const auto [kept, lineCount] = keptLines(text);
    QList<LessonRow> rows;
    rows.reserve(lineCount);
    for (qsizetype start = 0; rows.size() < lineCount;) {
        const auto [end, next] = lineAt(kept, start);
        rows.append(rowFromLine(kept.sliced(start, end - start), decimalSeparator));
        start = next;
    }
    return rows;
}

void pasteFromClipboard(LessonCursor& grid, ClipboardText& clipboard, MessageBoxes& messages,
                        QChar decimalSeparator) {
    if (!clipboard.hasText()) {
        messages.showMessage(kNoClipboardText);
        return;
    }
    // The text ends at its first NUL character, as the system's text format does.
    const QString clipboardText = clipboard.text();
    QStringView text = clipboardText;
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
    grid.table().setRows(std::move(rows), LessonTable::Numbering::ByPosition);
    if (row >= 0) {
        grid.makeRowCurrent(std::min(row, grid.table().rows() - 1));
        grid.setCurrentColumn(column);
    }
}

} // namespace lessora
