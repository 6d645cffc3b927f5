#pragma once
// The import of the CUs from payroll, without a window. Its parts, each with
// one job:
//   TVelImportCandidati   who is to be imported (the catalogue's candidate list)
//   TVelImportCud         the run: one transaction per employee in a fixed
//                         lock order, the decision on new or existing, each
//                         employee's outcome, the cancel hook, the end
//                         report
//   TVelImportPayroll     one employee's payroll read for the builder
//   TVelCuBuilder         the CU's main record from the figures read (no database)
//   TVelImportSostituto   the withholding agent's data
//   TVelCuValue           the CU being built, main record and sections, in
//                         memory until it is handed to the repository whole
// The wizard and the selection window only fill the options, show the
// candidates and call importa(); the headless command line drives the same
// class.
//
// Questions and messages go to the run's host (setRunHost: the windows' boxes,
// the command line's options); the positions dialog and the end-of-run log
// through the replaceable hooks below.
//
// Sections built by their own builders (dependants, INPS and public pension,
// self-employed payments) are called at their place in the build through the
// virtual hooks importaInps(), importaInpdap(), importaFamiliari() and
// importaAutonomi(). Each run has one builder of each kind (the deduction
// declarations and the UniEmens declarations are read once per run); the
// builders add their rows to the CU value, which reaches the store once, at
// the end of the employee, in one replace inside its transaction: a failed
// employee leaves nothing behind but a rolled-back transaction.
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/import/VelCuBuilder.h"
#include "src/prj/unit/import/VelImpAutonomi.h"
#include "src/prj/unit/import/VelImpContesto.h"
#include "src/prj/unit/import/VelImportCandidati.h"
#include "src/prj/unit/import/VelImportPayroll.h"
#include "src/prj/unit/model/VelCuRepository.h"
#include "src/prj/unit/model/VelCuValue.h"
#include "src/prj/unit/model/VelRunHost.h"
#include "src/prj/unit/model/VelRunOutcome.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <memory>

class TCudStd;
class TOvSQLConnection;
class TOvTransaction;
class TTorQueryText;
class TTorDBCds;
class TRagQuery;
class TVelImpInps;
class TVelImpInpdap;
class TVelImpFamiliari;
class TVelPayrollCheck;
class TVelPayrollCopy;

// The options of one run (the parameter record of the wizard).
struct TVelImportOptions
{
    int anno = 0;                  // financial year (0: the store's)
    int IDWGID = 0;                // configuration (school, years)
    int IMESID = 12;               // closing month
    int ICALID = 0;                // 0 default, 7 self-employed only, else a category
    int ICOTFONDAMENTALE = 1;
    bool DAINIZIO = true;
    bool SOLOINPS = false;
    bool SOSTITUTO = false;
    QString CFAMM;
    bool ANCHE_SENZA_CONGUAGLIO = false;
    bool ACCONTO_ADD_COM = false;
    bool ACCONTO_ADD_COM_ANNO = false;
    bool ARRETRATI_DETR = false;
    int INCLUDI_INPDAP_MEF = 1;
    QString SCODFISALTRISOS;
    bool CALC_IRPEF_DA_INPS_COCOCO = false;
    bool FISCALE_NOIPA = true;

    // Reads the parameter record (fields as the launch defines them).
    static TVelImportOptions fromParametri(TClientDataSet &cdsParametri);
};

// What to do with a CU already in the store (rgSovraScrivi, in item order).
enum class TVelSovraScrivi { NonSovrascrivere = 0, SovrascriviSempre = 1, ChiediConferma = 2 };

// The message log of a run: lines grouped by employee and section.
class TInfo
{
public:
    static QString titoloSezione(int section);
    void clear();
    bool isEmpty() const { return m_lines.isEmpty(); }
    const QStringList &lines() const { return m_lines; }
    // Adds "- text" under the employee's heading and the section's title.
    void add(int section, const QString &employee, const QString &text);

private:
    QStringList m_lines;
    QString m_lastEmployee;
    QSet<int> m_announced;
};

// Sections of the log.
enum TVelInfoSection { InfoFiscale = 0, InfoFamiliari = 1, InfoInpdap = 2, InfoAutonomo = 3 };

