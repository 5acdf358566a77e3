#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace lessora {

// The language of the program's own texts. Japanese is the language they are written in; English
// is a translation, shown only when asked for.
enum class InterfaceLanguage { Japanese, English };

// "ja" or "en" (as --lang takes them, in any case); nothing for anything else.
std::optional<InterfaceLanguage> interfaceLanguageOfCode(QStringView code);
QString codeOfInterfaceLanguage(InterfaceLanguage language);

// The language a command-line tool speaks when it is not told: English when the environment's
// messages are in another language than Japanese (LANGUAGE, then LC_ALL, LC_MESSAGES, LANG, as
// gettext reads them), Japanese for Japanese and for the plain C or POSIX locale.
InterfaceLanguage interfaceLanguageOfEnvironment();

// Shows the program's texts (those of every library, through QCoreApplication::translate) in
// the language: installs the English translation built into the program, or removes it.
// Installing or removing sends QEvent::LanguageChange to every window. Returns false when the
// translation cannot be loaded (the texts then stay Japanese).
bool showProgramTextsIn(InterfaceLanguage language);
// The language set last by showProgramTextsIn; Japanese before.
InterfaceLanguage programTextLanguage();

} // namespace lessora
