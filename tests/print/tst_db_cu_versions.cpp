// One version of a CU, whoever touches it, on both engines. The other
// workstation is velcu-cli of the installation, a process of its own on the
// same database, started while this one is half-way through its work:
//  - a print locks exactly the CUs whose version it printed: a CU corrected or
//    imported again by the other workstation while the pages are made stays
//    unlocked and is named; every other CU is locked, and the counts are what
//    the store holds (the whole document, and one PDF per payee);
//  - "Dati CU": a change typed before another workstation printed the CU, or
//    imported it again, is refused at "Conferma" saying what changed; the
//    printed CU stays locked, no CU is written for a person gone, and "Sì"
//    reads the CU again.
#include "support/CuEditorFixture.h"
#include "support/DemoCampaign.h"
#include "support/PdfWords.h"

#include "src/prj/unit/model/VelCuByMonth.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/print/VelCuPrint.h"
#include "src/prj/unit/print/VelPerPayeePrint.h"

namespace {

const QString kProtocol = QStringLiteral("26031012345678901/000012");

} // namespace

class TstDbCuVersions : public QObject
{
    Q_OBJECT
    DemoCampaign m_demo;
    QStringList m_codes;

    TTorDBCds &store() { return *m_demo.store; }

    // Tax code -> iCudStato as the store holds it.
    QMap<QString, QString> states()
    {
        return TestStore::valuesBy(store(), "TCUD_DATICUD", "SCUDCODFIS", "iCudStato");
    }
    QSet<QString> locked() { return TestStore::lockedCodes(store()); }
    void unlockAll()
    {
        velSaveCuByMonth(store(), QStringLiteral("TCUD_DATICUD"), [](TClientDataSet &one) {
            if (one.fieldByName(QStringLiteral("iCudStato")).asInteger() == 0)
                return false;
            one.edit();
            one.fieldByName(QStringLiteral("iCudStato")).setValue(0);
            one.post();
            return true;
        });
    }
    // The CU's person and version now (0, 0 when there is none).
    QPair<qint64, qint64> versionOf(const QString &cf)
    {
        QSqlQuery q = m_demo.db->exec(QStringLiteral("SELECT iafiid, iafiversione FROM tafi_anafiscale WHERE "
                                                     "lower(saficodfiscale) = lower(:CF) AND safigruppoana <> ''"),
                                      {{QStringLiteral("CF"), cf}});
        return q.next() ? qMakePair(q.value(0).toLongLong(), q.value(1).toLongLong()) : qMakePair(0LL, 0LL);
    }
    int storedRowsOf(qint64 person)
    {
        QSqlQuery q = m_demo.db->exec(QStringLiteral("SELECT COUNT(*) FROM tfis_datifiscali WHERE iafiid = :A"),
                                      {{QStringLiteral("A"), person}});
        return q.next() ? q.value(0).toInt() : -1;
    }
    QString storedText(const QString &cf, const char *field)
    {
        return TestStore::valuesBy(store(), "TCUD_DATICUD", "SCUDCODFIS", field).value(cf);
    }

    // The other workstation: a correction of the CU, committed.
    void correct(const QString &cf)
    {
        const StagedProgram::Run r = m_demo.cli(
            {QStringLiteral("correzione"), QStringLiteral("--sostituisci"), cf, QStringLiteral("--protocollo"), kProtocol});
        QVERIFY2(r.status == 0, qPrintable(r.err + r.out));
    }
    // The other workstation: the CU imported again, replacing it.
    void reimport(const QString &cf)
    {
        const StagedProgram::Run r =
            m_demo.cli({QStringLiteral("import"), QStringLiteral("--mese"), QStringLiteral("12"),
                        QStringLiteral("--inpdap"), QStringLiteral("uniemens"), QStringLiteral("--sovrascrivi"),
                        QStringLiteral("sempre"), QStringLiteral("--cf"), cf});
        QVERIFY2(r.status == 0, qPrintable(r.err + r.out));
    }
    // The other workstation prints (and locks) every CU.
    void printAll()
    {
        const StagedProgram::Run r = m_demo.cli({QStringLiteral("stampa"), QStringLiteral("--sintetico"),
                                                 QStringLiteral("--out"), m_demo.path(QStringLiteral("altra.pdf"))});
        QVERIFY2(r.status == 0, qPrintable(r.err + r.out));
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QVERIFY2(m_demo.setUp(), qPrintable(m_demo.failure));
        m_codes = m_demo.codes();
        QVERIFY(m_codes.size() > 20);
    }

