#include "VelCli.h"

#include "VelCliPdfSplit.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvFolders.h"
#include "platform/core/OvParamManager.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvDbConfig.h"
#include "platform/framework/OvMessages.h"
#include "platform/sql/OvQueryCollection.h"
#include "platform/sql/OvSQLQuery.h"
#include "rag/connection/TdmragConnessione.h"
#include "rag/params/dmRagParams.h"
#include "src/prj/unit/check/VelSupplyCheck.h"
#include "src/prj/unit/import/VelImportCud.h"
#include "src/prj/unit/model/VelCodFis.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/print/VelCuPrint.h"
#include "src/prj/unit/shell/TdmVelMain.h"
#include "src/prj/unit/shell/VelParametriUtente.h"
#include "src/prj/unit/telematic/TdmVelFile.h"
#include "src/prj/unit/telematic/VelFileTables.h"
#include "src/prj/unit/telematic/VelTaxCode.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorAnni.h"
#include "tor/util/TorCampagna.h"
#include "tor/util/TorFolders.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>

#include <memory>

namespace VelCli {
namespace {

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

// A usage error: one line, status 2.
struct UsageError
{
    QString text;
};

// A message of the classes (OvMessageBox) as a line on standard error; a
// question gets the answer the command's options decided, else the cautious
// one the box would give on Escape or by default.
class CliResponder : public IOvMessageResponder
{
public:
    explicit CliResponder(QTextStream &err) : m_err(err) {}
    int answerYes = 0; // IDYES to answer "Sì" to questions, 0 for the cautious answer

    int respond(const OvMessage &msg) override
    {
        QString text = msg.text;
        text.replace(QLatin1String("\r\n"), QLatin1String(" "));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        text = text.simplified();
        int answer = msg.escapeButton ? msg.escapeButton : msg.defaultButton;
        if (msg.isQuestion() && answerYes && msg.offers(answerYes))
            answer = answerYes;
        if (!answer && !msg.buttons.isEmpty())
            answer = msg.buttons.first();
        if (msg.isQuestion())
            m_err << text << s(" [risposta: ") << ovButtonText(answer) << "]\n";
        else
            m_err << text << '\n';
        m_err.flush();
        return answer;
    }

private:
    QTextStream &m_err;
};

// Installs a responder for the life of a command.
struct ResponderScope
{
    IOvMessageResponder *previous;
    explicit ResponderScope(IOvMessageResponder *r) : previous(setMessageResponder(r)) {}
    ~ResponderScope() { setMessageResponder(previous); }
};

// Progress on standard error, at most once a second and at the end.
class Progress
{
public:
    Progress(QTextStream &err, QString what) : m_err(err), m_what(std::move(what)) { m_timer.start(); }
    void step(int done, int total, const QString &who = QString())
    {
        if (done != total && m_last >= 0 && m_timer.elapsed() - m_last < 1000)
            return;
        m_last = m_timer.elapsed();
        m_err << m_what << ' ' << done << '/' << total;
        if (!who.isEmpty())
            m_err << ": " << who;
        m_err << '\n';
        m_err.flush();
    }

private:
    QTextStream &m_err;
    QString m_what;
    QElapsedTimer m_timer;
    qint64 m_last = -1;
};

QString upperCode(const QString &code)
{
    return code.trimmed().toUpper();
}

// The tax codes of --cf: repeated options, commas, and the words after it.
QStringList taxCodes(const QCommandLineParser &p)
{
    QStringList codes;
    const bool given = p.isSet(QStringLiteral("cf"));
    QStringList words = p.values(QStringLiteral("cf"));
    if (!p.positionalArguments().isEmpty()) {
        if (!given)
            throw UsageError{s("Argomento non previsto: \"%1\".").arg(p.positionalArguments().first())};
        words += p.positionalArguments();
    }
    for (const QString &w : words)
        for (const QString &part : w.split(QLatin1Char(','), Qt::SkipEmptyParts))
            if (!codes.contains(upperCode(part)))
                codes << upperCode(part);
    if (given && codes.isEmpty())
        throw UsageError{s("--cf vuoto: indicare almeno un codice fiscale.")};
    return codes;
}

// ---------------------------------------------------------------- the session

// What the commands on the database share: the connection module (catalogue
// with its certificate, the repairs), the installation's parameters
// (workgroup), the school record and the fiscal store on the year.
struct Session
{
    std::unique_ptr<TdmragConnessione> connessione;
    std::unique_ptr<TdmRagParams> params;
    std::unique_ptr<TOvQueryCollection> sos;
    std::unique_ptr<TTorDBCds> store;
    int year = Campagna::AnnoFinanziario;

    ~Session()
    {
        if (sos)
            sos->close();
        store.reset();
        sos.reset();
        if (params && OvMainParams() == &params->xpmOvuParams) {
            setOvMainParams(nullptr);
            annoFinanziario().setParams(nullptr);
        }
        params.reset();
        if (connessione)
            connessione->CloseConnection();
        connessione.reset();
    }

