// Periods of the fiscal store: ptor_getcrofiscale finds or creates exactly
// one period per program, year and month, also with two workstations racing.
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvCroFiscale.h"
#include "platform/db/OvTransaction.h"

#include <QSqlQuery>
#include <QtTest>

#include <atomic>
#include <thread>

namespace {

int periodCount(TOvSQLConnection &db)
{
    QSqlQuery q = db.exec(QStringLiteral("SELECT count(*) FROM tcrf_crofiscale"));
    q.next();
    return q.value(0).toInt();
}

}

class TstDbCroFiscale : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { VELCU_REQUIRE_TEST_DB(); }

    void createsOnceAndFindsAgain()
    {
        auto db = TestDb::open();
        const int id = getCroFiscale(*db, QStringLiteral("vel"), 2025, 3);
        QVERIFY(id > 0);
        QCOMPARE(getCroFiscale(*db, QStringLiteral("vel"), 2025, 3), id);
        QCOMPARE(getCroFiscale(*db, QStringLiteral("VEL"), 2025, 3), id);   // program in any case
        QCOMPARE(periodCount(*db), 1);

        const int other = getCroFiscale(*db, QStringLiteral("vel"), 2025, 4);
        QVERIFY(other != id);
        QVERIFY(getCroFiscale(*db, QStringLiteral("rag"), 2025, 3) != id);
        QCOMPARE(periodCount(*db), 3);

        QSqlQuery q = db->exec(QStringLiteral("SELECT scrfprogramma, icrfanno, icrfmese FROM tcrf_crofiscale "
                                              "WHERE icrfid = :ID"), {{QStringLiteral("ID"), id}});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("vel"));
        QCOMPARE(q.value(1).toInt(), 2025);
        QCOMPARE(q.value(2).toInt(), 3);
    }

    void yearOrMonthBelowOneIsNull()
    {
        auto db = TestDb::open();
        const int everyMonth = getCroFiscale(*db, QStringLiteral("vel"), 2025, -1);
        QCOMPARE(getCroFiscale(*db, QStringLiteral("vel"), 2025, 0), everyMonth);
        const int noPeriod = getCroFiscale(*db, QStringLiteral("vel"), 0, -1);
        QVERIFY(noPeriod != everyMonth);
        QCOMPARE(periodCount(*db), 2);

        QSqlQuery q = db->exec(QStringLiteral("SELECT icrfanno, icrfmese FROM tcrf_crofiscale WHERE icrfid = :ID"),
                               {{QStringLiteral("ID"), noPeriod}});
        QVERIFY(q.next());
        QVERIFY(q.value(0).isNull());
        QVERIFY(q.value(1).isNull());

        // The shared statement text, with the values below one passed as they come.
        QSqlQuery direct = db->exec(croFiscaleSql(), {{QStringLiteral("SCRFPROGRAMMA"), QStringLiteral("Vel")},
                                                      {QStringLiteral("ICRFANNO"), 2025},
                                                      {QStringLiteral("ICRFMESE"), -1}});
        QVERIFY(direct.next());
        QCOMPARE(direct.value(QStringLiteral("icrfid")).toInt(), everyMonth);
        direct.finish();

        if (TestDb::isPostgres()) {
            QSqlQuery table = db->exec(QStringLiteral("SELECT * FROM ptor_getcrofiscale(:P, :A, :M)"),
                                       {{QStringLiteral("P"), QStringLiteral("vel")},
                                        {QStringLiteral("A"), 2025},
                                        {QStringLiteral("M"), QVariant(QMetaType(QMetaType::Int))}});
            QVERIFY(table.next());
            QCOMPARE(table.value(QStringLiteral("icrfid")).toInt(), everyMonth);
        }
    }

    void refusesAMissingProgram()
    {
        auto db = TestDb::open();
        QVERIFY_THROWS_EXCEPTION(EOvError, getCroFiscale(*db, QStringLiteral("  "), 2025, 1));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError,
                                 db->exec(croFiscaleSql(), {{QStringLiteral("SCRFPROGRAMMA"), QString()},
                                                            {QStringLiteral("ICRFANNO"), 2025},
                                                            {QStringLiteral("ICRFMESE"), 1}}));
        QCOMPARE(periodCount(*db), 0);
    }

    void rolledBackPeriodIsGone()
    {
        auto db = TestDb::open();
        {
            TOvTransaction tx(db.get());
            tx.StartTransaction();
            getCroFiscale(*db, QStringLiteral("vel"), 2025, 12);
            QCOMPARE(periodCount(*db), 1);
        }
        QCOMPARE(periodCount(*db), 0);
        QVERIFY(getCroFiscale(*db, QStringLiteral("vel"), 2025, 12) > 0);
        QCOMPARE(periodCount(*db), 1);
    }

    // Workstation A creates a period inside its transaction; B asks for the
    // same one meanwhile and must wait for A, then get A's key.
    void secondWorkstationWaitsAndGetsTheSameKey()
    {
        auto a = TestDb::open();
        TOvTransaction tx(a.get());
        tx.StartTransaction();
        const int idA = getCroFiscale(*a, QStringLiteral("vel"), 2026, 1);

        const TOvDbConfig config = TestDb::config();
        std::atomic<bool> done{false};
        int idB = 0;
        QString failure;
        std::thread b([&]() {
            try {
                TOvSQLConnection conn(config);
                conn.openOrThrow();
                idB = getCroFiscale(conn, QStringLiteral("VEL"), 2026, 1);
            } catch (const EOvException &e) {
                failure = e.message();
            }
            done = true;
        });
        QTest::qWait(300);
        const bool finishedEarly = done;
        tx.Commit();
        b.join();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QVERIFY2(!finishedEarly, "B did not wait for A's uncommitted period");
        QCOMPARE(idB, idA);
        QCOMPARE(periodCount(*a), 1);
    }

    void manyWorkstationsRacingMakeOnePeriodEach()
    {
        auto db = TestDb::open();
        const TOvDbConfig config = TestDb::config();
        constexpr int workers = 4;
        constexpr int months = 12;
        int ids[workers][months] = {};
        QString failure[workers];
        std::vector<std::thread> threads;
        for (int w = 0; w < workers; ++w) {
            threads.emplace_back([&, w]() {
                try {
                    TOvSQLConnection conn(config);
                    conn.openOrThrow();
                    for (int i = 0; i < months; ++i) {
                        const int month = (w % 2 ? months - i : i + 1);   // half of them backwards
                        ids[w][month - 1] = getCroFiscale(conn, QStringLiteral("vel"), 2027, month);
                    }
                } catch (const EOvException &e) {
                    failure[w] = e.message();
                }
            });
        }
        for (auto &t : threads)
            t.join();
        for (int w = 0; w < workers; ++w)
            QVERIFY2(failure[w].isEmpty(), qPrintable(failure[w]));
        for (int m = 0; m < months; ++m)
            for (int w = 1; w < workers; ++w)
                QCOMPARE(ids[w][m], ids[0][m]);
        QCOMPARE(periodCount(*db), months);
    }
};

QTEST_GUILESS_MAIN(TstDbCroFiscale)
#include "tst_db_crofiscale.moc"
