#pragma once
// The scale database of the benchmarks ("velcu-db create --demo --payees N")
// on SQLite and, when the throw-away server is running, on PostgreSQL.
#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"

#include "BenchLatencyProxy.h"
#include "BenchPostgres.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <functional>

namespace bench {

// The staged installation beside the benchmark, else the build's.
inline QString staged()
{
    const QString s = QCoreApplication::applicationDirPath() + QStringLiteral("/../stage");
    return QFileInfo(s).isDir() ? QDir::cleanPath(s) : QStringLiteral(VELCU_STAGE_DIR);
}

// Creates the demo school with `payees` generated payees; milliseconds taken.
inline qint64 createScaleDb(const QStringList &target, int payees)
{
    QProcess p;
    QElapsedTimer t;
    t.start();
    p.start(staged() + QStringLiteral("/bin/velcu-db"),
            QStringList{QStringLiteral("create"), QStringLiteral("--demo"), QStringLiteral("--payees"),
                        QString::number(payees), QStringLiteral("-q")} + target);
    p.waitForFinished(-1);
    if (p.exitCode() != 0)
        throw EOvError(QStringLiteral("velcu-db: ") + QString::fromUtf8(p.readAllStandardError()));
    return t.elapsed();
}

using ScaleRun = std::function<void(const QString &engine, int payees, qint64 createMs, TOvSQLConnection &conn)>;

// The relay the server run in progress goes through; null on a direct run.
inline const LatencyProxy *&currentRelay()
{
    static const LatencyProxy *relay = nullptr;
    return relay;
}

// Calls `run` on a scale database of each size, on SQLite and then on the
// server (a database named `name` plus the process id, dropped afterwards).
// Each entry of `relayDelaysUs` repeats the server runs through a relay that
// holds every request for that many microseconds (0: only counts the trips).
inline void onScaleDatabases(const QList<int> &sizes, const QString &name, const ScaleRun &run,
                             const QList<int> &relayDelaysUs = {})
{
    for (int n : sizes) {
        QTemporaryDir dir;
        TOvDbConfig cfg;
        cfg.engine = TOvDbEngine::SQLite;
        cfg.path = dir.filePath(QStringLiteral("bench.sqlite"));
        const qint64 ms = createScaleDb({QStringLiteral("--db-path=") + cfg.path}, n);
        TOvSQLConnection conn(cfg);
        conn.openOrThrow();
        run(QStringLiteral("SQLite"), n, ms, conn);
    }
    const std::optional<TOvDbConfig> pg = testPostgres(QStringLiteral("postgres"));
    if (!pg) {
        QTextStream(stdout) << NoPostgres;
        return;
    }
    const TOvDbConfig server = *pg;
    for (int variant = -1; variant < int(relayDelaysUs.size()); ++variant)
    for (int n : sizes) {
        const QString db = QStringLiteral("%1_%2").arg(name).arg(QCoreApplication::applicationPid());
        const qint64 ms = createScaleDb({QStringLiteral("--db-engine=postgres"), QStringLiteral("--db-host=") + server.host,
                                         QStringLiteral("--db-port=") + QString::number(server.port),
                                         QStringLiteral("--db-user=") + server.user, QStringLiteral("--db-name=") + db},
                                        n);
        {
            TOvDbConfig cfg = server;
            cfg.database = db;
            std::unique_ptr<LatencyProxy> relay;
            QString engine = QStringLiteral("PostgreSQL");
            if (variant >= 0) {
                const int us = relayDelaysUs.at(variant);
                relay = std::make_unique<LatencyProxy>(server.host, server.port, us);
                cfg.port = relay->port();
                engine += QStringLiteral(" (rete +%1 ms)").arg(QString::number(us / 1000.0, 'f', 1));
            }
            currentRelay() = relay.get();
            TOvSQLConnection conn(cfg);
            conn.openOrThrow();
            run(engine, n, ms, conn);
            currentRelay() = nullptr;
        }
        TOvSQLConnection admin(server);
        admin.openOrThrow();
        admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(db));
    }
}

} // namespace bench
