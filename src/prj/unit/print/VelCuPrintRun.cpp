// The CU print's run: the pages of one CU (summary or ordinary) in order, the
// document written, each CU's pages, and the lock of the CUs printed.
#include "src/prj/unit/print/VelCuPrint.h"
#include "src/prj/unit/print/VelCuPrintData.h"

#include "platform/core/OvFolders.h"
#include "src/prj/unit/model/VelCuByMonth.h"
#include "platform/core/OvExceptions.h"
#include "platform/framework/OvMessages.h"
#include "platform/pdf/PdkFontMetrics.h"
#include "platform/pdf/TPdkPdf.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/model/VelBoundary.h"
#include "src/prj/unit/model/VelError.h"
#include "src/prj/unit/print/VelCuModelLayout.h"
#include "src/prj/unit/print/VelCudLayout.h"
#include "src/prj/unit/print/VelFormFieldPrinter.h"
#include "src/prj/unit/print/VelImprint.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "src/prj/unit/telematic/VelAnnotationCodes.h"
#include "src/prj/unit/telematic/VelFileGenerator.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorFolders.h"

#include <QDir>
#include <QSet>

using namespace VelCuPrintData;
namespace Layout = VelCuModelLayout;

// ---------------------------------------------------------------- the run

// Steps common to both CUs: the CU's first page from the model, the year,
// the agent's block (the other agent the CU names, else the school), the
// fields of Pag1 and the imprint. Returns the agent's dataset.
TClientDataSet &TVelCuPrint::firstPage(const TXMLCud &cud, int modelPage, bool first)
{
    m_codFis = text(cdsMultiSelect, "SCUDCODFIS");
    m_mese = text(cdsMultiSelect, "SCUDMESE");
    const TField person = cdsMultiSelect.findField(QStringLiteral("IAFIID"));
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
    cdsPdfAltrisost.setFilter(QStringLiteral("SSOSCODFIS = %1").arg(quoted(text(cdsMultiSelect, "SCUDALTROSOSCODFIS"))));
    cdsPdfAltrisost.setFiltered(true);
    cdsPdfAltrisost.first();
    TClientDataSet &agent = cdsPdfAltrisost.isEmpty() ? cdsPdfSost : cdsPdfAltrisost;
    drawText(Layout::kYear.x, Layout::kYear.y, Layout::kYearSize,
             QString::number(m_store.year() > 0 ? m_store.year() : Campagna::AnnoFinanziario));
    agentBlock(cud, agent);
    pageFields(cud, Layout::kFirstPageLayout, true);
    imprint();
    m_module = 1;
    return agent;
}

void TVelCuPrint::printSummaryCu(bool first)
{
    namespace L = Layout::Sintetico;
    const TXMLCud cud = m_main.Cud();
    TClientDataSet &agent = firstPage(cud, L::kFirstPage, first);

    // fiscal data and dependants
    filterToCu(cdsPdfConFamCar);
    filterToCu(cdsPdfTfr);
    const bool fiscal = TVelFileGenerator::hasFiscalData(cdsMultiSelect) || !cdsPdfConFamCar.isEmpty()
                        || !cdsPdfTfr.isEmpty();
    if (fiscal && text(cdsMultiSelect, "LCUDCPOSCNACFC").trimmed() != QLatin1String("X")) {
        for (int page = L::kFiscalFirst; page <= L::kFiscalLast; ++page) {
            copyPage(QString::number(page), QStringLiteral("Copia pagina ") + QString::number(page));
            moduleAndImprint();
            pageFields(cud, page, false);
        }
        dependantsBlock(L::kDependantsTop, L::kFiscalLast);
    }

    previdentialPages(cud, L::kPrevidential);
    if (!text(cdsMultiSelect, "SCUDANNOTAZIONI").trimmed().isEmpty())
        annotationsPage();
    selfEmployedPage(cud, L::kSelfEmployed);
    // the information for the payee reaches every payee with the CU: a
    // loose sheet of it still says whose it is and who printed it
    copyPage(QString::number(L::kInformation), QStringLiteral("Copia pagina informazioni"));
    fiscalCodeHeader();
    imprint();
    fivePerThousandPages(cud, agent);
}

void TVelCuPrint::printOrdinaryCu(bool first)
{
    namespace L = Layout::Ordinario;
    const TXMLCud cud = m_main.Cud();
    firstPage(cud, L::kFirstPage, first);

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
    rebuildAnnotationCodes();
    annotationCodePages(cud);
    selfEmployedPage(cud, L::kSelfEmployed);
}

