#include "src/prj/unit/check/VelCoherence.h"

#include "src/prj/unit/model/VelCodFis.h"
#include "src/prj/unit/model/VelCuRules.h"
#include "tor/util/TorImporti.h"
#include "velcu/VelFields.h"

#include <QDate>
#include <QLocale>
#include <QMap>
#include <QSet>

#include <algorithm>
#include <tuple>

namespace {

using Rule = TVelCoherenceRule;
using Finding = TVelCoherenceFinding;
using Row = QVariantMap;

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

// A field of a row as the rows keep it: under its name in upper case, in
// the value's own type where it has one.
QString text(const Row &r, const VelFieldId &field)
{
    return r.value(field.qsUpper()).toString().trimmed();
}

QString code(const Row &r, const VelFieldId &field)
{
    return text(r, field).toUpper();
}

Currency amount(const Row &r, const VelAmountField &field)
{
    const QVariant v = r.value(field.qsUpper());
    if (v.metaType() == QMetaType::fromType<Currency>())
        return v.value<Currency>();
    if (!v.isValid() || v.isNull())
        return Currency();
    return Currency::parse(v.toString()).value_or(Currency());
}

QDate date(const Row &r, const VelDateField &field)
{
    const QVariant v = r.value(field.qsUpper());
    if (v.metaType() == QMetaType::fromType<QDate>())
        return v.toDate();
    // no date (most of a CU's dates are left empty): no pattern to read it by
    if (!v.isValid() || v.isNull())
        return QDate();
    return QDate::fromString(v.toString().trimmed(), QStringLiteral("dd/MM/yyyy"));
}

QString money(Currency c)
{
    return TorImporti::testo(c);
}

QString day(const QDate &d)
{
    return d.toString(QStringLiteral("dd/MM/yyyy"));
}

// A number of months or a percentage written as text; nullopt when it is no number.
std::optional<Currency> number(const QString &t)
{
    return Currency::parse(t);
}

QString key(const QString &codFis, const QString &month)
{
    return codFis + QLatin1Char('|') + month;
}

// Contributions withheld month by month and those a declaration works out
// on the year's base differ by the months' roundings: a difference up to
// this is no finding.
const Currency kContributionsTolerance = Currency::fromInt(1);

struct Checker
{
    const TVelCoherenceInput &in;
    QList<Finding> out;
    // the payee of each CU key, for the section rows
    QHash<QString, const Row *> cuByKey;

    void add(const Row &cu, Rule rule, Finding::Severity sev, const QString &box, const QString &value,
             const QString &why)
    {
        Finding f;
        f.rule = rule;
        f.severity = sev;
        f.codFis = text(cu, fld::SCUDCODFIS);
        f.name = (text(cu, fld::SCUDCOGNOME) + QLatin1Char(' ') + text(cu, fld::SCUDNOME)).simplified();
        f.month = text(cu, fld::SCUDMESE);
        f.box = box;
        f.value = value;
        f.text = why;
        out << f;
    }

    void days(const Row &cu)
    {
        const qint64 d6 = cu.value(fld::iCudPeriodoLav.qsUpper()).toLongLong();
        const QDate dec31(in.year, 12, 31);
        const int yearDays = dec31.dayOfYear();
        if (d6 < 0 || d6 > yearDays) {
            add(cu, Rule::GiorniAnno, Finding::Errore, s("6"), QString::number(d6),
                s("Giorni di lavoro (punto 6) fuori dai giorni dell'anno (0-%1)").arg(yearDays));
            return;
        }
        const QDate start = date(cu, fld::DCUDDATINIRL), end = date(cu, fld::DCUDDATFINRL);
        // no period to compare with, or dates that are findings of their own
        if ((!start.isValid() && !end.isValid()) || (start.isValid() && start > dec31)
            || (end.isValid() && end.year() != in.year) || (start.isValid() && end.isValid() && start > end))
            return;
        // the import's own rule: with other employers' income taken in by
        // the adjustment (531-536) their periods count too, within the year
        const VelCuRules::PeriodoLavoro p = VelCuRules::periodoLavoro(
            in.year, start, end, VelCuRules::altriSostituti([&cu](const VelAmountField &field) { return amount(cu, field); }));
        if (d6 > p.massimo)
            add(cu, Rule::GiorniPeriodo, Finding::Avviso, s("6"), QString::number(d6),
                s("Giorni di lavoro (punto 6) superiori ai giorni del rapporto nell'anno (%1, dal %2 al %3) "
                  "senza redditi di altri sostituti conguagliati (punti 531-536)")
                    .arg(p.massimo)
                    .arg(day(p.dal), day(p.al)));
    }

