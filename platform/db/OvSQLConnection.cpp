#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvPgStatement.h"
#include "platform/db/OvSqliteStatement.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvFolders.h"
#include "platform/core/OvSafeFile.h"
#include "platform/db/OvSqliteFunctions.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <libpq-fe.h>
#include <sqlite3.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <fcntl.h>
#include <unistd.h>

TOvSQLConnection *OvGlobConn = nullptr;

namespace {

QAtomicInt g_connectionCounter;

// The driver frees each prepared statement on the server when its query
// goes, and warns in English for every one it cannot free on a connection
// that is gone (hundreds after a server lost in a run). Those statements went
// with the session: nothing to say. Any other warning goes on as before.
QtMessageHandler g_previousHandler = nullptr;

void quietOnLostConnection(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && message.startsWith(QLatin1String("Unable to free statement"))
        && (message.contains(QLatin1String("no connection to the server"))
            || message.contains(QLatin1String("connection pointer is NULL"))
            || message.contains(QLatin1String("server closed the connection"))
            || message.contains(QLatin1String("nessuna connessione al server"))))
        return;
    if (g_previousHandler)
        g_previousHandler(type, context, message);
    else
        std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

void quietDriverOnLostConnections()
{
    static std::once_flag installed;
    std::call_once(installed, [] { g_previousHandler = qInstallMessageHandler(quietOnLostConnection); });
}

QString driverMessage(const QSqlError &e)
{
    QString msg = e.databaseText().trimmed();
    if (msg.isEmpty())
        msg = e.driverText().trimmed();
    // libpq sends multi-line texts with tab indents; one line reads better in a box.
    msg.replace(QLatin1Char('\t'), QLatin1Char(' '));
    msg.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return msg.simplified();
}

bool containsAny(const QString &text, std::initializer_list<const char *> needles)
{
    for (const char *n : needles)
        if (text.contains(QLatin1String(n), Qt::CaseInsensitive))
            return true;
    return false;
}

}

// SQLite's primary result code, when the error is SQLite's (PostgreSQL's
// codes are five-character SQLSTATEs); 0 otherwise.
static int sqliteCode(const QSqlError &error)
{
    const QString code = error.nativeErrorCode();
    bool ok = false;
    const int n = code.toInt(&ok);
    return ok && code.size() <= 4 ? (n & 0xff) : 0;
}

bool ovIsConnectionLost(const QSqlError &error)
{
    if (!error.isValid())
        return false;
    // SQLite reports the failure to open its file as a connection error:
    // that is no server going away.
    if (error.type() == QSqlError::ConnectionError && sqliteCode(error) == 0)
        return true;
    const QString state = error.nativeErrorCode();
    if (state.size() == 5
        && (state.startsWith(QLatin1String("08")) || state == QLatin1String("57P01")
            || state == QLatin1String("57P02") || state == QLatin1String("57P03")))
        return true;
    return containsAny(driverMessage(error),
                       {"server closed the connection unexpectedly", "no connection to the server",
                        "terminating connection due to administrator command", "could not receive data from server",
                        "could not send data to server", "connection to server was lost",
                        "SSL connection has been closed unexpectedly", "connection pointer is NULL",
                        "server ha chiuso la connessione", "nessuna connessione al server",
                        "impossibile ricevere dati dal server", "impossibile inviare dati al server"});
}

