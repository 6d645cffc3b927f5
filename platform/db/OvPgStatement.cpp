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

QSqlError TOvPgStatement::runTogether(pg_conn *conn, const std::vector<Queued> &runs, const char *last)
{
    if (runs.empty() && !last)
        return QSqlError();
    // The rest of the answer to a statement read forward only: the Qt driver
    // leaves it until its next statement, which drops it the same way.
    while (PGresult *rest = PQgetResult(conn))
        PQclear(rest);
    if (PQenterPipelineMode(conn) != 1)
        return errorOf(conn, "Unable to create query", nullptr);
    // What each answer the server gives in order belongs to: a preparation
    // (the statement it names), a run, or the last text.
    struct Sent
    {
        TOvPgStatement *prepared = nullptr;
        QByteArray name;
    };
    std::vector<Sent> sent;
    QSqlError error;
    bool sending = true;
    for (const Queued &q : runs) {
        TOvPgStatement *st = q.statement;
        QByteArray name = st->m_name;
        // A statement prepared earlier in this same exchange is not again.
        for (const Sent &s : sent)
            if (s.prepared == st)
                name = s.name;
        if (name.isEmpty()) {
            static std::atomic<quint64> made{0};
            name = "velcu_ps_p" + QByteArray::number(++made);
            if (PQsendPrepare(conn, name.constData(), st->m_sql.constData(), 0, nullptr) != 1) {
                sending = false;
                break;
            }
            sent.push_back({st, name});
        }
        const int n = int(q.values.size());
        std::vector<const char *> values(size_t(n), nullptr);
        std::vector<int> lengths(size_t(n), 0);
        for (int i = 0; i < n; ++i) {
            if (q.null.at(i))
                continue;
            values[size_t(i)] = q.values.at(i).constData();
            lengths[size_t(i)] = int(q.values.at(i).size());
        }
        if (PQsendQueryPrepared(conn, name.constData(), n, values.data(), lengths.data(), q.binary.constData(), 0)
            != 1) {
            sending = false;
            break;
        }
        sent.push_back({nullptr, QByteArray()});
    }
    if (sending && last) {
        if (PQsendQueryParams(conn, last, 0, nullptr, nullptr, nullptr, nullptr, 0) != 1)
            sending = false;
        else
            sent.push_back({nullptr, QByteArray()});
    }
    if (!sending)
        error = errorOf(conn, "Unable to create query", nullptr);
    if (PQpipelineSync(conn) != 1) {
        // Nothing will come back: the connection is gone or unusable.
        if (!error.isValid())
            error = errorOf(conn, "Unable to create query", nullptr);
        PQexitPipelineMode(conn);
        return error;
    }
    // Every answer is read up to the synchronisation point, those after a
    // refusal too (the server skipped them), so that the connection is idle
    // again for the driver.
    size_t answered = 0;
    for (int idle = 0; idle < 2;) {
        Result r(PQgetResult(conn));
        if (!r) {
            // The end of one statement's answers; twice in a row with no
            // answer in between, nothing more will come.
            ++idle;
            if (PQstatus(conn) == CONNECTION_BAD)
                break;
            continue;
        }
        idle = 0;
        const ExecStatusType status = PQresultStatus(r.get());
        if (status == PGRES_PIPELINE_SYNC)
            break;
        const size_t at = answered++;
        if (status == PGRES_PIPELINE_ABORTED)
            continue;
        if (!succeeded(r.get())) {
            if (!error.isValid())
                error = errorOf(conn, "Unable to create query", r.get());
            continue;
        }
        if (at < sent.size() && sent[at].prepared)
            sent[at].prepared->m_name = sent[at].name;
    }
    if (!error.isValid() && answered != sent.size())
        error = errorOf(conn, "Unable to create query", nullptr);
    if (PQexitPipelineMode(conn) != 1 && !error.isValid())
        error = errorOf(conn, "Unable to create query", nullptr);
    return error;
}

QSqlError TOvPgStatement::errorOf(pg_conn *conn, const char *what, PGresult *result)
{
    // The same error the driver gives: the server's message with its
    // SQLSTATE, which ovSqlCause() reads.
    const QString state = result ? QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QString();
    QString message = QString::fromUtf8(result ? PQresultErrorMessage(result) : PQerrorMessage(conn));
    if (message.trimmed().isEmpty())
        message = QString::fromUtf8(PQerrorMessage(conn));
    if (!state.isEmpty())
        message += QStringLiteral("(%1)").arg(state);
    return QSqlError(QStringLiteral("QPSQL: ") + QString::fromLatin1(what), message, QSqlError::StatementError, state);
}

void TOvPgStatement::fail(const char *what, PGresult *result)
{
    ovRaiseSqlError(errorOf(m_conn, what, result));
}
