// Year selection of the payroll and compensation rule classes.
#include "rag/calc/ragUCalcoliAnno.h"

#include <QTest>

class TstCalcYears : public QObject
{
    Q_OBJECT
private slots:
    void payrollClassOfEachYear_data()
    {
        QTest::addColumn<int>("year");
        QTest::addColumn<QString>("payroll");
        QTest::addColumn<QString>("compensation");
        QTest::newRow("2000") << 2000 << "TRagCalcolaAnno2004" << "TTorCalcolaAnno";
        QTest::newRow("2006") << 2006 << "TRagCalcolaAnno2005" << "TTorCalcolaAnno";
        QTest::newRow("2009") << 2009 << "TRagCalcolaAnno2009" << "TTorCalcolaAnno";
        QTest::newRow("2012") << 2012 << "TRagCalcolaAnno2010" << "TTorCalcolaAnno";
        QTest::newRow("2016") << 2016 << "TRagCalcolaAnno2015" << "TTorCalcolaAnno";
        QTest::newRow("2022") << 2022 << "TRagCalcolaAnno2022" << "TTorCalcolaAnno";
        QTest::newRow("2023") << 2023 << "TRagCalcolaAnno2023" << "TTorCalcolaAnno2023";
        QTest::newRow("2024") << 2024 << "TRagCalcolaAnno2024" << "TTorCalcolaAnno2024";
        QTest::newRow("2025") << 2025 << "TRagCalcolaAnno2025" << "TTorCalcolaAnno2024";
        QTest::newRow("2030") << 2030 << "TRagCalcolaAnno2025" << "TTorCalcolaAnno2024";
    }
    void payrollClassOfEachYear()
    {
        QFETCH(int, year);
        QFETCH(QString, payroll);
        QFETCH(QString, compensation);
        TRagCalcolaAnno::selezionaAnno(year);
        QCOMPARE(TRagCalcolaAnno::corrente()->className(), payroll);
        QCOMPARE(TRagCalcolaAnno::correnteCompensi()->className(), compensation);
        QCOMPARE(TRagCalcolaAnno::classeAnno(year), payroll);
        QCOMPARE(TRagCalcolaAnno::classeCompensiAnno(year), compensation);
    }

    void laterYearsInheritEarlierRules()
    {
        TRagCalcolaAnno::selezionaAnno(2025);
        QVERIFY(dynamic_cast<TRagCalcolaAnno2007 *>(TRagCalcolaAnno::corrente()));
        QVERIFY(dynamic_cast<TRagCalcolaAnno2024 *>(TRagCalcolaAnno::corrente()));
        QVERIFY(dynamic_cast<TTorCalcolaAnno2023 *>(TRagCalcolaAnno::correnteCompensi()));
        QCOMPARE(TRagCalcolaAnno::corrente()->primoAnno(), 2025);
        // A new selection replaces both objects.
        TRagCalcolaAnno::selezionaAnno(2012);
        QVERIFY(!dynamic_cast<TRagCalcolaAnno2014 *>(TRagCalcolaAnno::corrente()));
        TRagCalcolaAnno::rilascia();
        QVERIFY(!TRagCalcolaAnno::corrente());
        QVERIFY(!TRagCalcolaAnno::correnteCompensi());
    }
};

QTEST_GUILESS_MAIN(TstCalcYears)
#include "tst_calc_years.moc"
