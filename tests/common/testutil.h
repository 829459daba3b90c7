#pragma once
#include "data/connection.h"
#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>

class QWidget;

// A fresh practice folder for one test: an encrypted data.mdb made by the
// same code as `molarix-db create`, AppDirectory and DbConnectionString
// pointed at it, message boxes scripted and forgotten.
class TempPractice {
public:
    TempPractice();
    ~TempPractice();
    QString path() const { return m_dir.path(); }
    DbConnection &conn();                       // an open connection for checks
    int exec(const QString &jetStatement);      // runs a Jet statement
    QVariant scalar(const QString &jetSelect);  // first column of first row
    int count(const QString &table);
    void copyReportFiles();                     // *.RAV from the source tree

private:
    QTemporaryDir m_dir;
    std::unique_ptr<DbConnection> m_conn;
};

// Finds a child by objectName, failing the test's precondition loudly.
template <class T>
T *child(QWidget *w, const char *name);

#include <QWidget>
#include <stdexcept>
template <class T>
T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromLatin1(name));
    if (!c)
        throw std::runtime_error(std::string("no child named ") + name);
    return c;
}
