#include "app/GridCellDelegate.h"
#include "app/LessonGrid.h"
#include "app/MainWindow.h"
#include "app/PracticePanel.h"
#include "lesson/LessonTable.h"
#include "playback/PlaybackController.h"
#include "support/FakeServices.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPainter>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <memory>

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
    void readableInADarkTheme();
    void tabOrderKeepsTheMainControlsFirst();
    void practiceSettingsSavedAndLoaded();
    void progressAndPeekNeverMoveThePanel();
    void spokenRowIsWholeWithTwoRowsAfterIt_data();
    void spokenRowIsWholeWithTwoRowsAfterIt();
    void hideText();
    void titleNoteStaysCurrentWhileIdle();
    void errorsInHandlersAreShown();
    void exportEndsWithoutItsProgressBox();
    void exportNeverOverwritesTheLesson();
};

void TestMainWindow::startUpState() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    form.winId();
    QCOMPARE(form.windowHandle()->title(), QStringLiteral("Lessora Ver.1.0.0"));
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
    auto form = std::make_unique<MainWindow>(fakes.services());
    form->show();
    // The first time: the 664 x 480 of the main window's controls, the practice panel folded
    // and its toggle in the free space, clear of every other control.
    QCOMPARE(form->size(), QSize(664, 480));
    QVERIFY(!form->practicePanel->isVisible());
    QVERIFY(form->btnPracticePanel->isVisible());
    QCOMPARE(form->StringGrid1->geometry(), QRect(24, 168, 608, 289));
    for (const QWidget* control : form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (control != form->btnPracticePanel && control->isVisible())
            QVERIFY2(!control->geometry().intersects(form->btnPracticePanel->geometry()),
                     qPrintable(control->objectName()));
    }
    const QRect speak = form->btnSpeak->geometry();
    const QRect voiceCheck = form->btnVoiceCheck->geometry();

    // Unfolded, the panel widens the window by its width; nothing else moves.
    const int panel = PracticePanel::kWidth;
    form->btnPracticePanel->click();
    QCOMPARE(form->size(), QSize(664 + panel, 480));
    QVERIFY(form->practicePanel->isVisible());
    QCOMPARE(form->StringGrid1->geometry(), QRect(24, 168, 608, 289));
    QCOMPARE(form->practicePanel->geometry(), QRect(664, 0, panel, 480));
    form->resize(900 + panel, 700);
    QCOMPARE(form->StringGrid1->geometry(), QRect(24, 168, 844, 509));
    QCOMPARE(form->btnSpeak->geometry(), speak);
    QCOMPARE(form->btnVoiceCheck->geometry(), voiceCheck);
    QCOMPARE(form->practicePanel->geometry(), QRect(900, 0, panel, 700));
    // Never cut off: the window keeps room for the controls and the panel.
    form->resize(500, 700);
    QCOMPARE(form->width(), 664 + panel);
    QCOMPARE(form->practicePanel->geometry(), QRect(664, 0, panel, 700));

    // Button captions are drawn whole.
    for (QPushButton* button : form->findChildren<QPushButton*>())
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) < button->width(),
                 qPrintable(button->text()));

    // The choice is remembered in the program's own settings, not in a lesson.
    form.reset();
    MainWindow again(fakes.services());
    again.show();
    QVERIFY(again.practicePanel->isVisible());
    QCOMPARE(again.size(), QSize(664 + panel, 480));
    again.btnPracticePanel->click();
    QCOMPARE(again.size(), QSize(664, 480));
    QVERIFY(!again.practicePanel->isVisible());
    MainWindow third(fakes.services());
    third.show();
    QVERIFY(!third.practicePanel->isVisible());
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
    // The tint: a pixel away from the text is white, or white under 30FFFF00; the highlighted
    // row also has its marker along the cell's top edge.
    const QRgb blank = image.pixel(rect.width() - 2, rect.height() / 2);
    const QRgb topEdge = image.pixel(rect.width() - 2, 0);
    if (highlighted) {
        QCOMPARE(QColor(blank), QColor(255, 255, 207));
        QCOMPARE(QColor(topEdge), QColor::fromRgba(GridCellDelegate::kSpeakingMarker));
    } else {
        QCOMPARE(QColor(blank), QColor(Qt::white));
        QCOMPARE(QColor(topEdge), QColor(Qt::white));
    }
}

