// One employee's CU: the positions chosen for its sections, the payroll read
// into the builder's figures, the main record built and saved, the section
// builders called at their place and the check of a CU left empty. The run
// around it (tables, transactions, outcome, report) is in VelImportRun.cpp.
#include "VelImportCud.h"
#include "VelImportTables.h"

#include "VelCudReader.h"
#include "VelImpFamiliari.h"
#include "VelImpInps.h"
#include "VelPayrollCopy.h"
#include "VelImportSostituto.h"
#include "VelPayrollCheck.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/framework/OvMessages.h"
#include "rag/calc/ragUQuery.h"
#include "src/prj/unit/model/VelCodeTables.h"
#include "src/prj/unit/model/VelError.h"
#include "tor/calc/TorPosizioni.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorAnni.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorUUtil.h"
#include "velcu/VelFields.h"

#include <QHash>
#include <algorithm>

using namespace VelImport;

namespace {

constexpr int COMR_RIT_IRPEF_SOSPESE = 10054;
constexpr int COMR_GRUPPO_730 = 4;

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

TVelImportCud::TVelImportCud(TTorDBCds &store, TTorQueryText &queries)
    : m_store(store), m_queries(queries)
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

// ---- positions ---------------------------------------------------------------

void TVelImportCud::scegliPosizioni()
{
    m_pos = TVelPosizioniCu();
    if (m_options.ICALID == TorPosizioni::CategoriaSoloAutonomi)
        return;

    TRagQuery q(source());
    TOvSQLQuery &src = q.open(s("QRY_CUD_TNO"), {{s("IACOMID"), m_dip.IACOMID},
                                                {s("MESE_INIZIALE"), m_dip.meseIniziale},
                                                {s("MESE_FINALE"), m_dip.meseFinale}});
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
        if (tno == TorPosizioni::Cococo) {
            cococo = true;
            continue;
        }
        int fiscali = int(src.fieldByName(s("LPER_ALTRI_DATI")).asInteger());
        int inps = int(src.fieldByName(s("LPER_INPS")).asInteger());
        if (TorPosizioni::autonomo(tno))
            inps = 0;
        else
            fiscali = 1;
        rows.appendRecord({tno, src.fieldByName(s("ITNOORVEXCODE")).value(), src.fieldByName(s("STNOLDESC")).asString(),
                           fiscali, inps});
    }
    rows.mergeChangeLog();

    // A collaboration is one position; otherwise the employment record's
    // position among those held.
    const int position = cococo ? TorPosizioni::Cococo : int(m_acom->fieldByName(s("ITNOID")).asInteger());
    int count = 1;
    if (!cococo) {
        rows.locate(s("ITNOID"), position);
        count = rows.recordCount();
    }
    if (count > 1) {
        if (m_hooks.onPosizioni)
            m_hooks.onPosizioni(rows, cococo, dipendente());
        rows.checkBrowseMode();
        m_pos = posizioniDaRighe(rows, cococo);
    } else if (count == 1 && position == TorPosizioni::Cococo) {
        m_pos.cococo = QString::number(TorPosizioni::Cococo);
    } else if (count == 1 && m_options.ICALID == 0) {
        m_pos = posizioniDaRighe(rows, cococo);
    } else if (count == 1) {
        m_pos.fiscale = m_pos.inps = QString::number(position);
    }
}

TVelPosizioniCu TVelImportCud::posizioniDaRighe(TClientDataSet &rows, bool cococo) const
{
    QStringList fiscal, inps;
    for (int r = 0; r < rows.recordCount(); ++r) {
        const QString id = rows.valueAt(r, 0).toString();
        if (rows.valueAt(r, 3).toInt() == 1)
            fiscal << id;
        if (rows.valueAt(r, 4).toInt() == 1)
            inps << id;
    }
    TVelPosizioniCu p;
    p.fiscale = fiscal.join(QLatin1Char(','));
    p.inps = inps.join(QLatin1Char(','));
    p.cococo = cococo ? QString::number(TorPosizioni::Cococo) : QString();
    return p;
}

