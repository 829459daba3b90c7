#include "plans/treatmentplan.h"
#include "ui_treatmentplan.h"

#include "data/db/clock.h"
#include "data/practice/appstate.h"
#include "data/work/accesslog.h"
#include "data/work/chart.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "gui/modal.h"
#include "plans/planitems.h"
#include "receipts/issuereceipt.h"
#include "reports/estimate.h"
#include <QHeaderView>

namespace {
const QString NotAdded = QStringLiteral("Η εργασία δεν προστέθηκε.");
const QString NoWork = QStringLiteral("Διαλέξτε μια εργασία από τον τιμοκατάλογο.");
const QString NotATooth = QStringLiteral("Το δόντι γράφεται με τον αριθμό του κατά FDI: 11 έως 48 για τα μόνιμα, "
                                         "51 έως 85 για τα νεογιλά· για εργασία χωρίς δόντι μένει κενό.");
const QString NoneChosen = QStringLiteral("Διαλέξτε πρώτα μία ή περισσότερες εργασίες του σχεδίου.");

// The tooth typed: 0 for none, -1 when the text is no FDI number.
int TypedTooth(const QString &text)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return 0;
    bool ok = false;
    const int n = t.toInt(&ok);
    return ok && Chart::isTooth(n) ? n : -1;
}
}

TForm83::TForm83(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm83>())
{
    ui->setupUi(this);
    setupDialog(this);
    for (QWidget *w : {ui->Label1, ui->Label2, ui->Label5, ui->Label6, ui->Label7, ui->Label8, ui->Label10, ui->Label11,
                       ui->Label12, ui->Label13, ui->Label14, ui->Label15})
        makeBold(w);

    m_surfaceBoxes[0] = ui->CheckBox1;
    m_surfaceBoxes[1] = ui->CheckBox2;
    m_surfaceBoxes[2] = ui->CheckBox3;
    m_surfaceBoxes[3] = ui->CheckBox4;
    m_surfaceBoxes[4] = ui->CheckBox5;
    for (int i = 0; i < 5; ++i)
        m_surfaceBoxes[i]->setText(QString(QLatin1Char(Chart::Surfaces[i])));

    m_items = new PlanItemsModel(this);
    QTableView *g = ui->Grid1;
    g->setModel(m_items);
    g->setSelectionBehavior(QAbstractItemView::SelectRows);
    g->setSelectionMode(QAbstractItemView::ExtendedSelection);
    g->setEditTriggers(QAbstractItemView::NoEditTriggers);
    g->verticalHeader()->hide();
    g->horizontalHeader()->setStretchLastSection(false);
    g->horizontalHeader()->setSectionResizeMode(PlanItemsModel::Work, QHeaderView::Stretch);
    const std::pair<int, int> widths[] = {{PlanItemsModel::Bill, 62}, {PlanItemsModel::Tooth, 50}, {PlanItemsModel::Surfaces, 76}, {PlanItemsModel::Price, 80}, {PlanItemsModel::State, 120}, {PlanItemsModel::Done, 84}, {PlanItemsModel::Note, 150}, {PlanItemsModel::Receipt, 70}};
    for (const auto &[column, width] : widths)
        g->setColumnWidth(column, width);

    connect(m_items, &QAbstractItemModel::dataChanged, this, guarded([this] { UpdateButtons(); }));
    connect(ui->ComboBox1, &QComboBox::currentIndexChanged, this, guarded([this] { WorkChosen(); }));
    connect(ui->Edit1, &QLineEdit::textChanged, this, guarded([this] { ToothTyped(); }));
    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, guarded([this] { SetState(Plans::State::Done); }));
    connect(ui->Button3, &QPushButton::clicked, this, guarded([this] { SetState(Plans::State::Cancelled); }));
    connect(ui->Button7, &QPushButton::clicked, this, guarded([this] { SetState(Plans::State::Planned); }));
    connect(ui->Button5, &QPushButton::clicked, this, guarded([this] { Button5Click(); }));
    connect(ui->Button6, &QPushButton::clicked, this, guarded([this] { Button6Click(); }));
    connect(ui->Button4, &QPushButton::clicked, this, &QDialog::reject);
}

TForm83::~TForm83() = default;

void TForm83::FormShow()
{
    const CustomerRef customer = CustomerRef::require(CustomerId);
    ui->Label3->setText(CustomerFirstName);
    ui->Label4->setText(CustomerSurname);
    ui->DateTimePicker1->setDate(Clock::today());
    ADOConnection1.prepare();
    m_works = Plans::priceList(ADOConnection1, true);
    {
        const QSignalBlocker block(ui->ComboBox1);
        ui->ComboBox1->clear();
        for (const Plans::Work &w : std::as_const(m_works))
            ui->ComboBox1->addItem(w.code + QStringLiteral(" – ") + w.description);
        ui->ComboBox1->setCurrentIndex(m_works.isEmpty() ? -1 : 0);
    }
    WorkChosen();
    ui->Button1->setEnabled(!m_works.isEmpty());
    m_items->load(ADOConnection1, customer);
    AccessLog::recordLater(ADOConnection1, AccessLog::Action::Open, customer.value(), QStringLiteral("Σχέδιο θεραπείας"));
    ShowTotals();
    ui->ComboBox1->setFocus();
}

