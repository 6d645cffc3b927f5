// The database server lost in the middle of an import: the session of the
// import is ended on the server (as an administrator or a restart would) while
// a payee is being written. The run stops there, rolls that payee back, says
// once in Italian that the server is unreachable and how far it got, names the
// payees not done, and the store holds exactly the CUs it counts, each whole.
// In process (the window's log and boxes) and through velcu-cli.
#include "support/ImportFixture.h"
#include "support/StagedProgram.h"
#include "support/TestStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

#include <atomic>
#include <thread>

namespace {

// Ends the session of the import once the store holds `after` CUs: it locks
// the value rows' table, waits for the import's session to queue behind the
// lock (a payee in hand, half written) and ends that session. Only a session
// this killer blocks is ended: other tests on the same server are left alone.
class SessionKiller
{
public:
    explicit SessionKiller(int after) : m_after(after)
    {
        m_thread = std::thread([this] { run(); });
    }
    ~SessionKiller() { join(); }
    // Once the program under test has ended: nothing more to wait for.
    void join()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
    }
    bool killed() const { return m_killed; }
    QString failure() const { return m_failure; }

private:
    void run()
    {
        try {
            TOvSQLConnection c(TestDb::config());
            c.openOrThrow();
            const qint64 deadline = QDateTime::currentMSecsSinceEpoch() + 60000;
            auto late = [&] { return m_stop || QDateTime::currentMSecsSinceEpoch() > deadline; };
            while (!late()) {
                QSqlQuery q = c.exec(QStringLiteral("SELECT count(*) FROM tafi_anafiscale WHERE safigruppoana <> ''"));
                if (q.next() && q.value(0).toInt() >= m_after)
                    break;
                QThread::msleep(5);
            }
            c.startTransaction();
            c.exec(QStringLiteral("LOCK TABLE tfis_datifiscali IN EXCLUSIVE MODE"));
            while (!late() && !m_killed) {
                // pg_locks, not pg_stat_activity: the activity view is read
                // once a transaction, the locks are read live.
                QSqlQuery q = c.exec(QStringLiteral("SELECT pg_terminate_backend(w.pid) FROM (SELECT DISTINCT pid FROM "
                                                    "pg_locks WHERE NOT granted AND pg_backend_pid() = "
                                                    "ANY(pg_blocking_pids(pid))) w"));
                m_killed = q.next() && q.value(0).toBool();
                if (!m_killed)
                    QThread::msleep(5);
            }
            c.rollback();
            if (!m_killed)
                m_failure = QStringLiteral("nessuna sessione dell'importazione bloccata");
        } catch (const std::exception &e) {
            m_failure = QString::fromUtf8(e.what());
        }
    }

    int m_after;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_killed{false};
    QString m_failure;
    std::thread m_thread;
};

// Driver and server texts that must never reach the office.
const QRegularExpression kEnglish(QStringLiteral("server closed|connection|unable|fatal|terminating|QPSQL|statement|"
                                                 "abnormally|administrator|error:"),
                                  QRegularExpression::CaseInsensitiveOption);

int linesStartingWith(const QStringList &lines, const QString &start)
{
    int n = 0;
    for (const QString &l : lines)
        n += l.startsWith(start) ? 1 : 0;
    return n;
}

} // namespace

class TstDbServerLost : public ImportTestBase
{
    Q_OBJECT

    const QString kLost = QStringLiteral("Il server del database non è raggiungibile");

