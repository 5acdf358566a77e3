#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "platform/InterfaceLanguage.h"

namespace lessora {

// What the command line of lessora asks for:
// lessora [--lang ja|en] [LESSON.json] | --help | --version.
struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    QString lessonFile; // Run: the lesson to open at start-up, empty for none
    QString error;      // Error: what is wrong, for the user
    QString badOption;  // Error: the option not known, if that is what is wrong
    // Run: the language of the texts for this run (--lang), replacing the one chosen in the
    // window without changing it.
    std::optional<InterfaceLanguage> language;
};

// Reads the arguments after the program's name. A file may be given as a path or a file: URL.
CommandLine parseCommandLine(const QStringList& arguments);

// True when the argument may be one of the options QApplication takes out of the command line
// (-platform, --style=fusion, ...); such an argument cannot be judged before QApplication.
bool mayBeQtOption(const QString& argument);

// The usage text printed by --help and after a wrong command line.
QString commandLineUsage();

} // namespace lessora
