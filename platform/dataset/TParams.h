#pragma once
// Parameters of a query dataset's command text (":NAME" in the text).
#include "platform/core/Currency.h"
#include "platform/dataset/DataSetTypes.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

class TParam
{
public:
    TParam() = default;
    TParam(const QString &name, TFieldType type = TFieldType::String) : m_name(name), m_type(type) {}

    const QString &name() const { return m_name; }
    TFieldType dataType() const { return m_type; }
    void setDataType(TFieldType t) { m_type = t; }
    const QVariant &value() const { return m_value; }
    // Sets the value as it is; the data type follows the value's kind.
    void setValue(const QVariant &v);
    bool isNull() const { return !m_value.isValid() || m_value.isNull(); }
    void clear() { m_value = QVariant(); }

    void setAsString(const QString &v) { m_type = TFieldType::String; m_value = v; }
    void setAsInteger(qint64 v) { m_type = TFieldType::Integer; m_value = qlonglong(v); }
    void setAsFloat(double v) { m_type = TFieldType::Float; m_value = v; }
    void setAsCurrency(Currency v) { m_type = TFieldType::Currency; m_value = QVariant::fromValue(v); }
    void setAsDate(const QDate &v) { m_type = TFieldType::Date; m_value = v.isValid() ? QVariant(v) : QVariant(); }
    void setAsDateTime(const QDateTime &v) { m_type = TFieldType::DateTime; m_value = v.isValid() ? QVariant(v) : QVariant(); }
    void setAsBoolean(bool v) { m_type = TFieldType::Boolean; m_value = v; }
    QString asString() const { return m_value.toString(); }
    qint64 asInteger() const { return m_value.toLongLong(); }

private:
    QString m_name;
    TFieldType m_type = TFieldType::String;
    QVariant m_value;
};

class TParams
{
public:
    int count() const { return int(m_items.size()); }
    bool isEmpty() const { return m_items.isEmpty(); }
    TParam &operator[](int i) { return m_items[i]; }
    const TParam &operator[](int i) const { return m_items[i]; }
    QList<TParam>::iterator begin() { return m_items.begin(); }
    QList<TParam>::iterator end() { return m_items.end(); }
    QList<TParam>::const_iterator begin() const { return m_items.begin(); }
    QList<TParam>::const_iterator end() const { return m_items.end(); }

    // Names compare without regard to case.
    TParam *findParam(const QString &name);
    const TParam *findParam(const QString &name) const;
    // EDatabaseError "Parametro '%1' non trovato" when absent.
    TParam &paramByName(const QString &name);
    const TParam &paramByName(const QString &name) const;
    // Adds a parameter, or returns the one already named so.
    TParam &addParam(const QString &name, TFieldType type = TFieldType::String);
    void clear() { m_items.clear(); }

    // Rebuilds the list from a command text, in order of first appearance;
    // parameters whose names stay keep their values and types.
    void rebuildFrom(const QString &commandText);

    // The parameter names of a command text: ":NAME" outside quoted texts and
    // comments; "::" (a type cast) and a colon inside a word are not parameters.
    static QStringList parseNames(const QString &commandText);

private:
    QList<TParam> m_items;
};
