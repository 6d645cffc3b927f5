// The run of an import: the per-employee driver (one transaction each, the
// store's decision on new or existing taken inside it, the outcome of each
// employee counted from what was committed), the cancel hook between
// employees and the report at the end. One employee's CU is built in
// VelImportCud.cpp.
#include "VelImportCud.h"
#include "src/prj/unit/model/VelCuRepository.h"
#include "VelImportTables.h"
#include "VelImportReport.h"

#include "VelCudReader.h"
#include "VelImpFamiliari.h"
#include "VelImpInps.h"
#include "VelImportSostituto.h"
#include "VelPayrollCheck.h"
#include "VelPayrollCopy.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"
#include "platform/framework/OvMessages.h" // exceptionText
#include "rag/calc/ragUQuery.h"
#include "src/prj/unit/model/VelBoundary.h"
#include "src/prj/unit/model/VelError.h"
#include "tor/store/torUDBCds.h"
#include "velcu/VelFields.h"

using namespace VelImport;

namespace {

constexpr int ILOC_RESIDENZA_FISCALE = 2;

// The reason of every employee a lost server left without a CU.
QString nonImportatoServerPerso()
{
    return QStringLiteral("non importato: il server del database non è raggiungibile");
}

} // namespace

void TVelImportCud::scriviDatiSostituto()
{
    TVelImportSostituto(m_store, conn(), m_queries).scrivi(m_sos, idwgid());
    m_payroll.firmaDaRileggere();
}

// The agent's data before the employees; a failure is reported and the run
// goes on.
void TVelImportCud::importaSostituto()
{
    try {
        scriviDatiSostituto();
    } catch (const EAbort &) {
    } catch (const EOvConnectionLost &) {
        throw; // the run stops before its first employee
    } catch (const std::exception &e) {
        TVelPayeeOutcome po;
        po.nome = QStringLiteral("Dati del sostituto d'imposta");
        po.stage = TVelStage::Scrittura;
        po.result = TVelResult::Errore;
        po.reason = exceptionText(e);
        m_outcome.add(po);
        m_host->notice(QStringLiteral("Dati del sostituto d'imposta non importati:\r\n\r\n") + exceptionText(e),
                       TVelNotice::Error);
    }
}

TVelRunOutcome TVelImportCud::importa(QList<int> iacomids)
{
    return VelBoundary::run(TVelStage::Lettura, TVelErrorCode::Archivio, [&] {
        eseguiRun(std::move(iacomids));
        return std::exchange(m_outcome, TVelRunOutcome());
    });
}

void TVelImportCud::eseguiRun(QList<int> iacomids)
{
    m_info.clear();
    m_outcome = TVelRunOutcome();
    m_controllo.reset();
    // One builder of each kind per run: what they read once (deduction
    // declarations, UniEmens declarations) is read again by the next run.
    m_secInps = std::make_unique<TVelImpInps>();
    m_secInpdap = std::make_unique<TVelImpInpdap>();
    m_secFamiliari = std::make_unique<TVelImpFamiliari>();
    m_secAutonomi = std::make_unique<TVelImpAutonomi>();
    try {
        m_cu.prepare(VelCuRepository(m_store));
        if (!m_candidati.caricati())
            caricaCandidati();
    } catch (const EAbort &) {
        m_outcome.cancelled = true;
        throw;
    } catch (const std::exception &e) {
        // Nothing was written: the run says why it could not start.
        m_outcome.fatal = exceptionText(e);
        throw;
    }
    // The whole list of the default categories: whoever the payroll paid
    // and the list left out is named at the end. The window hands the list
    // over row by row, the command line as an empty list.
    const QList<int> elenco = m_candidati.relazioni();
    const bool elencoIntero = m_options.ICALID == 0
                              && (iacomids.isEmpty()
                                  || QSet<int>(iacomids.cbegin(), iacomids.cend())
                                         .contains(QSet<int>(elenco.cbegin(), elenco.cend())));
    if (iacomids.isEmpty())
        iacomids = elenco;
    if (m_options.SOSTITUTO) {
        try {
            importaSostituto();
        } catch (const EOvConnectionLost &) {
            fermaServerPerso(iacomids, 0, false);
            rapporto();
            return;
        }
    }

    // On a server the employees' payroll rows are read a group at a time.
    m_copia.reset();
    if (conn().isPostgres() && m_gruppoCopia > 0) {
        m_copia = std::make_unique<TVelPayrollCopy>(conn());
        m_qAcom.reset();
        m_qAbt.reset();
    }
    m_payroll.nuovaRun(m_copia.get(), anno());

    const int count = int(iacomids.size());
    for (int pos = 0; pos < count; ++pos) {
        if (pos > 0 && m_hooks.interrotto && m_hooks.interrotto()) {
            m_outcome.cancelled = true;
            for (; pos < count; ++pos) {
                TVelPayeeOutcome po;
                po.nome = m_candidati.nominativo(iacomids.at(pos));
                po.reason = QStringLiteral("Importazione annullata dall'utente");
                m_outcome.add(po);
            }
            break;
        }
        if (!m_candidati.trova(iacomids.at(pos), &m_dip))
            throw EAssertionFailed(QStringLiteral("Rapporto %1 non presente nella lista").arg(iacomids.at(pos)));
        if (m_hooks.onProgress)
            m_hooks.onProgress(pos + 1, count, m_dip.nominativo);
        try {
            preparaCopia(iacomids, pos);
        } catch (const EOvConnectionLost &) {
            fermaServerPerso(iacomids, pos, false);
            break;
        }
        try {
            importaDipendente();
        } catch (const EOvConnectionLost &) {
            // The employee in hand is rolled back, and named, by now.
            fermaServerPerso(iacomids, pos + 1, true);
            break;
        }
    }
    if (elencoIntero && m_outcome.fatal.isEmpty()) {
        try {
            for (const QString &w : m_candidati.pagatiFuoriElenco(
                     source(), {m_options.ICALID, m_options.IMESID, ianfid(), idwgid()}))
                m_outcome.warn(TVelWarningCode::PagatoFuoriElenco, w);
        } catch (const std::exception &e) {
            // The CUs are committed: the report says what it could not check.
            m_outcome.warn(TVelWarningCode::ControlloNonEseguito,
                           QStringLiteral("Impossibile elencare chi è stato pagato nell'anno senza essere "
                                          "nell'elenco: ")
                               + exceptionText(e));
        }
    }
    rapporto();
}

