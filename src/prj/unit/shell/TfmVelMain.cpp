#include "src/prj/unit/shell/TfmVelMain.h"
#include "tor/util/TorCampagna.h"

#include "src/prj/unit/shell/TdmVelAttivazioni.h"
#include "src/prj/unit/shell/TfmVelParametri.h"

#include "platform/core/OvParamManager.h"
#include "platform/ui/framework/OvIcons.h"
#include "platform/ui/framework/TOvOutlineBar.h"
#include "rag/connection/TdmragConnessione.h"
#include "rag/params/dmRagParams.h"
#include "src/prj/unit/dialogs/TfmVelCoerenza.h"
#include "tor/ui/forms/TfmTorWait.h"
#include "tor/store/torUDBCds.h"
#include "tor/util/TorAnni.h"
#include "tor/util/TorFolders.h"

#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QShortcut>
#include <QTimer>

namespace {
const char *const kImages[] = {"DATIANAGRAFICI", "MODELLI", "IMPORTMOD", "FIRME", "PARAMETRI", "IMPEGNI", "ALUNNI"};
}

TfmVelMain::TfmVelMain(TdmVelAttivazioni *attivazioni, QWidget *parent)
    : TfmOvMDIMain(parent), m_attivazioni(attivazioni)
{
    setObjectName(QStringLiteral("fmVelMain"));
}

TfmVelMain::~TfmVelMain()
{
    if (m_attivazioni)
        m_attivazioni->setFiscalStore(nullptr);
}

TfmVelMain *TfmVelMain::instance()
{
    return qobject_cast<TfmVelMain *>(TfmOvMDIMain::instance());
}

void TfmVelMain::formCreate()
{
    TfmOvMDIMain::formCreate();

    // The window's parameters are those of the parameter module.
    if (TdmRagParams *params = m_attivazioni->params()) {
        setOvMainParams(&params->xpmOvuParams);
        ::annoFinanziario().setParams(&params->xpmOvuParams);
        annoScolastico().setParams(&params->xpmOvuParams);
    }
    setWindowTitle(Campagna::didascalia());
    m_mainFolder = TorFolders::mainDir();

    m_attivazioni->images.clear();
    for (const char *name : kImages)
        m_attivazioni->images.addNamed(QLatin1String(name));

    // Help menu: the documents of this edition, before the "about" part.
    QAction *before = nullptr;
    for (QAction *a : mnHelp->actions())
        if (a->isSeparator()) {
            before = a;
            break;
        }
    acAid->setText(QStringLiteral("Notizie sull'aggiornamento"));
    connect(acAid, &QAction::triggered, this, [this] { runCommand(QStringLiteral("xasNotizie")); });

    acNoteTel = new QAction(ovStockIcon(QStringLiteral("DOCUMENTO")), QStringLiteral("Note invio telematico"), this);
    acNoteTel->setObjectName(QStringLiteral("miNoteTel"));
    connect(acNoteTel, &QAction::triggered, this, [this] { runCommand(QStringLiteral("xasNoteTel")); });

    acIstruzioni = new QAction(QStringLiteral("Istruzioni CUD"), this);
    acIstruzioni->setObjectName(QStringLiteral("acIstruzioni"));
    acIstruzioni->setProperty("category", QStringLiteral("Help"));
    acIstruzioni->setText(Campagna::anno(Campagna::AnnoInvio) + QLatin1Char(' ') + acIstruzioni->text());
    connect(acIstruzioni, &QAction::triggered, this, [this] { runCommand(QStringLiteral("xasIstruzioni")); });
    // The menu item of acIstruzioni names the edition by the window caption.
    miIstruzioni = new QAction(ovStockIcon(QStringLiteral("AIUTO")), QStringLiteral("Istruzioni ") + windowTitle(), this);
    miIstruzioni->setObjectName(QStringLiteral("miIstruzioni"));
    miIstruzioni->setToolTip(acIstruzioni->text());
    miIstruzioni->setStatusTip(acIstruzioni->text());
    connect(miIstruzioni, &QAction::triggered, acIstruzioni, &QAction::trigger);

    acProvAppr = new QAction(ovStockIcon(QStringLiteral("DOCUMENTO")), QStringLiteral("Provvedimento approvazione"), this);
    acProvAppr->setObjectName(QStringLiteral("acProvAppr"));
    acProvAppr->setProperty("category", QStringLiteral("Help"));
    connect(acProvAppr, &QAction::triggered, this, [this] { runCommand(QStringLiteral("xasProvvAppr")); });

    mnHelp->insertActions(before, {acNoteTel, miIstruzioni, acProvAppr});

    // The coherence check of the year's CUs, in the file menu.
    auto *acCoerenza = new QAction(QStringLiteral("Controllo di coerenza dei CU"), this);
    acCoerenza->setObjectName(QStringLiteral("acCoerenza"));
    connect(acCoerenza, &QAction::triggered, this, [this] {
        TdmRagParams *params = m_attivazioni->params();
        if (m_store)
            TfmVelCoerenza::Execute(*m_store, params ? params->xpmOvuParams.intValue(TdmRagParams::ParDwgId) : 0, this);
    });
    mnFile->insertAction(acExit, acCoerenza);
    refreshStatusBar();

    // Ctrl+F4 closes the child window in front, wherever the focus is in it.
    auto *closeChild = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F4), this);
    closeChild->setObjectName(QStringLiteral("scChiudiFinestra"));
    const auto closeFront = [this] {
        if (QMdiSubWindow *sw = mdiArea()->currentSubWindow())
            sw->close();
    };
    connect(closeChild, &QShortcut::activated, this, closeFront);
    connect(closeChild, &QShortcut::activatedAmbiguously, this, closeFront);
}

