#pragma once
// Drives the start-up sequence without blocking: the splash returns at once,
// the access check gets the scripted passwords, the reminders viewer is read
// and closed.
#include "gui/modal.h"
#include "app/molarixapplication.h"
#include "data/practice/appstate.h"
#include "tests/common/testutil.h"
#include <QDialog>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>

struct StartupScript {
    QStringList passwords;   // typed in turn; "Εί&σοδος" pressed when enabled
    QStringList shown;       // class names of the modal windows, in order
    QString reminderText;    // what the reminders viewer showed
    bool viewerReadOnly = false;

    StartupScript()
    {
        ResetTerminateRequest();
        AccessGranted = false;
        NumberingFixed = false;
        SetModalHandler([this](QDialog *d) { return run(d); });
    }
    ~StartupScript()
    {
        SetModalHandler({});
        ResetTerminateRequest();
    }

    int run(QDialog *d)
    {
        const QString cls = QString::fromLatin1(d->metaObject()->className());
        shown << cls;
        if (cls == QLatin1String("TForm65")) {
            d->show();
            auto *edit = child<QLineEdit>(d, "Edit1");
            auto *enter = child<QPushButton>(d, "Button1");
            for (const QString &p : passwords) {
                edit->setText(p);
                if (enter->isEnabled())
                    enter->click();
                if (!d->isVisible())
                    break;
            }
            if (d->isVisible())
                child<QPushButton>(d, "Button2")->click();
            return d->result();
        }
        if (cls == QLatin1String("TForm12")) {
            d->show();
            auto *memo = child<QPlainTextEdit>(d, "DBMemo1");
            reminderText = memo->toPlainText();
            viewerReadOnly = memo->isReadOnly();
            d->reject();
            return d->result();
        }
        return QDialog::Accepted;   // the splash
    }
};

// The program starts in the practice folder.
struct InFolder {
    QString previous = QDir::currentPath();
    explicit InFolder(const QString &dir) { QDir::setCurrent(dir); }
    ~InFolder() { QDir::setCurrent(previous); }
};
