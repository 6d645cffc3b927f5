#include "platform/core/OvExceptions.h"
#include "platform/ui/framework/OvForms.h"
#include "platform/ui/framework/TfmOvChildDoc.h"
#include "platform/ui/framework/TfmOvMDIMain.h"
#include "platform/ui/framework/TfmOvMultiSelect.h"
#include "platform/ui/framework/TfmOvOkCancDlg.h"
#include "platform/ui/framework/TfmOvWizard.h"
#include "support/ScriptedResponder.h"

#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStackedWidget>
#include <QStandardItemModel>
#include <QTableView>
#include <QTimer>
#include <QtTest>

namespace {

// Import-like wizard: page 0 is a base page not on the path, 1 and 2 are.
class Wizard : public TfmOvWizard
{
public:
    Wizard()
    {
        for (const char *name : {"tsTipoCompenso", "tsMeseComp", "tsParametri"})
            addPage(new QLabel(QString::fromLatin1(name)), QString::fromLatin1(name));
    }
    bool refuse = false;          // leaving tsMeseComp forward is refused
    bool raiseOnLeave = false;    // leaving tsMeseComp forward raises
    bool refuseOnFinish = false;  // the last page refuses the finish
    QStringList log;

protected:
    void beforeChangePage(QWidget *from, bool forward, bool &allow) override
    {
        log << QStringLiteral("leave %1 %2").arg(from->objectName(), forward ? QStringLiteral(">") : QStringLiteral("<"));
        if (from->objectName() == QLatin1String("tsMeseComp") && forward) {
            if (raiseOnLeave)
                throw EOvError(QStringLiteral("Scegliere il mese."));
            allow = !refuse;
        }
        if (from->objectName() == QLatin1String("tsParametri") && forward && refuseOnFinish)
            allow = false;
    }
    void afterChangePage(QWidget *to) override { log << QStringLiteral("show %1").arg(to->objectName()); }
};

struct Buttons
{
    bool prior, next, ok;
};

Buttons buttonsOf(const Wizard &w)
{
    return {w.buPrior->isEnabled(), w.buNext->isEnabled(), w.buOk->isEnabled()};
}

class Dialog : public TfmOvOkCancDlg
{
public:
    using TfmOvOkCancDlg::TfmOvOkCancDlg;
    bool okAllowed = true;
    bool closeAllowed = true;
    int created = 0;
    int closed = 0;
    int closingWith = -1;

protected:
    void formCreate() override { ++created; }
    bool formCheckOk() override { return okAllowed; }
    void formCloseQuery(bool &canClose) override
    {
        closingWith = modalResult();
        canClose = closeAllowed;
    }
    void formClose() override { ++closed; }
};

class Child : public TfmOvChildDoc
{
public:
    bool canClose = true;
    int shows = 0;
    int closes = 0;
    int saves = 0;

