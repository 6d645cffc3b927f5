#pragma once
// The client dataset's cursor: the rows that show (in the order and through
// the filter of DataSetRowOrder.h) and the current one among them. It moves
// with the scroll events, names rows by bookmarks, announces the rows
// entering, moving and leaving the view, follows a new index or filter and
// finds rows by value (DataSetSearch.h). Not a public API: use TClientDataSet,
// whose state, storage and events it works with.
#include "platform/dataset/DataSetTypes.h"

#include <QString>
#include <QStringView>
#include <QVariant>
#include <vector>

class TClientDataSet;

namespace dsinternal {

struct Storage;

class Cursor
{
public:
    explicit Cursor(TClientDataSet &ds) : m_ds(ds) {}
    Cursor(const Cursor &) = delete;
    Cursor &operator=(const Cursor &) = delete;

    // ---- the view: visible row ids in order, and a position in them ----
    const std::vector<int> &rows() const { return m_view; }
    int count() const { return int(m_view.size()); }
    int pos() const { return m_cur; }
    bool eof() const { return m_eof; }
    bool bof() const { return m_bof; }
    // The current row's id; -1 when there is none.
    int currentId() const;
    // The row shows: live, not deleted, through the filter.
    bool visible(int rowId) const;

    // ---- moves (a pending edit is posted first) ----
    int recNo() const;
    void first();
    void last();
    int moveBy(int distance);
    void setRecNo(int recNo);
    // To `pos` with the scroll events.
    void moveTo(int pos, bool atBof, bool atEof);

    // ---- bookmarks: a row id of one generation of the data ----
    quint32 generation() const { return m_generation; }
    // The data was replaced: bookmarks made before die.
    void renew() { ++m_generation; }
    TBookmark bookmark() const;
    TBookmark bookmarkAt(int pos) const;
    int rowOfBookmark(TBookmark b) const; // -1 when not visible
    void gotoBookmark(TBookmark b);
    // The id of a live stored row the bookmark names; -1 when none.
    int liveRowOf(TBookmark b) const;

    // ---- the view rebuilt or changed ----
    // Every visible row again; the cursor on `keep` when it still shows,
    // else on the first row.
    void rebuild(TBookmark keep, bool toFirst);
    void clear();
    // A valid position after the view changed under it.
    void resetFlags();
    void insertAt(int pos, int rowId); // with the notices
    void removeAt(int pos);
    // A posted row into the view: a new one (before `insertBefore` in natural
    // order when there is no index, -1 for the end) or one changed at `from`,
    // which may move in index order or leave through the filter.
    void place(int rowId, int from, bool isNew, int insertBefore);
    // A row loaded by a query while the dataset is open.
    void addLoaded(int rowId);
    void reserve(int more);
    // A stored row given a value outside editing (visible before or not):
    // rebuilt when it crossed the filter or left index order, else changed.
    void rewritten(int rowId, bool wasVisible);

    // ---- index and filter (see TClientDataSet.h) ----
    void setIndexFieldNames(const QString &fields, const QString &descFields);
    void setFilter(const QString &text);
    void setFiltered(bool on);
    void setFilterOptions(TFilterOptions options);

    // ---- search ----
    bool locate(const QString &fields, const QVariant &values, TLocateOptions options);
    QVariant lookup(const QString &keyFields, const QVariant &keyValues, const QString &resultFields) const;

    // ---- visible rows read without a move ----
    QVariant valueAt(int row, int field) const;
    QStringView textAt(int row, int field) const;

private:
    Storage &st() const;
    bool active() const;
    int sortedPosition(int rowId) const;

    TClientDataSet &m_ds;
    quint32 m_generation = 0;
    std::vector<int> m_view;
    int m_cur = -1;
    bool m_eof = true;
    bool m_bof = true;
};

} // namespace dsinternal
