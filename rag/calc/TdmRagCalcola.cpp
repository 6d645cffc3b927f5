#include "rag/calc/TdmRagCalcola.h"

#include "platform/db/OvSQLConnection.h"
#include "rag/calc/ragUCalcoliAnno.h"

namespace {
TdmRagCalcola *g_instance = nullptr;
}

TdmRagCalcola::TdmRagCalcola(TOvSQLConnection *connection, QObject *parent)
    : QObject(parent), m_connection(connection)
{
    setObjectName(QStringLiteral("dmRagCalcola"));
    qquAppoggio.setConnection(m_connection ? m_connection : OvGlobConn);
    if (!g_instance)
        g_instance = this;
}

TdmRagCalcola::~TdmRagCalcola()
{
    if (g_instance == this) {
        g_instance = nullptr;
        TRagCalcolaAnno::rilascia();
    }
}

void TdmRagCalcola::selezionaAnno(int anno)
{
    TRagCalcolaAnno::selezionaAnno(anno);
}

TdmRagCalcola *TdmRagCalcola::instance()
{
    return g_instance;
}
