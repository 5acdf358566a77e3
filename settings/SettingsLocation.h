#pragma once

#include <QString>

namespace lessora {

// The settings file: "Lessora.ini" in the user's Documents folder, or the bare file name
// when no Documents folder can be determined.
QString settingsFilePath();

} // namespace lessora
