#include "app/LessonGrid.h"

#include "app/GridAccessibility.h"
#include "lesson/LessonTable.h"

#include <QAccessible>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionHeader>

namespace lessora {

namespace {
// Between two keystrokes of someone typing slowly into a cell.
constexpr qint64 kTypingPauseMs = 2000;

// The column header, measured in its own font. QHeaderView measures every caption in bold,
// to leave room for a highlighted section; this grid never highlights one, and the bold face
// of a Japanese font would cost the idle program megabytes just for that measurement.
class ColumnHeader : public QHeaderView {
public:
    explicit ColumnHeader(QWidget* parent)
        : QHeaderView(Qt::Horizontal, parent) {
        setSectionsClickable(true); // as QTableView's own header
        setHighlightSections(false);
    }

protected:
    QSize sectionSizeFromContents(int logicalIndex) const override {
        if (!model())
            return {};
        ensurePolished();
        QStyleOptionHeader option;
        initStyleOption(&option);
        option.section = logicalIndex;
        option.fontMetrics = fontMetrics();
        option.text = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
        return style()->sizeFromContents(QStyle::CT_HeaderSection, &option, QSize(), this);
    }
};
} // namespace

LessonGrid::LessonGrid(LessonTable& table, QWidget* parent)
    : QTableView(parent)
    , m_table(table) {
    installGridAccessibility();
    setHorizontalHeader(new ColumnHeader(this));
    setModel(&table);
    // The cells' text colours are fixed (black, dark red), so the cells keep a light
    // background in any desktop theme; a dark theme would otherwise hide the Japanese rows.
    QPalette light = palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        light.setColor(group, QPalette::Base, Qt::white);
        light.setColor(group, QPalette::AlternateBase, QColor(0xF4, 0xF4, 0xF4));
        light.setColor(group, QPalette::Text, Qt::black);
    }
    setPalette(light);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    // A double-click plays the row, so the editor opens on typing, F2 or a click on the
    // current cell instead.
    setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::SelectedClicked);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setShowGrid(true);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    horizontalHeader()->setStretchLastSection(false);
    connect(this, &QAbstractItemView::clicked, this,
            [this](const QModelIndex& index) { emit cellClicked(index.column(), index.row()); });
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        emit cellDoubleClicked(index.column(), index.row());
    });
}

int LessonGrid::currentRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

int LessonGrid::currentColumn() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.column() : -1;
}

void LessonGrid::makeRowCurrent(int row) {
    if (row == currentRow())
        return;
    if (row < 0 || row >= m_table.rows()) {
        if (row < 0)
            setCurrentIndex({});
        return;
    }
    const int column = std::max(currentColumn(), 0);
    setCurrentIndex(m_table.index(row, column));
    scrollTo(currentIndex());
}

void LessonGrid::revealRow(int row, int rowsAfter) {
    if (row < 0 || row >= m_table.rows())
        return;
    const QHeaderView& rows = *verticalHeader();
    const int last = std::min(row + std::max(rowsAfter, 0), m_table.rows() - 1);
    const int height = viewport()->height();
    QScrollBar& bar = *verticalScrollBar();
    const auto bottomOf = [&](int r) { return rows.sectionPosition(r) + rows.sectionSize(r); };
    if (verticalScrollMode() == ScrollPerPixel) {
        int top = bar.value();
        if (bottomOf(last) - top > height)
            top = bottomOf(last) - height;
        bar.setValue(std::min(top, rows.sectionPosition(row))); // the row itself comes first
        return;
    }
    // One step of the bar is one row: the first row shown.
    int first = std::min(bar.value(), row);
    while (first < row && bottomOf(last) - rows.sectionPosition(first) > height)
        ++first;
    bar.setValue(first);
}

void LessonGrid::setReadingText(std::function<QString(int)> readingText) {
    m_readingText = std::move(readingText);
}

void LessonGrid::setCurrentColumn(int column) {
    const int row = currentRow();
    if (row < 0 || column < 0 || column >= m_table.columnCount())
        return;
    setCurrentIndex(m_table.index(row, column));
}

void LessonGrid::scrollToLeftEdge() {
    horizontalScrollBar()->setValue(horizontalScrollBar()->minimum());
}

void LessonGrid::takeFocus() {
    setFocus();
}

bool LessonGrid::userIsEditing() const {
    return state() == QAbstractItemView::EditingState ||
           (m_lastTyping.isValid() && !m_lastTyping.hasExpired(kTypingPauseMs));
}

bool LessonGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    if (index.isValid() && isColumnHidden(index.column()))
        return false;
    return QTableView::edit(index, trigger, event);
}

void LessonGrid::keyPressEvent(QKeyEvent* event) {
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && (event->modifiers() & Qt::ControlModifier)) {
        // The widget's own focus move: the item view's would step to the next cell.
        const bool forward =
            event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier);
        QWidget::focusNextPrevChild(forward);
        event->accept();
        return;
    }
    if (!event->text().isEmpty() || event->key() == Qt::Key_F2)
        m_lastTyping.start();
    QTableView::keyPressEvent(event);
}

// QTableView's own overrides only tell screen readers of the cell, by its numbering, and go on to
// QAbstractItemView's; this tells them by the accessible table's own numbering instead.
void LessonGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    if (QAccessible::isActive())
        notifyGridCell(*this, current, QAccessible::Focus);
    QAbstractItemView::currentChanged(current, previous);
}

void LessonGrid::selectionChanged(const QItemSelection& selected,
                                  const QItemSelection& deselected) {
    if (QAccessible::isActive()) {
        notifyGridCell(*this, selected.indexes().value(0), QAccessible::SelectionAdd);
        notifyGridCell(*this, deselected.indexes().value(0), QAccessible::SelectionRemove);
    }
    QAbstractItemView::selectionChanged(selected, deselected);
}

} // namespace lessora
