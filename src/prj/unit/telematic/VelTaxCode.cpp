#include "src/prj/unit/telematic/VelTaxCode.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvDbConfig.h"

#include <QDir>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSettings>

namespace VelTaxCode {

namespace {

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

} // namespace

bool isValidNumeric(const QString &code)
{
    // eleven zeros pass the check digit but are nobody's code
    if (code.size() != 11 || code == QLatin1String("00000000000"))
        return false;
    int sum = 0;
    for (int i = 0; i < 11; ++i) {
        if (!isDigit(code.at(i)))
            return false;
        if (i == 10)
            break;
        int d = code.at(i).unicode() - '0';
        if (i % 2 == 1) {
            d *= 2;
            if (d > 9)
                d -= 9;
        }
        sum += d;
    }
    return (10 - sum % 10) % 10 == code.at(10).unicode() - '0';
}

bool isValidPersonal(const QString &code)
{
    if (code.size() != 16)
        return false;
    // layout: 6 letters, 2 digits, letter, 2 digits, letter, 3 digits, letter
    static const char shape[] = "LLLLLLDDLDDLDDDL";
    for (int i = 0; i < 16; ++i) {
        const QChar c = code.at(i);
        if (shape[i] == 'L' ? !isLetter(c) : !isDigitOrOmocode(c))
            return false;
    }
    static const int odd[36] = {1,  0,  5,  7,  9,  13, 15, 17, 19, 21, // 0-9
                                1,  0,  5,  7,  9,  13, 15, 17, 19, 21, // A-J
                                2,  4,  18, 20, 11, 3,  6,  8,  12, 14, // K-T
                                16, 10, 22, 25, 24, 23};                // U-Z
    int sum = 0;
    for (int i = 0; i < 15; ++i) {
        const QChar c = code.at(i);
        const int index = isDigit(c) ? c.unicode() - '0' : 10 + c.unicode() - 'A';
        if (i % 2 == 0)
            sum += odd[index];
        else
            sum += isDigit(c) ? c.unicode() - '0' : c.unicode() - 'A';
    }
    return code.at(15).unicode() == 'A' + sum % 26;
}

bool isValid(const QString &code)
{
    return isValidNumeric(code) || isValidPersonal(code);
}

QString settingsFile()
{
    const QString env = QProcessEnvironment::systemEnvironment().value(QStringLiteral("VELCU_DB_CONFIG"));
    return env.isEmpty() ? TOvDbConfig::defaultIniFile() : env;
}

QString softwareProducer(const QString &iniFile)
{
    if (iniFile.isEmpty() || !QFileInfo::exists(iniFile))
        return QString();
    QSettings ini(iniFile, QSettings::IniFormat);
    return ini.value(QLatin1String(IniSection) + QLatin1Char('/') + QLatin1String(IniKey)).toString().trimmed();
}

QString checkedSoftwareProducer(const QString &iniFile)
{
    const QString code = softwareProducer(iniFile);
    const QString where = QStringLiteral("nel file %1, sezione [%2], chiave %3")
                              .arg(QDir::toNativeSeparators(iniFile), QLatin1String(IniSection), QLatin1String(IniKey));
    if (code.isEmpty())
        throw EOvError(QStringLiteral("Codice fiscale del produttore del software mancante: indicarlo %1. "
                                      "Impossibile procedere!")
                           .arg(where));
    if (!isValidNumeric(code))
        throw EOvError(QStringLiteral("Codice fiscale del produttore del software non valido (\"%1\"): servono 11 "
                                      "cifre con il carattere di controllo esatto, %2. Impossibile procedere!")
                           .arg(code, where));
    return code;
}

void require(const QString &code, const QString &what)
{
    const QString c = code.trimmed();
    if (c.isEmpty())
        throw EOvError(QStringLiteral("%1 mancante, impossibile procedere!").arg(what));
    if (!isValid(c))
        throw EOvError(QStringLiteral("%1 non valido (\"%2\"), impossibile procedere!").arg(what, c));
}

} // namespace VelTaxCode
