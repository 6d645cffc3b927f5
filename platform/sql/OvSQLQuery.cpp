#include "platform/sql/OvSQLQuery.h"

#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvSqliteStatement.h"

#include <QDateTime>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlResult>

#include <sqlite3.h>

namespace {

// PostgreSQL type ids (pg_type.oid) the driver reports through QSqlField::typeID().
enum PgOid {
    PgBool = 16, PgBytea = 17, PgName = 19, PgInt8 = 20, PgInt2 = 21, PgInt4 = 23, PgText = 25, PgOidType = 26,
    PgFloat4 = 700, PgFloat8 = 701, PgUnknown = 705, PgBpchar = 1042, PgVarchar = 1043, PgDate = 1082,
    PgTime = 1083, PgTimestamp = 1114, PgTimestampTz = 1184, PgNumeric = 1700,
};

struct ColumnPlan
{
    enum Decide {
        Fixed,           // the type is known from the metadata
        NumericByValues, // a decimal number without a known scale
        ByValues,        // an SQLite expression: the values say
    };
    QString name;
    TFieldType type = TFieldType::String;
    int size = 0;
    Decide decide = Fixed;
};

TFieldType numericType(int scale)
{
    return scale <= 4 ? TFieldType::Currency : TFieldType::Float;
}

ColumnPlan planFromMetaType(const QSqlField &f)
{
    ColumnPlan p;
    switch (f.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        p.type = TFieldType::Integer;
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        p.type = TFieldType::Float;
        break;
    case QMetaType::QDate:
        p.type = TFieldType::Date;
        break;
    case QMetaType::QDateTime:
        p.type = TFieldType::DateTime;
        break;
    case QMetaType::Bool:
        p.type = TFieldType::Boolean;
        break;
    case QMetaType::QByteArray:
        p.type = TFieldType::Blob;
        break;
    default:
        p.type = TFieldType::String;
        break;
    }
    return p;
}

ColumnPlan planPostgres(const QSqlField &f)
{
    ColumnPlan p;
    switch (f.typeID()) {
    case PgInt2:
    case PgInt4:
    case PgInt8:
    case PgOidType:
        p.type = TFieldType::Integer;
        break;
    case PgNumeric:
        // The driver gives the declared scale as the precision; -1 when the
        // type has none (SUM, arithmetic, a bare NUMERIC column).
        if (f.precision() >= 0)
            p.type = numericType(f.precision());
        else
            p.decide = ColumnPlan::NumericByValues;
        break;
    case PgFloat4:
    case PgFloat8:
        p.type = TFieldType::Float;
        break;
    case PgDate:
        p.type = TFieldType::Date;
        break;
    case PgTimestamp:
    case PgTimestampTz:
        p.type = TFieldType::DateTime;
        break;
    case PgBool:
        p.type = TFieldType::Boolean;
        break;
    case PgBytea:
        p.type = TFieldType::Blob;
        break;
    case PgVarchar:
    case PgBpchar:
        p.type = TFieldType::String;
        p.size = f.length() > 0 ? f.length() : 0;
        break;
    case PgText:
    case PgName:
    case PgUnknown:
    case PgTime:
        p.type = TFieldType::String;
        break;
    default:
        p = planFromMetaType(f);
        break;
    }
    return p;
}

// A declared SQLite column type: "INTEGER", "NUMERIC(18,4)", "VARCHAR(150)"...
ColumnPlan planSqliteDeclared(const QString &declared)
{
    static const QRegularExpression re(QStringLiteral("^\\s*([A-Za-z ]+?)\\s*(?:\\(\\s*(\\d+)\\s*(?:,\\s*(\\d+)\\s*)?\\))?\\s*$"));
    ColumnPlan p;
    const auto m = re.match(declared);
    const QString base = (m.hasMatch() ? m.captured(1) : declared).trimmed().toUpper();
    const int first = m.hasMatch() && !m.captured(2).isEmpty() ? m.captured(2).toInt() : -1;
    const int second = m.hasMatch() && !m.captured(3).isEmpty() ? m.captured(3).toInt() : -1;

    if (base.contains(QLatin1String("INT"))) {
        p.type = TFieldType::Integer;
    } else if (base == QLatin1String("NUMERIC") || base == QLatin1String("DECIMAL")) {
        if (second >= 0)
            p.type = numericType(second);
        else if (first >= 0)
            p.type = TFieldType::Currency; // NUMERIC(p): no decimals
        else
            p.decide = ColumnPlan::NumericByValues;
    } else if (base.startsWith(QLatin1String("REAL")) || base.startsWith(QLatin1String("FLOAT"))
               || base.startsWith(QLatin1String("DOUBLE"))) {
        p.type = TFieldType::Float;
    } else if (base == QLatin1String("DATE")) {
        p.type = TFieldType::Date;
    } else if (base.startsWith(QLatin1String("TIMESTAMP")) || base == QLatin1String("DATETIME")) {
        p.type = TFieldType::DateTime;
    } else if (base == QLatin1String("BLOB") || base == QLatin1String("BYTEA")) {
        p.type = TFieldType::Blob;
    } else if (base == QLatin1String("BOOLEAN") || base == QLatin1String("BOOL")) {
        p.type = TFieldType::Boolean;
    } else {
        p.type = TFieldType::String;
        if ((base.contains(QLatin1String("CHAR"))) && first > 0)
            p.size = first;
    }
    return p;
}

// The plan of a SQLite column from its declared type (none: by its values).
ColumnPlan sqlitePlan(const char *declared)
{
    ColumnPlan p;
    if (declared && *declared) {
        // Few distinct declarations, read at every open: parse each once.
        thread_local QHash<QByteArray, ColumnPlan> known;
        const QByteArray key(declared);
        auto it = known.constFind(key);
        if (it == known.cend())
            it = known.insert(key, planSqliteDeclared(QString::fromUtf8(declared)));
        p = *it;
    } else {
        p.decide = ColumnPlan::ByValues;
    }
    return p;
}

// The plan under the field name of a result's column: upper case, numbered
// when nameless or taken by an earlier column.
ColumnPlan namedPlan(ColumnPlan p, const QString &column, int index, QSet<QString> &used)
{
    QString name = column.toUpper();
    if (name.isEmpty())
        name = QStringLiteral("COLONNA%1").arg(index + 1);
    const QString base = name;
    for (int k = 1; used.contains(name); ++k)
        name = QStringLiteral("%1_%2").arg(base).arg(k);
    used.insert(name);
    p.name = name;
    return p;
}

sqlite3_stmt *sqliteStatement(const QSqlQuery &q)
{
    const QSqlResult *r = q.result();
    if (!r)
        return nullptr;
    const QVariant h = r->handle();
    if (!h.isValid() || qstrcmp(h.typeName(), "sqlite3_stmt*") != 0)
        return nullptr;
    return *static_cast<sqlite3_stmt *const *>(h.constData());
}

// A decimal number that fits an amount exactly (at most four decimals).
bool fitsCurrency(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return true;
    case QMetaType::Double: {
        const double d = v.toDouble();
        try {
            return Currency::fromDouble(d).toDouble() == d;
        } catch (const EOvException &) {
            return false;
        }
    }
    case QMetaType::QString: {
        QString t = v.toString().trimmed();
        // PostgreSQL writes the scale it computed: "12.500000" is an amount.
        if (t.contains(QLatin1Char('.'))) {
            while (t.endsWith(QLatin1Char('0')))
                t.chop(1);
            if (t.endsWith(QLatin1Char('.')))
                t.chop(1);
        }
        return Currency::parse(t).has_value();
    }
    default:
        return false;
    }
}

