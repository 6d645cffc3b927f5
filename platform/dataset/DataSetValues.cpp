// Field types and values: the names of the types, a value brought to the
// canonical form of its field's type, and the parsing of texts that files,
// filters and fields share. The columns that hold the values are in
// DataSetStorage.cpp.
#include "platform/dataset/DataSetStorage.h"

#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr qint64 MsPerDay = 86400000;

struct TypeName
{
    TFieldType type;
    const char *name;
};
constexpr TypeName kTypeNames[] = {
    {TFieldType::String, "String"},     {TFieldType::Integer, "Integer"}, {TFieldType::Currency, "Currency"},
    {TFieldType::Float, "Float"},       {TFieldType::Date, "Date"},       {TFieldType::DateTime, "DateTime"},
    {TFieldType::Boolean, "Boolean"},   {TFieldType::Memo, "Memo"},       {TFieldType::Blob, "Blob"},
};

bool isTextual(const QVariant &v)
{
    const int id = v.metaType().id();
    return id == QMetaType::QString || id == QMetaType::QByteArray || id == QMetaType::QChar;
}

bool isIntegral(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
    case QMetaType::Long:
        return true;
    default:
        return false;
    }
}

bool isFloating(const QVariant &v)
{
    const int id = v.metaType().id();
    return id == QMetaType::Double || id == QMetaType::Float;
}

bool isCurrency(const QVariant &v)
{
    return v.metaType() == QMetaType::fromType<Currency>();
}

} // namespace

QString fieldTypeName(TFieldType type)
{
    for (const auto &t : kTypeNames)
        if (t.type == type)
            return QString::fromLatin1(t.name);
    return QString();
}

bool fieldTypeFromName(const QString &name, TFieldType *type)
{
    for (const auto &t : kTypeNames)
        if (name.compare(QLatin1StringView(t.name), Qt::CaseInsensitive) == 0) {
            *type = t.type;
            return true;
        }
    return false;
}

namespace dsinternal {

QString typeLabel(TFieldType type)
{
    switch (type) {
    case TFieldType::String: return QStringLiteral("testo");
    case TFieldType::Integer: return QStringLiteral("intero");
    case TFieldType::Currency: return QStringLiteral("importo");
    case TFieldType::Float: return QStringLiteral("numero");
    case TFieldType::Date: return QStringLiteral("data");
    case TFieldType::DateTime: return QStringLiteral("data e ora");
    case TFieldType::Boolean: return QStringLiteral("logico");
    case TFieldType::Memo: return QStringLiteral("memo");
    case TFieldType::Blob: return QStringLiteral("blob");
    }
    return QString();
}

void throwBadValue(const TFieldDef &def, const QVariant &value)
{
    QString shown = value.toString();
    if (shown.isEmpty() && value.isValid() && !isTextual(value))
        shown = QString::fromLatin1(value.metaType().name());
    if (shown.size() > 60)
        shown = cutText(shown, 57) + QStringLiteral("...");
    throw EDatabaseError(QStringLiteral("Valore '%1' non valido per il campo '%2' (%3)")
                             .arg(shown, def.name, typeLabel(def.type)));
}

QString cutText(const QString &s, int n)
{
    if (s.size() <= n)
        return s;
    if (n > 0 && s.at(n - 1).isHighSurrogate())
        --n;
    return s.left(n);
}

bool parseIntText(QStringView text, qint64 *out)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    if (ok)
        *out = v;
    return ok;
}

bool parseFloatText(QStringView text, double *out)
{
    QString t = text.trimmed().toString();
    if (t.isEmpty())
        return false;
    if (!t.contains(u'.') && t.count(u',') == 1)
        t.replace(u',', u'.');
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (ok)
        *out = v;
    return ok;
}

bool parseDateText(QStringView text, QDate *out)
{
    // The stored form, "yyyy-MM-dd", read without a format.
    if (text.size() == 10 && text[4] == u'-' && text[7] == u'-') {
        int v[3] = {0, 0, 0};
        bool digits = true;
        for (int i = 0, k = 0; i < 10 && digits; ++i) {
            if (i == 4 || i == 7) {
                ++k;
                continue;
            }
            const char16_t c = text[i].unicode();
            digits = c >= u'0' && c <= u'9';
            v[k] = v[k] * 10 + (c - u'0');
        }
        if (digits) {
            const QDate d(v[0], v[1], v[2]);
            if (!d.isValid())
                return false;
            *out = d;
            return true;
        }
    }
    const QString t = text.trimmed().toString();
    for (const char *fmt : {"yyyy-MM-dd", "dd/MM/yyyy", "d/M/yyyy"}) {
        const QDate d = QDate::fromString(t, QLatin1StringView(fmt));
        if (d.isValid()) {
            *out = d;
            return true;
        }
    }
    return false;
}

