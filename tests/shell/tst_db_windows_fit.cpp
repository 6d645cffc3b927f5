// Every window of the program in a 1024x700 main window, on the demo school
// with imported CUs: nothing cut (labels, buttons, column titles, boxes
// sticking out), nothing to scroll sideways, child windows inside the area
// with their frame buttons in sight; the dialogs fit a 1024x700 screen. Then
// the keyboard: Ctrl+F4 closes the child in front, Tab follows each page.
// VELCU_SCREENSHOT_DIR set: every window and page is saved there as a PNG.
#include "support/PositionRows.h"
#include "support/ScriptedResponder.h"
#include "support/TestInstallation.h"

#include "platform/db/OvSQLConnection.h"
#include "src/prj/unit/dialogs/TfmVelInfo.h"
#include "src/prj/unit/editors/TfmVelCud.h"
#include "src/prj/unit/editors/TfmVelCudIns.h"
#include "src/prj/unit/editors/TfmVelSostituti.h"
#include "src/prj/unit/editors/TfrVelCud.h"
#include "src/prj/unit/editors/TfrVelSections.h"
#include "src/prj/unit/editors/TfrVelSostituti.h"
#include "src/prj/unit/dialogs/TfmVelCudTno.h"
#include "src/prj/unit/dialogs/TfmVelImpMultiSelect.h"
#include "src/prj/unit/dialogs/TfmVelWizImport.h"
#include "src/prj/unit/import/VelImportCud.h"
#include "src/prj/unit/shell/TdmVelAttivazioni.h"
#include "tor/store/torUDBCds.h"
#include "tor/query/torCQueryText.h"
#include "src/prj/unit/dialogs/VelBoxRunHost.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

namespace {

QString who(const QWidget *w)
{
    QString text;
    if (auto *l = qobject_cast<const QLabel *>(w))
        text = l->text();
    else if (auto *b = qobject_cast<const QAbstractButton *>(w))
        text = b->text();
    return QStringLiteral("%1 %2 \"%3\"").arg(QLatin1String(w->metaObject()->className()), w->objectName(),
                                               text.left(40));
}

bool inViewport(const QWidget *w)
{
    for (const QWidget *p = w->parentWidget(); p; p = p->parentWidget())
        if (auto *a = qobject_cast<const QAbstractScrollArea *>(p->parentWidget()); a && a->viewport() == p)
            return true;
    return false;
}

// What of `top` is cut or would need a sideways scroll, one line each.
QStringList cuts(QWidget *top)
{
    QStringList out;
    for (QWidget *w : top->findChildren<QWidget *>()) {
        if (w->isWindow() || !w->isVisibleTo(top))
            continue;
        QWidget *p = w->parentWidget();
        // Inside a scroll area the content may be taller than the view, never wider.
        if (auto *a = qobject_cast<QAbstractScrollArea *>(p ? p->parentWidget() : nullptr); a && a->viewport() == p) {
            if (qobject_cast<QScrollArea *>(a) && w->width() > p->width())
                out << who(a) + QStringLiteral(": contenuto largo %1 in %2").arg(w->width()).arg(p->width());
        } else if (p && !p->rect().contains(w->geometry()) && !inViewport(p) && !qobject_cast<QAbstractScrollArea *>(p)) {
            out << who(w) + QStringLiteral(": fuori dal contenitore");
        }
        // (A text log keeps its long lines whole and scrolls; a page never does.)
        if (auto *a = qobject_cast<QAbstractScrollArea *>(w);
            a && !qobject_cast<QPlainTextEdit *>(w) && a->horizontalScrollBar()->isVisible())
            out << who(w) + QStringLiteral(": barra di scorrimento orizzontale");
        if (auto *l = qobject_cast<QLabel *>(w); l && !l->text().isEmpty()) {
            if (l->wordWrap() ? l->height() < l->heightForWidth(l->width()) : l->width() < l->sizeHint().width())
                out << who(w) + QStringLiteral(": testo tagliato");
        }
        if ((qobject_cast<QCheckBox *>(w) || qobject_cast<QRadioButton *>(w) || qobject_cast<QPushButton *>(w))
            && w->width() < w->sizeHint().width())
            out << who(w) + QStringLiteral(": testo tagliato");
        if (auto *h = qobject_cast<QHeaderView *>(w); h && h->orientation() == Qt::Horizontal) {
            // The title's text with a little room each side, and the sort arrow where it stands.
            for (int i = 0; i < h->count(); ++i)
                if (!h->isSectionHidden(i)
                    && h->sectionSize(i) < h->fontMetrics()
                                                   .size(0, h->model()->headerData(i, Qt::Horizontal).toString())
                                                   .width()
                                               + 6
                                               + (h->isSortIndicatorShown() && h->sortIndicatorSection() == i ? 16 : 0))
                    out << who(h->parentWidget()) + QStringLiteral(": titolo tagliato \"%1\"")
                                                         .arg(h->model()->headerData(i, Qt::Horizontal).toString());
        }
    }
    return out;
}

void shot(QWidget *w, const QString &name)
{
    const QString dir = qEnvironmentVariable("VELCU_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        w->grab().save(QDir(dir).filePath(QStringLiteral("fit-") + name + QStringLiteral(".png")));
}

// Tab through a page: each field comes after the one before in reading order
// (to its right on the same line, below it, or at the top of a column further
// right). Returns the steps that go back.
QStringList tabOrder(QWidget *page)
{
    QList<QWidget *> fields;
    for (QWidget *w : page->findChildren<QWidget *>())
        if ((qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) || qobject_cast<QCheckBox *>(w))
            && w->isVisibleTo(page) && w->isEnabled() && (w->focusPolicy() & Qt::TabFocus)
            && !qobject_cast<QComboBox *>(w->parentWidget()))
            fields << w;
    QStringList back;
    if (fields.isEmpty())
        return back;
    QWidget *a = fields.first();
    for (int n = 0; n < 500; ++n) {
        QWidget *b = a->nextInFocusChain();
        while (b && b != fields.first() && !fields.contains(b))
            b = b->nextInFocusChain();
        if (!b || b == fields.first())
            break;
        const QPoint pa = a->mapTo(page, QPoint());
        const QPoint pb = b->mapTo(page, QPoint());
        const int dx = pb.x() - pa.x(), dy = pb.y() - pa.y();
        if ((dx < -4 && dy <= 4) || (dy < -4 && dx <= 4))
            back << who(a) + QStringLiteral(" -> ") + who(b);
        a = b;
    }
    return back;
}

} // namespace

