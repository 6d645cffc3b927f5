#include "src/prj/unit/shell/VelImportLaunch.h"

#include "src/prj/unit/dialogs/TfmVelImpMultiSelect.h"
#include "src/prj/unit/dialogs/TfmVelWizImport.h"

#include "platform/core/OvExceptions.h"
#include "src/prj/unit/shell/TdmVelAttivazioni.h"
#include "tor/store/torUDBCds.h"

void installImportWindows(TdmVelAttivazioni &attivazioni)
{
    TdmVelAttivazioni *a = &attivazioni;
    attivazioni.RunImportWizard = [a](TClientDataSet &parametri, TOvQueryCollection &sos) {
        return TfmragWizard::Execute(
            [a](QWidget *parent) -> TfmragWizard * {
                auto *w = new TfmVelWizImport(parent);
                if (a->fiscalStore()) {
                    w->anno = a->fiscalStore()->year();
                    w->connection = a->fiscalStore()->connection();
                }
                return w;
            },
            parametri, sos);
    };
    attivazioni.RunImportSelection = [a](TClientDataSet &parametri, TOvQueryCollection &sos) {
        if (!a->fiscalStore())
            throw EAssertionFailed(QStringLiteral("Archivio fiscale non disponibile per l'importazione."));
        TfmVelImpMultiSelect::Execute(*a->fiscalStore(), parametri, &sos);
    };
}
