#include "src/prj/unit/check/VelCoherence.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/framework/OvMessages.h"
#include "rag/calc/ragUQuery.h"
#include "src/prj/unit/model/VelCodFis.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorAnni.h"
#include "tor/util/TorImporti.h"

#include <QDate>
#include <QLocale>
#include <QMap>
#include <QSet>

#include <algorithm>
#include <exception>
#include <tuple>

namespace {

using Rule = TVelCoherenceRule;
using Finding = TVelCoherenceFinding;
using Row = QVariantMap;

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

// A column's name as a row's key. The names are the check's own literals:
// each is made a text once, not at every row (a supply's check asks some
// millions of them); the text is compared, so that another name at the
// same address is made afresh.
const QString &key(const char *field)
{
    static thread_local QHash<const void *, QString> keys;
    if (keys.size() > 4096)
        keys.clear();
    QString &k = keys[field];
    if (k.isEmpty() || k != QLatin1String(field))
        k = QString::fromLatin1(field);
    return k;
}

QString text(const Row &r, const char *field)
{
    return r.value(key(field)).toString().trimmed();
}

QString code(const Row &r, const char *field)
{
    return text(r, field).toUpper();
}

Currency amount(const Row &r, const char *field)
{
    const QVariant v = r.value(key(field));
    if (v.metaType() == QMetaType::fromType<Currency>())
        return v.value<Currency>();
    if (!v.isValid() || v.isNull())
        return Currency();
    return Currency::parse(v.toString()).value_or(Currency());
}

QDate date(const Row &r, const char *field)
{
    const QVariant v = r.value(key(field));
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
        f.codFis = text(cu, "SCUDCODFIS");
        f.name = (text(cu, "SCUDCOGNOME") + QLatin1Char(' ') + text(cu, "SCUDNOME")).simplified();
        f.month = text(cu, "SCUDMESE");
        f.box = box;
        f.value = value;
        f.text = why;
        out << f;
    }

    void days(const Row &cu)
    {
        const qint64 d6 = cu.value(QStringLiteral("ICUDPERIODOLAV")).toLongLong();
        const QDate jan1(in.year, 1, 1), dec31(in.year, 12, 31);
        const int yearDays = dec31.dayOfYear();
        if (d6 < 0 || d6 > yearDays) {
            add(cu, Rule::GiorniAnno, Finding::Errore, s("6"), QString::number(d6),
                s("Giorni di lavoro (punto 6) fuori dai giorni dell'anno (0-%1)").arg(yearDays));
            return;
        }
        const QDate start = date(cu, "DCUDDATINIRL"), end = date(cu, "DCUDDATFINRL");
        // no period to compare with, or dates that are findings of their own
        if ((!start.isValid() && !end.isValid()) || (start.isValid() && start > dec31)
            || (end.isValid() && end.year() != in.year) || (start.isValid() && end.isValid() && start > end))
            return;
        const QDate from = start.isValid() && start > jan1 ? start : jan1;
        const QDate to = end.isValid() && end < dec31 ? end : dec31;
        const qint64 period = from <= to ? from.daysTo(to) + 1 : 0;
        if (d6 > period)
            add(cu, Rule::GiorniPeriodo, Finding::Avviso, s("6"), QString::number(d6),
                s("Giorni di lavoro (punto 6) superiori ai giorni del rapporto nell'anno (%1, dal %2 al %3)")
                    .arg(period)
                    .arg(day(from), day(to)));
    }

    void dates(const Row &cu)
    {
        const QDate start = date(cu, "DCUDDATINIRL"), end = date(cu, "DCUDDATFINRL");
        if (end.isValid() && end.year() != in.year)
            add(cu, Rule::DataFuoriAnno, Finding::Errore, s("9"), day(end),
                s("Data di cessazione (punto 9) fuori dall'anno %1").arg(in.year));
        if (start.isValid() && start.year() > in.year)
            add(cu, Rule::DataFuoriAnno, Finding::Errore, s("8"), day(start),
                s("Data di inizio (punto 8) successiva all'anno %1").arg(in.year));
        if (start.isValid() && end.isValid() && start > end)
            add(cu, Rule::DateInvertite, Finding::Errore, s("8"), day(start),
                s("Data di inizio (punto 8) successiva alla data di cessazione (punto 9, %1)").arg(day(end)));
        const bool inForce = code(cu, "LCUDINFORZA3112") == QLatin1String("X");
        const Currency employment = amount(cu, "FCUDREDDDETR") + amount(cu, "FCUDREDDETTRDET");
        if (inForce && end.isValid() && end.year() == in.year)
            add(cu, Rule::InForza, Finding::Avviso, s("10"), s("X"),
                s("\"In forza al 31/12\" (punto 10) barrato con la data di cessazione %1 (punto 9)").arg(day(end)));
        else if (!inForce && !end.isValid() && employment > Currency())
            add(cu, Rule::InForza, Finding::Avviso, s("10"), s("(vuoto)"),
                s("\"In forza al 31/12\" (punto 10) non barrato per un rapporto senza data di cessazione (punto 9)"));
    }