bool parseDateTimeText(QStringView text, QDateTime *out)
{
    const QString t = text.trimmed().toString();
    qsizetype space = t.indexOf(u'T');
    if (space < 0)
        space = t.indexOf(u' ');
    QDate d;
    if (space < 0) {
        if (!parseDateText(t, &d))
            return false;
        *out = QDateTime(d, QTime(0, 0));
        return true;
    }
    if (!parseDateText(QStringView(t).left(space), &d))
        return false;
    const QString tt = t.mid(space + 1).trimmed();
    for (const char *fmt : {"HH:mm:ss.zzz", "HH:mm:ss", "HH:mm", "H:mm:ss", "H:mm"}) {
        const QTime tm = QTime::fromString(tt, QLatin1StringView(fmt));
        if (tm.isValid()) {
            *out = QDateTime(d, tm);
            return true;
        }
    }
    return false;
}

bool parseBoolText(QStringView text, bool *out)
{
    const QString t = text.trimmed().toString().toLower();
    static const QStringList yes = {QStringLiteral("true"), QStringLiteral("t"), QStringLiteral("1"),
                                    QStringLiteral("s"),    QStringLiteral("si"), QStringLiteral("sì"),
                                    QStringLiteral("y"),    QStringLiteral("yes")};
    static const QStringList no = {QStringLiteral("false"), QStringLiteral("f"), QStringLiteral("0"),
                                   QStringLiteral("n"), QStringLiteral("no")};
    if (yes.contains(t)) {
        *out = true;
        return true;
    }
    if (no.contains(t)) {
        *out = false;
        return true;
    }
    return false;
}

qint64 dateTimeToMs(const QDateTime &dt)
{
    return dt.date().toJulianDay() * MsPerDay + dt.time().msecsSinceStartOfDay();
}

QDateTime msToDateTime(qint64 ms)
{
    qint64 day = ms / MsPerDay;
    qint64 rest = ms % MsPerDay;
    if (rest < 0) {
        rest += MsPerDay;
        --day;
    }
    return QDateTime(QDate::fromJulianDay(day), QTime::fromMSecsSinceStartOfDay(int(rest)));
}

