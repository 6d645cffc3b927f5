#pragma once
// "Parametri": the financial year the office works on, asked at every start
// and from the "Strumenti" page. OK accepts exactly "2025" or "2026": the
// main window's year and model date, the fiscal store's year (every month)
// and the remembered year in "TCUA_ANNOFIN.cds" follow the choice.
//
// Beside it, the software producer's tax code of the supply (the
// distributor's, written by the build): shown with its demo mark, changed
// here with the tax-code check, read-only where the program's ini sets it.
//
// At start, while the fiscal store has no year yet, the dialog closes only
// through OK: the program cannot work without a year.
#include "platform/dataset/TClientDataSet.h"
#include "platform/ui/framework/TfmOvDialog.h"

class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;

class TfmVelParametri : public TfmOvDialog
{
    Q_OBJECT
public:
    explicit TfmVelParametri(QWidget *parent = nullptr);

    QLabel *lbAnnoFin = nullptr;
    QLineEdit *edAnnoFin = nullptr;
    QLabel *lbDataModello = nullptr;   // hidden
    QDateEdit *deDataModello = nullptr; // hidden
    QLabel *lbProduttore = nullptr;
    QLineEdit *edProduttore = nullptr;
    QLabel *lbProduttoreNota = nullptr;
    QPushButton *buOk = nullptr;
    TClientDataSet cdsAnnoFin;

    // What OK does; true when the dialog closed. A change of year closes the
    // other open windows first; one that keeps its pending change keeps the
    // year too. A year other than the campaign's without CUs is said.
    bool clickOk();
    static QString noCuText(const QString &year);

    void done(int r) override;

protected:
    bool closeOtherWindows();
    void formCreate() override;
    void formShow() override;
    void formCloseQuery(bool &canClose) override;
    void formClose() override;

private:
    QString m_produttore; // as shown, to save only a change
    bool saveProduttore();
};
