// The program's texts in English on request: switched both ways in the running windows, the
// choice kept, messages in the language shown, every English caption whole in its control,
// nothing Japanese left behind, and a lesson saved the same in either language.
#include "app/LanguageChoice.h"
#include "app/LessonDocument.h"
#include "app/MainWindow.h"
#include "app/VoiceCheckDialog.h"
#include "app/VoiceSettingsDialog.h"
#include "export/LessonExport.h"
#include "files/LessonFile.h"
#include "lesson/ClipboardPaste.h"
#include "lesson/LessonSettings.h"
#include "lesson/LessonTable.h"
#include "lesson/RowCommands.h"
#include "platform/ErrorHandler.h"
#include "playback/PlaybackController.h"
#include "support/Controls.h"
#include "support/FakeServices.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QStyleOptionComboBox>
#include <QTableView>
#include <QTest>

#include <functional>
#include <memory>

using namespace lessora;
using namespace lessora::test;

namespace {

// Kana, kanji and the full-width forms: what an English text never holds.
bool hasJapanese(const QString& text) {
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x3000 && u < 0xA000) || (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

// The LanguageChange events that installing or removing a translation posts to the windows.
void settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

QString withoutMnemonic(QString text) {
    return text.remove(u'&');
}

// The main window and both voice windows, as the program makes them.
struct Windows {
    FakeServices fakes;
    std::unique_ptr<MainWindow> main;
    VoiceSettingsDialog* voiceSettings = nullptr;
    VoiceCheckDialog* voiceCheck = nullptr;

    Windows() {
        fakes.speech.missingVoice = QStringLiteral("hts-voice-nitech-jp-atr503-m001");
        main = std::make_unique<MainWindow>(fakes.services());
        voiceSettings = new VoiceSettingsDialog(fakes.services(), main.get());
        voiceCheck = new VoiceCheckDialog(fakes.services(), main.get());
        main->setVoiceWindows(voiceSettings, voiceCheck);
    }
    QList<QWidget*> all() const { return {main.get(), voiceSettings, voiceCheck}; }
    QWidget* window(const QString& name) const {
        if (name == u"settings")
            return voiceSettings;
        if (name == u"check")
            return voiceCheck;
        return main.get();
    }
    void clickLanguage() {
        control<QPushButton>(*main, "btnLanguage")->click();
        settle();
    }
};

// One shown text of a window, named as the table below names it: "title", "text", "tip",
// "name" (accessible), "item N" of a list, "header N" of the grid.
QString shownText(const Windows& windows, const QString& window, const QString& object,
                  const QString& what) {
    QWidget* top = windows.window(window);
    if (what == u"title" && object.isEmpty())
        return top->windowTitle();
    if (what.startsWith(u"header "))
        return windows.main->lessonTable()
            .headerData(what.section(u' ', 1).toInt(), Qt::Horizontal)
            .toString();
    if (auto* action = top->findChild<QAction*>(object))
        return action->text();
    if (auto* menu = top->findChild<QMenu*>(object))
        return menu->title();
    auto* widget = top->findChild<QWidget*>(object);
    if (!widget)
        return QStringLiteral("<no %1>").arg(object);
    if (what == u"tip")
        return widget->toolTip();
    if (what == u"name")
        return widget->accessibleName();
    if (what.startsWith(u"item "))
        return qobject_cast<QComboBox*>(widget)->itemText(what.section(u' ', 1).toInt());
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    return QStringLiteral("<no text>");
}

// Every text the windows show or tell a screen reader, each with where it is.
QStringList textsOf(const Windows& windows) {
    QStringList texts;
    for (QWidget* top : windows.all()) {
        texts << top->objectName() + QStringLiteral(" title: ") + top->windowTitle();
        for (QWidget* widget : top->findChildren<QWidget*>()) {
            if (widget->objectName() == u"btnLanguage")
                continue; // names the other language in that language, on purpose
            const QString where = widget->objectName() + QStringLiteral(" ");
            texts << where + QStringLiteral("tip: ") + widget->toolTip()
                  << where + QStringLiteral("name: ") + widget->accessibleName()
                  << where + QStringLiteral("description: ") + widget->accessibleDescription();
            if (auto* button = qobject_cast<QAbstractButton*>(widget))
                texts << where + button->text();
            if (auto* label = qobject_cast<QLabel*>(widget))
                texts << where + label->text();
            if (auto* box = qobject_cast<QComboBox*>(widget)) {
                for (int i = 0; i < box->count(); ++i)
                    texts << where + box->itemText(i);
            }
            if (auto* list = qobject_cast<QListWidget*>(widget)) {
                for (int i = 0; i < list->count(); ++i)
                    texts << where + list->item(i)->text();
            }
            if (auto* menu = qobject_cast<QMenu*>(widget)) {
                texts << where + menu->title();
                for (const QAction* action : menu->actions())
                    texts << where + action->text();
            }
        }
    }
    for (int column = 0; column < kLessonColumnCount; ++column)
        texts << QStringLiteral("header: ") +
                     windows.main->lessonTable().headerData(column, Qt::Horizontal).toString();
    return texts;
}

// What a control of fixed size needs to show its caption whole, and what it has; nothing
// when it shows no caption of its own.
struct Room {
    int needed = 0;
    int width = 0;
};

QString shownTextOf(QWidget* widget) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget))
        return button->text();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* box = qobject_cast<QComboBox*>(widget))
        return box->currentText();
    return {};
}

