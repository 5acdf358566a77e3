#include "voices/JapaneseReading.h"

// Placeholder until the MeCab front end lands: the text goes through unchanged.

namespace lessora {

QString japaneseReading(const QString& text) {
    return text;
}

QList<ReadingSegment> japaneseSpeechSegments(const QString& text) {
    return {{ReadingSegment::Kind::Japanese, text}};
}

} // namespace lessora
