#include "platform/ErrorHandler.h"

#include "platform/AppError.h"
#include "platform/Logging.h"
#include "platform/MessageBoxes.h"

#include <QCoreApplication>
#include <exception>

namespace lessora {

QString errorTextForDisplay(const QString& message) {
    if (!message.isEmpty() && message.back().unicode() > u'.')
        return message + u'.';
    return message;
}

bool ErrorHandler::run(const std::function<void()>& work) const noexcept {
    try {
        work();
        return true;
    } catch (...) {
        showCurrentException();
        return false;
    }
}

void ErrorHandler::showCurrentException() const noexcept {
    QString message;
    try {
        throw;
    } catch (const AppError& error) {
        message = error.message();
    } catch (const std::exception& error) {
        message = QString::fromUtf8(error.what());
    } catch (...) {
        message = QCoreApplication::translate("Platform", "予期しないエラーが発生しました");
    }
    try {
        m_messages.showMessage(errorTextForDisplay(message));
    } catch (...) {
        // Showing the message failed as well; the log is all that is left to tell.
        qCWarning(lcPlatform).noquote() << "could not show the error:" << message;
    }
}

} // namespace lessora
