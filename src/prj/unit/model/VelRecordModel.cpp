#include "src/prj/unit/model/VelRecordModel.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelCodeTables.h"
#include "velcu/VelFields.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QHash>
#include <QSet>

namespace {

const char kFormat[] = "velcu-record-model";
constexpr int kVersion = 1;

// The person columns a field map may name.
const QStringList &personColumns()
{
    static const QStringList cols = {QStringLiteral("saficodfiscale"), QStringLiteral("saficognome"),
                                     QStringLiteral("safinome"), QStringLiteral("saficodfissost"),
                                     QStringLiteral("safigruppoana")};
    return cols;
}

TFieldType typeForKind(VelFieldKind kind)
{
    switch (kind) {
    case VelFieldKind::Memo: return TFieldType::Memo;
    case VelFieldKind::Amount: return TFieldType::Currency;
    case VelFieldKind::Integer: return TFieldType::Integer;
    case VelFieldKind::Date: return TFieldType::Date;
    default: return TFieldType::String;
    }
}

// Reads one description, collecting what is wrong with it.
class Reader
{
public:
    explicit Reader(QString source) : m_source(std::move(source)) {}

    [[noreturn]] void fail(const QString &what) const
    {
        throw EOvError(QStringLiteral("Descrizione del modello CU '%1' non valida: %2").arg(m_source, what));
    }

