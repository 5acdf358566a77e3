#include "platform/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace lessora {

bool QtClipboardText::hasText() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data && data->hasText();
}

QString QtClipboardText::text() {
    return QGuiApplication::clipboard()->text();
}

} // namespace lessora
