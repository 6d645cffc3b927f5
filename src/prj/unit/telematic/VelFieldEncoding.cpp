// The format codes of the telematic supply: a value made into the
// fixed-width text of its field. docs/telematic-templates.md lists them.
#include "src/prj/unit/telematic/VelFieldEncoding.h"

#include "platform/core/OvExceptions.h"
#include "src/prj/unit/telematic/VelFileText.h"

using namespace VelFileText;

namespace {

bool isDateText(const QString &v)
{
    if (v.size() != 10 || v.at(2) != QLatin1Char('/') || v.at(5) != QLatin1Char('/'))
        return false;
    for (int i : {0, 1, 3, 4, 6, 7, 8, 9})
        if (!v.at(i).isDigit())
            return false;
    return true;
}

// "0", "00", " 0 ": an integer that is zero.
bool isZeroInteger(const QString &value)
{
    const QString v = value.trimmed();
    if (v.isEmpty())
        return false;
    for (QChar c : v)
        if (c != QLatin1Char('0'))
            return false;
    return true;
}

} // namespace

QString TVelFieldEncoder::encode(const QString &value, int width, const QString &format, const QString &info)
{
    TXMLFormat f = TXMLFormat::AN;
    int digits = 0;
    if (!parseFieldFormat(format, &f, &digits))
        throw EOvError(QStringLiteral("Formato sconosciuto: \"%1\"").arg(format));
    return encode(value, width, f, digits, info == QLatin1String("O@") ? TXMLInfo::OrEmpty : TXMLInfo::Column);
}

namespace {

// The encoding of one value; `rightAligned` tells a number or a date from a
// text (for the message of a value too long for its width).
QString encodeValue(const QString &value, int width, TXMLFormat format, int digits, TXMLInfo info, bool *rightAligned)
{
    const QChar blank = QLatin1Char(' ');
    const QChar zero = QLatin1Char('0');
    const QChar ph = QChar(Placeholder);
    *rightAligned = false;
    switch (format) {
    case TXMLFormat::AN:
    case TXMLFormat::CF:
        return alignLeft(trimRight(value).toUpper(), width, ph);
    case TXMLFormat::TL: {
        // a telephone number: its digits only
        QString digitsOnly;
        for (QChar c : value)
            if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
                digitsOnly += c;
        return digitsOnly.isEmpty() ? QString() : alignLeft(digitsOnly, width, ph);
    }
    case TXMLFormat::AX:
        return trimRight(value) == QLatin1String("X") ? alignLeft(QStringLiteral("X"), width, ph) : QString();
    case TXMLFormat::PR:
        return alignLeft(value.toUpper(), width, ph);
    case TXMLFormat::CN: {
        const QString v = trimRight(value);
        if (info == TXMLInfo::OrEmpty && v.isEmpty()) {
            *rightAligned = true;
            return QString(width, zero);
        }
        return alignLeft(v.toUpper(), width, ph);
    }
    case TXMLFormat::VC:
        if (trimRight(value).trimmed().toUpper() == QLatin1String("C")) // the letter "C" standing in its box: a text
            return alignLeft(QStringLiteral("C"), width, ph);
        break;
    default:
        break;
    }

    *rightAligned = true;
    switch (format) {
    case TXMLFormat::CB:
        // an empty check box is not ticked either
        return (value == QLatin1String("0") || value.trimmed().isEmpty()) ? QString()
                                                                           : alignRight(QStringLiteral("1"), width, blank);
    case TXMLFormat::CP:
        return (value != QLatin1String("0") && !value.isEmpty()) ? alignRight(QStringLiteral("1"), width, zero)
                                                                  : QString(width, zero);
    case TXMLFormat::CB12:
        return value == QLatin1String("000000000000") ? QString(width, blank) : alignRight(value, width, blank);
    case TXMLFormat::DT:
    case TXMLFormat::DP: {
        const bool dp = format == TXMLFormat::DP;
        if (value == QLatin1String("0.00.00") || (dp && value.isEmpty()))
            return dp ? QStringLiteral("00000000") : QString();
        if (value.isEmpty())
            return QString(width, blank);
        if (!isDateText(value))
            throw EOvError(QStringLiteral("Data non valida: \"%1\" (attesa gg/mm/aaaa)").arg(value));
        return alignRight(value.mid(0, 2) + value.mid(3, 2) + value.mid(6, 4), width, dp ? zero : blank);
    }
    case TXMLFormat::D4:
        if (value == QLatin1String("0.00.00"))
            return QString();
        return alignRight(value.size() == 4 ? value : value.mid(0, 2) + value.mid(3, 2), width, blank);
    case TXMLFormat::NF:
        return alignRight(value, width, zero);
    case TXMLFormat::NZ:
        return value.isEmpty() ? QString() : alignRight(zeroPad(value, digits), width, blank);
    case TXMLFormat::N2:
        return alignRight(zeroPad(value, 2), width, blank);
    case TXMLFormat::ND:
        return alignRight(value.trimmed().isEmpty() ? QStringLiteral("0") : value, width, blank);
    case TXMLFormat::VP:
    case TXMLFormat::VC: {
        // amount with two decimals and a comma; zero is not written
        const std::optional<Currency> c = value.trimmed().isEmpty() ? std::optional<Currency>(Currency())
                                                                    : parseNumber(value);
        if (!c)
            throw EOvError(QStringLiteral("Importo non valido: \"%1\"").arg(value));
        const QString text = amountText(*c);
        return (c->isZero() || text == QLatin1String("0,00")) ? QString() : alignRight(text, width, blank);
    }
    case TXMLFormat::NP:
    case TXMLFormat::DA:
        // a zero count or year is not written, as a zero amount is not
        return isZeroInteger(value) ? QString() : alignRight(value, width, blank);
    default:
        // D6, NU, PC, QU
        return alignRight(value, width, blank);
    }
}

} // namespace

QString TVelFieldEncoder::encode(const QString &value, int width, TXMLFormat format, int formatDigits, TXMLInfo info)
{
    bool rightAligned = true;
    QString out = encodeValue(value, width, format, formatDigits, info, &rightAligned);
    if (out.size() > width) {
        if (rightAligned)
            throw EOvError(QStringLiteral("Il valore \"%1\" non sta in %2 caratteri (formato %3)")
                               .arg(value)
                               .arg(width)
                               .arg(fieldFormatName(format, formatDigits)));
        // a text is never cut: a cut name is another person's
        throw EOvError(QStringLiteral("Il testo \"%1\" (%2 caratteri) non sta nei %3 caratteri del campo: non viene "
                                      "troncato. Correggere il dato")
                           .arg(trimRight(value))
                           .arg(trimRight(value).size())
                           .arg(width));
    }
    return out;
}
