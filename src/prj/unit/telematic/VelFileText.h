#pragma once
// Text helpers of the telematic supply: padding to a width, and the one-byte
// character set the supply is written in (Windows-1252).
//
// Every record of the supply is 1,900 bytes, so every character of a value must
// become exactly one byte. Values are made safe when they enter the engine:
// a character Windows-1252 holds stays as it is; any other character becomes
// its Latin reading ("Ő" becomes "O", "Ł" becomes "L", "Шевченко" "Shevchenko"),
// "?" when it has none (ovWinAnsiText, shared with the PDF prints);
// control characters (line ends, tabs) become blanks, so that a name typed with
// a line break cannot split a record; typographic quotes and dashes become
// plain ones, and the code page's other signs the layout does not allow (°,
// §, €, ...) blanks. The grave accent, the engine's placeholder, becomes an
// apostrophe.
#include "platform/core/Currency.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace VelFileText {

// The placeholder that left-aligned encodings fill with instead of a blank,
// so that trimming trailing blanks cannot shorten a field; every record text
// has it replaced by a blank before it is stored.
inline constexpr char16_t Placeholder = u'`';

// The character's byte in Windows-1252, or -1 when it has none.
int win1252Byte(char16_t c);

// The value made of characters that each become one byte (see above).
QString supplyText(const QString &value);

// The record text as Windows-1252 bytes, one byte per character. A character
// without a byte becomes '?' (supplyText has already removed those).
QByteArray toWin1252(QStringView text);

// `text` at the right end of `width` characters, the rest filled with `fill`.
// Longer text is returned unchanged: the caller decides.
QString alignRight(const QString &text, int width, QChar fill);
// `text` at the left end of `width` characters, the rest filled with `fill`.
QString alignLeft(const QString &text, int width, QChar fill);
// Without trailing blanks.
QString trimRight(const QString &text);
// Left-padded with "0" to n characters (unchanged when already as long).
QString zeroPad(const QString &text, int n);

// A number in the text form of a dataset value ("1234.5000", "-0.3", "12"),
// exact to the ten-thousandth; nothing when it is no number.
std::optional<Currency> parseNumber(const QString &text);
// The integer part, truncated toward zero.
qint64 truncated(Currency c);
// The integer part plus 1 when the fractional part is 0.5 or more.
qint64 roundedHalfUp(Currency c);
// An amount with two decimals and a comma, halves away from zero: "1234,50".
QString amountText(Currency c);

} // namespace VelFileText
