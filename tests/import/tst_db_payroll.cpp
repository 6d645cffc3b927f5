// The payroll queries of the CU import over the demo school, on both
// engines. Expected figures come from the demo's payees as written in
// tools/demo-payroll/make_demo_payroll.py (monthly amount x months), never
// from a run of the query.
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/db/OvTransaction.h"
#include "rag/calc/ragUCalcoli.h"
#include "rag/calc/ragUCalcoliAnno.h"
#include "rag/calc/ragUQuery.h"
#include "src/prj/unit/import/VelUniEmensDemo.h"
#include "tor/store/torUDBCds.h"
#include "tor/query/torCQueryText.h"

#include <QSet>
#include <QSqlQuery>
#include <QTest>

namespace {

Currency money(const char *text)
{
    return *Currency::parse(QString::fromLatin1(text));
}

QVariantMap range(int iacomid, int from = 1, int to = 12)
{
    return {{"IACOMID", iacomid}, {"MESE_INIZIALE", from}, {"MESE_FINALE", to}};
}

// Check character of an Italian tax code, computed here on its own.
QChar checkChar(const QString &first15)
{
    static const int odd[] = {1, 0, 5, 7, 9, 13, 15, 17, 19, 21, 2, 4, 18, 20, 11, 3, 6, 8,
                              12, 14, 16, 10, 22, 25, 24, 23};
    int sum = 0;
    for (int i = 0; i < 15; ++i) {
        const QChar c = first15[i];
        const int v = c.isDigit() ? c.digitValue() : c.unicode() - 'A';
        sum += i % 2 == 0 ? odd[v] : v;
    }
    return QChar('A' + sum % 26);
}

}

class TstDbPayroll : public QObject
{
    Q_OBJECT
    std::unique_ptr<TOvSQLConnection> db;
    TRagSource src() const { return {db.get(), &QueryText()}; }

    QStringList candidates(int icalid, int imesid, QHash<QString, QPair<int, int>> *months = nullptr)
    {
        TRagQuery q(src());
        QVariantMap p{{"IANFID", 56}, {"IMESID", imesid}, {"IDWGID", 1}};
        if (icalid > 0 && icalid != 7)
            p.insert("ICALID", icalid);
        else
            p.insert("RICE_COD_IRPEF_AM", 11), p.insert("RICE_COD_IRPEF_TS", 12);
        TOvSQLQuery &ds = q.open("QRY_CUD_IMP", p, {TRagQuery::filtroCandidati(icalid)});
        QStringList names;
        for (ds.first(); !ds.eof(); ds.next()) {
            const QString n = ds.fieldByName("SANACOGNOMENOME").asString();
            names << n;
            if (months)
                months->insert(n, {int(ds.fieldByName("MESE_INIZIALE").asInteger()),
                                   int(ds.fieldByName("MESE_FINALE").asInteger())});
        }
        return names;
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QueryText().loadFromXml(QStringLiteral(VELCU_SOURCE_DIR "/tools/velcu-catalogue/rag_QueryText.xml"));
        db = TestDb::open(true);
    }
    void cleanupTestCase() { db.reset(); }

    void demoPayeesHaveValidTaxCodes()
    {
        QSqlQuery q = db->exec("SELECT ana.sanacodfiscale, ana.dananascita, ana.isexid FROM tana_anagrafiche ana "
                               "ORDER BY ana.ianaid");
        int people = 0, withCode = 0;
        static const QString months = QStringLiteral("ABCDEHLMPRST");
        while (q.next()) {
            ++people;
            const QString code = q.value(0).toString();
            if (code.isEmpty())
                continue;
            ++withCode;
            QCOMPARE(code.size(), 16);
            QCOMPARE(code[15], checkChar(code));
            const QDate born = q.value(1).toDate();
            QCOMPARE(code.mid(6, 2).toInt(), born.year() % 100);
            QCOMPARE(code[8], months[born.month() - 1]);
            QCOMPARE(code.mid(9, 2).toInt(), born.day() + (q.value(2).toInt() == 2 ? 40 : 0));
        }
        QCOMPARE(people, 40);
        QCOMPARE(withCode, 39);   // one payee has no tax code yet
        // Codes of relatives in the declarations are valid too.
        q = db->exec("SELECT sadefcodfisc FROM tadef_detrfigli WHERE sadefcodfisc IS NOT NULL "
                     "UNION SELECT sadetcfconcar FROM tadet_detrazioni WHERE sadetcfconcar IS NOT NULL");
        int relatives = 0;
        while (q.next()) {
            const QString code = q.value(0).toString();
            QCOMPARE(code[15], checkChar(code));
            ++relatives;
        }
        QVERIFY(relatives >= 10);
    }

