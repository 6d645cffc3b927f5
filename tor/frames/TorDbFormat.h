#pragma once
// How the editors show and read field values: amounts "#,##0.00" when shown
// and "#.00" while edited (Italian separators), a zero amount as an empty box,
// dates dd/mm/yyyy. Reading accepts what the office types: "1.234,56",
// "1234,56", "1234.56", "1234".
#include "platform/core/Currency.h"

#include <QDate>
#include <QString>
#include <optional>

namespace TorDbFormat {

// Rounded to `decimals` (halves away from zero) with thousands dots and a
// decimal comma; zero gives an empty text.
QString amountDisplay(Currency value, int decimals = 2);
// Same rounding, no thousands separator; zero gives an empty text.
QString amountEdit(Currency value, int decimals = 2);
// Empty text: a null value (nullopt with *ok true). Junk: *ok false.
std::optional<Currency> parseAmount(const QString &text, bool *ok);

QString dateText(const QDate &d);
// "dd/mm/yyyy", "d/m/yyyy", "ddmmyyyy"; empty: null (ok true).
std::optional<QDate> parseDate(const QString &text, bool *ok);

} // namespace TorDbFormat
