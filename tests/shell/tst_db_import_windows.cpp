// The import's windows over the demo school, headless: the wizard's
// defaults, captions, refusals and the options it stores; the selection
// window's list, filters, count and run; the positions dialog; the message
// window. VELCU_SCREENSHOT_DIR set: each window is saved as a PNG there.
#include "support/PositionRows.h"
#include "support/ScriptedResponder.h"
#include "support/TestDb.h"

#include "platform/dataset/TClientDataSet.h"
#include "platform/dataset/TDataSetModel.h"
#include "platform/db/OvSQLConnection.h"
#include "rag/ui/wizard/TfrRagPacoCud.h"
#include "src/prj/unit/dialogs/TfmVelInfo.h"
#include "src/prj/unit/dialogs/TfmVelCudTno.h"
#include "src/prj/unit/dialogs/TfmVelImpMultiSelect.h"
#include "src/prj/unit/dialogs/TfmVelWizImport.h"
#include "src/prj/unit/import/VelImportCud.h"
#include "src/prj/unit/import/VelImportReport.h"
#include "src/prj/unit/shell/TdmVelAttivazioni.h"
#include "src/prj/unit/model/VelRunOutcome.h"
#include "src/prj/unit/model/VelStructureSeed.h"
#include "tor/query/torCQueryText.h"
#include "tor/store/torUDBCds.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableView>
#include <QSqlQuery>
#include <QTest>

namespace {

void saveShot(QWidget *w, const char *name)
{
    const QString dir = qEnvironmentVariable("VELCU_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        w->grab().save(QDir(dir).filePath(QLatin1String(name)));
}

// The import's parameter record as the launch makes it.
void makeParametri(TClientDataSet &p, bool sostituto)
{
    const auto i = [](const char *n) { return TFieldDef{QLatin1String(n), TFieldType::Integer, 0}; };
    const auto b = [](const char *n) { return TFieldDef{QLatin1String(n), TFieldType::Boolean, 0}; };
    p.setFieldDefs({i("ICOTID"), i("IMESID"), i("ITIPOESECUZIONE"), i("ICOTFONDAMENTALE"), i("ICALID"), i("IVPROID"),
                    i("ICOSID"), b("DAINIZIO"), b("SOLOINPS"), b("SOSTITUTO"),
                    TFieldDef{QStringLiteral("CFAMM"), TFieldType::String, 20}, b("ANCHE_SENZA_CONGUAGLIO"),
                    b("ACCONTO_ADD_COM"), b("ARRETRATI_DETR"), b("ACCONTO_ADD_COM_ANNO"), i("INCLUDI_INPDAP_MEF"),
                    TFieldDef{QStringLiteral("SCODFISALTRISOS"), TFieldType::String, 16},
                    b("CALC_IRPEF_DA_INPS_COCOCO"), b("FISCALE_NOIPA")});
    p.createDataSet();
    p.append();
    p.fieldByName(QStringLiteral("SOSTITUTO")).setAsBoolean(sostituto);
}

}

class TstDbImportWindows : public QObject
{
    Q_OBJECT
    std::unique_ptr<TOvSQLConnection> db;
    std::unique_ptr<TTorDBCds> store;

    std::unique_ptr<TfmVelWizImport> wizard(TClientDataSet &p, const QDate &today)
    {
        auto w = std::make_unique<TfmVelWizImport>();
        w->anno = 2025;
        w->idwgid = 1;
        w->connection = db.get();
        w->oggi = today;
        w->setDataSets(&p, nullptr);
        w->impostaTipoCompenso();
        w->show();
        QApplication::processEvents();
        return w;
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QueryText().loadFromXml(QStringLiteral(VELCU_SOURCE_DIR "/tools/velcu-catalogue/rag_QueryText.xml"));
        db = TestDb::open(true);
        seedStructures(*db, QStringLiteral("vel"), 2025);
        store = std::make_unique<TTorDBCds>();
        store->setConnection(db.get());
        store->setProgram(QStringLiteral("vel"));
        store->setYear(2025);
        store->setMonth(TTorDBCds::AllMonths);
        store->setShowWait(false);
    }
    void cleanupTestCase()
    {
        store.reset();
        db.reset();
    }

