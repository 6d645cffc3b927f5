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
    const char *field;
};
constexpr Voce730 kVoci730[] = {
    {10032, fld::fCudPrimoAccIrpef.name},  {10033, fld::fCudSecondoAccIrpe.name}, {10036, fld::FCUDACCADDCOMIRPEF.name},
    {10063, fld::FCUDPRATACCCEDSECC.name}, {10065, fld::FCUDSURATACCCEDSECC.name}, {10045, fld::FCUD1ACCIRPEFCON.name},
    {10046, fld::FCUD2ACCIRPEFCON.name},   {10047, fld::FCUDAACOMIRPCON.name},    {10064, fld::FCUDPRATACSECCON.name},
    {10066, fld::FCUDSURATACSECCON.name},  {10039, fld::FCUDSICTRATT.name},       {10041, fld::FCUDARCTRATT.name},
    {10043, fld::FCUDSACCTRATT.name},      {10060, fld::FCUDSCSLCTRATT.name},     {10058, fld::FCUDISPPCT.name},
    {10026, fld::FCUDSITRATT.name},        {10027, fld::FCUDSIRIMB.name},         {10028, fld::FCUDARTRATT.name},
    {10029, fld::FCUDARRIMB.name},         {10030, fld::FCUDSACTRATT.name},       {10031, fld::FCUDSACRIMB.name},
    {10059, fld::FCUDSCSLTRATT.name},      {10061, fld::FCUDSCSLRIMB.name},       {10057, fld::FCUDISPPT.name},
    {10037, fld::FCUDATST.name},           {10040, fld::FCUDSICRIMB.name},        {10042, fld::FCUDARCRIMB.name},
    {10044, fld::FCUDSACCRIMB.name},       {10062, fld::FCUDSCSLCRIMB.name},      {10048, fld::FCUDATSCT.name},
};

const char *const kFlagDefaults[] = {
    fld::lCudApplMaggRit.upper,    fld::LCUDCSSOSTREDD.name,     fld::LCUDRBSNST51TDIP.name,    fld::LCUDRBSNST51TDIPSAS.name, fld::lCudAssSanitarie.upper,
    fld::LCUDCONGUAGLIO.name,     fld::LCUDRICNONCORR.name,     fld::LCUDVEDISTR.name,         fld::LCUDVEDISTRAS.name,       fld::LCUDANNULLAMENTO.name,
    fld::LCUDSOSTITUZIONE.name,   fld::LCUDCONFERMADICH.name,   fld::LCUDNORESSHUM.name,       fld::LCUDINFORZA3112.name,     fld::LCUDASSFISDIR.name,
    fld::LCUDAFDRICHMINACC1.name, fld::LCUDAFDRICHMINACC2.name, fld::LCUDAFDRICHMINACC1C.name, fld::LCUDAFDRICHMINACC2C.name, fld::LCUDCPOSVEDIST.name,
    fld::LCUDCPOSCNACFC.name,     fld::LCUDRLSINFORZA3112.name, fld::LCUDRLSRINFORZA3112.name,
};

// The items of box 374, in the order the cap walks them.
const char *const kVociDetrazione[] = {fld::FCUDDEDNOTAXFAM.name,     fld::FCUDDETRFAMNUM.name, fld::FCUDDETRDIPPENSREDD.name,
                                       fld::FCUDDETCREDRULTDETR.name, fld::fCudDetrOneri.upper,  fld::FCUDDETRCANLOC.name};

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

void TVelCuBuilder::set(const char *field, const QVariant &v)
{
    // a text longer than its box stops the payee, never cut
    if (v.typeId() == QMetaType::QString) {
        QString who = QStringLiteral("%1 %2").arg(text(fld::SCUDCOGNOME.name), text(fld::SCUDNOME.name)).trimmed();
        const QString cf = text(fld::SCUDCODFIS.name);
        if (!cf.isEmpty())
            who = who.isEmpty() ? cf : QStringLiteral("%1 (%2)").arg(who, cf);
        VelTextFit::setText(m_cu, s(rec::TCUD_DATICUD::id.name), s(field), v.toString(), who);
        return;
    }
    m_cu.fieldByName(s(field)).setValue(v);
}

void TVelCuBuilder::setMoney(const char *field, Currency c)
{
    m_cu.fieldByName(s(field)).setAsCurrency(c);
}

Currency TVelCuBuilder::money(const char *field) const
{
    return m_cu.fieldByName(s(field)).asCurrency();
}

