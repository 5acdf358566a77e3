#pragma once

#include <QLoggingCategory>

namespace lessora {

// Messages of the sound output ("lessora.audio"): failures that are caught and passed over.
Q_DECLARE_LOGGING_CATEGORY(audioLog)

} // namespace lessora
