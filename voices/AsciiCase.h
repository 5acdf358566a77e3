#pragma once

#include <QStringView>

namespace lessora {

// Voice descriptions and language names match without regard to the case of the ASCII letters
// a to z only; every other character must be equal. Locale-aware case folding would let, for
// example, a Turkish dotless i or a full-width letter match, which the settings files never
// relied on.
bool equalsIgnoringAsciiCase(QStringView left, QStringView right);

} // namespace lessora