    // The store, read on a connection of its own: the CUs stored, each whole
    // (the employment part with its final annotation, or the self-employed
    // payments alone), no value row without its person.
    int storedWholeCus()
    {
        TOvSQLConnection c(TestDb::config());
        c.openOrThrow();
        auto s = TestStore::open(&c);
        TClientDataSet cus, aut;
        s->Load(cus, QStringLiteral("TCUD_DATICUD"));
        s->Load(aut, QStringLiteral("TASE_AUTSOMMEEROGATE"));
        QSet<qint64> autonomi;
        for (aut.first(); !aut.eof(); aut.next())
            autonomi.insert(aut.fieldByName(QStringLiteral("iAfiID")).asInteger());
        for (cus.first(); !cus.eof(); cus.next()) {
            const bool whole = cus.fieldByName(QStringLiteral("SCUDANNOTAZIONI")).asString().contains(QStringLiteral("ZZ) "))
                               || autonomi.contains(cus.fieldByName(QStringLiteral("iAfiID")).asInteger());
            if (!whole)
                return -1;
        }
        QSqlQuery o = c.exec(QStringLiteral("SELECT count(*) FROM tfis_datifiscali f WHERE f.iafiid IS NOT NULL AND "
                                            "NOT EXISTS (SELECT 1 FROM tafi_anafiscale a WHERE a.iafiid = f.iafiid)"));
        if (!o.next() || o.value(0).toInt() != 0)
            return -2;
        return cus.recordCount();
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        if (!TestDb::isPostgres())
            QSKIP("un server da perdere c'è solo con PostgreSQL");
        QueryText().loadFromXml(QStringLiteral(VELCU_SOURCE_DIR "/tools/velcu-catalogue/rag_QueryText.xml"));
    }

    void importStopsAtThePayeeInHand_data()
    {
        QTest::addColumn<int>("after");
        QTest::newRow("first payee") << 0;
        QTest::newRow("payee 12") << 12;
    }

    void importStopsAtThePayeeInHand()
    {
        QFETCH(int, after);
        fresh();
        ScriptedResponder responder;
        auto imp = importer();
        imp->options().SOSTITUTO = false;
        QStringList log;
        imp->hooks().onInfo = [&log](const QStringList &lines) { log = lines; };
        QVERIFY(imp->caricaCandidati() > after + 5);
        const int payees = imp->candidati().recordCount();
        TVelRunOutcome o;
        {
            SessionKiller killer(after);
            o = imp->importa({});
            killer.join();
            QVERIFY2(killer.killed(), qPrintable(killer.failure()));
        }
        QVERIFY(o.fatal.startsWith(kLost));
        QVERIFY(!o.riuscito());
        QCOMPARE(int(o.payees.size()), payees);

        // The payee in hand rolled back and named; every one after it named
        // as not done, for the same reason; none of them in the store.
        const int stopped = o.count(TVelResult::NonEseguito);
        QVERIFY(stopped > 0);
        int inHand = -1;
        for (int k = 0; k < o.payees.size(); ++k)
            if (o.payees.at(k).result == TVelResult::Errore && o.payees.at(k).reason.contains(QStringLiteral("server")))
                inHand = k;
        QCOMPARE(inHand, payees - stopped - 1);
        for (int k = inHand; k < payees; ++k)
            QVERIFY(o.payees.at(k).reason.contains(QStringLiteral("il server del database non è raggiungibile")));
        QVERIFY(o.fatal.contains(QStringLiteral("dopo %1 dipendenti su %2").arg(inHand).arg(payees)));

        // What the run counts is what the store holds, each CU whole.
        const int done = o.count(TVelResult::Fatto);
        QVERIFY(done >= after);
        QVERIFY(o.fatal.contains(QStringLiteral("%1 certificazioni importate").arg(done)));
        QCOMPARE(storedWholeCus(), done);

        // Said once: one line of the log, no box per payee, no English.
        QCOMPARE(linesStartingWith(log, kLost), 1);
        QCOMPARE(log.first(), o.fatal);
        const QStringList boxes = responder.texts();
        for (const QString &b : boxes)
            QVERIFY2(!b.contains(QStringLiteral("server"), Qt::CaseInsensitive), qPrintable(b));
        const QString all = (log + boxes).join(QLatin1Char('\n'));
        QVERIFY2(!kEnglish.match(all).hasMatch(), qPrintable(kEnglish.match(all).captured(0) + QStringLiteral(": ") + all));
        QVERIFY(TVelImportCud::riepilogo(o).startsWith(QStringLiteral("Importazione interrotta:")));
    }

    // The first import of the year writes the agent's data before any
    // payee: lost there, no payee is imported and the agent is not half written.
    void commandLineSaysItOnce_data()
    {
        QTest::addColumn<int>("after");
        QTest::newRow("writing the agent") << 0;
        QTest::newRow("payee 9") << 8;
    }

