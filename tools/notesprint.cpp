#include "tools/notesprint.h"
#include "ui_notesprint.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "data/practice/appstate.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/work/notes.h"
#include "reports/reportengine.h"
#include <QDir>

TForm7 *Form7 = nullptr;

TForm7::TForm7(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm7>()), ADOConnection1(std::make_unique<DbConnection>())
{
    ui->setupUi(this);
    setupDialog(this);

    ADOQuery1 = new DataSet(ADOConnection1.get(), this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));
    RvProject2 = new ReportProject(this);
    RvProject2->setObjectName(QStringLiteral("RvProject2"));
    RvProject2->addConnection(QStringLiteral("RvDataSetConnection2"), ADOQuery1);

    connect(ui->Button1, &QPushButton::clicked, this, guarded([this] { Button1Click(); }));
    connect(ui->Button2, &QPushButton::clicked, this, guarded([this] { Button2Click(); }));
    connect(ui->Button3, &QPushButton::clicked, this, &QDialog::reject);
}

TForm7::~TForm7() = default;

void TForm7::Button1Click()
{
    printNotes([](DataSet &print) { Notes::selectAll(print); });
}

void TForm7::Button2Click()
{
    // The key comes from the notebook's own row, digits only; a note not yet
    // stored has none, and then nothing is printed rather than a refused statement.
    bool isNumber = false;
    const qint64 id = SelectedNoteId.toLongLong(&isNumber);
    if (!isNumber)
        return;
    printNotes([id](DataSet &print) { Notes::selectOne(print, id); });
}

void TForm7::printNotes(const std::function<void(DataSet &)> &select)
{
    ADOConnection1->prepare();
    select(*ADOQuery1);
    RvProject2->setProjectFile(AppDirectory + QDir::separator() + QStringLiteral("NOTES.RAV"));
    RvProject2->execute();
    ADOQuery1->close();
    ADOQuery1->setSql(QString());
    ADOConnection1->close();
}

void TForm7::FormClose()
{
    ADOQuery1->close();
    ADOConnection1->close();
}
