#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <vector>

// Writes small Jet 4 (Access 2000) files for the import tests: tables of
// the common column types, rows, long memos, a database password. No
// indexes, no queries, no relations: only what a reader needs to find the
// tables and their rows.
namespace JetWriter {

enum Type : quint8 {
    Bool = 0x01,
    Byte = 0x02,
    Int = 0x03,
    Long = 0x04,
    Money = 0x05,
    Double = 0x07,
    DateTime = 0x08,
    Text = 0x0A,
    Memo = 0x0C,
};

struct Column {
    QString name;
    Type type;
    int length = 255;          // characters, for Text
    bool autoNumber = false;   // Long only
};

class Writer {
public:
    explicit Writer(const QString &databasePassword = QString());

    int addTable(const QString &name, const QList<Column> &columns);
    // Values in column order: invalid QVariant for NULL; bool; integers;
    // double (also for Money, and for DateTime as Jet's raw day number);
    // QDate or QDateTime; QString for Text and Memo.
    void addRow(int table, const QVariantList &values);
    // A row Access deleted but did not compact away: still on its page,
    // flagged deleted.
    void addDeletedRow(int table, const QVariantList &values);
    // A row that grew on update and was moved: a pointer where it stood,
    // the row itself on another page, flagged there as Access does.
    void addMovedRow(int table, const QVariantList &values);
    QByteArray bytes();
    bool save(const QString &path);

private:
    struct Table {
        QString name;
        QList<Column> columns;
        int tdefPage = 0;
        bool system = false;
        std::vector<int> dataPages;
        int currentPage = -1;
        qint64 rows = 0;
        qint64 nextAuto = 1;
    };
    int newPage(quint8 type);
    int addTableDef(const QString &name, const QList<Column> &columns, bool system, int tdefPage);
    QByteArray memoField(const QByteArray &encoded);
    QByteArray encodeRow(Table &t, const QVariantList &values);
    int putRow(Table &t, const QByteArray &row, quint16 flags = 0);   // page << 8 | row
    int placeRow(int page, const QByteArray &row, quint16 flags);     // the row's number
    int newDataPage(Table &t);
    QByteArray tableDefinition(const Table &t, int usageRow, int freeRow) const;

    QString m_password;
    double m_created;
    std::vector<QByteArray> m_pages;
    std::vector<Table> m_tables;
};

// Jet 4 text: "compressed Unicode" where that is shorter, else UCS-2.
QByteArray encodeText(const QString &s);
// Days since 30/12/1899, the time of day as the fraction.
double jetDay(const QDateTime &dt);

}
