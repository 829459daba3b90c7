#include "app/userswindow.h"
#include "data/practice/roles.h"
#include "app/passwordtext.h"
#include "data/db/practicekey.h"
#include "data/practice/session.h"
#include "data/practice/users.h"
#include "data/work/accesslog.h"
#include "gui/formstyle.h"
#include "gui/guard.h"
#include "gui/messages.h"
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {
const Users::Role kRoles[] = {Users::Role::Administrator, Users::Role::Clinician, Users::Role::Reception};

QPushButton *button(QWidget *parent, const char *name, const QString &text)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
}
}

UsersForm::UsersForm(QWidget *parent)
    : FormDialog(parent)
{
    setObjectName(QStringLiteral("UsersForm"));
    setWindowTitle(QStringLiteral("Χρήστες"));
    m_grid = new QTableWidget(0, 3, this);
    m_grid->setObjectName(QStringLiteral("UsersGrid"));
    m_grid->setHorizontalHeaderLabels({QStringLiteral("Όνομα"), QStringLiteral("Ρόλος"), QStringLiteral("Ενεργός")});
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->horizontalHeader()->setStretchLastSection(true);

    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("UserName"));
    m_role = new QComboBox(this);
    m_role->setObjectName(QStringLiteral("UserRole"));
    for (Users::Role r : kRoles)
        m_role->addItem(Users::roleText(r), int(r));
    m_password = new QLineEdit(this);
    m_password->setObjectName(QStringLiteral("NewPassword"));
    m_again = new QLineEdit(this);
    m_again->setObjectName(QStringLiteral("NewPasswordAgain"));
    MaskWithStars(m_password);
    MaskWithStars(m_again);

    auto *fields = new QFormLayout;
    fields->addRow(QStringLiteral("Όνομα χρήστη:"), m_name);
    fields->addRow(QStringLiteral("Ρόλος:"), m_role);
    fields->addRow(QStringLiteral("Νέος κωδικός:"), m_password);
    fields->addRow(QStringLiteral("Ξανά ο νέος κωδικός:"), m_again);

    m_add = button(this, "AddButton", QStringLiteral("&Προσθήκη"));
    m_setPassword = button(this, "PasswordButton", QStringLiteral("Νέος &κωδικός"));
    m_setRole = button(this, "RoleButton", QStringLiteral("Αλλαγή &ρόλου"));
    m_enable = button(this, "EnableButton", QStringLiteral("&Ενεργός / ανενεργός"));
    m_remove = button(this, "RemoveButton", QStringLiteral("&Διαγραφή"));
    QPushButton *close = button(this, "CloseButton", QStringLiteral("&Κλείσιμο"));
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {m_add, m_setPassword, m_setRole, m_enable, m_remove, close})
        buttons->addWidget(b);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_grid);
    layout->addLayout(fields);
    layout->addLayout(buttons);
    setupDialog(this);
    resize(560, 420);

    connect(m_grid, &QTableWidget::itemSelectionChanged, this, [this] { rowChosen(); });
    for (QLineEdit *e : {m_name, m_password, m_again})
        connect(e, &QLineEdit::textChanged, this, [this] { updateButtons(); });
    connect(m_add, &QPushButton::clicked, this, guarded([this] { addClick(); }));
    connect(m_setPassword, &QPushButton::clicked, this, guarded([this] { passwordClick(); }));
    connect(m_setRole, &QPushButton::clicked, this, guarded([this] { roleClick(); }));
    connect(m_enable, &QPushButton::clicked, this, guarded([this] { enableClick(); }));
    connect(m_remove, &QPushButton::clicked, this, guarded([this] { removeClick(); }));
    connect(close, &QPushButton::clicked, this, [this] { reject(); });
    updateButtons();
}

void UsersForm::FormShow()
{
    ADOConnection1.prepare();
    // The window is the administrator's; a server's users are its logins.
    Roles::require(Roles::Duty::Users);
    if (!ADOConnection1.onServer() && !Users::haveUsers(QFileInfo(ADOConnection1.fileName()).absolutePath()))
        throw DbError(QStringLiteral("Το ιατρείο δεν έχει ακόμη χρήστες· γράψτε το όνομά σας στον έλεγχο πρόσβασης "
                                     "και ο κωδικός του ιατρείου θα γίνει ο δικός σας, του διαχειριστή."));
    reload();
}

