// The CU print's document: the model loaded, the texts the print writes
// itself, and the pages of one CU (summary or ordinary) in order.
#include "src/prj/unit/print/VelCuPages.h"
#include "src/prj/unit/print/VelCuPrintAnnotations.h"
#include "src/prj/unit/print/VelCuPrintData.h"

#include "platform/core/OvExceptions.h"
#include "platform/pdf/TPdkPdf.h"
#include "src/prj/unit/print/VelCuModelLayout.h"
#include "src/prj/unit/print/VelCudLayout.h"
#include "src/prj/unit/print/VelFormFieldPrinter.h"
#include "src/prj/unit/print/VelImprint.h"
#include "src/prj/unit/telematic/VelFileGenerator.h"
#include "tor/util/TorCampagna.h"
#include "velcu/VelFields.h"

using namespace VelCuPrintData;
namespace Layout = VelCuModelLayout;

namespace {

const QString kFirma = fld::SCUDDATIANAFIRMA.qs();
const QString kFirmaOmessa = QStringLiteral("LA FIRMA E' OMESSA AI SENSI DELL'ART.3, DEL DECR. LEGISLATIVO 12/02/1993");

} // namespace

TVelCuPages::TVelCuPages(const Sources &s, TVelCuAnnotationCodes &annotations)
    : cdsMultiSelect(s.cdsMultiSelect), cdsInps(s.cdsInps), cdsInpdap(s.cdsInpdap), cdsInail(s.cdsInail),
      cdsAltriEnti(s.cdsAltriEnti), cdsCoopArt(s.cdsCoopArt), cdsPdfTfr(s.cdsPdfTfr), cdsAutonomo(s.cdsAutonomo),
      cdsPdfConFamCar(s.cdsPdfConFamCar), cdsPdfAnnotazioni(s.cdsPdfAnnotazioni), cdsPdfSost(s.cdsPdfSost),
      cdsPdfAltrisost(s.cdsPdfAltrisost), m_annotations(annotations)
{
}

TVelCuPages::~TVelCuPages() = default;

const QString &TVelCuPages::draftTitle()
{
    static const QString title = QStringLiteral(" - BOZZA");
    return title;
}

// ---------------------------------------------------------------- the document

void TVelCuPages::openDocument(const QString &modelFile, bool twoSided, bool signatureOmitted)
{
    m_twoSided = twoSided;
    m_signatureOmitted = signatureOmitted;
    m_pdf = std::make_unique<TPdkPdf>();
    m_printer = std::make_unique<TVelFormFieldPrinter>(*m_pdf);
    TPdkPdf &pdf = *m_pdf;
    m_modelDoc = pdf.LoadFromFile(modelFile);
    check(pdf, m_modelDoc, QStringLiteral("Caricamento modello base"));
    const int doc = pdf.NewDocument();
    check(pdf, doc, QStringLiteral("Creazione nuovo documento"));
    check(pdf, pdf.SelectDocument(doc), QStringLiteral("Creazione nuovo documento"));
    check(pdf, pdf.SetOrigin(1), QStringLiteral("Creazione nuovo documento"));
}

void TVelCuPages::closeDocument()
{
    m_printer.reset();
    m_pdf.reset();
}

int TVelCuPages::pageCount() const
{
    return m_pdf ? m_pdf->PageCount() : 0;
}

// ---------------------------------------------------------------- one CU

// Steps common to both CUs: the CU's first page from the model, the year,
// the agent's block (the other agent the CU names, else the school), the
// fields of Pag1 and the imprint. Returns the agent's dataset.
TClientDataSet &TVelCuPages::firstPage(const TXMLCud &cud, int year, int modelPage, bool first)
{
    m_codFis = text(cdsMultiSelect, fld::SCUDCODFIS);
    m_mese = text(cdsMultiSelect, fld::SCUDMESE);
    const TField person = cdsMultiSelect.findField(fld::iAfiID.qsUpper());
    m_person = person ? person.asInteger() : 0;
    if (!first)
        blankPageIfOdd();

    const QString label = QStringLiteral("Copia I pagina");
    copyPage(QString::number(modelPage), label);
    if (first) {
        check(*m_pdf, m_pdf->DeletePages(1, 1), label);
        check(*m_pdf, m_pdf->SelectPage(m_pdf->PageCount()), label);
    }
    cdsPdfAltrisost.setFiltered(false);
    cdsPdfAltrisost.setFilter(QStringLiteral("SSOSCODFIS = %1").arg(quoted(text(cdsMultiSelect, fld::SCUDALTROSOSCODFIS))));
    cdsPdfAltrisost.setFiltered(true);
    cdsPdfAltrisost.first();
    TClientDataSet &agent = cdsPdfAltrisost.isEmpty() ? cdsPdfSost : cdsPdfAltrisost;
    drawText(Layout::kYear.x, Layout::kYear.y, Layout::kYearSize,
             QString::number(year));
    agentBlock(cud, agent);
    pageFields(cud, Layout::kFirstPageLayout, true);
    imprint();
    m_module = 1;
    return agent;
}

