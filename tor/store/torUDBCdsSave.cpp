// Saving a dataset's pending changes into the fiscal store.
#include "torUDBCds.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvCroFiscale.h"
#include "platform/db/OvGenerator.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvPgStatement.h"
#include "platform/db/OvSqliteStatement.h"
#include "platform/db/OvTransaction.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/TorStoreLayout.h"
#include "tor/store/TorStoreReader.h"
#include "tor/store/TorStoreSql.h"
#include "tor/store/TorStoreValues.h"

#include <QSet>
#include <QSqlRecord>
#include <QHash>
#include <unordered_set>
#include <vector>

using namespace TorStore;

namespace {

// Row numbers reserved beyond a save's own when it runs inside a caller's
// transaction, for the saves of the same structure that follow in it.
constexpr int SpareRows = 8;

QVariant nullInt() { return QVariant(QMetaType::fromType<int>()); }

} // namespace

// One save: its transaction, the statements it prepares, the structure's
// header, how the dataset's fields map onto the store, and what the attempt
// has written back into the dataset's rows.
class TTorDBCds::SaveRun
{
    using FieldLayout = TorStore::FieldLayout;

public:
    SaveRun(TTorDBCds &store, TOvSQLConnection &c, TClientDataSet &ds, const QString &structure, int month,
            int year)
        : m_store(store), m_c(c), m_ds(ds), m_structure(structure), m_month(month), m_year(year),
          m_delta(ds.delta()), m_tr(&c), m_own(!c.inTransaction()), m_versions(c, store.m_bumped, store.m_expected)
    {
    }

    // Only these fields of modified rows are written (lower case).
    void writeOnly(const QStringList &fields)
    {
        for (const QString &f : fields)
            m_only.insert(f.toLower());
        for (const TDeltaRow &r : m_delta)
            if (r.status() != TUpdateStatus::Modified)
                throw EAssertionFailed(QStringLiteral("Salvataggio di campi di %1: righe nuove o eliminate in sospeso.")
                                           .arg(m_structure));
    }

    // Writes every pending change in the transaction and merges the change
    // log; on failure undoes what the attempt did and raises.
    void saveAll()
    {
        try {
            if (m_own)
                m_tr.StartTransaction();
            lockStructure();
            readFieldLayout();
            checkOnly();
            prepareStatements();
            for (const TDeltaRow &r : m_delta)
                saveRow(r);
            // The lock moved the counter past exactly the rows numbered here.
            if (m_h.lastRow != m_reserved)
                throw EAssertionFailed(QStringLiteral("Salvataggio di %1: %2 righe nuove, %3 riservate.")
                                           .arg(m_structure)
                                           .arg(m_h.lastRow - m_firstRow)
                                           .arg(m_reserved - m_firstRow));
            if (m_own)
                m_tr.Commit();
        } catch (const EOvException &) {
            abandon();
            throw;
        } catch (const std::exception &e) {
            const QString what = QString::fromUtf8(e.what());
            abandon();
            throw EDatabaseError(what);
        }
        m_ds.mergeChangeLog();
    }

private:
    // A person key or row number the attempt wrote into a dataset row, with
    // the value it replaced.
    struct Written
    {
        TBookmark row;
        QString field;
        QVariant old;
    };

    // The connection keeps the statements: a CU's save prepares none of them
    // again (on a server each preparation and each release is a round trip),
    // and none is freed inside a failed transaction.
    QSqlQuery &stmt(const QString &text) { return reused(m_c, text); }

    void writeBack(const TDeltaRow &r, const QString &field, const QVariant &value)
    {
        m_written.push_back({r.bookmark(), field, r.newValue(field)});
        m_ds.writeRowValue(r.bookmark(), field, value);
    }

    // A refusal before any datum is written leaves the changes pending (the
    // user can still correct them), with the keys the attempt wrote undone; a
    // database error cancels them.
    void abandon()
    {
        // The first error is the one reported: a rollback that fails too (SQLite
        // has already undone the transaction after a full disk) must not hide it.
        try {
            m_tr.Rollback();
        } catch (...) {
        }
        m_versions.undo();
        if (!m_keepPending) {
            m_ds.cancelUpdates();
            return;
        }
        for (auto it = m_written.rbegin(); it != m_written.rend(); ++it) {
            try {
                m_ds.writeRowValue(it->row, it->field, it->old);
            } catch (...) {
            }
        }
    }

