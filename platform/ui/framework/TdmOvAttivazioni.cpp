#include "platform/ui/framework/TdmOvAttivazioni.h"

#include "platform/core/OvExceptions.h"
#include "platform/ui/framework/OvFormRegistry.h"
#include "platform/framework/OvMessages.h"
#include "platform/framework/OvShell.h"
#include "platform/ui/framework/TOvOutlineBar.h"
#include "platform/ui/framework/TfmOvMDIMain.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

#include <algorithm>

// ---- pages and commands ---------------------------------------------------

TOvApgPage::TOvApgPage(TdmOvAttivazioni *owner, const QString &name)
    : QObject(owner)
{
    setObjectName(name);
    owner->m_pages << this;
    connect(this, &QObject::destroyed, owner, [owner, this] { owner->m_pages.removeAll(this); });
}

TOvAttCommand::TOvAttCommand(TdmOvAttivazioni *owner, const QString &name)
    : QObject(owner)
    , m_owner(owner)
    , m_action(new QAction(this))
{
    setObjectName(name);
    m_action->setObjectName(name);
    owner->m_commands << this;
    connect(this, &QObject::destroyed, owner, [owner, this] { owner->m_commands.removeAll(this); });
    connect(m_action, &QAction::triggered, owner, [owner, this] { owner->Execute(this); });
}

void TOvAttCommand::setCaption(const QString &caption)
{
    Caption = caption;
    m_action->setText(caption);
}

void TOvAttCommand::setEnabled(bool enabled)
{
    Enabled = enabled;
    m_action->setEnabled(enabled);
}

TOvAttForm::TOvAttForm(TdmOvAttivazioni *owner, const QString &name)
    : TOvAttCommand(owner, name)
{
}

void TOvAttForm::run()
{
    TfmOvMDIMain *main = owner()->mainForm();
    if (!ModalForm && !MultipleInstance && m_instance) {
        if (!(main && main->activateChild(m_instance))) {
            m_instance->show();
            m_instance->raise();
            m_instance->activateWindow();
        }
        return;
    }
    if (ClasseForm.trimmed().isEmpty())
        throw EAssertionFailed(QStringLiteral("Il comando \"%1\" non indica la finestra da aprire.").arg(objectName()));
    if (!isFormClassRegistered(ClasseForm))
        throw EOvError(QStringLiteral("La finestra \"%1\" del comando \"%2\" non è disponibile in questo programma.")
                           .arg(ClasseForm, Caption.isEmpty() ? objectName() : Caption));

    if (ModalForm) {
        QWidget *parent = main ? static_cast<QWidget *>(main) : QApplication::activeWindow();
        QPointer<QWidget> form = createForm(ClasseForm, parent);
        if (auto *dialog = qobject_cast<QDialog *>(form.data())) {
            dialog->exec();
        } else {
            // A plain form asked to run modally: host it in a dialog of its own.
            QDialog host(parent);
            host.setWindowTitle(form->windowTitle());
            auto *layout = new QVBoxLayout(&host);
            layout->setContentsMargins(0, 0, 0, 0);
            layout->addWidget(form);
            host.exec();
        }
        delete form.data();
        return;
    }

    QWidget *form = createForm(ClasseForm, nullptr);
    if (!form->testAttribute(Qt::WA_SetWindowIcon) && !action()->icon().isNull())
        form->setWindowIcon(action()->icon());
    if (main)
        main->addChild(form);
    else
        form->show();
    if (!MultipleInstance)
        m_instance = form;
}

TOvAttShell::TOvAttShell(TdmOvAttivazioni *owner, const QString &name)
    : TOvAttCommand(owner, name)
{
}

QString TOvAttShell::filePath() const
{
    return ovJoinPath(Directory, FileName);
}

void TOvAttShell::run()
{
    if (FileName.trimmed().isEmpty())
        throw EOvError(QStringLiteral("Il comando \"%1\" non indica il documento da aprire.")
                           .arg(Caption.isEmpty() ? objectName() : Caption));
    ovShell()->openDocument(filePath(), Param, Directory, WaitEndOfProcess);
}

TOvAttComponent::TOvAttComponent(TdmOvAttivazioni *owner, const QString &name)
    : TOvAttCommand(owner, name)
{
}

void TOvAttComponent::run()
{
    if (OnExecute)
        OnExecute(this);
}

// ---- the table ------------------------------------------------------------

TdmOvAttivazioni::TdmOvAttivazioni(QObject *parent)
    : QObject(parent)
{
}

TdmOvAttivazioni::~TdmOvAttivazioni()
{
    clearBuilt();
}

TOvApgPage *TdmOvAttivazioni::addPage(const QString &name, const QString &caption, int order, int imageIndex)
{
    auto *p = new TOvApgPage(this, name);
    p->Caption = caption;
    p->Order = order;
    p->ImageIndex = imageIndex;
    return p;
}

TOvAttForm *TdmOvAttivazioni::addForm(const QString &name, TOvApgPage *page, int order, const QString &caption,
                                      const QString &classeForm, bool modal, int imageIndex)
{
    auto *c = new TOvAttForm(this, name);
    c->ParentPage = page;
    c->Order = order;
    c->Caption = caption;
    c->ClasseForm = classeForm;
    c->ModalForm = modal;
    c->ImageIndex = imageIndex;
    return c;
}

TOvAttShell *TdmOvAttivazioni::addShell(const QString &name, TOvApgPage *page, int order, const QString &caption,
                                        const QString &fileName, int imageIndex)
{
    auto *c = new TOvAttShell(this, name);
    c->ParentPage = page;
    c->Order = order;
    c->Caption = caption;
    c->FileName = fileName;
    c->ImageIndex = imageIndex;
    return c;
}

