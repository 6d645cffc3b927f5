#pragma once
// Tax codes written into the supply, and the software producer's code.
//
// A tax code is either the 11 digits of a company or entity, the last one a
// check digit, or the 16 characters of a person (six letters, the year and
// day digits, which may be replaced by the letters L-V, month and municipality
// letters), the last one a check letter. The supply is never written with a
// code that fails these checks in the places that name who files it (the
// supplier, the withholding agent, the software producer).
//
// The software producer's code is a setting of the installation, in the
// program's ini (bin/velcu.ini, or the file named by VELCU_DB_CONFIG):
//
//   [FileTelematico]
//   CodiceFiscaleProduttore=01234567897
#include <QString>

namespace VelTaxCode {

inline constexpr const char *IniSection = "FileTelematico";
inline constexpr const char *IniKey = "CodiceFiscaleProduttore";

// 11 digits with a valid check digit, not all zeros.
bool isValidNumeric(const QString &code);
// 16 characters in the personal layout with a valid check letter.
bool isValidPersonal(const QString &code);
// Either of the two.
bool isValid(const QString &code);

// The ini the setting is read from: VELCU_DB_CONFIG when set, else the
// program's ini beside the executable.
QString settingsFile();
// The software producer's code as the ini gives it (trimmed; empty when
// the file or the key is missing).
QString softwareProducer(const QString &iniFile = settingsFile());
// The same, checked before a supply is generated: EOvError with the message
// for the office when it is missing or not 11 digits with a valid check digit.
QString checkedSoftwareProducer(const QString &iniFile = settingsFile());

// EOvError "<what> non valido: <code>" ("mancante" when blank) unless valid.
void require(const QString &code, const QString &what);

} // namespace VelTaxCode