    // The row of a change: its own number, or 0 when the save numbers it.
    int rowNumber(const TDeltaRow &r) const
    {
        if (m_rigoField < 0)
            return 0;
        return int((r.status() == TUpdateStatus::Deleted ? r.oldValue(m_rigoField) : r.newValue(m_rigoField)).toLongLong());
    }

    // The structure's version, its row held until the commit, and its row
    // counter as the transaction sees it, moved past the rows this save
    // numbers (written in the same statement: no second round trip).
    void lockStructure()
    {
        m_rigoField = m_ds.fieldIndex(QStringLiteral("iFisRigo"));
        int added = 0;
        for (const TDeltaRow &r : m_delta)
            if ((r.status() == TUpdateStatus::Inserted || r.status() == TUpdateStatus::Modified) && rowNumber(r) == 0)
                ++added;
        const QString key = QStringLiteral("%1|%2|%3|%4")
                                .arg(m_store.m_program.toLower(), m_structure.toLower())
                                .arg(m_month)
                                .arg(m_year);
        if (TTorDBCds::Held *h = m_store.held(m_c, key); h && h->end - h->next >= added) {
            // Locked earlier in this transaction, with numbers left.
            m_h = h->h;
            m_h.lastRow = m_firstRow = h->next;
            h->next += added;
            m_reserved = h->next;
            return;
        }
        // Inside a caller's transaction more saves of the structure may
        // follow: a few numbers more are reserved for them.
        const int spare = m_own ? 0 : SpareRows;
        QSqlQuery &lock = stmt(sql(TorStoreSql::LockStructure));
        m_store.bindStructure(lock, m_structure, m_month, m_year);
        lock.bindValue(QStringLiteral(":NUOVE"), added + spare);
        // The counter's row only: value rows of an earlier save of the
        // transaction may go on waiting for the commit.
        runBesideWaiting(m_c, lock);
        const bool found = lock.next();
        const QSqlRecord rec = lock.record();
        lock.finish();
        if (!found) {
            // Refused before any datum is written.
            m_keepPending = true;
            structureMissing(m_structure);
        }
        m_h = headerOf(rec);
        const int end = m_h.lastRow;
        m_h.lastRow = m_firstRow = end - added - spare;
        // Reserved before any row is written: a save that fails half-way
        // leaves unused numbers, never numbers used twice.
        m_reserved = m_firstRow + added;
        if (!m_own)
            m_store.m_held.insert(key, {m_h, m_reserved, end, m_c.transactionSerial(), &m_c});
    }

    // Which fields are stored as value rows and which feed the person's columns.
    void readFieldLayout()
    {
        m_layout = fieldLayout(m_ds, m_h, m_rigoField);
        const FieldLayout &l = *m_layout;
        m_afiField = l.afiField;
        m_defs = m_ds.fieldDefs();
        m_fieldNames = l.fieldNames;
        m_valueFields = l.valueFields;
        m_codFisPair = l.codFisPair;
        m_groupPair = l.groupPair;
        m_updatable = l.updatable;
    }

    // The layout of the dataset's fields under the structure's field map: the
    // same for every save of fields and a map that have not changed (a CU's
    // hundreds of fields, saved for every employee, its dataset loaded again
    // each time), so worked out once a thread and kept for the last few.
    static std::shared_ptr<const FieldLayout> fieldLayout(const TClientDataSet &ds, const Header &h, int rigoField)
    {
        constexpr size_t Kept = 16;
        thread_local std::vector<std::shared_ptr<const FieldLayout>> kept;
        const QList<TFieldDef> &defs = ds.fieldDefs();
        for (const auto &l : kept)
            if (l->matches(defs, h.fieldMap, h.mapReadOnly, rigoField))
                return l;
        auto made = std::make_shared<const FieldLayout>(defs, h.fieldMap, h.mapReadOnly, rigoField, ds);
        if (kept.size() >= Kept)
            kept.erase(kept.begin());
        kept.push_back(made);
        return made;
    }