    void wizardPagesAndDefaults()
    {
        ScriptedResponder ui;
        TClientDataSet p;
        makeParametri(p, true);
        auto w = wizard(p, QDate(2026, 1, 20));
        QCOMPARE(w->windowTitle(), QStringLiteral("Importa dati per CU"));
        QCOMPARE(w->buOk->text(), QStringLiteral("Importa"));
        QCOMPARE(w->pathPages(), QList<QWidget *>({w->tsMeseComp, w->tsParametri}));
        QCOMPARE(w->currentPage(), w->tsMeseComp);
        QCOMPARE(p.fieldByName(QStringLiteral("ICOTFONDAMENTALE")).asInteger(), 1);
        QVERIFY(!w->rbAccessori->isEnabled());
        // Captions with the years; the agent's data ticked from the record.
        QCOMPARE(w->chAccAddCom->text(),
                 QStringLiteral("Importare il  punto 29 (Dati Fiscali )  acconto addizionale comunale 2026"));
        QCOMPARE(w->rgAddComAnno->title(), QStringLiteral(" Addizionale comunale 2025  "));
        QVERIFY(w->chSostituto->isChecked());
        // Opened in 2026 for 2025: December.
        QCOMPARE(w->cbMesi->currentData().toInt(), 12);
        QCOMPARE(w->cbMesi->count(), 12);
        QCOMPARE(w->cbCategorie->itemText(0), QStringLiteral("(Predefinite)"));
        QCOMPARE(w->cbCategorie->currentIndex(), 0);
        QCOMPARE(w->cbCategorie->findText(QStringLiteral("7 - Solo autonomi")), 6);   // five categories before it
        // Defaults.
        QVERIFY(!w->chSoloInps->isChecked());
        QVERIFY(w->chFiscaleNoiPa->isChecked());
        QVERIFY(!w->chAncheSenzaConguaglio->isChecked());
        QVERIFY(!w->chAccAddCom->isChecked());
        QVERIFY(w->rbAddComSaldo->isChecked());
        QVERIFY(w->rbArretrati512->isChecked());
        QVERIFY(!w->rgArretrati->isVisible());
        QVERIFY(w->rbInpdapNoiPa->isChecked());
        QVERIFY(!w->rbInpdapUniEmens->isChecked());
        // The two boxes exclude each other.
        w->chSoloInps->setChecked(true);
        QVERIFY(!w->chFiscaleNoiPa->isChecked());
        w->chFiscaleNoiPa->setChecked(true);
        QVERIFY(!w->chSoloInps->isChecked());
        saveShot(w.get(), "import-wizard-options.png");

        QVERIFY(w->ChangePage(true));
        QCOMPARE(w->currentPage(), w->tsParametri);
        QCOMPARE(w->frRagPacoCud->edMatrAzienda->text(), QStringLiteral("4512345678"));
        QCOMPARE(w->frRagPacoCud->edCfMef->text(), QStringLiteral("80415740580"));
        QVERIFY(!w->ceCFAltroSost->isVisible());
        QVERIFY(!w->chRicalcolaCoCoCo->isVisible());
        saveShot(w.get(), "import-wizard-agent.png");

        // Opened during 2025: the current month.
        TClientDataSet p2;
        makeParametri(p2, false);
        auto w2 = wizard(p2, QDate(2025, 5, 3));
        QCOMPARE(w2->cbMesi->currentData().toInt(), 5);
        QVERIFY(!w2->chSostituto->isChecked());
    }

