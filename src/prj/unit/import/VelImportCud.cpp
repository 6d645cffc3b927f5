// One employee's CU: the main record built from the payroll read
// (VelImportPayroll.cpp), the section builders called at their place, the
// check of a CU left empty and the CU handed to the store. The run around it
// (transactions, outcome, report) is in VelImportRun.cpp.
#include "VelImportCud.h"
#include "VelImportTables.h"

#include "VelImpFamiliari.h"
#include "VelImpInps.h"
#include "VelPayrollCopy.h"
#include "VelPayrollCheck.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/framework/OvMessages.h"
#include "rag/calc/ragUQuery.h"
#include "src/prj/unit/model/VelError.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorAnni.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorUUtil.h"
#include "velcu/VelFields.h"

#include <QHash>
#include <algorithm>

using namespace VelImport;

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

TVelImportCud::TVelImportCud(TTorDBCds &store, TTorQueryText &queries)
    : m_store(store), m_queries(queries), m_payroll(store, queries, m_options)
{
    m_options.anno = store.year();
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
    return m_options.anno > 0 ? m_options.anno : (m_store.year() > 0 ? m_store.year() : Campagna::AnnoFinanziario);
}

int TVelImportCud::ianfid() const
{
    return TorAnni::toKey(anno());
}

int TVelImportCud::idwgid() const
{
    return m_options.IDWGID;
}

QString TVelImportCud::dipendente() const
{
    return m_dip.cognome.trimmed() + QLatin1Char(' ') + m_dip.nome.trimmed();
}

void TVelImportCud::log(int section, const QString &text)
{
    m_info.add(section, dipendente(), text);
}

int TVelImportCud::caricaCandidati()
{
    return m_candidati.carica(source(), {m_options.ICALID, m_options.IMESID, ianfid(), idwgid()});
}

// ---- building one CU ---------------------------------------------------------

void TVelImportCud::editImport()
{
    if (!cdsImport().modified())
        cdsImport().edit();
}

void TVelImportCud::postImport()
{
    if (cdsImport().modified())
        cdsImport().post();
}

// Builds the CU in memory and gives it to the store once; false when it was
// dropped for want of data (nothing of it written).
bool TVelImportCud::costruisci(const QString &codFis, const QString &mese)
{
    m_cuCodFis = codFis;
    m_cuMese = mese;
    m_pos = m_payroll.scegliPosizioni(m_hooks.onPosizioni);
    m_registri = m_payroll.registriAutonomi();
    const bool posizioni = !m_pos.vuote();
    const bool autonomo = !m_registri.isEmpty();
    if (!posizioni && !autonomo)
        throw EOvError(QStringLiteral("Nessun dato da importare"));

    // The value is empty: cleared when the employee's transaction began.
    TVelCuBuilder builder(
        cdsImport(), m_options, anno(), [this](const QString &text) { log(InfoFiscale, text); },
        [this](const QString &code) { return m_payroll.notaCodificata(code); });
    cdsImport().append();
    builder.nuova(m_payroll.intestazione(codFis, mese));
    if (posizioni)
        costruisciLavoro(builder);
    postImport();
    if (!m_options.SOLOINPS && autonomo)
        importaAutonomi();
    if (scartaSeVuota(builder))
        return false;
    VelCuRepository(m_store).replace(m_cu, m_sostituisce ? &m_archivio : nullptr);
    return true;
}

// The employment data: the fiscal amounts and the pension fund, then the
// annotations; then the INPS, public-pension and dependants' sections.
void TVelImportCud::costruisciLavoro(TVelCuBuilder &builder)
{
    const TVelRapportoCu rapporto = m_payroll.rapporto();
    builder.datiLavoro(m_pos, rapporto, m_payroll.datiLavoro());
    postImport();
    editImport();
    builder.annotazioni(m_pos, rapporto, m_payroll.annotazioni());
    postImport();
    importaInps();
    importaInpdap();
    if (cdsImport().fieldByName(fld::FCUDDEDNOTAXFAM.qs()).asCurrency() > Currency()
        || cdsImport().fieldByName(fld::iCudPeriodoLav.qsUpper()).asInteger() > 0)
        importaFamiliari();
}

