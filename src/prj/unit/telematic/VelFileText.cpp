#include "src/prj/unit/telematic/VelFileText.h"

#include <QList>
#include <array>

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

// Letters whose stroke or bar is part of the letter itself, so that they
// have no decomposition: their plain Latin letter.
int strokeLetter(char32_t c)
{
    switch (c) {
    case 0x0141: return 'L'; // Ł
    case 0x0142: return 'l'; // ł
    case 0x013F: return 'L'; // Ŀ
    case 0x0140: return 'l'; // ŀ
    case 0x0110: return 'D'; // Đ
    case 0x0111: return 'd'; // đ
    case 0x0189: return 'D'; // Ɖ
    case 0x0126: return 'H'; // Ħ
    case 0x0127: return 'h'; // ħ
    case 0x0131: return 'i'; // ı
    case 0x0166: return 'T'; // Ŧ
    case 0x0167: return 't'; // ŧ
    case 0x018F: return 'E'; // Ə
    case 0x0259: return 'e'; // ə
    case 0x0180: return 'b'; // ƀ
    case 0x01B5: return 'Z'; // Ƶ
    case 0x01B6: return 'z'; // ƶ
    default: return -1;
    }
}

// The unaccented form of a character: the first character of its canonical
// decomposition when that one has a byte, else none.
int unaccented(char32_t c)
{
    if (const int letter = strokeLetter(c); letter >= 0)
        return letter;
    const QString decomposed = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_D);
    if (decomposed.isEmpty() || decomposed.at(0).unicode() == c)
        return -1;
    const char16_t base = decomposed.at(0).unicode();
    if (QChar::isHighSurrogate(base) || isControl(base))
        return -1;
    return win1252Byte(base) >= 0 ? int(base) : -1;
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
    // Fast path: plain printable ASCII and Latin-1 letters need nothing.
    bool plain = true;
    for (QChar ch : value) {
        const char16_t c = ch.unicode();
        if (c < 0x20 || c >= 0x7F) {
            plain = false;
            break;
        }
    }
    if (plain)
        return value;

    const QString nfc = value.normalized(QString::NormalizationForm_C);
    QString out;
    out.reserve(nfc.size());
    for (char32_t c : nfc.toUcs4()) {
        if (isControl(c)) {
            out.append(QLatin1Char(' '));
        } else if (c <= 0xFFFF && win1252Byte(char16_t(c)) >= 0) {
            out.append(QChar(char16_t(c)));
        } else {
            const int base = unaccented(c);
            out.append(base >= 0 ? QChar(char16_t(base)) : QChar(u'?'));
        }
    }
    return out;
}

QByteArray toWin1252(QStringView text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char *p = bytes.data();
    for (QChar ch : text) {
        const int b = win1252Byte(ch.unicode());
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

} // namespace VelFileText
