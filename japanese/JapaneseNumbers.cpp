#include "japanese/JapaneseNumbers.h"

#include <QList>

#include <array>
#include <string_view>

namespace lessora::japanese {

namespace {

using Text = std::u16string_view;

// The tables' texts are literals, which live as long as the program: a QString of one refers to
// it instead of copying it.
QString toQString(Text text) {
    return QString::fromRawData(reinterpret_cast<const QChar*>(text.data()),
                                qsizetype(text.size()));
}

Text toText(QStringView text) {
    return {reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size())};
}

// ---------------------------------------------------------------------------------------------
// Numbers

constexpr std::array<Text, 10> kDigitWords = {u"ゼロ", u"イチ", u"ニ",   u"サン", u"ヨン",
                                              u"ゴ",   u"ロク", u"ナナ", u"ハチ", u"キュー"};

constexpr NumberEnd digitEnd(int digit) {
    return static_cast<NumberEnd>(static_cast<int>(NumberEnd::Zero) + digit);
}

// 百 and 千 take sound changes of their own after some digits.
constexpr std::array<Text, 10> kHundreds = {
    u"",         u"ヒャク",     u"ニヒャク",   u"サンビャク", u"ヨンヒャク",
    u"ゴヒャク", u"ロッピャク", u"ナナヒャク", u"ハッピャク", u"キューヒャク"};
constexpr std::array<Text, 10> kThousands = {u"",         u"セン",      u"ニセン",   u"サンゼン",
                                             u"ヨンセン", u"ゴセン",    u"ロクセン", u"ナナセン",
                                             u"ハッセン", u"キューセン"};

struct BigUnit {
    qint64 value;
    Text reading;
    NumberEnd end;
};
constexpr std::array<BigUnit, 3> kBigUnits = {{
    {1'0000'0000'0000LL, u"チョー", NumberEnd::Trillion},
    {1'0000'0000LL, u"オク", NumberEnd::HundredMillion},
    {1'0000LL, u"マン", NumberEnd::TenThousand},
}};
constexpr qint64 kNumberLimit = 1'0000'0000'0000'0000LL; // 一京: beyond it, digit by digit

struct Part {
    QString text;
    NumberEnd end;
};

// イチ → イッ, ロク → ロッ, ハチ → ハッ, ジュー → ジュッ, ヒャク → ヒャッ.
QString geminated(const QString& element) {
    if (element.isEmpty())
        return element;
    return element.left(element.size() - 1) + u'ッ';
}

// A group of up to four digits (1..9999).
QList<Part> readGroup(int group, bool beforeBigUnit) {
    QList<Part> parts;
    const int thousands = group / 1000;
    const int hundreds = group / 100 % 10;
    const int tens = group / 10 % 10;
    const int ones = group % 10;
    if (thousands > 0) {
        // 一千万 is イッセンマン, but 千五百万 stays センゴヒャクマン.
        const bool lone = beforeBigUnit && thousands == 1 && group == 1000;
        parts.append({lone ? QStringLiteral("イッセン") : toQString(kThousands[thousands]),
                      NumberEnd::Thousand});
    }
    if (hundreds > 0)
        parts.append({toQString(kHundreds[hundreds]), NumberEnd::Hundred});
    if (tens > 0)
        parts.append(
            {(tens == 1 ? QString() : toQString(kDigitWords[tens])) + QStringLiteral("ジュー"),
             NumberEnd::Ten});
    if (ones > 0)
        parts.append({toQString(kDigitWords[ones]), digitEnd(ones)});
    return parts;
}

SpokenNumber fromParts(const QList<Part>& parts) {
    SpokenNumber number;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i)
        number.head += parts[i].text;
    number.end = parts.last().text;
    number.endKind = parts.last().end;
    return number;
}

SpokenNumber readInteger(qint64 value) {
    if (value == 0) {
        SpokenNumber zero{{}, toQString(kDigitWords[0]), NumberEnd::Zero, 0};
        return zero;
    }
    QList<Part> parts;
    for (const BigUnit& unit : kBigUnits) {
        const int group = int(value / unit.value % 10000);
        if (group == 0)
            continue;
        QList<Part> groupParts = readGroup(group, true);
        // 一兆 イッチョー, 八兆 ハッチョー, 十兆 ジュッチョー.
        const NumberEnd last = groupParts.last().end;
        if (unit.end == NumberEnd::Trillion &&
            (last == NumberEnd::One || last == NumberEnd::Eight || last == NumberEnd::Ten))
            groupParts.last().text = geminated(groupParts.last().text);
        parts += groupParts;
        parts.append({toQString(unit.reading), unit.end});
    }
    if (const int rest = int(value % 10000); rest > 0)
        parts += readGroup(rest, false);
    SpokenNumber number = fromParts(parts);
    number.value = value;
    return number;
}

int digitValue(QChar c) {
    if (c >= u'0' && c <= u'9')
        return c.unicode() - u'0';
    switch (c.unicode()) {
    case u'〇':
    case u'零':
        return 0;
    case u'一':
        return 1;
    case u'二':
        return 2;
    case u'三':
        return 3;
    case u'四':
        return 4;
    case u'五':
        return 5;
    case u'六':
        return 6;
    case u'七':
        return 7;
    case u'八':
        return 8;
    case u'九':
        return 9;
    default:
        return -1;
    }
}

int multiplierValue(QChar c) {
    switch (c.unicode()) {
    case u'十':
        return 10;
    case u'百':
        return 100;
    case u'千':
        return 1000;
    default:
        return 0;
    }
}

qint64 bigUnitValue(QChar c) {
    switch (c.unicode()) {
    case u'万':
        return 1'0000LL;
    case u'億':
        return 1'0000'0000LL;
    case u'兆':
        return 1'0000'0000'0000LL;
    default:
        return 0;
    }
}

bool isAsciiDigits(QStringView text) {
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (c < u'0' || c > u'9')
            return false;
    return true;
}

// Telephone numbers, codes and over-long figures: each digit on its own.
SpokenNumber readDigitByDigit(QStringView digits) {
    SpokenNumber number;
    for (qsizetype i = 0; i < digits.size(); ++i) {
        const QString word = toQString(kDigitWords[digitValue(digits[i])]);
        if (i + 1 < digits.size())
            number.head += word;
        else
            number.end = word;
    }
    return number;
}

// Kanji numerals in either style ("二十四", "二〇二四") and digits with kanji units ("1万5千").
std::optional<qint64> parseInteger(QStringView numeral) {
    qint64 total = 0;   // of the big units passed
    qint64 section = 0; // below the next big unit
    qint64 current = 0; // the digits being read
    bool hasCurrent = false;
    for (QChar c : numeral) {
        if (const int digit = digitValue(c); digit >= 0) {
            if (current >= kNumberLimit / 10)
                return std::nullopt;
            current = current * 10 + digit;
            hasCurrent = true;
        } else if (const int multiplier = multiplierValue(c); multiplier > 0) {
            section += (hasCurrent ? current : 1) * multiplier;
            current = 0;
            hasCurrent = false;
        } else if (const qint64 unit = bigUnitValue(c); unit > 0) {
            qint64 amount = section + current;
            if (amount == 0)
                amount = 1; // a bare 万 is 一万
            if (amount >= kNumberLimit / unit)
                return std::nullopt;
            total += amount * unit;
            section = current = 0;
            hasCurrent = false;
        } else {
            return std::nullopt;
        }
        if (section >= kNumberLimit || total >= kNumberLimit)
            return std::nullopt;
    }
    const qint64 value = total + section + current;
    if (value >= kNumberLimit)
        return std::nullopt;
    return value;
}

std::optional<SpokenNumber> readDecimal(QStringView integral, QStringView fraction) {
    if (!isAsciiDigits(integral) || !isAsciiDigits(fraction))
        return std::nullopt;
    QString head;
    if (const auto value = parseInteger(integral); !value) {
        return std::nullopt;
    } else if (*value == 0) {
        head = QStringLiteral("レー");
    } else {
        const SpokenNumber whole = readInteger(*value);
        // 1.5 イッテンゴ, 8.5 ハッテンゴ, 10.5 ジュッテンゴ.
        const bool geminates = whole.endKind == NumberEnd::One ||
                               whole.endKind == NumberEnd::Eight || whole.endKind == NumberEnd::Ten;
        head = whole.head + (geminates ? geminated(whole.end) : whole.end);
    }
    SpokenNumber number = readDigitByDigit(fraction);
    number.head = head + QStringLiteral("テン") + number.head;
    return number;
}

// 何, and 何十 / 何百 / 何千 / 何万, which sound like 三十 / 三百 / 三千 / 三万 with ナン.
std::optional<SpokenNumber> readQuestion(QStringView rest) {
    if (rest.isEmpty())
        return SpokenNumber{{}, QStringLiteral("ナン"), NumberEnd::Nan, std::nullopt};
    for (QChar c : rest)
        if (multiplierValue(c) == 0 && bigUnitValue(c) == 0)
            return std::nullopt;
    const auto value = parseInteger(rest);
    if (!value)
        return std::nullopt;
    SpokenNumber number = readInteger(*value * 3);
    QString& first = number.head.isEmpty() ? number.end : number.head;
    first.replace(0, 2, QStringLiteral("ナン"));
    number.value.reset();
    return number;
}

// ---------------------------------------------------------------------------------------------
// Counters

constexpr unsigned bit(NumberEnd end) {
    return 1u << static_cast<unsigned>(end);
}
template <typename... Ends> constexpr unsigned ends(Ends... list) {
    return (bit(list) | ...);
}

// The number's end geminates before counters starting with h, k, s or t sounds.
constexpr unsigned kGeminating =
    ends(NumberEnd::One, NumberEnd::Six, NumberEnd::Eight, NumberEnd::Ten, NumberEnd::Hundred);
// Before s sounds only one, eight and ten do.
constexpr unsigned kGeminatingBeforeS = ends(NumberEnd::One, NumberEnd::Eight, NumberEnd::Ten);
// After ン (三, 千, 万, 何) the counter's first sound is voiced.
constexpr unsigned kAfterN =
    ends(NumberEnd::Three, NumberEnd::Thousand, NumberEnd::TenThousand, NumberEnd::Nan);

enum class EndChange {
    Keep,
    Geminate, // イチ → イッ
    Yo,       // ヨン → ヨ
    Shi,      // ヨン → シ
    Shichi,   // ナナ → シチ
    Ku,       // キュー → ク
};

struct EndRule {
    unsigned ends = 0; // bit set of NumberEnd
    EndChange change = EndChange::Keep;
    Text counter; // the counter's reading after these ends
};

struct Counter {
    Text surface;
    Text reading; // after every other end
    std::array<EndRule, 3> rules{};
};

// clang-format off
constexpr Counter kCounters[] = {
    // Long things, animals, cups: 一本 イッポン, 三本 サンボン, 六本 ロッポン, 十本 ジュッポン.
    {u"本", u"ホン", {{{kGeminating, EndChange::Geminate, u"ポン"}, {kAfterN, EndChange::Keep, u"ボン"}}}},
    {u"匹", u"ヒキ", {{{kGeminating, EndChange::Geminate, u"ピキ"}, {kAfterN, EndChange::Keep, u"ビキ"}}}},
    {u"杯", u"ハイ", {{{kGeminating, EndChange::Geminate, u"パイ"}, {kAfterN, EndChange::Keep, u"バイ"}}}},
    // Minutes and nights: also p after 三 and 四 (サンプン, ヨンプン).
    {u"分", u"フン", {{{kGeminating, EndChange::Geminate, u"プン"},
                      {kAfterN | bit(NumberEnd::Four), EndChange::Keep, u"プン"}}}},
    {u"泊", u"ハク", {{{kGeminating, EndChange::Geminate, u"パク"},
                      {kAfterN | bit(NumberEnd::Four), EndChange::Keep, u"パク"}}}},
    // k sounds: 一階 イッカイ, 三階 サンガイ; 一回 イッカイ, 三回 サンカイ.
    {u"階", u"カイ", {{{kGeminating, EndChange::Geminate, u"カイ"},
                      {ends(NumberEnd::Three, NumberEnd::Nan), EndChange::Keep, u"ガイ"}}}},
    {u"回", u"カイ", {{{kGeminating, EndChange::Geminate, u"カイ"}}}},
    {u"個", u"コ", {{{kGeminating, EndChange::Geminate, u"コ"}}}},
    {u"軒", u"ケン", {{{kGeminating, EndChange::Geminate, u"ケン"}, {kAfterN, EndChange::Keep, u"ゲン"}}}},
    {u"ヶ月", u"カゲツ", {{{kGeminating, EndChange::Geminate, u"カゲツ"}}}},
    {u"か月", u"カゲツ", {{{kGeminating, EndChange::Geminate, u"カゲツ"}}}},
    {u"カ月", u"カゲツ", {{{kGeminating, EndChange::Geminate, u"カゲツ"}}}},
    {u"ヵ月", u"カゲツ", {{{kGeminating, EndChange::Geminate, u"カゲツ"}}}},
    {u"ケ月", u"カゲツ", {{{kGeminating, EndChange::Geminate, u"カゲツ"}}}},
    {u"箇月", u"カゲツ", {{{kGeminating, EndChange::Geminate, u"カゲツ"}}}},
    {u"ヶ所", u"カショ", {{{kGeminating, EndChange::Geminate, u"カショ"}}}},
    {u"か所", u"カショ", {{{kGeminating, EndChange::Geminate, u"カショ"}}}},
    {u"カ所", u"カショ", {{{kGeminating, EndChange::Geminate, u"カショ"}}}},
    {u"箇所", u"カショ", {{{kGeminating, EndChange::Geminate, u"カショ"}}}},
    // s sounds: 一歳 イッサイ, 八冊 ハッサツ, 三足 サンゾク.
    {u"歳", u"サイ", {{{kGeminatingBeforeS, EndChange::Geminate, u"サイ"}}}},
    {u"才", u"サイ", {{{kGeminatingBeforeS, EndChange::Geminate, u"サイ"}}}},
    {u"冊", u"サツ", {{{kGeminatingBeforeS | bit(NumberEnd::Hundred), EndChange::Geminate, u"サツ"}}}},
    {u"足", u"ソク", {{{kGeminatingBeforeS, EndChange::Geminate, u"ソク"},
                      {ends(NumberEnd::Three, NumberEnd::Thousand, NumberEnd::Nan), EndChange::Keep, u"ゾク"}}}},
    {u"週間", u"シューカン", {{{kGeminatingBeforeS, EndChange::Geminate, u"シューカン"}}}},
    {u"%", u"パーセント", {{{kGeminatingBeforeS | bit(NumberEnd::Six), EndChange::Geminate, u"パーセント"}}}},
    {u"％", u"パーセント", {{{kGeminatingBeforeS | bit(NumberEnd::Six), EndChange::Geminate, u"パーセント"}}}},
    {u"パーセント", u"パーセント", {{{kGeminatingBeforeS | bit(NumberEnd::Six), EndChange::Geminate, u"パーセント"}}}},
    // No sound change; listed so that the number before them is read with them.
    {u"枚", u"マイ", {}},
    {u"台", u"ダイ", {}},
    // Four, seven and nine take their other readings: 四時 ヨジ, 七時 シチジ, 九時 クジ.
    {u"円", u"エン", {{{bit(NumberEnd::Four), EndChange::Yo, u"エン"}}}},
    {u"年", u"ネン", {{{bit(NumberEnd::Four), EndChange::Yo, u"ネン"}}}},
    {u"人", u"ニン", {{{bit(NumberEnd::Four), EndChange::Yo, u"ニン"}}}},
    {u"時", u"ジ", {{{bit(NumberEnd::Four), EndChange::Yo, u"ジ"},
                    {bit(NumberEnd::Seven), EndChange::Shichi, u"ジ"},
                    {bit(NumberEnd::Nine), EndChange::Ku, u"ジ"}}}},
    {u"時間", u"ジカン", {{{bit(NumberEnd::Four), EndChange::Yo, u"ジカン"},
                         {bit(NumberEnd::Nine), EndChange::Ku, u"ジカン"}}}},
    {u"月", u"ガツ", {{{bit(NumberEnd::Four), EndChange::Shi, u"ガツ"},
                      {bit(NumberEnd::Seven), EndChange::Shichi, u"ガツ"},
                      {bit(NumberEnd::Nine), EndChange::Ku, u"ガツ"}}}},
    // Days: 十四日 ジューヨッカ; the native counts below cover 二日 to 十日 and 二十日.
    {u"日", u"ニチ", {{{bit(NumberEnd::Four), EndChange::Yo, u"ッカ"},
                      {bit(NumberEnd::Seven), EndChange::Shichi, u"ニチ"},
                      {bit(NumberEnd::Nine), EndChange::Ku, u"ニチ"}}}},
    {u"つ", u"ツ", {}},
};

// Whole words for particular numbers: native Japanese counts and special words.
struct NativeCount {
    Text counter;
    qint64 value;
    Text reading;
};
constexpr NativeCount kNativeCounts[] = {
    {u"人", 1, u"ヒトリ"}, {u"人", 2, u"フタリ"},
    {u"日", 2, u"フツカ"}, {u"日", 3, u"ミッカ"}, {u"日", 5, u"イツカ"}, {u"日", 6, u"ムイカ"},
    {u"日", 7, u"ナノカ"}, {u"日", 8, u"ヨーカ"}, {u"日", 9, u"ココノカ"}, {u"日", 10, u"トオカ"},
    {u"日", 20, u"ハツカ"},
    {u"歳", 20, u"ハタチ"}, {u"才", 20, u"ハタチ"},
    {u"つ", 1, u"ヒトツ"}, {u"つ", 2, u"フタツ"}, {u"つ", 3, u"ミッツ"}, {u"つ", 4, u"ヨッツ"},
    {u"つ", 5, u"イツツ"}, {u"つ", 6, u"ムッツ"}, {u"つ", 7, u"ナナツ"}, {u"つ", 8, u"ヤッツ"},
    {u"つ", 9, u"ココノツ"}, {u"つ", 10, u"トオ"},
};

// Counters made of a counter and a suffix that leaves its reading alone: 三日間 ミッカカン.
struct CompoundCounter {
    Text surface;
    Text counter;
    Text suffix;
};
constexpr CompoundCounter kCompoundCounters[] = {
    {u"日間", u"日", u"カン"}, {u"日目", u"日", u"メ"},   {u"時半", u"時", u"ハン"},
    {u"分間", u"分", u"カン"}, {u"年間", u"年", u"カン"}, {u"年生", u"年", u"セー"},
    {u"ヶ月間", u"ヶ月", u"カン"}, {u"か月間", u"か月", u"カン"}, {u"カ月間", u"カ月", u"カン"},
};
// clang-format on

const Counter* findCounter(Text surface) {
    for (const Counter& counter : kCounters)
        if (counter.surface == surface)
            return &counter;
    return nullptr;
}

QString applyChange(const SpokenNumber& number, EndChange change) {
    switch (change) {
    case EndChange::Keep:
        return number.text();
    case EndChange::Geminate:
        return number.head + geminated(number.end);
    case EndChange::Yo:
        return number.head + QStringLiteral("ヨ");
    case EndChange::Shi:
        return number.head + QStringLiteral("シ");
    case EndChange::Shichi:
        return number.head + QStringLiteral("シチ");
    case EndChange::Ku:
        return number.head + QStringLiteral("ク");
    }
    return number.text();
}

QString readWithCounter(const SpokenNumber& number, const Counter& counter,
                        const CountContext& context) {
    if (number.value) {
        // 一日: the first of a month after one, else "one day", the more common in dialogue.
        if (counter.surface == u"日" && *number.value == 1)
            return context.afterMonth ? QStringLiteral("ツイタチ") : QStringLiteral("イチニチ");
        for (const NativeCount& native : kNativeCounts)
            if (native.counter == counter.surface && native.value == *number.value)
                return toQString(native.reading);
    }
    for (const EndRule& rule : counter.rules)
        if (rule.ends & bit(number.endKind))
            return applyChange(number, rule.change) + toQString(rule.counter);
    return number.text() + toQString(counter.reading);
}

} // namespace

bool isNumeralCharacter(QChar c) {
    return digitValue(c) >= 0 || multiplierValue(c) > 0 || bigUnitValue(c) > 0;
}

bool isNumeral(QStringView text) {
    if (text.isEmpty())
        return false;
    for (QChar c : text)
        if (!isNumeralCharacter(c))
            return false;
    return true;
}

std::optional<SpokenNumber> readNumeral(QStringView numeral) {
    if (numeral.startsWith(u'何'))
        return readQuestion(numeral.mid(1));
    if (const qsizetype point = numeral.indexOf(u'.'); point >= 0)
        return readDecimal(numeral.left(point), numeral.mid(point + 1));
    if (!isNumeral(numeral))
        return std::nullopt;
    if (numeral == u"零")
        return SpokenNumber{{}, QStringLiteral("レイ"), NumberEnd::Zero, 0};
    if (isAsciiDigits(numeral) && numeral.size() > 1 && numeral.front() == u'0')
        return readDigitByDigit(numeral);
    if (const auto value = parseInteger(numeral))
        return readInteger(*value);
    if (isAsciiDigits(numeral))
        return readDigitByDigit(numeral);
    return std::nullopt;
}

QString readDigits(QStringView digits) {
    return isAsciiDigits(digits) ? readDigitByDigit(digits).text() : QString();
}

bool isKnownCounter(QStringView counter) {
    const Text surface = toText(counter);
    for (const CompoundCounter& compound : kCompoundCounters)
        if (compound.surface == surface)
            return true;
    return findCounter(surface) != nullptr;
}

std::optional<QString> readCounted(const SpokenNumber& number, QStringView counter,
                                   const CountContext& context) {
    const Text surface = toText(counter);
    for (const CompoundCounter& compound : kCompoundCounters) {
        if (compound.surface != surface)
            continue;
        // 一日間 is a day's length, never the first of a month.
        const CountContext inner = compound.counter == u"日" ? CountContext{} : context;
        return readWithCounter(number, *findCounter(compound.counter), inner) +
               toQString(compound.suffix);
    }
    if (const Counter* found = findCounter(surface))
        return readWithCounter(number, *found, context);
    return std::nullopt;
}

} // namespace lessora::japanese
