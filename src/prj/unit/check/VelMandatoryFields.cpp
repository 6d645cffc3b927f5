#include "src/prj/unit/check/VelMandatoryFields.h"

#include "platform/dataset/TClientDataSet.h"
#include "velcu/VelFields.h"

#include <QHash>
#include <QRegularExpression>

namespace VelMandatoryFields {

QString modelName(const QString &field)
{
    // A letter for the type, the module's letters and a 7 ("SDIP7", "LINPS7",
    // "FCFC7", "SDAU7"): the record model writes the same box with "CUD".
    static const QRegularExpression legacy(QStringLiteral("^([A-Za-z])[A-Za-z]+7(.+)$"));
    const QRegularExpressionMatch m = legacy.match(field);
    if (!m.hasMatch())
        return field.toUpper();
    return (m.captured(1) + QStringLiteral("CUD") + m.captured(2)).toUpper();
}

bool isModelName(const QString &field)
{
    static const QRegularExpression cud(QStringLiteral("^[A-Za-z]CUD"), QRegularExpression::CaseInsensitiveOption);
    return cud.match(field).hasMatch();
}

namespace {

const QString kMissing = QStringLiteral(" - Dato obbligatorio mancante: ");
const QString kLineBreak = QStringLiteral("\r\n");

// The field of a dataset under the list's name or under the record model's
// name for the same box (SDIP7CODFIS is the CU's SCUDCODFIS).
// The column is found once per dataset and list of columns: the rules read
// the same names certification after certification, and the model's name is
// worked out by a pattern (a supply of 10,000 CUs asked it half a million
// times).
TField fieldOf(TClientDataSet &ds, const QString &field)
{
    struct Columns
    {
        QList<TFieldDef> defs; // the list the indexes were found in (held, so its address stays its own)
        QHash<QString, int> index;
    };
    static thread_local QHash<const TClientDataSet *, Columns> known;
    if (known.size() > 64 && !known.contains(&ds))
        known.clear(); // datasets long gone: their lists are let go
    Columns &c = known[&ds];
    const QList<TFieldDef> &defs = ds.fieldDefs();
    if (c.defs.constData() != defs.constData() || c.defs.size() != defs.size()) {
        c.defs = defs;
        c.index.clear();
    }
    auto it = c.index.constFind(field);
    if (it == c.index.constEnd()) {
        int i = ds.fieldIndex(field);
        if (i < 0) {
            const QString model = modelName(field);
            if (model.compare(field, Qt::CaseInsensitive) != 0)
                i = ds.fieldIndex(model);
        }
        it = c.index.insert(field, i);
    }
    return *it < 0 ? TField() : ds.field(*it);
}

QString text(TClientDataSet &ds, const QString &field)
{
    const TField f = fieldOf(ds, field);
    return f.isValid() ? f.asString() : QString();
}

bool blank(TClientDataSet &ds, const QString &field)
{
    return text(ds, field).trimmed().isEmpty();
}

// A flag box is ticked when it holds "1" (or "X", as the CU's own flags do).
bool ticked(TClientDataSet &ds, const QString &field)
{
    const QString v = text(ds, field).trimmed();
    return v == QLatin1String("1") || v.compare(QLatin1String("X"), Qt::CaseInsensitive) == 0;
}

// A flag box left at "0" (or empty, as an unset box often is).
bool unticked(TClientDataSet &ds, const QString &field)
{
    const QString v = text(ds, field).trimmed();
    return v.isEmpty() || v == QLatin1String("0");
}

const QStringList &monthNames()
{
    static const QStringList m = {
        QStringLiteral("GENNAIO"), QStringLiteral("FEBBRAIO"), QStringLiteral("MARZO"), QStringLiteral("APRILE"),
        QStringLiteral("MAGGIO"),  QStringLiteral("GIUGNO"),   QStringLiteral("LUGLIO"), QStringLiteral("AGOSTO"),
        QStringLiteral("SETTEMBRE"), QStringLiteral("OTTOBRE"), QStringLiteral("NOVEMBRE"),
        QStringLiteral("DICEMBRE")};
    return m;
}

QString representative(TClientDataSet &ds)
{
    const bool denomination = !blank(ds, QStringLiteral("SSOSDENRAPPR"));
    const bool surname = !blank(ds, fld::SSOSCOGNRAPPR.qs());
    const bool name = !blank(ds, fld::SSOSNOMERAPPR.qs());
    if (denomination)
        return surname || name ? QStringLiteral(" - Dati in eccesso: Nome o cognome del rappresentante della "
                                                "dichiarazione compilati in presenza della denominazione")
                               : QString();
    if (name && !surname)
        return kMissing + QStringLiteral("Cognome del rappresentante della dichiarazione");
    if (surname && !name)
        return kMissing + QStringLiteral("Nome del rappresentante della dichiarazione");
    if (!surname && !name)
        return kMissing + QStringLiteral("Denominazione o cognome e nome del rappresentante della dichiarazione");
    return {};
}

// The "tutti i mesi" box of INPS 10 (suffix "") or INPS 16 (suffix "_C").
QString allMonths(TClientDataSet &ds, const QString &suffix)
{
    const bool box16 = !suffix.isEmpty();
    bool data = false;
    if (box16) {
        for (const char *f : {"FINPS7COMPCORRISP", "FINPS7COMPDOVUTI", "FINPS7COMPTRATTEN", "FINPS7COMPVERSATI"})
            data = data || hasValue(ds, QString::fromLatin1(f));
    } else {
        for (const char *f : {"FINPS7IMPONIBILE", "FINPS7CONTRIBTRATT", "FINPS7BONUS"})
            data = data || hasValue(ds, QString::fromLatin1(f));
        for (const char *f : {"LINPS7INTERAMVERS", "LINPS7PARZIALVERS", "LINPS7NONVERS"})
            data = data || !unticked(ds, QString::fromLatin1(f));
    }
    if (!data)
        return {};
    bool monthFlagged = false;
    for (const QString &m : monthNames())
        monthFlagged = monthFlagged || ticked(ds, QStringLiteral("LINPS7") + m + suffix);
    const QString box = box16 ? QStringLiteral("INPS 16") : QStringLiteral("INPS 10");
    const bool all = ticked(ds, QStringLiteral("LINPS7MESIRETR") + suffix);
    if (all && monthFlagged)
        return QStringLiteral(" - Campo errato: Sono stati esclusi dei mesi sebbene il campo \"tutti i mesi\" (%1) "
                              "del modulo INPS fosse compilato").arg(box);
    if (!all && !monthFlagged)
        return QStringLiteral(" - Campo errato: Nessun mese escluso dall'EMens quindi il campo \"tutti i mesi\" (%1) "
                              "del modulo INPS deve essere compilato").arg(box);
    return {};
}

QString selfEmployed(TClientDataSet &ds)
{
    static const QList<QPair<const char *, const char *>> fields = {
        {"SDAU7CODFIS", "Codice fiscale dell'autonomo"},
        {"SDAU7COGNOME", "Cognome o denominazione dell'autonomo"},
        {"SDAU7NOME", "Nome dell'autonomo"},
        {"SDAU7SEX", "Sesso dell'autonomo"},
        {"DDAU7DATANAS", "Data di nascita dell'autonomo"},
        {"SDAU7COMNAS", "Comune di nascita dell'autonomo"},
        {"SDAU7PROVNAS", "Provincia di nascita dell'autonomo"}};
    for (const auto &[field, label] : fields)
        if (!hasValue(ds, QString::fromLatin1(field)))
            return kMissing + QString::fromUtf8(label);
    return {};
}

QString dependants(TClientDataSet &ds)
{
    if (ds.isEmpty())
        return {};
    QStringList lines;
    auto require = [&](const char *field, const char *label) {
        if (!hasValue(ds, QString::fromLatin1(field)))
            lines << kMissing + QString::fromUtf8(label);
    };
    if (ticked(ds, QStringLiteral("LCFC7RELPARCON"))) {
        require("SCFC7CODFISCON", "Codice fiscale coniuge");
        require("SCFC7MESICARCON", "Nr. Mesi a carico coniuge");
    }
    if (ticked(ds, QStringLiteral("LCFC7RELPARPRIFIGL"))) {
        require("SCFC7CODFISPRIFIGL", "Codice fiscale primo figlio");
        require("SCFC7MESICARPRIFIGL", "Nr. Mesi a carico primo figlio");
        require("SCFC7DETRSPETTPRIFIGL", "Percentuale detrazione spettante primo figlio");
    }
    const bool child = ticked(ds, QStringLiteral("LCFC7RELPARFIGL"));
    const bool relative = ticked(ds, QStringLiteral("LCFC7RELPARFIGLALTRFAM"));
    if (child && relative)
        lines << QStringLiteral(" - Dati incongruenti: Altro figlio e altro familiare ambedue abilitati");
    if (child || relative) {
        require("SCFC7CODFISFIGL", "Codice fiscale altro figlio o altro familiare");
        require("SCFC7MESICARFIGL", "Nr. Mesi a carico altro figlio o altro familiare");
        require("FCFC7DETRSPETTFIGL", "Percentuale detrazione spettante altro figlio o altro familiare");
    }
    return lines.join(kLineBreak);
}

} // namespace

const QList<QPair<QString, QString>> &list()
{
    static const QList<QPair<QString, QString>> fields = [] {
        const QList<QPair<const char *, const char *>> raw = {
            {fld::SSOSDENOM.name, "Denominazione del sostituto"},
            {fld::SSOSCODFIS.name, "Codice fiscale del sostituto"},
            {"SCOACODICE", "Codice attività del sostituto"},
            {fld::SSOSCFRAPPR.name, "Codice fiscale del rappresentante firmatario"},
            {fld::SCARCODICE.name, "Codice carica del rappresentante firmatario"},
            {"STSACODICE", "Stato (tab. SA) in altri soggetti"},
            {"STSBCODICE", "Natura giuridica (tab. SB) in altri soggetti"},
            {"STSCCODICE", "Situazione (tab. SC) in altri soggetti"},
            {"SSOSCOMUNESL", "Comune sede legale"},
            {"SSOSPROVSL", "Provincia sede legale"},
            {"SSOSINDIRIZSL", "Indirizzo sede legale"},
            {"SSOSCAPSL", "Cap sede legale"},
            {"SSOSALTSOGCODCOMSL", "Codice comune sede legale"},
            {"SSOSSESSO", "Sesso del rappresentante firmatario"},
            {"DSOSDTNASRAPPR", "Data di nascita del rappresentante firmatario"},
            {"SSOSCOMNASRAPPR", "Comune o stato estero di nascita del rappresentante firmatario"},
            {"SSOSPROVNASRAPPR", "Provincia di nascita del rappresentante firmatario"},
            {"SSOSCOMRESRAPPR", "Comune di residenza del rappresentante firmatario"},
            {"SSOSPROVRESRAPPR", "Provincia di residenza del rappresentante firmatario"},
            {"SSOSCAPRESRAPPR", "CAP di resisdenza del rappresentante firmatario"},
            {"ISOSSEZ", "Redazione della dichiarazione"},
            {"SSOSDICHIARANTE", "Firma del dichiarante nella redazione della dichiarazione"},
            {fld::STFOCODICE.name, "Tipo fornitore"},
            {fld::SFORCODFIS.name, "Codice fiscale del fornitore"},
            {"SDIP7CODFIS", "Codice fiscale del dipendente"},
            {"SDIP7COGNOME", "Cognome del dipendente"},
            {"SDIP7NOME", "Nome del dipendente"},
            {"SDIP7SEX", "Sesso del dipendente"},
            {"DDIP7DATANAS", "Data di nascita del dipendente"},
            {"SDIP7COMNAS", "Comune di nascita del dipendente"},
            {"SDIP7PROVNAS", "Provincia di nascita del dipendente"},
            {"SINPS7MATRAZIENDA", "Matricola azienda"},
            {"SINPDAP7CODFISAMMNE", "Codice fiscale amministrazione nel modulo INPDAP"},
            {"SINPDAP7GESASS_1", "Cassa pensionistica nel modulo INPDAP"},
            {"SINPDAP7GESASS_2", "Cassa previdenziale nel modulo INPDAP"},
            {"SINPDAP7GESASS_3", "Cassa credito nel modulo INPDAP"},
            {"SPSTMESE", "Mese di riferimento prospetto ST"},
            {"SPSTANNO", "Anno di riferimento prospetto ST"},
            {"SPSVMESE", "Mese di riferimento prospetto SV"},
            {"SPSVANNO", "Anno di riferimento prospetto SV"}};
        QList<QPair<QString, QString>> out;
        for (const auto &[f, l] : raw)
            out.append({QString::fromLatin1(f), QString::fromUtf8(l)});
        return out;
    }();
    return fields;
}

bool hasValue(TClientDataSet &ds, const QString &field)
{
    const TField f = fieldOf(ds, field);
    if (!f.isValid() || f.isNull())
        return false;
    switch (f.dataType()) {
    case TFieldType::String:
    case TFieldType::Memo:
        return !f.asString().isEmpty();
    case TFieldType::Date:
        return f.asDate().isValid();
    case TFieldType::DateTime:
        return f.asDateTime().isValid();
    default: {
        bool ok = false;
        f.asString().trimmed().toDouble(&ok);
        return ok;
    }
    }
}

namespace {

enum class Rule { None, Representative, AllMonths, AllMonthsC, Dependants, SelfEmployed };

// Which related-field rule is about a field: a matter of its name alone.
Rule ruleFor(const QString &field)
{
    // The field as the list names it, or as the record model names that box.
    const bool model = isModelName(field);
    auto is = [&field, model](const char *name) {
        const QString n = QString::fromLatin1(name);
        return field.compare(n, Qt::CaseInsensitive) == 0
            || (model && field.compare(modelName(n), Qt::CaseInsensitive) == 0);
    };
    if (is("SSOSDENRAPPR"))
        return Rule::Representative;
    if (is("LINPS7MESIRETR"))
        return Rule::AllMonths;
    if (is("LINPS7MESIRETR_C"))
        return Rule::AllMonthsC;
    if (is("LCFC7RELPARCON"))
        return Rule::Dependants;
    // The record model keeps the self-employed payee's identity in the CU's
    // own fields, already in the list: the rule stands for the list's names.
    if (field.compare(QLatin1String("SDAU7CODFIS"), Qt::CaseInsensitive) == 0)
        return Rule::SelfEmployed;
    return Rule::None;
}

QString applyRule(TClientDataSet &ds, Rule rule)
{
    switch (rule) {
    case Rule::Representative:
        return representative(ds);
    case Rule::AllMonths:
        return allMonths(ds, QString());
    case Rule::AllMonthsC:
        return allMonths(ds, QStringLiteral("_C"));
    case Rule::Dependants:
        return dependants(ds);
    case Rule::SelfEmployed:
        return selfEmployed(ds);
    case Rule::None:
        break;
    }
    return {};
}

} // namespace

QString relatedFieldRules(TClientDataSet &ds, const QString &field)
{
    return applyRule(ds, ruleFor(field));
}

} // namespace VelMandatoryFields

