// The supply's checks before generation: what the agency would refuse, the
// supplier and the agent.
#include "src/prj/unit/telematic/TdmVelFile.h"
#include "src/prj/unit/model/VelCuRepository.h"

#include "src/prj/unit/model/VelError.h"

#include "platform/core/OvFolders.h"
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/sql/OvSQLQuery.h"
#include "rag/calc/ragUQuery.h"
#include "rag/params/dmRagParams.h"
#include "src/prj/unit/check/VelSupplyCheck.h"
#include "src/prj/unit/check/VelCoherence.h"
#include "src/prj/unit/check/VelMandatoryFields.h"
#include "src/prj/unit/check/VelSupplyRules.h"
#include "src/prj/unit/model/VelCodFis.h"
#include "src/prj/unit/telematic/VelAnnotationCodes.h"
#include "src/prj/unit/telematic/VelFileSupport.h"
#include "src/prj/unit/telematic/VelFileTables.h"
#include "src/prj/unit/telematic/VelSupplyWriter.h"
#include "src/prj/unit/telematic/VelTaxCode.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorFolders.h"
#include "velcu/VelFields.h"

#include <QDate>
#include <QDir>
#include <QRegularExpression>
#include <QFileInfo>

#include <algorithm>
#include <tuple>


namespace {

using VelFileSupport::text;

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

bool blank(TClientDataSet &ds, const char *column)
{
    return text(ds, column).trimmed().isEmpty();
}

QDate dateOf(TClientDataSet &ds, const char *column)
{
    const TField f = ds.findField(QLatin1String(column));
    return f && !f.isNull() ? f.asDate() : QDate();
}

// What the rules between two values of a CU find: a value the office
// confirms (the tax code against birth date and sex, "EE" against the code's
// place), each with its rule's id.
QList<std::pair<const char *, QString>> confirmable(TClientDataSet &d)
{
    QList<std::pair<const char *, QString>> out;
    const QString cf = text(d, fld::SCUDCODFIS.name).trimmed().toUpper();
    if (const QString why = VelSupplyRules::taxCodeAgainstBirth(cf, dateOf(d, fld::DCUDDATANAS.name), text(d, fld::SCUDSEX.name));
        !why.isEmpty())
        out.append({"codice-fiscale-nascita", QStringLiteral(" - Codice fiscale del percipiente (%1): ").arg(cf) + why});
    if (const QString why = VelSupplyRules::birthProvinceAgainstCode(text(d, fld::SCUDPROVNAS.name), cf); !why.isEmpty())
        out.append({"provincia-nascita-estero", QStringLiteral(" - ") + why});
    return out;
}

} // namespace

QStringList TdmVelFile::preCheckReport(const QList<int> &rows)
{
    QStringList report;
    TClientDataSet &d = dip();
    TClientDataSet &family = m_ws.dataSet(QLatin1String(VelFileCds::ConFamCar));
    family.setFiltered(false);
    // the first dependants' row of each tax code, found once
    QHash<QString, int> familyRow;
    if (family.active() && !rows.isEmpty()) {
        const int fcf = family.fieldIndex(fld::SCUDCODFIS.qs());
        for (int r = family.recordCount() - 1; fcf >= 0 && r >= 0; --r)
            familyRow.insert(family.valueAt(r, fcf).toString(), r + 1);
    }
    for (int r : rows) {
        d.setRecNo(r);
        QStringList problems;
        bool ok = mandatoryCheck(problems, {&d});
        const QString cf = text(d, fld::SCUDCODFIS.name);
        for (const auto &[rule, line] : confirmable(d)) {
            problems << QStringLiteral("Avviso") + line;
            m_confirmable.insert(QLatin1String(rule) + QLatin1Char('|') + cf.trimmed().toUpper());
            ok = false;
        }
        if (const int at = familyRow.value(cf); at > 0 && !cf.isEmpty()) {
            family.setRecNo(at);
            ok = mandatoryCheck(problems, {&family}) && ok;
        }
        if (ok)
            continue;
        report << QString() << QStringLiteral("Dipendente: ") + text(d, fld::SCUDCOGNOME.name) + QLatin1Char(' ') + text(d, fld::SCUDNOME.name);
        for (const QString &p : std::as_const(problems))
            report << p.split(QStringLiteral("\r\n"));
    }
    return report;
}

