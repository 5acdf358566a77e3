// Lesson file commands of the main window.
#include "app/Unit1.h"

namespace lessora {

void TForm1::btnSaveLessonClick() {}
void TForm1::btnLoadLessonClick() {}

} // namespace lessora
