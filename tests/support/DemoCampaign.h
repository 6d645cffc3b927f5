#pragma once
// The demo school of the run's engine, imported by velcu-cli as an office
// imports it in January: the structures, the UniEmens demo, the producer's
// tax code in a velcu.ini of the test's folder, "import --mese 12" and the
// agent's signature. velcu-cli runs as a process of the staged installation,
// another workstation on the same database.
//
//   DemoCampaign demo;
//   QVERIFY2(demo.setUp(), qPrintable(demo.failure));
//   const StagedProgram::Run r = demo.cli({"stampa", "--sintetico"});
#include "support/StagedProgram.h"
#include "support/TestDb.h"
#include "support/TestStore.h"

#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/import/VelUniEmensDemo.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "tor/query/torCQueryText.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

struct DemoCampaign
{
    QTemporaryDir dir;
    std::unique_ptr<TOvSQLConnection> db;
    std::unique_ptr<TTorDBCds> store;
    QStringList dbArgs;
    QString failure; // why setUp() failed

    ~DemoCampaign()
    {
        store.reset();
        db.reset();
        qunsetenv("VELCU_DB_CONFIG");
    }

    QString path(const QString &name) const { return dir.filePath(name); }

    StagedProgram::Run cli(const QStringList &args, bool withDb = true) const
    {
        return StagedProgram::run(QStringLiteral("velcu-cli"), withDb ? args + dbArgs : args);
    }

    bool setUp()
    {
        if (!dir.isValid())
            return fail(QStringLiteral("cartella temporanea non creata"));
        QueryText().loadCatalogue(QStringLiteral(VELCU_STAGE_DIR "/etc/rag/rag_QueryText.cds"));
        db = TestDb::open(true);
        seedStructures(*db, QStringLiteral("vel"), 2025);
        auto taxCode = [this](int ianaid) {
            QSqlQuery q = db->exec(QStringLiteral("SELECT sanacodfiscale FROM tana_anagrafiche WHERE ianaid = :I"),
                                   {{QStringLiteral("I"), ianaid}});
            return q.next() ? q.value(0).toString() : QString();
        };
        seedUniEmensDemo(*db, taxCode(39), taxCode(21));
        store = TestStore::open(db.get());
        dbArgs = TestDb::cliArgs();
        QFile ini(path(QStringLiteral("velcu.ini")));
        if (!ini.open(QIODevice::WriteOnly))
            return fail(QStringLiteral("velcu.ini non scritto"));
        ini.write("[FileTelematico]\nCodiceFiscaleProduttore=01234567897\n");
        ini.close();
        qputenv("VELCU_DB_CONFIG", QFile::encodeName(ini.fileName()));
        QDir().mkpath(path(QStringLiteral("lavoro")));

        StagedProgram::Run r = cli({QStringLiteral("import"), QStringLiteral("--mese"), QStringLiteral("12"),
                                    QStringLiteral("--inpdap"), QStringLiteral("uniemens")});
        if (r.status != 1) // one demo payee stops on purpose
            return fail(QStringLiteral("import: ") + r.err + r.out);
        r = cli({QStringLiteral("sostituto"), QStringLiteral("--imposta"), QStringLiteral("SSOSFIRMACOM=LAURA BIANCHI")});
        if (r.status != 0)
            return fail(QStringLiteral("sostituto: ") + r.err + r.out);
        return true;
    }

    // The CUs' tax codes, sorted.
    QStringList codes() const
    {
        QStringList out = TestStore::valuesBy(*store, "TCUD_DATICUD", "SCUDCODFIS", "SCUDMESE").keys();
        out.sort();
        return out;
    }

private:
    bool fail(const QString &why)
    {
        failure = why;
        return false;
    }
};
