#include "platform/core/OvWinAnsi.h"

#include <QHash>
#include <QList>
#include <optional>

namespace {

// The characters of the WinAnsi encoding (code page 1252) above ASCII and
// Latin-1: the euro sign, the typographic quotes and dashes, a few letters.
bool inWinAnsi(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return true;
    switch (c) {
    case 0x20AC: case 0x201A: case 0x0192: case 0x201E: case 0x2026: case 0x2020: case 0x2021:
    case 0x02C6: case 0x2030: case 0x0160: case 0x2039: case 0x0152: case 0x017D: case 0x2018:
    case 0x2019: case 0x201C: case 0x201D: case 0x2022: case 0x2013: case 0x2014: case 0x02DC:
    case 0x2122: case 0x0161: case 0x203A: case 0x0153: case 0x017E: case 0x0178:
        return true;
    default:
        return false;
    }
}

bool allInWinAnsi(const QString &text)
{
    for (const QChar ch : text) {
        if (!inWinAnsi(ch.unicode()) || ch.isSurrogate())
            return false;
    }
    return true;
}

// Latin letters that carry no separable accent, and a few signs.
const QHash<char32_t, QString> &latinLetters()
{
    static const QHash<char32_t, QString> table = [] {
        QHash<char32_t, QString> t;
        const struct { char32_t c; const char *s; } rows[] = {
            {0x0141, "L"}, {0x0142, "l"}, {0x0110, "D"}, {0x0111, "d"}, {0x0126, "H"}, {0x0127, "h"},
            {0x0131, "i"}, {0x0132, "IJ"}, {0x0133, "ij"}, {0x0138, "k"}, {0x013F, "L"}, {0x0140, "l"},
            {0x014A, "N"}, {0x014B, "n"}, {0x0166, "T"}, {0x0167, "t"}, {0x017F, "s"}, {0x0180, "b"},
            {0x0181, "B"}, {0x0187, "C"}, {0x0188, "c"}, {0x018A, "D"}, {0x0191, "F"}, {0x0193, "G"},
            {0x0197, "I"}, {0x0198, "K"}, {0x0199, "k"}, {0x019A, "l"}, {0x019D, "N"}, {0x019E, "n"},
            {0x01A4, "P"}, {0x01A5, "p"}, {0x01AC, "T"}, {0x01AD, "t"}, {0x01AE, "T"}, {0x01B2, "V"},
            {0x01B3, "Y"}, {0x01B4, "y"}, {0x01B5, "Z"}, {0x01B6, "z"}, {0x018F, "E"}, {0x0259, "e"},
            {0x0190, "E"}, {0x025B, "e"}, {0x0186, "O"}, {0x0254, "o"}, {0x0256, "d"}, {0x0257, "d"},
            {0x0260, "g"}, {0x0268, "i"}, {0x0272, "n"}, {0x01DD, "e"}, {0x0223, "ou"}, {0x0222, "OU"},
            {0x2010, "-"}, {0x2011, "-"}, {0x2012, "-"}, {0x2015, "-"}, {0x2212, "-"}, {0x2043, "-"},
            {0x2032, "'"}, {0x2033, "\""}, {0x201B, "'"}, {0x201F, "\""}, {0x2044, "/"}, {0x2215, "/"},
            {0x02BC, "'"}, {0x02BB, "'"}, {0x02B9, "'"}, {0x2116, "No"},
        };
        for (const auto &r : rows)
            t.insert(r.c, QString::fromLatin1(r.s));
        return t;
    }();
    return table;
}

// Capital letters of the Cyrillic and Greek alphabets as they are usually
// written in Latin letters; small letters read as their capitals.
const QHash<char32_t, QString> &scriptLetters()
{
    static const QHash<char32_t, QString> table = [] {
        QHash<char32_t, QString> t;
        const struct { char32_t c; const char *s; } rows[] = {
            // Cyrillic
            {0x0410, "A"}, {0x0411, "B"}, {0x0412, "V"}, {0x0413, "G"}, {0x0490, "G"}, {0x0414, "D"},
            {0x0415, "E"}, {0x0401, "E"}, {0x0404, "Ye"}, {0x0416, "Zh"}, {0x0417, "Z"}, {0x0418, "I"},
            {0x0406, "I"}, {0x0407, "Yi"}, {0x0419, "Y"}, {0x041A, "K"}, {0x041B, "L"}, {0x041C, "M"},
            {0x041D, "N"}, {0x041E, "O"}, {0x041F, "P"}, {0x0420, "R"}, {0x0421, "S"}, {0x0422, "T"},
            {0x0423, "U"}, {0x040E, "U"}, {0x0424, "F"}, {0x0425, "Kh"}, {0x0426, "Ts"}, {0x0427, "Ch"},
            {0x0428, "Sh"}, {0x0429, "Shch"}, {0x042A, ""}, {0x042B, "Y"}, {0x042C, ""}, {0x042D, "E"},
            {0x042E, "Yu"}, {0x042F, "Ya"}, {0x0402, "Dj"}, {0x0408, "J"}, {0x0409, "Lj"}, {0x040A, "Nj"},
            {0x040B, "C"}, {0x040F, "Dz"}, {0x0403, "G"}, {0x040C, "K"}, {0x0405, "Dz"},
            // Greek
            {0x0391, "A"}, {0x0392, "V"}, {0x0393, "G"}, {0x0394, "D"}, {0x0395, "E"}, {0x0396, "Z"},
            {0x0397, "I"}, {0x0398, "Th"}, {0x0399, "I"}, {0x039A, "K"}, {0x039B, "L"}, {0x039C, "M"},
            {0x039D, "N"}, {0x039E, "X"}, {0x039F, "O"}, {0x03A0, "P"}, {0x03A1, "R"}, {0x03A3, "S"},
            {0x03A4, "T"}, {0x03A5, "Y"}, {0x03A6, "F"}, {0x03A7, "Ch"}, {0x03A8, "Ps"}, {0x03A9, "O"},
        };
        for (const auto &r : rows)
            t.insert(r.c, QString::fromLatin1(r.s));
        return t;
    }();
    return table;
}

std::optional<QString> readingOf(char32_t c, bool capitals);

// A letter with accents: as many of its accents as the encoding can show
// ("ễ" -> "ê"), or the bare letter; a ligature letter by letter ("ﬁ" -> "fi").
QString decomposed(char32_t c, bool capitals)
{
    const QList<uint> parts = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_KD).toUcs4();
    if (parts.size() == 1 && parts.first() == c)
        return QString();
    QList<char32_t> bases, marks;
    for (const uint p : parts) {
        if (QChar::category(char32_t(p)) == QChar::Mark_NonSpacing
            || QChar::category(char32_t(p)) == QChar::Mark_SpacingCombining
            || QChar::category(char32_t(p)) == QChar::Mark_Enclosing) {
            if (bases.size() == 1)
                marks.append(char32_t(p));
        } else {
            bases.append(char32_t(p));
        }
    }
    if (bases.size() == 1 && inWinAnsi(bases.first())) {
        for (qsizetype k = marks.size(); k > 0; --k) {
            QList<uint> with{uint(bases.first())};
            for (qsizetype i = 0; i < k; ++i)
                with.append(uint(marks.at(i)));
            const QString composed = QString::fromUcs4(reinterpret_cast<const char32_t *>(with.constData()),
                                                       with.size())
                                         .normalized(QString::NormalizationForm_C);
            if (allInWinAnsi(composed))
                return composed;
        }
    }
    QString out;
    for (const char32_t b : bases)
        out += inWinAnsi(b) ? QString::fromUcs4(&b, 1) : readingOf(b, capitals).value_or(QString());
    return out;
}

