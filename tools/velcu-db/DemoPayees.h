#pragma once
// Generated payees of the demo school, for benchmarks: `count` payees made
// by copying the demo's own payees in turn (payee k is a copy of demo
// payee k modulo their number), with every row they own in the payroll
// tables, new keys, new names and tax codes. The same count always gives
// the same payees; payees already generated are kept, so a run only adds
// what is missing.
#include <QString>
#include <functional>

class TOvSQLConnection;

struct DemoPayeesReport
{
    int existing = 0;   // generated payees already there
    int added = 0;
};

DemoPayeesReport generateDemoPayees(TOvSQLConnection &conn, int count,
                                    const std::function<void(int done, int total)> &progress = {});

// The 16-character Italian tax code of a person; the municipality (or
// foreign state) is given by its cadastral code. Empty for a bad date or a
// cadastral code that is not letters and digits.
QString demoTaxCode(const QString &surname, const QString &name, int year, int month, int day, bool female,
                    const QString &cadastral);
