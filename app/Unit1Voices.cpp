// The voice list of the main window.
#include "app/Unit1.h"

namespace lessora {

void TForm1::btnVoiceListClick() {}

} // namespace lessora
