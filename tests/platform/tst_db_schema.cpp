// Schema set-up: idempotent scripts, per-engine files, a failing script
// rolled back whole, the demo school, typed values both engines give back,
// and the staged velcu-db tool end to end.
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvSchemaInstaller.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDate>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

int count(TOvSQLConnection &db, const QString &sql)
{
    QSqlQuery q = db.exec(sql);
    q.next();
    return q.value(0).toInt();
}

// The school record of a configuration, with the address in force at the
// end of its financial year.
const char kSchoolRecord[] = R"(
SELECT sed.ssednomcodicefisc, sed.ssednomldesc, com.scomdesc, pro.sprosigla, cap.scapvalue,
       ind.ssedindindirizzo, sed.ssedteltelefono, sed.ssedfaxno, sed.ssedemlemail
  FROM tdwg_gruppilavoro dwg
  JOIN tsed_sedi sed ON sed.isedid = dwg.isedid
  JOIN tanf_annifinanz anf ON anf.ianfid = dwg.ianfid
  LEFT JOIN tsedind_indirizzi ind ON ind.isedid = sed.isedid
       AND ind.dsedindvalidodal = (SELECT MAX(i2.dsedindvalidodal) FROM tsedind_indirizzi i2
                                    WHERE i2.isedid = sed.isedid AND i2.dsedindvalidodal <= :DATA)
  LEFT JOIN tcom_comuni com ON com.icomid = ind.icomid
  LEFT JOIN tpro_province pro ON pro.iproid = com.iproid
  LEFT JOIN tcap_cap cap ON cap.icapid = ind.icapid
 WHERE dwg.idwgid = :IDWGID)";

void writeFile(const QString &path, const QByteArray &text)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    f.write(text);
}

}

