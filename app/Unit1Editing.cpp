// Row editing commands and paste of the main window.
#include "app/Unit1.h"

namespace lessora {

void TForm1::btnAddRowClick() {}
void TForm1::btnAppendRowClick() {}
void TForm1::btnDeleteRowClick() {}
void TForm1::btnMoveUpClick() {}
void TForm1::btnMoveDownClick() {}
void TForm1::btnClearGridClick() {}
void TForm1::btnPasteClick() {}

} // namespace lessora
