// The coherence check's input and its uses: the store's rows the rules read
// (only their columns), the payroll's payees, and the findings a supply's
// pre-check shows.
#include "src/prj/unit/check/VelCoherence.h"
#include "src/prj/unit/model/VelCuRepository.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/framework/OvMessages.h"
#include "rag/calc/ragUQuery.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorAnni.h"
#include "velcu/VelFields.h"

#include <QSet>

#include <exception>

namespace {

using Finding = TVelCoherenceFinding;

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

// The columns the rules read, of every structure: the rows keep only these
// (a certification has hundreds of columns, of which the rules read few).
const QSet<QString> &columnsRead()
{
    static const QSet<QString> names = [] {
        QSet<QString> n;
        for (const char *c : {
                 // the CU
                 fld::SCUDCODFIS.name, fld::SCUDCOGNOME.name, fld::SCUDNOME.name, fld::SCUDMESE.name, fld::SCUDPROVNAS.name, fld::iCudPeriodoLav.upper,
                 fld::DCUDDATINIRL.name, fld::DCUDDATFINRL.name, fld::LCUDINFORZA3112.name, fld::fCudReddDetr.upper, fld::FCUDREDDPENS.name,
                 fld::FCUDIMPLORDA.name, fld::FCUDALTREDDASS.name, fld::FCUDASSPERCON.name, fld::fCudRitIrpef.upper, fld::FCUDREDDETTRDET.name,
                 fld::FCUDTOTDETR.name, fld::FCUDDETRIMPNETTA.name, fld::fCudDetrOneri.upper, fld::FCUDDETRFAMNUM.name, fld::FCUDDETRDIPPENSREDD.name,
                 fld::FCUDDETRCANLOC.name, fld::FCUDDETCREDRULTDETR.name, fld::FCUDDEDNOTAXFAM.name, fld::FCUDCMPCORIPPICHE.name,
                 fld::SCUDCODFISPERCEST.name, fld::SCUDLOCRESEST.name, fld::ICUDCODSTAEST.name,
                 // other employers' income
                 fld::FCUDIMPONPTO1.name, fld::FCUDIMPONPTO2.name, fld::FCUDIMPONPTO3.name, fld::FCUDIMPONPTO4.name, fld::FCUDIMPONPTO5.name,
                 fld::FCUDIMPONPTO13.name, fld::FCUDREDDCONGP1.name, fld::FCUDREDDCONGP2.name, fld::FCUDREDDCONGP3.name, fld::FCUDREDDCONGP4.name,
                 fld::FCUDREDDCONGP5.name, fld::FCUDREDDCONGP13.name,
                 // dependants
                 fld::SCUDCODFISCON.name, fld::SCUDMESICARCON.name, fld::LCUDRELPARCON.name, fld::SCUDCODFISPRIFIGL.name, fld::SCUDMESICARPRIFIGL.name,
                 fld::LCUDRELPARPRIFIGL.name, fld::LCUDRELPARPRIFIGLDIS.name, fld::SCUDMESIDETRGFPRIFIGL.name, fld::SCUDMESIDETRM21PRIFIGL.name,
                 fld::SCUDMINTREANNPRIFIGL.name, fld::SCUDDETRSPETTPRIFIGL.name, fld::SCUDCODFISFIGL.name, fld::SCUDMESICARFIGL.name,
                 fld::LCUDRELPARFIGL.name, fld::LCUDRELPARFIGLDIS.name, fld::LCUDRELPARFIGLALTRFAM.name, fld::LCUDRELPARNONASCEND.name,
                 fld::SCUDMESIDETRGFFIGL.name, fld::SCUDMESIDETRM21FIGL.name, fld::SCUDMINTREANNFIGL.name, fld::FCUDDETRSPETTFIGL.name,
                 // public pension: the employee's contributions withheld
                 fld::FCUDCONTRPCLAVTRAT.name, fld::FCUDCONTRTFSCLTRAT.name, fld::FCUDCONTRGESCRETCLAV.name, fld::FCUD_DMA_CONENPDEPCLAVTR.name,
                 fld::FCUD_DMA_CONTRENAMTRATLA.name,
                 // self-employed
                 fld::FDSE7AMMLORDO.name, fld::FDSE7IMPONIBILE.name, fld::FDSE7RITTITIMP.name, fld::FDSE7RITTITACC.name, fld::SCAUCODICE.name,
                 // the agent
                 fld::SSOSCODFIS.name, fld::SSOSDENOM.name, fld::SSOSCFRAPPR.name})
            n.insert(QLatin1String(c));
        return n;
    }();
    return names;
}

} // namespace

QList<QVariantMap> TVelCoherenceInput::rowsOf(TClientDataSet &ds)
{
    QList<QVariantMap> rows;
    // the names made upper case once: every row shares their texts
    QList<QPair<int, QString>> kept;
    const QStringList names = ds.fieldNames();
    for (int f = 0; f < names.size(); ++f)
        if (const QString name = names.at(f).toUpper(); columnsRead().contains(name))
            kept.append({f, name});
    rows.reserve(ds.recordCount());
    for (int r = 0; r < ds.recordCount(); ++r) {
        QVariantMap row;
        for (const auto &[f, name] : std::as_const(kept)) {
            const QVariant v = ds.valueAt(r, f);
            if (v.isValid() && !v.isNull())
                row.insert(name, v);
        }
        rows << row;
    }
    return rows;
}

TVelCoherence::TVelCoherence(TTorDBCds &store) : m_store(store) {}