    QString text(const QJsonObject &o, const char *key, const QString &where, bool required = false) const
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined() || v.isNull()) {
            if (required)
                fail(QStringLiteral("%1: manca \"%2\"").arg(where, QLatin1String(key)));
            return QString();
        }
        if (!v.isString())
            fail(QStringLiteral("%1: \"%2\" deve essere un testo").arg(where, QLatin1String(key)));
        return v.toString();
    }

    bool flag(const QJsonObject &o, const char *key, const QString &where) const
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return false;
        if (!v.isBool())
            fail(QStringLiteral("%1: \"%2\" deve essere true o false").arg(where, QLatin1String(key)));
        return v.toBool();
    }

    int integer(const QJsonObject &o, const char *key, const QString &where, int def) const
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return def;
        if (!v.isDouble() || v.toDouble() != double(v.toInt()))
            fail(QStringLiteral("%1: \"%2\" deve essere un numero intero").arg(where, QLatin1String(key)));
        return v.toInt();
    }

    QJsonArray array(const QJsonObject &o, const char *key, const QString &where) const
    {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            return QJsonArray();
        if (!v.isArray())
            fail(QStringLiteral("%1: \"%2\" deve essere un elenco").arg(where, QLatin1String(key)));
        return v.toArray();
    }

    QJsonObject object(const QJsonValue &v, const QString &where) const
    {
        if (!v.isObject())
            fail(QStringLiteral("%1: atteso un oggetto").arg(where));
        return v.toObject();
    }

    VelFieldDesc field(const QJsonObject &o, const QString &where) const
    {
        VelFieldDesc f;
        f.name = text(o, "name", where, true);
        const QString at = QStringLiteral("%1, campo %2").arg(where, f.name);
        const QString kind = text(o, "kind", at, true);
        if (!velFieldKindFromName(kind, &f.kind))
            fail(QStringLiteral("%1: tipo di campo sconosciuto \"%2\"").arg(at, kind));
        const QString type = text(o, "type", at, true);
        if (!fieldTypeFromName(type, &f.type))
            fail(QStringLiteral("%1: tipo di dato sconosciuto \"%2\"").arg(at, type));
        if (f.type != typeForKind(f.kind))
            fail(QStringLiteral("%1: il tipo di dato \"%2\" non corrisponde al tipo di campo \"%3\"")
                     .arg(at, type, kind));
        f.size = integer(o, "size", at, 0);
        if (f.type == TFieldType::String && f.size <= 0)
            fail(QStringLiteral("%1: larghezza mancante o non valida").arg(at));
        if (f.type != TFieldType::String && f.size != 0)
            fail(QStringLiteral("%1: la larghezza vale solo per i campi di testo").arg(at));
        if (f.isFlag() && f.size != 1)
            fail(QStringLiteral("%1: un indicatore è largo un carattere").arg(at));
        f.box = text(o, "box", at);
        f.label = text(o, "label", at);
        if (const QString m = text(o, "measure", at); !m.isEmpty() && !velMeasureFromName(m, &f.measure))
            fail(QStringLiteral("%1: misura sconosciuta \"%2\"").arg(at, m));
        f.page = text(o, "page", at);
        f.group = text(o, "group", at);
        f.table = text(o, "table", at);
        f.tableAppends = flag(o, "tableAppends", at);
        f.lookupStructure = text(o, "lookupStructure", at);
        f.lookupKey = text(o, "lookupKey", at);
        f.decimals = integer(o, "decimals", at, -1);
        const QJsonArray values = array(o, "values", at);
        for (const QJsonValue &v : values) {
            const QJsonArray pair = v.toArray();
            if (!v.isArray() || pair.size() != 2 || !pair.at(0).isString() || !pair.at(1).isString())
                fail(QStringLiteral("%1: ogni valore dell'elenco è una coppia [codice, descrizione]").arg(at));
            f.values.append({pair.at(0).toString(), pair.at(1).toString()});
        }
        switch (f.kind) {
        case VelFieldKind::Lookup:
            if (f.table.isEmpty() == f.lookupStructure.isEmpty())
                fail(QStringLiteral("%1: indicare la tabella codici oppure la struttura di ricerca").arg(at));
            if (!f.lookupStructure.isEmpty() && f.lookupKey.isEmpty())
                fail(QStringLiteral("%1: manca il campo restituito dalla ricerca").arg(at));
            break;
        case VelFieldKind::List:
            if (f.values.isEmpty())
                fail(QStringLiteral("%1: elenco di valori vuoto").arg(at));
            for (const VelListValue &v : std::as_const(f.values))
                if (v.code.size() > f.size)
                    fail(QStringLiteral("%1: il valore \"%2\" supera la larghezza del campo").arg(at, v.code));
            break;
        case VelFieldKind::Memo:
            if (!f.lookupStructure.isEmpty() || !f.values.isEmpty())
                fail(QStringLiteral("%1: un testo lungo può avere solo una tabella di annotazioni").arg(at));
            break;
        default:
            if (!f.table.isEmpty() || !f.lookupStructure.isEmpty() || !f.values.isEmpty())
                fail(QStringLiteral("%1: solo i codici hanno una tabella o un elenco").arg(at));
        }
        if (f.decimals >= 0 && f.kind != VelFieldKind::Amount)
            fail(QStringLiteral("%1: i decimali valgono solo per gli importi").arg(at));
        return f;
    }

    VelStructureDesc structure(const QJsonObject &o, int index) const
    {
        VelStructureDesc s;
        s.name = text(o, "name", QStringLiteral("struttura n. %1").arg(index + 1), true);
        const QString at = QStringLiteral("struttura %1").arg(s.name);
        s.caption = text(o, "caption", at);
        s.rows = text(o, "rows", at);
        s.frame = text(o, "frame", at);
        s.anagraphic = flag(o, "anagraphic", at);
        s.fieldMap = text(o, "fieldMap", at);
        s.fieldMapReadOnly = flag(o, "fieldMapReadOnly", at);
        s.order = text(o, "order", at);

        QSet<QString> seen;
        for (const QJsonValue &v : array(o, "fields", at)) {
            VelFieldDesc f = field(object(v, at), at);
            if (seen.contains(f.name.toLower()))
                fail(QStringLiteral("%1: campo %2 ripetuto").arg(at, f.name));
            seen.insert(f.name.toLower());
            s.fields.append(std::move(f));
        }
        if (s.fields.isEmpty())
            fail(QStringLiteral("%1: nessun campo").arg(at));
        for (const char *key : {fld::iAfiID.name, fld::iFisRigo.name}) {
            const VelFieldDesc *f = s.field(QLatin1String(key));
            if (f == nullptr || f->type != TFieldType::Integer)
                fail(QStringLiteral("%1: manca il campo intero %2").arg(at, QLatin1String(key)));
        }

        QSet<QString> pageNames;
        for (const QJsonValue &v : array(o, "pages", at)) {
            const QJsonObject po = object(v, at);
            VelPageDesc p;
            p.name = text(po, "name", at, true);
            p.caption = text(po, "caption", at);
            p.quadro = text(po, "quadro", at);
            p.header = flag(po, "header", at);
            for (const QJsonValue &a : array(po, "also", at)) {
                if (!a.isString() || s.field(a.toString()) == nullptr)
                    fail(QStringLiteral("%1, pagina %2: campo sconosciuto %3").arg(at, p.name, a.toString()));
                p.also.append(a.toString());
            }
            if (pageNames.contains(p.name))
                fail(QStringLiteral("%1: pagina %2 ripetuta").arg(at, p.name));
            pageNames.insert(p.name);
            s.pages.append(p);
        }
        for (const VelFieldDesc &f : std::as_const(s.fields))
            if (!f.page.isEmpty() && !pageNames.contains(f.page))
                fail(QStringLiteral("%1, campo %2: pagina sconosciuta \"%3\"").arg(at, f.name, f.page));

        for (const QJsonValue &v : array(o, "grid", at)) {
            const QJsonObject go = object(v, at);
            VelGridColumn c;
            c.field = text(go, "field", at, true);
            c.caption = text(go, "caption", at);
            c.width = integer(go, "width", at, 0);
            c.align = text(go, "align", at);
            c.hidden = flag(go, "hidden", at);
            if (s.field(c.field) == nullptr)
                fail(QStringLiteral("%1, griglia: campo sconosciuto %2").arg(at, c.field));
            s.grid.append(c);
        }
        for (const QJsonValue &v : array(o, "indexes", at)) {
            const QJsonObject io = object(v, at);
            VelIndexDesc ix{text(io, "name", at, true), text(io, "fields", at, true)};
            checkFieldList(s, ix.fields, QStringLiteral("%1, indice %2").arg(at, ix.name));
            s.indexes.append(ix);
        }
        if (!s.order.isEmpty())
            checkFieldList(s, s.order, QStringLiteral("%1, ordinamento").arg(at));
        checkFieldMap(s, at);
        return s;
    }

    void checkFieldList(const VelStructureDesc &s, const QString &list, const QString &at) const
    {
        for (const QString &name : list.split(QLatin1Char(';')))
            if (s.field(name.trimmed()) == nullptr)
                fail(QStringLiteral("%1: campo sconosciuto \"%2\"").arg(at, name));
    }

    void checkFieldMap(const VelStructureDesc &s, const QString &at) const
    {
        if (s.fieldMap.isEmpty())
            return;
        for (const QString &pair : s.fieldMap.split(QLatin1Char(';'))) {
            const int eq = pair.indexOf(QLatin1Char('='));
            const QString column = pair.left(eq).trimmed().toLower();
            if (eq <= 0 || !personColumns().contains(column))
                fail(QStringLiteral("%1: mappa dei campi non valida (\"%2\")").arg(at, pair));
            for (const QString &name : pair.mid(eq + 1).split(QLatin1Char('+'))) {
                const VelFieldDesc *f = s.field(name.trimmed());
                if (f == nullptr)
                    fail(QStringLiteral("%1: la mappa dei campi nomina il campo sconosciuto \"%2\"").arg(at, name));
                if (f->type != TFieldType::String)
                    fail(QStringLiteral("%1: la mappa dei campi nomina il campo non di testo %2").arg(at, f->name));
            }
        }
    }

