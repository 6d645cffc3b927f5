// Printing from layouts: the Italian value formats, the rows a print
// configuration writes and where, the form-layout rules, and the errors a bad
// layout or value gives. Produced PDFs are read back with pdftotext.
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/pdf/TPdkPdf.h"
#include "src/prj/unit/print/TdmVelPDF.h"
#include "src/prj/unit/print/VelCudLayout.h"
#include "src/prj/unit/print/VelFormFieldPrinter.h"
#include "src/prj/unit/print/VelPrintFormat.h"
#include "support/PdfWords.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using PdfWords::all;
using PdfWords::kMm;
using PdfWords::Word;

// The words of one page, in points.
QList<Word> words(const QString &pdf, int page)
{
    return PdfWords::page(pdf, page, 1.0);
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

// A one-page model to copy.
QString makeModel(const QString &dir)
{
    TPdkPdf pdf;
    pdf.NewDocument();
    pdf.SetTextSize(6);
    pdf.DrawText(500, 800, QStringLiteral("modello"));
    const QString path = dir + QStringLiteral("/modello.pdf");
    pdf.Check(pdf.SaveToFile(path));
    return path;
}

const QByteArray kConfig = R"(<?xml version="1.0" encoding="UTF-8"?>
<PdfConf>
  <Page Name="Altro" Template="1"/>
  <Page Name="Prova" Template="2">
    <Section Name="cdsRighe" Repeat="6">
      <Edit Name="NOME" Alignment="taLeftJustify" Type="SP">
        <PrintRect Top="100" Left="50" Height="10" Space="0" vOffset="10" oOffset="0" MinIndex="2" MaxIndex="4"/>
        <PrintRect Top="300" Left="300" Height="10" Space="0" vOffset="20" oOffset="5" MinIndex="0" MaxIndex="0"/>
      </Edit>
    </Section>
    <Section Name="cdsImporti" Repeat="1">
      <Edit Name="A" Alignment="taRightJustify" Type="TA">
        <PrintRect Top="500" Left="100" Height="10" Space="100" MaxIndex="0"/>
      </Edit>
      <Edit Name="B" Alignment="tacenter" Type="TA">
        <PrintRect Top="520" Left="100" Height="10" Space="100" MaxIndex="0"/>
      </Edit>
      <Edit Name="C" Alignment="" Type="TR">
        <PrintRect Top="540" Left="100" Height="10" Space="100"/>
      </Edit>
      <Edit Name="T" Alignment="taLeftJustify" Type="CD">
        <PrintRect Top="560" Left="100" Height="10" Space="0" MinIndex="abc"/>
      </Edit>
      <Edit Name="D" Alignment="taLeftJustify" Type="DT">
        <PrintRect Top="580" Left="100" Height="10"/>
      </Edit>
    </Section>
    <Section Name="cdsChiuso">
      <Edit Name="NOME" Type="SP"><PrintRect Top="700" Left="100" Height="10"/></Edit>
    </Section>
  </Page>
</PdfConf>
)";

} // namespace

