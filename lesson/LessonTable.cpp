#include "lesson/LessonTable.h"

#include <QCoreApplication>
#include <algorithm>
#include <limits>
#include <numeric>

namespace lessora {

namespace {

const QList<int> kChangedRoles = {Qt::DisplayRole, Qt::EditRole};

template <typename Text> int numberInText(Text text) {
    constexpr qsizetype kMaxDigits = 10;
    if (text.isEmpty() || text.size() > kMaxDigits || text[0].unicode() == u'0')
        return 0;
    qint64 value = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return 0;
        value = value * 10 + (c - u'0');
    }
    return value <= std::numeric_limits<int>::max() ? int(value) : 0;
}

// Moves a No cell that holds a number's text into the number: returns the number and empties
// the cell, or returns 0 and leaves the text.
int takeNumber(QString& noCell) {
    const int number = numberOfNoText(noCell);
    if (number > 0)
        noCell = QString();
    return number;
}

} // namespace

int numberOfNoText(QStringView text) {
    return numberInText(text);
}

int numberOfNoText(QLatin1StringView text) {
    return numberInText(text);
}

LessonTable::LessonTable(QObject* parent)
    : QAbstractTableModel(parent) {}

bool LessonTable::contains(int column, int row) const {
    return column >= 0 && column < kLessonColumnCount && row >= 0 && row < rows();
}

void LessonTable::emitRowsChanged(int first, int last, int firstColumn, int lastColumn) {
    emit dataChanged(index(first, firstColumn), index(last, lastColumn), kChangedRoles);
}

QString LessonTable::cell(int column, int row) const {
    if (!contains(column, row))
        return {};
    if (column == ColNo && m_numbers[row] > 0)
        return QString::number(m_numbers[row]);
    return m_rows[row][column];
}

void LessonTable::setCell(int column, int row, const QString& text) {
    Q_ASSERT(contains(column, row));
    if (!contains(column, row))
        return;
    if (column == ColNo) {
        const int number = numberOfNoText(text);
        const bool unchanged = number > 0 ? m_numbers[row] == number
                                          : m_numbers[row] == 0 && m_rows[row][ColNo] == text;
        if (unchanged)
            return;
        m_numbers[row] = number;
        m_rows[row][ColNo] = number > 0 ? QString() : text;
    } else {
        if (m_rows[row][column] == text)
            return;
        m_rows[row][column] = text;
    }
    emitRowsChanged(row, row, column, column);
}

void LessonTable::setRowCount(int count) {
    count = std::max(count, 0);
    if (count > rows())
        insertRows(rows(), count - rows());
    else if (count < rows())
        removeRows(count, rows() - count);
}

LessonRow LessonTable::row(int row) const {
    LessonRow cells = m_rows.at(row);
    if (m_numbers.at(row) > 0)
        cells[ColNo] = QString::number(m_numbers.at(row));
    return cells;
}

void LessonTable::setRow(int row, const LessonRow& cells) {
    Q_ASSERT(row >= 0 && row < rows());
    if (row < 0 || row >= rows())
        return;
    m_rows[row] = cells;
    m_numbers[row] = takeNumber(m_rows[row][ColNo]);
    emitRowsChanged(row, row);
}

void LessonTable::setRows(QList<LessonRow> rows, Numbering numbering) {
    QList<int> numbers(rows.size());
    if (numbering == Numbering::ByPosition) {
        // The rows are not read at all: a million of them would each cost a cache miss.
        Q_ASSERT(std::all_of(rows.cbegin(), rows.cend(),
                             [](const LessonRow& row) { return row[ColNo].isEmpty(); }));
        std::iota(numbers.begin(), numbers.end(), 1);
    } else {
        for (qsizetype r = 0; r < rows.size(); ++r)
            numbers[r] = takeNumber(rows[r][ColNo]);
    }
    beginResetModel();
    m_rows = std::move(rows);
    m_numbers = std::move(numbers);
    endResetModel();
}