QStringList TdmVelFile::repeatedTaxCodes(const QList<int> &rows)
{
    TClientDataSet &d = dip();
    const int fCf = d.fieldIndex(fld::SCUDCODFIS.qs());
    if (fCf < 0)
        return {};
    const int keep = d.recNo();
    QHash<QString, QStringList> names;
    QStringList order;
    for (int r : rows) {
        d.setRecNo(r);
        const QString cf = text(d, fld::SCUDCODFIS.name).trimmed().toUpper();
        if (cf.isEmpty())
            continue;
        if (!names.contains(cf))
            order << cf;
        QString who = (text(d, fld::SCUDCOGNOME.name) + QLatin1Char(' ') + text(d, fld::SCUDNOME.name)).simplified();
        const QString month = text(d, fld::SCUDMESE.name).trimmed();
        if (!month.isEmpty())
            who += QStringLiteral(" (mese %1)").arg(month);
        names[cf] << who;
    }
    if (keep > 0)
        d.setRecNo(keep);
    QStringList lines;
    for (const QString &cf : std::as_const(order)) {
        const QStringList &who = names[cf];
        if (who.size() > 1)
            lines << QStringLiteral("Il codice fiscale %1 compare in %2 certificazioni dello stesso sostituto "
                                    "d'imposta: %3.")
                         .arg(cf)
                         .arg(who.size())
                         .arg(who.join(QStringLiteral(", ")));
    }
    if (!lines.isEmpty())
        lines << QStringLiteral("Fornitura non generata: un percipiente ha una sola certificazione per sostituto; "
                                "eliminare in \"Dati CU\" quelle in più.");
    return lines;
}

QStringList TdmVelFile::unsendableFields(const QList<int> &rows)
{
    // what the supply's check (and the agency's) would refuse in the file:
    // the tax codes of payee and dependants (never the payee's own), the
    // provinces ("EE" for a place of birth abroad), the municipalities' codes,
    // the protocol of a CU replaced, dates and days of the year
    TClientDataSet &d = dip();
    TClientDataSet &family = m_ws.dataSet(QLatin1String(VelFileCds::ConFamCar));
    family.setFiltered(false);
    QHash<qint64, QList<int>> familyRows; // IAFIID -> 0-based rows
    if (family.active() && !rows.isEmpty()) {
        const int fId = family.fieldIndex(fld::iAfiID.qsUpper());
        for (int r = 0; fId >= 0 && r < family.recordCount(); ++r)
            familyRows[family.valueAt(r, fId).toLongLong()] << r;
    }
    auto badCode = [](const QString &value, const QString &what) {
        const QString code = value.trimmed().toUpper();
        const QString why = VelCodFis::problem(code);
        return why.isEmpty() ? QString() : QStringLiteral(" - %1 non valido (%2): %3").arg(what, code, why);
    };
    // the other values by the rule table: refused here as the file's check
    // refuses them
    auto byRule = [](TClientDataSet &ds, const char *column, const char *what, bool feminine) {
        const QString v = text(ds, column).trimmed();
        const QString why = VelSupplyRules::checkColumn(QLatin1String(column), v);
        return why.isEmpty() ? QString()
                             : QStringLiteral(" - %1 non %2 (\"%3\"): %4")
                                   .arg(QLatin1String(what), feminine ? QStringLiteral("valida") : QStringLiteral("valido"),
                                        v, why);
    };
    const int year = Campagna::AnnoFinanziario;
    const int keep = d.recNo();
    QStringList report;
    for (int r : rows) {
        d.setRecNo(r);
        QStringList lines;
        const QString payee = text(d, fld::SCUDCODFIS.name).trimmed().toUpper();
        if (!payee.isEmpty())
            lines << badCode(payee, QStringLiteral("Codice fiscale del percipiente"));
        for (const auto &[column, what, feminine] :
             {std::tuple{fld::SCUDPROVNAS.name, "Provincia di nascita", true},
              std::tuple{fld::SCUDPROVDFAP.name, "Provincia del domicilio fiscale al 1/1", true},
              std::tuple{fld::SCUDPROVDFAC.name, "Provincia del domicilio fiscale all'1/1 dell'anno successivo", true},
              std::tuple{fld::SCUDCAPDFAP.name, "Codice comune del domicilio fiscale al 1/1", false},
              std::tuple{fld::SCUDCAPDFAC.name, "Codice comune del domicilio fiscale all'1/1 dell'anno successivo", false},
              std::tuple{fld::SCUDIDENTSERVTELE.name, "Identificativo del protocollo della CU da sostituire", false},
              std::tuple{fld::SCUDPROGRDICH.name, "Progressivo del protocollo della CU da sostituire", false}})
            lines << byRule(d, column, what, feminine);
        if (const QString why = VelSupplyRules::birthDate(dateOf(d, fld::DCUDDATANAS.name), QDate::currentDate()); !why.isEmpty())
            lines << QStringLiteral(" - Data di nascita: ") + why;
        if (const QString why = VelSupplyRules::relationshipStart(dateOf(d, fld::DCUDDATINIRL.name), year); !why.isEmpty())
            lines << QStringLiteral(" - Data di inizio del rapporto (punto 8): ") + why;
        for (const auto &[column, what] : {std::pair{fld::iCudPeriodoLav.upper, "Giorni di lavoro dipendente (punto 6)"},
                                           std::pair{fld::ICUDGGPENSIONE.name, "Giorni di pensione (punto 7)"}})
            if (const QString why = VelSupplyRules::days(int(text(d, column).trimmed().toLongLong()), year); !why.isEmpty())
                lines << QStringLiteral(" - %1: ").arg(QLatin1String(what)) + why;
        for (int fr : familyRows.value(d.fieldByName(fld::iAfiID.qsUpper()).asInteger())) {
            family.setRecNo(fr + 1);
            for (const auto &[column, what] : {std::pair{fld::SCUDCODFISCON.name, "Codice fiscale del coniuge"},
                                               std::pair{fld::SCUDCODFISPRIFIGL.name, "Codice fiscale del primo figlio"},
                                               std::pair{fld::SCUDCODFISFIGL.name, "Codice fiscale del familiare"}}) {
                const QString cf = text(family, column);
                if (cf.trimmed().isEmpty())
                    continue;
                lines << badCode(cf, QLatin1String(what));
                if (const QString why = VelSupplyRules::dependantCode(cf, payee); !why.isEmpty())
                    lines << QStringLiteral(" - %1 (%2): %3").arg(QLatin1String(what), cf.trimmed().toUpper(), why);
            }
        }
        lines.removeAll(QString());
        if (lines.isEmpty())
            continue;
        report << QStringLiteral("Dipendente: ") + (text(d, fld::SCUDCOGNOME.name) + QLatin1Char(' ') + text(d, fld::SCUDNOME.name)).simplified();
        report << lines;
    }
    if (keep > 0)
        d.setRecNo(keep);
    if (!report.isEmpty())
        report << QStringLiteral("Fornitura non generata: il controllo del file la rifiuterebbe; correggere questi dati "
                                 "in \"Dati CU\".");
    return report;
}

