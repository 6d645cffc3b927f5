#include "tor/frames/TorDbFormat.h"

#include "tor/calc/TorUCalcoli.h"
#include "tor/util/TorImporti.h"

#include <QRegularExpression>

namespace TorDbFormat {

namespace {

// The amount's text, or an empty text when it rounds to zero.
QString compose(Currency value, int decimals, TorImporti::Migliaia migliaia)
{
    decimals = qBound(0, decimals, 4);
    if (TTorCalcola::round(value, decimals).isZero())
        return QString();
    return TorImporti::testo(value, decimals, migliaia);
}

} // namespace

QString amountDisplay(Currency value, int decimals)
{
    return compose(value, decimals, TorImporti::Migliaia::Punto);
}

QString amountEdit(Currency value, int decimals)
{
    return compose(value, decimals, TorImporti::Migliaia::Nessuno);
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
