#pragma once

#include <QCoreApplication>
#include <QString>

namespace lessora {

class LessonCursor;
class MessageBoxes;

// The row editing commands. Each works on the grid's table and current cell, keeps the No
// column numbered by position and leaves the row it worked on current. A command that cannot
// apply does nothing, silently. None of them touches playback.

// Inserts an empty row before the current row, or after the last row when there is none.
// The current column and the keyboard focus stay as they are.
void insertRow(LessonCursor& grid);

// Appends ten empty rows, numbered from their positions (the rows before them keep their
// numbers), and leaves the first of them current in the Speaker column, with the grid
// scrolled to its left edge and holding the keyboard focus.
void appendTenRows(LessonCursor& grid);

// Deletes the current row without asking; the row that followed it, or else the new last
// row, becomes current.
void deleteCurrentRow(LessonCursor& grid);

// Swap the Speaker, Language, Text and Interval of the current row with the row above or
// below; the moved row stays current.
void moveCurrentRowUp(LessonCursor& grid);
void moveCurrentRowDown(LessonCursor& grid);

inline QString clearConfirmation() {
    return QCoreApplication::translate(
        "Lesson", "入力されている内容をすべて消去します。\r\nよろしいですか？");
}

// After the user confirmed: ten empty numbered rows, the first current in the Speaker
// column, scrolled to the left edge, with the keyboard focus.
void clearTable(LessonCursor& grid, MessageBoxes& messages);

} // namespace lessora
