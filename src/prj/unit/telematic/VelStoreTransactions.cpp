#include "src/prj/unit/telematic/VelStoreTransactions.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"
#include "tor/store/torUDBCds.h"

#include <QMap>
#include <QSqlError>
#include <QSqlQuery>

// ---------------------------------------------------------------- the snapshot

VelReadSnapshot::VelReadSnapshot(TOvSQLConnection *connection) : m_connection(connection)
{
    if (!m_connection || !m_connection->isOpen() || m_connection->inTransaction())
        return;
    QSqlQuery q(m_connection->database());
    const QString begin = m_connection->isPostgres()
                              ? QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")
                              : QStringLiteral("BEGIN");
    m_connection->aboutToRun(begin);
    if (!q.exec(begin))
        ovRaiseSqlError(q.lastError(), QStringLiteral("avvio della lettura delle certificazioni"));
    m_active = true;
}

VelReadSnapshot::~VelReadSnapshot()
{
    if (!m_active || !m_connection->isOpen())
        return;
    QSqlQuery q(m_connection->database());
    q.exec(QStringLiteral("ROLLBACK")); // a read: nothing to keep, nothing to report
}

void VelReadSnapshot::end()
{
    if (!m_active)
        return;
    // Refused here, the destructor rolls the read back.
    m_connection->aboutToRun(QStringLiteral("COMMIT"));
    m_active = false;
    QSqlQuery q(m_connection->database());
    if (!q.exec(QStringLiteral("COMMIT"))) {
        const QSqlError e = q.lastError();
        QSqlQuery(m_connection->database()).exec(QStringLiteral("ROLLBACK"));
        ovRaiseSqlError(e, QStringLiteral("fine della lettura delle certificazioni"));
    }
}

// ---------------------------------------------------------------- annotation rows

namespace VelAnnotationRows {

QString column(int k)
{
    return QStringLiteral("SANN7%1").arg(k + 1, 2, 10, QLatin1Char('0'));
}

namespace {

// The persons among `ids` that exist now; on PostgreSQL they stay locked
// against deletion until the transaction ends.
QSet<qint64> existing(TOvSQLConnection &c, const QList<qint64> &ids)
{
    constexpr qsizetype Chunk = 200;
    QSet<qint64> out;
    for (qsizetype from = 0; from < ids.size(); from += Chunk) {
        QStringList marks;
        QVariantMap params;
        for (qsizetype i = from; i < qMin(ids.size(), from + Chunk); ++i) {
            const QString name = QStringLiteral("P%1").arg(i - from);
            marks << QLatin1Char(':') + name;
            params.insert(name, ids.at(i));
        }
        QString sql = QStringLiteral("SELECT iafiid FROM tafi_anafiscale WHERE iafiid IN (%1)").arg(marks.join(QStringLiteral(", ")));
        if (c.isPostgres())
            sql += QStringLiteral(" FOR SHARE");
        QSqlQuery q = c.exec(sql, params);
        while (q.next())
            out.insert(q.value(0).toLongLong());
    }
    return out;
}

} // namespace

Result save(TTorDBCds &store, const QList<Pending> &pending)
{
    Result out;
    if (pending.isEmpty())
        return out;
    TOvSQLConnection *conn = store.connection();
    if (!conn)
        throw EAssertionFailed(QStringLiteral("Archivio fiscale senza connessione al database."));
    TOvSQLConnection &c = *conn;
    TOvTransaction tr(&c);
    const bool own = !c.inTransaction();
    if (own)
        tr.StartTransaction();

    // The CU structure's row first, as the import of every employee takes it:
    // no CU is replaced between the check below and the commit, and the two
    // never wait for each other in a circle.
    c.exec(QStringLiteral("UPDATE tcds_struttura SET icdsrigo = icdsrigo WHERE lower(scdsnome) = :NOME "
                          "AND lower(scdsprogramma) = :PROGRAMMA"),
           {{QStringLiteral("NOME"), QStringLiteral("tcud_daticud")},
            {QStringLiteral("PROGRAMMA"), store.program().toLower()}});

    QList<qint64> ids;
    for (const Pending &p : pending)
        if (!ids.contains(p.person))
            ids << p.person;
    const QSet<qint64> alive = existing(c, ids);
    QSet<qint64> replace;
    QMap<int, QList<const Pending *>> byMonth;
    for (const Pending &p : pending) {
        if (alive.contains(p.person)) {
            replace.insert(p.person);
            byMonth[p.month] << &p;
        } else {
            out.gone << p;
        }
    }

    if (!replace.isEmpty()) {
        // The rows as they are now, read in this transaction: the old rows of
        // these persons go, whoever wrote them.
        TClientDataSet now;
        store.Load(now, QLatin1String(Structure), TTorDBCds::AllMonths);
        const int fAfi = now.fieldIndex(QStringLiteral("IAFIID"));
        if (fAfi < 0)
            throw EAssertionFailed(QStringLiteral("La struttura %1 non ha la colonna IAFIID").arg(QLatin1String(Structure)));
        now.first();
        while (!now.eof()) {
            if (replace.contains(now.field(fAfi).asInteger()))
                now.deleteRecord();
            else
                now.next();
        }
        if (now.changeCount() > 0)
            store.Save(now, QLatin1String(Structure), TTorDBCds::AllMonths);

        for (auto it = byMonth.cbegin(); it != byMonth.cend(); ++it) {
            TClientDataSet rows;
            rows.setFieldDefs(now.fieldDefs());
            rows.createDataSet();
            const int fMonth = rows.fieldIndex(QStringLiteral("SCUDMESE"));
            for (const Pending *p : it.value()) {
                for (const QStringList &codes : p->rows) {
                    rows.append();
                    rows.fieldByName(QStringLiteral("IAFIID")).setAsInteger(p->person);
                    rows.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(p->codFis);
                    if (fMonth >= 0 && !p->monthText.isEmpty())
                        rows.field(fMonth).setAsString(p->monthText);
                    for (qsizetype k = 0; k < codes.size(); ++k)
                        rows.fieldByName(column(int(k))).setAsString(codes[k]);
                    rows.post();
                }
            }
            if (!rows.isEmpty())
                store.Save(rows, QLatin1String(Structure), it.key());
        }
    }
    if (own)
        tr.Commit();
    out.written = replace;
    return out;
}

} // namespace VelAnnotationRows
