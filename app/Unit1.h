#pragma once

#include "files/LessonFileCommands.h"
#include "platform/ErrorHandler.h"
#include "platform/Services.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QAction;
class QPushButton;
class QTimer;

namespace lessora {

class GridCellDelegate;
class LessonGrid;
class PlaybackController;
class LessonTable;
class TfrmVoiceCheck;
class TfrmVoiceSettings;

// The main window: the lesson grid, the playback buttons and the lesson commands.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(const Services& services, QWidget* parent = nullptr);
    ~TForm1() override;

    // The two voice windows are created after the main window and shown from its buttons.
    void setVoiceWindows(TfrmVoiceSettings* voiceSettings, TfrmVoiceCheck* voiceCheck);

    // Controls, reachable under their names.
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
    LessonTable* lessonTable;
    LessonGrid* StringGrid1;
    GridCellDelegate* gridDelegate;
    QTimer* tmrNext;
    QMenu* pmGrid;
    QAction* mnuPlayFromHere;

    // Row drawn highlighted by the grid, -1 for none; setting it repaints the grid.
    int highlightRow() const { return FHighlightRow; }
    void setHighlightRow(int row);

    // Handlers. Each is wired through the default error handler.
    void FormCreate();
    void btnVoiceSettingsClick();
    void btnVoiceCheckClick();
    void StringGrid1EditingDone(int column, int row);
    void chkHideTextChange();

    // Row editing and paste.
    void btnAddRowClick();
    void btnAppendRowClick();
    void btnDeleteRowClick();
    void btnMoveUpClick();
    void btnMoveDownClick();
    void btnClearGridClick();
    void btnPasteClick();

    // Playback.
    void btnSpeakClick();
    void btnStopClick();
    void btnPrevRowClick();
    void btnNextRowClick();
    void mnuPlayFromHereClick();
    void StringGrid1CellClick(int column, int row);
    void StringGrid1CellDblClick(int column, int row);
    void tmrNextTimer();

    // --- Playback state and logic live in the controller (playback/), created on first use.
    // The engine rate that cmbEnglishRate gives English rows.
    int GetEnglishRate() const;
    PlaybackController& playback();
    // ---

    // Lesson files.
    void btnSaveLessonClick();
    void btnLoadLessonClick();

    // Voices.
    void btnVoiceListClick();

    const Services& services() const { return m_services; }
    const ErrorHandler& errorHandler() const { return m_errors; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void createControls();
    void wireControls();
    void setTabOrder();
    template <typename Handler> void runGuarded(Handler handler);

    Services m_services;
    ErrorHandler m_errors;
    TfrmVoiceSettings* frmVoiceSettings = nullptr;
    TfrmVoiceCheck* frmVoiceCheck = nullptr;

    int FHighlightRow = -1;

    // Lesson files: the save and open dialogs' memory of the file last chosen in each.
    LessonFileCommands FLessonFiles;
    PlaybackController* m_playback = nullptr; // child object, see playback()
};

} // namespace lessora
