#include "app/GridAccessibility.h"

#include "app/LessonGrid.h"
#include "lesson/LessonTable.h"

#include <QAccessibleWidget>
#include <QHash>
#include <QHeaderView>
#include <QPointer>
#include <QTableView>
#include <utility>

namespace lessora {

namespace {

// The model columns the grid shows, in the order it shows them.
QList<int> shownColumns(const QTableView& grid) {
    const QHeaderView* header = grid.horizontalHeader();
    QList<int> columns;
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        if (!header->isSectionHidden(column))
            columns.append(column);
    }
    return columns;
}

int headerRows(const QTableView& grid) {
    return grid.horizontalHeader()->isHidden() ? 0 : 1;
}

// The place among the grid's accessible children of the cell at a model row and column, row -1
// standing for the column headers; -1 for a hidden column or header.
int childIndex(const QTableView& grid, int row, int column) {
    const QList<int> columns = shownColumns(grid);
    const auto place = columns.indexOf(column);
    if (place < 0 || row + headerRows(grid) < 0)
        return -1;
    return (row + headerRows(grid)) * int(columns.size()) + int(place);
}

// A column header (row -1) or a cell of the grid, by its model row and column. It reads the
// model each time; while its column is hidden it is not valid and tells nothing.
class GridCell : public QAccessibleInterface, public QAccessibleTableCellInterface {
public:
    GridCell(QTableView* grid, int row, int column)
        : m_grid(grid)
        , m_row(row)
        , m_column(column) {}

    const QTableView* grid() const { return m_grid; }
    int row() const { return m_row; }
    int column() const { return m_column; }

    bool isValid() const override {
        if (!m_grid || m_column >= m_grid->model()->columnCount() ||
            m_grid->isColumnHidden(m_column))
            return false;
        return isHeader() ? headerRows(*m_grid) == 1 : m_row < m_grid->model()->rowCount();
    }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_grid ? m_grid->window()->windowHandle() : nullptr; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(m_grid);
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QString text(QAccessible::Text type) const override;
    // Cells are changed in the grid's editor, where the row rules apply.
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override;
    QAccessible::Role role() const override {
        return isHeader() ? QAccessible::ColumnHeader : QAccessible::Cell;
    }
    QAccessible::State state() const override;
    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableCellInterface && !isHeader())
            return static_cast<QAccessibleTableCellInterface*>(this);
        return nullptr;
    }

    bool isSelected() const override {
        return isValid() && m_grid->selectionModel()->isSelected(index());
    }
    QList<QAccessibleInterface*> columnHeaderCells() const override;
    QList<QAccessibleInterface*> rowHeaderCells() const override { return {}; }
    int columnIndex() const override {
        return isValid() ? int(shownColumns(*m_grid).indexOf(m_column)) : -1;
    }
    int rowIndex() const override { return m_row; }
    int columnExtent() const override { return 1; }
    int rowExtent() const override { return 1; }
    QAccessibleInterface* table() const override { return parent(); }

private:
    bool isHeader() const { return m_row < 0; }
    QModelIndex index() const { return m_grid->model()->index(m_row, m_column); }
    QVariant data(int role) const {
        return isHeader() ? m_grid->model()->headerData(m_column, Qt::Horizontal, role)
                          : index().data(role);
    }

    QPointer<QTableView> m_grid;
    const int m_row;
    const int m_column;
};

QString GridCell::text(QAccessible::Text type) const {
    if (!isValid())
        return {};
    if (type == QAccessible::Description) {
        // The reading under a Japanese line's text, marked or plain, as it is drawn.
        const auto* grid = qobject_cast<const LessonGrid*>(m_grid.data());
        if (grid && !isHeader() && m_column == ColText) {
            if (QString reading = grid->readingText(m_row); !reading.isEmpty())
                return reading;
        }
        return data(Qt::AccessibleDescriptionRole).toString();
    }
    if (type != QAccessible::Name)
        return {};
    const QString name = data(Qt::AccessibleTextRole).toString();
    return name.isEmpty() ? data(Qt::DisplayRole).toString() : name;
}

QRect GridCell::rect() const {
    if (!isValid())
        return {};
    if (isHeader()) {
        const QHeaderView* header = m_grid->horizontalHeader();
        const QPoint topLeft(header->sectionViewportPosition(m_column), 0);
        return {header->mapToGlobal(topLeft),
                QSize(header->sectionSize(m_column), header->height())};
    }
    const QRect inViewport = m_grid->visualRect(index());
    return inViewport.translated(m_grid->viewport()->mapToGlobal(QPoint(0, 0)));
}

