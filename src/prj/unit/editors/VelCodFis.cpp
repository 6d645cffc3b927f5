#include "src/prj/unit/editors/VelCodFis.h"

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
        if (!first10.at(i).isDigit())
            return -1;
        const int d = first10.at(i).digitValue();
        if (i % 2 == 0) {
            sum += d;
        } else {
            const int dd = d * 2;
            sum += dd > 9 ? dd - 9 : dd;
        }
    }
    return (10 - sum % 10) % 10;
}

QString problem(const QString &code)
{
    const QString c = code.trimmed().toUpper();
    if (c.isEmpty())
        return QString();
    if (c.size() == 11) {
        const int check = numericCheck(c.left(10));
        if (check < 0 || !c.at(10).isDigit())
            return QStringLiteral("Codice numerico non valido");
        return check == c.at(10).digitValue() ? QString() : QStringLiteral("Cifra di controllo errata");
    }
    if (c.size() == 16) {
        const QChar check = personalCheck(c.left(15));
        if (check.isNull())
            return QStringLiteral("Caratteri non validi");
        return check == c.at(15) ? QString() : QStringLiteral("Carattere di controllo errato");
    }
    return QStringLiteral("Lunghezza errata (11 o 16 caratteri)");
}

} // namespace VelCodFis
