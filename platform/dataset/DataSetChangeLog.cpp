#include "platform/dataset/DataSetChangeLog.h"

#include <algorithm>

namespace dsinternal {

void ChangeLog::record(int rowId, TUpdateStatus status)
{
    RowMeta &m = m_st.meta[size_t(rowId)];
    if (m.status == TUpdateStatus::Unmodified) {
        ++m_st.changes;
        m.seq = m_st.nextSeq++;
    }
    m.status = status;
}

void ChangeLog::modify(int rowId, const QVariantList &before)
{
    if (m_st.meta[size_t(rowId)].status != TUpdateStatus::Unmodified)
        return;
    m_st.original[rowId] = before;
    record(rowId, TUpdateStatus::Modified);
}

void ChangeLog::remove(int rowId)
{
    RowMeta &m = m_st.meta[size_t(rowId)];
    if (m.status == TUpdateStatus::Inserted) {
        // Never saved: it leaves no trace in the log.
        m.live = false;
        m.status = TUpdateStatus::Unmodified;
        m.seq = 0;
        --m_st.changes;
        auto &nat = m_st.natural;
        nat.erase(std::find(nat.begin(), nat.end(), rowId));
        for (auto &c : m_st.cols)
            c.free(rowId);
    } else {
        if (m.status == TUpdateStatus::Unmodified)
            m_st.original[rowId] = m_st.rowValues(rowId);
        record(rowId, TUpdateStatus::Deleted);
    }
}

QList<TDeltaRow> ChangeLog::delta(quint32 generation) const
{
    std::vector<int> ids;
    for (int id = 0; id < m_st.rowCapacity(); ++id) {
        const RowMeta &m = m_st.meta[size_t(id)];
        if (m.status != TUpdateStatus::Unmodified && (m.live || m.status == TUpdateStatus::Deleted))
            ids.push_back(id);
    }
    std::sort(ids.begin(), ids.end(),
              [this](int a, int b) { return m_st.meta[size_t(a)].seq < m_st.meta[size_t(b)].seq; });
    auto defs = std::make_shared<const QList<TFieldDef>>(m_st.defs);
    QList<TDeltaRow> out;
    out.reserve(qsizetype(ids.size()));
    for (int id : ids) {
        TDeltaRow r;
        r.m_status = m_st.meta[size_t(id)].status;
        r.m_bookmark = (TBookmark(generation) << 32) | TBookmark(id);
        r.m_defs = defs;
        const auto orig = m_st.original.find(id);
        if (orig != m_st.original.end())
            r.m_old = orig->second;
        if (r.m_status != TUpdateStatus::Deleted)
            r.m_new = m_st.rowValues(id);
        out.append(r);
    }
    return out;
}

void ChangeLog::merge()
{
    auto &nat = m_st.natural;
    std::vector<int> kept;
    kept.reserve(nat.size());
    for (int id : nat) {
        RowMeta &m = m_st.meta[size_t(id)];
        if (m.status == TUpdateStatus::Deleted) {
            m.live = false;
            for (auto &c : m_st.cols)
                c.free(id);
        } else {
            kept.push_back(id);
        }
        m.status = TUpdateStatus::Unmodified;
        m.seq = 0;
    }
    nat.swap(kept);
    m_st.original.clear();
    m_st.changes = 0;
}

void ChangeLog::undo()
{
    auto &nat = m_st.natural;
    std::vector<int> kept;
    kept.reserve(nat.size());
    for (int id : nat) {
        RowMeta &m = m_st.meta[size_t(id)];
        switch (m.status) {
        case TUpdateStatus::Inserted:
            m.live = false;
            for (auto &c : m_st.cols)
                c.free(id);
            break;
        case TUpdateStatus::Modified:
        case TUpdateStatus::Deleted:
            m_st.setRowValues(id, m_st.original[id]);
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
    m_st.original.clear();
    m_st.changes = 0;
}

} // namespace dsinternal
