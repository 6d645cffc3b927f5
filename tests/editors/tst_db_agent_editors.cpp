// The agents' editors on a real store: the withholding agent, the other
// agents with the rename that moves the CUs and the delete they refuse, the
// Quadro CT with the agent's "Quadro CT" box, the supplier with its
// mandatory-field question and its close refusal; the one-row toolbars,
// capitals and the tax-code mark. With VELCU_SCREENSHOT_DIR set it also saves
// a picture of each editor.
#include "support/ModalWatch.h"
#include "support/ScriptedResponder.h"
#include "support/TestDb.h"

#include "platform/core/OvExceptions.h"
#include "platform/dataset/TClientDataSet.h"
#include "src/prj/unit/editors/TfmVelCud.h"
#include "src/prj/unit/editors/TfmVelSostituti.h"
#include "src/prj/unit/editors/TfrVelCud.h"
#include "src/prj/unit/editors/TfrVelSostituti.h"
#include "src/prj/unit/editors/VelAskToProceed.h"
#include "src/prj/unit/model/VelCodFis.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "tor/frames/TDataSource.h"
#include "tor/ui/frames/TorDbControls.h"
#include "tor/ui/search/TfmTorRicerca.h"
#include "tor/store/torUDBCds.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMap>
#include <QSqlQuery>
#include <QLabel>
#include <QTabWidget>
#include <QTest>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

#include <memory>

namespace {

struct QuietWait : ITorWaitIndicator
{
    void begin() override {}
    void end() override {}
};

void shot(QWidget *w, const QString &name)
{
    const QString dir = qEnvironmentVariable("VELCU_SCREENSHOT_DIR");
    if (dir.isEmpty())
        return;
    QApplication::processEvents();
    w->grab().save(QDir(dir).filePath(name));
}

void set(TClientDataSet &ds, const char *field, const QString &v)
{
    ds.fieldByName(QLatin1String(field)).setAsString(v);
}

QString get(TClientDataSet &ds, const char *field)
{
    return ds.fieldByName(QLatin1String(field)).asString();
}

// Types into a bound box as the user does.
void type(QWidget *w, const QString &text)
{
    auto *e = qobject_cast<QLineEdit *>(w);
    if (!e)
        if (auto *lk = qobject_cast<TTorDbLookup *>(w))
            e = lk->edit();
    QVERIFY(e);
    e->setFocus();
    e->selectAll();
    if (text.isEmpty())
        QTest::keyClick(e, Qt::Key_Delete);
    else
        QTest::keyClicks(e, text);
}

struct Fixture
{
    std::unique_ptr<TOvSQLConnection> db;
    TTorDBCds store;

    Fixture()
    {
        db = TestDb::open();
        seedStructures(*db);
        store.setConnection(db.get());
        store.setProgram(QStringLiteral("vel"));
        store.setYear(2025);
        store.setMonth(TTorDBCds::AllMonths);
    }

    void add(const QString &structure, const std::function<void(TClientDataSet &)> &fill, int month = TTorDBCds::Default)
    {
        TClientDataSet ds;
        store.Load(ds, structure, TTorDBCds::AllMonths);
        ds.append();
        fill(ds);
        ds.post();
        store.Save(ds, structure, month);
    }

    void cu(const QString &codfis, const QString &mese, const QString &altro)
    {
        add(QStringLiteral("TCUD_DATICUD"), [&](TClientDataSet &ds) {
            set(ds, "SCUDCODFIS", codfis);
            set(ds, "SCUDCOGNOME", QStringLiteral("ROSSI"));
            set(ds, "SCUDMESE", mese);
            set(ds, "LCUDCOMPRENSIVO", QStringLiteral("X"));
            if (!altro.isEmpty())
                set(ds, "SCUDALTROSOSCODFIS", altro);
        }, mese.toInt());
    }

    void altroSost(const QString &codfis, const QString &denom)
    {
        add(QStringLiteral("TCUAS_DATIALTRISOST"), [&](TClientDataSet &ds) {
            set(ds, "SSOSCODFIS", codfis);
            set(ds, "SSOSDENOM", denom);
        });
    }

    void agent(const QString &ct = QStringLiteral("0"))
    {
        add(QStringLiteral("TCUS_DATISOST"), [&](TClientDataSet &ds) {
            set(ds, "SSOSCODFIS", QStringLiteral("92017840536"));
            set(ds, "SSOSDENOM", QStringLiteral("ISTITUTO COMPRENSIVO STATALE \"GIUSEPPE MAZZINI\" DI CASTEL SAN PIETRO"));
            set(ds, "LSOSCT", ct);
        });
    }

    // Every row of a structure, read again from the store.
    std::unique_ptr<TClientDataSet> rows(const QString &structure, int month = TTorDBCds::AllMonths)
    {
        auto ds = std::make_unique<TClientDataSet>();
        store.Load(*ds, structure, month);
        return ds;
    }

    // The one store period of a person's values (-1 when spread over several).
    int periodOf(qint64 afi)
    {
        QSqlQuery q(db->database());
        q.prepare(QStringLiteral("SELECT MIN(icrfid), MAX(icrfid) FROM tfis_datifiscali WHERE iafiid = ?"));
        q.addBindValue(afi);
        if (!q.exec() || !q.next())
            return -2;
        return q.value(0).toInt() == q.value(1).toInt() ? q.value(0).toInt() : -1;
    }