void TVelImportCud::preparaCopia(const QList<int> &iacomids, int pos)
{
    if (!m_copia || m_copia->contiene(iacomids.at(pos)))
        return;
    QList<int> relazioni, persone;
    for (int k = pos; k < iacomids.size() && relazioni.size() < m_gruppoCopia; ++k) {
        TVelCandidato c;
        if (!m_candidati.trova(iacomids.at(k), &c))
            continue;
        relazioni << c.IACOMID;
        persone << c.IANAID;
    }
    try {
        m_copia->carica(relazioni, persone);
    } catch (const EOvConnectionLost &) {
        throw; // no server to read from either
    } catch (const std::exception &e) {
        // The group's queries go to the server, as without a copy: slower, and
        // any fault of the server is met there, employee by employee.
        qWarning("velcu: copia locale delle retribuzioni non riuscita, lettura dal server: %s",
                 qPrintable(exceptionText(e)));
    }
}

qint64 TVelImportCud::lettureCopia() const
{
    return m_copia ? m_copia->letture() : 0;
}

TRagSource TVelImportCud::source() const
{
    return {&conn(), &m_queries, m_copia.get()};
}

TVelImportCud::Esito TVelImportCud::esito(const TVelRunOutcome &outcome)
{
    Esito e;
    e.importati = outcome.count(TVelResult::Fatto);
    e.mantenuti = outcome.count(TVelResult::Mantenuto);
    e.scartati = outcome.count(TVelResult::Scartato);
    e.errori = outcome.count(TVelResult::Errore) + outcome.count(TVelResult::NonEseguito);
    return e;
}

QString TVelImportCud::keptPrinted()
{
    return QStringLiteral("CU già stampata: mantenuta");
}

QStringList TVelImportCud::rapportoCompleto(const TVelRunOutcome &outcome, const QStringList &log)
{
    QStringList lines{riepilogo(outcome)};
    if (outcome.cancelled)
        lines << QStringLiteral("Importazione annullata dall'utente: %1 dipendenti non elaborati.")
                     .arg(outcome.count(TVelResult::NonEseguito));
    if (!log.isEmpty())
        lines << QString() << log;
    return lines;
}

QString TVelImportCud::riepilogo(const TVelRunOutcome &outcome)
{
    const Esito e = esito(outcome);
    return QStringLiteral("Importazione %1: %2 certificazioni importate, %3 mantenute, %4 scartate, %5 con errori.")
        .arg(outcome.fatal.isEmpty() ? QStringLiteral("terminata") : QStringLiteral("interrotta"))
        .arg(e.importati)
        .arg(e.mantenuti)
        .arg(e.scartati)
        .arg(e.errori);
}

