#include "tests/common/testutil.h"
#include "gui/messages.h"
#include "data/practice/appstate.h"
#include "data/db/dataset.h"
#include "data/work/accesslog.h"
#include "data/practice/schema.h"
#include "data/practice/schemaversion.h"
#include <QRegularExpression>
#include "data/practice/session.h"
#include "data/db/jetsql.h"
#include "data/practice/practicefile.h"
#include "data/db/practicekey.h"
#include <sqlite3.h>
#include "tests/common/testserver.h"
#include <QFile>
#include <QDir>
#include <QProcess>
#include <QTest>
#include <QFile>
#include <stdexcept>

namespace {
// One practice file per test program, made by the program's own code and
// copied for every test: the key derivation is paid once.
struct TemplatePractice {
    QTemporaryDir dir;
    QByteArray key, salt;
    TemplatePractice()
    {
        Schema::createDatabase(dir.path(), QString::fromLatin1(Schema::FirstPassword));
        salt = PracticeKey::readSalt(dir.filePath(QStringLiteral("data.mdb")));
        key = PracticeKey::derive(QString::fromLatin1(Schema::FirstPassword), salt);
    }
};

TemplatePractice &templatePractice()
{
    static TemplatePractice made;
    return made;
}
}

TempPractice::TempPractice()
{
    if (TestServer::practicesOnServer()) {
        // The same practice on a fresh database of the test server.
        QFile conf(m_dir.filePath(QStringLiteral("server.conf")));
        conf.open(QIODevice::WriteOnly);
        conf.write(TestServer::serverConf(TestServer::newPracticeDatabase()).toUtf8());
        conf.close();
        // A password change in an earlier test must not lock the next one out.
        TestServer::superExec(QStringLiteral("postgres"), QStringLiteral("ALTER ROLE %1 PASSWORD '%2'").arg(TestServer::loginUser(), TestServer::loginPassword()));
    } else {
        const TemplatePractice &made = templatePractice();
        if (!QFile::copy(made.dir.filePath(QStringLiteral("data.mdb")), m_dir.filePath(QStringLiteral("data.mdb"))))
            throw std::runtime_error("the practice file cannot be copied");
        // The run's key, as the access check leaves it.
        Session::current().useKey(made.key, made.salt);
    }
    AppDirectory = QDir::toNativeSeparators(m_dir.path());
    DbConnectionString = BuildConnectionString(AppDirectory);
    // Signed in as the access check leaves it.
    if (TestServer::practicesOnServer())
        Session::current().logIn(DbConnectionString, TestServer::loginPassword());
    Messages::setScripted(true);
    Messages::takeShown();
}

void TempPractice::signInAs(const QString &user, Users::Role role)
{
    if (!TestServer::practicesOnServer()) {
        const TemplatePractice &made = templatePractice();
        Session::current().useKey(made.key, made.salt, user, role);
        return;
    }
    // On a server a user is a login of the role's group, made by the practice's own login.
    Session::current().logIn(DbConnectionString, TestServer::loginPassword());
    if (user.isEmpty())
        return;
    const QString password = QStringLiteral("Rolos2024x");
    // The test cluster is this process's own: its login may make the users,
    // and a login left by another test's practice (logins are the cluster's) goes first.
    TestServer::superExec(QStringLiteral("postgres"), QStringLiteral("ALTER ROLE %1 CREATEROLE").arg(TestServer::loginUser()));
    TestServer::superExec(QStringLiteral("postgres"), QStringLiteral("DROP ROLE IF EXISTS \"%1\"").arg(user.trimmed().toLower()));
    Users::add(conn(), {user, role, true}, password);
    Session::current().logIn(DbConnectionString, password, user);
}

TempPractice::~TempPractice()
{
    // Entries of windows shown without an event loop after them go in now,
    // as the program writes them at its end, not into the next test's count.
    AccessLog::writeWaiting();
    if (m_conn)
        m_conn->close();
}

DbConnection &TempPractice::conn()
{
    if (!m_conn) {
        m_conn = std::make_unique<DbConnection>();
        m_conn->setConnectionString(DbConnectionString);
        m_conn->setCommandTimeout(0);
    }
    if (!m_conn->isOpen())
        m_conn->open();
    return *m_conn;
}

