// Seeding the store's structure table from the record model: one version per
// structure with its schema, flags and field map; running it again updates in
// place; it joins the caller's transaction; keys come from the generator.
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvGenerator.h"
#include "platform/db/OvTransaction.h"
#include "src/prj/unit/model/VelRecordModel.h"
#include "src/prj/unit/model/VelStructureSeed.h"

#include <QSqlQuery>
#include <QtTest>

namespace {

int count(TOvSQLConnection &db, const QString &where = QStringLiteral("1 = 1"))
{
    QSqlQuery q = db.exec(QStringLiteral("SELECT count(*) FROM tcds_struttura WHERE ") + where);
    q.next();
    return q.value(0).toInt();
}

QMap<QString, int> idsByName(TOvSQLConnection &db, int year)
{
    QMap<QString, int> out;
    QSqlQuery q = db.exec(QStringLiteral("SELECT scdsnome, icdsid FROM tcds_struttura WHERE icdsanno = :Y"),
                          {{QStringLiteral("Y"), year}});
    while (q.next())
        out.insert(q.value(0).toString(), q.value(1).toInt());
    return out;
}

}

class TstDbStructureSeed : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { VELCU_REQUIRE_TEST_DB(); }

    void createsEveryStructureOnce()
    {
        auto db = TestDb::open();
        const VelRecordModel &m = VelRecordModel::instance();
        const VelSeedResult r = seedStructures(*db);
        QCOMPARE(r.inserted, int(m.structures().size()));
        QCOMPARE(r.updated, 0);
        QCOMPARE(count(*db), int(m.structures().size()));

        // Found the way the store finds a version: lower-case program and name.
        for (const VelStructureDesc &s : m.structures()) {
            QSqlQuery q = db->exec(
                QStringLiteral("SELECT cds.* FROM tcds_struttura cds WHERE COALESCE(cds.icdsanno, 0) <= :ICDSANNO "
                               "AND (COALESCE(cds.icdsmese, 0) <= :ICDSMESE OR :ICDSMESE = -1) "
                               "AND Lower(cds.scdsprogramma) = :SCDSPROGRAMMA AND Lower(cds.scdsnome) = :SCDSNOME "
                               "ORDER BY cds.icdsanno DESC"),
                {{QStringLiteral("ICDSANNO"), 2025}, {QStringLiteral("ICDSMESE"), 3},
                 {QStringLiteral("SCDSPROGRAMMA"), QStringLiteral("vel")},
                 {QStringLiteral("SCDSNOME"), s.name.toLower()}});
            QVERIFY2(q.next(), qPrintable(s.name));
            QCOMPARE(q.value(QStringLiteral("scdsnome")).toString(), s.name);
            QCOMPARE(q.value(QStringLiteral("icdsanno")).toInt(), 2025);
            QCOMPARE(q.value(QStringLiteral("lcdsanagrafica")).toInt(), s.anagraphic ? 1 : 0);
            QCOMPARE(q.value(QStringLiteral("lcdsfmapreadonly")).toInt(), s.fieldMapReadOnly ? 1 : 0);
            QCOMPARE(q.value(QStringLiteral("icdsrigo")).toInt(), 0);
            QCOMPARE(q.value(QStringLiteral("scdsfieldmap")).toString(), s.fieldMap);

            TClientDataSet schema;
            schema.loadFromBytes(q.value(QStringLiteral("bcdsschema")).toByteArray(), s.name);
            QCOMPARE(schema.fieldCount(), int(s.fields.size()));
            QCOMPARE(schema.recordCount(), 0);
            const int codfis = schema.fieldIndex(QStringLiteral("SCUDCODFIS"));
            if (codfis >= 0)
                QCOMPARE(schema.fieldDefs().at(codfis).size, 16);
            QVERIFY(!q.next());
        }
        // Keys of the year's block, in the model's order: far from the keys
        // other programs' structures (and the repairs made for them) use.
        const QMap<QString, int> ids = idsByName(*db, 2025);
        QCOMPARE(QSet<int>(ids.begin(), ids.end()).size(), ids.size());
        for (int i = 0; i < m.structures().size(); ++i)
            QCOMPARE(ids.value(m.structures().at(i).name), 2025001 + i);
        QCOMPARE(ids.value(QStringLiteral("TCUCT_DATICT")), velStructureKey(2025, 12));
        QCOMPARE(seedStructures(*db, QStringLiteral("vel"), 2026).inserted, int(m.structures().size()));
        QCOMPARE(idsByName(*db, 2026).value(QStringLiteral("TCUD_DATICUD")), 2026001);
    }

    void keysOfAnOlderSetUpMoveWithTheirValues()
    {
        auto db = TestDb::open();
        // An older set-up keyed the versions from the generator: 13 was the
        // Quadro CT's, with a stored row.
        db->exec(QStringLiteral("INSERT INTO tcds_struttura (icdsid, icdsanno, scdsprogramma, scdsnome, icdsrigo) "
                                "VALUES (13, 2025, 'vel', 'TCUCT_DATICT', 4), (5, 2025, 'rag', 'TCUCT_DATICT', 1)"));
        db->exec(QStringLiteral("INSERT INTO tfis_datifiscali (icdsid, icrfid, ifisrigo, sfisfieldname, sfisvalue) "
                                "VALUES (13, 1, 4, 'SCTCODFIS', '80012345678'), (5, 1, 1, 'X', 'y')"));
        const VelSeedResult r = seedStructures(*db);
        QCOMPARE(r.moved, 1);
        const int key = idsByName(*db, 2025).value(QStringLiteral("TCUCT_DATICT"));
        QVERIFY(isVelStructureKey(key));
        QSqlQuery q = db->exec(QStringLiteral("SELECT icdsrigo FROM tcds_struttura WHERE icdsid = :K"),
                               {{QStringLiteral("K"), key}});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 4); // the counter travels with the version
        q = db->exec(QStringLiteral("SELECT sfisvalue FROM tfis_datifiscali WHERE icdsid = :K"), {{QStringLiteral("K"), key}});
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), QStringLiteral("80012345678"));
        // Another program's structure and values keep their key.
        q = db->exec(QStringLiteral("SELECT count(*) FROM tfis_datifiscali WHERE icdsid = 5"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 1);
        q = db->exec(QStringLiteral("SELECT count(*) FROM tcds_struttura WHERE icdsid = 13"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 0);
        q = QSqlQuery();
        // Stable: a second set-up moves nothing.
        QCOMPARE(seedStructures(*db).moved, 0);
        QCOMPARE(idsByName(*db, 2025).value(QStringLiteral("TCUCT_DATICT")), key);
    }

    void seedingAgainUpdatesInPlace()
    {
        auto db = TestDb::open();
        seedStructures(*db);
        const QMap<QString, int> before = idsByName(*db, 2025);
        // Rows handed out meanwhile, a damaged schema and map.
        db->exec(QStringLiteral("UPDATE tcds_struttura SET icdsrigo = 7, scdsfieldmap = NULL, bcdsschema = NULL, "
                                "lcdsanagrafica = 0 WHERE scdsnome = 'TCUD_DATICUD'"));

        const VelSeedResult r = seedStructures(*db);
        QCOMPARE(r.inserted, 0);
        QCOMPARE(r.updated, int(VelRecordModel::instance().structures().size()));
        QCOMPARE(idsByName(*db, 2025), before);

        QSqlQuery q = db->exec(QStringLiteral("SELECT icdsrigo, scdsfieldmap, bcdsschema, lcdsanagrafica "
                                              "FROM tcds_struttura WHERE scdsnome = 'TCUD_DATICUD'"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 7); // the row counter only grows
        QCOMPARE(q.value(1).toString(),
                 QStringLiteral("saficodfiscale=SCUDCODFIS;safigruppoana=SCUDMESE;saficognome=SCUDCOGNOME;safinome=SCUDNOME"));
        QCOMPARE(q.value(2).toByteArray(), VelRecordModel::instance().schemaBytes(QStringLiteral("TCUD_DATICUD")));
        QCOMPARE(q.value(3).toInt(), 1);
    }

    void eachYearAndProgramHasItsOwnVersions()
    {
        auto db = TestDb::open();
        const int n = int(VelRecordModel::instance().structures().size());
        seedStructures(*db, QStringLiteral("vel"), 2025);
        QCOMPARE(seedStructures(*db, QStringLiteral("VEL"), 2026).inserted, n);
        QCOMPARE(seedStructures(*db, QStringLiteral("vel"), 2025).inserted, 0); // program in any case
        QCOMPARE(count(*db), 2 * n);
        QCOMPARE(count(*db, QStringLiteral("scdsprogramma = 'vel'")), 2 * n);
    }

    void joinsTheCallersTransaction()
    {
        auto db = TestDb::open();
        {
            TOvTransaction tr(db.get());
            tr.StartTransaction();
            seedStructures(*db);
            QVERIFY(db->inTransaction()); // not committed behind the caller's back
            QCOMPARE(count(*db), int(VelRecordModel::instance().structures().size()));
            tr.Rollback();
        }
        QCOMPARE(count(*db), 0);
    }

    void failureLeavesNothingBehind()
    {
        auto db = TestDb::open();
        // Every key of the year's block after the first taken by hand: the
        // first structure goes in, the second finds no key, and the first
        // must not stay behind.
        db->exec(QStringLiteral("WITH RECURSIVE k(n) AS (SELECT 2025002 UNION ALL SELECT n + 1 FROM k WHERE n < 2025999) "
                                "INSERT INTO tcds_struttura (icdsid, icdsanno, scdsprogramma, scdsnome) "
                                "SELECT n, 2025, 'altro', 'x' || n FROM k"));
        QVERIFY_THROWS_EXCEPTION(EOvException, seedStructures(*db));
        QVERIFY(!db->inTransaction());
        QCOMPARE(count(*db), 998);
        QCOMPARE(count(*db, QStringLiteral("scdsprogramma = 'vel'")), 0);
    }
};

QTEST_GUILESS_MAIN(TstDbStructureSeed)
#include "tst_db_structure_seed.moc"
