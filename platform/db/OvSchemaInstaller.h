#pragma once
// Creates and updates the database from the set-up scripts (<root>/etc/rag/sql).
//
// Scripts: every *.sql of the folder, in file-name order ("010_x.sql" before
// "020_y.sql"); "name.postgres.sql" runs only on PostgreSQL and
// "name.sqlite.sql" only on SQLite, the rest on both. The demo seed is the
// same in the sub-folder demo/, applied after the schema when asked.
// Each statement is idempotent (CREATE ... IF NOT EXISTS, CREATE OR REPLACE,
// INSERT ... ON CONFLICT DO NOTHING), so a script can always run again.
//
// Text substitution, the one engine difference inside shared scripts:
//   @BLOB@  ->  BYTEA on PostgreSQL, BLOB on SQLite.
// "ALTER TABLE t ADD COLUMN IF NOT EXISTS c ..." runs on SQLite too: there
// the column is looked up first and the statement skipped when present.
// Statements end at ";" outside quotes, comments and $tag$ bodies.
//
// Each script runs in a transaction of its own, together with a row in
// tov_schema (file, SHA-256 of its text) that lets later runs skip unchanged
// scripts: re-running on an existing database is a single read.
#include "platform/db/OvDbConfig.h"

#include <QString>
#include <QStringList>
#include <functional>

class TOvSQLConnection;

class TOvSchemaInstaller
{
public:
    struct Report
    {
        QStringList applied;     // scripts run now
        QStringList unchanged;   // scripts already applied with the same text
        int statements = 0;
    };

    TOvSchemaInstaller(TOvSQLConnection &connection, const QString &sqlDir);

    // Runs the schema scripts, then the demo scripts when `demo`. `force`
    // runs unchanged scripts too. A refused statement rolls back its script
    // and raises EDatabaseError naming script, statement and driver message.
    Report install(bool demo = false, bool force = false);

    // Called with a line of Italian text for every script run.
    std::function<void(const QString &)> onProgress;

    // Scripts of `subdir` ("" or "demo") for this connection's engine,
    // relative to the sql folder. EOvError when the folder is missing.
    QStringList scripts(const QString &subdir) const;

    static QString substitute(const QString &sql, TOvDbEngine engine);
    static QStringList splitStatements(const QString &sql);

private:
    void runScript(const QString &relative, const QString &text, const QString &hash, Report &report);

    TOvSQLConnection &m_connection;
    QString m_dir;
};