    int workgroup() const { return params->xpmOvuParams.intValue(TdmRagParams::ParDwgId); }

    // False after the message was given (status 1).
    bool open(const TOvDbConfig &config, int financialYear)
    {
        year = financialYear;
        connessione = std::make_unique<TdmragConnessione>();
        connessione->xqoMain.setConfig(config);
        if (!connessione->OpenConnection())
            return false;
        params = std::make_unique<TdmRagParams>();
        VelParametriUtente::load(params->xpmOvuParams);
        setOvMainParams(&params->xpmOvuParams);
        annoFinanziario().setParams(&params->xpmOvuParams);
        VelParametriUtente::applyDefaults(*params);
        sos = std::make_unique<TOvQueryCollection>(&connessione->xqoMain);
        QueryText().SetQuery(QStringLiteral("QRY_SED"), *sos, 0, QStringLiteral("EXECUTE"));
        sos->paramByName(QStringLiteral("IDWGID")).setAsInteger(workgroup());
        sos->open();
        if (sos->isEmpty())
            throw EOvError(s("Configurazione dell'istituto (gruppo di lavoro %1) non trovata nel database.")
                               .arg(workgroup()));
        annoFinanziario().setYearText(QString::number(year));
        store = std::make_unique<TTorDBCds>();
        store->setConnection(&connessione->xqoMain);
        store->setProgram(QStringLiteral("vel"));
        store->setYear(year);
        store->setMonth(TTorDBCds::AllMonths);
        store->setShowWait(false);
        return true;
    }
};

// The database is opened by a command once its options were found right, so
// that a wrong option is told as such whatever the database.
struct OpenFailed
{
};

class LazySession
{
public:
    TOvDbConfig config;
    int year = Campagna::AnnoFinanziario;
    // A command that writes says first which database it works on (a
    // mistyped configuration must not go unnoticed to the demo database).
    QTextStream *announceTo = nullptr;
    Session &get()
    {
        if (!m_session) {
            if (announceTo) {
                *announceTo << config.workingDatabaseLine() << '\n';
                announceTo->flush();
            }
            // A missing SQLite file is not created here: that is velcu-db's job.
            if (config.isSQLite() && !QFileInfo::exists(config.path))
                throw EOvError(s("Il database \"%1\" non esiste: crearlo con velcu-db create.").arg(config.path));
            m_session = std::make_unique<Session>();
            if (!m_session->open(config, year))
                throw OpenFailed{};
        }
        return *m_session;
    }

private:
    std::unique_ptr<Session> m_session;
};

// ---------------------------------------------------------------- commands

struct Command
{
    QCommandLineParser &p;
    QTextStream &out;
    QTextStream &err;
    CliResponder &responder;
};

// Names the codes of --cf that no certification carries; false when there are some.
bool allCodesFound(Command &c, const QStringList &codes, const QSet<QString> &found)
{
    QStringList missing;
    for (const QString &cf : codes)
        if (!found.contains(cf))
            missing << cf;
    if (!missing.isEmpty())
        c.err << s("Codici fiscali senza certificazione: ") << missing.join(QStringLiteral(", ")) << '\n';
    return missing.isEmpty();
}

int importa(Command &c, LazySession &db)
{
    const QCommandLineParser &p = c.p;
    TVelImportOptions o;
    o.IMESID = 12;
    if (p.isSet(QStringLiteral("mese"))) {
        bool ok = false;
        o.IMESID = p.value(QStringLiteral("mese")).toInt(&ok);
        if (!ok || o.IMESID < 1 || o.IMESID > 12)
            throw UsageError{s("Mese non valido: \"%1\" (da 1 a 12).").arg(p.value(QStringLiteral("mese")))};
    }
    o.SOLOINPS = p.isSet(QStringLiteral("solo-inps"));
    // As in the wizard, ticking "Solo INPS" clears the NoiPa box; both asked
    // for together are refused.
    o.FISCALE_NOIPA = !o.SOLOINPS;
    if (p.isSet(QStringLiteral("fiscale-noipa"))) {
        if (o.SOLOINPS)
            throw UsageError{s("Non è possibile scegliere contemporaneamente \"Solo INPS\" e \"Importa dati fiscali "
                               "anche per le liquidazioni inviate a NoiPa\"")};
        o.FISCALE_NOIPA = true;
    }
    o.INCLUDI_INPDAP_MEF = 1;
    if (p.isSet(QStringLiteral("inpdap"))) {
        const QString v = p.value(QStringLiteral("inpdap")).toLower();
        if (v != QLatin1String("uniemens") && v != QLatin1String("noipa"))
            throw UsageError{s("Valore di --inpdap non valido: \"%1\" (uniemens o noipa).").arg(v)};
        o.INCLUDI_INPDAP_MEF = v == QLatin1String("noipa") ? 1 : 0;
    }
    TVelSovraScrivi sovraScrivi = TVelSovraScrivi::NonSovrascrivere;
    if (p.isSet(QStringLiteral("sovrascrivi"))) {
        const QString v = p.value(QStringLiteral("sovrascrivi")).toLower();
        if (v == QLatin1String("sempre"))
            sovraScrivi = TVelSovraScrivi::SovrascriviSempre;
        else if (v != QLatin1String("mai"))
            throw UsageError{s("Valore di --sovrascrivi non valido: \"%1\" (mai o sempre).").arg(v)};
    }
    const QStringList codes = taxCodes(p);

    Session &session = db.get();
    o.anno = session.year;
    o.IDWGID = session.workgroup();
    // The categories the wizard offers: the payroll's, "(Predefinite)" and
    // "7 - Solo autonomi".
    o.ICALID = 0;
    if (p.isSet(QStringLiteral("categoria"))) {
        bool ok = false;
        o.ICALID = p.value(QStringLiteral("categoria")).toInt(&ok);
        QSet<int> known{0, 7};
        TOvSQLQuery q(&session.connessione->xqoMain);
        QueryText().SetQuery(QStringLiteral("QRY_CUD_CAL"), q, 0, QStringLiteral("SELECT"));
        q.open();
        QStringList list;
        for (q.first(); !q.eof(); q.next()) {
            known.insert(int(q.fieldByName(QStringLiteral("ICALID")).asInteger()));
            list << QStringLiteral("%1 %2").arg(q.fieldByName(QStringLiteral("ICALID")).asInteger())
                        .arg(q.fieldByName(QStringLiteral("SCALLDESC")).asString());
        }
        q.close();
        if (!ok || !known.contains(o.ICALID))
            throw UsageError{s("Categoria non valida: \"%1\" (0 predefinite, 7 solo autonomi%2).")
                                 .arg(p.value(QStringLiteral("categoria")),
                                      list.isEmpty() ? QString() : QStringLiteral(", ") + list.join(QStringLiteral(", ")))};
    }
    if (o.INCLUDI_INPDAP_MEF == 1) {
        TOvSQLQuery q(&session.connessione->xqoMain);
        QueryText().SetQuery(QStringLiteral("QRY_PACO"), q, 0, QStringLiteral("SELECT"));
        if (q.params().findParam(QStringLiteral("IDWGID")))
            q.paramByName(QStringLiteral("IDWGID")).setAsInteger(session.workgroup());
        q.open();
        const bool missing = q.isEmpty() || q.fieldByName(QStringLiteral("SPACOCFMEF")).asString().trimmed().isEmpty();
        q.close();
        if (missing)
            throw EOvError(s("Si è scelto di importare la sezione 2 INPS Gestione Pubblica dai compensi inviati ad "
                             "\"Accessori Fuori sistema\". Il c.f. soggetto denuncia è obbligatorio "
                             "(oppure --inpdap uniemens)."));
    }
    // The agent's data are imported with the first import of the year, as
    // the window proposes.
    o.SOSTITUTO = p.isSet(QStringLiteral("sostituto")) || !session.store->HasRows(QStringLiteral("TCUS_DATISOST"));
    if (o.SOSTITUTO)
        o.CFAMM = session.sos->fieldByName(QStringLiteral("SSEDNOMCODICEFISC")).asString();

    TVelImportCud imp(*session.store);
    imp.options = o;
    if (o.SOSTITUTO)
        imp.sos = session.sos.get();
    imp.sovraScrivi = sovraScrivi;
    imp.forzaStampati = p.isSet(QStringLiteral("forza-stampati"));

    c.err << s("Lettura dei dipendenti da importare (mese %1)...\n").arg(o.IMESID);
    c.err.flush();
    if (imp.caricaCandidati() == 0) {
        c.err << s("Nessuna dato da importare!") << '\n';
        return Errors;
    }
    QList<int> work;
    if (!codes.isEmpty()) {
        QSet<QString> found;
        const int fCf = imp.cdsCandidati.fieldIndex(QStringLiteral("SANACODFISCALE"));
        const int fId = imp.cdsCandidati.fieldIndex(QStringLiteral("IACOMID"));
        for (int row = 0; row < imp.cdsCandidati.recordCount(); ++row) {
            const QString cf = upperCode(imp.cdsCandidati.valueAt(row, fCf).toString());
            if (codes.contains(cf)) {
                work << imp.cdsCandidati.valueAt(row, fId).toInt();
                found.insert(cf);
            }
        }
        QStringList missing;
        for (const QString &cf : codes)
            if (!found.contains(cf))
                missing << cf;
        if (!missing.isEmpty()) {
            c.err << s("Codici fiscali non tra i dipendenti da importare: ") << missing.join(QStringLiteral(", "))
                  << '\n';
            return Errors;
        }
    }
    Progress progress(c.err, s("Importazione"));
    imp.onProgress = [&progress](int pos, int count, const QString &who) { progress.step(pos, count, who); };
    QStringList log;
    imp.onInfo = [&log](const QStringList &lines) { log = lines; };
    imp.importa(work);

    for (const QString &line : std::as_const(log))
        c.out << line << '\n';
    // What was committed decides, not the messages shown on the way.
    c.out << imp.riepilogo() << '\n';
    return imp.outcome().riuscito() ? Ok : Errors;
}

// Runs the checker on files and prints its findings; true when clean.
bool printCheck(Command &c, const QStringList &files)
{
    TVelSupplyCheck check;
    const QList<TVelSupplyProblem> problems = check.run(files);
    for (const TVelSupplyProblem &pr : problems)
        c.out << pr.text() << '\n';
    if (problems.isEmpty())
        c.out << s("Controllo superato: %1 file, %2 record, %3 certificazioni.\n")
                     .arg(files.size())
                     .arg(check.records())
                     .arg(check.certifications());
    else
        c.out << s("Controllo non superato: %1 problemi in %2 file.\n").arg(problems.size()).arg(files.size());
    return problems.isEmpty();
}

int fornitura(Command &c, LazySession &db)
{
    const QCommandLineParser &p = c.p;
    if (!p.isSet(QStringLiteral("out")))
        throw UsageError{s("Indicare il file della fornitura con --out FILE.")};
    const QString outFile = QFileInfo(p.value(QStringLiteral("out"))).absoluteFilePath();
    if (!QFileInfo(QFileInfo(outFile).absolutePath()).isDir())
        throw EOvError(s("La cartella del file \"%1\" non esiste.").arg(outFile));
    const QStringList codes = taxCodes(p);
    const bool forza = p.isSet(QStringLiteral("forza"));
    Session &session = db.get();

    TdmVelFile dm(*session.store, session.params.get());
    if (p.isSet(QStringLiteral("cartella-lavoro"))) {
        // Working tables of this run elsewhere than the installation's (two
        // supplies prepared at once on one installation).
        const QDir work(p.value(QStringLiteral("cartella-lavoro")));
        if (!work.exists())
            throw EOvError(s("La cartella di lavoro \"%1\" non esiste.").arg(work.absolutePath()));
        dm.setTablePaths(work.absoluteFilePath(QString::fromLatin1(VelFileTables::FieldFileName)),
                         work.absoluteFilePath(QString::fromLatin1(VelFileTables::RecordFileName)));
    }
    dm.log = [&c](const QString &line) {
        // The generation's closing line speaks of its working tables only;
        // the command's outcome is said once the supply is written and checked.
        if (line == QLatin1String("Operazione terminata con successo."))
            return;
        c.err << line << '\n';
        c.err.flush();
    };
    QStringList report;
    dm.information = [&c, &report, forza](const QStringList &lines, bool ask) {
        for (const QString &l : lines)
            if (!l.isEmpty())
                c.out << l << '\n';
        if (ask) {
            report = lines;
            c.out << (forza ? s("Si prosegue (--forza).\n")
                            : s("Fornitura non generata: correggere i dati o proseguire con --forza.\n"));
        }
        return !ask || forza;
    };
    c.err << s("Lettura delle certificazioni...\n");
    c.err.flush();
    dm.open();
    QList<int> rows;
    if (codes.isEmpty()) {
        rows = dm.visitedRows(TdmVelFile::All);
    } else {
        TClientDataSet &dip = dm.dip();
        QList<int> selected;
        QSet<QString> found;
        int row = 0;
        for (dip.first(); !dip.eof(); dip.next()) {
            ++row;
            const QString cf = upperCode(dip.fieldByName(QStringLiteral("SCUDCODFIS")).asString());
            if (codes.contains(cf)) {
                selected << row;
                found.insert(cf);
            }
        }
        if (!allCodesFound(c, codes, found)) {
            dm.closeDataSets();
            return Errors;
        }
        rows = dm.visitedRows(TdmVelFile::Reserved, selected);
    }
    if (rows.isEmpty()) {
        c.err << s("Nessuna certificazione da inviare.\n");
        dm.closeDataSets();
        return Errors;
    }
    if (!dm.preCheck(rows)) {
        dm.closeDataSets();
        return Errors;
    }
    if (!dm.runGeneration(rows)) {
        dm.closeDataSets();
        return Errors;
    }
    const QStringList files = dm.save(outFile);
    for (const QString &f : files)
        c.out << s("File scritto: ") << QDir::toNativeSeparators(f) << '\n';
    // What was written, certification by certification, as the run recorded it.
    const TVelRunOutcome &outcome = dm.outcome();
    for (const QString &line : TdmVelFile::summaryLines(outcome))
        c.out << line << '\n';
    // What the agency's control would say, before anyone files it.
    const bool checked = printCheck(c, files);
    return outcome.riuscito() && checked ? Ok : Errors;
}

int stampa(Command &c, LazySession &db)
{
    const QCommandLineParser &p = c.p;
    const bool sintetico = p.isSet(QStringLiteral("sintetico"));
    const bool ordinario = p.isSet(QStringLiteral("ordinario"));
    if (sintetico == ordinario)
        throw UsageError{s("Indicare uno fra --sintetico e --ordinario.")};
    const bool perPayee = p.isSet(QStringLiteral("per-percipiente"));
    if (!p.isSet(QStringLiteral("out")) && !perPayee)
        throw UsageError{s("Indicare il file PDF con --out FILE.pdf oppure la cartella con --per-percipiente.")};
    QString outFile;
    if (p.isSet(QStringLiteral("out"))) {
        outFile = QFileInfo(p.value(QStringLiteral("out"))).absoluteFilePath();
        if (!outFile.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive))
            throw UsageError{s("Il file di --out deve avere l'estensione .pdf: \"%1\".").arg(p.value(QStringLiteral("out")))};
        if (!QFileInfo(QFileInfo(outFile).absolutePath()).isDir())
            throw EOvError(s("La cartella del file \"%1\" non esiste.").arg(outFile));
    }
    QString payeeDir;
    std::unique_ptr<VelCliPdfSplit::FolderGuard> guard;
    if (perPayee) {
        payeeDir = QFileInfo(p.value(QStringLiteral("per-percipiente"))).absoluteFilePath();
        ovMakePath(payeeDir);
        guard = std::make_unique<VelCliPdfSplit::FolderGuard>(payeeDir);
        for (const QString &gone : guard->removeLeftovers())
            c.err << s("Rimosso \"%1\", lasciato da una stampa interrotta.\n").arg(QDir::toNativeSeparators(gone));
    }
    const QStringList codes = taxCodes(p);