QAccessible::State GridCell::state() const {
    QAccessible::State state;
    if (!isValid()) {
        state.invalid = true;
        return state;
    }
    if (isHeader())
        return state;
    const QRect shown(m_grid->mapToGlobal(QPoint(0, 0)), m_grid->size());
    state.invisible = !shown.intersects(rect());
    const QModelIndex cell = index();
    state.selected = m_grid->selectionModel()->isSelected(cell);
    state.focused = m_grid->currentIndex() == cell;
    state.selectable = state.focusable = bool(cell.flags() & Qt::ItemIsSelectable);
    return state;
}

QList<QAccessibleInterface*> GridCell::columnHeaderCells() const {
    QAccessibleInterface* table = parent();
    QAccessibleInterface* header =
        table && m_grid ? table->child(childIndex(*m_grid, -1, m_column)) : nullptr;
    return header ? QList<QAccessibleInterface*>{header} : QList<QAccessibleInterface*>{};
}

// The grid as a table of its shown columns. Its cells are made when first asked for and kept
// under their model row and column, so that a screen reader finds the same object again.
class GridTable : public QAccessibleWidget, public QAccessibleTableInterface {
public:
    explicit GridTable(QTableView* grid)
        : QAccessibleWidget(grid, QAccessible::Table)
        , m_shown(shownColumns(*grid)) {
        // Hiding or showing a column resizes its section to or from nothing, but a section shown
        // again is resized before it counts as shown: the columns are compared once that is done.
        QObject::connect(
            grid->horizontalHeader(), &QHeaderView::sectionResized, &m_columnWatch,
            [this] { tellIfColumnsChanged(); }, Qt::QueuedConnection);
    }
    ~GridTable() override { dropCells(); }

    QTableView* grid() const { return static_cast<QTableView*>(widget()); }

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TableInterface)
            return static_cast<QAccessibleTableInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    int childCount() const override {
        const auto columns = shownColumns(*grid()).size();
        return columns == 0 ? 0 : (rowCount() + headerRows(*grid())) * int(columns);
    }
    QAccessibleInterface* child(int index) const override {
        const QList<int> columns = shownColumns(*grid());
        if (index < 0 || index >= childCount())
            return nullptr;
        const int row = index / int(columns.size()) - headerRows(*grid());
        return cell(row, columns[index % columns.size()]);
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        const auto* cell = dynamic_cast<const GridCell*>(child);
        return cell && cell->grid() == grid() ? childIndex(*grid(), cell->row(), cell->column())
                                              : -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override;
    QAccessibleInterface* focusChild() const override {
        const QModelIndex current = grid()->currentIndex();
        return current.isValid() ? child(childIndex(*grid(), current.row(), current.column()))
                                 : nullptr;
    }

    QAccessibleInterface* caption() const override { return nullptr; }
    QAccessibleInterface* summary() const override { return nullptr; }
    QAccessibleInterface* cellAt(int row, int column) const override {
        const QList<int> columns = shownColumns(*grid());
        if (row < 0 || row >= rowCount() || column < 0 || column >= columns.size())
            return nullptr;
        return cell(row, columns[column]);
    }
    int selectedCellCount() const override { return int(selectedCells().size()); }
    QList<QAccessibleInterface*> selectedCells() const override;
    QString columnDescription(int column) const override {
        const QList<int> columns = shownColumns(*grid());
        if (column < 0 || column >= columns.size())
            return {};
        return grid()->model()->headerData(columns[column], Qt::Horizontal).toString();
    }
    QString rowDescription(int) const override { return {}; } // the grid shows no row headers
    int selectedColumnCount() const override { return int(selectedColumns().size()); }
    int selectedRowCount() const override { return int(selectedRows().size()); }
    int columnCount() const override { return int(shownColumns(*grid()).size()); }
    int rowCount() const override { return grid()->model()->rowCount(); }
    QList<int> selectedColumns() const override;
    QList<int> selectedRows() const override;
    bool isColumnSelected(int column) const override {
        const QList<int> columns = shownColumns(*grid());
        return column >= 0 && column < columns.size() &&
               grid()->selectionModel()->isColumnSelected(columns[column]);
    }
    bool isRowSelected(int row) const override {
        return grid()->selectionModel()->isRowSelected(row);
    }
    // The grid selects one cell at a time: never a whole row or column.
    bool selectRow(int) override { return false; }
    bool selectColumn(int) override { return false; }
    bool unselectRow(int) override { return false; }
    bool unselectColumn(int) override { return false; }
    void modelChange(QAccessibleTableModelChangeEvent* event) override {
        // Rows that come and go move the cells' places; drop them, as Qt's views do on a reset.
        if (event->modelChangeType() != QAccessibleTableModelChangeEvent::DataChanged)
            dropCells();
    }

private:
    QAccessibleInterface* cell(int row, int column) const;
    void dropCells();
    void tellIfColumnsChanged();

    mutable QHash<std::pair<int, int>, QAccessible::Id> m_cells;
    QList<int> m_shown;    // the shown columns screen readers were last told of
    QObject m_columnWatch; // goes with the interface, and the comparisons still queued with it
};

