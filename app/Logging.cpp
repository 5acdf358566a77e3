#include "app/Logging.h"

namespace lessora {

Q_LOGGING_CATEGORY(lcApp, "lessora.app", QtInfoMsg)

} // namespace lessora
