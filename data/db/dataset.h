#pragma once
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class DbConnection;

// Blocks of packed rows, freed together when the data set closes.
class PackedRows {
public:
    void clear();
    void beginRow() { m_rowStart = m_at; }
    const unsigned char *rowStart() const { return m_rowStart; }
    unsigned char *room(size_t n)
    {
        if (size_t(m_end - m_at) < n)
            grow(n);
        unsigned char *p = m_at;
        m_at += n;
        return p;
    }

private:
    void grow(size_t n);
    std::vector<std::unique_ptr<unsigned char[]>> m_blocks;
    unsigned char *m_rowStart = nullptr;
    unsigned char *m_at = nullptr;
    unsigned char *m_end = nullptr;
    size_t m_blockSize = 256;
};

enum class FieldType { Text,
                       Memo,
                       Integer,
                       Float,
                       Date,
                       Boolean };
enum class DataSetState { Inactive,
                          Browse,
                          Edit,
                          Insert };

struct FieldDef {
    QString name;
    FieldType type = FieldType::Text;
};

// A whole table or the result of one SELECT, fetched into memory
// (client-side static cursor), with a current row, browse/edit/insert
// states and an in-memory sort. Fetched rows are kept packed (text as
// UTF-8) and turned into values only when asked for. A result drawn from one table can be
// edited: post, cancel and delete act on that table by the row's rowid.
//
// Values: Text/Memo QString, Integer qlonglong, Float double,
// Date QDate (QDateTime when a time is stored), Boolean bool; NULL is an
// invalid QVariant. Display texts: dates in the short date format,
// booleans "True"/"False", numbers with the regional decimal separator,
// NULL empty.
class DataSet : public QObject {
    Q_OBJECT
public:
    explicit DataSet(QObject *parent = nullptr);
    DataSet(DbConnection *conn, QObject *parent = nullptr);
    ~DataSet() override;

    void setConnection(DbConnection *conn);
    DbConnection *connection() const { return m_conn; }

    // Setting the table or the statement closes the data set first.
    // Table mode (ADOTable): opens every row and column of the table.
    void setTableName(const QString &table);
    QString tableName() const { return m_tableName; }
    // Query mode (ADOQuery): one SELECT in the program's dialect.
    void setSql(const QString &jetSelect);
    QString sql() const { return m_sql; }

    void open();    // throws DbError; fetches all rows; first row current
    void close();   // discards an unposted change
    bool isOpen() const { return m_state != DataSetState::Inactive; }
    void refresh();   // close and open again, keeping nothing

    int recordCount() const;                  // rows fetched (a pending insert not counted)
    int rowCount() const;                     // rows shown, a pending insert included
    int recNo() const { return m_current; }   // current row index, -1 when empty
    bool isEmpty() const { return rowCount() == 0; }
    // As flags of the original data sets: bof after open() and first() or
    // a prior() on the first row; eof after last() or a next() on the last
    // row; both on an empty result. So "first(); while (!eof()) { ...; next(); }"
    // visits every row.
    bool bof() const;
    bool eof() const;
    void first();
    void prior();
    void next();
    void last();
    void moveTo(int row);   // posts a pending change first; no-op on the current row

    DataSetState state() const { return m_state; }
    bool canModify() const { return !m_baseTable.isEmpty(); }
    QString baseTable() const { return m_baseTable; }

    int fieldCount() const { return int(m_fields.size()); }
    const FieldDef &field(int col) const { return m_fields[size_t(col)]; }
    int fieldIndex(const QString &name) const;   // -1 when absent (case-insensitive)
    QStringList fieldNames() const;

    QVariant value(int row, int col) const;
    QString displayText(int row, int col) const;
    // Current row, pending edits included. Unknown field: DbError.
    QVariant fieldValue(const QString &name) const;
    QString fieldText(const QString &name) const;
    // Starts editing. Takes the field's own type, or a text (dates also as
    // stored, "2008-03-05"). A computed column of an editable result: DbError.
    void setFieldValue(const QString &name, const QVariant &value);
    // Converts a typed text by the field's type; a text that is no date or
    // number raises DbError naming the field. Empty text gives NULL.
    void setFieldText(const QString &name, const QString &text);

    void edit();     // on an empty table: insert(); on an empty query result: DbError
    void insert();   // a new empty row at the current position
    void append();   // a new empty row at the end
    // Throws DbError; the row stays in editing on failure. A row another
    // user changed since it was read (in a column changed here) is refused
    // and read again: the row shows the stored values, and the refusal names
    // the typed ones. The next post asks (overwriteQuestion) before it writes
    // them over the stored ones; a column typed into again is written as is.
    // A row another user deleted is refused and leaves the data set.
    void post();
    void cancel();
    void deleteRecord();   // no confirmation here; the navigator asks
    // Deleting a stored row through a unit of work instead of the plain
    // DELETE of its row: called with the row current; it throws DbError to
    // refuse, and the row stays. Empty: the plain DELETE.
    using Deleter = std::function<void()>;
    void setDeleter(Deleter deleter) { m_deleter = std::move(deleter); }
    // Posts a pending change; a new or edited row in which no field was set
    // is cancelled instead.
    void checkBrowseMode();

