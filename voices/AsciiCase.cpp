#include "voices/AsciiCase.h"

namespace lessora {

namespace {
char16_t asciiLower(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}
} // namespace

bool equalsIgnoringAsciiCase(QStringView left, QStringView right) {
    if (left.size() != right.size())
        return false;
    for (qsizetype i = 0; i < left.size(); ++i) {
        if (asciiLower(left[i].unicode()) != asciiLower(right[i].unicode()))
            return false;
    }
    return true;
}

} // namespace lessora