    // 531-536 and 539-544 are income of other employers "already included in
    // box" 1, 2, 3, 4, 5, 13 (the model's labels): neither can hold more than
    // its box, and an amount against an empty box means the relationship's
    // income is in another one (box 2 for a fixed-term contract, whose
    // other employers' income goes to 532 and 540).
    void otherEmployers(const Row &cu)
    {
        struct Pair
        {
            const char *box;
            const VelAmountField *income, *total, *single;
            const char *totalBox, *singleBox;
        };
        static const Pair kPairs[] = {
            {"1", &fld::fCudReddDetr, &fld::FCUDIMPONPTO1, &fld::FCUDREDDCONGP1, "531", "539"},
            {"2", &fld::FCUDREDDETTRDET, &fld::FCUDIMPONPTO2, &fld::FCUDREDDCONGP2, "532", "540"},
            {"3", &fld::FCUDREDDPENS, &fld::FCUDIMPONPTO3, &fld::FCUDREDDCONGP3, "533", "541"},
            {"4", &fld::FCUDALTREDDASS, &fld::FCUDIMPONPTO4, &fld::FCUDREDDCONGP4, "534", "542"},
            {"5", &fld::FCUDASSPERCON, &fld::FCUDIMPONPTO5, &fld::FCUDREDDCONGP5, "535", "543"},
            {"13", &fld::FCUDCMPCORIPPICHE, &fld::FCUDIMPONPTO13, &fld::FCUDREDDCONGP13, "536", "544"},
        };
        for (const Pair &p : kPairs) {
            const Currency income = amount(cu, *p.income);
            for (const auto &[field, box] : {std::pair{p.total, p.totalBox}, std::pair{p.single, p.singleBox}}) {
                const Currency other = amount(cu, *field);
                if (other <= income)
                    continue;
                // where the income is: the box that holds at least this amount
                QString where;
                for (const Pair &q : kPairs)
                    if (&q != &p && amount(cu, *q.income) >= other)
                        where = s(": il reddito del rapporto è nel punto %1, indicare i redditi degli altri sostituti "
                                  "nei punti %2 e %3")
                                    .arg(QLatin1String(q.box), QLatin1String(q.totalBox), QLatin1String(q.singleBox));
                add(cu, Rule::RedditiAltriSostituti, Finding::Errore, QLatin1String(box), money(other),
                    s("Redditi di altri sostituti \"già compresi nel punto %1\" superiori al punto %1 (%2)%3")
                        .arg(QLatin1String(p.box), money(income), where));
            }
        }
    }

    void dates(const Row &cu)
    {
        const QDate start = date(cu, fld::DCUDDATINIRL), end = date(cu, fld::DCUDDATFINRL);
        if (end.isValid() && end.year() != in.year)
            add(cu, Rule::DataFuoriAnno, Finding::Errore, s("9"), day(end),
                s("Data di cessazione (punto 9) fuori dall'anno %1").arg(in.year));
        if (start.isValid() && start.year() > in.year)
            add(cu, Rule::DataFuoriAnno, Finding::Errore, s("8"), day(start),
                s("Data di inizio (punto 8) successiva all'anno %1").arg(in.year));
        if (start.isValid() && end.isValid() && start > end)
            add(cu, Rule::DateInvertite, Finding::Errore, s("8"), day(start),
                s("Data di inizio (punto 8) successiva alla data di cessazione (punto 9, %1)").arg(day(end)));
        const bool inForce = code(cu, fld::LCUDINFORZA3112) == QLatin1String("X");
        const Currency employment = amount(cu, fld::fCudReddDetr) + amount(cu, fld::FCUDREDDETTRDET);
        if (inForce && end.isValid() && end.year() == in.year)
            add(cu, Rule::InForza, Finding::Avviso, s("10"), s("X"),
                s("\"In forza al 31/12\" (punto 10) barrato con la data di cessazione %1 (punto 9)").arg(day(end)));
        else if (!inForce && !end.isValid() && employment > Currency())
            add(cu, Rule::InForza, Finding::Avviso, s("10"), s("(vuoto)"),
                s("\"In forza al 31/12\" (punto 10) non barrato per un rapporto senza data di cessazione (punto 9)"));
    }