    void prepareStatements()
    {
        QStringList setItems, columns, values;
        for (const MapPair *p : m_updatable) {
            setItems << QStringLiteral(" %1 = :%1 ").arg(p->column);
            columns << p->column;
            values << QLatin1Char(':') + p->column;
        }

        m_delPerson = &stmt(sql(TorStoreSql::DeletePerson));
        m_delValues = &stmt(sql(TorStoreSql::DeleteValues));
        m_findPerson = &stmt(sql(TorStoreSql::FindPerson));
        // On a server the key is drawn in the insert: one round trip, not two.
        m_keyInInsert = m_c.isPostgres();
        m_insPerson = &stmt(sql(m_keyInInsert ? TorStoreSql::InsertPersonDrawn : TorStoreSql::InsertPerson));
        if (!setItems.isEmpty() && m_afiField >= 0) {
            m_updPerson = &stmt(sql(TorStoreSql::UpdatePerson).arg(setItems.join(QLatin1Char(','))));
            m_insPersonWith = &stmt(sql(m_keyInInsert ? TorStoreSql::InsertPersonWithDrawn : TorStoreSql::InsertPersonWith)
                                        .arg(columns.join(QStringLiteral(" , ")), values.join(QStringLiteral(" , "))));
        }
        // SQLite: one value row per INSERT, straight on the engine (the
        // driver's binding costs more than the insert); a server: multi-row
        // INSERTs, and this one for a row's lone row-number value.
        for (int k = 0; k < 4; ++k) {
            const QString text = sql(TorStoreSql::InsertValue).arg(QLatin1Char("IFSD"[k]));
            m_nativeValue[k] = m_c.sqliteStatement(text);
            if (!m_nativeValue[k])
                m_insValue[k] = &stmt(text);
        }
        m_batched = m_c.isPostgres();
    }


    // The new value of a map pair's part, by the field the layout found.
    QVariant partValue(const TDeltaRow &r, const MapPair &p, int part) const
    {
        const int field = m_layout->fieldsOf(p).at(part);
        if (field < 0)
            throw EDatabaseError(QStringLiteral("Campo '%1' non trovato").arg(p.parts.at(part)));
        return r.newValue(field);
    }

    // The text of a map pair's fields, joined.
    QString joinFields(const TDeltaRow &r, const MapPair &p) const
    {
        QString s;
        for (int k = 0; k < p.parts.size(); ++k) {
            const QVariant v = partValue(r, p, k);
            s += fieldValueText(m_defs.at(m_layout->fieldsOf(p).at(k)).type, v);
        }
        return s;
    }

    bool hasAllParts(const MapPair &p) const
    {
        for (int field : m_layout->fieldsOf(p))
            if (field < 0)
                return false;
        return true;
    }

    // Whether a row gives its person a datum through the field map.
    bool personHasData(const TDeltaRow &r) const
    {
        for (const MapPair *p : m_updatable)
            if (hasAllParts(*p) && !joinFields(r, *p).trimmed().isEmpty())
                return true;
        return false;
    }

    void saveRow(const TDeltaRow &r)
    {
        if (!m_only.isEmpty()) {
            saveFieldsOf(r);
            return;
        }
        int rigo = rowNumber(r);
        if (r.status() == TUpdateStatus::Modified || r.status() == TUpdateStatus::Deleted)
            removeStoredRow(r, rigo);
        if (r.status() != TUpdateStatus::Inserted && r.status() != TUpdateStatus::Modified)
            return;
        if (rigo == 0)
            rigo = ++m_h.lastRow;
        writeRow(r, rigo);
    }

    // Every field named for SaveFields is stored as value rows.
    void checkOnly()
    {
        if (m_only.isEmpty())
            return;
        QSet<QString> stored;
        for (int i : m_valueFields)
            stored.insert(m_defs.at(i).name.toLower());
        for (const QString &f : std::as_const(m_only))
            if (!stored.contains(f)) {
                m_keepPending = true;
                throw EAssertionFailed(
                    QStringLiteral("Salvataggio di campi di %1: il campo %2 non è un dato della riga.").arg(m_structure, f));
            }
    }

