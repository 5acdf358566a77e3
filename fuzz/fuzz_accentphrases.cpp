// The accent phrases are read from what open_jtalk writes, and back from their text form: any
// text must give phrases without crashing, each with morae and a nucleus among them, and the
// text form they make must read back to the same phrases.
#include "japanese/AccentPhrases.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void check(const QList<lessora::AccentPhrase>& phrases) {
    for (const lessora::AccentPhrase& phrase : phrases)
        if (phrase.nucleus < 0 || phrase.nucleus > phrase.morae.size())
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QList<lessora::AccentPhrase> phrases = lessora::accentPhrasesFromTrace(text);
    check(phrases);
    for (const lessora::AccentPhrase& phrase : phrases)
        if (phrase.morae.isEmpty())
            std::abort();
    // Phrases from a trace are katakana with their marks: their text form reads back the same.
    if (lessora::accentPhrasesFromText(lessora::accentText(phrases)) != phrases)
        std::abort();
    check(lessora::accentPhrasesFromText(text));
    return 0;
}
