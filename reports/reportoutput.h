#pragma once
#include <QDialog>
#include <QString>
#include <memory>

class QLineEdit;
class QPagedPaintDevice;
class QPushButton;
class QRadioButton;
class QTextDocument;
class QWidget;

// Turning a rendered report (HTML) into pages: one document laid out at a
// fixed 96 dpi whatever the screen, so the same report breaks its pages the
// same way on every machine, then printed onto a printer, the preview or a
// PDF file. Tables split across pages and repeat their <thead> rows.
namespace ReportOutput {
std::unique_ptr<QTextDocument> buildDocument(const QString &html);
// Lays the document out for the device's page and paints every page (or
// the range a printer asks for).
void paint(QTextDocument &doc, QPagedPaintDevice *device);
// A4, 15 mm margins. Throws ReportError when the file cannot be written.
void writePdf(QTextDocument &doc, const QString &pdfPath, const QString &title);
// Modal print preview, from which the user may print.
void preview(QTextDocument &doc, const QString &title, QWidget *parent);
// The print dialog, then the printer.
void print(QTextDocument &doc, const QString &title, QWidget *parent);
}

// The engine's output dialog: Printer, Preview (preselected) or File, with
// the PDF file's name for the last.
class ReportOutputDialog : public QDialog {
    Q_OBJECT
public:
    enum Destination { Printer, Preview, File };

    explicit ReportOutputDialog(const QString &suggestedPdf, QWidget *parent = nullptr);
    Destination destination() const;
    // The PDF path typed or chosen, with ".pdf" added when it has no suffix.
    QString fileName() const;

private:
    void updateState();
    void browse();

    QRadioButton *m_printer;
    QRadioButton *m_preview;
    QRadioButton *m_file;
    QLineEdit *m_fileName;
    QPushButton *m_browse;
    QPushButton *m_ok;
};