QString ovSqlCause(const QSqlError &error)
{
    const QString msg = driverMessage(error);
    const int code = sqliteCode(error);
    // PostgreSQL: a lock not had in time (55P03, "canceling statement due to
    // lock timeout") or a deadlock broken by the server (40P01).
    const QString state = error.nativeErrorCode();
    if (containsAny(msg, {"database is locked", "database table is locked", "database is busy",
                          "due to lock timeout", "deadlock detected"})
        || code == SQLITE_BUSY || code == SQLITE_LOCKED || state == QLatin1String("55P03")
        || state == QLatin1String("40P01"))
        return QStringLiteral("il database è occupato da un'altra postazione o da un altro programma; "
                              "riprovare tra qualche istante");
    if (containsAny(msg, {"database or disk is full", "No space left on device", "could not extend file"})
        || code == SQLITE_FULL || error.nativeErrorCode() == QLatin1String("53100"))
        return ovFileErrorText(ENOSPC);
    if (containsAny(msg, {"attempt to write a readonly database", "readonly database"}) || code == SQLITE_READONLY
        || state == QLatin1String("25006"))
        return QStringLiteral("il database è in sola lettura: verificare i permessi del file, della sua "
                              "cartella e del disco");
    if (containsAny(msg, {"unable to open database file"}) || code == SQLITE_CANTOPEN)
        return QStringLiteral("impossibile aprire il file del database o i file che il database crea "
                              "accanto a sé (-wal, -shm): verificare che la cartella esista e sia scrivibile");
    if (containsAny(msg, {"disk I/O error"}) || code == SQLITE_IOERR)
        return ovFileErrorText(EIO);
    // A table or a column the statement names and the database lacks: the
    // database is not the one expected, or of an older version.
    // SQLite "no such table: x"; PostgreSQL 42P01 'relation "x" does not exist'.
    static const QRegularExpression missingTable(
        QStringLiteral("no such table: ([\\w.]+)|relation \"([\\w.]+)\" does not exist"));
    static const QRegularExpression missingColumn(
        QStringLiteral("no such column: ([\\w.]+)|column \"?([\\w.]+)\"? does not exist"));
    if (const QRegularExpressionMatch m = missingTable.match(msg); m.hasMatch())
        return QStringLiteral("nel database manca la tabella %1: il database non è quello atteso o è di una "
                              "versione precedente")
            .arg(m.captured(1).isEmpty() ? m.captured(2) : m.captured(1));
    if (const QRegularExpressionMatch m = missingColumn.match(msg); m.hasMatch())
        return QStringLiteral("nel database manca la colonna %1: il database non è quello atteso o è di una "
                              "versione precedente")
            .arg(m.captured(1).isEmpty() ? m.captured(2) : m.captured(1));
    return QString();
}

// The engine's message, after the cause an office can act on in Italian.
static QString errorCauseText(const QSqlError &error)
{
    const QString msg = driverMessage(error);
    const QString cause = ovSqlCause(error);
    return cause.isEmpty() ? msg : QStringLiteral("%1 (%2)").arg(cause, msg);
}

QString ovSqlErrorText(const QSqlError &error)
{
    return QStringLiteral("Errore del database: ") + errorCauseText(error);
}

void ovRaiseSqlError(const QSqlError &error, const QString &context)
{
    if (ovIsConnectionLost(error))
        throw EOvConnectionLost();
    if (context.isEmpty())
        throw EDatabaseError(ovSqlErrorText(error));
    throw EDatabaseError(QStringLiteral("Errore del database: %1: %2").arg(context, errorCauseText(error)));
}

TOvSQLConnection::TOvSQLConnection()
    : m_name(QStringLiteral("velcu-%1").arg(g_connectionCounter.fetchAndAddRelaxed(1) + 1))
{
}

TOvSQLConnection::TOvSQLConnection(const TOvDbConfig &config)
    : TOvSQLConnection()
{
    m_config = config;
    m_hasConfig = true;
    m_inMemory = false;
}

