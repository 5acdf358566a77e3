#pragma once

#include <QList>
#include <QString>

namespace lessora {

// A piece of a Japanese line as the voices speak it.
struct ReadingSegment {
    enum class Kind {
        Japanese, // katakana pronunciation (with punctuation) for the Japanese synthesiser
        Latin,    // a run of Latin words, spoken by an English voice
    };
    Kind kind;
    QString text;
    friend bool operator==(const ReadingSegment&, const ReadingSegment&) = default;
};

// The katakana reading of a Japanese line, Latin runs left as they are: what the Japanese
// voices say (as printed by `lessora-say --reading`).
QString japaneseReading(const QString& text);

// The same reading, split into the segments that the synthesiser speaks one after another.
QList<ReadingSegment> japaneseSpeechSegments(const QString& text);

// What the Open JTalk voices say: the reading with Open JTalk's own dictionary (the one the
// voices analyse their text with), and the segments to give them (JapaneseReader::voiceSegments).
// With that dictionary missing, the reading and segments of the other Japanese voices.
QString openJTalkReading(const QString& text);
QList<ReadingSegment> openJTalkSegments(const QString& text);

// Whether MeCab and its UTF-8 dictionary were found; without them kanji stay unread.
bool japaneseDictionaryAvailable();
// Why they were not found, for a diagnostic; empty when they were.
QString japaneseDictionaryProblem();

} // namespace lessora
