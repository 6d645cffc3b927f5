#pragma once
// The software producer's tax code that record B of the supply carries. It is
// the distributor's, not the office's: the build writes it into the installed
// configuration (etc/rag/velcu-produttore.ini, build option
// VELCU_CF_PRODUTTORE); a build without the option writes the demo value,
// marked as such. The office may change it in "Parametri".
//
// The program's ini ([FileTelematico] CodiceFiscaleProduttore= in
// bin/velcu.ini, or the file named by VELCU_DB_CONFIG) still has the last
// word where it holds the key: an office that set it there keeps it.
#include <QString>

namespace VelProduttore {

inline constexpr const char *FileName = "velcu-produttore.ini";

// The installed configuration: etc/rag/velcu-produttore.ini of the root, or
// the office's copy in the data root once "Parametri" changed it.
QString installedFile();

struct Setting
{
    QString code;     // trimmed; empty when missing
    QString file;     // where it comes from (or would be written)
    bool demo = false;        // the demo value the build writes without the option
    bool fromProgramIni = false; // the program's ini holds the key
};

// Where the value comes from: the program's ini when it holds the key, else
// the installed configuration.
Setting current(const QString &programIni);

// Empty when the code may go into record B; otherwise the note for the office.
QString problem(const QString &code);

// Writes the code into the office's copy of the configuration (the
// installed file itself on a stage), checked first (EOvError
// with the note, or with the write's cause). The demo mark stays only while
// the demo value is kept.
void save(const QString &code);

} // namespace VelProduttore
