#pragma once
// The new-CU dialog "Conguaglio/Chiusura": the closing month (preset to
// "Dicembre") and whether the adjustment was made. Closing with OK, or ticking
// the box, without a month is refused with "Mese di chiusura obbligatorio!!!".
#include "platform/ui/framework/TfmOvDialog.h"

class QCheckBox;
class QComboBox;
class QPushButton;

class TfmVelCudIns : public TfmOvDialog
{
    Q_OBJECT
public:
    explicit TfmVelCudIns(QWidget *parent = nullptr);

    QComboBox *cbMese = nullptr;     // "" then "Gennaio" ... "Dicembre"
    QCheckBox *chConguaglio = nullptr;
    QPushButton *buOK = nullptr;
    QPushButton *buAnnulla = nullptr;

    // "01" ... "12"; empty when no month is chosen.
    QString month() const;
    // "X" when the box is ticked, else "0".
    QString adjustmentFlag() const;

protected:
    void formShow() override;
    void formCloseQuery(bool &canClose) override;
};
