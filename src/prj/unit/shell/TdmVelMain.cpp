#include "src/prj/unit/shell/TdmVelMain.h"

#include "tor/util/TorFolders.h"

TdmVelMain *dmVelMain = nullptr;

TdmVelMain::TdmVelMain(QObject *parent) : QObject(parent)
{
    if (!dmVelMain)
        dmVelMain = this;
}

TdmVelMain::~TdmVelMain()
{
    if (dmVelMain == this)
        dmVelMain = nullptr;
}

void TdmVelMain::loadLayout(const QString &fileName)
{
    m_cud = TXMLCud();
    XMLDocument.Close();
    XMLDocument.setFileName(fileName);
    XMLDocument.setActive(true);
    m_cud = GetCud(XMLDocument);
}

void TdmVelMain::LoadCudLayout()
{
    loadLayout(TorFolders::resolveFile(TorFolders::resDir(), QStringLiteral("StpCUD.xml")));
}

void TdmVelMain::LoadCudOrdLayout()
{
    loadLayout(TorFolders::resolveFile(TorFolders::resDir(), QStringLiteral("StpCUD_Ord.xml")));
}