bool isIntegral(const QVariant &v)
{
    switch (v.metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        return true;
    default:
        return false;
    }
}

bool isNullValue(const QVariant &v)
{
    return !v.isValid() || v.isNull();
}

void decideByValues(ColumnPlan &p, int column, const std::vector<QVariantList> &rows)
{
    bool sawInt = false, sawDecimal = false, sawText = false, sawBlob = false, allFit = true;
    for (const QVariantList &row : rows) {
        const QVariant &v = row[column];
        if (isNullValue(v))
            continue;
        const int id = v.metaType().id();
        if (isIntegral(v)) {
            sawInt = true;
        } else if (id == QMetaType::Double) {
            sawDecimal = true;
            allFit = allFit && fitsCurrency(v);
        } else if (id == QMetaType::QByteArray) {
            sawBlob = true;
        } else if (p.decide == ColumnPlan::NumericByValues && id == QMetaType::QString) {
            sawDecimal = true; // PostgreSQL numeric as exact text
            allFit = allFit && fitsCurrency(v);
        } else {
            sawText = true;
        }
    }
    if (p.decide == ColumnPlan::NumericByValues) {
        p.type = allFit ? TFieldType::Currency : TFieldType::Float;
    } else if (sawText || (sawBlob && (sawInt || sawDecimal))) {
        p.type = TFieldType::String;
    } else if (sawBlob) {
        p.type = TFieldType::Blob;
    } else if (sawDecimal) {
        p.type = allFit ? TFieldType::Currency : TFieldType::Float;
    } else if (sawInt) {
        p.type = TFieldType::Integer;
    } else {
        p.type = TFieldType::String;
    }
    p.decide = ColumnPlan::Fixed;
}