    void sums(const Row &cu)
    {
        const Currency income = amount(cu, fld::fCudReddDetr) + amount(cu, fld::FCUDREDDETTRDET) + amount(cu, fld::FCUDREDDPENS)
                                + amount(cu, fld::FCUDALTREDDASS) + amount(cu, fld::FCUDASSPERCON);
        const Currency withheld = amount(cu, fld::fCudRitIrpef);
        if (withheld > income)
            add(cu, Rule::RitenuteReddito, Finding::Avviso, s("21"), money(withheld),
                s("Ritenute Irpef (punto 21) superiori ai redditi dei punti 1-5 (%1)").arg(money(income)));
        const Currency gross = amount(cu, fld::FCUDIMPLORDA), total = amount(cu, fld::FCUDTOTDETR),
                       net = amount(cu, fld::FCUDDETRIMPNETTA);
        const Currency items = amount(cu, fld::FCUDDEDNOTAXFAM) + amount(cu, fld::FCUDDETRFAMNUM)
                               + amount(cu, fld::FCUDDETRDIPPENSREDD) + amount(cu, fld::FCUDDETCREDRULTDETR)
                               + amount(cu, fld::fCudDetrOneri) + amount(cu, fld::FCUDDETRCANLOC);
        if (items != total)
            add(cu, Rule::TotaleDetrazioni, Finding::Avviso, s("374"), money(total),
                s("Totale detrazioni (punto 374) diverso dalla somma dei punti 362, 363, 367, 368, 369 e 370 (%1)")
                    .arg(money(items)));
        if (net != gross - total)
            add(cu, Rule::ImpostaNetta, Finding::Avviso, s("375"), money(net),
                s("Imposta netta (punto 375) diversa da imposta lorda (punto 361) meno totale detrazioni "
                  "(punto 374): %1 - %2 = %3")
                    .arg(money(gross), money(total), money(gross - total)));
    }

    void taxCode(const Row &cu)
    {
        const QString cf = code(cu, fld::SCUDCODFIS);
        if (cf.isEmpty()) {
            add(cu, Rule::CodiceFiscale, Finding::Errore, s("Codice fiscale"), s("(vuoto)"),
                s("Codice fiscale del percipiente mancante"));
            return;
        }
        if (!VelCodFis::isValid(cf)) {
            add(cu, Rule::CodiceFiscale, Finding::Errore, s("Codice fiscale"), cf,
                s("Codice fiscale del percipiente non valido: %1").arg(VelCodFis::problem(cf)));
            return;
        }
        if (!VelCodFis::isValidPersonal(cf))
            return; // a company or an entity: no place of birth
        // positions 12-15: the municipality of birth, "Z..." a foreign state
        const bool abroad = cf.at(11) == QLatin1Char('Z');
        const QString prov = code(cu, fld::SCUDPROVNAS);
        if (abroad && prov != QLatin1String("EE"))
            add(cu, Rule::ProvinciaEstera, Finding::Avviso, s("7"), prov.isEmpty() ? s("(vuoto)") : prov,
                s("Percipiente nato all'estero (codice fiscale %1): la provincia di nascita (punto 7) è \"EE\"")
                    .arg(cf.mid(11, 4)));
        else if (!abroad && prov == QLatin1String("EE"))
            add(cu, Rule::ProvinciaEstera, Finding::Avviso, s("7"), prov,
                s("Provincia di nascita \"EE\" (punto 7) per un percipiente nato in Italia (codice fiscale %1)")
                    .arg(cf.mid(11, 4)));
    }