// The employee's self-employed registers, when the category takes them.
void TVelImportCud::cercaAutonomi()
{
    m_registri.clear();
    if (m_options.ICALID != 0 && m_options.ICALID != TorPosizioni::CategoriaSoloAutonomi)
        return;
    TVelImpContesto c;
    c.connection = &conn();
    c.queries = &m_queries;
    c.copy = m_copia.get();
    c.IACOMID = m_dip.IACOMID;
    c.listaFiscale = m_pos.fiscale;
    m_registri = TVelImpAutonomi::leggiRegistri(c);
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
    scegliPosizioni();
    cercaAutonomi();
    const bool posizioni = !m_pos.vuote();
    const bool autonomo = !m_registri.isEmpty();
    if (!posizioni && !autonomo)
        throw EOvError(QStringLiteral("Nessun dato da importare"));

    m_cu.clear();
    TVelCuBuilder builder(
        cdsImport(), m_options, anno(), [this](const QString &text) { log(InfoFiscale, text); },
        [this](const QString &code) { return notaCodificata(code); });
    cdsImport().append();
    builder.nuova(leggiIntestazione(codFis, mese));
    if (posizioni)
        costruisciLavoro(builder);
    postImport();
    if (!m_options.SOLOINPS && autonomo)
        importaAutonomi();
    if (scartaSeVuota(builder))
        return false;
    VelCuRepository(m_store).replace(m_cu, &m_sostituita);
    return true;
}

