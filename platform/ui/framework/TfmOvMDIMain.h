#pragma once
// Base of the program's main window: menu bar, a splitter holding an optional
// left panel (the outline bar's host) and the MDI area with the child windows,
// a status bar with text panels, and the framework's standard menus.
#include "platform/ui/framework/OvForms.h"

#include <QList>
#include <QMainWindow>
#include <QPointer>

class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QSplitter;

class TfmOvMDIMain : public QMainWindow, public IOvForm
{
    Q_OBJECT
public:
    explicit TfmOvMDIMain(QWidget *parent = nullptr);
    ~TfmOvMDIMain() override;

    // The program's main window (the first one created that is still alive).
    static TfmOvMDIMain *instance();

    void ensureFormCreated() override;

    QMdiArea *mdiArea() const { return m_mdiArea; }
    QSplitter *splitter() const { return m_splitter; }
    // The panel left of the MDI area, created on the first call with the given
    // width; the command table puts its outline bar in it.
    QWidget *leftPanel(int width = 113);
    // Text panel of the status bar by position (0 is the wide first one),
    // created on demand.
    QLabel *statusPanel(int index);
    void setStatusText(int index, const QString &text);

    // Standard menus; the command table inserts its page menus before
    // menuInsertPoint() (the window menu).
    QMenu *mnFile = nullptr;
    QMenu *mnWindow = nullptr;
    QMenu *mnHelp = nullptr;
    QAction *acExit = nullptr;
    QAction *acAid = nullptr;   // update notes; the program decides what it runs
    QAction *acAbout = nullptr;
    QAction *menuInsertPoint() const;
    // The window menu: its fixed items, then one item a child window ("&1
    // Dati CU"), the one in front ticked; rebuilt each time it opens.
    QMenu *windowMenu() const { return mnWindow; }

    // Child windows.
    int mdiChildCount() const;
    QList<QWidget *> mdiChildren() const;  // the forms inside the sub-windows
    QWidget *activeChild() const;
    // Shows form as a child window of the MDI area (deleted when closed).
    QMdiSubWindow *addChild(QWidget *form);
    // Brings an open child to the front; false when it is not a child here.
    bool activateChild(QWidget *form);
    // Closes every child; stops and returns false at the first that refuses.
    bool closeAllChildren();
    // Asks every child document to save / drop its pending changes; saveAll
    // stops and returns false at the first that fails.
    bool saveAllChildren();
    void cancelAllChildren();

    // Program version as dotted numbers (the application version).
    static QString programVersion();

signals:
    void activated();

protected:
    // Overrides call the base first.
    virtual void formCreate() {}
    virtual void formShow() {}                 // first show
    virtual void formActivate() {}             // every activation
    virtual void formCloseQuery(bool &canClose) { Q_UNUSED(canClose); }
    virtual void formClose() {}

    void showEvent(QShowEvent *event) override;
    void refreshWindowMenu();
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void showAbout();

    QSplitter *m_splitter = nullptr;
    QMdiArea *m_mdiArea = nullptr;
    QWidget *m_leftPanel = nullptr;
    QList<QLabel *> m_statusPanels;
    bool m_created = false;
    bool m_shown = false;
    static QPointer<TfmOvMDIMain> s_instance;
};
