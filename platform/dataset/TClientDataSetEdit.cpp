// The client dataset's editing: the states of a row being edited, posting and
// deleting, and the change log that keeps what is pending.
#include "platform/dataset/TClientDataSet.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/DataSetStorage.h"

#include <algorithm>
#include <array>

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

void TClientDataSet::logChange(int rowId, TUpdateStatus status)
{
    RowMeta &m = m_st->meta[size_t(rowId)];
    if (m.status == TUpdateStatus::Unmodified) {
        ++m_st->changes;
        m.seq = m_st->nextSeq++;
    }
    m.status = status;
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
        logChange(id, TUpdateStatus::Inserted);
        m_buffer.clear();
        setState(TDataSetState::Browse);
        placeRow(id, -1, true);
    } else {
        const int id = m_view[size_t(m_cur)];
        const QVariantList before = m_st->rowValues(id);
        const bool changed = before != m_buffer;
        if (changed) {
            if (m_st->meta[size_t(id)].status == TUpdateStatus::Unmodified) {
                m_st->original[id] = before;
                logChange(id, TUpdateStatus::Modified);
            }
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
    const int id = m_view[size_t(pos)];
    RowMeta &m = m_st->meta[size_t(id)];
    if (m.status == TUpdateStatus::Inserted) {
        // Never saved: it leaves no trace in the log.
        m.live = false;
        m.status = TUpdateStatus::Unmodified;
        m.seq = 0;
        --m_st->changes;
        auto &nat = m_st->natural;
        nat.erase(std::find(nat.begin(), nat.end(), id));
        for (auto &c : m_st->cols)
            c.free(id);
    } else {
        if (m.status == TUpdateStatus::Unmodified)
            m_st->original[id] = m_st->rowValues(id);
        logChange(id, TUpdateStatus::Deleted);
    }
    viewRemove(pos);
    resetCursorFlags();
    notify(Notice::Cursor, m_cur);
    fire(afterDelete);
    fire(afterScroll);
}

void TClientDataSet::appendRecord(const QVariantList &values)
{
    if (values.size() > fieldCount())
        fail(QStringLiteral("Troppi valori per la riga: %1 invece di %2").arg(values.size()).arg(fieldCount()));
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
    logChange(rowId, TUpdateStatus::Inserted);
    placeRow(rowId, -1, true);
}

void TClientDataSet::appendTexts(std::initializer_list<QStringView> values)
{
    if (qsizetype(values.size()) > fieldCount())
        fail(QStringLiteral("Troppi valori per la riga: %1 invece di %2").arg(values.size()).arg(fieldCount()));
    int f = 0;
    for (const QStringView &v : values) {
        const TFieldType type = m_st->defs[f++].type;
        if (type != TFieldType::String && type != TFieldType::Memo)
            throwBadValue(m_st->defs[f - 1], v.toString());
    }
    prepareBulkAppend();
    const int id = m_st->newRow();
    f = 0;
    for (QStringView v : values) {
        const TFieldDef &def = m_st->defs[f];
        if (!v.isNull()) {
            if (def.type == TFieldType::String && def.size > 0 && v.size() > def.size)
                m_st->cols[size_t(f)].setText(id, cutText(v.toString(), def.size));
            else
                m_st->cols[size_t(f)].setText(id, v);
        }
        ++f;
    }
    postBulkRow(id);
}

void TClientDataSet::appendValues(const QVariantList &values)
{
    if (values.size() > fieldCount())
        fail(QStringLiteral("Troppi valori per la riga: %1 invece di %2").arg(values.size()).arg(fieldCount()));
    // every value converted before the row exists: a refused one leaves no row;
    // only the values there are (a row of a wide structure is mostly nulls)
    std::vector<std::pair<int, QVariant>> converted;
    for (qsizetype f = 0; f < values.size(); ++f) {
        const QVariant &in = values[f];
        if (!in.isValid() || in.isNull()) // an empty cell, most often never set: no call out
            continue;
        QVariant out;
        if (!convertValue(m_st->defs[f], in, &out))
            throwBadValue(m_st->defs[f], in);
        if (out.isValid())
            converted.emplace_back(int(f), std::move(out));
    }
    prepareBulkAppend();
    const int id = m_st->newRow();
    for (const auto &[f, v] : converted)
        m_st->cols[size_t(f)].set(id, v);
    postBulkRow(id);
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

void TClientDataSet::appendRowsOf(const TClientDataSet &source, const QList<int> &rows)
{
    const Storage &from = *source.m_st;
    if (!sameColumns(m_st->defs, from.defs))
        fail(QStringLiteral("Righe di un dataset con altri campi: impossibile copiarle"));
    prepareBulkAppend();
    if (m_st->meta.empty()) { // an emptied dataset filled again: each column grows once
        m_st->meta.reserve(size_t(rows.size()));
        for (Column &c : m_st->cols)
            c.reserve(size_t(rows.size()));
    }
    for (int r : rows) {
        if (r < 0 || size_t(r) >= source.m_view.size())
            fail(QStringLiteral("Riga %1 inesistente nel dataset di origine").arg(r + 1));
        const int src = source.m_view[size_t(r)];
        const int id = m_st->newRow();
        for (size_t f = 0; f < m_st->cols.size(); ++f) {
            const Column &in = from.cols[f];
            Column &out = m_st->cols[f];
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
        postBulkRow(id);
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
    return m_st->changes;
}

QList<TDeltaRow> TClientDataSet::delta() const
{
    std::vector<int> ids;
    for (int id = 0; id < m_st->rowCapacity(); ++id) {
        const RowMeta &m = m_st->meta[size_t(id)];
        if (m.status != TUpdateStatus::Unmodified && (m.live || m.status == TUpdateStatus::Deleted))
            ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end(),
              [this](int a, int b) { return m_st->meta[size_t(a)].seq < m_st->meta[size_t(b)].seq; });
    auto defs = std::make_shared<const QList<TFieldDef>>(m_st->defs);
    QList<TDeltaRow> out;
    out.reserve(qsizetype(ids.size()));
    for (int id : ids) {
        TDeltaRow r;
        r.m_status = m_st->meta[size_t(id)].status;
        r.m_bookmark = (TBookmark(m_generation) << 32) | TBookmark(id);
        r.m_defs = defs;
        const auto orig = m_st->original.find(id);
        if (orig != m_st->original.end())
            r.m_old = orig->second;
        if (r.m_status != TUpdateStatus::Deleted)
            r.m_new = m_st->rowValues(id);
        out.append(r);
    }
    return out;
}

void TClientDataSet::mergeChangeLog()
{
    auto &nat = m_st->natural;
    std::vector<int> kept;
    kept.reserve(nat.size());
    for (int id : nat) {
        RowMeta &m = m_st->meta[size_t(id)];
        if (m.status == TUpdateStatus::Deleted) {
            m.live = false;
            for (auto &c : m_st->cols)
                c.free(id);
        } else {
            kept.push_back(id);
        }
        m.status = TUpdateStatus::Unmodified;
        m.seq = 0;
    }
    nat.swap(kept);
    m_st->original.clear();
    m_st->changes = 0;
}

void TClientDataSet::cancelUpdates()
{
    m_buffer.clear();
    if (m_state == TDataSetState::Edit || m_state == TDataSetState::Insert)
        setState(TDataSetState::Browse);
    const TBookmark keep = bookmark();
    auto &nat = m_st->natural;
    std::vector<int> kept;
    kept.reserve(nat.size());
    for (int id : nat) {
        RowMeta &m = m_st->meta[size_t(id)];
        switch (m.status) {
        case TUpdateStatus::Inserted:
            m.live = false;
            for (auto &c : m_st->cols)
                c.free(id);
            break;
        case TUpdateStatus::Modified:
        case TUpdateStatus::Deleted:
            m_st->setRowValues(id, m_st->original[id]);
            kept.push_back(id);
            break;
        case TUpdateStatus::Unmodified:
            kept.push_back(id);
            break;
        }
        m.status = TUpdateStatus::Unmodified;
        m.seq = 0;
    }
    nat.swap(kept);
    m_st->original.clear();
    m_st->changes = 0;
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
    if (!rebuild && pos >= 0 && !m_indexKeys.empty()) {
        rebuild = (pos > 0 && !rowLess(m_view[size_t(pos - 1)], id))
                  || (pos + 1 < int(m_view.size()) && !rowLess(id, m_view[size_t(pos + 1)]));
    }
    if (rebuild && m_state == TDataSetState::Browse) {
        rebuildView(bookmark(), false);
        notify(Notice::Reset);
    } else if (pos >= 0) {
        notify(Notice::Changed, pos);
    }
}
