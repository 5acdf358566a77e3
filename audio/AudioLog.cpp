#include "audio/AudioLog.h"

namespace lessora {

Q_LOGGING_CATEGORY(audioLog, "lessora.audio", QtInfoMsg)

} // namespace lessora
