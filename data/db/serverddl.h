#pragma once
#include <QString>

// A table or index statement of the file in the server's words (types,
// collation, the row number every server table carries).
QString ServerTableStatement(QString sql);
