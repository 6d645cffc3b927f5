#include "platform/dataset/DataSetSearch.h"

#include "platform/core/OvExceptions.h"

namespace dsinternal {

QStringList splitNames(const QString &list)
{
    QStringList out;
    for (const QString &part : list.split(u';', Qt::SkipEmptyParts)) {
        const QString n = part.trimmed();
        if (!n.isEmpty())
            out.append(n);
    }
    return out;
}

RowSearch::RowSearch(const Storage &st, const QString &fields, const QVariant &values) : m_st(st)
{
    const QStringList names = splitNames(fields);
    if (names.isEmpty())
        throw EDatabaseError(QStringLiteral("Ricerca senza campi"));
    QVariantList vals;
    if (names.size() == 1) {
        const bool list = values.metaType().id() == QMetaType::QVariantList && values.toList().size() == 1;
        vals.append(list ? values.toList().first() : values);
    } else {
        if (values.metaType().id() != QMetaType::QVariantList || values.toList().size() != names.size())
            throw EDatabaseError(
                QStringLiteral("Ricerca su %1 campi (%2): servono %1 valori").arg(names.size()).arg(fields));
        vals = values.toList();
    }
    for (int i = 0; i < names.size(); ++i) {
        const int f = st.fieldIndex(names[i]);
        if (f < 0)
            throw EDatabaseError(QStringLiteral("Campo '%1' non trovato").arg(names[i]));
        TFieldDef def = st.defs[f];
        def.size = 0; // a longer search text must not be cut into a match
        QVariant v;
        if (!convertValue(def, vals[i], &v))
            throwBadValue(def, vals[i]);
        m_fields.push_back(f);
        m_values.append(v);
    }
}

bool RowSearch::matches(int rowId, TLocateOptions options) const
{
    const Qt::CaseSensitivity cs = options.testFlag(TLocateOption::CaseInsensitive) ? Qt::CaseInsensitive
                                                                                     : Qt::CaseSensitive;
    for (size_t i = 0; i < m_fields.size(); ++i) {
        const Column &c = m_st.cols[size_t(m_fields[i])];
        const QVariant &want = m_values[qsizetype(i)];
        if (!want.isValid()) {
            if (!c.isNull(rowId))
                return false;
            continue;
        }
        if (c.isNull(rowId))
            return false;
        if (c.repr == Repr::Text) {
            const QStringView have = c.textAt(rowId);
            const QString w = want.toString();
            const bool ok = options.testFlag(TLocateOption::PartialKey) ? have.startsWith(w, cs)
                                                                       : have.compare(w, cs) == 0;
            if (!ok)
                return false;
        } else if (c.get(rowId) != want) {
            return false;
        }
    }
    return true;
}

std::vector<int> RowSearch::resultFields(const Storage &st, const QString &names)
{
    std::vector<int> res;
    for (const QString &n : splitNames(names)) {
        const int f = st.fieldIndex(n);
        if (f < 0)
            throw EDatabaseError(QStringLiteral("Campo '%1' non trovato").arg(n));
        res.push_back(f);
    }
    return res;
}

QVariant RowSearch::resultOf(const Storage &st, const std::vector<int> &fields, int rowId)
{
    if (fields.size() == 1)
        return st.cols[size_t(fields[0])].get(rowId);
    QVariantList out;
    for (int f : fields)
        out.append(st.cols[size_t(f)].get(rowId));
    return out;
}

} // namespace dsinternal