class TstDbWindowsFit : public QObject
{
    Q_OBJECT
    std::unique_ptr<Installation> inst;
    std::unique_ptr<ScriptedResponder> user;

    TfmVelMain *main() const { return inst->main(); }

    QWidget *open(const char *command)
    {
        const int before = main()->mdiChildCount();
        if (!inst->table()->Execute(QLatin1String(command)) || main()->mdiChildCount() != before + 1)
            return nullptr;
        QWidget *w = main()->mdiChildren().last();
        QApplication::processEvents();
        return w;
    }

    void closeAll()
    {
        main()->closeAllChildren();
        QTRY_COMPARE(main()->mdiChildCount(), 0);
    }

    // A child window inside the area, with nothing cut.
    void checkChild(QWidget *form, const QString &name)
    {
        QApplication::processEvents();
        QMdiSubWindow *sub = qobject_cast<QMdiSubWindow *>(form->parentWidget());
        QVERIFY(sub);
        QMdiArea *area = main()->mdiArea();
        QVERIFY2(sub->isMaximized() || area->viewport()->rect().contains(sub->geometry()),
                 qPrintable(name + QStringLiteral(": finestra oltre l'area")));
        QVERIFY2(!area->horizontalScrollBar()->isVisible(),
                 qPrintable(name + QStringLiteral(": area da scorrere, minimo %1 in %2")
                                       .arg(form->minimumSizeHint().width())
                                       .arg(area->viewport()->width())));
        const QStringList found = cuts(form);
        shot(main(), name);
        QVERIFY2(found.isEmpty(), qPrintable(name + QStringLiteral(":\n") + found.join(u'\n')));
    }

    void checkDialog(QWidget *dlg, const QString &name)
    {
        dlg->show();
        QApplication::processEvents();
        QVERIFY2(dlg->width() <= 1024 && dlg->height() <= 700,
                 qPrintable(name + QStringLiteral(": %1x%2").arg(dlg->width()).arg(dlg->height())));
        const QStringList found = cuts(dlg);
        shot(dlg, name);
        QVERIFY2(found.isEmpty(), qPrintable(name + QStringLiteral(":\n") + found.join(u'\n')));
    }

private slots:
    void initTestCase()
    {
        VELCU_REQUIRE_TEST_DB();
        QApplication::setApplicationVersion(QStringLiteral("6.97.29"));
        inst = std::make_unique<Installation>();
        inst->copyStagedResources();
        user = std::make_unique<ScriptedResponder>();
        QVERIFY2(inst->startWithYear(QStringLiteral("2025")), qPrintable(user->texts().join(u'\n')));
        main()->showNormal();
        main()->resize(1024, 700);
        QApplication::processEvents();
        // A few CUs of the demo, with their sections, to fill the windows.
        TVelImportCud imp(*main()->fiscalStore(), QueryText());
        imp.setRunHost(TVelBoxRunHost::instance());
        imp.options().IDWGID = 1;
        imp.options().anno = 2025;
        // The agent's data too (agent, Quadro CT, supplier), as a first import writes them.
        TOvQueryCollection &sos = inst->table()->xqcSos;
        QVERIFY(sos.active());
        imp.setSede(&sos);
        imp.options().SOSTITUTO = true;
        imp.options().CFAMM = sos.fieldByName(QStringLiteral("SSEDNOMCODICEFISC")).asString();
        imp.hooks().onInfo = [](const QStringList &) {};
        QVERIFY(TVelImportCud::esito(imp.importa({101, 102, 105, 109, 114})).importati >= 4);
    }
    void cleanupTestCase()
    {
        if (inst && inst->main())
            inst->main()->closeAllChildren();
        user.reset();
        inst.reset();
    }

