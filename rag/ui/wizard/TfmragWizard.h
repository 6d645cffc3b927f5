#pragma once
// The payroll application's run wizard: a kind-of-pay page (fundamental,
// accessory, collaborators) and a payroll-group page before the pages of the
// derived wizard, the parameter record of the run and the agent dataset.
// Derived wizards put their own pages on a path of their own and store their
// options in salvaParametri(), which the class procedure calls after OK.
#include "platform/ui/framework/TfmOvWizard.h"

#include <functional>

class QLineEdit;
class QRadioButton;
class TClientDataSet;

class TfmragWizard : public TfmOvWizard
{
    Q_OBJECT
public:
    explicit TfmragWizard(QWidget *parent = nullptr);

    QWidget *tsTipoCompenso = nullptr;
    QRadioButton *rbFondamentali = nullptr;
    QRadioButton *rbAccessori = nullptr;
    QRadioButton *rbCollaboratori = nullptr;
    QWidget *tsGruppo = nullptr;
    QLineEdit *edGruppo = nullptr;

    // The run's datasets (not owned).
    void setDataSets(TClientDataSet *parametri, TClientDataSet *sos);
    TClientDataSet *parametri() const { return m_parametri; }
    TClientDataSet *sos() const { return m_sos; }

    // ICOTFONDAMENTALE of the selected kind of pay: 1, 3, 2 by radio index.
    int tipoCompenso() const;
    // Writes the kind of pay into the parameter record.
    void impostaTipoCompenso();

    // Stores the options in the parameter record (after OK).
    virtual void salvaParametri() {}

    // Creates the wizard, hands it the datasets, sets the kind of pay, shows
    // it modally and, on OK, stores the options. True when finished with OK.
    static bool Execute(const std::function<TfmragWizard *(QWidget *)> &create, TClientDataSet &parametri,
                        TClientDataSet &sos, QWidget *parent = nullptr);

protected:
    // The group check of the base: refuses with "Gruppo non impostato.".
    bool formCheckOk() override;
    virtual bool controllaGruppo();

private:
    TClientDataSet *m_parametri = nullptr;
    TClientDataSet *m_sos = nullptr;
};
