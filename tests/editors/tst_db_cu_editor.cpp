// The CU editor on a real store: opening, signature alignment, the
// Confirm-only rule, new CUs and their dialog, printed CUs and unlocking,
// delete questions, section rows, lazy loading of sections, the dependants'
// month boxes, amount formats, annotations, a failing save that keeps what was typed,
// closing with a pending change, the toolbar keys. The pages themselves are
// tst_db_cu_editor_pages.
#include "support/CuEditorFixture.h"

class TstDbCuEditor : public QObject
{
    Q_OBJECT
    std::shared_ptr<QuietWait> m_wait = std::make_shared<QuietWait>();

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        setTorWaitIndicator(m_wait);
    }

    void opensEveryCuInOrderAndAlignsTheSignature()
    {
        Fixture fx;
        fx.agent(QStringLiteral("IL DIRIGENTE SCOLASTICO"));
        fx.cu(QStringLiteral("VRDLGU70B02F205X"), QStringLiteral("VERDI"), QStringLiteral("LUIGI"), QStringLiteral("12"));
        const qint64 printed = fx.cu(QStringLiteral("BNCNNA75C41H501Y"), QStringLiteral("BIANCHI"),
                                     QStringLiteral("ANNA"), QStringLiteral("12"), 1);
        fx.cu(QStringLiteral("BNCNNA75C41H501Y"), QStringLiteral("BIANCHI"), QStringLiteral("ANNA"),
              QStringLiteral("03"));
        ScriptedResponder r;
        auto fm = openEditor(fx);
        TfrVelCud *fr = fm->frVelCud;
        QCOMPARE(fm->windowTitle(), QStringLiteral("Modello CU"));
        QVERIFY(fm->openMaximized());
        QCOMPARE(fr->cdsMain->recordCount(), 3);
        QCOMPARE(fr->pcMain->currentWidget(), fr->tsGriglia);
        QCOMPARE(fr->pcCud->tabText(0), QStringLiteral("Dati Anagrafici"));
        QCOMPARE(fr->pcCud->count(), 16);
        // Toolbar: captions, hints and keys.
        const QList<QStringList> actions = {
            {"&Primo", "Primo elemento", "Ctrl+Home"}, {"Pre&cedente", "Elemento precedente", "Ctrl+Up"},
            {"&Successivo", "Elemento successivo", "Ctrl+Down"}, {"&Ultimo", "Ultimo elemento", "Ctrl+End"},
            {"&Inserisci", "Nuovo elemento", "Ctrl+Ins"}, {"C&ancella", "Cancella elemento", "Ctrl+Del"},
            {"&Modifica", "Modifica elemento", "F2"}, {"C&onferma", "Conferma modifiche", "Ctrl+Return"},
            {"A&nnulla", "Annulla modifiche ", "Ctrl+Z"}};
        const QList<QAction *> bar = {fr->acPrimo, fr->acPrecedente, fr->acSuccessivo, fr->acUltimo, fr->acInserisci,
                                      fr->acCancella, fr->acModifica, fr->acConferma, fr->acAnnulla};
        for (int i = 0; i < bar.size(); ++i) {
            QCOMPARE(bar[i]->text(), actions[i][0]);
            QCOMPARE(bar[i]->statusTip(), actions[i][1]);
            QVERIFY2(bar[i]->toolTip().contains(actions[i][2]), qPrintable(bar[i]->toolTip()));
        }
        // Surname, name, month.
        QCOMPARE(fr->cdsMain->recNo(), 1);
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("SCUDMESE")).asString(), QStringLiteral("03"));
        fr->next();
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("SCUDMESE")).asString(), QStringLiteral("12"));
        QCOMPARE(fr->counterText(), QStringLiteral("2 di 3"));
        // Every CU now carries the agent's signature; the printed one stays printed.
        QCOMPARE(fx.value(QStringLiteral("TCUD_DATICUD"), printed, QStringLiteral("SCUDDATIANAFIRMA")).toString(),
                 QStringLiteral("IL DIRIGENTE SCOLASTICO"));
        QCOMPARE(fx.value(QStringLiteral("TCUD_DATICUD"), printed, QStringLiteral("iCudStato")).toLongLong(), 1);
        QVERIFY(r.texts().isEmpty());

        // Grid: printed in red, flags as a centred X, sort by a title.
        QVERIFY(locateCu(fr, QStringLiteral("BNCNNA75C41H501Y")));
        int printedRow = -1;
        for (int i = 0; i < fr->grModel->rowCount(); ++i) {
            if (fr->grModel->index(i, 0).data().toString() == QLatin1String("BNCNNA75C41H501Y") &&
                fr->grModel->index(i, 3).data().toString() == QLatin1String("12"))
                printedRow = i;
        }
        QVERIFY(printedRow >= 0);
        QCOMPARE(fr->grModel->index(printedRow, 0).data(Qt::ForegroundRole).value<QColor>(), QColor(Qt::red));
        QVERIFY(!fr->grModel->index(0, 0).data(Qt::ForegroundRole).value<QColor>().isValid() ||
                printedRow == 0);
        QHeaderView *header = fr->grMain->horizontalHeader();
        QVERIFY(header->isSortIndicatorShown());
        QCOMPARE(header->sortIndicatorSection(), 1);   // "Cognome"
        const auto surname = [fr] { return fr->cdsMain->fieldByName(QStringLiteral("SCUDCOGNOME")).asString(); };
        const auto month = [fr] { return fr->cdsMain->fieldByName(QStringLiteral("SCUDMESE")).asString(); };
        // Each title: the order, the indicator, and type-ahead in that column.
        const QList<std::tuple<int, QString, int, QString, QString>> sorts = {
            {3, QStringLiteral("SCUDMESE;SCUDCOGNOME;SCUDNOME"), 3, QStringLiteral("1"), QStringLiteral("BIANCHI")},
            {2, QStringLiteral("SCUDNOME;SCUDCOGNOME;SCUDMESE"), 2, QStringLiteral("l"), QStringLiteral("VERDI")},
            {0, QStringLiteral("SCUDCODFIS"), 0, QStringLiteral("V"), QStringLiteral("VERDI")},
            {4, QStringLiteral("SCUDCOGNOME;SCUDNOME;SCUDMESE"), 1, QStringLiteral("b"), QStringLiteral("BIANCHI")}};
        for (const auto &[section, order, indicator, key, found] : sorts) {
            header->sectionClicked(section);
            QCOMPARE(fr->cdsMain->indexFieldNames(), order);
            QCOMPARE(header->sortIndicatorSection(), indicator);
            QCOMPARE(header->sortIndicatorOrder(), Qt::AscendingOrder);
            fr->last();
            QTest::keyClicks(fr->grMain, key);
            QCOMPARE(surname(), found);
        }
        // The search box: surname or tax code, any case; Enter goes to the next match.
        QVERIFY(fr->edCerca->isVisible());
        auto *found = fr->findChild<QLabel *>(QStringLiteral("lbTrovato"));
        QTest::keyClicks(fr->edCerca, QStringLiteral("verdi l"));
        QCOMPARE(surname(), QStringLiteral("VERDI"));
        fr->edCerca->clear();
        QTest::keyClicks(fr->edCerca, QStringLiteral("bncnna"));
        QCOMPARE(surname(), QStringLiteral("BIANCHI"));
        const QString firstMonth = month();
        QTest::keyClick(fr->edCerca, Qt::Key_Return);
        QCOMPARE(surname(), QStringLiteral("BIANCHI"));
        QVERIFY(month() != firstMonth);
        QVERIFY(found->text().isEmpty());
        QTest::keyClicks(fr->edCerca, QStringLiteral("X"));
        QCOMPARE(found->text(), QStringLiteral("Nessuna CU trovata"));
        fr->edCerca->clear();
        shot(fm.get(), QStringLiteral("cu-editor-grid.png"));
    }

    void onlyConfirmPostsAndEveryConfirmIsStored()
    {
        Fixture fx;
        const qint64 afi = fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("ROSSI"), QStringLiteral("MARIO"),
                                 QStringLiteral("12"));
        fx.cu(QStringLiteral("VRDLGU70B02F205X"), QStringLiteral("VERDI"), QStringLiteral("LUIGI"), QStringLiteral("12"));
        ScriptedResponder r;
        auto fm = openEditor(fx);
        TfrVelCud *fr = fm->frVelCud;
        fr->editRow();
        QCOMPARE(fr->pcMain->currentWidget(), fr->tsDettaglio); // go-to-detail
        fr->cdsMain->fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(QStringLiteral("ROSSI BIANCHI"));
        fr->acSuccessivo->trigger();
        QCOMPARE(r.lastText(), QStringLiteral("Salvare prima di cambiare modello."));
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Edit);
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("SCUDCOGNOME")).asString(), QStringLiteral("ROSSI BIANCHI"));
        QCOMPARE(fx.value(QStringLiteral("TCUD_DATICUD"), afi, QStringLiteral("SCUDCOGNOME")).toString(),
                 QStringLiteral("ROSSI"));
        // The grid cannot move away either.
        fr->grMain->setCurrentIndex(fr->grModel->index(1, 0));
        QCOMPARE(fr->cdsMain->recNo(), 1);

        fr->acConferma->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
        QCOMPARE(fx.value(QStringLiteral("TCUD_DATICUD"), afi, QStringLiteral("SCUDCOGNOME")).toString(),
                 QStringLiteral("ROSSI BIANCHI"));
        // Typing in a box puts the row in edit; Annulla drops it.
        auto *ed = fr->findChild<TTorDbEdit *>(QStringLiteral("edSCUDCOMNAS"));
        QVERIFY(ed);
        ed->setFocus();
        QTest::keyClicks(ed, "ROMA");
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Edit);
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("SCUDCOMNAS")).asString(), QStringLiteral("ROMA"));
        fr->acAnnulla->trigger();
        QVERIFY(fr->cdsMain->fieldByName(QStringLiteral("SCUDCOMNAS")).isNull());
        QCOMPARE(ed->text(), QString());
    }

    void newCuDialogAndTaxCodeAreRequired()
    {
        Fixture fx;
        fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("ROSSI"), QStringLiteral("MARIO"), QStringLiteral("12"));
        ScriptedResponder r;
        auto fm = openEditor(fx);
        TfrVelCud *fr = fm->frVelCud;

        // The dialog refuses OK without a month, then is cancelled: no insert.
        bool refused = false;
        bool looks = false;
        whenModal([&](QWidget *w) {
            auto *dlg = qobject_cast<TfmVelCudIns *>(w);
            if (!dlg)
                return (void)w->close();
            looks = dlg->windowTitle() == QLatin1String("Conguaglio/Chiusura") &&
                    dlg->cbMese->currentText() == QLatin1String("Dicembre") && dlg->focusWidget() == dlg->chConguaglio;
            shot(dlg, QStringLiteral("cu-editor-new-cu-dialog.png"));
            dlg->cbMese->setCurrentIndex(0);
            dlg->buOK->click();
            refused = dlg->isVisible() && r.lastText() == QLatin1String("Mese di chiusura obbligatorio!!!");
            dlg->buAnnulla->click();
        });
        fr->acInserisci->trigger();
        QVERIFY(looks);
        QVERIFY(refused);
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
        QCOMPARE(fr->cdsMain->recordCount(), 1);

        // March with the adjustment: the month and the flags of a new CU.
        whenModal([](QWidget *w) {
            auto *dlg = qobject_cast<TfmVelCudIns *>(w);
            dlg->cbMese->setCurrentIndex(3);
            dlg->chConguaglio->setChecked(true);
            dlg->buOK->click();
        });
        fr->acInserisci->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Insert);
        QCOMPARE(fr->counterText(), QStringLiteral("Ins."));
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("SCUDMESE")).asString(), QStringLiteral("03"));
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("LCUDCONGUAGLIO")).asString(), QStringLiteral("X"));
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("LCUDCOMPRENSIVO")).asString(), QStringLiteral("X"));
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("LCUDFRONTAL")).asString(), QStringLiteral("0"));
        QCOMPARE(fr->adjustmentDefault(), QStringLiteral("X"));
        // Sections cannot change while the CU is edited.
        QVERIFY(fr->frVelInps->cdsMain->readOnly());

        fr->acConferma->trigger();
        QCOMPARE(r.lastText(), QStringLiteral("Codice fiscale obbligatorio"));
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Insert);
        fr->cdsMain->fieldByName(QStringLiteral("SCUDCODFIS")).setAsString(QStringLiteral("NRILCU85M41F839E"));
        fr->cdsMain->fieldByName(QStringLiteral("SCUDCOGNOME")).setAsString(QStringLiteral("NERI"));
        fr->acConferma->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
        QVERIFY(!fr->frVelInps->cdsMain->readOnly());
        QCOMPARE(fx.rows(QStringLiteral("TCUD_DATICUD")), 2);
        QCOMPARE(fr->saveMonth(), 3);
        // Stored in the period of March.
        QSqlQuery q = fx.db->exec(QStringLiteral(
            "SELECT c.icrfmese FROM tafi_anafiscale a JOIN tcrf_crofiscale c ON c.icrfid = a.icrfid "
            "WHERE a.saficodfiscale = 'NRILCU85M41F839E'"));
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toInt(), 3);
    }

    // What the supply would refuse is refused when the CU is confirmed; a
    // tax code that contradicts the birth date is the office's to confirm.
    void valuesTheSupplyRefusesAtConfirm()
    {
        Fixture fx;
        const qint64 afi = fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("ROSSI"), QStringLiteral("MARIO"),
                                 QStringLiteral("12"));
        ScriptedResponder r;
        auto fm = openEditor(fx);
        TfrVelCud *fr = fm->frVelCud;
        auto set = [fr](const char *field, const QVariant &v) {
            fr->cdsMain->fieldByName(QLatin1String(field)).setValue(v);
        };
        auto stored = [&](const char *field) {
            return fx.value(QStringLiteral("TCUD_DATICUD"), afi, QLatin1String(field)).toString();
        };
        fr->acModifica->trigger();
        set("SCUDIDENTSERVTELE", QStringLiteral("ABC123"));
        set("SCUDPROGRDICH", QStringLiteral("12"));
        set("SCUDPROVNAS", QStringLiteral("XX"));
        fr->acConferma->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Edit);
        for (const char *why : {"17 cifre", "6 cifre", "\"XX\" non è la sigla"})
            QVERIFY2(r.lastText().contains(QString::fromUtf8(why)), qPrintable(r.lastText()));
        QVERIFY(stored("SCUDIDENTSERVTELE").isEmpty());

        // sound protocol and province; the birth date against the code: asked
        set("SCUDIDENTSERVTELE", QStringLiteral("26021612345678901"));
        set("SCUDPROGRDICH", QStringLiteral("000012"));
        set("SCUDPROVNAS", QStringLiteral("RM"));
        set("DCUDDATANAS", QDate(1981, 1, 1));
        r.answer(IDNO, QStringLiteral("il codice fiscale indica la nascita il 01/01/..80"));
        fr->acConferma->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Edit);
        QVERIFY(stored("SCUDIDENTSERVTELE").isEmpty());
        r.answer(IDYES, QStringLiteral("Salvare comunque?"));
        fr->acConferma->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
        QCOMPARE(stored("SCUDIDENTSERVTELE"), QStringLiteral("26021612345678901"));
        QCOMPARE(stored("SCUDPROGRDICH"), QStringLiteral("000012"));
    }

    void aPrintedCuIsLockedUntilUnlocked()
    {
        Fixture fx;
        const qint64 afi = fx.cu(QStringLiteral("BNCNNA75C41H501Y"), QStringLiteral("BIANCHI"), QStringLiteral("ANNA"),
                                 QStringLiteral("12"), 1);
        ScriptedResponder r;
        auto fm = openEditor(fx);
        TfrVelCud *fr = fm->frVelCud;
        QCOMPARE(fr->lockValue(), 1);
        QVERIFY(fr->acStato->isEnabled());
        QCOMPARE(fr->acStato->text(), QStringLiteral("&Sblocca"));
        // Editing, typing in a box or adding a note: refused, saying why and how to unlock.
        const QString printed = QStringLiteral("Il modello è già stato stampato e non può essere modificato.\r\n"
                                               "Per modificarlo sbloccarlo con il pulsante \"S\" (Sblocca) della "
                                               "barra in alto.\r\nSe il CU è già stato inviato all'Agenzia delle "
                                               "Entrate, correggerlo vuol dire inviarne la sostituzione: dopo averlo "
                                               "sbloccato e corretto, segnare \"Sostituzione\" con il protocollo "
                                               "della ricevuta nella pagina \"Dati Anagrafici\" e inviarlo con "
                                               "\"su Prenotazione\".");
        fr->acModifica->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
        QCOMPARE(r.texts(), QStringList{printed});
        fr->showDetail();
        auto *surname = fr->findChild<QLineEdit *>(QStringLiteral("hdSCUDCOGNOME"));
        QVERIFY(surname);
        QTest::keyClicks(surname, QStringLiteral("X"));
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
        QCOMPARE(r.texts().size(), 2);
        QCOMPARE(r.lastText(), printed);
        r.clear();

        r.answer(IDNO, QStringLiteral("Il modello è gia stato stampato, si desidera modificarlo?"));
        fr->acStato->trigger();
        QCOMPARE(fx.value(QStringLiteral("TCUD_DATICUD"), afi, QStringLiteral("iCudStato")).toLongLong(), 1);
        QCOMPARE(fr->lockValue(), 1);

        r.answer(IDYES, QStringLiteral("si desidera modificarlo?"));
        fr->acStato->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
        QCOMPARE(fr->lockValue(), 0);
        QVERIFY(fx.value(QStringLiteral("TCUD_DATICUD"), afi, QStringLiteral("iCudStato")).toLongLong() == 0);
        QVERIFY(!fr->grModel->index(0, 0).data(Qt::ForegroundRole).value<QColor>().isValid());
        QVERIFY(!fr->acStato->isEnabled());
        fr->acModifica->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Edit);
        QCOMPARE(fr->lbStato->text(), QStringLiteral("In modifica: confermare o annullare"));
        fr->acAnnulla->trigger();
        QVERIFY(fr->lbStato->text().isEmpty());
    }

    void deleteQuestionsAndACancelledInsertKeepTheLock()
    {
        Fixture fx;
        fx.cu(QStringLiteral("BNCNNA75C41H501Y"), QStringLiteral("BIANCHI"), QStringLiteral("ANNA"), QStringLiteral("12"), 1);
        fx.cu(QStringLiteral("VRDLGU70B02F205X"), QStringLiteral("VERDI"), QStringLiteral("LUIGI"), QStringLiteral("12"));
        ScriptedResponder r;
        auto fm = openEditor(fx);
        TfrVelCud *fr = fm->frVelCud;
        QCOMPARE(fr->lockValue(), 1);
        // An insert cancelled in its dialog leaves the printed CU locked.
        whenModal([](QWidget *w) { qobject_cast<TfmVelCudIns *>(w)->buAnnulla->click(); });
        fr->acInserisci->trigger();
        fr->acModifica->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);

        r.answer(IDNO, QStringLiteral("IL MODELLO E' GIA STATO STAMPATO. Confermi la cancellazione?"));
        fr->acCancella->trigger();
        QCOMPARE(fx.rows(QStringLiteral("TCUD_DATICUD")), 2);
        r.answer(IDYES, QStringLiteral("IL MODELLO E' GIA STATO STAMPATO. Confermi la cancellazione?"));
        fr->acCancella->trigger();
        QCOMPARE(fx.rows(QStringLiteral("TCUD_DATICUD")), 1);
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("SCUDCOGNOME")).asString(), QStringLiteral("VERDI"));
        r.answer(IDNO, QStringLiteral("Confermi la cancellazione del modello corrente?"));
        fr->acCancella->trigger();
        QCOMPARE(fx.rows(QStringLiteral("TCUD_DATICUD")), 1);
    }

    void sectionRowsAreLoadedLazilyAndStoredAtOnce()
    {
        Fixture fx;
        const qint64 a = fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("ROSSI"), QStringLiteral("MARIO"),
                               QStringLiteral("12"));
        const qint64 b = fx.cu(QStringLiteral("VRDLGU70B02F205X"), QStringLiteral("VERDI"), QStringLiteral("LUIGI"),
                               QStringLiteral("12"));
        fx.inps(a, QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("12"), "30000");
        fx.inps(a, QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("12"), "1200.50");
        fx.inps(b, QStringLiteral("VRDLGU70B02F205X"), QStringLiteral("12"), "15000");
        ScriptedResponder r;
        auto fm = openEditor(fx);
        TfrVelCud *fr = fm->frVelCud;
        fr->resetLoadCount();
        // Scrolling the grid loads no section, nor does a CU page.
        for (int i = 0; i < 3; ++i) {
            fr->next();
            fr->prior();
        }
        QCOMPARE(fr->loadCount(), 0);
        fr->showPage(QStringLiteral("Dati Fiscali"));
        fr->next();
        fr->prior();
        QCOMPARE(fr->loadCount(), 0);
        // The INPS page loads that section for the current CU only.
        fr->showPage(QStringLiteral("INPS - Sez. 1"));
        QCOMPARE(fr->loadCount(), 1);
        TfrVelInps *inps = fr->frVelInps;
        QCOMPARE(inps->cdsMain->recordCount(), 2);
        QCOMPARE(inps->counterText(), QStringLiteral("1 di 2"));
        QCOMPARE(inps->contextCaption(), QStringLiteral("INPS - Sez. 1    1 di 2"));
        // Amount columns of the section grid read as the boxes do.
        int amountColumn = -1;
        for (int c = 0; c < inps->grModel->columnCount(); ++c) {
            if (inps->grModel->columns().at(c).fieldName == QLatin1String("FCUDIMPONIBILE"))
                amountColumn = c;
        }
        QVERIFY(amountColumn >= 0);
        auto *amounts = qobject_cast<QStyledItemDelegate *>(inps->grMain->itemDelegateForColumn(amountColumn));
        QVERIFY(amounts);
        QCOMPARE(amounts->displayText(QVariant::fromValue(money("30000")), QLocale()), QStringLiteral("30.000,00"));
        QCOMPARE(amounts->displayText(QVariant::fromValue(money("0")), QLocale()), QString());
        fr->next();
        QCOMPARE(fr->loadCount(), 2);
        QCOMPARE(inps->cdsMain->recordCount(), 1);
        QCOMPARE(fr->frVelInpdap->loadedFor(), -1);
        QCOMPARE(m_wait->begins, m_wait->begins); // (the wait window is off for sections: see below)
        const int waits = m_wait->begins;
        fr->prior();
        QCOMPARE(m_wait->begins, waits);

        // A new row takes the CU's keys and starts with its flags unset.
        inps->acInserisci->trigger();
        QCOMPARE(inps->counterText(), QStringLiteral("Ins."));
        QCOMPARE(inps->cdsMain->fieldByName(QStringLiteral("iAfiID")).asInteger(), a);
        QCOMPARE(inps->cdsMain->fieldByName(QStringLiteral("SCUDCODFIS")).asString(), QStringLiteral("RSSMRA80A01H501U"));
        QCOMPARE(inps->cdsMain->fieldByName(QStringLiteral("LCUDGENNAIO")).asString(), QStringLiteral("0"));
        QCOMPARE(inps->cdsMain->fieldByName(QStringLiteral("LCUDINTERAMVERS")).asString(), QStringLiteral("0"));
        inps->cdsMain->fieldByName(QStringLiteral("FCUDIMPONIBILE")).setAsCurrency(money("999"));
        // The CU cannot move while a section row is pending.
        fr->acSuccessivo->trigger();
        QCOMPARE(r.lastText(), QStringLiteral("Salvare prima di cambiare modello."));
        QCOMPARE(fr->currentAfiId(), a);
        inps->acConferma->trigger();
        QCOMPARE(fx.rows(QStringLiteral("TCUDI_INPS"), int(a)), 3);

        // Deleting a row: the question, then gone from the store.
        r.answer(IDNO, QStringLiteral("Confermi la cancellazione della sezione \"INPS\"?"));
        inps->acCancella->trigger();
        QCOMPARE(fx.rows(QStringLiteral("TCUDI_INPS"), int(a)), 3);
        r.answer(IDYES, QStringLiteral("Confermi la cancellazione della sezione \"INPS\"?"));
        inps->acCancella->trigger();
        QCOMPARE(fx.rows(QStringLiteral("TCUDI_INPS"), int(a)), 2);
        fm->close();
        fm.reset();
        auto again = openEditor(fx);
        again->frVelCud->showPage(QStringLiteral("INPS - Sez. 1"));
        QCOMPARE(again->frVelCud->frVelInps->cdsMain->recordCount(), 2);
    }

    void dependantsMonthsAreChecked()
    {
        QCOMPARE(TfrVelConFamCar::checkMonth(QStringLiteral("1")), QStringLiteral("Il mese deve essere di 2 cifre"));
        QCOMPARE(TfrVelConFamCar::checkMonth(QStringLiteral("01")), QString());
        QCOMPARE(TfrVelConFamCar::checkMonth(QStringLiteral("12")), QString());
        QCOMPARE(TfrVelConFamCar::checkMonth(QString()), QString());
        QCOMPARE(TfrVelConFamCar::checkMonth(QStringLiteral("13")),
                 QStringLiteral("Mese non valido, deve essere compreso tra 01 e 12"));
        QCOMPARE(TfrVelConFamCar::checkMonth(QStringLiteral("00")),
                 QStringLiteral("Mese non valido, deve essere compreso tra 01 e 12"));

        // In the frame: leaving the box with "1" gives the message and the focus back.
        Fixture fx;
        fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("ROSSI"), QStringLiteral("MARIO"), QStringLiteral("12"));
        ScriptedResponder r;
        auto fm = openEditor(fx);
        TfrVelCud *fr = fm->frVelCud;
        fr->showPage(QStringLiteral("Dati relativi al coniuge e ai familiari a carico"));
        TfrVelConFamCar *fam = fr->frVelConFamCar;
        fam->acInserisci->trigger();
        fam->showDetail();
        QApplication::processEvents();
        auto *box = fam->findChild<TTorDbEdit *>(QStringLiteral("edSCUDMESICARCON"));
        QVERIFY(box);
        box->setFocus();
        QTest::keyClicks(box, "1");
        auto *other = fam->findChild<TTorDbEdit *>(QStringLiteral("edSCUDCODFISCON"));
        other->setFocus();
        QApplication::processEvents();
        QCOMPARE(r.lastText(), QStringLiteral("Il mese deve essere di 2 cifre"));
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(box));

        // Both children's shares read with the decimal comma; the text keeps its point.
        auto *first = fam->findChild<TTorDbEdit *>(QStringLiteral("edSCUDDETRSPETTPRIFIGL"));
        auto *others = fam->findChild<TTorDbEdit *>(QStringLiteral("edFCUDDETRSPETTFIGL"));
        QVERIFY(first && others);
        fam->cdsMain->fieldByName(QStringLiteral("SCUDDETRSPETTPRIFIGL")).setAsString(QStringLiteral("50.00"));
        fam->cdsMain->fieldByName(QStringLiteral("FCUDDETRSPETTFIGL")).setValue(QVariant::fromValue(money("50")));
        fam->dsMain->refresh();
        QCOMPARE(first->text(), QStringLiteral("50,00"));
        QCOMPARE(others->text(), QStringLiteral("50,00"));
        first->setFocus();
        first->selectAll();
        QTest::keyClicks(first, "75,5");
        other->setFocus();
        QCOMPARE(fam->cdsMain->fieldByName(QStringLiteral("SCUDDETRSPETTPRIFIGL")).asString(), QStringLiteral("75.5"));
        QCOMPARE(first->text(), QStringLiteral("75,5"));
        fam->acAnnulla->trigger();
    }

    void amountsShowAsTheOfficeReadsThem()
    {
        QCOMPARE(TorDbFormat::amountDisplay(money("1234.5")), QStringLiteral("1.234,50"));
        QCOMPARE(TorDbFormat::amountDisplay(money("1234567.005")), QStringLiteral("1.234.567,01"));
        QCOMPARE(TorDbFormat::amountDisplay(money("-0.5")), QStringLiteral("-0,50"));
        QCOMPARE(TorDbFormat::amountDisplay(money("0")), QString());
        QCOMPARE(TorDbFormat::amountEdit(money("1234.5")), QStringLiteral("1234,50"));
        QCOMPARE(TorDbFormat::amountDisplay(money("0.1255"), 3), QStringLiteral("0,126"));
        bool ok = false;
        QCOMPARE(TorDbFormat::parseAmount(QStringLiteral("1.234,56"), &ok)->toString(), QStringLiteral("1234.5600"));
        QCOMPARE(TorDbFormat::parseAmount(QStringLiteral("1234.56"), &ok)->toString(), QStringLiteral("1234.5600"));
        QVERIFY(!TorDbFormat::parseAmount(QString(), &ok) && ok);
        QVERIFY(!TorDbFormat::parseAmount(QStringLiteral("12a"), &ok) && !ok);

        Fixture fx;
        const qint64 afi = fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("ROSSI"), QStringLiteral("MARIO"),
                                 QStringLiteral("12"), 0, [](TClientDataSet &ds) {
                                     set(ds, "fCudReddDetr", QVariant::fromValue(money("28450.75")));
                                     set(ds, "fCudRitIrpef", QVariant::fromValue(money("0")));
                                 });
        ScriptedResponder r;
        auto fm = openEditor(fx);
        TfrVelCud *fr = fm->frVelCud;
        fr->showPage(QStringLiteral("Dati Fiscali"));
        QApplication::processEvents();
        auto *redd = fr->findChild<TTorDbEdit *>(QStringLiteral("edfCudReddDetr"));
        auto *rit = fr->findChild<TTorDbEdit *>(QStringLiteral("edfCudRitIrpef"));
        auto *pens = fr->findChild<TTorDbEdit *>(QStringLiteral("edFCUDREDDPENS"));
        QCOMPARE(redd->text(), QStringLiteral("28.450,75"));
        QCOMPARE(rit->text(), QString()); // zero shows empty
        QCOMPARE(pens->text(), QString());
        QVERIFY(fr->cdsMain->fieldByName(QStringLiteral("FCUDREDDPENS")).isNull()); // empty loads as null
        redd->setFocus();
        QCOMPARE(redd->text(), QStringLiteral("28450,75"));
        redd->selectAll();
        QTest::keyClicks(redd, "30.100,1");
        pens->setFocus();
        QCOMPARE(redd->text(), QStringLiteral("30.100,10"));
        fr->acConferma->trigger();
        QCOMPARE(fx.value(QStringLiteral("TCUD_DATICUD"), afi, QStringLiteral("fCudReddDetr")).value<Currency>(),
                 money("30100.1"));
        // Junk is refused with a message and the stored value comes back.
        redd->setFocus();
        redd->selectAll();
        QTest::keyClicks(redd, "abc");
        pens->setFocus();
        QCOMPARE(r.lastText(), QStringLiteral("Valore non valido: \"abc\""));
        QCOMPARE(redd->text(), QStringLiteral("30.100,10"));
        fr->acAnnulla->trigger();
        shot(fm.get(), QStringLiteral("cu-editor-dati-fiscali.png"));
    }

    void captionsNameTheYearsOfTheModel()
    {
        const VelRecordModel &m = VelRecordModel::instance();
        const auto cap = [&m](const char *structure, const char *field) {
            return m.structure(QLatin1String(structure)).field(QLatin1String(field))->caption();
        };
        QCOMPARE(cap("TCUD_DATICUD", "FCUDADDREGTRATT"), QStringLiteral("Addizionale regionale 2024 trattenuta nel 2025"));
        QCOMPARE(cap("TCUD_DATICUD", "FCUDADDCOMSALDOPREC"), QStringLiteral("Saldo 2024"));
        QCOMPARE(cap("TCUD_DATICUD", "fCudAddComIrpef"), QStringLiteral("Acconto 2025"));
        QCOMPARE(cap("TCUD_DATICUD", "fCudAddComIrpefAC"), QStringLiteral("Acconto 2026"));
        QCOMPARE(cap("TCUDT_TFR", "FRL7TFRVERANNREDD"),
                 QStringLiteral("TFR maturato dall' 1/1/2001 al 31/12/2006 e versato al fondo"));
        QCOMPARE(cap("TCUDT_TFR", "FTFR017EROG05"), QStringLiteral("TFR erogato nel 2025"));
        // No caption of any page keeps a placeholder.
        for (const VelStructureDesc &s : m.structures())
            for (const VelFieldDesc &f : s.fields)
                QVERIFY2(!f.caption().contains(QLatin1String("%s")), qPrintable(f.name));
    }

    void annotationsAreAppended()
    {
        Fixture fx;
        const qint64 afi = fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("ROSSI"), QStringLiteral("MARIO"),
                                 QStringLiteral("12"));
        ScriptedResponder r;
        auto fm = openEditor(fx);
        TfrVelCud *fr = fm->frVelCud;
        fr->showPage(QStringLiteral("ANNOTAZIONI"));
        QString code, text;
        const auto pick = [&](QWidget *w) {
            auto *n = qobject_cast<TfmVelNote *>(w);
            if (!n || n->windowTitle() != QLatin1String("Annotazioni"))
                return (void)w->close();
            code = n->currentCode();
            text = n->currentAnnotation();
            n->buOK->click();
        };
        whenModal(pick);
        fr->buAnnotazioni->click();
        QVERIFY(!code.isEmpty());
        const QString first = QStringLiteral("(%1) %2").arg(code, text);
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("SCUDANNOTAZIONI")).asString(), first);
        whenModal(pick);
        fr->buAnnotazioni->click();
        fr->acConferma->trigger();
        QCOMPARE(fx.value(QStringLiteral("TCUD_DATICUD"), afi, QStringLiteral("SCUDANNOTAZIONI")).toString(),
                 first + QStringLiteral("\r\n") + first);
    }

    void aFailingSaveKeepsWhatWasTypedAndTheWindowGoesOn()
    {
        Fixture fx;
        const qint64 afi = fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("ROSSI"), QStringLiteral("MARIO"),
                                 QStringLiteral("12"));
        ScriptedResponder r;
        auto fm = openEditor(fx);
        TfrVelCud *fr = fm->frVelCud;
        fx.db->exec(QStringLiteral("ALTER TABLE tfis_datifiscali RENAME TO tfis_via"));
        fr->editRow();
        fr->cdsMain->fieldByName(QStringLiteral("SCUDCOMNAS")).setAsString(QStringLiteral("NAPOLI"));
        fr->acConferma->trigger();
        QVERIFY(!r.lastText().isEmpty());
        // nothing stored, the row back in edit with what was typed
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Edit);
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("SCUDCOMNAS")).asString(), QStringLiteral("NAPOLI"));
        QCOMPARE(fr->cdsMain->changeCount(), 0);
        fx.db->exec(QStringLiteral("ALTER TABLE tfis_via RENAME TO tfis_datifiscali"));
        QVERIFY(fx.value(QStringLiteral("TCUD_DATICUD"), afi, QStringLiteral("SCUDCOMNAS")).isNull());
        fr->acConferma->trigger();
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
        QCOMPARE(fx.value(QStringLiteral("TCUD_DATICUD"), afi, QStringLiteral("SCUDCOMNAS")).toString(),
                 QStringLiteral("NAPOLI"));
    }

    void closingWithAPendingChangeAsksAndSaves()
    {
        Fixture fx;
        const qint64 afi = fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("ROSSI"), QStringLiteral("MARIO"),
                                 QStringLiteral("12"));
        ScriptedResponder r;
        auto fm = openEditor(fx);
        TfrVelCud *fr = fm->frVelCud;
        fr->editRow();
        fr->cdsMain->fieldByName(QStringLiteral("SCUDCOMNAS")).setAsString(QStringLiteral("TORINO"));
        r.answer(IDCANCEL, QStringLiteral("modifiche non confermate"));
        QVERIFY(!fm->close());
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Edit);
        r.answer(IDYES, QStringLiteral("modifiche non confermate"));
        QVERIFY(fm->close());
        QCOMPARE(fx.value(QStringLiteral("TCUD_DATICUD"), afi, QStringLiteral("SCUDCOMNAS")).toString(),
                 QStringLiteral("TORINO"));
        QVERIFY(fr->confirmOnly()); // the rule is back

        // A pending section row: "No" drops it, nothing reaches the store.
        auto again = openEditor(fx);
        TfrVelCud *f2 = again->frVelCud;
        f2->showPage(QStringLiteral("INPS - Sez. 1"));
        f2->frVelInps->acInserisci->trigger();
        f2->frVelInps->cdsMain->fieldByName(QStringLiteral("FCUDIMPONIBILE")).setAsCurrency(money("10"));
        r.answer(IDNO, QStringLiteral("modifiche non confermate"));
        QVERIFY(again->close());
        QCOMPARE(fx.rows(QStringLiteral("TCUDI_INPS"), int(afi)), 0);
    }

    void keysOfTheToolbarActThroughTheFrameHoldingTheFocus()
    {
        Fixture fx;
        const qint64 a = fx.cu(QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("ROSSI"), QStringLiteral("MARIO"),
                               QStringLiteral("12"));
        fx.cu(QStringLiteral("VRDLGU70B02F205X"), QStringLiteral("VERDI"), QStringLiteral("LUIGI"), QStringLiteral("12"));
        fx.cu(QStringLiteral("BNCNNA75C41H501Y"), QStringLiteral("BIANCHI"), QStringLiteral("ANNA"), QStringLiteral("12"));
        ScriptedResponder r;
        auto fm = openEditor(fx);
        fm->activateWindow();
        TfrVelCud *fr = fm->frVelCud;
        fr->grMain->setFocus();
        QApplication::processEvents();
        QTest::keyClick(fr->grMain, Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(fr->cdsMain->recNo(), 3);
        QTest::keyClick(fr->grMain, Qt::Key_Up, Qt::ControlModifier);
        QCOMPARE(fr->cdsMain->recNo(), 2);
        QTest::keyClick(fr->grMain, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(fr->cdsMain->recNo(), 1);
        QTest::keyClick(fr->grMain, Qt::Key_F2);
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Edit);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);

        // Inside a section the same keys move the section's rows, not the CUs.
        fx.inps(a, QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("12"), "100");
        fx.inps(a, QStringLiteral("RSSMRA80A01H501U"), QStringLiteral("12"), "200");
        QVERIFY(locateCu(fr, QStringLiteral("RSSMRA80A01H501U")));
        const int cuRow = fr->cdsMain->recNo();
        fr->showPage(QStringLiteral("INPS - Sez. 1"));
        TfrVelInps *inps = fr->frVelInps;
        inps->showGrid();
        inps->grMain->setFocus();
        QApplication::processEvents();
        QCOMPARE(inps->cdsMain->recordCount(), 2);
        QTest::keyClick(inps->grMain, Qt::Key_Down, Qt::ControlModifier);
        QCOMPARE(inps->cdsMain->recNo(), 2);
        QCOMPARE(fr->cdsMain->recNo(), cuRow);
    }

};

QTEST_MAIN(TstDbCuEditor)
#include "tst_db_cu_editor.moc"