QString TVelCuBuilder::text(const char *field) const
{
    return m_cu.fieldByName(s(field)).asString();
}

int TVelCuBuilder::integer(const char *field) const
{
    return int(m_cu.fieldByName(s(field)).asInteger());
}

QDate TVelCuBuilder::date(const char *field) const
{
    return m_cu.fieldByName(s(field)).asDate();
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
    set(fld::LCUDCOMPRENSIVO.name, s("X"));
    for (const char *f : kFlagDefaults)
        set(f, s("0"));

    if (!m_options.SCODFISALTRISOS.isEmpty())
        set(fld::SCUDALTROSOSCODFIS.name, m_options.SCODFISALTRISOS);
    set(fld::SCUDANNOFIN.name, QString::number(m_anno));
    set(fld::SCUDCODFIS.name, h.codFis);
    set(fld::SCUDMESE.name, h.mese);
    set(fld::LCUDIMPORTATO.name, s("X"));
    set(fld::SCUDCOGNOME.name, h.cognome);
    set(fld::SCUDNOME.name, h.nome);
    if (h.anagrafica) {
        set(fld::SCUDSEX.name, h.sesso);
        if (h.nascita.isValid())
            set(fld::DCUDDATANAS.name, h.nascita);
        QString comune = h.comuneNascita;
        QString prov = h.provNascita;
        if (comune.isEmpty()) {
            comune = h.statoNascita;
            // Born in a foreign state: the agency's forms write "EE".
            if (!comune.isEmpty())
                prov = s("EE");
        }
        set(fld::SCUDCOMNAS.name, comune);
        set(fld::SCUDPROVNAS.name, prov);
    }
    set(fld::DCUDDATIANADATA.name, QDate::currentDate());
    const int qar = h.IQARID;
    if (qar == 5 || qar == 14 || qar == 29)
        set(fld::SCUDCATEGPART.name, s("E"));
    else if (qar == 7 || qar == 8 || qar == 9 || qar == 12)
        set(fld::SCUDCATEGPART.name, s("D"));
    if (h.indirizzo) {
        set(fld::SCUDCOMDFAP.name, h.comune);
        set(fld::SCUDCOMDFAC.name, h.comune);
        set(fld::SCUDPROVDFAP.name, h.prov);
        set(fld::SCUDPROVDFAC.name, h.prov);
        set(fld::SCUDCAPDFAP.name, h.codCatastale);
        set(fld::SCUDCAPDFAC.name, h.codCatastale);
    }
    if (!h.firma.isEmpty())
        set(fld::SCUDDATIANAFIRMA.name, h.firma);
}

// ---- employment data ------------------------------------------------------------

void TVelCuBuilder::datiLavoro(const TVelPosizioniCu &pos, const TVelRapportoCu &rapporto, const TVelDatiLavoro &d)
{
    if (d.conguaglio)
        set(fld::LCUDCONGUAGLIO.name, s("X"));
    if (d.fiscali)
        datiFiscali(pos, rapporto, *d.fiscali);
    if (d.pagamentiNoiPa)
        set(fld::LCUDCPOSCNACFC.name, s("X"));
    fondoPensione(d.fondo);
    set(fld::LCUDCOMPRENSIVO.name, s("X"));
}

