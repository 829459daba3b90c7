#pragma once

class QDateTime;

class QWidget;

// After the access check: a practice file of an earlier layout is brought up
// to date, each step after a verified backup into backups/ (named
// data-<stamp>-before-version-N.mdb and never rotated away); a file of a
// later layout is refused with a message and left untouched. False when the
// program must end.
bool UpgradeAtStartup(QWidget *parent);

// The copy an old fixed-key file left when it moved to the password: a
// reminder at each start (not the one that moved it, startedAt on) for 30
// days; after them its deletion is offered once a verified backup under
// the password exists.
void RemindOfOldKeyCopies(QWidget *parent, const QDateTime &startedAt);
