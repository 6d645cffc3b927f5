// The ordinary CU printed from the fiscal store, on both engines: the page
// plan read back with pdftotext (model page 3 first, the fiscal pages only
// with fiscal data or dependants, the dependants at their rows, the
// previdential pages, the TFR pairs, the annotation codes, the
// self-employed page), the annotation codes rebuilt and stored, the lock, and
// the text the font cannot encode printed transliterated.
#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/pdf/TPdkPdf.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/print/VelCuPrint.h"
#include "src/prj/unit/print/VelCudLayout.h"
#include "src/prj/unit/model/VelError.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "support/CuLayoutPlaces.h"
#include "support/PdfWords.h"
#include "support/TestDb.h"
#include "support/TestStore.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorFolders.h"

#include <QDate>
#include <QDir>
#include <QProcess>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using PdfWords::at;
using PdfWords::has;
using PdfWords::hasPhrase;
using PdfWords::Page;

namespace {

using TestStore::Values;

const QString kRossi = QStringLiteral("RSSMRA80A01H501U");
const QString kNeri = QStringLiteral("NRELGU90B02F205K");

using CuLayoutPlaces::placeOf;
using TestStore::money;

// What a page of the ordinary CU is, by the words of its model page.
QString kindOf(const Page &p)
{
    if (at(p, QStringLiteral("2025"), 169, 29, 12))
        return QStringLiteral("3");
    if (hasPhrase(p, QStringLiteral("CODICI DELLE ANNOTAZIONI")))
        return QStringLiteral("13");
    if (hasPhrase(p, QStringLiteral("RAPPORTO DI LAVORO")))
        return QStringLiteral("TFR");
    if (hasPhrase(p, QStringLiteral("DATI ASSICURATIVI INAIL")))
        return QStringLiteral("10");
    if (hasPhrase(p, QStringLiteral("SEZIONE 1 - INPS")))
        return QStringLiteral("9");
    if (hasPhrase(p, QStringLiteral("CERTIFICAZIONE LAVORO AUTONOMO,")))
        return QStringLiteral("14");
    if (hasPhrase(p, QStringLiteral("DATI FISCALI")))
        return QStringLiteral("F");
    return QStringLiteral("?");
}

} // namespace

class TstDbCuPrintOrd : public QObject
{
    Q_OBJECT
    std::unique_ptr<TOvSQLConnection> m_db;
    std::unique_ptr<TTorDBCds> m_store;
    QTemporaryDir m_dir;

    void put(const char *structure, const QList<Values> &rows) { TestStore::put(*m_store, structure, rows); }

    static Values of(const QString &cf, Values more)
    {
        more.prepend({"SCUDMESE", QStringLiteral("12")});
        more.prepend({"SCUDCODFIS", cf});
        return more;
    }

