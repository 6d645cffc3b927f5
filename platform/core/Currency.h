#pragma once
// Money: a fixed-point amount with four decimals, held as an integer count of
// ten-thousandths. No double is ever stored, so sums of amounts are exact.
#include <QMetaType>
#include <QString>
#include <QStringView>
#include <QtGlobal>
#include <compare>
#include <optional>

class Currency
{
public:
    static constexpr qint64 Scale = 10000;

    constexpr Currency() = default;

    static constexpr Currency fromUnits(qint64 tenThousandths)
    {
        Currency c;
        c.m_units = tenThousandths;
        return c;
    }
    // Throws EOvError when the amount does not fit.
    static Currency fromInt(qint64 whole);
    // Nearest ten-thousandth, halves away from zero. The double is first read
    // as the decimal it was meant to be (15 significant digits), so 1.00005
    // becomes 1.0001 although its binary value is a hair below the half.
    // Throws EOvError for NaN, infinities and amounts that do not fit.
    static Currency fromDouble(double d);
    // "1234.5678", "-0.5", "12", "+3", ".25", "1234,56": one '.' or ',' as the
    // decimal separator, no thousands separators, surrounding spaces ignored.
    // More than four decimals, junk or an amount that does not fit: nullopt.
    static std::optional<Currency> parse(QStringView text);

    constexpr qint64 units() const { return m_units; }
    double toDouble() const { return double(m_units) / double(Scale); }
    // Canonical form, always four decimals and '.': "1234.5678", "-0.5000".
    QString toString() const;

    constexpr bool isZero() const { return m_units == 0; }
    Currency abs() const;

    Currency operator-() const;
    Currency operator+(Currency o) const;
    Currency operator-(Currency o) const;
    Currency operator*(qint64 factor) const;
    Currency &operator+=(Currency o) { return *this = *this + o; }
    Currency &operator-=(Currency o) { return *this = *this - o; }

    constexpr auto operator<=>(const Currency &) const = default;
    constexpr bool operator==(const Currency &) const = default;

private:
    qint64 m_units = 0;
};

inline Currency operator*(qint64 factor, Currency c) { return c * factor; }

inline size_t qHash(Currency c, size_t seed = 0) noexcept { return ::qHash(c.units(), seed); }

Q_DECLARE_METATYPE(Currency)
