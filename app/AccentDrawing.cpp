#include "app/AccentDrawing.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPainter>
#include <QPalette>

#include <algorithm>
#include <cmath>
#include <utility>

namespace lessora {

namespace {

// Where the marks go for a font, measured once per font (the grid draws every row with one).
struct MarkMetrics {
    QString fontKey;
    qreal ascent = 0;
    qreal height = 0;
    qreal inkTop = 0; // from the baseline up to the top of the kana
    qreal gap = 0;    // between phrases
};

const MarkMetrics& markMetrics(const QFont& font, const QFontMetricsF& metrics, int dpi) {
    thread_local MarkMetrics cached;
    const QString key = font.key() + u'@' + QString::number(dpi);
    if (cached.fontKey != key) {
        cached.fontKey = key;
        cached.ascent = metrics.ascent();
        cached.height = metrics.height();
        // The tallest kana; the line goes just above them.
        cached.inkTop = -metrics.tightBoundingRect(QStringLiteral("アキトナハルヘヨ")).top();
        cached.gap = std::round(metrics.horizontalAdvance(u'ア') * 0.4);
    }
    return cached;
}

// The high morae of a phrase, [first, end): one run, or none.
std::pair<qsizetype, qsizetype> highMorae(const AccentPhrase& phrase) {
    qsizetype first = 0;
    while (first < phrase.morae.size() && !isHighMora(phrase, int(first)))
        ++first;
    qsizetype end = first;
    while (end < phrase.morae.size() && isHighMora(phrase, int(end)))
        ++end;
    return {first, end};
}

// Where a phrase's text and marks go, measured with as few shapings as it takes: the whole
// text, and the text before each end of its line.
struct PhraseLayout {
    QString text; // the morae and the punctuation
    qreal width = 0;
    qreal lineLeft = 0;
    qreal lineRight = 0;
    bool hasLine = false;
    bool hook = false;
};

PhraseLayout layoutOf(const AccentPhrase& phrase, const QFontMetricsF& metrics) {
    PhraseLayout layout;
    layout.text = phrase.morae.join(QString()) + phrase.punctuation;
    layout.width = metrics.horizontalAdvance(layout.text);
    const auto [first, end] = highMorae(phrase);
    if (first < end) {
        const auto advanceTo = [&](qsizetype mora) {
            return mora == 0 ? 0.0
                             : metrics.horizontalAdvance(phrase.morae.mid(0, mora).join(QString()));
        };
        layout.hasLine = true;
        layout.lineLeft = advanceTo(first);
        layout.lineRight = advanceTo(end);
        layout.hook = end == phrase.nucleus;
    }
    return layout;
}

} // namespace

void drawAccentReading(QPainter& painter, const QRect& rect, const QFont& font,
                       const QPalette& palette, const QList<AccentPhrase>& phrases) {
    if (phrases.isEmpty() || rect.isEmpty())
        return;
    painter.save();
    painter.setFont(font);
    painter.setClipRect(rect, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, false);
    const QFontMetricsF metrics(font, painter.device());
    const MarkMetrics& marks =
        markMetrics(font, metrics, painter.device() ? painter.device()->logicalDpiY() : 0);
    QPen pen(palette.color(QPalette::Text), 1);
    pen.setCosmetic(true);
    painter.setPen(pen);

    // The baseline where drawText would put it in the rect, vertically centred.
    const qreal baseline =
        std::round(rect.top() + (rect.height() - marks.height) / 2 + marks.ascent);
    // The line over the high morae: two pixels clear of the kana where the rect has room for
    // them, never above the rect; the hook goes down a third of the kana's height.
    const qreal lineY = std::max<qreal>(rect.top(), std::floor(baseline - marks.inkTop) - 3);
    const qreal hookEnd = lineY + std::max<qreal>(2, std::round(marks.inkTop / 3));

    qreal x = rect.left();
    for (const AccentPhrase& phrase : phrases) {
        if (x > rect.right())
            break;
        const PhraseLayout layout = layoutOf(phrase, metrics);
        painter.drawText(QPointF(x, baseline), layout.text);
        if (layout.hasLine) {
            const qreal left = std::round(x + layout.lineLeft) + 0.5;
            const qreal right = std::round(x + layout.lineRight) - 0.5;
            painter.drawLine(QPointF(left, lineY + 0.5), QPointF(right, lineY + 0.5));
            if (layout.hook)
                painter.drawLine(QPointF(right, lineY + 0.5), QPointF(right, hookEnd + 0.5));
        }
        x += layout.width + marks.gap;
    }
    painter.restore();
}

int accentReadingWidth(const QFont& font, const QList<AccentPhrase>& phrases) {
    const QFontMetricsF metrics(font);
    const MarkMetrics& marks = markMetrics(font, metrics, -1);
    qreal width = 0;
    for (const AccentPhrase& phrase : phrases)
        width += layoutOf(phrase, metrics).width + marks.gap;
    return phrases.isEmpty() ? 0 : int(std::ceil(width - marks.gap));
}

QString accentAccessibleText(const QList<AccentPhrase>& phrases) {
    return accentText(phrases);
}

} // namespace lessora