TOvSQLConnection::~TOvSQLConnection()
{
    if (OvGlobConn == this)
        OvGlobConn = nullptr;
    close();
    if (QSqlDatabase::contains(m_name)) {
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
}

void TOvSQLConnection::setConfig(const TOvDbConfig &config)
{
    if (isOpen())
        close();
    m_config = config;
    m_hasConfig = true;
}

bool TOvSQLConnection::fail(ErrorKind kind, const QString &text)
{
    m_lastErrorKind = kind;
    m_lastError = text;
    m_opened = false;
    if (m_db.isOpen())
        m_db.close();
    return false;
}

bool TOvSQLConnection::open()
{
    if (BeforeConnect)
        BeforeConnect(*this);
    if (isOpen())
        return true;
    m_lastError.clear();
    m_lastErrorKind = ErrorKind::None;
    m_inTransaction = false;

    // However the configuration was made, a password among the driver
    // options never reaches the driver (nor the process list of a server).
    try {
        TOvDriverOptions::refusePassword(m_config.connectOptions, QStringLiteral("configurazione della connessione"));
    } catch (const EOvError &e) {
        return fail(ErrorKind::Refused, e.message());
    }

    // The driver is chosen at every open: the configuration may have changed engine.
    if (QSqlDatabase::contains(m_name)) {
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    if (!QSqlDatabase::isDriverAvailable(m_config.driverName()))
        return fail(ErrorKind::Other, QStringLiteral("Driver del database %1 non disponibile: installare il "
                                                     "pacchetto del driver Qt SQL.").arg(m_config.driverName()));
    m_db = QSqlDatabase::addDatabase(m_config.driverName(), m_name);
    m_opened = m_config.isSQLite() ? openSQLite() : openPostgres();
    return m_opened;
}

bool TOvSQLConnection::openSQLite()
{
    const QString path = m_config.path;
    if (path.trimmed().isEmpty())
        return fail(ErrorKind::MissingFile, QStringLiteral("Percorso del database SQLite non indicato."));
    if (m_inMemory) {
        // A private database of this connection, gone when it closes: no
        // file to check, no journal.
        m_db.setDatabaseName(path);
        if (!m_db.open())
            return fail(ErrorKind::Other, QStringLiteral("Impossibile aprire un database in memoria: %1")
                                              .arg(errorCauseText(m_db.lastError())));
        return true;
    }
    const QFileInfo fi(path);
    if (fi.isDir())
        return fail(ErrorKind::NotADatabase,
                    QStringLiteral("\"%1\" è una cartella, non un file di database.").arg(path));
    if (!fi.exists()) {
        // The set-up tool makes the database's folder too, its owner's only.
        QString why;
        if (!QFileInfo(fi.absolutePath()).isDir() && m_createIfMissing && !ovTryMakePath(fi.absolutePath(), &why))
            return fail(ErrorKind::MissingFolder, why);
        if (!QFileInfo(fi.absolutePath()).isDir())
            return fail(ErrorKind::MissingFolder,
                        QStringLiteral("Impossibile aprire il database \"%1\": la cartella \"%2\" non esiste.")
                            .arg(path, QDir::toNativeSeparators(fi.absolutePath())));
        if (!m_createIfMissing)
            return fail(ErrorKind::MissingFile,
                        QStringLiteral("Il database \"%1\" non esiste. Crearlo con il comando "
                                       "\"velcu-db create --demo\".").arg(path));
    }

    // A new database holds fiscal data: readable by its owner only.
    if (!fi.exists()) {
        const QByteArray native = QFile::encodeName(fi.absoluteFilePath());
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            return fail(ErrorKind::Other, QStringLiteral("Impossibile creare il database \"%1\": %2.")
                                              .arg(path, ovFileErrorText(errno)));
        ::close(fd);
    }

    m_db.setDatabaseName(path);
    // A passing lock (another workstation saving) is waited for, not refused.
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs);
    if (!m_config.connectOptions.isEmpty())
        options += QLatin1Char(';') + m_config.connectOptions;
    m_db.setConnectOptions(options);
    if (!m_db.open())
        return fail(ErrorKind::Other, QStringLiteral("Impossibile aprire il database \"%1\": %2")
                                          .arg(path, errorCauseText(m_db.lastError())));

    // SQLite opens lazily: only a read shows whether the file is a database.
    {
        QSqlQuery probe(m_db);
        if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master"))) {
            const QSqlError e = probe.lastError();
            probe = QSqlQuery();
            if (e.nativeErrorCode() == QLatin1String("26") || containsAny(driverMessage(e), {"not a database"}))
                return fail(ErrorKind::NotADatabase,
                            QStringLiteral("Il file \"%1\" non è un database SQLite valido.").arg(path));
            return fail(ErrorKind::Other, QStringLiteral("Impossibile leggere il database \"%1\": %2")
                                              .arg(path, errorCauseText(e)));
        }
        // Write-ahead log: readers no longer block a save, nor a save the readers.
        // A database on a medium without shared memory stays in its old mode.
        if (probe.exec(QStringLiteral("PRAGMA journal_mode = WAL")) && probe.next()
            && probe.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
            qWarning("velcu: il database %s non usa il journal WAL", qPrintable(path));
        probe.finish();
        if (!probe.exec(QStringLiteral("PRAGMA foreign_keys = ON"))) {
            const QSqlError e = probe.lastError();
            probe = QSqlQuery();
            return fail(ErrorKind::Other, QStringLiteral("Impossibile impostare il database \"%1\": %2")
                                              .arg(path, errorCauseText(e)));
        }
    }
    const QString why = ovRegisterSqliteFunctions(nativeHandle());
    if (!why.isEmpty())
        return fail(ErrorKind::Other, why);
    return true;
}

bool TOvSQLConnection::openPostgres()
{
    quietDriverOnLostConnections();
    const TOvDbConfig &c = m_config;
    m_db.setHostName(c.host);
    m_db.setPort(c.port);
    m_db.setDatabaseName(c.database);
    if (!c.user.isEmpty())
        m_db.setUserName(c.user);
    if (!c.password.isEmpty())
        m_db.setPassword(c.password);
    // A server that does not answer must not freeze the program for minutes.
    QString options = QStringLiteral("connect_timeout=10;application_name=velcu");
    if (!c.connectOptions.isEmpty())
        options += QLatin1Char(';') + c.connectOptions;
    m_db.setConnectOptions(options);

    if (!m_db.open()) {
        const QString msg = driverMessage(m_db.lastError());
        const QString server = QStringLiteral("%1:%2").arg(c.host).arg(c.port);
        if (containsAny(msg, {"password authentication failed", "no password supplied",
                              "autenticazione con password fallita", "nessuna password fornita",
                              "authentication failed", "autenticazione", "role \"", "ruolo \""}))
            return fail(ErrorKind::Authentication,
                        QStringLiteral("Accesso al database negato per l'utente \"%1\" sul server %2: "
                                       "password errata o utente non autorizzato. (%3)")
                            .arg(c.effectiveUser(), server, msg));
        if (containsAny(msg, {"database \"", "il database \""}) && containsAny(msg, {"does not exist", "non esiste"}))
            return fail(ErrorKind::MissingDatabase,
                        QStringLiteral("Il database \"%1\" non esiste sul server %2.").arg(c.database, server));
        if (containsAny(msg, {"could not connect", "connection refused", "connessione rifiutata",
                              "impossibile connettersi", "timeout expired", "could not translate host name",
                              "no route to host", "network is unreachable", "connection to server at",
                              "connessione al server"}))
            return fail(ErrorKind::Unreachable,
                        QStringLiteral("Impossibile raggiungere il server del database %1: verificare che sia "
                                       "avviato e accetti connessioni. (%2)").arg(server, msg));
        return fail(ErrorKind::Other, QStringLiteral("Connessione al database %1 non riuscita: %2")
                                          .arg(c.describe(), errorCauseText(m_db.lastError())));
    }
    // "already exists, skipping" notices of the set-up scripts are noise.
    QSqlQuery q(m_db);
    q.exec(QStringLiteral("SET client_min_messages TO warning"));
    return true;
}

void TOvSQLConnection::openOrThrow()
{
    if (!open())
        throw EDatabaseError(m_lastError);
}

void TOvSQLConnection::close()
{
    ++m_undone;
    m_inTransaction = false;
    m_opened = false;
    m_waiting.clear();
    m_failedInTransaction.clear();
    m_reused.clear();
    m_sqliteStatements.clear();
    m_pgStatements.clear();   // the server forgets them with the connection
    if (m_db.isValid() && m_db.isOpen())
        m_db.close();
}

bool TOvSQLConnection::isOpen() const
{
    return m_db.isValid() && m_db.isOpen();
}

bool TOvSQLConnection::connectionLost() const
{
    if (!m_opened || !isPostgres() || !m_db.isValid())
        return false;
    if (!m_db.isOpen() || !m_db.driver())
        return true;
    const QVariant v = m_db.driver()->handle();
    if (!v.isValid())
        return true;
    auto *conn = *static_cast<PGconn *const *>(v.constData());
    return !conn || PQstatus(conn) == CONNECTION_BAD;
}

void TOvSQLConnection::raise(const QSqlError &error, const QString &context) const
{
    if (connectionLost())
        throw EOvConnectionLost();
    ovRaiseSqlError(error, context);
}

void *TOvSQLConnection::nativeHandle() const
{
    if (!isOpen() || !m_db.driver())
        return nullptr;
    const QVariant v = m_db.driver()->handle();
    if (!v.isValid())
        return nullptr;
    if (qstrcmp(v.typeName(), "sqlite3*") == 0 || qstrcmp(v.typeName(), "PGconn*") == 0
        || qstrcmp(v.typeName(), "pg_conn*") == 0)
        return *static_cast<void *const *>(v.constData());
    return nullptr;
}

void TOvSQLConnection::requireOpen(const char *what) const
{
    if (isOpen())
        return;
    // The driver counts a session the server dropped as closed.
    if (connectionLost())
        throw EOvConnectionLost();
    throw EDatabaseError(QStringLiteral("Errore del database: %1 con la connessione chiusa.")
                         .arg(QString::fromUtf8(what)));
}

void TOvSQLConnection::startTransaction()
{
    requireOpen("impossibile avviare una transazione");
    if (m_inTransaction)
        throw EAssertionFailed(QStringLiteral("Transazione già attiva sulla connessione."));
    if (m_fault) [[unlikely]]
        faultPoint(isSQLite() ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"),
                   QStringLiteral("avvio della transazione"));
    if (isSQLite()) {
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
            raise(q.lastError(), QStringLiteral("avvio della transazione"));
    } else if (!m_db.transaction()) {
        raise(m_db.lastError(), QStringLiteral("avvio della transazione"));
    }
    m_inTransaction = true;
    ++m_transactions;
}

void TOvSQLConnection::commit()
{
    requireOpen("impossibile confermare una transazione");
    if (!m_inTransaction)
        throw EAssertionFailed(QStringLiteral("Conferma di una transazione non avviata."));
    const bool refused = m_fault && m_fault(QStringLiteral("COMMIT"));
    QSqlError e;
    bool failed = refused;
    if (refused) {
        m_waiting.clear();
        e = simulatedError();
    } else if (!m_waiting.empty()) {
        // The waiting writes and the COMMIT in one exchange.
        const std::vector<TOvPgStatement::Queued> waiting = std::move(m_waiting);
        m_waiting.clear();
        e = TOvPgStatement::runTogether(static_cast<PGconn *>(nativeHandle()), waiting, "COMMIT");
        failed = e.isValid();
    } else if (!m_db.commit()) {
        failed = true;
        e = m_db.lastError();
    }
    if (failed) {
        // A commit that failed leaves nothing half-done behind.
        if (!connectionLost())
            m_db.rollback();
        ++m_undone;
        m_inTransaction = false;
        m_failedInTransaction.clear();
        releaseReused();
        raise(e, QStringLiteral("conferma della transazione"));
    }
    m_inTransaction = false;
    m_failedInTransaction.clear();
    releaseReused();
}

void TOvSQLConnection::rollback()
{
    m_waiting.clear();
    if (!m_inTransaction)
        return;
    m_inTransaction = false;
    ++m_undone;
    // A server that is gone rolled the transaction back with the session.
    if (!isOpen() || connectionLost()) {
        m_failedInTransaction.clear();
        return;
    }
    // SQLite rolls a transaction back by itself on some errors (a full disk,
    // an I/O error): there is nothing left to undo then.
    if (isSQLite() && sqlite3_get_autocommit(static_cast<sqlite3 *>(nativeHandle())) != 0) {
        m_failedInTransaction.clear();
        releaseReused();
        return;
    }
    const bool done = m_db.rollback();
    m_failedInTransaction.clear();
    releaseReused();
    if (!done)
        ovRaiseSqlError(m_db.lastError(), QStringLiteral("annullamento della transazione"));
}

QSqlQuery TOvSQLConnection::newQuery() const
{
    return QSqlQuery(m_db);
}

QSqlQuery TOvSQLConnection::exec(const QString &sql, const QVariantMap &params)
{
    requireOpen("impossibile eseguire un'istruzione");
    ++m_statements;
    aboutToRun(sql);
    QSqlQuery q(m_db);
    if (params.isEmpty()) {
        // Unprepared: PostgreSQL prepares only plain DML, not DDL.
        if (!q.exec(sql))
            raise(q.lastError());
        return q;
    }
    if (!q.prepare(sql))
        raise(q.lastError());
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        const QString name = it.key().startsWith(QLatin1Char(':')) ? it.key() : QLatin1Char(':') + it.key();
        q.bindValue(name, it.value());
    }
    if (!q.exec())
        failStatement(q);
    return q;
}