QString sqliteDateTimeText(const QDateTime &dt)
{
    // The form SQLite's own date functions write, so stored values compare in order.
    return dt.time().msec() ? dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))
                            : dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

}

TOvSQLQuery::TOvSQLQuery(QObject *parent)
    : TClientDataSet(parent)
{
}

TOvSQLQuery::TOvSQLQuery(TOvSQLConnection *connection, QObject *parent)
    : TClientDataSet(parent), m_connection(connection)
{
}

TOvSQLQuery::~TOvSQLQuery() = default;

TOvSQLConnection &TOvSQLQuery::activeConnection() const
{
    TOvSQLConnection *c = m_connection ? m_connection : OvGlobConn;
    if (!c)
        throw EDatabaseError(QStringLiteral("Nessuna connessione al database per la query."));
    if (c->connectionLost())
        throw EOvConnectionLost();
    if (!c->isOpen())
        throw EDatabaseError(QStringLiteral("La connessione al database non è aperta."));
    return *c;
}

QVariant TOvSQLQuery::sqlValue(const QVariant &value, TOvDbEngine engine)
{
    if (isNullValue(value))
        return QVariant();
    const int id = value.metaType().id();
    if (id == qMetaTypeId<Currency>()) {
        const Currency c = value.value<Currency>();
        // PostgreSQL takes the exact decimal text; SQLite stores numbers as
        // REAL anyway, and a number compares as a number everywhere.
        return engine == TOvDbEngine::PostgreSQL ? QVariant(c.toString()) : QVariant(c.toDouble());
    }
    switch (id) {
    case QMetaType::Bool:
        return QVariant(value.toBool() ? 1 : 0);
    case QMetaType::QDate:
        return value.toDate().isValid() ? value : QVariant();
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (!dt.isValid())
            return QVariant();
        return engine == TOvDbEngine::SQLite ? QVariant(sqliteDateTimeText(dt)) : value;
    }
    default:
        return value;
    }
}

QVariantMap TOvSQLQuery::boundParams(TOvDbEngine engine) const
{
    QVariantMap map;
    for (const TParam &p : params())
        map.insert(p.name(), sqlValue(p.value(), engine));
    return map;
}

int TOvSQLQuery::execSQL()
{
    if (commandText().trimmed().isEmpty())
        throw EDatabaseError(QStringLiteral("Testo dell'istruzione SQL vuoto."));
    TOvSQLConnection &conn = activeConnection();
    const QVariantMap params = boundParams(conn.engine());
    if (params.isEmpty())
        return conn.exec(commandText()).numRowsAffected();
    QSqlQuery &q = conn.execReused(commandText(), params);
    const int affected = q.numRowsAffected();
    q.finish();
    return affected;
}

