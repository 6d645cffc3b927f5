// The models and layouts shipped in USR/KZ2025/Res: they load, every layout
// names fields of the dataset that feeds it, every box of the record model has
// a place, each value's place lies in the box drawn for it on the model page,
// and the largest amounts fit their boxes.
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/pdf/TPdkPdf.h"
#include "src/prj/unit/editors/VelPageBuilder.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "src/prj/unit/print/VelCudLayout.h"
#include "src/prj/unit/print/VelFormFieldPrinter.h"
#include "src/prj/unit/print/VelPdfConf.h"
#include "src/prj/unit/print/VelXmlDocument.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "support/PdfWords.h"
#include "tor/util/TorFolders.h"

#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

using PdfWords::kMm;
using PdfWords::Word;

// The words of one page, in points.
QList<Word> words(const QString &pdf, int page)
{
    return PdfWords::page(pdf, page, 1.0);
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


// ---- what the model pages show, in millimetres from the top-left corner ----

constexpr double kPt = 25.4 / 72.0; // a point in millimetres

struct Box
{
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool meets(const Box &o, double slack = 0.05) const
    {
        return x0 < o.x1 - slack && o.x0 < x1 - slack && y0 < o.y1 - slack && o.y0 < y1 - slack;
    }
    QString text() const { return QStringLiteral("(%1,%2)-(%3,%4)").arg(x0, 0, 'f', 1).arg(y0, 0, 'f', 1).arg(x1, 0, 'f', 1).arg(y1, 0, 'f', 1); }
};

Box boxOf(const Word &w)
{
    return {w.xMin / kMm, w.yMin / kMm, w.xMax / kMm, w.yMax / kMm};
}

// The rectangle of a value of `size` points drawn as the print draws it:
// (x, y) is the start of its baseline; capitals and digits, no descenders.
Box valueBox(double x, double y, double width, double size)
{
    return {x, y - 0.718 * size * kPt, x + width, y};
}

// The page rendered at `dpi` through pdftoppm, in grey or in colour.
QImage render(const QString &pdf, int page, int dpi, bool gray = true)
{
    QTemporaryDir dir;
    const QString base = dir.filePath(QStringLiteral("p"));
    QProcess::execute(QStringLiteral("pdftoppm"), {gray ? QStringLiteral("-gray") : QStringLiteral("-png"), QStringLiteral("-r"),
                                                   QString::number(dpi), QStringLiteral("-f"), QString::number(page),
                                                   QStringLiteral("-l"), QString::number(page), QStringLiteral("-singlefile"),
                                                   pdf, base});
    return QImage(base + (gray ? QStringLiteral(".pgm") : QStringLiteral(".png")));
}

// True when no pixel darker than light grey lies inside the box (a value's
// place crossed by a rule or another text).
bool blank(const QImage &img, int dpi, const Box &b)
{
    const double px = dpi / 25.4;
    for (int y = int(std::ceil(b.y0 * px)) + 1; y <= int(std::floor(b.y1 * px)) - 1; ++y) {
        for (int x = int(std::ceil(b.x0 * px)) + 1; x <= int(std::floor(b.x1 * px)) - 1; ++x) {
            if (x >= 0 && y >= 0 && x < img.width() && y < img.height() && qGray(img.pixel(x, y)) < 200)
                return false;
        }
    }
    return true;
}

// Rectangles and path points drawn on each page (points, origin bottom-left),
// read from the content streams that qpdf writes out uncompressed.
struct Paths
{
    QList<QRectF> rects;
    QList<QPointF> points;
};
QList<Paths> pathsOf(const QString &pdf)
{
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("q.pdf"));
    QProcess::execute(QStringLiteral("qpdf"), {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable"), pdf, out});
    QFile f(out);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("qpdf failed on %s", qPrintable(pdf));
    const QStringList pages = QString::fromLatin1(f.readAll()).split(QStringLiteral("%% Contents for page "));
    static const QRegularExpression re(QStringLiteral("(-?[\\d.]+) (-?[\\d.]+) (-?[\\d.]+) (-?[\\d.]+) re\\b"));
    static const QRegularExpression ml(QStringLiteral("(-?[\\d.]+) (-?[\\d.]+) [ml]\\b"));
    QList<Paths> result;
    for (int i = 1; i < pages.size(); ++i) {
        const QString stream = pages.at(i).section(QStringLiteral("endstream"), 0, 0);
        Paths p;
        for (auto it = re.globalMatch(stream); it.hasNext();) {
            const auto m = it.next();
            p.rects.append(QRectF(m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                                  m.captured(4).toDouble()).normalized());
        }
        for (auto it = ml.globalMatch(stream); it.hasNext();) {
            const auto m = it.next();
            p.points.append(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()));
        }
        result.append(p);
    }
    return result;
}

// The largest value a field can show, as printed: amounts in their format,
// dates with their gaps, flags as "X", texts and codes as wide as the field.
QString largestValue(const VelFieldDesc &f, const QString &alignment, int gap1, int gap2)
{
    const QString a = alignment.toUpper();
    if (a == QLatin1String("TARIGHTJUSTIFY"))
        return QStringLiteral("99.999.999,99");
    if (a == QLatin1String("TADATA"))
        return QStringLiteral("31") + QString(gap1, QLatin1Char(' ')) + QStringLiteral("12") + QString(gap2, QLatin1Char(' '))
               + QStringLiteral("2025");
    if (a == QLatin1String("TADATAGGMM"))
        return QStringLiteral("31") + QString(gap1, QLatin1Char(' ')) + QStringLiteral("12");
    if (f.isFlag())
        return QStringLiteral("X");
    if (f.kind == VelFieldKind::Integer)
        return QStringLiteral("9999");
    return QString(std::max(1, f.size), QLatin1Char('0'));
}

// Two captions that differ at most by a slip of spelling (the model's paper
// labels mend a few).
bool nearlySame(const QString &a, const QString &b)
{
    const QString x = a.toLower(), y = b.toLower();
    QList<int> prev(y.size() + 1), cur(y.size() + 1);
    for (int j = 0; j <= y.size(); ++j)
        prev[j] = j;
    for (int i = 1; i <= x.size(); ++i) {
        cur[0] = i;
        for (int j = 1; j <= y.size(); ++j)
            cur[j] = std::min({prev[j] + 1, cur[j - 1] + 1, prev[j - 1] + (x[i - 1] == y[j - 1] ? 0 : 1)});
        std::swap(prev, cur);
    }
    return prev[y.size()] <= 2;
}

struct ModelSet
{
    const char *layout;
    const char *pdf;
    const QMap<int, int> *pages;
    int sosPage;
};
const ModelSet kModels[] = {{"StpCUD.xml", "CU2026_mod.pdf", &kSummaryPages, 1},
                            {"StpCUD_Ord.xml", "CU2026_mod_ord.pdf", &kOrdinaryPages, 3}};

// Values the print writes at fixed places (millimetres, size), by model page.
struct Fixed
{
    int page;
    double x, y, size;
    QString text;
    double width = 0; // right-justified against x + width when not 0
};
QList<Fixed> fixedValues(bool ordinary)
{
    QList<Fixed> out;
    const QList<int> headed = ordinary ? QList<int>{4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14} : QList<int>{2, 3, 4, 5, 6, 7, 8};
    for (int p : headed) {
        out.append({p, 46, 12, 10, QStringLiteral("MMMMMM00M00M000M")});
        out.append({p, 192, 12, 8, QStringLiteral("99")});
    }
    const auto rigo = [&out](int page, double x, double y) { out.append({page, x, y, 6, QStringLiteral("Rigo: 99")}); };
    for (int y : {40, ordinary ? 84 : 72, 173, 205, 236})
        rigo(ordinary ? 9 : 5, 5, y);
    for (int y : {32, 50, 74})
        rigo(ordinary ? 10 : 6, 5, y);
    if (ordinary) {
        rigo(11, 1, 44);
        rigo(12, 1, 44);
        rigo(13, 1, 34);
        rigo(14, 1, 45);
    } else {
        rigo(6, 5, 110);
        rigo(8, 1, 45);
        out.append({1, 169, 29, 12, QStringLiteral("2025")});
        out.append({11, 32, 13, 10, QStringLiteral("MMMMMM00M00M000M")});
    }
    // The dependants: every row at both of its baselines (a record without
    // a further row of its own moves the next ones 1 mm up).
    const int page = ordinary ? 8 : 4;
    const int top = ordinary ? 28 : 143;
    for (int row = 0; row < 10; ++row) {
        const int nominal = row < 2 ? top + 4 * row : top + 9 + 4 * (row - 2);
        for (int y : row < 2 ? QList<int>{nominal} : QList<int>{nominal, nominal - 1}) {
            for (int x : {49, 61, 72, 83, 178})
                out.append({page, double(x), double(y), 8, QStringLiteral("X")});
            out.append({page, 90, double(y), 8, QStringLiteral("MMMMMM00M00M000M")});
            out.append({page, 153, double(y), 8, QStringLiteral("12")});
            out.append({page, 191, double(y), 8, QStringLiteral("12")});
            // a deduction for one child: four figures at most
            out.append({page, 172, double(y), 8, QStringLiteral("9.999,99"), -1});
        }
    }
    return out;
}

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
                        && w.baseline(5) > top - 10.5 * kMm && w.baseline(5) < top - 3 * kMm)
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
        // the dependants' column of the percentage says so; the first
        // instalment of the indemnity is box 826 (as the supply writes it) on
        // every TFR page
        QVERIFY(labelAt(4, QStringLiteral("Percentuale"), 160.7));
        const QString ord = res(QStringLiteral("CU2026_mod_ord.pdf"));
        const auto hasWord = [](const QString &file, int page, const QString &text) {
            return PdfWords::has(words(file, page), text);
        };
        QVERIFY(hasWord(ord, 8, QStringLiteral("Percentuale")));
        for (const auto &[file, page] : {std::pair{pdf, 6}, std::pair{ord, 11}, std::pair{ord, 12}})
            QVERIFY2(hasWord(file, page, QStringLiteral("826")), qPrintable(QStringLiteral("%1 p%2").arg(file).arg(page)));
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

    // Every value, at its largest, stays clear of the labels: no word of the
    // model page lies in the value's rectangle; and, dates aside (their ticks
    // stand between the parts), no rule crosses it either.
    void valuesStayClearOfLabelsAndRules()
    {
        const VelRecordModel &model = VelRecordModel::instance();
        TPdkPdf pdf;
        pdf.NewDocument();
        pdf.SetMeasurementUnits(1);
        pdf.SelectFont(TPdkFont::Helvetica);
        const auto widthOf = [&pdf](const QString &text, double size) {
            pdf.SetTextSize(size);
            return pdf.GetTextWidth(text);
        };
        constexpr int kDpi = 200;
        for (const ModelSet &set : kModels) {
            const QString file = res(QString::fromLatin1(set.pdf));
            const bool ordinary = set.sosPage == 3;
            QMap<int, QList<Box>> labels;
            QMap<int, QImage> images;
            const auto prepare = [&](int page) {
                if (labels.contains(page))
                    return;
                for (const Word &w : words(file, page))
                    labels[page].append(boxOf(w));
                images.insert(page, render(file, page, kDpi));
                QVERIFY(!images[page].isNull());
            };
            const auto check = [&](int page, const Box &value, const QString &what, bool rulesToo) {
                for (const Box &l : labels[page])
                    QVERIFY2(!value.meets(l), qPrintable(QStringLiteral("%1 p%2: %3 %4 over a label at %5")
                                                             .arg(set.pdf).arg(page).arg(what, value.text(), l.text())));
                if (rulesToo)
                    QVERIFY2(blank(images[page], kDpi, value),
                             qPrintable(QStringLiteral("%1 p%2: %3 %4 on a rule").arg(set.pdf).arg(page).arg(what, value.text())));
            };
            int checked = 0;
            for (const Placed &p : placedEdits(GetCud(res(QString::fromLatin1(set.layout))))) {
                const int page = p.pag == 0 ? set.sosPage : set.pages->value(p.pag);
                prepare(page);
                const VelFieldDesc *f = model.structure(structureOf(p.section)).field(p.edit.Name());
                const TXMLCudPrintRect r = p.edit.PrintRect();
                const QString a = p.edit.Alignment().toUpper();
                const bool choice = !ordinary && p.pag == 8; // its dates with gaps 8 and 6
                const QString text = largestValue(*f, a, choice ? 8 : 4, choice ? 6 : 4);
                const double w = widthOf(text, r.Height());
                const double space = p.pag == 0 ? 0 : p.edit.Space().toDouble();
                double x = r.Left();
                if (a == QLatin1String("TARIGHTJUSTIFY"))
                    x += space - w;
                else if (a == QLatin1String("TACENTER"))
                    x += (space - w) / 2;
                check(page, valueBox(x, r.Top(), w, r.Height()), p.edit.Name(), !a.startsWith(QLatin1String("TADATA")));
                ++checked;
            }
            QVERIFY(checked > 600);
            for (const Fixed &v : fixedValues(ordinary)) {
                prepare(v.page);
                const double w = widthOf(v.text, v.size);
                const double x = v.width < 0 ? v.x - w : v.x;
                check(v.page, valueBox(x, v.y, w, v.size), v.text, true);
            }
        }
    }

    // The labels a clerk reads: whole (no "%s", nothing cut), at least 5 pt,
    // one beside every box number, and no two boxes of a page reading the
    // same unless the model names them the same.
    void labelsAreWholeAndReadable()
    {
        const VelRecordModel &model = VelRecordModel::instance();
        for (const ModelSet &set : kModels) {
            const QString file = res(QString::fromLatin1(set.pdf));
            QMap<int, QList<Word>> pageWords;
            TPdkPdf pdf;
            QVERIFY(pdf.LoadFromFile(file));
            for (int page = 1; page <= pdf.PageCount(); ++page) {
                pageWords.insert(page, words(file, page));
                for (const Word &w : pageWords[page]) {
                    const QString where = QStringLiteral("%1 p%2: \"%3\"").arg(set.pdf).arg(page).arg(w.text);
                    QVERIFY2(!w.text.contains(QLatin1String("%s")), qPrintable(where));
                    QVERIFY2(!w.text.contains(QChar(0x2026)), qPrintable(where + QStringLiteral(" cut")));
                    // ascent and descent of Helvetica at 5 pt
                    QVERIFY2(w.yMax - w.yMin >= 0.925 * 5 - 0.05, qPrintable(where + QStringLiteral(" too small")));
                }
            }
            // The label of each box: the words after its number, down to its value.
            QMap<int, QMap<QString, QPair<QString, QString>>> read; // page -> label read -> (box, caption)
            int labelled = 0;
            QString previousBox;
            for (const Placed &p : placedEdits(GetCud(res(QString::fromLatin1(set.layout))))) {
                const VelFieldDesc *f = model.structure(structureOf(p.section)).field(p.edit.Name());
                const bool firstOfGroup = f->box != previousBox;
                previousBox = f->box;
                if (f->box.isEmpty() || !firstOfGroup || p.pag == 0 || p.edit.PrintRect().Top() <= 14)
                    continue;
                const int page = set.pages->value(p.pag);
                const double left = p.edit.PrintRect().Left();
                const double top = p.edit.PrintRect().Top();
                const Word *number = nullptr;
                for (const Word &w : pageWords[page]) {
                    if (w.text == f->box && w.xMin / kMm > left - 1.5 && w.xMin / kMm < left
                        && w.yMax / kMm > top - 10 && w.yMax / kMm < top - 2.5)
                        number = &w;
                }
                if (!number)
                    continue; // (the numbers' places are checked above)
                const double boxRight = p.edit.Space().toDouble() > 0 ? left + p.edit.Space().toDouble() + 1 : left + 8;
                QStringList label;
                for (const Word &w : pageWords[page]) {
                    const double base = w.yMax / kMm;
                    if (&w != number && w.xMin / kMm >= left - 1.5 && w.xMax / kMm <= boxRight + 0.2
                        && base >= number->yMax / kMm - 0.2 && base < top - 2)
                        label << w.text;
                }
                QVERIFY2(!label.isEmpty(), qPrintable(QStringLiteral("%1 p%2: box %3 without a label").arg(set.pdf).arg(page).arg(f->box)));
                ++labelled;
                if (p.edit.Space().toDouble() <= 0)
                    continue; // (boxes of dates and "X": their right edge is not in the layout)
                const QString text = label.join(QLatin1Char(' '));
                const QString caption = f->caption().simplified();
                if (read[page].contains(text)) {
                    const auto &other = read[page].value(text);
                    // (a box the editor shows without a caption has the model's wording on paper)
                    QVERIFY2(other.second.isEmpty() || caption.isEmpty() || nearlySame(other.second, caption),
                             qPrintable(QStringLiteral("%1 p%2: boxes %3 and %4 both read \"%5\"")
                                            .arg(set.pdf).arg(page).arg(other.first, f->box, text)));
                }
                read[page].insert(text, {f->box, caption});
            }
            QVERIFY(labelled > 700);
        }
        // Headings of the model over boxes whose labels alone do not say what they are.
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-f"), QStringLiteral("2"), QStringLiteral("-l"), QStringLiteral("2"),
                                              QStringLiteral("-raw"), res(QStringLiteral("CU2026_mod.pdf")), QStringLiteral("-")});
        QVERIFY(p.waitForFinished(30000));
        const QString page2 = QString::fromUtf8(p.readAllStandardOutput()).simplified();
        for (const char *heading : {"Numero di giorni per i quali spettano le detrazioni", "Irpef - dichiarante",
                                    "Addizionale regionale all'Irpef - dichiarante", "Addizionale comunale all'Irpef"})
            QVERIFY2(page2.contains(QString::fromUtf8(heading)), heading);
    }

    // Nothing drawn in the strip along the left edge where the print writes
    // its imprint (x < 5 mm), nothing off the A4 page.
    void nothingInTheImprintStripNorOffThePage()
    {
        const double strip = 5 / kPt;
        const QRectF a4(0, 0, 210 / kPt, 297 / kPt);
        for (const ModelSet &set : kModels) {
            const QString file = res(QString::fromLatin1(set.pdf));
            const QList<Paths> pages = pathsOf(file);
            QVERIFY(pages.size() >= 11);
            for (int i = 0; i < pages.size(); ++i) {
                const QString where = QStringLiteral("%1 p%2").arg(set.pdf).arg(i + 1);
                for (const QRectF &r : pages.at(i).rects) {
                    QVERIFY2(r.left() >= strip - 0.01, qPrintable(where));
                    QVERIFY2(a4.contains(r), qPrintable(where));
                }
                for (const QPointF &pt : pages.at(i).points) {
                    QVERIFY2(pt.x() >= strip - 0.01, qPrintable(where));
                    QVERIFY2(a4.contains(pt), qPrintable(where));
                }
                for (const Word &w : words(file, i + 1))
                    QVERIFY2(w.xMin >= strip - 0.01 && w.xMax <= a4.width() && w.yMax <= a4.height(),
                             qPrintable(where + QLatin1Char(' ') + w.text));
            }
        }
    }

    // Renders of filled model pages for the documentation (VELCU_SCREENSHOTS
    // names the folder): the summary's dependants page and its page of the
    // other bodies and TFR, the ordinary's dependants page, every box filled
    // through the form printer, three dependant records at the print's places.
    void filledPagesForTheDocumentation()
    {
        const QString out = qEnvironmentVariable("VELCU_SCREENSHOTS");
        if (out.isEmpty())
            QSKIP("VELCU_SCREENSHOTS not set");
        const VelRecordModel &model = VelRecordModel::instance();
        const struct { const char *layout; const char *pdf; int pag; int page; const char *png; int familyTop; } shots[] = {
            {"StpCUD.xml", "CU2026_mod.pdf", 4, 4, "model-summary-p4.png", 143},
            {"StpCUD.xml", "CU2026_mod.pdf", 6, 6, "model-summary-p6.png", 0},
            {"StpCUD_Ord.xml", "CU2026_mod_ord.pdf", 6, 8, "model-ordinary-p8.png", 28}};
        QTemporaryDir dir;
        for (const auto &shot : shots) {
            const TXMLCud cud = GetCud(res(QString::fromLatin1(shot.layout)));
            TPdkPdf pdf;
            const int src = pdf.LoadFromFile(res(QString::fromLatin1(shot.pdf)));
            QVERIFY(src);
            pdf.NewDocument();
            pdf.SetOrigin(1);
            pdf.SetMeasurementUnits(1);
            pdf.Check(pdf.CopyPageRanges(src, QString::number(shot.page)));
            pdf.DeletePages(1, 1);
            pdf.SelectPage(1);
            TVelFormFieldPrinter printer(pdf);
            std::vector<std::unique_ptr<TClientDataSet>> sets;
            for (int s = 0; s < cud.Pag(shot.pag).Count(); ++s) {
                const TXMLCudSection sec = cud.Pag(shot.pag).Section(s);
                const QString structure = structureOf(sec.Name());
                sets.emplace_back(new TClientDataSet);
                TClientDataSet &ds = *sets.back();
                model.createDataSet(structure, ds);
                ds.append();
                for (int i = 0; i < ds.fieldCount(); ++i) {
                    const TField f = ds.field(i);
                    const VelFieldDesc *d = model.structure(structure).field(f.fieldName());
                    if (!d || d->box.isEmpty())
                        continue;
                    switch (d->kind) {
                    case VelFieldKind::Amount: f.setValue(QVariant::fromValue(Currency::fromUnits(12345670000LL + 10000LL * d->box.toInt()))); break;
                    case VelFieldKind::Date: f.setValue(QDate(2025, 3, 1)); break;
                    case VelFieldKind::FlagX: f.setValue(QStringLiteral("X")); break;
                    case VelFieldKind::Flag1: f.setValue(QStringLiteral("1")); break;
                    case VelFieldKind::Integer: f.setValue(12); break;
                    default:
                        f.setValue(d->size >= 16 ? QStringLiteral("RSSMRA80A01H501U").left(d->size)
                                                 : QStringLiteral("A1B2C3D4E5F6").left(std::max(1, d->size)));
                    }
                }
                ds.post();
                printer.printSection(sec, ds);
            }
            printer.DrawField(QStringLiteral("01"), 192, 12, 8, QStringLiteral("taLeftJustify"), QStringLiteral("5"));
            if (shot.familyTop) {
                // spouse and first child of the first record, then the second and third records' children
                const int t = shot.familyTop;
                const auto row = [&](int y, int flagX, const QString &cf, const QString &amount) {
                    printer.DrawField(QStringLiteral("X"), flagX, y, 8, QString(), QStringLiteral("0"));
                    printer.DrawField(cf, 90, y, 8, QString(), QStringLiteral("0"));
                    printer.DrawField(QStringLiteral("12"), 153, y, 8, QString(), QStringLiteral("0"));
                    if (!amount.isEmpty())
                        printer.DrawField(amount, 172, y, 8, QStringLiteral("taRightJustify"), QStringLiteral("0"));
                    printer.DrawField(QStringLiteral("12"), 191, y, 8, QString(), QStringLiteral("0"));
                };
                row(t, 49, QStringLiteral("BNCMRA82A41H501W"), QString());
                row(t + 4, 49, QStringLiteral("VRDLCA15A01F839C"), QStringLiteral("950,25"));
                row(t + 9, 72, QStringLiteral("VRDNNA18A41F839X"), QStringLiteral("1.220,00"));
                row(t + 13, 61, QStringLiteral("VRDPLA50A01H199K"), QStringLiteral("750,00"));
            }
            const QString file = dir.filePath(QStringLiteral("p.pdf"));
            pdf.Check(pdf.SaveToFile(file));
            const QImage img = render(file, 1, 110, false);
            QVERIFY(!img.isNull());
            QVERIFY(img.save(QDir(out).filePath(QString::fromLatin1(shot.png))));
        }
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