QSqlQuery &TOvSQLConnection::reusedStatement(const QString &sql, QSql::NumericalPrecisionPolicy precision)
{
    requireOpen("impossibile eseguire un'istruzione");
    std::shared_ptr<QSqlQuery> &slot = m_reused[ReusedKey{sql, int(precision)}];
    if (!slot) {
        auto q = std::make_shared<QSqlQuery>(m_db);
        q->setForwardOnly(true);
        q->setNumericalPrecisionPolicy(precision);
        if (!q->prepare(sql)) {
            const QSqlError e = q->lastError();
            m_reused.remove(ReusedKey{sql, int(precision)});
            raise(e);
        }
        slot = std::move(q);
    }
    return *slot;
}

TOvSqliteStatement *TOvSQLConnection::sqliteStatement(const QString &sql)
{
    requireOpen("impossibile eseguire un'istruzione");
    if (!isSQLite())
        return nullptr;
    std::shared_ptr<TOvSqliteStatement> &slot = m_sqliteStatements[sql];
    if (!slot) {
        try {
            slot = std::make_shared<TOvSqliteStatement>(static_cast<sqlite3 *>(nativeHandle()), sql);
        } catch (...) {
            m_sqliteStatements.remove(sql);
            throw;
        }
    }
    return slot.get();
}

