#include "data/work/receipts.h"
#include "data/work/accesslog.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/db/helpers.h"
#include "data/db/regional.h"
#include "data/practice/roles.h"
#include "data/work/settings.h"

namespace {
const QString NotAcceptable = QStringLiteral("Μη αποδεκτή τιμή");
// The access log's detail of a receipt's cancelling; it also tells whose
// receipt a cancelled one was, as its taking is gone.
QString cancelDetail(qint64 number)
{
    return QStringLiteral("Ακύρωση απόδειξης %1").arg(number);
}
}

double Receipts::pounds(double euros)
{
    return euros * PoundsPerEuro;
}

bool Receipts::acceptableAmount(double euros)
{
    return euros > 0 && euros <= Regional::MaxAmount;
}

QString Receipts::statementNumber(double value)
{
    if (value == 0)
        return QStringLiteral("0");
    // Fifteen significant digits in scientific form, then written out.
    QString s = QString::number(value, 'e', 14);
    const bool negative = s.startsWith(QLatin1Char('-'));
    if (negative)
        s.remove(0, 1);
    const qsizetype e = s.indexOf(QLatin1Char('e'));
    const int exponent = s.mid(e + 1).toInt();
    QString digits = s.left(e);
    digits.remove(QLatin1Char('.'));
    while (digits.size() > 1 && digits.endsWith(QLatin1Char('0')))
        digits.chop(1);

    const int point = exponent + 1;   // digits before the decimal point
    QString out;
    if (point <= 0)
        out = QStringLiteral("0.") + QString(-point, QLatin1Char('0')) + digits;
    else if (point >= digits.size())
        out = digits + QString(point - digits.size(), QLatin1Char('0'));
    else
        out = digits.left(point) + QLatin1Char('.') + digits.mid(point);
    return negative ? QLatin1Char('-') + out : out;
}

