// The import of the CUs from the demo school's payroll, on both engines,
// without a window. Every expected figure is worked out from the demo's
// monthly inserts (tools/demo-payroll/make_demo_payroll.py): a monthly
// payee's total is the monthly figure times the months.
#include "support/ImportFixture.h"

class TstDbImport : public ImportTestBase
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QueryText().loadFromXml(QStringLiteral(VELCU_SOURCE_DIR "/tools/velcu-catalogue/rag_QueryText.xml"));
    }
    void cleanupTestCase()
    {
        store.reset();
        db.reset();
    }

    void candidateList()
    {
        fresh();
        auto imp = importer();
        const int n = imp->caricaCandidati();
        TClientDataSet &c = imp->candidati();
        // Refunds to external staff (31) are not candidates; a self-employed
        // payee with nothing withheld and no flat rate (34) is: the payment
        // is certified as a sum not subject to withholding.
        QVERIFY(!c.locate(QStringLiteral("IACOMID"), 131));
        QVERIFY(c.locate(QStringLiteral("IACOMID"), 134));
        QVERIFY(c.locate(QStringLiteral("IACOMID"), 133)); // self-employed, taxed separately
        QCOMPARE(n, 39);
        // Every row starts in January; the adjustment marked.
        for (c.first(); !c.eof(); c.next())
            QCOMPARE(c.fieldByName(QStringLiteral("MESE_INIZIALE")).asInteger(), 1);
        QVERIFY(c.locate(QStringLiteral("IACOMID"), ROSSI));
        QCOMPARE(c.fieldByName(QStringLiteral("CONGUAGLIO")).asString(), QStringLiteral("X"));
        QVERIFY(c.locate(QStringLiteral("IACOMID"), BIANCHI));
        QCOMPARE(c.fieldByName(QStringLiteral("CONGUAGLIO")).asString(), QStringLiteral(" "));
        QVERIFY(c.locate(QStringLiteral("IACOMID"), RINALDI));
        QCOMPARE(c.fieldByName(QStringLiteral("MESE_FINALE")).asInteger(), 6);
        QCOMPARE(c.fieldByName(QStringLiteral("CONGUAGLIO")).asString(), QStringLiteral("X"));
        // In surname order.
        c.first();
        QString previous;
        for (; !c.eof(); c.next()) {
            const QString name = c.fieldByName(QStringLiteral("SANACOGNOMENOME")).asString();
            QVERIFY2(previous.compare(name, Qt::CaseInsensitive) <= 0, qPrintable(name));
            previous = name;
        }

        // Closing month November: the payee paid only in December is gone,
        // and Rossi's December adjustment is not there yet.
        auto nov = importer();
        nov->options().IMESID = 11;
        QCOMPARE(nov->caricaCandidati(), 38);
        QVERIFY(!nov->candidati().locate(QStringLiteral("IACOMID"), 135));
        QVERIFY(nov->candidati().locate(QStringLiteral("IACOMID"), ROSSI));
        QCOMPARE(nov->candidati().fieldByName(QStringLiteral("CONGUAGLIO")).asString(), QStringLiteral(" "));

        // Only the self-employed.
        auto aut = importer();
        aut->options().ICALID = 7;
        aut->caricaCandidati();
        for (aut->candidati().first(); !aut->candidati().eof(); aut->candidati().next()) {
            const int key = int(aut->candidati().fieldByName(QStringLiteral("IACOMID")).asInteger());
            QVERIFY2(QList<int>({108, 109, 110, 111, 130, 133, 134}).contains(key), qPrintable(QString::number(key)));
        }
    }

    void adjustmentPensionFundAndHeader()
    {
        fresh();
        ScriptedResponder ui;
        auto imp = importer();
        const TVelRunOutcome o = imp->importa({ROSSI});
        QCOMPARE(TVelImportCud::esito(o).importati, 1);
        // The default source takes the public pension from payments sent to
        // NoiPA: what Rossi's payslips withheld (12 x 220.00) is named.
        QCOMPARE(ui.texts().size(), 1);
        QVERIFY2(ui.texts().at(0).contains(QStringLiteral("- Contributi pensionistici Gestione Pubblica trattenuti nei "
                                                          "cedolini: 2640,00, non riportati nella sezione")),
                 qPrintable(ui.texts().at(0)));
        QVERIFY(rows("TCUDN_INPDAP", QStringLiteral("RSSMRA75C12H199Y")) == 0);

        const QVariantMap r = cu(QStringLiteral("RSSMRA75C12H199Y"));
        QVERIFY(!r.isEmpty());
        // Header.
        QCOMPARE(str(r, "SCUDCOGNOME"), QStringLiteral("ROSSI"));
        QCOMPARE(str(r, "SCUDNOME"), QStringLiteral("MARIO"));
        QCOMPARE(str(r, "SCUDSEX"), QStringLiteral("M"));
        QCOMPARE(r.value("DCUDDATANAS").toDate(), QDate(1975, 3, 12));
        QCOMPARE(str(r, "SCUDCOMNAS"), QStringLiteral("RAVENNA"));
        QCOMPARE(str(r, "SCUDPROVNAS"), QStringLiteral("RA"));
        QCOMPARE(str(r, "SCUDCOMDFAP"), QStringLiteral("RAVENNA"));
        QCOMPARE(str(r, "SCUDPROVDFAC"), QStringLiteral("RA"));
        QCOMPARE(str(r, "SCUDCAPDFAP"), QStringLiteral("H199"));
        QCOMPARE(str(r, "SCUDANNOFIN"), QStringLiteral("2025"));
        QCOMPARE(str(r, "LCUDIMPORTATO"), QStringLiteral("X"));
        QCOMPARE(str(r, "LCUDCOMPRENSIVO"), QStringLiteral("X"));
        QCOMPARE(str(r, "LCUDCONGUAGLIO"), QStringLiteral("X"));
        QCOMPARE(str(r, "LCUDANNULLAMENTO"), QStringLiteral("0"));
        QCOMPARE(str(r, "LCUDINFORZA3112"), QStringLiteral("X"));   // open-ended
        QCOMPARE(r.value("DCUDDATIANADATA").toDate(), QDate::currentDate());
        // Figures of the December adjustment.
        QCOMPARE(r.value("ICUDPERIODOLAV").toInt(), 365);
        QCOMPARE(amount(r, "FCUDRITIRPEF"), money("3958.40"));
        QVERIFY(!r.contains("FCUDRITIRPEFSOS"));
        QCOMPARE(amount(r, "FCUDADDCOMIRPEF"), Currency());
        QCOMPARE(amount(r, "FCUDADDCOMSALDO"), money("218.88"));
        QCOMPARE(amount(r, "FCUDADDREGIRPEF"), money("452.04"));
        QCOMPARE(amount(r, "FCUDDEDNOTAXFAM"), money("690"));
        // The payroll keeps the additional 100 apart from the employment 1960.
        QCOMPARE(amount(r, "FCUDDETRDIPPENSREDD"), money("1960"));
        QCOMPARE(amount(r, "FCUDDETCREDRULTDETR"), money("100"));
        QCOMPARE(amount(r, "FCUDIMPLORDA"), money("6708.40"));
        QCOMPARE(amount(r, "FCUDTOTDETR"), money("2750"));   // 6708.40 - 3958.40
        QCOMPARE(amount(r, "FCUDDETRIMPNETTA"), money("3958.40"));
        QVERIFY(!r.contains("FCUDIMPONPTO1"));   // no income from other employers
        QCOMPARE(amount(r, "FCUDREDDDETR"), money("27360"));
        QCOMPARE(str(r, "SCUDDETINDET"), QStringLiteral("1"));
        QCOMPARE(str(r, "SCUDTICODTRATT"), QStringLiteral("2"));
        QCOMPARE(amount(r, "FCUDTOTRITOPER"), Currency());
        // Pension fund joined 1 March 2010: 12 x (25 + 25), severance 12 x 172.50.
        QCOMPARE(r.value("DCUDDTISCFONDO").toDate(), QDate(2010, 3, 1));
        QCOMPARE(amount(r, "FCUDCONTRESCLUSI"), money("600"));
        QCOMPARE(amount(r, "FCUDPRSOCVERSANN"), money("600"));
        QCOMPARE(amount(r, "FCUDCONTRIBPREVCOMP"), money("600"));
        QCOMPARE(amount(r, "FCUDPRECOMTFRFONDO"), money("2070"));
        // The relationship.
        QCOMPARE(str(r, "SCUDSNCFRTIPOLOGIA"), QStringLiteral("1"));   // employment income
        QCOMPARE(str(r, "SCUDPTRCOD1"), QStringLiteral("1"));
        QCOMPARE(amount(r, "FCUDPTRIMP1"), money("27360"));
        QCOMPARE(r.value("DCUDDATINIRL").toDate(), QDate(2003, 9, 1));
        QVERIFY(!r.contains("ICUDPERPART"));
        // A whole year with the adjustment: only the comprehensive note.
        QCOMPARE(str(r, "SCUDANNOTAZIONI"),
                 QStringLiteral("ZZ) Il presente annulla e sostituisce eventuali CUD precedenti\r\n"));
        // The one log line is the public pension's: name, heading, line.
        QCOMPARE(imp->info().lines().size(), 3);
        QCOMPARE(imp->info().lines().at(1), QStringLiteral("--- INPS Sezione 2 - Gestione Pubblica"));
    }

    void noAdjustmentWithAndWithoutDeductions()
    {
        fresh();
        ScriptedResponder ui;
        QStringList log;
        {
            auto imp = importer();
            imp->hooks().onInfo = [&](const QStringList &l) { log = l; };
            QVERIFY(imp->importa({BIANCHI}).riuscito());
        }
        QVariantMap r = cu(QStringLiteral("BNCLRA80L65D458L"));
        // Taxable income and withholdings, no deduction figures.
        QCOMPARE(str(r, "LCUDCONGUAGLIO"), QStringLiteral("0"));
        QCOMPARE(r.value("ICUDPERIODOLAV").toInt(), 365);
        QCOMPARE(amount(r, "FCUDREDDDETR"), money("23973.84"));   // 12 x (2200 - 202.18)
        QCOMPARE(amount(r, "FCUDRITIRPEF"), money("3184.20"));    // 12 x 265.35
        QCOMPARE(amount(r, "FCUDADDCOMSALDO"), money("120"));
        QCOMPARE(amount(r, "FCUDADDREGIRPEF"), money("300"));
        QCOMPARE(amount(r, "FCUDIMPLORDA"), Currency());
        QCOMPARE(amount(r, "FCUDTOTDETR"), Currency());
        QCOMPARE(amount(r, "FCUDDETRDIPPENSREDD"), Currency());
        QCOMPARE(amount(r, "FCUDDEDNOTAXFAM"), Currency());
        // A whole year: no periods, no surcharge note; the days agree.
        QCOMPARE(str(r, "SCUDANNOTAZIONI"),
                 QStringLiteral("Conguaglio non effettuato\r\n"
                                "ZZ) Il presente annulla e sostituisce eventuali CUD precedenti\r\n"));
        QVERIFY(log.isEmpty());

        // With the deductions option: gross tax 12 x 415.35, deductions
        // 12 x 40 (children) and 12 x 150 (employment) = 2280, cut to the gross
        // tax less the net tax (4984.20 - 3184.20 = 1800) starting from the
        // family deductions: 480 kept, employment 1800 -> 1320.
        {
            auto imp = importer();
            imp->options().ANCHE_SENZA_CONGUAGLIO = true;
            imp->setSovraScrivi(TVelSovraScrivi::SovrascriviSempre);
            imp->hooks().onInfo = [](const QStringList &) {};
            QVERIFY(imp->importa({BIANCHI}).riuscito());
        }
        r = cu(QStringLiteral("BNCLRA80L65D458L"));
        QCOMPARE(amount(r, "FCUDIMPLORDA"), money("4984.20"));
        QCOMPARE(amount(r, "FCUDTOTDETR"), money("1800"));
        QCOMPARE(amount(r, "FCUDDEDNOTAXFAM"), money("480"));
        QCOMPARE(amount(r, "FCUDDETRDIPPENSREDD"), money("1320"));
        QCOMPARE(amount(r, "FCUDDETRIMPNETTA"), money("3184.20"));
        QVERIFY(!str(r, "SCUDANNOTAZIONI").contains(nota("AC")));   // a whole year
    }

    void adjustmentInJuneWithEndOfContract()
    {
        fresh();
        ScriptedResponder ui;
        auto imp = importer();
        imp->hooks().onInfo = [](const QStringList &) {};
        QVERIFY(imp->importa({RINALDI}).riuscito());
        const QVariantMap r = cu(QStringLiteral("RNLSMN90E05C573Q"), QStringLiteral("06"));
        QVERIFY(!r.isEmpty());
        QCOMPARE(str(r, "LCUDCONGUAGLIO"), QStringLiteral("X"));
        QCOMPARE(r.value("ICUDPERIODOLAV").toInt(), 181);
        // A fixed-term position: taxable income as "determined", 2,400.00 of
        // it from another school.
        QCOMPARE(amount(r, "FCUDREDDETTRDET"), money("13842.06"));
        QCOMPARE(str(r, "SCUDDETINDET"), QStringLiteral("2"));
        QCOMPARE(amount(r, "FCUDTOTDETR"), money("988.25"));   // 3183.67 - 2195.42
        QCOMPARE(r.value("DCUDDATINIRL").toDate(), QDate(2024, 9, 1));
        QCOMPARE(r.value("DCUDDATFINRL").toDate(), QDate(2025, 6, 30));
        QCOMPARE(str(r, "LCUDINFORZA3112"), QStringLiteral("0"));
        // 6 x (2100 - 192.99) over January-June; ended in the year after an
        // adjustment; the employment deduction 988.25 is below the minimum
        // (1380) for a fixed-term position.
        QCOMPARE(str(r, "SCUDANNOTAZIONI"),
                 QStringLiteral("ZZ) Il presente annulla e sostituisce eventuali CUD precedenti\r\n"
                                "AI) dal:01/01/2025 al: 30/06/2025 per un importo di 11442,06\r\n"
                                "Data fine: 30/06/2025\r\n")
                     + nota("AL") + nota("AN"));
        // 181 days from 1 January to 30 June agree; the other employer is said.
        QCOMPARE(imp->info().lines().size(), 3);
        QVERIFY(imp->info().lines().at(2).contains(QStringLiteral("punti 537 e 538")));
    }

    void municipalSurchargeAdvanceAndBalance()
    {
        fresh();
        ScriptedResponder ui;
        // Point 26: without an adjustment the amount due joins the withheld
        // instalments (9 x 11.11 + 12 x 9.50); point 29 is 30 % of it.
        {
            auto imp = importer();
            imp->options().ACCONTO_ADD_COM_ANNO = true;
            imp->options().ACCONTO_ADD_COM = true;
            QVERIFY(imp->importa({MARINI, ROSSI}).riuscito());
        }
        QVariantMap m = cu(QStringLiteral("MRNFRC89T64H199I"));
        QCOMPARE(amount(m, "FCUDADDCOMIRPEF"), money("213.99"));
        QVERIFY(!m.contains("FCUDADDCOMSALDO"));
        QCOMPARE(amount(m, "FCUDADDCOMIRPEFAC"), money("64.20"));   // 64.197
        // With an adjustment the amount due is always the balance.
        QVariantMap r = cu(QStringLiteral("RSSMRA75C12H199Y"));
        QCOMPARE(amount(r, "FCUDADDCOMIRPEF"), Currency());
        QCOMPARE(amount(r, "FCUDADDCOMSALDO"), money("218.88"));
        QCOMPARE(amount(r, "FCUDADDCOMIRPEFAC"), money("65.66"));   // 65.664

        // Point 27; a surcharge of 100.01 gives an advance of 30.003 -> 30.00.
        QCOMPARE(db->exec(QStringLiteral("UPDATE tvarr_varritenute SET fvarrritdip = 12.01 WHERE iriceid = 8 AND "
                                         "iregsid = (SELECT MIN(iregsid) FROM tregs_registri WHERE iacomid = 103)"))
                     .numRowsAffected(),
                 1);
        {
            auto imp = importer();
            imp->options().ACCONTO_ADD_COM = true;
            imp->setSovraScrivi(TVelSovraScrivi::SovrascriviSempre);
            QVERIFY(imp->importa({ESPOSITO, MARINI}).riuscito());
        }
        const QVariantMap e = cu(QStringLiteral("SPSGPP68A30F839J"));
        QCOMPARE(amount(e, "FCUDADDCOMSALDO"), money("100.01"));   // 11 x 8 + 12.01
        QCOMPARE(amount(e, "FCUDADDCOMIRPEFAC"), money("30"));
        m = cu(QStringLiteral("MRNFRC89T64H199I"));
        QCOMPARE(amount(m, "FCUDADDCOMIRPEF"), money("99.99"));
        QCOMPARE(amount(m, "FCUDADDCOMSALDO"), money("114"));
    }

    void positionsCollaboratorScholarshipAndNoiPa()
    {
        fresh();
        ScriptedResponder ui;
        auto imp = importer();
        QStringList dialogs;
        imp->hooks().onPosizioni = [&](TClientDataSet &rows, bool &cococo, const QString &who) {
            dialogs << who;
            QCOMPARE(rows.recordCount(), 2);
            QVERIFY(!cococo);
            // The part-time position out of the fiscal data.
            QVERIFY(rows.locate(QStringLiteral("ITNOID"), 2));
            rows.edit();
            rows.fieldByName(QStringLiteral("LPER_ALTRI_DATI")).setAsInteger(0);
            rows.post();
        };
        imp->hooks().onInfo = [](const QStringList &) {};
        const TVelRunOutcome o = imp->importa({ROMANO, COLOMBO, RICCI, CONTI});
        QCOMPARE(dialogs, QStringList{QStringLiteral("ROMANO MARCO")});   // one position: no dialog

        // Two positions, the full-time one alone: 6 x 130, July-December 184 days.
        const QVariantMap ro = cu(QStringLiteral("RMNMRC85B14D704V"));
        QCOMPARE(amount(ro, "FCUDRITIRPEF"), money("780"));
        QCOMPARE(ro.value("ICUDPERIODOLAV").toInt(), 184);

        // Collaborator: relationship days, the taxable income as "determined",
        // the collaboration code of the relationship section.
        // Last paid in June; 200 days in the payroll, 181 of them in 2025.
        const QVariantMap co = cu(QStringLiteral("CLMPLA79H08F205I"), QStringLiteral("06"));
        QCOMPARE(co.value("ICUDPERIODOLAV").toInt(), 181);
        QCOMPARE(amount(co, "FCUDREDDETTRDET"), money("5299.98"));   // 6 x 883.33
        QCOMPARE(amount(co, "FCUDRITIRPEF"), money("1219.02"));     // 6 x 203.17
        QCOMPARE(str(co, "SCUDDETINDET"), QStringLiteral("2"));
        QCOMPARE(str(co, "SCUDPTRCOD1"), QStringLiteral("6"));
        QCOMPARE(str(co, "SCUDSNCFRTIPOLOGIA"), QStringLiteral("2"));   // assimilated income only
        QCOMPARE(co.value("DCUDDATFINRL").toDate(), QDate(2025, 6, 30));
        QCOMPARE(str(co, "SCUDANNOTAZIONI"),
                 QStringLiteral("Conguaglio non effettuato\r\n"
                                "ZZ) Il presente annulla e sostituisce eventuali CUD precedenti\r\n"));

        // Scholarship: no IRPEF, 12 x 1250 as exempt income code 23.
        const QVariantMap ri = cu(QStringLiteral("RCCCHR98T41A944C"));
        QCOMPARE(amount(ri, "FCUDREDDESAMM2"), money("15000"));
        QCOMPARE(str(ri, "SCUDREDDESCOD2"), QStringLiteral("23"));
        QCOMPARE(amount(ri, "FCUDRITIRPEF"), Currency());

        // NoiPA only, counted with the option: 2 x 600 and 2 x 138; no days.
        const QVariantMap ct = cu(QStringLiteral("CNTRRT66P05H501D"));
        QCOMPARE(amount(ct, "FCUDREDDDETR"), money("1200"));
        QCOMPARE(amount(ct, "FCUDRITIRPEF"), money("276"));
        QCOMPARE(str(ct, "LCUDCPOSCNACFC"), QStringLiteral("X"));
        QCOMPARE(str(ct, "ICUDPERPART"), QStringLiteral("4"));
        QCOMPARE(TVelImportCud::esito(o).importati, 4);
    }

    void failuresOfOneEmployee()
    {
        fresh();
        ScriptedResponder ui;
        QStringList log;
        auto imp = importer();
        imp->hooks().onInfo = [&](const QStringList &l) { log = l; };
        const TVelRunOutcome o = imp->importa({DE_LUCA, COSTA, MANCINI, GRECO, ROSSI});

        const QStringList shown = ui.texts();
        QCOMPARE(shown.size(), 2);
        // Mixed NoiPA and local payments: the employee is rolled back.
        QCOMPARE(shown.at(0), QStringLiteral("Controllare i dati del dipendente:DE LUCA GIULIA\r\n\r\n"
                                             "Impossibile crea la Certificazione: Esistono liquidazioni non inviate "
                                             "a NoiPa."));
        QVERIFY(cu(QStringLiteral("DLCGLI82C61G273U")).isEmpty());
        // No tax code: skipped.
        QCOMPARE(shown.at(1), QStringLiteral("ATTENZIONE!!! Dipendente senza codice fiscale : COSTA ELENA"));
        // A flat-rate professional: nothing in the main record and no INPS
        // row, but the payments (2,000.00, nothing withheld) are the CU's
        // self-employed section: kept, not excluded from the pre-filled return.
        const QString greco = QStringLiteral("GRCFNC88D57H294U");
        const QVariantMap gr = cu(greco, QStringLiteral("06"));   // paid in June
        QVERIFY(!gr.isEmpty());
        QVERIFY(str(gr, "SCUDCASIESCPREC") != QStringLiteral("2"));
        QCOMPARE(rows("TASE_AUTSOMMEEROGATE", greco), 1);
        // No start date: written, with the log line.
        const QVariantMap mn = cu(QStringLiteral("MNCDVD77T11L219Z"));
        QVERIFY(!mn.isEmpty());
        QVERIFY(!mn.contains("DCUDDATINIRL"));
        QCOMPARE(log.mid(0, 3), QStringList({QStringLiteral("Dipendente MANCINI DAVIDE"),
                                             QStringLiteral("--- Sezione fiscale"),
                                             QStringLiteral("- Data inizio rapporto in anagrafica non è impostata.")}));
        // The run went on after each failure.
        QVERIFY(!cu(QStringLiteral("RSSMRA75C12H199Y")).isEmpty());
        QCOMPARE(TVelImportCud::esito(o).importati, 3);
        QCOMPARE(TVelImportCud::esito(o).errori, 1);
        QCOMPARE(TVelImportCud::esito(o).scartati, 1);
        // The rolled-back employee left no person in the store.
        {
            QSqlQuery q = db->exec(QStringLiteral("SELECT COUNT(*) FROM tafi_anafiscale WHERE lower(saficodfiscale) "
                                                  "IN ('dlcgli82c61g273u')"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toInt(), 0);
        }
    }

    // A payroll value the CU cannot be built from stops its payee, named with
    // field and value; the others are imported.
    void badPayrollValuesStopThePayee_data()
    {
        QTest::addColumn<QString>("update");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<bool>("sqliteOnly");
        QTest::addColumn<TVelStage>("stage");
        QTest::newRow("text in an amount column")
            << QStringLiteral("UPDATE tvarr_varritenute SET fvarrritdip = 'mille' WHERE ivarrid = (SELECT min(v.ivarrid) "
                              "FROM tvarr_varritenute v JOIN tregs_registri r ON r.iregsid = v.iregsid "
                              "WHERE r.iacomid = 101)")
            << QStringLiteral("il campo FVARRRITDIP contiene \"mille\", che non è un numero") << true
            << TVelStage::Lettura;
        QTest::newRow("blob in an amount column of a register's row")
            << QStringLiteral("UPDATE tvacr_vocicalcolate SET fvacrlordo = X'3132' WHERE ivacrid = (SELECT "
                              "min(v.ivacrid) FROM tvacr_vocicalcolate v JOIN tregs_registri r ON r.iregsid = "
                              "v.iregsid WHERE r.iacomid = 101)")
            << QStringLiteral("il campo FVACRLORDO contiene \"12\", che non è un numero") << true
            << TVelStage::Lettura;
        QTest::newRow("negative taxable income of the year")
            << QStringLiteral("UPDATE tcong_conguagli SET fcongimponibile_t = -23973.84 WHERE iacomid = 101")
            << QStringLiteral("imponibile IRPEF dell'anno negativo (-23973,84)") << false
            << TVelStage::Costruzione;
    }
    void badPayrollValuesStopThePayee()
    {
        QFETCH(QString, update);
        QFETCH(QString, reason);
        QFETCH(bool, sqliteOnly);
        QFETCH(TVelStage, stage);
        if (sqliteOnly && TestDb::isPostgres())
            QSKIP("PostgreSQL refuses a text in a numeric column when it is written");
        fresh();
        db->exec(update);
        ScriptedResponder ui;
        auto imp = importer();
        imp->hooks().onInfo = [](const QStringList &) {};
        const TVelRunOutcome o = imp->importa({ROSSI, BIANCHI});
        QCOMPARE(o.payees.size(), 2);
        QCOMPARE(o.payees.at(0).result, TVelResult::Errore);
        QVERIFY2(o.payees.at(0).reason.contains(reason), qPrintable(o.payees.at(0).reason));
        QCOMPARE(o.payees.at(0).codFis, QStringLiteral("RSSMRA75C12H199Y"));
        QCOMPARE(o.payees.at(0).stage, stage);
        QVERIFY(cu(QStringLiteral("RSSMRA75C12H199Y")).isEmpty());
        QCOMPARE(o.payees.at(1).result, TVelResult::Fatto);
        QCOMPARE(TVelImportCud::esito(o).importati, 1);
        QVERIFY(!o.riuscito());
        QVERIFY2(o.problemLines().join(QLatin1Char('\n')).contains(reason), qPrintable(o.problemLines().join(QLatin1Char('\n'))));
    }

    void reimportChoicesAndInpsRows()
    {
        fresh();
        ScriptedResponder ui;
        // Bianchi: one INPS row (code 3, twelve months), written by the real
        // builder, which adds rows without looking for earlier ones.
        const QString cf = QStringLiteral("BNCLRA80L65D458L");
        auto run = [&](TVelSovraScrivi how, bool force = false) {
            auto imp = importer<ImportWithInps>();
            imp->setSovraScrivi(how);
            imp->setForzaStampati(force);
            if (!imp->importa({BIANCHI}).riuscito())
                return -1;
            return imp->inpsCalls;
        };
        QCOMPARE(run(TVelSovraScrivi::SovrascriviSempre), 1);
        const qint64 first = cu(cf).value("IAFIID").toLongLong();
        QCOMPARE(rows("TCUDI_INPS", cf), 1);

        // Kept.
        QCOMPARE(run(TVelSovraScrivi::NonSovrascrivere), 0);
        QCOMPARE(cu(cf).value("IAFIID").toLongLong(), first);
        ui.answer(IDNO, QStringLiteral("Dipendente già presente in archivio"));
        QCOMPARE(run(TVelSovraScrivi::ChiediConferma), 0);
        QCOMPARE(cu(cf).value("IAFIID").toLongLong(), first);
        // Asked with no one to answer (a run given no host): kept, and no box.
        {
            auto imp = importer<ImportWithInps>();
            imp->setRunHost(TVelUnattendedRunHost::instance());
            imp->setSovraScrivi(TVelSovraScrivi::ChiediConferma);
            const TVelRunOutcome o = imp->importa({BIANCHI});
            QCOMPARE(imp->inpsCalls, 0);
            QCOMPARE(o.count(TVelResult::Mantenuto), 1);
        }
        QCOMPARE(cu(cf).value("IAFIID").toLongLong(), first);

        // Replaced: the old INPS rows go with the old CU.
        ui.answer(IDYES, QStringLiteral("BIANCHI LAURA  :  Dipendente già presente in archivio, si vogliono sostituire "
                                        "i dati?"));
        QCOMPARE(run(TVelSovraScrivi::ChiediConferma), 1);
        const qint64 second = cu(cf).value("IAFIID").toLongLong();
        QVERIFY(second != first);
        QCOMPARE(rows("TCUDI_INPS", cf), 1);
        QCOMPARE(run(TVelSovraScrivi::SovrascriviSempre), 1);
        QCOMPARE(rows("TCUDI_INPS", cf), 1);

        // Printed: kept even when replacing always, unless forced.
        {
            TClientDataSet ds;
            store->Load(ds, QStringLiteral("TCUD_DATICUD"));
            QVERIFY(ds.locate(QStringLiteral("SCUDCODFIS"), cf));
            ds.edit();
            ds.fieldByName(QStringLiteral("ICUDSTATO")).setAsInteger(1);
            ds.fieldByName(QStringLiteral("SCUDANNOTAZIONI")).setAsString(QStringLiteral("corretta a mano"));
            ds.post();
            store->Save(ds, QStringLiteral("TCUD_DATICUD"));
        }
        QCOMPARE(run(TVelSovraScrivi::SovrascriviSempre), 0);
        QCOMPARE(str(cu(cf), "SCUDANNOTAZIONI"), QStringLiteral("corretta a mano"));
        QCOMPARE(run(TVelSovraScrivi::SovrascriviSempre, true), 1);
        QVERIFY(str(cu(cf), "SCUDANNOTAZIONI") != QStringLiteral("corretta a mano"));
        QCOMPARE(cu(cf).value("ICUDSTATO").toInt(), 0);
        QCOMPARE(rows("TCUDI_INPS", cf), 1);
        QCOMPARE(ui.pendingAnswers(), 0);
    }

    void assistance730AndOnlyInps()
    {
        fresh();
        ScriptedResponder ui;
        {
            auto imp = importer();
            QVERIFY(imp->importa({122}).riuscito());
        }
        // Santoro Matteo: the 730 lines of July, August and November.
        const QVariantMap r = cu(QStringLiteral("SNTMTT74L03A944U"));
        const QPair<const char *, const char *> expected[] = {
            {"FCUDSIRIMB", "350"},         {"FCUDARRIMB", "40"},         {"FCUDSACRIMB", "15"},
            {"FCUDSITRATT", "120"},        {"FCUDARTRATT", "30"},        {"FCUDSECONDOACCIRPE", "210"},
            {"FCUDACCADDCOMIRPEF", "18"},  {"FCUDPRIMOACCIRPEF", "60"},  {"FCUDSICRIMB", "90"},
            {"FCUDPRATACCCEDSECC", "25"},  {"FCUDSURATACCCEDSECC", "35"}, {"FCUDSCSLTRATT", "12"},
            {"FCUDSURATACSECCON", "5"}};
        for (const auto &e : expected)
            QVERIFY2(amount(r, e.first) == money(e.second), e.first);
        QVERIFY(!r.contains("FCUDSACTRATT"));

        // Only INPS: no fiscal figures; Bianchi (INPS code 3) kept with her
        // INPS row and marked as a case excluded from the fiscal part...
        const QString cf = QStringLiteral("BNCLRA80L65D458L");
        {
            auto imp = importer();
            imp->options().SOLOINPS = true;
            QVERIFY(imp->importa({BIANCHI}).riuscito());
        }
        QVariantMap o = cu(cf);
        QCOMPARE(str(o, "SCUDCASIESCPREC"), QStringLiteral("2"));
        QVERIFY(!o.contains("FCUDRITIRPEF"));
        QVERIFY(!o.contains("FCUDREDDDETR"));
        QCOMPARE(rows("TCUDI_INPS", cf), 1);
        // ... and Rossi gone, with a message: his pension contributions are
        // public pension (code 2) paid here, not sent to NoiPA, so with the
        // NoiPA source he has neither an INPS nor a public-pension row.
        ui.clear();
        {
            auto imp = importer();
            imp->options().SOLOINPS = true;
            QVERIFY(imp->importa({ROSSI}).riuscito());
        }
        QVERIFY(cu(QStringLiteral("RSSMRA75C12H199Y")).isEmpty());
        QCOMPARE(rows("TCUDI_INPS", QStringLiteral("RSSMRA75C12H199Y")), 0);
        QCOMPARE(rows("TCUDN_INPDAP", QStringLiteral("RSSMRA75C12H199Y")), 0);
        QCOMPARE(ui.texts().first(), QStringLiteral("Dipendente : ROSSI MARIO\r\r\n"
                                                    "Non importato perchè non sono presenti dati Fiscali o "
                                                    "Contributivi"));
    }

    void failureAfterReplacingKeepsTheOldCu()
    {
        fresh();
        ScriptedResponder ui;
        const QString cf = QStringLiteral("BNCLRA80L65D458L");
        const QString barbieri = QStringLiteral("BRBFBA87P16H199A");
        auto imp = importer<FailingInps>();
        imp->setSovraScrivi(TVelSovraScrivi::SovrascriviSempre);
        QVERIFY(imp->importa({BIANCHI}).riuscito());
        const qint64 first = cu(cf).value("IAFIID").toLongLong();
        QCOMPARE(rows("TCUDI_INPS", cf), 1);

        // Replaced, its INPS section built, then the employee fails before
        // the CU is handed over: the old CU and its rows stay.
        imp->failFor = cf;
        QCOMPARE(imp->importa({BIANCHI, BARBIERI}).count(TVelResult::Errore), 1);
        QVERIFY(ui.texts().contains(QStringLiteral("Controllare i dati del dipendente:BIANCHI LAURA\r\n\r\n"
                                                   "Sezione INPS non leggibile")));
        QCOMPARE(cu(cf).value("IAFIID").toLongLong(), first);
        QCOMPARE(rows("TCUDI_INPS", cf), 1);
        QVERIFY(!cu(barbieri).isEmpty());
        QCOMPARE(rows("TCUDI_INPS", barbieri), 1);

        // The same run finds the old CU in the store: kept.
        imp->failFor.clear();
        imp->setSovraScrivi(TVelSovraScrivi::NonSovrascrivere);
        const TVelRunOutcome o = imp->importa({BIANCHI});
        QCOMPARE(TVelImportCud::esito(o).mantenuti, 1);
        QCOMPARE(cu(cf).value("IAFIID").toLongLong(), first);
    }

    // A CU reaches the store whole, once: an employee that fails while its
    // sections are built has sent the store nothing (not even the main
    // record's person, which a save before the sections would make), and
    // each CU written makes one person, which its sections join.
    void cuHandedOverWholeOnce()
    {
        fresh();
        ScriptedResponder ui;
        int persons = 0;
        db->setStatementFault([&](const QString &sql) {
            persons += sql.simplified().startsWith(QStringLiteral("INSERT INTO TAFI_ANAFISCALE"), Qt::CaseInsensitive);
            return false;
        });
        auto imp = importer<FailingInps>();
        imp->failFor = QStringLiteral("BNCLRA80L65D458L");
        QCOMPARE(imp->importa({BIANCHI}).count(TVelResult::Errore), 1);
        QCOMPARE(persons, 0);

        imp->failFor.clear();
        const TVelRunOutcome o = imp->importa({BIANCHI, BARBIERI});
        db->setStatementFault({});
        QCOMPARE(o.count(TVelResult::Fatto), 2);
        QCOMPARE(persons, 2);
        QCOMPARE(rows("TCUDI_INPS", QStringLiteral("BNCLRA80L65D458L")), 1);
        QCOMPARE(rows("TCUDI_INPS", QStringLiteral("BRBFBA87P16H199A")), 1);

        // A payee whose CU of another month holds the dependants keeps them
        // there: the CU of this month gets none.
        const QString giordano = QStringLiteral("GRDSFN81A09A662V");
        QVERIFY(imp->importa({GIORDANO}).riuscito());
        QCOMPARE(rows("TCUDC_CONFAMCARICO", giordano), 2);
        db->exec(QStringLiteral("UPDATE tafi_anafiscale SET safigruppoana = '08' WHERE lower(saficodfiscale) = :CF"),
                 {{QStringLiteral("CF"), giordano.toLower()}});
        QVERIFY(imp->importa({GIORDANO}).riuscito());
        QSqlQuery n = db->exec(QStringLiteral("SELECT COUNT(*) FROM tafi_anafiscale WHERE lower(saficodfiscale) = :CF"),
                               {{QStringLiteral("CF"), giordano.toLower()}});
        QVERIFY(n.next());
        QCOMPARE(n.value(0).toInt(), 2);
        QCOMPARE(rows("TCUDC_CONFAMCARICO", giordano), 2);
    }

    // On a server a CU's value rows go with the commit: a row the server
    // refuses there fails that employee alone, with the server's words, and
    // leaves the store as it was (a new CU not written at all, a replaced
    // one kept); the next employee is written on the same connection.
    void serverRefusalAtCommitLeavesNoHalfCu()
    {
        if (!TestDb::isPostgres())
            QSKIP("PostgreSQL only");
        fresh();
        ScriptedResponder ui;
        const QString bianchi = QStringLiteral("BNCLRA80L65D458L");
        const QString barbieri = QStringLiteral("BRBFBA87P16H199A");
        db->exec(QStringLiteral(
            "CREATE FUNCTION rifiuta_inps() RETURNS trigger AS $$ BEGIN "
            "IF NEW.sfisfieldname = 'sCudMatrAzienda' AND EXISTS (SELECT 1 FROM tafi_anafiscale a "
            "WHERE a.iafiid = NEW.iafiid AND upper(a.saficodfiscale) = 'BNCLRA80L65D458L') "
            "THEN RAISE EXCEPTION 'riga INPS rifiutata dal server'; END IF; RETURN NEW; END $$ LANGUAGE plpgsql"));
        db->exec(QStringLiteral("CREATE TRIGGER tr_rifiuta BEFORE INSERT ON tfis_datifiscali "
                                "FOR EACH ROW EXECUTE FUNCTION rifiuta_inps()"));
        auto persons = [&](const QString &cf) {
            QSqlQuery q = db->exec(QStringLiteral("SELECT COUNT(*) FROM tafi_anafiscale WHERE upper(saficodfiscale) = :CF"),
                                   {{QStringLiteral("CF"), cf}});
            return q.next() ? q.value(0).toInt() : -1;
        };
        auto imp = importer();
        imp->setSovraScrivi(TVelSovraScrivi::SovrascriviSempre);

        for (const bool replacing : {false, true}) {
            if (replacing) {
                // A CU written before the rule: the refused one was to replace it.
                db->exec(QStringLiteral("ALTER TABLE tfis_datifiscali DISABLE TRIGGER tr_rifiuta"));
                QVERIFY(imp->importa({BIANCHI}).riuscito());
                db->exec(QStringLiteral("ALTER TABLE tfis_datifiscali ENABLE TRIGGER tr_rifiuta"));
            }
            const qint64 old = cu(bianchi).value("IAFIID").toLongLong();
            const TVelRunOutcome o = imp->importa({BIANCHI, BARBIERI});
            QCOMPARE(o.count(TVelResult::Errore), 1);
            QCOMPARE(o.count(TVelResult::Fatto), 1);
            QVERIFY2(o.payees.first().reason.contains(QStringLiteral("riga INPS rifiutata dal server")),
                     qPrintable(o.payees.first().reason));
            QCOMPARE(persons(bianchi), replacing ? 1 : 0);
            QCOMPARE(cu(bianchi).value("IAFIID").toLongLong(), old);
            QCOMPARE(rows("TCUDI_INPS", bianchi), replacing ? 1 : 0);
            QCOMPARE(persons(barbieri), 1);
            QCOMPARE(rows("TCUDI_INPS", barbieri), 1);
        }
    }
};

QTEST_GUILESS_MAIN(TstDbImport)
#include "tst_db_import.moc"
