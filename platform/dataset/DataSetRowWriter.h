#pragma once
// Rows written straight into the client dataset's storage, outside the
// cursor's editing: rows made in great numbers (texts, values, copies of
// another dataset's rows) and rows as a query loads them. Each is converted
// to the fields' types and checked before it exists: a refused value leaves
// no row. Not a public API: use TClientDataSet.
#include "platform/dataset/DataSetStorage.h"

#include <initializer_list>
#include <utility>
#include <vector>

namespace dsinternal {

class RowWriter
{
public:
    explicit RowWriter(Storage &st) : m_st(st) {}

    // Raises EDatabaseError when a row of `count` values has more values
    // than fields.
    void checkWidth(qsizetype count) const;
    // A row of texts for the first fields: they must be String or Memo.
    void checkTexts(std::initializer_list<QStringView> values) const;
    // The row of texts (a null view leaves its cell null; a text longer than
    // a String field's size is cut); its row id.
    int addTexts(std::initializer_list<QStringView> values);

    // The values there are (non-null), converted, with their field.
    using Values = std::vector<std::pair<int, QVariant>>;
    Values convert(const QVariantList &values) const;
    int addValues(const Values &values);

    // Whether rows of `from` fit (names, types, sizes).
    bool fits(const Storage &from) const;
    // Room for `rows` rows taken at once, when the storage holds none yet.
    void reserveWhenEmpty(qsizetype rows);
    // A copy of a row of `from`, cell by cell; its row id.
    int copyRow(const Storage &from, int src);

    // The values of a loaded row in field order, converted (missing ones
    // null).
    QVariantList loaded(const QVariantList &values) const;

private:
    Storage &m_st;
};

} // namespace dsinternal
