#pragma once
// The main data module: holds the CU form layout that the CU print uses. The
// layout is bound before each CU print (LoadCudLayout for the summary CU,
// LoadCudOrdLayout for the ordinary one); the last one loaded stays until the
// next.
#include "src/prj/unit/print/VelCudLayout.h"
#include "src/prj/unit/print/VelXmlDocument.h"

#include <QObject>

class TdmVelMain : public QObject
{
    Q_OBJECT
public:
    explicit TdmVelMain(QObject *parent = nullptr);
    ~TdmVelMain() override;

    // The XML document of the CU layout.
    TVelXMLDocument XMLDocument;

    // Res folder + "StpCUD.xml" / "StpCUD_Ord.xml" (found without regard to
    // case). A file that is missing or does not parse raises EOvError naming
    // it, and no layout is held afterwards.
    void LoadCudLayout();
    void LoadCudOrdLayout();
    // Binds any form-layout file the same way.
    void loadLayout(const QString &fileName);

    bool hasCudLayout() const { return !m_cud.isNull(); }
    // The bound layout (a null TXMLCud when none).
    TXMLCud Cud() const { return m_cud; }

private:
    TXMLCud m_cud;
};

