// Row editing commands and paste of the main window.
#include "app/Unit1.h"

#include "lesson/ClipboardPaste.h"
#include "lesson/RowCommands.h"

namespace lessora {

void TForm1::btnAddRowClick() {
    insertRow(*StringGrid1);
}

void TForm1::btnAppendRowClick() {
    appendTenRows(*StringGrid1);
}

void TForm1::btnDeleteRowClick() {
    deleteCurrentRow(*StringGrid1);
}

void TForm1::btnMoveUpClick() {
    moveCurrentRowUp(*StringGrid1);
}

void TForm1::btnMoveDownClick() {
    moveCurrentRowDown(*StringGrid1);
}

void TForm1::btnClearGridClick() {
    clearTable(*StringGrid1, m_services.messages);
}

void TForm1::btnPasteClick() {
    pasteFromClipboard(*StringGrid1, m_services.clipboard, m_services.messages,
                       m_services.decimalSeparator);
}

} // namespace lessora
