#pragma once
// Base frame: a context bar with a title, a toolbar, the action list alFrame
// with its images, the popup menu mmFrame and the client area pnClient.
#include "platform/ui/framework/OvIcons.h"

#include <QWidget>

class QLabel;
class QMenu;
class QToolBar;
class TOvActionList;

class TfrOvBase : public QWidget
{
    Q_OBJECT
public:
    explicit TfrOvBase(QWidget *parent = nullptr);

    QWidget *pnContext = nullptr;   // context bar
    QLabel *lbContext = nullptr;    // its title
    QToolBar *tbFrame = nullptr;
    TOvActionList *alFrame = nullptr;
    TOvImageList images;
    QMenu *mmFrame = nullptr;       // shown on right click when not empty
    QWidget *pnClient = nullptr;

    void setContextCaption(const QString &caption);
    QString contextCaption() const;
    // Adds an action of alFrame to the toolbar and to mmFrame.
    void addFrameAction(QAction *action, bool inMenu = true);
};
