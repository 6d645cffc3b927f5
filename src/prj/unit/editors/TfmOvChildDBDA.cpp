#include "src/prj/unit/editors/TfmOvChildDBDA.h"

#include "platform/dataset/TClientDataSet.h"
#include "platform/framework/OvMessages.h"
#include "tor/frames/TDataSource.h"

TfmOvChildDBDA::TfmOvChildDBDA(QWidget *parent)
    : TfmOvChildDoc(parent)
{
}

QList<TDataSource *> TfmOvChildDBDA::dataSources() const
{
    return findChildren<TDataSource *>();
}

bool TfmOvChildDBDA::hasPendingChanges() const
{
    for (TDataSource *s : dataSources()) {
        if (s->dataSet() && s->dataSet()->active() && s->dataSet()->modified())
            return true;
    }
    return false;
}

bool TfmOvChildDBDA::saveAll()
{
    bool ok = true;
    for (TDataSource *s : dataSources()) {
        TClientDataSet *ds = s->dataSet();
        if (!ds || !ds->active() || !ds->modified())
            continue;
        s->updateRecord();
        if (!ovGuarded([ds] { ds->post(); }))
            ok = false;
        if (ds->modified())
            ok = false;
    }
    return ok;
}

void TfmOvChildDBDA::cancelAll()
{
    for (TDataSource *s : dataSources()) {
        TClientDataSet *ds = s->dataSet();
        if (ds && ds->active() && ds->modified())
            ds->cancel();
    }
}

void TfmOvChildDBDA::formCloseQuery(bool &canClose)
{
    if (!hasPendingChanges())
        return;
    const int a = OvMessageBox(QStringLiteral("Ci sono modifiche non confermate. Salvarle prima di chiudere?"),
                               MB_YESNOCANCEL | MB_ICONWARNING);
    if (a == IDYES)
        canClose = saveAll();
    else if (a == IDNO)
        cancelAll();
    else
        canClose = false;
}