    void cuEditorEveryPage()
    {
        auto *fm = qobject_cast<TfmVelCud *>(open("xafDatiCud"));
        QVERIFY(fm);
        TfrVelCud *fr = fm->frVelCud;
        QTRY_VERIFY(fr->cdsMain->active() && fr->cdsMain->recordCount() >= 4);
        checkChild(fm, QStringLiteral("cu-griglia"));
        for (int i = 0; i < fr->pcCud->count(); ++i) {
            const QString caption = fr->pcCud->tabText(i);
            fr->showPage(caption);
            const QString name = QStringLiteral("cu-%1-%2").arg(i + 1, 2, 10, QLatin1Char('0')).arg(
                QString(caption).toLower().remove(u'.').replace(u' ', u'-'));
            checkChild(fm, name);
            if (auto *sec = qobject_cast<TfrVelSection *>(fr->pcCud->widget(i))) {
                // Each column of a section's grid says what it holds, no two alike.
                QStringList titles;
                for (int c = 0; c < sec->grModel->columnCount(); ++c)
                    titles << sec->grModel->headerData(c, Qt::Horizontal).toString();
                for (const QString &t : titles)
                    QVERIFY2(t.size() >= 3 && titles.count(t) == 1, qPrintable(caption + u':' + titles.join(u'|')));
                sec->showGrid();
                checkChild(fm, name + QStringLiteral("-griglia"));
                sec->showDetail();
                if (sec->pagesWidget())
                    for (int p = 0; p < sec->pagesWidget()->count(); ++p) {
                        sec->pagesWidget()->setCurrentIndex(p);
                        checkChild(fm, name + QStringLiteral("-%1").arg(p + 1));
                        const QStringList back = tabOrder(sec->pagesWidget()->currentWidget());
                        QVERIFY2(back.isEmpty(), qPrintable(back.join(u'\n')));
                    }
            } else {
                const QStringList back = tabOrder(fr->pcCud->currentWidget());
                QVERIFY2(back.isEmpty(), qPrintable(caption + QStringLiteral(":\n") + back.join(u'\n')));
            }
        }
        closeAll();
    }

    void agentEditors()
    {
        const QList<std::pair<const char *, const char *>> commands = {{"axfDatiSost", "dati-sostituto"},
                                                                       {"xafAlktriSost", "altri-sostituti"},
                                                                       {"xafQuaCT", "quadro-ct"},
                                                                       {"xafFornitore", "fornitore"}};
        for (const auto &[command, name] : commands) {
            auto *fm = qobject_cast<TfmVelAgentForm *>(open(command));
            QVERIFY2(fm, command);
            QTRY_VERIFY(fm->frame()->cdsMain->active());
            fm->frame()->showDetail();
            checkChild(fm, QLatin1String(name));
            const QStringList back = tabOrder(fm->frame()->tsDettaglio);
            QVERIFY2(back.isEmpty(), qPrintable(back.join(u'\n')));
            fm->frame()->showGrid();
            checkChild(fm, QLatin1String(name) + QStringLiteral("-griglia"));
            closeAll();
        }
        // The same windows at the full width of a 1366x768 screen.
        main()->resize(1366, 740);
        auto *fm = qobject_cast<TfmVelAgentForm *>(open("axfDatiSost"));
        QVERIFY(fm);
        fm->frame()->showDetail();
        checkChild(fm, QStringLiteral("dati-sostituto-1366"));
        closeAll();
        main()->resize(1024, 700);
    }

