#pragma once
#include "data/work/patientexport.h"
#include <QString>

// The copy of everything held on a customer that the customer may ask
// for: a PDF for reading and the same data as JSON, side by side in a
// folder, named from the customer's ID and the day.
namespace PatientExportFiles {

struct Written {
    QString pdf, json;
};

// The PDF's text: the card and history, then one table per section.
QString html(const PatientExport::Export &e);

// Writes both files (each complete or not at all); ReportError when one
// cannot be written.
Written write(const PatientExport::Export &e, const QString &folder);

}
