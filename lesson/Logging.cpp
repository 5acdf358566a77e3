#include "lesson/Logging.h"

namespace lessora {

Q_LOGGING_CATEGORY(lcLesson, "lessora.lesson", QtInfoMsg)

} // namespace lessora