    // One dependant's slot of a family row.
    struct Slot
    {
        const char *who;
        const VelFieldId *codFis;
        const VelFieldId *months;
        QList<const VelFieldId *> flags;
        QList<const VelFieldId *> counters;
        const VelFieldId *percent; // null: none
    };

    void dependant(const Row &cu, const Row &f, const Slot &slot)
    {
        const QString who = QLatin1String(slot.who);
        bool flagged = false;
        for (const VelFieldId *flag : slot.flags)
            flagged = flagged || text(f, *flag) == QLatin1String("1");
        const QString cf = code(f, *slot.codFis);
        const QString monthsText = text(f, *slot.months);
        if (!flagged && cf.isEmpty() && monthsText.isEmpty())
            return;
        const std::optional<Currency> months = number(monthsText);
        // months left empty are the mandatory-field check's to report
        if (!monthsText.isEmpty()) {
            if (!months || *months < Currency::fromInt(1) || *months > Currency::fromInt(12)
                || months->units() % Currency::Scale != 0)
                add(cu, Rule::MesiFamiliari, Finding::Errore, who + s(": mesi a carico"),
                    monthsText,
                    s("Mesi a carico del familiare fuori dall'intervallo 1-12"));
        }
        for (const VelFieldId *counter : slot.counters) {
            const QString t = text(f, *counter);
            const std::optional<Currency> n = number(t);
            if (!t.isEmpty() && (!n || *n < Currency() || *n > Currency::fromInt(12) || n->units() % Currency::Scale))
                add(cu, Rule::MesiFamiliari, Finding::Errore, who + s(": mesi (%1)").arg(counter->l1()), t,
                    s("Mesi del familiare fuori dall'intervallo 0-12"));
        }
        if (slot.percent) {
            const QVariant v = f.value(slot.percent->qsUpper());
            const QString t = v.metaType() == QMetaType::fromType<Currency>() ? money(v.value<Currency>())
                                                                            : text(f, *slot.percent);
            const std::optional<Currency> p =
                v.metaType() == QMetaType::fromType<Currency>() ? v.value<Currency>() : number(t);
            const bool otherParentMissing = t.compare(QLatin1String("C"), Qt::CaseInsensitive) == 0;
            if (!t.isEmpty() && !otherParentMissing && (!p || *p < Currency() || *p > Currency::fromInt(100)))
                add(cu, Rule::PercentualeFamiliari, Finding::Errore, who + s(": percentuale"), t,
                    s("Percentuale di detrazione del familiare fuori dall'intervallo 0-100"));
        }
        if (cf.isEmpty()) {
            if (flagged)
                add(cu, Rule::CodiceFiscale, Finding::Errore, who + s(": codice fiscale"), s("(vuoto)"),
                    s("Codice fiscale del familiare a carico mancante"));
        } else if (!VelCodFis::isValidPersonal(cf)) {
            const QString why = VelCodFis::problem(cf);
            add(cu, Rule::CodiceFiscale, Finding::Errore, who + s(": codice fiscale"), cf,
                s("Codice fiscale del familiare non valido: %1")
                    .arg(why.isEmpty() ? s("non è il codice di una persona fisica") : why));
        }
    }

