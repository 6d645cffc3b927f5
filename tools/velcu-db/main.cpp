// velcu-db: sets up the velcu database.
//
//   velcu-db create [--demo] [--payees N] [--force] [--sql-dir DIR] [db options]
//   velcu-db tabelle [--importa FILE ...]
//
// Creates the tables, generators and functions the program needs, on SQLite
// (the file is created when missing) or PostgreSQL (the database is created
// when missing and the user may do so). Idempotent: on a database that is
// already up to date it only reads the list of applied scripts.
// --demo adds the demo school; --payees N (also --scale N) adds N payees
// generated from the demo's own, for benchmarks (DemoPayees.h).
// tabelle lists the installation's code tables, those still awaiting the
// model's instructions first; --importa loads a table an office or a
// distributor typed from the official instructions (the text form of the
// shipped sources, CodeTableText.h), named as the table it replaces
// ("TNIS_ISCRITTO.tsv"), checked before anything is written.
// Exit status: 0 done, 1 failure (message on standard error), 2 bad usage.
#include "platform/core/OvExceptions.h"
#include "platform/core/OvFolders.h"
#include "platform/core/OvItalian.h"
#include "platform/db/InstallRoot.h"
#include "platform/db/OvDbConfig.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/db/OvSchemaInstaller.h"
#include "platform/db/OvWorkstationIni.h"
#include "src/prj/unit/import/VelUniEmensDemo.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "tor/util/TorCampagna.h"
#include "src/prj/unit/model/VelCodeTables.h"
#include "platform/dataset/TClientDataSet.h"
#include "tools/codetables/CodeTableText.h"
#include "tools/velcu-db/DemoPayees.h"
#include "tools/velcu-db/InstallPermissions.h"
#include "tools/velcu-db/WorkstationRole.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
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
    if (!quiet && !demo && TOvWorkstationIni::nothingConfigured(config))
        err() << "Nessun database configurato: si crea il database SQLite della postazione, senza dati. Per provare il "
                 "programma: velcu-db create --demo; per il server dell'ufficio: velcu-db configura --db-host SERVER "
                 "--db-name DATABASE --db-user UTENTE.\n"
              << Qt::flush;
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
    // an installed package's folder is the package's to set, not ours
    if (!InstallRoot::separateDataRoot())
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

// The installation's code tables, those without codes first.
int listTables()
{
    const QDir dir(VelCodeTables::folder());
    const QStringList files = dir.entryList({QStringLiteral("*.cds")}, QDir::Files, QDir::Name | QDir::IgnoreCase);
    if (files.isEmpty())
        throw EOvError(QStringLiteral("Nessuna tabella codici in %1.").arg(QDir::toNativeSeparators(dir.path())));
    QStringList pending, done;
    for (const QString &f : files) {
        TClientDataSet ds;
        VelCodeTables::load(ds, f);
        const QString name = QFileInfo(f).completeBaseName();
        if (ds.isEmpty())
            pending << name;
        else
            done << QStringLiteral("%1 (%2 codici)").arg(name).arg(ds.recordCount());
    }
    out() << "Tabelle codici in " << QDir::toNativeSeparators(dir.path()) << ":\n";
    for (const QString &n : std::as_const(pending))
        out() << "  " << n << ": da completare con le istruzioni del modello (velcu-db tabelle --importa "
              << n << ".tsv)\n";
    for (const QString &n : std::as_const(done))
        out() << "  " << n << '\n';
    return 0;
}

