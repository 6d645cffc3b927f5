#pragma once
// A statement run straight on libpq's extended protocol, for the texts a
// server runs at every save of a run: the fiscal store's multi-row inserts of
// value rows. Through the Qt driver every run binds each value by a
// placeholder name it builds and looks up, writes it as a literal into an
// "EXECUTE" text, and the server parses that text again: for a CU's values
// that cost about a fifth of the insert on each side. Here the values travel
// as parameters of a statement the server prepared once.
//
// Values are sent as the Qt driver writes them, so a row reads back the same
// whichever way it was written: null (an invalid or null variant, a null
// text or date) as NULL; integers in decimal; a double in its shortest exact
// form; bool as true or false; a date as yyyy-MM-dd; bytes as bytes;
// anything else as the variant's text (a date and time as its ISO text with
// milliseconds and no conversion of zone: the store writes wall-clock times
// as texts). The server converts each to its column's type.
//
// Kept by the connection (TOvSQLConnection::pgStatement()) while it is open;
// the server forgets it when the connection closes.
#include <QByteArray>
#include <QList>
#include <QSqlError>
#include <QString>
#include <QVariant>

#include <vector>

struct pg_conn;

class TOvPgStatement
{
public:
    // `sql` with $1, $2, ... placeholders. Nothing is sent until the first
    // run(), which prepares it.
    TOvPgStatement(pg_conn *conn, const QString &sql);
    TOvPgStatement(const TOvPgStatement &) = delete;
    TOvPgStatement &operator=(const TOvPgStatement &) = delete;

    // The value of placeholder $(position + 1).
    void bind(int position, const QVariant &value);
    // Runs it with the values bound; on a failure EDatabaseError with the
    // cause an office can act on (ovSqlErrorText()). The values stay bound.
    void run();

    // The server's name of the prepared statement; empty until prepared.
    const QByteArray &name() const { return m_name; }

    // A run of the statement with the values bound now, kept to be sent
    // later with others (runTogether()).
    struct Queued
    {
        TOvPgStatement *statement = nullptr;
        QList<QByteArray> values;
        QList<bool> null;
        QList<int> binary;
    };
    Queued queued() { return {this, m_values, m_null, m_binary}; }

    // Sends the runs, in order, and then `last` when given (a text without
    // parameters, such as COMMIT), in one exchange with the server: libpq's
    // pipeline mode, each statement still prepared once. Nothing after a
    // refused one is run. Returns the first refusal (the server's message
    // with its SQLSTATE, as run() raises it); no error when all ran.
    static QSqlError runTogether(pg_conn *conn, const std::vector<Queued> &runs, const char *last = nullptr);

    // The error the Qt driver gives for a refusal: the server's message
    // (the result's, else the connection's) with its SQLSTATE, which
    // ovSqlCause() reads.
    static QSqlError errorOf(pg_conn *conn, const char *what, struct pg_result *result);

private:
    [[noreturn]] void fail(const char *what, struct pg_result *result);

    pg_conn *m_conn = nullptr;
    QByteArray m_sql;
    QByteArray m_name;
    QList<QByteArray> m_values;   // text (or bytes) of each placeholder
    QList<bool> m_null;
    QList<int> m_binary;          // 1: bytes sent as they are
};
