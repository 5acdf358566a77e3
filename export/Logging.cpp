#include "export/Logging.h"

namespace lessora {

Q_LOGGING_CATEGORY(lcExport, "lessora.export", QtInfoMsg)

} // namespace lessora
