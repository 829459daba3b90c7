#pragma once
#include "tests/jetimport/jetwriter.h"
#include <QHash>
#include <QStringList>
#include <functional>

// An old practice's data as Access kept it: the twelve tables with Greek
// rows, made up from a seed so that tests can recompute every total.
namespace PracticeJet {

struct Options {
    int customers = 1000;
    int visitsPerCustomer = 3;
    bool everything = true;                           // all twelve tables, not only customers and visits
    QStringList leaveOut;                             // tables not written
    QString password = QStringLiteral("Οδοντ1ατρ");   // the practice's access password
};

using Sink = std::function<void(const QString &table, const QVariantList &row)>;

// The tables' Jet columns, in file order.
QList<JetWriter::Column> columns(const QString &table);
QStringList tables();
// Produces the rows, table by table.
void generate(const Options &o, const Sink &sink);

// Rows kept in memory, for the tests' expectations.
struct Data {
    QHash<QString, QList<QVariantList>> rows;
    int column(const QString &table, const QString &name) const;
};
Data make(const Options &o);
// Writes the rows into a Jet 4 file with the fixed database password.
bool write(const Data &d, const QString &path, const QStringList &leaveOut = {});
inline constexpr const char *DatabasePassword = "QT40718ZKM";

}