void TestMainWindow::readableInADarkTheme() {
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
    dark.setColor(QPalette::Window, QColor(0x30, 0x30, 0x30));
    dark.setColor(QPalette::Text, Qt::white);
    QApplication::setPalette(dark);
    const auto restore = qScopeGuard([&before] { QApplication::setPalette(before); });

    FakeServices fakes;
    MainWindow form(fakes.services());
    form.show();
    const QImage grid = form.StringGrid1->viewport()->grab().toImage();
    // Beside the Japanese text of row 3, where only the background shows; the text itself is
    // black, so the background must be light.
    const QRect cell = form.StringGrid1->visualRect(form.lessonTable->index(2, ColText));
    const QColor background = grid.pixelColor(cell.right() - 4, cell.center().y());
    QVERIFY2(background.lightness() > 200, qPrintable(background.name()));
}

void TestMainWindow::tabOrderKeepsTheMainControlsFirst() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    const QList<QWidget*> expected = {
        form.btnSpeak,     form.btnStop,          form.StringGrid1,   form.cmbInterval,
        form.btnVoiceList, form.btnVoiceSettings, form.cmbRepeat,     form.cmbEnglishRate,
        form.btnPaste,     form.btnSaveLesson,    form.btnLoadLesson, form.btnAddRow,
        form.btnAppendRow, form.btnDeleteRow,     form.btnMoveUp,     form.btnMoveDown,
        form.chkHideText,  form.btnClearGrid,     form.btnPrevRow,    form.btnNextRow,
        form.btnVoiceCheck};
    QList<QWidget*> chain{form.btnSpeak};
    for (QWidget* next = form.btnSpeak->nextInFocusChain(); next != form.btnSpeak;
         next = next->nextInFocusChain()) {
        if (next->focusPolicy() & Qt::TabFocus)
            chain << next;
    }
    QCOMPARE(chain.mid(0, expected.size()), expected);
    // Then the panel's toggle and the practice panel's controls, each with a name a screen
    // reader can say.
    const QList<QWidget*> panel =
        QList<QWidget*>{form.btnPracticePanel} + form.practicePanel->tabOrder();
    QCOMPARE(chain.mid(expected.size(), panel.size()), panel);
    for (QWidget* control : panel) {
        QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
        QVERIFY2(!control->toolTip().isEmpty(), qPrintable(control->objectName()));
    }
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

// The title's timer is the window's own: nothing playing does not stop it, so the note about
// the sound device comes and goes while the window is idle.
void TestMainWindow::titleNoteStaysCurrentWhileIdle() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    const QString note = QStringLiteral("音声デバイスが見つかりません");
    fakes.speech.availability = note;
    QMetaObject::invokeMethod(form.tmrNext, "timeout");
    QVERIFY(form.windowTitle().endsWith(QStringLiteral(" - ") + note));
    QVERIFY(form.tmrNext->isActive());
    fakes.speech.availability.clear();
    QMetaObject::invokeMethod(form.tmrNext, "timeout");
    QVERIFY(!form.windowTitle().contains(note));
    QVERIFY(form.tmrNext->isActive());
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

