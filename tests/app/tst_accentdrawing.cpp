// The reading drawn with its accent marks: the line over the high morae and the hook after the
// nucleus where Tokyo accent puts them, in the palette's text colour, inside the reading's rect
// even when that is only as high as the font's line.

#include "app/AccentDrawing.h"

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QTest>

using namespace lessora;

namespace {

struct Drawn {
    QImage image;
    QRect rect;
};

// The reading drawn into a rect of the font's line height, with room around it that must stay
// untouched.
Drawn draw(const QString& form, const QFont& font, QColor text, QColor background) {
    const int lineHeight = QFontMetrics(font).height();
    Drawn drawn{QImage(400, lineHeight + 20, QImage::Format_RGB32), QRect(10, 10, 380, lineHeight)};
    drawn.image.fill(background);
    QPalette palette;
    palette.setColor(QPalette::Text, text);
    QPainter painter(&drawn.image);
    drawAccentReading(painter, drawn.rect, font, palette, accentPhrasesFromText(form));
    return drawn;
}

// The columns of one row where the pixel is exactly `colour`.
QList<int> columnsOf(const QImage& image, int y, QColor colour) {
    QList<int> columns;
    for (int x = 0; x < image.width(); ++x)
        if (image.pixelColor(x, y) == colour)
            columns << x;
    return columns;
}

// The topmost row with the text colour: the line over the high morae.
int topRow(const QImage& image, QColor colour) {
    for (int y = 0; y < image.height(); ++y)
        if (!columnsOf(image, y, colour).isEmpty())
            return y;
    return -1;
}

QFont readingFont(int pixelSize) {
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(pixelSize);
    return font;
}

} // namespace

class AccentDrawingTest : public QObject {
    Q_OBJECT

private slots:
    void lineOverTheHighMorae_data();
    void lineOverTheHighMorae();
    void staysInsideItsRect_data();
    void staysInsideItsRect();
    void kanaWhereThePlainReadingPutsThem_data();
    void kanaWhereThePlainReadingPutsThem();
    void phrasesApartAndMeasured();
    void accessibleText();
};

void AccentDrawingTest::lineOverTheHighMorae_data() {
    QTest::addColumn<QString>("form");
    // Where the line starts and ends, in thirds of the three morae; whether it ends in a hook.
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("hook");
    QTest::newRow("箸が: the first mora") << QStringLiteral("ハ＼シガ") << 0 << 1 << true;
    QTest::newRow("橋が: the second") << QStringLiteral("ハシ＼ガ") << 1 << 2 << true;
    QTest::newRow("端が: flat, second to last") << QStringLiteral("ハシガ") << 1 << 3 << false;
}

void AccentDrawingTest::lineOverTheHighMorae() {
    QFETCH(QString, form);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, hook);
    // Light and dark themes alike: the marks are in the text colour.
    for (const auto& [text, background] : {std::pair{QColor(Qt::black), QColor(Qt::white)},
                                           std::pair{QColor(Qt::white), QColor(20, 20, 30)}}) {
        const QFont font = readingFont(16);
        const Drawn drawn = draw(form, font, text, background);
        const int lineY = topRow(drawn.image, text);
        QVERIFY(lineY >= drawn.rect.top());
        const QList<int> line = columnsOf(drawn.image, lineY, text);
        // One unbroken line, one pixel high, above the kana.
        QCOMPARE(line.last() - line.first() + 1, line.size());
        QVERIFY(columnsOf(drawn.image, lineY - 1, text).isEmpty());
        const qreal mora = QFontMetricsF(font).horizontalAdvance(u'ハ');
        const qreal left = drawn.rect.left();
        QVERIFY2(std::abs(line.first() - (left + from * mora)) <= 1.5,
                 qPrintable(QStringLiteral("starts at %1").arg(line.first())));
        QVERIFY2(std::abs(line.last() + 1 - (left + to * mora)) <= 1.5,
                 qPrintable(QStringLiteral("ends at %1").arg(line.last())));
        // The hook goes down from the line's right end, clear of the kana's tops.
        const bool hooked = drawn.image.pixelColor(line.last(), lineY + 1) == text &&
                            drawn.image.pixelColor(line.last(), lineY + 2) == text;
        QCOMPARE(hooked, hook);
    }
}

