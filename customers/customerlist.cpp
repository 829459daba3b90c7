#include "customers/customerlist.h"
#include "ui_customerlist.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/customerfields.h"
#include "customers/customercard.h"
#include "customers/customerhistory.h"
#include "chart/dentalchart.h"
#include "customers/customerprintouts.h"
#include "gui/modal.h"
#include "customers/visits.h"
#include "plans/treatmentplan.h"
#include "receipts/customertakings.h"
#include "receipts/issuereceipt.h"
#include "data/practice/appstate.h"
#include "data/practice/roles.h"
#include "data/work/customerid.h"
#include "data/db/dataset.h"
#include "data/work/accesslog.h"
#include "data/work/customers.h"
#include "data/work/patientexport.h"
#include "gui/messages.h"
#include "reports/patientexport.h"
#include <QDir>
#include <QFileDialog>
#include <QMenuBar>

TForm18 *Form18 = nullptr;

namespace {

TForm18::FolderPicker &exportFolderPicker()
{
    static TForm18::FolderPicker picker;
    return picker;
}

// Opens a window that takes the current customer's names and ID.
template <class Window>
void OpenForCustomer(TForm18 *list)
{
    if (!list->HasCurrentCustomer())
        return;
    Window w;
    w.CustomerFirstName = list->CurrentFirstName();
    w.CustomerSurname = list->CurrentSurname();
    w.CustomerId = list->CurrentId();
    ShowModal(&w);
}

}

