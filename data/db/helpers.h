#pragma once
#include <QDate>
#include <QString>

// Turns a typed date (short date format) into the database's date constant
// "#month/day/year#", or into the text "ERROR" when it is no date.
void SqlDateLiteral(QString &text);
// A date as the database's date constant "#month/day/year#".
QString SqlDateLiteral(const QDate &date);

// True when the text holds none of the 31 forbidden punctuation characters.
bool HasNoSpecialChars(const QString &text);

// Blanks and control characters removed at both ends (typed and stored passwords).
QString TrimText(const QString &text);