// Loads one typed table over the shipped one of the same name: the columns
// must be the shipped table's, every code present, unique, described.
void importTable(const QString &file)
{
    if (!QFileInfo(file).isFile())
        throw EOvError(QStringLiteral("Il file \"%1\" non esiste.").arg(file));
    const QString name = QFileInfo(file).completeBaseName();
    const QString target = VelCodeTables::resolve(name + QStringLiteral(".cds"));
    if (target.isEmpty())
        throw EOvError(QStringLiteral("Tabella codici \"%1\" sconosciuta: il file deve chiamarsi come la tabella che "
                                      "sostituisce (velcu-db tabelle per l'elenco).")
                           .arg(name));
    TClientDataSet shipped;
    VelCodeTables::load(shipped, QFileInfo(target).fileName());
    // the office's copy, beside the shipped one on a stage, in the data
    // folder for an installed package
    const QString own = QDir(VelCodeTables::ownFolder()).filePath(QFileInfo(target).fileName());
    ovMakePath(VelCodeTables::ownFolder());
    // checked into a scratch file first: the table in use changes only once
    // the whole file is right
    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw EOvError(QStringLiteral("Impossibile creare una cartella temporanea."));
    const QString checked = scratch.filePath(QStringLiteral("tabella.cds"));
    const int rows = CodeTableText::convert(file, checked, true);
    TClientDataSet typed;
    typed.loadFromFile(checked);
    QStringList want, got;
    for (const TFieldDef &d : shipped.fieldDefs())
        want << d.name;
    for (const TFieldDef &d : typed.fieldDefs())
        got << d.name;
    if (want.join(QLatin1Char('|')).compare(got.join(QLatin1Char('|')), Qt::CaseInsensitive) != 0)
        throw EOvError(QStringLiteral("%1: le colonne devono essere %2 (trovate %3).")
                           .arg(file, want.join(QStringLiteral(", ")), got.join(QStringLiteral(", "))));
    if (rows == 0)
        throw EOvError(QStringLiteral("%1: nessun codice.").arg(file));
    CodeTableText::convert(file, own, true);
    out() << "Tabella " << name << ": " << rows << " codici caricati in " << QDir::toNativeSeparators(own) << ".\n";
}

// A workstation of the office's server: its ini written once the server
// answered (the password from the environment, never written here).
int configure(const QCommandLineParser &parser)
{
    TOvWorkstationIni::Server s;
    s.host = parser.value(QStringLiteral("db-host"));
    s.database = parser.value(QStringLiteral("db-name"));
    s.user = parser.value(QStringLiteral("db-user"));
    if (parser.isSet(QStringLiteral("db-port"))) {
        bool ok = false;
        s.port = parser.value(QStringLiteral("db-port")).toInt(&ok);
        if (!ok)
            s.port = 0;
    }
    if (s.host.isEmpty() || s.database.isEmpty() || s.user.isEmpty()) {
        err() << "Uso: velcu-db configura --db-host SERVER [--db-port PORTA] --db-name DATABASE --db-user UTENTE "
                 "(password in VELCU_DB_PASSWORD).\n";
        return 2;
    }
    if (const QString why = TOvWorkstationIni::problem(s); !why.isEmpty())
        throw EOvError(why);
    const QString file = parser.isSet(QStringLiteral("db-config")) ? parser.value(QStringLiteral("db-config"))
                                                                  : InstallRoot::iniFile();
    TOvDbConfig trial = TOvWorkstationIni::config(s);
    trial.password = qEnvironmentVariable("VELCU_DB_PASSWORD", qEnvironmentVariable("PGPASSWORD"));
    {
        TOvSQLConnection conn(trial);
        if (!conn.open())
            throw EOvError(QStringLiteral("Collegamento al server %1 non riuscito: %2")
                               .arg(trial.describe(), conn.lastErrorText()));
    }
    TOvWorkstationIni::write(file, s);
    TOvIniFile::check(file);
    out() << "Configurazione della postazione scritta in " << QDir::toNativeSeparators(file) << ": server "
          << trial.describe() << ".\n";
    return 0;
}

// The server side of an office with several workstations.
int workstations(const QCommandLineParser &parser)
{
    const TOvDbConfig config = TOvDbOptions::resolve(&parser);
    err() << config.workingDatabaseLine() << '\n' << Qt::flush;
    if (!config.isPostgres())
        throw EOvError(QStringLiteral("velcu-db postazioni vale per un server PostgreSQL: indicarlo in velcu.ini "
                                      "([Database] Engine=postgres) o con --db-engine postgres."));
    TOvSQLConnection conn(config);
    conn.openOrThrow();
    const QString role = parser.isSet(QStringLiteral("ruolo")) ? parser.value(QStringLiteral("ruolo"))
                                                               : QString::fromLatin1(WorkstationRole::DefaultRole);
    const WorkstationRole::Report r = WorkstationRole::setUp(conn, role, parser.values(QStringLiteral("utente")));
    out() << "Ruolo delle postazioni " << r.role << (r.created ? " creato" : " aggiornato") << ": lettura e scrittura su "
          << r.storeTables.size() << " tabelle del programma e " << r.sequences.size() << " generatori, sola lettura su "
          << r.payrollTables.size() << " tabelle delle retribuzioni.\n";
    out() << "Correzioni dei dati delle retribuzioni eseguite: " << r.repairs << ".\n";
    if (r.members.isEmpty())
        out() << "Nessun utente iscritto al ruolo: velcu-db postazioni --utente NOME per iscriverne uno.\n";
    else
        out() << "Utenti delle postazioni: " << r.members.join(QStringLiteral(", ")) << ".\n";
    for (const QString &login : r.newLogins)
        out() << "Utente " << login << " creato senza password: impostarla sul server (psql: \\password " << login
              << ").\n";
    return 0;
}

