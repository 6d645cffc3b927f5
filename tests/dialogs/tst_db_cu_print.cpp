// The summary CU printed from the fiscal store, on both engines: CUs, their
// sections and the agent written through the store, the print run without a
// window, the PDF read back with pdftotext: values where the layout puts them,
// the page plan, two-sided pages, the omitted signature, the dependants, the
// module numbers of continuation pages, and the lock set in the store only
// after the document was written.
#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "platform/ui/framework/OvForms.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/dialogs/TfmVelPDF.h"
#include "src/prj/unit/dialogs/VelAskReplace.h"
#include "src/prj/unit/print/VelCuPrint.h"
#include "src/prj/unit/print/VelCudLayout.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "support/CuLayoutPlaces.h"
#include "support/PdfWords.h"
#include "support/ScriptedResponder.h"
#include "support/TestDb.h"
#include "support/TestStore.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorFolders.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QDateTime>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using CuLayoutPlaces::editOf;
using CuLayoutPlaces::placeOf;
using TestStore::money;
using TestStore::Values;

using PdfWords::Page;
using PdfWords::Word;
using PdfWords::at;
using PdfWords::has;
inline QList<Page> readPdf(const QString &pdf) { return PdfWords::read(pdf); }

} // namespace

class TstDbCuPrint : public QObject
{
    Q_OBJECT
    std::unique_ptr<TOvSQLConnection> m_db;
    std::unique_ptr<TTorDBCds> m_store;
    QTemporaryDir m_dir;

    void put(const char *structure, const QList<Values> &rows) { TestStore::put(*m_store, structure, rows); }

    // VERDI: fiscal data, a spouse and a first child, seven INPS rows,
    // annotations; BIANCHI: "X" in LCUDCPOSCNACFC, nothing else.
    void fillStore()
    {
        put("TCUS_DATISOST", {{{"SSOSCODFIS", QStringLiteral("80012345676")}, {"SSOSDENOM", QStringLiteral("ISTITUTO DANTE")},
                               {"SSOSCOMUNE", QStringLiteral("RAVENNA")}}});
        put("TCUAS_DATIALTRISOST", {{{"SSOSCODFIS", QStringLiteral("01234567890")}, {"SSOSDENOM", QStringLiteral("ENTE PRECEDENTE")}}});
        put("TCUD_DATICUD",
            {{{"SCUDCODFIS", QStringLiteral("VRDGPP70A01H199Z")}, {"SCUDMESE", QStringLiteral("12")},
              {"SCUDCOGNOME", QStringLiteral("VERDI")}, {"SCUDNOME", QStringLiteral("GIUSEPPE")},
              {"fCudReddDetr", money("25000.50")}, {"SCUDDATIANAFIRMA", QStringLiteral("MARIO ROSSI")},
              {"SCUDALTROSOSCODFIS", QStringLiteral("01234567890")},
              {"SCUDANNOTAZIONI", QStringLiteral("AC) detrazioni per familiari a carico")}},
             {{"SCUDCODFIS", QStringLiteral("BNCLRA75B41F205X")}, {"SCUDMESE", QStringLiteral("12")},
              {"SCUDCOGNOME", QStringLiteral("BIANCHI")}, {"SCUDNOME", QStringLiteral("LAURA")},
              {"fCudReddDetr", money("1234.56")}, {"LCUDCPOSCNACFC", QStringLiteral("X")},
              {"LCUDCONGUAGLIO", QStringLiteral("X")}}});
        QList<Values> inps;
        for (int i = 1; i <= 7; ++i)
            inps.append({{"SCUDCODFIS", QStringLiteral("VRDGPP70A01H199Z")}, {"SCUDMESE", QStringLiteral("12")},
                         {"FCUDIMPONIBILE", money(QByteArray::number(i * 1000).constData())}});
        put("TCUDI_INPS", inps);
        put("TASE_AUTSOMMEEROGATE", {{{"SCUDCODFIS", QStringLiteral("BNCLRA75B41F205X")}, {"SCUDMESE", QStringLiteral("12")},
                                      {"SCAUCODICE", QStringLiteral("A")}, {"FDSE7AMMLORDO", money("1000")}},
                                     {{"SCUDCODFIS", QStringLiteral("BNCLRA75B41F205X")}, {"SCUDMESE", QStringLiteral("12")},
                                      {"SCAUCODICE", QStringLiteral("M")}, {"FDSE7AMMLORDO", money("250")}}});
        put("TCUDC_CONFAMCARICO", {{{"SCUDCODFIS", QStringLiteral("VRDGPP70A01H199Z")}, {"SCUDMESE", QStringLiteral("12")},
                                    {"LCUDRELPARCON", QStringLiteral("1")}, {"SCUDCODFISCON", QStringLiteral("BNCMRA82A41H501W")},
                                    {"SCUDMESICARCON", QStringLiteral("12")}, {"LCUDRELPARPRIFIGL", QStringLiteral("1")},
                                    {"SCUDCODFISPRIFIGL", QStringLiteral("VRDLCA15A01F839C")}},
                                   {{"SCUDCODFIS", QStringLiteral("VRDGPP70A01H199Z")}, {"SCUDMESE", QStringLiteral("12")},
                                    {"LCUDRELPARFIGL", QStringLiteral("1")}, {"SCUDCODFISFIGL", QStringLiteral("VRDNNA18A41F839X")},
                                    {"FCUDDETRSPETTFIGL", money("950.25")}}});
    }