    bool saveAll() override
    {
        ++saves;
        return true;
    }

protected:
    void formShow() override { ++shows; }
    void formCloseQuery(bool &ok) override { ok = canClose; }
    void formClose() override { ++closes; }
};

class Main : public TfmOvMDIMain
{
public:
    int creates = 0, shows = 0, activations = 0, closes = 0;

protected:
    void formCreate() override
    {
        TfmOvMDIMain::formCreate();
        ++creates;
    }
    void formShow() override
    {
        TfmOvMDIMain::formShow();
        ++shows;
    }
    void formActivate() override
    {
        TfmOvMDIMain::formActivate();
        ++activations;
    }
    void formClose() override { ++closes; }
};

QStandardItemModel *payees(QObject *parent)
{
    auto *m = new QStandardItemModel(0, 2, parent);
    m->setHorizontalHeaderLabels({QStringLiteral("Codice"), QStringLiteral("Dipendente")});
    const char *names[] = {"ROSSI MARIO", "BIANCHI ANNA", "VERDI LUCA", "NERI GIULIA", "BRUNO PAOLO"};
    for (int i = 0; i < 5; ++i)
        m->appendRow({new QStandardItem(QString::number(100 + i)), new QStandardItem(QString::fromLatin1(names[i]))});
    return m;
}

void clickRow(QTableView *view, int row, Qt::KeyboardModifiers mods = Qt::NoModifier)
{
    const QRect r = view->visualRect(view->model()->index(row, 1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, mods, r.center());
}

} // namespace

class TstFrameworkForms : public QObject
{
    Q_OBJECT
private slots:
    void wizardWalksItsPath();
    void wizardPageMayRefuseToBeLeft();
    void wizardPathErrors();
    void wizardWithoutPathWalksAllPages();
    void okCancelDialogChecksAndAutoDestroy();
    void mainWindowHooks();
    void childRefusingToCloseStaysOpen();
    void multiSelectKeepsSelectionOrder();
    void multiSelectKeysFollowRowsThroughSorting();
};

void TstFrameworkForms::wizardWalksItsPath()
{
    Wizard w;
    w.Add(QStringLiteral("1"), QStringLiteral("1;2"));
    w.SetActivePath(QStringLiteral("1"));
    QCOMPARE(w.pcMain->currentWidget()->objectName(), QStringLiteral("tsMeseComp"));
    QCOMPARE(w.stepCount(), 2);
    Buttons b = buttonsOf(w);
    QVERIFY(!b.prior && b.next && !b.ok);

    QVERIFY(w.ChangePage(true));
    QCOMPARE(w.currentPage()->objectName(), QStringLiteral("tsParametri"));
    b = buttonsOf(w);
    QVERIFY(b.prior && !b.next && b.ok);
    QVERIFY(!w.ChangePage(true)); // already at the end

    QTest::mouseClick(w.buPrior, Qt::LeftButton);
    QCOMPARE(w.currentPage()->objectName(), QStringLiteral("tsMeseComp"));
    QVERIFY(!w.ChangePage(false)); // already at the start
    QTest::mouseClick(w.buNext, Qt::LeftButton);
    QCOMPARE(w.currentStep(), 1);

    // The base page outside the path was never shown; hooks saw each move.
    QCOMPARE(w.log, QStringList({QStringLiteral("show tsMeseComp"), QStringLiteral("leave tsMeseComp >"),
                                 QStringLiteral("show tsParametri"), QStringLiteral("leave tsParametri <"),
                                 QStringLiteral("show tsMeseComp"), QStringLiteral("leave tsMeseComp >"),
                                 QStringLiteral("show tsParametri")}));

    // Paths by page name; a new active path starts again from its first page.
    w.Add(QStringLiteral("corto"), QStringLiteral("tsTipoCompenso; tsParametri"));
    w.SetActivePath(QStringLiteral("corto"));
    QCOMPARE(w.currentPage()->objectName(), QStringLiteral("tsTipoCompenso"));
    QCOMPARE(w.activePath(), QStringLiteral("corto"));
}

void TstFrameworkForms::wizardPageMayRefuseToBeLeft()
{
    ScriptedResponder user;
    Wizard w;
    w.Add(QStringLiteral("1"), QStringLiteral("1;2"));
    w.SetActivePath(QStringLiteral("1"));

    w.refuse = true;
    QVERIFY(!w.ChangePage(true));
    QCOMPARE(w.currentPage()->objectName(), QStringLiteral("tsMeseComp"));
    QVERIFY(buttonsOf(w).next);

    // A hook that raises: the user reads why, the page stays.
    w.refuse = false;
    w.raiseOnLeave = true;
    QTest::mouseClick(w.buNext, Qt::LeftButton);
    QCOMPARE(w.currentPage()->objectName(), QStringLiteral("tsMeseComp"));
    QCOMPARE(user.texts(), QStringList{QStringLiteral("Scegliere il mese.")});

    w.raiseOnLeave = false;
    QVERIFY(w.ChangePage(true));

    // OK asks the last page too: refused, the wizard stays open.
    w.refuseOnFinish = true;
    w.show();
    QVERIFY(!w.clickOk());
    QVERIFY(w.isVisible());
    w.refuseOnFinish = false;
    QVERIFY(w.clickOk());
    QVERIFY(!w.isVisible());
    QCOMPARE(w.result(), int(QDialog::Accepted));
}

void TstFrameworkForms::wizardPathErrors()
{
    Wizard w;
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, w.SetActivePath(QStringLiteral("nessuno")));
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, w.Add(QStringLiteral("vuoto"), QStringLiteral(" ; ")));
    w.Add(QStringLiteral("oltre"), QStringLiteral("1;7"));
    try {
        w.SetActivePath(QStringLiteral("oltre"));
        QFAIL("a step without page was accepted");
    } catch (const EAssertionFailed &e) {
        QVERIFY(e.message().contains(QStringLiteral("\"7\"")));
    }
    w.Add(QStringLiteral("nome"), QStringLiteral("tsMeseComp;tsInesistente"));
    QVERIFY_THROWS_EXCEPTION(EAssertionFailed, w.SetActivePath(QStringLiteral("nome")));
}