    Session &session = db.get();
    TdmVelStampePDF stampe;
    stampe.ordinario = ordinario;
    TdmVelMain main;
    TVelCuPrint run(*session.store, stampe, main);
    run.twoSided = p.isSet(QStringLiteral("fronte-retro"));
    run.signatureOmitted = p.isSet(QStringLiteral("firma-omessa"));
    c.err << s("Lettura delle certificazioni...\n");
    c.err.flush();
    run.open();

    // The CUs to print, in the print's order.
    QList<TBookmark> rows;
    QSet<QString> found;
    const QList<TBookmark> all = run.allRows();
    for (const TBookmark b : all) {
        run.cdsMultiSelect.gotoBookmark(b);
        const QString cf = upperCode(run.cdsMultiSelect.fieldByName(QStringLiteral("SCUDCODFIS")).asString());
        if (!codes.isEmpty() && !codes.contains(cf))
            continue;
        rows << b;
        found.insert(cf);
    }
    if (!allCodesFound(c, codes, found))
        return Errors;
    if (rows.isEmpty()) {
        c.err << s("Nessuna certificazione da stampare.\n");
        return Errors;
    }

    run.log = [&c](const QString &line) {
        c.err << line << '\n';
        c.err.flush();
    };
    Progress progress(c.err, s("Stampa"));
    run.progress = [&](int done, int total) {
        progress.step(done, total);
        return true;
    };

