#include "platform/dataset/DataSetRowOrder.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/DataSetFilter.h"
#include "platform/dataset/DataSetSearch.h"
#include "platform/dataset/DataSetStorage.h"

#include <algorithm>
#include <cmath>

namespace dsinternal {

namespace {

template <typename T>
int cmp3(const T &a, const T &b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}

// Text keys compare case-insensitively, one UTF-16 unit folded at a time, so
// that a full sort on pre-folded keys and an insert into the sorted view agree.
char16_t foldUnit(char16_t c)
{
    if (c < 0x80)
        return (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    const char32_t f = QChar::toCaseFolded(char32_t(c));
    return f <= 0xFFFF ? char16_t(f) : c;
}

int compareFolded(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t x = foldUnit(a[i].unicode()), y = foldUnit(b[i].unicode());
        if (x != y)
            return x < y ? -1 : 1;
    }
    return cmp3(a.size(), b.size());
}

QString foldedKey(QStringView s)
{
    QString out(s.size(), Qt::Uninitialized);
    char16_t *d = reinterpret_cast<char16_t *>(out.data());
    for (qsizetype i = 0; i < s.size(); ++i)
        d[i] = foldUnit(s[i].unicode());
    return out;
}

int compareCells(const Column &c, int a, int b)
{
    const bool na = c.isNull(a), nb = c.isNull(b);
    if (na || nb)
        return na == nb ? 0 : (na ? -1 : 1);
    switch (c.repr) {
    case Repr::Int:
        return cmp3(c.ints[size_t(a)], c.ints[size_t(b)]);
    case Repr::Float: {
        const double x = c.floats[size_t(a)], y = c.floats[size_t(b)];
        if (std::isnan(x) || std::isnan(y))
            return cmp3(std::isnan(x), std::isnan(y));
        return cmp3(x, y);
    }
    case Repr::Text:
        return compareFolded(c.textAt(a), c.textAt(b));
    case Repr::Bytes:
        return cmp3(c.bytes[size_t(a)], c.bytes[size_t(b)]);
    }
    return 0;
}

} // namespace

RowOrder::RowOrder() = default;
RowOrder::~RowOrder() = default;

RowOrder::Keys RowOrder::compile(const Storage &st) const
{
    Keys keys;
    const QStringList names = splitNames(m_indexFields);
    const QStringList desc = splitNames(m_indexDesc);
    for (const QString &d : desc) {
        bool found = false;
        for (const QString &n : names)
            found = found || n.compare(d, Qt::CaseInsensitive) == 0;
        if (!found)
            throw EDatabaseError(
                QStringLiteral("Indice non valido: il campo discendente '%1' non è tra i campi dell'indice").arg(d));
    }
    for (const QString &n : names) {
        const int f = st.fieldIndex(n);
        if (f < 0)
            throw EDatabaseError(QStringLiteral("Indice non valido: campo '%1' non trovato").arg(n));
        bool isDesc = false;
        for (const QString &d : desc)
            isDesc = isDesc || d.compare(n, Qt::CaseInsensitive) == 0;
        keys.emplace_back(f, isDesc);
    }
    return keys;
}

bool RowOrder::less(const Storage &st, int a, int b) const
{
    for (const auto &[f, desc] : m_keys) {
        const int c = compareCells(st.cols[size_t(f)], a, b);
        if (c != 0)
            return desc ? c > 0 : c < 0;
    }
    return a < b; // ties: the order rows were added in
}

int RowOrder::sortedPosition(const Storage &st, const std::vector<int> &rows, int rowId) const
{
    const auto it = std::lower_bound(rows.begin(), rows.end(), rowId,
                                     [this, &st](int a, int b) { return less(st, a, b); });
    return int(it - rows.begin());
}

void RowOrder::setFilter(std::unique_ptr<DataSetFilter> filter, const QString &text)
{
    m_filter = std::move(filter);
    m_filterText = text;
}

void RowOrder::bindFilter(const Storage &st) const
{
    if (m_filter)
        m_filter->bind(st, caseInsensitive());
}

bool RowOrder::visible(const Storage &st, int rowId, bool active) const
{
    const RowMeta &m = st.meta[size_t(rowId)];
    if (!m.live || m.status == TUpdateStatus::Deleted)
        return false;
    if (filtering(active))
        return m_filter->matches(st, rowId);
    return true;
}

void RowOrder::collect(const Storage &st, bool active, std::vector<int> *rows) const
{
    std::vector<int> &view = *rows;
    view.clear();
    view.reserve(st.natural.size());
    const bool filtering = this->filtering(active);
    for (int id : st.natural) {
        const RowMeta &m = st.meta[size_t(id)];
        if (!m.live || m.status == TUpdateStatus::Deleted)
            continue;
        if (filtering && !m_filter->matches(st, id))
            continue;
        view.push_back(id);
    }
    if (m_keys.empty())
        return;
    // Text keys are folded once, not at every comparison.
    std::vector<std::vector<QString>> folded(m_keys.size());
    for (size_t k = 0; k < m_keys.size(); ++k) {
        const Column &c = st.cols[size_t(m_keys[k].first)];
        if (c.repr != Repr::Text)
            continue;
        folded[k].resize(st.meta.size());
        for (int id : view)
            if (!c.isNull(id))
                folded[k][size_t(id)] = foldedKey(c.textAt(id));
    }
    std::sort(view.begin(), view.end(), [&](int a, int b) {
        for (size_t k = 0; k < m_keys.size(); ++k) {
            const auto &[f, desc] = m_keys[k];
            const Column &c = st.cols[size_t(f)];
            int r;
            if (c.repr == Repr::Text && !c.isNull(a) && !c.isNull(b))
                r = QStringView(folded[k][size_t(a)]).compare(QStringView(folded[k][size_t(b)]));
            else
                r = compareCells(c, a, b);
            if (r != 0)
                return desc ? r > 0 : r < 0;
        }
        return a < b;
    });
}

} // namespace dsinternal
