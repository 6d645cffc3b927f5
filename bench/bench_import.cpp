// The import of every candidate of the scale database ("velcu-db create
// --demo --payees N": the demo's 40 payees plus N generated ones), as the
// office runs it from the selection window with nothing selected: one
// transaction per employee, the store saved after each post. SQLite on a
// temporary file; PostgreSQL on the server named by VELCU_TEST_PG*
// (scripts/pg-test.sh), skipped without it.
//
//   bench_import [N ...] [--rete US ...]      (default: 1000 2000)
//
// --rete US repeats the server runs through a relay that holds each request
// for US microseconds (0: the relay only counts the round trips). Every run
// prints the statements sent per payee; runs through the relay, the round
// trips per payee too. Each run is followed by the same import again over the
// CUs it wrote, every one replaced.

#include "BenchProcess.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/import/VelImportCud.h"
#include "src/prj/unit/model/VelRunHost.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include "BenchScaleDb.h"

using bench::staged;

namespace {

QTextStream out(stdout);

// Counts what the import tells the office and answers its questions as the
// unattended run does (no), so that nothing reaches standard error.
class Quiet : public IVelRunHost
{
public:
    int boxes = 0;
    void notice(const QString &, TVelNotice) override { ++boxes; }
    bool question(const QString &) override
    {
        ++boxes;
        return false;
    }
    bool information(const QStringList &, bool) override { return true; }
};

void report(const QString &engine, int payees, qint64 createMs, TOvSQLConnection &conn)
{
    Quiet quiet;
    TTorDBCds store;
    store.setConnection(&conn);
    store.setProgram(QStringLiteral("vel"));
    store.setYear(2025);
    store.setMonth(TTorDBCds::AllMonths);
    store.setShowWait(false);
    TVelImportCud imp(store, QueryText());
    imp.setRunHost(quiet);
    imp.options().IDWGID = 1;
    imp.options().IMESID = 12;
    imp.options().anno = 2025;
    imp.options().ANCHE_SENZA_CONGUAGLIO = true;
    imp.setSovraScrivi(TVelSovraScrivi::SovrascriviSempre);
    imp.setCartellaTabelle(staged() + QStringLiteral("/USR/KZ2025/Res/Tabelle"));
    int logLines = 0;
    imp.hooks().onInfo = [&](const QStringList &l) { logLines = int(l.size()); };

    QElapsedTimer t;
    t.start();
    const double cpu0 = bench::cpuMs();
    const qint64 statements0 = conn.statementsRun();
    const qint64 trips0 = bench::currentRelay() ? bench::currentRelay()->roundTrips() : 0;
    const int candidates = imp.caricaCandidati();
    const qint64 listMs = t.elapsed();
    const TVelRunOutcome outcome = imp.importa();
    const qint64 ms = t.elapsed();
    const auto &e = TVelImportCud::esito(outcome);
    out << engine << ", --payees " << payees << ": creazione " << QString::number(createMs / 1000.0, 'f', 2)
        << " s; importazione di " << candidates << " candidati " << QString::number(ms / 1000.0, 'f', 2)
        << " s (lista " << QString::number(listMs / 1000.0, 'f', 2) << " s), "
        << QString::number(double(ms) / std::max(1, candidates), 'f', 2) << " ms ciascuno, CPU "
        << QString::number((bench::cpuMs() - cpu0) / 1000.0, 'f', 2) << " s, picco "
        << QString::number(bench::peakMb(), 'f', 0) << " MB; CU scritte " << e.importati << ", scartate "
        << e.scartati << ", in errore " << e.errori << ", messaggi " << quiet.boxes << ", righe di log " << logLines
        << "; istruzioni SQL " << QString::number(double(conn.statementsRun() - statements0) / std::max(1, candidates), 'f', 1)
        << " per percipiente";
    if (const bench::LatencyProxy *relay = bench::currentRelay())
        out << ", andata e ritorno " << QString::number(double(relay->roundTrips() - trips0) / std::max(1, candidates), 'f', 1)
            << " per percipiente";
    out << "\n";

    // The same run again over the CUs just written: every one replaced.
    t.restart();
    const double cpu1 = bench::cpuMs();
    const qint64 statements1 = conn.statementsRun();
    const qint64 trips1 = bench::currentRelay() ? bench::currentRelay()->roundTrips() : 0;
    const TVelRunOutcome again = imp.importa();
    const qint64 againMs = t.elapsed();
    out << engine << ", --payees " << payees << ", di nuovo (ogni CU sostituita): "
        << QString::number(againMs / 1000.0, 'f', 2) << " s, CPU "
        << QString::number((bench::cpuMs() - cpu1) / 1000.0, 'f', 2) << " s, picco "
        << QString::number(bench::peakMb(), 'f', 0) << " MB; CU scritte " << TVelImportCud::esito(again).importati
        << "; istruzioni SQL "
        << QString::number(double(conn.statementsRun() - statements1) / std::max(1, candidates), 'f', 1)
        << " per percipiente";
    if (const bench::LatencyProxy *relay = bench::currentRelay())
        out << ", andata e ritorno "
            << QString::number(double(relay->roundTrips() - trips1) / std::max(1, candidates), 'f', 1)
            << " per percipiente";
    out << "\n";
    out.flush();
}

}

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen")
                                                                      : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QList<int> sizes, relays;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--rete" && i + 1 < argc)
            relays << std::max(0, atoi(argv[++i]));
        else
            sizes << std::max(1, atoi(argv[i]));
    }
    if (sizes.isEmpty())
        sizes = {1000, 2000};
    try {
        QueryText().loadCatalogue(staged() + QStringLiteral("/etc/rag/rag_QueryText.cds"));
        bench::onScaleDatabases(sizes, QStringLiteral("velcu_bench_import"),
                                [&](const QString &engine, int n, qint64 ms, TOvSQLConnection &conn) {
                                    report(engine, n, ms, conn);
                                    out.flush();
                                },
                                relays);
    } catch (const EOvException &e) {
        QTextStream(stderr) << e.message() << "\n";
        return 1;
    }
    return 0;
}
