#pragma once

#include "voices/JapaneseReading.h"

namespace lessora {

class MecabTagger;

// Turns Japanese lines into what the voices say, with a given tagger; without one (MeCab or its
// dictionary missing) kana are kept, kanji passed through and digits still read as numbers.
// japaneseReading() and japaneseSpeechSegments() use the process's shared tagger.
class JapaneseReader {
public:
    explicit JapaneseReader(const MecabTagger* tagger);

    QString reading(const QString& text) const;
    QList<ReadingSegment> segments(const QString& text) const;

private:
    const MecabTagger* m_tagger;
};

} // namespace lessora
