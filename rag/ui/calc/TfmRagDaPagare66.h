#pragma once
// "Bonus Irpef": how many payments the bonus or deduction of an employee is
// spread over. Used by the payroll rules of the year classes; the CU import
// never opens it. OK accepts a whole number of 1 or more.
#include "platform/ui/framework/TfmOvDialog.h"

class QLabel;
class QLineEdit;
class QPushButton;

class TfmRagDaPagare66 : public TfmOvDialog
{
    Q_OBJECT
public:
    explicit TfmRagDaPagare66(QWidget *parent = nullptr);

    QLabel *lbLiquidazioni = nullptr;
    QLabel *lbDipendente = nullptr;
    QLineEdit *edLiquidazioni = nullptr;
    QPushButton *buOk = nullptr;

    // Shows the employee's name and the current number, runs the dialog;
    // returns the number accepted (the one given when closed otherwise).
    int chiedi(const QString &dipendente, int liquidazioni);
    // The number after a successful OK.
    int liquidazioni() const { return m_liquidazioni; }

protected:
    void formCloseQuery(bool &canClose) override;

private:
    int m_liquidazioni = 1;
};
