#pragma once
// SQL functions that SQLite lacks and the shared statements use; registered
// by TOvSQLConnection on every SQLite handle it opens.
#include <QString>

// `handle` is the sqlite3* of an open connection. Returns an empty string,
// or an Italian text saying why the functions could not be registered.
QString ovRegisterSqliteFunctions(void *handle);
