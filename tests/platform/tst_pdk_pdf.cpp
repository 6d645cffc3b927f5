// The PDF workspace: text lands where the font's widths say (read back with
// pdftotext), model pages are stored once however often they are copied,
// failures come back as 0 and Check turns them into errors with their label.
#include "platform/core/OvExceptions.h"
#include "platform/core/OvSafeFile.h"
#include "platform/pdf/TPdkPdf.h"

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr double kMm = 72.0 / 25.4;

struct Word
{
    QString text;
    double xMin, yMin, xMax, yMax; // points, from the top-left corner
};

// Words of one page as pdftotext -bbox reports them.
QList<Word> words(const QString &pdf, int page)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-f"), QString::number(page),
                                          QStringLiteral("-l"), QString::number(page), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        qFatal("pdftotext failed on %s", qPrintable(pdf));
    static const QRegularExpression re(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    QList<Word> out;
    const QString xml = QString::fromUtf8(p.readAllStandardOutput());
    for (auto it = re.globalMatch(xml); it.hasNext();) {
        const auto m = it.next();
        QString t = m.captured(5);
        t.replace(QStringLiteral("&amp;"), QStringLiteral("&")).replace(QStringLiteral("&quot;"), QStringLiteral("\""));
        out.append({t, m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                    m.captured(4).toDouble()});
    }
    return out;
}

// The word, or an empty one (text "") when the page does not hold it.
Word findWord(const QList<Word> &list, const QString &text)
{
    for (const Word &w : list) {
        if (w.text == text)
            return w;
    }
    return {QString(), 0, 0, 0, 0};
}

bool has(const QList<Word> &list, const QString &text)
{
    return !findWord(list, text).text.isEmpty();
}

// Baseline of horizontal Helvetica text from its box (descender 0.207 em).
double baseline(const Word &w, double size)
{
    return w.yMax - 0.207 * size;
}

int pageCount(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("qpdf"), {QStringLiteral("--show-npages"), pdf});
    p.waitForFinished(30000);
    return p.readAllStandardOutput().trimmed().toInt();
}

// Number of form XObjects stored in a file.
int formCount(const QString &pdf)
{
    QProcess p;
    p.start(QStringLiteral("qpdf"), {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable"), pdf,
                                     QStringLiteral("-")});
    p.waitForFinished(60000);
    return int(p.readAllStandardOutput().count("/Subtype /Form"));
}

// The page rendered by pdftoppm (grey, 50 dpi).
QImage render(const QString &pdf, int page)
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("p"));
    QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-gray"), QStringLiteral("-r"), QStringLiteral("50"),
                                                   QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                                   QString::number(page), QStringLiteral("-singlefile"), pdf, base});
    return QImage(base + QStringLiteral(".pgm"));
}

QString makeModel(const QString &dir)
{
    TPdkPdf pdf;
    pdf.Check(pdf.NewDocument());
    pdf.SetOrigin(1);
    pdf.SetMeasurementUnits(1);
    pdf.SetTextSize(12);
    pdf.Check(pdf.DrawText(20, 20, QStringLiteral("MODELLOUNO")));
    pdf.DrawBox(10, 30, 100, 20, 0);
    pdf.Check(pdf.NewPage());
    pdf.Check(pdf.DrawText(20, 20, QStringLiteral("MODELLODUE")));
    const QString path = dir + QStringLiteral("/model.pdf");
    pdf.Check(pdf.SaveToFile(path), QStringLiteral("salvataggio modello"));
    return path;
}

} // namespace

