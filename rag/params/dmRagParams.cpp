#include "dmRagParams.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/framework/OvShell.h"
#include "tor/query/torCQueryText.h"
#include "tor/util/TorAnni.h"
#include "tor/util/TorFolders.h"

TdmRagParams::TdmRagParams(TOvSQLConnection *connection, QObject *parent)
    : QObject(parent), m_connection(connection ? connection : OvGlobConn)
{
    xpmOvuParams.declare(ParAnfId, GroupParams);
    xpmOvuParams.declare(ParAnsId, GroupParams);
    xpmOvuParams.declare(ParDwgId, GroupParams);
    qquPaco.setConnection(m_connection);
    qquAppoggio.setConnection(m_connection);
    QueryText().SetQuery(QStringLiteral("QRY_PACO_ANF"), qquPaco, 0, QStringLiteral("SELECT"));
}

TdmRagParams::~TdmRagParams() = default;

QVariant TdmRagParams::accountingParam(const QString &column)
{
    if (!qquPaco.active()) {
        qquPaco.paramByName(QStringLiteral("IANFID")).setAsInteger(xpmOvuParams.intValue(ParAnfId));
        qquPaco.open();
    }
    const TField f = qquPaco.findField(column);
    if (!f.isValid())
        throw EAssertionFailed(QStringLiteral("Parametro contabile sconosciuto: %1").arg(column));
    return qquPaco.isEmpty() ? QVariant() : f.value();
}

bool TdmRagParams::accountTypeExists(int type)
{
    QueryText().SetQuery(QStringLiteral("QRY_NAF_CONTI_TEST"), qquAppoggio, 0, QStringLiteral("SELECT"));
    qquAppoggio.paramByName(QStringLiteral("ITIMID")).setAsInteger(type);
    qquAppoggio.open();
    const bool exists = !qquAppoggio.isEmpty();
    qquAppoggio.close();
    return exists;
}

bool TdmRagParams::chartOfAccountsReady()
{
    if (accountingParam(QStringLiteral("LPACOAFAM")).toInt() == 1)
        return true;
    if (accountTypeExists(500001) || accountTypeExists(200001))
        return true;
    // Converted by the payroll side's own program, then asked again.
    QString db;
    if (m_connection)
        db = m_connection->isSQLite() ? m_connection->config().path : m_connection->config().database;
    ovShell()->runAndWait(TorFolders::binDir() + chartUpdateProgram(), {db}, TorFolders::binDir());
    return accountTypeExists(200001);
}

bool TdmRagParams::checkValue(const QString &parameter, const TOvParamChoice &choice)
{
    if (xpmOvuParams.groupOf(parameter) != GroupParams)
        return true;
    if (!choice.hasSelection)
        return false;
    if (parameter.compare(ParAnfId, Qt::CaseInsensitive) != 0)
        return true;
    // Compared as text, as the choice box shows the years.
    const QString year = choice.text.trimmed();
    if (year < QStringLiteral("2019") || year > QStringLiteral("2026"))
        return false;
    QueryText().SetQuery(QStringLiteral("QRY_NAF_EFFETTUATO"), qquAppoggio, 0, QStringLiteral("SELECT"));
    qquAppoggio.paramByName(QStringLiteral("IANFID")).setAsInteger(TorAnni::toKey(2019));
    qquAppoggio.open();
    const qint64 done = qquAppoggio.isEmpty() ? 0 : qquAppoggio.fieldByName(QStringLiteral("TOTALE")).asInteger();
    qquAppoggio.close();
    if (done > 0)
        return true;
    return chartOfAccountsReady();
}

TRagLiquidazione TdmRagParams::checkRun(int year, const TRagLiqCorrente &run)
{
    TRagLiquidazione r;
    if (!run.isSet())
        return r;
    QueryText().SetQuery(QStringLiteral("QRY_REGS_GRUPPO_TEST"), qquAppoggio, 0, QStringLiteral("SELECT"));
    qquAppoggio.paramByName(QStringLiteral("IANFID")).setAsInteger(TorAnni::toKey(year));
    qquAppoggio.paramByName(QStringLiteral("IMESID")).setAsInteger(run.mese);
    qquAppoggio.paramByName(QStringLiteral("ICOTID")).setAsInteger(run.id);
    qquAppoggio.paramByName(QStringLiteral("IREGSGRUPPO")).setAsInteger(run.gruppo);
    qquAppoggio.open();
    if (!qquAppoggio.isEmpty()) {
        r.found = true;
        r.descrizione = qquAppoggio.fieldByName(QStringLiteral("SCOTLDESC")).asString();
        r.fondamentale = int(qquAppoggio.fieldByName(QStringLiteral("ICOTFONDAMENTALE")).asInteger());
    }
    qquAppoggio.close();
    return r;
}