void TVelCuPages::printSummaryCu(const TXMLCud &cud, int year, bool first)
{
    namespace L = Layout::Sintetico;
    TClientDataSet &agent = firstPage(cud, year, L::kFirstPage, first);

    // fiscal data and dependants
    filterToCu(cdsPdfConFamCar);
    filterToCu(cdsPdfTfr);
    const bool fiscal = TVelFileGenerator::hasFiscalData(cdsMultiSelect) || !cdsPdfConFamCar.isEmpty()
                        || !cdsPdfTfr.isEmpty();
    if (fiscal && !ticked(cdsMultiSelect, fld::LCUDCPOSCNACFC)) {
        for (int page = L::kFiscalFirst; page <= L::kFiscalLast; ++page) {
            copyPage(QString::number(page), QStringLiteral("Copia pagina ") + QString::number(page));
            moduleAndImprint();
            pageFields(cud, page, false);
        }
        dependantsBlock(L::kDependantsTop, L::kFiscalLast);
    }

    previdentialPages(cud, L::kPrevidential);
    if (!text(cdsMultiSelect, fld::SCUDANNOTAZIONI).trimmed().isEmpty())
        annotationsPage();
    selfEmployedPage(cud, L::kSelfEmployed);
    // the information for the payee reaches every payee with the CU: a
    // loose sheet of it still says whose it is and who printed it
    copyPage(QString::number(L::kInformation), QStringLiteral("Copia pagina informazioni"));
    fiscalCodeHeader();
    imprint();
    fivePerThousandPages(cud, agent);
}

void TVelCuPages::printOrdinaryCu(const TXMLCud &cud, int year, bool first)
{
    namespace L = Layout::Ordinario;
    firstPage(cud, year, L::kFirstPage, first);

    // fiscal data, the dependants on the last of their pages
    filterToCu(cdsPdfConFamCar);
    if (TVelFileGenerator::hasFiscalData(cdsMultiSelect) || !cdsPdfConFamCar.isEmpty()) {
        for (int page = L::kFiscalFirst; page <= L::kFiscalLast; ++page) {
            copyPage(QString::number(page), QStringLiteral("Copia pagina ") + QString::number(page));
            moduleAndImprint();
            pageFields(cud, page - L::kFiscalLayoutOffset, false);
        }
        dependantsBlock(L::kDependantsTop, L::kFiscalLast);
    }

    // the TFR has pages of its own here
    previdentialPages(cud, L::kPrevidential);
    tfrPairs(cud);
    m_annotations.rebuild(m_person, m_codFis, m_mese);
    annotationCodePages(cud);
    selfEmployedPage(cud, L::kSelfEmployed);
}

// ---------------------------------------------------------------- drawing

void TVelCuPages::copyPage(const QString &pages, const QString &label)
{
    TPdkPdf &pdf = *m_pdf;
    pdf.SetLastOperation(label);
    check(pdf, pdf.SetMeasurementUnits(1), label);
    check(pdf, pdf.CopyPageRanges(m_modelDoc, pages), label);
    check(pdf, pdf.SelectPage(pdf.PageCount()), label);
}

void TVelCuPages::blankPageIfOdd()
{
    if (!m_twoSided || m_pdf->PageCount() % 2 == 0)
        return;
    const QString label = QStringLiteral("Inserimento \"Pagina vuota\"");
    m_pdf->SetLastOperation(label);
    check(*m_pdf, m_pdf->NewPage(), label);
}

void TVelCuPages::drawText(double x, double y, int size, const QString &value, double width, int align)
{
    TPdkPdf &pdf = *m_pdf;
    const QString label = QStringLiteral("Scrivi testo: ") + value;
    pdf.SetLastOperation(label);
    check(pdf, pdf.SetTextSize(size), label);
    if (width <= 0 && align == 0) {
        check(pdf, pdf.DrawText(x, y, value), label);
        return;
    }
    const TPdkAlign a = align == 1 ? TPdkAlign::Right : align == 2 ? TPdkAlign::Center : TPdkAlign::Left;
    check(pdf, pdf.OvDrawText(int(x), int(y), value, width, a), label);
}

void TVelCuPages::moduleAndImprint()
{
    drawText(Layout::kModule.x, Layout::kModule.y, Layout::kModuleSize,
             QStringLiteral("%1").arg(m_module, 2, 10, QLatin1Char('0')), Layout::kModuleWidth);
    imprint();
}

// Along the left edge, reading upwards, inside the margin.
void TVelCuPages::imprint()
{
    const QString line = VelImprint::cuLine();
    const QString label = QStringLiteral("Scrivi testo: ") + line;
    m_pdf->SetLastOperation(label);
    check(*m_pdf, m_pdf->SetTextSize(Layout::kImprintSize), label);
    check(*m_pdf, m_pdf->DrawRotatedText(Layout::kImprintBaseline, Layout::kImprintBottom, Layout::kImprintAngle, line),
          label);
}

