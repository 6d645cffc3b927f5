#include "torUDBCds.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvCroFiscale.h"
#include "platform/db/OvSQLConnection.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/TorStoreReader.h"
#include "tor/store/TorStoreSql.h"
#include "tor/store/TorStoreValues.h"

#include <QHash>
#include <QSqlRecord>

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

namespace {

QString personOf(const QString &codFis, const QString &cognome, const QString &nome)
{
    QString who = QStringLiteral("%1 %2").arg(cognome, nome).trimmed();
    if (!codFis.isEmpty())
        who += who.isEmpty() ? codFis : QStringLiteral(" (%1)").arg(codFis);
    return who.isEmpty() ? QStringLiteral("senza codice fiscale") : who;
}

} // namespace

ETorTextTooLong::ETorTextTooLong(QString structure_, QString field_, int size_, QString value_, QString codFis_,
                                 QString cognome_, QString nome_)
    : EOvError(QStringLiteral("Archivio fiscale, %1: il valore \"%2\" (%3 caratteri) del campo %4 (%5) supera i %6 "
                              "caratteri del campo. Non viene troncato: correggere il dato di origine.")
                   .arg(personOf(codFis_.toUpper(), cognome_, nome_), value_, QString::number(value_.size()), field_,
                        structure_, QString::number(size_))),
      structure(std::move(structure_)), field(std::move(field_)), size(size_), value(std::move(value_)),
      codFis(std::move(codFis_).toUpper()), cognome(std::move(cognome_)), nome(std::move(nome_))
{
}

QString ETorTextTooLong::person() const
{
    return personOf(codFis, cognome, nome);
}

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
    QSqlQuery &q = reused(conn(), sql(TorStoreSql::FindStructure));
    bindStructure(q, structure, month, year);
    run(conn(), q);
    const bool found = q.next();
    const QSqlRecord r = q.record();
    q.finish();
    if (!found)
        structureMissing(structure);
    return headerOf(r);
}

void TTorDBCds::bindStructure(QSqlQuery &q, const QString &structure, int month, int year) const
{
    q.bindValue(QStringLiteral(":ICDSANNO"), year);
    q.bindValue(QStringLiteral(":ICDSMESE"), month);
    q.bindValue(QStringLiteral(":SCDSPROGRAMMA"), m_program.toLower());
    q.bindValue(QStringLiteral(":SCDSNOME"), structure.toLower());
}

void TTorDBCds::structureMissing(const QString &structure)
{
    throw ETorStructureMissing(QStringLiteral("Impossibile trovare il ClientDataSet (%1).").arg(structure));
}

TTorDBCds::Held *TTorDBCds::held(const TOvSQLConnection &c, const QString &key)
{
    const auto it = m_held.find(key);
    if (it == m_held.end())
        return nullptr;
    if (it->conn != &c || !c.inTransaction() || it->serial != c.transactionSerial()) {
        m_held.erase(it);
        return nullptr;
    }
    return &*it;
}

int TTorDBCds::period(TOvSQLConnection &c, int year, int month)
{
    const QString key = QStringLiteral("%1|%2|%3").arg(m_program.toLower()).arg(year).arg(month);
    const auto it = m_periods.constFind(key);
    if (it != m_periods.cend() && it->conn == &c && it->undone == c.undoneCount())
        return it->id;
    const quint64 undone = c.undoneCount();
    const int id = getCroFiscale(c, m_program, year, month);
    m_periods.insert(key, {id, undone, &c});
    return id;
}

