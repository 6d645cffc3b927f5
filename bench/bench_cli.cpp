// velcu-cli timed as whole commands, as an office or a service centre runs
// them, on the scale database ("velcu-db create --demo --payees N", SQLite):
// import, fornitura, stampa --sintetico, stampa --per-percipiente. Each
// command is its own process: wall time, CPU time and its peak memory
// (maximum resident set, from wait4).
//
//   bench_cli [N]        (default: 5000)
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

extern char **environ;

#include "BenchScaleDb.h"

using bench::staged;

namespace {

QTextStream out(stdout);

struct Run
{
    int status = -1;
    double wallS = 0, cpuS = 0, peakMb = 0;
};

// Runs a program of the installation with its output sent to a log file.
Run run(const QString &program, const QStringList &args, const QString &log)
{
    QList<QByteArray> store;
    store << QFile::encodeName(staged() + QStringLiteral("/bin/") + program);
    for (const QString &a : args)
        store << a.toLocal8Bit();
    std::vector<char *> argv;
    for (QByteArray &b : store)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    const QByteArray logName = QFile::encodeName(log);
    posix_spawn_file_actions_addopen(&fa, 1, logName.constData(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    posix_spawn_file_actions_adddup2(&fa, 1, 2);
    QElapsedTimer t;
    t.start();
    pid_t pid = 0;
    Run r;
    if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) != 0)
        throw EOvError(QStringLiteral("Impossibile avviare %1").arg(program));
    posix_spawn_file_actions_destroy(&fa);
    int status = 0;
    rusage ru{};
    wait4(pid, &status, 0, &ru);
    r.wallS = t.elapsed() / 1000.0;
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.cpuS = ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
    r.peakMb = ru.ru_maxrss / 1024.0;
    return r;
}

void line(const QString &what, const Run &r)
{
    out << qSetFieldWidth(34) << Qt::left << what << qSetFieldWidth(0)
        << QStringLiteral("%1 s wall, %2 s CPU, peak %3 MB, status %4\n")
               .arg(r.wallS, 7, 'f', 2)
               .arg(r.cpuS, 7, 'f', 2)
               .arg(r.peakMb, 6, 'f', 0)
               .arg(r.status)
        << Qt::flush;
}

// The signing representative and the supplier, as their editors save them
// (the import brings the school's own data).
void completeAgent(const QString &db)
{
    TOvDbConfig c;
    c.engine = TOvDbEngine::SQLite;
    c.path = db;
    TOvSQLConnection conn(c);
    conn.openOrThrow();
    TTorDBCds store;
    store.setConnection(&conn);
    store.setProgram(QStringLiteral("vel"));
    store.setYear(2025);
    store.setMonth(TTorDBCds::AllMonths);
    store.setShowWait(false);
    TClientDataSet sost;
    store.Load(sost, QStringLiteral("TCUS_DATISOST"));
    sost.first();
    if (sost.isEmpty())
        throw EOvError(QStringLiteral("L'importazione non ha scritto i dati del sostituto."));
    const QString agent = sost.fieldByName(QStringLiteral("SSOSCODFIS")).asString();
    sost.edit();
    sost.fieldByName(QStringLiteral("SSOSCFRAPPR")).setAsString(QStringLiteral("RSSMRA80A01H501U"));
    sost.fieldByName(QStringLiteral("SCARCODICE")).setAsString(QStringLiteral("1"));
    sost.fieldByName(QStringLiteral("SSOSCOGNRAPPR")).setAsString(QStringLiteral("ROSSI"));
    sost.fieldByName(QStringLiteral("SSOSNOMERAPPR")).setAsString(QStringLiteral("MARIO"));
    sost.fieldByName(QStringLiteral("SSOSFIRMACOM")).setAsString(QStringLiteral("MARIO ROSSI"));
    sost.post();
    store.Save(sost, QStringLiteral("TCUS_DATISOST"));
    TClientDataSet forn;
    store.Load(forn, QStringLiteral("TCFO_FORNITORE"));
    forn.append();
    forn.fieldByName(QStringLiteral("SFORCODFIS")).setAsString(agent);
    forn.fieldByName(QStringLiteral("STFOCODICE")).setAsString(QStringLiteral("1"));
    forn.post();
    store.Save(forn, QStringLiteral("TCFO_FORNITORE"));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int payees = argc > 1 ? QByteArray(argv[1]).toInt() : 5000;
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("scala.sqlite"));
    const QString log = dir.filePath(QStringLiteral("log.txt"));
    const QString ini = dir.filePath(QStringLiteral("velcu.ini"));
    QFile f(ini);
    f.open(QIODevice::WriteOnly);
    f.write("[FileTelematico]\nCodiceFiscaleProduttore=01234567897\n");
    f.close();
    qputenv("VELCU_DB_CONFIG", QFile::encodeName(ini));
    qunsetenv("DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");
    const QStringList dbArgs{QStringLiteral("--db-engine"), QStringLiteral("sqlite"), QStringLiteral("--db-path"), db};
    QDir().mkpath(dir.filePath(QStringLiteral("lavoro")));