void TstFrameworkForms::wizardWithoutPathWalksAllPages()
{
    Wizard w;
    w.show();
    QCOMPARE(w.stepCount(), 3);
    QCOMPARE(w.currentPage()->objectName(), QStringLiteral("tsTipoCompenso"));
    QVERIFY(w.ChangePage(true) && w.ChangePage(true));
    QVERIFY(buttonsOf(w).ok);
    w.reject();
}

void TstFrameworkForms::okCancelDialogChecksAndAutoDestroy()
{
    // OK refused by the check: the dialog stays open, its close query is not even asked.
    Dialog d;
    d.okAllowed = false;
    QTimer::singleShot(0, &d, [&] {
        QVERIFY(!d.clickOk());
        QVERIFY(d.isVisible());
        d.okAllowed = true;
        d.closeAllowed = false;
        QVERIFY(!d.clickOk()); // the close query says no
        QCOMPARE(d.closingWith, int(QDialog::Accepted));
        QVERIFY(d.isVisible());
        d.closeAllowed = true;
        QTest::mouseClick(d.buCancel, Qt::LeftButton);
    });
    QCOMPARE(d.ShowModal(), int(mrCancel));
    QCOMPARE(d.closingWith, int(QDialog::Rejected));
    QCOMPARE(d.created, 1);
    QCOMPARE(d.closed, 1);

    // Kept alive after closing: the caller reads the result and reuses it.
    auto *kept = ovCreate<Dialog>();
    QCOMPARE(kept->created, 1);
    QPointer<Dialog> keptGuard(kept);
    kept->SetAutoDestroy(false);
    QTimer::singleShot(0, kept, [kept] { kept->buOk->click(); });
    QCOMPARE(kept->exec(), int(QDialog::Accepted));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(keptGuard);
    QCOMPARE(kept->created, 1); // formCreate ran once in all
    delete kept;

    // Auto-destroying: gone once the event loop gets to it.
    auto *gone = new Dialog;
    QPointer<Dialog> goneGuard(gone);
    gone->SetAutoDestroy(true);
    QTimer::singleShot(0, gone, [gone] { gone->reject(); });
    gone->exec();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!goneGuard);
}

void TstFrameworkForms::mainWindowHooks()
{
    QCoreApplication::setApplicationVersion(QStringLiteral("6.97.29"));
    Main *m = ovCreate<Main>();
    QCOMPARE(m->creates, 1);
    QCOMPARE(TfmOvMDIMain::instance(), m);
    QCOMPARE(TfmOvMDIMain::programVersion(), QStringLiteral("6.97.29"));
    QVERIFY(m->acAid);
    m->show();
    QVERIFY(QTest::qWaitForWindowActive(m));
    QCOMPARE(m->creates, 1);
    QCOMPARE(m->shows, 1);
    QVERIFY(m->activations >= 1);
    m->hide();
    m->show();
    QCOMPARE(m->shows, 1); // formShow is the first show only
    QVERIFY(m->close());
    QCOMPARE(m->closes, 1);
    delete m;
    QVERIFY(!TfmOvMDIMain::instance());
}

