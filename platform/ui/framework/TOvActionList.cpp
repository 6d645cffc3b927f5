#include "platform/ui/framework/TOvActionList.h"

#include "platform/ui/framework/OvIcons.h"

#include <QAction>
#include <QVariant>

TOvActionList::TOvActionList(QObject *parent)
    : QObject(parent)
{
}

QAction *TOvActionList::add(const QString &name, const QString &caption, int imageIndex,
                            const QKeySequence &shortcut, const QString &category)
{
    auto *a = new QAction(caption, this);
    a->setObjectName(name);
    if (m_images)
        a->setIcon(m_images->icon(imageIndex));
    if (!shortcut.isEmpty())
        a->setShortcut(shortcut);
    a->setProperty("Category", category);
    m_actions << a;
    connect(a, &QObject::destroyed, this, [this, a] { m_actions.removeAll(a); });
    return a;
}

QAction *TOvActionList::action(const QString &name) const
{
    for (QAction *a : m_actions)
        if (a->objectName() == name)
            return a;
    return nullptr;
}

QList<QAction *> TOvActionList::actionsOf(const QString &category) const
{
    QList<QAction *> list;
    for (QAction *a : m_actions)
        if (a->property("Category").toString() == category)
            list << a;
    return list;
}
