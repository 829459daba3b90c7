#pragma once
#include <QDialog>

class QPlainTextEdit;

// Shows the import report after an old Access file was brought over.
class ImportReportWindow : public QDialog {
    Q_OBJECT
public:
    explicit ImportReportWindow(const QString &report, QWidget *parent = nullptr);
    QString text() const;

private:
    QPlainTextEdit *m_text;
};

// When dir/data.mdb is an old Access (Jet) file, offers to bring its data
// over: the old file becomes data.jet.mdb, untouched, and a new data.mdb is
// made from it; the report is shown. True when dir/data.mdb can be opened
// by the program afterwards (also when it was never a Jet file); false when
// the user declined or the import failed, and then the folder is as it was.
bool OfferJetConversion(const QString &dir);
