#include "platform/dataset/DataSetCursor.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/DataSetFilter.h"
#include "platform/dataset/DataSetSearch.h"
#include "platform/dataset/DataSetStorage.h"
#include "platform/dataset/TClientDataSet.h"

#include <algorithm>

namespace dsinternal {

Storage &Cursor::st() const
{
    return *m_ds.m_st;
}

bool Cursor::active() const
{
    return m_ds.active();
}

int Cursor::currentId() const
{
    return m_cur >= 0 && m_cur < count() ? m_view[size_t(m_cur)] : -1;
}

bool Cursor::visible(int rowId) const
{
    return m_ds.m_order.visible(st(), rowId, active());
}

int Cursor::sortedPosition(int rowId) const
{
    return m_ds.m_order.sortedPosition(st(), m_view, rowId);
}

// ---------------------------------------------------------------- moves

int Cursor::recNo() const
{
    if (!active() || m_ds.m_state == TDataSetState::Insert || m_cur < 0)
        return 0;
    return m_cur + 1;
}

void Cursor::moveTo(int pos, bool atBof, bool atEof)
{
    m_ds.fire(m_ds.beforeScroll);
    m_cur = pos;
    m_bof = atBof || m_view.empty();
    m_eof = atEof || m_view.empty();
    m_ds.notify(TClientDataSet::Notice::Cursor, m_cur);
    m_ds.fire(m_ds.afterScroll);
}

void Cursor::first()
{
    m_ds.requireActive();
    m_ds.checkBrowseMode();
    moveTo(m_view.empty() ? -1 : 0, true, false);
}

void Cursor::last()
{
    m_ds.requireActive();
    m_ds.checkBrowseMode();
    moveTo(count() - 1, false, true);
}

int Cursor::moveBy(int distance)
{
    m_ds.requireActive();
    m_ds.checkBrowseMode();
    if (distance == 0 || m_view.empty()) {
        if (m_view.empty())
            m_eof = m_bof = true;
        return 0;
    }
    if ((distance > 0 && m_eof) || (distance < 0 && m_bof))
        return 0;
    const qint64 target = std::clamp<qint64>(qint64(m_cur) + distance, 0, count() - 1);
    const int moved = int(target - m_cur);
    m_ds.fire(m_ds.beforeScroll);
    if (moved != 0) {
        m_cur = int(target);
        m_bof = m_eof = false;
        m_ds.notify(TClientDataSet::Notice::Cursor, m_cur);
    }
    if (moved != distance) {
        if (distance > 0)
            m_eof = true;
        else
            m_bof = true;
    }
    if (moved != 0)
        m_ds.fire(m_ds.afterScroll);
    return moved;
}

void Cursor::setRecNo(int recNo)
{
    m_ds.requireActive();
    m_ds.checkBrowseMode();
    if (recNo < 1 || recNo > count() || recNo - 1 == m_cur)
        return;
    moveTo(recNo - 1, false, false);
}

// ---------------------------------------------------------------- bookmarks

TBookmark Cursor::bookmark() const
{
    return active() ? bookmarkAt(m_cur) : InvalidBookmark;
}

TBookmark Cursor::bookmarkAt(int pos) const
{
    if (!active() || pos < 0 || pos >= count())
        return InvalidBookmark;
    return (TBookmark(m_generation) << 32) | TBookmark(m_view[size_t(pos)]);
}

int Cursor::rowOfBookmark(TBookmark b) const
{
    if (b == InvalidBookmark || quint32(b >> 32) != m_generation || !active())
        return -1;
    const int id = int(b & 0xffffffff);
    const auto it = std::find(m_view.begin(), m_view.end(), id);
    return it == m_view.end() ? -1 : int(it - m_view.begin());
}

void Cursor::gotoBookmark(TBookmark b)
{
    m_ds.requireActive();
    m_ds.checkBrowseMode();
    const int pos = rowOfBookmark(b);
    if (pos < 0)
        m_ds.fail(QStringLiteral("Segnalibro non valido: il record non esiste più o è escluso dal filtro"));
    moveTo(pos, false, false);
}

int Cursor::liveRowOf(TBookmark b) const
{
    const int id = int(b & 0xffffffff);
    if (b == InvalidBookmark || quint32(b >> 32) != m_generation || id >= st().rowCapacity()
        || !st().meta[size_t(id)].live)
        return -1;
    return id;
}

// ---------------------------------------------------------------- the view rebuilt or changed

void Cursor::rebuild(TBookmark keep, bool toFirst)
{
    const int keepPos = (!toFirst && keep != InvalidBookmark) ? int(keep & 0xffffffff) : -1;
    const bool keepValid = keepPos >= 0 && quint32(keep >> 32) == m_generation;
    m_ds.m_order.collect(st(), active(), &m_view);
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

void Cursor::clear()
{
    m_view.clear();
    m_cur = -1;
    m_eof = m_bof = true;
}

void Cursor::resetFlags()
{
    if (m_view.empty()) {
        m_cur = -1;
        m_eof = m_bof = true;
    } else {
        m_cur = std::clamp(m_cur, 0, count() - 1);
        m_eof = m_bof = false;
    }
}

void Cursor::insertAt(int pos, int rowId)
{
    m_ds.notify(TClientDataSet::Notice::AboutToInsert, pos);
    m_view.insert(m_view.begin() + pos, rowId);
    m_ds.notify(TClientDataSet::Notice::Inserted, pos);
}

void Cursor::removeAt(int pos)
{
    m_ds.notify(TClientDataSet::Notice::AboutToRemove, pos);
    m_view.erase(m_view.begin() + pos);
    m_ds.notify(TClientDataSet::Notice::Removed, pos);
}

void Cursor::place(int rowId, int from, bool isNew, int insertBefore)
{
    const bool shows = visible(rowId);
    const bool indexed = m_ds.m_order.indexed();
    if (!isNew) {
        if (!shows) {
            removeAt(from);
            resetFlags();
            m_ds.notify(TClientDataSet::Notice::Cursor, m_cur);
            return;
        }
        if (!indexed) {
            m_ds.notify(TClientDataSet::Notice::Changed, from);
            return;
        }
        // Where the row lands, found on the view without it.
        m_view.erase(m_view.begin() + from);
        const int to = sortedPosition(rowId);
        m_view.insert(m_view.begin() + from, rowId);
        if (to != from) {
            m_ds.notify(TClientDataSet::Notice::AboutToMove, from, to);
            m_view.erase(m_view.begin() + from);
            m_view.insert(m_view.begin() + to, rowId);
            m_cur = to;
            m_ds.notify(TClientDataSet::Notice::Moved, from, to);
            m_ds.notify(TClientDataSet::Notice::Cursor, m_cur);
        } else {
            m_ds.notify(TClientDataSet::Notice::Changed, to);
        }
        return;
    }
    if (!shows)
        return; // posted, but the filter hides it: the cursor stays where it was
    int to = count();
    if (indexed) {
        to = sortedPosition(rowId);
    } else if (insertBefore >= 0) {
        const auto it = std::find(m_view.begin(), m_view.end(), insertBefore);
        to = int(it - m_view.begin());
    }
    insertAt(to, rowId);
    m_cur = to;
    m_eof = m_bof = false;
    m_ds.notify(TClientDataSet::Notice::Cursor, m_cur);
}

void Cursor::addLoaded(int rowId)
{
    if (!active() || !visible(rowId))
        return;
    const int pos = m_ds.m_order.indexed() ? sortedPosition(rowId) : count();
    insertAt(pos, rowId);
    if (m_cur < 0) {
        m_cur = 0;
        m_eof = m_bof = false;
    } else if (pos <= m_cur) {
        ++m_cur;
    }
}

void Cursor::reserve(int more)
{
    m_view.reserve(m_view.size() + size_t(more));
}

void Cursor::rewritten(int rowId, bool wasVisible)
{
    if (!active())
        return;
    const auto it = std::find(m_view.begin(), m_view.end(), rowId);
    const int pos = it == m_view.end() ? -1 : int(it - m_view.begin());
    // The row may now fall outside the filter or out of index order. Saving
    // writes a value into every row, so the view is rebuilt only when needed.
    const RowOrder &order = m_ds.m_order;
    bool again = visible(rowId) != wasVisible;
    if (!again && pos >= 0 && order.indexed()) {
        again = (pos > 0 && !order.less(st(), m_view[size_t(pos - 1)], rowId))
                || (pos + 1 < count() && !order.less(st(), rowId, m_view[size_t(pos + 1)]));
    }
    if (again && m_ds.m_state == TDataSetState::Browse) {
        rebuild(bookmark(), false);
        m_ds.notify(TClientDataSet::Notice::Reset);
    } else if (pos >= 0) {
        m_ds.notify(TClientDataSet::Notice::Changed, pos);
    }
}

// ---------------------------------------------------------------- index and filter

void Cursor::setIndexFieldNames(const QString &fields, const QString &descFields)
{
    RowOrder &order = m_ds.m_order;
    const QString oldFields = order.indexFields(), oldDesc = order.indexDesc();
    order.setIndexNames(fields.trimmed(), descFields.trimmed());
    RowOrder::Keys keys;
    try {
        keys = order.compile(st());
        if (active())
            m_ds.checkBrowseMode();
    } catch (...) {
        order.setIndexNames(oldFields, oldDesc);
        throw;
    }
    order.setKeys(std::move(keys));
    if (active()) {
        rebuild(bookmark(), false);
        m_ds.notify(TClientDataSet::Notice::Reset);
        m_ds.notify(TClientDataSet::Notice::Cursor, m_cur);
    }
}

void Cursor::setFilter(const QString &text)
{
    RowOrder &order = m_ds.m_order;
    std::unique_ptr<DataSetFilter> f;
    if (!text.trimmed().isEmpty()) {
        f = std::make_unique<DataSetFilter>(text);
        if (active() && order.filtered())
            f->bind(st(), order.caseInsensitive());
    }
    if (active() && order.filtered())
        m_ds.checkBrowseMode();
    order.setFilter(std::move(f), text);
    if (active() && order.filtered()) {
        m_ds.fire(m_ds.beforeScroll);
        rebuild(InvalidBookmark, true);
        m_ds.notify(TClientDataSet::Notice::Reset);
        m_ds.fire(m_ds.afterScroll);
    }
}

void Cursor::setFiltered(bool on)
{
    RowOrder &order = m_ds.m_order;
    if (on == order.filtered())
        return;
    if (on && active())
        order.bindFilter(st());
    if (active())
        m_ds.checkBrowseMode();
    order.setFiltered(on);
    if (active() && order.filter()) {
        m_ds.fire(m_ds.beforeScroll);
        rebuild(InvalidBookmark, true);
        m_ds.notify(TClientDataSet::Notice::Reset);
        m_ds.fire(m_ds.afterScroll);
    }
}

void Cursor::setFilterOptions(TFilterOptions options)
{
    RowOrder &order = m_ds.m_order;
    if (options == order.filterOptions())
        return;
    order.setFilterOptions(options);
    if (active() && order.filtered() && order.filter()) {
        order.bindFilter(st());
        m_ds.checkBrowseMode();
        rebuild(InvalidBookmark, true);
        m_ds.notify(TClientDataSet::Notice::Reset);
    }
}

// ---------------------------------------------------------------- search

bool Cursor::locate(const QString &fields, const QVariant &values, TLocateOptions options)
{
    m_ds.requireActive();
    m_ds.checkBrowseMode();
    const RowSearch search(st(), fields, values);
    for (size_t i = 0; i < m_view.size(); ++i) {
        if (search.matches(m_view[i], options)) {
            moveTo(int(i), false, false);
            return true;
        }
    }
    return false;
}

QVariant Cursor::lookup(const QString &keyFields, const QVariant &keyValues, const QString &resultFields) const
{
    m_ds.requireActive();
    const RowSearch search(st(), keyFields, keyValues);
    const std::vector<int> res = RowSearch::resultFields(st(), resultFields);
    for (int id : m_view)
        if (search.matches(id, {}))
            return RowSearch::resultOf(st(), res, id);
    return QVariant();
}

// ---------------------------------------------------------------- visible rows read without a move

QVariant Cursor::valueAt(int row, int field) const
{
    if (!active() || row < 0 || row >= count() || field < 0 || field >= m_ds.fieldCount())
        return QVariant();
    return st().cols[size_t(field)].get(m_view[size_t(row)]);
}

QStringView Cursor::textAt(int row, int field) const
{
    if (!active() || row < 0 || row >= count() || field < 0 || field >= m_ds.fieldCount())
        return {};
    const Column &c = st().cols[size_t(field)];
    const int id = m_view[size_t(row)];
    if (c.repr != Repr::Text || c.isNull(id))
        return {};
    return c.textAt(id);
}

} // namespace dsinternal
