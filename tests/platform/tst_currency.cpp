#include "platform/core/Currency.h"
#include "platform/core/OvExceptions.h"

#include <QVariant>
#include <QtTest>

namespace {
Currency C(const char *text)
{
    const auto c = Currency::parse(QString::fromLatin1(text));
    if (!c)
        qFatal("bad amount in test: %s", text);
    return *c;
}
} // namespace

class TstCurrency : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void parseRejects_data();
    void parseRejects();
    void canonicalText();
    void fromDoubleRoundsHalvesAwayFromZero();
    void arithmeticIsExactAndGuardsOverflow();
    void travelsInQVariant();
};

void TstCurrency::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qint64>("units");
    QTest::newRow("four decimals") << "1234.5678" << qint64(12345678);
    QTest::newRow("negative half") << "-0.5" << qint64(-5000);
    QTest::newRow("whole") << "12" << qint64(120000);
    QTest::newRow("comma") << "1234,56" << qint64(12345600);
    QTest::newRow("spaces") << "  7.01 \t" << qint64(70100);
    QTest::newRow("plus") << "+3" << qint64(30000);
    QTest::newRow("no whole part") << ".25" << qint64(2500);
    QTest::newRow("trailing separator") << "5." << qint64(50000);
    QTest::newRow("negative zero") << "-0" << qint64(0);
    QTest::newRow("tiny") << "0.0001" << qint64(1);
    QTest::newRow("leading zeros") << "007.5" << qint64(75000);
    // The largest amount that fits: 922337203685477.5807.
    QTest::newRow("max") << "922337203685477.5807" << std::numeric_limits<qint64>::max();
    QTest::newRow("min+1") << "-922337203685477.5807" << -std::numeric_limits<qint64>::max();
}

void TstCurrency::parse()
{
    QFETCH(QString, text);
    QFETCH(qint64, units);
    const auto c = Currency::parse(text);
    QVERIFY2(c.has_value(), qPrintable(text));
    QCOMPARE(c->units(), units);
}

void TstCurrency::parseRejects_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("blank") << "   ";
    QTest::newRow("sign only") << "-";
    QTest::newRow("separator only") << ".";
    QTest::newRow("five decimals") << "1.23456";
    QTest::newRow("five decimals zeros") << "1.00000";
    QTest::newRow("letters") << "12a";
    QTest::newRow("two separators") << "1.234,56";
    QTest::newRow("inner space") << "1 234";
    QTest::newRow("double sign") << "--1";
    QTest::newRow("exponent") << "1e5";
    QTest::newRow("just over max") << "922337203685477.5808";
    QTest::newRow("absurd") << "99999999999999999999999999";
    QTest::newRow("arabic digits") << QString::fromUtf8("\u0661\u0662");
}

void TstCurrency::parseRejects()
{
    QFETCH(QString, text);
    QVERIFY(!Currency::parse(text).has_value());
}

void TstCurrency::canonicalText()
{
    QCOMPARE(Currency::fromUnits(12345678).toString(), QStringLiteral("1234.5678"));
    QCOMPARE(Currency::fromUnits(-5000).toString(), QStringLiteral("-0.5000"));
    QCOMPARE(Currency::fromUnits(-1).toString(), QStringLiteral("-0.0001"));
    QCOMPARE(Currency().toString(), QStringLiteral("0.0000"));
    QCOMPARE(Currency::fromUnits(std::numeric_limits<qint64>::min()).toString(),
             QStringLiteral("-922337203685477.5808"));
    // Text and parse are inverse.
    for (qint64 u : {qint64(0), qint64(1), qint64(-99999), qint64(120050000), std::numeric_limits<qint64>::max()})
        QCOMPARE(Currency::parse(Currency::fromUnits(u).toString())->units(), u);
}

void TstCurrency::fromDoubleRoundsHalvesAwayFromZero()
{
    QCOMPARE(Currency::fromDouble(1.00005).units(), qint64(10001)); // binary value is just below the half
    QCOMPARE(Currency::fromDouble(-1.00005).units(), qint64(-10001));
    QCOMPARE(Currency::fromDouble(0.00004).units(), qint64(0));
    QCOMPARE(Currency::fromDouble(0.1 + 0.2).units(), qint64(3000));
    QCOMPARE(Currency::fromDouble(1234.5678).units(), qint64(12345678));
    QCOMPARE(Currency::fromDouble(-2.5).units(), qint64(-25000));
    QCOMPARE(Currency::fromDouble(1e-9).units(), qint64(0));
    QCOMPARE(Currency::fromDouble(123456789012.34).units(), qint64(1234567890123400));
    QVERIFY_THROWS_EXCEPTION(EOvError, Currency::fromDouble(std::nan("")));
    QVERIFY_THROWS_EXCEPTION(EOvError, Currency::fromDouble(1e300));
    QCOMPARE(Currency::fromInt(-7).units(), qint64(-70000));
    QVERIFY_THROWS_EXCEPTION(EOvError, Currency::fromInt(std::numeric_limits<qint64>::max() / 100));
}

void TstCurrency::arithmeticIsExactAndGuardsOverflow()
{
    // Ten cents added ten times is exactly one: the classic double failure.
    Currency sum;
    for (int i = 0; i < 10; ++i)
        sum += C("0.1");
    QCOMPARE(sum, Currency::fromInt(1));
    QCOMPARE(C("5") - C("7.25"), C("-2.25"));
    QCOMPARE(C("1.5") * 3, C("4.5"));
    QCOMPARE(3 * C("1.5"), C("4.5"));
    QCOMPARE((-C("3")).abs(), Currency::fromInt(3));
    QVERIFY(Currency::fromUnits(-1) < Currency());
    QVERIFY(Currency().isZero());
    const auto big = Currency::fromUnits(std::numeric_limits<qint64>::max());
    QVERIFY_THROWS_EXCEPTION(EOvError, big + Currency::fromUnits(1));
    QVERIFY_THROWS_EXCEPTION(EOvError, (-big) - Currency::fromUnits(2));
    QVERIFY_THROWS_EXCEPTION(EOvError, big * 2);
    QVERIFY_THROWS_EXCEPTION(EOvError, -Currency::fromUnits(std::numeric_limits<qint64>::min()));
}

void TstCurrency::travelsInQVariant()
{
    const QVariant v = QVariant::fromValue(Currency::fromUnits(42));
    QVERIFY(v.canConvert<Currency>());
    QCOMPARE(v.value<Currency>().units(), qint64(42));
    QCOMPARE(v, QVariant::fromValue(Currency::fromUnits(42)));
}

QTEST_GUILESS_MAIN(TstCurrency)
#include "tst_currency.moc"