    void candidateListByCategoryAndMonth()
    {
        QHash<QString, QPair<int, int>> months;
        const QStringList all = candidates(0, 12, &months);
        // 40 payees less the external refund (position 9); the
        // self-employed one paid with nothing withheld is certified too.
        QCOMPARE(all.size(), 39);
        QVERIFY(!all.contains("GENTILE ELISA"));
        QVERIFY(all.contains("LOMBARDO DANIELE"));
        QVERIFY(all.contains("VITALE ILARIA"));      // position 15, IRPEF under code 12
        QVERIFY(all.contains("GRECO FRANCESCA"));    // flat-rate regime, nothing withheld
        QVERIFY(all.contains("COSTA ELENA"));        // listed; refused later for the missing code
        QCOMPARE(all, [&] { QStringList s = all; s.sort(); return s; }());
        QCOMPARE(months.value("FERRARI ANNA"), qMakePair(1, 12));
        QCOMPARE(months.value("COLOMBO PAOLO"), qMakePair(1, 6));
        QCOMPARE(months.value("RINALDI SIMONE"), qMakePair(1, 6));

        // Closing month November: the payee paid only in December drops out
        // and December registers do not count.
        QHash<QString, QPair<int, int>> nov;
        const QStringList toNov = candidates(0, 11, &nov);
        QCOMPARE(toNov.size(), 38);
        QVERIFY(!toNov.contains("SERRA BEATRICE"));
        QCOMPARE(nov.value("ROSSI MARIO"), qMakePair(1, 11));

        const QStringList self = candidates(7, 12);
        QCOMPARE(QSet<QString>(self.begin(), self.end()),
                 (QSet<QString>{"MARINO LUCA", "GRECO FRANCESCA", "BRUNO ALESSANDRO", "GALLO SARA", "LONGO ANTONIO",
                                "VITALE ILARIA", "LOMBARDO DANIELE"}));
        // Everybody paid in the year: the list leaves out only the external
        // refund (120.00 under position 9), which the import's report names.
        TRagQuery q(src());
        TOvSQLQuery &paid = q.open("QRY_CUD_PAGATI", {{"IANFID", 56}, {"IMESID", 12}, {"IDWGID", 1}});
        QStringList fuori;
        for (paid.first(); !paid.eof(); paid.next()) {
            const QString n = paid.fieldByName("SANACOGNOME").asString() + " " + paid.fieldByName("SANANOME").asString();
            if (!all.contains(n))
                fuori << QStringLiteral("%1 %2 %3").arg(n).arg(paid.fieldByName("ITNOID").asInteger())
                             .arg(TRagQuery::amount(paid, "PAGATO").toString());
        }
        QCOMPARE(fuori, QStringList{"GENTILE ELISA 9 120.0000"});
        QCOMPARE(candidates(5, 12), (QStringList{"COLOMBO PAOLO", "RICCI CHIARA"}));
    }

    void yearEndAdjustmentRecord()
    {
        TRagQuery q(src());
        TOvSQLQuery &ds = q.open("QRY_CUD_CONG", {{"IACOMID", 101}, {"IMESID", 12}});
        QCOMPARE(ds.recordCount(), 1);
        QCOMPARE(TRagQuery::amount(ds, "FCONGRITLORDA"), money("6708.40"));
        QCOMPARE(TRagQuery::amount(ds, "FCONGDETRAZIONI"), money("2750"));
        QCOMPARE(ds.fieldByName("FCONGGIORNI").asInteger(), 365);
        // Made in December: not there yet at November.
        QVERIFY(q.open("QRY_CUD_CONG", {{"IACOMID", 101}, {"IMESID", 11}}).isEmpty());
        // Made in June, when the contract ended.
        QCOMPARE(q.open("QRY_CUD_CONG", {{"IACOMID", 124}, {"IMESID", 6}}).recordCount(), 1);
        QVERIFY(q.open("QRY_CUD_CONG", {{"IACOMID", 102}, {"IMESID", 12}}).isEmpty());

        // The first adjusted month of every relationship, read at once, marks
        // the same relationships as the query above asked one by one.
        QHash<int, int> first;
        TOvSQLQuery &all = q.open("QRY_CUD_CONG_PRIMO", {});
        for (all.first(); !all.eof(); all.next())
            first.insert(int(all.fieldByName("IACOMID").asInteger()), int(all.fieldByName("PRIMO").asInteger()));
        QVERIFY(first.size() > 1);
        TRagQuery one(src());
        for (const auto &[iacomid, month] : {std::pair{101, 12}, {101, 11}, {124, 6}, {124, 5}, {102, 12}})
            QCOMPARE(first.contains(iacomid) && first.value(iacomid) <= month,
                     !one.open("QRY_CUD_CONG", {{"IACOMID", iacomid}, {"IMESID", month}}).isEmpty());
    }

