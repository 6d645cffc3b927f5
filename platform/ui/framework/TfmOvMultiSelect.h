#pragma once
// Multi-selection dialog: a read-only grid over any item model where the user
// picks rows (click, Ctrl+click, Shift+click, "Seleziona tutti", "Nessuno") and
// confirms with OK. The selected rows are kept in the order the user chose
// them; rowKey turns a row into its identity (for a dataset, its bookmark), so
// the caller gets keys that survive sorting and filtering of the grid.
#include "platform/ui/framework/TfmOvOkCancDlg.h"

#include <QList>
#include <QPersistentModelIndex>
#include <QVariant>

#include <functional>

class QAbstractItemModel;
class QItemSelection;
class QLabel;
class QTableView;

class TfmOvMultiSelect : public TfmOvOkCancDlg
{
    Q_OBJECT
public:
    explicit TfmOvMultiSelect(QWidget *parent = nullptr);

    QTableView *grMain = nullptr;
    QLabel *lbInfo = nullptr;           // info panel under the grid (derived forms write in it)
    QPushButton *buSelectAll = nullptr;
    QPushButton *buSelectNone = nullptr;

    // The grid's model (not owned). Setting it clears the selection.
    void setModel(QAbstractItemModel *model);
    QAbstractItemModel *model() const;
    // Identity of a row of the grid's model; without one the key is the row number.
    void setRowKey(std::function<QVariant(int row)> rowKey);

    // Selected rows of the grid's model, in selection order.
    QList<int> selectedRows() const;
    // Keys of the selected rows, in selection order.
    QList<QVariant> selectedKeys() const;
    int selectedCount() const;

    void selectAll();
    void selectNone();

signals:
    void selectionCountChanged(int count);

private:
    void onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected);
    void prune();

    std::function<QVariant(int)> m_rowKey;
    QList<QPersistentModelIndex> m_order;  // column 0 of each selected row
    QMetaObject::Connection m_resetConnection;
};
