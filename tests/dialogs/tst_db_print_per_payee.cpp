// One PDF per payee (velcu-cli stampa --per-percipiente), on both engines,
// with velcu-cli run as a process of the installation: a CU is locked only
// once its own file is on disk, whole, under its final name. Killed at random
// moments (kill -9), on a full disk, with another run holding the folder:
// every locked CU has its whole PDF (the same bytes a complete run writes),
// the command says payee by payee what it did, and a new run removes what an
// interrupted one left in the delivery folder.
#include "support/KillSeed.h"
#include "support/ScriptedResponder.h"
#include "support/PdfWords.h"
#include "support/TestDb.h"
#include "support/TestStore.h"
#include "support/TmpfsMount.h"

#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "platform/ui/framework/OvForms.h"
#include "src/prj/unit/dialogs/TfmVelPDF.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr int kPayees = 40;

struct Result
{
    int status = -1;
    QString out, err;
};

} // namespace

class TstDbPrintPerPayee : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TOvSQLConnection> m_db;
    std::unique_ptr<TTorDBCds> m_store;
    QStringList m_codes;                 // the payees' tax codes
    QHash<QString, QByteArray> m_whole;  // CF -> the file a complete run writes
    qint64 m_runMs = 0;                  // how long a complete run takes

    QStringList printArgs(const QString &folder, const QStringList &more = {}) const
    {
        return QStringList{QStringLiteral("stampa"), QStringLiteral("--sintetico"), QStringLiteral("--per-percipiente"),
                           folder}
               + more + TestDb::cliArgs();
    }

    static QString program() { return QStringLiteral(VELCU_STAGE_DIR "/bin/velcu-cli"); }

    Result cli(const QStringList &args)
    {
        QProcess p;
        p.start(program(), args);
        if (!p.waitForFinished(600000))
            qFatal("velcu-cli did not end");
        return Result{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                      QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // The tax codes of the CUs the store holds printed.
    QSet<QString> locked() { return TestStore::lockedCodes(*m_store); }
    void unlockAll()
    {
        TClientDataSet ds;
        m_store->Load(ds, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        for (ds.first(); !ds.eof(); ds.next()) {
            ds.edit();
            ds.fieldByName(QStringLiteral("iCudStato")).setValue(0);
            ds.post();
        }
        m_store->Save(ds, QStringLiteral("TCUD_DATICUD"), 12);
        QVERIFY(locked().isEmpty());
    }

    // The payees' PDFs in a folder (by tax code), and every other entry.
    static QSet<QString> pdfsIn(const QString &folder)
    {
        QSet<QString> out;
        for (const QString &f : QDir(folder).entryList({QStringLiteral("*.pdf")}, QDir::Files))
            out.insert(f.chopped(4));
        return out;
    }
    static QStringList hiddenIn(const QString &folder)
    {
        QStringList out;
        for (const QString &f : QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
            if (f.startsWith(QLatin1Char('.')))
                out << f;
        return out;
    }

    // Every PDF of the folder is whole (the bytes of a complete run), and
    // every locked CU has its own.
    void checkDelivered(const QString &folder, const QSet<QString> &lockedNow)
    {
        const QSet<QString> pdfs = pdfsIn(folder);
        for (const QString &cf : pdfs) {
            QFile f(QDir(folder).filePath(cf + QStringLiteral(".pdf")));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QVERIFY2(f.readAll() == m_whole.value(cf), qPrintable(QStringLiteral("%1.pdf non è intero").arg(cf)));
        }
        for (const QString &cf : lockedNow)
            QVERIFY2(pdfs.contains(cf), qPrintable(QStringLiteral("%1 segnato come stampato senza il suo PDF").arg(cf)));
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QVERIFY(m_dir.isValid());
        // the files' creation date: the same in every run, so that the runs'
        // files compare byte for byte
        qputenv("SOURCE_DATE_EPOCH", "1767225600");
        m_db = TestDb::open(true);
        seedStructures(*m_db, QStringLiteral("vel"), 2025);
        m_store = TestStore::open(m_db.get());
        TestStore::put(*m_store, "TCUS_DATISOST",
                       {{{"SSOSCODFIS", QStringLiteral("80012345676")}, {"SSOSDENOM", QStringLiteral("ISTITUTO DANTE")}}});
        QList<TestStore::Values> cus;
        for (int i = 1; i <= kPayees; ++i) {
            const QString cf = QStringLiteral("PRSTST%1A01H501Z").arg(i, 2, 10, QLatin1Char('0'));
            m_codes << cf;
            cus.append({{"SCUDCODFIS", cf}, {"SCUDMESE", QStringLiteral("12")},
                        {"SCUDCOGNOME", QStringLiteral("COGNOME%1").arg(i, 2, 10, QLatin1Char('0'))},
                        {"SCUDNOME", QStringLiteral("NOME")},
                        {"SCUDANNOTAZIONI", QStringLiteral("AC) annotazione del percipiente %1").arg(cf)}});
        }
        TestStore::put(*m_store, "TCUD_DATICUD", cus);
    }

    void cleanupTestCase()
    {
        m_store.reset();
        m_db.reset();
    }

    // The complete run: a PDF per payee, each CU locked, nothing else left
    // in the folder; its files are the measure of the tests below.
    void aCompleteRunDeliversAndLocksEveryCu()
    {
        const QString folder = path(QStringLiteral("completa"));
        QElapsedTimer t;
        t.start();
        const Result r = cli(printArgs(folder));
        m_runMs = t.elapsed();
        QVERIFY2(r.status == 0, qPrintable(r.err + r.out));
        QVERIFY(r.out.contains(QStringLiteral("CU stampati: %1.\n").arg(kPayees)));
        QVERIFY(r.out.contains(QStringLiteral("PDF per percipiente: %1 nella cartella").arg(kPayees)));
        QVERIFY2(r.out.contains(QStringLiteral("senza sbloccarli): %1.\n").arg(kPayees)), qPrintable(r.out));
        QCOMPARE(r.out.count(QStringLiteral("File scritto: ")), kPayees);
        QCOMPARE(pdfsIn(folder), QSet<QString>(m_codes.cbegin(), m_codes.cend()));
        QCOMPARE(hiddenIn(folder), QStringList());
        QCOMPARE(locked().size(), kPayees);
        for (const QString &cf : std::as_const(m_codes)) {
            QFile f(QDir(folder).filePath(cf + QStringLiteral(".pdf")));
            QVERIFY(f.open(QIODevice::ReadOnly));
            m_whole.insert(cf, f.readAll());
            QVERIFY(m_whole.value(cf).startsWith("%PDF"));
        }
        // a second complete run writes the same bytes, and locks nothing more
        const Result again = cli(printArgs(folder));
        QCOMPARE(again.status, 0);
        QVERIFY2(again.out.contains(QStringLiteral("senza sbloccarli): 0.\n")), qPrintable(again.out));
        checkDelivered(folder, locked());
        unlockAll();

        // a draft: files of their own, "BOZZA" on every page, nothing locked
        const QString drafts = path(QStringLiteral("bozze"));
        const Result draft = cli(printArgs(drafts, {QStringLiteral("--bozza")}));
        QVERIFY2(draft.status == 0, qPrintable(draft.err + draft.out));
        QVERIFY(draft.out.contains(QStringLiteral("Bozza: nessun CU segnato come stampato.")));
        QVERIFY(locked().isEmpty());
        QCOMPARE(pdfsIn(drafts).size(), kPayees);
        const QList<PdfWords::Page> pages = PdfWords::read(QDir(drafts).filePath(m_codes.first() + QStringLiteral("-Bozza.pdf")));
        QVERIFY(!pages.isEmpty());
        for (const PdfWords::Page &page : pages)
            QVERIFY(PdfWords::has(page, QStringLiteral("BOZZA")));
    }

    // The print window does the same: one PDF per payee in the folder it is
    // given, the same bytes, each CU locked; a second run asks before it
    // replaces the payees' files, and "No" leaves them.
    void theWindowWritesOnePdfPerPayee()
    {
        QVERIFY(!m_whole.isEmpty());
        QVERIFY(locked().isEmpty());
        const QString folder = path(QStringLiteral("finestra"));
        TdmVelStampePDF stampe;
        TdmVelMain main;
        ScriptedResponder user;
        std::unique_ptr<TfmVelPDF> form(ovCreate<TfmVelPDF>(nullptr, m_store.get(), &stampe, &main));
        form->show();
        QVERIFY(!form->edCartella->isEnabled());
        form->chkPerPercipiente->setChecked(true);
        QVERIFY(form->edCartella->isEnabled());
        form->edCartella->setText(folder);
        user.answer(IDYES, TfmVelPDF::lockQuestion(kPayees, kPayees));
        QVERIFY(form->createPdf());
        QCOMPARE(pdfsIn(folder), QSet<QString>(m_codes.cbegin(), m_codes.cend()));
        QCOMPARE(hiddenIn(folder), QStringList());
        QCOMPARE(locked().size(), kPayees);
        checkDelivered(folder, locked());
        QVERIFY2(form->meOut->toPlainText().contains(
                     QStringLiteral("PDF per percipiente: %1 su %1 nella cartella").arg(kPayees)),
                 qPrintable(form->meOut->toPlainText()));
        QVERIFY(form->meOut->toPlainText().contains(QStringLiteral("CU segnati come stampati ora: %1.").arg(kPayees)));
        QCOMPARE(form->pbAvanzamento->value(), kPayees);

        const QDateTime written = QFileInfo(QDir(folder).filePath(m_codes.first() + QStringLiteral(".pdf"))).lastModified();
        user.answer(IDNO, TfmVelPDF::payeesReplaceQuestion(folder, kPayees));
        QVERIFY(!form->createPdf());
        QCOMPARE(QFileInfo(QDir(folder).filePath(m_codes.first() + QStringLiteral(".pdf"))).lastModified(), written);
        QCOMPARE(user.pendingAnswers(), 0);
        form->close();
        unlockAll();
    }

    // kill -9 at random moments: during the reading, the document, the cut
    // and the locks (at a random time, or once a random number of PDFs is
    // there). After each kill every locked CU has its whole PDF; the run
    // after the last kill removes what the killed ones left.
    void killedAnywhereLocksOnlyWhatItDelivered()
    {
        QVERIFY(!m_whole.isEmpty());
        const quint32 seed = killSeed();
        QRandomGenerator random(seed);
        const QString folder = path(QStringLiteral("uccisa"));
        int kills = 0, runs = 0, leftovers = 0, duringCut = 0;
        for (int round = 0; round < 12; ++round) {
            // a run that ends before its moment comes is checked too, and the
            // round starts again with half the delay
            const bool byTime = round % 2 == 0;
            qint64 delay = random.bounded(qMax<qint64>(m_runMs, 200));
            const int files = 1 + int(random.bounded(kPayees - 1));
            bool killed = false;
            for (int attempt = 0; attempt < 8 && !killed; ++attempt, delay /= 2) {
                QProcess p;
                p.start(program(), printArgs(folder));
                QVERIFY(p.waitForStarted());
                ++runs;
                QElapsedTimer t;
                t.start();
                while (p.state() != QProcess::NotRunning && !p.waitForFinished(1)) {
                    if (byTime ? t.elapsed() >= delay : pdfsIn(folder).size() >= files) {
                        ::kill(pid_t(p.processId()), SIGKILL);
                        killed = true;
                        QVERIFY(p.waitForFinished(60000));
                        break;
                    }
                }
                const QSet<QString> lockedNow = locked();
                const int pdfs = int(pdfsIn(folder).size());
                qInfo("round %d: %s %s, %lld CU locked, %d PDFs, hidden left: %lld", round,
                      killed ? "killed" : "ended", byTime ? qPrintable(QStringLiteral("after %1 ms").arg(delay))
                                                          : qPrintable(QStringLiteral("at %1 PDFs").arg(files)),
                      qlonglong(lockedNow.size()), pdfs, qlonglong(hiddenIn(folder).size()));
                checkDelivered(folder, lockedNow);
                if (killed) {
                    ++kills;
                    duringCut += pdfs > 0 && pdfs < kPayees ? 1 : 0;
                }
                leftovers += int(hiddenIn(folder).size());
                // the next run starts from nothing delivered, nothing locked;
                // what the killed run left in hiding stays for the next to remove
                for (const QString &cf : pdfsIn(folder))
                    QVERIFY(QFile::remove(QDir(folder).filePath(cf + QStringLiteral(".pdf"))));
                unlockAll();
            }
        }
        qInfo("%d runs, %d killed", runs, kills);
        QCOMPARE(kills, 12);
        QVERIFY2(duringCut > 0, "no kill fell while the PDFs were being written");
        QVERIFY2(leftovers > 0, "no killed run left anything to remove");

        const bool hidden = !hiddenIn(folder).isEmpty();
        const Result r = cli(printArgs(folder));
        QVERIFY2(r.status == 0, qPrintable(r.err + r.out));
        if (hidden)
            QVERIFY2(r.err.contains(QStringLiteral("lasciato da una stampa interrotta")), qPrintable(r.err));
        QCOMPARE(hiddenIn(folder), QStringList());
        QCOMPARE(locked().size(), kPayees);
        checkDelivered(folder, locked());
        QCOMPARE(pdfsIn(folder).size(), kPayees);
        unlockAll();
    }

    // A disk that fills up: while the whole document is written nothing is
    // locked and nothing stays; while the PDFs are cut the CUs of the files
    // written are locked, the payee whose file did not fit is named with the
    // reason, the others as not reached, status 1; with space again, a new
    // run completes.
    void aFullDiskLocksOnlyTheFilesWritten()
    {
        QVERIFY(!m_whole.isEmpty());
        TmpfsMount disk(8 * 1024 * 1024);
        VELCU_REQUIRE_TMPFS(disk);
        const QString folder = disk.filePath(QStringLiteral("percipienti"));
        QVERIFY(QDir().mkpath(folder));

        // the whole document in the run's work folder, on the full disk
        disk.fill();
        Result r = cli(printArgs(folder));
        QVERIFY2(r.status == 1, qPrintable(r.err + r.out));
        QVERIFY2(r.err.contains(QStringLiteral("spazio su disco esaurito")), qPrintable(r.err));
        QVERIFY(locked().isEmpty());
        QCOMPARE(pdfsIn(folder).size(), 0);
        QCOMPARE(hiddenIn(folder), QStringList());
        disk.release();

        // the whole document elsewhere (--out), room for about half the PDFs
        qint64 half = 0;
        for (int i = 0; i < kPayees / 2; ++i)
            half += (m_whole.value(m_codes.at(i)).size() + 4095) / 4096 * 4096;
        disk.fill(half);
        r = cli(printArgs(folder, {QStringLiteral("--out"), path(QStringLiteral("intero.pdf"))}));
        QVERIFY2(r.status == 1, qPrintable(r.err + r.out));
        const QSet<QString> written = pdfsIn(folder);
        QVERIFY2(written.size() > 0 && written.size() < kPayees, qPrintable(QString::number(written.size())));
        QCOMPARE(locked(), written);
        checkDelivered(folder, written);
        QCOMPARE(hiddenIn(folder), QStringList());
        QVERIFY(r.out.contains(QStringLiteral("CU stampati: %1.\n").arg(written.size())));
        QCOMPARE(r.out.count(QStringLiteral("File scritto: ")), written.size() + 1); // and the whole document
        // payee by payee: the one that did not fit, with the reason, the rest not reached
        const QStringList problems = r.err.split(QLatin1Char('\n')).filter(QStringLiteral("Non stampato: "));
        QCOMPARE(problems.size(), kPayees - written.size());
        QVERIFY2(problems.first().contains(QStringLiteral("spazio su disco esaurito")), qPrintable(problems.first()));
        for (qsizetype i = 1; i < problems.size(); ++i)
            QVERIFY2(problems.at(i).contains(QStringLiteral("non raggiunto")), qPrintable(problems.at(i)));
        QVERIFY(r.err.contains(QStringLiteral("PDF per percipiente non scritti: %1 su %2 (1 non riusciti, %3 non raggiunti).")
                                   .arg(kPayees - written.size())
                                   .arg(kPayees)
                                   .arg(kPayees - written.size() - 1)));
        qInfo("full disk: %lld of %d PDFs written, as many CUs locked", qlonglong(written.size()), kPayees);

        disk.release();
        r = cli(printArgs(folder));
        QVERIFY2(r.status == 0, qPrintable(r.err + r.out));
        QCOMPARE(locked().size(), kPayees);
        checkDelivered(folder, locked());
        QCOMPARE(pdfsIn(folder).size(), kPayees);
        unlockAll();
    }

    // Another run holding the folder: this one writes and locks nothing.
    // What an interrupted run left goes at the next run, nothing else does.
    void theFolderIsOneRunsAndLeftoversGo()
    {
        const QString folder = path(QStringLiteral("condivisa"));
        QVERIFY(QDir().mkpath(folder + QStringLiteral("/.velcu-stampa-AbC123")));
        QFile::copy(path(QStringLiteral("completa/")) + m_codes.first() + QStringLiteral(".pdf"),
                    folder + QStringLiteral("/.velcu-stampa-AbC123/CU-2026.pdf"));
        const QStringList stale{QStringLiteral(".") + m_codes.first() + QStringLiteral(".pdf.tmp-x1Y2z3")};
        const QStringList kept{QStringLiteral(".tenere"), QStringLiteral("altro.txt"), QStringLiteral(".velcu-stampa")};
        for (const QString &name : stale + kept) {
            QFile f(QDir(folder).filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("x");
        }
        {
            const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
            QVERIFY(fd >= 0);
            QCOMPARE(::flock(fd, LOCK_EX | LOCK_NB), 0);
            const Result busy = cli(printArgs(folder));
            ::close(fd);
            QVERIFY2(busy.status == 1, qPrintable(busy.err + busy.out));
            QVERIFY2(busy.err.contains(QStringLiteral("Un'altra stampa per percipiente sta scrivendo nella cartella")),
                     qPrintable(busy.err));
            QVERIFY(locked().isEmpty());
            QCOMPARE(pdfsIn(folder).size(), 0);
            QVERIFY(QFileInfo::exists(QDir(folder).filePath(stale.first())));
        }
        const Result r = cli(printArgs(folder));
        QVERIFY2(r.status == 0, qPrintable(r.err + r.out));
        QCOMPARE(r.err.count(QStringLiteral("lasciato da una stampa interrotta")), 2);
        QStringList left = hiddenIn(folder);
        left.sort();
        QCOMPARE(left, (QStringList{QStringLiteral(".tenere"), QStringLiteral(".velcu-stampa")}));
        QVERIFY(QFileInfo::exists(QDir(folder).filePath(QStringLiteral("altro.txt"))));
        QCOMPARE(pdfsIn(folder).size(), kPayees);
        QCOMPARE(locked().size(), kPayees);
        unlockAll();
    }

    // Two CUs that would have one file are refused before anything is
    // written, both named: never one PDF in the other's place.
    void twoCusOfOneFileAreRefused_data()
    {
        QTest::addColumn<QStringList>("codes"); // the CUs added, "CF/MM"
        QTest::addColumn<QString>("file");
        QTest::newRow("codes alike once their wrong characters are replaced")
            << QStringList{QStringLiteral("ZZZTST99A01H501/") + QStringLiteral("/12"), QStringLiteral("ZZZTST99A01H501*/12")}
            << QStringLiteral("ZZZTST99A01H501_.pdf");
        QTest::newRow("two CUs of one payee, two months")
            << QStringList{QStringLiteral("PRSTST01A01H501Z/06")} << QStringLiteral("PRSTST01A01H501Z.pdf");
    }

    void twoCusOfOneFileAreRefused()
    {
        QFETCH(QStringList, codes);
        QFETCH(QString, file);
        QList<TestStore::Values> cus;
        for (const QString &code : std::as_const(codes)) {
            const qsizetype slash = code.lastIndexOf(u'/');
            cus.append({{"SCUDCODFIS", code.left(slash)}, {"SCUDMESE", code.mid(slash + 1)},
                        {"SCUDCOGNOME", QStringLiteral("DOPPIO")}, {"SCUDNOME", code.mid(slash + 1)}});
        }
        TestStore::put(*m_store, "TCUD_DATICUD", cus);
        const QString folder = path(QStringLiteral("doppi-") + QString::number(QTest::currentDataTag()[0] == 'c'));
        const Result r = cli(printArgs(folder));
        QVERIFY2(r.status == 1, qPrintable(r.err + r.out));
        QVERIFY2(r.err.contains(QStringLiteral("due CU avrebbero lo stesso file")), qPrintable(r.err));
        // the file and both CUs, each with its code and month
        const QString line = r.err.section(file + QStringLiteral(": "), 1, 1).section(u'\n', 0, 0);
        QVERIFY2(!line.isEmpty(), qPrintable(r.err));
        for (const QString &code : std::as_const(codes)) {
            const qsizetype slash = code.lastIndexOf(u'/');
            QVERIFY2(line.contains(QStringLiteral("\"%1\"), mese %2").arg(code.left(slash), code.mid(slash + 1))),
                     qPrintable(line));
        }
        if (codes.size() == 1) // the payee's other CU
            QVERIFY2(line.contains(QStringLiteral("COGNOME01 NOME (codice fiscale \"PRSTST01A01H501Z\"), mese 12")),
                     qPrintable(line));
        QCOMPARE(pdfsIn(folder).size(), 0);
        QCOMPARE(hiddenIn(folder), QStringList());
        QVERIFY(locked().isEmpty());
    }
};

QTEST_MAIN(TstDbPrintPerPayee)
#include "tst_db_print_per_payee.moc"
