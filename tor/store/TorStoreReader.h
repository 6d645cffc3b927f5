#pragma once
// Reading the rows of the store's load statement, and the statement helpers
// the store runs through Qt. On SQLite the rows are read straight from the
// engine, only the cells a row needs: the Qt driver turns every cell of every
// row into a QVariant, which on a structure of hundreds of thousands of value
// rows costs more than the query itself.
#include <QByteArray>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

class TOvSQLConnection;
struct sqlite3;
struct sqlite3_stmt;

namespace TorStore {

// A statement of TorStoreSql as text.
inline QString sql(const char *text) { return QString::fromLatin1(text); }

// A prepared, forward-only statement; EDatabaseError when refused.
QSqlQuery prepare(TOvSQLConnection &c, const QString &text);
// The connection's kept statement of the text (the same settings): what runs
// for every CU, prepared once a connection.
QSqlQuery &reused(TOvSQLConnection &c, const QString &text);
// Runs it; EDatabaseError with the database's message on failure.
void run(TOvSQLConnection &c, QSqlQuery &q);
// The same, for a statement that cannot read the value rows waiting for the
// commit (TOvSQLConnection::letWait()): they go on waiting.
void runBesideWaiting(TOvSQLConnection &c, QSqlQuery &q);
// TorStoreSql::InsertValues for `rows` value rows of one row, on a server:
// the row's structure, period, person and row number are $1-$4, each value
// adds its name and its four value columns. Made once per number of rows.
const QString &insertValuesText(int rows);

// Columns of TorStoreSql::LoadValues, in order.
enum LoadColumn { cCodFis, cCognome, cNome, cCodFisSost, cGruppo, cName, cRigo, cI, cF, cS, cD, cAfi };
inline constexpr const char *PersonColumns[] = {"saficodfiscale", "saficognome", "safinome", "saficodfissost",
                                                "safigruppoana"};

class LoadReader
{
public:
    virtual ~LoadReader() = default;
    virtual bool next() = 0;
    virtual bool isNull(int col) = 0;
    virtual qint64 integer(int col) = 0;
    virtual QByteArray name(int col) = 0; // valid until next()
    virtual QVariant cell(int col) = 0;   // as the driver gives it
};

class QtLoadReader : public LoadReader
{
public:
    explicit QtLoadReader(QSqlQuery q) : m_q(std::move(q)) {}
    bool next() override { return m_q.next(); }
    bool isNull(int col) override { return m_q.isNull(col); }
    qint64 integer(int col) override { return m_q.value(col).toLongLong(); }
    QByteArray name(int col) override { return m_q.value(col).toString().toUtf8(); }
    QVariant cell(int col) override { return m_q.value(col); }

private:
    QSqlQuery m_q;
};

// On SQLite: the value rows of a structure in the given periods, read alone;
// the person columns of a row are read from the person's own row, once per
// person met (see TorStoreSql::LoadValuesOfPeriods).
class SqliteLoadReader : public LoadReader
{
public:
    SqliteLoadReader(sqlite3 *db, const QList<qint64> &periods, qint64 cdsId, qint64 person);
    ~SqliteLoadReader() override;
    SqliteLoadReader(const SqliteLoadReader &) = delete;
    SqliteLoadReader &operator=(const SqliteLoadReader &) = delete;
    bool next() override;
    bool isNull(int col) override;
    qint64 integer(int col) override;
    QByteArray name(int col) override;
    QVariant cell(int col) override;

    // The periods of the store's year, month (-1: all) and program, as the
    // load's join chose them.
    static QList<qint64> periods(sqlite3 *db, int year, int month, const QString &program);

private:
    // The statement and column a column of TorStoreSql::LoadValues is read
    // from; nullptr for a person column of a row without its person.
    sqlite3_stmt *source(int col, int *at);
    [[noreturn]] static void fail(sqlite3 *db);
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
    sqlite3_stmt *m_person = nullptr;
    qint64 m_personId = 0;
    bool m_personRead = false;  // m_person holds the row of m_personId...
    bool m_personFound = false; // ...or found none
};

} // namespace TorStore
