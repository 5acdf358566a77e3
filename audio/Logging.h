#pragma once

#include <QLoggingCategory>

namespace lessora {

// Messages of the sound output ("lessora.audio"): failures that are caught and passed over;
// at debug level (QT_LOGGING_RULES="lessora.audio.debug=true") how often the output runs.
Q_DECLARE_LOGGING_CATEGORY(lcAudio)

} // namespace lessora
