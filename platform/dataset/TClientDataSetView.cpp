// The client dataset's view: which rows show, in what order (the index,
// the filter), and finding rows by value (locate, lookup).
#include "platform/dataset/TClientDataSet.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/DataSetFilter.h"
#include "platform/dataset/DataSetStorage.h"

#include <algorithm>
#include <cmath>

using namespace dsinternal;

namespace {

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

// ---------------------------------------------------------------- view

bool TClientDataSet::rowVisible(int rowId) const
{
    const RowMeta &m = m_st->meta[size_t(rowId)];
    if (!m.live || m.status == TUpdateStatus::Deleted)
        return false;
    if (m_filtered && m_filter && active())
        return m_filter->matches(*m_st, rowId);
    return true;
}

bool TClientDataSet::rowLess(int a, int b) const
{
    for (const auto &[f, desc] : m_indexKeys) {
        const int c = compareCells(m_st->cols[size_t(f)], a, b);
        if (c != 0)
            return desc ? c > 0 : c < 0;
    }
    return a < b; // ties: the order rows were added in
}

int TClientDataSet::sortedPosition(int rowId) const
{
    const auto it = std::lower_bound(m_view.begin(), m_view.end(), rowId,
                                     [this](int a, int b) { return rowLess(a, b); });
    return int(it - m_view.begin());
}

void TClientDataSet::compileIndex(const Storage &st, std::vector<std::pair<int, bool>> *keys) const
{
    keys->clear();
    const QStringList names = splitNames(m_indexFields);
    const QStringList desc = splitNames(m_indexDesc);
    for (const QString &d : desc) {
        bool found = false;
        for (const QString &n : names)
            found = found || n.compare(d, Qt::CaseInsensitive) == 0;
        if (!found)
            fail(QStringLiteral("Indice non valido: il campo discendente '%1' non è tra i campi dell'indice").arg(d));
    }
    for (const QString &n : names) {
        const int f = st.fieldIndex(n);
        if (f < 0)
            fail(QStringLiteral("Indice non valido: campo '%1' non trovato").arg(n));
        bool isDesc = false;
        for (const QString &d : desc)
            isDesc = isDesc || d.compare(n, Qt::CaseInsensitive) == 0;
        keys->emplace_back(f, isDesc);
    }
}

void TClientDataSet::rebuildView(TBookmark keep, bool toFirst)
{
    const int keepPos = (!toFirst && keep != InvalidBookmark) ? int(keep & 0xffffffff) : -1;
    const bool keepValid = keepPos >= 0 && quint32(keep >> 32) == m_generation;
    m_view.clear();
    m_view.reserve(m_st->natural.size());
    const bool filtering = m_filtered && m_filter && active();
    for (int id : m_st->natural) {
        const RowMeta &m = m_st->meta[size_t(id)];
        if (!m.live || m.status == TUpdateStatus::Deleted)
            continue;
        if (filtering && !m_filter->matches(*m_st, id))
            continue;
        m_view.push_back(id);
    }
    if (!m_indexKeys.empty()) {
        // Text keys are folded once, not at every comparison.
        std::vector<std::vector<QString>> folded(m_indexKeys.size());
        for (size_t k = 0; k < m_indexKeys.size(); ++k) {
            const Column &c = m_st->cols[size_t(m_indexKeys[k].first)];
            if (c.repr != Repr::Text)
                continue;
            folded[k].resize(m_st->meta.size());
            for (int id : m_view)
                if (!c.isNull(id))
                    folded[k][size_t(id)] = foldedKey(c.textAt(id));
        }
        std::sort(m_view.begin(), m_view.end(), [&](int a, int b) {
            for (size_t k = 0; k < m_indexKeys.size(); ++k) {
                const auto &[f, desc] = m_indexKeys[k];
                const Column &c = m_st->cols[size_t(f)];
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
    int pos = -1;
    if (keepValid) {
        const auto it = std::find(m_view.begin(), m_view.end(), keepPos);
        if (it != m_view.end())
            pos = int(it - m_view.begin());
    }
    if (pos < 0) {
        m_cur = m_view.empty() ? -1 : 0;
        m_bof = true;
        m_eof = m_view.empty();
    } else {
        m_cur = pos;
        m_bof = m_eof = false;
    }
}

void TClientDataSet::resetCursorFlags()
{
    if (m_view.empty()) {
        m_cur = -1;
        m_eof = m_bof = true;
    } else {
        m_cur = std::clamp(m_cur, 0, int(m_view.size()) - 1);
        m_eof = m_bof = false;
    }
}

// ---------------------------------------------------------------- rows entering and leaving the view

void TClientDataSet::viewInsert(int pos, int rowId)
{
    notify(Notice::AboutToInsert, pos);
    m_view.insert(m_view.begin() + pos, rowId);
    notify(Notice::Inserted, pos);
}

void TClientDataSet::viewRemove(int pos)
{
    notify(Notice::AboutToRemove, pos);
    m_view.erase(m_view.begin() + pos);
    notify(Notice::Removed, pos);
}

void TClientDataSet::placeRow(int rowId, int hintPos, bool isNew)
{
    const bool visible = rowVisible(rowId);
    if (!isNew) {
        const int from = hintPos;
        if (!visible) {
            viewRemove(from);
            resetCursorFlags();
            notify(Notice::Cursor, m_cur);
            return;
        }
        if (m_indexKeys.empty()) {
            notify(Notice::Changed, from);
            return;
        }
        // Where the row lands, found on the view without it.
        m_view.erase(m_view.begin() + from);
        const int to = sortedPosition(rowId);
        m_view.insert(m_view.begin() + from, rowId);
        if (to != from) {
            notify(Notice::AboutToMove, from, to);
            m_view.erase(m_view.begin() + from);
            m_view.insert(m_view.begin() + to, rowId);
            m_cur = to;
            notify(Notice::Moved, from, to);
            notify(Notice::Cursor, m_cur);
        } else {
            notify(Notice::Changed, to);
        }
        return;
    }
    if (!visible)
        return; // posted, but the filter hides it: the cursor stays where it was
    int to = int(m_view.size());
    if (!m_indexKeys.empty()) {
        to = sortedPosition(rowId);
    } else if (m_insertBefore >= 0) {
        const auto it = std::find(m_view.begin(), m_view.end(), m_insertBefore);
        to = int(it - m_view.begin());
    }
    viewInsert(to, rowId);
    m_cur = to;
    m_eof = m_bof = false;
    notify(Notice::Cursor, m_cur);
}

// ---------------------------------------------------------------- index and filter

void TClientDataSet::setIndexFieldNames(const QString &fields, const QString &descFields)
{
    const QString oldFields = m_indexFields, oldDesc = m_indexDesc;
    m_indexFields = fields.trimmed();
    m_indexDesc = descFields.trimmed();
    std::vector<std::pair<int, bool>> keys;
    try {
        compileIndex(*m_st, &keys);
        if (active())
            checkBrowseMode();
    } catch (...) {
        m_indexFields = oldFields;
        m_indexDesc = oldDesc;
        throw;
    }
    m_indexKeys = std::move(keys);
    if (active()) {
        rebuildView(bookmark(), false);
        notify(Notice::Reset);
        notify(Notice::Cursor, m_cur);
    }
}

void TClientDataSet::setFilter(const QString &text)
{
    std::unique_ptr<DataSetFilter> f;
    if (!text.trimmed().isEmpty()) {
        f = std::make_unique<DataSetFilter>(text);
        if (active() && m_filtered)
            f->bind(*m_st, m_filterOptions.testFlag(TFilterOption::CaseInsensitive));
    }
    if (active() && m_filtered)
        checkBrowseMode();
    m_filter = std::move(f);
    m_filterText = text;
    if (active() && m_filtered) {
        fire(beforeScroll);
        rebuildView(InvalidBookmark, true);
        notify(Notice::Reset);
        fire(afterScroll);
    }
}

QString TClientDataSet::filter() const
{
    return m_filterText;
}

void TClientDataSet::setFiltered(bool on)
{
    if (on == m_filtered)
        return;
    if (on && active() && m_filter)
        m_filter->bind(*m_st, m_filterOptions.testFlag(TFilterOption::CaseInsensitive));
    if (active())
        checkBrowseMode();
    m_filtered = on;
    if (active() && m_filter) {
        fire(beforeScroll);
        rebuildView(InvalidBookmark, true);
        notify(Notice::Reset);
        fire(afterScroll);
    }
}

void TClientDataSet::setFilterOptions(TFilterOptions options)
{
    if (options == m_filterOptions)
        return;
    m_filterOptions = options;
    if (active() && m_filtered && m_filter) {
        m_filter->bind(*m_st, options.testFlag(TFilterOption::CaseInsensitive));
        checkBrowseMode();
        rebuildView(InvalidBookmark, true);
        notify(Notice::Reset);
    }
}

// ---------------------------------------------------------------- search

void TClientDataSet::prepareSearch(const QString &fields, const QVariant &values, std::vector<int> *idx,
                                   QVariantList *converted) const
{
    const QStringList names = splitNames(fields);
    if (names.isEmpty())
        fail(QStringLiteral("Ricerca senza campi"));
    QVariantList vals;
    if (names.size() == 1) {
        const bool list = values.metaType().id() == QMetaType::QVariantList && values.toList().size() == 1;
        vals.append(list ? values.toList().first() : values);
    } else {
        if (values.metaType().id() != QMetaType::QVariantList || values.toList().size() != names.size())
            fail(QStringLiteral("Ricerca su %1 campi (%2): servono %1 valori").arg(names.size()).arg(fields));
        vals = values.toList();
    }
    for (int i = 0; i < names.size(); ++i) {
        const int f = fieldIndex(names[i]);
        if (f < 0)
            fail(QStringLiteral("Campo '%1' non trovato").arg(names[i]));
        TFieldDef def = m_st->defs[f];
        def.size = 0; // a longer search text must not be cut into a match
        QVariant v;
        if (!convertValue(def, vals[i], &v))
            throwBadValue(def, vals[i]);
        idx->push_back(f);
        converted->append(v);
    }
}

bool TClientDataSet::matchRow(int rowId, const std::vector<int> &fields, const QVariantList &values,
                              TLocateOptions options) const
{
    const Qt::CaseSensitivity cs = options.testFlag(TLocateOption::CaseInsensitive) ? Qt::CaseInsensitive
                                                                                     : Qt::CaseSensitive;
    for (size_t i = 0; i < fields.size(); ++i) {
        const Column &c = m_st->cols[size_t(fields[i])];
        const QVariant &want = values[qsizetype(i)];
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

bool TClientDataSet::locate(const QString &fields, const QVariant &values, TLocateOptions options)
{
    requireActive();
    checkBrowseMode();
    std::vector<int> idx;
    QVariantList vals;
    prepareSearch(fields, values, &idx, &vals);
    for (size_t i = 0; i < m_view.size(); ++i) {
        if (matchRow(m_view[i], idx, vals, options)) {
            moveTo(int(i), false, false);
            return true;
        }
    }
    return false;
}

QVariant TClientDataSet::lookup(const QString &keyFields, const QVariant &keyValues, const QString &resultFields) const
{
    requireActive();
    std::vector<int> idx;
    QVariantList vals;
    prepareSearch(keyFields, keyValues, &idx, &vals);
    std::vector<int> res;
    for (const QString &n : splitNames(resultFields)) {
        const int f = fieldIndex(n);
        if (f < 0)
            fail(QStringLiteral("Campo '%1' non trovato").arg(n));
        res.push_back(f);
    }
    for (int id : m_view) {
        if (!matchRow(id, idx, vals, {}))
            continue;
        if (res.size() == 1)
            return m_st->cols[size_t(res[0])].get(id);
        QVariantList out;
        for (int f : res)
            out.append(m_st->cols[size_t(f)].get(id));
        return out;
    }
    return QVariant();
}
