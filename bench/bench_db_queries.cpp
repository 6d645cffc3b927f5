// Named-query round trip: fetch a statement from the catalogue by name, bind
// its parameter, open it (one row) and read a column, 10,000 times on each
// engine. SQLite on a temporary file; PostgreSQL on the server named by
// VELCU_TEST_PGHOST/PORT/USER/DATABASE (scripts/pg-test.sh), skipped without it.
//
//   bench_db_queries [iterations]
#include "platform/core/OvExceptions.h"
#include "platform/db/InstallRoot.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvSchemaInstaller.h"
#include "platform/sql/OvSQLQuery.h"
#include "tor/query/torCQueryText.h"

#include "BenchPostgres.h"
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <memory>

namespace {

QTextStream out(stdout);

// The staged tree beside this build's bench/ folder, else the installation.
QString stagedEtc()
{
    const QString staged = QCoreApplication::applicationDirPath() + QStringLiteral("/../stage/etc/rag");
    return QFileInfo(staged).isDir() ? QDir::cleanPath(staged) : InstallRoot::etcDir();
}

void run(const QString &engine, TOvSQLConnection &conn, int iterations)
{
    TOvSchemaInstaller(conn, stagedEtc() + QStringLiteral("/sql")).install(true);
    TTorQueryText &qt = QueryText();
    TOvSQLQuery q(&conn);

    // Fetch and bind alone.
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < iterations; ++i) {
        qt.SetQuery(QStringLiteral("QRY_SED"), q);
        q.paramByName(QStringLiteral("IDWGID")).setAsInteger(1);
    }
    const qint64 fetchNs = t.nsecsElapsed();

    t.restart();
    qint64 check = 0;
    for (int i = 0; i < iterations; ++i) {
        qt.SetQuery(QStringLiteral("QRY_SED"), q);
        q.paramByName(QStringLiteral("IDWGID")).setAsInteger(1 + (i & 1));
        q.open();
        check += q.fieldByName(QStringLiteral("IANFID")).asInteger();
        q.close();
    }
    const qint64 totalNs = t.nsecsElapsed();

    // The driver alone, for comparison: prepare, bind, run, read one value.
    const QString sql = qt.GetQueryText(QStringLiteral("QRY_SED"), QStringLiteral("EXECUTE"));
    t.restart();
    qint64 driverCheck = 0;
    for (int i = 0; i < iterations; ++i) {
        QSqlQuery raw = conn.exec(sql, {{QStringLiteral("IDWGID"), 1 + (i & 1)}});
        raw.next();
        driverCheck += raw.value(1).toLongLong();
    }
    const qint64 driverNs = t.nsecsElapsed();
    if (driverCheck != check)
        throw EOvError(QStringLiteral("risultato inatteso dal driver: %1").arg(driverCheck));
    if (check != qint64(iterations / 2) * 56 + qint64(iterations - iterations / 2) * 57
        && check != qint64(iterations - iterations / 2) * 56 + qint64(iterations / 2) * 57)
        throw EOvError(QStringLiteral("risultato inatteso: %1").arg(check));

    out << engine << ": " << iterations << " x QRY_SED (recupero + parametro + apertura di una riga): "
        << QString::number(double(totalNs) / 1e9, 'f', 3) << " s, "
        << QString::number(double(totalNs) / iterations / 1000.0, 'f', 1) << " us ciascuna "
        << "(di cui recupero e parametro " << QString::number(double(fetchNs) / iterations / 1000.0, 'f', 2)
        << " us; il solo driver Qt SQL " << QString::number(double(driverNs) / iterations / 1000.0, 'f', 1)
        << " us)\n";
    out.flush();
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int iterations = argc > 1 ? std::max(1, atoi(argv[1])) : 10000;
    try {
        TTorQueryText &qt = QueryText();
        qt.loadCatalogue(stagedEtc() + QStringLiteral("/rag_QueryText.cds"));

        {
            QTemporaryDir dir;
            TOvDbConfig cfg;
            cfg.engine = TOvDbEngine::SQLite;
            cfg.path = dir.filePath(QStringLiteral("bench.sqlite"));
            TOvSQLConnection conn(cfg);
            conn.setCreateIfMissing(true);
            conn.openOrThrow();
            run(QStringLiteral("SQLite"), conn, iterations);
        }

        const std::optional<TOvDbConfig> pg = bench::testPostgres();
        if (!pg) {
            out << bench::NoPostgres;
            return 0;
        }
        const TOvDbConfig server = *pg;
        const QString schema = QStringLiteral("velcu_bench%1").arg(QCoreApplication::applicationPid());
        {
            TOvSQLConnection admin(server);
            admin.openOrThrow();
            admin.exec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(schema));
            admin.exec(QStringLiteral("CREATE SCHEMA %1").arg(schema));
        }
        {
            TOvDbConfig cfg = server;
            cfg.connectOptions = QStringLiteral("options='-csearch_path=%1'").arg(schema);
            TOvSQLConnection conn(cfg);
            conn.openOrThrow();
            run(QStringLiteral("PostgreSQL"), conn, iterations);
        }
        TOvSQLConnection admin(server);
        admin.openOrThrow();
        admin.exec(QStringLiteral("DROP SCHEMA IF EXISTS %1 CASCADE").arg(schema));
    } catch (const EOvException &e) {
        QTextStream(stderr) << e.message() << "\n";
        return 1;
    }
    return 0;
}
