#include "tor/frames/TorDbFormat.h"

#include <QRegularExpression>

namespace TorDbFormat {

namespace {

// Units of ten-thousandths rounded to `decimals`, halves away from zero;
// returns the integral part and the decimals as separate numbers.
void split(Currency value, int decimals, qint64 *whole, qint64 *frac, bool *negative)
{
    decimals = qBound(0, decimals, 4);
    qint64 units = value.units();
    *negative = units < 0;
    if (*negative)
        units = -units;
    qint64 step = 1;
    for (int i = decimals; i < 4; ++i)
        step *= 10;
    units = (units + step / 2) / step * step;
    *whole = units / Currency::Scale;
    *frac = (units % Currency::Scale) / step;
}

QString compose(Currency value, int decimals, bool thousands)
{
    if (value.isZero())
        return QString();
    qint64 whole = 0, frac = 0;
    bool negative = false;
    split(value, decimals, &whole, &frac, &negative);
    if (whole == 0 && frac == 0)
        return QString();
    QString w = QString::number(whole);
    if (thousands) {
        for (int i = int(w.size()) - 3; i > 0; i -= 3)
            w.insert(i, u'.');
    }
    QString out = negative ? QStringLiteral("-") + w : w;
    if (decimals > 0)
        out += u',' + QStringLiteral("%1").arg(frac, decimals, 10, QChar(u'0'));
    return out;
}

} // namespace

QString amountDisplay(Currency value, int decimals)
{
    return compose(value, decimals, true);
}

QString amountEdit(Currency value, int decimals)
{
    return compose(value, decimals, false);
}

std::optional<Currency> parseAmount(const QString &text, bool *ok)
{
    QString t = text.trimmed();
    t.remove(u' ');
    *ok = true;
    if (t.isEmpty())
        return std::nullopt;
    if (t.contains(u',')) {
        t.remove(u'.');
    } else if (t.count(u'.') > 1) {
        t.remove(u'.');
    } else if (t.count(u'.') == 1) {
        // "1.234" is read as one thousand two hundred and thirty-four only when
        // the dot separates exactly three digits and nothing else follows:
        // a typed decimal point has at most four decimals after it anyway, so
        // the three-digit case is the office's thousands dot.
        const qsizetype dot = t.indexOf(u'.');
        if (t.size() - dot - 1 == 3 && dot > 0)
            t.remove(u'.');
    }
    const std::optional<Currency> c = Currency::parse(t);
    if (!c)
        *ok = false;
    return c;
}

QString dateText(const QDate &d)
{
    return d.isValid() ? d.toString(QStringLiteral("dd/MM/yyyy")) : QString();
}

std::optional<QDate> parseDate(const QString &text, bool *ok)
{
    const QString t = text.trimmed();
    *ok = true;
    if (t.isEmpty())
        return std::nullopt;
    static const QRegularExpression slashed(QStringLiteral("^(\\d{1,2})[/.-](\\d{1,2})[/.-](\\d{4})$"));
    static const QRegularExpression packed(QStringLiteral("^(\\d{2})(\\d{2})(\\d{4})$"));
    QRegularExpressionMatch m = slashed.match(t);
    if (!m.hasMatch())
        m = packed.match(t);
    if (m.hasMatch()) {
        const QDate d(m.captured(3).toInt(), m.captured(2).toInt(), m.captured(1).toInt());
        if (d.isValid())
            return d;
    }
    *ok = false;
    return std::nullopt;
}

} // namespace TorDbFormat
