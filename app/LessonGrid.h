#pragma once

#include "lesson/LessonCursor.h"

#include <QElapsedTimer>
#include <QTableView>
#include <functional>

namespace lessora {

class LessonTable;

// The grid that shows and edits the lesson table and keeps its current cell.
class LessonGrid : public QTableView, public LessonCursor {
    Q_OBJECT
public:
    explicit LessonGrid(LessonTable& table, QWidget* parent = nullptr);

    // LessonCursor
    LessonTable& table() const override { return m_table; }
    int currentRow() const override;
    int currentColumn() const override;
    void makeRowCurrent(int row) override;
    void setCurrentColumn(int column) override;
    void scrollToLeftEdge() override;
    void takeFocus() override;

    // The user edits a cell, or typed into the grid a moment ago.
    bool userIsEditing() const;
    // Scrolls as little as needed for the row to be whole in view with up to `rowsAfter` rows
    // after it (as many as the table has).
    void revealRow(int row, int rowsAfter);

    // What a screen reader is told of the reading drawn under a row's text (its accessible
    // description); empty for none.
    void setReadingText(std::function<QString(int row)> readingText);
    QString readingText(int row) const { return m_readingText ? m_readingText(row) : QString(); }

signals:
    void cellClicked(int column, int row);
    void cellDoubleClicked(int column, int row);

protected:
    // A hidden column's cells are not edited: an editor nobody sees would change the text the
    // learner chose not to see, and a screen reader would read it out.
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    // Tab moves between the cells; Ctrl+Tab and Ctrl+Shift+Tab leave the grid.
    void keyPressEvent(QKeyEvent* event) override;
    // Screen readers are told of the current and selected cells by their places among the shown
    // columns (QTableView tells them by places that count the hidden columns too).
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void selectionChanged(const QItemSelection& selected,
                          const QItemSelection& deselected) override;

private:
    LessonTable& m_table;
    QElapsedTimer m_lastTyping;
    std::function<QString(int)> m_readingText;
};

} // namespace lessora
