// SQL datasets and query collections on the engine of the run.
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvTransaction.h"
#include "platform/sql/OvQueryCollection.h"
#include "platform/sql/OvSQLQuery.h"

#include <QSqlQuery>
#include <QtTest>

namespace {

Currency money(const char *text)
{
    return *Currency::parse(QString::fromLatin1(text));
}

// A table with one column of every kind the program reads.
void createSample(TOvSQLConnection &db)
{
    const QString blob = db.isPostgres() ? QStringLiteral("BYTEA") : QStringLiteral("BLOB");
    db.exec(QStringLiteral("CREATE TABLE tprova (iid INTEGER NOT NULL PRIMARY KEY, fimporto NUMERIC(18,4), "
                           "fperc NUMERIC(20,6), ddata DATE, tmomento TIMESTAMP, scodice VARCHAR(10), "
                           "snota TEXT, bdati %1)").arg(blob));
    db.exec(QStringLiteral("INSERT INTO tprova (iid, fimporto, fperc, ddata, tmomento, scodice, snota, bdati) "
                           "VALUES (:ID, :IMP, :PERC, :DATA, :MOM, :COD, :NOTA, :DATI)"),
            {{QStringLiteral("ID"), 1},
             {QStringLiteral("IMP"), QStringLiteral("123456789.1234")},
             {QStringLiteral("PERC"), QStringLiteral("12.345678")},
             {QStringLiteral("DATA"), QDate(2025, 12, 31)},
             {QStringLiteral("MOM"), QStringLiteral("2025-03-04 05:06:07")},
             {QStringLiteral("COD"), QStringLiteral("ABC")},
             {QStringLiteral("NOTA"), QStringLiteral("una nota lunga")},
             {QStringLiteral("DATI"), QByteArray("\x00\x01\xff", 3)}});
    db.exec(QStringLiteral("INSERT INTO tprova (iid, fimporto, ddata, scodice) VALUES (2, 0.5, '2025-01-01', 'X')"));
    db.exec(QStringLiteral("INSERT INTO tprova (iid, fimporto, ddata, scodice) VALUES (3, -7, '2024-12-31', NULL)"));
}

int countRows(TOvSQLConnection &db, const QString &where = QString())
{
    QSqlQuery q = db.exec(QStringLiteral("SELECT count(*) FROM tprova ") + where);
    q.next();
    return q.value(0).toInt();
}

}

