// The fiscal store on a real database (SQLite or PostgreSQL, per run).
#include "support/TestDb.h"
#include "support/TmpfsMount.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "platform/db/OvGenerator.h"
#include "platform/db/OvSchemaInstaller.h"
#include "platform/db/OvCroFiscale.h"
#include "platform/db/OvTransaction.h"
#include "tor/store/torUDBCds.h"

#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>

#include <atomic>
#include <chrono>
#include <sqlite3.h>
#include <thread>

namespace {

struct FieldSpec
{
    const char *name;
    TFieldType type;
    int size;
};

// Registers a structure version with the given fields and returns its key.
int addStructure(TOvSQLConnection &c, const QString &name, int year, const QList<FieldSpec> &fields,
                 bool anagrafica = false, const QString &fieldMap = QString(), bool mapReadOnly = false)
{
    TClientDataSet schema;
    for (const FieldSpec &f : fields)
        schema.addFieldDef(QString::fromLatin1(f.name), f.type, f.size);
    schema.createDataSet();
    const int id = GenerateID(1, c, QStringLiteral("TCDS_STRUTTURA"));
    c.exec(QStringLiteral("INSERT INTO tcds_struttura (icdsid, icdsanno, icdsmese, scdsprogramma, scdsnome, "
                          "bcdsschema, lcdsanagrafica, lcdsfmapreadonly, icdsrigo, scdsfieldmap) VALUES "
                          "(:ID, :ANNO, NULL, 'vel', :NOME, :SCHEMA, :ANA, :RO, 0, :MAP)"),
           {{QStringLiteral("ID"), id},
            {QStringLiteral("ANNO"), year},
            {QStringLiteral("NOME"), name},
            {QStringLiteral("SCHEMA"), schema.saveToBytes()},
            {QStringLiteral("ANA"), anagrafica ? 1 : 0},
            {QStringLiteral("RO"), mapReadOnly ? 1 : 0},
            {QStringLiteral("MAP"), fieldMap.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(fieldMap)}});
    return id;
}

int count(TOvSQLConnection &c, const QString &sql)
{
    QSqlQuery q = c.exec(sql);
    return q.next() ? q.value(0).toInt() : -1;
}

const QString kCuMap = QStringLiteral("saficodfiscale=SCUDCODFIS;safigruppoana=SCUDMESE;saficognome=SCUDCOGNOME;safinome=SCUDNOME");
const QString kSectionMap = QStringLiteral("saficodfiscale=SCUDCODFIS;safigruppoana=SCUDMESE");

QList<FieldSpec> cuFields()
{
    return {{"iAfiID", TFieldType::Integer, 0},     {"iFisRigo", TFieldType::Integer, 0},
            {"SCUDCODFIS", TFieldType::String, 16}, {"SCUDMESE", TFieldType::String, 2},
            {"SCUDCOGNOME", TFieldType::String, 40}, {"SCUDNOME", TFieldType::String, 40},
            {"FCUDRITIRPEF", TFieldType::Currency, 0}, {"ICUDSTATO", TFieldType::Integer, 0},
            {"DCUDDATANASC", TFieldType::Date, 0},  {"LCUDCONGUAGLIO", TFieldType::String, 1},
            {"SCUDANNOTAZIONI", TFieldType::Memo, 0}, {"FCUDQUOTA", TFieldType::Float, 0}};
}

QList<FieldSpec> sectionFields()
{
    return {{"iAfiID", TFieldType::Integer, 0}, {"iFisRigo", TFieldType::Integer, 0},
            {"SCUDCODFIS", TFieldType::String, 16}, {"SCUDMESE", TFieldType::String, 2},
            {"FCUDIMPONIBILE", TFieldType::Currency, 0}};
}

void appendCu(TClientDataSet &ds, const QString &cf, const QString &month, const QString &surname,
              const QString &amount = QString())
{
    ds.append();
    ds.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(cf);
    ds.fieldByName(QStringLiteral("SCUDMESE")).setAsString(month);
    ds.fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(surname);
    // The identity lives in the person; a row comes back from a load through
    // its stored values, and every real CU has its flags.
    ds.fieldByName(QStringLiteral("LCUDCONGUAGLIO")).setAsString(QStringLiteral("X"));
    if (!amount.isEmpty())
        ds.fieldByName(QStringLiteral("FCUDRITIRPEF")).setAsCurrency(*Currency::parse(amount));
    ds.post();
}

class NoWait : public ITorWaitIndicator
{
public:
    int begins = 0;
    void begin() override { ++begins; }
    void end() override {}
};

} // namespace

class TestStore : public QObject
{
    Q_OBJECT
    std::shared_ptr<NoWait> m_wait = std::make_shared<NoWait>();

    TTorDBCds store(TOvSQLConnection &c)
    {
        TTorDBCds s;
        s.setConnection(&c);
        s.setProgram(QStringLiteral("VEL")); // compared in lower case
        s.setYear(2025);
        s.setMonth(TTorDBCds::AllMonths);
        return s;
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        setTorWaitIndicator(m_wait);
    }