int tables(const QCommandLineParser &parser)
{
    const QStringList files = parser.values(QStringLiteral("importa"));
    if (files.isEmpty())
        return listTables();
    for (const QString &f : files)
        importTable(f);
    return 0;
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    ovInstallItalian(app);
    QCoreApplication::setApplicationName(QStringLiteral("velcu-db"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VELCU_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Crea o aggiorna il database di velcu (SQLite o PostgreSQL).\n"
        "Comandi: create   crea tabelle, generatori e funzioni; con --demo anche i dati dell'istituto dimostrativo.\n"
        "         configura  scrive velcu.ini della postazione per il server PostgreSQL dell'ufficio\n"
        "                  (--db-host, --db-port, --db-name, --db-user; password in VELCU_DB_PASSWORD).\n"
        "         postazioni  sul server PostgreSQL: il ruolo di gruppo delle postazioni (legge le retribuzioni,\n"
        "                  legge e scrive l'archivio fiscale) e i suoi utenti.\n"
        "         tabelle  elenca le tabelle codici; con --importa FILE carica una tabella scritta dalle\n"
        "                  istruzioni del modello (righe Codice<TAB>Descrizione, file chiamato come la tabella)."));
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Mostra questo aiuto.")));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Mostra la versione del programma."));
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("comando"), QStringLiteral("create, configura, postazioni oppure tabelle"));
    parser.addOption(QCommandLineOption(QStringLiteral("importa"),
                                        QStringLiteral("tabelle: carica la tabella codici del file (ripetibile)."),
                                        QStringLiteral("FILE")));
    parser.addOption(QCommandLineOption(QStringLiteral("demo"), QStringLiteral("Aggiunge i dati dimostrativi.")));
    parser.addOption(QCommandLineOption(QStringLiteral("ruolo"),
                                        QStringLiteral("postazioni: nome del ruolo di gruppo (predefinito: velcu_postazioni)."),
                                        QStringLiteral("NOME")));
    parser.addOption(QCommandLineOption(QStringLiteral("utente"),
                                        QStringLiteral("postazioni: utente di una postazione da iscrivere al ruolo "
                                                       "(ripetibile; creato se manca)."),
                                        QStringLiteral("UTENTE")));
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
    if (parser.isSet(version)) {
        out() << "velcu-db " << QCoreApplication::applicationVersion() << '\n';
        return 0;
    }
    const QStringList args = parser.positionalArguments();
    const QStringList commands{QStringLiteral("create"), QStringLiteral("configura"), QStringLiteral("postazioni"),
                               QStringLiteral("tabelle")};
    if (args.size() != 1 || !commands.contains(args.first())) {
        err() << "Uso: velcu-db create [--demo] [--payees N] [opzioni del database] | velcu-db configura --db-host "
                 "SERVER --db-name DATABASE --db-user UTENTE | velcu-db postazioni [--ruolo NOME] [--utente UTENTE] | "
                 "velcu-db tabelle [--importa FILE]; --help per l'elenco.\n";
        return 2;
    }

    try {
        if (args.first() == QLatin1String("tabelle"))
            return tables(parser);
        if (args.first() == QLatin1String("postazioni"))
            return workstations(parser);
        if (args.first() == QLatin1String("configura"))
            return configure(parser);
        return create(parser);
    } catch (const EOvException &e) {
        err() << e.message() << '\n';
        return 1;
    }
}
