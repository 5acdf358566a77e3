#pragma once

#include <QLoggingCategory>

namespace lessora {

// Messages of the Japanese reading ("lessora.japanese"): failures that are caught and passed over.
Q_DECLARE_LOGGING_CATEGORY(lcJapanese)

} // namespace lessora