    void versionsServeTheYearsAfterThem()
    {
        auto c = TestDb::open();
        addStructure(*c, QStringLiteral("TX"), 2019, {{"iFisRigo", TFieldType::Integer, 0}, {"A2019", TFieldType::String, 5}});
        addStructure(*c, QStringLiteral("TX"), 2024, {{"iFisRigo", TFieldType::Integer, 0}, {"B2024", TFieldType::String, 5}});
        TTorDBCds s = store(*c);
        TClientDataSet ds;
        s.Load(ds, QStringLiteral("tx"), TTorDBCds::AllMonths, 2023);
        QVERIFY(ds.findField(QStringLiteral("A2019")).isValid());
        s.Load(ds, QStringLiteral("TX"), TTorDBCds::AllMonths, 2025);
        QVERIFY(ds.findField(QStringLiteral("B2024")).isValid());
        QVERIFY(!ds.findField(QStringLiteral("A2019")).isValid());
        try {
            s.Load(ds, QStringLiteral("TX"), TTorDBCds::AllMonths, 2018);
            QFAIL("a year before every version was served");
        } catch (const EOvError &e) {
            QCOMPARE(e.message(), QStringLiteral("Impossibile trovare il ClientDataSet (TX)."));
        }
        QVERIFY(m_wait->begins > 0);
    }

    void valuesRoundTripAndEmptyOnesAreNotStored()
    {
        auto c = TestDb::open();
        addStructure(*c, QStringLiteral("TCUD_DATICUD"), 2025, cuFields(), true, kCuMap);
        TTorDBCds s = store(*c);
        TClientDataSet ds;
        s.Load(ds, QStringLiteral("TCUD_DATICUD"));
        QVERIFY(ds.isEmpty());

        ds.append();
        ds.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(QStringLiteral("RSSMRA80A01H501U"));
        ds.fieldByName(QStringLiteral("SCUDMESE")).setAsString(QStringLiteral("12"));
        ds.fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(QStringLiteral("ROSSI D'ALESSIO"));
        ds.fieldByName(QStringLiteral("FCUDRITIRPEF")).setAsCurrency(*Currency::parse(QStringLiteral("12345678.9876")));
        ds.fieldByName(QStringLiteral("DCUDDATANASC")).setAsDate(QDate(1980, 1, 1));
        ds.fieldByName(QStringLiteral("LCUDCONGUAGLIO")).setAsString(QStringLiteral("0"));
        ds.fieldByName(QStringLiteral("SCUDANNOTAZIONI")).setAsString(QStringLiteral("AI) prima riga\r\nBO)\r\nè così"));
        ds.fieldByName(QStringLiteral("FCUDQUOTA")).setAsFloat(0.125);
        ds.fieldByName(QStringLiteral("ICUDSTATO")).setAsInteger(0); // zero: not stored
        ds.post();
        // A row with nothing in it but empty values.
        ds.append();
        ds.fieldByName(QStringLiteral("SCUDNOME")).setAsString(QString());
        ds.post();
        s.Save(ds, QStringLiteral("TCUD_DATICUD"));
        QCOMPARE(ds.changeCount(), 0);

        // 5 value rows: codfis/mese/cognome live in the person; stato is 0.
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tfis_datifiscali")), 5);
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tfis_datifiscali WHERE sfisfieldname = 'ICUDSTATO'")), 0);

        TClientDataSet back;
        s.Load(back, QStringLiteral("TCUD_DATICUD"));
        QCOMPARE(back.recordCount(), 1); // the empty row did not come back
        QCOMPARE(back.fieldByName(QStringLiteral("SCUDCODFIS")).asString(), QStringLiteral("RSSMRA80A01H501U"));
        QCOMPARE(back.fieldByName(QStringLiteral("SCUDMESE")).asString(), QStringLiteral("12"));
        QCOMPARE(back.fieldByName(QStringLiteral("SCUDCOGNOME")).asString(), QStringLiteral("ROSSI D'ALESSIO"));
        QCOMPARE(back.fieldByName(QStringLiteral("FCUDRITIRPEF")).asCurrency().toString(), QStringLiteral("12345678.9876"));
        QCOMPARE(back.fieldByName(QStringLiteral("DCUDDATANASC")).asDate(), QDate(1980, 1, 1));
        QCOMPARE(back.fieldByName(QStringLiteral("LCUDCONGUAGLIO")).value().toString(), QStringLiteral("0"));
        QVERIFY(back.fieldByName(QStringLiteral("SCUDNOME")).isNull());
        QVERIFY(back.fieldByName(QStringLiteral("ICUDSTATO")).isNull());
        QCOMPARE(back.fieldByName(QStringLiteral("SCUDANNOTAZIONI")).asString(),
                 QStringLiteral("AI) prima riga\r\nBO)\r\nè così"));
        QCOMPARE(back.fieldByName(QStringLiteral("FCUDQUOTA")).asFloat(), 0.125);
        QVERIFY(back.fieldByName(QStringLiteral("iAfiID")).asInteger() > 0);
        QVERIFY(back.fieldByName(QStringLiteral("iFisRigo")).asInteger() > 0);
        QCOMPARE(back.changeCount(), 0);
    }

