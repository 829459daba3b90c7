#include "receipts/issuereceipt.h"
#include "ui_issuereceipt.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "data/work/customerid.h"
#include "data/db/dataset.h"
#include "data/db/helpers.h"
#include "data/db/regional.h"
#include "receipts/receiptprintout.h"
#include "reports/reportengine.h"

namespace {
const QString NotAcceptable = QStringLiteral("Μη αποδεκτή τιμή");
const QString NotEntered = QStringLiteral("Η καταχώρηση δεν έγινε");

// Cyprus pounds per euro, the fixed conversion rate.
constexpr double PoundsPerEuro = 0.585274;

// A whole number written back as plain decimal digits, or empty when the
// text is none.
QString WholeNumber(const QString &text)
{
    bool ok = false;
    const qlonglong n = text.toLongLong(&ok);
    return ok ? QString::number(n) : QString();
}
}

TForm56::TForm56(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm56>())
{
    ui->setupUi(this);
    setupDialog(this);
    for (QWidget *w : {ui->Label1, ui->Label2, ui->Label5, ui->Label6, ui->Label7, ui->Label8})
        makeBold(w);
    for (QWidget *w : std::initializer_list<QWidget *>{ui->Label9, ui->Label10, ui->Label3, ui->Label4, ui->DBText2})
        makeRequiredMark(w);

    ADOTable1 = new DataSet(&ADOConnection1, this);
    ADOTable1->setObjectName(QStringLiteral("ADOTable1"));
    ADOTable1->setTableName(QStringLiteral("LAST_APODEIKSH"));
    ui->DBText2->setDataSource(ADOTable1, QStringLiteral("LAST"));

    connect(ui->Edit3, &QLineEdit::textChanged, this, guarded([this] { UpdateEntryButton(); }));
    connect(ui->Edit2, &QLineEdit::textChanged, this, guarded([this] { UpdateEntryButton(); }));
    connect(ui->Edit4, &QLineEdit::textChanged, this, guarded([this] { UpdateEntryButton(); }));
    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, &QDialog::reject);

    // The number shown is the one this receipt gets; it is read once.
    ADOConnection1.prepare();
    ADOTable1->close();
    ADOTable1->open();
}

TForm56::~TForm56() = default;

QString TForm56::StatementNumber(double value)
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

QString TForm56::Quoted(const QString &text)
{
    QString t = text;
    t.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + t + QLatin1Char('\'');
}

void TForm56::FormShow()
{
    ui->Label3->setText(CustomerFirstName);
    ui->Label4->setText(CustomerSurname);
    ui->Edit3->setFocus();
}

void TForm56::UpdateEntryButton()
{
    const QString description = ui->Edit2->text().trimmed();
    if (ui->Edit3->text().trimmed().isEmpty() || description.isEmpty()) {
        ui->Button1->setEnabled(false);
        return;
    }
    ui->Button1->setEnabled(HasNoSpecialChars(description) && HasNoSpecialChars(ui->Edit4->text().trimmed()));
}

void TForm56::ClearInputs()
{
    ui->Edit3->clear();
    ui->Edit2->clear();
    ui->Edit4->clear();
}

void TForm56::StoreReceipt(DbConnection &conn, const Entry &entry)
{
    StoreReceipt(conn, entry, entry.firstName + QLatin1Char(' ') + entry.surname);
}

