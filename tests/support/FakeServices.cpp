#include "support/FakeServices.h"

namespace lessora::test {

void FakeMessageBoxes::showMessage(const QString& text) {
    messages << text;
    if (whileShown)
        whileShown(text);
}

bool FakeMessageBoxes::confirm(const QString& text) {
    confirmations << text;
    if (whileShown)
        whileShown(text);
    return confirmAnswers.isEmpty() ? false : confirmAnswers.takeFirst();
}

YesNoCancel FakeMessageBoxes::askYesNoCancel(const QString& text) {
    questions << text;
    if (whileShown)
        whileShown(text);
    return questionAnswers.isEmpty() ? YesNoCancel::Cancel : questionAnswers.takeFirst();
}

std::optional<QString> FakeFileDialogs::getOpenFileName(const FileDialogOptions& options) {
    openRequests << options;
    return openAnswers.isEmpty() ? std::nullopt : openAnswers.takeFirst();
}

std::optional<QString> FakeFileDialogs::getSaveFileName(const FileDialogOptions& options) {
    saveRequests << options;
    return saveAnswers.isEmpty() ? std::nullopt : saveAnswers.takeFirst();
}

} // namespace lessora::test