void TestMainWindow::practiceSettingsSavedAndLoaded() {
    FakeServices fakes;
    const QString plainPath = fakes.folder.filePath(QStringLiteral("plain.json"));
    const QString practicePath = fakes.folder.filePath(QStringLiteral("practice.json"));
    MainWindow form(fakes.services());
    // A lesson saved with today's settings keeps its bytes: the practice panel adds nothing.
    fakes.fileDialogs.saveAnswers << plainPath << practicePath;
    form.btnSaveLesson->click();
    QFile plain(plainPath);
    QVERIFY(plain.open(QIODevice::ReadOnly));
    QCOMPARE(plain.readAll(),
             QByteArray("\xEF\xBB\xBF{\"EnglishRateIndex\":2,\"IntervalIndex\":0,\"RepeatIndex\":0,"
                        "\"HideText\":false,\"Rows\":[{\"No\":\"1\",\"Speaker\":\"A\",\"Language\":"
                        "\"English\",\"Text\":\"Hello. How are you?\",\"Interval\":\"\"},{\"No\":"
                        "\"2\",\"Speaker\":\"B\",\"Language\":\"English\",\"Text\":\"I'm fine, "
                        "thank you.\",\"Interval\":\"\"},{\"No\":\"3\",\"Speaker\":\"Q\","
                        "\"Language\":\"Japanese\",\"Text\":\"\\u4ECA\\u65E5\\u306F\\u3044\\u3044"
                        "\\u5929\\u6C17\\u3067\\u3059\\u306D\\u3002\",\"Interval\":\"\"},{\"No\":"
                        "\"4\",\"Speaker\":\"R\",\"Language\":\"Japanese\",\"Text\":\"\\u305D"
                        "\\u3046\\u3067\\u3059\\u306D\\u3002\",\"Interval\":\"\"}]}"));

    PracticePanel& panel = *form.practicePanel;
    panel.cmbRole->setCurrentText(QStringLiteral("B"));
    panel.chkModelAfterAnswer->setChecked(true);
    panel.cmbLineRepeat->setCurrentIndex(4);
    panel.cmbJapaneseRate->setCurrentIndex(0);
    panel.chkSlowestEnglish->setChecked(true);
    panel.chkShowReadings->setChecked(true);
    form.btnSaveLesson->click();

    MainWindow loaded(fakes.services());
    fakes.fileDialogs.openAnswers << practicePath;
    loaded.btnLoadLesson->click();
    QCOMPARE(loaded.practicePanel->settings(), panel.settings());
    QCOMPARE(loaded.practicePanel->cmbRole->currentText(), QStringLiteral("B"));
    // A file without practice settings brings every one back to its default, and saving it
    // again keeps its bytes.
    plain.seek(0);
    const QByteArray before = plain.readAll();
    plain.close();
    fakes.fileDialogs.openAnswers << plainPath;
    loaded.btnLoadLesson->click();
    QCOMPARE(loaded.practicePanel->settings(), PracticeSettings{});
    fakes.fileDialogs.saveAnswers << plainPath;
    loaded.btnSaveLesson->click();
    QVERIFY(plain.open(QIODevice::ReadOnly));
    QCOMPARE(plain.readAll(), before);
}

// "あなたの番です" wrapped and pushed the panel down at every turn; the empty peek box said nothing
// about what it is for.
void TestMainWindow::progressAndPeekNeverMoveThePanel() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    form.show();
    form.btnPracticePanel->click();
    PracticePanel& panel = *form.practicePanel;
    QCOMPARE(panel.lblPeek->text(), PracticePanel::kPeekHint);
    const auto geometries = [&panel] {
        QList<QRect> rects;
        for (const QWidget* child : panel.findChildren<QWidget*>())
            rects << child->geometry();
        return rects;
    };
    const QList<QRect> before = geometries();
    for (const PlaybackProgress& progress :
         {PlaybackProgress{true, false, 4, 6, 1, 1, 1, 1, true},
          PlaybackProgress{true, false, 999, 999, 10, 10, 5, 5, true},
          PlaybackProgress{true, true, 999, 999, 10, 10, 5, 5, false}, PlaybackProgress{}}) {
        panel.showProgress(progress);
        QApplication::processEvents();
        QCOMPARE(geometries(), before);
        QVERIFY2(panel.lblProgress->sizeHint().width() <= panel.lblProgress->width(),
                 qPrintable(panel.lblProgress->text()));
    }

    // Held, the box shows the selected line; let go, the hint again.
    form.StringGrid1->makeRowCurrent(0);
    QTest::mousePress(panel.btnPeek, Qt::LeftButton);
    QCOMPARE(panel.lblPeek->text(), form.lessonTable->cell(ColText, 0));
    QTest::mouseRelease(panel.btnPeek, Qt::LeftButton);
    QCOMPARE(panel.lblPeek->text(), PracticePanel::kPeekHint);
    QCOMPARE(geometries(), before);
}

void TestMainWindow::spokenRowIsWholeWithTwoRowsAfterIt_data() {
    QTest::addColumn<bool>("readings");
    QTest::newRow("one line a row") << false;
    QTest::newRow("readings under the text") << true;
}

