#include "VelCuBuilder.h"
#include "VelImportCud.h"
#include "VelImportTables.h"

#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelCuRules.h"
#include "src/prj/unit/model/VelTextFit.h"
#include "tor/calc/TorPosizioni.h"
#include "tor/calc/TorUCalcoli.h"
#include "velcu/VelFields.h"

#include <QStringList>
#include <algorithm>

using namespace VelImport;

namespace {

// Pay items of the 730 assistance and the fields they feed.
struct Voce730
{
    int icomrid;
    const VelAmountField *field;
};
constexpr Voce730 kVoci730[] = {
    {10032, &fld::fCudPrimoAccIrpef},  {10033, &fld::fCudSecondoAccIrpe}, {10036, &fld::FCUDACCADDCOMIRPEF},
    {10063, &fld::FCUDPRATACCCEDSECC}, {10065, &fld::FCUDSURATACCCEDSECC}, {10045, &fld::FCUD1ACCIRPEFCON},
    {10046, &fld::FCUD2ACCIRPEFCON},   {10047, &fld::FCUDAACOMIRPCON},    {10064, &fld::FCUDPRATACSECCON},
    {10066, &fld::FCUDSURATACSECCON},  {10039, &fld::FCUDSICTRATT},       {10041, &fld::FCUDARCTRATT},
    {10043, &fld::FCUDSACCTRATT},      {10060, &fld::FCUDSCSLCTRATT},     {10058, &fld::FCUDISPPCT},
    {10026, &fld::FCUDSITRATT},        {10027, &fld::FCUDSIRIMB},         {10028, &fld::FCUDARTRATT},
    {10029, &fld::FCUDARRIMB},         {10030, &fld::FCUDSACTRATT},       {10031, &fld::FCUDSACRIMB},
    {10059, &fld::FCUDSCSLTRATT},      {10061, &fld::FCUDSCSLRIMB},       {10057, &fld::FCUDISPPT},
    {10037, &fld::FCUDATST},           {10040, &fld::FCUDSICRIMB},        {10042, &fld::FCUDARCRIMB},
    {10044, &fld::FCUDSACCRIMB},       {10062, &fld::FCUDSCSLCRIMB},      {10048, &fld::FCUDATSCT},
};

const VelFieldId *const kFlagDefaults[] = {
    &fld::lCudApplMaggRit,    &fld::LCUDCSSOSTREDD,     &fld::LCUDRBSNST51TDIP,    &fld::LCUDRBSNST51TDIPSAS, &fld::lCudAssSanitarie,
    &fld::LCUDCONGUAGLIO,     &fld::LCUDRICNONCORR,     &fld::LCUDVEDISTR,         &fld::LCUDVEDISTRAS,       &fld::LCUDANNULLAMENTO,
    &fld::LCUDSOSTITUZIONE,   &fld::LCUDCONFERMADICH,   &fld::LCUDNORESSHUM,       &fld::LCUDINFORZA3112,     &fld::LCUDASSFISDIR,
    &fld::LCUDAFDRICHMINACC1, &fld::LCUDAFDRICHMINACC2, &fld::LCUDAFDRICHMINACC1C, &fld::LCUDAFDRICHMINACC2C, &fld::LCUDCPOSVEDIST,
    &fld::LCUDCPOSCNACFC,     &fld::LCUDRLSINFORZA3112, &fld::LCUDRLSRINFORZA3112,
};

// The items of box 374, in the order the cap walks them.
const VelAmountField *const kVociDetrazione[] = {&fld::FCUDDEDNOTAXFAM,     &fld::FCUDDETRFAMNUM, &fld::FCUDDETRDIPPENSREDD,
                                       &fld::FCUDDETCREDRULTDETR, &fld::fCudDetrOneri,  &fld::FCUDDETRCANLOC};

bool isNumeric(TFieldType t)
{
    return t == TFieldType::Integer || t == TFieldType::Currency || t == TFieldType::Float;
}

} // namespace