class TstDbSchema : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { VELCU_REQUIRE_TEST_DB(); }

    void statementSplitting()
    {
        const QStringList s = TOvSchemaInstaller::splitStatements(QStringLiteral(
            "-- intestazione; con punto e virgola\n"
            "INSERT INTO t VALUES ('a;b', 'l''altro; ancora');\n"
            "/* blocco; commento */ CREATE TABLE \"x;y\" (a INTEGER);\n"
            "CREATE FUNCTION f() RETURNS int LANGUAGE plpgsql AS $$ BEGIN RETURN 1; END $$;\n"
            "CREATE FUNCTION g() RETURNS int AS $corpo$ SELECT 1; $corpo$ LANGUAGE sql;\n"
            "SELECT $1, 2;\n"
            "-- solo commento;\n"
            ";\n"
            "SELECT 'ultima senza punto e virgola'"));
        QCOMPARE(s.size(), 6);
        QVERIFY(s[0].endsWith(QStringLiteral("'l''altro; ancora')")));
        QVERIFY(s[1].endsWith(QStringLiteral("\"x;y\" (a INTEGER)")));
        QVERIFY(s[2].endsWith(QStringLiteral("RETURN 1; END $$")));
        QVERIFY(s[3].contains(QStringLiteral("SELECT 1; $corpo$ LANGUAGE sql")));
        QCOMPARE(s[4], QStringLiteral("SELECT $1, 2"));
        QCOMPARE(s[5], QStringLiteral("SELECT 'ultima senza punto e virgola'"));
    }

    void scriptsOfTheEngineOnly()
    {
        auto db = TestDb::openEmpty();
        const QStringList files = TOvSchemaInstaller(*db, TestDb::sqlDir()).scripts(QString());
        const QString mine = TestDb::isPostgres() ? QStringLiteral(".postgres.sql") : QStringLiteral(".sqlite.sql");
        const QString other = TestDb::isPostgres() ? QStringLiteral(".sqlite.sql") : QStringLiteral(".postgres.sql");
        QVERIFY(files.contains(QStringLiteral("020_archivio_fiscale.sql")));
        QVERIFY(files.contains(QStringLiteral("010_generatori") + mine));
        for (const QString &f : files)
            QVERIFY2(!f.endsWith(other), qPrintable(f));
        QCOMPARE(files.first(), QStringLiteral("000_schema.sql"));
        QVERIFY_THROWS_EXCEPTION(EOvError, TOvSchemaInstaller(*db, QStringLiteral("/non/esiste")).scripts(QString()));
    }

    void creationIsIdempotent()
    {
        auto db = TestDb::openEmpty();
        TOvSchemaInstaller installer(*db, TestDb::sqlDir());
        const auto first = installer.install(true);
        QVERIFY(first.unchanged.isEmpty());
        QVERIFY(first.applied.contains(QStringLiteral("demo/030_istituto.sql")));
        const int communes = count(*db, QStringLiteral("SELECT count(*) FROM tcom_comuni"));
        QVERIFY(communes > 10);

        const auto second = installer.install(true);
        QVERIFY(second.applied.isEmpty());
        QCOMPARE(second.unchanged, first.applied);

        // Every statement can run again: forcing all scripts changes nothing.
        db->exec(QStringLiteral("INSERT INTO tcufo_fondicu (icufoid, scufodesc) VALUES (99, 'aggiunto')"));
        const auto forced = installer.install(true, true);
        QCOMPARE(forced.applied, first.applied);
        QCOMPARE(count(*db, QStringLiteral("SELECT count(*) FROM tcom_comuni")), communes);
        QCOMPARE(count(*db, QStringLiteral("SELECT count(*) FROM tcufo_fondicu")), 5);
        QCOMPARE(count(*db, QStringLiteral("SELECT count(*) FROM tdwg_gruppilavoro")), 2);
    }

    void failingScriptIsRolledBackWhole()
    {
        QTemporaryDir dir;
        QVERIFY(QFile::copy(TestDb::sqlDir() + QStringLiteral("/000_schema.sql"), dir.filePath(QStringLiteral("000_schema.sql"))));
        writeFile(dir.filePath(QStringLiteral("010_prova.sql")),
                  "CREATE TABLE IF NOT EXISTS tprova_ok (a INTEGER);\n"
                  "INSERT INTO tprova_manca (a) VALUES (1);\n");
        auto db = TestDb::openEmpty();
        TOvSchemaInstaller installer(*db, dir.path());
        try {
            installer.install();
            QFAIL("failing script accepted");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Errore del database: script 010_prova.sql, istruzione 2")),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("tprova_manca")), qPrintable(e.message()));
        }
        QVERIFY(!db->inTransaction());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, db->exec(QStringLiteral("SELECT count(*) FROM tprova_ok")));
        QCOMPARE(count(*db, QStringLiteral("SELECT count(*) FROM tov_schema")), 1);   // 000 only
    }

    void demoSchoolRecord()
    {
        auto db = TestDb::open(true);
        QSqlQuery q = db->exec(QString::fromLatin1(kSchoolRecord),
                               {{QStringLiteral("IDWGID"), 1}, {QStringLiteral("DATA"), QDate(2025, 12, 31)}});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("92017840536"));
        QCOMPARE(q.value(1).toString(), QStringLiteral("ISTITUTO COMPRENSIVO STATALE DANTE ALIGHIERI"));
        QCOMPARE(q.value(2).toString(), QStringLiteral("RAVENNA"));
        QCOMPARE(q.value(3).toString(), QStringLiteral("RA"));
        QCOMPARE(q.value(4).toString(), QStringLiteral("48121"));
        QCOMPARE(q.value(5).toString(), QStringLiteral("VIA GIUSEPPE MAZZINI, 12"));
        QVERIFY(!q.value(6).toString().trimmed().isEmpty());
        QVERIFY(!q.next());
        q.finish();
        // Dates compare as dates: before the move the old address holds.
        QSqlQuery old = db->exec(QString::fromLatin1(kSchoolRecord),
                                 {{QStringLiteral("IDWGID"), 1}, {QStringLiteral("DATA"), QDate(2023, 12, 31)}});
        QVERIFY(old.next());
        QCOMPARE(old.value(5).toString(), QStringLiteral("VIA GUIDO DA POLENTA, 5"));
        old.finish();

        QSqlQuery year = db->exec(QStringLiteral("SELECT danforvexinizio, danforvexfine FROM tanf_annifinanz "
                                                 "WHERE ianfid = :IDANNO"), {{QStringLiteral("IDANNO"), 2025 - 1969}});
        QVERIFY(year.next());
        QCOMPARE(year.value(0).toDate(), QDate(2025, 1, 1));
        QCOMPARE(year.value(1).toDate(), QDate(2025, 12, 31));
        year.finish();

        QSqlQuery paco = db->exec(QStringLiteral("SELECT paco.idwganfid, paco.lpacoafam, paco.spacomatrazienda "
                                                 "FROM tpaco_paramcontabili paco JOIN tdwg_gruppilavoro dwg "
                                                 "ON dwg.idwgid = paco.idwganfid WHERE dwg.ianfid = :IANFID"),
                                  {{QStringLiteral("IANFID"), 56}});
        QVERIFY(paco.next());
        QCOMPARE(paco.value(0).toInt(), 1);
        QCOMPARE(paco.value(1).toInt(), 0);
        QCOMPARE(paco.value(2).toString().size(), 10);
    }

    void blobsAndAmountsComeBackIntact()
    {
        auto db = TestDb::open();
        QByteArray schema;
        for (int i = 0; i < 512; ++i)
            schema.append(char(i % 256));   // every byte value, NULs included
        db->exec(QStringLiteral("INSERT INTO tcds_struttura (icdsid, icdsanno, scdsprogramma, scdsnome, bcdsschema) "
                                "VALUES (1, 2025, 'vel', 'TCUD_DATICUD', :B)"), {{QStringLiteral("B"), schema}});
        db->exec(QStringLiteral("INSERT INTO tvarr_varritenute (ivarrid, iriceid, fvarrimponibiledip, fvarrpercimpdip) "
                                "VALUES (1, 14, :F, :P)"),
                 {{QStringLiteral("F"), 1234567.8912}, {QStringLiteral("P"), 23.456789}});
        QSqlQuery q = db->exec(QStringLiteral("SELECT bcdsschema, icdsrigo, lcdsanagrafica FROM tcds_struttura"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toByteArray(), schema);
        QCOMPARE(q.value(1).toInt(), 0);   // defaults
        QCOMPARE(q.value(2).toInt(), 0);
        q.finish();
        QSqlQuery a = db->exec(QStringLiteral("SELECT fvarrimponibiledip, fvarrpercimpdip, fvarrritdip FROM tvarr_varritenute"));
        QVERIFY(a.next());
        QCOMPARE(qRound64(a.value(0).toDouble() * 10000), Q_INT64_C(12345678912));
        QCOMPARE(qRound64(a.value(1).toDouble() * 1000000), Q_INT64_C(23456789));
        QCOMPARE(a.value(2).toDouble(), 0.0);
    }

    // A value row is rewritten and deleted by structure and row number: some
    // index must lead with those two columns, or every such statement reads
    // the whole structure. The server keeps no index with the values in it:
    // it reads a campaign's fresh rows from the table anyway, and an import
    // would write every value twice.
    void valueRowsIndexedForTheirEngine()
    {
        auto db = TestDb::open();
        QSqlQuery q = db->exec(TestDb::isPostgres()
                                   ? QStringLiteral("SELECT indexdef FROM pg_indexes WHERE tablename = 'tfis_datifiscali' "
                                                    "AND schemaname = current_schema()")
                                   : QStringLiteral("SELECT sql FROM sqlite_master WHERE type = 'index' "
                                                    "AND tbl_name = 'tfis_datifiscali' AND sql IS NOT NULL"));
        static const QRegularExpression byRow(QStringLiteral("\\(\\s*icdsid\\s*,\\s*ifisrigo\\b"),
                                              QRegularExpression::CaseInsensitiveOption);
        QStringList indexes;
        while (q.next())
            indexes << q.value(0).toString();
        q.finish();
        QVERIFY2(std::any_of(indexes.cbegin(), indexes.cend(),
                             [](const QString &ix) { return byRow.match(ix).hasMatch(); }),
                 qPrintable(indexes.join(QLatin1Char('\n'))));
        const bool valuesIndexed = std::any_of(indexes.cbegin(), indexes.cend(), [](const QString &ix) {
            return ix.contains(QLatin1String("sfisvalue"), Qt::CaseInsensitive);
        });
        QCOMPARE(valuesIndexed, !TestDb::isPostgres());
    }

    void setupToolEndToEnd()
    {
        const QString tool = qEnvironmentVariable("VELCU_STAGE_DIR", QStringLiteral(VELCU_STAGE_DIR))
                             + QStringLiteral("/bin/velcu-db");
        QVERIFY2(QFile::exists(tool), qPrintable(tool));
        QTemporaryDir dir;
        QStringList target;
        QString dbName;
        if (TestDb::isPostgres()) {
            // The tool creates the database when the server lacks it.
            const TOvDbConfig s = TestDb::serverConfig();
            dbName = QStringLiteral("velcu_tool_%1").arg(QCoreApplication::applicationPid());
            target = {QStringLiteral("--db-engine=postgres"), QStringLiteral("--db-host=") + s.host,
                      QStringLiteral("--db-port=%1").arg(s.port), QStringLiteral("--db-user=") + s.user,
                      QStringLiteral("--db-name=") + dbName};
        } else {
            target = {QStringLiteral("--db-path=") + dir.filePath(QStringLiteral("demo.sqlite"))};
        }
        auto run = [&](const QStringList &args, QString *output) {
            QProcess p;
            // Only the command line decides which database.
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            for (const QString &key : env.keys())
                if (key.startsWith(QLatin1String("VELCU_DB_")))
                    env.remove(key);
            p.setProcessEnvironment(env);
            p.start(tool, args);
            p.waitForFinished(60000);
            *output = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
            return p.exitCode();
        };
        QString out;
        QCOMPARE(run(QStringList{QStringLiteral("create"), QStringLiteral("--demo"), QStringLiteral("--scale"),
                                 QStringLiteral("100")} + target, &out), 0);
        QVERIFY2(out.contains(QStringLiteral("aggiornato:")), qPrintable(out));
        QCOMPARE(run(QStringList{QStringLiteral("create"), QStringLiteral("--demo")} + target, &out), 0);
        QVERIFY2(out.contains(QStringLiteral("già aggiornato")), qPrintable(out));

        QCOMPARE(run(QStringList{QStringLiteral("crea")} + target, &out), 2);
        QCOMPARE(run(QStringList{QStringLiteral("create"), QStringLiteral("--scale=0"), QStringLiteral("--demo")} + target, &out), 2);
        // A database in a folder not there yet: the folder is made (its owner's only).
        QCOMPARE(run({QStringLiteral("create"), QStringLiteral("--db-path=") + dir.filePath(QStringLiteral("no/x.sqlite"))}, &out), 0);
        QVERIFY2(QFileInfo::exists(dir.filePath(QStringLiteral("no/x.sqlite"))), qPrintable(out));

        if (TestDb::isPostgres()) {
            TOvSQLConnection admin(TestDb::serverConfig());
            admin.openOrThrow();
            admin.exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(dbName));
        }
    }
};

QTEST_GUILESS_MAIN(TstDbSchema)
#include "tst_db_schema.moc"