    // "COLUMN ASC" / "COLUMN DESC" (several, comma-separated); stable, by
    // typed value, text in Greek dictionary order, TRUE before FALSE
    // ascending, NULL first. Empty: the order of the fetch. As with ADO's
    // Sort, the first row of the new order becomes current (a pending change
    // is posted first). Only on an open result; closing forgets it.
    // Rows added or changed later keep their place until the next sort.
    void setSort(const QString &order);
    QString sort() const { return m_sortSpec; }

    // Asked before a post writes typed values over ones another user stored
    // meanwhile: gets a Greek question naming what would be lost, answers
    // true to overwrite. The windows' layer sets it; unset, nothing is
    // overwritten. Returns the one it replaces.
    using OverwriteQuestion = std::function<bool(const QString &question)>;
    static OverwriteQuestion setOverwriteQuestion(OverwriteQuestion ask);

    // Values of a row as the data set holds them (pending edits for the
    // current row), for the report engine.
    QVariantList rowValues(int row) const;

signals:
    void dataReset();        // rows replaced, re-ordered, added or removed
    void currentChanged();   // another row became current
    void stateChanged();
    void fieldChanged(int col);   // a value of the current row changed
    void updateRecord();          // before post: bound controls write their text
    void afterPost();
    void afterDelete();

private:
    // A row as values: the one being edited or inserted, or one being posted.
    struct Row {
        qint64 rowid = 0;
        std::vector<QVariant> values;
    };
    // A fetched row: its cells one after the other in a block of the
    // store, each a type byte and its value (text as UTF-8 after its length).
    struct StoredRow {
        qint64 rowid = 0;
        const unsigned char *cells = nullptr;
    };
    struct SortKey {
        int col;
        bool desc;
    };
    // How the file's ORDER BY brings rows of equal keys.
    enum class Ties { AsRead,
                      RowidAsc,
                      RowidDesc };
    static std::optional<Ties> tiesOfPlan(DbConnection &conn, const QString &ordered, const QString &unordered,
                                          const QStringList &keys, bool desc);
    void fetch();
    QString selectText(QString *baseTable, QString *order) const;
    std::vector<SortKey> sortKeysOf(const QString &order, std::optional<QString> *unknown) const;
    void orderRows(const std::vector<SortKey> &keys);
    void setState(DataSetState s);
    void setCurrent(int row);
    void checkActive() const;
    void checkCanModify() const;
    int requireField(const QString &name) const;
    QVariant convertText(int col, const QString &text) const;
    QVariant convertValue(int col, const QVariant &value) const;
    QString formatValue(int col, const QVariant &v) const;
    void setField(int col, const QVariant &v);
    int fetchIndex(int row) const;
    QVariant valueAt(int row, int col) const;
    QVariant storedValue(const StoredRow &row, int col) const;
    Row unpack(int fetched) const;
    void repack(int fetched, const Row &row);
    StoredRow pack(const Row &row);
    void startInsert(bool atEnd);
    void postRow();
    void rereadRow(Row &row);
    static QString rowNotFoundError();
    QString valueList(const std::vector<int> &cols, const std::vector<QVariant> &values) const;
    bool readStoredRow(qint64 rowid, std::vector<QVariant> &out) const;
    void takeStoredRow(int fetched, const std::vector<QVariant> &stored, const std::vector<int> &clash);
    void askOverwrite();
    void removeCurrentRow();
    static bool sameValue(const QVariant &a, const QVariant &b);
    std::vector<qint64> sortKeys(int col) const;
    static std::vector<int> textRanks(const std::vector<QString> &texts);

    DbConnection *m_conn = nullptr;
    QString m_tableName;
    QString m_sql;
    QString m_baseTable;
    Deleter m_deleter;
    QString m_sortSpec;
    std::vector<FieldDef> m_fields;
    PackedRows m_store;
    std::vector<StoredRow> m_rows;   // in fetch order
    // Expression columns, typed by the values they hold: their cells are
    // converted to the column's type when read.
    std::vector<char> m_typedByValues;
    std::vector<int> m_order;   // view order: indexes into m_rows
    int m_current = -1;
    DataSetState m_state = DataSetState::Inactive;
    Row m_buffer;                         // the row being edited or inserted
    std::vector<bool> m_modified;         // columns set in the buffer
    int m_insertPos = -1;                 // view position of a pending insert
    std::vector<QString> m_baseColumns;   // table column behind each field, "" when computed
    bool m_recordModified = false;        // a field of the buffer was set
    // Columns of the row being edited whose typed values a conflict refused,
    // and those values; the buffer shows the stored ones.
    std::vector<std::pair<int, QVariant>> m_refused;
    int m_currentBeforeInsert = -1;
    bool m_droppedInsert = false;   // the last checkBrowseMode cancelled a new row
    bool m_bof = true;
    bool m_eof = true;
};
