// The models and layouts shipped in USR/KZ2025/Res: they load, every layout
// names fields of the dataset that feeds it, every box of the record model has
// a place, each value's place lies in the box drawn for it on the model page,
// and the largest amounts fit their boxes.
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/pdf/TPdkPdf.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "src/prj/unit/print/VelCudLayout.h"
#include "src/prj/unit/print/VelFormFieldPrinter.h"
#include "src/prj/unit/print/VelPdfConf.h"
#include "src/prj/unit/print/VelXmlDocument.h"
#include "src/prj/unit/shell/TdmVelMain.h"
#include "tor/util/TorFolders.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr double kMm = 72.0 / 25.4;

struct Word
{
    QString text;
    double xMin = 0, yMin = 0, xMax = 0, yMax = 0;
    double baseline(double size) const { return yMax - 0.207 * size; }
};

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
    for (auto it = re.globalMatch(QString::fromUtf8(p.readAllStandardOutput())); it.hasNext();) {
        const auto m = it.next();
        out.append({m.captured(5), m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                    m.captured(4).toDouble()});
    }
    return out;
}

QString res(const QString &name)
{
    return TorFolders::resolveFile(TorFolders::resDir(), name);
}

// The structure whose rows feed a section, by the section's name.
QString structureOf(const QString &section)
{
    static const QMap<QString, QString> map{
        {QStringLiteral("cdsMultiSelect"), QStringLiteral("TCUD_DATICUD")},
        {QStringLiteral("cdsPdfSost"), QStringLiteral("TCUS_DATISOST")},
        {QStringLiteral("cdsSost"), QStringLiteral("TCUS_DATISOST")},
        {QStringLiteral("cdsQuadroCT"), QStringLiteral("TCUCT_DATICT")},
        {QStringLiteral("cdsInps"), QStringLiteral("TCUDI_INPS")},
        {QStringLiteral("cdsInpdap"), QStringLiteral("TCUDN_INPDAP")},
        {QStringLiteral("cdsAltriEnti"), QStringLiteral("TCUDAE_ALTRIENTI")},
        {QStringLiteral("cdsInail"), QStringLiteral("TCUIN_INAIL")},
        {QStringLiteral("cdsCoopArt"), QStringLiteral("TCUDCA_COOPART")},
        {QStringLiteral("cdsPdfTfr"), QStringLiteral("TCUDT_TFR")},
        {QStringLiteral("cdsAutonomo"), QStringLiteral("TASE_AUTSOMMEEROGATE")},
        {QStringLiteral("cdsPdfAnnotazioni"), QStringLiteral("TCUDA_ANNOTAZIONI")},
    };
    return map.value(section);
}

struct Placed
{
    int pag;       // 0: Sos
    QString section;
    TXMLCudEdit edit;
};

QList<Placed> placedEdits(const TXMLCud &cud)
{
    QList<Placed> out;
    for (int p = 0; p <= 12; ++p) {
        const TXMLCudPage page = p == 0 ? cud.Sos() : cud.Pag(p);
        for (int s = 0; s < page.Count(); ++s) {
            const TXMLCudSection sec = page.Section(s);
            for (int e = 0; e < sec.Count(); ++e)
                out.append({p, sec.Name(), sec.Edit(e)});
        }
    }
    return out;
}

// Model page written by each layout page.
const QMap<int, int> kSummaryPages{{1, 1}, {2, 2}, {3, 3}, {4, 4}, {5, 5}, {6, 6}, {7, 8}, {8, 10}};
const QMap<int, int> kOrdinaryPages{{1, 3}, {2, 4}, {3, 5}, {4, 6}, {5, 7}, {6, 8}, {7, 9}, {8, 10},
                                    {9, 11}, {10, 12}, {11, 13}, {12, 14}};

} // namespace

