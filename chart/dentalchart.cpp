#include "chart/dentalchart.h"
#include "data/work/accesslog.h"
#include "ui_dentalchart.h"

#include "chart/toothchart.h"
#include "gui/customerfields.h"
#include "data/practice/appstate.h"
#include "data/db/clock.h"
#include "data/db/dataset.h"
#include "data/db/regional.h"
#include "data/work/plans.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "reports/reportengine.h"
#include <QDir>
#include <QShowEvent>

TForm80::TForm80(QWidget *parent)
    : QDialog(parent), ui(std::make_unique<Ui::TForm80>())
{
    ui->setupUi(this);
    ToothChart1 = new ToothChart(this);
    ToothChart1->setObjectName(QStringLiteral("ToothChart1"));
    ToothChart1->setGeometry(16, 84, 808, 330);
    setupDialog(this);
    NoDefaultButton(this);
    for (QWidget *l : {ui->Label1, ui->Label2, ui->Label3, ui->Label9, ui->Label10, ui->Label11, ui->Label12,
                       ui->Label13, ui->Label15})
        makeBold(l);
    for (QWidget *l : {ui->Label5, ui->Label6, ui->Label7})
        makeRequiredMark(l);

    m_surfaceBoxes[0] = ui->CheckBox1;
    m_surfaceBoxes[1] = ui->CheckBox2;
    m_surfaceBoxes[2] = ui->CheckBox3;
    m_surfaceBoxes[3] = ui->CheckBox4;
    m_surfaceBoxes[4] = ui->CheckBox5;

    ADOQuery1 = new DataSet(&ADOConnection1, this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));
    ADOQuery2 = new DataSet(&ADOConnection1, this);
    ADOQuery2->setObjectName(QStringLiteral("ADOQuery2"));
    ADOQuery3 = new DataSet(&ADOConnection1, this);
    ADOQuery3->setObjectName(QStringLiteral("ADOQuery3"));

    ui->DBComboBox1->addItems(Chart::conditions());
    ui->DBEdit1->setDataSource(ADOQuery1, QStringLiteral("DONTI"));
    ui->DBEdit2->setDataSource(ADOQuery1, QStringLiteral("HMEROMHNIA"));
    ui->DBEdit3->setDataSource(ADOQuery1, QStringLiteral("SHMEIWSH"));
    ui->DBComboBox1->setDataSource(ADOQuery1, QStringLiteral("KATASTASH"));

    DbGrid *g = ui->DBGrid1;
    g->setDataSet(ADOQuery1);
    g->addColumn(QStringLiteral("HMEROMHNIA"), QStringLiteral("Ημερομηνία"), Qt::AlignCenter);
    g->addColumn(QStringLiteral("DONTI"), QStringLiteral("Δόντι"), Qt::AlignCenter);
    g->addColumn(QStringLiteral("EPIFANEIES"), QStringLiteral("Επιφάνειες"), Qt::AlignCenter);
    g->addColumn(QStringLiteral("KATASTASH"), QStringLiteral("Κατάσταση"));
    g->addColumn(QStringLiteral("SHMEIWSH"), QStringLiteral("Σημείωση"));

    ui->DBNavigator1->setDataSet(ADOQuery1);
    ui->DBNavigator1->setVisibleButtons({DbNavigator::First, DbNavigator::Prior, DbNavigator::Next, DbNavigator::Last,
                                         DbNavigator::Insert, DbNavigator::Delete, DbNavigator::Post,
                                         DbNavigator::Cancel});

    RvProject1 = new ReportProject(this);
    RvProject1->setObjectName(QStringLiteral("RvProject1"));
    RvProject1->addConnection(QStringLiteral("RvDataSetConnection1"), ADOQuery3);
    RvProject1->addConnection(QStringLiteral("RvDataSetConnection2"), ADOQuery2);
    RvProject1->addConnection(QStringLiteral("RvDataSetConnection3"), ADOQuery1);

    connect(ADOQuery1, &DataSet::updateRecord, this, [this] { ADOQuery1UpdateRecord(); });
    for (auto signal : {&DataSet::currentChanged, &DataSet::stateChanged, &DataSet::dataReset})
        connect(ADOQuery1, signal, this, [this] { ShowCurrentEntry(); });
    connect(ADOQuery1, &DataSet::fieldChanged, this, [this] { ShowCurrentEntry(); });
    connect(ToothChart1, &ToothChart::toothClicked, this,
            [this](int fdi, QChar surface) { runGuarded([&] { ToothChart1Click(fdi, surface); }); });
    for (QCheckBox *box : m_surfaceBoxes)
        connect(box, &QCheckBox::clicked, this, guarded([this] { CheckBoxClick(); }));
    connect(ui->RadioButton1, &QRadioButton::clicked, this, guarded([this] { RadioButtonClick(); }));
    connect(ui->RadioButton2, &QRadioButton::clicked, this, guarded([this] { RadioButtonClick(); }));
    connect(ui->DateTimePicker1, &QDateEdit::dateChanged, this, guarded([this] { ShowChart(); }));
    connect(ui->DBNavigator1, &DbNavigator::clicked, this, [this](DbNavigator::Button b) {
        if (b == DbNavigator::Post || b == DbNavigator::Delete)
            runGuarded([this] { DBNavigator1Click(); });
        else if (b == DbNavigator::Insert)
            runGuarded([this] { StartEntry(0); });
    });
    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, &QDialog::reject);
}

