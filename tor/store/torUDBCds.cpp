#include "torUDBCds.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvCroFiscale.h"
#include "platform/db/OvGenerator.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"

#include <QApplication>
#include <sqlite3.h>
#include <QDateTime>
#include <QGuiApplication>
#include <QHash>
#include <optional>
#include <QLabel>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QVBoxLayout>
#include <QWidget>

// ---------------------------------------------------------------------------
// The statements of the store. They are the store's own (not catalogue
// entries) and run unchanged on SQLite and PostgreSQL: SET lists name bare
// columns, and the version order spells out how a missing year sorts. The
// load reads only the person columns a field map can name (every column read
// costs time on each of the hundreds of thousands of value rows).

namespace {

const char *const kFindStructure =
    "SELECT cds.* FROM tcds_struttura cds "
    "WHERE COALESCE(cds.icdsanno, 0) <= :ICDSANNO "
    "AND (COALESCE(cds.icdsmese, 0) <= :ICDSMESE OR :ICDSMESE = -1) "
    "AND Lower(cds.scdsprogramma) = :SCDSPROGRAMMA AND Lower(cds.scdsnome) = :SCDSNOME "
    "ORDER BY COALESCE(cds.icdsanno, 0) DESC, COALESCE(cds.icdsmese, 0) DESC";

const char *const kLoadValues =
    "SELECT afi.saficodfiscale , afi.saficognome , afi.safinome , afi.saficodfissost , afi.safigruppoana , "
    "fis.sFisFieldName , fis.iFisRigo , fis.iFisValue , fis.fFisValue , fis.sFisValue , fis.dFisValue , "
    "fis.iAfiID AS ifisafiid "
    "FROM tcrf_crofiscale crf "
    "LEFT JOIN tfis_datifiscali fis ON fis.icrfid = crf.icrfid "
    "LEFT JOIN tafi_anafiscale afi ON afi.iafiid = fis.iafiid "
    "WHERE COALESCE(crf.icrfanno, 0) = :ICRFANNO "
    "AND (COALESCE(crf.icrfmese, 0) = :ICRFMESE OR :ICRFMESE = -1) "
    "AND Lower(crf.scrfprogramma) = :SCRFPROGRAMMA AND fis.icdsid = :ICDSID "
    "AND (fis.iafiid = :IAFIID OR :IAFIID = -1) "
    "ORDER BY fis.ifisrigo";

// Taken first in every save: on PostgreSQL it holds the structure's row until
// the commit, so two workstations saving the same structure never hand out
// the same row number; on SQLite the transaction already holds the database.
const char *const kLockStructure =
    "UPDATE tcds_struttura SET icdsrigo = icdsrigo WHERE icdsid = :ICDSID";
const char *const kReadCounter = "SELECT icdsrigo FROM tcds_struttura WHERE icdsid = :ICDSID";

const char *const kDeletePerson = "DELETE FROM tafi_anafiscale WHERE iafiid = :IAFIID";
const char *const kDeleteValues = "DELETE FROM tfis_datifiscali WHERE icdsid = :ICDSID AND ifisrigo = :IFISRIGO";

const char *const kFindPerson =
    "SELECT afi.iafiid FROM tcrf_crofiscale crf INNER JOIN tafi_anafiscale afi ON afi.icrfid = crf.icrfid "
    "WHERE crf.icrfanno = :ICRFANNO AND (COALESCE(crf.icrfmese, 0) = :ICRFMESE OR :ICRFMESE = -1) "
    "AND Lower(crf.scrfprogramma) = :SCRFPROGRAMMA AND Lower(afi.saficodfiscale) = :SAFICODFISCALE "
    "AND (COALESCE(afi.safigruppoana, '') = :SAFIGRUPPOANA OR :SAFIGRUPPOANA = '')";

const char *const kInsertPerson = "INSERT INTO TAFI_ANAFISCALE ( IAFIID , ICRFID ) VALUES ( :IAFIID , :ICRFID )";
const char *const kUpdatePerson = "UPDATE tafi_anafiscale SET %1 WHERE iafiid = :IAFIID";

const char *const kInsertValue =
    "INSERT INTO TFIS_DATIFISCALI ( ICDSID, ICRFID, IAFIID, IFISRIGO, SFISFIELDNAME, %1FISVALUE ) "
    "VALUES ( :ICDSID, :ICRFID, :IAFIID, :IFISRIGO, :SFISFIELDNAME, :%1FISVALUE )";

// The same rows as kInsertValue, several at a time, every value column named.
const char *const kInsertValues =
    "INSERT INTO TFIS_DATIFISCALI ( ICDSID, ICRFID, IAFIID, IFISRIGO, SFISFIELDNAME, "
    "IFISVALUE, FFISVALUE, SFISVALUE, DFISVALUE ) VALUES ";
constexpr int kBatchRows = 100;

const char *const kStoreCounter = "UPDATE tcds_struttura SET icdsrigo = :ICDSRIGO WHERE icdsid = :ICDSID";

QString sql(const char *text) { return QString::fromLatin1(text); }

QVariant nullInt() { return QVariant(QMetaType::fromType<int>()); }

// A field map "col=Field;col2=A+B" as ordered pairs.
struct MapPair
{
    QString column;  // person column, lower case
    QString fields;  // field side as written ("A" or "A+B")
    QStringList parts;
};

QList<MapPair> parseFieldMap(const QString &text)
{
    QList<MapPair> out;
    const QStringList items = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &item : items) {
        const int eq = item.indexOf(QLatin1Char('='));
        if (eq <= 0)
            continue;
        MapPair p;
        p.column = item.left(eq).trimmed().toLower();
        p.fields = item.mid(eq + 1).trimmed();
        for (const QString &part : p.fields.split(QLatin1Char('+'), Qt::SkipEmptyParts))
            p.parts << part.trimmed();
        if (!p.column.isEmpty() && !p.parts.isEmpty())
            out << p;
    }
    return out;
}