void TstFrameworkForms::childRefusingToCloseStaysOpen()
{
    Main m;
    m.show();
    auto *child = new Child;
    QPointer<Child> guard(child);
    QMdiSubWindow *sw = m.addChild(child);
    auto *other = new Child;
    m.addChild(other);
    QCOMPARE(m.mdiChildCount(), 2);
    QCOMPARE(child->shows, 1);
    QCOMPARE(child->subWindow(), sw);

    child->canClose = false;
    QVERIFY(!sw->close());
    QCOMPARE(m.mdiChildCount(), 2);
    QVERIFY(!m.closeAllChildren());
    QVERIFY(guard);
    // Neither does the main window close over it.
    QVERIFY(!m.close());
    QVERIFY(m.isVisible());
    QCOMPARE(m.closes, 0);
    QCOMPARE(child->closes, 0);

    QVERIFY(m.saveAllChildren());
    QCOMPARE(child->saves, 1);
    QCOMPARE(other->saves, 1);

    // Closed from inside the form: the frame goes along, the count drops.
    child->canClose = true;
    QVERIFY(child->close());
    QCOMPARE(child->closes, 1);
    QCOMPARE(m.mdiChildCount(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!guard);

    QVERIFY(m.closeAllChildren());
    QCOMPARE(m.mdiChildCount(), 0);
}

void TstFrameworkForms::multiSelectKeepsSelectionOrder()
{
    TfmOvMultiSelect dlg;
    QStandardItemModel *model = payees(&dlg);
    dlg.setModel(model);
    dlg.setRowKey([model](int row) { return model->item(row, 0)->text(); });
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QSignalSpy counted(&dlg, &TfmOvMultiSelect::selectionCountChanged);

    clickRow(dlg.grMain, 3);
    clickRow(dlg.grMain, 1, Qt::ControlModifier);
    clickRow(dlg.grMain, 4, Qt::ControlModifier);
    QCOMPARE(dlg.selectedRows(), QList<int>({3, 1, 4}));
    QCOMPARE(dlg.selectedKeys(), QList<QVariant>({QStringLiteral("103"), QStringLiteral("101"), QStringLiteral("104")}));
    QCOMPARE(counted.last().at(0).toInt(), 3);

    clickRow(dlg.grMain, 1, Qt::ControlModifier); // toggled off
    QCOMPARE(dlg.selectedRows(), QList<int>({3, 4}));

    // Select all keeps the ones already chosen first, the rest in grid order.
    QTest::mouseClick(dlg.buSelectAll, Qt::LeftButton);
    QCOMPARE(dlg.selectedRows(), QList<int>({3, 4, 0, 1, 2}));
    QTest::mouseClick(dlg.buSelectNone, Qt::LeftButton);
    QVERIFY(dlg.selectedRows().isEmpty());

    // A plain click starts a new selection.
    clickRow(dlg.grMain, 2, Qt::ControlModifier);
    clickRow(dlg.grMain, 0);
    QCOMPARE(dlg.selectedRows(), QList<int>({0}));

    // Removing a selected row, or resetting the model, drops it from the list.
    clickRow(dlg.grMain, 4, Qt::ControlModifier);
    model->removeRow(0);
    QCOMPARE(dlg.selectedKeys(), QList<QVariant>({QStringLiteral("104")}));
    model->clear();
    QVERIFY(dlg.selectedRows().isEmpty());
}

void TstFrameworkForms::multiSelectKeysFollowRowsThroughSorting()
{
    TfmOvMultiSelect dlg;
    QStandardItemModel *model = payees(&dlg);
    QSortFilterProxyModel proxy;
    proxy.setSourceModel(model);
    dlg.setModel(&proxy);
    dlg.setRowKey([&proxy](int row) { return proxy.index(row, 0).data(); });
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));

    clickRow(dlg.grMain, 2);                      // VERDI 102
    clickRow(dlg.grMain, 0, Qt::ControlModifier); // ROSSI 100
    proxy.sort(1);                                // by name: BIANCHI, BRUNO, NERI, ROSSI, VERDI
    QCOMPARE(dlg.selectedRows(), QList<int>({4, 3}));
    QCOMPARE(dlg.selectedKeys(), QList<QVariant>({QStringLiteral("102"), QStringLiteral("100")}));

    // Another model: the old one no longer speaks for the selection.
    QStandardItemModel *other = payees(&dlg);
    dlg.setModel(other);
    clickRow(dlg.grMain, 1);
    model->clear();
    QCOMPARE(dlg.selectedRows(), QList<int>({1}));
    dlg.setModel(nullptr);
    QVERIFY(dlg.selectedKeys().isEmpty());
}

QTEST_MAIN(TstFrameworkForms)
#include "tst_framework_forms.moc"