    void wizardRefusalsAndStoredOptions()
    {
        ScriptedResponder ui;
        TClientDataSet p;
        makeParametri(p, false);
        auto w = wizard(p, QDate(2026, 1, 20));
        QVERIFY(w->ChangePage(true));
        // NoiPA source without the reporting body's tax code.
        w->frRagPacoCud->edCfMef->clear();
        QVERIFY(!w->clickOk());
        QCOMPARE(ui.lastText(), QStringLiteral("Si è scelto di importare la sezione 2 INPS Gestione Pubblica dai "
                                               "compensi inviati ad \"Accessori Fuori sistema\".\r\n\r\nIl c.f. "
                                               "soggetto denuncia è obbligatorio"));
        w->frRagPacoCud->edCfMef->setText(QStringLiteral("80415740581"));
        // Both boxes ticked (only possible past the exclusion).
        {
            QSignalBlocker block(w->chSoloInps);
            w->chSoloInps->setChecked(true);
        }
        QVERIFY(!w->clickOk());
        QCOMPARE(ui.lastText(), QStringLiteral("Non è possibile scegliere contemporaneamente \"Solo INPS\" e \"Importa "
                                               "dati fiscali anche per le liquidazioni inviate a NoiPa\" "));
        w->chSoloInps->setChecked(false);
        // A group not set.
        w->edGruppo->clear();
        QVERIFY(!w->clickOk());
        QCOMPARE(ui.lastText(), QStringLiteral("Gruppo non impostato."));
        w->edGruppo->setText(QStringLiteral("1"));

        w->cbCategorie->setCurrentIndex(w->cbCategorie->findText(QStringLiteral("7 - Solo autonomi")));
        w->cbMesi->setCurrentIndex(10);
        w->chAncheSenzaConguaglio->setChecked(true);
        w->chAccAddCom->setChecked(true);
        w->rbAddComAcconto->setChecked(true);
        w->chSostituto->setChecked(true);
        QVERIFY(w->clickOk());
        w->salvaParametri();
        QCOMPARE(p.fieldByName(QStringLiteral("ICALID")).asInteger(), 7);
        QCOMPARE(p.fieldByName(QStringLiteral("IMESID")).asInteger(), 11);
        QVERIFY(p.fieldByName(QStringLiteral("DAINIZIO")).asBoolean());
        QCOMPARE(p.fieldByName(QStringLiteral("INCLUDI_INPDAP_MEF")).asInteger(), 1);
        QVERIFY(p.fieldByName(QStringLiteral("FISCALE_NOIPA")).asBoolean());
        QVERIFY(!p.fieldByName(QStringLiteral("SOLOINPS")).asBoolean());
        QVERIFY(p.fieldByName(QStringLiteral("ANCHE_SENZA_CONGUAGLIO")).asBoolean());
        QVERIFY(p.fieldByName(QStringLiteral("ACCONTO_ADD_COM")).asBoolean());
        QVERIFY(p.fieldByName(QStringLiteral("ACCONTO_ADD_COM_ANNO")).asBoolean());
        QVERIFY(!p.fieldByName(QStringLiteral("ARRETRATI_DETR")).asBoolean());
        QVERIFY(p.fieldByName(QStringLiteral("SOSTITUTO")).asBoolean());
        QCOMPARE(p.fieldByName(QStringLiteral("SCODFISALTRISOS")).asString(), QString());
        QVERIFY(!p.fieldByName(QStringLiteral("CALC_IRPEF_DA_INPS_COCOCO")).asBoolean());
        // The agent's parameters were written back.
        {
            QSqlQuery q = db->exec(QStringLiteral("SELECT spacocfmef FROM tpaco_paramcontabili WHERE idwganfid = 1"));
            QVERIFY(q.next());
            QCOMPARE(q.value(0).toString(), QStringLiteral("80415740581"));
        }
        const TVelImportOptions o = TVelImportOptions::fromParametri(p);
        QCOMPARE(o.ICALID, 7);
        QVERIFY(o.ACCONTO_ADD_COM_ANNO);
        // "(Predefinite)" gives 0.
        TClientDataSet p2;
        makeParametri(p2, false);
        auto w2 = wizard(p2, QDate(2026, 1, 20));
        QVERIFY(w2->clickOk());
        w2->salvaParametri();
        QCOMPARE(p2.fieldByName(QStringLiteral("ICALID")).asInteger(), 0);
    }