TOvPgStatement *TOvSQLConnection::pgStatement(const QString &sql)
{
    requireOpen("impossibile eseguire un'istruzione");
    if (!isPostgres())
        return nullptr;
    std::shared_ptr<TOvPgStatement> &slot = m_pgStatements[sql];
    if (!slot)
        slot = std::make_shared<TOvPgStatement>(static_cast<PGconn *>(nativeHandle()), sql);
    return slot.get();
}

QSqlQuery &TOvSQLConnection::execReused(const QString &sql, const QVariantMap &params,
                                        QSql::NumericalPrecisionPolicy precision)
{
    QSqlQuery &q = reusedStatement(sql, precision);
    ++m_statements;
    aboutToRun(sql);
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        const QString name = it.key().startsWith(QLatin1Char(':')) ? it.key() : QLatin1Char(':') + it.key();
        q.bindValue(name, it.value());
    }
    if (!q.exec())
        raise(q.lastError());
    return q;
}

void TOvSQLConnection::releaseReused()
{
    // Past this many texts the run is not repeating itself: start afresh.
    constexpr int Limit = 400;
    // The native ones are reset after every use: only their number matters.
    if (m_sqliteStatements.size() > Limit)
        m_sqliteStatements.clear();
    if (m_pgStatements.size() > Limit) {
        // Outside any transaction here: the server frees what it prepared.
        auto *conn = static_cast<PGconn *>(nativeHandle());
        for (const std::shared_ptr<TOvPgStatement> &st : std::as_const(m_pgStatements))
            if (conn && !st->name().isEmpty())
                PQclear(PQexec(conn, QByteArray("DEALLOCATE " + st->name()).constData()));
        m_pgStatements.clear();
    }
    if (m_reused.size() > Limit) {
        m_reused.clear();
        return;
    }
    for (const std::shared_ptr<QSqlQuery> &q : std::as_const(m_reused))
        q->finish();
}

