// The run of an import: the CU tables it holds, the per-employee driver (one
// transaction each, the store's decision on new or existing taken inside it,
// the outcome of each employee counted from what was committed) and the
// report at the end. The building of one CU is in VelImportCud.cpp.
#include "VelImportCud.h"
#include "VelImportTables.h"

#include "VelCudReader.h"
#include "VelImpFamiliari.h"
#include "VelImpInps.h"
#include "VelPayrollCheck.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"
#include "platform/framework/OvMessages.h"
#include "rag/calc/ragUQuery.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorUUtil.h"

#include <QHash>

using namespace VelImport;

namespace {

constexpr int ILOC_RESIDENZA_FISCALE = 2;

} // namespace

// ---- CU tables --------------------------------------------------------------

void TVelImportCud::apriTabelle()
{
    if (m_tablesOpen && !m_tablesStale)
        return;
    for (const TableRef &t : kTables)
        m_store.Load(this->*(t.ds), s(t.structure));
    indicizzaCu();
    m_tablesOpen = true;
    m_tablesStale = false;
}

void TVelImportCud::annullaModifiche()
{
    // Newest first; a row deleted and put back gets a new bookmark, which
    // the older entries of the same row must follow.
    QHash<QPair<TClientDataSet *, TBookmark>, TBookmark> moved;
    auto current = [&](TClientDataSet *ds, TBookmark b) { return moved.value(qMakePair(ds, b), b); };
    QSet<TClientDataSet *> touched;
    for (auto it = m_modifiche.crbegin(); it != m_modifiche.crend(); ++it) {
        TClientDataSet &ds = *it->ds;
        touched.insert(&ds);
        if (ds.modified())
            ds.cancel();
        switch (it->status) {
        case TUpdateStatus::Inserted:
            ds.gotoBookmark(current(&ds, it->row));
            ds.deleteRecord();
            break;
        case TUpdateStatus::Deleted:
            ds.appendRecord(it->old);
            moved.insert(qMakePair(&ds, it->row), ds.bookmark());
            break;
        case TUpdateStatus::Modified:
            ds.gotoBookmark(current(&ds, it->row));
            ds.edit();
            for (int i = 0; i < it->old.size(); ++i)
                ds.field(i).setValue(it->old.at(i));
            ds.post();
            break;
        default:
            break;
        }
    }
    for (TClientDataSet *ds : touched)
        ds->mergeChangeLog();
    m_modifiche.clear();
    if (touched.contains(&cdsImport))
        indicizzaCu();
}

// ---- finding a CU by its key ----------------------------------------------------
// A run looks CUs up several times per employee: a key -> row table instead of
// walking the whole table each time (which made a long run quadratic).

QString TVelImportCud::chiaveCu(const QString &codFis, const QString &mese)
{
    return codFis.trimmed().toUpper() + QLatin1Char('/') + mese;
}

void TVelImportCud::indicizzaCu()
{
    m_indiceCu.clear();
    const int fCf = cdsImport.fieldIndex(s("SCUDCODFIS"));
    const int fMese = cdsImport.fieldIndex(s("SCUDMESE"));
    for (int r = 0; r < cdsImport.recordCount(); ++r)
        m_indiceCu.insert(chiaveCu(cdsImport.valueAt(r, fCf).toString(), cdsImport.valueAt(r, fMese).toString()),
                          cdsImport.bookmarkAt(r));
}

void TVelImportCud::ricordaCu()
{
    m_indiceCu.insert(chiaveCu(text("SCUDCODFIS"), text("SCUDMESE")), cdsImport.bookmark());
}

bool TVelImportCud::trovaCu(const QString &codFis, const QString &mese)
{
    const QString key = chiaveCu(codFis, mese);
    const auto it = m_indiceCu.constFind(key);
    if (it == m_indiceCu.constEnd() || !cdsImport.bookmarkValid(it.value()))
        return false;
    cdsImport.gotoBookmark(it.value());
    if (chiaveCu(text("SCUDCODFIS"), text("SCUDMESE")) == key)
        return true;
    // Out of date: the table decides.
    indicizzaCu();
    if (!m_indiceCu.contains(key))
        return false;
    cdsImport.gotoBookmark(m_indiceCu.value(key));
    return true;
}

