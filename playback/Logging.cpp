#include "playback/Logging.h"

namespace lessora {

Q_LOGGING_CATEGORY(lcPlayback, "lessora.playback", QtInfoMsg)

} // namespace lessora
