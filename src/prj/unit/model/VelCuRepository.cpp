#include "src/prj/unit/model/VelCuRepository.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"
#include "src/prj/unit/model/VelCuByMonth.h"
#include "src/prj/unit/model/VelCuValue.h"
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

VelCuRepository::Stored VelCuRepository::stored(const QString &codFis, const QString &mese) const
{
    Stored out;
    out.ref.codFis = codFis;
    out.ref.mese = mese;
    // Every CU of the tax code in one statement: the one of this month and
    // the others.
    const int month = m_store.month();
    QSqlQuery &q = conn().execReused(
        QStringLiteral("SELECT afi.iafiid, COALESCE(afi.safigruppoana, '') FROM tcrf_crofiscale crf "
                       "INNER JOIN tafi_anafiscale afi ON afi.icrfid = crf.icrfid "
                       "WHERE crf.icrfanno = :ANNO AND (COALESCE(crf.icrfmese, 0) = :MESE OR :MESE = -1) "
                       "AND Lower(crf.scrfprogramma) = :PROGRAMMA AND Lower(afi.saficodfiscale) = :CODFIS "
                       "ORDER BY afi.iafiid"),
        {{QStringLiteral("ANNO"), m_store.year()},
         {QStringLiteral("MESE"), month < 1 && month != TTorDBCds::AllMonths ? 0 : month},
         {QStringLiteral("PROGRAMMA"), m_store.program().toLower()},
         {QStringLiteral("CODFIS"), codFis.trimmed().toLower()}});
    while (q.next()) {
        if (q.value(1).toString() == mese && out.ref.person == 0)
            out.ref.person = q.value(0).toLongLong();
        else
            out.otherMonths << q.value(0).toLongLong();
    }
    q.finish();
    if (out.ref.person == 0)
        return out;
    // The version before the rows: a CU written after this reading is not
    // replaced from it.
    out.ref.version = versionsOf({out.ref.person}).value(out.ref.person);
    // The structures holding its rows: a replacement reads only those.
    QSqlQuery &held = conn().execReused(
        QStringLiteral("SELECT DISTINCT lower(cds.scdsnome) FROM tfis_datifiscali fis "
                       "INNER JOIN tcds_struttura cds ON cds.icdsid = fis.icdsid WHERE fis.iafiid = :PERSONA"),
        {{QStringLiteral("PERSONA"), out.ref.person}});
    while (held.next())
        out.structures.insert(held.value(0).toString());
    held.finish();
    // Kept whole or replaced whole, never written back from here: a stored
    // text too long for its box does not stop the import that replaces it.
    TTorCutLongTexts cut(m_store);
    TClientDataSet main;
    m_store.Load(main, kCud, TTorDBCds::Default, TTorDBCds::Default, int(out.ref.person));
    out.printed = !main.isEmpty() && main.fieldByName(kState).asInteger() > 0;
    return out;
}

bool VelCuRepository::hasRowsOf(const QString &structure, const QList<qint64> &persons) const
{
    TTorCutLongTexts cut(m_store);
    for (const qint64 person : persons) {
        TClientDataSet ds;
        m_store.Load(ds, structure, TTorDBCds::Default, TTorDBCds::Default, int(person));
        if (!ds.isEmpty())
            return true;
    }
    return false;
}

void VelCuRepository::remove(const Stored &old) const
{
    TTorVersions read;
    read.insert(old.ref.person, old.ref.version);
    TTorVersionedWrites over(m_store, read);
    TTorCutLongTexts cut(m_store);
    TVelCuValue parts;
    const QList<TVelCuValue::Part> &all = parts.parts();
    // The sections first: the main record's row takes the person along, and
    // no section row may outlive it.
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        if (!old.structures.contains(it->structure.toLower()))
            continue;
        TClientDataSet ds;
        m_store.Load(ds, it->structure, TTorDBCds::Default, TTorDBCds::Default, int(old.ref.person));
        if (ds.isEmpty())
            continue;
        while (!ds.isEmpty()) {
            ds.first();
            ds.deleteRecord();
        }
        m_store.Save(ds, it->structure);
    }
}

void VelCuRepository::replace(TVelCuValue &cu, const Stored *old) const
{
    if (old && old->ref.person != 0)
        remove(*old);
    // On a server the value rows of every part go with the caller's commit,
    // in one exchange (they are read by no statement before it).
    TOvWritesWithCommit waiting(conn());
    for (const TVelCuValue::Part &p : cu.parts()) {
        p.ds->checkBrowseMode();
        if (p.ds->changeCount() > 0)
            m_store.Save(*p.ds, p.structure);
    }
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