void TForm56::StoreReceipt(DbConnection &conn, const Entry &entry, const QString &fullName)
{
    const QString poso = StatementNumber(entry.amount);
    const QString posoCy = StatementNumber(entry.amount * PoundsPerEuro);
    const QString &number = entry.number;
    const QString taking =
        QStringLiteral("INSERT INTO EISPRAKSH_PELATH(ID,POSO,PERIGRAFH,TAMEIO,POSO_CY,AR_APODEIKSHS) VALUES(")
        + entry.customerId + u',' + poso + u',' + Quoted(entry.description) + u',' + Quoted(entry.fund) + u','
        + posoCy + u',' + number + u')';
    // The names come from the customer's row and may hold an apostrophe.
    const QString receipt =
        QStringLiteral("INSERT INTO APODEIKSEIS(AR_APODEIKSHS,ONOMA,EPWNYMO,PARALHPTHS,POSO,TAMEIO,POSO_CY,PERIGRAFH) VALUES(")
        + number + u',' + Quoted(entry.firstName) + u',' + Quoted(entry.surname) + u',' + Quoted(fullName)
        + u',' + poso + u',' + Quoted(entry.fund) + u',' + posoCy + u',' + Quoted(entry.description) + u')';

    // All three or none. A number another copy of the program issued in the
    // meantime is refused by the receipt insert and rolls the taking back.
    DbTransaction tx(conn);
    // The counter row is held until the unit ends (on a server the row is
    // locked; the file is held whole), so two workstations never issue one
    // number: the later one finds the counter moved and issues nothing.
    const QVariant last = conn.scalarNative(conn.engine().forUpdate(QStringLiteral("SELECT \"LAST\" FROM LAST_APODEIKSH")));
    if (!last.isValid() || QString::number(last.toLongLong()) != number)
        throw DbError(QStringLiteral("Receipt number %1 was issued meanwhile by another workstation.").arg(number));
    conn.execute(taking);
    conn.execute(receipt);
    conn.execute(QStringLiteral("UPDATE LAST_APODEIKSH SET [LAST]=[LAST]+1"));
    tx.commit();
}

void TForm56::Button1Click()
{
    auto refuse = [this] {
        Messages::plain(NotEntered, this);
        ClearInputs();
    };

    const std::optional<double> amount = Regional::parseAmount(ui->Edit3->text().trimmed());
    if (!amount) {
        refuse();
        return;
    }
    if (!(*amount > 0) || *amount > Regional::MaxAmount) {
        Messages::plain(NotAcceptable, this);
        ClearInputs();
        return;
    }

    // A counter that could not be read after a refusal is read now.
    if (!ADOTable1->isOpen())
        ADOTable1->open();
    const QString number = WholeNumber(ui->DBText2->text().trimmed());
    const std::optional<CustomerRef> customer = CustomerRef::parse(CustomerId);
    if (number.isEmpty() || !customer) {
        refuse();
        return;
    }
    Entry entry;
    entry.number = number;
    entry.customerId = customer->text();
    entry.amount = *amount;
    entry.firstName = CustomerFirstName;
    entry.surname = CustomerSurname;
    entry.description = ui->Edit2->text().trimmed();
    entry.fund = ui->Edit4->text().trimmed();
    // The shown names make up the receiver (PARALHPTHS).
    const QString shownFirst = ui->Label3->text().trimmed();
    const QString shownLast = ui->Label4->text().trimmed();
    try {
        StoreReceipt(ADOConnection1, entry, shownFirst + QLatin1Char(' ') + shownLast);
    } catch (const DbError &e) {
        // The counter again: when another copy took this number, the next
        // press uses the new one.
        ADOTable1->close();
        try {
            ADOTable1->open();
        } catch (const DbError &) {
        }
        const bool numberTaken = ui->DBText2->text().trimmed() != number;
        const QString cause = DbConnection::causeText(e.cause());
        Messages::plain(cause.isEmpty() ? NotEntered : NotEntered + QLatin1Char('\n') + cause, this);
        // What was typed stays when the typing was not the cause.
        if (e.cause() == DbError::Cause::None && !numberTaken)
            ClearInputs();
        return;
    }

    ADOTable1->close();
    ADOConnection1.close();
    PrintIssued(number.toLongLong());
    // Closing also keeps the used number from being offered again.
    ClearInputs();
    accept();
}

// The receipt is stored by now: a printout that fails is reported and the
// receipt can be printed again from the issued receipts.
void TForm56::PrintIssued(qint64 receiptNumber)
{
    std::unique_ptr<TForm72> standIn;
    TForm72 *printout = Form72;
    if (!printout) {
        standIn = std::make_unique<TForm72>(this);
        printout = standIn.get();
    }
    printout->ReceiptNumber = receiptNumber;
    try {
        printout->PrintReceipt();
    } catch (const DbError &e) {
        Messages::error(e.message(), this);
    } catch (const ReportError &e) {
        Messages::error(e.message(), this);
    } catch (const std::exception &e) {
        Messages::error(QString::fromUtf8(e.what()), this);
    }
}

void TForm56::FormClose()
{
    ADOTable1->close();
    ADOConnection1.close();
}