    // ROSSI: fiscal data, dependants, two INPS rows and a public-pension row,
    // three TFR rows, annotations, a self-employed row. NERI: nothing but the
    // name, and a stored row of annotation codes its text no longer names.
    void fillStore()
    {
        put("TCUS_DATISOST", {{{"SSOSCODFIS", QStringLiteral("80012345676")},
                               {"SSOSDENOM", QStringLiteral("ISTITUTO DANTE")}}});
        put("TCUD_DATICUD",
            {of(kRossi, {{"SCUDCOGNOME", QStringLiteral("ROSSI")}, {"SCUDNOME", QStringLiteral("MARIO")},
                         {"fCudReddDetr", money("25000.50")},
                         {"SCUDANNOTAZIONI", QStringLiteral("AC) Detrazioni per carichi di famiglia\r\nBO)\r\n"
                                                            "QQ) codice che la tabella non ha\r\n"
                                                            "al) Addizionali regionale e comunale")}}),
             of(kNeri, {{"SCUDCOGNOME", QStringLiteral("NERI")}, {"SCUDNOME", QStringLiteral("LUIGI")}})});
        put("TCUDI_INPS", {of(kRossi, {{"FCUDIMPONIBILE", money("1000")}}),
                           of(kRossi, {{"FCUDIMPONIBILE", money("2000")}})});
        put("TCUDN_INPDAP", {of(kRossi, {{"SCUDCODFISAMMNE", QStringLiteral("80099999999")}})});
        put("TCUDT_TFR", {of(kRossi, {{"FRL7INDENANNO", money("1111")}}), of(kRossi, {{"FRL7INDENANNO", money("2222")}}),
                          of(kRossi, {{"FRL7INDENANNO", money("3333")}})});
        put("TASE_AUTSOMMEEROGATE", {of(kRossi, {{"SCAUCODICE", QStringLiteral("A")}, {"FDSE7AMMLORDO", money("700")}})});
        put("TCUDC_CONFAMCARICO",
            {of(kRossi, {{"LCUDRELPARCON", QStringLiteral("1")}, {"SCUDCODFISCON", QStringLiteral("BNCMRA82A41H501W")},
                         {"SCUDMESICARCON", QStringLiteral("12")}, {"LCUDRELPARPRIFIGL", QStringLiteral("1")},
                         {"SCUDCODFISPRIFIGL", QStringLiteral("RSSLCA15A01F839C")}}),
             of(kRossi, {{"LCUDRELPARFIGL", QStringLiteral("1")}, {"SCUDCODFISFIGL", QStringLiteral("RSSNNA18A41F839X")}})});
        // NERI's stale codes
        TClientDataSet cu;
        m_store->Load(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        QVERIFY(cu.locate(QStringLiteral("SCUDCODFIS"), kNeri));
        put("TCUDA_ANNOTAZIONI", {of(kNeri, {{"iAfiID", cu.fieldByName(QStringLiteral("iAfiID")).value()},
                                            {"SANN701", QStringLiteral("ZZ")}})});
    }

    // The stored rows of annotation codes: tax code -> codes of each row.
    QMap<QString, QList<QStringList>> storedCodes()
    {
        TClientDataSet ds;
        m_store->Load(ds, QStringLiteral("TCUDA_ANNOTAZIONI"), TTorDBCds::AllMonths);
        QMap<QString, QList<QStringList>> out;
        for (ds.first(); !ds.eof(); ds.next()) {
            QStringList codes;
            for (int k = 1; k <= 56; ++k) {
                const QString c = ds.fieldByName(QStringLiteral("SANN7%1").arg(k, 2, 10, QLatin1Char('0'))).asString();
                if (!c.isEmpty())
                    codes << c;
            }
            out[ds.fieldByName(QStringLiteral("SCUDCODFIS")).asString()] << codes;
        }
        return out;
    }

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

    void ordinaryPagePlan()
    {
        TdmVelStampePDF stampe;
        stampe.ordinario = true;
        TdmVelMain main;
        TVelCuPrint run(*m_store, stampe, main);
        run.open();
        run.outputFolder = m_dir.filePath(QStringLiteral("Ord"));
        QStringList warnings;
        run.warning = [&warnings](const QString &w) { warnings << w; };
        const QString path = run.print(run.allRows(), TVelCuPrint::defaultFileName(true)).path;
        QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("CU_Ordinario-2026.pdf"));
        QCOMPARE(warnings, QStringList());

        const QList<Page> pages = PdfWords::read(path);
        QStringList plan;
        for (const Page &p : pages)
            plan << kindOf(p);
        // NERI (no fiscal data, no dependants): page 3 alone. ROSSI: 3, the
        // five fiscal pages, page 9 twice (two INPS rows), 10 once, two TFR
        // pairs for three rows, one page of codes, the self-employed page.
        QCOMPARE(plan.join(QLatin1Char(' ')), QStringLiteral("3 3 F F F F F 9 9 10 TFR TFR TFR TFR 13 14"));
        const TXMLCud cud = main.Cud();
        const TXMLCudPrintRect cf = placeOf(cud, 1, QStringLiteral("SCUDCODFIS"));
        QVERIFY(at(pages.at(0), kNeri, cf.Left(), cf.Top(), cf.Height()));
        QVERIFY(at(pages.at(1), kRossi, cf.Left(), cf.Top(), cf.Height()));

        // the fiscal pages: module 01, the amount at its place on page 4
        for (int i = 2; i <= 6; ++i)
            QVERIFY(at(pages.at(i), QStringLiteral("01"), 192, 12, 8));
        const TXMLCudPrintRect redd = placeOf(cud, 2, QStringLiteral("fCudReddDetr"));
        QVERIFY(PdfWords::onLine(pages.at(2), QStringLiteral("25.000,50"), redd.Top(), redd.Height()));
        // the dependants on page 8 from 28: spouse, first child 4 mm lower,
        // the second record's child 5 mm lower
        const Page &p8 = pages.at(6);
        QVERIFY(at(p8, QStringLiteral("X"), 49, 28, 8));
        QVERIFY(at(p8, QStringLiteral("BNCMRA82A41H501W"), 90, 28, 8));
        QVERIFY(at(p8, QStringLiteral("12"), 153, 28, 8));
        QVERIFY(at(p8, QStringLiteral("RSSLCA15A01F839C"), 90, 32, 8));
        QVERIFY(at(p8, QStringLiteral("RSSNNA18A41F839X"), 90, 37, 8));

        // page 9: INPS labels at 40, the public pension's at 84; module 01 then 02
        QVERIFY(at(pages.at(7), QStringLiteral("Rigo:"), 5, 40, 6));
        QVERIFY(at(pages.at(7), QStringLiteral("Rigo:"), 5, 84, 6));
        QVERIFY(!at(pages.at(8), QStringLiteral("Rigo:"), 5, 84, 6));
        QVERIFY(at(pages.at(7), QStringLiteral("01"), 192, 12, 8));
        QVERIFY(at(pages.at(8), QStringLiteral("02"), 192, 12, 8));
        QVERIFY(at(pages.at(8), kRossi, 46, 12, 10));
        // page 10 has no TFR band: the TFR amounts only on the TFR pages
        QVERIFY(!has(pages.at(9), QStringLiteral("1.111,00")));

        // the TFR pairs: rows 1 and 2 on the first pair, row 3 on the second;
        // fiscal code and module on all four
        const TXMLCudPrintRect tfr = placeOf(cud, 9, QStringLiteral("FRL7INDENANNO"));
        const char *amounts[] = {"1.111,00", "2.222,00", "3.333,00"};
        for (int k = 0; k < 4; ++k) {
            const Page &p = pages.at(10 + k);
            QVERIFY(at(p, kRossi, 46, 12, 10));
            QVERIFY(at(p, k < 2 ? QStringLiteral("01") : QStringLiteral("02"), 192, 12, 8));
            QCOMPARE(at(p, QStringLiteral("Rigo:"), 5, 44, 6), k < 3);
            if (k < 3) {
                QVERIFY2(PdfWords::onLine(p, QLatin1String(amounts[k]), tfr.Top(), tfr.Height()), amounts[k]);
                QVERIFY(has(p, QString::number(k + 1)));
            }
        }

        // the codes: AC and AL (lower case in the text), not BO nor QQ
        const Page &p13 = pages.at(14);
        const TXMLCudPrintRect c1 = placeOf(cud, 11, QStringLiteral("SANN701"));
        const TXMLCudPrintRect c2 = placeOf(cud, 11, QStringLiteral("SANN702"));
        QVERIFY(at(p13, QStringLiteral("AC"), c1.Left(), c1.Top(), c1.Height()));
        QVERIFY(at(p13, QStringLiteral("AL"), c2.Left(), c2.Top(), c2.Height()));
        QVERIFY(!has(p13, QStringLiteral("QQ")) && !has(p13, QStringLiteral("BO")));
        QVERIFY(at(p13, QStringLiteral("Rigo:"), 5, 34, 6));
        QVERIFY(at(p13, kRossi, 46, 12, 10));
        QVERIFY(at(pages.at(15), QStringLiteral("Rigo:"), 5, 45, 6));

        // stored: ROSSI's codes, NERI's stale row gone; both CUs locked
        const QMap<QString, QList<QStringList>> codes = storedCodes();
        QCOMPARE(codes.value(kRossi), (QList<QStringList>{{QStringLiteral("AC"), QStringLiteral("AL")}}));
        QVERIFY(!codes.contains(kNeri));
        QCOMPARE(states().value(QStringLiteral("ROSSI")), QStringLiteral("1"));
        QCOMPARE(states().value(QStringLiteral("NERI")), QStringLiteral("1"));

        // a second run finds the rows as the text asks: the same pages
        const QList<Page> again = PdfWords::read(run.print(run.allRows(), QStringLiteral("Ancora")).path);
        QCOMPARE(again.size(), pages.size());
        QCOMPARE(storedCodes().value(kRossi), codes.value(kRossi));

        if (qEnvironmentVariableIsSet("VELCU_SCREENSHOTS"))
            QFile::copy(path, qEnvironmentVariable("VELCU_SCREENSHOTS") + QStringLiteral("/cu_ordinario_test.pdf"));
    }

