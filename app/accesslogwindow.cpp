#include "app/accesslogwindow.h"
#include "data/db/clock.h"
#include "data/db/dataset.h"
#include "data/practice/appstate.h"
#include "data/practice/session.h"
#include "data/practice/users.h"
#include "data/work/accesslog.h"
#include "data/work/settings.h"
#include "gui/dbgrid.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include "reports/reportengine.h"
#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
template <class W>
W *named(W *w, const char *name)
{
    w->setObjectName(QLatin1String(name));
    return w;
}

QPushButton *button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = named(new QPushButton(text, parent), name);
    b->setAutoDefault(false);
    return b;
}
}

AccessLogForm::AccessLogForm(QWidget *parent)
    : FormDialog(parent)
{
    setObjectName(QStringLiteral("AccessLogForm"));
    setWindowTitle(QStringLiteral("Ημερολόγιο προσβάσεων"));

    m_customer = named(new QLineEdit(this), "CustomerEdit");
    m_customer->setValidator(new QIntValidator(1, 2147483647, m_customer));
    m_user = named(new QLineEdit(this), "UserEdit");
    m_fromOn = named(new QCheckBox(QStringLiteral("Από:"), this), "FromCheck");
    m_toOn = named(new QCheckBox(QStringLiteral("Έως:"), this), "ToCheck");
    m_from = named(new QDateEdit(Clock::today().addMonths(-1), this), "FromDate");
    m_to = named(new QDateEdit(Clock::today(), this), "ToDate");
    for (QDateEdit *d : {m_from, m_to}) {
        d->setCalendarPopup(true);
        d->setEnabled(false);
    }
    connect(m_fromOn, &QCheckBox::toggled, m_from, &QWidget::setEnabled);
    connect(m_toOn, &QCheckBox::toggled, m_to, &QWidget::setEnabled);

    auto *filters = new QGridLayout;
    filters->addWidget(new QLabel(QStringLiteral("Κωδικός πελάτη:"), this), 0, 0);
    filters->addWidget(m_customer, 0, 1);
    filters->addWidget(new QLabel(QStringLiteral("Χρήστης:"), this), 0, 2);
    filters->addWidget(m_user, 0, 3);
    filters->addWidget(m_fromOn, 1, 0);
    filters->addWidget(m_from, 1, 1);
    filters->addWidget(m_toOn, 1, 2);
    filters->addWidget(m_to, 1, 3);

    ADOQuery1 = named(new DataSet(&ADOConnection1, this), "ADOQuery1");
    ADOTable1 = named(new DataSet(&ADOConnection1, this), "ADOTable1");
    m_grid = named(new DbGrid(this), "DBGrid1");
    m_grid->setDataSet(ADOQuery1);
    const Qt::Alignment centre = Qt::AlignCenter;
    m_grid->addColumn(QStringLiteral("AA"), QStringLiteral("Α/Α"), Qt::AlignRight | Qt::AlignVCenter);
    m_grid->addColumn(QStringLiteral("XRONOS"), QStringLiteral("Χρόνος"), centre);
    m_grid->addColumn(QStringLiteral("XRHSTHS"), QStringLiteral("Χρήστης"));
    m_grid->addColumn(QStringLiteral("STATHMOS"), QStringLiteral("Σταθμός"));
    m_grid->addColumn(QStringLiteral("ENERGEIA"), QStringLiteral("Ενέργεια"));
    m_grid->addColumn(QStringLiteral("PELATHS"), QStringLiteral("Κωδ. πελάτη"), centre);
    m_grid->addColumn(QStringLiteral("EPWNYMO"), QStringLiteral("Επώνυμο"));
    m_grid->addColumn(QStringLiteral("ONOMA"), QStringLiteral("Όνομα"));
    m_grid->addColumn(QStringLiteral("LEPTOMEREIES"), QStringLiteral("Λεπτομέρειες"));

    RvProject1 = named(new ReportProject(this), "RvProject1");
    RvProject1->addConnection(QStringLiteral("RvDataSetConnection1"), ADOTable1);
    RvProject1->addConnection(QStringLiteral("RvDataSetConnection2"), ADOQuery1);
    RvProject1->logCustomers(QStringLiteral("RvDataSetConnection2"), QStringLiteral("PELATHS"));

    QPushButton *show = button(this, "ShowButton", QStringLiteral("&Εμφάνιση"));
    QPushButton *check = button(this, "CheckButton", QStringLiteral("Έ&λεγχος"));
    QPushButton *print = button(this, "PrintButton", QStringLiteral("Ε&κτύπωση"));
    QPushButton *close = button(this, "CloseButton", QStringLiteral("&Κλείσιμο"));
    show->setDefault(true);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {show, check, print, close})
        buttons->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(filters);
    layout->addWidget(m_grid);
    layout->addLayout(buttons);
    setupDialog(this);
    resize(900, 520);
    const QList<QWidget *> order = {m_customer, m_user, m_fromOn, m_from, m_toOn, m_to, m_grid, show, check, print, close};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);

    connect(show, &QPushButton::clicked, this, guarded([this] { showClick(); }));
    connect(check, &QPushButton::clicked, this, guarded([this] { checkClick(); }));
    connect(print, &QPushButton::clicked, this, guarded([this] { printClick(); }));
    connect(close, &QPushButton::clicked, this, [this] { reject(); });
}

void AccessLogForm::FormShow()
{
    if (Session::current().role() != Users::Role::Administrator)
        throw DbError(QStringLiteral("Το ημερολόγιο προσβάσεων το βλέπει μόνο διαχειριστής του ιατρείου."));
    ADOConnection1.prepare();
    showClick();
}

void AccessLogForm::FormClose()
{
    ADOQuery1->close();
    ADOTable1->close();
    ADOConnection1.close();
}

void AccessLogForm::showClick()
{
    AccessLog::Filter filter;
    filter.customerId = m_customer->text().toLongLong();
    filter.user = m_user->text().trimmed();
    if (m_fromOn->isChecked())
        filter.from = m_from->date();
    if (m_toOn->isChecked())
        filter.to = m_to->date();
    AccessLog::openEntries(*ADOQuery1, filter);
    m_grid->fitColumns();
}

void AccessLogForm::checkClick()
{
    const AccessLog::Verdict v = AccessLog::verify(ADOConnection1);
    Messages::plain(v.holds() ? QStringLiteral("Το ημερολόγιο είναι ακέραιο: καμία από τις %1 εγγραφές του δεν άλλαξε, δεν λείπει και δεν μετακινήθηκε.")
                                    .arg(v.count)
                              : v.reason,
                    this);
}

void AccessLogForm::printClick()
{
    showClick();
    Settings::openPracticeDetails(*ADOTable1);
    RvProject1->setProjectFile(AppDirectory + QDir::separator() + QStringLiteral("HMEROLOGIO.RAV"));
    RvProject1->execute();
    ADOTable1->close();
}
