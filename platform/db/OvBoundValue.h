#pragma once
// What the native statements (SQLite's and the server's) share about a bound
// value: whether it is null as the Qt driver sees it, and the value held.
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <QVariant>

namespace ovbind {

template <typename T>
const T &held(const QVariant &v)
{
    return *static_cast<const T *>(v.constData());
}

// Null as the driver binds it: an invalid or null variant, a null text,
// bytes, date, date and time or time.
inline bool isNullValue(const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return true;
    switch (v.typeId()) {
    case QMetaType::QString: return held<QString>(v).isNull();
    case QMetaType::QByteArray: return held<QByteArray>(v).isNull();
    case QMetaType::QDate: return held<QDate>(v).isNull();
    case QMetaType::QDateTime: return held<QDateTime>(v).isNull();
    case QMetaType::QTime: return held<QTime>(v).isNull();
    default: return false;
    }
}

} // namespace ovbind