    void withholdingAndIncomeTotals()
    {
        TRagQuery q(src());
        // Bianchi Laura: 12 x (IRPEF withheld 265.35, gross 415.35, taxable
        // 2200 - 9.19 % = 1997.82).
        TOvSQLQuery &rit = q.open("QRY_CUD_RIT", range(102), {"7,11", QString()});
        QCOMPARE(rit.recordCount(), 1);
        QCOMPARE(rit.fieldByName("EXP_CSFA").asInteger(), 0);
        QCOMPARE(TRagQuery::amount(rit, "TOTALE"), money("3184.20"));
        QCOMPARE(TRagQuery::amount(rit, "LORDO"), money("4984.20"));
        QCOMPARE(q.total("QRY_CUD_REDD", range(102), {"7,11", QString()}, "TOTALE"), money("23973.84"));
        // Months narrow the sum: Jan-Mar.
        QCOMPARE(q.total("QRY_CUD_RIT", range(102, 1, 3), {"7", QString()}, "TOTALE"), money("796.05"));
        // Municipal surcharge: 12 x 9.50 due, 9 instalments of 11.11 withheld.
        QCOMPARE(q.total("QRY_CUD_RIT", range(123), {"8", QString()}, "TOTALE"), money("114.00"));
        QVariantMap ritv = range(123);
        ritv.insert("IRITVID", 4);
        QCOMPARE(q.total("QRY_CUD_RITV", ritv, {}, "TOTALE"), money("99.99"));
        // Two positions: part-time Jan-Jun (IRPEF 57), full time Jul-Dec (130).
        QCOMPARE(q.total("QRY_CUD_RIT", range(105), {"7,11", TRagQuery::positionFilter("2")}, "TOTALE"),
                 money("342.00"));
        QCOMPARE(q.total("QRY_CUD_RIT", range(105), {"7,11", TRagQuery::positionFilter("1,2")}, "TOTALE"),
                 money("1122.00"));
        // NoiPA payments come apart.
        TOvSQLQuery &mixed = q.open("QRY_CUD_RIT", range(113), {"7,11", QString()});
        QCOMPARE(mixed.recordCount(), 2);
        mixed.first();
        QCOMPARE(TRagQuery::amount(mixed, "TOTALE"), money("92"));
        mixed.next();
        QCOMPARE(mixed.fieldByName("EXP_CSFA").asInteger(), 1);
        QCOMPARE(TRagQuery::amount(mixed, "TOTALE"), money("69"));
        // Deductions applied month by month: 12 x (150 employment, 40 children).
        QVariantMap nc = range(102);
        nc.insert("RICE_COD_IRPEF", 7);
        TOvSQLQuery &ded = q.open("QRY_CUD_NO_CONG", nc, {QString()});
        QCOMPARE(TRagQuery::amount(ded, "FADETIMPLAVDIP"), money("1800"));
        QCOMPARE(TRagQuery::amount(ded, "FADETIMPFIGLICAR"), money("480"));
        QCOMPARE(TRagQuery::amount(ded, "FADETIMPCONCAR"), Currency());
    }

    void payItemsAnd730()
    {
        TRagQuery q(src());
        QVariantMap p = range(126);
        p.insert("ICOMRID", 10069);
        p.insert("IANFID", 56);
        QCOMPARE(q.total("QRY_CUD_VOCE", p, {QString()}, "TOTALE_VOCE"), money("1200"));
        p.insert("ICOMRID", 11069);
        QCOMPARE(q.total("QRY_CUD_VOCE", p, {QString()}, "TOTALE_VOCE"), money("60"));
        p.insert("IANFID", 55);   // another year: nothing
        QCOMPARE(q.total("QRY_CUD_VOCE", p, {QString()}, "TOTALE_VOCE"), Currency());

        QVariantMap a = range(122);
        a.insert("ICOMRGRUPPO", 4);
        TOvSQLQuery &ds = q.open("QRY_CUD_730", a);
        QHash<int, Currency> byItem;
        for (ds.first(); !ds.eof(); ds.next())
            byItem[int(ds.fieldByName("ICOMRID").asInteger())] += TRagQuery::amount(ds, "FVACRLORDO");
        QCOMPARE(byItem.size(), 13);
        QCOMPARE(byItem.value(10027), money("350"));
        QCOMPARE(byItem.value(10026), money("120"));
        QCOMPARE(byItem.value(10033), money("210"));
        QCOMPARE(byItem.value(10066), money("5"));
        // The monthly pay is not a 730 item.
        QVERIFY(!byItem.contains(10001));
    }

    void daysAbsencesAndPeriods()
    {
        // Fixed-term teacher: 17 + 150 + 16 + 92 calendar days, 5 days absent.
        QCOMPARE(TragCalcola::giorniLavorati(104, 1, 12, QString(), src()), 270);
        QCOMPARE(TragCalcola::assenze(104, 1, 12, src()), 5);
        QCOMPARE(TragCalcola::giorniLavorati(104, 4, 12, QString(), src()), 91 + 16 + 92);
        // 365 less 4 + 6 days.
        QCOMPARE(TragCalcola::giorniLavorati(137, 1, 12, QString(), src()), 355);
        // Only the full-time position, July to December.
        QCOMPARE(TragCalcola::giorniLavorati(105, 1, 12, TRagQuery::positionFilter("1"), src()), 184);
        // Accessory pay only: no days, whatever the absences.
        QCOMPARE(TragCalcola::giorniLavorati(136, 1, 12, QString(), src()), 0);

        // Bounds: registers doubled give 730 days, kept at 365; absences
        // above the days give 0.
        TOvTransaction tx(db.get());
        tx.StartTransaction();
        db->exec("INSERT INTO tregs_registri (iregsid, ianfid, imesid, icotid, iregsgruppo, iacomid, itnoid, iregsgiorni) "
                 "SELECT iregsid + 900000, ianfid, imesid, icotid, iregsgruppo, iacomid, itnoid, iregsgiorni "
                 "FROM tregs_registri WHERE iacomid = 114");
        QCOMPARE(TragCalcola::giorniLavorati(114, 1, 12, QString(), src()), 365);
        db->exec("INSERT INTO tass_assenze (iassid, iacomid, imesid, iassgiorni) VALUES (900001, 138, 5, 400)");
        QCOMPARE(TragCalcola::giorniLavorati(138, 1, 12, QString(), src()), 0);
        tx.Rollback();
        QCOMPARE(TragCalcola::giorniLavorati(114, 1, 12, QString(), src()), 365);

        TRagQuery q(src());
        QVariantMap p = range(104);
        p.insert("RICE_COD_IRPEF_AM", 11);
        p.insert("RICE_COD_IRPEF", 7);
        p.insert("CO_FONDAMENTALI", 1);
        TOvSQLQuery &per = q.open("QRY_CUD_PERIODI", p);
        QCOMPARE(per.recordCount(), 10);
        per.first();
        QCOMPARE(per.fieldByName("DREGSDAL").dataType(), TFieldType::Date);
        QCOMPARE(per.fieldByName("DREGSDAL").asDate(), QDate(2025, 1, 15));
        QCOMPARE(TRagQuery::amount(per, "IMPONIBILE_IRPEF"), money("1089.72"));
        per.last();
        QCOMPARE(per.fieldByName("DREGSAL").asDate(), QDate(2025, 12, 31));
    }