TForm80::~TForm80() = default;

void TForm80::showEvent(QShowEvent *e)
{
    QDialog::showEvent(e);
    if (!e->spontaneous())
        runGuarded([this] { FormShow(); });
}

void TForm80::FormShow()
{
    const CustomerRef customer = CustomerRef::require(CustomerId);
    ui->Label5->setText(CustomerFirstName);
    ui->Label6->setText(CustomerSurname);
    ui->Label7->setText(CustomerBirthDate);
    m_loading = true;
    ui->DateTimePicker1->setDate(Clock::today());
    m_loading = false;
    ADOConnection1.prepare();
    Chart::open(*ADOQuery1, customer);
    AccessLog::recordLater(ADOConnection1, AccessLog::Action::Open, customer.value(), QStringLiteral("Οδοντόγραμμα"));
    ReadEntries();
    const Chart::Dentition dentition = Chart::openingDentition(m_entries);
    (dentition == Chart::Dentition::Primary ? ui->RadioButton2 : ui->RadioButton1)->setChecked(true);
    ToothChart1->setDentition(dentition);
    ShowChart();
    ShowCurrentEntry();
}

// The stored rows as chart entries; the data set is browsing.
void TForm80::ReadEntries()
{
    m_entries = Chart::entries(*ADOQuery1);
    m_plan = Plans::items(ADOConnection1, CustomerRef::require(CustomerId));
    ui->Label8->setText(QStringLiteral("Βρέθηκαν ") + QString::number(m_entries.size()) + QStringLiteral(" καταχωρήσεις"));
}

void TForm80::ShowChart()
{
    if (m_loading)
        return;
    const QDate day = ui->DateTimePicker1->date();
    QHash<int, Chart::ToothState> states = Chart::stateOn(m_entries, day);
    Plans::markPlanned(states, m_plan, day);
    ToothChart1->setStates(states);
}

// The surfaces boxes and the chart's outline follow the current row.
void TForm80::ShowCurrentEntry()
{
    const bool rowShown = ADOQuery1->isOpen() && ADOQuery1->rowCount() > 0;
    const int tooth = rowShown ? ADOQuery1->fieldValue(QStringLiteral("DONTI")).toInt() : 0;
    const QString letters = rowShown ? Chart::normalizeSurfaces(ADOQuery1->fieldText(QStringLiteral("EPIFANEIES"))) : QString();
    for (int i = 0; i < 5; ++i) {
        const QSignalBlocker block(m_surfaceBoxes[i]);
        m_surfaceBoxes[i]->setChecked(letters.contains(QLatin1Char(Chart::Surfaces[i])));
        m_surfaceBoxes[i]->setEnabled(rowShown);
        if (Chart::isTooth(tooth))
            m_surfaceBoxes[i]->setText(Chart::surfaceName(QLatin1Char(Chart::Surfaces[i]), tooth));
    }
    ToothChart1->setSelection(Chart::isTooth(tooth) ? tooth : 0, letters);
}

