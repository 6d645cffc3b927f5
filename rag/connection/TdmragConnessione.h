#pragma once
// The program's connection module, created first at start-up.
//
// Creation loads the query catalogue (QueryText()):
//   1. from the build-time XML source when that file exists, saving the
//      dataset file beside it (same path, ".cds", unless that file is
//      read-only) together with its certificate;
//   2. with the certificate check on, from "rag_QueryText.cds" of the etc
//      folder when it exists, keeping the certificate it should have.
// A catalogue file that cannot be read raises EOvError from the constructor.
//
// OpenConnection() refuses (false, after an error box) when the catalogue's
// certificate is missing or wrong, when the catalogue has no version row for
// this program or asks for a newer program, or when the database cannot be
// reached. Once connected it runs, under the hourglass and in one
// transaction, the five fixed data repairs and the registration of the report
// definitions of "rag_Report.xml"; if any of them fails everything is rolled
// back, the connection is closed again and the error shown (false).
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/dmOvConnection.h"
#include "platform/sql/OvSQLQuery.h"

#include <QStringList>

class TdmragConnessione : public TdmOvConnection
{
    Q_OBJECT
public:
    struct Paths
    {
        QString buildXml; // build-time catalogue source; empty: none
        QString etcDir;   // catalogue, certificate and report definitions
    };

    // Default paths: the fixed build-time path (Windows installations only)
    // and the installation's etc folder.
    explicit TdmragConnessione(QObject *parent = nullptr);
    explicit TdmragConnessione(const Paths &paths, QObject *parent = nullptr);
    ~TdmragConnessione() override;

    bool OpenConnection() override;

    TOvSQLQuery qquAppoggio;   // scratch query on xqoMain
    TClientDataSet cdsAggVer;  // Anno, Versione

    const Paths &paths() const { return m_paths; }
    QString catalogueFile() const;   // etc + "rag_QueryText.cds"
    QString reportFile() const;      // etc + "rag_Report.xml"

    static Paths defaultPaths();
    // Program version P against the required version R: equal texts pass;
    // otherwise the first three dot-separated parts compare as numbers (a
    // missing part is 0) and P passes when greater at the first difference,
    // or when all three are equal. A part that is not a number fails.
    static bool versionAtLeast(const QString &program, const QString &required);
    // The payroll application named in the certificate message.
    static QString compensationAppName() { return QStringLiteral("Retribuzioni"); }
    // The fixed repairs, in the order they run.
    static QStringList repairStatements();

private:
    void loadCatalogue();
    bool refuse(const QString &text);
    void runRepairs();
    // False when this login may not run the repair (PostgreSQL privileges).
    bool mayRun(const QString &repair);
    void registerReports();

    Paths m_paths;
};
