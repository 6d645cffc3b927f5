#include "src/prj/unit/editors/VelLookup.h"

#include "src/prj/unit/model/VelCodeTables.h"
#include "src/prj/unit/model/VelRecordModel.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/framework/OvMessages.h"
#include "tor/frames/TDataSource.h"
#include "tor/ui/frames/TorDbControls.h"
#include "tor/ui/search/TfmTorRicerca.h"

#include <memory>

namespace VelLookup {

void loadTable(TClientDataSet &ds, const QString &fileName, const QString &dir)
{
    try {
        VelCodeTables::load(ds, fileName, dir.isEmpty() ? VelCodeTables::folder() : dir);
    } catch (const EOvError &) {
        throw;
    } catch (const std::exception &e) {
        throw EOvError(QStringLiteral("Impossibile leggere la tabella codici %1: %2")
                           .arg(fileName, QString::fromUtf8(e.what())));
    }
    if (ds.isEmpty())
        throw EOvError(QStringLiteral("La tabella codici %1 non contiene codici.").arg(fileName));
}

void run(TTorDbEdit *edit, const VelFieldDesc &field, TTorDBCds *store, QWidget *parent)
{
    TDataSource *src = edit->dataSource();
    if (!src || !src->canModify())
        return;
    ovGuarded([&] {
        std::unique_ptr<TfmTorRicerca> fm(new TfmTorRicerca(parent));
        if (!field.lookupStructure.isEmpty()) {
            if (!store)
                throw EOvError(QStringLiteral("Archivio fiscale non disponibile"));
            fm->setStructure(*store, field.lookupStructure);
            fm->setKeyField(field.lookupKey);
        } else {
            TClientDataSet table;
            try {
                loadTable(table, field.table);
            } catch (const EOvError &) {
                if (!table.active() || !table.isEmpty())
                    throw;
                // shipped without codes until the model's instructions are
                // at hand: the office types the code itself
                if (src->ensureEditing()) {
                    OvMessageBox(QStringLiteral("Tabella da completare con le istruzioni del modello: digitare il codice"),
                                 MB_OK | MB_ICONINFORMATION);
                    edit->setFocus();
                }
                return;
            }
            fm->setSourceData(table, field.table);
        }
        // Edit state first: a refused edit (a printed CU) runs no search.
        if (!src->ensureEditing())
            return;
        QVariant value;
        if (fm->choose(&value))
            edit->writeValue(value);
    });
}

} // namespace VelLookup
