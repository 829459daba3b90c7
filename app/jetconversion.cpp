#include "app/jetconversion.h"
#include "data/db/dberror.h"
#include "data/import/jetimport.h"
#include "gui/formstyle.h"
#include "gui/messages.h"
#include "gui/modal.h"
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QVBoxLayout>

ImportReportWindow::ImportReportWindow(const QString &report, QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ImportReportWindow"));
    setWindowTitle(QStringLiteral("Μεταφορά δεδομένων από την Access"));
    auto *layout = new QVBoxLayout(this);
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("Memo1"));
    m_text->setReadOnly(true);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_text->setPlainText(report);
    layout->addWidget(m_text);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    buttons->setObjectName(QStringLiteral("Button1"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    resize(760, 520);
    applyFormStyle(this);
}

QString ImportReportWindow::text() const { return m_text->toPlainText(); }

bool OfferJetConversion(const QString &dir)
{
    const QDir folder(dir);
    const QString current = folder.absoluteFilePath(QStringLiteral("data.mdb"));
    const JetImport::FileKind kind = JetImport::sniff(current);
    if (kind == JetImport::FileKind::Ace) {
        Messages::error(QStringLiteral("Το data.mdb του φακέλου %1 είναι βάση Access 2007 ή νεότερη, που δεν μεταφέρεται. "
                                       "Αποθηκεύστε τη από την Access ως Access 2000-2003 (.mdb)")
                            .arg(QDir::toNativeSeparators(dir)));
        return false;
    }
    if (!JetImport::isJet(kind))
        return true;

    const QString old = folder.absoluteFilePath(QStringLiteral("data.jet.mdb"));
    if (!Messages::confirm(QStringLiteral("Το data.mdb του φακέλου %1 είναι αρχείο της παλιάς Access. "
                                          "Να μεταφερθούν τα δεδομένα του στο Molarix; Το παλιό αρχείο θα μείνει "
                                          "αμετάβλητο ως data.jet.mdb.")
                               .arg(QDir::toNativeSeparators(dir))))
        return false;
    if (QFile::exists(old)) {
        Messages::error(QStringLiteral("Υπάρχει ήδη το %1· η μεταφορά δεν έγινε, ώστε να μη χαθεί κανένα από τα δύο αρχεία")
                            .arg(QDir::toNativeSeparators(old)));
        return false;
    }
    // The new file is made beside the old one first; only a finished
    // import renames anything, so an import that fails or is cut short
    // leaves data.mdb where it was.
    QTemporaryDir stage(folder.absoluteFilePath(QStringLiteral(".molarix-convert-XXXXXX")));
    if (!stage.isValid()) {
        Messages::error(QStringLiteral("Δεν γίνεται να γραφτεί στον φάκελο %1").arg(QDir::toNativeSeparators(dir)));
        return false;
    }
    JetImport::Result result;
    try {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // The user asked for the conversion; what did not come over as it
        // was is shown in the report right after.
        result = JetImport::importFile(current, stage.path(), true);
        QApplication::restoreOverrideCursor();
    } catch (const DbError &e) {
        QApplication::restoreOverrideCursor();
        Messages::error(e.message());
        return false;
    }
    if (!QFile::rename(current, old)) {
        Messages::error(QStringLiteral("Το %1 δεν μετονομάζεται σε data.jet.mdb").arg(QDir::toNativeSeparators(current)));
        return false;
    }
    if (!QFile::rename(result.databasePath, current)) {
        QFile::rename(old, current);
        Messages::error(QStringLiteral("Η νέα βάση δεν μπήκε στη θέση του %1").arg(QDir::toNativeSeparators(current)));
        return false;
    }
    result.jetPath = old;
    result.databasePath = current;
    const QString reportFile = folder.absoluteFilePath(QLatin1String(JetImport::ReportFileName));
    QFile::remove(reportFile);
    QFile report(reportFile);
    if (report.open(QIODevice::WriteOnly))
        report.write(result.reportText().toUtf8());
    report.close();

    ImportReportWindow window(result.reportText());
    ShowModal(&window);
    return true;
}
