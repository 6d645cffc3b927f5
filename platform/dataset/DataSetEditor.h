#pragma once
// The client dataset's editing: the record being edited or inserted (the
// buffer its fields write), which row the fields read, the states of a row
// being edited, posting and deleting, rows appended in bulk
// (DataSetRowWriter.h) and values written into stored rows, with the change
// log that keeps what is pending (DataSetChangeLog.h). Not a public API: use
// TClientDataSet, whose state, storage, cursor and events it works with.
#include "platform/dataset/DataSetTypes.h"

#include <QList>
#include <QStringView>
#include <QVariant>
#include <functional>
#include <initializer_list>

class TClientDataSet;

namespace dsinternal {

struct Storage;

class Editor
{
public:
    explicit Editor(TClientDataSet &ds) : m_ds(ds) {}
    Editor(const Editor &) = delete;
    Editor &operator=(const Editor &) = delete;

    // ---- the record the fields read and write ----
    // The row the fields read: the row peeked at, the current row, or -1.
    int currentRowId() const;
    QVariant read(int field) const;
    bool isNull(int field) const; // as read(field).isValid(), without the value
    void write(int field, const QVariant &value);
    QVariant oldValue(int field) const;
    // Runs fn with the fields reading the visible row `row`.
    void withRecordAt(int row, const std::function<void()> &fn);
    bool holdsNoValues(int field) const;
    TUpdateStatus updateStatus() const;
    // Drops the record being edited (the state is the dataset's).
    void clear() { m_buffer.clear(); }

    // ---- editing (see TClientDataSet.h) ----
    void checkBrowseMode();
    void append();
    void insert();
    void edit();
    void post();
    void cancel();
    void deleteRecord();
    void appendRecord(const QVariantList &values);

    // ---- rows in bulk, without the per-row events ----
    void appendTexts(std::initializer_list<QStringView> values);
    void appendValues(const QVariantList &values);
    void appendRowsOf(const TClientDataSet &source, const QList<int> &rows);
    void reserveRows(int more);

    // ---- stored rows ----
    void writeRowValue(TBookmark row, const QString &fieldName, const QVariant &value);
    void cancelUpdates();

private:
    Storage &st() const;
    bool editing() const;
    void requireField(int field) const;
    // Insert state on an empty record; `beforeCurrent`: insert() rather than append().
    void startInsert(bool beforeCurrent);
    void prepareBulkAppend();
    void postBulkRow(int rowId);

    TClientDataSet &m_ds;
    QVariantList m_buffer;   // edit or insert buffer
    int m_insertBefore = -1; // insert(): row id to go before in natural order (-1: end)
    int m_peekRow = -1;
};

} // namespace dsinternal
