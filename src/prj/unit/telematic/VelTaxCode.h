#pragma once
// The tax codes that name who files the supply, and the software producer's
// code. The check itself is the program's one (VelCodFis): the supply is never
// written with a code that fails it in the places that name who files it (the
// supplier, the withholding agent, the software producer).
//
// The software producer's code is a setting of the installation: the
// installed configuration the build writes (VelProduttore), unless the
// program's ini (bin/velcu.ini, or the file named by VELCU_DB_CONFIG) holds
//
//   [FileTelematico]
//   CodiceFiscaleProduttore=01234567897
#include <QString>

namespace VelTaxCode {

inline constexpr const char *IniSection = "FileTelematico";
inline constexpr const char *IniKey = "CodiceFiscaleProduttore";

// The ini the setting is read from: VELCU_DB_CONFIG when set, else the
// program's ini beside the executable.
QString settingsFile();
// The software producer's code (trimmed; empty when missing).
QString softwareProducer(const QString &iniFile = settingsFile());
// The same, checked before a supply is generated: EOvError with the message
// for the office when it is missing or not 11 digits with a valid check digit.
QString checkedSoftwareProducer(const QString &iniFile = settingsFile());

// EOvError "<what> non valido: <code>" ("mancante" when blank) unless valid.
void require(const QString &code, const QString &what);

} // namespace VelTaxCode
