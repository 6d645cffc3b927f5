// The client dataset's editing, as its public API gives it: the states of a
// row being edited, rows appended in bulk and the change log
// (DataSetEditor.h, DataSetChangeLog.h).
#include "platform/dataset/TClientDataSet.h"

#include "platform/dataset/DataSetChangeLog.h"
#include "platform/dataset/DataSetCursor.h"
#include "platform/dataset/DataSetEditor.h"
#include "platform/dataset/DataSetStorage.h"

using namespace dsinternal;

// ---------------------------------------------------------------- editing

void TClientDataSet::checkBrowseMode()
{
    m_editor->checkBrowseMode();
}

void TClientDataSet::append()
{
    m_editor->append();
}

void TClientDataSet::insert()
{
    m_editor->insert();
}

void TClientDataSet::edit()
{
    m_editor->edit();
}

void TClientDataSet::post()
{
    m_editor->post();
}

void TClientDataSet::cancel()
{
    m_editor->cancel();
}

void TClientDataSet::deleteRecord()
{
    m_editor->deleteRecord();
}

void TClientDataSet::appendRecord(const QVariantList &values)
{
    m_editor->appendRecord(values);
}

void TClientDataSet::appendTexts(std::initializer_list<QStringView> values)
{
    m_editor->appendTexts(values);
}

void TClientDataSet::appendValues(const QVariantList &values)
{
    m_editor->appendValues(values);
}

void TClientDataSet::appendRowsOf(const TClientDataSet &source, const QList<int> &rows)
{
    m_editor->appendRowsOf(source, rows);
}

void TClientDataSet::reserveRows(int more)
{
    m_editor->reserveRows(more);
}

TUpdateStatus TClientDataSet::updateStatus() const
{
    return m_editor->updateStatus();
}

// ---------------------------------------------------------------- change log

int TClientDataSet::changeCount() const
{
    return ChangeLog(*m_st).count();
}

QList<TDeltaRow> TClientDataSet::delta() const
{
    return ChangeLog(*m_st).delta(m_cursor->generation());
}

void TClientDataSet::mergeChangeLog()
{
    ChangeLog(*m_st).merge();
}

void TClientDataSet::cancelUpdates()
{
    m_editor->cancelUpdates();
}

void TClientDataSet::writeRowValue(TBookmark row, const QString &fieldName, const QVariant &value)
{
    m_editor->writeRowValue(row, fieldName, value);
}
