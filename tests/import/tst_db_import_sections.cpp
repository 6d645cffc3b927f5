// The section builders of a CU over the demo school, on both engines:
// dependants from the deduction declarations, INPS rows and self-employed
// payments, and the whole demo's log of them.
#include "support/ImportSectionsFixture.h"

using namespace ImportSections;

class TstDbImportSections : public QObject, protected ImportSectionsFixture
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QVERIFY(openDemo());
    }
    void init() { reloadTables(); }
    void cleanupTestCase() { closeDemo(); }

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

        TRagQuery list({db.get(), &QueryText()});
        TOvSQLQuery &cand = list.open(QStringLiteral("QRY_CUD_IMP"),
                                      {{QStringLiteral("IANFID"), 56}, {QStringLiteral("IMESID"), 12},
                                       {QStringLiteral("IDWGID"), 1}, {QStringLiteral("RICE_COD_IRPEF_AM"), 11},
                                       {QStringLiteral("RICE_COD_IRPEF_TS"), 12}},
                                      {TRagQuery::filtroCandidati(0)});
        TVelImpFamiliari fam;
        TVelImpInps inps;
        TVelImpInpdap inpdap;
        TVelImpAutonomi aut;
        TRagQuery acom({db.get(), &QueryText()});
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
