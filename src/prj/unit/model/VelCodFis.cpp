#include "src/prj/unit/model/VelCodFis.h"

namespace VelCodFis {

namespace {

// Value of a character in an odd position (1st, 3rd...): digits count as the
// letters A to J.
int oddValue(int index)
{
    static const int kOdd[26] = {1, 0, 5, 7, 9, 13, 15, 17, 19, 21, 2, 4, 18,
                                 20, 11, 3, 6, 8, 12, 14, 16, 10, 22, 25, 24, 23};
    return kOdd[index];
}

// 0-25 for A-Z and 0-9; -1 otherwise.
int indexOf(QChar c)
{
    const ushort u = c.toUpper().unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'Z')
        return u - 'A';
    return -1;
}

bool isDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isLetter(QChar c)
{
    return c >= QLatin1Char('A') && c <= QLatin1Char('Z');
}

// A digit of the birth data, or the letter that stands for it (L=0 ... V=9).
bool isDigitOrOmocode(QChar c)
{
    return isDigit(c) || QStringLiteral("LMNPQRSTUV").contains(c);
}

// Six letters, two digits, letter, two digits, letter, three digits, letter;
// a digit may be written as its omocode letter.
bool hasPersonalShape(const QString &code)
{
    if (code.size() != 16)
        return false;
    static const char shape[] = "LLLLLLDDLDDLDDDL";
    for (int i = 0; i < 16; ++i) {
        const QChar c = code.at(i);
        if (shape[i] == 'L' ? !isLetter(c) : !isDigitOrOmocode(c))
            return false;
    }
    return true;
}

} // namespace

QChar personalCheck(const QString &first15)
{
    if (first15.size() != 15)
        return QChar();
    int sum = 0;
    for (int i = 0; i < 15; ++i) {
        const int v = indexOf(first15.at(i));
        if (v < 0)
            return QChar();
        sum += (i % 2 == 0) ? oddValue(v) : v;
    }
    return QChar(u'A' + sum % 26);
}

int numericCheck(const QString &first10)
{
    if (first10.size() != 10)
        return -1;
    int sum = 0;
    for (int i = 0; i < 10; ++i) {
        if (!isDigit(first10.at(i)))
            return -1;
        const int d = first10.at(i).unicode() - '0';
        if (i % 2 == 0) {
            sum += d;
        } else {
            const int dd = d * 2;
            sum += dd > 9 ? dd - 9 : dd;
        }
    }
    return (10 - sum % 10) % 10;
}

bool isValidNumeric(const QString &code)
{
    if (code.size() != 11 || code == QLatin1String("00000000000") || !isDigit(code.at(10)))
        return false;
    const int check = numericCheck(code.left(10));
    return check >= 0 && check == code.at(10).unicode() - '0';
}

bool isValidPersonal(const QString &code)
{
    return hasPersonalShape(code) && personalCheck(code.left(15)) == code.at(15);
}

bool isValid(const QString &code)
{
    return isValidNumeric(code) || isValidPersonal(code);
}

QString problem(const QString &code)
{
    const QString c = code.trimmed().toUpper();
    if (c.isEmpty())
        return QString();
    if (c.size() == 11) {
        if (numericCheck(c.left(10)) < 0 || !isDigit(c.at(10)) || c == QLatin1String("00000000000"))
            return QStringLiteral("Codice numerico non valido");
        return isValidNumeric(c) ? QString() : QStringLiteral("Cifra di controllo errata");
    }
    if (c.size() == 16) {
        if (!hasPersonalShape(c))
            return QStringLiteral("Caratteri non validi");
        return isValidPersonal(c) ? QString() : QStringLiteral("Carattere di controllo errato");
    }
    return QStringLiteral("Lunghezza errata (11 o 16 caratteri)");
}

} // namespace VelCodFis
