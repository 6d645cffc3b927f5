// The whole year without a mouse, on the demo school and on both engines:
// agent, supplier and Quadro CT data, the import of every payee, one CU
// corrected in the CU editor, the supply written and passing the checker,
// the prints (one document and one PDF per payee), then a re-import after a
// change in payroll that replaces only the CUs not printed yet. Every command
// is velcu-cli started as a process of the installation.
#include "support/ScriptedResponder.h"
#include "support/TestDb.h"
#include "support/TestStore.h"
#include "support/TmpfsMount.h"

#include "platform/core/OvItalian.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/model/VelError.h"
#include "src/prj/unit/import/VelImportReport.h"
#include "src/prj/unit/check/VelSupplyCheck.h"
#include "src/prj/unit/editors/TfmVelCud.h"
#include "src/prj/unit/editors/TfrVelCud.h"
#include "src/prj/unit/telematic/TdmVelFile.h"
#include "src/prj/unit/dialogs/TfmVelFile.h"
#include "src/prj/unit/telematic/VelTaxCode.h"
#include "src/prj/unit/shell/TfmVelParametri.h"
#include "src/prj/unit/import/VelUniEmensDemo.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "platform/ui/framework/OvForms.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"
#include "src/prj/unit/dialogs/VelBoxRunHost.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>
#include <QtTest>

namespace {

struct Result
{
    int status = -1;
    QString out, err;
};

// Text of a PDF (pdftotext), or its page count (pdfinfo).
QString pdfText(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        qFatal("pdftotext failed on %s", qPrintable(pdf));
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        qFatal("pdfinfo failed on %s", qPrintable(pdf));
    static const QRegularExpression re(QStringLiteral("Pages:\\s+(\\d+)"));
    return re.match(QString::fromUtf8(p.readAllStandardOutput())).captured(1).toInt();
}

// With VELCU_SCREENSHOT_DIR set, a window of the tour of the window path.
void tourShot(QWidget *w, const QString &name)
{
    const QString dir = qEnvironmentVariable("VELCU_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QApplication::processEvents();
    w->grab().save(QDir(dir).filePath(name));
}

} // namespace

class TstDbCampaign : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<TOvSQLConnection> m_db;
    std::unique_ptr<TTorDBCds> m_store;
    QStringList m_dbArgs;

