#pragma once
// The import of the CUs from payroll, without a window: the options of a run,
// the candidate list, the per-employee driver (one transaction each, the
// error report, the run going on with the next employee), the builder of each
// CU's main record and the withholding agent's data. The wizard and the
// selection window only fill the options, show the candidates and call
// importa(); the headless command line drives the same class.
//
// Questions and messages go through OvMessageBox (the message seam); the
// positions dialog and the end-of-run log through the replaceable hooks below.
//
// Sections built by their own builders (dependants, INPS and public pension,
// self-employed payments) are called at their place in the build through the
// virtual hooks importaInps(), importaInpdap(), importaFamiliari() and
// importaAutonomi(). Each run has one builder of each kind (the deduction
// declarations and the UniEmens declarations are read once per run); the
// builders write into the run's tables through salva(), inside the
// employee's transaction, so a failed employee is undone in them too.
#include "platform/core/Currency.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/import/VelImpAutonomi.h"
#include "src/prj/unit/import/VelImpContesto.h"
#include "src/prj/unit/model/VelRunOutcome.h"

#include <QDate>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class TOvSQLConnection;
class TTorDBCds;
class TCudStd;
class TRagQuery;
class TVelImpInps;
class TVelImpInpdap;
class TVelImpFamiliari;
class TVelPayrollCheck;

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

class TVelImportCud
{
public:
    // The store gives the connection, the program and the year.
    explicit TVelImportCud(TTorDBCds &store);
    virtual ~TVelImportCud();

    TVelImportOptions options;
    // The school record (QRY_SED), needed when options.SOSTITUTO is set.
    TClientDataSet *sos = nullptr;
    TVelSovraScrivi sovraScrivi = TVelSovraScrivi::ChiediConferma;
    bool forzaStampati = false;
    // Folder of the code tables (TNOT_NOTE); empty: the installation's.
    QString cartellaTabelle;

    // ---- candidates ----
    // Loads the candidate list (QRY_CUD_IMP) with the options; the rows are
    // ordered by SANACOGNOMENOME. Returns the number of rows.
    int caricaCandidati();
    TClientDataSet cdsCandidati;

    // ---- the run ----
    // Imports the relationships (IACOMID) in the order given; an empty list
    // imports every row of the candidate list in its order. Ends with the
    // report (the log, or "Fine operazione").
    void importa(QList<int> iacomids = {});

    // Outcome of the last run: one entry per employee of the work list (and
    // one for the agent's data when they failed), each counted as imported
    // only once its transaction was committed. A run of the whole list of
    // the default categories adds a warning for everybody the payroll paid
    // in the year whom the list left out (QRY_CUD_PAGATI).
    const TVelRunOutcome &outcome() const { return m_outcome; }
    // Its counters, for the caller's summary and the tests.
    struct Esito
    {
        int importati = 0;      // CUs written
        int mantenuti = 0;      // existing CUs kept
        int scartati = 0;       // no tax code, or deleted for want of data
        int errori = 0;         // rolled back, or never reached
    };
    Esito esito() const;
    // "Importazione terminata: N certificazioni importate, ..." from the outcome.
    QString riepilogo() const;
    TInfo &info() { return m_info; }

    // ---- hooks of the windows ----
    // Progress: position (1-based) in the work list, its size, the employee.
    std::function<void(int pos, int count, const QString &employee)> onProgress;
    // The positions dialog: the rows (ITNOID, ITNOORVEXCODE, STNOLDESC,
    // LPER_ALTRI_DATI, LPER_INPS), the collaboration box and the employee.
    // Without it the flags are taken as the payroll gives them.
    std::function<void(TClientDataSet &rows, bool &cococo, const QString &employee)> onPosizioni;
    // The end-of-run log; without it the list "Informazioni" (OvInfoList).
    std::function<void(const QStringList &lines)> onInfo;
    // Asked between employees: true stops the run there; the employees not
    // reached are left undone and the run counts as cancelled.
    std::function<bool()> interrotto;

    // The CU tables of the run (loaded from the store when first needed).
    TClientDataSet cdsImport, cdsINPS, cdsINPDAP, cdsInail, cdsAltriEnti, cdsConFamCar, cdsTfr,
        cdsAnnotazioni, cdsAutonomo;

    // The position lists of the employee being built.
    QString listaFiscale, listaInps, listaCococo;

    static QString chiaveMese(int month) { return QStringLiteral("%1").arg(month, 2, 10, QLatin1Char('0')); }

    // Writes the withholding agent's CU data (agent, Quadro CT, supplier).
    void scriviDatiSostituto();

    // Builds the periods text from payroll rows (start, end, amount) in
    // start order: rows that follow one another without a gap of a day or
    // more are one period.
    struct RigaPeriodo
    {
        QDate dal, al;
        Currency importo;
    };
    static QString testoPeriodi(const QList<RigaPeriodo> &rows, int *count = nullptr);
    // The deduction cap: items walked in order, cut to the total; the items
    // never add up to more than the total afterwards.
    static void tagliaDetrazioni(Currency total, QList<Currency *> items);

protected:
    // Section builders, called at their place in the build (the main record
    // posted and saved). Virtual so that a test can make one fail.
    virtual void importaInps();
    virtual void importaInpdap();
    virtual void importaFamiliari();
    virtual void importaAutonomi();
    // What the section builders take for the CU being built.
    TVelImpContesto contestoSezioni();