void TVelImportCud::importaDipendente()
{
    TVelPayeeOutcome po;
    po.nome = dipendente();
    po.stage = TVelStage::Lettura;
    TVelResult result = TVelResult::Fatto;
    TOvTransaction tr(&conn());
    try {
        tr.StartTransaction();
    } catch (const EOvConnectionLost &) {
        po.result = TVelResult::Errore;
        po.reason = nonImportatoServerPerso();
        m_outcome.add(po);
        throw;
    } catch (const std::exception &e) {
        // Nothing was written: the employee is named with the reason.
        po.result = TVelResult::Errore;
        po.reason = QStringLiteral("Impossibile avviare la transazione: ") + exceptionText(e);
        m_outcome.add(po);
        m_host->notice(QStringLiteral("Controllare i dati del dipendente:") + dipendente() + QStringLiteral("\r\n\r\n")
                           + po.reason,
                       TVelNotice::Error);
        return;
    }
    try {
        // The CU table's structure first, whatever the employee's path: two
        // workstations take the structures of the store in the same order and
        // never wait for each other in a circle. From here on no other writer
        // changes a CU until this transaction ends (the structure's lock on a
        // server, the database's on SQLite).
        // The lock is the main record's first save, with nothing in it yet:
        // the store locks the structure's version for the period and keeps
        // it for the CU's own save at the end (one statement on a server).
        m_cu.clear();
        VelCuRepository(m_store).write(cdsImport(), rec::TCUD_DATICUD::id.qs());
        if (!m_qAcom)
            m_qAcom = std::make_unique<TRagQuery>(source());
        if (!m_qAbt)
            m_qAbt = std::make_unique<TRagQuery>(source());
        m_acom = &m_qAcom->open(s("QRY_CED_ACOM"), {{s("IACOMID"), m_dip.IACOMID}});
        m_abt = &m_qAbt->open(s("QRY_ANAABT"), {{s("IANAID"), m_dip.IANAID}, {s("ILOCID"), ILOC_RESIDENZA_FISCALE}});
        m_payroll.dipendente(m_dip, *m_acom, *m_abt);
        if (m_acom->isEmpty())
            throw EVelError(QStringLiteral("Rapporto di lavoro %1 non trovato.").arg(m_dip.IACOMID),
                            {TVelErrorCode::DatiRetributivi, QString(), TVelStage::Lettura});

        const QString codFis = m_acom->fieldByName(s("SANACODFISCALE")).asString().trimmed();
        if (codFis.isEmpty()) {
            tr.Rollback();
            po.result = TVelResult::Scartato;
            po.reason = QStringLiteral("Dipendente senza codice fiscale");
            po.remedy = VelImportReport::remedyNoTaxCode();
            m_outcome.add(po);
            m_host->notice(QStringLiteral("ATTENZIONE!!! Dipendente senza codice fiscale : ") + dipendente(),
                           TVelNotice::Error);
            return;
        }
        const QString mese = chiaveMese(m_dip.meseFinale);
        po.codFis = codFis.toUpper();
        po.mese = mese;
        if (!m_controllo)
            m_controllo = std::make_unique<TVelPayrollCheck>(conn());
        m_controllo->controlla(m_dip.IACOMID);
        po.stage = TVelStage::Decisione;
        // New or existing is decided on the store as it is now: another
        // workstation may have written or replaced this CU since the run began.
        const QString kept = decidiEsistente(codFis, mese);
        if (!kept.isEmpty()) {
            result = TVelResult::Mantenuto;
            po.reason = kept;
            po.remedy = kept == keptPrinted() ? VelImportReport::remedyPrinted(po.codFis)
                                              : VelImportReport::remedyNotOverwritten(po.codFis);
        } else {
            po.stage = TVelStage::Costruzione;
            if (!costruisci(codFis, mese)) {
                result = TVelResult::Scartato;
                po.reason = QStringLiteral("Non importato perchè non sono presenti dati Fiscali o Contributivi");
            }
        }
        po.stage = TVelStage::Conferma;
        tr.Commit();
        po.result = result;
        m_outcome.add(po);
    } catch (const std::exception &e) {
        annullaDipendente(po, e, tr);
        if (dynamic_cast<const EOvConnectionLost *>(&e))
            throw;
    }
}

