#pragma once
#include <QDialog>
#include <QString>
#include <functional>
#include <memory>

class QLineEdit;
class QPagedPaintDevice;
class QProgressDialog;
class QPushButton;
class QRadioButton;
class QWidget;

// Turning a rendered report (HTML) into pages, laid out at a fixed 96 dpi
// whatever the screen, so the same report breaks its pages the same way on
// every machine, then printed onto a printer, the preview or a PDF file.
//
// Pages are made in one pass, in time proportional to the report's length:
// - a top-level table with a <thead> is a list: its rows are laid out and
//   drawn one by one in the styles the HTML gives its header and rows, the
//   header rows repeat at the top of every page and a row is never split
//   across pages;
// - everything else is laid out by Qt's rich text in pieces of bounded
//   size, broken between lines of text, and a table that fits on a page is
//   kept on one page.
namespace ReportOutput {

// Told how far output has come; answers false to stop it.
using Progress = std::function<bool(qint64 done, qint64 total)>;

class Pages {
public:
    explicit Pages(const QString &html);
    ~Pages();
    Pages(const Pages &) = delete;
    Pages &operator=(const Pages &) = delete;

    // Paints every page (or the range a printer asks for) onto the device.
    // Returns false when progress asked to stop; what was painted is then
    // incomplete and must not be kept.
    bool paint(QPagedPaintDevice *device, const Progress &progress = {}) const;
    // The number of pages the last paint made.
    int pageCount() const { return m_pageCount; }

    struct Item;

private:
    std::vector<std::unique_ptr<Item>> m_items;
    mutable int m_pageCount = 0;
};

// A4, 15 mm margins. Throws ReportError when the file cannot be written;
// returns false when stopped, leaving whatever file was there untouched.
bool writePdf(const Pages &pages, const QString &pdfPath, const QString &title, const Progress &progress = {});
// Modal print preview, from which the user may print.
void preview(const Pages &pages, const QString &title, QWidget *parent);
// The print dialog, then the printer.
void print(const Pages &pages, const QString &title, QWidget *parent);
}

// "Please wait" for output that takes longer than a moment: a progress bar
// and "Ακύρωση" (cancel), shown after a short delay.
class ReportProgress {
public:
    explicit ReportProgress(const QString &title, QWidget *parent);
    ~ReportProgress();
    ReportOutput::Progress callback();
    QProgressDialog *dialog() const { return m_dialog.get(); }

private:
    std::unique_ptr<QProgressDialog> m_dialog;
};

// The engine's output dialog: Printer, Preview (preselected) or File, with
// the PDF file's name for the last.
class ReportOutputDialog : public QDialog {
    Q_OBJECT
public:
    enum Destination { Printer,
                       Preview,
                       File };

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
