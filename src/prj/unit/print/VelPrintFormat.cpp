#include "src/prj/unit/print/VelPrintFormat.h"

#include "platform/core/OvExceptions.h"
#include "tor/util/TorImporti.h"

#include <QRegularExpression>

namespace VelPrintFormat {

namespace {

QString grouped(quint64 magnitude)
{
    QString digits = QString::number(magnitude);
    for (int i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char('.'));
    return digits;
}

} // namespace

QString integerText(qint64 value)
{
    const quint64 magnitude = value < 0 ? quint64(0) - quint64(value) : quint64(value);
    return value < 0 ? QLatin1Char('-') + grouped(magnitude) : grouped(magnitude);
}

QString amountText(Currency value)
{
    return TorImporti::testo(value);
}

std::optional<Currency> parseDecimal(const QString &input)
{
    QString t = input.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool negative = false;
    if (t.startsWith(QLatin1Char('-')) || t.startsWith(QLatin1Char('+'))) {
        negative = t.startsWith(QLatin1Char('-'));
        t = t.mid(1).trimmed();
    }
    // Which character separates the decimals: the last of '.' and ',' when both
    // appear (the other groups thousands); the only one when it appears once.
    const int lastDot = t.lastIndexOf(QLatin1Char('.'));
    const int lastComma = t.lastIndexOf(QLatin1Char(','));
    QChar decimal;
    QChar group;
    if (lastDot >= 0 && lastComma >= 0) {
        decimal = lastDot > lastComma ? QLatin1Char('.') : QLatin1Char(',');
        group = lastDot > lastComma ? QLatin1Char(',') : QLatin1Char('.');
    } else if (lastDot >= 0 || lastComma >= 0) {
        const QChar sep = lastDot >= 0 ? QLatin1Char('.') : QLatin1Char(',');
        if (t.count(sep) == 1)
            decimal = sep;
        else
            group = sep;
    }
    QString whole = t;
    QString fraction;
    if (!decimal.isNull()) {
        const int at = t.lastIndexOf(decimal);
        whole = t.left(at);
        fraction = t.mid(at + 1);
    }
    if (!group.isNull()) {
        // Groups of three digits after the first.
        const QRegularExpression re(QStringLiteral("^\\d{1,3}(\\%1\\d{3})*$").arg(group));
        if (!re.match(whole).hasMatch())
            return std::nullopt;
        whole.remove(group);
    }
    if (whole.isEmpty() && fraction.isEmpty())
        return std::nullopt;
    for (const QChar c : whole + fraction) {
        if (!c.isDigit() || c.unicode() > '9')
            return std::nullopt;
    }
    const QString cut = QStringLiteral("%1.%2").arg(whole.isEmpty() ? QStringLiteral("0") : whole,
                                                    fraction.left(4).isEmpty() ? QStringLiteral("0") : fraction.left(4));
    const std::optional<Currency> c = Currency::parse(cut);
    if (!c)
        return std::nullopt; // does not fit
    return negative ? -*c : *c;
}

std::optional<QDate> parseDate(const QString &input)
{
    const QString t = input.trimmed();
    static const QRegularExpression dmy(QStringLiteral("^(\\d{1,2})[/.\\-](\\d{1,2})[/.\\-](\\d{4})$"));
    static const QRegularExpression ymd(QStringLiteral("^(\\d{4})-(\\d{1,2})-(\\d{1,2})$"));
    QDate d;
    QRegularExpressionMatch m = dmy.match(t);
    if (m.hasMatch()) {
        d = QDate(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
    } else {
        m = ymd.match(t);
        if (m.hasMatch())
            d = QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    }
    if (!d.isValid())
        return std::nullopt;
    return d;
}

Currency toNumber(const QString &text)
{
    const std::optional<Currency> c = parseDecimal(text);
    if (!c)
        throw EOvError(QStringLiteral("\"%1\" non è un numero valido.").arg(text));
    return *c;
}

QDate toDate(const QString &text)
{
    const std::optional<QDate> d = parseDate(text);
    if (!d)
        throw EOvError(QStringLiteral("\"%1\" non è una data valida.").arg(text));
    return *d;
}

QString valueText(const QString &value, const QString &code)
{
    const bool blank = value.trimmed().isEmpty();
    if (code == QLatin1String("TR")) {
        if (blank)
            return QString();
        const Currency c = toNumber(value);
        return integerText(c.units() / Currency::Scale); // C++ division truncates toward zero
    }
    if (code == QLatin1String("TA")) {
        if (blank)
            return QString();
        return TorImporti::testo(toNumber(value), 0);
    }
    if (code == QLatin1String("DT")) {
        if (blank)
            return QString();
        return toDate(value).toString(QStringLiteral("dd MM yyyy"));
    }
    if (code == QLatin1String("DA")) {
        if (blank)
            return QString();
        return toDate(value).toString(QStringLiteral("dd MM"));
    }
    if (code == QLatin1String("CD"))
        return value.rightJustified(11, QLatin1Char(' '));
    if (code == QLatin1String("CB"))
        return value == QLatin1String("1") ? QStringLiteral("X") : QString();
    return value;
}

} // namespace VelPrintFormat
