#include "japanese/Logging.h"

namespace lessora {

Q_LOGGING_CATEGORY(lcJapanese, "lessora.japanese", QtInfoMsg)

} // namespace lessora
