#pragma once
// The data module of the telematic supply: everything the wizard TfmVelFile
// does, without a window, so that tests and tools drive it the same way.
//
//   TdmVelFile dm(store, queries);         // store: year set, AllMonths; queries: the payroll's catalogue
//   const TVelSupplyOpened opened = dm.open();   // datasets loaded, cdsDip by tax code
//   const QList<int> rows = dm.visitedRows(TdmVelFile::All);
//   if (const auto checked = opened.preCheck(rows)) {   // mandatory fields; the office decides
//       TVelSupplyGeneration g = checked->generate();    // checks, passes, field rows saved
//       if (g.supply)
//           const TVelSupplySaved saved = g.supply->save(fileName); // records, file(s), ISOSNDIP
//   }
//
// The order is the stages' types: a supply is generated only from a checked
// one, saved only from a generated one; a stage of an earlier generation (the
// wizard went back to the choice) cannot be saved.
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
// What the run did is the generation's and the save's outcome: one entry per
// visited certification, "Fatto" only once its D record is in a file under its
// final name. Counts in the log and in summaryLines() come from there, never
// from the rows asked for.
//
// The certifications, their sections and their annotations are read in one
// snapshot of the store (VelReadSnapshot), so that an import replacing CUs on
// another workstation never gives a supply half of the old and half of the new.
// The annotation rows rebuilt by the passes are written at the end of the
// generation, in one transaction, only for the persons that still exist then.
//
// The working tables live in files (TFIFI_FIELDSFILE.CDS, TFILE_FILETELEM.CDS
// in USR/KZDati/KZ2025/) between "Crea File telematico" and "Salva".
//
// The module runs the stages; its parts do the work each one names: the
// store's reading and the agent's count (VelSupplyStore.h), the pre-check's
// refusals and report (VelSupplyPreCheck.h), the annotation rows
// (VelSupplyAnnotations.h), the outcome, certification by certification
// (VelSupplyOutcomeBook.h), and the files written and checked (VelSupplyFiles.h).
#include "src/prj/unit/model/VelError.h"
#include "src/prj/unit/model/VelRunHost.h"
#include "src/prj/unit/model/VelRunOutcome.h"
#include "src/prj/unit/telematic/VelFileWorkspace.h"
#include "src/prj/unit/telematic/VelSupplyAnnotations.h"
#include "src/prj/unit/telematic/VelSupplyFiles.h"
#include "src/prj/unit/telematic/VelSupplyOutcomeBook.h"
#include "src/prj/unit/telematic/VelSupplyPreCheck.h"
#include "src/prj/unit/telematic/VelSupplyStore.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class TTorDBCds;
class TdmRagParams;
class TTorQueryText;
class TClientDataSet;
class TdmVelFile;
class TVelSupplyChecked;
class TVelSupplyGenerated;
struct TVelSupplyGeneration;
struct TVelSupplySaved;

// The supply with its datasets loaded (TdmVelFile::open()).
class TVelSupplyOpened
{
public:
    // The pre-check of "Crea File telematico": CheckMandatoryFields on every
    // visited certification and its dependants; with problems the report goes
    // to `information` with its question. None when the office answered no
    // (the log line says so) or the supply is refused: a tax code in two of
    // the visited certifications refuses it whatever the answer
    // (repeatedTaxCodes), and so does what the file's check would refuse.
    [[nodiscard]] std::optional<TVelSupplyChecked> preCheck(const QList<int> &rows) const;

private:
    friend class TdmVelFile;
    explicit TVelSupplyOpened(TdmVelFile &dm) : m_dm(&dm) {}
    TdmVelFile *m_dm;
};

// The visited rows the pre-check let through.
class TVelSupplyChecked
{
public:
    const QList<int> &rows() const { return m_rows; }
    // The generation (steps a-h) as the button does it: any error logged as
    // "***** " + text and reported with "Operazione terminata con errore";
    // the generated supply only when it succeeded, the outcome in any case.
    [[nodiscard]] TVelSupplyGeneration generate() const;

private:
    friend class TVelSupplyOpened;
    TVelSupplyChecked(TdmVelFile &dm, QList<int> rows) : m_dm(&dm), m_rows(std::move(rows)) {}
    TdmVelFile *m_dm;
    QList<int> m_rows;
};

// What "Salva" gives: the files written and the outcome, certification by
// certification. A supply whose files are written but whose count the
// database did not take says so in outcome.fatal.
struct [[nodiscard]] TVelSupplySaved
{
    QStringList files;
    TVelRunOutcome outcome;
};

// A generation that succeeded: its field rows wait in the working tables.
class TVelSupplyGenerated
{
public:
    // What the generation did; after a save() that raised, what it came to.
    const TVelRunOutcome &outcome() const { return m_outcome; }
    // "Salva": records assembled, file(s) written, ISOSNDIP saved on the
    // agent, cdsDip and cdsForn closed, the success message. Raises EVelError
    // when the files could not be written or the checker refused them (the
    // outcome() then says so certification by certification), and
    // "Dati obbligatori mancanti, impossibile creare il file!" when a later
    // generation took the place of this one.
    [[nodiscard]] TVelSupplySaved save(const QString &fileName);

private:
    friend class TVelSupplyChecked;
    TVelSupplyGenerated(TdmVelFile &dm, int generation, TVelRunOutcome outcome)
        : m_dm(&dm), m_generation(generation), m_outcome(std::move(outcome))
    {
    }
    TdmVelFile *m_dm;
    int m_generation;
    TVelRunOutcome m_outcome;
};

