#include "voices/Logging.h"

namespace lessora {

Q_LOGGING_CATEGORY(lcVoices, "lessora.voices", QtInfoMsg)

} // namespace lessora