    // Dependants without fiscal data bring pages 4-8; two-sided, a blank page
    // only where the next CU would start on an even page, and in no CU's
    // pages: each CU's (a payee's own file) begin with its page 3.
    void dependantsAloneBringTheFiscalPagesTwoSided()
    {
        put("TCUDC_CONFAMCARICO", {of(kNeri, {{"LCUDRELPARCON", QStringLiteral("1")},
                                              {"SCUDCODFISCON", QStringLiteral("BNCMRA82A41H501W")}})});
        // after ROSSI's 15 pages
        put("TCUD_DATICUD", {of(QStringLiteral("VRDGPP70A01H199Z"), {{"SCUDCOGNOME", QStringLiteral("VERDI")}})});
        TdmVelStampePDF stampe;
        stampe.ordinario = true;
        TdmVelMain main;
        TVelCuPrint run(*m_store, stampe, main);
        run.open();
        run.twoSided = true;
        run.outputFolder = m_dir.filePath(QStringLiteral("FronteRetro"));
        const QList<Page> pages = PdfWords::read(run.print(run.allRows(), QStringLiteral("F")).path);
        QStringList plan;
        for (const Page &p : pages)
            plan << (p.isEmpty() ? QStringLiteral("-") : kindOf(p));
        // NERI: 3 and the five fiscal pages; ROSSI from page 7, no blank between
        QCOMPARE(plan.mid(0, 8).join(QLatin1Char(' ')), QStringLiteral("3 F F F F F 3 F"));
        QVERIFY(at(pages.at(5), QStringLiteral("BNCMRA82A41H501W"), 90, 28, 8));
        QCOMPARE(plan.mid(21).join(QLatin1Char(' ')), QStringLiteral("- 3"));
        QStringList starts;
        for (const TVelCuPrint::PageRange &r : run.pageRanges())
            starts << QStringLiteral("%1-%2 %3").arg(r.first).arg(r.last).arg(plan.at(r.first - 1));
        QCOMPARE(starts, (QStringList{"1-6 3", "7-21 3", "23-23 3"}));
    }