    void personsAreReusedOrCreatedByStructureKind()
    {
        auto c = TestDb::open();
        addStructure(*c, QStringLiteral("TCUD_DATICUD"), 2025, cuFields(), true, kCuMap);
        addStructure(*c, QStringLiteral("TCUDI_INPS"), 2025, sectionFields(), false, kSectionMap);
        TTorDBCds s = store(*c);
        TClientDataSet cu;
        s.Load(cu, QStringLiteral("TCUD_DATICUD"));
        // Two CUs of one tax code with months 03 and 12 are two persons.
        appendCu(cu, QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("03"), QStringLiteral("ROSSI"));
        appendCu(cu, QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("12"), QStringLiteral("ROSSI"));
        s.Save(cu, QStringLiteral("TCUD_DATICUD"));
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tafi_anafiscale")), 2);
        cu.setIndexFieldNames(QStringLiteral("SCUDMESE"));
        cu.first();
        const qint64 march = cu.fieldByName(QStringLiteral("iAfiID")).asInteger();
        cu.last();
        const qint64 december = cu.fieldByName(QStringLiteral("iAfiID")).asInteger();
        QVERIFY(march != december);

        // A second CU of a tax code and month already stored is refused, by
        // the database's unique key (whatever the case of the code), and
        // nothing of it stays.
        appendCu(cu, QStringLiteral("rssmra80a01h501u"), QStringLiteral("12"), QStringLiteral("ROSSI"));
        try {
            s.Save(cu, QStringLiteral("TCUD_DATICUD"));
            QFAIL("a second CU of RSSMRA80A01H501U for December was saved");
        } catch (const ETorDuplicateCertification &e) {
            QCOMPARE(e.message(), QStringLiteral("Esiste già una certificazione per il codice fiscale "
                                                 "rssmra80a01h501u e il mese 12: non ne viene scritta una seconda."));
        }
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tafi_anafiscale")), 2);
        // An anagraphic structure otherwise always makes a new person, even
        // for a known code.
        s.Load(cu, QStringLiteral("TCUD_DATICUD"));
        appendCu(cu, QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("06"), QStringLiteral("ROSSI"));
        s.Save(cu, QStringLiteral("TCUD_DATICUD"));
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tafi_anafiscale")), 3);
        QCOMPARE(s.FindPerson(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("12")), december);
        QCOMPARE(s.FindPerson(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("01")), qint64(0));

        // A section row of a known tax code and month reuses that person.
        TClientDataSet inps;
        s.Load(inps, QStringLiteral("TCUDI_INPS"));
        inps.append();
        inps.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(QStringLiteral("rssmra80a01h501u"));
        inps.fieldByName(QStringLiteral("SCUDMESE")).setAsString(QStringLiteral("03"));
        inps.fieldByName(QStringLiteral("FCUDIMPONIBILE")).setAsCurrency(Currency::fromInt(1000));
        inps.post();
        s.Save(inps, QStringLiteral("TCUDI_INPS"));
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tafi_anafiscale")), 3);
        QCOMPARE(inps.fieldByName(QStringLiteral("iAfiID")).asInteger(), march);

        // Load by person key and by -1.
        TClientDataSet one;
        s.Load(one, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths, 2025, int(december));
        QCOMPARE(one.recordCount(), 1);
        QCOMPARE(one.fieldByName(QStringLiteral("iAfiID")).asInteger(), december);
        s.Load(one, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths, 2025, TTorDBCds::AllPersons);
        QCOMPARE(one.recordCount(), 3);

        // Deleting a CU removes its person only: its section row keeps the key.
        QVERIFY(one.locate(QStringLiteral("iAfiID"), march));
        one.deleteRecord();
        s.Save(one, QStringLiteral("TCUD_DATICUD"));
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tafi_anafiscale")), 2);
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tafi_anafiscale WHERE iafiid = %1").arg(march)), 0);
        s.Load(inps, QStringLiteral("TCUDI_INPS"));
        QCOMPARE(inps.recordCount(), 1);
        QCOMPARE(inps.fieldByName(QStringLiteral("iAfiID")).asInteger(), march);
        // ...and without its person the row has no tax code or month
        QVERIFY(inps.fieldByName(QStringLiteral("SCUDCODFIS")).isNull());
        QVERIFY(inps.fieldByName(QStringLiteral("SCUDMESE")).isNull());
        QCOMPARE(inps.fieldByName(QStringLiteral("FCUDIMPONIBILE")).asCurrency(), Currency::fromInt(1000));
    }

    void modificationRewritesTheRowAndKeepsItsNumber()
    {
        auto c = TestDb::open();
        addStructure(*c, QStringLiteral("TCUD_DATICUD"), 2025, cuFields(), true, kCuMap);
        TTorDBCds s = store(*c);
        TClientDataSet cu;
        s.Load(cu, QStringLiteral("TCUD_DATICUD"));
        appendCu(cu, QStringLiteral("BNCNNA75C41F205X"), QStringLiteral("12"), QStringLiteral("BIANCHI"), QStringLiteral("100.50"));
        s.Save(cu, QStringLiteral("TCUD_DATICUD"));
        const qint64 rigo = cu.fieldByName(QStringLiteral("iFisRigo")).asInteger();
        cu.edit();
        cu.fieldByName(QStringLiteral("FCUDRITIRPEF")).clear();
        cu.fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(QStringLiteral("BIANCHI ROSSI"));
        cu.post();
        s.Save(cu, QStringLiteral("TCUD_DATICUD"));
        TClientDataSet back;
        s.Load(back, QStringLiteral("TCUD_DATICUD"));
        QCOMPARE(back.recordCount(), 1);
        QCOMPARE(back.fieldByName(QStringLiteral("iFisRigo")).asInteger(), rigo);
        QVERIFY(back.fieldByName(QStringLiteral("FCUDRITIRPEF")).isNull());
        QCOMPARE(back.fieldByName(QStringLiteral("SCUDCOGNOME")).asString(), QStringLiteral("BIANCHI ROSSI"));
        QCOMPARE(count(*c, QStringLiteral("SELECT icdsrigo FROM tcds_struttura")), int(rigo));
    }

