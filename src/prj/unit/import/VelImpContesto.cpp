#include "src/prj/unit/import/VelImpContesto.h"
#include "src/prj/unit/model/VelCuRepository.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "tor/store/torUDBCds.h"
#include "velcu/VelFields.h"

QString velTitoloSezioneLog(int section)
{
    switch (section) {
    case SezioneFiscale: return QStringLiteral("Sezione fiscale");
    case SezioneFamiliari: return QStringLiteral("Sezione familiari a carico per detrazioni");
    case SezioneInps: return QStringLiteral("INPS Sezione 2 - Gestione Pubblica");
    case SezioneAutonomo: return QStringLiteral("Dati autonomo");
    }
    return QString();
}

TVelParametriPaco TVelParametriPaco::leggi(TClientDataSet &paco)
{
    TVelParametriPaco p;
    auto text = [&](const char *name) {
        const TField f = paco.findField(QLatin1String(name));
        return f ? f.asString().trimmed() : QString();
    };
    p.SPACOMATRAZIENDA = text("SPACOMATRAZIENDA");
    p.SPACOMATRAZACC = text("SPACOMATRAZACC");
    p.SPACOCFINPS = text("SPACOCFINPS");
    p.SPACOCFMEF = text("SPACOCFMEF");
    const TField f = paco.findField(QStringLiteral("LPACOCUDINPDAP"));
    p.LPACOCUDINPDAP = f && !f.isNull() ? int(f.asInteger()) : 0;
    return p;
}

void TVelImpContesto::scrivi(int section, const QString &text) const
{
    if (log)
        log(section, text);
}

void TVelImpContesto::salvaTabella(TClientDataSet &ds, const QString &structure) const
{
    if (salva) {
        salva(ds, structure);
        return;
    }
    if (!store)
        throw EAssertionFailed(QStringLiteral("Archivio fiscale non impostato per %1").arg(structure));
    VelCuRepository(*store).write(ds, structure);
}

void TVelImpContesto::nuovaRiga(TClientDataSet &ds) const
{
    ds.append();
    if (iAfiID != 0)
        ds.fieldByName(fld::iAfiID.qs()).setAsInteger(iAfiID);
    ds.fieldByName(fld::SCUDCODFIS.qs()).setAsString(SCUDCODFIS);
    ds.fieldByName(fld::SCUDMESE.qs()).setAsString(SCUDMESE);
}

bool TVelImpContesto::dellaCu(TClientDataSet &ds) const
{
    return ds.fieldByName(fld::SCUDCODFIS.qs()).asString() == SCUDCODFIS
        && ds.fieldByName(fld::SCUDMESE.qs()).asString() == SCUDMESE;
}

TVelSenzaFiltro::TVelSenzaFiltro(TClientDataSet &ds) : m_ds(ds), m_filtered(ds.filtered())
{
    if (m_filtered)
        m_ds.setFiltered(false);
}

TVelSenzaFiltro::~TVelSenzaFiltro()
{
    if (!m_filtered)
        return;
    try {
        if (m_ds.state() != TDataSetState::Browse)
            m_ds.cancel();
        m_ds.setFiltered(true);
    } catch (...) {
        // The filter was valid when it was set; a failure here leaves the
        // dataset unfiltered, never broken.
    }
}
