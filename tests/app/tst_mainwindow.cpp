#include "app/GridAccessibility.h"
#include "app/GridCellDelegate.h"
#include "app/LessonDocument.h"
#include "app/LessonGrid.h"
#include "app/MainWindow.h"
#include "app/PracticePanel.h"
#include "lesson/LessonSettings.h"
#include "lesson/LessonTable.h"
#include "playback/PlaybackController.h"
#include "support/Controls.h"
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
    void accentMarksOverTheReadings();
    void spokenRowIsWholeWithTwoRowsAfterIt_data();
    void spokenRowIsWholeWithTwoRowsAfterIt();
    void hideText();
    void listsOfferTheirItems_data();
    void listsOfferTheirItems();
    void controlsAndLessonSettingsFollowEachOther();
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
    const LessonTable& table = form.lessonTable();
    QCOMPARE(table.rows(), 4);
    QCOMPARE(table.row(0), (LessonRow{"1", "A", "English", "Hello. How are you?", ""}));
    QCOMPARE(table.row(1), (LessonRow{"2", "B", "English", "I'm fine, thank you.", ""}));
    QCOMPARE(table.row(2),
             (LessonRow{"3", "Q", "Japanese", QStringLiteral("今日はいい天気ですね。"), ""}));
    QCOMPARE(table.row(3), (LessonRow{"4", "R", "Japanese", QStringLiteral("そうですね。"), ""}));
    QVERIFY(control<LessonGrid>(form, "StringGrid1")->isColumnHidden(ColLanguage));
    QVERIFY(!control<LessonGrid>(form, "StringGrid1")->isColumnHidden(ColText));
    QCOMPARE(control<QComboBox>(form, "cmbInterval")->currentText(), QStringLiteral("なし"));
    QCOMPARE(control<QComboBox>(form, "cmbEnglishRate")->currentText(), QStringLiteral("標準"));
    QCOMPARE(control<QComboBox>(form, "cmbRepeat")->currentText(), QStringLiteral("1回"));
    QVERIFY(!control<QCheckBox>(form, "chkHideText")->isChecked());
    QCOMPARE(control<LessonGrid>(form, "StringGrid1")->currentRow(), -1);
    QCOMPARE(control<LessonGrid>(form, "StringGrid1")->currentColumn(), -1);
    QCOMPARE(form.highlightRow(), -1);
    QVERIFY(control<QTimer>(form, "tmrNext")->isActive());
    QCOMPARE(control<QTimer>(form, "tmrNext")->interval(), 1000);
    QCOMPARE(control<LessonGrid>(form, "StringGrid1")
                 ->model()
                 ->headerData(ColInterval, Qt::Horizontal)
                 .toString(),
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
    QVERIFY(!control<PracticePanel>(*form, "practicePanel")->isVisible());
    QVERIFY(control<QPushButton>(*form, "btnPracticePanel")->isVisible());
    QCOMPARE(control<LessonGrid>(*form, "StringGrid1")->geometry(), QRect(24, 168, 608, 289));
    const QPushButton* toggle = control<QPushButton>(*form, "btnPracticePanel");
    for (const QWidget* other : form->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (other != toggle && other->isVisible())
            QVERIFY2(!other->geometry().intersects(toggle->geometry()),
                     qPrintable(other->objectName()));
    }
    const QRect speak = control<QPushButton>(*form, "btnSpeak")->geometry();
    const QRect voiceCheck = control<QPushButton>(*form, "btnVoiceCheck")->geometry();

    // Unfolded, the panel widens the window by its width, and raises it as far as its bottom
    // block needs (the grid takes the height); nothing else moves.
    const int panel = PracticePanel::kWidth;
    const int raised =
        std::max(480, control<PracticePanel>(*form, "practicePanel")->heightNeeded());
    QVERIFY(raised < 560);
    control<QPushButton>(*form, "btnPracticePanel")->click();
    QCOMPARE(form->size(), QSize(664 + panel, raised));
    QVERIFY(control<PracticePanel>(*form, "practicePanel")->isVisible());
    QCOMPARE(control<LessonGrid>(*form, "StringGrid1")->geometry(),
             QRect(24, 168, 608, 289 + raised - 480));
    QCOMPARE(control<PracticePanel>(*form, "practicePanel")->geometry(),
             QRect(664, 0, panel, raised));
    form->resize(900 + panel, 700);
    QCOMPARE(control<LessonGrid>(*form, "StringGrid1")->geometry(), QRect(24, 168, 844, 509));
    QCOMPARE(control<QPushButton>(*form, "btnSpeak")->geometry(), speak);
    QCOMPARE(control<QPushButton>(*form, "btnVoiceCheck")->geometry(), voiceCheck);
    QCOMPARE(control<PracticePanel>(*form, "practicePanel")->geometry(), QRect(900, 0, panel, 700));
    // Never cut off: the window keeps room for the controls and the panel.
    form->resize(500, 700);
    QCOMPARE(form->width(), 664 + panel);
    QCOMPARE(control<PracticePanel>(*form, "practicePanel")->geometry(), QRect(664, 0, panel, 700));

    // Button captions are drawn whole.
    for (QPushButton* button : form->findChildren<QPushButton*>())
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) < button->width(),
                 qPrintable(button->text()));

    // The choice is remembered in the program's own settings, not in a lesson.
    form.reset();
    MainWindow again(fakes.services());
    again.show();
    QVERIFY(control<PracticePanel>(again, "practicePanel")->isVisible());
    QCOMPARE(again.size(), QSize(664 + panel, raised));
    control<QPushButton>(again, "btnPracticePanel")->click();
    QCOMPARE(again.size(), QSize(664, 480));
    QVERIFY(!control<PracticePanel>(again, "practicePanel")->isVisible());
    MainWindow third(fakes.services());
    third.show();
    QVERIFY(!control<PracticePanel>(third, "practicePanel")->isVisible());
}

