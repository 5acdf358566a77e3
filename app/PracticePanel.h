#pragma once

#include "japanese/AccentPhrases.h"
#include "playback/PlaybackController.h"

#include <QWidget>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QVBoxLayout;
class QPushButton;

namespace lessora {

class CurrentLessonSettings;

// The practice controls beside the lesson grid: role-play, line drill, the Japanese speed,
// the slowest English speed, readings, the peek at one hidden line and where playback is.
class PracticePanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 216;
    // What the empty peek box says it is for.
    static QString peekHint();

    // The lists and boxes write their choices to `settings` and follow its changes.
    explicit PracticePanel(CurrentLessonSettings& settings, QWidget* parent = nullptr);

    // Whether the export writes each line to a file of its own as well.
    bool exportClips() const;

    void showProgress(const PlaybackProgress& progress);
    // While the peek button is held: the line's text and reading, the reading with its accent
    // marks when `accent` has phrases.
    void showPeek(const QString& text, const QString& reading,
                  const QList<AccentPhrase>& accent = {});
    void hidePeek();

    // Every caption, list item, tooltip and accessible name in the language shown.
    void retranslateUi();

    // The height the panel needs for its controls above and its bottom block, without overlap.
    int heightNeeded() const;

    // The panel's focusable controls in their tab order.
    QList<QWidget*> tabOrder() const;

signals:
    void peekHeld(bool held);
    void readingsToggled(bool shown);
    void accentToggled(bool shown);
    void exportRequested();
    // 聞き比べる: compare the learner's recording of the selected row with the model.
    void compareRequested();
    // "録音を削除…" (the recording box's popup menu): the lesson's recordings are to be deleted,
    // after a confirmation.
    void deleteRecordingsRequested();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void wireSettings();
    void showSettings();
    // The recording boxes, on a row of the bottom block, and the delete command.
    void addRecording(QVBoxLayout* block);
    void retranslateRecording();

    CurrentLessonSettings& m_settings;
    // The controls; each one's object name is its member name.
    QComboBox* cmbRole;
    QCheckBox* chkModelAfterAnswer;
    QComboBox* cmbAnswerGap;
    QComboBox* cmbLineRepeat;
    QCheckBox* chkShadowing;
    QComboBox* cmbJapaneseRate;
    QCheckBox* chkSlowestEnglish;
    QCheckBox* chkShowReadings;
    QCheckBox* chkShowAccent;
    QPushButton* btnPeek;
    class PeekLabel* lblPeek;
    QLabel* lblProgress;
    QPushButton* btnExportAudio;
    QCheckBox* chkExportClips;
    // The captions of the lists.
    QLabel* lblRole;
    QLabel* lblAnswerGap;
    QLabel* lblLineRepeat;
    QLabel* lblJapaneseRate;
    bool m_peekShown = false;
    // Whether the bold progress has its size for the language shown; the size it starts from.
    bool m_progressSized = false;
    qreal m_progressPointSize = 0;
    QWidget* speakingBlock;
    QPushButton* btnCompare;
    QCheckBox* chkRecordAnswers;
    QCheckBox* chkHearOwnAnswer;
    QMenu* pmRecordings;          // the recording box's popup menu
    QAction* mnuDeleteRecordings; // "録音を削除…"
};

} // namespace lessora