    // 57 codes: a second row, and a second copy of page 13 one module further.
    void fiftySevenCodesGiveTwoRows()
    {
        QStringList lines;
        for (int i = 0; i < 57; ++i)
            lines << QStringLiteral("AC) nota %1").arg(i + 1);
        TClientDataSet cu;
        m_store->Load(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        QVERIFY(cu.locate(QStringLiteral("SCUDCODFIS"), kNeri));
        cu.edit();
        cu.fieldByName(QStringLiteral("SCUDANNOTAZIONI")).setAsString(lines.join(QStringLiteral("\r\n")));
        cu.post();
        m_store->Save(cu, QStringLiteral("TCUD_DATICUD"), 12);

        TdmVelStampePDF stampe;
        stampe.ordinario = true;
        TdmVelMain main;
        TVelCuPrint run(*m_store, stampe, main);
        run.open();
        run.outputFolder = m_dir.filePath(QStringLiteral("Codici"));
        QVERIFY(run.cdsMultiSelect.locate(QStringLiteral("SCUDCODFIS"), kNeri));
        const QList<Page> pages = PdfWords::read(run.print({run.cdsMultiSelect.bookmark()}, QStringLiteral("N")).path);
        QCOMPARE(pages.size(), 3);
        QCOMPARE(kindOf(pages.at(1)), QStringLiteral("13"));
        QVERIFY(at(pages.at(1), QStringLiteral("01"), 192, 12, 8));
        QVERIFY(at(pages.at(2), QStringLiteral("02"), 192, 12, 8));
        const QList<QStringList> rows = storedCodes().value(kNeri);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(0).size(), 56);
        QCOMPARE(rows.at(1), QStringList{QStringLiteral("AC")});
    }

