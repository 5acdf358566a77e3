#pragma once

#include <QAccessible>

class QModelIndex;
class QTableView;

namespace lessora {

// What a screen reader finds in the lesson grid: a table of the columns the grid shows. The
// hidden Language column, and the Text column while "テキストを隠す" hides it, are none of its
// columns, headers or cells, so that a learner who hides the text does not hear it either. (Qt's
// own table interface lists every column of the model, shown or not, and the hidden vertical
// header.) Children: the shown column headers, then the cells row by row; the model's column
// indexes stay as they are, only what is told to screen readers leaves the hidden ones out.

// Makes Qt give every LessonGrid that interface. The grid's constructor calls it; more calls do
// nothing.
void installGridAccessibility();

// The place of the cell at `index` among the grid's accessible children; -1 when its column is
// hidden.
int accessibleCellIndex(const QTableView& grid, const QModelIndex& index);

// Tells screen readers of a change to the cell at `index` (Focus, SelectionAdd, SelectionRemove),
// by its place among the shown columns; a cell of a hidden column is not told. Callers check
// QAccessible::isActive() first, as Qt's views do, so that nothing is made when no one listens.
void notifyGridCell(QTableView& grid, const QModelIndex& index, QAccessible::Event event);

} // namespace lessora
