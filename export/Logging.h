#pragma once

#include <QLoggingCategory>

namespace lessora {

// What the export meets and drops on its way: QT_LOGGING_RULES="lessora.export.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcExport)

} // namespace lessora