void TVelImportCud::ricaricaTabelle()
{
    // After a rollback the tables hold rows the database no longer has:
    // read them again before the next employee.
    m_tablesStale = true;
}

void TVelImportCud::salva(TClientDataSet &ds)
{
    for (const TableRef &t : kTables)
        if (&(this->*(t.ds)) == &ds) {
            ds.checkBrowseMode();
            const QList<TDeltaRow> delta = ds.delta();
            m_store.Save(ds, s(t.structure));
            for (const TDeltaRow &r : delta) {
                QVariantList old;
                if (r.status() != TUpdateStatus::Inserted)
                    for (int i = 0; i < r.fieldCount(); ++i)
                        old << r.oldValue(i);
                m_modifiche.append({&ds, r.status(), r.bookmark(), old});
            }
            return;
        }
    throw EAssertionFailed(QStringLiteral("Tabella della CU sconosciuta: %1").arg(ds.objectName()));
}

// ---- the run ----------------------------------------------------------------

void TVelImportCud::importa(QList<int> iacomids)
{
    m_info.clear();
    m_outcome = TVelRunOutcome();
    m_controllo.reset();
    m_firmaLetta = false;
    m_pacoLetto = false;
    // One builder of each kind per run: what they read once (deduction
    // declarations, UniEmens declarations) is read again by the next run.
    m_secInps = std::make_unique<TVelImpInps>();
    m_secInpdap = std::make_unique<TVelImpInpdap>();
    m_secFamiliari = std::make_unique<TVelImpFamiliari>();
    m_secAutonomi = std::make_unique<TVelImpAutonomi>();
    try {
        apriTabelle();
        if (!cdsCandidati.active())
            caricaCandidati();
    } catch (const EAbort &) {
        m_outcome.cancelled = true;
        throw;
    } catch (const std::exception &e) {
        // Nothing was written: the run says why it could not start.
        m_outcome.fatal = exceptionText(e);
        throw;
    }

    if (options.SOSTITUTO) {
        try {
            scriviDatiSostituto();
        } catch (const EAbort &) {
        } catch (const std::exception &e) {
            ricaricaTabelle();
            TVelPayeeOutcome po;
            po.nome = QStringLiteral("Dati del sostituto d'imposta");
            po.stage = TVelStage::Scrittura;
            po.result = TVelResult::Errore;
            po.reason = exceptionText(e);
            m_outcome.add(po);
            OvMessageBox(QStringLiteral("Dati del sostituto d'imposta non importati:\r\n\r\n") + exceptionText(e),
                         MB_OK | MB_ICONERROR);
        }
    }

    // The whole list of the default categories: whoever the payroll paid
    // and the list left out is named at the end.
    const bool elencoIntero = iacomids.isEmpty() && options.ICALID == 0;
    if (iacomids.isEmpty())
        for (int row = 0; row < cdsCandidati.recordCount(); ++row)
            iacomids << cdsCandidati.valueAt(row, cdsCandidati.fieldIndex(s("IACOMID"))).toInt();

    const int count = int(iacomids.size());
    for (int pos = 0; pos < count; ++pos) {
        if (pos > 0 && interrotto && interrotto()) {
            m_outcome.cancelled = true;
            for (; pos < count; ++pos) {
                TVelPayeeOutcome po;
                if (cdsCandidati.locate(s("IACOMID"), iacomids.at(pos)))
                    po.nome = cdsCandidati.fieldByName(s("SANACOGNOMENOME")).asString();
                po.reason = QStringLiteral("Importazione annullata dall'utente");
                m_outcome.add(po);
            }
            break;
        }
        if (!cdsCandidati.locate(s("IACOMID"), iacomids.at(pos)))
            throw EAssertionFailed(QStringLiteral("Rapporto %1 non presente nella lista").arg(iacomids.at(pos)));
        m_iacomid = iacomids.at(pos);
        m_ianaid = int(cdsCandidati.fieldByName(s("IANAID")).asInteger());
        m_cognome = cdsCandidati.fieldByName(s("SANACOGNOME")).asString();
        m_nome = cdsCandidati.fieldByName(s("SANANOME")).asString();
        m_meseIniziale = int(cdsCandidati.fieldByName(s("MESE_INIZIALE")).asInteger());
        m_meseFinale = int(cdsCandidati.fieldByName(s("MESE_FINALE")).asInteger());
        m_conguaglio = cdsCandidati.fieldByName(s("CONGUAGLIO")).asString() == QLatin1String("X");
        if (onProgress)
            onProgress(pos + 1, count, cdsCandidati.fieldByName(s("SANACOGNOMENOME")).asString());
        importaDipendente();
    }
    if (elencoIntero) {
        try {
            pagatiFuoriElenco();
        } catch (const std::exception &e) {
            // The CUs are committed: the report says what it could not check.
            m_outcome.warnings << QStringLiteral("Impossibile elencare chi è stato pagato nell'anno senza essere "
                                                 "nell'elenco: ")
                                      + exceptionText(e);
        }
    }
    rapporto();
}