TOvAttComponent *TdmOvAttivazioni::addComponent(const QString &name, TOvApgPage *page, int order,
                                                const QString &caption, int imageIndex,
                                                std::function<void(TOvAttComponent *)> onExecute)
{
    auto *c = new TOvAttComponent(this, name);
    c->ParentPage = page;
    c->Order = order;
    c->Caption = caption;
    c->ImageIndex = imageIndex;
    c->OnExecute = std::move(onExecute);
    return c;
}

TOvApgPage *TdmOvAttivazioni::page(const QString &name) const
{
    for (TOvApgPage *p : m_pages)
        if (p->objectName() == name)
            return p;
    return nullptr;
}

TOvAttCommand *TdmOvAttivazioni::command(const QString &name) const
{
    for (TOvAttCommand *c : m_commands)
        if (c->objectName() == name)
            return c;
    return nullptr;
}

void TdmOvAttivazioni::SetContainer(QWidget *container)
{
    m_container = container;
}

void TdmOvAttivazioni::SetMainForm(TfmOvMDIMain *mainForm)
{
    m_mainForm = mainForm;
}

TfmOvMDIMain *TdmOvAttivazioni::mainForm() const
{
    if (m_mainForm)
        return m_mainForm;
    if (m_container)
        if (auto *w = qobject_cast<TfmOvMDIMain *>(m_container->window()))
            return w;
    return TfmOvMDIMain::instance();
}

void TdmOvAttivazioni::SetMenuBar(QMenuBar *menuBar, QAction *before)
{
    m_menuBar = menuBar;
    m_menuBefore = before;
}

QList<TOvApgPage *> TdmOvAttivazioni::shownPages() const
{
    QList<TOvApgPage *> list;
    for (TOvApgPage *p : m_pages)
        if (p->Visible)
            list << p;
    std::stable_sort(list.begin(), list.end(), [](TOvApgPage *a, TOvApgPage *b) { return a->Order < b->Order; });
    return list;
}

QList<TOvAttCommand *> TdmOvAttivazioni::shownCommands(const TOvApgPage *page) const
{
    QList<TOvAttCommand *> list;
    for (TOvAttCommand *c : m_commands)
        if (c->ParentPage == page && c->Visible)
            list << c;
    if (page && page->Sorted)
        std::stable_sort(list.begin(), list.end(),
                         [](TOvAttCommand *a, TOvAttCommand *b) { return a->Order < b->Order; });
    return list;
}

QList<QMenu *> TdmOvAttivazioni::menus() const
{
    QList<QMenu *> list;
    for (const QPointer<QMenu> &m : m_menus)
        if (m)
            list << m;
    return list;
}

void TdmOvAttivazioni::clearBuilt()
{
    for (const QPointer<QMenu> &m : m_menus) {
        if (!m)
            continue;
        if (m_menuBar)
            m_menuBar->removeAction(m->menuAction());
        delete m.data();
    }
    m_menus.clear();
    delete m_outline.data();
}

void TdmOvAttivazioni::Execute()
{
    clearBuilt();

    for (TOvAttCommand *c : m_commands) {
        QAction *a = c->action();
        a->setText(c->Caption);
        a->setEnabled(c->Enabled);
        a->setIcon(images.icon(c->ImageIndex));
        a->setToolTip(c->Hint.isEmpty() ? c->Caption : c->Hint);
        a->setStatusTip(c->Hint);
        a->setShortcut(c->ShortCut);
    }

    QMenuBar *bar = m_menuBar;
    QAction *before = m_menuBefore;
    if (!bar) {
        if (TfmOvMDIMain *main = mainForm()) {
            bar = main->menuBar();
            before = main->menuInsertPoint();
            m_menuBar = bar;
        }
    }

    const QList<TOvApgPage *> pages = shownPages();
    if (bar) {
        for (TOvApgPage *p : pages) {
            if (!p->InMenu)
                continue;
            auto *menu = new QMenu(p->Caption, bar);
            menu->setObjectName(QStringLiteral("mn") + p->objectName());
            menu->setEnabled(p->Enabled);
            for (TOvAttCommand *c : shownCommands(p))
                menu->addAction(c->action());
            bar->insertMenu(before, menu);
            m_menus << menu;
        }
    }

    if (m_container) {
        auto *layout = qobject_cast<QBoxLayout *>(m_container->layout());
        if (!layout && !m_container->layout()) {
            layout = new QVBoxLayout(m_container);
            layout->setContentsMargins(0, 0, 0, 0);
        }
        m_outline = new TOvOutlineBar(m_container);
        if (layout)
            layout->addWidget(m_outline);
        for (TOvApgPage *p : pages) {
            const int index = m_outline->addPage(p->Caption, images.icon(p->ImageIndex), p->Enabled);
            for (TOvAttCommand *c : shownCommands(p))
                m_outline->addButton(index, c->action());
        }
        m_outline->setCurrentPage(0);
        m_outline->show();
    }
}

bool TdmOvAttivazioni::Execute(TOvAttCommand *command)
{
    if (!command)
        return false;
    bool completed = false;
    ovGuarded([&] {
        bool allow = true;
        if (command->BeforeExecute)
            command->BeforeExecute(command, allow);
        if (!allow)
            return;
        command->run();
        if (command->AfterExecute)
            command->AfterExecute(command);
        completed = true;
    });
    if (completed)
        emit commandExecuted(command);
    return completed;
}

bool TdmOvAttivazioni::Execute(const QString &commandName)
{
    TOvAttCommand *c = command(commandName);
    if (!c) {
        ovGuarded([&] { throw EAssertionFailed(QStringLiteral("Il comando \"%1\" non esiste.").arg(commandName)); });
        return false;
    }
    return Execute(c);
}
