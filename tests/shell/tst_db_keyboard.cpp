// The year without a mouse: on the demo school, every step is a key pressed
// on the widget that has the focus (menus by Alt and their letter, buttons
// by Tab and the space bar or by their mnemonic), never a click nor a call
// of a slot. The import through its wizard and selection, a CU found in
// "Dati CU", a draft and a final print from the print window, then each of
// the other print windows.
#include "support/ScriptedResponder.h"
#include "support/TestInstallation.h"

#include "src/prj/unit/dialogs/TfmVelPDF.h"
#include "src/prj/unit/dialogs/TfmVelWizImport.h"
#include "rag/ui/wizard/TfrRagPacoCud.h"
#include "src/prj/unit/editors/TfmVelCud.h"
#include "src/prj/unit/editors/TfrVelCud.h"
#include "src/prj/unit/import/VelImportReport.h"
#include "tor/util/TorFolders.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

namespace {

QWidget *focused(QWidget *fallback)
{
    QWidget *f = QApplication::focusWidget();
    return f ? f : fallback;
}

void key(QWidget *window, int k, Qt::KeyboardModifiers m = Qt::NoModifier)
{
    QTest::keyClick(focused(window), Qt::Key(k), m);
}

// Tab until `target` has the focus; false when it never gets it.
bool tabTo(QWidget *target, QWidget *window)
{
    QStringList visited;
    for (int i = 0; i < 80 && QApplication::focusWidget() != target; ++i) {
        key(window, Qt::Key_Tab);
        QWidget *f = QApplication::focusWidget();
        visited << (f ? QLatin1String(f->metaObject()->className()) + u':' + f->objectName() : QStringLiteral("-"));
    }
    if (QApplication::focusWidget() != target)
        qWarning("Tab never reaches %s: %s", qPrintable(target->objectName()), qPrintable(visited.mid(0, 20).join(u' ')));
    return QApplication::focusWidget() == target;
}

// Alt and the letter of a button or a label's buddy.
void mnemonic(QWidget *window, const QString &text)
{
    const QKeySequence seq = QKeySequence::mnemonic(text);
    QVERIFY2(!seq.isEmpty(), qPrintable(text));
    // a message shown on the way may have taken the active window, as a
    // click on the window would give it back
    QApplication::setActiveWindow(window->window());
    QTest::keyClick(focused(window), Qt::Key(seq[0].key()), Qt::AltModifier);
}

// Calls fn once the modal window named `name` is in front, from its own loop.
void whenModalNamed(const QString &name, std::function<void(QWidget *)> fn)
{
    whenModal([name, fn](QWidget *w) {
        if (w->objectName() == name) {
            // the window in front takes the keys, as on a screen
            QApplication::setActiveWindow(w);
            w->activateWindow();
            if (!QTest::qWaitForWindowActive(w, 2000))
                qWarning("window not active: %s", qPrintable(name));
            fn(w);
            // a check that failed leaves no window waiting for keys
            if (QTest::currentTestFailed())
                if (auto *d = qobject_cast<QDialog *>(w); d && d->isVisible())
                    d->reject();
            return;
        }
        whenModalNamed(name, fn);   // another one came first: wait on
    });
}

QString plain(QString text)
{
    return text.remove(u'&');
}

} // namespace

class TstDbKeyboard : public QObject
{
    Q_OBJECT
    std::unique_ptr<Installation> inst;
    std::unique_ptr<ScriptedResponder> user;

    TfmVelMain *main() const { return inst->main(); }

    // Alt and the menu's letter, down to the item, Return: the command runs.
    bool fromMenu(const QString &menuText, const QString &item)
    {
        QMenu *menu = nullptr;
        for (QAction *a : main()->menuBar()->actions())
            if (a->menu() && plain(a->text()) == menuText)
                menu = a->menu();
        if (!menu)
            return false;
        QApplication::setActiveWindow(main());
        const QKeySequence seq = QKeySequence::mnemonic(menu->menuAction()->text());
        QTest::keyClick(focused(main()), Qt::Key(seq[0].key()), Qt::AltModifier);
        if (!QTest::qWaitFor([menu] { return menu->isVisible(); }, 2000))
            return false;
        for (int i = 0; i < 30 && !(menu->activeAction() && plain(menu->activeAction()->text()) == item); ++i)
            QTest::keyClick(menu, Qt::Key_Down);
        if (!menu->activeAction() || plain(menu->activeAction()->text()) != item)
            return false;
        QTest::keyClick(menu, Qt::Key_Return);
        return true;
    }

    int pdfsIn(const QString &dir) const
    {
        return int(QDir(dir).entryList({QStringLiteral("*.pdf")}, QDir::Files).size());
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
        main()->resize(1024, 768);
        QApplication::setActiveWindow(main());
        QVERIFY(QTest::qWaitForWindowActive(main()));
    }
    void cleanupTestCase()
    {
        if (inst && inst->main())
            inst->main()->closeAllChildren();
        user.reset();
        inst.reset();
    }

