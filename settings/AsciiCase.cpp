#include "settings/AsciiCase.h"

namespace lessora {

bool equalsIgnoringAsciiCase(QStringView left, QStringView right) {
    if (left.size() != right.size())
        return false;
    for (qsizetype i = 0; i < left.size(); ++i) {
        if (asciiLower(left[i].unicode()) != asciiLower(right[i].unicode()))
            return false;
    }
    return true;
}

QString asciiUppercased(QString text) {
    for (QChar& c : text)
        c = QChar(asciiUpper(c.unicode()));
    return text;
}

QString asciiLowercased(QString text) {
    for (QChar& c : text)
        c = QChar(asciiLower(c.unicode()));
    return text;
}

} // namespace lessora
