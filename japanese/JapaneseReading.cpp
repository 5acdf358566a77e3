#include "japanese/JapaneseReading.h"

#include "japanese/JapaneseNumbers.h"
#include "japanese/JapaneseReader.h"
#include "japanese/JapaneseWordRules.h"
#include "japanese/MecabTagger.h"

#include <QRegularExpression>
#include <algorithm>

namespace lessora {

namespace {

// Words are compared with characters (u'の') or with literals whose length is known when
// compiled (u"記号"_s): a bare u"" literal is measured at each comparison, and the rules compare
// every word with several.
using namespace Qt::StringLiterals;
using japanese::CountContext;
using japanese::isKnownCounter;
using japanese::isNumeral;
using japanese::readCounted;
using japanese::readNumeral;

// ---------------------------------------------------------------------------------------------
// Normalisation

// Full-width ASCII, half-width katakana and the ideographic space have plain forms that the
// number reader and the Latin runs need; other compatibility characters (①, ㌔, ￥) are left to
// the dictionary, which reads many of them.
bool needsNormalising(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0xFF01 && u <= 0xFF5E) || (u >= 0xFF61 && u <= 0xFF9F) || u == 0x3000;
}

// Replaces each match of `pattern` by what `replacement` makes of it.
template <typename Replacement>
QString replaceMatches(const QString& text, const QRegularExpression& pattern,
                       Replacement replacement) {
    QString result;
    qsizetype last = 0;
    for (const QRegularExpressionMatch& match : pattern.globalMatch(text)) {
        result += QStringView(text).mid(last, match.capturedStart() - last);
        result += replacement(match);
        last = match.capturedEnd();
    }
    if (last == 0)
        return text;
    result += QStringView(text).mid(last);
    return result;
}

bool isWeekdayAhead(const QString& text, qsizetype at) {
    return at + 1 < text.size() && (text[at] == u'(' || text[at] == u'（') &&
           QStringView(u"月火水木金土日").contains(text[at + 1]);
}

// Written with a slash: 2024/4/1 and 12/25 are dates, 1/2 and 3/4 fractions (a smaller number
// over a small one), 5/3 (May 3) a date again; a weekday after it makes it a date.
QString slashedNumber(const QRegularExpressionMatch& match, const QString& text) {
    const int a = match.captured(1).toInt();
    const int b = match.captured(2).toInt();
    const bool dayOfMonth = b >= 1 && b <= 31;
    if (match.hasCaptured(3)) {
        const int c = match.captured(3).toInt();
        if (b >= 1 && b <= 12 && c >= 1 && c <= 31)
            return QStringLiteral("%1年%2月%3日").arg(a).arg(b).arg(c);
        return match.captured().replace(u'/', u'、');
    }
    if (a >= 1000 && b >= 1 && b <= 12)
        return QStringLiteral("%1年%2月").arg(a).arg(b);
    const bool date = a >= 1 && a <= 12 && dayOfMonth;
    const bool fraction = b > 0 && a < b && b <= 10;
    if (date && (isWeekdayAhead(text, match.capturedEnd()) || !fraction))
        return QStringLiteral("%1月%2日").arg(a).arg(b);
    if (b > 0)
        return QStringLiteral("%1分の%2").arg(b).arg(a);
    return match.captured().replace(u'/', u'、');
}

// Which signs said as words a text holds: most lines hold none, and no pattern is run for them.
struct SignsHeld {
    bool currency = false;
    bool minus = false;
    bool slash = false;
};

SignsHeld signsHeldBy(const QString& text) {
    SignsHeld held;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'¥':
        case u'￥':
        case u'$':
        case u'€':
        case u'£':
            held.currency = true;
            break;
        case u'-':
        case u'−':
        case u'‐':
            held.minus = true;
            break;
        case u'/':
            held.slash = true;
            break;
        default:
            break;
        }
    }
    return held;
}

