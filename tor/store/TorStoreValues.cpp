#include "tor/store/TorStoreValues.h"

#include "platform/core/Currency.h"
#include "platform/dataset/TField.h"

#include <QDate>
#include <QDateTime>
#include <cmath>

namespace TorStore {

QList<MapPair> parseFieldMap(const QString &text)
{
    QList<MapPair> out;
    const QStringList items = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &item : items) {
        const int eq = item.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        MapPair p;
        p.column = item.left(eq).trimmed().toLower();
        p.fields = item.mid(eq + 1).trimmed();
        for (const QString &part : p.fields.split(QLatin1Char('+'), Qt::SkipEmptyParts))
            p.parts << part.trimmed();
        if (!p.column.isEmpty() && !p.parts.isEmpty())
            out << p;
    }
    return out;
}

bool isPersonColumn(const QString &c)
{
    static const QStringList cols = {QStringLiteral("saficodfiscale"), QStringLiteral("saficognome"),
                                     QStringLiteral("safinome"), QStringLiteral("saficodfissost"),
                                     QStringLiteral("safigruppoana")};
    return cols.contains(c);
}

Slot slotOf(TFieldType t)
{
    switch (t) {
    case TFieldType::Integer:
        return Slot::I;
    case TFieldType::Float:
    case TFieldType::Currency:
        return Slot::F;
    case TFieldType::Date:
    case TFieldType::DateTime:
        return Slot::D;
    default:
        return Slot::S;
    }
}

QVariant storedValue(TFieldType type, const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return {};
    switch (type) {
    case TFieldType::Integer:
        return v.toLongLong() == 0 ? QVariant() : QVariant(v.toLongLong());
    case TFieldType::Currency: {
        const Currency c = v.value<Currency>();
        return c.isZero() ? QVariant() : QVariant(c.toString());
    }
    case TFieldType::Float: {
        const double d = v.toDouble();
        return d == 0.0 ? QVariant() : QVariant(d);
    }
    case TFieldType::Date: {
        // Bound as a date: no clock, so no time zone can move it to another day.
        const QDate d = v.toDate();
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case TFieldType::DateTime: {
        // Wall-clock text without an offset, read back as it was written.
        const QDateTime d = v.toDateTime();
        return d.isValid() ? QVariant(d.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))) : QVariant();
    }
    default: {
        const QString s = fieldValueText(type, v);
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    }
}

QVariant loadedValue(TFieldType type, const QVariant &raw)
{
    if (!raw.isValid() || raw.isNull())
        return {};
    switch (type) {
    case TFieldType::Integer:
        return raw.toLongLong();
    case TFieldType::Currency: {
        if (raw.typeId() == QMetaType::Double) {
            // An amount read as a number (SQLite) that is a whole count of
            // ten-thousandths: that count, which is what its shortest text
            // parses to, without writing the text. Below 1e11 a double's
            // spacing is finer than half a ten-thousandth, so no other count
            // of them reads as the same double.
            const double d = raw.toDouble();
            if (std::isfinite(d) && std::fabs(d) < 1e11) {
                const qint64 units = std::llround(d * double(Currency::Scale));
                if (double(units) / double(Currency::Scale) == d)
                    return QVariant::fromValue(Currency::fromUnits(units));
            }
        }
        if (auto c = Currency::parse(raw.toString().trimmed()))
            return QVariant::fromValue(*c);
        return QVariant::fromValue(Currency::fromDouble(raw.toDouble()));
    }
    case TFieldType::Float:
        return raw.toDouble();
    case TFieldType::Date: {
        if (raw.typeId() == QMetaType::QString) {
            const QString s = raw.toString();
            const QDate d = QDate::fromString(s.left(10), Qt::ISODate);
            return d.isValid() ? QVariant(d) : QVariant();
        }
        const QDate d = raw.toDateTime().isValid() ? raw.toDateTime().date() : raw.toDate();
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case TFieldType::DateTime: {
        QDateTime d;
        if (raw.typeId() == QMetaType::QString) {
            d = QDateTime::fromString(raw.toString().left(23).replace(QLatin1Char(' '), QLatin1Char('T')),
                                      Qt::ISODateWithMs);
        } else {
            d = raw.toDateTime();
            d = QDateTime(d.date(), d.time()); // wall clock as stored
        }
        return d.isValid() ? QVariant(d) : QVariant();
    }
    default:
        return raw.toString();
    }
}

} // namespace TorStore