void TestMainWindow::editingDoneTidiesTheCell() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    LessonTable& table = form.lessonTable();
    // Through the grid's delegate, as when the editor closes.
    QWidget* editor = control<GridCellDelegate>(form, "gridDelegate")
                          ->createEditor(control<LessonGrid>(form, "StringGrid1")->viewport(), {},
                                         table.index(3, ColSpeaker));
    control<GridCellDelegate>(form, "gridDelegate")
        ->setEditorData(editor, table.index(3, ColSpeaker));
    editor->setProperty("text", " b ");
    control<GridCellDelegate>(form, "gridDelegate")
        ->setModelData(editor, &table, table.index(3, ColSpeaker));
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
    const QImage grid = control<LessonGrid>(form, "StringGrid1")->viewport()->grab().toImage();
    // Beside the Japanese text of row 3, where only the background shows; the text itself is
    // black, so the background must be light.
    const QRect cell =
        control<LessonGrid>(form, "StringGrid1")->visualRect(form.lessonTable().index(2, ColText));
    const QColor background = grid.pixelColor(cell.right() - 4, cell.center().y());
    QVERIFY2(background.lightness() > 200, qPrintable(background.name()));
}

void TestMainWindow::tabOrderKeepsTheMainControlsFirst() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    const QList<QWidget*> expected = {
        control<QPushButton>(form, "btnSpeak"),      control<QPushButton>(form, "btnStop"),
        control<LessonGrid>(form, "StringGrid1"),    control<QComboBox>(form, "cmbInterval"),
        control<QPushButton>(form, "btnVoiceList"),  control<QPushButton>(form, "btnVoiceSettings"),
        control<QComboBox>(form, "cmbRepeat"),       control<QComboBox>(form, "cmbEnglishRate"),
        control<QPushButton>(form, "btnPaste"),      control<QPushButton>(form, "btnSaveLesson"),
        control<QPushButton>(form, "btnLoadLesson"), control<QPushButton>(form, "btnAddRow"),
        control<QPushButton>(form, "btnAppendRow"),  control<QPushButton>(form, "btnDeleteRow"),
        control<QPushButton>(form, "btnMoveUp"),     control<QPushButton>(form, "btnMoveDown"),
        control<QCheckBox>(form, "chkHideText"),     control<QPushButton>(form, "btnClearGrid"),
        control<QPushButton>(form, "btnPrevRow"),    control<QPushButton>(form, "btnNextRow"),
        control<QPushButton>(form, "btnVoiceCheck")};
    QList<QWidget*> chain{control<QPushButton>(form, "btnSpeak")};
    for (QWidget* next = control<QPushButton>(form, "btnSpeak")->nextInFocusChain();
         next != control<QPushButton>(form, "btnSpeak"); next = next->nextInFocusChain()) {
        if (next->focusPolicy() & Qt::TabFocus)
            chain << next;
    }
    QCOMPARE(chain.mid(0, expected.size()), expected);
    // Then the panel's toggle and the practice panel's controls, each with a name a screen
    // reader can say.
    const QList<QWidget*> panel = QList<QWidget*>{control<QPushButton>(form, "btnPracticePanel")} +
                                  control<PracticePanel>(form, "practicePanel")->tabOrder();
    QCOMPARE(chain.mid(expected.size(), panel.size()), panel);
    for (QWidget* control : panel) {
        QVERIFY2(!control->accessibleName().isEmpty(), qPrintable(control->objectName()));
        QVERIFY2(!control->toolTip().isEmpty(), qPrintable(control->objectName()));
    }
}

