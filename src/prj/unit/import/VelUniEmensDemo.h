#pragma once
// The UniEmens declarations of the sibling program that shares the
// database, as far as the CU import reads them: its structures in the
// fiscal store under that program's code "tpf" (administrations
// TAMM_AMMINISTRAZIONI; period records TE0_RETR; variation records
// TV1_RETR, whose amounts come as "VP_" positive and "VN_" negative
// variations), and the demo school's declarations.
#include <QString>

class TOvSQLConnection;
class VelRecordModel;

inline const QString kUniEmensProgram = QStringLiteral("tpf");

// The layout of the three structures.
const VelRecordModel &uniEmensModel();

struct VelUniEmensDemoResult
{
    int structures = 0;   // structure versions written
    int rows = 0;         // declaration rows added (0 when they were there)
};

// Writes the structures for `year` and, when they hold no rows, the demo's
// declarations: for the payee with tax code `wholeYear` (the demo's payee
// 39) a whole year and one variation, for `oneMonth` (payee 21) one month
// under an administration without tax code.
VelUniEmensDemoResult seedUniEmensDemo(TOvSQLConnection &conn, const QString &wholeYear, const QString &oneMonth,
                                       int year = 2025);