void TOvSQLConnection::failStatement(QSqlQuery &query)
{
    const QSqlError error = query.lastError();
    if (isPostgres() && m_inTransaction && !connectionLost())
        m_failedInTransaction.push_back(std::move(query));
    raise(error);
}

bool TOvSQLConnection::letWait(TOvPgStatement &statement)
{
    if (m_letWait == 0 || !m_inTransaction || !isPostgres())
        return false;
    ++m_statements;
    if (m_fault) [[unlikely]]
        faultPoint(QString());
    m_waiting.push_back(statement.queued());
    return true;
}

void TOvSQLConnection::sendWaiting()
{
    const std::vector<TOvPgStatement::Queued> waiting = std::move(m_waiting);
    m_waiting.clear();
    const QSqlError e = TOvPgStatement::runTogether(static_cast<PGconn *>(nativeHandle()), waiting);
    if (e.isValid())
        raise(e);
}

void TOvSQLConnection::faultPoint(const QString &sql, const QString &context)
{
    if (m_fault(sql))
        ovRaiseSqlError(simulatedError(), context);
}

QSqlError TOvSQLConnection::simulatedError()
{
    static const QString text = QStringLiteral("guasto simulato: istruzione rifiutata");
    if (isPostgres() && isOpen()) {
        // Raised by the server, so that its transaction is aborted as by a
        // real refusal and what follows in it is refused too.
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("DO $$BEGIN RAISE EXCEPTION '%1'; END$$").arg(text)))
            return q.lastError();
    }
    return QSqlError(QString(), text, QSqlError::StatementError, QStringLiteral("1"));
}
