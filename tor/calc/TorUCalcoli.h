#pragma once
// Class-level calculation utilities shared with the payroll side: the one
// rounding rule of the system, percentages, positive differences.
#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"

class TTorCalcola
{
public:
    // Rounds to `decimals` (0..4) with halves away from zero, following the
    // payroll rule: round the absolute value half-to-even; when the digit just
    // after the last kept decimal is 5 and the even rounding went down, add one
    // unit of the last kept decimal; restore the sign.
    static Currency round(Currency amount, int decimals);

    // amount x percentage / 100, rounded once with round. The product is
    // computed exactly (no intermediate four-decimal rounding). A percentage
    // of exactly 100 returns the amount unchanged, whatever the decimals.
    static Currency percentage(Currency amount, Currency rate, int decimals);
    static Currency percentage(Currency amount, double rate, int decimals);

    // max(a - b, 0)
    static Currency positiveDifference(Currency a, Currency b);

    // Legal positions of self-employed payees.
    static bool isSelfEmployedPosition(int legalPosition);
};
