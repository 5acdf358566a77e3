#pragma once

#include "japanese/AccentPhrases.h"

#include <QList>
#include <QRect>

class QFont;
class QPainter;
class QPalette;

namespace lessora {

// Draws a reading with its pitch accent in the style of accent dictionaries: the katakana of
// each accent phrase, a line over its high morae, a short downward hook at the right edge of the
// nucleus (where the pitch falls), a small gap between phrases. Left-aligned and vertically
// centred in `rect` as the plain reading is drawn, in the palette's text colour with 1-pixel
// lines, within `rect` alone: the marks take the room between the line's top and the top of the
// kana, so a rect as high as the font's line height holds them.
void drawAccentReading(QPainter& painter, const QRect& rect, const QFont& font,
                       const QPalette& palette, const QList<AccentPhrase>& phrases);

// The width drawAccentReading takes for the phrases, in pixels (rounded up).
int accentReadingWidth(const QFont& font, const QList<AccentPhrase>& phrases);

// What a screen reader says and what is copied for the marked reading: its text form.
QString accentAccessibleText(const QList<AccentPhrase>& phrases);

} // namespace lessora
