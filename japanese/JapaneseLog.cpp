#include "japanese/JapaneseLog.h"

namespace lessora {

Q_LOGGING_CATEGORY(japaneseLog, "lessora.japanese")

} // namespace lessora
