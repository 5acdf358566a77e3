#include "japanese/AccentPhrases.h"

#include "japanese/Logging.h"

#include <QStringView>

#include <algorithm>
#include <numeric>

namespace lessora {

namespace {

constexpr QChar kNucleusMark = u'＼';

bool isSmallKana(QChar c) {
    static const QString small = QStringLiteral("ァィゥェォャュョヮ");
    return small.contains(c);
}

bool isKatakana(QChar c) {
    return (c >= u'ァ' && c <= u'ヺ') || c == u'ー';
}

bool isSaidMark(QStringView mark) {
    return mark == u"。" || mark == u"、" || mark == u"？" || mark == u"！";
}

bool isPunctuation(QChar c) {
    return c == u'。' || c == u'、' || c == u'？' || c == u'！';
}

// The lines of one section of the trace ("[Text analysis result]", "[Output label]"), up to
// the blank line that ends it.
QList<QStringView> sectionLines(QStringView trace, QStringView title) {
    QList<QStringView> lines;
    const qsizetype start = trace.indexOf(title);
    if (start < 0)
        return lines;
    const qsizetype firstLine = trace.indexOf(u'\n', start);
    if (firstLine < 0)
        return lines;
    for (QStringView line : trace.mid(firstLine + 1).split(u'\n')) {
        if (line.trimmed().isEmpty())
            break;
        lines << line;
    }
    return lines;
}

// What the words of the text analysis say, in order: morae, and the punctuation between them.
struct SaidItem {
    QString mora;        // a mora, or
    QString punctuation; // a mark that the reading shows
};

QList<SaidItem> saidItems(QStringView trace) {
    QList<SaidItem> items;
    for (QStringView line : sectionLines(trace, u"[Text analysis result]")) {
        // surface, part of speech (4), conjugation (2), base form, reading, pronunciation,
        // accent/morae, combination rule, chain flag
        const QList<QStringView> fields = line.split(u',');
        if (fields.size() < 10)
            continue;
        // Devoiced vowels are marked with ’; the particle を is said オ.
        QString pronunciation = fields[9].toString().remove(u'’');
        pronunciation.replace(u'ヲ', u'オ');
        const bool said = !pronunciation.isEmpty() &&
                          std::all_of(pronunciation.begin(), pronunciation.end(), isKatakana);
        if (said) {
            for (const QString& mora : moraeOf(pronunciation)) {
                // A small kana that begins a word still belongs to the mora before it.
                if (isSmallKana(mora[0]) && !items.isEmpty() && !items.last().mora.isEmpty())
                    items.last().mora += mora;
                else
                    items.append({mora, {}});
            }
        } else if (fields[1] == u"記号" && isSaidMark(fields[0])) {
            items.append({{}, fields[0].toString()});
        }
    }
    return items;
}

// The field of a full-context label that starts with `name` ("/F:"), up to the next field.
QStringView labelField(QStringView label, QStringView name) {
    const qsizetype start = label.indexOf(name);
    if (start < 0)
        return {};
    const QStringView rest = label.mid(start + name.size());
    const qsizetype end = rest.indexOf(u'/');
    return end < 0 ? rest : rest.left(end);
}

// The label's phoneme: p3 of "p1^p2-p3+p4=p5/A:…".
QStringView labelPhoneme(QStringView label) {
    const QStringView phonemes = label.left(label.indexOf(u"/A:"));
    const qsizetype minus = phonemes.indexOf(u'-');
    const qsizetype plus = phonemes.indexOf(u'+', minus + 1);
    if (minus < 0 || plus < 0)
        return {};
    return phonemes.mid(minus + 1, plus - minus - 1);
}

// The phrases of the labels: each run of phonemes with one /F: field ("morae_accent#…@…|…",
// where the position fields tell phrases with equal shapes apart), pauses between them. A flat
// phrase has its mora count as its accent there.
struct LabelPhrase {
    int morae = 0;
    int nucleus = 0;
};

QList<LabelPhrase> labelPhrases(QStringView trace) {
    QList<LabelPhrase> phrases;
    QStringView current;
    for (QStringView line : sectionLines(trace, u"[Output label]")) {
        // "start end label"
        const qsizetype space = line.lastIndexOf(u' ');
        const QStringView label = line.mid(space + 1);
        const QStringView phoneme = labelPhoneme(label);
        if (phoneme == u"sil" || phoneme == u"pau" || phoneme.isEmpty()) {
            current = {};
            continue;
        }
        const QStringView field = labelField(label, u"/F:");
        if (field == current)
            continue;
        current = field;
        const qsizetype underscore = field.indexOf(u'_');
        const qsizetype hash = field.indexOf(u'#');
        bool moraeOk = false;
        bool nucleusOk = false;
        const int morae = field.left(underscore).toInt(&moraeOk);
        const int nucleus = field.mid(underscore + 1, hash - underscore - 1).toInt(&nucleusOk);
        if (underscore < 0 || hash < underscore || !moraeOk || !nucleusOk || morae <= 0) {
            qCWarning(lcJapanese).noquote() << "Open JTalk label without its phrase:" << label;
            continue;
        }
        // A flat phrase is labelled as falling after its last mora, where nothing follows to
        // fall onto: said alike, both are shown flat.
        phrases.append({morae, nucleus > 0 && nucleus < morae ? nucleus : 0});
    }
    return phrases;
}

} // namespace

QStringList moraeOf(const QString& katakana) {
    QStringList morae;
    for (const QChar c : katakana) {
        if (isSmallKana(c) && !morae.isEmpty())
            morae.last() += c;
        else
            morae << QString(c);
    }
    return morae;
}

bool isHighMora(const AccentPhrase& phrase, int index) {
    if (phrase.latin || index < 0 || index >= phrase.morae.size())
        return false;
    if (phrase.nucleus == 1)
        return index == 0;
    return index >= 1 && (phrase.nucleus == 0 || index < phrase.nucleus);
}

QList<AccentPhrase> accentPhrasesFromTrace(const QString& trace) {
    const QList<LabelPhrase> shapes = labelPhrases(trace);
    QList<AccentPhrase> phrases;
    if (shapes.isEmpty())
        return phrases;
    phrases.reserve(shapes.size());
    for (const LabelPhrase& shape : shapes)
        phrases.append({{}, shape.nucleus, {}, false});

    // The words' morae, cut into the labels' phrases; a mark goes with the phrase before it.
    qsizetype phrase = 0;
    qsizetype extra = 0;
    for (const SaidItem& item : saidItems(trace)) {
        if (!item.punctuation.isEmpty()) {
            if (!phrases[phrase].morae.isEmpty())
                phrases[phrase].punctuation += item.punctuation;
            else if (phrase > 0)
                phrases[phrase - 1].punctuation += item.punctuation;
            continue;
        }
        while (phrase + 1 < phrases.size() && phrases[phrase].morae.size() >= shapes[phrase].morae)
            ++phrase;
        if (phrases[phrase].morae.size() >= shapes[phrase].morae)
            ++extra;
        phrases[phrase].morae << item.mora;
    }
    const qsizetype said =
        std::accumulate(phrases.begin(), phrases.end(), qsizetype(0),
                        [](qsizetype sum, const AccentPhrase& p) { return sum + p.morae.size(); });
    const qsizetype expected =
        std::accumulate(shapes.begin(), shapes.end(), qsizetype(0),
                        [](qsizetype sum, const LabelPhrase& p) { return sum + p.morae; });
    if (extra > 0 || said != expected)
        qCWarning(lcJapanese).noquote()
            << "Open JTalk's words have" << said << "morae, its labels" << expected;
    // A phrase left without morae (the words were short of the labels) is no phrase.
    phrases.removeIf([](const AccentPhrase& p) { return p.morae.isEmpty(); });
    for (AccentPhrase& p : phrases)
        p.nucleus = std::min<int>(p.nucleus, int(p.morae.size()));
    return phrases;
}

QString accentText(const QList<AccentPhrase>& phrases) {
    QString text;
    for (const AccentPhrase& phrase : phrases) {
        if (!text.isEmpty())
            text += u' ';
        for (qsizetype i = 0; i < phrase.morae.size(); ++i) {
            text += phrase.morae[i];
            if (!phrase.latin && i + 1 == phrase.nucleus)
                text += kNucleusMark;
        }
        text += phrase.punctuation;
    }
    return text;
}

QList<AccentPhrase> accentPhrasesFromText(const QString& text) {
    QList<AccentPhrase> phrases;
    for (QStringView word : QStringView(text).split(u' ', Qt::SkipEmptyParts)) {
        AccentPhrase phrase;
        qsizetype end = word.size();
        while (end > 0 && isPunctuation(word[end - 1]))
            --end;
        phrase.punctuation = word.mid(end).toString();
        QString body = word.left(end).toString();
        phrase.latin = std::any_of(body.begin(), body.end(), [](QChar c) {
            return c.isLetterOrNumber() && c.unicode() < 0x3000;
        });
        if (phrase.latin) {
            phrase.morae << body;
        } else {
            const qsizetype mark = body.indexOf(kNucleusMark);
            if (mark >= 0) {
                phrase.nucleus = int(moraeOf(body.left(mark)).size());
                body.remove(kNucleusMark);
            }
            phrase.morae = moraeOf(body);
        }
        phrases << phrase;
    }
    return phrases;
}

} // namespace lessora
