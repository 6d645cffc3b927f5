#pragma once
// The framework's database connection: a thin owner of one QSqlDatabase under
// a name of its own, opened from a TOvDbConfig.
//
// open() checks what Qt would let slip through: on SQLite a missing folder,
// a missing file (created only with setCreateIfMissing, as the set-up tool
// does, with its folder; the program never creates an empty database by
// accident), a folder given as file, a file that is not a database; on both
// engines driver options that carry a password. Every failure leaves an
// Italian text in lastErrorText() and a kind in lastErrorKind().
// Each SQLite open also switches on foreign keys and registers the SQL
// functions the shared statements rely on (ptor_getcrofiscale).
// SQLite transactions begin IMMEDIATE: the write lock is taken up front, so
// two workstations never deadlock half-way through a transaction.
//
// A connection belongs to the thread that opened it (a Qt SQL rule).
#include "platform/db/OvDbConfig.h"
#include "platform/db/OvPgStatement.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariantMap>
#include <functional>
#include <memory>
#include <vector>

class QSqlError;
class TOvSqliteStatement;

class TOvSQLConnection
{
public:
    // SQLite: how long a statement waits for another connection's lock.
    static constexpr int BusyTimeoutMs = 10000;

    enum class ErrorKind {
        None,
        Refused,          // BeforeConnect said no, or the driver options carry a password
        MissingFolder,    // SQLite: the file's folder does not exist
        MissingFile,      // SQLite: no such database file
        NotADatabase,     // SQLite: a folder, or a file of another kind
        Unreachable,      // PostgreSQL: no server answers
        Authentication,   // PostgreSQL: wrong password or user not allowed
        MissingDatabase,  // PostgreSQL: the server has no such database
        Other,
    };

    // Without a configuration until setConfig() (hasConfig() false).
    TOvSQLConnection();
    explicit TOvSQLConnection(const TOvDbConfig &config);
    ~TOvSQLConnection();
    TOvSQLConnection(const TOvSQLConnection &) = delete;
    TOvSQLConnection &operator=(const TOvSQLConnection &) = delete;

    // Framework properties: application code and database version the
    // program expects; the hook runs at the start of every open() and may
    // throw to refuse the connection (the exception reaches open()'s caller).
    QString CodAppl;
    QString DBVersion;
    std::function<void(TOvSQLConnection &)> BeforeConnect;

    void setConfig(const TOvDbConfig &config);
    const TOvDbConfig &config() const { return m_config; }
    bool hasConfig() const { return m_hasConfig; }
    void setCreateIfMissing(bool on) { m_createIfMissing = on; }
    // A private SQLite database in memory, gone when the connection closes
    // (never from a configuration: an ini cannot ask for it).
    void setInMemory()
    {
        TOvDbConfig c;
        c.path = QStringLiteral(":memory:");
        setConfig(c);
        m_inMemory = true;
    }

    // True when connected (also when already open). On false see lastErrorText().
    bool open();
    // open(), raising EDatabaseError with lastErrorText() on failure.
    void openOrThrow();
    void close();
    bool isOpen() const;
    QString lastErrorText() const { return m_lastError; }
    // True once a connection to a server that was open has been lost (the
    // server stopped or ended the session, the network fell): every statement
    // then raises EOvConnectionLost until the connection is opened again.
    bool connectionLost() const;
    ErrorKind lastErrorKind() const { return m_lastErrorKind; }

    TOvDbEngine engine() const { return m_config.engine; }
    bool isSQLite() const { return m_config.isSQLite(); }
    bool isPostgres() const { return m_config.isPostgres(); }
    QString connectionName() const { return m_name; }
    QSqlDatabase database() const { return m_db; }
    // The driver's own handle: sqlite3* on SQLite, PGconn* on PostgreSQL.
    void *nativeHandle() const;

    // Transactions at the connection level (TOvTransaction is the scoped
    // form). Each failure raises EDatabaseError.
    bool inTransaction() const { return m_inTransaction; }
    // Changes at every transaction begun: what a transaction learnt (a lock
    // it holds) is known to be its own while this stays the same.
    quint64 transactionSerial() const { return m_transactions; }
    // Changes whenever work may have been undone (a rollback, a failed
    // commit, a close): a key written since is only known to exist while
    // this stays the same.
    quint64 undoneCount() const { return m_undone; }
    void startTransaction();
    void commit();
    void rollback();

