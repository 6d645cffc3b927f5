#pragma once
// The framework's connection data module: owns the program's connection
// xqoMain. OpenConnection() is the framework open path: it makes xqoMain the
// global connection OvGlobConn and opens it; derived modules override it to
// add their checks around this base call.
//
// The configuration is the one given with xqoMain.setConfig(); when none was
// given, the ini file and the environment decide (TOvDbOptions::resolve
// without a command line).
#include "platform/db/OvSQLConnection.h"

#include <QObject>

class TdmOvConnection : public QObject
{
    Q_OBJECT
public:
    explicit TdmOvConnection(QObject *parent = nullptr);
    ~TdmOvConnection() override;

    // True when connected. A failure leaves OvGlobConn as it was and the
    // reason in xqoMain.lastErrorText(); an exception of BeforeConnect passes through.
    virtual bool OpenConnection();
    virtual void CloseConnection();

    TOvSQLConnection xqoMain;
};
