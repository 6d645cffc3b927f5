// Every window of the program's command table driven into its failures on a
// running program: no program for PDFs (no xdg-open on the PATH), a missing or
// unreadable file, a database another workstation holds locked, an empty
// selection or file name. Each failure is said in Italian by the window itself,
// the window stays open and usable, and the unconfirmed change waiting in
// "Dati CU" is still there at the end, guarded by the usual question.
// The application's last net is checked apart, with handlers that throw.
#include "support/ModalWatch.h"
#include "support/ScriptedResponder.h"
#include "support/TestDb.h"
#include "support/TestInstallation.h"

#include "platform/core/OvExceptions.h"
#include "platform/ui/framework/OvApplication.h"
#include "platform/framework/OvShell.h"
#include "platform/ui/framework/TfmOvChildDoc.h"
#include "src/prj/unit/editors/TfmVelCud.h"
#include "src/prj/unit/editors/TfmVelSostituti.h"
#include "src/prj/unit/editors/TfrVelCud.h"
#include "src/prj/unit/editors/TfrVelSostituti.h"
#include "src/prj/unit/dialogs/TfmVelPDF.h"
#include "src/prj/unit/dialogs/TfmVelPdfSost.h"
#include "src/prj/unit/dialogs/TfmVelStampaFirme.h"
#include "src/prj/unit/print/VelCuPrint.h"
#include "src/prj/unit/shell/TfmVelParametri.h"
#include "src/prj/unit/dialogs/TfmVelFile.h"
#include "tor/store/torUDBCds.h"

#include <QAction>
#include <QDialog>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QToolButton>
#include <QtTest>

#include <sys/fsuid.h>
#include <unistd.h>

#include <functional>

namespace {

const QString kSchoolTaxCode = QStringLiteral("92017840536");
const QString kNetPrefix = QStringLiteral("Errore non previsto: ");

// Presses what stands for the action on screen (its tool button), through the
// application's event delivery as a user's click would.
void press(QWidget *root, QAction *action)
{
    for (QToolButton *b : root->findChildren<QToolButton *>())
        if (b->defaultAction() == action && b->isVisible() && b->isEnabled()) {
            QTest::mouseClick(b, Qt::LeftButton);
            return;
        }
    action->trigger();
}

void click(QAbstractButton *b)
{
    QTest::mouseClick(b, Qt::LeftButton);
}

// Another workstation in the middle of a long save: SQLite's write lock, or
// PostgreSQL's lock on the store's tables.
struct WriterHolding
{
    TOvSQLConnection other{TestDb::config()};
    WriterHolding()
    {
        other.openOrThrow();
        if (TestDb::isPostgres()) {
            other.exec(QStringLiteral("BEGIN"));
            other.exec(QStringLiteral("LOCK TABLE tafi_anafiscale, tfis_datifiscali, tcds_struttura IN EXCLUSIVE MODE"));
        } else {
            other.exec(QStringLiteral("BEGIN IMMEDIATE"));
        }
    }
    ~WriterHolding() { other.exec(QStringLiteral("ROLLBACK")); }
};

// The program's own connection gives up on a lock within a moment (the
// program waits seconds; the outcome is the same).
TOvDbConfig impatient()
{
    TOvDbConfig cfg = TestDb::config();
    if (TestDb::isPostgres()) {
        if (cfg.connectOptions.contains(QLatin1String("options='")))
            cfg.connectOptions.replace(QLatin1String("options='"), QLatin1String("options='-clock_timeout=300 "));
        else
            cfg.connectOptions = QStringLiteral("options='-clock_timeout=300'");
    } else {
        cfg.connectOptions = QStringLiteral("QSQLITE_BUSY_TIMEOUT=300");
    }
    return cfg;
}

// A file that exists but that the office's own user cannot read. The tests run
// as root, who reads everything: the click is then made with the file access
// of an ordinary user (Linux's file-system uid, this thread only).
struct Unreadable
{
    QString file;
    QStringList folders;
    Unreadable(const QString &path, const QString &root) : file(path)
    {
        QFile::setPermissions(file, {});
        for (QString dir = QFileInfo(path).absolutePath(); dir.startsWith(root); dir = QFileInfo(dir).absolutePath()) {
            folders << dir;
            QFile::setPermissions(dir, QFile::permissions(dir) | QFile::ExeOther | QFile::ExeGroup);
            if (dir == root)
                break;
        }
    }
    ~Unreadable() { QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner); }
    template <typename F> void asOfficeUser(F &&f)
    {
        const bool root = geteuid() == 0;
        if (root)
            setfsuid(65534);
        f();
        if (root)
            setfsuid(0);
    }
};

