#include "tor/store/TorStoreReader.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "tor/store/TorStoreSql.h"
#include "tor/store/torUDBCds.h"

#include <QHash>
#include <QSqlError>
#include <sqlite3.h>

namespace TorStore {

QSqlQuery prepare(TOvSQLConnection &c, const QString &text)
{
    QSqlQuery q = c.newQuery();
    q.setForwardOnly(true);
    q.setNumericalPrecisionPolicy(QSql::HighPrecision);
    if (!q.prepare(text))
        ovRaiseSqlError(q.lastError());
    return q;
}

QSqlQuery &reused(TOvSQLConnection &c, const QString &text)
{
    return c.reusedStatement(text, QSql::HighPrecision);
}

void run(TOvSQLConnection &c, QSqlQuery &q)
{
    c.countStatement(q);
    if (!q.exec())
        ovRaiseSqlError(q.lastError());
}

void runBesideWaiting(TOvSQLConnection &c, QSqlQuery &q)
{
    c.countBesideWaiting(q);
    if (!q.exec())
        ovRaiseSqlError(q.lastError());
}

const QString &insertValuesText(int rows)
{
    thread_local QHash<int, QString> texts;
    QString &text = texts[rows];
    if (text.isEmpty()) {
        text = sql(TorStoreSql::InsertValues);
        for (int k = 0, p = 5; k < rows; ++k, p += 5)
            text += QStringLiteral("%1($1, $2, $3, $4, $%2, $%3, $%4, $%5, $%6)")
                        .arg(k ? QStringLiteral(", ") : QString())
                        .arg(p)
                        .arg(p + 1)
                        .arg(p + 2)
                        .arg(p + 3)
                        .arg(p + 4);
    }
    return text;
}

namespace {

sqlite3_stmt *prepared(sqlite3 *db, const QByteArray &text)
{
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &stmt, nullptr) != SQLITE_OK) {
        const QString why = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_finalize(stmt);
        throw EDatabaseError(QStringLiteral("Errore del database: ") + why);
    }
    return stmt;
}

void bindInt(sqlite3_stmt *stmt, const char *name, qint64 v)
{
    if (const int i = sqlite3_bind_parameter_index(stmt, name); i > 0)
        sqlite3_bind_int64(stmt, i, v);
}

} // namespace

QList<qint64> SqliteLoadReader::periods(sqlite3 *db, int year, int month, const QString &program)
{
    sqlite3_stmt *stmt = prepared(db, QByteArray(TorStoreSql::LoadPeriods));
    bindInt(stmt, ":ICRFANNO", year);
    bindInt(stmt, ":ICRFMESE", month);
    const QByteArray p = program.toLower().toUtf8();
    sqlite3_bind_text(stmt, sqlite3_bind_parameter_index(stmt, ":SCRFPROGRAMMA"), p.constData(), int(p.size()),
                      SQLITE_TRANSIENT);
    QList<qint64> found;
    int rc;
    while ((rc = sqlite3_step(stmt)) == SQLITE_ROW)
        found << sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    if (rc != SQLITE_DONE)
        fail(db);
    return found;
}

SqliteLoadReader::SqliteLoadReader(sqlite3 *db, const QList<qint64> &periods, qint64 cdsId, qint64 person)
{
    QByteArray keys;
    for (qint64 k : periods)
        keys += (keys.isEmpty() ? "" : ", ") + QByteArray::number(k);
    if (keys.isEmpty())
        keys = "NULL"; // no period: no row
    m_stmt = prepared(db, QByteArray(person == TTorDBCds::AllPersons ? TorStoreSql::LoadValuesOfPeriods
                                                                       : TorStoreSql::LoadValuesOfPeriodsOfPerson)
                              .replace("%1", keys));
    try {
        m_person = prepared(db, QByteArray(TorStoreSql::LoadPersonOfRow));
    } catch (...) {
        sqlite3_finalize(m_stmt);
        throw;
    }
    m_db = db;
    bindInt(m_stmt, ":ICDSID", cdsId);
    bindInt(m_stmt, ":IAFIID", person);
}

SqliteLoadReader::~SqliteLoadReader()
{
    sqlite3_finalize(m_person);
    sqlite3_finalize(m_stmt);
}

bool SqliteLoadReader::next()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        fail(m_db);
    return false;
}

sqlite3_stmt *SqliteLoadReader::source(int col, int *at)
{
    if (col >= cName) {
        *at = col - cName;
        return m_stmt;
    }
    // a person column: the row of the person of the current value row, as
    // the join gave it (none for a row without person or with one deleted)
    *at = col;
    const int afi = cAfi - cName;
    if (sqlite3_column_type(m_stmt, afi) == SQLITE_NULL)
        return nullptr;
    const qint64 id = sqlite3_column_int64(m_stmt, afi);
    if (!m_personRead || id != m_personId) {
        sqlite3_reset(m_person);
        sqlite3_bind_int64(m_person, 1, id);
        const int rc = sqlite3_step(m_person);
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            fail(m_db);
        m_personId = id;
        m_personRead = true;
        m_personFound = rc == SQLITE_ROW;
    }
    return m_personFound ? m_person : nullptr;
}

bool SqliteLoadReader::isNull(int col)
{
    int at = 0;
    sqlite3_stmt *s = source(col, &at);
    return !s || sqlite3_column_type(s, at) == SQLITE_NULL;
}

qint64 SqliteLoadReader::integer(int col)
{
    int at = 0;
    sqlite3_stmt *s = source(col, &at);
    return s ? sqlite3_column_int64(s, at) : 0;
}

QByteArray SqliteLoadReader::name(int col)
{
    int at = 0;
    sqlite3_stmt *s = source(col, &at);
    const char *t = s ? reinterpret_cast<const char *>(sqlite3_column_text(s, at)) : nullptr;
    return QByteArray::fromRawData(t ? t : "", t ? sqlite3_column_bytes(s, at) : 0);
}

QVariant SqliteLoadReader::cell(int col)
{
    int at = 0;
    sqlite3_stmt *s = source(col, &at);
    if (!s)
        return {};
    switch (sqlite3_column_type(s, at)) {
    case SQLITE_INTEGER: return qlonglong(sqlite3_column_int64(s, at));
    case SQLITE_FLOAT: return sqlite3_column_double(s, at);
    case SQLITE_NULL: return {};
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(s, at)), sqlite3_column_bytes(s, at));
    default:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(s, at)),
                                 sqlite3_column_bytes(s, at));
    }
}

void SqliteLoadReader::fail(sqlite3 *db)
{
    throw EDatabaseError(QStringLiteral("Errore del database: ") + QString::fromUtf8(sqlite3_errmsg(db)));
}

} // namespace TorStore