    out << "velcu-cli on the scale database: " << payees << " generated payees + the demo's 40 (SQLite)\n";
    try {
        line(QStringLiteral("velcu-db create --demo --payees"),
             run(QStringLiteral("velcu-db"),
                 QStringList{QStringLiteral("create"), QStringLiteral("--demo"), QStringLiteral("--payees"),
                             QString::number(payees), QStringLiteral("-q")} + dbArgs,
                 log));
        line(QStringLiteral("import --mese 12"),
             run(QStringLiteral("velcu-cli"),
                 QStringList{QStringLiteral("import"), QStringLiteral("--mese"), QStringLiteral("12"),
                             QStringLiteral("--inpdap"), QStringLiteral("uniemens")} + dbArgs,
                 log));
        completeAgent(db);
        line(QStringLiteral("fornitura --forza"),
             run(QStringLiteral("velcu-cli"),
                 QStringList{QStringLiteral("fornitura"), QStringLiteral("--out"), dir.filePath(QStringLiteral("CUR26")),
                             QStringLiteral("--forza"), QStringLiteral("--cartella-lavoro"),
                             dir.filePath(QStringLiteral("lavoro"))} + dbArgs,
                 log));
        // every part of the supply (it is split above 8,275 records)
        QStringList parts{QStringLiteral("controlla")};
        for (const QString &f : QDir(dir.path()).entryList({QStringLiteral("CUR26*")}, QDir::Files, QDir::Name))
            parts << dir.filePath(f);
        line(QStringLiteral("controlla (%1 file)").arg(parts.size() - 1), run(QStringLiteral("velcu-cli"), parts, log));
        line(QStringLiteral("stampa --sintetico"),
             run(QStringLiteral("velcu-cli"),
                 QStringList{QStringLiteral("stampa"), QStringLiteral("--sintetico"), QStringLiteral("--out"),
                             dir.filePath(QStringLiteral("CU-2026.pdf"))} + dbArgs,
                 log));
        line(QStringLiteral("stampa --per-percipiente"),
             run(QStringLiteral("velcu-cli"),
                 QStringList{QStringLiteral("stampa"), QStringLiteral("--sintetico"), QStringLiteral("--per-percipiente"),
                             dir.filePath(QStringLiteral("percipienti"))} + dbArgs,
                 log));
    } catch (const std::exception &e) {
        out << "bench_cli: " << e.what() << '\n';
        return 1;
    }
    const QFileInfo pdf(dir.filePath(QStringLiteral("CU-2026.pdf")));
    qint64 supplyBytes = 0;
    for (const QFileInfo &f : QDir(dir.path()).entryInfoList({QStringLiteral("CUR26*")}, QDir::Files))
        supplyBytes += f.size();
    out << "supply " << supplyBytes / 1900 << " records; summary PDF " << pdf.size() / (1024 * 1024) << " MB; "
        << QDir(dir.filePath(QStringLiteral("percipienti"))).entryList(QDir::Files).size() << " PDFs per payee\n";
    // The last lines of the commands' own output, for the record.
    QFile l(log);
    l.open(QIODevice::ReadOnly);
    const QList<QByteArray> lines = l.readAll().split('\n');
    out << "---- end of the commands' output\n";
    for (qsizetype i = qMax<qsizetype>(0, lines.size() - 25); i < lines.size(); ++i)
        if ((!lines.at(i).startsWith("Importazione ") || lines.at(i).startsWith("Importazione terminata"))
            && !lines.at(i).contains("codice di campo non valido"))
            out << lines.at(i) << '\n';
    return 0;
}
