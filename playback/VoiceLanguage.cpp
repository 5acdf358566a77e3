#include "playback/VoiceLanguage.h"

#include <QList>
#include <QStringView>
#include <optional>

namespace lessora {

namespace {

constexpr quint32 kPrimaryLanguageMask = 0x3FF;
constexpr quint32 kPrimaryEnglish = 0x09;
constexpr quint32 kPrimaryJapanese = 0x11;

bool isBlankOrControl(QChar ch) {
    return ch.unicode() <= 0x20 || ch.unicode() == 0x7F;
}

QStringView trimmedPart(QStringView part) {
    while (!part.isEmpty() && isBlankOrControl(part.front()))
        part = part.mid(1);
    while (!part.isEmpty() && isBlankOrControl(part.back()))
        part.chop(1);
    return part;
}

// Hexadecimal digits only, no prefix or sign, and a value that fits 32 bits.
std::optional<quint32> hexNumber(QStringView text) {
    if (text.isEmpty())
        return std::nullopt;
    quint64 value = 0;
    for (QChar ch : text) {
        const char16_t c = ch.unicode();
        int digit;
        if (c >= u'0' && c <= u'9')
            digit = c - u'0';
        else if (c >= u'a' && c <= u'f')
            digit = c - u'a' + 10;
        else if (c >= u'A' && c <= u'F')
            digit = c - u'A' + 10;
        else
            return std::nullopt;
        value = value * 16 + digit;
        if (value > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return static_cast<quint32>(value);
}

} // namespace

QString languageNameOfAttribute(const QString& attribute) {
    for (QStringView part : QStringView(attribute).split(u';')) {
        const std::optional<quint32> id = hexNumber(trimmedPart(part));
        if (!id)
            continue;
        const quint32 primary = *id & kPrimaryLanguageMask;
        if (primary == kPrimaryEnglish)
            return QStringLiteral("English");
        if (primary == kPrimaryJapanese)
            return QStringLiteral("Japanese");
    }
    return QStringLiteral("Unknown");
}

} // namespace lessora
