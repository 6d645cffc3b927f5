#include "src/prj/unit/model/VelCuRepository.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"
#include "src/prj/unit/model/VelCuByMonth.h"
#include "src/prj/unit/model/VelTextFit.h"
#include "velcu/VelFields.h"

#include <QHash>
#include <QMap>
#include <QSqlError>
#include <QSqlQuery>

namespace {

const QString kCud = rec::TCUD_DATICUD::id.qs();
const QString kState = fld::iCudStato.qs();

// Up to this many CUs a lock reads their rows person by person (a print of
// one payee's file); beyond, the year's rows once.
constexpr qsizetype kOneByOne = 8;

} // namespace

// ---------------------------------------------------------------- snapshot

VelCuRepository::Snapshot::Snapshot(TOvSQLConnection *connection) : m_connection(connection)
{
    if (!m_connection || !m_connection->isOpen() || m_connection->inTransaction())
        return;
    QSqlQuery q(m_connection->database());
    const QString begin = m_connection->isPostgres()
                              ? QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY")
                              : QStringLiteral("BEGIN");
    m_connection->aboutToRun(begin);
    if (!q.exec(begin))
        ovRaiseSqlError(q.lastError(), QStringLiteral("avvio della lettura delle certificazioni"));
    m_active = true;
}

VelCuRepository::Snapshot::~Snapshot()
{
    if (!m_active || !m_connection->isOpen())
        return;
    QSqlQuery q(m_connection->database());
    q.exec(QStringLiteral("ROLLBACK")); // a read: nothing to keep, nothing to report
}

void VelCuRepository::Snapshot::end()
{
    if (!m_active)
        return;
    // Refused here, the destructor rolls the read back.
    m_connection->aboutToRun(QStringLiteral("COMMIT"));
    m_active = false;
    QSqlQuery q(m_connection->database());
    if (!q.exec(QStringLiteral("COMMIT"))) {
        const QSqlError e = q.lastError();
        QSqlQuery(m_connection->database()).exec(QStringLiteral("ROLLBACK"));
        ovRaiseSqlError(e, QStringLiteral("fine della lettura delle certificazioni"));
    }
}

// ---------------------------------------------------------------- reads

TOvSQLConnection &VelCuRepository::conn() const
{
    if (!m_store.connection())
        throw EAssertionFailed(QStringLiteral("Archivio fiscale senza connessione al database."));
    return *m_store.connection();
}

void VelCuRepository::load(TClientDataSet &ds, const QString &structure, int month, int year, qint64 person) const
{
    VelTextFit::load(m_store, ds, structure, month, year, int(person));
}

qint64 VelCuRepository::findPerson(const QString &codFis, const QString &group, int month) const
{
    return m_store.FindPerson(codFis, group, month);
}

void VelCuRepository::write(TClientDataSet &ds, const QString &structure, int month) const
{
    m_store.Save(ds, structure, month);
}

void VelCuRepository::writeFields(TClientDataSet &ds, const QString &structure, const QStringList &fields,
                                  int month) const
{
    m_store.SaveFields(ds, structure, fields, month);
}

TTorVersions VelCuRepository::versions() const
{
    return m_store.Versions(TTorDBCds::AllMonths);
}

TTorVersions VelCuRepository::versionsOf(const QList<qint64> &persons) const
{
    constexpr qsizetype Chunk = 200;
    TOvSQLConnection &c = conn();
    TTorVersions out;
    for (qsizetype from = 0; from < persons.size(); from += Chunk) {
        QStringList marks;
        QVariantMap params;
        for (qsizetype i = from; i < qMin(persons.size(), from + Chunk); ++i) {
            const QString name = QStringLiteral("P%1").arg(i - from);
            marks << QLatin1Char(':') + name;
            params.insert(name, persons.at(i));
        }
        QSqlQuery q = c.exec(QStringLiteral("SELECT iafiid, iafiversione FROM tafi_anafiscale WHERE iafiid IN (%1)")
                                 .arg(marks.join(QStringLiteral(", "))),
                             params);
        while (q.next())
            out.insert(q.value(0).toLongLong(), q.value(1).toLongLong());
    }
    return out;
}

QString VelCuRepository::who(const VelCuRef &cu)
{
    const QString cf = cu.codFis.trimmed().toUpper();
    return cu.mese.trimmed().isEmpty() ? cf : QStringLiteral("%1 (mese %2)").arg(cf, cu.mese.trimmed());
}

// ---------------------------------------------------------------- writes

void VelCuRepository::save(TClientDataSet &ds, const QString &structure, TTorVersions &read, int month) const
{
    TTorVersionedWrites under(m_store, read);
    m_store.Save(ds, structure, month);
}

