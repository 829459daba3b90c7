#include "gui/messages.h"
#include "data/db/dataset.h"
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>

namespace {
bool g_scripted = false;
QQueue<bool> g_answers;
QList<Messages::Shown> g_shown;

bool nextAnswer()
{
    return g_answers.isEmpty() ? true : g_answers.dequeue();
}

QWidget *owner(QWidget *parent)
{
    return parent ? parent : QApplication::activeWindow();
}

// Every data set asks here before it writes over another user's change,
// so each window that posts gets the question.
[[maybe_unused]] const bool g_overwriteAsked = [] {
    DataSet::setOverwriteQuestion([](const QString &question) { return Messages::confirm(question); });
    return true;
}();
}

namespace Messages {

void plain(const QString &text, QWidget *parent)
{
    if (g_scripted)
        g_shown.append({Kind::Plain, text});
    if (g_scripted)
        return;
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(AppTitle), text, QMessageBox::Ok, owner(parent));
    box.exec();
}

bool confirm(const QString &text, QWidget *parent)
{
    if (g_scripted)
        g_shown.append({Kind::Confirm, text});
    if (g_scripted)
        return nextAnswer();
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::NoButton, owner(parent));
    QPushButton *yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
    QPushButton *no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes;
}

bool confirmDelete(QWidget *parent)
{
    const QString text = QStringLiteral("Delete record?");
    if (g_scripted)
        g_shown.append({Kind::ConfirmDelete, text});
    if (g_scripted)
        return nextAnswer();
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), text, QMessageBox::NoButton, owner(parent));
    QPushButton *ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    QPushButton *cancel = box.addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
    box.setDefaultButton(ok);
    box.setEscapeButton(cancel);
    box.exec();
    return box.clickedButton() == ok;
}

QString errorText(const QString &text)
{
    // A full stop is added unless the text ends in one or in a character
    // that sorts below it.
    if (text.isEmpty() || text.back().unicode() > u'.')
        return text + QLatin1Char('.');
    return text;
}

void error(const QString &text, QWidget *parent)
{
    const QString shown = errorText(text);
    if (g_scripted)
        g_shown.append({Kind::Error, shown});
    if (g_scripted)
        return;
    QMessageBox box(QMessageBox::Critical, QString::fromUtf8(AppTitle), shown, QMessageBox::Ok, owner(parent));
    box.exec();
}

void setScripted(bool on) { g_scripted = on; }
bool isScripted() { return g_scripted; }
void setNextAnswer(bool yesOrOk) { g_answers.enqueue(yesOrOk); }

QList<Shown> takeShown()
{
    QList<Shown> out;
    out.swap(g_shown);
    return out;
}

}   // namespace Messages
