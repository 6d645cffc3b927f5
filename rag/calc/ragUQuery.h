#pragma once
// Reading the payroll tables through the named-query catalogue.
//
// A payroll query is opened by name with every parameter its text names
// and one text per "%s" placeholder. Anything that would run a different
// statement than the one asked for is refused before it reaches the
// database, with an error naming the query:
//   - a parameter of the text that was not given (it would bind NULL and
//     silently return nothing);
//   - a value given for a parameter the text does not have;
//   - more or fewer texts than placeholders.
// A statement the database refuses raises EDatabaseError naming the query
// as well.
#include "platform/core/Currency.h"
#include "platform/sql/OvSQLQuery.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class TOvSQLConnection;
class TTorQueryText;

// A local copy of part of the payroll, read from the server in a few
// statements: a query runs on it only when the copy holds every row the
// query can read.
class TRagLocalCopy
{
public:
    virtual ~TRagLocalCopy() = default;
    // The copy's connection for the query `name` with these parameters; null
    // when the query must run on the payroll database itself.
    virtual TOvSQLConnection *connectionFor(const QString &name, const QVariantMap &params) const = 0;
};

// Where payroll queries run: the connection and the catalogue their names are
// looked up in, and optionally a local copy that answers some of them. All
// come from the caller; nothing is taken from the process.
struct TRagSource
{
    TOvSQLConnection *connection = nullptr;
    TTorQueryText *queries = nullptr;
    const TRagLocalCopy *copy = nullptr;
};

class TRagQuery
{
public:
    // A source without a catalogue raises EAssertionFailed.
    explicit TRagQuery(const TRagSource &source);

    // Loads `name` (kind SELECT), fills the placeholders, sets the
    // parameters and opens it. Returns the open dataset.
    TOvSQLQuery &open(const QString &name, const QVariantMap &params, const QStringList &texts = {});
    // The column of the first row, as an amount; 0 when there is no row or
    // the value is null.
    Currency total(const QString &name, const QVariantMap &params, const QStringList &texts,
                   const QString &column);

    TOvSQLQuery &dataSet() { return m_query; }

    // An amount column of the current row: decimals arrive as amounts,
    // integers (SQLite sums of whole amounts) or floats alike; null is 0.
    static Currency amount(TOvSQLQuery &query, const QString &column);

    // " AND REGS.ITNOID IN (<list>)" for a comma-separated list of
    // positions, empty for an empty list. A list that is not made of
    // integers raises EAssertionFailed: it is built by the program.
    static QString positionFilter(const QString &positions);
    // "<a>,<b>,..." of integer codes.
    static QString codeList(const QList<int> &codes);
    // Checks a comma-separated list of integers (blanks allowed).
    static bool isIntegerList(const QString &list);

    // The condition on a register of a self-employed position (10, 14, 15)
    // that enters the import: flat-rate regime, IRPEF withheld under the
    // codes :RICE_COD_IRPEF_AM / :RICE_COD_IRPEF_TS, or anything paid (a
    // payment without withholding is certified too). With a list, the
    // positions of the list are excluded.
    static QString condizioneAutonomi(const QString &excluded = QString());
    // The extra filter of the candidate list (QRY_CUD_IMP) for a category
    // choice: 7 self-employed only, > 0 one category (:ICALID), 0 every
    // position but the self-employed ones and 9, 12, 13, plus the
    // self-employed that enter the import.
    static QString filtroCandidati(int icalid);

private:
    TOvSQLQuery m_query;
    TTorQueryText &m_queries;
    TOvSQLConnection *m_connection;
    const TRagLocalCopy *m_copy;
};
