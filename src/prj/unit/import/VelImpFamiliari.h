#pragma once
// Family dependants of a CU (table TCUDC_CONFAMCARICO) from the payee's
// deduction declaration kept by the payroll program (named query
// QRY_ELH_ADET: declarations of the financial year and the one before, one
// row per child and month range).
//
// One object per import run: the declarations are read once, at the first
// employee, and kept by tax code and year. Call importa() for each employee
// whose CU has a family deduction or a working period, after the CU's main
// record has been saved. Problems are log lines of the dependants section;
// none stops the employee.
//
// Rows: the spouse, the first child and one further child or other
// dependant share a row; a dependant whose slot is taken opens a new row.
// A child declared at two percentages in the year takes one slot per
// percentage, each with the months of its ranges.
// A payee who already has family rows keeps them untouched.
#include "platform/core/Currency.h"
#include "src/prj/unit/import/VelImpContesto.h"
#include "velcu/VelFields.h"

#include <QHash>
#include <QList>
#include <QString>

class TClientDataSet;

class TVelImpFamiliari
{
public:
    static inline const QString kTabella = rec::TCUDC_CONFAMCARICO::id.qs();

    // Writes the dependants of the CU of `ctx` into `cdsConFamCar`. Returns
    // the number of family rows written.
    int importa(const TVelImpContesto &ctx, TClientDataSet &cdsConFamCar);

    // Forgets the declarations read (the next importa reads them again).
    void ricarica() { m_loadedYear = 0; m_rows.clear(); }

    // One row of the declaration query.
    struct Riga
    {
        int ianfValore = 0;
        QString cfConiuge;
        int conCar = 0;
        int figli = 0;
        int altri = 0;
        QString cfAltri1, cfAltri2;
        Currency percAltri;
        int mancaGenitore = 0;
        bool dettaglio = false;   // a child detail row (IADEFID present)
        QString cfFiglio;
        int ordine = 0;
        int mesDal = 0, mesAl = 0;
        Currency perc;
        int handicap = 0;
        int affido100 = 0;
        int mesiCarico = 0, mesiMin3 = 0, mesiGf = 0, mesiAltri = 0;
    };

private:
    void carica(const TVelImpContesto &ctx);

    int m_loadedYear = 0;
    // Key: upper-case tax code + "|" + IANFID.
    QHash<QString, QList<Riga>> m_rows;
};
