#pragma once
#include <QMap>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

#include "data/db/error.h"

class DataSet;

// A failure of the report engine (a missing report file, a template that
// cannot be read); reaches the general error report like a DbError.
class ReportError : public MolarixError {
public:
    using MolarixError::MolarixError;
};

// One report project (TRvProject): a report file (UTF-8 HTML template with
// Mustache sections named after the data connections) and the data
// connections (TRvDataSetConnection) by component name, each bound to a
// data set of the same window. The file is loaded at the first run and
// kept while the project lives (a different file name loads anew).
//
// What a template may use (values are HTML-escaped, so "<b>" or "&" in the
// data prints as typed; never use the triple-brace form):
//   {{#RvDataSetConnection7}} ... {{/RvDataSetConnection7}}
//        repeated for each row of the connection's data set, in its order;
//   {{FIELD}} inside it: the field's display text as the data set shows it
//        (dates in the short date format, numbers with the decimal comma,
//        Format(...) texts from the statement as they are, NULL empty);
//   {{RECNO}} inside it: the row's number, 1, 2, ...;
//   {{^RvDataSetConnection7}} ... {{/RvDataSetConnection7}}  when it has no rows;
//   {{RvDataSetConnection7_COUNT}}: its number of rows;
//   {{TODAY}}: today's date in the short date format.
//   {{#FIELD}} ... {{/FIELD}} inside it: only when the field is not empty
//        ({{^FIELD}} ... {{/FIELD}}: only when it is).
// Tables repeat their <thead> rows on every page and keep each row whole;
// a table that fits on a page is not split; texts with line breaks keep
// them inside an element styled "white-space: pre-wrap".
class ReportProject : public QObject {
    Q_OBJECT
public:
    explicit ReportProject(QObject *parent = nullptr);
    ~ReportProject() override;

    void setProjectFile(const QString &path);   // full path of the *.RAV file
    QString projectFile() const { return m_file; }
    void addConnection(const QString &name, DataSet *ds);
    // {{NAME}} outside the sections: a text, or a picture as a PNG data
    // address for <img src="{{NAME}}">. Kept until set again.
    void setValue(const QString &name, const QString &text);
    void setImage(const QString &name, const QImage &image);
    // The printout names the customers in this connection's rows (their
    // field idField): each output handed out writes one entry to the access
    // log, naming the customer when there is one, else how many.
    void logCustomers(const QString &connection, const QString &idField = QStringLiteral("ID"));

    // Renders and shows the output dialog (Preview preselected, Printer,
    // File); returns when output is finished. A missing file raises
    // ReportError "The following reporting project does not exist:\n\"<path>\"".
    void execute();

    // Rendering without any dialog (tests, File output).
    QString renderHtml();
    void renderPdf(const QString &pdfPath);
    // A rendered report (the HTML a sink receives) as a PDF file, A4.
    static void writePdf(const QString &html, const QString &pdfPath);

    // Test seam: while set, execute() renders and hands the HTML to the sink
    // instead of showing the output dialog.
    using Sink = std::function<void(const QString &projectFile, const QString &html)>;
    static void setTestSink(Sink sink);

private:
    void loadTemplate();
    QString title() const;
    void logPrint();

    QString m_file;
    QString m_loadedTemplate;
    bool m_loaded = false;
    QMap<QString, QPointer<DataSet>> m_connections;
    QMap<QString, QString> m_values;
    QString m_logConnection, m_logField;
};