    void family()
    {
        static const QList<Slot> kSlots = {
            {"Coniuge", &fld::SCUDCODFISCON, &fld::SCUDMESICARCON, {&fld::LCUDRELPARCON}, {}, nullptr},
            {"Primo figlio",
             &fld::SCUDCODFISPRIFIGL,
             &fld::SCUDMESICARPRIFIGL,
             {&fld::LCUDRELPARPRIFIGL, &fld::LCUDRELPARPRIFIGLDIS},
             {&fld::SCUDMESIDETRGFPRIFIGL, &fld::SCUDMESIDETRM21PRIFIGL, &fld::SCUDMINTREANNPRIFIGL},
             &fld::SCUDDETRSPETTPRIFIGL},
            {"Altro figlio o familiare",
             &fld::SCUDCODFISFIGL,
             &fld::SCUDMESICARFIGL,
             {&fld::LCUDRELPARFIGL, &fld::LCUDRELPARFIGLDIS, &fld::LCUDRELPARFIGLALTRFAM, &fld::LCUDRELPARNONASCEND},
             {&fld::SCUDMESIDETRGFFIGL, &fld::SCUDMESIDETRM21FIGL, &fld::SCUDMINTREANNFIGL},
             &fld::FCUDDETRSPETTFIGL},
        };
        for (const Row &f : in.family) {
            const Row *cu = cuByKey.value(key(code(f, fld::SCUDCODFIS), text(f, fld::SCUDMESE)));
            if (!cu)
                continue; // a section row without its CU is not the office's to read here
            for (const Slot &slot : kSlots)
                dependant(*cu, f, slot);
        }
    }

    void selfEmployed()
    {
        for (const Row &a : in.autonomo) {
            const Row *cu = cuByKey.value(key(code(a, fld::SCUDCODFIS), text(a, fld::SCUDMESE)));
            if (!cu)
                continue;
            const Currency gross = amount(a, fld::FDSE7AMMLORDO), taxable = amount(a, fld::FDSE7IMPONIBILE);
            const Currency withheld = amount(a, fld::FDSE7RITTITIMP) + amount(a, fld::FDSE7RITTITACC);
            const QString reason = text(a, fld::SCAUCODICE);
            const QString box = s("Autonomi (causale %1)").arg(reason.isEmpty() ? s("?") : reason);
            if (withheld > taxable)
                add(*cu, Rule::RitenuteReddito, Finding::Avviso, box + s(": ritenute"), money(withheld),
                    s("Ritenute (a titolo d'imposta e d'acconto) superiori all'imponibile (%1)").arg(money(taxable)));
            if (taxable > gross)
                add(*cu, Rule::RitenuteReddito, Finding::Avviso, box + s(": imponibile"), money(taxable),
                    s("Imponibile superiore all'ammontare lordo corrisposto (%1)").arg(money(gross)));
            finalTax(*cu, a, reason, box);
        }
    }

    // The withholding as final tax (box 10) where the reason has it on
    // account (box 9), by the import's own rule. A payee resident abroad
    // (boxes 40, 41, 45) may bear a final withholding under any reason: not
    // said. Under A and M (professions, occasional work) it is an error: the
    // payee would lose the withholding as a credit in the return; under
    // other reasons a warning.
    void finalTax(const Row &cu, const Row &a, const QString &reason, const QString &box)
    {
        const Currency withheld = amount(a, fld::FDSE7RITTITIMP);
        if (withheld <= Currency() || VelCuRules::ritenutaATitoloDImposta(reason))
            return;
        if (!text(cu, fld::SCUDCODFISPERCEST).isEmpty() || !text(cu, fld::SCUDLOCRESEST).isEmpty()
            || cu.value(fld::ICUDCODSTAEST.qs()).toInt() > 0)
            return;
        const bool onAccount = reason.compare(QLatin1String("A"), Qt::CaseInsensitive) == 0
                               || reason.compare(QLatin1String("M"), Qt::CaseInsensitive) == 0;
        add(cu, Rule::RitenutaTitoloImposta, onAccount ? Finding::Errore : Finding::Avviso,
            box + s(": punto 10"), money(withheld),
            s("Ritenute a titolo d'imposta (punto 10) con la causale %1: a titolo d'imposta solo con la causale P; "
              "per un percipiente residente le ritenute sono a titolo d'acconto (punto 9)")
                .arg(reason.isEmpty() ? s("(vuota)") : reason));
    }

