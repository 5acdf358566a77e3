#include "files/Logging.h"

namespace lessora {

Q_LOGGING_CATEGORY(lcFiles, "lessora.files", QtInfoMsg)

} // namespace lessora
