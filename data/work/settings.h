#pragma once
#include <QtGlobal>

class DataSet;
class DbConnection;

// The practice's settings kept in one-row tables: the receipt numbering
// (the number the next receipt gets) and the details printed at the head
// of every receipt.
namespace Settings {

// A receipt number the counter can hold: above zero, with a successor
// that fits, or the counter could not move past the receipt issued under it.
bool usableNumber(qint64 next);

// True when the numbering row holds a usable number; a row left without
// one by an earlier version, or at the end of the numbers, counts as none.
bool numberingDefined(DbConnection &conn);

// The numbering row (field LAST), opened for showing or editing.
void openNumbering(DataSet &numbering);

// The years a customer's medical records are kept after the last of them
// before the customer may be deleted: the practice's own, or 15, the period
// given for health records, when it has set none.
inline constexpr int DefaultRetentionYears = 15;
int retentionYears(DbConnection &conn);
// From 1 to 100 years; DbError otherwise. Makes the details row when there is none.
void setRetentionYears(DbConnection &conn, int years);

// The practice details (TITLE, ADDRESS1, ADDRESS2, PHONE, FAX, WEBSITE,
// EMAIL, AFT), opened for showing or editing.
void openPracticeDetails(DataSet &details);

}
