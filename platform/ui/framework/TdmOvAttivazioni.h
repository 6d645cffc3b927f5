#pragma once
// The declarative command table: pages and commands declared in code, from
// which Execute() builds the page menus of the main window and the outline bar.
// Every command can also be run directly with Execute(command), visible or not,
// enabled or not (the Help menu runs hidden document commands that way).
//
// Running a command: BeforeExecute (Allow = false cancels silently), the
// command's own work, AfterExecute. Any exception on the way is shown to the
// user and ends that run; nothing escapes into the event loop.
#include "platform/ui/framework/OvIcons.h"

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class QAction;
class QMenu;
class QMenuBar;
class QWidget;
class TdmOvAttivazioni;
class TfmOvMDIMain;
class TOvOutlineBar;

class TOvApgPage : public QObject
{
    Q_OBJECT
public:
    explicit TOvApgPage(TdmOvAttivazioni *owner, const QString &name = {});

    QString Caption;
    int Order = 0;
    bool InMenu = true;     // gets a menu of its own in the menu bar
    bool Sorted = true;     // commands by Order; otherwise in declaration order
    bool Visible = true;
    bool Enabled = true;
    int ImageIndex = -1;
};

class TOvAttCommand : public QObject
{
    Q_OBJECT
public:
    enum Kind { FormCommand, ShellCommand, ComponentCommand };

    TOvAttCommand(TdmOvAttivazioni *owner, const QString &name);
    virtual Kind kind() const = 0;

    TOvApgPage *ParentPage = nullptr;   // none: reachable only through Execute(command)
    int Order = 0;
    QString Caption;
    bool Visible = true;
    bool Enabled = true;
    int ImageIndex = -1;
    QString Hint;
    QKeySequence ShortCut;
    int HelpContext = 0;

    std::function<void(TOvAttCommand *cmd, bool &Allow)> BeforeExecute;
    std::function<void(TOvAttCommand *cmd)> AfterExecute;

    TdmOvAttivazioni *owner() const { return m_owner; }
    // The action standing for the command in menu and outline bar; it follows
    // Caption, Enabled and the image when the table is built.
    QAction *action() const { return m_action; }
    // Change caption / enabled state also after the table was built.
    void setCaption(const QString &caption);
    void setEnabled(bool enabled);

protected:
    friend class TdmOvAttivazioni;
    // The command's own work; may throw.
    virtual void run() = 0;

private:
    TdmOvAttivazioni *m_owner;
    QAction *m_action;
};

// Opens the form class named ClasseForm (see OvFormRegistry.h): modal forms run
// exec() and are deleted afterwards, the others open as MDI children of the
// main window; a single-instance form already open is brought to the front.
class TOvAttForm : public TOvAttCommand
{
    Q_OBJECT
public:
    TOvAttForm(TdmOvAttivazioni *owner, const QString &name);
    Kind kind() const override { return FormCommand; }

    QString ClasseForm;
    bool ModalForm = false;
    bool MultipleInstance = false;

    // The open (non-modal) form of a single-instance command, else nullptr.
    QWidget *instance() const { return m_instance.data(); }

protected:
    void run() override;

private:
    QPointer<QWidget> m_instance;
};

// Opens FileName (in Directory when FileName is not absolute) with its
// associated program through the shell seam (OvShell.h).
class TOvAttShell : public TOvAttCommand
{
    Q_OBJECT
public:
    TOvAttShell(TdmOvAttivazioni *owner, const QString &name);
    Kind kind() const override { return ShellCommand; }

    QString FileName;
    QString Directory;
    QString Param;
    bool WaitEndOfProcess = false;

    QString filePath() const;

protected:
    void run() override;
};

class TOvAttComponent : public TOvAttCommand
{
    Q_OBJECT
public:
    TOvAttComponent(TdmOvAttivazioni *owner, const QString &name);
    Kind kind() const override { return ComponentCommand; }

    std::function<void(TOvAttComponent *cmd)> OnExecute;

protected:
    void run() override;
};

class TdmOvAttivazioni : public QObject
{
    Q_OBJECT
public:
    explicit TdmOvAttivazioni(QObject *parent = nullptr);
    ~TdmOvAttivazioni() override;

    // Declaration helpers (the object name is the component name).
    TOvApgPage *addPage(const QString &name, const QString &caption, int order, int imageIndex = -1);
    TOvAttForm *addForm(const QString &name, TOvApgPage *page, int order, const QString &caption,
                        const QString &classeForm, bool modal, int imageIndex = -1);
    TOvAttShell *addShell(const QString &name, TOvApgPage *page, int order, const QString &caption,
                          const QString &fileName, int imageIndex = -1);
    TOvAttComponent *addComponent(const QString &name, TOvApgPage *page, int order, const QString &caption,
                                  int imageIndex = -1, std::function<void(TOvAttComponent *)> onExecute = {});

    QList<TOvApgPage *> pages() const { return m_pages; }
    QList<TOvAttCommand *> commands() const { return m_commands; }
    TOvApgPage *page(const QString &name) const;
    TOvAttCommand *command(const QString &name) const;

    TOvImageList images;

    // Host of the outline bar.
    void SetContainer(QWidget *container);
    QWidget *container() const { return m_container; }
    // Main window for the MDI children and the menus. Without it the window of
    // the container is used when it is one, else TfmOvMDIMain::instance().
    void SetMainForm(TfmOvMDIMain *mainForm);
    TfmOvMDIMain *mainForm() const;
    // Menu bar for the page menus, inserted before "before" (default: the main
    // window's menu bar, before its window menu).
    void SetMenuBar(QMenuBar *menuBar, QAction *before = nullptr);

    // Builds (or rebuilds) the page menus and the outline bar.
    void Execute();
    // Runs a command as if chosen. Returns true when it ran to its end (false:
    // cancelled by BeforeExecute, or failed and the error was shown).
    bool Execute(TOvAttCommand *command);
    bool Execute(const QString &commandName);

    // What Execute() shows, in order: visible pages by Order, and a page's
    // visible commands by Order (Sorted) or as declared.
    QList<TOvApgPage *> shownPages() const;
    QList<TOvAttCommand *> shownCommands(const TOvApgPage *page) const;

    TOvOutlineBar *outlineBar() const { return m_outline.data(); }
    QList<QMenu *> menus() const;

signals:
    void commandExecuted(TOvAttCommand *command);

private:
    friend class TOvApgPage;
    friend class TOvAttCommand;
    void clearBuilt();

    QList<TOvApgPage *> m_pages;
    QList<TOvAttCommand *> m_commands;
    QPointer<QWidget> m_container;
    QPointer<TfmOvMDIMain> m_mainForm;
    QPointer<QMenuBar> m_menuBar;
    QPointer<QAction> m_menuBefore;
    QList<QPointer<QMenu>> m_menus;
    QPointer<TOvOutlineBar> m_outline;
};