    void selectionWindowFiltersAndRun()
    {
        ScriptedResponder ui;
        TVelImportOptions o;
        o.IDWGID = 1;
        o.anno = 2025;
        TfmVelImpMultiSelect w(*store, o, nullptr);
        w.import().setCartellaTabelle(QStringLiteral(VELCU_STAGE_DIR "/USR/KZ2025/Res/Tabelle"));
        QVERIFY(w.carica());
        w.show();
        QApplication::processEvents();
        QCOMPARE(w.windowTitle(), QStringLiteral("Scelta dipendenti"));
        // Every payee paid in the year but the external refund (position 9).
        QCOMPARE(w.lbInfo->text(), QStringLiteral("Prenotati: 39"));
        QCOMPARE(w.cbTnoFiltro->itemText(0), QStringLiteral("(Tutte)"));
        QCOMPARE(w.modello()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Dipendente"));
        QVERIFY(w.rbChiediConferma->isChecked());

        // Filter: fixed-term teachers (position 3).
        w.cbTnoFiltro->setCurrentIndex(w.cbTnoFiltro->findData(3));
        QCOMPARE(w.testoFiltro(), QStringLiteral("ITNOORVEXCODE=3"));
        const int fixedTerm = w.modello()->rowCount();
        QVERIFY(fixedTerm >= 3);
        QCOMPARE(w.lbInfo->text(), QStringLiteral("Prenotati: %1").arg(fixedTerm));
        w.grMain->selectRow(0);
        QCOMPARE(w.lbInfo->text(), QStringLiteral("Prenotati: 1"));
        saveShot(&w, "import-selection-filtered.png");
        w.selectNone();
        // Category too: the filter joins both with AND.
        w.cbCalFiltro->setCurrentIndex(w.cbCalFiltro->findData(1));
        QCOMPARE(w.testoFiltro(), QStringLiteral("ICALORVEXCODE=1 AND ITNOORVEXCODE=3"));
        w.cbCalFiltro->setCurrentIndex(0);
        w.cbTnoFiltro->setCurrentIndex(w.cbTnoFiltro->findData(11));
        QCOMPARE(w.modello()->rowCount(), 1);   // the collaborator

        // OK with nothing selected: every row of the filtered list.
        QCOMPARE(w.listaLavoro(), QList<int>{106});
        w.rbSovrascriviSempre->setChecked(true);
        QVERIFY(w.clickOk());
        // The end says what was done, then the log: the collaboration runs
        // from October 2024, its days are set to 2025's.
        QVERIFY2(ui.lastText().startsWith(QStringLiteral("Importazione terminata: 1 certificazioni importate, 0 mantenute, "
                                                         "0 scartate, 0 con errori.")),
                 qPrintable(ui.lastText()));
        QVERIFY(ui.lastText().contains(QStringLiteral("Dipendente COLOMBO PAOLO\r\n--- Sezione fiscale")));
        QVERIFY(ui.lastText().contains(QStringLiteral("calcolato sul periodo lavorato nell'anno: 181.")));
        QCOMPARE(ui.shown().last().caption, QStringLiteral("Informazioni"));
        QCOMPARE(TVelImportCud::esito(w.ultimoEsito()).importati, 1);
        QCOMPARE(w.pbProgresso->value(), 1);
        QCOMPARE(w.lbProgresso->text(), QStringLiteral("COLOMBO PAOLO"));
    }

    // The end of a run lists its counts and every employee not imported with
    // the reason; "Annulla" during a run stops it after the current employee.
    void runReportAndCancel()
    {
        ScriptedResponder ui;
        TVelImportOptions o;
        o.IDWGID = 1;
        o.anno = 2025;
        const auto window = [&] {
            auto w = std::make_unique<TfmVelImpMultiSelect>(*store, o, nullptr);
            w->import().setCartellaTabelle(QStringLiteral(VELCU_STAGE_DIR "/USR/KZ2025/Res/Tabelle"));
            w->import().hooks().onPosizioni = {};
            w->carica();
            w->rbSovrascriviSempre->setChecked(true);
            w->show();
            QApplication::processEvents();
            return w;
        };
        {
            auto w = window();
            // DE LUCA (payments not sent to NoiPA), COSTA (no tax code), ROSSI.
            const int key = w->lista()->fieldIndex(QStringLiteral("IACOMID"));
            for (int r = 0; r < w->lista()->recordCount(); ++r)
                if (QList<int>{113, 115, 101}.contains(w->lista()->valueAt(r, key).toInt()))
                    w->grMain->selectionModel()->select(w->grMain->model()->index(r, 0),
                                                        QItemSelectionModel::Select | QItemSelectionModel::Rows);
            QCOMPARE(w->listaLavoro().size(), 3);
            QVERIFY(w->clickOk());
            const QString report = ui.lastText();
            QVERIFY2(report.startsWith(QStringLiteral("Importazione terminata: 1 certificazioni importate, "
                                                      "0 mantenute, 1 scartate, 1 con errori.")),
                     qPrintable(report));
            QVERIFY2(report.contains(QStringLiteral("- DE LUCA GIULIA (DLCGLI82C61G273U): Impossibile crea la "
                                                     "Certificazione")),
                     qPrintable(report));
            QVERIFY(report.contains(QStringLiteral("- COSTA ELENA: Dipendente senza codice fiscale")));
        }
        ui.clear();
        auto w = window();
        bool lockedDuringRun = false;
        const auto step = w->import().hooks().onProgress;
        w->import().hooks().onProgress = [&](int pos, int count, const QString &who) {
            step(pos, count, who);
            if (pos != 2)
                return;
            w->buCancel->click();
            lockedDuringRun = w->isVisible() && !w->buOk->isEnabled() && !w->grMain->isEnabled();
        };
        QVERIFY(w->clickOk());
        QVERIFY(lockedDuringRun);
        const TVelRunOutcome &out = w->ultimoEsito();
        QVERIFY(out.cancelled);
        QCOMPARE(out.payees.size(), 39);
        QCOMPARE(out.count(TVelResult::NonEseguito), 37);
        QVERIFY2(ui.lastText().contains(QStringLiteral("Importazione annullata dall'utente: 37 dipendenti non "
                                                       "elaborati.")),
                 qPrintable(ui.lastText()));
        QVERIFY(w->buCancel->isEnabled() && w->grMain->isEnabled());
    }

    // The window's end report has the command line's sections (the payees
    // paid and not listed too, once the whole list was imported), says why a
    // CU was kept and what to correct in the payroll, wraps its long lines and
    // is kept in the year's folder, shown again from the menu until the next
    // import replaces it.
    void theReportIsCompleteAndKept()
    {
        QTemporaryDir data;
        qputenv("VELCU_DATA_DIR", data.path().toUtf8());
        const auto restore = qScopeGuard([] { qunsetenv("VELCU_DATA_DIR"); });
        ScriptedResponder ui;
        TdmVelAttivazioni::ShowImportReport();
        QCOMPARE(ui.texts(), QStringList{VelImportReport::noneYet()});

        TVelImportOptions o;
        o.IDWGID = 1;
        o.anno = 2025;
        const auto run = [&](bool overwrite, const QList<int> &picked) {
            TfmVelImpMultiSelect w(*store, o, nullptr);
            w.import().setCartellaTabelle(QStringLiteral(VELCU_STAGE_DIR "/USR/KZ2025/Res/Tabelle"));
            w.import().hooks().onPosizioni = {};
            w.carica();
            (overwrite ? w.rbSovrascriviSempre : w.rbNonSovrascrivere)->setChecked(true);
            const int key = w.lista()->fieldIndex(QStringLiteral("IACOMID"));
            for (int r = 0; r < w.lista()->recordCount(); ++r)
                if (picked.contains(w.lista()->valueAt(r, key).toInt()))
                    w.grMain->selectionModel()->select(w.grMain->model()->index(r, 0),
                                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
            w.show();
            QApplication::processEvents();
            return w.clickOk() ? ui.lastText().split(QStringLiteral("\r\n")) : QStringList();
        };
        const auto kept = [] {
            const QStringList file = VelImportReport::load();
            // the first line says when and for which year
            return file.size() > 2 && file.at(0).startsWith(QStringLiteral("Importazione del "))
                           && file.at(0).endsWith(QStringLiteral("anno finanziario 2025"))
                       ? file.mid(2)
                       : file;
        };

        // the whole list: nothing selected, no filter
        const QStringList all = run(true, {});
        QVERIFY(!all.isEmpty());
        const auto line = [&](const QStringList &report, const QString &start) {
            for (const QString &l : report)
                if (l.startsWith(start))
                    return l;
            return QString();
        };
        QVERIFY2(line(all, QStringLiteral("- GENTILE ELISA (GNTLSE91P49H199A): pagato nell'anno 120,00")).size() > 0,
                 qPrintable(all.join(u'\n')));
        QCOMPARE(all.mid(all.indexOf(QStringLiteral("--- Pagati nell'anno e non in elenco"))).size(), 2);
        QCOMPARE(line(all, QStringLiteral("- COSTA ELENA: ")),
                 QStringLiteral("- COSTA ELENA: Dipendente senza codice fiscale. ") + VelImportReport::remedyNoTaxCode());
        QCOMPARE(line(all, QStringLiteral("- DE LUCA GIULIA ")),
                 QStringLiteral("- DE LUCA GIULIA (DLCGLI82C61G273U): Impossibile crea la Certificazione: Esistono "
                                "liquidazioni non inviate a NoiPa. ")
                     + VelImportReport::remedyMixedSources());
        QCOMPARE(kept(), all);

        // CUs already there, not overwritten: kept, saying why and how to
        // import them anyway; the next report replaces the one before
        const QStringList again = run(false, {});
        QVERIFY2(again.first().startsWith(QStringLiteral("Importazione terminata: 0 certificazioni importate, 37 "
                                                         "mantenute")),
                 qPrintable(again.first()));
        const QString rossi = line(again, QStringLiteral("- ROSSI MARIO "));
        const QString cf = rossi.section(u'(', 1).section(u')', 0, 0);
        QCOMPARE(rossi, QStringLiteral("- ROSSI MARIO (%1): CU già presente in archivio: mantenuta, si è scelto di non "
                                       "sovrascriverla. %2")
                            .arg(cf, VelImportReport::remedyNotOverwritten(cf)));
        QVERIFY(rossi.contains(QStringLiteral("--cf ") + cf));
        const qsizetype keptAt = again.indexOf(QStringLiteral("--- CU mantenute"));
        QVERIFY(keptAt > again.indexOf(QStringLiteral("--- Dipendenti non importati")));
        QVERIFY(keptAt < again.indexOf(QStringLiteral("--- Pagati nell'anno e non in elenco")));
        QCOMPARE(kept(), again);

        // the kept report on screen: long lines wrap, nothing to scroll sideways
        TfmVelInfo dlg;
        dlg.setLines(kept(), false);
        dlg.resize(900, 640);
        dlg.show();
        QApplication::processEvents();
        QVERIFY(!dlg.meInfo->horizontalScrollBar()->isVisible());
        const QString dir = qEnvironmentVariable("VELCU_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            // its end, as it stands on a 1024x768 screen
            dlg.meInfo->verticalScrollBar()->setValue(dlg.meInfo->verticalScrollBar()->maximum());
            dlg.meInfo->horizontalScrollBar()->setValue(0);
            QPixmap screen(1024, 768);
            screen.fill(QColor(0x3a, 0x6e, 0xa5));
            QPainter painter(&screen);
            const QPixmap shot = dlg.grab();
            painter.drawPixmap((1024 - shot.width()) / 2, (768 - shot.height()) / 2, shot);
            painter.end();
            screen.save(QDir(dir).filePath(QStringLiteral("import-report-kept.png")));
        }
        dlg.close();

        // the menu item shows the kept report
        ui.clear();
        TdmVelAttivazioni::ShowImportReport();
        QCOMPARE(ui.shown().size(), 1);
        QCOMPARE(ui.shown().first().caption, QStringLiteral("Informazioni"));
        QCOMPARE(ui.lastText().split(QStringLiteral("\r\n")).mid(2), again);
    }

    void emptyCandidateList()
    {
        ScriptedResponder ui;
        TClientDataSet p;
        makeParametri(p, false);
        p.fieldByName(QStringLiteral("ICALID")).setAsInteger(99);   // a category nobody is in
        p.fieldByName(QStringLiteral("IMESID")).setAsInteger(12);
        p.post();
        TVelImportOptions o = TVelImportOptions::fromParametri(p);
        o.IDWGID = 1;
        TfmVelImpMultiSelect w(*store, o, nullptr);
        QVERIFY(!w.carica());
        QCOMPARE(ui.shown().size(), 0);
    }

    void positionsDialog()
    {
        TClientDataSet rows;
        positionRows(rows, {{1, 1, QStringLiteral("TEMPO INDETERMINATO"), 1, 1},
                            {2, 2, QStringLiteral("TEMPO INDETERMINATO PART-TIME"), 1, 1}});
        TfmVelCudTno dlg;
        dlg.prepara(rows, false, QStringLiteral("ROMANO MARCO"));
        dlg.show();
        QApplication::processEvents();
        QVERIFY(dlg.windowTitle().contains(QStringLiteral("ROMANO MARCO")));
        QVERIFY(!dlg.chCoCoCo->isVisible());
        // A flag cell toggles; the description does not.
        dlg.frVelCudTno->toggle(1, 2);
        dlg.frVelCudTno->toggle(1, 1);
        rows.setRecNo(2);
        QCOMPARE(rows.fieldByName(QStringLiteral("LPER_ALTRI_DATI")).asInteger(), 0);
        QCOMPARE(rows.fieldByName(QStringLiteral("STNOLDESC")).asString(),
                 QStringLiteral("TEMPO INDETERMINATO PART-TIME"));
        // Flags drawn as check boxes, explained above the list; a click toggles.
        QVERIFY(dlg.lbIstruzioni->isVisible());
        QVERIFY(dlg.lbIstruzioni->text().contains(QStringLiteral("barra spaziatrice")));
        const QRect cell = dlg.frVelCudTno->grTno->visualRect(dlg.frVelCudTno->grTno->model()->index(1, 2));
        QTest::mouseClick(dlg.frVelCudTno->grTno->viewport(), Qt::LeftButton, {}, cell.center());
        rows.setRecNo(2);
        QCOMPARE(rows.fieldByName(QStringLiteral("LPER_ALTRI_DATI")).asInteger(), 1);
        // The space bar on the INPS cell.
        dlg.frVelCudTno->grTno->setCurrentIndex(dlg.frVelCudTno->grTno->model()->index(0, 3));
        QTest::keyClick(dlg.frVelCudTno->grTno, Qt::Key_Space);
        rows.setRecNo(1);
        QCOMPARE(rows.fieldByName(QStringLiteral("LPER_INPS")).asInteger(), 0);
        QCOMPARE(rows.recordCount(), 2);
        saveShot(&dlg, "import-positions.png");
    }

    void messageWindow()
    {
        const QStringList lines{QStringLiteral("Dipendente BIANCHI LAURA"), QStringLiteral("--- Sezione fiscale"),
                                QStringLiteral("- Giorni per detrazioni non congruenti con i giorni di lavoro "
                                               "calcolati (365):\r\n  (verificare campi 6,8 e 9 dei Dati fiscali)"),
                                QString(), QStringLiteral("Dipendente MANCINI DAVIDE"),
                                QStringLiteral("- Data inizio rapporto in anagrafica non è impostata.")};
        TfmVelInfo dlg;
        dlg.setLines(lines, false);
        dlg.show();
        QApplication::processEvents();
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Informazioni"));
        QVERIFY(dlg.meInfo->isReadOnly());
        QVERIFY(!dlg.buSi->isVisible());
        QCOMPARE(dlg.buOk->text(), QStringLiteral("OK"));
        saveShot(&dlg, "import-log.png");
        dlg.setLines(lines, true);
        QVERIFY(dlg.buSi->isVisible());
        QVERIFY(dlg.lbDomanda->isVisible());
        QCOMPARE(dlg.buOk->text(), QStringLiteral("No"));

        // "Blocco note": a new text file with the lines, opened by the shell.
        RecordingShell shell;
        const QString path = dlg.bloccoNote();
        QVERIFY(path.endsWith(QStringLiteral(".txt")));
        QCOMPARE(shell.documents.size(), 1);
        QCOMPARE(shell.documents.first().filePath, path);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromUtf8(f.readAll()), lines.join(QStringLiteral("\r\n")));
        f.close();
        QFile::remove(path);

        // Through the message seam: the question answered by the script.
        ScriptedResponder ui;
        ui.answer(mrYes, QStringLiteral("Si desidera proseguire?"));
        QCOMPARE(TfmVelInfo::Execute(lines, true), mrYes);
        QCOMPARE(ui.shown().last().caption, QStringLiteral("Informazioni"));
        QCOMPARE(TfmVelInfo::Execute(lines), mrOk);
    }
};

QTEST_MAIN(TstDbImportWindows)
#include "tst_db_import_windows.moc"