class TstPdkPdf : public QObject
{
    Q_OBJECT
private slots:
    // Runs first: nothing has read the font metrics yet in this process.
    void missingMetricsRaiseAClearError()
    {
        QTemporaryDir empty;
        qputenv("VELCU_FONT_METRICS_DIR", empty.path().toUtf8());
        TPdkPdf pdf;
        pdf.NewDocument();
        pdf.SetTextSize(10);
        QCOMPARE(pdf.OvDrawText(10, 10, QStringLiteral("sinistra"), 50, TPdkAlign::Left), 1); // needs no widths
        try {
            pdf.OvDrawText(10, 20, QStringLiteral("destra"), 50, TPdkAlign::Right);
            QFAIL("no error");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("NimbusSans-Regular.afm")), qPrintable(e.message()));
            QVERIFY(e.message().contains(empty.path()));
        }
        qunsetenv("VELCU_FONT_METRICS_DIR");
        QCOMPARE(pdf.OvDrawText(10, 20, QStringLiteral("destra"), 50, TPdkAlign::Right), 1);
    }

    void textIsPlacedAndAlignedByTheFontWidths()
    {
        QTemporaryDir dir;
        const QString out = dir.path() + QStringLiteral("/t.pdf");
        TPdkPdf pdf;
        pdf.Check(pdf.NewDocument());
        pdf.Check(pdf.SetOrigin(1));
        pdf.Check(pdf.SetMeasurementUnits(1));
        pdf.Check(pdf.SetTextSize(10));
        pdf.Check(pdf.OvDrawText(20, 30, QStringLiteral("SINISTRA"), 100, TPdkAlign::Left));
        pdf.Check(pdf.OvDrawText(20, 40, QStringLiteral("1.200,50"), 100, TPdkAlign::Right));
        pdf.Check(pdf.OvDrawText(20, 50, QStringLiteral("CENTRO"), 100, TPdkAlign::Center));
        pdf.Check(pdf.OvDrawText(150, 60, QStringLiteral("LARGA0"), 0, TPdkAlign::Right)); // width 0: ends on x
        pdf.Check(pdf.SetTextSize(8));
        pdf.Check(pdf.DrawText(20, 70, QString::fromUtf8("Perché è già così: 5 €")));
        pdf.Check(pdf.SaveToFile(out));

        const QList<Word> w = words(out, 1);
        for (const char *t : {"SINISTRA", "1.200,50", "CENTRO", "LARGA0"})
            QVERIFY2(has(w, QString::fromUtf8(t)), t);
        const Word left = findWord(w, QStringLiteral("SINISTRA"));
        QVERIFY(qAbs(left.xMin - 20 * kMm) < 0.05);
        QVERIFY(qAbs(baseline(left, 10) - 30 * kMm) < 0.2);
        const Word right = findWord(w, QStringLiteral("1.200,50"));
        QVERIFY2(qAbs(right.xMax - 120 * kMm) < 0.05, qPrintable(QString::number(right.xMax)));
        QVERIFY(qAbs(baseline(right, 10) - 40 * kMm) < 0.2);
        const Word centre = findWord(w, QStringLiteral("CENTRO"));
        QVERIFY(qAbs((centre.xMin + centre.xMax) / 2 - 70 * kMm) < 0.05);
        QVERIFY(qAbs(findWord(w, QStringLiteral("LARGA0")).xMax - 150 * kMm) < 0.05);
        // WinAnsi text comes back as written, accents and euro sign included.
        for (const char *t : {"Perché", "è", "già", "così:", "€"})
            QVERIFY2(has(w, QString::fromUtf8(t)), t);
        // The widths the workspace reports are the ones the viewer uses.
        pdf.SetTextSize(10);
        QVERIFY(qAbs(pdf.GetTextWidth(QStringLiteral("CENTRO")) * kMm - (centre.xMax - centre.xMin)) < 0.05);
    }

    void pointsAndTheBottomLeftOriginToo()
    {
        QTemporaryDir dir;
        const QString out = dir.path() + QStringLiteral("/p.pdf");
        TPdkPdf pdf;
        pdf.NewDocument();
        pdf.SetTextSize(12);
        pdf.Check(pdf.DrawText(100, 700, QStringLiteral("BASSO")));
        pdf.SetOrigin(1);
        pdf.Check(pdf.DrawText(100, 100, QStringLiteral("ALTO")));
        pdf.Check(pdf.SaveToFile(out));
        const QList<Word> w = words(out, 1);
        QVERIFY(has(w, QStringLiteral("BASSO")) && has(w, QStringLiteral("ALTO")));
        QVERIFY(qAbs(baseline(findWord(w, QStringLiteral("BASSO")), 12) - (841.89 - 700)) < 0.2);
        QVERIFY(qAbs(baseline(findWord(w, QStringLiteral("ALTO")), 12) - 100) < 0.2);
        QVERIFY(qAbs(findWord(w, QStringLiteral("ALTO")).xMin - 100) < 0.05);
    }

    void rotatedTextRunsUpTheLeftEdge()
    {
        QTemporaryDir dir;
        const QString out = dir.path() + QStringLiteral("/r.pdf");
        TPdkPdf pdf;
        pdf.NewDocument();
        pdf.SetOrigin(1);
        pdf.SetMeasurementUnits(1);
        pdf.SetTextSize(7);
        pdf.Check(pdf.DrawRotatedText(4, 279, 90, QStringLiteral("Conforme al Provvedimento")));
        pdf.Check(pdf.SaveToFile(out));
        const QList<Word> w = words(out, 1);
        const Word first = findWord(w, QStringLiteral("Conforme"));
        const Word last = findWord(w, QStringLiteral("Provvedimento"));
        QVERIFY(has(w, QStringLiteral("Conforme")) && has(w, QStringLiteral("Provvedimento")));
        // Turned a quarter left: narrow, tall, starting at the bottom and climbing.
        QVERIFY(first.xMax - first.xMin < 7.0); // the height of 7-point text
        QVERIFY(first.yMax - first.yMin > 20);
        QVERIFY(qAbs(first.yMax - 279 * kMm) < 0.5);
        QVERIFY(last.yMax < first.yMin);
        QVERIFY(first.xMin > 1.5 * kMm && first.xMax < 5 * kMm);
    }

    void modelPagesAreCopiedAndStoredOnce()
    {
        QTemporaryDir dir;
        const QString model = makeModel(dir.path());
        const QString out = dir.path() + QStringLiteral("/copie.pdf");
        TPdkPdf pdf;
        const int src = pdf.LoadFromFile(model);
        QVERIFY(src != 0);
        QCOMPARE(pdf.SelectedDocument(), src);
        QCOMPARE(pdf.PageCount(), 2);
        const int doc = pdf.NewDocument();
        QVERIFY(doc != 0 && doc != src);
        pdf.SetOrigin(1);
        pdf.SetMeasurementUnits(1);
        QCOMPARE(pdf.PageCount(), 1);
        for (int i = 0; i < 500; ++i) {
            pdf.Check(pdf.CopyPageRanges(src, i % 50 == 0 ? QStringLiteral("1,2") : QStringLiteral("1")),
                      QStringLiteral("Copia I pagina"));
            pdf.Check(pdf.SelectPage(pdf.PageCount()));
            pdf.SetTextSize(9);
            pdf.Check(pdf.DrawText(30, 100, QStringLiteral("riga%1").arg(i)));
        }
        pdf.Check(pdf.DeletePages(1, 1));
        QCOMPARE(pdf.PageCount(), 510);
        pdf.Check(pdf.SaveToFile(out));

        QCOMPARE(pageCount(out), 510);
        QCOMPARE(formCount(out), 2); // one per model page used, however many copies
        QVERIFY2(QFileInfo(out).size() < QFileInfo(model).size() + 510 * 400, qPrintable(QString::number(QFileInfo(out).size())));
        // The copy shows the model and the page's own text.
        const QList<Word> p1 = words(out, 1);
        QVERIFY(has(p1, QStringLiteral("MODELLOUNO")));
        QVERIFY(!has(p1, QStringLiteral("riga0")));
        const QList<Word> p2 = words(out, 2);
        QVERIFY(has(p2, QStringLiteral("MODELLODUE")));
        QVERIFY(has(p2, QStringLiteral("riga0")));
        const QList<Word> p3 = words(out, 3);
        QVERIFY(has(p3, QStringLiteral("MODELLOUNO")));
        QVERIFY(has(p3, QStringLiteral("riga1")));
        QVERIFY(!has(p3, QStringLiteral("riga0")));
        // The model text sits where the model has it.
        QVERIFY(qAbs(findWord(p3, QStringLiteral("MODELLOUNO")).xMin - 20 * kMm) < 0.05);
    }

    void drawingOnALoadedDocumentKeepsItsContent()
    {
        QTemporaryDir dir;
        const QString model = makeModel(dir.path());
        const QString out = dir.path() + QStringLiteral("/sopra.pdf");
        TPdkPdf pdf;
        QVERIFY(pdf.LoadFromFile(model));
        pdf.SetOrigin(1);
        pdf.SetMeasurementUnits(1);
        pdf.Check(pdf.SelectPage(2));
        pdf.SetTextSize(9);
        pdf.Check(pdf.DrawText(20, 80, QStringLiteral("AGGIUNTO")));
        pdf.Check(pdf.SaveToFile(out));
        const QList<Word> w = words(out, 2);
        QVERIFY(has(w, QStringLiteral("MODELLODUE")));
        QVERIFY(has(w, QStringLiteral("AGGIUNTO")));
        QVERIFY(qAbs(baseline(findWord(w, QStringLiteral("AGGIUNTO")), 9) - 80 * kMm) < 0.2);
    }

    void failuresReturnZeroAndCheckRaisesTheLabel()
    {
        QTemporaryDir dir;
        const QString model = makeModel(dir.path());
        TPdkPdf pdf;
        QCOMPARE(pdf.LoadFromFile(dir.path() + QStringLiteral("/manca.pdf")), 0);
        QFile junk(dir.path() + QStringLiteral("/junk.pdf"));
        QVERIFY(junk.open(QIODevice::WriteOnly));
        junk.write("questo non è un PDF");
        junk.close();
        QCOMPARE(pdf.LoadFromFile(junk.fileName()), 0);
        QCOMPARE(pdf.SelectedDocument(), 0);
        QCOMPARE(pdf.DrawText(1, 1, QStringLiteral("x")), 0); // no document
        QCOMPARE(pdf.SelectPage(1), 0);

        const int src = pdf.LoadFromFile(model);
        const int doc = pdf.NewDocument();
        QCOMPARE(pdf.CopyPageRanges(src, QStringLiteral("1,3")), 0); // page 3 does not exist
        QCOMPARE(pdf.PageCount(), 1);                                 // and nothing was appended
        QCOMPARE(pdf.CopyPageRanges(src, QStringLiteral("uno")), 0);
        QCOMPARE(pdf.CopyPageRanges(99, QStringLiteral("1")), 0);
        QCOMPARE(pdf.DeletePages(2, 1), 0);
        QCOMPARE(pdf.DeletePages(1, 2), 0);
        QCOMPARE(pdf.SelectPage(0), 0);
        QCOMPARE(pdf.SelectPage(2), 0);
        QCOMPARE(pdf.SetMeasurementUnits(7), 0);
        QCOMPARE(pdf.SetTextSize(0), 0);
        QCOMPARE(pdf.SelectDocument(doc), 1);

        try {
            pdf.Check(pdf.CopyPageRanges(src, QStringLiteral("5")), QStringLiteral("Copia I pagina"));
            QFAIL("no error");
        } catch (const EOvError &e) {
            QCOMPARE(e.message(), QStringLiteral("Copia I pagina"));
        }
        pdf.SetLastOperation(QStringLiteral("Scrivi testo: 1.200,50"));
        try {
            pdf.Check(0);
            QFAIL("no error");
        } catch (const EOvError &e) {
            QCOMPARE(e.message(), QStringLiteral("Scrivi testo: 1.200,50"));
        }
        pdf.Check(1, QStringLiteral("mai"));

        // A file that cannot be written (its folder is a regular file).
        const QString blocked = model + QStringLiteral("/stampa.pdf");
        QCOMPARE(pdf.SaveToFile(blocked), 0);
        QVERIFY(!pdf.LastErrorText().isEmpty());
        try {
            pdf.Check(pdf.SaveToFile(blocked), QStringLiteral("Controllare che il documento non sia già aperto."));
            QFAIL("no error");
        } catch (const EOvError &e) {
            QCOMPARE(e.message(), QStringLiteral("Controllare che il documento non sia già aperto."));
        }
        QVERIFY(QFileInfo(model).isFile());
    }

    // A printed document cut into parts: each part's pages look exactly as
    // in the document (model, drawing, rotation), the part holds its pages
    // only, a page named twice is two pages, and a part can be drawn on.
    void extractedPagesLookAsInTheDocument()
    {
        QTemporaryDir dir;
        const QString model = makeModel(dir.path());
        const QString printed = dir.filePath(QStringLiteral("stampa.pdf"));
        {
            TPdkPdf pdf;
            const int src = pdf.LoadFromFile(model);
            pdf.Check(pdf.NewDocument());
            pdf.SetOrigin(1);
            pdf.SetMeasurementUnits(1);
            for (int i = 0; i < 4; ++i) {
                pdf.Check(pdf.CopyPageRanges(src, i % 2 ? QStringLiteral("2") : QStringLiteral("1")));
                pdf.Check(pdf.SelectPage(pdf.PageCount()));
                pdf.SetTextSize(9);
                pdf.Check(pdf.DrawText(30, 100, QStringLiteral("riga%1").arg(i)));
                pdf.Check(pdf.DrawRotatedText(10, 200, 90, QStringLiteral("ruotato%1").arg(i)));
            }
            pdf.Check(pdf.DeletePages(1, 1));
            pdf.Check(pdf.SaveToFile(printed));
        }
        TPdkPdf pdf;
        const int whole = pdf.LoadFromFile(printed);
        QVERIFY(whole != 0);
        QCOMPARE(pdf.ExtractPageRanges(whole, QStringLiteral("2-5")), 0); // the document has 4
        QCOMPARE(pdf.ExtractPageRanges(whole + 7, QStringLiteral("1")), 0);
        QCOMPARE(pdf.SelectedDocument(), whole);

        struct Cut { QString ranges; QList<int> pages; };
        const QList<Cut> cuts = {{QStringLiteral("2-3"), {2, 3}}, {QStringLiteral("4"), {4}}, {QStringLiteral("1,1"), {1, 1}}};
        TOvSafeFileBatch batch;
        QStringList files;
        for (const Cut &cut : cuts) {
            const int part = pdf.ExtractPageRanges(whole, cut.ranges);
            QVERIFY2(part != 0, qPrintable(pdf.LastErrorText()));
            QCOMPARE(pdf.SelectedDocument(), part);
            QCOMPARE(pdf.PageCount(), int(cut.pages.size()));
            files << dir.filePath(QStringLiteral("parte%1.pdf").arg(files.size()));
            pdf.Check(pdf.SaveToBatch(batch, files.last()));
            pdf.Check(pdf.CloseDocument(part));
        }
        batch.commit();
        for (int k = 0; k < cuts.size(); ++k) {
            QCOMPARE(pageCount(files.at(k)), int(cuts.at(k).pages.size()));
            QCOMPARE(QProcess::execute(QStringLiteral("qpdf"), {QStringLiteral("--check"), files.at(k)}), 0);
            for (int p = 0; p < cuts.at(k).pages.size(); ++p) {
                const QImage cut = render(files.at(k), p + 1);
                QVERIFY(!cut.isNull());
                QVERIFY2(cut == render(printed, cuts.at(k).pages.at(p)),
                         qPrintable(QStringLiteral("%1, pagina %2").arg(cuts.at(k).ranges).arg(p + 1)));
            }
        }
        QVERIFY(has(words(files.at(1), 1), QStringLiteral("riga3")));

        // drawn on after the cut, the page keeps what it had
        const int part = pdf.ExtractPageRanges(whole, QStringLiteral("1"));
        pdf.SetOrigin(1);
        pdf.SetMeasurementUnits(1);
        pdf.Check(pdf.DrawText(30, 150, QStringLiteral("AGGIUNTO")));
        const QString drawn = dir.filePath(QStringLiteral("disegnata.pdf"));
        pdf.Check(pdf.SaveToFile(drawn));
        pdf.Check(pdf.CloseDocument(part));
        const QList<Word> w = words(drawn, 1);
        QVERIFY(has(w, QStringLiteral("AGGIUNTO")) && has(w, QStringLiteral("riga0")) && has(w, QStringLiteral("MODELLOUNO")));
    }

    void copyFromTheSameDocumentAndRanges()
    {
        QTemporaryDir dir;
        const QString out = dir.path() + QStringLiteral("/r.pdf");
        TPdkPdf pdf;
        const int doc = pdf.NewDocument();
        pdf.SetTextSize(10);
        pdf.DrawText(50, 50, QStringLiteral("PRIMA"));
        pdf.NewPage();
        pdf.DrawText(50, 50, QStringLiteral("SECONDA"));
        pdf.Check(pdf.CopyPageRanges(doc, QStringLiteral("2-1")));
        QCOMPARE(pdf.PageCount(), 4);
        pdf.Check(pdf.SaveToFile(out));
        QVERIFY(has(words(out, 3), QStringLiteral("SECONDA")));
        QVERIFY(has(words(out, 4), QStringLiteral("PRIMA")));
    }
};

QTEST_GUILESS_MAIN(TstPdkPdf)
#include "tst_pdk_pdf.moc"
