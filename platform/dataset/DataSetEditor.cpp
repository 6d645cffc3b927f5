#include "platform/dataset/DataSetEditor.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/DataSetChangeLog.h"
#include "platform/dataset/DataSetCursor.h"
#include "platform/dataset/DataSetRowWriter.h"
#include "platform/dataset/DataSetStorage.h"
#include "platform/dataset/TClientDataSet.h"

#include <algorithm>

namespace dsinternal {

Storage &Editor::st() const
{
    return *m_ds.m_st;
}

bool Editor::editing() const
{
    return m_ds.m_state == TDataSetState::Edit || m_ds.m_state == TDataSetState::Insert;
}

void Editor::requireField(int field) const
{
    m_ds.requireActive();
    if (field < 0 || field >= m_ds.fieldCount())
        m_ds.fail(QStringLiteral("Campo numero %1 inesistente").arg(field));
}

// ---------------------------------------------------------------- the record the fields read and write

int Editor::currentRowId() const
{
    return m_peekRow >= 0 ? m_peekRow : m_ds.m_cursor->currentId();
}

QVariant Editor::read(int field) const
{
    requireField(field);
    if (m_peekRow < 0 && editing())
        return m_buffer[field];
    const int id = currentRowId();
    return id < 0 ? QVariant() : st().cols[size_t(field)].get(id);
}

bool Editor::isNull(int field) const
{
    requireField(field);
    if (m_peekRow < 0 && editing())
        return !m_buffer[field].isValid();
    const int id = currentRowId();
    return id < 0 || st().cols[size_t(field)].isNull(id);
}

void Editor::write(int field, const QVariant &value)
{
    requireField(field);
    const TFieldDef &def = st().defs[field];
    if (m_peekRow >= 0 || !editing())
        m_ds.fail(QStringLiteral("Il dataset non è in modifica: impossibile assegnare il campo '%1'").arg(def.name));
    QVariant v;
    if (!convertValue(def, value, &v))
        throwBadValue(def, value);
    m_buffer[field] = v;
    if (!m_ds.controlsDisabled())
        emit m_ds.fieldChanged(field);
}

QVariant Editor::oldValue(int field) const
{
    requireField(field);
    if (m_peekRow < 0 && m_ds.m_state == TDataSetState::Insert)
        return QVariant();
    const int id = currentRowId();
    if (id < 0)
        return QVariant();
    const auto orig = st().original.find(id);
    if (orig != st().original.end())
        return orig->second[field];
    if (st().meta[size_t(id)].status == TUpdateStatus::Inserted)
        return QVariant();
    return st().cols[size_t(field)].get(id);
}

void Editor::withRecordAt(int row, const std::function<void()> &fn)
{
    m_ds.requireActive();
    if (row < 0 || row >= m_ds.m_cursor->count())
        m_ds.fail(QStringLiteral("Riga %1 inesistente").arg(row + 1));
    struct Restore
    {
        int &slot;
        int saved;
        ~Restore() { slot = saved; }
    } restore{m_peekRow, m_peekRow};
    m_peekRow = m_ds.m_cursor->rows()[size_t(row)];
    fn();
}

bool Editor::holdsNoValues(int field) const
{
    if (!m_ds.active() || field < 0 || field >= m_ds.fieldCount() || editing())
        return false;
    return !st().cols[size_t(field)].valued;
}

TUpdateStatus Editor::updateStatus() const
{
    if (m_ds.m_state == TDataSetState::Insert)
        return TUpdateStatus::Inserted;
    const int id = currentRowId();
    return id < 0 ? TUpdateStatus::Unmodified : st().meta[size_t(id)].status;
}

// ---------------------------------------------------------------- editing

void Editor::checkBrowseMode()
{
    if (editing())
        post();
}

void Editor::startInsert(bool beforeCurrent)
{
    m_ds.requireActive();
    m_ds.requireWritable();
    checkBrowseMode();
    m_ds.fire(m_ds.beforeInsert);
    m_insertBefore = beforeCurrent ? m_ds.m_cursor->currentId() : -1;
    m_buffer = QVariantList(m_ds.fieldCount());
    m_ds.setState(TDataSetState::Insert);
    try {
        m_ds.fire(m_ds.onNewRecord);
    } catch (...) {
        m_buffer.clear();
        m_ds.setState(TDataSetState::Browse);
        throw;
    }
    m_ds.fire(m_ds.afterInsert);
}

void Editor::append()
{
    startInsert(false);
}

void Editor::insert()
{
    startInsert(true);
}

void Editor::edit()
{
    m_ds.requireActive();
    if (editing())
        return;
    m_ds.requireWritable();
    if (m_ds.m_cursor->count() == 0) {
        append();
        return;
    }
    m_ds.fire(m_ds.beforeEdit);
    m_buffer = st().rowValues(m_ds.m_cursor->currentId());
    m_ds.setState(TDataSetState::Edit);
    m_ds.fire(m_ds.afterEdit);
}

void Editor::post()
{
    m_ds.requireActive();
    if (!editing())
        m_ds.fail(QStringLiteral("Il dataset non è in modifica: impossibile registrare"));
    m_ds.fire(m_ds.beforePost);
    Cursor &cursor = *m_ds.m_cursor;
    if (m_ds.m_state == TDataSetState::Insert) {
        const int id = st().newRow();
        st().setRowValues(id, m_buffer);
        auto &nat = st().natural;
        const auto at = m_insertBefore >= 0 ? std::find(nat.begin(), nat.end(), m_insertBefore) : nat.end();
        nat.insert(at, id);
        ChangeLog(st()).record(id, TUpdateStatus::Inserted);
        m_buffer.clear();
        m_ds.setState(TDataSetState::Browse);
        cursor.place(id, -1, true, m_insertBefore);
    } else {
        const int id = cursor.currentId();
        const QVariantList before = st().rowValues(id);
        const bool changed = before != m_buffer;
        if (changed) {
            ChangeLog(st()).modify(id, before);
            for (qsizetype f = 0; f < m_buffer.size(); ++f) // only the changed cells: texts are not rewritten
                if (before[f] != m_buffer[f])
                    st().cols[size_t(f)].set(id, m_buffer[f]);
        }
        m_buffer.clear();
        m_ds.setState(TDataSetState::Browse);
        if (changed)
            cursor.place(id, cursor.pos(), false, -1);
    }
    m_ds.fire(m_ds.afterPost);
}

void Editor::cancel()
{
    if (!editing())
        return;
    m_ds.fire(m_ds.beforeCancel);
    m_buffer.clear();
    m_ds.setState(TDataSetState::Browse);
    if (m_ds.m_cursor->pos() >= 0)
        m_ds.notify(TClientDataSet::Notice::Changed, m_ds.m_cursor->pos());
    m_ds.fire(m_ds.afterCancel);
}

void Editor::deleteRecord()
{
    m_ds.requireActive();
    m_ds.requireWritable();
    if (m_ds.m_state == TDataSetState::Insert) {
        cancel();
        return;
    }
    Cursor &cursor = *m_ds.m_cursor;
    if (cursor.count() == 0)
        m_ds.fail(QStringLiteral("Impossibile eliminare: il dataset è vuoto"));
    m_ds.fire(m_ds.beforeDelete);
    m_ds.fire(m_ds.beforeScroll);
    m_buffer.clear();
    m_ds.setState(TDataSetState::Browse);
    const int pos = cursor.pos();
    ChangeLog(st()).remove(cursor.rows()[size_t(pos)]);
    cursor.removeAt(pos);
    cursor.resetFlags();
    m_ds.notify(TClientDataSet::Notice::Cursor, cursor.pos());
    m_ds.fire(m_ds.afterDelete);
    m_ds.fire(m_ds.afterScroll);
}

void Editor::appendRecord(const QVariantList &values)
{
    RowWriter(st()).checkWidth(values.size());
    append();
    try {
        for (int i = 0; i < values.size(); ++i)
            write(i, values[i]);
        post();
    } catch (...) {
        if (m_ds.m_state == TDataSetState::Insert) {
            m_buffer.clear();
            m_ds.setState(TDataSetState::Browse);
        }
        throw;
    }
}

// ---------------------------------------------------------------- rows in bulk

void Editor::prepareBulkAppend()
{
    m_ds.requireActive();
    m_ds.requireWritable();
    checkBrowseMode();
    m_insertBefore = -1;
}

void Editor::postBulkRow(int rowId)
{
    st().natural.push_back(rowId);
    ChangeLog(st()).record(rowId, TUpdateStatus::Inserted);
    m_ds.m_cursor->place(rowId, -1, true, m_insertBefore);
}

void Editor::appendTexts(std::initializer_list<QStringView> values)
{
    RowWriter rows(st());
    rows.checkWidth(qsizetype(values.size()));
    rows.checkTexts(values);
    prepareBulkAppend();
    postBulkRow(rows.addTexts(values));
}

void Editor::appendValues(const QVariantList &values)
{
    RowWriter rows(st());
    rows.checkWidth(values.size());
    // every value converted before the row exists: a refused one leaves no row
    const RowWriter::Values converted = rows.convert(values);
    prepareBulkAppend();
    postBulkRow(rows.addValues(converted));
}

void Editor::reserveRows(int more)
{
    m_ds.requireActive();
    if (more <= 0)
        return;
    const size_t rows = st().meta.size() + size_t(more);
    st().meta.reserve(rows);
    st().natural.reserve(st().natural.size() + size_t(more));
    m_ds.m_cursor->reserve(more);
    for (Column &c : st().cols)
        c.reserve(rows);
}

void Editor::appendRowsOf(const TClientDataSet &source, const QList<int> &rows)
{
    RowWriter writer(st());
    if (!writer.fits(*source.m_st))
        m_ds.fail(QStringLiteral("Righe di un dataset con altri campi: impossibile copiarle"));
    prepareBulkAppend();
    writer.reserveWhenEmpty(rows.size()); // an emptied dataset filled again: each column grows once
    const std::vector<int> &from = source.m_cursor->rows();
    for (int r : rows) {
        if (r < 0 || size_t(r) >= from.size())
            m_ds.fail(QStringLiteral("Riga %1 inesistente nel dataset di origine").arg(r + 1));
        postBulkRow(writer.copyRow(*source.m_st, from[size_t(r)]));
    }
}

// ---------------------------------------------------------------- stored rows

void Editor::writeRowValue(TBookmark row, const QString &fieldName, const QVariant &value)
{
    Cursor &cursor = *m_ds.m_cursor;
    const int id = cursor.liveRowOf(row);
    if (id < 0)
        m_ds.fail(QStringLiteral("Segnalibro non valido: il record non esiste più"));
    const int f = m_ds.fieldIndex(fieldName);
    if (f < 0)
        m_ds.fail(QStringLiteral("Campo '%1' non trovato").arg(fieldName));
    QVariant v;
    if (!convertValue(st().defs[f], value, &v))
        throwBadValue(st().defs[f], value);
    const bool wasVisible = m_ds.active() && cursor.visible(id);
    st().cols[size_t(f)].set(id, v);
    if (m_ds.m_state == TDataSetState::Edit && cursor.currentId() == id)
        m_buffer[f] = v;
    cursor.rewritten(id, wasVisible);
}

void Editor::cancelUpdates()
{
    m_buffer.clear();
    if (editing())
        m_ds.setState(TDataSetState::Browse);
    const TBookmark keep = m_ds.m_cursor->bookmark();
    ChangeLog(st()).undo();
    if (m_ds.active()) {
        m_ds.m_cursor->rebuild(keep, false);
        m_ds.notify(TClientDataSet::Notice::Reset);
    }
}

} // namespace dsinternal
