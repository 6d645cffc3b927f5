// Opening the database: clean Italian refusals for every way it can fail,
// the BeforeConnect hook, the framework open path and statement errors.
#include "support/TestDb.h"
#include "support/TmpfsMount.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/dmOvConnection.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvPgRows.h"
#include "platform/db/OvPgStatement.h"
#include "platform/db/OvSqliteStatement.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

#include <arpa/inet.h>
#include <sys/stat.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A loopback port nobody listens on: bound by us a moment ago, then released.
int closedLoopbackPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        qFatal("no loopback port");
    ::close(fd);
    return ntohs(addr.sin_port);
}

// Failed logins of `user` in the log of the test server (scripts/pg-test.sh);
// -1 when the log cannot be read.
int failedLoginsLogged(const QString &user)
{
    QFile log(qEnvironmentVariable("PG_TEST_DIR") + QStringLiteral("/server.log"));
    if (qEnvironmentVariable("PG_TEST_DIR").isEmpty() || !log.open(QIODevice::ReadOnly))
        return -1;
    return int(log.readAll().count(QStringLiteral("authentication failed for user \"%1\"").arg(user).toUtf8()));
}

TOvDbConfig sqliteAt(const QString &path)
{
    TOvDbConfig c;
    c.path = path;
    return c;
}

// open() refuses with `kind` and a text holding `words`; openOrThrow() raises the same text.
void expectRefusal(const TOvDbConfig &config, TOvSQLConnection::ErrorKind kind, const QString &words)
{
    TOvSQLConnection conn(config);
    QVERIFY(!conn.open());
    QVERIFY(!conn.isOpen());
    QVERIFY2(conn.lastErrorKind() == kind, qPrintable(conn.lastErrorText()));
    QVERIFY2(conn.lastErrorText().contains(words), qPrintable(conn.lastErrorText()));
    try {
        conn.openOrThrow();
        QFAIL("openOrThrow did not raise");
    } catch (const EDatabaseError &e) {
        QCOMPARE(e.message(), conn.lastErrorText());
    }
}

}