    void positionsOfARelationship()
    {
        TRagQuery q(src());
        TOvSQLQuery &ds = q.open("QRY_CUD_TNO", range(105));
        QCOMPARE(ds.recordCount(), 2);
        ds.first();
        QCOMPARE(ds.fieldByName("ITNOID").asInteger(), 1);
        QCOMPARE(ds.fieldByName("LPER_ALTRI_DATI").asInteger(), 1);
        QCOMPARE(ds.fieldByName("LPER_INPS").asInteger(), 1);
        ds.next();
        QCOMPARE(ds.fieldByName("ITNOID").asInteger(), 2);
        QCOMPARE(ds.fieldByName("STNOLDESC").asString(), QStringLiteral("TEMPO INDETERMINATO PART-TIME"));
        // The collaborator: IRPEF but no INPS line of codes 3/13.
        TOvSQLQuery &coll = q.open("QRY_CUD_TNO", range(106));
        QCOMPARE(coll.recordCount(), 1);
        QCOMPARE(coll.fieldByName("ITNOID").asInteger(), 11);
        QCOMPARE(coll.fieldByName("LPER_INPS").asInteger(), 0);
        // Only the months asked.
        QCOMPARE(q.open("QRY_CUD_TNO", range(105, 7, 12)).recordCount(), 1);
    }

    void inpsAndOtherFunds()
    {
        // 12 x 1500, contribution 9.19 % = 137.85; accessory 500 (45.95).
        QCOMPARE(TragCalcola::inpsFondamentali(120, 3, 10001, 1, 12, QString(), "QRY_CUD_INPS_IMP_FOND", src()),
                 money("18000"));
        QCOMPARE(TragCalcola::inpsFondamentali(120, 3, 10001, 1, 12, QString(), "QRY_CUD_INPS_RIT_FOND", src()),
                 money("1654.20"));
        QCOMPARE(TragCalcola::inpsFondamentali(120, 3, 10002, 1, 12, QString(), "QRY_CUD_INPS_IMP_FOND", src()),
                 Currency());
        QCOMPARE(TragCalcola::inpsAccessori(120, 3, 3, 1, 12, QString(), "QRY_CUD_INPS_IMP_ACC", src()),
                 money("500"));
        QCOMPARE(TragCalcola::inpsAccessori(120, 3, 3, 1, 12, QString(), "QRY_CUD_INPS_RIT_ACC", src()),
                 money("45.95"));
        // Part-time code 13: 12 x 950.
        QCOMPARE(TragCalcola::inpsFondamentali(128, 13, 10001, 1, 12, QString(), "QRY_CUD_INPS_IMP_FOND", src()),
                 money("11400"));
        // The position filter excludes the part-time months of a two-position year.
        QCOMPARE(TragCalcola::inpsFondamentali(105, 13, 10001, 1, 12, TRagQuery::positionFilter("1"),
                                               "QRY_CUD_INPS_IMP_FOND", src()),
                 Currency());

        TRagQuery q(src());
        QVariantMap m = range(104);
        m.insert("RICE_COD_INPS_OI", 3);
        m.insert("RICE_COD_INPS_PT", 13);
        TOvSQLQuery &months = q.open("QRY_CUD_INPS_MESI", m, {QString()});
        QList<int> got;
        for (months.first(); !months.eof(); months.next())
            got << int(months.fieldByName("IMESID").asInteger());
        QCOMPARE(got, (QList<int>{1, 2, 3, 4, 5, 6, 9, 10, 11, 12}));

        // Collaborator, separate scheme: 6 x (1000, 116.67, 233.33).
        TOvSQLQuery &prev = q.open("QRY_CUD_PREVID_RIT_FOND", range(106), {"11"});
        QCOMPARE(TRagQuery::amount(prev, "FVARRIMPONIBILEAMM"), money("6000"));
        QCOMPARE(TRagQuery::amount(prev, "FVARRRITDIP"), money("700.02"));
        QCOMPARE(TRagQuery::amount(prev, "FVARRRITAMM"), money("1399.98"));

        // Pension fund: 12 x (25 + 25), severance share 12 x 172.50.
        TOvSQLQuery &fpc = q.open("QRY_CUD_FPC", range(101));
        QCOMPARE(TRagQuery::amount(fpc, "FVARRRITDIP"), money("300"));
        QCOMPARE(TRagQuery::amount(fpc, "FVARRRITAMM"), money("300"));
        QCOMPARE(TRagQuery::amount(fpc, "FTFRFONDO"), money("2070"));
        TOvSQLQuery &fund = q.open("QRY_ANAFPC", {{"IACOMID", 101}});
        QCOMPARE(fund.fieldByName("DAFPADESIONE").dataType(), TFieldType::Date);
        QCOMPARE(fund.fieldByName("DAFPADESIONE").asDate(), QDate(2010, 3, 1));
        QCOMPARE(q.open("QRY_ANAFPC", {{"IACOMID", 119}}).fieldByName("DAFPADESIONE").asDate(), QDate(2005, 6, 15));
        QVERIFY(q.open("QRY_ANAFPC", {{"IACOMID", 102}}).isEmpty());

        // Public-pension employee rate of scale 1 in 2025.
        const TragCalcolaFond::Aliquote r = TragCalcolaFond::aliquote(139, 56, 2, 1, src());
        QVERIFY(r.found);
        QCOMPARE(r.FRICAALIQUOTADIP, money("8.80"));
        QVERIFY(!TragCalcolaFond::aliquote(139, 56, 2, 0, src()).found);

        // Payments sent to NoiPA, per liquidation month.
        TOvSQLQuery &acf = q.open("QRY_CUD_INT_ACC_SOLO_ACF", range(112));
        QCOMPARE(acf.recordCount(), 2);
        acf.first();
        QCOMPARE(acf.fieldByName("ICFSAMESELIQUIDAZ").asInteger(), 6);
        QCOMPARE(acf.fieldByName("ICFSAANNORIF").asInteger(), 2025);
        QCOMPARE(TRagQuery::amount(acf, "FCFSARITPENS"), money("52.80"));
    }

