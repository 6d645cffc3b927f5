// The supply's pre-check, the stage before generation: the producer's
// setting, the coherence of the visited CUs, what the agency would refuse,
// and the mandatory fields the office decides on.
#include "src/prj/unit/telematic/TdmVelFile.h"
#include "src/prj/unit/model/VelCuRepository.h"

#include "platform/dataset/TClientDataSet.h"
#include "rag/calc/ragUQuery.h"
#include "rag/params/dmRagParams.h"
#include "src/prj/unit/check/VelCoherence.h"
#include "src/prj/unit/check/VelSupplyRules.h"
#include "src/prj/unit/telematic/VelTaxCode.h"
#include "tor/store/torUDBCds.h"

namespace {

using Source = VelFileCds::Source;

// The rows of a dataset in the order they were loaded (no filter, no
// index), as the coherence check reads them; the dataset's order and
// current row are kept.
QList<QVariantMap> naturalRows(TClientDataSet &ds)
{
    ds.setFiltered(false);
    const QString order = ds.indexFieldNames();
    if (order.isEmpty())
        return TVelCoherenceInput::rowsOf(ds);
    const TBookmark at = ds.bookmark();
    ds.setIndexFieldNames(QString());
    const QList<QVariantMap> rows = TVelCoherenceInput::rowsOf(ds);
    ds.setIndexFieldNames(order);
    if (at != InvalidBookmark && ds.bookmarkValid(at))
        ds.gotoBookmark(at);
    return rows;
}

} // namespace

bool TdmVelFile::preCheck(const QList<int> &rows)
{
    m_preCheck.clear();
    // the municipalities' codes against the payroll's territory table, when
    // it can be read (the shape alone otherwise)
    VelSupplyRules::loadMunicipalities({m_store.connection(), &m_queries});
    // the distributor's setting first: no question on the office's data for a
    // supply that could not be written anyway
    VelTaxCode::checkedSoftwareProducer(m_settingsFile);
    m_preCheckWarnings.clear();
    // The coherence check of the visited CUs: what the agency would refuse
    // stops the supply with the other refusals; the rest goes to the log.
    // The CUs as open() read them, the ones the supply is made from: read
    // once, not again from the store; the agent's row as the generation reads it.
    auto loaded = [this](const char *structure) -> QList<QVariantMap> {
        for (const Source &s : VelFileCds::Sources)
            if (QLatin1String(s.structure) == QLatin1String(structure)
                && QLatin1String(s.cds) != QLatin1String(VelFileCds::Sost)) {
                TClientDataSet &ds = m_ws.dataSet(QLatin1String(s.cds));
                if (!ds.active())
                    break;
                return naturalRows(ds);
            }
        TClientDataSet ds;
        VelCuRepository(m_store).load(ds, QLatin1String(structure), TTorDBCds::AllMonths);
        return TVelCoherenceInput::rowsOf(ds);
    };
    const TVelCoherenceReport coherence = TVelCoherence::supplyReport(
        m_store, workgroup(), m_queries, dip(),
        rows, loaded);
    for (const QString &line : coherence.warnings)
        say(line);
    if (!coherence.warnings.isEmpty())
        m_preCheckWarnings.append({TVelWarningCode::Coerenza,
                                   QStringLiteral("il controllo di coerenza dei CU ha rilievi da verificare (nel "
                                                  "registro della fornitura e in \"Controllo di coerenza dei CU\")")});
    QStringList refused = m_preCheck.repeatedTaxCodes(rows);
    refused << m_preCheck.unsendableFields(rows) << coherence.blocking;
    if (const QStringList &repeated = refused; !repeated.isEmpty()) {
        m_book.start(rows, dip(), m_preCheckWarnings);
        m_book.stop(repeated.join(QLatin1Char(' ')));
        for (const QString &line : repeated)
            say(line);
        if (information)
            information(repeated, false);
        return false;
    }
    const QStringList report = m_preCheck.report(rows, mandatoryCheck);
    if (report.isEmpty())
        return true;
    if (information && information(report, true)) {
        m_preCheckWarnings.append({TVelWarningCode::DatiMancanti,
                                   QStringLiteral("fornitura scritta con dati obbligatori mancanti (elencati "
                                                  "all'inizio)")});
        return true;
    }
    if (closingLines)
        say(QStringLiteral("Generazione file telematico terminata dall'utente"));
    return false;
}
