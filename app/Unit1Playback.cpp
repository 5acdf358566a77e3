// Playback commands of the main window.
#include "app/Unit1.h"

#include <QTimer>

namespace lessora {

void TForm1::btnSpeakClick() {}
void TForm1::btnStopClick() {}
void TForm1::btnPrevRowClick() {}
void TForm1::btnNextRowClick() {}
void TForm1::mnuPlayFromHereClick() {}
void TForm1::StringGrid1CellClick(int, int) {}
void TForm1::StringGrid1CellDblClick(int, int) {}

void TForm1::tmrNextTimer() {
    // Nothing plays: the timer switches itself off.
    tmrNext->stop();
}

} // namespace lessora
