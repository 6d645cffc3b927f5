#pragma once
// A client dataset filled from the database: open() runs commandText() on the
// connection with the parameters bound by name and loads every row; execSQL()
// runs a statement that returns no rows.
//
// Fields come from the result at every open, named in upper case (both
// engines then name them alike: PostgreSQL folds to lower case, SQLite keeps
// the spelling of the text). A name that appears twice gets "_1", "_2"...
// Types:
//   integers                        Integer
//   NUMERIC with scale <= 4         Currency; a larger scale gives Float
//   NUMERIC without a scale and
//   expressions with decimals       Currency when every value fits four
//                                   decimals, else Float
//   REAL / DOUBLE                   Float
//   DATE, TIMESTAMP                 Date, DateTime
//   VARCHAR(n)                      String of size n (widened when a value is
//                                   longer: SQLite does not enforce sizes)
//   TEXT and other texts            String without size
//   BLOB / BYTEA                    Blob
// SQLite is dynamically typed: the declared type of a table column decides;
// an expression takes the type of its values (an expression whose values are
// all null is a String).
//
// Decimals arrive from the drivers as doubles and become amounts through the
// nearest 15-significant-digit decimal: exact for every amount below one
// hundred billion (11 integer digits and 4 decimals).
//
// All rows are fetched at open: PacketRecords is accepted for the callers'
// sake but does not split the fetch. The statement's cursor is released at
// once, so no query outlives the open.
//
// Parameter values are bound by their kind: amounts exactly (as decimal text
// on PostgreSQL), dates as dates, date-times as timestamps, flags as 0/1.
// A null value binds SQL NULL.
//
// The connection is the one given, or the framework's OvGlobConn at the time
// of the statement. Errors: EDatabaseError (no connection, closed connection,
// empty text, a statement refused by the database with its message).
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvDbConfig.h"

#include <QVariantMap>

class TOvSQLConnection;

class TOvSQLQuery : public TClientDataSet
{
    Q_OBJECT
public:
    explicit TOvSQLQuery(QObject *parent = nullptr);
    explicit TOvSQLQuery(TOvSQLConnection *connection, QObject *parent = nullptr);
    ~TOvSQLQuery() override;

    // Null: OvGlobConn when the statement runs.
    void setConnection(TOvSQLConnection *connection) { m_connection = connection; }
    TOvSQLConnection *connection() const { return m_connection; }

    // Framework properties kept for the callers: metadata is never read
    // separately, and every row is fetched at open (see above).
    bool NoMetadata = false;
    int PacketRecords = -1;

    // Runs the command text as a statement without rows; returns the rows it
    // touched (-1 when the driver does not say).
    int execSQL();
    // Runs the statement again: close and open.
    void refresh();

    // The connection the next statement will use; EDatabaseError when there
    // is none or it is not open.
    TOvSQLConnection &activeConnection() const;

    // The value as the driver of `engine` should receive it (see above).
    static QVariant sqlValue(const QVariant &value, TOvDbEngine engine);
    // The parameters of the command text, ready for TOvSQLConnection::exec.
    QVariantMap boundParams(TOvDbEngine engine) const;

protected:
    void openData() override;

private:
    TOvSQLConnection *m_connection = nullptr;
};
