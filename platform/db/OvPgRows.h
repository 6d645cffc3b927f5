#pragma once
// The rows of a statement read straight from libpq, for reading thousands of
// rows at a time (the import's local copy of a group's payroll). Through the
// Qt driver every value became a variant, every text a QString made and
// turned back to UTF-8 by whoever wrote it elsewhere.
//
// value() gives what the Qt driver gives for the same column; text() the
// server's own text of a value, as it came.
#include <QByteArray>
#include <QString>
#include <QVariant>

class TOvSQLConnection;
struct pg_result;

class TOvPgRows
{
public:
    // Runs `sql` (no parameters) on the server of `c`, counted as a statement
    // of the connection (with its fault seam); every row is held once it
    // returns. EDatabaseError with the server's words on a refusal,
    // EOvConnectionLost when the server is gone.
    TOvPgRows(TOvSQLConnection &c, const QString &sql);
    ~TOvPgRows();
    TOvPgRows(const TOvPgRows &) = delete;
    TOvPgRows &operator=(const TOvPgRows &) = delete;

    int rows() const;
    int columns() const;
    // A column's name, as the server gives it.
    QString name(int column) const;
    // A column's server type (its OID).
    unsigned type(int column) const;

    // Whether the Qt driver reads the column as text: its values are then
    // the server's text as it came, in UTF-8 (text()).
    bool isText(int column) const;

    bool isNull(int row, int column) const;
    // The server's text of a value (empty for NULL), valid while this lives.
    QByteArray text(int row, int column) const;
    // As the Qt driver reads it: bool, int, long long, double (the numbers
    // with decimals), date, date and time (UTC), bytes or text; a null of
    // the column's type for NULL.
    QVariant value(int row, int column) const;

    // The server types the readers above tell apart.
    enum Oid : unsigned {
        Bool = 16, Bytea = 17, Int8 = 20, Int2 = 21, Int4 = 23, Float4 = 700, Float8 = 701,
        Date = 1082, Time = 1083, Timestamp = 1114, TimestampTz = 1184, TimeTz = 1266, Numeric = 1700,
    };

private:
    pg_result *m_result = nullptr;
};