    if (!perPayee) {
        // One document: its CUs are locked once it is on disk.
        run.outputFolder = QFileInfo(outFile).absolutePath();
        const QString path = run.print(rows, QFileInfo(outFile).completeBaseName());
        const TVelRunOutcome &outcome = run.outcome();
        if (path.isEmpty()) {
            c.err << s("Nessun CU stampato (%1).\n").arg(outcome.fatal.isEmpty() ? s("stampa annullata") : outcome.fatal);
            return Errors;
        }
        c.out << s("File scritto: ") << QDir::toNativeSeparators(path) << '\n';
        c.out << s("CU stampati: %1.\n").arg(outcome.count(TVelResult::Fatto));
        for (const QString &line : outcome.problemLines())
            c.err << s("Non stampato: ") << line << '\n';
        return outcome.riuscito() ? Ok : Errors;
    }

    // Per payee: the whole document (under --out, or in the run's hidden work
    // folder), then one file per CU cut from it; a CU is locked only once its
    // own file has its final name.
    QString folder, name;
    if (!outFile.isEmpty()) {
        folder = QFileInfo(outFile).absolutePath();
        name = QFileInfo(outFile).completeBaseName();
    } else {
        folder = guard->workFolder();
        name = TVelCuPrint::defaultFileName(ordinario);
    }
    run.outputFolder = folder;
    if (outFile.isEmpty()) // the work folder's document is no result: it goes at the end
        run.log = [&c](const QString &line) {
            if (line.startsWith(QLatin1String("File generato: ")))
                return;
            c.err << line << '\n';
            c.err.flush();
        };
    const QString path = run.printDocument(rows, name);
    if (path.isEmpty()) {
        c.err << s("Nessun CU stampato (modello di stampa non disponibile).\n");
        return Errors;
    }
    if (!outFile.isEmpty())
        c.out << s("File scritto: ") << QDir::toNativeSeparators(path) << '\n';

