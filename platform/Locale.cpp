#include "platform/Locale.h"

#include <QLocale>

namespace lessora {

QChar systemDecimalSeparator() {
    const QString point = QLocale::system().decimalPoint();
    return point.size() == 1 ? point.front() : QChar(u'.');
}

} // namespace lessora