TVelPrintResult TVelCuPrint::print(const QList<TBookmark> &rows, const QString &fileName)
{
    TVelRunOutcome outcome;
    for (const TBookmark b : rows)
        outcome.add(payeeOf(b));
    auto settle = [this, &rows, &outcome] {
        for (qsizetype i = 0; i < rows.size(); ++i) {
            TVelPayeeOutcome &p = outcome.payees[i];
            if (const QString why = notLockedReason(rows.at(i)); !why.isEmpty()) {
                p.result = TVelResult::Errore;
                p.reason = why;
                continue;
            }
            if (!isLocked(rows.at(i)))
                continue;
            p.stage = TVelStage::Conferma;
            p.result = TVelResult::Fatto;
            p.reason.clear();
        }
    };
    try {
        const QString path = printDocument(rows, fileName);
        outcome.warnings = m_warnings;
        if (path.isEmpty()) {
            TVelPrintResult none;
            none.kind = m_cancelled              ? TVelPrintResult::Annullato
                        : !m_main.hasCudLayout() ? TVelPrintResult::SenzaModello
                                                 : TVelPrintResult::NienteDaStampare;
            outcome.cancelled = m_cancelled;
            if (!m_cancelled)
                outcome.fatal = none.reason();
            for (TVelPayeeOutcome &p : outcome.payees)
                p.reason = none.reason();
            none.outcome = std::move(outcome);
            return none;
        }
        if (draft) {
            // written, and nothing more to do for a draft
            for (TVelPayeeOutcome &p : outcome.payees) {
                p.result = TVelResult::Fatto;
                p.reason.clear();
            }
            settle();
            return {TVelPrintResult::Scritto, path, std::move(outcome)};
        }
        for (TVelPayeeOutcome &p : outcome.payees)
            p.stage = TVelStage::Conferma;
        lockPrinted(rows);
        settle();
        return {TVelPrintResult::Scritto, path, std::move(outcome)};
    } catch (const EAbort &) {
        throw;
    } catch (const std::exception &e) {
        outcome.fatal = exceptionText(e);
        const auto *known = dynamic_cast<const EVelError *>(&e);
        for (TVelPayeeOutcome &p : outcome.payees) {
            if (known)
                known->record(p); // the stage the failure names (saving the file: Conferma)
            p.result = TVelResult::Errore;
            p.reason = outcome.fatal;
        }
        settle();
        // the boundary of the print: the failure typed, with what it did
        throw VelBoundary::typed(e, TVelStage::Scrittura, TVelErrorCode::Generico).withOutcome(std::move(outcome));
    }
}

TVelPayeeOutcome TVelCuPrint::payeeOf(TBookmark row)
{
    cdsMultiSelect.gotoBookmark(row);
    TVelPayeeOutcome p;
    p.codFis = text(cdsMultiSelect, "SCUDCODFIS").trimmed();
    p.nome = (text(cdsMultiSelect, "SCUDCOGNOME").trimmed() + QLatin1Char(' ') + text(cdsMultiSelect, "SCUDNOME").trimmed())
                 .trimmed();
    p.mese = text(cdsMultiSelect, "SCUDMESE").trimmed();
    p.stage = TVelStage::Scrittura;
    p.result = TVelResult::NonEseguito;
    return p;
}

int TVelCuPrint::toLock(const QList<TBookmark> &rows)
{
    int n = 0;
    for (const TBookmark b : rows) {
        cdsMultiSelect.gotoBookmark(b);
        if (text(cdsMultiSelect, "iCudStato").toInt() < 1)
            ++n;
    }
    return n;
}

QString TVelCuPrint::cuKey(TBookmark row)
{
    cdsMultiSelect.gotoBookmark(row);
    return text(cdsMultiSelect, "SCUDCODFIS") + QLatin1Char('|') + text(cdsMultiSelect, "SCUDMESE");
}

// A document's run from the start: no page written, nothing locked.
void TVelCuPrint::resetRun()
{
    m_ranges.clear();
    m_cancelled = false;
    m_locked.clear();
    m_notLocked.clear();
    m_printed.clear();
    m_newlyLocked = 0;
}

// The notes table and the annotation rows read afresh by the run about to
// write.
void TVelCuPrint::resetAnnotations()
{
    m_noteCodes.reset();
    m_noteTableFailed = false;
    m_annotationSaves.clear();
    m_annotationIndex.reset();
}

