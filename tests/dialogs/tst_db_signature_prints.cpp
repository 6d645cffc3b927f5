// The prints beside the CU, from the fiscal store on both engines: the
// signature list (23 rows a page, the header again on every page, rows for
// codes given twice or matching nothing, real names inside their column), the
// payee's leaflet, the frontispiece with its crosses and the Quadro CT with
// their values at the layout's places; a missing model or a file that cannot
// be written stop the print with a clear message and write nothing. The PDFs
// are read back with pdftotext -bbox.
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/ui/framework/OvForms.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/dialogs/TfmVelPdfSost.h"
#include "src/prj/unit/dialogs/TfmVelStampaFirme.h"
#include "src/prj/unit/print/VelAgentPrint.h"
#include "src/prj/unit/print/VelCudLayout.h"
#include "support/PdfWords.h"
#include "support/ScriptedResponder.h"
#include "support/TestDb.h"
#include "support/TestStore.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorCampagna.h"

#include <QAbstractItemModel>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using TestStore::Values;
using PdfWords::kMm;
using PdfWords::Page;
using PdfWords::Word;
using PdfWords::find;
using PdfWords::plainText;

QList<Page> readPdf(const QString &pdf)
{
    return PdfWords::read(pdf, 1.0);
}

// The words whose baseline is near y (points) and that start left of xTo.
QList<Word> line(const Page &page, double y, double size, double xFrom = 0, double xTo = 1e9)
{
    QList<Word> out;
    for (const Word &w : page)
        if (qAbs(w.baseline(size) - y) < 1.0 && w.xMin >= xFrom && w.xMin < xTo)
            out << w;
    return out;
}

QString joined(const QList<Word> &words)
{
    QStringList t;
    for (const Word &w : words)
        t << w.text;
    return t.join(QLatin1Char(' '));
}

QString stagedRes()
{
    return QStringLiteral(VELCU_STAGE_DIR "/") + Campagna::cartellaRes();
}

// The signature list's columns as the shipped layout places them (points).
constexpr double kNameLeft = 42, kCodeColumn = 174, kFirstSurname = 160, kFirstName = 170, kFirstCode = 165;

} // namespace

class TstDbSignaturePrints : public QObject
{
    Q_OBJECT
    std::unique_ptr<TOvSQLConnection> m_db;
    std::unique_ptr<TTorDBCds> m_store;
    std::unique_ptr<QTemporaryDir> m_stp;

    void put(const char *structure, const QList<Values> &rows) { TestStore::put(*m_store, structure, rows); }

    // The n-th payee: surnames in alphabetical order of n.
    static QString surname(int n) { return QStringLiteral("COGNOME%1").arg(n, 2, 10, QLatin1Char('0')); }
    static QString code(int n) { return QStringLiteral("CGNNMO80A01H%1X").arg(n, 3, 10, QLatin1Char('0')); }

    void putPayees(int count)
    {
        QList<Values> rows;
        for (int n = 1; n <= count; ++n)
            rows.append({{"SCUDCODFIS", code(n)}, {"SCUDMESE", QStringLiteral("12")}, {"SCUDCOGNOME", surname(n)},
                         {"SCUDNOME", QStringLiteral("NOME%1").arg(n)},
                         {"iCudStato", n == 2 ? 1 : 0}});
        put("TCUD_DATICUD", rows);
    }

    void putAgent()
    {
        put("TCUS_DATISOST",
            {{{"SSOSCODFIS", QStringLiteral("80012345676")},
              {"SSOSDENOM", QStringLiteral("ISTITUTO COMPRENSIVO STATALE DANTE ALIGHIERI CASTEL S.PIETRO")},
              {"SSOSINDIRIZZO", QStringLiteral("VIA DEI MILLE 12")}, {"SSOSCOMUNE", QStringLiteral("RAVENNA")},
              {"SSOSPROV", QStringLiteral("RA")}, {"SSOSCAP", QStringLiteral("48121")},
              {"SSOSTELFAX", QStringLiteral("0544123456")}, {"SSOSEMAIL", QStringLiteral("raic80000x@istruzione.it")},
              {"SSOSCODATTIVITA", QStringLiteral("852100")}, {"LSOSANNULLAMENTO", QStringLiteral("1")},
              {"LSOSSOSTITUZIONE", QStringLiteral("1")}, {"LSOSCT", QStringLiteral("1")},
              {"LSOSDICHCONTRIB", QStringLiteral("0")}, {"DSOSDTIMPEGNO", QDate(2026, 3, 5)},
              {"ISOSNDIP", 124}}});
    }

