#pragma once

#include "japanese/AccentPhrases.h"

#include <QList>
#include <QString>

namespace lessora {

struct EmbeddedVoice;

// Whether the voice's accent can be shown: the Open JTalk voices speak from an analysis with
// accent phrases, the others from katakana alone.
bool hasAccentAnalysis(const EmbeddedVoice& voice);

// The accent phrases the Open JTalk voices say for a Japanese line: Open JTalk's own analysis of
// the segments they are given (kanji as written where the dictionary's reading stands, numbers
// and words read by a rule in katakana), Latin runs as Latin phrases. The voices differ only in
// pitch and timbre, so all say the same. Nothing when Open JTalk is not installed. Runs the
// program once per sentence (some 0.1 s each), so not for the window's thread. Throws
// SpeechError when a run fails.
QList<AccentPhrase> spokenAccent(const QString& text);

} // namespace lessora
