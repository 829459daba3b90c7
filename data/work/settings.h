#pragma once

class DataSet;
class DbConnection;

// The practice's settings kept in one-row tables: the receipt numbering
// (the number the next receipt gets) and the details printed at the head
// of every receipt.
namespace Settings {

// True when the numbering row holds a usable number (a whole number above
// zero); a row left without one by an earlier version counts as none.
bool numberingDefined(DbConnection &conn);

// The numbering row (field LAST), opened for showing or editing.
void openNumbering(DataSet &numbering);

// The practice details (TITLE, ADDRESS1, ADDRESS2, PHONE, FAX, WEBSITE,
// EMAIL, AFT), opened for showing or editing.
void openPracticeDetails(DataSet &details);

}
