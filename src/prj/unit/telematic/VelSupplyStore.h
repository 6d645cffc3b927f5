#pragma once
// What a supply reads from the store, and the one value it writes back there:
// the datasets of the workspace (the certifications, their sections and
// annotations, the supplier), read in one snapshot with the versions of the
// CUs; the supplier and the agent, read and checked when a supply is
// generated; the default INPS company number; and, once the supply is in its
// files, the number of its certifications on the agent.
#include "src/prj/unit/telematic/VelUFileUtil.h"

#include "tor/store/torUDBCds.h"

#include <QList>
#include <QString>
#include <QStringList>

class TClientDataSet;
class TTorQueryText;
class VelFileWorkspace;

class TVelSupplyStore
{
public:
    TVelSupplyStore(TTorDBCds &store, TTorQueryText &queries, VelFileWorkspace &ws)
        : m_store(store), m_queries(queries), m_ws(ws)
    {
    }

    // The certification structures with their datasets (the ten reloaded on
    // page "Dipendenti"), and their structures' names.
    static const QList<VelFileCds::Source> &certifications();
    static const QStringList &certificationStructures();

    // A dataset with every row of a structure (every month), unfiltered.
    void load(TClientDataSet &ds, const QString &structure);
    // Every dataset but the agent's (read at generation), in one snapshot.
    void loadAll();
    // The certification datasets again, in one snapshot.
    void reloadCertifications();
    // The versions of the CUs as the last snapshot read them.
    const TTorVersions &versions() const { return m_versions; }

    // The supplier and the agent into their datasets, with what the supply
    // needs of them; EVelError (Configurazione, at the reading) or the tax
    // code's EOvError when something is missing or would be refused.
    void readSupplier();
    void readAgent();
    // The INPS company number of the workgroup ("QRY_PACO"); empty without one.
    QString defaultMatricola(int workgroup);
    // The agent keeps the number of certifications of its last supply;
    // raises EOvException when the store refuses it.
    void recordCertifications(int certifications);

private:
    TTorDBCds &m_store;
    TTorQueryText &m_queries;
    VelFileWorkspace &m_ws;
    TTorVersions m_versions;
};
