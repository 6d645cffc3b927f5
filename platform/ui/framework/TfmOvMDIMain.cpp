#include "platform/ui/framework/TfmOvMDIMain.h"

#include "platform/db/InstallRoot.h"

#include "platform/ui/framework/OvIcons.h"
#include "platform/framework/OvMessages.h"
#include "platform/ui/framework/TfmOvChildDoc.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QCloseEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QMenu>
#include <QMenuBar>
#include <QSplitter>
#include <QStatusBar>
#include <QVBoxLayout>

QPointer<TfmOvMDIMain> TfmOvMDIMain::s_instance;

TfmOvMDIMain::TfmOvMDIMain(QWidget *parent)
    : QMainWindow(parent)
{
    if (!s_instance)
        s_instance = this;
    setObjectName(QStringLiteral("fmMain"));

    m_splitter = new QSplitter(Qt::Horizontal, this);
    m_splitter->setObjectName(QStringLiteral("spMain"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(4);
    m_mdiArea = new QMdiArea(m_splitter);
    m_mdiArea->setObjectName(QStringLiteral("mdiArea"));
    m_mdiArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_mdiArea->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QLinearGradient bg(0, 0, 0, 900);
    bg.setColorAt(0, QColor(0x7d, 0x8f, 0xa3));
    bg.setColorAt(1, QColor(0x56, 0x68, 0x7c));
    m_mdiArea->setBackground(bg);
    m_splitter->addWidget(m_mdiArea);
    m_splitter->setStretchFactor(0, 1);
    setCentralWidget(m_splitter);

    mnFile = menuBar()->addMenu(QStringLiteral("&File"));
    acExit = mnFile->addAction(QStringLiteral("&Esci"));
    acExit->setObjectName(QStringLiteral("acExit"));
    connect(acExit, &QAction::triggered, this, &QWidget::close);

    mnWindow = menuBar()->addMenu(QStringLiteral("Fi&nestre"));
    mnWindow->addAction(QStringLiteral("&Sovrapponi"), m_mdiArea, &QMdiArea::cascadeSubWindows);
    mnWindow->addAction(QStringLiteral("&Affianca"), m_mdiArea, &QMdiArea::tileSubWindows);
    mnWindow->addSeparator();
    mnWindow->addAction(QStringLiteral("&Chiudi tutte"), this, [this] { closeAllChildren(); });
    connect(mnWindow, &QMenu::aboutToShow, this, &TfmOvMDIMain::refreshWindowMenu);

    mnHelp = menuBar()->addMenu(QStringLiteral("&?"));
    acAid = new QAction(ovStockIcon(QStringLiteral("INFO")), QStringLiteral("Notizie sull'aggiornamento"), this);
    acAid->setObjectName(QStringLiteral("acAid"));
    mnHelp->addAction(acAid);
    mnHelp->addSeparator();
    acAbout = mnHelp->addAction(QStringLiteral("&Informazioni su..."));
    acAbout->setObjectName(QStringLiteral("acAbout"));
    connect(acAbout, &QAction::triggered, this, [this] { ovGuarded([this] { showAbout(); }); });

    statusPanel(0);
    if (QGuiApplication::windowIcon().isNull())
        setWindowIcon(ovMakeIcon(OvGlyph::Document, OvColors::Blue));
    resize(1024, 700);
}

TfmOvMDIMain::~TfmOvMDIMain()
{
    if (s_instance == this)
        s_instance = nullptr;
}

TfmOvMDIMain *TfmOvMDIMain::instance()
{
    return s_instance.data();
}

void TfmOvMDIMain::ensureFormCreated()
{
    if (m_created)
        return;
    m_created = true;
    formCreate();
}

QWidget *TfmOvMDIMain::leftPanel(int width)
{
    if (!m_leftPanel) {
        m_leftPanel = new QWidget(m_splitter);
        m_leftPanel->setObjectName(QStringLiteral("pnOutline"));
        auto *layout = new QVBoxLayout(m_leftPanel);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        m_splitter->insertWidget(0, m_leftPanel);
        m_splitter->setStretchFactor(0, 0);
        m_splitter->setStretchFactor(1, 1);
        m_leftPanel->setMinimumWidth(60);
        m_splitter->setSizes({width, qMax(200, this->width() - width)});
    }
    return m_leftPanel;
}

QLabel *TfmOvMDIMain::statusPanel(int index)
{
    while (m_statusPanels.size() <= index) {
        auto *label = new QLabel(statusBar());
        label->setObjectName(QStringLiteral("stPanel%1").arg(m_statusPanels.size()));
        label->setContentsMargins(4, 0, 4, 0);
        if (m_statusPanels.isEmpty())
            statusBar()->addWidget(label, 1);
        else
            statusBar()->addPermanentWidget(label);
        m_statusPanels << label;
    }
    return m_statusPanels.at(index);
}

void TfmOvMDIMain::setStatusText(int index, const QString &text)
{
    statusPanel(index)->setText(text);
}

QAction *TfmOvMDIMain::menuInsertPoint() const
{
    return mnWindow->menuAction();
}

int TfmOvMDIMain::mdiChildCount() const
{
    return int(m_mdiArea->subWindowList().size());
}

QList<QWidget *> TfmOvMDIMain::mdiChildren() const
{
    QList<QWidget *> forms;
    for (QMdiSubWindow *sw : m_mdiArea->subWindowList())
        if (sw->widget())
            forms << sw->widget();
    return forms;
}

QWidget *TfmOvMDIMain::activeChild() const
{
    QMdiSubWindow *sw = m_mdiArea->activeSubWindow();
    return sw ? sw->widget() : nullptr;
}

QMdiSubWindow *TfmOvMDIMain::addChild(QWidget *form)
{
    ovEnsureFormCreated(form);
    QMdiSubWindow *sw = m_mdiArea->addSubWindow(form);
    sw->setAttribute(Qt::WA_DeleteOnClose);
    sw->setWindowIcon(form->testAttribute(Qt::WA_SetWindowIcon) ? form->windowIcon() : windowIcon());
    // A form that chose its own size keeps it; the frame is added around it.
    const bool sized = form->testAttribute(Qt::WA_Resized);
    const QSize wanted = form->size();
    auto *doc = qobject_cast<TfmOvChildDoc *>(form);
    if (doc && doc->openMaximized()) {
        sw->showMaximized();
    } else {
        sw->show();
        // ...as far as the area shows it: the frame's buttons stay in sight.
        if (sized)
            sw->resize((wanted + (sw->size() - form->size())).boundedTo(m_mdiArea->viewport()->size()));
    }
    m_mdiArea->setActiveSubWindow(sw);
    return sw;
}

void TfmOvMDIMain::refreshWindowMenu()
{
    for (QAction *a : mnWindow->actions())
        if (a->property("ovChildWindow").isValid()) {
            mnWindow->removeAction(a);
            a->deleteLater();
        }
    const QList<QMdiSubWindow *> subs = m_mdiArea->subWindowList();
    if (subs.isEmpty())
        return;
    QAction *line = mnWindow->addSeparator();
    line->setProperty("ovChildWindow", true);
    int n = 0;
    for (QMdiSubWindow *sw : subs) {
        ++n;
        QString title = sw->windowTitle();
        title.replace(QLatin1Char('&'), QLatin1String("&&"));
        // the first nine by their digit, as the menus of desktop programs do
        QAction *a = mnWindow->addAction(n <= 9 ? QStringLiteral("&%1 %2").arg(n).arg(title)
                                                : QStringLiteral("%1 %2").arg(n).arg(title));
        a->setProperty("ovChildWindow", true);
        a->setCheckable(true);
        a->setChecked(sw == m_mdiArea->activeSubWindow());
        QPointer<QMdiSubWindow> target(sw);
        connect(a, &QAction::triggered, this, [this, target] {
            if (target)
                activateChild(target->widget());
        });
    }
}

bool TfmOvMDIMain::activateChild(QWidget *form)
{
    for (QMdiSubWindow *sw : m_mdiArea->subWindowList()) {
        if (sw->widget() == form) {
            if (sw->isMinimized())
                sw->showNormal();
            m_mdiArea->setActiveSubWindow(sw);
            return true;
        }
    }
    return false;
}

bool TfmOvMDIMain::closeAllChildren()
{
    for (QMdiSubWindow *sw : m_mdiArea->subWindowList())
        if (!sw->close())
            return false;
    return true;
}

bool TfmOvMDIMain::saveAllChildren()
{
    for (QWidget *w : mdiChildren()) {
        auto *doc = qobject_cast<TfmOvChildDoc *>(w);
        if (!doc)
            continue;
        bool ok = false;
        ovGuarded([&] { ok = doc->saveAll(); });
        if (!ok)
            return false;
    }
    return true;
}

void TfmOvMDIMain::cancelAllChildren()
{
    for (QWidget *w : mdiChildren())
        if (auto *doc = qobject_cast<TfmOvChildDoc *>(w))
            ovGuarded([&] { doc->cancelAll(); });
}

QString TfmOvMDIMain::programVersion()
{
    return QCoreApplication::applicationVersion();
}

void TfmOvMDIMain::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_shown)
        return;
    m_shown = true;
    ovGuarded([this] {
        ensureFormCreated();
        formShow();
    });
}

void TfmOvMDIMain::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        ovGuarded([this] { formActivate(); });
        emit activated();
    }
}

void TfmOvMDIMain::closeEvent(QCloseEvent *event)
{
    bool canClose = true;
    if (!ovGuarded([&] { formCloseQuery(canClose); }))
        canClose = false;
    if (!canClose || !closeAllChildren()) {
        event->ignore();
        return;
    }
    ovGuarded([this] { formClose(); });
    event->accept();
}

void TfmOvMDIMain::showAbout()
{
    QString title = QGuiApplication::applicationDisplayName();
    if (title.isEmpty())
        title = QCoreApplication::applicationName();
    // the version of the build, and where this workstation keeps its files
    OvMessageBox(QStringLiteral("%1\r\nVersione %2\r\nCartella dei dati: %3")
                     .arg(title, programVersion(), QDir::toNativeSeparators(InstallRoot::dataRoot())),
                 MB_OK | MB_ICONINFORMATION);
}
