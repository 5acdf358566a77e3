#pragma once

#include <QLoggingCategory>

namespace lessora {

// Messages of the speech engine and its synthesisers ("lessora.voices"): failures that are caught
// and passed over.
Q_DECLARE_LOGGING_CATEGORY(lcVoices)

} // namespace lessora