int TempPractice::exec(const QString &jetStatement) { return conn().execute(jetStatement); }

QVariant TempPractice::scalar(const QString &jetSelect)
{
    DataSet ds(&conn());
    ds.setSql(jetSelect);
    ds.open();
    return ds.recordCount() > 0 && ds.fieldCount() > 0 ? ds.value(0, 0) : QVariant();
}

int TempPractice::count(const QString &table)
{
    return scalar(QStringLiteral("SELECT COUNT(*) FROM ") + table).toInt();
}

void TempPractice::refuseUpdates(const QString &table, const QString &trigger)
{
    if (conn().onServer()) {
        conn().executeNative(QStringLiteral("CREATE FUNCTION %1_fails() RETURNS trigger LANGUAGE plpgsql AS $$"
                                            " BEGIN RAISE EXCEPTION 'refused'; END $$")
                                 .arg(trigger));
        conn().executeNative(QStringLiteral("CREATE TRIGGER %1 BEFORE UPDATE ON %2 FOR EACH ROW EXECUTE FUNCTION %1_fails()")
                                 .arg(trigger, table));
    } else {
        conn().executeNative(QStringLiteral("CREATE TRIGGER %1 BEFORE UPDATE ON %2 BEGIN SELECT RAISE(ABORT,'refused'); END")
                                 .arg(trigger, table));
    }
}

void TempPractice::allowUpdates(const QString &table, const QString &trigger)
{
    if (conn().onServer())
        conn().executeNative(QStringLiteral("DROP TRIGGER %1 ON %2").arg(trigger, table));
    else
        conn().executeNative(QStringLiteral("DROP TRIGGER %1").arg(trigger));
}

void TempPractice::copyReportFiles()
{
    Schema::copyReportFiles(QStringLiteral(MOLARIX_SOURCE_DIR "/reports/files"), m_dir.path());
}

QString missingChildText(const QWidget *parent, const char *type, const char *name)
{
    if (!parent)
        return QStringLiteral("no window to look for %1 \"%2\" in").arg(QLatin1String(type), QLatin1String(name));
    return QStringLiteral("no %1 named \"%2\" in %3 \"%4\"")
        .arg(QLatin1String(type), QLatin1String(name), QLatin1String(parent->metaObject()->className()),
             parent->objectName());
}

void failTest(const QString &message, const std::source_location &where)
{
    const QByteArray function = QTest::currentTestFunction() ? QByteArray(QTest::currentTestFunction()) : QByteArray();
    QTest::qFail(message.toUtf8().constData(), where.file_name(), int(where.line()));
    throw TestAbort{function};
}

ToolRun runTool(const QStringList &args, int timeoutMs, const QString &password)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("MOLARIX_PASSWORD"));
    env.remove(QStringLiteral("MOLARIX_USER"));
    env.remove(QStringLiteral("MOLARIX_NEW_PASSWORD"));
    if (!password.isNull())
        env.insert(QStringLiteral("MOLARIX_PASSWORD"), password);
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(MOLARIX_BINARY_DIR "/molarix-db"), args);
    // Nothing to read on the terminal: a missing password fails at once.
    p.closeWriteChannel();
    ToolRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    if (p.exitStatus() == QProcess::NormalExit)
        r.code = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

std::unique_ptr<DbConnection> openPracticeDir(const QString &dir, const QString &password)
{
    // On a server the login is the access check.
    if (QFile::exists(QDir(dir).filePath(QStringLiteral("server.conf")))) {
        Session::current().logIn(BuildConnectionString(dir), password);
        auto c = std::make_unique<DbConnection>();
        c->setConnectionString(BuildConnectionString(dir));
        c->open();
        return c;
    }
    const PracticeFile::Unlocked u = PracticeFile::unlock(QDir(dir).filePath(QStringLiteral("data.mdb")), password);
    if (u.access != PracticeFile::Access::Granted)
        throw DbError(QStringLiteral("the password does not open ") + dir);
    auto c = std::make_unique<DbConnection>();
    c->setConnectionString(BuildConnectionString(dir));
    c->open();
    return c;
}