// A PATH holding no opener of documents, and no browser named by the environment.
struct NoViewer
{
    QTemporaryDir empty;
    QByteArray path = qgetenv("PATH");
    NoViewer()
    {
        qputenv("PATH", empty.path().toUtf8());
        qunsetenv("BROWSER");
        qunsetenv("DEFAULT_BROWSER");
    }
    ~NoViewer() { qputenv("PATH", path); }
};

// Calls fn on the print or supply window once it runs its own event loop (other modal
// windows, such as the store's wait window, come and go before it).
void whenPrintWindow(std::function<void(QWidget *)> fn)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, fn = std::move(fn)] {
        QWidget *w = QApplication::activeModalWidget();
        if (!qobject_cast<TfmVelPDF *>(w) && !qobject_cast<TfmVelPdfSost *>(w) && !qobject_cast<TfmVelStampaFirme *>(w)
            && !qobject_cast<TfmVelFile *>(w))
            return;
        timer->stop();
        timer->deleteLater();
        fn(w);
    });
    timer->start();
}

// Two CUs and the agent's data, as an import leaves them.
void seedCus(TTorDBCds *store)
{
    for (const auto &[cf, surname] : {std::pair{"RSSMRA80A01H501U", "ROSSI"}, std::pair{"BNCLRA75B41F205I", "BIANCHI"}}) {
        TClientDataSet cu;
        store->Load(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        cu.append();
        cu.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(QLatin1String(cf));
        cu.fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(QLatin1String(surname));
        cu.fieldByName(QStringLiteral("SCUDNOME")).setAsString(QStringLiteral("ANNA"));
        cu.fieldByName(QStringLiteral("SCUDMESE")).setAsString(QStringLiteral("12"));
        cu.fieldByName(QStringLiteral("LCUDCOMPRENSIVO")).setAsString(QStringLiteral("X"));
        cu.post();
        store->Save(cu, QStringLiteral("TCUD_DATICUD"), 12);
    }
    {
        TClientDataSet agent;
        store->Load(agent, QStringLiteral("TCUS_DATISOST"));
        agent.append();
        agent.fieldByName(QStringLiteral("SSOSCODFIS")).setAsString(kSchoolTaxCode);
        agent.fieldByName(QStringLiteral("SSOSDENOM")).setAsString(QStringLiteral("I.C. DANTE ALIGHIERI"));
        agent.fieldByName(QStringLiteral("SSOSEMAIL")).setAsString(QStringLiteral("raic899006@istruzione.it"));
        agent.post();
        store->Save(agent, QStringLiteral("TCUS_DATISOST"));
    }
}

template <typename T> T *childOf(TfmVelMain *main)
{
    for (QWidget *w : main->mdiChildren())
        if (auto *t = qobject_cast<T *>(w))
            return t;
    return nullptr;
}

} // namespace

class TstDbWindowFaults : public QObject
{
    Q_OBJECT

