// velcu-cli sostituto: the withholding agent's and the supplier's data as
// their editors show them, and set with the editors' checks, so that a year
// can be finished without a window.
//
//   velcu-cli sostituto                         shows both, with what the supply still needs
//   velcu-cli sostituto --imposta CAMPO=VALORE  (repeatable) sets fields, then shows
//
// As in the editors: text is upper case; a value the supply would refuse (a
// tax code that fails its check, a CAP that is not five digits, a province
// that is not one, a charge code outside 1-15, a supplier type other than
// "01" and "10": VelSupplyRules) is refused and nothing is saved; a code not
// found in its table is kept; the supplier's row goes through the
// mandatory-field check, and is saved with problems only with --forza (the
// editor asks).
#include "src/prj/unit/cli/VelCliCommon.h"

#include "src/prj/unit/check/VelMandatoryFields.h"
#include "src/prj/unit/check/VelSupplyRules.h"
#include "src/prj/unit/model/VelCodeTables.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "velcu/VelFields.h"

#include <QDate>

namespace VelCli::detail {

namespace {

const QString kAgent = rec::TCUS_DATISOST::id.qs();
const QString kSupplier = rec::TCFO_FORNITORE::id.qs();

// The fields an editor shows, in the model's order.
QList<const VelFieldDesc *> shownFields(const QString &structure)
{
    QList<const VelFieldDesc *> out;
    for (const VelFieldDesc &f : VelRecordModel::instance().structure(structure).fields)
        if (!f.page.isEmpty())
            out << &f;
    return out;
}

const VelFieldDesc *shownField(const QString &name, QString *structure)
{
    for (const QString &st : {kAgent, kSupplier})
        for (const VelFieldDesc *f : shownFields(st))
            if (f->name.compare(name, Qt::CaseInsensitive) == 0) {
                *structure = st;
                return f;
            }
    return nullptr;
}

QString label(const VelFieldDesc &f)
{
    return f.caption().simplified();
}

QString shown(TClientDataSet &ds, const VelFieldDesc &f)
{
    if (ds.isEmpty())
        return QString();
    const TField field = ds.fieldByName(f.name);
    if (f.kind == VelFieldKind::Date)
        return field.isNull() ? QString() : field.asDate().toString(QStringLiteral("dd/MM/yyyy"));
    return field.asString().trimmed();
}

// Whether a code is in the field's table; true when there is no table to ask.
bool inTable(const VelFieldDesc &f, const QString &code)
{
    if (f.table.isEmpty() || code.isEmpty())
        return true;
    TClientDataSet table;
    try {
        VelCodeTables::load(table, f.table);
    } catch (const std::exception &) {
        return true;
    }
    if (table.isEmpty())
        return true; // a table awaiting its codes: the code is typed by hand
    return table.locate(QStringLiteral("Codice"), code);
}

// The value as the editor's box would store it; UsageError when it cannot.
QString normalised(const VelFieldDesc &f, const QString &value)
{
    const QString v = value.trimmed();
    switch (f.kind) {
    case VelFieldKind::FlagX:
    case VelFieldKind::Flag1:
        if (v == QLatin1String("0") || v.isEmpty())
            return QStringLiteral("0");
        if (v == QLatin1String("1") || v.compare(QLatin1String("X"), Qt::CaseInsensitive) == 0)
            return f.flagSetValue();
        throw UsageError{s("%1: valore \"%2\" non valido (1 segnato, 0 non segnato).").arg(f.name, value)};
    case VelFieldKind::Date:
        if (!v.isEmpty() && !QDate::fromString(v, QStringLiteral("dd/MM/yyyy")).isValid())
            throw UsageError{s("%1: data \"%2\" non valida (gg/mm/aaaa).").arg(f.name, value)};
        return v;
    case VelFieldKind::Integer: {
        bool ok = v.isEmpty();
        if (!ok)
            v.toInt(&ok);
        if (!ok)
            throw UsageError{s("%1: \"%2\" non è un numero intero.").arg(f.name, value)};
        return v;
    }
    case VelFieldKind::List:
        for (const VelListValue &lv : f.values)
            if (lv.code.compare(v, Qt::CaseInsensitive) == 0)
                return lv.code;
        throw UsageError{s("%1: valore \"%2\" non previsto.").arg(f.name, value)};
    default:
        return v.toUpper();
    }
}

void store(TClientDataSet &ds, const VelFieldDesc &f, const QString &value)
{
    TField field = ds.fieldByName(f.name);
    if (value.isEmpty() && f.kind != VelFieldKind::FlagX && f.kind != VelFieldKind::Flag1)
        field.setValue(QVariant());
    else if (f.kind == VelFieldKind::Date)
        field.setAsDate(QDate::fromString(value, QStringLiteral("dd/MM/yyyy")));
    else if (f.kind == VelFieldKind::Integer)
        field.setValue(value.toInt());
    else
        field.setAsString(value);
}

bool isTaxCodeField(const QString &name)
{
    static const QStringList kFields = {fld::SSOSCODFIS.qs(),    fld::SSOSCODFISSOSSUB.qs(),
                                        fld::SSOSCFRAPPR.qs(),   fld::SSOSCFSOCENTE.qs(),
                                        fld::SSOSCODFISINTERM.qs(), fld::SFORCODFIS.qs()};
    return kFields.contains(name.toUpper());
}

void show(Command &c, TClientDataSet &ds, const QString &structure)
{
    c.out << VelRecordModel::instance().structure(structure).caption << ":\n";
    if (ds.isEmpty())
        c.out << s("  (nessun dato)\n");
    for (const VelFieldDesc *f : shownFields(structure)) {
        const QString v = shown(ds, *f);
        c.out << QStringLiteral("  %1 %2: %3").arg(f->name.leftJustified(20), label(*f), v);
        if (isTaxCodeField(f->name) && !v.isEmpty())
            if (const QString p = VelCodFis::problem(v); !p.isEmpty())
                c.out << s("  [controllare il codice fiscale: %1]").arg(p.toLower());
        c.out << '\n';
    }
}

} // namespace

QString agentValue(TClientDataSet &ds, const char *field)
{
    const int i = ds.fieldIndex(QLatin1String(field));
    return i < 0 || ds.isEmpty() ? QString() : ds.field(i).asString().trimmed();
}

QStringList agentMissing(TClientDataSet &sost)
{
    if (sost.isEmpty())
        return {s("nessun dato")};
    QStringList missing;
    if (!TVelSupplyCheck::validTaxCode(agentValue(sost, fld::SSOSCODFIS.name).toUpper()))
        missing << s("codice fiscale");
    const std::pair<const char *, const char *> required[] = {
        {fld::SSOSDENOM.name, "denominazione"},
        {fld::SSOSCFRAPPR.name, "codice fiscale del rappresentante"},
        {fld::SCARCODICE.name, "codice carica del rappresentante"},
        {fld::SSOSCOGNRAPPR.name, "cognome del rappresentante"},
        {fld::SSOSNOMERAPPR.name, "nome del rappresentante"},
        {fld::SSOSFIRMACOM.name, "firma della comunicazione"},
    };
    for (const auto &[field, what] : required)
        if (agentValue(sost, field).isEmpty())
            missing << s(what);
    return missing;
}

QStringList supplierMissing(TClientDataSet &forn)
{
    if (forn.isEmpty())
        return {s("nessun dato")};
    QStringList missing;
    if (!TVelSupplyCheck::validTaxCode(agentValue(forn, fld::SFORCODFIS.name).toUpper()))
        missing << s("codice fiscale");
    if (agentValue(forn, fld::STFOCODICE.name).isEmpty())
        missing << s("tipo fornitore");
    return missing;
}

QString completeness(const QStringList &missing)
{
    return missing.isEmpty() ? s("completi") : s("incompleti (") + missing.join(QStringLiteral(", ")) + QLatin1Char(')');
}

int sostituto(Command &c, LazySession &db)
{
    if (!c.p.positionalArguments().isEmpty())
        throw UsageError{s("Argomento non previsto: \"%1\".").arg(c.p.positionalArguments().first())};
    // Every assignment is understood before the database is opened.
    struct Assignment
    {
        QString structure;
        const VelFieldDesc *field;
        QString value;
    };
    QList<Assignment> assignments;
    QStringList refused;
    for (const QString &a : c.p.values(QStringLiteral("imposta"))) {
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        if (eq <= 0)
            throw UsageError{s("--imposta \"%1\": serve CAMPO=VALORE.").arg(a)};
        QString structure;
        const VelFieldDesc *f = shownField(a.left(eq).trimmed(), &structure);
        if (!f)
            throw UsageError{s("--imposta: campo \"%1\" sconosciuto (velcu-cli sostituto per l'elenco).")
                                 .arg(a.left(eq).trimmed())};
        assignments.append({structure, f, normalised(*f, a.mid(eq + 1))});
        if (const QString why = VelSupplyRules::checkColumn(f->name, assignments.last().value); !why.isEmpty())
            refused << s("Valore rifiutato per %1 (%2): %3.").arg(f->name, label(*f), why);
    }
    if (!refused.isEmpty()) {
        for (const QString &line : std::as_const(refused))
            c.err << line << '\n';
        c.err << s("Nessun dato salvato: correggere i valori.\n");
        return Errors;
    }

    Session &session = db.get();
    TTorDBCds &st = *session.store;
    TClientDataSet sost, forn;
    st.Load(sost, kAgent);
    st.Load(forn, kSupplier);
    int status = Ok;
    for (TClientDataSet *ds : {&sost, &forn}) {
        const QString structure = ds == &sost ? kAgent : kSupplier;
        QList<Assignment> mine;
        for (const Assignment &a : std::as_const(assignments))
            if (a.structure == structure)
                mine << a;
        if (mine.isEmpty())
            continue;
        const bool inserting = ds->isEmpty();
        if (inserting) {
            ds->append();
            for (const VelFieldDesc *f : shownFields(structure))
                if (f->isFlag())
                    ds->fieldByName(f->name).setAsString(QStringLiteral("0"));
        } else {
            ds->first();
            ds->edit();
        }
        for (const Assignment &a : std::as_const(mine)) {
            store(*ds, *a.field, a.value);
            if (isTaxCodeField(a.field->name) && !a.value.isEmpty())
                if (const QString p = VelCodFis::problem(a.value); !p.isEmpty())
                    c.err << s("Controllare il codice fiscale %1 (%2): %3.\n").arg(a.value, label(*a.field), p.toLower());
            if (!inTable(*a.field, a.value))
                c.err << s("Il codice \"%1\" di %2 non è nella tabella %3: lo si conserva come scritto.\n")
                             .arg(a.value, label(*a.field), a.field->table);
        }
        if (ds == &forn) {
            // The supplier's editor: the code is required, the mandatory
            // fields are checked and the office decides.
            if (inserting && agentValue(forn, fld::SFORCODFIS.name).isEmpty()) {
                forn.cancel();
                c.err << s("Codice fiscale obbligatorio\n");
                status = Errors;
                continue;
            }
            QStringList problems;
            if (!CheckMandatoryFields(problems, {&forn})) {
                for (const QString &p : problems)
                    c.err << p.trimmed() << '\n';
                if (!c.p.isSet(QStringLiteral("forza"))) {
                    forn.cancel();
                    c.err << s("Dati del fornitore non salvati: correggere o ripetere con --forza.\n");
                    status = Errors;
                    continue;
                }
            }
        }
        ds->post();
        st.Save(*ds, structure);
        c.err << (ds == &sost ? s("Dati del sostituto salvati.\n") : s("Dati del fornitore salvati.\n"));
    }
    c.err.flush();
    st.Load(sost, kAgent);
    st.Load(forn, kSupplier);
    sost.first();
    forn.first();
    show(c, sost, kAgent);
    show(c, forn, kSupplier);
    c.out << s("Dati del sostituto per la fornitura: %1\n").arg(completeness(agentMissing(sost)));
    c.out << s("Dati del fornitore per la fornitura: %1\n").arg(completeness(supplierMissing(forn)));
    return status;
}

} // namespace VelCli::detail