    // The named fields of a modified row, each deleted and written again.
    void saveFieldsOf(const TDeltaRow &r)
    {
        const int rigo = rowNumber(r);
        if (rigo == 0 || m_afiField < 0)
            throw EAssertionFailed(QStringLiteral("Salvataggio di campi di %1: riga senza numero o senza persona.")
                                       .arg(m_structure));
        if (m_crfId == 0)
            m_crfId = m_store.period(m_c, m_year, m_month);
        // a row whose CU is gone gets nothing (the insert below checks the
        // row is there); refused only when the writer named its version
        touch(r.value(m_defs.at(m_afiField).name).toLongLong(), r, true);
        for (int i : m_valueFields) {
            const QString name = m_defs.at(i).name;
            if (!m_only.contains(name.toLower()))
                continue;
            QSqlQuery &del = stmt(sql(TorStoreSql::DeleteFieldValue));
            del.bindValue(QStringLiteral(":ICDSID"), m_h.cdsId);
            del.bindValue(QStringLiteral(":IFISRIGO"), rigo);
            del.bindValue(QStringLiteral(":NOME"), name.toLower());
            run(m_c, del);
            const QVariant v = storedValue(m_defs.at(i).type, r.newValue(i));
            if (!v.isValid())
                continue;
            const QChar slot = QLatin1Char("IFSD"[int(slotOf(m_defs.at(i).type))]);
            QSqlQuery &ins = stmt(sql(TorStoreSql::InsertFieldValue).arg(slot));
            ins.bindValue(QStringLiteral(":ICDSID"), m_h.cdsId);
            ins.bindValue(QStringLiteral(":ICRFID"), m_crfId);
            ins.bindValue(QStringLiteral(":IAFIID"), r.value(m_defs.at(m_afiField).name));
            ins.bindValue(QStringLiteral(":IFISRIGO"), rigo);
            ins.bindValue(QStringLiteral(":SFISFIELDNAME"), m_fieldNames.at(i));
            ins.bindValue(QStringLiteral(":%1FISVALUE").arg(slot), v);
            ins.bindValue(QStringLiteral(":ICDSID_ESISTE"), m_h.cdsId);
            ins.bindValue(QStringLiteral(":IFISRIGO_ESISTE"), rigo);
            run(m_c, ins);
        }
    }

    // The row's value rows go; a deleted row of a registry takes its person along.
    void removeStoredRow(const TDeltaRow &r, int rigo)
    {
        if (m_afiField >= 0)
            touch(r.oldValue(m_afiField).toLongLong(), r, r.status() == TUpdateStatus::Deleted);
        if (r.status() == TUpdateStatus::Deleted && m_h.anagrafica && m_afiField >= 0) {
            m_delPerson->bindValue(QStringLiteral(":IAFIID"), r.oldValue(m_afiField));
            run(m_c, *m_delPerson);
            m_store.m_made.clear();
        }
        m_delValues->bindValue(QStringLiteral(":ICDSID"), m_h.cdsId);
        m_delValues->bindValue(QStringLiteral(":IFISRIGO"), rigo);
        run(m_c, *m_delValues);
    }

    void writeRow(const TDeltaRow &r, int rigo)
    {
        if (m_crfId == 0)
            m_crfId = m_store.period(m_c, m_year, m_month);
        QVariant afi = nullInt();
        if (m_afiField >= 0) {
            bool made = false;
            afi = personOfRow(r, made);
            if (made)
                madeNow(afi.toLongLong());
            else
                touch(afi.toLongLong(), r, false);
        }
        if (m_rigoField >= 0)
            writeBack(r, m_defs.at(m_rigoField).name, rigo);

        const int stored = m_batched ? insertValuesBatched(r, afi, rigo) : insertValuesOneByOne(r, afi, rigo);
        // A row whose every datum lives in its person's columns (another
        // agent with tax code and name only) has no value row, and a load
        // would never see it again: one row of the row number keeps it.
        if (stored == 0 && m_afiField >= 0 && personHasData(r))
            insertValue(Slot::I, afi, rigo, QStringLiteral("iFisRigo"), QByteArrayLiteral("iFisRigo"), rigo);
    }

    // The row's person: its own key, or one found or made now (and written
    // back into the row); its columns updated from the field map.
    qint64 personOfRow(const TDeltaRow &r, bool &made)
    {
        qint64 key = r.newValue(m_afiField).toLongLong();
        made = false;
        if (key == 0) {
            key = findOrAddPerson(r, made);
            writeBack(r, m_defs.at(m_afiField).name, key);
        }
        if (m_updPerson && !made)
            updatePersonColumns(r, key);
        return key;
    }