    // Saves a CU table to the store after a post or a delete.
    void salva(TClientDataSet &ds);
    // Current employee's candidate row values.
    QString cognome() const { return m_cognome; }
    QString nome() const { return m_nome; }
    QString dipendente() const;
    void log(int section, const QString &text);

    TOvSQLConnection &conn() const;
    int ianfid() const { return anno() - 1969; }
    int anno() const;

    // Per employee.
    int m_iacomid = 0;
    int m_ianaid = 0;
    int m_meseIniziale = 1;
    int m_meseFinale = 12;
    bool m_conguaglio = false;
    QString m_cognome, m_nome;
    QString m_cuCodFis, m_cuMese;       // the key of the CU being built
    TClientDataSet *m_acom = nullptr;   // QRY_CED_ACOM of the employee
    TClientDataSet *m_abt = nullptr;    // QRY_ANAABT of the employee
    std::unique_ptr<TCudStd> m_reader;

private:
    struct Tables;
    void apriTabelle();
    void ricaricaTabelle();
    void importaDipendente();
    // What a kept CU was kept for; empty when the CU is to be built.
    QString decidiEsistente(const QString &codFis, const QString &mese);
    void allineaCu(const QString &codFis, const QString &mese);
    void togliCu(const QString &codFis, const QString &mese, qint64 afi);
    void sostituisci(const QString &codFis, const QString &mese);
    void eliminaSezioni(TClientDataSet &ds, const QString &codFis, const QString &mese, qint64 afi);
    static bool eliminaRighe(TClientDataSet &ds, const QString &codFis, const QString &mese, qint64 afi);
    void scegliPosizioni();
    // False when the CU was dropped for want of data.
    bool costruisci(const QString &codFis, const QString &mese);
    void impostaDefault();
    void intestazione(const QString &codFis, const QString &mese);
    void datiFiscali();
    // Deductions (boxes 362-374) from the reader, items cut to the total.
    void detrazioni(TCudStd &r);
    // Income from other employers adjusted here, in the boxes of the box
    // that holds the income.
    void redditiAltriSoggetti(Currency altri);
    void borsista();
    void assistenza730();
    void fondoPensione();
    void annotazioni();
    void controlloGiorni();
    static QString giorniScritti(int payroll, int written);
    QString notaCodificata(const QString &code);
    bool soloZeri();
    bool haRighe(TClientDataSet &ds, const QString &codFis, const QString &mese, qint64 afi);
    void rapporto();
    void pagatiFuoriElenco();
    void leggiSostituto();
    void leggiPaco();

    // Main record helpers (the current row of cdsImport).
    void set(const char *field, const QVariant &v);
    void setMoney(const char *field, Currency c);
    Currency money(const char *field);
    QString text(const char *field);
    int integer(const char *field);
    void editImport();
    void postImport();

    // What the employee's saves changed in the tables, undone in memory when
    // the employee's transaction is rolled back (reading every table again
    // after each failure would make a long run quadratic).
    struct Modifica
    {
        TClientDataSet *ds;
        TUpdateStatus status;
        TBookmark row;
        QVariantList old;
    };
    QList<Modifica> m_modifiche;
    void annullaModifiche();
    // CU rows by key (tax code and month).
    QHash<QString, TBookmark> m_indiceCu;
    static QString chiaveCu(const QString &codFis, const QString &mese);
    void indicizzaCu();
    void ricordaCu();
    bool trovaCu(const QString &codFis, const QString &mese);

    TTorDBCds &m_store;
    TInfo m_info;
    TVelRunOutcome m_outcome;
    bool m_tablesOpen = false;
    bool m_tablesStale = false;
    QString m_firma;             // the agent's signature, read once per run
    QString m_ssosCodFis;        // the agent's tax code, read with it
    bool m_firmaLetta = false;
    TVelParametriPaco m_paco;    // QRY_PACO, read once per run
    bool m_pacoLetto = false;
    // The section builders of the run.
    std::unique_ptr<TVelImpInps> m_secInps;
    std::unique_ptr<TVelImpInpdap> m_secInpdap;
    std::unique_ptr<TVelImpFamiliari> m_secFamiliari;
    std::unique_ptr<TVelImpAutonomi> m_secAutonomi;
    QList<TVelImpAutonomi::Registro> m_registri;   // QRY_CUD_AUTON_REGSID of the employee
    bool m_posizioni = false;
    bool m_autonomo = false;
    QString m_annotazioni;
    std::unique_ptr<TClientDataSet> m_note;   // TNOT_NOTE
    std::unique_ptr<TRagQuery> m_qAcom, m_qAbt, m_qPaco;
    std::unique_ptr<TVelPayrollCheck> m_controllo;   // the payroll rows' types, read once a run
};
