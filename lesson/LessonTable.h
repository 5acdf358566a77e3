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

// The lesson: ordered rows of five text cells. It is the only copy of the lesson and is
// shown and edited by the main window's grid.
class LessonTable : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit LessonTable(QObject* parent = nullptr);

    // Reading outside the table gives the empty text.
    QString cell(int column, int row) const;
    // Writing outside the table is a programming error and is ignored.
    void setCell(int column, int row, const QString& text);

    int rows() const { return static_cast<int>(m_rows.size()); }
    // Keeps the cells of the rows that remain; new rows start empty.
    void setRowCount(int count);

    const LessonRow& row(int row) const { return m_rows.at(row); }
    void setRow(int row, const LessonRow& cells);
    // Replaces every row at once (one model reset).
    void setRows(QList<LessonRow> rows);
    const QList<LessonRow>& allRows() const { return m_rows; }
    // Inserts the given rows before row `row` (rows() appends) in one model change.
    void insertBlock(int row, const QList<LessonRow>& block);

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

    QList<LessonRow> m_rows;
};

} // namespace lessora
