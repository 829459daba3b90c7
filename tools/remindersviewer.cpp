#include "tools/remindersviewer.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "data/db/dataset.h"
#include "ui_remindersviewer.h"

TForm12::TForm12(QWidget *parent)
    : FormDialog(parent), ADOQuery1(new DataSet(&ADOConnection1, this)), ui(std::make_unique<Ui::TForm12>())
{
    ui->setupUi(this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));
    setupDialog(this);
    setWindowFlag(Qt::WindowStaysOnTopHint, true);
    ui->DBMemo1->setDataSource(ADOQuery1, QStringLiteral("PERIGRAFH"));
    ui->DBMemo1->setReadOnly(true);
    connect(ui->Button1, &QPushButton::clicked, this, [this] { reject(); });
}

TForm12::~TForm12() = default;

void TForm12::FormShow()
{
    ADOConnection1.prepare();
    ADOQuery1->open();
}

void TForm12::FormClose()
{
    ADOQuery1->close();
    ADOConnection1.close();
}
