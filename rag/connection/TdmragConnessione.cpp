#include "rag/connection/TdmragConnessione.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/InstallRoot.h"
#include "platform/db/OvTransaction.h"
#include "platform/framework/OvMessages.h"
#include "rag/connection/ragReportDefs.h"
#include "tor/query/torCQueryText.h"

#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QSqlQuery>

#include <array>
#include <optional>

namespace {

// Hourglass while the connection does its work, when there is a screen.
class WaitCursor
{
public:
    WaitCursor()
    {
        if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
            QGuiApplication::setOverrideCursor(Qt::WaitCursor);
            m_set = true;
        }
    }
    ~WaitCursor()
    {
        if (m_set)
            QGuiApplication::restoreOverrideCursor();
    }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;

private:
    bool m_set = false;
};

std::optional<std::array<qint64, 3>> versionParts(const QString &text)
{
    std::array<qint64, 3> parts{0, 0, 0};
    const QStringList items = text.trimmed().split(QLatin1Char('.'));
    for (int i = 0; i < 3 && i < items.size(); ++i) {
        bool ok = false;
        parts[size_t(i)] = items[i].trimmed().toLongLong(&ok);
        if (!ok)
            return std::nullopt;
    }
    return parts;
}

QString applicationTitle()
{
    const QString display = QGuiApplication::applicationDisplayName();
    return display.isEmpty() ? QCoreApplication::applicationName() : display;
}

}

TdmragConnessione::TdmragConnessione(QObject *parent)
    : TdmragConnessione(defaultPaths(), parent)
{
}

TdmragConnessione::TdmragConnessione(const Paths &paths, QObject *parent)
    : TdmOvConnection(parent), m_paths(paths)
{
    xqoMain.CodAppl = QStringLiteral("RAG");
    xqoMain.DBVersion = QStringLiteral("6.97.29");
    // The database is reached only through the framework's own open path,
    // which sets the global connection first.
    xqoMain.BeforeConnect = [](TOvSQLConnection &) {
        if (!OvGlobConn)
            throw EOvError(QStringLiteral("Connessione al database non consentita"));
    };
    qquAppoggio.setConnection(&xqoMain);
    qquAppoggio.NoMetadata = true;
    cdsAggVer.setFieldDefs({TFieldDef{QStringLiteral("Anno"), TFieldType::Integer, 0},
                            TFieldDef{QStringLiteral("Versione"), TFieldType::Integer, 0}});
    cdsAggVer.setFiltered(true);

    loadCatalogue();
}

TdmragConnessione::~TdmragConnessione() = default;

TdmragConnessione::Paths TdmragConnessione::defaultPaths()
{
    Paths p;
#ifdef Q_OS_WIN
    p.buildXml = QStringLiteral("P:/rag-retribuzioni/etc/rag/rag_QueryText.xml");
#endif
    p.etcDir = InstallRoot::etcDir();
    return p;
}

QString TdmragConnessione::catalogueFile() const
{
    return QDir(m_paths.etcDir).filePath(QStringLiteral("rag_QueryText.cds"));
}

QString TdmragConnessione::reportFile() const
{
    return QDir(m_paths.etcDir).filePath(QStringLiteral("rag_Report.xml"));
}

void TdmragConnessione::loadCatalogue()
{
    TTorQueryText &qt = QueryText();
    if (!m_paths.buildXml.isEmpty() && QFileInfo::exists(m_paths.buildXml)) {
        qt.loadFromXml(m_paths.buildXml);
        const QFileInfo xml(m_paths.buildXml);
        const QString cds = xml.dir().filePath(xml.completeBaseName() + QStringLiteral(".cds"));
        const QFileInfo target(cds);
        if (!target.exists() || target.isWritable())
            qt.saveCatalogue(cds);
    }
    qt.CheckCertificate = true;
    // Nothing certified until a catalogue file is read now.
    qt.ExpectedCertificate.clear();
    qt.CertificateFile.clear();
    const QString cds = catalogueFile();
    if (QFileInfo::exists(cds))
        qt.loadCatalogue(cds);
}

bool TdmragConnessione::versionAtLeast(const QString &program, const QString &required)
{
    if (program == required)
        return true;
    const auto p = versionParts(program);
    const auto r = versionParts(required);
    if (!p || !r)
        return false;
    for (size_t i = 0; i < 3; ++i)
        if ((*p)[i] != (*r)[i])
            return (*p)[i] > (*r)[i];
    return true;
}

