// Start-up of the program on a real database: connection, school record,
// fiscal store, first activation with the year dialog, the import launch,
// and the ways the start-up ends early.
#include "support/ModalWatch.h"
#include "support/ScriptedResponder.h"
#include "support/TestDb.h"
#include "support/TestInstallation.h"

#include "platform/core/OvParamManager.h"
#include "platform/ui/framework/TOvOutlineBar.h"
#include "platform/pdf/TPdkPdf.h"
#include "rag/params/dmRagParams.h"
#include "src/prj/unit/editors/TfmVelCud.h"
#include "src/prj/unit/editors/TfmVelSostituti.h"
#include "src/prj/unit/editors/TfrVelSostituti.h"
#include "src/prj/unit/editors/TfrVelCud.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "src/prj/unit/shell/TdmVelAttivazioni.h"
#include "src/prj/unit/shell/TfmVelMain.h"
#include "src/prj/unit/shell/TfmVelParametri.h"
#include "src/prj/unit/model/VelParametriUtente.h"
#include "src/prj/unit/shell/VelStartup.h"
#include "tor/query/torCQueryText.h"
#include "rag/calc/TdmRagCalcola.h"
#include "tor/store/torUDBCds.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QString kSchoolTaxCode = QStringLiteral("92017840536");

QStringList yearsIn(const QString &path)
{
    TClientDataSet ds;
    ds.loadFromFile(path);
    QStringList out;
    for (ds.first(); !ds.eof(); ds.next())
        out << ds.fieldByName(QStringLiteral("SCUAANNOFIN")).asString();
    return out;
}

void saveShot(QWidget *w, const char *name)
{
    const QString dir = qEnvironmentVariable("VELCU_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        w->grab().save(QDir(dir).filePath(QLatin1String(name)));
}

} // namespace

