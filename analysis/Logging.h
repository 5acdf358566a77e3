#pragma once

#include <QLoggingCategory>

namespace lessora {

// What the analysis of recordings meets and drops: QT_LOGGING_RULES="lessora.analysis.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcAnalysis)

} // namespace lessora
