// One PDF per payee, as `velcu-cli stampa --sintetico --per-percipiente`
// does it: a school of `count` CUs in the fiscal store (SQLite), the whole
// summary document printed (set-up, not timed), then the split timed: a file
// per payee in the delivery folder, each CU locked once its file is on disk.
// Prints the split's time, the files written and the peak memory.
// Usage: bench_pdf_split [payees] [folder]   (the folder defaults to a
// temporary one; give one on the disk to measure)
#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/cli/VelCliPdfSplit.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/print/VelCuPrint.h"
#include "tor/store/torUDBCds.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchCuPrintRun.h"

using namespace bench;

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 5000;
    if (!qEnvironmentVariableIsSet("VELCU_STAGE_DIR"))
        qputenv("VELCU_STAGE_DIR", VELCU_STAGE_DIR);
    QTemporaryDir dir(argc > 2 ? QDir(QString::fromLocal8Bit(argv[2])).filePath(QStringLiteral("bench-XXXXXX"))
                               : QDir::tempPath() + QStringLiteral("/bench-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "no temporary folder: %s\n", qPrintable(dir.errorString()));
        return 1;
    }

    CuPrintRun bench(QDir(dir.path()), count);
    TVelCuPrint &run = *bench.run;
    QElapsedTimer t;
    QDir().mkpath(run.outputFolder);
    t.restart();
    run.open();
    const QString whole = run.printDocument(run.allRows(), TVelCuPrint::defaultFileName(false));
    report("whole document printed (set-up)", t.elapsed(),
           QStringLiteral("%1 ranges, %2 MB").arg(run.pageRanges().size()).arg(QFileInfo(whole).size() / 1e6, 0, 'f', 1));

    const QString folder = dir.filePath(QStringLiteral("percipienti"));
    QDir().mkpath(folder);
    TVelRunOutcome outcome;
    QList<VelCliPdfSplit::Part> parts;
    QList<TBookmark> rows;
    VelCliPdfSplit::Info info;
    info.author = QStringLiteral("ISTITUTO");
    for (const TVelCuPrint::PageRange &range : run.pageRanges()) {
        const TVelPayeeOutcome &payee = outcome.add(run.payeeOf(range.row));
        parts.append({QDir(folder).filePath(payee.codFis + QStringLiteral(".pdf")), range.first, range.last});
        info.titles << QStringLiteral("Certificazione Unica - %1").arg(payee.nome);
        rows << range.row;
    }
    VelCliPdfSplit::Locker locker;
    locker.lock = [&](const QList<int> &done) {
        QList<TBookmark> lock;
        for (const int k : done)
            lock << rows.at(k);
        run.lockPrinted(lock);
    };
    locker.locked = [&](int k) { return run.isLocked(rows.at(k)); };

    t.restart();
    outcome = VelCliPdfSplit::split(whole, parts, std::move(outcome), locker, {}, info);
    const qint64 ms = t.elapsed();
    const QFileInfoList written = QDir(folder).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files);
    const int files = int(written.size());
    qint64 bytes = 0;
    for (const QFileInfo &f : written)
        bytes += f.size();
    report("split: one PDF per payee, CUs locked", ms,
           QStringLiteral("%1 files (%2 KB each on average), %3 done")
               .arg(files)
               .arg(files ? bytes / 1024.0 / files : 0.0, 0, 'f', 1)
               .arg(outcome.count(TVelResult::Fatto)));
    std::printf("per-payee split of %d payees: %lld ms (target < 10000 ms); %d files written; peak memory %.1f MB%s\n",
                count, ms, files, procMb("VmHWM:"), outcome.riuscito() ? "" : qPrintable(QStringLiteral("; FAILED: ") + outcome.fatal));
    return outcome.riuscito() && files == count ? 0 : 1;
}
