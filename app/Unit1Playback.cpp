// Playback commands of the main window; their logic is the playback controller's.
#include "app/Unit1.h"

#include "lesson/LessonGrid.h"
#include "playback/PlaybackController.h"
#include "playback/RowSpeaker.h"

#include <QComboBox>
#include <QPushButton>
#include <QTimer>

namespace lessora {

PlaybackController& TForm1::playback() {
    if (!m_playback) {
        PlaybackControls controls{
            *lessonTable, *StringGrid1, *tmrNext,        *btnSpeak,
            *cmbInterval, *cmbRepeat,   *cmbEnglishRate, [this](int row) { setHighlightRow(row); }};
        m_playback = new PlaybackController(std::move(controls), m_services, m_errors, this);
    }
    return *m_playback;
}

int TForm1::GetEnglishRate() const {
    return englishRateForIndex(cmbEnglishRate->currentIndex());
}

void TForm1::btnSpeakClick() {
    playback().btnSpeakClick();
}

void TForm1::btnStopClick() {
    playback().btnStopClick();
}

void TForm1::btnPrevRowClick() {
    playback().btnPrevRowClick();
}

void TForm1::btnNextRowClick() {
    playback().btnNextRowClick();
}

void TForm1::mnuPlayFromHereClick() {
    playback().mnuPlayFromHereClick();
}

void TForm1::StringGrid1CellClick(int column, int row) {
    playback().StringGrid1CellClick(column, row);
}

void TForm1::StringGrid1CellDblClick(int column, int row) {
    playback().StringGrid1CellDblClick(column, row);
}

void TForm1::tmrNextTimer() {
    playback().tmrNextTimer();
}

} // namespace lessora
