#include "src/prj/unit/telematic/VelTaxCode.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvDbConfig.h"
#include "src/prj/unit/model/VelCodFis.h"
#include "src/prj/unit/telematic/VelProduttore.h"

#include <QDir>
#include <QProcessEnvironment>

namespace VelTaxCode {

QString settingsFile()
{
    const QString env = QProcessEnvironment::systemEnvironment().value(QStringLiteral("VELCU_DB_CONFIG"));
    return env.isEmpty() ? TOvDbConfig::defaultIniFile() : env;
}

QString softwareProducer(const QString &iniFile)
{
    return VelProduttore::current(iniFile).code;
}

QString checkedSoftwareProducer(const QString &iniFile)
{
    const VelProduttore::Setting setting = VelProduttore::current(iniFile);
    const QString &code = setting.code;
    const QString where = setting.fromProgramIni
                              ? QStringLiteral("nel file %1, sezione [%2], chiave %3")
                                    .arg(QDir::toNativeSeparators(setting.file), QLatin1String(IniSection),
                                         QLatin1String(IniKey))
                              : QStringLiteral("in \"Parametri\" (file %1)").arg(QDir::toNativeSeparators(setting.file));
    if (code.isEmpty())
        throw EOvError(QStringLiteral("Codice fiscale del produttore del software mancante: indicarlo %1. "
                                      "Impossibile procedere!")
                           .arg(where));
    if (!VelCodFis::isValidNumeric(code))
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
    if (!VelCodFis::isValid(c))
        throw EOvError(QStringLiteral("%1 non valido (\"%2\"), impossibile procedere!").arg(what, c));
}

} // namespace VelTaxCode