// Person columns a field map may name.
bool isPersonColumn(const QString &c)
{
    static const QStringList cols = {QStringLiteral("saficodfiscale"), QStringLiteral("saficognome"),
                                     QStringLiteral("safinome"), QStringLiteral("saficodfissost"),
                                     QStringLiteral("safigruppoana")};
    return cols.contains(c);
}

enum class Slot { I, F, S, D };

Slot slotOf(TFieldType t)
{
    switch (t) {
    case TFieldType::Integer:
        return Slot::I;
    case TFieldType::Float:
    case TFieldType::Currency:
        return Slot::F;
    case TFieldType::Date:
    case TFieldType::DateTime:
        return Slot::D;
    default:
        return Slot::S;
    }
}

// The value to store for a field, or an invalid QVariant when it is empty
// (empty text, 0, zero date or null: such values are not stored).
QVariant storedValue(TFieldType type, const QVariant &v)
{
    if (!v.isValid() || v.isNull())
        return {};
    switch (type) {
    case TFieldType::Integer:
        return v.toLongLong() == 0 ? QVariant() : QVariant(v.toLongLong());
    case TFieldType::Currency: {
        const Currency c = v.value<Currency>();
        return c.isZero() ? QVariant() : QVariant(c.toString());
    }
    case TFieldType::Float: {
        const double d = v.toDouble();
        return d == 0.0 ? QVariant() : QVariant(d);
    }
    case TFieldType::Date: {
        // Bound as a date: no clock, so no time zone can move it to another day.
        const QDate d = v.toDate();
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case TFieldType::DateTime: {
        // Wall-clock text without an offset, read back as it was written.
        const QDateTime d = v.toDateTime();
        return d.isValid() ? QVariant(d.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz"))) : QVariant();
    }
    default: {
        const QString s = fieldValueText(type, v);
        return s.isEmpty() ? QVariant() : QVariant(s);
    }
    }
}

// A stored value read back into a field's canonical type.
QVariant loadedValue(TFieldType type, const QVariant &raw)
{
    if (!raw.isValid() || raw.isNull())
        return {};
    switch (type) {
    case TFieldType::Integer:
        return raw.toLongLong();
    case TFieldType::Currency: {
        if (auto c = Currency::parse(raw.toString().trimmed()))
            return QVariant::fromValue(*c);
        return QVariant::fromValue(Currency::fromDouble(raw.toDouble()));
    }
    case TFieldType::Float:
        return raw.toDouble();
    case TFieldType::Date: {
        if (raw.typeId() == QMetaType::QString) {
            const QString s = raw.toString();
            const QDate d = QDate::fromString(s.left(10), Qt::ISODate);
            return d.isValid() ? QVariant(d) : QVariant();
        }
        const QDate d = raw.toDateTime().isValid() ? raw.toDateTime().date() : raw.toDate();
        return d.isValid() ? QVariant(d) : QVariant();
    }
    case TFieldType::DateTime: {
        QDateTime d;
        if (raw.typeId() == QMetaType::QString) {
            d = QDateTime::fromString(raw.toString().left(23).replace(QLatin1Char(' '), QLatin1Char('T')),
                                      Qt::ISODateWithMs);
        } else {
            d = raw.toDateTime();
            d = QDateTime(d.date(), d.time()); // wall clock as stored
        }
        return d.isValid() ? QVariant(d) : QVariant();
    }
    default:
        return raw.toString();
    }
}

QSqlQuery prepare(TOvSQLConnection &c, const QString &text)
{
    QSqlQuery q = c.newQuery();
    q.setForwardOnly(true);
    q.setNumericalPrecisionPolicy(QSql::HighPrecision);
    if (!q.prepare(text))
        ovRaiseSqlError(q.lastError());
    return q;
}

void run(QSqlQuery &q)
{
    if (!q.exec())
        ovRaiseSqlError(q.lastError());
}

// ---- reading the value rows of a load ----
// Columns of kLoadValues, in order.
enum LoadColumn { cCodFis, cCognome, cNome, cCodFisSost, cGruppo, cName, cRigo, cI, cF, cS, cD, cAfi };
const char *const kPersonColumns[] = {"saficodfiscale", "saficognome", "safinome", "saficodfissost", "safigruppoana"};

// Rows of the load statement. On SQLite the rows are read straight from the
// engine, only the cells a row needs: the Qt driver turns every cell of every
// row into a QVariant, which on a structure of hundreds of thousands of value
// rows costs more than the query itself.
class LoadReader
{
public:
    virtual ~LoadReader() = default;
    virtual bool next() = 0;
    virtual bool isNull(int col) = 0;
    virtual qint64 integer(int col) = 0;
    virtual QByteArray name(int col) = 0; // valid until next()
    virtual QVariant cell(int col) = 0;   // as the driver gives it
};

class QtLoadReader : public LoadReader
{
public:
    explicit QtLoadReader(QSqlQuery &q) : m_q(q) {}
    bool next() override { return m_q.next(); }
    bool isNull(int col) override { return m_q.isNull(col); }
    qint64 integer(int col) override { return m_q.value(col).toLongLong(); }
    QByteArray name(int col) override { return m_q.value(col).toString().toUtf8(); }
    QVariant cell(int col) override { return m_q.value(col); }

private:
    QSqlQuery &m_q;
};

class SqliteLoadReader : public LoadReader
{
public:
    SqliteLoadReader(sqlite3 *db, const QString &sqlText)
    {
        const QByteArray text = sqlText.toUtf8();
        if (sqlite3_prepare_v2(db, text.constData(), int(text.size()), &m_stmt, nullptr) != SQLITE_OK)
            fail(db);
        m_db = db;
    }
    ~SqliteLoadReader() override { sqlite3_finalize(m_stmt); }
    void bind(const char *name, qint64 v)
    {
        const int i = sqlite3_bind_parameter_index(m_stmt, name);
        if (i > 0)
            sqlite3_bind_int64(m_stmt, i, v);
    }
    void bind(const char *name, const QString &v)
    {
        const int i = sqlite3_bind_parameter_index(m_stmt, name);
        const QByteArray u = v.toUtf8();
        if (i > 0)
            sqlite3_bind_text(m_stmt, i, u.constData(), int(u.size()), SQLITE_TRANSIENT);
    }
    bool next() override
    {
        const int rc = sqlite3_step(m_stmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            fail(m_db);
        return false;
    }
    bool isNull(int col) override { return sqlite3_column_type(m_stmt, col) == SQLITE_NULL; }
    qint64 integer(int col) override { return sqlite3_column_int64(m_stmt, col); }
    QByteArray name(int col) override
    {
        const char *t = reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, col));
        return QByteArray::fromRawData(t ? t : "", t ? sqlite3_column_bytes(m_stmt, col) : 0);
    }
    QVariant cell(int col) override
    {
        switch (sqlite3_column_type(m_stmt, col)) {
        case SQLITE_INTEGER: return qlonglong(sqlite3_column_int64(m_stmt, col));
        case SQLITE_FLOAT: return sqlite3_column_double(m_stmt, col);
        case SQLITE_NULL: return {};
        case SQLITE_BLOB:
            return QByteArray(static_cast<const char *>(sqlite3_column_blob(m_stmt, col)), sqlite3_column_bytes(m_stmt, col));
        default:
            return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(m_stmt, col)),
                                     sqlite3_column_bytes(m_stmt, col));
        }
    }

