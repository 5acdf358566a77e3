#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// Japanese numbers and counters read as a textbook teaches them: 三百 サンビャク, 一本 イッポン,
// 二日 フツカ, 九時 クジ, 何人 ナンニン. The dictionary reads numerals one character at a time,
// which gets exactly these sound changes wrong.

namespace lessora::japanese {

// The last element of a spoken number; the counter after it may change both.
enum class NumberEnd {
    None, // nothing a counter can change (digit by digit, decimals)
    Zero,
    One,
    Two,
    Three,
    Four,
    Five,
    Six,
    Seven,
    Eight,
    Nine,
    Ten,
    Hundred,
    Thousand,
    TenThousand,
    HundredMillion,
    Trillion,
    Nan, // 何
};

struct SpokenNumber {
    QString head; // everything before the last element
    QString end;  // the last element, e.g. "ヨン" or "サンビャク"
    NumberEnd endKind = NumberEnd::None;
    std::optional<qint64> value; // the integer, when it is one (not 何, not a decimal)
    QString text() const { return head + end; }
};

// Characters a numeral is written with: ASCII digits and the kanji numerals (〇 to 兆).
bool isNumeralCharacter(QChar c);
// A numeral the dictionary tags as a number: ASCII digits, kanji numerals or both ("1万5千").
bool isNumeral(QStringView text);

// Reads a numeral: "三百", "1500", "二〇二四", "1万5千", "3.5", "090" (digit by digit), "何",
// "何百". Thousands separators must already be removed. Nothing for text that is no number.
std::optional<SpokenNumber> readNumeral(QStringView numeral);

// Digits one by one, as in telephone numbers: "090" ゼロキューゼロ.
QString readDigits(QStringView digits);

// What the words around a counted number tell.
struct CountContext {
    bool afterMonth = false; // a month precedes: 一日 is the first of it (ツイタチ)
};

// Whether `counter` (the word right after a number) is one this module knows.
bool isKnownCounter(QStringView counter);

// The number with its counter, with the sound changes they take together; nothing when the
// counter is not known.
std::optional<QString> readCounted(const SpokenNumber& number, QStringView counter,
                                   const CountContext& context = {});

} // namespace lessora::japanese
