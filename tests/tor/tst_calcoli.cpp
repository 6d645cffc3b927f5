#include "tor/calc/TorUCalcoli.h"
#include "tor/util/TorImporti.h"

#include <QTest>

namespace {
Currency c(const char *text) { return *Currency::parse(QString::fromLatin1(text)); }
}

class TestCalcoli : public QObject
{
    Q_OBJECT
private slots:
    void roundHalvesAwayFromZero_data()
    {
        QTest::addColumn<QString>("amount");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("expected");
        QTest::newRow("30.005") << "30.005" << 2 << "30.0100";
        QTest::newRow("-30.005") << "-30.005" << 2 << "-30.0100";
        QTest::newRow("30.004") << "30.004" << 2 << "30.0000";
        QTest::newRow("30.015 even goes up anyway") << "30.015" << 2 << "30.0200";
        QTest::newRow("30.0051 above half") << "30.0051" << 2 << "30.0100";
        QTest::newRow("30.0049 below half") << "30.0049" << 2 << "30.0000";
        QTest::newRow("0.5 to units") << "0.5" << 0 << "1.0000";
        QTest::newRow("-0.5 to units") << "-0.5" << 0 << "-1.0000";
        QTest::newRow("2.5 to units (even below)") << "2.5" << 0 << "3.0000";
        QTest::newRow("-2.4999 to units") << "-2.4999" << 0 << "-2.0000";
        QTest::newRow("1.45 to units: only the next digit counts") << "1.45" << 0 << "1.0000";
        QTest::newRow("already rounded") << "1200.50" << 2 << "1200.5000";
        QTest::newRow("zero") << "0" << 2 << "0.0000";
        QTest::newRow("four decimals unchanged") << "1.2345" << 4 << "1.2345";
    }
    void roundHalvesAwayFromZero()
    {
        QFETCH(QString, amount);
        QFETCH(int, decimals);
        QFETCH(QString, expected);
        QCOMPARE(TTorCalcola::round(*Currency::parse(amount), decimals).toString(), expected);
    }

    // The payroll rule and plain half-away-from-zero agree on every value.
    void roundAgreesWithHalfAwayEverywhere()
    {
        for (int decimals : {0, 1, 2, 3}) {
            qint64 step = 1;
            for (int i = decimals; i < 4; ++i)
                step *= 10;
            for (qint64 u = -30000; u <= 30000; u += 7) {
                const qint64 a = u < 0 ? -u : u;
                qint64 q = a / step;
                if ((a % step) * 2 >= step)
                    ++q;
                const qint64 want = (u < 0 ? -q : q) * step;
                QCOMPARE(TTorCalcola::round(Currency::fromUnits(u), decimals).units(), want);
            }
        }
    }

    // Amounts as text: one rule for the print, the editors and the checks.
    void amountTextRoundsAsTheCalculations_data()
    {
        QTest::addColumn<QString>("amount");
        QTest::addColumn<int>("decimals");
        QTest::addColumn<bool>("grouped");
        QTest::addColumn<QString>("expected");
        QTest::newRow("grouped") << "1234567.5" << 2 << true << "1.234.567,50";
        QTest::newRow("plain") << "1234567.5" << 2 << false << "1234567,50";
        QTest::newRow("half a cent up") << "0.005" << 2 << true << "0,01";
        QTest::newRow("half a cent of a negative") << "-0.005" << 2 << true << "-0,01";
        // the amount's own digits decide, not a double's: 99999.015 as a
        // double is a hair below the half
        QTest::newRow("no binary detour") << "99999.015" << 2 << true << "99.999,02";
        QTest::newRow("below the half") << "1.0049" << 2 << true << "1,00";
        QTest::newRow("negative to zero has no sign") << "-0.0049" << 2 << true << "0,00";
        QTest::newRow("zero") << "0" << 2 << true << "0,00";
        QTest::newRow("units") << "1200.5" << 0 << true << "1.201";
        QTest::newRow("negative units") << "-2.5" << 0 << true << "-3";
        QTest::newRow("three decimals") << "0.1255" << 3 << true << "0,126";
        QTest::newRow("four decimals") << "-1000.1234" << 4 << false << "-1000,1234";
        QTest::newRow("thousand exactly") << "1000" << 2 << true << "1.000,00";
        QTest::newRow("below a thousand") << "999.999" << 2 << true << "1.000,00";
    }
    void amountTextRoundsAsTheCalculations()
    {
        QFETCH(QString, amount);
        QFETCH(int, decimals);
        QFETCH(bool, grouped);
        QFETCH(QString, expected);
        QCOMPARE(TorImporti::testo(*Currency::parse(amount), decimals,
                                   grouped ? TorImporti::Migliaia::Punto : TorImporti::Migliaia::Nessuno),
                 expected);
    }

    void roundRejectsImpossibleDecimals()
    {
        QVERIFY_THROWS_EXCEPTION(EAssertionFailed, TTorCalcola::round(c("1"), 5));
    }

    void percentage()
    {
        // 9.19% of 1000.00 = 91.90
        QCOMPARE(TTorCalcola::percentage(c("1000"), c("9.19"), 2), c("91.90"));
        // 8.8% of 1234.57 = 108.64216 -> 108.64
        QCOMPARE(TTorCalcola::percentage(c("1234.57"), c("8.8"), 2), c("108.64"));
        // exact half after the product: 50% of 0.01 = 0.005 -> 0.01, and negative
        QCOMPARE(TTorCalcola::percentage(c("0.01"), c("50"), 2), c("0.01"));
        QCOMPARE(TTorCalcola::percentage(c("-0.01"), c("50"), 2), c("-0.01"));
        // rounded once from the exact product: 33.3333% of 0.015 is 0.0049999950,
        // which a detour through four decimals (0.0050) would turn into 0.01
        QCOMPARE(TTorCalcola::percentage(c("0.015"), c("33.3333"), 2), c("0"));
        QCOMPARE(TTorCalcola::percentage(c("0.0134"), c("33.3333"), 4), c("0.0045"));
        // 100% leaves the amount as it is, even with more decimals than asked
        QCOMPARE(TTorCalcola::percentage(c("12.3456"), c("100"), 0), c("12.3456"));
        QCOMPARE(TTorCalcola::percentage(c("200"), 23.8, 0), c("48"));
        QCOMPARE(TTorCalcola::percentage(c("1000"), c("0"), 2), c("0"));
    }

    void positiveDifferenceAndPositions()
    {
        QCOMPARE(TTorCalcola::positiveDifference(c("10.50"), c("3.25")), c("7.25"));
        QCOMPARE(TTorCalcola::positiveDifference(c("3.25"), c("10.50")), Currency());
        QCOMPARE(TTorCalcola::positiveDifference(c("-1"), c("-3")), c("2"));
        QCOMPARE(TTorCalcola::positiveDifference(c("5"), c("5")), Currency());
        for (int p = 0; p < 30; ++p)
            QCOMPARE(TTorCalcola::isSelfEmployedPosition(p), p == 10 || p == 14 || p == 15);
    }
};

QTEST_APPLESS_MAIN(TestCalcoli)
#include "tst_calcoli.moc"
