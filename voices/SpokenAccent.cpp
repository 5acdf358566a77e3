#include "voices/SpokenAccent.h"

#include "japanese/JapaneseReading.h"
#include "voices/EmbeddedVoices.h"
#include "voices/OpenJTalkSynth.h"

namespace lessora {

bool hasAccentAnalysis(const EmbeddedVoice& voice) {
    return voice.synth == EmbeddedVoice::Synth::OpenJTalk;
}

QList<AccentPhrase> spokenAccent(const QString& text) {
    QList<AccentPhrase> phrases;
    if (!OpenJTalkSynth::available())
        return phrases;
    OpenJTalkSynth synth;
    for (const ReadingSegment& segment : openJTalkSegments(text)) {
        if (segment.kind != ReadingSegment::Kind::Latin)
            phrases << synth.analyseAccent(segment.text);
        else if (const QString words = segment.text.trimmed(); !words.isEmpty())
            phrases.append({{words}, 0, {}, true});
    }
    return phrases;
}

} // namespace lessora