class TstPdfModels : public QObject
{
    Q_OBJECT
private slots:
    void shippedModelsLoad()
    {
        const struct { const char *name; int pages; } models[] = {
            {"CU2026_mod.pdf", 11}, {"CU2026_mod_ord.pdf", 14}, {"firme.pdf", 1}, {"CU_2026_istruz.pdf", 17}};
        for (const auto &m : models) {
            TPdkPdf pdf;
            const QString path = res(QString::fromLatin1(m.name));
            QVERIFY2(pdf.LoadFromFile(path) != 0, qPrintable(path + QLatin1Char(' ') + pdf.LastErrorText()));
            QVERIFY2(pdf.PageCount() >= m.pages, m.name);
            pdf.SetMeasurementUnits(1);
            for (int p = 1; p <= pdf.PageCount(); ++p) {
                pdf.SelectPage(p);
                QVERIFY(qAbs(pdf.PageWidth() - 210) < 0.1 && qAbs(pdf.PageHeight() - 297) < 0.1);
            }
        }
        // The leaflet the payee gets is pages 10 to 17 of the instructions.
        const QString istruz = res(QStringLiteral("CU_2026_istruz.pdf"));
        for (int p = 10; p <= 17; ++p) {
            bool header = false;
            for (const Word &w : words(istruz, p))
                header |= w.text == QLatin1String("CONTRIBUENTE");
            QVERIFY2(header, qPrintable(QString::number(p)));
        }
    }

    void layoutsNameFieldsOfTheirDatasets()
    {
        const VelRecordModel &model = VelRecordModel::instance();
        for (const char *file : {"StpCUD.xml", "StpCUD_Ord.xml", "StpSost.xml", "StpQuadroCT.xml"}) {
            const TXMLCud cud = GetCud(res(QString::fromLatin1(file)));
            const QList<Placed> edits = placedEdits(cud);
            QVERIFY(!edits.isEmpty());
            for (const Placed &p : edits) {
                const QString structure = structureOf(p.section);
                QVERIFY2(!structure.isEmpty(), qPrintable(QStringLiteral("%1: %2").arg(file, p.section)));
                const QString name = p.edit.Name();
                QVERIFY2(model.structure(structure).field(name),
                         qPrintable(QStringLiteral("%1: %2.%3").arg(file, structure, name)));
                // The agent block is written from the other agent's dataset too.
                if (p.section == QLatin1String("cdsPdfSost"))
                    QVERIFY2(model.structure(QStringLiteral("TCUAS_DATIALTRISOST")).field(name), qPrintable(name));
                const TXMLCudPrintRect r = p.edit.PrintRect();
                QVERIFY(r.Left() >= 0 && r.Left() <= 210 && r.Top() > 0 && r.Top() <= 297 && r.Height() >= 6);
            }
        }
        // The print configuration of the signature list.
        TVelXMLDocument doc;
        doc.LoadFromFile(res(QStringLiteral("stpStampe.xml")));
        const TXMLPdfConf conf(doc.DocumentElement());
        const TXMLPdfConfPage page = conf.findPage(QStringLiteral("FirmeDipendenti"));
        QVERIFY(!page.isNull());
        TClientDataSet year;
        year.loadFromFile(res(QStringLiteral("TCUA_ANNOFIN.cds")));
        const QSet<QString> header{QStringLiteral("sDenominazione"), QStringLiteral("sIndirizzo"),
                                   QStringLiteral("sTelefonoMail"), QStringLiteral("sAnnoFin")};
        QStringList sections;
        for (int s = 0; s < page.Count(); ++s) {
            const TXMLPdfConfSection sec = page.Section(s);
            sections << sec.Name();
            for (int e = 0; e < sec.Count(); ++e) {
                const QString name = sec.Edit(e).Name();
                if (sec.Name() == QLatin1String("cdsIntestazione"))
                    QVERIFY(header.contains(name));
                else if (sec.Name() == QLatin1String("cdsAnnoFin"))
                    QVERIFY(year.findField(name));
                else
                    QVERIFY(model.structure(QStringLiteral("TCUD_DATICUD")).field(name));
            }
        }
        QCOMPARE(sections, (QStringList{QStringLiteral("cdsIntestazione"), QStringLiteral("cdsAnnoFin"),
                                         QStringLiteral("cdsDipendenti")}));
        // Row r of the list is written at 165 + 28 r, just above its signature line at 168 + 28 r.
        const TXMLPdfConfPrintRect row = page.Section(2).Edit(0).PrintRect(0);
        QCOMPARE(row.vOffset(), 28);
        QCOMPARE(row.MaxIndex(), 0);
        QVERIFY(row.yFor(22) < 168 + 28 * 22 && row.yFor(22) > 168 + 28 * 21);
    }

