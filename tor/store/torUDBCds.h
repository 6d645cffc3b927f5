#pragma once
// The fiscal key-value store: every record layout of the program is a
// structure (a versioned schema kept in TCDS_STRUTTURA); a row of a structure
// is one TFIS_DATIFISCALI row per non-empty field, grouped by row number and
// tied to a fiscal person (TAFI_ANAFISCALE) of a period (TCRF_CROFISCALE).
// TTorDBCds moves whole structures between these tables and client datasets.
#include "platform/core/OvExceptions.h"
#include "tor/store/TorStoreVersions.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QSqlQuery;
class QSqlRecord;

class TClientDataSet;
class TOvSQLConnection;

// Shown while a structure loads: a wait window in the program, nothing in
// tools and tests. Replaceable.
class ITorWaitIndicator
{
public:
    virtual ~ITorWaitIndicator() = default;
    virtual void begin() = 0;
    virtual void end() = 0;
};
// The indicator in use; null restores the default, which shows nothing (the
// program installs its wait window, TTorWaitWindow, at start-up).
void setTorWaitIndicator(std::shared_ptr<ITorWaitIndicator> indicator);
ITorWaitIndicator &torWaitIndicator();
bool hasTorWaitIndicator();

// A structure with no version for the period: "Impossibile trovare il
// ClientDataSet (NAME).", raised by its own type so that a caller can tell a
// table that is not there from one that could not be read.
class ETorStructureMissing : public EOvError
{
public:
    using EOvError::EOvError;
};

// A second certification for a tax code and month already stored in the
// period: the store refuses it (one person per CU, a unique key).
class ETorDuplicateCertification : public EOvError
{
public:
    using EOvError::EOvError;
};

// A stored text longer than its field: the load never cuts it (a cut
// surname, or "RAV" read as "RA", would go out as another person's or
// another province's). Names the person and the field; the program's layers
// above say the box (VelRecordModel).
class ETorTextTooLong : public EOvError
{
public:
    ETorTextTooLong(QString structure, QString field, int size, QString value, QString codFis, QString cognome,
                    QString nome);
    QString structure;
    QString field;
    int size = 0;
    QString value;
    QString codFis;
    QString cognome;
    QString nome;
    // "COGNOME NOME (CF)", what is known of the person of the row.
    QString person() const;
};

// The versions of persons of the store (a CU is its person), by person key,
// as a reader found them. Each write of a person's rows moves its version on,
// once a transaction.
using TTorVersions = QHash<qint64, qint64>;

// A save refused because a person it writes changed since its version was
// read (another workstation wrote, printed, re-imported or deleted the CU):
// nothing of the save remains, and the dataset's changes stay pending.
class ETorChangedMeanwhile : public EOvError
{
public:
    struct Person
    {
        qint64 key = 0;
        qint64 expected = 0; // the version read
        qint64 found = 0;    // the version now; 0: the person is gone
        QString codFis;
        QString group;       // a CU's month
    };
    explicit ETorChangedMeanwhile(const Person &p);
    Person person;
};

class TTorDBCds
{
public:
    static constexpr int AllMonths = -1;
    static constexpr int AllPersons = -1;
    static constexpr int Default = -2; // "use the object's month / year"

    TTorDBCds();
    ~TTorDBCds();

    void setYear(int year) { m_year = year; }
    int year() const { return m_year; }
    void setMonth(int month) { m_month = month; }
    int month() const { return m_month; }
    void setProgram(const QString &program) { m_program = program; }
    QString program() const { return m_program; }
    void setConnection(TOvSQLConnection *connection)
    {
        m_connection = connection;
        m_held.clear();
        m_periods.clear();
        m_made.clear();
        m_bumped.clear();
    }
    TOvSQLConnection *connection() const { return m_connection; }
    void setShowWait(bool on) { m_showWait = on; }
    // A stored text longer than its field raises ETorTextTooLong (the
    // default). A reader that only decides on rows and never writes them
    // back (the import, which keeps or replaces a CU whole) may take them
    // cut instead, so that a replacing import can mend them.
    void setCutLongTexts(bool on) { m_cutLongTexts = on; }
    bool cutLongTexts() const { return m_cutLongTexts; }
    bool showWait() const { return m_showWait; }

    // Closes the dataset, gives it the structure's fields, fills it with the
    // stored rows (of one person, or of all with AllPersons) and moves to the
    // first row. No data event of the dataset runs meanwhile.
    void Load(TClientDataSet &ds, const QString &structure, int month = Default, int year = Default,
              int person = AllPersons);

    // Writes the dataset's pending changes in one transaction (the caller's
    // when one is open) and merges its change log. On a database failure
    // nothing of the save remains, the pending changes are cancelled and the
    // first error is raised with the database's message. Refused before any
    // datum is written, the changes stay pending as they were: a structure
    // with no version for the period, or a row of a structure whose field map
    // is read-only (a CU section) whose tax code and group key have no person
    // in the period to belong to.
    void Save(TClientDataSet &ds, const QString &structure, int month = Default, int year = Default);
    // Like Save, for modified rows only, writing only the named fields: each
    // row's other stored values stay as the store holds them now (another
    // workstation's correction since the load is kept), and a row no longer
    // in the store gets nothing. A pending insert or delete, or a named field
    // that feeds the person's columns, raises EAssertionFailed before any
    // datum is written.
    void SaveFields(TClientDataSet &ds, const QString &structure, const QStringList &fields, int month = Default,
                    int year = Default);

