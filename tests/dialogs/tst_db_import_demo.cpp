// The whole demo school imported with its sections, and the agent's data
// written once a run, on both engines.
#include "support/ImportFixture.h"

#include "src/prj/unit/import/VelPayrollCopy.h"

class TstDbImportDemo : public ImportTestBase
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

    void wholeDemoWithSections()
    {
        fresh();
        // The UniEmens declarations of the demo (payees 39 and 21).
        QVERIFY(seedUniEmensDemo(*db, QStringLiteral("MRCRNI67H66H199A"), QStringLiteral("FNTGRG76A71H199Y")).rows > 0);
        ScriptedResponder ui;
        QStringList log;
        auto imp = importer();
        imp->setSovraScrivi(TVelSovraScrivi::SovrascriviSempre);
        imp->hooks().onInfo = [&](const QStringList &l) { log = l; };
        // The first import of the year writes the agent's data: its tax code
        // keys the public-pension rows of payments sent to NoiPA.
        TOvSQLQuery sed(db.get());
        QueryText().SetQuery(QStringLiteral("QRY_SED"), sed, 0, QStringLiteral("EXECUTE"));
        sed.paramByName(QStringLiteral("IDWGID")).setAsInteger(1);
        sed.open();
        imp->options().SOSTITUTO = true;
        imp->setSede(&sed);
        const TVelRunOutcome o = imp->importa();
        // De Luca (mixed NoiPA payments) rolled back, Costa without tax code.
        QCOMPARE(TVelImportCud::esito(o).errori, 1);
        QCOMPARE(TVelImportCud::esito(o).scartati, 1);
        // The end report names everybody paid in the year who is left
        // without a CU: the two above, and the refunds to external staff
        // that the default categories leave out of the list.
        const qsizetype nonImportati = log.indexOf(QStringLiteral("--- Dipendenti non importati"));
        QVERIFY(nonImportati >= 0);
        QVERIFY(log.at(nonImportati + 1).startsWith(QStringLiteral("- COSTA ELENA: ")));
        QVERIFY(log.at(nonImportati + 2).startsWith(QStringLiteral("- DE LUCA GIULIA (DLCGLI82C61G273U): ")));
        QCOMPARE(log.mid(log.indexOf(QStringLiteral("--- Pagati nell'anno e non in elenco"))),
                 (QStringList{QStringLiteral("--- Pagati nell'anno e non in elenco"),
                              QStringLiteral("- GENTILE ELISA (GNTLSE91P49H199A): pagato nell'anno 120,00 solo in "
                                             "posizioni giuridiche escluse dalle categorie predefinite (9 RIMBORSI A "
                                             "PERSONALE ESTERNO (120,00)); nessuna certificazione. Se dovuta, "
                                             "importarla scegliendo la categoria del percipiente.")}));
        QCOMPARE(o.warnings.size(), 1);
        QCOMPARE(o.warnings[0].code, TVelWarningCode::PagatoFuoriElenco);

        // The log read as text: each section's heading once, under the first
        // employee (in the list's order, by name) with a message in it.
        auto under = [&](const QString &title) {
            const QString h = QStringLiteral("--- ") + title;
            if (log.count(h) != 1)
                return QStringLiteral("heading %1 times").arg(log.count(h));
            int i = int(log.indexOf(h));
            while (i >= 0 && !log.at(i).startsWith(QStringLiteral("Dipendente ")))
                --i;
            return i < 0 ? QString() : log.at(i);
        };
        auto after = [&](const QString &title) { return log.value(log.indexOf(QStringLiteral("--- ") + title) + 1); };
        // Dependants: Lombardi's two other dependants without a percentage
        // come before Rizzo's children (L < R).
        QCOMPARE(under(QStringLiteral("Sezione familiari a carico per detrazioni")),
                 QStringLiteral("Dipendente LOMBARDI ANDREA"));
        QCOMPARE(after(QStringLiteral("Sezione familiari a carico per detrazioni")),
                 QStringLiteral("- Dati degli altri familiari a carico: manca la percentuale di detrazione"));
        // Public pension from NoiPA: Fontana also has UniEmens declarations.
        QCOMPARE(under(QStringLiteral("INPS Sezione 2 - Gestione Pubblica")), QStringLiteral("Dipendente FONTANA GIORGIA"));
        QCOMPARE(after(QStringLiteral("INPS Sezione 2 - Gestione Pubblica")),
                 QStringLiteral("- Presenza di denunce UniEmens relative al dipendente\r\n  I dati derivanti "
                                "dall'UniEmens devono essere integrati manualmente."));
        // Self-employed: Gallo is paid under reasons A and M, one entry each.
        QCOMPARE(under(QStringLiteral("Dati autonomo")), QStringLiteral("Dipendente GALLO SARA"));
        QCOMPARE(after(QStringLiteral("Dati autonomo")),
                 QStringLiteral("- Presenza di liquidazioni con causali diverse: certificata una riga per causale."));
        QCOMPARE(sezione("TASE_AUTSOMMEEROGATE", QStringLiteral("GLLSRA83E67L781Q")).size(), 2);
        // Fiscal: announced once, no later than Mancini's missing start date.
        QVERIFY(!under(QStringLiteral("Sezione fiscale")).startsWith(QStringLiteral("heading")));
        const qsizetype mancini = log.indexOf(QStringLiteral("Dipendente MANCINI DAVIDE"));
        QVERIFY(mancini >= 0);
        QVERIFY(log.indexOf(QStringLiteral("--- Sezione fiscale")) < log.indexOf(
                    QStringLiteral("- Data inizio rapporto in anagrafica non è impostata."), mancini));
        // Rizzo's lines stand under her name without a second heading.
        const qsizetype rizzo = log.indexOf(QStringLiteral("Dipendente RIZZO VALENTINA"));
        QVERIFY(rizzo >= 0);
        QStringList blocco;
        for (qsizetype k = rizzo + 1; k < log.size() && !log.at(k).isEmpty(); ++k)
            blocco << log.at(k);
        QVERIFY(!blocco.isEmpty());
        // Calendar days agree with the year: no days line before them.
        QCOMPARE(blocco, (QStringList{QStringLiteral("- Figlio nr 3: codice fiscale non impostato."),
                                             QStringLiteral("- Figlio (codice fiscale RZZNHO04L07C553X): "
                                                            "nessun mese a carico.")}));

        // Dependants, Giordano: spouse (LEONE MARTA) 12 months; first child
        // Sofia in two ranges at two percentages: one row each, 6 months at
        // 50 % and 6 at 100 %; Pietro, born 2023, 12 months all under three,
        // 50 %, in the second row's further slot.
        const QString giordano = QStringLiteral("GRDSFN81A09A662V");
        QList<QVariantMap> r = sezione("TCUDC_CONFAMCARICO", giordano);
        QCOMPARE(r.size(), 2);
        if (str(r[0], "SCUDDETRSPETTPRIFIGL") != QLatin1String("50.00"))
            std::swap(r[0], r[1]);
        QCOMPARE(str(r[0], "SCUDMESE"), QStringLiteral("12"));
        QCOMPARE(r[0].value("IAFIID").toLongLong(), cu(giordano).value("IAFIID").toLongLong());
        QCOMPARE(str(r[0], "LCUDRELPARCON"), QStringLiteral("1"));
        QCOMPARE(str(r[0], "SCUDCODFISCON"), QStringLiteral("LNEMRT83M59A662B"));
        QCOMPARE(str(r[0], "SCUDMESICARCON"), QStringLiteral("12"));
        QCOMPARE(str(r[0], "SCUDCODFISPRIFIGL"), QStringLiteral("GRDSFO12H70H199S"));
        QCOMPARE(str(r[0], "SCUDMESICARPRIFIGL"), QStringLiteral("06"));
        QCOMPARE(str(r[1], "SCUDCODFISPRIFIGL"), QStringLiteral("GRDSFO12H70H199S"));
        QCOMPARE(str(r[1], "SCUDMESICARPRIFIGL"), QStringLiteral("06"));
        QCOMPARE(str(r[1], "SCUDDETRSPETTPRIFIGL"), QStringLiteral("100.00"));
        QCOMPARE(str(r[1], "SCUDCODFISFIGL"), QStringLiteral("GRDPTR23S04H199V"));
        QCOMPARE(str(r[1], "SCUDMESICARFIGL"), QStringLiteral("12"));
        QCOMPARE(str(r[1], "SCUDMINTREANNFIGL"), QStringLiteral("12"));
        QCOMPARE(amount(r[1], "FCUDDETRSPETTFIGL"), money("50"));

        // INPS, Barbieri: 12 x 1,500.00 + accessory 500.00 under the one
        // company number (the demo has none for accessory pay); contributions
        // 12 x 137.85 + 45.95; every month with INPS lines.
        const QString barbieri = QStringLiteral("BRBFBA87P16H199A");
        r = sezione("TCUDI_INPS", barbieri);
        QCOMPARE(r.size(), 1);
        QCOMPARE(str(r[0], "SCUDMATRAZIENDA"), QStringLiteral("4512345678"));
        QCOMPARE(amount(r[0], "FCUDIMPONIBILE"), money("18500"));
        QCOMPARE(amount(r[0], "FCUDCONTRIBTRATT"), money("1700.15"));
        QCOMPARE(str(r[0], "LCUDENTEINPS"), QStringLiteral("X"));
        QCOMPARE(str(r[0], "LCUDMESIRETR"), QStringLiteral("X"));
        QVERIFY(sezione("TCUDN_INPDAP", barbieri).isEmpty());

        // Public pension, Fontana: the July payment sent to NoiPA: base
        // 1,000.00, contributions 88.00 employee + 242.00 employer, severance
        // 1,000.00 / 27.00, credit fund 1,000.00 / 3.50; no INPS row (code 2).
        const QString fontana = QStringLiteral("FNTGRG76A71H199Y");
        r = sezione("TCUDN_INPDAP", fontana);
        QCOMPARE(r.size(), 1);
        QCOMPARE(r[0].value("ICUDANNORIF").toInt(), 2025);
        QCOMPARE(str(r[0], "LINPDAPNOIPADICH"), QStringLiteral("X"));
        QCOMPARE(str(r[0], "SCUDCODFISAMMNE"), QStringLiteral("92017840536"));   // the school, from the agent's data
        QCOMPARE(str(r[0], "SCUDCODFISSOGGDEN"), QStringLiteral("80415740580"));
        QCOMPARE(amount(r[0], "FCUD_DMA_IMPPENS"), money("1000"));
        QCOMPARE(amount(r[0], "FCUD_DMA_CONPENS"), money("330"));
        QCOMPARE(amount(r[0], "FCUDCONTRPCLAVTRAT"), money("88"));
        QCOMPARE(amount(r[0], "FCUD_DMA_IMPTFR"), money("1000"));
        QCOMPARE(amount(r[0], "FCUD_DMA_CONTFR"), money("27"));
        QCOMPARE(amount(r[0], "FCUD_DMA_IMPCREDITO"), money("1000"));
        QCOMPARE(amount(r[0], "FCUD_DMA_CONCREDITO"), money("3.50"));
        QVERIFY(sezione("TCUDI_INPS", fontana).isEmpty());

        // Self-employed, Marino (reason A): 1,500.00 + 1,000.00 taxable, 20 %
        // withheld, INPS 4 % borne by the school, 50.00 not subject, 80.00
        // refunded.
        const QString marino = QStringLiteral("MRNLCU70R19C573L");
        r = sezione("TASE_AUTSOMMEEROGATE", marino);
        QCOMPARE(r.size(), 1);
        QCOMPARE(str(r[0], "SCAUCODICE"), QStringLiteral("A"));
        QCOMPARE(amount(r[0], "FDSE7IMPONIBILE"), money("2500"));
        QCOMPARE(amount(r[0], "FDSE7AMMLORDO"), money("2550"));
        QCOMPARE(amount(r[0], "FDSE7ALTRESOMME"), money("50"));
        QCOMPARE(str(r[0], "FDSE7CODICE"), QStringLiteral("21"));
        QCOMPARE(amount(r[0], "FDSE7RITTITACC"), money("500"));
        QCOMPARE(amount(r[0], "FDSE7CONTRAMM"), money("100"));
        QCOMPARE(amount(r[0], "FDSE7SPESERIMB"), money("80"));
        // Paid up to May; the fees are in this section, not employment income.
        const QVariantMap mr = cu(marino, QStringLiteral("05"));
        QVERIFY(!mr.isEmpty());
        QCOMPARE(amount(mr, "FCUDRITIRPEF"), Currency());
        QVERIFY(str(mr, "SCUDCASIESCPREC") != QStringLiteral("2"));
        // Greco (flat-rate professional, reason A): 2,000.00 as gross and as
        // other sums, "25".
        const QString greco = QStringLiteral("GRCFNC88D57H294U");
        r = sezione("TASE_AUTSOMMEEROGATE", greco);
        QCOMPARE(r.size(), 1);
        QCOMPARE(str(r[0], "SCAUCODICE"), QStringLiteral("A"));
        QCOMPARE(amount(r[0], "FDSE7AMMLORDO"), money("2000"));
        QCOMPARE(amount(r[0], "FDSE7ALTRESOMME"), money("2000"));
        QCOMPARE(str(r[0], "FDSE7CODICE"), QStringLiteral("25"));
        QVERIFY(!cu(greco, QStringLiteral("06")).isEmpty());

        // Replacing every CU deletes its old section rows once: a second run
        // leaves exactly the rows of the first.
        const char *const tables[] = {"TCUDI_INPS", "TCUDN_INPDAP", "TCUDC_CONFAMCARICO", "TASE_AUTSOMMEEROGATE"};
        auto count = [&] {
            QList<int> n;
            for (const char *tb : tables) {
                TClientDataSet ds;
                store->Load(ds, QString::fromLatin1(tb));
                n << ds.recordCount();
            }
            return n;
        };
        const QList<int> before = count();
        QVERIFY(before.at(0) > 0 && before.at(1) > 0 && before.at(2) > 0 && before.at(3) > 0);
        const qint64 afi = cu(giordano).value("IAFIID").toLongLong();
        {
            auto again = importer();
            again->setSovraScrivi(TVelSovraScrivi::SovrascriviSempre);
            again->hooks().onInfo = [](const QStringList &) {};
            QVERIFY(again->importa().count(TVelResult::Fatto) > 0);
        }
        QCOMPARE(count(), before);
        QVERIFY(cu(giordano).value("IAFIID").toLongLong() != afi);
        QCOMPARE(sezione("TCUDC_CONFAMCARICO", giordano).value(0).value("IAFIID").toLongLong(),
                 cu(giordano).value("IAFIID").toLongLong());
        QCOMPARE(sezione("TCUDI_INPS", barbieri).size(), 1);
    }

    void agentDataOncePerRun()
    {
        fresh();
        ScriptedResponder ui;
        TOvSQLQuery sed(db.get());
        QueryText().SetQuery(QStringLiteral("QRY_SED"), sed, 0, QStringLiteral("EXECUTE"));
        sed.paramByName(QStringLiteral("IDWGID")).setAsInteger(1);
        sed.open();
        QVERIFY(!sed.isEmpty());

        // A signature typed in the agent's editor survives the rewrite and
        // reaches the CU.
        {
            TClientDataSet s;
            store->Load(s, QStringLiteral("TCUS_DATISOST"));
            s.append();
            s.fieldByName(QStringLiteral("SSOSCODFIS")).setAsString(QStringLiteral("00000000000"));
            s.fieldByName(QStringLiteral("SSOSFIRMACOM")).setAsString(QStringLiteral("IL DIRIGENTE SCOLASTICO"));
            s.post();
            store->Save(s, QStringLiteral("TCUS_DATISOST"));
        }
        for (int i = 0; i < 2; ++i) {
            auto imp = importer();
            imp->options().SOSTITUTO = true;
            imp->setSede(&sed);
            imp->setSovraScrivi(TVelSovraScrivi::SovrascriviSempre);
            QVERIFY(imp->importa({ROSSI}).riuscito());
        }
        TClientDataSet s, ct, fo;
        store->Load(s, QStringLiteral("TCUS_DATISOST"));
        store->Load(ct, QStringLiteral("TCUCT_DATICT"));
        store->Load(fo, QStringLiteral("TCFO_FORNITORE"));
        QCOMPARE(s.recordCount(), 1);
        QCOMPARE(ct.recordCount(), 1);
        QCOMPARE(fo.recordCount(), 1);
        QCOMPARE(s.fieldByName(QStringLiteral("SSOSCODFIS")).asString(), QStringLiteral("92017840536"));
        QCOMPARE(s.fieldByName(QStringLiteral("SSOSDENOM")).asString(),
                 sed.fieldByName(QStringLiteral("SSEDNOMLDESC")).asString());
        QCOMPARE(s.fieldByName(QStringLiteral("SSOSFIRMACOM")).asString(), QStringLiteral("IL DIRIGENTE SCOLASTICO"));
        QString tel = sed.fieldByName(QStringLiteral("SSEDTELTELEFONO")).asString();
        tel.remove(QLatin1Char('/')).remove(QLatin1Char('-')).remove(QLatin1Char(' '));
        QCOMPARE(s.fieldByName(QStringLiteral("SSOSTELFAX")).asString(), tel);
        QVERIFY(!tel.contains(QLatin1Char(' ')));
        QCOMPARE(s.fieldByName(QStringLiteral("LSOSCT")).asString(), QStringLiteral("0"));
        QCOMPARE(ct.fieldByName(QStringLiteral("SCTCODFIS")).asString(), QStringLiteral("92017840536"));
        QCOMPARE(ct.fieldByName(QStringLiteral("LCTFISCONLINE")).asString(), QStringLiteral("0"));
        QCOMPARE(fo.fieldByName(QStringLiteral("SFORCODFIS")).asString(), QStringLiteral("92017840536"));
        QCOMPARE(fo.fieldByName(QStringLiteral("STFOCODICE")).asString(), QStringLiteral("01"));
        QCOMPARE(str(cu(QStringLiteral("RSSMRA75C12H199Y")), "SCUDDATIANAFIRMA"),
                 QStringLiteral("IL DIRIGENTE SCOLASTICO"));
    }

    // On a server the employees' payroll rows are read a group at a time
    // into a local copy. Groups of 3 put many employees at a group's edge,
    // and a payee is paid both as employee and as professional (each
    // relationship's group copies the other too): the CUs, the sections and
    // the report must be those of every query on the server, for fewer
    // statements.
    void serverCopyBuildsTheSameCus()
    {
        if (!TestDb::isPostgres())
            QSKIP("SQLite reads its own file: no copy");
        auto run = [&](int group, qint64 *statements) {
            fresh();
            // Rossi, an employee, is also paid as a professional: Marino's
            // relationship becomes his.
            db->exec(QStringLiteral("UPDATE tacom_rapporti SET ianaperid = (SELECT ianaperid FROM tacom_rapporti "
                                    "WHERE iacomid = %1) WHERE iacomid = %2")
                         .arg(ROSSI)
                         .arg(MARINO));
            ScriptedResponder ui;
            QStringList log;
            auto imp = importer();
            imp->setGruppoCopia(group);
            imp->hooks().onInfo = [&](const QStringList &l) { log = l; };
            const qint64 before = db->statementsRun();
            const TVelRunOutcome outcome = imp->importa();
            *statements = db->statementsRun() - before;
            if (outcome.count(TVelResult::Fatto) == 0)
                return QStringList(); // nothing imported: the comparison below says so
            QSqlQuery q = db->exec(QStringLiteral(
                "SELECT afi.saficodfiscale, afi.safigruppoana, cds.scdsnome, fis.ifisrigo, fis.sfisfieldname, "
                "fis.ifisvalue, fis.ffisvalue, fis.sfisvalue, fis.dfisvalue FROM tfis_datifiscali fis "
                "JOIN tcds_struttura cds ON cds.icdsid = fis.icdsid "
                "LEFT JOIN tafi_anafiscale afi ON afi.iafiid = fis.iafiid"));
            QStringList rows;
            while (q.next()) {
                QStringList r;
                for (int i = 0; i < 9; ++i)
                    r << q.value(i).toString();
                rows << r.join(QLatin1Char('|'));
            }
            rows.sort();
            return rows << log;
        };
        qint64 onServer = 0, withCopy = 0;
        const QStringList expected = run(0, &onServer);
        QVERIFY(expected.size() > 1000);
        // both relationships certified, each in its own CU
        QVERIFY(expected.filter(QRegularExpression(QStringLiteral("^RSSMRA75C12H199Y\\|12\\|tcud_daticud\\|"),
                                                   QRegularExpression::CaseInsensitiveOption)).size() > 0);
        QVERIFY(expected.filter(QRegularExpression(QStringLiteral("^RSSMRA75C12H199Y\\|05\\|tase_autsommeerogate\\|"),
                                                   QRegularExpression::CaseInsensitiveOption)).size() > 0);
        QCOMPARE(run(3, &withCopy), expected);
        QVERIFY2(withCopy * 2 < onServer, qPrintable(QStringLiteral("%1 / %2").arg(withCopy).arg(onServer)));
    }

    // Which queries the copy answers, from what the catalogue declares: a
    // relationship's or a person's query for one of the group, and a query
    // naming lookup tables only; everything else goes to the server.
    void serverCopyAnswersOnlyWhatItHolds()
    {
        if (!TestDb::isPostgres())
            QSKIP("SQLite reads its own file: no copy");
        fresh();
        TVelPayrollCopy copy(*db);
        const QVariantMap key{{QStringLiteral("IACOMID"), ROSSI}};
        QCOMPARE(copy.connectionFor(QStringLiteral("QRY_CUD_RIT"), key), nullptr);   // nothing copied yet
        copy.carica({ROSSI, BIANCHI}, {1, 2});
        QVERIFY(copy.contiene(ROSSI) && copy.contiene(BIANCHI) && !copy.contiene(ESPOSITO));
        const struct
        {
            const char *name;
            const char *key;
            int value;
            bool local;
        } cases[] = {
            {"QRY_CUD_RIT", "IACOMID", ROSSI, true},
            {"qry_cud_rit", "IACOMID", ROSSI, true},          // names are read whatever their case
            {"QRY_CUD_RIT", "IACOMID", ESPOSITO, false},      // not in the group
            {"QRY_CUD_RIT", "IANAID", 1, false},              // not its key
            {"QRY_CUD_AUTON_SOM", "IACOMID", ROSSI, true},    // registers, within their relationship
            {"QRY_CUD_AUTON_SOM", "IACOMID", ESPOSITO, false},
            {"QRY_NON_IN_CATALOGO", "IACOMID", ROSSI, false},
            {"QRY_ELH_ADET", "IANFID", 1, false},             // every person's declarations
            {"QRY_TDLA", "IANFID", 1, true},                  // a lookup
            {"QRY_ANAABT", "IANAID", 1, true},
            {"QRY_ANAABT", "IANAID", 3, false},
        };
        for (const auto &c : cases) {
            TOvSQLConnection *on =
                copy.connectionFor(QString::fromLatin1(c.name), {{QString::fromLatin1(c.key), c.value}});
            QVERIFY2((on != nullptr) == c.local, qPrintable(QStringLiteral("%1 %2").arg(c.name).arg(c.value)));
        }
        const QString regs = QStringLiteral("SELECT SUM(varr.fvarrlordo) FROM tvarr_varritenute varr "
                                            "JOIN tregs_registri regs ON regs.iregsid = varr.iregsid "
                                            "WHERE regs.iacomid = :IACOMID");
        const QString som = QStringLiteral("SELECT varr.iriceid, SUM(varr.fvarrritdip) FROM tvarr_varritenute varr "
                                           "JOIN tregs_registri regs ON regs.iregsid = varr.iregsid "
                                           "WHERE varr.iritvid IS NULL AND regs.iacomid = %1 "
                                           "GROUP BY varr.iriceid ORDER BY varr.iriceid")
                                .arg(ROSSI);
        // The copy reads as the server does.
        TOvSQLConnection *local = copy.connectionFor(QStringLiteral("QRY_CUD_RIT"), key);
        QVERIFY(local);
        QSqlQuery a = db->exec(regs, key), b = local->exec(regs, key);
        QVERIFY(a.next() && b.next());
        QVERIFY(a.value(0).toDouble() > 0);
        QCOMPARE(b.value(0).toDouble(), a.value(0).toDouble());
        QSqlQuery sa = db->exec(som), sb = local->exec(som);
        int sums = 0;
        for (; sa.next(); ++sums) {
            QVERIFY(sb.next());
            QCOMPARE(sb.value(0).toInt(), sa.value(0).toInt());
            QCOMPARE(sb.value(1).toDouble(), sa.value(1).toDouble());
        }
        QVERIFY(sums > 0 && !sb.next());
        // After a failed read the copy holds nothing and every query goes to
        // the server.
        db->exec(QStringLiteral("ALTER TABLE tass_assenze RENAME TO tass_altrove"));
        QVERIFY_THROWS_EXCEPTION(EOvException, copy.carica({ESPOSITO}, {3}));
        QVERIFY(!copy.contiene(ROSSI) && !copy.contiene(ESPOSITO));
        QCOMPARE(copy.connectionFor(QStringLiteral("QRY_CUD_RIT"), key), nullptr);
    }

    // A relationship's or a person's query that names a table the copy does
    // not read would always go to the server: what the catalogue declares
    // and what the copy reads must agree. The import's own queries are
    // declared, and the declarations are found by name.
    void declaredQueriesReadCopiedTables()
    {
        int declared = 0;
        for (const paghe::Query &q : paghe::kQuery) {
            if (q.righe == paghe::Righe::Tabelle)
                continue;
            ++declared;
            for (int t = 0; t < paghe::kTabelle; ++t)
                if (q.nomina(paghe::Tabella(t)))
                    QVERIFY2(TVelPayrollCopy::copiata(paghe::Tabella(t)),
                             qPrintable(QStringLiteral("%1: %2").arg(QLatin1StringView(q.nome),
                                                                      QLatin1StringView(paghe::kNomi[t]))));
        }
        QCOMPARE(declared, 35);
        const paghe::Query *rit = TVelPayrollCopy::dichiarazione(QStringLiteral("QRY_CUD_RIT"));
        QVERIFY(rit && rit->righe == paghe::Righe::Rapporto);
        QVERIFY(rit->nomina(paghe::Tabella::tvarr_varritenute));
        QVERIFY(!rit->nomina(paghe::Tabella::tfis_datifiscali));
        QCOMPARE(TVelPayrollCopy::dichiarazione(QStringLiteral("QRY_NON_IN_CATALOGO")), nullptr);
    }
};

QTEST_GUILESS_MAIN(TstDbImportDemo)
#include "tst_db_import_demo.moc"
