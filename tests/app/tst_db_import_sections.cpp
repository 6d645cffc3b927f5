// The section builders of a CU over the demo school, on both engines:
// dependants from the deduction declarations, INPS rows, public pension
// from the NoiPA payments and from the UniEmens declarations, self-employed
// payments. Expected figures are the demo's amounts worked out by hand
// (docs/demo-payees.md).
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "rag/calc/ragUQuery.h"
#include "src/prj/unit/import/VelImpAutonomi.h"
#include "src/prj/unit/import/VelImpFamiliari.h"
#include "src/prj/unit/import/VelImpInps.h"
#include "src/prj/unit/import/VelUniEmensDemo.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"

#include <QDate>
#include <QFile>
#include <QHash>
#include <QTest>

namespace {

Currency money(const char *text)
{
    return *Currency::parse(QString::fromLatin1(text));
}

const QString kMarchetti = QStringLiteral("MRCRNI67H66H199A");   // payee 39
const QString kFontana = QStringLiteral("FNTGRG76A71H199Y");     // payee 21
const QString kScuola = QStringLiteral("92017840536");

struct Riga
{
    QString section;
    QString text;
};

}

class TstDbImportSections : public QObject
{
    Q_OBJECT
    std::unique_ptr<TOvSQLConnection> db;
    std::unique_ptr<TTorDBCds> store;
    TClientDataSet cdsImport, cdsConFamCar, cdsINPS, cdsINPDAP, cdsAutonomo;
    QList<Riga> log;

    // The CU main record of a payee, saved as the CU builder does first (the
    // one already stored by an earlier case, the store holding one CU per tax
    // code and month); the context of its sections.
    TVelImpContesto cu(int n, const QString &cf, const QString &mese = QStringLiteral("12"))
    {
        if (cdsImport.locate(QStringLiteral("SCUDCODFIS;SCUDMESE"), QVariantList{cf, mese}))
            cdsImport.edit();
        else
            cdsImport.append();
        cdsImport.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(cf);
        cdsImport.fieldByName(QStringLiteral("SCUDMESE")).setAsString(mese);
        cdsImport.fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(QStringLiteral("PERCIPIENTE %1").arg(n));
        cdsImport.fieldByName(QStringLiteral("SCUDANNOFIN")).setAsString(QStringLiteral("2025"));
        cdsImport.post();
        store->Save(cdsImport, QStringLiteral("TCUD_DATICUD"));
        TVelImpContesto c;
        c.connection = db.get();
        c.store = store.get();
        c.anno = 2025;
        c.IANFID = 56;
        c.IACOMID = 100 + n;
        c.IANAID = n;
        c.MESE_FINALE = mese.toInt();
        c.SCUDCODFIS = cf;
        c.SCUDMESE = mese;
        c.iAfiID = cdsImport.fieldByName(QStringLiteral("iAfiID")).asInteger();
        c.listaFiscale = QStringLiteral("1,2");
        c.listaInps = QStringLiteral("1,2,3");
        c.paco.SPACOMATRAZIENDA = QStringLiteral("4512345678");
        c.paco.SPACOCFINPS = QStringLiteral("80078750587");
        c.paco.SPACOCFMEF = QStringLiteral("80415740580");
        c.SSOSCODFIS = kScuola;
        c.log = [this](int section, const QString &text) { log.append({velTitoloSezioneLog(section), text}); };
        return c;
    }

    // The rows of a section table that belong to a tax code, as stored:
    // reloaded from the store, so what was not saved does not count.
    QList<QVariantMap> stored(const QString &table, const QString &cf, const QString &mese = QString())
    {
        TClientDataSet ds;
        store->Load(ds, table);
        QList<QVariantMap> out;
        for (ds.first(); !ds.eof(); ds.next()) {
            if (ds.fieldByName(QStringLiteral("SCUDCODFIS")).asString() != cf
                || (!mese.isEmpty() && ds.fieldByName(QStringLiteral("SCUDMESE")).asString() != mese))
                continue;
            QVariantMap m;
            for (const QString &f : ds.fieldNames())
                m.insert(f.toUpper(), ds.fieldByName(f).value());
            out << m;
        }
        return out;
    }

    static QString s(const QVariantMap &row, const char *f) { return row.value(QLatin1String(f)).toString(); }
    static Currency c(const QVariantMap &row, const char *f)
    {
        const QVariant v = row.value(QLatin1String(f));
        return v.isNull() ? Currency() : v.value<Currency>();
    }
    static QString mesi(const QVariantMap &row, const QString &prefix, const QString &suffix = QString())
    {
        static const char *const m[] = {"GENNAIO", "FEBBRAIO", "MARZO", "APRILE", "MAGGIO", "GIUGNO",
                                        "LUGLIO", "AGOSTO", "SETTEMBRE", "OTTOBRE", "NOVEMBRE", "DICEMBRE"};
        QString out;
        for (const char *x : m) {
            const QString v = row.value(prefix + QLatin1String(x) + suffix).toString();
            out += v.isEmpty() ? QStringLiteral("_") : v;
        }
        return out;
    }
    // The store on the UniEmens program's tables of 2025.
    void uniEmensStore(TTorDBCds &tpf)
    {
        tpf.setConnection(db.get());
        tpf.setProgram(kUniEmensProgram);
        tpf.setYear(2025);
        tpf.setMonth(TTorDBCds::AllMonths);
        tpf.setShowWait(false);
    }
    QStringList testi(const QString &section) const
    {
        QStringList out;
        for (const Riga &r : log)
            if (r.section == section)
                out << r.text;
        return out;
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QueryText().loadFromXml(QStringLiteral(VELCU_SOURCE_DIR "/tools/velcu-catalogue/rag_QueryText.xml"));
        db = TestDb::open(true);
        seedStructures(*db, QStringLiteral("vel"), 2025);
        QVERIFY(seedUniEmensDemo(*db, kMarchetti, kFontana).rows > 0);
        store = std::make_unique<TTorDBCds>();
        store->setConnection(db.get());
        store->setProgram(QStringLiteral("vel"));
        store->setYear(2025);
        store->setShowWait(false);
    }
    void init()
    {
        store->Load(cdsImport, QStringLiteral("TCUD_DATICUD"));
        store->Load(cdsConFamCar, QStringLiteral("TCUDC_CONFAMCARICO"));
        store->Load(cdsINPS, QStringLiteral("TCUDI_INPS"));
        store->Load(cdsINPDAP, QStringLiteral("TCUDN_INPDAP"));
        store->Load(cdsAutonomo, QStringLiteral("TASE_AUTSOMMEEROGATE"));
        log.clear();
    }
    void cleanupTestCase()
    {
        store.reset();
        db.reset();
    }

