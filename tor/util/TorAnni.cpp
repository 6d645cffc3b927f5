#include "TorAnni.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvParamManager.h"
#include "platform/db/OvSQLConnection.h"

#include <QDate>
#include <QDateTime>
#include <QSqlQuery>

namespace TorAnni {
int toKey(int yearOrKey) { return yearOrKey < 1970 ? yearOrKey : yearOrKey - 1969; }
int toYear(int keyOrYear) { return keyOrYear < 1900 ? keyOrYear + 1969 : keyOrYear; }
} // namespace TorAnni

namespace {
QString usDate(const QVariant &v)
{
    QDate d = v.typeId() == QMetaType::QString ? QDate::fromString(v.toString().left(10), Qt::ISODate)
                                                : (v.toDateTime().isValid() ? v.toDateTime().date() : v.toDate());
    return d.isValid() ? d.toString(QStringLiteral("MM/dd/yyyy")) : QString();
}
} // namespace

int TTorAnno::key() const
{
    const TOvParamManager *pm = m_params ? m_params : OvMainParams();
    if (!pm)
        throw EAssertionFailed(QStringLiteral("Nessun gestore dei parametri collegato (%1)").arg(QLatin1String(m_param)));
    return pm->intValue(QLatin1String(m_param));
}

void TTorAnno::load()
{
    m_start.clear();
    m_end.clear();
    TOvSQLConnection *c = m_connection ? m_connection : OvGlobConn;
    if (!c)
        throw EAssertionFailed(QStringLiteral("Nessuna connessione per gli anni"));
    QSqlQuery q = c->exec(QLatin1String(m_statement), {{QStringLiteral("IDANNO"), key()}});
    if (q.next()) {
        m_start = usDate(q.value(0));
        m_end = usDate(q.value(1));
    }
}

void TTorAnno::setYearText(const QString &year)
{
    bool ok = false;
    const int n = year.trimmed().toInt(&ok);
    if (!ok)
        throw EOvError(QStringLiteral("Anno non valido: \"%1\"").arg(year));
    TOvParamManager *pm = m_params ? m_params : OvMainParams();
    if (!pm)
        throw EAssertionFailed(QStringLiteral("Nessun gestore dei parametri collegato (%1)").arg(QLatin1String(m_param)));
    pm->setValue(QLatin1String(m_param), TorAnni::toKey(n));
    load();
}

TTorAnnoFinanziario::TTorAnnoFinanziario()
    : TTorAnno("OVUP_AnfId", "SELECT DANFORVEXINIZIO, DANFORVEXFINE FROM TANF_ANNIFINANZ WHERE IANFID=:IDANNO")
{
}

TTorAnnoScolastico::TTorAnnoScolastico()
    : TTorAnno("OVUP_AnsId", "SELECT DANSORVEXINIZIO, DANSORVEXFINE FROM TANS_ANNISCOLAST WHERE IANSID=:IDANNO")
{
}

TTorAnnoFinanziario &annoFinanziario()
{
    static TTorAnnoFinanziario a;
    return a;
}

TTorAnnoScolastico &annoScolastico()
{
    static TTorAnnoScolastico a;
    return a;
}
