#include "dmRagParams.h"
#include "tor/util/TorCampagna.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/framework/OvShell.h"
#include "tor/query/torCQueryText.h"
#include "tor/util/TorAnni.h"
#include "tor/util/TorFolders.h"

TdmRagParams::TdmRagParams(TOvSQLConnection *connection, QObject *parent)
    : QObject(parent), m_connection(connection)
{
    xpmOvuParams.declare(ParAnfId, GroupParams);
    xpmOvuParams.declare(ParAnsId, GroupParams);
    xpmOvuParams.declare(ParDwgId, GroupParams);
    qquPaco.setConnection(this->connection());
    qquAppoggio.setConnection(this->connection());
    QueryText().SetQuery(QStringLiteral("QRY_PACO_ANF"), qquPaco, 0, QStringLiteral("SELECT"));
    xpmOvuParams.OnCheckValue = [this](const QString &name, const QVariant &value, bool &ok) {
        TOvParamChoice choice;
        choice.hasSelection = value.isValid() && !value.isNull() && !value.toString().trimmed().isEmpty();
        choice.text = value.toString();
        // The financial year is kept as its key (56) and chosen as its text (2025).
        bool isNumber = false;
        const int n = value.toInt(&isNumber);
        if (isNumber && name.compare(ParAnfId, Qt::CaseInsensitive) == 0)
            choice.text = QString::number(TorAnni::toYear(n));
        ok = checkValue(name, choice);
    };
}

TdmRagParams::~TdmRagParams() = default;

TOvSQLConnection *TdmRagParams::connection() const
{
    return m_connection ? m_connection : OvGlobConn;
}

void TdmRagParams::bindConnection()
{
    // The module is created before the program connects: the connection is
    // the one in force when a query runs, not the one at creation.
    TOvSQLConnection *c = connection();
    if (qquPaco.connection() != c) {
        qquPaco.close();
        qquPaco.setConnection(c);
    }
    if (qquAppoggio.connection() != c) {
        qquAppoggio.close();
        qquAppoggio.setConnection(c);
    }
}

QVariant TdmRagParams::accountingParam(const QString &column)
{
    bindConnection();
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
    if (TOvSQLConnection *c = connection())
        db = c->isSQLite() ? c->config().path : c->config().database;
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
    if (year < QStringLiteral("2019") || year > Campagna::anno(Campagna::AnnoInvio))
        return false;
    // Without a database (before the program connects) only the range is checked.
    if (!connection() || !connection()->isOpen())
        return true;
    bindConnection();
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
    bindConnection();
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