    void dependants()
    {
        TVelImpFamiliari fam;

        // 16: spouse; first child declared in two ranges at two percentages
        // (January-June 50 %, July-December 100 %): one row per percentage,
        // each with its 6 months; a second child under three in the further
        // slot of the row that has room.
        const QString giordano = QStringLiteral("GRDSFN81A09A662V");
        QCOMPARE(fam.importa(cu(16, giordano), cdsConFamCar), 2);
        QList<QVariantMap> r = stored(QStringLiteral("TCUDC_CONFAMCARICO"), giordano);
        QCOMPARE(r.size(), 2);
        if (s(r[0], "SCUDDETRSPETTPRIFIGL") != QLatin1String("50.00"))
            std::swap(r[0], r[1]);
        QCOMPARE(s(r[0], "LCUDRELPARCON"), QStringLiteral("1"));
        QCOMPARE(s(r[0], "SCUDCODFISCON"), QStringLiteral("LNEMRT83M59A662B"));
        QCOMPARE(s(r[0], "SCUDMESICARCON"), QStringLiteral("12"));
        QCOMPARE(s(r[0], "SCUDDTANNOCONIUGE"), QStringLiteral("2025"));
        for (const QVariantMap &x : r) {
            QCOMPARE(s(x, "LCUDRELPARPRIFIGL"), QStringLiteral("1"));
            QCOMPARE(s(x, "LCUDRELPARPRIFIGLDIS"), QStringLiteral("0"));
            QCOMPARE(s(x, "SCUDCODFISPRIFIGL"), QStringLiteral("GRDSFO12H70H199S"));
            QCOMPARE(s(x, "SCUDMESICARPRIFIGL"), QStringLiteral("06"));
            QCOMPARE(s(x, "SCUDMINTREANNPRIFIGL"), QString());
            QCOMPARE(s(x, "SCUDDTANNOPRIFIGL"), QStringLiteral("2025"));
            QCOMPARE(x.value(QStringLiteral("IAFIID")).toLongLong(), cdsImport.fieldByName(QStringLiteral("iAfiID")).asInteger());
        }
        QCOMPARE(s(r[1], "SCUDDETRSPETTPRIFIGL"), QStringLiteral("100.00"));
        QCOMPARE(s(r[1], "SCUDCODFISCON"), QString());
        QCOMPARE(s(r[1], "LCUDRELPARFIGL"), QStringLiteral("1"));
        QCOMPARE(s(r[1], "SCUDCODFISFIGL"), QStringLiteral("GRDPTR23S04H199V"));
        QCOMPARE(s(r[1], "SCUDMESICARFIGL"), QStringLiteral("12"));
        QCOMPARE(s(r[1], "SCUDMINTREANNFIGL"), QStringLiteral("12"));
        QCOMPARE(c(r[1], "FCUDDETRSPETTFIGL"), money("50"));
        QVERIFY(log.isEmpty());

        // A payee who already has family rows keeps them untouched.
        TVelImpContesto again = cu(16, giordano, QStringLiteral("11"));
        QCOMPARE(fam.importa(again, cdsConFamCar), 0);
        QCOMPARE(stored(QStringLiteral("TCUDC_CONFAMCARICO"), giordano), r);

        // 17: other parent missing, first child 12 months: share "C"; a
        // child with 0 months and a child without tax code are logged only.
        const QString rizzo = QStringLiteral("RZZVNT79R53H199R");
        QCOMPARE(fam.importa(cu(17, rizzo), cdsConFamCar), 1);
        r = stored(QStringLiteral("TCUDC_CONFAMCARICO"), rizzo);
        QCOMPARE(r.size(), 1);
        QCOMPARE(s(r[0], "LCUDRELPARCON"), QStringLiteral("0"));
        QCOMPARE(s(r[0], "SCUDCODFISCON"), QString());
        QCOMPARE(s(r[0], "SCUDCODFISPRIFIGL"), QStringLiteral("RZZMME10B42C553W"));
        QCOMPARE(s(r[0], "SCUDDETRSPETTPRIFIGL"), QStringLiteral("C"));
        QCOMPARE(s(r[0], "SCUDCODFISFIGL"), QString());
        QCOMPARE(s(r[0], "LCUDRELPARFIGL"), QStringLiteral("0"));
        QCOMPARE(testi(QStringLiteral("Sezione familiari a carico per detrazioni")),
                 (QStringList{QStringLiteral("Figlio nr 3: codice fiscale non impostato."),
                              QStringLiteral("Figlio (codice fiscale RZZNHO04L07C553X): nessun mese a carico.")}));

        // 18: two other dependants without a percentage: one row each, the
        // second never over the first.
        log.clear();
        const QString lombardi = QStringLiteral("LMBNDR72D04G224G");
        QCOMPARE(fam.importa(cu(18, lombardi), cdsConFamCar), 2);
        r = stored(QStringLiteral("TCUDC_CONFAMCARICO"), lombardi);
        QCOMPARE(r.size(), 2);
        QStringList codes{s(r[0], "SCUDCODFISFIGL"), s(r[1], "SCUDCODFISFIGL")};
        codes.sort();
        QCOMPARE(codes, (QStringList{QStringLiteral("FRRDAA42C55G224U"), QStringLiteral("LMBGNI40A20G224H")}));
        for (const QVariantMap &x : r) {
            QCOMPARE(s(x, "LCUDRELPARNONASCEND"), QStringLiteral("1"));
            QCOMPARE(s(x, "SCUDMESICARFIGL"), QStringLiteral("12"));
            QCOMPARE(c(x, "FCUDDETRSPETTFIGL"), Currency());
        }
        QCOMPARE(testi(QStringLiteral("Sezione familiari a carico per detrazioni")),
                 QStringList{QStringLiteral("Dati degli altri familiari a carico: manca la percentuale di detrazione")});

        // 25: four children: first and second share a row, then one row each.
        QCOMPARE(fam.importa(cu(25, QStringLiteral("CRSMTN84B48H199A")), cdsConFamCar), 3);
        // 3: no declaration, nothing.
        QCOMPARE(fam.importa(cu(3, QStringLiteral("SPSGPP68A30F839J")), cdsConFamCar), 0);
    }

