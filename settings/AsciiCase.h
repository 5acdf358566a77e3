#pragma once

#include <QString>
#include <QStringView>

namespace lessora {

// Names, voice descriptions and language names match without regard to the case of the ASCII
// letters a to z only; every other character must be equal. Locale-aware case folding would
// let, for example, a Turkish dotless i or a full-width letter match, which the settings files
// never relied on.
constexpr char16_t asciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}
constexpr char16_t asciiUpper(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

bool equalsIgnoringAsciiCase(QStringView left, QStringView right);
// The text with a to z upper-cased; nothing else changes.
QString asciiUppercased(QString text);
QString asciiLowercased(QString text);

} // namespace lessora
