#include "receipts/issuedreceipts.h"
#include "ui_issuedreceipts.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "data/db/dataset.h"
#include "data/work/receipts.h"
#include "receipts/receiptprintout.h"
#include <QGuiApplication>

namespace {
// Reading years of receipts takes a moment: the busy cursor shows it.
struct BusyCursor {
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};
}

TForm71::TForm71(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm71>())
{
    ui->setupUi(this);
    setupDialog(this);
    makeBold(ui->Label1);
    makeBold(ui->GroupBox1);
    QPalette red = ui->Label1->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    ui->Label1->setPalette(red);

    ADOQuery1 = new DataSet(&ADOConnection1, this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));

    DbGrid *g = ui->DBGrid1;
    g->setDataSet(ADOQuery1);
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    g->addColumn(QStringLiteral("AR_APODEIKSHS"), QStringLiteral("Αριθμός απόδειξης"), Qt::AlignCenter);
    g->addColumn(QStringLiteral("HMEROMHNIA"), QStringLiteral("Ημερομηνία"), Qt::AlignCenter);
    g->addColumn(QStringLiteral("ONOMA"), QStringLiteral("Όνομα πελάτη"), left);
    g->addColumn(QStringLiteral("EPWNYMO"), QStringLiteral("Επώνυμο πελάτη"), left);
    g->addColumn(QStringLiteral("PERIGRAFH"), QStringLiteral("Περιγραφή"), left);
    g->addColumn(QStringLiteral("POSO"), QStringLiteral("Ποσό (EUR)"), Qt::AlignRight | Qt::AlignVCenter);
    g->addColumn(QStringLiteral("TAMEIO"), QStringLiteral("Ταμείο"), left);
    g->addColumn(QStringLiteral("EGKYRH"), QStringLiteral("Έγκυρη"), Qt::AlignCenter);

    ui->DBNavigator1->setDataSet(ADOQuery1);
    ui->DBNavigator1->setVisibleButtons(
        {DbNavigator::First, DbNavigator::Prior, DbNavigator::Next, DbNavigator::Last});

    ui->DBText1->setDataSource(ADOQuery1, QStringLiteral("AR_APODEIKSHS"));
    ui->DBText2->setDataSource(ADOQuery1, QStringLiteral("EGKYRH"));
    ui->DBText1->hide();
    ui->DBText2->hide();

    auto update = guarded([this] { UpdateReceiptButtons(); });
    connect(g, &DbGrid::cellClicked, this, update);
    connect(g, &DbGrid::keyReleased, this, update);
    connect(ui->DBNavigator1, &DbNavigator::clicked, this, update);

    connect(ui->RadioButton1, &QRadioButton::clicked, this,
            guarded([this] { SortClick(QStringLiteral("HMEROMHNIA ASC")); }));
    connect(ui->RadioButton2, &QRadioButton::clicked, this,
            guarded([this] { SortClick(QStringLiteral("AR_APODEIKSHS ASC")); }));
    connect(ui->RadioButton3, &QRadioButton::clicked, this,
            guarded([this] { SortClick(QStringLiteral("EGKYRH ASC")); }));

    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, guarded([this] { Button2Click(); }));
    connect(ui->Button3, &QPushButton::clicked, this, &QDialog::reject);
}

TForm71::~TForm71() = default;

void TForm71::FormShow()
{
    BusyCursor busy;
    ADOConnection1.prepare();
    Receipts::openIssued(*ADOQuery1);
    ADOQuery1->setSort(QStringLiteral("HMEROMHNIA ASC"));

    const int n = ADOQuery1->recordCount();
    ui->Label1->setText(QStringLiteral("Βρέθηκαν ") + QString::number(n) + QStringLiteral(" αποδείξεις"));
    if (n > 0) {
        ui->Button1->setEnabled(true);
        ui->Button2->setEnabled(true);
    }
    UpdateReceiptButtons();
}

void TForm71::UpdateReceiptButtons()
{
    if (ADOQuery1->recordCount() == 0)
        return;
    const bool valid = ui->DBText2->text().trimmed() != QLatin1String("False");
    ui->Button1->setEnabled(valid);
    ui->Button2->setEnabled(valid);
}

// The current receipt's number, read whole: a number that does not read
// must never become receipt 0, which may be another customer's.
std::optional<qint64> TForm71::CurrentNumber() const
{
    if (ADOQuery1->recordCount() == 0)
        return std::nullopt;
    bool ok = false;
    const qint64 n = ui->DBText1->text().trimmed().toLongLong(&ok);
    return ok ? std::optional<qint64>(n) : std::nullopt;
}

void TForm71::SortClick(const QString &sort)
{
    ADOQuery1->setSort(sort);
    UpdateReceiptButtons();
}

void TForm71::Button2Click()
{
    std::unique_ptr<TForm72> standIn;
    TForm72 *printout = Form72;
    if (!printout) {
        standIn = std::make_unique<TForm72>(this);
        printout = standIn.get();
    }
    const std::optional<qint64> number = CurrentNumber();
    if (!number)
        return;
    printout->ReceiptNumber = *number;
    printout->PrintReceipt();
}

void TForm71::CancelReceipt(DbConnection &conn, const QString &number)
{
    bool ok = false;
    const qint64 n = number.trimmed().toLongLong(&ok);
    if (!ok)
        throw DbError(QStringLiteral("Δεν έχει επιλεγεί απόδειξη."));
    Receipts::cancel(conn, n);
}

void TForm71::Button1Click()
{
    const std::optional<qint64> current = CurrentNumber();
    if (!current)
        return;
    const QString number = QString::number(*current);
    if (!Messages::confirm(QStringLiteral("Να ακυρώσω την απόδειξη με αριθμό") + QLatin1Char('\n') + number
                               + QLatin1Char(';'),
                           this))
        return;

    Receipts::cancel(ADOConnection1, *current);

    // Read again in the statement's date order, first row current.
    BusyCursor busy;
    ADOConnection1.close();
    ADOQuery1->close();
    ADOConnection1.prepare();
    Receipts::openIssued(*ADOQuery1);
    UpdateReceiptButtons();
}

void TForm71::FormClose()
{
    ADOQuery1->close();
    ADOConnection1.close();
}
