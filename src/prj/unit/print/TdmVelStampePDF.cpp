#include "src/prj/unit/print/TdmVelStampePDF.h"

TdmVelStampePDF *dmVelStampePDF = nullptr;

TdmVelStampePDF::TdmVelStampePDF(QObject *parent)
    : QObject(parent), cdsSost(new TClientDataSet(this)), cdsQuadroCT(new TClientDataSet(this))
{
    setObjectName(QStringLiteral("dmVelStampePDF"));
    cdsSost->setObjectName(QStringLiteral("cdsSost"));
    cdsQuadroCT->setObjectName(QStringLiteral("cdsQuadroCT"));
    if (!dmVelStampePDF)
        dmVelStampePDF = this;
}

TdmVelStampePDF::~TdmVelStampePDF()
{
    if (dmVelStampePDF == this)
        dmVelStampePDF = nullptr;
}

void TdmVelStampePDF::closeDataSets()
{
    cdsSost->close();
    cdsQuadroCT->close();
}