void TestMainWindow::hideText() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    control<QCheckBox>(form, "chkHideText")->setChecked(true);
    QVERIFY(control<LessonGrid>(form, "StringGrid1")->isColumnHidden(ColText));
    QCOMPARE(form.lessonTable().cell(ColText, 0), "Hello. How are you?");
    control<QCheckBox>(form, "chkHideText")->setChecked(false);
    QVERIFY(!control<LessonGrid>(form, "StringGrid1")->isColumnHidden(ColText));
    QCOMPARE(control<LessonGrid>(form, "StringGrid1")->columnWidth(ColText), 400);
    QVERIFY(control<LessonGrid>(form, "StringGrid1")->isColumnHidden(ColLanguage));
}

void TestMainWindow::listsOfferTheirItems_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("current");
    QTest::newRow("interval") << "cmbInterval"
                              << QStringList{QStringLiteral("なし"), QStringLiteral("0.5秒"),
                                             QStringLiteral("1秒"),  QStringLiteral("2秒"),
                                             QStringLiteral("3秒"),  QStringLiteral("5秒"),
                                             QStringLiteral("10秒")}
                              << 0;
    QTest::newRow("English speed")
        << "cmbEnglishRate"
        << QStringList{QStringLiteral("遅い"), QStringLiteral("やや遅い"), QStringLiteral("標準"),
                       QStringLiteral("やや速い"), QStringLiteral("速い")}
        << 2;
    QTest::newRow("passes") << "cmbRepeat"
                            << QStringList{QStringLiteral("1回"), QStringLiteral("2回"),
                                           QStringLiteral("3回"), QStringLiteral("5回"),
                                           QStringLiteral("10回")}
                            << 0;
    QTest::newRow("role") << "cmbRole"
                          << QStringList{QStringLiteral("なし"), "A", "B", "C", "Q", "R", "S"} << 0;
    QTest::newRow("answer gap") << "cmbAnswerGap"
                                << QStringList{QStringLiteral("1.0倍"), QStringLiteral("1.3倍"),
                                               QStringLiteral("1.5倍"), QStringLiteral("2.0倍")}
                                << 1;
    QTest::newRow("line repeats") << "cmbLineRepeat"
                                  << QStringList{QStringLiteral("1回"), QStringLiteral("2回"),
                                                 QStringLiteral("3回"), QStringLiteral("4回"),
                                                 QStringLiteral("5回")}
                                  << 0;
    QTest::newRow("Japanese speed")
        << "cmbJapaneseRate"
        << QStringList{QStringLiteral("0.7倍"), QStringLiteral("0.8倍"), QStringLiteral("0.9倍"),
                       QStringLiteral("標準"),  QStringLiteral("1.1倍"), QStringLiteral("1.25倍")}
        << 3;
}