    // velcu-cli as the office runs it: a process of the installation.
    Result cli(const QStringList &args, bool withDb = true)
    {
        QProcess p;
        p.start(QStringLiteral(VELCU_STAGE_DIR "/bin/velcu-cli"), withDb ? args + m_dbArgs : args);
        if (!p.waitForFinished(600000))
            qFatal("velcu-cli did not end");
        return Result{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                      QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // The CUs in the store: tax code -> field values.
    QMap<QString, QVariantMap> cus()
    {
        TClientDataSet ds;
        m_store->Load(ds, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        QMap<QString, QVariantMap> out;
        for (ds.first(); !ds.eof(); ds.next()) {
            QVariantMap m;
            for (int i = 0; i < ds.fieldCount(); ++i)
                if (!ds.field(i).isNull())
                    m.insert(ds.fieldDefs().at(i).name.toUpper(), ds.field(i).value());
            out.insert(ds.fieldByName(QStringLiteral("SCUDCODFIS")).asString(), m);
        }
        return out;
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QVERIFY(m_dir.isValid());
        // the named queries, for the windows opened in this process
        QueryText().loadCatalogue(QStringLiteral(VELCU_STAGE_DIR "/etc/rag/rag_QueryText.cds"));
        // velcu-db create --demo: schema, demo school, the store's structures,
        // the UniEmens declarations of the demo.
        m_db = TestDb::open(true);
        seedStructures(*m_db, QStringLiteral("vel"), 2025);
        auto taxCode = [this](int ianaid) {
            QSqlQuery q = m_db->exec(QStringLiteral("SELECT sanacodfiscale FROM tana_anagrafiche WHERE ianaid = :I"),
                                     {{QStringLiteral("I"), ianaid}});
            return q.next() ? q.value(0).toString() : QString();
        };
        seedUniEmensDemo(*m_db, taxCode(39), taxCode(21));
        m_store = TestStore::open(m_db.get());
        m_dbArgs = TestDb::cliArgs();
        // The installation's settings: the software producer's tax code.
        const QString ini = path(QStringLiteral("velcu.ini"));
        QFile f(ini);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[FileTelematico]\nCodiceFiscaleProduttore=01234567897\n");
        f.close();
        qputenv("VELCU_DB_CONFIG", QFile::encodeName(ini));
        QVERIFY(QDir().mkpath(path(QStringLiteral("lavoro"))));
    }

    void cleanupTestCase()
    {
        m_store.reset();
        m_db.reset();
        qunsetenv("VELCU_DB_CONFIG");
    }

    void theYear()
    {
        // ---- before anything: nothing in the store
        Result r = cli({QStringLiteral("stato")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(QStringLiteral("Anno finanziario: 2025\n")), qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("CU in archivio: 0\n")));
        QVERIFY(r.out.contains(QStringLiteral("Dati del sostituto: incompleti (nessun dato)\n")));

        // ---- import of every payee (the agent's data with the first import)
        r = cli({QStringLiteral("import"), QStringLiteral("--mese"), QStringLiteral("12"), QStringLiteral("--inpdap"),
                 QStringLiteral("uniemens")});
        // one payee of the demo stops with an error by design (a payment not
        // sent to NoiPA mixed with local pay): the run goes on and says so
        QVERIFY2(r.status == 1, qPrintable(r.err + r.out));
        QVERIFY(r.err.contains(QStringLiteral("Controllare i dati del dipendente:DE LUCA GIULIA")));
        static const QRegularExpression done(QStringLiteral(
            "Importazione terminata: (\\d+) certificazioni importate, 0 mantenute, (\\d+) scartate, 1 con errori."));
        const auto m = done.match(r.out);
        QVERIFY2(m.hasMatch(), qPrintable(r.out));
        const int imported = m.captured(1).toInt();
        QMap<QString, QVariantMap> stored = cus();
        QCOMPARE(stored.size(), imported);
        QVERIFY(imported > 20);
        QVERIFY(r.err.contains(QStringLiteral("Importazione %1/%1").arg(imported + m.captured(2).toInt() + 1)));

        // ---- agent, supplier and Quadro CT completed as their editors save them
        {
            TClientDataSet sost;
            m_store->Load(sost, QStringLiteral("TCUS_DATISOST"));
            QVERIFY2(!sost.isEmpty(), "the import wrote no agent data");
            sost.first();
            const QString agentCode = sost.fieldByName(QStringLiteral("SSOSCODFIS")).asString();
            QVERIFY2(TVelSupplyCheck::validTaxCode(agentCode), qPrintable(agentCode));
            // the signing representative, typed in the agent's editor
            sost.edit();
            sost.fieldByName(QStringLiteral("SSOSCFRAPPR")).setAsString(QStringLiteral("RSSMRA80A01H501U"));
            sost.fieldByName(QStringLiteral("SCARCODICE")).setAsString(QStringLiteral("1"));
            sost.fieldByName(QStringLiteral("SSOSCOGNRAPPR")).setAsString(QStringLiteral("ROSSI"));
            sost.fieldByName(QStringLiteral("SSOSNOMERAPPR")).setAsString(QStringLiteral("MARIO"));
            sost.fieldByName(QStringLiteral("SSOSFIRMACOM")).setAsString(QStringLiteral("MARIO ROSSI"));
            sost.post();
            m_store->Save(sost, QStringLiteral("TCUS_DATISOST"));
            TClientDataSet forn;
            m_store->Load(forn, QStringLiteral("TCFO_FORNITORE"));
            if (forn.isEmpty())
                forn.append();
            else {
                forn.first();
                forn.edit();
            }
            forn.fieldByName(QStringLiteral("SFORCODFIS")).setAsString(agentCode);
            forn.fieldByName(QStringLiteral("STFOCODICE")).setAsString(QStringLiteral("1"));
            forn.post();
            m_store->Save(forn, QStringLiteral("TCFO_FORNITORE"));
            TClientDataSet ct;
            m_store->Load(ct, QStringLiteral("TCUCT_DATICT"));
            if (ct.isEmpty())
                ct.append();
            else {
                ct.first();
                ct.edit();
            }
            ct.fieldByName(QStringLiteral("SCTCODFIS")).setAsString(agentCode);
            ct.fieldByName(QStringLiteral("SCTEMAIL")).setAsString(QStringLiteral("segreteria@icdantealighieri.edu.it"));
            ct.post();
            m_store->Save(ct, QStringLiteral("TCUCT_DATICT"));
        }
        r = cli({QStringLiteral("stato")});
        QCOMPARE(r.status, 0);
        QVERIFY2(r.out.contains(QStringLiteral("CU in archivio: %1\n").arg(imported)), qPrintable(r.out));
        QVERIFY(r.out.contains(QStringLiteral("Dati del sostituto: completi\n")));
        QVERIFY(r.out.contains(QStringLiteral("Dati del fornitore: completi\n")));
        QVERIFY(r.out.contains(QStringLiteral("Quadro CT: compilato\n")));
        QVERIFY(r.out.contains(QStringLiteral("Codice fiscale del produttore del software: 01234567897\n")));

        // ---- one CU corrected in the CU editor: the first payee's place of birth
        const QString corrected = stored.firstKey();
        {
            ScriptedResponder responder;
            std::unique_ptr<TfmVelCud> fm(ovCreate<TfmVelCud>());
            fm->setStore(m_store.get());
            fm->resize(1280, 760);
            fm->show();
            QApplication::processEvents();
            TfrVelCud *fr = fm->frVelCud;
            QVERIFY(fr->cdsMain->locate(QStringLiteral("SCUDCODFIS"), corrected));
            fr->editRow();
            fr->cdsMain->fieldByName(QStringLiteral("SCUDCOMNAS")).setAsString(QStringLiteral("BRISIGHELLA"));
            fr->acConferma->trigger();
            QApplication::processEvents();
            tourShot(fm.get(), QStringLiteral("tour-06-dati-cu.png"));
        }
        QCOMPARE(cus().value(corrected).value(QStringLiteral("SCUDCOMNAS")).toString(), QStringLiteral("BRISIGHELLA"));

        // ---- the supply, checked as it is written and again on its own
        const QString supply = path(QStringLiteral("CUR26"));
        r = cli({QStringLiteral("fornitura"), QStringLiteral("--out"), supply, QStringLiteral("--forza"),
                 QStringLiteral("--cartella-lavoro"), path(QStringLiteral("lavoro"))});
        QVERIFY(r.out.contains(QStringLiteral("File scritto: ") + supply));
        QVERIFY(r.out.contains(QStringLiteral("Certificazioni nella fornitura: %1.").arg(imported)));
        QFile f(supply);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        auto payeeOf = [&bytes](int record) {
            return QString::fromLatin1(bytes.mid(qsizetype(record - 1) * 1900 + 25, 16)).trimmed();
        };
        TVelSupplyCheck check;
        const QList<TVelSupplyProblem> problems = check.run({supply});
        QCOMPARE(check.certifications(), imported);
        for (const TVelSupplyProblem &p : problems)
            qWarning().noquote() << p.text() << "(percipiente" << payeeOf(p.record) << ")";
        // done, with warnings: the data --forza passed, the coherence check's findings
        QVERIFY2(r.status == 3 && problems.isEmpty(), qPrintable(r.out));
        r = cli({QStringLiteral("controlla"), supply}, false);
        QCOMPARE(r.status, problems.isEmpty() ? 0 : 1);
        QVERIFY(r.out.contains(problems.isEmpty() ? QStringLiteral("Controllo superato")
                                                  : QStringLiteral("Controllo non superato: %1 problemi").arg(problems.size())));
        // the correction is in the file, in the corrected payee's D record
        bool inD = false;
        for (qsizetype at = 0; at < bytes.size(); at += 1900) {
            const QByteArray rec = bytes.mid(at, 1897);
            if (rec.at(0) == 'D' && rec.mid(25, 16).trimmed() == corrected.toLatin1())
                inD = rec.contains("BRISIGHELLA");
        }
        QVERIFY(inD);
        // A supply of some of the payees (--cf), the corrected one among
        // them, passes the checker as it is written.
        QStringList others = stored.keys();
        others.sort();
        others.removeAt(others.first() == corrected ? 1 : 0);
        QVERIFY(others.contains(corrected));
        QVERIFY(others.size() > imported / 2);
        const QString clean = path(QStringLiteral("CUR26_percipienti"));
        r = cli({QStringLiteral("fornitura"), QStringLiteral("--out"), clean, QStringLiteral("--forza"),
                 QStringLiteral("--cartella-lavoro"), path(QStringLiteral("lavoro")), QStringLiteral("--cf"),
                 others.join(QLatin1Char(','))});
        QVERIFY2(r.status == 3, qPrintable(r.out + r.err)); // --forza: done, with warnings
        QVERIFY(r.out.contains(QStringLiteral("Controllo superato: 1 file")));
        QVERIFY2(check.run({clean}).isEmpty(), qPrintable(r.out));
        QCOMPARE(check.certifications(), others.size());
        r = cli({QStringLiteral("controlla"), clean}, false);
        QVERIFY2(r.status == 0, qPrintable(r.out));

        // The same supply in its window, for the tour of the window path.
        if (!qEnvironmentVariable("VELCU_SCREENSHOT_DIR").isEmpty()) {
            ScriptedResponder responder;
            TdmVelFile dm(*m_store, QueryText());
            dm.setRunHost(TVelBoxRunHost::instance());
            dm.setWorkgroup(1);
            dm.setTablePaths(path(QStringLiteral("lavoro/TFIFI_FIELDSFILE.CDS")),
                             path(QStringLiteral("lavoro/TFILE_FILETELEM.CDS")));
            dm.information = [](const QStringList &, bool) { return true; };
            std::unique_ptr<TfmVelFile> form(ovCreate<TfmVelFile>(nullptr, &dm));
            form->resize(900, 640);
            form->show();
            QApplication::processEvents();
            tourShot(form.get(), QStringLiteral("tour-07-file-telematico-dipendenti.png"));
            QVERIFY(form->ChangePage(true));
            form->creaFile();
            QApplication::processEvents();
            QVERIFY(form->buOk->isEnabled());
            tourShot(form.get(), QStringLiteral("tour-07-file-telematico-crea-file.png"));
        }

        // ---- prints: three payees, one document and one PDF each
        const QStringList three = QStringList(stored.keys()).mid(0, 3);
        const QString pdf = path(QStringLiteral("CU-2026.pdf"));
        const QString perPayee = path(QStringLiteral("percipienti"));
        r = cli({QStringLiteral("stampa"), QStringLiteral("--sintetico"), QStringLiteral("--out"), pdf,
                 QStringLiteral("--per-percipiente"), perPayee, QStringLiteral("--fronte-retro"),
                 QStringLiteral("--firma-omessa"), QStringLiteral("--cf"), three.join(QLatin1Char(','))});
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        QVERIFY(r.out.contains(QStringLiteral("CU stampati: 3.")));
        QVERIFY(r.out.contains(QStringLiteral("PDF per percipiente: 3")));
        const int pages = pdfPages(pdf);
        int sum = 0;
        for (const QString &cf : three) {
            const QString one = QDir(perPayee).filePath(cf + QStringLiteral(".pdf"));
            QVERIFY2(QFile::exists(one), qPrintable(one));
            const QString text = pdfText(one);
            QVERIFY2(text.contains(cf), qPrintable(cf));
            for (const QString &other : three)
                if (other != cf)
                    QVERIFY2(!text.contains(other), qPrintable(other + QStringLiteral(" in ") + one));
            const int n = pdfPages(one);
            QVERIFY2(n % 2 == 0, "two-sided: every payee's document has an even number of pages");
            sum += n;
        }
        QCOMPARE(sum, pages);
        QCOMPARE(QDir(perPayee).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot).size(), 3);
        // the ordinary CU of one of them: its first page is model page 3, with the payee
        const QString ordinary = path(QStringLiteral("CU_Ordinario-2026.pdf"));
        r = cli({QStringLiteral("stampa"), QStringLiteral("--ordinario"), QStringLiteral("--out"), ordinary,
                 QStringLiteral("--cf"), three.first()});
        QVERIFY2(r.status == 0, qPrintable(r.err + r.out));
        QVERIFY(QFile::exists(ordinary));
        QVERIFY(pdfText(ordinary).contains(three.first()));
        QVERIFY(!pdfText(ordinary).contains(three.at(1)));
        r = cli({QStringLiteral("stato")});
        QVERIFY2(r.out.contains(QStringLiteral("CU stampati: 3\n")), qPrintable(r.out));

        // ---- payroll changes for a printed payee and for one not printed;
        //      the re-import replaces only the CU not printed
        const QString printed = three.at(1);
        const QString notPrinted = stored.lastKey();
        QVERIFY(!three.contains(notPrinted));
        for (const QString &cf : {printed, notPrinted})
            m_db->exec(QStringLiteral("UPDATE tana_anagrafiche SET sanacognome = :S WHERE sanacodfiscale = :C"),
                       {{QStringLiteral("S"), QStringLiteral("CAMBIATO")}, {QStringLiteral("C"), cf}});
        r = cli({QStringLiteral("import"), QStringLiteral("--mese"), QStringLiteral("12"), QStringLiteral("--inpdap"),
                 QStringLiteral("uniemens"), QStringLiteral("--sovrascrivi"), QStringLiteral("sempre")});
        QVERIFY2(r.status == 1, qPrintable(r.err + r.out));
        QVERIFY2(r.out.contains(QStringLiteral("Importazione terminata: %1 certificazioni importate, 3 mantenute")
                                    .arg(imported - 3)),
                 qPrintable(r.out));
        // each kept CU says why, and how to import it anyway
        QVERIFY2(r.out.contains(QStringLiteral("--- CU mantenute\n")), qPrintable(r.out));
        QVERIFY2(r.out.contains(QStringLiteral(" (%1): CU già stampata: mantenuta. %2\n")
                                    .arg(printed, VelImportReport::remedyPrinted(printed))),
                 qPrintable(r.out));
        const QMap<QString, QVariantMap> after = cus();
        QCOMPARE(after.size(), imported);
        QCOMPARE(after.value(notPrinted).value(QStringLiteral("SCUDCOGNOME")).toString(), QStringLiteral("CAMBIATO"));
        QCOMPARE(after.value(printed).value(QStringLiteral("SCUDCOGNOME")),
                 stored.value(printed).value(QStringLiteral("SCUDCOGNOME")));
        QCOMPARE(after.value(printed).value(QStringLiteral("ICUDSTATO")).toString(), QStringLiteral("1"));
        // the corrected CU was printed: its correction survived the re-import
        QCOMPARE(after.value(corrected).value(QStringLiteral("SCUDCOMNAS")).toString(), QStringLiteral("BRISIGHELLA"));
    }

    // velcu-cli sostituto: the fields by name, set with the editors' checks.
    void theAgentAndTheSupplierFromTheCommandLine()
    {
        struct Case
        {
            QStringList args;
            int status;
            QString says;      // on standard error
            QString field, stored; // what the store holds afterwards
        };
        const QList<Case> cases{
            // upper case; what the supply would refuse is refused as typed,
            // and nothing of the command is saved
            {{QStringLiteral("--imposta"), QStringLiteral("SSOSCFRAPPR=RSSMRA80A01H501U"), QStringLiteral("--imposta"),
              QStringLiteral("SSOSFIRMACOM=Mario Rossi")},
             0, QStringLiteral("Dati del sostituto salvati."), QStringLiteral("SSOSFIRMACOM"), QStringLiteral("MARIO ROSSI")},
            {{QStringLiteral("--imposta"), QStringLiteral("SSOSCFRAPPR=rssmra80a01h501a")}, 1,
             QStringLiteral("Valore rifiutato per SSOSCFRAPPR"), QStringLiteral("SSOSCFRAPPR"),
             QStringLiteral("RSSMRA80A01H501U")},
            {{QStringLiteral("--imposta"), QStringLiteral("SCARCODICE=1")}, 0, QString(), QStringLiteral("SCARCODICE"),
             QStringLiteral("1")},
            {{QStringLiteral("--imposta"), QStringLiteral("SCARCODICE=16")}, 1, QStringLiteral("i codici vanno da 1 a 15"),
             QStringLiteral("SCARCODICE"), QStringLiteral("1")},
            {{QStringLiteral("--imposta"), QStringLiteral("SSOSFIRMACOM=Luca Bianchi"), QStringLiteral("--imposta"),
              QStringLiteral("SSOSCAP=4812")},
             1, QStringLiteral("il CAP ha cinque cifre"), QStringLiteral("SSOSFIRMACOM"), QStringLiteral("MARIO ROSSI")},
            {{QStringLiteral("--imposta"), QStringLiteral("SSOSPROV=XX")}, 1,
             QStringLiteral("\"XX\" non è la sigla di una provincia italiana"), QStringLiteral("SCARCODICE"),
             QStringLiteral("1")},
            // wrong usage changes nothing
            {{QStringLiteral("--imposta"), QStringLiteral("SSOSXYZ=1")}, 2, QStringLiteral("campo \"SSOSXYZ\" sconosciuto"),
             QStringLiteral("SCARCODICE"), QStringLiteral("1")},
            {{QStringLiteral("--imposta"), QStringLiteral("LSOSCT=2")}, 2, QStringLiteral("LSOSCT: valore \"2\" non valido"),
             QStringLiteral("SCARCODICE"), QStringLiteral("1")},
            // the supplier's mandatory fields: saved with problems only with --forza
            {{QStringLiteral("--imposta"), QStringLiteral("STFOCODICE=")}, 1,
             QStringLiteral("Dato obbligatorio mancante: Tipo fornitore"), QStringLiteral("STFOCODICE"), QStringLiteral("1")},
            {{QStringLiteral("--imposta"), QStringLiteral("STFOCODICE="), QStringLiteral("--forza")}, 0,
             QStringLiteral("Dati del fornitore salvati."), QStringLiteral("STFOCODICE"), QString()},
            {{QStringLiteral("--imposta"), QStringLiteral("STFOCODICE=01")}, 0, QString(), QStringLiteral("STFOCODICE"),
             QStringLiteral("01")},
            {{QStringLiteral("--imposta"), QStringLiteral("STFOCODICE=02")}, 1, QStringLiteral("tipo di fornitore \"02\""),
             QStringLiteral("STFOCODICE"), QStringLiteral("01")},
        };
        for (const Case &k : cases) {
            const Result r = cli(QStringList{QStringLiteral("sostituto")} + k.args);
            const QString what = k.args.join(QLatin1Char(' ')) + QLatin1Char('\n') + r.err + r.out;
            QVERIFY2(r.status == k.status, qPrintable(what));
            QVERIFY2(r.err.contains(k.says), qPrintable(what));
            TClientDataSet ds;
            m_store->Load(ds, k.field.startsWith(QStringLiteral("STFO")) ? QStringLiteral("TCFO_FORNITORE")
                                                                          : QStringLiteral("TCUS_DATISOST"));
            ds.first();
            QVERIFY2(ds.fieldByName(k.field).asString().trimmed() == k.stored, qPrintable(what));
            if (k.status == 0)
                QVERIFY2(r.out.contains(QStringLiteral("Dati del fornitore per la fornitura: ")), qPrintable(what));
        }
        const Result shown = cli({QStringLiteral("sostituto")});
        QCOMPARE(shown.status, 0);
        QVERIFY2(shown.out.contains(QRegularExpression(QStringLiteral("SSOSFIRMACOM +FIRMA: MARIO ROSSI\n"))),
                 qPrintable(shown.out));
        QVERIFY(shown.err.isEmpty()); // only shown: no database line of a command that writes
    }

    // The software producer's code is the distributor's: from the installed
    // configuration, said before any question about the office's data,
    // changed in "Parametri" with its check.
    void theSoftwareProducerIsTheDistributors()
    {
        QTemporaryDir root;
        QVERIFY(QDir().mkpath(root.filePath(QStringLiteral("etc/rag")))
                && QDir().mkpath(root.filePath(QStringLiteral("USR/KZ2025/Res"))));
        const QString installed = root.filePath(QStringLiteral("etc/rag/velcu-produttore.ini"));
        const QByteArray stage = qgetenv("VELCU_STAGE_DIR");
        qputenv("VELCU_STAGE_DIR", QFile::encodeName(root.path()));
        qunsetenv("VELCU_DB_CONFIG");
        const auto restore = qScopeGuard([&] {
            qputenv("VELCU_STAGE_DIR", stage);
            qputenv("VELCU_DB_CONFIG", QFile::encodeName(path(QStringLiteral("velcu.ini"))));
        });
        auto fileText = [&] {
            QFile f(installed);
            return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
        };

        // missing: the supply stops before asking about the office's data
        {
            TdmVelFile dm(*m_store, QueryText());
            dm.setRunHost(TVelBoxRunHost::instance());
            dm.setWorkgroup(1);
            bool asked = false;
            dm.information = [&asked](const QStringList &, bool) { return asked = true; };
            const TVelSupplyOpened opened = dm.open();
            QString message;
            try {
                QVERIFY(!opened.preCheck(dm.visitedRows(TdmVelFile::All)));
            } catch (const EVelError &e) {
                message = e.message();
                QCOMPARE(e.errorCode(), TVelErrorCode::Configurazione);
            }
            dm.closeDataSets();
            QVERIFY2(message.startsWith(QStringLiteral("Codice fiscale del produttore del software mancante: indicarlo "
                                                       "in \"Parametri\"")),
                     qPrintable(message));
            QVERIFY(!asked);
        }
        ScriptedResponder user;
        {
            TfmVelParametri dialog;
            dialog.show();
            QVERIFY(dialog.lbProduttoreNota->text().startsWith(QStringLiteral("Mancante")));
        }
        // the demo installation's value, as the build writes it
        QVERIFY(QFile::copy(QStringLiteral(VELCU_STAGE_DIR "/etc/rag/velcu-produttore.ini"), installed));
        QVERIFY(fileText().contains(QStringLiteral("VALORE DIMOSTRATIVO")));
        {
            TfmVelParametri dialog;
            dialog.show();
            QCOMPARE(dialog.edProduttore->text(), QStringLiteral("01234567897"));
            QVERIFY(dialog.lbProduttoreNota->text().startsWith(QStringLiteral("VALORE DIMOSTRATIVO")));
            QVERIFY(!dialog.edProduttore->isReadOnly());
            dialog.edAnnoFin->setText(QStringLiteral("2025"));
            for (const QString &wrong : {QStringLiteral("01234567890"), QString(), QStringLiteral("RSSMRA80A01H501U")}) {
                dialog.edProduttore->setText(wrong);
                QVERIFY2(!dialog.clickOk(), qPrintable(wrong));
                QVERIFY2(user.lastText().contains(QStringLiteral("produttore del software")), qPrintable(user.lastText()));
                QVERIFY(fileText().contains(QStringLiteral("CodiceFiscaleProduttore=01234567897")));
            }
            dialog.edProduttore->setText(QStringLiteral("12345678903"));
            QVERIFY2(dialog.clickOk(), qPrintable(user.lastText()));
        }
        QVERIFY(fileText().contains(QStringLiteral("CodiceFiscaleProduttore=12345678903\n")));
        QVERIFY(!fileText().contains(QStringLiteral("DIMOSTRATIVO")));
        QCOMPARE(VelTaxCode::checkedSoftwareProducer(), QStringLiteral("12345678903"));
        // the program's ini, where it holds the key, has the last word
        qputenv("VELCU_DB_CONFIG", QFile::encodeName(path(QStringLiteral("velcu.ini"))));
        {
            TfmVelParametri dialog;
            dialog.show();
            QCOMPARE(dialog.edProduttore->text(), QStringLiteral("01234567897"));
            QVERIFY(dialog.edProduttore->isReadOnly());
            QVERIFY(dialog.lbProduttoreNota->text().endsWith(QStringLiteral("si modifica lì.")));
        }
        user.clear();
    }

    // A supply that cannot be written is no success: the command names its
    // database first, never says "done" before the failure, and says the
    // cause once.
    void aSupplyOnAFullDiskIsNoSuccess()
    {
        TmpfsMount disk(256 * 1024);
        VELCU_REQUIRE_TMPFS(disk);
        disk.fill();
        const Result r = cli({QStringLiteral("fornitura"), QStringLiteral("--out"), disk.filePath(QStringLiteral("CUR26")),
                              QStringLiteral("--forza"), QStringLiteral("--cartella-lavoro"), path(QStringLiteral("lavoro"))});
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.startsWith(QStringLiteral("Database: ")), qPrintable(r.err));
        QVERIFY2(!r.err.contains(QStringLiteral("successo")) && !r.out.contains(QStringLiteral("successo")),
                 qPrintable(r.err));
        QCOMPARE(r.err.count(QStringLiteral("spazio su disco esaurito")), 1);
        QVERIFY2(r.err.count(QStringLiteral("Impossibile scrivere")) <= 1, qPrintable(r.err));
        QVERIFY(!QFileInfo::exists(disk.filePath(QStringLiteral("CUR26"))));
    }

    // The README's campaign from the command line, word for word, on a fresh
    // copy of the staged installation and its own SQLite file: the demo value
    // of the software producer, the head teacher from the payroll, the
    // year's folders when no file is named.
    void theReadmeCampaignOnAFreshInstallation()
    {
        if (TestDb::isPostgres())
            QSKIP("the README's commands name no server: they run on the installation's SQLite file");
        QFile readme(QStringLiteral(VELCU_SOURCE_DIR "/README.md"));
        QVERIFY(readme.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(readme.readAll());
        const qsizetype from = text.indexOf(QStringLiteral("The demo campaign from the command line"));
        const qsizetype to = text.indexOf(QStringLiteral("Notes for the command line:"), from);
        QVERIFY(from > 0 && to > from);
        QStringList steps;
        for (const QString &line : text.mid(from, to - from).split(QLatin1Char('\n')))
            if (line.startsWith(QStringLiteral("    bin/")))
                steps << line.trimmed();
        QCOMPARE(steps.size(), 10);

        // the installation: programs and shipped data, no database, no output
        QTemporaryDir root;
        const QDir stage(QStringLiteral(VELCU_STAGE_DIR));
        QDirIterator it(stage.path(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString rel = stage.relativeFilePath(file);
            if (rel.startsWith(QStringLiteral("bin/")) && rel != QStringLiteral("bin/velcu-cli")
                && rel != QStringLiteral("bin/velcu-db"))
                continue;
            if (rel.startsWith(QStringLiteral("usr/")) || rel.contains(QStringLiteral("/Stp/"))
                || rel.contains(QStringLiteral("/DichCU/")) || rel.startsWith(QStringLiteral("USR/KZDati/")))
                continue;
            QVERIFY(QDir().mkpath(QFileInfo(root.filePath(rel)).path()));
            QVERIFY2(QFile::copy(file, root.filePath(rel)), qPrintable(rel));
        }
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const QString &k : env.keys())
            if (k.startsWith(QStringLiteral("VELCU_")) || k.startsWith(QStringLiteral("PG")))
                env.remove(k);
        auto run = [&](const QString &step) {
            QStringList args = QProcess::splitCommand(step);
            QProcess p;
            p.setProcessEnvironment(env);
            p.setWorkingDirectory(root.path());
            p.start(root.filePath(args.takeFirst()), args);
            if (!p.waitForFinished(600000))
                qFatal("%s did not end", qPrintable(step));
            return Result{p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                          QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
        };
        const QString stp = root.filePath(QStringLiteral("USR/KZ2025/Stp/"));
        for (const QString &step : std::as_const(steps)) {
            const Result r = run(step);
            const QString all = r.out + r.err;
            // the statuses the README gives: both imports 1 (payees left out on
            // purpose), the supply 3 (done, with warnings), every other step 0
            const QStringList words = step.split(u' ');
            const bool import = words.contains(QStringLiteral("import"));
            const int expected = import ? 1 : words.contains(QStringLiteral("fornitura")) ? 3 : 0;
            QVERIFY2(r.status == expected, qPrintable(step + QLatin1Char('\n') + all));
            // nothing the user did not do, no working file of the program
            QVERIFY2(!all.contains(QStringLiteral("Fine operazione")) && !all.contains(QStringLiteral("dall'utente"))
                         && !all.contains(QStringLiteral(".tmp")) && !all.contains(QStringLiteral(".velcu-")),
                     qPrintable(step + QLatin1Char('\n') + all));
            if (step.endsWith(QStringLiteral("stato")))
                QVERIFY2(r.out.contains(QStringLiteral(
                             "Codice fiscale del produttore del software: 01234567897 (valore dimostrativo)\n")),
                         qPrintable(r.out));
            if (step.endsWith(QStringLiteral("sostituto"))) {
                QVERIFY2(r.out.contains(QRegularExpression(QStringLiteral("SSOSCFRAPPR +.*: BNCLRA70M45H199W\n"))),
                         qPrintable(r.out));
                QVERIFY(r.out.contains(QStringLiteral("Dati del sostituto per la fornitura: completi\n")));
            }
            if (step.contains(QStringLiteral("fornitura")))
                QVERIFY2(r.out.contains(QStringLiteral("File scritto: ") + root.filePath(QStringLiteral("USR/KZ2025/DichCU/CUR26"))),
                         qPrintable(r.out));
            if (step.endsWith(QStringLiteral("controlla")))
                QVERIFY2(r.out.contains(QStringLiteral("Controllo superato: 1 file")), qPrintable(r.out));
            if (step.endsWith(QStringLiteral("stampa --sintetico"))) {
                QVERIFY2(r.out.contains(QStringLiteral("File scritto: ") + stp + QStringLiteral("CU-2026.pdf")),
                         qPrintable(r.out));
                // a second print replaces nothing without --sovrascrivi
                const QDateTime written = QFileInfo(stp + QStringLiteral("CU-2026.pdf")).lastModified();
                const Result again = run(step);
                QCOMPARE(again.status, 1);
                QVERIFY2(again.err.contains(QStringLiteral("esiste già")), qPrintable(again.err));
                QCOMPARE(QFileInfo(stp + QStringLiteral("CU-2026.pdf")).lastModified(), written);
            }
            if (step.contains(QStringLiteral("--per-percipiente")))
                QVERIFY(QDir(stp + QStringLiteral("percipienti")).entryList(QDir::Files).size() > 20);
        }
    }

    // Qt's own texts of the help (usage, options) come from its Italian
    // catalogue, as do the file dialogs and the standard buttons.
    void everyProgramsHelpIsItalian()
    {
        for (const char *program : {"velcu", "velcu-cli", "velcu-db"}) {
            QProcess p;
            p.start(QStringLiteral(VELCU_STAGE_DIR "/bin/") + QLatin1String(program), {QStringLiteral("--help")});
            QVERIFY(p.waitForFinished(60000));
            const QString help = QString::fromUtf8(p.readAllStandardOutput());
            QVERIFY2(p.exitCode() == 0, program);
            QVERIFY2(help.contains(QStringLiteral("Utilizzo:")) || help.startsWith(QStringLiteral("Uso:")), qPrintable(help));
            for (const char *english : {"Usage:", "Options:", "Displays", "Arguments:"})
                QVERIFY2(!help.contains(QLatin1String(english)), qPrintable(help));
        }
        QVERIFY(ovInstallItalian(*QCoreApplication::instance()));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Annulla"));
    }

    void theProgramNeedsNoDisplay()
    {
        // velcu-cli as the office runs it: no display, no platform plug-in chosen.
        const QString program = QStringLiteral(VELCU_STAGE_DIR "/bin/velcu-cli");
        QVERIFY(QFile::exists(program));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        auto run = [&](const QStringList &args) {
            QProcess p;
            p.setProcessEnvironment(env);
            p.start(program, args);
            if (!p.waitForFinished(120000))
                qFatal("velcu-cli did not end");
            return Result{p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
                          QString::fromUtf8(p.readAllStandardError())};
        };
        Result r = run(QStringList{QStringLiteral("stato")} + m_dbArgs);
        QVERIFY2(r.status == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(QStringLiteral("Anno finanziario: 2025")));
        QVERIFY2(r.err.isEmpty(), qPrintable(r.err));
        r = run({QStringLiteral("controlla"), path(QStringLiteral("CUR26_percipienti"))});
        QVERIFY2(r.status == 0, qPrintable(r.out + r.err));
        r = run({QStringLiteral("stampa"), QStringLiteral("--sintetico"), QStringLiteral("--ordinario"),
                 QStringLiteral("--out"), path(QStringLiteral("x.pdf"))});
        QCOMPARE(r.status, 2);
        QCOMPARE(r.err, QStringLiteral("Indicare uno fra --sintetico e --ordinario.\n"));
        r = run({});
        QCOMPARE(r.status, 2);
        QVERIFY(r.err.startsWith(QStringLiteral("Uso: velcu-cli COMANDO")));
    }
};

QTEST_MAIN(TstDbCampaign)
#include "tst_db_campaign.moc"