TForm18::TForm18(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm18>())
{
    ui->setupUi(this);

    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    MainMenu1->setGeometry(0, 0, width(), 24);
    N1 = MainMenu1->addMenu(QStringLiteral("Επιλογές"));
    N1->setObjectName(QStringLiteral("N1"));
    auto item = [this](const char *name, const QString &caption) {
        QAction *a = N1->addAction(caption);
        a->setObjectName(QLatin1String(name));
        return a;
    };
    N2 = item("N2", QStringLiteral("Στοιχεί&α πελάτη"));
    N3 = item("N3", QStringLiteral("Ιστορικό πελάτη"));
    N11 = item("N11", QStringLiteral("Οδοντόγραμμα"));
    N12 = item("N12", QStringLiteral("Σχέδιο θεραπείας"));
    N4 = item("N4", QStringLiteral("Επισκέ&ψεις πελάτη"));
    N1->addSeparator();
    N6 = item("N6", QStringLiteral("Εισπράξεις από πελάτη"));
    KLLLL1 = item("KLLLL1", QStringLiteral("Έκδοση απόδειξ&ης"));
    N1->addSeparator();
    N5 = item("N5", QStringLiteral("Ε&κτυπώσεις"));
    N13 = item("N13", QStringLiteral("Εξαγωγή στοιχείων πελάτη"));
    N10 = item("N10", QStringLiteral("Έ&ξοδος"));

    setupDialog(this);
    NoDefaultButton(this);
    QPalette red = ui->Label1->palette();
    red.setColor(QPalette::WindowText, Qt::red);
    ui->Label1->setPalette(red);
    makeBold(ui->Label1);

    ADOQuery1 = new DataSet(&ADOConnection1, this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));

    DbGrid *g = ui->DBGrid1;
    g->setDataSet(ADOQuery1);
    const Qt::Alignment left = Qt::AlignLeft | Qt::AlignVCenter;
    g->addColumn(QStringLiteral("ONOMA"), QStringLiteral("Όνομα"), left);
    g->addColumn(QStringLiteral("EPWNYMO"), QStringLiteral("Επώνυμο"), left);
    g->addColumn(QStringLiteral("FYLO"), QStringLiteral("Φύλο"), Qt::AlignCenter);
    g->addColumn(QStringLiteral("HMEROMHNIA_GENNHSEWS"), QStringLiteral("Ημερ.Γενν."), Qt::AlignCenter);
    g->addColumn(QStringLiteral("DIEYTHYNSH"), QStringLiteral("Διεύθυνση"), left);
    g->addColumn(QStringLiteral("THLEFWNO_1"), QStringLiteral("Τηλέφωνο 1"), left);
    g->addColumn(QStringLiteral("THLEFWNO_2"), QStringLiteral("Τηλέφωνο 2"), left);
    g->addColumn(QStringLiteral("EPAGGELMA"), QStringLiteral("Επάγγελμα"), left);
    g->addColumn(QStringLiteral("TAMEIO"), QStringLiteral("Ταμείο"), Qt::AlignCenter);

    ui->DBText1->setDataSource(ADOQuery1, QStringLiteral("ID"));
    ui->DBText2->setDataSource(ADOQuery1, QStringLiteral("ONOMA"));
    ui->DBText3->setDataSource(ADOQuery1, QStringLiteral("EPWNYMO"));
    ui->DBText5->setDataSource(ADOQuery1, QStringLiteral("HMEROMHNIA_GENNHSEWS"));

    ui->DBNavigator1->setDataSet(ADOQuery1);
    connect(ui->DBNavigator1, &DbNavigator::clicked, this, guarded([this] { RefreshCount(); }));
    // Both ways of deleting (the navigator, Ctrl+Delete in the grid) go
    // through the unit that keeps medical records for their period.
    ADOQuery1->setDeleter([this] { DeleteCustomer(); });
    // A deletion with Ctrl+Delete in the grid counts like the navigator's.
    connect(ADOQuery1, &DataSet::afterDelete, this, guarded([this] { RefreshCount(); }));

    const std::pair<QRadioButton *, const char *> sortBy[] = {
        {ui->RadioButton2, "EPWNYMO"}, {ui->RadioButton3, "HMEROMHNIA_GENNHSEWS"}, {ui->RadioButton10, "FYLO"}, {ui->RadioButton5, "EPAGGELMA"}, {ui->RadioButton6, "TAMEIO"}};
    for (const auto &[radio, field] : sortBy) {
        const QString f = QLatin1String(field);
        connect(radio, &QRadioButton::clicked, this, guarded([this, f] { SortByClick(f); }));
    }
    connect(ui->RadioButton8, &QRadioButton::clicked, this, guarded([this] { SortKindClick(QStringLiteral(" ASC")); }));
    connect(ui->RadioButton9, &QRadioButton::clicked, this, guarded([this] { SortKindClick(QStringLiteral(" DESC")); }));

    using Roles::Duty;
    const std::tuple<QPushButton *, QAction *, void (TForm18::*)(), Duty> actions[] = {
        {ui->Button2, N2, &TForm18::Button2Click, Duty::Customers},
        {ui->Button3, N3, &TForm18::Button3Click, Duty::Clinical},
        {ui->Button8, N11, &TForm18::Button8Click, Duty::Clinical},
        {ui->Button9, N12, &TForm18::Button9Click, Duty::Clinical},
        {ui->Button1, N4, &TForm18::Button1Click, Duty::Clinical},
        {ui->Button7, N6, &TForm18::Button7Click, Duty::Receipts},
        {ui->Button6, KLLLL1, &TForm18::Button6Click, Duty::Receipts},
        {ui->Button5, N5, &TForm18::Button5Click, Duty::Customers},
        {ui->Button10, N13, &TForm18::Button10Click, Duty::PatientExport}};
    for (const auto &[button, action, handler, duty] : actions) {
        // Reached however (a shortcut, a hidden entry), an action the role may not use says so.
        auto run = guarded([this, h = handler, d = duty] {
            if (!Roles::allowed(d))
                Messages::error(Roles::refusal(d), this);
            else
                (this->*h)();
        });
        connect(button, &QPushButton::clicked, this, run);
        connect(action, &QAction::triggered, this, run);
        m_roleEntries.push_back({button, action, duty});
    }
    connect(ui->Button4, &QPushButton::clicked, this, &QDialog::reject);
    connect(N10, &QAction::triggered, this, &QDialog::reject);

    // Issuing a receipt waits until the receipt numbering is fixed.
    ui->Button6->setEnabled(false);
    KLLLL1->setEnabled(false);
}

TForm18::~TForm18() = default;

bool TForm18::HasCurrentCustomer() const
{
    return ADOQuery1->isOpen() && ADOQuery1->recordCount() > 0 && CustomerRef::parse(CurrentId()).has_value();
}

QString TForm18::CurrentId() const { return ui->DBText1->text().trimmed(); }
QString TForm18::CurrentFirstName() const { return ui->DBText2->text().trimmed(); }
QString TForm18::CurrentSurname() const { return ui->DBText3->text().trimmed(); }
QString TForm18::CurrentBirthDate() const { return ui->DBText5->text().trimmed(); }

void TForm18::FormShow()
{
    ADOConnection1.prepare();
    ADOQuery1->close();
    ADOQuery1->setSql(ListSql);
    ADOQuery1->open();
    for (const RoleEntry &e : m_roleEntries) {
        e.button->setVisible(Roles::allowed(e.duty));
        e.action->setVisible(Roles::allowed(e.duty));
    }
    // Deleting takes the clinical data with the customer.
    const bool mayDelete = Roles::allowed(Roles::Duty::CustomerDeletion);
    QList<DbNavigator::Button> moves{DbNavigator::First, DbNavigator::Prior, DbNavigator::Next, DbNavigator::Last};
    if (mayDelete)
        moves << DbNavigator::Delete;
    ui->DBNavigator1->setVisibleButtons(moves);
    ui->DBGrid1->setCtrlDeleteEnabled(mayDelete);
    RefreshCount();

    ui->RadioButton2->setChecked(true);
    ui->RadioButton8->setChecked(true);
    SortField = QStringLiteral("EPWNYMO");
    SortDirection = QStringLiteral(" ASC");
    ApplySort();

    if (NumberingFixed) {
        ui->Button6->setEnabled(true);
        KLLLL1->setEnabled(true);
    }
}