    void everyBoxOfTheRecordModelHasAPlace()
    {
        const VelRecordModel &model = VelRecordModel::instance();
        for (const char *file : {"StpCUD.xml", "StpCUD_Ord.xml"}) {
            QSet<QString> placed;
            for (const Placed &p : placedEdits(GetCud(res(QString::fromLatin1(file)))))
                placed.insert(structureOf(p.section) + QLatin1Char('.') + p.edit.Name());
            for (const VelStructureDesc &s : model.structures()) {
                for (const VelFieldDesc &f : s.fields) {
                    if (f.box.isEmpty())
                        continue;
                    QVERIFY2(placed.contains(s.name + QLatin1Char('.') + f.name),
                             qPrintable(QStringLiteral("%1: %2.%3").arg(file, s.name, f.name)));
                }
            }
        }
    }

    // Each value is written inside the box the model draws for it: the box's
    // number is printed at the box's top-left corner, just above the value.
    void valuesSitInTheBoxesDrawnForThem()
    {
        const VelRecordModel &model = VelRecordModel::instance();
        // (The choice of the 8, 5 and 2 per thousand, Pag8 of the summary, shows the payee's data without numbers.)
        const struct { const char *layout; const char *pdf; const QMap<int, int> *pages; int unnumbered; } sets[] = {
            {"StpCUD.xml", "CU2026_mod.pdf", &kSummaryPages, 8}, {"StpCUD_Ord.xml", "CU2026_mod_ord.pdf", &kOrdinaryPages, 0}};
        for (const auto &set : sets) {
            const QString pdf = res(QString::fromLatin1(set.pdf));
            QMap<int, QList<Word>> pageWords;
            int checked = 0;
            QString previousBox;
            for (const Placed &p : placedEdits(GetCud(res(QString::fromLatin1(set.layout))))) {
                const VelFieldDesc *f = model.structure(structureOf(p.section)).field(p.edit.Name());
                const QString box = f->box;
                const bool firstOfGroup = box != previousBox;
                previousBox = box;
                // (The fiscal code in the page header at 46, 12 has no numbered box.)
                if (box.isEmpty() || !firstOfGroup || p.pag == 0 || p.pag == set.unnumbered || p.edit.PrintRect().Top() <= 14
                    || p.edit.Alignment().compare(QLatin1String("tacheckbox"), Qt::CaseInsensitive) == 0)
                    continue;
                const int page = set.pages->value(p.pag);
                if (!pageWords.contains(page))
                    pageWords.insert(page, words(pdf, page));
                const double left = p.edit.PrintRect().Left() * kMm;
                const double top = p.edit.PrintRect().Top() * kMm;
                bool found = false;
                for (const Word &w : pageWords[page]) {
                    if (w.text == box && w.xMin > left - 1.5 * kMm && w.xMin < left
                        && w.baseline(4.5) > top - 5.5 * kMm && w.baseline(4.5) < top - 3 * kMm)
                        found = true;
                }
                QVERIFY2(found, qPrintable(QStringLiteral("%1 Pag%2: box %3 of %4").arg(set.layout).arg(p.pag).arg(box, f->name)));
                ++checked;
            }
            QVERIFY(checked > 700);
        }
    }

    // The fixed places the CU print writes at have their boxes on the model.
    void fixedPlacesHaveTheirBoxes()
    {
        const QString pdf = res(QStringLiteral("CU2026_mod.pdf"));
        const auto labelAt = [&](int page, const QString &text, double xMm) {
            for (const Word &w : words(pdf, page)) {
                if (w.text == text && qAbs(w.xMin - xMm * kMm) < 1.0)
                    return true;
            }
            return false;
        };
        QVERIFY(labelAt(1, QStringLiteral("Periodo"), 164.7)); // financial year at 169, 29
        for (int page : {2, 3, 4, 5, 6, 7, 8}) {
            QVERIFY2(labelAt(page, QStringLiteral("Codice"), 44.7), qPrintable(QString::number(page))); // 46, 12
            QVERIFY2(labelAt(page, QStringLiteral("Mod."), 188.7), qPrintable(QString::number(page)));  // 192, 12
        }
        QVERIFY(labelAt(11, QStringLiteral("Codice"), 30.7)); // 32, 13
        QVERIFY(labelAt(4, QStringLiteral("CONIUGE"), 9));     // family rows from 143
        QVERIFY(labelAt(1, QStringLiteral("FIRMA"), 48.7));
    }