QStringList TdmragConnessione::repairStatements()
{
    // Written without table aliases in SET: neither PostgreSQL nor SQLite
    // accept a qualified column there.
    return {
        // Withholdings 14 and 15 with no employee tax withheld have no taxable either.
        QStringLiteral("UPDATE TVARR_VARRITENUTE SET FVARRIMPONIBILEDIP = 0, FVARRPERCIMPDIP = 0 "
                       "WHERE IRICEID IN (14,15) AND FVARRRITDIP = 0 AND FVARRIMPONIBILEDIP > 0"),
        // The same on the employer's side.
        QStringLiteral("UPDATE TVARR_VARRITENUTE SET FVARRIMPONIBILEAMM = 0, FVARRPERCIMPAMM = 0 "
                       "WHERE IRICEID IN (14,15) AND FVARRRITAMM = 0 AND FVARRIMPONIBILEAMM > 0"),
        // Field map of the payroll side's person structure and its row counter
        // realigned with the rows stored; a structure without rows keeps its
        // counter (a null counter would break the next save). Key 13 is that
        // structure's in the payroll database; in a database set up by this
        // program alone it may be anything, so none of this program's own
        // structures is ever touched.
        QStringLiteral("UPDATE TCDS_STRUTTURA SET "
                       "SCDSFIELDMAP = 'saficognome=Cognome;safinome=Nome;saficodfiscale=CFLavoratore;"
                       "safigruppoana=Matricola+Qualifica2', "
                       "ICDSRIGO = COALESCE((SELECT MAX(FIS.IFISRIGO) FROM TFIS_DATIFISCALI FIS "
                       "WHERE FIS.ICDSID = TCDS_STRUTTURA.ICDSID), ICDSRIGO, 0) "
                       "WHERE (ICDSID = 13) AND LOWER(SCDSPROGRAMMA) <> 'vel'"),
        // Persons without any datum.
        QStringLiteral("DELETE FROM TAFI_ANAFISCALE WHERE SAFICODFISCALE IS NULL AND SAFICOGNOME IS NULL "
                       "AND SAFINOME IS NULL AND SAFICODFISSOST IS NULL AND SAFIGRUPPOANA IS NULL"),
        // Funds without a kind of school are for state schools.
        QStringLiteral("UPDATE TCUFO_FONDICU SET ICUFOTIPOSCUOLA = 1 WHERE COALESCE(ICUFOTIPOSCUOLA,0)=0"),
    };
}

bool TdmragConnessione::refuse(const QString &text)
{
    OvMessageBox(text, MB_OK | MB_ICONERROR);
    return false;
}

bool TdmragConnessione::OpenConnection()
{
    TTorQueryText &qt = QueryText();

    if (!qt.certificateValid())
        return refuse(QStringLiteral("Certificato query non trovato od errato.")
                      + QStringLiteral(" Aggiornare il programma \"%1\"").arg(compensationAppName()));

    const QString rowName = TTorQueryText::versionRowName();
    const QString required = qt.requiredVersion(rowName);
    const QString program = QCoreApplication::applicationVersion();
    if (required.isNull())
        return refuse(QStringLiteral("Il catalogo delle query non indica la versione minima del programma "
                                     "\"%1\" (riga %2 mancante). Aggiornare il programma.")
                          .arg(applicationTitle(), rowName));
    if (!versionAtLeast(program, required))
        return refuse(QStringLiteral("Il programma \"%1\" versione %2 non può usare questo catalogo delle query: "
                                     "è richiesta la versione %3 o successiva. Aggiornare il programma.")
                          .arg(applicationTitle(), program.isEmpty() ? QStringLiteral("?") : program, required));

    TOvSQLConnection *previous = OvGlobConn;
    bool connected = false;
    try {
        connected = TdmOvConnection::OpenConnection();
    } catch (const std::exception &e) {
        showException(e);
        return false;
    }
    if (!connected)
        return refuse(xqoMain.lastErrorText());

    try {
        WaitCursor hourglass;
        TOvTransaction tx(&xqoMain);
        tx.StartTransaction();
        runRepairs();
        registerReports();
        tx.Commit();
    } catch (const std::exception &e) {
        // The transaction is rolled back by now: close again, as if never opened.
        qquAppoggio.close();
        CloseConnection();
        OvGlobConn = previous;
        showException(e);
        return false;
    }
    return true;
}

