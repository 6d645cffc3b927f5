// The office's second campaign on the demo school, on both engines: in March
// two CUs already sent are corrected, one replaced and one cancelled, each with
// the protocol of the agency's receipt. Through velcu-cli (started as a
// process of the installation): flag, list, the supply of just those with the
// right operation and protocol in each record D and the right counts, the
// mixed supplies refused naming the CUs out of place. Through the windows,
// headless: the "su Prenotazione" list puts the flagged CUs first, marked and
// chosen, finds a payee like "Dati CU", and asks before a mixed supply.
#include "support/DemoCampaign.h"
#include "support/ScriptedResponder.h"
#include "support/TestDb.h"
#include "support/TestStore.h"

#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "platform/ui/framework/OvForms.h"
#include "src/prj/unit/dialogs/TfmVelFile.h"
#include "src/prj/unit/editors/TfmVelCud.h"
#include "src/prj/unit/editors/TfrVelCud.h"
#include "src/prj/unit/import/VelUniEmensDemo.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "src/prj/unit/telematic/TdmVelFile.h"
#include "src/prj/unit/telematic/VelCorrections.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"
#include "src/prj/unit/dialogs/VelBoxRunHost.h"

#include <QApplication>
#include <QCheckBox>
#include <QScrollArea>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Result
{
    int status = -1;
    QString out, err;
};

// The records of a supply file, each without its CR LF.
QList<QByteArray> records(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = f.readAll();
    QList<QByteArray> out;
    for (qsizetype at = 0; at + 1900 <= bytes.size(); at += 1900)
        out << bytes.mid(at, 1898);
    return out;
}

// A field of a record by its 1-based position and width.
QByteArray field(const QByteArray &record, int pos, int width)
{
    return record.mid(pos - 1, width);
}

const QString kReplaceProtocol = QStringLiteral("26031012345678901/000012");
const QString kCancelProtocol = QStringLiteral("26031012345678901/000013");

} // namespace

class TstDbCorrections : public QObject
{
    Q_OBJECT
    DemoCampaign m_demo;
    QString m_replaced, m_cancelled, m_other; // tax codes