// Signs a Japanese speaker says as words: ¥1000 センエン, $5 ゴドル, -3度 マイナスサンド,
// 12/25 ジューニガツニジューゴニチ, 1/2 ニブンノイチ.
QString signsAsWords(const QString& text) {
    thread_local const QRegularExpression currency(
        QStringLiteral(R"(([¥￥$€£])\s?(\d+(?:\.\d+)?))"));
    thread_local const QRegularExpression minus(
        QStringLiteral(R"((?<![A-Za-z0-9\p{Latin}.])[-−‐](?=\d))"));
    thread_local const QRegularExpression slash(
        QStringLiteral(R"((?<![\d/.])(\d{1,4})/(\d{1,4})(?:/(\d{1,2}))?(?![\d/]))"));
    const SignsHeld held = signsHeldBy(text);
    if (!held.currency && !held.minus && !held.slash)
        return text;
    QString result = !held.currency
                         ? text
                         : replaceMatches(text, currency, [](const QRegularExpressionMatch& match) {
                               const QChar sign = match.captured(1).front();
                               const QString unit = sign == u'$'   ? QStringLiteral("ドル")
                                                    : sign == u'€' ? QStringLiteral("ユーロ")
                                                    : sign == u'£' ? QStringLiteral("ポンド")
                                                                   : QStringLiteral("円");
                               return match.captured(2) + unit;
                           });
    if (held.minus)
        result = replaceMatches(result, minus, [](const QRegularExpressionMatch&) {
            return QStringLiteral("マイナス");
        });
    if (!held.slash)
        return result;
    const QString withSlashes = result;
    return replaceMatches(withSlashes, slash, [&withSlashes](const QRegularExpressionMatch& match) {
        return slashedNumber(match, withSlashes);
    });
}

// The text with full-width ASCII, half-width katakana and the ideographic space in their plain
// forms (needsNormalising).
QString widthNormalised(const QString& text) {
    if (std::none_of(text.begin(), text.end(), needsNormalising))
        return text;
    QString result;
    result.reserve(text.size());
    // Runs are normalised together so that half-width voiced marks join their kana (ｶﾞ → ガ).
    for (qsizetype i = 0; i < text.size();) {
        qsizetype end = i;
        while (end < text.size() && needsNormalising(text[end]))
            ++end;
        if (end > i) {
            result += text.mid(i, end - i).normalized(QString::NormalizationForm_KC);
            i = end;
        } else {
            result += text[i++];
        }
    }
    return result;
}

QString normalised(const QString& text) {
    const QString result = widthNormalised(text);
    // Thousands separators: 1,500 is one number, not 1 and 500.
    if (!result.contains(u','))
        return signsAsWords(result);
    thread_local const QRegularExpression separated(
        QStringLiteral(R"((?<![\d,.])\d{1,3}(?:,\d{3})+(?!\d))"));
    return signsAsWords(replaceMatches(result, separated, [](const QRegularExpressionMatch& match) {
        return match.captured().remove(u',');
    }));
}

// ---------------------------------------------------------------------------------------------
// Pieces of a line

struct Piece {
    ReadingSegment::Kind kind;
    QString text;
    bool spaceBefore = false;
    // What a voice that analyses text itself is given: the text as written where the
    // dictionary's reading stands, else `text` (the reader's own reading, `rewritten`).
    QString voiceText;
    bool rewritten = false;
};

bool isKana(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x3041 && u <= 0x309F) || (u >= 0x30A0 && u <= 0x30FF) ||
           (u >= 0x31F0 && u <= 0x31FF);
}

bool isAllKana(const QString& text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isKana);
}

QString toKatakana(const QString& text) {
    QString result = text;
    for (QChar& c : result) {
        const char16_t u = c.unicode();
        if ((u >= 0x3041 && u <= 0x3096) || u == 0x309D || u == 0x309E)
            c = QChar(char16_t(u + 0x60));
    }
    return result;
}

// Sentence punctuation as the Japanese voice understands it; brackets, quotes and symbols
// without a reading are dropped rather than spelled.
QString punctuationReading(const QString& surface) {
    QString result;
    for (QChar c : surface) {
        switch (c.unicode()) {
        case u'。':
        case u'．':
        case u'.':
        case u'｡':
            result += u'。';
            break;
        case u'、':
        case u'，':
        case u',':
        case u'､':
        case u'・':
        case u'･':
        case u'…':
        case u'‥':
        case u':':
        case u'：':
        case u';':
        case u'；':
            result += u'、';
            break;
        case u'!':
        case u'！':
            result += u'！';
            break;
        case u'?':
        case u'？':
            result += u'？';
            break;
        default:
            break;
        }
    }
    return result;
}

