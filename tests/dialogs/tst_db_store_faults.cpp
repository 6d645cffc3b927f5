// The store's writes beyond the import with a fault at every kind of step:
// the Nth statement of the operation is refused (BEGIN and COMMIT included),
// on a fresh copy of the demo school's CUs each time, on either engine. The
// operations: the supply (annotation rows rebuilt, the agent's count), the
// summary, the ordinary and the per-payee print (the lock of the CUs printed, the
// annotation rows), the CU editor's Conferma of the main record and of a
// section row. After each point every CU of the store is whole (as before
// the operation or as after it, never a mix) and what the operation says it
// did is what the store holds.
#include "support/CuEditorFixture.h"
#include "support/StoreFaults.h"
#include "support/TestStore.h"

#include "platform/ui/framework/OvForms.h"
#include "src/prj/unit/model/VelError.h"
#include "src/prj/unit/import/VelImportCud.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/print/VelCuPrint.h"
#include "src/prj/unit/print/VelPerPayeePrint.h"
#include "src/prj/unit/telematic/TdmVelFile.h"
#include "tor/query/torCQueryText.h"
#include "src/prj/unit/dialogs/VelBoxRunHost.h"

#include <QElapsedTimer>
#include <QSettings>

namespace {

using Cus = QMap<QString, QString>;

// The demo school imported, its annotation rows taken away so that the
// supply and the ordinary print write them again.
void imported(TOvSQLConnection &c)
{
    ScriptedResponder ui;
    const auto s = TestStore::open(&c);
    TVelImportCud imp(*s, QueryText());
    imp.setRunHost(TVelBoxRunHost::instance());
    imp.options().IDWGID = 1;
    imp.options().anno = 2025;
    imp.options().IMESID = 12;
    imp.setCartellaTabelle(QStringLiteral(VELCU_STAGE_DIR "/USR/KZ2025/Res/Tabelle"));
    imp.hooks().onInfo = [](const QStringList &) {};
    QVERIFY(imp.importa().count(TVelResult::Fatto) > 0);
    TestStore::put(*s, "TCFO_FORNITORE", {{{"SFORCODFIS", QStringLiteral("80012345676")}, {"STFOCODICE", QStringLiteral("1")}}});
    TestStore::put(*s, "TCUS_DATISOST", {{{"SSOSCODFIS", QStringLiteral("80012345676")},
                                          {"SSOSDENOM", QStringLiteral("Istituto Dante Alighieri")},
                                          {"SSOSCFRAPPR", QStringLiteral("RSSMRA80A01H501U")}, {"SCARCODICE", QStringLiteral("1")},
                                          {"SSOSCOGNRAPPR", QStringLiteral("ROSSI")}, {"SSOSNOMERAPPR", QStringLiteral("MARIO")},
                                          {"SSOSFIRMACOM", QStringLiteral("MARIO ROSSI")}}});
    TestStore::put(*s, "TCUCT_DATICT", {{{"SCTCODFIS", QStringLiteral("80012345676")},
                                         {"SCTEMAIL", QStringLiteral("segreteria@scuola.it")}}});
    // annotations on a few CUs, in two rows of codes for one of them
    TClientDataSet cu;
    s->Load(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
    QStringList many;
    for (int i = 0; i < 55; ++i)
        many << QStringLiteral("AC) nota %1").arg(i);
    int n = 0;
    for (cu.first(); !cu.eof(); cu.next(), ++n) {
        cu.edit();
        // signed as the agent signs: the editor aligns them when it opens
        cu.fieldByName(QStringLiteral("SCUDDATIANAFIRMA")).setAsString(QStringLiteral("MARIO ROSSI"));
        if (n < 3)
            cu.fieldByName(QStringLiteral("SCUDANNOTAZIONI"))
                .setAsString(n == 0 ? many.join(QStringLiteral("\r\n")) : QStringLiteral("AC) detrazioni\nBO)"));
        cu.post();
    }
    s->Save(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
    TClientDataSet notes;
    s->Load(notes, QStringLiteral("TCUDA_ANNOTAZIONI"), TTorDBCds::AllMonths);
    for (notes.first(); !notes.isEmpty();)
        notes.deleteRecord();
    s->Save(notes, QStringLiteral("TCUDA_ANNOTAZIONI"), TTorDBCds::AllMonths);
}

// What one run of an operation left: what it said, and the store.
struct Point
{
    QStringList statements;
    bool fired = false;
    QString thrown;
    QString integrity;
    Cus cus;
    QStringList locked;   // CUs with iCudStato 1
    QString agentCount;   // ISOSNDIP of the agent
    QStringList reported; // what the operation says it did (its own terms)
    bool failed = false;  // the operation says it did not do it all
    QStringList log;
    // rows of a structure the operation warned it could not write (by
    // design the run goes on): they may be as before, the rest as after
    QString warnedOf;
};

// The CUs without the rows of `structure`.
Cus without(Cus cus, const QString &structure)
{
    if (structure.isEmpty())
        return cus;
    for (QString &v : cus) {
        QStringList lines = v.split(QLatin1Char('\n'));
        lines.removeIf([&](const QString &l) { return l.startsWith(structure + QLatin1Char(':')); });
        v = lines.join(QLatin1Char('\n'));
    }
    return cus;
}

using Operation = std::function<void(TOvSQLConnection &, TTorDBCds &, Point &, const std::function<void()> &arm)>;

// The operation on a fresh copy, the fault armed by it where its write
// begins (`arm`), at statement `failAt` from there.
Point runAt(StoreFaults::Copies &copies, qint64 failAt, const Operation &op)
{
    Point p;
    const auto c = copies.fresh();
    const auto s = TestStore::open(c.get());
    std::unique_ptr<StoreFaults::Fault> fault;
    try {
        op(*c, *s, p, [&] { fault = std::make_unique<StoreFaults::Fault>(*c, failAt); });
    } catch (const std::exception &e) {
        p.thrown = exceptionText(e);
    }
    if (fault) {
        fault->remove();
        p.statements = fault->texts();
        p.fired = fault->fired();
    }
    p.integrity = StoreFaults::integrity(*c);
    p.cus = StoreFaults::cus(*s);
    p.locked = StoreFaults::cusWhere(*s, "iCudStato", QStringLiteral("1"));
    TClientDataSet agent;
    s->Load(agent, QStringLiteral("TCUS_DATISOST"), TTorDBCds::AllMonths);
    agent.first();
    p.agentCount = agent.isEmpty() ? QString() : agent.fieldByName(QStringLiteral("ISOSNDIP")).asString();
    return p;
}

// Every CU as before or as after, never a mix, and none of another kind.
QString wholeness(const Cus &before, const Cus &after, const Cus &now)
{
    QSet<QString> keys(before.keyBegin(), before.keyEnd());
    for (auto it = after.keyBegin(); it != after.keyEnd(); ++it)
        keys.insert(*it);
    for (auto it = now.keyBegin(); it != now.keyEnd(); ++it)
        keys.insert(*it);
    for (const QString &k : std::as_const(keys)) {
        const QString v = now.value(k, QStringLiteral("<assente>"));
        if (v != before.value(k, QStringLiteral("<assente>")) && v != after.value(k, QStringLiteral("<assente>")))
        {
            // the lines that differ from before, and from after
            auto diff = [&v](const QString &other) {
                const QStringList a = v.split(QLatin1Char('\n')), b = other.split(QLatin1Char('\n'));
                QStringList out;
                for (const QString &l : a)
                    if (!b.contains(l))
                        out << QStringLiteral("+ ") + l.left(160);
                for (const QString &l : b)
                    if (!a.contains(l))
                        out << QStringLiteral("- ") + l.left(160);
                return out.join(QLatin1Char('\n'));
            };
            return QStringLiteral("CU %1 né come prima né come dopo:\nrispetto a prima:\n%2\nrispetto a dopo:\n%3")
                .arg(k, diff(before.value(k)), diff(after.value(k)));
        }
    }
    return QString();
}

// The sweep: a run without faults, then one per point over its statements.
// `check` says what is wrong with a point, empty when nothing.
void sweep(StoreFaults::Copies &copies, const Operation &op,
           const std::function<QString(const Point &ref, const Point &p)> &check)
{
    const Point before = runAt(copies, -2, [](TOvSQLConnection &, TTorDBCds &, Point &, const std::function<void()> &) {});
    QElapsedTimer clock;
    clock.start();
    Point ref = runAt(copies, -1, op);
    const qint64 perRun = std::max<qint64>(1, clock.elapsed());
    QVERIFY2(before.cus.size() > 30, qPrintable(QString::number(before.cus.size())));
    QVERIFY2(ref.thrown.isEmpty() && !ref.failed,
             qPrintable(ref.thrown + ref.reported.join(QLatin1Char(' ')) + ref.log.join(QLatin1Char('\n'))));
    QVERIFY(ref.cus != before.cus || ref.agentCount != before.agentCount);
    QVERIFY(!ref.statements.isEmpty());
    if (qEnvironmentVariableIsSet("VELCU_SWEEP_TRACE"))
        for (qsizetype i = 0; i < ref.statements.size(); ++i)
            qInfo("%lld %s", qint64(i + 1), qPrintable(ref.statements.at(i).left(150)));

    const int budget = int(std::clamp<qint64>(25000 / perRun, 12, 120));
    const QList<qint64> points = StoreFaults::points(ref.statements, budget);
    int failures = 0;
    for (const qint64 n : points) {
        const Point p = runAt(copies, n, op);
        const QString at = QStringLiteral("guasto all'istruzione %1 di %2 (%3): ")
                               .arg(n)
                               .arg(ref.statements.size())
                               .arg(ref.statements.at(n - 1).left(80));
        QVERIFY2(p.fired, qPrintable(at + QStringLiteral("non avvenuto")));
        QVERIFY2(p.integrity == QLatin1String("ok"), qPrintable(at + p.integrity));
        // a refused statement is never a run that went through
        QVERIFY2(p.failed || !p.thrown.isEmpty() || !p.warnedOf.isEmpty(), qPrintable(at + QStringLiteral("guasto non segnalato")));
        const QString whole = wholeness(without(before.cus, p.warnedOf), without(ref.cus, p.warnedOf),
                                        without(p.cus, p.warnedOf));
        QVERIFY2(whole.isEmpty(), qPrintable(at + whole + QStringLiteral("\n") + p.thrown + p.reported.join(QLatin1Char(' '))));
        const QString wrong = check(ref, p);
        QVERIFY2(wrong.isEmpty(), qPrintable(at + wrong));
        failures += p.cus == before.cus ? 1 : 0;
    }
    qInfo("punti di guasto provati: %lld su %lld istruzioni, archivio rimasto come prima: %d; %lld ms, di cui "
          "%lld per le copie",
          qint64(points.size()), qint64(ref.statements.size()), failures, qint64(clock.elapsed()), StoreFaults::copyMs);
    StoreFaults::copyMs = 0;
}

} // namespace

class TstDbStoreFaults : public QObject
{
    Q_OBJECT
    std::shared_ptr<QuietWait> m_wait = std::make_shared<QuietWait>();
    QTemporaryDir m_dir;
    // the store every point starts from, prepared once
    std::unique_ptr<StoreFaults::Copies> m_copies;

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QVERIFY(m_dir.isValid());
        setTorWaitIndicator(m_wait);
        QueryText().loadFromXml(QStringLiteral(VELCU_SOURCE_DIR "/tools/velcu-catalogue/rag_QueryText.xml"));
        m_copies = std::make_unique<StoreFaults::Copies>(imported);
    }

    void cleanupTestCase() { m_copies.reset(); }

    // The supply of every CU: the annotation rows are written whole or not
    // at all (then the run says so), the agent's count only when reported.
    void supply()
    {
        const QString ini = m_dir.filePath(QStringLiteral("velcu.ini"));
        QSettings(ini, QSettings::IniFormat)
            .setValue(QStringLiteral("FileTelematico/CodiceFiscaleProduttore"), QStringLiteral("01234567897"));
        const QString folder = m_dir.filePath(QStringLiteral("fornitura"));
        const Operation op = [&](TOvSQLConnection &, TTorDBCds &s, Point &p, const std::function<void()> &arm) {
            ScriptedResponder ui;
            QDir(folder).removeRecursively();
            QDir().mkpath(folder);
            TdmVelFile dm(s, QueryText());
            dm.setRunHost(TVelBoxRunHost::instance());
            dm.setSettingsFile(ini);
            dm.setWorkgroup(1);
            dm.setTablePaths(m_dir.filePath(QStringLiteral("TFIFI_FIELDSFILE.CDS")),
                             m_dir.filePath(QStringLiteral("TFILE_FILETELEM.CDS")));
            dm.log = [&p](const QString &l) { p.log << l; };
            dm.information = [](const QStringList &, bool) { return true; };
            // The faults fall on the generation and the save: the pre-check's
            // reads are tolerant by design (the municipalities' list, when it
            // cannot be read, gives way to the codes' shape), so a fault there
            // changes nothing to be seen.
            const TVelSupplyOpened opened = dm.open();
            const std::optional<TVelSupplyChecked> checked = opened.preCheck(dm.visitedRows(TdmVelFile::All));
            if (!checked) {
                p.failed = true;
                return;
            }
            arm();
            TVelSupplyGeneration g = checked->generate();
            if (!g.supply) {
                p.failed = true;
                // a fault of the store is said as one, with the stage reached
                if (!g.failure || g.failure->code != TVelErrorCode::Archivio || !g.failure->stage)
                    p.reported << QStringLiteral("generazione fallita senza il codice dell'archivio");
                return;
            }
            const TVelSupplySaved saved = g.supply->save(QDir(folder).filePath(QStringLiteral("CUR26")));
            for (const TVelRunWarning &w : saved.outcome.warnings)
                if (w.code == TVelWarningCode::AnnotazioniNonSalvate)
                    p.reported << QStringLiteral("annotazioni non salvate");
            if (!saved.outcome.fatal.isEmpty())
                p.reported << QStringLiteral("numero non registrato");
            p.failed = saved.files.isEmpty() || !p.reported.isEmpty();
        };
        sweep(*m_copies, op, [](const Point &ref, const Point &p) -> QString {
            if (p.reported.contains(QStringLiteral("generazione fallita senza il codice dell'archivio")))
                return p.reported.last();
            if (!p.thrown.isEmpty() || p.reported.isEmpty())
                return QString();
            // annotation rows said not saved: none of them is
            if (p.reported.contains(QStringLiteral("annotazioni non salvate")) && p.cus == ref.cus)
                return QStringLiteral("annotazioni dette non salvate ma presenti");
            if (p.reported.contains(QStringLiteral("numero non registrato")) && p.agentCount == ref.agentCount
                && p.cus == ref.cus)
                return QStringLiteral("numero delle certificazioni detto non registrato ma presente");
            if (!p.reported.contains(QStringLiteral("numero non registrato")) && p.agentCount != ref.agentCount)
                return QStringLiteral("numero delle certificazioni detto registrato ma assente");
            return QString();
        });
    }

    // The print of a few CUs: those it reports locked are exactly those the
    // store holds locked, summary, ordinary (which also writes the
    // annotation rows) and one file per payee (a lock per file).
    void printLock_data()
    {
        QTest::addColumn<bool>("ordinario");
        QTest::addColumn<bool>("perPayee");
        QTest::newRow("sintetico") << false << false;
        QTest::newRow("ordinario") << true << false;
        QTest::newRow("per percipiente") << false << true;
    }
    void printLock()
    {
        QFETCH(bool, ordinario);
        QFETCH(bool, perPayee);
        const QString folder = m_dir.filePath(QStringLiteral("Stp"));
        const Operation op = [&](TOvSQLConnection &, TTorDBCds &s, Point &p, const std::function<void()> &arm) {
            ScriptedResponder ui;
            TdmVelStampePDF stampe;
            stampe.ordinario = ordinario;
            TdmVelMain main;
            TVelCuPrint run(s, stampe, main);
            run.outputFolder = folder;
            run.warning = [&p](const QString &) { p.warnedOf = QStringLiteral("TCUDA_ANNOTAZIONI"); };
            arm();
            run.open();
            QList<TBookmark> rows = run.allRows();
            rows = rows.mid(0, 4);
            QFile::remove(QDir(folder).filePath(QStringLiteral("CU.pdf")));
            TVelRunOutcome outcome;
            try {
                if (perPayee) {
                    const QString payees = m_dir.filePath(QStringLiteral("percipienti"));
                    QDir(payees).removeRecursively();
                    QDir().mkpath(payees);
                    VelPdfSplit::FolderGuard guard(payees);
                    guard.removeLeftovers();
                    outcome = VelPerPayeePrint::run(run, rows, payees, guard).outcome;
                } else {
                    outcome = run.print(rows, QStringLiteral("CU")).outcome;
                }
            } catch (const std::exception &e) {
                p.failed = true;
                // a print that raised says with its error what it did
                const auto *typed = dynamic_cast<const EVelError *>(&e);
                QVERIFY(perPayee || (typed && typed->runOutcome()));
                if (!perPayee)
                    outcome = *typed->runOutcome();
            }
            for (const TVelPayeeOutcome &o : outcome.payees) {
                if (o.result == TVelResult::Fatto)
                    p.reported << o.codFis.toUpper() + QLatin1Char('/') + o.mese;
                else
                    p.failed = true;
            }
            p.reported.sort();
        };
        sweep(*m_copies, op, [](const Point &, const Point &p) -> QString {
            if (p.reported != p.locked)
                return QStringLiteral("dette bloccate: %1; bloccate nell'archivio: %2")
                    .arg(p.reported.join(QLatin1Char(' ')), p.locked.join(QLatin1Char(' ')));
            return QString();
        });
    }

    // Conferma in "Dati CU": after a refused save the store holds the CU as
    // before, the editor still holds what was typed and says it was not
    // saved; after a save that went through, nothing is said.
    void editorSave_data()
    {
        QTest::addColumn<bool>("section");
        QTest::newRow("quadro principale") << false;
        QTest::newRow("riga INPS") << true;
    }
    void editorSave()
    {
        QFETCH(bool, section);
        const Operation op = [&](TOvSQLConnection &, TTorDBCds &s, Point &p, const std::function<void()> &arm) {
            ScriptedResponder ui;
            std::unique_ptr<TfmVelCud> fm(ovCreate<TfmVelCud>());
            fm->setStore(&s);
            fm->show();
            QApplication::processEvents();
            TfrVelCud *fr = fm->frVelCud;
            TfrTorDbFrame *frame = fr;
            QString field = QStringLiteral("SCUDCOMNAS");
            QVariant typed = QStringLiteral("NAPOLI");
            if (section) {
                fr->showPage(QStringLiteral("INPS - Sez. 1"));
                for (int i = 0; fr->frVelInps->cdsMain->isEmpty() && i < 60; ++i)
                    fr->next();
                frame = fr->frVelInps;
                field = QStringLiteral("FCUDIMPONIBILE");
                typed = QVariant::fromValue(money("12345.67"));
            }
            frame->editRow();
            frame->cdsMain->fieldByName(field).setValue(typed);
            const QString typedText = frame->cdsMain->fieldByName(field).asString();
            const int said = int(ui.texts().size());
            arm();
            frame->acConferma->trigger();
            const bool told = ui.texts().size() > said;
            p.failed = told;
            if (told)
                p.reported << QStringLiteral("detto non salvato");
            if (frame->cdsMain->fieldByName(field).asString() != typedText)
                p.reported << QStringLiteral("digitato perso");
            if (!told && frame->cdsMain->changeCount() != 0)
                p.reported << QStringLiteral("salvato ma in sospeso");
            if (frame->cdsMain->modified())
                ui.answer(IDNO, QStringLiteral("modifiche non confermate"));
            fm->close();
        };
        sweep(*m_copies, op, [](const Point &ref, const Point &p) -> QString {
            if (p.reported.contains(QStringLiteral("digitato perso")))
                return QStringLiteral("il valore digitato non è più nell'editor");
            if (p.reported.contains(QStringLiteral("salvato ma in sospeso")))
                return QStringLiteral("nessun errore detto, ma la modifica è ancora in sospeso");
            if (p.failed && p.cus == ref.cus)
                return QStringLiteral("detto non salvato ma salvato");
            return QString();
        });
    }
};

QTEST_MAIN(TstDbStoreFaults)
#include "tst_db_store_faults.moc"