bool TdmragConnessione::mayRun(const QString &repair)
{
    static const QRegularExpression target(QStringLiteral("^\\s*(UPDATE|DELETE\\s+FROM)\\s+([A-Za-z_][A-Za-z0-9_]*)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = target.match(repair);
    if (!m.hasMatch())
        return true;
    const QString privilege = m.captured(1).startsWith(QLatin1Char('U'), Qt::CaseInsensitive) ? QStringLiteral("UPDATE")
                                                                                               : QStringLiteral("DELETE");
    QSqlQuery q = xqoMain.exec(QStringLiteral("SELECT has_table_privilege(:T, :P)"),
                               {{QStringLiteral("T"), m.captured(2).toLower()}, {QStringLiteral("P"), privilege}});
    return q.next() && q.value(0).toBool();
}

void TdmragConnessione::runRepairs()
{
    const QStringList repairs = repairStatements();
    for (int i = 0; i < repairs.size(); ++i) {
        // A workstation of a shared server reads the payroll tables and may
        // not write them (velcu-db postazioni, which runs these repairs as
        // the tables' owner): a repair it may not run is left to the server's
        // set-up. Asked before, since a refused statement would end the
        // transaction. A table that is not there fails the question as it
        // would fail the repair: said as the repair's failure.
        try {
            if (xqoMain.isPostgres() && !mayRun(repairs[i]))
                continue;
            xqoMain.exec(repairs[i]);
        } catch (const EDatabaseError &e) {
            throw EDatabaseError(QStringLiteral("Correzione dati %1 di %2 non riuscita. %3")
                                     .arg(i + 1).arg(repairs.size()).arg(e.message()));
        }
    }
}

void TdmragConnessione::registerReports()
{
    TTorQueryText &qt = QueryText();
    const QString file = QFileInfo(reportFile()).absoluteFilePath();
    if (QFileInfo::exists(file)) {
        const QList<TRagReportDef> defs = ragReadReportDefs(file);
        qt.SetQuery(QStringLiteral("QRY_YRPT"), qquAppoggio, 0, QStringLiteral("EXECUTE"));
        TTorQueryText::FormatQuery(qquAppoggio, {QString()});
        for (const TRagReportDef &d : defs) {
            qquAppoggio.paramByName(QStringLiteral("IYRFOID")).setAsInteger(d.IYRFOID);
            qquAppoggio.paramByName(QStringLiteral("SYRPTDESC")).setAsString(d.SYRPTDESC);
            qquAppoggio.paramByName(QStringLiteral("IYRPTVERSION")).setAsInteger(d.IYRPTVERSION);
            TParam &note = qquAppoggio.paramByName(QStringLiteral("SYRPTNOTE"));
            note.setDataType(TFieldType::Memo);
            note.setValue(d.SYRPTNOTE.isNull() ? QVariant() : QVariant(d.SYRPTNOTE));
            TParam &report = qquAppoggio.paramByName(QStringLiteral("BYRPTREPORT"));
            report.setDataType(TFieldType::Blob);
            report.setValue(d.BYRPTREPORT.isNull() ? QVariant() : QVariant(d.BYRPTREPORT));
            TParam &var = qquAppoggio.paramByName(QStringLiteral("BYRPTVAR"));
            var.setDataType(TFieldType::Blob);
            var.setValue(d.BYRPTVAR.isNull() ? QVariant() : QVariant(d.BYRPTVAR));
            qquAppoggio.paramByName(QStringLiteral("IYRPTID")).setAsInteger(d.IYRPTID);
            qquAppoggio.execSQL();
        }
    }

    qt.SetQuery(QStringLiteral("QRY_YAPVRFO"), qquAppoggio, 0, QStringLiteral("EXECUTE"));
    qquAppoggio.paramByName(QStringLiteral("IYAPVRFOID")).setAsInteger(11006);
    qquAppoggio.paramByName(QStringLiteral("IYAPPID")).setAsInteger(11);
    qquAppoggio.execSQL();

    qt.SetQuery(QStringLiteral("QRY_YRFO"), qquAppoggio, 0, QStringLiteral("EXECUTE"));
    qquAppoggio.paramByName(QStringLiteral("IYRFOID")).setAsInteger(11006);
    qquAppoggio.paramByName(QStringLiteral("IYRFOID_P")).setAsInteger(11001);
    qquAppoggio.paramByName(QStringLiteral("SYRFODESC")).setAsString(QStringLiteral("Registro compensi"));
    qquAppoggio.execSQL();
}
