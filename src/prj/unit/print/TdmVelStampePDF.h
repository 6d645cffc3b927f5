#pragma once
#include <functional>
// The print module, created at start-up: it holds what the CU print commands
// hand to the print form, the agent's datasets the prints share, and makes the
// prints driven by the print configuration "stpStampe.xml":
//
//  - ordinario: the ordinary-CU flag; "Stampa CU Sintetico" sets it false,
//    "Stampa CU Ordinario" true, before the print form opens;
//  - cdsSost (TCUS_DATISOST) and cdsQuadroCT (TCUCT_DATICT): loaded by a print
//    when empty, closed when the print form closes;
//  - StampaFirme: the list of payees who sign for their CU ("Firme.pdf"),
//    23 rows a page on the model "firme.pdf";
//  - StampaInformativa: the payee's leaflet, pages of the instructions copied
//    unchanged ("informativa.pdf").
//
// The datasets the configuration names (cdsIntestazione, cdsAnnoFin,
// cdsDipendenti) are children of the module, found by object name.
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/model/VelRunHost.h"
#include "src/prj/unit/print/TdmVelPDF.h"

#include <QStringList>

class TTorDBCds;

class TdmVelStampePDF : public TdmVelPDF
{
    Q_OBJECT
public:
    explicit TdmVelStampePDF(QObject *parent = nullptr);
    ~TdmVelStampePDF() override;

    bool ordinario = false;

    TClientDataSet *cdsSost;
    TClientDataSet *cdsQuadroCT;
    TClientDataSet *cdsDipendenti;     // TCUD_DATICUD, index "SCUDCOGNOME;SCUDNOME"
    TClientDataSet *cdsDatiAggiuntivi; // not used by these prints
    TClientDataSet *cdsAnnoFin;        // "TCUA_ANNOFIN.cds" of the resource folder
    TClientDataSet *cdsIntestazione;   // the one header row of the signature list
    TVelXMLDocument XMLConfigCT;

    // Where the models are read and the prints written; the installation's
    // Res and Stp folders unless set (tests set them).
    QString resFolder;
    QString stpFolder;
    QString resDir() const;
    QString stpDir() const;

    // The fiscal store the prints read: a given one, or one asked for at each
    // print (the program's store exists only once its main window has shown).
    void setStore(TTorDBCds *store) { m_store = store; }
    void setStore(std::function<TTorDBCds *()> source) { m_storeSource = std::move(source); }
    TTorDBCds *store() const;

    // Who is told what a print met on its way (a year file put back from its
    // backup). Kept by reference; without one the print is unattended.
    void setRunHost(IVelRunHost &host) { m_host = &host; }

    // Closes the agent's and the Quadro CT's datasets.
    void closeDataSets();

    // The signature list of the CUs whose fiscal codes are given, in that
    // order: one row a code (a code that matches no CU leaves its row empty),
    // 23 rows a page, the header on every page, two lines to sign on each row.
    // Written to the Stp folder as "Firme.pdf" and opened. Returns the path.
    // A missing model or configuration stops it with an error naming the file.
    QString StampaFirme(const QStringList &codes);

    // Pages first..last of the instructions copied unchanged into `file`
    // (the Stp folder's "informativa.pdf" when empty), opened when asked.
    QString StampaInformativa(int first, int last, const QString &file = QString(), bool open = true);

    // Builds cdsIntestazione with its one row from the withholding agent.
    void openIntestazione();

    static QString firmeFileName() { return QStringLiteral("Firme.pdf"); }
    static QString informativaFileName() { return QStringLiteral("informativa.pdf"); }
    static constexpr int RowsPerPage = 23;
    static constexpr int RowStep = 28;

private:
    void openDipendenti();
    void openAnnoFin();
    void firmePage(bool first);

    TTorDBCds *m_store = nullptr;
    std::function<TTorDBCds *()> m_storeSource;
    IVelRunHost *m_host = &TVelUnattendedRunHost::instance();
};

