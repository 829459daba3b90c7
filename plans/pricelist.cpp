#include "plans/pricelist.h"
#include "ui_pricelist.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/practice/appstate.h"
#include "data/work/plans.h"
#include "data/work/settings.h"
#include "reports/reportengine.h"
#include <QDir>

namespace {
const QString NotStored = QStringLiteral("Η εργασία δεν αποθηκεύτηκε.");
}

TForm82::TForm82(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm82>()), ADOConnection1(std::make_unique<DbConnection>())
{
    ui->setupUi(this);
    setupDialog(this);
    for (QLabel *l : {ui->Label1, ui->Label2, ui->Label3})
        makeBold(l);
    for (QLabel *l : {ui->Label4, ui->Label5})
        makeRequiredMark(l);

    ADOQuery1 = new DataSet(ADOConnection1.get(), this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));
    ADOTable1 = new DataSet(ADOConnection1.get(), this);
    ADOTable1->setObjectName(QStringLiteral("ADOTable1"));
    ADOQuery2 = new DataSet(ADOConnection1.get(), this);
    ADOQuery2->setObjectName(QStringLiteral("ADOQuery2"));
    RvProject1 = new ReportProject(this);
    RvProject1->setObjectName(QStringLiteral("RvProject1"));
    RvProject1->addConnection(QStringLiteral("RvDataSetConnection1"), ADOTable1);
    RvProject1->addConnection(QStringLiteral("RvDataSetConnection2"), ADOQuery2);

    ui->DBGrid1->setDataSet(ADOQuery1);
    ui->DBGrid1->addColumn(QStringLiteral("KWDIKOS"), QStringLiteral("Κωδικός"));
    ui->DBGrid1->addColumn(QStringLiteral("PERIGRAFH"), QStringLiteral("Περιγραφή"));
    ui->DBGrid1->addColumn(QStringLiteral("TIMH"), QStringLiteral("Τιμή (EUR)"), Qt::AlignRight | Qt::AlignVCenter);
    ui->DBGrid1->addColumn(QStringLiteral("ENERGH_KEIMENO"), QStringLiteral("Ενεργή"), Qt::AlignCenter);

    connect(ADOQuery1, &DataSet::currentChanged, this, [this] { showCurrent(); });
    connect(ADOQuery1, &DataSet::dataReset, this, [this] { showCurrent(); });
    connect(ui->Edit1, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });
    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, guarded([this] { Button2Click(); }));
    connect(ui->Button3, &QPushButton::clicked, this, guarded([this] { Button3Click(); }));
    connect(ui->Button4, &QPushButton::clicked, this, guarded([this] { Button4Click(); }));
    connect(ui->Button5, &QPushButton::clicked, this, &QDialog::reject);

    // FormCreate
    runGuarded([this] {
        ADOConnection1->prepare();
        Plans::openPriceList(*ADOQuery1);
    });
    showCurrent();
}

TForm82::~TForm82() = default;

qint64 TForm82::currentId() const
{
    if (m_new || !ADOQuery1->isOpen() || ADOQuery1->recNo() < 0)
        return 0;
    return ADOQuery1->fieldValue(QStringLiteral("ID")).toLongLong();
}

void TForm82::showCurrent()
{
    // An empty list starts a new work at once.
    m_new = !ADOQuery1->isOpen() || ADOQuery1->recNo() < 0;
    showFields();
}

void TForm82::showFields()
{
    ui->Edit1->setText(m_new ? QString() : ADOQuery1->fieldText(QStringLiteral("KWDIKOS")));
    ui->Edit2->setText(m_new ? QString() : ADOQuery1->fieldText(QStringLiteral("PERIGRAFH")));
    ui->Edit3->setText(m_new ? QString() : Plans::priceText(ADOQuery1->fieldValue(QStringLiteral("TIMH_LEPTA")).toLongLong()));
    ui->CheckBox1->setChecked(m_new || ADOQuery1->fieldValue(QStringLiteral("ENERGH")).toInt() != 0);
    UpdateButtons();
}

void TForm82::UpdateButtons()
{
    const bool listed = ADOQuery1->isOpen() && ADOQuery1->recordCount() != 0;
    ui->Button2->setEnabled(ADOQuery1->isOpen() && !ui->Edit1->text().trimmed().isEmpty());
    ui->Button3->setEnabled(currentId() != 0);
    ui->Button4->setEnabled(listed);
}

void TForm82::reload(qint64 id)
{
    Plans::openPriceList(*ADOQuery1);
    const int idField = ADOQuery1->fieldIndex(QStringLiteral("ID"));
    for (int row = 0; row < ADOQuery1->rowCount(); ++row)
        if (ADOQuery1->value(row, idField).toLongLong() == id) {
            ADOQuery1->moveTo(row);
            break;
        }
    showCurrent();
}

void TForm82::Button1Click()
{
    ui->DBGrid1->clearSelection();
    m_new = true;
    showFields();
    ui->Edit1->setFocus();
}

void TForm82::Button2Click()
{
    // A refused price names its reason and leaves what was typed for correcting.
    const Plans::PriceReading price = Plans::readPrice(ui->Edit3->text());
    if (!price.cents) {
        Messages::plain(NotStored + QLatin1Char('\n') + price.refusal, this);
        ui->Edit3->setFocus();
        return;
    }
    Plans::Work w{.id = currentId(), .code = ui->Edit1->text().trimmed(), .description = ui->Edit2->text().trimmed(), .cents = *price.cents, .active = ui->CheckBox1->isChecked()};
    if (w.id == 0)
        w.id = Plans::addWork(*ADOConnection1, w);
    else
        Plans::changeWork(*ADOConnection1, w);
    reload(w.id);
}

void TForm82::Button3Click()
{
    const qint64 id = currentId();
    if (id == 0)
        return;
    const QString code = ADOQuery1->fieldText(QStringLiteral("KWDIKOS"));
    if (!Messages::confirm(QStringLiteral("Να διαγραφεί η εργασία %1 από τον τιμοκατάλογο;").arg(code), this))
        return;
    const int row = ADOQuery1->recNo();
    if (Plans::removeWork(*ADOConnection1, id)) {
        Plans::openPriceList(*ADOQuery1);
        if (ADOQuery1->rowCount() > 0)
            ADOQuery1->moveTo(std::min(row, ADOQuery1->rowCount() - 1));
        showCurrent();
        return;
    }
    reload(id);
    Messages::plain(QStringLiteral("Η εργασία %1 υπάρχει σε σχέδια θεραπείας, γι' αυτό δεν διαγράφηκε: έγινε ανενεργή"
                                   " και δεν θα προτείνεται σε νέα σχέδια.")
                        .arg(code),
                    this);
}

void TForm82::Button4Click()
{
    // The works on offer, under the practice's details.
    Settings::openPracticeDetails(*ADOTable1);
    Plans::openPriceList(*ADOQuery2, true);
    RvProject1->setProjectFile(AppDirectory + QDir::separator() + QStringLiteral("TIMOKATALOGOS.RAV"));
    RvProject1->execute();
    ADOQuery2->close();
    ADOTable1->close();
}

void TForm82::FormClose()
{
    ADOQuery2->close();
    ADOTable1->close();
    ADOQuery1->close();
    ADOConnection1->close();
}