// The employee failed: the transaction rolled back, the CU value dropped, the
// employee named with the reason.
void TVelImportCud::annullaDipendente(TVelPayeeOutcome &po, const std::exception &e, TOvTransaction &tr)
{
    try {
        tr.Rollback();
    } catch (const std::exception &) {
        // The first error is the one reported.
    }
    try {
        m_cu.clear();
    } catch (const std::exception &) {
        // Cleared again before the next CU is built.
    }
    const bool interrotto = dynamic_cast<const EAbort *>(&e) != nullptr;
    // A lost server is said once, for the whole run.
    const bool serverPerso = dynamic_cast<const EOvConnectionLost *>(&e) != nullptr;
    po.result = TVelResult::Errore;
    po.reason = interrotto ? QStringLiteral("Operazione interrotta")
                : serverPerso ? nonImportatoServerPerso()
                              : exceptionText(e);
    // An engine error says itself how far the employee had got.
    if (const auto *ve = dynamic_cast<const EVelError *>(&e))
        ve->record(po);
    if (po.reason == TCudStd::mixedSources())
        po.remedy = VelImportReport::remedyMixedSources();
    m_outcome.add(po);
    if (!interrotto && !serverPerso)
        m_host->notice(QStringLiteral("Controllare i dati del dipendente:") + dipendente() + QStringLiteral("\r\n\r\n")
                           + exceptionText(e),
                       TVelNotice::Error);
}

// Returns why an existing CU is kept; empty when the CU is to be built (new,
// or the old one replaced).
QString TVelImportCud::decidiEsistente(const QString &codFis, const QString &mese)
{
    m_archivio = VelCuRepository(m_store).stored(codFis, mese);
    m_sostituisce = false;
    if (m_archivio.ref.person == 0)
        return QString();
    if (!m_forzaStampati && m_archivio.printed)
        return keptPrinted();
    bool replace = false;
    switch (m_sovraScrivi) {
    case TVelSovraScrivi::NonSovrascrivere: replace = false; break;
    case TVelSovraScrivi::SovrascriviSempre: replace = true; break;
    case TVelSovraScrivi::ChiediConferma:
        replace = m_host->question(dipendente() + QStringLiteral(" ") + QStringLiteral(" :  ")
                                   + QStringLiteral("Dipendente già presente in archivio, si vogliono sostituire i dati?"));
        break;
    }
    if (!replace)
        return QStringLiteral("CU già presente in archivio: mantenuta, si è scelto di non sovrascriverla");
    // Deleted when the new CU is handed over, in the same transaction.
    m_sostituisce = true;
    return QString();
}

void TVelImportCud::fermaServerPerso(const QList<int> &iacomids, int pos, bool annullato)
{
    // What the store holds is what was committed before the server went.
    const QString inCorso = annullato && !m_outcome.payees.isEmpty()
                                ? QStringLiteral(" Il dipendente in corso (%1) è stato annullato.")
                                      .arg(m_outcome.payees.last().nome.trimmed())
                                : QString();
    for (int k = pos; k < iacomids.size(); ++k) {
        TVelPayeeOutcome po;
        po.nome = m_candidati.nominativo(iacomids.at(k));
        po.reason = nonImportatoServerPerso();
        m_outcome.add(po);
    }
    m_outcome.fatal = QStringLiteral("Il server del database non è raggiungibile: importazione interrotta dopo %1 "
                                     "dipendenti su %2, %3 certificazioni importate e salvate.%4 I dipendenti non "
                                     "importati sono elencati sotto: ripetere l'importazione quando il server è di "
                                     "nuovo disponibile.")
                          .arg(annullato ? pos - 1 : pos)
                          .arg(iacomids.size())
                          .arg(m_outcome.count(TVelResult::Fatto))
                          .arg(inCorso);
}

// ---- end of the run ------------------------------------------------------------

void TVelImportCud::rapporto()
{
    // The log of the run, then every employee not imported or kept with its
    // reason: drawn from the outcome, so that nobody left out goes unsaid.
    // Those a lost server left out are named under the reason, said once.
    TVelRunOutcome altri = m_outcome;
    altri.payees.clear();
    QStringList senzaServer;
    for (const TVelPayeeOutcome &p : std::as_const(m_outcome.payees)) {
        if (p.reason == nonImportatoServerPerso())
            senzaServer << QStringLiteral("- ") + p.nome.trimmed();
        else
            altri.payees.append(p);
    }
    QStringList lines = VelImportReport::sections(altri, m_info.lines());
    if (!m_outcome.fatal.isEmpty())
        lines.prepend(m_outcome.fatal);
    if (!senzaServer.isEmpty()) {
        if (!lines.isEmpty())
            lines << QString();
        lines << QStringLiteral("--- Dipendenti non importati perché il server del database non è raggiungibile");
        lines << senzaServer;
    }
    if (m_hooks.onInfo) {
        m_hooks.onInfo(lines);
        return;
    }
    if (lines.isEmpty()) {
        m_host->notice(QStringLiteral("Fine operazione"), TVelNotice::Information);
        return;
    }
    lines << QString() << riepilogo(m_outcome);
    m_host->information(lines, false);
}