void VelCuRepository::takeCuLock() const
{
    conn().exec(QStringLiteral("UPDATE tcds_struttura SET icdsrigo = icdsrigo WHERE lower(scdsnome) = :NOME "
                               "AND lower(scdsprogramma) = :PROGRAMMA"),
                {{QStringLiteral("NOME"), kCud.toLower()}, {QStringLiteral("PROGRAMMA"), m_store.program().toLower()}});
}

namespace {

// Marks printed the rows of `ds` of these CUs (of one store month) and saves
// the state alone, over the versions printed. A CU that changed meanwhile
// (another workstation saved one of its sections between the check and this
// save) is taken out and the rest saved again; returns the CUs taken out with
// the version found.
QList<VelCuRef> markAndSave(TTorDBCds &store, TClientDataSet &ds, QList<VelCuRef> cus, int month)
{
    QList<VelCuRef> changed;
    const TField person = ds.fieldByName(fld::iAfiID.qs());
    const TField state = ds.fieldByName(kState);
    for (;;) {
        QSet<qint64> mine;
        TTorVersions expected;
        for (const VelCuRef &cu : std::as_const(cus)) {
            mine.insert(cu.person);
            expected.insert(cu.person, cu.version);
        }
        for (ds.first(); !ds.eof(); ds.next()) {
            if (!mine.contains(person.asInteger()) || state.asInteger() == 1)
                continue;
            ds.edit();
            state.setValue(1);
            ds.post();
        }
        if (ds.changeCount() == 0)
            return changed;
        try {
            TTorVersionedWrites under(store, expected);
            store.SaveFields(ds, kCud, {kState}, month);
            return changed;
        } catch (const ETorChangedMeanwhile &e) {
            ds.cancelUpdates();
            for (qsizetype i = 0; i < cus.size(); ++i)
                if (cus.at(i).person == e.person.key) {
                    VelCuRef c = cus.takeAt(i);
                    c.version = e.person.found;
                    changed << c;
                    break;
                }
        }
    }
}

} // namespace

VelCuRepository::LockResult VelCuRepository::lock(const QList<VelCuRef> &cus,
                                                  const std::function<void(const QSet<qint64> &)> &more,
                                                  TClientDataSet *read) const
{
    LockResult out;
    if (cus.isEmpty())
        return out;
    TOvSQLConnection &c = conn();
    TOvTransaction tr(&c);
    if (!c.inTransaction())
        tr.StartTransaction();
    takeCuLock();

    QList<qint64> ids;
    for (const VelCuRef &cu : cus)
        ids << cu.person;
    const TTorVersions now = versionsOf(ids);
    QMap<int, QList<VelCuRef>> byMonth; // unchanged since printed, by store month
    for (const VelCuRef &cu : cus) {
        const auto it = now.constFind(cu.person);
        if (it == now.cend() || it.value() != cu.version) {
            VelCuRef changed = cu;
            changed.version = it == now.cend() ? 0 : it.value();
            out.changed << changed;
        } else {
            byMonth[velCuStoreMonth(cu.mese)] << cu;
        }
    }

    QSet<qint64> gone;
    if (read) {
        read->setFiltered(false);
        for (auto m = byMonth.cbegin(); m != byMonth.cend(); ++m)
            for (const VelCuRef &ch : markAndSave(m_store, *read, m.value(), m.key())) {
                out.changed << ch;
                gone.insert(ch.person);
            }
    } else if (cus.size() - out.changed.size() <= kOneByOne) {
        for (auto m = byMonth.cbegin(); m != byMonth.cend(); ++m)
            for (const VelCuRef &cu : m.value()) {
                TClientDataSet one;
                load(one, kCud, TTorDBCds::AllMonths, TTorDBCds::Default, cu.person);
                for (const VelCuRef &ch : markAndSave(m_store, one, {cu}, m.key())) {
                    out.changed << ch;
                    gone.insert(ch.person);
                }
            }
    } else {
        TClientDataSet all;
        load(all, kCud, TTorDBCds::AllMonths);
        for (auto m = byMonth.cbegin(); m != byMonth.cend(); ++m)
            for (const VelCuRef &ch : markAndSave(m_store, all, m.value(), m.key())) {
                out.changed << ch;
                gone.insert(ch.person);
            }
    }
    QSet<qint64> locked;
    for (auto m = byMonth.cbegin(); m != byMonth.cend(); ++m)
        for (const VelCuRef &cu : m.value())
            if (!gone.contains(cu.person)) {
                out.locked << cu;
                locked.insert(cu.person);
            }
    if (more && !locked.isEmpty())
        more(locked);
    if (tr.active())
        tr.Commit();
    return out;
}