// Every page of a draft, blank ones included, says so above and below the
// model's frames, where it hides neither a label nor a value.
void TVelCuPages::markDraft()
{
    TPdkPdf &pdf = *m_pdf;
    const QString note = QStringLiteral("BOZZA - non valida come certificazione");
    const QString label = QStringLiteral("Scrivi testo: ") + note;
    pdf.SetLastOperation(label);
    check(pdf, pdf.SetMeasurementUnits(1), label);
    for (int page = 1; page <= pdf.PageCount(); ++page) {
        check(pdf, pdf.SelectPage(page), label);
        check(pdf, pdf.SetTextSize(Layout::kDraftNoteSize), label);
        check(pdf, pdf.DrawText(Layout::kDraftNote.x, Layout::kDraftNote.y, note), label);
        check(pdf, pdf.SelectFont(TPdkFont::HelveticaBold), label);
        check(pdf, pdf.SetTextSize(Layout::kDraftBannerSize), label);
        check(pdf, pdf.OvDrawText(0, Layout::kDraftBannerY, note, Layout::kSheetWidth, TPdkAlign::Center), label);
        check(pdf, pdf.SelectFont(TPdkFont::Helvetica), label);
    }
}

// Title, author (the withholding agent) and date of the document, for whoever
// finds the file without its e-mail.
void TVelCuPages::setDocumentInfo(bool ordinario, bool draft)
{
    TPdkPdf &pdf = *m_pdf;
    QString title = QStringLiteral("Certificazione Unica %1 - %2")
                        .arg(Campagna::AnnoInvio)
                        .arg(ordinario ? QStringLiteral("modello ordinario") : QStringLiteral("modello sintetico"));
    if (draft)
        title += draftTitle();
    const QString author = !cdsPdfSost.isEmpty() ? text(cdsPdfSost, fld::SSOSDENOM).trimmed() : QString();
    check(pdf, VelImprint::setDocumentInfo(pdf, title, author), QStringLiteral("Informazioni del documento"));
}

void TVelCuPages::fiscalCodeHeader(int x, int y, double width)
{
    drawText(x, y, Layout::kTaxCodeSize, m_codFis, width);
}

void TVelCuPages::rowLabel(int position, int y)
{
    drawText(Layout::kRowLabelX, y, Layout::kRowLabelSize, QStringLiteral("Rigo: ") + QString::number(position));
}

void TVelCuPages::filterToCu(TClientDataSet &ds)
{
    ds.setFiltered(false);
    ds.setFilter(QStringLiteral("SCUDCODFIS = %1 AND SCUDMESE = %2").arg(quoted(m_codFis), quoted(m_mese)));
    ds.setFiltered(true);
    ds.first();
}

void TVelCuPages::agentBlock(const TXMLCud &cud, TClientDataSet &agent)
{
    const TXMLCudPage sos = cud.Sos();
    for (int s = 0; s < sos.Count(); ++s) {
        const TXMLCudSection section = sos.Section(s);
        for (int e = 0; e < section.Count(); ++e) {
            const TXMLCudEdit edit = section.Edit(e);
            const TXMLCudPrintRect r = edit.PrintRect();
            const TField f = agent.findField(edit.Name());
            const QString value = f && !agent.isEmpty() ? f.asString() : QString();
            if (value.isEmpty())
                continue;
            m_printer->DrawField(value, r.Left(), r.Top(), r.Height(), edit.Alignment(), QStringLiteral("0"));
        }
    }
}

void TVelCuPages::pageFields(const TXMLCud &cud, int page, bool signature)
{
    const TXMLCudPage pag = cud.Pag(page);
    for (int s = 0; s < pag.Count(); ++s) {
        const TXMLCudSection section = pag.Section(s);
        for (int e = 0; e < section.Count(); ++e) {
            const TXMLCudEdit edit = section.Edit(e);
            const TField f = cdsMultiSelect.fieldByName(edit.Name());
            if (signature && edit.Name().compare(kFirma, Qt::CaseInsensitive) == 0 && m_signatureOmitted) {
                const QString value = f.asString();
                const TXMLCudPrintRect r = edit.PrintRect();
                namespace F = Layout::FirmaOmessa;
                if (!value.isEmpty() && value != QLatin1String("0"))
                    m_printer->DrawField(value, r.Left(), r.Top() - F::kValueRise, F::kValueSize, edit.Alignment(),
                                         edit.Space());
                m_printer->DrawField(kFirmaOmessa, r.Left(), r.Top() + F::kNoteDrop, F::kNoteSize, edit.Alignment(),
                                     edit.Space());
                continue;
            }
            m_printer->printEdit(edit, f.value());
        }
    }
}
