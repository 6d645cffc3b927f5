// The sections of the CU at scale: "velcu-db create --demo --payees N" on
// SQLite, then for every candidate of the import, in a transaction of its
// own, the CU main record and its sections as the import writes them: INPS,
// public pension (UniEmens source, or NoiPA with --noipa), dependants and
// self-employed payments, every post saved to the store. PostgreSQL on the
// server named by VELCU_TEST_PG* (scripts/pg-test.sh), skipped without it.
//
//   bench_import_sections [--noipa] [N ...]      (default: 1000)

#include "BenchProcess.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "rag/calc/ragUQuery.h"
#include "src/prj/unit/import/VelImpAutonomi.h"
#include "src/prj/unit/import/VelImpFamiliari.h"
#include "src/prj/unit/import/VelImpInps.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"

#include <QCoreApplication>
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

void run(const QString &engine, TOvSQLConnection &conn, int payees, bool noipa)
{
    TTorDBCds store;
    store.setConnection(&conn);
    store.setProgram(QStringLiteral("vel"));
    store.setYear(2025);
    store.setShowWait(false);
    TClientDataSet cu, fam, inps, inpdap, aut;
    store.Load(cu, QStringLiteral("TCUD_DATICUD"));
    store.Load(fam, TVelImpFamiliari::kTabella);
    store.Load(inps, TVelImpInps::kTabella);
    store.Load(inpdap, TVelImpInpdap::kTabella);
    store.Load(aut, TVelImpAutonomi::kTabella);

    TRagQuery list({&conn, &QueryText()});
    TOvSQLQuery &cand = list.open(QStringLiteral("QRY_CUD_IMP"),
                                  {{QStringLiteral("IANFID"), 56}, {QStringLiteral("IMESID"), 12},
                                   {QStringLiteral("IDWGID"), 1}, {QStringLiteral("RICE_COD_IRPEF_AM"), 11},
                                   {QStringLiteral("RICE_COD_IRPEF_TS"), 12}},
                                  {TRagQuery::filtroCandidati(0)});
    TRagQuery paco({&conn, &QueryText()});
    const TVelParametriPaco parametri =
        TVelParametriPaco::leggi(paco.open(QStringLiteral("QRY_PACO"), {{QStringLiteral("IDWGID"), 1}}));

    TVelImpFamiliari famB;
    TVelImpInps inpsB;
    TVelImpInpdap inpdapB;
    TVelImpAutonomi autB;
    TRagQuery acom({&conn, &QueryText()});
    int done = 0, errors = 0, logLines = 0;
    QElapsedTimer t;
    t.start();
    const double cpu0 = bench::cpuMs();
    for (cand.first(); !cand.eof(); cand.next()) {
        const QString cf = cand.fieldByName(QStringLiteral("SANACODFISCALE")).asString().trimmed();
        if (cf.isEmpty())
            continue;
        const int iacomid = int(cand.fieldByName(QStringLiteral("IACOMID")).asInteger());
        const int mese = int(cand.fieldByName(QStringLiteral("MESE_FINALE")).asInteger());
        const int pos = int(cand.fieldByName(QStringLiteral("ITNOORVEXCODE")).asInteger());
        conn.startTransaction();
        try {
            TOvSQLQuery &a = acom.open(QStringLiteral("QRY_CED_ACOM"), {{QStringLiteral("IACOMID"), iacomid}});
            TVelImpContesto c;
            c.connection = &conn;
            c.queries = &QueryText();
            c.store = &store;
            c.anno = 2025;
            c.IANFID = 56;
            c.IACOMID = iacomid;
            c.IANAID = int(cand.fieldByName(QStringLiteral("IANAID")).asInteger());
            c.MESE_FINALE = mese;
            c.SCUDCODFIS = cf;
            c.SCUDMESE = QStringLiteral("%1").arg(mese, 2, 10, QLatin1Char('0'));
            const bool autonomo = pos == 10 || pos == 14 || pos == 15;
            if (pos == 11)
                c.listaCococo = QStringLiteral("11");
            else if (!autonomo)
                c.listaFiscale = c.listaInps = QString::number(pos);
            c.LACOMMINIMI = int(a.fieldByName(QStringLiteral("LACOMMINIMI")).asInteger());
            c.IACOMSOGGENPALS = int(a.fieldByName(QStringLiteral("IACOMSOGGENPALS")).asInteger());
            c.IACOMSCAINPDAP = int(a.fieldByName(QStringLiteral("IACOMSCAINPDAP")).asInteger());
            c.INCLUDI_INPDAP_MEF = noipa ? 1 : 0;
            c.paco = parametri;
            c.SSOSCODFIS = QStringLiteral("92017840536");
            c.log = [&logLines](int, const QString &) { ++logLines; };

            cu.append();
            cu.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(cf);
            cu.fieldByName(QStringLiteral("SCUDMESE")).setAsString(c.SCUDMESE);
            cu.fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(cand.fieldByName(QStringLiteral("SANACOGNOME")).asString());
            cu.fieldByName(QStringLiteral("SCUDNOME")).setAsString(cand.fieldByName(QStringLiteral("SANANOME")).asString());
            cu.post();
            store.Save(cu, QStringLiteral("TCUD_DATICUD"));
            c.iAfiID = cu.fieldByName(QStringLiteral("iAfiID")).asInteger();

            inpsB.importa(c, inps);
            inpdapB.importa(c, inpdap);
            famB.importa(c, fam);
            if (autonomo)
                autB.importa(c, aut, TVelImpAutonomi::leggiRegistri(c));
            conn.commit();
            ++done;
        } catch (const EOvException &e) {
            for (TClientDataSet *ds : {&cu, &fam, &inps, &inpdap, &aut})
                if (ds->state() != TDataSetState::Browse)
                    ds->cancel();
            conn.rollback();
            if (++errors <= 3)
                QTextStream(stderr) << cf << ": " << e.message() << "\n";
        }
    }
    const qint64 ms = t.elapsed();
    out << engine << ", --payees " << payees << (noipa ? ", NoiPA" : ", UniEmens") << ": " << done << " CU con le sezioni in "
        << QString::number(ms / 1000.0, 'f', 2) << " s, " << QString::number(double(ms) / std::max(1, done), 'f', 2)
        << " ms ciascuna, CPU " << QString::number((bench::cpuMs() - cpu0) / 1000.0, 'f', 2) << " s, picco "
        << QString::number(bench::peakMb(), 'f', 0) << " MB; righe: INPS " << inps.recordCount() << ", ex INPDAP "
        << inpdap.recordCount() << ", familiari " << fam.recordCount() << ", autonomi " << aut.recordCount()
        << "; righe di log " << logLines << ", errori " << errors << "\n";
    out.flush();
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QList<int> sizes;
    bool noipa = false;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--noipa") == 0)
            noipa = true;
        else
            sizes << std::max(1, atoi(argv[i]));
    }
    if (sizes.isEmpty())
        sizes = {1000};
    try {
        QueryText().loadCatalogue(staged() + QStringLiteral("/etc/rag/rag_QueryText.cds"));
        bench::onScaleDatabases(sizes, QStringLiteral("velcu_bench_sections"),
                                [&](const QString &engine, int n, qint64, TOvSQLConnection &conn) {
                                    run(engine, conn, n, noipa);
                                });
    } catch (const EOvException &e) {
        QTextStream(stderr) << e.message() << "\n";
        return 1;
    }
    return 0;
}