    // While the pages are made the other workstation corrects a CU already
    // paged and one not yet reached, and imports a third again: the print
    // reads every CU once, so none of the three is locked (each named), and
    // exactly the others are.
    void aPrintLocksOnlyTheVersionsItPrinted_data()
    {
        QTest::addColumn<bool>("perPayee");
        QTest::newRow("documento intero") << false;
        QTest::newRow("un PDF per percipiente") << true;
    }
    void aPrintLocksOnlyTheVersionsItPrinted()
    {
        QFETCH(bool, perPayee);
        unlockAll();
        QVERIFY(locked().isEmpty());
        TdmVelStampePDF stampe;
        TdmVelMain main;
        TVelCuPrint run(store(), stampe, main);
        run.open();
        run.outputFolder = m_demo.path(perPayee ? QStringLiteral("lavoro-pp") : QStringLiteral("stampa"));
        const QList<TBookmark> rows = run.allRows();
        QStringList order; // the tax codes in the order printed
        for (const TBookmark b : rows)
            order << run.payeeOf(b).codFis;
        // other CUs in each row: a correction made again is no change
        const int d = perPayee ? 1 : 0;
        const QString paged = order.at(2 + d), ahead = order.at(order.size() - 3 - d),
                      imported = order.at(order.size() - 6 - d);
        const QPair<qint64, qint64> importedBefore = versionOf(imported);
        bool done = false;
        run.progress = [&](int k, int) {
            if (k == 5 && !done) {
                done = true;
                correct(paged);
                correct(ahead);
                reimport(imported);
            }
            return true;
        };
        TVelRunOutcome outcome;
        if (perPayee) {
            const QString folder = m_demo.path(QStringLiteral("percipienti"));
            QVERIFY(QDir().mkpath(folder));
            VelPdfSplit::FolderGuard guard(folder);
            guard.removeLeftovers();
            const VelPerPayeePrint::Result r = VelPerPayeePrint::run(run, rows, folder, guard);
            QVERIFY(r.printed);
            outcome = r.outcome;
            QCOMPARE(QDir(folder).entryList({QStringLiteral("*.pdf")}).size(), order.size());
        } else {
            const TVelPrintResult r = run.print(rows, QStringLiteral("CU-versioni"));
            QVERIFY(r.written());
            outcome = r.outcome;
        }
        QVERIFY(done);

        const QSet<QString> changed{paged, ahead, imported};
        QSet<QString> expected(order.cbegin(), order.cend());
        expected -= changed;
        const QSet<QString> lockedNow = locked();
        QVERIFY2(lockedNow == expected,
                 qPrintable(QStringList((lockedNow - expected).values()).join(u',') + QStringLiteral(" / ")
                            + QStringList((expected - lockedNow).values()).join(u',')));
        QCOMPARE(run.newlyLocked(), int(expected.size()));
        // the outcome says exactly that, payee by payee
        int done_ = 0;
        for (const TVelPayeeOutcome &p : outcome.payees) {
            if (changed.contains(p.codFis)) {
                QCOMPARE(p.result, TVelResult::Errore);
                QVERIFY2(p.reason.contains(p.codFis == imported
                                               ? QStringLiteral("non bloccata: eliminata o importata di nuovo da "
                                                                "un'altra postazione dopo la stampa")
                                               : QStringLiteral("non bloccata: modificata da un'altra postazione "
                                                                "dopo la stampa")),
                         qPrintable(p.codFis + QStringLiteral(": ") + p.reason));
            } else {
                QVERIFY2(p.result == TVelResult::Fatto, qPrintable(p.codFis + QStringLiteral(": ") + p.reason));
                ++done_;
            }
        }
        QCOMPARE(done_, int(expected.size()));
        // the corrections stand, unlocked; the CU imported again is another person
        QVERIFY(states().value(paged) != QLatin1String("1"));
        QCOMPARE(storedText(paged, "LCUDSOSTITUZIONE"), QStringLiteral("1"));
        QCOMPARE(storedText(ahead, "SCUDIDENTSERVTELE"), kProtocol.section(QLatin1Char('/'), 0, 0));
        QVERIFY(versionOf(imported).first != importedBefore.first);
        // a locked CU is the version printed, moved on once by its lock
        for (const TVelPayeeOutcome &p : outcome.payees)
            if (p.result == TVelResult::Fatto)
                QVERIFY(versionOf(p.codFis).second >= 2);
    }

