#include "platform/db/OvPgStatement.h"

#include "platform/db/OvBoundValue.h"
#include "platform/db/OvSQLConnection.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QSqlError>
#include <QTime>
#include <libpq-fe.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

using ovbind::held;
using ovbind::isNullValue;

struct ResultFree
{
    void operator()(PGresult *r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ResultFree>;

bool succeeded(const PGresult *r)
{
    const ExecStatusType s = PQresultStatus(r);
    return r && (s == PGRES_COMMAND_OK || s == PGRES_TUPLES_OK);
}

} // namespace

TOvPgStatement::TOvPgStatement(pg_conn *conn, const QString &sql) : m_conn(conn), m_sql(sql.toUtf8())
{
}

void TOvPgStatement::bind(int position, const QVariant &value)
{
    if (position >= m_values.size()) {
        m_values.resize(position + 1);
        m_null.resize(position + 1, true);
        m_binary.resize(position + 1, 0);
    }
    QByteArray &text = m_values[position];
    m_binary[position] = 0;
    m_null[position] = isNullValue(value);
    if (m_null[position]) {
        text.clear();
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        text = held<bool>(value) ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
        break;
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong:
        text.setNum(value.toLongLong());
        break;
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        text.setNum(value.toULongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        // The shortest text that reads back as the same double, as the
        // driver writes it.
        text = QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest).toLatin1();
        break;
    case QMetaType::QString:
        text = held<QString>(value).toUtf8();
        break;
    case QMetaType::QByteArray:
        text = held<QByteArray>(value);
        m_binary[position] = 1;
        break;
    case QMetaType::QDate:
        text = held<QDate>(value).toString(Qt::ISODate).toLatin1();
        break;
    default:
        text = value.toString().toUtf8();
        break;
    }
}

void TOvPgStatement::run()
{
    if (m_name.isEmpty()) {
        static std::atomic<quint64> made{0};
        const QByteArray name = "velcu_ps_" + QByteArray::number(++made);
        Result r(PQprepare(m_conn, name.constData(), m_sql.constData(), 0, nullptr));
        if (!succeeded(r.get()))
            fail("Unable to prepare statement", r.get());
        m_name = name;
    }
    const int n = int(m_values.size());
    std::vector<const char *> values(size_t(n), nullptr);
    std::vector<int> lengths(size_t(n), 0);
    for (int i = 0; i < n; ++i) {
        if (m_null.at(i))
            continue;
        values[size_t(i)] = m_values.at(i).constData();
        lengths[size_t(i)] = int(m_values.at(i).size());
    }
    Result r(PQexecPrepared(m_conn, m_name.constData(), n, values.data(), lengths.data(), m_binary.constData(), 0));
    if (!succeeded(r.get()))
        fail("Unable to create query", r.get());
}

void TOvPgStatement::fail(const char *what, PGresult *result)
{
    // The same error the driver gives: the server's message with its
    // SQLSTATE, which ovSqlCause() reads.
    const QString state = result ? QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QString();
    QString message = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(m_conn));
    if (message.trimmed().isEmpty())
        message = QString::fromUtf8(PQerrorMessage(m_conn));
    if (!state.isEmpty())
        message += QStringLiteral("(%1)").arg(state);
    ovRaiseSqlError(QSqlError(QStringLiteral("QPSQL: ") + QString::fromLatin1(what), message,
                              QSqlError::StatementError, state));
}
