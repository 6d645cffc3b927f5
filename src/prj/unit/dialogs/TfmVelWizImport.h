#pragma once
// "Importa dati per CU": the options of an import run (closing month,
// category, what to import) and the payroll agent's parameters, stored into
// the parameter record after "Importa".
#include "rag/ui/wizard/TfmragWizard.h"

#include <QDate>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QRadioButton;
class TfrRagPacoCud;
class TOvSQLConnection;

class TfmVelWizImport : public TfmragWizard
{
    Q_OBJECT
public:
    explicit TfmVelWizImport(QWidget *parent = nullptr);

    // Set before the wizard is shown (defaults: the campaign's year, the
    // configuration of the parameters, the program's connection).
    int anno = 0;
    int idwgid = 0;
    TOvSQLConnection *connection = nullptr;
    // Today, for the month preselection (tests set it).
    QDate oggi;

    QWidget *tsMeseComp = nullptr;
    QComboBox *cbMesi = nullptr;
    QComboBox *cbCategorie = nullptr;
    QCheckBox *chSostituto = nullptr;
    QCheckBox *chSoloInps = nullptr;
    QCheckBox *chFiscaleNoiPa = nullptr;
    QCheckBox *chAncheSenzaConguaglio = nullptr;
    QCheckBox *chAccAddCom = nullptr;
    QGroupBox *rgAddComAnno = nullptr;
    QRadioButton *rbAddComAcconto = nullptr;
    QRadioButton *rbAddComSaldo = nullptr;
    QGroupBox *rgArretrati = nullptr;
    QRadioButton *rbArretrati511 = nullptr;
    QRadioButton *rbArretrati512 = nullptr;
    QGroupBox *gbInpdap = nullptr;
    QRadioButton *rbInpdapUniEmens = nullptr;
    QRadioButton *rbInpdapNoiPa = nullptr;

    QWidget *tsParametri = nullptr;
    TfrRagPacoCud *frRagPacoCud = nullptr;
    QComboBox *ceCFAltroSost = nullptr;
    QCheckBox *chRicalcolaCoCoCo = nullptr;

    void salvaParametri() override;

    // Position of "7 - Solo autonomi" in the category list.
    static constexpr int PosSoloAutonomi = 7;

protected:
    void afterChangePage(QWidget *to) override;
    void showEvent(QShowEvent *event) override;
    bool formCheckOk() override;

private:
    void mostraOpzioni();
    void mostraParametri();
    int annoFinanziario() const;
};
