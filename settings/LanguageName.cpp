#include "settings/LanguageName.h"

#include <QStringList>
#include <optional>

namespace lessora {

namespace {

constexpr quint32 kPrimaryLanguageMask = 0x3FF;
constexpr quint32 kPrimaryEnglish = 0x09;
constexpr quint32 kPrimaryJapanese = 0x11;

QStringView trimBlanksAndControls(QStringView text) {
    const auto isTrimmed = [](QChar c) { return c.unicode() <= u' '; };
    while (!text.isEmpty() && isTrimmed(text.front()))
        text = text.mid(1);
    while (!text.isEmpty() && isTrimmed(text.back()))
        text.chop(1);
    return text;
}

// Hexadecimal digits only (no prefix, no sign), the value fitting 32 bits.
std::optional<quint32> plainHexNumber(QStringView text) {
    if (text.isEmpty())
        return std::nullopt;
    quint64 value = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        int digit = 0;
        if (u >= u'0' && u <= u'9')
            digit = u - u'0';
        else if (u >= u'a' && u <= u'f')
            digit = u - u'a' + 10;
        else if (u >= u'A' && u <= u'F')
            digit = u - u'A' + 10;
        else
            return std::nullopt;
        value = value * 16 + static_cast<quint64>(digit);
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return static_cast<quint32>(value);
}

} // namespace

QString languageNameOf(const QString& languageAttribute) {
    for (QStringView part : QStringView(languageAttribute).split(u';')) {
        const std::optional<quint32> identifier = plainHexNumber(trimBlanksAndControls(part));
        if (!identifier)
            continue;
        const quint32 primary = *identifier & kPrimaryLanguageMask;
        if (primary == kPrimaryEnglish)
            return kLanguageEnglish;
        if (primary == kPrimaryJapanese)
            return kLanguageJapanese;
    }
    return kLanguageUnknown;
}

const QString& testSentenceFor(const QString& languageName) {
    return languageName == kLanguageJapanese ? kJapaneseTestSentence : kEnglishTestSentence;
}

} // namespace lessora
