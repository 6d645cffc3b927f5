#pragma once
// A named list of actions sharing one image list (a frame's alFrame).
#include <QKeySequence>
#include <QList>
#include <QObject>
#include <QString>

class QAction;
class TOvImageList;

class TOvActionList : public QObject
{
    Q_OBJECT
public:
    explicit TOvActionList(QObject *parent = nullptr);

    void setImages(const TOvImageList *images) { m_images = images; }

    // New action named name (its object name), icon from the image list.
    QAction *add(const QString &name, const QString &caption, int imageIndex = -1,
                 const QKeySequence &shortcut = {}, const QString &category = {});
    // nullptr when there is no such action.
    QAction *action(const QString &name) const;
    QList<QAction *> actions() const { return m_actions; }
    // Actions of one category (the "Category" property), in the order added.
    QList<QAction *> actionsOf(const QString &category) const;

private:
    const TOvImageList *m_images = nullptr;
    QList<QAction *> m_actions;
};
