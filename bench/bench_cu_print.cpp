// The summary CU print from the fiscal store (SQLite): 1,000 CUs of about 60
// values each with an INPS row and dependants, every tenth with a
// self-employment entry, written through the store first (not timed); then
// the print run as the window drives it: cdsMultiSelect and the sections
// loaded from the store, every CU filled page by page, the PDF saved and the
// CUs locked in the store. Then the ordinary CU of the same CUs, each with
// two annotation codes to rebuild and store, every fifth with a TFR pair.
// Prints each phase's time, the pages, the bytes a page beyond the model and
// the peak memory.
// Usage: bench_cu_print [certifications]
#include "platform/core/Currency.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvDbConfig.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/pdf/TPdkPdf.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/print/VelCuPrint.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorFolders.h"

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
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 1000;
    if (!qEnvironmentVariableIsSet("VELCU_STAGE_DIR"))
        qputenv("VELCU_STAGE_DIR", VELCU_STAGE_DIR);
    QTemporaryDir dir;

    CuPrintRun bench(QDir(dir.path()), count);
    TVelCuPrint &run = *bench.run;
    TdmVelStampePDF &stampe = bench.stampe;
    TTorDBCds &store = bench.store;
    QElapsedTimer t;

    qint64 total = 0;
    t.restart();
    run.open();
    qint64 ms = t.elapsed();
    total += ms;
    report("CUs loaded from the store", ms, QStringLiteral("%1 CUs").arg(run.cdsMultiSelect.recordCount()));

    t.restart();
    const QString path = run.print(run.allRows(), TVelCuPrint::defaultFileName(false)).path;
    ms = t.elapsed();
    total += ms;
    TPdkPdf check;
    check.LoadFromFile(path);
    const int pages = check.PageCount();
    const qint64 bytes = QFileInfo(path).size();
    const qint64 model = QFileInfo(TorFolders::resolveFile(TorFolders::resDir(), Campagna::modelloSintetico())).size();
    report("sections loaded, pages filled, saved, CUs locked", ms,
           QStringLiteral("%1 pages, %2 MB").arg(pages).arg(bytes / 1048576.0, 0, 'f', 1));
    std::printf("end to end from the store: %lld ms (target < 5000 ms); %.0f bytes a page beyond the model "
                "(target < 6144); peak memory %.1f MB\n",
                total, pages > 0 ? double(bytes - model) / pages : 0.0, procMb("VmHWM:"));

    // The ordinary CU of the same school: every CU also gets two annotation
    // codes in its text and every fifth a TFR row (set-up, not timed).
    t.restart();
    {
        TClientDataSet cu;
        store.Load(cu, QStringLiteral("TCUD_DATICUD"));
        cu.disableControls();
        for (cu.first(); !cu.eof(); cu.next()) {
            cu.edit();
            set(cu, "SCUDANNOTAZIONI", QStringLiteral("AC) Detrazioni per carichi di famiglia\r\nBO)\r\n"
                                                      "AL) Addizionali regionale e comunale"));
            set(cu, "iCudStato", 0);
            cu.post();
        }
        cu.enableControls();
        store.Save(cu, QStringLiteral("TCUD_DATICUD"));
        TClientDataSet tfr;
        store.Load(tfr, QStringLiteral("TCUDT_TFR"));
        tfr.disableControls();
        for (int i = 5; i <= count; i += 5) {
            tfr.append();
            set(tfr, "SCUDCODFIS", taxCode(i));
            set(tfr, "SCUDMESE", QStringLiteral("12"));
            set(tfr, "FRL7INDENANNO", money(1500000 + i));
            tfr.post();
        }
        tfr.enableControls();
        store.Save(tfr, QStringLiteral("TCUDT_TFR"));
    }
    report("annotations and TFR added (set-up)", t.elapsed());

    stampe.ordinario = true;
    TVelCuPrint ord(store, stampe, bench.main);
    ord.outputFolder = dir.filePath(QStringLiteral("Stp"));
    qint64 ordTotal = 0;
    t.restart();
    ord.open();
    ms = t.elapsed();
    ordTotal += ms;
    report("ordinary: CUs loaded from the store", ms, QStringLiteral("%1 CUs").arg(ord.cdsMultiSelect.recordCount()));
    t.restart();
    const QString ordPath = ord.print(ord.allRows(), TVelCuPrint::defaultFileName(true)).path;
    ms = t.elapsed();
    ordTotal += ms;
    TPdkPdf ordCheck;
    ordCheck.LoadFromFile(ordPath);
    const int ordPages = ordCheck.PageCount();
    const qint64 ordBytes = QFileInfo(ordPath).size();
    const qint64 ordModel =
        QFileInfo(TorFolders::resolveFile(TorFolders::resDir(), Campagna::modelloOrdinario())).size();
    report("ordinary: filled, saved, codes stored, locked", ms,
           QStringLiteral("%1 pages, %2 MB").arg(ordPages).arg(ordBytes / 1048576.0, 0, 'f', 1));
    std::printf("ordinary end to end from the store: %lld ms; %.0f bytes a page beyond the model; "
                "peak memory %.1f MB\n",
                ordTotal, ordPages > 0 ? double(ordBytes - ordModel) / ordPages : 0.0, procMb("VmHWM:"));
    return 0;
}
