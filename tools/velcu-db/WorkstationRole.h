#pragma once
// The workstations of an office on one PostgreSQL server: a group role that
// reads the payroll tables and reads and writes the program's own tables (the
// fiscal store, its generators and the report definitions), and nothing more.
// A workstation's login is a member of the group; the payroll program keeps
// the payroll tables to itself.
//
// Run by the owner of the tables (the server's administrator): the role is
// created when missing, its grants set again from scratch at every run (a
// table added by a newer version is granted too), then the fixed repairs of
// the payroll data are run here, since a workstation may not run them.
#include <QString>
#include <QStringList>

class TOvSQLConnection;

namespace WorkstationRole {

inline constexpr const char *DefaultRole = "velcu_postazioni";

// The program's own tables: read and written by the workstations.
QStringList storeTables();

struct Report
{
    QString role;
    QString schema;
    bool created = false;
    QStringList storeTables;   // found on the server
    QStringList payrollTables; // every other table of the schema: read only
    QStringList sequences;
    QStringList newLogins;     // members created now, without a password yet
    QStringList members;
    int repairs = 0;
};

// EOvError on SQLite, on a name that is not a plain identifier, or with the
// server's refusal.
Report setUp(TOvSQLConnection &conn, const QString &role, const QStringList &members);

} // namespace WorkstationRole
