// Which database to open: ini < environment < command line, and the guards
// on the values and on a password kept in a file others can read.
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvDbConfig.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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

    void passwordNeverInDriverOptions()
    {
        // Driver options reach the process list and may sit in a shared ini.
        writeIni(defaultIni(), "[Database]\nEngine=postgres\nOptions=\"sslmode=disable;password=segreta\"\n",
                 QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
        QString why = resolveError({});
        QVERIFY2(why.contains(QStringLiteral("non possono contenere la password")) && why.contains(defaultIni())
                     && !why.contains(QStringLiteral("segreta")), qPrintable(why));
        writeIni(defaultIni(), "[Database]\nEngine=postgres\n", QFile::ReadOwner | QFile::WriteOwner);
        why = resolveError({QStringLiteral("--db-options"), QStringLiteral("connect_timeout=3; PassWord = x")});
        QVERIFY2(why.contains(QStringLiteral("opzione --db-options")), qPrintable(why));
        QProcessEnvironment env;
        env.insert(QStringLiteral("VELCU_DB_OPTIONS"), QStringLiteral("sslpassword=x"));
        QVERIFY(resolveError({}, env).contains(QStringLiteral("VELCU_DB_PASSWORD")));
        // Other options pass untouched.
        QCOMPARE(resolveWith({QStringLiteral("--db-options"), QStringLiteral("connect_timeout=3")}).connectOptions,
                 QStringLiteral("connect_timeout=3"));
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
