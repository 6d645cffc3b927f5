// The two readers of a payee's yearly fiscal figures, over the demo school
// on both engines: the year-end adjustment reader and the reader that sums
// the monthly lines, with and without the deductions option, and the NoiPA
// rule. Expected figures are the demo's monthly amounts times the months.
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "src/prj/unit/import/VelCudReader.h"
#include "tor/query/torCQueryText.h"

#include <QTest>

namespace {

Currency money(const char *text)
{
    return *Currency::parse(QString::fromLatin1(text));
}

}

class TstDbCudReaders : public QObject
{
    Q_OBJECT
    std::unique_ptr<TOvSQLConnection> db;

    TVelCudImportState state(int iacomid, const QString &fiscal = QStringLiteral("1"), int last = 12)
    {
        TVelCudImportState s;
        s.IACOMID = iacomid;
        s.MESE_FINALE = last;
        s.IANFID = 56;
        s.fiscalList = fiscal;
        s.connection = db.get();
        s.queries = &QueryText();
        return s;
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QueryText().loadFromXml(QStringLiteral(VELCU_SOURCE_DIR "/tools/velcu-catalogue/rag_QueryText.xml"));
        db = TestDb::open(true);
    }
    void cleanupTestCase() { db.reset(); }

    void adjustmentReader()
    {
        // Rossi Mario: adjustment made in December.
        TVelCudImportState s = state(101);
        TCudCong r;
        r.inizializza(s);
        QVERIFY(r.trovato());
        QCOMPARE(r.impostaLorda(), money("6708.40"));
        QCOMPARE(r.ritenuteOperate(), Currency());
        QCOMPARE(r.arretrati(), Currency());
        QCOMPARE(r.imponibile(), money("27360"));
        QCOMPARE(r.giorni(), 365);
        QCOMPARE(r.impostaNetta(), money("3958.40"));
        QCOMPARE(r.detrazioni().impostaNettaCalcolata, money("3958.40"));
        // The whole surcharge due goes to the balance: nothing "withheld".
        QCOMPARE(r.addComTrattenuta(), Currency());
        QCOMPARE(r.addComDovuta(), money("218.88"));
        QCOMPARE(r.addRegDovuta(), money("452.04"));
        QCOMPARE(r.valoreCampo("FCONGIMPONIBILE_P"), Currency());   // no other employer
        QCOMPARE(r.valoreCampo("fcongimplavagg"), money("100"));
        QCOMPARE(r.valoreCampo("FCONGNONESISTE"), Currency());
        r.calcolaDetrazioni();
        QCOMPARE(r.detrazioni().detrFamiliari, money("690"));
        QCOMPARE(r.detrazioni().detrLavoro, money("1960"));
        QCOMPARE(r.detrazioni().detrAggiuntiva, money("100"));
        QCOMPARE(r.detrazioni().detrTotale, money("2750"));
        QCOMPARE(r.bonus(), Currency());
        // Pay items still come from the registers: 12 x 2500.
        QCOMPARE(r.totaleVoce(10001), money("30000"));
        QCOMPARE(r.totaleVoce(10001, 1, 3), money("7500"));

        // Caruso Martina: large family, rent and the integrative treatment.
        TVelCudImportState c = state(125);
        TCudCong rc;
        rc.inizializza(c);
        rc.numeriFamiliari();
        QCOMPARE(rc.detrazioni().detrFamNum, money("1200"));
        QCOMPARE(rc.detrazioni().detrCanLoc, money("300"));
        QCOMPARE(rc.detrazioni().credFamNum, Currency());
        QCOMPARE(rc.bonus(), money("1200"));
    }

