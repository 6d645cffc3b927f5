#pragma once
// Finding rows of the client dataset by value (locate, lookup). Not a public
// API: use TClientDataSet.
#include "platform/dataset/DataSetStorage.h"

#include <QStringList>
#include <vector>

namespace dsinternal {

// "A;B;C" as a list of names: each trimmed, empty ones left out.
QStringList splitNames(const QString &list);

class RowSearch
{
public:
    // The fields "A;B" and their values (a QVariantList, or one value for one
    // field), converted to the fields' types. Raises EDatabaseError when no
    // field is named, a field is unknown, the values are not as many as the
    // fields, or a value cannot stand for its field.
    RowSearch(const Storage &st, const QString &fields, const QVariant &values);

    bool matches(int rowId, TLocateOptions options) const;

    // The fields of "X" or "X;Y"; an unknown one raises EDatabaseError.
    static std::vector<int> resultFields(const Storage &st, const QString &names);
    // Their values in a row: the value for one field, a QVariantList for more.
    static QVariant resultOf(const Storage &st, const std::vector<int> &fields, int rowId);

private:
    const Storage &m_st;
    std::vector<int> m_fields;
    QVariantList m_values;
};

} // namespace dsinternal
