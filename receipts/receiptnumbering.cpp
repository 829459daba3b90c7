#include "receipts/receiptnumbering.h"
#include "ui_receiptnumbering.h"

#include "gui/formstyle.h"
#include "gui/guard.h"
#include "data/db/connection.h"
#include "data/db/dataset.h"
#include "data/work/settings.h"

TForm9::TForm9(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm9>()), ADOConnection1(std::make_unique<DbConnection>())
{
    ui->setupUi(this);
    setupDialog(this);
    makeBold(ui->Label1);
    makeRequiredMark(ui->Label2);

    ADOTable1 = new DataSet(ADOConnection1.get(), this);
    ADOTable1->setObjectName(QStringLiteral("ADOTable1"));
    ui->DBEdit1->setDataSource(ADOTable1, QStringLiteral("LAST"));
    ui->DBNavigator1->setDataSet(ADOTable1);
    ui->DBNavigator1->setVisibleButtons({DbNavigator::Post});

    connect(ui->Button2, &QPushButton::clicked, this, &QDialog::reject);
    // After the edit has handed over its text: only a positive whole number
    // with a successor is stored; anything else keeps the row in editing
    // for correcting.
    connect(ADOTable1, &DataSet::updateRecord, this, [this] {
        const QVariant last = ADOTable1->fieldValue(QStringLiteral("LAST"));
        if (last.typeId() != QMetaType::LongLong || last.toLongLong() <= 0)
            throw DbError(QStringLiteral("Ο αριθμός της πρώτης απόδειξης πρέπει να είναι θετικός ακέραιος."));
        if (!Settings::usableNumber(last.toLongLong()))
            throw DbError(QStringLiteral("Ο αριθμός %1 είναι ο μεγαλύτερος που χωρά· η επόμενη απόδειξη δεν θα είχε "
                                         "αριθμό. Γράψτε μικρότερο αριθμό.")
                              .arg(last.toLongLong()));
    });

    // FormCreate
    runGuarded([this] {
        ADOConnection1->prepare();
        Settings::openNumbering(*ADOTable1);
    });
}

TForm9::~TForm9() = default;

void TForm9::FormClose()
{
    // A number typed but not posted is not stored.
    ADOTable1->close();
    ADOConnection1->close();
}
