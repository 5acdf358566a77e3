#pragma once

#include <QLoggingCategory>

namespace lessora {

// Messages of the learner's recordings ("lessora.recording"): failures of the microphone and of
// writing the files, which the window also tells once per run; at debug level each take.
Q_DECLARE_LOGGING_CATEGORY(lcRecording)

} // namespace lessora
