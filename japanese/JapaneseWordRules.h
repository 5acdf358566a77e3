#pragma once

#include "japanese/MecabTagger.h"

#include <QList>
#include <QString>

// Words whose reading the dictionary's first choice gets wrong in dialogue, and the words around
// them that decide the right one: 何 before a copula (ナンデス), この方 (コノカタ), 雪が降り
// (フリ, not オリ), everyday time words (明後日 アサッテ).

namespace lessora::japanese {

// The reading of the word at `index` that its context calls for, or an empty string when the
// dictionary's reading stands.
QString contextReading(const QList<Morpheme>& words, qsizetype index);

} // namespace lessora::japanese