// The spoken row sat half cut off at the bottom of the grid, the lines to come out of sight.
void TestMainWindow::spokenRowIsWholeWithTwoRowsAfterIt() {
    QFETCH(bool, readings);
    FakeServices fakes;
    MainWindow form(fakes.services());
    QList<LessonRow> rows;
    for (int i = 1; i <= 30; ++i)
        rows << LessonRow{QString::number(i), i % 2 ? "A" : "Q", i % 2 ? "English" : "Japanese",
                          i % 2 ? "Hello." : QStringLiteral("こんにちは。"), ""};
    form.lessonTable->setRows(rows);
    form.practicePanel->chkShowReadings->setChecked(readings);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    LessonGrid& grid = *form.StringGrid1;
    const auto whole = [&grid](int row) {
        return grid.viewport()->rect().contains(grid.visualRect(grid.model()->index(row, ColText)));
    };
    for (int row = 0; row < 30; ++row) {
        form.setHighlightRow(row);
        for (int shown = row; shown <= std::min(row + 2, 29); ++shown)
            QVERIFY2(whole(shown), qPrintable(QStringLiteral("%1 of %2").arg(shown).arg(row)));
    }

    // Never while the user types.
    form.setHighlightRow(0);
    grid.makeRowCurrent(0);
    grid.setFocus();
    QTest::keyClicks(&grid, "x");
    const int scrolled = grid.verticalScrollBar()->value();
    form.setHighlightRow(25);
    QCOMPARE(grid.verticalScrollBar()->value(), scrolled);
}

QTEST_MAIN(TestMainWindow)
void TestMainWindow::exportEndsWithoutItsProgressBox() {
    FakeServices fakes;
    fakes.speech.addVoice(QStringLiteral("Eng One"), QStringLiteral("409"));
    MainWindow form(fakes.services());
    form.show();
    form.lessonTable->setRows({{QString(), "A", "English", "Hello.", QString()}});
    const QString path = fakes.folder.filePath("lesson.wav");
    fakes.fileDialogs.saveAnswers << path;
    // The label of each progress box still there with the message: one that is only hidden
    // may show again behind it, reading "中止しています…" after a close counted as a cancel.
    QStringList progressShown;
    fakes.messages.whileShown = [&](const QString&) {
        for (QProgressDialog* box : form.findChildren<QProgressDialog*>())
            progressShown << box->labelText();
    };
    form.practicePanel->btnExportAudio->click();
    QCOMPARE(fakes.messages.messages.size(), 1);
    QVERIFY2(fakes.messages.messages[0].startsWith(QStringLiteral("書き出しました。")),
             qPrintable(fakes.messages.messages[0]));
    QVERIFY2(progressShown.isEmpty(), qPrintable(progressShown.join(u' ')));
    QVERIFY(QFile::exists(path));
}

void TestMainWindow::exportNeverOverwritesTheLesson() {
    FakeServices fakes;
    fakes.speech.addVoice(QStringLiteral("Eng One"), QStringLiteral("409"));
    MainWindow form(fakes.services());
    const QString lesson = fakes.folder.filePath("lesson.wav"); // a lesson, oddly named
    const QByteArray content =
        R"({"Rows":[{"No":"1","Speaker":"A","Language":"English","Text":"Hi.","Interval":""}]})";
    QFile file(lesson);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    file.close();
    QVERIFY(QFile::link(lesson, fakes.folder.filePath("link.wav")));
    fakes.fileDialogs.openAnswers << lesson;
    form.btnLoadLesson->click();
    fakes.messages.messages.clear();

    for (const QString& output : {lesson, fakes.folder.filePath("link.wav")}) {
        fakes.fileDialogs.saveAnswers << output;
        form.practicePanel->btnExportAudio->click();
        QCOMPARE(fakes.messages.messages.size(), 1);
        QVERIFY2(!fakes.messages.messages[0].startsWith(QStringLiteral("書き出しました。")),
                 qPrintable(fakes.messages.messages[0]));
        fakes.messages.messages.clear();
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
        file.close();
    }
}

#include "tst_mainwindow.moc"
