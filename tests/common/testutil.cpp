#include "tests/common/testutil.h"
#include "gui/messages.h"
#include "data/appstate.h"
#include "data/dataset.h"
#include "data/schema.h"
#include <QDir>
#include <QProcess>
#include <QTest>

TempPractice::TempPractice()
{
    Schema::createDatabase(m_dir.path());
    AppDirectory = QDir::toNativeSeparators(m_dir.path());
    DbConnectionString = BuildConnectionString(AppDirectory);
    Messages::setScripted(true);
    Messages::takeShown();
}

TempPractice::~TempPractice()
{
    if (m_conn)
        m_conn->close();
}

DbConnection &TempPractice::conn()
{
    if (!m_conn) {
        m_conn = std::make_unique<DbConnection>();
        m_conn->setConnectionString(DbConnectionString);
        m_conn->setCommandTimeout(0);
        m_conn->open();
    }
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

ToolRun runTool(const QStringList &args, int timeoutMs)
{
    QProcess p;
    p.start(QStringLiteral(MOLARIX_BINARY_DIR "/molarix-db"), args);
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

std::unique_ptr<DbConnection> openPracticeDir(const QString &dir)
{
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
