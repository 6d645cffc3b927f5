// The public-pension section over the demo school, on both engines: from
// the NoiPA payments and from the UniEmens declarations (missing, unreadable,
// earlier years and part years), and the contributions withheld in payslips
// with no row to show them.
#include "support/ImportSectionsFixture.h"

using namespace ImportSections;

class TstDbImportPublicPension : public QObject, protected ImportSectionsFixture
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
};

QTEST_GUILESS_MAIN(TstDbImportPublicPension)
#include "tst_db_import_public_pension.moc"