std::optional<Room> roomOf(QWidget* widget) {
    const QFontMetrics metrics = widget->fontMetrics();
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        const int margin = widget->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, widget);
        return Room{metrics.horizontalAdvance(withoutMnemonic(button->text())) + 2 * margin,
                    button->width()};
    }
    if (auto* box = qobject_cast<QCheckBox*>(widget))
        return Room{box->sizeHint().width(), box->width()};
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        if (label->wordWrap() || label->text().isEmpty())
            return std::nullopt;
        return Room{metrics.horizontalAdvance(withoutMnemonic(label->text())),
                    label->contentsRect().width()};
    }
    if (auto* box = qobject_cast<QComboBox*>(widget)) {
        QStyleOptionComboBox option;
        option.initFrom(box);
        option.editable = false;
        const int room =
            box->style()
                ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, box)
                .width();
        int widest = 0;
        for (int i = 0; i < box->count(); ++i)
            widest = std::max(widest, metrics.horizontalAdvance(box->itemText(i)));
        return Room{widest, room};
    }
    return std::nullopt;
}

} // namespace

class TestLanguage : public QObject {
    Q_OBJECT
private slots:
    void cleanup();
    void switchesBothWays_data();
    void switchesBothWays();
    void choiceKeptInTheProgramsOwnSettings();
    void messagesFollowTheLanguage_data();
    void messagesFollowTheLanguage();
    void nothingJapaneseLeftInEnglish();
    void englishCaptionsFitTheirControls();
    void lessonSavedTheSameInEitherLanguage();
};

void TestLanguage::cleanup() {
    showInterfaceIn(InterfaceLanguage::Japanese);
    settle();
}