void Receipts::issue(DbConnection &conn, const Issue &receipt)
{
    if (!acceptableAmount(receipt.amount))
        throw DbError(NotAcceptable);
    if (!Settings::usableNumber(receipt.number))
        throw DbError(QStringLiteral("Ο αριθμός %1 δεν αφήνει αριθμό για την επόμενη απόδειξη.").arg(receipt.number));
    // Amounts and numbers go in as digits, so both engines store exactly
    // the fifteen digits the receipt shows; the texts are bound.
    const QString poso = statementNumber(receipt.amount);
    const QString posoCy = statementNumber(pounds(receipt.amount));
    const QString number = QString::number(receipt.number);
    const QString taking =
        QStringLiteral("INSERT INTO EISPRAKSH_PELATH(ID,POSO,PERIGRAFH,TAMEIO,POSO_CY,AR_APODEIKSHS) VALUES(")
        + receipt.customer.text() + u',' + poso + QStringLiteral(",?,?,") + posoCy + u',' + number + u')';
    const QString issued =
        QStringLiteral("INSERT INTO APODEIKSEIS(AR_APODEIKSHS,ONOMA,EPWNYMO,PARALHPTHS,POSO,TAMEIO,POSO_CY,PERIGRAFH) VALUES(")
        + number + QStringLiteral(",?,?,?,") + poso + QStringLiteral(",?,") + posoCy + QStringLiteral(",?)");

    // All three or none. A number another copy of the program issued in the
    // meantime is refused by the receipt insert and rolls the taking back.
    DbTransaction tx(conn);
    // The counter row is held until the unit ends (on a server the row is
    // locked; the file is held whole), so two workstations never issue one
    // number: the later one finds the counter moved and issues nothing.
    const QVariant last = conn.scalarNative(conn.engine().forUpdate(QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")));
    if (!last.isValid() || last.toLongLong() != receipt.number)
        throw DbError(QStringLiteral("Η απόδειξη με αριθμό %1 εκδόθηκε στο μεταξύ από άλλο σταθμό εργασίας.")
                          .arg(number));
    conn.executeNative(taking, {receipt.description, receipt.fund});
    conn.executeNative(issued, {receipt.firstName, receipt.surname, receipt.receiver, receipt.fund, receipt.description});
    // The link is made only where none is: of two workstations billing one
    // item, the later one finds it taken (on a server, after the first
    // one's unit ends) and issues nothing.
    for (const qint64 item : receipt.planItems)
        if (conn.executeNative(QStringLiteral("UPDATE SXEDIO_THERAPEIAS SET AR_APODEIKSHS=") + number
                                   + QStringLiteral(" WHERE ID=? AND PELATHS=") + receipt.customer.text()
                                   + QStringLiteral(" AND KATASTASH='D' AND AR_APODEIKSHS IS NULL"),
                               {item})
            != 1)
            throw DbError(QStringLiteral("Μια από τις εργασίες της απόδειξης χρεώθηκε στο μεταξύ σε άλλη απόδειξη ή δεν έχει γίνει· "
                                         "η απόδειξη δεν εκδόθηκε."));
    conn.execute(QStringLiteral("UPDATE LAST_APODEIKSH SET [LAST]=[LAST]+1"));
    AccessLog::record(conn, AccessLog::Action::Change, receipt.customer.value(), QStringLiteral("Έκδοση απόδειξης %1").arg(number));
    tx.commit();
}

void Receipts::cancel(DbConnection &conn, qint64 number)
{
    const QString n = QString::number(number);
    DbTransaction tx(conn);
    const qint64 customer = conn.scalarNative(QStringLiteral("SELECT ID FROM EISPRAKSH_PELATH WHERE AR_APODEIKSHS=") + n).toLongLong();
    conn.execute(QStringLiteral("DELETE FROM EISPRAKSH_PELATH WHERE AR_APODEIKSHS=") + n);
    conn.execute(QStringLiteral("UPDATE APODEIKSEIS SET EGKYRH=FALSE WHERE AR_APODEIKSHS=") + n);
    conn.execute(QStringLiteral("UPDATE SXEDIO_THERAPEIAS SET AR_APODEIKSHS=NULL WHERE AR_APODEIKSHS=") + n);
    AccessLog::record(conn, AccessLog::Action::Change, customer, cancelDetail(number));
    tx.commit();
}

void Receipts::openIssued(DataSet &receipts)
{
    receipts.setSql(QStringLiteral(
        "SELECT AR_APODEIKSHS, HMEROMHNIA, ONOMA, EPWNYMO, PARALHPTHS, Format(POSO,'0.00') AS POSO, TAMEIO, "
        "Format(POSO_CY,'0.00') AS POSO_CY, PERIGRAFH, EGKYRH FROM APODEIKSEIS ORDER BY HMEROMHNIA"));
    receipts.open();
}

void Receipts::openTakings(DataSet &takings, CustomerRef customer)
{
    takings.setSql(QStringLiteral("SELECT AR_APODEIKSHS, HMEROMHNIA, Format(POSO,'0.00') as POSO, PERIGRAFH, "
                                  "TAMEIO, Format(POSO_CY,'0.00') as POSO_CY, ID FROM EISPRAKSH_PELATH WHERE ID=")
                   + customer.text() + QStringLiteral(" ORDER BY HMEROMHNIA ASC"));
    takings.open();
}

void Receipts::openTakingTotals(DataSet &totals, CustomerRef customer)
{
    totals.setSql(QStringLiteral("SELECT COUNT(*) AS SYNOLO,Format(SUM(POSO),'0.00') as EISPRAKSH, "
                                 "Format(SUM(POSO_CY),'0.00') as EISPRAKSHCY FROM EISPRAKSH_PELATH WHERE ID=")
                  + customer.text());
    totals.open();
}

void Receipts::openTotalBetween(DataSet &totals, const QDate &from, const QDate &to)
{
    totals.setSql(QStringLiteral("SELECT Format(sum(POSO),'0.00') AS POSO, Format(sum(POSO_CY),'0.00') AS POSO_CY "
                                 "FROM APODEIKSEIS WHERE HMEROMHNIA BETWEEN ")
                  + SqlDateLiteral(from) + QStringLiteral(" AND ") + SqlDateLiteral(to)
                  + QStringLiteral(" AND EGKYRH=TRUE"));
    totals.open();
}

void Receipts::setPrintout(DataSet &receipt, qint64 number)
{
    // A cancelled receipt's customer is found in the access log, which on a
    // server only the administrator may read: for the other roles the
    // statement would be refused whole, and no receipt printed.
    const DbConnection *conn = receipt.connection();
    const bool logReadable = !conn || !conn->onServer() || Roles::allowed(Roles::Duty::AccessLog);
    const QString fromTaking = QStringLiteral("(SELECT MAX(e.ID) FROM EISPRAKSH_PELATH e WHERE e.AR_APODEIKSHS=APODEIKSEIS.AR_APODEIKSHS)");
    const QString customer = !logReadable ? fromTaking
                                          : QStringLiteral("COALESCE(%1, (SELECT MAX(h.PELATHS) FROM HMEROLOGIO_PROSVASEWN h WHERE h.ENERGEIA='%2'"
                                                           " AND h.LEPTOMEREIES='%3'))")
                                                .arg(fromTaking, AccessLog::code(AccessLog::Action::Change), cancelDetail(number));
    receipt.setSql(QStringLiteral("SELECT AR_APODEIKSHS, HMEROMHNIA, ONOMA, EPWNYMO, PARALHPTHS, Format(POSO,'0.00') AS POSO, "
                                  "TAMEIO, Format(POSO_cy,'0.00') as POSO_CY, PERIGRAFH, %1 AS PELATHS FROM APODEIKSEIS WHERE AR_APODEIKSHS=%2")
                       .arg(customer)
                       .arg(number));
}
