// "velcu-cli import" on the scale database ("velcu-db create --demo --payees
// N") at two sizes, on SQLite and, when the throw-away server runs, on
// PostgreSQL: wall and CPU time of the command and how many times longer the
// larger size takes than the smaller one (linear growth: the ratio of the
// sizes).
//
//   bench_cli_import [N1 N2]        (default: 1000 5000)
#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <sys/resource.h>

#include "BenchScaleDb.h"

using bench::staged;

namespace {

QTextStream out(stdout);

double childrenCpuS()
{
    rusage ru{};
    getrusage(RUSAGE_CHILDREN, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// The import of every candidate of month 12, as an office runs it; seconds.
double importSeconds(const QString &engine, int payees, const QStringList &dbArgs)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    const double cpu0 = childrenCpuS();
    QElapsedTimer t;
    t.start();
    p.start(staged() + QStringLiteral("/bin/velcu-cli"),
            QStringList{QStringLiteral("import"), QStringLiteral("--mese"), QStringLiteral("12"),
                        QStringLiteral("--inpdap"), QStringLiteral("uniemens")}
                + dbArgs);
    p.waitForFinished(-1);
    const double s = t.elapsed() / 1000.0;
    QString summary;
    for (const QString &l : QString::fromUtf8(p.readAll()).split(QLatin1Char('\n')))
        if (l.startsWith(QStringLiteral("Importazione terminata")))
            summary = l.trimmed();
    out << engine << ", " << payees << " percipienti generati: " << QString::number(s, 'f', 2) << " s, CPU "
        << QString::number(childrenCpuS() - cpu0, 'f', 2) << " s, uscita " << p.exitCode() << "; " << summary << "\n"
        << Qt::flush;
    return s;
}

void ratio(const QString &engine, const QList<int> &sizes, const QList<double> &seconds)
{
    out << engine << ": " << sizes.at(1) << " contro " << sizes.at(0) << " percipienti, tempo x"
        << QString::number(seconds.at(1) / std::max(0.001, seconds.at(0)), 'f', 2) << " (dimensione x"
        << QString::number(double(sizes.at(1)) / sizes.at(0), 'f', 2) << ")\n"
        << Qt::flush;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QList<int> sizes{1000, 5000};
    if (argc > 2)
        sizes = {std::max(1, atoi(argv[1])), std::max(1, atoi(argv[2]))};
    qunsetenv("DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");
    try {
        QList<double> seconds;
        for (int n : sizes) {
            QTemporaryDir dir;
            const QStringList dbArgs{QStringLiteral("--db-engine=sqlite"),
                                     QStringLiteral("--db-path=") + dir.filePath(QStringLiteral("scala.sqlite"))};
            bench::createScaleDb(dbArgs, n);
            seconds << importSeconds(QStringLiteral("SQLite"), n, dbArgs);
        }
        ratio(QStringLiteral("SQLite"), sizes, seconds);

        const std::optional<TOvDbConfig> pg = bench::testPostgres(QStringLiteral("postgres"));
        if (!pg) {
            out << bench::NoPostgres;
            return 0;
        }
        seconds.clear();
        for (int n : sizes) {
            const QString db = QStringLiteral("velcu_bench_cli_import_%1").arg(QCoreApplication::applicationPid());
            const QStringList dbArgs{QStringLiteral("--db-engine=postgres"), QStringLiteral("--db-host=") + pg->host,
                                     QStringLiteral("--db-port=") + QString::number(pg->port),
                                     QStringLiteral("--db-user=") + pg->user, QStringLiteral("--db-name=") + db};
            bench::createScaleDb(dbArgs, n);
            seconds << importSeconds(QStringLiteral("PostgreSQL"), n, dbArgs);
            TOvSQLConnection admin(*pg);
            admin.openOrThrow();
            admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(db));
        }
        ratio(QStringLiteral("PostgreSQL"), sizes, seconds);
    } catch (const EOvException &e) {
        QTextStream(stderr) << e.message() << "\n";
        return 1;
    }
    return 0;
}
