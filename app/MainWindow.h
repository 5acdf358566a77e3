#pragma once

#include "app/Services.h"
#include "japanese/AccentPhrases.h"
#include "platform/ErrorHandler.h"
#include "playback/LineReadings.h"
#include "playback/Practice.h"

#include <QWidget>
#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;

namespace lessora {

class AccentCache;
class GridCellDelegate;
class LessonDocument;
class LessonFileCommands;
class LessonGrid;
class LessonRecorder;
class LessonTable;
class PlaybackController;
class PracticePanel;
class AudioExportWindow;
class CompareWindow;
class SoundPlayer;
class CurrentLessonSettings;
class VoiceCheckDialog;
class VoiceSettingsDialog;

// The main window: the lesson grid, the playback buttons and the lesson commands. It only
// wires its controls to the objects that do the work: the playback controller, the row
// commands, the lesson files and the two voice windows.
class MainWindow : public QWidget {
    Q_OBJECT
public:
    explicit MainWindow(const Services& services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The two voice windows are created after the main window and shown from its buttons.
    void setVoiceWindows(VoiceSettingsDialog* voiceSettings, VoiceCheckDialog* voiceCheck);

    PlaybackController& playback() const { return *m_playback; }
    // The lesson the grid shows.
    LessonTable& lessonTable() const { return *m_lessonTable; }
    // The lists' and boxes' choices that a lesson file keeps and playback and the export read.
    CurrentLessonSettings& lessonSettings() const { return *m_lessonSettings; }

    // Row drawn highlighted by the grid, -1 for none; setting it repaints the grid.
    int highlightRow() const { return m_highlightRow; }
    void setHighlightRow(int row);
    // The row "ここから再生" plays from: the row of the last click on the grid.
    int popupRow() const { return m_popupRow; }

    const Services& services() const { return m_services; }
    const ErrorHandler& errorHandler() const { return m_errors; }
    // The save and open dialogs' memory of the file last chosen in each.
    // The lesson's file commands, its recent files and whether it changed.
    LessonDocument& document() const { return *m_document; }
    // The title: the program's name, the lesson's file (windowFilePath) with Qt's mark of
    // unsaved changes (windowModified), and the speech engine's note, if it has one.
    void showCaption();
    // The play button's caption for where playback is: "読み上げ", "一時停止" or "再生".
    void showPlaybackState();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // The controls; each one's object name is its member name, which tests find it by.
    QPushButton* btnSpeak;
    QPushButton* btnPrevRow;
    QPushButton* btnNextRow;
    QPushButton* btnStop;
    QPushButton* btnVoiceSettings;
    QLabel* lblInterbal;
    QComboBox* cmbInterval;
    QLabel* lblEnglishRate;
    QComboBox* cmbEnglishRate;
    QLabel* lblRepeat;
    QComboBox* cmbRepeat;
    QPushButton* btnVoiceList;
    QCheckBox* chkHideText;
    QPushButton* btnPaste;
    QPushButton* btnSaveLesson;
    QPushButton* btnLoadLesson;
    QPushButton* btnVoiceCheck;
    QPushButton* btnAddRow;
    QPushButton* btnAppendRow;
    QPushButton* btnDeleteRow;
    QPushButton* btnClearGrid;
    QPushButton* btnMoveUp;
    QPushButton* btnMoveDown;
    LessonGrid* StringGrid1;
    GridCellDelegate* gridDelegate;
    QTimer* tmrNext;
    QMenu* pmGrid;
    QAction* mnuPlayFromHere;
    // Role-play, line drill, speeds, readings and progress, beside the controls above.
    PracticePanel* practicePanel;
    // Shows or folds away the practice panel, widening or narrowing the window by its width.
    QPushButton* btnPracticePanel;
    // Shows the program's texts in the other language, English or Japanese, and keeps the choice.
    QPushButton* btnLanguage;

    void createControls();
    // Every caption, list item, tooltip and accessible name in the language shown.
    void retranslateUi();
    void switchLanguage();
    void createPlayback();
    void wireControls();
    void setTabOrder();
    // The caption, the four sample rows and the hidden Language column of a new window.
    void showSampleLesson();
    template <typename Handler> void runGuarded(Handler handler);
    void wireButton(QPushButton* button, void (MainWindow::*handler)());

    void showVoiceSettings();
    void showVoiceCheck();
    void showVoiceList();
    void saveLesson();
    void loadLesson();
    void applyHideText();
    void wirePractice();
    // The lesson settings as playback and the audio export read them.
    PlaybackChoices playbackChoices() const;
    void showReadings(bool shown);
    void peekAtLine(bool held);
    // The accent marks drawn over a row's reading, filled in as the analysis comes.
    void wireAccent();
    // The phrases of the row while marks are shown and known; none else.
    QList<AccentPhrase> accentOf(int row);
    // Shows or folds the practice panel; `resizeWindow` widens or narrows the window with it.
    void showPracticePanel(bool shown, bool resizeWindow);
    void placeGridAndPanel();
    // The lists and the hide-text box write their choices to the lesson settings and follow
    // the settings' changes, a loaded lesson's among them.
    void wireLessonSettings();
    void showLessonSettings();
    // 聞き比べる: the compare window for the selected row (else the row being spoken).
    void compareRow();
    // The load button's popup menu of recent lessons.
    void wireRecentLessons();
    // The learner's recordings: where they go, keeping those of an unsaved lesson when it is
    // saved, telling a problem, and the delete command.
    void createRecorder();
    void wireRecording();
    QString recordingsFolder() const;
    void keepRecording(const QString& path);
    void deleteRecordings();

    Services m_services;
    LessonTable* m_lessonTable = nullptr;
    CurrentLessonSettings* m_lessonSettings = nullptr;
    ErrorHandler m_errors;
    PlaybackController* m_playback = nullptr;
    VoiceSettingsDialog* m_voiceSettings = nullptr;
    VoiceCheckDialog* m_voiceCheck = nullptr;
    int m_highlightRow = -1;
    int m_popupRow = 0;
    bool m_panelShown = false;
    int m_panelRaise = 0; // the height the shown panel added to the window
    LessonDocument* m_document = nullptr;
    LineReadings m_readings;
    AccentCache* m_accents = nullptr;
    bool m_peeking = false;
    std::unique_ptr<AudioExportWindow> m_audioExport;
    std::unique_ptr<SoundPlayer> m_ownPlayer; // when the services bring none
    std::unique_ptr<CompareWindow> m_compare; // made when first asked for
    LessonRecorder* m_recorder = nullptr;     // null without a microphone service
    QStringList m_unsavedRecordings;          // this lesson's, kept until it has a file
};

} // namespace lessora
