#include "platform/core/OvExceptions.h"
#include "platform/ui/framework/OvFormRegistry.h"
#include "platform/ui/framework/TOvOutlineBar.h"
#include "platform/ui/framework/TdmOvAttivazioni.h"
#include "platform/ui/framework/TfmOvChildDoc.h"
#include "platform/ui/framework/TfmOvDialog.h"
#include "platform/ui/framework/TfmOvMDIMain.h"
#include "support/ScriptedResponder.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QStatusBar>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QtTest>

namespace {

int g_childrenMade = 0;
int g_dialogsMade = 0;
QPointer<QWidget> g_lastDialog;

class EditorForm : public TfmOvChildDoc
{
public:
    explicit EditorForm(QWidget *parent = nullptr)
        : TfmOvChildDoc(parent)
    {
        ++g_childrenMade;
        setWindowTitle(QStringLiteral("Modello CU"));
        auto *l = new QVBoxLayout(this);
        auto *grid = new QTableWidget(6, 4, this);
        grid->setHorizontalHeaderLabels({QStringLiteral("Codice fiscale"), QStringLiteral("Cognome"),
                                         QStringLiteral("Nome"), QStringLiteral("Mese")});
        const char *rows[][4] = {{"RSSMRA80A01H501U", "ROSSI", "MARIO", "12"}, {"BNCNNA75C41F205X", "BIANCHI", "ANNA", "12"},
                                 {"VRDLCU90E12L219K", "VERDI", "LUCA", "08"}, {"NREGLI85M55A944B", "NERI", "GIULIA", "12"}};
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c)
                grid->setItem(r, c, new QTableWidgetItem(QString::fromLatin1(rows[r][c])));
        grid->resizeColumnsToContents();
        l->addWidget(grid);
        resize(560, 300);
    }
};

class PrintDialog : public TfmOvDialog
{
public:
    explicit PrintDialog(QWidget *parent = nullptr)
        : TfmOvDialog(parent)
    {
        ++g_dialogsMade;
        g_lastDialog = this;
    }

protected:
    void formShow() override
    {
        QTimer::singleShot(0, this, &QDialog::accept);
    }
};

QStringList texts(const QList<QAction *> &actions)
{
    QStringList list;
    for (QAction *a : actions)
        if (!a->isSeparator())
            list << a->text();
    return list;
}

QStringList buttonTexts(TOvOutlineBar *bar, int page)
{
    QStringList list;
    for (TOvOutlineButton *b : bar->buttons(page))
        list << b->text();
    return list;
}

// A table shaped like the program's: a sorted page, an unsorted one, a hidden
// page, a page kept out of the menu, hidden and disabled commands.
struct Table
{
    TdmOvAttivazioni t;
    TOvApgPage *ops, *prints, *hidden, *tools;
    TOvAttForm *editor, *print;
    TOvAttComponent *import, *hiddenCmd, *disabled;
    TOvAttShell *news;

    Table()
    {
        for (const char *name : {"DATIANAGRAFICI", "MODELLI", "IMPORTMOD", "FIRME", "PARAMETRI"})
            t.images.addNamed(QString::fromLatin1(name));
        ops = t.addPage(QStringLiteral("xpgDatiCud"), QStringLiteral("Operazioni"), 10, 0);
        prints = t.addPage(QStringLiteral("xpgStampe"), QStringLiteral("Stampe"), 0, 1);
        prints->Sorted = false;
        hidden = t.addPage(QStringLiteral("xpgNascosta"), QStringLiteral("Nascosta"), 5);
        hidden->Visible = false;
        tools = t.addPage(QStringLiteral("xpgStrumenti"), QStringLiteral("Strumenti"), 30, 4);
        tools->InMenu = false;

        editor = t.addForm(QStringLiteral("xafDatiCud"), ops, 5, QStringLiteral("Dati CU"), QStringLiteral("TfmTestEditor"), false, 0);
        import = t.addComponent(QStringLiteral("xacImport"), ops, 1, QStringLiteral("Import"), 2);
        hiddenCmd = t.addComponent(QStringLiteral("xacNascosto"), ops, 2, QStringLiteral("Inpdap da storico"), 2);
        hiddenCmd->Visible = false;
        disabled = t.addComponent(QStringLiteral("xacSpento"), ops, 3, QStringLiteral("Fornitore"), 3);
        disabled->Enabled = false;
        print = t.addForm(QStringLiteral("xafStampa"), prints, 9, QStringLiteral("Stampa CU Sintetico"), QStringLiteral("TfmTestPrint"), true, 1);
        t.addComponent(QStringLiteral("xacFirme"), prints, 1, QStringLiteral("Firma ricevute"), 3);
        t.addForm(QStringLiteral("xafParametri"), tools, 0, QStringLiteral("Parametri"), QStringLiteral("TfmTestEditor"), false, 4);
        news = t.addShell(QStringLiteral("xasNotizie"), nullptr, 50, QStringLiteral("Notizie"), QStringLiteral("News.pdf"));
        news->Enabled = false;
    }
};

} // namespace

