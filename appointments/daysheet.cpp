#include "appointments/daysheet.h"
#include "ui_daysheet.h"

#include "gui/formstyle.h"
#include "data/db/dataset.h"
#include "gui/dbcontrols.h"
#include "gui/dbnavigator.h"
#include "data/practice/schema.h"

#include <QTime>

namespace {
constexpr int RowsPerColumn = 14;
constexpr int RowHeight = 24;
constexpr int RowStep = 26;
constexpr int PanelWidth = 104;
constexpr int EditWidth = 222;
constexpr int ColumnStep = 334;
constexpr int Margin = 4;
}

TForm2a::TForm2a(QWidget *parent)
    : FormDialog(parent), ui(std::make_unique<Ui::TForm2a>())
{
    ui->setupUi(this);
    setupDialog(this);
    Label83 = ui->Label83;
    DBNavigator1 = ui->DBNavigator1;
    Button29 = ui->Button29;

    ADOQuery1 = new DataSet(&ADOConnection1, this);
    ADOQuery1->setObjectName(QStringLiteral("ADOQuery1"));

    makeSlots();

    DBNavigator1->setDataSet(ADOQuery1);
    DBNavigator1->setVisibleButtons({DbNavigator::Post});
    connect(Button29, &QPushButton::clicked, this, &QDialog::reject);

    QFont big = Label83->font();
    big.setPointSize(16);
    big.setBold(true);
    Label83->setFont(big);
    QPalette pal = Label83->palette();
    pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
    Label83->setPalette(pal);
}

TForm2a::~TForm2a() = default;

QString TForm2a::slotCaption(int n)
{
    const QTime start = QTime(8, 0).addSecs(30 * 60 * (n - 1));
    const QString fmt = QStringLiteral("HH:mm");
    return start.toString(fmt) + QStringLiteral(" - ") + start.addSecs(30 * 60).toString(fmt);
}

QString TForm2a::slotColumn(int n)
{
    return Schema::slotColumns().value(n - 1);
}

void TForm2a::makeSlots()
{
    QWidget *box = ui->ScrollBoxContents;
    const QStringList columns = Schema::slotColumns();

    QFont editFont = font();
    editFont.setBold(true);
    QWidget *previous = nullptr;
    for (int n = 1; n <= SlotCount; ++n) {
        const int col = (n - 1) / RowsPerColumn;
        const int row = (n - 1) % RowsPerColumn;
        const int x = Margin + col * ColumnStep;
        const int y = Margin + row * RowStep;

        auto *panel = new QLabel(slotCaption(n), box);
        panel->setObjectName(QStringLiteral("Panel%1").arg(n));
        panel->setGeometry(x, y, PanelWidth, RowHeight);
        panel->setAlignment(Qt::AlignCenter);
        panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
        panel->setAutoFillBackground(true);
        QPalette pp = panel->palette();
        pp.setColor(QPalette::Window, QColor(236, 233, 216));
        panel->setPalette(pp);
        m_panels[n] = panel;

        auto *edit = new DbEdit(box);
        edit->setObjectName(QStringLiteral("DBEdit%1").arg(n));
        edit->setGeometry(x + PanelWidth + 2, y, EditWidth, RowHeight);
        edit->setFrame(false);
        edit->setFont(editFont);
        QPalette ep = edit->palette();
        ep.setColor(QPalette::Text, QColor(255, 0, 0));
        edit->setPalette(ep);
        edit->setDataSource(ADOQuery1, columns.value(n - 1));
        m_edits[n] = edit;

        if (previous)
            setTabOrder(previous, edit);
        previous = edit;
    }
    box->resize(Margin * 2 + ColumnStep + PanelWidth + 2 + EditWidth,
                Margin * 2 + RowsPerColumn * RowStep - (RowStep - RowHeight));
    m_edits[1]->setFocus();
}

void TForm2a::FormClose()
{
    // Typing that was not posted is dropped, without a question.
    ADOQuery1->close();
    ADOQuery1->setSql(QString());
    ADOConnection1.close();
}
