#include "platform/db/OvSqliteStatement.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvBoundValue.h"
#include "platform/db/OvSQLConnection.h"

#include <QDate>
#include <QDateTime>
#include <QSqlError>
#include <sqlite3.h>
#include <atomic>

namespace {

using ovbind::held;
using ovbind::isNullValue;

int bindText(sqlite3_stmt *stmt, int index, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return sqlite3_bind_text(stmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

}

TOvSqliteStatement::TOvSqliteStatement(sqlite3 *db, const QString &sql) : m_db(db)
{
    static std::atomic<quint64> made{0};
    m_serial = ++made;
    const QByteArray text = sql.toUtf8();
    const int rc = sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_stmt, nullptr);
    if (rc != SQLITE_OK)
        fail(rc);
}

TOvSqliteStatement::~TOvSqliteStatement()
{
    sqlite3_finalize(m_stmt);
}

void TOvSqliteStatement::bind(int position, const QVariant &value)
{
    const int index = position + 1;
    int rc = SQLITE_OK;
    if (isNullValue(value)) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
            rc = sqlite3_bind_int(m_stmt, index, value.toInt());
            break;
        case QMetaType::UInt:
        case QMetaType::LongLong:
            rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
            rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        case QMetaType::QString:
            rc = bindText(m_stmt, index, held<QString>(value));
            break;
        case QMetaType::QByteArray: {
            const QByteArray &b = held<QByteArray>(value);
            rc = sqlite3_bind_blob(m_stmt, index, b.constData(), int(b.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::QDateTime:
            rc = bindText(m_stmt, index, value.toDateTime().toString(Qt::ISODateWithMs));
            break;
        case QMetaType::QTime:
            rc = bindText(m_stmt, index, value.toTime().toString(Qt::ISODateWithMs));
            break;
        default:
            rc = bindText(m_stmt, index, value.toString());
            break;
        }
    }
    if (rc != SQLITE_OK)
        fail(rc);
}

bool TOvSqliteStatement::bindByName(const QVariantMap &params)
{
    if (!m_namesRead) {
        m_namesRead = true;
        const int count = sqlite3_bind_parameter_count(m_stmt);
        for (int i = 1; i <= count && m_byName; ++i) {
            const char *name = sqlite3_bind_parameter_name(m_stmt, i);
            m_byName = name && name[0] == ':';
            if (m_byName)
                m_names << QString::fromUtf8(name);
        }
    }
    if (!m_byName)
        return false;
    for (int i = 0; i < m_names.size(); ++i) {
        const QString &name = m_names.at(i);
        auto it = params.constFind(name);
        if (it == params.cend())
            it = params.constFind(name.mid(1));
        bind(i, it == params.cend() ? QVariant() : *it);
    }
    return true;
}

bool TOvSqliteStatement::next()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        fail(rc);
    sqlite3_reset(m_stmt);
    return false;
}

int TOvSqliteStatement::columnCount() const
{
    return sqlite3_column_count(m_stmt);
}

QString TOvSqliteStatement::columnName(int column) const
{
    return QString::fromUtf8(sqlite3_column_name(m_stmt, column)).remove(QLatin1Char('"'));
}

const char *TOvSqliteStatement::declaredType(int column) const
{
    return sqlite3_column_decltype(m_stmt, column);
}

QVariant TOvSqliteStatement::value(int column) const
{
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char *>(sqlite3_column_blob(m_stmt, column)),
                          sqlite3_column_bytes(m_stmt, column));
    case SQLITE_INTEGER:
        return QVariant(qlonglong(sqlite3_column_int64(m_stmt, column)));
    case SQLITE_FLOAT:
        return sqlite3_column_double(m_stmt, column);
    case SQLITE_NULL:
        return QVariant(QMetaType::fromType<QString>());
    default:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, column)),
                                 sqlite3_column_bytes(m_stmt, column));
    }
}

void TOvSqliteStatement::reset()
{
    sqlite3_reset(m_stmt);
}

void TOvSqliteStatement::bindUtf8(int position, const QByteArray &text)
{
    const int rc = sqlite3_bind_text(m_stmt, position + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
    if (rc != SQLITE_OK)
        fail(rc);
}

void TOvSqliteStatement::run()
{
    const int rc = sqlite3_step(m_stmt);
    if (rc != SQLITE_DONE && rc != SQLITE_ROW)
        fail(rc);
    sqlite3_reset(m_stmt);
}

void TOvSqliteStatement::fail(int rc)
{
    // The same error the driver would have given: the engine's message and
    // its extended code, read by ovSqlCause().
    const int extended = sqlite3_extended_errcode(m_db);
    const QSqlError error(QString(), QString::fromUtf8(sqlite3_errmsg(m_db)), QSqlError::StatementError,
                          QString::number(extended != SQLITE_OK ? extended : rc));
    // Ready again, and not holding what a half-run step took.
    if (m_stmt)
        sqlite3_reset(m_stmt);
    ovRaiseSqlError(error);
}