void TfmVelMain::refreshStatusBar()
{
    setStatusText(0, QStringLiteral("Anno finanziario: ") + m_annoFin + QStringLiteral("    Provvedimento del ") + Campagna::provvedimentoBreve());
}

void TfmVelMain::runCommand(const QString &name)
{
    m_attivazioni->Execute(name);
}

void TfmVelMain::formShow()
{
    TfmOvMDIMain::formShow();
    if (!m_attivazioni->Connect()) {
        terminate(1);
        return;
    }
    if (!hasTorWaitIndicator())
        setTorWaitIndicator(std::make_shared<TTorWaitWindow>());
    m_store = std::make_unique<TTorDBCds>();
    m_store->setProgram(QStringLiteral("vel"));
    m_store->setConnection(&m_attivazioni->connessione()->xqoMain);
    m_attivazioni->setFiscalStore(m_store.get());

    // Without a window manager the window may never be activated: the first
    // activation runs anyway once the window is up.
    QTimer::singleShot(0, this, [this] {
        if (!m_firstActivationDone && !m_terminating && m_store)
            firstActivation();
    });
}

void TfmVelMain::formActivate()
{
    TfmOvMDIMain::formActivate();
    if (!m_firstActivationDone && !m_terminating && m_store)
        firstActivation();
}

void TfmVelMain::firstActivation()
{
    // Set before anything modal: closing the dialog activates the window again.
    m_firstActivationDone = true;

    m_attivazioni->SetMainForm(this);
    m_attivazioni->SetContainer(leftPanel(113));
    m_attivazioni->SetDocumentFolders(m_mainFolder);
    m_attivazioni->BuildMenu();
    if (TOvOutlineBar *bar = m_attivazioni->outlineBar())
        bar->setCurrentPage(0);

    if (QFileInfo::exists(TorFolders::resolveFile(m_mainFolder + Campagna::cartellaRes(),
                                                  QStringLiteral("Check.txt")))) {
        acAid->trigger();
        if (notesPauseMs > 0) {
            QEventLoop pause;
            QTimer::singleShot(notesPauseMs, &pause, &QEventLoop::quit);
            pause.exec(QEventLoop::ExcludeUserInputEvents);
        }
    }

    std::unique_ptr<TfmVelParametri> dialog(ovCreate<TfmVelParametri>(this));
    dialog->exec();
}

void TfmVelMain::formClose()
{
    TfmOvMDIMain::formClose();
    m_attivazioni->setFiscalStore(nullptr);
    m_store.reset();
}

void TfmVelMain::terminate(int exitCode)
{
    if (m_terminating)
        return;
    m_terminating = true;
    m_exitCode = exitCode;
    // Deferred: this may run inside the window's own show or a command.
    QTimer::singleShot(0, this, [this] {
        close();
        QCoreApplication::exit(m_exitCode);
    });
}
