#pragma once
// Text for the one-byte WinAnsi encoding (code page 1252) that the PDF fonts
// and the telematic supply are written in.
#include <QString>

// The text with every character the encoding lacks replaced by its Latin
// reading: accents it cannot show dropped ("Ł" -> "L", "ễ" -> "ê"), Cyrillic and
// Greek spelled in Latin letters ("Шевченко" -> "Shevchenko"), ligatures letter by
// letter. A character with no Latin reading (a Chinese character, an emoji) is
// left out, or written as `noReading` when one is given. Text the encoding
// already holds is returned as it is.
QString ovWinAnsiText(const QString &text, QChar noReading = QChar());
