#pragma once
#include <QString>

class QLineEdit;
class DataSet;

// Blanks and control characters removed at both ends.
QString TrimText(const QString &text);
// Every typed character shown as "*".
void MaskWithStars(QLineEdit *edit);
// The stored password: first column of the first row of the open SECURITY
// table, as text, trimmed; empty when the table has no row or the value is empty.
QString StoredPassword(const DataSet &security);
