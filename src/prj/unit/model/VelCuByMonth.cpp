#include "VelCuByMonth.h"

#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"
#include "tor/store/torUDBCds.h"
#include "velcu/VelFields.h"

#include <QStringList>

int velCuStoreMonth(const QString &mese)
{
    bool ok = false;
    const int month = mese.trimmed().toInt(&ok);
    return ok && month >= 1 && month <= 12 ? month : TTorDBCds::Default;
}

int velSaveCuByMonth(TTorDBCds &store, const QString &structure, const std::function<bool(TClientDataSet &)> &change)
{
    TOvSQLConnection *c = store.connection();
    TOvTransaction tr(c);
    const bool own = c && !c->inTransaction();
    if (own)
        tr.StartTransaction();
    int changed = 0;
    try {
        // Which months have something to change, on a first reading.
        QStringList months;
        {
            TClientDataSet all;
            store.Load(all, structure, TTorDBCds::AllMonths);
            const TField mese = all.fieldByName(fld::SCUDMESE.qs());
            for (all.first(); !all.eof(); all.next())
                if (change(all) && !months.contains(mese.asString()))
                    months << mese.asString();
            all.cancelUpdates();
        }
        // Then each month's rows, read again inside the transaction.
        for (const QString &m : std::as_const(months)) {
            TClientDataSet one;
            store.Load(one, structure, TTorDBCds::AllMonths);
            const TField mese = one.fieldByName(fld::SCUDMESE.qs());
            for (one.first(); !one.eof(); one.next())
                if (mese.asString() == m && change(one))
                    ++changed;
            if (one.changeCount() > 0)
                store.Save(one, structure, velCuStoreMonth(m));
        }
        if (own)
            tr.Commit();
    } catch (...) {
        if (own) {
            try {
                tr.Rollback();
            } catch (...) {
                // the first error is the one reported
            }
        }
        throw;
    }
    return changed;
}