void TVelCuBuilder::datiFiscali(const TVelPosizioniCu &pos, const TVelRapportoCu &rapporto, const TVelValoriFiscali &v)
{
    // Scholarship income, when the payroll has no other taxable income.
    if (v.imponibile.isZero() && pos.fiscaleContiene(TorPosizioni::Borsista)) {
        setMoney(fld::FCUDREDDESAMM2.name, v.borsista);
        set(fld::SCUDREDDESCOD2.name, s("23"));
    }
    set(fld::iCudPeriodoLav.upper, v.giorni);
    setMoney(fld::fCudRitIrpef.upper, v.impostaNetta);
    if (v.impostaNetta > Currency())
        setMoney(fld::fCudRitIrpefSos.upper, std::min(v.ritenuteSospese, v.impostaNetta));
    addizionali(v);
    setMoney(fld::FCUDIMPLORDA.name, v.impostaLorda);
    detrazioni(v);
    // The income of the relationship: box 1 for open-ended employment,
    // box 2 otherwise.
    if (v.imponibile > Currency()) {
        if (TorPosizioni::indeterminato(rapporto.ITNOID)) {
            setMoney(fld::fCudReddDetr.upper, v.imponibile);
            set(fld::SCUDDETINDET.name, s("1"));
        } else {
            setMoney(fld::FCUDREDDETTRDET.name, v.imponibile);
            set(fld::SCUDDETINDET.name, s("2"));
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
    setMoney(fld::fCudAddComIrpef.upper, v.addComTrattenuta);
    if (m_options.ACCONTO_ADD_COM_ANNO && v.standard)
        setMoney(fld::fCudAddComIrpef.upper, money(fld::fCudAddComIrpef.upper) + v.addComDovuta);
    else
        setMoney(fld::FCUDADDCOMSALDO.name, v.addComDovuta);
    // The advance of next year's municipal surcharge: 30 %.
    const Currency com = money(fld::fCudAddComIrpef.upper) + money(fld::FCUDADDCOMSALDO.name);
    if (m_options.ACCONTO_ADD_COM && com > Currency())
        setMoney(fld::fCudAddComIrpefAC.upper, TTorCalcola::percentage(com, Currency::fromInt(30), 2));
    setMoney(fld::fCudAddRegIrpef.upper, v.addRegDovuta);
}

void TVelCuBuilder::compensiEArretrati(const TVelValoriFiscali &v)
{
    // The integrative treatment due.
    if (v.bonus > Currency()) {
        set(fld::SCUDTICODTRATT.name, s("1"));
        setMoney(fld::FCUDTITRATTERO.name, v.bonus);
    } else {
        set(fld::SCUDTICODTRATT.name, s("2"));
    }
    if (m_options.ARRETRATI_DETR) {
        setMoney(fld::FCUDTCOMPARRDETR.name, v.arretrati);
        setMoney(fld::FCUDCRAPCOMARRDET.name, v.arretrati);
    } else {
        setMoney(fld::FCUDTCOMPARRNODETR.name, v.arretrati);
        setMoney(fld::FCUDCRAPCOMARRNODET.name, v.arretrati);
    }
    setMoney(fld::FCUDTOTRITOPER.name, v.ritenuteOperate);
    setMoney(fld::FCUDCRAPRITOP.name, money(fld::FCUDTOTRITOPER.name));
}

void TVelCuBuilder::assistenza730(const QHash<int, Currency> &totali)
{
    for (const Voce730 &v : kVoci730)
        if (totali.contains(v.icomrid))
            setMoney(v.field, totali.value(v.icomrid));
}

void TVelCuBuilder::fondoPensione(const TVelFondoPensione &f)
{
    if (f.contributi <= Currency())
        return;
    if (f.adesione.isValid() && f.adesione >= QDate(2007, 1, 1))
        set(fld::DCUDDTISCFONDO.name, f.adesione);
    setMoney(fld::fCudContrEsclusi.upper, f.contributi);
    if (!m_cu.fieldByName(s(fld::DCUDDTISCFONDO.name)).isNull()) {
        setMoney(fld::FCUDPRSOCVERSANN.name, f.contributi);
        setMoney(fld::FCUDCONTRIBPREVCOMP.name, f.contributi);
    }
    setMoney(fld::FCUDPRECOMTFRFONDO.name, f.tfr);
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
    setMoney(fld::FCUDDEDNOTAXFAM.name, v.detrazioni.detrFamiliari);
    Currency lavoro = v.detrazioni.detrLavoro;
    if (v.detrazioni.detrAggiuntiva > Currency()) {
        const Currency senza = v.detrazioni.detrFamiliari + v.detrazioni.detrFamNum + v.detrazioni.detrLavoro + money(fld::fCudDetrOneri.upper) + v.detrazioni.detrCanLoc;
        if (senza == v.detrazioni.detrTotale)
            lavoro = TTorCalcola::positiveDifference(lavoro, v.detrazioni.detrAggiuntiva);
        setMoney(fld::FCUDDETCREDRULTDETR.name, v.detrazioni.detrAggiuntiva);
    }
    setMoney(fld::FCUDDETRDIPPENSREDD.name, lavoro);
    // The total: what the payroll computed, never above the gross tax less
    // the net tax.
    setMoney(fld::FCUDTOTDETR.name,
             std::min(v.detrazioni.detrTotale, TTorCalcola::positiveDifference(money(fld::FCUDIMPLORDA.name), money(fld::fCudRitIrpef.upper))));
    setMoney(fld::FCUDDETRIMPNETTA.name, v.detrazioni.impostaNettaCalcolata);
    setMoney(fld::FCUDDETRFAMNUM.name, v.detrazioni.detrFamNum);
    setMoney(fld::FCUDCREDFAMNUM.name, v.detrazioni.credFamNum);
    setMoney(fld::FCUDCREDNRFAMNUM.name, v.detrazioni.credNrFamNum);
    setMoney(fld::FCUDDETRCANLOC.name, v.detrazioni.detrCanLoc);
    setMoney(fld::FCUDCREDCANLOC.name, v.detrazioni.credCanLoc);
    setMoney(fld::FCUDCREDNRCANLOC.name, v.detrazioni.credNrCanLoc);
    // The items add up to no more than the total: whenever they exceed it (a
    // cap that binds exactly, net tax zero, included) they are cut in order
    // until they make it.
    constexpr int n = int(std::size(kVociDetrazione));
    Currency values[n];
    QList<Currency *> items;
    Currency somma;
    for (int i = 0; i < n; ++i) {
        values[i] = money(kVociDetrazione[i]);
        somma += values[i];
        items << &values[i];
    }
    const Currency tot = money(fld::FCUDTOTDETR.name);
    if (somma <= tot)
        return;
    tagliaDetrazioni(tot, items);
    for (int i = 0; i < n; ++i)
        if (values[i] != money(kVociDetrazione[i]))
            setMoney(kVociDetrazione[i], values[i]);
}

void TVelCuBuilder::redditiAltriSoggetti(Currency altri)
{
    if (altri <= Currency())
        return;
    // The income of the relationship is in box 1 (open-ended) or box 2
    // (fixed-term); the other employers' share goes with it, in 531/539 or
    // 532/540, each labelled "already included in box" 1 or 2.
    const bool indeterminato = !money(fld::fCudReddDetr.upper).isZero();
    const Currency punto = money(indeterminato ? fld::fCudReddDetr.upper : fld::FCUDREDDETTRDET.name);
    const int box = indeterminato ? 1 : 2;
    if (altri > punto) {
        log(QStringLiteral("Redditi di altri soggetti conguagliati (%1) superiori al reddito del punto %2 "
                           "(%3): non riportati nei punti %4 e %5.")
                .arg(amountText(altri), QString::number(box), amountText(punto))
                .arg(530 + box)
                .arg(538 + box));
        return;
    }
    setMoney(indeterminato ? fld::FCUDIMPONPTO1.name : fld::FCUDIMPONPTO2.name, altri);
    setMoney(indeterminato ? fld::FCUDREDDCONGP1.name : fld::FCUDREDDCONGP2.name, altri);
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
    if (text(fld::SCUDCASIESCPREC.name) == QLatin1String("2"))
        return;
    QString note = text(fld::SCUDANNOTAZIONI.name);
    int nPeriods = 0;
    const QString periodi = testoPeriodi(a.periodi, &nPeriods);

    if (text(fld::LCUDCONGUAGLIO.name) == QLatin1String("0"))
        note += QStringLiteral("Conguaglio non effettuato\r\n");
    if (text(fld::LCUDCOMPRENSIVO.name) == QLatin1String("X"))
        note += QStringLiteral("ZZ) Il presente annulla e sostituisce eventuali CUD precedenti\r\n");
    if (!pos.fiscale.isEmpty() && integer(fld::iCudPeriodoLav.upper) < GIORNI_ANNO && !periodi.isEmpty())
        note += QStringLiteral("AI) ") + periodi;

    rapportoNellAnno(pos, rapporto, nPeriods, a, note);
    controlloGiorni(pos, rapporto);
    if (integer(fld::iCudPeriodoLav.upper) > GIORNI_ANNO)
        set(fld::iCudPeriodoLav.upper, GIORNI_ANNO);
    noteCodificate(rapporto, a, note);
    set(fld::SCUDANNOTAZIONI.name, note);
}

// The relationship's boxes: the income's type and amount, its dates, the
// mark of a relationship in force on 31 December and the particular periods.
void TVelCuBuilder::rapportoNellAnno(const TVelPosizioniCu &pos, const TVelRapportoCu &rapporto, int periodi,
                                     const TVelDatiAnnotazioni &a, QString &note)
{
    const Currency redditi = money(fld::fCudReddDetr.upper) + money(fld::FCUDREDDETTRDET.name);
    if (redditi <= Currency())
        return;
    // Box 718: "1" when boxes 1 and 2 hold employment income entitled to the
    // sum outside income and the further detraction, "2" when they do not
    // (collaborations only: assimilated income is left out of both).
    set(fld::SCUDSNCFRTIPOLOGIA.name, pos.fiscale.isEmpty() ? s("2") : s("1"));
    set(fld::SCUDPTRCOD1.name, pos.fiscale.isEmpty() ? s("6") : s("1"));
    setMoney(fld::FCUDPTRIMP1.name, redditi);
    if (rapporto.inizio.isValid())
        set(fld::DCUDDATINIRL.name, rapporto.inizio);
    else
        log(QStringLiteral("Data inizio rapporto in anagrafica non è impostata."));
    const QDate fine = rapporto.fine;
    if (fine.isValid() && fine.year() == m_anno) {
        set(fld::DCUDDATFINRL.name, fine);
        if (text(fld::LCUDCONGUAGLIO.name) == QLatin1String("X"))
            note += QStringLiteral("Data fine: ") + dateText(fine) + QStringLiteral("\r\n");
    } else if (!fine.isValid() || fine.year() > m_anno) {
        // In force on 31 December: open-ended, or ending after the year.
        set(fld::LCUDINFORZA3112.name, s("X"));
    }
    if (periodi > 1) {
        set(fld::ICUDPERPART.name, s("1"));
        return;
    }
    const Currency assenze = !pos.fiscale.isEmpty() && a.assenze ? a.assenze() : Currency();
    if (assenze > Currency())
        set(fld::ICUDPERPART.name, s("2"));
    else if (integer(fld::iCudPeriodoLav.upper) == 0)
        set(fld::ICUDPERPART.name, s("4"));
}

// The coded notes AL, AC, CC and AN, from the boxes already written.
void TVelCuBuilder::noteCodificate(const TVelRapportoCu &rapporto, const TVelDatiAnnotazioni &a, QString &note)
{
    auto line = [&](const QString &code) { note += m_nota(code) + QStringLiteral("\r\n"); };
    const int giorni = integer(fld::iCudPeriodoLav.upper);
    const bool senzaConguaglio = text(fld::LCUDCONGUAGLIO.name) == QLatin1String("0");
    const QDate fineRl = date(fld::DCUDDATFINRL.name);
    const bool fineNellAnno = fineRl.isValid() && fineRl.year() == m_anno;
    if (giorni < GIORNI_ANNO && (!money(fld::fCudAddRegIrpef.upper).isZero() || !money(fld::fCudAddComIrpef.upper).isZero())
        && (senzaConguaglio || (text(fld::LCUDCONGUAGLIO.name) == QLatin1String("X") && fineNellAnno)))
        line(s("AL"));
    if (giorni < GIORNI_ANNO && money(fld::FCUDDEDNOTAXFAM.name) > Currency() && senzaConguaglio)
        line(s("AC"));
    if (money(fld::fCudContrEsclusi.upper) > Currency() && senzaConguaglio)
        line(s("CC"));
    // The minimum employment deduction.
    if (a.minimiTrovati) {
        const Currency minimo =
            TorPosizioni::indeterminato(rapporto.ITNOID) ? a.minimoIndeterminato : a.minimoDeterminato;
        if (money(fld::FCUDDETRDIPPENSREDD.name) < minimo && money(fld::FCUDIMPLORDA.name) > Currency())
            line(s("AN"));
    }
}

void TVelCuBuilder::controlloGiorni(const TVelPosizioniCu &pos, const TVelRapportoCu &rapporto)
{
    const int year = m_anno;
    const int giorni = integer(fld::iCudPeriodoLav.upper);
    const QString perPart = text(fld::ICUDPERPART.name).trimmed();
    if (giorni == 0 && !money(fld::fCudReddDetr.upper).isZero() && perPart.isEmpty() && pos.cococo.isEmpty()) {
        set(fld::ICUDPERPART.name, s("4"));
        if (text(fld::LCUDCPOSCNACFC.name) != QLatin1String("X"))
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
        year, date(fld::DCUDDATINIRL.name), date(fld::DCUDDATFINRL.name),
        VelCuRules::altriSostituti([this](const char *field) { return money(field); }));
    const int calcolati = periodo.rapporto;
    const int limite = periodo.massimo;
    const bool oltre = giorni > limite;
    if (oltre)
        set(fld::iCudPeriodoLav.upper, limite);
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