    TVelRunOutcome outcome;
    QList<VelCliPdfSplit::Part> parts;
    QList<TBookmark> partRows;
    QHash<QString, int> seen;
    for (const TVelCuPrint::PageRange &range : run.pageRanges()) {
        TVelPayeeOutcome &payee = outcome.add(run.payeeOf(range.row));
        // The tax code names the file: anything but letters and digits
        // (a code typed wrong) cannot lead the file out of the folder.
        QString file = upperCode(payee.codFis);
        for (QChar &ch : file)
            if (!(ch >= QLatin1Char('A') && ch <= QLatin1Char('Z')) && !ch.isDigit())
                ch = QLatin1Char('_');
        if (file.isEmpty())
            file = QStringLiteral("SENZA_CODICE_FISCALE");
        if (const int n = seen[file]++)
            file += QStringLiteral("_%1").arg(n + 1);
        parts.append({QDir(payeeDir).filePath(file + QStringLiteral(".pdf")), range.first, range.last});
        partRows << range.row;
    }
    Progress split(c.err, s("PDF per percipiente"));
    VelCliPdfSplit::Locker locker;
    locker.lock = [&](const QList<int> &done) {
        QList<TBookmark> lock;
        for (const int k : done)
            lock << partRows.at(k);
        run.lockPrinted(lock);
    };
    locker.locked = [&](int k) { return run.isLocked(partRows.at(k)); };
    VelCliPdfSplit::split(path, parts, outcome, locker, [&split](int done, int total) { split.step(done, total); });

