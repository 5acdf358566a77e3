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
constexpr std::array<int, kIntervalCount> kIntervalMs{0, 500, 1000, 2000, 3000, 5000, 10000};
constexpr int kDefaultIntervalMs = 2000;
constexpr std::array<int, kPassCountCount> kPassCounts{1, 2, 3, 5, 10};
constexpr std::array<int, kAnswerGapCount> kAnswerGapPercents{100, 130, 150, 200};

template <std::size_t N> int valueAt(const std::array<int, N>& values, int index, int fallback) {
    return (index >= 0 && index < static_cast<int>(N)) ? values[index] : fallback;
}
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
    return valueAt(kJapaneseRates, index, 0);
}

int intervalMsForIndex(int index) {
    return valueAt(kIntervalMs, index, kDefaultIntervalMs);
}

int passCountForIndex(int index) {
    return valueAt(kPassCounts, index, 1);
}

int answerGapPercentForIndex(int index) {
    return valueAt(kAnswerGapPercents, index, kAnswerGapPercents[kDefaultAnswerGapIndex]);
}

SpeechRates ratesOf(const PlaybackChoices& choices) {
    return {choices.slowestEnglish ? kSlowestEnglishRate
                                   : englishRateForIndex(choices.englishRateIndex),
            japaneseRateForIndex(choices.japaneseRateIndex)};
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

int repeatPauseMs(int intervalMs) {
    return std::max(intervalMs, kMinRepeatPauseMs);
}

} // namespace lessora
