#include "src/prj/unit/print/TdmVelPDF.h"

#include "src/prj/unit/model/VelError.h"

#include "platform/core/OvFolders.h"
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/framework/OvShell.h"
#include "src/prj/unit/print/VelFormFieldPrinter.h"
#include "src/prj/unit/print/VelImprint.h"
#include "src/prj/unit/print/VelPrintFormat.h"
#include "tor/util/TorFolders.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

TdmVelPDF::TdmVelPDF(QObject *parent) : QObject(parent) {}

TdmVelPDF::~TdmVelPDF() = default;

TPdkPdf &TdmVelPDF::workspace() const
{
    if (!m_pdf)
        throw EAssertionFailed(QStringLiteral("Nessun modello PDF caricato"));
    return *m_pdf;
}

// The file as given, or the one whose name matches it without regard to case.
static QString existing(const QString &path)
{
    if (QFileInfo(path).isFile())
        return path;
    const QFileInfo info(path);
    const QString found = TorFolders::resolveFile(info.path(), info.fileName());
    return QFileInfo(found).isFile() ? found : QString();
}

bool TdmVelPDF::LoadModel(const QString &modelPath, const QString &configPath)
{
    const QString modelFile = existing(modelPath);
    const QString configFile = existing(configPath);
    if (modelFile.isEmpty() || configFile.isEmpty())
        return false;

    XMLConfig.Close();
    XMLConfig.LoadFromFile(configFile);
    const QString root = XMLConfig.DocumentElement().tagName();
    if (root != QLatin1String("PdfConf")) {
        XMLConfig.Close();
        throw EOvError(QStringLiteral("Il file di configurazione \"%1\" non è una configurazione di stampa: "
                                      "l'elemento principale è <%2>, non <PdfConf>.")
                           .arg(QFileInfo(configFile).fileName(), root));
    }

    m_pdf = std::make_unique<TPdkPdf>();
    m_modelDoc = m_newDoc = 0;
    TPdkPdf &pdf = *m_pdf;
    const QString loading = QStringLiteral("Caricamento modello base");
    pdf.SetLastOperation(loading);
    m_modelDoc = pdf.LoadFromFile(modelFile);
    check(m_modelDoc, loading);
    const QString creating = QStringLiteral("Creazione nuovo documento");
    pdf.SetLastOperation(creating);
    m_newDoc = pdf.NewDocument();
    check(m_newDoc, creating);
    check(pdf.SelectDocument(m_newDoc), creating);
    check(pdf.SetOrigin(1), creating);
    check(pdf.SetMeasurementUnits(0), creating);
    return true;
}

void TdmVelPDF::RequireModel(const QString &modelPath, const QString &configPath)
{
    if (LoadModel(modelPath, configPath))
        return;
    QStringList missing;
    for (const QString &path : {modelPath, configPath}) {
        if (existing(path).isEmpty())
            missing << QStringLiteral("\"%1\"").arg(QFileInfo(path).fileName());
    }
    throw EOvError(QStringLiteral("Stampa non eseguita: non si trova %1 nella cartella %2.\n"
                                  "Reinstallare il programma o copiare il file mancante nella cartella.")
                       .arg(missing.join(QStringLiteral(" né ")),
                            QDir::toNativeSeparators(QFileInfo(modelPath).absolutePath())));
}

void TdmVelPDF::check(int result, const QString &label) const
{
    if (result != 0)
        return;
    const QString reason = m_pdf ? m_pdf->LastErrorText().trimmed() : QString();
    throw EVelError(reason.isEmpty() || label.contains(reason) ? label : label + QStringLiteral("\n") + reason,
                    {TVelErrorCode::OperazionePdf, QString(), std::nullopt, result});
}

void TdmVelPDF::save(TPdkPdf &pdf, const QString &path)
{
    if (pdf.SaveToFile(path) == 0)
        throw EVelError(saveFailed(pdf.LastErrorText()),
                        {TVelErrorCode::Scrittura, path, TVelStage::Conferma});
}

QString TdmVelPDF::saveFailed(const QString &reason)
{
    const QString text = QStringLiteral("Controllare che il documento non sia già aperto.");
    return reason.trimmed().isEmpty() ? text : text + QStringLiteral("\n") + reason.trimmed();
}