void TOvSQLQuery::refresh()
{
    close();
    open();
}

void TOvSQLQuery::openData()
{
    if (commandText().trimmed().isEmpty())
        throw EDatabaseError(QStringLiteral("Testo della query SQL vuoto."));
    TOvSQLConnection &conn = activeConnection();

    std::vector<ColumnPlan> plan;
    std::vector<QVariantList> rows;
    const QVariantMap params = boundParams(conn.engine());
    // SQLite, a statement with parameters (one that runs again and again):
    // straight on the engine, the same names and values as through the driver.
    TOvSqliteStatement *native = conn.isSQLite() && !params.isEmpty() ? conn.sqliteStatement(commandText()) : nullptr;
    if (native && native->bindByName(params)) {
        conn.countStatement();
        struct Reset
        {
            TOvSqliteStatement &s;
            ~Reset() { s.reset(); }
        } reset{*native};
        const int n = native->columnCount();
        if (n == 0) {
            native->next(); // run, as the driver would have, then refuse
            throw EDatabaseError(QStringLiteral("L'istruzione SQL non restituisce righe."));
        }
        // A prepared statement's columns do not change: planned once.
        thread_local QHash<quint64, std::vector<ColumnPlan>> planned;
        auto known = planned.constFind(native->serial());
        if (known == planned.cend() || int(known->size()) != n) {
            std::vector<ColumnPlan> made;
            QSet<QString> used;
            for (int i = 0; i < n; ++i)
                made.push_back(namedPlan(sqlitePlan(native->declaredType(i)), native->columnName(i), i, used));
            if (planned.size() > 1000)
                planned.clear();
            known = planned.insert(native->serial(), std::move(made));
        }
        plan = *known;
        while (native->next()) {
            QVariantList row;
            row.reserve(n);
            for (int i = 0; i < n; ++i)
                row.append(native->value(i));
            rows.push_back(std::move(row));
        }
    } else {
        // Through the connection, which also looks after statements that fail
        // inside a PostgreSQL transaction.
        QSqlQuery once;
        QSqlQuery &q = params.isEmpty() ? (once = conn.exec(commandText())) : conn.execReused(commandText(), params);
        // A kept statement lets go of its result (and SQLite of its read
        // lock) whatever happens below.
        struct Finish
        {
            QSqlQuery &q;
            ~Finish() { q.finish(); }
        } finish{q};
        const QSqlRecord rec = q.record();
        if (!q.isSelect() || rec.isEmpty())
            throw EDatabaseError(QStringLiteral("L'istruzione SQL non restituisce righe."));

        sqlite3_stmt *stmt = conn.isSQLite() ? sqliteStatement(q) : nullptr;
        QSet<QString> used;
        for (int i = 0; i < rec.count(); ++i) {
            const QSqlField f = rec.field(i);
            ColumnPlan p;
            if (conn.isPostgres())
                p = planPostgres(f);
            else
                p = sqlitePlan(stmt ? sqlite3_column_decltype(stmt, i) : nullptr);
            plan.push_back(namedPlan(p, f.name(), i, used));
        }

        const int n = int(plan.size());
        while (q.next()) {
            QVariantList row;
            row.reserve(n);
            for (int i = 0; i < n; ++i)
                row.append(q.value(i));
            rows.push_back(std::move(row));
        }
        if (q.lastError().isValid())
            ovRaiseSqlError(q.lastError());
    }

    QList<TFieldDef> defs;
    for (int i = 0; i < int(plan.size()); ++i) {
        ColumnPlan &p = plan[size_t(i)];
        if (p.decide != ColumnPlan::Fixed)
            decideByValues(p, i, rows);
        if (p.type == TFieldType::String && p.size > 0) {
            for (const QVariantList &row : rows)
                if (!isNullValue(row[i]))
                    p.size = std::max(p.size, int(row[i].toString().size()));
        }
        defs.append(TFieldDef{p.name, p.type, p.size});
    }
    setFieldDefs(defs);
    for (const QVariantList &row : rows)
        addLoadedRow(row);
}