QAccessibleInterface* GridTable::cell(int row, int column) const {
    const std::pair key(row, column);
    if (const auto found = m_cells.constFind(key); found != m_cells.cend()) {
        if (QAccessibleInterface* cell = QAccessible::accessibleInterface(*found))
            return cell;
    }
    auto* cell = new GridCell(grid(), row, column);
    m_cells.insert(key, QAccessible::registerAccessibleInterface(cell));
    return cell;
}

void GridTable::dropCells() {
    for (const QAccessible::Id id : std::as_const(m_cells))
        QAccessible::deleteAccessibleInterface(id);
    m_cells.clear();
}

void GridTable::tellIfColumnsChanged() {
    QList<int> shown = shownColumns(*grid());
    if (shown == m_shown)
        return;
    m_shown = std::move(shown);
    // The cells' places changed: screen readers forget the children they knew, as after a reset.
    QAccessibleTableModelChangeEvent event(grid(), QAccessibleTableModelChangeEvent::ModelReset);
    QAccessible::updateAccessibility(&event);
}

QAccessibleInterface* GridTable::childAt(int x, int y) const {
    const QPoint point(x, y);
    const QHeaderView* header = grid()->horizontalHeader();
    const QPoint inHeader = header->mapFromGlobal(point);
    if (headerRows(*grid()) == 1 && header->rect().contains(inHeader))
        return child(childIndex(*grid(), -1, header->logicalIndexAt(inHeader)));
    const QWidget* viewport = grid()->viewport();
    const QPoint inViewport = viewport->mapFromGlobal(point);
    const QModelIndex index =
        viewport->rect().contains(inViewport) ? grid()->indexAt(inViewport) : QModelIndex();
    return index.isValid() ? child(childIndex(*grid(), index.row(), index.column())) : nullptr;
}

QList<QAccessibleInterface*> GridTable::selectedCells() const {
    QList<QAccessibleInterface*> cells;
    for (const QModelIndex& index : grid()->selectionModel()->selectedIndexes()) {
        if (QAccessibleInterface* cell = child(childIndex(*grid(), index.row(), index.column())))
            cells.append(cell);
    }
    return cells;
}

QList<int> GridTable::selectedColumns() const {
    const QList<int> columns = shownColumns(*grid());
    QList<int> selected;
    for (const QModelIndex& index : grid()->selectionModel()->selectedColumns()) {
        if (const auto place = columns.indexOf(index.column()); place >= 0)
            selected.append(int(place));
    }
    return selected;
}

QList<int> GridTable::selectedRows() const {
    QList<int> selected;
    for (const QModelIndex& index : grid()->selectionModel()->selectedRows())
        selected.append(index.row());
    return selected;
}

QAccessibleInterface* gridInterface(const QString& key, QObject* object) {
    if (key == QLatin1String(LessonGrid::staticMetaObject.className()))
        return new GridTable(static_cast<LessonGrid*>(object));
    return nullptr;
}

} // namespace

void installGridAccessibility() {
    QAccessible::installFactory(gridInterface);
}

int accessibleCellIndex(const QTableView& grid, const QModelIndex& index) {
    return index.isValid() ? childIndex(grid, index.row(), index.column()) : -1;
}

void notifyGridCell(QTableView& grid, const QModelIndex& index, QAccessible::Event event) {
    const int child = accessibleCellIndex(grid, index);
    if (child < 0)
        return;
    QAccessibleEvent cellEvent(&grid, event);
    cellEvent.setChild(child);
    QAccessible::updateAccessibility(&cellEvent);
}

} // namespace lessora