    void missingAdjustmentGivesZeros()
    {
        // The adjustment of Rossi Mario is made in December: at November
        // there is none, and every figure is 0.
        TVelCudImportState s = state(101, QStringLiteral("1"), 11);
        TCudCong r;
        r.inizializza(s);
        QVERIFY(!r.trovato());
        QCOMPARE(r.impostaLorda(), Currency());
        QCOMPARE(r.imponibile(), Currency());
        QCOMPARE(r.giorni(), 0);
        QCOMPARE(r.impostaNetta(), Currency());
        r.calcolaDetrazioni();
        r.numeriFamiliari();
        QCOMPARE(r.detrazioni().detrTotale, Currency());
        QCOMPARE(r.bonus(), Currency());
    }

    void standardReaderWithAndWithoutDeductions()
    {
        // Bianchi Laura, no adjustment: 12 x (taxable 1997.82, gross tax
        // 415.35, net tax 265.35, surcharges 10 and 25, deductions 150 + 40).
        TVelCudImportState s = state(102);
        TCudStd with;
        with.setAncheSenzaConguaglio(true);
        with.inizializza(s);
        QCOMPARE(with.impostaLorda(), money("4984.20"));
        QCOMPARE(with.imponibile(), money("23973.84"));
        QCOMPARE(with.impostaNetta(), money("3184.20"));
        QCOMPARE(with.detrazioni().impostaNettaCalcolata, money("3184.20"));
        QCOMPARE(with.giorni(), 365);
        QCOMPARE(with.addComDovuta(), money("120"));
        QCOMPARE(with.addRegDovuta(), money("300"));
        QCOMPARE(with.addComTrattenuta(), Currency());
        QCOMPARE(with.valoreCampo("FCONGRITLORDA"), Currency());
        with.calcolaDetrazioni();
        QCOMPARE(with.detrazioni().detrFamiliari, money("480"));
        QCOMPARE(with.detrazioni().detrLavoro, money("1800"));
        QCOMPARE(with.detrazioni().detrTotale, money("2280"));
        // The additional deduction is kept apart and counts in the total.
        QVERIFY(db->exec(QStringLiteral("UPDATE tadetr_detrazioniregs SET fadetimplavagg = 10 WHERE iregsid IN "
                                        "(SELECT iregsid FROM tregs_registri WHERE iacomid = 102)"))
                    .numRowsAffected()
                > 0);
        with.calcolaDetrazioni();
        QCOMPARE(with.detrazioni().detrAggiuntiva, money("120"));
        QCOMPARE(with.detrazioni().detrTotale, money("2400"));
        db->exec(QStringLiteral("UPDATE tadetr_detrazioniregs SET fadetimplavagg = 0 WHERE iregsid IN "
                                "(SELECT iregsid FROM tregs_registri WHERE iacomid = 102)"));
        with.numeriFamiliari();
        QCOMPARE(with.detrazioni().detrFamNum, Currency());
        QVERIFY(!s.LCUDCPOSCNACFC);

        // Without the option: gross tax, deductions and the recorded net tax
        // are 0, taxable income and net tax are still there.
        TVelCudImportState s2 = state(102);
        TCudStd without;
        without.inizializza(s2);
        QCOMPARE(without.impostaLorda(), Currency());
        QCOMPARE(without.imponibile(), money("23973.84"));
        QCOMPARE(without.impostaNetta(), money("3184.20"));
        QCOMPARE(without.detrazioni().impostaNettaCalcolata, Currency());
        without.calcolaDetrazioni();
        QCOMPARE(without.detrazioni().detrTotale, Currency());
        QCOMPARE(without.detrazioni().detrLavoro, Currency());
    }