    void aFailingRowRollsTheWholeSaveBack()
    {
        auto c = TestDb::open();
        addStructure(*c, QStringLiteral("TCUD_DATICUD"), 2025, cuFields(), true, kCuMap);
        TTorDBCds s = store(*c);
        TClientDataSet cu;
        s.Load(cu, QStringLiteral("TCUD_DATICUD"));
        appendCu(cu, QStringLiteral("VRDLCU90E12L219K"), QStringLiteral("08"), QStringLiteral("VERDI"));
        // The second row is refused by the database when its person is written.
        appendCu(cu, QStringLiteral("NREGLI85M55A944B"), QStringLiteral("12"), QStringLiteral("RIFIUTATO"));
        if (TestDb::isPostgres()) {
            c->exec(QStringLiteral("CREATE FUNCTION rifiuta() RETURNS trigger AS $$ BEGIN "
                                   "IF NEW.saficognome = 'RIFIUTATO' THEN RAISE EXCEPTION 'cognome rifiutato'; END IF; "
                                   "RETURN NEW; END $$ LANGUAGE plpgsql"));
            c->exec(QStringLiteral("CREATE TRIGGER tr_rifiuta BEFORE INSERT OR UPDATE ON tafi_anafiscale "
                                   "FOR EACH ROW EXECUTE FUNCTION rifiuta()"));
        } else {
            // A new person is written with its columns: refused at the insert.
            for (const char *event : {"INSERT", "UPDATE"})
                c->exec(QStringLiteral("CREATE TRIGGER tr_rifiuta_%1 BEFORE %1 ON tafi_anafiscale "
                                       "WHEN NEW.saficognome = 'RIFIUTATO' BEGIN SELECT RAISE(ABORT, 'cognome "
                                       "rifiutato'); END")
                            .arg(QLatin1String(event)));
        }
        try {
            s.Save(cu, QStringLiteral("TCUD_DATICUD"));
            QFAIL("the refused row was reported as saved");
        } catch (const EDatabaseError &e) {
            QVERIFY2(e.message().contains(QStringLiteral("cognome rifiutato")), qPrintable(e.message()));
        }
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tafi_anafiscale")), 0);
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tfis_datifiscali")), 0);
        QCOMPARE(count(*c, QStringLiteral("SELECT icdsrigo FROM tcds_struttura")), 0);
        QCOMPARE(cu.changeCount(), 0); // pending changes cancelled
        QVERIFY(cu.isEmpty());
        QVERIFY(!c->inTransaction());
    }

    void aFullDiskReportsItsCauseAndLeavesNoHalfSavedRows()
    {
        if (TestDb::isPostgres())
            QSKIP("il disco pieno si prova sul file SQLite");
        TmpfsMount disk(8 * 1024 * 1024);
        VELCU_REQUIRE_TMPFS(disk);
        TOvDbConfig cfg;
        cfg.engine = TOvDbEngine::SQLite;
        cfg.path = disk.filePath(QStringLiteral("velcu.sqlite"));
        TOvSQLConnection c(cfg);
        c.setCreateIfMissing(true);
        c.openOrThrow();
        TOvSchemaInstaller(c, TestDb::sqlDir()).install(false);
        addStructure(c, QStringLiteral("TCUD_DATICUD"), 2025, cuFields(), true, kCuMap);
        TTorDBCds s = store(c);
        auto fill = [](TClientDataSet &cu) {
            // Long annotations: the save spills to the disk long before its commit.
            for (int i = 0; i < 700; ++i) {
                appendCu(cu, QStringLiteral("RSSMRA80A01H%1X").arg(i, 3, 10, QLatin1Char('0')), QStringLiteral("12"),
                         QStringLiteral("ROSSI"), QStringLiteral("1.00"));
                cu.edit();
                cu.fieldByName(QStringLiteral("SCUDANNOTAZIONI")).setAsString(QString(3000, QLatin1Char('a' + i % 26)));
                cu.post();
            }
        };
        TClientDataSet cu;
        s.Load(cu, QStringLiteral("TCUD_DATICUD"));
        fill(cu);
        disk.fill();
        try {
            s.Save(cu, QStringLiteral("TCUD_DATICUD"));
            QFAIL("a save on a full disk was reported as done");
        } catch (const EDatabaseError &e) {
            // The cause, not what the failed rollback said after it.
            QVERIFY2(e.message().contains(QStringLiteral("spazio su disco esaurito")), qPrintable(e.message()));
            QVERIFY2(!e.message().contains(QStringLiteral("no transaction")), qPrintable(e.message()));
        }
        QVERIFY(!c.inTransaction());
        // Nothing of the attempt stays in the rows: no row number, no person key.
        QCOMPARE(cu.changeCount(), 0);
        QVERIFY(cu.isEmpty());
        disk.release();
        QCOMPARE(count(c, QStringLiteral("SELECT count(*) FROM tafi_anafiscale")), 0);
        QCOMPARE(count(c, QStringLiteral("SELECT count(*) FROM tfis_datifiscali")), 0);

        // With room again the same 700 CUs are 700 persons, each its own row.
        fill(cu);
        s.Save(cu, QStringLiteral("TCUD_DATICUD"));
        QCOMPARE(count(c, QStringLiteral("SELECT count(*) FROM tafi_anafiscale")), 700);
        QCOMPARE(count(c, QStringLiteral("SELECT count(DISTINCT ifisrigo) FROM tfis_datifiscali")), 700);
        QCOMPARE(count(c, QStringLiteral("SELECT count(DISTINCT iafiid) FROM tfis_datifiscali")), 700);
        QCOMPARE(count(c, QStringLiteral("SELECT count(*) FROM tfis_datifiscali")), 700 * 3);
    }

