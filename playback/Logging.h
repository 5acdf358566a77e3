#pragma once

#include <QLoggingCategory>

namespace lessora {

// What playback meets and drops on its way: QT_LOGGING_RULES="lessora.playback.debug=true".
Q_DECLARE_LOGGING_CATEGORY(lcPlayback)

} // namespace lessora
