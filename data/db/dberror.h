#pragma once
#include "data/db/error.h"

// Every database failure (missing file, wrong key, refused statement,
// a value a field cannot take) is reported as one exception type.
class DbError : public MolarixError {
public:
    // What stopped a write when it lay outside the statement: the windows
    // keep what the user typed for these.
    enum class Cause { None,
                       InUse,
                       DiskFull,
                       ReadOnly,
                       // The server refused the login's password.
                       WrongPassword,
                       // The server connection broke: the unit was not stored.
                       ConnectionLost };

    explicit DbError(const QString &message, Cause cause = Cause::None)
        : MolarixError(message), m_cause(cause) {}
    Cause cause() const noexcept { return m_cause; }

private:
    Cause m_cause = Cause::None;
};
