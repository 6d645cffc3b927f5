#pragma once
// What the parts of the import share inside the import folder: the
// withholding codes and the texts of dates and amounts in the log and the
// annotations.
#include "platform/core/Currency.h"
#include "tor/calc/TorUCalcoli.h"

#include <QDate>
#include <QString>

namespace VelImport {

inline QString s(const char *text) { return QString::fromLatin1(text); }

// Withholding codes of IRPEF: on employment income, on self-employed pay, on
// arrears taxed separately.
inline constexpr int RICE_COD_IRPEF = 7;
inline constexpr int RICE_COD_IRPEF_AM = 11;
inline constexpr int RICE_COD_IRPEF_TS = 12;
inline constexpr int GIORNI_ANNO = 365;

inline QString dateText(const QDate &d) { return d.toString(QStringLiteral("dd/MM/yyyy")); }

// "0.00" with the Italian decimal comma and no thousands separator.
inline QString amountText(Currency c)
{
    const Currency r = TTorCalcola::round(c, 2);
    const qint64 cents = r.units() / 100;
    const qint64 a = cents < 0 ? -cents : cents;
    return QStringLiteral("%1%2,%3")
        .arg(cents < 0 ? QStringLiteral("-") : QString())
        .arg(a / 100)
        .arg(a % 100, 2, 10, QLatin1Char('0'));
}

} // namespace VelImport