// Everybody the payroll paid in the year up to the closing month who is not
// in the candidate list (positions the default categories leave out): one
// warning each, with what was paid and how the office can still certify it.
void TVelImportCud::pagatiFuoriElenco()
{
    QSet<int> candidati;
    const int fId = cdsCandidati.fieldIndex(s("IACOMID"));
    for (int row = 0; row < cdsCandidati.recordCount(); ++row)
        candidati.insert(cdsCandidati.valueAt(row, fId).toInt());
    TRagQuery q(&conn());
    TOvSQLQuery &src = q.open(s("QRY_CUD_PAGATI"), {{s("IANFID"), ianfid()},
                                                    {s("IMESID"), options.IMESID},
                                                    {s("IDWGID"), options.IDWGID > 0 ? options.IDWGID
                                                                                     : TorUtil::workgroupId()}});
    struct Fuori
    {
        QString chi;
        QStringList posizioni;
        Currency pagato;
        bool senzaCf = false;
    };
    QList<int> ordine;
    QHash<int, Fuori> fuori;
    for (src.first(); !src.eof(); src.next()) {
        const int iacomid = int(src.fieldByName(s("IACOMID")).asInteger());
        if (candidati.contains(iacomid))
            continue;
        if (!fuori.contains(iacomid)) {
            Fuori f;
            const QString cf = src.fieldByName(s("SANACODFISCALE")).asString().trimmed().toUpper();
            f.chi = src.fieldByName(s("SANACOGNOME")).asString().trimmed() + QLatin1Char(' ')
                    + src.fieldByName(s("SANANOME")).asString().trimmed();
            if (!cf.isEmpty())
                f.chi += QStringLiteral(" (%1)").arg(cf);
            f.senzaCf = cf.isEmpty();
            fuori.insert(iacomid, f);
            ordine << iacomid;
        }
        Fuori &f = fuori[iacomid];
        const Currency pagato = TRagQuery::amount(src, s("PAGATO"));
        f.pagato += pagato;
        f.posizioni << QStringLiteral("%1 %2 (%3)")
                           .arg(src.fieldByName(s("ITNOID")).asInteger())
                           .arg(src.fieldByName(s("STNOLDESC")).asString().trimmed(), amountText(pagato));
    }
    for (int iacomid : std::as_const(ordine)) {
        const Fuori &f = fuori.value(iacomid);
        m_outcome.warnings << QStringLiteral("%1: pagato nell'anno %2 solo in posizioni giuridiche escluse dalle "
                                             "categorie predefinite (%3); nessuna certificazione%4. Se dovuta, "
                                             "importarla scegliendo la categoria del percipiente.")
                                  .arg(f.chi, amountText(f.pagato), f.posizioni.join(QStringLiteral(", ")),
                                       f.senzaCf ? QStringLiteral(", e manca il codice fiscale") : QString());
    }
}

