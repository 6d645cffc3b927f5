#pragma once
// The in-memory table every part of the program works with: typed fields, rows,
// a cursor with browse/edit/insert states, a change log with the original rows,
// data events, an index on a field list, a filter, locate, bookmarks, and its
// own file format (docs/dataset-file-format.md). Query datasets derive from it
// and fill the rows in openData().
//
// Errors raise EDatabaseError with an Italian text. The dataset is used from
// one thread. Inside, the dataset keeps its fields, its life and its events;
// the cursor (DataSetCursor.h) and the editing (DataSetEditor.h) are classes
// of their own that it holds.
#include "platform/core/OvSafeFile.h"
#include "platform/dataset/DataSetRowOrder.h"
#include "platform/dataset/DataSetTypes.h"
#include "platform/dataset/TField.h"
#include "platform/dataset/TParams.h"

#include <QObject>
#include <QStringList>
#include <initializer_list>
#include <memory>
#include <vector>

namespace dsinternal {
struct Storage;
class Cursor;
class Editor;
} // namespace dsinternal

// The events are public members (beforePost, afterScroll, ...) inherited from
// TDataSetEvents: assign a std::function to hook one.
class TClientDataSet : public QObject, public TDataSetEvents
{
    Q_OBJECT
public:
    explicit TClientDataSet(QObject *parent = nullptr);
    ~TClientDataSet() override;

    // ---- fields (changed only while inactive; a change drops the rows) ----
    void addFieldDef(const QString &name, TFieldType type, int size = 0);
    void setFieldDefs(const QList<TFieldDef> &defs);
    void clearFieldDefs();
    const QList<TFieldDef> &fieldDefs() const;
    int fieldCount() const;
    int fieldIndex(const QString &name) const; // -1 when absent; case-insensitive
    TField field(int index);                    // EDatabaseError when out of range
    TField fieldByName(const QString &name);    // EDatabaseError "Campo '%1' non trovato"
    TField findField(const QString &name);      // invalid TField when absent
    QStringList fieldNames() const;

    // ---- life ----
    // Empties the rows and the change log and opens with the current fields.
    void createDataSet();
    // beforeOpen, openData() (subclasses fill the rows), then browse on the first
    // row, afterOpen, afterScroll. A plain client dataset keeps the rows it had.
    void open();
    // Cancels a pending edit; keeps rows and change log for a later open().
    void close();
    bool active() const;
    void setActive(bool on) { on ? open() : close(); }
    // Removes every row without logging them as deleted (the log is emptied too).
    void emptyDataSet();
    TDataSetState state() const { return m_state; }
    bool readOnly() const { return m_readOnly; }
    void setReadOnly(bool on) { m_readOnly = on; }

    // ---- navigation (over the visible rows: filtered, in index order) ----
    // Moving first posts a pending edit (which runs beforePost and may throw).
    void first();
    void last();
    void next();
    void prior();
    int moveBy(int distance); // returns the distance moved
    bool eof() const;
    bool bof() const;
    int recordCount() const;
    int recNo() const; // 1-based; 0 when empty or while inserting
    void setRecNo(int recNo);
    bool isEmpty() const { return recordCount() == 0; }

    // ---- editing ----
    void append();
    void insert(); // before the current row in natural order
    void edit();   // on an empty dataset, appends (as Delphi does)
    void post();
    void cancel();
    void deleteRecord();
    // Appends, assigns the values in field order (missing ones stay null) and posts.
    void appendRecord(const QVariantList &values);
    // Bulk forms of appendRecord for rows made in great numbers, without the
    // per-row events (before/afterInsert, onNewRecord, before/afterPost):
    // a row of texts for the first fields, which must be String or Memo (a
    // null view leaves its cell null; a text longer than a String field's
    // size is cut);
    void appendTexts(std::initializer_list<QStringView> values);
    // a row of values in field order, as appendRecord takes them (missing or
    // null ones leave their cells null);
    void appendValues(const QVariantList &values);
    // copies of rows of `source` (0-based visible positions), whose fields
    // must have this dataset's names, types and sizes, cell by cell.
    void appendRowsOf(const TClientDataSet &source, const QList<int> &rows);
    // Room for `more` rows to come, taken at once: a table filled with a
    // million rows does not copy its columns at every doubling. A hint: more
    // rows than that still go in.
    void reserveRows(int more);
    // Posts a pending edit or insert; nothing in browse state.
    void checkBrowseMode();
    TUpdateStatus updateStatus() const;
    bool modified() const { return m_state == TDataSetState::Edit || m_state == TDataSetState::Insert; }

