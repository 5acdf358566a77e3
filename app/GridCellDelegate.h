#pragma once

#include <QStyledItemDelegate>
#include <functional>

namespace lessora {

// Draws the lesson grid's cells: the highlighted row tinted yellow, the rows of the English
// speakers in dark red. Also reports when the user has finished editing a cell.
class GridCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr QRgb kHighlightTint = 0x30FFFF00;
    static constexpr QRgb kEnglishText = 0xFFB03030;
    static constexpr QRgb kOtherText = 0xFF000000;

    GridCellDelegate(std::function<int()> highlightRow, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

signals:
    void editingDone(int column, int row) const;

private:
    std::function<int()> m_highlightRow;
};

} // namespace lessora
