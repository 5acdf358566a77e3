#pragma once

#include "files/LessonFile.h"
#include "playback/PlaybackController.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

namespace lessora {

// The practice controls beside the lesson grid: role-play, line drill, the Japanese speed,
// the slowest English speed, readings, the peek at one hidden line and where playback is.
class PracticePanel : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 216;
    // What the empty peek box says it is for.
    static const QString kPeekHint;

    explicit PracticePanel(QWidget* parent = nullptr);

    QComboBox* cmbRole;
    QCheckBox* chkModelAfterAnswer;
    QComboBox* cmbAnswerGap;
    QComboBox* cmbLineRepeat;
    QCheckBox* chkShadowing;
    QComboBox* cmbJapaneseRate;
    QCheckBox* chkSlowestEnglish;
    QCheckBox* chkShowReadings;
    QPushButton* btnPeek;
    QLabel* lblPeek;
    QLabel* lblProgress;
    QPushButton* btnExportAudio;
    QCheckBox* chkExportClips;

    // The choices as playback reads them, on top of the main window's own lists.
    void addChoicesTo(PlaybackChoices& choices) const;
    // As a lesson file keeps them.
    PracticeSettings settings() const;
    void applyStored(const StoredPracticeSettings& stored);

    void showProgress(const PlaybackProgress& progress);
    // While the peek button is held: the line's text and reading.
    void showPeek(const QString& text, const QString& reading);
    void hidePeek();

    // The panel's focusable controls in their tab order.
    QList<QWidget*> tabOrder() const;

signals:
    void peekHeld(bool held);
    void readingsToggled(bool shown);
    // A setting that lesson files keep changed.
    void settingsChanged();
    void exportRequested();
};

} // namespace lessora
