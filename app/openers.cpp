#include "app/openers.h"
#include "data/practice/roles.h"
#include "gui/messages.h"
#include <QApplication>
#include <QHash>
#include <memory>
// One include per window the main window opens.
#include "app/about.h"
#include "app/accesslogwindow.h"
#include "appointments/monthlyappointments.h"
#include "customers/findcustomer.h"
#include "customers/newcustomer.h"
#include "app/passwordchange.h"
#include "app/retentionyears.h"
#include "app/userswindow.h"
#include "expenses/expensesbydates.h"
#include "expenses/expensesbymonth.h"
#include "expenses/expensesregister.h"
#include "plans/pricelist.h"
#include "receipts/issuedreceipts.h"
#include "receipts/receiptdetails.h"
#include "receipts/receiptnumbering.h"
#include "receipts/takingsbetweendates.h"
#include "recall/recalllist.h"
#include "tools/calendartools.h"
#include "tools/notebook.h"
#include "tools/notesprint.h"
#include "tools/reminders.h"
#include "tools/usefulphones.h"

namespace {
// A new window for each opening, shown modally, destroyed when closed.
template <class Form>
std::function<void()> fresh()
{
    return [] {
        auto form = std::make_unique<Form>(QApplication::activeWindow());
        form->exec();
    };
}
// A start-up instance, shown again.
template <class Form>
std::function<void()> shared(Form *const &instance)
{
    return [&instance] {
        if (instance)
            instance->exec();
    };
}

std::function<void()> OpenerOf(const QString &w)
{
    // One line per window.
    if (w == QLatin1String("TForm1a")) return fresh<TForm1a>();
    if (w == QLatin1String("TForm6")) return fresh<TForm6>();
    if (w == QLatin1String("TForm8")) return fresh<TForm8>();
    if (w == QLatin1String("TForm9")) return fresh<TForm9>();
    if (w == QLatin1String("TForm10")) return fresh<TForm10>();
    if (w == QLatin1String("TForm11")) return fresh<TForm11>();
    if (w == QLatin1String("TForm13")) return fresh<TForm13>();
    if (w == QLatin1String("TForm14")) return shared(Form14);
    if (w == QLatin1String("TForm15")) return shared(Form15);
    if (w == QLatin1String("TForm16")) return fresh<TForm16>();
    if (w == QLatin1String("TForm17")) return fresh<TForm17>();
    if (w == QLatin1String("TForm59")) return fresh<TForm59>();
    if (w == QLatin1String("TForm62")) return fresh<TForm62>();
    if (w == QLatin1String("TForm66")) return fresh<TForm66>();
    if (w == QLatin1String("TForm71")) return fresh<TForm71>();
    if (w == QLatin1String("TForm73")) return fresh<TForm73>();
    if (w == QLatin1String("TForm81")) return fresh<TForm81>();
    if (w == QLatin1String("TForm82")) return fresh<TForm82>();
    if (w == QLatin1String("UsersForm")) return fresh<UsersForm>();
    if (w == QLatin1String("AccessLogForm")) return fresh<AccessLogForm>();
    if (w == QLatin1String("RetentionYears")) return [] { AskRetentionYears(QApplication::activeWindow()); };
    return {};
}
}

std::optional<Roles::Duty> WindowDuty(const QString &w)
{
    using Roles::Duty;
    static const QHash<QString, Duty> duties = {
        {QStringLiteral("TForm1a"), Duty::Appointments}, {QStringLiteral("TForm6"), Duty::Office}, {QStringLiteral("TForm9"), Duty::Numbering}, {QStringLiteral("TForm10"), Duty::Office}, {QStringLiteral("TForm11"), Duty::Office}, {QStringLiteral("TForm13"), Duty::Expenses}, {QStringLiteral("TForm14"), Duty::Expenses}, {QStringLiteral("TForm15"), Duty::Expenses}, {QStringLiteral("TForm16"), Duty::Customers}, {QStringLiteral("TForm17"), Duty::Customers}, {QStringLiteral("TForm59"), Duty::Takings}, {QStringLiteral("TForm71"), Duty::Receipts}, {QStringLiteral("TForm73"), Duty::Settings}, {QStringLiteral("TForm81"), Duty::Recall}, {QStringLiteral("TForm82"), Duty::Settings}, {QStringLiteral("UsersForm"), Duty::Users}, {QStringLiteral("AccessLogForm"), Duty::AccessLog}, {QStringLiteral("RetentionYears"), Duty::Settings}};
    const auto it = duties.constFind(w);
    return it == duties.cend() ? std::nullopt : std::optional<Duty>(*it);
}

std::function<void()> WindowOpener(const QString &w)
{
    std::function<void()> open = OpenerOf(w);
    const std::optional<Roles::Duty> duty = WindowDuty(w);
    if (!open || !duty)
        return open;
    // Reached however (a shortcut, a hidden entry), a window the role may not use says so.
    return [open, d = *duty] {
        if (!Roles::allowed(d)) {
            Messages::error(Roles::refusal(d), QApplication::activeWindow());
            return;
        }
        open();
    };
}
