#include "torUDBCds.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvCroFiscale.h"
#include "platform/db/OvGenerator.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/TorStoreReader.h"
#include "tor/store/TorStoreSql.h"
#include "tor/store/TorStoreValues.h"

#include <QHash>
#include <QSqlRecord>
#include <optional>

using namespace TorStore;

namespace {

QString sql(const char *text) { return QString::fromLatin1(text); }

QVariant nullInt() { return QVariant(QMetaType::fromType<int>()); }

// Nothing is shown until the program installs its wait window.
class NoWait : public ITorWaitIndicator
{
public:
    void begin() override {}
    void end() override {}
};

std::shared_ptr<ITorWaitIndicator> &waitSlot()
{
    static std::shared_ptr<ITorWaitIndicator> s;
    return s;
}

} // namespace

void setTorWaitIndicator(std::shared_ptr<ITorWaitIndicator> indicator)
{
    waitSlot() = std::move(indicator);
}

ITorWaitIndicator &torWaitIndicator()
{
    if (!waitSlot())
        waitSlot() = std::make_shared<NoWait>();
    return *waitSlot();
}

bool hasTorWaitIndicator()
{
    return waitSlot() && !dynamic_cast<NoWait *>(waitSlot().get());
}

// ---------------------------------------------------------------------------

struct TTorDBCds::Header
{
    int cdsId = 0;
    bool anagrafica = false;
    bool mapReadOnly = false;
    int lastRow = 0;
    QString fieldMap;
    QByteArray schema;
};

TTorDBCds::TTorDBCds() = default;
TTorDBCds::~TTorDBCds() = default;

TOvSQLConnection &TTorDBCds::conn() const
{
    if (!m_connection)
        throw EAssertionFailed(QStringLiteral("Archivio fiscale senza connessione al database"));
    return *m_connection;
}

TTorDBCds::Header TTorDBCds::findStructure(const QString &structure, int month, int year)
{
    QSqlQuery q = prepare(conn(), sql(TorStoreSql::FindStructure));
    q.bindValue(QStringLiteral(":ICDSANNO"), year);
    q.bindValue(QStringLiteral(":ICDSMESE"), month);
    q.bindValue(QStringLiteral(":SCDSPROGRAMMA"), m_program.toLower());
    q.bindValue(QStringLiteral(":SCDSNOME"), structure.toLower());
    run(q);
    if (!q.next())
        throw ETorStructureMissing(QStringLiteral("Impossibile trovare il ClientDataSet (%1).").arg(structure));
    const QSqlRecord r = q.record();
    Header h;
    h.cdsId = r.value(QStringLiteral("icdsid")).toInt();
    h.anagrafica = r.value(QStringLiteral("lcdsanagrafica")).toInt() == 1;
    h.mapReadOnly = r.value(QStringLiteral("lcdsfmapreadonly")).toInt() == 1;
    h.lastRow = r.value(QStringLiteral("icdsrigo")).toInt();
    h.fieldMap = r.value(QStringLiteral("scdsfieldmap")).toString();
    h.schema = r.value(QStringLiteral("bcdsschema")).toByteArray();
    return h;
}

void TTorDBCds::applySchema(TClientDataSet &ds, const Header &h)
{
    TClientDataSet schema;
    try {
        schema.loadFromBytes(h.schema, QStringLiteral("schema della struttura %1").arg(h.cdsId));
    } catch (const EOvException &e) {
        throw EOvError(QStringLiteral("Schema della struttura non leggibile (%1): %2").arg(h.cdsId).arg(e.message()));
    }
    ds.setIndexFieldNames(QString());
    ds.close();
    ds.setFieldDefs(schema.fieldDefs());
    ds.createDataSet();
}