    // The store period of each CU's values, "codfis/month" -> period key.
    QMap<QString, int> cuPeriods()
    {
        QMap<QString, int> out;
        auto ds = rows(QStringLiteral("TCUD_DATICUD"));
        for (ds->first(); !ds->eof(); ds->next())
            out.insert(get(*ds, "SCUDCODFIS") + u'/' + get(*ds, "SCUDMESE"), periodOf(ds->fieldByName(QStringLiteral("iAfiID")).asInteger()));
        return out;
    }

    // The CUs' other agents, "codfis/month=agent", sorted.
    QStringList cuAgents()
    {
        QStringList out;
        auto ds = rows(QStringLiteral("TCUD_DATICUD"));
        for (ds->first(); !ds->eof(); ds->next())
            out << get(*ds, "SCUDCODFIS") + u'/' + get(*ds, "SCUDMESE") + u'=' + get(*ds, "SCUDALTROSOSCODFIS");
        out.sort();
        return out;
    }
};

template <class Form>
std::unique_ptr<Form> openForm(Fixture &fx)
{
    std::unique_ptr<Form> fm(ovCreate<Form>());
    fm->setStore(&fx.store);
    fm->show();
    QApplication::processEvents();
    return fm;
}

bool shown(QAction *a)
{
    return a->isVisible();
}

} // namespace

