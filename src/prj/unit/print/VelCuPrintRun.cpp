// The CU print's run: the CUs in order into one document (TVelCuPages), the
// document written, each CU's pages, and the lock of the CUs printed.
#include "src/prj/unit/print/VelCuPrint.h"
#include "src/prj/unit/print/VelCuPrintData.h"

#include "platform/core/OvFolders.h"
#include "platform/core/OvExceptions.h"
#include "platform/framework/OvMessages.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/model/VelBoundary.h"
#include "src/prj/unit/model/VelError.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorFolders.h"
#include "velcu/VelFields.h"

#include <QDir>

using namespace VelCuPrintData;

// ---------------------------------------------------------------- the run

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
    p.codFis = text(cdsMultiSelect, fld::SCUDCODFIS).trimmed();
    p.nome = (text(cdsMultiSelect, fld::SCUDCOGNOME).trimmed() + QLatin1Char(' ') + text(cdsMultiSelect, fld::SCUDNOME).trimmed())
                 .trimmed();
    p.mese = text(cdsMultiSelect, fld::SCUDMESE).trimmed();
    p.stage = TVelStage::Scrittura;
    p.result = TVelResult::NonEseguito;
    return p;
}

int TVelCuPrint::toLock(const QList<TBookmark> &rows)
{
    int n = 0;
    for (const TBookmark b : rows) {
        cdsMultiSelect.gotoBookmark(b);
        if (integer(cdsMultiSelect, fld::iCudStato) < 1)
            ++n;
    }
    return n;
}

QString TVelCuPrint::cuKey(TBookmark row)
{
    cdsMultiSelect.gotoBookmark(row);
    return text(cdsMultiSelect, fld::SCUDCODFIS) + QLatin1Char('|') + text(cdsMultiSelect, fld::SCUDMESE);
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

// The model loaded into the workspace and a new document selected, its origin
// at the top-left corner.
void TVelCuPrint::openDocument(bool ordinario)
{
    const QString model = !modelFile.isEmpty() ? modelFile
                          : TorFolders::resolveFile(TorFolders::resDir(), ordinario ? Campagna::modelloOrdinario()
                                                                                    : Campagna::modelloSintetico());
    m_pages.openDocument(model, twoSided, signatureOmitted);
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
        const int year = m_store.year() > 0 ? m_store.year() : Campagna::AnnoFinanziario;
        if (ordinario)
            m_pages.printOrdinaryCu(m_main.Cud(), year, first);
        else
            m_pages.printSummaryCu(m_main.Cud(), year, first);
        // the blank page the two-sided print puts before a CU is no CU's:
        // a payee's own file begins with its first page and ends with its last
        const int blank = twoSided && !first && pages % 2 != 0 ? 1 : 0;
        m_ranges.append({b, pages + blank + 1, m_pages.pageCount()});
        pages = m_pages.pageCount();
    }
    return !progress || progress(int(m_ranges.size()), int(rows.size()));
}

// The document's last touches and the file on disk; its path.
QString TVelCuPrint::saveDocument(const QString &fileName)
{
    if (draft) {
        m_pages.markDraft();
        // the annotation rows a draft rebuilt are never stored
        m_annotations.dropRebuilt();
    }
    m_pages.setDocumentInfo(m_stampe.ordinario, draft);

    const QString folder = outputFolder.isEmpty() ? TorFolders::stpDir() : outputFolder;
    ovTryMakePath(folder);
    const QString path = QDir(folder).filePath(fileName + QStringLiteral(".pdf"));
    refuseDraftOver(path);
    TdmVelPDF::save(m_pages.pdf(), path);
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
    m_annotations.reset();

    struct Release {
        TVelCuPrint *p;
        bool written = false;
        ~Release()
        {
            p->m_pages.closeDocument();
            // rows rebuilt in memory: read afresh at the next run; those of a
            // document on disk wait for the lock of their CU
            if (!written) {
                p->m_annotations.dropRebuilt();
                p->m_ranges.clear();
            }
            p->m_annotations.dropIndex();
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
    return m_pages.pageCount();
}
