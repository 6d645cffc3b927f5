#include "platform/db/OvPgRows.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvPgStatement.h"
#include "platform/db/OvSQLConnection.h"

#include <QDate>
#include <QDateTime>
#include <QTime>
#include <libpq-fe.h>

TOvPgRows::TOvPgRows(TOvSQLConnection &c, const QString &sql)
{
    auto *conn = static_cast<PGconn *>(c.nativeHandle());
    if (!conn || !c.isPostgres())
        throw EAssertionFailed(QStringLiteral("Lettura diretta dal server senza una connessione PostgreSQL aperta."));
    c.countStatement();
    // What is left of an answer the Qt driver read forward only: its next
    // statement would drop it the same way.
    while (PGresult *rest = PQgetResult(conn))
        PQclear(rest);
    m_result = PQexecParams(conn, sql.toUtf8().constData(), 0, nullptr, nullptr, nullptr, nullptr, 0);
    if (m_result && PQresultStatus(m_result) == PGRES_TUPLES_OK)
        return;
    const QSqlError error = TOvPgStatement::errorOf(conn, "Unable to create query", m_result);
    PQclear(m_result);
    m_result = nullptr;
    if (PQstatus(conn) == CONNECTION_BAD)
        throw EOvConnectionLost();
    ovRaiseSqlError(error);
}

TOvPgRows::~TOvPgRows()
{
    PQclear(m_result);
}

int TOvPgRows::rows() const { return PQntuples(m_result); }
int TOvPgRows::columns() const { return PQnfields(m_result); }
QString TOvPgRows::name(int column) const { return QString::fromUtf8(PQfname(m_result, column)); }
unsigned TOvPgRows::type(int column) const { return PQftype(m_result, column); }
bool TOvPgRows::isNull(int row, int column) const { return PQgetisnull(m_result, row, column); }

QByteArray TOvPgRows::text(int row, int column) const
{
    return QByteArray::fromRawData(PQgetvalue(m_result, row, column), PQgetlength(m_result, row, column));
}

// The kind the Qt driver gives a server type.
static QMetaType kindOf(unsigned oid)
{
    switch (oid) {
    case TOvPgRows::Bool: return QMetaType::fromType<bool>();
    case TOvPgRows::Int8: return QMetaType::fromType<qlonglong>();
    case TOvPgRows::Int2: case TOvPgRows::Int4: return QMetaType::fromType<int>();
    case TOvPgRows::Numeric: case TOvPgRows::Float4: case TOvPgRows::Float8: return QMetaType::fromType<double>();
    case TOvPgRows::Date: return QMetaType::fromType<QDate>();
    case TOvPgRows::Time: case TOvPgRows::TimeTz: return QMetaType::fromType<QTime>();
    case TOvPgRows::Timestamp: case TOvPgRows::TimestampTz: return QMetaType::fromType<QDateTime>();
    case TOvPgRows::Bytea: return QMetaType::fromType<QByteArray>();
    default: return QMetaType::fromType<QString>();
    }
}

bool TOvPgRows::isText(int column) const
{
    return kindOf(type(column)) == QMetaType::fromType<QString>();
}

QVariant TOvPgRows::value(int row, int column) const
{
    const unsigned oid = type(column);
    const QMetaType t = kindOf(oid);
    if (isNull(row, column))
        return QVariant(t, nullptr);
    const QByteArray v = text(row, column);
    switch (oid) {
    case Bool:
        return QVariant(v.startsWith('t'));
    case Int8:
        return v.startsWith('-') ? QVariant(v.toLongLong()) : QVariant(v.toULongLong());
    case Int2: case Int4:
        return QVariant(v.toInt());
    case Numeric: case Float4: case Float8: {
        bool ok = false;
        const double d = v.toDouble(&ok);
        if (ok)
            return QVariant(d);
        if (qstricmp(v.constData(), "NaN") == 0)
            return QVariant(qQNaN());
        if (qstricmp(v.constData(), "Infinity") == 0)
            return QVariant(qInf());
        if (qstricmp(v.constData(), "-Infinity") == 0)
            return QVariant(-qInf());
        return QVariant();
    }
    case Date:
        return QVariant(QDate::fromString(QString::fromLatin1(v), Qt::ISODate));
    case Time: case TimeTz:
        return QVariant(QTime::fromString(QString::fromLatin1(v), Qt::ISODate));
    case Timestamp: case TimestampTz: {
        // A time with no zone of its own is taken as UTC.
        const QString s = QString::fromLatin1(v);
        const QStringView time = QStringView(s).mid(11);
        if (time.contains(u'-') || time.contains(u'+') || time.endsWith(u'Z'))
            return QVariant(QDateTime::fromString(s, Qt::ISODate));
        return QVariant(QDateTime::fromString(s + u'Z', Qt::ISODate));
    }
    case Bytea: {
        size_t len = 0;
        unsigned char *data = PQunescapeBytea(reinterpret_cast<const unsigned char *>(v.constData()), &len);
        const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(len));
        PQfreemem(data);
        return QVariant(bytes);
    }
    default:
        return QVariant(QString::fromUtf8(v));
    }
}