void TForm18::RefreshCount()
{
    const int n = ADOQuery1->recordCount();
    ui->Label1->setText(QStringLiteral("Βρέθηκαν ") + QString::number(n) + QStringLiteral(" πελάτες"));
    const bool any = n > 0;
    ui->GroupBox1->setVisible(any);
    ui->GroupBox2->setVisible(any);
    ui->GroupBox3->setVisible(any);
    ui->Button10->setVisible(any && Roles::allowed(Roles::Duty::PatientExport));
    N1->menuAction()->setVisible(any);
    ui->DBNavigator1->setVisible(any);
}

void TForm18::ApplySort()
{
    ADOQuery1->setSort(SortField + SortDirection);
}

void TForm18::SortByClick(const QString &field)
{
    SortField = field;
    ApplySort();
}

void TForm18::SortKindClick(const QString &direction)
{
    SortDirection = direction;
    ApplySort();
}

// After the card: the rows again, in the statement's own order, first row
// current. The radio buttons keep their choice. The card may have taken
// the customer out of the list: the count and the actions follow the rows.
void TForm18::ReRead()
{
    ADOQuery1->close();
    ADOConnection1.prepare();
    ADOQuery1->open();   // closing forgot the sort
    RefreshCount();
}

void TForm18::Button2Click()
{
    if (!HasCurrentCustomer())
        return;
    {
        TForm19 card;
        card.CustomerId = CurrentId();
        ShowModal(&card);
    }
    ReRead();
}

void TForm18::Button3Click()
{
    if (!HasCurrentCustomer())
        return;
    TForm20 history;
    history.CustomerId = CurrentId();
    history.CustomerFirstName = CurrentFirstName();
    history.CustomerSurname = CurrentSurname();
    history.CustomerBirthDate = CurrentBirthDate();
    ShowModal(&history);
}

void TForm18::Button8Click()
{
    if (!HasCurrentCustomer())
        return;
    TForm80 chart;
    chart.CustomerId = CurrentId();
    chart.CustomerFirstName = CurrentFirstName();
    chart.CustomerSurname = CurrentSurname();
    chart.CustomerBirthDate = CurrentBirthDate();
    ShowModal(&chart);
}

void TForm18::Button9Click()
{
    OpenForCustomer<TForm83>(this);
}

void TForm18::Button1Click()
{
    OpenForCustomer<TFORM17A>(this);
}

void TForm18::Button7Click()
{
    OpenForCustomer<TForm57>(this);
}

void TForm18::Button6Click()
{
    OpenForCustomer<TForm56>(this);
}

void TForm18::Button5Click()
{
    if (!HasCurrentCustomer())
        return;
    if (!Form22)
        Form22 = new TForm22;
    Form22->CustomerId = CurrentId();
    Form22->ListCriteria = ListCriteria;
    Form22->ListSql = ListSql;
    ShowModal(Form22);
}

void TForm18::setExportFolderPicker(FolderPicker picker) { exportFolderPicker() = std::move(picker); }

void TForm18::Button10Click()
{
    if (!HasCurrentCustomer())
        return;
    const CustomerRef customer = CustomerRef::require(CurrentId());
    const QString folder = exportFolderPicker()
        ? exportFolderPicker()(this)
        : QFileDialog::getExistingDirectory(this, QStringLiteral("Φάκελος για τα στοιχεία του πελάτη"));
    if (folder.isEmpty())
        return;
    const PatientExportFiles::Written w = PatientExportFiles::write(PatientExport::read(ADOConnection1, customer), folder);
    AccessLog::record(ADOConnection1, AccessLog::Action::Export, customer.value(), QStringLiteral("PDF και JSON"));
    Messages::plain(QStringLiteral("Τα στοιχεία του πελάτη γράφτηκαν στα αρχεία:\n%1\n%2")
                        .arg(QDir::toNativeSeparators(w.pdf), QDir::toNativeSeparators(w.json)),
                    this);
}

void TForm18::DeleteCustomer()
{
    Customers::remove(ADOConnection1, CustomerRef::require(ADOQuery1->fieldText(QStringLiteral("ID"))));
}

void TForm18::FormClose()
{
    ADOQuery1->close();
    ADOConnection1.close();
}
