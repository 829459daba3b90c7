#pragma once
#include <QString>
#include <stdexcept>

// Every database failure (missing file, wrong key, refused statement,
// a value a field cannot take) is reported as one exception type.
class DbError : public std::runtime_error {
public:
    explicit DbError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const noexcept { return m_message; }

private:
    QString m_message;
};