    // The person of the period with this tax code and group key (a CU's tax
    // code and month), read from the store as it is now (inside the caller's
    // transaction, what the transaction sees); 0 when there is none.
    qint64 FindPerson(const QString &codFis, const QString &group, int month = Default, int year = Default);

    // True when the structure holds at least one stored row in the period.
    bool HasRows(const QString &structure, int month = Default, int year = Default);

    // The version of every person of the period (AllMonths: of the year), as
    // the connection sees the store now (inside a read transaction, as of its
    // snapshot).
    TTorVersions Versions(int month = Default, int year = Default);
    // The saves and field saves that run while `versions` is set write over
    // exactly these versions: a person of the map whose version is not the
    // one read, or who is gone, refuses the save (ETorChangedMeanwhile). A
    // person written and not in the map is written whatever its version. The
    // map follows the writes: it holds the versions the saves left. Null:
    // every save writes whatever the versions (and still moves them on).
    // A row written for a person who no longer exists is always refused.
    void setExpectedVersions(TTorVersions *versions) { m_expected = versions; }
    TTorVersions *expectedVersions() const { return m_expected; }

private:
    // A structure's version for the period, as TCDS_STRUTTURA holds it.
    struct Header
    {
        int cdsId = 0;
        bool anagrafica = false;
        bool mapReadOnly = false;
        int lastRow = 0;
        QString fieldMap;
        QByteArray schema;
    };
    class SaveRun; // one call of Save, in torUDBCdsSave.cpp
    // A structure's version locked by the connection's current transaction,
    // with the row numbers it reserved and has not used yet: later saves of
    // the same transaction number their rows without asking again (the lock
    // keeps every other writer off the counter until the transaction ends).
    struct Held
    {
        Header h;
        int next = 0;   // the last number used
        int end = 0;    // the last number reserved
        quint64 serial = 0;
        const TOvSQLConnection *conn = nullptr;
    };
    // A period known to exist: its key stays good until work is undone.
    struct KnownPeriod
    {
        int id = 0;
        quint64 undone = 0;
        const TOvSQLConnection *conn = nullptr;
    };
    // A person made by a save of the connection's current transaction, by
    // period, tax code and group key: the saves of its sections that follow
    // in the same transaction find it without asking.
    struct MadePerson
    {
        qint64 afi = 0;
        quint64 serial = 0;
        const TOvSQLConnection *conn = nullptr;
    };
    Held *held(const TOvSQLConnection &c, const QString &key);
    int period(TOvSQLConnection &c, int year, int month);
    QHash<QString, Held> m_held;
    QHash<QString, KnownPeriod> m_periods;
    QHash<QString, MadePerson> m_made;
    // Persons whose version this transaction has moved on already.
    QHash<qint64, TorStore::VersionScope::Bumped> m_bumped;
    TTorVersions *m_expected = nullptr;
    Header findStructure(const QString &structure, int month, int year);
    // Binds the period and the structure's name of FindStructure and LockStructure.
    void bindStructure(QSqlQuery &q, const QString &structure, int month, int year) const;
    static Header headerOf(const QSqlRecord &r);
    [[noreturn]] static void structureMissing(const QString &structure);
    void applySchema(TClientDataSet &ds, const Header &h);
    // Load's work once the dataset is quiet: schema, rows, first row.
    void fillFromStore(TClientDataSet &ds, const QString &structure, int month, int year, int person);
    TOvSQLConnection &conn() const;
    int resolveMonth(int month) const { return month == Default ? m_month : month; }
    int resolveYear(int year) const { return year == Default ? m_year : year; }

    int m_year = 0;
    int m_month = 0;
    QString m_program;
    TOvSQLConnection *m_connection = nullptr;
    bool m_showWait = true;
    bool m_cutLongTexts = false;
};

// Long texts taken cut for the life of the scope (see setCutLongTexts).
class TTorCutLongTexts
{
public:
    explicit TTorCutLongTexts(TTorDBCds &store) : m_store(store), m_was(store.cutLongTexts())
    {
        store.setCutLongTexts(true);
    }
    ~TTorCutLongTexts() { m_store.setCutLongTexts(m_was); }
    TTorCutLongTexts(const TTorCutLongTexts &) = delete;
    TTorCutLongTexts &operator=(const TTorCutLongTexts &) = delete;

private:
    TTorDBCds &m_store;
    bool m_was;
};

// Saves in the scope write over these versions only (see setExpectedVersions).
class TTorVersionedWrites
{
public:
    TTorVersionedWrites(TTorDBCds &store, TTorVersions &versions) : m_store(store), m_was(store.expectedVersions())
    {
        store.setExpectedVersions(&versions);
    }
    ~TTorVersionedWrites() { m_store.setExpectedVersions(m_was); }
    TTorVersionedWrites(const TTorVersionedWrites &) = delete;
    TTorVersionedWrites &operator=(const TTorVersionedWrites &) = delete;

private:
    TTorDBCds &m_store;
    TTorVersions *m_was;
};
