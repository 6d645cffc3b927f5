#pragma once
// Binds a client dataset to the controls of a form: the controls re-read the
// current row when the dataset moves or changes, and write what the user types
// back into its fields. Every data source of a window is found by the window
// (findChildren) for its save-all and cancel-all.
#include <QObject>
#include <QPointer>

#include "platform/dataset/TClientDataSet.h"

class TDataSource : public QObject
{
    Q_OBJECT
public:
    explicit TDataSource(QObject *parent = nullptr);

    void setDataSet(TClientDataSet *dataSet);
    TClientDataSet *dataSet() const { return m_ds; }

    // True when the dataset is open and not read-only.
    bool canModify() const;
    // Puts a browsing dataset in edit state (its before-edit rules apply and
    // may refuse); true when the row can now be written.
    bool ensureEditing();
    // Asks the bound controls to write what they hold but have not written yet.
    void updateRecord();
    // Tells the bound controls to re-read (for example after a read-only change).
    void refresh() { emit dataChanged(); }

signals:
    void dataChanged();
    void stateChanged();
    void updateRecordRequested();

private:
    QPointer<TClientDataSet> m_ds;
    QList<QMetaObject::Connection> m_links;
};