QList<QVariantList> queryRows(DbConnection &c, const QString &nativeSql)
{
    DbStatement st(c, nativeSql);
    QList<QVariantList> out;
    while (st.step()) {
        QVariantList r;
        for (int i = 0; i < st.columnCount(); ++i)
            r << st.columnValue(i);
        out << r;
    }
    return out;
}

void TempPractice::makeLegacy()
{
    conn().execute(QStringLiteral("INSERT INTO STOIXEIA_PELATH (EPWNYMO) VALUES ('Ζαχαριάδου')"));
    m_conn->close();
    const QString file = m_dir.filePath(QStringLiteral("data.mdb"));
    const QString legacy = file + QStringLiteral(".legacy");
    sqlite3 *db = nullptr;
    sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    const bool keyed = Session::current().keyFile(db, false);
    SqlFunctions::registerAll(db);
    const QByteArray sql = QStringLiteral("ATTACH DATABASE '%1' AS legacy KEY '%2'; SELECT sqlcipher_export('legacy');")
                               .arg(legacy, QLatin1String(PracticeFile::LegacyKey))
                               .toUtf8();
    const int rc = keyed ? sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr) : SQLITE_ERROR;
    sqlite3_close(db);
    if (rc != SQLITE_OK || !QFile::remove(file) || !QFile::rename(legacy, file))
        throw std::runtime_error("no old-style practice file");
    Session::current().signOut();
}

void takeLayoutBackTo(DbConnection &c, int version)
{
    static const QRegularExpression table(QStringLiteral("^CREATE TABLE (\\w+)")), index(QStringLiteral("^CREATE INDEX (\\w+)")),
        column(QStringLiteral("^ALTER TABLE (\\w+) ADD COLUMN (\\w+)"));
    const QList<SchemaVersion::Migration> &all = SchemaVersion::migrations();
    QStringList widened;
    for (qsizetype i = all.size() - 1; i >= version; --i) {
        if (all[i].serverOnly)
            continue;
        QStringList undo;
        for (const QString &statement : all[i].statements) {
            if (const auto m = index.match(statement); m.hasMatch())
                undo.prepend(QStringLiteral("DROP INDEX IF EXISTS ") + m.captured(1));
            else if (const auto t = table.match(statement); t.hasMatch())
                undo.append(QStringLiteral("DROP TABLE IF EXISTS ") + t.captured(1));
            else if (const auto col = column.match(statement); col.hasMatch() && c.onServer())
                undo.append(QStringLiteral("ALTER TABLE %1 DROP COLUMN %2").arg(col.captured(1), col.captured(2)));
            else if (col.hasMatch() && !widened.contains(col.captured(1)))
                widened.append(col.captured(1));
        }
        for (const QString &statement : undo)
            c.executeNative(statement);
    }
    // The file's engine cannot drop a column: the table is made again as
    // the first layout has it, with its rows.
    const QStringList first = Schema::fileTableStatements();
    for (const QString &t : widened) {
        c.executeNative(QStringLiteral("ALTER TABLE %1 RENAME TO %1_LATER").arg(t));
        QStringList indexes;
        for (const QString &statement : first) {
            if (statement.startsWith(QStringLiteral("CREATE TABLE %1 ").arg(t)) || statement.startsWith(QStringLiteral("CREATE TABLE %1(").arg(t)))
                c.executeNative(statement);
            else if (statement.startsWith(QLatin1String("CREATE INDEX")) && statement.contains(QStringLiteral(" ON %1").arg(t)))
                indexes << statement;
        }
        QStringList columns;
        for (const QVariantList &row : queryRows(c, QStringLiteral("PRAGMA table_info(%1)").arg(t)))
            columns << QLatin1Char('"') + row.at(1).toString() + QLatin1Char('"');
        c.executeNative(QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %1_LATER").arg(t, columns.join(QLatin1Char(','))));
        c.executeNative(QStringLiteral("DROP TABLE %1_LATER").arg(t));
        for (const QString &statement : indexes)
            c.executeNative(statement);
    }
    if (c.onServer())
        c.executeNative(QStringLiteral("UPDATE SCHEMA_VERSION SET VERSION=?"), {version});
    else
        c.executeNative(QStringLiteral("PRAGMA user_version=%1").arg(version));
}
