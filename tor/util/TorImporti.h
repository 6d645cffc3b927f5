#pragma once
// An amount as text, the Italian way: a decimal comma and, where it is shown
// to a person, thousands dots ("1.234,50"; "1234,50" without them). Every
// amount the program writes as text goes through here, so they all round the
// same way: the amount's ten-thousandths rounded to the decimals shown, halves
// away from zero, as the calculations round (TTorCalcola::round). A value
// that rounds to zero is written without a sign.
#include "platform/core/Currency.h"

#include <QString>

namespace TorImporti {

enum class Migliaia { Punto, Nessuno };

// `decimals` from 0 to 4 (clamped): 1234.5 -> "1.234,50"; -0.004 -> "0,00";
// 0.005 -> "0,01"; with 0 decimals, no comma: 1234.5 -> "1.235".
QString testo(Currency value, int decimals = 2, Migliaia migliaia = Migliaia::Punto);

} // namespace TorImporti
