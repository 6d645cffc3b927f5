#pragma once
// A statement run straight on SQLite's own interface, for the few texts that
// run thousands of times in a run (one value row of the fiscal store each).
// Through the Qt driver every positional bind builds a placeholder name and
// looks it up, and every run rebuilds the result's record: on a six-value
// INSERT that costs about a third of SQLite's own work.
//
// Values are bound as the Qt driver binds them, so a row reads back the same
// whichever way it was written: null (an invalid or null variant, a null
// text or date) as NULL; bool and int as integers; the other integers as
// 64-bit integers; double as a real; text as text; a date (ISO, yyyy-MM-dd)
// and anything else as the variant's text.
//
// Kept by the connection (TOvSQLConnection::sqliteStatement()), finalized
// before it closes.
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

class TOvSqliteStatement
{
public:
    // EDatabaseError with SQLite's message when the text is refused.
    TOvSqliteStatement(sqlite3 *db, const QString &sql);
    ~TOvSqliteStatement();
    TOvSqliteStatement(const TOvSqliteStatement &) = delete;
    TOvSqliteStatement &operator=(const TOvSqliteStatement &) = delete;

    // The value of the placeholder at `position`, from 0 in the text's order.
    void bind(int position, const QVariant &value);
    // Runs it to its end and makes it ready for the next values; on a failure
    // EDatabaseError with the cause an office can act on (ovSqlErrorText()).
    void run();

private:
    [[noreturn]] void fail(int rc);

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
};