void TestLanguage::switchesBothWays_data() {
    QTest::addColumn<QString>("window");
    QTest::addColumn<QString>("object");
    QTest::addColumn<QString>("what");
    QTest::addColumn<QString>("japanese");
    QTest::addColumn<QString>("english");
    const auto row = [](const char* name, const char* window, const char* object, const char* what,
                        const QString& japanese, const QString& english) {
        QTest::newRow(name) << QString::fromLatin1(window) << QString::fromLatin1(object)
                            << QString::fromLatin1(what) << japanese << english;
    };
    row("play", "main", "btnSpeak", "text", QStringLiteral("読み上げ"), "Play");
    row("voice check", "main", "btnVoiceCheck", "text", QStringLiteral("音声確認"), "Test voices");
    row("append rows", "main", "btnAppendRow", "text", QStringLiteral("行末尾追加"), "Add rows");
    row("hide text", "main", "chkHideText", "text", QStringLiteral("テキストを隠す"), "Hide text");
    row("interval label", "main", "lblInterbal", "text", QStringLiteral("インターバル"), "Pause");
    row("interval none", "main", "cmbInterval", "item 0", QStringLiteral("なし"), "Off");
    row("interval seconds", "main", "cmbInterval", "item 1", QStringLiteral("0.5秒"), "0.5 s");
    row("english rate", "main", "cmbEnglishRate", "item 1", QStringLiteral("やや遅い"),
        "A bit slow");
    row("passes", "main", "cmbRepeat", "item 4", QStringLiteral("10回"), "10×");
    row("list's name", "main", "cmbInterval", "name", QStringLiteral("インターバル"), "Pause");
    row("move up's name", "main", "btnMoveUp", "name", QStringLiteral("行を上へ移動"),
        "Move the row up");
    row("panel toggle", "main", "btnPracticePanel", "text", QStringLiteral("練習 »"),
        QStringLiteral("Practice »"));
    row("panel toggle's tip", "main", "btnPracticePanel", "tip",
        QStringLiteral("練習の設定を表示します。もう一度押すと隠します"),
        "Shows the practice settings; press again to hide them");
    row("language button", "main", "btnLanguage", "text", "English", QStringLiteral("日本語"));
    row("popup menu", "main", "mnuPlayFromHere", "text", QStringLiteral("ここから再生"),
        "Play from here");
    row("recent lessons", "main", "pmRecentLessons", "title", QStringLiteral("最近使った教材"),
        "Recent lessons");
    row("speaker header", "main", "", "header 1", QStringLiteral("話者"), "Spkr");
    row("text header", "main", "", "header 3", QStringLiteral("テキスト"), "Text");
    row("title", "main", "", "title", QStringLiteral("Lessora Ver.1.0.0[*]"),
        QStringLiteral("Lessora Ver.1.0.0[*]"));
    row("role none", "main", "cmbRole", "item 0", QStringLiteral("なし"), "Off");
    row("role speaker", "main", "cmbRole", "item 2", "B", "B");
    row("japanese speed", "main", "cmbJapaneseRate", "item 3", QStringLiteral("標準"), "Normal");
    row("answer gap", "main", "cmbAnswerGap", "item 1", QStringLiteral("1.3倍"),
        QStringLiteral("1.3×"));
    row("readings", "main", "chkShowReadings", "text", QStringLiteral("読みを表示(&Y)"),
        "Show rea&dings");
    row("readings' name", "main", "chkShowReadings", "name", QStringLiteral("読みを表示(Y)"),
        "Show readings");
    row("line repeat's name", "main", "cmbLineRepeat", "name", QStringLiteral("1行の回数(N)"),
        "Times per line");
    row("peek hint", "main", "lblPeek", "text",
        QStringLiteral("「この行を見る」を押している間、選んだ行をここに表示します"),
        "While you hold \"Peek at this line\", the selected line shows here");
    row("export", "main", "btnExportAudio", "text", QStringLiteral("音声ファイルに書き出す(&W)…"),
        QStringLiteral("&Write audio file…"));
    row("voice settings title", "settings", "", "title", QStringLiteral("音声設定"),
        "Voice settings");
    row("speaker Q", "settings", "lblSpeakerQ", "text", QStringLiteral("話者Q"), "Spk Q");
    row("usable voices", "settings", "btnAvailableVoices", "text", QStringLiteral("使用できる音声"),
        "Usable voices");
    row("settings cancel", "settings", "btnCancel", "text", QStringLiteral("キャンセル"), "Cancel");
    row("english column", "settings", "lblEnglishColumn", "text", "English", "English");
    row("voice check title", "check", "", "title", QStringLiteral("使用可能な音声の確認"),
        "Check the usable voices");
    row("check all", "check", "btnCheckAllVoices", "text", QStringLiteral("全音声をチェック"),
        "Check all voices");
    row("missing voice", "check", "lblMissingVoice", "text",
        QStringLiteral("Open JTalk の音声 hts-voice-nitech-jp-atr503-m001 がインストールされていま"
                       "せん"),
        "The Open JTalk voice hts-voice-nitech-jp-atr503-m001 is not installed");
}

void TestLanguage::switchesBothWays() {
    QFETCH(QString, window);
    QFETCH(QString, object);
    QFETCH(QString, what);
    QFETCH(QString, japanese);
    QFETCH(QString, english);
    Windows windows;
    QCOMPARE(shownText(windows, window, object, what), japanese);
    windows.clickLanguage();
    QCOMPARE(programTextLanguage(), InterfaceLanguage::English);
    QCOMPARE(shownText(windows, window, object, what), english);
    windows.clickLanguage();
    QCOMPARE(programTextLanguage(), InterfaceLanguage::Japanese);
    QCOMPARE(shownText(windows, window, object, what), japanese);
}