// The hooks of the windows.
struct TVelImportHooks
{
    // Progress: position (1-based) in the work list, its size, the employee.
    std::function<void(int pos, int count, const QString &employee)> onProgress;
    // The positions dialog: the rows (ITNOID, ITNOORVEXCODE, STNOLDESC,
    // LPER_ALTRI_DATI, LPER_INPS), the collaboration box and the employee.
    // Without it the flags are taken as the payroll gives them.
    std::function<void(TClientDataSet &rows, bool &cococo, const QString &employee)> onPosizioni;
    // The end-of-run log; without it the run host's list "Informazioni".
    std::function<void(const QStringList &lines)> onInfo;
    // Asked between employees: true stops the run there; the employees not
    // reached are left undone and the run counts as cancelled.
    std::function<bool()> interrotto;
};

class TVelImportCud
{
public:
    // The store gives the connection, the program and the year; the payroll
    // is read through the named queries of `queries`.
    TVelImportCud(TTorDBCds &store, TTorQueryText &queries);
    virtual ~TVelImportCud();

    TVelImportOptions &options() { return m_options; }
    const TVelImportOptions &options() const { return m_options; }
    // The school record (QRY_SED), needed when options().SOSTITUTO is set.
    void setSede(TClientDataSet *sos) { m_sos = sos; }
    void setSovraScrivi(TVelSovraScrivi mode) { m_sovraScrivi = mode; }
    TVelSovraScrivi sovraScrivi() const { return m_sovraScrivi; }
    void setForzaStampati(bool on) { m_forzaStampati = on; }
    // Folder of the code tables (TNOT_NOTE); empty: the installation's.
    void setCartellaTabelle(const QString &folder) { m_payroll.setCartellaTabelle(folder); }
    TVelImportHooks &hooks() { return m_hooks; }
    // Who is told and asked during the run (the replace question, the
    // employees not imported, the end report). Kept by reference; without
    // one the run is unattended.
    void setRunHost(IVelRunHost &host) { m_host = &host; }
    // On a server, the payroll rows of this many relationships at a time are
    // copied locally before their CUs are built (0: every query on the
    // server). SQLite reads its own file.
    void setGruppoCopia(int relationships) { m_gruppoCopia = relationships; }
    // Statements sent to the server for the copy in the last run.
    qint64 lettureCopia() const;

    // ---- candidates ----
    // Loads the candidate list (QRY_CUD_IMP) with the options; the rows are
    // ordered by SANACOGNOMENOME. Returns the number of rows.
    int caricaCandidati();
    TClientDataSet &candidati() { return m_candidati.righe(); }

    // ---- the run ----
    // Imports the relationships (IACOMID) in the order given; an empty list
    // imports every row of the candidate list in its order. Ends with the
    // report (the log, or "Fine operazione") and returns what it did: one
    // entry per employee of the work list (and one for the agent's data when
    // they failed), each counted as imported only once its transaction was
    // committed. A run of the whole list of the default categories adds a
    // warning for everybody the payroll paid in the year whom the list left
    // out (QRY_CUD_PAGATI). A run that cannot start raises EVelError (its
    // code and stage); a cancel before the start raises EAbort.
    [[nodiscard]] TVelRunOutcome importa(QList<int> iacomids = {});

    // An outcome's counters, for the caller's summary and the tests.
    struct Esito
    {
        int importati = 0;      // CUs written
        int mantenuti = 0;      // existing CUs kept
        int scartati = 0;       // no tax code, or deleted for want of data
        int errori = 0;         // rolled back, or never reached
    };
    static Esito esito(const TVelRunOutcome &outcome);
    // "Importazione terminata: N certificazioni importate, ..." from an outcome.
    static QString riepilogo(const TVelRunOutcome &outcome);
    // The summary, whether the run was cancelled, then the end log (the
    // sections the run handed to onInfo): the report as the window shows and
    // keeps it.
    static QStringList rapportoCompleto(const TVelRunOutcome &outcome, const QStringList &log);
    // Why a printed CU was kept.
    static QString keptPrinted();
    TInfo &info() { return m_info; }

    static QString chiaveMese(int month) { return QStringLiteral("%1").arg(month, 2, 10, QLatin1Char('0')); }

