#pragma once

#include <QTableView>

namespace lessora {

class LessonTable;

// The grid that shows and edits the lesson table. It keeps the table's current cell: a
// current row and a current column, each -1 when there is none.
class LessonGrid : public QTableView {
    Q_OBJECT
public:
    explicit LessonGrid(LessonTable& table, QWidget* parent = nullptr);

    LessonTable& table() const { return m_table; }

    int currentRow() const;
    int currentColumn() const;
    // Row selection: when r differs from the current row, make it current (keeping the
    // current column, or the first column when there is none) and scroll it into view.
    // Selecting the current row again does nothing and does not scroll.
    void makeRowCurrent(int row);
    void setCurrentColumn(int column);
    // Scrolls to the left edge, keeping the vertical position.
    void scrollToLeftEdge();

signals:
    void cellClicked(int column, int row);
    void cellDoubleClicked(int column, int row);

private:
    LessonTable& m_table;
};

} // namespace lessora
