#pragma once
// Qt table model over the visible rows of a client dataset, for grids.
// Columns are the dataset's fields or a chosen list with titles. Sorting a
// column (a header click in a view with sorting enabled) sets the dataset's
// index on that field, ascending or descending. A colour hook gives each row its
// text colour (for example red for locked rows). Follows the dataset's changes.
#include "platform/dataset/TClientDataSet.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QPointer>
#include <functional>

struct TModelColumn
{
    QString fieldName;
    QString title;   // empty: the field name
    int width = 0;   // a hint for views (pixels); 0 = default
};

class TDataSetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    // Called with the dataset positioned on the row (read its fields); returns
    // the row's text colour, or an invalid QColor for the default.
    using RowColorFn = std::function<QColor(TClientDataSet &)>;

    explicit TDataSetModel(TClientDataSet *dataSet, QObject *parent = nullptr);

    TClientDataSet *dataSet() const { return m_ds; }
    // Empty list: every field, titled with its name. Unknown field: EDatabaseError.
    void setColumns(const QList<TModelColumn> &columns);
    const QList<TModelColumn> &columns() const { return m_columns; }
    void setRowColor(RowColorFn fn);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    // DisplayRole: the value as the office reads it (dates dd/mm/yyyy, amounts
    // 1.200,50, flags "Sì"/"No"); EditRole: the raw value; ForegroundRole: the hook.
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Sets the dataset's index on the column's field. Note that
    // QTableView::setSortingEnabled(true) sorts at once by the header's sort
    // indicator: set it to -1 first to keep an index the dataset already has.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Sorts on a column, descending when it is already the ascending key.
    void toggleSort(int column);
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }

    // The dataset's field index of a model column (-1 when out of range).
    int fieldOfColumn(int column) const;

    // Text of a field value as a grid shows it.
    static QString displayText(TFieldType type, const QVariant &value);

private:
    void reset();
    void onAboutToInsert(int row);
    void onInserted(int row);
    void onAboutToRemove(int row);
    void onRemoved(int row);
    void onAboutToMove(int from, int to);
    void onMoved(int from, int to);
    void onChanged(int row);

    QPointer<TClientDataSet> m_ds;
    QList<TModelColumn> m_columns; // as set (may be empty)
    QList<int> m_fields;           // field index per model column
    RowColorFn m_rowColor;
    int m_rows = 0;                // what the views were told
    enum class Pending { None, Insert, Remove, Move, Void } m_pending = Pending::None;
    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
};
