// Boxes of the imported CU that a payee, an accountant or the agency reads
// against the payroll: box 10 "In forza al 31/12", the deductions that make
// box 374, the days of box 6, the income from other employers (531-544), the
// province of a foreign birth place and the periods annotation. On both
// engines, from the demo school's payroll (tools/demo-payroll).
#include "support/ScriptedResponder.h"
#include "support/TestDb.h"
#include "support/TestStore.h"

#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/import/VelImportCud.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"
#include "src/prj/unit/dialogs/VelBoxRunHost.h"

#include <QTest>

namespace {

const QString kTabelle = QStringLiteral(VELCU_STAGE_DIR "/USR/KZ2025/Res/Tabelle");
const char *const kZZ = "ZZ) Il presente annulla e sostituisce eventuali CUD precedenti\r\n";

// The items of box 374.
const char *const kVoci[] = {"FCUDDEDNOTAXFAM",     "FCUDDETRFAMNUM", "FCUDDETRDIPPENSREDD",
                             "FCUDDETCREDRULTDETR", "FCUDDETRONERI",  "FCUDDETRCANLOC"};

} // namespace

class TstDbImportBoxes : public QObject
{
    Q_OBJECT
    std::unique_ptr<TOvSQLConnection> db;
    std::unique_ptr<TTorDBCds> store;
    QStringList log;
    TVelRunOutcome outcome; // of the last import
    // Stored CUs by tax code: field (upper case) -> value.
    QHash<QString, QVariantMap> cus;

    // A fresh demo database, changed by the statements, imported for the
    // relationships (every candidate when none is given).
    void importa(const QStringList &sql, const QList<int> &keys)
    {
        store.reset();
        db.reset();
        db = TestDb::open(true);
        seedStructures(*db, QStringLiteral("vel"), 2025);
        for (const QString &s : sql)
            QVERIFY2(db->exec(s).numRowsAffected() > 0, qPrintable(s));
        store = TestStore::open(db.get());
        ScriptedResponder ui;
        log.clear();
        TVelImportCud imp(*store, QueryText());
        imp.setRunHost(TVelBoxRunHost::instance());
        imp.options().IDWGID = 1;
        imp.options().IMESID = 12;
        imp.setCartellaTabelle(kTabelle);
        imp.hooks().onInfo = [&](const QStringList &l) { log = l; };
        outcome = imp.importa(keys);
        TClientDataSet ds;
        store->Load(ds, QStringLiteral("TCUD_DATICUD"));
        cus.clear();
        for (ds.first(); !ds.eof(); ds.next()) {
            QVariantMap m;
            for (int i = 0; i < ds.fieldCount(); ++i)
                if (!ds.field(i).isNull())
                    m.insert(ds.fieldDefs().at(i).name.toUpper(), ds.field(i).value());
            cus.insert(ds.fieldByName(QStringLiteral("SCUDCODFIS")).asString(), m);
        }
    }
    // A field of a stored CU as the test writes it: amounts as "1234.56"
    // (zero and empty alike ""), texts and dates as they are.
    QString campo(const QString &codFis, const QString &field) const
    {
        const QVariant v = cus.value(codFis).value(field);
        if (v.canConvert<Currency>() && field.startsWith(QLatin1Char('F'))) {
            const Currency c = v.value<Currency>();
            return c.isZero() ? QString() : QString::number(double(c.units()) / 10000.0, 'f', 2);
        }
        if (v.typeId() == QMetaType::QDate)
            return v.toDate().toString(Qt::ISODate);
        return v.toString();
    }
    static void colonne()
    {
        QTest::addColumn<QString>("codFis");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("expected");
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QueryText().loadFromXml(QStringLiteral(VELCU_SOURCE_DIR "/tools/velcu-catalogue/rag_QueryText.xml"));
        importa({}, {});
        QVERIFY(cus.size() > 30);
    }
    void cleanupTestCase()
    {
        store.reset();
        db.reset();
    }