private:
    [[noreturn]] static void fail(sqlite3 *db)
    {
        throw EDatabaseError(QStringLiteral("Errore del database: ") + QString::fromUtf8(sqlite3_errmsg(db)));
    }
    sqlite3 *m_db = nullptr;
    sqlite3_stmt *m_stmt = nullptr;
};

// ---- wait window ----

class TfmTorWait : public QWidget
{
public:
    TfmTorWait()
        : QWidget(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
    {
        setWindowTitle(QStringLiteral("Attendere..."));
        auto *l = new QVBoxLayout(this);
        l->addWidget(new QLabel(QStringLiteral("Caricamento in corso...attendere."), this));
        setWindowModality(Qt::ApplicationModal);
        resize(300, 80);
    }
};

class DefaultWait : public ITorWaitIndicator
{
public:
    void begin() override
    {
        if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
            return;
        if (m_depth++ == 0) {
            m_window = std::make_unique<TfmTorWait>();
            if (const QWidget *top = QApplication::activeWindow())
                m_window->move(top->geometry().center() - m_window->rect().center());
            m_window->show();
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            QCoreApplication::processEvents();
        }
    }
    void end() override
    {
        if (m_depth > 0 && --m_depth == 0) {
            m_window.reset();
            QGuiApplication::restoreOverrideCursor();
        }
    }

private:
    int m_depth = 0;
    std::unique_ptr<TfmTorWait> m_window;
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
        waitSlot() = std::make_shared<DefaultWait>();
    return *waitSlot();
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
    QSqlQuery q = prepare(conn(), sql(kFindStructure));
    q.bindValue(QStringLiteral(":ICDSANNO"), year);
    q.bindValue(QStringLiteral(":ICDSMESE"), month);
    q.bindValue(QStringLiteral(":SCDSPROGRAMMA"), m_program.toLower());
    q.bindValue(QStringLiteral(":SCDSNOME"), structure.toLower());
    run(q);
    if (!q.next())
        throw EOvError(QStringLiteral("Impossibile trovare il ClientDataSet (%1).").arg(structure));
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
            auto r = std::make_unique<SqliteLoadReader>(handle, sql(kLoadValues));
            r->bind(":ICRFANNO", year);
            r->bind(":ICRFMESE", monthParam);
            r->bind(":SCRFPROGRAMMA", m_program.toLower());
            r->bind(":ICDSID", h.cdsId);
            r->bind(":IAFIID", person);
            reader = std::move(r);
        } else {
            q.emplace(prepare(conn(), sql(kLoadValues)));
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
                if (m.first == QLatin1String(kPersonColumns[pc]))
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
    try {
        if (own)
            tr.StartTransaction();

        Header h = findStructure(structure, month, year);
        QSqlQuery &lock = stmt(sql(kLockStructure));
        lock.bindValue(QStringLiteral(":ICDSID"), h.cdsId);
        run(lock);
        QSqlQuery &counter = stmt(sql(kReadCounter));
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

        QSqlQuery &delPerson = stmt(sql(kDeletePerson));
        QSqlQuery &delValues = stmt(sql(kDeleteValues));
        QSqlQuery &findPerson = stmt(sql(kFindPerson));
        QSqlQuery &insPerson = stmt(sql(kInsertPerson));
        QSqlQuery *updPerson = nullptr;
        if (!setItems.isEmpty() && afiField >= 0)
            updPerson = &stmt(sql(kUpdatePerson).arg(setItems.join(QLatin1Char(','))));
        QSqlQuery *insValue[4] = {&stmt(sql(kInsertValue).arg(QLatin1Char('I'))),
                                  &stmt(sql(kInsertValue).arg(QLatin1Char('F'))),
                                  &stmt(sql(kInsertValue).arg(QLatin1Char('S'))),
                                  &stmt(sql(kInsertValue).arg(QLatin1Char('D')))};
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
                q = &stmt(sql(kInsertValues) + tuples.join(QStringLiteral(", ")));
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
                    }
                    if (key == 0) {
                        key = GenerateID(1, c, QStringLiteral("TAFI_ANAFISCALE"));
                        insPerson.bindValue(QStringLiteral(":IAFIID"), key);
                        insPerson.bindValue(QStringLiteral(":ICRFID"), crfId);
                        run(insPerson);
                    }
                    ds.writeRowValue(r.bookmark(), defs.at(afiField).name, key);
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
                    run(*updPerson);
                }
            }
            if (rigoField >= 0)
                ds.writeRowValue(r.bookmark(), defs.at(rigoField).name, rigo);

            if (batched) {
                // One statement for the whole row: on a server every statement
                // is a round trip, and a CU holds dozens of values.
                QVariantList tuple;
                int count = 0;
                for (int i : valueFields) {
                    const QVariant v = storedValue(defs.at(i).type, r.newValue(i));
                    if (!v.isValid())
                        continue;
                    const Slot s = slotOf(defs.at(i).type);
                    tuple << h.cdsId << crfId << afi << rigo << fieldNames.at(i)
                          << (s == Slot::I ? v : nullInt())
                          << (s == Slot::F ? v : QVariant(QMetaType::fromType<QString>()))
                          << (s == Slot::S ? v : QVariant(QMetaType::fromType<QString>()))
                          << (s == Slot::D ? v : QVariant(QMetaType::fromType<QDate>()));
                    if (++count == kBatchRows) {
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
        }

        QSqlQuery &store = stmt(sql(kStoreCounter));
        store.bindValue(QStringLiteral(":ICDSRIGO"), h.lastRow);
        store.bindValue(QStringLiteral(":ICDSID"), h.cdsId);
        run(store);
        if (own)
            tr.Commit();
    } catch (const EOvException &) {
        tr.Rollback();
        statements.clear();
        ds.cancelUpdates();
        throw;
    } catch (const std::exception &e) {
        tr.Rollback();
        statements.clear();
        ds.cancelUpdates();
        throw EDatabaseError(QString::fromUtf8(e.what()));
    }
    statements.clear();
    ds.mergeChangeLog();
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
