// The CU editor and the store: every CU of the year read with its version in
// one snapshot, and each save of the CU or of a section made over the version
// read, so that a CU another workstation wrote since is never written over.
#include "src/prj/unit/editors/TfrVelCud.h"
#include "src/prj/unit/editors/VelCuConflict.h"
#include "src/prj/unit/model/VelCuRepository.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "velcu/VelFields.h"

namespace {

const QString kCodFis = fld::SCUDCODFIS.qs();
const QString kMese = fld::SCUDMESE.qs();

} // namespace

void TfrVelCud::loadCus()
{
    const VelCuRepository repo(*m_store);
    VelCuRepository::Snapshot snapshot(repo);
    repo.load(*cdsMain, structureName(), TTorDBCds::AllMonths);
    m_versions = repo.versions();
    snapshot.end();
}

void TfrVelCud::saveOverVersion(TClientDataSet &ds, const QString &structure)
{
    try {
        VelCuRepository(*m_store).save(ds, structure, m_versions, m_saveMonth);
    } catch (const ETorChangedMeanwhile &e) {
        const QStringList what = VelCuConflict::changes(*m_store, ds, structure, e.person);
        if (VelCuConflict::askReload(e, what))
            readAgain();
        throw EAbort();
    }
}

void TfrVelCud::readAgain()
{
    const QString codFis = m_codFis;
    const QString mese = m_mese;
    for (TfrVelSection *sec : m_sections) {
        if (sec->cdsMain->modified())
            sec->cdsMain->cancel();
        if (sec->cdsMain->changeCount() > 0)
            sec->cdsMain->cancelUpdates();
    }
    if (cdsMain->modified())
        cdsMain->cancel();
    if (cdsMain->changeCount() > 0)
        cdsMain->cancelUpdates();
    const QString order = cdsMain->indexFieldNames();
    const TDataSetEvents saved = cdsMain->detachEvents();
    m_opening = true;
    try {
        loadCus();
    } catch (...) {
        m_opening = false;
        cdsMain->attachEvents(saved);
        throw;
    }
    cdsMain->setIndexFieldNames(order);
    cdsMain->attachEvents(saved);
    m_opening = false;
    for (TfrVelSection *sec : m_sections)
        sec->clearSection();
    if (!cdsMain->locate(kCodFis + QLatin1Char(';') + kMese, QVariantList{codFis, mese}))
        cdsMain->first();
    afterOpen();
    rowChangedHook();
}
