#include "tor/store/TorStoreVersions.h"

#include "platform/db/OvSQLConnection.h"
#include "tor/store/TorStoreReader.h"
#include "tor/store/TorStoreSql.h"
#include "tor/store/torUDBCds.h"

#include <QSqlQuery>

namespace TorStore {

void VersionScope::touch(qint64 afi, bool deleting, const Who &who)
{
    if (afi <= 0 || m_made.contains(afi))
        return;
    if (const auto b = m_bumped.constFind(afi);
        b != m_bumped.cend() && b->conn == &m_c && b->serial == m_c.transactionSerial())
        return;
    const bool named = m_expected && m_expected->contains(afi);
    const qint64 expected = named ? m_expected->value(afi) : -1;
    QSqlQuery &bump = reused(m_c, sql(TorStoreSql::BumpVersion));
    bump.bindValue(QStringLiteral(":IAFIID"), afi);
    bump.bindValue(QStringLiteral(":ATTESA"), expected);
    run(m_c, bump);
    const bool moved = bump.next();
    const qint64 now = moved ? bump.value(0).toLongLong() : 0;
    bump.finish();
    if (!moved) {
        // the rows of a person already gone may go; nothing is written for one
        if (deleting && !named)
            return;
        ETorChangedMeanwhile::Person p;
        p.key = afi;
        p.expected = named ? expected : 0;
        QSqlQuery &q = reused(m_c, sql(TorStoreSql::VersionOf));
        q.bindValue(QStringLiteral(":IAFIID"), afi);
        run(m_c, q);
        p.found = q.next() ? q.value(0).toLongLong() : 0;
        q.finish();
        const QPair<QString, QString> w = who();
        p.codFis = w.first;
        p.group = w.second;
        throw ETorChangedMeanwhile(p);
    }
    m_bumped.insert(afi, {m_c.transactionSerial(), &m_c});
    if (m_expected)
        remember(afi, now);
}

void VersionScope::made(qint64 afi)
{
    m_made.insert(afi);
    // made in this transaction: its later saves in it leave version 1 as it is
    m_bumped.insert(afi, {m_c.transactionSerial(), &m_c});
    if (m_expected)
        remember(afi, 1);
}

void VersionScope::remember(qint64 afi, qint64 version)
{
    if (!m_before.contains(afi))
        m_before.insert(afi, m_expected->contains(afi) ? m_expected->value(afi) : NotRead);
    m_expected->insert(afi, version);
}

void VersionScope::undo()
{
    if (!m_expected)
        return;
    for (auto it = m_before.cbegin(); it != m_before.cend(); ++it) {
        if (it.value() == NotRead)
            m_expected->remove(it.key());
        else
            m_expected->insert(it.key(), it.value());
    }
    m_before.clear();
}

} // namespace TorStore