bool isNumeralMorpheme(const Morpheme& morpheme) {
    return morpheme.entry->subclass == u'数' && morpheme.entry->partOfSpeech == u"名詞"_s &&
           isNumeral(morpheme.surface);
}

bool isAsciiDigits(const QString& text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// 一つ to 九つ, which the dictionary knows as words.
bool isNativeCountWord(const QString& surface) {
    return surface.size() == 2 && surface[1] == u'つ' &&
           QStringView(u"一二三四五六七八九").contains(surface[0]);
}

// Hyphens as typed between the parts of a telephone number, the long-vowel mark included.
bool isHyphen(const QString& surface) {
    return surface == u'-' || surface == u'ー' || surface == u'−' || surface == u'‐' ||
           surface == u'–';
}

bool isWaveDash(const QString& surface) {
    return surface == u'〜' || surface == u'~' || surface == u'～';
}

// Words after 十分 that make it "ten minutes" rather than "enough": 十分後, 十分かかる.
bool measuresTime(const Morpheme& next) {
    static const QStringList words = {
        QStringLiteral("後"),     QStringLiteral("前"),     QStringLiteral("間"),
        QStringLiteral("以内"),   QStringLiteral("以上"),   QStringLiteral("ほど"),
        QStringLiteral("程"),     QStringLiteral("ぐらい"), QStringLiteral("くらい"),
        QStringLiteral("位"),     QStringLiteral("ごろ"),   QStringLiteral("頃"),
        QStringLiteral("おき"),   QStringLiteral("ずつ"),   QStringLiteral("かかる"),
        QStringLiteral("掛かる"), QStringLiteral("待つ"),   QStringLiteral("遅れる"),
        QStringLiteral("経つ"),   QStringLiteral("たつ"),   QStringLiteral("歩く")};
    return words.contains(next.surface) || words.contains(next.entry->baseForm);
}

// Words before 十分 that make it "ten minutes": あと十分, 約十分.
bool countsDown(const Morpheme& previous) {
    return previous.surface == u"あと"_s || previous.surface == u'後' ||
           previous.surface == u'約' || previous.surface == u"もう"_s ||
           previous.surface == u"たった"_s;
}

// Words whose dictionary reading is not the one a learner is taught.
QString textbookReading(const QString& surface) {
    struct Word {
        QStringView surface;
        QStringView reading;
    };
    static constexpr Word kWords[] = {
        {u"何時", u"ナンジ"},   // イツ ("when") in the dictionary; dialogue asks the time
        {u"何分", u"ナンプン"}, // ナニブン ("anyway") in the dictionary
    };
    for (const Word& word : kWords)
        if (word.surface == surface)
            return word.reading.toString();
    return {};
}

// Katakana that Open JTalk takes for another word, and how to write it so that it says it.
QString voiceSpelling(QString katakana) {
    struct Spelling {
        QStringView katakana;
        QStringView written;
    };
    static constexpr Spelling kSpellings[] = {
        {u"ハツカ", u"二十日"}, // ハッカ (mint) otherwise
    };
    for (const Spelling& spelling : kSpellings)
        katakana.replace(spelling.katakana.toString(), spelling.written.toString());
    return katakana;
}

// Reads a clause of morphemes, numbers and counters with their sound changes.
class MorphemeReader {
public:
    // With `forVoice`, each piece also gets what a voice that analyses text itself is given.
    MorphemeReader(const QList<Morpheme>& morphemes, bool forVoice)
        : m(morphemes)
        , m_forVoice(forVoice) {}

    QList<Piece> read() {
        m_pieces.reserve(m.size()); // at most a piece a morpheme
        for (qsizetype i = 0; i < m.size();) {
            qsizetype next = readClockTimeAt(i);
            if (next == i)
                next = readDigitGroupsAt(i);
            if (next == i)
                next = readNumberAt(i);
            if (next == i) {
                addWord(i);
                // Punctuation keeps the state: 一つ、二つ、十.
                if (isNativeCountWord(m[i].surface))
                    m_previous = Previous::NativeCount;
                else if (m[i].entry->partOfSpeech != u"記号"_s || isWaveDash(m[i].surface))
                    m_previous = Previous::Word;
                next = i + 1;
            }
            i = next;
        }
        return m_pieces;
    }

private:
    // What was read just before, for the words whose reading depends on it.
    enum class Previous {
        Word,
        Number,      // a number without a counter
        Count,       // a number with its counter
        Hour,        // 三時
        NativeCount, // 三つ
    };

    // The reading of the morphemes [from, to): given to a voice as written when it is what the
    // dictionary says of them, else as the reader's katakana (`voiceText` when that differs).
    void add(const QString& text, qsizetype from, qsizetype to, const QString& voiceText = {}) {
        if (text.isEmpty())
            return;
        if (!m_forVoice) {
            m_pieces.append({ReadingSegment::Kind::Japanese, text, m[from].spaceBefore, {}, true});
            return;
        }
        QString written;
        QString dictionary;
        for (qsizetype j = from; j < to; ++j) {
            written += m[j].surface;
            dictionary += m[j].entry->pronunciation;
        }
        // Digits are never given as written: the voice's own number rules would change the
        // words around them (８月ハツカ becomes ハッカ).
        const bool asWritten =
            text == dictionary && m[from].entry->partOfSpeech != u"記号"_s &&
            std::none_of(written.begin(), written.end(), [](QChar c) { return c.isDigit(); });
        m_pieces.append(
            {ReadingSegment::Kind::Japanese, text, m[from].spaceBefore,
             asWritten ? written : voiceSpelling(voiceText.isEmpty() ? text : voiceText),
             !asWritten});
    }
    void addWord(qsizetype i) { add(wordReading(i), i, i + 1); }

    bool adjacent(qsizetype i) const { return i < m.size() && !m[i].spaceBefore; }

    bool isDigitsAt(qsizetype i) const { return i < m.size() && isAsciiDigits(m[i].surface); }

    // A time of day written with a colon: 9:30 クジサンジュップン, 7:00 シチジ.
    qsizetype readClockTimeAt(qsizetype i) {
        if (!(isDigitsAt(i) && adjacent(i + 1) && m[i + 1].surface == u':' && adjacent(i + 2) &&
              isDigitsAt(i + 2)))
            return i;
        const QString& hours = m[i].surface;
        const QString& minutes = m[i + 2].surface;
        if (hours.size() > 2 || hours.toInt() > 24 || minutes.size() != 2 || minutes.toInt() > 59)
            return i;
        QString reading = *readCounted(*readNumeral(QString::number(hours.toInt())), u"時");
        if (minutes.toInt() > 0)
            reading += *readCounted(*readNumeral(QString::number(minutes.toInt())), u"分");
        add(reading, i, i + 3);
        m_previous = Previous::Count;
        return i + 3;
    }

    // Telephone numbers and codes (03-1234-5678): digit by digit, the hyphens as ノ.
    qsizetype readDigitGroupsAt(qsizetype i) {
        qsizetype end = i;
        while (isDigitsAt(end) && adjacent(end + 1) && isHyphen(m[end + 1].surface) &&
               adjacent(end + 2) && isDigitsAt(end + 2))
            end += 2;
        if (end == i)
            return i;
        QString reading;
        QString voiceText; // with の: Open JTalk drops ノ between numbers
        for (qsizetype j = i; j <= end; j += 2) {
            if (j > i) {
                reading += u'ノ';
                voiceText += u'の';
            }
            reading += japanese::readDigits(m[j].surface);
            voiceText += japanese::readDigits(m[j].surface);
        }
        add(reading, i, end + 1, voiceText);
        m_previous = Previous::Number;
        return end + 1;
    }

    // The numeral starting at `i` (several morphemes: 二 十 四, or 3 . 5); its end in `end`.
    QString numeralAt(qsizetype i, qsizetype* end) const {
        QString numeral;
        qsizetype j = i;
        if (m[j].surface == u'何') {
            numeral = m[j].surface;
            ++j;
        }
        while (j < m.size() && (j == i || adjacent(j)) && isNumeralMorpheme(m[j])) {
            numeral += m[j].surface;
            ++j;
            // A decimal: the dictionary splits 3.5 into 3, "." and 5.
            if (adjacent(j) && adjacent(j + 1) && m[j].surface == u'.' && isDigitsAt(j + 1) &&
                isAsciiDigits(numeral)) {
                numeral += u'.' + m[j + 1].surface;
                j += 2;
                break;
            }
        }
        *end = j;
        return numeral;
    }

    // A month (四月, 毎月, 4月, 来月の) comes right before `i`; not the lengths ヶ月, か月.
    bool afterMonth(qsizetype i) const {
        qsizetype previous = i - 1;
        if (previous > 0 && m[previous].surface == u'の')
            --previous;
        if (previous < 0)
            return false;
        const QString& word = m[previous].surface;
        return word == u'月' || (word.endsWith(u'月') && !isKnownCounter(word));
    }

    // Reads a number (and its counter) starting at `i`; the index after it, or `i` if none.
    qsizetype readNumberAt(qsizetype i) {
        qsizetype end = i;
        const QString numeral = numeralAt(i, &end);
        if (numeral.isEmpty())
            return i;
        const auto number = readNumeral(numeral);
        const bool hasCounter = adjacent(end) && isKnownCounter(m[end].surface);
        // 何 alone is a number only with a counter: 何本, but 何が.
        if (numeral.startsWith(u'何') && (!number || (numeral == u'何' && !hasCounter)))
            return i;
        if (!number) {
            // Not one number (万万万, or past 一京): each numeral as the dictionary reads it,
            // all at once so that a long run is not scanned again from each of its words.
            for (qsizetype j = i; j < end; ++j)
                addWord(j);
            m_previous = Previous::Number;
            return end;
        }
        // A fraction: 2分の1 ニブンノイチ, not two minutes. One dictionary has 分の as a word,
        // which before anything but a number is minutes and の: 5分の電車 ゴフンノ.
        const bool fractionAhead = end + 2 < m.size() && isNumeralMorpheme(m[end + 2]);
        if (hasCounter && m[end].surface == u'分' && adjacent(end + 1) &&
            m[end + 1].surface == u'の' && fractionAhead) {
            add(number->text() + QStringLiteral("ブン"), i, end + 1);
            m_previous = Previous::Number;
            return end + 1;
        }
        if (adjacent(end) && m[end].surface == u"分の"_s) {
            if (end + 1 < m.size() && isNumeralMorpheme(m[end + 1]))
                add(number->text() + QStringLiteral("ブンノ"), i, end + 1);
            else
                add(*readCounted(*number, u"分") + QStringLiteral("ノ"), i, end + 1);
            m_previous = Previous::Count;
            return end + 1;
        }
        if (hasCounter) {
            const QString& counter = m[end].surface;
            add(*readCounted(*number, counter, CountContext{afterMonth(i)}), i, end + 1);
            m_previous = counter == u'時'   ? Previous::Hour
                         : counter == u'つ' ? Previous::NativeCount
                                            : Previous::Count;
            return end + 1;
        }
        // Counting on after ひとつ, ふたつ ... : 十 is トオ.
        if (numeral == u'十' && m_previous == Previous::NativeCount)
            add(QStringLiteral("トオ"), i, end);
        else
            add(number->text(), i, end);
        m_previous = Previous::Number;
        return end;
    }

    QString wordReading(qsizetype i) const {
        const Morpheme& word = m[i];
        if (const QString reading = textbookReading(word.surface); !reading.isEmpty())
            return reading;
        if (const QString reading = japanese::contextReading(m, i); !reading.isEmpty())
            return reading;
        // 十分 is "enough" unless it follows an hour or measures time.
        if (word.surface == u"十分"_s &&
            (m_previous == Previous::Hour || (i + 1 < m.size() && measuresTime(m[i + 1])) ||
             (i > 0 && countsDown(m[i - 1]))))
            return QStringLiteral("ジュップン");
        // Throughout a counted time: 一日中 イチニチジュー, 一年中 イチネンジュー.
        if (word.surface == u'中' && m_previous == Previous::Count)
            return QStringLiteral("ジュー");
        // 10時〜12時: from ... to.
        if (isWaveDash(word.surface) && m_previous != Previous::Word)
            return QStringLiteral("カラ");
        if (word.entry->partOfSpeech == u"記号"_s &&
            (word.entry->pronunciation.isEmpty() || word.entry->pronunciation == word.surface))
            return punctuationReading(word.surface);
        // 日本 and 日本人 are ニホン in conversation; the dictionary has the formal ニッポン.
        if (word.surface.startsWith(u"日本"_s) &&
            word.entry->pronunciation.startsWith(u"ニッポン"_s))
            return QStringLiteral("ニホン") + word.entry->pronunciation.mid(4);
        if (!word.entry->pronunciation.isEmpty())
            return word.entry->pronunciation;
        // Unknown to the dictionary: kana are read as written; anything else (a rare kanji, a
        // symbol) is left out, since the voice would spell it and the clause after it.
        if (isAllKana(word.surface))
            return toKatakana(word.surface);
        return punctuationReading(word.surface);
    }

    const QList<Morpheme>& m;
    const bool m_forVoice;
    QList<Piece> m_pieces;
    Previous m_previous = Previous::Word;
};

// ---------------------------------------------------------------------------------------------
// Without a dictionary

enum class CharClass { Space, Digit, Kana, Other };

CharClass classOf(QChar c) {
    if (c.isSpace())
        return CharClass::Space;
    if (c >= u'0' && c <= u'9')
        return CharClass::Digit;
    if (isKana(c))
        return CharClass::Kana;
    return CharClass::Other;
}

// Splits text by character class: digit runs are numbers, kana runs words, every other
// character a word of its own: kanji pass through as they are, other symbols are dropped.
QList<Morpheme> morphemesWithoutDictionary(const QString& text) {
    QList<Morpheme> morphemes;
    bool spaceBefore = false;
    for (qsizetype i = 0; i < text.size();) {
        const CharClass kind = classOf(text[i]);
        qsizetype end = i + 1;
        if (kind == CharClass::Digit || kind == CharClass::Kana || kind == CharClass::Space)
            while (end < text.size() && classOf(text[end]) == kind)
                ++end;
        if (text[i].isHighSurrogate() && end < text.size())
            ++end;
        const QString surface = text.mid(i, end - i);
        i = end;
        if (kind == CharClass::Space) {
            spaceBefore = true;
            continue;
        }
        DictionaryEntry entry;
        if (kind == CharClass::Digit) {
            entry.partOfSpeech = QStringLiteral("名詞");
            entry.subclass = QStringLiteral("数");
        } else if (kind == CharClass::Kana) {
            entry.pronunciation = toKatakana(surface);
        } else if (QChar::script(surface.toUcs4().value(0)) == QChar::Script_Han) {
            entry.pronunciation = surface;
        } else {
            entry.partOfSpeech = QStringLiteral("記号"); // punctuation kept, symbols dropped
        }
        morphemes.append(
            {surface, std::make_shared<const DictionaryEntry>(std::move(entry)), spaceBefore});
        spaceBefore = false;
    }
    return morphemes;
}

// ---------------------------------------------------------------------------------------------
// Latin runs

// Latin words (with their inner apostrophes, hyphens and dots, and digits after letters: MP3),
// the spaces and punctuation between them and the punctuation ending them, spoken by an
// English voice: "Mr. Smith.", "Hello, world!".
const QRegularExpression& latinRun() {
    // Addresses are spoken whole by the English voice: test@example.com, https://example.com/a.
    static const QString address = QStringLiteral(
        R"([A-Za-z0-9._%+\-]+@[A-Za-z0-9\-]+(?:\.[A-Za-z0-9\-]+)+|https?://[A-Za-z0-9._~:/?#@!$&'*+,;=%\-]+|)");
    static const QString word =
        QStringLiteral(R"(\p{Latin}[\p{Latin}\d]*(?:['’.\-&]\p{Latin}[\p{Latin}\d]*)*)");
    // One per thread: the engine reads on its synthesis thread.
    thread_local const QRegularExpression pattern(address + word +
                                                  QStringLiteral(R"((?:[.,!?;:]?\s+)") + word +
                                                  QStringLiteral(R"()*[.!?]*)"));
    return pattern;
}

// Numerals longer than any number (一京 has 17 digits) are read digit by digit. MeCab takes
// time that grows with the square of a run of digits or kanji numerals, so such runs are not
// given to it: they become morphemes here, the digits one numeral, the kanji one a character.
constexpr qsizetype kLongestNumeral = 40;

QList<Morpheme> longNumeral(QStringView run) {
    QList<Morpheme> morphemes;
    for (qsizetype i = 0; i < run.size();) {
        qsizetype end = i + 1;
        if (run[i].isDigit()) {
            while (end < run.size() && run[end].isDigit())
                ++end;
        }
        const QStringView surface = run.mid(i, end - i);
        DictionaryEntry numeral{QStringLiteral("名詞"), QStringLiteral("数"), {}, {}, {}};
        if (!run[i].isDigit())
            if (const auto spoken = japanese::readNumeral(surface))
                numeral.pronunciation = spoken->text();
        morphemes.append(
            {surface.toString(), std::make_shared<const DictionaryEntry>(std::move(numeral))});
        i = end;
    }
    return morphemes;
}

QList<Morpheme> morphemesOf(const QString& clause, const MecabTagger* tagger) {
    auto tag = [tagger](const QString& text) {
        return tagger ? tagger->parse(text) : morphemesWithoutDictionary(text);
    };
    QList<Morpheme> morphemes;
    qsizetype last = 0;
    for (qsizetype i = 0; i < clause.size();) {
        if (!japanese::isNumeralCharacter(clause[i])) {
            ++i;
            continue;
        }
        qsizetype end = i;
        while (end < clause.size() && japanese::isNumeralCharacter(clause[end]))
            ++end;
        if (end - i > kLongestNumeral) {
            if (i > last)
                morphemes += tag(clause.mid(last, i - last));
            morphemes += longNumeral(QStringView(clause).mid(i, end - i));
            last = end;
        }
        i = end;
    }
    if (last == 0)
        return tag(clause);
    if (last < clause.size())
        morphemes += tag(clause.mid(last));
    return morphemes;
}

QList<Piece> readClause(const QString& clause, const MecabTagger* tagger, bool forVoice) {
    return MorphemeReader(morphemesOf(clause, tagger), forVoice).read();
}

// Whether the text may hold a Latin run (a letter of the Latin script); most lines do not.
bool mayHoldLatin(const QString& text) {
    return std::any_of(text.begin(), text.end(),
                       [](QChar c) { return c.unicode() < 0x250 && c.isLetter(); });
}

QList<Piece> readLine(const QString& text, const MecabTagger* tagger, bool forVoice = false) {
    const QString line = normalised(text);
    QList<Piece> pieces;
    qsizetype last = 0;
    auto readUpTo = [&](qsizetype end) {
        if (end > last)
            pieces += readClause(line.mid(last, end - last), tagger, forVoice);
    };
    if (!mayHoldLatin(line)) // most lines: one clause, its pieces as they are
        return line.isEmpty() ? pieces : readClause(line, tagger, forVoice);
    for (const QRegularExpressionMatch& match : latinRun().globalMatch(line)) {
        readUpTo(match.capturedStart());
        const bool spaceBefore =
            match.capturedStart() > 0 && line[match.capturedStart() - 1].isSpace();
        pieces.append(
            {ReadingSegment::Kind::Latin, match.captured(), spaceBefore, match.captured(), false});
        last = match.capturedEnd();
    }
    readUpTo(line.size());
    return pieces;
}

bool hasSomethingToSay(const QString& text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetterOrNumber(); });
}

} // namespace

