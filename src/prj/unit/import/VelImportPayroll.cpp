#include "VelImportPayroll.h"
#include "VelImportCud.h"
#include "VelImportTables.h"

#include "VelCudReader.h"
#include "VelImportSostituto.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "rag/calc/ragUQuery.h"
#include "src/prj/unit/model/VelCodeTables.h"
#include "src/prj/unit/model/VelError.h"
#include "tor/calc/TorPosizioni.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorAnni.h"

using namespace VelImport;

namespace {

constexpr int COMR_RIT_IRPEF_SOSPESE = 10054;
constexpr int COMR_GRUPPO_730 = 4;

} // namespace

TVelImportPayroll::TVelImportPayroll(TTorDBCds &store, TTorQueryText &queries, const TVelImportOptions &options)
    : m_store(store), m_queries(queries), m_options(options)
{
}

TVelImportPayroll::~TVelImportPayroll() = default;

void TVelImportPayroll::nuovaRun(const TRagLocalCopy *copy, int anno)
{
    m_copy = copy;
    m_anno = anno;
    m_firmaLetta = false;
    m_pacoLetto = false;
}

void TVelImportPayroll::dipendente(const TVelCandidato &dip, TClientDataSet &acom, TClientDataSet &abt)
{
    m_dip = dip;
    m_acom = &acom;
    m_abt = &abt;
    m_pos = TVelPosizioniCu();
}

TOvSQLConnection &TVelImportPayroll::conn() const
{
    if (!m_store.connection())
        throw EAssertionFailed(QStringLiteral("Importazione senza connessione al database"));
    return *m_store.connection();
}

TRagSource TVelImportPayroll::source() const
{
    return {&conn(), &m_queries, m_copy};
}

int TVelImportPayroll::ianfid() const
{
    return TorAnni::toKey(m_anno);
}

QString TVelImportPayroll::nominativo() const
{
    return m_dip.cognome.trimmed() + QLatin1Char(' ') + m_dip.nome.trimmed();
}

// ---- positions ---------------------------------------------------------------

const TVelPosizioniCu &TVelImportPayroll::scegliPosizioni(const Posizioni &dialog)
{
    m_pos = TVelPosizioniCu();
    if (m_options.ICALID == TorPosizioni::CategoriaSoloAutonomi)
        return m_pos;

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
        if (dialog)
            dialog(rows, cococo, nominativo());
        rows.checkBrowseMode();
        m_pos = posizioniDaRighe(rows, cococo);
    } else if (count == 1 && position == TorPosizioni::Cococo) {
        m_pos.cococo = QString::number(TorPosizioni::Cococo);
    } else if (count == 1 && m_options.ICALID == 0) {
        m_pos = posizioniDaRighe(rows, cococo);
    } else if (count == 1) {
        m_pos.fiscale = m_pos.inps = QString::number(position);
    }
    return m_pos;
}

TVelPosizioniCu TVelImportPayroll::posizioniDaRighe(TClientDataSet &rows, bool cococo) const
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

QList<TVelImpAutonomi::Registro> TVelImportPayroll::registriAutonomi()
{
    if (m_options.ICALID != 0 && m_options.ICALID != TorPosizioni::CategoriaSoloAutonomi)
        return {};
    TVelImpContesto c;
    c.connection = &conn();
    c.queries = &m_queries;
    c.copy = m_copy;
    c.IACOMID = m_dip.IACOMID;
    c.listaFiscale = m_pos.fiscale;
    return TVelImpAutonomi::leggiRegistri(c);
}

// ---- the payroll read for the builder ------------------------------------------------

TVelIntestazione TVelImportPayroll::intestazione(const QString &codFis, const QString &mese)
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

TVelRapportoCu TVelImportPayroll::rapporto() const
{
    TVelRapportoCu r;
    r.ITNOID = int(m_acom->fieldByName(s("ITNOID")).asInteger());
    r.inizio = m_acom->fieldByName(s("DACOMINIRAPP")).asDate();
    r.fine = m_acom->fieldByName(s("DACOMFINERAPP")).asDate();
    return r;
}

TVelDatiLavoro TVelImportPayroll::datiLavoro()
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
    state.copy = m_copy;
    reader->inizializza(state);
    // No fiscal amounts for an INPS-only run or without a fiscal position.
    if (!m_options.SOLOINPS && (!m_pos.fiscale.isEmpty() || !m_pos.cococo.isEmpty()))
        d.fiscali = valoriFiscali(*reader);
    d.pagamentiNoiPa = state.LCUDCPOSCNACFC;
    d.fondo = fondoPensione();
    return d;
}

// The reader's figures, asked in the order of the boxes they fill.
TVelValoriFiscali TVelImportPayroll::valoriFiscali(TCudStd &r)
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

TVelFondoPensione TVelImportPayroll::fondoPensione()
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

TVelDatiAnnotazioni TVelImportPayroll::annotazioni()
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

QString TVelImportPayroll::notaCodificata(const QString &code)
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

// ---- read once per run ------------------------------------------------------------

void TVelImportPayroll::leggiSostituto()
{
    if (m_firmaLetta)
        return;
    const TVelImportSostituto::Firma f = TVelImportSostituto(m_store, conn(), m_queries).firma();
    m_firma = f.firma;
    m_ssosCodFis = f.codFis;
    m_firmaLetta = true;
}

const TVelParametriPaco &TVelImportPayroll::paco()
{
    if (m_pacoLetto)
        return m_paco;
    TRagQuery q(source());
    TOvSQLQuery &paco = q.open(s("QRY_PACO"), {{s("IDWGID"), m_options.IDWGID}});
    m_paco = paco.isEmpty() ? TVelParametriPaco() : TVelParametriPaco::leggi(paco);
    m_pacoLetto = true;
    return m_paco;
}

const QString &TVelImportPayroll::codFisSostituto()
{
    leggiSostituto();
    return m_ssosCodFis;
}

