// The CU editor's pages: the search window and the code lookups, every page
// fitting the screen's width, every page of a filled CU (with VELCU_SCREENSHOT_DIR
// set, a picture of each).
#include "support/CuEditorFixture.h"

class TstDbCuEditorPages : public QObject
{
    Q_OBJECT
    std::shared_ptr<QuietWait> m_wait = std::make_shared<QuietWait>();

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        setTorWaitIndicator(m_wait);
    }

    void searchWindowFindsByPrefixInTheCaseTyped()
    {
        TClientDataSet table;
        table.addFieldDef(QStringLiteral("Codice"), TFieldType::String, 3);
        table.addFieldDef(QStringLiteral("Descrizione"), TFieldType::String, 60);
        table.addFieldDef(QStringLiteral("Numero"), TFieldType::Integer);
        table.createDataSet();
        table.appendRecord({QStringLiteral("ZA"), QStringLiteral("Zeta"), 30});
        table.appendRecord({QStringLiteral("AB"), QStringLiteral("Alfa beta"), 10});
        table.appendRecord({QStringLiteral("AC"), QStringLiteral("alfa gamma"), 20});
        table.appendRecord({QStringLiteral("BD"), QStringLiteral("Beta"), 40});
        TfmTorRicerca fm;
        fm.setSourceData(table, QStringLiteral("prova"));
        fm.show();
        QCOMPARE(fm.windowTitle(), QStringLiteral("Finestra di ricerca"));
        QCOMPARE(fm.lbCerca->text(), QStringLiteral("Cerca per Codice"));
        QCOMPARE(fm.currentKey().toString(), QStringLiteral("AB")); // sorted by the first column

        QTest::keyClicks(fm.edCerca, "B");
        QCOMPARE(fm.currentKey().toString(), QStringLiteral("BD"));
        fm.edCerca->clear();
        QTest::keyClicks(fm.edCerca, "b");
        QCOMPARE(fm.currentKey().toString(), QStringLiteral("BD")); // not found: the row stays
        QVERIFY(!fm.search(QStringLiteral("b")));

        fm.sortByColumn(1);
        QCOMPARE(fm.lbCerca->text(), QStringLiteral("Cerca per Descrizione"));
        QCOMPARE(fm.edCerca->text(), QString());
        QVERIFY(fm.search(QStringLiteral("alfa")));
        QCOMPARE(fm.currentKey().toString(), QStringLiteral("AC"));
        QVERIFY(fm.search(QStringLiteral("Alfa")));
        QCOMPARE(fm.currentKey().toString(), QStringLiteral("AB"));
        fm.sortByColumn(2);
        QVERIFY(fm.search(QStringLiteral("20")));
        QCOMPARE(fm.currentKey().toString(), QStringLiteral("AC"));
        QVERIFY(!fm.search(QStringLiteral("2"))); // numbers match exactly

        // Keys of the box.
        QTest::keyClick(fm.edCerca, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(fm.currentKey().toString(), QStringLiteral("BD"));
        QTest::keyClick(fm.edCerca, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(fm.currentKey().toString(), QStringLiteral("AB"));
        QTest::keyClick(fm.edCerca, Qt::Key_Down);
        QCOMPARE(fm.currentKey().toString(), QStringLiteral("AC"));
        QTest::keyClick(fm.edCerca, Qt::Key_Up);
        QCOMPARE(fm.currentKey().toString(), QStringLiteral("AB"));
        QTest::keyClick(fm.edCerca, Qt::Key_PageDown);
        QCOMPARE(fm.currentKey().toString(), QStringLiteral("BD"));
        const int col = fm.grRicerca->currentIndex().column();
        QTest::keyClick(fm.edCerca, Qt::Key_Left);
        QCOMPARE(fm.grRicerca->currentIndex().column(), qMax(0, col - 1));
        fm.hide();

        // Codes of digits in the order of their numbers; codes with letters by their text.
        const QList<std::pair<QStringList, QStringList>> orders = {
            {{"2", "10", "1", "11"}, {"1", "2", "10", "11"}},
            {{"02", "10", "01"}, {"01", "02", "10"}},
            {{"B1", "10", "A"}, {"10", "A", "B1"}}};
        for (const auto &[codes, sorted] : orders) {
            TClientDataSet codeTable;
            codeTable.addFieldDef(QStringLiteral("Codice"), TFieldType::String, 3);
            codeTable.createDataSet();
            for (const QString &c : codes)
                codeTable.appendRecord({c});
            TfmTorRicerca codesFm;
            codesFm.setSourceData(codeTable, QStringLiteral("codici"));
            QStringList shown;
            for (int r = 0; r < codesFm.grRicerca->model()->rowCount(); ++r)
                shown << codesFm.grRicerca->model()->index(r, 0).data().toString();
            QCOMPARE(shown, sorted);
        }
    }

    void codeFieldsOpenTheirTableAndKeepTypedCodes()
    {
        Fixture fx;
        fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("ROSSI"), QStringLiteral("MARIO"), QStringLiteral("12"));
        ScriptedResponder r;
        auto fm = openEditor(fx);
        TfrVelCud *fr = fm->frVelCud;
        fr->showPage(QStringLiteral("Dati Fiscali - Parte 2"));
        QApplication::processEvents();
        auto *code = fr->findChild<TTorDbEdit *>(QStringLiteral("edSCUDCODONDETR1"));
        QVERIFY(code);
        QString firstCode;
        int tableRows = 0;
        whenModal([&](QWidget *w) {
            auto *s = qobject_cast<TfmTorRicerca *>(w);
            if (!s)
                return (void)w->close();
            tableRows = s->cdsRicerca->recordCount();
            shot(s, QStringLiteral("cu-editor-search-window.png"));
            QTest::keyClick(s->edCerca, Qt::Key_Down);
            firstCode = s->currentKey().toString();
            s->buOK->click();
        });
        code->setFocus();
        QTest::keyClick(code, Qt::Key_F8);
        QVERIFY(tableRows > 10);
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Edit);
        QVERIFY(!firstCode.isEmpty());
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("SCUDCODONDETR1")).asString(), firstCode);
        // Annulla leaves the field as it is.
        whenModal([](QWidget *w) { qobject_cast<TfmTorRicerca *>(w)->buAnnulla->click(); });
        QTest::keyClick(code, Qt::Key_F8);
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("SCUDCODONDETR1")).asString(), firstCode);
        // A code not in the table is kept.
        code->selectAll();
        QTest::keyClicks(code, "99");
        fr->acConferma->trigger();
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("SCUDCODONDETR1")).asString(), QStringLiteral("99"));

        // The other agent is chosen among the stored other agents, by tax code.
        {
            TClientDataSet altri;
            fx.store.Load(altri, QStringLiteral("TCUAS_DATIALTRISOST"));
            altri.append();
            set(altri, "SSOSCODFIS", QStringLiteral("80012345678"));
            set(altri, "SSOSDENOM", QStringLiteral("UFFICIO SCOLASTICO REGIONALE"));
            set(altri, "SSOSCOMUNE", QStringLiteral("BOLOGNA"));
            altri.post();
            fx.store.Save(altri, QStringLiteral("TCUAS_DATIALTRISOST"));
        }
        bool rowNumberHidden = false;
        whenModal([&](QWidget *w) {
            auto *s = qobject_cast<TfmTorRicerca *>(w);
            if (!s)
                return (void)w->close();
            rowNumberHidden = true;
            for (int c = 0; c < s->grRicerca->model()->columnCount(); ++c)
                rowNumberHidden = rowNumberHidden &&
                                  s->grRicerca->model()->headerData(c, Qt::Horizontal).toString().toUpper() != QLatin1String("IFISRIGO");
            if (s->currentKey().isValid())
                s->buOK->click();
            else
                s->buAnnulla->click();
        });
        auto *altro = fr->findChild<TTorDbEdit *>(QStringLiteral("edSCUDALTROSOSCODFIS"));
        QVERIFY(altro);
        altro->setFocus();
        QTest::keyClick(altro, Qt::Key_F8);
        QVERIFY(rowNumberHidden);
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("SCUDALTROSOSCODFIS")).asString(), QStringLiteral("80012345678"));

        // A missing table: a message naming it, no crash, the field unchanged.
        VelFieldDesc missing;
        missing.name = QStringLiteral("SCUDCODONDETR2");
        missing.kind = VelFieldKind::Lookup;
        missing.table = QStringLiteral("TXXX_NONESISTE.CDS");
        fr->lookup(fr->findChild<TTorDbEdit *>(QStringLiteral("edSCUDCODONDETR2")), missing);
        QCOMPARE(r.lastText(), QStringLiteral("Tabella codici non trovata: TXXX_NONESISTE.CDS"));
        // A table without codes, or one that cannot be read: said so, naming it.
        QTemporaryDir dir;
        {
            TClientDataSet empty;
            empty.addFieldDef(QStringLiteral("Codice"), TFieldType::String, 2);
            empty.addFieldDef(QStringLiteral("Descrizione"), TFieldType::String, 60);
            empty.createDataSet();
            empty.saveToFile(dir.filePath(QStringLiteral("TVUOTA.cds")));
            QFile junk(dir.filePath(QStringLiteral("TROTTA.cds")));
            QVERIFY(junk.open(QIODevice::WriteOnly));
            junk.write("non una tabella");
        }
        TClientDataSet t;
        try {
            VelLookup::loadTable(t, QStringLiteral("TVUOTA.CDS"), dir.path());
            QFAIL("an empty table was accepted");
        } catch (const EOvError &e) {
            QCOMPARE(e.message(), QStringLiteral("La tabella codici TVUOTA.CDS non contiene codici."));
        }
        try {
            VelLookup::loadTable(t, QStringLiteral("TROTTA.CDS"), dir.path());
            QFAIL("a broken table was accepted");
        } catch (const EOvError &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Impossibile leggere la tabella codici TROTTA.CDS: ")),
                     qPrintable(e.message()));
        }
        fr->acAnnulla->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
    }

    void everyPageFitsTheWidthOfTheScreen()
    {
        Fixture fx;
        const qint64 afi = fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("ROSSI"), QStringLiteral("MARIO"),
                                 QStringLiteral("12"));
        fx.inps(afi, QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("12"), "100");
        ScriptedResponder r;
        auto fm = openEditor(fx); // 1280 x 760, the window of a 1280 x 800 screen
        TfrVelCud *fr = fm->frVelCud;
        QStringList wide;
        const auto check = [&](const QString &where) {
            QApplication::processEvents();
            for (QScrollArea *area : fm->findChildren<QScrollArea *>()) {
                if (!area->isVisible() || !area->widget())
                    continue;
                const int need = area->widget()->minimumSizeHint().width();
                if (need > area->viewport()->width())
                    wide << QStringLiteral("%1: %2 > %3").arg(where).arg(need).arg(area->viewport()->width());
            }
        };
        for (int i = 0; i < fr->pcCud->count(); ++i) {
            fr->showPage(fr->pcCud->tabText(i));
            if (TfrVelSection *sec = fr->activeSection()) {
                sec->showDetail();
                if (auto *pages = sec->findChild<QTabWidget *>(QStringLiteral("pcPagine"))) {
                    for (int p = 0; p < pages->count(); ++p) {
                        pages->setCurrentIndex(p);
                        check(fr->pcCud->tabText(i) + QStringLiteral(" / ") + pages->tabText(p));
                    }
                    continue;
                }
            }
            check(fr->pcCud->tabText(i));
        }
        QVERIFY2(wide.isEmpty(), qPrintable(wide.join(QStringLiteral("; "))));
    }

    void everyPageOfAFilledCu()
    {
        if (qEnvironmentVariableIsEmpty("VELCU_SCREENSHOT_DIR"))
            QSKIP("pictures only with VELCU_SCREENSHOT_DIR");
        Fixture fx;
        fx.agent(QStringLiteral("IL DIRIGENTE SCOLASTICO PROF.SSA MARIA GRAZIA DELLE FONTANE"));
        const VelRecordModel &m = VelRecordModel::instance();
        const auto fill = [&m](TClientDataSet &ds, const QString &structure) {
            const VelStructureDesc &s = m.structure(structure);
            int n = 0;
            for (const VelFieldDesc &f : s.fields) {
                if (f.page.isEmpty() || f.name == QLatin1String("SCUDMESE") || f.name == QLatin1String("SCUDCODFIS") ||
                    f.name == QLatin1String("SCUDCOGNOME") || f.name == QLatin1String("SCUDNOME"))
                    continue;
                ++n;
                switch (f.kind) {
                case VelFieldKind::Amount:
                    ds.fieldByName(f.name).setAsCurrency(Currency::fromUnits(123456789000LL + n * 1111LL));
                    break;
                case VelFieldKind::Integer:
                    ds.fieldByName(f.name).setAsInteger(2025);
                    break;
                case VelFieldKind::Date:
                    ds.fieldByName(f.name).setAsDate(QDate(2025, 9, 1));
                    break;
                case VelFieldKind::FlagX:
                case VelFieldKind::Flag1:
                    ds.fieldByName(f.name).setAsString(n % 2 ? f.flagSetValue() : QStringLiteral("0"));
                    break;
                case VelFieldKind::List:
                    ds.fieldByName(f.name).setAsString(f.values.value(1).code);
                    break;
                case VelFieldKind::Memo:
                    ds.fieldByName(f.name).setAsString(
                        QStringLiteral("(AA) Redditi erogati da altri soggetti\r\n(BB) Somme non soggette a tassazione"));
                    break;
                default: {
                    // Full-length values of capitals, as names and codes are.
                    QString v;
                    while (v.size() < f.size)
                        v += QStringLiteral("MARTINENGO DA BARCO ");
                    ds.fieldByName(f.name).setAsString(v.left(qMax(1, f.size)).trimmed());
                    break;
                }
                }
            }
        };
        const qint64 afi = fx.cu(QStringLiteral("DLLFNT72S61F839Z"), QStringLiteral("DELLE FONTANE DI SANT'ANGELO"),
                                 QStringLiteral("MARIA GRAZIA ADDOLORATA"), QStringLiteral("12"), 0,
                                 [&](TClientDataSet &ds) { fill(ds, QStringLiteral("TCUD_DATICUD")); });
        for (int i = 0; i < 30; ++i)
            fx.cu(QStringLiteral("RSSMRA80A01H5%1U").arg(i, 2, 10, QChar(u'0')), QStringLiteral("ROSSI %1").arg(i),
                  QStringLiteral("MARIO"), i % 3 ? QStringLiteral("12") : QStringLiteral("06"), i % 4 == 0);
        const QStringList sections = {QStringLiteral("TCUDI_INPS"), QStringLiteral("TCUDN_INPDAP"),
                                      QStringLiteral("TCUIN_INAIL"), QStringLiteral("TCUDAE_ALTRIENTI"),
                                      QStringLiteral("TCUDCA_COOPART"), QStringLiteral("TCUDT_TFR"),
                                      QStringLiteral("TASE_AUTSOMMEEROGATE"), QStringLiteral("TCUDC_CONFAMCARICO")};
        for (const QString &st : sections) {
            TClientDataSet ds;
            fx.store.Load(ds, st, TTorDBCds::AllMonths, TTorDBCds::Default, int(afi));
            ds.append();
            fill(ds, st);
            set(ds, "iAfiID", afi);
            set(ds, "SCUDCODFIS", QStringLiteral("DLLFNT72S61F839Z"));
            set(ds, "SCUDMESE", QStringLiteral("12"));
            ds.post();
            fx.store.Save(ds, st, 12);
        }
        ScriptedResponder r;
        auto fm = openEditor(fx);
        TfrVelCud *fr = fm->frVelCud;
        shot(fm.get(), QStringLiteral("cu-editor-grid.png"));
        QVERIFY(locateCu(fr, QStringLiteral("DLLFNT72S61F839Z")));
        for (int i = 0; i < fr->pcCud->count(); ++i) {
            const QString caption = fr->pcCud->tabText(i);
            fr->showPage(caption);
            if (TfrVelSection *sec = fr->activeSection())
                sec->showDetail();
            QString file = caption.toLower();
            file.replace(QRegularExpression(QStringLiteral("[^a-z0-9]+")), QStringLiteral("-"));
            shot(fm.get(), QStringLiteral("cu-editor-page-%1-%2.png").arg(i + 1, 2, 10, QChar(u'0')).arg(file));
            if (fr->activeSection() == fr->frVelTFR) {
                auto *pages = fr->frVelTFR->findChild<QTabWidget *>(QStringLiteral("pcPagine"));
                for (int p = 1; p < pages->count(); ++p) {
                    pages->setCurrentIndex(p);
                    shot(fm.get(), QStringLiteral("cu-editor-page-%1-tfr-%2.png").arg(i + 1, 2, 10, QChar(u'0')).arg(p + 1));
                }
            }
        }
    }
};

QTEST_MAIN(TstDbCuEditorPages)
#include "tst_db_cu_editor_pages.moc"
