#pragma once

namespace lessora {

class LessonTable;

// The lesson table as the user works on it: the table and its current cell (a current row and a
// current column, each -1 when there is none), kept by the grid that shows it. The row commands,
// paste and playback move the current cell through it.
class LessonCursor {
public:
    virtual ~LessonCursor() = default;

    virtual LessonTable& table() const = 0;
    virtual int currentRow() const = 0;
    virtual int currentColumn() const = 0;
    // Row selection: when the row differs from the current row, make it current (keeping the
    // current column, or the first column when there is none) and scroll it into view.
    // Selecting the current row again does nothing and does not scroll.
    virtual void makeRowCurrent(int row) = 0;
    virtual void setCurrentColumn(int column) = 0;
    // Scrolls to the left edge, keeping the vertical position.
    virtual void scrollToLeftEdge() = 0;
    // Gives the table the keyboard focus.
    virtual void takeFocus() = 0;
};

} // namespace lessora
