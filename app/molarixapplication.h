#pragma once
#include <QApplication>
#include <functional>

// The application object. Its notify() is the safety net of the general
// error report: a failure escaping any event handler is shown, and the
// program goes on.
class MolarixApplication : public QApplication {
    Q_OBJECT
public:
    MolarixApplication(int &argc, char **argv);
    bool notify(QObject *receiver, QEvent *event) override;

    // Delivers one event; a DbError or other exception it raises goes to the
    // general error report and the event counts as not handled.
    static bool deliverReporting(const std::function<bool()> &deliver);
};

// Tells the program to end as soon as the event loop runs (or at once when
// it already runs). Asked by the access check and the start-up sequence.
void RequestTerminate();
bool TerminateRequested();
void ResetTerminateRequest();   // tests
