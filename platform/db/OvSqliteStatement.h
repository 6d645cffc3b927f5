#pragma once
// A statement run straight on SQLite's own interface, for the texts that run
// thousands of times in a run: the fiscal store's value rows, the payroll
// queries of every employee. Through the Qt driver every positional bind
// builds a placeholder name and looks it up, and every run rebuilds the
// result's record (names, declared types, lower-cased type names): on a
// six-value INSERT that costs about a third of SQLite's own work.
//
// Values are bound as the Qt driver binds them, so a row reads back the same
// whichever way it was written: null (an invalid or null variant, a null
// text or date) as NULL; bool and int as integers; the other integers as
// 64-bit integers; double as a real; text as text; a date (ISO, yyyy-MM-dd)
// and anything else as the variant's text. Values are read as it reads them
// (doubles as double): see value().
//
// Kept by the connection (TOvSQLConnection::sqliteStatement()), finalized
// before it closes.
#include <QList>
#include <QString>
#include <QVariant>
#include <QVariantMap>

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
    // A text already in UTF-8 (as bind() of the same QString stores it).
    void bindUtf8(int position, const QByteArray &text);
    // Every placeholder bound by its name from `params`, whose keys may have
    // the colon or not (as TOvSQLConnection::execReused() takes them); one not
    // given is NULL. False, and nothing bound, when a placeholder has no name.
    bool bindByName(const QVariantMap &params);
    // Runs it to its end and makes it ready for the next values; on a failure
    // EDatabaseError with the cause an office can act on (ovSqlErrorText()).
    void run();

    // Reading. next() steps to the next row: false at the end, where the
    // statement is ready to run again; EDatabaseError on a failure.
    bool next();
    int columnCount() const;
    // A column's name as the Qt driver gives it (without double quotes).
    QString columnName(int column) const;
    // Its declared type; null for an expression.
    const char *declaredType(int column) const;
    // The current row's value as the Qt driver gives it: a blob as bytes, an
    // integer as a 64-bit integer, a real as double, a text as text, NULL as
    // a null text.
    QVariant value(int column) const;
    // Ready to run again, whatever was read of it.
    void reset();
    // Unique to this statement in the process, never given again: what a
    // caller keys what it learnt of the statement's columns by.
    quint64 serial() const { return m_serial; }

private:
    [[noreturn]] void fail(int rc);

    QList<QString> m_names; // placeholders by position (":NAME"), read at the first bind by name
    bool m_namesRead = false;
    bool m_byName = true;   // every placeholder has a name

    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
    quint64 m_serial = 0;
};
