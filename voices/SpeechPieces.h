#pragma once

#include <QString>
#include <QStringList>

namespace lessora {

// The longest piece of text a synthesiser is given at once. Flite analyses a whole piece before
// it makes a sound and cannot be interrupted meanwhile (about 0.2 ms a character), so this bounds
// both the wait for the first sound and the time a stop or the next line waits for it.
inline constexpr int kMaxSpeechPieceChars = 200;

// Splits a text into pieces of at most `maxChars` characters, in order, to be spoken one after
// another. A text that fits is one piece, unchanged. A longer one is broken where a reader
// pauses: after the last sentence end that keeps the piece within the limit, else after the last
// comma (not one inside a number such as 1,500), else at the last blank, else at the limit.
QStringList speechPieces(const QString& text, int maxChars = kMaxSpeechPieceChars);

} // namespace lessora
