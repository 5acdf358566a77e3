#pragma once

#include "lesson/LessonTable.h"

#include <QChar>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringView>

namespace lessora {

class ClipboardText;
class LessonCursor;
class MessageBoxes;

inline QString noClipboardText() {
    return QCoreApplication::translate("Lesson", "クリップボードに文字列がありません。");
}

// The rows that tab-separated lines (speaker, text, interval) make: one row per line, line
// breaks CR LF, CR or LF, blank lines at the end dropped. The speaker is normalised and gives
// the language, the text is kept as it is, the interval is trimmed and clamped to 0..10. The No
// cells are left empty: the table numbers the rows by position when they are pasted.
QList<LessonRow> rowsFromClipboardText(QStringView text, QChar decimalSeparator);

// Replaces the whole table with the rows of the clipboard's text, in one model change, or
// tells the user that the clipboard holds no text: none at all, or none that makes a row (empty,
// or only line breaks and blanks). The current cell stays where it was, moved to the last row
// when the table got shorter.
void pasteFromClipboard(LessonCursor& grid, ClipboardText& clipboard, MessageBoxes& messages,
                        QChar decimalSeparator);

} // namespace lessora
