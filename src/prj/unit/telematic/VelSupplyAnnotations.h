#pragma once
// The annotation rows a supply rebuilds from the certifications' text of
// annotations (the preparation of the passes): each certification's rows are
// compared with the codes its text asks for, rebuilt in the workspace's
// dataset when they differ, and written to the store at the end of the
// generation, in one transaction, for the persons still at the version read
// (VelAnnotationRows::save).
#include "src/prj/unit/telematic/VelStoreTransactions.h"

#include "tor/store/torUDBCds.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class IVelRunHost;
class TClientDataSet;
class VelFileWorkspace;

class TVelSupplyAnnotations
{
public:
    TVelSupplyAnnotations(TTorDBCds &store, VelFileWorkspace &ws) : m_store(store), m_ws(ws) {}

    // A generation begins: the rows are indexed again, nothing waits to be saved.
    void begin();
    // The generation failed: the rows rebuilt and not saved are dropped (the
    // next generation rebuilds them).
    void drop();
    // The rows of the current certification of `dip` rebuilt from its text;
    // rows that already hold the text's codes are left as they are. A
    // failure is told to the host for the office to check that certification.
    void prepare(TClientDataSet &dip, const TTorVersions &versions, IVelRunHost &host);
    // The rebuilt rows written to the store. The line the office is warned
    // with when some were not (a CU changed elsewhere meanwhile, the database
    // refusing); empty when all were. Raises EOvConnectionLost without a server.
    QString save();

private:
    const QSet<QString> &noteCodes();

    TTorDBCds &m_store;
    VelFileWorkspace &m_ws;
    bool m_notesLoaded = false;
    QSet<QString> m_noteCodes;
    bool m_notesIndexed = false;
    QHash<qint64, QList<QStringList>> m_notesNow;     // IAFIID -> its rows' codes
    QList<VelAnnotationRows::Pending> m_pendingNotes; // rebuilt rows not yet saved
};