void LessonTable::replaceRows(QList<LessonRow> rows, QList<int> numbers) {
    numbers.resize(rows.size());
    for (qsizetype r = 0; r < rows.size(); ++r) {
        if (numbers[r] <= 0)
            numbers[r] = takeNumber(rows[r][ColNo]);
    }
    const int oldCount = this->rows();
    const int newCount = static_cast<int>(rows.size());
    const int kept = std::min(oldCount, newCount);
    // The rows both tables have trade places first, so that the row change only adds or removes
    // rows at the end; they trade back afterwards and change in one signal.
    const auto tradeKeptRows = [&] {
        for (int r = 0; r < kept; ++r) {
            std::swap(m_rows[r], rows[r]);
            std::swap(m_numbers[r], numbers[r]);
        }
    };
    if (newCount > oldCount) {
        beginInsertRows({}, oldCount, newCount - 1);
        tradeKeptRows();
        std::swap(m_rows, rows);
        std::swap(m_numbers, numbers);
        endInsertRows();
        tradeKeptRows();
    } else if (newCount < oldCount) {
        beginRemoveRows({}, newCount, oldCount - 1);
        m_rows.resize(newCount);
        m_numbers.resize(newCount);
        endRemoveRows();
        m_rows = std::move(rows);
        m_numbers = std::move(numbers);
    } else {
        m_rows = std::move(rows);
        m_numbers = std::move(numbers);
    }
    if (kept > 0)
        emitRowsChanged(0, kept - 1);
}

QList<LessonRow> LessonTable::allRows() const {
    QList<LessonRow> all;
    all.reserve(m_rows.size());
    for (int r = 0; r < rows(); ++r)
        all.append(row(r));
    return all;
}

void LessonTable::insertBlock(int row, const QList<LessonRow>& block) {
    Q_ASSERT(row >= 0 && row <= rows());
    if (row < 0 || row > rows() || block.isEmpty())
        return;
    beginInsertRows({}, row, row + static_cast<int>(block.size()) - 1);
    m_rows.insert(row, block.size(), LessonRow{});
    m_numbers.insert(row, block.size(), 0);
    for (qsizetype i = 0; i < block.size(); ++i) {
        m_rows[row + i] = block[i];
        m_numbers[row + i] = takeNumber(m_rows[row + i][ColNo]);
    }
    endInsertRows();
}

void LessonTable::renumber() {
    int first = -1;
    int last = -1;
    int* numbers = m_numbers.data();
    for (int r = 0; r < rows(); ++r) {
        if (numbers[r] == r + 1)
            continue;
        if (numbers[r] == 0)
            m_rows[r][ColNo] = QString();
        numbers[r] = r + 1;
        if (first < 0)
            first = r;
        last = r;
    }
    if (first >= 0)
        emitRowsChanged(first, last, ColNo, ColNo);
}

void LessonTable::swapCells(int rowA, int rowB, int firstColumn) {
    Q_ASSERT(contains(firstColumn, rowA) && contains(firstColumn, rowB));
    if (!contains(firstColumn, rowA) || !contains(firstColumn, rowB) || rowA == rowB)
        return;
    for (int column = firstColumn; column < kLessonColumnCount; ++column)
        std::swap(m_rows[rowA][column], m_rows[rowB][column]);
    if (firstColumn == ColNo)
        std::swap(m_numbers[rowA], m_numbers[rowB]);
    // The whole rows, the No cells included: a row's colour follows its Speaker.
    emitRowsChanged(std::min(rowA, rowB), std::max(rowA, rowB));
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
    // Looked up on each call, so that the header follows a change of language.
    static constexpr std::array<const char*, kLessonColumnCount> headers = {
        "No", QT_TRANSLATE_NOOP("Lesson", "話者"), QT_TRANSLATE_NOOP("Lesson", "言語"),
        QT_TRANSLATE_NOOP("Lesson", "テキスト"), QT_TRANSLATE_NOOP("Lesson", "待ち時間")};
    if (section < 0 || section >= kLessonColumnCount)
        return {};
    return QCoreApplication::translate("Lesson", headers[std::size_t(section)]);
}

bool LessonTable::insertRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || row > rows() || count <= 0)
        return false;
    beginInsertRows({}, row, row + count - 1);
    m_rows.insert(row, count, LessonRow{});
    m_numbers.insert(row, count, 0);
    endInsertRows();
    return true;
}

bool LessonTable::removeRows(int row, int count, const QModelIndex& parent) {
    if (parent.isValid() || row < 0 || count <= 0 || row + count > rows())
        return false;
    beginRemoveRows({}, row, row + count - 1);
    m_rows.remove(row, count);
    m_numbers.remove(row, count);
    endRemoveRows();
    return true;
}

} // namespace lessora
