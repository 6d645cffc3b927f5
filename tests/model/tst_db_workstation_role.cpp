// velcu-db postazioni: the group role of an office's workstations on the
// shared PostgreSQL server reads the payroll tables and reads and writes the
// program's own tables, and no more; the server itself refuses a
// workstation's write to a payroll table. The program works as a workstation
// (its connection skips the payroll repairs it may not run).
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/model/VelStructureSeed.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QProcess>
#include <QSqlQuery>
#include <QtTest>

namespace {

struct Result
{
    int status = -1;
    QString out, err;
};

Result program(const QString &name, const QStringList &args)
{
    QProcess p;
    p.start(QStringLiteral(VELCU_STAGE_DIR "/bin/") + name, args);
    if (!p.waitForFinished(300000))
        qFatal("%s did not end", qPrintable(name));
    return Result{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                  QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

// The server's refusal of a statement, or empty when it ran.
QString refusal(TOvSQLConnection &conn, const QString &sql)
{
    try {
        conn.exec(sql);
    } catch (const EOvException &e) {
        return e.message();
    }
    return QString();
}

} // namespace

class TstDbWorkstationRole : public QObject
{
    Q_OBJECT
    std::unique_ptr<TOvSQLConnection> m_db;
    const QString m_role = QStringLiteral("velcu_post_%1").arg(QCoreApplication::applicationPid());
    const QString m_login = QStringLiteral("velcu_ws_%1").arg(QCoreApplication::applicationPid());

    TOvDbConfig workstation() const
    {
        TOvDbConfig c = TestDb::config();
        c.user = m_login;
        return c;
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        m_db = TestDb::open(true);
        seedStructures(*m_db, QStringLiteral("vel"), 2025); // as velcu-db create does
    }

    void cleanupTestCase()
    {
        if (!TestDb::isPostgres())
            return;
        m_db.reset();
        TOvSQLConnection admin(TestDb::serverConfig());
        if (!admin.open())
            return;
        for (const QString &r : {m_login, m_role}) {
            try {
                admin.exec(QStringLiteral("DROP OWNED BY %1").arg(r));
                admin.exec(QStringLiteral("DROP ROLE %1").arg(r));
            } catch (const EOvException &) {
                // never created
            }
        }
    }

    void onSQLiteThereIsNoServerToSetUp()
    {
        if (TestDb::isPostgres())
            QSKIP("the server's case is the next one");
        const Result r = program(QStringLiteral("velcu-db"), QStringList{QStringLiteral("postazioni")} + TestDb::cliArgs());
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(QStringLiteral("velcu-db postazioni vale per un server PostgreSQL")), qPrintable(r.err));
    }

    void aWorkstationReadsThePayrollAndWritesOnlyTheStore()
    {
        if (!TestDb::isPostgres())
            QSKIP("roles are the server's");
        const QStringList args = QStringList{QStringLiteral("postazioni"), QStringLiteral("--ruolo"), m_role,
                                             QStringLiteral("--utente"), m_login} + TestDb::cliArgs();
        Result r = program(QStringLiteral("velcu-db"), args);
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        QVERIFY2(r.out.contains(QStringLiteral("Ruolo delle postazioni %1 creato").arg(m_role)), qPrintable(r.out));
        QVERIFY2(r.out.contains(QStringLiteral("Utente %1 creato senza password").arg(m_login)), qPrintable(r.out));
        // a second run sets the same grants again, creates nothing
        r = program(QStringLiteral("velcu-db"), args);
        QVERIFY2(r.status == 0 && r.out.contains(QStringLiteral("%1 aggiornato").arg(m_role)), qPrintable(r.out + r.err));

        TOvSQLConnection ws(workstation());
        ws.openOrThrow();
        // the payroll: read, never written
        QSqlQuery q = ws.exec(QStringLiteral("SELECT COUNT(*) FROM tana_anagrafiche"));
        QVERIFY(q.next() && q.value(0).toInt() > 0);
        for (const QString &write :
             {QStringLiteral("UPDATE tana_anagrafiche SET sanacognome = 'X'"),
              QStringLiteral("DELETE FROM tana_anagrafiche"),
              QStringLiteral("INSERT INTO tana_anagrafiche (ianaid) VALUES (999999)"),
              QStringLiteral("UPDATE tvarr_varritenute SET fvarrimponibiledip = 0"),
              QStringLiteral("TRUNCATE tcom_comuni"),
              QStringLiteral("DELETE FROM tov_schema"),
              QStringLiteral("CREATE TABLE velcu_estranea (x INTEGER)")}) {
            const QString why = refusal(ws, write);
            QVERIFY2(why.contains(QStringLiteral("permission denied")) || why.contains(QStringLiteral("permesso negato")),
                     qPrintable(write + QStringLiteral(": ") + why));
        }
        // the store and its generators: read and written
        q = ws.exec(QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali"));
        QVERIFY(q.next());
        QCOMPARE(refusal(ws, QStringLiteral("UPDATE tcds_struttura SET icdsrigo = icdsrigo WHERE 1 = 0")), QString());
        QCOMPARE(refusal(ws, QStringLiteral("SELECT nextval('gen_tafi_anafiscale')")), QString());
        QCOMPARE(refusal(ws, QStringLiteral("DELETE FROM tafi_anafiscale WHERE 1 = 0")), QString());
        ws.close();

        // the program as a workstation: connected, the state of the year read
        r = program(QStringLiteral("velcu-cli"), QStringList{QStringLiteral("stato")} + TestDb::cliArgs()
                                                     + QStringList{QStringLiteral("--db-user"), m_login});
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    }

    // velcu-db configura: a workstation's ini, written only once the values
    // are sound and the server answered, readable by its owner only.
    void aWorkstationIsConfiguredFromTheCommandLine_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port"); // 0: the test server's
        QTest::addColumn<QString>("error"); // empty: written
        QTest::newRow("mistyped server") << "server segreteria" << 0 << "Server non valido: \"server segreteria\"";
        QTest::newRow("no server there") << "127.0.0.1" << 1 << "Collegamento al server";
        QTest::newRow("written") << "" << 0 << "";
    }

    void aWorkstationIsConfiguredFromTheCommandLine()
    {
        if (!TestDb::isPostgres())
            QSKIP("a workstation of a server");
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(QString, error);
        const TOvDbConfig c = TestDb::config();
        QTemporaryDir dir;
        const QString ini = dir.filePath(QStringLiteral("velcu.ini"));
        const Result r = program(QStringLiteral("velcu-db"),
                                 {QStringLiteral("configura"), QStringLiteral("--db-host"), host.isEmpty() ? c.host : host,
                                  QStringLiteral("--db-port"), QString::number(port ? port : c.port),
                                  QStringLiteral("--db-name"), c.database, QStringLiteral("--db-user"), m_login,
                                  QStringLiteral("--db-config"), ini});
        if (!error.isEmpty()) {
            QCOMPARE(r.status, 1);
            QVERIFY2(r.err.contains(error), qPrintable(r.err));
            QVERIFY(!QFileInfo::exists(ini));
            return;
        }
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        QFile f(ini);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY2(text.contains(QStringLiteral("[Database]\nEngine=postgres\nHost=%1\nPort=%2\nName=%3\nUser=%4\n")
                                   .arg(c.host).arg(c.port).arg(c.database, m_login)),
                 qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("Password=")));
        QCOMPARE(int(f.permissions() & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther)), 0);
        // the program on it, as that workstation (the test's schema as option)
        const Result s = program(QStringLiteral("velcu-cli"), {QStringLiteral("stato"), QStringLiteral("--db-config"), ini,
                                                               QStringLiteral("--db-options"), c.connectOptions});
        QVERIFY2(s.status == 0, qPrintable(s.out + s.err));
    }
};

QTEST_GUILESS_MAIN(TstDbWorkstationRole)
#include "tst_db_workstation_role.moc"
