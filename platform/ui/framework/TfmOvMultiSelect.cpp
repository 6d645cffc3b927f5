#include "platform/ui/framework/TfmOvMultiSelect.h"

#include <QAbstractItemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSet>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

TfmOvMultiSelect::TfmOvMultiSelect(QWidget *parent)
    : TfmOvOkCancDlg(parent)
{
    setWindowTitle(QStringLiteral("Selezione"));
    auto *layout = new QVBoxLayout(pnClient);
    layout->setContentsMargins(0, 0, 0, 0);
    grMain = new QTableView(pnClient);
    grMain->setObjectName(QStringLiteral("grMain"));
    grMain->setSelectionBehavior(QAbstractItemView::SelectRows);
    grMain->setSelectionMode(QAbstractItemView::ExtendedSelection);
    grMain->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grMain->setAlternatingRowColors(true);
    grMain->verticalHeader()->setDefaultSectionSize(grMain->fontMetrics().height() + 6);
    grMain->verticalHeader()->hide();
    grMain->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(grMain, 1);
    lbInfo = new QLabel(pnClient);
    lbInfo->setObjectName(QStringLiteral("lbInfo"));
    layout->addWidget(lbInfo);

    buSelectAll = new QPushButton(QStringLiteral("Seleziona tutti"), this);
    buSelectAll->setObjectName(QStringLiteral("buSelectAll"));
    buSelectNone = new QPushButton(QStringLiteral("Nessuno"), this);
    buSelectNone->setObjectName(QStringLiteral("buSelectNone"));
    pnButtons->insertWidget(0, buSelectAll);
    pnButtons->insertWidget(1, buSelectNone);
    connect(buSelectAll, &QPushButton::clicked, this, &TfmOvMultiSelect::selectAll);
    connect(buSelectNone, &QPushButton::clicked, this, &TfmOvMultiSelect::selectNone);
    resize(640, 480);
}

void TfmOvMultiSelect::setModel(QAbstractItemModel *model)
{
    m_order.clear();
    QItemSelectionModel *old = grMain->selectionModel();
    grMain->setModel(model);
    if (old && old != grMain->selectionModel())
        old->deleteLater();
    if (QItemSelectionModel *sm = grMain->selectionModel())
        connect(sm, &QItemSelectionModel::selectionChanged, this, &TfmOvMultiSelect::onSelectionChanged);
    disconnect(m_resetConnection);
    if (model) {
        // A reset drops the selection without telling the selection model's
        // listeners; so must we.
        m_resetConnection = connect(model, &QAbstractItemModel::modelReset, this, [this] {
            m_order.clear();
            emit selectionCountChanged(0);
        });
    }
    emit selectionCountChanged(0);
}

QAbstractItemModel *TfmOvMultiSelect::model() const
{
    return grMain->model();
}

void TfmOvMultiSelect::setRowKey(std::function<QVariant(int row)> rowKey)
{
    m_rowKey = std::move(rowKey);
}

void TfmOvMultiSelect::onSelectionChanged(const QItemSelection &selected, const QItemSelection &deselected)
{
    QAbstractItemModel *m = model();
    if (!m)
        return;
    // Sets of rows keep "select all" on thousands of rows linear.
    QSet<int> gone;
    for (const QItemSelectionRange &r : deselected)
        for (int row = r.top(); row <= r.bottom(); ++row)
            gone.insert(row);
    if (!gone.isEmpty())
        m_order.erase(std::remove_if(m_order.begin(), m_order.end(),
                                     [&](const QPersistentModelIndex &i) { return gone.contains(i.row()); }),
                      m_order.end());
    prune();
    QSet<int> present;
    for (const QPersistentModelIndex &i : m_order)
        present.insert(i.row());
    // Rows of one range arrive together; they enter in grid order.
    QList<int> rows;
    for (const QItemSelectionRange &r : selected)
        for (int row = r.top(); row <= r.bottom(); ++row)
            if (!present.contains(row)) {
                present.insert(row);
                rows << row;
            }
    std::sort(rows.begin(), rows.end());
    for (int row : rows)
        m_order << QPersistentModelIndex(m->index(row, 0));
    emit selectionCountChanged(int(m_order.size()));
}

void TfmOvMultiSelect::prune()
{
    // Rows removed from the model leave invalid entries behind.
    m_order.erase(std::remove_if(m_order.begin(), m_order.end(),
                                 [](const QPersistentModelIndex &i) { return !i.isValid(); }),
                  m_order.end());
}

QList<int> TfmOvMultiSelect::selectedRows() const
{
    QList<int> rows;
    for (const QPersistentModelIndex &i : m_order)
        if (i.isValid())
            rows << i.row();
    return rows;
}

QList<QVariant> TfmOvMultiSelect::selectedKeys() const
{
    QList<QVariant> keys;
    for (int row : selectedRows())
        keys << (m_rowKey ? m_rowKey(row) : QVariant(row));
    return keys;
}

int TfmOvMultiSelect::selectedCount() const
{
    return int(selectedRows().size());
}

void TfmOvMultiSelect::selectAll()
{
    if (model())
        grMain->selectAll();
}

void TfmOvMultiSelect::selectNone()
{
    if (QItemSelectionModel *sm = grMain->selectionModel())
        sm->clearSelection();
}
