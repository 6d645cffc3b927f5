#include "torUDBCds.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/TorStoreReader.h"
#include "tor/store/TorStoreSql.h"
#include "tor/store/TorStoreValues.h"

#include <QHash>
#include <QSqlRecord>
#include <optional>

using namespace TorStore;

namespace {

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
