#pragma once

#include <QString>

namespace lessora {

// The language a voice's "Language" attribute names: "English", "Japanese" or "Unknown".
// The attribute holds hexadecimal language identifiers separated by ";"; the first one whose
// primary language (low ten bits) is English (9) or Japanese (11 hexadecimal) decides.
QString languageNameOfAttribute(const QString& attribute);

} // namespace lessora
