#pragma once
// A school in the fiscal store for the benchmarks that start from it (the
// supply, the print): the supplier, the agent and `count` CUs of about 60
// values each with an INPS row and dependants, every tenth with a
// self-employment entry; and one line of figures per phase.
#include "platform/core/Currency.h"
#include "src/prj/unit/model/VelCodFis.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSchemaInstaller.h"
#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "tor/store/torUDBCds.h"

#include "BenchProcess.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QElapsedTimer>
#include <cstdio>

namespace bench {

inline double g_cpuMark = 0;

inline void report(const char *phase, qint64 ms, const QString &extra = QString())
{
    const double cpu = cpuMs();
    std::printf("%-40s %7lld ms wall %7.0f ms cpu   peak %6.1f MB  now %6.1f MB  %s\n", phase, ms, cpu - g_cpuMark,
                procMb("VmHWM:"), procMb("VmRSS:"), qPrintable(extra));
    std::fflush(stdout);
    g_cpuMark = cpuMs();
}

// A new SQLite database at `file` with the schema and this program's
// structures, and the store of the financial year over it.
inline void openStore(TOvSQLConnection &c, TTorDBCds &store)
{
    c.setCreateIfMissing(true);
    c.openOrThrow();
    TOvSchemaInstaller(c, QStringLiteral(VELCU_SOURCE_DIR "/data/etc/rag/sql")).install(false);
    seedStructures(c);
    store.setConnection(&c);
    store.setProgram(QStringLiteral("vel"));
    store.setYear(2025);
    store.setMonth(TTorDBCds::AllMonths);
    store.setShowWait(false);
}

inline TOvDbConfig sqliteFile(const QString &file)
{
    TOvDbConfig cfg;
    cfg.engine = TOvDbEngine::SQLite;
    cfg.path = file;
    return cfg;
}

inline QVariant money(qint64 cents)
{
    return QVariant::fromValue(Currency::fromUnits(cents * 100));
}

// A personal tax code with its check letter (the supply refuses any other):
// three letters of the surname part numbered from i, up to 17,576 payees.
inline QString validTaxCode(const QString &first15)
{
    return first15 + VelCodFis::personalCheck(first15);
}

inline QString taxCode(int i)
{
    QString letters;
    for (int k = 0, n = i; k < 3; ++k, n /= 26)
        letters.prepend(QChar(u'A' + n % 26));
    return validTaxCode(QStringLiteral("BNC") + letters + QStringLiteral("80A01H501"));
}

inline void set(TClientDataSet &ds, const char *name, const QVariant &v)
{
    ds.fieldByName(QLatin1String(name)).setValue(v);
}

inline void fillStore(TTorDBCds &store, int count)
{
    const VelRecordModel &m = VelRecordModel::instance();
    QStringList amounts;
    for (const VelFieldDesc &f : m.structure(QStringLiteral("TCUD_DATICUD")).fields)
        if (f.kind == VelFieldKind::Amount && !f.box.isEmpty() && amounts.size() < 45)
            amounts << f.name;

    TClientDataSet forn;
    store.Load(forn, QStringLiteral("TCFO_FORNITORE"));
    forn.append();
    set(forn, "SFORCODFIS", QStringLiteral("80012345676"));
    set(forn, "STFOCODICE", QStringLiteral("1"));
    forn.post();
    store.Save(forn, QStringLiteral("TCFO_FORNITORE"));

    TClientDataSet sost;
    store.Load(sost, QStringLiteral("TCUS_DATISOST"));
    sost.append();
    set(sost, "SSOSCODFIS", QStringLiteral("80012345676"));
    set(sost, "SSOSDENOM", QStringLiteral("ISTITUTO COMPRENSIVO GIOSUÈ CARDUCCI"));
    set(sost, "SSOSCFRAPPR", QStringLiteral("RSSMRA80A01H501U"));
    set(sost, "SCARCODICE", QStringLiteral("1"));
    set(sost, "SSOSCOGNRAPPR", QStringLiteral("ROSSI"));
    set(sost, "SSOSNOMERAPPR", QStringLiteral("MARIO"));
    set(sost, "SSOSFIRMACOM", QStringLiteral("MARIO ROSSI"));
    sost.post();
    store.Save(sost, QStringLiteral("TCUS_DATISOST"));

    TClientDataSet cu;
    store.Load(cu, QStringLiteral("TCUD_DATICUD"));
    cu.disableControls();
    for (int i = 1; i <= count; ++i) {
        cu.append();
        set(cu, "SCUDCODFIS", taxCode(i));
        set(cu, "SCUDMESE", QStringLiteral("12"));
        set(cu, "SCUDCOGNOME", QStringLiteral("COGNOME%1 DELLA CASA").arg(i));
        set(cu, "SCUDNOME", QStringLiteral("NICOLÒ"));
        set(cu, "SCUDSEX", QStringLiteral("M"));
        set(cu, "DCUDDATANAS", QDate(1970 + i % 30, 1 + i % 12, 1 + i % 28));
        set(cu, "SCUDCOMNAS", QStringLiteral("ROMA"));
        set(cu, "SCUDPROVNAS", QStringLiteral("RM"));
        set(cu, "DCUDDATIANADATA", QDate(2026, 3, 2));
        set(cu, "SCUDDATIANAFIRMA", QStringLiteral("MARIO ROSSI"));
        for (int k = 0; k < amounts.size(); ++k)
            set(cu, amounts[k].toLatin1().constData(), money(100000 + i * 7 + k));
        cu.post();
    }
    cu.enableControls();
    store.Save(cu, QStringLiteral("TCUD_DATICUD"));

    TClientDataSet inps;
    store.Load(inps, QStringLiteral("TCUDI_INPS"));
    TClientDataSet fam;
    store.Load(fam, QStringLiteral("TCUDC_CONFAMCARICO"));
    TClientDataSet aut;
    store.Load(aut, QStringLiteral("TASE_AUTSOMMEEROGATE"));
    for (TClientDataSet *ds : {&inps, &fam, &aut})
        ds->disableControls();
    for (int i = 1; i <= count; ++i) {
        inps.append();
        set(inps, "SCUDCODFIS", taxCode(i));
        set(inps, "SCUDMESE", QStringLiteral("12"));
        set(inps, "sCudMatrAzienda", QStringLiteral("7012345678"));
        set(inps, "LCUDENTEINPS", QStringLiteral("X"));
        set(inps, "FCUDIMPONIBILE", money(2000000 + i));
        set(inps, "fCudContribTratt", money(180000 + i));
        inps.post();
        fam.append();
        set(fam, "SCUDCODFIS", taxCode(i));
        set(fam, "SCUDMESE", QStringLiteral("12"));
        set(fam, "LCUDRELPARCON", QStringLiteral("1"));
        set(fam, "SCUDCODFISCON", validTaxCode(QStringLiteral("BNCMRA82A41H501")));
        set(fam, "LCUDRELPARFIGL", QStringLiteral("1"));
        set(fam, "SCUDCODFISFIGL", validTaxCode(QStringLiteral("RSSLCU10A01H501")));
        fam.post();
        if (i % 10 == 0) {
            aut.append();
            set(aut, "SCUDCODFIS", taxCode(i));
            set(aut, "SCUDMESE", QStringLiteral("12"));
            set(aut, "SCAUCODICE", QStringLiteral("A"));
            set(aut, "FDSE7AMMLORDO", money(100000));
            aut.post();
        }
    }
    for (TClientDataSet *ds : {&inps, &fam, &aut})
        ds->enableControls();
    store.Save(inps, QStringLiteral("TCUDI_INPS"));
    store.Save(fam, QStringLiteral("TCUDC_CONFAMCARICO"));
    store.Save(aut, QStringLiteral("TASE_AUTSOMMEEROGATE"));
}

// openStore() and fillStore(), reported as set-up (not what is measured).
inline void openFilledStore(TOvSQLConnection &c, TTorDBCds &store, int count)
{
    openStore(c, store);
    g_cpuMark = cpuMs();
    QElapsedTimer t;
    t.start();
    fillStore(store, count);
    report("store filled (set-up)", t.elapsed(), QStringLiteral("%1 CUs").arg(count));
}

} // namespace bench
