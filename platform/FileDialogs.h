#pragma once

#include <QString>
#include <optional>

namespace lessora {

// What a file dialog is opened with. The filter uses the "description|pattern" form,
// pairs separated by "|", for example "JSONファイル (*.json)|*.json".
struct FileDialogOptions {
    QString filter;
    QString defaultExtension; // appended when a name without extension is typed (save only)
    QString fileName;         // offered as the initial choice
    QString folder;           // where the dialog opens when no file name is offered
};

// The platform's open and save dialogs. Each returns the chosen full path, or nothing when
// the user cancelled.
class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    virtual std::optional<QString> getOpenFileName(const FileDialogOptions& options) = 0;
    virtual std::optional<QString> getSaveFileName(const FileDialogOptions& options) = 0;
};

} // namespace lessora
