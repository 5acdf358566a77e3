#include "voices/VoicesLog.h"

namespace lessora {

Q_LOGGING_CATEGORY(voicesLog, "lessora.voices")

} // namespace lessora
