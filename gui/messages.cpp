#include "gui/messages.h"
#include "data/db/dataset.h"
#include <QApplication>
#include <algorithm>
#include <QMessageBox>
#include <QPushButton>
#include <QQueue>
#include <QTranslator>

namespace {
bool g_scripted = false;
QQueue<bool> g_answers;
QQueue<int> g_choices;
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

// The toolkit's own button of the details, in Greek.
class DetailsButtonText : public QTranslator {
public:
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        if (qstrcmp(context, "QMessageBox") != 0)
            return {};
        if (qstrcmp(source, "Show Details...") == 0)
            return QStringLiteral("Λεπτομέρειες…");
        if (qstrcmp(source, "Hide Details...") == 0)
            return QStringLiteral("Απόκρυψη λεπτομερειών");
        return {};
    }
    bool isEmpty() const override { return false; }
};

void addDetails(QMessageBox &box, const QString &details)
{
    if (details.isEmpty())
        return;
    static DetailsButtonText *greek = [] {
        auto *t = new DetailsButtonText;
        QCoreApplication::installTranslator(t);
        return t;
    }();
    Q_UNUSED(greek);
    box.setDetailedText(details);
}
}

namespace Messages {

void plain(const QString &text, QWidget *parent, const QString &details)
{
    if (g_scripted)
        g_shown.append({Kind::Plain, text, details});
    if (g_scripted)
        return;
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(AppTitle), text, QMessageBox::Ok, owner(parent));
    addDetails(box, details);
    box.exec();
}

int choose(const QString &text, const QStringList &buttons, QWidget *parent, const QString &details)
{
    const int last = int(buttons.size()) - 1;
    if (g_scripted) {
        g_shown.append({Kind::Choice, text, details});
        return g_choices.isEmpty() ? last : std::clamp(g_choices.dequeue(), 0, last);
    }
    QMessageBox box(QMessageBox::Question, QString::fromUtf8(AppTitle), text, QMessageBox::NoButton, owner(parent));
    QList<QPushButton *> pressed;
    for (const QString &caption : buttons)
        pressed << box.addButton(caption, pressed.size() == last ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
    if (!pressed.isEmpty()) {
        box.setDefaultButton(pressed.first());
        box.setEscapeButton(pressed.last());
    }
    addDetails(box, details);
    box.exec();
    const qsizetype at = pressed.indexOf(qobject_cast<QPushButton *>(box.clickedButton()));
    return at < 0 ? last : int(at);
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
void setNextChoice(int button) { g_choices.enqueue(button); }

QList<Shown> takeShown()
{
    QList<Shown> out;
    out.swap(g_shown);
    return out;
}

}   // namespace Messages