    void selfEmployedPayments()
    {
        TRagQuery q(src());
        auto regs = [&](int iacomid) {
            QVariantMap p{{"IACOMID", iacomid}, {"TNO_LIB_PROF", 14}, {"RICE_COD_IRPEF_AM", 11},
                          {"RICE_COD_IRPEF_TS", 12}};
            TOvSQLQuery &ds = q.open("QRY_CUD_AUTON_REGSID", p, {TRagQuery::condizioneAutonomi()});
            QStringList out;
            for (ds.first(); !ds.eof(); ds.next())
                out << ds.fieldByName("CAUSALE").asString();
            return out;
        };
        QCOMPARE(regs(108), (QStringList{"A", "A"}));
        QCOMPARE(regs(109), (QStringList{"A"}));   // flat-rate professional
        QCOMPARE(regs(110), (QStringList{"M"}));   // occasional work
        QCOMPARE(regs(111), (QStringList{"A", "M"}));
        QCOMPARE(regs(134), (QStringList{"A"}));   // nothing withheld, not flat-rate: still certified
        QCOMPARE(regs(102), QStringList());      // an employee
        // Without a reason on the register: A for a professional's position
        // (flat-rate or not), M for the others; never "P".
        db->exec("UPDATE tregs_registri SET sregscausale = NULL WHERE iacomid IN (109, 110, 134)");
        QCOMPARE(regs(109), (QStringList{"A"}));
        QCOMPARE(regs(110), (QStringList{"M"}));
        QCOMPARE(regs(134), (QStringList{"M"}));
        db->exec("UPDATE tregs_registri SET sregscausale = '' WHERE iacomid = 110");
        QCOMPARE(regs(110), (QStringList{"M"}));
        db->exec("UPDATE tregs_registri SET sregscausale = 'A' WHERE iacomid IN (109, 134)");
        db->exec("UPDATE tregs_registri SET sregscausale = 'M' WHERE iacomid = 110");
        // Positions of the fiscal list are excluded.
        {
            QVariantMap p{{"IACOMID", 108}, {"TNO_LIB_PROF", 14}, {"RICE_COD_IRPEF_AM", 11}, {"RICE_COD_IRPEF_TS", 12}};
            QVERIFY(q.open("QRY_CUD_AUTON_REGSID", p, {TRagQuery::condizioneAutonomi("14")}).isEmpty());
        }

        QSqlQuery ids = db->exec("SELECT iregsid FROM tregs_registri WHERE iacomid = 108 ORDER BY iregsid");
        QStringList list;
        while (ids.next())
            list << ids.value(0).toString();
        const QString filter = QStringLiteral(" AND REGS.IREGSID IN (%1)").arg(list.join(','));
        const QVariantMap rel{{"IACOMID", 108}};
        TOvSQLQuery &som = q.open("QRY_CUD_AUTON_SOM", rel, {filter});
        QHash<int, QList<Currency>> byCode;
        for (som.first(); !som.eof(); som.next())
            byCode[int(som.fieldByName("IRICEID").asInteger())] = {TRagQuery::amount(som, "IMP"),
                                                                    TRagQuery::amount(som, "RIT_DIP"),
                                                                    TRagQuery::amount(som, "RIT_AMM")};
        QCOMPARE(byCode.value(11), (QList<Currency>{money("2500"), money("500"), Currency()}));
        QCOMPARE(byCode.value(3), (QList<Currency>{money("2500"), Currency(), money("100")}));
        QCOMPARE(q.total("QRY_CUD_AUTON_NON_SOGG", rel, {filter}, "SOMME_NON_SOGG"), money("50"));
        QCOMPARE(q.total("QRY_CUD_AUTON_SPESE_RIMB", rel, {filter}, "SOMME_RIMBORSATE"), money("80"));
        QCOMPARE(q.total("QRY_CUD_AUTON_MINIMI", rel, {filter}, "LORDO"), money("2500"));
        // The registers are read within their relationship: another's key
        // finds none of them.
        QCOMPARE(q.total("QRY_CUD_AUTON_NON_SOGG", {{"IACOMID", 109}}, {filter}, "SOMME_NON_SOGG"), Currency());

        // Entertainment fund of the professional subject to it.
        QVariantMap e = range(130);
        e.insert("RICE_COD_ENPALS", 16);
        TOvSQLQuery &fpls = q.open("QRY_EMENS_FPLS_EXENPALS_RIT", e);
        QCOMPARE(TRagQuery::amount(fpls, "RIT_DIP"), money("275.70"));
        QCOMPARE(TRagQuery::amount(fpls, "RIT_AMM"), money("714.30"));
        QCOMPARE(TRagQuery::amount(fpls, "RIT_DIP_CTRAGG"), money("30"));
        e.insert("TNO_LIB_PROF", 14);
        e.insert("COMR_ACC_RIT_PREV", 10015);
        QCOMPARE(q.total("QRY_EMENS_FPLS_EXENPALS_RITLP", e, {}, "FVACRLORDO"), money("3000"));

        QVariantMap b = range(107);
        b.insert("TNO_BORSISTA", 17);
        QCOMPARE(q.total("QRY_CUD_BORSISTA_LORDO", b, {}, "TOTALE"), money("15000"));
    }