    // Sets fields of the first stored row of a structure matching the tax code.
    void editStored(const char *structure, const QString &cf, const Values &values)
    {
        TClientDataSet ds;
        m_store->Load(ds, QLatin1String(structure), TTorDBCds::AllMonths);
        QVERIFY(ds.locate(QStringLiteral("SCUDCODFIS"), cf));
        ds.edit();
        for (const auto &[field, value] : values)
            ds.fieldByName(QLatin1String(field)).setValue(value);
        ds.post();
        m_store->Save(ds, QLatin1String(structure), 12);
    }

    // iCudStato of each CU as the store holds it, by surname.
    QMap<QString, QString> states()
    {
        return TestStore::valuesBy(*m_store, "TCUD_DATICUD", "SCUDCOGNOME", "iCudStato");
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QVERIFY(m_dir.isValid());
    }

    void init()
    {
        m_store.reset();
        m_db.reset();
        m_db = TestDb::open(true);
        seedStructures(*m_db);
        m_store = TestStore::open(m_db.get());
        fillStore();
    }

    void cleanupTestCase()
    {
        m_store.reset();
        m_db.reset();
    }

    void summaryPrintFromTheStore()
    {
        TdmVelStampePDF stampe;
        TdmVelMain main;
        TVelCuPrint run(*m_store, stampe, main);
        run.open();
        run.twoSided = true;
        run.signatureOmitted = true;
        run.outputFolder = m_dir.filePath(QStringLiteral("Stp"));
        QStringList log;
        run.log = [&log](const QString &l) { log << l; };
        QList<int> steps;
        run.progress = [&steps](int done, int) {
            steps << done;
            return true;
        };
        QCOMPARE(states().value(QStringLiteral("VERDI")), QString());

        const QString path = run.print(run.allRows(), TVelCuPrint::defaultFileName(false)).path;
        QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("CU-2026.pdf"));
        QVERIFY(QFile::exists(path));
        QCOMPARE(log.size(), 1);
        QVERIFY(log.first().startsWith(QStringLiteral("File generato: ")));
        QCOMPARE(steps, (QList<int>{0, 1, 2}));

        const TXMLCud cud = main.Cud();
        const QList<Page> pages = readPdf(path);
        QVERIFY(pages.size() % 2 == 0);
        // the first pages of the CUs: the financial year at (169, 29)
        QList<int> firsts;
        for (int i = 0; i < pages.size(); ++i)
            if (at(pages.at(i), QStringLiteral("2025"), 169, 29, 12))
                firsts << i + 1;
        QCOMPARE(firsts.size(), 2);
        for (int p : firsts)
            QVERIFY2(p % 2 == 1, qPrintable(QStringLiteral("a CU starts on page %1").arg(p)));

        // BIANCHI (index order: BIANCHI, VERDI): no pages 2-4 with "X" in
        // LCUDCPOSCNACFC: page 1, the information page, the five-per-thousand pair
        const Page &b1 = pages.at(firsts.at(0) - 1);
        const TXMLCudPrintRect cf = placeOf(cud, 1, QStringLiteral("SCUDCODFIS"));
        QVERIFY(at(b1, QStringLiteral("BNCLRA75B41F205X"), cf.Left(), cf.Top(), cf.Height()));
        // no other agent: the withholding agent's block, on page 1 and on the
        // five-per-thousand page
        QVERIFY(at(b1, QStringLiteral("80012345676"), 9, 45, 8));
        bool fiveForAgent = false;
        for (int i = firsts.at(0); i < firsts.at(1) - 1; ++i)
            fiveForAgent = fiveForAgent || at(pages.at(i), QStringLiteral("80012345676"), 9, 32, 8);
        QVERIFY(fiveForAgent);
        bool reddOnBianchi = false;
        for (int i = firsts.at(0); i < firsts.at(1) - 1; ++i)
            reddOnBianchi = reddOnBianchi || has(pages.at(i), QStringLiteral("1.234,56"));
        QVERIFY(!reddOnBianchi);
        // two self-employed rows: page 8 twice (modules 01, 02, the row labels,
        // the fiscal code on the continuation), then the information page
        const int b = firsts.at(0) - 1;
        for (int k = 0; k < 2; ++k) {
            const Page &p8 = pages.at(b + 1 + k);
            QVERIFY(has(p8, QStringLiteral("AUTONOMO,")));
            QVERIFY(at(p8, QStringLiteral("0%1").arg(k + 1), 192, 12, 8));
            QVERIFY(at(p8, QStringLiteral("Rigo:"), 5, 45, 6));
            QVERIFY(has(p8, QString::number(k + 1)));
        }
        QVERIFY(at(pages.at(b + 2), QStringLiteral("BNCLRA75B41F205X"), 46, 12, 10));
        QVERIFY(has(pages.at(b + 3), QStringLiteral("CONTRIBUENTE")));