class TstFrameworkCommands : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        registerFormClass<EditorForm>(QStringLiteral("TfmTestEditor"));
        registerFormClass<PrintDialog>(QStringLiteral("TfmTestPrint"));
    }
    void init()
    {
        g_childrenMade = 0;
        g_dialogsMade = 0;
    }

    void buildsMenusAndOutlineInOrder();
    void beforeExecuteMayCancel();
    void formsByClassName();
    void unknownFormClassIsAClearError();
    void failingCommandIsShownNotThrown();
    void documentCommandsGoThroughTheShell();
    void demoScreenshot();
};

void TstFrameworkCommands::buildsMenusAndOutlineInOrder()
{
    Table tb;
    QMenuBar bar;
    QAction *help = bar.addMenu(QStringLiteral("?"))->menuAction();
    QWidget host;
    tb.t.SetMenuBar(&bar, help);
    tb.t.SetContainer(&host);
    tb.t.Execute();

    // Pages by Order, the hidden page absent, the page out of the menu absent
    // from the menu bar only; the table's menus go before "?".
    QCOMPARE(texts(bar.actions()), QStringList({QStringLiteral("Stampe"), QStringLiteral("Operazioni"), QStringLiteral("?")}));
    const QList<QMenu *> menus = tb.t.menus();
    QCOMPARE(menus.size(), 2);
    // Unsorted page: declaration order whatever the Order values.
    QCOMPARE(texts(menus.at(0)->actions()), QStringList({QStringLiteral("Stampa CU Sintetico"), QStringLiteral("Firma ricevute")}));
    // Sorted page: by Order; the invisible command is absent, the disabled one shown disabled.
    QCOMPARE(texts(menus.at(1)->actions()),
             QStringList({QStringLiteral("Import"), QStringLiteral("Fornitore"), QStringLiteral("Dati CU")}));
    QVERIFY(!menus.at(1)->actions().at(1)->isEnabled());
    QVERIFY(menus.at(1)->actions().at(0)->isEnabled());
    QVERIFY(!menus.at(1)->actions().at(0)->icon().isNull());

    TOvOutlineBar *ob = tb.t.outlineBar();
    QVERIFY(ob);
    QCOMPARE(ob->parentWidget(), &host);
    QCOMPARE(ob->pageCount(), 3);
    QCOMPARE(ob->pageCaption(0), QStringLiteral("Stampe"));
    QCOMPARE(ob->pageCaption(2), QStringLiteral("Strumenti"));
    QCOMPARE(buttonTexts(ob, 1), QStringList({QStringLiteral("Import"), QStringLiteral("Fornitore"), QStringLiteral("Dati CU")}));
    QVERIFY(!ob->buttons(1).at(1)->isEnabled());
    QCOMPARE(ob->currentPage(), 0);

    // Enabling later reaches both menu and outline bar.
    tb.disabled->setEnabled(true);
    QVERIFY(menus.at(1)->actions().at(1)->isEnabled());
    QVERIFY(ob->buttons(1).at(1)->isEnabled());

    // Building again replaces what was built instead of adding to it.
    tb.t.Execute();
    QCOMPARE(bar.actions().size(), 3);
    QCOMPARE(host.findChildren<TOvOutlineBar *>().size(), 1);

    // Choosing an entry runs its command.
    int runs = 0;
    tb.import->OnExecute = [&](TOvAttComponent *) { ++runs; };
    tb.t.menus().at(1)->actions().at(0)->trigger();
    QCOMPARE(runs, 1);
    ob = tb.t.outlineBar();
    QTest::mouseClick(ob->buttons(1).at(0), Qt::LeftButton);
    QCOMPARE(runs, 2);
}

