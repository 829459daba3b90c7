#include "data/practice/serverroles.h"
#include "data/db/connection.h"
#include "data/db/pgengine.h"
#include <QRegularExpression>
#include <array>
#include <optional>

namespace {

using Users::Role;

constexpr std::array<Role, 3> kRoles = {Role::Administrator, Role::Clinician, Role::Reception};

// What each group may do with a table; a table not listed is everyone's
// (customers' contact details, appointments, receipts, takings, expenses,
// reminders, notebook, phones). Reception sees no clinical table, nobody
// but an administrator the users' tables or changes the settings, and the
// access log only grows: its chain's positions and hashes are all that
// the others read of it.
struct Rights {
    const char *table;
    const char *rights[3];   // administrator, clinician, reception; null: none
};
constexpr const char *All = "SELECT, INSERT, UPDATE, DELETE";
constexpr const char *Chain = "INSERT, SELECT (aa, hash)";
constexpr Rights kRights[] = {
    {"episkepseis", {All, All, nullptr}},
    {"odontogramma", {All, All, nullptr}},
    {"sxedio_therapeias", {All, All, nullptr}},
    // Deleting a customer takes their clinical data with them.
    {"stoixeia_pelath", {All, All, "SELECT, INSERT, UPDATE"}},
    {"xrhstes", {All, nullptr, nullptr}},
    {"kleidia", {All, nullptr, nullptr}},
    {"information", {All, "SELECT", "SELECT"}},
    {"security", {All, "SELECT", "SELECT"}},
    {"schema_version", {"SELECT", "SELECT", "SELECT"}},
    {"hmerologio_prosvasewn", {"SELECT, INSERT", Chain, Chain}},
};

const char *rightsOf(const QString &table, int roleIndex)
{
    for (const Rights &r : kRights)
        if (table == QLatin1String(r.table))
            return r.rights[roleIndex];
    return All;
}

QString id(const QString &name) { return PgText::identifier(name); }

QString database(DbConnection &conn) { return conn.scalarNative(QStringLiteral("SELECT current_database()")).toString(); }

QStringList groups(DbConnection &conn)
{
    const QString db = database(conn);
    QStringList names;
    for (Role r : kRoles)
        names << ServerRoles::groupName(db, r);
    return names;
}

int existingGroups(DbConnection &conn, const QStringList &names)
{
    return conn.scalarNative(QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname IN (?, ?, ?)"),
                             {names[0], names[1], names[2]})
        .toInt();
}

// The practice's tables, as the server names them.
QStringList tables(DbConnection &conn)
{
    QStringList names;
    DbStatement st(conn, QStringLiteral("SELECT c.relname::text FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace"
                                        " WHERE n.nspname = current_schema() AND c.relkind IN ('r', 'p') ORDER BY 1"));
    while (st.step())
        names << st.columnValue(0).toString();
    return names;
}

Role roleOfGroup(const QStringList &names, const QString &group)
{
    const qsizetype i = names.indexOf(group);
    return i < 0 ? Role::None : kRoles[size_t(i)];
}

// The role a login has through the groups, Role::None when it is no user
// of the practice. Administrator outranks clinician outranks reception.
Role memberRole(DbConnection &conn, const QStringList &names, const QString &login)
{
    DbStatement st(conn, QStringLiteral("SELECT g.rolname::text FROM pg_auth_members a JOIN pg_roles g ON g.oid = a.roleid"
                                        " JOIN pg_roles m ON m.oid = a.member WHERE m.rolname = ? AND g.rolname IN (?, ?, ?)"));
    st.bindAll({login, names[0], names[1], names[2]});
    Role best = Role::None;
    while (st.step()) {
        const Role r = roleOfGroup(names, st.columnValue(0).toString());
        if (best == Role::None || int(r) < int(best))
            best = r;
    }
    return best;
}

QString existingUser(DbConnection &conn, const QStringList &names, const QString &typed)
{
    const QString login = ServerRoles::loginName(typed);
    if (memberRole(conn, names, login) == Role::None)
        throw DbError(QStringLiteral("Δεν υπάρχει χρήστης με το όνομα «%1».").arg(typed.trimmed()));
    return login;
}

// Only the verifier travels: the password stays out of every statement
// and of the server's log.
QString verifierLiteral(DbConnection &conn, const QString &login, const QString &password)
{
    const QString verifier = passwordVerifier(conn.engine(), login, password);
    static const QRegularExpression scram(QStringLiteral("^SCRAM-SHA-256\\$[A-Za-z0-9+/=:$]+$"));
    if (!scram.match(verifier).hasMatch())
        throw DbError(QStringLiteral("Ο νέος κωδικός δεν ετοιμάστηκε για τον διακομιστή %1.").arg(conn.engine().where()));
    return PgText::literal(verifier);
}

void refuseUnlessMayCreate(DbConnection &conn, const QString &statement)
{
    if (!ServerRoles::mayCreateRoles(conn))
        throw DbError(QStringLiteral("Ο λογαριασμός του ιατρείου δεν μπορεί να αλλάξει λογαριασμούς του διακομιστή· "
                                     "ο διαχειριστής του διακομιστή τρέχει την εντολή: %1;")
                          .arg(statement));
}

void runAll(DbConnection &conn, const QStringList &statements)
{
    std::optional<DbTransaction> tx;
    if (!conn.inTransaction())
        tx.emplace(conn);
    for (const QString &s : statements)
        conn.executeNative(s);
    if (tx)
        tx->commit();
}

}   // namespace

