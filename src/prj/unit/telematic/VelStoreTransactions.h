#pragma once
// The transactions the supply opens on the store's connection around the
// store's own operations (TTorDBCds::Load reads on the connection as it is;
// TTorDBCds::Save takes the caller's transaction when one is open).
//
// VelReadSnapshot: one read transaction in which several loads see the store
// as it was at one moment, while other workstations go on writing:
//   PostgreSQL  BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY;
//   SQLite      BEGIN (deferred): the first read takes the WAL snapshot and
//               keeps it until the end; no write lock is taken, so an import
//               running meanwhile is not held up.
// end() ends it (raising on failure); the destructor rolls it back on an
// error path. When the connection already is in a transaction of the
// framework, nothing is opened: the caller's holds.
//
// VelAnnotationRows::save writes the annotation rows the supply rebuilt, in
// one write transaction that first takes the CU structure's row (the one every
// import of an employee takes first), then keeps only the persons still at the
// version read: a CU changed, replaced or deleted by another workstation after
// the snapshot gets no rows, and is named in the result.
#include "src/prj/unit/model/VelCuRepository.h"
#include "velcu/VelFields.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

class TOvSQLConnection;
class TTorDBCds;

// The supply's read of the store in one snapshot (see VelCuRepository).
using VelReadSnapshot = VelCuRepository::Snapshot;

namespace VelAnnotationRows {

// The annotation rows one certification should have: its person, tax code,
// month (text as in the CU, and the store's period number) and its rows of codes.
struct Pending
{
    qint64 person = 0;
    qint64 version = 0; // as read with the rows; 0: written whatever it is now
    QString codFis;
    QString monthText;
    int month = 0;
    QList<QStringList> rows;
};

struct Result
{
    QSet<qint64> written;   // persons whose rows were replaced
    QList<Pending> gone;    // persons changed since the reading or no longer in the store: nothing written
};

// Raises EOvException when the database refuses: then nothing was written.
Result save(TTorDBCds &store, const QList<Pending> &pending);

// The column of the k-th code of a row (0-based): SANN701 ... SANN754.
QString column(int k);
inline constexpr int CodesPerRow = 54;
inline constexpr const char *Structure = rec::TCUDA_ANNOTAZIONI::id.name;

} // namespace VelAnnotationRows