JapaneseReader::JapaneseReader(const MecabTagger* tagger)
    : m_tagger(tagger) {}

QString JapaneseReader::reading(const QString& text) const {
    const QList<Piece> pieces = readLine(text, m_tagger);
    if (pieces.isEmpty())
        return {};
    // A line has many short pieces: they are copied into a reading sized once.
    qsizetype length = 0;
    for (const Piece& piece : pieces)
        length += 1 + piece.text.size();
    QString result(length, Qt::Uninitialized);
    QChar* const begin = result.data();
    QChar* end = begin;
    for (const Piece& piece : pieces) {
        if (piece.spaceBefore && end != begin)
            *end++ = u' ';
        // The volitional う after an o-sound lengthens it, as it is said and as the dictionary
        // writes it within a word (オハヨー): イキマショー, not イキマショウ. Within a word
        // separate vowels stay (オモウ).
        if (piece.text == u"ウ" && !piece.spaceBefore && end != begin &&
            QStringView(u"オコソトノホモヨロヲゴゾドボポョォ").contains(end[-1])) {
            *end++ = u'ー';
            continue;
        }
        end = std::copy(piece.text.cbegin(), piece.text.cend(), end);
    }
    result.truncate(end - begin);
    return result;
}

namespace {

QString toHiragana(const QString& text) {
    QString result = text;
    for (QChar& c : result) {
        const char16_t u = c.unicode();
        if (u >= 0x30A1 && u <= 0x30F6)
            c = QChar(char16_t(u - 0x60));
    }
    return result;
}

// Runs of pieces of one kind.
QList<QList<Piece>> runsOf(const QList<Piece>& pieces) {
    QList<QList<Piece>> runs;
    for (const Piece& piece : pieces) {
        if (runs.isEmpty() || runs.last().first().kind != piece.kind)
            runs.append(QList<Piece>());
        runs.last().append(piece);
    }
    return runs;
}

QString joined(const QList<Piece>& run, QString (*textOf)(const Piece&)) {
    QString text;
    for (const Piece& piece : run) {
        if (piece.spaceBefore && !text.isEmpty())
            text += u' ';
        text += textOf(piece);
    }
    return text;
}

QString readingOf(const Piece& piece) {
    return piece.text;
}
QString voiceTextOf(const Piece& piece) {
    return piece.voiceText;
}
// Katakana that the voice's dictionary would take for another word (ハツカ as ハッカ) is often
// read right in hiragana.
QString hiraganaVoiceTextOf(const Piece& piece) {
    return piece.rewritten ? toHiragana(piece.voiceText) : piece.voiceText;
}

// The sounds only: no punctuation, no spaces.
QString soundsOf(const QString& katakana) {
    QString sounds;
    for (QChar c : katakana)
        if (c.isLetter())
            sounds += c;
    return sounds;
}

// What the tagger's dictionary says of the text, as the voice analysing it would.
QString dictionaryReading(const MecabTagger& tagger, const QString& text) {
    QString reading;
    for (const Morpheme& morpheme : tagger.parse(text))
        reading += morpheme.entry->pronunciation.isEmpty() && isAllKana(morpheme.surface)
                       ? toKatakana(morpheme.surface)
                       : morpheme.entry->pronunciation;
    return soundsOf(reading);
}

QList<ReadingSegment> joinedSegments(const QList<Piece>& pieces) {
    QList<ReadingSegment> segments;
    for (const QList<Piece>& run : runsOf(pieces))
        segments.append({run.first().kind, joined(run, readingOf)});
    return segments;
}

// For a voice that analyses the text itself: the variant whose analysis (by the same
// dictionary) gives the reading, the rewritten words in katakana or else in hiragana.
QList<ReadingSegment> voiceSegmentsOf(const QList<Piece>& pieces, const MecabTagger* tagger) {
    QList<ReadingSegment> segments;
    for (const QList<Piece>& run : runsOf(pieces)) {
        QString text = joined(run, voiceTextOf);
        if (tagger && run.first().kind == ReadingSegment::Kind::Japanese) {
            const QString sounds = soundsOf(joined(run, readingOf));
            const QString hiragana = joined(run, hiraganaVoiceTextOf);
            if (dictionaryReading(*tagger, hiragana) == sounds)
                text = hiragana;
        }
        segments.append({run.first().kind, text});
    }
    return segments;
}

bool nothingToSay(const ReadingSegment& segment) {
    return !hasSomethingToSay(segment.text);
}

} // namespace

