#pragma once

#include <QString>
#include <functional>

namespace lessora {

class MessageBoxes;

// The text the default error handler shows for an error message: a full stop is
// appended when the last character's code lies above that of ".".
QString errorTextForDisplay(const QString& message);

// The application's default error handler. Every command handler and timer tick runs
// through it: an error that escapes the work is shown in a message box and the program
// goes on. Nothing escapes into the Qt event loop.
class ErrorHandler {
public:
    explicit ErrorHandler(MessageBoxes& messages)
        : m_messages(messages) {}

    // Runs the work; returns false when it ended with an error (already shown).
    bool run(const std::function<void()>& work) const noexcept;

    // Shows the message of the exception currently being handled. Call from a catch block.
    void showCurrentException() const noexcept;

private:
    MessageBoxes& m_messages;
};

} // namespace lessora
