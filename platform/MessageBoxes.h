#pragma once

#include <QString>

namespace lessora {

// The answers to a question with the buttons "はい", "いいえ" and "キャンセル".
enum class YesNoCancel { Yes, No, Cancel };

// Modal message boxes. Tests use a fake that records the texts and answers as told.
class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // A modal message box with a single OK button.
    virtual void showMessage(const QString& text) = 0;
    // A modal confirmation titled "確認" with the buttons "はい" and "いいえ", "いいえ" being the
    // default. True when the user answered "はい".
    virtual bool confirm(const QString& text) = 0;
    // A modal question titled "確認" with the buttons "はい", "いいえ" and "キャンセル", "はい"
    // being the default; Escape or closing the box answers "キャンセル".
    virtual YesNoCancel askYesNoCancel(const QString& text) = 0;
};

} // namespace lessora
