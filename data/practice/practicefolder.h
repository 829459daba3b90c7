#pragma once
#include <QString>

// Where the practice folder is, and what a started program finds in it.
// The current folder wins when it holds data.mdb (the program started in a
// practice from a terminal); otherwise the folder remembered from an
// earlier run; otherwise the user is asked.
namespace PracticeFolder {

enum class Source { Current,
                    Remembered,
                    None };

struct Location {
    Source source = Source::None;
    QString folder;   // Current/Remembered: the practice; None: the remembered folder, if any
};

bool holdsPractice(const QString &dir);   // dir/data.mdb or dir/server.conf exists
Location locate(const QString &currentDir);

// The remembered folder lives in one setting of the user's configuration
// folder (XDG_CONFIG_HOME or ~/.config on Linux).
QString settingsFile();
QString remembered();
void remember(const QString &dir);
// The name last signed in with on this workstation, beside the folder.
QString rememberedUser();
void rememberUser(const QString &name);

// ~/Molarix, offered for a new practice.
QString defaultNewFolder();

// The report files the program was installed with: share/molarix/reports
// beside the executable's bin/, or reports/ beside it in a build folder.
// Empty when neither holds any.
QString installedReports();

// Copies each report file of sourceDir that dir lacks; a file the practice
// already has, changed or not, is left alone. Returns how many were copied.
int copyMissingReports(const QString &sourceDir, const QString &dir);

}
