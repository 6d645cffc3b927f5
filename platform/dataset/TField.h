#pragma once
// A field of the current record of a client dataset: a cheap handle (dataset and
// field index) to pass by value. A default-constructed TField is invalid, as
// findField returns for an unknown name. A handle is valid as long as the
// dataset keeps its field definitions.
#include "platform/core/Currency.h"
#include "platform/dataset/DataSetTypes.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>

class TField
{
public:
    TField() = default;
    TField(TClientDataSet *dataSet, int index) : m_ds(dataSet), m_index(index) {}

    bool isValid() const { return m_ds != nullptr && m_index >= 0; }
    explicit operator bool() const { return isValid(); }
    TClientDataSet *dataSet() const { return m_ds; }
    int index() const { return m_index; }

    QString fieldName() const;
    TFieldType dataType() const;
    int size() const;

    // The current record's value (the edit buffer while editing); a null
    // QVariant is a null value. Values come in the canonical type of the field:
    // QString, qlonglong, Currency, double, QDate, QDateTime, bool, QByteArray.
    QVariant value() const;
    // Converts to the field's type; a value that cannot stand for it raises
    // EDatabaseError naming field and value. Texts longer than a String field's
    // size are cut to the size. Only while editing or inserting.
    void setValue(const QVariant &v) const;
    bool isNull() const;
    void clear() const;

    // Readers give the type's empty value for null (empty text, 0, invalid
    // date, false); a value that cannot be read as asked raises EDatabaseError.
    QString asString() const;
    void setAsString(const QString &s) const;
    qint64 asInteger() const;
    void setAsInteger(qint64 v) const;
    double asFloat() const;
    void setAsFloat(double v) const;
    Currency asCurrency() const;
    void setAsCurrency(Currency v) const;
    QDate asDate() const;
    void setAsDate(const QDate &v) const;
    QDateTime asDateTime() const;
    void setAsDateTime(const QDateTime &v) const;
    bool asBoolean() const;
    void setAsBoolean(bool v) const;
    QByteArray asBlob() const;
    void setAsBlob(const QByteArray &v) const;

    // The value before the pending change of the current row: the original of
    // a modified or deleted row, null for an inserted row, the stored value
    // otherwise (and while editing, the value before this edit).
    QVariant oldValue() const;

private:
    [[noreturn]] void cannotRead(const char *as) const;
    const TFieldDef &def() const;
    TClientDataSet *m_ds = nullptr;
    int m_index = -1;
};

// The text form of a canonical value of a field type, as TField::asString gives it:
// integers plainly, amounts "1234.5000", floats shortest exact, dates "dd/MM/yyyy",
// date-times "dd/MM/yyyy HH:mm:ss" (".zzz" when there are milliseconds),
// booleans "True"/"False", blobs as UTF-8 text; null as an empty text.
QString fieldValueText(TFieldType type, const QVariant &value);