// The Latin reading of one character outside the encoding (none when it has none;
// an empty one for a sign that is not spelled, as the Cyrillic hard sign).
std::optional<QString> readingOf(char32_t c, bool capitals)
{
    if (c >= 0x80 && c < 0xA0)
        return QStringLiteral(" "); // control characters print as spaces
    const QHash<char32_t, QString> &latin = latinLetters();
    if (const auto it = latin.constFind(c); it != latin.constEnd())
        return *it;
    const QHash<char32_t, QString> &script = scriptLetters();
    const char32_t upper = QChar::toUpper(c);
    if (const auto it = script.constFind(upper); it != script.constEnd())
        return upper != c ? it->toLower() : capitals ? it->toUpper() : *it;
    if (const QString d = decomposed(c, capitals); !d.isEmpty())
        return d;
    switch (QChar::category(c)) {
    case QChar::Separator_Space:
        return QStringLiteral(" ");
    case QChar::Punctuation_Dash:
        return QStringLiteral("-");
    case QChar::Punctuation_InitialQuote:
    case QChar::Punctuation_FinalQuote:
        return QStringLiteral("\"");
    default:
        return std::nullopt;
    }
}

} // namespace

QString ovWinAnsiText(const QString &input, QChar noReading)
{
    if (allInWinAnsi(input))
        return input;
    // composed first: a letter typed with a separate accent is one letter
    const QString text = input.normalized(QString::NormalizationForm_C);
    if (allInWinAnsi(text))
        return text;
    const QList<uint> chars = text.toUcs4();
    const auto isUpperLetter = [&](qsizetype i) {
        return i >= 0 && i < chars.size() && QChar::isUpper(char32_t(chars.at(i)));
    };
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < chars.size(); ++i) {
        const char32_t c = char32_t(chars.at(i));
        if (inWinAnsi(c)) {
            out += QString::fromUcs4(&c, 1);
            continue;
        }
        // a capital among capitals reads all in capitals: "ШЕВЧЕНКО" -> "SHEVCHENKO"
        const std::optional<QString> reading = readingOf(c, isUpperLetter(i - 1) || isUpperLetter(i + 1));
        if (reading)
            out += *reading;
        else if (!noReading.isNull())
            out += noReading;
    }
    return out;
}