    void stampe(TdmVelStampePDF &dm)
    {
        dm.setStore(m_store.get());
        dm.resFolder = stagedRes();
        dm.stpFolder = m_stp->path();
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QVERIFY(QFile::exists(stagedRes() + QStringLiteral("firme.pdf")));
    }

    void init()
    {
        m_store.reset();
        m_db.reset();
        m_db = TestDb::open(true);
        seedStructures(*m_db);
        m_store = TestStore::open(m_db.get());
        m_stp = std::make_unique<QTemporaryDir>();
        putAgent();
    }

    void cleanupTestCase()
    {
        m_store.reset();
        m_db.reset();
    }

    // 24 codes: rows 0-22 on the first page, the 24th on row 0 of the second,
    // whose header is written again; every row with its two signature lines.
    void twentyFourCodesGiveTwoPagesWithTheHeaderOnEach()
    {
        putPayees(24);
        TdmVelStampePDF dm;
        stampe(dm);
        RecordingShell shell;
        QStringList codes;
        for (int n = 1; n <= 24; ++n)
            codes << code(n);
        const QString path = dm.StampaFirme(codes);
        QCOMPARE(QFileInfo(path).fileName(), QStringLiteral("Firme.pdf"));
        QCOMPARE(shell.documents.size(), 1);
        QCOMPARE(shell.documents.first().filePath, QFileInfo(path).absoluteFilePath());
        QVERIFY(!dm.cdsDipendenti->active());

        const QList<Page> pages = readPdf(path);
        QCOMPARE(pages.size(), 2);
        for (int r = 0; r < 23; ++r) {
            const double y = kFirstSurname + 28 * r;
            QCOMPARE(joined(line(pages[0], y, 7, kNameLeft - 1, kCodeColumn)), surname(r + 1));
            QCOMPARE(joined(line(pages[0], kFirstName + 28 * r, 7, kNameLeft - 1, kCodeColumn)), QStringLiteral("NOME%1").arg(r + 1));
            QCOMPARE(joined(line(pages[0], kFirstCode + 28 * r, 7, kCodeColumn)), code(r + 1));
        }
        QCOMPARE(joined(line(pages[1], kFirstSurname, 7, kNameLeft - 1, kCodeColumn)), surname(24));
        QCOMPARE(joined(line(pages[1], kFirstSurname + 28, 7, kNameLeft - 1, kCodeColumn)), QString());
        for (const Page &p : pages) {
            QVERIFY(find(p, QStringLiteral("ALIGHIERI")));
            QVERIFY(find(p, QStringLiteral("RAVENNA")));
            QVERIFY(find(p, QStringLiteral("raic80000x@istruzione.it")));
            QCOMPARE(joined(line(p, 102, 12, 470)), QStringLiteral("2025")); // period
            QCOMPARE(joined(line(p, 123, 9, 470)), QStringLiteral("2025"));  // financial year (TCUA_ANNOFIN)
            QVERIFY(find(p, QStringLiteral("velcu"))); // the imprint
        }

        // the signature lines: two boxes a printed row, drawn in the page's content
        QProcess qpdf;
        qpdf.start(QStringLiteral("qpdf"), {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable"), path,
                                            QStringLiteral("-")});
        QVERIFY(qpdf.waitForFinished(30000));
        const QString content = QString::fromLatin1(qpdf.readAllStandardOutput());
        // outline boxes 0.05 high: 258 wide 84 and 346 wide 193, at 168 + 28 r from the top
        static const QRegularExpression date(QStringLiteral("\\b258 ([\\d.]+) 84 0\\.05 re S"));
        static const QRegularExpression sign(QStringLiteral("\\b346 ([\\d.]+) 193 0\\.05 re S"));
        QSet<int> tops;
        int dates = 0, signs = 0;
        for (auto it = date.globalMatch(content); it.hasNext(); ++dates)
            tops.insert(qRound(842 - it.next().captured(1).toDouble() - 0.05));
        for (auto it = sign.globalMatch(content); it.hasNext(); ++signs)
            it.next();
        QCOMPARE(dates, 24);
        QCOMPARE(signs, 24);
        QSet<int> expected;
        for (int r = 0; r < 23; ++r)
            expected.insert(168 + 28 * r);
        QCOMPARE(tops, expected);
    }

