#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <array>

namespace lessora {

// Fixed column indexes of the lesson table.
enum LessonColumn : int {
    ColNo = 0,
    ColSpeaker = 1,
    ColLanguage = 2,
    ColText = 3,
    ColInterval = 4,
};
inline constexpr int kLessonColumnCount = 5;

using LessonRow = std::array<QString, kLessonColumnCount>;

// The number whose decimal text (as QString::number writes it) a No cell's text is: 1 or more,
// without sign or leading zero, within an int; 0 for every other text. The table keeps such a
// cell as the number.
int numberOfNoText(QStringView text);
int numberOfNoText(QLatin1StringView text);

} // namespace lessora

// Rows move in memory as plain bytes, as QString does, when lists of them grow or shift.
Q_DECLARE_TYPEINFO(lessora::LessonRow, Q_RELOCATABLE_TYPE);

namespace lessora {

// The lesson: ordered rows of five text cells. It is the only copy of the lesson and is
// shown and edited by the main window's grid.
//
// A No cell that holds the decimal text of a number (as renumbering, paste and the commands
// write it, and as most files hold it) is kept as that number, so that renumbering a long
// lesson writes integers instead of texts; every other No text is kept as it is. The cells read
// back exactly as written either way.
class LessonTable : public QAbstractTableModel {
    Q_OBJECT
public:
    // How setRows takes the No cells of the rows it is given.
    enum class Numbering {
        AsWritten,  // as the rows hold them
        ByPosition, // the decimal text of r + 1 for row r; the rows' No cells must be empty
    };

    explicit LessonTable(QObject* parent = nullptr);

    // Reading outside the table gives the empty text.
    QString cell(int column, int row) const;
    // Writing outside the table is a programming error and is ignored.
    void setCell(int column, int row, const QString& text);

    int rows() const { return static_cast<int>(m_rows.size()); }
    // Keeps the cells of the rows that remain; new rows start empty.
    void setRowCount(int count);

    LessonRow row(int row) const;
    void setRow(int row, const LessonRow& cells);
    // Replaces every row at once (one model reset).
    void setRows(QList<LessonRow> rows, Numbering numbering = Numbering::AsWritten);
    // Replaces every row's cells, adding or removing rows at the end only, so that a view keeps
    // its current cell where the table still has it (one row change and one data change).
    // `numbers` may give a row's No cell as the number it holds (its text then empty), as the
    // lesson file reader does; 0, or no list at all, takes the No cell's text.
    void replaceRows(QList<LessonRow> rows, QList<int> numbers = {});
    QList<LessonRow> allRows() const;
    // Inserts the given rows before row `row` (rows() appends) in one model change.
    void insertBlock(int row, const QList<LessonRow>& block);
    // Writes the decimal text of r + 1 into the No cell of every row r, with one change signal
    // for the No cells that changed.
    void renumber();
    // Exchanges the cells of two rows from firstColumn to the last column.
    void swapCells(int rowA, int rowB, int firstColumn);

    // A row as the table keeps it, without copying: the number its No cell holds the decimal
    // text of, or 0 when the No cell holds other text, which is then cells[ColNo].
    struct StoredRow {
        int number;
        const LessonRow& cells;
    };
    StoredRow storedRow(int row) const { return {m_numbers.at(row), m_rows.at(row)}; }

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool insertRows(int row, int count, const QModelIndex& parent = {}) override;
    bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

private:
    bool contains(int column, int row) const;
    void emitRowsChanged(int first, int last, int firstColumn = 0,
                         int lastColumn = kLessonColumnCount - 1);

    QList<LessonRow> m_rows; // a No cell kept as a number is empty here
    QList<int> m_numbers;    // per row: the No cell's number, or 0 when it is text
};

} // namespace lessora
