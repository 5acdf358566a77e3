#include "lesson/ClipboardPaste.h"

#include "lesson/LessonCursor.h"
#include "lesson/RecentTexts.h"
#include "lesson/RowRules.h"
#include "platform/Clipboard.h"
#include "platform/MessageBoxes.h"
#include "settings/AsciiCase.h"
#include "settings/Speakers.h"

#include <QStringView>
#include <algorithm>
#include <bit>
#include <utility>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace lessora {

namespace {

bool isLineBreak(QChar c) {
    return c == u'\r' || c == u'\n';
}

// The index of the first character below U+0020 (tab, CR, LF or another control character) at
// or after `from`, or the text's end: one scan finds both the fields and the end of a line.
qsizetype nextControl(QStringView text, qsizetype from) {
    const char16_t* units = text.utf16();
    qsizetype i = from;
#ifdef __SSE2__
    // Eight characters at a time: those that stay at 0 once 31 is taken off (saturating).
    const __m128i highestControl = _mm_set1_epi16(0x1F);
    for (; i + 8 <= text.size(); i += 8) {
        const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(units + i));
        const __m128i control =
            _mm_cmpeq_epi16(_mm_subs_epu16(chunk, highestControl), _mm_setzero_si128());
        if (const int mask = _mm_movemask_epi8(control))
            return i + std::countr_zero(unsigned(mask)) / 2;
    }
#endif
    while (i < text.size() && units[i] >= 0x20)
        ++i;
    return i;
}

// One line of the text: its first three tab-separated fields (the speaker, the text and the
// interval; null where the line has no tab before them), and where the next line starts. Lines
// end at CR LF, at a lone CR and at a lone LF.
struct Line {
    QStringView speaker;
    QStringView text;
    QStringView interval;
    qsizetype next = 0;
};

Line lineAt(QStringView text, qsizetype start) {
    // Each field ends at the next tab or at the line's end; a fourth field and more are not read.
    qsizetype ends[3];
    int tabs = 0;
    qsizetype end = start;
    for (;; ++end) {
        end = nextControl(text, end);
        if (end == text.size() || isLineBreak(text[end]))
            break;
        if (text[end] == u'\t' && tabs < 3)
            ends[tabs++] = end;
    }
    for (int field = tabs; field < 3; ++field)
        ends[field] = end;
    Line line;
    line.speaker = text.sliced(start, ends[0] - start);
    if (tabs > 0)
        line.text = text.sliced(ends[0] + 1, ends[1] - ends[0] - 1);
    if (tabs > 1)
        line.interval = text.sliced(ends[1] + 1, ends[2] - ends[1] - 1);
    line.next = end + 1;
    if (end + 1 < text.size() && text[end] == u'\r' && text[end + 1] == u'\n')
        ++line.next;
    return line;
}

// The text without its trailing lines that hold only characters of code 32 or below (line
// breaks, blanks, tabs); empty lines within stay.
QStringView keptLines(QStringView text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1].unicode() <= 32)
        --end;
    if (end == 0)
        return {};
    // The last kept line ends at the first line break after its last visible character.
    while (end < text.size() && !isLineBreak(text[end]))
        ++end;
    return text.first(end);
}

QString intervalCell(QStringView field, QChar decimalSeparator, RecentTexts& recent) {
    const QStringView trimmed = trimmedView(field);
    if (std::optional<QString> clamped = clampedIntervalText(trimmed, decimalSeparator))
        return *std::move(clamped);
    return trimmed.isEmpty() ? trimmed.toString() : recent.take(trimmed);
}

// Fills an empty row from one line; the No cell is left to the table, which numbers pasted rows.
void fillRow(LessonRow& row, const Line& line, QChar decimalSeparator, RecentTexts& intervals) {
    const QStringView code = trimmedView(line.speaker);
    if (const Speaker* known = speakerOfCode(code)) {
        row[ColSpeaker] = known->code; // shared texts: no copy per row
        row[ColLanguage] = known->language;
    } else {
        row[ColSpeaker] = asciiUppercased(code.toString());
    }
    if (line.text.isNull())
        return;
    row[ColText] = line.text.toString();
    if (!line.interval.isNull())
        row[ColInterval] = intervalCell(line.interval, decimalSeparator, intervals);
}

} // namespace

QList<LessonRow> rowsFromClipboardText(QStringView text, QChar decimalSeparator) {
    const QStringView kept = keptLines(text);
    QList<LessonRow> rows;
    if (kept.isEmpty())
        return rows;
    // The rows are not counted first: that would read the whole text once more, while the
    // list grows in place (a large one is remapped, not copied).
    RecentTexts intervals; // a lesson has few distinct pauses: its rows share their texts
    for (qsizetype start = 0; start <= kept.size();) {
        const Line line = lineAt(kept, start);
        fillRow(rows.emplaceBack(), line, decimalSeparator, intervals);
        start = line.next;
    }
    return rows;
}

void pasteFromClipboard(LessonCursor& grid, ClipboardText& clipboard, MessageBoxes& messages,
                        QChar decimalSeparator) {
    if (!clipboard.hasText()) {
        messages.showMessage(noClipboardText());
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
        messages.showMessage(noClipboardText());
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