bool CheckMandatoryFields(QStringList &problems, const QList<TClientDataSet *> &datasets)
{
    // Under the list's own names, and under the names the record model gives
    // the same boxes ("SDIP7COGNOME" is the CU's "SCUDCOGNOME"). A module's
    // other fields are not the CU's: "SDAU7NOME" is no "SDIP7NOME".
    static const QHash<QString, QString> byListName = [] {
        QHash<QString, QString> h;
        for (const auto &[field, label] : VelMandatoryFields::list())
            h.insert(field.toUpper(), label);
        return h;
    }();
    static const QHash<QString, QString> byModelName = [] {
        QHash<QString, QString> h;
        for (const auto &[field, label] : VelMandatoryFields::list())
            h.insert(VelMandatoryFields::modelName(field), label);
        return h;
    }();
    // What to look at in a dataset depends on its columns alone: worked out
    // once per list of columns (a supply checks thousands of CUs with the same
    // 486 columns), kept with that list so that a dataset given other columns
    // is looked at afresh.
    struct Step
    {
        int index;
        QString label; // a field of the list: its label; else empty
        VelMandatoryFields::Rule rule;
    };
    struct Plan
    {
        QList<TFieldDef> defs; // the columns the plan was made for (held, so their address stays theirs)
        QList<Step> steps;
    };
    static QHash<const TClientDataSet *, Plan> plans;

    const int before = int(problems.size());
    for (TClientDataSet *ds : datasets) {
        if (!ds || !ds->active())
            continue;
        const QList<TFieldDef> &defs = ds->fieldDefs();
        Plan &plan = plans[ds];
        if (plan.defs.constData() != defs.constData() || plan.defs.size() != defs.size()) {
            plan.defs = defs;
            plan.steps.clear();
            for (int i = 0; i < defs.size(); ++i) {
                const TFieldDef &d = defs.at(i);
                const QString key = d.name.toUpper();
                QString label = byListName.value(key);
                if (label.isEmpty() && VelMandatoryFields::isModelName(d.name))
                    label = byModelName.value(key);
                if (!label.isEmpty()) {
                    plan.steps.append({i, label, VelMandatoryFields::Rule::None});
                    continue;
                }
                const VelMandatoryFields::Rule rule = VelMandatoryFields::ruleFor(d.name);
                if (rule != VelMandatoryFields::Rule::None)
                    plan.steps.append({i, QString(), rule});
            }
        }
        for (const Step &step : std::as_const(plan.steps)) {
            if (!step.label.isEmpty()) {
                if (!VelMandatoryFields::hasValue(*ds, defs.at(step.index).name))
                    problems << QStringLiteral(" - Dato obbligatorio mancante: ") + step.label;
                continue;
            }
            const QString related = VelMandatoryFields::applyRule(*ds, step.rule);
            if (!related.isEmpty())
                problems << related;
        }
    }
    return int(problems.size()) == before;
}
