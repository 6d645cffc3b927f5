#pragma once
// The printing data module: prints made by copying pages of a PDF model and
// writing the values of its datasets at the places a print configuration
// (<PdfConf>, see VelPdfConf.h) gives. Coordinates are PDF points from the
// top-left corner of the page.
//
// The datasets a configuration names are the module's child TClientDataSet
// objects, found by object name without regard to case (as component names).
#include "platform/pdf/TPdkPdf.h"
#include "src/prj/unit/print/VelPdfConf.h"
#include "src/prj/unit/print/VelXmlDocument.h"

#include <QObject>
#include <memory>

class TClientDataSet;

class TdmVelPDF : public QObject
{
    Q_OBJECT
public:
    explicit TdmVelPDF(QObject *parent = nullptr);
    ~TdmVelPDF() override;

    // The print configuration.
    TVelXMLDocument XMLConfig;

    // True only when both files exist (names matched without regard to case); then the configuration is (re)loaded,
    // a new PDF workspace replaces the previous one, the model is loaded
    // ("Caricamento modello base"), a new document is created ("Creazione
    // nuovo documento") and made current, origin top-left, unit points.
    // With a missing file nothing is loaded and nothing changes. A
    // configuration that does not parse or whose root is not <PdfConf> raises
    // EOvError naming the file.
    bool LoadModel(const QString &modelFile, const QString &configFile);
    // LoadModel for a print that cannot go on without its model: a missing
    // file raises EOvError naming it and its folder, nothing loaded.
    void RequireModel(const QString &modelFile, const QString &configFile);

    // Copies a model page into the new document ("Copia pagina" + number);
    // optionally deletes the empty first page; selects the last page;
    // optionally writes the imprint (size 7, 90 degrees, at 15, 800).
    void CopyModelPage(int page, bool deleteFirstPage, bool imprint);

    // Draws every Edit of the first section named `section` in the first page
    // named `page` (names compared upper-cased) for row `row`. False, drawing
    // nothing, when the configuration is closed or no such page/section exists.
    bool FillSection(const QString &page, const QString &section, int row);
    // Draws one Edit for a row at each of its places that apply to the row.
    // False when the section names no dataset of the module, or the dataset is
    // closed or has no current record.
    bool FillEdit(const TXMLPdfConfEdit &edit, int row);
    // Formats a value by its code (VelPrintFormat::valueText), sets the last
    // operation to "Scrivi testo: " + text and draws it in a box of `width`;
    // a text wider than the box is written smaller (not below 5 points).
    void PrintValue(const QString &value, int x, int y, int size, int width, const QString &alignment,
                    const QString &code);

    // Creates the file's folder when missing and saves ("Salvataggio
    // stampa"); then, when asked, opens the file and/or its folder with the
    // system shell. A save that fails raises "Controllare che il documento non
    // sia già aperto." with the reason; an existing file is then left as it was.
    void SaveDocument(const QString &fileName, bool openFile, bool openFolder);

    // The workspace of the current print (null before LoadModel).
    TPdkPdf *pdf() const { return m_pdf.get(); }
    int modelDocument() const { return m_modelDoc; }
    int newDocument() const { return m_newDoc; }
    TXMLPdfConf PdfConf() const;
    // The child dataset with that object name (case-insensitive); null when none.
    TClientDataSet *dataSet(const QString &name) const;

    // Message of a save that failed, with its reason.
    static QString saveFailed(const QString &reason);
    // Saves the workspace's selected document: on failure an EVelError
    // (Scrittura) with saveFailed's text and the file. The workspace answers
    // with a number and a last error; the prints hear only this.
    static void save(TPdkPdf &pdf, const QString &path);

protected:
    // A result of 0 raises EOvError with the label and the workspace's reason.
    void check(int result, const QString &label) const;

private:
    TPdkPdf &workspace() const;
    std::unique_ptr<TPdkPdf> m_pdf;
    int m_modelDoc = 0;
    int m_newDoc = 0;
};
