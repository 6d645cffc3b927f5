// Year objects read their bounds from the payroll year tables.
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/core/OvParamManager.h"
#include "tor/util/TorAnni.h"

#include <QTest>

class TestYears : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { VELCU_REQUIRE_TEST_DB(); }

    void boundsOfTheFinancialAndSchoolYear()
    {
        auto c = TestDb::open(true);
        TOvParamManager pm;
        pm.declare(QStringLiteral("OVUP_AnfId"), QStringLiteral("OVUC_Params"), 56);
        pm.declare(QStringLiteral("OVUP_AnsId"), QStringLiteral("OVUC_Params"));
        TTorAnnoFinanziario anf;
        anf.setParams(&pm);
        anf.setConnection(c.get());
        anf.load();
        QCOMPARE(anf.start(), QStringLiteral("01/01/2025"));
        QCOMPARE(anf.end(), QStringLiteral("12/31/2025"));
        QCOMPARE(anf.yearText(), QStringLiteral("2025"));

        anf.setYearText(QStringLiteral("2024"));
        QCOMPARE(pm.intValue(QStringLiteral("OVUP_AnfId")), 55);
        QCOMPARE(anf.yearText(), QStringLiteral("2024"));

        // A year the table does not hold has no bounds.
        anf.setYearText(QStringLiteral("1999"));
        QVERIFY(anf.end().isEmpty());

        TTorAnnoScolastico ans;
        ans.setParams(&pm);
        ans.setConnection(c.get());
        QVERIFY_THROWS_EXCEPTION(EOvError, ans.setYearText(QStringLiteral("anno")));
    }

    void aYearObjectWithoutParametersIsAProgrammingError()
    {
        TTorAnnoFinanziario anf;
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, anf.key());
    }
};

QTEST_GUILESS_MAIN(TestYears)
#include "tst_db_years.moc"
