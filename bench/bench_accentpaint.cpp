// Paint time of a screen of readings with accent marks beside the same readings without them,
// in the same run: 30 rows, each the reading line of a grid row (the reading font, 0.85 of the
// program's, in a rect of its line height plus 4 pixels), painted into an image as the grid's
// delegate paints them. Three figures, medians of interleaved rounds of many frames:
//  - plain: drawText of the katakana, as the reading is drawn today;
//  - marked: drawAccentReading of phrases kept from the analysis;
//  - marked from the text form: the same, the phrases read from the text form each time.
// Usage: bench_accentpaint [--png FILE]   (FILE: the marked frame, to look at)
#include "Median.h"
#include "app/AccentDrawing.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPalette>

#include <cstdio>
#include <functional>

using namespace lessora;

namespace {

// Text forms of dialogue lines, as Open JTalk analyses them.
const char* const kForms[] = {
    "キョーワ ナ＼ンガツ ナ＼ンニチデス＼カ？",
    "ハ＼シガ スキ＼デス。",
    "トーキョーダ＼イガクノ センセ＼ーデス。",
    "エンピツオ サン＼ボント、 ハツカニ カイマ＼シタ。",
    "シガツ ツイタチ＼ノ ク＼ジ ゴ＼フンデス。",
    "ソーデス＼カ？ ハ＼イ、 ソーデス。",
    "スミマセ＼ン、 エ＼キワ ド＼コデス＼カ？",
    "コノ デ＼ンシャワ シンジュクニワ トマラナ＼イソーデス＼ヨ。",
    "アシタノ カ＼イギノ シ＼リョーオ モー イチド カクニンシテ クダサ＼イ。",
    "ホ＼ンオ ヨミマセ＼ンデシタ。",
};
constexpr int kRows = 30;

struct Row {
    QString plain;
    QString form;
    QList<AccentPhrase> phrases;
};

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QFont font = QApplication::font();
    font.setPointSizeF(font.pointSizeF() * 0.85); // the reading's font in the grid
    const int rowHeight = 2 * QFontMetrics(QApplication::font()).height() + 8;
    const int readingHeight = rowHeight - rowHeight / 2; // the lower half of the row
    QImage frame(900, kRows * rowHeight, QImage::Format_ARGB32_Premultiplied);
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Text, QColor(0x55, 0x55, 0x55));

    QList<Row> rows;
    for (int i = 0; i < kRows; ++i) {
        Row row;
        row.form = QString::fromUtf8(kForms[i % std::size(kForms)]);
        row.phrases = accentPhrasesFromText(row.form);
        row.plain = QString(row.form).remove(u'＼').remove(u' ');
        rows << row;
    }
    const auto readingRect = [&](int i) {
        return QRect(4, i * rowHeight + rowHeight - readingHeight, frame.width() - 8,
                     readingHeight);
    };
    const std::function<void(QPainter&, int)> plain = [&](QPainter& painter, int i) {
        painter.setFont(font);
        painter.setPen(palette.color(QPalette::Text));
        painter.drawText(readingRect(i), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         rows[i].plain);
    };
    const std::function<void(QPainter&, int)> marked = [&](QPainter& painter, int i) {
        drawAccentReading(painter, readingRect(i), font, palette, rows[i].phrases);
    };
    const std::function<void(QPainter&, int)> fromForm = [&](QPainter& painter, int i) {
        drawAccentReading(painter, readingRect(i), font, palette,
                          accentPhrasesFromText(rows[i].form));
    };
    // One frame: the background and 30 readings, in ms.
    const auto paintFrame = [&](const std::function<void(QPainter&, int)>& paintRow) {
        QElapsedTimer timer;
        timer.start();
        frame.fill(Qt::white);
        QPainter painter(&frame);
        for (int i = 0; i < kRows; ++i)
            paintRow(painter, i);
        painter.end();
        return timer.nsecsElapsed() / 1e6;
    };
    for (int i = 0; i < 20; ++i) { // glyph caches and the marks' metrics
        paintFrame(plain);
        paintFrame(marked);
    }
    constexpr int kRounds = 15;
    constexpr int kFrames = 40;
    std::vector<double> plainMs, markedMs, fromFormMs;
    for (int round = 0; round < kRounds; ++round) {
        for (const auto& [paintRow, times] :
             {std::pair{&plain, &plainMs}, {&marked, &markedMs}, {&fromForm, &fromFormMs}}) {
            double total = 0;
            for (int f = 0; f < kFrames; ++f)
                total += paintFrame(*paintRow);
            times->push_back(total / kFrames);
        }
    }
    const double plainFrame = median(plainMs);
    std::printf("font %s %.1f pt, reading line %d px, %d rows\n",
                qPrintable(QFontInfo(font).family()), font.pointSizeF(), readingHeight, kRows);
    std::printf("plain readings: %.3f ms a frame\n", plainFrame);
    std::printf("with accent marks: %.3f ms a frame (%.2fx)\n", median(markedMs),
                median(markedMs) / plainFrame);
    std::printf("with accent marks, phrases read from the text form: %.3f ms a frame (%.2fx)\n",
                median(fromFormMs), median(fromFormMs) / plainFrame);
    std::printf("frame budget at 60 Hz: 16.7 ms\n");
    if (argc > 2 && QByteArray(argv[1]) == "--png") {
        paintFrame(marked);
        frame.save(QString::fromLocal8Bit(argv[2]));
    }
    return 0;
}