    void parametersAndImportWindows()
    {
        QWidget *par = open("xafParametri");
        QVERIFY(par);
        checkChild(par, QStringLiteral("parametri"));
        closeAll();

        TTorDBCds &store = *main()->fiscalStore();
        {
            TfmVelWizImport w;
            w.anno = 2025;
            w.idwgid = 1;
            w.connection = store.connection();
            w.oggi = QDate(2026, 1, 20);
            w.impostaTipoCompenso();
            checkDialog(&w, QStringLiteral("import-opzioni"));
        }
        TVelImportOptions o;
        o.IDWGID = 1;
        o.anno = 2025;
        TfmVelImpMultiSelect sel(store, o, nullptr);
        QVERIFY(sel.carica());
        checkDialog(&sel, QStringLiteral("import-scelta-dipendenti"));

        TClientDataSet rows;
        positionRows(rows, {{1, 1, QStringLiteral("TEMPO INDETERMINATO"), 1, 1},
                            {2, 2, QStringLiteral("TEMPO DETERMINATO FINO AL TERMINE DELL'ANNO SCOLASTICO"), 1, 0}});
        TfmVelCudTno tno;
        tno.prepara(rows, true, QStringLiteral("ROMANO MARCO"));
        checkDialog(&tno, QStringLiteral("import-posizioni"));

        TfmVelInfo info;
        info.setLines({sel.rapportoFinale(sel.ultimoEsito(), {QStringLiteral("Dipendente BIANCHI LAURA"),
                                                              QStringLiteral("--- Sezione fiscale"),
                                                              QStringLiteral("- Nota")})},
                      false);
        checkDialog(&info, QStringLiteral("import-fine"));

        TfmVelCudIns ins;
        checkDialog(&ins, QStringLiteral("cu-nuova"));
    }

    // Ctrl+F4 closes the child in front.
    void ctrlF4ClosesTheChildInFront()
    {
        QVERIFY(open("xafFornitore"));
        QVERIFY(open("axfDatiSost"));
        QApplication::setActiveWindow(main());
        QVERIFY(QTest::qWaitForWindowActive(main()));
        QCOMPARE(main()->mdiChildCount(), 2);
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : main();
        QTest::keyClick(target, Qt::Key_F4, Qt::ControlModifier);
        QTRY_COMPARE(main()->mdiChildCount(), 1);
        QCOMPARE(main()->mdiChildren().first()->objectName(), QStringLiteral("fmVelFornitore"));
        closeAll();
    }

    // Three editors open: none squeezed below what it needs, and the window
    // menu lists them, the one in front ticked, each brought forward by its item.
    void threeEditorsAndTheWindowMenu()
    {
        QList<QWidget *> forms;
        for (const char *command : {"xafDatiCud", "axfDatiSost", "xafFornitore"}) {
            QWidget *w = open(command);
            QVERIFY2(w, command);
            forms << w;
        }
        QApplication::processEvents();
        for (QWidget *w : forms) {
            auto *sub = qobject_cast<QMdiSubWindow *>(w->parentWidget());
            QVERIFY(sub);
            QVERIFY2(sub->isMaximized() || (w->width() >= w->minimumSizeHint().width()
                                            && w->height() >= w->minimumSizeHint().height()),
                     qPrintable(QStringLiteral("%1: %2x%3, minimo %4x%5")
                                    .arg(w->objectName())
                                    .arg(w->width())
                                    .arg(w->height())
                                    .arg(w->minimumSizeHint().width())
                                    .arg(w->minimumSizeHint().height())));
        }
        shot(main(), QStringLiteral("tre-finestre"));
        QMenu *menu = main()->windowMenu();
        QVERIFY(menu);
        emit menu->aboutToShow();
        QStringList titles;
        QList<QAction *> items;
        for (QAction *a : menu->actions())
            if (a->property("ovChildWindow").isValid() && !a->isSeparator()) {
                titles << a->text();
                items << a;
            }
        QCOMPARE(titles.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QVERIFY2(titles.at(i).startsWith(QStringLiteral("&%1 ").arg(i + 1)), qPrintable(titles.at(i)));
            QVERIFY2(titles.at(i).contains(forms.at(i)->windowTitle()), qPrintable(titles.at(i)));
        }
        QVERIFY(items.at(2)->isChecked());
        items.at(0)->trigger();
        QCOMPARE(main()->mdiArea()->activeSubWindow()->widget(), forms.at(0));
        emit menu->aboutToShow();
        int ticked = 0;
        for (QAction *a : menu->actions())
            if (a->property("ovChildWindow").isValid() && !a->isSeparator() && a->isChecked())
                ++ticked;
        QCOMPARE(ticked, 1);
        closeAll();
        emit menu->aboutToShow();
        for (QAction *a : menu->actions())
            QVERIFY(!a->property("ovChildWindow").isValid());
    }
};

QTEST_MAIN(TstDbWindowsFit)
#include "tst_db_windows_fit.moc"