    void personAndDeclarations()
    {
        TRagQuery q(src());
        TOvSQLQuery &sex = q.open("QRY_ANASEX", {{"IANAID", 29}});
        QCOMPARE(sex.fieldByName("SSEXSDESC").asString(), QStringLiteral("F"));
        QCOMPARE(sex.fieldByName("STA_NAS_SSTADESC").asString(), QStringLiteral("ROMANIA"));
        QVERIFY(sex.fieldByName("COM_NAS_SCOMDESC").asString().isEmpty());
        QCOMPARE(sex.fieldByName("DANANASCITA").asDate(), QDate(1985, 4, 22));
        TOvSQLQuery &abt = q.open("QRY_ANAABT", {{"IANAID", 1}, {"ILOCID", 2}});
        QCOMPARE(abt.fieldByName("SCOMDESC").asString(), QStringLiteral("RAVENNA"));
        QCOMPARE(abt.fieldByName("SPROSIGLA").asString(), QStringLiteral("RA"));
        QCOMPARE(abt.fieldByName("SSRPCCODCATA").asString(), QStringLiteral("H199"));
        QVERIFY(q.open("QRY_ANAABT", {{"IANAID", 1}, {"ILOCID", 1}}).isEmpty());

        TOvSQLQuery &acom = q.open("QRY_CED_ACOM", {{"IACOMID", 114}});
        QCOMPARE(acom.fieldByName("SANACOGNOME").asString(), QStringLiteral("MANCINI"));
        QVERIFY(acom.fieldByName("DACOMINIRAPP").isNull());
        QCOMPARE(q.open("QRY_CED_ACOM", {{"IACOMID", 106}}).fieldByName("IACOMDURATARAPP").asInteger(), 200);
        QVERIFY(q.open("QRY_CED_ACOM", {{"IACOMID", 115}}).fieldByName("SANACODFISCALE").asString().isEmpty());

        // Declarations of 2025 and 2024; the child declared in two ranges
        // gives two rows whose months add up to 12.
        TOvSQLQuery &adet = q.open("QRY_ELH_ADET", {{"IANFID", 56}, {"IANFID_P", 55}});
        int rows16 = 0, monthsFirstChild = 0;
        for (adet.first(); !adet.eof(); adet.next()) {
            if (adet.fieldByName("SADETCFCONCAR").asString().startsWith("LNEMRT")) {
                ++rows16;
                QCOMPARE(adet.fieldByName("IANFVALORE").asInteger(), 2025);
                if (adet.fieldByName("IADEFORDINE").asInteger() == 1)
                    monthsFirstChild += int(adet.fieldByName("MESI_CARICO").asInteger());
            }
        }
        QCOMPARE(rows16, 3);
        QCOMPARE(monthsFirstChild, 12);
        // The declaration with other dependants and no child detail.
        TOvSQLQuery &again = q.open("QRY_ELH_ADET", {{"IANFID", 56}, {"IANFID_P", 55}});
        int others = 0;
        for (again.first(); !again.eof(); again.next())
            if (again.fieldByName("IADETALTRI").asInteger() == 2) {
                ++others;
                QVERIFY(again.fieldByName("IADEFID").isNull());
                QCOMPARE(TRagQuery::amount(again, "FADETPERCALTRI"), Currency());
            }
        QCOMPARE(others, 1);
    }

