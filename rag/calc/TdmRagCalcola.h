#pragma once
// The data module of the payroll calculation layer, created at start-up and
// kept for the whole process: the scratch query the layer's utilities may
// share, and the owner of the year objects (TRagCalcolaAnno::selezionaAnno),
// which it frees at shutdown.
#include "platform/sql/OvSQLQuery.h"

#include <QObject>

class TOvSQLConnection;

class TdmRagCalcola : public QObject
{
    Q_OBJECT
public:
    // On the global connection in force when a query runs, or the one given.
    explicit TdmRagCalcola(TOvSQLConnection *connection = nullptr, QObject *parent = nullptr);
    ~TdmRagCalcola() override;

    TOvSQLQuery qquAppoggio;

    // Selects the year objects for a financial year (as the import launch does).
    void selezionaAnno(int anno);

    // The module of the process; null before start-up made it or after it ended.
    static TdmRagCalcola *instance();

private:
    TOvSQLConnection *m_connection = nullptr;
};
