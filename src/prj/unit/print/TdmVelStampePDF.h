#pragma once
// The print module, created at start-up: it holds what the CU print commands
// hand to the print form and the agent's datasets the prints share.
//
//  - ordinario: the ordinary-CU flag; "Stampa CU Sintetico" sets it false,
//    "Stampa CU Ordinario" true, before the print form opens;
//  - cdsSost (TCUS_DATISOST) and cdsQuadroCT (TCUCT_DATICT): loaded by a print
//    when empty, closed when the print form closes.
#include "platform/dataset/TClientDataSet.h"

#include <QObject>

class TdmVelStampePDF : public QObject
{
    Q_OBJECT
public:
    explicit TdmVelStampePDF(QObject *parent = nullptr);
    ~TdmVelStampePDF() override;

    bool ordinario = false;

    TClientDataSet *cdsSost;
    TClientDataSet *cdsQuadroCT;

    // Closes the agent's and the Quadro CT's datasets.
    void closeDataSets();
};

// The program's print module (set while one exists).
extern TdmVelStampePDF *dmVelStampePDF;
