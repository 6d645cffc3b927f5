#pragma once
// The CU print without its window: the print form TfmVelPDF drives it, tests
// and tools drive it the same way.
//
//   TVelCuPrint run(store, dmStampe, dmMain);  // store: year set
//   run.open();                                // cdsMultiSelect and the sections
//   run.twoSided = true;
//   run.print(run.allRows(), TVelCuPrint::defaultFileName(false));
//                                              // -> Stp folder + "CU-<filing year>.pdf"
//
// The pages below are numbered as this edition's models number them; the
// numbers and the places the print writes itself are in VelCuModelLayout.h.
//
// The summary CU is filled page by page from the model CU<year>_mod.pdf with
// the layout StpCUD.xml (bound on TdmVelMain): the first page with the agent's
// block, the fiscal pages 2-4 with the dependants, the previdential pages 5
// and 6 with their continuation copies, the annotations, the self-employed
// pages, the information page for the payee and the "CINQUE PER MILLE" pair.
//
// The ordinary CU (TdmVelStampePDF::ordinario) is filled from the model
// CU<year>_mod_ord.pdf with the layout StpCUD_Ord.xml: model page 3 with the
// agent's block, the fiscal pages 4-8 with the dependants on 8, the
// previdential pages 9 and 10, the TFR pair 11-12 (rows alternating on the
// two pages, a new pair while rows remain), one page 13 for each row of
// annotation codes, rebuilt from the annotation text, and the self-employed
// pages on 14. The rebuilt annotation rows reach the store with the lock, at
// the end of a run that wrote its document.
//
// What a document prints is read in one snapshot of the store, with each
// CU's version; a printed CU is locked (iCudStato = 1) only once the whole
// document has been written, and only at the version printed: a run that
// fails or is cancelled leaves every CU as it was, in memory and in the
// store, and a CU corrected meanwhile on another workstation stays unlocked. A caller that delivers the CUs in files of their
// own (one PDF per payee) prints with printDocument() and locks each CU with
// lockPrinted() once its own file is on disk.
//
// A draft ("Bozza") is the same document with "BOZZA" across every page; it
// locks nothing and stores nothing.
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelCuRepository.h"
#include "src/prj/unit/model/VelRunOutcome.h"
#include "src/prj/unit/print/VelCuModelLayout.h"
#include "src/prj/unit/print/VelCuPages.h"
#include "src/prj/unit/print/VelCuPrintAnnotations.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QSet>
#include <functional>
#include <memory>

class TTorDBCds;
class TdmVelStampePDF;
class TdmVelMain;

// What a print came to. Only Scritto wrote a file; the other three wrote
// nothing and locked nothing, each for its own reason.
struct [[nodiscard]] TVelPrintResult
{
    enum Kind {
        Scritto,          // the document is on disk under `path`
        Annullato,        // stopped by the user between two CUs
        NienteDaStampare, // no CU among the rows
        SenzaModello,     // no CU layout could be bound
    };
    Kind kind = NienteDaStampare;
    QString path;
    // CU by CU (in the order of the rows): done once the document is on disk
    // and the CU locked; not done when it was cancelled or had no layout.
    TVelRunOutcome outcome;

    bool written() const { return kind == Scritto; }
    // Why nothing was written, as the office reads it (empty when written).
    QString reason() const
    {
        switch (kind) {
        case Scritto: return QString();
        case Annullato: return QStringLiteral("stampa annullata");
        case NienteDaStampare: return QStringLiteral("nessun CU da stampare");
        case SenzaModello: return QStringLiteral("modello di stampa non disponibile");
        }
        return QString();
    }
};

class TVelCuPrint
{
public:
    TVelCuPrint(TTorDBCds &store, TdmVelStampePDF &stampe, TdmVelMain &main);
    ~TVelCuPrint();
    TVelCuPrint(const TVelCuPrint &) = delete;
    TVelCuPrint &operator=(const TVelCuPrint &) = delete;

    // ---- options of the form ----
    bool twoSided = false;   // "Predisporre il documento per la stampa fronte/retro"
    bool signatureOmitted = false; // "Firma omessa ai sensi di legge"
    bool draft = false;      // "Bozza": every page marked, no CU locked
    QString outputFolder;    // the Stp folder unless set
    QString modelFile;       // the Res folder's summary model unless set

    // ---- seams ----
    std::function<void(const QString &line)> log;                 // the form's log
    std::function<bool(int done, int total)> progress;            // false cancels between two CUs
    // "Controllare le annotazioni nel Modello CU: " and the reason; the run
    // goes on. Unset: the line goes to the log.
    std::function<void(const QString &message)> warning;

    // TCUD_DATICUD into cdsMultiSelect, index "SCUDCOGNOME;SCUDNOME;SCUDMESE",
    // first record; the sections are loaded by print().
    void open();
    void close();
    // Every record of cdsMultiSelect in the current index order.
    QList<TBookmark> allRows() const;

    // Prints the CUs (bookmarks of cdsMultiSelect, in that order) into
    // folder + fileName + ".pdf" and says what came of it: written (with the
    // path), cancelled, nothing to print, or no CU layout, with its outcome.
    // A failing PDF operation raises EVelError with the operation's label and
    // qpdf's reason, and any other failure EVelError with its code; nothing is
    // saved then and no CU is marked printed; the error carries the outcome
    // (every CU failed, with the reason).
    [[nodiscard]] TVelPrintResult print(const QList<TBookmark> &rows, const QString &fileName);