class TstDbConnection : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { VELCU_REQUIRE_TEST_DB(); }

    void sqliteFileProblems()
    {
        if (TestDb::isPostgres())
            QSKIP("SQLite files only");
        QTemporaryDir dir;
        using K = TOvSQLConnection::ErrorKind;
        expectRefusal(sqliteAt(dir.filePath(QStringLiteral("manca/x.sqlite"))), K::MissingFolder,
                      QStringLiteral("la cartella \"%1\" non esiste").arg(dir.filePath(QStringLiteral("manca"))));
        // The program never creates an empty database by mistake.
        expectRefusal(sqliteAt(dir.filePath(QStringLiteral("nuovo.sqlite"))), K::MissingFile,
                      QStringLiteral("velcu-db create --demo"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("nuovo.sqlite"))));
        expectRefusal(sqliteAt(dir.path()), K::NotADatabase, QStringLiteral("è una cartella"));

        const QString text = dir.filePath(QStringLiteral("appunti.txt"));
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("Questo non è un database, ma un file di testo abbastanza lungo da avere un'intestazione.\n")
                    .repeated(20));
        f.close();
        expectRefusal(sqliteAt(text), K::NotADatabase,
                      QStringLiteral("Il file \"%1\" non è un database SQLite valido.").arg(text));

        // The set-up tool may create it.
        TOvSQLConnection creator(sqliteAt(dir.filePath(QStringLiteral("nuovo.sqlite"))));
        creator.setCreateIfMissing(true);
        QVERIFY2(creator.open(), qPrintable(creator.lastErrorText()));
        // It holds fiscal data: its owner's only, in write-ahead-log mode.
        const QString created = dir.filePath(QStringLiteral("nuovo.sqlite"));
        QCOMPARE(QFile::permissions(created) & (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup
                                                | QFile::WriteOther),
                 QFile::Permissions());
        QSqlQuery q = creator.exec(QStringLiteral("PRAGMA journal_mode"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
    }

    void serverProblems()
    {
        if (!TestDb::isPostgres())
            QSKIP("PostgreSQL server only");
        using K = TOvSQLConnection::ErrorKind;
        TOvDbConfig closed = TestDb::serverConfig();
        closed.host = QStringLiteral("127.0.0.1");
        closed.port = closedLoopbackPort();
        expectRefusal(closed, K::Unreachable,
                      QStringLiteral("Impossibile raggiungere il server del database 127.0.0.1:%1").arg(closed.port));

        TOvDbConfig noDb = TestDb::serverConfig();
        noDb.database = QStringLiteral("velcu_inesistente");
        expectRefusal(noDb, K::MissingDatabase, QStringLiteral("Il database \"velcu_inesistente\" non esiste"));

        const QString authUser = qEnvironmentVariable("VELCU_TEST_PGAUTHUSER");
        if (authUser.isEmpty())
            QSKIP("no password-checked role on this server (VELCU_TEST_PGAUTHUSER)");
        TOvDbConfig wrong = TestDb::serverConfig();
        wrong.user = authUser;
        wrong.password = QStringLiteral("password-sbagliata");
        expectRefusal(wrong, K::Authentication,
                      QStringLiteral("Accesso al database negato per l'utente \"%1\"").arg(authUser));
        TOvSQLConnection conn(wrong);
        conn.open();
        QVERIFY(!conn.lastErrorText().contains(wrong.password));
    }

    // Options that carry a password are refused before the driver sees
    // them, whoever built the configuration: on the server, a role that must
    // give its password gets our refusal, not the server's.
    void passwordOptionsNeverReachTheDriver()
    {
        using K = TOvSQLConnection::ErrorKind;
        auto db = TestDb::open();
        TOvDbConfig c = TestDb::config();
        if (TestDb::isPostgres()) {
            const QString authUser = qEnvironmentVariable("VELCU_TEST_PGAUTHUSER");
            if (authUser.isEmpty())
                QSKIP("no password-checked role on this server (VELCU_TEST_PGAUTHUSER)");
            c = TestDb::serverConfig();
            c.user = authUser;
        }
        const int loginsBefore = TestDb::isPostgres() ? failedLoginsLogged(c.user) : -1;
        for (const char *options : {"connect_timeout=5 password=password-sbagliata",
                                    "connect_timeout=5;application_name='x;password=password-sbagliata'",
                                    "passfile=/root/.pgpass"}) {
            c.connectOptions = QString::fromLatin1(options);
            expectRefusal(c, K::Refused, QStringLiteral("non possono contenere la password"));
        }
        if (!TestDb::isPostgres())
            return;
        // The same wrong password given the proper way does reach the server.
        c.connectOptions = QStringLiteral("connect_timeout=5");
        c.password = QStringLiteral("password-sbagliata");
        // Nothing came to the server before; the proper attempt is logged there.
        if (loginsBefore >= 0)
            QCOMPARE(failedLoginsLogged(c.user), loginsBefore);
        expectRefusal(c, K::Authentication, QStringLiteral("Accesso al database negato"));
        if (loginsBefore >= 0)
            QVERIFY(failedLoginsLogged(c.user) > loginsBefore);
    }

    // What SQLite says in English reaches the office with the cause in
    // Italian before it: on a real full disk and a real read-only disk.
    void sqliteFailuresSayTheCauseInItalian()
    {
        if (TestDb::isPostgres())
            QSKIP("SQLite files only");
        TmpfsMount disk(1024 * 1024);
        VELCU_REQUIRE_TMPFS(disk);
        const QString wal = disk.filePath(QStringLiteral("cartella/velcu.sqlite"));
        const QString rollback = disk.filePath(QStringLiteral("velcu-rollback.sqlite"));
        const QString full = disk.filePath(QStringLiteral("velcu-pieno.sqlite"));
        for (const QString &path : {wal, rollback, full}) {
            TOvSQLConnection conn(sqliteAt(path));
            conn.setCreateIfMissing(true);
            QVERIFY2(conn.open(), qPrintable(conn.lastErrorText()));
            conn.exec(QStringLiteral("CREATE TABLE t (x BLOB)"));
            // Another program's database, never opened by ours till the disk is read-only.
            if (path == rollback)
                conn.exec(QStringLiteral("PRAGMA journal_mode = DELETE"));
        }
        // The set-up tool made the database's folder: its owner's only.
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(QFileInfo(wal).absolutePath()).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0700));

        auto expectCause = [](const QString &text, const QString &cause, const char *engine) {
            QVERIFY2(text.contains(cause) && text.contains(QLatin1String(engine)), qPrintable(text));
            QVERIFY2(text.indexOf(cause) < text.indexOf(QLatin1String(engine)), qPrintable(text));
        };
        {
            TOvSQLConnection conn(sqliteAt(full));
            QVERIFY(conn.open());
            disk.fill();
            try {
                for (int i = 0; i < 100; ++i)
                    conn.exec(QStringLiteral("INSERT INTO t VALUES (zeroblob(65536))"));
                QFAIL("a full disk took every row");
            } catch (const EDatabaseError &e) {
                expectCause(e.message(), QStringLiteral("spazio su disco esaurito"), "database or disk is full");
            }
            // The same cause from a statement run straight on the engine,
            // which is ready again afterwards.
            TOvSqliteStatement *native = conn.sqliteStatement(QStringLiteral("INSERT INTO t VALUES (?)"));
            QVERIFY(native);
            try {
                for (int i = 0; i < 100; ++i) {
                    native->bind(0, QByteArray(65536, 'x'));
                    native->run();
                }
                QFAIL("a full disk took every row");
            } catch (const EDatabaseError &e) {
                expectCause(e.message(), QStringLiteral("spazio su disco esaurito"), "database or disk is full");
            }
            disk.release();
            native->bind(0, QByteArray("y"));
            native->run();
        }
        disk.release();

        QVERIFY(disk.setReadOnly(true));
        // A WAL database on a read-only disk (or in a folder its user may not
        // write): SQLite cannot make its shared-memory file beside it.
        {
            TOvSQLConnection conn(sqliteAt(wal));
            QVERIFY(!conn.open());
            expectCause(conn.lastErrorText(), QStringLiteral("impossibile aprire il file del database"),
                        "unable to open database file");
            QVERIFY2(conn.lastErrorText().contains(wal), qPrintable(conn.lastErrorText()));
        }
        // A database file that may only be read: opened, but every write refused.
        {
            TOvSQLConnection conn(sqliteAt(rollback));
            QVERIFY2(conn.open(), qPrintable(conn.lastErrorText()));
            try {
                conn.exec(QStringLiteral("INSERT INTO t VALUES (x'00')"));
                QFAIL("a read-only database took a row");
            } catch (const EDatabaseError &e) {
                expectCause(e.message(), QStringLiteral("il database è in sola lettura"),
                            "attempt to write a readonly database");
            }
        }
        QVERIFY(disk.setReadOnly(false));

        // The engine's code decides when its text is only Qt's.
        const QSqlError ioError(QStringLiteral("Unable to fetch row"), QStringLiteral("disk I/O error"),
                                QSqlError::StatementError, QStringLiteral("522"));
        QVERIFY(ovSqlErrorText(ioError).contains(QStringLiteral("errore di lettura o scrittura sul disco")));
        const QSqlError codeOnly(QStringLiteral("Unable to fetch row"), QString(), QSqlError::StatementError,
                                 QStringLiteral("14"));
        QVERIFY(ovSqlCause(codeOnly).startsWith(QStringLiteral("impossibile aprire il file del database")));
        // A PostgreSQL code is no SQLite number.
        const QSqlError pgUnique(QStringLiteral("x"), QStringLiteral("duplicate key"), QSqlError::StatementError,
                                 QStringLiteral("23505"));
        QVERIFY(ovSqlCause(pgUnique).isEmpty());
        // A server's lock not had in time, a deadlock and a read-only transaction.
        for (const char *state : {"55P03", "40P01"}) {
            const QSqlError pgLock(QStringLiteral("x"), QStringLiteral("canceling statement"), QSqlError::StatementError,
                                   QString::fromLatin1(state));
            QVERIFY2(ovSqlCause(pgLock).startsWith(QStringLiteral("il database è occupato")), state);
        }
        const QSqlError pgReadOnly(QStringLiteral("x"), QStringLiteral("cannot execute UPDATE in a read-only transaction"),
                                   QSqlError::StatementError, QStringLiteral("25006"));
        QVERIFY(ovSqlCause(pgReadOnly).startsWith(QStringLiteral("il database è in sola lettura")));
        // A table or a column the database lacks, in each engine's words.
        const struct { const char *text, *state, *cause; } missing[] = {
            {"no such table: tadef_detrfigli", "1", "nel database manca la tabella tadef_detrfigli:"},
            {"ERROR:  relation \"tadef_detrfigli\" does not exist\nLINE 1: SELECT", "42P01",
             "nel database manca la tabella tadef_detrfigli:"},
            {"no such column: rel.ianaid", "1", "nel database manca la colonna rel.ianaid:"},
            {"ERROR:  column \"ianaid\" does not exist", "42703", "nel database manca la colonna ianaid:"},
        };
        for (const auto &m : missing) {
            const QSqlError e(QStringLiteral("x"), QString::fromUtf8(m.text), QSqlError::StatementError,
                              QString::fromLatin1(m.state));
            QVERIFY2(ovSqlCause(e).startsWith(QString::fromUtf8(m.cause)), qPrintable(ovSqlCause(e)));
        }
    }

    // A connection the server lost is told apart from every other failure, by
    // the error's kind, the server's code or libpq's text, and raised as its
    // own error whose text is the office's, not the driver's.
    void lostConnectionRecognised_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("lost");
        const int st = QSqlError::StatementError;
        QTest::newRow("libpq: server closed")
            << QStringLiteral("server closed the connection unexpectedly\n\tThis probably means the server "
                              "terminated abnormally") << st << QString() << true;
        QTest::newRow("libpq: no connection") << QStringLiteral("no connection to the server") << st << QString() << true;
        QTest::newRow("ended by an administrator")
            << QStringLiteral("FATAL: terminating connection due to administrator command") << st
            << QStringLiteral("57P01") << true;
        QTest::newRow("server crashed") << QStringLiteral("x") << st << QStringLiteral("57P02") << true;
        QTest::newRow("server starting") << QStringLiteral("x") << st << QStringLiteral("57P03") << true;
        QTest::newRow("connection failure") << QStringLiteral("x") << st << QStringLiteral("08006") << true;
        QTest::newRow("Qt connection error") << QStringLiteral("x") << int(QSqlError::ConnectionError) << QString()
                                             << true;
        QTest::newRow("query canceled") << QStringLiteral("canceling statement due to user request") << st
                                        << QStringLiteral("57014") << false;
        QTest::newRow("lock timeout") << QStringLiteral("canceling statement due to lock timeout") << st
                                      << QStringLiteral("55P03") << false;
        QTest::newRow("duplicate key") << QStringLiteral("duplicate key") << st << QStringLiteral("23505") << false;
        QTest::newRow("SQLite cannot open") << QStringLiteral("unable to open database file")
                                            << int(QSqlError::ConnectionError) << QStringLiteral("14") << false;
        QTest::newRow("SQLite disk I/O") << QStringLiteral("disk I/O error") << st << QStringLiteral("522") << false;
    }

    void lostConnectionRecognised()
    {
        QFETCH(QString, text);
        QFETCH(int, type);
        QFETCH(QString, code);
        QFETCH(bool, lost);
        const QSqlError e(QStringLiteral("QPSQL: Unable to create query"), text, QSqlError::ErrorType(type), code);
        QCOMPARE(ovIsConnectionLost(e), lost);
        try {
            ovRaiseSqlError(e, QStringLiteral("avvio della transazione"));
        } catch (const EOvConnectionLost &l) {
            QVERIFY(lost);
            QVERIFY(l.message().startsWith(QStringLiteral("Il server del database non è raggiungibile")));
            QVERIFY2(!l.message().contains(text), qPrintable(l.message()));
        } catch (const EDatabaseError &d) {
            QVERIFY2(!lost, qPrintable(d.message()));
        }
    }

    void beforeConnectMayRefuse()
    {
        auto db = TestDb::open();
        TOvSQLConnection conn(TestDb::config());
        int calls = 0;
        conn.BeforeConnect = [&calls](TOvSQLConnection &) {
            ++calls;
            if (!OvGlobConn)
                throw EOvError(QStringLiteral("Connessione al database non consentita"));
        };
        QVERIFY_THROWS_EXCEPTION(EOvError, conn.open());
        QCOMPARE(calls, 1);
        QVERIFY(!conn.isOpen());

        // The framework path sets the global connection first, then opens.
        TdmOvConnection module;
        module.xqoMain.setConfig(TestDb::config());
        module.xqoMain.BeforeConnect = conn.BeforeConnect;
        QVERIFY2(module.OpenConnection(), qPrintable(module.xqoMain.lastErrorText()));
        QCOMPARE(OvGlobConn, &module.xqoMain);
        QVERIFY(module.xqoMain.isOpen());
        module.CloseConnection();
        QCOMPARE(OvGlobConn, nullptr);

        // A failed open leaves no global connection behind.
        TdmOvConnection broken;
        TOvDbConfig bad = TestDb::config();
        bad.path = QStringLiteral("/cartella/che/non/esiste/x.sqlite");
        bad.database = QStringLiteral("velcu_inesistente");
        broken.xqoMain.setConfig(bad);
        QVERIFY(!broken.OpenConnection());
        QCOMPARE(OvGlobConn, nullptr);
        QVERIFY(!broken.xqoMain.lastErrorText().isEmpty());
    }

    void statementErrorsCarryTheDriverMessage()
    {
        auto db = TestDb::open();
        try {
            db->exec(QStringLiteral("SELECT colonna_inesistente FROM tcds_struttura"));
            QFAIL("no error raised");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Errore del database: ")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("colonna_inesistente")), qPrintable(e.message()));
        }
        // Parameters by name, with or without the colon; the connection is still usable.
        db->exec(QStringLiteral("INSERT INTO tcufo_fondicu (icufoid, scufodesc, icufotiposcuola) VALUES (:ID, :D, :T)"),
                 {{QStringLiteral(":ID"), 7}, {QStringLiteral("D"), QStringLiteral("Fondo d'istituto; quota A")},
                  {QStringLiteral("T"), QVariant(QMetaType(QMetaType::Int))}});
        QSqlQuery q = db->exec(QStringLiteral("SELECT scufodesc, icufotiposcuola FROM tcufo_fondicu WHERE icufoid = :ID"),
                               {{QStringLiteral("ID"), 7}});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("Fondo d'istituto; quota A"));
        QVERIFY(q.value(1).isNull());
    }

    // A statement run straight on SQLite stores and reads each kind of value
    // as the Qt driver does: rows written either way read back the same, and
    // a query gives the same columns and values either way.
    void nativeStatementsStoreAndReadAsTheDriverDoes()
    {
        if (TestDb::isPostgres())
            QSKIP("SQLite only");
        TOvSQLConnection conn;
        conn.setInMemory();
        QVERIFY(conn.open());
        conn.exec(QStringLiteral("CREATE TABLE t (via TEXT, i INTEGER, n NUMERIC(20,6), s TEXT, d TIMESTAMP)"));
        const QList<QVariant> values = {
            QVariant(),
            QVariant(QMetaType::fromType<int>()),
            QVariant(QMetaType::fromType<QString>()),
            QVariant(QString()),
            QVariant(QStringLiteral("")),
            QVariant(QStringLiteral("ROSSI D'ALESSIO è così\r\n")),
            QVariant(QStringLiteral("12345678.9876")),
            QVariant(QStringLiteral("100.00")),
            QVariant(7),
            QVariant(true),
            QVariant(qlonglong(2025001)),
            QVariant(uint(4000000000u)),
            QVariant(0.125),
            QVariant(QDate(1980, 1, 1)),
            QVariant(QDateTime(QDate(2025, 3, 4), QTime(5, 6, 7, 8))),
            QVariant(QTime(23, 59, 1)),
            QVariant(QByteArray("\x00\x01", 2)),
        };
        const QString insert = QStringLiteral("INSERT INTO t (via, i, n, s, d) VALUES (:VIA, :I, :N, :S, :D)");
        TOvSqliteStatement *native = conn.sqliteStatement(insert);
        QVERIFY(native);
        QCOMPARE(conn.sqliteStatement(insert), native); // kept
        QCOMPARE(conn.pgStatement(insert), nullptr);    // a server's only
        QSqlQuery driver = conn.newQuery();
        QVERIFY(driver.prepare(insert));
        for (const QVariant &v : values) {
            native->bind(0, QStringLiteral("native"));
            driver.bindValue(0, QStringLiteral("driver"));
            for (int k = 1; k <= 4; ++k) {
                native->bind(k, v);
                driver.bindValue(k, v);
            }
            native->run();
            QVERIFY2(driver.exec(), qPrintable(driver.lastError().text()));
        }
        auto stored = [&](const char *via) {
            QStringList rows;
            QSqlQuery q = conn.exec(QStringLiteral("SELECT typeof(i), quote(i), typeof(n), quote(n), typeof(s), "
                                                   "quote(s), typeof(d), quote(d) FROM t WHERE via = :VIA ORDER BY rowid"),
                                    {{QStringLiteral("VIA"), QString::fromLatin1(via)}});
            while (q.next()) {
                QStringList cells;
                for (int k = 0; k < 8; ++k)
                    cells << q.value(k).toString();
                rows << cells.join(QLatin1Char('|'));
            }
            return rows;
        };
        QCOMPARE(stored("native").size(), values.size());
        QCOMPARE(stored("native"), stored("driver"));

        const QString select = QStringLiteral(
            "SELECT i, n AS \"Importo\", s, d, i * 2.5 AS meta, upper(s), NULL AS vuoto, n, rowid FROM t "
            "WHERE via = :VIA AND (:TUTTI = 1 OR i IS NOT NULL) ORDER BY rowid");
        TOvSqliteStatement *reader = conn.sqliteStatement(select);
        QVERIFY(reader->bindByName({{QStringLiteral("VIA"), QStringLiteral("driver")},
                                    {QStringLiteral(":TUTTI"), 1}}));
        QSqlQuery viaDriver = conn.newQuery();
        QVERIFY(viaDriver.prepare(select));
        viaDriver.bindValue(QStringLiteral(":VIA"), QStringLiteral("driver"));
        viaDriver.bindValue(QStringLiteral(":TUTTI"), 1);
        QVERIFY(viaDriver.exec());
        QCOMPARE(reader->columnCount(), viaDriver.record().count());
        for (int k = 0; k < reader->columnCount(); ++k)
            QCOMPARE(reader->columnName(k), viaDriver.record().fieldName(k));
        int read = 0;
        while (reader->next()) {
            QVERIFY(viaDriver.next());
            for (int k = 0; k < reader->columnCount(); ++k) {
                const QVariant mine = reader->value(k), theirs = viaDriver.value(k);
                const QByteArray where = QByteArray::number(read) + "/" + QByteArray::number(k);
                QVERIFY2(mine.metaType() == theirs.metaType(), where + " " + mine.metaType().name() + " "
                                                                    + theirs.metaType().name());
                QVERIFY2(mine.isNull() == theirs.isNull() && mine == theirs, where);
            }
            ++read;
        }
        QVERIFY(!viaDriver.next());
        QCOMPARE(read, values.size());
        // Read to its end, it runs again with other values; a text without
        // names is not bound by name.
        QVERIFY(reader->bindByName({{QStringLiteral("VIA"), QStringLiteral("nessuno")}, {QStringLiteral("TUTTI"), 1}}));
        QVERIFY(!reader->next());
        QVERIFY(!conn.sqliteStatement(QStringLiteral("SELECT ? + 1"))->bindByName({{QStringLiteral("A"), 1}}));
        // A refused text says why.
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, conn.sqliteStatement(QStringLiteral("INSERT INTO nessuna VALUES (1)")));
    }

    // On a server the native statement stores every kind of value as the Qt
    // driver does, and its failures read as the driver's: the server's
    // message, and the cause an office can act on.
    void serverNativeStatementsStoreAsTheDriverDoes()
    {
        if (!TestDb::isPostgres())
            QSKIP("PostgreSQL only");
        auto db = TestDb::open();
        QCOMPARE(db->pgStatement(QStringLiteral("SELECT 1")), db->pgStatement(QStringLiteral("SELECT 1")));   // kept
        db->exec(QStringLiteral("CREATE TABLE tnat (seq SERIAL, via TEXT, i BIGINT, n NUMERIC(20,6), s TEXT, "
                                "d TIMESTAMP, b BYTEA)"));
        const QVariant nullInt(QMetaType::fromType<int>()), nullText(QMetaType::fromType<QString>()),
            nullDate(QMetaType::fromType<QDate>());
        struct Row
        {
            QVariant i, n, s, d, b;
        };
        const QList<Row> rows = {
            {QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
            {nullInt, nullText, nullText, nullDate, QVariant(QByteArray())},
            {7, QStringLiteral("12345678.9876"), QString(), QDate(1980, 1, 1), QByteArray("\x00\x01\\'", 4)},
            {qlonglong(2025001), QStringLiteral("100.00"), QStringLiteral(""),
             QStringLiteral("2025-03-04T05:06:07.008"), QByteArray("x")},
            {uint(4000000000u), 0.125, QStringLiteral("ROSSI D'ALESSIO è così\\ \r\n$1 ?"), nullDate, QVariant()},
            {qlonglong(-1), 0.1 + 0.2, QStringLiteral("'; DROP TABLE tnat; --"), QDate(2025, 12, 31), QVariant()},
            {0, 1234.5678912, QStringLiteral("€ ñ 日本"), QVariant(), QVariant()},
            {nullInt, 1e-7, QStringLiteral("x"), QVariant(), QVariant()},
        };
        TOvPgStatement *native = db->pgStatement(
            QStringLiteral("INSERT INTO tnat (via, i, n, s, d, b) VALUES ($1, $2, $3, $4, $5, $6)"));
        QVERIFY(native);
        QSqlQuery driver = db->newQuery();
        QVERIFY(driver.prepare(QStringLiteral("INSERT INTO tnat (via, i, n, s, d, b) VALUES (?, ?, ?, ?, ?, ?)")));
        for (const Row &r : rows) {
            const QVariant values[] = {r.i, r.n, r.s, r.d, r.b};
            native->bind(0, QStringLiteral("native"));
            driver.bindValue(0, QStringLiteral("driver"));
            for (int k = 0; k < 5; ++k) {
                native->bind(k + 1, values[k]);
                driver.bindValue(k + 1, values[k]);
            }
            native->run();
            QVERIFY2(driver.exec(), qPrintable(driver.lastError().text()));
        }
        auto stored = [&](const char *via) {
            QStringList out;
            QSqlQuery q = db->exec(QStringLiteral("SELECT i IS NULL, i, n IS NULL, n::text, s IS NULL, s, d IS NULL, "
                                                  "d::text, b IS NULL, encode(b, 'hex') FROM tnat WHERE via = :V "
                                                  "ORDER BY seq"),
                                   {{QStringLiteral("V"), QString::fromLatin1(via)}});
            while (q.next()) {
                QStringList cells;
                for (int k = 0; k < 10; ++k)
                    cells << q.value(k).toString();
                out << cells.join(QLatin1Char('|'));
            }
            return out;
        };
        QCOMPARE(stored("native").size(), rows.size());
        QCOMPARE(stored("native"), stored("driver"));
        QVERIFY(stored("native").at(5).contains(QStringLiteral("0.300000")));

        // A value the column refuses: the server's message, the connection
        // usable again after the rollback.
        db->startTransaction();
        native->bind(1, QStringLiteral("non è un numero"));
        try {
            native->run();
            QFAIL("value accepted");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Errore del database: ")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("bigint")), qPrintable(e.message()));
        }
        db->rollback();
        native->bind(1, 8);
        native->run();

        // A table another workstation holds: the lock not had in time reads as
        // the driver's does.
        TOvSQLConnection other(TestDb::config());
        QVERIFY(other.open());
        other.startTransaction();
        other.exec(QStringLiteral("LOCK TABLE tnat IN ACCESS EXCLUSIVE MODE"));
        db->startTransaction();
        db->exec(QStringLiteral("SET LOCAL lock_timeout = '100ms'"));
        try {
            native->run();
            QFAIL("lock not waited for");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("il database è occupato")), qPrintable(e.message()));
        }
        db->rollback();
        other.rollback();
        // What was written: the rows, and the one run after the refusal.
        QCOMPARE(stored("native").size(), rows.size() + 1);
    }

    // Rows read straight from libpq give, kind by kind, what the Qt driver
    // gives for the same columns, and the server's own text.
    void serverRowsReadAsTheDriverDoes()
    {
        if (!TestDb::isPostgres())
            QSKIP("PostgreSQL only");
        auto db = TestDb::open();
        const QString sql = QStringLiteral(
            "SELECT * FROM (VALUES "
            "(true, 7::smallint, -42, 9007199254740993::bigint, 12345678.9876::numeric(18,4), 0.1::float8, "
            "DATE '2025-02-28', TIMESTAMP '2025-03-04 05:06:07.008', TIMESTAMPTZ '2025-03-04 05:06:07+02', "
            "'\\x00ff27'::bytea, 'ROSSI D''ALESSIO è così'::varchar(40), 'ab'::char(4), 26::oid), "
            "(false, NULL, 0, -5, -0.5, 'NaN', NULL, NULL, NULL, NULL, '', NULL, NULL), "
            "(NULL, 0, NULL, NULL, NULL, NULL, DATE '1900-01-01', TIMESTAMP '2024-12-31 23:59:59', NULL, "
            "''::bytea, NULL, '', NULL)) "
            "AS t(b, i2, i4, i8, n, f, d, ts, tz, by, s, c, o)");
        const TOvPgRows rows(*db, sql);
        QSqlQuery driver = db->exec(sql);
        QCOMPARE(rows.rows(), 3);
        QCOMPARE(rows.columns(), 13);
        for (int r = 0; driver.next(); ++r) {
            for (int c = 0; c < rows.columns(); ++c) {
                const QVariant mine = rows.value(r, c), theirs = driver.value(c);
                const QString where = QStringLiteral("riga %1, colonna %2").arg(r).arg(rows.name(c));
                QVERIFY2(mine.metaType() == theirs.metaType(), qPrintable(where + QStringLiteral(" ") + QString::fromLatin1(mine.metaType().name()) + QStringLiteral(" / ") + QString::fromLatin1(theirs.metaType().name())));
                QVERIFY2(mine.isNull() == theirs.isNull(), qPrintable(where));
                if (mine.typeId() == QMetaType::Double && qIsNaN(mine.toDouble()))
                    QVERIFY2(qIsNaN(theirs.toDouble()), qPrintable(where));
                else
                    QVERIFY2(mine == theirs, qPrintable(where + QStringLiteral(": ") + mine.toString()
                                                        + QStringLiteral(" / ") + theirs.toString()));
                QCOMPARE(rows.isNull(r, c), mine.isNull());
                QCOMPARE(rows.isText(c), theirs.metaType() == QMetaType::fromType<QString>());
            }
        }
        QCOMPARE(rows.text(0, 10), QStringLiteral("ROSSI D'ALESSIO è così").toUtf8());
        QCOMPARE(rows.text(0, 11), QByteArray("ab  "));
        QCOMPARE(rows.type(4), unsigned(TOvPgRows::Numeric));

        // A refusal: the server's words, the connection usable again.
        try {
            TOvPgRows bad(*db, QStringLiteral("SELECT * FROM nessuna_tabella"));
            QFAIL("refused text accepted");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("nessuna_tabella")), qPrintable(e.message()));
        }
        QCOMPARE(TOvPgRows(*db, QStringLiteral("SELECT 1")).rows(), 1);
    }

    // On a server, writes let wait go with the COMMIT in one exchange: not
    // before (unless another statement needs them), all or nothing with the
    // rest of the transaction, and the connection idle again afterwards.
    void serverWritesWaitForTheCommit()
    {
        if (!TestDb::isPostgres())
            QSKIP("PostgreSQL only");
        auto db = TestDb::open();
        db->exec(QStringLiteral("CREATE TABLE tatt (k INTEGER PRIMARY KEY, s TEXT)"));
        TOvSQLConnection other(TestDb::config());
        QVERIFY(other.open());
        auto count = [](TOvSQLConnection &c) {
            QSqlQuery q = c.exec(QStringLiteral("SELECT COUNT(*) FROM tatt"));
            return q.next() ? q.value(0).toInt() : -1;
        };
        TOvPgStatement *ins = db->pgStatement(QStringLiteral("INSERT INTO tatt (k, s) VALUES ($1, $2)"));
        auto wait = [&](int k, const QString &s) {
            ins->bind(0, k);
            ins->bind(1, s);
            return db->letWait(*ins);
        };

        // Only inside a transaction, while asked for.
        QVERIFY(!wait(1, QStringLiteral("x")));
        {
            TOvWritesWithCommit scope(*db);
            QVERIFY(!wait(1, QStringLiteral("x")));
        }

        // Counted as run, sent with the COMMIT, with the values of each
        // run (the statement rebound in between), past a statement counted
        // beside them and a result read forward only and left half-read.
        const qint64 before = db->statementsRun();
        db->startTransaction();
        {
            TOvWritesWithCommit scope(*db);
            QVERIFY(wait(1, QStringLiteral("uno")));
            QVERIFY(wait(2, QStringLiteral("l'altro \"due\"\n")));
        }
        QCOMPARE(db->statementsRun() - before, 2);
        QSqlQuery beside = db->newQuery();
        beside.setForwardOnly(true);
        QVERIFY(beside.prepare(QStringLiteral("SELECT generate_series(1, 5)")));
        db->countBesideWaiting(beside);
        QVERIFY(beside.exec() && beside.next());
        QCOMPARE(count(other), 0);
        db->commit();
        QCOMPARE(count(other), 2);
        QSqlQuery two = other.exec(QStringLiteral("SELECT s FROM tatt WHERE k = 2"));
        QVERIFY(two.next());
        QCOMPARE(two.value(0).toString(), QStringLiteral("l'altro \"due\"\n"));

        // Another statement of the connection sends them first, and sees them.
        db->startTransaction();
        {
            TOvWritesWithCommit scope(*db);
            QVERIFY(wait(3, QStringLiteral("tre")));
            QCOMPARE(count(*db), 3);
        }
        db->commit();
        QCOMPARE(count(other), 3);

        // Refused with the COMMIT: the server's words, nothing of the
        // transaction kept (a row written before them either), the
        // connection usable.
        db->startTransaction();
        db->exec(QStringLiteral("INSERT INTO tatt (k, s) VALUES (4, 'prima')"));
        {
            TOvWritesWithCommit scope(*db);
            QVERIFY(wait(5, QStringLiteral("cinque")));
            QVERIFY(wait(1, QStringLiteral("doppia")));
            QVERIFY(wait(6, QStringLiteral("sei")));
        }
        try {
            db->commit();
            QFAIL("a repeated key accepted");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("23505")) || e.message().contains(QStringLiteral("duplic")),
                     qPrintable(e.message()));
        }
        QVERIFY(!db->inTransaction());
        QCOMPARE(count(other), 3);
        QCOMPARE(count(*db), 3);

        // A rollback drops them: the next commit does not send them.
        db->startTransaction();
        {
            TOvWritesWithCommit scope(*db);
            QVERIFY(wait(7, QStringLiteral("sette")));
        }
        db->rollback();
        db->startTransaction();
        db->commit();
        QCOMPARE(count(other), 3);
    }

    void closedConnectionRefusesWork()
    {
        TOvSQLConnection never(TestDb::config());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, never.exec(QStringLiteral("SELECT 1")));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, never.startTransaction());
    }
};

QTEST_GUILESS_MAIN(TstDbConnection)
#include "tst_db_connection.moc"
