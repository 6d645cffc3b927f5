#pragma once
// The scale database of the benchmarks ("velcu-db create --demo --payees N")
// on SQLite and, when the throw-away server is running, on PostgreSQL.
#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"

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

// Calls `run` on a scale database of each size, on SQLite and then on the
// server (a database named `name` plus the process id, dropped afterwards).
inline void onScaleDatabases(const QList<int> &sizes, const QString &name, const ScaleRun &run)
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
    for (int n : sizes) {
        const QString db = QStringLiteral("%1_%2").arg(name).arg(QCoreApplication::applicationPid());
        const qint64 ms = createScaleDb({QStringLiteral("--db-engine=postgres"), QStringLiteral("--db-host=") + server.host,
                                         QStringLiteral("--db-port=") + QString::number(server.port),
                                         QStringLiteral("--db-user=") + server.user, QStringLiteral("--db-name=") + db},
                                        n);
        {
            TOvDbConfig cfg = server;
            cfg.database = db;
            TOvSQLConnection conn(cfg);
            conn.openOrThrow();
            run(QStringLiteral("PostgreSQL"), n, ms, conn);
        }
        TOvSQLConnection admin(server);
        admin.openOrThrow();
        admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(db));
    }
}

} // namespace bench
