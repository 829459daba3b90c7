#include "reports/reportengine.h"
#include "reports/reportoutput.h"

#include "data/practice/appstate.h"
#include "data/db/clock.h"
#include "data/db/dataset.h"
#include "data/db/regional.h"
#include "data/work/accesslog.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QSignalBlocker>

// The template library includes <iostream> but writes to no standard stream:
// with libstdc++ that include alone would set up the standard streams and
// their locale at every start of the program.
#if defined(__GLIBCXX__) && !defined(_GLIBCXX_IOSTREAM)
#define _GLIBCXX_IOSTREAM 1
#include <istream>
#include <ostream>
#endif
#include <kainjow/mustache.hpp>

namespace mstch = kainjow::mustache;

namespace {

ReportProject::Sink &testSink()
{
    static ReportProject::Sink sink;
    return sink;
}

// The program writes report paths with the Windows separator; Qt reads '/'
// on every platform.
QString diskPath(const QString &file)
{
    QString p = file;
    p.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return p;
}

std::string utf8(const QString &s)
{
    const QByteArray b = s.toUtf8();
    return std::string(b.constData(), size_t(b.size()));
}

// While a report reads a data set: a closed one is opened at its first row
// and closed again afterwards. The bound controls hear nothing of it; an
// open set is only read, so its current row and pending edit stay as they are.
class DataSetVisit {
public:
    explicit DataSetVisit(DataSet *ds)
        : m_ds(ds), m_blocker(ds), m_wasOpen(ds->isOpen())
    {
        if (!m_wasOpen)
            m_ds->open();
    }
    ~DataSetVisit()
    {
        if (!m_wasOpen)
            m_ds->close();
    }
    DataSetVisit(const DataSetVisit &) = delete;
    DataSetVisit &operator=(const DataSetVisit &) = delete;

private:
    DataSet *m_ds;
    QSignalBlocker m_blocker;
    bool m_wasOpen;
};

// Visits undone in reverse order, so a data set bound to two connections
// ends with the signal state it had.
class VisitStack {
public:
    ~VisitStack() { clear(); }
    void push(DataSet *ds) { m_visits.push_back(std::make_unique<DataSetVisit>(ds)); }
    void clear()
    {
        while (!m_visits.empty())
            m_visits.pop_back();
    }

private:
    std::vector<std::unique_ptr<DataSetVisit>> m_visits;
};

mstch::data connectionRows(DataSet *ds)
{
    const int fields = ds->fieldCount();
    std::vector<std::string> names;
    names.reserve(size_t(fields));
    for (int c = 0; c < fields; ++c)
        names.push_back(utf8(ds->field(c).name));

    mstch::data rows(mstch::data::type::list);
    const int count = ds->rowCount();
    for (int r = 0; r < count; ++r) {
        mstch::data row;
        for (int c = 0; c < fields; ++c) {
            // An empty field is false, so a template may leave out its caption.
            const QString text = ds->displayText(r, c);
            row[names[size_t(c)]] = text.isEmpty() ? mstch::data(false) : mstch::data(utf8(text));
        }
        row["RECNO"] = mstch::data(std::to_string(r + 1));
        rows.push_back(row);
    }
    return rows;
}

}   // namespace

ReportProject::ReportProject(QObject *parent)
    : QObject(parent)
{
}

ReportProject::~ReportProject() = default;

void ReportProject::setProjectFile(const QString &path)
{
    if (path == m_file)
        return;
    m_file = path;
    m_loaded = false;
    m_loadedTemplate.clear();
}

void ReportProject::addConnection(const QString &name, DataSet *ds)
{
    m_connections.insert(name, ds);
}

void ReportProject::setTestSink(Sink sink)
{
    testSink() = std::move(sink);
}

void ReportProject::loadTemplate()
{
    if (m_loaded)
        return;
    const QString path = diskPath(m_file);
    if (m_file.isEmpty() || !QFileInfo(path).isFile())
        throw ReportError(QStringLiteral("The following reporting project does not exist:\n\"%1\"").arg(m_file));
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw ReportError(QStringLiteral("The reporting project \"%1\" cannot be read: %2").arg(m_file, f.errorString()));
    QString text = QString::fromUtf8(f.readAll());
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    m_loadedTemplate = text;
    m_loaded = true;
}

QString ReportProject::title() const
{
    return QFileInfo(diskPath(m_file)).completeBaseName();
}

void ReportProject::setValue(const QString &name, const QString &text)
{
    m_values.insert(name, text);
}