QList<ReadingSegment> JapaneseReader::segments(const QString& text) const {
    QList<ReadingSegment> segments = joinedSegments(readLine(text, m_tagger));
    // Punctuation alone (the 。 after a Latin word) has nothing to say.
    segments.removeIf(nothingToSay);
    return segments;
}

QList<ReadingSegment> JapaneseReader::voiceSegments(const QString& text) const {
    QList<ReadingSegment> segments = voiceSegmentsOf(readLine(text, m_tagger, true), m_tagger);
    segments.removeIf(nothingToSay);
    return segments;
}

QString japaneseReading(const QString& text) {
    return JapaneseReader(MecabTagger::shared()).reading(text);
}

QList<ReadingSegment> japaneseSpeechSegments(const QString& text) {
    return JapaneseReader(MecabTagger::shared()).segments(text);
}

namespace {
const MecabTagger* openJTalkTagger() {
    const MecabTagger* tagger = MecabTagger::openJTalkDictionary();
    return tagger ? tagger : MecabTagger::shared();
}
} // namespace

QString openJTalkReading(const QString& text) {
    return JapaneseReader(openJTalkTagger()).reading(text);
}

QList<ReadingSegment> openJTalkSegments(const QString& text) {
    return JapaneseReader(openJTalkTagger()).voiceSegments(text);
}

bool japaneseDictionaryAvailable() {
    return MecabTagger::shared() != nullptr;
}

QString japaneseDictionaryProblem() {
    return MecabTagger::sharedProblem();
}

} // namespace lessora
