#include "tests/common/testserver.h"
#include "data/db/connection.h"
#include "data/practice/schema.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <memory>
#include <stdexcept>
#include <unistd.h>

namespace {

const char *const kSuperPassword = "cluster-admin";

QString findBinary(const QString &name)
{
    const QString onPath = QStandardPaths::findExecutable(name);
    if (!onPath.isEmpty())
        return onPath;
    QDir lib(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = lib.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
    for (const QString &v : versions) {
        const QString p = lib.filePath(v + QStringLiteral("/bin/") + name);
        if (QFileInfo(p).isExecutable())
            return p;
    }
    return QString();
}

bool asRoot() { return ::geteuid() == 0; }

// Runs a server program, as postgres when we are root.
QString runServerProgram(const QString &program, const QStringList &args, int *code)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (asRoot())
        p.start(QStringLiteral("runuser"), QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program} + args);
    else
        p.start(program, args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        *code = -1;
    } else {
        *code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    }
    return QString::fromLocal8Bit(p.readAll());
}

void giveToPostgres(const QString &path)
{
    if (!asRoot())
        return;
    QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("postgres:postgres"), path});
}

class Cluster {
public:
    Cluster()
    {
        if (!m_top.isValid())
            throw std::runtime_error("no temporary folder for the test server");
        // The server user must reach the folder: the temporary folder is ours.
        QFile::setPermissions(m_top.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        m_dir = m_top.path() + QStringLiteral("/cluster");
        m_sock = m_top.path() + QStringLiteral("/sock");
        QDir().mkpath(m_dir);
        QDir().mkpath(m_sock);
        const QString pwfile = m_top.path() + QStringLiteral("/pw");
        QFile f(pwfile);
        f.open(QIODevice::WriteOnly);
        f.write(kSuperPassword);
        f.close();
        giveToPostgres(m_top.path());

        int code = 0;
        const QString out = runServerProgram(findBinary(QStringLiteral("initdb")),
                                             {QStringLiteral("-D"), m_dir, QStringLiteral("-U"), QStringLiteral("postgres"),
                                              QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
                                              QStringLiteral("--auth=scram-sha-256"), QStringLiteral("--pwfile=") + pwfile,
                                              QStringLiteral("--no-sync")},
                                             &code);
        if (code != 0)
            throw std::runtime_error(("initdb failed: " + out).toStdString());
        // A port that no other cluster of a parallel test run holds.
        for (int attempt = 0; attempt < 20; ++attempt) {
            m_port = 20000 + int((::getpid() * 7 + attempt * 131) % 30000);
            if (start()) {
                m_running = true;
                break;
            }
        }
        if (!m_running)
            throw std::runtime_error("the test server did not start");
        // A test program that crashes skips the destructor: a watchdog stops
        // the cluster and removes its folder once this process is gone.
        const QString stop = QStringLiteral("while kill -0 %1 2>/dev/null; do sleep 1; done; "
                                            "%2'%3' -D '%4' -m immediate -w stop >/dev/null 2>&1; rm -rf '%5'")
                                 .arg(::getpid())
                                 .arg(asRoot() ? QStringLiteral("runuser -u postgres -- ") : QString(),
                                      findBinary(QStringLiteral("pg_ctl")), m_dir, m_top.path());
        QProcess::startDetached(QStringLiteral("sh"), {QStringLiteral("-c"), stop});
        superExecOn(QStringLiteral("postgres"),
                    QStringLiteral("CREATE ROLE molarix_test LOGIN PASSWORD 'molarix'"));
    }

    bool start()
    {
        const QString opts = QStringLiteral("-c listen_addresses=127.0.0.1 -c port=%1 -c unix_socket_directories=%2"
                                            " -c fsync=off -c synchronous_commit=off -c full_page_writes=off"
                                            " -c max_connections=40 -c shared_buffers=32MB")
                                 .arg(m_port)
                                 .arg(m_sock);
        int code = 0;
        runServerProgram(findBinary(QStringLiteral("pg_ctl")),
                         {QStringLiteral("-D"), m_dir, QStringLiteral("-o"), opts, QStringLiteral("-l"),
                          m_top.path() + QStringLiteral("/log"), QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"),
                          QStringLiteral("start")},
                         &code);
        return code == 0;
    }

    void stop()
    {
        int code = 0;
        const QString out = runServerProgram(findBinary(QStringLiteral("pg_ctl")),
                                             {QStringLiteral("-D"), m_dir, QStringLiteral("-m"), QStringLiteral("fast"),
                                              QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("stop")},
                                             &code);
        if (code != 0)
            throw std::runtime_error(("pg_ctl stop failed: " + out).toStdString());
    }

    // A certificate and key made by the test: copied where the server
    // reads them (its own, the key private) and TLS turned on.
    void enableTls(const QString &cert, const QString &key)
    {
        const QString c = m_top.path() + QStringLiteral("/server.crt"), k = m_top.path() + QStringLiteral("/server.key");
        QFile::remove(c);
        QFile::remove(k);
        if (!QFile::copy(cert, c) || !QFile::copy(key, k))
            throw std::runtime_error("the test certificate could not be copied");
        QFile::setPermissions(k, QFile::ReadOwner | QFile::WriteOwner);
        giveToPostgres(c);
        giveToPostgres(k);
        superExecOn(QStringLiteral("postgres"), QStringLiteral("ALTER SYSTEM SET ssl_cert_file = '%1'").arg(c));
        superExecOn(QStringLiteral("postgres"), QStringLiteral("ALTER SYSTEM SET ssl_key_file = '%1'").arg(k));
        superExecOn(QStringLiteral("postgres"), QStringLiteral("ALTER SYSTEM SET ssl = on"));
        stop();
        if (!start())
            throw std::runtime_error("the test server did not start with TLS");
    }

    ~Cluster()
    {
        if (m_running) {
            int code = 0;
            runServerProgram(findBinary(QStringLiteral("pg_ctl")),
                             {QStringLiteral("-D"), m_dir, QStringLiteral("-m"), QStringLiteral("immediate"), QStringLiteral("-w"),
                              QStringLiteral("stop")},
                             &code);
        }
    }

    QString connectionString(const QString &db, const QString &user, const QString &password) const
    {
        return QStringLiteral("Server=%1;Port=%2;Database=%3;User ID=%4;Jet OLEDB:Database Password=%5")
            .arg(QuoteConnectionValue(m_sock))
            .arg(m_port)
            .arg(db, user, QuoteConnectionValue(password));
    }

    void superExecOn(const QString &db, const QString &sql)
    {
        DbConnection c;
        c.setConnectionString(connectionString(db, QStringLiteral("postgres"), QString::fromLatin1(kSuperPassword)));
        c.open();
        c.executeNative(sql);
    }

    QString newDatabase(bool withPractice)
    {
        const QString name = QStringLiteral("practice_%1").arg(++m_databases);
        if (withPractice && !m_template) {
            superExecOn(QStringLiteral("postgres"), QStringLiteral("CREATE DATABASE practice_template OWNER molarix_test"
                                                                   " ENCODING 'UTF8' TEMPLATE template0"));
            DbConnection c;
            c.setConnectionString(connectionString(QStringLiteral("practice_template"), QStringLiteral("molarix_test"),
                                                   QStringLiteral("molarix")));
            c.open();
            Schema::createOnServer(c);
            c.close();
            m_template = true;
        }
        superExecOn(QStringLiteral("postgres"),
                    QStringLiteral("CREATE DATABASE %1 OWNER molarix_test ENCODING 'UTF8' TEMPLATE %2")
                        .arg(name, withPractice ? QStringLiteral("practice_template") : QStringLiteral("template0")));
        return name;
    }

    QString log() const
    {
        QFile f(m_top.path() + QStringLiteral("/log"));
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    QString socket() const { return m_sock; }
    int port() const { return m_port; }

private:
    QTemporaryDir m_top;
    QString m_dir, m_sock;
    int m_port = 0;
    bool m_running = false;
    bool m_template = false;
    int m_databases = 0;
};

Cluster &cluster()
{
    static std::unique_ptr<Cluster> c;
    if (!c)
        c = std::make_unique<Cluster>();
    return *c;
}

}   // namespace

namespace TestServer {

bool binariesPresent()
{
    return !findBinary(QStringLiteral("initdb")).isEmpty() && !findBinary(QStringLiteral("pg_ctl")).isEmpty();
}

QString host() { return cluster().socket(); }
int port() { return cluster().port(); }
QString loginUser() { return QStringLiteral("molarix_test"); }
QString loginPassword() { return QStringLiteral("molarix"); }
QString newPracticeDatabase() { return cluster().newDatabase(true); }
QString newEmptyDatabase() { return cluster().newDatabase(false); }

QString serverConf(const QString &database)
{
    return QStringLiteral("# the practice's server\nhost=%1\nport=%2\ndatabase=%3\nuser=%4\n")
        .arg(host())
        .arg(port())
        .arg(database, loginUser());
}

QString serverLog() { return cluster().log(); }

void superExec(const QString &database, const QString &sql) { cluster().superExecOn(database, sql); }

void stop() { cluster().stop(); }

void start()
{
    if (!cluster().start())
        throw std::runtime_error("the test server did not start again");
}

void enableTls(const QString &certificate, const QString &key) { cluster().enableTls(certificate, key); }

bool practicesOnServer() { return qgetenv("MOLARIX_TEST_ENGINE") == "postgres"; }

}   // namespace TestServer
