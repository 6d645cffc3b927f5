#include "platform/dataset/DataSetRowWriter.h"

#include "platform/core/OvExceptions.h"

#include <array>

namespace dsinternal {

namespace {

// Whether rows of `from` fit the columns of `to` (names, types, sizes). Two
// lists found alike are not compared again: a supply's section views copy a
// person's rows from their dataset tens of thousands of times. The lists are
// held, so that their addresses stay theirs (a list changed in place leaves
// the held copy and gets an address of its own).
bool sameColumns(const QList<TFieldDef> &to, const QList<TFieldDef> &from)
{
    struct Pair
    {
        QList<TFieldDef> to, from;
    };
    static thread_local std::array<Pair, 8> proven;
    static thread_local size_t next = 0;
    if (to.isEmpty() || to.size() != from.size())
        return to.size() == from.size();
    for (const Pair &p : proven)
        if (p.to.constData() == to.constData() && p.to.size() == to.size() && p.from.constData() == from.constData()
            && p.from.size() == from.size())
            return true;
    for (qsizetype f = 0; f < from.size(); ++f)
        if (from[f].type != to[f].type || from[f].size != to[f].size
            || from[f].name.compare(to[f].name, Qt::CaseInsensitive) != 0)
            return false;
    proven[next] = {to, from};
    next = (next + 1) % proven.size();
    return true;
}

} // namespace

void RowWriter::checkWidth(qsizetype count) const
{
    const qsizetype fields = m_st.defs.size();
    if (count > fields)
        throw EDatabaseError(QStringLiteral("Troppi valori per la riga: %1 invece di %2").arg(count).arg(fields));
}

void RowWriter::checkTexts(std::initializer_list<QStringView> values) const
{
    int f = 0;
    for (const QStringView &v : values) {
        const TFieldType type = m_st.defs[f++].type;
        if (type != TFieldType::String && type != TFieldType::Memo)
            throwBadValue(m_st.defs[f - 1], v.toString());
    }
}

int RowWriter::addTexts(std::initializer_list<QStringView> values)
{
    const int id = m_st.newRow();
    int f = 0;
    for (QStringView v : values) {
        const TFieldDef &def = m_st.defs[f];
        if (!v.isNull()) {
            if (def.type == TFieldType::String && def.size > 0 && v.size() > def.size)
                m_st.cols[size_t(f)].setText(id, cutText(v.toString(), def.size));
            else
                m_st.cols[size_t(f)].setText(id, v);
        }
        ++f;
    }
    return id;
}

RowWriter::Values RowWriter::convert(const QVariantList &values) const
{
    // only the values there are (a row of a wide structure is mostly nulls)
    Values converted;
    for (qsizetype f = 0; f < values.size(); ++f) {
        const QVariant &in = values[f];
        if (!in.isValid() || in.isNull()) // an empty cell, most often never set: no call out
            continue;
        QVariant out;
        if (!convertValue(m_st.defs[f], in, &out))
            throwBadValue(m_st.defs[f], in);
        if (out.isValid())
            converted.emplace_back(int(f), std::move(out));
    }
    return converted;
}

int RowWriter::addValues(const Values &values)
{
    const int id = m_st.newRow();
    for (const auto &[f, v] : values)
        m_st.cols[size_t(f)].set(id, v);
    return id;
}

bool RowWriter::fits(const Storage &from) const
{
    return sameColumns(m_st.defs, from.defs);
}

void RowWriter::reserveWhenEmpty(qsizetype rows)
{
    if (!m_st.meta.empty())
        return;
    m_st.meta.reserve(size_t(rows));
    for (Column &c : m_st.cols)
        c.reserve(size_t(rows));
}

int RowWriter::copyRow(const Storage &from, int src)
{
    const int id = m_st.newRow();
    for (size_t f = 0; f < m_st.cols.size(); ++f) {
        const Column &in = from.cols[f];
        Column &out = m_st.cols[f];
        if (in.isNull(src))
            continue;
        out.ensureValues();
        switch (out.repr) {
        case Repr::Text: out.setText(id, in.textAt(src)); break;
        case Repr::Int: out.ints[size_t(id)] = in.ints[size_t(src)]; break;
        case Repr::Float: out.floats[size_t(id)] = in.floats[size_t(src)]; break;
        case Repr::Bytes: out.bytes[size_t(id)] = in.bytes[size_t(src)]; break;
        }
        out.nulls[size_t(id)] = 0;
    }
    return id;
}

QVariantList RowWriter::loaded(const QVariantList &values) const
{
    const int fields = int(m_st.defs.size());
    QVariantList conv;
    conv.reserve(fields);
    for (int i = 0; i < fields; ++i) {
        QVariant v;
        const QVariant in = i < values.size() ? values[i] : QVariant();
        if (!convertValue(m_st.defs[i], in, &v))
            throwBadValue(m_st.defs[i], in);
        conv.append(v);
    }
    return conv;
}

} // namespace dsinternal
