#pragma once
// The data module of the telematic supply: everything the wizard TfmVelFile
// does, without a window, so that tests and tools drive it the same way.
//
//   TdmVelFile dm(store, queries);         // store: year set, AllMonths; queries: the payroll's catalogue
//   dm.open();                             // datasets loaded, cdsDip by tax code
//   const QList<int> rows = dm.visitedRows(TdmVelFile::All);
//   if (dm.preCheck(rows))                 // mandatory fields; the office decides
//       dm.runGeneration(rows);            // checks, passes, field rows saved
//   dm.save(fileName);                     // records, file(s), ISOSNDIP
//
// What the office is told and asked goes to the run's host (setRunHost: the
// windows' boxes, the command line's options; unattended without one).
// Seams:
//  - information: the information dialog with the question "Si desidera
//    proseguire?". It receives the report lines and whether to ask; it
//    returns the answer (true = "Si"). Default: the host's information.
//  - log: the progress lines (the wizard's memo); default: none.
//  - mandatoryCheck: CheckMandatoryFields by default.
//  - defaultMatricola: the default INPS company number for record G; default:
//    the column SPACOMATRAZIENDA of the named query "QRY_PACO" on the store's
//    connection, for the workgroup of the parameters module when one is given.
//
// What the run did goes into outcome(): one entry per visited certification,
// "Fatto" only once its D record is in a file under its final name. Counts in
// the log and in summaryLines() come from there, never from the rows asked for.
//
// The certifications, their sections and their annotations are read in one
// snapshot of the store (VelReadSnapshot), so that an import replacing CUs on
// another workstation never gives a supply half of the old and half of the new.
// The annotation rows rebuilt by the passes are written at the end of the
// generation, in one transaction, only for the persons that still exist then.
//
// The working tables live in files (TFIFI_FIELDSFILE.CDS, TFILE_FILETELEM.CDS
// in USR/KZDati/KZ2025/) between "Crea File telematico" and "Salva".
#include "src/prj/unit/model/VelRunHost.h"
#include "src/prj/unit/model/VelRunOutcome.h"
#include "src/prj/unit/telematic/VelFileWorkspace.h"
#include "src/prj/unit/telematic/VelStoreTransactions.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

class TTorDBCds;
class TdmRagParams;
class TTorQueryText;
class TClientDataSet;

class TdmVelFile
{
public:
    enum Selection { All, Reserved, None }; // "Tutti", "su Prenotazione", "Nessuno"

    // Store structures of the datasets.
    static const QStringList &certificationStructures(); // the ten reloaded on page "Dipendenti"

    TdmVelFile(TTorDBCds &store, TTorQueryText &queries, TdmRagParams *params = nullptr);
    ~TdmVelFile();
    TdmVelFile(const TdmVelFile &) = delete;
    TdmVelFile &operator=(const TdmVelFile &) = delete;

    // ---- seams ----
    // Kept by reference, for the notices of every step and the default
    // `information`.
    void setRunHost(IVelRunHost &host) { m_host = &host; }
    IVelRunHost &runHost() const { return *m_host; }
    std::function<bool(const QStringList &lines, bool ask)> information;
    std::function<void(const QString &line)> log;
    std::function<QString()> defaultMatricola;
    // The mandatory-field check of one row of each dataset given (default:
    // CheckMandatoryFields of the agent editors).
    std::function<bool(QStringList &problems, const QList<TClientDataSet *> &datasets)> mandatoryCheck;
    // Where the software producer's code is read (the program's ini by default).
    void setSettingsFile(const QString &ini) { m_settingsFile = ini; }
    // The workgroup "QRY_PACO" is read for (the parameters module's when given).
    void setWorkgroup(int id) { m_workgroup = id; }
    // The working tables' files (the KZDati folder by default).
    void setTablePaths(const QString &fieldFile, const QString &recordFile);

    VelFileWorkspace &workspace() { return m_ws; }
    TClientDataSet &dip();

    // ---- the wizard's life ----
    // Form creation: every dataset but cdsSost loaded, cdsDip on index
    // "SCUDCODFIS" at its first row.
    void open();
    // Page "Dipendenti" again: the ten certification structures reloaded.
    void reloadCertifications();
    // A grid title: the index of cdsDip (the order of the progressives).
    void setOrder(const QString &column);
    // Cancel: cdsDip and cdsForn closed.
    void closeDataSets();

    // The rows of cdsDip visited (1-based, in visiting order): every row for
    // All, `selected` (the grid's selection, in grid order) for Reserved,
    // none for None.
    QList<int> visitedRows(Selection selection, const QList<int> &selected = {});