namespace ServerRoles {

QString loginName(const QString &typed) { return typed.trimmed().toLower(); }

QString groupName(const QString &database, Role role) { return (database + u'_' + Users::roleName(role)).toLower(); }

QStringList setupStatements(DbConnection &conn, bool makeGroups)
{
    const QString db = database(conn);
    const QStringList names = groups(conn);
    const QString all = id(names[0]) + QStringLiteral(", ") + id(names[1]) + QStringLiteral(", ") + id(names[2]);
    QStringList out;
    for (const QString &g : names)
        if (makeGroups && conn.scalarNative(QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname = ?"), {g}).toInt() == 0)
            out << QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(id(g));
    // Quoted names reach the server in lower case: a database named otherwise
    // keeps the right its PUBLIC has.
    if (db == db.toLower())
        out << QStringLiteral("GRANT CONNECT ON DATABASE %1 TO %2").arg(id(db), all);
    for (const QString &t : tables(conn)) {
        out << QStringLiteral("REVOKE ALL ON %1 FROM %2").arg(id(t), all);
        for (int i = 0; i < 3; ++i)
            if (const char *rights = rightsOf(t, i))
                out << QStringLiteral("GRANT %1 ON %2 TO %3").arg(QLatin1String(rights), id(t), id(names[i]));
    }
    return out;
}

bool mayCreateRoles(DbConnection &conn)
{
    return conn.scalarNative(QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname = current_user AND (rolcreaterole OR rolsuper)"))
               .toInt()
        > 0;
}

void setUp(DbConnection &conn)
{
    if (existingGroups(conn, groups(conn)) < 3 && !mayCreateRoles(conn))
        throw DbError(setupText(conn));
    runAll(conn, setupStatements(conn, true));
}

void regrant(DbConnection &conn)
{
    const bool owner = conn.scalarNative(QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = current_schema()"
                                                        " AND tablename = 'security' AND tableowner = current_user"))
                           .toInt()
        > 0;
    if (owner && existingGroups(conn, groups(conn)) == 3)
        runAll(conn, setupStatements(conn, false));
}

QString setupText(DbConnection &conn)
{
    return QStringLiteral("Ο λογαριασμός «%1» του ιατρείου δεν μπορεί να φτιάξει ρόλους στον διακομιστή· ο διαχειριστής "
                          "του διακομιστή του δίνει το δικαίωμα (ALTER ROLE %2 CREATEROLE;) ή τρέχει στη βάση δεδομένων "
                          "«%3» τις εντολές:\n%4;")
        .arg(conn.scalarNative(QStringLiteral("SELECT current_user::text")).toString(),
             id(conn.scalarNative(QStringLiteral("SELECT current_user::text")).toString()), database(conn),
             setupStatements(conn, true).join(QStringLiteral(";\n")));
}

Role roleOf(DbConnection &conn)
{
    const Role r = memberRole(conn, groups(conn), conn.scalarNative(QStringLiteral("SELECT current_user::text")).toString());
    return r == Role::None ? Role::Administrator : r;
}

QList<Users::User> list(DbConnection &conn)
{
    const QStringList names = groups(conn);
    DbStatement st(conn, QStringLiteral("SELECT DISTINCT m.rolname::text, CASE WHEN m.rolcanlogin THEN 1 ELSE 0 END"
                                        " FROM pg_auth_members a JOIN pg_roles g ON g.oid = a.roleid"
                                        " JOIN pg_roles m ON m.oid = a.member WHERE g.rolname IN (?, ?, ?) ORDER BY 1"));
    st.bindAll({names[0], names[1], names[2]});
    QList<Users::User> users;
    while (st.step())
        users.append({st.columnValue(0).toString(), Role::None, st.columnValue(1).toInt() != 0});
    for (Users::User &u : users)
        u.role = memberRole(conn, names, u.name);
    return users;
}

void add(DbConnection &conn, const Users::User &user, const QString &password)
{
    const QStringList names = groups(conn);
    if (existingGroups(conn, names) < 3)
        setUp(conn);
    const QString login = loginName(user.name);
    if (conn.scalarNative(QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname = ?"), {login}).toInt() > 0)
        throw DbError(QStringLiteral("Υπάρχει ήδη χρήστης με το όνομα «%1».").arg(user.name));
    const QString group = names[qsizetype(int(user.role) - 1)];
    const auto create = [&](const QString &secret) {
        return QStringLiteral("CREATE ROLE ") + id(login) + (user.enabled ? QStringLiteral(" LOGIN") : QStringLiteral(" NOLOGIN"))
            + QStringLiteral(" PASSWORD ") + secret + QStringLiteral(" IN ROLE ") + id(group);
    };
    refuseUnlessMayCreate(conn, create(QStringLiteral("'κωδικός'")));
    conn.executeNative(create(verifierLiteral(conn, login, password)));
}

void remove(DbConnection &conn, const QString &name)
{
    const QString login = existingUser(conn, groups(conn), name);
    const QString drop = QStringLiteral("DROP ROLE %1").arg(id(login));
    refuseUnlessMayCreate(conn, drop);
    conn.executeNative(drop);
}

void setPassword(DbConnection &conn, const QString &name, const QString &password)
{
    const QString login = existingUser(conn, groups(conn), name);
    const QString alter = QStringLiteral("ALTER ROLE ") + id(login) + QStringLiteral(" PASSWORD ");
    if (login != conn.scalarNative(QStringLiteral("SELECT current_user::text")).toString())
        refuseUnlessMayCreate(conn, alter + QStringLiteral("'κωδικός'"));
    conn.executeNative(alter + verifierLiteral(conn, login, password));
}

void setRole(DbConnection &conn, const QString &name, Role role)
{
    const QStringList names = groups(conn);
    const QString login = existingUser(conn, names, name);
    QStringList statements{QStringLiteral("GRANT %1 TO %2").arg(id(names[qsizetype(int(role) - 1)]), id(login))};
    for (Role other : kRoles)
        if (other != role)
            statements << QStringLiteral("REVOKE %1 FROM %2").arg(id(names[qsizetype(int(other) - 1)]), id(login));
    refuseUnlessMayCreate(conn, statements.join(QStringLiteral("; ")));
    runAll(conn, statements);
}

void setEnabled(DbConnection &conn, const QString &name, bool enabled)
{
    const QString login = existingUser(conn, groups(conn), name);
    const QString alter = QStringLiteral("ALTER ROLE %1 %2").arg(id(login), enabled ? QStringLiteral("LOGIN") : QStringLiteral("NOLOGIN"));
    refuseUnlessMayCreate(conn, alter);
    conn.executeNative(alter);
}

}   // namespace ServerRoles