class TstDbShell : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QApplication::setApplicationVersion(QStringLiteral("6.97.29"));
    }

    void cleanup()
    {
        QCOMPARE(OvGlobConn, nullptr);   // the start-up's connection went with it
    }

    void startsOnTheDemoAskingTheYearOnce()
    {
        Installation inst;
        RecordingShell shell;
        ScriptedResponder user;
        bool dialogChecked = false;
        whenModal([&](QWidget *w) {
            auto *dialog = qobject_cast<TfmVelParametri *>(w);
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Parametri"));
            QCOMPARE(dialog->edAnnoFin->text(), QStringLiteral("2025"));   // the remembered year
            saveShot(dialog, "main-window-year-dialog.png");
            // Neither Esc nor the close box leave the program without a year.
            dialog->reject();
            QVERIFY(dialog->isVisible());
            QCOMPARE(user.lastText(), QStringLiteral("Indicare l'anno finanziario e premere OK."));
            // The exact text is compared.
            dialog->edAnnoFin->setText(QStringLiteral(" 2025"));
            QVERIFY(!dialog->clickOk());
            QCOMPARE(user.lastText(), QStringLiteral("L'anno finanziario deve essere compreso tra 2025 e 2026."));
            QCOMPARE(inst.main()->fiscalStore()->year(), 0);
            dialog->edAnnoFin->setText(QStringLiteral("2026"));
            QVERIFY(dialog->clickOk());
            dialogChecked = true;
        });
        QCOMPARE(inst.start(), 0);
        TfmVelMain *main = inst.main();
        QVERIFY(main->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(dialogChecked, 10000);
        QVERIFY(main->firstActivationDone());

        // The store of this program, on the program's connection, for the chosen year.
        TTorDBCds *store = main->fiscalStore();
        QVERIFY(store);
        QCOMPARE(store->program(), QStringLiteral("vel"));
        QCOMPARE(store->connection(), &inst.startup->connessione()->xqoMain);
        QCOMPARE(store->year(), 2026);
        QCOMPARE(store->month(), -1);
        QCOMPARE(inst.table()->fiscalStore(), store);
        QCOMPARE(main->statusPanel(0)->text(), QStringLiteral("Anno finanziario: 2026    Provvedimento del 15/01/2026"));
        QCOMPARE(yearsIn(inst.yearFile()), QStringList{QStringLiteral("2026")});
        // The two refusals above, then: 2026 holds no CU and is not the campaign's year.
        QCOMPARE(user.texts().mid(2), QStringList{TfmVelParametri::noCuText(QStringLiteral("2026"))});
        QVERIFY(user.lastText().startsWith(QStringLiteral("Per l'anno finanziario 2026 non ci sono CU.")));
        QVERIFY(shell.documents.isEmpty()); // no "Check.txt": no notes
        // The calculation module is there for the whole run.
        QVERIFY(TdmRagCalcola::instance());
        // The wait window of the store's loads is the program's.
        QVERIFY(hasTorWaitIndicator());

        // The school record of the demo's configuration for 2025, which a
        // fresh installation takes and keeps.
        TOvQueryCollection &sos = inst.table()->xqcSos;
        QVERIFY(sos.active());
        QCOMPARE(sos.fieldByName(QStringLiteral("SSEDNOMCODICEFISC")).asString(), kSchoolTaxCode);
        QSettings ini(VelParametriUtente::fileName(), QSettings::IniFormat);
        QCOMPARE(ini.value(QStringLiteral("OVUC_Params/OVUP_DwgId")).toInt(), 1);
        QCOMPARE(ini.value(QStringLiteral("OVUC_Params/OVUP_AnfId")).toInt(), 56);
        QCOMPARE(ini.value(QStringLiteral("OVUC_Params/OVUP_AnsId")).toInt(), 56);

        QTRY_VERIFY(inst.table()->outlineBar() && inst.table()->outlineBar()->isVisible());
        saveShot(main, "main-window.png");

        // A second activation rebuilds nothing and asks nothing.
        const QList<QMenu *> menus = inst.table()->menus();
        QPointer<TOvOutlineBar> bar = inst.table()->outlineBar();
        QCOMPARE(menus.size(), 4);
        bool asked = false;
        QPointer<QTimer> watcher = whenModal([&](QWidget *) { asked = true; });
        QSignalSpy activations(main, &TfmOvMDIMain::activated);
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        main->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(main));
        QTRY_VERIFY(activations.size() >= 1);
        QTest::qWait(50);
        QVERIFY(!asked);
        delete watcher.data();
        QCOMPARE(inst.table()->menus(), menus);
        QCOMPARE(inst.table()->outlineBar(), bar.data());
        QCOMPARE(user.shown().size(), 3);

        // Closing the window frees the store.
        QVERIFY(main->close());
        QVERIFY(!main->fiscalStore());
        QVERIFY(!inst.table()->fiscalStore());
    }

    void updateNotesAreShownOnceThenGone()
    {
        Installation inst;
        QFile marker(inst.res() + QStringLiteral("check.TXT"));
        QVERIFY(marker.open(QIODevice::WriteOnly));
        marker.close();
        RecordingShell shell;
        ScriptedResponder user;
        QVERIFY(inst.startWithYear(QStringLiteral("2025")));
        QCOMPARE(shell.documents.size(), 1);
        QCOMPARE(shell.documents.first().filePath, inst.res() + QStringLiteral("News.pdf"));
        QVERIFY(!marker.exists());
        QVERIFY(user.shown().isEmpty());
    }

    void parametersFromTheMenuChangeTheYear()
    {
        Installation inst;
        ScriptedResponder user;
        QVERIFY(inst.startWithYear(QStringLiteral("2026")));
        TfmVelMain *main = inst.main();
        QCOMPARE(user.texts(), QStringList{TfmVelParametri::noCuText(QStringLiteral("2026"))});
        user.clear();
        // "Modello CU" and "Dati Fornitore" open on 2026.
        QVERIFY(inst.table()->Execute(QStringLiteral("xafDatiCud")));
        auto *editor = qobject_cast<TfmVelCud *>(main->mdiChildren().first());
        QVERIFY(editor);
        QTRY_VERIFY(editor->frVelCud->cdsMain->active());
        QVERIFY(inst.table()->Execute(QStringLiteral("xafFornitore")));
        auto *supplier = qobject_cast<TfmVelFornitore *>(main->mdiChildren().last());
        QVERIFY(supplier);
        QTRY_VERIFY(supplier->frame()->cdsMain->active());
        QVERIFY(inst.table()->Execute(QStringLiteral("xafParametri")));
        QCOMPARE(main->mdiChildCount(), 3);
        auto *dialog = qobject_cast<TfmVelParametri *>(main->mdiChildren().last());
        QVERIFY(dialog);
        QTRY_COMPARE(dialog->edAnnoFin->text(), QStringLiteral("2026"));   // remembered
        // While it is open the import does not start.
        QVERIFY(!inst.table()->Execute(QStringLiteral("xacImport")));
        QCOMPARE(user.texts(), QStringList{TdmVelAttivazioni::refusalWithChildren()});
        user.clear();
        // The supplier being inserted cannot close: the year does not change.
        supplier->frame()->insertRow();
        dialog->edAnnoFin->setText(QStringLiteral("2025"));
        QVERIFY(!dialog->clickOk());
        QCOMPARE(main->fiscalStore()->year(), 2026);
        QCOMPARE(main->statusPanel(0)->text(), QStringLiteral("Anno finanziario: 2026    Provvedimento del 15/01/2026"));
        QVERIFY(supplier->isVisible());
        QVERIFY(user.lastText().contains(QStringLiteral("prima di cambiare l'anno finanziario")));
        // Given up: every window on the old year closes and the year changes.
        supplier->frame()->cancelRow();
        QVERIFY(dialog->clickOk());
        QTRY_COMPARE(main->mdiChildCount(), 0);
        QCOMPARE(main->fiscalStore()->year(), 2025);
        QCOMPARE(yearsIn(inst.yearFile()), QStringList{QStringLiteral("2025")});
        QCOMPARE(main->statusPanel(0)->text(), QStringLiteral("Anno finanziario: 2025    Provvedimento del 15/01/2026"));
        QCOMPARE(user.shown().size(), 2);   // the supplier's refusal and the year's
    }

    void datiCuOpensTheEditorMaximisedOnTheProgramsStore()
    {
        Installation inst;
        ScriptedResponder user;
        QVERIFY(inst.startWithYear(QStringLiteral("2025")));
        TfmVelMain *main = inst.main();
        {
            TClientDataSet cu;
            main->fiscalStore()->Load(cu, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
            cu.append();
            cu.fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(QStringLiteral("RSSMRA80A01H501U"));
            cu.fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(QStringLiteral("ROSSI"));
            cu.fieldByName(QStringLiteral("SCUDMESE")).setAsString(QStringLiteral("12"));
            cu.fieldByName(QStringLiteral("LCUDCOMPRENSIVO")).setAsString(QStringLiteral("X"));
            cu.post();
            main->fiscalStore()->Save(cu, QStringLiteral("TCUD_DATICUD"), 12);
            TClientDataSet back;
            main->fiscalStore()->Load(back, QStringLiteral("TCUD_DATICUD"), TTorDBCds::AllMonths);
            QCOMPARE(back.recordCount(), 1);
        }
        QVERIFY(inst.table()->xafDatiCud->action()->isEnabled());
        QVERIFY(inst.table()->xafStampa->action()->isEnabled()); // "Stampa CU Sintetico"
        QVERIFY(inst.table()->Execute(QStringLiteral("xafDatiCud")));
        QCOMPARE(main->mdiChildCount(), 1);
        auto *editor = qobject_cast<TfmVelCud *>(main->mdiChildren().first());
        QVERIFY(editor);
        QTRY_VERIFY(editor->subWindow() && editor->subWindow()->isMaximized());
        QCOMPARE(editor->subWindow()->windowTitle(), QStringLiteral("Modello CU"));
        QCOMPARE(user.texts(), QStringList());
        QTRY_VERIFY(editor->frVelCud->store() != nullptr);
        QTRY_COMPARE(editor->frVelCud->cdsMain->recordCount(), 1);
        saveShot(main, "main-window-cu-editor.png");
        // While it is open the import does not start.
        QVERIFY(!inst.table()->Execute(QStringLiteral("xacImport")));
        editor->subWindow()->close();
        QTRY_COMPARE(main->mdiChildCount(), 0);
    }

    void agentEditorsOpenOnceEach()
    {
        Installation inst;
        ScriptedResponder user;
        QVERIFY(inst.startWithYear(QStringLiteral("2025")));
        TfmVelMain *main = inst.main();
        const QList<std::tuple<const char *, const char *, const char *>> commands = {
            {"axfDatiSost", "fmVelSost", "Dati Sostituto"}, {"xafAlktriSost", "fmVelAltriSost", "Dati Sostituto"},
            {"xafQuaCT", "fmVelQuaCT", "Quadro CT"}, {"xafFornitore", "fmVelFornitore", "Dati Fornitore"}};
        int open = 0;
        for (const auto &[command, name, title] : commands) {
            QVERIFY(inst.table()->Execute(QLatin1String(command)));
            QVERIFY(inst.table()->Execute(QLatin1String(command)));
            QCOMPARE(main->mdiChildCount(), ++open);
            TfmVelAgentForm *fm = nullptr;
            for (QWidget *w : main->mdiChildren()) {
                if (w->objectName() == QLatin1String(name)) {
                    QVERIFY(!fm);
                    fm = qobject_cast<TfmVelAgentForm *>(w);
                }
            }
            QVERIFY(fm);
            QCOMPARE(fm->windowTitle(), QLatin1String(title));
            QTRY_VERIFY(fm->frame()->cdsMain->active());
        }
        QCOMPARE(user.texts(), QStringList());
        for (QWidget *w : main->mdiChildren())
            static_cast<TfmVelAgentForm *>(w)->subWindow()->close();
        QTRY_COMPARE(main->mdiChildCount(), 0);
    }

    // The print commands of the agent and of the signature list open their
    // windows; "Informativa" writes the leaflet from the instructions and opens it.
    void printCommandsAndTheLeaflet()
    {
        Installation inst;
        ScriptedResponder user;
        RecordingShell shell;
        for (const char *file : {"CU_2026_istruz.pdf", "stpStampe.xml"})
            QVERIFY(QFile::copy(QStringLiteral(VELCU_STAGE_DIR "/USR/KZ2025/Res/") + QLatin1String(file),
                                inst.res() + QLatin1String(file)));
        QVERIFY(inst.startWithYear(QStringLiteral("2025")));
        const QList<std::pair<const char *, const char *>> commands = {
            {"xafStpSost", "Stampa Sostituto"}, {"xaFQuadroCT", "Stampa Quadro CT"},
            {"xafStampaFirme", "Stampa nominativi CUD per firme"}};
        for (const auto &[command, title] : commands) {
            QString shown;
            whenModal([&shown](QWidget *w) {
                shown = w->windowTitle();
                static_cast<QDialog *>(w)->reject();
            });
            QVERIFY(inst.table()->Execute(QLatin1String(command)));
            QCOMPARE(shown, QLatin1String(title));
        }

        QVERIFY(inst.table()->Execute(QStringLiteral("xasInformativa")));
        const QString leaflet = inst.root.filePath(QStringLiteral("USR/KZ2025/Stp/informativa.pdf"));
        QVERIFY(QFile::exists(leaflet));
        TPdkPdf pdf;
        QVERIFY(pdf.LoadFromFile(leaflet) != 0);
        QCOMPARE(pdf.PageCount(), 8);
        QCOMPARE(shell.documents.size(), 1);   // opened once, by the command
        QCOMPARE(QFileInfo(shell.documents.first().filePath).canonicalFilePath(), QFileInfo(leaflet).canonicalFilePath());
        QCOMPARE(user.texts(), QStringList());
    }

    void refusedConnectionEndsTheStartUp()
    {
        Installation inst;
        TOvDbConfig unreachable;
        if (TestDb::isPostgres()) {
            unreachable = TestDb::serverConfig();
            unreachable.database = QStringLiteral("velcu_assente");
        } else {
            unreachable.path = inst.root.filePath(QStringLiteral("usr/rag/assente.sqlite"));
        }
        {
            ScriptedResponder user;
            QVERIFY(inst.start(unreachable) != 0);
            QCOMPARE(user.shown().size(), 1);
            QCOMPARE(user.shown().first().icon, OvMessageIcon::Error);
            QVERIFY(inst.main()->terminating());
            QVERIFY(!inst.main()->fiscalStore());
            inst.startup.reset();
        }
        // A catalogue whose certificate is gone.
        QVERIFY(QFile::remove(inst.etc() + QStringLiteral("/rag_QueryText.unxc")));
        {
            ScriptedResponder user;
            QVERIFY(inst.start() != 0);
            QCOMPARE(user.texts(), QStringList{QStringLiteral(
                                       "Certificato query non trovato od errato. Aggiornare il programma \"Retribuzioni\"")});
            inst.startup.reset();
        }
        // No catalogue at all: the same refusal, before anything else is made.
        QVERIFY(QFile::remove(inst.etc() + QStringLiteral("/rag_QueryText.cds")));
        QueryText().clearStatements();
        {
            ScriptedResponder user;
            QVERIFY(inst.start() != 0);
            QCOMPARE(user.shown().size(), 1);
            QVERIFY(user.lastText().startsWith(QStringLiteral("Certificato query non trovato od errato.")));
            QVERIFY(!inst.main());
        }
    }

    void missingConfigurationEndsTheStartUp()
    {
        {
            Installation inst(false);   // no school, no configuration
            ScriptedResponder user;
            QVERIFY(inst.start() != 0);
            QCOMPARE(user.texts(), QStringList{TdmVelAttivazioni::missingConfiguration()});
            QCOMPARE(user.shown().first().icon, OvMessageIcon::Error);
            QVERIFY(!inst.main()->fiscalStore());
        }
        {
            Installation inst;
            QSettings ini(VelParametriUtente::fileName(), QSettings::IniFormat);
            ini.setValue(QStringLiteral("OVUC_Params/OVUP_DwgId"), 99);
            ini.sync();
            ScriptedResponder user;
            QVERIFY(inst.start() != 0);
            QCOMPARE(user.texts(), QStringList{TdmVelAttivazioni::missingConfiguration()});
        }
        {
            // The school record cannot be read at all: the message the office
            // knows, then why.
            Installation inst;
            inst.db->exec(QStringLiteral("ALTER TABLE tsed_sedi RENAME COLUMN ssedemlpec TO ssedemlpec_vecchia"));
            ScriptedResponder user;
            QVERIFY(inst.start() != 0);
            QCOMPARE(user.shown().size(), 1);
            const QString text = user.lastText();
            QVERIFY2(text.startsWith(TdmVelAttivazioni::missingConfiguration() + QStringLiteral("\r\n\r\nCausa: ")),
                     qPrintable(text));
            QVERIFY2(text.contains(QStringLiteral("ssedemlpec")), qPrintable(text));
            QVERIFY2(text.endsWith(QStringLiteral("Ultima operazione DB: QRY_SED")), qPrintable(text));
        }
    }

    void importLaunchPreparesTheRunForTheWizard()
    {
        Installation inst;
        ScriptedResponder user;
        QVERIFY(inst.startWithYear(QStringLiteral("2025")));
        TdmVelAttivazioni *table = inst.table();

        // The program's own wizard opens; cancelled, nothing else happens.
        QVERIFY(table->RunImportWizard && table->RunImportSelection);
        QString wizardTitle;
        QTimer::singleShot(0, [&] {
            if (auto *w = qobject_cast<QDialog *>(QApplication::activeModalWidget())) {
                wizardTitle = w->windowTitle();
                w->reject();
            }
        });
        QVERIFY(!table->Execute(QStringLiteral("xacImport")));   // always cancelled
        QCOMPARE(wizardTitle, QStringLiteral("Importa dati per CU"));
        QCOMPARE(user.shown().size(), 0);
        QVERIFY(table->cdsParametri.active());
        QCOMPARE(table->cdsParametri.recordCount() + (table->cdsParametri.modified() ? 1 : 0), 1);
        QVERIFY(table->cdsParametri.fieldByName(QStringLiteral("SOSTITUTO")).asBoolean());
        QVERIFY(!table->xqcSos.active());
        user.clear();

        struct Seen
        {
            bool sostituto = false, sosOpen = false;
            QString cfamm;
            bool selectionSosOpen = false;
            int selections = 0;
        } seen;
        table->RunImportWizard = [&](TClientDataSet &par, TOvQueryCollection &sos) {
            seen.sostituto = par.fieldByName(QStringLiteral("SOSTITUTO")).asBoolean();
            seen.sosOpen = sos.active() && !sos.isEmpty();
            par.fieldByName(QStringLiteral("ICOTFONDAMENTALE")).setAsInteger(1);
            par.post();
            return true;
        };
        table->RunImportSelection = [&](TClientDataSet &par, TOvQueryCollection &sos) {
            ++seen.selections;
            seen.cfamm = par.fieldByName(QStringLiteral("CFAMM")).asString();
            seen.selectionSosOpen = sos.active();
        };
        QVERIFY(!table->Execute(QStringLiteral("xacImport")));
        QVERIFY(seen.sostituto && seen.sosOpen && seen.selectionSosOpen);
        QCOMPARE(seen.cfamm, kSchoolTaxCode);
        QCOMPARE(seen.selections, 1);
        QVERIFY(!table->xqcSos.active());

        // With the agent's data stored for the year, they are not imported again.
        TTorDBCds *store = inst.main()->fiscalStore();
        TClientDataSet agent;
        store->Load(agent, QStringLiteral("TCUS_DATISOST"));
        agent.append();
        agent.fieldByName(QStringLiteral("SSOSCODFIS")).setAsString(kSchoolTaxCode);
        agent.fieldByName(QStringLiteral("SSOSDENOM")).setAsString(QStringLiteral("I.C. DANTE ALIGHIERI"));
        agent.fieldByName(QStringLiteral("SSOSEMAIL")).setAsString(QStringLiteral("raic899006@istruzione.it"));
        agent.post();
        store->Save(agent, QStringLiteral("TCUS_DATISOST"));
        // The hidden commands run the same launch after their question.
        user.answer(IDYES, QStringLiteral("Emens"));
        QVERIFY(table->Execute(QStringLiteral("xacIntegraINPS")));
        QVERIFY(!seen.sostituto);
        QVERIFY(seen.cfamm.isEmpty());
        QVERIFY(!seen.selectionSosOpen);   // closed when the agent is not imported
        QCOMPARE(seen.selections, 2);
        QCOMPARE(user.shown().size(), 1);

        // The school record gone meanwhile: the message, then the program ends.
        user.clear();
        table->params()->xpmOvuParams.setValue(TdmRagParams::ParDwgId, 99);
        QVERIFY(!table->Execute(QStringLiteral("xacImport")));
        QCOMPARE(user.texts(), QStringList{TdmVelAttivazioni::missingConfiguration()});
        QCOMPARE(seen.selections, 2);
        QVERIFY(inst.main()->terminating());
        QCOMPARE(inst.main()->exitCode(), 1);
        QTRY_VERIFY(!inst.main()->isVisible());
    }
};

QTEST_MAIN(TstDbShell)
#include "tst_db_shell.moc"
