#include "app/GridCellDelegate.h"

#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"
#include "settings/LanguageName.h"

#include <QApplication>
#include <QPainter>

namespace lessora {

GridCellDelegate::GridCellDelegate(std::function<int()> highlightRow, QObject* parent)
    : QStyledItemDelegate(parent)
    , m_highlightRow(std::move(highlightRow)) {}

void GridCellDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const {
    // The style draws the background, selection and focus; the text is drawn once, below,
    // in the row's colour.
    QStyleOptionViewItem base = option;
    initStyleOption(&base, index);
    const QString text = base.text;
    base.text.clear();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &base, painter, widget);

    const QString speakerCell = index.siblingAtColumn(ColSpeaker).data(Qt::EditRole).toString();

    painter->save();
    if (index.row() == m_highlightRow())
        painter->fillRect(option.rect, QColor::fromRgba(kHighlightTint));
    if (!text.isEmpty()) {
        const bool english = languageOfSpeakerCode(speakerCell) == kLanguageEnglish;
        painter->setPen(QColor::fromRgba(english ? kEnglishText : kOtherText));
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        const QRect textRect = option.rect.adjusted(margin, 0, -margin, 0);
        painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
    }
    painter->restore();
}

void GridCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const {
    QStyledItemDelegate::setModelData(editor, model, index);
    emit editingDone(index.column(), index.row());
}

} // namespace lessora
