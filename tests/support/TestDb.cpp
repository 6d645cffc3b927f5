#include "TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/InstallRoot.h"
#include "platform/db/OvSchemaInstaller.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace TestDb {

namespace {

int g_counter = 0;
TOvDbConfig g_current;
bool g_cleanupRegistered = false;

QTemporaryDir &tempDir()
{
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/velcu-testdb-XXXXXX"));
    return dir;
}

QString schemaName()
{
    return QStringLiteral("velcu_t%1").arg(QCoreApplication::applicationPid());
}

void dropSchema()
{
    try {
        TOvSQLConnection admin(serverConfig());
        if (admin.open())
            admin.exec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(schemaName()));
    } catch (...) {
        // The throw-away server goes away with its folder anyway.
    }
}

TOvDbConfig freshPostgres()
{
    {
        TOvSQLConnection admin(serverConfig());
        admin.openOrThrow();
        // A connection of an earlier open() still holding locks: fail, do not hang.
        admin.exec(QStringLiteral("SET lock_timeout = '15s'"));
        admin.exec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(schemaName()));
        admin.exec(QStringLiteral("CREATE SCHEMA %1").arg(schemaName()));
    }
    if (!g_cleanupRegistered) {
        g_cleanupRegistered = true;
        qAddPostRoutine(dropSchema);
    }
    TOvDbConfig cfg = serverConfig();
    cfg.connectOptions = QStringLiteral("options='-csearch_path=%1'").arg(schemaName());
    return cfg;
}

TOvDbConfig freshSqlite()
{
    if (!tempDir().isValid())
        throw EOvError(QStringLiteral("Cartella temporanea non disponibile per il database di prova."));
    TOvDbConfig cfg;
    cfg.engine = TOvDbEngine::SQLite;
    cfg.path = tempDir().filePath(QStringLiteral("db-%1.sqlite").arg(++g_counter));
    return cfg;
}

std::unique_ptr<TOvSQLConnection> connectFresh()
{
    g_current = isPostgres() ? freshPostgres() : freshSqlite();
    auto conn = std::make_unique<TOvSQLConnection>(g_current);
    conn->setCreateIfMissing(true);
    conn->openOrThrow();
    return conn;
}

}

TOvDbEngine engine()
{
    const QString e = qEnvironmentVariable("VELCU_TEST_ENGINE");
    return e.isEmpty() ? TOvDbEngine::SQLite : TOvDbConfig::parseEngine(e, QStringLiteral("VELCU_TEST_ENGINE"));
}

QString engineName()
{
    return isPostgres() ? QStringLiteral("postgres") : QStringLiteral("sqlite");
}

Availability availability(QString *why)
{
    try {
        engine();
    } catch (const EOvException &e) {
        *why = e.message();
        return Availability::Missing;
    }
    if (!isPostgres() || !qEnvironmentVariable("VELCU_TEST_PGPORT").isEmpty())
        return Availability::Ready;
    if (qEnvironmentVariable("VELCU_TEST_ALLOW_NO_PG") == QLatin1String("1")) {
        *why = QStringLiteral("PostgreSQL di prova non avviato (VELCU_TEST_ALLOW_NO_PG=1): prova saltata.");
        return Availability::Skip;
    }
    *why = QStringLiteral("VELCU_TEST_ENGINE=postgres ma VELCU_TEST_PGPORT non è impostata: avviare il server di "
                          "prova (scripts/test.sh, oppure source scripts/pg-test.sh && pg_test_start) o "
                          "impostare VELCU_TEST_ALLOW_NO_PG=1 per saltare.");
    return Availability::Missing;
}

TOvDbConfig serverConfig()
{
    TOvDbConfig cfg;
    cfg.engine = TOvDbEngine::PostgreSQL;
    cfg.host = qEnvironmentVariable("VELCU_TEST_PGHOST", QStringLiteral("127.0.0.1"));
    cfg.port = qEnvironmentVariable("VELCU_TEST_PGPORT", QStringLiteral("5432")).toInt();
    cfg.user = qEnvironmentVariable("VELCU_TEST_PGUSER", QStringLiteral("postgres"));
    cfg.database = qEnvironmentVariable("VELCU_TEST_PGDATABASE", QStringLiteral("velcu_test"));
    return cfg;
}

QStringList cliArgs()
{
    const TOvDbConfig c = config();
    if (c.isSQLite())
        return {QStringLiteral("--db-engine"), QStringLiteral("sqlite"), QStringLiteral("--db-path"), c.path};
    QStringList a{QStringLiteral("--db-engine"), QStringLiteral("postgres"), QStringLiteral("--db-host"), c.host,
                  QStringLiteral("--db-port"), QString::number(c.port), QStringLiteral("--db-name"), c.database};
    if (!c.user.isEmpty())
        a << QStringLiteral("--db-user") << c.user;
    if (!c.connectOptions.isEmpty())
        a << QStringLiteral("--db-options") << c.connectOptions;
    return a;
}

QString sqlDir()
{
    const QString source = qEnvironmentVariable("VELCU_SOURCE_DIR");
    if (!source.isEmpty())
        return source + QStringLiteral("/data/etc/rag/sql");
    // Run by hand outside CTest: the tree this file was compiled from.
    const QString here = QFileInfo(QStringLiteral(__FILE__)).absolutePath() + QStringLiteral("/../../data/etc/rag/sql");
    if (QFileInfo(here).isDir())
        return QDir::cleanPath(here);
    return InstallRoot::sqlDir();
}

std::unique_ptr<TOvSQLConnection> openEmpty()
{
    return connectFresh();
}

std::unique_ptr<TOvSQLConnection> open(bool demo)
{
    auto conn = connectFresh();
    TOvSchemaInstaller(*conn, sqlDir()).install(demo);
    return conn;
}

TOvDbConfig config()
{
    return g_current;
}

}
