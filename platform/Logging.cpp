#include "platform/Logging.h"

namespace lessora {

Q_LOGGING_CATEGORY(lcPlatform, "lessora.platform", QtInfoMsg)

} // namespace lessora
