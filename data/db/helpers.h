#pragma once
#include <QDate>
#include <QString>
#include <optional>

// Turns a typed date (short date format) into the database's date constant
// "#month/day/year#", or into the text "ERROR" when it is no date.
void SqlDateLiteral(QString &text);
// A date as the database's date constant "#month/day/year#".
QString SqlDateLiteral(const QDate &date);

// The first of the 31 forbidden punctuation characters (or a NUL, which
// would cut the text short on its way to the database) in the text.
std::optional<QChar> FirstSpecialChar(const QString &text);
// True when the text holds none of them.
bool HasNoSpecialChars(const QString &text);

// Blanks and control characters removed at both ends (typed and stored passwords).
QString TrimText(const QString &text);
