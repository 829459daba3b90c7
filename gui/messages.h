#pragma once
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

// Every message box of the program goes through here, so tests can script
// the answers and read what was shown without a real modal box.
namespace Messages {
inline constexpr const char *AppTitle = "Molarix created by Ortelis";

// Plain box: no icon, button "OK", caption the application's title.
// details, when given, stand under «Λεπτομέρειες» (the engine's own words).
void plain(const QString &text, QWidget *parent = nullptr, const QString &details = QString());
// Confirmation: question icon, caption "Confirm", "&Yes" / "&No". True on Yes.
bool confirm(const QString &text, QWidget *parent = nullptr);
// The toolkit's delete question: "Delete record?" with OK / Cancel. True on OK.
bool confirmDelete(QWidget *parent = nullptr);
// A question with buttons of its own: the index of the one pressed. The
// last button is the way out (Esc); details as for plain.
int choose(const QString &text, const QStringList &buttons, QWidget *parent = nullptr,
           const QString &details = QString());
// General error report: stop icon, application title, the text with a
// full stop added when its last character is not one already (or below it).
void error(const QString &text, QWidget *parent = nullptr);
QString errorText(const QString &text);   // the text as the report shows it

// --- test seam ---
enum class Kind { Plain,
                  Confirm,
                  ConfirmDelete,
                  Error,
                  Choice };
struct Shown {
    Kind kind;
    QString text;   // as shown (error texts with their full stop)
    QString details;
};
// While scripted, no box opens: questions take the queued answers
// (Yes/OK when the queue is empty; a choice its last button, the way out)
// and every box is recorded.
void setScripted(bool on);
bool isScripted();
void setNextAnswer(bool yesOrOk);
void setNextChoice(int button);
QList<Shown> takeShown();   // and forget them
}