    // The CU being built (or the last one built): the main record and the
    // INPS section.
    TClientDataSet &cdsImport() { return m_cu.cu(); }
    TClientDataSet &cdsINPS() { return m_cu.inps(); }

    // Writes the withholding agent's CU data (agent, Quadro CT, supplier).
    void scriviDatiSostituto();

protected:
    // Section builders, called at their place in the build (the main record
    // posted). Virtual so that a test can make one fail.
    virtual void importaInps();
    virtual void importaInpdap();
    virtual void importaFamiliari();
    virtual void importaAutonomi();
    // What the section builders take for the CU being built.
    TVelImpContesto contestoSezioni();

private:
    TOvSQLConnection &conn() const;
    TRagSource source() const;
    int anno() const;
    int ianfid() const;
    int idwgid() const;
    QString dipendente() const;
    void log(int section, const QString &text);

    // The run.
    // The run itself, into m_outcome.
    void eseguiRun(QList<int> iacomids);
    void importaDipendente();
    // Copies the payroll rows of the group that begins at `pos` when the copy
    // does not hold them yet.
    void preparaCopia(const QList<int> &iacomids, int pos);
    void annullaDipendente(TVelPayeeOutcome &po, const std::exception &e, TOvTransaction &tr);
    // The server was lost: the run stops, every employee from `pos` on named
    // as not imported, the reason said once. `annullato`: the employee before
    // `pos` was in hand, rolled back and already named.
    void fermaServerPerso(const QList<int> &iacomids, int pos, bool annullato);
    // What a kept CU was kept for; empty when the CU is to be built (and
    // m_sostituisce says whether it replaces the one in m_archivio).
    QString decidiEsistente(const QString &codFis, const QString &mese);
    void importaSostituto();
    void rapporto();

    // One employee's CU: the main record from the payroll read, the
    // sections, the check of an empty CU.
    // False when the CU was dropped for want of data.
    bool costruisci(const QString &codFis, const QString &mese);
    void costruisciLavoro(TVelCuBuilder &builder);
    bool scartaSeVuota(TVelCuBuilder &builder);
    void editImport();
    void postImport();

    TTorDBCds &m_store;
    TTorQueryText &m_queries;
    TVelImportOptions m_options;
    TClientDataSet *m_sos = nullptr;
    TVelSovraScrivi m_sovraScrivi = TVelSovraScrivi::ChiediConferma;
    bool m_forzaStampati = false;
    TVelImportHooks m_hooks;
    IVelRunHost *m_host = &TVelUnattendedRunHost::instance();

    TVelImportCandidati m_candidati;
    TVelCuValue m_cu;
    TInfo m_info;
    TVelRunOutcome m_outcome;

    TVelImportPayroll m_payroll;   // the employee's payroll, for the builder
    std::unique_ptr<TVelPayrollCheck> m_controllo;   // the payroll rows' types
    // The section builders of the run.
    std::unique_ptr<TVelImpInps> m_secInps;
    std::unique_ptr<TVelImpInpdap> m_secInpdap;
    std::unique_ptr<TVelImpFamiliari> m_secFamiliari;
    std::unique_ptr<TVelImpAutonomi> m_secAutonomi;
    std::unique_ptr<TRagQuery> m_qAcom, m_qAbt;
    std::unique_ptr<TVelPayrollCopy> m_copia;   // the group's payroll rows, on a server
    // Relationships copied at a time: each group costs a statement a table
    // and its scans on the server; past about 250 the gain stops (1,000
    // payees: the copy 0.32 s a run at 100, 0.26 s at 250, as much at 1,000).
    int m_gruppoCopia = 250;

    // The employee in hand.
    TVelCandidato m_dip;
    QString m_cuCodFis, m_cuMese;       // the key of the CU being built
    // The store's CUs of the tax code: this month's (person 0: none) and
    // those of other months; whether the CU built replaces this month's.
    VelCuRepository::Stored m_archivio;
    bool m_sostituisce = false;
    TClientDataSet *m_acom = nullptr;   // QRY_CED_ACOM of the employee
    TClientDataSet *m_abt = nullptr;    // QRY_ANAABT of the employee
    TVelPosizioniCu m_pos;
    QList<TVelImpAutonomi::Registro> m_registri;   // QRY_CUD_AUTON_REGSID of the employee
};