private:
    QString m_source;
};

} // namespace

QString velFieldKindName(VelFieldKind kind)
{
    switch (kind) {
    case VelFieldKind::Text: return QStringLiteral("text");
    case VelFieldKind::Memo: return QStringLiteral("memo");
    case VelFieldKind::Amount: return QStringLiteral("amount");
    case VelFieldKind::Integer: return QStringLiteral("integer");
    case VelFieldKind::Date: return QStringLiteral("date");
    case VelFieldKind::FlagX: return QStringLiteral("flagX");
    case VelFieldKind::Flag1: return QStringLiteral("flag1");
    case VelFieldKind::Lookup: return QStringLiteral("lookup");
    case VelFieldKind::List: return QStringLiteral("list");
    }
    return QString();
}

bool velFieldKindFromName(const QString &name, VelFieldKind *kind)
{
    for (VelFieldKind k : {VelFieldKind::Text, VelFieldKind::Memo, VelFieldKind::Amount, VelFieldKind::Integer,
                           VelFieldKind::Date, VelFieldKind::FlagX, VelFieldKind::Flag1, VelFieldKind::Lookup,
                           VelFieldKind::List}) {
        if (velFieldKindName(k) == name) {
            *kind = k;
            return true;
        }
    }
    return false;
}

QString VelFieldDesc::flagSetValue() const
{
    if (kind == VelFieldKind::FlagX)
        return QStringLiteral("X");
    if (kind == VelFieldKind::Flag1)
        return QStringLiteral("1");
    return QString();
}

