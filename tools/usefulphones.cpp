#include "tools/usefulphones.h"
#include "ui_usefulphones.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/work/phones.h"

TForm10::TForm10(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm10>()), ADOConnection1(std::make_unique<DbConnection>())
{
    ui->setupUi(this);
    setupDialog(this);
    for (QLabel *l : {ui->Label1, ui->Label2, ui->Label3, ui->Label4, ui->Label5, ui->Label6, ui->Label10})
        makeBold(l);
    for (QLabel *l : {ui->Label7, ui->Label8, ui->Label9})
        makeRequiredMark(l);

    ADOTable1 = new DataSet(ADOConnection1.get(), this);
    ADOTable1->setObjectName(QStringLiteral("ADOTable1"));

    const struct {
        DbEdit *edit;
        const char *field;
        const char *title;
    } columns[] = {
        {ui->DBEdit1, "ONOMATEPWNYMO", "Ονοματεπώνυμο"},
        {ui->DBEdit2, "DIEYTHYNSH", "Διεύθυνση"},
        {ui->DBEdit3, "THLEFWNO_1", "Τηλέφωνο 1"},
        {ui->DBEdit4, "THLEFWNO_2", "Τηλέφωνο 2"},
        {ui->DBEdit5, "FAX", "Fax"},
        {ui->DBEdit6, "EMAIL", "Email"},
        {ui->DBEdit7, "PERIGRAFH", "Περιγραφή"},
    };
    ui->DBGrid1->setDataSet(ADOTable1);
    for (const auto &c : columns) {
        c.edit->setDataSource(ADOTable1, QString::fromLatin1(c.field));
        ui->DBGrid1->addColumn(QString::fromLatin1(c.field), QString::fromUtf8(c.title));
    }
    ui->DBGrid1->setCtrlDeleteEnabled(true);
    ui->DBNavigator1->setDataSet(ADOTable1);
    ui->DBNavigator1->setVisibleButtons({DbNavigator::First, DbNavigator::Prior, DbNavigator::Next,
                                         DbNavigator::Last, DbNavigator::Insert, DbNavigator::Delete,
                                         DbNavigator::Post});
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::reject);

    // FormCreate
    runGuarded([this] {
        ADOConnection1->prepare();
        Phones::openList(*ADOTable1);
    });
}

TForm10::~TForm10() = default;

void TForm10::FormClose()
{
    ADOTable1->close();
    ADOConnection1->close();
}
