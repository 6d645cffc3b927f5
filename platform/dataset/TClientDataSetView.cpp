// The client dataset's cursor, as its public API gives it: moves, bookmarks,
// index and filter, searches and the visible rows read by views
// (DataSetCursor.h).
#include "platform/dataset/TClientDataSet.h"

#include "platform/dataset/DataSetCursor.h"
#include "platform/dataset/DataSetEditor.h"

// ---------------------------------------------------------------- navigation

void TClientDataSet::first()
{
    m_cursor->first();
}

void TClientDataSet::last()
{
    m_cursor->last();
}

void TClientDataSet::next()
{
    m_cursor->moveBy(1);
}

void TClientDataSet::prior()
{
    m_cursor->moveBy(-1);
}

int TClientDataSet::moveBy(int distance)
{
    return m_cursor->moveBy(distance);
}

bool TClientDataSet::eof() const
{
    return m_cursor->eof();
}

bool TClientDataSet::bof() const
{
    return m_cursor->bof();
}

int TClientDataSet::recordCount() const
{
    return active() ? m_cursor->count() : 0;
}

int TClientDataSet::recNo() const
{
    return m_cursor->recNo();
}

void TClientDataSet::setRecNo(int recNo)
{
    m_cursor->setRecNo(recNo);
}

// ---------------------------------------------------------------- bookmarks

TBookmark TClientDataSet::bookmark() const
{
    return m_cursor->bookmark();
}

void TClientDataSet::gotoBookmark(TBookmark b)
{
    m_cursor->gotoBookmark(b);
}

bool TClientDataSet::bookmarkValid(TBookmark b) const
{
    return m_cursor->rowOfBookmark(b) >= 0;
}

TBookmark TClientDataSet::bookmarkAt(int row) const
{
    return m_cursor->bookmarkAt(row);
}

int TClientDataSet::rowOfBookmark(TBookmark b) const
{
    return m_cursor->rowOfBookmark(b);
}

// ---------------------------------------------------------------- index and filter

void TClientDataSet::setIndexFieldNames(const QString &fields, const QString &descFields)
{
    m_cursor->setIndexFieldNames(fields, descFields);
}

void TClientDataSet::setFilter(const QString &text)
{
    m_cursor->setFilter(text);
}

QString TClientDataSet::filter() const
{
    return m_order.filterText();
}

void TClientDataSet::setFiltered(bool on)
{
    m_cursor->setFiltered(on);
}

void TClientDataSet::setFilterOptions(TFilterOptions options)
{
    m_cursor->setFilterOptions(options);
}

// ---------------------------------------------------------------- search

bool TClientDataSet::locate(const QString &fields, const QVariant &values, TLocateOptions options)
{
    return m_cursor->locate(fields, values, options);
}

QVariant TClientDataSet::lookup(const QString &keyFields, const QVariant &keyValues, const QString &resultFields) const
{
    return m_cursor->lookup(keyFields, keyValues, resultFields);
}

// ---------------------------------------------------------------- access for views

QVariant TClientDataSet::valueAt(int row, int field) const
{
    return m_cursor->valueAt(row, field);
}

QStringView TClientDataSet::textAt(int row, int field) const
{
    return m_cursor->textAt(row, field);
}

bool TClientDataSet::holdsNoValues(int field) const
{
    return m_editor->holdsNoValues(field);
}

void TClientDataSet::withRecordAt(int row, const std::function<void()> &fn)
{
    m_editor->withRecordAt(row, fn);
}