TTorDBCds::Header TTorDBCds::headerOf(const QSqlRecord &r)
{
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

namespace {

// Where the load puts what it reads: the dataset's field of each stored name,
// the result column of each field's value, and the person columns a field
// map sends into fields.
struct LoadLayout
{
    LoadLayout(const TClientDataSet &ds, const QString &fieldMap);

    // The field of a stored name at a position in its record; -1 for a name
    // the dataset does not have.
    int fieldOf(const QByteArray &stored, int pos);
    // A new record's values: its person's key, its row number and its mapped
    // person columns.
    void startRow(QVariantList &row, LoadReader &reader, qint64 rigo) const;

    int nFields = 0;
    int afiField = -1;
    int rigoField = -1;
    QList<TFieldType> types;
    QList<int> textSize; // a String field's size, 0 for no limit or another type
    QList<QString> fieldNames;
    QList<int> valueColumn;
    QList<QPair<int, int>> mappedCols; // result column -> field
    QHash<QByteArray, int> byStoredName;
    QList<QByteArray> storedNames;
    QList<int> guess; // the field at each position of the previous record
};

LoadLayout::LoadLayout(const TClientDataSet &ds, const QString &fieldMap)
{
    nFields = ds.fieldCount();
    afiField = ds.fieldIndex(QStringLiteral("iAfiID"));
    rigoField = ds.fieldIndex(QStringLiteral("iFisRigo"));
    QHash<QString, int> byName;
    for (int i = 0; i < nFields; ++i) {
        const TFieldDef &d = ds.fieldDefs().at(i);
        byName.insert(d.name.toLower(), i);
        types << d.type;
        textSize << (d.type == TFieldType::String && d.size > 0 ? d.size : 0);
        fieldNames << d.name;
    }
    // Field-map pairs whose field side is one field of the dataset.
    QList<QPair<QString, int>> mapped;
    for (const MapPair &p : parseFieldMap(fieldMap)) {
        if (p.parts.size() == 1 && isPersonColumn(p.column)) {
            const int idx = byName.value(p.parts.first().toLower(), -1);
            if (idx >= 0)
                mapped << qMakePair(p.column, idx);
        }
    }

    // Value column of each field, and field names as stored (exact and
    // lower case: stored names compare without regard to case).
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
    for (const auto &m : mapped)
        for (int pc = 0; pc < 5; ++pc)
            if (m.first == QLatin1String(PersonColumns[pc]))
                mappedCols << qMakePair(cCodFis + pc, m.second);

    for (int i = 0; i < nFields; ++i)
        storedNames << ds.fieldDefs().at(i).name.toUtf8();
}

int LoadLayout::fieldOf(const QByteArray &stored, int pos)
{
    // Value rows of one record come in the same order record after record:
    // guess the field from the previous record before hashing.
    if (pos < guess.size() && guess.at(pos) >= 0 && storedNames.at(guess.at(pos)) == stored)
        return guess.at(pos);
    int idx = byStoredName.value(stored, -1);
    if (idx < 0)
        idx = byStoredName.value(stored.toLower(), -1);
    if (pos >= guess.size())
        guess.resize(pos + 1, -1);
    guess[pos] = idx;
    return idx;
}

void LoadLayout::startRow(QVariantList &row, LoadReader &reader, qint64 rigo) const
{
    // the list of the last row is reused: its caller has cleared the cells
    // it set (of hundreds of fields, a row sets a few)
    if (row.size() != nFields)
        row = QVariantList(nFields);
    if (afiField >= 0 && !reader.isNull(cAfi))
        row[afiField] = reader.integer(cAfi);
    if (rigoField >= 0)
        row[rigoField] = rigo;
    for (const auto &mc : mappedCols)
        row[mc.second] = loadedValue(types.at(mc.second), reader.cell(mc.first));
}

// The stored value rows of a structure in a period (of one person, or of all):
// read straight from the engine on SQLite, through Qt on a server.
std::unique_ptr<LoadReader> openValueRows(TOvSQLConnection &c, const QString &program, int cdsId, int month,
                                          int year, int person)
{
    const int monthParam = month < 1 && month != TTorDBCds::AllMonths ? 0 : month;
    sqlite3 *handle = c.isSQLite() ? static_cast<sqlite3 *>(c.nativeHandle()) : nullptr;
    if (handle) {
        c.countStatement();
        const QList<qint64> periods = SqliteLoadReader::periods(handle, year, monthParam, program);
        return std::make_unique<SqliteLoadReader>(handle, periods, cdsId, person);
    }
    QSqlQuery q = prepare(c, sql(TorStoreSql::LoadValues)
                                 .replace(QLatin1String("%P"),
                                          QLatin1String(person == TTorDBCds::AllPersons ? TorStoreSql::AnyPerson
                                                                                        : TorStoreSql::OnePerson)));
    q.bindValue(QStringLiteral(":ICRFANNO"), year);
    q.bindValue(QStringLiteral(":ICRFMESE"), monthParam);
    q.bindValue(QStringLiteral(":SCRFPROGRAMMA"), program.toLower());
    q.bindValue(QStringLiteral(":ICDSID"), cdsId);
    q.bindValue(QStringLiteral(":IAFIID"), person);
    run(c, q);
    return std::make_unique<QtLoadReader>(std::move(q));
}

QString personText(LoadReader &reader, int col)
{
    return reader.isNull(col) ? QString() : reader.cell(col).toString().trimmed();
}

// A text of the row longer than its field: refused, with its person.
void checkLength(const QVariantList &row, int idx, LoadReader &reader, const LoadLayout &layout,
                 const QString &structure)
{
    const int size = layout.textSize.at(idx);
    if (size <= 0)
        return;
    const QString text = row.at(idx).toString();
    if (text.size() > size)
        throw ETorTextTooLong(structure, layout.fieldNames.at(idx), size, text, personText(reader, cCodFis),
                              personText(reader, cCognome), personText(reader, cNome));
}

// Appends one dataset row per stored row number. A text longer than its
// field raises ETorTextTooLong, unless `cut`.
void appendStoredRows(TClientDataSet &ds, LoadReader &reader, LoadLayout &layout, const QString &structure, bool cut)
{
    QVariantList row;
    std::vector<int> filled; // the cells of `row` set from value rows
    bool open = false;
    qint64 currentRigo = 0;
    int posInRow = 0;
    while (reader.next()) {
        const qint64 rigo = reader.integer(cRigo);
        if (!open || rigo != currentRigo) {
            if (open) {
                ds.appendValues(row);
                for (int i : filled)
                    row[i] = QVariant();
                filled.clear();
                for (const auto &mc : layout.mappedCols)
                    row[mc.second] = QVariant();
                if (layout.afiField >= 0)
                    row[layout.afiField] = QVariant();
            }
            layout.startRow(row, reader, rigo);
            if (!cut)
                for (const auto &mc : layout.mappedCols)
                    checkLength(row, mc.second, reader, layout, structure);
            open = true;
            currentRigo = rigo;
            posInRow = 0;
        }
        const int idx = layout.fieldOf(reader.name(cName), posInRow++);
        if (idx < 0 || idx == layout.afiField || idx == layout.rigoField)
            continue;
        row[idx] = loadedValue(layout.types.at(idx), reader.cell(layout.valueColumn.at(idx)));
        filled.push_back(idx);
        if (!cut)
            checkLength(row, idx, reader, layout, structure);
    }
    if (open)
        ds.appendValues(row);
}

} // namespace

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
        fillFromStore(ds, structure, month, year, person);
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void TTorDBCds::fillFromStore(TClientDataSet &ds, const QString &structure, int month, int year, int person)
{
    const Header h = findStructure(structure, month, year);
    applySchema(ds, h);
    LoadLayout layout(ds, h.fieldMap);
    const std::unique_ptr<LoadReader> reader = openValueRows(conn(), m_program, h.cdsId, month, year, person);
    appendStoredRows(ds, *reader, layout, structure, m_cutLongTexts);
    ds.mergeChangeLog();
    ds.first();
}

qint64 TTorDBCds::FindPerson(const QString &codFis, const QString &group, int month, int year)
{
    month = resolveMonth(month);
    year = resolveYear(year);
    QueryText().setLastOperation(QStringLiteral("archivio fiscale, ricerca di %1").arg(codFis));
    QSqlQuery &q = reused(conn(), sql(TorStoreSql::FindPerson));
    q.bindValue(QStringLiteral(":ICRFANNO"), year);
    q.bindValue(QStringLiteral(":ICRFMESE"), month < 1 && month != AllMonths ? 0 : month);
    q.bindValue(QStringLiteral(":SCRFPROGRAMMA"), m_program.toLower());
    q.bindValue(QStringLiteral(":SAFICODFISCALE"), codFis.trimmed().toLower());
    q.bindValue(QStringLiteral(":SAFIGRUPPOANA"), group);
    run(conn(), q);
    const qint64 person = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    return person;
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

namespace {

QString changedText(const ETorChangedMeanwhile::Person &p)
{
    QString who = p.codFis.trimmed().toUpper();
    if (!p.group.trimmed().isEmpty())
        who += QStringLiteral(" (mese %1)").arg(p.group.trimmed());
    if (who.isEmpty())
        who = QStringLiteral("senza codice fiscale");
    const QString what = p.found == 0
                             ? QStringLiteral("non è più in archivio: è stata eliminata o importata di nuovo da "
                                              "un'altra postazione")
                             : QStringLiteral("è stata modificata da un'altra postazione dopo essere stata letta "
                                              "(versione letta %1, ora %2)")
                                   .arg(p.expected)
                                   .arg(p.found);
    return QStringLiteral("La certificazione %1 %2: nulla è stato salvato.").arg(who, what);
}

} // namespace

ETorChangedMeanwhile::ETorChangedMeanwhile(const Person &p) : EOvError(changedText(p)), person(p)
{
}

TTorVersions TTorDBCds::Versions(int month, int year)
{
    month = resolveMonth(month);
    year = resolveYear(year);
    TOvSQLConnection &c = conn();
    QSqlQuery &q = reused(c, sql(TorStoreSql::Versions));
    q.bindValue(QStringLiteral(":ICRFANNO"), year);
    q.bindValue(QStringLiteral(":ICRFMESE"), month < 1 && month != AllMonths ? 0 : month);
    q.bindValue(QStringLiteral(":SCRFPROGRAMMA"), m_program.toLower());
    run(c, q);
    TTorVersions out;
    while (q.next())
        out.insert(q.value(0).toLongLong(), q.value(1).toLongLong());
    q.finish();
    return out;
}