// The employment data: the fiscal amounts and the pension fund, then the
// annotations; then the INPS, public-pension and dependants' sections.
void TVelImportCud::costruisciLavoro(TVelCuBuilder &builder)
{
    const TVelRapportoCu rapporto = leggiRapporto();
    builder.datiLavoro(m_pos, rapporto, leggiDatiLavoro());
    postImport();
    editImport();
    builder.annotazioni(m_pos, rapporto, leggiAnnotazioni());
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
            if (m_sostituita.person != 0)
                VelCuRepository(m_store).remove(m_sostituita);
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

// ---- the payroll read for the builder ------------------------------------------------

TVelIntestazione TVelImportCud::leggiIntestazione(const QString &codFis, const QString &mese)
{
    TVelIntestazione h;
    h.codFis = codFis;
    h.mese = mese;
    h.cognome = m_dip.cognome;
    h.nome = m_dip.nome;
    TRagQuery q(source());
    TOvSQLQuery &sex = q.open(s("QRY_ANASEX"), {{s("IANAID"), m_dip.IANAID}});
    h.anagrafica = !sex.isEmpty();
    if (h.anagrafica) {
        h.sesso = sex.fieldByName(s("SSEXSDESC")).asString();
        if (!sex.fieldByName(s("DANANASCITA")).isNull())
            h.nascita = sex.fieldByName(s("DANANASCITA")).asDate();
        h.comuneNascita = sex.fieldByName(s("COM_NAS_SCOMDESC")).asString();
        h.provNascita = sex.fieldByName(s("PRO_NAS_SPROSIGLA")).asString();
        h.statoNascita = sex.fieldByName(s("STA_NAS_SSTADESC")).asString();
    }
    h.IQARID = int(m_acom->fieldByName(s("IQARID")).asInteger());
    h.indirizzo = !m_abt->isEmpty();
    if (h.indirizzo) {
        m_abt->first();
        h.comune = m_abt->fieldByName(s("SCOMDESC")).asString();
        h.prov = m_abt->fieldByName(s("SPROSIGLA")).asString();
        h.codCatastale = m_abt->fieldByName(s("SSRPCCODCATA")).asString();
    }
    leggiSostituto();
    h.firma = m_firma;
    return h;
}

TVelRapportoCu TVelImportCud::leggiRapporto() const
{
    TVelRapportoCu r;
    r.ITNOID = int(m_acom->fieldByName(s("ITNOID")).asInteger());
    r.inizio = m_acom->fieldByName(s("DACOMINIRAPP")).asDate();
    r.fine = m_acom->fieldByName(s("DACOMFINERAPP")).asDate();
    return r;
}

TVelDatiLavoro TVelImportCud::leggiDatiLavoro()
{
    TVelDatiLavoro d;
    d.conguaglio = m_dip.conguaglio;
    std::unique_ptr<TCudStd> reader;
    if (d.conguaglio) {
        reader = std::make_unique<TCudCong>();
    } else {
        reader = std::make_unique<TCudStd>();
        reader->setAncheSenzaConguaglio(m_options.ANCHE_SENZA_CONGUAGLIO);
    }
    TVelCudImportState state;
    state.IACOMID = m_dip.IACOMID;
    state.MESE_INIZIALE = m_dip.meseIniziale;
    state.MESE_FINALE = m_dip.meseFinale;
    state.IANFID = ianfid();
    state.fiscalList = m_pos.fiscale;
    state.collabList = m_pos.cococo;
    state.FISCALE_NOIPA = m_options.FISCALE_NOIPA;
    state.IACOMDURATARAPP = int(m_acom->fieldByName(s("IACOMDURATARAPP")).asInteger());
    state.connection = &conn();
    state.queries = &m_queries;
    state.copy = m_copia.get();
    reader->inizializza(state);
    // No fiscal amounts for an INPS-only run or without a fiscal position.
    if (!m_options.SOLOINPS && (!m_pos.fiscale.isEmpty() || !m_pos.cococo.isEmpty()))
        d.fiscali = leggiValoriFiscali(*reader);
    d.pagamentiNoiPa = state.LCUDCPOSCNACFC;
    d.fondo = leggiFondoPensione();
    return d;
}

// The reader's figures, asked in the order of the boxes they fill.
TVelValoriFiscali TVelImportCud::leggiValoriFiscali(TCudStd &r)
{
    TVelValoriFiscali v;
    v.standard = dynamic_cast<TCudCong *>(&r) == nullptr;
    v.imponibile = r.imponibile();
    // A negative income of the year cannot be certified: it would leave the
    // boxes empty and the periods annotation with a negative amount.
    if (v.imponibile < Currency())
        throw EVelError(QStringLiteral("Dati retributivi non validi: imponibile IRPEF dell'anno negativo (%1). "
                                      "Correggere i cedolini nel programma stipendi.")
                           .arg(amountText(v.imponibile)),
                       {TVelErrorCode::DatiRetributivi, QString(), TVelStage::Costruzione});
    if (v.imponibile.isZero() && m_pos.fiscaleContiene(TorPosizioni::Borsista)) {
        TRagQuery q(source());
        v.borsista = q.total(s("QRY_CUD_BORSISTA_LORDO"),
                             {{s("IACOMID"), m_dip.IACOMID},
                              {s("TNO_BORSISTA"), TorPosizioni::Borsista},
                              {s("MESE_INIZIALE"), m_dip.meseIniziale},
                              {s("MESE_FINALE"), m_dip.meseFinale}},
                             {}, s("TOTALE"));
    }
    v.giorni = r.giorni();
    v.impostaNetta = r.impostaNetta();
    if (v.impostaNetta > Currency())
        v.ritenuteSospese = r.totaleVoce(COMR_RIT_IRPEF_SOSPESE);
    v.addComTrattenuta = r.addComTrattenuta();
    v.addComDovuta = r.addComDovuta();
    v.addRegDovuta = r.addRegDovuta();
    v.impostaLorda = r.impostaLorda();
    r.calcolaDetrazioni();
    r.numeriFamiliari();
    v.detrazioni = r.detrazioni();
    v.altriSoggetti = r.valoreCampo(s("FCONGIMPONIBILE_P"));
    v.bonus = r.bonus();
    v.arretrati = r.arretrati();
    v.ritenuteOperate = r.ritenuteOperate();

    TRagQuery q(source());
    TOvSQLQuery &voci = q.open(s("QRY_CUD_730"), {{s("IACOMID"), m_dip.IACOMID},
                                                 {s("MESE_INIZIALE"), m_dip.meseIniziale},
                                                 {s("MESE_FINALE"), m_dip.meseFinale},
                                                 {s("ICOMRGRUPPO"), COMR_GRUPPO_730}});
    for (voci.first(); !voci.eof(); voci.next())
        v.voci730[int(voci.fieldByName(s("ICOMRID")).asInteger())] += TRagQuery::amount(voci, s("FVACRLORDO"));
    return v;
}

TVelFondoPensione TVelImportCud::leggiFondoPensione()
{
    TVelFondoPensione f;
    TRagQuery q(source());
    TOvSQLQuery &r = q.open(s("QRY_CUD_FPC"), {{s("IACOMID"), m_dip.IACOMID},
                                              {s("MESE_INIZIALE"), m_dip.meseIniziale},
                                              {s("MESE_FINALE"), m_dip.meseFinale}});
    if (r.isEmpty())
        return f;
    // The contributions paid to the fund by the employee and by the school.
    const Currency t = TRagQuery::amount(r, s("FVARRRITDIP")) + TRagQuery::amount(r, s("FVARRRITAMM"));
    if (t <= Currency())
        return f;
    f.contributi = t;
    f.tfr = TRagQuery::amount(r, s("FTFRFONDO"));
    TRagQuery a(source());
    TOvSQLQuery &fondo = a.open(s("QRY_ANAFPC"), {{s("IACOMID"), m_dip.IACOMID}});
    if (!fondo.isEmpty())
        f.adesione = fondo.fieldByName(s("DAFPADESIONE")).asDate();
    return f;
}

TVelDatiAnnotazioni TVelImportCud::leggiAnnotazioni()
{
    TVelDatiAnnotazioni a;
    TRagQuery q(source());
    TOvSQLQuery &pr = q.open(s("QRY_CUD_PERIODI"), {{s("IACOMID"), m_dip.IACOMID},
                                                   {s("MESE_INIZIALE"), m_dip.meseIniziale},
                                                   {s("MESE_FINALE"), m_dip.meseFinale},
                                                   {s("RICE_COD_IRPEF_AM"), RICE_COD_IRPEF_AM},
                                                   {s("RICE_COD_IRPEF"), RICE_COD_IRPEF},
                                                   {s("CO_FONDAMENTALI"), 1}});
    for (pr.first(); !pr.eof(); pr.next())
        a.periodi.append({pr.fieldByName(s("DREGSDAL")).asDate(), pr.fieldByName(s("DREGSAL")).asDate(),
                          TRagQuery::amount(pr, s("IMPONIBILE_IRPEF"))});
    for (const TVelRigaPeriodo &r : std::as_const(a.periodi))
        if (r.importo < Currency())
            throw EVelError(QStringLiteral("Dati retributivi non validi: imponibile IRPEF negativo (%1) nel periodo "
                                          "dal %2 al %3. Correggere i cedolini nel programma stipendi.")
                               .arg(amountText(r.importo), dateText(r.dal), dateText(r.al)),
                           {TVelErrorCode::DatiRetributivi, QString(), TVelStage::Costruzione});
    TRagQuery t(source());
    TOvSQLQuery &tdla = t.open(s("QRY_TDLA"), {{s("IANFID"), ianfid()}});
    a.minimiTrovati = !tdla.isEmpty();
    if (a.minimiTrovati) {
        a.minimoIndeterminato = TRagQuery::amount(tdla, s("FTDLAMININD"));
        a.minimoDeterminato = TRagQuery::amount(tdla, s("FTDLAMINDET"));
    }
    a.assenze = [this] {
        TRagQuery q(source());
        return q.total(s("QRY_CUD_ASSENZE"),
                       {{s("IACOMID"), m_dip.IACOMID},
                        {s("MESE_INIZIALE"), m_dip.meseIniziale},
                        {s("MESE_FINALE"), m_dip.meseFinale}},
                       {}, s("ASSENZE"));
    };
    return a;
}

QString TVelImportCud::notaCodificata(const QString &code)
{
    if (!m_note) {
        m_note = std::make_unique<TClientDataSet>();
        VelCodeTables::load(*m_note, s("TNOT_NOTE.CDS"),
                            m_cartellaTabelle.isEmpty() ? VelCodeTables::folder() : m_cartellaTabelle);
    }
    if (!m_note->locate(s("Codice"), code))
        throw EVelError(QStringLiteral("Codice annotazione non gestito :") + code,
                        {TVelErrorCode::Generico, QString(), TVelStage::Costruzione});
    return code + QStringLiteral(") ") + m_note->fieldByName(s("Nota")).asString();
}

// ---- section builders ------------------------------------------------------------

void TVelImportCud::leggiSostituto()
{
    if (m_firmaLetta)
        return;
    const TVelImportSostituto::Firma f = TVelImportSostituto(m_store, conn(), m_queries).firma();
    m_firma = f.firma;
    m_ssosCodFis = f.codFis;
    m_firmaLetta = true;
}

void TVelImportCud::leggiPaco()
{
    if (m_pacoLetto)
        return;
    TRagQuery q(source());
    TOvSQLQuery &paco = q.open(s("QRY_PACO"), {{s("IDWGID"), idwgid()}});
    m_paco = paco.isEmpty() ? TVelParametriPaco() : TVelParametriPaco::leggi(paco);
    m_pacoLetto = true;
}

TVelImpContesto TVelImportCud::contestoSezioni()
{
    leggiPaco();
    leggiSostituto();
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
    c.paco = m_paco;
    c.SSOSCODFIS = m_ssosCodFis;
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
    if (VelCuRepository(m_store).hasRowsOf(rec::TCUDC_CONFAMCARICO::id.qs(), m_altriMesi))
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