    // A new person is written with its columns at once.
    qint64 findOrAddPerson(const TDeltaRow &r, bool &made)
    {
        qint64 key = 0;
        const QString group = m_groupPair ? joinFields(r, *m_groupPair) : QString();
        if (!m_h.anagrafica && m_codFisPair && m_codFisPair->parts.size() == 1
            && m_ds.fieldIndex(m_codFisPair->parts.first()) >= 0)
            key = certifiedPerson(r, group);
        if (key == 0) {
            if (!m_keyInInsert)
                key = GenerateID(1, m_c, QStringLiteral("TAFI_ANAFISCALE"));
            QSqlQuery &ins = m_insPersonWith ? *m_insPersonWith : *m_insPerson;
            if (!m_keyInInsert)
                ins.bindValue(QStringLiteral(":IAFIID"), key);
            ins.bindValue(QStringLiteral(":ICRFID"), m_crfId);
            if (m_insPersonWith) {
                bindPersonColumns(ins, r);
                runPersonStatement(ins, r);
            } else {
                run(m_c, ins);
            }
            if (m_keyInInsert) {
                key = ins.next() ? ins.value(0).toLongLong() : 0;
                ins.finish();
                if (key <= 0)
                    throw EDatabaseError(QStringLiteral("Errore del database: nessuna chiave per la nuova persona di %1.")
                                             .arg(m_structure));
            }
            made = true;
            if (m_codFisPair && m_codFisPair->parts.size() == 1 && !group.isEmpty())
                m_store.m_made.insert(personKey(r, group), {key, m_c.transactionSerial(), &m_c});
        }
        return key;
    }

    // The person of the period with the row's tax code and group key; 0 when
    // there is none and one may be made.
    // The period, tax code and group of a person, as the find compares them.
    QString personKey(const TDeltaRow &r, const QString &group) const
    {
        return QStringLiteral("%1|%2|%3|%4|%5")
            .arg(m_store.m_program.toLower())
            .arg(m_year)
            .arg(m_month < 1 && m_month != AllMonths ? 0 : m_month)
            .arg(partValue(r, *m_codFisPair, 0).toString().toLower(), group);
    }

    qint64 certifiedPerson(const TDeltaRow &r, const QString &group)
    {
        // Made earlier in this transaction (the CU before its sections).
        if (!group.isEmpty() && m_c.inTransaction()) {
            const auto it = m_store.m_made.constFind(personKey(r, group));
            if (it != m_store.m_made.cend() && it->conn == &m_c && it->serial == m_c.transactionSerial())
                return it->afi;
        }
        qint64 key = 0;
        QSqlQuery &find = *m_findPerson;
        find.bindValue(QStringLiteral(":ICRFANNO"), m_year);
        find.bindValue(QStringLiteral(":ICRFMESE"), m_month < 1 && m_month != AllMonths ? 0 : m_month);
        find.bindValue(QStringLiteral(":SCRFPROGRAMMA"), m_store.m_program.toLower());
        find.bindValue(QStringLiteral(":SAFICODFISCALE"), partValue(r, *m_codFisPair, 0).toString().toLower());
        find.bindValue(QStringLiteral(":SAFIGRUPPOANA"), group);
        run(m_c, find);
        if (find.next())
            key = find.value(0).toLongLong();
        find.finish();
        // A row of a section belongs to the person of its certificate: with a
        // read-only field map a new person here would stay empty, and be
        // dropped at the next start with the row left orphan.
        if (key == 0 && m_h.mapReadOnly) {
            m_keepPending = true;
            const QString cf = partValue(r, *m_codFisPair, 0).toString().trimmed();
            throw EOvError(QStringLiteral("Impossibile salvare i dati di %1: non esiste una certificazione "
                                          "con codice fiscale \"%2\"%3 a cui collegarli.")
                               .arg(m_structure, cf,
                                    group.isEmpty() ? QString() : QStringLiteral(" e mese \"%1\"").arg(group)));
        }
        return key;
    }

    void bindPersonColumns(QSqlQuery &q, const TDeltaRow &r)
    {
        for (const MapPair *p : m_updatable) {
            const QString v = hasAllParts(*p) ? joinFields(r, *p) : QString();
            q.bindValue(QLatin1Char(':') + p->column,
                        v.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(v));
        }
    }

