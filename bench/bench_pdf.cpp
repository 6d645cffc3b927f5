// bench_pdf [pages [output.pdf]]
//
// A print of the size of a large school's run: every page a copy of the
// summary CU's fiscal page with about 60 values written through the form
// layout, then saved. Prints the time to build and to save, the file size and
// the bytes per page beyond the model's own size, and the peak memory.
#include "platform/core/Currency.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/pdf/TPdkPdf.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "src/prj/unit/print/VelCudLayout.h"
#include "src/prj/unit/print/VelFormFieldPrinter.h"
#include "tor/util/TorFolders.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

#include "BenchProcess.h"

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("VELCU_STAGE_DIR"))
        qputenv("VELCU_STAGE_DIR", VELCU_STAGE_DIR);
    QCoreApplication app(argc, argv);
    const int pages = argc > 1 ? std::atoi(argv[1]) : 3000;
    const QString model = TorFolders::resolveFile(TorFolders::resDir(), QStringLiteral("CU2026_mod.pdf"));
    const TXMLCud cud = GetCud(TorFolders::resolveFile(TorFolders::resDir(), QStringLiteral("StpCUD.xml")));
    const TXMLCudSection section = cud.Pag(2).Section(0);

    // The CU record with values in the first 60 places of the page.
    TClientDataSet cu;
    VelRecordModel::instance().createDataSet(QStringLiteral("TCUD_DATICUD"), cu);
    cu.append();
    cu.fieldByName(QStringLiteral("SCUDCODFIS")).setValue(QStringLiteral("RSSMRA80A01H501U"));
    int values = 1;
    for (int e = 0; e < section.Count() && values < 60; ++e) {
        const TField f = cu.fieldByName(section.Edit(e).Name());
        if (f.dataType() == TFieldType::Currency) {
            f.setValue(QVariant::fromValue(Currency::fromUnits(12345678LL * (e + 1))));
            ++values;
        } else if (f.dataType() == TFieldType::Date) {
            f.setValue(QDate(2025, 9, 1));
            ++values;
        }
    }
    cu.post();

    QTemporaryDir dir;
    const QString out = argc > 2 ? QString::fromLocal8Bit(argv[2]) : dir.path() + QStringLiteral("/bench.pdf");
    QElapsedTimer timer;
    timer.start();
    TPdkPdf pdf;
    const int src = pdf.LoadFromFile(model);
    pdf.Check(src, QStringLiteral("Caricamento modello base"));
    pdf.Check(pdf.NewDocument(), QStringLiteral("Creazione nuovo documento"));
    pdf.SetOrigin(1);
    pdf.SetMeasurementUnits(1);
    TVelFormFieldPrinter printer(pdf);
    for (int p = 0; p < pages; ++p) {
        pdf.Check(pdf.CopyPageRanges(src, QStringLiteral("2")), QStringLiteral("Copia I pagina"));
        if (p == 0)
            pdf.Check(pdf.DeletePages(1, 1));
        pdf.Check(pdf.SelectPage(pdf.PageCount()));
        printer.printSection(section, cu);
        pdf.SetLastOperation(QStringLiteral("Scrivi testo: 01"));
        pdf.SetTextSize(8);
        pdf.Check(pdf.OvDrawText(192, 12, QStringLiteral("%1").arg(p % 99 + 1, 2, 10, QLatin1Char('0')), 5, TPdkAlign::Left));
        pdf.SetTextSize(7);
        pdf.Check(pdf.DrawRotatedText(4, 279, 90, QStringLiteral("Stampato con velcu    Conforme al Provvedimento")));
    }
    const qint64 built = timer.elapsed();
    pdf.Check(pdf.SaveToFile(out), QStringLiteral("Controllare che il documento non sia già aperto."));
    const qint64 total = timer.elapsed();

    const qint64 size = QFileInfo(out).size();
    const qint64 modelSize = QFileInfo(model).size();
    std::printf("bench_pdf: %d pages, %d values a page\n", pages, values + 2);
    std::printf("  build %lld ms, save %lld ms, total %.2f s\n", built, total - built, total / 1000.0);
    std::printf("  file %lld bytes (model %lld bytes), %.0f bytes a page beyond the model\n", size, modelSize,
                double(size - modelSize) / pages);
    std::printf("  peak memory (VmHWM) %.1f MB\n", bench::peakMb());
    return 0;
}
