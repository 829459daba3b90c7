#pragma once
#include <QString>
#include <stdexcept>

// Base of the program's own failures (database, reports): a text for the
// general error report, kept as QString so Greek texts arrive unchanged.
class MolarixError : public std::runtime_error {
public:
    explicit MolarixError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};
