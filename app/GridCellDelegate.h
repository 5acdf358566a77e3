#pragma once

#include "japanese/AccentPhrases.h"

#include <QStyledItemDelegate>
#include <functional>

namespace lessora {

// Draws the lesson grid's cells: the highlighted row tinted yellow, the rows of the English
// speakers in dark red. Also reports when the user has finished editing a cell, and gives the
// cells an editor that takes text of any length.
class GridCellDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    static constexpr QRgb kHighlightTint = 0x30FFFF00;
    static constexpr QRgb kEnglishText = 0xFFB03030;
    static constexpr QRgb kOtherText = 0xFF000000;

    // The marker beside the row being spoken: orange while the program speaks, blue while the
    // learner answers, so that the row is found at a glance (the tint alone is faint).
    static constexpr QRgb kSpeakingMarker = 0xFFE07000;
    static constexpr QRgb kAnswerMarker = 0xFF1060D0;

    GridCellDelegate(std::function<int()> highlightRow, QObject* parent = nullptr);

    // Whether the learner is answering the highlighted row.
    void setLearnersTurn(std::function<bool()> learnersTurn);
    // The reading drawn under a row's text; empty for none.
    void setReadings(std::function<QString(int row)> readingOf);
    // The accent phrases drawn as a row's reading instead of its plain kana; none for the plain.
    void setAccents(std::function<QList<AccentPhrase>(int row)> accentOf);

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

signals:
    void editingDone(int column, int row) const;

private:
    void paintMarker(QPainter* painter, const QStyleOptionViewItem& option,
                     const QModelIndex& index) const;

    std::function<int()> m_highlightRow;
    std::function<bool()> m_learnersTurn;
    std::function<QString(int)> m_readingOf;
    std::function<QList<AccentPhrase>(int)> m_accentOf;
};

} // namespace lessora
