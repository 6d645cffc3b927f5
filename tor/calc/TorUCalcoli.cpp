#include "TorUCalcoli.h"
#include "TorPosizioni.h"

#include "platform/core/OvExceptions.h"

#include <limits>

namespace {

qint64 pow10(int n)
{
    qint64 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

void checkDecimals(int decimals)
{
    if (decimals < 0 || decimals > 4)
        throw EAssertionFailed(QStringLiteral("Numero di decimali non valido: %1").arg(decimals));
}

// Rounds a non-negative count of `unit`s to a multiple of `step`, half to even.
qint64 roundHalfEven(__int128 value, __int128 step)
{
    __int128 q = value / step;
    const __int128 r = value % step;
    if (r * 2 > step || (r * 2 == step && (q % 2) != 0))
        ++q;
    return static_cast<qint64>(q);
}

} // namespace

Currency TTorCalcola::round(Currency amount, int decimals)
{
    checkDecimals(decimals);
    if (decimals == 4)
        return amount;
    const bool negative = amount.units() < 0;
    const __int128 abs = negative ? -static_cast<__int128>(amount.units()) : amount.units();
    const qint64 step = pow10(4 - decimals);            // ten-thousandths per kept unit
    qint64 kept = roundHalfEven(abs, step);             // in units of the last kept decimal
    // The digit right after the last kept decimal, read from the four-decimal value.
    const int nextDigit = static_cast<int>((abs / (step / 10)) % 10);
    const bool wentDown = static_cast<__int128>(kept) * step < abs;
    if (nextDigit == 5 && wentDown)
        ++kept;
    const __int128 result = static_cast<__int128>(kept) * step;
    return Currency::fromUnits(static_cast<qint64>(negative ? -result : result));
}

Currency TTorCalcola::percentage(Currency amount, Currency rate, int decimals)
{
    checkDecimals(decimals);
    if (rate == Currency::fromInt(100))
        return amount;
    // units(a) * units(p) is in 1e-8; the result wanted is in 1e-4 of the
    // amount over 100: divide by 100 * 10000, then round at `decimals`.
    const __int128 product = static_cast<__int128>(amount.units()) * rate.units();
    const bool negative = product < 0;
    const __int128 abs = negative ? -product : product;
    const __int128 divisor = static_cast<__int128>(100) * Currency::Scale;   // to ten-thousandths
    const __int128 step = divisor * pow10(4 - decimals);                     // to kept decimals
    // Exact rational abs/step, halves away from zero (the rule of round
    // applied to the exact value).
    __int128 kept = abs / step;
    if ((abs % step) * 2 >= step)
        ++kept;
    const __int128 units = kept * pow10(4 - decimals);
    if (units > std::numeric_limits<qint64>::max())
        throw EOvError(QStringLiteral("Importo fuori dai limiti nel calcolo della percentuale"));
    return Currency::fromUnits(static_cast<qint64>(negative ? -units : units));
}

Currency TTorCalcola::percentage(Currency amount, double rate, int decimals)
{
    return percentage(amount, Currency::fromDouble(rate), decimals);
}

Currency TTorCalcola::positiveDifference(Currency a, Currency b)
{
    const Currency d = a - b;
    return d.units() > 0 ? d : Currency();
}

bool TTorCalcola::isSelfEmployedPosition(int legalPosition)
{
    return TorPosizioni::autonomo(legalPosition);
}