    // A notes table that cannot be read: the warning, and the print goes on
    // with the stored rows; a cancelled run stores nothing and locks nothing.
    void annotationErrorsAndCancel()
    {
        // an installation whose Tabelle folder lacks the notes table
        QTemporaryDir root;
        const QString res = root.filePath(Campagna::cartellaRes());
        QVERIFY(QDir().mkpath(res));
        for (const QString &f : {Campagna::modelloOrdinario(), QStringLiteral("StpCUD_Ord.xml")})
            QVERIFY(QFile::copy(TorFolders::resolveFile(TorFolders::resDir(), f), res + f));
        const QByteArray stage = qgetenv("VELCU_STAGE_DIR");
        qputenv("VELCU_STAGE_DIR", root.path().toLocal8Bit());

        TdmVelStampePDF stampe;
        stampe.ordinario = true;
        TdmVelMain main;
        TVelCuPrint run(*m_store, stampe, main);
        run.open();
        run.outputFolder = m_dir.filePath(QStringLiteral("Errore"));
        QStringList warnings;
        run.warning = [&warnings](const QString &w) { warnings << w; };
        const QString path = run.print(run.allRows(), QStringLiteral("E")).path;
        qputenv("VELCU_STAGE_DIR", stage);
        QVERIFY(QFile::exists(path));
        QCOMPARE(warnings.size(), 1); // once a run, not once a CU
        QVERIFY(warnings.first().startsWith(QStringLiteral("Controllare le annotazioni nel Modello CU: ")));
        QVERIFY(warnings.first().size() > 50);
        QCOMPARE(states().value(QStringLiteral("ROSSI")), QStringLiteral("1"));
        // NERI's stored row is printed as it stands and stays
        QCOMPARE(storedCodes().value(kNeri), (QList<QStringList>{{QStringLiteral("ZZ")}}));
        bool zz = false;
        for (const Page &p : PdfWords::read(path))
            zz = zz || has(p, QStringLiteral("ZZ"));
        QVERIFY(zz);

        // cancelled after the first CU: no file, no codes stored, no lock
        TClientDataSet cu;
        m_store->Load(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        for (cu.first(); !cu.eof(); cu.next()) {
            cu.edit();
            cu.fieldByName(QStringLiteral("iCudStato")).setValue(0);
            cu.post();
        }
        m_store->Save(cu, QStringLiteral("TCUD_DATICUD"), 12);
        TVelCuPrint second(*m_store, stampe, main);
        second.open();
        second.outputFolder = m_dir.filePath(QStringLiteral("Annullata"));
        second.progress = [](int done, int) { return done < 1; };
        QCOMPARE(second.print(second.allRows(), QStringLiteral("A")).kind, TVelPrintResult::Annullato);
        QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("Annullata/A.pdf"))));
        QCOMPARE(storedCodes().value(kNeri), (QList<QStringList>{{QStringLiteral("ZZ")}}));
        QVERIFY(states().value(QStringLiteral("NERI")) != QLatin1String("1"));
        QVERIFY(states().value(QStringLiteral("ROSSI")) != QLatin1String("1"));

        // a document that cannot be written: the message, nothing stored, nothing locked
        const QString blocker = m_dir.filePath(QStringLiteral("bloccato"));
        {
            QFile f(blocker);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        TVelCuPrint third(*m_store, stampe, main);
        third.open();
        third.outputFolder = blocker;
        TVelRunOutcome failed;
        try {
            (void)third.print(third.allRows(), QStringLiteral("B"));
            QFAIL("no error");
        } catch (const EVelError &e) {
            QVERIFY(e.runOutcome());
            failed = *e.runOutcome();
            QVERIFY(e.message().startsWith(QStringLiteral("Controllare che il documento non sia già aperto.")));
            QCOMPARE(e.errorCode(), TVelErrorCode::Scrittura);
            QCOMPARE(e.context().file, QDir(blocker).filePath(QStringLiteral("B.pdf")));
        }
        // every CU failed at the saving of the document, none earlier
        for (const TVelPayeeOutcome &p : failed.payees) {
            QCOMPARE(p.result, TVelResult::Errore);
            QCOMPARE(p.stage, TVelStage::Conferma);
        }
        QCOMPARE(storedCodes().value(kNeri), (QList<QStringList>{{QStringLiteral("ZZ")}}));
        QVERIFY(!storedCodes().contains(kRossi));
        QVERIFY(states().value(QStringLiteral("ROSSI")) != QLatin1String("1"));
    }

    // Names the font's encoding lacks print transliterated, never as "?",
    // in both runs; the accented letters it has print as they are.
    void namesOutsideTheFontAreTransliterated()
    {
        QCOMPARE(TPdkPdf::transliterate(QStringLiteral("Łukasz Żółć")), QStringLiteral("Lukasz Zólc"));
        QCOMPARE(TPdkPdf::transliterate(QStringLiteral("Nguyễn Thị")), QStringLiteral("Nguyên Thi"));
        QCOMPARE(TPdkPdf::transliterate(QStringLiteral("Ștefan Țurcanu")), QStringLiteral("Stefan Turcanu"));
        QCOMPARE(TPdkPdf::transliterate(QStringLiteral("Шевченко ШЕВЧЕНКО")), QStringLiteral("Shevchenko SHEVCHENKO"));
        QCOMPARE(TPdkPdf::transliterate(QStringLiteral("Παπαδάκης")), QStringLiteral("Papadakis"));
        QCOMPARE(TPdkPdf::transliterate(QStringLiteral("ﬁne − 5")), QStringLiteral("fine - 5"));
        QCOMPARE(TPdkPdf::transliterate(QStringLiteral("NICOLÒ €")), QStringLiteral("NICOLÒ €"));
        QVERIFY(!TPdkPdf::transliterate(QStringLiteral("王 😀 İ")).contains(QLatin1Char('?')));
        QVERIFY(TPdkPdf::toWinAnsi(QStringLiteral("Żółć 王")).find('?') == std::string::npos);

        TClientDataSet cu;
        m_store->Load(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        QVERIFY(cu.locate(QStringLiteral("SCUDCODFIS"), kNeri));
        cu.edit();
        cu.fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(QStringLiteral("Żółć-Nguyễn"));
        cu.fieldByName(QStringLiteral("SCUDNOME")).setAsString(QStringLiteral("Łukasz"));
        cu.post();
        m_store->Save(cu, QStringLiteral("TCUD_DATICUD"), 12);
        for (bool ordinario : {false, true}) {
            TdmVelStampePDF stampe;
            stampe.ordinario = ordinario;
            TdmVelMain main;
            TVelCuPrint run(*m_store, stampe, main);
            run.open();
            run.outputFolder = m_dir.filePath(ordinario ? QStringLiteral("NomiO") : QStringLiteral("NomiS"));
            QVERIFY(run.cdsMultiSelect.locate(QStringLiteral("SCUDCODFIS"), kNeri));
            const QList<Page> pages = PdfWords::read(run.print({run.cdsMultiSelect.bookmark()}, QStringLiteral("N")).path);
            const TXMLCudPrintRect r = placeOf(main.Cud(), 1, QStringLiteral("SCUDCOGNOME"));
            QVERIFY2(at(pages.first(), QStringLiteral("Zólc-Nguyên"), r.Left(), r.Top(), r.Height()),
                     ordinario ? "ordinary" : "summary");
            QVERIFY(has(pages.first(), QStringLiteral("Lukasz")));
            for (const PdfWords::Word &w : pages.first())
                QVERIFY2(!w.text.contains(QLatin1Char('?')), qPrintable(w.text));
        }
    }

    // One ordinary CU filled as a real one is, rendered for the documentation
    // (VELCU_SCREENSHOTS names the folder; skipped otherwise).
    void renderFilledOrdinaryCu()
    {
        const QString out = qEnvironmentVariable("VELCU_SCREENSHOTS");
        if (out.isEmpty())
            QSKIP("VELCU_SCREENSHOTS not set");
        const QString cf = QStringLiteral("CVLFNC78M52H501Q");
        put("TCUD_DATICUD",
            {of(cf, {{"SCUDCOGNOME", QStringLiteral("CAVALCANTI DELLA GHERARDESCA")},
                     {"SCUDNOME", QStringLiteral("FRANCESCA ROMANA")}, {"SCUDSEX", QStringLiteral("F")},
                     {"DCUDDATANAS", QDate(1978, 8, 12)}, {"SCUDCOMNAS", QStringLiteral("ROMA")},
                     {"SCUDPROVNAS", QStringLiteral("RM")}, {"DCUDDATIANADATA", QDate(2026, 3, 2)},
                     {"SCUDDATIANAFIRMA", QStringLiteral("MARIO ROSSI")}, {"fCudReddDetr", money("31874.22")},
                     {"LCUDCONGUAGLIO", QStringLiteral("X")},
                     {"SCUDANNOTAZIONI", QStringLiteral("AC) Detrazioni per carichi di famiglia\r\n"
                                                        "AL) Addizionali regionale e comunale\r\nBO)\r\n"
                                                        "AN) Altre informazioni")}})});
        put("TCUDI_INPS", {of(cf, {{"sCudMatrAzienda", QStringLiteral("7012345678")},
                                   {"FCUDIMPONIBILE", money("31874.22")}, {"fCudContribTratt", money("2932.43")}}),
                           of(cf, {{"sCudMatrAzienda", QStringLiteral("7098765432")},
                                   {"FCUDIMPONIBILE", money("1250")}, {"fCudContribTratt", money("115")}})});
        put("TCUDT_TFR", {of(cf, {{"FRL7INDENANNO", money("18450.75")}, {"FRL7RITOPERATEANN", money("4243.67")}})});
        put("TCUDC_CONFAMCARICO",
            {of(cf, {{"LCUDRELPARCON", QStringLiteral("1")}, {"SCUDCODFISCON", QStringLiteral("BNCMRA75C10H501Z")},
                     {"SCUDMESICARCON", QStringLiteral("12")}, {"LCUDRELPARPRIFIGL", QStringLiteral("1")},
                     {"SCUDCODFISPRIFIGL", QStringLiteral("BNCLCU08A01H501B")}, {"SCUDMESICARPRIFIGL", QStringLiteral("12")}}),
             of(cf, {{"LCUDRELPARFIGL", QStringLiteral("1")}, {"SCUDCODFISFIGL", QStringLiteral("BNCGLI12E45H501C")},
                     {"SCUDMESICARFIGL", QStringLiteral("12")}}),
             of(cf, {{"LCUDRELPARFIGLDIS", QStringLiteral("1")}, {"SCUDCODFISFIGL", QStringLiteral("BNCPTR15T10H501D")},
                     {"SCUDMESICARFIGL", QStringLiteral("06")}})});

        TdmVelStampePDF stampe;
        stampe.ordinario = true;
        TdmVelMain main;
        TVelCuPrint run(*m_store, stampe, main);
        run.open();
        run.outputFolder = m_dir.filePath(QStringLiteral("Render"));
        QVERIFY(run.cdsMultiSelect.locate(QStringLiteral("SCUDCODFIS"), cf));
        const QString path = run.print({run.cdsMultiSelect.bookmark()}, QStringLiteral("R")).path;
        const QList<Page> pages = PdfWords::read(path);
        QStringList plan;
        for (const Page &p : pages)
            plan << kindOf(p);
        QCOMPARE(plan.join(QLatin1Char(' ')), QStringLiteral("3 F F F F F 9 9 10 TFR TFR 13"));
        const struct { int page; const char *name; } shots[] = {
            {1, "p3-frontespizio-cu"}, {2, "p4-dati-fiscali"}, {6, "p8-familiari"}, {7, "p9-inps"},
            {10, "p11-tfr"}, {12, "p13-annotazioni"}};
        for (const auto &s : shots) {
            QCOMPARE(QProcess::execute(QStringLiteral("pdftoppm"),
                                       {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("70"),
                                        QStringLiteral("-singlefile"), QStringLiteral("-f"), QString::number(s.page),
                                        QStringLiteral("-l"), QString::number(s.page), path,
                                        QDir(out).filePath(QStringLiteral("cu-ordinario-") + QLatin1String(s.name))}),
                     0);
        }
    }
};

QTEST_MAIN(TstDbCuPrintOrd)
#include "tst_db_cu_print_ord.moc"
