#include "lesson/RowCommands.h"

#include "lesson/LessonCursor.h"
#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"
#include "platform/MessageBoxes.h"

#include <algorithm>

namespace lessora {

namespace {

LessonRow emptyNumberedRow(int row) {
    LessonRow cells;
    cells[ColNo] = QString::number(row + 1);
    return cells;
}

QList<LessonRow> emptyNumberedRows(int first, int count) {
    QList<LessonRow> block;
    block.reserve(count);
    for (int r = first; r < first + count; ++r)
        block.append(emptyNumberedRow(r));
    return block;
}

bool hasCurrentRow(const LessonCursor& grid) {
    const int current = grid.currentRow();
    return current >= 0 && current < grid.table().rows();
}

// Where the user goes on typing after a command that filled in new rows.
void startTypingAt(LessonCursor& grid, int row) {
    grid.makeRowCurrent(row);
    grid.setCurrentColumn(ColSpeaker);
    grid.scrollToLeftEdge();
    grid.takeFocus();
}

} // namespace

void insertRow(LessonCursor& grid) {
    LessonTable& table = grid.table();
    const int current = grid.currentRow();
    const int at = current >= 0 ? std::min(current, table.rows()) : table.rows();
    table.insertBlock(at, {emptyNumberedRow(at)});
    renumber(table);
    grid.makeRowCurrent(at);
}

void appendTenRows(LessonCursor& grid) {
    LessonTable& table = grid.table();
    const int first = table.rows();
    table.insertBlock(first, emptyNumberedRows(first, 10));
    startTypingAt(grid, first);
}

void deleteCurrentRow(LessonCursor& grid) {
    if (!hasCurrentRow(grid))
        return;
    LessonTable& table = grid.table();
    const int deleted = grid.currentRow();
    table.removeRows(deleted, 1);
    renumber(table);
    if (table.rows() > 0)
        grid.makeRowCurrent(std::min(deleted, table.rows() - 1));
}

void moveCurrentRowUp(LessonCursor& grid) {
    LessonTable& table = grid.table();
    if (table.rows() <= 1 || !hasCurrentRow(grid) || grid.currentRow() == 0)
        return;
    const int row = grid.currentRow();
    table.swapCells(row - 1, row, ColSpeaker); // the No cells stay with the positions
    renumber(table);
    grid.makeRowCurrent(row - 1);
}

void moveCurrentRowDown(LessonCursor& grid) {
    LessonTable& table = grid.table();
    if (table.rows() <= 1 || !hasCurrentRow(grid) || grid.currentRow() == table.rows() - 1)
        return;
    const int row = grid.currentRow();
    table.swapCells(row, row + 1, ColSpeaker);
    renumber(table);
    grid.makeRowCurrent(row + 1);
}

void clearTable(LessonCursor& grid, MessageBoxes& messages) {
    if (!messages.confirm(clearConfirmation()))
        return;
    grid.table().setRows(QList<LessonRow>(10), LessonTable::Numbering::ByPosition);
    startTypingAt(grid, 0);
}

} // namespace lessora
