#pragma once
#include <QList>
#include <QVariant>
#include <functional>
#include <vector>
#include <QString>
#include <QStringList>

// Brings a practice's Jet (Access 2000/2003 or 97) data.mdb over into a new
// Molarix database. The Jet file is only read, never changed.
namespace JetImport {

enum class FileKind {
    Missing,   // no such file, or not readable
    NotJet,    // some other file
    Ace,       // Access 2007 or later (.accdb): not readable here
    Jet3,      // Access 97
    Jet4,      // Access 2000/2002/2003
};
// Recognises a file by its header alone.
FileKind sniff(const QString &path);
inline bool isJet(FileKind k) { return k == FileKind::Jet3 || k == FileKind::Jet4; }

// One value as the old file holds it.
struct JetValue {
    enum Kind { Null,
                Bool,
                Int,
                Double,
                Date,
                Text,
                Unsupported };
    Kind kind = Null;
    qint64 i = 0;   // Bool (1/0), Int
    double d = 0;   // Double (Currency included), Date as Jet's day number
    QString s;      // Text and Memo
    // Null -> invalid; Bool, qlonglong, double, QString; a Date as QDateTime.
    QVariant toVariant() const;
};
// "YYYY-MM-DD", with " HH:MM:SS" when the time is not midnight; false for
// day numbers outside 1/1/100 .. 31/12/9999.
bool jetDateText(double dayNumber, QString *out);

struct JetColumn {
    QString name;
    int type = 0;       // libmdb's column type
    QString typeName;   // "Text", "Currency" ...
};

// An open Jet 3/4 file, read through libmdb. Throws DbError (Greek text)
// when the file is missing, truncated, an .accdb, or not a Jet file.
class JetFile {
public:
    explicit JetFile(const QString &path);
    ~JetFile();
    JetFile(const JetFile &) = delete;
    JetFile &operator=(const JetFile &) = delete;

    FileKind kind() const { return m_kind; }
    QStringList tableNames() const;             // user tables, file order
    bool hasTable(const QString &name) const;   // letter case ignored
    QList<JetColumn> columns(const QString &table) const;
    // Calls row() with every row's values, in column order. Returns the
    // rows read; throws when the file holds fewer rows than it declares.
    qint64 readRows(const QString &table, const std::function<void(const std::vector<JetValue> &)> &row) const;

private:
    struct Private;
    Private *d;
    FileKind m_kind;
};

// Where the later of two receipts with one number is kept.
inline constexpr const char *DuplicateReceiptsTable = "APODEIKSEIS_DIPLOTYPA";
inline constexpr const char *ReportFileName = "import-report.txt";

struct AmountSum {
    QString column;
    double jet = 0;         // over every row of the old table
    double stored = 0;      // main table plus the duplicates table
    double notStored = 0;   // rows listed in the report instead
};

struct TableCount {
    QString table;
    bool present = false;   // the old file has the table
    qint64 jet = 0;         // rows read from the old file
    qint64 stored = 0;      // rows in the new table
    qint64 setAside = 0;    // rows in the duplicates table
    qint64 notStored = 0;   // rows only in the report
    QList<AmountSum> sums;
    bool matches() const;
};

struct Result {
    QString jetPath;
    QString databasePath;   // empty when no database was made
    QString version;        // "Jet 4 (Access 2000/2003)" ...
    QList<TableCount> counts;
    QStringList findings;         // what did not come over as it was
    QStringList notes;            // worth knowing, nothing lost
    bool made = false;            // data.mdb was made in the folder
    QString reportText() const;   // the import report, Greek
};

// Imports jetPath into a new data.mdb in dir (which must exist and hold no
// data.mdb). The new file is made by the same code as `molarix-db create`.
// Findings leave dir without data.mdb unless acceptReport is set; either
// way the report is written to dir/import-report.txt. Unreadable input
// (missing, truncated, .accdb, not Jet, no table of the practice) and
// failed verification throw DbError with a Greek message and leave nothing
// in dir.
// The old file is read in a child process (molarix-db's ChildCommand) under
// the limits below: a damaged file can make the Jet library loop, take all
// memory or print warnings without end. A child that trips them is stopped
// and nothing is written.
Result importFile(const QString &jetPath, const QString &dir, bool acceptReport);
// The same in this process, without limits: what the child runs.
Result importHere(const QString &jetPath, const QString &dir, bool acceptReport);

struct ChildLimits {
    QString program;                  // molarix-db; empty: the one beside this program
    qint64 timeMs = 0;                // wall time; 0: by the file's size
    qint64 memoryBytes = 0;           // address space; 0: by the file's size
    qint64 outputBytes = 64 * 1024;   // kept of what the child prints
};
// The limits of every later import in this process (tests lower them).
void setChildLimits(const ChildLimits &limits);
// What importFile applies to a file of fileSize bytes.
ChildLimits childLimits(qint64 fileSize);

inline constexpr const char *ChildCommand = "jet-import-child";
// The child's side: args follow ChildCommand. Returns the exit code.
int childMain(const QStringList &args);

}
