#pragma once
#include "tests/common/testutil.h"
#include "reports/reportengine.h"
#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

// A practice with customers, receipts and their takings, stored directly.
namespace Takings {

inline qlonglong addCustomer(TempPractice &p, const QString &first, const QString &surname)
{
    p.conn().executeNative(QStringLiteral("INSERT INTO STOIXEIA_PELATH(ONOMA,EPWNYMO) VALUES(?,?)"), {first, surname});
    return p.conn().scalarNative(QStringLiteral("SELECT max(ID) FROM STOIXEIA_PELATH")).toLongLong();
}

inline void setLast(TempPractice &p, qlonglong next)
{
    p.conn().executeNative(QStringLiteral("INSERT INTO LAST_APODEIKSH(\"LAST\") VALUES(?)"), {next});
}

inline qlonglong last(TempPractice &p)
{
    return p.conn().scalarNative(QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")).toLongLong();
}

// A receipt as the issue window leaves it; a cancelled one has lost its taking.
struct Receipt {
    qlonglong number = 0;
    qlonglong customer = 0;
    QDate date;
    double poso = 0;
    bool valid = true;
    QString description = QStringLiteral("Σφράγισμα");
    QString fund;
    QString first = QStringLiteral("Γιώργος");
    QString surname = QStringLiteral("Παπαδόπουλος");
};

inline void addReceipt(TempPractice &p, const Receipt &r)
{
    const QString date = r.date.toString(Qt::ISODate);
    const double cy = r.poso * 0.585274;
    p.conn().executeNative(
        QStringLiteral("INSERT INTO APODEIKSEIS(AR_APODEIKSHS,HMEROMHNIA,ONOMA,EPWNYMO,PARALHPTHS,POSO,TAMEIO,"
                       "POSO_CY,PERIGRAFH,EGKYRH) VALUES(?,?,?,?,?,?,?,?,?,?)"),
        {r.number, date, r.first, r.surname, r.first + u' ' + r.surname, r.poso, r.fund, cy, r.description,
         r.valid ? -1 : 0});
    if (r.valid)
        p.conn().executeNative(
            QStringLiteral("INSERT INTO EISPRAKSH_PELATH(ID,HMEROMHNIA,POSO,PERIGRAFH,TAMEIO,POSO_CY,AR_APODEIKSHS) "
                           "VALUES(?,?,?,?,?,?,?)"),
            {r.customer, date, r.poso, r.description, r.fund, cy, r.number});
}

// Catches the printouts instead of showing the output dialog.
class PrintSink {
public:
    PrintSink()
    {
        ReportProject::setTestSink([this](const QString &file, const QString &html) {
            files << file;
            pages << html;
        });
    }
    ~PrintSink() { ReportProject::setTestSink({}); }
    PrintSink(const PrintSink &) = delete;
    PrintSink &operator=(const PrintSink &) = delete;
    QStringList files;
    QStringList pages;
};

}
