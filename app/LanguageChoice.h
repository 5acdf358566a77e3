#pragma once

#include "platform/InterfaceLanguage.h"

#include <QString>
#include <optional>

namespace lessora {

// Shows the program's texts and Qt's own (file dialogs, standard buttons) in the language; every
// window retranslates itself on the QEvent::LanguageChange this sends. Japanese, the language
// the texts are written in, loads no translation of them.
void showInterfaceIn(InterfaceLanguage language);

// The language chosen with the window's language button, kept in the program's own settings
// file (`lessons.ini`); nothing when none was chosen or the path is empty.
std::optional<InterfaceLanguage> savedInterfaceLanguage(const QString& settingsPath);
void saveInterfaceLanguage(const QString& settingsPath, InterfaceLanguage language);

} // namespace lessora
