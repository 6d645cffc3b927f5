#include "VelPayrollCheck.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/model/VelError.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <sqlite3.h>

namespace {

// The payroll tables an import reads an employee's rows from: those holding
// the relationship key, and those holding a register's key.
const char *const kPayrollTables[] = {
    "tacom_rapporti", "tregs_registri", "tvacr_vocicalcolate", "tvarr_varritenute", "tadetr_detrazioniregs",
    "tass_assenze",   "tcong_conguagli", "tcfsa_accfuorisistema",
};

bool numericType(const QString &declared)
{
    const QString t = declared.trimmed().toUpper();
    return t.contains(QLatin1String("INT")) || t.startsWith(QLatin1String("NUMERIC"))
           || t.startsWith(QLatin1String("DECIMAL")) || t.startsWith(QLatin1String("REAL"))
           || t.startsWith(QLatin1String("FLOAT")) || t.startsWith(QLatin1String("DOUBLE"));
}

// vel_non_numerico(a, b, ...): 1 when one of the values is a blob or a text
// with anything but spaces (what "(typeof(x) = 'text' AND trim(x) <> '') OR
// typeof(x) = 'blob'" says of each), 0 otherwise. One call a row instead of
// three expressions a column: the check reads every payroll row of every
// employee.
void nonNumeric(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    for (int i = 0; i < argc; ++i) {
        switch (sqlite3_value_type(argv[i])) {
        case SQLITE_BLOB:
            sqlite3_result_int(ctx, 1);
            return;
        case SQLITE_TEXT: {
            const unsigned char *t = sqlite3_value_text(argv[i]);
            const int n = sqlite3_value_bytes(argv[i]);
            for (int k = 0; t && k < n; ++k)
                if (t[k] != ' ') {
                    sqlite3_result_int(ctx, 1);
                    return;
                }
            break;
        }
        default:
            break;
        }
    }
    sqlite3_result_int(ctx, 0);
}

} // namespace

TVelPayrollCheck::TVelPayrollCheck(TOvSQLConnection &connection) : m_conn(connection) {}

void TVelPayrollCheck::leggiSchema()
{
    if (!m_conn.isSQLite()) {
        m_letto = true;
        return;
    }
    auto *db = static_cast<sqlite3 *>(m_conn.nativeHandle());
    const int rc = db ? sqlite3_create_function_v2(db, "vel_non_numerico", -1,
                                                   SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY, nullptr,
                                                   nonNumeric, nullptr, nullptr, nullptr)
                      : SQLITE_MISUSE;
    if (rc != SQLITE_OK)
        throw EDatabaseError(QStringLiteral("Errore del database: impossibile preparare il controllo dei dati "
                                            "retributivi (%1).")
                                 .arg(QString::fromUtf8(sqlite3_errstr(rc))));
    // Read whole or not at all: a table left out would go unchecked for the
    // rest of the run.
    QList<Table> tables;
    for (const char *t : kPayrollTables) {
        const QString name = QString::fromLatin1(t);
        QSqlQuery q = m_conn.newQuery();
        if (!q.exec(QStringLiteral("PRAGMA table_info(%1)").arg(name)))
            ovRaiseSqlError(q.lastError(), QStringLiteral("lettura della struttura della tabella %1").arg(name));
        Table table;
        table.name = name;
        bool hasRelationship = false, hasRegister = false;
        while (q.next()) {
            const QString column = q.value(1).toString().toLower();
            hasRelationship = hasRelationship || column == QLatin1String("iacomid");
            hasRegister = hasRegister || column == QLatin1String("iregsid");
            if (numericType(q.value(2).toString()))
                table.numeric << column;
        }
        if (table.numeric.isEmpty() || (!hasRelationship && !hasRegister))
            continue;
        table.byRegister = !hasRelationship;
        const QString where = table.byRegister
                                  ? QStringLiteral("iregsid IN (SELECT iregsid FROM tregs_registri WHERE iacomid = ?)")
                                  : QStringLiteral("iacomid = ?");
        const QString columns = table.numeric.join(QStringLiteral(", "));
        table.statement = QStringLiteral("SELECT rowid, %1 FROM %2 WHERE %3 AND vel_non_numerico(%1) LIMIT 1")
                              .arg(columns, name, where);
        tables << table;
    }
    m_tables = tables;
    m_letto = true;
}

void TVelPayrollCheck::controlla(int iacomid)
{
    if (!m_letto)
        leggiSchema();
    for (Table &t : m_tables) {
        // Prepared once a run: the check runs for every employee.
        if (!t.query) {
            t.query = std::make_shared<QSqlQuery>(m_conn.newQuery());
            t.query->setForwardOnly(true);
            if (!t.query->prepare(t.statement)) {
                const QSqlError e = t.query->lastError();
                t.query.reset();
                ovRaiseSqlError(e);
            }
        }
        QSqlQuery &q = *t.query;
        q.bindValue(0, iacomid);
        m_conn.countStatement();
        if (!q.exec())
            ovRaiseSqlError(q.lastError());
        const bool found = q.next();
        const QSqlRecord row = found ? q.record() : QSqlRecord();
        q.finish();
        if (!found)
            continue;
        for (int i = 0; i < t.numeric.size(); ++i) {
            const QVariant v = row.value(i + 1);
            // An empty text reads as no value, as everywhere else.
            const bool text = v.metaType().id() == QMetaType::QString && !v.toString().trimmed().isEmpty();
            if (!text && v.metaType().id() != QMetaType::QByteArray)
                continue;
            throw EVelError(QStringLiteral("Dati retributivi non validi: nella tabella %1, riga %2, il campo %3 "
                                          "contiene \"%4\", che non è un numero. Correggere il dato nel "
                                          "programma stipendi.")
                               .arg(t.name)
                               .arg(row.value(0).toLongLong())
                               .arg(t.numeric.at(i).toUpper(), v.toString().left(40)),
                           {TVelErrorCode::DatiRetributivi, QString(), TVelStage::Lettura});
        }
    }
}