void TestLanguage::choiceKeptInTheProgramsOwnSettings() {
    Windows windows;
    const QString history = windows.fakes.historyPath();
    QCOMPARE(savedInterfaceLanguage(history), std::nullopt); // no choice made: Japanese
    windows.clickLanguage();
    QCOMPARE(savedInterfaceLanguage(history), InterfaceLanguage::English);
    QCOMPARE(QSettings(history, QSettings::IniFormat).value("Window/Language").toString(), "en");
    QVERIFY2(!QFile::exists(windows.fakes.settingsPath()), "nothing goes to Lessora.ini");
    windows.clickLanguage();
    QCOMPARE(savedInterfaceLanguage(history), InterfaceLanguage::Japanese);
    // Named in both languages for a screen reader, whichever is shown.
    QCOMPARE(control<QPushButton>(*windows.main, "btnLanguage")->accessibleName(),
             QStringLiteral("English / 英語"));

    // A choice that is not a language is no choice.
    QSettings(history, QSettings::IniFormat).setValue("Window/Language", "xx");
    QCOMPARE(savedInterfaceLanguage(history), std::nullopt);
}

void TestLanguage::messagesFollowTheLanguage_data() {
    QTest::addColumn<std::function<QString()>>("message");
    QTest::addColumn<QString>("japanese");
    QTest::addColumn<QString>("english");
    QTest::newRow("clear") << std::function<QString()>(clearConfirmation)
                           << QStringLiteral("入力されている内容をすべて消去します。\r\n"
                                             "よろしいですか？")
                           << "Everything in the table will be erased.\r\nAre you sure?";
    QTest::newRow("saved") << std::function<QString()>(lessonFileMessages::saved)
                           << QStringLiteral("保存しました。") << "Saved.";
    QTest::newRow("no clipboard text")
        << std::function<QString()>(noClipboardText)
        << QStringLiteral("クリップボードに文字列がありません。") << "The clipboard holds no text.";
    QTest::newRow("save question") << std::function<QString()>(LessonDocument::saveQuestion)
                                   << QStringLiteral("教材が変更されています。保存しますか？")
                                   << "The lesson has changed. Save it?";
    QTest::newRow("export cancelled")
        << std::function<QString()>(exportCancelled) << QStringLiteral("書き出しを中止しました。")
        << "The export was stopped.";
    QTest::newRow("progress") << std::function<QString()>([] {
        return progressText({true, false, 3, 10, 2, 3, 1, 5, true});
    }) << QStringLiteral("3/10行 2/3回 (1/5) あなたの番です")
                              << "Line 3/10 Pass 2/3 (1/5) Your turn";
    QTest::newRow("paused") << std::function<QString()>([] {
        return progressText({true, true, 1, 4, 1, 1, 1, 1, false});
    }) << QStringLiteral("1/4行 1/1回 一時停止中")
                            << "Line 1/4 Pass 1/1 Paused";
    QTest::newRow("unexpected error") << std::function<QString()>([] {
        FakeMessageBoxes boxes;
        ErrorHandler(boxes).run([] { throw 42; });
        return boxes.messages.value(0);
    }) << QStringLiteral("予期しないエラーが発生しました.")
                                      << "An unexpected error occurred.";
    // Qt's own texts, as its dialogs and standard buttons show them.
    QTest::newRow("Qt's cancel") << std::function<QString()>([] {
        return QCoreApplication::translate("QPlatformTheme", "Cancel");
    }) << QStringLiteral("キャンセル")
                                 << "Cancel";
}

void TestLanguage::messagesFollowTheLanguage() {
    QFETCH(std::function<QString()>, message);
    QFETCH(QString, japanese);
    QFETCH(QString, english);
    showInterfaceIn(InterfaceLanguage::Japanese);
    QCOMPARE(message(), japanese);
    showInterfaceIn(InterfaceLanguage::English);
    QCOMPARE(message(), english);
    showInterfaceIn(InterfaceLanguage::Japanese);
    QCOMPARE(message(), japanese);
}

