// The payroll side at scale: "velcu-db create --demo --payees N" (the
// demo's 40 payees plus N generated ones), then the year-end figures of
// every candidate of the import read as the import reads them: the
// candidate list, then per payee the adjustment check and every operation
// of the reader (adjustment or standard). SQLite on a temporary file;
// PostgreSQL on the server named by VELCU_TEST_PG* (scripts/pg-test.sh),
// skipped without it.
//
//   bench_payroll [N ...]      (default: 1000 5000)

#include "BenchProcess.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "rag/calc/ragUQuery.h"
#include "src/prj/unit/import/VelCudReader.h"
#include "tor/query/torCQueryText.h"

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

struct Totals
{
    int payees = 0, adjusted = 0, refused = 0;
    Currency taxable, netTax;
};

Totals readAll(TOvSQLConnection &conn)
{
    Totals tot;
    TRagQuery list({&conn, &QueryText()});
    TOvSQLQuery &cand = list.open(QStringLiteral("QRY_CUD_IMP"),
                                  {{QStringLiteral("IANFID"), 56}, {QStringLiteral("IMESID"), 12},
                                   {QStringLiteral("IDWGID"), 1}, {QStringLiteral("RICE_COD_IRPEF_AM"), 11},
                                   {QStringLiteral("RICE_COD_IRPEF_TS"), 12}},
                                  {TRagQuery::filtroCandidati(0)});
    TRagQuery cong({&conn, &QueryText()});
    for (cand.first(); !cand.eof(); cand.next()) {
        TVelCudImportState s;
        s.IACOMID = int(cand.fieldByName(QStringLiteral("IACOMID")).asInteger());
        s.MESE_FINALE = int(cand.fieldByName(QStringLiteral("MESE_FINALE")).asInteger());
        s.IANFID = 56;
        s.fiscalList = cand.fieldByName(QStringLiteral("ITNOORVEXCODE")).asString();
        s.FISCALE_NOIPA = true;
        s.connection = &conn;
        s.queries = &QueryText();
        const bool adjusted = !cong.open(QStringLiteral("QRY_CUD_CONG"),
                                         {{QStringLiteral("IACOMID"), s.IACOMID},
                                          {QStringLiteral("IMESID"), s.MESE_FINALE}})
                                   .isEmpty();
        cong.dataSet().close();
        std::unique_ptr<TCudStd> r = adjusted ? std::make_unique<TCudCong>() : std::make_unique<TCudStd>();
        r->setAncheSenzaConguaglio(true);
        ++tot.payees;
        tot.adjusted += adjusted;
        try {
            r->inizializza(s);
            r->impostaLorda();
            r->ritenuteOperate();
            r->arretrati();
            tot.taxable += r->imponibile();
            r->giorni();
            tot.netTax += r->impostaNetta();
            r->addComTrattenuta();
            r->addComDovuta();
            r->addRegDovuta();
            r->calcolaDetrazioni();
            r->numeriFamiliari();
            r->bonus();
            r->totaleVoce(10054);
        } catch (const EOvWarning &) {
            ++tot.refused;   // mixed NoiPA and local payments
        }
    }
    return tot;
}

void report(const QString &engine, int payees, qint64 createMs, TOvSQLConnection &conn)
{
    QElapsedTimer t;
    t.start();
    const double cpu0 = bench::cpuMs();
    const Totals tot = readAll(conn);
    const qint64 readMs = t.elapsed();
    out << engine << ", --payees " << payees << ": creazione " << QString::number(createMs / 1000.0, 'f', 2)
        << " s; letture fiscali di " << tot.payees << " candidati (" << tot.adjusted << " con conguaglio, "
        << tot.refused << " rifiutati) " << QString::number(readMs / 1000.0, 'f', 2) << " s, "
        << QString::number(double(readMs) / std::max(1, tot.payees), 'f', 2) << " ms ciascuno, CPU "
        << QString::number((bench::cpuMs() - cpu0) / 1000.0, 'f', 2) << " s, picco " 
        << QString::number(bench::peakMb(), 'f', 0) << " MB; imponibile totale " << tot.taxable.toString() << "\n";
    out.flush();
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << std::max(1, atoi(argv[i]));
    if (sizes.isEmpty())
        sizes = {1000, 5000};
    try {
        QueryText().loadCatalogue(staged() + QStringLiteral("/etc/rag/rag_QueryText.cds"));
        bench::onScaleDatabases(sizes, QStringLiteral("velcu_bench_payroll"),
                                [&](const QString &engine, int n, qint64 ms, TOvSQLConnection &conn) {
                                    report(engine, n, ms, conn);
                                    out.flush();
                                });
    } catch (const EOvException &e) {
        QTextStream(stderr) << e.message() << "\n";
        return 1;
    }
    return 0;
}