    void codeTablesAndRuleTables()
    {
        TRagQuery q(src());
        QCOMPARE(q.open("QRY_MES_COMBO", {}).recordCount(), 12);
        QCOMPARE(q.dataSet().fieldByName("SMESDESC").asString(), QStringLiteral("GENNAIO"));
        QCOMPARE(q.open("QRY_CUD_CAL", {}).recordCount(), 5);
        QCOMPARE(q.open("QRY_CAL_FILTRO", {}).fieldByName("DESCRIZIONE").asString(), QStringLiteral("DOCENTI"));
        QCOMPARE(q.open("QRY_TNO_FILTRO", {}).recordCount(), 12);
        QCOMPARE(q.open("QRY_QAR_FILTRO", {}).recordCount(), 10);
        TOvSQLQuery &tdla = q.open("QRY_TDLA", {{"IANFID", 56}});
        QCOMPARE(tdla.recordCount(), 4);
        QCOMPARE(TRagQuery::amount(tdla, "FTDLAMININD"), money("690"));
        QCOMPARE(TRagQuery::amount(tdla, "FTDLAMINDET"), money("1380"));
        QVERIFY(q.open("QRY_TDLA", {{"IANFID", 55}}).isEmpty());
        QCOMPARE(q.open("QRY_TDCO", {{"IANFID", 56}}).recordCount(), 4);
        QCOMPARE(q.open("QRY_TDFA", {{"IANFID", 56}}).recordCount(), 1);
        QCOMPARE(q.open("QRY_TDCA", {{"IANFID", 56}}).recordCount(), 5);
        QCOMPARE(q.open("QRY_TDCU", {{"IANFID", 56}}).recordCount(), 4);
        QCOMPARE(q.open("QRY_CCNL_COMR", {{"IANFID", 56}, {"IQARID", 2}}).recordCount(), 1);
        QCOMPARE(q.open("QRY_CCNV_HELP", {{"IANFID", 56}}).recordCount(), 4);
        QCOMPARE(TRagCCNL::importo(56, 2, 10001, src()), money("2450"));
        QCOMPARE(TRagCCNL::importo(56, 2, 10002, src()), Currency());
        QCOMPARE(TRagCCNL::importo(55, 2, 10001, src()), Currency());
        QCOMPARE(q.open("QRY_ENPM_ANNUALE", {{"IANFID", 56}}).recordCount(), 1);
        QCOMPARE(q.open("QRY_ENPA", {{"IANFID", 56}, {"RICE_COD_ENPALS", 16}}).recordCount(), 1);
        QCOMPARE(TRagQuery::amount(q.open("QRY_RICA_MIN_ENPALS", {{"IANFID", 56}, {"RICE_COD_ENPALS", 16}}),
                                   "FRICAMINIMALE"),
                 money("52.95"));
        QVariantMap g = range(126);
        g.insert("ICOMRGRUPPO", 0);
        QVERIFY(q.open("QRY_VACR_GRUPPO", g).recordCount() >= 12);
        QVariantMap e = range(126);
        e.insert("COMR_ESONERO_IVS_STIP", 10070);
        e.insert("COMR_ESONERO_IVS_13", 10071);
        e.insert("COMR_ESONERO_IVS_MADRI", 10072);
        QVERIFY(q.open("QRY_UNIEMENS_ESONERO_IVS", e).isEmpty());
        TOvSQLQuery &fisc = q.open("QRY_ANAFISC", {{"IACOMID", 107}});
        QCOMPARE(fisc.fieldByName("LACOMBORSADOTTORATO").asInteger(), 1);
    }

    void uniEmensDeclarationsInTheStore()
    {
        QSqlQuery cf = db->exec("SELECT sanacodfiscale FROM tana_anagrafiche WHERE ianaid IN (39, 21) "
                                "ORDER BY ianaid DESC");
        QVERIFY(cf.next());
        const QString marchetti = cf.value(0).toString();
        QVERIFY(cf.next());
        const QString fontana = cf.value(0).toString();
        const VelUniEmensDemoResult first = seedUniEmensDemo(*db, marchetti, fontana);
        QCOMPARE(first.structures, 3);
        QCOMPARE(first.rows, 2 + 13 + 1);
        QCOMPARE(seedUniEmensDemo(*db, marchetti, fontana).rows, 0);   // a second run adds nothing

        TTorDBCds store;
        store.setConnection(db.get());
        store.setProgram(kUniEmensProgram);
        store.setYear(2025);
        store.setMonth(TTorDBCds::AllMonths);
        TClientDataSet e0;
        store.Load(e0, QStringLiteral("TE0_RETR"));
        QCOMPARE(e0.recordCount(), 13);
        Currency pension, contributions;
        int months = 0;
        for (e0.first(); !e0.eof(); e0.next()) {
            if (e0.fieldByName("SCODFIS").asString() != marchetti)
                continue;
            ++months;
            pension += e0.fieldByName("VP_E0XXX032_IMPPENS").asCurrency();
            contributions += e0.fieldByName("VP_E0XXX033_CONPENS").asCurrency();
            QCOMPARE(e0.fieldByName("DT_E0XXX002_DFINE").dataType(), TFieldType::Date);
        }
        QCOMPARE(months, 12);
        QCOMPARE(pension, money("30600"));          // 12 x 2550
        QCOMPARE(contributions, money("10098"));    // 12 x 841.50
        TClientDataSet amm;
        store.Load(amm, QStringLiteral("TAMM_AMMINISTRAZIONI"));
        QCOMPARE(amm.recordCount(), 2);
        int withoutCode = 0;
        for (amm.first(); !amm.eof(); amm.next())
            withoutCode += amm.fieldByName("CF_007_SERCODFIS").asString().isEmpty();
        QCOMPARE(withoutCode, 1);
        TClientDataSet v1;
        store.Load(v1, QStringLiteral("TV1_RETR"));
        QCOMPARE(v1.recordCount(), 1);
        QCOMPARE(v1.fieldByName("VN_V1XXX033_CONPENS").asCurrency(), money("6.60"));
        // The program's own structures are not touched by the other
        // program's code.
        TTorDBCds vel;
        vel.setConnection(db.get());
        vel.setProgram(QStringLiteral("vel"));
        vel.setYear(2025);
        QVERIFY_THROWS_EXCEPTION(EOvException, vel.Load(e0, QStringLiteral("TE0_RETR")));
    }

