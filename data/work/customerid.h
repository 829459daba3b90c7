#pragma once
#include <QString>
#include <optional>

// A customer's ID as the windows hand it to each other: the decimal text
// of STOIXEIA_PELATH.ID. Every window that receives one reads it through
// here, and only the digits this type writes reach a statement, so an
// empty or odd text never turns into customer 0 or into SQL.
class CustomerRef {
public:
    // Blanks around the number are allowed; empty, non-numeric, zero or
    // negative texts give nothing.
    static std::optional<CustomerRef> parse(const QString &text);
    // As parse(), but a text that is no customer ID raises DbError with a
    // message the user can read.
    static CustomerRef require(const QString &text);

    qint64 value() const { return m_id; }
    // Plain decimal digits, for "WHERE ID=" and for the windows' text fields.
    QString text() const { return QString::number(m_id); }

    bool operator==(const CustomerRef &) const = default;

private:
    explicit CustomerRef(qint64 id) : m_id(id) {}
    qint64 m_id;
};
