#pragma once

#include <QLoggingCategory>

namespace lessora {

// The log of lessora_settings: what it caught and could not pass on. Warnings and information are
// shown; QT_LOGGING_RULES="lessora.*.debug=true" shows the details as well.
Q_DECLARE_LOGGING_CATEGORY(lcSettings)

} // namespace lessora