bool TdmVelFile::preCheck(const QList<int> &rows)
{
    m_confirmable.clear();
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
        m_store, m_params ? m_params->xpmOvuParams.intValue(TdmRagParams::ParDwgId) : m_workgroup, m_queries, dip(),
        rows, loaded);
    for (const QString &line : coherence.warnings)
        say(line);
    if (!coherence.warnings.isEmpty())
        m_preCheckWarnings.append({TVelWarningCode::Coerenza,
                                   QStringLiteral("il controllo di coerenza dei CU ha rilievi da verificare (nel "
                                                  "registro della fornitura e in \"Controllo di coerenza dei CU\")")});
    QStringList refused = repeatedTaxCodes(rows);
    refused << unsendableFields(rows) << coherence.blocking;
    if (const QStringList &repeated = refused; !repeated.isEmpty()) {
        startOutcome(rows);
        stopOutcome(repeated.join(QLatin1Char(' ')));
        for (const QString &line : repeated)
            say(line);
        if (information)
            information(repeated, false);
        return false;
    }
    const QStringList report = preCheckReport(rows);
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

void TdmVelFile::checkSupplier()
{
    TClientDataSet &forn = m_ws.dataSet(QLatin1String(VelFileCds::Forn));
    load(forn, rec::TCFO_FORNITORE::id.qs());
    QString error;
    if (forn.isEmpty())
        error = QStringLiteral("Dati del fornitore mancanti, impossibile procedere!");
    else if (blank(forn, fld::STFOCODICE.name))
        error = QStringLiteral("Tipo fornitore mancante, impossibile procedere!");
    else if (blank(forn, fld::SFORCODFIS.name))
        error = QStringLiteral("Codice fiscale fornitore mancante, impossibile procedere!");
    if (!error.isEmpty()) {
        m_dataComplete = false;
        throw EVelError(error, {TVelErrorCode::Configurazione, QString(), TVelStage::Lettura});
    }
    try {
        VelTaxCode::require(text(forn, fld::SFORCODFIS.name).toUpper(), QStringLiteral("Codice fiscale fornitore"));
    } catch (const EOvError &) {
        m_dataComplete = false;
        throw;
    }
    if (const QString why = VelSupplyRules::supplierType(text(forn, fld::STFOCODICE.name)); !why.isEmpty()) {
        m_dataComplete = false;
        throw EVelError(QStringLiteral("Tipo fornitore non valido: %1. Correggere in \"Dati Fornitore\", impossibile "
                                      "procedere!")
                           .arg(why), {TVelErrorCode::Configurazione, QString(), TVelStage::Lettura});
    }
}

