#include "audio/Logging.h"

namespace lessora {

Q_LOGGING_CATEGORY(lcAudio, "lessora.audio", QtInfoMsg)

} // namespace lessora