    void dependantsBadDeclaration()
    {
        // A declaration the office left half done (written here for payee 3,
        // who has none): spouse dependent without tax code, two children
        // declared without detail, one other dependant without code or
        // percentage. Log lines only; the spouse row is still written.
        db->exec(QStringLiteral("INSERT INTO tadet_detrazioni (iadetid, ianaid, ianfid, sadetcfconcar, ladetconcar, "
                                "iadetfigli, iadetaltri, sadetcfaltricar1, sadetcfaltricar2, fadetpercaltri, "
                                "ladetmancagenitore) VALUES (9003, 3, 56, NULL, 1, 2, 1, NULL, NULL, 0, 0)"));
        TVelImpFamiliari fam;
        const QString esposito = QStringLiteral("SPSGPP68A30F839J");
        QCOMPARE(fam.importa(cu(3, esposito, QStringLiteral("10")), cdsConFamCar), 1);
        db->exec(QStringLiteral("DELETE FROM tadet_detrazioni WHERE iadetid = 9003"));
        const QList<QVariantMap> r = stored(QStringLiteral("TCUDC_CONFAMCARICO"), esposito);
        QCOMPARE(r.size(), 1);
        QCOMPARE(s(r[0], "LCUDRELPARCON"), QStringLiteral("1"));
        QCOMPARE(s(r[0], "SCUDCODFISCON"), QString());
        QCOMPARE(s(r[0], "SCUDMESICARCON"), QStringLiteral("12"));
        QCOMPARE(s(r[0], "LCUDRELPARNONASCEND"), QStringLiteral("0"));
        QCOMPARE(testi(QStringLiteral("Sezione familiari a carico per detrazioni")),
                 (QStringList{QStringLiteral("Codice fiscale coniuge mancante"),
                              QStringLiteral("Dati relativi ai figli a carico non importati. \r\n  Non inseriti nel "
                                             "CUD o sezione casi particolari delle detrazioni non impostate nei dati "
                                             "retributivi."),
                              QStringLiteral("Dati degli altri familiari a carico non importati correttamente"),
                              QStringLiteral("Dati degli altri familiari a carico: manca la percentuale di detrazione")}));
    }

    void inps()
    {
        TVelImpInps inps;
        // 20: fundamental pay 12 x 1,500.00 / 137.85 and accessory pay
        // 500.00 / 45.95 under the same company number: one row.
        const QString barbieri = QStringLiteral("BRBFBA87P16H199A");
        QCOMPARE(inps.importa(cu(20, barbieri), cdsINPS), 1);
        QList<QVariantMap> r = stored(QStringLiteral("TCUDI_INPS"), barbieri);
        QCOMPARE(r.size(), 1);
        QCOMPARE(s(r[0], "SCUDMATRAZIENDA"), QStringLiteral("4512345678"));
        QCOMPARE(c(r[0], "FCUDIMPONIBILE"), money("18500"));
        QCOMPARE(c(r[0], "FCUDCONTRIBTRATT"), money("1700.15"));
        QCOMPARE(s(r[0], "LCUDENTEINPS"), QStringLiteral("X"));
        QCOMPARE(s(r[0], "LCUDENTEALTRO"), QStringLiteral("0"));
        QCOMPARE(mesi(r[0], QStringLiteral("LCUD")), QStringLiteral("000000000000"));
        QCOMPARE(s(r[0], "LCUDMESIRETR"), QStringLiteral("X"));
        QCOMPARE(s(r[0], "LCUDNONVERS"), QStringLiteral("0"));

        // With a company number of its own the accessory pay has its row.
        TVelImpContesto sep = cu(20, barbieri, QStringLiteral("11"));
        sep.MESE_FINALE = 12;
        sep.paco.SPACOMATRAZACC = QStringLiteral("4599999999");
        QCOMPARE(inps.importa(sep, cdsINPS), 2);
        r = stored(QStringLiteral("TCUDI_INPS"), barbieri);
        QCOMPARE(r.size(), 3);
        QCOMPARE(s(r[1], "SCUDMATRAZIENDA"), QStringLiteral("4599999999"));
        QCOMPARE(c(r[1], "FCUDIMPONIBILE"), money("500"));
        QCOMPARE(c(r[1], "FCUDCONTRIBTRATT"), money("45.95"));
        QCOMPARE(s(r[1], "LCUDMESIRETR"), QStringLiteral("0"));
        QCOMPARE(mesi(r[1], QStringLiteral("LCUD")), QStringLiteral("____________"));
        QCOMPARE(c(r[2], "FCUDIMPONIBILE"), money("18000"));
        QCOMPARE(c(r[2], "FCUDCONTRIBTRATT"), money("1654.20"));

        // Positions all excluded from the INPS list: no row.
        TVelImpContesto none = cu(3, QStringLiteral("SPSGPP68A30F839J"));
        none.listaInps.clear();
        QCOMPARE(inps.importa(none, cdsINPS), 0);
        QVERIFY(stored(QStringLiteral("TCUDI_INPS"), QStringLiteral("SPSGPP68A30F839J")).isEmpty());

        // 4: two spells (January-June, September-December): July and August
        // flagged, not all months.
        const QString ferrari = QStringLiteral("FRRNNA92S43E730M");
        QCOMPARE(inps.importa(cu(4, ferrari), cdsINPS), 1);
        r = stored(QStringLiteral("TCUDI_INPS"), ferrari);
        QCOMPARE(c(r[0], "FCUDIMPONIBILE"), money("19120"));
        QCOMPARE(c(r[0], "FCUDCONTRIBTRATT"), money("1757.13"));
        QCOMPARE(mesi(r[0], QStringLiteral("LCUD")), QStringLiteral("000000XX0000"));
        QCOMPARE(s(r[0], "LCUDMESIRETR"), QStringLiteral("0"));

        // 5: part-time (position 2, code 13) to June, full-time from July;
        // only the full-time position in the INPS list.
        const QString romano = QStringLiteral("RMNMRC85B14D704V");
        TVelImpContesto full = cu(5, romano);
        full.listaInps = QStringLiteral("1");
        QCOMPARE(inps.importa(full, cdsINPS), 1);
        r = stored(QStringLiteral("TCUDI_INPS"), romano);
        QCOMPARE(c(r[0], "FCUDIMPONIBILE"), money("9600"));
        QCOMPARE(c(r[0], "FCUDCONTRIBTRATT"), money("882.24"));
        QCOMPARE(mesi(r[0], QStringLiteral("LCUD")), QStringLiteral("XXXXXX000000"));

        // 6: co-ordinated collaborator: the separate scheme, 6 x (1,000.00;
        // 116.67 employee; 233.33 employer).
        const QString colombo = QStringLiteral("CLMPLA79H08F205I");
        TVelImpContesto coll = cu(6, colombo);
        coll.listaInps.clear();
        coll.listaFiscale.clear();
        coll.listaCococo = QStringLiteral("11");
        QCOMPARE(inps.importa(coll, cdsINPS), 1);
        r = stored(QStringLiteral("TCUDI_INPS"), colombo);
        QCOMPARE(c(r[0], "FCUDCOMPCORRISP"), money("6000"));
        QCOMPARE(c(r[0], "FCUDCOMPDOVUTI"), money("2100"));
        QCOMPARE(c(r[0], "FCUDCOMPTRATTEN"), money("700.02"));
        QCOMPARE(c(r[0], "FCUDCOMPVERSATI"), money("2100"));
        QCOMPARE(s(r[0], "SCUDTIPORAPPORTO"), QStringLiteral("11"));
        QCOMPARE(s(r[0], "LCUDENTEALTRO"), QStringLiteral("X"));
        QCOMPARE(s(r[0], "LCUDENTEINPS"), QStringLiteral("0"));
        QVERIFY(log.isEmpty());
    }

