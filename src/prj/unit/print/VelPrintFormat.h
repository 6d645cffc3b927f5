#pragma once
// How values become printed text: the Italian number formats ("#,##0" ->
// 1.200, "#,##0.00" -> 1.200,50), the printed date forms and the value codes
// of the print configuration.
#include "platform/core/Currency.h"

#include <QDate>
#include <QString>
#include <optional>

namespace VelPrintFormat {

// "#,##0": thousands grouped with '.', no decimals: 1200000 -> "1.200.000", -5 -> "-5".
QString integerText(qint64 value);
// "#,##0.00": 1200.5 -> "1.200,50"; further decimals rounded, halves away from zero.
QString amountText(Currency value);

// A decimal number written as text: "1200.5", "1200,5", "-3", " 12 ", and with
// thousands separators when both separators appear ("1.200,50", "1,200.50").
// Decimals beyond the fourth are dropped (truncated: whole-number rounding and
// truncation give the same results as on the full text). nullopt when the text
// is not a number (an empty text is not one).
std::optional<Currency> parseDecimal(const QString &text);
// A date as the program writes it ("31/01/2025", also "1/2/2025",
// "31.01.2025", "31-01-2025" and "2025-01-31"). nullopt when not a valid date.
std::optional<QDate> parseDate(const QString &text);

// The same, raising EOvError naming the value when it cannot be converted.
Currency toNumber(const QString &text);
QDate toDate(const QString &text);

// The text PrintValue writes for a value under a value code:
//   "TR" truncated toward zero, "#,##0"   "TA" rounded, halves away from zero, "#,##0"
//   "DT" "dd mm yyyy"   "DA" "dd mm"   "CD" left-padded with spaces to 11 characters
//   "CB" "X" for "1", empty otherwise   "SP" and anything else: unchanged.
// The code is compared exactly. A value that does not convert raises EOvError
// naming it; an empty (blank) value under TR, TA, DT, DA prints nothing.
QString valueText(const QString &value, const QString &code);

} // namespace VelPrintFormat
