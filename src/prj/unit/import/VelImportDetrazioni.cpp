// The deductions of a CU built from payroll (boxes 362 to 375) and the income
// from other employers that the school's adjustment took in (531-544).
#include "VelImportCud.h"
#include "VelImportTables.h"

#include "VelCudReader.h"

#include "tor/calc/TorUCalcoli.h"

using namespace VelImport;

namespace {

// The items of box 374, in the order the cap walks them.
const char *const kVociDetrazione[] = {"FCUDDEDNOTAXFAM",     "FCUDDETRFAMNUM", "FCUDDETRDIPPENSREDD",
                                       "FCUDDETCREDRULTDETR", "FCUDDETRONERI",  "FCUDDETRCANLOC"};

} // namespace

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

void TVelImportCud::detrazioni(TCudStd &r)
{
    // 7. The payroll keeps the additional deduction (368) apart from the
    // employment deduction (367); only a total that counts it inside 367
    // (the items without 368 make the total) has it taken out of 367.
    r.calcolaDetrazioni();
    r.numeriFamiliari();
    setMoney("FCUDDEDNOTAXFAM", r.detrFamiliari);
    Currency lavoro = r.detrLavoro;
    if (r.detrAggiuntiva > Currency()) {
        const Currency senza = r.detrFamiliari + r.detrFamNum + r.detrLavoro + money("FCUDDETRONERI") + r.detrCanLoc;
        if (senza == r.detrTotale)
            lavoro = TTorCalcola::positiveDifference(lavoro, r.detrAggiuntiva);
        setMoney("FCUDDETCREDRULTDETR", r.detrAggiuntiva);
    }
    setMoney("FCUDDETRDIPPENSREDD", lavoro);
    // 9. The total: what the payroll computed, never above the gross tax
    // less the net tax.
    setMoney("FCUDTOTDETR",
             std::min(r.detrTotale, TTorCalcola::positiveDifference(money("FCUDIMPLORDA"), money("FCUDRITIRPEF"))));
    setMoney("FCUDDETRIMPNETTA", r.impostaNettaCalcolata);
    // 11.
    setMoney("FCUDDETRFAMNUM", r.detrFamNum);
    setMoney("FCUDCREDFAMNUM", r.credFamNum);
    setMoney("FCUDCREDNRFAMNUM", r.credNrFamNum);
    setMoney("FCUDDETRCANLOC", r.detrCanLoc);
    setMoney("FCUDCREDCANLOC", r.credCanLoc);
    setMoney("FCUDCREDNRCANLOC", r.credNrCanLoc);
    // 12. The items add up to no more than the total: whenever they exceed
    // it (a cap that binds exactly, net tax zero, included) they are cut in
    // order until they make it.
    constexpr int n = int(std::size(kVociDetrazione));
    Currency values[n];
    QList<Currency *> items;
    Currency somma;
    for (int i = 0; i < n; ++i) {
        values[i] = money(kVociDetrazione[i]);
        somma += values[i];
        items << &values[i];
    }
    const Currency tot = money("FCUDTOTDETR");
    if (somma <= tot)
        return;
    tagliaDetrazioni(tot, items);
    for (int i = 0; i < n; ++i)
        if (values[i] != money(kVociDetrazione[i]))
            setMoney(kVociDetrazione[i], values[i]);
}

void TVelImportCud::redditiAltriSoggetti(Currency altri)
{
    if (altri <= Currency())
        return;
    // The income of the relationship is in box 1 (open-ended) or box 2
    // (fixed-term); the other employers' share goes with it, in 531/539 or
    // 532/540, each labelled "already included in box" 1 or 2.
    const bool indeterminato = !money("FCUDREDDDETR").isZero();
    const Currency punto = money(indeterminato ? "FCUDREDDDETR" : "FCUDREDDETTRDET");
    const int box = indeterminato ? 1 : 2;
    if (altri > punto) {
        log(InfoFiscale, QStringLiteral("Redditi di altri soggetti conguagliati (%1) superiori al reddito del punto %2 "
                                        "(%3): non riportati nei punti %4 e %5.")
                             .arg(amountText(altri), QString::number(box), amountText(punto))
                             .arg(530 + box)
                             .arg(538 + box));
        return;
    }
    setMoney(indeterminato ? "FCUDIMPONPTO1" : "FCUDIMPONPTO2", altri);
    setMoney(indeterminato ? "FCUDREDDCONGP1" : "FCUDREDDCONGP2", altri);
    log(InfoFiscale, QStringLiteral("Redditi di altri soggetti conguagliati: %1 nei punti %2 e %3.\r\n"
                                    "  Indicare codice fiscale dell'altro sostituto e causa (punti 537 e 538).")
                         .arg(amountText(altri))
                         .arg(530 + box)
                         .arg(538 + box));
}