    void publicPensionFromNoiPa()
    {
        TVelImpInpdap inpdap;
        // 12: two payments to NoiPA of the same year (June, December): one row.
        const QString conti = QStringLiteral("CNTRRT66P05H501D");
        QCOMPARE(inpdap.importa(cu(12, conti), cdsINPDAP), 1);
        QList<QVariantMap> r = stored(QStringLiteral("TCUDN_INPDAP"), conti);
        QCOMPARE(r.size(), 1);
        QCOMPARE(r[0].value(QStringLiteral("ICUDANNORIF")).toInt(), 2025);
        QCOMPARE(s(r[0], "SCUDCODFISAMMNE"), kScuola);
        QCOMPARE(s(r[0], "SCUDCODFISSOGGDEN"), QStringLiteral("80415740580"));
        QCOMPARE(s(r[0], "LINPDAPNOIPADICH"), QStringLiteral("X"));
        QCOMPARE(c(r[0], "FCUD_DMA_IMPPENS"), money("1200"));
        QCOMPARE(c(r[0], "FCUD_DMA_CONPENS"), money("396"));
        QCOMPARE(c(r[0], "FCUDCONTRPCLAVTRAT"), money("105.60"));
        QCOMPARE(c(r[0], "FCUD_DMA_IMPTFR"), money("1200"));
        QCOMPARE(c(r[0], "FCUD_DMA_CONTFR"), money("32.40"));
        QCOMPARE(c(r[0], "FCUD_DMA_IMPCREDITO"), money("1200"));
        QCOMPARE(c(r[0], "FCUD_DMA_CONCREDITO"), money("4.20"));
        QCOMPARE(c(r[0], "FCUDCONTRGESCRETCLAV"), money("4.20"));
        QCOMPARE(s(r[0], "SCUDGESASS_1"), QStringLiteral("1"));
        QCOMPARE(s(r[0], "SCUDGESASS_2"), QStringLiteral("7001"));
        QCOMPARE(s(r[0], "SCUDGESASS_3"), QStringLiteral("9"));
        QVERIFY(log.isEmpty());

        // 21: UniEmens declarations as well, and public-pension withholding
        // of payslips not sent to NoiPA (12 x 206.80): the office is told
        // both.
        const QString fontana = kFontana;
        QCOMPARE(inpdap.importa(cu(21, fontana), cdsINPDAP), 1);
        r = stored(QStringLiteral("TCUDN_INPDAP"), fontana);
        QCOMPARE(c(r[0], "FCUD_DMA_IMPPENS"), money("1000"));
        QCOMPARE(c(r[0], "FCUD_DMA_CONPENS"), money("330"));
        const QStringList said = testi(QStringLiteral("INPS Sezione 2 - Gestione Pubblica"));
        QCOMPARE(said.size(), 2);
        QCOMPARE(said[0], QStringLiteral("Presenza di denunce UniEmens relative al dipendente\r\n  I dati derivanti "
                                         "dall'UniEmens devono essere integrati manualmente."));
        QVERIFY2(said[1].startsWith(QStringLiteral("Contributi pensionistici Gestione Pubblica trattenuti nei cedolini: "
                                                   "2481,60, non riportati")),
                 qPrintable(said[1]));

        // With LPACOCUDINPDAP = 1 nothing, whichever source.
        TVelImpContesto off = cu(12, conti, QStringLiteral("11"));
        off.paco.LPACOCUDINPDAP = 1;
        QCOMPARE(inpdap.importa(off, cdsINPDAP), 0);
        TVelImpContesto offU = cu(39, kMarchetti, QStringLiteral("09"));
        offU.paco.LPACOCUDINPDAP = 1;
        offU.INCLUDI_INPDAP_MEF = 0;
        QCOMPARE(inpdap.importa(offU, cdsINPDAP), 0);
        QCOMPARE(stored(QStringLiteral("TCUDN_INPDAP"), conti).size(), 1);
        QVERIFY(stored(QStringLiteral("TCUDN_INPDAP"), kMarchetti).isEmpty());
    }

