#pragma once
// The CUs of the store as the engines reach them: the import, the supply, the
// print, the editors and the coherence check read and write CUs through this
// class, never through the store's own calls.
//
// A CU is a person of the store (tax code and month) with its rows in the CU
// structure and in the sections. Every write of its rows moves its version on
// (the store does it, once a transaction), so that:
//   - reads that must agree with each other (a print, a supply) are made in
//     one Snapshot, with the versions they found;
//   - a write names the versions it read (save() under a TTorVersions map,
//     lock() with the versions printed): a CU changed since, or gone, is
//     refused, never written over.
#include "tor/store/torUDBCds.h"

#include <QList>
#include <QSet>
#include <QString>
#include <functional>

class TClientDataSet;
class TOvSQLConnection;
class TVelCuValue;

// A CU as a reader found it.
struct VelCuRef
{
    qint64 person = 0;
    qint64 version = 0;
    QString codFis;
    QString mese;
};

class VelCuRepository
{
public:
    explicit VelCuRepository(TTorDBCds &store) : m_store(store) {}
    TTorDBCds &store() const { return m_store; }

    // One read transaction: the loads in it see the store as at one moment
    // while other workstations go on writing.
    //   PostgreSQL  BEGIN ISOLATION LEVEL REPEATABLE READ, READ ONLY;
    //   SQLite      BEGIN (deferred): the first read takes the WAL snapshot
    //               and keeps it; no write lock is taken.
    // end() ends it (raising on failure); the destructor rolls it back on an
    // error path. Inside a transaction already open, nothing is opened.
    class Snapshot
    {
    public:
        explicit Snapshot(TOvSQLConnection *connection);
        explicit Snapshot(const VelCuRepository &repo) : Snapshot(repo.store().connection()) {}
        ~Snapshot();
        Snapshot(const Snapshot &) = delete;
        Snapshot &operator=(const Snapshot &) = delete;
        void end();
        bool active() const { return m_active; }

    private:
        TOvSQLConnection *m_connection;
        bool m_active = false;
    };

    // A structure of the store (a CU's, the agents'), as TTorDBCds::Load
    // reads it, a stored text longer than its box refused with payee, box and
    // value.
    void load(TClientDataSet &ds, const QString &structure, int month = TTorDBCds::Default,
              int year = TTorDBCds::Default, qint64 person = TTorDBCds::AllPersons) const;
    // True when the structure holds a stored row in the store's period.
    bool hasRows(const QString &structure) const { return m_store.HasRows(structure); }
    // The person of a CU (tax code and month) as the store holds it now; 0: none.
    qint64 findPerson(const QString &codFis, const QString &group, int month = TTorDBCds::Default) const;
    // The version of every CU of the year (and of the agents' persons).
    TTorVersions versions() const;
    // The versions of these persons now (absent: gone), read in the caller's
    // transaction.
    TTorVersions versionsOf(const QList<qint64> &persons) const;

    // Writes the dataset's pending changes as they are: rows the writer builds
    // itself (the import's new CU, inside its transaction that took the CU
    // lock first) or that are no CU's (the agents). The store still moves on
    // the version of every CU written.
    void write(TClientDataSet &ds, const QString &structure, int month = TTorDBCds::Default) const;
    // The CU of this tax code and month as the store holds it now (inside the
    // caller's transaction): its person (0: none) and version, whether it was
    // printed, and the persons of the same tax code's CUs of other months.
    struct Stored
    {
        VelCuRef ref;
        bool printed = false;
        QList<qint64> otherMonths;
        QSet<QString> structures;   // those holding its rows (lower case)
    };
    Stored stored(const QString &codFis, const QString &mese) const;
    // True when a structure holds a row of one of these persons.
    bool hasRowsOf(const QString &structure, const QList<qint64> &persons) const;
    // Deletes every row of a CU, the sections before the main record, over
    // the version read: a CU changed since, or gone, raises
    // ETorChangedMeanwhile. Inside the caller's transaction.
    void remove(const Stored &old) const;
    // Gives the store a CU built whole: `old`, when given, goes first (see
    // remove), then every part of `cu` with rows is written once, the main
    // record first (its save makes the person the sections' rows join).
    // Inside the caller's transaction, which took the CU lock first.
    void replace(TVelCuValue &cu, const Stored *old = nullptr) const;
    // Only these fields of the modified rows (see TTorDBCds::SaveFields).
    void writeFields(TClientDataSet &ds, const QString &structure, const QStringList &fields,
                     int month = TTorDBCds::Default) const;

    // Saves the dataset's pending changes over the versions in `read`, which
    // then holds the versions the save left. ETorChangedMeanwhile when a CU
    // changed since it was read or is gone: nothing saved, changes pending.
    void save(TClientDataSet &ds, const QString &structure, TTorVersions &read, int month = TTorDBCds::Default) const;

    // The first lock of every writer of CUs, taken at the start of its
    // transaction: the CU structure's row. Writers never wait for each other
    // in a circle, and no CU is replaced between a check and the commit.
    void takeCuLock() const;

    // Marks printed (iCudStato = 1) each CU whose version is still the one
    // printed, in one transaction (the caller's when one is open), and runs
    // `more` in it with the persons locked (the annotation rows the print
    // rebuilt). Whatever changed since is left alone and returned.
    // `read`, when given, holds the CU rows (TCUD_DATICUD) read in the same
    // snapshot as the versions printed: they are marked and saved instead of
    // rows read again (a print of thousands locks in many calls).
    struct LockResult
    {
        QList<VelCuRef> locked;  // printed now or already, the version printed
        QList<VelCuRef> changed; // version: the one found now, 0 when gone
    };
    LockResult lock(const QList<VelCuRef> &cus, const std::function<void(const QSet<qint64> &)> &more = {},
                    TClientDataSet *read = nullptr) const;

    // Who a CU is, for a message: "CODFIS (mese MM)".
    static QString who(const VelCuRef &cu);

private:
    TOvSQLConnection &conn() const;
    TTorDBCds &m_store;
};