class TstDbSqlQuery : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { VELCU_REQUIRE_TEST_DB(); }

    void fieldsTakeTheColumnTypes()
    {
        auto db = TestDb::openEmpty();
        createSample(*db);
        TOvSQLQuery q(db.get());
        q.setCommandText(QStringLiteral("SELECT * FROM tprova ORDER BY iid"));
        q.open();
        QCOMPARE(q.recordCount(), 3);
        QCOMPARE(q.fieldNames(), QStringList({"IID", "FIMPORTO", "FPERC", "DDATA", "TMOMENTO", "SCODICE", "SNOTA",
                                              "BDATI"}));
        QCOMPARE(q.fieldByName("IID").dataType(), TFieldType::Integer);
        QCOMPARE(q.fieldByName("FIMPORTO").dataType(), TFieldType::Currency);
        QCOMPARE(q.fieldByName("FPERC").dataType(), TFieldType::Float);
        QCOMPARE(q.fieldByName("DDATA").dataType(), TFieldType::Date);
        QCOMPARE(q.fieldByName("TMOMENTO").dataType(), TFieldType::DateTime);
        QCOMPARE(q.fieldByName("SCODICE").dataType(), TFieldType::String);
        QCOMPARE(q.fieldByName("SCODICE").size(), 10);
        QCOMPARE(q.fieldByName("SNOTA").dataType(), TFieldType::String);
        QCOMPARE(q.fieldByName("SNOTA").size(), 0);
        QCOMPARE(q.fieldByName("BDATI").dataType(), TFieldType::Blob);

        // Values exactly as stored: a 13-digit amount keeps its four decimals.
        QCOMPARE(q.fieldByName("FIMPORTO").asCurrency(), money("123456789.1234"));
        QCOMPARE(q.fieldByName("FPERC").asFloat(), 12.345678);
        QCOMPARE(q.fieldByName("DDATA").asDate(), QDate(2025, 12, 31));
        QCOMPARE(q.fieldByName("TMOMENTO").asDateTime(), QDateTime(QDate(2025, 3, 4), QTime(5, 6, 7)));
        QCOMPARE(q.fieldByName("SNOTA").asString(), QStringLiteral("una nota lunga"));
        QCOMPARE(q.fieldByName("BDATI").asBlob(), QByteArray("\x00\x01\xff", 3));
        q.next();
        QCOMPARE(q.fieldByName("FIMPORTO").asCurrency(), money("0.5"));
        QVERIFY(q.fieldByName("FPERC").isNull());
        q.next();
        QCOMPARE(q.fieldByName("FIMPORTO").asCurrency(), money("-7"));
        QVERIFY(q.fieldByName("SCODICE").isNull());
    }

    void expressionsTakeTheTypeOfTheirValues()
    {
        auto db = TestDb::openEmpty();
        createSample(*db);
        TOvSQLQuery q(db.get());
        q.setCommandText(QStringLiteral("SELECT count(*) AS totale, SUM(p.fimporto) AS somma, MAX(p.ddata) AS ultima, "
                                        "'testo' AS etichetta, p.iid, q.iid "
                                        "FROM tprova p JOIN tprova q ON q.iid = p.iid WHERE p.iid = 1 "
                                        "GROUP BY p.iid, q.iid"));
        q.open();
        QCOMPARE(q.fieldByName("TOTALE").dataType(), TFieldType::Integer);
        QCOMPARE(q.fieldByName("TOTALE").asInteger(), 1);
        // A sum of amounts is an amount on both engines.
        QCOMPARE(q.fieldByName("SOMMA").dataType(), TFieldType::Currency);
        QCOMPARE(q.fieldByName("SOMMA").asCurrency(), money("123456789.1234"));
        QCOMPARE(q.fieldByName("ULTIMA").asDate(), QDate(2025, 12, 31));
        QCOMPARE(q.fieldByName("ETICHETTA").asString(), QStringLiteral("testo"));
        // A repeated column name does not stop the open.
        QCOMPARE(q.fieldNames().mid(4), QStringList({"IID", "IID_1"}));

        // A sum with more than four decimals stays a float.
        q.close();
        q.setCommandText(QStringLiteral("SELECT SUM(fperc) AS s FROM tprova"));
        q.open();
        QCOMPARE(q.fieldByName("S").dataType(), TFieldType::Float);
        QCOMPARE(q.fieldByName("S").asFloat(), 12.345678);
    }

    void sqliteTextLongerThanItsColumnIsNotCut()
    {
        if (TestDb::isPostgres())
            QSKIP("PostgreSQL enforces the size of a VARCHAR column itself.");
        auto db = TestDb::openEmpty();
        createSample(*db);
        db->exec(QStringLiteral("UPDATE tprova SET scodice = 'ABCDEFGHIJKLMNOP' WHERE iid = 1"));
        TOvSQLQuery q(db.get());
        q.setCommandText(QStringLiteral("SELECT scodice FROM tprova WHERE iid = 1"));
        q.open();
        QCOMPARE(q.fieldByName("SCODICE").asString(), QStringLiteral("ABCDEFGHIJKLMNOP"));
    }

    void parametersAreBoundByNameAndKind()
    {
        auto db = TestDb::openEmpty();
        createSample(*db);
        TOvSQLQuery q(db.get());
        // Dates compare as dates; an amount matches exactly; a name used twice.
        q.setCommandText(QStringLiteral("SELECT iid FROM tprova WHERE ddata BETWEEN :DAL AND :AL "
                                        "AND (fimporto = :IMP OR fimporto > :IMP) ORDER BY iid"));
        q.paramByName("DAL").setAsDate(QDate(2025, 1, 1));
        q.paramByName("AL").setAsDate(QDate(2025, 12, 31));
        q.paramByName("IMP").setAsCurrency(money("0.5"));
        q.open();
        QCOMPARE(q.recordCount(), 2);
        QCOMPARE(q.fieldByName("IID").asInteger(), 1);

        // A null parameter is SQL NULL: nothing equals it.
        q.close();
        q.paramByName("IMP").clear();
        q.open();
        QCOMPARE(q.recordCount(), 0);

        // The same dataset runs again with new values.
        q.close();
        q.paramByName("DAL").setAsDate(QDate(2024, 12, 31));
        q.paramByName("AL").setAsDate(QDate(2024, 12, 31));
        q.paramByName("IMP").setAsCurrency(money("-7"));
        q.open();
        QCOMPARE(q.recordCount(), 1);
        QCOMPARE(q.fieldByName("IID").asInteger(), 3);

        // Flags are written as 0/1, date-times in an order-preserving form.
        TOvSQLQuery upd(db.get());
        upd.setCommandText(QStringLiteral("UPDATE tprova SET iid = iid + :FLAG, tmomento = :MOM WHERE iid = 3"));
        upd.paramByName("FLAG").setAsBoolean(true);
        upd.paramByName("MOM").setAsDateTime(QDateTime(QDate(2025, 1, 2), QTime(8, 0)));
        QCOMPARE(upd.execSQL(), 1);
        q.close();
        q.setCommandText(QStringLiteral("SELECT iid FROM tprova WHERE tmomento > :DA"));
        q.paramByName("DA").setAsDateTime(QDateTime(QDate(2025, 1, 2), QTime(7, 59, 59)));
        q.open();
        QCOMPARE(q.recordCount(), 2);
    }

    void failuresRaiseWithTheDatabaseMessage()
    {
        auto db = TestDb::openEmpty();
        createSample(*db);
        TOvSQLQuery q(db.get());
        q.setCommandText(QStringLiteral("SELECT * FROM tabella_inesistente"));
        try {
            q.open();
            QFAIL("a missing table was opened");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Errore del database: ")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("tabella_inesistente")), qPrintable(e.message()));
        }
        QVERIFY(!q.active());

        q.setCommandText(QStringLiteral("DELETE FROM tprova WHERE iid = 2"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.open());   // no rows to show
        q.setCommandText(QString());
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, q.execSQL());

        TOvSQLQuery orphan;   // neither its own connection nor a global one
        orphan.setCommandText(QStringLiteral("SELECT 1"));
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, orphan.open());
    }

    void collectionWritesInsertUpdateDelete()
    {
        auto db = TestDb::openEmpty();
        createSample(*db);
        TOvQueryCollection c(db.get());
        c.setCommandText(QStringLiteral("SELECT iid, fimporto, ddata, scodice FROM tprova WHERE iid >= :DA ORDER BY iid"));
        c.paramByName("DA").setAsInteger(1);
        c.SQLInsert = {QStringLiteral("INSERT INTO tprova (iid, fimporto, ddata, scodice) "
                                      "VALUES (:IID, :FIMPORTO, :DDATA, :SCODICE)")};
        // Two statements for a change, run in order; the key may change too.
        c.SQLUpdate = {QStringLiteral("UPDATE tprova SET iid = :IID, fimporto = :FIMPORTO, ddata = :DDATA "
                                      "WHERE iid = :OLD_IID"),
                       QStringLiteral("UPDATE tprova SET scodice = :SCODICE WHERE iid = :IID")};
        c.SQLDelete = {QStringLiteral("DELETE FROM tprova WHERE iid = :OLD_IID AND iid >= :DA")};
        c.open();
        QCOMPARE(c.recordCount(), 3);

        c.append();
        c.fieldByName("IID").setAsInteger(10);
        c.fieldByName("FIMPORTO").setAsCurrency(money("99.9999"));
        c.fieldByName("DDATA").setAsDate(QDate(2025, 6, 30));
        c.fieldByName("SCODICE").setAsString(QStringLiteral("NUOVO"));
        c.post();
        QVERIFY(c.locate("IID", 2));
        c.edit();
        c.fieldByName("IID").setAsInteger(20);
        c.fieldByName("SCODICE").setAsString(QStringLiteral("MODIFICATO"));
        c.post();
        QVERIFY(c.locate("IID", 3));
        c.deleteRecord();

        QCOMPARE(c.applyUpdates(), 3);
        QCOMPARE(c.changeCount(), 0);
        QVERIFY(!db->inTransaction());

        TOvSQLQuery check(db.get());
        check.setCommandText(QStringLiteral("SELECT iid, fimporto, ddata, scodice FROM tprova ORDER BY iid"));
        check.open();
        QCOMPARE(check.recordCount(), 3);
        QCOMPARE(check.fieldByName("IID").asInteger(), 1);
        check.next();
        QCOMPARE(check.fieldByName("IID").asInteger(), 10);
        QCOMPARE(check.fieldByName("FIMPORTO").asCurrency(), money("99.9999"));
        QCOMPARE(check.fieldByName("DDATA").asDate(), QDate(2025, 6, 30));
        check.next();
        QCOMPARE(check.fieldByName("IID").asInteger(), 20);
        QCOMPARE(check.fieldByName("SCODICE").asString(), QStringLiteral("MODIFICATO"));
        QCOMPARE(check.fieldByName("FIMPORTO").asCurrency(), money("0.5"));
        QCOMPARE(c.applyUpdates(), 0);   // nothing pending
    }

    void failedApplyLeavesDatabaseAndChangesAsTheyWere()
    {
        auto db = TestDb::openEmpty();
        createSample(*db);
        TOvQueryCollection c(db.get());
        c.setCommandText(QStringLiteral("SELECT iid, scodice FROM tprova ORDER BY iid"));
        c.SQLInsert = {QStringLiteral("INSERT INTO tprova (iid, scodice) VALUES (:IID, :SCODICE)")};
        c.SQLUpdate = {QStringLiteral("UPDATE tprova SET scodice = :SCODICE WHERE iid = :OLD_IID")};
        c.open();
        c.appendRecord({qlonglong(50), QStringLiteral("PRIMA")});
        c.appendRecord({qlonglong(1), QStringLiteral("DOPPIA")});   // the key exists
        QCOMPARE(c.changeCount(), 2);

        // Its own transaction: the first insert is undone with the failure.
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, c.applyUpdates());
        QVERIFY(!db->inTransaction());
        QCOMPARE(countRows(*db, QStringLiteral("WHERE iid = 50")), 0);
        QCOMPARE(c.changeCount(), 2);   // the user's rows are still pending

        // Inside the caller's transaction: the caller rolls back, no row stays.
        c.last();
        c.deleteRecord();   // the duplicate was never stored: it just goes
        QVERIFY(c.locate("IID", 3));
        c.deleteRecord();   // no statement for deletions yet
        {
            TOvTransaction tx(db.get());
            tx.StartTransaction();
            QVERIFY_THROWS_EXCEPTION(EAssertionFailed, c.applyUpdates());
            QCOMPARE(countRows(*db, QStringLiteral("WHERE iid = 50")), 0);   // checked before running
            c.SQLDelete = {QStringLiteral("DELETE FROM tprova WHERE iid = :OLD_IID")};
            c.SQLUpdate = {QStringLiteral("UPDATE tprova SET scodice = :SCODICE WHERE iid = :OLD_IID"),
                           QStringLiteral("UPDATE tprova SET iid = :NO_SUCH WHERE iid = :OLD_IID")};
            QVERIFY(c.locate("IID", 2));
            c.edit();
            c.fieldByName("SCODICE").setAsString(QStringLiteral("Y"));
            c.post();
            try {
                c.applyUpdates();
                QFAIL("a parameter without a field was bound");
            } catch (const EDatabaseError &e) {
                QVERIFY2(e.message().contains(QStringLiteral("NO_SUCH")), qPrintable(e.message()));
            }
            QVERIFY(db->inTransaction());   // the caller's, left to the caller
            QCOMPARE(c.changeCount(), 3);
            tx.Rollback();
        }
        QCOMPARE(countRows(*db), 3);
        QCOMPARE(countRows(*db, QStringLiteral("WHERE iid = 50")), 0);
        QCOMPARE(countRows(*db, QStringLiteral("WHERE iid = 3")), 1);
        QCOMPARE(countRows(*db, QStringLiteral("WHERE iid = 2 AND scodice = 'X'")), 1);

        // Fixed, the same changes go through inside a committed transaction.
        c.SQLUpdate.removeLast();
        TOvTransaction tx(db.get());
        tx.StartTransaction();
        QCOMPARE(c.applyUpdates(), 3);
        tx.Commit();
        QCOMPARE(countRows(*db), 3);   // +50, -3
        QCOMPARE(countRows(*db, QStringLiteral("WHERE iid = 50 OR (iid = 2 AND scodice = 'Y')")), 2);
    }
};

QTEST_MAIN(TstDbSqlQuery)
#include "tst_db_sqlquery.moc"
