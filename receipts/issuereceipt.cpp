#include "receipts/issuereceipt.h"
#include "ui_issuereceipt.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "data/work/customerid.h"
#include "data/work/receipts.h"
#include "data/work/settings.h"
#include "data/db/dataset.h"
#include "data/db/helpers.h"
#include "data/db/regional.h"
#include "receipts/receiptprintout.h"
#include "reports/reportengine.h"

namespace {
const QString NotAcceptable = QStringLiteral("Μη αποδεκτή τιμή");
const QString NotEntered = QStringLiteral("Η καταχώρηση δεν έγινε");
const QString NumberingEnded = QStringLiteral("Η αρίθμηση των αποδείξεων έφτασε στο τέλος της· ορίστε νέα από "
                                              "«Ρυθμίσεις» → «Καθορισμός αρίθμησης των αποδείξεων».");
const QString OutOfRange = QStringLiteral("Το ποσό πρέπει να είναι μεγαλύτερο από 0 και έως %1.");

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
    ui->DBText2->setDataSource(ADOTable1, QStringLiteral("LAST"));

    connect(ui->Edit3, &QLineEdit::textChanged, this, guarded([this] { UpdateEntryButton(); }));
    connect(ui->Edit2, &QLineEdit::textChanged, this, guarded([this] { UpdateEntryButton(); }));
    connect(ui->Edit4, &QLineEdit::textChanged, this, guarded([this] { UpdateEntryButton(); }));
    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, &QDialog::reject);

    // The number shown is the one this receipt gets; it is read once.
    ADOConnection1.prepare();
    Settings::openNumbering(*ADOTable1);
}

TForm56::~TForm56() = default;

QString TForm56::StatementNumber(double value)
{
    return Receipts::statementNumber(value);
}

void TForm56::FormShow()
{
    ui->Label3->setText(CustomerFirstName);
    ui->Label4->setText(CustomerSurname);
    if (!PlanItems.isEmpty()) {
        ui->Edit3->setText(PlanAmount);
        ui->Edit2->setText(PlanDescription);
        ui->Edit2->setReadOnly(true);
    }
    ui->Edit3->setFocus();
}

void TForm56::UpdateEntryButton()
{
    const QString description = ui->Edit2->text().trimmed();
    if (ui->Edit3->text().trimmed().isEmpty() || description.isEmpty()) {
        ui->Button1->setEnabled(false);
        return;
    }
    // The plan items' description is the program's own text, not typed.
    ui->Button1->setEnabled((!PlanItems.isEmpty() || HasNoSpecialChars(description)) && HasNoSpecialChars(ui->Edit4->text().trimmed()));
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
    bool ok = false;
    const qint64 number = entry.number.toLongLong(&ok);
    if (!ok)
        throw DbError(NotEntered);
    Receipts::issue(conn, {.number = number, .customer = CustomerRef::require(entry.customerId), .amount = entry.amount, .firstName = entry.firstName, .surname = entry.surname, .receiver = fullName, .description = entry.description, .fund = entry.fund, .planItems = entry.planItems});
}

void TForm56::Button1Click()
{
    auto refuse = [this] {
        Messages::plain(NotEntered, this);
        ClearInputs();
    };

    // A refused amount names its reason and leaves what was typed for
    // correcting.
    const Regional::AmountReading reading = Regional::readAmount(ui->Edit3->text());
    if (!reading.value) {
        Messages::plain(NotEntered + QLatin1Char('\n') + reading.refusal, this);
        return;
    }
    const double amount = *reading.value;
    if (!Receipts::acceptableAmount(amount)) {
        Messages::plain(NotAcceptable + QLatin1Char('\n') + OutOfRange.arg(Regional::formatAmount(Regional::MaxAmount)), this);
        return;
    }

    // A counter that could not be read after a refusal is read now.
    if (!ADOTable1->isOpen())
        Settings::openNumbering(*ADOTable1);
    const QString number = WholeNumber(ui->DBText2->text().trimmed());
    const std::optional<CustomerRef> customer = CustomerRef::parse(CustomerId);
    if (number.isEmpty() || !customer) {
        refuse();
        return;
    }
    // At the end of the numbers nothing is issued until the numbering is set again.
    if (!Settings::usableNumber(number.toLongLong())) {
        Messages::plain(NotEntered + QLatin1Char('\n') + NumberingEnded, this);
        return;
    }
    // The shown names make up the receiver (PARALHPTHS).
    const QString shownFirst = ui->Label3->text().trimmed();
    const QString shownLast = ui->Label4->text().trimmed();
    try {
        Receipts::issue(ADOConnection1, {.number = number.toLongLong(), .customer = *customer, .amount = amount, .firstName = CustomerFirstName, .surname = CustomerSurname, .receiver = shownFirst + QLatin1Char(' ') + shownLast, .description = ui->Edit2->text().trimmed(), .fund = ui->Edit4->text().trimmed(), .planItems = PlanItems});
    } catch (const DbError &e) {
        // The counter again: when another copy took this number, the next
        // press uses the new one. A counter that cannot be read now (the
        // server gone meanwhile) leaves the number shown.
        try {
            DataSet counter(&ADOConnection1);
            Settings::openNumbering(counter);
            ADOTable1->close();
            Settings::openNumbering(*ADOTable1);
        } catch (const DbError &) {
        }
        const bool numberTaken = ui->DBText2->text().trimmed() != number;
        QString cause = DbConnection::causeText(e.cause());
        // Plan items billed meanwhile from another workstation: the reason is told.
        if (cause.isEmpty() && !numberTaken && !PlanItems.isEmpty())
            cause = e.message();
        Messages::plain(cause.isEmpty() ? NotEntered : NotEntered + QLatin1Char('\n') + cause, this);
        // What was typed stays when the typing was not the cause.
        if (e.cause() == DbError::Cause::None && !numberTaken && PlanItems.isEmpty())
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
