#include "settings/Logging.h"

namespace lessora {

Q_LOGGING_CATEGORY(lcSettings, "lessora.settings", QtInfoMsg)

} // namespace lessora