class TstPdfPrint : public QObject
{
    Q_OBJECT
private slots:
    void italianNumbersAndValueCodes()
    {
        using namespace VelPrintFormat;
        QCOMPARE(integerText(0), QStringLiteral("0"));
        QCOMPARE(integerText(1200000), QStringLiteral("1.200.000"));
        QCOMPARE(integerText(-1200), QStringLiteral("-1.200"));
        QCOMPARE(amountText(Currency::fromUnits(12005000)), QStringLiteral("1.200,50"));
        QCOMPARE(amountText(Currency::fromUnits(-50)), QStringLiteral("-0,01")); // -0.005: half away from zero
        QCOMPARE(amountText(Currency()), QStringLiteral("0,00"));
        QCOMPARE(amountText(Currency::fromInt(1234567)), QStringLiteral("1.234.567,00"));

        QCOMPARE(valueText(QStringLiteral("1200.5"), QStringLiteral("TA")), QStringLiteral("1.201"));
        QCOMPARE(valueText(QStringLiteral("1200.4"), QStringLiteral("TA")), QStringLiteral("1.200"));
        QCOMPARE(valueText(QStringLiteral("-2.5"), QStringLiteral("TA")), QStringLiteral("-3"));
        QCOMPARE(valueText(QStringLiteral("2.5"), QStringLiteral("TA")), QStringLiteral("3"));
        QCOMPARE(valueText(QStringLiteral("1200.9"), QStringLiteral("TR")), QStringLiteral("1.200"));
        QCOMPARE(valueText(QStringLiteral("-1200.9"), QStringLiteral("TR")), QStringLiteral("-1.200"));
        QCOMPARE(valueText(QStringLiteral("1200,5"), QStringLiteral("TA")), QStringLiteral("1.201"));
        QCOMPARE(valueText(QStringLiteral("1.200,50"), QStringLiteral("TA")), QStringLiteral("1.201"));
        QCOMPARE(valueText(QStringLiteral("2.4999999"), QStringLiteral("TA")), QStringLiteral("2"));
        QCOMPARE(valueText(QStringLiteral("1200.5000"), QStringLiteral("TR")), QStringLiteral("1.200"));
        QCOMPARE(valueText(QStringLiteral("31/01/2025"), QStringLiteral("DT")), QStringLiteral("31 01 2025"));
        QCOMPARE(valueText(QStringLiteral("1/2/2025"), QStringLiteral("DA")), QStringLiteral("01 02"));
        QCOMPARE(valueText(QStringLiteral("ABCDE"), QStringLiteral("CD")), QStringLiteral("      ABCDE"));
        QCOMPARE(valueText(QStringLiteral("ABCDEFGHIJKLM"), QStringLiteral("CD")), QStringLiteral("ABCDEFGHIJKLM"));
        QCOMPARE(valueText(QStringLiteral("1"), QStringLiteral("CB")), QStringLiteral("X"));
        QCOMPARE(valueText(QStringLiteral("X"), QStringLiteral("CB")), QString());
        QCOMPARE(valueText(QStringLiteral(" 7 "), QStringLiteral("SP")), QStringLiteral(" 7 "));
        QCOMPARE(valueText(QStringLiteral("1200.5"), QStringLiteral("ta")), QStringLiteral("1200.5")); // exact code
        QCOMPARE(valueText(QString(), QStringLiteral("TA")), QString());

        const auto raises = [](const QString &value, const QString &code) {
            try {
                VelPrintFormat::valueText(value, code);
            } catch (const EOvError &e) {
                return e.message().contains(QLatin1Char('"') + value + QLatin1Char('"'));
            }
            return false;
        };
        QVERIFY(raises(QStringLiteral("12a"), QStringLiteral("TA")));
        QVERIFY(raises(QStringLiteral("1.2.3,4,5"), QStringLiteral("TR")));
        QVERIFY(raises(QStringLiteral("31/02/2025"), QStringLiteral("DT")));
        QVERIFY(raises(QStringLiteral("domani"), QStringLiteral("DA")));
    }