// The texts of every list exactly, and the item a new window starts at.
void TestMainWindow::listsOfferTheirItems() {
    QFETCH(QString, name);
    QFETCH(QStringList, items);
    QFETCH(int, current);
    FakeServices fakes;
    MainWindow form(fakes.services());
    const QComboBox* list = control<QComboBox>(form, qPrintable(name));
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown << list->itemText(i);
    QCOMPARE(shown, items);
    QCOMPARE(list->currentIndex(), current);
}

// The lists write to the lesson settings, and a change of the settings (a loaded lesson's)
// shows in the lists and boxes and acts as the user's choice would: hide-text hides the column.
void TestMainWindow::controlsAndLessonSettingsFollowEachOther() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    CurrentLessonSettings& settings = form.lessonSettings();
    control<QComboBox>(form, "cmbInterval")->setCurrentIndex(5);
    control<QComboBox>(form, "cmbRole")->setCurrentIndex(2);
    control<QComboBox>(form, "cmbLineRepeat")->setCurrentIndex(2);
    control<QCheckBox>(form, "chkShadowing")->setChecked(true);
    QCOMPARE(settings.values().intervalIndex, 5);
    QCOMPARE(settings.practice().role, "B");
    QCOMPARE(settings.practice().lineRepeatCount, 3);
    QVERIFY(settings.practice().shadowingGap);

    LessonSettings loaded = settings.values();
    loaded.englishRateIndex = 4;
    loaded.repeatIndex = -1;
    loaded.hideText = true;
    loaded.practice = PracticeSettings{};
    loaded.practice.japaneseRateIndex = 0;
    settings.setValues(loaded);
    QCOMPARE(control<QComboBox>(form, "cmbEnglishRate")->currentText(), QStringLiteral("速い"));
    QCOMPARE(control<QComboBox>(form, "cmbRepeat")->currentIndex(), -1);
    QCOMPARE(control<QComboBox>(form, "cmbInterval")->currentIndex(), 5);
    QVERIFY(control<QCheckBox>(form, "chkHideText")->isChecked());
    QVERIFY(control<LessonGrid>(form, "StringGrid1")->isColumnHidden(ColText));
    QCOMPARE(control<QComboBox>(form, "cmbRole")->currentIndex(), 0);
    QCOMPARE(control<QComboBox>(form, "cmbLineRepeat")->currentIndex(), 0);
    QVERIFY(!control<QCheckBox>(form, "chkShadowing")->isChecked());
    QCOMPARE(control<QComboBox>(form, "cmbJapaneseRate")->currentText(), QStringLiteral("0.7倍"));
    // Showing the settings changed none of them back.
    QCOMPARE(settings.values(), loaded);
    QVERIFY(form.document().isModified());
}