    void agent()
    {
        for (const Row &a : in.agent) {
            Row who;
            who.insert(fld::SCUDCODFIS.qs(), a.value(fld::SSOSCODFIS.qs()));
            who.insert(fld::SCUDCOGNOME.qs(), a.value(fld::SSOSDENOM.qs()));
            const QString cf = code(a, fld::SSOSCODFIS);
            if (cf.isEmpty() || !VelCodFis::isValid(cf))
                add(who, Rule::CodiceFiscale, Finding::Errore, s("Sostituto: codice fiscale"),
                    cf.isEmpty() ? s("(vuoto)") : cf,
                    cf.isEmpty() ? s("Codice fiscale del sostituto d'imposta mancante")
                                 : s("Codice fiscale del sostituto d'imposta non valido: %1").arg(VelCodFis::problem(cf)));
            const QString rappr = code(a, fld::SSOSCFRAPPR);
            if (!rappr.isEmpty() && !VelCodFis::isValidPersonal(rappr)) {
                const QString why = VelCodFis::problem(rappr);
                add(who, Rule::CodiceFiscale, Finding::Errore, s("Sostituto: codice fiscale del rappresentante"), rappr,
                    s("Codice fiscale del rappresentante del sostituto non valido: %1")
                        .arg(why.isEmpty() ? s("non è il codice di una persona fisica") : why));
            }
        }
    }

    void repeated()
    {
        QMap<QString, QList<const Row *>> byCode;
        QHash<QString, int> byKey;
        for (const Row &cu : in.cu) {
            const QString cf = code(cu, fld::SCUDCODFIS);
            if (cf.isEmpty())
                continue;
            byCode[cf] << &cu;
            if (++byKey[key(cf, text(cu, fld::SCUDMESE))] == 2)
                add(cu, Rule::CuDoppia, Finding::Errore, s("CU"), text(cu, fld::SCUDMESE),
                    s("Due certificazioni per lo stesso percipiente e mese"));
        }
        for (auto it = byCode.cbegin(); it != byCode.cend(); ++it) {
            QStringList months;
            for (const Row *cu : it.value())
                if (!months.contains(text(*cu, fld::SCUDMESE)))
                    months << text(*cu, fld::SCUDMESE);
            if (months.size() > 1) {
                months.sort();
                add(*it.value().first(), Rule::CuDoppia, Finding::Errore, s("CU"), months.join(QStringLiteral(", ")),
                    s("Certificazioni dello stesso percipiente in più mesi: una sola certificazione per percipiente "
                      "e sostituto"));
            }
        }
    }

    void payroll()
    {
        if (!in.payroll)
            return;
        QHash<QString, const Row *> cuByCode;
        for (const Row &cu : in.cu)
            cuByCode.insert(code(cu, fld::SCUDCODFIS), &cu);
        QSet<QString> withInps;
        for (const Row &r : in.inps)
            withInps.insert(code(r, fld::SCUDCODFIS));
        // the employee's contributions withheld that section 2 certifies,
        // payee by payee: pension (box 20), TFS (23), credit fund (30),
        // ENPDEP (33), ENAM (36)
        QHash<QString, Currency> inpdapWithheld;
        for (const Row &r : in.inpdap) {
            Currency &sum = inpdapWithheld[code(r, fld::SCUDCODFIS)];
            for (const VelAmountField *f : {&fld::FCUDCONTRPCLAVTRAT, &fld::FCUDCONTRTFSCLTRAT, &fld::FCUDCONTRGESCRETCLAV,
                                            &fld::FCUD_DMA_CONENPDEPCLAVTR, &fld::FCUD_DMA_CONTRENAMTRATLA})
                sum += amount(r, *f);
        }
        for (const TVelPaidPayee &p : *in.payroll) {
            const QString cf = p.codFis.trimmed().toUpper();
            const Row *cu = cf.isEmpty() ? nullptr : cuByCode.value(cf);
            if (!cu) {
                if (p.paid <= Currency())
                    continue;
                Row who;
                who.insert(fld::SCUDCODFIS.qs(), cf);
                who.insert(fld::SCUDCOGNOME.qs(), p.name);
                add(who, Rule::PagatoSenzaCu, Finding::Avviso, s("Retribuzioni: pagato"), money(p.paid),
                    cf.isEmpty() ? s("Percipiente pagato nell'anno senza codice fiscale e senza CU")
                                 : s("Percipiente pagato nell'anno senza CU"));
                continue;
            }
            const auto certified = inpdapWithheld.constFind(cf);
            if (p.pensionWithheld > Currency() && certified == inpdapWithheld.cend())
                add(*cu, Rule::ContributiSenzaSezione, Finding::Avviso, s("INPS Sez. 2"), money(p.pensionWithheld),
                    s("Contributi della gestione pubblica trattenuti nelle retribuzioni senza riga nella sezione 2 "
                      "INPS (gestione pubblica)"));
            else if (certified != inpdapWithheld.cend() && p.pensionWithheld - *certified > kContributionsTolerance)
                add(*cu, Rule::ContributiNonCertificati, Finding::Avviso, s("INPS Sez. 2: contributi trattenuti"),
                    money(p.pensionWithheld),
                    s("Contributi della gestione pubblica trattenuti nelle retribuzioni non certificati: la sezione 2 "
                      "INPS ne indica %1 a carico del lavoratore (punti 20, 23, 30, 33, 36), mancano %2")
                        .arg(money(*certified), money(p.pensionWithheld - *certified)));
            if (p.inpsWithheld > Currency() && !withInps.contains(cf))
                add(*cu, Rule::ContributiSenzaSezione, Finding::Avviso, s("INPS Sez. 1"), money(p.inpsWithheld),
                    s("Contributi INPS trattenuti nelle retribuzioni senza riga nella sezione 1 INPS"));
        }
    }
};

} // namespace

