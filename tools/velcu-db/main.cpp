// velcu-db: sets up the velcu database.
//
//   velcu-db create [--demo] [--payees N] [--force] [--sql-dir DIR] [db options]
//
// Creates the tables, generators and functions the program needs, on SQLite
// (the file is created when missing) or PostgreSQL (the database is created
// when missing and the user may do so). Idempotent: on a database that is
// already up to date it only reads the list of applied scripts.
// --demo adds the demo school; --payees N (also --scale N) adds N payees
// generated from the demo's own, for benchmarks (DemoPayees.h).
// Exit status: 0 done, 1 failure (message on standard error), 2 bad usage.
#include "platform/core/OvExceptions.h"
#include "platform/db/InstallRoot.h"
#include "platform/db/OvDbConfig.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvSchemaInstaller.h"
#include "src/prj/unit/import/VelUniEmensDemo.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "tor/util/TorCampagna.h"
#include "tools/velcu-db/DemoPayees.h"
#include "tools/velcu-db/InstallPermissions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTextStream>

#include <cstdio>

namespace {

QTextStream &out()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

// PostgreSQL: creates the configured database through the server's
// maintenance database "postgres".
void createPostgresDatabase(const TOvDbConfig &config)
{
    static const QRegularExpression name(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,62}$"));
    if (!name.match(config.database).hasMatch())
        throw EOvError(QStringLiteral("Nome di database non valido: \"%1\".").arg(config.database));
    TOvDbConfig admin = config;
    admin.database = QStringLiteral("postgres");
    TOvSQLConnection conn(admin);
    conn.openOrThrow();
    // Identifiers cannot be bound as parameters; the name was checked above.
    conn.exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(config.database));
}