    // The warnings of the last document printed (printDocument's too).
    const QList<TVelRunWarning> &warnings() const { return m_warnings; }

    // The document as print() writes it, without locking any CU. The rows
    // printed (all, unless it returns an empty text) and the pages each took
    // are then given by pageRanges(); the annotation rows an ordinary print
    // rebuilt wait for lockPrinted() of their CU.
    [[nodiscard]] QString printDocument(const QList<TBookmark> &rows, const QString &fileName);
    struct PageRange
    {
        TBookmark row = 0;
        int first = 0; // 1-based, inclusive; the blank page two-sided printing
        int last = 0;  // puts between two CUs is in neither range
    };
    const QList<PageRange> &pageRanges() const { return m_ranges; }

    // The document's file is announced in the log ("File generato: ");
    // a caller that names the files itself leaves it out.
    bool announceDocument = true;

    // Locks CUs of the last printDocument() (iCudStato = 1, then in
    // cdsMultiSelect) over the versions printed, and stores the annotation
    // rows rebuilt for them, in one transaction. A CU another workstation
    // changed after the print read it is not locked: notLockedReason() says
    // so. Raises EOvException when the store refuses: nothing of this call
    // is locked then; isLocked() tells which CUs are.
    void lockPrinted(const QList<TBookmark> &rows);
    bool isLocked(TBookmark row) const { return m_locked.contains(row); }
    // Why a CU of the last document is not locked: changed or removed by
    // another workstation after it was read for printing (then it was not
    // printed at all, or its pages show what it was). Empty otherwise.
    QString notLockedReason(TBookmark row) const { return m_notLocked.value(row); }

    // How many of these CUs a print would lock: those not yet printed.
    int toLock(const QList<TBookmark> &rows);
    // How many CUs the locks since the last printDocument() marked printed
    // that were not printed before.
    int newlyLocked() const { return m_newlyLocked; }

    // Who a CU of cdsMultiSelect is, for an outcome (not done until told).
    TVelPayeeOutcome payeeOf(TBookmark row);

    // Pages of the document being written (0 outside a run): read from
    // `progress`, it tells where each CU begins.
    int pagesWritten() const;

    // Lines of an annotation text as printed: Helvetica at 8 points from
    // x 44 mm, each line ending inside the annotations frame.
    static QStringList wrapAnnotations(const QString &text) { return TVelCuPages::wrapAnnotations(text); }
    static constexpr double kAnnotationLeft = VelCuModelLayout::Sintetico::kAnnotationLeft;   // mm
    static constexpr double kAnnotationRight = VelCuModelLayout::Sintetico::kAnnotationRight; // mm
    static constexpr double kAnnotationSize = VelCuModelLayout::Sintetico::kAnnotationSize;   // points
    // The default file name: "CU-" or "CU_Ordinario-" and the filing year; a
    // draft's ends in "-Bozza".
    static QString defaultFileName(bool ordinario, bool draft = false);
    // A draft never takes the place of a final print: the reason a draft may
    // not be written to `path` (a file there that is not itself a draft, or
    // not a PDF this program can read), empty when it may.
    static QString draftRefusal(const QString &path);
    // Nothing the print writes comes nearer to the sheet's edge (mm): the
    // area office printers print on.
    static constexpr double kMargin = VelCuModelLayout::kMargin;

    TClientDataSet cdsMultiSelect, cdsInps, cdsInpdap, cdsInail, cdsAltriEnti, cdsCoopArt, cdsPdfTfr, cdsAutonomo,
        cdsPdfConFamCar, cdsPdfAnnotazioni, cdsPdfSost, cdsPdfAltrisost;

private:
    // The sections and the CUs of `rows` as the store holds them, read in
    // one snapshot with the CUs' versions; the rows still to print.
    QList<TBookmark> readForPrint(const QList<TBookmark> &rows);
    void reloadSections();
    QList<TBookmark> refreshRows(const QList<TBookmark> &rows, const TTorVersions &now);
    void reload(TClientDataSet &ds, const QString &structure);
    void resetRun();
    void openDocument(bool ordinario);
    bool printRows(const QList<TBookmark> &rows, bool ordinario);
    QString saveDocument(const QString &fileName);
    void refuseDraftOver(const QString &path) const;
    QString cuKey(TBookmark row);
    void warn(const QString &reason);

    TTorDBCds &m_store;
    TdmVelStampePDF &m_stampe;
    TdmVelMain &m_main;
    // the annotation codes rebuilt for the ordinary CU, stored with the lock
    TVelCuAnnotationCodes m_annotations;
    // the document being written
    TVelCuPages m_pages;

    QList<TVelRunWarning> m_warnings;
    QList<PageRange> m_ranges;
    bool m_cancelled = false;
    QSet<TBookmark> m_locked;
    int m_newlyLocked = 0;
    // the CUs' versions when cdsMultiSelect's rows were read
    TTorVersions m_readVersions;
    // each CU of the document as printed: person and version
    QHash<TBookmark, VelCuRef> m_printed;
    QHash<TBookmark, QString> m_notLocked;
    // TCUD_DATICUD as the snapshot of the last document held it: what the
    // lock marks over the versions printed
    std::unique_ptr<TClientDataSet> m_cuRows;
};
