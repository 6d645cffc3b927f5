// A text longer than its box is never cut: a surname of the payroll longer
// than the CU's box stops that payee's import, and a stored value too long
// for its field (a province of birth "RAV", which cut would read as Ravenna's
// "RA") is refused by the supply and the print that read it, naming payee,
// box and value; a replacing import mends it.
#include "support/ImportFixture.h"

#include "src/prj/unit/model/VelTextFit.h"
#include "src/prj/unit/print/TdmVelMain.h"
#include "src/prj/unit/print/TdmVelStampePDF.h"
#include "src/prj/unit/print/VelCuPrint.h"
#include "src/prj/unit/telematic/TdmVelFile.h"
#include "src/prj/unit/dialogs/VelBoxRunHost.h"

#include <QSqlError>

namespace {

const QString kRossi = QStringLiteral("RSSMRA75C12H199Y");

// The message of `f`'s error, or "no error".
template <class F>
QString errorOf(F f)
{
    try {
        f();
    } catch (const std::exception &e) {
        return exceptionText(e);
    }
    return QStringLiteral("no error");
}

} // namespace

class TstDbLongTexts : public ImportTestBase
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

    void aSurnameLongerThanItsBoxStopsThePayee()
    {
        fresh();
        const QString surname = QStringLiteral("ROSSI DI SANTA MARIA DELLE GRAZIE AL TEMPIO DI CAPUA VE"); // 55
        QCOMPARE(surname.size(), 55);
        QSqlQuery q(db->database());
        QVERIFY(q.prepare(QStringLiteral("UPDATE tana_anagrafiche SET sanacognome = :c WHERE sanacodfiscale = :cf")));
        q.bindValue(QStringLiteral(":c"), surname);
        q.bindValue(QStringLiteral(":cf"), kRossi);
        QVERIFY2(q.exec() && q.numRowsAffected() == 1, qPrintable(q.lastError().text()));
        q.finish();
        ScriptedResponder ui;
        auto imp = importer();
        imp->hooks().onInfo = [](const QStringList &) {};
        const TVelRunOutcome o = imp->importa({ROSSI, BIANCHI});
        QCOMPARE(o.payees.size(), 2);
        QCOMPARE(o.payees.at(0).result, TVelResult::Errore);
        QCOMPARE(o.payees.at(0).stage, TVelStage::Costruzione);
        QCOMPARE(o.payees.at(0).reason,
                 QStringLiteral("Percipiente %1: il valore \"%2\" (55 caratteri) non entra nel punto 2 \"Cognome\", che "
                                "ne contiene 50. Correggere il dato di origine e ripetere l'importazione.")
                     .arg(kRossi, surname));
        QVERIFY(cu(kRossi).isEmpty());
        QCOMPARE(o.payees.at(1).result, TVelResult::Fatto);
    }

    void aStoredTextTooLongIsRefusedWhenRead()
    {
        fresh();
        {
            ScriptedResponder ui;
            auto imp = importer();
            imp->hooks().onInfo = [](const QStringList &) {};
            QCOMPARE(TVelImportCud::esito(imp->importa({ROSSI, BIANCHI})).importati, 2);
        }
        QCOMPARE(str(cu(kRossi), "SCUDPROVNAS"), QStringLiteral("RA"));
        QSqlQuery q(db->database());
        QVERIFY(q.exec(QStringLiteral("UPDATE tfis_datifiscali SET sfisvalue = 'RAV' WHERE lower(sfisfieldname) = "
                                      "'scudprovnas' AND iafiid IN (SELECT iafiid FROM tafi_anafiscale WHERE "
                                      "upper(saficodfiscale) = 'RSSMRA75C12H199Y')")));
        QCOMPARE(q.numRowsAffected(), 1);
        q.finish();

        // the store names person and field...
        try {
            TClientDataSet ds;
            store->Load(ds, QStringLiteral("TCUD_DATICUD"));
            QFAIL("loaded");
        } catch (const ETorTextTooLong &e) {
            QCOMPARE(e.codFis, kRossi);
            QCOMPARE(e.field.toUpper(), QStringLiteral("SCUDPROVNAS"));
            QCOMPARE(e.value, QStringLiteral("RAV"));
            QCOMPARE(e.size, 2);
        }
        // ...the supply and the print say payee, box and value
        const QString said = QStringLiteral("Percipiente ROSSI MARIO (%1): il valore \"RAV\" (3 caratteri) del punto 7 "
                                            "\"Prov. nasc. (sigla)\" in archivio non entra nel campo, che ne contiene "
                                            "2; non viene troncato. Correggere il dato di origine e ripetere "
                                            "l'importazione del percipiente.")
                                 .arg(kRossi);
        {
            TdmVelFile dm(*store, QueryText());
            dm.setRunHost(TVelBoxRunHost::instance());
            QCOMPARE(errorOf([&] { (void)dm.open(); }), said);
        }
        {
            TdmVelStampePDF stampe;
            TdmVelMain main;
            TVelCuPrint run(*store, stampe, main);
            QCOMPARE(errorOf([&] { run.open(); }), said);
        }

        // the import reads it (cut, never written back) and its replacement mends it
        {
            ScriptedResponder ui;
            auto imp = importer();
            imp->hooks().onInfo = [](const QStringList &) {};
            imp->setSovraScrivi(TVelSovraScrivi::SovrascriviSempre);
            const TVelRunOutcome o = imp->importa({ROSSI});
            QVERIFY2(o.riuscito(), qPrintable(o.problemLines().join(QLatin1Char('\n'))));
        }
        QCOMPARE(str(cu(kRossi), "SCUDPROVNAS"), QStringLiteral("RA"));
    }
};

QTEST_MAIN(TstDbLongTexts)
#include "tst_db_long_texts.moc"
