#pragma once

#include "japanese/JapaneseReading.h"

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
    // The segments for a voice that analyses kanji itself (Open JTalk): a word whose dictionary
    // reading stands is given as written, so that the voice gives it its own accent; numbers and
    // words read by a rule are given in katakana. Latin runs as in segments().
    QList<ReadingSegment> voiceSegments(const QString& text) const;

private:
    const MecabTagger* m_tagger;
};

} // namespace lessora