// The model loaded into the workspace and a new document selected, its origin
// at the top-left corner.
void TVelCuPrint::openDocument(bool ordinario)
{
    TPdkPdf &pdf = *m_pdf;
    const QString model = !modelFile.isEmpty() ? modelFile
                          : TorFolders::resolveFile(TorFolders::resDir(), ordinario ? Campagna::modelloOrdinario()
                                                                                    : Campagna::modelloSintetico());
    m_modelDoc = pdf.LoadFromFile(model);
    check(pdf, m_modelDoc, QStringLiteral("Caricamento modello base"));
    const int doc = pdf.NewDocument();
    check(pdf, doc, QStringLiteral("Creazione nuovo documento"));
    check(pdf, pdf.SelectDocument(doc), QStringLiteral("Creazione nuovo documento"));
    check(pdf, pdf.SetOrigin(1), QStringLiteral("Creazione nuovo documento"));
}

// Each CU of `rows` in turn, with the pages it took; false when `progress`
// cancelled the run.
bool TVelCuPrint::printRows(const QList<TBookmark> &rows, bool ordinario)
{
    int pages = 0; // pages of the CUs before this one
    for (const TBookmark b : rows) {
        if (progress && !progress(int(m_ranges.size()), int(rows.size())))
            return false;
        cdsMultiSelect.gotoBookmark(b);
        const bool first = m_ranges.isEmpty();
        if (ordinario)
            printOrdinaryCu(first);
        else
            printSummaryCu(first);
        // the blank page the two-sided print puts before a CU is no CU's:
        // a payee's own file begins with its first page and ends with its last
        const int blank = twoSided && !first && pages % 2 != 0 ? 1 : 0;
        m_ranges.append({b, pages + blank + 1, m_pdf->PageCount()});
        pages = m_pdf->PageCount();
    }
    return !progress || progress(int(m_ranges.size()), int(rows.size()));
}

// The document's last touches and the file on disk; its path.
QString TVelCuPrint::saveDocument(const QString &fileName)
{
    TPdkPdf &pdf = *m_pdf;
    if (draft) {
        markDraft();
        // the annotation rows a draft rebuilt are never stored
        m_annotationSaves.clear();
    }
    setDocumentInfo(pdf);

    const QString folder = outputFolder.isEmpty() ? TorFolders::stpDir() : outputFolder;
    ovTryMakePath(folder);
    const QString path = QDir(folder).filePath(fileName + QStringLiteral(".pdf"));
    refuseDraftOver(path);
    TdmVelPDF::save(pdf, path);
    if (log && announceDocument)
        log(QStringLiteral("File generato: ") + QDir::toNativeSeparators(path));
    return path;
}

void TVelCuPrint::refuseDraftOver(const QString &path) const
{
    if (!draft) // whoever asks, a draft never replaces a final document
        return;
    if (const QString refusal = draftRefusal(path); !refusal.isEmpty())
        throw EOvError(refusal);
}

QString TVelCuPrint::printDocument(const QList<TBookmark> &rows, const QString &fileName)
{
    const bool ordinario = m_stampe.ordinario;
    m_warnings.clear();
    // said before the pages are made, not after
    refuseDraftOver(QDir(outputFolder.isEmpty() ? TorFolders::stpDir() : outputFolder)
                        .filePath(fileName + QStringLiteral(".pdf")));
    resetRun();
    const QList<TBookmark> printable = readForPrint(rows);
    if (ordinario)
        m_main.LoadCudOrdLayout();
    else
        m_main.LoadCudLayout();
    if (!m_main.hasCudLayout())
        return QString();
    resetAnnotations();

    m_pdf = std::make_unique<TPdkPdf>();
    m_printer = std::make_unique<TVelFormFieldPrinter>(*m_pdf);
    struct Release {
        TVelCuPrint *p;
        bool written = false;
        ~Release()
        {
            p->m_printer.reset();
            p->m_pdf.reset();
            // rows rebuilt in memory: read afresh at the next run; those of a
            // document on disk wait for the lock of their CU
            if (!written) {
                p->m_annotationSaves.clear();
                p->m_ranges.clear();
            }
            p->m_annotationIndex.reset();
            p->cdsPdfAnnotazioni.close();
        }
    } release{this};

    openDocument(ordinario);
    if (!printRows(printable, ordinario)) {
        m_cancelled = true;
        return QString();
    }
    if (m_ranges.isEmpty())
        return QString();
    const QString path = saveDocument(fileName);
    release.written = true;
    return path;
}

int TVelCuPrint::pagesWritten() const
{
    return m_pdf ? m_pdf->PageCount() : 0;
}
