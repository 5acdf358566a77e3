#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace lessora {

// One accent phrase as the Open JTalk voices say it: its morae in katakana (particles as
// pronounced, long vowels as ー), and the mora after which the pitch falls.
struct AccentPhrase {
    QStringList morae;   // one mora each: "キョ", "ー", "ッ", "ン"
    int nucleus = 0;     // the accent nucleus, counted from 1; 0 for a flat phrase
    QString punctuation; // the marks after the phrase, as the reading shows them: 。、？！
    bool latin = false;  // Latin words said by the English voice: one "mora", never marked
    friend bool operator==(const AccentPhrase&, const AccentPhrase&) = default;
};

// The accent phrases of one run of Open JTalk from its trace (-ot): the words of its
// "[Text analysis result]" give the katakana, the full-context labels of its "[Output label]"
// the phrases after the accent-combination rules, each with its mora count and nucleus (/F:).
// Nothing when the trace has no labels.
QList<AccentPhrase> accentPhrasesFromTrace(const QString& trace);

// The text form: phrases separated by one space, ＼ right after the nucleus mora, flat phrases
// unmarked, punctuation after its phrase. 箸が好きです。 → ハ＼シガ スキ＼デス。
QString accentText(const QList<AccentPhrase>& phrases);
// The phrases of a text form (a word with Latin letters is a Latin phrase of its own).
QList<AccentPhrase> accentPhrasesFromText(const QString& text);

// The morae of katakana: a small kana belongs to the kana before it; ー, ッ and ン are morae.
QStringList moraeOf(const QString& katakana);

// Which morae of a phrase are high in Tokyo speech: with the nucleus on the first, only that
// one; otherwise the second to the nucleus, or to the end when the phrase is flat.
bool isHighMora(const AccentPhrase& phrase, int index); // index counted from 0

} // namespace lessora
