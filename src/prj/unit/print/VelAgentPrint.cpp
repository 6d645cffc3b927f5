#include "src/prj/unit/print/VelAgentPrint.h"
#include "src/prj/unit/model/VelCuRepository.h"

#include "platform/core/OvFolders.h"
#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/pdf/TPdkPdf.h"
#include "src/prj/unit/print/TdmVelPDF.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/print/VelCuModelLayout.h"
#include "src/prj/unit/print/VelCuPrintData.h"
#include "src/prj/unit/print/VelCudLayout.h"
#include "src/prj/unit/print/VelFormFieldPrinter.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorFolders.h"
#include "velcu/VelFields.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

using VelCuPrintData::check;
namespace Layout = VelCuModelLayout::Sostituto;

// A text wider than its box is written smaller rather than over the next box.
void draw(TPdkPdf &pdf, const QString &text, double x, double y, double size, const QString &alignment,
          double width)
{
    const QString label = QStringLiteral("Scrivi testo: ") + text;
    pdf.SetLastOperation(label);
    check(pdf, pdf.SetTextSize(size), label);
    check(pdf, TVelFormFieldPrinter::fitTextSize(pdf, text, width), label);
    check(pdf, pdf.OvDrawText(int(x), int(y), text, width, TPdkPdf::alignmentFromText(alignment)), label);
}

} // namespace

TVelAgentPrint::TVelAgentPrint(TdmVelStampePDF &stampe, Kind kind) : m_stampe(stampe), m_kind(kind) {}

TClientDataSet &TVelAgentPrint::dataSet() const
{
    return m_kind == Frontespizio ? *m_stampe.cdsSost : *m_stampe.cdsQuadroCT;
}

void TVelAgentPrint::open()
{
    TClientDataSet &ds = dataSet();
    if (ds.active() && !ds.isEmpty())
        return;
    ds.setFiltered(false);
    VelCuRepository(*m_stampe.store()).load(ds, m_kind == Frontespizio ? rec::TCUS_DATISOST::id.qs() : rec::TCUCT_DATICT::id.qs(),
                           TTorDBCds::AllMonths);
    ds.first();
}

QString TVelAgentPrint::defaultFileName() const
{
    return m_kind == Frontespizio ? QStringLiteral("Frontespizio") : QStringLiteral("QuadroCT");
}

QString TVelAgentPrint::caption() const
{
    return m_kind == Frontespizio ? QStringLiteral("Stampa Sostituto") : QStringLiteral("Stampa Quadro CT");
}

QString TVelAgentPrint::layoutFile(Kind kind)
{
    return kind == Frontespizio ? QStringLiteral("StpSost.xml") : QStringLiteral("StpQuadroCT.xml");
}

void TVelAgentPrint::writeEdit(TPdkPdf &pdf, const TXMLCudEdit &edit, TClientDataSet &ds)
{
    const TXMLCudPrintRect r = edit.PrintRect();
    const QString alignment = edit.Alignment();
    const double width = TVelFormFieldPrinter::spaceWidth(edit.Space());
    const TField field = ds.fieldByName(edit.Name());
    const QVariant value = ds.isEmpty() ? QVariant() : field.value();
    const QString text = value.isNull() ? QString() : field.asString();
    if (text.isEmpty() || text == QLatin1String("0"))
        return;
    if (edit.Type().compare(QLatin1String("CB"), Qt::CaseInsensitive) == 0) {
        if (text.trimmed() == QLatin1String("1"))
            draw(pdf, QStringLiteral("X"), r.Left(), r.Top(), r.Height(), alignment, width);
        return;
    }
    const QString a = alignment.toUpper();
    if (a == QLatin1String("TARIGHTJUSTIFY")) {
        const QString amount = TVelFormFieldPrinter::printedText(alignment, QString(), value);
        if (!amount.isEmpty())
            draw(pdf, amount, r.Left(), r.Top(), r.Height(), alignment, width);
        return;
    }
    if (a == QLatin1String("TADATA")) {
        const QString date = TVelFormFieldPrinter::printedText(alignment, QString(), value);
        if (date.isEmpty())
            return;
        const QString spaced = date.mid(0, 2) + QStringLiteral("    ") + date.mid(3, 2) + QStringLiteral("    ")
                               + date.mid(6, 4);
        draw(pdf, spaced, r.Left(), r.Top(), r.Height(), QStringLiteral("taCenter"), 0);
        return;
    }
    draw(pdf, text, r.Left(), r.Top(), r.Height(), alignment, width);
}