    Result cli(const QStringList &args, bool withDb = true)
    {
        QProcess p;
        p.start(QStringLiteral(VELCU_STAGE_DIR "/bin/velcu-cli"), withDb ? args + m_demo.dbArgs : args);
        if (!p.waitForFinished(600000))
            qFatal("velcu-cli did not end");
        return Result{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                      QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }

    QString path(const QString &name) const { return m_demo.path(name); }
    QStringList supplyArgs(const QString &file) const
    {
        return {QStringLiteral("fornitura"), QStringLiteral("--out"), path(file), QStringLiteral("--forza"),
                QStringLiteral("--cartella-lavoro"), path(QStringLiteral("lavoro"))};
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QVERIFY2(m_demo.setUp(), qPrintable(m_demo.failure));
        QStringList codes = TestStore::valuesBy(*m_demo.store, "TCUD_DATICUD", "SCUDCODFIS", "SCUDMESE").keys();
        codes.sort();
        QVERIFY(codes.size() > 20);
        m_replaced = codes.at(3);
        m_cancelled = codes.at(7);
        m_other = codes.at(11);
    }

    // Flags, the list, and the usage the command refuses, each saying why.
    void theCommandLineFlagsAndLists()
    {
        Result r = cli({QStringLiteral("correzione")});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("Nessun CU segnato per sostituzione o annullamento.\n"));

        struct Refused
        {
            QStringList args;
            int status;
            QString says;
        };
        const QList<Refused> refused{
            {{QStringLiteral("--sostituisci"), m_replaced}, 2, QStringLiteral("Indicare il protocollo")},
            {{QStringLiteral("--sostituisci"), m_replaced, QStringLiteral("--protocollo"), QStringLiteral("123/45")},
             2, QStringLiteral("Protocollo non valido: \"123/45\"")},
            {{QStringLiteral("--annulla"), m_cancelled, QStringLiteral("--sostituisci"), m_replaced,
              QStringLiteral("--protocollo"), kCancelProtocol},
             2, QStringLiteral("Indicare una sola")},
            {{QStringLiteral("--annulla"), QStringLiteral("XXXXXX00A00X000X"), QStringLiteral("--protocollo"),
              kCancelProtocol},
             1, QStringLiteral("Nessun CU in archivio per il codice fiscale XXXXXX00A00X000X.")},
            {{QStringLiteral("--annulla"), m_cancelled, QStringLiteral("--protocollo"), kCancelProtocol,
              QStringLiteral("--mese"), QStringLiteral("3")},
             1, QStringLiteral("non ha un CU del mese 03")},
        };
        for (const Refused &k : refused) {
            r = cli(QStringList{QStringLiteral("correzione")} + k.args);
            QVERIFY2(r.status == k.status && r.err.contains(k.says), qPrintable(k.args.join(u' ') + u'\n' + r.err));
        }
        TClientDataSet stored;
        m_demo.store->Load(stored, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        QVERIFY(VelCorrections::flaggedRows(stored).isEmpty());

        // the other payee first flagged, then the flag taken back: no protocol stays
        r = cli({QStringLiteral("correzione"), QStringLiteral("--annulla"), m_other, QStringLiteral("--protocollo"),
                 kCancelProtocol});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        r = cli({QStringLiteral("correzione"), QStringLiteral("--togli"), m_other});
        QVERIFY2(r.status == 0 && r.out.contains(m_other + QStringLiteral(" ")), qPrintable(r.err + r.out));
        QVERIFY(r.out.contains(QStringLiteral("nessuna correzione")));
        QCOMPARE(TestStore::valuesBy(*m_demo.store, "TCUD_DATICUD", "SCUDCODFIS", "SCUDIDENTSERVTELE").value(m_other),
                 QString());

        r = cli({QStringLiteral("correzione"), QStringLiteral("--sostituisci"), m_replaced.toLower(),
                 QStringLiteral("--protocollo"), kReplaceProtocol});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY2(r.out.contains(QStringLiteral("Sostituzione, protocollo ") + kReplaceProtocol), qPrintable(r.out));
        r = cli({QStringLiteral("correzione"), QStringLiteral("--annulla"), m_cancelled, QStringLiteral("--protocollo"),
                 kCancelProtocol});
        QVERIFY2(r.status == 0, qPrintable(r.err));
        r = cli({QStringLiteral("correzione")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.startsWith(QStringLiteral("CU segnati per la correzione: 2\n")), qPrintable(r.out));
        QVERIFY(r.out.contains(m_replaced + u' ') && r.out.contains(QStringLiteral("Sostituzione, protocollo ") + kReplaceProtocol));
        QVERIFY(r.out.contains(m_cancelled + u' ') && r.out.contains(QStringLiteral("Annullamento, protocollo ") + kCancelProtocol));
    }

    // The supply of the corrections alone, checked; mixed supplies refused.
    void theCorrectionSupply()
    {
        // the year's supply with the flagged CUs in it: refused, naming them
        Result r = cli(supplyArgs(QStringLiteral("CUR26_tutti")));
        QVERIFY2(r.status == 1, qPrintable(r.out + r.err));
        QVERIFY2(r.err.contains(QStringLiteral("La fornitura ordinaria comprende 2 CU segnati")), qPrintable(r.err));
        QVERIFY(r.err.contains(m_replaced) && r.err.contains(m_cancelled) && !r.err.contains(m_other));
        QVERIFY(!QFile::exists(path(QStringLiteral("CUR26_tutti"))));
        // a correction with an ordinary CU: refused, naming the ordinary one
        r = cli(supplyArgs(QStringLiteral("CUR26_misto")) + QStringList{QStringLiteral("--cf"), m_replaced + u',' + m_other});
        QVERIFY2(r.status == 1, qPrintable(r.out + r.err));
        QVERIFY2(r.err.contains(QStringLiteral("comprende 1 CU non segnati")), qPrintable(r.err));
        QVERIFY(r.err.contains(m_other) && !r.err.contains(m_replaced + u' '));
        QVERIFY(!QFile::exists(path(QStringLiteral("CUR26_misto"))));
        // ... unless the office says so
        r = cli(supplyArgs(QStringLiteral("CUR26_misto")) + QStringList{QStringLiteral("--cf"), m_replaced + u',' + m_other,
                                                                         QStringLiteral("--misto")});
        QVERIFY2(r.status == 0 && QFile::exists(path(QStringLiteral("CUR26_misto"))), qPrintable(r.out + r.err));

        // the March supply: just the two, with their operation and protocol
        const QString march = path(QStringLiteral("CUR26_marzo"));
        r = cli(supplyArgs(QStringLiteral("CUR26_marzo")) + QStringList{QStringLiteral("--prenotati")});
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        QVERIFY(r.out.contains(QStringLiteral("Controllo superato: 1 file")));
        const QList<QByteArray> recs = records(march);
        QMap<QByteArray, QByteArray> dByPayee;
        int b = 0;
        for (const QByteArray &rec : recs) {
            QCOMPARE(rec.size(), 1898);
            if (rec.at(0) == 'D')
                dByPayee.insert(field(rec, 26, 16).trimmed(), rec);
            b += rec.at(0) == 'B';
        }
        QCOMPARE(b, 1);
        QCOMPARE(dByPayee.size(), 2);
        const QByteArray replaced = dByPayee.value(m_replaced.toLatin1());
        const QByteArray cancelled = dByPayee.value(m_cancelled.toLatin1());
        QCOMPARE(field(replaced, 84, 1), QByteArray("S"));
        QCOMPARE(field(replaced, 47, 17), QByteArray("26031012345678901"));
        QCOMPARE(field(replaced, 64, 6), QByteArray("000012"));
        QCOMPARE(field(cancelled, 84, 1), QByteArray("A"));
        QCOMPARE(field(cancelled, 47, 17), QByteArray("26031012345678901"));
        QCOMPARE(field(cancelled, 64, 6), QByteArray("000013"));
        // record B counts the two certifications, record Z the two D records
        const QByteArray recB = recs.at(1);
        QCOMPARE(recB.at(0), 'B');
        QCOMPARE(field(recB, 402, 8), QByteArray("00000002"));
        QCOMPARE(recs.last().at(0), 'Z');
        QCOMPARE(field(recs.last(), 34, 9), QByteArray("000000002"));
        r = cli({QStringLiteral("controlla"), march}, false);
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    }

    // The CU editor's correction boxes say what they do and hold, beside the
    // model's own texts, and their tooltips name no internal field.
    void theCorrectionBoxesExplainThemselves()
    {
        ScriptedResponder user;
        std::unique_ptr<TfmVelCud> fm(ovCreate<TfmVelCud>());
        fm->setStore(m_demo.store.get());
        fm->resize(1024, 768);
        fm->show();
        TfrVelCud *fr = fm->frVelCud;
        QVERIFY(fr->cdsMain->locate(QStringLiteral("SCUDCODFIS"), m_replaced));
        fr->showDetail();
        fr->pcCud->setCurrentIndex(0);
        QApplication::processEvents();
        struct Box
        {
            const char *widget;
            QString model;   // the model's text, kept
            QString says;    // what the office reads beside it
        };
        const QList<Box> boxes{
            {"chLCUDANNULLAMENTO", QStringLiteral("TIPO DI COMUNICAZIONE"), QStringLiteral("Annullamento: cancella il CU già inviato")},
            {"chLCUDSOSTITUZIONE", QStringLiteral("Sostituzione"), QStringLiteral("prende il posto di quello già inviato")},
            {"edSCUDIDENTSERVTELE", QStringLiteral("IDENTIFICATIVO"), QStringLiteral("17 cifre")},
            {"edSCUDPROGRDICH", QStringLiteral("PROGRESSIVO ATTRIBUITO"), QStringLiteral("6 cifre")},
        };
        QWidget *page = fr->pcCud->widget(0);
        for (const Box &b : boxes) {
            QWidget *box = page->findChild<QWidget *>(QLatin1String(b.widget));
            QVERIFY2(box, b.widget);
            QLabel *caption = nullptr;
            for (QLabel *l : page->findChildren<QLabel *>())
                if (l->buddy() == box)
                    caption = l;
            QVERIFY2(caption, b.widget);
            QVERIFY2(caption->text().startsWith(b.model.left(4)) || caption->text().contains(b.model), qPrintable(caption->text()));
            QVERIFY2(caption->text().contains(b.says), qPrintable(caption->text()));
            for (const QString &tip : {caption->toolTip(), box->toolTip()})
                QVERIFY2(!tip.isEmpty() && !tip.contains(QStringLiteral("CUD")), qPrintable(tip));
        }
        // the flag the command line set is the one the editor shows
        QVERIFY(page->findChild<QCheckBox *>(QStringLiteral("chLCUDSOSTITUZIONE"))->isChecked());
        QVERIFY(!page->findChild<QCheckBox *>(QStringLiteral("chLCUDANNULLAMENTO"))->isChecked());
        if (const QString dir = qEnvironmentVariable("VELCU_SCREENSHOT_DIR"); !dir.isEmpty()) {
            QApplication::processEvents();
            QWidget *last = page->findChild<QWidget *>(QStringLiteral("edSCUDPROGRDICH"));
            QList<QScrollArea *> scrolls = page->findChildren<QScrollArea *>();
            if (auto *own = qobject_cast<QScrollArea *>(page))
                scrolls << own;
            for (QScrollArea *scroll : scrolls)
                if (scroll->widget() && scroll->widget()->isAncestorOf(last))
                    scroll->ensureWidgetVisible(last, 50, 60);
            QApplication::processEvents();
            fm->grab().save(QDir(dir).filePath(QStringLiteral("dati-cu-correzione.png")));
        }
        fm->close();
    }

    // "su Prenotazione": the flagged CUs first, marked and chosen; the search
    // of "Dati CU" moves the current row only; a mixed supply asks first.
    void theReservedListInTheWindow()
    {
        ScriptedResponder user;
        TdmVelFile dm(*m_demo.store, QueryText());
        dm.setRunHost(TVelBoxRunHost::instance());
        dm.setWorkgroup(1);
        dm.setTablePaths(path(QStringLiteral("lavoro/TFIFI_FIELDSFILE.CDS")),
                         path(QStringLiteral("lavoro/TFILE_FILETELEM.CDS")));
        dm.information = [](const QStringList &, bool) { return true; };
        std::unique_ptr<TfmVelFile> form(ovCreate<TfmVelFile>(nullptr, &dm));
        form->resize(1024, 768);
        form->show();
        form->rbPrenotazione->setChecked(true);
        QVERIFY(form->edCerca->isEnabled());
        QAbstractItemModel *grid = form->dbgDip->model();
        auto cf = [grid](int row) { return grid->index(row, 0).data().toString(); };
        QCOMPARE(grid->headerData(4, Qt::Horizontal).toString(), QStringLiteral("Correzione"));
        QCOMPARE(QSet<QString>({cf(0), cf(1)}), QSet<QString>({m_replaced, m_cancelled}));
        QCOMPARE(grid->index(cf(0) == m_replaced ? 0 : 1, 4).data().toString(), QStringLiteral("Sostituzione"));
        QCOMPARE(grid->index(cf(0) == m_replaced ? 1 : 0, 4).data().toString(), QStringLiteral("Annullamento"));
        QVERIFY(grid->index(0, 1).data(Qt::FontRole).value<QFont>().bold());
        QVERIFY(grid->index(2, 4).data().toString().isEmpty());
        QCOMPARE(form->dbgDip->selectionModel()->selectedRows().size(), 2);
        if (const QString dir = qEnvironmentVariable("VELCU_SCREENSHOT_DIR"); !dir.isEmpty()) {
            QApplication::processEvents();
            form->grab().save(QDir(dir).filePath(QStringLiteral("su-prenotazione-correzioni.png")));
        }

        // the search: the current row moves to the payee, the choice stays
        QTest::keyClicks(form->edCerca, m_other.left(10));
        QCOMPARE(cf(form->dbgDip->currentIndex().row()), m_other);
        QCOMPARE(form->dbgDip->selectionModel()->selectedRows().size(), 2);
        QTest::keyClicks(form->edCerca, QStringLiteral("ZZZ"));
        QCOMPARE(form->lbTrovato->text(), QStringLiteral("Nessuna CU trovata"));

        // the ordinary payee added by hand: the supply asks, naming it; "No" makes nothing
        form->dbgDip->selectionModel()->select(form->dbgDip->currentIndex(),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(form->ChangePage(true));
        user.answer(IDNO, QStringLiteral("La fornitura di correzione comprende 1 CU non segnati"));
        form->creaFile();
        QVERIFY(user.shown().last().text.contains(m_other));
        QVERIFY(!form->buOk->isEnabled());
        QVERIFY(form->meLog->toPlainText().contains(QStringLiteral("Fornitura non generata")));
        // back, the two alone: no question, the supply is made
        QVERIFY(form->ChangePage(false));
        QCOMPARE(form->dbgDip->selectionModel()->selectedRows().size(), 2); // chosen again after the reload
        QVERIFY(form->ChangePage(true));
        form->creaFile();
        QVERIFY2(form->buOk->isEnabled(), qPrintable(form->meLog->toPlainText() + user.texts().join(u'\n')));
        QCOMPARE(user.pendingAnswers(), 0);

        // "Tutti" with flagged CUs among them: asked, naming the two
        QVERIFY(form->ChangePage(false));
        form->rbTutti->setChecked(true);
        QVERIFY(form->ChangePage(true));
        user.answer(IDNO, QStringLiteral("La fornitura ordinaria comprende 2 CU segnati"));
        form->creaFile();
        QVERIFY(user.shown().last().text.contains(m_replaced) && user.shown().last().text.contains(m_cancelled));
        form->close();
    }

    // A draft never takes a final print's name: without --out it is
    // CU-2026-Bozza.pdf beside CU-2026.pdf, and written over a final print it
    // is refused, --sovrascrivi or not. Run from a copy of the installation,
    // whose Stp folder is its own.
    void aDraftNeverTakesTheFinalPrintsPlace()
    {
        QTemporaryDir root;
        const QDir stage(QStringLiteral(VELCU_STAGE_DIR));
        QDirIterator it(stage.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString rel = stage.relativeFilePath(it.next());
            if ((rel.startsWith(QStringLiteral("bin/")) && rel != QStringLiteral("bin/velcu-cli"))
                || rel.startsWith(QStringLiteral("usr/")) || rel.contains(QStringLiteral("/Stp/"))
                || rel.contains(QStringLiteral("/DichCU/")) || rel.startsWith(QStringLiteral("USR/KZDati/")))
                continue;
            QVERIFY(QDir().mkpath(QFileInfo(root.filePath(rel)).path()));
            QVERIFY2(QFile::copy(stage.filePath(rel), root.filePath(rel)), qPrintable(rel));
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("VELCU_STAGE_DIR")); // the copy's own folders
        auto stampa = [&](const QStringList &more) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(root.filePath(QStringLiteral("bin/velcu-cli")),
                    QStringList{QStringLiteral("stampa"), QStringLiteral("--sintetico"), QStringLiteral("--cf"), m_other}
                        + more + m_demo.dbArgs);
            if (!p.waitForFinished(600000))
                qFatal("velcu-cli did not end");
            return Result{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                          QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
        };
        auto bytes = [](const QString &file) {
            QFile f(file);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QString stp = root.filePath(QStringLiteral("USR/KZ2025/Stp/"));
        const QString final = stp + QStringLiteral("CU-2026.pdf");
        const QString draft = stp + QStringLiteral("CU-2026-Bozza.pdf");
        Result r = stampa({});
        QVERIFY2(r.status == 0 && r.out.contains(QStringLiteral("File scritto: ") + final), qPrintable(r.out + r.err));
        const QByteArray printed = bytes(final);
        r = stampa({QStringLiteral("--bozza")});
        QVERIFY2(r.status == 0 && r.out.contains(QStringLiteral("File scritto: ") + draft), qPrintable(r.out + r.err));
        QCOMPARE(bytes(final), printed);
        for (const QStringList &over : {QStringList{QStringLiteral("--out"), final},
                                         QStringList{QStringLiteral("--out"), final, QStringLiteral("--sovrascrivi")}}) {
            r = stampa(QStringList{QStringLiteral("--bozza")} + over);
            QVERIFY2(r.status == 1 && r.err.contains(QStringLiteral("è una stampa definitiva")), qPrintable(r.out + r.err));
            QCOMPARE(bytes(final), printed);
        }
        // a draft replaces a draft, when asked to
        r = stampa({QStringLiteral("--bozza")});
        QVERIFY2(r.status == 1 && r.err.contains(QStringLiteral("esiste già")), qPrintable(r.err));
        r = stampa({QStringLiteral("--bozza"), QStringLiteral("--sovrascrivi")});
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
    }
};

QTEST_MAIN(TstDbCorrections)
#include "tst_db_corrections.moc"
