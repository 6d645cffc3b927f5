#pragma once
// Value conversions of the fiscal store: the field map of a structure, the
// value column of each field type, and a field's value as stored and as read
// back.
#include "platform/dataset/DataSetTypes.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace TorStore {

// One pair of a field map "col=Field;col2=A+B".
struct MapPair
{
    QString column;  // person column, lower case
    QString fields;  // field side as written ("A" or "A+B")
    QStringList parts;
};

QList<MapPair> parseFieldMap(const QString &text);

// Person columns a field map may name.
bool isPersonColumn(const QString &column);

// The value column of a field type: iFisValue, fFisValue, sFisValue, dFisValue.
enum class Slot { I, F, S, D };
Slot slotOf(TFieldType type);

// The value to store for a field, or an invalid QVariant when it is empty
// (empty text, 0, zero date or null: such values are not stored).
QVariant storedValue(TFieldType type, const QVariant &value);

// A stored value read back into a field's canonical type.
QVariant loadedValue(TFieldType type, const QVariant &raw);

} // namespace TorStore