// What a generation came to: the supply to save when it succeeded; the
// outcome (why it stopped in `fatal`) in any case; when it failed, the
// failure's code and the stage it stopped at, as its error carried them (a
// lost server, the store's refusal, a supply the check refuses...).
struct [[nodiscard]] TVelSupplyGeneration
{
    std::optional<TVelSupplyGenerated> supply;
    TVelRunOutcome outcome;
    std::optional<TVelErrorContext> failure;
};

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
    // The closing lines of the pre-check and of the generation ("Generazione
    // file telematico terminata dall'utente", "Operazione terminata con
    // successo.") go to the log; a caller that says the outcome itself, once
    // the supply is written and checked, leaves them out.
    bool closingLines = true;
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
    // "SCUDCODFIS" at its first row; the opened supply is the way on.
    [[nodiscard]] TVelSupplyOpened open();
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

    // The lines refusing a supply in which a tax code has more than one of
    // the visited certifications (one agent: one certification a payee);
    // empty when every tax code appears once.
    QStringList repeatedTaxCodes(const QList<int> &rows) { return m_preCheck.repeatedTaxCodes(rows); }
    // The lines refusing a supply whose file the check would refuse: a payee's
    // or a dependant's tax code that is not valid, a province that is not two
    // letters ("EE" for a state abroad). Empty when there is none.
    QStringList unsendableFields(const QList<int> &rows) { return m_preCheck.unsendableFields(rows); }
    // The report lines of the pre-check (empty when nothing is missing); the
    // warnings of the rules between two values (a tax code against the birth
    // date) are among them, for the office to confirm.
    QStringList preCheckReport(const QList<int> &rows) { return m_preCheck.report(rows, mandatoryCheck); }
    // The warnings the pre-check put to the office, as "<rule>|<tax code>":
    // the file's check does not say them again.
    const QSet<QString> &confirmedFindings() const { return m_preCheck.confirmable(); }

    // Raises EVelError (Fornitura, naming the first file), listing the
    // problems, when the checker refuses the staged files of a supply
    // (`names`: the names they would take).
    void verifySupply(const QStringList &staged, const QStringList &names) const;

    // The default folder (created when missing) and the proposed name.
    static QString defaultFolder();
    static QString proposedName(); // "CUR26"

    // Counts of the last generation.
    int certificationsInSupply() { return m_ws.generator().certificationsInSupply(); }

    // The summary of an outcome as the window's log and the command line show it.
    static QStringList summaryLines(const TVelRunOutcome &outcome);

    // The annotation rows of the current certification of cdsDip rebuilt
    // from its text (the preparation of the passes). Rows that already hold
    // the text's codes are left as they are; rebuilt rows are saved to the
    // store at the end of the generation (VelAnnotationRows::save).
    void prepareAnnotations(TClientDataSet &dip);

private:
    friend class TVelSupplyOpened;
    friend class TVelSupplyChecked;
    friend class TVelSupplyGenerated;
    // The stages' work (see the stages above).
    bool preCheck(const QList<int> &rows);
    // The generation; raises EOvError on a failing check (the data-complete
    // flag is then cleared) and on any error of the passes.
    void generate(const QList<int> &rows);
    // Runs generate(): none when it succeeded, else its failure, typed.
    std::optional<TVelErrorContext> runGeneration(const QList<int> &rows);
    QStringList save(const QString &fileName);
    // The workgroup "QRY_PACO" and the coherence check read.
    int workgroup() const;
    void say(const QString &line) const;

    TTorDBCds &m_store;
    TTorQueryText &m_queries;
    TdmRagParams *m_params;
    IVelRunHost *m_host = &TVelUnattendedRunHost::instance();
    VelFileWorkspace m_ws;
    TVelSupplyStore m_supplyStore;
    TVelSupplyPreCheck m_preCheck;
    TVelSupplyAnnotations m_notes;
    TVelSupplyOutcomeBook m_book;
    TVelSupplyFiles m_files;
    QString m_settingsFile;
    QString m_templateDir; // empty: the Res folder's filetel
    QString m_fieldFile;
    QString m_recordFile;
    int m_workgroup = 0;
    bool m_dataComplete = false;
    bool m_generated = false;
    int m_generation = 0; // generations begun: a stage of an earlier one is not saved
    bool m_fieldRowsKept = false; // the field table holds the rows of the last generation
    // field rows a certification made in the last generation: the room the
    // next one takes at once for its field table (a hint, not a limit)
    double m_fieldRowsPerCertification = 128;
    // what the pre-check let through with a warning: carried into the outcome
    QList<TVelRunWarning> m_preCheckWarnings;
};

