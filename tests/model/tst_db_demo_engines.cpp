// "velcu-db create --demo" gives the same data on a fresh SQLite file and
// on PostgreSQL: the same row count in every table and the same generated
// payees. The SQLite run checks that generated payees are the same at every
// run and that a second run adds nothing.
#include "support/TestDb.h"

#include "platform/db/OvDbConfig.h"
#include "platform/db/OvSQLConnection.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

QString tool()
{
    return qEnvironmentVariable("VELCU_STAGE_DIR", QStringLiteral(VELCU_STAGE_DIR)) + QStringLiteral("/bin/velcu-db");
}

int run(const QStringList &args, QString *output)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &key : env.keys())
        if (key.startsWith(QLatin1String("VELCU_DB_")))
            env.remove(key);
    p.setProcessEnvironment(env);
    p.start(tool(), args);
    p.waitForFinished(300000);
    *output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitCode();
}

// Row count of every table but the set-up's own bookkeeping, plus a few
// figures that must agree to the cent.
QMap<QString, QString> contents(TOvSQLConnection &c)
{
    QStringList tables;
    QSqlQuery q = c.isPostgres()
                      ? c.exec("SELECT table_name FROM information_schema.tables "
                               "WHERE table_schema = current_schema() AND table_type = 'BASE TABLE'")
                      : c.exec("SELECT name FROM sqlite_master WHERE type = 'table'");
    while (q.next())
        tables << q.value(0).toString().toLower();
    QMap<QString, QString> out;
    for (const QString &t : tables) {
        if (t == QLatin1String("tov_schema") || t == QLatin1String("tov_generatori"))
            continue;
        QSqlQuery n = c.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(t));
        out.insert(t, n.next() ? n.value(0).toString() : QStringLiteral("?"));
    }
    QSqlQuery s = c.exec("SELECT SUM(fvarrritdip), SUM(fvarrimponibiledip) FROM tvarr_varritenute");
    while (s.next())
        out.insert(QStringLiteral("~ritenute"),
                   QString::number(s.value(0).toDouble(), 'f', 2) + "/" + QString::number(s.value(1).toDouble(), 'f', 2));
    QSqlQuery names = c.exec("SELECT ianaid, sanacognome, sananome, sanacodfiscale, dananascita FROM tana_anagrafiche "
                             "ORDER BY ianaid");
    QStringList people;
    while (names.next())
        people << QStringLiteral("%1 %2 %3 %4 %5").arg(names.value(0).toString(), names.value(1).toString(),
                                                       names.value(2).toString(), names.value(3).toString(),
                                                       names.value(4).toDate().toString(Qt::ISODate));
    out.insert(QStringLiteral("~persone"), people.join('\n'));
    return out;
}

void compare(const QMap<QString, QString> &a, const QMap<QString, QString> &b)
{
    QCOMPARE(a.keys(), b.keys());
    for (auto it = a.cbegin(); it != a.cend(); ++it)
        QVERIFY2(it.value() == b.value(it.key()),
                 qPrintable(QStringLiteral("%1: %2 / %3").arg(it.key(), it.value().left(200),
                                                               b.value(it.key()).left(200))));
}

}

class TstDbDemoEngines : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { VELCU_REQUIRE_TEST_DB(); }

    void sameDemoOnBothEngines()
    {
        QTemporaryDir dir;
        QString out;
        const QString file = dir.filePath(QStringLiteral("demo.sqlite"));
        QCOMPARE(run({"create", "--demo", "--payees", "90", "-q", "--db-path=" + file}, &out), 0);
        TOvDbConfig lite;
        lite.engine = TOvDbEngine::SQLite;
        lite.path = file;
        TOvSQLConnection sqlite(lite);
        sqlite.openOrThrow();
        const QMap<QString, QString> expected = contents(sqlite);
        QCOMPARE(expected.value("tana_anagrafiche"), QStringLiteral("130"));
        QVERIFY(expected.value("tregs_registri").toInt() > 700);

        if (!TestDb::isPostgres()) {
            // The same payees at every run; a second run adds nothing.
            const QString again = dir.filePath(QStringLiteral("again.sqlite"));
            QCOMPARE(run({"create", "--demo", "--payees", "90", "-q", "--db-path=" + again}, &out), 0);
            QCOMPARE(run({"create", "--demo", "--payees", "90", "--db-path=" + again}, &out), 0);
            QVERIFY2(out.contains(QStringLiteral("0 aggiunti, 90 già presenti")), qPrintable(out));
            lite.path = again;
            TOvSQLConnection second(lite);
            second.openOrThrow();
            compare(contents(second), expected);
            return;
        }
        const TOvDbConfig s = TestDb::serverConfig();
        const QString name = QStringLiteral("velcu_engines_%1").arg(QCoreApplication::applicationPid());
        QCOMPARE(run({"create", "--demo", "--payees", "90", "-q", "--db-engine=postgres", "--db-host=" + s.host,
                      QStringLiteral("--db-port=%1").arg(s.port), "--db-user=" + s.user, "--db-name=" + name},
                     &out),
                 0);
        {
            TOvDbConfig pgc = s;
            pgc.database = name;
            TOvSQLConnection pg(pgc);
            pg.openOrThrow();
            compare(contents(pg), expected);
        }
        TOvSQLConnection admin(s);
        admin.openOrThrow();
        admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name));
    }
};

QTEST_GUILESS_MAIN(TstDbDemoEngines)
#include "tst_db_demo_engines.moc"
