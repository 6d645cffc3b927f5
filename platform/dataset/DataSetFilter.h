#pragma once
// Filter expressions of the client dataset. Not a public API: use
// TClientDataSet::setFilter. The grammar is in docs/dataset-file-format.md.
#include "platform/dataset/DataSetStorage.h"

#include <memory>

namespace dsinternal {

struct FilterNode;

class DataSetFilter
{
public:
    // Parses; a syntax error raises EDatabaseError naming the problem.
    explicit DataSetFilter(const QString &text);
    ~DataSetFilter();
    DataSetFilter(const DataSetFilter &) = delete;
    DataSetFilter &operator=(const DataSetFilter &) = delete;

    const QString &text() const { return m_text; }

    // Resolves field names and checks types against the fields; raises
    // EDatabaseError (unknown field, value that cannot stand for a field's type,
    // values that cannot be compared). Must succeed before matches().
    void bind(const Storage &storage, bool caseInsensitive);
    bool matches(const Storage &storage, int row) const;

private:
    [[noreturn]] void fail(const QString &detail) const;
    QString m_text;
    std::unique_ptr<FilterNode> m_root;
    bool m_caseInsensitive = false;
};

} // namespace dsinternal
