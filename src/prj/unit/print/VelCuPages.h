#pragma once
// The document the CU print writes: the model loaded, and each CU's pages
// copied from it and filled from the CU's datasets (summary or ordinary
// model, VelCuModelLayout.h), with the texts the print writes itself (module,
// tax code, row labels, imprint, a draft's marks).
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/print/VelCuModelLayout.h"

#include <QString>
#include <QStringList>
#include <memory>

class TPdkPdf;
class TVelCuAnnotationCodes;
class TVelFormFieldPrinter;
class TXMLCud;
class TXMLCudPage;

class TVelCuPages
{
public:
    // The datasets a CU's pages read, positioned by the print on the CU.
    struct Sources
    {
        TClientDataSet &cdsMultiSelect, &cdsInps, &cdsInpdap, &cdsInail, &cdsAltriEnti, &cdsCoopArt, &cdsPdfTfr,
            &cdsAutonomo, &cdsPdfConFamCar, &cdsPdfAnnotazioni, &cdsPdfSost, &cdsPdfAltrisost;
    };

    TVelCuPages(const Sources &sources, TVelCuAnnotationCodes &annotations);
    ~TVelCuPages();
    TVelCuPages(const TVelCuPages &) = delete;
    TVelCuPages &operator=(const TVelCuPages &) = delete;

    // A new document from the model file, its origin at the top-left corner.
    // A failing PDF operation raises EOvError with its label and qpdf's reason.
    void openDocument(const QString &modelFile, bool twoSided, bool signatureOmitted);
    // The document given up (written or not).
    void closeDocument();
    bool isOpen() const { return bool(m_pdf); }
    TPdkPdf &pdf() { return *m_pdf; }
    // Pages of the document (0 when none is open).
    int pageCount() const;

    // The pages of the CU current in cdsMultiSelect, with `layout` (the CU
    // layout bound) and the year printed on its first page; `first`: the
    // document's first CU.
    void printSummaryCu(const TXMLCud &cud, int year, bool first);
    void printOrdinaryCu(const TXMLCud &cud, int year, bool first);

    // "BOZZA" across every page of the document.
    void markDraft();
    // Title, author (the withholding agent) and date of the document.
    void setDocumentInfo(bool ordinario, bool draft);

    // Lines of an annotation text as printed: Helvetica at 8 points from
    // x 44 mm, each line ending inside the annotations frame.
    static QStringList wrapAnnotations(const QString &text);
    // Marks a draft's document title ends with.
    static const QString &draftTitle();

private:
    TClientDataSet &firstPage(const TXMLCud &cud, int year, int modelPage, bool first);
    void filterToCu(TClientDataSet &ds);
    void copyPage(const QString &pages, const QString &label);
    void blankPageIfOdd();
    void moduleAndImprint();
    void fiscalCodeHeader(int x = VelCuModelLayout::kTaxCode.x, int y = VelCuModelLayout::kTaxCode.y, double width = 0);
    void drawText(double x, double y, int size, const QString &text, double width = 0, int align = 0);
    // "Rigo: n" in the left margin at y
    void rowLabel(int position, int y);
    void imprint();
    void agentBlock(const TXMLCud &cud, TClientDataSet &agent);
    void pageFields(const TXMLCud &cud, int page, bool signature);
    // The dependants' table from `top` on the current page (model page
    // `modelPage`), continued on further copies of that page when full.
    void dependantsBlock(int top, int modelPage);
    // Pages A and B of the previdential data; the ordinary CU has no TFR on B.
    void previdentialPages(const TXMLCud &cud, const VelCuModelLayout::Previdential &plan);
    TXMLCudPage previdentialPage(const TXMLCud &cud, const QString &model, int layout);
    void previdentialPageA(const TXMLCud &cud, const VelCuModelLayout::Previdential &plan);
    void previdentialPageB(const TXMLCud &cud, const VelCuModelLayout::Previdential &plan);
    // A further copy of a model page, one module further, with the tax code.
    void continuationPage(const QString &model, const QString &label);
    void annotationsPage();
    void selfEmployedPage(const TXMLCud &cud, const VelCuModelLayout::SelfEmployed &plan);
    void tfrPairs(const TXMLCud &cud);
    void annotationCodePages(const TXMLCud &cud);
    void fivePerThousandPages(const TXMLCud &cud, TClientDataSet &agent);

    TClientDataSet &cdsMultiSelect, &cdsInps, &cdsInpdap, &cdsInail, &cdsAltriEnti, &cdsCoopArt, &cdsPdfTfr,
        &cdsAutonomo, &cdsPdfConFamCar, &cdsPdfAnnotazioni, &cdsPdfSost, &cdsPdfAltrisost;
    TVelCuAnnotationCodes &m_annotations;

    bool m_twoSided = false;
    bool m_signatureOmitted = false;
    std::unique_ptr<TPdkPdf> m_pdf;
    std::unique_ptr<TVelFormFieldPrinter> m_printer;
    int m_modelDoc = 0;
    int m_module = 1;
    // the CU being printed
    QString m_codFis, m_mese;
    qint64 m_person = 0;
};