        // VERDI: page 1 with the omitted signature
        const int v = firsts.at(1) - 1;
        const Page &v1 = pages.at(v);
        // VERDI names another agent: its block instead of the school's
        QVERIFY(at(v1, QStringLiteral("01234567890"), 9, 45, 8));
        QVERIFY(has(v1, QStringLiteral("PRECEDENTE")));
        QVERIFY(!has(v1, QStringLiteral("80012345676")));
        const TXMLCudPrintRect sign = placeOf(cud, 1, QStringLiteral("SCUDDATIANAFIRMA"));
        QVERIFY(at(v1, QStringLiteral("MARIO"), sign.Left(), sign.Top() - 2, 8));
        QVERIFY(at(v1, QStringLiteral("LA"), sign.Left(), sign.Top() + 1, 6));
        QVERIFY(has(v1, QStringLiteral("OMESSA")));
        // pages 2-4: the fiscal amount at its place, module number 01
        const Page &v2 = pages.at(v + 1);
        const TXMLCudPrintRect redd = placeOf(cud, 2, QStringLiteral("fCudReddDetr"));
        bool found = false;
        for (const Word &w : v2)
            found = found || (w.text == QLatin1String("25.000,50") && w.yMax > redd.Top() - 1 && w.yMax < redd.Top() + 1);
        QVERIFY(found);
        QVERIFY(at(v2, QStringLiteral("01"), 192, 12, 8));
        // dependants on page 4 from 143: spouse, then the first child 4 mm below
        const Page &v4 = pages.at(v + 3);
        QVERIFY(at(v4, QStringLiteral("BNCMRA82A41H501W"), 90, 143, 8));
        QVERIFY(at(v4, QStringLiteral("X"), 49, 143, 8));
        QVERIFY(at(v4, QStringLiteral("VRDLCA15A01F839C"), 90, 147, 8));
        // the second record's child 5 mm lower, its amount ending at 172
        QVERIFY(at(v4, QStringLiteral("VRDNNA18A41F839X"), 90, 152, 8));
        QVERIFY(at(v4, QStringLiteral("X"), 49, 152, 8));
        bool amount = false;
        for (const Word &w : v4)
            amount = amount || (w.text == QLatin1String("950,25") && qAbs(w.xMax - 172) < 1.0);
        QVERIFY(amount);
        // seven INPS rows: page 5 seven times, modules 01...07, fiscal code on
        // each continuation, the row labels
        for (int k = 0; k < 7; ++k) {
            const Page &p5 = pages.at(v + 4 + k);
            QVERIFY2(at(p5, QStringLiteral("%1").arg(k + 1, 2, 10, QLatin1Char('0')), 192, 12, 8), qPrintable(QString::number(k)));
            QVERIFY(has(p5, QString::number(k + 1)));
            const QString amount = QStringLiteral("%1.000,00").arg(k + 1);
            QVERIFY2(has(p5, amount), qPrintable(amount));
            if (k > 0)
                QVERIFY(at(p5, QStringLiteral("VRDGPP70A01H199Z"), 46, 12, 10));
        }
        // page 6 once, the annotations, then the rest
        const Page &ann = pages.at(v + 12);
        QVERIFY(at(ann, QStringLiteral("AC)"), 44, 29, 8));

        const QMap<QString, QString> after = states();
        QCOMPARE(after.value(QStringLiteral("VERDI")), QStringLiteral("1"));
        QCOMPARE(after.value(QStringLiteral("BIANCHI")), QStringLiteral("1"));
        QCOMPARE(run.cdsMultiSelect.changeCount(), 0);