    // "Dati CU" on one workstation, the other one printing or importing
    // again: the change typed is refused at "Conferma" with what changed,
    // kept on screen after "No", gone after "Sì"; the printed CU stays
    // locked and nothing is written for a person no longer there.
    void theEditorNeverWritesOverAnotherWorkstation_data()
    {
        QTest::addColumn<bool>("reimport");
        QTest::newRow("stampata dall'altra postazione") << false;
        QTest::newRow("importata di nuovo dall'altra postazione") << true;
    }
    void theEditorNeverWritesOverAnotherWorkstation()
    {
        QFETCH(bool, reimport);
        unlockAll();
        const QString cf = m_codes.at(reimport ? 9 : 4);
        const QPair<qint64, qint64> before = versionOf(cf);
        QVERIFY(before.first > 0);
        const QString surname = storedText(cf, "SCUDCOGNOME");

        ScriptedResponder r;
        std::unique_ptr<TfmVelCud> fm(ovCreate<TfmVelCud>());
        fm->setStore(&store());
        fm->resize(1024, 700);
        fm->show();
        QApplication::processEvents();
        TfrVelCud *fr = fm->frVelCud;
        QVERIFY(fr->cdsMain->locate(QStringLiteral("SCUDCODFIS"), cf));
        fr->acModifica->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Edit);
        fr->cdsMain->fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(surname + QStringLiteral(" BIS"));

        if (reimport)
            this->reimport(cf);
        else
            printAll();
        const QPair<qint64, qint64> other = versionOf(cf);
        QVERIFY(other != before);

        const QString refused = reimport ? QStringLiteral("non è più in archivio") : QStringLiteral("è stata modificata");
        r.answer(IDNO, refused);
        fr->acConferma->trigger();
        QVERIFY2(r.lastText().contains(reimport ? QStringLiteral("Punto") : QStringLiteral("la CU è stata stampata"),
                                       Qt::CaseInsensitive)
                     || reimport,
                 qPrintable(r.lastText()));
        // nothing written: the store as the other workstation left it
        QCOMPARE(versionOf(cf), other);
        QCOMPARE(storedText(cf, "SCUDCOGNOME"), surname);
        QCOMPARE(states().value(cf) == QLatin1String("1"), !reimport);
        if (reimport)
            QCOMPARE(storedRowsOf(before.first), 0); // no phantom CU of the person gone
        // what was typed is still on screen
        QVERIFY(fr->cdsMain->locate(QStringLiteral("SCUDCODFIS"), cf));
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("SCUDCOGNOME")).asString(), surname + QStringLiteral(" BIS"));

        // "Sì": the CU read again, as stored, nothing pending
        r.answer(IDYES, refused);
        fr->acModifica->trigger();
        fr->cdsMain->fieldByName(QStringLiteral("SCUDNOME")).setAsString(QStringLiteral("ALTRO"));
        fr->acConferma->trigger();
        QCOMPARE(fr->cdsMain->changeCount(), 0);
        QVERIFY(fr->cdsMain->locate(QStringLiteral("SCUDCODFIS"), cf));
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("SCUDCOGNOME")).asString(), surname);
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("iCudStato")).asInteger(), reimport ? 0 : 1);
        QCOMPARE(versionOf(cf), other);
        QVERIFY(r.failures().isEmpty());

        if (reimport) {
            // read again, the CU saves over its new version
            fr->acModifica->trigger();
            fr->cdsMain->fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(surname + QStringLiteral(" TER"));
            fr->acConferma->trigger();
            QCOMPARE(storedText(cf, "SCUDCOGNOME"), surname + QStringLiteral(" TER"));
            QCOMPARE(versionOf(cf).second, other.second + 1);
        }
    }
};

QTEST_MAIN(TstDbCuVersions)
#include "tst_db_cu_versions.moc"