// Browsing, a click starts a new entry for the tooth (the whole tooth);
// while an entry is open, a click on its tooth turns a surface on or off
// and a click on another tooth moves the entry there.
void TForm80::ToothChart1Click(int fdi, QChar surface)
{
    const DataSetState state = ADOQuery1->state();
    if (state != DataSetState::Edit && state != DataSetState::Insert) {
        ADOQuery1->insert();
        StartEntry(fdi);
        return;
    }
    if (ADOQuery1->fieldValue(QStringLiteral("DONTI")).toInt() != fdi) {
        ADOQuery1->setFieldValue(QStringLiteral("DONTI"), fdi);
        Chart::setSurfaces(*ADOQuery1, QString());
        return;
    }
    Chart::setSurfaces(*ADOQuery1, Chart::toggleSurface(ADOQuery1->fieldText(QStringLiteral("EPIFANEIES")), surface));
}

// A new entry: the customer's, dated today, for the tooth when one was clicked.
void TForm80::StartEntry(int fdi)
{
    if (ADOQuery1->state() != DataSetState::Insert)
        return;
    Chart::startEntry(*ADOQuery1, CustomerRef::require(CustomerId), fdi);
}

void TForm80::CheckBoxClick()
{
    QString letters;
    for (int i = 0; i < 5; ++i)
        if (m_surfaceBoxes[i]->isChecked())
            letters += QLatin1Char(Chart::Surfaces[i]);
    Chart::setSurfaces(*ADOQuery1, letters);
}

void TForm80::RadioButtonClick()
{
    ToothChart1->setDentition(ui->RadioButton2->isChecked() ? Chart::Dentition::Primary : Chart::Dentition::Permanent);
}

void TForm80::ADOQuery1UpdateRecord()
{
    Chart::completeEntry(*ADOQuery1, CustomerRef::require(CustomerId));
}

// After a stored, corrected or deleted entry: the rows again, newest first.
void TForm80::DBNavigator1Click()
{
    const DataSetState state = ADOQuery1->state();
    if (state == DataSetState::Edit || state == DataSetState::Insert) {
        ShowCurrentEntry();
        return;
    }
    ADOQuery1->close();
    ADOQuery1->open();
    ReadEntries();
    ShowChart();
    ShowCurrentEntry();
}

void TForm80::Button1Click()
{
    const CustomerRef customer = CustomerRef::require(CustomerId);
    ADOQuery1->checkBrowseMode();
    DBNavigator1Click();
    Chart::openPrintout(*ADOQuery2, *ADOQuery3, customer);
    AccessLog::recordLater(ADOConnection1, AccessLog::Action::Print, customer.value(), QStringLiteral("Οδοντόγραμμα"));
    // The chart as drawn now (the teeth shown, on the chosen day), without
    // the outline of the current entry.
    ToothChart1->setSelection(0, QString());
    RvProject1->setImage(QStringLiteral("CHART"), ToothChart1->grab().toImage());
    ShowCurrentEntry();
    RvProject1->setValue(QStringLiteral("CHART_DATE"), Regional::formatDate(ui->DateTimePicker1->date()));
    RvProject1->setProjectFile(AppDirectory + QDir::separator() + QStringLiteral("ODONTOGRAMMA.RAV"));
    RvProject1->execute();
}

void TForm80::done(int r)
{
    ADOQuery1->close();
    ADOQuery2->close();
    ADOQuery3->close();
    ADOConnection1.close();
    QDialog::done(r);
}