    void everyQueryOfTheImportIsInTheCatalogue()
    {
        const char *const names[] = {
            "QRY_ANAABT", "QRY_ANAFISC", "QRY_ANAFPC", "QRY_ANASEX", "QRY_CAL_FILTRO", "QRY_CCNL_COMR",
            "QRY_CCNV_HELP", "QRY_CED_ACOM", "QRY_CUD_730", "QRY_CUD_ASSENZE", "QRY_CUD_AUTON_MINIMI",
            "QRY_CUD_AUTON_NON_SOGG", "QRY_CUD_AUTON_REGSID", "QRY_CUD_AUTON_SOM", "QRY_CUD_AUTON_SPESE_RIMB",
            "QRY_CUD_BORSISTA_LORDO", "QRY_CUD_CAL", "QRY_CUD_CONG", "QRY_CUD_CONG_PRIMO", "QRY_CUD_FPC", "QRY_CUD_GIORNI", "QRY_CUD_IMP",
            "QRY_CUD_INPS_IMP_ACC", "QRY_CUD_INPS_IMP_FOND", "QRY_CUD_INPS_MESI", "QRY_CUD_INPS_RIT_ACC",
            "QRY_CUD_INPS_RIT_FOND", "QRY_CUD_INT_ACC_SOLO_ACF", "QRY_CUD_INT_DMA_STO_CALC_DIP", "QRY_CUD_NO_CONG",
            "QRY_CUD_PERIODI", "QRY_CUD_PREVID_RIT_FOND", "QRY_CUD_REDD", "QRY_CUD_RIT", "QRY_CUD_RITV",
            "QRY_CUD_TNO", "QRY_CUD_VOCE", "QRY_ELH_ADET", "QRY_EMENS_FPLS_EXENPALS_RIT",
            "QRY_EMENS_FPLS_EXENPALS_RITLP", "QRY_ENPA", "QRY_ENPM_ANNUALE", "QRY_MES_COMBO", "QRY_PACO",
            "QRY_QAR_FILTRO", "QRY_RICA_MIN_ENPALS", "QRY_TDCA", "QRY_TDCO", "QRY_TDCU", "QRY_TDFA", "QRY_TDLA",
            "QRY_TNO_FILTRO", "QRY_UNIEMENS_ESONERO_IVS", "QRY_VACR_GRUPPO"};
        for (const char *name : names)
            QVERIFY2(!QueryText().statement(QString::fromLatin1(name), QStringLiteral("SELECT")).isEmpty(), name);
        QVERIFY(!QueryText().statement(QStringLiteral("QRY_SED"), QStringLiteral("EXECUTE")).isEmpty());
    }

    void badCallsNameTheQuery()
    {
        TRagQuery q(src());
        auto message = [](auto &&f) -> QString {
            try {
                f();
            } catch (const EOvException &e) {
                return e.message();
            }
            return QString();
        };
        // A parameter left out would bind NULL and return nothing.
        QString m = message([&] { q.open("QRY_CUD_RITV", range(123)); });
        QVERIFY2(m.contains("QRY_CUD_RITV") && m.contains("IRITVID"), qPrintable(m));
        // A parameter the text does not have.
        m = message([&] { q.open("QRY_CUD_ASSENZE", {{"IACOMID", 1}, {"MESE_INIZIALE", 1}, {"MESE_FINALE", 12},
                                                     {"IANFID", 56}}); });
        QVERIFY2(m.contains("QRY_CUD_ASSENZE") && m.contains("IANFID"), qPrintable(m));
        // Substitutions that do not match the placeholders.
        m = message([&] { q.open("QRY_CUD_RIT", range(102), {"7,11"}); });
        QVERIFY2(m.contains("QRY_CUD_RIT"), qPrintable(m));
        m = message([&] { q.open("QRY_CUD_RITV", range(123), {"x"}); });
        QVERIFY2(m.contains("QRY_CUD_RITV"), qPrintable(m));
        // A substitution that leaves the text malformed: the database's
        // refusal names the query.
        m = message([&] { q.open("QRY_CUD_RIT", range(102), {"7,", QString()}); });
        QVERIFY2(m.contains("QRY_CUD_RIT"), qPrintable(m));
        QCOMPARE(QueryText().lastOperation(), QStringLiteral("QRY_CUD_RIT"));
        // Position lists are checked before they reach the text.
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, TRagQuery::positionFilter("1) OR (1=1"));
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, TRagQuery::condizioneAutonomi("14;"));
        QCOMPARE(TRagQuery::positionFilter(" "), QString());
        QCOMPARE(TRagQuery::positionFilter("1,2"), QStringLiteral(" AND REGS.ITNOID IN (1,2)"));
        // An unknown query is the catalogue's own error.
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, q.open("QRY_NON_ESISTE", {}));
    }
};

QTEST_GUILESS_MAIN(TstDbPayroll)
#include "tst_db_payroll.moc"
