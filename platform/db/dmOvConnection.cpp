#include "platform/db/dmOvConnection.h"

TdmOvConnection::TdmOvConnection(QObject *parent)
    : QObject(parent)
{
}

TdmOvConnection::~TdmOvConnection()
{
    CloseConnection();
}

bool TdmOvConnection::OpenConnection()
{
    if (!xqoMain.hasConfig())
        xqoMain.setConfig(TOvDbOptions::resolve(nullptr));
    TOvSQLConnection *previous = OvGlobConn;
    OvGlobConn = &xqoMain;
    try {
        if (xqoMain.open())
            return true;
    } catch (...) {
        OvGlobConn = previous;
        throw;
    }
    OvGlobConn = previous;
    return false;
}

void TdmOvConnection::CloseConnection()
{
    xqoMain.close();
    if (OvGlobConn == &xqoMain)
        OvGlobConn = nullptr;
}
