#pragma once

#include <QChar>

namespace lessora {

// The user's decimal separator, from the system locale.
QChar systemDecimalSeparator();

} // namespace lessora
