#pragma once
// The parameter module of the payroll side: the framework parameters
// (financial year, school year, workgroup) with their check, the payroll
// accounting parameters of the financial year, and the current payroll run.
#include "platform/core/OvParamManager.h"
#include "platform/sql/OvSQLQuery.h"
#include "rag/params/RagParIni.h"

#include <QObject>
#include <QString>
#include <QVariant>

class TOvSQLConnection;

// What the framework's parameter dialog proposes for a parameter: whether its
// choice box has a selection, and the text of the selected item.
struct TOvParamChoice
{
    bool hasSelection = false;
    QString text;
};

// A payroll run as read from the payroll tables.
struct TRagLiquidazione
{
    bool found = false;
    QString descrizione;  // SCOTLDESC
    int fondamentale = 0; // ICOTFONDAMENTALE
};

class TdmRagParams : public QObject
{
    Q_OBJECT
public:
    static inline const QString GroupParams = QStringLiteral("OVUC_Params");
    static inline const QString ParAnfId = QStringLiteral("OVUP_AnfId");
    static inline const QString ParAnsId = QStringLiteral("OVUP_AnsId");
    static inline const QString ParDwgId = QStringLiteral("OVUP_DwgId");

    // Declares the framework parameters with their check (checkValue), binds
    // both queries to the connection given, or to the global connection in
    // force when they run, and loads "QRY_PACO_ANF" into qquPaco.
    explicit TdmRagParams(TOvSQLConnection *connection = nullptr, QObject *parent = nullptr);
    ~TdmRagParams() override;

    TOvParamManager xpmOvuParams;
    QStringList applicationCodes() const { return {QStringLiteral("RAG=1.0"), QStringLiteral("RGA=1.0"), QStringLiteral("OV=1.0")}; }
    bool aggregateDisplay = true;
    bool aggregateOnly = true;
    TOvSQLQuery qquPaco;
    TOvSQLQuery qquAppoggio;

    // An accounting parameter of the current financial year (qquPaco is
    // opened when closed); null when the year has no parameters.
    QVariant accountingParam(const QString &column);

    // The framework's check of a choice in its parameter dialog (attached to
    // xpmOvuParams.OnCheckValue). Without an open database only the range of
    // the financial year is checked.
    bool checkValue(const QString &parameter, const TOvParamChoice &choice);

    // The payroll run of RagPar.ini for a year, checked on the payroll tables
    // when one is set (ID above 0 and MESE 1..12).
    TRagLiquidazione checkRun(int year, const TRagLiqCorrente &run);

    // The external program that converts the chart of accounts (run from the
    // framework's bin folder with the database name in double quotes).
    static QString chartUpdateProgram() { return QStringLiteral("aggPdC2019.exe"); }

    TOvSQLConnection *connection() const;

private:
    void bindConnection();
    bool chartOfAccountsReady();
    bool accountTypeExists(int type);
    TOvSQLConnection *m_connection;
};
