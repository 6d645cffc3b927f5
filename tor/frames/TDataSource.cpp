#include "tor/frames/TDataSource.h"

#include "platform/dataset/TClientDataSet.h"
#include "platform/framework/OvMessages.h"

TDataSource::TDataSource(QObject *parent)
    : QObject(parent)
{
}

void TDataSource::setDataSet(TClientDataSet *dataSet)
{
    for (const QMetaObject::Connection &c : m_links)
        disconnect(c);
    m_links.clear();
    m_ds = dataSet;
    if (dataSet) {
        const auto changed = [this] { emit dataChanged(); };
        m_links << connect(dataSet, &TClientDataSet::dataSetReset, this, changed)
                << connect(dataSet, &TClientDataSet::cursorMoved, this, changed)
                << connect(dataSet, &TClientDataSet::rowChanged, this, changed)
                << connect(dataSet, &TClientDataSet::fieldChanged, this, changed)
                << connect(dataSet, &TClientDataSet::stateChanged, this, [this] {
                       emit stateChanged();
                       emit dataChanged();
                   });
    }
    emit dataChanged();
}

bool TDataSource::canModify() const
{
    return m_ds && m_ds->active() && !m_ds->readOnly();
}

bool TDataSource::ensureEditing()
{
    if (!canModify())
        return false;
    if (m_ds->modified())
        return true;
    // A refusal of the before-edit rule is silent (EAbort) or shown.
    ovGuarded([this] { m_ds->edit(); });
    return m_ds->modified();
}

void TDataSource::updateRecord()
{
    emit updateRecordRequested();
}
