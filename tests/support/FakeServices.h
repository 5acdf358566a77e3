#pragma once

#include "app/Services.h"
#include "japanese/AccentPhrases.h"
#include "platform/Beeper.h"
#include "platform/Clipboard.h"
#include "platform/FileDialogs.h"
#include "platform/MessageBoxes.h"
#include "support/FakeSoundPlayer.h"
#include "support/FakeSpeechEngine.h"

#include <QHash>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <optional>

namespace lessora::test {

// Records every message and confirmation; confirmations are answered from a queue.
class FakeMessageBoxes : public MessageBoxes {
public:
    QStringList messages;               // texts of showMessage, in order
    QStringList confirmations;          // texts of confirm, in order
    QList<bool> confirmAnswers;         // next answers to confirm; "いいえ" (false) when empty
    QStringList questions;              // texts of askYesNoCancel, in order
    QList<YesNoCancel> questionAnswers; // next answers; "キャンセル" when empty
    // Runs while a message or confirmation is "on screen", as a modal box's event loop would.
    std::function<void(const QString&)> whileShown;

    void showMessage(const QString& text) override;
    bool confirm(const QString& text) override;
    YesNoCancel askYesNoCancel(const QString& text) override;
};

// Answers file dialogs from queues; records what each dialog was opened with.
class FakeFileDialogs : public FileDialogs {
public:
    QList<std::optional<QString>> openAnswers; // nothing queued: cancelled
    QList<std::optional<QString>> saveAnswers;
    QList<FileDialogOptions> openRequests;
    QList<FileDialogOptions> saveRequests;

    std::optional<QString> getOpenFileName(const FileDialogOptions& options) override;
    std::optional<QString> getSaveFileName(const FileDialogOptions& options) override;
};

class FakeClipboard : public ClipboardText {
public:
    bool offersText = true;
    QString content;
    bool hasText() override { return offersText; }
    QString text() override { return offersText ? content : QString(); }
};

class FakeBeeper : public Beeper {
public:
    int beeps = 0;
    void beep() override { ++beeps; }
};

// All fakes together, with a settings file in a temporary folder.
struct FakeServices {
    FakeMessageBoxes messages;
    FakeFileDialogs fileDialogs;
    FakeClipboard clipboard;
    FakeBeeper beeper;
    FakeSpeechEngine speech;
    FakeSoundPlayer soundPlayer;
    QTemporaryDir folder;
    QChar decimalSeparator = u'.';
    // The accent of each Japanese line, in its text form, as the window's analysis gives it; a
    // line not here has none, as without Open JTalk.
    QHash<QString, QString> accentForms;

    QString settingsPath() const { return folder.filePath(QStringLiteral("Lessora.ini")); }
    QString historyPath() const { return folder.filePath(QStringLiteral("history.ini")); }
    Services services() {
        return {messages,
                fileDialogs,
                clipboard,
                beeper,
                speech,
                settingsPath(),
                decimalSeparator,
                historyPath(),
                [forms = accentForms](const QString& text) {
                    return accentPhrasesFromText(forms.value(text));
                },
                &soundPlayer};
    }
};

} // namespace lessora::test