    void publicPensionFromUniEmens()
    {
        TVelImpInpdap inpdap;
        // 39: twelve months of 2,550.00 and a variation in March (+100.00
        // -20.00 on the base, +33.00 -6.60 on the contributions).
        TVelImpContesto m = cu(39, kMarchetti);
        m.INCLUDI_INPDAP_MEF = 0;
        m.IACOMSCAINPDAP = 1;
        QCOMPARE(inpdap.importa(m, cdsINPDAP), 1);
        QCOMPARE(store->program(), QStringLiteral("vel"));
        QList<QVariantMap> r = stored(QStringLiteral("TCUDN_INPDAP"), kMarchetti);
        QCOMPARE(r.size(), 1);
        QCOMPARE(r[0].value(QStringLiteral("ICUDANNORIF")).toInt(), 2025);
        QCOMPARE(s(r[0], "SCUDCODFISAMMNE"), kScuola);
        QCOMPARE(s(r[0], "SCUDCODINPDAP"), QStringLiteral("00001"));
        QCOMPARE(s(r[0], "LINPDAPNOIPADICH"), QStringLiteral("0"));
        QCOMPARE(s(r[0], "SCUDGESASS_1"), QStringLiteral("1"));
        QCOMPARE(s(r[0], "SCUDGESASS_2"), QStringLiteral("7001"));
        QCOMPARE(s(r[0], "SCUDGESASS_3"), QStringLiteral("9"));
        QCOMPARE(c(r[0], "FCUD_DMA_IMPPENS"), money("30680"));
        QCOMPARE(c(r[0], "FCUD_DMA_CONPENS"), money("10124.40"));
        QCOMPARE(c(r[0], "FCUD_DMA_IMPTFS"), money("30600"));
        QCOMPARE(c(r[0], "FCUD_DMA_CONTFS"), money("2937.60"));
        QCOMPARE(c(r[0], "FCUD_DMA_IMPCREDITO"), money("30600"));
        QCOMPARE(c(r[0], "FCUD_DMA_CONCREDITO"), money("153"));
        QCOMPARE(c(r[0], "FCUDCONTRGESCRETCLAV"), money("153"));
        // 30,680.00 x 8.80 % of the rate table.
        QCOMPARE(c(r[0], "FCUDCONTRPCLAVTRAT"), money("2699.84"));
        QCOMPARE(mesi(r[0], QStringLiteral("LINPDAP")), QStringLiteral("XXXXXXXXXXXX"));
        QCOMPARE(s(r[0], "LINPDAPMESIRETR"), QStringLiteral("X"));
        QVERIFY(log.isEmpty());

        // 21: July under an administration without tax code: the row is
        // refused, the log names year, administration and amounts.
        TVelImpContesto f = cu(21, kFontana, QStringLiteral("11"));
        f.INCLUDI_INPDAP_MEF = 0;
        QCOMPARE(inpdap.importa(f, cdsINPDAP), 0);
        QVERIFY(stored(QStringLiteral("TCUDN_INPDAP"), kFontana, QStringLiteral("11")).isEmpty());
        QCOMPARE(testi(QStringLiteral("INPS Sezione 2 - Gestione Pubblica")),
                 QStringList{QStringLiteral("Codice fiscale amministrazione di servizio mancante\r\n  Riga dell'anno "
                                            "2025, amministrazione \"SEDE STACCATA SENZA CODICE FISCALE\" non scritta "
                                            "(imponibile pensionistico 1000,00, contributi pensionistici 330,00). "
                                            "Completare il codice fiscale dell'amministrazione nelle denunce UniEmens "
                                            "e ripetere l'importazione.")});

        // A rate scale with no rate: the row without the employee's share,
        // one log line.
        log.clear();
        TVelImpContesto noRate = cu(39, kMarchetti, QStringLiteral("11"));
        noRate.INCLUDI_INPDAP_MEF = 0;
        QCOMPARE(inpdap.importa(noRate, cdsINPDAP), 1);
        r = stored(QStringLiteral("TCUDN_INPDAP"), kMarchetti, QStringLiteral("11"));
        QCOMPARE(r.size(), 1);
        QCOMPARE(c(r[0], "FCUDCONTRPCLAVTRAT"), Currency());
        const QStringList lines = testi(QStringLiteral("INPS Sezione 2 - Gestione Pubblica"));
        QCOMPARE(lines.size(), 1);
        QVERIFY(lines[0].startsWith(
            QStringLiteral("Impossibile calcolare i \"Contributi pensionistici a carico lavoratore trattenuti dovuti\".\r\n")));
        QVERIFY(lines[0].contains(QStringLiteral("\"Percentuali ritenute Prev./Ass.\"")));

        // A code longer than its box stops the payee, named with box and
        // value, never cut; everything goes with the caller's rollback.
        db->startTransaction();
        {
            TTorDBCds tpf;
            uniEmensStore(tpf);
            TClientDataSet amm;
            tpf.Load(amm, QStringLiteral("TAMM_AMMINISTRAZIONI"));
            QVERIFY(amm.locate(QStringLiteral("IAMMID"), 1));
            amm.edit();
            amm.fieldByName(QStringLiteral("AN_008_SERINPDAP")).setAsString(QStringLiteral("RA0123456"));
            amm.post();
            tpf.Save(amm, QStringLiteral("TAMM_AMMINISTRAZIONI"));
        }
        TVelImpInpdap again;   // reads the declarations afresh
        TVelImpContesto lungo = cu(39, kMarchetti, QStringLiteral("10"));
        lungo.INCLUDI_INPDAP_MEF = 0;
        try {
            again.importa(lungo, cdsINPDAP);
            QFAIL("no error");
        } catch (const EOvError &e) {
            QCOMPARE(e.message(), QStringLiteral("Percipiente MRCRNI67H66H199A, INPS Sezione 2 - Gestione Pubblica: il "
                                                 "valore \"RA0123456\" (9 caratteri) non entra nel punto 10 "
                                                 "\"Progressivo Azienda\", che ne contiene 5. Correggere il dato di "
                                                 "origine e ripetere l'importazione."));
        }
        db->rollback();
        store->Load(cdsImport, QStringLiteral("TCUD_DATICUD"));
        store->Load(cdsINPDAP, QStringLiteral("TCUDN_INPDAP"));
        QVERIFY(stored(QStringLiteral("TCUDN_INPDAP"), kMarchetti, QStringLiteral("10")).isEmpty());
    }

    // The default source (payments sent to NoiPA) leaves out what the
    // payslips withheld for the public pension: each payee is named with the
    // amount and the option that would take it; no row is written.
    void publicPensionWithheldInPayslips_data()
    {
        QTest::addColumn<int>("n");
        QTest::addColumn<QString>("cf");
        QTest::addColumn<QString>("amount");
        QTest::newRow("ROSSI") << 1 << QStringLiteral("RSSMRA75C12H199Y") << QStringLiteral("2640,00");
        QTest::newRow("MORETTI") << 19 << QStringLiteral("MRTSLV64S69H199F") << QStringLiteral("2851,20");
        QTest::newRow("PELLEGRINI") << 40 << QStringLiteral("PLLFNC58M31H199U") << QStringLiteral("2041,60");
    }
    void publicPensionWithheldInPayslips()
    {
        QFETCH(int, n);
        QFETCH(QString, cf);
        QFETCH(QString, amount);
        TVelImpInpdap inpdap;
        QCOMPARE(inpdap.importa(cu(n, cf), cdsINPDAP), 0);
        QVERIFY(stored(QStringLiteral("TCUDN_INPDAP"), cf).isEmpty());
        QCOMPARE(testi(QStringLiteral("INPS Sezione 2 - Gestione Pubblica")),
                 QStringList{QStringLiteral("Contributi pensionistici Gestione Pubblica trattenuti nei cedolini: %1, "
                                            "non riportati nella sezione (l'origine \"Importa da liquidazioni inviate a "
                                            "NoiPa\" prende solo i compensi inviati a NoiPA).\r\n  Per riportarli "
                                            "scegliere \"Importa da UniEmens\" (velcu-cli import --inpdap uniemens) o "
                                            "compilare la sezione a mano.")
                                 .arg(amount)});
        // The UniEmens source without declarations of the payee says it too.
        log.clear();
        TVelImpContesto u = cu(n, cf);
        u.INCLUDI_INPDAP_MEF = 0;
        QCOMPARE(inpdap.importa(u, cdsINPDAP), 0);
        const QStringList said = testi(QStringLiteral("INPS Sezione 2 - Gestione Pubblica"));
        QCOMPARE(said.size(), 1);
        QVERIFY2(said[0].startsWith(QStringLiteral("Contributi pensionistici Gestione Pubblica trattenuti nei cedolini: "
                                                   "%1, ma nessuna denuncia UniEmens del dipendente")
                                        .arg(amount)),
                 qPrintable(said[0]));
    }

