#include "platform/core/Currency.h"

#include "platform/core/OvExceptions.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

constexpr qint64 kMax = std::numeric_limits<qint64>::max();

[[noreturn]] void overflow()
{
    throw EOvError(QStringLiteral("Importo fuori dai limiti consentiti"));
}

// Digits of other scripts are junk in an amount.
bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

// Reads [sign] digits [sep digits] into units. With roundExtra, decimals past
// the fourth round the result (halves away from zero); without, they fail.
std::optional<qint64> readDecimal(QStringView s, bool roundExtra)
{
    qsizetype i = 0;
    const qsizetype n = s.size();
    bool negative = false;
    if (i < n && (s[i] == u'-' || s[i] == u'+')) {
        negative = s[i] == u'-';
        ++i;
    }
    qint64 whole = 0;
    int digits = 0;
    for (; i < n && isAsciiDigit(s[i]); ++i) {
        const int d = s[i].unicode() - u'0';
        if (whole > (kMax / Currency::Scale - d) / 10)
            return std::nullopt;
        whole = whole * 10 + d;
        ++digits;
    }
    qint64 frac = 0;
    int fracDigits = 0;
    bool roundUp = false;
    if (i < n && (s[i] == u'.' || s[i] == u',')) {
        ++i;
        for (; i < n && isAsciiDigit(s[i]); ++i) {
            const int d = s[i].unicode() - u'0';
            if (fracDigits < 4) {
                frac = frac * 10 + d;
            } else if (!roundExtra) {
                return std::nullopt;
            } else if (fracDigits == 4) {
                roundUp = d >= 5;
            }
            ++fracDigits;
            ++digits;
        }
    }
    if (i != n || digits == 0)
        return std::nullopt;
    for (int k = std::min(fracDigits, 4); k < 4; ++k)
        frac *= 10;
    qint64 units;
    if (__builtin_add_overflow(whole * Currency::Scale, frac, &units))
        return std::nullopt;
    if (roundUp) {
        if (units == kMax)
            return std::nullopt;
        ++units;
    }
    return negative ? -units : units;
}

constexpr qint64 Scale = Currency::Scale;

} // namespace

Currency Currency::fromInt(qint64 whole)
{
    qint64 u;
    if (__builtin_mul_overflow(whole, Scale, &u))
        overflow();
    return fromUnits(u);
}

Currency Currency::fromDouble(double d)
{
    if (!std::isfinite(d) || std::fabs(d) >= 9.0e14)
        overflow();
    // 15 significant digits: what a double holds for certain.
    const double a = std::fabs(d);
    int intDigits = a >= 1.0 ? int(std::floor(std::log10(a))) + 1 : 1;
    int decimals = std::clamp(15 - intDigits, 0, 19);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, d);
    const auto u = readDecimal(QString::fromLatin1(buf), true);
    if (!u)
        overflow();
    return fromUnits(*u);
}

std::optional<Currency> Currency::parse(QStringView text)
{
    const auto u = readDecimal(text.trimmed(), false);
    if (!u)
        return std::nullopt;
    return fromUnits(*u);
}

QString Currency::toString() const
{
    // The magnitude of the smallest qint64 has no positive twin: work unsigned.
    const bool negative = m_units < 0;
    const quint64 mag = negative ? quint64(0) - quint64(m_units) : quint64(m_units);
    const quint64 whole = mag / quint64(Scale);
    const quint64 frac = mag % quint64(Scale);
    QString out;
    if (negative)
        out += u'-';
    out += QString::number(whole);
    out += u'.';
    out += QStringLiteral("%1").arg(frac, 4, 10, QChar(u'0'));
    return out;
}

Currency Currency::abs() const
{
    return m_units < 0 ? -*this : *this;
}

Currency Currency::operator-() const
{
    if (m_units == std::numeric_limits<qint64>::min())
        overflow();
    return fromUnits(-m_units);
}

Currency Currency::operator+(Currency o) const
{
    qint64 r;
    if (__builtin_add_overflow(m_units, o.m_units, &r))
        overflow();
    return fromUnits(r);
}

Currency Currency::operator-(Currency o) const
{
    qint64 r;
    if (__builtin_sub_overflow(m_units, o.m_units, &r))
        overflow();
    return fromUnits(r);
}

Currency Currency::operator*(qint64 factor) const
{
    qint64 r;
    if (__builtin_mul_overflow(m_units, factor, &r))
        overflow();
    return fromUnits(r);
}