namespace {

// Null: no value, a null of any type (as SQL drivers give), a null text or
// byte array, an invalid date. An empty but non-null text is a value.
bool isNullInput(const QVariant &in)
{
    const int id = in.metaType().id();
    return !in.isValid() || in.isNull() || (id == QMetaType::QString && in.toString().isNull())
           || (id == QMetaType::QByteArray && in.toByteArray().isNull())
           || (id == QMetaType::QDate && !in.toDate().isValid())
           || (id == QMetaType::QDateTime && !in.toDateTime().isValid());
}

// A value given as text or bytes, with that text.
struct TextInput
{
    bool textual = false;
    QString text;
};

bool toText(const TFieldDef &def, const QVariant &in, QVariant *out)
{
    QString s;
    if (isCurrency(in))
        s = in.value<Currency>().toString();
    else if (isFloating(in))
        s = QString::number(in.toDouble(), 'g', QLocale::FloatingPointShortest);
    else if (in.metaType().id() == QMetaType::QDate)
        s = in.toDate().toString(QStringLiteral("dd/MM/yyyy"));
    else if (in.metaType().id() == QMetaType::QDateTime)
        s = in.toDateTime().toString(QStringLiteral("dd/MM/yyyy HH:mm:ss"));
    else if (in.canConvert<QString>())
        s = in.toString();
    else
        return false;
    if (s.isNull())
        s = QStringLiteral(""); // an empty text is a value, not a null
    if (def.type == TFieldType::String && def.size > 0)
        s = cutText(s, def.size);
    *out = s;
    return true;
}

bool toInteger(const QVariant &in, const TextInput &t, QVariant *out)
{
    qint64 v = 0;
    if (isIntegral(in) || in.metaType().id() == QMetaType::Bool) {
        v = in.toLongLong();
    } else if (in.metaType().id() == QMetaType::ULongLong) {
        if (in.toULongLong() > quint64(std::numeric_limits<qint64>::max()))
            return false;
        v = qint64(in.toULongLong());
    } else if (isFloating(in)) {
        const double d = in.toDouble();
        if (!std::isfinite(d) || d != std::floor(d) || std::fabs(d) > 9.2e18)
            return false;
        v = qint64(d);
    } else if (isCurrency(in)) {
        const Currency c = in.value<Currency>();
        if (c.units() % Currency::Scale != 0)
            return false;
        v = c.units() / Currency::Scale;
    } else if (t.textual) {
        if (!parseIntText(t.text, &v))
            return false;
    } else {
        return false;
    }
    *out = QVariant(qlonglong(v));
    return true;
}

bool toCurrency(const QVariant &in, const TextInput &t, QVariant *out)
{
    try {
        if (isCurrency(in))
            *out = in;
        else if (isIntegral(in))
            *out = QVariant::fromValue(Currency::fromInt(in.toLongLong()));
        else if (isFloating(in))
            *out = QVariant::fromValue(Currency::fromDouble(in.toDouble()));
        else if (t.textual) {
            const auto c = Currency::parse(t.text);
            if (!c)
                return false;
            *out = QVariant::fromValue(*c);
        } else
            return false;
    } catch (const EOvException &) {
        return false;
    }
    return true;
}

bool toFloat(const QVariant &in, const TextInput &t, QVariant *out)
{
    double d = 0;
    if (isFloating(in) || isIntegral(in) || in.metaType().id() == QMetaType::ULongLong)
        d = in.toDouble();
    else if (isCurrency(in))
        d = in.value<Currency>().toDouble();
    else if (t.textual) {
        if (!parseFloatText(t.text, &d))
            return false;
    } else
        return false;
    *out = d;
    return true;
}

bool toDate(const QVariant &in, const TextInput &t, QVariant *out)
{
    QDate d;
    if (in.metaType().id() == QMetaType::QDate)
        d = in.toDate();
    else if (in.metaType().id() == QMetaType::QDateTime)
        d = in.toDateTime().date();
    else if (t.textual) {
        if (!parseDateText(t.text, &d))
            return false;
    } else
        return false;
    *out = d.isValid() ? QVariant(d) : QVariant();
    return true;
}

bool toDateTime(const QVariant &in, const TextInput &t, QVariant *out)
{
    QDateTime dt;
    if (in.metaType().id() == QMetaType::QDateTime)
        dt = in.toDateTime();
    else if (in.metaType().id() == QMetaType::QDate)
        dt = in.toDate().isValid() ? QDateTime(in.toDate(), QTime(0, 0)) : QDateTime();
    else if (t.textual) {
        if (!parseDateTimeText(t.text, &dt))
            return false;
    } else
        return false;
    *out = dt.isValid() ? QVariant(msToDateTime(dateTimeToMs(dt))) : QVariant();
    return true;
}

bool toBoolean(const QVariant &in, const TextInput &t, QVariant *out)
{
    bool b = false;
    if (in.metaType().id() == QMetaType::Bool || isIntegral(in))
        b = in.toLongLong() != 0;
    else if (t.textual) {
        if (!parseBoolText(t.text, &b))
            return false;
    } else
        return false;
    *out = b;
    return true;
}

bool toBlob(const QVariant &in, const TextInput &t, QVariant *out)
{
    if (in.metaType().id() == QMetaType::QByteArray)
        *out = in.toByteArray();
    else if (t.textual)
        *out = t.text.toUtf8();
    else
        return false;
    return true;
}

} // namespace

bool convertValue(const TFieldDef &def, const QVariant &in, QVariant *out)
{
    if (isNullInput(in)) {
        *out = QVariant();
        return true;
    }
    const int id = in.metaType().id();
    TextInput t;
    t.textual = isTextual(in);
    t.text = t.textual && id != QMetaType::QByteArray ? in.toString()
             : t.textual ? QString::fromUtf8(in.toByteArray()) : QString();
    if (t.textual && def.type != TFieldType::String && def.type != TFieldType::Memo
        && def.type != TFieldType::Blob && t.text.trimmed().isEmpty()) {
        *out = QVariant();
        return true;
    }
    switch (def.type) {
    case TFieldType::String:
    case TFieldType::Memo: return toText(def, in, out);
    case TFieldType::Integer: return toInteger(in, t, out);
    case TFieldType::Currency: return toCurrency(in, t, out);
    case TFieldType::Float: return toFloat(in, t, out);
    case TFieldType::Date: return toDate(in, t, out);
    case TFieldType::DateTime: return toDateTime(in, t, out);
    case TFieldType::Boolean: return toBoolean(in, t, out);
    case TFieldType::Blob: return toBlob(in, t, out);
    }
    return false;
}

} // namespace dsinternal