QString TVelCoherenceFinding::line() const
{
    QString who = (codFis.isEmpty() ? QString::fromUtf8("(senza codice fiscale)") : codFis);
    if (!name.isEmpty())
        who += QLatin1Char(' ') + name;
    if (!month.isEmpty())
        who += QStringLiteral(" (mese %1)").arg(month);
    const bool number = !box.isEmpty() && std::all_of(box.begin(), box.end(), [](QChar c) { return c.isDigit(); });
    return QStringLiteral("%1, %2 = %3: %4").arg(who, number ? QStringLiteral("punto ") + box : box, value, text);
}

int TVelCoherenceResult::errors() const
{
    int n = 0;
    for (const TVelCoherenceFinding &f : findings)
        n += f.stopsSupply() ? 1 : 0;
    return n;
}

QStringList TVelCoherenceResult::lines() const
{
    QStringList out;
    for (const TVelCoherenceFinding &f : findings)
        out << (f.stopsSupply() ? QStringLiteral("ERRORE ") : QStringLiteral("AVVISO ")) + f.line();
    if (!payrollChecked)
        out << payrollNote;
    return out;
}

TVelCoherenceResult TVelCoherence::check(const TVelCoherenceInput &in)
{
    Checker c{in, {}, {}};
    for (const Row &cu : in.cu)
        c.cuByKey.insert(key(code(cu, fld::SCUDCODFIS), text(cu, fld::SCUDMESE)), &cu);
    c.repeated();
    for (const Row &cu : in.cu) {
        c.taxCode(cu);
        c.dates(cu);
        c.days(cu);
        c.sums(cu);
        c.otherEmployers(cu);
    }
    c.family();
    c.selfEmployed();
    c.agent();
    c.payroll();
    TVelCoherenceResult r;
    r.findings = c.out;
    // payee by payee, in the order of the names, the rules in their order
    std::stable_sort(r.findings.begin(), r.findings.end(), [](const Finding &a, const Finding &b) {
        return std::tie(a.name, a.codFis, a.month) < std::tie(b.name, b.codFis, b.month);
    });
    r.certifications = int(in.cu.size());
    r.payrollChecked = in.payroll.has_value();
    if (!r.payrollChecked)
        r.payrollNote = s("Retribuzioni non lette (%1): percipienti pagati senza CU e contributi senza sezione "
                          "non controllati.")
                            .arg(in.payrollWhy.isEmpty() ? s("non raggiungibili") : in.payrollWhy);
    return r;
}
