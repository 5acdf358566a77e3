#include "japanese/JapaneseWordRules.h"

#include <QStringView>

#include <algorithm>
#include <string>

namespace lessora::japanese {

namespace {

enum class Context {
    Always,                // whatever stands around it
    BeforeCopulaOrCounter, // the next word is a copula, の, と, でも, or a counter
    AfterDemonstrative,    // この, その, あの or どの right before, and no comparison after
    WithSubject,           // its subject (the noun before が, は or も) is one of `subjects`
    BeforeWords,           // the words after it begin with one of `words`
    AfterWord,             // the word before it is one of `words`
};

struct WordRule {
    QStringView word; // the surface, or the dictionary form of a verb or adjective
    Context context;
    QStringView words; // subjects (WithSubject) or what follows (BeforeWords), by "|"
    QStringView from;  // the start of the dictionary's reading that changes; "" all of it
    QStringView to;    // what it becomes
};

// clang-format off
constexpr WordRule kWordRules[] = {
    // Everyday time words: the reading of conversation, not the formal one.
    {u"明日",     Context::Always, {}, {}, u"アシタ"},     // not アス, ミョーニチ
    {u"昨日",     Context::Always, {}, {}, u"キノー"},     // not サクジツ
    {u"今朝",     Context::Always, {}, {}, u"ケサ"},       // not コンチョー
    {u"今年",     Context::Always, {}, {}, u"コトシ"},     // not コンネン
    {u"一昨日",   Context::Always, {}, {}, u"オトトイ"},   // not イッサクジツ
    {u"明後日",   Context::Always, {}, {}, u"アサッテ"},   // not ミョーゴニチ
    {u"一昨年",   Context::Always, {}, {}, u"オトトシ"},   // not イッサクネン
    {u"昨夜",     Context::Always, {}, {}, u"ユーベ"},     // not サクヤ

    // 何 before a copula, の, と, でも or a counter: ナンデスカ, ナンノ, ナント, ナンヨービ;
    // but 何色 ナニイロ, 何語 ナニゴ, 何者 ナニモノ, 何事 ナニゴト.
    {u"何", Context::BeforeWords, u"色|語|者|事", {}, u"ナニ"},
    {u"何", Context::BeforeCopulaOrCounter, {}, {}, u"ナン"},
    {u"色", Context::AfterWord, u"何", {}, u"イロ"},

    // 方 after a demonstrative is a person: アノカタ; この方がいい compares and stays ホー.
    {u"方", Context::AfterDemonstrative, {}, {}, u"カタ"},

    // 角 is a street corner where one turns: 角を曲がる カド, not the angle カク.
    {u"角", Context::BeforeWords, u"を曲が|で曲が|を右|を左|で右|で左|にある|の店|まで", {}, u"カド"},

    // Verbs and adjectives read by their subject.
    {u"降りる", Context::WithSubject, u"雨|雪|雹|霰|みぞれ|小雨|大雨|大雪|にわか雨", u"オ", u"フ"},      // 雪が降り フリ
    {u"空く",   Context::WithSubject, u"お腹|おなか|腹", u"ア", u"ス"},                                   // お腹が空い スイ
    {u"開く",   Context::WithSubject, u"窓|ドア|戸|扉|店|門|蓋|ふた|箱|口|引き出し", u"ヒラ", u"ア"},      // 窓が開い アイ
    {u"辛い",   Context::WithSubject, u"カレー|ラーメン|料理|味|スープ|キムチ|わさび|唐辛子", u"ツラ", u"カラ"}, // カレーが辛い カライ
};
// clang-format on

bool isOneOf(QStringView word, QStringView list) {
    for (const QStringView item : list.tokenize(u'|'))
        if (item == word)
            return true;
    return false;
}

bool adjacent(const QList<Morpheme>& words, qsizetype i) {
    return i >= 0 && i < words.size() && !words[i].spaceBefore;
}

bool beforeCopulaOrCounter(const QList<Morpheme>& words, qsizetype index) {
    const qsizetype next = index + 1;
    if (!adjacent(words, next))
        return false;
    const Morpheme& word = words[next];
    // Counters the dictionary does not tag as such are listed with the copulas.
    return isOneOf(word.surface, u"だ|です|でし|でしょ|だろ|だっ|じゃ|なら|な|の|と|でも|"
                                 u"曜日|番|番目|号|倍|割|度|種類|回目|年生|ページ|人前") ||
           word.entry->subclass2 == u"助数詞";
}

bool afterDemonstrative(const QList<Morpheme>& words, qsizetype index) {
    if (index == 0 || !isOneOf(words[index - 1].surface, u"この|その|あの|どの"))
        return false;
    // この方がいい, その方が安い, あの方が好き: "this way", a comparison.
    if (index + 2 < words.size() && words[index + 1].surface == u"が") {
        const Morpheme& after = words[index + 2];
        if (after.entry->partOfSpeech == u"形容詞" ||
            isOneOf(after.surface, u"まし|好き|楽|便利|得"))
            return false;
    }
    return true;
}

// The noun before が, は or も (or right before the word) that the word is said of.
QString subjectOf(const QList<Morpheme>& words, qsizetype index) {
    qsizetype i = index - 1;
    if (i >= 0 && isOneOf(words[i].surface, u"が|は|も|って"))
        --i;
    if (i >= 0 && words[i].entry->partOfSpeech == u"名詞")
        return words[i].surface;
    return {};
}

// The next few words, run together.
QString wordsAfter(const QList<Morpheme>& words, qsizetype index) {
    QString after;
    for (qsizetype i = index + 1; i < words.size() && i <= index + 3 && adjacent(words, i); ++i)
        after += words[i].surface;
    return after;
}

bool startsWithOneOf(const QString& text, QStringView list) {
    for (const QStringView item : list.tokenize(u'|'))
        if (text.startsWith(item))
            return true;
    return false;
}

bool applies(const WordRule& rule, const QList<Morpheme>& words, qsizetype index) {
    switch (rule.context) {
    case Context::Always:
        return true;
    case Context::BeforeCopulaOrCounter:
        return beforeCopulaOrCounter(words, index);
    case Context::AfterDemonstrative:
        return afterDemonstrative(words, index);
    case Context::WithSubject:
        return isOneOf(subjectOf(words, index), rule.words);
    case Context::BeforeWords:
        return startsWithOneOf(wordsAfter(words, index), rule.words);
    case Context::AfterWord:
        return index > 0 && adjacent(words, index) && isOneOf(words[index - 1].surface, rule.words);
    }
    return false;
}

} // namespace

QString contextReading(const QList<Morpheme>& words, qsizetype index) {
    // The first characters of the rules' words, sorted: most words start with none of them.
    static const std::u16string firstCharacters = [] {
        std::u16string characters;
        for (const WordRule& rule : kWordRules)
            characters += rule.word.front().unicode();
        std::sort(characters.begin(), characters.end());
        characters.erase(std::unique(characters.begin(), characters.end()), characters.end());
        return characters;
    }();
    auto mayStartRule = [](const QString& text) {
        return !text.isEmpty() && std::binary_search(firstCharacters.begin(), firstCharacters.end(),
                                                     text.front().unicode());
    };
    const Morpheme& word = words[index];
    if (word.surface.isEmpty() ||
        (!mayStartRule(word.surface) && !mayStartRule(word.entry->baseForm)))
        return {};
    for (const WordRule& rule : kWordRules) {
        const bool inflected = !rule.from.isEmpty();
        if ((inflected ? word.entry->baseForm : word.surface) != rule.word ||
            !applies(rule, words, index))
            continue;
        if (!inflected)
            return rule.to.toString();
        if (word.entry->pronunciation.startsWith(rule.from))
            return rule.to.toString() + word.entry->pronunciation.mid(rule.from.size());
    }
    return {};
}

} // namespace lessora::japanese
