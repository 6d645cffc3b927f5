// The query catalogue: lookups, its files and certificate, and the shipped
// statements on the engine of the run.
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvTransaction.h"
#include "platform/framework/OvMessages.h"
#include "platform/sql/OvQueryCollection.h"
#include "platform/sql/OvSQLQuery.h"
#include "tor/query/torCQueryText.h"

#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QString shippedSource()
{
    return QStringLiteral(VELCU_SOURCE_DIR "/tools/velcu-catalogue/rag_QueryText.xml");
}

QString shippedCatalogue()
{
    return QStringLiteral(VELCU_STAGE_DIR "/etc/rag/rag_QueryText.cds");
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

QString assertionOf(const std::function<void()> &fn)
{
    try {
        fn();
    } catch (const EAssertionFailed &e) {
        return e.message();
    }
    return QStringLiteral("<nessun errore>");
}

}

class TstDbCatalogue : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { VELCU_REQUIRE_TEST_DB(); }

    void lookupsMatchNameKindAndIndex()
    {
        TTorQueryText qt;
        qt.addStatement("QRY_SED", "EXECUTE", 0, "SELECT :IDWGID AS x");
        qt.addStatement("QRY_SED", "SELECT", 0, "SELECT 'select' AS x");
        qt.addStatement("QRY_DUE", "EXECUTE", 1, "SELECT :B AS b");

        TOvSQLQuery q;
        q.setCommandText("SELECT :OLD AS y");
        q.paramByName("OLD").setAsInteger(5);
        // SetQuery upper-cases the name and loads the EXECUTE row of index 0.
        qt.SetQuery("qry_sed", q);
        QCOMPARE(q.commandText(), QStringLiteral("SELECT :IDWGID AS x"));
        QCOMPARE(q.params().count(), 1);
        QCOMPARE(q.params()[0].name(), QStringLiteral("IDWGID"));
        QCOMPARE(qt.lastOperation(), QStringLiteral("QRY_SED"));
        qt.SetQuery("QRY_DUE", q, 1);
        QCOMPARE(q.commandText(), QStringLiteral("SELECT :B AS b"));
        QCOMPARE(qt.lastOperation(), QStringLiteral("QRY_DUE"));

        // Not found: an assertion naming the query, text emptied, last operation kept.
        QCOMPARE(assertionOf([&] { qt.SetQuery("qry_due", q); }), QStringLiteral("Query: QRY_DUE"));
        QVERIFY(q.commandText().isEmpty());
        QCOMPARE(assertionOf([&] { qt.SetQuery("QRY_SED", q, 0, "DELETE"); }), QStringLiteral("Query: QRY_SED"));
        QCOMPARE(qt.lastOperation(), QStringLiteral("QRY_DUE"));

        // SetCommand keeps the name as given: lower case finds nothing.
        TClientDataSet cds;
        QCOMPARE(assertionOf([&] { qt.SetCommand("qry_sed", cds, "SELECT"); }), QStringLiteral("Query: qry_sed"));
        cds.setCommandText("SELECT :IDWGID, :ALTRO");
        cds.paramByName("IDWGID").setAsInteger(7);
        cds.paramByName("ALTRO").setAsInteger(8);
        qt.SetCommand("QRY_SED", cds, "EXECUTE");
        QCOMPARE(cds.params().count(), 1);
        QCOMPARE(cds.paramByName("IDWGID").asInteger(), 7);   // a parameter that stays keeps its value

        QCOMPARE(qt.GetQueryText("QRY_SED", "SELECT"), QStringLiteral("SELECT 'select' AS x"));
        QCOMPARE(assertionOf([&] { qt.GetQueryText("QRY_SED", "INSERT"); }), QStringLiteral("Query : QRY_SED"));

        // Rows changed later are found at once.
        qt.addStatement("QRY_NUOVA", "SELECT", 0, "SELECT 1");
        QCOMPARE(qt.GetQueryText("QRY_NUOVA", "SELECT"), QStringLiteral("SELECT 1"));
    }

    void collectionStopsAtTheFirstMissingIndex()
    {
        TTorQueryText qt;
        qt.addStatement("QRY_COLL", "SELECT", 0, "SELECT * FROM t WHERE k = :K");
        qt.addStatement("QRY_COLL", "UPDATE", 0, "UPDATE 0");
        qt.addStatement("QRY_COLL", "UPDATE", 3, "UPDATE 3");
        qt.addStatement("QRY_COLL", "UPDATE", 1, "UPDATE 1");
        qt.addStatement("QRY_COLL", "DELETE", 1, "DELETE 1");   // no index 0: none
        TOvQueryCollection c;
        c.SQLInsert = {"stale"};
        qt.SetCollection("QRY_COLL", c);
        QCOMPARE(c.commandText(), QStringLiteral("SELECT * FROM t WHERE k = :K"));
        QCOMPARE(c.SQLUpdate, QStringList({"UPDATE 0", "UPDATE 1"}));
        QVERIFY(c.SQLInsert.isEmpty());
        QVERIFY(c.SQLDelete.isEmpty());
        QCOMPARE(assertionOf([&] { qt.SetCollection("qry_coll", c); }), QStringLiteral("Query: qry_coll"));
    }

    void formatQueryFillsPlaceholders()
    {
        TClientDataSet q;
        q.setCommandText("SELECT a FROM t WHERE s LIKE 'x%' AND b = :B %s AND c = '%%' %s");
        TTorQueryText::FormatQuery(q, {QStringLiteral("AND d = :D"), 4});
        QCOMPARE(q.commandText(), QStringLiteral("SELECT a FROM t WHERE s LIKE 'x%' AND b = :B AND d = :D AND c = '%' 4"));
        QCOMPARE(q.params().count(), 2);
        q.setCommandText("%s %s");
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, TTorQueryText::FormatQuery(q, {1}));
    }

    void xmlSourceIsCheckedBeforeItReplacesTheCatalogue()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("q.xml");
        TTorQueryText qt;
        qt.addStatement("QRY_KEEP", "SELECT", 0, "SELECT 1");
        struct Case
        {
            const char *xml;
            const char *message;
        } cases[] = {
            {"<catalogue><statement name='qry_x' kind='SELECT'>SELECT 1</statement></catalogue>", "maiuscolo"},
            {"<catalogue><statement name='QRY_X' kind='SELECT'>SELECT 1</statement>\n"
             "<statement name='QRY_X' kind='SELECT' index='0'>SELECT 2</statement></catalogue>",
             "riga 2: \"QRY_X\" SELECT indice 0 già definita alla riga 1"},
            {"<catalogue><statement name='QRY_X' kind='SELECT'/></catalogue>", "testo SQL mancante"},
            {"<catalogue><statement name='QRY_X' kind='UPSERT'>X</statement></catalogue>", "tipo \"UPSERT\""},
            {"<catalogue><statement name='QRY_X' kind='SELECT' index='-1'>X</statement></catalogue>", "indice"},
            {"<catalogue><statement name='QRY_X'", "XML non valido"},
        };
        for (const Case &c : cases) {
            writeFile(path, c.xml);
            try {
                qt.loadFromXml(path);
                QFAIL(c.xml);
            } catch (const EOvError &e) {
                QVERIFY2(e.message().contains(QString::fromUtf8(c.message)), qPrintable(e.message()));
                QVERIFY2(e.message().contains(path), qPrintable(e.message()));
            }
            QCOMPARE(qt.GetQueryText("QRY_KEEP", "SELECT"), QStringLiteral("SELECT 1"));
        }
        writeFile(path, "<catalogue><statement name='VER_PROVA' kind='1.2.3'/>"
                        "<statement name='QRY_X' kind='SELECT' index='2'><![CDATA[SELECT a < b]]></statement>"
                        "</catalogue>");
        qt.loadFromXml(path);
        QCOMPARE(qt.recordCount(), 2);
        QCOMPARE(qt.statement("QRY_X", "SELECT", 2), QStringLiteral("SELECT a < b"));
        QCOMPARE(qt.requiredVersion("VER_PROVA"), QStringLiteral("1.2.3"));
        QVERIFY(qt.requiredVersion("VER_ALTRO").isNull());
        QVERIFY(qt.statement("QRY_KEEP", "SELECT").isNull());
    }

    void certificateGuardsTheCatalogueFile()
    {
        QTemporaryDir dir;
        const QString cds = dir.filePath("rag_QueryText.cds");
        {
            TTorQueryText qt;
            qt.addStatement("QRY_A", "SELECT", 0, "SELECT 1");
            qt.saveCatalogue(cds);
        }
        const QString unxc = dir.filePath("rag_QueryText.unxc");
        QCOMPARE(TTorQueryText::certificatePath(cds), unxc);
        QFile cert(unxc);
        QVERIFY(cert.open(QIODevice::ReadOnly));
        const QByteArray certText = cert.readAll();
        cert.close();
        QVERIFY(certText.endsWith("\r\n"));

        bool discarded = true;
        auto check = [&](bool on) -> bool {
            TTorQueryText qt;
            qt.CheckCertificate = on;
            qt.loadCatalogue(cds);
            const bool valid = qt.certificateValid();
            discarded = discarded && qt.ExpectedCertificate.isEmpty();   // discarded after the check
            return valid;
        };
        QVERIFY(check(true));
        QVERIFY(check(false));

        // Lines are what counts: the same file with other line ends is the same catalogue.
        QFile f(cds);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray original = f.readAll();
        f.close();
        QByteArray crlf = original;
        crlf.replace("\r\n", "\n").replace("\n", "\r\n");
        writeFile(cds, crlf);
        QVERIFY(check(true));

        // Edited after its certificate: refused (unless the check is off).
        QByteArray edited = original;
        edited.replace("SELECT 1", "SELECT 2");
        QVERIFY(edited != original);
        writeFile(cds, edited);
        QVERIFY(!check(true));
        QVERIFY(check(false));

        // Certificate missing or without its line end: refused.
        writeFile(cds, original);
        writeFile(unxc, certText.chopped(2));
        QVERIFY(!check(true));
        QFile::remove(unxc);
        QVERIFY(!check(true));

        // With the check on but no catalogue read, nothing is certified.
        TTorQueryText empty;
        empty.CheckCertificate = true;
        QVERIFY(!empty.certificateValid());
        QVERIFY(discarded);
    }

    void anotherDatasetIsNoCatalogue()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath("altro.cds");
        TClientDataSet other;
        other.addFieldDef("Codice", TFieldType::String, 10);
        other.createDataSet();
        other.appendRecord({"X"});
        other.saveToFile(path);
        TTorQueryText qt;
        qt.addStatement("QRY_A", "SELECT", 0, "SELECT 1");
        try {
            qt.loadCatalogue(path);
            QFAIL("a code table was taken for the catalogue");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().contains("manca la colonna Query"), qPrintable(e.message()));
        }
        QCOMPARE(qt.recordCount(), 0);
        QVERIFY(qt.statement("QRY_A", "SELECT").isNull());
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, qt.GetQueryText("QRY_A", "SELECT"));
    }

    void errorsNameTheLastStatement()
    {
        auto db = TestDb::open();
        TTorQueryText &qt = QueryText();
        qt.setLastOperation(QString());
        const EDatabaseError plain(QStringLiteral("Errore del database: qualcosa"));
        QCOMPARE(exceptionText(plain), QStringLiteral("Errore del database: qualcosa"));

        qt.addStatement("QRY_ROTTA", "SELECT", 0, "SELECT * FROM tabella_che_non_esiste");
        TOvSQLQuery q(db.get());
        qt.SetQuery("QRY_ROTTA", q, 0, "SELECT");
        try {
            q.open();
            QFAIL("a missing table was opened");
        } catch (const EDatabaseError &e) {
            const QString shown = exceptionText(e);
            QVERIFY2(shown.startsWith(e.message()), qPrintable(shown));
            QVERIFY2(shown.endsWith(QStringLiteral("\r\nUltima operazione DB: QRY_ROTTA")), qPrintable(shown));
        }
        // Framework errors, warnings and assertions are shown as they are.
        QCOMPARE(exceptionText(EOvError(QStringLiteral("E"))), QStringLiteral("E"));
        QCOMPARE(exceptionText(EOvWarning(QStringLiteral("W"))), QStringLiteral("W"));
        QCOMPARE(exceptionText(EAssertionFailed(QStringLiteral("A"))), QStringLiteral("A"));
        qt.clearStatements();
        qt.setLastOperation(QString());
    }

    void shippedCatalogueIsCertifiedAndVersioned()
    {
        TTorQueryText qt;
        qt.CheckCertificate = true;
        qt.loadCatalogue(shippedCatalogue());
        QVERIFY(qt.certificateValid());
        QCOMPARE(qt.requiredVersion("VER_VELCU"), QStringLiteral("6.97.29"));
        // The build output matches its source.
        TTorQueryText source;
        source.loadFromXml(shippedSource());
        QCOMPARE(qt.recordCount(), source.recordCount());
        for (const char *name : {"QRY_SED", "QRY_YRPT", "QRY_YAPVRFO", "QRY_YRFO"})
            QCOMPARE(qt.GetQueryText(name, "EXECUTE"), source.GetQueryText(name, "EXECUTE"));
        for (const char *name : {"QRY_PACO", "QRY_PACO_ANF"})
            QVERIFY(!qt.GetQueryText(name, "SELECT").isEmpty());
    }

    void schoolRecordOfTheDemo()
    {
        auto db = TestDb::open(true);
        // A configuration of 2023: the school's address then was the old one.
        db->exec("INSERT INTO tdwg_gruppilavoro (idwgid, isedid, ianfid, iansid, sdwgdesc) "
                 "VALUES (3, 1, 54, 54, 'E.F. 2023')");
        TTorQueryText qt;
        qt.loadFromXml(shippedSource());
        TOvQueryCollection sos(db.get());
        sos.PacketRecords = 25;
        qt.SetCommand("QRY_SED", sos, "EXECUTE");
        sos.paramByName("IDWGID").setAsInteger(1);
        sos.open();
        QCOMPARE(sos.recordCount(), 1);
        QCOMPARE(sos.fieldByName("SSEDNOMCODICEFISC").asString(), QStringLiteral("92017840536"));
        QCOMPARE(sos.fieldByName("SSEDNOMLDESC").asString(), QStringLiteral("ISTITUTO COMPRENSIVO STATALE DANTE ALIGHIERI"));
        QCOMPARE(sos.fieldByName("SSEDINDINDIRIZZO").asString(), QStringLiteral("VIA GIUSEPPE MAZZINI, 12"));
        QCOMPARE(sos.fieldByName("SCOMDESC").asString(), QStringLiteral("RAVENNA"));
        QCOMPARE(sos.fieldByName("SPROSIGLA").asString(), QStringLiteral("RA"));
        QCOMPARE(sos.fieldByName("SCAPVALUE").asString(), QStringLiteral("48121"));
        QCOMPARE(sos.fieldByName("SSEDTELTELEFONO").asString(), QStringLiteral("0544 212345"));
        QCOMPARE(sos.fieldByName("IANFID").asInteger(), 56);
        QCOMPARE(sos.fieldByName("DANFORVEXFINE").dataType(), TFieldType::Date);
        QCOMPARE(sos.fieldByName("DANFORVEXFINE").asDate(), QDate(2025, 12, 31));

        sos.close();
        sos.paramByName("IDWGID").setAsInteger(3);
        sos.open();
        QCOMPARE(sos.fieldByName("SSEDINDINDIRIZZO").asString(), QStringLiteral("VIA GUIDO DA POLENTA, 5"));
        sos.close();
        sos.paramByName("IDWGID").setAsInteger(99);
        sos.open();
        QVERIFY(sos.isEmpty());

        TOvSQLQuery paco(db.get());
        qt.SetQuery("QRY_PACO_ANF", paco, 0, "SELECT");
        paco.paramByName("IANFID").setAsInteger(56);
        paco.open();
        QCOMPARE(paco.recordCount(), 1);
        QCOMPARE(paco.fieldByName("IDWGANFID").asInteger(), 1);
        QCOMPARE(paco.fieldByName("LPACOAFAM").asInteger(), 0);
    }

    void agentParametersAreEditedThroughTheCollection()
    {
        auto db = TestDb::open(true);
        TTorQueryText qt;
        qt.loadFromXml(shippedSource());
        TOvQueryCollection paco(db.get());
        qt.SetCollection("QRY_PACO", paco);
        QCOMPARE(paco.SQLInsert.size(), 1);
        paco.paramByName("IDWGID").setAsInteger(2);
        paco.open();
        QCOMPARE(paco.fieldByName("SPACOMATRAZIENDA").asString(), QStringLiteral("4512345678"));
        paco.deleteRecord();
        paco.applyUpdates();
        paco.refresh();
        QVERIFY(paco.isEmpty());

        // A new row takes the configuration of the select.
        paco.append();
        paco.fieldByName("SPACOMATRAZIENDA").setAsString("9990001112");
        paco.post();
        paco.applyUpdates();
        paco.refresh();
        QCOMPARE(paco.recordCount(), 1);
        QCOMPARE(paco.fieldByName("IDWGANFID").asInteger(), 2);
        QCOMPARE(paco.fieldByName("LPACOCUDINPDAP").asInteger(), 0);
        paco.edit();
        paco.fieldByName("SPACOCFMEF").setAsString("80415740580");
        paco.post();
        paco.applyUpdates();

        TOvSQLQuery check(db.get());
        check.setCommandText("SELECT spacomatrazienda, spacocfmef FROM tpaco_paramcontabili ORDER BY idwganfid");
        check.open();
        QCOMPARE(check.recordCount(), 2);
        QCOMPARE(check.fieldByName("SPACOMATRAZIENDA").asString(), QStringLiteral("4512345678"));   // untouched
        check.last();
        QCOMPARE(check.fieldByName("SPACOMATRAZIENDA").asString(), QStringLiteral("9990001112"));
        QCOMPARE(check.fieldByName("SPACOCFMEF").asString(), QStringLiteral("80415740580"));
    }

    void reportStatementsRunTwice()
    {
        auto db = TestDb::open();
        TTorQueryText qt;
        qt.loadFromXml(shippedSource());
        TOvSQLQuery q(db.get());
        for (int round = 0; round < 2; ++round) {
            qt.SetQuery("QRY_YRPT", q);
            TTorQueryText::FormatQuery(q, {QString()});
            q.paramByName("IYRPTID").setAsInteger(7);
            q.paramByName("IYRFOID").setAsInteger(11006);
            q.paramByName("SYRPTDESC").setAsString(round ? "Seconda" : "Prima");
            q.paramByName("IYRPTVERSION").setAsInteger(round + 1);
            q.paramByName("SYRPTNOTE").clear();
            q.paramByName("BYRPTREPORT").setValue(QByteArray("\x00layout\xff", 8));
            q.paramByName("BYRPTVAR").clear();
            QCOMPARE(q.execSQL(), 1);
            qt.SetQuery("QRY_YAPVRFO", q);
            q.paramByName("IYAPVRFOID").setAsInteger(11006);
            q.paramByName("IYAPPID").setAsInteger(11);
            q.execSQL();
            qt.SetQuery("QRY_YRFO", q);
            q.paramByName("IYRFOID").setAsInteger(11006);
            q.paramByName("IYRFOID_P").setAsInteger(11001);
            q.paramByName("SYRFODESC").setAsString("Registro compensi");
            q.execSQL();
        }
        q.setCommandText("SELECT r.syrptdesc, r.iyrptversion, r.byrptreport, r.syrptnote, f.syrfodesc, "
                         "(SELECT count(*) FROM tyapvrfo_appcartelle) AS napp "
                         "FROM tyrpt_report r JOIN tyrfo_cartellereport f ON f.iyrfoid = r.iyrfoid");
        q.open();
        QCOMPARE(q.recordCount(), 1);
        QCOMPARE(q.fieldByName("SYRPTDESC").asString(), QStringLiteral("Seconda"));
        QCOMPARE(q.fieldByName("IYRPTVERSION").asInteger(), 2);
        QCOMPARE(q.fieldByName("BYRPTREPORT").asBlob(), QByteArray("\x00layout\xff", 8));
        QVERIFY(q.fieldByName("SYRPTNOTE").isNull());
        QCOMPARE(q.fieldByName("NAPP").asInteger(), 1);
    }
};

QTEST_MAIN(TstDbCatalogue)
#include "tst_db_catalogue.moc"
