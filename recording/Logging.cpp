#include "recording/Logging.h"

namespace lessora {

Q_LOGGING_CATEGORY(lcRecording, "lessora.recording", QtInfoMsg)

} // namespace lessora