void AccentDrawingTest::staysInsideItsRect_data() {
    QTest::addColumn<int>("pixelSize");
    QTest::newRow("small, as in the grid") << 11;
    QTest::newRow("large") << 28;
}

// Drawn into a rect exactly as high as the font's line (the reading's line in the grid), the
// marks fit: nothing is drawn around it, and the line is still above the kana.
void AccentDrawingTest::staysInsideItsRect() {
    QFETCH(int, pixelSize);
    const QFont font = readingFont(pixelSize);
    const QColor text(Qt::black);
    const QColor background(Qt::white);
    const Drawn drawn = draw(QStringLiteral("トーキョーダ＼イガクノ センセ＼ーデス。 ハシガ"), font,
                             text, background);
    for (int y = 0; y < drawn.image.height(); ++y)
        for (int x = 0; x < drawn.image.width(); ++x)
            if (!drawn.rect.contains(x, y))
                QVERIFY2(drawn.image.pixelColor(x, y) == background,
                         qPrintable(QStringLiteral("drawn outside at %1,%2").arg(x).arg(y)));
    const int lineY = topRow(drawn.image, text);
    // Under the line: a row without ink before the kana begin, so the line reads as a line.
    bool clearRow = false;
    for (int y = lineY + 1; y < lineY + 4 && !clearRow; ++y) {
        const QList<int> ink = columnsOf(drawn.image, y, text);
        clearRow = ink.size() <= 3; // only the hooks
    }
    QVERIFY(clearRow);
}

void AccentDrawingTest::kanaWhereThePlainReadingPutsThem_data() {
    QTest::addColumn<int>("pixelSize");
    QTest::addColumn<int>("rectHeight"); // beyond the font's line height
    QTest::newRow("grid") << 11 << 4;
    QTest::newRow("tight") << 11 << 0;
    QTest::newRow("odd room") << 15 << 7;
}

// Switching the marks on does not move the reading: a phrase without marks is drawn pixel for
// pixel as the plain reading is (drawText, left-aligned and vertically centred).
void AccentDrawingTest::kanaWhereThePlainReadingPutsThem() {
    QFETCH(int, pixelSize);
    QFETCH(int, rectHeight);
    const QFont font = readingFont(pixelSize);
    const QRect rect(3, 5, 200, QFontMetrics(font).height() + rectHeight);
    QImage plain(220, rect.bottom() + 6, QImage::Format_RGB32);
    plain.fill(Qt::white);
    QImage marked = plain;
    {
        QPainter painter(&plain);
        painter.setFont(font);
        painter.setPen(Qt::black);
        painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         QStringLiteral("ソ。"));
    }
    {
        QPainter painter(&marked);
        QPalette palette;
        palette.setColor(QPalette::Text, Qt::black);
        drawAccentReading(painter, rect, font, palette,
                          accentPhrasesFromText(QStringLiteral("ソ。")));
    }
    QCOMPARE(marked, plain);
}

void AccentDrawingTest::phrasesApartAndMeasured() {
    const QFont font = readingFont(16);
    const QList<AccentPhrase> two = accentPhrasesFromText(QStringLiteral("ハ＼シガ スキ＼デス。"));
    const qreal kana = QFontMetricsF(font).horizontalAdvance(QStringLiteral("ハシガスキデス。"));
    const int width = accentReadingWidth(font, two);
    QVERIFY2(width > kana + 2 && width < kana + QFontMetricsF(font).horizontalAdvance(u'ア'),
             qPrintable(QStringLiteral("%1 beside %2").arg(width).arg(kana)));
    QCOMPARE(accentReadingWidth(font, {}), 0);
}

void AccentDrawingTest::accessibleText() {
    const QString form = QStringLiteral("ハ＼シガ スキ＼デス。");
    QCOMPARE(accentAccessibleText(accentPhrasesFromText(form)), form);
}

QTEST_MAIN(AccentDrawingTest)
#include "tst_accentdrawing.moc"