QString TVelAgentPrint::print(const QString &fileName)
{
    static const QRegularExpression unsafe(QStringLiteral("[\\\\/:*?\"<>|]"));
    const QString name = fileName.trimmed();
    if (name.isEmpty() || name.contains(unsafe) || name.startsWith(QLatin1Char('.')))
        throw EOvError(QStringLiteral("Indicare un nome di file valido per la stampa (senza cartelle né i caratteri "
                                      "\\ / : * ? \" < > |)."));
    TClientDataSet &ds = dataSet();
    if (!ds.active())
        open();

    const QString res = m_stampe.resDir();
    const QString model = TorFolders::resolveFile(res, Campagna::modelloOrdinario());
    if (!QFileInfo(model).isFile())
        throw EOvError(QStringLiteral("Stampa non eseguita: non si trova il modello \"%1\" nella cartella %2.")
                           .arg(Campagna::modelloOrdinario(), QDir::toNativeSeparators(res)));
    // The layout: a missing or unreadable file raises naming it.
    const TXMLCud cud = GetCud(TorFolders::resolveFile(res, layoutFile(m_kind)));

    TPdkPdf pdf;
    const QString loading = QStringLiteral("Caricamento modello base");
    pdf.SetLastOperation(loading);
    const int modelDoc = pdf.LoadFromFile(model);
    check(pdf, modelDoc, loading);
    const QString creating = QStringLiteral("Creazione nuovo documento");
    const int doc = pdf.NewDocument();
    check(pdf, doc, creating);
    check(pdf, pdf.SelectDocument(doc), creating);
    check(pdf, pdf.SetOrigin(1), creating);
    check(pdf, pdf.SetMeasurementUnits(1), creating);

    const QString copying = m_kind == Frontespizio ? QStringLiteral("Copia I pagina") : QStringLiteral("Copia II pagina");
    pdf.SetLastOperation(copying);
    check(pdf, pdf.CopyPageRanges(modelDoc, QString::number(m_kind == Frontespizio ? Layout::kFrontispiece : Layout::kQuadroCT)),
          copying);
    check(pdf, pdf.DeletePages(1, 1), copying);
    check(pdf, pdf.SelectPage(1), QStringLiteral("Selezione Pagina"));

    ds.first();
    const TXMLCudPage sos = cud.Sos();
    for (int s = 0; s < sos.Count(); ++s) {
        const TXMLCudSection section = sos.Section(s);
        for (int e = 0; e < section.Count(); ++e)
            writeEdit(pdf, section.Edit(e), ds);
    }
    if (m_kind == Frontespizio && !ds.isEmpty()) {
        auto set = [&ds](const char *field) {
            const TField f = ds.findField(QLatin1String(field));
            return f && f.asString().trimmed() == QLatin1String("1");
        };
        auto cross = [&pdf](VelCuModelLayout::Point at) {
            draw(pdf, QStringLiteral("X"), at.x, at.y, Layout::kCrossSize, QStringLiteral("taCenter"), 0);
        };
        if (set(fld::LSOSANNULLAMENTO.name))
            cross(Layout::kAnnullamento);
        if (set(fld::LSOSSOSTITUZIONE.name))
            cross(Layout::kSostituzione);
    }

    const QString folder = m_stampe.stpDir();
    ovTryMakePath(folder);
    const QString path = QDir(folder).filePath(name + QStringLiteral(".pdf"));
    pdf.SetLastOperation(TdmVelPDF::saveFailed(QString()));
    TdmVelPDF::save(pdf, path);
    if (log)
        log(QStringLiteral("File generato: ") + QDir::toNativeSeparators(path));
    return path;
}
