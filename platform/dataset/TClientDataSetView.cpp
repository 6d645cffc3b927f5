// The client dataset's view: the rows that show (in the order and through
// the filter of DataSetRowOrder.h) with the notices of rows entering, moving
// and leaving it, and finding rows by value (DataSetSearch.h).
#include "platform/dataset/TClientDataSet.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/DataSetFilter.h"
#include "platform/dataset/DataSetSearch.h"
#include "platform/dataset/DataSetStorage.h"

#include <algorithm>

using namespace dsinternal;

// ---------------------------------------------------------------- view

bool TClientDataSet::rowVisible(int rowId) const
{
    return m_order.visible(*m_st, rowId, active());
}

int TClientDataSet::sortedPosition(int rowId) const
{
    return m_order.sortedPosition(*m_st, m_view, rowId);
}

void TClientDataSet::rebuildView(TBookmark keep, bool toFirst)
{
    const int keepPos = (!toFirst && keep != InvalidBookmark) ? int(keep & 0xffffffff) : -1;
    const bool keepValid = keepPos >= 0 && quint32(keep >> 32) == m_generation;
    m_order.collect(*m_st, active(), &m_view);
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
        if (!m_order.indexed()) {
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
    if (!!m_order.indexed()) {
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
    const QString oldFields = m_order.indexFields(), oldDesc = m_order.indexDesc();
    m_order.setIndexNames(fields.trimmed(), descFields.trimmed());
    RowOrder::Keys keys;
    try {
        keys = m_order.compile(*m_st);
        if (active())
            checkBrowseMode();
    } catch (...) {
        m_order.setIndexNames(oldFields, oldDesc);
        throw;
    }
    m_order.setKeys(std::move(keys));
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
        if (active() && m_order.filtered())
            f->bind(*m_st, m_order.caseInsensitive());
    }
    if (active() && m_order.filtered())
        checkBrowseMode();
    m_order.setFilter(std::move(f), text);
    if (active() && m_order.filtered()) {
        fire(beforeScroll);
        rebuildView(InvalidBookmark, true);
        notify(Notice::Reset);
        fire(afterScroll);
    }
}

QString TClientDataSet::filter() const
{
    return m_order.filterText();
}

void TClientDataSet::setFiltered(bool on)
{
    if (on == m_order.filtered())
        return;
    if (on && active())
        m_order.bindFilter(*m_st);
    if (active())
        checkBrowseMode();
    m_order.setFiltered(on);
    if (active() && m_order.filter()) {
        fire(beforeScroll);
        rebuildView(InvalidBookmark, true);
        notify(Notice::Reset);
        fire(afterScroll);
    }
}

void TClientDataSet::setFilterOptions(TFilterOptions options)
{
    if (options == m_order.filterOptions())
        return;
    m_order.setFilterOptions(options);
    if (active() && m_order.filtered() && m_order.filter()) {
        m_order.bindFilter(*m_st);
        checkBrowseMode();
        rebuildView(InvalidBookmark, true);
        notify(Notice::Reset);
    }
}

// ---------------------------------------------------------------- search

bool TClientDataSet::locate(const QString &fields, const QVariant &values, TLocateOptions options)
{
    requireActive();
    checkBrowseMode();
    const RowSearch search(*m_st, fields, values);
    for (size_t i = 0; i < m_view.size(); ++i) {
        if (search.matches(m_view[i], options)) {
            moveTo(int(i), false, false);
            return true;
        }
    }
    return false;
}

QVariant TClientDataSet::lookup(const QString &keyFields, const QVariant &keyValues, const QString &resultFields) const
{
    requireActive();
    const RowSearch search(*m_st, keyFields, keyValues);
    const std::vector<int> res = RowSearch::resultFields(*m_st, resultFields);
    for (int id : m_view)
        if (search.matches(id, {}))
            return RowSearch::resultOf(*m_st, res, id);
    return QVariant();
}
