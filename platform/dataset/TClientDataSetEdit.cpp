// The client dataset's editing: the states of a row being edited, posting and
// deleting, rows appended in bulk (DataSetRowWriter.h), and the change log
// that keeps what is pending (DataSetChangeLog.h).
#include "platform/dataset/TClientDataSet.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/DataSetChangeLog.h"
#include "platform/dataset/DataSetRowWriter.h"
#include "platform/dataset/DataSetStorage.h"

#include <algorithm>

using namespace dsinternal;

// ---------------------------------------------------------------- editing

void TClientDataSet::checkBrowseMode()
{
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        post();
}

void TClientDataSet::append()
{
    requireActive();
    requireWritable();
    checkBrowseMode();
    fire(beforeInsert);
    m_insertBefore = -1;
    m_buffer = QVariantList(fieldCount());
    setState(TDataSetState::Insert);
    try {
        fire(onNewRecord);
    } catch (...) {
        m_buffer.clear();
        setState(TDataSetState::Browse);
        throw;
    }
    fire(afterInsert);
}

void TClientDataSet::insert()
{
    requireActive();
    requireWritable();
    checkBrowseMode();
    fire(beforeInsert);
    m_insertBefore = m_cur >= 0 ? m_view[size_t(m_cur)] : -1;
    m_buffer = QVariantList(fieldCount());
    setState(TDataSetState::Insert);
    try {
        fire(onNewRecord);
    } catch (...) {
        m_buffer.clear();
        setState(TDataSetState::Browse);
        throw;
    }
    fire(afterInsert);
}

void TClientDataSet::edit()
{
    requireActive();
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        return;
    requireWritable();
    if (m_view.empty()) {
        append();
        return;
    }
    fire(beforeEdit);
    m_buffer = m_st->rowValues(m_view[size_t(m_cur)]);
    setState(TDataSetState::Edit);
    fire(afterEdit);
}

void TClientDataSet::post()
{
    requireActive();
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        fail(QStringLiteral("Il dataset non è in modifica: impossibile registrare"));
    fire(beforePost);
    if (m_state == TDataSetState::Insert) {
        const int id = m_st->newRow();
        m_st->setRowValues(id, m_buffer);
        auto &nat = m_st->natural;
        const auto at = m_insertBefore >= 0 ? std::find(nat.begin(), nat.end(), m_insertBefore) : nat.end();
        nat.insert(at, id);
        ChangeLog(*m_st).record(id, TUpdateStatus::Inserted);
        m_buffer.clear();
        setState(TDataSetState::Browse);
        placeRow(id, -1, true);
    } else {
        const int id = m_view[size_t(m_cur)];
        const QVariantList before = m_st->rowValues(id);
        const bool changed = before != m_buffer;
        if (changed) {
            ChangeLog(*m_st).modify(id, before);
            for (qsizetype f = 0; f < m_buffer.size(); ++f) // only the changed cells: texts are not rewritten
                if (before[f] != m_buffer[f])
                    m_st->cols[size_t(f)].set(id, m_buffer[f]);
        }
        m_buffer.clear();
        setState(TDataSetState::Browse);
        if (changed)
            placeRow(id, m_cur, false);
    }
    fire(afterPost);
}

void TClientDataSet::cancel()
{
    if (m_state != TDataSetState::Edit && m_state != TDataSetState::Insert)
        return;
    fire(beforeCancel);
    m_buffer.clear();
    setState(TDataSetState::Browse);
    if (m_cur >= 0)
        notify(Notice::Changed, m_cur);
    fire(afterCancel);
}

void TClientDataSet::deleteRecord()
{
    requireActive();
    requireWritable();
    if (m_state == TDataSetState::Insert) {
        cancel();
        return;
    }
    if (m_view.empty())
        fail(QStringLiteral("Impossibile eliminare: il dataset è vuoto"));
    fire(beforeDelete);
    fire(beforeScroll);
    m_buffer.clear();
    setState(TDataSetState::Browse);
    const int pos = m_cur;
    ChangeLog(*m_st).remove(m_view[size_t(pos)]);
    viewRemove(pos);
    resetCursorFlags();
    notify(Notice::Cursor, m_cur);
    fire(afterDelete);
    fire(afterScroll);
}

void TClientDataSet::appendRecord(const QVariantList &values)
{
    RowWriter(*m_st).checkWidth(values.size());
    append();
    try {
        for (int i = 0; i < values.size(); ++i)
            writeField(i, values[i]);
        post();
    } catch (...) {
        if (m_state == TDataSetState::Insert) {
            m_buffer.clear();
            setState(TDataSetState::Browse);
        }
        throw;
    }
}

void TClientDataSet::prepareBulkAppend()
{
    requireActive();
    requireWritable();
    checkBrowseMode();
    m_insertBefore = -1;
}