    void uniEmensTableMissing()
    {
        // No UniEmens structures for the year (they start in 2025): the table is named, the store keeps
        // its own program code, the caller's rollback leaves nothing.
        TVelImpInpdap inpdap;
        db->startTransaction();
        TVelImpContesto m = cu(39, kMarchetti, QStringLiteral("10"));
        m.INCLUDI_INPDAP_MEF = 0;
        m.anno = 2024;
        try {
            inpdap.importa(m, cdsINPDAP);
            QFAIL("no error");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Impossibile aprire la tabella UniEmens TAMM_AMMINISTRAZIONI "
                                                           "dell'anno 2024")),
                     qPrintable(e.message()));
            db->rollback();
        }
        QCOMPARE(store->program(), QStringLiteral("vel"));
        QVERIFY(stored(QStringLiteral("TCUDN_INPDAP"), kMarchetti, QStringLiteral("10")).isEmpty());
        // The employee's CU went with the rollback.
        TClientDataSet main;
        store->Load(main, QStringLiteral("TCUD_DATICUD"));
        QVERIFY(!main.locate(QStringLiteral("SCUDCODFIS;SCUDMESE"), QVariantList{kMarchetti, QStringLiteral("10")}));
        store->Load(cdsImport, QStringLiteral("TCUD_DATICUD"));

        // The NoiPA source only looks for declarations: none, no message.
        TVelImpContesto n = cu(12, QStringLiteral("CNTRRT66P05H501D"), QStringLiteral("10"));
        n.MESE_FINALE = 12;
        n.anno = 2024;
        QCOMPARE(inpdap.importa(n, cdsINPDAP), 1);
        QVERIFY(log.isEmpty());
        QCOMPARE(store->program(), QStringLiteral("vel"));
    }

    void uniEmensTableUnreadable()
    {
        // The UniEmens tables are there but cannot be read: the NoiPA source
        // says so for every employee, instead of dropping the notice for the
        // rest of the run. Everything goes with the rollback.
        db->startTransaction();
        db->exec(QStringLiteral("UPDATE tcds_struttura SET bcdsschema = :B WHERE lower(scdsnome) = 'tamm_amministrazioni'"),
                 {{QStringLiteral("B"), QByteArray("non uno schema")}});
        TVelImpInpdap inpdap;
        QCOMPARE(inpdap.importa(cu(21, kFontana, QStringLiteral("07")), cdsINPDAP), 1);
        QCOMPARE(inpdap.importa(cu(12, QStringLiteral("CNTRRT66P05H501D"), QStringLiteral("07")), cdsINPDAP), 1);
        const QStringList said = testi(QStringLiteral("INPS Sezione 2 - Gestione Pubblica"))
                                     .filter(QStringLiteral("UniEmens relative al dipendente"));
        QCOMPARE(said.size(), 2);
        for (const QString &line : said)
            QVERIFY2(line.startsWith(QStringLiteral("Impossibile verificare la presenza di denunce UniEmens relative al "
                                                    "dipendente:\r\n  Impossibile aprire la tabella UniEmens "
                                                    "TAMM_AMMINISTRAZIONI"))
                         && line.endsWith(QStringLiteral("Verificare manualmente.")),
                     qPrintable(line));
        db->rollback();
        store->Load(cdsImport, QStringLiteral("TCUD_DATICUD"));
    }

    void uniEmensEarlierYearAndPartYear()
    {
        // A variation of November 2024 declared in April 2025 goes to a row
        // of its own reference year; a CU closed in August flags January to
        // August only.
        TTorDBCds tpf;
        uniEmensStore(tpf);
        TClientDataSet v1;
        tpf.Load(v1, QStringLiteral("TV1_RETR"));
        v1.append();
        v1.fieldByName(QStringLiteral("SCODFIS")).setAsString(kMarchetti);
        v1.fieldByName(QStringLiteral("IANNO")).setAsInteger(2025);
        v1.fieldByName(QStringLiteral("IMESE")).setAsInteger(4);
        v1.fieldByName(QStringLiteral("IAMMID")).setAsInteger(1);
        v1.fieldByName(QStringLiteral("NP_V1XXX004_PREV")).setAsString(QStringLiteral("7"));
        v1.fieldByName(QStringLiteral("DT_V1XXX001_DINIZIO")).setAsDate(QDate(2024, 11, 1));
        v1.fieldByName(QStringLiteral("DT_V1XXX002_DFINE")).setAsDate(QDate(2024, 11, 30));
        v1.fieldByName(QStringLiteral("VP_V1XXX032_IMPPENS")).setAsCurrency(money("50"));
        v1.fieldByName(QStringLiteral("VP_V1XXX033_CONPENS")).setAsCurrency(money("16.50"));
        v1.post();
        tpf.Save(v1, QStringLiteral("TV1_RETR"));

        TVelImpInpdap inpdap;
        TVelImpContesto m = cu(39, kMarchetti, QStringLiteral("08"));
        m.INCLUDI_INPDAP_MEF = 0;
        m.IACOMSCAINPDAP = 1;
        const int written = inpdap.importa(m, cdsINPDAP);
        v1.deleteRecord();
        tpf.Save(v1, QStringLiteral("TV1_RETR"));
        QCOMPARE(written, 2);

        const QList<QVariantMap> r = stored(QStringLiteral("TCUDN_INPDAP"), kMarchetti, QStringLiteral("08"));
        QCOMPARE(r.size(), 2);
        const QVariantMap &y25 = r[0].value(QStringLiteral("ICUDANNORIF")).toInt() == 2025 ? r[0] : r[1];
        const QVariantMap &y24 = r[0].value(QStringLiteral("ICUDANNORIF")).toInt() == 2024 ? r[0] : r[1];
        QCOMPARE(y24.value(QStringLiteral("ICUDANNORIF")).toInt(), 2024);
        // 8 x 2,550.00 + 100.00 - 20.00; 8 x 841.50 + 33.00 - 6.60.
        QCOMPARE(c(y25, "FCUD_DMA_IMPPENS"), money("20480"));
        QCOMPARE(c(y25, "FCUD_DMA_CONPENS"), money("6758.40"));
        QCOMPARE(c(y25, "FCUDCONTRPCLAVTRAT"), money("1802.24"));
        QCOMPARE(mesi(y25, QStringLiteral("LINPDAP")), QStringLiteral("XXXXXXXX0000"));
        QCOMPARE(s(y25, "LINPDAPMESIRETR"), QStringLiteral("0"));
        QCOMPARE(c(y24, "FCUD_DMA_IMPPENS"), money("50"));
        QCOMPARE(c(y24, "FCUD_DMA_CONPENS"), money("16.50"));
        QCOMPARE(c(y24, "FCUDCONTRPCLAVTRAT"), money("4.40"));
        QCOMPARE(s(y24, "SCUDGESASS_2"), QStringLiteral("7001"));   // "7" and the default "001"
        QCOMPARE(s(y24, "SCUDGESASS_1"), QString());
        QCOMPARE(mesi(y24, QStringLiteral("LINPDAP")), QStringLiteral("0000000000X0"));
        QVERIFY(log.isEmpty());
    }

    void selfEmployed()
    {
        TVelImpAutonomi aut;
        auto run = [&](int n, const QString &cf, int minimi = 0, int enpals = 0) {
            TVelImpContesto x = cu(n, cf);
            x.listaFiscale.clear();
            x.LACOMMINIMI = minimi;
            x.IACOMSOGGENPALS = enpals;
            const int rows = aut.importa(x, cdsAutonomo, TVelImpAutonomi::leggiRegistri(x));
            const QList<QVariantMap> r = stored(QStringLiteral("TASE_AUTSOMMEEROGATE"), cf);
            return std::make_pair(rows, r.value(0));
        };

        // 8: ordinary regime, reason A: 2,500.00 with 500.00 withheld, INPS
        // 4 % borne by the school, refunds 80.00, a sum not subject 50.00.
        auto [n8, r8] = run(8, QStringLiteral("MRNLCU70R19C573L"));
        QCOMPARE(n8, 1);
        QCOMPARE(s(r8, "SCAUCODICE"), QStringLiteral("A"));
        QCOMPARE(s(r8, "LASEALTCONT"), QStringLiteral("0"));
        QCOMPARE(s(r8, "LDSE7ANTICIPAZ"), QStringLiteral("0"));
        QCOMPARE(c(r8, "FDSE7IMPONIBILE"), money("2500"));
        QCOMPARE(c(r8, "FDSE7AMMLORDO"), money("2550"));
        QCOMPARE(c(r8, "FDSE7ALTRESOMME"), money("50"));
        QCOMPARE(s(r8, "FDSE7CODICE"), QStringLiteral("21"));
        QCOMPARE(c(r8, "FDSE7RITTITACC"), money("500"));
        QCOMPARE(c(r8, "FDSE7RITTITIMP"), Currency());
        QCOMPARE(c(r8, "FDSE7CONTRAMM"), money("100"));
        QCOMPARE(c(r8, "FDSE7CONTRDIP"), Currency());
        QCOMPARE(c(r8, "FASECONTDOV"), money("100"));
        QCOMPARE(c(r8, "FASECONTVER"), money("100"));
        QCOMPARE(s(r8, "SASECODFISENTEPREV"), QStringLiteral("80078750587"));
        QCOMPARE(s(r8, "SASEDENENTEPREV"), QStringLiteral("INPS"));
        QCOMPARE(c(r8, "FDSE7SPESERIMB"), money("80"));

        // 9: flat-rate professional (reason A): the gross is both gross and
        // other sums, code "25".
        auto [n9, r9] = run(9, QStringLiteral("GRCFNC88D57H294U"), 1);
        QCOMPARE(n9, 1);
        QCOMPARE(s(r9, "SCAUCODICE"), QStringLiteral("A"));
        QCOMPARE(c(r9, "FDSE7AMMLORDO"), money("2000"));
        QCOMPARE(c(r9, "FDSE7ALTRESOMME"), money("2000"));
        QCOMPARE(s(r9, "FDSE7CODICE"), QStringLiteral("25"));
        QCOMPARE(c(r9, "FDSE7IMPONIBILE"), Currency());

        // 10: occasional work, reason M: withholding on account.
        auto [n10, r10] = run(10, QStringLiteral("BRNLSN90M09D548Q"));
        QCOMPARE(n10, 1);
        QCOMPARE(s(r10, "SCAUCODICE"), QStringLiteral("M"));
        QCOMPARE(c(r10, "FDSE7RITTITACC"), money("160"));
        QCOMPARE(c(r10, "FDSE7RITTITIMP"), Currency());
        QCOMPARE(s(r10, "FDSE7CODICE"), QString());
        QVERIFY(log.isEmpty());

        // 11: reasons A and M: one entry each, never merged.
        const QString gallo = QStringLiteral("GLLSRA83E67L781Q");
        QCOMPARE(run(11, gallo).first, 2);
        QList<QVariantMap> r11 = stored(QStringLiteral("TASE_AUTSOMMEEROGATE"), gallo);
        QCOMPARE(r11.size(), 2);
        if (s(r11[0], "SCAUCODICE") != QLatin1String("A"))
            std::swap(r11[0], r11[1]);
        QCOMPARE(s(r11[0], "SCAUCODICE"), QStringLiteral("A"));
        QCOMPARE(c(r11[0], "FDSE7IMPONIBILE"), money("500"));
        QCOMPARE(c(r11[0], "FDSE7RITTITACC"), money("100"));
        QCOMPARE(s(r11[1], "SCAUCODICE"), QStringLiteral("M"));
        QCOMPARE(c(r11[1], "FDSE7IMPONIBILE"), money("700"));
        QCOMPARE(c(r11[1], "FDSE7RITTITACC"), money("140"));
        QCOMPARE(testi(QStringLiteral("Dati autonomo")),
                 QStringList{QStringLiteral("Presenza di liquidazioni con causali diverse: certificata una riga per causale.")});

        // 34: 400.00 paid with nothing withheld, not flat-rate: certified as
        // other sums not subject to withholding (code 21), with a log line.
        log.clear();
        auto [n34, r34] = run(34, QStringLiteral("LMBDNL75S11H199S"));
        QCOMPARE(n34, 1);
        QCOMPARE(c(r34, "FDSE7AMMLORDO"), money("400"));
        QCOMPARE(c(r34, "FDSE7ALTRESOMME"), money("400"));
        QCOMPARE(s(r34, "FDSE7CODICE"), QStringLiteral("21"));
        QCOMPARE(c(r34, "FDSE7IMPONIBILE"), Currency());
        QCOMPARE(c(r34, "FDSE7RITTITACC"), Currency());
        QCOMPARE(testi(QStringLiteral("Dati autonomo")),
                 QStringList{QStringLiteral("Compensi con causale A pagati senza ritenuta (400,00): certificati come "
                                            "altre somme non soggette a ritenuta (codice 21). Verificare che non "
                                            "fossero da assoggettare a ritenuta.")});

        // 30: entertainment fund: 714.30 employer, 275.70 + 30.00 employee,
        // category "Z"; no INPS, so no message.
        log.clear();
        auto [n30, r30] = run(30, QStringLiteral("LNGNTN69T12F839I"), 0, 1);
        QCOMPARE(n30, 1);
        QCOMPARE(c(r30, "FDSE7IMPONIBILE"), money("3000"));
        QCOMPARE(c(r30, "FDSE7RITTITACC"), money("600"));
        QCOMPARE(c(r30, "FDSE7CONTRAMM"), money("714.30"));
        QCOMPARE(c(r30, "FDSE7CONTRDIP"), money("305.70"));
        QCOMPARE(c(r30, "FASECONTDOV"), money("1020"));
        QCOMPARE(s(r30, "SASECATEG"), QStringLiteral("Z"));
        QVERIFY(log.isEmpty());

        // No self-employed register: no row.
        auto [n1, r1] = run(1, QStringLiteral("RSSMRA75C12H199Y"));
        QCOMPARE(n1, 0);
        QVERIFY(r1.isEmpty());

        // Every reason written is in the reasons' table with the meaning the
        // payroll position gives it, and A and M withhold on account.
        QFile f(QStringLiteral(VELCU_SOURCE_DIR "/tools/codetables/tables/TCAU_CAUSALE.tsv"));
        QVERIFY(f.open(QIODevice::ReadOnly | QIODevice::Text));
        QHash<QString, QString> tabella;
        for (const QString &line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n')))
            if (line.contains(QLatin1Char('\t')) && !line.startsWith(QLatin1Char('#')))
                tabella.insert(line.section(QLatin1Char('\t'), 0, 0), line.section(QLatin1Char('\t'), 1));
        const QHash<QString, QString> significato{{QStringLiteral("A"), QStringLiteral("arte o professione abituale")},
                                                  {QStringLiteral("M"), QStringLiteral("non esercitate abitualmente")}};
        TClientDataSet all;
        store->Load(all, QStringLiteral("TASE_AUTSOMMEEROGATE"));
        QVERIFY(all.recordCount() >= 7);
        for (all.first(); !all.eof(); all.next()) {
            const QString causale = all.fieldByName(QStringLiteral("SCAUCODICE")).asString();
            QVERIFY2(significato.contains(causale), qPrintable(causale));
            QVERIFY2(tabella.value(causale).contains(significato.value(causale)), qPrintable(causale));
            QCOMPARE(all.fieldByName(QStringLiteral("FDSE7RITTITIMP")).asCurrency(), Currency());
            QVERIFY(!TVelImpAutonomi::ritenutaATitoloDImposta(causale));
        }
        // A reason no position gives by default keeps its table's meaning:
        // the non-residents' equipment ("P") withholds as final tax.
        QVERIFY(tabella.value(QStringLiteral("P")).contains(QStringLiteral("non residenti")));
        QVERIFY(TVelImpAutonomi::ritenutaATitoloDImposta(QStringLiteral("P")));
    }

    void wholeDemoLog()
    {
        // Every candidate of the demo (closing month December) through the
        // four builders on a fresh database, each in its own transaction,
        // UniEmens source: nobody fails, and these are all the messages.
        cdsImport.close();
        cdsConFamCar.close();
        cdsINPS.close();
        cdsINPDAP.close();
        cdsAutonomo.close();
        store->setConnection(nullptr);
        db.reset();
        db = TestDb::open(true);
        seedStructures(*db, QStringLiteral("vel"), 2025);
        seedUniEmensDemo(*db, kMarchetti, kFontana);
        store->setConnection(db.get());
        init();

        TRagQuery list(db.get());
        TOvSQLQuery &cand = list.open(QStringLiteral("QRY_CUD_IMP"),
                                      {{QStringLiteral("IANFID"), 56}, {QStringLiteral("IMESID"), 12},
                                       {QStringLiteral("IDWGID"), 1}, {QStringLiteral("RICE_COD_IRPEF_AM"), 11},
                                       {QStringLiteral("RICE_COD_IRPEF_TS"), 12}},
                                      {TRagQuery::filtroCandidati(0)});
        TVelImpFamiliari fam;
        TVelImpInps inps;
        TVelImpInpdap inpdap;
        TVelImpAutonomi aut;
        TRagQuery acom(db.get());
        QStringList lines;
        int built = 0;
        for (cand.first(); !cand.eof(); cand.next()) {
            const QString cf = cand.fieldByName(QStringLiteral("SANACODFISCALE")).asString().trimmed();
            if (cf.isEmpty())
                continue;   // the CU builder skips a payee without tax code
            const int iacomid = int(cand.fieldByName(QStringLiteral("IACOMID")).asInteger());
            const QString who = cand.fieldByName(QStringLiteral("SANACOGNOME")).asString().trimmed();
            TOvSQLQuery &a = acom.open(QStringLiteral("QRY_CED_ACOM"), {{QStringLiteral("IACOMID"), iacomid}});
            const int pos = int(a.fieldByName(QStringLiteral("ITNOID")).asInteger());
            db->startTransaction();
            TVelImpContesto c = cu(iacomid - 100, cf, QStringLiteral("%1").arg(
                cand.fieldByName(QStringLiteral("MESE_FINALE")).asInteger(), 2, 10, QLatin1Char('0')));
            const bool autonomo = pos == 10 || pos == 14 || pos == 15;
            c.listaFiscale = c.listaInps = c.listaCococo = QString();
            if (pos == 11)
                c.listaCococo = QStringLiteral("11");
            else if (!autonomo)
                c.listaFiscale = c.listaInps = QString::number(pos);
            c.LACOMMINIMI = int(a.fieldByName(QStringLiteral("LACOMMINIMI")).asInteger());
            c.IACOMSOGGENPALS = int(a.fieldByName(QStringLiteral("IACOMSOGGENPALS")).asInteger());
            c.IACOMSCAINPDAP = int(a.fieldByName(QStringLiteral("IACOMSCAINPDAP")).asInteger());
            c.INCLUDI_INPDAP_MEF = 0;
            c.log = [&lines, who](int section, const QString &text) {
                lines << who + QStringLiteral(" | ") + velTitoloSezioneLog(section) + QStringLiteral(" | ")
                             + text.left(text.indexOf(QLatin1Char('\r')) < 0 ? text.size() : text.indexOf(QLatin1Char('\r')));
            };
            inps.importa(c, cdsINPS);
            inpdap.importa(c, cdsINPDAP);
            fam.importa(c, cdsConFamCar);
            if (autonomo)
                aut.importa(c, cdsAutonomo, TVelImpAutonomi::leggiRegistri(c));
            db->commit();
            ++built;
        }
        QCOMPARE(built, 38);   // 40 less the position never listed and the payee without tax code
        const QString f = QStringLiteral("Sezione familiari a carico per detrazioni");
        const QString i = QStringLiteral("INPS Sezione 2 - Gestione Pubblica");
        const QString a = QStringLiteral("Dati autonomo");
        const QString cedolini = QStringLiteral(" | Contributi pensionistici Gestione Pubblica trattenuti nei cedolini: "
                                                "%1, ma nessuna denuncia UniEmens del dipendente: sezione non compilata.");
        QCOMPARE(lines,
                 (QStringList{
                     QStringLiteral("FONTANA | ") + i + QStringLiteral(" | Codice fiscale amministrazione di servizio mancante"),
                     QStringLiteral("GALLO | ") + a
                         + QStringLiteral(" | Presenza di liquidazioni con causali diverse: certificata una riga per causale."),
                     QStringLiteral("LOMBARDI | ") + f
                         + QStringLiteral(" | Dati degli altri familiari a carico: manca la percentuale di detrazione"),
                     QStringLiteral("LOMBARDO | ") + a
                         + QStringLiteral(" | Compensi con causale A pagati senza ritenuta (400,00): certificati come altre "
                                          "somme non soggette a ritenuta (codice 21). Verificare che non fossero da "
                                          "assoggettare a ritenuta."),
                     QStringLiteral("MORETTI | ") + i + cedolini.arg(QStringLiteral("2851,20")),
                     QStringLiteral("PELLEGRINI | ") + i + cedolini.arg(QStringLiteral("2041,60")),
                     QStringLiteral("RIZZO | ") + f + QStringLiteral(" | Figlio nr 3: codice fiscale non impostato."),
                     QStringLiteral("RIZZO | ") + f
                         + QStringLiteral(" | Figlio (codice fiscale RZZNHO04L07C553X): nessun mese a carico."),
                     QStringLiteral("ROSSI | ") + i + cedolini.arg(QStringLiteral("2640,00"))}));
        // Rows of the sections, counted on the store.
        QCOMPARE(stored(QStringLiteral("TCUDN_INPDAP"), kMarchetti).size(), 1);
        QVERIFY(stored(QStringLiteral("TCUDN_INPDAP"), kFontana).isEmpty());   // refused: no administration code
    }
};

QTEST_GUILESS_MAIN(TstDbImportSections)
#include "tst_db_import_sections.moc"