    void sums(const Row &cu)
    {
        const Currency income = amount(cu, "FCUDREDDDETR") + amount(cu, "FCUDREDDETTRDET") + amount(cu, "FCUDREDDPENS")
                                + amount(cu, "FCUDALTREDDASS") + amount(cu, "FCUDASSPERCON");
        const Currency withheld = amount(cu, "FCUDRITIRPEF");
        if (withheld > income)
            add(cu, Rule::RitenuteReddito, Finding::Avviso, s("21"), money(withheld),
                s("Ritenute Irpef (punto 21) superiori ai redditi dei punti 1-5 (%1)").arg(money(income)));
        const Currency gross = amount(cu, "FCUDIMPLORDA"), total = amount(cu, "FCUDTOTDETR"),
                       net = amount(cu, "FCUDDETRIMPNETTA");
        const Currency items = amount(cu, "FCUDDEDNOTAXFAM") + amount(cu, "FCUDDETRFAMNUM")
                               + amount(cu, "FCUDDETRDIPPENSREDD") + amount(cu, "FCUDDETCREDRULTDETR")
                               + amount(cu, "FCUDDETRONERI") + amount(cu, "FCUDDETRCANLOC");
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
        const QString cf = code(cu, "SCUDCODFIS");
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
        const QString prov = code(cu, "SCUDPROVNAS");
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
        const char *codFis;
        const char *months;
        QList<const char *> flags;
        QList<const char *> counters;
        const char *percent; // null: none
    };

    void dependant(const Row &cu, const Row &f, const Slot &slot)
    {
        const QString who = QLatin1String(slot.who);
        bool flagged = false;
        for (const char *flag : slot.flags)
            flagged = flagged || text(f, flag) == QLatin1String("1");
        const QString cf = code(f, slot.codFis);
        const QString monthsText = text(f, slot.months);
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
        for (const char *counter : slot.counters) {
            const QString t = text(f, counter);
            const std::optional<Currency> n = number(t);
            if (!t.isEmpty() && (!n || *n < Currency() || *n > Currency::fromInt(12) || n->units() % Currency::Scale))
                add(cu, Rule::MesiFamiliari, Finding::Errore, who + s(": mesi (%1)").arg(QLatin1String(counter)), t,
                    s("Mesi del familiare fuori dall'intervallo 0-12"));
        }
        if (slot.percent) {
            const QVariant v = f.value(key(slot.percent));
            const QString t = v.metaType() == QMetaType::fromType<Currency>() ? money(v.value<Currency>())
                                                                            : text(f, slot.percent);
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
            {"Coniuge", "SCUDCODFISCON", "SCUDMESICARCON", {"LCUDRELPARCON"}, {}, nullptr},
            {"Primo figlio",
             "SCUDCODFISPRIFIGL",
             "SCUDMESICARPRIFIGL",
             {"LCUDRELPARPRIFIGL", "LCUDRELPARPRIFIGLDIS"},
             {"SCUDMESIDETRGFPRIFIGL", "SCUDMESIDETRM21PRIFIGL", "SCUDMINTREANNPRIFIGL"},
             "SCUDDETRSPETTPRIFIGL"},
            {"Altro figlio o familiare",
             "SCUDCODFISFIGL",
             "SCUDMESICARFIGL",
             {"LCUDRELPARFIGL", "LCUDRELPARFIGLDIS", "LCUDRELPARFIGLALTRFAM", "LCUDRELPARNONASCEND"},
             {"SCUDMESIDETRGFFIGL", "SCUDMESIDETRM21FIGL", "SCUDMINTREANNFIGL"},
             "FCUDDETRSPETTFIGL"},
        };
        for (const Row &f : in.family) {
            const Row *cu = cuByKey.value(key(code(f, "SCUDCODFIS"), text(f, "SCUDMESE")));
            if (!cu)
                continue; // a section row without its CU is not the office's to read here
            for (const Slot &slot : kSlots)
                dependant(*cu, f, slot);
        }
    }

