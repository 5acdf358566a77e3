#pragma once

class QCoreApplication;

namespace lessora {

// Loads Qt's own Japanese texts (the file dialogs, the standard buttons, the reasons of file
// errors) so that they match the program's. Returns false when Debian's translations
// (qt6-translations-l10n) are not installed; Qt then speaks English.
bool installQtJapaneseTranslations(QCoreApplication& application);
// Qt speaks its own English again (with the program's texts in English).
void removeQtJapaneseTranslations();

} // namespace lessora