    // The largest amounts of the CU and its sections stay inside their boxes.
    void largestAmountsFitTheirBoxes()
    {
        QTemporaryDir dir;
        const VelRecordModel &model = VelRecordModel::instance();
        const TXMLCud cud = GetCud(res(QStringLiteral("StpCUD_Ord.xml")));
        TPdkPdf pdf;
        const int src = pdf.LoadFromFile(res(QStringLiteral("CU2026_mod_ord.pdf")));
        QVERIFY(src);
        pdf.NewDocument();
        pdf.SetOrigin(1);
        pdf.SetMeasurementUnits(1);
        TVelFormFieldPrinter printer(pdf);
        QMap<QString, TClientDataSet *> sets;
        std::vector<std::unique_ptr<TClientDataSet>> owned;
        for (int pag = 1; pag <= 12; ++pag) {
            pdf.Check(pdf.CopyPageRanges(src, QString::number(kOrdinaryPages.value(pag))));
            pdf.SelectPage(pdf.PageCount());
            for (int s = 0; s < cud.Pag(pag).Count(); ++s) {
                const TXMLCudSection sec = cud.Pag(pag).Section(s);
                const QString structure = structureOf(sec.Name());
                if (!sets.contains(structure)) {
                    owned.emplace_back(new TClientDataSet);
                    TClientDataSet *ds = owned.back().get();
                    model.createDataSet(structure, *ds);
                    ds->append();
                    for (int i = 0; i < ds->fieldCount(); ++i) {
                        const TField f = ds->field(i);
                        if (f.dataType() == TFieldType::Currency)
                            f.setValue(QVariant::fromValue(Currency::fromUnits(999999999900LL)));
                        else if (f.dataType() == TFieldType::Date)
                            f.setValue(QDate(2025, 12, 31));
                    }
                    ds->post();
                    sets.insert(structure, ds);
                }
                printer.printSection(sec, *sets.value(structure));
            }
        }
        pdf.DeletePages(1, 1);
        const QString out = dir.path() + QStringLiteral("/pieno.pdf");
        pdf.Check(pdf.SaveToFile(out));

        int amounts = 0;
        for (int pag = 1; pag <= 12; ++pag) {
            const QList<Word> w = words(out, pag);
            for (int s = 0; s < cud.Pag(pag).Count(); ++s) {
                const TXMLCudSection sec = cud.Pag(pag).Section(s);
                for (int e = 0; e < sec.Count(); ++e) {
                    const TXMLCudEdit edit = sec.Edit(e);
                    if (edit.Alignment() != QLatin1String("taRightJustify"))
                        continue;
                    const double boxLeft = (edit.PrintRect().Left() - 1) * kMm;
                    const double right = (edit.PrintRect().Left() + edit.Space().toDouble()) * kMm;
                    const double base = edit.PrintRect().Top() * kMm;
                    bool inside = false;
                    for (const Word &x : w) {
                        if (x.text == QLatin1String("99.999.999,99") && qAbs(x.xMax - right) < 0.1
                            && qAbs(x.baseline(8) - base) < 0.3)
                            inside = x.xMin >= boxLeft;
                    }
                    QVERIFY2(inside, qPrintable(QStringLiteral("Pag%1 %2").arg(pag).arg(edit.Name())));
                    ++amounts;
                }
            }
        }
        QVERIFY(amounts > 400);
    }

    void theMainModuleHoldsTheLastLayoutLoaded()
    {
        TdmVelMain dm;
        QVERIFY(!dm.hasCudLayout());
        dm.LoadCudLayout();
        QVERIFY(dm.hasCudLayout());
        QVERIFY(dm.XMLDocument.FileName().endsWith(QLatin1String("USR/KZ2025/Res/StpCUD.xml")));
        QCOMPARE(dm.Cud().Pag(6).Count(), 5); // the summary's page B carries TFR
        dm.LoadCudOrdLayout();
        QVERIFY(dm.XMLDocument.FileName().endsWith(QLatin1String("StpCUD_Ord.xml")));
        QCOMPARE(dm.Cud().Pag(8).Count(), 4);
        QCOMPARE(dm.Cud().Pag(12).Count(), 2);

        // A root without the layout: an error naming the file, and no layout held.
        QTemporaryDir root;
        QDir().mkpath(root.path() + QStringLiteral("/USR/KZ2025/Res"));
        const QByteArray saved = qgetenv("VELCU_STAGE_DIR");
        qputenv("VELCU_STAGE_DIR", root.path().toUtf8());
        try {
            dm.LoadCudLayout();
            QFAIL("no error");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("StpCUD.xml")), qPrintable(e.message()));
        }
        qputenv("VELCU_STAGE_DIR", saved);
        QVERIFY(!dm.hasCudLayout());
    }
};

QTEST_GUILESS_MAIN(TstPdfModels)
#include "tst_pdf_models.moc"
