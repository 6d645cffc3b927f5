#include "platform/db/OvTransaction.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"

TOvTransaction::TOvTransaction(TOvSQLConnection *connection)
    : m_connection(connection ? connection : OvGlobConn)
{
}

TOvTransaction::~TOvTransaction()
{
    if (!m_active)
        return;
    try {
        Rollback();
    } catch (...) {
        // Nothing more can be done in a destructor; the server drops the
        // transaction with the connection anyway.
    }
}

void TOvTransaction::StartTransaction()
{
    if (!m_connection)
        throw EAssertionFailed(QStringLiteral("Transazione senza connessione al database."));
    if (m_active)
        throw EAssertionFailed(QStringLiteral("Transazione già avviata."));
    m_connection->startTransaction();
    m_active = true;
}

void TOvTransaction::Commit()
{
    if (!m_active)
        throw EAssertionFailed(QStringLiteral("Conferma di una transazione non avviata."));
    m_active = false;
    m_connection->commit();
}

void TOvTransaction::Rollback()
{
    if (!m_active)
        return;
    m_active = false;
    m_connection->rollback();
}