    // One failure: the command opening the window (empty: the main window),
    // what comes before (a print that works), the failing click, and the
    // message that must follow it.
    struct Case
    {
        QString name;
        QString command;
        std::function<void(QWidget *)> prepare;
        std::function<void(QWidget *)> fail;
        std::function<QString()> expected;   // exact text; empty: an error of the store
    };

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QApplication::setApplicationVersion(QStringLiteral("6.97.29"));
    }

    void everyWindowSaysItsFailureAndStaysOpen()
    {
        Installation inst;
        inst.copyStagedResources();
        NoViewer noViewer;
        ScriptedResponder user;
        QVERIFY(inst.startWithYear(QStringLiteral("2025"), impatient()));
        TfmVelMain *main = inst.main();
        TTorDBCds *store = main->fiscalStore();
        const int netBefore = TOvApplication::caught();

        seedCus(store);
        {
            TClientDataSet cu;   // BIANCHI's CU has been printed
            store->Load(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
            QVERIFY(cu.locate(QStringLiteral("SCUDCODFIS"), QStringLiteral("BNCLRA75B41F205I")));
            cu.edit();
            cu.fieldByName(QStringLiteral("iCudStato")).setValue(1);
            cu.post();
            store->Save(cu, QStringLiteral("TCUD_DATICUD"), 12);
        }

        QVERIFY(inst.table()->Execute(QStringLiteral("xafDatiCud")));
        auto *cud = childOf<TfmVelCud>(main);
        QVERIFY(cud);
        TfrVelCud *fr = cud->frVelCud;
        QTRY_COMPARE(fr->cdsMain->recordCount(), 2);

        // "Dati CU" itself, on a locked database: an unlock and a delete that
        // cannot be saved leave the printed CU as it was.
        QVERIFY(fr->cdsMain->locate(QStringLiteral("SCUDCODFIS"), QStringLiteral("BNCLRA75B41F205I")));
        for (const auto &[action, question] : {std::pair{fr->acStato, "si desidera modificarlo"},
                                               std::pair{fr->acCancella, "Confermi la cancellazione"}}) {
            WriterHolding lock;
            user.clear();
            user.answer(IDYES, QLatin1String(question));
            press(cud, action);
            QCOMPARE(user.pendingAnswers(), 0);
            QVERIFY(!user.shown().isEmpty());
            QCOMPARE(user.shown().last().icon, OvMessageIcon::Error);
            QVERIFY2(!user.lastText().startsWith(kNetPrefix), qPrintable(user.lastText()));
            QVERIFY(cud->isVisible());
            QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
            QCOMPARE(fr->cdsMain->recordCount(), 2);
            QVERIFY(fr->cdsMain->locate(QStringLiteral("SCUDCODFIS"), QStringLiteral("BNCLRA75B41F205I")));
            QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("iCudStato")).asString(), QStringLiteral("1"));
        }
        user.clear();
        TClientDataSet stored;
        store->Load(stored, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        QCOMPARE(stored.recordCount(), 2);
        QVERIFY(stored.locate(QStringLiteral("SCUDCODFIS"), QStringLiteral("BNCLRA75B41F205I")));
        QCOMPARE(stored.fieldByName(QStringLiteral("iCudStato")).asString(), QStringLiteral("1"));

        // The change the office is typing and has not confirmed yet.
        QVERIFY(fr->cdsMain->locate(QStringLiteral("SCUDCODFIS"), QStringLiteral("RSSMRA80A01H501U")));
        press(cud, fr->acModifica);
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Edit);
        fr->cdsMain->fieldByName(QStringLiteral("SCUDCOMNAS")).setAsString(QStringLiteral("TORINO"));
        const auto pendingEditIsThere = [&] {
            return cud->isVisible() && fr->cdsMain->state() == TDataSetState::Edit
                   && fr->cdsMain->fieldByName(QStringLiteral("SCUDCOMNAS")).asString() == QLatin1String("TORINO")
                   && fr->cdsMain->fieldByName(QStringLiteral("SCUDCODFIS")).asString()
                          == QLatin1String("RSSMRA80A01H501U");
        };
        QVERIFY(pendingEditIsThere());

        const QString stp = inst.root.filePath(QStringLiteral("USR/KZ2025/Stp/"));
        const QString cuPdf = stp + QStringLiteral("CU-2026.pdf");
        const auto noViewerFor = [](const QString &path) {
            return [path] { return QStringLiteral("Nessun programma per aprire i PDF: il file è ") + path; };
        };
        const auto missing = [](const QString &path) {
            return [path] { return QStringLiteral("Impossibile aprire il documento \"%1\": il file non esiste.").arg(path); };
        };
        const auto asPrint = [](QWidget *w) { return qobject_cast<TfmVelPDF *>(w); };
        const auto asAgentPrint = [](QWidget *w) { return qobject_cast<TfmVelPdfSost *>(w); };
        std::unique_ptr<WriterHolding> lock;
        std::unique_ptr<Unreadable> unreadable;
        QImage screenshot;
        QString supplyLog;

        const QList<Case> cases = {
            {"CU sintetico: Selezionati senza righe", "xafStampa", {},
             [&](QWidget *w) {
                 click(asPrint(w)->rbSelezionati);
                 click(asPrint(w)->buCreatePdf);
             },
             [] { return TfmVelPDF::noCuToPrint(); }},
            {"CU sintetico: database bloccato", "xafStampa", [&](QWidget *) { lock = std::make_unique<WriterHolding>(); },
             [&](QWidget *w) {
                 user.answer(IDYES, QStringLiteral("segnerà come stampati"));
                 click(asPrint(w)->buCreatePdf);
                 lock.reset();
             },
             {}},
            {"CU sintetico: nessun programma per i PDF", "xafStampa",
             [&](QWidget *w) {
                 // the document the case above wrote is there: asked first
                 user.answer(IDYES, QStringLiteral("CU-2026.pdf\" esiste già"));
                 user.answer(IDYES, QStringLiteral("segnerà come stampati")); // the CUs locked from here on
                 click(asPrint(w)->buCreatePdf);
             },
             [&](QWidget *w) {
                 click(asPrint(w)->buOpenPdf);
                 screenshot = w->grab().toImage();
             },
             noViewerFor(cuPdf)},
            {"CU sintetico: nome del file cambiato dopo la stampa", "xafStampa",
             [&](QWidget *w) {
                 user.answer(IDYES, QStringLiteral("CU-2026.pdf\" esiste già"));
                 click(asPrint(w)->buCreatePdf);
             },
             [&](QWidget *w) {
                 asPrint(w)->edPdfFileName->setText(QStringLiteral("CU-2026-copia"));
                 click(asPrint(w)->buOpenPdf);
             },
             missing(stp + QStringLiteral("CU-2026-copia.pdf"))},
            {"CU ordinario: file non leggibile", "xafStpCuOrd",
             [&](QWidget *w) {
                 click(asPrint(w)->buCreatePdf);
                 unreadable = std::make_unique<Unreadable>(stp + QStringLiteral("CU_Ordinario-2026.pdf"), inst.root.path());
             },
             [&](QWidget *w) {
                 unreadable->asOfficeUser([&] { click(asPrint(w)->buOpenPdf); });
                 unreadable.reset();
             },
             [&] {
                 return QStringLiteral("Impossibile aprire il documento \"%1\": il file non è leggibile (Permesso negato).")
                     .arg(stp + QStringLiteral("CU_Ordinario-2026.pdf"));
             }},
            {"Frontespizio: nome del file vuoto", "xafStpSost", {},
             [&](QWidget *w) {
                 asAgentPrint(w)->edFile->clear();
                 click(asAgentPrint(w)->buCrea);
             },
             [] {
                 return QStringLiteral("Indicare un nome di file valido per la stampa (senza cartelle né i caratteri "
                                       "\\ / : * ? \" < > |).");
             }},
            {"Frontespizio: nessun programma per i PDF", "xafStpSost",
             [&](QWidget *w) { click(asAgentPrint(w)->buCrea); },
             [&](QWidget *w) { click(asAgentPrint(w)->buApri); },
             [&] { return QStringLiteral("Nessun programma per aprire i PDF: il file è ") + stp + QStringLiteral("Frontespizio.pdf"); }},
            {"Quadro CT: file tolto dopo la stampa", "xaFQuadroCT",
             [&](QWidget *w) { click(asAgentPrint(w)->buCrea); },
             [&](QWidget *w) {
                 QDir(stp).removeRecursively();
                 click(asAgentPrint(w)->buApri);
             },
             [&] { return QStringLiteral("Impossibile aprire il documento \"%1\": il file non esiste.").arg(stp + QStringLiteral("QuadroCT.pdf")); }},
            {"Firma ricevute: nessun programma per i PDF", "xafStampaFirme", {},
             [&](QWidget *w) { click(w->findChild<QPushButton *>(QStringLiteral("buStampa"))); },
             [&] { return QStringLiteral("Nessun programma per aprire i PDF: il file è ") + stp + QStringLiteral("Firme.pdf"); }},
            {"Note invio telematico: nessun programma per i PDF", "", {},
             [&](QWidget *) { main->findChild<QAction *>(QStringLiteral("miNoteTel"))->trigger(); },
             noViewerFor(inst.res() + QStringLiteral("invio_telematico.pdf"))},
            {"Provvedimento: file mancante", "", [&](QWidget *) { QFile::remove(inst.res() + QStringLiteral("Provvedimento.pdf")); },
             [&](QWidget *) { main->findChild<QAction *>(QStringLiteral("acProvAppr"))->trigger(); },
             missing(inst.res() + QStringLiteral("Provvedimento.pdf"))},
            {"File Telematico: fornitore mancante", "xafFile", {},
             [&](QWidget *w) {
                 auto *fm = qobject_cast<TfmVelFile *>(w);
                 click(fm->buNext);
                 user.answer(IDYES);   // go on despite the missing data the pre-check lists
                 click(fm->buCreaFile);
                 supplyLog = fm->meLog->toPlainText();
             },
             [] { return QStringLiteral("Operazione terminata con errore"); }},
            {"Parametri: anno vuoto", "xafParametri", {},
             [&](QWidget *w) {
                 auto *fm = qobject_cast<TfmVelParametri *>(w);
                 (void)QTest::qWaitFor([fm] { return !fm->edAnnoFin->text().isEmpty(); }, 10000);
                 fm->edAnnoFin->clear();
                 click(fm->buOk);
             },
             [] { return QStringLiteral("L'anno finanziario deve essere compreso tra 2025 e 2026."); }},
            {"Dati Sostituto: database bloccato", "axfDatiSost", {},
             [&](QWidget *w) {
                 auto *fm = qobject_cast<TfmVelAgentForm *>(w);
                 (void)QTest::qWaitFor([fm] { return fm->frame()->cdsMain->active(); }, 10000);
                 press(fm, fm->frame()->acModifica);
                 fm->frame()->cdsMain->fieldByName(QStringLiteral("SSOSDENOM")).setAsString(QStringLiteral("I.C. MANZONI"));
                 WriterHolding held;
                 press(fm, fm->frame()->acConferma);
             },
             {}},
        };

        for (const Case &c : cases) {
            const QByteArray name = c.name.toUtf8();
            user.clear();
            bool stillOpen = false;
            QString title;
            const auto run = [&](QWidget *w) {
                title = w->windowTitle();
                if (c.prepare)
                    c.prepare(w);
                user.clear();
                c.fail(w);
                stillOpen = w->isVisible();
            };
            if (c.command.isEmpty()) {
                run(main);
            } else if (inst.table()->command(c.command) && static_cast<TOvAttForm *>(inst.table()->command(c.command))->ModalForm) {
                whenPrintWindow([&](QWidget *w) {
                    run(w);
                    static_cast<QDialog *>(w)->reject();
                });
                inst.table()->Execute(c.command);
            } else {
                QVERIFY2(inst.table()->Execute(c.command), name.constData());
                QWidget *w = nullptr;
                for (QWidget *child : main->mdiChildren())
                    if (child != cud)
                        w = child;
                QVERIFY2(w, name.constData());
                run(w);
                if (auto *fm = qobject_cast<TfmVelAgentForm *>(w))
                    if (fm->frame()->cdsMain->state() != TDataSetState::Browse)
                        press(fm, fm->frame()->acAnnulla);
                if (auto *sub = qobject_cast<QMdiSubWindow *>(w->parentWidget()))
                    sub->close();
                QTRY_COMPARE(main->mdiChildCount(), 1);
            }
            QVERIFY2(stillOpen, name.constData());
            QVERIFY2(main->isVisible(), name.constData());
            QVERIFY2(!user.shown().isEmpty(), name.constData());
            const QString said = QString(c.name + QStringLiteral(": ") + user.texts().join(QStringLiteral(" | "))).replace(QLatin1String("\r\n"), QLatin1String(" / "));
            bool anError = false;
            for (const OvMessage &m : user.shown()) {
                QVERIFY2(!m.text.startsWith(kNetPrefix), qPrintable(said));
                anError = anError || m.icon == OvMessageIcon::Error;
            }
            if (c.expected)
                QVERIFY2(user.texts().contains(c.expected()), qPrintable(said));
            else
                QVERIFY2(anError, qPrintable(said));
            QVERIFY2(pendingEditIsThere(), name.constData());
        }
        QCOMPARE(TOvApplication::caught(), netBefore);   // every window said its own error
        QVERIFY2(supplyLog.contains(QStringLiteral("Dati del fornitore mancanti, impossibile procedere!")), qPrintable(supplyLog));

        // The picture of the print window after "Apri stampa dichiarazione",
        // with the message it showed as the office sees it.
        const QString dir = qEnvironmentVariable("VELCU_SCREENSHOT_DIR");
        if (!dir.isEmpty() && !screenshot.isNull()) {
            QMessageBox box(QMessageBox::Critical, QApplication::applicationName(),
                            noViewerFor(cuPdf)(), QMessageBox::NoButton);
            box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
            box.show();
            QApplication::processEvents();
            const QImage message = box.grab().toImage();
            QPainter p(&screenshot);
            p.drawImage((screenshot.width() - message.width()) / 2, (screenshot.height() - message.height()) / 2, message);
            p.end();
            screenshot.save(QDir(dir).filePath(QStringLiteral("cu-print-window-no-viewer.png")));
        }

        // Closing still asks about the change, which is still there.
        user.clear();
        user.answer(IDCANCEL, QStringLiteral("modifiche non confermate"));
        QVERIFY(!main->close());
        QVERIFY(pendingEditIsThere());
        press(cud, fr->acAnnulla);
        QVERIFY(main->close());
    }

    // Esc during a print: the run stops before the next CU, nothing is
    // marked printed, the window stays until the run is over.
    void closingDuringAPrintStopsTheRunAndKeepsTheWindow()
    {
        Installation inst;
        inst.copyStagedResources();
        ScriptedResponder user;
        QVERIFY(inst.startWithYear(QStringLiteral("2025")));
        seedCus(inst.main()->fiscalStore());
        bool closedMidRun = false;
        bool openAfter = false;
        QString log;
        whenPrintWindow([&](QWidget *w) {
            auto *fm = qobject_cast<TfmVelPDF *>(w);
            QPointer<TfmVelPDF> alive(fm);
            auto progress = fm->run().progress;
            fm->run().progress = [&, fm, progress](int done, int total) {
                if (done == 1 && !closedMidRun) {
                    closedMidRun = true;
                    QTest::keyClick(fm, Qt::Key_Escape);
                }
                return progress(done, total);
            };
            user.answer(IDYES, QStringLiteral("segnerà come stampati"));
            click(fm->buCreatePdf);
            openAfter = alive && fm->isVisible();
            if (alive) {
                log = fm->meOut->toPlainText();
                fm->reject();
            }
        });
        QVERIFY(inst.table()->Execute(QStringLiteral("xafStampa")));
        QVERIFY(closedMidRun);
        QVERIFY(openAfter);
        QVERIFY2(log.contains(QStringLiteral("Stampa interrotta: nessun CU segnato come stampato.")), qPrintable(log));
        QVERIFY(!QFile::exists(inst.root.filePath(QStringLiteral("USR/KZ2025/Stp/CU-2026.pdf"))));
        TClientDataSet cu;
        inst.main()->fiscalStore()->Load(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        for (cu.first(); !cu.eof(); cu.next())
            QCOMPARE(cu.fieldByName(QStringLiteral("iCudStato")).asString().toInt(), 0);
        // nothing said but the question before the print
        QCOMPARE(user.texts().size(), 1);
        QVERIFY(user.texts().first().contains(QStringLiteral("segnerà come stampati")));
    }

    // The last net: handlers that let an error out, in a window and in a
    // modal dialog. The error is shown, the event loop and the dialog go on.
    void theApplicationStopsWhatAHandlerLetsOut()
    {
        ScriptedResponder user;
        const int before = TOvApplication::caught();
        QWidget window;
        auto *failing = new QPushButton(QStringLiteral("Prova"), &window);
        int clicks = 0;
        QObject::connect(failing, &QPushButton::clicked, &window, [&] {
            ++clicks;
            throw EOvError(QStringLiteral("Impossibile aprire il documento \"x.pdf\": il file non esiste."));
        });
        window.show();
        QTest::mouseClick(failing, Qt::LeftButton);
        QCOMPARE(user.texts(), QStringList{TOvApplication::netText(
                                   QStringLiteral("Impossibile aprire il documento \"x.pdf\": il file non esiste."))});
        QCOMPARE(user.shown().first().icon, OvMessageIcon::Error);
        QVERIFY(!failing->isDown());
        // The button still answers.
        QTest::mouseClick(failing, Qt::LeftButton);
        QCOMPARE(clicks, 2);
        QCOMPARE(user.shown().size(), 2);

        // Inside a modal dialog, with an error that is no exception class of ours.
        user.clear();
        QDialog dialog;
        auto *odd = new QPushButton(QStringLiteral("Strano"), &dialog);
        QObject::connect(odd, &QPushButton::clicked, &dialog, [] { throw 42; });
        bool openAfter = false;
        whenModal([&](QWidget *w) {
            QTest::mouseClick(odd, Qt::LeftButton);
            openAfter = w->isVisible();
            dialog.accept();
        });
        QCOMPARE(dialog.exec(), int(QDialog::Accepted));
        QVERIFY(openAfter);
        QCOMPARE(user.texts(), QStringList{TOvApplication::netText(QStringLiteral("eccezione sconosciuta"))});
        QCOMPARE(TOvApplication::caught(), before + 3);
    }
};

int main(int argc, char **argv)
{
    TOvApplication app(argc, argv);
    TstDbWindowFaults tc;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&tc, argc, argv);
}

#include "tst_db_window_faults.moc"