    // A code given twice prints two rows; a code matching no CU leaves its row
    // empty; no selection in the window prints every CU in the grid's order,
    // a selection only the selected rows, in the grid's order.
    void repeatedAndUnknownCodesAndTheWindowsChoice()
    {
        putPayees(4);
        TdmVelStampePDF dm;
        stampe(dm);
        RecordingShell shell;
        const QString path = dm.StampaFirme({code(3), QStringLiteral("XXXXXX00X00X000X"), code(3), code(1)});
        const Page page = readPdf(path).value(0);
        QCOMPARE(joined(line(page, kFirstSurname, 7, kNameLeft - 1, kCodeColumn)), surname(3));
        QCOMPARE(joined(line(page, kFirstSurname + 28, 7, kNameLeft - 1, kCodeColumn)), QString());
        QCOMPARE(joined(line(page, kFirstSurname + 56, 7, kNameLeft - 1, kCodeColumn)), surname(3));
        QCOMPARE(joined(line(page, kFirstSurname + 84, 7, kNameLeft - 1, kCodeColumn)), surname(1));

        TfmVelStampaFirme form(nullptr, m_store.get(), &dm);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.windowTitle(), QStringLiteral("Stampa nominativi CUD per firme"));
        QAbstractItemModel *model = form.dbDipendenti->model();
        QCOMPARE(model->rowCount(), 4);
        QCOMPARE(model->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Cognome"));
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Nome"));
        QVERIFY(form.dbDipendenti->isColumnHidden(2));
        // the printed CU (the second) in red, the others in the default colour
        QCOMPARE(model->data(model->index(1, 0), Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
        QVERIFY(!model->data(model->index(0, 0), Qt::ForegroundRole).value<QColor>().isValid());
        QCOMPARE(form.codes(), (QStringList{code(1), code(2), code(3), code(4)}));
        // picked in the order 4th, 2nd: printed in the grid's order
        QItemSelectionModel *sel = form.dbDipendenti->selectionModel();
        sel->select(model->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        sel->select(model->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(form.codes(), (QStringList{code(2), code(4)}));
        QVERIFY(form.buStampa->isDefault());
        // the list printed above is there: the window asks before replacing it
        ScriptedResponder user;
        user.answer(IDYES, QStringLiteral("Firme.pdf\" esiste già"));
        form.buStampa->click();
        QCOMPARE(user.pendingAnswers(), 0);
        const Page printed = readPdf(m_stp->filePath(QStringLiteral("Firme.pdf"))).value(0);
        QCOMPARE(joined(line(printed, kFirstSurname, 7, kNameLeft - 1, kCodeColumn)), surname(2));
        QCOMPARE(joined(line(printed, kFirstSurname + 28, 7, kNameLeft - 1, kCodeColumn)), surname(4));
        form.buOk->click();
        QVERIFY(!form.cdsDipendenti.active());
    }

    // Real names at 7 points stay inside their column, clear of the fiscal code.
    void longNamesFitTheirColumn()
    {
        const QString longSurname = QStringLiteral("WOLKENSTEIN TRAUTMANSDORF"); // 24 letters
        put("TCUD_DATICUD", {{{"SCUDCODFIS", QStringLiteral("WLKFNC80M41H501W")}, {"SCUDMESE", QStringLiteral("12")},
                              {"SCUDCOGNOME", longSurname}, {"SCUDNOME", QStringLiteral("FRANCESCA ROMANA")}}});
        TdmVelStampePDF dm;
        stampe(dm);
        RecordingShell shell;
        const Page page = readPdf(dm.StampaFirme({QStringLiteral("WLKFNC80M41H501W")})).value(0);
        const QList<Word> surnameWords = line(page, kFirstSurname, 7, kNameLeft - 1, kCodeColumn);
        QCOMPARE(joined(surnameWords), longSurname);
        const QList<Word> nameWords = line(page, kFirstName, 7, kNameLeft - 1, kCodeColumn);
        QCOMPARE(joined(nameWords), QStringLiteral("FRANCESCA ROMANA"));
        QVERIFY(qAbs(surnameWords.first().xMin - kNameLeft) < 0.5);
        // clear of the column's rule by more than a point
        QVERIFY2(surnameWords.last().xMax < kCodeColumn - 1, qPrintable(QString::number(surnameWords.last().xMax)));
        QVERIFY(nameWords.last().xMax < kCodeColumn - 1);
        const QList<Word> codeWords = line(page, kFirstCode, 7, kCodeColumn);
        QCOMPARE(joined(codeWords), QStringLiteral("WLKFNC80M41H501W"));
        QVERIFY(codeWords.first().xMin > kCodeColumn + 1);
        QVERIFY(codeWords.last().xMax < 256 - 1); // the date column begins at 256

        // a surname of 24 of the widest letters is written smaller, still inside
        put("TCUD_DATICUD", {{{"SCUDCODFIS", QStringLiteral("WWWMMM80M41H501W")}, {"SCUDMESE", QStringLiteral("12")},
                              {"SCUDCOGNOME", QString(24, QLatin1Char('W'))}, {"SCUDNOME", QStringLiteral("MARIA")}}});
        const Page wide = readPdf(dm.StampaFirme({QStringLiteral("WWWMMM80M41H501W")})).value(0);
        const Word *w = find(wide, QString(24, QLatin1Char('W')));
        QVERIFY(w);
        QVERIFY2(w->xMax < kCodeColumn - 1, qPrintable(QString::number(w->xMax)));
    }

    // Without its model or configuration the print stops, naming the file,
    // and writes nothing; the leaflet alike.
    void aMissingModelStopsThePrintAndWritesNothing()
    {
        putPayees(2);
        QTemporaryDir res;
        QVERIFY(QFile::copy(stagedRes() + QStringLiteral("stpStampe.xml"), res.filePath(QStringLiteral("stpStampe.xml"))));
        QVERIFY(QFile::copy(stagedRes() + QStringLiteral("TCUA_ANNOFIN.cds"), res.filePath(QStringLiteral("TCUA_ANNOFIN.cds"))));
        TdmVelStampePDF dm;
        stampe(dm);
        dm.resFolder = res.path();
        RecordingShell shell;
        try {
            dm.StampaFirme({code(1)});
            QFAIL("no error");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("\"firme.pdf\"")), qPrintable(e.message()));
            QVERIFY(e.message().startsWith(QStringLiteral("Stampa non eseguita")));
        }
        try {
            dm.StampaInformativa(10, 17);
            QFAIL("no error");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("\"CU_2026_istruz.pdf\"")), qPrintable(e.message()));
        }
        QVERIFY(QDir(m_stp->path()).entryList(QDir::Files).isEmpty());
        QVERIFY(shell.documents.isEmpty());
        QVERIFY(!dm.cdsDipendenti->active());
    }