    // The pre-check of "Crea File telematico": CheckMandatoryFields on every
    // visited certification and its dependants; with problems the report goes
    // to `information` with its question. False when the office answered no
    // (the log line says so). A tax code in two of the visited certifications
    // refuses the supply whatever the answer (repeatedTaxCodes).
    [[nodiscard]] bool preCheck(const QList<int> &rows);
    // The lines refusing a supply in which a tax code has more than one of
    // the visited certifications (one agent: one certification a payee);
    // empty when every tax code appears once.
    QStringList repeatedTaxCodes(const QList<int> &rows);
    // The lines refusing a supply whose file the check would refuse: a payee's
    // or a dependant's tax code that is not valid, a province that is not two
    // letters ("EE" for a state abroad). Empty when there is none.
    QStringList unsendableFields(const QList<int> &rows);
    // The report lines of the pre-check (empty when nothing is missing); the
    // warnings of the rules between two values (a tax code against the birth
    // date) are among them, for the office to confirm.
    QStringList preCheckReport(const QList<int> &rows);
    // The warnings the pre-check put to the office, as "<rule>|<tax code>":
    // the file's check does not say them again.
    const QSet<QString> &confirmedFindings() const { return m_confirmable; }

    // The generation (steps a-h). Raises EOvError on a failing check (the
    // data-complete flag is then cleared) and on any error of the passes.
    void generate(const QList<int> &rows);
    // The same as the button does it: any error logged as "***** " + text and
    // reported with "Operazione terminata con errore"; true when it succeeded.
    [[nodiscard]] bool runGeneration(const QList<int> &rows);

    bool dataComplete() const { return m_dataComplete; }
    // Page "Crea file" shown: the flag is cleared ("Salva" disabled).
    void clearDataComplete() { m_dataComplete = false; }

    // "Salva": records assembled, file(s) written, ISOSNDIP saved on the
    // agent, cdsDip and cdsForn closed, the success message. Raises EOvError
    // "Dati obbligatori mancanti, impossibile creare il file!" without a
    // successful generation. Returns the files written.
    QStringList save(const QString &fileName);

    // Raises EVelError (Fornitura, naming the first file), listing the
    // problems, when the checker refuses the staged files of a supply
    // (`names`: the names they would take).
    void verifySupply(const QStringList &staged, const QStringList &names) const;

    // The default folder (created when missing) and the proposed name.
    static QString defaultFolder();
    static QString proposedName(); // "CUR26"

    // Counts of the last generation.
    int certificationsInSupply() { return m_ws.generator().certificationsInSupply(); }

    // What the last generation and save did, certification by certification.
    const TVelRunOutcome &outcome() const { return m_outcome; }
    // The summary of an outcome as the window's log and the command line show it.
    static QStringList summaryLines(const TVelRunOutcome &outcome);

    // The annotation rows of the current certification of cdsDip rebuilt
    // from its text (the preparation of the passes). Rows that already hold
    // the text's codes are left as they are; rebuilt rows are saved to the
    // store at the end of the generation (VelAnnotationRows::save).
    void prepareAnnotations(TClientDataSet &dip);

private:
    void load(TClientDataSet &ds, const QString &structure);
    void checkSupplier();
    void checkAgent();
    QString readDefaultMatricola();
    void saveAnnotations();
    void startOutcome(const QList<int> &rows);
    void stopOutcome(const QString &why);
    const QSet<QString> &noteCodes();
    void say(const QString &line) const;

    TTorDBCds &m_store;
    TTorQueryText &m_queries;
    TdmRagParams *m_params;
    IVelRunHost *m_host = &TVelUnattendedRunHost::instance();
    VelFileWorkspace m_ws;
    QString m_settingsFile;
    QString m_templateDir; // empty: the Res folder's filetel
    QString m_fieldFile;
    QString m_recordFile;
    int m_workgroup = 0;
    bool m_dataComplete = false;
    bool m_generated = false;
    bool m_fieldRowsKept = false; // the field table holds the rows of the last generation
    // field rows a certification made in the last generation: the room the
    // next one takes at once for its field table (a hint, not a limit)
    double m_fieldRowsPerCertification = 128;
    bool m_notesLoaded = false;
    QSet<QString> m_noteCodes;
    QSet<QString> m_confirmable; // warnings of the last pre-check, "<rule>|<tax code>"
    bool m_notesIndexed = false;
    QHash<qint64, QList<QStringList>> m_notesNow; // IAFIID -> its rows' codes
    QList<VelAnnotationRows::Pending> m_pendingNotes; // rebuilt rows not yet saved
    TTorVersions m_versions; // of the CUs, as the snapshot read them
    TVelRunOutcome m_outcome;
    // what the pre-check let through with a warning: carried into the outcome
    QList<TVelRunWarning> m_preCheckWarnings;
    QList<int> m_outcomeRows; // row of cdsDip of each entry of m_outcome
};

