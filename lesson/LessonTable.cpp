#include "lesson/LessonTable.h"

#include <algorithm>

namespace lessora {

LessonTable::LessonTable(QObject* parent)
    : QAbstractTableModel(parent) {}

bool LessonTable::contains(int column, int row) const {
    return column >= 0 && column < kLessonColumnCount && row >= 0 && row < rows();
}

QString LessonTable::cell(int column, int row) const {
    return contains(column, row) ? m_rows[row][column] : QString();
}

void LessonTable::setCell(int column, int row, const QString& text) {
    Q_ASSERT(contains(column, row));
    if (!contains(column, row) || m_rows[row][column] == text)
        return;
    m_rows[row][column] = text;
    const QModelIndex changed = index(row, column);
    emit dataChanged(changed, changed, {Qt::DisplayRole, Qt::EditRole});
}

void LessonTable::setRowCount(int count) {
    count = std::max(count, 0);
    if (count > rows())
        insertRows(rows(), count - rows());
    else if (count < rows())
        removeRows(count, rows() - count);
}

void LessonTable::setRow(int row, const LessonRow& cells) {
    Q_ASSERT(row >= 0 && row < rows());
    if (row < 0 || row >= rows())
        return;
    m_rows[row] = cells;
    emit dataChanged(index(row, 0), index(row, kLessonColumnCount - 1),
                     {Qt::DisplayRole, Qt::EditRole});
}

void LessonTable::setRows(QList<LessonRow> rows) {
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

void LessonTable::insertBlock(int row, const QList<LessonRow>& block) {
    Q_ASSERT(row >= 0 && row <= rows());
    if (row < 0 || row > rows() || block.isEmpty())
        return;
    beginInsertRows({}, row, row + static_cast<int>(block.size()) - 1);
    m_rows.insert(row, block.size(), LessonRow{});
    std::copy(block.begin(), block.end(), m_rows.begin() + row);
    endInsertRows();
}

int LessonTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows();
}

int LessonTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kLessonColumnCount;
}

QVariant LessonTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    return cell(index.column(), index.row());
}

bool LessonTable::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole || !contains(index.column(), index.row()))
        return false;
    setCell(index.column(), index.row(), value.toString());
    return true;
}

Qt::ItemFlags LessonTable::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemNeverHasChildren;
}

QVariant LessonTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    static const std::array<QString, kLessonColumnCount> headers = {
        QStringLiteral("No"), QStringLiteral("話者"), QStringLiteral("言語"),
        QStringLiteral("テキスト"), QStringLiteral("待ち時間")};
    if (section < 0 || section >= kLessonColumnCount)
        return {};
    return headers[section];
}

bool LessonTable::insertRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || row > rows() || count <= 0)
        return false;
    beginInsertRows({}, row, row + count - 1);
    m_rows.insert(row, count, LessonRow{});
    endInsertRows();
    return true;
}

bool LessonTable::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count <= 0 || row + count > rows())
        return false;
    beginRemoveRows({}, row, row + count - 1);
    m_rows.remove(row, count);
    endRemoveRows();
    return true;
}

} // namespace lessora
