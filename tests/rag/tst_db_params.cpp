// The parameter module on a real database with the demo school.
#include "support/ScriptedResponder.h"
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "rag/params/dmRagParams.h"
#include "platform/db/OvSQLConnection.h"
#include "tor/query/torCQueryText.h"
#include "tor/util/TorAnni.h"

#include <QTest>

class TestParams : public QObject
{
    Q_OBJECT
    TOvParamChoice year(const char *text) { return TOvParamChoice{true, QString::fromLatin1(text)}; }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QueryText().loadCatalogue(QStringLiteral(VELCU_STAGE_DIR "/etc/rag/rag_QueryText.cds"));
    }

    void accountingParametersOfTheYear()
    {
        auto c = TestDb::open(true);
        TdmRagParams params(c.get());
        params.xpmOvuParams.assign(TdmRagParams::ParAnfId, 56);
        QVERIFY(params.accountingParam(QStringLiteral("IDWGANFID")).toInt() > 0);
        QVERIFY(params.accountingParam(QStringLiteral("LPACOAFAM")).isValid());
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, params.accountingParam(QStringLiteral("NON_ESISTE")));
        // A year without parameters answers null, not a stale value.
        TdmRagParams other(c.get());
        other.xpmOvuParams.assign(TdmRagParams::ParAnfId, 40);
        QVERIFY(other.accountingParam(QStringLiteral("LPACOAFAM")).isNull());
    }

    void theFrameworkYearMustLieBetween2019And2026()
    {
        auto c = TestDb::open(true);
        TdmRagParams params(c.get());
        params.xpmOvuParams.assign(TdmRagParams::ParAnfId, 56);
        RecordingShell shell;
        QVERIFY(!params.checkValue(TdmRagParams::ParAnfId, TOvParamChoice{}));  // nothing chosen
        QVERIFY(!params.checkValue(TdmRagParams::ParAnfId, year("2018")));
        QVERIFY(!params.checkValue(TdmRagParams::ParAnfId, year("2027")));
        QVERIFY(params.checkValue(TdmRagParams::ParAnfId, year("2019")));
        QVERIFY(params.checkValue(TdmRagParams::ParAnfId, year("2026")));
        // Other parameters of the group only need a choice; other groups pass.
        QVERIFY(params.checkValue(TdmRagParams::ParDwgId, year("1")));
        QVERIFY(!params.checkValue(TdmRagParams::ParDwgId, TOvParamChoice{}));
        QVERIFY(params.checkValue(QStringLiteral("ALTRO"), TOvParamChoice{}));
        QVERIFY(shell.runs.isEmpty()); // the demo's chart of accounts is converted
    }

    void anUnconvertedChartOfAccountsRunsTheUpdateProgram()
    {
        auto c = TestDb::open(true);
        c->exec(QStringLiteral("DELETE FROM tnaf_nuovoanf"));
        TdmRagParams params(c.get());
        params.xpmOvuParams.assign(TdmRagParams::ParAnfId, 56);
        RecordingShell shell;
        // Accounts of type 200001 exist: fine without running anything.
        QVERIFY(params.checkValue(TdmRagParams::ParAnfId, year("2025")));
        QVERIFY(shell.runs.isEmpty());
        // No accounts and accounting not set up: the program runs, and the year
        // is refused while account type 200001 is still missing.
        c->exec(QStringLiteral("DELETE FROM tcon_conti"));
        c->exec(QStringLiteral("UPDATE tpaco_paramcontabili SET lpacoafam = 0"));
        QVERIFY(!params.checkValue(TdmRagParams::ParAnfId, year("2025")));
        QCOMPARE(shell.runs.size(), 1);
        QVERIFY(shell.runs.first().program.endsWith(QStringLiteral("aggPdC2019.exe")));
        QCOMPARE(shell.runs.first().arguments.size(), 1);
        // Accounting already set up by chart: nothing to convert.
        shell.runs.clear();
        c->exec(QStringLiteral("UPDATE tpaco_paramcontabili SET lpacoafam = 1"));
        TdmRagParams fresh(c.get());
        fresh.xpmOvuParams.assign(TdmRagParams::ParAnfId, 56);
        QVERIFY(fresh.checkValue(TdmRagParams::ParAnfId, year("2025")));
        QVERIFY(shell.runs.isEmpty());
    }

    void everyChoiceOfTheManagerIsChecked()
    {
        auto c = TestDb::open(true);
        // Made before the program connects, as at start-up.
        TOvSQLConnection *const saved = OvGlobConn;
        OvGlobConn = nullptr;
        TdmRagParams params;
        OvGlobConn = c.get();
        TOvParamManager &pm = params.xpmOvuParams;
        RecordingShell shell;
        QVERIFY(!pm.setValue(TdmRagParams::ParAnfId, TorAnni::toKey(2018)));
        QCOMPARE(pm.intValue(TdmRagParams::ParAnfId), 0); // refused: unchanged
        QVERIFY(!pm.setValue(TdmRagParams::ParAnfId, QVariant()));
        QVERIFY(!pm.setValue(TdmRagParams::ParAnfId, 2027));
        QVERIFY(pm.setValue(TdmRagParams::ParAnfId, TorAnni::toKey(2025)));
        QCOMPARE(pm.intValue(TdmRagParams::ParAnfId), 56);
        // The queries run on the connection opened after the module was made.
        QVERIFY(params.accountingParam(QStringLiteral("IDWGANFID")).toInt() > 0);
        // The check reaches the database: an unconverted chart of accounts
        // refuses the year after running the conversion program.
        c->exec(QStringLiteral("DELETE FROM tnaf_nuovoanf"));
        c->exec(QStringLiteral("DELETE FROM tcon_conti"));
        c->exec(QStringLiteral("UPDATE tpaco_paramcontabili SET lpacoafam = 0"));
        params.qquPaco.close();
        QVERIFY(!pm.setValue(TdmRagParams::ParAnfId, 57));
        QCOMPARE(shell.runs.size(), 1);
        QCOMPARE(pm.intValue(TdmRagParams::ParAnfId), 56);
        // What the program restores is taken without the check.
        pm.assign(TdmRagParams::ParAnfId, 57);
        QCOMPARE(pm.intValue(TdmRagParams::ParAnfId), 57);
        QCOMPARE(shell.runs.size(), 1);
        OvGlobConn = saved;
    }

    void thePayrollRunOfTheIniFile()
    {
        auto c = TestDb::open(true);
        TdmRagParams params(c.get());
        TRagLiquidazione r = params.checkRun(2025, TRagLiqCorrente{1, 1, 12});
        QVERIFY(r.found);
        QCOMPARE(r.descrizione, QStringLiteral("Retribuzione mensile"));
        QCOMPARE(r.fondamentale, 1);
        r = params.checkRun(2025, TRagLiqCorrente{1, 2, 11}); // no accessory run in November
        QVERIFY(!r.found);
        r = params.checkRun(2025, TRagLiqCorrente{1, 1, 0}); // not set: not even asked
        QVERIFY(!r.found);
        QCOMPARE(QueryText().lastOperation(), QStringLiteral("QRY_REGS_GRUPPO_TEST"));
    }
};

QTEST_MAIN(TestParams)
#include "tst_db_params.moc"
