#include "app/GridCellDelegate.h"

#include "app/AccentDrawing.h"
#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"
#include "settings/LanguageName.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <limits>

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
    const bool highlighted = index.row() == m_highlightRow();
    if (highlighted)
        painter->fillRect(option.rect, QColor::fromRgba(kHighlightTint));
    const QString reading =
        (m_readingOf && index.column() == ColText) ? m_readingOf(index.row()) : QString();
    if (!text.isEmpty()) {
        const bool english = languageOfSpeakerCode(speakerCell) == kLanguageEnglish;
        const QColor colour = QColor::fromRgba(english ? kEnglishText : kOtherText);
        painter->setPen(colour);
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1;
        QRect textRect = option.rect.adjusted(margin, 0, -margin, 0);
        if (!reading.isEmpty()) {
            // The reading goes on a second line, smaller and lighter than the text above it.
            QRect readingRect = textRect.adjusted(0, textRect.height() / 2, 0, 0);
            textRect.setBottom(readingRect.top() - 1);
            const QList<AccentPhrase> accent =
                m_accentOf ? m_accentOf(index.row()) : QList<AccentPhrase>();
            if (!accent.isEmpty()) {
                // The marks take the room above the kana: the text moves up a little and the
                // reading down, so that a line over the kana is not read as one under the text.
                textRect.translate(0, -2);
                readingRect.setTop(readingRect.top() + 2);
            }
            painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                              text);
            QFont small = painter->font();
            small.setPointSizeF(small.pointSizeF() * 0.85);
            painter->setFont(small);
            const QColor readingGrey(0x55, 0x55, 0x55);
            if (accent.isEmpty()) {
                painter->setPen(readingGrey);
                painter->drawText(readingRect,
                                  Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, reading);
            } else {
                QPalette marks = option.palette;
                marks.setColor(QPalette::Text, readingGrey);
                drawAccentReading(*painter, readingRect, small, marks, accent);
            }
        } else {
            painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                              text);
        }
    }
    if (highlighted)
        paintMarker(painter, option, index);
    painter->restore();
}

void GridCellDelegate::setLearnersTurn(std::function<bool()> learnersTurn) {
    m_learnersTurn = std::move(learnersTurn);
}

void GridCellDelegate::setReadings(std::function<QString(int)> readingOf) {
    m_readingOf = std::move(readingOf);
}

void GridCellDelegate::setAccents(std::function<QList<AccentPhrase>(int)> accentOf) {
    m_accentOf = std::move(accentOf);
}

// A frame along the row's top and bottom edges and a wide bar at its left end, drawn over the
// tint so that both remain.
void GridCellDelegate::paintMarker(QPainter* painter, const QStyleOptionViewItem& option,
                                   const QModelIndex& index) const {
    const bool answering = m_learnersTurn && m_learnersTurn();
    const QColor marker = QColor::fromRgba(answering ? kAnswerMarker : kSpeakingMarker);
    const QRect rect = option.rect;
    painter->fillRect(QRect(rect.left(), rect.top(), rect.width(), 2), marker);
    painter->fillRect(QRect(rect.left(), rect.bottom() - 1, rect.width(), 2), marker);
    if (index.column() == ColNo)
        painter->fillRect(QRect(rect.left(), rect.top(), 6, rect.height()), marker);
}

QWidget* GridCellDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                        const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    // A line editor cuts its text at 32,767 characters by default, and leaving it would store
    // the cut text.
    if (auto* lineEdit = qobject_cast<QLineEdit*>(editor))
        lineEdit->setMaxLength(std::numeric_limits<int>::max());
    return editor;
}

void GridCellDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                    const QModelIndex& index) const {
    QStyledItemDelegate::setModelData(editor, model, index);
    emit editingDone(index.column(), index.row());
}

} // namespace lessora
