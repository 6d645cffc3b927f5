#pragma once
// What the commands of velcu-cli share: usage errors, the responder that
// turns the classes' messages into lines, progress on standard error, the
// tax codes of --cf, and the session on the database (opened by a command
// once its options were found right).
#include "src/prj/unit/cli/VelCli.h"

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
#include "src/prj/unit/print/TdmVelMain.h"
#include "src/prj/unit/shell/VelSchemaUpdate.h"
#include "src/prj/unit/model/VelParametriUtente.h"
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

namespace VelCli::detail {


inline QString s(const char *text)
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

inline QString upperCode(const QString &code)
{
    return code.trimmed().toUpper();
}

// The tax codes of --cf: repeated options, commas, and the words after it.
inline QStringList taxCodes(const QCommandLineParser &p)
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
        VelParametriUtente::applyDefaults(*params);
        sos = std::make_unique<TOvQueryCollection>(&connessione->xqoMain);
        QueryText().SetQuery(QStringLiteral("QRY_SED"), *sos, 0, QStringLiteral("EXECUTE"));
        sos->paramByName(QStringLiteral("IDWGID")).setAsInteger(workgroup());
        sos->open();
        if (sos->isEmpty())
            throw EOvError(s("Configurazione dell'istituto (gruppo di lavoro %1) non trovata nel database.")
                               .arg(workgroup()));
        // The year and the workgroup go to each engine with its call (the
        // store, the options); no process-wide year or parameters are set.
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
            // a database of an earlier version on this workstation, brought up to date as the program does
            if (const QString updated = VelSchemaUpdate::bringUpToDate(config); !updated.isEmpty())
                std::fputs(qPrintable(updated + QLatin1Char('\n')), stderr);
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
inline bool allCodesFound(Command &c, const QStringList &codes, const QSet<QString> &found)
{
    QStringList missing;
    for (const QString &cf : codes)
        if (!found.contains(cf))
            missing << cf;
    if (!missing.isEmpty())
        c.err << s("Codici fiscali senza certificazione: ") << missing.join(QStringLiteral(", ")) << '\n';
    return missing.isEmpty();
}

// The status of a run: errors, warnings only, or done.
inline int outcomeStatus(const TVelRunOutcome &o)
{
    return !o.riuscito() ? Errors : o.warnings.isEmpty() ? Ok : Warnings;
}

// The worse of two statuses: errors over warnings over done.
inline int worseStatus(int a, int b)
{
    return a == Errors || b == Errors ? Errors : a == Warnings || b == Warnings ? Warnings : Ok;
}

// Runs the checker on files and prints its findings, but for the warnings
// the office already confirmed (keys of `confirmed`): Ok when clean, Warnings
// when only warnings remain, Errors otherwise.
int printCheck(Command &c, const QStringList &files, const QSet<QString> &confirmed = {});
// The supply files' check (velcu-cli controlla without --coerenza).
int controlla(Command &c);

// The print commands (velcu-cli stampa).
int stampa(Command &c, LazySession &db);
// The coherence check of the stored CUs (velcu-cli controlla --coerenza).
int coerenza(Command &c, LazySession &db);
// The CUs flagged for replacement or cancellation (velcu-cli correzione).
int correzione(Command &c, LazySession &db);
// The rows (1-based) of a supply's certifications flagged for correction.
QList<int> reservedRows(TClientDataSet &dip);
// A supply mixing corrections and ordinary CUs: says which and, without
// --misto, refuses it (true).
bool mixedSupplyRefused(Command &c, TClientDataSet &dip, const QList<int> &rows, bool correctionSupply);

// The agent's and the supplier's data (velcu-cli sostituto), and what the
// supply still needs of them ("nessun dato", "codice fiscale", ...).
int sostituto(Command &c, LazySession &db);
QStringList agentMissing(TClientDataSet &sost);
QStringList supplierMissing(TClientDataSet &forn);
// "completi" or "incompleti (a, b)".
QString completeness(const QStringList &missing);

} // namespace VelCli::detail