class TstDbAgentEditors : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        setTorWaitIndicator(std::make_shared<QuietWait>());
    }

    void taxCodeCheckCharacters()
    {
        QCOMPARE(VelCodFis::problem(QStringLiteral("RSSMRA80A01H501U")), QString());
        QCOMPARE(VelCodFis::problem(QStringLiteral("rssmra80a01h501u")), QString());
        QCOMPARE(VelCodFis::problem(QStringLiteral("RSSMRA80A01H501A")), QStringLiteral("Carattere di controllo errato"));
        QCOMPARE(VelCodFis::problem(QStringLiteral("00743110157")), QString());
        QCOMPARE(VelCodFis::problem(QStringLiteral("00743110158")), QStringLiteral("Cifra di controllo errata"));
        QCOMPARE(VelCodFis::problem(QStringLiteral("RSSMRA80")), QStringLiteral("Lunghezza errata (11 o 16 caratteri)"));
        QCOMPARE(VelCodFis::problem(QStringLiteral("RSSMRA80A01H50*U")), QStringLiteral("Caratteri non validi"));
        QCOMPARE(VelCodFis::problem(QStringLiteral("  ")), QString());
    }

    void agentIsOneRowThatCannotBeDeleted()
    {
        Fixture fx;
        ScriptedResponder user;
        auto fm = openForm<TfmVelSost>(fx);
        TfrVelSost *fr = fm->frVelSost;
        QCOMPARE(fm->windowTitle(), QStringLiteral("Dati Sostituto"));
        QCOMPARE(fr->lbHeading->text(), QStringLiteral("DATI RELATIVI AL SOSTITUTO"));
        // Empty: no navigation, insert offered, nothing to edit or delete.
        for (QAction *a : {fr->acPrimo, fr->acPrecedente, fr->acSuccessivo, fr->acUltimo})
            QVERIFY(!shown(a));
        QVERIFY(shown(fr->acInserisci) && fr->acInserisci->isEnabled());
        QVERIFY(!fr->acModifica->isEnabled());

        fr->acInserisci->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Insert);
        QCOMPARE(fr->pcMain->currentWidget(), fr->tsDettaglio);
        // The cursor waits in the first field.
        QCOMPARE(fm->focusWidget(), fr->control(QStringLiteral("SSOSCODFIS")));
        // The tax-code note comes and goes without moving the page.
        QApplication::processEvents();
        const auto places = [&] {
            return QList<QPoint>{fr->control(QStringLiteral("SSOSDENOM"))->mapTo(fm.get(), QPoint()),
                                 fr->control(QStringLiteral("SSOSCFRAPPR"))->mapTo(fm.get(), QPoint())};
        };
        const QList<QPoint> before = places();
        type(fr->control(QStringLiteral("SSOSCODFIS")), QStringLiteral("92017840537"));
        QCOMPARE(fr->codFisMark(QStringLiteral("SSOSCODFIS"))->text(), QStringLiteral("Cifra di controllo errata"));
        QApplication::processEvents();
        QCOMPARE(places(), before);
        type(fr->control(QStringLiteral("SSOSCODFIS")), QStringLiteral("92017840536"));
        QCOMPARE(fr->codFisMark(QStringLiteral("SSOSCODFIS"))->text(), QString());
        type(fr->control(QStringLiteral("SSOSDENOM")), QStringLiteral("istituto comprensivo"));
        type(fr->control(QStringLiteral("SCARCODICE")), QStringLiteral("1"));
        qobject_cast<QCheckBox *>(fr->control(QStringLiteral("LSOSCT")))->click();
        fr->acConferma->trigger();
        QCOMPARE(user.texts(), QStringList());
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
        {
            auto back = fx.rows(QStringLiteral("TCUS_DATISOST"));
            QCOMPARE(back->recordCount(), 1);
            QCOMPARE(get(*back, "SSOSDENOM"), QStringLiteral("ISTITUTO COMPRENSIVO"));
            QCOMPARE(get(*back, "LSOSCT"), QStringLiteral("1"));
            QCOMPARE(get(*back, "SCARCODICE"), QStringLiteral("1"));
            // The flags not ticked are stored as "0".
            for (const char *flag : {"LSOSANNULLAMENTO", "LSOSSOSTITUZIONE", "LSOSCASIPARTICOLARI", "LSOSDICHCONTRIB"})
                QCOMPARE(get(*back, flag), QStringLiteral("0"));
        }
        // The row is there: insert hidden and refused, edit on.
        QVERIFY(!shown(fr->acInserisci));
        QVERIFY(fr->acModifica->isEnabled());
        fr->insertRow();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
        QCOMPARE(fr->cdsMain->recordCount(), 1);
        // Delete not offered on the only row, and refused with its message.
        QVERIFY(!fr->acCancella->isEnabled());
        ovGuarded([&] { fr->deleteRow(); });
        QCOMPARE(user.lastText(), QStringLiteral("Presenza di un unico rigo per il sostituto, non è possibile cancellarlo!"));
        QCOMPARE(fr->cdsMain->recordCount(), 1);
        QCOMPARE(fx.rows(QStringLiteral("TCUS_DATISOST"))->recordCount(), 1);
        fm->close();
    }

    // What the supply would refuse is refused when the row is confirmed, each
    // box named; the row stays in editing and the store as it was.
    void valuesTheSupplyRefusesAtConfirm()
    {
        Fixture fx;
        fx.agent();
        ScriptedResponder user;
        auto fm = openForm<TfmVelSost>(fx);
        TfrVelSost *fr = fm->frVelSost;
        fr->acModifica->trigger();
        type(fr->control(QStringLiteral("SSOSCFRAPPR")), QStringLiteral("RSSMRA80A01H501A"));
        type(fr->control(QStringLiteral("SSOSCAP")), QStringLiteral("4812"));
        type(fr->control(QStringLiteral("SSOSPROV")), QStringLiteral("XX"));
        fr->acConferma->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Edit);
        const QString said = user.lastText();
        for (const char *part : {"Codice fiscale: codice fiscale non valido", "Cap: il CAP ha cinque cifre",
                                 "Prov.: \"XX\" non è la sigla di una provincia"})
            QVERIFY2(said.contains(QString::fromUtf8(part)), qPrintable(said));
        QVERIFY(get(*fx.rows(QStringLiteral("TCUS_DATISOST")), "SSOSCFRAPPR").isEmpty());
        type(fr->control(QStringLiteral("SSOSCFRAPPR")), QStringLiteral("RSSMRA80A01H501U"));
        type(fr->control(QStringLiteral("SSOSCAP")), QStringLiteral("48121"));
        type(fr->control(QStringLiteral("SSOSPROV")), QStringLiteral("RA"));
        fr->acConferma->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
        QCOMPARE(get(*fx.rows(QStringLiteral("TCUS_DATISOST")), "SSOSCFRAPPR"), QStringLiteral("RSSMRA80A01H501U"));
    }

    void agentFlagsOtherThanOneShowCleared()
    {
        Fixture fx;
        fx.add(QStringLiteral("TCUS_DATISOST"), [](TClientDataSet &ds) {
            set(ds, "SSOSCODFIS", QStringLiteral("92017840536"));
            set(ds, "LSOSANNULLAMENTO", QStringLiteral("X"));
            set(ds, "LSOSSOSTITUZIONE", QStringLiteral("1"));
        });
        ScriptedResponder user;
        auto fm = openForm<TfmVelSost>(fx);
        TfrVelSost *fr = fm->frVelSost;
        QVERIFY(!qobject_cast<QCheckBox *>(fr->control(QStringLiteral("LSOSANNULLAMENTO")))->isChecked());
        QVERIFY(qobject_cast<QCheckBox *>(fr->control(QStringLiteral("LSOSSOSTITUZIONE")))->isChecked());
        QVERIFY(!qobject_cast<QCheckBox *>(fr->control(QStringLiteral("LSOSCT")))->isChecked());
        // Unticking writes "0".
        qobject_cast<QCheckBox *>(fr->control(QStringLiteral("LSOSSOSTITUZIONE")))->click();
        fr->acConferma->trigger();
        QCOMPARE(get(*fx.rows(QStringLiteral("TCUS_DATISOST")), "LSOSSOSTITUZIONE"), QStringLiteral("0"));
    }

    void renamingAnOtherAgentMovesItsCus()
    {
        Fixture fx;
        fx.altroSost(QStringLiteral("80078750587"), QStringLiteral("INPS GESTIONE DIPENDENTI PUBBLICI"));
        fx.altroSost(QStringLiteral("00743110157"), QStringLiteral("COMUNE DI CASTEL SAN PIETRO TERME"));
        fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("12"), QStringLiteral("80078750587"));
        fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("03"), QStringLiteral("80078750587"));
        fx.cu(QStringLiteral("VRDLGU70B02F205X"), QStringLiteral("12"), QStringLiteral("00743110157"));
        fx.cu(QStringLiteral("BNCNNA75C41H501Y"), QStringLiteral("12"), QString());
        const QMap<QString, int> periods = fx.cuPeriods();
        QCOMPARE(periods.size(), 4);
        ScriptedResponder user;
        auto fm = openForm<TfmVelAltriSost>(fx);
        TfrVelAltriSost *fr = fm->frVelAltriSost;
        QCOMPARE(fr->cdsMain->recordCount(), 2);
        // Navigation stays in the many-row editor.
        QVERIFY(shown(fr->acPrimo) && shown(fr->acInserisci) && shown(fr->acCancella));
        QVERIFY(fr->cdsMain->locate(QStringLiteral("SSOSCODFIS"), QStringLiteral("80078750587")));
        QCOMPARE(fr->rememberedCode(), QStringLiteral("80078750587"));

        // An empty code is refused; the row stays in editing, the store as it was.
        fr->acModifica->trigger();
        type(fr->control(QStringLiteral("SSOSCODFIS")), QString());
        fr->acConferma->trigger();
        QCOMPARE(user.lastText(), QStringLiteral("ATTENZIONE: E' necessario specificare il codice fiscale del sostituto."));
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Edit);

        // The new code: the two CUs of the old one follow it, the others stay.
        type(fr->control(QStringLiteral("SSOSCODFIS")), QStringLiteral("97123450583"));
        fr->acConferma->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
        QCOMPARE(fx.cuAgents(), (QStringList{"BNCNNA75C41H501Y/12=", "RSSMRA80A01H501U/03=97123450583",
                                             "RSSMRA80A01H501U/12=97123450583", "VRDLGU70B02F205X/12=00743110157"}));
        QCOMPARE(fr->rememberedCode(), QStringLiteral("97123450583"));
        {
            QStringList codes;
            auto back = fx.rows(QStringLiteral("TCUAS_DATIALTRISOST"));
            for (back->first(); !back->eof(); back->next())
                codes << get(*back, "SSOSCODFIS");
            codes.sort();
            QCOMPARE(codes, (QStringList{"00743110157", "97123450583"}));
        }
        // The CUs stay in the store period of their own month.
        QCOMPARE(fx.cuPeriods(), periods);

        // A new agent moves nothing, not even the CU without an agent.
        fr->acInserisci->trigger();
        type(fr->control(QStringLiteral("SSOSCODFIS")), QStringLiteral("80003170661"));
        type(fr->control(QStringLiteral("SSOSDENOM")), QStringLiteral("universita degli studi"));
        fr->acConferma->trigger();
        QCOMPARE(fr->cdsMain->recordCount(), 3);
        QCOMPARE(fx.cuAgents().first(), QStringLiteral("BNCNNA75C41H501Y/12="));
        QCOMPARE(user.texts().size(), 1);
    }

    // The rename fails on the second month's CUs: the agent and every CU stay
    // as they were, and the window shows what the store holds.
    void aRenameThatFailsMidwayChangesNothing()
    {
        Fixture fx;
        fx.altroSost(QStringLiteral("80078750587"), QStringLiteral("INPS GESTIONE DIPENDENTI PUBBLICI"));
        fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("12"), QStringLiteral("80078750587"));
        fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("03"), QStringLiteral("80078750587"));
        // The database refuses the new code on a second CU.
        const QString when = QStringLiteral(
            "NEW.sfisfieldname = 'SCUDALTROSOSCODFIS' AND NEW.sfisvalue = '97123450583' AND EXISTS (SELECT 1 FROM "
            "tfis_datifiscali f WHERE f.sfisfieldname = 'SCUDALTROSOSCODFIS' AND f.sfisvalue = '97123450583')");
        if (TestDb::isPostgres()) {
            fx.db->exec(QStringLiteral("CREATE FUNCTION guasto() RETURNS trigger AS $$ BEGIN IF %1 THEN RAISE EXCEPTION "
                                       "'guasto di prova'; END IF; RETURN NEW; END $$ LANGUAGE plpgsql")
                            .arg(when));
            fx.db->exec(QStringLiteral("CREATE TRIGGER guasto BEFORE INSERT ON tfis_datifiscali FOR EACH ROW "
                                       "EXECUTE FUNCTION guasto()"));
        } else {
            fx.db->exec(QStringLiteral("CREATE TRIGGER guasto BEFORE INSERT ON tfis_datifiscali WHEN %1 BEGIN "
                                       "SELECT RAISE(ABORT, 'guasto di prova'); END")
                            .arg(when));
        }
        const QStringList before = fx.cuAgents();
        ScriptedResponder user;
        auto fm = openForm<TfmVelAltriSost>(fx);
        TfrVelAltriSost *fr = fm->frVelAltriSost;
        QVERIFY(fr->cdsMain->locate(QStringLiteral("SSOSCODFIS"), QStringLiteral("80078750587")));
        fr->acModifica->trigger();
        type(fr->control(QStringLiteral("SSOSCODFIS")), QStringLiteral("97123450583"));
        fr->acConferma->trigger();
        QVERIFY2(user.texts().join(QLatin1Char('\n')).contains(QStringLiteral("guasto di prova")),
                 qPrintable(user.texts().join(QLatin1Char('\n'))));
        QCOMPARE(fx.cuAgents(), before);
        auto back = fx.rows(QStringLiteral("TCUAS_DATIALTRISOST"));
        QCOMPARE(back->recordCount(), 1);
        QCOMPARE(get(*back, "SSOSCODFIS"), QStringLiteral("80078750587"));
        QVERIFY(fr->cdsMain->locate(QStringLiteral("SSOSCODFIS"), QStringLiteral("80078750587")));
    }

    void deletingAnOtherAgentNamedByACuIsRefused()
    {
        Fixture fx;
        fx.altroSost(QStringLiteral("80078750587"), QStringLiteral("INPS GESTIONE DIPENDENTI PUBBLICI"));
        fx.altroSost(QStringLiteral("00743110157"), QStringLiteral("COMUNE DI CASTEL SAN PIETRO TERME"));
        fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("12"), QStringLiteral("80078750587"));
        ScriptedResponder user;
        auto fm = openForm<TfmVelAltriSost>(fx);
        TfrVelAltriSost *fr = fm->frVelAltriSost;
        QVERIFY(fr->cdsMain->locate(QStringLiteral("SSOSCODFIS"), QStringLiteral("80078750587")));
        fr->acCancella->trigger();
        QCOMPARE(user.lastText(), QStringLiteral("Impossibile cancellare il sostituto, risultano associati dei Dati Cud."));
        QCOMPARE(fr->cdsMain->recordCount(), 2);
        QCOMPARE(fx.rows(QStringLiteral("TCUAS_DATIALTRISOST"))->recordCount(), 2);

        // The CU moves to the other agent (in the CU editor): now it goes.
        {
            auto cu = fx.rows(QStringLiteral("TCUD_DATICUD"));
            cu->edit();
            set(*cu, "SCUDALTROSOSCODFIS", QStringLiteral("00743110157"));
            cu->post();
            fx.store.Save(*cu, QStringLiteral("TCUD_DATICUD"), 12);
        }
        fr->acCancella->trigger();
        QCOMPARE(user.texts().size(), 1);
        QCOMPARE(fr->cdsMain->recordCount(), 1);
        auto back = fx.rows(QStringLiteral("TCUAS_DATIALTRISOST"));
        QCOMPARE(back->recordCount(), 1);
        QCOMPARE(get(*back, "SSOSCODFIS"), QStringLiteral("00743110157"));
        // The agent now named cannot go either.
        fr->acCancella->trigger();
        QCOMPARE(user.texts().size(), 2);
        QCOMPARE(fx.rows(QStringLiteral("TCUAS_DATIALTRISOST"))->recordCount(), 1);
    }

    void closingWithAPendingChangeSavesItThroughTheChecks()
    {
        Fixture fx;
        fx.altroSost(QStringLiteral("80078750587"), QStringLiteral("INPS GESTIONE DIPENDENTI PUBBLICI"));
        fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("12"), QStringLiteral("80078750587"));
        ScriptedResponder user;
        auto fm = openForm<TfmVelAltriSost>(fx);
        TfrVelAltriSost *fr = fm->frVelAltriSost;
        fr->showDetail();
        // An empty code: the save on closing is refused and the window stays.
        type(fr->control(QStringLiteral("SSOSCODFIS")), QString());
        user.answer(IDYES, QStringLiteral("Salvarle prima di chiudere?"));
        QVERIFY(!fm->close());
        QCOMPARE(user.lastText(), QStringLiteral("ATTENZIONE: E' necessario specificare il codice fiscale del sostituto."));
        // A new code: saved on closing, and the CU follows.
        type(fr->control(QStringLiteral("SSOSCODFIS")), QStringLiteral("97123450583"));
        user.answer(IDYES, QStringLiteral("Salvarle prima di chiudere?"));
        QVERIFY(fm->close());
        QCOMPARE(get(*fx.rows(QStringLiteral("TCUAS_DATIALTRISOST")), "SSOSCODFIS"), QStringLiteral("97123450583"));
        QCOMPARE(fx.cuAgents(), QStringList{"RSSMRA80A01H501U/12=97123450583"});
    }

    void quadroCtSetsTheAgentsBox()
    {
        Fixture fx;
        fx.agent(QStringLiteral("1"));
        ScriptedResponder user;
        auto fm = openForm<TfmVelQuaCT>(fx);
        TfrVelQuaCt *fr = fm->frVelQuaCt;
        QCOMPARE(fm->windowTitle(), QStringLiteral("Quadro CT"));
        QVERIFY(!shown(fr->acCancella));
        QVERIFY(!shown(fr->acPrimo));
        QCOMPARE(fr->cdsSost->recordCount(), 1);

        // Blanks only: the agent's box goes to 0.
        fr->acInserisci->trigger();
        type(fr->control(QStringLiteral("SCTCODFIS")), QStringLiteral("92017840536"));
        type(fr->control(QStringLiteral("SCTCELL")), QStringLiteral("   "));
        fr->acConferma->trigger();
        QCOMPARE(user.texts(), QStringList());
        QCOMPARE(fx.rows(QStringLiteral("TCUCT_DATICT"))->recordCount(), 1);
        QCOMPARE(get(*fx.rows(QStringLiteral("TCUS_DATISOST")), "LSOSCT"), QStringLiteral("0"));
        // An e-mail address: 1. The agent's other data stay.
        fr->acModifica->trigger();
        type(fr->control(QStringLiteral("SCTEMAIL")), QStringLiteral("segreteria@icmazzini.edu.it"));
        fr->acConferma->trigger();
        {
            auto agent = fx.rows(QStringLiteral("TCUS_DATISOST"));
            QCOMPARE(get(*agent, "LSOSCT"), QStringLiteral("1"));
            QCOMPARE(get(*agent, "SSOSCODFIS"), QStringLiteral("92017840536"));
            QCOMPARE(get(*fx.rows(QStringLiteral("TCUCT_DATICT")), "SCTEMAIL"),
                     QStringLiteral("SEGRETERIA@ICMAZZINI.EDU.IT"));
        }
        // A second row is refused silently.
        fr->insertRow();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
        QCOMPARE(fr->cdsMain->recordCount(), 1);
        // Deleted (keyboard) without a question; the store follows.
        fr->deleteRow();
        QCOMPARE(user.texts(), QStringList());
        QCOMPARE(fx.rows(QStringLiteral("TCUCT_DATICT"))->recordCount(), 0);
        QVERIFY(shown(fr->acInserisci));
    }

    void quadroCtFisconlineOtherThanOneShowsCleared()
    {
        Fixture fx;
        fx.add(QStringLiteral("TCUCT_DATICT"), [](TClientDataSet &ds) {
            set(ds, "SCTCODFIS", QStringLiteral("92017840536"));
            set(ds, "LCTFISCONLINE", QStringLiteral("X"));
        });
        ScriptedResponder user;
        auto fm = openForm<TfmVelQuaCT>(fx);
        QVERIFY(!qobject_cast<QCheckBox *>(fm->frVelQuaCt->control(QStringLiteral("LCTFISCONLINE")))->isChecked());
        // Without an agent the post still stores the request.
        fm->frVelQuaCt->acModifica->trigger();
        type(fm->frVelQuaCt->control(QStringLiteral("SCTCELL")), QStringLiteral("3331234567"));
        fm->frVelQuaCt->acConferma->trigger();
        QCOMPARE(get(*fx.rows(QStringLiteral("TCUCT_DATICT")), "SCTCELL"), QStringLiteral("3331234567"));
        QCOMPARE(fx.rows(QStringLiteral("TCUS_DATISOST"))->recordCount(), 0);
    }

    void supplierChecksAskAndKeepTheWindowOpen()
    {
        Fixture fx;
        ScriptedResponder user;
        auto fm = openForm<TfmVelFornitore>(fx);
        TfrVelFornitore *fr = fm->frVelFornitore;
        QCOMPARE(fm->windowTitle(), QStringLiteral("Dati Fornitore"));
        fr->acInserisci->trigger();
        // No tax code: refused with its error.
        fr->acConferma->trigger();
        QCOMPARE(user.lastText(), QStringLiteral("Codice fiscale obbligatorio"));
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Insert);
        QCOMPARE(fx.rows(QStringLiteral("TCFO_FORNITORE"))->recordCount(), 0);

        // No supplier type: listed, and the answer decides.
        type(fr->control(QStringLiteral("SFORCODFIS")), QStringLiteral("rssmra80a01h501u"));
        user.answer(IDNO, QStringLiteral(" - Dato obbligatorio mancante: Tipo fornitore"));
        fr->acConferma->trigger();
        QCOMPARE(fr->lastProblems(), QStringList{" - Dato obbligatorio mancante: Tipo fornitore"});
        QVERIFY(user.lastText().endsWith(QStringLiteral("\r\nSi desidera proseguire?")));
        QCOMPARE(user.shown().last().caption, QStringLiteral("Informazioni"));
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Insert);
        QCOMPARE(fx.rows(QStringLiteral("TCFO_FORNITORE"))->recordCount(), 0);

        // Closing while inserting is refused.
        QVERIFY(!fm->close());
        QCOMPARE(user.lastText(), QStringLiteral("Non è possibile chiudere la finestra prima di aver salvato le modifiche"));
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Insert);

        user.answer(IDYES, QStringLiteral("Si desidera proseguire?"));
        fr->acConferma->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
        {
            auto back = fx.rows(QStringLiteral("TCFO_FORNITORE"));
            QCOMPARE(back->recordCount(), 1);
            QCOMPARE(get(*back, "SFORCODFIS"), QStringLiteral("RSSMRA80A01H501U"));
        }
        QVERIFY(!shown(fr->acInserisci));

        // A complete row asks nothing; the seam can be replaced.
        QStringList asked;
        fr->askToProceed = [&asked](const QStringList &lines) {
            asked = lines;
            return false;
        };
        fr->acModifica->trigger();
        // The supplier type with its description.
        QLabel *desc = fr->codeDescriptionLabel(QStringLiteral("STFOCODICE"));
        QVERIFY(desc);
        type(fr->control(QStringLiteral("STFOCODICE")), QStringLiteral("99"));
        QCOMPARE(desc->text(), QStringLiteral("Codice non in tabella"));
        type(fr->control(QStringLiteral("STFOCODICE")), QStringLiteral("10"));
        QVERIFY2(desc->text().startsWith(QStringLiteral("C.A.F. dipendenti e pensionati")), qPrintable(desc->text()));
        fr->acConferma->trigger();
        QCOMPARE(asked, QStringList());
        QCOMPARE(get(*fx.rows(QStringLiteral("TCFO_FORNITORE")), "STFOCODICE"), QStringLiteral("10"));
        // Editing: the window stays; after cancel it closes... but first the delete.
        fr->acModifica->trigger();
        QVERIFY(!fm->close());
        fr->acAnnulla->trigger();

        // Delete: "No" keeps the row, "Si" removes it and offers insert again.
        user.answer(IDNO, QStringLiteral("Confermi la cancellazione del modello corrente ?"));
        fr->acCancella->trigger();
        QCOMPARE(fx.rows(QStringLiteral("TCFO_FORNITORE"))->recordCount(), 1);
        user.answer(IDYES, QStringLiteral("Confermi la cancellazione del modello corrente ?"));
        fr->acCancella->trigger();
        QCOMPARE(fx.rows(QStringLiteral("TCFO_FORNITORE"))->recordCount(), 0);
        QVERIFY(shown(fr->acInserisci) && fr->acInserisci->isEnabled());
        QVERIFY(!fr->acModifica->isEnabled());
        QVERIFY(fm->close());
    }

    void screenshotsWithFullLengthValues()
    {
        if (qEnvironmentVariableIsEmpty("VELCU_SCREENSHOT_DIR"))
            QSKIP("VELCU_SCREENSHOT_DIR not set");
        Fixture fx;
        fx.add(QStringLiteral("TCUS_DATISOST"), [](TClientDataSet &ds) {
            const QList<std::pair<const char *, const char *>> v = {
                {"SSOSCODFIS", "92017840536"},
                {"SSOSDENOM", "ISTITUTO COMPRENSIVO STATALE \"GIUSEPPE MAZZINI\" DI CASTEL S.PIETRO"},
                {"SSOSNOME", ""},
                {"SSOSTELFAX", "051941234567"},
                {"SSOSEMAIL", "BOIC81200X@ISTRUZIONE.IT"},
                {"SSOSINDIRIZZO", "VIA DEI MILLE 123/B"},
                {"SSOSCAP", "40024"},
                {"SSOSPROV", "BO"},
                {"SSOSCOMUNE", "CASTEL SAN PIETRO TERME"},
                {"SSOSCODATTIVITA", "852000"},
                {"SSOSCODSEDE", "000"},
                {"LSOSANNULLAMENTO", "0"},
                {"LSOSSOSTITUZIONE", "0"},
                {"SSOSEVECC", ""},
                {"LSOSCASIPARTICOLARI", "0"},
                {"SSOSCFRAPPR", "BNCLRA68M45A944K"},
                {"SCARCODICE", "1"},
                {"SSOSCOGNRAPPR", "BIANCHI"},
                {"SSOSNOMERAPPR", "LAURA MARIA"},
                {"LSOSCT", "1"},
                {"SSOSFIRMACOM", "LAURA MARIA BIANCHI"},
                {"SSOSCODFISINTERM", "RSSMRA80A01H501U"},
                {"LSOSDICHCONTRIB", "1"},
                {"SSOSINTERMEDIARIO", "STUDIO ROSSI ASSOCIATI"}};
            for (const auto &[f, x] : v)
                set(ds, f, QString::fromUtf8(x));
            ds.fieldByName(QStringLiteral("ISOSNDIP")).setAsInteger(148);
            ds.fieldByName(QStringLiteral("DSOSDTIMPEGNO")).setValue(QDate(2026, 3, 10));
        });
        fx.add(QStringLiteral("TCUCT_DATICT"), [](TClientDataSet &ds) {
            set(ds, "SCTCODFIS", QStringLiteral("92017840536"));
            set(ds, "LCTFISCONLINE", QStringLiteral("0"));
            set(ds, "SCTCELL", QStringLiteral("3331234567"));
            set(ds, "SCTEMAIL", QStringLiteral("BOIC81200X@PEC.ISTRUZIONE.IT"));
            set(ds, "SCTSEDEENT", QStringLiteral("000"));
            set(ds, "SCTCODFISINTERM", QStringLiteral("RSSMRA80A01H501U"));
            set(ds, "SCTSEDEENTINTERM", QStringLiteral("001"));
            set(ds, "SCTCELLINTERM", QStringLiteral("3479876543"));
            set(ds, "SCTEMAILINTERM", QStringLiteral("STUDIO.ROSSI@PEC.COMMERCIALISTI.IT"));
            set(ds, "SCTFIRMA", QStringLiteral("LAURA MARIA BIANCHI"));
        });
        fx.add(QStringLiteral("TCFO_FORNITORE"), [](TClientDataSet &ds) {
            set(ds, "SFORCODFIS", QStringLiteral("RSSMRA80A01H501U"));
            set(ds, "STFOCODICE", QStringLiteral("10"));
        });
        fx.add(QStringLiteral("TCUAS_DATIALTRISOST"), [](TClientDataSet &ds) {
            set(ds, "SSOSCODFIS", QStringLiteral("80078750587"));
            set(ds, "SSOSDENOM", QStringLiteral("ISTITUTO NAZIONALE DELLA PREVIDENZA SOCIALE GEST. PUBBLICA"));
            set(ds, "SSOSINDIRIZZO", QStringLiteral("VIA CIRO IL GRANDE 21"));
            set(ds, "SSOSCAP", QStringLiteral("00144"));
            set(ds, "SSOSPROV", QStringLiteral("RM"));
            set(ds, "SSOSCOMUNE", QStringLiteral("ROMA"));
            set(ds, "SSOSTELFAX", QStringLiteral("0659051234"));
            set(ds, "SSOSFIRMA", QStringLiteral("IL DIRETTORE CENTRALE"));
            set(ds, "SSOSEMAIL", QStringLiteral("DIREZIONE.CENTRALE@POSTACERT.INPS.GOV.IT"));
            set(ds, "SSOSCODATTIVITA", QStringLiteral("843000"));
            set(ds, "SSOSCODSEDE", QStringLiteral("001"));
        });
        ScriptedResponder user;
        {
            auto fm = openForm<TfmVelSost>(fx);
            fm->resize(1280, 700);
            fm->frVelSost->showDetail();
            shot(fm.get(), QStringLiteral("agent-editor-sostituto.png"));
        }
        {
            auto fm = openForm<TfmVelAltriSost>(fx);
            fm->resize(1280, 420);
            shot(fm.get(), QStringLiteral("agent-editor-altri-sostituti-griglia.png"));
            fm->frVelAltriSost->showDetail();
            shot(fm.get(), QStringLiteral("agent-editor-altri-sostituti.png"));
        }
        {
            auto fm = openForm<TfmVelQuaCT>(fx);
            fm->resize(1280, 440);
            fm->frVelQuaCt->showDetail();
            shot(fm.get(), QStringLiteral("agent-editor-quadro-ct.png"));
        }
        {
            auto fm = openForm<TfmVelFornitore>(fx);
            fm->frVelFornitore->showDetail();
            shot(fm.get(), QStringLiteral("agent-editor-fornitore.png"));
        }
        QCOMPARE(user.texts(), QStringList());
    }

    void codeFieldsSearchTheirTablesOnF8AndButton()
    {
        Fixture fx;
        fx.add(QStringLiteral("TCFO_FORNITORE"), [](TClientDataSet &ds) {
            set(ds, "SFORCODFIS", QStringLiteral("RSSMRA80A01H501U"));
            set(ds, "STFOCODICE", QStringLiteral("01"));
        });
        ScriptedResponder user;
        auto fm = openForm<TfmVelFornitore>(fx);
        TfrVelFornitore *fr = fm->frVelFornitore;
        fr->showDetail();
        auto *lk = qobject_cast<TTorDbLookup *>(fr->control(QStringLiteral("STFOCODICE")));
        QVERIFY(lk);
        QStringList codes;
        const auto pickLast = [&codes](QWidget *w) {
            auto *s = qobject_cast<TfmTorRicerca *>(w);
            if (!s)
                return (void)w->close();
            for (s->cdsRicerca->first(); !s->cdsRicerca->eof(); s->cdsRicerca->next())
                codes << s->cdsRicerca->fieldByName(QStringLiteral("Codice")).asString();
            QTest::keyClick(s->edCerca, Qt::Key_End);
            s->buOK->click();
        };
        whenModal(pickLast);
        lk->edit()->setFocus();
        QTest::keyClick(lk->edit(), Qt::Key_F8);
        QVERIFY(codes.contains(QStringLiteral("10")));
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Edit);
        QVERIFY(!get(*fr->cdsMain, "STFOCODICE").isEmpty());
        fr->acAnnulla->trigger();

        // The agent's office code, by its button.
        fx.agent();
        auto agent = openForm<TfmVelSost>(fx);
        auto *carica = qobject_cast<TTorDbLookup *>(agent->frVelSost->control(QStringLiteral("SCARCODICE")));
        QVERIFY(carica);
        codes.clear();
        whenModal(pickLast);
        carica->button()->click();
        QVERIFY(codes.size() > 5);
        QCOMPARE(get(*agent->frVelSost->cdsMain, "SCARCODICE"), codes.last());
        agent->frVelSost->acConferma->trigger();
        QCOMPARE(get(*fx.rows(QStringLiteral("TCUS_DATISOST")), "SCARCODICE"), codes.last());
        QCOMPARE(user.texts(), QStringList());
    }

    // The CU editor aligns every CU's signature with the agent's when it
    // opens: the CUs stay in the store period of their own month.
    void cuSignatureAlignmentKeepsEachCuInItsMonth()
    {
        Fixture fx;
        fx.add(QStringLiteral("TCUS_DATISOST"), [](TClientDataSet &ds) {
            set(ds, "SSOSCODFIS", QStringLiteral("92017840536"));
            set(ds, "SSOSFIRMACOM", QStringLiteral("IL DIRIGENTE SCOLASTICO"));
        });
        fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("03"), QString());
        fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("12"), QString());
        fx.cu(QStringLiteral("VRDLGU70B02F205X"), QStringLiteral("12"), QString());
        const QMap<QString, int> before = fx.cuPeriods();
        ScriptedResponder user;
        std::unique_ptr<TfmVelCud> fm(ovCreate<TfmVelCud>());
        fm->setStore(&fx.store);
        fm->show();
        QApplication::processEvents();
        QCOMPARE(fm->frVelCud->cdsMain->changeCount(), 0);
        QCOMPARE(fx.cuPeriods(), before);
        auto back = fx.rows(QStringLiteral("TCUD_DATICUD"));
        for (back->first(); !back->eof(); back->next())
            QCOMPARE(get(*back, "SCUDDATIANAFIRMA"), QStringLiteral("IL DIRIGENTE SCOLASTICO"));
        QCOMPARE(user.texts(), QStringList());
    }

    void theQuestionListsEveryLine()
    {
        // An entry of several lines is shown line by line, then the question.
        ScriptedResponder user;
        user.answer(IDNO, QStringLiteral("Si desidera proseguire?"));
        QVERIFY(!velAskToProceed({QStringLiteral(" - a"), QStringLiteral(" - b\r\n - c")}));
        QCOMPARE(user.lastText(), QStringLiteral(" - a\r\n - b\r\n - c\r\nSi desidera proseguire?"));
        user.answer(IDYES, QStringLiteral("Si desidera proseguire?"));
        QVERIFY(velAskToProceed({QStringLiteral(" - a")}));
    }
};

QTEST_MAIN(TstDbAgentEditors)
#include "tst_db_agent_editors.moc"