    void aRefusedSaveKeepsTheChangesPending()
    {
        auto c = TestDb::open();
        addStructure(*c, QStringLiteral("TCUD_DATICUD"), 2025, cuFields(), true, kCuMap);
        // As the CU's sections are: the person's columns never written from them.
        addStructure(*c, QStringLiteral("TCUDI_INPS"), 2025, sectionFields(), false, kSectionMap, true);
        addStructure(*c, QStringLiteral("TALTRO"), 2025, sectionFields(), false, kSectionMap, false);
        TTorDBCds s = store(*c);
        TClientDataSet cu;
        s.Load(cu, QStringLiteral("TCUD_DATICUD"));
        appendCu(cu, QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("03"), QStringLiteral("ROSSI"));

        // A structure with no version: nothing done, the row still to save.
        try {
            s.Save(cu, QStringLiteral("TCUD_INESISTENTE"));
            QFAIL("a save into a missing structure was reported as done");
        } catch (const EOvError &e) {
            QCOMPARE(e.message(), QStringLiteral("Impossibile trovare il ClientDataSet (TCUD_INESISTENTE)."));
        }
        QCOMPARE(cu.changeCount(), 1);
        QCOMPARE(cu.fieldByName(QStringLiteral("SCUDCOGNOME")).asString(), QStringLiteral("ROSSI"));
        s.Save(cu, QStringLiteral("TCUD_DATICUD"));
        const int persons = count(*c, QStringLiteral("SELECT count(*) FROM tafi_anafiscale"));

        // A section row for a month with no CU would make an empty person
        // (dropped at the next start, the row orphaned): refused, with the
        // rows before it as they were.
        TClientDataSet inps;
        s.Load(inps, QStringLiteral("TCUDI_INPS"));
        auto section = [&](const QString &month) {
            inps.append();
            inps.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(QStringLiteral("RSSMRA80A01H501U"));
            inps.fieldByName(QStringLiteral("SCUDMESE")).setAsString(month);
            inps.fieldByName(QStringLiteral("FCUDIMPONIBILE")).setAsCurrency(Currency::fromInt(1000));
            inps.post();
        };
        section(QStringLiteral("03"));
        section(QStringLiteral("07"));
        try {
            s.Save(inps, QStringLiteral("TCUDI_INPS"));
            QFAIL("a section row without its CU was saved");
        } catch (const EOvError &e) {
            QCOMPARE(e.message(), QStringLiteral("Impossibile salvare i dati di TCUDI_INPS: non esiste una "
                                                 "certificazione con codice fiscale \"RSSMRA80A01H501U\" e mese "
                                                 "\"07\" a cui collegarli."));
        }
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tafi_anafiscale")), persons);
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tfis_datifiscali WHERE icdsid IN "
                                          "(SELECT icdsid FROM tcds_struttura WHERE scdsnome = 'TCUDI_INPS')")),
                 0);
        QCOMPARE(inps.changeCount(), 2);
        inps.first();
        QVERIFY(inps.fieldByName(QStringLiteral("iAfiID")).isNull());
        QVERIFY(inps.fieldByName(QStringLiteral("iFisRigo")).isNull());
        // Corrected, the same rows go in once each.
        inps.last();
        inps.edit();
        inps.fieldByName(QStringLiteral("SCUDMESE")).setAsString(QStringLiteral("03"));
        inps.post();
        s.Save(inps, QStringLiteral("TCUDI_INPS"));
        QCOMPARE(count(*c, QStringLiteral("SELECT count(DISTINCT ifisrigo) FROM tfis_datifiscali WHERE icdsid IN "
                                          "(SELECT icdsid FROM tcds_struttura WHERE scdsnome = 'TCUDI_INPS')")),
                 2);
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tafi_anafiscale")), persons);

        // Where the map writes the person's columns, the row makes its person.
        TClientDataSet other;
        s.Load(other, QStringLiteral("TALTRO"));
        other.append();
        other.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(QStringLiteral("BNCNNA75C41F205X"));
        other.fieldByName(QStringLiteral("SCUDMESE")).setAsString(QStringLiteral("07"));
        other.fieldByName(QStringLiteral("FCUDIMPONIBILE")).setAsCurrency(Currency::fromInt(5));
        other.post();
        s.Save(other, QStringLiteral("TALTRO"));
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tafi_anafiscale WHERE saficodfiscale = 'BNCNNA75C41F205X'")), 1);
    }

    void aPassingLockIsWaitedForAndReadersDoNotBlock()
    {
        if (TestDb::isPostgres())
            QSKIP("i blocchi del file valgono per SQLite");
        auto c = TestDb::open();
        addStructure(*c, QStringLiteral("TCUD_DATICUD"), 2025, cuFields(), true, kCuMap);
        {
            QSqlQuery q = c->exec(QStringLiteral("PRAGMA journal_mode"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toString(), QStringLiteral("wal"));
        }
        TTorDBCds s = store(*c);
        TClientDataSet cu;
        s.Load(cu, QStringLiteral("TCUD_DATICUD"));
        const QByteArray path = QFile::encodeName(TestDb::config().path);

        // Another workstation writes for a second and a half.
        std::atomic<bool> locked{false};
        std::thread writer([&] {
            sqlite3 *db = nullptr;
            sqlite3_open_v2(path.constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
            sqlite3_exec(db, "BEGIN IMMEDIATE; UPDATE tov_generatori SET igenvalore = igenvalore;", nullptr,
                         nullptr, nullptr);
            locked = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1500));
            sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        });
        while (!locked)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        appendCu(cu, QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("03"), QStringLiteral("ROSSI"));
        s.Save(cu, QStringLiteral("TCUD_DATICUD"));
        writer.join();
        QCOMPARE(cu.changeCount(), 0);

        // A reader in the middle of its reading does not stop a save.
        sqlite3 *reader = nullptr;
        QCOMPARE(sqlite3_open_v2(path.constData(), &reader, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(reader, "SELECT iafiid FROM tafi_anafiscale", -1, &st, nullptr);
        QCOMPARE(sqlite3_step(st), SQLITE_ROW); // its read transaction stays open
        appendCu(cu, QStringLiteral("BNCNNA75C41F205X"), QStringLiteral("12"), QStringLiteral("BIANCHI"));
        s.Save(cu, QStringLiteral("TCUD_DATICUD"));
        sqlite3_finalize(st);
        sqlite3_close(reader);
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tafi_anafiscale")), 2);

        // A lock that outlasts the wait is named in Italian.
        const QSqlError busy(QStringLiteral("Unable to fetch row"), QStringLiteral("database is locked"),
                             QSqlError::StatementError, QStringLiteral("5"));
        QVERIFY(ovSqlErrorText(busy).contains(QStringLiteral("il database è occupato da un'altra postazione")));
    }

    void aRowWhoseDataAllLiveInItsPersonComesBack()
    {
        // Another agent typed with tax code and name only: both go to the
        // person's columns, none to a value row.
        auto c = TestDb::open();
        addStructure(*c, QStringLiteral("TCUAS_DATIALTRISOST"), 2025,
                     {{"iAfiID", TFieldType::Integer, 0}, {"iFisRigo", TFieldType::Integer, 0},
                      {"SSOSCODFIS", TFieldType::String, 16}, {"SSOSDENOM", TFieldType::String, 60}},
                     true, QStringLiteral("saficodfiscale=SSOSCODFIS;saficognome=SSOSDENOM"));
        TTorDBCds s = store(*c);
        TClientDataSet agents;
        s.Load(agents, QStringLiteral("TCUAS_DATIALTRISOST"));
        agents.append();
        agents.fieldByName(QStringLiteral("SSOSCODFIS")).setAsString(QStringLiteral("80012345678"));
        agents.fieldByName(QStringLiteral("SSOSDENOM")).setAsString(QStringLiteral("UFFICIO SCOLASTICO REGIONALE"));
        agents.post();
        s.Save(agents, QStringLiteral("TCUAS_DATIALTRISOST"));
        TClientDataSet back;
        s.Load(back, QStringLiteral("TCUAS_DATIALTRISOST"));
        QCOMPARE(back.recordCount(), 1);
        QCOMPARE(back.fieldByName(QStringLiteral("SSOSDENOM")).asString(), QStringLiteral("UFFICIO SCOLASTICO REGIONALE"));
        // Renamed: still one row, with the new name.
        back.edit();
        back.fieldByName(QStringLiteral("SSOSDENOM")).setAsString(QStringLiteral("USR EMILIA-ROMAGNA"));
        back.post();
        s.Save(back, QStringLiteral("TCUAS_DATIALTRISOST"));
        s.Load(agents, QStringLiteral("TCUAS_DATIALTRISOST"));
        QCOMPARE(agents.recordCount(), 1);
        QCOMPARE(agents.fieldByName(QStringLiteral("SSOSDENOM")).asString(), QStringLiteral("USR EMILIA-ROMAGNA"));
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tfis_datifiscali")), 1);
    }

    void aSaveInsideTheCallersTransactionDoesNotCommitIt()
    {
        auto c = TestDb::open();
        addStructure(*c, QStringLiteral("TCUD_DATICUD"), 2025, cuFields(), true, kCuMap);
        TTorDBCds s = store(*c);
        TClientDataSet cu;
        s.Load(cu, QStringLiteral("TCUD_DATICUD"));
        {
            TOvTransaction tr(c.get());
            tr.StartTransaction();
            appendCu(cu, QStringLiteral("VRDLCU90E12L219K"), QStringLiteral("08"), QStringLiteral("VERDI"));
            s.Save(cu, QStringLiteral("TCUD_DATICUD"));
            QVERIFY(c->inTransaction());
            tr.Rollback();
        }
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tafi_anafiscale")), 0);
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tfis_datifiscali")), 0);
    }

    // Saves inside a caller's transaction number their rows from one lock,
    // alongside another store of the same connection; what a rolled-back
    // transaction made (its period, its numbers) is not used again.
    void savesOfOneTransactionShareTheLockAndForgetAnUndoneOne()
    {
        auto c = TestDb::open();
        addStructure(*c, QStringLiteral("TCUD_DATICUD"), 2025, cuFields(), true, kCuMap);
        TTorDBCds s = store(*c), other = store(*c);
        TClientDataSet cu, more;
        const QString cud = QStringLiteral("TCUD_DATICUD");
        {
            // The first save of the year makes the period; undone here.
            TOvTransaction tr(c.get());
            tr.StartTransaction();
            s.Load(cu, cud);
            appendCu(cu, QStringLiteral("VRDLCU90E12L219K"), QStringLiteral("08"), QStringLiteral("VERDI"));
            s.Save(cu, cud);
            tr.Rollback();
        }
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tcrf_crofiscale")), 0);
        {
            // Another program's period takes the first key now.
            TOvTransaction tr(c.get());
            tr.StartTransaction();
            getCroFiscale(*c, QStringLiteral("ALTRO"), 2025, 0);
            tr.Commit();
        }
        s.Load(cu, cud);
        other.Load(more, cud);
        {
            TOvTransaction tr(c.get());
            tr.StartTransaction();
            appendCu(cu, QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("12"), QStringLiteral("ROSSI"));
            s.Save(cu, cud);
            appendCu(more, QStringLiteral("BNCNNA75C41F205X"), QStringLiteral("12"), QStringLiteral("BIANCHI"));
            other.Save(more, cud);
            appendCu(cu, QStringLiteral("NREGLI85M55A944B"), QStringLiteral("12"), QStringLiteral("NERI"));
            s.Save(cu, cud);
            tr.Commit();
        }
        appendCu(cu, QStringLiteral("VRDLCU90E12L219K"), QStringLiteral("08"), QStringLiteral("VERDI"));
        s.Save(cu, cud);
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tcrf_crofiscale")), 2);
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tafi_anafiscale afi JOIN tcrf_crofiscale crf "
                                          "ON crf.icrfid = afi.icrfid WHERE crf.scrfprogramma = 'vel'")),
                 4);
        QCOMPARE(count(*c, QStringLiteral("SELECT count(DISTINCT ifisrigo) FROM tfis_datifiscali")), 4);
        QVERIFY(count(*c, QStringLiteral("SELECT icdsrigo FROM tcds_struttura"))
                >= count(*c, QStringLiteral("SELECT max(ifisrigo) FROM tfis_datifiscali")));
        TClientDataSet back;
        s.Load(back, cud);
        QStringList names;
        for (back.first(); !back.eof(); back.next())
            names << back.fieldByName(QStringLiteral("SCUDCOGNOME")).asString();
        names.sort();
        QCOMPARE(names, (QStringList{QStringLiteral("BIANCHI"), QStringLiteral("NERI"), QStringLiteral("ROSSI"),
                                     QStringLiteral("VERDI")}));
    }

    // Writing some fields of rows read earlier keeps what another workstation
    // saved since in the other fields, and does not bring back a row it
    // deleted; a field that is not a datum of the row, or a pending new row,
    // is refused with the changes left pending.
    void savingSomeFieldsKeepsTheRestAsStoredNow()
    {
        auto c = TestDb::open();
        addStructure(*c, QStringLiteral("TCUD_DATICUD"), 2025, cuFields(), true, kCuMap);
        TTorDBCds s = store(*c), other = store(*c);
        const QString cud = QStringLiteral("TCUD_DATICUD");
        TClientDataSet cu;
        s.Load(cu, cud);
        appendCu(cu, QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("12"), QStringLiteral("ROSSI"), QStringLiteral("100"));
        appendCu(cu, QStringLiteral("BNCNNA75C41F205X"), QStringLiteral("12"), QStringLiteral("BIANCHI"), QStringLiteral("200"));
        s.Save(cu, cud);
        TClientDataSet stale;
        s.Load(stale, cud);
        {
            // Meanwhile: Rossi's withholding corrected, Bianchi deleted.
            TClientDataSet now;
            other.Load(now, cud);
            QVERIFY(now.locate(QStringLiteral("SCUDCODFIS"), QStringLiteral("RSSMRA80A01H501U")));
            now.edit();
            now.fieldByName(QStringLiteral("FCUDRITIRPEF")).setAsCurrency(*Currency::parse(u"150"));
            now.post();
            QVERIFY(now.locate(QStringLiteral("SCUDCODFIS"), QStringLiteral("BNCNNA75C41F205X")));
            now.deleteRecord();
            other.Save(now, cud);
        }
        for (stale.first(); !stale.eof(); stale.next()) {
            stale.edit();
            stale.fieldByName(QStringLiteral("ICUDSTATO")).setAsInteger(1);
            stale.post();
        }
        s.SaveFields(stale, cud, {QStringLiteral("iCudStato")});
        QCOMPARE(stale.changeCount(), 0);
        TClientDataSet back;
        s.Load(back, cud);
        QCOMPARE(back.recordCount(), 1);
        QCOMPARE(back.fieldByName(QStringLiteral("SCUDCODFIS")).asString(), QStringLiteral("RSSMRA80A01H501U"));
        QCOMPARE(back.fieldByName(QStringLiteral("ICUDSTATO")).asInteger(), 1);
        QCOMPARE(back.fieldByName(QStringLiteral("FCUDRITIRPEF")).asCurrency(), *Currency::parse(u"150"));

        const struct
        {
            const char *field;
            bool newRow;
        } refused[] = {{"SCUDCOGNOME", false}, {"NONESISTE", false}, {"ICUDSTATO", true}};
        for (const auto &r : refused) {
            s.Load(back, cud);
            if (r.newRow)
                appendCu(back, QStringLiteral("VRDLCU90E12L219K"), QStringLiteral("08"), QStringLiteral("VERDI"));
            else {
                back.edit();
                back.fieldByName(QStringLiteral("ICUDSTATO")).setAsInteger(2);
                back.post();
            }
            QVERIFY_THROWS_EXCEPTION(EAssertionFailed, s.SaveFields(back, cud, {QString::fromLatin1(r.field)}));
            QCOMPARE(back.changeCount(), 1);
        }
        QCOMPARE(count(*c, QStringLiteral("SELECT count(*) FROM tfis_datifiscali WHERE ifisvalue = 2")), 0);
    }

    void periodsFollowTheMonthAskedFor()
    {
        auto c = TestDb::open();
        addStructure(*c, QStringLiteral("TCUD_DATICUD"), 2025, cuFields(), true, kCuMap);
        TTorDBCds s = store(*c);
        TClientDataSet cu;
        s.Load(cu, QStringLiteral("TCUD_DATICUD"));
        appendCu(cu, QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("03"), QStringLiteral("ROSSI"));
        s.Save(cu, QStringLiteral("TCUD_DATICUD"), 3);
        appendCu(cu, QStringLiteral("BNCNNA75C41F205X"), QStringLiteral("12"), QStringLiteral("BIANCHI"));
        s.Save(cu, QStringLiteral("TCUD_DATICUD"), 12);
        TClientDataSet back;
        s.Load(back, QStringLiteral("TCUD_DATICUD"), 3);
        QCOMPARE(back.recordCount(), 1);
        QCOMPARE(back.fieldByName(QStringLiteral("SCUDMESE")).asString(), QStringLiteral("03"));
        // Every period's rows, in the order they were written, each with its
        // own person's columns.
        appendCu(cu, QStringLiteral("VRDLGU70M10L219K"), QStringLiteral("03"), QStringLiteral("VERDI"));
        s.Save(cu, QStringLiteral("TCUD_DATICUD"), 3);
        s.Load(back, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        QStringList seen;
        for (back.first(); !back.eof(); back.next())
            seen << back.fieldByName(QStringLiteral("SCUDCOGNOME")).asString() + QLatin1Char('/')
                        + back.fieldByName(QStringLiteral("SCUDMESE")).asString() + QLatin1Char('/')
                        + back.fieldByName(QStringLiteral("SCUDCODFIS")).asString();
        QCOMPARE(seen, (QStringList{QStringLiteral("ROSSI/03/RSSMRA80A01H501U"), QStringLiteral("BIANCHI/12/BNCNNA75C41F205X"),
                                    QStringLiteral("VERDI/03/VRDLGU70M10L219K")}));
        s.Load(back, QStringLiteral("TCUD_DATICUD"), 3);
        QCOMPARE(back.recordCount(), 2);
        s.Load(back, QStringLiteral("TCUD_DATICUD"), 7);
        QVERIFY(back.isEmpty());
        s.Load(back, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
        QCOMPARE(back.recordCount(), 3);
        QVERIFY(s.HasRows(QStringLiteral("TCUD_DATICUD")));
        s.Load(back, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths, 2026 - 1);
        QCOMPARE(back.recordCount(), 3);
    }

    void handlersStayDetachedDuringALoad()
    {
        auto c = TestDb::open();
        addStructure(*c, QStringLiteral("TCUD_DATICUD"), 2025, cuFields(), true, kCuMap);
        TTorDBCds s = store(*c);
        TClientDataSet cu;
        s.Load(cu, QStringLiteral("TCUD_DATICUD"));
        appendCu(cu, QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("03"), QStringLiteral("ROSSI"));
        s.Save(cu, QStringLiteral("TCUD_DATICUD"));
        int posts = 0;
        int scrolls = 0;
        cu.beforePost = [&](TClientDataSet &) { ++posts; };
        cu.afterScroll = [&](TClientDataSet &) { ++scrolls; };
        s.Load(cu, QStringLiteral("TCUD_DATICUD"));
        QCOMPARE(posts, 0);
        QCOMPARE(scrolls, 0);
        QCOMPARE(cu.recordCount(), 1);
        cu.edit();
        cu.post();
        QCOMPARE(posts, 1); // attached again afterwards
    }
};

QTEST_MAIN(TestStore)
#include "tst_db_store.moc"
