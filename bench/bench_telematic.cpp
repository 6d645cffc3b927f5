// Telematic supply at scale: 10,000 certifications of about 80 non-empty
// fields each (personal data, tax data, an INPS row, dependants, every tenth a
// self-employment entry). Prints time and memory for the field rows written by
// the D, G and H passes, the field table through its file, the records
// assembled and the supply file written.
// Usage: bench_telematic [certifications] [folder for the files]
#include "platform/core/Currency.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "src/prj/unit/telematic/VelFileTables.h"
#include "src/prj/unit/telematic/VelFileWorkspace.h"
#include "src/prj/unit/telematic/VelSupplyWriter.h"

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

double g_cpuMark = 0;

void report(const char *phase, qint64 ms, const QString &extra = QString())
{
    const double cpu = cpuMs();
    std::printf("%-34s %7lld ms wall %7.0f ms cpu   peak %6.1f MB  %s\n", phase, ms, cpu - g_cpuMark,
                procMb("VmHWM:"), qPrintable(extra));
    std::fflush(stdout);
    g_cpuMark = cpuMs();
}

QVariant money(qint64 cents)
{
    return QVariant::fromValue(Currency::fromUnits(cents * 100));
}

void fill(VelFileWorkspace &ws, int count)
{
    const VelRecordModel &m = VelRecordModel::instance();
    // the amounts of the tax-data pages, in model order: 45 of them per certification
    QStringList amounts;
    for (const VelFieldDesc &f : m.structure(QStringLiteral("TCUD_DATICUD")).fields)
        if (f.kind == VelFieldKind::Amount && !f.box.isEmpty() && amounts.size() < 45)
            amounts << f.name;

    TClientDataSet &dip = ws.dataSet(QStringLiteral("cdsDip"));
    TClientDataSet &inps = ws.dataSet(QStringLiteral("cdsInps"));
    TClientDataSet &fam = ws.dataSet(QStringLiteral("cdsConFamCar"));
    TClientDataSet &aut = ws.dataSet(QStringLiteral("cdsAutSe"));
    for (TClientDataSet *ds : {&dip, &inps, &fam, &aut})
        ds->disableControls();
    auto set = [](TClientDataSet &ds, const char *name, const QVariant &v) { ds.fieldByName(QLatin1String(name)).setValue(v); };

    TClientDataSet &sost = ws.dataSet(QStringLiteral("cdsSost"));
    sost.append();
    set(sost, "SSOSCODFIS", QStringLiteral("80012345676"));
    set(sost, "SSOSDENOM", QStringLiteral("ISTITUTO COMPRENSIVO GIOSUÈ CARDUCCI"));
    set(sost, "SSOSCOMUNE", QStringLiteral("ROMA"));
    set(sost, "SSOSPROV", QStringLiteral("RM"));
    set(sost, "SSOSCFRAPPR", QStringLiteral("BNCLRA60A41H501Y"));
    sost.post();
    TClientDataSet &forn = ws.dataSet(QStringLiteral("cdsForn"));
    forn.append();
    set(forn, "SFORCODFIS", QStringLiteral("80012345676"));
    set(forn, "STFOCODICE", QStringLiteral("1"));
    forn.post();

    for (int i = 1; i <= count; ++i) {
        const QString cf = QStringLiteral("RSSMRA%1A01H501U").arg(i % 100, 2, 10, QLatin1Char('0'));
        dip.append();
        set(dip, "IAFIID", i);
        set(dip, "SCUDCODFIS", cf);
        set(dip, "SCUDCOGNOME", QStringLiteral("COGNOME%1 DELLA CASA").arg(i));
        set(dip, "SCUDNOME", QStringLiteral("NICOLÒ"));
        set(dip, "SCUDSEX", QStringLiteral("M"));
        set(dip, "DCUDDATANAS", QDate(1970 + i % 30, 1 + i % 12, 1 + i % 28));
        set(dip, "SCUDCOMNAS", QStringLiteral("ROMA"));
        set(dip, "SCUDPROVNAS", QStringLiteral("RM"));
        set(dip, "SCUDCOMDFAP", QStringLiteral("ROMA"));
        set(dip, "SCUDPROVDFAP", QStringLiteral("RM"));
        set(dip, "SCUDCAPDFAP", QStringLiteral("H501"));
        set(dip, "DCUDDATIANADATA", QDate(2026, 3, 2));
        set(dip, "SCUDDATIANAFIRMA", QStringLiteral("LAURA BIANCO"));
        for (int k = 0; k < amounts.size(); ++k)
            set(dip, amounts[k].toLatin1().constData(), money(100000 + i * 7 + k));
        dip.post();

        inps.append();
        set(inps, "IAFIID", i);
        set(inps, "sCudMatrAzienda", QStringLiteral("7012345678"));
        set(inps, "LCUDENTEINPS", QStringLiteral("X"));
        set(inps, "FCUDIMPONIBILE", money(2000000 + i));
        set(inps, "FCUDIMPFINIIVS", money(2000000 + i));
        set(inps, "fCudContribTratt", money(180000 + i));
        inps.post();

        fam.append();
        set(fam, "IAFIID", i);
        set(fam, "LCUDRELPARCON", QStringLiteral("1"));
        set(fam, "SCUDCODFISCON", QStringLiteral("BNCMRA82A41H501W"));
        set(fam, "SCUDMESICARCON", QStringLiteral("12"));
        set(fam, "LCUDRELPARFIGL", QStringLiteral("1"));
        set(fam, "SCUDCODFISFIGL", QStringLiteral("RSSLCU10A01H501A"));
        set(fam, "SCUDMESICARFIGL", QStringLiteral("12"));
        fam.post();

        if (i % 10 == 0) {
            aut.append();
            set(aut, "IAFIID", i);
            set(aut, "SCAUCODICE", QStringLiteral("A"));
            set(aut, "FDSE7AMMLORDO", money(100000));
            set(aut, "FDSE7IMPONIBILE", money(100000));
            set(aut, "FDSE7RITTITACC", money(20000));
            aut.post();
        }
    }
    for (TClientDataSet *ds : {&dip, &inps, &fam, &aut})
        ds->enableControls();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QString::fromLocal8Bit(argv[1]).toInt() : 10000;
    QTemporaryDir tmp;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : tmp.path();
    if (!qEnvironmentVariableIsSet("VELCU_STAGE_DIR"))
        qputenv("VELCU_STAGE_DIR", VELCU_STAGE_DIR);
    g_cpuMark = cpuMs();

    VelFileWorkspace ws;
    ws.engine().setSoftwareProducer(QStringLiteral("01234567897"));
    ws.loadTemplates();
    QElapsedTimer t;
    t.start();
    fill(ws, count);
    report("datasets filled", t.elapsed(), QStringLiteral("%1 certifications").arg(count));

    t.restart();
    ws.generate(ws.allRows());
    const int fieldRows = ws.fieldTable().recordCount();
    const qint64 generateMs = t.elapsed();
    report("field rows written (D, G, H)", generateMs,
           QStringLiteral("%1 rows, %2 per certification").arg(fieldRows).arg(double(fieldRows) / count, 0, 'f', 1));

    t.restart();
    const QString fieldFile = QDir(folder).filePath(QStringLiteral("TFIFI_FIELDSFILE.CDS"));
    VelFileTables::saveTable(ws.fieldTable(), fieldFile);
    ws.fieldTable().emptyDataSet();
    VelFileTables::loadFieldTable(ws.fieldTable(), fieldFile);
    report("field table saved and loaded", t.elapsed(),
           QStringLiteral("%1 MB file").arg(QFileInfo(fieldFile).size() / 1048576.0, 0, 'f', 1));

    t.restart();
    ws.generator().assemble();
    const qint64 assembleMs = t.elapsed();
    report("records assembled", assembleMs, QStringLiteral("%1 records").arg(ws.recordTable().recordCount()));

    t.restart();
    const QStringList files = VelSupplyWriter::write(ws.recordTable(), ws.generator().supplyPlaces(), QDir(folder).filePath(QStringLiteral("CUR26")),
                                                     ws.generator().certificationsInSupply(), [](const QString &) {});
    qint64 bytes = 0;
    for (const QString &f : files)
        bytes += QFileInfo(f).size();
    report("supply written", t.elapsed(), QStringLiteral("%1 file(s), %2 MB").arg(files.size()).arg(bytes / 1048576.0, 0, 'f', 1));

    std::printf("field rows written + records assembled: %lld ms (target < 5000 ms)\n", generateMs + assembleMs);
    std::printf("peak memory (VmHWM): %.1f MB\n", procMb("VmHWM:"));
    return 0;
}