    // ---- change log ----
    int changeCount() const;
    // Pending rows in the order of their first change. A row inserted then
    // modified is Inserted; a row inserted then deleted is not there.
    QList<TDeltaRow> delta() const;
    // Makes the current content the original: drops the log.
    void mergeChangeLog();
    // Undoes every pending change: originals back (deleted rows included, at
    // their place), inserted rows gone.
    void cancelUpdates();
    // Writes a value into a stored row without logging it: for values that
    // come back while saving (a key handed out, a row number). The row keeps its
    // status. Raises on an invalid bookmark or a value that does not fit.
    void writeRowValue(TBookmark row, const QString &fieldName, const QVariant &value);

    // ---- events and views ----
    TDataSetEvents detachEvents();
    void attachEvents(const TDataSetEvents &events);
    // Suspends the view signals (nested); the last enableControls resets views.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return m_disableCount > 0; }

    // ---- index ----
    // "A;B;C" ascending; the names in descFields (same form) descending. Text is
    // compared without regard to case, nulls come first (last when descending),
    // ties keep the order in which rows were added. Empty text: natural order.
    // The current row stays current. Unknown field: EDatabaseError.
    void setIndexFieldNames(const QString &fields, const QString &descFields = QString());
    QString indexFieldNames() const { return m_order.indexFields(); }
    QString indexDescFields() const { return m_order.indexDesc(); }

    // ---- filter ----
    // A syntax error raises here and the previous filter stays. Names are checked
    // when the filter applies (filtered and active); an unknown name raises and
    // the dataset stays as it was. Applying a filter moves to the first row.
    void setFilter(const QString &text);
    QString filter() const;
    void setFiltered(bool on);
    bool filtered() const { return m_order.filtered(); }
    // Text comparisons of the filter: case-sensitive unless CaseInsensitive.
    void setFilterOptions(TFilterOptions options);
    TFilterOptions filterOptions() const { return m_order.filterOptions(); }

    // ---- search ----
    // Fields "A;B", values a QVariantList (or one value for one field). Moves to
    // the first visible row that matches; false (cursor unmoved) when none does.
    bool locate(const QString &fields, const QVariant &values, TLocateOptions options = {});
    // The value(s) of resultFields ("X" or "X;Y" -> QVariantList) of the first row
    // whose keys match; null when none does. The cursor does not move.
    QVariant lookup(const QString &keyFields, const QVariant &keyValues, const QString &resultFields) const;

    // ---- bookmarks ----
    TBookmark bookmark() const; // InvalidBookmark when there is no current row
    void gotoBookmark(TBookmark b); // EDatabaseError when the row is not visible
    bool bookmarkValid(TBookmark b) const; // the row exists and is visible

    // ---- command text and parameters (query datasets) ----
    QString commandText() const { return m_commandText; }
    // Sets the text and rebuilds the parameters from it (values of names that stay are kept).
    void setCommandText(const QString &text);
    TParams &params() { return m_params; }
    const TParams &params() const { return m_params; }
    TParam &paramByName(const QString &name) { return m_params.paramByName(name); }