    void selfEmployed()
    {
        for (const Row &a : in.autonomo) {
            const Row *cu = cuByKey.value(key(code(a, "SCUDCODFIS"), text(a, "SCUDMESE")));
            if (!cu)
                continue;
            const Currency gross = amount(a, "FDSE7AMMLORDO"), taxable = amount(a, "FDSE7IMPONIBILE");
            const Currency withheld = amount(a, "FDSE7RITTITIMP") + amount(a, "FDSE7RITTITACC");
            const QString reason = text(a, "SCAUCODICE");
            const QString box = s("Autonomi (causale %1)").arg(reason.isEmpty() ? s("?") : reason);
            if (withheld > taxable)
                add(*cu, Rule::RitenuteReddito, Finding::Avviso, box + s(": ritenute"), money(withheld),
                    s("Ritenute (a titolo d'imposta e d'acconto) superiori all'imponibile (%1)").arg(money(taxable)));
            if (taxable > gross)
                add(*cu, Rule::RitenuteReddito, Finding::Avviso, box + s(": imponibile"), money(taxable),
                    s("Imponibile superiore all'ammontare lordo corrisposto (%1)").arg(money(gross)));
        }
    }

    void agent()
    {
        for (const Row &a : in.agent) {
            Row who;
            who.insert(QStringLiteral("SCUDCODFIS"), a.value(QStringLiteral("SSOSCODFIS")));
            who.insert(QStringLiteral("SCUDCOGNOME"), a.value(QStringLiteral("SSOSDENOM")));
            const QString cf = code(a, "SSOSCODFIS");
            if (cf.isEmpty() || !VelCodFis::isValid(cf))
                add(who, Rule::CodiceFiscale, Finding::Errore, s("Sostituto: codice fiscale"),
                    cf.isEmpty() ? s("(vuoto)") : cf,
                    cf.isEmpty() ? s("Codice fiscale del sostituto d'imposta mancante")
                                 : s("Codice fiscale del sostituto d'imposta non valido: %1").arg(VelCodFis::problem(cf)));
            const QString rappr = code(a, "SSOSCFRAPPR");
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
            const QString cf = code(cu, "SCUDCODFIS");
            if (cf.isEmpty())
                continue;
            byCode[cf] << &cu;
            if (++byKey[key(cf, text(cu, "SCUDMESE"))] == 2)
                add(cu, Rule::CuDoppia, Finding::Errore, s("CU"), text(cu, "SCUDMESE"),
                    s("Due certificazioni per lo stesso percipiente e mese"));
        }
        for (auto it = byCode.cbegin(); it != byCode.cend(); ++it) {
            QStringList months;
            for (const Row *cu : it.value())
                if (!months.contains(text(*cu, "SCUDMESE")))
                    months << text(*cu, "SCUDMESE");
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
            cuByCode.insert(code(cu, "SCUDCODFIS"), &cu);
        QSet<QString> withInps, withInpdap;
        for (const Row &r : in.inps)
            withInps.insert(code(r, "SCUDCODFIS"));
        for (const Row &r : in.inpdap)
            withInpdap.insert(code(r, "SCUDCODFIS"));
        for (const TVelPaidPayee &p : *in.payroll) {
            const QString cf = p.codFis.trimmed().toUpper();
            const Row *cu = cf.isEmpty() ? nullptr : cuByCode.value(cf);
            if (!cu) {
                if (p.paid <= Currency())
                    continue;
                Row who;
                who.insert(QStringLiteral("SCUDCODFIS"), cf);
                who.insert(QStringLiteral("SCUDCOGNOME"), p.name);
                add(who, Rule::PagatoSenzaCu, Finding::Avviso, s("Retribuzioni: pagato"), money(p.paid),
                    cf.isEmpty() ? s("Percipiente pagato nell'anno senza codice fiscale e senza CU")
                                 : s("Percipiente pagato nell'anno senza CU"));
                continue;
            }
            if (p.pensionWithheld > Currency() && !withInpdap.contains(cf))
                add(*cu, Rule::ContributiSenzaSezione, Finding::Avviso, s("INPS Sez. 2"), money(p.pensionWithheld),
                    s("Contributi della gestione pubblica trattenuti nelle retribuzioni senza riga nella sezione 2 "
                      "INPS (gestione pubblica)"));
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

namespace {

// The columns the rules read, of every structure: the rows keep only these
// (a certification has hundreds of columns, of which the rules read few).
const QSet<QString> &columnsRead()
{
    static const QSet<QString> names = [] {
        QSet<QString> n;
        for (const char *c : {
                 // the CU
                 "SCUDCODFIS", "SCUDCOGNOME", "SCUDNOME", "SCUDMESE", "SCUDPROVNAS", "ICUDPERIODOLAV",
                 "DCUDDATINIRL", "DCUDDATFINRL", "LCUDINFORZA3112", "FCUDREDDDETR", "FCUDREDDPENS",
                 "FCUDIMPLORDA", "FCUDALTREDDASS", "FCUDASSPERCON", "FCUDRITIRPEF", "FCUDREDDETTRDET",
                 "FCUDTOTDETR", "FCUDDETRIMPNETTA", "FCUDDETRONERI", "FCUDDETRFAMNUM", "FCUDDETRDIPPENSREDD",
                 "FCUDDETRCANLOC", "FCUDDETCREDRULTDETR", "FCUDDEDNOTAXFAM",
                 // dependants
                 "SCUDCODFISCON", "SCUDMESICARCON", "LCUDRELPARCON", "SCUDCODFISPRIFIGL", "SCUDMESICARPRIFIGL",
                 "LCUDRELPARPRIFIGL", "LCUDRELPARPRIFIGLDIS", "SCUDMESIDETRGFPRIFIGL", "SCUDMESIDETRM21PRIFIGL",
                 "SCUDMINTREANNPRIFIGL", "SCUDDETRSPETTPRIFIGL", "SCUDCODFISFIGL", "SCUDMESICARFIGL",
                 "LCUDRELPARFIGL", "LCUDRELPARFIGLDIS", "LCUDRELPARFIGLALTRFAM", "LCUDRELPARNONASCEND",
                 "SCUDMESIDETRGFFIGL", "SCUDMESIDETRM21FIGL", "SCUDMINTREANNFIGL", "FCUDDETRSPETTFIGL",
                 // self-employed
                 "FDSE7AMMLORDO", "FDSE7IMPONIBILE", "FDSE7RITTITIMP", "FDSE7RITTITACC", "SCAUCODICE",
                 // the agent
                 "SSOSCODFIS", "SSOSDENOM", "SSOSCFRAPPR"})
            n.insert(QLatin1String(c));
        return n;
    }();
    return names;
}

} // namespace

QList<QVariantMap> TVelCoherenceInput::rowsOf(TClientDataSet &ds)
{
    QList<QVariantMap> rows;
    // the names made upper case once: every row shares their texts
    QList<QPair<int, QString>> kept;
    const QStringList names = ds.fieldNames();
    for (int f = 0; f < names.size(); ++f)
        if (const QString name = names.at(f).toUpper(); columnsRead().contains(name))
            kept.append({f, name});
    rows.reserve(ds.recordCount());
    for (int r = 0; r < ds.recordCount(); ++r) {
        QVariantMap row;
        for (const auto &[f, name] : std::as_const(kept)) {
            const QVariant v = ds.valueAt(r, f);
            if (v.isValid() && !v.isNull())
                row.insert(name, v);
        }
        rows << row;
    }
    return rows;
}

TVelCoherence::TVelCoherence(TTorDBCds &store) : m_store(store) {}

TVelCoherenceInput TVelCoherence::load(const std::function<QList<QVariantMap>(const char *structure)> &loaded)
{
    TVelCoherenceInput in;
    in.year = m_store.year();
    auto rows = [this, &loaded](const char *structure) {
        if (loaded)
            return loaded(structure);
        TClientDataSet ds;
        m_store.Load(ds, QLatin1String(structure), TTorDBCds::AllMonths);
        ds.setFiltered(false);
        return TVelCoherenceInput::rowsOf(ds);
    };
    in.cu = rows("TCUD_DATICUD");
    in.family = rows("TCUDC_CONFAMCARICO");
    in.inps = rows("TCUDI_INPS");
    in.inpdap = rows("TCUDN_INPDAP");
    in.autonomo = rows("TASE_AUTSOMMEEROGATE");
    in.agent = rows("TCUS_DATISOST");
    if (m_workgroup <= 0 || !m_queries)
        in.payrollWhy = s("configurazione dell'istituto non indicata");
    else if (!m_store.connection())
        in.payrollWhy = s("nessuna connessione al database");
    else
        in.payroll = readPayroll({m_store.connection(), m_queries}, in.year, m_workgroup, &in.payrollWhy);
    return in;
}

TVelCoherenceResult TVelCoherence::run()
{
    return check(load());
}

TVelCoherenceResult TVelCoherence::check(const TVelCoherenceInput &in)
{
    Checker c{in, {}, {}};
    for (const Row &cu : in.cu)
        c.cuByKey.insert(key(code(cu, "SCUDCODFIS"), text(cu, "SCUDMESE")), &cu);
    c.repeated();
    for (const Row &cu : in.cu) {
        c.taxCode(cu);
        c.dates(cu);
        c.days(cu);
        c.sums(cu);
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

std::optional<QList<TVelPaidPayee>> TVelCoherence::readPayroll(const TRagSource &source, int year, int workgroup,
                                                               QString *why)
{
    try {
        TRagQuery q(source);
        TOvSQLQuery &ds = q.open(QStringLiteral("QRY_CUD_PAGATI_CONTRIBUTI"),
                                 {{QStringLiteral("IDWGID"), workgroup},
                                  {QStringLiteral("IANFID"), TorAnni::toKey(year)},
                                  {QStringLiteral("RICE_COD_INPDAP"), 2},
                                  {QStringLiteral("RICE_COD_INPS_OI"), 3},
                                  {QStringLiteral("RICE_COD_INPS_PT"), 13},
                                  {QStringLiteral("RICE_COD_INPS_GS"), 15}});
        QList<TVelPaidPayee> out;
        for (ds.first(); !ds.eof(); ds.next()) {
            TVelPaidPayee p;
            p.codFis = ds.fieldByName(QStringLiteral("SANACODFISCALE")).asString().trimmed();
            p.name = (ds.fieldByName(QStringLiteral("SANACOGNOME")).asString().trimmed() + QLatin1Char(' ')
                      + ds.fieldByName(QStringLiteral("SANANOME")).asString().trimmed())
                         .simplified();
            p.paid = TRagQuery::amount(ds, QStringLiteral("PAGATO"));
            p.pensionWithheld = TRagQuery::amount(ds, QStringLiteral("CONTR_INPDAP"));
            p.inpsWithheld = TRagQuery::amount(ds, QStringLiteral("CONTR_INPS"));
            out << p;
        }
        ds.close();
        return out;
    } catch (const std::exception &e) {
        if (why)
            *why = exceptionText(e).simplified();
        return std::nullopt;
    }
}

TVelCoherenceReport TVelCoherence::supplyReport(TTorDBCds &store, int workgroup, TTorQueryText &queries,
                                                TClientDataSet &dip, const QList<int> &rows,
                                                const std::function<QList<QVariantMap>(const char *structure)> &loaded)
{
    QSet<QString> visited;
    const int keep = dip.recNo();
    for (int r : rows) {
        dip.setRecNo(r);
        visited.insert(dip.fieldByName(QStringLiteral("SCUDCODFIS")).asString().trimmed().toUpper());
    }
    if (keep > 0)
        dip.setRecNo(keep);
    const bool whole = !rows.isEmpty() && rows.size() >= dip.recordCount();
    TVelCoherence check(store);
    check.setPayroll(workgroup, queries);
    const TVelCoherenceResult result = rows.isEmpty() ? TVelCoherenceResult() : check.check(check.load(loaded));
    TVelCoherenceReport report;
    for (const Finding &f : result.findings) {
        // a payee with two CUs: the supply refuses it with its own message
        if (f.rule == TVelCoherenceRule::CuDoppia)
            continue;
        // payees without CU belong to the year's supply as a whole; the agent
        // (whose code the generation requires itself) to every supply
        const bool agent = f.month.isEmpty() && f.rule != TVelCoherenceRule::PagatoSenzaCu;
        const bool shown = f.rule == TVelCoherenceRule::PagatoSenzaCu ? whole
                                                                     : agent || visited.contains(f.codFis.trimmed().toUpper());
        if (!shown)
            continue;
        (f.stopsSupply() && !agent ? report.blocking : report.warnings) << f.line();
    }
    if (!report.blocking.isEmpty()) {
        report.blocking.prepend(s("Controllo di coerenza dei CU: errori"));
        report.blocking << s("Correggere i dati in \"Dati CU\" prima di inviare la fornitura.");
    }
    if (!report.warnings.isEmpty()) {
        report.warnings.prepend(s("Controllo di coerenza dei CU: da verificare (elenco completo in \"Controllo di "
                                  "coerenza dei CU\")"));
        if (!result.payrollChecked && workgroup > 0)
            report.warnings << result.payrollNote;
    }
    return report;
}
