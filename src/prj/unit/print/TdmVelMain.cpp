#include "src/prj/unit/print/TdmVelMain.h"

#include "tor/util/TorFolders.h"


TdmVelMain::TdmVelMain(QObject *parent) : QObject(parent) {}

TdmVelMain::~TdmVelMain() = default;

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
