// Which database to open: ini < environment < command line, and the guards
// on the values and on a password kept in a file others can read.
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvDbConfig.h"
#include "src/prj/unit/cli/VelCli.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

// Resolves with the given command line and environment only.
TOvDbConfig resolveWith(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment())
{
    QCommandLineParser parser;
    TOvDbOptions::addTo(parser);
    if (!parser.parse(QStringList{QStringLiteral("velcu")} + args))
        qFatal("bad test command line: %s", qPrintable(parser.errorText()));
    return TOvDbOptions::resolve(&parser, env);
}

QString resolveError(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment())
{
    try {
        resolveWith(args, env);
    } catch (const EOvError &e) {
        return e.message();
    }
    return QString();
}

}

class TstDbConfig : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;

    QString writeIni(const QString &file, const QByteArray &text, QFile::Permissions perms)
    {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            qFatal("cannot write %s", qPrintable(file));
        f.write(text);
        f.close();
        f.setPermissions(perms);
        return file;
    }
    QString defaultIni() const { return m_root.path() + QStringLiteral("/bin/velcu.ini"); }

private slots:
    // Engine-independent, but a postgres run without its server must not pass quietly.
    void initTestCase() { VELCU_REQUIRE_TEST_DB(); }

    void init()
    {
        // The installation root decides where the default ini and database are.
        qputenv("VELCU_STAGE_DIR", m_root.path().toUtf8());
        QFile::remove(defaultIni());
    }

    void defaultsWithoutAnyConfiguration()
    {
        const TOvDbConfig c = resolveWith({});
        QVERIFY(c.isSQLite());
        QCOMPARE(c.path, m_root.path() + QStringLiteral("/usr/rag/velcu-demo.sqlite"));
        QVERIFY(c.iniFile.isEmpty());
    }

    void laterLayersWin()
    {
        writeIni(defaultIni(),
                 "[Database]\nEngine=postgres\nHost=ini-host\nPort=1111\nName=ini_db\nUser=ini_user\n",
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        QProcessEnvironment env;
        env.insert(QStringLiteral("VELCU_DB_HOST"), QStringLiteral("env-host"));
        env.insert(QStringLiteral("VELCU_DB_PORT"), QStringLiteral("2222"));
        env.insert(QStringLiteral("VELCU_DB_NAME"), QStringLiteral("env_db"));

        const TOvDbConfig c = resolveWith({QStringLiteral("--db-port"), QStringLiteral("3333"),
                                           QStringLiteral("--db-name=cli_db")}, env);
        QVERIFY(c.isPostgres());                         // ini only
        QCOMPARE(c.user, QStringLiteral("ini_user"));    // ini only
        QCOMPARE(c.host, QStringLiteral("env-host"));    // env over ini
        QCOMPARE(c.port, 3333);                          // command line over env over ini
        QCOMPARE(c.database, QStringLiteral("cli_db"));
        QCOMPARE(c.iniFile, defaultIni());

        // An explicit ini (environment, then command line) replaces the default one.
        const QString other = writeIni(m_root.path() + QStringLiteral("/altro.ini"),
                                       "[Database]\nEngine=sqlite\nPath=dati/prova.sqlite\n",
                                       QFile::ReadOwner | QFile::WriteOwner);
        env.insert(QStringLiteral("VELCU_DB_CONFIG"), other);
        const TOvDbConfig fromOther = resolveWith({}, env);
        QVERIFY(fromOther.isSQLite());
        // A relative path in an ini hangs from the installation root.
        QCOMPARE(fromOther.path, m_root.path() + QStringLiteral("/dati/prova.sqlite"));
        QCOMPARE(resolveWith({QStringLiteral("--db-config"), defaultIni()}, env).engine, TOvDbEngine::PostgreSQL);

        QVERIFY(resolveError({QStringLiteral("--db-config"), m_root.path() + QStringLiteral("/manca.ini")})
                    .contains(QStringLiteral("File di configurazione non trovato")));
    }

    void passwordSources()
    {
        const auto privateFile = QFile::ReadOwner | QFile::WriteOwner;
        writeIni(defaultIni(), "[Database]\nEngine=postgres\nPassword=dal-file\n", privateFile);
        QCOMPARE(resolveWith({}).password, QStringLiteral("dal-file"));

        QProcessEnvironment env;
        env.insert(QStringLiteral("PGPASSWORD"), QStringLiteral("da-pg"));
        QCOMPARE(resolveWith({}, env).password, QStringLiteral("da-pg"));
        env.insert(QStringLiteral("VELCU_DB_PASSWORD"), QStringLiteral("da-velcu"));
        QCOMPARE(resolveWith({}, env).password, QStringLiteral("da-velcu"));

        // A password in a file other users can read (everyone, or the group) is
        // refused, with the way out.
        for (const auto readable : {QFile::ReadOther, QFile::ReadGroup}) {
            writeIni(defaultIni(), "[Database]\nEngine=postgres\nPassword=segreta\n", privateFile | readable);
            const QString why = resolveError({});
            QVERIFY2(why.contains(defaultIni()) && why.contains(QStringLiteral("leggibile da altri utenti"))
                         && why.contains(QStringLiteral("VELCU_DB_PASSWORD")), qPrintable(why));
            QVERIFY(!why.contains(QStringLiteral("segreta")));
        }
        // The same file without a password is fine.
        writeIni(defaultIni(), "[Database]\nEngine=postgres\n", privateFile | QFile::ReadOther);
        QVERIFY(resolveWith({}).password.isEmpty());
    }

    // Driver options read as QPSQL and libpq read them: Qt turns ';' into a
    // blank, libpq takes "key = value", quotes with backslash escapes, and a
    // keyword may follow a closing quote at once.
    void driverOptionsAsTheDriversReadThem_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("parsed");  // key=value|... ("key" alone: no value)
        QTest::addColumn<QString>("carrier"); // the option refused, empty when none
        QTest::newRow("plain") << QStringLiteral("connect_timeout=3") << QStringLiteral("connect_timeout=3") << QString();
        QTest::newRow("qt separators and blanks")
            << QStringLiteral(" sslmode = disable ;application_name=velcu\tkeepalives=1")
            << QStringLiteral("sslmode=disable|application_name=velcu|keepalives=1") << QString();
        QTest::newRow("search path of the tests")
            << QStringLiteral("options='-csearch_path=velcu_t1'") << QStringLiteral("options=-csearch_path=velcu_t1")
            << QString();
        QTest::newRow("sqlite flags") << QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5")
                                      << QStringLiteral("QSQLITE_OPEN_READONLY|QSQLITE_BUSY_TIMEOUT=5") << QString();
        QTest::newRow("quoted with escapes")
            << QStringLiteral("application_name='l\\'ufficio \\\\ segreteria'")
            << QStringLiteral("application_name=l'ufficio \\ segreteria") << QString();
        QTest::newRow("password after a blank") << QStringLiteral("connect_timeout=5 password=segreta")
                                                << QStringLiteral("connect_timeout=5|password=segreta")
                                                << QStringLiteral("password");
        QTest::newRow("blanks around equals") << QStringLiteral("connect_timeout=5;  password   =   segreta")
                                              << QStringLiteral("connect_timeout=5|password=segreta")
                                              << QStringLiteral("password");
        QTest::newRow("any case, quoted") << QStringLiteral("PassWord='se greta'") << QStringLiteral("PassWord=se greta")
                                          << QStringLiteral("PassWord");
        QTest::newRow("right after a closing quote")
            << QStringLiteral("application_name='x'password=segreta")
            << QStringLiteral("application_name=x|password=segreta") << QStringLiteral("password");
        QTest::newRow("escaped blank in a value")
            << QStringLiteral("application_name=a\\ password=segreta")
            << QStringLiteral("application_name=a password=segreta") << QStringLiteral("application_name");
        QTest::newRow("inside a quoted value, Qt's semicolon")
            << QStringLiteral("application_name='x;password=segreta'")
            << QStringLiteral("application_name=x password=segreta") << QStringLiteral("application_name");
        QTest::newRow("connection string as dbname")
            << QStringLiteral("dbname='host=h password = segreta'") << QStringLiteral("dbname=host=h password = segreta")
            << QStringLiteral("dbname");
        QTest::newRow("uri with password") << QStringLiteral("dbname=postgresql://u:segreta@h/db")
                                           << QStringLiteral("dbname=postgresql://u:segreta@h/db")
                                           << QStringLiteral("dbname");
        QTest::newRow("bare uri never shown")
            << QStringLiteral("postgres://u:segreta@h/db") << QStringLiteral("postgres://u:segreta@h/db")
            << QStringLiteral("indirizzo di connessione");
        QTest::newRow("password file") << QStringLiteral("passfile=/home/u/.pgpass") << QStringLiteral("passfile=/home/u/.pgpass")
                                       << QStringLiteral("passfile");
        QTest::newRow("key's password") << QStringLiteral("sslpassword=x") << QStringLiteral("sslpassword=x")
                                        << QStringLiteral("sslpassword");
        QTest::newRow("bare keyword") << QStringLiteral("password") << QStringLiteral("password") << QStringLiteral("password");
    }
    void driverOptionsAsTheDriversReadThem()
    {
        QFETCH(QString, options);
        QFETCH(QString, parsed);
        QFETCH(QString, carrier);
        QStringList got;
        for (const TOvDriverOption &o : TOvDriverOptions::parse(options))
            got << (o.hasValue ? o.key + QLatin1Char('=') + o.value : o.key);
        QCOMPARE(got.join(QLatin1Char('|')), parsed);
        QCOMPARE(TOvDriverOptions::passwordCarrier(options), carrier);
    }

    void passwordNeverInDriverOptions()
    {
        // Driver options reach the process list and may sit in a shared ini:
        // refused from each source, named, the value never shown.
        writeIni(defaultIni(), "[Database]\nEngine=postgres\nOptions=\"sslmode=disable;password=segreta\"\n",
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        QString why = resolveError({});
        QVERIFY2(why.contains(QStringLiteral("non possono contenere la password")) && why.contains(defaultIni())
                     && !why.contains(QStringLiteral("segreta")), qPrintable(why));
        writeIni(defaultIni(), "[Database]\nEngine=postgres\nOptions=connect_timeout=5 password=segreta\n",
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        why = resolveError({});
        QVERIFY2(why.contains(QStringLiteral("file ") + defaultIni()) && !why.contains(QStringLiteral("segreta")),
                 qPrintable(why));
        writeIni(defaultIni(), "[Database]\nEngine=postgres\n", QFile::ReadOwner | QFile::WriteOwner);
        why = resolveError({QStringLiteral("--db-options"), QStringLiteral("connect_timeout=5 password=segreta")});
        QVERIFY2(why.contains(QStringLiteral("opzione --db-options")) && !why.contains(QStringLiteral("segreta")),
                 qPrintable(why));
        QProcessEnvironment env;
        env.insert(QStringLiteral("VELCU_DB_OPTIONS"), QStringLiteral("connect_timeout=5  PASSWORD = segreta"));
        why = resolveError({}, env);
        QVERIFY2(why.contains(QStringLiteral("variabile VELCU_DB_OPTIONS")) && why.contains(QStringLiteral("VELCU_DB_PASSWORD")),
                 qPrintable(why));
        // Other options pass untouched.
        QCOMPARE(resolveWith({QStringLiteral("--db-options"), QStringLiteral("connect_timeout=3 sslmode=disable")})
                     .connectOptions,
                 QStringLiteral("connect_timeout=3 sslmode=disable"));
    }

    // A mistyped ini is an error naming the file and the line, never a quiet
    // fall-back to the demo database.
    void theIniIsReadStrictly_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("expected"); // empty: accepted
        QTest::newRow("every known section and key, comments, blanks")
            << QByteArray("\xEF\xBB\xBF; velcu\n# installazione\n\n[Database]\nEngine = postgres\nHost=h\nPort=5432\n"
                          "Name=n\nUser=u\nOptions=connect_timeout=3\nPath=x.sqlite\n\n[FileTelematico]\n"
                          "CodiceFiscaleProduttore=01234567897\r\n")
            << QString();
        QTest::newRow("mistyped section") << QByteArray("[Databse]\nEngine=postgres\n")
                                          << QStringLiteral("riga 1: sezione sconosciuta [Databse] (forse [Database])");
        QTest::newRow("section in the wrong case") << QByteArray("\n[database]\nEngine=postgres\n")
                                                   << QStringLiteral("riga 2: sezione sconosciuta [database] (forse [Database])");
        QTest::newRow("unknown key") << QByteArray("[Database]\nEngine=postgres\nHots=server\n")
                                     << QStringLiteral("riga 3: chiave sconosciuta \"Hots\" nella sezione [Database] (forse \"Host\")");
        QTest::newRow("key of another section")
            << QByteArray("[FileTelematico]\nEngine=postgres\n")
            << QStringLiteral("riga 2: chiave sconosciuta \"Engine\" nella sezione [FileTelematico]");
        QTest::newRow("key outside any section") << QByteArray("Engine=postgres\n[Database]\n")
                                                 << QStringLiteral("riga 1: la chiave \"Engine\" non è in nessuna sezione");
        QTest::newRow("garbage line") << QByteArray("[Database]\nEngine=postgres\nHost server-segreteria\n")
                                      << QStringLiteral("riga 3: riga non leggibile");
        QTest::newRow("unclosed section") << QByteArray("[Database\nEngine=postgres\n")
                                          << QStringLiteral("riga 1: riga non leggibile");
    }
    void theIniIsReadStrictly()
    {
        QFETCH(QByteArray, ini);
        QFETCH(QString, expected);
        writeIni(defaultIni(), ini, QFile::ReadOwner | QFile::WriteOwner);
        const QString why = resolveError({});
        if (expected.isEmpty()) {
            QVERIFY2(why.isEmpty(), qPrintable(why));
            QCOMPARE(resolveWith({}).host, QStringLiteral("h"));
            return;
        }
        QVERIFY2(why.startsWith(QStringLiteral("File di configurazione \"%1\", ").arg(defaultIni()))
                     && why.contains(expected), qPrintable(why));
        // Nothing of the file's values is shown.
        QVERIFY2(!why.contains(QStringLiteral("server-segreteria")), qPrintable(why));
    }

    void theWorkingDatabaseIsNamedWithoutPassword()
    {
        TOvDbConfig c;
        c.path = QStringLiteral("/srv/velcu/velcu.sqlite");
        QCOMPARE(c.workingDatabaseLine(), QStringLiteral("Database: SQLite, file /srv/velcu/velcu.sqlite"));
        c.engine = TOvDbEngine::PostgreSQL;
        c.host = QStringLiteral("server-segreteria");
        c.port = 5433;
        c.database = QStringLiteral("retribuzioni");
        c.user = QStringLiteral("segreteria");
        c.password = QStringLiteral("segreta");
        QCOMPARE(c.workingDatabaseLine(), QStringLiteral("Database: PostgreSQL, server server-segreteria:5433, "
                                                         "database retribuzioni, utente segreteria"));
    }

    // A command that writes says first which database it works on; one that
    // only reads does not; a mistyped ini stops every command.
    void commandsThatWriteNameTheirDatabase()
    {
        const QString missing = m_root.path() + QStringLiteral("/altrove/velcu.sqlite");
        auto cli = [](const QStringList &args, QString *errText) {
            QString out, err;
            QTextStream o(&out), e(&err);
            const int status = VelCli::run(QStringList{QStringLiteral("velcu-cli")} + args, o, e);
            *errText = err;
            return status;
        };
        QString err;
        QCOMPARE(cli({QStringLiteral("import"), QStringLiteral("--mese"), QStringLiteral("12"),
                      QStringLiteral("--db-path"), missing}, &err), int(VelCli::Errors));
        QVERIFY2(err.startsWith(QStringLiteral("Database: SQLite, file %1\n").arg(missing)), qPrintable(err));
        QCOMPARE(cli({QStringLiteral("stato"), QStringLiteral("--db-path"), missing}, &err), int(VelCli::Errors));
        QVERIFY2(!err.contains(QStringLiteral("Database: SQLite")), qPrintable(err));

        writeIni(defaultIni(), "[Databse]\nEngine=postgres\n", QFile::ReadOwner | QFile::WriteOwner);
        QCOMPARE(cli({QStringLiteral("stato")}, &err), int(VelCli::Usage));
        QVERIFY2(err.contains(QStringLiteral("\"%1\", riga 1: sezione sconosciuta [Databse]").arg(defaultIni())),
                 qPrintable(err));
        QFile::remove(defaultIni());

        // The set-up tool too, and the database's folder it makes is its owner's only.
        const QString tool = QStringLiteral(VELCU_STAGE_DIR "/bin/velcu-db");
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("VELCU_STAGE_DIR"));
        p.setProcessEnvironment(env);
        p.start(tool, {QStringLiteral("create"), QStringLiteral("--db-engine"), QStringLiteral("sqlite"),
                       QStringLiteral("--db-path"), missing});
        QVERIFY(p.waitForFinished(120000));
        const QString toolErr = QString::fromUtf8(p.readAllStandardError());
        QVERIFY2(p.exitCode() == 0, qPrintable(toolErr));
        QVERIFY2(toolErr.startsWith(QStringLiteral("Database: SQLite, file %1\n").arg(missing)), qPrintable(toolErr));
        struct stat st;
        QCOMPARE(::stat(QFile::encodeName(m_root.path() + QStringLiteral("/altrove")).constData(), &st), 0);
        QCOMPARE(st.st_mode & 0777, mode_t(0700));
    }

    void badValuesNameTheirOrigin_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("env");
        QTest::addColumn<QString>("expected");
        QTest::newRow("engine on command line")
            << QStringList{QStringLiteral("--db-engine"), QStringLiteral("oracle")} << QString()
            << QStringLiteral("Motore di database sconosciuto: \"oracle\" (opzione --db-engine)");
        QTest::newRow("engine in environment") << QStringList() << QStringLiteral("VELCU_DB_ENGINE=mysql")
                                               << QStringLiteral("\"mysql\" (variabile VELCU_DB_ENGINE)");
        QTest::newRow("port not a number") << QStringList{QStringLiteral("--db-port=abc")} << QString()
                                           << QStringLiteral("Porta del database non valida: \"abc\"");
        QTest::newRow("port too high") << QStringList() << QStringLiteral("VELCU_DB_PORT=70000")
                                       << QStringLiteral("Porta del database non valida: \"70000\"");
    }
    void badValuesNameTheirOrigin()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, env);
        QFETCH(QString, expected);
        QProcessEnvironment e;
        if (!env.isEmpty())
            e.insert(env.section(QLatin1Char('='), 0, 0), env.section(QLatin1Char('='), 1));
        const QString why = resolveError(args, e);
        QVERIFY2(why.contains(expected), qPrintable(why));
    }
};

QTEST_GUILESS_MAIN(TstDbConfig)
#include "tst_db_config.moc"
