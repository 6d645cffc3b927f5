#pragma once
// What the parts of the import share inside the import folder: the
// withholding codes and the texts of dates and amounts in the log and the
// annotations.
#include "tor/util/TorImporti.h"
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
    return TorImporti::testo(c, 2, TorImporti::Migliaia::Nessuno);
}

} // namespace VelImport