    // Payee by payee: the files written (their CUs locked), then what failed
    // and what was not reached, with the reason.
    for (qsizetype i = 0; i < parts.size(); ++i)
        if (outcome.payees.at(i).result == TVelResult::Fatto)
            c.out << s("File scritto: ") << QDir::toNativeSeparators(parts.at(i).file) << '\n';
    for (const QString &line : outcome.problemLines())
        c.err << s("Non stampato: ") << line << '\n';
    if (!outcome.fatal.isEmpty())
        c.err << outcome.fatal << '\n';
    const int written = outcome.count(TVelResult::Fatto);
    c.out << s("CU stampati: %1.\n").arg(written);
    c.out << s("PDF per percipiente: %1 nella cartella %2.\n").arg(written).arg(QDir::toNativeSeparators(payeeDir));
    if (!outcome.riuscito())
        c.err << s("PDF per percipiente non scritti: %1 su %2 (%3 non riusciti, %4 non raggiunti).\n")
                     .arg(parts.size() - written)
                     .arg(parts.size())
                     .arg(outcome.count(TVelResult::Errore))
                     .arg(outcome.count(TVelResult::NonEseguito));
    return outcome.riuscito() ? Ok : Errors;
}

int stato(Command &c, LazySession &db)
{
    if (!c.p.positionalArguments().isEmpty())
        throw UsageError{s("Argomento non previsto: \"%1\".").arg(c.p.positionalArguments().first())};
    Session &session = db.get();
    TTorDBCds &store = *session.store;
    TClientDataSet cud;
    store.Load(cud, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
    int printed = 0;
    QSet<QString> keys;
    for (cud.first(); !cud.eof(); cud.next()) {
        printed += cud.fieldByName(QStringLiteral("iCudStato")).asString() == QLatin1String("1");
        keys.insert(upperCode(cud.fieldByName(QStringLiteral("SCUDCODFIS")).asString()) + QLatin1Char('|')
                    + cud.fieldByName(QStringLiteral("SCUDMESE")).asString());
    }
    QSet<QString> withSections;
    for (const QString &structure : TdmVelFile::certificationStructures()) {
        if (structure.compare(QLatin1String("TCUD_DATICUD"), Qt::CaseInsensitive) == 0)
            continue;
        TClientDataSet ds;
        store.Load(ds, structure, TTorDBCds::AllMonths);
        const int fCf = ds.fieldIndex(QStringLiteral("SCUDCODFIS"));
        const int fMese = ds.fieldIndex(QStringLiteral("SCUDMESE"));
        if (fCf < 0 || fMese < 0)
            continue;
        for (int row = 0; row < ds.recordCount(); ++row) {
            const QString key = upperCode(ds.valueAt(row, fCf).toString()) + QLatin1Char('|')
                                + ds.valueAt(row, fMese).toString();
            if (keys.contains(key))
                withSections.insert(key);
        }
    }
    auto firstRow = [&store](const char *structure, TClientDataSet &ds) {
        store.Load(ds, QLatin1String(structure), TTorDBCds::AllMonths);
        ds.first();
        return !ds.isEmpty();
    };
    auto value = [](TClientDataSet &ds, const char *field) {
        const int i = ds.fieldIndex(QLatin1String(field));
        return i < 0 ? QString() : ds.field(i).asString().trimmed();
    };
    TClientDataSet sost, forn, ct;
    // What the supply requires of the agent and of the supplier.
    QStringList agentMissing;
    if (!firstRow("TCUS_DATISOST", sost)) {
        agentMissing << s("nessun dato");
    } else {
        if (!TVelSupplyCheck::validTaxCode(value(sost, "SSOSCODFIS").toUpper()))
            agentMissing << s("codice fiscale");
        const std::pair<const char *, const char *> required[] = {
            {"SSOSDENOM", "denominazione"},
            {"SSOSCFRAPPR", "codice fiscale del rappresentante"},
            {"SCARCODICE", "codice carica del rappresentante"},
            {"SSOSCOGNRAPPR", "cognome del rappresentante"},
            {"SSOSNOMERAPPR", "nome del rappresentante"},
            {"SSOSFIRMACOM", "firma della comunicazione"},
        };
        for (const auto &[field, label] : required)
            if (value(sost, field).isEmpty())
                agentMissing << s(label);
    }
    QStringList supplierMissing;
    if (!firstRow("TCFO_FORNITORE", forn)) {
        supplierMissing << s("nessun dato");
    } else {
        if (!TVelSupplyCheck::validTaxCode(value(forn, "SFORCODFIS").toUpper()))
            supplierMissing << s("codice fiscale");
        if (value(forn, "STFOCODICE").isEmpty())
            supplierMissing << s("tipo fornitore");
    }
    const bool quadroCt = firstRow("TCUCT_DATICT", ct);
    const QString producer = VelTaxCode::softwareProducer();
    auto state = [](const QStringList &missing) {
        return missing.isEmpty() ? s("completi") : s("incompleti (") + missing.join(QStringLiteral(", ")) + QLatin1Char(')');
    };
    c.out << s("Anno finanziario: %1\n").arg(session.year);
    c.out << s("Database: %1\n").arg(session.connessione->xqoMain.config().describe());
    c.out << s("CU in archivio: %1\n").arg(cud.recordCount());
    c.out << s("CU stampati: %1\n").arg(printed);
    c.out << s("CU con sezioni (INPS, familiari, autonomi...): %1\n").arg(withSections.size());
    c.out << s("Dati del sostituto: %1\n").arg(state(agentMissing));
    c.out << s("Dati del fornitore: %1\n").arg(state(supplierMissing));
    c.out << s("Quadro CT: %1\n").arg(quadroCt ? s("compilato") : s("non compilato"));
    c.out << s("Codice fiscale del produttore del software: %1\n")
                 .arg(VelCodFis::isValidNumeric(producer) ? producer : s("mancante o non valido"));
    return Ok;
}

int controlla(Command &c)
{
    const QStringList files = c.p.positionalArguments();
    if (files.isEmpty())
        throw UsageError{s("Indicare almeno un file da controllare.")};
    return printCheck(c, files) ? Ok : Errors;
}

// ---------------------------------------------------------------- options

QString usage()
{
    return s("Uso: velcu-cli COMANDO [opzioni]\n"
             "Comandi:\n"
             "  import      importa le certificazioni dalle retribuzioni\n"
             "              --mese N  --categoria N  --solo-inps  --fiscale-noipa  --sostituto\n"
             "              --inpdap uniemens|noipa  --sovrascrivi mai|sempre  --forza-stampati  --cf CF...\n"
             "  fornitura   scrive la fornitura telematica e la controlla\n"
             "              --out FILE  --cf CF...  --forza  --cartella-lavoro CARTELLA\n"
             "  stampa      stampa i CU in PDF\n"
             "              --sintetico|--ordinario  --out FILE.pdf  --per-percipiente CARTELLA\n"
             "              --fronte-retro  --firma-omessa  --cf CF...\n"
             "  controlla   controlla i file di una fornitura: FILE...\n"
             "  stato       anno, CU in archivio, stampati, dati del sostituto e del fornitore\n"
             "Opzioni comuni: --anno AAAA, --db-engine, --db-path, --db-host, --db-port, --db-name, --db-user,\n"
             "  --db-options, --db-config (vedere velcu --help).\n"
             "Esito: 0 riuscito, 1 errori, 2 uso non corretto.\n");
}

void addOptions(QCommandLineParser &p, const QString &command)
{
    auto flag = [&p](const char *name, const char *text) {
        p.addOption(QCommandLineOption(QLatin1String(name), QString::fromUtf8(text)));
    };
    auto valued = [&p](const char *name, const char *text, const char *value) {
        p.addOption(QCommandLineOption(QLatin1String(name), QString::fromUtf8(text), QLatin1String(value)));
    };
    p.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, s("Mostra l'uso.")));
    if (command == QLatin1String("controlla"))
        return;
    TOvDbOptions::addTo(p);
    valued("anno", "Anno finanziario.", "AAAA");
    if (command == QLatin1String("import")) {
        valued("mese", "Mese di chiusura (1-12).", "N");
        valued("categoria", "Categoria (0 predefinite, 7 solo autonomi).", "N");
        flag("solo-inps", "Solo dati INPS.");
        flag("fiscale-noipa", "Importa dati fiscali anche per le liquidazioni inviate a NoiPa.");
        flag("sostituto", "Importa i dati del sostituto.");
        valued("inpdap", "Sezione 2 INPS da uniemens o noipa.", "fonte");
        valued("sovrascrivi", "CU già presenti: mai o sempre.", "scelta");
        flag("forza-stampati", "Importa anche i CU già stampati.");
    }
    if (command == QLatin1String("fornitura") || command == QLatin1String("stampa"))
        valued("out", "File da scrivere.", "FILE");
    if (command == QLatin1String("fornitura")) {
        flag("forza", "Prosegue anche con dati obbligatori mancanti.");
        valued("cartella-lavoro", "Cartella delle tabelle di lavoro (predefinita: USR/KZDati).", "CARTELLA");
    }
    if (command == QLatin1String("stampa")) {
        flag("sintetico", "CU sintetico.");
        flag("ordinario", "CU ordinario.");
        valued("per-percipiente", "Un PDF per percipiente in questa cartella.", "CARTELLA");
        flag("fronte-retro", "Predispone il documento per la stampa fronte/retro.");
        flag("firma-omessa", "Firma omessa ai sensi di legge.");
    }
    if (command != QLatin1String("stato"))
        valued("cf", "Codice fiscale (ripetibile o separato da virgole).", "CF");
}

