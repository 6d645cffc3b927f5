#include "platform/db/OvCroFiscale.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvSqliteFunctions.h"

#include <sqlite3.h>

namespace {

// Look up; when missing, insert unless someone else did meanwhile (the
// NOT EXISTS is evaluated under the write lock), then look up again. The key
// is the table's rowid.
const char kInsertPeriod[] =
    "INSERT INTO tcrf_crofiscale (icrfanno, icrfmese, scrfprogramma) "
    "SELECT ?1, ?2, lower(?3) "
    "WHERE NOT EXISTS (SELECT 1 FROM tcrf_crofiscale c WHERE lower(c.scrfprogramma) = lower(?3) "
    "AND COALESCE(c.icrfanno, 0) = COALESCE(?1, 0) AND COALESCE(c.icrfmese, 0) = COALESCE(?2, 0))";
const char kSelectPeriod[] =
    "SELECT c.icrfid FROM tcrf_crofiscale c WHERE lower(c.scrfprogramma) = lower(?3) "
    "AND COALESCE(c.icrfanno, 0) = COALESCE(?1, 0) AND COALESCE(c.icrfmese, 0) = COALESCE(?2, 0)";

class Statement
{
public:
    Statement(sqlite3 *db, const char *sql) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;
    int prepareResult() const { return m_rc; }
    sqlite3_stmt *get() const { return m_stmt; }

private:
    sqlite3_stmt *m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

// Year or month: a value below 1 is no value.
void bindPeriodPart(sqlite3_stmt *stmt, int index, sqlite3_value *value)
{
    if (sqlite3_value_type(value) == SQLITE_NULL || sqlite3_value_int64(value) < 1)
        sqlite3_bind_null(stmt, index);
    else
        sqlite3_bind_int64(stmt, index, sqlite3_value_int64(value));
}

bool bindAll(sqlite3_stmt *stmt, sqlite3_value **argv)
{
    bindPeriodPart(stmt, 1, argv[1]);
    bindPeriodPart(stmt, 2, argv[2]);
    return sqlite3_bind_value(stmt, 3, argv[0]) == SQLITE_OK;
}

void failWith(sqlite3_context *ctx, sqlite3 *db, int rc)
{
    const QByteArray msg = QByteArray("ptor_getcrofiscale: ") + sqlite3_errmsg(db);
    sqlite3_result_error(ctx, msg.constData(), int(msg.size()));
    sqlite3_result_error_code(ctx, rc);
}

void ptorGetCroFiscale(sqlite3_context *ctx, int argc, sqlite3_value **argv)
{
    if (argc != 3) {
        sqlite3_result_error(ctx, "ptor_getcrofiscale: servono programma, anno e mese", -1);
        return;
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_bytes(argv[0]) == 0) {
        sqlite3_result_error(ctx, "ptor_getcrofiscale: codice programma mancante", -1);
        return;
    }
    sqlite3 *db = sqlite3_context_db_handle(ctx);

    {
        Statement lookup(db, kSelectPeriod);
        if (lookup.prepareResult() != SQLITE_OK || !bindAll(lookup.get(), argv))
            return failWith(ctx, db, lookup.prepareResult() != SQLITE_OK ? lookup.prepareResult() : SQLITE_ERROR);
        const int rc = sqlite3_step(lookup.get());
        if (rc == SQLITE_ROW) {
            sqlite3_result_int64(ctx, sqlite3_column_int64(lookup.get(), 0));
            return;
        }
        if (rc != SQLITE_DONE)
            return failWith(ctx, db, rc);
    }

    Statement insert(db, kInsertPeriod);
    if (insert.prepareResult() != SQLITE_OK || !bindAll(insert.get(), argv))
        return failWith(ctx, db, insert.prepareResult() != SQLITE_OK ? insert.prepareResult() : SQLITE_ERROR);
    const int rcInsert = sqlite3_step(insert.get());
    if (rcInsert != SQLITE_DONE)
        return failWith(ctx, db, rcInsert);

    Statement select(db, kSelectPeriod);
    if (select.prepareResult() != SQLITE_OK || !bindAll(select.get(), argv))
        return failWith(ctx, db, select.prepareResult() != SQLITE_OK ? select.prepareResult() : SQLITE_ERROR);
    const int rcSelect = sqlite3_step(select.get());
    if (rcSelect == SQLITE_ROW) {
        sqlite3_result_int64(ctx, sqlite3_column_int64(select.get(), 0));
        return;
    }
    if (rcSelect == SQLITE_DONE) {
        sqlite3_result_error(ctx, "ptor_getcrofiscale: periodo non trovato dopo l'inserimento", -1);
        return;
    }
    failWith(ctx, db, rcSelect);
}

}

QString ovRegisterSqliteFunctions(void *handle)
{
    auto *db = static_cast<sqlite3 *>(handle);
    if (!db)
        return QStringLiteral("Connessione SQLite senza handle nativo: impossibile registrare le funzioni SQL.");
    // DIRECTONLY: callable from statements, never from triggers or views a file might carry.
    const int rc = sqlite3_create_function_v2(db, "ptor_getcrofiscale", 3, SQLITE_UTF8 | SQLITE_DIRECTONLY,
                                              nullptr, &ptorGetCroFiscale, nullptr, nullptr, nullptr);
    if (rc != SQLITE_OK)
        return QStringLiteral("Impossibile registrare la funzione ptor_getcrofiscale: %1")
            .arg(QString::fromUtf8(sqlite3_errmsg(db)));
    return QString();
}

QString croFiscaleSql()
{
    return QStringLiteral("SELECT ptor_getcrofiscale(:SCRFPROGRAMMA, :ICRFANNO, :ICRFMESE) AS icrfid");
}

int getCroFiscale(TOvSQLConnection &conn, const QString &program, int year, int month)
{
    if (program.trimmed().isEmpty())
        throw EOvError(QStringLiteral("Codice programma mancante: impossibile individuare il periodo fiscale."));
    const QVariant noValue{QMetaType(QMetaType::Int)};
    QSqlQuery &q = conn.execReused(croFiscaleSql(),
                            {{QStringLiteral("SCRFPROGRAMMA"), program},
                             {QStringLiteral("ICRFANNO"), year >= 1 ? QVariant(year) : noValue},
                             {QStringLiteral("ICRFMESE"), month >= 1 ? QVariant(month) : noValue}});
    const QVariant value = q.next() ? q.value(0) : QVariant();
    q.finish();
    if (value.isNull())
        throw EDatabaseError(QStringLiteral("Errore del database: nessun periodo fiscale restituito per "
                                            "programma \"%1\", anno %2, mese %3.")
                                 .arg(program).arg(year).arg(month));
    return value.toInt();
}
