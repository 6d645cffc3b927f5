#pragma once
// Database generators: named counters handing out keys.
//
// PostgreSQL: a sequence named gen_<generator in lower case> (the name of the
// generator itself is often a table's, and PostgreSQL keeps tables and
// sequences in one namespace). SQLite: a row of tov_generatori
// (sgennome = generator in upper case, igenvalore = last value handed out),
// raised in one statement, so it is atomic in or out of a transaction.
// Both are created by the set-up scripts.
//
// Difference worth knowing: a PostgreSQL sequence never goes back, while on
// SQLite a value drawn inside a transaction that is rolled back is handed out
// again (together with everything that used it, it never existed).
class TOvSQLConnection;
class QString;

// Raises the generator by `values` (at least 1) and returns its new value,
// so the caller owns the keys from result - values + 1 to result. On
// PostgreSQL, when several values are drawn at once, they are distinct but
// only contiguous when no other session draws at the same moment; callers
// that need a contiguous block draw one value at a time.
// Unknown generator or refused statement: EDatabaseError.
// `values` below 1 or a name that is not an identifier: EAssertionFailed.
int GenerateID(int values, TOvSQLConnection &connection, const QString &generator);