void TstFrameworkCommands::beforeExecuteMayCancel()
{
    ScriptedResponder user;
    Table tb;
    TfmOvMDIMain main;
    tb.t.SetMainForm(&main);
    QStringList calls;
    tb.editor->BeforeExecute = [&](TOvAttCommand *cmd, bool &allow) {
        calls << QStringLiteral("before ") + cmd->objectName();
        allow = false;
    };
    tb.editor->AfterExecute = [&](TOvAttCommand *) { calls << QStringLiteral("after"); };
    QVERIFY(!tb.t.Execute(tb.editor));
    QCOMPARE(calls, QStringList{QStringLiteral("before xafDatiCud")});
    QCOMPARE(g_childrenMade, 0);
    QCOMPARE(main.mdiChildCount(), 0);
    QVERIFY(user.shown().isEmpty()); // cancelled silently

    // Commands without a page, hidden or disabled still run when asked directly.
    int runs = 0;
    tb.hiddenCmd->OnExecute = [&](TOvAttComponent *) { ++runs; };
    QVERIFY(tb.t.Execute(QStringLiteral("xacNascosto")));
    QCOMPARE(runs, 1);
}

void TstFrameworkCommands::formsByClassName()
{
    ScriptedResponder user;
    Table tb;
    TfmOvMDIMain main;
    main.show();
    QWidget *panel = main.leftPanel();
    tb.t.SetContainer(panel);
    tb.t.Execute();
    QCOMPARE(tb.t.mainForm(), &main);

    // Non-modal: an MDI child; running it again brings the same one forward.
    int after = 0;
    tb.editor->AfterExecute = [&](TOvAttCommand *) { ++after; };
    QVERIFY(tb.t.Execute(tb.editor));
    QCOMPARE(main.mdiChildCount(), 1);
    QVERIFY(tb.t.Execute(tb.editor));
    QCOMPARE(main.mdiChildCount(), 1);
    QCOMPARE(g_childrenMade, 1);
    QCOMPARE(after, 2);
    QCOMPARE(main.activeChild(), tb.editor->instance());

    // Class names are matched regardless of case, and multiple instances are allowed when asked.
    auto *second = tb.t.addForm(QStringLiteral("xafAltro"), tb.ops, 7, QStringLiteral("Altro"), QStringLiteral("tfmtesteditor"), false);
    second->MultipleInstance = true;
    QVERIFY(tb.t.Execute(second));
    QVERIFY(tb.t.Execute(second));
    QCOMPARE(main.mdiChildCount(), 3);

    // Closing the single instance lets the next run create a new one.
    QVERIFY(main.closeAllChildren());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!tb.editor->instance());
    QVERIFY(tb.t.Execute(tb.editor));
    QCOMPARE(g_childrenMade, 4);

    // Modal: runs exec() and is released afterwards; AfterExecute follows the dialog.
    bool dialogGoneBeforeAfter = false;
    tb.print->AfterExecute = [&](TOvAttCommand *) { dialogGoneBeforeAfter = g_lastDialog.isNull(); };
    QVERIFY(tb.t.Execute(tb.print));
    QCOMPARE(g_dialogsMade, 1);
    QVERIFY(dialogGoneBeforeAfter);
    QCOMPARE(main.mdiChildCount(), 1); // modal forms are not children
    QVERIFY(user.shown().isEmpty());
}

void TstFrameworkCommands::unknownFormClassIsAClearError()
{
    ScriptedResponder user;
    Table tb;
    TfmOvMDIMain main;
    tb.t.SetMainForm(&main);
    bool afterRan = false;
    tb.editor->ClasseForm = QStringLiteral("TfmVelCud");
    tb.editor->AfterExecute = [&](TOvAttCommand *) { afterRan = true; };
    QVERIFY(!tb.t.Execute(tb.editor));
    QCOMPARE(user.texts(),
             QStringList{QStringLiteral("La finestra \"TfmVelCud\" del comando \"Dati CU\" non è disponibile in questo programma.")});
    QCOMPARE(user.shown().at(0).icon, OvMessageIcon::Error);
    QVERIFY(!afterRan);
    QCOMPARE(main.mdiChildCount(), 0);

    QVERIFY_THROWS_EXCEPTION(EOvError, createForm(QStringLiteral("TfmNessuna")));
    QVERIFY(!tb.t.Execute(QStringLiteral("xafInesistente")));
    QVERIFY(user.lastText().contains(QStringLiteral("xafInesistente")));
}

void TstFrameworkCommands::failingCommandIsShownNotThrown()
{
    ScriptedResponder user;
    setErrorContextProvider([] { return QStringLiteral("\r\nUltima operazione DB: QRY_SED"); });
    Table tb;
    bool afterRan = false;
    tb.import->OnExecute = [](TOvAttComponent *) { throw EDatabaseError(QStringLiteral("Connessione interrotta")); };
    tb.import->AfterExecute = [&](TOvAttCommand *) { afterRan = true; };
    QVERIFY(!tb.t.Execute(tb.import));
    QVERIFY(!afterRan);
    // A before-execute handler that raises a warning cancels too.
    tb.print->BeforeExecute = [](TOvAttCommand *, bool &) {
        throw EOvWarning(QStringLiteral("Chiudere tutte le finestre prima di eseguire l'operazione."));
    };
    QVERIFY(!tb.t.Execute(tb.print));
    QCOMPARE(g_dialogsMade, 0);
    setErrorContextProvider({});
    QCOMPARE(user.texts(), QStringList({QStringLiteral("Connessione interrotta\r\nUltima operazione DB: QRY_SED"),
                                        QStringLiteral("Chiudere tutte le finestre prima di eseguire l'operazione.")}));
    QCOMPARE(user.shown().at(1).icon, OvMessageIcon::Warning);
}