    // The rows a place applies to and where each row goes.
    void rowsOfARepeatedSection()
    {
        QTemporaryDir dir;
        const QString config = dir.path() + QStringLiteral("/stpProva.xml");
        writeFile(config, kConfig);
        TdmVelPDF dm;
        QVERIFY(!dm.FillSection(QStringLiteral("Prova"), QStringLiteral("cdsRighe"), 0)); // nothing loaded
        QVERIFY(dm.LoadModel(makeModel(dir.path()), config));
        QVERIFY(dm.XMLConfig.Active());
        dm.CopyModelPage(1, true, true);

        auto *rows = new TClientDataSet(&dm);
        rows->setObjectName(QStringLiteral("cdsRighe"));
        rows->addFieldDef(QStringLiteral("NOME"), TFieldType::String, 10);
        rows->createDataSet();
        for (int n = 0; n <= 5; ++n) {
            rows->appendRecord({QStringLiteral("R%1").arg(n)});
            QVERIFY(dm.FillSection(QStringLiteral("PROVA"), QStringLiteral("CDSRIGHE"), n));
        }
        QVERIFY(!dm.FillSection(QStringLiteral("Prova"), QStringLiteral("cdsNessuno"), 0));
        QVERIFY(!dm.FillSection(QStringLiteral("Nessuna"), QStringLiteral("cdsRighe"), 0));

        auto *closed = new TClientDataSet(&dm);
        closed->setObjectName(QStringLiteral("cdsChiuso"));
        closed->addFieldDef(QStringLiteral("NOME"), TFieldType::String, 10);
        QVERIFY(dm.FillSection(QStringLiteral("Prova"), QStringLiteral("cdsChiuso"), 0)); // found...
        QVERIFY(!dm.FillEdit(dm.PdfConf().Page(1).Section(2).Edit(0), 0));               // ...but draws nothing

        const QString out = dir.path() + QStringLiteral("/righe.pdf");
        dm.SaveDocument(out, false, false);
        const QList<Word> w = words(out, 1);
        for (int n = 0; n <= 5; ++n) {
            const QList<Word> found = all(w, QStringLiteral("R%1").arg(n));
            // Every row at the place with MaxIndex 0: Left + n x oOffset, Top + n x vOffset.
            int everyRow = 0, ranged = 0;
            for (const Word &f : found) {
                if (qAbs(f.xMin - (300 + 5 * n)) < 0.05 && qAbs(f.baseline(10) - (300 + 20 * n)) < 0.2)
                    ++everyRow;
                if (qAbs(f.xMin - 50) < 0.05 && qAbs(f.baseline(10) - (100 + 10 * (n - 2))) < 0.2)
                    ++ranged;
            }
            QCOMPARE(everyRow, 1);
            QCOMPARE(ranged, (n >= 2 && n <= 4) ? 1 : 0); // rows 2..4 at y 100, 110, 120
            QCOMPARE(found.size(), everyRow + ranged);
        }
        // The imprint runs up the left edge from (20, 800), its glyphs 5 mm
        // (14.2 points) from the edge at least.
        bool imprint = false;
        for (const Word &f : w)
            imprint |= f.text == QLatin1String("velcu") && f.xMin >= 14.1 && f.xMax < 25 && f.yMax < 800.5 && f.yMax > 600;
        QVERIFY(imprint);
    }