void TClientDataSet::postBulkRow(int rowId)
{
    m_st->natural.push_back(rowId);
    ChangeLog(*m_st).record(rowId, TUpdateStatus::Inserted);
    placeRow(rowId, -1, true);
}

void TClientDataSet::appendTexts(std::initializer_list<QStringView> values)
{
    RowWriter rows(*m_st);
    rows.checkWidth(qsizetype(values.size()));
    rows.checkTexts(values);
    prepareBulkAppend();
    postBulkRow(rows.addTexts(values));
}

void TClientDataSet::appendValues(const QVariantList &values)
{
    RowWriter rows(*m_st);
    rows.checkWidth(values.size());
    // every value converted before the row exists: a refused one leaves no row
    const RowWriter::Values converted = rows.convert(values);
    prepareBulkAppend();
    postBulkRow(rows.addValues(converted));
}

void TClientDataSet::reserveRows(int more)
{
    requireActive();
    if (more <= 0)
        return;
    const size_t rows = m_st->meta.size() + size_t(more);
    m_st->meta.reserve(rows);
    m_st->natural.reserve(m_st->natural.size() + size_t(more));
    m_view.reserve(m_view.size() + size_t(more));
    for (Column &c : m_st->cols)
        c.reserve(rows);
}

void TClientDataSet::appendRowsOf(const TClientDataSet &source, const QList<int> &rows)
{
    RowWriter writer(*m_st);
    if (!writer.fits(*source.m_st))
        fail(QStringLiteral("Righe di un dataset con altri campi: impossibile copiarle"));
    prepareBulkAppend();
    writer.reserveWhenEmpty(rows.size()); // an emptied dataset filled again: each column grows once
    for (int r : rows) {
        if (r < 0 || size_t(r) >= source.m_view.size())
            fail(QStringLiteral("Riga %1 inesistente nel dataset di origine").arg(r + 1));
        postBulkRow(writer.copyRow(*source.m_st, source.m_view[size_t(r)]));
    }
}

TUpdateStatus TClientDataSet::updateStatus() const
{
    if (m_state == TDataSetState::Insert)
        return TUpdateStatus::Inserted;
    const int id = currentRowId();
    return id < 0 ? TUpdateStatus::Unmodified : m_st->meta[size_t(id)].status;
}

// ---------------------------------------------------------------- change log

int TClientDataSet::changeCount() const
{
    return ChangeLog(*m_st).count();
}

QList<TDeltaRow> TClientDataSet::delta() const
{
    return ChangeLog(*m_st).delta(m_generation);
}

void TClientDataSet::mergeChangeLog()
{
    ChangeLog(*m_st).merge();
}

void TClientDataSet::cancelUpdates()
{
    m_buffer.clear();
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        setState(TDataSetState::Browse);
    const TBookmark keep = bookmark();
    ChangeLog(*m_st).undo();
    if (active()) {
        rebuildView(keep, false);
        notify(Notice::Reset);
    }
}

void TClientDataSet::writeRowValue(TBookmark row, const QString &fieldName, const QVariant &value)
{
    const int id = int(row & 0xffffffff);
    if (row == InvalidBookmark || quint32(row >> 32) != m_generation || id >= m_st->rowCapacity()
        || !m_st->meta[size_t(id)].live)
        fail(QStringLiteral("Segnalibro non valido: il record non esiste più"));
    const int f = fieldIndex(fieldName);
    if (f < 0)
        fail(QStringLiteral("Campo '%1' non trovato").arg(fieldName));
    QVariant v;
    if (!convertValue(m_st->defs[f], value, &v))
        throwBadValue(m_st->defs[f], value);
    const bool wasVisible = active() && rowVisible(id);
    m_st->cols[size_t(f)].set(id, v);
    if (m_state == TDataSetState::Edit && m_cur >= 0 && m_view[size_t(m_cur)] == id)
        m_buffer[f] = v;
    if (!active())
        return;
    const auto it = std::find(m_view.begin(), m_view.end(), id);
    const int pos = it == m_view.end() ? -1 : int(it - m_view.begin());
    // The row may now fall outside the filter or out of index order. Saving
    // writes a value into every row, so the view is rebuilt only when needed.
    bool rebuild = rowVisible(id) != wasVisible;
    if (!rebuild && pos >= 0 && m_order.indexed()) {
        rebuild = (pos > 0 && !m_order.less(*m_st, m_view[size_t(pos - 1)], id))
                  || (pos + 1 < int(m_view.size()) && !m_order.less(*m_st, id, m_view[size_t(pos + 1)]));
    }
    if (rebuild && m_state == TDataSetState::Browse) {
        rebuildView(bookmark(), false);
        notify(Notice::Reset);
    } else if (pos >= 0) {
        notify(Notice::Changed, pos);
    }
}
