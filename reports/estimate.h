#pragma once
#include <QString>

// Prints «Προϋπολογισμός θεραπείας» for a customer (the decimal text of
// the customer's ID): the practice, the patient, the planned items of the
// treatment plan with teeth and prices, the total, the date and a line
// for the patient's signature, through the practice's PROYPOLOGISMOS.RAV.
// Errors raise DbError or ReportError.
void PrintEstimate(const QString &customerId);