void TdmVelFile::checkAgent()
{
    TClientDataSet &sost = m_ws.dataSet(QLatin1String(VelFileCds::Sost));
    load(sost, rec::TCUS_DATISOST::id.qs());
    if (sost.isEmpty()) {
        m_dataComplete = false;
        throw EVelError(QStringLiteral("Dati del sostituto mancanti, impossibile procedere!"),
                        {TVelErrorCode::Configurazione, QString(), TVelStage::Lettura});
    }
    const std::pair<const char *, const char *> columns[] = {
        {fld::SSOSDENOM.name, "   Denominazione, "},
        {fld::SSOSCFRAPPR.name, "   Codice Fiscale Rappresentante, "},
        {fld::SCARCODICE.name, "   Codice Carica Rappresentante,"},
        {fld::SSOSCOGNRAPPR.name, "   Cognome Rappresentante, "},
        {fld::SSOSNOMERAPPR.name, "   Nome Rappresentante, "},
        {fld::SSOSFIRMACOM.name, "   Firma della comunicazione, "},
    };
    QString missing;
    for (const auto &[column, label] : columns)
        if (blank(sost, column))
            missing += QLatin1String(label);
    if (!missing.isEmpty()) {
        m_dataComplete = false;
        throw EVelError(QStringLiteral("Dati mancanti del sostituto : ") + missing + QStringLiteral(" impossibile procedere!"),
                        {TVelErrorCode::Configurazione, QString(), TVelStage::Lettura});
    }
    try {
        VelTaxCode::require(text(sost, fld::SSOSCODFIS.name).toUpper(), QStringLiteral("Codice fiscale del sostituto"));
    } catch (const EOvError &) {
        m_dataComplete = false;
        throw;
    }
    // what the file's check would refuse in record B, said here with the box
    // the office corrects in "Dati Sostituto"
    QStringList wrong;
    for (const auto &[column, what] : {std::pair{fld::SSOSCFRAPPR.name, "Codice fiscale del rappresentante"},
                                       std::pair{fld::SCARCODICE.name, "Codice carica"}, std::pair{fld::SSOSCAP.name, "Cap"},
                                       std::pair{fld::SSOSPROV.name, "Prov."},
                                       std::pair{fld::SSOSCODFISINTERM.name, "Codice fiscale dell'incaricato"}})
        if (const QString why = VelSupplyRules::checkColumn(QLatin1String(column), text(sost, column)); !why.isEmpty())
            wrong << QStringLiteral("%1: %2").arg(QLatin1String(what), why);
    if (!blank(sost, fld::SSOSCODFISINTERM.name)) {
        if (text(sost, fld::LSOSDICHCONTRIB.name).trimmed() != QLatin1String("1"))
            wrong << QStringLiteral("l'incaricato non ha l'impegno a presentare in via telematica");
        if (!dateOf(sost, fld::DSOSDTIMPEGNO.name).isValid())
            wrong << QStringLiteral("manca la data dell'impegno dell'incaricato");
    }
    if (!wrong.isEmpty()) {
        m_dataComplete = false;
        throw EVelError(QStringLiteral("Dati del sostituto non validi: %1. Correggere in \"Dati Sostituto\", "
                                      "impossibile procedere!")
                           .arg(wrong.join(QStringLiteral("; "))),
                                           {TVelErrorCode::Configurazione, QString(), TVelStage::Lettura});
    }
}