    void updatePersonColumns(const TDeltaRow &r, qint64 key)
    {
        bindPersonColumns(*m_updPerson, r);
        m_updPerson->bindValue(QStringLiteral(":IAFIID"), key);
        runPersonStatement(*m_updPerson, r);
    }

    // A person whose rows this save writes (see TorStore::VersionScope).
    void touch(qint64 afi, const TDeltaRow &r, bool deleting)
    {
        try {
            m_versions.touch(afi, deleting, [&]() { return whoOf(r, deleting); });
        } catch (const ETorChangedMeanwhile &) {
            m_keepPending = true;
            throw;
        }
    }
    void madeNow(qint64 afi) { m_versions.made(afi); }

    QPair<QString, QString> whoOf(const TDeltaRow &r, bool deleting) const
    {
        auto valueOf = [&](const MapPair *pair) {
            const int field = pair && !pair->parts.isEmpty() ? m_layout->fieldsOf(*pair).at(0) : -1;
            return field < 0 ? QString() : (deleting ? r.oldValue(field) : r.newValue(field)).toString().trimmed();
        };
        return {valueOf(m_codFisPair), valueOf(m_groupPair)};
    }

    // Writes a person's columns.
    void runPersonStatement(QSqlQuery &q, const TDeltaRow &r)
    {
        try {
            run(m_c, q);
        } catch (const EOvException &e) {
            // The unique key of a certification (tax code and month in the
            // period): said in Italian, by its type.
            if (!e.message().contains(QLatin1String(TorStoreSql::UniqueCertification)))
                throw;
            throw ETorDuplicateCertification(
                QStringLiteral("Esiste già una certificazione per il codice fiscale %1 e il mese %2: "
                               "non ne viene scritta una seconda.")
                    .arg(m_codFisPair ? partValue(r, *m_codFisPair, 0).toString().trimmed() : QString(),
                         m_groupPair ? joinFields(r, *m_groupPair) : QString()));
        }
    }

    // PostgreSQL: the values of a row go in multi-row INSERTs (same rows as
    // one INSERT per value, a fraction of the round trips: on a server every
    // statement is a round trip, and a CU holds dozens of values). The row's
    // structure, period, person and row number are sent once ($1-$4) for all
    // its values: each value adds its name and its four slots. Returns the
    // value rows written.
    int insertValuesBatched(const TDeltaRow &r, const QVariant &afi, int rigo)
    {
        int stored = 0;
        QVariantList values;
        auto start = [&] {
            values.clear();
            values << m_h.cdsId << m_crfId << afi << rigo;
        };
        start();
        int count = 0;
        for (int i : m_valueFields) {
            const QVariant v = storedValue(m_defs.at(i).type, r.newValue(i));
            if (!v.isValid())
                continue;
            ++stored;
            const Slot s = slotOf(m_defs.at(i).type);
            values << m_fieldNames.at(i) << (s == Slot::I ? v : nullInt())
                   << (s == Slot::F ? v : QVariant(QMetaType::fromType<QString>()))
                   << (s == Slot::S ? v : QVariant(QMetaType::fromType<QString>()))
                   << (s == Slot::D ? v : QVariant(QMetaType::fromType<QDate>()));
            if (++count == TorStoreSql::BatchRows) {
                runBatch(count, values);
                start();
                count = 0;
            }
        }
        if (count > 0)
            runBatch(count, values);
        return stored;
    }

    void runBatch(int rows, const QVariantList &values)
    {
        TOvPgStatement *&q = m_batchStatements[rows];
        if (!q)
            q = m_c.pgStatement(insertValuesText(rows));
        for (int k = 0; k < values.size(); ++k)
            q->bind(k, values.at(k));
        // Nothing is read back: within the caller's transaction the rows
        // may wait and go with its commit.
        if (m_c.letWait(*q))
            return;
        m_c.countStatement();
        q->run();
    }

