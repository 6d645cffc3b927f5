#pragma once
// The payroll rows of one employee, checked before a CU is built from them.
//
// SQLite keeps whatever a column is given: a text in an amount column reads
// as zero through SUM() and the conversions, so a CU would go out with an
// amount silently missing. The check reads, once per run, the declared types
// of the payroll tables that hold an employee's rows (by relationship, or by
// the relationship's registers) and then, per employee, looks for a value
// that does not fit its column: a text or a blob in a numeric column. The
// first one found stops the employee with field and value named.
//
// PostgreSQL refuses such values when they are written: the check does
// nothing there.
#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class QSqlQuery;

class TOvSQLConnection;

class TVelPayrollCheck
{
public:
    explicit TVelPayrollCheck(TOvSQLConnection &connection);

    // EOvError naming table, field, row and value when a row of the
    // relationship holds a value its column cannot hold.
    void controlla(int iacomid);

private:
    struct Table
    {
        QString name;
        bool byRegister = false;   // rows tied to the relationship's registers
        QStringList numeric;       // columns declared numeric
        QString statement;
        std::shared_ptr<QSqlQuery> query;   // prepared at the first employee
    };
    void leggiSchema();

    TOvSQLConnection &m_conn;
    bool m_letto = false;
    QList<Table> m_tables;
};
