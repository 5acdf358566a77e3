#pragma once

#include "platform/Clipboard.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBoxes.h"

#include <QStringList>

namespace lessora {

// The platform seams as the user meets them: Qt's message boxes, file dialogs and clipboard.

class QtMessageBoxes : public MessageBoxes {
public:
    void showMessage(const QString& text) override;
    bool confirm(const QString& text) override;
    YesNoCancel askYesNoCancel(const QString& text) override;
};

class QtFileDialogs : public FileDialogs {
public:
    std::optional<QString> getOpenFileName(const FileDialogOptions& options) override;
    std::optional<QString> getSaveFileName(const FileDialogOptions& options) override;
};

// "A (*.x)|*.x|B|*.y" as Qt name filters: "A (*.x)", "B (*.y)".
QStringList qtNameFilters(const QString& filter);

class QtClipboardText : public ClipboardText {
public:
    bool hasText() override;
    QString text() override;
};

} // namespace lessora