    // A query bound to this connection.
    QSqlQuery newQuery() const;
    // Runs `sql`, prepared with `params` bound by name (":NAME" or "NAME")
    // when there are any, directly otherwise (so DDL works on PostgreSQL).
    // A refused statement raises EDatabaseError with the driver's message.
    QSqlQuery exec(const QString &sql, const QVariantMap &params = QVariantMap());

    // Like exec() with parameters, on a statement prepared once per text and
    // kept while the connection is open. On a server a statement prepared
    // for one run costs three round trips (prepare, run, free); a kept one,
    // one. The result belongs to the connection: read it before the same
    // text runs again and do not keep the reference past the transaction.
    QSqlQuery &execReused(const QString &sql, const QVariantMap &params,
                          QSql::NumericalPrecisionPolicy precision = QSql::LowPrecisionDouble);
    // The kept statement of a text, prepared (forward only) on first use; the
    // caller binds by name or position and runs it (then countStatement()).
    QSqlQuery &reusedStatement(const QString &sql,
                               QSql::NumericalPrecisionPolicy precision = QSql::LowPrecisionDouble);

    // SQLite only (null on a server): the kept native statement of a text,
    // prepared on first use and finalized before the connection closes; for
    // the texts that run thousands of times a run. The caller counts each
    // run with countStatement(). Valid until the transaction ends (past the
    // same limit as the kept Qt statements, they are let go there).
    TOvSqliteStatement *sqliteStatement(const QString &sql);
    // PostgreSQL only (null on SQLite): the kept native statement of a text
    // with $1, $2, ... placeholders, prepared on the server at its first run
    // and kept while the connection is open; for the few texts every save
    // runs. The caller counts each run with countStatement().
    TOvPgStatement *pgStatement(const QString &sql);

    // Statements run on this connection so far: exec() counts its own, code
    // that runs a statement itself (a QSqlQuery of newQuery(), a kept or a
    // native one) counts it with countStatement() just before running it.
    // What the benchmarks report per payee.
    qint64 statementsRun() const { return m_statements; }
    void countStatement() { ++m_statements; aboutToRun(); }
    void countStatement(const QSqlQuery &q)
    {
        if (!m_waiting.empty()) [[unlikely]]
            sendWaiting();
        countBesideWaiting(q);
    }

    // PostgreSQL, inside a transaction, while a TOvWritesWithCommit lives: a
    // run of `statement`, with the values bound now, waits in the connection
    // and goes with the COMMIT, in one exchange with the server (a CU's value
    // rows: nobody reads their answer). Counted as run. Returns false, and
    // keeps nothing, when it must run now (SQLite, no transaction, waiting
    // not asked for): the caller runs it.
    // Whatever runs or is counted before the commit sends the waiting runs
    // first, except a statement counted with countBesideWaiting(), which the
    // caller knows cannot read what they write. A waiting run the server
    // refuses fails the commit, which then rolls back; a rollback drops them.
    bool letWait(TOvPgStatement &statement);
    void countBesideWaiting(const QSqlQuery &q)
    {
        ++m_statements;
        if (m_fault) [[unlikely]]
            faultPoint(q.lastQuery());
    }

