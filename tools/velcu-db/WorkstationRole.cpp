#include "tools/velcu-db/WorkstationRole.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvTransaction.h"
#include "rag/connection/TdmragConnessione.h"

#include <QRegularExpression>
#include <QSqlQuery>

namespace WorkstationRole {

namespace {

// Identifiers cannot be bound as parameters: only plain names are quoted in.
QString identifier(const QString &name, const QString &what)
{
    static const QRegularExpression plain(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    if (!plain.match(name).hasMatch())
        throw EOvError(QStringLiteral("Nome di %1 non valido: \"%2\" (lettere minuscole, cifre e \"_\", al più 63).")
                           .arg(what, name));
    return QLatin1Char('"') + name + QLatin1Char('"');
}

QStringList names(TOvSQLConnection &conn, const QString &sql)
{
    QStringList out;
    QSqlQuery q = conn.exec(sql);
    while (q.next())
        out << q.value(0).toString();
    return out;
}

bool roleExists(TOvSQLConnection &conn, const QString &name)
{
    QSqlQuery q = conn.exec(QStringLiteral("SELECT 1 FROM pg_roles WHERE rolname = :R"), {{QStringLiteral("R"), name}});
    return q.next();
}

} // namespace

QStringList storeTables()
{
    return {QStringLiteral("tcds_struttura"),   QStringLiteral("tcrf_crofiscale"), QStringLiteral("tafi_anafiscale"),
            QStringLiteral("tfis_datifiscali"), QStringLiteral("tyrfo_cartellereport"),
            QStringLiteral("tyapvrfo_appcartelle"), QStringLiteral("tyrpt_report")};
}

Report setUp(TOvSQLConnection &conn, const QString &role, const QStringList &members)
{
    if (!conn.isPostgres())
        throw EOvError(QStringLiteral("Il ruolo delle postazioni esiste solo su un server PostgreSQL: il database "
                                      "configurato è un file SQLite."));
    Report r;
    r.role = role;
    const QString quotedRole = identifier(role, QStringLiteral("ruolo"));
    for (const QString &m : members)
        identifier(m, QStringLiteral("utente"));

    TOvTransaction tx(&conn);
    tx.StartTransaction();
    if (!roleExists(conn, role)) {
        conn.exec(QStringLiteral("CREATE ROLE %1 NOLOGIN").arg(quotedRole));
        r.created = true;
    }
    // the database as it was created (velcu-db create checks its name)
    static const QRegularExpression dbName(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
    const QString database = conn.config().database;
    if (!dbName.match(database).hasMatch())
        throw EOvError(QStringLiteral("Nome di database non valido: \"%1\".").arg(database));
    conn.exec(QStringLiteral("GRANT CONNECT, TEMPORARY ON DATABASE \"%1\" TO %2").arg(database, quotedRole));
    // the schema the tables were created in (public, unless the connection's
    // options chose another search path)
    const QStringList schema = names(conn, QStringLiteral("SELECT current_schema()"));
    if (schema.isEmpty() || schema.first().isEmpty())
        throw EOvError(QStringLiteral("Nessuno schema corrente sul server: le tabelle non sono state create?"));
    r.schema = schema.first();
    const QString quotedSchema = identifier(r.schema, QStringLiteral("schema"));
    conn.exec(QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2").arg(quotedSchema, quotedRole));
    conn.exec(QStringLiteral("REVOKE CREATE ON SCHEMA %1 FROM %2").arg(quotedSchema, quotedRole));

    // From scratch: whatever an earlier run or a hand gave is taken back first.
    const QStringList tables = names(conn, QStringLiteral("SELECT tablename FROM pg_tables WHERE schemaname = "
                                                          "current_schema() ORDER BY tablename"));
    const QStringList store = storeTables();
    for (const QString &t : tables) {
        const QString q = quotedSchema + QLatin1Char('.') + identifier(t, QStringLiteral("tabella"));
        conn.exec(QStringLiteral("REVOKE ALL ON TABLE %1 FROM %2").arg(q, quotedRole));
        if (store.contains(t)) {
            conn.exec(QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON TABLE %1 TO %2").arg(q, quotedRole));
            r.storeTables << t;
        } else {
            // the payroll tables, and the list of applied set-up scripts
            conn.exec(QStringLiteral("GRANT SELECT ON TABLE %1 TO %2").arg(q, quotedRole));
            r.payrollTables << t;
        }
    }
    r.sequences = names(conn, QStringLiteral("SELECT sequencename FROM pg_sequences WHERE schemaname = "
                                             "current_schema() AND sequencename LIKE 'gen\\_%' ORDER BY sequencename"));
    for (const QString &s : std::as_const(r.sequences))
        conn.exec(QStringLiteral("GRANT USAGE, SELECT, UPDATE ON SEQUENCE %1.%2 TO %3")
                      .arg(quotedSchema, identifier(s, QStringLiteral("generatore")), quotedRole));

    for (const QString &m : members) {
        const QString quoted = identifier(m, QStringLiteral("utente"));
        if (!roleExists(conn, m)) {
            conn.exec(QStringLiteral("CREATE ROLE %1 LOGIN").arg(quoted));
            r.newLogins << m;
        }
        conn.exec(QStringLiteral("GRANT %1 TO %2").arg(quotedRole, quoted));
    }
    r.members = names(conn, QStringLiteral("SELECT m.rolname FROM pg_auth_members a JOIN pg_roles g ON g.oid = a.roleid "
                                           "JOIN pg_roles m ON m.oid = a.member WHERE g.rolname = '%1' ORDER BY 1")
                                .arg(role)); // a checked plain name

    // The repairs a workstation skips (it may not write the payroll tables).
    for (const QString &repair : TdmragConnessione::repairStatements()) {
        conn.exec(repair);
        ++r.repairs;
    }
    tx.Commit();
    return r;
}

} // namespace WorkstationRole
