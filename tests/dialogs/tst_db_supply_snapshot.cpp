// The supply beside other workstations, on both engines, with velcu-cli as
// the office runs it: a supply written while imports replace every CU holds
// each CU once and whole, says how many it wrote and leaves no annotation
// row without its person; a payee with two CUs stops the supply; a database
// that refuses the last write after the file is complete says where the
// file is.
#include "support/TestDb.h"
#include "support/SupplyStages.h"
#include "support/TestStore.h"

#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/check/VelSupplyCheck.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "src/prj/unit/telematic/TdmVelFile.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"
#include "src/prj/unit/dialogs/VelBoxRunHost.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Result
{
    int status = -1;
    QString out, err;
};

Result finished(QProcess &p)
{
    if (p.state() != QProcess::NotRunning && !p.waitForFinished(600000))
        qFatal("velcu-cli did not end");
    return Result{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                  QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

// The D records of a supply file: payee tax codes in file order.
QStringList payeesOf(const QString &file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList out;
    for (;;) {
        const QByteArray rec = f.read(1900);
        if (rec.size() < 1900)
            break;
        if (rec.at(0) == 'D')
            out << QString::fromLatin1(rec.mid(25, 16)).trimmed();
    }
    return out;
}

} // namespace

class TstDbSupplySnapshot : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TOvSQLConnection> m_db;
    std::unique_ptr<TTorDBCds> m_store;
    QStringList m_dbArgs;
    int m_cus = 0;

    void start(QProcess &p, const QStringList &args)
    {
        p.start(QStringLiteral(VELCU_STAGE_DIR "/bin/velcu-cli"), args + m_dbArgs);
        if (!p.waitForStarted(60000))
            qFatal("velcu-cli did not start");
    }

    Result cli(const QStringList &args)
    {
        QProcess p;
        start(p, args);
        return finished(p);
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // The supply's module on the test store, its questions answered yes, open.
    struct OpenSupply
    {
        std::unique_ptr<TdmVelFile> dm;
        TVelSupplyOpened opened;
    };
    OpenSupply supplyModule()
    {
        auto dm = std::make_unique<TdmVelFile>(*m_store, QueryText());
        dm->setRunHost(TVelBoxRunHost::instance());
        dm->setSettingsFile(path(QStringLiteral("velcu.ini")));
        dm->setTablePaths(path(QStringLiteral("campi.cds")), path(QStringLiteral("record.cds")));
        dm->information = [](const QStringList &, bool) { return true; };
        dm->defaultMatricola = [] { return QString(); };
        const TVelSupplyOpened opened = dm->open();
        return {std::move(dm), opened};
    }

    int count(const QString &sql)
    {
        QSqlQuery q = m_db->exec(sql);
        return q.next() ? q.value(0).toInt() : -1;
    }
    int cuCount()
    {
        TClientDataSet ds;
        m_store->Load(ds, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        return ds.recordCount();
    }
    // Annotation rows whose person is not in the store.
    int orphanNotes()
    {
        return count(QStringLiteral(
            "SELECT count(*) FROM tfis_datifiscali f JOIN tcds_struttura s ON s.icdsid = f.icdsid "
            "WHERE lower(s.scdsnome) = 'tcuda_annotazioni' AND NOT EXISTS "
            "(SELECT 1 FROM tafi_anafiscale a WHERE a.iafiid = f.iafiid)"));
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QVERIFY(m_dir.isValid());
        m_db = TestDb::open(true);
        seedStructures(*m_db, QStringLiteral("vel"), 2025);
        m_store = TestStore::open(m_db.get());
        m_dbArgs = TestDb::cliArgs();
        const QString ini = path(QStringLiteral("velcu.ini"));
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[FileTelematico]\nCodiceFiscaleProduttore=01234567897\n");
        f.close();
        qputenv("VELCU_DB_CONFIG", QFile::encodeName(ini));

        // every payee imported once, the agent and the supplier completed
        const Result r = cli({QStringLiteral("import"), QStringLiteral("--mese"), QStringLiteral("12")});
        QVERIFY2(r.status == 0 || r.status == 1, qPrintable(r.err));
        m_cus = cuCount();
        QVERIFY2(m_cus > 20, qPrintable(r.out + r.err));
        TClientDataSet sost;
        m_store->Load(sost, QStringLiteral("TCUS_DATISOST"));
        QVERIFY(!sost.isEmpty());
        sost.first();
        const QString agent = sost.fieldByName(QStringLiteral("SSOSCODFIS")).asString();
        sost.edit();
        sost.fieldByName(QStringLiteral("SSOSCFRAPPR")).setAsString(QStringLiteral("RSSMRA80A01H501U"));
        sost.fieldByName(QStringLiteral("SCARCODICE")).setAsString(QStringLiteral("1"));
        sost.fieldByName(QStringLiteral("SSOSCOGNRAPPR")).setAsString(QStringLiteral("ROSSI"));
        sost.fieldByName(QStringLiteral("SSOSNOMERAPPR")).setAsString(QStringLiteral("MARIO"));
        sost.fieldByName(QStringLiteral("SSOSFIRMACOM")).setAsString(QStringLiteral("MARIO ROSSI"));
        sost.post();
        m_store->Save(sost, QStringLiteral("TCUS_DATISOST"));
        TestStore::put(*m_store, "TCFO_FORNITORE",
                       {{{"SFORCODFIS", agent}, {"STFOCODICE", QStringLiteral("1")}}});
    }

    void cleanupTestCase()
    {
        m_store.reset();
        m_db.reset();
        qunsetenv("VELCU_DB_CONFIG");
    }

    void cuReplacedAfterTheReading()
    {
        // No annotation rows in the store: the supply rebuilds them all. One
        // CU is replaced by an import after the supply has read the store:
        // the file holds it as it was read, its rows are not written (its
        // person is gone), and no row is left without its person.
        m_db->exec(QStringLiteral("DELETE FROM tfis_datifiscali WHERE icdsid IN (SELECT icdsid FROM tcds_struttura "
                                  "WHERE lower(scdsnome) = 'tcuda_annotazioni')"));
        QueryText().loadCatalogue(QStringLiteral(VELCU_STAGE_DIR "/etc/rag/rag_QueryText.cds"));
        auto module = supplyModule();
        TdmVelFile &dm = *module.dm;
        QString replaced;
        for (dm.dip().first(); !dm.dip().eof() && replaced.isEmpty(); dm.dip().next())
            if (dm.dip().fieldByName(QStringLiteral("SCUDANNOTAZIONI")).asString().contains(QStringLiteral("ZZ) ")))
                replaced = dm.dip().fieldByName(QStringLiteral("SCUDCODFIS")).asString().toUpper();
        QVERIFY(!replaced.isEmpty());
        const Result r = cli({QStringLiteral("import"), QStringLiteral("--mese"), QStringLiteral("12"),
                              QStringLiteral("--sovrascrivi"), QStringLiteral("sempre"), QStringLiteral("--cf"), replaced});
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));

        TVelSupplyGeneration g = SupplyStages::generate(module.opened, dm.visitedRows(TdmVelFile::All));
        QVERIFY(g.supply);
        // the pre-check's own warnings (the coherence check) aside
        QList<TVelRunWarning> notSaved;
        for (const TVelRunWarning &w : g.outcome.warnings)
            if (w.code != TVelWarningCode::Coerenza && w.code != TVelWarningCode::DatiMancanti)
                notSaved << w;
        QCOMPARE(notSaved.size(), 1);
        QCOMPARE(notSaved[0].code, TVelWarningCode::AnnotazioniNonSalvate);
        QVERIFY2(notSaved[0].text.startsWith(QStringLiteral("Annotazioni non salvate per %1: certificazione "
                                                                    "modificata, sostituita o cancellata")
                                                         .arg(replaced)),
                 qPrintable(notSaved[0].text));
        QCOMPARE(orphanNotes(), 0);
        const int notes = count(QStringLiteral("SELECT count(DISTINCT f.iafiid) FROM tfis_datifiscali f JOIN "
                                               "tcds_struttura s ON s.icdsid = f.icdsid WHERE lower(s.scdsnome) = "
                                               "'tcuda_annotazioni'"));
        QVERIFY(notes > 20);
        const QString out = path(QStringLiteral("CUR26_lettura"));
        const TVelSupplySaved saved = g.supply->save(out);
        QCOMPARE(saved.files, QStringList{out});
        QVERIFY2(saved.outcome.riuscito(), qPrintable(saved.outcome.fatal));
        QCOMPARE(saved.outcome.count(TVelResult::Fatto), m_cus);
        const QStringList payees = payeesOf(out);
        QCOMPARE(payees.size(), m_cus);
        QVERIFY(payees.contains(replaced));
        // an import after the supply finds the rows and replaces them with its CUs
        const Result again = cli({QStringLiteral("import"), QStringLiteral("--mese"), QStringLiteral("12"),
                                  QStringLiteral("--sovrascrivi"), QStringLiteral("sempre")});
        QVERIFY2(again.status == 0 || again.status == 1, qPrintable(again.err));
        QCOMPARE(orphanNotes(), 0);
        QCOMPARE(cuCount(), m_cus);
    }

    void supplyWhileImportsReplaceEveryCu()
    {
        // Imports replacing every CU, one after the other without a pause,
        // in another process for as long as each supply runs.
        const QStringList import = {QStringLiteral("import"), QStringLiteral("--mese"), QStringLiteral("12"),
                                    QStringLiteral("--sovrascrivi"), QStringLiteral("sempre")};
        constexpr int Supplies = 4;
        int importsBeside = 0;
        for (int k = 0; k < Supplies; ++k) {
            const QString out = path(QStringLiteral("CUR26_%1").arg(k));
            const QString work = path(QStringLiteral("lavoro_%1").arg(k));
            QVERIFY(QDir().mkpath(work));
            QProcess imp;
            start(imp, import);
            QProcess supply;
            start(supply, {QStringLiteral("fornitura"), QStringLiteral("--out"), out, QStringLiteral("--forza"),
                           QStringLiteral("--cartella-lavoro"), work});
            while (supply.state() != QProcess::NotRunning) {
                if (imp.state() == QProcess::NotRunning) {
                    const Result ri = finished(imp);
                    QVERIFY2(ri.status == 0 || ri.status == 1, qPrintable(ri.err));
                    QVERIFY2(!ri.err.contains(QStringLiteral("lock"), Qt::CaseInsensitive), qPrintable(ri.err));
                    ++importsBeside;
                    start(imp, import);
                }
                supply.waitForFinished(50);
                imp.waitForFinished(50);
            }
            const Result r = finished(supply);
            const Result ri = finished(imp);
            QVERIFY2(ri.status == 0 || ri.status == 1, qPrintable(ri.err));
            ++importsBeside;

            // what it announced is what the file holds: every CU of the store, once
            // done, with warnings (the demo's coherence findings, annotations of replaced CUs)
            QVERIFY2(r.status == 3, qPrintable(r.out + r.err));
            QVERIFY2(r.out.contains(QStringLiteral("Certificazioni nella fornitura: %1.\n").arg(m_cus)),
                     qPrintable(r.out));
            const QStringList payees = payeesOf(out);
            QCOMPARE(payees.size(), m_cus);
            QCOMPARE(QSet<QString>(payees.begin(), payees.end()).size(), m_cus);
            TVelSupplyCheck check;
            const QList<TVelSupplyProblem> problems = check.run({out});
            QVERIFY2(problems.isEmpty(), qPrintable(problems.value(0).text()));
            QCOMPARE(check.certifications(), m_cus);
        }
        qInfo("%d supplies beside %d imports, %d CUs each", Supplies, importsBeside, m_cus);
        // afterwards: the CUs once each, every annotation row with its person
        QCOMPARE(cuCount(), m_cus);
        // The supply writes rows only for persons there at its commit
        // (cuReplacedAfterTheReading); an import replacing a CU reads the
        // CU's rows again inside its own transaction, the supply's included,
        // and deletes them with it.
        const int orphans = orphanNotes();
        qInfo("annotation rows without their person: %d", orphans);
        // (The last import replaced every CU, the supply's annotation rows
        // with them: cuReplacedAfterTheReading shows the rows being written.)
        QCOMPARE(orphans, 0);
    }

    void databaseRefusingAfterTheFile()
    {
        // The file is written, then the database refuses the agent's count:
        // the run fails and says the file is there, complete.
        QueryText().loadCatalogue(QStringLiteral(VELCU_STAGE_DIR "/etc/rag/rag_QueryText.cds"));
        auto module = supplyModule();
        TdmVelFile &dm = *module.dm;
        const QList<int> rows = dm.visitedRows(TdmVelFile::All);
        TVelSupplyGeneration g = SupplyStages::generate(module.opened, rows);
        QVERIFY(g.supply);
        m_db->exec(TestDb::isPostgres() ? QStringLiteral("SET default_transaction_read_only = on")
                                        : QStringLiteral("PRAGMA query_only = 1"));
        const QString out = path(QStringLiteral("CUR26_sola_lettura"));
        QStringList files;
        TVelRunOutcome o;
        try {
            const TVelSupplySaved saved = g.supply->save(out);
            files = saved.files;
            o = saved.outcome;
        } catch (const std::exception &e) {
            QFAIL(e.what());
        }
        m_db->exec(TestDb::isPostgres() ? QStringLiteral("SET default_transaction_read_only = off")
                                        : QStringLiteral("PRAGMA query_only = 0"));
        QVERIFY(!o.riuscito());
        QVERIFY2(o.fatal.startsWith(QStringLiteral("Il file della fornitura è stato scritto ed è completo: ") + out
                                    + QStringLiteral(". Non è stato però possibile registrare nel database")),
                 qPrintable(o.fatal));
        QCOMPARE(files, QStringList{out});
        QCOMPARE(o.count(TVelResult::Fatto), m_cus);
        TVelSupplyCheck check;
        QVERIFY(check.run(files).isEmpty());
        QCOMPARE(check.certifications(), m_cus);
        QVERIFY(TdmVelFile::summaryLines(o).contains(QStringLiteral("***** ") + o.fatal));
    }

    void payeeWithTwoCus()
    {
        // a second CU of one payee, of another month: no supply, the code named
        TClientDataSet cu;
        m_store->Load(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        cu.first();
        const QString cf = cu.fieldByName(QStringLiteral("SCUDCODFIS")).asString();
        TestStore::put(*m_store, "TCUD_DATICUD",
                       {{{"SCUDCODFIS", cf},
                         {"SCUDMESE", QStringLiteral("06")},
                         {"SCUDCOGNOME", cu.fieldByName(QStringLiteral("SCUDCOGNOME")).asString()},
                         {"SCUDNOME", cu.fieldByName(QStringLiteral("SCUDNOME")).asString()}}});
        QCOMPARE(cuCount(), m_cus + 1);
        const QString out = path(QStringLiteral("CUR26_doppio"));
        QVERIFY(QDir().mkpath(path(QStringLiteral("lavoro_doppio"))));
        const Result r = cli({QStringLiteral("fornitura"), QStringLiteral("--out"), out, QStringLiteral("--forza"),
                              QStringLiteral("--cartella-lavoro"), path(QStringLiteral("lavoro_doppio"))});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.out.contains(QStringLiteral("Il codice fiscale %1 compare in 2 certificazioni dello stesso "
                                               "sostituto d'imposta")
                                    .arg(cf.toUpper())),
                 qPrintable(r.out + r.err));
        QVERIFY(r.out.contains(QStringLiteral("Fornitura non generata")));
        QVERIFY(!QFile::exists(out));
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    TstDbSupplySnapshot t;
    return QTest::qExec(&t, argc, argv);
}

#include "tst_db_supply_snapshot.moc"
