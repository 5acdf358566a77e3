#pragma once

#include <QByteArray>
#include <QString>
#include <exception>

namespace lessora {

// An error whose message is meant for the user. Commands that do not catch it
// leave it to the default error handler (ErrorHandler.h), which shows the text.
class AppError : public std::exception {
public:
    explicit AppError(QString message)
        : m_message(std::move(message))
        , m_utf8(m_message.toUtf8()) {}

    const QString& message() const noexcept { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

} // namespace lessora
