#include "src/prj/unit/telematic/VelFileText.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvWinAnsi.h"
#include "tor/calc/TorUCalcoli.h"

#include <QList>
#include <array>
#include <cmath>

namespace VelFileText {

namespace {

// Windows-1252 0x80..0x9F; 0 where the code page has no character.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

bool isControl(char32_t c)
{
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F);
}

} // namespace

int win1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    for (int i = 0; i < int(kHigh.size()); ++i)
        if (kHigh[size_t(i)] != 0 && kHigh[size_t(i)] == c)
            return 0x80 + i;
    return -1;
}

QString supplyText(const QString &value)
{
    // Fast path: plain printable ASCII needs nothing.
    bool plain = true;
    for (QChar ch : value) {
        const char16_t c = ch.unicode();
        if (c < 0x20 || c >= 0x7F || c == Placeholder) {
            plain = false;
            break;
        }
    }
    if (plain)
        return value;

    // control characters (line ends, tabs) become blanks, so that a name
    // typed with a line break cannot split a record; typographic quotes and
    // dashes their plain ones
    QString spaced = value;
    for (QChar &ch : spaced) {
        const char16_t c = ch.unicode();
        if (isControl(c) || c == 0x00A0)
            ch = QLatin1Char(' ');
        else if (c == Placeholder || c == 0x2018 || c == 0x2019 || c == 0x201A || c == 0x2039 || c == 0x203A
                 || c == 0x00B4)
            ch = QLatin1Char('\'');
        else if (c == 0x201C || c == 0x201D || c == 0x201E || c == 0x00AB || c == 0x00BB)
            ch = QLatin1Char('"');
        else if (c == 0x2013 || c == 0x2014 || c == 0x2022 || c == 0x00AD)
            ch = QLatin1Char('-');
        else if (c == 0x2026 || c == 0x00B0 || c == 0x00BA)
            ch = QLatin1Char('.');
    }
    QString out = ovWinAnsiText(spaced, QLatin1Char('?'));
    // the signs of the code page that the layout does not allow (only the
    // letters among its characters 0x80-0xBF stay)
    for (QChar &ch : out) {
        const int b = win1252Byte(ch.unicode());
        if (b >= 0x80 && b <= 0xBF && b != 0x8A && b != 0x8C && b != 0x8E && b != 0x9A && b != 0x9C && b != 0x9E
            && b != 0x9F)
            ch = QLatin1Char(' ');
        else if (b == 0xD7 || b == 0xF7) // the signs of multiplication and division
            ch = QLatin1Char(' ');
    }
    return out;
}

QByteArray toWin1252(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *p = bytes.data();
    for (QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c < 0x80) { // nearly every character of a record
            *p++ = char(c);
            continue;
        }
        const int b = win1252Byte(c);
        *p++ = char(b >= 0 ? b : '?');
    }
    return bytes;
}

QString alignRight(const QString &text, int width, QChar fill)
{
    if (text.size() >= width)
        return text;
    return QString(width - text.size(), fill) + text;
}

QString alignLeft(const QString &text, int width, QChar fill)
{
    if (text.size() >= width)
        return text;
    return text + QString(width - text.size(), fill);
}

QString trimRight(const QString &text)
{
    qsizetype n = text.size();
    while (n > 0 && text.at(n - 1) == QLatin1Char(' '))
        --n;
    return n == text.size() ? text : text.left(n);
}

QString zeroPad(const QString &text, int n)
{
    return alignRight(text, n, QLatin1Char('0'));
}

std::optional<Currency> parseNumber(const QString &text)
{
    if (auto c = Currency::parse(text))
        return c;
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (ok && std::isfinite(d)) {
        try {
            return Currency::fromDouble(d);
        } catch (const EOvException &) {
        }
    }
    return std::nullopt;
}

qint64 truncated(Currency c)
{
    return c.units() / Currency::Scale;
}

qint64 roundedHalfUp(Currency c)
{
    const qint64 whole = truncated(c);
    const qint64 frac = c.units() % Currency::Scale;
    return frac >= Currency::Scale / 2 ? whole + 1 : whole;
}

QString amountText(Currency c)
{
    // TorImporti::testo(c, 2, Nessuno) written straight into a buffer: it
    // runs for every amount of the supply
    const qint64 units = TTorCalcola::round(c, 2).units();
    const quint64 magnitude = units < 0 ? quint64(0) - quint64(units) : quint64(units);
    char buffer[32];
    char *const end = buffer + sizeof buffer;
    char *p = end;
    const quint64 cents = (magnitude % Currency::Scale) / 100;
    *--p = char('0' + cents % 10);
    *--p = char('0' + cents / 10);
    *--p = ',';
    quint64 whole = magnitude / Currency::Scale;
    do {
        *--p = char('0' + whole % 10);
        whole /= 10;
    } while (whole > 0);
    if (units < 0)
        *--p = '-';
    return QString::fromLatin1(p, end - p);
}

} // namespace VelFileText