    // SQLite runs in process, where one prepared statement per value is
    // fastest. Returns the value rows written.
    int insertValuesOneByOne(const TDeltaRow &r, const QVariant &afi, int rigo)
    {
        int stored = 0;
        for (int i : m_valueFields) {
            const QVariant v = storedValue(m_defs.at(i).type, r.newValue(i));
            if (!v.isValid())
                continue;
            ++stored;
            insertValue(slotOf(m_defs.at(i).type), afi, rigo, m_fieldNames.at(i), m_layout->namesUtf8.at(i), v);
        }
        return stored;
    }

    void insertValue(Slot s, const QVariant &afi, int rigo, const QVariant &name, const QByteArray &nameUtf8,
                     const QVariant &value)
    {
        // Bound by position (the placeholders' order in the text): this
        // statement runs once per stored value.
        const int k = int(s);
        if (TOvSqliteStatement *native = m_nativeValue[k]) {
            native->bind(0, m_h.cdsId);
            native->bind(1, m_crfId);
            native->bind(2, afi);
            native->bind(3, rigo);
            native->bindUtf8(4, nameUtf8);
            native->bind(5, value);
            m_c.countStatement();
            native->run();
            return;
        }
        QSqlQuery &ins = *m_insValue[k];
        ins.bindValue(0, m_h.cdsId);
        ins.bindValue(1, m_crfId);
        ins.bindValue(2, afi);
        ins.bindValue(3, rigo);
        ins.bindValue(4, name);
        ins.bindValue(5, value);
        run(m_c, ins);
    }

    TTorDBCds &m_store;
    TOvSQLConnection &m_c;
    TClientDataSet &m_ds;
    const QString m_structure;
    const int m_month;
    const int m_year;
    const QList<TDeltaRow> m_delta;
    TOvTransaction m_tr;
    int m_firstRow = 0;   // the row counter before this save
    int m_reserved = 0;   // the counter as the lock left it
    const bool m_own; // the save's own transaction, not the caller's
    bool m_keepPending = false;
    QSet<QString> m_only;   // SaveFields: the fields written
    std::vector<Written> m_written;

    Header m_h;
    int m_crfId = 0; // the period, asked once
    std::shared_ptr<const FieldLayout> m_layout; // keeps the pairs below alive
    int m_afiField = -1;
    int m_rigoField = -1;
    QList<TFieldDef> m_defs;
    QList<QVariant> m_fieldNames;
    QList<int> m_valueFields;
    const MapPair *m_codFisPair = nullptr;
    const MapPair *m_groupPair = nullptr;
    QList<const MapPair *> m_updatable;

    QSqlQuery *m_delPerson = nullptr;
    QSqlQuery *m_delValues = nullptr;
    QSqlQuery *m_findPerson = nullptr;
    QSqlQuery *m_insPerson = nullptr;
    bool m_keyInInsert = false; // the person's key drawn by the insert (PostgreSQL)
    QSqlQuery *m_updPerson = nullptr;
    QSqlQuery *m_insPersonWith = nullptr;
    TorStore::VersionScope m_versions;
    QSqlQuery *m_insValue[4] = {};             // by Slot
    TOvSqliteStatement *m_nativeValue[4] = {}; // by Slot, SQLite only
    bool m_batched = false; // a row's values in multi-row INSERTs
    QHash<int, TOvPgStatement *> m_batchStatements; // by rows, on the server
};

void TTorDBCds::SaveFields(TClientDataSet &ds, const QString &structure, const QStringList &fields, int month,
                           int year)
{
    month = resolveMonth(month);
    year = resolveYear(year);
    TOvSQLConnection &c = conn();
    QueryText().setLastOperation(QStringLiteral("archivio fiscale, salvataggio di %1").arg(structure));

    ds.checkBrowseMode();
    if (fields.isEmpty())
        throw EAssertionFailed(QStringLiteral("Salvataggio di campi di %1 senza campi.").arg(structure));
    SaveRun run(*this, c, ds, structure, month, year);
    run.writeOnly(fields);
    run.saveAll();
}

void TTorDBCds::Save(TClientDataSet &ds, const QString &structure, int month, int year)
{
    month = resolveMonth(month);
    year = resolveYear(year);
    TOvSQLConnection &c = conn();
    QueryText().setLastOperation(QStringLiteral("archivio fiscale, salvataggio di %1").arg(structure));

    ds.checkBrowseMode();
    SaveRun(*this, c, ds, structure, month, year).saveAll();
}
