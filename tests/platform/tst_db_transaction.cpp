// Transactions and generators on the engine of the run.
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvGenerator.h"
#include "platform/db/OvTransaction.h"
#include "platform/sql/OvSQLQuery.h"

#include <QSet>
#include <QSqlQuery>
#include <QtTest>

#include <thread>

namespace {

int countRows(TOvSQLConnection &db, const QString &table)
{
    QSqlQuery q = db.exec(QStringLiteral("SELECT count(*) FROM ") + table);
    q.next();
    return q.value(0).toInt();
}

void insertFund(TOvSQLConnection &db, int id)
{
    db.exec(QStringLiteral("INSERT INTO tcufo_fondicu (icufoid, scufodesc) VALUES (:ID, 'prova')"),
            {{QStringLiteral("ID"), id}});
}

}

class TstDbTransaction : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { VELCU_REQUIRE_TEST_DB(); }

    void rollbackLeavesNoRow()
    {
        auto db = TestDb::open();
        {
            TOvTransaction tx(db.get());
            tx.StartTransaction();
            QVERIFY(db->inTransaction());
            insertFund(*db, 1);
            QCOMPARE(countRows(*db, QStringLiteral("tcufo_fondicu")), 1);
            tx.Rollback();
        }
        QVERIFY(!db->inTransaction());
        QCOMPARE(countRows(*db, QStringLiteral("tcufo_fondicu")), 0);

        // Leaving the scope without Commit (an exception on the way) rolls back too.
        try {
            TOvTransaction tx(db.get());
            tx.StartTransaction();
            insertFund(*db, 2);
            insertFund(*db, 2);   // duplicate key: the statement fails
            tx.Commit();
            QFAIL("duplicate key accepted");
        } catch (const EDatabaseError &) {
        }
        QVERIFY(!db->inTransaction());
        QCOMPARE(countRows(*db, QStringLiteral("tcufo_fondicu")), 0);

        TOvTransaction tx(db.get());
        tx.StartTransaction();
        insertFund(*db, 3);
        tx.Commit();
        QCOMPARE(countRows(*db, QStringLiteral("tcufo_fondicu")), 1);
        // Another workstation sees the committed row.
        TOvSQLConnection other(TestDb::config());
        other.openOrThrow();
        QCOMPARE(countRows(other, QStringLiteral("tcufo_fondicu")), 1);
    }

    // A statement the connection keeps between runs: each run reads what is
    // committed now (another workstation's rows included), and one refused
    // inside a transaction runs again after the rollback.
    // The fault seam: the Nth statement of a transaction of three inserts
    // refused as the database refuses one; the caller's rollback leaves no
    // row, the connection is usable again, nothing counted but what ran.
    void aRefusedStatementFailsAsTheDatabaseWould_data()
    {
        QTest::addColumn<int>("failAt");
        QTest::addColumn<QString>("text");
        QTest::newRow("BEGIN") << 1 << QStringLiteral("BEGIN");
        QTest::newRow("insert") << 3 << QStringLiteral("INSERT");
        QTest::newRow("COMMIT") << 5 << QStringLiteral("COMMIT");
    }
    void aRefusedStatementFailsAsTheDatabaseWould()
    {
        QFETCH(int, failAt);
        QFETCH(QString, text);
        auto db = TestDb::open();
        int seen = 0;
        QString refused;
        db->setStatementFault([&](const QString &sql) {
            if (++seen != failAt)
                return false;
            refused = sql;
            return true;
        });
        bool raised = false;
        try {
            TOvTransaction tx(db.get());
            tx.StartTransaction();
            for (int id = 1; id <= 3; ++id) {
                try {
                    insertFund(*db, id);
                } catch (const EDatabaseError &) {
                    // a caller that goes on after a refusal: the server
                    // refuses the rest of the transaction too
                    if (!db->isPostgres())
                        throw;
                }
            }
            tx.Commit();
        } catch (const EDatabaseError &e) {
            raised = true;
            QVERIFY2(e.message().startsWith(QStringLiteral("Errore del database")), qPrintable(e.message()));
        }
        db->setStatementFault({});
        QVERIFY(raised);
        QVERIFY2(refused.startsWith(text), qPrintable(refused));
        QVERIFY(!db->inTransaction());
        QCOMPARE(countRows(*db, QStringLiteral("tcufo_fondicu")), 0);
        insertFund(*db, 9);
        QCOMPARE(countRows(*db, QStringLiteral("tcufo_fondicu")), 1);
    }

    void keptStatementsReadTheDatabaseAsItIsNow()
    {
        auto db = TestDb::open();
        TOvSQLConnection other(TestDb::config());
        QVERIFY(other.open());
        TOvSQLQuery q(db.get());
        auto ids = [&] {
            q.setCommandText(QStringLiteral("SELECT icufoid FROM tcufo_fondicu WHERE icufoid >= :MIN ORDER BY icufoid"));
            q.paramByName(QStringLiteral("MIN")).setAsInteger(9000);
            q.open();
            const int n = q.recordCount();
            q.close();
            return n;
        };
        const qint64 before = db->statementsRun();
        QCOMPARE(ids(), 0);
        insertFund(other, 9001);
        QCOMPARE(ids(), 1);
        {
            TOvTransaction tr(db.get());
            tr.StartTransaction();
            insertFund(*db, 9002);
            QCOMPARE(ids(), 2);
            tr.Commit();
        }
        insertFund(other, 9003);
        QCOMPARE(ids(), 3);
        QCOMPARE(db->statementsRun() - before, 5);

        TOvSQLQuery div(db.get());
        auto divide = [&](int by) {
            div.setCommandText(QStringLiteral("SELECT 10 / :D AS r"));
            div.paramByName(QStringLiteral("D")).setAsInteger(by);
            div.open();
            const QVariant r = div.fieldByName(QStringLiteral("R")).value();
            div.close();
            return r;
        };
        {
            TOvTransaction tr(db.get());
            tr.StartTransaction();
            if (TestDb::isPostgres()) {
                QVERIFY_THROWS_EXCEPTION(EDatabaseError, divide(0));
                tr.Rollback();
            } else {
                tr.Commit();
            }
        }
        QCOMPARE(divide(5).toInt(), 2);
        QCOMPARE(countRows(other, QStringLiteral("tcufo_fondicu WHERE icufoid >= 9000")), 3);
    }

    void misuseIsAProgrammingError()
    {
        auto db = TestDb::open();
        TOvTransaction tx(db.get());
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, tx.Commit());
        tx.Rollback();   // harmless when not started
        tx.StartTransaction();
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, tx.StartTransaction());
        TOvTransaction nested(db.get());
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, nested.StartTransaction());
        tx.Commit();
        QVERIFY(!db->inTransaction());

        // The global connection is the default one.
        OvGlobConn = db.get();
        TOvTransaction global;
        global.StartTransaction();
        QVERIFY(db->inTransaction());
        global.Rollback();
        OvGlobConn = nullptr;
    }

    void generatorGivesIncreasingDistinctValues()
    {
        auto db = TestDb::open();
        int last = 0;
        for (int i = 0; i < 50; ++i) {
            const int v = GenerateID(1, *db, QStringLiteral("TAFI_ANAFISCALE"));
            QVERIFY2(v > last, qPrintable(QStringLiteral("%1 after %2").arg(v).arg(last)));
            last = v;
        }
        // Several at once: the generator moves by that many.
        const int block = GenerateID(5, *db, QStringLiteral("TAFI_ANAFISCALE"));
        QCOMPARE(block, last + 5);
        // Generators are independent and the name is not case-sensitive.
        QCOMPARE(GenerateID(1, *db, QStringLiteral("tcds_struttura")), 1);

        // Inside a transaction too.
        TOvTransaction tx(db.get());
        tx.StartTransaction();
        QVERIFY(GenerateID(1, *db, QStringLiteral("TAFI_ANAFISCALE")) > block);
        tx.Commit();
    }

    void generatorErrors()
    {
        auto db = TestDb::open();
        try {
            GenerateID(1, *db, QStringLiteral("TNON_ESISTE"));
            QFAIL("unknown generator accepted");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("TNON_ESISTE")), qPrintable(e.message()));
        }
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, GenerateID(1, *db, QStringLiteral("x'; DROP TABLE tafi")));
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, GenerateID(0, *db, QStringLiteral("TAFI_ANAFISCALE")));
        // The connection is still usable.
        QCOMPARE(GenerateID(1, *db, QStringLiteral("TAFI_ANAFISCALE")), 1);
    }

    void twoWorkstationsNeverGetTheSameKey()
    {
        auto db = TestDb::open();
        const TOvDbConfig config = TestDb::config();
        constexpr int perThread = 40;
        QList<int> drawn[2];
        QString failure[2];
        auto worker = [&](int n) {
            try {
                TOvSQLConnection conn(config);
                conn.openOrThrow();
                for (int i = 0; i < perThread; ++i) {
                    // Half of the draws inside a transaction of their own.
                    TOvTransaction tx(&conn);
                    if (i % 2)
                        tx.StartTransaction();
                    drawn[n] << GenerateID(1, conn, QStringLiteral("TAFI_ANAFISCALE"));
                    if (i % 2)
                        tx.Commit();
                }
            } catch (const EOvException &e) {
                failure[n] = e.message();
            }
        };
        std::thread a(worker, 0), b(worker, 1);
        a.join();
        b.join();
        QVERIFY2(failure[0].isEmpty(), qPrintable(failure[0]));
        QVERIFY2(failure[1].isEmpty(), qPrintable(failure[1]));
        QSet<int> all;
        for (const auto &list : drawn)
            for (int v : list)
                all.insert(v);
        QCOMPARE(all.size(), 2 * perThread);
    }
};

QTEST_GUILESS_MAIN(TstDbTransaction)
#include "tst_db_transaction.moc"