    void importFindAndPrint()
    {
        // ---- the import: wizard, then the selection of the employees
        bool wizardDone = false, selectionDone = false;
        int imported = 0;
        whenModalNamed(QStringLiteral("fmVelWizImport"), [&](QWidget *w) {
            auto *wiz = static_cast<TfmVelWizImport *>(w);
            // section 2 from the payments sent to NoiPA, as proposed: the
            // reporting body's tax code is typed on the second page
            QVERIFY(wiz->rbInpdapNoiPa->isChecked());
            QVERIFY(tabTo(wiz->buNext, wiz));
            key(wiz, Qt::Key_Space);
            QVERIFY(wiz->tsParametri->isVisible());
            QVERIFY(tabTo(wiz->frRagPacoCud->edCfMef, wiz));
            QTest::keyClicks(focused(wiz), QStringLiteral("01234567897"));
            QVERIFY(tabTo(wiz->buOk, wiz));
            // the selection window comes once the wizard is closed
            whenModalNamed(QStringLiteral("fmVelImpMultiSelect"), [&](QWidget *s) {
                // employees with several positions: their dialog is confirmed by Return
                QTimer positions;
                positions.setInterval(20);
                connect(&positions, &QTimer::timeout, &positions, [] {
                    QWidget *m = QApplication::activeModalWidget();
                    if (m && m->objectName() == QLatin1String("fmVelCudTno"))
                        QTest::keyClick(focused(m), Qt::Key_Return);
                });
                positions.start();
                auto *ok = s->findChild<QAbstractButton *>(QStringLiteral("buOk"));
                QVERIFY(ok);
                QVERIFY(tabTo(ok, s));
                key(s, Qt::Key_Space);
                // nothing selected: the whole list; the report is said at the end
                QTRY_VERIFY2_WITH_TIMEOUT(user->lastText().startsWith(QStringLiteral("Importazione terminata: ")),
                                          qPrintable(user->texts().join(u'\n').left(600)), 30000);
                imported = user->lastText().section(u' ', 2, 2).toInt();
                if (s->isVisible())
                    key(s, Qt::Key_Escape);
                selectionDone = true;
            });
            key(wiz, Qt::Key_Space);
            wizardDone = true;
        });
        QVERIFY(fromMenu(QStringLiteral("Operazioni"), QStringLiteral("Import")));
        QTRY_VERIFY_WITH_TIMEOUT(selectionDone, 180000);
        QVERIFY(wizardDone);
        QVERIFY2(user->lastText().contains(QStringLiteral("--- Pagati nell'anno e non in elenco")),
                 qPrintable(user->lastText()));
        QVERIFY2(imported >= 30, qPrintable(user->lastText().left(200)));
        QVERIFY(!VelImportReport::load().isEmpty());

        // ---- "Dati CU": Ctrl+F to the search, a name, Ctrl+Tab to its detail and back
        const auto openCu = [this]() -> TfrVelCud * {
            if (!fromMenu(QStringLiteral("Operazioni"), QStringLiteral("Dati CU"))
                || !QTest::qWaitFor([this] { return main()->mdiChildCount() == 1; })) {
                qWarning("Dati CU non aperto");
                return nullptr;
            }
            auto *fm = qobject_cast<TfmVelCud *>(main()->mdiChildren().first());
            if (!fm || !QTest::qWaitFor([fm] { return fm->frVelCud->cdsMain->active(); }))
                return nullptr;
            TfrVelCud *fr = fm->frVelCud;
            QApplication::setActiveWindow(main());
            key(main(), Qt::Key_F, Qt::ControlModifier);
            if (QApplication::focusWidget() != fr->edCerca) {
                QWidget *f = QApplication::focusWidget();
                qWarning("Ctrl+F: fuoco su %s", f ? qPrintable(QLatin1String(f->metaObject()->className()) + u':'
                                                               + f->objectName())
                                                     : "nessuno");
                return nullptr;
            }
            QTest::keyClicks(fr->edCerca, QStringLiteral("ROSSI M"));
            key(main(), Qt::Key_Tab, Qt::ControlModifier);
            return fr;
        };
        TfrVelCud *fr = openCu();
        QVERIFY(fr);
        QCOMPARE(fr->cdsMain->recordCount(), imported);
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("SCUDCOGNOME")).asString(), QStringLiteral("ROSSI"));
        QVERIFY(fr->detailShown());
        QVERIFY(fr->tsDettaglio->isAncestorOf(QApplication::focusWidget()));
        QCOMPARE(fr->lbStato->text(), QString());
        key(main(), Qt::Key_Tab, Qt::ControlModifier);
        QVERIFY(!fr->detailShown());
        QCOMPARE(QApplication::focusWidget(), fr->grMain);
        key(main(), Qt::Key_F4, Qt::ControlModifier);
        QTRY_COMPARE(main()->mdiChildCount(), 0);

        // ---- "Stampa CU Sintetico": a draft, then the final print
        const QString stp = TorFolders::stpDir();
        bool printed = false;
        whenModalNamed(QStringLiteral("fmVelPDF"), [&](QWidget *w) {
            auto *pdf = static_cast<TfmVelPDF *>(w);
            mnemonic(pdf, pdf->chkBozza->text());
            QTRY_VERIFY(pdf->chkBozza->isChecked());
            QCOMPARE(pdf->edPdfFileName->text(), QStringLiteral("CU-2026-Bozza"));
            mnemonic(pdf, pdf->buCreatePdf->text());
            QTRY_VERIFY(QFileInfo::exists(stp + QStringLiteral("CU-2026-Bozza.pdf")));
            QVERIFY(!QFileInfo::exists(stp + QStringLiteral("CU-2026.pdf")));
            mnemonic(pdf, pdf->chkBozza->text());
            QTRY_VERIFY(!pdf->chkBozza->isChecked());
            QCOMPARE(pdf->edPdfFileName->text(), QStringLiteral("CU-2026"));
            // Tab through the window never changes what is printed
            for (int i = 0; i < 30; ++i)
                key(pdf, Qt::Key_Tab);
            QVERIFY(pdf->rbTutti->isChecked());
            user->answer(IDYES, TfmVelPDF::lockQuestion(imported, imported).left(20));
            mnemonic(pdf, pdf->buCreatePdf->text());
            QTRY_VERIFY(QFileInfo::exists(stp + QStringLiteral("CU-2026.pdf")));
            mnemonic(pdf, pdf->buExit->text());
            printed = true;
        });
        QVERIFY(fromMenu(QStringLiteral("Stampe"), QStringLiteral("Stampa CU Sintetico")));
        QTRY_VERIFY(printed);
        QCOMPARE(user->pendingAnswers(), 0);

        // ---- the printed CU opens for reading, saying so; a key in a box is
        // answered with how to unlock it, and changes nothing
        const int before = int(user->shown().size());
        fr = openCu();
        QVERIFY(fr);
        QVERIFY(fr->detailShown());
        QCOMPARE(int(user->shown().size()), before);
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
        QVERIFY(fr->cdsMain->fieldByName(QStringLiteral("iCudStato")).asInteger() > 0);
        QCOMPARE(fr->lbStato->text(), TfrVelCud::readOnlyText());
        const QString surname = fr->cdsMain->fieldByName(QStringLiteral("SCUDCOGNOME")).asString();
        QVERIFY(qobject_cast<QLineEdit *>(QApplication::focusWidget()));
        QTest::keyClick(focused(main()), Qt::Key_X);
        QCOMPARE(fr->cdsMain->state(), TDataSetState::Browse);
        QCOMPARE(user->lastText(), TfrVelCud::printedText());
        QCOMPARE(fr->cdsMain->fieldByName(QStringLiteral("SCUDCOGNOME")).asString(), surname);
        main()->closeAllChildren();
        QTRY_COMPARE(main()->mdiChildCount(), 0);
    }

    // The other print windows: reached from the menu, printed and left from
    // the keyboard.
    void theOtherPrintWindows_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("form");
        QTest::addColumn<QString>("create");
        QTest::addColumn<QString>("leave");
        QTest::newRow("frontespizio") << "Stampa Frontespizio" << "fmVelPdfSost" << "buCrea" << "buEsci";
        QTest::newRow("quadro-ct") << "Stampa Quadro CT" << "fmVelPdfQuadroCT" << "buCrea" << "buEsci";
        QTest::newRow("firme") << "Firma ricevute" << "fmVelStampaFirme" << "buStampa" << "buOk";
    }
    void theOtherPrintWindows()
    {
        QFETCH(QString, item);
        QFETCH(QString, form);
        QFETCH(QString, create);
        QFETCH(QString, leave);
        const QString stp = TorFolders::stpDir();
        const int before = pdfsIn(stp);
        bool done = false;
        whenModalNamed(form, [&](QWidget *w) {
            auto *make = w->findChild<QAbstractButton *>(create);
            QVERIFY(make);
            mnemonic(w, make->text());
            QTRY_VERIFY2(pdfsIn(stp) > before, qPrintable(user->texts().join(u'\n')));
            // its own button, or Esc
            if (auto *out = w->findChild<QAbstractButton *>(leave); out && !leave.isEmpty())
                mnemonic(w, out->text());
            else
                key(w, Qt::Key_Escape);
            done = true;
        });
        QVERIFY(fromMenu(QStringLiteral("Stampe"), item));
        QTRY_VERIFY(done);
        QTRY_VERIFY(!QApplication::activeModalWidget());
    }
};

QTEST_MAIN(TstDbKeyboard)
#include "tst_db_keyboard.moc"