    // ---- files ----
    // A pending edit is posted first. Rows are written in natural order with the
    // change log, whatever the filter and index. Failure: EDatabaseError.
    // Through TOvSafeFile: a new file is readable by its owner only unless
    // Shared is asked (configuration every user of the program reads).
    void saveToFile(const QString &path, TOvSafeFile::Access access = TOvSafeFile::Access::OwnerOnly);
    QByteArray saveToBytes();
    // Replaces fields, rows and change log and opens. On any failure (missing
    // file, not our format, bad value...) raises EDatabaseError naming the file
    // and the problem, and the dataset keeps its previous content and state.
    void loadFromFile(const QString &path);
    void loadFromBytes(const QByteArray &data, const QString &sourceName = QString());
    // Copies fields, rows and change log of another dataset and opens.
    void assignData(const TClientDataSet &source);

    // ---- access for views (no cursor move, no events) ----
    QVariant valueAt(int row, int field) const; // row: 0-based visible position
    // The text of a String or Memo cell without a copy: valid until the
    // dataset next changes. Empty for a null cell, another column type, or
    // a row or field out of range.
    QStringView textAt(int row, int field) const;
    // No row holds a value in the field (every cell null, the record being
    // edited too), known without reading the rows: true only for a field no
    // value was put in since the rows were last emptied.
    bool holdsNoValues(int field) const;
    TBookmark bookmarkAt(int row) const;
    int rowOfBookmark(TBookmark b) const; // -1 when not visible
    // Runs fn with the fields reading the visible row `row`; the cursor, the
    // state and any pending edit are untouched and no event runs.
    void withRecordAt(int row, const std::function<void()> &fn);

signals:
    // Structure changed (open, close, load, filter, index, empty, cancelUpdates,
    // or anything while controls were disabled): views re-read everything.
    void dataSetReset();
    // Each row change is announced before it happens and reported after it
    // (views need both: Qt's begin/end pairs).
    void rowAboutToBeInserted(int row);
    void rowInserted(int row);
    void rowAboutToBeRemoved(int row);
    void rowRemoved(int row);
    void rowAboutToBeMoved(int from, int to); // an edit moves a row in index order
    void rowMoved(int from, int to);
    void rowChanged(int row);
    void cursorMoved(int row);       // -1: no current row
    void fieldChanged(int field);    // a field of the edit buffer was assigned
    void stateChanged(TDataSetState state);

protected:
    // Called by open() before the dataset becomes active: a SQL dataset runs its
    // command and fills the rows here (clearRows, setFieldDefs, addLoadedRow).
    virtual void openData() {}
    // For openData(): drops rows and log, keeps the fields.
    void clearRows();
    // For openData(): adds a row as loaded (not a pending change), values in
    // field order, converted to the field types (a bad value raises).
    void addLoadedRow(const QVariantList &values);

private:
    friend class TField;
    friend class dsinternal::Cursor;
    friend class dsinternal::Editor;
    enum class Notice { Reset, AboutToInsert, Inserted, AboutToRemove, Removed, AboutToMove, Moved, Changed, Cursor };

    void requireActive() const;
    void requireWritable() const;
    [[noreturn]] void fail(const QString &message) const;
    void setState(TDataSetState s);
    void fire(const TDataSetNotify &handler);
    void notify(Notice n, int a = 0, int b = 0);
    void doOpen(bool callHook);
    void replaceStorage(std::unique_ptr<dsinternal::Storage> st);

    std::unique_ptr<dsinternal::Storage> m_st;
    // which rows show, in what order: the index and the filter
    dsinternal::RowOrder m_order;
    // the rows that show and the current one: moves, bookmarks, searches
    std::unique_ptr<dsinternal::Cursor> m_cursor;
    // the record being edited or inserted, and rows written in bulk
    std::unique_ptr<dsinternal::Editor> m_editor;
    TDataSetState m_state = TDataSetState::Inactive;
    bool m_readOnly = false;

    int m_disableCount = 0;
    bool m_pendingReset = false;

    QString m_commandText;
    TParams m_params;
};