void TTorDBCds::Load(TClientDataSet &ds, const QString &structure, int month, int year, int person)
{
    month = resolveMonth(month);
    year = resolveYear(year);
    // An error from here on names the store's work, not the last named query.
    QueryText().setLastOperation(QStringLiteral("archivio fiscale, lettura di %1").arg(structure));

    ds.disableControls();
    const bool waiting = m_showWait;
    if (waiting)
        torWaitIndicator().begin();
    const TDataSetEvents handlers = ds.detachEvents();
    auto restore = [&] {
        ds.attachEvents(handlers);
        ds.enableControls();
        if (waiting)
            torWaitIndicator().end();
    };

    try {
        const Header h = findStructure(structure, month, year);
        applySchema(ds, h);

        const int nFields = ds.fieldCount();
        const int afiField = ds.fieldIndex(QStringLiteral("iAfiID"));
        const int rigoField = ds.fieldIndex(QStringLiteral("iFisRigo"));
        QHash<QString, int> byName;
        QList<TFieldType> types;
        for (int i = 0; i < nFields; ++i) {
            byName.insert(ds.fieldDefs().at(i).name.toLower(), i);
            types << ds.fieldDefs().at(i).type;
        }
        // Field-map pairs whose field side is one field of the dataset.
        QList<QPair<QString, int>> mapped;
        for (const MapPair &p : parseFieldMap(h.fieldMap)) {
            if (p.parts.size() == 1 && isPersonColumn(p.column)) {
                const int idx = byName.value(p.parts.first().toLower(), -1);
                if (idx >= 0)
                    mapped << qMakePair(p.column, idx);
            }
        }

        const int monthParam = month < 1 && month != AllMonths ? 0 : month;
        std::unique_ptr<LoadReader> reader;
        std::optional<QSqlQuery> q;
        sqlite3 *handle = conn().isSQLite() ? static_cast<sqlite3 *>(conn().nativeHandle()) : nullptr;
        if (handle) {
            auto r = std::make_unique<SqliteLoadReader>(handle, sql(TorStoreSql::LoadValues));
            r->bind(":ICRFANNO", year);
            r->bind(":ICRFMESE", monthParam);
            r->bind(":SCRFPROGRAMMA", m_program.toLower());
            r->bind(":ICDSID", h.cdsId);
            r->bind(":IAFIID", person);
            reader = std::move(r);
        } else {
            q.emplace(prepare(conn(), sql(TorStoreSql::LoadValues)));
            q->bindValue(QStringLiteral(":ICRFANNO"), year);
            q->bindValue(QStringLiteral(":ICRFMESE"), monthParam);
            q->bindValue(QStringLiteral(":SCRFPROGRAMMA"), m_program.toLower());
            q->bindValue(QStringLiteral(":ICDSID"), h.cdsId);
            q->bindValue(QStringLiteral(":IAFIID"), person);
            run(*q);
            reader = std::make_unique<QtLoadReader>(*q);
        }

        // Value column of each field, and field names as stored (exact and
        // lower case: stored names compare without regard to case).
        QList<int> valueColumn;
        QHash<QByteArray, int> byStoredName;
        for (int i = 0; i < nFields; ++i) {
            switch (slotOf(types.at(i))) {
            case Slot::I: valueColumn << cI; break;
            case Slot::F: valueColumn << cF; break;
            case Slot::D: valueColumn << cD; break;
            case Slot::S: valueColumn << cS; break;
            }
            byStoredName.insert(ds.fieldDefs().at(i).name.toUtf8(), i);
            byStoredName.insert(ds.fieldDefs().at(i).name.toLower().toUtf8(), i);
        }
        QList<QPair<int, int>> mappedCols; // result column -> field
        for (const auto &m : mapped)
            for (int pc = 0; pc < 5; ++pc)
                if (m.first == QLatin1String(PersonColumns[pc]))
                    mappedCols << qMakePair(cCodFis + pc, m.second);

        QList<QByteArray> storedNames;
        for (int i = 0; i < nFields; ++i)
            storedNames << ds.fieldDefs().at(i).name.toUtf8();
        QList<int> guess;
        int posInRow = 0;

        QVariantList row;
        bool open = false;
        qint64 currentRigo = 0;
        auto flush = [&] {
            if (open)
                ds.appendRecord(row);
            open = false;
        };
        while (reader->next()) {
            const qint64 rigo = reader->integer(cRigo);
            if (!open || rigo != currentRigo) {
                flush();
                row = QVariantList(nFields);
                open = true;
                currentRigo = rigo;
                posInRow = 0;
                if (afiField >= 0 && !reader->isNull(cAfi))
                    row[afiField] = reader->integer(cAfi);
                if (rigoField >= 0)
                    row[rigoField] = rigo;
                for (const auto &mc : mappedCols)
                    row[mc.second] = loadedValue(types.at(mc.second), reader->cell(mc.first));
            }
            // Value rows of one record come in the same order record after
            // record: guess the field from the previous record before hashing.
            const QByteArray stored = reader->name(cName);
            const int pos = posInRow++;
            int idx = -1;
            if (pos < guess.size() && guess.at(pos) >= 0 && storedNames.at(guess.at(pos)) == stored)
                idx = guess.at(pos);
            if (idx < 0) {
                idx = byStoredName.value(stored, -1);
                if (idx < 0)
                    idx = byStoredName.value(stored.toLower(), -1);
                if (pos >= guess.size())
                    guess.resize(pos + 1, -1);
                guess[pos] = idx;
            }
            if (idx < 0 || idx == afiField || idx == rigoField)
                continue;
            row[idx] = loadedValue(types.at(idx), reader->cell(valueColumn.at(idx)));
        }
        flush();
        ds.mergeChangeLog();
        ds.first();
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void TTorDBCds::Save(TClientDataSet &ds, const QString &structure, int month, int year)
{
    month = resolveMonth(month);
    year = resolveYear(year);
    TOvSQLConnection &c = conn();
    QueryText().setLastOperation(QStringLiteral("archivio fiscale, salvataggio di %1").arg(structure));

    ds.checkBrowseMode();
    const QList<TDeltaRow> delta = ds.delta();

    TOvTransaction tr(&c);
    const bool own = !c.inTransaction();
    // Statements live until the transaction has ended: PostgreSQL cannot free a
    // prepared statement inside a failed transaction.
    std::vector<std::unique_ptr<QSqlQuery>> statements;
    auto stmt = [&](const QString &text) -> QSqlQuery & {
        statements.push_back(std::make_unique<QSqlQuery>(prepare(c, text)));
        return *statements.back();
    };
    // A refusal before any datum is written leaves the changes pending (the
    // user can still correct them); a database error cancels them.
    bool keepPending = false;
    // Person keys and row numbers the attempt writes into the dataset's rows,
    // with the values they replace: undone when the changes stay pending.
    struct Written
    {
        TBookmark row;
        QString field;
        QVariant old;
    };
    std::vector<Written> written;
    auto writeBack = [&](const TDeltaRow &r, const QString &field, const QVariant &value) {
        written.push_back({r.bookmark(), field, r.newValue(field)});
        ds.writeRowValue(r.bookmark(), field, value);
    };
    auto abandon = [&] {
        // The first error is the one reported: a rollback that fails too (SQLite
        // has already undone the transaction after a full disk) must not hide it.
        try {
            tr.Rollback();
        } catch (...) {
        }
        statements.clear();
        if (!keepPending) {
            ds.cancelUpdates();
            return;
        }
        for (auto it = written.rbegin(); it != written.rend(); ++it) {
            try {
                ds.writeRowValue(it->row, it->field, it->old);
            } catch (...) {
            }
        }
    };
    try {
        if (own)
            tr.StartTransaction();

        keepPending = true;
        Header h = findStructure(structure, month, year);
        keepPending = false;
        QSqlQuery &lock = stmt(sql(TorStoreSql::LockStructure));
        lock.bindValue(QStringLiteral(":ICDSID"), h.cdsId);
        run(lock);
        QSqlQuery &counter = stmt(sql(TorStoreSql::ReadCounter));
        counter.bindValue(QStringLiteral(":ICDSID"), h.cdsId);
        run(counter);
        if (counter.next())
            h.lastRow = counter.value(0).toInt();

        const QList<MapPair> map = parseFieldMap(h.fieldMap);
        const int afiField = ds.fieldIndex(QStringLiteral("iAfiID"));
        const int rigoField = ds.fieldIndex(QStringLiteral("iFisRigo"));
        const QList<TFieldDef> defs = ds.fieldDefs();
        QList<QVariant> fieldNames;
        for (const TFieldDef &d : defs)
            fieldNames << QVariant(d.name);

        // Fields never stored as value rows: the store's own columns and any
        // field named on either side of a map pair.
        QList<int> valueFields;
        for (int i = 0; i < defs.size(); ++i) {
            if (i == afiField || i == rigoField)
                continue;
            const QString n = defs.at(i).name.toLower();
            bool excluded = false;
            for (const MapPair &p : map)
                excluded = excluded || n == p.column || n == p.fields.toLower();
            if (!excluded)
                valueFields << i;
        }

        const MapPair *codFisPair = nullptr;
        const MapPair *groupPair = nullptr;
        for (const MapPair &p : map) {
            if (p.column == QLatin1String("saficodfiscale"))
                codFisPair = &p;
            else if (p.column == QLatin1String("safigruppoana"))
                groupPair = &p;
        }
        if (groupPair)
            for (const QString &part : groupPair->parts)
                if (ds.fieldIndex(part) < 0)
                    throw EAssertionFailed(QStringLiteral("Campo della chiave di gruppo assente: %1").arg(part));

        // Person columns to update, with the fields that feed them.
        QList<const MapPair *> updatable;
        if (!h.mapReadOnly)
            for (const MapPair &p : map)
                if (isPersonColumn(p.column))
                    updatable << &p;
        QStringList setItems;
        for (const MapPair *p : updatable)
            setItems << QStringLiteral(" %1 = :%1 ").arg(p->column);

        QSqlQuery &delPerson = stmt(sql(TorStoreSql::DeletePerson));
        QSqlQuery &delValues = stmt(sql(TorStoreSql::DeleteValues));
        QSqlQuery &findPerson = stmt(sql(TorStoreSql::FindPerson));
        QSqlQuery &insPerson = stmt(sql(TorStoreSql::InsertPerson));
        QSqlQuery *updPerson = nullptr;
        if (!setItems.isEmpty() && afiField >= 0)
            updPerson = &stmt(sql(TorStoreSql::UpdatePerson).arg(setItems.join(QLatin1Char(','))));
        QSqlQuery *insValue[4] = {&stmt(sql(TorStoreSql::InsertValue).arg(QLatin1Char('I'))),
                                  &stmt(sql(TorStoreSql::InsertValue).arg(QLatin1Char('F'))),
                                  &stmt(sql(TorStoreSql::InsertValue).arg(QLatin1Char('S'))),
                                  &stmt(sql(TorStoreSql::InsertValue).arg(QLatin1Char('D')))};
        auto insFor = [&](Slot s) -> QSqlQuery & {
            switch (s) {
            case Slot::I: return *insValue[0];
            case Slot::F: return *insValue[1];
            case Slot::S: return *insValue[2];
            case Slot::D: return *insValue[3];
            }
            return *insValue[2];
        };

        // PostgreSQL: the values of a row go in multi-row INSERTs (same rows as
        // one INSERT per value, a fraction of the round trips). SQLite runs in
        // process, where one prepared statement per value is fastest.
        const bool batched = c.isPostgres();
        QHash<int, QSqlQuery *> batchStatements;
        auto runBatch = [&](int rows, const QVariantList &values) {
            QSqlQuery *&q = batchStatements[rows];
            if (!q) {
                QStringList tuples;
                for (int k = 0; k < rows; ++k)
                    tuples << QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?, ?)");
                q = &stmt(sql(TorStoreSql::InsertValues) + tuples.join(QStringLiteral(", ")));
            }
            for (int k = 0; k < values.size(); ++k)
                q->bindValue(k, values.at(k));
            run(*q);
        };

        int crfId = 0; // the period, asked once
        auto joinFields = [&](const TDeltaRow &r, const MapPair &p) {
            QString s;
            for (const QString &part : p.parts)
                s += fieldValueText(defs.at(r.fieldIndex(part)).type, r.newValue(part));
            return s;
        };
        // Whether a row gives its person a datum through the field map.
        auto personHasData = [&](const TDeltaRow &r) {
            for (const MapPair *p : updatable) {
                bool all = true;
                for (const QString &part : p->parts)
                    all = all && r.hasField(part);
                if (all && !joinFields(r, *p).trimmed().isEmpty())
                    return true;
            }
            return false;
        };

        for (const TDeltaRow &r : delta) {
            int rigo = rigoField >= 0 ? int(r.value(defs.at(rigoField).name).toLongLong()) : 0;
            if (r.status() == TUpdateStatus::Modified || r.status() == TUpdateStatus::Deleted) {
                if (r.status() == TUpdateStatus::Deleted && h.anagrafica && afiField >= 0) {
                    delPerson.bindValue(QStringLiteral(":IAFIID"), r.oldValue(afiField));
                    run(delPerson);
                }
                delValues.bindValue(QStringLiteral(":ICDSID"), h.cdsId);
                delValues.bindValue(QStringLiteral(":IFISRIGO"), rigo);
                run(delValues);
            }
            if (r.status() != TUpdateStatus::Inserted && r.status() != TUpdateStatus::Modified)
                continue;
            if (rigo == 0)
                rigo = ++h.lastRow;

            // Writing one row.
            if (crfId == 0)
                crfId = getCroFiscale(c, m_program, year, month);
            QVariant afi = nullInt();
            if (afiField >= 0) {
                qint64 key = r.newValue(afiField).toLongLong();
                if (key == 0) {
                    const QString group = groupPair ? joinFields(r, *groupPair) : QString();
                    if (!h.anagrafica && codFisPair && codFisPair->parts.size() == 1
                        && ds.fieldIndex(codFisPair->parts.first()) >= 0) {
                        findPerson.bindValue(QStringLiteral(":ICRFANNO"), year);
                        findPerson.bindValue(QStringLiteral(":ICRFMESE"), month < 1 && month != AllMonths ? 0 : month);
                        findPerson.bindValue(QStringLiteral(":SCRFPROGRAMMA"), m_program.toLower());
                        findPerson.bindValue(QStringLiteral(":SAFICODFISCALE"),
                                             r.newValue(codFisPair->parts.first()).toString().toLower());
                        findPerson.bindValue(QStringLiteral(":SAFIGRUPPOANA"), group);
                        run(findPerson);
                        if (findPerson.next())
                            key = findPerson.value(0).toLongLong();
                        findPerson.finish();
                        // A row of a section belongs to the person of its
                        // certificate: with a read-only field map a new person
                        // here would stay empty, and be dropped at the next
                        // start with the row left orphan.
                        if (key == 0 && h.mapReadOnly) {
                            keepPending = true;
                            const QString cf = r.newValue(codFisPair->parts.first()).toString().trimmed();
                            throw EOvError(
                                QStringLiteral("Impossibile salvare i dati di %1: non esiste una certificazione "
                                               "con codice fiscale \"%2\"%3 a cui collegarli.")
                                    .arg(structure, cf,
                                         group.isEmpty() ? QString()
                                                         : QStringLiteral(" e mese \"%1\"").arg(group)));
                        }
                    }
                    if (key == 0) {
                        key = GenerateID(1, c, QStringLiteral("TAFI_ANAFISCALE"));
                        insPerson.bindValue(QStringLiteral(":IAFIID"), key);
                        insPerson.bindValue(QStringLiteral(":ICRFID"), crfId);
                        run(insPerson);
                    }
                    writeBack(r, defs.at(afiField).name, key);
                }
                afi = key;
                if (updPerson) {
                    for (const MapPair *p : updatable) {
                        bool all = true;
                        for (const QString &part : p->parts)
                            all = all && r.hasField(part);
                        const QString v = all ? joinFields(r, *p) : QString();
                        updPerson->bindValue(QLatin1Char(':') + p->column, v.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(v));
                    }
                    updPerson->bindValue(QStringLiteral(":IAFIID"), key);
                    try {
                        run(*updPerson);
                    } catch (const EOvException &e) {
                        // The unique key of a certification (tax code and
                        // month in the period): said in Italian, by its type.
                        if (!e.message().contains(QLatin1String(TorStoreSql::UniqueCertification)))
                            throw;
                        throw ETorDuplicateCertification(
                            QStringLiteral("Esiste già una certificazione per il codice fiscale %1 e il mese %2: "
                                           "non ne viene scritta una seconda.")
                                .arg(codFisPair ? r.newValue(codFisPair->parts.first()).toString().trimmed() : QString(),
                                     groupPair ? joinFields(r, *groupPair) : QString()));
                    }
                }
            }
            if (rigoField >= 0)
                writeBack(r, defs.at(rigoField).name, rigo);

            int stored = 0; // value rows written for this row
            if (batched) {
                // One statement for the whole row: on a server every statement
                // is a round trip, and a CU holds dozens of values.
                QVariantList tuple;
                int count = 0;
                for (int i : valueFields) {
                    const QVariant v = storedValue(defs.at(i).type, r.newValue(i));
                    if (!v.isValid())
                        continue;
                    ++stored;
                    const Slot s = slotOf(defs.at(i).type);
                    tuple << h.cdsId << crfId << afi << rigo << fieldNames.at(i)
                          << (s == Slot::I ? v : nullInt())
                          << (s == Slot::F ? v : QVariant(QMetaType::fromType<QString>()))
                          << (s == Slot::S ? v : QVariant(QMetaType::fromType<QString>()))
                          << (s == Slot::D ? v : QVariant(QMetaType::fromType<QDate>()));
                    if (++count == TorStoreSql::BatchRows) {
                        runBatch(count, tuple);
                        tuple.clear();
                        count = 0;
                    }
                }
                if (count > 0)
                    runBatch(count, tuple);
            } else {
                for (int i : valueFields) {
                    const QVariant v = storedValue(defs.at(i).type, r.newValue(i));
                    if (!v.isValid())
                        continue;
                    ++stored;
                    const Slot s = slotOf(defs.at(i).type);
                    // Bound by position (the placeholders' order in the text): this
                    // statement runs once per stored value.
                    QSqlQuery &ins = insFor(s);
                    ins.bindValue(0, h.cdsId);
                    ins.bindValue(1, crfId);
                    ins.bindValue(2, afi);
                    ins.bindValue(3, rigo);
                    ins.bindValue(4, fieldNames.at(i));
                    ins.bindValue(5, v);
                    run(ins);
                }
            }
            // A row whose every datum lives in its person's columns (another
            // agent with tax code and name only) has no value row, and a load
            // would never see it again: one row of the row number keeps it.
            if (stored == 0 && afiField >= 0 && personHasData(r)) {
                QSqlQuery &ins = insFor(Slot::I);
                ins.bindValue(0, h.cdsId);
                ins.bindValue(1, crfId);
                ins.bindValue(2, afi);
                ins.bindValue(3, rigo);
                ins.bindValue(4, QStringLiteral("iFisRigo"));
                ins.bindValue(5, rigo);
                run(ins);
            }
        }

        QSqlQuery &store = stmt(sql(TorStoreSql::StoreCounter));
        store.bindValue(QStringLiteral(":ICDSRIGO"), h.lastRow);
        store.bindValue(QStringLiteral(":ICDSID"), h.cdsId);
        run(store);
        if (own)
            tr.Commit();
    } catch (const EOvException &) {
        abandon();
        throw;
    } catch (const std::exception &e) {
        const QString what = QString::fromUtf8(e.what());
        abandon();
        throw EDatabaseError(what);
    }
    statements.clear();
    ds.mergeChangeLog();
}

qint64 TTorDBCds::FindPerson(const QString &codFis, const QString &group, int month, int year)
{
    month = resolveMonth(month);
    year = resolveYear(year);
    QueryText().setLastOperation(QStringLiteral("archivio fiscale, ricerca di %1").arg(codFis));
    QSqlQuery q = prepare(conn(), sql(TorStoreSql::FindPerson));
    q.bindValue(QStringLiteral(":ICRFANNO"), year);
    q.bindValue(QStringLiteral(":ICRFMESE"), month < 1 && month != AllMonths ? 0 : month);
    q.bindValue(QStringLiteral(":SCRFPROGRAMMA"), m_program.toLower());
    q.bindValue(QStringLiteral(":SAFICODFISCALE"), codFis.trimmed().toLower());
    q.bindValue(QStringLiteral(":SAFIGRUPPOANA"), group);
    run(q);
    return q.next() ? q.value(0).toLongLong() : 0;
}

bool TTorDBCds::HasRows(const QString &structure, int month, int year)
{
    TClientDataSet ds;
    const bool wait = m_showWait;
    m_showWait = false;
    try {
        Load(ds, structure, month, year);
    } catch (...) {
        m_showWait = wait;
        throw;
    }
    m_showWait = wait;
    return !ds.isEmpty();
}