TVelImportCud::Esito TVelImportCud::esito() const
{
    Esito e;
    e.importati = m_outcome.count(TVelResult::Fatto);
    e.mantenuti = m_outcome.count(TVelResult::Mantenuto);
    e.scartati = m_outcome.count(TVelResult::Scartato);
    e.errori = m_outcome.count(TVelResult::Errore) + m_outcome.count(TVelResult::NonEseguito);
    return e;
}

QString TVelImportCud::riepilogo() const
{
    const Esito e = esito();
    return QStringLiteral("Importazione terminata: %1 certificazioni importate, %2 mantenute, %3 scartate, %4 con errori.")
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
    try {
        if (m_tablesStale)
            apriTabelle();
    } catch (const std::exception &e) {
        po.result = TVelResult::Errore;
        po.reason = QStringLiteral("Archivio delle CU non leggibile: ") + exceptionText(e);
        m_outcome.add(po);
        return;
    }
    TOvTransaction tr(&conn());
    try {
        tr.StartTransaction();
    } catch (const std::exception &e) {
        // Nothing was written: the employee is named with the reason.
        po.result = TVelResult::Errore;
        po.reason = QStringLiteral("Impossibile avviare la transazione: ") + exceptionText(e);
        m_outcome.add(po);
        OvMessageBox(QStringLiteral("Controllare i dati del dipendente:") + dipendente() + QStringLiteral("\r\n\r\n")
                         + po.reason,
                     MB_OK | MB_ICONERROR);
        return;
    }
    m_reader.reset();
    try {
        // The CU table's structure first, whatever the employee's path: two
        // workstations take the structures of the store in the same order and
        // never wait for each other in a circle. From here on no other writer
        // changes a CU until this transaction ends (the structure's lock on a
        // server, the database's on SQLite).
        m_modifiche.clear();
        m_store.Save(cdsImport, s("TCUD_DATICUD"));
        if (!m_qAcom)
            m_qAcom = std::make_unique<TRagQuery>(&conn());
        if (!m_qAbt)
            m_qAbt = std::make_unique<TRagQuery>(&conn());
        m_acom = &m_qAcom->open(s("QRY_CED_ACOM"), {{s("IACOMID"), m_iacomid}});
        m_abt = &m_qAbt->open(s("QRY_ANAABT"), {{s("IANAID"), m_ianaid}, {s("ILOCID"), ILOC_RESIDENZA_FISCALE}});
        if (m_acom->isEmpty())
            throw EOvError(QStringLiteral("Rapporto di lavoro %1 non trovato.").arg(m_iacomid));

        const QString codFis = m_acom->fieldByName(s("SANACODFISCALE")).asString().trimmed();
        if (codFis.isEmpty()) {
            tr.Rollback();
            po.result = TVelResult::Scartato;
            po.reason = QStringLiteral("Dipendente senza codice fiscale");
            m_outcome.add(po);
            OvMessageBox(QStringLiteral("ATTENZIONE!!! Dipendente senza codice fiscale : ") + dipendente(),
                         MB_OK | MB_ICONERROR);
            return;
        }
        const QString mese = chiaveMese(m_meseFinale);
        po.codFis = codFis.toUpper();
        po.mese = mese;
        if (!m_controllo)
            m_controllo = std::make_unique<TVelPayrollCheck>(conn());
        m_controllo->controlla(m_iacomid);
        po.stage = TVelStage::Decisione;
        // New or existing is decided on the store as it is now, not on what
        // was read at the start of the run: another workstation may have
        // written or replaced this CU since.
        allineaCu(codFis, mese);
        const QString kept = decidiEsistente(codFis, mese);
        if (!kept.isEmpty()) {
            result = TVelResult::Mantenuto;
            po.reason = kept;
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
        m_reader.reset();
        for (const TableRef &t : kTables) {
            TClientDataSet &ds = this->*(t.ds);
            if (ds.modified())
                ds.cancel();
            if (ds.changeCount() > 0)
                ds.cancelUpdates();
        }
        try {
            tr.Rollback();
        } catch (const std::exception &) {
            // The first error is the one reported; the tables are read again.
            ricaricaTabelle();
        }
        try {
            annullaModifiche();
        } catch (const std::exception &) {
            // Whatever could not be undone in memory is read again.
            m_modifiche.clear();
            ricaricaTabelle();
        }
        po.result = TVelResult::Errore;
        po.reason = dynamic_cast<const EAbort *>(&e) ? QStringLiteral("Operazione interrotta") : exceptionText(e);
        m_outcome.add(po);
        if (!dynamic_cast<const EAbort *>(&e))
            OvMessageBox(QStringLiteral("Controllare i dati del dipendente:") + dipendente() + QStringLiteral("\r\n\r\n")
                             + exceptionText(e),
                         MB_OK | MB_ICONERROR);
    }
    m_reader.reset();
}

// Brings the run's tables in line with the store for one CU key: the rows the
// run holds for it are dropped and the store's rows of the CU's person (when
// there is one) are read again. Called inside the employee's transaction.
void TVelImportCud::allineaCu(const QString &codFis, const QString &mese)
{
    const qint64 stored = m_store.FindPerson(codFis, mese);
    qint64 held = 0;
    if (trovaCu(codFis, mese))
        held = cdsImport.fieldByName(s("iAfiID")).asInteger();
    if (stored == 0 && held == 0)
        return;
    togliCu(codFis, mese, held);
    if (stored != 0 && stored != held)
        togliCu(codFis, mese, stored);
    if (stored == 0)
        return;
    for (const TableRef &t : kTables) {
        TClientDataSet &ds = this->*(t.ds);
        TClientDataSet fresh;
        m_store.Load(fresh, s(t.structure), TTorDBCds::Default, TTorDBCds::Default, int(stored));
        if (fresh.isEmpty())
            continue;
        const TDataSetEvents handlers = ds.detachEvents();
        for (int r = 0; r < fresh.recordCount(); ++r) {
            QVariantList values;
            for (int f = 0; f < ds.fieldCount(); ++f) {
                const int from = fresh.fieldIndex(ds.fieldDefs().at(f).name);
                values << (from >= 0 ? fresh.valueAt(r, from) : QVariant());
            }
            ds.appendRecord(values);
            if (&ds == &cdsImport)
                ricordaCu();
        }
        ds.mergeChangeLog();
        ds.attachEvents(handlers);
    }
}

// Drops from the run's tables (not from the store) the rows of one CU.
void TVelImportCud::togliCu(const QString &codFis, const QString &mese, qint64 afi)
{
    for (const TableRef &t : kTables) {
        TClientDataSet &ds = this->*(t.ds);
        const TDataSetEvents handlers = ds.detachEvents();
        if (eliminaRighe(ds, codFis, mese, afi))
            ds.mergeChangeLog();
        ds.attachEvents(handlers);
    }
    m_indiceCu.remove(chiaveCu(codFis, mese));
}

// Returns why an existing CU is kept; empty when the CU is to be built (new,
// or the old one replaced).
QString TVelImportCud::decidiEsistente(const QString &codFis, const QString &mese)
{
    if (!trovaCu(codFis, mese))
        return QString();
    if (!forzaStampati && cdsImport.fieldByName(s("ICUDSTATO")).asInteger() > 0)
        return QStringLiteral("CU già stampata: mantenuta");
    bool replace = false;
    switch (sovraScrivi) {
    case TVelSovraScrivi::NonSovrascrivere: replace = false; break;
    case TVelSovraScrivi::SovrascriviSempre: replace = true; break;
    case TVelSovraScrivi::ChiediConferma:
        replace = OvMessageBox(dipendente() + QStringLiteral(" ") + QStringLiteral(" :  ")
                                   + QStringLiteral("Dipendente già presente in archivio, si vogliono sostituire i dati?"),
                               MB_YESNO | MB_ICONQUESTION)
                  == IDYES;
        break;
    }
    if (!replace)
        return QStringLiteral("CU già presente in archivio: mantenuta");
    sostituisci(codFis, mese);
    return QString();
}

void TVelImportCud::eliminaSezioni(TClientDataSet &ds, const QString &codFis, const QString &mese, qint64 afi)
{
    if (eliminaRighe(ds, codFis, mese, afi))
        salva(ds);
}

// Deletes from a table of the run the rows of one CU: by its person key, or
// by tax code and month (rows rebuilt elsewhere may carry only the key and
// the tax code). True when a row went.
bool TVelImportCud::eliminaRighe(TClientDataSet &ds, const QString &codFis, const QString &mese, qint64 afi)
{
    const int fAfi = ds.fieldIndex(s("iAfiID"));
    const int fCf = ds.fieldIndex(s("SCUDCODFIS"));
    const int fMese = ds.fieldIndex(s("SCUDMESE"));
    bool deleted = false;
    ds.first();
    while (!ds.eof()) {
        const bool byKey = afi > 0 && fAfi >= 0 && ds.field(fAfi).asInteger() == afi;
        const bool byCode = fCf >= 0 && fMese >= 0 && ds.field(fCf).asString().compare(codFis, Qt::CaseInsensitive) == 0
                            && ds.field(fMese).asString() == mese;
        if (byKey || byCode) {
            ds.deleteRecord();
            deleted = true;
        } else {
            ds.next();
        }
    }
    return deleted;
}

void TVelImportCud::sostituisci(const QString &codFis, const QString &mese)
{
    const qint64 afi = cdsImport.fieldByName(s("iAfiID")).asInteger();
    // Every section of the CU goes with it, the INPS rows too: the INPS
    // builder adds rows without looking for old ones, so rows left here
    // would be doubled by the new import. This is the only place old
    // section rows are deleted; the tables go in the order the build
    // writes them.
    for (TClientDataSet *ds : {&cdsINPS, &cdsINPDAP, &cdsConFamCar, &cdsAutonomo, &cdsInail, &cdsAltriEnti, &cdsTfr,
                               &cdsAnnotazioni})
        eliminaSezioni(*ds, codFis, mese, afi);
    if (!trovaCu(codFis, mese))
        throw EAssertionFailed(QStringLiteral("CU da sostituire non più presente"));
    m_indiceCu.remove(chiaveCu(codFis, mese));
    cdsImport.deleteRecord();
    salva(cdsImport);
}

// ---- end of the run ------------------------------------------------------------

void TVelImportCud::rapporto()
{
    // The log of the run, then every employee not imported with its reason:
    // drawn from the outcome, so that nobody left out goes unsaid.
    QStringList lines = m_info.lines();
    const QStringList problems = m_outcome.problemLines();
    if (!problems.isEmpty()) {
        if (!lines.isEmpty())
            lines << QString();
        lines << QStringLiteral("--- Dipendenti non importati");
        for (const QString &p : problems)
            lines << QStringLiteral("- ") + p;
    }
    if (!m_outcome.warnings.isEmpty()) {
        if (!lines.isEmpty())
            lines << QString();
        lines << QStringLiteral("--- Pagati nell'anno e non in elenco");
        for (const QString &w : m_outcome.warnings)
            lines << QStringLiteral("- ") + w;
    }
    if (onInfo) {
        onInfo(lines);
        return;
    }
    if (lines.isEmpty()) {
        OvMessageBox(QStringLiteral("Fine operazione"), MB_OK | MB_ICONINFORMATION);
        return;
    }
    lines << QString() << riepilogo();
    OvInfoList(lines);
}

