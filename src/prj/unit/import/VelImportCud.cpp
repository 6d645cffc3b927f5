#include "VelImportCud.h"

#include "VelCudReader.h"
#include "VelImpFamiliari.h"
#include "VelImpInps.h"
#include "VelPayrollCheck.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"
#include "platform/framework/OvMessages.h"
#include "rag/calc/ragUQuery.h"
#include "src/prj/unit/dialogs/TfmVelInfo.h"
#include "src/prj/unit/model/VelCodeTables.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "tor/calc/TorUCalcoli.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorUUtil.h"

#include <QHash>
#include <algorithm>

namespace {

// Legal positions and qualifications with a fixed meaning here.
constexpr int TNO_COCOCO = 11;
constexpr int TNO_BORSISTA = 17;
constexpr int TNO_LIB_PROF = 14;
constexpr int CAL_SOLO_AUTONOMI = 7;
constexpr int ILOC_RESIDENZA_FISCALE = 2;
constexpr int COMR_RIT_IRPEF_SOSPESE = 10054;
constexpr int COMR_GRUPPO_730 = 4;
constexpr int RICE_COD_IRPEF = 7;
constexpr int RICE_COD_IRPEF_AM = 11;
constexpr int RICE_COD_IRPEF_TS = 12;
constexpr int GIORNI_ANNO = 365;

// Pay items of the 730 assistance and the fields they feed.
struct Voce730
{
    int icomrid;
    const char *field;
};
constexpr Voce730 kVoci730[] = {
    {10032, "fCudPrimoAccIrpef"},  {10033, "fCudSecondoAccIrpe"}, {10036, "FCUDACCADDCOMIRPEF"},
    {10063, "FCUDPRATACCCEDSECC"}, {10065, "FCUDSURATACCCEDSECC"}, {10045, "FCUD1ACCIRPEFCON"},
    {10046, "FCUD2ACCIRPEFCON"},   {10047, "FCUDAACOMIRPCON"},    {10064, "FCUDPRATACSECCON"},
    {10066, "FCUDSURATACSECCON"},  {10039, "FCUDSICTRATT"},       {10041, "FCUDARCTRATT"},
    {10043, "FCUDSACCTRATT"},      {10060, "FCUDSCSLCTRATT"},     {10058, "FCUDISPPCT"},
    {10026, "FCUDSITRATT"},        {10027, "FCUDSIRIMB"},         {10028, "FCUDARTRATT"},
    {10029, "FCUDARRIMB"},         {10030, "FCUDSACTRATT"},       {10031, "FCUDSACRIMB"},
    {10059, "FCUDSCSLTRATT"},      {10061, "FCUDSCSLRIMB"},       {10057, "FCUDISPPT"},
    {10037, "FCUDATST"},           {10040, "FCUDSICRIMB"},        {10042, "FCUDARCRIMB"},
    {10044, "FCUDSACCRIMB"},       {10062, "FCUDSCSLCRIMB"},      {10048, "FCUDATSCT"},
};

const char *const kFlagDefaults[] = {
    "LCUDAPPLMAGGRIT",    "LCUDCSSOSTREDD",     "LCUDRBSNST51TDIP",    "LCUDRBSNST51TDIPSAS", "LCUDASSSANITARIE",
    "LCUDCONGUAGLIO",     "LCUDRICNONCORR",     "LCUDVEDISTR",         "LCUDVEDISTRAS",       "LCUDANNULLAMENTO",
    "LCUDSOSTITUZIONE",   "LCUDCONFERMADICH",   "LCUDNORESSHUM",       "LCUDINFORZA3112",     "LCUDASSFISDIR",
    "LCUDAFDRICHMINACC1", "LCUDAFDRICHMINACC2", "LCUDAFDRICHMINACC1C", "LCUDAFDRICHMINACC2C", "LCUDCPOSVEDIST",
    "LCUDCPOSCNACFC",     "LCUDRLSINFORZA3112", "LCUDRLSRINFORZA3112",
};

QString s(const char *text) { return QString::fromLatin1(text); }

bool inList(const QString &list, int value)
{
    for (const QString &p : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (p.trimmed().toInt() == value)
            return true;
    return false;
}

QString dateText(const QDate &d) { return d.toString(QStringLiteral("dd/MM/yyyy")); }

// "0.00" with the Italian decimal comma and no thousands separator.
QString amountText(Currency c)
{
    const Currency r = TTorCalcola::round(c, 2);
    const qint64 cents = r.units() / 100;
    const qint64 a = cents < 0 ? -cents : cents;
    return QStringLiteral("%1%2,%3")
        .arg(cents < 0 ? QStringLiteral("-") : QString())
        .arg(a / 100)
        .arg(a % 100, 2, 10, QLatin1Char('0'));
}

bool isNumeric(TFieldType t)
{
    return t == TFieldType::Integer || t == TFieldType::Currency || t == TFieldType::Float;
}

// Structure of each CU table.
struct TableRef
{
    TClientDataSet TVelImportCud::*ds;
    const char *structure;
};
constexpr TableRef kTables[] = {
    {&TVelImportCud::cdsImport, "TCUD_DATICUD"},
    {&TVelImportCud::cdsINPS, "TCUDI_INPS"},
    {&TVelImportCud::cdsINPDAP, "TCUDN_INPDAP"},
    {&TVelImportCud::cdsInail, "TCUIN_INAIL"},
    {&TVelImportCud::cdsAltriEnti, "TCUDAE_ALTRIENTI"},
    {&TVelImportCud::cdsConFamCar, "TCUDC_CONFAMCARICO"},
    {&TVelImportCud::cdsTfr, "TCUDT_TFR"},
    {&TVelImportCud::cdsAnnotazioni, "TCUDA_ANNOTAZIONI"},
    {&TVelImportCud::cdsAutonomo, "TASE_AUTSOMMEEROGATE"},
};

} // namespace

// ---------------------------------------------------------------------------

TVelImportOptions TVelImportOptions::fromParametri(TClientDataSet &p)
{
    TVelImportOptions o;
    auto b = [&](const char *f) { return p.fieldByName(s(f)).asBoolean(); };
    auto i = [&](const char *f) { return int(p.fieldByName(s(f)).asInteger()); };
    o.IMESID = i("IMESID");
    o.ICALID = i("ICALID");
    o.ICOTFONDAMENTALE = i("ICOTFONDAMENTALE");
    o.DAINIZIO = b("DAINIZIO");
    o.SOLOINPS = b("SOLOINPS");
    o.SOSTITUTO = b("SOSTITUTO");
    o.CFAMM = p.fieldByName(s("CFAMM")).asString();
    o.ANCHE_SENZA_CONGUAGLIO = b("ANCHE_SENZA_CONGUAGLIO");
    o.ACCONTO_ADD_COM = b("ACCONTO_ADD_COM");
    o.ACCONTO_ADD_COM_ANNO = b("ACCONTO_ADD_COM_ANNO");
    o.ARRETRATI_DETR = b("ARRETRATI_DETR");
    o.INCLUDI_INPDAP_MEF = i("INCLUDI_INPDAP_MEF");
    o.SCODFISALTRISOS = p.fieldByName(s("SCODFISALTRISOS")).asString();
    o.CALC_IRPEF_DA_INPS_COCOCO = b("CALC_IRPEF_DA_INPS_COCOCO");
    o.FISCALE_NOIPA = b("FISCALE_NOIPA");
    return o;
}

// ---------------------------------------------------------------------------

QString TInfo::titoloSezione(int section)
{
    return velTitoloSezioneLog(section);
}

void TInfo::clear()
{
    m_lines.clear();
    m_lastEmployee.clear();
    m_announced.clear();
}

void TInfo::add(int section, const QString &employee, const QString &text)
{
    bool changed = false;
    if (employee != m_lastEmployee || m_lines.isEmpty()) {
        m_lastEmployee = employee;
        if (!m_lines.isEmpty())
            m_lines << QString();
        m_lines << QStringLiteral("Dipendente ") + employee;
        changed = true;
    }
    if (!m_announced.contains(section)) {
        if (!changed)
            m_lines << QString();
        m_lines << QStringLiteral("--- ") + titoloSezione(section);
        m_announced.insert(section);
    }
    m_lines << QStringLiteral("- ") + text;
}

// ---------------------------------------------------------------------------

TVelImportCud::TVelImportCud(TTorDBCds &store) : m_store(store)
{
    options.anno = store.year();
}

TVelImportCud::~TVelImportCud() = default;

TOvSQLConnection &TVelImportCud::conn() const
{
    if (!m_store.connection())
        throw EAssertionFailed(QStringLiteral("Importazione senza connessione al database"));
    return *m_store.connection();
}

int TVelImportCud::anno() const
{
    return options.anno > 0 ? options.anno : (m_store.year() > 0 ? m_store.year() : Campagna::AnnoFinanziario);
}

QString TVelImportCud::dipendente() const
{
    return m_cognome.trimmed() + QLatin1Char(' ') + m_nome.trimmed();
}

void TVelImportCud::log(int section, const QString &text)
{
    m_info.add(section, dipendente(), text);
}

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

// ---- candidates -------------------------------------------------------------

int TVelImportCud::caricaCandidati()
{
    apriTabelle();
    const int icalid = options.ICALID;
    QVariantMap params{{s("IANFID"), ianfid()},
                       {s("IMESID"), options.IMESID},
                       {s("IDWGID"), options.IDWGID > 0 ? options.IDWGID : TorUtil::workgroupId()}};
    if (icalid > 0 && icalid != CAL_SOLO_AUTONOMI) {
        params.insert(s("ICALID"), icalid);
    } else {
        params.insert(s("RICE_COD_IRPEF_AM"), RICE_COD_IRPEF_AM);
        params.insert(s("RICE_COD_IRPEF_TS"), RICE_COD_IRPEF_TS);
    }
    TRagQuery q(&conn());
    TOvSQLQuery &src = q.open(s("QRY_CUD_IMP"), params, {TRagQuery::filtroCandidati(icalid)});

    cdsCandidati.close();
    cdsCandidati.setIndexFieldNames(QString());
    cdsCandidati.setFiltered(false);
    QList<TFieldDef> defs = src.fieldDefs();
    for (TFieldDef &d : defs)
        if (d.name.compare(s("CONGUAGLIO"), Qt::CaseInsensitive) == 0) {
            d.type = TFieldType::String;
            d.size = 1;
        }
    cdsCandidati.setFieldDefs(defs);
    cdsCandidati.createDataSet();
    const TDataSetEvents handlers = cdsCandidati.detachEvents();
    cdsCandidati.disableControls();
    TRagQuery cong(&conn());
    for (src.first(); !src.eof(); src.next()) {
        // The import always covers the year from January.
        const int last = int(src.fieldByName(s("MESE_FINALE")).asInteger());
        if (last < 1)
            continue;
        QVariantList values;
        for (int i = 0; i < src.fieldCount(); ++i)
            values << src.field(i).value();
        cdsCandidati.appendRecord(values);
        cdsCandidati.edit();
        cdsCandidati.fieldByName(s("MESE_INIZIALE")).setAsInteger(1);
        TOvSQLQuery &c = cong.open(s("QRY_CUD_CONG"),
                                   {{s("IACOMID"), src.fieldByName(s("IACOMID")).asInteger()}, {s("IMESID"), last}});
        cdsCandidati.fieldByName(s("CONGUAGLIO")).setAsString(c.isEmpty() ? s(" ") : s("X"));
        cdsCandidati.post();
    }
    cdsCandidati.mergeChangeLog();
    cdsCandidati.setIndexFieldNames(s("SANACOGNOMENOME;IACOMID"));
    cdsCandidati.attachEvents(handlers);
    cdsCandidati.enableControls();
    cdsCandidati.first();
    return cdsCandidati.recordCount();
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

    if (iacomids.isEmpty())
        for (int row = 0; row < cdsCandidati.recordCount(); ++row)
            iacomids << cdsCandidati.valueAt(row, cdsCandidati.fieldIndex(s("IACOMID"))).toInt();

    const int count = int(iacomids.size());
    for (int pos = 0; pos < count; ++pos) {
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
    rapporto();
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

// ---- positions ---------------------------------------------------------------

void TVelImportCud::scegliPosizioni()
{
    listaFiscale.clear();
    listaInps.clear();
    listaCococo.clear();
    if (options.ICALID == CAL_SOLO_AUTONOMI)
        return;

    TRagQuery q(&conn());
    TOvSQLQuery &src = q.open(s("QRY_CUD_TNO"), {{s("IACOMID"), m_iacomid},
                                                {s("MESE_INIZIALE"), m_meseIniziale},
                                                {s("MESE_FINALE"), m_meseFinale}});
    TClientDataSet rows;
    rows.setObjectName(s("cdsTno"));
    rows.setFieldDefs({{s("ITNOID"), TFieldType::Integer, 0},
                       {s("ITNOORVEXCODE"), TFieldType::Integer, 0},
                       {s("STNOLDESC"), TFieldType::String, 100},
                       {s("LPER_ALTRI_DATI"), TFieldType::Integer, 0},
                       {s("LPER_INPS"), TFieldType::Integer, 0}});
    rows.createDataSet();
    bool cococo = false;
    for (src.first(); !src.eof(); src.next()) {
        const int tno = int(src.fieldByName(s("ITNOID")).asInteger());
        if (tno == TNO_COCOCO) {
            cococo = true;
            continue;
        }
        int fiscali = int(src.fieldByName(s("LPER_ALTRI_DATI")).asInteger());
        int inps = int(src.fieldByName(s("LPER_INPS")).asInteger());
        if (TTorCalcola::isSelfEmployedPosition(tno))
            inps = 0;
        else
            fiscali = 1;
        rows.appendRecord({tno, src.fieldByName(s("ITNOORVEXCODE")).value(), src.fieldByName(s("STNOLDESC")).asString(),
                           fiscali, inps});
    }
    rows.mergeChangeLog();

    int position = 0;
    int count = 0;
    if (cococo) {
        position = TNO_COCOCO;
        count = 1;
    } else {
        position = int(m_acom->fieldByName(s("ITNOID")).asInteger());
        rows.locate(s("ITNOID"), position);
        count = rows.recordCount();
    }
    auto fromFlags = [&] {
        QStringList fiscal, inps;
        for (int r = 0; r < rows.recordCount(); ++r) {
            const QString id = rows.valueAt(r, 0).toString();
            if (rows.valueAt(r, 3).toInt() == 1)
                fiscal << id;
            if (rows.valueAt(r, 4).toInt() == 1)
                inps << id;
        }
        listaFiscale = fiscal.join(QLatin1Char(','));
        listaInps = inps.join(QLatin1Char(','));
        listaCococo = cococo ? QString::number(TNO_COCOCO) : QString();
    };
    if (count > 1) {
        if (onPosizioni)
            onPosizioni(rows, cococo, dipendente());
        rows.checkBrowseMode();
        fromFlags();
    } else if (count == 1 && position == TNO_COCOCO) {
        listaCococo = QString::number(TNO_COCOCO);
    } else if (count == 1 && options.ICALID == 0) {
        fromFlags();
    } else if (count == 1) {
        listaFiscale = listaInps = QString::number(position);
    }
}

// ---- building one CU ---------------------------------------------------------

void TVelImportCud::set(const char *field, const QVariant &v)
{
    cdsImport.fieldByName(s(field)).setValue(v);
}

void TVelImportCud::setMoney(const char *field, Currency c)
{
    cdsImport.fieldByName(s(field)).setAsCurrency(c);
}

Currency TVelImportCud::money(const char *field)
{
    return cdsImport.fieldByName(s(field)).asCurrency();
}

QString TVelImportCud::text(const char *field)
{
    return cdsImport.fieldByName(s(field)).asString();
}

int TVelImportCud::integer(const char *field)
{
    return int(cdsImport.fieldByName(s(field)).asInteger());
}

void TVelImportCud::editImport()
{
    if (!cdsImport.modified())
        cdsImport.edit();
}

void TVelImportCud::postImport()
{
    if (cdsImport.modified()) {
        cdsImport.post();
        salva(cdsImport);
    }
}

bool TVelImportCud::costruisci(const QString &codFis, const QString &mese)
{
    m_cuCodFis = codFis;
    m_cuMese = mese;
    // 1. Positions; 2. self-employed payments.
    scegliPosizioni();
    m_posizioni = !listaFiscale.isEmpty() || !listaInps.isEmpty() || !listaCococo.isEmpty();
    m_autonomo = false;
    m_registri.clear();
    if (options.ICALID == 0 || options.ICALID == CAL_SOLO_AUTONOMI) {
        TRagQuery q(&conn());
        TOvSQLQuery &r = q.open(s("QRY_CUD_AUTON_REGSID"),
                                {{s("IACOMID"), m_iacomid},
                                 {s("TNO_LIB_PROF"), TNO_LIB_PROF},
                                 {s("RICE_COD_IRPEF_AM"), RICE_COD_IRPEF_AM},
                                 {s("RICE_COD_IRPEF_TS"), RICE_COD_IRPEF_TS}},
                                {TRagQuery::condizioneAutonomi(listaFiscale)});
        m_registri = TVelImpAutonomi::registri(r);
        m_autonomo = !m_registri.isEmpty();
    }
    // 3.
    if (!m_posizioni && !m_autonomo)
        throw EOvError(QStringLiteral("Nessun dato da importare"));

    // 4. The main record.
    cdsImport.append();
    impostaDefault();
    intestazione(codFis, mese);
    m_annotazioni.clear();

    // 5. Employment data.
    if (m_posizioni) {
        if (m_conguaglio) {
            m_reader = std::make_unique<TCudCong>();
            set("LCUDCONGUAGLIO", s("X"));
        } else {
            m_reader = std::make_unique<TCudStd>();
            m_reader->ancheSenzaConguaglio = options.ANCHE_SENZA_CONGUAGLIO;
        }
        TVelCudImportState state;
        state.IACOMID = m_iacomid;
        state.MESE_INIZIALE = m_meseIniziale;
        state.MESE_FINALE = m_meseFinale;
        state.IANFID = ianfid();
        state.fiscalList = listaFiscale;
        state.collabList = listaCococo;
        state.FISCALE_NOIPA = options.FISCALE_NOIPA;
        state.IACOMDURATARAPP = int(m_acom->fieldByName(s("IACOMDURATARAPP")).asInteger());
        state.connection = &conn();
        m_reader->inizializza(state);
        datiFiscali();
        if (state.LCUDCPOSCNACFC)
            set("LCUDCPOSCNACFC", s("X"));
        fondoPensione();
        set("LCUDCOMPRENSIVO", s("X"));
        postImport();
        ricordaCu();
        trovaCu(codFis, mese);
        editImport();
        annotazioni();
        postImport();
        importaInps();
        importaInpdap();
        trovaCu(codFis, mese);
        if (money("FCUDDEDNOTAXFAM") > Currency() || integer("ICUDPERIODOLAV") > 0)
            importaFamiliari();
        m_reader.reset();
    }
    // 6.
    postImport();
    ricordaCu();
    // 7.
    if (!options.SOLOINPS && m_autonomo)
        importaAutonomi();

    // 8. and 9. Emptiness.
    if (!trovaCu(codFis, mese))
        throw EAssertionFailed(QStringLiteral("CU appena scritta non trovata: %1").arg(codFis));
    const qint64 afi = cdsImport.fieldByName(s("iAfiID")).asInteger();
    const bool zero = soloZeri();
    const bool autonomo = haRighe(cdsAutonomo, codFis, mese, afi);
    if (options.SOLOINPS || (zero && options.ICALID == 0)) {
        // Self-employed payments are fiscal data of the CU too: a payee
        // with only those (a flat-rate professional, whose main record
        // stays at zero) keeps the CU and its rows.
        if (!haRighe(cdsINPS, codFis, mese, afi) && !haRighe(cdsINPDAP, codFis, mese, afi) && !autonomo) {
            // The whole CU goes: no section row may outlive its main record.
            sostituisci(codFis, mese);
            OvMessageBox(QStringLiteral("Dipendente : ") + m_cognome.trimmed() + QLatin1Char(' ') + m_nome.trimmed()
                             + QStringLiteral("\r\r\n")
                             + QStringLiteral("Non importato perchè non sono presenti dati Fiscali o Contributivi"),
                         MB_OK | MB_ICONERROR);
            return false;
        }
    }
    if (options.SOLOINPS || (!autonomo && zero)) {
        editImport();
        set("SCUDCASIESCPREC", s("2"));
        postImport();
    }
    return true;
}

bool TVelImportCud::haRighe(TClientDataSet &ds, const QString &codFis, const QString &mese, qint64 afi)
{
    const int fAfi = ds.fieldIndex(s("iAfiID"));
    const int fCf = ds.fieldIndex(s("SCUDCODFIS"));
    const int fMese = ds.fieldIndex(s("SCUDMESE"));
    for (int r = 0; r < ds.recordCount(); ++r) {
        if (afi > 0 && fAfi >= 0 && ds.valueAt(r, fAfi).toLongLong() == afi)
            return true;
        if (fCf >= 0 && fMese >= 0 && ds.valueAt(r, fCf).toString().compare(codFis, Qt::CaseInsensitive) == 0
            && ds.valueAt(r, fMese).toString() == mese)
            return true;
    }
    return false;
}

bool TVelImportCud::soloZeri()
{
    for (int i = 0; i < cdsImport.fieldCount(); ++i) {
        const TFieldDef &d = cdsImport.fieldDefs().at(i);
        if (!isNumeric(d.type) || d.name.compare(s("iAfiID"), Qt::CaseInsensitive) == 0
            || d.name.compare(s("iFisRigo"), Qt::CaseInsensitive) == 0)
            continue;
        const TField f = cdsImport.field(i);
        if (f.isNull())
            continue;
        if (d.type == TFieldType::Currency ? !f.asCurrency().isZero() : f.asFloat() != 0)
            return false;
    }
    return true;
}

void TVelImportCud::impostaDefault()
{
    set("LCUDCOMPRENSIVO", s("X"));
    for (const char *f : kFlagDefaults)
        set(f, s("0"));
}

void TVelImportCud::intestazione(const QString &codFis, const QString &mese)
{
    if (!options.SCODFISALTRISOS.isEmpty())
        set("SCUDALTROSOSCODFIS", options.SCODFISALTRISOS);
    set("SCUDANNOFIN", QString::number(anno()));
    set("SCUDCODFIS", codFis);
    set("SCUDMESE", mese);
    set("LCUDIMPORTATO", s("X"));
    set("SCUDCOGNOME", m_cognome);
    set("SCUDNOME", m_nome);

    TRagQuery q(&conn());
    TOvSQLQuery &sex = q.open(s("QRY_ANASEX"), {{s("IANAID"), m_ianaid}});
    if (!sex.isEmpty()) {
        set("SCUDSEX", sex.fieldByName(s("SSEXSDESC")).asString());
        if (!sex.fieldByName(s("DANANASCITA")).isNull())
            set("DCUDDATANAS", sex.fieldByName(s("DANANASCITA")).asDate());
        QString comune = sex.fieldByName(s("COM_NAS_SCOMDESC")).asString();
        if (comune.isEmpty())
            comune = sex.fieldByName(s("STA_NAS_SSTADESC")).asString();
        set("SCUDCOMNAS", comune);
        set("SCUDPROVNAS", sex.fieldByName(s("PRO_NAS_SPROSIGLA")).asString());
    }
    set("DCUDDATIANADATA", QDate::currentDate());
    const int qar = int(m_acom->fieldByName(s("IQARID")).asInteger());
    if (qar == 5 || qar == 14 || qar == 29)
        set("SCUDCATEGPART", s("E"));
    else if (qar == 7 || qar == 8 || qar == 9 || qar == 12)
        set("SCUDCATEGPART", s("D"));
    if (!m_abt->isEmpty()) {
        m_abt->first();
        const QString comune = m_abt->fieldByName(s("SCOMDESC")).asString();
        const QString prov = m_abt->fieldByName(s("SPROSIGLA")).asString();
        const QString cata = m_abt->fieldByName(s("SSRPCCODCATA")).asString();
        set("SCUDCOMDFAP", comune);
        set("SCUDCOMDFAC", comune);
        set("SCUDPROVDFAP", prov);
        set("SCUDPROVDFAC", prov);
        set("SCUDCAPDFAP", cata);
        set("SCUDCAPDFAC", cata);
    }
    leggiSostituto();
    if (!m_firma.isEmpty())
        set("SCUDDATIANAFIRMA", m_firma);
}

void TVelImportCud::datiFiscali()
{
    if (options.SOLOINPS || (listaFiscale.isEmpty() && listaCococo.isEmpty()))
        return;
    TCudStd &r = *m_reader;
    const bool standard = dynamic_cast<TCudCong *>(&r) == nullptr;

    // 1. Scholarship.
    const Currency imponibile = r.imponibile();
    // A negative income of the year cannot be certified: it would leave the
    // boxes empty and the periods annotation with a negative amount.
    if (imponibile < Currency())
        throw EOvError(QStringLiteral("Dati retributivi non validi: imponibile IRPEF dell'anno negativo (%1). "
                                      "Correggere i cedolini nel programma stipendi.")
                           .arg(amountText(imponibile)));
    if (imponibile.isZero() && inList(listaFiscale, TNO_BORSISTA))
        borsista();
    // 2.
    set("ICUDPERIODOLAV", r.giorni());
    // 3.
    const Currency netta = r.impostaNetta();
    setMoney("FCUDRITIRPEF", netta);
    if (netta > Currency())
        setMoney("FCUDRITIRPEFSOS", std::min(r.totaleVoce(COMR_RIT_IRPEF_SOSPESE), netta));
    // 4.
    setMoney("FCUDADDCOMIRPEF", r.addComTrattenuta());
    if (options.ACCONTO_ADD_COM_ANNO && standard)
        setMoney("FCUDADDCOMIRPEF", money("FCUDADDCOMIRPEF") + r.addComDovuta());
    else
        setMoney("FCUDADDCOMSALDO", r.addComDovuta());
    // 5. The advance of next year's municipal surcharge: 30 %.
    const Currency com = money("FCUDADDCOMIRPEF") + money("FCUDADDCOMSALDO");
    if (options.ACCONTO_ADD_COM && com > Currency())
        setMoney("FCUDADDCOMIRPEFAC", TTorCalcola::percentage(com, Currency::fromInt(30), 2));
    // 6.
    setMoney("FCUDADDREGIRPEF", r.addRegDovuta());
    // 7.
    r.calcolaDetrazioni();
    setMoney("FCUDDEDNOTAXFAM", r.detrFamiliari);
    Currency lavoro = r.detrLavoro;
    if (r.detrAggiuntiva > Currency()) {
        lavoro = TTorCalcola::positiveDifference(lavoro, r.detrAggiuntiva);
        setMoney("FCUDDETCREDRULTDETR", r.detrAggiuntiva);
    }
    setMoney("FCUDDETRDIPPENSREDD", lavoro);
    // 8.
    setMoney("FCUDIMPLORDA", r.impostaLorda());
    // 9.
    setMoney("FCUDTOTDETR",
             std::min(r.detrTotale, TTorCalcola::positiveDifference(money("FCUDIMPLORDA"), money("FCUDRITIRPEF"))));
    setMoney("FCUDDETRIMPNETTA", r.impostaNettaCalcolata);
    // 10.
    setMoney("FCUDIMPONPTO1", r.valoreCampo(s("FCONGIMPONIBILE_P")));
    setMoney("FCUDREDDCONGP1", money("FCUDIMPONPTO1"));
    // 11.
    r.numeriFamiliari();
    setMoney("FCUDDETRFAMNUM", r.detrFamNum);
    setMoney("FCUDCREDFAMNUM", r.credFamNum);
    setMoney("FCUDCREDNRFAMNUM", r.credNrFamNum);
    setMoney("FCUDDETRCANLOC", r.detrCanLoc);
    setMoney("FCUDCREDCANLOC", r.credCanLoc);
    setMoney("FCUDCREDNRCANLOC", r.credNrCanLoc);
    // 12. The deduction cap.
    const Currency tot = money("FCUDTOTDETR");
    if (tot > Currency() && tot < money("FCUDIMPLORDA")) {
        const char *const order[] = {"FCUDDEDNOTAXFAM", "FCUDDETRFAMNUM", "FCUDDETRDIPPENSREDD", "FCUDDETRONERI",
                                     "FCUDDETRCANLOC"};
        Currency values[5];
        QList<Currency *> items;
        for (int i = 0; i < 5; ++i) {
            values[i] = money(order[i]);
            items << &values[i];
        }
        tagliaDetrazioni(tot, items);
        for (int i = 0; i < 5; ++i)
            if (values[i] != money(order[i]))
                setMoney(order[i], values[i]);
    }
    // 13.
    if (imponibile > Currency()) {
        const int tno = int(m_acom->fieldByName(s("ITNOID")).asInteger());
        if (tno == 1 || tno == 2) {
            setMoney("FCUDREDDDETR", imponibile);
            set("SCUDDETINDET", s("1"));
        } else {
            setMoney("FCUDREDDETTRDET", imponibile);
            set("SCUDDETINDET", s("2"));
        }
    }
    // 14.
    const Currency bonus = r.bonus();
    if (bonus > Currency()) {
        set("SCUDTICODTRATT", s("1"));
        setMoney("FCUDTITRATTERO", bonus);
    } else {
        set("SCUDTICODTRATT", s("2"));
    }
    // 15.
    const Currency arretrati = r.arretrati();
    if (options.ARRETRATI_DETR) {
        setMoney("FCUDTCOMPARRDETR", arretrati);
        setMoney("FCUDCRAPCOMARRDET", arretrati);
    } else {
        setMoney("FCUDTCOMPARRNODETR", arretrati);
        setMoney("FCUDCRAPCOMARRNODET", arretrati);
    }
    // 16.
    setMoney("FCUDTOTRITOPER", r.ritenuteOperate());
    setMoney("FCUDCRAPRITOP", money("FCUDTOTRITOPER"));
    // 17.
    assistenza730();
}

void TVelImportCud::tagliaDetrazioni(Currency total, QList<Currency *> items)
{
    Currency rest = total;
    for (Currency *item : items) {
        if (item->isZero())
            continue;
        if (*item <= rest) {
            rest -= *item;
        } else {
            *item = rest;
            rest = Currency();
        }
    }
}

void TVelImportCud::borsista()
{
    TRagQuery q(&conn());
    const Currency totale = q.total(s("QRY_CUD_BORSISTA_LORDO"),
                                    {{s("IACOMID"), m_iacomid},
                                     {s("TNO_BORSISTA"), TNO_BORSISTA},
                                     {s("MESE_INIZIALE"), m_meseIniziale},
                                     {s("MESE_FINALE"), m_meseFinale}},
                                    {}, s("TOTALE"));
    setMoney("FCUDREDDESAMM2", totale);
    set("SCUDREDDESCOD2", s("23"));
}

void TVelImportCud::assistenza730()
{
    TRagQuery q(&conn());
    TOvSQLQuery &r = q.open(s("QRY_CUD_730"), {{s("IACOMID"), m_iacomid},
                                              {s("MESE_INIZIALE"), m_meseIniziale},
                                              {s("MESE_FINALE"), m_meseFinale},
                                              {s("ICOMRGRUPPO"), COMR_GRUPPO_730}});
    QHash<int, Currency> totals;
    for (r.first(); !r.eof(); r.next())
        totals[int(r.fieldByName(s("ICOMRID")).asInteger())] += TRagQuery::amount(r, s("FVACRLORDO"));
    for (const Voce730 &v : kVoci730)
        if (totals.contains(v.icomrid))
            setMoney(v.field, totals.value(v.icomrid));
}

void TVelImportCud::fondoPensione()
{
    TRagQuery q(&conn());
    TOvSQLQuery &r = q.open(s("QRY_CUD_FPC"), {{s("IACOMID"), m_iacomid},
                                              {s("MESE_INIZIALE"), m_meseIniziale},
                                              {s("MESE_FINALE"), m_meseFinale}});
    if (r.isEmpty())
        return;
    // The contributions paid to the fund by the employee and by the school.
    const Currency t = TRagQuery::amount(r, s("FVARRRITDIP")) + TRagQuery::amount(r, s("FVARRRITAMM"));
    if (t <= Currency())
        return;
    const Currency tfr = TRagQuery::amount(r, s("FTFRFONDO"));
    TRagQuery f(&conn());
    TOvSQLQuery &fondo = f.open(s("QRY_ANAFPC"), {{s("IACOMID"), m_iacomid}});
    if (!fondo.isEmpty()) {
        const QDate adesione = fondo.fieldByName(s("DAFPADESIONE")).asDate();
        if (adesione.isValid() && adesione >= QDate(2007, 1, 1))
            set("DCUDDTISCFONDO", adesione);
    }
    setMoney("FCUDCONTRESCLUSI", t);
    if (!cdsImport.fieldByName(s("DCUDDTISCFONDO")).isNull()) {
        setMoney("FCUDPRSOCVERSANN", t);
        setMoney("FCUDCONTRIBPREVCOMP", t);
    }
    setMoney("FCUDPRECOMTFRFONDO", tfr);
}

// ---- annotations -------------------------------------------------------------

QString TVelImportCud::notaCodificata(const QString &code)
{
    if (!m_note) {
        m_note = std::make_unique<TClientDataSet>();
        VelCodeTables::load(*m_note, s("TNOT_NOTE.CDS"),
                            cartellaTabelle.isEmpty() ? VelCodeTables::folder() : cartellaTabelle);
    }
    if (!m_note->locate(s("Codice"), code))
        throw EOvError(QStringLiteral("Codice annotazione non gestito :") + code);
    return code + QStringLiteral(") ") + m_note->fieldByName(s("Nota")).asString();
}

QString TVelImportCud::testoPeriodi(const QList<RigaPeriodo> &rows, int *count)
{
    struct Period
    {
        QDate dal, al;
        Currency importo;
    };
    QList<Period> periods;
    for (const RigaPeriodo &r : rows) {
        if (!r.dal.isValid())
            continue;
        const QDate al = r.al.isValid() ? r.al : r.dal;
        if (!periods.isEmpty() && periods.last().al.isValid() && r.dal <= periods.last().al.addDays(1)) {
            Period &p = periods.last();
            p.al = std::max(p.al, al);
            p.importo += r.importo;
        } else {
            periods.append({r.dal, al, r.importo});
        }
    }
    if (count)
        *count = int(periods.size());
    if (periods.isEmpty())
        return QString();
    QStringList parts;
    for (const Period &p : periods)
        parts << QStringLiteral("dal:") + dateText(p.dal) + QStringLiteral(" al: ") + dateText(p.al)
                     + QStringLiteral(" per un importo di %1").arg(amountText(p.importo));
    return parts.join(QStringLiteral("; ")) + QStringLiteral("\r\n");
}

void TVelImportCud::annotazioni()
{
    if (text("SCUDCASIESCPREC") == QLatin1String("2"))
        return;
    QString note = text("SCUDANNOTAZIONI");
    auto line = [&](const QString &l) { note += l + QStringLiteral("\r\n"); };

    // The periods of work.
    TRagQuery q(&conn());
    TOvSQLQuery &pr = q.open(s("QRY_CUD_PERIODI"), {{s("IACOMID"), m_iacomid},
                                                   {s("MESE_INIZIALE"), m_meseIniziale},
                                                   {s("MESE_FINALE"), m_meseFinale},
                                                   {s("RICE_COD_IRPEF_AM"), RICE_COD_IRPEF_AM},
                                                   {s("RICE_COD_IRPEF"), RICE_COD_IRPEF},
                                                   {s("CO_FONDAMENTALI"), 1}});
    QList<RigaPeriodo> rows;
    for (pr.first(); !pr.eof(); pr.next())
        rows.append({pr.fieldByName(s("DREGSDAL")).asDate(), pr.fieldByName(s("DREGSAL")).asDate(),
                     TRagQuery::amount(pr, s("IMPONIBILE_IRPEF"))});
    for (const RigaPeriodo &r : std::as_const(rows))
        if (r.importo < Currency())
            throw EOvError(QStringLiteral("Dati retributivi non validi: imponibile IRPEF negativo (%1) nel periodo "
                                          "dal %2 al %3. Correggere i cedolini nel programma stipendi.")
                               .arg(amountText(r.importo), dateText(r.dal), dateText(r.al)));
    int nPeriods = 0;
    const QString periodi = testoPeriodi(rows, &nPeriods);

    const int year = anno();
    // 1.-3.
    if (text("LCUDCONGUAGLIO") == QLatin1String("0"))
        line(QStringLiteral("Conguaglio non effettuato"));
    if (text("LCUDCOMPRENSIVO") == QLatin1String("X"))
        line(QStringLiteral("ZZ) ") + QStringLiteral("Il presente annulla e sostituisce eventuali CUD precedenti"));
    if (!listaFiscale.isEmpty() && integer("ICUDPERIODOLAV") < GIORNI_ANNO && !periodi.isEmpty())
        note += QStringLiteral("AI) ") + periodi;

    // 4. The relationship.
    const Currency redditi = money("FCUDREDDDETR") + money("FCUDREDDETTRDET");
    if (redditi > Currency()) {
        // Box 718: "1" when boxes 1 and 2 hold employment income entitled to the
        // sum outside income and the further detraction, "2" when they do not
        // (collaborations only: assimilated income is left out of both).
        set("SCUDSNCFRTIPOLOGIA", listaFiscale.isEmpty() ? s("2") : s("1"));
        set("SCUDPTRCOD1", listaFiscale.isEmpty() ? s("6") : s("1"));
        setMoney("FCUDPTRIMP1", redditi);
        const QDate inizio = m_acom->fieldByName(s("DACOMINIRAPP")).asDate();
        if (inizio.isValid())
            set("DCUDDATINIRL", inizio);
        else
            log(InfoFiscale, QStringLiteral("Data inizio rapporto in anagrafica non è impostata."));
        const QDate fine = m_acom->fieldByName(s("DACOMFINERAPP")).asDate();
        if (fine.isValid() && fine.year() == year) {
            set("DCUDDATFINRL", fine);
            if (text("LCUDCONGUAGLIO") == QLatin1String("X"))
                line(QStringLiteral("Data fine: ") + dateText(fine));
        } else if (fine.isValid() && fine.year() > year) {
            set("LCUDINFORZA3112", s("X"));
        }
        if (nPeriods > 1) {
            set("ICUDPERPART", s("1"));
        } else {
            Currency assenze;
            if (!listaFiscale.isEmpty()) {
                TRagQuery a(&conn());
                assenze = a.total(s("QRY_CUD_ASSENZE"),
                                  {{s("IACOMID"), m_iacomid},
                                   {s("MESE_INIZIALE"), m_meseIniziale},
                                   {s("MESE_FINALE"), m_meseFinale}},
                                  {}, s("ASSENZE"));
            }
            if (assenze > Currency())
                set("ICUDPERPART", s("2"));
            else if (integer("ICUDPERIODOLAV") == 0)
                set("ICUDPERPART", s("4"));
        }
    }
    // 5.
    controlloGiorni();
    if (integer("ICUDPERIODOLAV") > GIORNI_ANNO)
        set("ICUDPERIODOLAV", GIORNI_ANNO);

    const int giorni = integer("ICUDPERIODOLAV");
    const bool senzaConguaglio = text("LCUDCONGUAGLIO") == QLatin1String("0");
    const QDate fineRl = cdsImport.fieldByName(s("DCUDDATFINRL")).asDate();
    const bool fineNellAnno = fineRl.isValid() && fineRl.year() == year;
    // 6.-8.
    if (giorni < GIORNI_ANNO && (!money("FCUDADDREGIRPEF").isZero() || !money("FCUDADDCOMIRPEF").isZero())
        && (senzaConguaglio || (text("LCUDCONGUAGLIO") == QLatin1String("X") && fineNellAnno)))
        line(notaCodificata(s("AL")));
    if (giorni < GIORNI_ANNO && money("FCUDDEDNOTAXFAM") > Currency() && senzaConguaglio)
        line(notaCodificata(s("AC")));
    if (money("FCUDCONTRESCLUSI") > Currency() && senzaConguaglio)
        line(notaCodificata(s("CC")));
    // 9. The minimum employment deduction.
    {
        TRagQuery t(&conn());
        TOvSQLQuery &tdla = t.open(s("QRY_TDLA"), {{s("IANFID"), ianfid()}});
        if (!tdla.isEmpty()) {
            const int tno = int(m_acom->fieldByName(s("ITNOID")).asInteger());
            const Currency minimo =
                TRagQuery::amount(tdla, (tno == 1 || tno == 2) ? s("FTDLAMININD") : s("FTDLAMINDET"));
            if (money("FCUDDETRDIPPENSREDD") < minimo && money("FCUDIMPLORDA") > Currency())
                line(notaCodificata(s("AN")));
        }
    }
    set("SCUDANNOTAZIONI", note);
}

void TVelImportCud::controlloGiorni()
{
    const int year = anno();
    const int giorni = integer("ICUDPERIODOLAV");
    const QString perPart = text("ICUDPERPART").trimmed();
    if (giorni == 0 && !money("FCUDREDDDETR").isZero() && perPart.isEmpty() && listaCococo.isEmpty()) {
        set("ICUDPERPART", s("4"));
        if (text("LCUDCPOSCNACFC") != QLatin1String("X"))
            log(InfoFiscale,
                QStringLiteral("Non sono presenti giorni per detrazioni, si presume siano stati pagati solo compensi "
                               "accessori.\r\n  Impostato in automatico il codice 4 sul punto \"11 - Periodi "
                               "Particolari\""));
        return;
    }
    if (giorni == 0 || !perPart.isEmpty())
        return;
    const QDate primo(year, 1, 1), ultimo(year, 12, 31);
    const QDate inizioRl = cdsImport.fieldByName(s("DCUDDATINIRL")).asDate();
    const QDate fineRl = cdsImport.fieldByName(s("DCUDDATFINRL")).asDate();
    const QDate dal = inizioRl.isValid() ? std::max(inizioRl, primo) : primo;
    const QDate al = fineRl.isValid() ? std::min(fineRl, ultimo) : ultimo;
    const int calcolati = dal <= al ? int(dal.daysTo(al)) + 1 : 0;
    const QDate inizioRapp = m_acom->fieldByName(s("DACOMINIRAPP")).asDate();
    const QDate fineRapp = m_acom->fieldByName(s("DACOMFINERAPP")).asDate();
    const bool piuAnni = (inizioRapp.isValid() && inizioRapp.year() < year) || (fineRapp.isValid() && fineRapp.year() > year);
    if (giorni > calcolati && !listaCococo.isEmpty() && piuAnni)
        log(InfoFiscale, QStringLiteral("Periodo di lavoro per co.co.co. su più anni. Giorni per detrazioni impostate "
                                        "automaticamente.\r\n  Su dati retributivi inserito: %1, calcolato sul periodo "
                                        "lavorato nell'anno: %2.")
                             .arg(giorni)
                             .arg(calcolati));
    else if (giorni != calcolati)
        log(InfoFiscale, QStringLiteral("Giorni per detrazioni non congruenti con i giorni di lavoro calcolati (%1):\r\n "
                                        " (verificare campi 6,8 e 9 dei Dati fiscali)")
                             .arg(calcolati));
}

// ---- withholding agent ---------------------------------------------------------

void TVelImportCud::scriviDatiSostituto()
{
    if (!sos || !sos->active() || sos->isEmpty())
        throw EOvError(QStringLiteral("Dati dell'istituto non disponibili: impossibile importare i dati del sostituto."));
    auto sed = [&](const char *f) { return sos->fieldByName(s(f)).asString(); };
    const int idwg = options.IDWGID > 0 ? options.IDWGID : TorUtil::workgroupId();
    TRagQuery qp(&conn());
    TOvSQLQuery &paco = qp.open(s("QRY_PACO"), {{s("IDWGID"), idwg}});
    const QString ateco = paco.isEmpty() ? QString() : paco.fieldByName(s("SPACOCODATECO2007")).asString();

    QString telFax = sed("SSEDTELTELEFONO");
    if (telFax.trimmed().isEmpty())
        telFax = sed("SSEDFAXNO");
    telFax.remove(QLatin1Char('/')).remove(QLatin1Char('-')).remove(QLatin1Char(' '));
    const QString codFis = sed("SSEDNOMCODICEFISC");

    // Each table holds one row, replaced. What the office typed in the
    // agent's editor and the import has no source for (signature,
    // representative, ...) is carried over from the row replaced.
    auto rewrite = [&](const char *structure, const QList<QPair<const char *, QVariant>> &values) {
        TClientDataSet ds;
        ds.setObjectName(s(structure));
        m_store.Load(ds, s(structure));
        QHash<QString, QVariant> kept;
        if (!ds.isEmpty()) {
            ds.first();
            for (int i = 0; i < ds.fieldCount(); ++i)
                kept.insert(ds.fieldDefs().at(i).name.toLower(), ds.field(i).value());
        }
        while (!ds.isEmpty()) {
            ds.first();
            ds.deleteRecord();
        }
        ds.append();
        for (int i = 0; i < ds.fieldCount(); ++i) {
            const QString n = ds.fieldDefs().at(i).name.toLower();
            if (n == QLatin1String("iafiid") || n == QLatin1String("ifisrigo"))
                continue;
            if (kept.contains(n))
                ds.field(i).setValue(kept.value(n));
        }
        for (const auto &v : values)
            ds.fieldByName(s(v.first)).setValue(v.second);
        ds.post();
        m_store.Save(ds, s(structure));
    };

    TOvTransaction tr(&conn());
    tr.StartTransaction();
    rewrite("TCUS_DATISOST", {{"SSOSCODFIS", codFis},
                              {"SSOSDENOM", sed("SSEDNOMLDESC")},
                              {"SSOSNOME", QString()},
                              {"SSOSCOMUNE", sed("SCOMDESC")},
                              {"SSOSPROV", sed("SPROSIGLA")},
                              {"SSOSCAP", sed("SCAPVALUE")},
                              {"SSOSINDIRIZZO", sed("SSEDINDINDIRIZZO")},
                              {"SSOSTELFAX", telFax},
                              {"SSOSEMAIL", sed("SSEDEMLEMAIL")},
                              {"SSOSCODATTIVITA", ateco},
                              {"LSOSANNULLAMENTO", s("0")},
                              {"LSOSSOSTITUZIONE", s("0")},
                              {"LSOSEVECC", s("0")},
                              {"LSOSCASIPARTICOLARI", s("0")},
                              {"LSOSCT", s("0")},
                              {"LSOSDICHCONTRIB", s("0")}});
    rewrite("TCUCT_DATICT", {{"SCTCODFIS", codFis}, {"LCTFISCONLINE", s("0")}, {"LCTSRVENTRATEL", s("0")}});
    rewrite("TCFO_FORNITORE", {{"SFORCODFIS", codFis}, {"STFOCODICE", s("01")}});
    tr.Commit();
    m_firmaLetta = false;
}

// ---- section builders ------------------------------------------------------------

void TVelImportCud::leggiSostituto()
{
    if (m_firmaLetta)
        return;
    TClientDataSet sost;
    m_store.Load(sost, s("TCUS_DATISOST"));
    m_firma = sost.isEmpty() ? QString() : sost.fieldByName(s("SSOSFIRMACOM")).asString();
    m_ssosCodFis = sost.isEmpty() ? QString() : sost.fieldByName(s("SSOSCODFIS")).asString().trimmed();
    m_firmaLetta = true;
}

void TVelImportCud::leggiPaco()
{
    if (m_pacoLetto)
        return;
    const int idwg = options.IDWGID > 0 ? options.IDWGID : TorUtil::workgroupId();
    TRagQuery q(&conn());
    TOvSQLQuery &paco = q.open(s("QRY_PACO"), {{s("IDWGID"), idwg}});
    m_paco = paco.isEmpty() ? TVelParametriPaco() : TVelParametriPaco::leggi(paco);
    m_pacoLetto = true;
}

TVelImpContesto TVelImportCud::contestoSezioni()
{
    leggiPaco();
    leggiSostituto();
    // The builders key their rows by the CU's store person: the main record
    // must be saved (posted and in the store) by now.
    if (cdsImport.modified())
        throw EAssertionFailed(QStringLiteral("CU non ancora salvata prima delle sezioni: %1").arg(m_cuCodFis));
    if (!trovaCu(m_cuCodFis, m_cuMese))
        throw EAssertionFailed(QStringLiteral("CU appena scritta non trovata: %1").arg(m_cuCodFis));

    TVelImpContesto c;
    c.connection = &conn();
    c.store = &m_store;
    c.anno = anno();
    c.IANFID = ianfid();
    c.IACOMID = m_iacomid;
    c.IANAID = m_ianaid;
    c.MESE_INIZIALE = m_meseIniziale;
    c.MESE_FINALE = m_meseFinale;
    c.SCUDCODFIS = m_cuCodFis;
    c.SCUDMESE = m_cuMese;
    c.iAfiID = cdsImport.fieldByName(s("iAfiID")).asInteger();
    c.listaFiscale = listaFiscale;
    c.listaInps = listaInps;
    c.listaCococo = listaCococo;
    if (m_acom) {
        auto intero = [&](const char *f) {
            const TField x = m_acom->findField(s(f));
            return x && !x.isNull() ? int(x.asInteger()) : 0;
        };
        c.LACOMMINIMI = intero("LACOMMINIMI");
        c.IACOMSOGGENPALS = intero("IACOMSOGGENPALS");
        c.IACOMSCAINPDAP = intero("IACOMSCAINPDAP");
    }
    c.INCLUDI_INPDAP_MEF = options.INCLUDI_INPDAP_MEF;
    c.paco = m_paco;
    c.SSOSCODFIS = m_ssosCodFis;
    c.log = [this](int section, const QString &text) { log(section, text); };
    // The import's own save: what the builders change is undone in the
    // run's tables when the employee is rolled back.
    c.salva = [this](TClientDataSet &ds, const QString &) { salva(ds); };
    return c;
}

void TVelImportCud::importaInps()
{
    if (!m_secInps)
        m_secInps = std::make_unique<TVelImpInps>();
    m_secInps->importa(contestoSezioni(), cdsINPS);
}

void TVelImportCud::importaInpdap()
{
    if (!m_secInpdap)
        m_secInpdap = std::make_unique<TVelImpInpdap>();
    m_secInpdap->importa(contestoSezioni(), cdsINPDAP);
}

void TVelImportCud::importaFamiliari()
{
    if (!m_secFamiliari)
        m_secFamiliari = std::make_unique<TVelImpFamiliari>();
    m_secFamiliari->importa(contestoSezioni(), cdsConFamCar);
}

void TVelImportCud::importaAutonomi()
{
    if (!m_secAutonomi)
        m_secAutonomi = std::make_unique<TVelImpAutonomi>();
    m_secAutonomi->importa(contestoSezioni(), cdsAutonomo, m_registri);
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
    if (lines.isEmpty()) {
        OvMessageBox(QStringLiteral("Fine operazione"), MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (onInfo) {
        onInfo(lines);
        return;
    }
    lines << QString() << riepilogo();
    TfmVelInfo::Execute(lines);
}