void TstFrameworkCommands::documentCommandsGoThroughTheShell()
{
    ScriptedResponder user;
    RecordingShell shell;
    Table tb;
    QStringList order;
    tb.news->Directory = QStringLiteral("/opt/velcu/USR\\KZ2025\\Res\\");
    tb.news->Param = QStringLiteral("-p");
    tb.news->BeforeExecute = [&](TOvAttCommand *, bool &) { order << QStringLiteral("before"); };
    tb.news->AfterExecute = [&](TOvAttCommand *) { order << QStringLiteral("after ") + QString::number(shell.documents.size()); };
    QVERIFY(tb.t.Execute(tb.news)); // disabled and without page, run from the Help menu
    QCOMPARE(shell.documents.size(), 1);
    QCOMPARE(shell.documents.at(0).filePath, QStringLiteral("/opt/velcu/USR/KZ2025/Res/News.pdf"));
    QCOMPARE(shell.documents.at(0).directory, QStringLiteral("/opt/velcu/USR\\KZ2025\\Res\\"));
    QCOMPARE(shell.documents.at(0).params, QStringLiteral("-p"));
    QVERIFY(!shell.documents.at(0).waitEnd);
    QCOMPARE(order, QStringList({QStringLiteral("before"), QStringLiteral("after 1")}));

    // A before-execute handler may point the command at another file.
    tb.news->BeforeExecute = [](TOvAttCommand *cmd, bool &) {
        static_cast<TOvAttShell *>(cmd)->FileName = QStringLiteral("/opt/velcu/USR/KZ2025/Res/CU_2026_istruz.pdf");
    };
    tb.news->WaitEndOfProcess = true;
    QVERIFY(tb.t.Execute(tb.news));
    QCOMPARE(shell.documents.at(1).filePath, QStringLiteral("/opt/velcu/USR/KZ2025/Res/CU_2026_istruz.pdf"));
    QVERIFY(shell.documents.at(1).waitEnd);

    // The document cannot be opened: the user is told, AfterExecute does not run.
    order.clear();
    tb.news->BeforeExecute = {};
    shell.onOpen = [](const RecordingShell::Document &d) {
        throw EOvError(QStringLiteral("Impossibile aprire il documento \"%1\": il file non esiste.").arg(d.filePath));
    };
    QVERIFY(!tb.t.Execute(tb.news));
    QVERIFY(order.isEmpty());
    QVERIFY(user.lastText().contains(QStringLiteral("CU_2026_istruz.pdf")));

    tb.news->FileName.clear();
    QVERIFY(!tb.t.Execute(tb.news));
    QCOMPARE(user.lastText(), QStringLiteral("Il comando \"Notizie\" non indica il documento da aprire."));
}

void TstFrameworkCommands::demoScreenshot()
{
    ScriptedResponder user;
    QCoreApplication::setApplicationVersion(QStringLiteral("6.97.29"));
    TfmOvMDIMain main;
    main.setWindowTitle(QStringLiteral("CU 2026"));
    main.resize(1000, 640);
    Table tb;
    tb.t.SetContainer(main.leftPanel(113));
    tb.t.Execute();
    main.setStatusText(0, QStringLiteral("Anno finanziario: 2025    Provvedimento del 15/01/2026"));
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    tb.t.outlineBar()->setCurrentPage(1);
    QVERIFY(tb.t.Execute(tb.editor));
    QCoreApplication::processEvents();

    // The outline bar sits left of the MDI area at its width.
    QWidget *panel = main.leftPanel();
    QVERIFY(panel->isVisible());
    QVERIFY(qAbs(panel->width() - 113) <= 4);
    QVERIFY(panel->geometry().right() < main.mdiArea()->geometry().left());
    const QPixmap shot = main.grab();
    QVERIFY(!shot.isNull());
    QVERIFY(shot.save(QStringLiteral("/tmp/framework-demo.png")));
}

QTEST_MAIN(TstFrameworkCommands)
#include "tst_framework_commands.moc"
