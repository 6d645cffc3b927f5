#pragma once
// Periods of the fiscal store: one TCRF_CROFISCALE row per (program, year,
// month), found or created by ptor_getcrofiscale, which returns its icrfid.
//
// One statement text serves both engines:
//     SELECT ptor_getcrofiscale(:SCRFPROGRAMMA, :ICRFANNO, :ICRFMESE) AS icrfid
// On PostgreSQL ptor_getcrofiscale is a PL/pgSQL function (set-up scripts);
// it also answers SELECT * FROM ptor_getcrofiscale(...) with a column icrfid.
// On SQLite it is a function registered on each connection: SQLite has no
// table functions of its own, hence the scalar form above.
//
// The program code is stored and compared in lower case; a year or month
// below 1 (or null) means "none" and is stored as null. A unique index on
// (lower(program), year or 0, month or 0) guarantees one period even when
// two workstations ask for a new one at the same moment: the loser of the
// race gets the winner's key.
//
// On SQLite the function writes, so run it inside a transaction of
// TOvTransaction or through getCroFiscale(), never from the middle of a
// read-only transaction of one's own.
#include <QString>

class TOvSQLConnection;

// The statement above.
QString croFiscaleSql();

// icrfid of the period, created when missing; EDatabaseError on failure,
// EOvError when `program` is empty.
int getCroFiscale(TOvSQLConnection &conn, const QString &program, int year, int month);
