#include "voices/SpeechPieces.h"

#include <array>

namespace lessora {

namespace {

enum class Break { None, Blank, Comma, SentenceEnd };

bool isSentenceEnd(QChar c) {
    return QStringView(u".!?;:\u3002\uFF01\uFF1F\uFF0E\n").contains(c);
}

bool isComma(QChar c) {
    return QStringView(u",\u3001\uFF0C").contains(c);
}

// The kind of break after text[i], which ends the piece before text[i + 1].
Break breakAfter(const QString& text, qsizetype i) {
    const QChar c = text[i];
    const QChar next = i + 1 < text.size() ? text[i + 1] : QChar(u' ');
    const bool blankFollows = next.isSpace();
    // Full-width marks need no blank after them; "3.5" and "1,500" are no breaks.
    if (isSentenceEnd(c) && (blankFollows || c.unicode() >= 0x3000 || c == u'\n'))
        return Break::SentenceEnd;
    if (isComma(c) && !(i > 0 && text[i - 1].isDigit() && next.isDigit()))
        return Break::Comma;
    if (c.isSpace())
        return Break::Blank;
    return Break::None;
}

// Where the piece that starts at `start` ends (exclusive): after the best break in the window.
qsizetype pieceEnd(const QString& text, qsizetype start, int maxChars) {
    const qsizetype limit = start + maxChars;
    std::array<qsizetype, 4> lastBreak{}; // by Break, 0 for none
    for (qsizetype i = start; i < limit; ++i) {
        const Break kind = breakAfter(text, i);
        if (kind != Break::None)
            lastBreak[size_t(kind)] = i + 1;
    }
    for (const Break kind : {Break::SentenceEnd, Break::Comma, Break::Blank}) {
        if (lastBreak[size_t(kind)] > start)
            return lastBreak[size_t(kind)];
    }
    // Never between the halves of a surrogate pair.
    return text[limit - 1].isHighSurrogate() ? limit - 1 : limit;
}

} // namespace

QStringList speechPieces(const QString& text, int maxChars) {
    if (text.size() <= maxChars || maxChars < 2)
        return {text};
    QStringList pieces;
    qsizetype start = 0;
    while (text.size() - start > maxChars) {
        const qsizetype end = pieceEnd(text, start, maxChars);
        if (const QString piece = text.mid(start, end - start).trimmed(); !piece.isEmpty())
            pieces << piece;
        start = end;
        while (start < text.size() && text[start].isSpace())
            ++start;
    }
    if (const QString rest = text.mid(start).trimmed(); !rest.isEmpty())
        pieces << rest;
    return pieces;
}

} // namespace lessora
