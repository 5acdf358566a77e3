#pragma once

#include <QStringList>
#include <QtGlobal>

#include <array>
#include <span>

namespace lessora {

// One item of a settings list: the text the list shows (UTF-8, Japanese, translated by
// labels()) and the value it stands for. Files keep the index or the value, never the label.
struct OptionItem {
    const char* label;
    int value;
};

// The items of a list in their order (a lesson file keeps the chosen index), with the index a
// new window starts at.
struct OptionList {
    std::span<const OptionItem> items;
    int defaultIndex;

    constexpr int count() const { return static_cast<int>(items.size()); }
    constexpr bool contains(int index) const { return index >= 0 && index < count(); }
    // The value of the item at index; `fallback` for no choice (-1) or an unknown index.
    constexpr int valueAt(int index, int fallback) const {
        return contains(index) ? items[static_cast<std::size_t>(index)].value : fallback;
    }
    // The labels as shown, in the language of the program's texts.
    QStringList labels() const;
};

namespace options {

// "インターバル": the default pause after a line, in ms.
inline constexpr std::array<OptionItem, 7> kIntervalItems{
    {{QT_TRANSLATE_NOOP("Options", "なし"), 0},
     {QT_TRANSLATE_NOOP("Options", "0.5秒"), 500},
     {QT_TRANSLATE_NOOP("Options", "1秒"), 1000},
     {QT_TRANSLATE_NOOP("Options", "2秒"), 2000},
     {QT_TRANSLATE_NOOP("Options", "3秒"), 3000},
     {QT_TRANSLATE_NOOP("Options", "5秒"), 5000},
     {QT_TRANSLATE_NOOP("Options", "10秒"), 10000}}};
inline constexpr OptionList kInterval{kIntervalItems, 0};

// "英語速度": the engine rate of English lines.
inline constexpr std::array<OptionItem, 5> kEnglishRateItems{
    {{QT_TRANSLATE_NOOP("Options", "遅い"), -2},
     {QT_TRANSLATE_NOOP("Options", "やや遅い"), -1},
     {QT_TRANSLATE_NOOP("Options", "標準"), 0},
     {QT_TRANSLATE_NOOP("Options", "やや速い"), 1},
     {QT_TRANSLATE_NOOP("Options", "速い"), 2}}};
inline constexpr OptionList kEnglishRate{kEnglishRateItems, 2};

// "繰り返し": the passes through the whole lesson.
inline constexpr std::array<OptionItem, 5> kRepeatItems{
    {{QT_TRANSLATE_NOOP("Options", "1回"), 1},
     {QT_TRANSLATE_NOOP("Options", "2回"), 2},
     {QT_TRANSLATE_NOOP("Options", "3回"), 3},
     {QT_TRANSLATE_NOOP("Options", "5回"), 5},
     {QT_TRANSLATE_NOOP("Options", "10回"), 10}}};
inline constexpr OptionList kRepeat{kRepeatItems, 0};

// The Japanese speed: six steps from 0.7 to 1.25 times the normal speed. Each engine rate step
// is 3^(1/10) (about 1.12), so rate -3 is 0.72 times normal and rate 2 is 1.25 times.
inline constexpr std::array<OptionItem, 6> kJapaneseRateItems{
    {{QT_TRANSLATE_NOOP("Options", "0.7倍"), -3},
     {QT_TRANSLATE_NOOP("Options", "0.8倍"), -2},
     {QT_TRANSLATE_NOOP("Options", "0.9倍"), -1},
     {QT_TRANSLATE_NOOP("Options", "標準"), 0},
     {QT_TRANSLATE_NOOP("Options", "1.1倍"), 1},
     {QT_TRANSLATE_NOOP("Options", "1.25倍"), 2}}};
inline constexpr OptionList kJapaneseRate{kJapaneseRateItems, 3};

// The answer gap, in percent of the line's spoken length.
inline constexpr std::array<OptionItem, 4> kAnswerGapItems{
    {{QT_TRANSLATE_NOOP("Options", "1.0倍"), 100},
     {QT_TRANSLATE_NOOP("Options", "1.3倍"), 130},
     {QT_TRANSLATE_NOOP("Options", "1.5倍"), 150},
     {QT_TRANSLATE_NOOP("Options", "2.0倍"), 200}}};
inline constexpr OptionList kAnswerGap{kAnswerGapItems, 1};

// Times each line is spoken before moving on.
inline constexpr std::array<OptionItem, 5> kLineRepeatItems{
    {{QT_TRANSLATE_NOOP("Options", "1回"), 1},
     {QT_TRANSLATE_NOOP("Options", "2回"), 2},
     {QT_TRANSLATE_NOOP("Options", "3回"), 3},
     {QT_TRANSLATE_NOOP("Options", "4回"), 4},
     {QT_TRANSLATE_NOOP("Options", "5回"), 5}}};
inline constexpr OptionList kLineRepeat{kLineRepeatItems, 0};

// The speaker the learner answers for: none, or a speaker code, which is the item's label.
inline constexpr std::array<OptionItem, 7> kRoleItems{{{QT_TRANSLATE_NOOP("Options", "なし"), 0},
                                                       {"A", 1},
                                                       {"B", 2},
                                                       {"C", 3},
                                                       {"Q", 4},
                                                       {"R", 5},
                                                       {"S", 6}}};
inline constexpr OptionList kRole{kRoleItems, 0};

} // namespace options

} // namespace lessora
