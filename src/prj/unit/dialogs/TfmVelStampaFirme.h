#pragma once
// "Firma ricevute": the CUs of the year by surname and name, printed ones in
// red; the office picks the payees (none picked: all of them, in the grid's
// order) and "Stampa" writes the list they sign when they receive their CU.
#include "platform/dataset/TClientDataSet.h"
#include "platform/ui/framework/TfmOvDialog.h"

#include <QStringList>

class QPushButton;
class QTableView;
class TDataSetModel;
class TTorDBCds;
class TdmVelStampePDF;

class TfmVelStampaFirme : public TfmOvDialog
{
    Q_OBJECT
public:
    // The store and the print module, given by whoever opens the window.
    explicit TfmVelStampaFirme(QWidget *parent = nullptr, TTorDBCds *store = nullptr,
                               TdmVelStampePDF *stampe = nullptr);
    ~TfmVelStampaFirme() override;

    QTableView *dbDipendenti = nullptr;
    QPushButton *buStampa = nullptr;
    QPushButton *buOk = nullptr;
    TClientDataSet cdsDipendenti;

    // The fiscal codes "Stampa" prints: the selected rows in the grid's
    // order, or every row when none is selected.
    QStringList codes() const;
    // "Stampa": the path written, empty when the print failed (shown).
    QString stampa();

protected:
    void formCreate() override;
    void formShow() override;
    void formClose() override;

private:
    TTorDBCds *m_store;
    TdmVelStampePDF *m_stampe;
    TDataSetModel *m_model = nullptr;
};
