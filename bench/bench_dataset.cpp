// Client dataset at scale: 100,000 rows of 30 fields of mixed types.
// Prints time and memory for: creating and saving the file, loading it,
// sorting by a three-field index, filtering on one field.
// Usage: bench_dataset [rows] [folder for the file]
#include "platform/dataset/TClientDataSet.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>

#include "BenchProcess.h"

using bench::cpuMs;
using bench::procMb;

namespace {

// Restarts the peak count (Linux: writing 5 to clear_refs resets VmHWM).
bool resetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    return f.open(QIODevice::WriteOnly) && f.write("5") == 1;
}

// CPU time of the process in ms: on a busy shared machine the wall time
// also counts the waiting, the CPU time only the work.
double g_cpuMark = 0;

void report(const char *phase, qint64 ms, const QString &extra = QString())
{
    const double cpu = cpuMs();
    std::printf("%-30s %7lld ms wall %7.0f ms cpu   peak %6.1f MB   now %6.1f MB  %s\n", phase, ms,
                cpu - g_cpuMark, procMb("VmHWM:"), procMb("VmRSS:"), qPrintable(extra));
    std::fflush(stdout);
    g_cpuMark = cpuMs();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 100000;
    QTemporaryDir tmp;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : tmp.path();
    const QString path = QDir(folder).filePath(QStringLiteral("bench_dataset.cds"));

    std::printf("bench_dataset: %d rows x 30 fields (12 text, 6 integer, 6 currency, 2 float, 2 date, "
                "1 date-time, 1 boolean)\n", rows);
    report("start", 0);
    resetPeak();

    QElapsedTimer t;
    {
        g_cpuMark = cpuMs();
        t.start();
        TClientDataSet ds;
        for (int i = 0; i < 12; ++i)
            ds.addFieldDef(QStringLiteral("S%1").arg(i), TFieldType::String, 40);
        for (int i = 0; i < 6; ++i)
            ds.addFieldDef(QStringLiteral("I%1").arg(i), TFieldType::Integer);
        for (int i = 0; i < 6; ++i)
            ds.addFieldDef(QStringLiteral("F%1").arg(i), TFieldType::Currency);
        ds.addFieldDef(QStringLiteral("R0"), TFieldType::Float);
        ds.addFieldDef(QStringLiteral("R1"), TFieldType::Float);
        ds.addFieldDef(QStringLiteral("D0"), TFieldType::Date);
        ds.addFieldDef(QStringLiteral("D1"), TFieldType::Date);
        ds.addFieldDef(QStringLiteral("T0"), TFieldType::DateTime);
        ds.addFieldDef(QStringLiteral("L0"), TFieldType::Boolean);
        ds.createDataSet();
        // As the fiscal store loads: handlers detached, views suspended, append and post.
        const TDataSetEvents events = ds.detachEvents();
        ds.disableControls();
        const QDate base(1960, 1, 1);
        const QDateTime stamp(QDate(2025, 1, 1), QTime(8, 0));
        for (int r = 0; r < rows; ++r) {
            ds.append();
            for (int i = 0; i < 12; ++i)
                ds.field(i).setAsString(QStringLiteral("VALORE%1-%2").arg(i).arg((r * 7919 + i * 104729) % 50000, 5, 10, QChar(u'0')));
            for (int i = 0; i < 6; ++i)
                ds.field(12 + i).setAsInteger((r * (i + 3)) % 1000);
            for (int i = 0; i < 6; ++i)
                ds.field(18 + i).setAsCurrency(Currency::fromUnits(qint64(r) * 12345 % 100000000 - i));
            ds.field(24).setAsFloat(r / 7.0);
            ds.field(25).setAsFloat(r * 1e-3);
            ds.field(26).setAsDate(base.addDays(r % 20000));
            ds.field(27).setAsDate(base.addDays((r * 13) % 20000));
            ds.field(28).setAsDateTime(stamp.addMSecs(qint64(r) * 1001));
            if (r % 3)
                ds.field(29).setAsBoolean(r % 2);
            ds.post();
        }
        ds.mergeChangeLog();
        ds.enableControls();
        ds.attachEvents(events);
        report("create (append + post)", t.elapsed(), QStringLiteral("%1 rows").arg(ds.recordCount()));

        t.restart();
        ds.saveToFile(path);
        report("save to file", t.elapsed(),
               QStringLiteral("%1 MB").arg(QFileInfo(path).size() / 1048576.0, 0, 'f', 1));
    }

    report("dataset freed", 0);
    resetPeak();
    TClientDataSet ds;
    t.restart();
    ds.loadFromFile(path);
    report("load from file", t.elapsed(), QStringLiteral("%1 rows").arg(ds.recordCount()));

    resetPeak();
    t.restart();
    ds.setIndexFieldNames(QStringLiteral("I0;S3;F2"), QStringLiteral("S3"));
    report("sort on I0;S3 desc;F2", t.elapsed());

    t.restart();
    ds.setIndexFieldNames(QStringLiteral("S0;D0;F0"));
    report("sort on S0;D0;F0", t.elapsed());

    t.restart();
    ds.setFilter(QStringLiteral("I1 = 40"));
    ds.setFiltered(true);
    report("filter I1 = 40", t.elapsed(), QStringLiteral("%1 rows visible").arg(ds.recordCount()));

    t.restart();
    ds.setFilter(QStringLiteral("S0+S1 >= 'VALORE0-25'"));
    report("filter S0+S1 >= text", t.elapsed(), QStringLiteral("%1 rows visible").arg(ds.recordCount()));

    ds.setFiltered(false);
    t.restart();
    const bool found = ds.locate(QStringLiteral("I0;S1"), QVariantList{999, QStringLiteral("nothing")});
    report("locate on two fields (miss)", t.elapsed(), found ? QStringLiteral("found") : QStringLiteral("not found"));

    QFile::remove(path);
    return 0;
}
