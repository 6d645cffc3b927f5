#include "platform/dataset/TField.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/DataSetEditor.h"
#include "platform/dataset/DataSetStorage.h"
#include "platform/dataset/TClientDataSet.h"

#include <cmath>

using namespace dsinternal;

QString fieldValueText(TFieldType type, const QVariant &value)
{
    if (!value.isValid())
        return QStringLiteral("");
    switch (type) {
    case TFieldType::String:
    case TFieldType::Memo:
        return value.toString();
    case TFieldType::Integer:
        return QString::number(value.toLongLong());
    case TFieldType::Currency:
        return value.value<Currency>().toString();
    case TFieldType::Float:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case TFieldType::Date:
        return value.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    case TFieldType::DateTime: {
        const QDateTime dt = value.toDateTime();
        return dt.toString(dt.time().msec() ? QStringLiteral("dd/MM/yyyy HH:mm:ss.zzz")
                                             : QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    }
    case TFieldType::Boolean:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case TFieldType::Blob:
        return QString::fromUtf8(value.toByteArray());
    }
    return QString();
}

const TFieldDef &TField::def() const
{
    if (!isValid())
        throw EDatabaseError(QStringLiteral("Campo non valido"));
    if (m_index >= m_ds->fieldCount())
        throw EDatabaseError(QStringLiteral("Campo numero %1 inesistente").arg(m_index));
    return m_ds->fieldDefs()[m_index];
}

void TField::cannotRead(const char *as) const
{
    const TFieldDef &d = def();
    throw EDatabaseError(QStringLiteral("Il valore '%1' del campo '%2' non è leggibile come %3")
                             .arg(fieldValueText(d.type, value()), d.name, QLatin1StringView(as)));
}

QString TField::fieldName() const { return def().name; }
TFieldType TField::dataType() const { return def().type; }
int TField::size() const { return def().size; }

QVariant TField::value() const
{
    def();
    return m_ds->m_editor->read(m_index);
}

void TField::setValue(const QVariant &v) const
{
    def();
    m_ds->m_editor->write(m_index, v);
}

bool TField::isNull() const
{
    def();
    return m_ds->m_editor->isNull(m_index);
}
void TField::clear() const { setValue(QVariant()); }

QString TField::asString() const { return fieldValueText(def().type, value()); }
void TField::setAsString(const QString &s) const { setValue(s); }

qint64 TField::asInteger() const
{
    const QVariant v = value();
    if (!v.isValid())
        return 0;
    switch (def().type) {
    case TFieldType::Integer:
        return v.toLongLong();
    case TFieldType::Boolean:
        return v.toBool() ? 1 : 0;
    case TFieldType::Currency: {
        // Halves away from zero, as for every rounding of amounts.
        const qint64 u = v.value<Currency>().units();
        const qint64 q = u / Currency::Scale, r = u % Currency::Scale;
        return q + (r >= Currency::Scale / 2 ? 1 : r <= -Currency::Scale / 2 ? -1 : 0);
    }
    case TFieldType::Float: {
        const double d = std::round(v.toDouble());
        if (!std::isfinite(d) || std::fabs(d) > 9.2e18)
            cannotRead("intero");
        return qint64(d);
    }
    case TFieldType::String:
    case TFieldType::Memo: {
        qint64 i = 0;
        if (v.toString().trimmed().isEmpty())
            return 0;
        if (!parseIntText(v.toString(), &i))
            cannotRead("intero");
        return i;
    }
    default:
        cannotRead("intero");
    }
}

void TField::setAsInteger(qint64 v) const { setValue(QVariant(qlonglong(v))); }

double TField::asFloat() const
{
    const QVariant v = value();
    if (!v.isValid())
        return 0;
    switch (def().type) {
    case TFieldType::Integer:
    case TFieldType::Float:
        return v.toDouble();
    case TFieldType::Currency:
        return v.value<Currency>().toDouble();
    case TFieldType::Boolean:
        return v.toBool() ? 1 : 0;
    case TFieldType::String:
    case TFieldType::Memo: {
        double d = 0;
        if (v.toString().trimmed().isEmpty())
            return 0;
        if (!parseFloatText(v.toString(), &d))
            cannotRead("numero");
        return d;
    }
    default:
        cannotRead("numero");
    }
}

void TField::setAsFloat(double v) const { setValue(v); }

Currency TField::asCurrency() const
{
    const QVariant v = value();
    if (!v.isValid())
        return Currency();
    switch (def().type) {
    case TFieldType::Currency:
        return v.value<Currency>();
    case TFieldType::Integer:
        return Currency::fromInt(v.toLongLong());
    case TFieldType::Float:
        try {
            return Currency::fromDouble(v.toDouble());
        } catch (const EOvException &) {
            cannotRead("importo");
        }
    case TFieldType::String:
    case TFieldType::Memo: {
        if (v.toString().trimmed().isEmpty())
            return Currency();
        const auto c = Currency::parse(v.toString());
        if (!c)
            cannotRead("importo");
        return *c;
    }
    default:
        cannotRead("importo");
    }
}

void TField::setAsCurrency(Currency v) const { setValue(QVariant::fromValue(v)); }

QDate TField::asDate() const
{
    const QVariant v = value();
    if (!v.isValid())
        return QDate();
    switch (def().type) {
    case TFieldType::Date:
        return v.toDate();
    case TFieldType::DateTime:
        return v.toDateTime().date();
    case TFieldType::String:
    case TFieldType::Memo: {
        QDate d;
        if (v.toString().trimmed().isEmpty())
            return QDate();
        if (!parseDateText(v.toString(), &d))
            cannotRead("data");
        return d;
    }
    default:
        cannotRead("data");
    }
}

void TField::setAsDate(const QDate &v) const { setValue(v.isValid() ? QVariant(v) : QVariant()); }

QDateTime TField::asDateTime() const
{
    const QVariant v = value();
    if (!v.isValid())
        return QDateTime();
    switch (def().type) {
    case TFieldType::DateTime:
        return v.toDateTime();
    case TFieldType::Date:
        return QDateTime(v.toDate(), QTime(0, 0));
    case TFieldType::String:
    case TFieldType::Memo: {
        QDateTime d;
        if (v.toString().trimmed().isEmpty())
            return QDateTime();
        if (!parseDateTimeText(v.toString(), &d))
            cannotRead("data e ora");
        return d;
    }
    default:
        cannotRead("data e ora");
    }
}

void TField::setAsDateTime(const QDateTime &v) const { setValue(v.isValid() ? QVariant(v) : QVariant()); }

bool TField::asBoolean() const
{
    const QVariant v = value();
    if (!v.isValid())
        return false;
    switch (def().type) {
    case TFieldType::Boolean:
        return v.toBool();
    case TFieldType::Integer:
        return v.toLongLong() != 0;
    case TFieldType::String:
    case TFieldType::Memo: {
        bool b = false;
        if (v.toString().trimmed().isEmpty())
            return false;
        if (!parseBoolText(v.toString(), &b))
            cannotRead("logico");
        return b;
    }
    default:
        cannotRead("logico");
    }
}

void TField::setAsBoolean(bool v) const { setValue(v); }

QByteArray TField::asBlob() const
{
    const QVariant v = value();
    if (!v.isValid())
        return QByteArray();
    if (def().type == TFieldType::Blob)
        return v.toByteArray();
    return asString().toUtf8();
}

void TField::setAsBlob(const QByteArray &v) const { setValue(v); }

QVariant TField::oldValue() const
{
    def();
    return m_ds->m_editor->oldValue(m_index);
}
