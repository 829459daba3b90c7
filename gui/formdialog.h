#pragma once
#include <QDialog>

// The base of the windows that load their data when the program shows them
// and let it go when they close. FormShow runs when the program shows the
// window (not when the desktop brings it back from another workspace), a
// failure in it reported as any handler's is; FormClose runs on every way
// out (a button, Escape, the close box) before the window goes.
class FormDialog : public QDialog {
    Q_OBJECT

public:
    using QDialog::QDialog;
    void done(int result) override;

protected:
    void showEvent(QShowEvent *e) override;
    virtual void FormShow() {}
    virtual void FormClose() {}
};
