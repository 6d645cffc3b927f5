#pragma once
// A SQL dataset that writes its changes back: a select text (the command
// text) and three ordered lists of statements, run for each pending row when
// applyUpdates() is called:
//   inserted rows  every statement of SQLInsert, in order
//   modified rows  every statement of SQLUpdate
//   deleted rows   every statement of SQLDelete
// Each statement's parameters are bound by name: ":FIELD" takes the row's new
// value (a deleted row's last value), ":OLD_FIELD" its value before the
// change (null for an inserted row); a name that is no field takes the value
// of the dataset's parameter of that name (the select's key, for example).
//
// The statements run inside the connection's transaction when one is open,
// otherwise inside one of their own, committed at the end. When every row is
// written the change log is merged; when a statement fails the error (with
// the database's message) reaches the caller, the own transaction is rolled
// back and the change log stays as it was, so the user's edits are not lost.
#include "platform/sql/OvSQLQuery.h"

#include <QStringList>

class TOvQueryCollection : public TOvSQLQuery
{
    Q_OBJECT
public:
    using TOvSQLQuery::TOvSQLQuery;

    QStringList SQLInsert;
    QStringList SQLUpdate;
    QStringList SQLDelete;

    // Posts a pending edit, writes every pending row and merges the change
    // log. Returns the number of rows written (0 when nothing was pending).
    // A pending row of a kind without statements raises EAssertionFailed
    // before anything runs; a parameter that names neither a field nor a
    // parameter raises EDatabaseError; a refused statement EDatabaseError.
    int applyUpdates();
};