TFieldDef VelFieldDesc::fieldDef() const
{
    TFieldDef d;
    d.name = name;
    d.type = type;
    d.size = type == TFieldType::String ? size : 0;
    return d;
}

const VelFieldDesc *VelStructureDesc::field(const QString &fieldName) const
{
    for (const VelFieldDesc &f : fields)
        if (f.name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

const VelPageDesc *VelStructureDesc::page(const QString &pageName) const
{
    for (const VelPageDesc &p : pages)
        if (p.name == pageName)
            return &p;
    return nullptr;
}

QList<const VelFieldDesc *> VelStructureDesc::pageFields(const QString &pageName) const
{
    QList<const VelFieldDesc *> out;
    for (const VelFieldDesc &f : fields)
        if (f.page == pageName)
            out.append(&f);
    if (const VelPageDesc *p = page(pageName))
        for (const QString &name : p->also)
            out.append(field(name));
    return out;
}

QList<TFieldDef> VelStructureDesc::fieldDefs() const
{
    QList<TFieldDef> defs;
    defs.reserve(fields.size());
    for (const VelFieldDesc &f : fields)
        defs.append(f.fieldDef());
    return defs;
}

const VelRecordModel &VelRecordModel::instance()
{
    static const VelRecordModel model = fromFile(QStringLiteral(":/velcu/model/recordmodel.json"));
    return model;
}

VelRecordModel VelRecordModel::fromFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EOvError(QStringLiteral("Impossibile leggere la descrizione del modello CU '%1': %2")
                           .arg(path, file.errorString()));
    return fromJson(file.readAll(), path);
}

VelRecordModel VelRecordModel::fromJson(const QByteArray &json, const QString &source)
{
    Reader r(source);
    QJsonParseError err{};
    const QJsonDocument doc = QJsonDocument::fromJson(json, &err);
    if (err.error != QJsonParseError::NoError)
        r.fail(QStringLiteral("%1 (posizione %2)").arg(err.errorString()).arg(err.offset));
    if (!doc.isObject())
        r.fail(QStringLiteral("atteso un oggetto"));
    const QJsonObject root = doc.object();
    if (r.text(root, "format", QStringLiteral("intestazione"), true) != QLatin1String(kFormat))
        r.fail(QStringLiteral("formato sconosciuto"));
    if (r.integer(root, "version", QStringLiteral("intestazione"), 0) != kVersion)
        r.fail(QStringLiteral("versione non gestita"));

    VelRecordModel m;
    m.m_program = r.text(root, "program", QStringLiteral("intestazione"), true);
    m.m_year = r.integer(root, "year", QStringLiteral("intestazione"), 0);
    m.m_codeTableFolder = r.text(root, "codeTableFolder", QStringLiteral("intestazione"), true);

    const QJsonArray structures = r.array(root, "structures", QStringLiteral("intestazione"));
    QSet<QString> names;
    for (int i = 0; i < structures.size(); ++i) {
        VelStructureDesc s = r.structure(r.object(structures.at(i), QStringLiteral("struttura n. %1").arg(i + 1)), i);
        if (names.contains(s.name.toLower()))
            r.fail(QStringLiteral("struttura %1 ripetuta").arg(s.name));
        names.insert(s.name.toLower());
        m.m_structures.append(std::move(s));
    }
    if (m.m_structures.isEmpty())
        r.fail(QStringLiteral("nessuna struttura"));

    // Lookups into other structures need the whole list first.
    for (const VelStructureDesc &s : std::as_const(m.m_structures)) {
        for (const VelFieldDesc &f : s.fields) {
            if (f.lookupStructure.isEmpty())
                continue;
            const VelStructureDesc *target = m.findStructure(f.lookupStructure);
            if (target == nullptr || target->field(f.lookupKey) == nullptr)
                r.fail(QStringLiteral("struttura %1, campo %2: ricerca su %3.%4 sconosciuta")
                           .arg(s.name, f.name, f.lookupStructure, f.lookupKey));
        }
    }

    for (const QJsonValue &v : r.array(root, "cuEditor", QStringLiteral("intestazione"))) {
        const QJsonObject o = r.object(v, QStringLiteral("cuEditor"));
        VelEditorTab t{r.text(o, "caption", QStringLiteral("cuEditor"), true),
                       r.text(o, "structure", QStringLiteral("cuEditor"), true),
                       r.text(o, "page", QStringLiteral("cuEditor"))};
        const VelStructureDesc *s = m.findStructure(t.structure);
        if (s == nullptr || (!t.page.isEmpty() && s->page(t.page) == nullptr))
            r.fail(QStringLiteral("cuEditor: pagina \"%1\" di %2 sconosciuta").arg(t.page, t.structure));
        m.m_cuEditor.append(t);
    }
    return m;
}

const VelStructureDesc *VelRecordModel::findStructure(const QString &name) const
{
    for (const VelStructureDesc &s : m_structures)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

const VelStructureDesc &VelRecordModel::structure(const QString &name) const
{
    const VelStructureDesc *s = findStructure(name);
    if (s == nullptr)
        throw EOvError(QStringLiteral("Struttura sconosciuta: %1").arg(name));
    return *s;
}

QStringList VelRecordModel::codeTables() const
{
    QStringList out;
    QSet<QString> seen;
    for (const VelStructureDesc &s : m_structures)
        for (const VelFieldDesc &f : s.fields)
            if (!f.table.isEmpty() && !seen.contains(f.table.toLower())) {
                seen.insert(f.table.toLower());
                out.append(f.table);
            }
    return out;
}

void VelRecordModel::checkCodeTables(const QString &folder) const
{
    QStringList missing;
    for (const VelStructureDesc &s : m_structures)
        for (const VelFieldDesc &f : s.fields)
            if (!f.table.isEmpty() && VelCodeTables::resolve(f.table, folder).isEmpty())
                missing.append(QStringLiteral("%1 (campo %2 di %3)").arg(f.table, f.name, s.name));
    if (!missing.isEmpty())
        throw EOvError(QStringLiteral("Tabelle codici mancanti nella cartella %1:\n%2")
                           .arg(folder, missing.join(QLatin1Char('\n'))));
}

void VelRecordModel::createDataSet(const QString &structureName, TClientDataSet &ds) const
{
    const VelStructureDesc &s = structure(structureName);
    ds.close();
    ds.setFieldDefs(s.fieldDefs());
    ds.createDataSet();
}

QByteArray VelRecordModel::schemaBytes(const QString &structureName) const
{
    TClientDataSet ds;
    createDataSet(structureName, ds);
    return ds.saveToBytes();
}

bool velMeasureFromName(const QString &name, VelMeasure *measure)
{
    static const QHash<QString, VelMeasure> names = {
        {QStringLiteral("codice-fiscale"), VelMeasure::CodiceFiscale},
        {QStringLiteral("anno"), VelMeasure::Anno},
        {QStringLiteral("anni"), VelMeasure::Anni},
        {QStringLiteral("mesi"), VelMeasure::Mesi},
        {QStringLiteral("numero"), VelMeasure::Numero},
        {QStringLiteral("provincia"), VelMeasure::Provincia},
    };
    const auto it = names.constFind(name);
    if (it == names.cend())
        return false;
    *measure = it.value();
    return true;
}
