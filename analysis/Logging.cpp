#include "analysis/Logging.h"

namespace lessora {

Q_LOGGING_CATEGORY(lcAnalysis, "lessora.analysis", QtInfoMsg)

} // namespace lessora