void TestLanguage::nothingJapaneseLeftInEnglish() {
    Windows windows;
    // Every kind of line the voice check shows, made while Japanese was shown.
    windows.voiceCheck->checkAllVoices();
    control<QPushButton>(*windows.main, "btnPracticePanel")->click();
    windows.clickLanguage();
    QStringList left;
    for (const QString& text : textsOf(windows)) {
        if (hasJapanese(text))
            left << text;
    }
    QVERIFY2(left.isEmpty(), qPrintable(left.join(u'\n')));
    // And all of them Japanese again.
    windows.clickLanguage();
    const QStringList japanese = textsOf(windows);
    QVERIFY(japanese.contains(QStringLiteral("btnSpeak 読み上げ")));
}

void TestLanguage::englishCaptionsFitTheirControls() {
    Windows windows;
    windows.clickLanguage();
    // Every control shown: the main window with its practice panel, both voice windows, and
    // the buttons' other captions (playing, paused; the panel folded).
    control<QPushButton>(*windows.main, "btnPracticePanel")->click();
    for (QWidget* top : windows.all()) {
        top->show();
        QVERIFY(QTest::qWaitForWindowExposed(top));
    }
    QStringList cut;
    const auto check = [&cut](QWidget* widget) {
        if (const std::optional<Room> room = roomOf(widget); room && room->needed > room->width)
            cut << QStringLiteral("%1 \"%2\": needs %3 px, has %4")
                       .arg(widget->objectName(), shownTextOf(widget))
                       .arg(room->needed)
                       .arg(room->width);
    };
    for (QWidget* top : windows.all()) {
        for (QWidget* widget : top->findChildren<QWidget*>()) {
            if (widget->isVisibleTo(top))
                check(widget);
        }
    }
    auto* play = control<QPushButton>(*windows.main, "btnSpeak");
    for (const char* caption : {"一時停止", "再生"}) {
        play->setText(QCoreApplication::translate("lessora::MainWindow", caption));
        check(play);
    }
    control<QPushButton>(*windows.main, "btnPracticePanel")->click();
    check(control<QPushButton>(*windows.main, "btnPracticePanel"));
    // The grid's column captions.
    QHeaderView* header = control<QTableView>(*windows.main, "StringGrid1")->horizontalHeader();
    const int margin = header->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    for (int column = 0; column < kLessonColumnCount; ++column) {
        const QString caption =
            windows.main->lessonTable().headerData(column, Qt::Horizontal).toString();
        const int needed = header->fontMetrics().horizontalAdvance(caption) + 2 * margin;
        if (!header->isSectionHidden(column) && needed > header->sectionSize(column))
            cut << QStringLiteral("column \"%1\": needs %2 px, has %3")
                       .arg(caption)
                       .arg(needed)
                       .arg(header->sectionSize(column));
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(u'\n')));
}

void TestLanguage::lessonSavedTheSameInEitherLanguage() {
    Windows windows;
    MainWindow& form = *windows.main;
    windows.clickLanguage();
    // Chosen while English is shown: the lists keep indexes and the role its speaker's code.
    control<QComboBox>(form, "cmbInterval")->setCurrentIndex(2);
    control<QComboBox>(form, "cmbEnglishRate")->setCurrentIndex(1);
    control<QComboBox>(form, "cmbRole")->setCurrentIndex(2);
    control<QComboBox>(form, "cmbAnswerGap")->setCurrentIndex(3);
    QCOMPARE(form.lessonSettings().practice().role, QStringLiteral("B"));
    const QString english = windows.fakes.folder.filePath("english.json");
    const QString japanese = windows.fakes.folder.filePath("japanese.json");
    windows.fakes.fileDialogs.saveAnswers << english << japanese;
    control<QPushButton>(form, "btnSaveLesson")->click();
    windows.clickLanguage();
    // Switching keeps every choice.
    QCOMPARE(control<QComboBox>(form, "cmbEnglishRate")->currentText(), QStringLiteral("やや遅い"));
    QCOMPARE(control<QComboBox>(form, "cmbRole")->currentText(), QStringLiteral("B"));
    control<QPushButton>(form, "btnSaveLesson")->click();
    QCOMPARE(windows.fakes.messages.messages,
             (QStringList{"Saved.", QStringLiteral("保存しました。")}));
    QFile a(english);
    QFile b(japanese);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray bytes = a.readAll();
    QCOMPARE(bytes, b.readAll());
    QVERIFY(bytes.contains("\"Role\""));
}

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
