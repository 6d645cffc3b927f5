#pragma once
// velcu-cli: the year's work without a window, on the same classes the
// windows use.
//
//   velcu-cli import --mese 12 [--categoria N] [--solo-inps] [--sostituto]
//                    [--inpdap uniemens|noipa] [--sovrascrivi mai|sempre]
//                    [--forza-stampati] [--cf CF ...]
//   velcu-cli fornitura --out FILE [--cf CF ...] [--forza]
//   velcu-cli stampa --sintetico|--ordinario [--out FILE.pdf] [--per-percipiente DIR]
//                    [--fronte-retro] [--firma-omessa] [--cf CF ...]
//   velcu-cli controlla FILE...
//   velcu-cli stato
//   velcu-cli sostituto [--imposta CAMPO=VALORE ...] [--forza]
//
// Every command that reads the database takes the program's configuration
// (velcu.ini, VELCU_DB_* variables, --db-* options) and --anno. Messages are
// Italian; progress goes to standard error, results to standard output.
// Exit status: 0 done, 1 errors (the message says which), 2 wrong usage,
// 3 done with warnings only (the run outcome's warnings, the coherence
// check's findings that are not errors).
#include <QStringList>

class QTextStream;

namespace VelCli {

inline constexpr int Ok = 0;
inline constexpr int Errors = 1;
inline constexpr int Usage = 2;
inline constexpr int Warnings = 3;

// Runs one command; `arguments` as the program received them (the program's
// name first).
int run(const QStringList &arguments, QTextStream &out, QTextStream &err);

} // namespace VelCli