void UsersForm::FormClose() { ADOConnection1.close(); }

void UsersForm::reload()
{
    const QList<Users::User> users = Users::list(ADOConnection1);
    m_grid->setRowCount(int(users.size()));
    for (int i = 0; i < users.size(); ++i) {
        m_grid->setItem(i, 0, new QTableWidgetItem(users[i].name));
        m_grid->setItem(i, 1, new QTableWidgetItem(Users::roleText(users[i].role)));
        m_grid->item(i, 1)->setData(Qt::UserRole, int(users[i].role));
        m_grid->setItem(i, 2, new QTableWidgetItem(users[i].enabled ? QStringLiteral("Ναι") : QStringLiteral("Όχι")));
    }
    for (QLineEdit *e : {m_password, m_again})
        e->clear();
    updateButtons();
}

QString UsersForm::chosenName() const
{
    const auto rows = m_grid->selectionModel() ? m_grid->selectionModel()->selectedRows() : QModelIndexList();
    return rows.isEmpty() ? QString() : m_grid->item(rows.first().row(), 0)->text();
}

void UsersForm::rowChosen()
{
    const auto rows = m_grid->selectionModel()->selectedRows();
    if (!rows.isEmpty()) {
        m_name->setText(m_grid->item(rows.first().row(), 0)->text());
        m_role->setCurrentIndex(m_role->findData(m_grid->item(rows.first().row(), 1)->data(Qt::UserRole)));
    }
    updateButtons();
}

void UsersForm::updateButtons()
{
    const bool chosen = !chosenName().isEmpty() && chosenName() == m_name->text().trimmed();
    const bool typed = !m_password->text().isEmpty() && !m_again->text().isEmpty();
    m_add->setEnabled(!m_name->text().trimmed().isEmpty() && !chosen && typed);
    m_setPassword->setEnabled(chosen && typed);
    for (QPushButton *b : {m_setRole, m_enable, m_remove})
        b->setEnabled(chosen);
}

bool UsersForm::newPassword(QString &password)
{
    if (m_password->text() != m_again->text()) {
        Messages::plain(QStringLiteral("Οι δύο κωδικοί διαφέρουν."), this);
        return false;
    }
    password = m_password->text();
    if (const QString why = Users::passwordProblem(password); !why.isEmpty()) {
        Messages::plain(why, this);
        PracticeKey::wipe(password);
        return false;
    }
    return true;
}

void UsersForm::addClick()
{
    QString password;
    if (!newPassword(password))
        return;
    Users::add(ADOConnection1, {m_name->text().trimmed(), Users::Role(m_role->currentData().toInt()), true}, password);
    PracticeKey::wipe(password);
    AccessLog::record(ADOConnection1, AccessLog::Action::UserChange, 0, m_name->text().trimmed());
    reload();
}

void UsersForm::passwordClick()
{
    QString password;
    if (!newPassword(password))
        return;
    Users::setPassword(ADOConnection1, chosenName(), password);
    PracticeKey::wipe(password);
    AccessLog::record(ADOConnection1, AccessLog::Action::UserChange, 0, m_name->text().trimmed());
    reload();
    Messages::plain(QStringLiteral("Ο κωδικός του χρήστη άλλαξε."), this);
}

void UsersForm::roleClick()
{
    Users::setRole(ADOConnection1, chosenName(), Users::Role(m_role->currentData().toInt()));
    AccessLog::record(ADOConnection1, AccessLog::Action::UserChange, 0, m_name->text().trimmed());
    reload();
}

void UsersForm::enableClick()
{
    const QString name = chosenName();
    bool enabled = true;
    for (const Users::User &u : Users::list(ADOConnection1))
        if (u.name == name)
            enabled = u.enabled;
    Users::setEnabled(ADOConnection1, name, !enabled);
    AccessLog::record(ADOConnection1, AccessLog::Action::UserChange, 0, m_name->text().trimmed());
    reload();
}

void UsersForm::removeClick()
{
    const QString name = chosenName();
    if (!Messages::confirm(QStringLiteral("Να διαγραφεί ο χρήστης «%1»; Ο κωδικός του δεν θα ανοίγει πια το ιατρείο.").arg(name), this))
        return;
    Users::remove(ADOConnection1, name);
    AccessLog::record(ADOConnection1, AccessLog::Action::UserChange, 0, m_name->text().trimmed());
    reload();
}
