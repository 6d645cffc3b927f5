// The connection module: catalogue checks, fixed repairs and report
// registration on the engine of the run.
#include "support/ScriptedResponder.h"
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/sql/OvSQLQuery.h"
#include "platform/dataset/TClientDataSet.h"
#include "rag/connection/TdmragConnessione.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "tor/store/torUDBCds.h"
#include "tor/query/torCQueryText.h"

#include <QApplication>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

const QString kCertificateRefused =
    QStringLiteral("Certificato query non trovato od errato. Aggiornare il programma \"Retribuzioni\"");

QString shippedSource()
{
    return QStringLiteral(VELCU_SOURCE_DIR "/tools/velcu-catalogue/rag_QueryText.xml");
}

QString shippedReports()
{
    return QStringLiteral(VELCU_SOURCE_DIR "/data/etc/rag/rag_Report.xml");
}

// An etc folder with the shipped statements and a version row for this test
// program (requiring `required`; none when null).
void writeCatalogue(const QString &etc, const QString &required)
{
    TTorQueryText qt;
    qt.loadFromXml(shippedSource());
    if (!required.isNull())
        qt.addStatement(TTorQueryText::versionRowName(), required, 0, QString());
    qt.saveCatalogue(etc + QStringLiteral("/rag_QueryText.cds"));
}

QVariant scalar(TOvSQLConnection &db, const QString &sql)
{
    QSqlQuery q = db.exec(sql);
    return q.next() ? q.value(0) : QVariant();
}

int count(TOvSQLConnection &db, const QString &sql)
{
    return scalar(db, sql).toInt();
}

struct Fixture
{
    QTemporaryDir etc;
    std::unique_ptr<TOvSQLConnection> db;

    explicit Fixture(const QString &required = QStringLiteral("2.9.5"), bool demo = false)
    {
        db = TestDb::open(demo);
        writeCatalogue(etc.path(), required);
    }
    std::unique_ptr<TdmragConnessione> module(const QString &buildXml = QString())
    {
        auto m = std::make_unique<TdmragConnessione>(TdmragConnessione::Paths{buildXml, etc.path()});
        m->xqoMain.setConfig(TestDb::config());
        return m;
    }
};

}

