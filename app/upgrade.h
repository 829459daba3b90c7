#pragma once

class QWidget;

// After the access check: a practice file of an earlier layout is brought up
// to date, each step after a verified backup into backups/ (named
// data-<stamp>-before-version-N.mdb and never rotated away); a file of a
// later layout is refused with a message and left untouched. False when the
// program must end.
bool UpgradeAtStartup(QWidget *parent);