    // The fault seam of the tests. When set, it is asked before every
    // statement the connection runs or is told of (exec(), execReused(),
    // countStatement(), aboutToRun(), BEGIN of startTransaction() and COMMIT
    // of commit(); never a rollback), with the statement's text when known.
    // When it answers true the statement does not run and fails as a refused
    // one does: EDatabaseError on the path of every database error, so the
    // caller's rollback runs. On PostgreSQL the server's transaction is
    // aborted as well, as by any error there; a refused COMMIT rolls the
    // transaction back as commit() does on a real refusal. Unset, it costs
    // the test of an empty function.
    using StatementFault = std::function<bool(const QString &sql)>;
    void setStatementFault(StatementFault fault) { m_fault = std::move(fault); }
    // For code that runs a statement itself without counting it (a BEGIN of
    // its own): the seam may refuse it here.
    void aboutToRun(const QString &sql = QString())
    {
        if (!m_waiting.empty()) [[unlikely]]
            sendWaiting();
        if (m_fault) [[unlikely]]
            faultPoint(sql);
    }

private:
    friend class TOvWritesWithCommit;
    // The waiting runs, sent now in one exchange (see letWait()).
    void sendWaiting();
    bool fail(ErrorKind kind, const QString &text);
    bool openSQLite();
    bool openPostgres();
    void requireOpen(const char *what) const;
    // ovRaiseSqlError(), or EOvConnectionLost when the error came from losing
    // the server, whatever the driver's message says.
    [[noreturn]] void raise(const QSqlError &error, const QString &context = QString()) const;
    [[noreturn]] void failStatement(QSqlQuery &query);
    // The seam's refusal of `sql`, when it gives one (see setStatementFault()).
    void faultPoint(const QString &sql, const QString &context = QString());
    // The error a refused statement gives: on PostgreSQL the server's own,
    // raised in the transaction.
    QSqlError simulatedError();
    // Lets every kept statement go of its result (a SQLite statement left
    // half-read holds its read lock) and forgets them all past the limit.
    void releaseReused();

    TOvDbConfig m_config;
    bool m_hasConfig = false;
    bool m_createIfMissing = false;
    bool m_inMemory = false;
    bool m_inTransaction = false;
    bool m_opened = false;   // open() succeeded and close() has not run since
    QString m_name;
    QSqlDatabase m_db;
    // PostgreSQL cannot free a prepared statement inside a failed transaction:
    // failed queries wait here for the transaction's end.
    std::vector<QSqlQuery> m_failedInTransaction;
    QString m_lastError;
    ErrorKind m_lastErrorKind = ErrorKind::None;
    qint64 m_statements = 0;
    quint64 m_transactions = 0;
    quint64 m_undone = 0;
    struct ReusedKey
    {
        QString sql;
        int precision;
        bool operator==(const ReusedKey &o) const { return precision == o.precision && sql == o.sql; }
    };
    friend size_t qHash(const ReusedKey &k, size_t seed) { return qHashMulti(seed, k.sql, k.precision); }
    // Stable addresses: callers hold references between runs.
    QHash<ReusedKey, std::shared_ptr<QSqlQuery>> m_reused;
    QHash<QString, std::shared_ptr<TOvSqliteStatement>> m_sqliteStatements;
    QHash<QString, std::shared_ptr<TOvPgStatement>> m_pgStatements;
    StatementFault m_fault;
    int m_letWait = 0;   // live TOvWritesWithCommit scopes
    std::vector<TOvPgStatement::Queued> m_waiting;
};

// The writes of the scope may wait for the commit (see letWait()).
class TOvWritesWithCommit
{
public:
    explicit TOvWritesWithCommit(TOvSQLConnection &c) : m_c(c) { ++c.m_letWait; }
    ~TOvWritesWithCommit() { --m_c.m_letWait; }
    TOvWritesWithCommit(const TOvWritesWithCommit &) = delete;
    TOvWritesWithCommit &operator=(const TOvWritesWithCommit &) = delete;

private:
    TOvSQLConnection &m_c;
};

// The connection the framework opened for the program; null until then.
extern TOvSQLConnection *OvGlobConn;

// True when the error says the connection to the server is gone: Qt's
// connection error on a server, the SQLSTATE class 08 (connection exception),
// 57P01-57P03 (the server shutting down, crashed or not yet accepting), or
// libpq's own texts for a connection that broke under a statement.
bool ovIsConnectionLost(const QSqlError &error);
// The cause of a database error an office can act on, in Italian (a lock held
// by another workstation, a full disk, a read-only database, a database file
// that cannot be opened, an I/O error); empty when there is none to add.
QString ovSqlCause(const QSqlError &error);
// "Errore del database: " followed by the Italian cause, when there is one,
// and the driver's own message in brackets.
QString ovSqlErrorText(const QSqlError &error);
// Raises EDatabaseError with ovSqlErrorText(); `context`, when given, goes
// between the prefix and the driver's message. A lost connection raises
// EOvConnectionLost instead, without the driver's text.
[[noreturn]] void ovRaiseSqlError(const QSqlError &error, const QString &context = QString());