    void standardReaderOtherFigures()
    {
        // Arrears under separate taxation.
        TVelCudImportState a = state(127);
        TCudStd ra;
        ra.inizializza(a);
        QCOMPARE(ra.arretrati(), money("1500"));
        QCOMPARE(ra.ritenuteOperate(), money("345"));
        // Municipal surcharge: 9 instalments of 11.11 withheld, 12 x 9.50 due.
        TVelCudImportState m = state(123);
        TCudStd rm;
        rm.inizializza(m);
        QCOMPARE(rm.addComTrattenuta(), money("99.99"));
        QCOMPARE(rm.addComDovuta(), money("114"));
        // Integrative treatment: 12 x 100 plus 60 of arrears.
        TVelCudImportState b = state(126);
        TCudStd rb;
        rb.inizializza(b);
        QCOMPARE(rb.bonus(), money("1260"));
        // Days: fixed-term teacher with 5 days of absence.
        TVelCudImportState f = state(104, QStringLiteral("3"));
        TCudStd rf;
        rf.inizializza(f);
        QCOMPARE(rf.giorni(), 270);
        // Collaborator: the relationship's days, no payroll days.
        TVelCudImportState c = state(106, QString());
        c.collabList = QStringLiteral("11");
        c.IACOMDURATARAPP = 180;
        TCudStd rc;
        rc.inizializza(c);
        QCOMPARE(rc.giorni(), 180);
        QCOMPARE(rc.imponibile(), money("5299.98"));   // 6 x 883.33
        // Two positions, only the full-time one chosen for the fiscal data.
        TVelCudImportState p = state(105, QStringLiteral("1"));
        TCudStd rp;
        rp.inizializza(p);
        QCOMPARE(rp.impostaNetta(), money("780"));
        QCOMPARE(rp.giorni(), 184);
    }

    void noipaPayments()
    {
        // Only NoiPA (Conti Roberto, 2 x 600, IRPEF 2 x 138): nothing
        // without the option.
        {
            TVelCudImportState s = state(112);
            TCudStd r;
            r.setAncheSenzaConguaglio(true);
            r.inizializza(s);
            QCOMPARE(r.imponibile(), Currency());
            QCOMPARE(r.impostaNetta(), Currency());
            QCOMPARE(r.impostaLorda(), Currency());
            QVERIFY(!s.LCUDCPOSCNACFC);
        }
        // ... and everything with it, the CU marked.
        {
            TVelCudImportState s = state(112);
            s.FISCALE_NOIPA = true;
            TCudStd r;
            r.setAncheSenzaConguaglio(true);
            r.inizializza(s);
            QCOMPARE(r.imponibile(), money("1200"));
            QCOMPARE(r.impostaNetta(), money("276"));
            QCOMPARE(r.impostaLorda(), money("276"));
            QVERIFY(s.LCUDCPOSCNACFC);
        }
        // Mixed (De Luca Giulia, 400 local, 300 NoiPA): without the option
        // the local payment alone; with it the employee cannot be certified.
        {
            TVelCudImportState s = state(113);
            TCudStd r;
            r.inizializza(s);
            QCOMPARE(r.imponibile(), money("400"));
            QCOMPARE(r.impostaNetta(), money("92"));
        }
        {
            TVelCudImportState s = state(113);
            s.FISCALE_NOIPA = true;
            TCudStd r;
            r.inizializza(s);
            try {
                r.imponibile();
                QFAIL("mixed payments accepted");
            } catch (const EOvWarning &e) {
                QCOMPARE(e.message(),
                         QStringLiteral("Impossibile crea la Certificazione: Esistono liquidazioni non inviate a NoiPa."));
            }
        }
        // The mix is per employee, across totals: a total holding only the
        // NoiPA payment after one holding only the local one stops too.
        {
            TVelCudImportState s = state(113, QString(), 4);
            s.FISCALE_NOIPA = true;
            TCudStd r;
            r.inizializza(s);
            QCOMPARE(r.impostaNetta(), money("92"));   // April: local only
            s.MESE_FINALE = 12;
            QVERIFY_THROWS_EXCEPTION(EOvWarning, r.imponibile());
        }
    }

    void readerBeforeInitialisationIsAProgrammingError()
    {
        TCudStd r;
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, r.imponibile());
    }
};

QTEST_GUILESS_MAIN(TstDbCudReaders)
#include "tst_db_cud_readers.moc"
