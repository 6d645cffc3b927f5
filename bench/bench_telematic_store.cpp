// The telematic supply end to end from the fiscal store (SQLite): 10,000 CUs
// of about 60 values each with an INPS row and dependants, every tenth with a
// self-employment entry, written through the store first (not timed as part
// of the supply); then the data module as the wizard drives it: datasets
// loaded from the store, the pre-check, the generation (checks, passes, field
// rows saved to their file) and the save (records assembled, file written,
// agent's count saved). Prints each phase's time and the peak memory of the
// supply (the peak is reset once the store is filled); then, apart, the time
// the check of the written files takes (run again on the files the save wrote).
// Usage: bench_telematic_store [certifications] [folder]
// (folder: where copies of the supply files go, to compare two builds' output)
#include "platform/core/Currency.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvDbConfig.h"
#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/check/VelSupplyCheck.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "src/prj/unit/telematic/TdmVelFile.h"
#include "tor/store/torUDBCds.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <cstdio>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "BenchCuStore.h"
#include "tor/query/torCQueryText.h"

using namespace bench;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    if (!qEnvironmentVariableIsSet("VELCU_STAGE_DIR"))
        qputenv("VELCU_STAGE_DIR", VELCU_STAGE_DIR);
    QTemporaryDir dir;

    TOvSQLConnection c(sqliteFile(dir.filePath(QStringLiteral("bench.sqlite"))));
    TTorDBCds store;
    openFilledStore(c, store, count);
    QElapsedTimer t;
    // the supply's own peak: what the set-up freed goes back to the system and
    // the peak starts again from what the process holds now
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
    if (QFile clear(QStringLiteral("/proc/self/clear_refs")); clear.open(QIODevice::WriteOnly))
        clear.write("5");
    report("peak reset after the set-up", 0);

    const QString ini = dir.filePath(QStringLiteral("velcu.ini"));
    QSettings(ini, QSettings::IniFormat).setValue(QStringLiteral("FileTelematico/CodiceFiscaleProduttore"),
                                                 QStringLiteral("01234567897"));
    TdmVelFile dm(store, QueryText());
    dm.setSettingsFile(ini);
    dm.setTablePaths(dir.filePath(QStringLiteral("TFIFI_FIELDSFILE.CDS")), dir.filePath(QStringLiteral("TFILE_FILETELEM.CDS")));
    dm.information = [](const QStringList &, bool) { return true; };
    dm.defaultMatricola = [] { return QString(); };
    QString lastError;
    dm.log = [&lastError](const QString &line) {
        if (line.startsWith(QLatin1String("*****")))
            lastError = line;
    };

    qint64 total = 0;
    t.restart();
    const TVelSupplyOpened opened = dm.open();
    qint64 ms = t.elapsed();
    total += ms;
    report("datasets loaded from the store", ms, QStringLiteral("%1 CUs").arg(dm.dip().recordCount()));

    t.restart();
    const QList<int> rows = dm.visitedRows(TdmVelFile::All);
    const std::optional<TVelSupplyChecked> checked = opened.preCheck(rows);
    if (!checked) {
        std::printf("pre-check: the supply would not be written\n");
        return 1;
    }
    ms = t.elapsed();
    total += ms;
    report("pre-check", ms);

    t.restart();
    TVelSupplyGeneration generation = checked->generate();
    if (!generation.supply) {
        std::printf("generation failed: %s\n", qPrintable(lastError));
        return 1;
    }
    ms = t.elapsed();
    total += ms;
    report("generation (checks, passes, field table saved)", ms,
           QStringLiteral("%1 MB field file").arg(QFileInfo(dir.filePath(QStringLiteral("TFIFI_FIELDSFILE.CDS"))).size() / 1048576.0, 0, 'f', 1));

    t.restart();
    const QStringList files = generation.supply->save(dir.filePath(QStringLiteral("CUR26"))).files;
    ms = t.elapsed();
    total += ms;
    qint64 bytes = 0;
    for (const QString &f : files)
        bytes += QFileInfo(f).size();
    report("save (assembly, file, agent's count)", ms,
           QStringLiteral("%1 file(s), %2 MB").arg(files.size()).arg(bytes / 1048576.0, 0, 'f', 1));

    if (argc > 2) {
        const QDir keep(QString::fromLocal8Bit(argv[2]));
        keep.mkpath(QStringLiteral("."));
        for (const QString &f : files) {
            const QString copy = keep.filePath(QFileInfo(f).fileName());
            QFile::remove(copy);
            QFile::copy(f, copy);
        }
    }
    std::printf("end to end from the store: %lld ms (target < 2000 ms); peak memory since the set-up %.1f MB "
                "(target < 200 MB)\n",
                total, procMb("VmHWM:"));

    // the check of the written files, which the save runs before they take
    // their names, once more on its own: its share of the save
    t.restart();
    TVelSupplyCheck check;
    const int problems = int(check.run(files).size());
    report("  of which: check of the written files", t.elapsed(),
           QStringLiteral("%1 records, %2 problems").arg(check.records()).arg(problems));
    return 0;
}