void ReportProject::setImage(const QString &name, const QImage &image)
{
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    m_values.insert(name, QStringLiteral("data:image/png;base64,") + QString::fromLatin1(png.toBase64()));
}

QString ReportProject::renderHtml()
{
    loadTemplate();
    mstch::mustache tmpl(utf8(m_loadedTemplate));
    if (!tmpl.is_valid())
        throw ReportError(QStringLiteral("The reporting project \"%1\" is not a valid report: %2")
                              .arg(m_file, QString::fromStdString(tmpl.error_message())));

    mstch::data root;
    root["TODAY"] = mstch::data(utf8(Regional::formatDate(Clock::today())));
    for (auto it = m_values.cbegin(); it != m_values.cend(); ++it)
        root[utf8(it.key())] = mstch::data(utf8(it.value()));

    // Every data set stays as the report found it, also when reading one fails.
    VisitStack visits;
    for (auto it = m_connections.cbegin(); it != m_connections.cend(); ++it) {
        DataSet *ds = it.value();
        if (!ds)
            continue;
        visits.push(ds);
        const std::string name = utf8(it.key());
        root[name + "_COUNT"] = mstch::data(std::to_string(ds->rowCount()));
        root[name] = connectionRows(ds);
    }
    visits.clear();

    const std::string out = tmpl.render(root);
    if (!tmpl.is_valid())
        throw ReportError(QStringLiteral("The reporting project \"%1\" is not a valid report: %2")
                              .arg(m_file, QString::fromStdString(tmpl.error_message())));
    return QString::fromUtf8(out.data(), qsizetype(out.size()));
}

void ReportProject::writePdf(const QString &html, const QString &pdfPath)
{
    ReportOutput::writePdf(ReportOutput::Pages(html), pdfPath, QFileInfo(pdfPath).completeBaseName());
}

void ReportProject::renderPdf(const QString &pdfPath)
{
    ReportOutput::writePdf(ReportOutput::Pages(renderHtml()), pdfPath, title());
}

void ReportProject::logCustomers(const QString &connection, const QString &idField)
{
    m_logConnection = connection;
    m_logField = idField;
}

void ReportProject::logPrint()
{
    DataSet *ds = m_logConnection.isEmpty() ? nullptr : m_connections.value(m_logConnection).data();
    if (!ds || !ds->connection() || (!ds->isOpen() && ds->sql().isEmpty()))
        return;
    // A set the report opened only while reading it is read again.
    const DataSetVisit visit(ds);
    const int col = ds->fieldIndex(m_logField);
    QSet<qint64> customers;
    for (int row = 0; col >= 0 && row < ds->recordCount(); ++row)
        if (const qint64 id = ds->value(row, col).toLongLong(); id > 0)
            customers.insert(id);
    if (customers.isEmpty())
        return;
    // The report's own title names it in the log.
    static const QRegularExpression heading(QStringLiteral("<title>([^<]*)</title>"));
    const QRegularExpressionMatch m = heading.match(m_loadedTemplate);
    const QString what = m.hasMatch() ? m.captured(1).trimmed() : title();
    const bool one = customers.size() == 1;
    AccessLog::recordLater(*ds->connection(), AccessLog::Action::Print, one ? *customers.cbegin() : 0,
                           one ? what : QStringLiteral("%1 (%2 πελάτες)").arg(what).arg(customers.size()));
}

void ReportProject::execute()
{
    const QString html = renderHtml();
    if (testSink()) {
        testSink()(m_file, html);
        logPrint();
        return;
    }

    QWidget *parent = QApplication::activeModalWidget();
    if (!parent)
        parent = QApplication::activeWindow();
    const QString suggested = QDir::toNativeSeparators(
        QDir(diskPath(AppDirectory.isEmpty() ? QDir::currentPath() : AppDirectory)).filePath(title() + QStringLiteral(".pdf")));
    ReportOutputDialog choice(suggested, parent);
    if (choice.exec() != QDialog::Accepted)
        return;
    logPrint();

    const ReportOutput::Pages pages(html);
    switch (choice.destination()) {
    case ReportOutputDialog::Preview:
        ReportOutput::preview(pages, title(), parent);
        break;
    case ReportOutputDialog::Printer:
        ReportOutput::print(pages, title(), parent);
        break;
    case ReportOutputDialog::File: {
        // Stopped by the user: the file is not written, and nothing is said.
        ReportProgress progress(title(), parent);
        ReportOutput::writePdf(pages, choice.fileName(), title(), progress.callback());
        break;
    }
    }
}
