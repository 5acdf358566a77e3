#pragma once

#include "lesson/LessonOptions.h"
#include "lesson/LessonSettings.h"

#include <QString>

namespace lessora {

class LessonTable;

// The engine rates of the two languages; rows of any other language speak at 0.
struct SpeechRates {
    int english = 0;
    int japanese = 0;

    // The rate for a row with this Language cell.
    int forLanguage(const QString& languageCell) const;
    friend bool operator==(const SpeechRates&, const SpeechRates&) = default;
};

// The engine rate for the index chosen in the English-speed list ("遅い" -2 … "速い" 2); 0 for
// no choice or an unknown index.
int englishRateForIndex(int index);

// The Japanese-speed list (options::kJapaneseRate).
inline constexpr int kJapaneseRateCount = options::kJapaneseRate.count();
inline constexpr int kNormalJapaneseRateIndex = options::kJapaneseRate.defaultIndex;
int japaneseRateForIndex(int index); // 0 for no choice or an unknown index

// English rows spoken slower than the slowest item of the English-speed list: 0.72 times.
inline constexpr int kSlowestEnglishRate = -3;

// How the learner practises with a lesson: which speaker's lines they answer themselves, and
// how often each line is spoken.
struct PracticeOptions {
    QString role;                  // speaker code whose lines the learner says; empty for none
    bool modelAfterAnswer = false; // after the learner's answer, the line is played
    int answerGapPercent = 130;    // the answer gap, in percent of the line's spoken length
    int lineRepeats = 1;           // times each line is spoken (or answered) before moving on
    bool shadowingGap = false;     // a silent gap as long as the line between its repeats
    bool recordAnswers = false;    // the learner's gaps are recorded
    bool hearOwnAnswer = false;    // with recordAnswers: the recording is played after its gap

    friend bool operator==(const PracticeOptions&, const PracticeOptions&) = default;
};

inline constexpr int kMaxLineRepeats = options::kLineRepeat.count();

// The choices of the main window that playback reads each time it needs one, so that a
// change made during playback counts from its next use; files written from a lesson take the
// same.
struct PlaybackChoices {
    int intervalIndex = -1;      // cmbInterval
    int repeatIndex = -1;        // cmbRepeat
    int englishRateIndex = -1;   // cmbEnglishRate
    bool slowestEnglish = false; // English rows at 0.7 times, below the list's slowest item
    int japaneseRateIndex = kNormalJapaneseRateIndex;
    PracticeOptions practice;
};

// The values the lists stand for, matched by index: the default pause in ms ("なし" … "10秒";
// 2000 for no choice), the passes ("1回" … "10回"; 1 for no choice) and the answer gap in
// percent of the line ("1.0倍" … "2.0倍"; 130 for no choice).
int intervalMsForIndex(int index);
int passCountForIndex(int index);
int answerGapPercentForIndex(int index);
inline constexpr int kIntervalCount = options::kInterval.count();
inline constexpr int kPassCountCount = options::kRepeat.count();
inline constexpr int kAnswerGapCount = options::kAnswerGap.count();
inline constexpr int kDefaultAnswerGapIndex = options::kAnswerGap.defaultIndex;

// The engine rates the choices give each language.
SpeechRates ratesOf(const PlaybackChoices& choices);

// What playback and the export take from a lesson's settings.
PlaybackChoices choicesOf(const LessonSettings& settings);

// Whether the row is one of the learner's lines: its speaker code, normalised, is the role.
bool isLearnersRow(const LessonTable& table, int row, const PracticeOptions& options);

// The silence left for the learner to answer a line that takes `spokenMs` to speak.
int answerGapMs(qint64 spokenMs, const PracticeOptions& options);

// Times each line is spoken, limited to 1 … kMaxLineRepeats.
int lineRepeatCount(const PracticeOptions& options);

// The silence between two repeats of a line without the shadowing gap: the default pause, and
// never less than half a second, so that there is time to say the line before it comes again.
inline constexpr int kMinRepeatPauseMs = 500;
int repeatPauseMs(int intervalMs);

} // namespace lessora