    void demoBoxes_data()
    {
        colonne();
        const QString rossi = QStringLiteral("RSSMRA75C12H199Y"), caruso = QStringLiteral("CRSMTN84B48H199A"),
                      rinaldi = QStringLiteral("RNLSMN90E05C573Q");
        auto row = [](const char *name, const QString &cf, const char *field, const QString &expected) {
            QTest::newRow(name) << cf << QString::fromLatin1(field) << expected;
        };
        // Box 10: in force on 31 December with no end date or one after it.
        row("open-ended in force", rossi, "LCUDINFORZA3112", QStringLiteral("X"));
        row("no start date, open-ended", QStringLiteral("MNCDVD77T11L219Z"), "LCUDINFORZA3112", QStringLiteral("X"));
        row("ending in 2026", QStringLiteral("MRTPTR96A19H199A"), "LCUDINFORZA3112", QStringLiteral("X"));
        row("ended 30 June", rinaldi, "LCUDINFORZA3112", QStringLiteral("0"));
        row("ending 31 December", QStringLiteral("FRRNNA92S43E730M"), "LCUDINFORZA3112", QStringLiteral("0"));
        // 374 made of its items: the additional deduction apart (Rossi); a cap
        // that binds exactly, net tax zero (Caruso: 1,200 + 1,955 + 103.26).
        row("Rossi 362", rossi, "FCUDDEDNOTAXFAM", QStringLiteral("690.00"));
        row("Rossi 367", rossi, "FCUDDETRDIPPENSREDD", QStringLiteral("1960.00"));
        row("Rossi 368", rossi, "FCUDDETCREDRULTDETR", QStringLiteral("100.00"));
        row("Rossi 374", rossi, "FCUDTOTDETR", QStringLiteral("2750.00"));
        row("Caruso 374", caruso, "FCUDTOTDETR", QStringLiteral("3258.26"));
        row("Caruso large family", caruso, "FCUDDETRFAMNUM", QStringLiteral("1200.00"));
        row("Caruso 367", caruso, "FCUDDETRDIPPENSREDD", QStringLiteral("1955.00"));
        row("Caruso rent cut", caruso, "FCUDDETRCANLOC", QStringLiteral("103.26"));
        // Box 6: calendar days; a collaboration over two years keeps the days
        // of 2025 (1 January - 30 June), not the payroll's 200.
        row("whole year", QStringLiteral("BNCLRA80L65D458L"), "ICUDPERIODOLAV", QStringLiteral("365"));
        row("collaboration over two years", QStringLiteral("CLMPLA79H08F205I"), "ICUDPERIODOLAV", QStringLiteral("181"));
        // Other employers' income in the boxes of box 2, where Rinaldi's is.
        row("Rinaldi box 2", rinaldi, "FCUDREDDETTRDET", QStringLiteral("13842.06"));
        row("Rinaldi 532", rinaldi, "FCUDIMPONPTO2", QStringLiteral("2400.00"));
        row("Rinaldi 540", rinaldi, "FCUDREDDCONGP2", QStringLiteral("2400.00"));
        row("Rinaldi no 531", rinaldi, "FCUDIMPONPTO1", QString());
        row("Rinaldi no 539", rinaldi, "FCUDREDDCONGP1", QString());
        row("no other employer", rossi, "FCUDIMPONPTO1", QString());
        // Born abroad: the state and "EE".
        row("foreign state", QStringLiteral("PPSNIO85D62Z129K"), "SCUDCOMNAS", QStringLiteral("ROMANIA"));
        row("foreign province", QStringLiteral("PPSNIO85D62Z129K"), "SCUDPROVNAS", QStringLiteral("EE"));
        row("Italian province", rossi, "SCUDPROVNAS", QStringLiteral("RA"));
        // The scholarship's periods paid nothing taxable: no "AI)" line.
        row("scholarship annotations", QStringLiteral("RCCCHR98T41A944C"), "SCUDANNOTAZIONI",
            QStringLiteral("Conguaglio non effettuato\r\n") + QLatin1String(kZZ));
    }
    void demoBoxes()
    {
        QFETCH(QString, codFis);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        QVERIFY2(cus.contains(codFis), qPrintable(codFis));
        QCOMPARE(campo(codFis, field), expected);
    }

    // No CU of the demo has deduction items above its box 374.
    void deductionItemsNeverAboveTheTotal()
    {
        for (auto it = cus.cbegin(); it != cus.cend(); ++it) {
            Currency items;
            for (const char *v : kVoci)
                items += it.value().value(QString::fromLatin1(v)).value<Currency>();
            const Currency tot = it.value().value(QStringLiteral("FCUDTOTDETR")).value<Currency>();
            QVERIFY2(items <= tot, qPrintable(it.key()));
        }
    }

    // Payroll figures the demo does not hold: the statements change the
    // demo, the field and a log line say what the import made of it.
    void payrollVariants_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<int>("key");
        colonne();
        QTest::addColumn<QString>("logLine");
        QTest::newRow("368 counted inside 367")
            << QStringLiteral("UPDATE tcong_conguagli SET fcongimplavdip = 2060 WHERE iacomid = 101") << 101
            << QStringLiteral("RSSMRA75C12H199Y") << QStringLiteral("FCUDDETRDIPPENSREDD") << QStringLiteral("1960.00")
            << QString();
        QTest::newRow("payroll days above the relationship's")
            << QStringLiteral("UPDATE tregs_registri SET iregsgiorni = 40 WHERE iacomid = 132") << 132
            << QStringLiteral("MRTPTR96A19H199A") << QStringLiteral("ICUDPERIODOLAV") << QStringLiteral("122")
            << QStringLiteral("Su dati retributivi: 160; nel punto 6 indicati: 122.");
        QTest::newRow("days of the other employer's periods")
            << QStringLiteral("UPDATE tcong_conguagli SET fconggiorni = 300 WHERE iacomid = 124") << 124
            << QStringLiteral("RNLSMN90E05C573Q") << QStringLiteral("ICUDPERIODOLAV") << QStringLiteral("300")
            << QStringLiteral("Giorni per detrazioni non congruenti con i giorni di lavoro calcolati (181)");
        QTest::newRow("other employers in box 1")
            << QStringLiteral("UPDATE tcong_conguagli SET fcongimponibile_p = 5000 WHERE iacomid = 101") << 101
            << QStringLiteral("RSSMRA75C12H199Y") << QStringLiteral("FCUDREDDCONGP1") << QStringLiteral("5000.00")
            << QStringLiteral("5000,00 nei punti 531 e 539");
        QTest::newRow("other employers above the box")
            << QStringLiteral("UPDATE tcong_conguagli SET fcongimponibile_p = 20000 WHERE iacomid = 124") << 124
            << QStringLiteral("RNLSMN90E05C573Q") << QStringLiteral("FCUDIMPONPTO2") << QString()
            << QStringLiteral("non riportati nei punti 532 e 540");
    }
    void payrollVariants()
    {
        QFETCH(QString, sql);
        QFETCH(int, key);
        QFETCH(QString, codFis);
        QFETCH(QString, field);
        QFETCH(QString, expected);
        QFETCH(QString, logLine);
        importa({sql}, {key});
        QVERIFY2(cus.contains(codFis), qPrintable(codFis));
        QCOMPARE(campo(codFis, field), expected);
        if (!logLine.isEmpty())
            QVERIFY2(log.join(QLatin1Char('\n')).contains(logLine), qPrintable(log.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TstDbImportBoxes)
#include "tst_db_import_boxes.moc"
