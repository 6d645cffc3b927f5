#pragma once
// The program's command table: the pages and every command of the menu and
// the outline bar, the import launch, the school record and the import
// parameter record.
//
// A form command whose window is not part of this build of the program is
// shown in its place but disabled (its window class is not registered);
// it comes to life by itself once its window registers.
#include "platform/dataset/TClientDataSet.h"
#include "platform/ui/framework/TOvOutlineBar.h"   // complete type for the base's QPointer
#include "platform/ui/framework/TdmOvAttivazioni.h"
#include "platform/sql/OvQueryCollection.h"

#include <functional>

class TdmragConnessione;
class TdmRagParams;
class TTorDBCds;

class TdmVelAttivazioni : public TdmOvAttivazioni
{
    Q_OBJECT
public:
    TdmVelAttivazioni(TdmragConnessione *connessione, TdmRagParams *params, QObject *parent = nullptr);
    ~TdmVelAttivazioni() override;

    // Pages.
    TOvApgPage *xpgDatiCud, *xpgStampe, *xpgFile, *xpgStrumenti;
    // Form commands.
    TOvAttForm *xafDatiCud, *xafFornitore, *axfDatiSost, *xafQuaCT, *xafAlktriSost;
    TOvAttForm *xafStampa, *xafStpCuOrd, *xafStpSost, *xaFQuadroCT, *xafStampaFirme;
    TOvAttForm *xafFile, *xafParametri;
    // Action commands.
    TOvAttComponent *xacImport, *xacIntegraDMA, *xacIntegraINPS;
    TOvAttComponent *xacRapportoImport; // "Rapporto ultima importazione"
    // Document commands.
    TOvAttShell *xasInformativa, *xasNotizie, *xasIstruzioni, *xasNoteTel, *xasProvvAppr;

    TOvQueryCollection xqcSos;   // the school record ("QRY_SED")
    TClientDataSet cdsTmp;       // scratch
    TClientDataSet cdsParametri; // the import parameter record

    TdmragConnessione *connessione() const { return m_connessione; }
    TdmRagParams *params() const { return m_params; }

    // The main window's fiscal store (null while there is none).
    void setFiscalStore(TTorDBCds *store) { m_store = store; }
    TTorDBCds *fiscalStore() const { return m_store; }

    // Connect step of the main window's first show: opens the connection
    // (the connection module shows its own refusals), completes the
    // framework parameters of a fresh installation and reads the school
    // record. False when the program cannot go on (the user has been told).
    bool Connect();

    // Document commands without a folder get their default one under the
    // main folder (ending with '/').
    void SetDocumentFolders(const QString &mainFolder);
    QString mainFolder() const;

    // Form commands enabled by the availability of their window, then menu
    // and outline bar.
    void BuildMenu();
    // Gives each action without one an accelerator letter not used by the others.
    static void giveAccelerators(const QList<QAction *> &actions);

    // The import launch shared by "Import" and the two hidden commands
    // (mode 0 import, 1 from history, 2 from UniEmens: all alike).
    void RunImport(int mode);
    // The last import's report (its kept copy), or why there is none.
    static void ShowImportReport();

    // The print module's ordinary-model flag, set by the two CU print
    // commands before their dialog opens; forwarded to onCuOrdinario when set.
    bool cuOrdinario() const { return m_cuOrdinario; }
    std::function<void(bool ordinario)> onCuOrdinario;

    // Pieces that come with their own windows. The wizard returns true when
    // finished with its OK button; without it the launch stops after reading
    // the school record and says so.
    std::function<bool(TClientDataSet &parametri, TOvQueryCollection &sos)> RunImportWizard;
    std::function<void(TClientDataSet &parametri, TOvQueryCollection &sos)> RunImportSelection;
    // Writes the information leaflet (file path) for "Informativa".
    std::function<void(const QString &file)> WriteInformativa;

    static QString refusalWithChildren() { return QStringLiteral("Chiudere tutte le finestre prima di eseguire l'operazione."); }
    static QString missingConfiguration();
    static QString questionIntegraDMA();
    static QString questionIntegraINPS();

signals:
    // The program must end (exit status).
    void terminateRequested(int exitCode);

private:
    void declarePages();
    void declareForms();
    void declareActions();
    void declareDocuments();
    void defineParametri();
    bool childrenOpen() const;
    bool refuseWithChildren();
    // Reads the school record; on failure the message, then termination.
    bool readSchoolRecord(const QString &earlierCause = QString());
    void setCuOrdinario(bool on);
    void askAndImport(const QString &question, int mode);

    TdmragConnessione *m_connessione;
    TdmRagParams *m_params;
    TTorDBCds *m_store = nullptr;
    bool m_cuOrdinario = false;
    QString m_mainFolder;
};