    // The leaflet: pages 10-17 of the instructions, unchanged.
    void theLeafletIsPagesTenToSeventeen()
    {
        TdmVelStampePDF dm;
        stampe(dm);
        RecordingShell shell;
        const QString path = dm.StampaInformativa(10, 17, m_stp->filePath(QStringLiteral("informativa.pdf")), false);
        QVERIFY(shell.documents.isEmpty());
        QCOMPARE(readPdf(path).size(), 8);
        const QString istruzioni = stagedRes() + QStringLiteral("CU_2026_istruz.pdf");
        QCOMPARE(plainText(path, 1, 8), plainText(istruzioni, 10, 17));
    }

    // The frontispiece: the agent's values at the layout's places, both
    // crosses, the date with four spaces centred on its place; the Quadro CT
    // on page 2 of the ordinary model, its check boxes as "X".
    void frontispieceAndQuadroCT()
    {
        put("TCUCT_DATICT", {{{"SCTCODFIS", QStringLiteral("80012345676")}, {"LCTFISCONLINE", QStringLiteral("1")},
                              {"SCTCELL", QStringLiteral("3331234567")}, {"SCTEMAIL", QStringLiteral("segreteria@scuola.it")},
                              {"LCTSRVENTRATEL", QStringLiteral("0")}}});
        TdmVelStampePDF dm;
        stampe(dm);
        ScriptedResponder user;
        RecordingShell shell;

        TfmVelPdfSost form(nullptr, &dm);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QCOMPARE(form.windowTitle(), QStringLiteral("Stampa Sostituto"));
        QCOMPARE(form.edFile->text(), QStringLiteral("Frontespizio"));
        QVERIFY(!form.buApri->isEnabled());
        QVERIFY(form.crea());
        QVERIFY(form.buApri->isEnabled());
        const QString path = m_stp->filePath(QStringLiteral("Frontespizio.pdf"));
        QCOMPARE(form.lastFile(), path);
        QVERIFY(form.meInfo->toPlainText().startsWith(QStringLiteral("File generato: ")));
        form.buApri->click();
        QCOMPARE(shell.documents.size(), 1);
        QCOMPARE(shell.documents.first().filePath, path);
        QVERIFY(user.shown().isEmpty());

        const QList<Page> pages = readPdf(path);
        QCOMPARE(pages.size(), 1);
        const Page &p = pages.first();
        QVERIFY(find(p, QStringLiteral("FRONTESPIZIO")));
        // the crosses, centred on 65 and 126 mm, baseline 53 mm
        int crosses = 0;
        for (const Word &w : p) {
            if (w.text != QLatin1String("X") || qAbs(w.baseline(9) / kMm - 53) > 0.6)
                continue;
            const double centre = (w.xMin + w.xMax) / 2 / kMm;
            if (qAbs(centre - 65) < 0.6 || qAbs(centre - 126) < 0.6)
                ++crosses;
        }
        QCOMPARE(crosses, 2);
        const TXMLCud cud = GetCud(stagedRes() + QStringLiteral("StpSost.xml"));
        auto place = [&cud](const QString &name) {
            const TXMLCudSection s = cud.Sos().Section(0);
            for (int e = 0; e < s.Count(); ++e)
                if (s.Edit(e).Name() == name)
                    return s.Edit(e);
            qFatal("no %s", qPrintable(name));
            return TXMLCudEdit();
        };
        const TXMLCudPrintRect cf = place(QStringLiteral("SSOSCODFIS")).PrintRect();
        const Word *code = find(p, QStringLiteral("80012345676"));
        QVERIFY(code);
        QVERIFY(qAbs(code->baseline(cf.Height()) / kMm - cf.Top()) < 0.6);
        QVERIFY(code->xMin / kMm >= cf.Left() - 0.6);
        // the name of 60 characters is written smaller to stay in its box
        const TXMLCudEdit denom = place(QStringLiteral("SSOSDENOM"));
        const QList<Word> denomWords = line(p, denom.PrintRect().Top() * kMm, 5, denom.PrintRect().Left() * kMm - 1);
        QVERIFY(denomWords.size() >= 7);
        QCOMPARE(denomWords.first().text, QStringLiteral("ISTITUTO"));
        QCOMPARE(denomWords.at(6).text, QStringLiteral("S.PIETRO"));
        QVERIFY2(denomWords.at(6).xMax / kMm <= denom.PrintRect().Left() + denom.Space().toDouble() + 0.3,
                 qPrintable(QString::number(denomWords.at(6).xMax / kMm)));
        // the check box of the Quadro CT flag
        const TXMLCudEdit ct = place(QStringLiteral("LSOSCT"));
        QCOMPARE(ct.Type(), QStringLiteral("CB"));
        bool ctCross = false;
        for (const Word &w : p)
            ctCross = ctCross || (w.text == QLatin1String("X") && qAbs(w.baseline(ct.PrintRect().Height()) / kMm - ct.PrintRect().Top()) < 0.6
                                  && w.xMin / kMm >= ct.PrintRect().Left() - 0.6);
        QVERIFY(ctCross);
        // the date: day, month and year as three words, centred on Left
        const TXMLCudPrintRect date = place(QStringLiteral("DSOSDTIMPEGNO")).PrintRect();
        const QList<Word> dateWords = line(p, date.Top() * kMm, date.Height());
        QStringList dateTexts;
        double from = 1e9, to = 0;
        for (const Word &w : dateWords) {
            if (w.text == QLatin1String("05") || w.text == QLatin1String("03") || w.text == QLatin1String("2026")) {
                dateTexts << w.text;
                from = qMin(from, w.xMin);
                to = qMax(to, w.xMax);
            }
        }
        QCOMPARE(dateTexts, (QStringList{"05", "03", "2026"}));
        QVERIFY(qAbs((from + to) / 2 / kMm - date.Left()) < 0.8);
        // a "0" flag prints nothing: no cross in the commitment box
        const TXMLCudPrintRect commit = place(QStringLiteral("LSOSDICHCONTRIB")).PrintRect();
        QVERIFY(line(p, commit.Top() * kMm, commit.Height(), commit.Left() * kMm - 2, commit.Left() * kMm + 30).isEmpty());

        // Quadro CT
        TfmVelPdfQuadroCT ctForm(nullptr, &dm);
        ctForm.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ctForm));
        QCOMPARE(ctForm.windowTitle(), QStringLiteral("Stampa Quadro CT"));
        QCOMPARE(ctForm.edFile->text(), QStringLiteral("QuadroCT"));
        QVERIFY(ctForm.crea());
        const Page q = readPdf(m_stp->filePath(QStringLiteral("QuadroCT.pdf"))).value(0);
        QVERIFY(find(q, QStringLiteral("CT")));
        const TXMLCud ctLayout = GetCud(stagedRes() + QStringLiteral("StpQuadroCT.xml"));
        const TXMLCudSection s = ctLayout.Sos().Section(0);
        int checked = 0;
        for (int e = 0; e < s.Count(); ++e) {
            const TXMLCudEdit edit = s.Edit(e);
            const TXMLCudPrintRect r = edit.PrintRect();
            // the value's box runs from Left for Space millimetres (a check box's cross is centred in it)
            const QList<Word> at =
                line(q, r.Top() * kMm, r.Height(), r.Left() * kMm - 1, (r.Left() + qMax(edit.Space().toDouble(), 30.0)) * kMm);
            if (edit.Name() == QLatin1String("SCTEMAIL")) {
                QCOMPARE(joined(at), QStringLiteral("segreteria@scuola.it"));
                ++checked;
            } else if (edit.Name() == QLatin1String("SCTCELL")) {
                QCOMPARE(joined(at), QStringLiteral("3331234567"));
                ++checked;
            } else if (edit.Name() == QLatin1String("LCTFISCONLINE")) {
                QCOMPARE(joined(at).left(1), QStringLiteral("X"));
                ++checked;
            } else if (edit.Name() == QLatin1String("LCTSRVENTRATEL")) {
                QVERIFY(!joined(at).startsWith(QLatin1Char('X')));
                ++checked;
            }
        }
        QCOMPARE(checked, 4);
        QVERIFY(user.shown().isEmpty());
        dm.closeDataSets();
    }

    // Closing the window lets the next print read the agent again: a
    // correction made in the editor in between is printed.
    void theNextPrintReadsTheAgentAgain()
    {
        TdmVelStampePDF dm;
        stampe(dm);
        ScriptedResponder user;
        {
            TfmVelPdfSost form(nullptr, &dm);
            form.show();
            QVERIFY(QTest::qWaitForWindowExposed(&form));
            QVERIFY(form.crea());
            form.buEsci->click();
        }
        QVERIFY(find(readPdf(m_stp->filePath(QStringLiteral("Frontespizio.pdf"))).value(0), QStringLiteral("852100")));
        TClientDataSet agent;
        m_store->Load(agent, QStringLiteral("TCUS_DATISOST"), TTorDBCds::AllMonths);
        agent.first();
        agent.edit();
        agent.fieldByName(QStringLiteral("SSOSCODATTIVITA")).setAsString(QStringLiteral("853100"));
        agent.post();
        m_store->Save(agent, QStringLiteral("TCUS_DATISOST"), TTorDBCds::AllMonths);
        TfmVelPdfSost again(nullptr, &dm);
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        user.answer(IDYES, QStringLiteral("Frontespizio.pdf\" esiste già")); // asked before it is replaced
        QVERIFY(again.crea());
        const Page p = readPdf(m_stp->filePath(QStringLiteral("Frontespizio.pdf"))).value(0);
        QVERIFY(find(p, QStringLiteral("853100")));
        QVERIFY(!find(p, QStringLiteral("852100")));
        QCOMPARE(user.shown().size(), 1);
    }

    // A name that is not a plain file name, a file that cannot be written and
    // a missing model: a clear message, nothing written, "Apri" stays off.
    void agentPrintsThatCannotBeWritten()
    {
        TdmVelStampePDF dm;
        stampe(dm);
        ScriptedResponder user;
        RecordingShell shell;
        TfmVelPdfSost form(nullptr, &dm);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));

        form.edFile->setText(QStringLiteral("../fuori"));
        QVERIFY(!form.crea());
        QVERIFY(user.lastText().contains(QStringLiteral("nome di file valido")));

        // a folder where the file should go: the save fails, with its reason
        QVERIFY(QDir(m_stp->path()).mkpath(QStringLiteral("Frontespizio.pdf")));
        form.edFile->setText(QStringLiteral("Frontespizio"));
        QVERIFY(!form.crea());
        QVERIFY2(user.lastText().startsWith(QStringLiteral("Controllare che il documento non sia già aperto.\n")),
                 qPrintable(user.lastText()));
        QVERIFY(user.lastText().size() > 52);
        QVERIFY(!form.buApri->isEnabled());

        QTemporaryDir empty;
        dm.resFolder = empty.path();
        form.edFile->setText(QStringLiteral("Altro"));
        QVERIFY(!form.crea());
        QVERIFY2(user.lastText().contains(QStringLiteral("CU2026_mod_ord.pdf")), qPrintable(user.lastText()));
        QCOMPARE(QDir(m_stp->path()).entryList(QDir::Files), QStringList());
        QVERIFY(!form.buApri->isEnabled());
        QVERIFY(shell.documents.isEmpty());
        dm.closeDataSets();
    }

    // Renders of the filled prints and pictures of their windows, with values
    // of real length, into VELCU_SCREENSHOT_DIR.
    void screenshotsWithRealLengthValues()
    {
        const QString dir = qEnvironmentVariable("VELCU_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("VELCU_SCREENSHOT_DIR not set");
        const QList<std::pair<const char *, const char *>> people = {
            {"WOLKENSTEIN TRAUTMANSDORF", "FRANCESCA ROMANA"}, {"DELL'ACQUA", "GIOVANNI BATTISTA"},
            {"BIANCHI", "LAURA MARIA"}, {"CASTELLAMMARE DI STABIA", "MARIA ADDOLORATA"}, {"ROSSI", "MARIO"},
            {"D'ALESSANDRO", "PIERGIORGIO"}, {"ESPOSITO", "ANNA"}};
        const QStringList codes = {"WLKFNC80M41H501W", "DLLGNN75C12F839Q", "BNCLRA68M45A944K", "CSTMRA59T52F839Z",
                                   "RSSMRA80A01H501U", "DLSPRG66D18L219M", "SPSNNA90E50F839T"};
        QList<Values> rows;
        for (int i = 0; i < people.size(); ++i)
            rows.append({{"SCUDCODFIS", codes.at(i)}, {"SCUDMESE", QStringLiteral("12")},
                         {"SCUDCOGNOME", QString::fromUtf8(people.at(i).first)},
                         {"SCUDNOME", QString::fromUtf8(people.at(i).second)}, {"iCudStato", i % 3 == 0 ? 1 : 0}});
        put("TCUD_DATICUD", rows);
        put("TCUCT_DATICT", {{{"SCTCODFIS", QStringLiteral("80012345676")}, {"LCTFISCONLINE", QStringLiteral("0")},
                              {"SCTCELL", QStringLiteral("3471234567")},
                              {"SCTEMAIL", QStringLiteral("raic80000x@istruzione.it")},
                              {"SCTSEDEENT", QStringLiteral("000")},
                              {"SCTCODFISINTERM", QStringLiteral("RSSMRA80A01H501U")},
                              {"SCTSEDEENTINTERM", QStringLiteral("001")},
                              {"SCTCELLINTERM", QStringLiteral("3339876543")},
                              {"SCTEMAILINTERM", QStringLiteral("studio.rossi.associati@pec.example.it")},
                              {"SCTFIRMA", QStringLiteral("LAURA MARIA BIANCHI")},
                              {"LCTSRVENTRATEL", QStringLiteral("1")}}});
        {
            // the agent with every block of the frontispiece filled
            TClientDataSet agent;
            m_store->Load(agent, QStringLiteral("TCUS_DATISOST"), TTorDBCds::AllMonths);
            agent.first();
            agent.edit();
            const QList<std::pair<const char *, const char *>> v = {
                {"SSOSDENOM", "ISTITUTO COMPRENSIVO STATALE \"GIUSEPPE MAZZINI\" DI CASTEL S.PIETRO"},
                {"SSOSCODSEDE", "000"}, {"SSOSCFRAPPR", "BNCLRA68M45A944K"}, {"SCARCODICE", "1"},
                {"SSOSCOGNRAPPR", "BIANCHI"}, {"SSOSNOMERAPPR", "LAURA MARIA"}, {"SSOSFIRMACOM", "LAURA MARIA BIANCHI"},
                {"SSOSCODFISINTERM", "RSSMRA80A01H501U"}, {"LSOSDICHCONTRIB", "1"},
                {"SSOSINTERMEDIARIO", "STUDIO ROSSI ASSOCIATI"}};
            for (const auto &[f, x] : v)
                agent.fieldByName(QLatin1String(f)).setAsString(QString::fromUtf8(x));
            agent.post();
            m_store->Save(agent, QStringLiteral("TCUS_DATISOST"), TTorDBCds::AllMonths);
        }
        TdmVelStampePDF dm;
        stampe(dm);
        RecordingShell shell;
        auto render = [&dir](const QString &pdf, const QString &png) {
            QProcess p;
            p.start(QStringLiteral("pdftoppm"), {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("100"),
                                                 QStringLiteral("-singlefile"), pdf, dir + QLatin1Char('/') + png});
            QVERIFY(p.waitForFinished(60000) && p.exitCode() == 0);
        };

        TfmVelStampaFirme firme(nullptr, m_store.get(), &dm);
        firme.show();
        QVERIFY(QTest::qWaitForWindowExposed(&firme));
        firme.dbDipendenti->selectionModel()->select(firme.dbDipendenti->model()->index(2, 0),
                                                     QItemSelectionModel::Select | QItemSelectionModel::Rows);
        firme.grab().save(dir + QStringLiteral("/print-firme-window.png"));
        firme.dbDipendenti->clearSelection();
        render(firme.stampa(), QStringLiteral("print-firme-compilata"));

        TfmVelPdfSost sost(nullptr, &dm);
        sost.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sost));
        QVERIFY(sost.crea());
        sost.grab().save(dir + QStringLiteral("/print-frontespizio-window.png"));
        render(sost.lastFile(), QStringLiteral("print-frontespizio-compilato"));

        TfmVelPdfQuadroCT ct(nullptr, &dm);
        ct.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ct));
        QVERIFY(ct.crea());
        render(ct.lastFile(), QStringLiteral("print-quadro-ct-compilato"));
        dm.closeDataSets();
    }
};

QTEST_MAIN(TstDbSignaturePrints)
#include "tst_db_signature_prints.moc"