    void commandLineSaysItOnce()
    {
        QFETCH(int, after);
        fresh();
        QStringList args{QStringLiteral("import")};
        args << TestDb::cliArgs();
        SessionKiller killer(after);
        const StagedProgram::Run r = StagedProgram::run(QStringLiteral("velcu-cli"), args);
        killer.join();
        QVERIFY2(killer.killed(), qPrintable(killer.failure()));
        QCOMPARE(r.status, 1);
        const QString all = r.out + r.err;
        const QStringList lines = all.split(QLatin1Char('\n'));
        QCOMPARE(linesStartingWith(lines, kLost), 1);
        QVERIFY2(!kEnglish.match(all).hasMatch(), qPrintable(kEnglish.match(all).captured(0) + QStringLiteral(": ") + all));
        // The summary's count is the store's.
        static const QRegularExpression summary(QStringLiteral("Importazione interrotta: (\\d+) certificazioni importate"));
        const auto m = summary.match(r.out);
        QVERIFY2(m.hasMatch(), qPrintable(r.out));
        QCOMPARE(storedWholeCus(), m.captured(1).toInt());
        QCOMPARE(m.captured(1).toInt() > 0, after > 0);
        if (after == 0)
            QVERIFY(!store->HasRows(QStringLiteral("TCUS_DATISOST")));
        QVERIFY(r.out.contains(QStringLiteral("--- Dipendenti non importati perché il server del database non è "
                                              "raggiungibile")));
    }

    // The demo imported by velcu-cli, with the installation's settings in `dir`.
    void importedByCli(const QTemporaryDir &dir)
    {
        fresh();
        QVERIFY(dir.isValid());
        const QString ini = dir.filePath(QStringLiteral("velcu.ini"));
        {
            QFile f(ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[FileTelematico]\nCodiceFiscaleProduttore=01234567897\n");
        }
        qputenv("VELCU_DB_CONFIG", QFile::encodeName(ini));
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("lavoro"))));
        const StagedProgram::Run imported =
            StagedProgram::run(QStringLiteral("velcu-cli"), QStringList{QStringLiteral("import")} + TestDb::cliArgs());
        QCOMPARE(imported.status, 1); // the demo's payee with mixed NoiPA payments
    }

    // The supply and the print read every CU first, then write to the store
    // (the supply its annotation rows, the print its locks): the server lost
    // at that first write stops them with the same one line.
    void laterRunsSayItOnce_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("noFile");
        QTest::newRow("supply") << QStringList{QStringLiteral("fornitura"), QStringLiteral("--out"),
                                               QStringLiteral("CUR26"), QStringLiteral("--forza"),
                                               QStringLiteral("--cartella-lavoro"), QStringLiteral("lavoro")}
                                << QStringLiteral("CUR26");
        QTest::newRow("print, one document")
            << QStringList{QStringLiteral("stampa"), QStringLiteral("--sintetico"), QStringLiteral("--out"),
                           QStringLiteral("CU.pdf")}
            << QString();
        QTest::newRow("print, per payee")
            << QStringList{QStringLiteral("stampa"), QStringLiteral("--sintetico"), QStringLiteral("--out"),
                           QStringLiteral("CU.pdf"), QStringLiteral("--per-percipiente"), QStringLiteral("percipienti")}
            << QString();
    }

    void laterRunsSayItOnce()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, noFile);
        QTemporaryDir dir;
        importedByCli(dir);
        // Paths in the run's folder.
        for (QString &a : args)
            if (!a.startsWith(QLatin1String("--")) && a != args.first())
                a = dir.filePath(a);
        SessionKiller killer(0);
        const StagedProgram::Run r = StagedProgram::run(QStringLiteral("velcu-cli"), args + TestDb::cliArgs());
        killer.join();
        qunsetenv("VELCU_DB_CONFIG");
        const QString all = r.out + r.err;
        QVERIFY2(killer.killed(), qPrintable(killer.failure()));
        QCOMPARE(r.status, 1);
        QVERIFY2(all.count(kLost) == 1, qPrintable(all));
        QVERIFY2(!kEnglish.match(all).hasMatch(), qPrintable(kEnglish.match(all).captured(0) + QStringLiteral(": ") + all));
        // No supply the store could not record.
        if (!noFile.isEmpty())
            QVERIFY(!QFile::exists(dir.filePath(noFile)));
    }
};

QTEST_MAIN(TstDbServerLost)
#include "tst_db_server_lost.moc"
