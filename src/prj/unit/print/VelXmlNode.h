#pragma once
// A view of one element of a print layout, with its children listed once per
// tag: layouts are walked by position thousands of times in a long print, and
// QDomElement offers only a linear walk from the first child.
#include <QDomElement>
#include <QList>
#include <QString>
#include <map>
#include <memory>

class TVelXmlNode
{
public:
    TVelXmlNode() = default;
    explicit TVelXmlNode(const QDomElement &element) : m_e(element) {}
    bool isNull() const { return m_e.isNull(); }
    QDomElement element() const { return m_e; }

protected:
    // The children named `tag`, in document order.
    const QList<QDomElement> &children(const QString &tag) const;
    int childCount(const QString &tag) const { return int(children(tag).size()); }
    // The index-th child named `tag`; a null element when there is none.
    QDomElement childOrNull(const QString &tag, int index) const;
    // Appends a new child; every copy of this view sees it.
    QDomElement appendChild(const QString &tag);

    QDomElement m_e;

private:
    mutable std::shared_ptr<std::map<QString, QList<QDomElement>>> m_children;
};