class TstDbConnectionModule : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QApplication::setApplicationName(QStringLiteral("Modello CU 2025"));
    }

    void init()
    {
        QApplication::setApplicationVersion(QStringLiteral("2.10.0"));
        QVERIFY(!OvGlobConn);
    }

    void cleanup()
    {
        QVERIFY(!QApplication::overrideCursor());   // the hourglass never stays
        OvGlobConn = nullptr;
    }

    void versionsCompareAsNumbers_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QString>("required");
        QTest::addColumn<bool>("passes");
        QTest::newRow("2.10.0 >= 2.9.5") << "2.10.0" << "2.9.5" << true;
        QTest::newRow("2.9.5 < 2.10.0") << "2.9.5" << "2.10.0" << false;
        QTest::newRow("equal") << "6.97.29" << "6.97.29" << true;
        QTest::newRow("equal, not numbers") << "beta" << "beta" << true;
        QTest::newRow("fourth part ignored") << "6.97.29.1" << "6.97.29.9" << true;
        QTest::newRow("missing part is 0") << "6.97" << "6.97.0" << true;
        QTest::newRow("older patch") << "6.97.28" << "6.97.29" << false;
        QTest::newRow("newer major") << "7.0.0" << "6.99.99" << true;
        QTest::newRow("not a number") << "6.x.0" << "6.1.0" << false;
        QTest::newRow("empty program version") << "" << "1.0.0" << false;
    }
    void versionsCompareAsNumbers()
    {
        QFETCH(QString, program);
        QFETCH(QString, required);
        QFETCH(bool, passes);
        QCOMPARE(TdmragConnessione::versionAtLeast(program, required), passes);
    }

    void intactCatalogueConnects()
    {
        Fixture fx;
        ScriptedResponder user;
        auto m = fx.module();
        QVERIFY(m->OpenConnection());
        QVERIFY(user.shown().isEmpty());
        QVERIFY(m->xqoMain.isOpen());
        QCOMPARE(OvGlobConn, &m->xqoMain);
        QCOMPARE(m->xqoMain.CodAppl, QStringLiteral("RAG"));
        QCOMPARE(m->xqoMain.DBVersion, QStringLiteral("6.97.29"));
        QVERIFY(m->qquAppoggio.NoMetadata);

        // The catalogue of the process is the one just loaded.
        TOvSQLQuery q;
        QueryText().SetQuery("QRY_SED", q);
        q.paramByName("IDWGID").setAsInteger(1);
        q.open();   // on OvGlobConn
        QVERIFY(q.isEmpty());
    }

    void editedOrMissingCatalogueIsRefused()
    {
        Fixture fx;
        const QString cds = fx.etc.filePath("rag_QueryText.cds");
        QFile f(cds);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QByteArray data = f.readAll();
        data.replace("QRY_PACO_ANF", "QRY_PACO_ANX");
        f.resize(0);
        f.write(data);
        f.close();

        auto refused = [&](const char *why) {
            ScriptedResponder user;
            auto m = fx.module();
            QVERIFY2(!m->OpenConnection(), why);
            QCOMPARE(user.texts(), QStringList{kCertificateRefused});
            QCOMPARE(user.shown().first().icon, OvMessageIcon::Error);
            QVERIFY(!m->xqoMain.isOpen());
            QVERIFY(!OvGlobConn);
        };
        refused("edited after its certificate");
        writeCatalogue(fx.etc.path(), "1.0.0");
        QVERIFY(QFile::remove(fx.etc.filePath("rag_QueryText.unxc")));
        refused("certificate missing");
        QVERIFY(QFile::remove(cds));
        refused("catalogue missing");
    }

    void versionRowDecides()
    {
        {
            Fixture fx(QStringLiteral("2.10.0"));
            ScriptedResponder user;
            QApplication::setApplicationVersion(QStringLiteral("2.9.5"));
            auto m = fx.module();
            QVERIFY(!m->OpenConnection());
            QCOMPARE(user.shown().size(), 1);
            const QString text = user.lastText();
            QVERIFY2(text.contains(QStringLiteral("\"Modello CU 2025\"")) && text.contains(QStringLiteral("2.10.0")),
                     qPrintable(text));
            QVERIFY(!m->xqoMain.isOpen());
        }
        {
            Fixture fx{QString()};   // no version row for this program
            ScriptedResponder user;
            auto m = fx.module();
            QVERIFY(!m->OpenConnection());
            QVERIFY2(user.lastText().contains(TTorQueryText::versionRowName()), qPrintable(user.lastText()));
            QVERIFY(!m->xqoMain.isOpen());
        }
        {
            Fixture fx(QStringLiteral("beta"));
            ScriptedResponder user;
            QApplication::setApplicationVersion(QStringLiteral("beta"));
            auto m = fx.module();
            QVERIFY(m->OpenConnection());
            QVERIFY(user.shown().isEmpty());
        }
    }

    void connectionOnlyThroughTheFrameworkPath()
    {
        Fixture fx;
        auto m = fx.module();
        try {
            m->xqoMain.open();
            QFAIL("opened without the global connection");
        } catch (const EOvError &e) {
            QCOMPARE(e.message(), QStringLiteral("Connessione al database non consentita"));
        }
        QVERIFY(!m->xqoMain.isOpen());
    }

    void unreachableDatabaseIsRefused()
    {
        Fixture fx;
        ScriptedResponder user;
        auto m = fx.module();
        TOvDbConfig bad;
        bad.engine = TOvDbEngine::SQLite;
        bad.path = fx.etc.filePath("manca/velcu.sqlite");
        m->xqoMain.setConfig(bad);
        QVERIFY(!m->OpenConnection());
        QCOMPARE(user.texts(), QStringList{m->xqoMain.lastErrorText()});
        QVERIFY(user.lastText().contains(QStringLiteral("non esiste")));
        QVERIFY(!OvGlobConn);
    }

    void repairsChangeExactlyTheirRows()
    {
        Fixture fx;
        TOvSQLConnection &db = *fx.db;
        // Withholdings: id, code, taxable/percent/withheld of employee and employer.
        db.exec("INSERT INTO tvarr_varritenute (ivarrid, iriceid, fvarrimponibiledip, fvarrpercimpdip, fvarrritdip, "
                "fvarrimponibileamm, fvarrpercimpamm, fvarrritamm) VALUES "
                "(1, 14, 100, 23, 0, 0, 0, 0),"        // employee side cleared
                "(2, 15, 100, 23, 5, 80, 8.5, 0),"     // employer side cleared, employee kept (withheld)
                "(3, 3, 100, 23, 0, 80, 8.5, 0),"      // another code: kept
                "(4, 14, 0, 23, 0, 0, 8.5, 1),"        // no taxable: kept
                "(5, 15, 100, 23, 0, 80, 8.5, 0)");    // both sides cleared
        // Structures: 13 (the payroll side's) is realigned with its rows, 14 left alone.
        db.exec("INSERT INTO tcds_struttura (icdsid, scdsprogramma, scdsnome, icdsrigo, scdsfieldmap) VALUES "
                "(13, 'rag', 'TAFI', 3, 'vecchia'), (14, 'vel', 'ALTRA', 2, 'altra')");
        db.exec("INSERT INTO tfis_datifiscali (icdsid, icrfid, ifisrigo, sfisfieldname) VALUES "
                "(13, 1, 1, 'A'), (13, 1, 7, 'A'), (13, 2, 2, 'A'), (14, 1, 40, 'A')");
        // Persons: only the one without any datum goes.
        db.exec("INSERT INTO tafi_anafiscale (iafiid, icrfid, saficodfiscale, saficognome, safinome) VALUES "
                "(1, 1, NULL, NULL, NULL), (2, 1, NULL, NULL, 'MARIO'), (3, 1, 'RSSMRA80A01H199X', 'ROSSI', 'MARIO')");
        db.exec("INSERT INTO tafi_anafiscale (iafiid, icrfid, safigruppoana) VALUES (4, 1, 'M+Q')");
        // Funds: without a kind of school they become state-school funds.
        db.exec("INSERT INTO tcufo_fondicu (icufoid, scufodesc, icufotiposcuola) VALUES "
                "(1, 'a', NULL), (2, 'b', 0), (3, 'c', 2)");

        ScriptedResponder user;
        {
            auto m = fx.module();
            QVERIFY(m->OpenConnection());
        }
        auto row = [&](int id) {
            QSqlQuery q = db.exec(QStringLiteral("SELECT fvarrimponibiledip, fvarrpercimpdip, fvarrimponibileamm, "
                                                 "fvarrpercimpamm FROM tvarr_varritenute WHERE ivarrid = %1").arg(id));
            q.next();
            QStringList out;
            for (int i = 0; i < 4; ++i)
                out << QString::number(q.value(i).toDouble());
            return out.join(QLatin1Char(' '));
        };
        QCOMPARE(row(1), QStringLiteral("0 0 0 0"));
        QCOMPARE(row(2), QStringLiteral("100 23 0 0"));
        QCOMPARE(row(3), QStringLiteral("100 23 80 8.5"));
        QCOMPARE(row(4), QStringLiteral("0 23 0 8.5"));
        QCOMPARE(row(5), QStringLiteral("0 0 0 0"));

        QCOMPARE(count(db, "SELECT icdsrigo FROM tcds_struttura WHERE icdsid = 13"), 7);
        QCOMPARE(scalar(db, "SELECT scdsfieldmap FROM tcds_struttura WHERE icdsid = 13").toString(),
                 QStringLiteral("saficognome=Cognome;safinome=Nome;saficodfiscale=CFLavoratore;"
                                "safigruppoana=Matricola+Qualifica2"));
        QCOMPARE(count(db, "SELECT icdsrigo FROM tcds_struttura WHERE icdsid = 14"), 2);
        QCOMPARE(scalar(db, "SELECT scdsfieldmap FROM tcds_struttura WHERE icdsid = 14").toString(), QStringLiteral("altra"));
        QCOMPARE(count(db, "SELECT count(*) FROM tafi_anafiscale"), 3);
        QCOMPARE(count(db, "SELECT count(*) FROM tafi_anafiscale WHERE iafiid = 1"), 0);
        QCOMPARE(count(db, "SELECT count(*) FROM tcufo_fondicu WHERE icufotiposcuola = 1"), 2);
        QCOMPARE(count(db, "SELECT icufotiposcuola FROM tcufo_fondicu WHERE icufoid = 3"), 2);

        // Every connection repairs again; a structure left without rows keeps its counter.
        db.exec("DELETE FROM tfis_datifiscali WHERE icdsid = 13");
        db.exec("UPDATE tcds_struttura SET icdsrigo = 9 WHERE icdsid = 13");
        db.exec("UPDATE tvarr_varritenute SET fvarrimponibiledip = 50 WHERE ivarrid = 1");
        {
            auto m = fx.module();
            QVERIFY(m->OpenConnection());
        }
        QCOMPARE(scalar(db, "SELECT icdsrigo FROM tcds_struttura WHERE icdsid = 13"), QVariant(9));
        QCOMPARE(row(1), QStringLiteral("0 0 0 0"));
        QVERIFY(user.shown().isEmpty());
    }

    void repairsNeverTouchThisProgramsStructures()
    {
        // A structure of this program under key 13 (an older set-up gave the
        // Quadro CT that key) keeps its field map at every start.
        Fixture fx;
        TOvSQLConnection &db = *fx.db;
        db.exec("INSERT INTO tcds_struttura (icdsid, icdsanno, scdsprogramma, scdsnome, icdsrigo, scdsfieldmap) "
                "VALUES (13, 2025, 'vel', 'TCUCT_DATICT', 0, 'saficodfiscale=SCTCODFIS')");
        ScriptedResponder user;
        for (int start = 0; start < 2; ++start) {
            auto m = fx.module();
            QVERIFY(m->OpenConnection());
        }
        QCOMPARE(scalar(db, "SELECT scdsfieldmap FROM tcds_struttura WHERE icdsid = 13").toString(),
                 QStringLiteral("saficodfiscale=SCTCODFIS"));
        QVERIFY(user.shown().isEmpty());
    }

    void quadroCtSavedAndReloadedAfterTwoStarts()
    {
        // A fresh database as the set-up leaves it, the program started twice:
        // the Quadro CT still saves and loads.
        Fixture fx;
        seedStructures(*fx.db, QStringLiteral("vel"), 2025);
        ScriptedResponder user;
        for (int start = 0; start < 2; ++start) {
            auto m = fx.module();
            QVERIFY(m->OpenConnection());
        }
        TTorDBCds store;
        store.setConnection(fx.db.get());
        store.setProgram(QStringLiteral("vel"));
        store.setYear(2025);
        store.setMonth(TTorDBCds::AllMonths);
        TClientDataSet ct;
        store.Load(ct, QStringLiteral("TCUCT_DATICT"));
        ct.append();
        ct.fieldByName(QStringLiteral("SCTCODFIS")).setAsString(QStringLiteral("80012345678"));
        ct.fieldByName(QStringLiteral("SCTEMAIL")).setAsString(QStringLiteral("segreteria@scuola.example"));
        ct.post();
        store.Save(ct, QStringLiteral("TCUCT_DATICT"));
        TClientDataSet again;
        store.Load(again, QStringLiteral("TCUCT_DATICT"));
        QCOMPARE(again.recordCount(), 1);
        QCOMPARE(again.fieldByName(QStringLiteral("SCTCODFIS")).asString(), QStringLiteral("80012345678"));
        QCOMPARE(again.fieldByName(QStringLiteral("SCTEMAIL")).asString(), QStringLiteral("segreteria@scuola.example"));
        QVERIFY(user.shown().isEmpty());
    }

    void reportsAreRegisteredAtEveryConnection()
    {
        Fixture fx;
        QVERIFY(QFile::copy(shippedReports(), fx.etc.filePath("rag_Report.xml")));
        ScriptedResponder user;
        for (int round = 0; round < 2; ++round) {
            auto m = fx.module();
            QVERIFY(m->OpenConnection());
        }
        TOvSQLQuery q(fx.db.get());
        q.setCommandText("SELECT iyrptid, iyrfoid, syrptdesc, iyrptversion, byrptreport, byrptvar "
                         "FROM tyrpt_report ORDER BY iyrptid");
        q.open();
        QCOMPARE(q.recordCount(), 2);
        QCOMPARE(q.fieldByName("IYRPTID").asInteger(), 1100601);
        QCOMPARE(q.fieldByName("IYRFOID").asInteger(), 11006);
        QCOMPARE(q.fieldByName("SYRPTDESC").asString(), QStringLiteral("Registro compensi"));
        QVERIFY(q.fieldByName("BYRPTREPORT").asBlob().startsWith("<layout name=\"Registro compensi\""));
        QCOMPARE(q.fieldByName("BYRPTVAR").asBlob(), QByteArray("ANNO=Anno finanziario"));
        QCOMPARE(count(*fx.db, "SELECT count(*) FROM tyapvrfo_appcartelle WHERE iyapvrfoid = 11006 AND iyappid = 11"), 1);
        QCOMPARE(scalar(*fx.db, "SELECT syrfodesc FROM tyrfo_cartellereport WHERE iyrfoid = 11006 AND iyrfoid_p = 11001")
                     .toString(),
                 QStringLiteral("Registro compensi"));
        QVERIFY(user.shown().isEmpty());
    }

    void failedRepairLeavesNothingHalfDone()
    {
        Fixture fx;
        TOvSQLConnection &db = *fx.db;
        db.exec("INSERT INTO tvarr_varritenute (ivarrid, iriceid, fvarrimponibiledip, fvarrritdip) VALUES (1, 14, 100, 0)");
        db.exec("DROP TABLE tcufo_fondicu");   // the last repair cannot run
        ScriptedResponder user;
        auto m = fx.module();
        QVERIFY(!m->OpenConnection());
        QCOMPARE(user.shown().size(), 1);
        QVERIFY2(user.lastText().startsWith(QStringLiteral("Correzione dati 5 di 5 non riuscita. Errore del database: ")),
                 qPrintable(user.lastText()));
        QVERIFY(!m->xqoMain.isOpen());
        QVERIFY(!OvGlobConn);
        QCOMPARE(count(db, "SELECT fvarrimponibiledip FROM tvarr_varritenute WHERE ivarrid = 1"), 100);
        QCOMPARE(count(db, "SELECT count(*) FROM tyrfo_cartellereport"), 0);
    }

    void badReportFileIsNamed()
    {
        Fixture fx;
        QFile f(fx.etc.filePath("rag_Report.xml"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("<reports>\n<report IYRPTID=\"uno\" IYRFOID=\"1\"/>\n</reports>\n");
        f.close();
        ScriptedResponder user;
        auto m = fx.module();
        QVERIFY(!m->OpenConnection());
        QVERIFY2(user.lastText().contains(QStringLiteral("riga 2: IYRPTID \"uno\" non è un numero intero")),
                 qPrintable(user.lastText()));
        QVERIFY(!m->xqoMain.isOpen());
    }

    void buildTimeSourceWritesTheCatalogue()
    {
        Fixture fx;
        // The source sits in the etc folder: creation writes the catalogue and
        // its certificate there, then loads them.
        QFile::remove(fx.etc.filePath("rag_QueryText.cds"));
        QFile::remove(fx.etc.filePath("rag_QueryText.unxc"));
        QVERIFY(QFile::copy(shippedSource(), fx.etc.filePath("rag_QueryText.xml")));
        QFile src(fx.etc.filePath("rag_QueryText.xml"));
        QVERIFY(src.open(QIODevice::ReadWrite));
        QByteArray xml = src.readAll();
        xml.replace("<statement name=\"VER_VELCU\"",
                    "<statement name=\"" + TTorQueryText::versionRowName().toUtf8() + "\" kind=\"1.0\"/>\n"
                    "  <statement name=\"VER_VELCU\"");
        src.resize(0);
        src.write(xml);
        src.close();

        ScriptedResponder user;
        auto m = fx.module(fx.etc.filePath("rag_QueryText.xml"));
        QVERIFY(QFile::exists(fx.etc.filePath("rag_QueryText.cds")));
        QVERIFY(QFile::exists(fx.etc.filePath("rag_QueryText.unxc")));
        QVERIFY(m->OpenConnection());
        QVERIFY(user.shown().isEmpty());
        m.reset();

        // A read-only catalogue file is left alone.
        const QString cds = fx.etc.filePath("rag_QueryText.cds");
        QFile::remove(cds);
        QFile ro(cds);
        QVERIFY(ro.open(QIODevice::WriteOnly));
        ro.write("sola lettura");
        ro.close();
        QVERIFY(ro.setPermissions(QFileDevice::ReadOwner));
        if (QFileInfo(cds).isWritable())
            QSKIP("running with rights that ignore read-only files");
        try {
            fx.module(fx.etc.filePath("rag_QueryText.xml"));
            QFAIL("an unreadable catalogue was accepted");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.message().contains(cds), qPrintable(e.message()));
        }
        QVERIFY(ro.open(QIODevice::ReadOnly));
        QCOMPARE(ro.readAll(), QByteArray("sola lettura"));
    }
};

QTEST_MAIN(TstDbConnectionModule)
#include "tst_db_connection_module.moc"
