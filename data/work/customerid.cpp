#include "data/work/customerid.h"
#include "data/db/dberror.h"

std::optional<CustomerRef> CustomerRef::parse(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    for (QChar c : t)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    bool ok = false;
    const qint64 id = t.toLongLong(&ok);
    if (!ok || id <= 0)
        return std::nullopt;
    return CustomerRef(id);
}

CustomerRef CustomerRef::require(const QString &text)
{
    if (const auto ref = parse(text))
        return *ref;
    throw DbError(QStringLiteral("Δεν έχει επιλεγεί πελάτης."));
}