// The title's timer is the window's own: nothing playing does not stop it, so the note about
// the sound device comes and goes while the window is idle.
void TestMainWindow::titleNoteStaysCurrentWhileIdle() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    const QString note = QStringLiteral("音声デバイスが見つかりません");
    fakes.speech.availability = note;
    QMetaObject::invokeMethod(control<QTimer>(form, "tmrNext"), "timeout");
    QVERIFY(form.windowTitle().endsWith(QStringLiteral(" - ") + note));
    QVERIFY(control<QTimer>(form, "tmrNext")->isActive());
    fakes.speech.availability.clear();
    QMetaObject::invokeMethod(control<QTimer>(form, "tmrNext"), "timeout");
    QVERIFY(!form.windowTitle().contains(note));
    QVERIFY(control<QTimer>(form, "tmrNext")->isActive());
    QCOMPARE(form.lessonTable().rows(), 4);
    QCOMPARE(control<QPushButton>(form, "btnSpeak")->text(), QStringLiteral("読み上げ"));
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
    control<QPushButton>(form, "btnSaveLesson")->click();
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

    PracticePanel& panel = *control<PracticePanel>(form, "practicePanel");
    control<QComboBox>(panel, "cmbRole")->setCurrentText(QStringLiteral("B"));
    control<QCheckBox>(panel, "chkModelAfterAnswer")->setChecked(true);
    control<QComboBox>(panel, "cmbLineRepeat")->setCurrentIndex(4);
    control<QComboBox>(panel, "cmbJapaneseRate")->setCurrentIndex(0);
    control<QCheckBox>(panel, "chkSlowestEnglish")->setChecked(true);
    control<QCheckBox>(panel, "chkShowReadings")->setChecked(true);
    control<QPushButton>(form, "btnSaveLesson")->click();

    MainWindow loaded(fakes.services());
    fakes.fileDialogs.openAnswers << practicePath;
    control<QPushButton>(loaded, "btnLoadLesson")->click();
    QCOMPARE(loaded.lessonSettings().practice(), form.lessonSettings().practice());
    QCOMPARE(control<QComboBox>(loaded, "cmbRole")->currentText(), QStringLiteral("B"));
    QCOMPARE(control<QComboBox>(loaded, "cmbLineRepeat")->currentIndex(), 4);
    // A file without practice settings brings every one back to its default, and saving it
    // again keeps its bytes.
    plain.seek(0);
    const QByteArray before = plain.readAll();
    plain.close();
    fakes.fileDialogs.openAnswers << plainPath;
    control<QPushButton>(loaded, "btnLoadLesson")->click();
    QCOMPARE(loaded.lessonSettings().practice(), PracticeSettings{});
    fakes.fileDialogs.saveAnswers << plainPath;
    control<QPushButton>(loaded, "btnSaveLesson")->click();
    QVERIFY(plain.open(QIODevice::ReadOnly));
    QCOMPARE(plain.readAll(), before);
}

// "あなたの番です" wrapped and pushed the panel down at every turn; the empty peek box said nothing
// about what it is for.
void TestMainWindow::progressAndPeekNeverMoveThePanel() {
    FakeServices fakes;
    MainWindow form(fakes.services());
    form.show();
    control<QPushButton>(form, "btnPracticePanel")->click();
    PracticePanel& panel = *control<PracticePanel>(form, "practicePanel");
    QCOMPARE(control<QLabel>(panel, "lblPeek")->text(), PracticePanel::peekHint());
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
        QVERIFY2(control<QLabel>(panel, "lblProgress")->sizeHint().width() <=
                     control<QLabel>(panel, "lblProgress")->width(),
                 qPrintable(control<QLabel>(panel, "lblProgress")->text()));
    }

    // Held, the box shows the selected line; let go, the hint again.
    control<LessonGrid>(form, "StringGrid1")->makeRowCurrent(0);
    QTest::mousePress(control<QPushButton>(panel, "btnPeek"), Qt::LeftButton);
    QCOMPARE(control<QLabel>(panel, "lblPeek")->text(), form.lessonTable().cell(ColText, 0));
    QTest::mouseRelease(control<QPushButton>(panel, "btnPeek"), Qt::LeftButton);
    QCOMPARE(control<QLabel>(panel, "lblPeek")->text(), PracticePanel::peekHint());
    QCOMPARE(geometries(), before);
}

