#include "reports/patientexport.h"
#include "data/db/regional.h"
#include "reports/reportengine.h"
#include "reports/reportoutput.h"
#include <QDir>
#include <QSaveFile>

namespace PatientExportFiles {

namespace {

using PatientExport::Section;

QString cell(const QString &text) { return text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")); }

QString table(const Section &s)
{
    QString h = QStringLiteral("<h3>%1 (%2)</h3>").arg(cell(s.title)).arg(s.rows.size());
    if (s.rows.isEmpty())
        return h + QStringLiteral("<p>Καμία εγγραφή.</p>");
    h += QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\"><thead><tr>");
    for (const PatientExport::Column &c : s.columns)
        h += QStringLiteral("<th>%1</th>").arg(cell(QString::fromUtf8(c.heading)));
    h += QStringLiteral("</tr></thead><tbody>");
    for (const QVariantList &row : s.rows) {
        h += QStringLiteral("<tr>");
        for (int i = 0; i < s.columns.size(); ++i)
            h += QStringLiteral("<td>%1</td>").arg(cell(PatientExport::displayText(row.value(i), s.columns[i].kind)));
        h += QStringLiteral("</tr>");
    }
    return h + QStringLiteral("</tbody></table>");
}

void fail(const QString &path, const QString &why)
{
    throw ReportError(QStringLiteral("Το αρχείο «%1» δεν γράφτηκε: %2").arg(QDir::toNativeSeparators(path), why));
}

}   // namespace

QString html(const PatientExport::Export &e)
{
    QString h = QStringLiteral("<html><body><h2>Στοιχεία πελάτη που τηρεί το ιατρείο</h2><p>Εξαγωγή της %1</p>")
                    .arg(Regional::formatDateTime(e.made));
    // The card as label and value, the history under it as written.
    const Section &card = e.customer;
    const QVariantList row = card.rows.value(0);
    h += QStringLiteral("<h3>%1</h3><table cellspacing=\"0\" cellpadding=\"3\">").arg(cell(card.title));
    const int historyColumn = int(card.columns.size()) - 1;
    for (int i = 0; i < historyColumn; ++i)
        h += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>")
                 .arg(cell(QString::fromUtf8(card.columns[i].heading)), cell(PatientExport::displayText(row.value(i), card.columns[i].kind)));
    h += QStringLiteral("</table><h3>%1</h3><p>%2</p>")
             .arg(cell(QString::fromUtf8(card.columns[historyColumn].heading)), cell(row.value(historyColumn).toString()));
    for (const Section &s : e.sections)
        h += table(s);
    return h + QStringLiteral("</body></html>");
}

Written write(const PatientExport::Export &e, const QString &folder)
{
    const auto id = CustomerRef::parse(QString::number(e.customerId));
    if (!id)
        throw ReportError(QStringLiteral("Ο πελάτης δεν βρέθηκε."));
    const QString base = QDir(folder).absoluteFilePath(PatientExport::baseName(*id, e.made.date()));
    Written w{base + QStringLiteral(".pdf"), base + QStringLiteral(".json")};

    QSaveFile json(w.json);
    if (!json.open(QIODevice::WriteOnly))
        fail(w.json, json.errorString());
    json.write(PatientExport::json(e));
    if (!json.commit())
        fail(w.json, json.errorString());

    const ReportOutput::Pages pages(html(e));
    ReportOutput::writePdf(pages, w.pdf, QStringLiteral("Στοιχεία πελάτη %1").arg(e.customerId));
    return w;
}

}
