// Fiscal store figures: Load of TCUD_DATICUD holding 10,000 CUs with 60
// non-empty fields each, and Save of 1,000 new CUs in one transaction.
// SQLite on a temporary file; PostgreSQL too when VELCU_TEST_PGPORT is set
// (the server of scripts/pg-test.sh), in a schema of its own.
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvGenerator.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvSchemaInstaller.h"
#include "platform/db/OvTransaction.h"
#include "tor/store/torUDBCds.h"

#include "BenchProcess.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr int kFieldsPerType = 15; // 4 kinds x 15 = 60 value fields

void defineCu(TClientDataSet &ds)
{
    ds.addFieldDef(QStringLiteral("iAfiID"), TFieldType::Integer);
    ds.addFieldDef(QStringLiteral("iFisRigo"), TFieldType::Integer);
    ds.addFieldDef(QStringLiteral("SCUDCODFIS"), TFieldType::String, 16);
    ds.addFieldDef(QStringLiteral("SCUDMESE"), TFieldType::String, 2);
    for (int i = 0; i < kFieldsPerType; ++i) {
        ds.addFieldDef(QStringLiteral("SCUDT%1").arg(i), TFieldType::String, 40);
        ds.addFieldDef(QStringLiteral("FCUDA%1").arg(i), TFieldType::Currency);
        ds.addFieldDef(QStringLiteral("ICUDN%1").arg(i), TFieldType::Integer);
        ds.addFieldDef(QStringLiteral("DCUDD%1").arg(i), TFieldType::Date);
    }
}

void fillCu(TClientDataSet &ds, int n)
{
    ds.append();
    ds.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(QStringLiteral("RSSMRA80A01H%1").arg(n, 4, 10, QLatin1Char('0')));
    ds.fieldByName(QStringLiteral("SCUDMESE")).setAsString(QStringLiteral("12"));
    for (int i = 0; i < kFieldsPerType; ++i) {
        ds.fieldByName(QStringLiteral("SCUDT%1").arg(i)).setAsString(QStringLiteral("VALORE %1-%2").arg(n).arg(i));
        ds.fieldByName(QStringLiteral("FCUDA%1").arg(i)).setAsCurrency(Currency::fromUnits(1234567 + n * 13 + i));
        ds.fieldByName(QStringLiteral("ICUDN%1").arg(i)).setAsInteger(n + i + 1);
        ds.fieldByName(QStringLiteral("DCUDD%1").arg(i)).setAsDate(QDate(2025, 1 + i % 12, 1 + n % 28));
    }
    ds.post();
}

void run(const char *engine, TOvSQLConnection &c, const QString &sqlDir)
{
    TOvSchemaInstaller(c, sqlDir).install(false);
    TClientDataSet schema;
    defineCu(schema);
    schema.createDataSet();
    c.exec(QStringLiteral("INSERT INTO tcds_struttura (icdsid, icdsanno, scdsprogramma, scdsnome, bcdsschema, "
                          "lcdsanagrafica, lcdsfmapreadonly, icdsrigo, scdsfieldmap) VALUES (:ID, 2025, 'vel', "
                          "'TCUD_DATICUD', :S, 1, 0, 0, 'saficodfiscale=SCUDCODFIS;safigruppoana=SCUDMESE')"),
           {{QStringLiteral("ID"), GenerateID(1, c, QStringLiteral("TCDS_STRUTTURA"))},
            {QStringLiteral("S"), schema.saveToBytes()}});

    TTorDBCds store;
    store.setConnection(&c);
    store.setProgram(QStringLiteral("vel"));
    store.setYear(2025);
    store.setMonth(-1);
    store.setShowWait(false);

    // 10,000 CUs, written by ten saves of 1,000; the first one is timed.
    TClientDataSet ds;
    store.Load(ds, QStringLiteral("TCUD_DATICUD"));
    QElapsedTimer t;
    double firstSave = 0;
    for (int batch = 0; batch < 10; ++batch) {
        for (int n = 0; n < 1000; ++n)
            fillCu(ds, batch * 1000 + n);
        t.start();
        store.Save(ds, QStringLiteral("TCUD_DATICUD"));
        if (batch == 0)
            firstSave = t.nsecsElapsed() / 1e9;
    }
    std::printf("%-9s Save of 1,000 new CUs (60 values each, one transaction): %.2f s\n", engine, firstSave);

    TClientDataSet loaded;
    t.start();
    store.Load(loaded, QStringLiteral("TCUD_DATICUD"));
    const double load = t.nsecsElapsed() / 1e9;
    std::printf("%-9s Load of 10,000 CUs (600,000 value rows): %.2f s, %d rows, peak memory %ld MB\n", engine, load,
                loaded.recordCount(), long(bench::peakMb()));
    // For profiling the load alone: VELCU_BENCH_LOADS=N repeats it.
    for (int i = 1; i < qEnvironmentVariableIntValue("VELCU_BENCH_LOADS"); ++i)
        store.Load(loaded, QStringLiteral("TCUD_DATICUD"));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString sqlDir = QStringLiteral(VELCU_SOURCE_DIR "/data/etc/rag/sql");
    QTemporaryDir dir;
    {
        TOvDbConfig cfg;
        cfg.engine = TOvDbEngine::SQLite;
        cfg.path = dir.filePath(QStringLiteral("bench.sqlite"));
        TOvSQLConnection c(cfg);
        c.setCreateIfMissing(true);
        c.openOrThrow();
        run("SQLite", c, sqlDir);
    }
    if (qEnvironmentVariable("VELCU_TEST_PGPORT").isEmpty()) {
        std::printf("PostgreSQL: skipped (VELCU_TEST_PGPORT not set; source scripts/pg-test.sh && pg_test_start)\n");
        return 0;
    }
    TOvDbConfig cfg;
    cfg.engine = TOvDbEngine::PostgreSQL;
    cfg.host = qEnvironmentVariable("VELCU_TEST_PGHOST", QStringLiteral("127.0.0.1"));
    cfg.port = qEnvironmentVariable("VELCU_TEST_PGPORT").toInt();
    cfg.user = qEnvironmentVariable("VELCU_TEST_PGUSER", QStringLiteral("postgres"));
    cfg.database = qEnvironmentVariable("VELCU_TEST_PGDATABASE", QStringLiteral("velcu_test"));
    {
        TOvSQLConnection admin(cfg);
        admin.openOrThrow();
        admin.exec(QStringLiteral("DROP SCHEMA IF EXISTS velcu_bench CASCADE"));
        admin.exec(QStringLiteral("CREATE SCHEMA velcu_bench"));
    }
    cfg.connectOptions = QStringLiteral("options='-csearch_path=velcu_bench'");
    {
        TOvSQLConnection c(cfg);
        c.openOrThrow();
        run("PostgreSQL", c, sqlDir);
    }
    TOvSQLConnection admin(cfg);
    admin.openOrThrow();
    admin.exec(QStringLiteral("DROP SCHEMA IF EXISTS velcu_bench CASCADE"));
    return 0;
}