void TdmVelPDF::CopyModelPage(int page, bool deleteFirstPage, bool imprint)
{
    TPdkPdf &pdf = workspace();
    const QString label = QStringLiteral("Copia pagina") + QString::number(page);
    pdf.SetLastOperation(label);
    check(pdf.CopyPageRanges(m_modelDoc, QString::number(page)), label);
    if (deleteFirstPage)
        check(pdf.DeletePages(1, 1), label);
    check(pdf.SelectPage(pdf.PageCount()), label);
    if (imprint) {
        const QString text = VelImprint::producerLine();
        const QString writing = QStringLiteral("Scrivi testo: ") + text;
        pdf.SetLastOperation(writing);
        check(pdf.SetTextSize(7), writing);
        // baseline 20 pt from the edge: the glyphs keep 5 mm from it
        check(pdf.DrawRotatedText(20, 800, 90, text), writing);
    }
}

TXMLPdfConf TdmVelPDF::PdfConf() const
{
    return TXMLPdfConf(XMLConfig.DocumentElement());
}

TClientDataSet *TdmVelPDF::dataSet(const QString &name) const
{
    if (name.isEmpty())
        return nullptr;
    const QList<TClientDataSet *> all = findChildren<TClientDataSet *>();
    for (TClientDataSet *ds : all) {
        if (ds->objectName().compare(name, Qt::CaseInsensitive) == 0)
            return ds;
    }
    return nullptr;
}

bool TdmVelPDF::FillSection(const QString &page, const QString &section, int row)
{
    if (!XMLConfig.Active())
        return false;
    const TXMLPdfConf conf = PdfConf();
    const QString pageName = page.toUpper();
    const QString sectionName = section.toUpper();
    for (int p = 0; p < conf.Count(); ++p) {
        const TXMLPdfConfPage pg = conf.Page(p);
        if (pg.Name().toUpper() != pageName)
            continue;
        for (int s = 0; s < pg.Count(); ++s) {
            const TXMLPdfConfSection sec = pg.Section(s);
            if (sec.Name().toUpper() != sectionName)
                continue;
            for (int e = 0; e < sec.Count(); ++e)
                FillEdit(sec.Edit(e), row);
            return true;
        }
    }
    return false;
}

bool TdmVelPDF::FillEdit(const TXMLPdfConfEdit &edit, int row)
{
    TClientDataSet *ds = dataSet(edit.Section().Name());
    if (!ds || !ds->active() || ds->isEmpty())
        return false;
    const QString value = ds->fieldByName(edit.Name()).asString();
    for (int i = 0; i < edit.Count(); ++i) {
        const TXMLPdfConfPrintRect rect = edit.PrintRect(i);
        if (!rect.appliesTo(row))
            continue;
        PrintValue(value, rect.xFor(row), rect.yFor(row), rect.Height(), rect.Space(), edit.Alignment(), edit.Type());
    }
    return true;
}

void TdmVelPDF::PrintValue(const QString &value, int x, int y, int size, int width, const QString &alignment,
                           const QString &code)
{
    TPdkPdf &pdf = workspace();
    const QString text = VelPrintFormat::valueText(value, code);
    const QString label = QStringLiteral("Scrivi testo: ") + text;
    pdf.SetLastOperation(label);
    check(pdf.SetTextSize(size), label);
    // a text wider than its box is written smaller rather than over the next column
    check(TVelFormFieldPrinter::fitTextSize(pdf, text, width), label);
    check(pdf.OvDrawText(x, y, text, width, TPdkPdf::alignmentFromText(alignment)), label);
}

void TdmVelPDF::SaveDocument(const QString &fileName, bool openFile, bool openFolder)
{
    TPdkPdf &pdf = workspace();
    const QFileInfo info(fileName);
    ovTryMakePath(info.absolutePath());
    pdf.SetLastOperation(QStringLiteral("Salvataggio stampa"));
    save(pdf, fileName);
    if (openFile)
        ovShell()->openDocument(info.absoluteFilePath(), QString(), info.absolutePath(), false);
    if (openFolder)
        ovShell()->openDocument(info.absolutePath(), QString(), QString(), false);
}