bool TVelPosizioniCu::fiscaleContiene(int position) const
{
    for (const QString &p : fiscale.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (p.trimmed().toInt() == position)
            return true;
    return false;
}

TVelCuBuilder::TVelCuBuilder(TClientDataSet &cu, const TVelImportOptions &options, int anno, Log log, Nota nota)
    : m_cu(cu), m_options(options), m_anno(anno), m_log(std::move(log)), m_nota(std::move(nota))
{
}

// ---- the record --------------------------------------------------------------

void TVelCuBuilder::set(const VelFieldId &field, const QVariant &v)
{
    // a text longer than its box stops the payee, never cut
    if (v.typeId() == QMetaType::QString) {
        QString who = QStringLiteral("%1 %2").arg(text(fld::SCUDCOGNOME), text(fld::SCUDNOME)).trimmed();
        const QString cf = text(fld::SCUDCODFIS);
        if (!cf.isEmpty())
            who = who.isEmpty() ? cf : QStringLiteral("%1 (%2)").arg(who, cf);
        VelTextFit::setText(m_cu, rec::TCUD_DATICUD::id.qs(), field.qs(), v.toString(), who);
        return;
    }
    m_cu.fieldByName(field.qs()).setValue(v);
}

void TVelCuBuilder::setMoney(const VelAmountField &field, Currency c)
{
    m_cu.fieldByName(field.qs()).setAsCurrency(c);
}

Currency TVelCuBuilder::money(const VelAmountField &field) const
{
    return m_cu.fieldByName(field.qs()).asCurrency();
}

QString TVelCuBuilder::text(const VelFieldId &field) const
{
    return m_cu.fieldByName(field.qs()).asString();
}

int TVelCuBuilder::integer(const VelIntegerField &field) const
{
    return int(m_cu.fieldByName(field.qs()).asInteger());
}

QDate TVelCuBuilder::date(const VelDateField &field) const
{
    return m_cu.fieldByName(field.qs()).asDate();
}

void TVelCuBuilder::log(const QString &text) const
{
    if (m_log)
        m_log(text);
}

bool TVelCuBuilder::soloZeri() const
{
    for (int i = 0; i < m_cu.fieldCount(); ++i) {
        const TFieldDef &d = m_cu.fieldDefs().at(i);
        if (!isNumeric(d.type) || d.name.compare(s(fld::iAfiID.name), Qt::CaseInsensitive) == 0
            || d.name.compare(s(fld::iFisRigo.name), Qt::CaseInsensitive) == 0)
            continue;
        const TField f = m_cu.field(i);
        if (f.isNull())
            continue;
        if (d.type == TFieldType::Currency ? !f.asCurrency().isZero() : f.asFloat() != 0)
            return false;
    }
    return true;
}

// ---- defaults and header -------------------------------------------------------

void TVelCuBuilder::nuova(const TVelIntestazione &h)
{
    set(fld::LCUDCOMPRENSIVO, s("X"));
    for (const VelFieldId *f : kFlagDefaults)
        set(*f, s("0"));

    if (!m_options.SCODFISALTRISOS.isEmpty())
        set(fld::SCUDALTROSOSCODFIS, m_options.SCODFISALTRISOS);
    set(fld::SCUDANNOFIN, QString::number(m_anno));
    set(fld::SCUDCODFIS, h.codFis);
    set(fld::SCUDMESE, h.mese);
    set(fld::LCUDIMPORTATO, s("X"));
    set(fld::SCUDCOGNOME, h.cognome);
    set(fld::SCUDNOME, h.nome);
    if (h.anagrafica) {
        set(fld::SCUDSEX, h.sesso);
        if (h.nascita.isValid())
            set(fld::DCUDDATANAS, h.nascita);
        QString comune = h.comuneNascita;
        QString prov = h.provNascita;
        if (comune.isEmpty()) {
            comune = h.statoNascita;
            // Born in a foreign state: the agency's forms write "EE".
            if (!comune.isEmpty())
                prov = s("EE");
        }
        set(fld::SCUDCOMNAS, comune);
        set(fld::SCUDPROVNAS, prov);
    }
    set(fld::DCUDDATIANADATA, QDate::currentDate());
    const int qar = h.IQARID;
    if (qar == 5 || qar == 14 || qar == 29)
        set(fld::SCUDCATEGPART, s("E"));
    else if (qar == 7 || qar == 8 || qar == 9 || qar == 12)
        set(fld::SCUDCATEGPART, s("D"));
    if (h.indirizzo) {
        set(fld::SCUDCOMDFAP, h.comune);
        set(fld::SCUDCOMDFAC, h.comune);
        set(fld::SCUDPROVDFAP, h.prov);
        set(fld::SCUDPROVDFAC, h.prov);
        set(fld::SCUDCAPDFAP, h.codCatastale);
        set(fld::SCUDCAPDFAC, h.codCatastale);
    }
    if (!h.firma.isEmpty())
        set(fld::SCUDDATIANAFIRMA, h.firma);
}

// ---- employment data ------------------------------------------------------------

void TVelCuBuilder::datiLavoro(const TVelPosizioniCu &pos, const TVelRapportoCu &rapporto, const TVelDatiLavoro &d)
{
    if (d.conguaglio)
        set(fld::LCUDCONGUAGLIO, s("X"));
    if (d.fiscali)
        datiFiscali(pos, rapporto, *d.fiscali);
    if (d.pagamentiNoiPa)
        set(fld::LCUDCPOSCNACFC, s("X"));
    fondoPensione(d.fondo);
    set(fld::LCUDCOMPRENSIVO, s("X"));
}

void TVelCuBuilder::datiFiscali(const TVelPosizioniCu &pos, const TVelRapportoCu &rapporto, const TVelValoriFiscali &v)
{
    // Scholarship income, when the payroll has no other taxable income.
    if (v.imponibile.isZero() && pos.fiscaleContiene(TorPosizioni::Borsista)) {
        setMoney(fld::FCUDREDDESAMM2, v.borsista);
        set(fld::SCUDREDDESCOD2, s("23"));
    }
    set(fld::iCudPeriodoLav, v.giorni);
    setMoney(fld::fCudRitIrpef, v.impostaNetta);
    if (v.impostaNetta > Currency())
        setMoney(fld::fCudRitIrpefSos, std::min(v.ritenuteSospese, v.impostaNetta));
    addizionali(v);
    setMoney(fld::FCUDIMPLORDA, v.impostaLorda);
    detrazioni(v);
    // The income of the relationship: box 1 for open-ended employment,
    // box 2 otherwise.
    if (v.imponibile > Currency()) {
        if (TorPosizioni::indeterminato(rapporto.ITNOID)) {
            setMoney(fld::fCudReddDetr, v.imponibile);
            set(fld::SCUDDETINDET, s("1"));
        } else {
            setMoney(fld::FCUDREDDETTRDET, v.imponibile);
            set(fld::SCUDDETINDET, s("2"));
        }
    }
    redditiAltriSoggetti(v.altriSoggetti);
    compensiEArretrati(v);
    assistenza730(v.voci730);
}

void TVelCuBuilder::addizionali(const TVelValoriFiscali &v)
{
    // The municipal surcharge: withheld, then the amount due as advance
    // (without adjustment, when asked) or as balance.
    setMoney(fld::fCudAddComIrpef, v.addComTrattenuta);
    if (m_options.ACCONTO_ADD_COM_ANNO && v.standard)
        setMoney(fld::fCudAddComIrpef, money(fld::fCudAddComIrpef) + v.addComDovuta);
    else
        setMoney(fld::FCUDADDCOMSALDO, v.addComDovuta);
    // The advance of next year's municipal surcharge: 30 %.
    const Currency com = money(fld::fCudAddComIrpef) + money(fld::FCUDADDCOMSALDO);
    if (m_options.ACCONTO_ADD_COM && com > Currency())
        setMoney(fld::fCudAddComIrpefAC, TTorCalcola::percentage(com, Currency::fromInt(30), 2));
    setMoney(fld::fCudAddRegIrpef, v.addRegDovuta);
}

void TVelCuBuilder::compensiEArretrati(const TVelValoriFiscali &v)
{
    // The integrative treatment due.
    if (v.bonus > Currency()) {
        set(fld::SCUDTICODTRATT, s("1"));
        setMoney(fld::FCUDTITRATTERO, v.bonus);
    } else {
        set(fld::SCUDTICODTRATT, s("2"));
    }
    if (m_options.ARRETRATI_DETR) {
        setMoney(fld::FCUDTCOMPARRDETR, v.arretrati);
        setMoney(fld::FCUDCRAPCOMARRDET, v.arretrati);
    } else {
        setMoney(fld::FCUDTCOMPARRNODETR, v.arretrati);
        setMoney(fld::FCUDCRAPCOMARRNODET, v.arretrati);
    }
    setMoney(fld::FCUDTOTRITOPER, v.ritenuteOperate);
    setMoney(fld::FCUDCRAPRITOP, money(fld::FCUDTOTRITOPER));
}

void TVelCuBuilder::assistenza730(const QHash<int, Currency> &totali)
{
    for (const Voce730 &v : kVoci730)
        if (totali.contains(v.icomrid))
            setMoney(*v.field, totali.value(v.icomrid));
}

void TVelCuBuilder::fondoPensione(const TVelFondoPensione &f)
{
    if (f.contributi <= Currency())
        return;
    if (f.adesione.isValid() && f.adesione >= QDate(2007, 1, 1))
        set(fld::DCUDDTISCFONDO, f.adesione);
    setMoney(fld::fCudContrEsclusi, f.contributi);
    if (!m_cu.fieldByName(s(fld::DCUDDTISCFONDO.name)).isNull()) {
        setMoney(fld::FCUDPRSOCVERSANN, f.contributi);
        setMoney(fld::FCUDCONTRIBPREVCOMP, f.contributi);
    }
    setMoney(fld::FCUDPRECOMTFRFONDO, f.tfr);
}

// ---- deductions and other employers' income ---------------------------------------

void TVelCuBuilder::tagliaDetrazioni(Currency total, QList<Currency *> items)
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

void TVelCuBuilder::detrazioni(const TVelValoriFiscali &v)
{
    // The payroll keeps the additional deduction (368) apart from the
    // employment deduction (367); only a total that counts it inside 367
    // (the items without 368 make the total) has it taken out of 367.
    setMoney(fld::FCUDDEDNOTAXFAM, v.detrazioni.detrFamiliari);
    Currency lavoro = v.detrazioni.detrLavoro;
    if (v.detrazioni.detrAggiuntiva > Currency()) {
        const Currency senza = v.detrazioni.detrFamiliari + v.detrazioni.detrFamNum + v.detrazioni.detrLavoro + money(fld::fCudDetrOneri) + v.detrazioni.detrCanLoc;
        if (senza == v.detrazioni.detrTotale)
            lavoro = TTorCalcola::positiveDifference(lavoro, v.detrazioni.detrAggiuntiva);
        setMoney(fld::FCUDDETCREDRULTDETR, v.detrazioni.detrAggiuntiva);
    }
    setMoney(fld::FCUDDETRDIPPENSREDD, lavoro);
    // The total: what the payroll computed, never above the gross tax less
    // the net tax.
    setMoney(fld::FCUDTOTDETR,
             std::min(v.detrazioni.detrTotale, TTorCalcola::positiveDifference(money(fld::FCUDIMPLORDA), money(fld::fCudRitIrpef))));
    setMoney(fld::FCUDDETRIMPNETTA, v.detrazioni.impostaNettaCalcolata);
    setMoney(fld::FCUDDETRFAMNUM, v.detrazioni.detrFamNum);
    setMoney(fld::FCUDCREDFAMNUM, v.detrazioni.credFamNum);
    setMoney(fld::FCUDCREDNRFAMNUM, v.detrazioni.credNrFamNum);
    setMoney(fld::FCUDDETRCANLOC, v.detrazioni.detrCanLoc);
    setMoney(fld::FCUDCREDCANLOC, v.detrazioni.credCanLoc);
    setMoney(fld::FCUDCREDNRCANLOC, v.detrazioni.credNrCanLoc);
    // The items add up to no more than the total: whenever they exceed it (a
    // cap that binds exactly, net tax zero, included) they are cut in order
    // until they make it.
    constexpr int n = int(std::size(kVociDetrazione));
    Currency values[n];
    QList<Currency *> items;
    Currency somma;
    for (int i = 0; i < n; ++i) {
        values[i] = money(*kVociDetrazione[i]);
        somma += values[i];
        items << &values[i];
    }
    const Currency tot = money(fld::FCUDTOTDETR);
    if (somma <= tot)
        return;
    tagliaDetrazioni(tot, items);
    for (int i = 0; i < n; ++i)
        if (values[i] != money(*kVociDetrazione[i]))
            setMoney(*kVociDetrazione[i], values[i]);
}

void TVelCuBuilder::redditiAltriSoggetti(Currency altri)
{
    if (altri <= Currency())
        return;
    // The income of the relationship is in box 1 (open-ended) or box 2
    // (fixed-term); the other employers' share goes with it, in 531/539 or
    // 532/540, each labelled "already included in box" 1 or 2.
    const bool indeterminato = !money(fld::fCudReddDetr).isZero();
    const Currency punto = money(indeterminato ? fld::fCudReddDetr : fld::FCUDREDDETTRDET);
    const int box = indeterminato ? 1 : 2;
    if (altri > punto) {
        log(QStringLiteral("Redditi di altri soggetti conguagliati (%1) superiori al reddito del punto %2 "
                           "(%3): non riportati nei punti %4 e %5.")
                .arg(amountText(altri), QString::number(box), amountText(punto))
                .arg(530 + box)
                .arg(538 + box));
        return;
    }
    setMoney(indeterminato ? fld::FCUDIMPONPTO1 : fld::FCUDIMPONPTO2, altri);
    setMoney(indeterminato ? fld::FCUDREDDCONGP1 : fld::FCUDREDDCONGP2, altri);
    log(QStringLiteral("Redditi di altri soggetti conguagliati: %1 nei punti %2 e %3.\r\n"
                       "  Indicare codice fiscale dell'altro sostituto e causa (punti 537 e 538).")
            .arg(amountText(altri))
            .arg(530 + box)
            .arg(538 + box));
}

// ---- annotations ------------------------------------------------------------------

QString TVelCuBuilder::testoPeriodi(const QList<TVelRigaPeriodo> &rows, int *count)
{
    QList<TVelRigaPeriodo> periods;
    for (const TVelRigaPeriodo &r : rows) {
        if (!r.dal.isValid())
            continue;
        const QDate al = r.al.isValid() ? r.al : r.dal;
        if (!periods.isEmpty() && periods.last().al.isValid() && r.dal <= periods.last().al.addDays(1)) {
            TVelRigaPeriodo &p = periods.last();
            p.al = std::max(p.al, al);
            p.importo += r.importo;
        } else {
            periods.append({r.dal, al, r.importo});
        }
    }
    // A period paid nothing taxable (a scholarship) says nothing.
    periods.removeIf([](const TVelRigaPeriodo &p) { return p.importo.isZero(); });
    if (count)
        *count = int(periods.size());
    if (periods.isEmpty())
        return QString();
    QStringList parts;
    for (const TVelRigaPeriodo &p : periods)
        parts << QStringLiteral("dal:") + dateText(p.dal) + QStringLiteral(" al: ") + dateText(p.al)
                     + QStringLiteral(" per un importo di %1").arg(amountText(p.importo));
    return parts.join(QStringLiteral("; ")) + QStringLiteral("\r\n");
}

void TVelCuBuilder::annotazioni(const TVelPosizioniCu &pos, const TVelRapportoCu &rapporto,
                                const TVelDatiAnnotazioni &a)
{
    if (text(fld::SCUDCASIESCPREC) == QLatin1String("2"))
        return;
    QString note = text(fld::SCUDANNOTAZIONI);
    int nPeriods = 0;
    const QString periodi = testoPeriodi(a.periodi, &nPeriods);

    if (text(fld::LCUDCONGUAGLIO) == QLatin1String("0"))
        note += QStringLiteral("Conguaglio non effettuato\r\n");
    if (text(fld::LCUDCOMPRENSIVO) == QLatin1String("X"))
        note += QStringLiteral("ZZ) Il presente annulla e sostituisce eventuali CUD precedenti\r\n");
    if (!pos.fiscale.isEmpty() && integer(fld::iCudPeriodoLav) < GIORNI_ANNO && !periodi.isEmpty())
        note += QStringLiteral("AI) ") + periodi;

    rapportoNellAnno(pos, rapporto, nPeriods, a, note);
    controlloGiorni(pos, rapporto);
    if (integer(fld::iCudPeriodoLav) > GIORNI_ANNO)
        set(fld::iCudPeriodoLav, GIORNI_ANNO);
    noteCodificate(rapporto, a, note);
    set(fld::SCUDANNOTAZIONI, note);
}

// The relationship's boxes: the income's type and amount, its dates, the
// mark of a relationship in force on 31 December and the particular periods.
void TVelCuBuilder::rapportoNellAnno(const TVelPosizioniCu &pos, const TVelRapportoCu &rapporto, int periodi,
                                     const TVelDatiAnnotazioni &a, QString &note)
{
    const Currency redditi = money(fld::fCudReddDetr) + money(fld::FCUDREDDETTRDET);
    if (redditi <= Currency())
        return;
    // Box 718: "1" when boxes 1 and 2 hold employment income entitled to the
    // sum outside income and the further detraction, "2" when they do not
    // (collaborations only: assimilated income is left out of both).
    set(fld::SCUDSNCFRTIPOLOGIA, pos.fiscale.isEmpty() ? s("2") : s("1"));
    set(fld::SCUDPTRCOD1, pos.fiscale.isEmpty() ? s("6") : s("1"));
    setMoney(fld::FCUDPTRIMP1, redditi);
    if (rapporto.inizio.isValid())
        set(fld::DCUDDATINIRL, rapporto.inizio);
    else
        log(QStringLiteral("Data inizio rapporto in anagrafica non è impostata."));
    const QDate fine = rapporto.fine;
    if (fine.isValid() && fine.year() == m_anno) {
        set(fld::DCUDDATFINRL, fine);
        if (text(fld::LCUDCONGUAGLIO) == QLatin1String("X"))
            note += QStringLiteral("Data fine: ") + dateText(fine) + QStringLiteral("\r\n");
    } else if (!fine.isValid() || fine.year() > m_anno) {
        // In force on 31 December: open-ended, or ending after the year.
        set(fld::LCUDINFORZA3112, s("X"));
    }
    if (periodi > 1) {
        set(fld::ICUDPERPART, s("1"));
        return;
    }
    const Currency assenze = !pos.fiscale.isEmpty() && a.assenze ? a.assenze() : Currency();
    if (assenze > Currency())
        set(fld::ICUDPERPART, s("2"));
    else if (integer(fld::iCudPeriodoLav) == 0)
        set(fld::ICUDPERPART, s("4"));
}

// The coded notes AL, AC, CC and AN, from the boxes already written.
void TVelCuBuilder::noteCodificate(const TVelRapportoCu &rapporto, const TVelDatiAnnotazioni &a, QString &note)
{
    auto line = [&](const QString &code) { note += m_nota(code) + QStringLiteral("\r\n"); };
    const int giorni = integer(fld::iCudPeriodoLav);
    const bool senzaConguaglio = text(fld::LCUDCONGUAGLIO) == QLatin1String("0");
    const QDate fineRl = date(fld::DCUDDATFINRL);
    const bool fineNellAnno = fineRl.isValid() && fineRl.year() == m_anno;
    if (giorni < GIORNI_ANNO && (!money(fld::fCudAddRegIrpef).isZero() || !money(fld::fCudAddComIrpef).isZero())
        && (senzaConguaglio || (text(fld::LCUDCONGUAGLIO) == QLatin1String("X") && fineNellAnno)))
        line(s("AL"));
    if (giorni < GIORNI_ANNO && money(fld::FCUDDEDNOTAXFAM) > Currency() && senzaConguaglio)
        line(s("AC"));
    if (money(fld::fCudContrEsclusi) > Currency() && senzaConguaglio)
        line(s("CC"));
    // The minimum employment deduction.
    if (a.minimiTrovati) {
        const Currency minimo =
            TorPosizioni::indeterminato(rapporto.ITNOID) ? a.minimoIndeterminato : a.minimoDeterminato;
        if (money(fld::FCUDDETRDIPPENSREDD) < minimo && money(fld::FCUDIMPLORDA) > Currency())
            line(s("AN"));
    }
}

void TVelCuBuilder::controlloGiorni(const TVelPosizioniCu &pos, const TVelRapportoCu &rapporto)
{
    const int year = m_anno;
    const int giorni = integer(fld::iCudPeriodoLav);
    const QString perPart = text(fld::ICUDPERPART).trimmed();
    if (giorni == 0 && !money(fld::fCudReddDetr).isZero() && perPart.isEmpty() && pos.cococo.isEmpty()) {
        set(fld::ICUDPERPART, s("4"));
        if (text(fld::LCUDCPOSCNACFC) != QLatin1String("X"))
            log(QStringLiteral("Non sono presenti giorni per detrazioni, si presume siano stati pagati solo compensi "
                               "accessori.\r\n  Impostato in automatico il codice 4 sul punto \"11 - Periodi "
                               "Particolari\""));
        return;
    }
    if (giorni == 0)
        return;
    const bool piuAnni = (rapporto.inizio.isValid() && rapporto.inizio.year() < year)
                         || (rapporto.fine.isValid() && rapporto.fine.year() > year);
    // Box 6 never holds more days than the relationship has in the year;
    // with other employers' income taken in (531-536), their periods count
    // too, within the year: the rule the coherence check reads the box by.
    const VelCuRules::PeriodoLavoro periodo = VelCuRules::periodoLavoro(
        year, date(fld::DCUDDATINIRL), date(fld::DCUDDATFINRL),
        VelCuRules::altriSostituti([this](const VelAmountField &field) { return money(field); }));
    const int calcolati = periodo.rapporto;
    const int limite = periodo.massimo;
    const bool oltre = giorni > limite;
    if (oltre)
        set(fld::iCudPeriodoLav, limite);
    if (oltre && !pos.cococo.isEmpty() && piuAnni)
        log(QStringLiteral("Periodo di lavoro per co.co.co. su più anni. Giorni per detrazioni impostate "
                           "automaticamente.\r\n  Su dati retributivi inserito: %1, calcolato sul periodo "
                           "lavorato nell'anno: %2.")
                .arg(giorni)
                .arg(calcolati));
    else if (giorni != calcolati && perPart.isEmpty())
        log(QStringLiteral("Giorni per detrazioni non congruenti con i giorni di lavoro calcolati (%1):\r\n "
                           " (verificare campi 6,8 e 9 dei Dati fiscali)")
                .arg(calcolati)
            + (oltre ? giorniScritti(giorni, limite) : QString()));
    else if (oltre)
        log(QStringLiteral("Giorni per detrazioni oltre il periodo del rapporto nell'anno.")
            + giorniScritti(giorni, limite));
}

QString TVelCuBuilder::giorniScritti(int payroll, int written)
{
    return QStringLiteral("\r\n  Su dati retributivi: %1; nel punto 6 indicati: %2.").arg(payroll).arg(written);
}
