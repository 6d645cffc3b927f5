#pragma once
// How a save's dataset fields map onto the store: which fields are value rows,
// which feed the person's columns (tax code, group key...) through the
// structure's field map. Worked out once for a set of fields and a map.
#include "platform/dataset/TClientDataSet.h"
#include "tor/store/TorStoreValues.h"

#include <QList>
#include <QString>
#include <unordered_set>

namespace TorStore {

// Field names compared as the database compares them, regardless of case.
struct NoCaseHash
{
    size_t operator()(const QString &s) const
    {
        size_t h = 1469598103934665603ull;
        for (const QChar c : s) {
            char16_t u = c.unicode();
            if (u >= u'A' && u <= u'Z')
                u = char16_t(u + (u'a' - u'A'));
            else if (u >= 0x80)
                u = c.toLower().unicode();
            h ^= u;
            h *= 1099511628211ull;
        }
        return h;
    }
};
struct NoCaseEqual
{
    bool operator()(const QString &a, const QString &b) const { return a.compare(b, Qt::CaseInsensitive) == 0; }
};


// What a save learns from a dataset's fields and its structure's field map.
// Immutable once made: the pair pointers point into its own map.
struct FieldLayout
{
    FieldLayout(const QList<TFieldDef> &fields, const QString &map_, bool mapReadOnly_, int rigo, const TClientDataSet &ds)
        : defs(fields), fieldMap(map_), mapReadOnly(mapReadOnly_), rigoField(rigo)
    {
        map = parseFieldMap(fieldMap);
        afiField = ds.fieldIndex(QStringLiteral("iAfiID"));
        for (const TFieldDef &d : defs) {
            fieldNames << QVariant(d.name);
            namesUtf8 << d.name.toUtf8();
        }
        for (const MapPair &p : std::as_const(map)) {
            QList<int> fields;
            for (const QString &part : p.parts)
                fields << ds.fieldIndex(part);
            partFields << fields;
        }

        // Fields never stored as value rows: the store's own columns and any
        // field named on either side of a map pair.
        // (Looked up without lower-casing every field: a CU has hundreds of
        // fields.)
        std::unordered_set<QString, NoCaseHash, NoCaseEqual> excluded;
        for (const MapPair &p : std::as_const(map)) {
            excluded.insert(p.column);
            excluded.insert(p.fields);
        }
        for (int i = 0; i < defs.size(); ++i) {
            if (i == afiField || i == rigoField)
                continue;
            if (!excluded.count(defs.at(i).name))
                valueFields << i;
        }

        for (const MapPair &p : std::as_const(map)) {
            if (p.column == QLatin1String("saficodfiscale"))
                codFisPair = &p;
            else if (p.column == QLatin1String("safigruppoana"))
                groupPair = &p;
        }
        if (groupPair)
            for (const QString &part : groupPair->parts)
                if (ds.fieldIndex(part) < 0)
                    throw EAssertionFailed(QStringLiteral("Campo della chiave di gruppo assente: %1").arg(part));

        // Person columns to update, with the fields that feed them.
        if (!mapReadOnly)
            for (const MapPair &p : std::as_const(map))
                if (isPersonColumn(p.column))
                    updatable << &p;
    }
    FieldLayout(const FieldLayout &) = delete;
    FieldLayout &operator=(const FieldLayout &) = delete;

    // The same fields (names and types, in order) under the same map.
    bool matches(const QList<TFieldDef> &fields, const QString &map_, bool mapReadOnly_, int rigo) const
    {
        if (fields.size() != defs.size() || rigo != rigoField || mapReadOnly_ != mapReadOnly
            || map_ != fieldMap)
            return false;
        if (fields.constData() == defs.constData())
            return true;
        for (qsizetype i = 0; i < fields.size(); ++i)
            if (fields.at(i).type != defs.at(i).type || fields.at(i).name != defs.at(i).name)
                return false;
        return true;
    }

    // The fields of a map pair's parts (-1: no such field), in order.
    const QList<int> &fieldsOf(const MapPair &p) const { return partFields.at(&p - map.constData()); }

    const QList<TFieldDef> defs;
    const QString fieldMap;
    const bool mapReadOnly;
    const int rigoField;
    QList<MapPair> map;
    QList<QList<int>> partFields; // by pair of map
    int afiField = -1;
    QList<QVariant> fieldNames;
    QList<QByteArray> namesUtf8; // the same, for SQLite's own binding
    QList<int> valueFields;
    const MapPair *codFisPair = nullptr;
    const MapPair *groupPair = nullptr;
    QList<const MapPair *> updatable;
};


} // namespace TorStore
