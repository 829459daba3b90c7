#include "tools/notebook.h"
#include "ui_notebook.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/work/notes.h"
#include "tools/notesprint.h"

TForm6::TForm6(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm6>()), ADOConnection1(std::make_unique<DbConnection>())
{
    ui->setupUi(this);
    setupDialog(this);
    makeBold(ui->Label1);
    makeBold(ui->Label2);
    makeRequiredMark(ui->Label3);
    makeRequiredMark(ui->Label4);

    ADOTable1 = new DataSet(ADOConnection1.get(), this);
    ADOTable1->setObjectName(QStringLiteral("ADOTable1"));
    ui->DBEdit1->setDataSource(ADOTable1, QStringLiteral("TITLOS"));
    ui->DBMemo1->setDataSource(ADOTable1, QStringLiteral("PERIGRAFH"));
    ui->DBText1->setDataSource(ADOTable1, QStringLiteral("ID"));
    ui->DBGrid1->setDataSet(ADOTable1);
    ui->DBGrid1->addColumn(QStringLiteral("TITLOS"), QStringLiteral("Τίτλος"));
    ui->DBGrid1->setCtrlDeleteEnabled(true);
    ui->DBNavigator1->setDataSet(ADOTable1);
    ui->DBNavigator1->setVisibleButtons({DbNavigator::First, DbNavigator::Prior, DbNavigator::Next,
                                         DbNavigator::Last, DbNavigator::Insert, DbNavigator::Delete,
                                         DbNavigator::Post});

    connect(ui->DBNavigator1, &DbNavigator::clicked, this, [this] { UpdatePrintButton(); });
    connect(ui->Button2, &QPushButton::clicked, this, guarded([this] { Button2Click(); }));
    connect(ui->Button1, &QPushButton::clicked, this, &QDialog::reject);

    // FormCreate
    runGuarded([this] {
        ADOConnection1->prepare();
        Notes::openNotebook(*ADOTable1);
    });
    UpdatePrintButton();
}

TForm6::~TForm6() = default;

void TForm6::UpdatePrintButton()
{
    ui->Button2->setEnabled(ADOTable1->isOpen() && ADOTable1->recordCount() != 0);
}

void TForm6::Button2Click()
{
    // The print window lives for the whole run; a stand-in serves when the
    // notebook is used on its own.
    std::unique_ptr<TForm7> standIn;
    TForm7 *print = Form7;
    if (!print) {
        standIn = std::make_unique<TForm7>(this);
        print = standIn.get();
    }
    print->SelectedNoteId = ui->DBText1->text().trimmed();
    print->exec();
}

void TForm6::FormClose()
{
    ADOTable1->close();
    ADOConnection1->close();
}
