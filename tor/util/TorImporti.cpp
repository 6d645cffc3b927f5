#include "tor/util/TorImporti.h"

#include "tor/calc/TorUCalcoli.h"

namespace TorImporti {

QString testo(Currency value, int decimals, Migliaia migliaia)
{
    decimals = qBound(0, decimals, 4);
    qint64 step = 1; // ten-thousandths a unit of the last decimal shown
    for (int i = decimals; i < 4; ++i)
        step *= 10;
    const qint64 units = TTorCalcola::round(value, decimals).units();
    const quint64 magnitude = units < 0 ? quint64(0) - quint64(units) : quint64(units);
    QString whole = QString::number(magnitude / Currency::Scale);
    if (migliaia == Migliaia::Punto) {
        for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
            whole.insert(i, QLatin1Char('.'));
    }
    QString text = units < 0 ? QLatin1Char('-') + whole : whole;
    if (decimals > 0)
        text += QLatin1Char(',')
                + QStringLiteral("%1").arg((magnitude % Currency::Scale) / quint64(step), decimals, 10, QLatin1Char('0'));
    return text;
}

} // namespace TorImporti
