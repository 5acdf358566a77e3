#include "playback/LineReadings.h"

#include "japanese/JapaneseReading.h"
#include "settings/AsciiCase.h"
#include "settings/LanguageName.h"

namespace lessora {

namespace {
// Enough for every line of a long lesson; beyond it the readings are worked out afresh.
constexpr qsizetype kMaxKeptReadings = 20000;
} // namespace

QString LineReadings::readingOf(const QString& text, const QString& languageCell) {
    if (!equalsIgnoringAsciiCase(languageCell, kLanguageJapanese) || text.trimmed().isEmpty())
        return {};
    if (const auto known = m_readings.constFind(text); known != m_readings.cend())
        return *known;
    if (m_readings.size() >= kMaxKeptReadings)
        m_readings.clear();
    const QString reading = japaneseReading(text);
    m_readings.insert(text, reading);
    return reading;
}

} // namespace lessora
