#pragma once
#include <QString>
#include <stdexcept>

// Every failure of the database engine reaches callers as this exception, carrying the
// engine's own message. Callers that report to the user use message().
class DbException : public std::runtime_error {
public:
    explicit DbException(const QString& message, int code = 0)
        : std::runtime_error(message.toStdString()), m_message(message), m_code(code) {}
    const QString& message() const { return m_message; }
    // The engine's result code (SQLite primary or extended code); 0 when not from the engine.
    int code() const { return m_code; }

private:
    QString m_message;
    int m_code;
};
