#pragma once
#include <QList>
#include <QString>

class QWidget;

// Every message box of the program goes through here, so tests can script
// the answers and read what was shown without a real modal box.
namespace Messages {
inline constexpr const char *AppTitle = "Molarix created by Ortelis";

// Plain box: no icon, button "OK", caption the application's title.
void plain(const QString &text, QWidget *parent = nullptr);
// Confirmation: question icon, caption "Confirm", "&Yes" / "&No". True on Yes.
bool confirm(const QString &text, QWidget *parent = nullptr);
// The toolkit's delete question: "Delete record?" with OK / Cancel. True on OK.
bool confirmDelete(QWidget *parent = nullptr);
// General error report: stop icon, application title, the text with a
// full stop added when its last character is not one already (or below it).
void error(const QString &text, QWidget *parent = nullptr);
QString errorText(const QString &text);   // the text as the report shows it

// --- test seam ---
enum class Kind { Plain,
                  Confirm,
                  ConfirmDelete,
                  Error };
struct Shown {
    Kind kind;
    QString text;   // as shown (error texts with their full stop)
};
// While scripted, no box opens: questions take the queued answers
// (Yes/OK when the queue is empty) and every box is recorded.
void setScripted(bool on);
bool isScripted();
void setNextAnswer(bool yesOrOk);
QList<Shown> takeShown();   // and forget them
}
