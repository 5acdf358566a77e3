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
#include <utility>

namespace lessora {

namespace {

bool isLineBreak(QChar c) {
    return c == u'\r' || c == u'\n';
}

// The lines of a text, one after another. Lines end at CR LF, at a lone CR and at a lone LF.
// The next CR and the next LF are each found with the library's vectorised search, once as the
// lines pass them, rather than character by character.
class Lines {
public:
    explicit Lines(QStringView text)
        : m_text(text) {}

    // Where the line that starts at `start` ends, and where the next one starts.
    std::pair<qsizetype, qsizetype> lineAt(qsizetype start) {
        const qsizetype end =
            std::min(nextOf(u'\n', m_nextLf, start), nextOf(u'\r', m_nextCr, start));
        qsizetype next = end + 1;
        if (end + 1 < m_text.size() && m_text[end] == u'\r' && m_text[end + 1] == u'\n')
            ++next;
        return {end, next};
    }

private:
    // The first `c` at or after `from`, or the text's end; `found` keeps the last answer.
    qsizetype nextOf(char16_t c, qsizetype& found, qsizetype from) const {
        if (found < from) {
            found = m_text.indexOf(QChar(c), from);
            if (found < 0)
                found = m_text.size();
        }
        return found;
    }

    QStringView m_text;
    qsizetype m_nextLf = -1;
    qsizetype m_nextCr = -1;
};

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

// The first tab-separated field of the text, and the rest after its tab (null when none).
std::pair<QStringView, QStringView> nextField(QStringView text) {
    const qsizetype tab = text.indexOf(u'\t');
    if (tab < 0)
        return {text, QStringView()};
    return {text.first(tab), text.sliced(tab + 1)};
}

QString intervalCell(QStringView field, QChar decimalSeparator, RecentTexts& recent) {
    const QStringView trimmed = trimmedView(field);
    if (std::optional<QString> clamped = clampedIntervalText(trimmed, decimalSeparator))
        return *std::move(clamped);
    return trimmed.isEmpty() ? trimmed.toString() : recent.take(trimmed);
}

// Fills an empty row from one line; the No cell is left to the table, which numbers pasted rows.
void fillRow(LessonRow& row, QStringView line, QChar decimalSeparator, RecentTexts& intervals) {
    const auto [speaker, afterSpeaker] = nextField(line);
    const QStringView code = trimmedView(speaker);
    if (const Speaker* known = speakerOfCode(code)) {
        row[ColSpeaker] = known->code; // shared texts: no copy per row
        row[ColLanguage] = known->language;
    } else {
        row[ColSpeaker] = asciiUppercased(code.toString());
    }
    if (afterSpeaker.isNull())
        return;
    const auto [text, afterText] = nextField(afterSpeaker);
    row[ColText] = text.toString();
    if (!afterText.isNull())
        row[ColInterval] = intervalCell(nextField(afterText).first, decimalSeparator, intervals);
}

} // namespace

QList<LessonRow> rowsFromClipboardText(QStringView text, QChar decimalSeparator) {
    const QStringView kept = keptLines(text);
    QList<LessonRow> rows;
    if (kept.isEmpty())
        return rows;
    // The rows are not counted first: that would read the whole text once more, while the
    // list grows in place (a large one is remapped, not copied).
    Lines lines(kept);
    RecentTexts intervals; // a lesson has few distinct pauses: its rows share their texts
    for (qsizetype start = 0; start <= kept.size();) {
        const auto [end, next] = lines.lineAt(start);
        fillRow(rows.emplaceBack(), kept.sliced(start, end - start), decimalSeparator, intervals);
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
