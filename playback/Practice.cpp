#include "playback/Practice.h"

#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"
#include "settings/AsciiCase.h"
#include "settings/LanguageName.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>

namespace lessora {

namespace {
constexpr std::array<int, kJapaneseRateCount> kJapaneseRates{-3, -2, -1, 0, 1, 2};
constexpr int kMinimumGapMs = 1;
} // namespace

int SpeechRates::forLanguage(const QString& languageCell) const {
    if (equalsIgnoringAsciiCase(languageCell, kLanguageEnglish))
        return english;
    if (equalsIgnoringAsciiCase(languageCell, kLanguageJapanese))
        return japanese;
    return 0;
}

int englishRateForIndex(int index) {
    return (index >= 0 && index <= 4) ? index - 2 : 0;
}

int japaneseRateForIndex(int index) {
    return (index >= 0 && index < kJapaneseRateCount) ? kJapaneseRates[index] : 0;
}

bool isLearnersRow(const LessonTable& table, int row, const PracticeOptions& options) {
    if (options.role.isEmpty())
        return false;
    return normalisedSpeakerCode(table.cell(ColSpeaker, row)) == options.role;
}

int answerGapMs(qint64 spokenMs, const PracticeOptions& options) {
    const double gap = double(std::max<qint64>(spokenMs, 0)) * options.answerGapPercent / 100.0;
    return std::max(int(std::min(std::lround(gap), long(INT_MAX))), kMinimumGapMs);
}

int lineRepeatCount(const PracticeOptions& options) {
    return std::clamp(options.lineRepeats, 1, kMaxLineRepeats);
}

} // namespace lessora
