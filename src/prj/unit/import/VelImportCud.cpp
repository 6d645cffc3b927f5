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
#include "src/prj/unit/model/VelCodeTables.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "tor/calc/TorUCalcoli.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorUUtil.h"

#include <QHash>
#include <algorithm>

using namespace VelImport;

namespace {

// Legal positions and qualifications with a fixed meaning here.
constexpr int TNO_COCOCO = 11;
constexpr int TNO_BORSISTA = 17;
constexpr int TNO_LIB_PROF = 14;
constexpr int CAL_SOLO_AUTONOMI = 7;
constexpr int COMR_RIT_IRPEF_SOSPESE = 10054;
constexpr int COMR_GRUPPO_730 = 4;
constexpr int RICE_COD_IRPEF_TS = 12;

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


bool inList(const QString &list, int value)
{
    for (const QString &p : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (p.trimmed().toInt() == value)
            return true;
    return false;
}


bool isNumeric(TFieldType t)
{
    return t == TFieldType::Integer || t == TFieldType::Currency || t == TFieldType::Float;
}


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
        QString prov = sex.fieldByName(s("PRO_NAS_SPROSIGLA")).asString();
        if (comune.isEmpty()) {
            comune = sex.fieldByName(s("STA_NAS_SSTADESC")).asString();
            // Born in a foreign state: the agency's forms write "EE".
            if (!comune.isEmpty())
                prov = s("EE");
        }
        set("SCUDCOMNAS", comune);
        set("SCUDPROVNAS", prov);
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
    // 8.
    setMoney("FCUDIMPLORDA", r.impostaLorda());
    // 7., 9., 11. and 12.
    detrazioni(r);
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
    // 10., in the box of the income.
    redditiAltriSoggetti(r.valoreCampo(s("FCONGIMPONIBILE_P")));
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
