#include "reports/reportoutput.h"
#include "reports/reportengine.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLineEdit>
#include <QPageLayout>
#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QTextDocument>
#include <QVBoxLayout>
#include <QAbstractTextDocumentLayout>

namespace {

constexpr qreal LayoutDpi = 96.0;   // CSS pixels: border="1", width="200" mean what they mean in a browser

// The paint device the documents are laid out on; only its resolution matters.
QPaintDevice *layoutDevice()
{
    static QImage device = [] {
        QImage img(1, 1, QImage::Format_RGB32);
        const int dotsPerMeter = qRound(LayoutDpi / 0.0254);
        img.setDotsPerMeterX(dotsPerMeter);
        img.setDotsPerMeterY(dotsPerMeter);
        return img;
    }();
    return &device;
}

QFont reportFont()
{
    QFont f;
    f.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Tahoma"), QStringLiteral("Arial")});
    f.setPointSizeF(10);
    return f;
}

} // namespace

namespace ReportOutput {

std::unique_ptr<QTextDocument> buildDocument(const QString &html)
{
    auto doc = std::make_unique<QTextDocument>();
    doc->documentLayout()->setPaintDevice(layoutDevice());
    doc->setDefaultFont(reportFont());
    doc->setDocumentMargin(0);   // the page margins are the device's
    doc->setHtml(html);
    return doc;
}

void paint(QTextDocument &doc, QPagedPaintDevice *device)
{
    // A document with a page size prints with its own layout, scaled onto
    // the device; without one Qt would copy and lay out the whole report again.
    const QRectF body = device->pageLayout().paintRect(QPageLayout::Point);
    doc.setPageSize(QSizeF(body.width() * LayoutDpi / 72.0, body.height() * LayoutDpi / 72.0));
    doc.print(device);
}

void writePdf(QTextDocument &doc, const QString &pdfPath, const QString &title)
{
    {
        // QPdfWriter fails silently; find out first whether the file can be written.
        QFile probe(pdfPath);
        if (!probe.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw ReportError(QStringLiteral("Cannot write the file \"%1\": %2")
                                  .arg(QDir::toNativeSeparators(pdfPath), probe.errorString()));
    }
    QPdfWriter writer(pdfPath);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Molarix"));
    writer.setResolution(600);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    paint(doc, &writer);
}

void preview(QTextDocument &doc, const QString &title, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintPreviewDialog dlg(&printer, parent);
    dlg.setWindowTitle(title.isEmpty() ? QStringLiteral("Preview") : QStringLiteral("Preview - ") + title);
    QObject::connect(&dlg, &QPrintPreviewDialog::paintRequested, &dlg, [&doc](QPrinter *p) { paint(doc, p); });
    dlg.setWindowState(dlg.windowState() | Qt::WindowMaximized);
    dlg.exec();
}

void print(QTextDocument &doc, const QString &title, QWidget *parent)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(title);
    printer.setPageSize(QPageSize(QPageSize::A4));
    QPrintDialog dlg(&printer, parent);
    dlg.setOption(QAbstractPrintDialog::PrintPageRange, true);
    if (dlg.exec() == QDialog::Accepted)
        paint(doc, &printer);
}

} // namespace ReportOutput

ReportOutputDialog::ReportOutputDialog(const QString &suggestedPdf, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ReportOutputDialog"));
    setWindowTitle(QStringLiteral("Output Options"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *group = new QGroupBox(QStringLiteral("Report Destination"), this);
    m_printer = new QRadioButton(QStringLiteral("P&rinter"), group);
    m_printer->setObjectName(QStringLiteral("rbPrinter"));
    m_preview = new QRadioButton(QStringLiteral("Pre&view"), group);
    m_preview->setObjectName(QStringLiteral("rbPreview"));
    m_file = new QRadioButton(QStringLiteral("&File (PDF)"), group);
    m_file->setObjectName(QStringLiteral("rbFile"));
    m_fileName = new QLineEdit(suggestedPdf, group);
    m_fileName->setObjectName(QStringLiteral("edFileName"));
    m_fileName->setMinimumWidth(280);
    m_browse = new QPushButton(QStringLiteral("..."), group);
    m_browse->setObjectName(QStringLiteral("btnBrowse"));
    m_browse->setFixedWidth(32);

    auto *fileRow = new QHBoxLayout;
    fileRow->addSpacing(20);
    fileRow->addWidget(m_fileName);
    fileRow->addWidget(m_browse);
    auto *groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_printer);
    groupLayout->addWidget(m_preview);
    groupLayout->addWidget(m_file);
    groupLayout->addLayout(fileRow);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_ok = buttons->button(QDialogButtonBox::Ok);
    m_ok->setObjectName(QStringLiteral("btnOK"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("btnCancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    m_preview->setChecked(true);
    for (QRadioButton *rb : {m_printer, m_preview, m_file})
        connect(rb, &QRadioButton::toggled, this, &ReportOutputDialog::updateState);
    connect(m_fileName, &QLineEdit::textChanged, this, &ReportOutputDialog::updateState);
    connect(m_browse, &QPushButton::clicked, this, &ReportOutputDialog::browse);
    updateState();
    m_ok->setFocus();
}

ReportOutputDialog::Destination ReportOutputDialog::destination() const
{
    if (m_printer->isChecked())
        return Printer;
    if (m_file->isChecked())
        return File;
    return Preview;
}

QString ReportOutputDialog::fileName() const
{
    QString name = m_fileName->text().trimmed();
    if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty())
        name += QStringLiteral(".pdf");
    return name;
}

void ReportOutputDialog::updateState()
{
    const bool toFile = m_file->isChecked();
    m_fileName->setEnabled(toFile);
    m_browse->setEnabled(toFile);
    m_ok->setEnabled(!toFile || !m_fileName->text().trimmed().isEmpty());
}

void ReportOutputDialog::browse()
{
    const QString chosen = QFileDialog::getSaveFileName(this, QStringLiteral("Save report as"), m_fileName->text(),
                                                        QStringLiteral("PDF files (*.pdf)"));
    if (!chosen.isEmpty())
        m_fileName->setText(QDir::toNativeSeparators(chosen));
}
