// The "Bonus Irpef" dialog of the payroll rules: OK takes a whole number of
// payments, 1 or more; anything else is "Valore errato" and the dialog stays.
#include "support/ScriptedResponder.h"

#include "rag/ui/calc/TfmRagDaPagare66.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

class TstDaPagare66 : public QObject
{
    Q_OBJECT
private slots:
    void acceptsOnlyOneOrMore()
    {
        TfmRagDaPagare66 dlg;
        dlg.lbDipendente->setText(QStringLiteral("ROSSI MARIO"));
        dlg.show();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Bonus Irpef"));
        QCOMPARE(dlg.lbLiquidazioni->text(), QStringLiteral("Liquidazioni su cui suddividere il bonus/detrazione"));
        QVERIFY(dlg.grab().save(QStringLiteral("/tmp/velcu-dapagare66.png")));

        ScriptedResponder user;
        for (const char *bad : {"0", "-2", "", "tre", "1.5"}) {
            dlg.edLiquidazioni->setText(QString::fromLatin1(bad));
            dlg.buOk->click();
            QVERIFY2(dlg.isVisible(), bad);
            QCOMPARE(user.lastText(), QStringLiteral("Valore errato"));
        }
        QCOMPARE(user.shown().size(), 5);
        dlg.edLiquidazioni->setText(QStringLiteral(" 3 "));
        dlg.buOk->click();
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.liquidazioni(), 3);
        QCOMPARE(user.shown().size(), 5);
    }

    void cancelKeepsTheNumberGiven()
    {
        TfmRagDaPagare66 dlg;
        dlg.edLiquidazioni->setText(QStringLiteral("0"));
        dlg.show();
        ScriptedResponder user;
        dlg.reject();
        QVERIFY(!dlg.isVisible());
        QVERIFY(user.shown().isEmpty());
        QCOMPARE(dlg.liquidazioni(), 1);
    }
};

QTEST_MAIN(TstDaPagare66)
#include "tst_dapagare66.moc"