// A CU with nothing to certify is not written (a stored CU it was to replace
// goes all the same: the office asked for it to be replaced); one with
// nothing fiscal but kept (INPS only) is marked as such. True when the CU
// went.
bool TVelImportCud::scartaSeVuota(TVelCuBuilder &builder)
{
    const bool zero = builder.soloZeri();
    const bool autonomo = TVelCuValue::hasRows(m_cu.autonomi());
    if (m_options.SOLOINPS || (zero && m_options.ICALID == 0)) {
        // Self-employed payments are fiscal data of the CU too: a payee
        // with only those (a flat-rate professional, whose main record
        // stays at zero) keeps the CU and its rows.
        if (!TVelCuValue::hasRows(m_cu.inps()) && !TVelCuValue::hasRows(m_cu.inpdap()) && !autonomo) {
            if (m_sostituisce)
                VelCuRepository(m_store).remove(m_archivio);
            m_cu.clear();
            m_host->notice(QStringLiteral("Dipendente : ") + dipendente() + QStringLiteral("\r\r\n")
                               + QStringLiteral("Non importato perchè non sono presenti dati Fiscali o Contributivi"),
                           TVelNotice::Error);
            return true;
        }
    }
    if (m_options.SOLOINPS || (!autonomo && zero)) {
        editImport();
        cdsImport().fieldByName(fld::SCUDCASIESCPREC.qs()).setAsString(s("2"));
        postImport();
    }
    return false;
}

TVelImpContesto TVelImportCud::contestoSezioni()
{
    // The builders key their rows by the CU's tax code and month: the main
    // record must be posted by now. Its store person is made when the CU is
    // handed over, and the sections' rows join it then.
    if (cdsImport().modified() || cdsImport().recordCount() != 1)
        throw EAssertionFailed(QStringLiteral("CU non ancora registrata prima delle sezioni: %1").arg(m_cuCodFis));

    TVelImpContesto c;
    c.connection = &conn();
    c.queries = &m_queries;
    c.copy = m_copia.get();
    c.store = &m_store;
    c.anno = anno();
    c.IANFID = ianfid();
    c.IACOMID = m_dip.IACOMID;
    c.IANAID = m_dip.IANAID;
    c.MESE_INIZIALE = m_dip.meseIniziale;
    c.MESE_FINALE = m_dip.meseFinale;
    c.SCUDCODFIS = m_cuCodFis;
    c.SCUDMESE = m_cuMese;
    c.listaFiscale = m_pos.fiscale;
    c.listaInps = m_pos.inps;
    c.listaCococo = m_pos.cococo;
    if (m_acom) {
        auto intero = [&](const char *f) {
            const TField x = m_acom->findField(s(f));
            return x && !x.isNull() ? int(x.asInteger()) : 0;
        };
        c.LACOMMINIMI = intero("LACOMMINIMI");
        c.IACOMSOGGENPALS = intero("IACOMSOGGENPALS");
        c.IACOMSCAINPDAP = intero("IACOMSCAINPDAP");
    }
    c.INCLUDI_INPDAP_MEF = m_options.INCLUDI_INPDAP_MEF;
    c.paco = m_payroll.paco();
    c.SSOSCODFIS = m_payroll.codFisSostituto();
    c.log = [this](int section, const QString &text) { log(section, text); };
    // The rows stay in the CU value, handed to the store whole at the end.
    c.salva = [](TClientDataSet &, const QString &) {};
    return c;
}

void TVelImportCud::importaInps()
{
    if (!m_secInps)
        m_secInps = std::make_unique<TVelImpInps>();
    m_secInps->importa(contestoSezioni(), m_cu.inps());
}

void TVelImportCud::importaInpdap()
{
    if (!m_secInpdap)
        m_secInpdap = std::make_unique<TVelImpInpdap>();
    m_secInpdap->importa(contestoSezioni(), m_cu.inpdap());
}

void TVelImportCud::importaFamiliari()
{
    // A payee whose CU of another month already has family rows keeps them
    // there: the dependants are declared once.
    if (VelCuRepository(m_store).hasRowsOf(rec::TCUDC_CONFAMCARICO::id.qs(), m_archivio.otherMonths))
        return;
    if (!m_secFamiliari)
        m_secFamiliari = std::make_unique<TVelImpFamiliari>();
    m_secFamiliari->importa(contestoSezioni(), m_cu.familiari());
}

void TVelImportCud::importaAutonomi()
{
    if (!m_secAutonomi)
        m_secAutonomi = std::make_unique<TVelImpAutonomi>();
    m_secAutonomi->importa(contestoSezioni(), m_cu.autonomi(), m_registri);
}