        // the page of a filled CU, for the documentation
        if (qEnvironmentVariableIsSet("VELCU_SCREENSHOTS")) {
            QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("80"),
                                                          QStringLiteral("-f"), QString::number(v + 1), QStringLiteral("-l"),
                                                          QString::number(v + 4), path,
                                                          qEnvironmentVariable("VELCU_SCREENSHOTS") + QStringLiteral("/cu_sintetico")});
        }
    }

    // A document that cannot be written stops the run with the message and
    // leaves every CU unlocked, in the store and in memory; so does a run
    // cancelled between two CUs.
    void aFailedOrCancelledRunLocksNothing()
    {
        TdmVelStampePDF stampe;
        TdmVelMain main;
        TVelCuPrint run(*m_store, stampe, main);
        run.open();
        // the folder is a file: nothing can be written there
        const QString blocker = m_dir.filePath(QStringLiteral("blocker"));
        {
            QFile f(blocker);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        run.outputFolder = blocker;
        try {
            (void)run.print(run.allRows(), QStringLiteral("CU-2026"));
            QFAIL("no error");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Controllare che il documento non sia già aperto.")),
                     qPrintable(e.message()));
        }
        QCOMPARE(states().value(QStringLiteral("VERDI")), QString());
        QCOMPARE(states().value(QStringLiteral("BIANCHI")), QString());
        const TField state = run.cdsMultiSelect.fieldByName(QStringLiteral("iCudStato"));
        for (run.cdsMultiSelect.first(); !run.cdsMultiSelect.eof(); run.cdsMultiSelect.next())
            QVERIFY(state.asString() != QLatin1String("1"));

        // a model that is not a PDF: the operation's label and qpdf's reason
        const QString bad = m_dir.filePath(QStringLiteral("nonpdf.pdf"));
        {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("questo non è un PDF");
        }
        run.outputFolder = m_dir.filePath(QStringLiteral("Modello"));
        run.modelFile = bad;
        try {
            (void)run.print(run.allRows(), QStringLiteral("CU-2026"));
            QFAIL("no error");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Caricamento modello base\n")), qPrintable(e.message()));
            QVERIFY(e.message().size() > 30);
        }
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("Modello/CU-2026.pdf"))));
        QCOMPARE(states().value(QStringLiteral("VERDI")), QString());
        run.modelFile.clear();

        run.outputFolder = m_dir.filePath(QStringLiteral("Cancel"));
        run.progress = [](int done, int) { return done < 1; };
        QCOMPARE(run.print(run.allRows(), QStringLiteral("CU-2026")).kind, TVelPrintResult::Annullato);
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("Cancel/CU-2026.pdf"))));
        // no CU among the rows: said as such, not as a cancel or a missing model
        run.progress = nullptr;
        const TVelPrintResult none = run.print({}, QStringLiteral("Vuota"));
        QCOMPARE(none.kind, TVelPrintResult::NienteDaStampare);
        QCOMPARE(none.outcome.fatal, QStringLiteral("nessun CU da stampare"));
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("Cancel/Vuota.pdf"))));
        QCOMPARE(states().value(QStringLiteral("VERDI")), QString());
    }

    // The window over the run: the file name preset, the selection switching
    // to "Selezionati", only the chosen CU printed and shown in red, the
    // flag columns, "Apri stampa dichiarazione" enabled after the print.
    void theWindowPrintsTheChosenCu()
    {
        TdmVelStampePDF stampe;
        TdmVelMain main;
        std::unique_ptr<TfmVelPDF> form(ovCreate<TfmVelPDF>(nullptr, m_store.get(), &stampe, &main));
        form->show();
        QCOMPARE(form->windowTitle(), QStringLiteral("Selezione"));
        QCOMPARE(form->edPdfFileName->text(), QStringLiteral("CU-2026"));
        QVERIFY(form->rbTutti->isChecked());
        QVERIFY(!form->buOpenPdf->isEnabled());
        QAbstractItemModel *model = form->grMain->model();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("BIANCHI"));
        QCOMPARE(model->index(0, 4).data().toString(), QStringLiteral("X"));
        QCOMPARE(model->index(1, 4).data().toString(), QString());
        // the title "Nome" orders by first name: GIUSEPPE before LAURA
        form->sortByColumn(1);
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("VERDI"));
        form->grMain->selectionModel()->select(model->index(0, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QVERIFY(form->rbSelezionati->isChecked());

        form->run().outputFolder = m_dir.filePath(QStringLiteral("Finestra"));
        form->chFronteRetro->setChecked(true);
        ScriptedResponder user;
        user.answer(IDYES, TfmVelPDF::lockQuestion(1, 1));
        QVERIFY(form->createPdf());
        QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("Finestra/CU-2026.pdf"))));
        QVERIFY(form->buOpenPdf->isEnabled());
        QVERIFY(form->meOut->toPlainText().startsWith(QStringLiteral("File generato: ")));
        QCOMPARE(states().value(QStringLiteral("VERDI")), QStringLiteral("1"));
        QCOMPARE(states().value(QStringLiteral("BIANCHI")), QString());
        QCOMPARE(model->index(0, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
        QVERIFY(model->index(1, 0).data(Qt::ForegroundRole).value<QColor>() != QColor(Qt::red));
        const QList<Page> pages = readPdf(m_dir.filePath(QStringLiteral("Finestra/CU-2026.pdf")));
        QVERIFY(pages.size() % 2 == 0);
        QVERIFY(at(pages.first(), QStringLiteral("VRDGPP70A01H199Z"), 9, 79, 8));
        {
            RecordingShell shell;
            form->openPdf();
            QCOMPARE(shell.documents.size(), 1);
            QCOMPARE(shell.documents.first().filePath, m_dir.filePath(QStringLiteral("Finestra/CU-2026.pdf")));
        }

        const QString dir = qEnvironmentVariable("VELCU_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            QApplication::processEvents();
            form->grab().save(QDir(dir).filePath(QStringLiteral("cu-print-window.png")));
        }
        form->close();

        // "Stampa CU Ordinario": the same window, its own file name
        stampe.ordinario = true;
        std::unique_ptr<TfmVelPDF> other(ovCreate<TfmVelPDF>(nullptr, m_store.get(), &stampe, &main));
        other->show();
        QCOMPARE(other->edPdfFileName->text(), QStringLiteral("CU_Ordinario-2026"));
        other->run().outputFolder = m_dir.filePath(QStringLiteral("FinestraOrdinario"));
        user.answer(IDYES, TfmVelPDF::lockQuestion(1, 2)); // VERDI is printed already
        QVERIFY(other->createPdf());
        const QList<Page> ord = readPdf(m_dir.filePath(QStringLiteral("FinestraOrdinario/CU_Ordinario-2026.pdf")));
        QVERIFY(at(ord.first(), QStringLiteral("2025"), 169, 29, 12));
        QVERIFY(other->meOut->toPlainText().contains(QStringLiteral("File generato: ")));
        QCOMPARE(states().value(QStringLiteral("BIANCHI")), QStringLiteral("1"));
        if (!dir.isEmpty()) {
            QApplication::processEvents();
            other->grab().save(QDir(dir).filePath(QStringLiteral("cu-print-window-ordinario.png")));
        }
        other->close();
    }

    // Previdential page B of the summary CU: a row of other bodies, INAIL,
    // TFR and co-operatives on one page, each with its "Rigo" label at its
    // band (50, 74, 110, 32); a second TFR row continues on a copy.
    void previdentialPageBCarriesEveryBand()
    {
        const QString cf = QStringLiteral("BNCLRA75B41F205X");
        auto row = [&](const char *name, const QVariant &value) {
            return Values{{"SCUDCODFIS", cf}, {"SCUDMESE", QStringLiteral("12")}, {name, value}};
        };
        put("TCUDAE_ALTRIENTI", {row("SAENCODFISENTEPREV", QStringLiteral("80078750587"))});
        put("TCUIN_INAIL", {row("SINA7POSASSTERR", QStringLiteral("12345678"))});
        put("TCUDCA_COOPART", {row("FCUDCAREDDITO", money("1500"))});
        put("TCUDT_TFR", {row("FRL7INDENANNO", money("1111")), row("FRL7INDENANNO", money("2222"))});

        TdmVelStampePDF stampe;
        TdmVelMain main;
        TVelCuPrint run(*m_store, stampe, main);
        run.open();
        run.outputFolder = m_dir.filePath(QStringLiteral("PaginaB"));
        QList<TBookmark> bianchi;
        for (run.cdsMultiSelect.first(); !run.cdsMultiSelect.eof(); run.cdsMultiSelect.next())
            if (run.cdsMultiSelect.fieldByName(QStringLiteral("SCUDCODFIS")).asString() == cf)
                bianchi << run.cdsMultiSelect.bookmark();
        const QList<Page> pages = readPdf(run.print(bianchi, QStringLiteral("B")).path);
        QList<int> pageB;
        for (int i = 0; i < pages.size(); ++i)
            if (PdfWords::hasPhrase(pages.at(i), QStringLiteral("DATI ASSICURATIVI INAIL")))
                pageB << i;
        QCOMPARE(pageB.size(), 2);
        const TXMLCud cud = main.Cud();
        const Page &b1 = pages.at(pageB.at(0));
        for (int top : {50, 74, 110, 32})
            QVERIFY2(at(b1, QStringLiteral("Rigo:"), 5, top, 6), qPrintable(QString::number(top)));
        for (const auto &[field, value] :
             {std::pair{"SAENCODFISENTEPREV", "80078750587"}, std::pair{"SINA7POSASSTERR", "12345678"},
              std::pair{"FCUDCAREDDITO", "1.500,00"}, std::pair{"FRL7INDENANNO", "1.111,00"}}) {
            const TXMLCudPrintRect r = placeOf(cud, 6, QLatin1String(field));
            QVERIFY2(PdfWords::onLine(b1, QLatin1String(value), r.Top(), r.Height()), field);
        }
        // the continuation: the second TFR row alone, module 02, the fiscal code
        const Page &b2 = pages.at(pageB.at(1));
        QVERIFY(at(b2, QStringLiteral("Rigo:"), 5, 110, 6));
        QVERIFY(!at(b2, QStringLiteral("Rigo:"), 5, 50, 6));
        QVERIFY(!at(b2, QStringLiteral("Rigo:"), 5, 74, 6));
        QVERIFY(!at(b2, QStringLiteral("Rigo:"), 5, 32, 6));
        const TXMLCudPrintRect tfr = placeOf(cud, 6, QStringLiteral("FRL7INDENANNO"));
        QVERIFY(PdfWords::onLine(b2, QStringLiteral("2.222,00"), tfr.Top(), tfr.Height()));
        QVERIFY(!has(b2, QStringLiteral("80078750587")));
        QVERIFY(at(b2, QStringLiteral("02"), 192, 12, 8));
        QVERIFY(at(b2, cf, 46, 12, 10));
    }

    // An annotation text longer than the page: the further lines continue on
    // copies of the annotations page, one module further each, with the
    // payee's tax code; every line is printed, in its order.
    void longAnnotationsContinueOnFurtherPages_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("pages");
        QTest::newRow("120 lines") << 120 << 2; // 84 lines a page
        QTest::newRow("250 lines") << 250 << 3;
    }
    void longAnnotationsContinueOnFurtherPages()
    {
        QFETCH(int, lines);
        QFETCH(int, pages);
        const QString cf = QStringLiteral("VRDGPP70A01H199Z");
        QStringList text;
        for (int i = 1; i <= lines; ++i)
            text << QStringLiteral("N%1 annotazione numero %1").arg(i, 3, 10, QLatin1Char('0'));
        editStored("TCUD_DATICUD", cf, {{"SCUDANNOTAZIONI", text.join(QLatin1Char('\n')) + "\n\n"}});
        TdmVelStampePDF stampe;
        TdmVelMain main;
        TVelCuPrint run(*m_store, stampe, main);
        run.open();
        run.outputFolder = m_dir.filePath(QStringLiteral("Annotazioni"));
        QList<TBookmark> verdi;
        for (const TBookmark b : run.allRows()) {
            run.cdsMultiSelect.gotoBookmark(b);
            if (run.cdsMultiSelect.fieldByName(QStringLiteral("SCUDCODFIS")).asString() == cf)
                verdi << b;
        }
        QCOMPARE(verdi.size(), 1);
        const TVelPrintResult printed = run.print(verdi, QStringLiteral("lunghe-%1").arg(lines));
        const QString path = printed.path;
        QVERIFY(!path.isEmpty());
        QVERIFY(printed.outcome.riuscito());

        const QList<Page> all = readPdf(path);
        QList<int> annotationPages; // document pages holding annotation lines
        int next = 1;               // the line expected next
        for (int i = 0; i < all.size(); ++i) {
            bool any = false;
            for (const Word &w : all.at(i)) {
                if (!w.text.startsWith(QLatin1Char('N')) || w.text.size() != 4 || !w.text.mid(1).toInt())
                    continue;
                QCOMPARE(w.text, QStringLiteral("N%1").arg(next, 3, 10, QLatin1Char('0')));
                QVERIFY2(qAbs(w.xMin - 44) < 1.0, qPrintable(w.text));
                ++next;
                any = true;
            }
            if (any)
                annotationPages << i;
        }
        QCOMPARE(next - 1, lines);
        QCOMPARE(annotationPages.size(), pages);
        // one after the other, the module raised on each copy, the tax code on each
        auto moduleOf = [](const Page &page) {
            for (const Word &w : page)
                if (qAbs(w.xMin - 192) < 1.0 && qAbs(w.yMax - 0.207 * 8 / PdfWords::kMm - 12) < 1.0)
                    return w.text.toInt();
            return -1;
        };
        const int module = moduleOf(all.at(annotationPages.first()));
        QVERIFY(module > 0);
        for (int k = 0; k < annotationPages.size(); ++k) {
            const Page &page = all.at(annotationPages.at(k));
            QCOMPARE(annotationPages.at(k), annotationPages.first() + k);
            QVERIFY(at(page, cf, 46, 12, 10));
            QCOMPARE(moduleOf(page), module + k);
        }
        QCOMPARE(states().value(QStringLiteral("VERDI")), QStringLiteral("1"));
    }

    // The wrap of the annotations: the frame's width at the printed font.
    void annotationLinesWrapAsTheBox()
    {
        QCOMPARE(TVelCuPrint::wrapAnnotations(QStringLiteral("AC) uno\nBO)")), (QStringList{"AC) uno", "BO)"}));
        // 37 words of 8.6 mm with their space: 18 to a line of 157 mm (a
        // 590-pixel box would take 19, ending past the frame)
        const QString longLine = QStringLiteral("parola ").repeated(37).trimmed();
        const QStringList lines = TVelCuPrint::wrapAnnotations(longLine);
        QCOMPARE(lines.size(), 3);
        QCOMPARE(lines.join(QLatin1Char(' ')), longLine);
        const QStringList broken = TVelCuPrint::wrapAnnotations(QString(200, QLatin1Char('W')));
        QVERIFY(broken.size() >= 2);
        QCOMPARE(broken.join(QString()), QString(200, QLatin1Char('W')));
    }

    // What the payee receives, on a CU filled as real ones are: a long
    // foreign street and locality, another body's long name, 120 long
    // annotation lines, dependants with a further row on the first record
    // and months "00". Every word inside the 5 mm margin, the annotation
    // lines inside their frame, the long texts inside their boxes, the
    // dependants on their lines, the information page attributable, the
    // document's title, author and date, fonts every reader has.
    void whatThePayeeReceives()
    {
        const QString cf = QStringLiteral("VRDGPP70A01H199Z");
        // as long as the store holds them (35, 35 and 60 characters)
        const QString street = QStringLiteral("RUE DU GRAND-DUC WILHELM-ERNST 1234");
        const QString locality = QStringLiteral("SAINT-REMY-EN-BOUZEMONT-SAINT-GENES");
        const QString body = QStringLiteral("CASSA NAZIONALE DI PREVIDENZA E ASSISTENZA FORENSE AVVOCATI");
        QStringList annotations;
        for (int i = 1; i <= 120; ++i)
            annotations << QStringLiteral("AN) Riga %1 con la descrizione del reddito dell'altro sostituto d'imposta, "
                                          "delle ritenute operate, delle detrazioni spettanti e delle addizionali")
                               .arg(i);
        editStored("TCUD_DATICUD", cf,
                   {{"SCUDVIAECIV", street}, {"SCUDLOCRESEST", locality},
                    {"SCUDANNOTAZIONI", annotations.join(QStringLiteral("\r\n"))}});
        put("TCUDAE_ALTRIENTI", {{{"SCUDCODFIS", cf}, {"SCUDMESE", QStringLiteral("12")}, {"SAENDENENTEPREV", body}}});
        // the first record gets a further child and months "00"
        editStored("TCUDC_CONFAMCARICO", cf,
                   {{"SCUDMESICARPRIFIGL", QStringLiteral("00")}, {"LCUDRELPARFIGL", QStringLiteral("1")},
                    {"SCUDCODFISFIGL", QStringLiteral("VRDPLA20A01F839K")}, {"SCUDMESICARFIGL", QStringLiteral("00")}});

        TdmVelStampePDF stampe;
        TdmVelMain main;
        TVelCuPrint run(*m_store, stampe, main);
        run.open();
        run.outputFolder = m_dir.filePath(QStringLiteral("Percipiente"));
        QVERIFY(run.cdsMultiSelect.locate(QStringLiteral("SCUDCODFIS"), cf));
        const QString path = run.print({run.cdsMultiSelect.bookmark()}, QStringLiteral("P")).path;
        const QList<Page> pages = readPdf(path);
        const TXMLCud cud = main.Cud();

        // inside the printable area (pdftotext gives the imprint's words their
        // bounding boxes too); the annotation lines inside the frame at 202,
        // and using it: the longest ends past 190
        double widest = 0;
        int annotationLines = 0;
        for (const Page &page : pages) {
            for (const Word &w : page) {
                QVERIFY2(w.xMin >= 4.95 && w.yMin >= 4.95 && w.xMax <= 205.05 && w.yMax <= 292.05,
                         qPrintable(QStringLiteral("%1 a %2,%3").arg(w.text).arg(w.xMin).arg(w.yMin)));
                if (qAbs(w.xMin - 44) < 0.5 && w.text == QLatin1String("AN)"))
                    ++annotationLines;
            }
        }
        for (const Page &page : pages) {
            if (!PdfWords::hasPhrase(page, QStringLiteral("AN) Riga")))
                continue;
            for (const Word &w : page) {
                if (w.xMin < 44 || w.yMin < 24)
                    continue;
                QVERIFY2(w.xMax <= 202, qPrintable(QStringLiteral("%1 fino a %2 mm").arg(w.text).arg(w.xMax)));
                widest = std::max(widest, w.xMax);
            }
        }
        QVERIFY(annotationLines == 120);
        QVERIFY2(widest > 190, qPrintable(QString::number(widest)));

        // the long texts inside their boxes
        const Page &first = pages.first();
        struct Long { int pag; const char *field; QString value; };
        const QList<Long> longs{{1, "SCUDVIAECIV", street}, {1, "SCUDLOCRESEST", locality}, {6, "SAENDENENTEPREV", body}};
        for (const Long &l : longs) {
            const Page *page = &first;
            for (const Page &p : pages)
                if (l.pag == 6 && PdfWords::hasPhrase(p, QStringLiteral("ALTRI ENTI PREVIDENZIALI")))
                    page = &p;
            const TXMLCudEdit edit = editOf(cud, l.pag, QLatin1String(l.field));
            const double left = edit.PrintRect().Left(), top = edit.PrintRect().Top(), space = edit.Space().toDouble();
            QVERIFY2(space > 0, l.field);
            const QString lastWord = l.value.split(QLatin1Char(' ')).last();
            bool found = false;
            for (const Word &w : *page)
                if (w.text == lastWord && qAbs(w.yMax - top) < 1.5) {
                    found = true;
                    QVERIFY2(w.xMax <= left + space + 0.3, qPrintable(QStringLiteral("%1: %2 > %3").arg(l.field).arg(w.xMax).arg(left + space)));
                }
            QVERIFY2(found, l.field);
        }

        // dependants: the further rows on the table's lines 152 and 156, no "00"
        const Page *p4 = nullptr;
        for (const Page &p : pages)
            if (has(p, QStringLiteral("BNCMRA82A41H501W")))
                p4 = &p;
        QVERIFY(p4);
        QVERIFY(at(*p4, QStringLiteral("VRDPLA20A01F839K"), 90, 152, 8));
        QVERIFY(at(*p4, QStringLiteral("VRDNNA18A41F839X"), 90, 156, 8));
        QVERIFY(!has(*p4, QStringLiteral("00")));

        // the information page: the payee's tax code and the imprint
        const Page *info = nullptr;
        for (const Page &p : pages)
            if (PdfWords::hasPhrase(p, QStringLiteral("Come leggere questa certificazione")))
                info = &p;
        QVERIFY(info);
        QVERIFY(at(*info, cf, 46, 12, 10));
        QVERIFY(has(*info, QStringLiteral("velcu")));

        // title, author, date; fonts a reader is bound to have (the standard
        // 14) or embedded
        QProcess pdfinfo;
        pdfinfo.start(QStringLiteral("pdfinfo"), {path});
        QVERIFY(pdfinfo.waitForFinished(60000));
        const QString infoText = QString::fromUtf8(pdfinfo.readAllStandardOutput());
        QVERIFY2(infoText.contains(QRegularExpression(QStringLiteral("Title: +Certificazione Unica 2026 - modello sintetico\n"))),
                 qPrintable(infoText));
        QVERIFY2(infoText.contains(QRegularExpression(QStringLiteral("Author: +ISTITUTO DANTE\n"))), qPrintable(infoText));
        QVERIFY2(infoText.contains(QRegularExpression(QStringLiteral("CreationDate: +\\S"))), qPrintable(infoText));
        QProcess fonts;
        fonts.start(QStringLiteral("pdffonts"), {path});
        QVERIFY(fonts.waitForFinished(60000));
        const QStringList fontLines = QString::fromUtf8(fonts.readAllStandardOutput()).split(QLatin1Char('\n')).mid(2);
        static const QRegularExpression standard(QStringLiteral("^(Helvetica|Times|Courier|Symbol|ZapfDingbats)"));
        for (const QString &line : fontLines) {
            if (line.trimmed().isEmpty())
                continue;
            const QStringList cols = line.simplified().split(QLatin1Char(' '));
            QVERIFY2(standard.match(cols.first()).hasMatch() || cols.at(cols.size() - 5) == QLatin1String("yes"),
                     qPrintable(line));
        }

        if (qEnvironmentVariableIsSet("VELCU_SCREENSHOTS"))
            QFile::copy(path, qEnvironmentVariable("VELCU_SCREENSHOTS") + QStringLiteral("/cu_percipiente.pdf"));
    }

    // A draft: "BOZZA" on every page, nothing locked. In the window the draft
    // has its own file name; a print that would lock CUs says how many and
    // asks first, and a "No" prints and locks nothing.
    void aDraftLocksNothingAndThePrintAsksFirst()
    {
        TdmVelStampePDF stampe;
        TdmVelMain main;
        ScriptedResponder user;
        std::unique_ptr<TfmVelPDF> form(ovCreate<TfmVelPDF>(nullptr, m_store.get(), &stampe, &main));
        form->show();
        form->run().outputFolder = m_dir.filePath(QStringLiteral("Bozza"));
        form->chkBozza->setChecked(true);
        QCOMPARE(form->edPdfFileName->text(), QStringLiteral("CU-2026-Bozza"));
        QVERIFY(form->createPdf());
        const QList<Page> pages = readPdf(m_dir.filePath(QStringLiteral("Bozza/CU-2026-Bozza.pdf")));
        QVERIFY(pages.size() > 4);
        for (int i = 0; i < pages.size(); ++i)
            QVERIFY2(has(pages.at(i), QStringLiteral("BOZZA")), qPrintable(QString::number(i + 1)));
        QCOMPARE(states().value(QStringLiteral("VERDI")), QString());
        QCOMPARE(states().value(QStringLiteral("BIANCHI")), QString());
        QVERIFY(form->meOut->toPlainText().contains(QStringLiteral("Bozza: 2 CU, nessuno segnato come stampato.")));
        QCOMPARE(user.texts(), QStringList());

        form->chkBozza->setChecked(false);
        QCOMPARE(form->edPdfFileName->text(), QStringLiteral("CU-2026"));
        user.answer(IDNO, TfmVelPDF::lockQuestion(2, 2));
        QVERIFY(!form->createPdf());
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("Bozza/CU-2026.pdf"))));
        QCOMPARE(states().value(QStringLiteral("VERDI")), QString());

        user.answer(IDYES, TfmVelPDF::lockQuestion(2, 2));
        QVERIFY(form->createPdf());
        QCOMPARE(states().value(QStringLiteral("VERDI")), QStringLiteral("1"));
        QVERIFY(form->meOut->toPlainText().contains(QStringLiteral("CU stampati: 2 (segnati come stampati ora: 2).")));
        // printed again: nothing more to lock, but the file is there and the
        // window asks before replacing it; "No" leaves it as it was
        const QString final = m_dir.filePath(QStringLiteral("Bozza/CU-2026.pdf"));
        const QDateTime written = QFileInfo(final).lastModified();
        user.answer(IDNO, VelAskReplace::question(final));
        QVERIFY(!form->createPdf());
        QCOMPARE(QFileInfo(final).lastModified(), written);
        QVERIFY(form->meOut->toPlainText().endsWith(QStringLiteral("Stampa non eseguita: il file esistente resta com'è.")));
        user.answer(IDYES, VelAskReplace::question(final));
        QVERIFY(form->createPdf());
        QCOMPARE(user.pendingAnswers(), 0);
        QVERIFY(!pagesHave(readPdf(final), QStringLiteral("BOZZA")));

        // a draft given the final print's name is refused, whatever the office
        // would answer: the final document stays
        const QByteArray finalBytes = fileBytes(final);
        form->chkBozza->setChecked(true);
        form->edPdfFileName->setText(QStringLiteral("CU-2026"));
        user.clear();
        QVERIFY(!form->createPdf());
        QCOMPARE(user.texts(), QStringList{TVelCuPrint::draftRefusal(final)});
        QVERIFY(user.lastText().contains(QStringLiteral("è una stampa definitiva")));
        QCOMPARE(fileBytes(final), finalBytes);
        // a draft replaces a draft, once asked
        const QString draft = m_dir.filePath(QStringLiteral("Bozza/CU-2026-Bozza.pdf"));
        form->edPdfFileName->setText(QStringLiteral("CU-2026-Bozza"));
        user.answer(IDYES, VelAskReplace::question(draft));
        QVERIFY(form->createPdf());
        QCOMPARE(user.pendingAnswers(), 0);
        form->close();

        // the run itself refuses the same, whoever drives it
        TVelCuPrint run(*m_store, stampe, main);
        run.open();
        run.draft = true;
        run.outputFolder = m_dir.filePath(QStringLiteral("Bozza"));
        QVERIFY_THROWS_EXCEPTION(EOvError, (void)run.print(run.allRows(), QStringLiteral("CU-2026")));
        QCOMPARE(fileBytes(final), finalBytes);
        run.close();
    }

    static QByteArray fileBytes(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static bool pagesHave(const QList<Page> &pages, const QString &word)
    {
        for (const Page &p : pages)
            if (has(p, word))
                return true;
        return false;
    }
};

QTEST_MAIN(TstDbCuPrint)
#include "tst_db_cu_print.moc"
