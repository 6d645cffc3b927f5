#pragma once
// The CU print without its window: the print form TfmVelPDF drives it, tests
// and tools drive it the same way.
//
//   TVelCuPrint run(store, dmStampe, dmMain);  // store: year set
//   run.open();                                // cdsMultiSelect and the sections
//   run.twoSided = true;
//   run.print(run.allRows(), "CU-2026");       // -> Stp folder + "CU-2026.pdf"
//
// The summary CU is filled page by page from the model CU<year>_mod.pdf with
// the layout StpCUD.xml (bound on TdmVelMain): the first page with the agent's
// block, the fiscal pages 2-4 with the dependants, the previdential pages 5
// and 6 with their continuation copies, the annotations, the self-employed
// pages, the information page for the payee and the "CINQUE PER MILLE" pair.
//
// A printed CU is locked (iCudStato = 1) only once the whole document has been
// written: a run that fails or is cancelled leaves every CU as it was, in
// memory and in the store.
#include "platform/dataset/TClientDataSet.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class TTorDBCds;
class TdmVelStampePDF;
class TdmVelMain;
class TPdkPdf;
class TVelFormFieldPrinter;
class TXMLCud;

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
    QString outputFolder;    // the Stp folder unless set
    QString modelFile;       // the Res folder's summary model unless set

    // ---- seams ----
    std::function<void(const QString &line)> log;                 // the form's log
    std::function<bool(int done, int total)> progress;            // false cancels between two CUs

    // TCUD_DATICUD into cdsMultiSelect, index "SCUDCOGNOME;SCUDNOME;SCUDMESE",
    // first record; the sections are loaded by print().
    void open();
    void close();
    // Every record of cdsMultiSelect in the current index order.
    QList<TBookmark> allRows() const;

    // Prints the CUs (bookmarks of cdsMultiSelect, in that order) into
    // folder + fileName + ".pdf". Returns the path written, or an empty text
    // when no CU layout is bound or the run was cancelled. A failing PDF
    // operation raises EOvError with the operation's label and qpdf's reason;
    // nothing is saved then and no CU is marked printed.
    QString print(const QList<TBookmark> &rows, const QString &fileName);

    // Pages of the document being written (0 outside a run): read from
    // `progress`, it tells where each CU begins.
    int pagesWritten() const;

    // Lines of an annotation text as a 590-pixel text box with a 10-pixel
    // Helvetica would wrap them.
    static QStringList wrapAnnotations(const QString &text);
    // The default file name: "CU-2026" or "CU_Ordinario-2026".
    static QString defaultFileName(bool ordinario);

    TClientDataSet cdsMultiSelect, cdsInps, cdsInpdap, cdsInail, cdsAltriEnti, cdsCoopArt, cdsPdfTfr, cdsAutonomo,
        cdsPdfConFamCar, cdsPdfAnnotazioni, cdsPdfSost, cdsPdfAltrisost;

private:
    void prepare();
    void loadWhenEmpty(TClientDataSet &ds, const QString &structure);
    void filterToCu(TClientDataSet &ds);
    void printSummaryCu(bool first);
    void copyPage(const QString &pages, const QString &label);
    void blankPageIfOdd();
    void moduleAndImprint();
    void fiscalCodeHeader(int x = 46, int y = 12, double width = 0);
    void drawText(double x, double y, int size, const QString &text, double width = 0, int align = 0);
    void rowLabel(int position, int x, int y);
    void agentBlock(const TXMLCud &cud, TClientDataSet &agent);
    void pageFields(const TXMLCud &cud, int page, bool signature);
    void dependantsBlock(int top);
    void previdentialPages(const TXMLCud &cud);
    void annotationsPage();
    void selfEmployedPage(const TXMLCud &cud);
    void fivePerThousandPages(const TXMLCud &cud, TClientDataSet &agent);
    void markPrinted(const QList<TBookmark> &rows);

    TTorDBCds &m_store;
    TdmVelStampePDF &m_stampe;
    TdmVelMain &m_main;
    std::unique_ptr<TPdkPdf> m_pdf;
    std::unique_ptr<TVelFormFieldPrinter> m_printer;
    int m_modelDoc = 0;
    int m_module = 1;
    QString m_codFis, m_mese;
};