// The accent marks: off by default and only with the readings, a lesson member as the other
// practice settings, and drawn, told to screen readers and peeked at once the analysis arrives.
void TestMainWindow::accentMarksOverTheReadings() {
    FakeServices fakes;
    const int row = 2; // a Japanese line of the sample lesson
    const QString line = QStringLiteral("今日はいい天気ですね。");
    const QString marked = QStringLiteral("キョ＼ーワ イ＼イ テ＼ンキデスネ。");
    fakes.accentForms.insert(line, marked);
    MainWindow form(fakes.services());
    QCOMPARE(form.lessonTable().cell(ColText, row), line);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    LessonGrid& grid = *control<LessonGrid>(form, "StringGrid1");
    QCheckBox& readings = *control<QCheckBox>(form, "chkShowReadings");
    QCheckBox& accent = *control<QCheckBox>(form, "chkShowAccent");
    QVERIFY(!accent.isChecked());
    QVERIFY(!accent.isEnabled());
    QCOMPARE(accent.accessibleName(), QStringLiteral("アクセントを表示(A)"));
    QVERIFY(!accent.toolTip().isEmpty());
    const auto description = [&grid](int r) {
        QAccessibleInterface* table = QAccessible::queryAccessibleInterface(&grid);
        const int place = accessibleCellIndex(grid, grid.model()->index(r, ColText));
        return table->child(place)->text(QAccessible::Description);
    };
    const auto pixels = [&grid] { return grid.viewport()->grab().toImage(); };

    readings.setChecked(true);
    QVERIFY(accent.isEnabled());
    const QString plain = description(row);
    QVERIFY(!plain.isEmpty());
    QVERIFY(!plain.contains(u'＼'));
    QCOMPARE(description(0), QString()); // an English line has no reading
    const QImage plainPixels = pixels();
    const int rowHeight = grid.rowHeight(row);

    // Saved with readings; then the accent alone marks the lesson modified and is saved.
    const QString path = fakes.folder.filePath(QStringLiteral("accent.json"));
    fakes.fileDialogs.saveAnswers << path << path;
    control<QPushButton>(form, "btnSaveLesson")->click();
    QVERIFY(!form.document().isModified());
    accent.setChecked(true);
    QVERIFY(form.lessonSettings().practice().showAccent);
    QVERIFY(form.document().isModified());
    control<QPushButton>(form, "btnSaveLesson")->click();
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll().contains(R"("ShowReadings":true,"ShowAccent":true,"Rows")"));

    // The analysis runs off the window's thread; the row is drawn again when it is in.
    QTRY_COMPARE(description(row), marked);
    QTRY_VERIFY(pixels() != plainPixels);
    QCOMPARE(grid.rowHeight(row), rowHeight);
    grid.makeRowCurrent(row);
    PracticePanel& panel = *control<PracticePanel>(form, "practicePanel");
    QTest::mousePress(control<QPushButton>(panel, "btnPeek"), Qt::LeftButton);
    QCOMPARE(control<QLabel>(panel, "lblPeek")->text(), line + u'\n' + marked);
    QTest::mouseRelease(control<QPushButton>(panel, "btnPeek"), Qt::LeftButton);

    // Without readings, no marks either; the box keeps its choice for when they come back.
    grid.setCurrentIndex({});
    readings.setChecked(false);
    QVERIFY(!accent.isEnabled());
    QVERIFY(accent.isChecked());
    QCOMPARE(description(row), QString());
    readings.setChecked(true);
    accent.setChecked(false);
    QCOMPARE(description(row), plain);
    QTRY_COMPARE(pixels(), plainPixels);
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
    form.lessonTable().setRows(rows);
    control<QCheckBox>(form, "chkShowReadings")->setChecked(readings);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    LessonGrid& grid = *control<LessonGrid>(form, "StringGrid1");
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
    form.lessonTable().setRows({{QString(), "A", "English", "Hello.", QString()}});
    const QString path = fakes.folder.filePath("lesson.wav");
    fakes.fileDialogs.saveAnswers << path;
    // The label of each progress box still there with the message: one that is only hidden
    // may show again behind it, reading "中止しています…" after a close counted as a cancel.
    QStringList progressShown;
    fakes.messages.whileShown = [&](const QString&) {
        for (QProgressDialog* box : form.findChildren<QProgressDialog*>())
            progressShown << box->labelText();
    };
    control<QPushButton>(form, "btnExportAudio")->click();
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
    control<QPushButton>(form, "btnLoadLesson")->click();
    fakes.messages.messages.clear();

    for (const QString& output : {lesson, fakes.folder.filePath("link.wav")}) {
        fakes.fileDialogs.saveAnswers << output;
        control<QPushButton>(form, "btnExportAudio")->click();
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
