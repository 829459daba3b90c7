#include "data/practice/practicefolder.h"
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace PracticeFolder {

namespace {
const char *const kKey = "practice";

// The report files (*.RAV, any case) in dir, by name. Read at every start:
// a name filter would build and compile a pattern for one suffix.
QStringList reportFiles(const QString &dir, bool firstOnly = false)
{
    QStringList names;
    QDirIterator it(dir, QDir::Files);
    while (it.hasNext()) {
        const QString name = it.nextFileInfo().fileName();
        if (!name.endsWith(QLatin1String(".RAV"), Qt::CaseInsensitive))
            continue;
        names << name;
        if (firstOnly)
            break;
    }
    names.sort();
    return names;
}

bool hasReports(const QString &dir) { return !reportFiles(dir, true).isEmpty(); }
}

bool holdsPractice(const QString &dir)
{
    return !dir.isEmpty()
        && (QFileInfo(QDir(dir).absoluteFilePath(QStringLiteral("data.mdb"))).isFile()
            || QFileInfo(QDir(dir).absoluteFilePath(QStringLiteral("server.conf"))).isFile());
}

Location locate(const QString &currentDir)
{
    if (holdsPractice(currentDir))
        return {Source::Current, QDir::cleanPath(QDir(currentDir).absolutePath())};
    const QString last = remembered();
    if (holdsPractice(last))
        return {Source::Remembered, last};
    return {Source::None, last};
}

QString settingsFile()
{
    // Read afresh each time: the configuration folder follows the
    // environment (tests point it elsewhere).
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Molarix/molarix.conf");
}

QString remembered()
{
    const QString file = settingsFile();
    if (!QFileInfo::exists(file))
        return {};
    QSettings s(file, QSettings::IniFormat);
    const QString dir = s.value(QLatin1String(kKey)).toString();
    return dir.isEmpty() ? QString() : QDir::cleanPath(dir);
}

void remember(const QString &dir)
{
    QSettings s(settingsFile(), QSettings::IniFormat);
    s.setValue(QLatin1String(kKey), QDir::cleanPath(QDir(dir).absolutePath()));
    s.sync();
}

QString rememberedUser()
{
    const QString file = settingsFile();
    return QFileInfo::exists(file) ? QSettings(file, QSettings::IniFormat).value(QStringLiteral("LastUser")).toString() : QString();
}

void rememberUser(const QString &name)
{
    QSettings s(settingsFile(), QSettings::IniFormat);
    s.setValue(QStringLiteral("LastUser"), name);
    s.sync();
}

QString defaultNewFolder()
{
    return QDir::cleanPath(QDir::homePath() + QStringLiteral("/Molarix"));
}

QString installedReports()
{
    const QString bin = QCoreApplication::applicationDirPath();
    QStringList candidates = {bin + QStringLiteral("/../share/molarix/reports"), bin + QStringLiteral("/reports")};
    candidates += QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("molarix/reports"),
                                            QStandardPaths::LocateDirectory);
    for (const QString &dir : candidates) {
        if (hasReports(dir))
            return QDir::cleanPath(dir);
    }
    return {};
}

int copyMissingReports(const QString &sourceDir, const QString &dir)
{
    if (sourceDir.isEmpty())
        return 0;
    int copied = 0;
    const QDir src(sourceDir);
    for (const QString &f : reportFiles(sourceDir)) {
        const QString target = QDir(dir).absoluteFilePath(f);
        if (QFileInfo::exists(target))
            continue;
        if (QFile::copy(src.absoluteFilePath(f), target)) {
            // Installed files are read-only; the practice's copy is its own to change.
            QFile::setPermissions(target, QFile::permissions(target) | QFile::WriteOwner | QFile::ReadOwner);
            ++copied;
        }
    }
    return copied;
}

}
