#include "app/GridCellDelegate.h"
#include "app/MainWindow.h"
#include "app/LessonGrid.h"
#include "lesson/LessonTable.h"
#include "playback/PlaybackController.h"
#include "support/FakeServices.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace lessora;
using namespace lessora::test;

class TestMainWindow : public QObject {
    Q_OBJECT
private slots:
    void startUpState();
    void layoutAndResizing();
    void editingDoneTidiesTheCell();
    void cellColours_data();
    void cellColours();
    void hideText();
    void firstTickStopsTheTimer();
    void errorsInHandlersAreShown();
};

void TestMainWindow::startUpState() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    QCOMPARE(form.windowTitle(), QStringLiteral("Lessora Ver.1.0.0"));
    const LessonTable& table = *form.lessonTable;
    QCOMPARE(table.rows(), 4);
    QCOMPARE(table.row(0), (LessonRow{"1", "A", "English", "Hello. How are you?", ""}));
    QCOMPARE(table.row(1), (LessonRow{"2", "B", "English", "I'm fine, thank you.", ""}));
    QCOMPARE(table.row(2),
             (LessonRow{"3", "Q", "Japanese", QStringLiteral("今日はいい天気ですね。"), ""}));
    QCOMPARE(table.row(3), (LessonRow{"4", "R", "Japanese", QStringLiteral("そうですね。"), ""}));
    QVERIFY(form.StringGrid1->isColumnHidden(ColLanguage));
    QVERIFY(!form.StringGrid1->isColumnHidden(ColText));
    QCOMPARE(form.cmbInterval->currentText(), QStringLiteral("なし"));
    QCOMPARE(form.cmbEnglishRate->currentText(), QStringLiteral("標準"));
    QCOMPARE(form.cmbRepeat->currentText(), QStringLiteral("1回"));
    QVERIFY(!form.chkHideText->isChecked());
    QCOMPARE(form.StringGrid1->currentRow(), -1);
    QCOMPARE(form.StringGrid1->currentColumn(), -1);
    QCOMPARE(form.highlightRow(), -1);
    QVERIFY(form.tmrNext->isActive());
    QCOMPARE(form.tmrNext->interval(), 1000);
    QCOMPARE(form.StringGrid1->model()->headerData(ColInterval, Qt::Horizontal).toString(),
             QStringLiteral("待ち時間"));
    QVERIFY(fakes.messages.messages.isEmpty());
}

void TestMainWindow::layoutAndResizing() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    form.show();
    QCOMPARE(form.size(), QSize(664, 480));
    QCOMPARE(form.StringGrid1->geometry(), QRect(24, 168, 608, 289));
    const QRect speak = form.btnSpeak->geometry();
    const QRect voiceCheck = form.btnVoiceCheck->geometry();
    form.resize(900, 700);
    QCOMPARE(form.StringGrid1->geometry(), QRect(24, 168, 844, 509));
    QCOMPARE(form.btnSpeak->geometry(), speak);
    QCOMPARE(form.btnVoiceCheck->geometry(), voiceCheck);
    // Button captions are drawn whole.
    for (QPushButton* button : form.findChildren<QPushButton*>())
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) < button->width(),
                 qPrintable(button->text()));
}

void TestMainWindow::editingDoneTidiesTheCell() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    LessonTable& table = *form.lessonTable;
    // Through the grid's delegate, as when the editor closes.
    QWidget* editor = form.gridDelegate->createEditor(form.StringGrid1->viewport(), {},
                                                      table.index(3, ColSpeaker));
    form.gridDelegate->setEditorData(editor, table.index(3, ColSpeaker));
    editor->setProperty("text", " b ");
    form.gridDelegate->setModelData(editor, &table, table.index(3, ColSpeaker));
    delete editor;
    QCOMPARE(table.cell(ColSpeaker, 3), "B");
    QCOMPARE(table.cell(ColLanguage, 3), "English");
}

void TestMainWindow::cellColours_data() {
    QTest::addColumn<QString>("speaker");
    QTest::addColumn<bool>("highlighted");
    QTest::addColumn<QRgb>("textColour");
    QTest::newRow("A") << "A" << false << GridCellDelegate::kEnglishText;
    QTest::newRow("lower b with blanks") << " b " << false << GridCellDelegate::kEnglishText;
    QTest::newRow("Q") << "Q" << false << GridCellDelegate::kOtherText;
    QTest::newRow("AB") << "AB" << false << GridCellDelegate::kOtherText;
    QTest::newRow("empty") << "" << false << GridCellDelegate::kOtherText;
    QTest::newRow("highlighted English") << "C" << true << GridCellDelegate::kEnglishText;
    QTest::newRow("highlighted Japanese") << "S" << true << GridCellDelegate::kOtherText;
}

void TestMainWindow::cellColours() {
    QFETCH(QString, speaker);
    QFETCH(bool, highlighted);
    QFETCH(QRgb, textColour);
    LessonTable table;
    table.setRows({{"1", speaker, "", QStringLiteral("██████"), ""}});
    const int highlight = highlighted ? 0 : -1;
    GridCellDelegate delegate([highlight] { return highlight; });

    const QRect rect(0, 0, 120, 24);
    QImage image(rect.size(), QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    QStyleOptionViewItem option;
    option.rect = rect;
    option.state = QStyle::State_Enabled;
    option.font = QFont();
    delegate.paint(&painter, option, table.index(0, ColText));
    painter.end();

    // Some pixel of the full-block text has exactly the row's colour (possibly blended with
    // the tint where the cell is highlighted, which lies under the text).
    bool found = false;
    for (int x = 0; x < rect.width() && !found; ++x) {
        for (int y = 0; y < rect.height() && !found; ++y)
            found = image.pixel(x, y) == textColour;
    }
    QVERIFY(found);
    // The tint: a corner pixel away from the text is white, or white under 30FFFF00.
    const QRgb corner = image.pixel(rect.width() - 2, rect.height() - 2);
    if (highlighted)
        QCOMPARE(QColor(corner), QColor(255, 255, 207));
    else
        QCOMPARE(QColor(corner), QColor(Qt::white));
}

void TestMainWindow::hideText() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    form.chkHideText->setChecked(true);
    QVERIFY(form.StringGrid1->isColumnHidden(ColText));
    QCOMPARE(form.lessonTable->cell(ColText, 0), "Hello. How are you?");
    form.chkHideText->setChecked(false);
    QVERIFY(!form.StringGrid1->isColumnHidden(ColText));
    QCOMPARE(form.StringGrid1->columnWidth(ColText), 400);
    QVERIFY(form.StringGrid1->isColumnHidden(ColLanguage));
}

void TestMainWindow::firstTickStopsTheTimer() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    form.playback().tick();
    QVERIFY(!form.tmrNext->isActive());
    QCOMPARE(form.lessonTable->rows(), 4);
    QCOMPARE(form.btnSpeak->text(), QStringLiteral("読み上げ"));
}

void TestMainWindow::errorsInHandlersAreShown() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    // A handler that fails through the wiring: the check box handler reads the grid, so make
    // the message box itself the proof that the handler ran guarded.
    fakes.messages.whileShown = [](const QString&) {};
    form.errorHandler().run([] { throw AppError(QStringLiteral("失敗")); });
    QCOMPARE(fakes.messages.messages, QStringList{QStringLiteral("失敗.")});
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
