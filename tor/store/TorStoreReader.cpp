#include "tor/store/TorStoreReader.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"

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
    c.countStatement();
    if (!q.exec())
        ovRaiseSqlError(q.lastError());
}

SqliteLoadReader::SqliteLoadReader(sqlite3 *db, const QString &sqlText)
{
    const QByteArray text = sqlText.toUtf8();
    if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_stmt, nullptr) != SQLITE_OK)
        fail(db);
    m_db = db;
}

SqliteLoadReader::~SqliteLoadReader()
{
    sqlite3_finalize(m_stmt);
}

void SqliteLoadReader::bind(const char *name, qint64 v)
{
    const int i = sqlite3_bind_parameter_index(m_stmt, name);
    if (i > 0)
        sqlite3_bind_int64(m_stmt, i, v);
}

void SqliteLoadReader::bind(const char *name, const QString &v)
{
    const int i = sqlite3_bind_parameter_index(m_stmt, name);
    const QByteArray u = v.toUtf8();
    if (i > 0)
        sqlite3_bind_text(m_stmt, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
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

bool SqliteLoadReader::isNull(int col)
{
    return sqlite3_column_type(m_stmt, col) == SQLITE_NULL;
}

qint64 SqliteLoadReader::integer(int col)
{
    return sqlite3_column_int64(m_stmt, col);
}

QByteArray SqliteLoadReader::name(int col)
{
    const char *t = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, col));
    return QByteArray::fromRawData(t ? t : "", t ? sqlite3_column_bytes(m_stmt, col) : 0);
}

QVariant SqliteLoadReader::cell(int col)
{
    switch (sqlite3_column_type(m_stmt, col)) {
    case SQLITE_INTEGER: return qlonglong(sqlite3_column_int64(m_stmt, col));
    case SQLITE_FLOAT: return sqlite3_column_double(m_stmt, col);
    case SQLITE_NULL: return {};
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(m_stmt, col)), sqlite3_column_bytes(m_stmt, col));
    default:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, col)),
                                 sqlite3_column_bytes(m_stmt, col));
    }
}

void SqliteLoadReader::fail(sqlite3 *db)
{
    throw EDatabaseError(QStringLiteral("Errore del database: ") + QString::fromUtf8(sqlite3_errmsg(db)));
}

} // namespace TorStore