TVelCoherenceInput TVelCoherence::load(const std::function<QList<QVariantMap>(const char *structure)> &loaded)
{
    TVelCoherenceInput in;
    in.year = m_store.year();
    auto rows = [this, &loaded](const char *structure) {
        if (loaded)
            return loaded(structure);
        TClientDataSet ds;
        VelCuRepository(m_store).load(ds, QLatin1String(structure), TTorDBCds::AllMonths);
        ds.setFiltered(false);
        return TVelCoherenceInput::rowsOf(ds);
    };
    // the CUs and their sections as they were at one moment
    VelCuRepository::Snapshot snapshot(loaded ? nullptr : m_store.connection());
    in.cu = rows(rec::TCUD_DATICUD::id.name);
    in.family = rows(rec::TCUDC_CONFAMCARICO::id.name);
    in.inps = rows(rec::TCUDI_INPS::id.name);
    in.inpdap = rows(rec::TCUDN_INPDAP::id.name);
    in.autonomo = rows(rec::TASE_AUTSOMMEEROGATE::id.name);
    in.agent = rows(rec::TCUS_DATISOST::id.name);
    snapshot.end();
    if (m_workgroup <= 0 || !m_queries)
        in.payrollWhy = s("configurazione dell'istituto non indicata");
    else if (!m_store.connection())
        in.payrollWhy = s("nessuna connessione al database");
    else
        in.payroll = readPayroll({m_store.connection(), m_queries}, in.year, m_workgroup, &in.payrollWhy);
    return in;
}

TVelCoherenceResult TVelCoherence::run()
{
    return check(load());
}

std::optional<QList<TVelPaidPayee>> TVelCoherence::readPayroll(const TRagSource &source, int year, int workgroup,
                                                               QString *why)
{
    try {
        TRagQuery q(source);
        TOvSQLQuery &ds = q.open(QStringLiteral("QRY_CUD_PAGATI_CONTRIBUTI"),
                                 {{QStringLiteral("IDWGID"), workgroup},
                                  {QStringLiteral("IANFID"), TorAnni::toKey(year)},
                                  {QStringLiteral("RICE_COD_INPDAP"), 2},
                                  {QStringLiteral("RICE_COD_INPS_OI"), 3},
                                  {QStringLiteral("RICE_COD_INPS_PT"), 13},
                                  {QStringLiteral("RICE_COD_INPS_GS"), 15}});
        QList<TVelPaidPayee> out;
        for (ds.first(); !ds.eof(); ds.next()) {
            TVelPaidPayee p;
            p.codFis = ds.fieldByName(QStringLiteral("SANACODFISCALE")).asString().trimmed();
            p.name = (ds.fieldByName(QStringLiteral("SANACOGNOME")).asString().trimmed() + QLatin1Char(' ')
                      + ds.fieldByName(QStringLiteral("SANANOME")).asString().trimmed())
                         .simplified();
            p.paid = TRagQuery::amount(ds, QStringLiteral("PAGATO"));
            p.pensionWithheld = TRagQuery::amount(ds, QStringLiteral("CONTR_INPDAP"));
            p.inpsWithheld = TRagQuery::amount(ds, QStringLiteral("CONTR_INPS"));
            out << p;
        }
        ds.close();
        return out;
    } catch (const std::exception &e) {
        if (why)
            *why = exceptionText(e).simplified();
        return std::nullopt;
    }
}

TVelCoherenceReport TVelCoherence::supplyReport(TTorDBCds &store, int workgroup, TTorQueryText &queries,
                                                TClientDataSet &dip, const QList<int> &rows,
                                                const std::function<QList<QVariantMap>(const char *structure)> &loaded)
{
    QSet<QString> visited;
    const int keep = dip.recNo();
    for (int r : rows) {
        dip.setRecNo(r);
        visited.insert(dip.fieldByName(fld::SCUDCODFIS.qs()).asString().trimmed().toUpper());
    }
    if (keep > 0)
        dip.setRecNo(keep);
    const bool whole = !rows.isEmpty() && rows.size() >= dip.recordCount();
    TVelCoherence check(store);
    check.setPayroll(workgroup, queries);
    const TVelCoherenceResult result = rows.isEmpty() ? TVelCoherenceResult() : check.check(check.load(loaded));
    TVelCoherenceReport report;
    for (const Finding &f : result.findings) {
        // a payee with two CUs: the supply refuses it with its own message
        if (f.rule == TVelCoherenceRule::CuDoppia)
            continue;
        // payees without CU belong to the year's supply as a whole; the agent
        // (whose code the generation requires itself) to every supply
        const bool agent = f.month.isEmpty() && f.rule != TVelCoherenceRule::PagatoSenzaCu;
        const bool shown = f.rule == TVelCoherenceRule::PagatoSenzaCu ? whole
                                                                     : agent || visited.contains(f.codFis.trimmed().toUpper());
        if (!shown)
            continue;
        (f.stopsSupply() && !agent ? report.blocking : report.warnings) << f.line();
    }
    if (!report.blocking.isEmpty()) {
        report.blocking.prepend(s("Controllo di coerenza dei CU: errori"));
        report.blocking << s("Correggere i dati in \"Dati CU\" prima di inviare la fornitura.");
    }
    if (!report.warnings.isEmpty()) {
        report.warnings.prepend(s("Controllo di coerenza dei CU: da verificare (elenco completo in \"Controllo di "
                                  "coerenza dei CU\")"));
        if (!result.payrollChecked && workgroup > 0)
            report.warnings << result.payrollNote;
    }
    return report;
}
