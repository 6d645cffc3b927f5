#pragma once
// Which database to open: the embedded SQLite file or a PostgreSQL server.
//
// Layers, each overriding the one before:
//   1. built-in defaults: SQLite on <data root>/usr/rag/velcu-demo.sqlite;
//      PostgreSQL localhost:5432, database "velcu", user of libpq's default;
//   2. the ini file, section [Database], keys Engine, Path, Host, Port, Name,
//      User, Password, Options. The file is <root>/bin/velcu.ini (or
//      <data root>/velcu.ini when the data root is the user's, InstallRoot.h),
//      or the one named by VELCU_DB_CONFIG or --db-config (then it must exist).
//      A relative Path is taken from the data root.
//      A Password is accepted only from a file other users cannot read;
//   3. environment: VELCU_DB_ENGINE, VELCU_DB_PATH, VELCU_DB_HOST,
//      VELCU_DB_PORT, VELCU_DB_NAME, VELCU_DB_USER, VELCU_DB_OPTIONS, and the
//      password from VELCU_DB_PASSWORD or else PGPASSWORD;
//   4. command line: --db-engine, --db-path, --db-host, --db-port, --db-name,
//      --db-user, --db-options. No password option: command lines are
//      visible to every user of the machine.
// Engine values: "sqlite" or "postgres" (also "postgresql", "pg"), any case.
// Options are extra driver options, "key=value" separated by ";" (libpq
// keywords such as connect_timeout for PostgreSQL, QSQLITE_* for SQLite).
// Bad values raise EOvError naming the value and where it came from.
//
// The ini is read strictly: a section or key the program does not know, or a
// line that is neither a section, "key=value", a comment nor blank, is an
// error naming the file and the line (a mistyped [Database] must not send the
// program to the demo database).
#include <QList>
#include <QProcessEnvironment>
#include <QString>

class QCommandLineParser;

enum class TOvDbEngine { SQLite, PostgreSQL };

struct TOvDbConfig
{
    TOvDbEngine engine = TOvDbEngine::SQLite;
    QString path;            // SQLite database file
    QString host;            // PostgreSQL server
    int port = 5432;
    QString database;
    QString user;            // empty: libpq's default (PGUSER or the login name)
    QString password;        // never shown in any text
    QString connectOptions;
    QString iniFile;         // the ini actually read; empty when none

    bool isSQLite() const { return engine == TOvDbEngine::SQLite; }
    bool isPostgres() const { return engine == TOvDbEngine::PostgreSQL; }
    QString engineName() const;          // "sqlite" / "postgres"
    QString driverName() const;          // "QSQLITE" / "QPSQL"
    // The database as people name it: the file, or user@host:port/database.
    QString describe() const;
    // The user name libpq will log in with, for messages.
    QString effectiveUser() const;
    // The line a command that writes begins with: engine and file, or
    // server, database and user. Never the password.
    QString workingDatabaseLine() const;

    static TOvDbEngine parseEngine(const QString &text, const QString &origin);
    static QString defaultSqlitePath();
    static QString defaultIniFile();
};

// The command-line side, shared by the program and the tools.
namespace TOvDbOptions {

void addTo(QCommandLineParser &parser);

// Defaults < ini < environment < command line. `parser` may be null.
TOvDbConfig resolve(const QCommandLineParser *parser,
                    const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment());

}

// Driver options as the drivers read them. QPSQL turns every ';' into a blank
// and hands the text to libpq as a connection string: keywords separated by
// blanks, "key = value" with optional blanks around '=', values in single
// quotes with backslash escapes (also outside quotes). QSQLITE splits on ';'
// and also takes bare flags (QSQLITE_OPEN_READONLY): a word without '=' is an
// option without value here.
struct TOvDriverOption
{
    QString key;
    QString value;
    bool hasValue = false;
};

namespace TOvDriverOptions {

QList<TOvDriverOption> parse(const QString &text);
// The option that carries a password or a password file, in any form: the
// keywords password, passfile, sslpassword in any case, also inside another
// option's value holding "key=value" (dbname may be a whole connection
// string; a quoted value may hide one), and a URI with "user:password@".
// Empty when there is none.
QString passwordCarrier(const QString &text);
// EOvError naming `origin` (never the value) when passwordCarrier() finds one:
// driver options show in the process list and sit in shared ini files.
void refusePassword(const QString &text, const QString &origin);

}

// The ini of the installation: the sections and keys the program reads.
namespace TOvIniFile {

// EOvError "file, riga N: ..." at the first line that is not a known section,
// a known key of its section, a comment (';' or '#') or blank.
void check(const QString &file);

}