void TForm83::ReadPlan()
{
    m_items->load(ADOConnection1, CustomerRef::require(CustomerId));
    ShowTotals();
}

void TForm83::ShowTotals()
{
    const Plans::Totals &t = m_items->totals();
    ui->Label16->setText(Plans::priceText(t.planned));
    ui->Label17->setText(Plans::priceText(t.done));
    ui->Label18->setText(Plans::priceText(t.billed));
    ui->Label19->setText(Plans::priceText(t.outstanding));
    ui->Label20->setText(QStringLiteral("Βρέθηκαν %1 εργασίες").arg(m_items->rowCount()));
    UpdateButtons();
}

// Billing waits, as the customer list's issuing does, until the receipt
// numbering is fixed; the estimate prints the planned items.
void TForm83::UpdateButtons()
{
    ui->Button6->setEnabled(NumberingFixed && !m_items->ticked().isEmpty());
    bool planned = false;
    for (const Plans::Item &i : m_items->items())
        planned = planned || i.state == Plans::State::Planned;
    ui->Button5->setEnabled(planned);
}

// The price offered is the list's; it can be changed for this item.
void TForm83::WorkChosen()
{
    const int row = ui->ComboBox1->currentIndex();
    ui->Edit2->setText(row >= 0 && row < m_works.size() ? Plans::priceText(m_works.at(row).cents) : QString());
}

// Surfaces are named for the tooth typed; without a tooth there are none.
void TForm83::ToothTyped()
{
    const int tooth = TypedTooth(ui->Edit1->text());
    for (int i = 0; i < 5; ++i) {
        QCheckBox *box = m_surfaceBoxes[i];
        box->setEnabled(tooth > 0);
        if (tooth > 0)
            box->setText(Chart::surfaceName(QLatin1Char(Chart::Surfaces[i]), tooth));
        else
            box->setChecked(false);
    }
}

void TForm83::Button1Click()
{
    const int row = ui->ComboBox1->currentIndex();
    if (row < 0 || row >= m_works.size()) {
        Messages::plain(NotAdded + QLatin1Char('\n') + NoWork, this);
        return;
    }
    const int tooth = TypedTooth(ui->Edit1->text());
    if (tooth < 0) {
        Messages::plain(NotAdded + QLatin1Char('\n') + NotATooth, this);
        ui->Edit1->setFocus();
        return;
    }
    const Plans::PriceReading price = Plans::readPrice(ui->Edit2->text());
    if (!price.cents) {
        Messages::plain(NotAdded + QLatin1Char('\n') + price.refusal, this);
        ui->Edit2->setFocus();
        return;
    }
    QString surfaces;
    for (int i = 0; i < 5; ++i)
        if (tooth > 0 && m_surfaceBoxes[i]->isChecked())
            surfaces += QLatin1Char(Chart::Surfaces[i]);
    Plans::addItem(ADOConnection1, CustomerRef::require(CustomerId),
                   {.work = m_works.at(row).id, .tooth = tooth, .surfaces = surfaces, .cents = *price.cents, .note = ui->Edit3->text().trimmed()});
    ui->Edit1->clear();
    ui->Edit3->clear();
    WorkChosen();
    ReadPlan();
    ui->Grid1->selectRow(m_items->rowCount() - 1);
}

// Each selected item takes the state; done on the day chosen above. An
// item that refuses (billed meanwhile) stops the rest and is reported.
void TForm83::SetState(Plans::State state)
{
    QList<qint64> ids;
    for (const QModelIndex &index : ui->Grid1->selectionModel()->selectedRows())
        ids << m_items->items().at(index.row()).id;
    if (ids.isEmpty()) {
        Messages::plain(NoneChosen, this);
        return;
    }
    try {
        for (const qint64 id : std::as_const(ids))
            Plans::setState(ADOConnection1, id, state, ui->DateTimePicker1->date());
    } catch (const DbError &) {
        ReadPlan();
        throw;
    }
    ReadPlan();
}

void TForm83::Button5Click()
{
    PrintEstimate(CustomerId);
}

// The ticked items go to the issuing window with their sum and a
// description naming them; issued, they show its number here.
void TForm83::Button6Click()
{
    const QList<Plans::Item> chosen = m_items->ticked();
    if (chosen.isEmpty())
        return;
    {
        TForm56 issue;
        issue.CustomerId = CustomerId;
        issue.CustomerFirstName = CustomerFirstName;
        issue.CustomerSurname = CustomerSurname;
        for (const Plans::Item &i : chosen)
            issue.PlanItems << i.id;
        issue.PlanAmount = Plans::priceText(Plans::sum(chosen));
        issue.PlanDescription = Plans::billDescription(chosen);
        ShowModal(&issue);
    }
    ReadPlan();
}

void TForm83::FormClose()
{
    ADOConnection1.close();
}