    void valuesAreFormattedAndAligned()
    {
        QTemporaryDir dir;
        const QString config = dir.path() + QStringLiteral("/stpProva.xml");
        writeFile(config, kConfig);
        TdmVelPDF dm;
        QVERIFY(dm.LoadModel(makeModel(dir.path()), config));
        dm.CopyModelPage(1, true, false);
        auto *amounts = new TClientDataSet(&dm);
        amounts->setObjectName(QStringLiteral("CDSIMPORTI")); // component names ignore case
        amounts->addFieldDef(QStringLiteral("A"), TFieldType::Currency);
        amounts->addFieldDef(QStringLiteral("B"), TFieldType::Currency);
        amounts->addFieldDef(QStringLiteral("C"), TFieldType::Currency);
        amounts->addFieldDef(QStringLiteral("T"), TFieldType::String, 11);
        amounts->addFieldDef(QStringLiteral("D"), TFieldType::Date);
        amounts->createDataSet();
        amounts->appendRecord({QVariant::fromValue(Currency::fromUnits(12005000)),
                               QVariant::fromValue(Currency::fromUnits(12004000)),
                               QVariant::fromValue(Currency::fromUnits(12009000)), QStringLiteral("ABCDE"),
                               QDate(2025, 1, 31)});
        QVERIFY(dm.FillSection(QStringLiteral("Prova"), QStringLiteral("cdsImporti"), 0));
        const QString out = dir.path() + QStringLiteral("/importi.pdf");
        dm.SaveDocument(out, false, false);
        const QList<Word> w = words(out, 1);

        const QList<Word> a = all(w, QStringLiteral("1.201"));
        QCOMPARE(a.size(), 1);
        QVERIFY(qAbs(a[0].xMax - 200) < 0.05); // right-justified in the box 100..200
        QVERIFY(qAbs(a[0].baseline(10) - 500) < 0.2);
        const QList<Word> b = all(w, QStringLiteral("1.200"));
        QCOMPARE(b.size(), 2); // B rounded down, C truncated
        for (const Word &x : b) {
            if (qAbs(x.baseline(10) - 520) < 0.2)
                QVERIFY(qAbs((x.xMin + x.xMax) / 2 - 150) < 0.05); // centred in 100..200
            else
                QVERIFY(qAbs(x.xMin - 100) < 0.05); // left
        }
        // Six spaces of padding before a five-character code: 6 x 0.278 em at 10 points.
        const QList<Word> t = all(w, QStringLiteral("ABCDE"));
        QCOMPARE(t.size(), 1);
        QVERIFY2(qAbs(t[0].xMin - (100 + 6 * 2.78)) < 0.05, qPrintable(QString::number(t[0].xMin)));
        QCOMPARE(all(w, QStringLiteral("31")).size(), 1);
        QCOMPARE(all(w, QStringLiteral("2025")).size(), 1);

        // A value that is not a number ends the print with a message naming it.
        try {
            dm.PrintValue(QStringLiteral("mille"), 10, 10, 10, 0, QString(), QStringLiteral("TA"));
            QFAIL("no error");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("\"mille\"")), qPrintable(e.message()));
        }
    }

    void missingFilesBadConfigurationsAndFailingOperations()
    {
        QTemporaryDir dir;
        const QString model = makeModel(dir.path());
        const QString config = dir.path() + QStringLiteral("/stpProva.xml");
        writeFile(config, kConfig);
        TdmVelPDF dm;
        QVERIFY(!dm.LoadModel(dir.path() + QStringLiteral("/manca.pdf"), config));
        QVERIFY(!dm.LoadModel(model, dir.path() + QStringLiteral("/manca.xml")));
        QVERIFY(dm.pdf() == nullptr);
        QVERIFY(!dm.XMLConfig.Active());

        const QString broken = dir.path() + QStringLiteral("/rotto.xml");
        writeFile(broken, "<PdfConf><Page Name=\"x\"></PdfConf>");
        try {
            dm.LoadModel(model, broken);
            QFAIL("no error");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("rotto.xml")), qPrintable(e.message()));
        }
        const QString wrongRoot = dir.path() + QStringLiteral("/cud.xml");
        writeFile(wrongRoot, "<Cud/>");
        try {
            dm.LoadModel(model, wrongRoot);
            QFAIL("no error");
        } catch (const EOvError &e) {
            QVERIFY(e.message().contains(QStringLiteral("cud.xml")));
        }

        // File names are matched without regard to case.
        QVERIFY(dm.LoadModel(dir.path() + QStringLiteral("/MODELLO.PDF"), dir.path() + QStringLiteral("/STPPROVA.xml")));
        try {
            dm.CopyModelPage(5, true, false);
            QFAIL("no error");
        } catch (const EOvError &e) {
            // the label, then qpdf's reason
            QVERIFY2(e.message().startsWith(QStringLiteral("Copia pagina5\n")), qPrintable(e.message()));
        }
        dm.CopyModelPage(1, true, false);
        try {
            dm.SaveDocument(model + QStringLiteral("/sotto/stampa.pdf"), false, false);
            QFAIL("no error");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Controllare che il documento non sia già aperto.\n")),
                     qPrintable(e.message()));
        }
        // An integer attribute that is not a number reads as 0 in a print configuration.
        QCOMPARE(dm.PdfConf().findPage(QStringLiteral("prova")).Section(1).Edit(3).PrintRect(0).MinIndex(), 0);
        QCOMPARE(dm.PdfConf().findPage(QStringLiteral("prova")).Template(), 2);
    }

    void formLayoutRules()
    {
        QTemporaryDir dir;
        const QString layout = dir.path() + QStringLiteral("/StpProva.xml");
        writeFile(layout, R"(<Cud><Sos/><Pag1><Section Name="x">
            <Edit Name="IMPORTO" Alignment="taRightJustify" Space="40"><PrintRect Top="20" Left="10" Height="10" Format=""/></Edit>
            <Edit Name="ZERO" Alignment="taRightJustify" Space="40"><PrintRect Top="30" Left="10" Height="10" Format=""/></Edit>
            <Edit Name="TONDO" Alignment="taRightJustify" Space="no"><PrintRect Top="40" Left="100" Height="10" Format="Round"/></Edit>
            <Edit Name="DATA" Alignment="taData" Space="0"><PrintRect Top="50" Left="10" Height="10"/></Edit>
            <Edit Name="GGMM" Alignment="taDataggmm" Space="0"><PrintRect Top="60" Left="10" Height="10"/></Edit>
            <Edit Name="FLAG" Alignment="tacheckbox" Space="5"><PrintRect Top="70" Left="10" Height="10"/></Edit>
            <Edit Name="NOFLAG" Alignment="tacheckbox" Space="5"><PrintRect Top="80" Left="10" Height="10"/></Edit>
            <Edit Name="TESTO" Alignment="taCenter" Space="40"><PrintRect Top="90" Left="10" Height="10"/></Edit>
            <Edit Name="ZEROTESTO" Alignment="" Space="40"><PrintRect Top="100" Left="10" Height="10"/></Edit>
            <Edit Name="NULLO" Alignment="taRightJustify" Space="40"><PrintRect Top="110" Left="10" Height="10"/></Edit>
          </Section></Pag1></Cud>)");
        const TXMLCud cud = GetCud(layout);
        QCOMPARE(cud.Pag(1).Count(), 1);
        QCOMPARE(cud.Pag(2).Count(), 0);
        QCOMPARE(cud.Sos().Count(), 0);

        TClientDataSet ds;
        for (const char *n : {"IMPORTO", "ZERO", "TONDO", "NULLO"})
            ds.addFieldDef(QString::fromLatin1(n), TFieldType::Currency);
        ds.addFieldDef(QStringLiteral("DATA"), TFieldType::Date);
        for (const char *n : {"GGMM", "FLAG", "NOFLAG", "TESTO", "ZEROTESTO"})
            ds.addFieldDef(QString::fromLatin1(n), TFieldType::String, 20);
        ds.createDataSet();
        ds.appendRecord({QVariant::fromValue(Currency::fromUnits(12005000)), QVariant::fromValue(Currency()),
                         QVariant::fromValue(Currency::fromUnits(12005000)), QVariant(), QDate(2025, 1, 31),
                         QStringLiteral("15/03/2025"), QStringLiteral("1"), QStringLiteral("0"),
                         QStringLiteral("Perché"), QStringLiteral("0")});

        TPdkPdf pdf;
        pdf.NewDocument();
        pdf.SetOrigin(1);
        pdf.SetMeasurementUnits(1);
        TVelFormFieldPrinter printer(pdf);
        printer.printSection(cud.Pag(1).Section(0), ds);
        QCOMPARE(pdf.LastOperation(), QStringLiteral("Scrivi testo: Perché"));
        const QString out = dir.path() + QStringLiteral("/modulo.pdf");
        pdf.Check(pdf.SaveToFile(out));
        const QList<Word> w = words(out, 1);

        const QList<Word> amount = all(w, QStringLiteral("1.200,50"));
        QCOMPARE(amount.size(), 1);
        QVERIFY(qAbs(amount[0].xMax - 50 * kMm) < 0.05);
        const QList<Word> round = all(w, QStringLiteral("1.201,00"));
        QCOMPARE(round.size(), 1);
        QVERIFY(qAbs(round[0].xMax - 100 * kMm) < 0.05); // "no": a box of width 0 ends on x
        QCOMPARE(all(w, QStringLiteral("0,00")).size(), 0);
        QCOMPARE(all(w, QStringLiteral("0")).size(), 0);
        // Day, four spaces, month, four spaces, year.
        pdf.SetTextSize(10);
        const QList<Word> day = all(w, QStringLiteral("31"));
        const QList<Word> year = all(w, QStringLiteral("2025"));
        QCOMPARE(day.size(), 1);
        QCOMPARE(year.size(), 1);
        QVERIFY(qAbs(day[0].xMin - 10 * kMm) < 0.05);
        QVERIFY(qAbs(year[0].xMin - (10 + pdf.GetTextWidth(QStringLiteral("31    01    "))) * kMm) < 0.05);
        QCOMPARE(all(w, QStringLiteral("15")).size(), 1);
        QCOMPARE(all(w, QStringLiteral("03")).size(), 1);
        QCOMPARE(all(w, QStringLiteral("X")).size(), 1);
        const QList<Word> text = all(w, QString::fromUtf8("Perché"));
        QCOMPARE(text.size(), 1);
        QVERIFY(qAbs((text[0].xMin + text[0].xMax) / 2 - 30 * kMm) < 0.05);
    }

    void badFormLayoutsNameTheFileAndAttribute()
    {
        QTemporaryDir dir;
        const QString layout = dir.path() + QStringLiteral("/StpRotto.xml");
        writeFile(layout, R"(<Cud><Sos/><Pag1><Section Name="x">
            <Edit Name="CAMPO" Alignment="" Space="4"><PrintRect Top="1O" Left="10" Height="8"/></Edit>
            <Edit Name="SENZA" Alignment="" Space="4"><PrintRect Top="10" Height="8"/></Edit>
            <Edit Name="VUOTO" Alignment="" Space="4"/>
          </Section></Pag1></Cud>)");
        const TXMLCudSection s = GetCud(layout).Pag(1).Section(0);
        const auto message = [](const std::function<void()> &f) {
            try {
                f();
            } catch (const EOvError &e) {
                return e.message();
            }
            return QString();
        };
        QString m = message([&] { s.Edit(0).PrintRect().Top(); });
        QVERIFY2(m.contains(QStringLiteral("StpRotto.xml")) && m.contains(QStringLiteral("Top"))
                     && m.contains(QStringLiteral("CAMPO")) && m.contains(QStringLiteral("1O")),
                 qPrintable(m));
        QCOMPARE(s.Edit(0).PrintRect().Left(), 10);
        m = message([&] { s.Edit(1).PrintRect().Left(); });
        QVERIFY2(m.contains(QStringLiteral("Left")) && m.contains(QStringLiteral("SENZA")), qPrintable(m));
        m = message([&] { s.Edit(2).PrintRect(); });
        QVERIFY2(m.contains(QStringLiteral("StpRotto.xml")) && m.contains(QStringLiteral("PrintRect")), qPrintable(m));
        m = message([&] { s.Edit(3); });
        QVERIFY2(m.contains(QStringLiteral("Edit")), qPrintable(m));
        m = message([&] { GetCud(layout).Pag(5).Section(2); });
        QVERIFY2(m.contains(QStringLiteral("StpRotto.xml")), qPrintable(m));

        // A printer given such an attribute stops with that message.
        TPdkPdf pdf;
        pdf.NewDocument();
        TVelFormFieldPrinter printer(pdf);
        m = message([&] { printer.printEdit(s.Edit(0), QStringLiteral("valore")); });
        QVERIFY(m.contains(QStringLiteral("Top")));
        // An amount that is not a number names the value.
        m = message([&] {
            printer.printEdit(GetCud(layout).Pag(1).Section(0).Edit(0), QStringLiteral("dodici"));
        });
        QVERIFY(m.contains(QStringLiteral("Top"))); // the layout fails first here...
        const QString good = dir.path() + QStringLiteral("/StpBuono.xml");
        writeFile(good, R"(<Cud><Pag1><Section><Edit Name="I" Alignment="taRightJustify" Space="9"><PrintRect Top="1" Left="1" Height="8"/></Edit></Section></Pag1></Cud>)");
        m = message([&] { printer.printEdit(GetCud(good).Pag(1).Section(0).Edit(0), QStringLiteral("dodici")); });
        QVERIFY2(m.contains(QStringLiteral("\"dodici\"")), qPrintable(m)); // ...and the value here

        const QString broken = dir.path() + QStringLiteral("/StpNonXml.xml");
        writeFile(broken, "<Cud><Pag1></Cud>");
        m = message([&] { GetCud(broken); });
        QVERIFY2(m.contains(QStringLiteral("StpNonXml.xml")), qPrintable(m));
        m = message([&] { GetCud(dir.path() + QStringLiteral("/StpManca.xml")); });
        QVERIFY2(m.contains(QStringLiteral("StpManca.xml")), qPrintable(m));
        const QString conf = dir.path() + QStringLiteral("/stpConf.xml");
        writeFile(conf, "<PdfConf/>");
        m = message([&] { GetCud(conf); });
        QVERIFY2(m.contains(QStringLiteral("PdfConf")), qPrintable(m));
    }
};

QTEST_GUILESS_MAIN(TstPdfPrint)
#include "tst_pdf_print.moc"