// QCommandLineParser's own texts are English: the Italian line instead.
QString parseError(const QCommandLineParser &p, const QString &command)
{
    if (!p.unknownOptionNames().isEmpty())
        return s("Opzione non valida per \"%1\": %2%3 (velcu-cli %1 --help per l'elenco).")
            .arg(command, p.unknownOptionNames().first().size() == 1 ? QStringLiteral("-") : QStringLiteral("--"),
                 p.unknownOptionNames().first());
    static const QRegularExpression missing(QStringLiteral("'(.*)'"));
    const auto m = missing.match(p.errorText());
    if (m.hasMatch())
        return s("Manca il valore dell'opzione %1.").arg(m.captured(1));
    return s("Opzioni non valide per \"%1\".").arg(command);
}

} // namespace

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const QStringList commands{QStringLiteral("import"), QStringLiteral("fornitura"), QStringLiteral("stampa"),
                               QStringLiteral("controlla"), QStringLiteral("stato")};
    if (arguments.size() < 2 || arguments.at(1) == QLatin1String("--help") || arguments.at(1) == QLatin1String("-h")) {
        (arguments.size() < 2 ? err : out) << usage();
        return arguments.size() < 2 ? Usage : Ok;
    }
    const QString command = arguments.at(1);
    if (!commands.contains(command)) {
        err << s("Comando sconosciuto: \"%1\" (import, fornitura, stampa, controlla, stato).\n").arg(command);
        return Usage;
    }
    QCommandLineParser p;
    p.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    addOptions(p, command);
    QStringList rest = arguments;
    rest.removeAt(1);
    if (!p.parse(rest)) {
        err << parseError(p, command) << '\n';
        return Usage;
    }
    if (p.isSet(QStringLiteral("help"))) {
        out << usage();
        return Ok;
    }

    CliResponder responder(err);
    ResponderScope scope(&responder);
    Command c{p, out, err, responder};
    int status = Ok;
    try {
        if (command == QLatin1String("controlla")) {
            status = controlla(c);
        } else {
            LazySession db;
            if (p.isSet(QStringLiteral("anno"))) {
                bool ok = false;
                db.year = p.value(QStringLiteral("anno")).toInt(&ok);
                if (!ok || db.year < 2000 || db.year > 2100)
                    throw UsageError{s("Anno non valido: \"%1\".").arg(p.value(QStringLiteral("anno")))};
            }
            try {
                db.config = TOvDbOptions::resolve(&p);
            } catch (const EOvException &e) {
                throw UsageError{e.message()};
            }
            if (command != QLatin1String("stato"))
                db.announceTo = &err;
            if (command == QLatin1String("import"))
                status = importa(c, db);
            else if (command == QLatin1String("fornitura"))
                status = fornitura(c, db);
            else if (command == QLatin1String("stampa"))
                status = stampa(c, db);
            else
                status = stato(c, db);
        }
    } catch (const UsageError &u) {
        err << u.text << '\n';
        status = Usage;
    } catch (const OpenFailed &) {
        status = Errors; // the connection module gave its message

    } catch (const EAbort &) {
        err << s("Operazione annullata.\n");
        status = Errors;
    } catch (const std::exception &e) {
        QString text = exceptionText(e);
        text.replace(QLatin1String("\r\n"), QLatin1String(" "));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        err << text.simplified() << '\n';
        status = Errors;
    }
    out.flush();
    err.flush();
    return status;
}

} // namespace VelCli
