#pragma once
// Which rows of the client dataset show and in what order: the index on a
// field list and the filter. Not a public API: use TClientDataSet.
#include "platform/dataset/DataSetTypes.h"

#include <QString>
#include <memory>
#include <utility>
#include <vector>

namespace dsinternal {

struct Storage;
class DataSetFilter;

class RowOrder
{
public:
    using Keys = std::vector<std::pair<int, bool>>; // field, descending

    RowOrder();
    ~RowOrder();
    RowOrder(const RowOrder &) = delete;
    RowOrder &operator=(const RowOrder &) = delete;

    // ---- index ----
    const QString &indexFields() const { return m_indexFields; }
    const QString &indexDesc() const { return m_indexDesc; }
    void setIndexNames(const QString &fields, const QString &desc)
    {
        m_indexFields = fields;
        m_indexDesc = desc;
    }
    // The keys the index names make over the fields of `st`. Raises
    // EDatabaseError for a field that is not there or a descending field
    // that is not among the index's.
    Keys compile(const Storage &st) const;
    void setKeys(Keys keys) { m_keys = std::move(keys); }
    bool indexed() const { return !m_keys.empty(); }
    // Index order: text without regard to case, nulls first (last when
    // descending), ties in the order rows were added.
    bool less(const Storage &st, int a, int b) const;
    // Where a row goes in rows already in index order.
    int sortedPosition(const Storage &st, const std::vector<int> &rows, int rowId) const;

    // ---- filter ----
    const QString &filterText() const { return m_filterText; }
    DataSetFilter *filter() const { return m_filter.get(); }
    void setFilter(std::unique_ptr<DataSetFilter> filter, const QString &text);
    bool filtered() const { return m_filtered; }
    void setFiltered(bool on) { m_filtered = on; }
    TFilterOptions filterOptions() const { return m_filterOptions; }
    void setFilterOptions(TFilterOptions options) { m_filterOptions = options; }
    bool caseInsensitive() const { return m_filterOptions.testFlag(TFilterOption::CaseInsensitive); }
    // The filter bound to the fields of `st` (EDatabaseError when it does not
    // fit them); nothing without a filter.
    void bindFilter(const Storage &st) const;
    // A filter is set and applies (filtered, on an active dataset).
    bool filtering(bool active) const { return m_filtered && m_filter && active; }

    // ---- rows ----
    // The row shows: live, not deleted, and matching the filter when it applies.
    bool visible(const Storage &st, int rowId, bool active) const;
    // Every row that shows, in index order (natural order without an index).
    void collect(const Storage &st, bool active, std::vector<int> *rows) const;

private:
    QString m_indexFields, m_indexDesc;
    Keys m_keys;

    QString m_filterText;
    bool m_filtered = false;
    TFilterOptions m_filterOptions;
    std::unique_ptr<DataSetFilter> m_filter;
};

} // namespace dsinternal
