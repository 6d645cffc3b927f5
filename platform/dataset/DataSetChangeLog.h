#pragma once
// The client dataset's change log: which stored rows changed since the last
// merge, in the order of their first change, with their values before it.
// Not a public API: use TClientDataSet.
#include "platform/dataset/DataSetStorage.h"

namespace dsinternal {

class ChangeLog
{
public:
    explicit ChangeLog(Storage &st) : m_st(st) {}

    // The row's status from now on; its first change takes the next place
    // in the log.
    void record(int rowId, TUpdateStatus status);
    // A stored row about to take other values: its values before are kept at
    // its first change, when it becomes Modified.
    void modify(int rowId, const QVariantList &before);
    // A row deleted: one inserted since the last merge leaves no trace (it
    // leaves the rows too); another keeps its values before and is Deleted.
    void remove(int rowId);

    int count() const { return m_st.changes; }
    // Pending rows in the order of their first change; `generation` makes
    // their bookmarks.
    QList<TDeltaRow> delta(quint32 generation) const;
    // The current content becomes the original: deleted rows go for good.
    void merge();
    // Every pending change undone: originals back (deleted rows included, at
    // their place), inserted rows gone.
    void undo();

private:
    Storage &m_st;
};

} // namespace dsinternal
