#pragma once
// The withholding agent's part of the import: its CU data (the agent, the
// Quadro CT and the supplier) written from the school record (QRY_SED) and
// the payroll's agent parameters (QRY_PACO), once per run when asked for;
// and what every CU of the run takes from the agent's stored data (the
// signature and the agent's tax code).
#include <QString>

class TClientDataSet;
class TOvSQLConnection;
class TTorQueryText;
class TTorDBCds;

class TVelImportSostituto
{
public:
    TVelImportSostituto(TTorDBCds &store, TOvSQLConnection &conn, TTorQueryText &queries)
        : m_store(store), m_conn(conn), m_queries(queries)
    {
    }

    // Rewrites the three tables in one transaction. `sede`: the school record
    // (QRY_SED) at its row; `idwgid`: the configuration.
    void scrivi(TClientDataSet *sede, int idwgid);

    // The agent's stored data the CUs take.
    struct Firma
    {
        QString firma;            // SSOSFIRMACOM
        QString codFis;           // SSOSCODFIS
    };
    Firma firma();

private:
    TTorDBCds &m_store;
    TOvSQLConnection &m_conn;
    TTorQueryText &m_queries;
};
