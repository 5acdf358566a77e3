#include "playback/Practice.h"

#include "lesson/LessonTable.h"
#include "lesson/RowRules.h"
#include "settings/AsciiCase.h"
#include "settings/LanguageName.h"

#include <algorithm>
#include <climits>
#include <cmath>

namespace lessora {

namespace {
// The pause of an interval list without a choice.
constexpr int kDefaultIntervalMs = 2000;
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
    return options::kEnglishRate.valueAt(index, 0);
}

int japaneseRateForIndex(int index) {
    return options::kJapaneseRate.valueAt(index, 0);
}

int intervalMsForIndex(int index) {
    return options::kInterval.valueAt(index, kDefaultIntervalMs);
}

int passCountForIndex(int index) {
    return options::kRepeat.valueAt(index, 1);
}

int answerGapPercentForIndex(int index) {
    return options::kAnswerGap.valueAt(
        index, options::kAnswerGap.valueAt(options::kAnswerGap.defaultIndex, 0));
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

PlaybackChoices choicesOf(const LessonSettings& settings) {
    const PracticeSettings& practice = settings.practice;
    PlaybackChoices choices;
    choices.intervalIndex = settings.intervalIndex;
    choices.repeatIndex = settings.repeatIndex;
    choices.englishRateIndex = settings.englishRateIndex;
    choices.japaneseRateIndex = practice.japaneseRateIndex;
    choices.slowestEnglish = practice.slowestEnglish;
    choices.practice.role = practice.role;
    choices.practice.modelAfterAnswer = practice.modelAfterAnswer;
    choices.practice.answerGapPercent = answerGapPercentForIndex(practice.answerGapIndex);
    choices.practice.lineRepeats = practice.lineRepeatCount;
    choices.practice.shadowingGap = practice.shadowingGap;
    choices.practice.recordAnswers = practice.recordAnswers;
    choices.practice.hearOwnAnswer = practice.hearOwnAnswer;
    return choices;
}

} // namespace lessora