int create(const QCommandLineParser &parser)
{
    const bool demo = parser.isSet(QStringLiteral("demo"));
    const bool quiet = parser.isSet(QStringLiteral("quiet"));
    int payees = 0;
    for (const QString &option : {QStringLiteral("payees"), QStringLiteral("scale")}) {
        if (!parser.isSet(option))
            continue;
        bool ok = false;
        payees = parser.value(option).toInt(&ok);
        if (!ok || payees < 1) {
            err() << "Valore di --" << option << " non valido: \"" << parser.value(option)
                  << "\" (serve un intero positivo).\n";
            return 2;
        }
        if (!demo) {
            err() << "--" << option << " vale solo insieme a --demo.\n";
            return 2;
        }
    }

    const TOvDbConfig config = TOvDbOptions::resolve(&parser);
    // First of all, which database this run changes.
    if (!quiet)
        err() << config.workingDatabaseLine() << '\n' << Qt::flush;
    QElapsedTimer timer;
    timer.start();

    TOvSQLConnection conn(config);
    conn.setCreateIfMissing(true);
    if (!conn.open()) {
        if (config.isPostgres() && conn.lastErrorKind() == TOvSQLConnection::ErrorKind::MissingDatabase) {
            if (!quiet)
                out() << "Creazione del database " << config.database << "...\n";
            createPostgresDatabase(config);
            conn.openOrThrow();
        } else {
            throw EDatabaseError(conn.lastErrorText());
        }
    }

    const QString sqlDir = parser.isSet(QStringLiteral("sql-dir")) ? parser.value(QStringLiteral("sql-dir"))
                                                                  : InstallRoot::sqlDir();
    TOvSchemaInstaller installer(conn, sqlDir);
    if (!quiet)
        installer.onProgress = [](const QString &line) { out() << line << '\n' << Qt::flush; };
    const TOvSchemaInstaller::Report report = installer.install(demo, parser.isSet(QStringLiteral("force")));
    // The structures of the fiscal store follow the record model shipped with
    // this program: written at every set-up, row counters left alone.
    const VelSeedResult seeded = seedStructures(conn, QStringLiteral("vel"), Campagna::AnnoFinanziario);
    protectConfigurationFolder(InstallRoot::etcDir());
    if (!quiet && (seeded.inserted || seeded.updated))
        out() << "Strutture dell'archivio fiscale: " << seeded.inserted << " nuove, " << seeded.updated
              << " aggiornate" << (seeded.moved ? QStringLiteral(", %1 con chiave nuova").arg(seeded.moved) : QString())
              << ".\n";
    if (demo) {
        // The sibling UniEmens program's declarations of the demo school,
        // for its payees 39 and 21.
        auto taxCode = [&conn](int ianaid) {
            QSqlQuery q = conn.exec(QStringLiteral("SELECT sanacodfiscale FROM tana_anagrafiche WHERE ianaid = :I"),
                                    {{QStringLiteral("I"), ianaid}});
            return q.next() ? q.value(0).toString() : QString();
        };
        const VelUniEmensDemoResult u = seedUniEmensDemo(conn, taxCode(39), taxCode(21));
        if (!quiet && u.rows > 0)
            out() << "Denunce UniEmens dimostrative: " << u.rows << " righe.\n";
    }
    if (payees > 0) {
        QElapsedTimer generation;
        generation.start();
        const DemoPayeesReport g = generateDemoPayees(conn, payees, [&](int done, int total) {
            if (!quiet && (done == total || done % 1000 < 40))
                out() << "Percipienti generati: " << done << " di " << total << '\n' << Qt::flush;
        });
        if (!quiet)
            out() << "Percipienti generati: " << g.added << " aggiunti, " << g.existing << " già presenti ("
                  << generation.elapsed() << " ms).\n";
    }
    if (!quiet) {
        if (report.applied.isEmpty())
            out() << "Database " << config.describe() << " già aggiornato (" << report.unchanged.size()
                  << " script, " << timer.elapsed() << " ms).\n";
        else
            out() << "Database " << config.describe() << " aggiornato: " << report.applied.size()
                  << " script applicati, " << report.unchanged.size() << " invariati, " << report.statements
                  << " istruzioni (" << timer.elapsed() << " ms).\n";
    }
    return 0;
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velcu-db"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Crea o aggiorna il database di velcu (SQLite o PostgreSQL).\n"
        "Comando: create  crea tabelle, generatori e funzioni; con --demo anche i dati dell'istituto dimostrativo."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("comando"), QStringLiteral("create"));
    parser.addOption(QCommandLineOption(QStringLiteral("demo"), QStringLiteral("Aggiunge i dati dimostrativi.")));
    parser.addOption(QCommandLineOption(QStringLiteral("payees"),
                                        QStringLiteral("Aggiunge N percipienti generati dai dati dimostrativi."),
                                        QStringLiteral("N")));
    parser.addOption(QCommandLineOption(QStringLiteral("scale"), QStringLiteral("Come --payees."),
                                        QStringLiteral("N")));
    parser.addOption(QCommandLineOption(QStringLiteral("force"),
                                        QStringLiteral("Riesegue anche gli script già applicati.")));
    parser.addOption(QCommandLineOption(QStringLiteral("sql-dir"),
                                        QStringLiteral("Cartella degli script (predefinita: etc/rag/sql)."),
                                        QStringLiteral("cartella")));
    parser.addOption(QCommandLineOption({QStringLiteral("q"), QStringLiteral("quiet")},
                                        QStringLiteral("Nessun messaggio se non in caso di errore.")));
    TOvDbOptions::addTo(parser);

    if (!parser.parse(QCoreApplication::arguments())) {
        err() << parser.errorText() << '\n';
        return 2;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        out() << parser.helpText();
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    if (args.size() != 1 || args.first() != QLatin1String("create")) {
        err() << "Uso: velcu-db create [--demo] [--payees N] [opzioni del database]; --help per l'elenco.\n";
        return 2;
    }

    try {
        return create(parser);
    } catch (const EOvException &e) {
        err() << e.message() << '\n';
        return 1;
    }
}
