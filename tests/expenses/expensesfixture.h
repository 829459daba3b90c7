#pragma once
#include "tests/common/testutil.h"
#include <QDate>
#include <QString>
#include <QVariant>

// Stores one expense the way the register would; an invalid vat leaves the
// VAT empty.
inline void addExpense(TempPractice &p, const QDate &date, double poso, const QVariant &vat,
                       const QString &perigrafh)
{
    const QString vatText = vat.isValid() ? QString::number(vat.toDouble(), 'f', 2) : QStringLiteral("NULL");
    p.exec(QStringLiteral("INSERT INTO EKSODA(HMEROMHNIA,POSO,VAT,PERIGRAFH) VALUES(#%1/%2/%3#,%4,%5,'%6')")
               .arg(date.month())
               .arg(date.day())
               .arg(date.year())
               .arg(QString::number(poso, 'f', 2), vatText, perigrafh));
}

#include "reports/reportengine.h"
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// Catches what the windows print instead of showing the output dialog.
class PrintCatcher {
public:
    PrintCatcher()
    {
        ReportProject::setTestSink([this](const QString &file, const QString &html) {
            files << file;
            pages << html;
        });
    }
    ~PrintCatcher() { ReportProject::setTestSink({}); }
    PrintCatcher(const PrintCatcher &) = delete;
    PrintCatcher &operator=(const PrintCatcher &) = delete;

    // The last printout as a PDF, read back as plain text.
    QString lastAsPdfText() const
    {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("out.pdf"));
        ReportProject::writePdf(pages.last(), pdf);
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    QStringList files;
    QStringList pages;
};
